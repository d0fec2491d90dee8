// Figures 7 and 8: the command-line tool's upload and its `list`, each
// against a floor measured in the same run on the same virtual camera.
//
// 7. `upgrade` streams the image with nothing between two writes. The tool's
//    own measure of its stream (first data report to last, printed in its -v
//    log) is set against figure 1's bare loop: read 510-byte pieces, fill the
//    report, add the byte sum, hid_write. The camera keeps every frame record
//    in both, since the tool offers no moment to drop them.
// 8. `list` (one enumeration of the bus, the sort into devices, a look at
//    each node, the JSON document) against a bare hid_enumerate of the same
//    devices.
//
//   bench_cli [--smoke]

#include "VirtualCamera.h"

#include "cli/Cli.h"
#include "device/CommandFrame.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/prctl.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPiece = frame::kMaxDataBytes;
constexpr qint64 kFloorFileBuffer = 64 * 1024;

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "bench_cli FAILED: %s\n", qPrintable(why));
    std::exit(1);
}

void row(const QString &figure, const QString &what, const QString &measured, const QString &floor, double ratio,
         const QString &goal, bool met)
{
    std::printf("ROW\t%s\t%s\t%s\t%s\t%.3fx\t%s\t%s\n", qPrintable(figure), qPrintable(what), qPrintable(measured),
                qPrintable(floor), ratio, qPrintable(goal), met ? "met" : "MISSED");
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::printf("NOTE\t%s\n", qPrintable(text));
    std::fflush(stdout);
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QString writeImage(const QTemporaryDir &dir, qint64 size)
{
    const QString path = dir.filePath(QStringLiteral("bench-%1.bin").arg(size));
    FILE *file = std::fopen(qPrintable(path), "wb");
    if (!file)
        fail(QStringLiteral("cannot write %1").arg(path));
    std::vector<unsigned char> block(1 << 20);
    quint32 state = 7;
    for (qint64 written = 0; written < size;) {
        for (unsigned char &byte : block) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<unsigned char>(state);
        }
        if (written == 0)
            block[0] = 'K';
        const size_t n = size_t(std::min<qint64>(qint64(block.size()), size - written));
        std::fwrite(block.data(), 1, n, file);
        written += qint64(n);
    }
    std::fclose(file);
    return path;
}

void prepareCamera(sim::VirtualCamera &camera)
{
    camera.reset();
    camera.setReadWaits(true);
    camera.setUpgradeReturnDelay(0ms);
    camera.setProgressPlan({100}, 0ms, 0ms, "V2");
    // Already in upgrade mode: the run goes straight to the upload.
    camera.attach(sim::Identity::Upgrade);
}

// The tool: a whole `upgrade` in-process; its own stream time from its log.
double toolStream(sim::VirtualCamera &camera, const QString &image, qint64 size, std::chrono::microseconds pace)
{
    prepareCamera(camera);
    camera.setDataWritePace(pace);
    FILE *out = std::fopen("/dev/null", "w");
    FILE *err = std::tmpfile();
    const int code = cli::runCli({QStringLiteral("--json"), QStringLiteral("-v"), QStringLiteral("upgrade"), image},
                                 out, err, false);
    std::fflush(err);
    std::rewind(err);
    QByteArray log;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0)
        log.append(buffer, int(n));
    std::fclose(err);
    std::fclose(out);
    if (code != 0)
        fail(QStringLiteral("the upgrade failed (%1): %2").arg(code).arg(QString::fromUtf8(log.right(400))));
    if (camera.receivedImage().size() != size || !camera.formatViolations().isEmpty())
        fail(QStringLiteral("the camera did not receive the image whole"));
    for (const QByteArray &line : log.split('\n')) {
        const QString text = QJsonDocument::fromJson(line).object().value(QStringLiteral("log")).toString();
        if (text.contains(QLatin1String(" bytes sent in ")))
            return text.section(QLatin1Char(' '), 4, 4).toDouble();
    }
    fail(QStringLiteral("the tool's log names no stream time"));
}

// Figure 1's floor, on the same camera.
double floorStream(sim::VirtualCamera &camera, const QString &image, qint64 size, std::chrono::microseconds pace)
{
    prepareCamera(camera);
    camera.setDataWritePace(pace);
    hid_device *control = nullptr;
    hid_device *data = nullptr;
    hid_device_info *devices = hid_enumerate(sim::kUpgradeVendorId, sim::kUpgradeProductId);
    for (hid_device_info *info = devices; info; info = info->next) {
        if (info->usage_page == sim::kControlUsagePage && !control)
            control = hid_open_path(info->path);
        else if (info->usage_page == sim::kDataUsagePage && !data)
            data = hid_open_path(info->path);
    }
    hid_free_enumeration(devices);
    if (!control || !data)
        fail(QStringLiteral("the floor could not open the interfaces"));
    const auto sizeBytes = frame::bigEndianSize(quint32(size));
    const auto announce = frame::buildRequest(frame::UPGRADE_START, sizeBytes.data(), int(sizeBytes.size()));
    quint8 reply[frame::kCommandFrameSize];
    if (hid_write(control, announce.data(), announce.size()) != frame::kCommandFrameSize
        || hid_read_timeout(control, reply, sizeof reply, 1000) <= 0)
        fail(QStringLiteral("the floor's upload was not accepted"));

    FILE *file = std::fopen(qPrintable(image), "rb");
    std::setvbuf(file, nullptr, _IOFBF, kFloorFileBuffer);
    quint8 piece[kPiece];
    quint8 report[frame::kDataReportSize];
    unsigned sum = 0;
    const Clock::time_point start = Clock::now();
    for (;;) {
        const size_t n = std::fread(piece, 1, sizeof piece, file);
        if (n == 0)
            break;
        report[0] = frame::kDataReportId;
        report[1] = 0;
        std::memcpy(report + 2, piece, n);
        if (n < sizeof piece)
            std::memset(report + 2 + n, 0, sizeof piece - n);
        for (size_t i = 0; i < n; ++i)
            sum += piece[i];
        if (hid_write(data, report, sizeof report) != int(sizeof report))
            fail(QStringLiteral("a floor write failed"));
    }
    const double seconds = secondsSince(start);
    std::fclose(file);
    hid_close(data);
    hid_close(control);
    if (camera.receivedImage().size() != size)
        fail(QStringLiteral("the floor's image did not arrive whole"));
    (void)sum;
    return seconds;
}

