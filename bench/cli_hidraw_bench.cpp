// Figure 8 over hidraw nodes: the command-line tool's `list` against a bare
// hid_enumerate of the same devices, both through the system hidapi over
// hidraw nodes that umockdev emulates (run under its preload), where an
// enumeration reads sysfs and udev's records as it does on a real machine.
// The notes break the tool's time down into its parts, measured the same
// way.
//
//   bench_cli_hidraw [--smoke] [--rounds N]

#include "BenchCommon.h"
#include "HidrawCamera.h"

#include "cli/Cli.h"
#include "cli/Link.h"

#include <QCoreApplication>
#include <QStringList>

#include <hidapi/hidapi.h>

#include <cstdio>
#include <functional>

using namespace bench;

namespace {

constexpr int kDefaultRounds = 400;
constexpr double kGoalRatio = 2.0;

// The bus as the figure sees it: one camera in normal mode, whose two vendor
// interfaces and consumer-control interface are three hidraw nodes.
constexpr int kNodes = 3;

int bareEnumeration()
{
    hid_device_info *list = hid_enumerate(0, 0);
    int found = 0;
    for (hid_device_info *info = list; info; info = info->next)
        ++found;
    hid_free_enumeration(list);
    return found;
}

// Seconds per call of `step`, taken `rounds` times in turn with the others
// so that all see the same machine.
struct Part
{
    QString name;
    std::function<void()> step;
    double total = 0;
};

void measureInTurn(QVector<Part> &parts, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        for (Part &part : parts) {
            const Clock::time_point start = Clock::now();
            part.step();
            part.total += secondsSince(start);
        }
    }
    for (Part &part : parts)
        part.total /= rounds;
}

QString micros(double seconds)
{
    return number(seconds * 1e6, 1) + QStringLiteral(" µs");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    dropDebugOutput();
    if (!realhid::HidrawCamera::underPreload())
        fail(QStringLiteral("must run under umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0)"));
    const QStringList args = app.arguments();
    int rounds = args.contains(QStringLiteral("--smoke")) ? 10 : kDefaultRounds;
    const int roundsAt = args.indexOf(QStringLiteral("--rounds"));
    if (roundsAt > 0 && roundsAt + 1 < args.size())
        rounds = std::max(1, args.at(roundsAt + 1).toInt());

    realhid::HidrawCamera bus;
    bus.camera()->attach(sim::Identity::Normal);
    bus.settle();
    if (hid_init() != 0)
        fail(QStringLiteral("hid_init failed"));
    if (bareEnumeration() != kNodes)
        fail(QStringLiteral("the bare enumeration does not find the camera's %1 nodes").arg(kNodes));

    FILE *out = std::fopen("/dev/null", "w");
    FILE *err = std::fopen("/dev/null", "w");
    if (!out || !err)
        fail(QStringLiteral("cannot open /dev/null"));
    const QVector<discovery::Device> devices = cli::attachedDevices();
    if (devices.size() != 1 || devices.first().interfaces.size() != kNodes)
        fail(QStringLiteral("the tool does not see the camera's %1 nodes").arg(kNodes));
    const discovery::Device camera = devices.first();

    QVector<Part> parts{
        {QStringLiteral("bare"), [] { bareEnumeration(); }},
        {QStringLiteral("list"),
         [&] {
             if (cli::runCli({QStringLiteral("--json"), QStringLiteral("list")}, out, err, false) != 0)
                 fail(QStringLiteral("list failed"));
         }},
        {QStringLiteral("enumeration and sort"), [] { cli::attachedDevices(); }},
        {QStringLiteral("access checks"),
         [&] {
             for (const discovery::Interface &entry : camera.interfaces) {
                 if (cli::nodeAccess(entry.path) != cli::Access::Open)
                     fail(QStringLiteral("%1 does not open").arg(QString::fromLocal8Bit(entry.path)));
             }
         }},
    };
    progress(QStringLiteral("figure 8 over hidraw: %1 rounds").arg(rounds));
    measureInTurn(parts, rounds);
    hid_exit();
    std::fclose(out);
    std::fclose(err);
    if (bus.openHandles() != 0 || !bus.violations().isEmpty())
        fail(QStringLiteral("the emulated bus saw a handle left open or a violation"));

    const double bare = parts.at(0).total;
    const double list = parts.at(1).total;
    printRow({QStringLiteral("8"), QStringLiteral("CLI list, one camera (3 hidraw nodes), system hidapi over umockdev"),
              micros(list), micros(bare) + QStringLiteral(" (bare hid_enumerate)"), ratioText(list / bare),
              QStringLiteral("<= 2x"), verdict(list / bare <= kGoalRatio)});
    printNote(QStringLiteral("figure 8 over hidraw: %1 rounds in turn of a bare hid_enumerate(0, 0) and one `--json "
                             "list` (hid_init to hid_exit, output to /dev/null), both through the system hidapi under "
                             "umockdev's preload; of the tool's time, its enumeration and sort into devices took %2, "
                             "the access checks of the %3 nodes %4 (each part timed on its own, in the same turns)")
                  .arg(rounds)
                  .arg(micros(parts.at(2).total))
                  .arg(kNodes)
                  .arg(micros(parts.at(3).total)));
    return 0;
}
