#include "BenchCommon.h"

#include "protocol/Discovery.h"

#include <QByteArray>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace bench {

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

double secondsSince(Clock::time_point from)
{
    return secondsBetween(from, Clock::now());
}

qint64 statusKiB(const char *field)
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    const std::size_t length = std::strlen(field);
    char line[256];
    qint64 value = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtoll(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return value;
}

bool resetPeakResident()
{
    // Writing 5 to clear_refs resets the peak resident set size (Linux 4.0+).
    FILE *refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs)
        return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

namespace {
// Warnings every offscreen run of the window prints, and that say nothing
// about the measurement: the window sets a scaling attribute late, and the
// offscreen platform has no window manager to pass size hints to.
const char *const kExpectedWarnings[] = {
    "Attribute Qt::AA_EnableHighDpiScaling must be set before QCoreApplication is created.",
    "This plugin does not support propagateSizeHints()",
};

void discardMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    for (const char *expected : kExpectedWarnings) {
        if (message == QLatin1String(expected))
            return;
    }
    // Other warnings still matter: they may mean the measurement is off.
    std::fprintf(stderr, "[qt] %s\n", qPrintable(message));
}
} // namespace

void dropDebugOutput()
{
    qInstallMessageHandler(discardMessage);
}

void useOffscreenPlatformUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void tightenTimerSlack()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

int reportsFor(qint64 size)
{
    return int((size + kImageBytesPerReport - 1) / kImageBytesPerReport);
}

ImageFile writeImage(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write %1").arg(path));
    ImageFile image;
    image.path = path;
    image.size = size;
    image.reports = reportsFor(size);

    // xorshift64: fast, and incompressible enough that nothing below us
    // (page cache, file system) takes a shortcut.
    quint64 state = 0x9E3779B97F4A7C15ULL ^ quint64(size);
    constexpr qint64 kBlock = 1 << 20;
    QByteArray block(int(kBlock), '\0');
    unsigned sum = 0;
    for (qint64 written = 0; written < size; written += kBlock) {
        const int n = int(qMin(kBlock, size - written));
        auto *bytes = reinterpret_cast<quint8 *>(block.data());
        for (int i = 0; i < n; i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(bytes + i, &state, size_t(qMin(8, n - i)));
        }
        if (written == 0)
            bytes[0] = 0x5A; // the header test wants a non-zero byte
        for (int i = 0; i < n; ++i)
            sum += bytes[i];
        if (file.write(block.constData(), n) != n)
            fail(QStringLiteral("short write to %1").arg(path));
    }
    image.sum = quint8(sum);
    return image;
}

void printRow(const Row &row)
{
    const QStringList cells{row.figure, row.measure, row.tool, row.floor, row.ratio, row.goal, row.result};
    std::printf("ROW\t%s\n", qPrintable(cells.join(QLatin1Char('\t'))));
    std::fflush(stdout);
}

void printNote(const QString &text)
{
    std::printf("NOTE\t%s\n", qPrintable(text));
    std::fflush(stdout);
}

void progress(const QString &text)
{
    std::fprintf(stderr, "[bench] %s\n", qPrintable(text));
}

void fail(const QString &why)
{
    std::fprintf(stderr, "[bench] FAILED: %s\n", qPrintable(why));
    std::fflush(stderr);
    std::exit(1);
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString ratioText(double ratio)
{
    return QString::number(ratio, 'f', ratio < 10 ? 3 : 1) + QLatin1Char('x');
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

hid_device *openCameraControlInterface()
{
    hid_device *control = nullptr;
    hid_device_info *devices = hid_enumerate(discovery::kCameraId.vendorId, discovery::kCameraId.productId);
    for (hid_device_info *info = devices; info; info = info->next) {
        if (info->usage_page == discovery::kControlUsagePage && !control)
            control = hid_open_path(info->path);
    }
    hid_free_enumeration(devices);
    if (!control)
        fail(QStringLiteral("the floor could not open the control interface"));
    return control;
}

void fillPlainReport(quint8 *report, const quint8 *piece, std::size_t n, unsigned &sum)
{
    constexpr std::size_t kPiece = 510;
    report[0] = 0x22;
    report[1] = 0;
    std::memcpy(report + 2, piece, n);
    if (n < kPiece)
        std::memset(report + 2 + n, 0, kPiece - n);
    for (std::size_t i = 0; i < n; ++i)
        sum += piece[i];
}

UpgradeInterfaces openUpgradeInterfaces()
{
    UpgradeInterfaces opened;
    hid_device_info *devices = hid_enumerate(discovery::kUpgradeId.vendorId, discovery::kUpgradeId.productId);
    for (hid_device_info *info = devices; info; info = info->next) {
        if (info->usage_page == discovery::kControlUsagePage && !opened.control)
            opened.control = hid_open_path(info->path);
        else if (info->usage_page == discovery::kDataUsagePage && !opened.data)
            opened.data = hid_open_path(info->path);
    }
    hid_free_enumeration(devices);
    if (!opened.control || !opened.data)
        fail(QStringLiteral("the floor could not open the upgrade device's interfaces"));
    return opened;
}

} // namespace bench