void uploadFigure(sim::VirtualCamera &camera, const QTemporaryDir &dir, qint64 size, std::chrono::microseconds pace,
                  int runs)
{
    const QString image = writeImage(dir, size);
    const int reports = int((size + kPiece - 1) / kPiece);
    double tool = 1e9;
    double floor = 1e9;
    for (int run = 0; run < runs; ++run) {
        floor = std::min(floor, floorStream(camera, image, size, pace));
        tool = std::min(tool, toolStream(camera, image, size, pace));
    }
    const double perTool = tool / reports * 1e6;
    const double perFloor = floor / reports * 1e6;
    const double ratio = tool / floor;
    const QString sizeText = QStringLiteral("%1 MiB").arg(size / (1024 * 1024));
    if (pace.count() == 0) {
        row(QStringLiteral("7"), QStringLiteral("CLI upgrade %1, writes instant (stream)").arg(sizeText),
            QStringLiteral("%1 µs/report (%2 s)").arg(perTool, 0, 'f', 3).arg(tool, 0, 'f', 3),
            QStringLiteral("%1 µs/report (%2 s)").arg(perFloor, 0, 'f', 3).arg(floor, 0, 'f', 3), ratio,
            QStringLiteral("<= 1.10x"), ratio <= 1.10);
    } else {
        const double ownShare = (tool - floor) / floor * 100;
        row(QStringLiteral("7"), QStringLiteral("CLI upgrade %1 at %2 µs/report (stream)").arg(sizeText).arg(pace.count()),
            QStringLiteral("%1 µs/report (%2 s)").arg(perTool, 0, 'f', 3).arg(tool, 0, 'f', 3),
            QStringLiteral("%1 µs/report (%2 s)").arg(perFloor, 0, 'f', 3).arg(floor, 0, 'f', 3), ratio,
            QStringLiteral("own cost < 1 % (%1 %)").arg(ownShare, 0, 'f', 2), ownShare < 1.0);
    }
}

void listFigure(sim::VirtualCamera &camera, int rounds)
{
    camera.reset();
    camera.setReadWaits(false);
    camera.attach(sim::Identity::Normal);
    camera.attachSecond(sim::Identity::Normal);
    camera.setSecondListed(true);
    FILE *out = std::fopen("/dev/null", "w");
    FILE *err = std::fopen("/dev/null", "w");

    // In turn, many times, so that both see the same machine.
    double tool = 0;
    double floor = 0;
    for (int round = 0; round < rounds; ++round) {
        camera.clearRecords();
        Clock::time_point start = Clock::now();
        hid_device_info *list = hid_enumerate(0, 0);
        int found = 0;
        for (hid_device_info *info = list; info; info = info->next)
            ++found;
        hid_free_enumeration(list);
        floor += secondsSince(start);
        if (found != 4)
            fail(QStringLiteral("the bare enumeration found %1 interfaces").arg(found));

        start = Clock::now();
        const int code = cli::runCli({QStringLiteral("--json"), QStringLiteral("list")}, out, err, false);
        tool += secondsSince(start);
        if (code != 0)
            fail(QStringLiteral("list failed"));
    }
    std::fclose(out);
    std::fclose(err);
    const double perTool = tool / rounds * 1e6;
    const double perFloor = floor / rounds * 1e6;
    row(QStringLiteral("8"), QStringLiteral("CLI list, two cameras (4 nodes), in-process"),
        QStringLiteral("%1 µs").arg(perTool, 0, 'f', 1), QStringLiteral("%1 µs (bare hid_enumerate)").arg(perFloor, 0, 'f', 1),
        tool / floor, QStringLiteral("<= 2x"), tool / floor <= 2.0);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    // A paced write sleeps close to what it asks for.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();

    if (smoke) {
        uploadFigure(camera, dir, 1 << 20, 0us, 1);
        uploadFigure(camera, dir, 1 << 18, 125us, 1);
        listFigure(camera, 20);
        return 0;
    }
    uploadFigure(camera, dir, qint64(16) << 20, 0us, 5);
    uploadFigure(camera, dir, qint64(64) << 20, 0us, 3);
    uploadFigure(camera, dir, qint64(8) << 20, 125us, 2);
    listFigure(camera, 2000);
    note(QStringLiteral("figure 7: the tool runs `upgrade` in-process on a camera already in upgrade mode; its stream "
                        "is timed by the tool itself from the first data report to the last (-v log) and set against "
                        "figure 1's bare loop on the same camera, best of several runs each, in turn; the camera keeps "
                        "every frame record in both (the tool has no moment to drop them)"));
    note(QStringLiteral("figure 8: one `--json list` per round (enumeration, sort, a look at each node, the JSON "
                        "document written to /dev/null) against one bare hid_enumerate(0, 0) of the same bus, 2000 "
                        "rounds in turn"));
    return 0;
}
