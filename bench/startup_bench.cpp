// Figure 4: process start to the window painted, and the peak resident size
// by then, for the tool's window against an empty QMainWindow. The two
// programs are started in turn, several times, and the medians compared.
//
//   bench_startup [--runs N]

#include "BenchCommon.h"
#include "startup_shown.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <algorithm>
#include <vector>

using namespace bench;

namespace {

constexpr int kDefaultRuns = 15;
constexpr int kChildTimeoutMs = 30000;

struct Start
{
    double milliseconds = 0;
    double peakMiB = 0;
};

Start startOnce(const QString &program)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The children's own warnings are shown only if a start goes wrong.
    child.setProcessChannelMode(QProcess::SeparateChannels);
    // The clock is read as late as possible before the process is started.
    environment.insert(QString::fromLatin1(startup::kSpawnVariable), QString::number(startup::monotonicNs()));
    child.setProcessEnvironment(environment);
    child.start(program, QStringList());
    if (!child.waitForFinished(kChildTimeoutMs) || child.exitCode() != 0)
        fail(QStringLiteral("%1 did not show its window and end: %2")
                 .arg(program, QString::fromLocal8Bit(child.readAllStandardError())));
    const QStringList fields = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (fields.size() != 3 || fields.first() != QLatin1String("SHOWN") || fields.at(1).toLongLong() <= 0)
        fail(QStringLiteral("%1 printed %2").arg(program, fields.join(QLatin1Char(' '))));
    return {fields.at(1).toDouble() / 1e6, fields.at(2).toDouble() / 1024.0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runsIndex = args.indexOf(QStringLiteral("--runs"));
    const int runs = runsIndex > 0 && runsIndex + 1 < args.size() ? args.at(runsIndex + 1).toInt() : kDefaultRuns;

    const QDir here(QCoreApplication::applicationDirPath());
    const QString window = here.filePath(QStringLiteral("bench_startup_window"));
    const QString floor = here.filePath(QStringLiteral("bench_startup_floor"));

    progress(QStringLiteral("figure 4: %1 starts of each program").arg(runs));
    // One start of each first, not counted: it brings the libraries into
    // the page cache for both alike.
    startOnce(floor);
    startOnce(window);
    std::vector<double> windowTimes, floorTimes, windowPeaks, floorPeaks;
    for (int i = 0; i < runs; ++i) {
        // Taking turns at going first spreads any drift of the machine.
        const bool floorFirst = i % 2 == 0;
        const Start a = startOnce(floorFirst ? floor : window);
        const Start b = startOnce(floorFirst ? window : floor);
        const Start &f = floorFirst ? a : b;
        const Start &w = floorFirst ? b : a;
        floorTimes.push_back(f.milliseconds);
        floorPeaks.push_back(f.peakMiB);
        windowTimes.push_back(w.milliseconds);
        windowPeaks.push_back(w.peakMiB);
    }

    constexpr double kTimeGoal = 1.5;
    constexpr double kMemoryGoalMiB = 15;
    const double windowTime = median(windowTimes);
    const double floorTime = median(floorTimes);
    const double windowPeak = median(windowPeaks);
    const double floorPeak = median(floorPeaks);
    printRow({QStringLiteral("4"), QStringLiteral("process start to window painted (offscreen), median"),
              number(windowTime, 1) + QStringLiteral(" ms"), number(floorTime, 1) + QStringLiteral(" ms (empty QMainWindow)"),
              ratioText(windowTime / floorTime), QStringLiteral("<= 1.5x"), verdict(windowTime / floorTime <= kTimeGoal)});
    printRow({QStringLiteral("4"), QStringLiteral("peak RSS when painted, median"),
              QStringLiteral("%1 MiB (+%2 MiB)").arg(number(windowPeak, 1), number(windowPeak - floorPeak, 1)),
              number(floorPeak, 1) + QStringLiteral(" MiB (empty QMainWindow)"), ratioText(windowPeak / floorPeak),
              QStringLiteral("<= floor + 15 MiB"), verdict(windowPeak - floorPeak <= kMemoryGoalMiB)});
    const double windowFastest = *std::min_element(windowTimes.begin(), windowTimes.end());
    const double floorFastest = *std::min_element(floorTimes.begin(), floorTimes.end());
    printNote(QStringLiteral("figure 4: %1 starts each, in turn, after one uncounted start of each (fastest: %2 ms "
                             "against %3 ms, %4); the window program is main() as shipped plus a quit after the "
                             "first paint, linked with %5")
                  .arg(runs)
                  .arg(number(windowFastest, 1), number(floorFastest, 1), ratioText(windowFastest / floorFastest),
                       QString::fromUtf8(BENCH_STARTUP_HIDAPI)));
    return 0;
}
