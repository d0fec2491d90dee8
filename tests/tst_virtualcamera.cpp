// The virtual camera, seen the way the tool sees it: only through hidapi's
// C functions. The frames here are built by hand, independently of both the
// tool's frame code and the camera's.

#include "VirtualCamera.h"
#include "support/Bytes.h"

#include <hidapi/hidapi.h>

#include <QElapsedTimer>
#include <QtTest>

#include <numeric>

using namespace sim;
using std::chrono::milliseconds;

namespace {

constexpr int kFrameSize = 64;
constexpr int kDataReportSize = 512;
constexpr int kChunk = 510;
constexpr int kLongWaitMs = 1000;      // a read that must see a reply long before this
constexpr int kQuietWaitMs = 150;      // a read that must see nothing
constexpr milliseconds kShortDelay(120);

QByteArray request(quint8 group, quint8 code, const QByteArray &payload = QByteArray())
{
    const QByteArray header = QByteArray::fromHex("112233") + char(group) + char(code) + char(payload.size()) + '\0';
    return (header + payload).leftJustified(kFrameSize, '\0');
}

QByteArray sizePayload(quint32 size)
{
    return QByteArray() + char(size >> 24) + char(size >> 16) + char(size >> 8) + char(size);
}

quint8 byteSum(const QByteArray &bytes)
{
    return quint8(std::accumulate(bytes.begin(), bytes.end(), 0, [](int sum, char byte) { return sum + quint8(byte); }));
}

// The reply the camera must send.
QByteArray reply(quint8 group, quint8 code, const QByteArray &payload)
{
    QByteArray frame = request(group, code, payload);
    frame[kFrameSize - 1] = char(byteSum(frame.left(kFrameSize - 1)));
    return frame;
}

QByteArray dataReport(const QByteArray &chunk)
{
    return (QByteArray::fromHex("2200") + chunk).leftJustified(kDataReportSize, '\0');
}

int write(hid_device *device, const QByteArray &bytes)
{
    return hid_write(device, reinterpret_cast<const uchar *>(bytes.constData()), size_t(bytes.size()));
}

// What one read returns: the report, or "-1"/"0" for a failure or nothing.
QByteArray read(hid_device *device, int timeoutMs = 0, size_t length = kFrameSize)
{
    uchar buffer[kFrameSize] = {};
    const int count = hid_read_timeout(device, buffer, length, timeoutMs);
    return count > 0 ? QByteArray(reinterpret_cast<const char *>(buffer), count) : QByteArray::number(count);
}

hid_device *openInterface(quint16 vendorId, quint16 productId, quint16 usagePage)
{
    hid_device_info *list = hid_enumerate(vendorId, productId);
    hid_device *device = nullptr;
    for (hid_device_info *entry = list; entry && !device; entry = entry->next) {
        if (entry->usage_page == usagePage)
            device = hid_open_path(entry->path);
    }
    hid_free_enumeration(list);
    return device;
}

bool opensAndCloses(hid_device *device)
{
    hid_close(device);
    return device != nullptr;
}

} // namespace

Q_DECLARE_METATYPE(sim::AckMode)

class TestVirtualCamera : public QObject
{
    Q_OBJECT

    VirtualCamera &camera = VirtualCamera::instance();
    hid_device *control = nullptr;
    hid_device *data = nullptr;

    void openBoth(quint16 vendorId, quint16 productId)
    {
        control = openInterface(vendorId, productId, kControlUsagePage);
        data = openInterface(vendorId, productId, kDataUsagePage);
    }

    void becomeUpgradeDevice()
    {
        cleanup();
        camera.attach(Identity::Upgrade);
        openBoth(kUpgradeVendorId, kUpgradeProductId);
    }

    void announce(int size) { write(control, request(0x22, 0x00, sizePayload(quint32(size)))); }
    QString violations() const { return camera.formatViolations().join(QStringLiteral(" | ")); }

private slots:
    void init()
    {
        camera.reset();
        camera.attach(Identity::Normal);
        camera.setReadWaits(false);
        openBoth(kNormalVendorId, kNormalProductId);
        QVERIFY(control && data);
        camera.clearRecords();
    }

    void cleanup()
    {
        hid_close(control);
        hid_close(data);
        control = data = nullptr;
    }

    void enumerationDescribesTheAttachedIdentityOnly()
    {
        hid_device_info *list = hid_enumerate(kNormalVendorId, kNormalProductId);
        QVERIFY(list && list->next && !list->next->next);
        QCOMPARE(QByteArray(list->path), QByteArray("sim:2207:2008:0"));
        QCOMPARE(list->vendor_id, kNormalVendorId);
        QCOMPARE(list->release_number, quint16(0x0100));
        QCOMPARE(list->usage_page, kControlUsagePage);
        QCOMPARE(list->next->usage_page, kDataUsagePage);
        QCOMPARE(list->next->interface_number, 1);
        QVERIFY(list->serial_number && wcslen(list->serial_number) > 0);
        QVERIFY(list->manufacturer_string && list->product_string);
        hid_free_enumeration(list);
        QVERIFY(!hid_enumerate(kUpgradeVendorId, kUpgradeProductId));
        QVERIFY(!hid_open(kUpgradeVendorId, kUpgradeProductId, nullptr));
        QCOMPARE(camera.callCount("hid_enumerate"), 2);
    }

    void repliesCarryTheirChecksum_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");   // "0": no reply
        // Mode 1 is spelled out byte by byte, checksum 0x39 included.
        const QByteArray modeOne = QByteArray::fromHex("11223320b1010001").leftJustified(63, '\0') + char(0x39);
        QTest::newRow("version") << request(0x20, 0x06) << reply(0x20, 0x07, "V1.0.3");
        QTest::newRow("set mode") << request(0x20, 0x96, "\x02") << reply(0x20, 0x97, QByteArray(1, '\0'));
        QTest::newRow("mode 1") << request(0x20, 0xB0) << modeOne;
        QTest::newRow("name") << request(0x20, 0xC6) << reply(0x20, 0xC7, "Conference Camera");
        QTest::newRow("levels") << request(0x20, 0xD0) << reply(0x20, 0xD1, QByteArray::fromHex("0180feff7f102030c005"));
        QTest::newRow("preamble") << request(0x27, 0x00) << QByteArray("0");
        QTest::newRow("filter switch") << request(0x20, 0xD2) << QByteArray("0");
        QTest::newRow("upgrade start to camera") << request(0x22, 0x00, sizePayload(600)) << QByteArray("0");
    }

    void repliesCarryTheirChecksum()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        camera.setMode(1);
        camera.setAudioLevels({0x01, 0x80, 0xFE, 0xFF, 0x7F, 0x10, 0x20, 0x30, 0xC0, 0x05});
        QCOMPARE(write(control, frame), kFrameSize);
        QCOMPARE(read(control), expected);
        QCOMPARE(camera.controlRequests(), QVector<QByteArray>{frame});
        QCOMPARE(violations(), QString());
        QCOMPARE(camera.announcedSize(), qint64(-1));
    }

    void requestsChangeCameraState()
    {
        write(control, request(0x20, 0x96, "\x08"));
        QCOMPARE(camera.mode(), quint8(8));
        write(control, request(0x20, 0xB0));
        read(control);
        QCOMPARE(read(control), reply(0x20, 0xB1, "\x08"));
        write(control, request(0x20, 0xD2));
        write(control, request(0x20, 0xD2));
        QCOMPARE(camera.lpfSwitchCount(), 2);
        camera.setSilent(true);
        write(control, request(0x20, 0x06));
        QCOMPARE(read(control), "0");
    }

    void malformedWritesAreRecordedNotActedOn_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("toData");
        QTest::addColumn<QString>("reason");
        const QByteArray setMode = request(0x20, 0x96, "\x02");
        auto with = [&setMode](int index, char value) { QByteArray f = setMode; f[index] = value; return f; };
        QTest::newRow("63 bytes") << setMode.left(63) << false << "63 bytes";
        QTest::newRow("65 bytes") << setMode + '\0' << false << "65 bytes";
        QTest::newRow("report ID") << with(0, 0x12) << false << "report ID 0x12";
        QTest::newRow("sync") << with(2, 0x34) << false << "sync";
        QTest::newRow("reserved byte") << with(6, 0x01) << false << "reserved";
        QTest::newRow("length 58") << with(5, 58) << false << "exceeds";
        QTest::newRow("fill after payload") << with(8, 0x01) << false << "byte 8";
        QTest::newRow("checksum in request") << with(63, char(byteSum(setMode.left(63)))) << false << "no checksum";
        QTest::newRow("unknown code") << request(0x20, 0x55) << false << "unknown command";
        QTest::newRow("unknown group") << request(0x21, 0x06) << false << "unknown command";
        QTest::newRow("set mode, no payload") << request(0x20, 0x96) << false << "length 0, expected 1";
        QTest::newRow("version with payload") << request(0x20, 0x06, "\x01") << false << "length 1, expected 0";
        QTest::newRow("start, 3 size bytes") << request(0x22, 0x00, "\x00\x01\x02") << false << "expected 4";
        QTest::newRow("unknown mode") << request(0x20, 0x96, "\x05") << false << "unknown mode 5";
        QTest::newRow("data report on control") << dataReport("abc") << false << "control interface";
        QTest::newRow("command frame on data") << request(0x20, 0x06) << true << "data interface";
    }

    void malformedWritesAreRecordedNotActedOn()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, toData);
        QFETCH(QString, reason);
        QCOMPARE(write(toData ? data : control, bytes), bytes.size());
        QVERIFY2(camera.formatViolations().size() == 1 && violations().contains(reason), qPrintable(violations()));
        QCOMPARE(read(control), "0");
        QVERIFY(camera.controlRequests().isEmpty());
        QCOMPARE(camera.mode(), quint8(0));
        QCOMPARE(camera.writtenFrames().size(), 1);
        QCOMPARE(camera.writtenFrames().first().usagePage, toData ? kDataUsagePage : kControlUsagePage);
    }

    void handlesDieWhenTheDeviceLeaves()
    {
        camera.queueReply(0x20, 0x07, "V9");
        camera.detach();
        QCOMPARE(write(control, request(0x20, 0x06)), -1);
        QVERIFY(!camera.writtenFrames().last().accepted);
        QCOMPARE(read(control), "-1");
        QVERIFY(!hid_open(kNormalVendorId, kNormalProductId, nullptr));
        QVERIFY(!hid_enumerate(kNormalVendorId, kNormalProductId));
        cleanup();   // dead handles still close cleanly
        QCOMPARE(camera.openHandleCount(), 0);
        QCOMPARE(camera.doubleCloses(), 0);
        camera.attach(Identity::Normal);
        openBoth(kNormalVendorId, kNormalProductId);
        QCOMPARE(read(control), "0");   // what was queued left with the old device
    }

    void opensFailWhenToldOrAbsent()
    {
        camera.setProbeFails(Identity::Normal, true);
        QVERIFY(!hid_open(kNormalVendorId, kNormalProductId, nullptr));
        QVERIFY(opensAndCloses(hid_open_path("sim:2207:2008:0")));
        camera.setProbeFails(Identity::Normal, false);
        QVERIFY(!hid_open(kNormalVendorId, kNormalProductId, L"not-this-one"));
        QVERIFY(!hid_open_path("sim:2207:2008:2"));
        camera.setOpenFails(kDataUsagePage, true);
        QVERIFY(!openInterface(kNormalVendorId, kNormalProductId, kDataUsagePage));
        QVERIFY(opensAndCloses(openInterface(kNormalVendorId, kNormalProductId, kControlUsagePage)));
        camera.setOpenFails(kDataUsagePage, false);
        camera.attach(Identity::Normal, {InterfaceSpec{kControlUsagePage, 1, 0}});
        QVERIFY(!openInterface(kNormalVendorId, kNormalProductId, kDataUsagePage));
    }

    void enterUpgradeComesBackAfterTheDelay()
    {
        camera.setUpgradeReturnDelay(kShortDelay);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(write(control, request(0x20, 0xD3)), kFrameSize);
        QVERIFY(!camera.isAttached());
        QCOMPARE(write(control, request(0x20, 0x06)), -1);
        QTRY_VERIFY_WITH_TIMEOUT(opensAndCloses(hid_open(kUpgradeVendorId, kUpgradeProductId, nullptr)), 3000);
        QVERIFY(clock.elapsed() >= kShortDelay.count());
        QVERIFY(opensAndCloses(openInterface(kUpgradeVendorId, kUpgradeProductId, kDataUsagePage)));
    }

    void cancelledPlansNeverRun()
    {
        camera.setUpgradeReturnDelay(kShortDelay);
        QCOMPARE(write(control, request(0x20, 0xD3)), kFrameSize);
        camera.cancelPlans();
        QTest::qWait(int(kShortDelay.count()) * 2);
        camera.pump();
        QVERIFY(!camera.isAttached());
        QVERIFY(!opensAndCloses(hid_open(kUpgradeVendorId, kUpgradeProductId, nullptr)));
    }

    void goodUploadIsFlashedAndTheCameraReboots()
    {
        becomeUpgradeDevice();
        camera.setReadWaits(true);
        camera.setProgressPlan({10, 100}, milliseconds(20), milliseconds(40), "V2.0.0");
        const QByteArray image = noiseImage(1021);   // 510 + 510 + 1 bytes
        announce(image.size());
        QCOMPARE(read(control, kLongWaitMs), reply(0x22, 0x01, QByteArray(1, '\0')));
        QCOMPARE(camera.announcedSize(), qint64(image.size()));
        for (int offset = 0; offset < image.size(); offset += kChunk)
            QCOMPARE(write(data, dataReport(image.mid(offset, kChunk))), kDataReportSize);
        QCOMPARE(camera.receivedImage(), image);
        QCOMPARE(camera.dataReportCount(), 3);

        const quint8 sum = byteSum(image);
        write(control, request(0x22, 0x02, QByteArray(1, char(sum))));
        QCOMPARE(read(control, kLongWaitMs), reply(0x22, 0x03, QByteArray(1, '\0')));
        QCOMPARE(camera.completeChecksum(), int(sum));
        QCOMPARE(read(control, kLongWaitMs), reply(0x22, 0x04, "\x0a"));
        QCOMPARE(read(control, kLongWaitMs), reply(0x22, 0x04, "\x64"));
        QCOMPARE(read(control, kLongWaitMs), "-1");   // the reboot ends the wait
        QCOMPARE(camera.identity(), Identity::Normal);

        cleanup();
        openBoth(kNormalVendorId, kNormalProductId);
        write(control, request(0x20, 0x06));
        QCOMPARE(read(control), reply(0x20, 0x07, "V2.0.0"));
        QCOMPARE(violations(), QString());
    }

    void badUploadIsRefused_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("sumError");
        QTest::newRow("wrong sum") << true << 3 << 1;
        QTest::newRow("report missing") << true << 2 << 0;
        QTest::newRow("no start") << false << 0 << 0;
    }

    void badUploadIsRefused()
    {
        QFETCH(bool, announced);
        QFETCH(int, reports);
        QFETCH(int, sumError);
        becomeUpgradeDevice();
        const QByteArray image = noiseImage(1021);
        if (announced)
            announce(image.size());
        read(control);
        for (int i = 0; i < reports; ++i)
            write(data, dataReport(image.mid(i * kChunk, kChunk)));
        const QByteArray sent = image.left(reports * kChunk);
        write(control, request(0x22, 0x02, QByteArray(1, char(byteSum(sent) + sumError))));
        QCOMPARE(read(control), reply(0x22, 0x03, "\x01"));
        camera.setReadWaits(true);
        QCOMPARE(read(control, kQuietWaitMs), "0");   // no progress, no reboot
        QVERIFY(camera.isAttached() && camera.identity() == Identity::Upgrade);
    }

    void dataReportsBreakingTheFormatAreRecorded_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<int>("before");    // good reports sent first
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("corrupt");   // byte set to 0x5A, -1 for none
        QTest::addColumn<QString>("reason");
        QTest::newRow("before start") << false << 0 << 512 << -1 << "outside an upload";
        QTest::newRow("511 bytes") << true << 0 << 511 << -1 << "511 bytes";
        QTest::newRow("report ID") << true << 0 << 512 << 0 << "report ID 0x5A";
        QTest::newRow("byte 1") << true << 0 << 512 << 1 << "byte 1";
        QTest::newRow("fill after last byte") << true << 1 << 512 << 2 + 90 << "zero fill";
        QTest::newRow("beyond announced size") << true << 2 << 512 << -1 << "complete";
    }

    void dataReportsBreakingTheFormatAreRecorded()
    {
        QFETCH(bool, announced);
        QFETCH(int, before);
        QFETCH(int, size);
        QFETCH(int, corrupt);
        QFETCH(QString, reason);
        becomeUpgradeDevice();
        const QByteArray image = noiseImage(600);   // 510 + 90 bytes
        if (announced)
            announce(image.size());
        for (int i = 0; i < before; ++i)
            QCOMPARE(write(data, dataReport(image.mid(i * kChunk, kChunk))), kDataReportSize);
        QByteArray report = dataReport(image.mid(before * kChunk, kChunk)).left(size);
        if (corrupt >= 0)
            report[corrupt] = char(0x5A);
        QCOMPARE(write(data, report), size);
        QVERIFY2(camera.formatViolations().size() == 1 && violations().contains(reason), qPrintable(violations()));
        QCOMPARE(camera.receivedImage(), image.left(before * kChunk));
        QCOMPARE(camera.dataReportCount(), before);
    }

    void startAckFollowsTheSetting_data()
    {
        QTest::addColumn<AckMode>("mode");
        QTest::addColumn<int>("status");
        QTest::newRow("immediate, refused") << AckMode::Immediate << 7;
        QTest::newRow("delayed") << AckMode::Delayed << 0;
        QTest::newRow("never") << AckMode::Never << 0;
    }

    void startAckFollowsTheSetting()
    {
        QFETCH(AckMode, mode);
        QFETCH(int, status);
        becomeUpgradeDevice();
        camera.setStartAck(mode, quint8(status), kShortDelay);
        camera.setReadWaits(true);
        QElapsedTimer clock;
        clock.start();
        announce(1000);
        const QByteArray expected = reply(0x22, 0x01, QByteArray(1, char(status)));
        QCOMPARE(read(control), mode == AckMode::Immediate ? expected : "0");
        const bool late = mode == AckMode::Delayed;
        QCOMPARE(read(control, late ? kLongWaitMs : kQuietWaitMs), late ? expected : "0");
        if (late)
            QVERIFY(clock.elapsed() >= kShortDelay.count());
    }

    void failedAndVanishingDataWrites()
    {
        becomeUpgradeDevice();
        const QByteArray image = noiseImage(3 * kChunk);
        announce(image.size());
        camera.clearRecords();
        camera.failNextDataWrites(2);
        camera.vanishAfterDataReports(2);
        const QByteArray first = dataReport(image.left(kChunk));
        QCOMPARE(write(data, first), -1);
        QCOMPARE(write(data, first), -1);
        QCOMPARE(write(data, first), kDataReportSize);
        QCOMPARE(write(data, dataReport(image.mid(kChunk, kChunk))), kDataReportSize);
        QVERIFY(!camera.isAttached());
        QCOMPARE(write(data, dataReport(image.mid(2 * kChunk))), -1);
        QCOMPARE(camera.receivedImage(), image.left(2 * kChunk));
        QVector<bool> accepted;
        for (const WrittenFrame &frame : camera.writtenFrames())
            accepted << frame.accepted;
        QCOMPARE(accepted, (QVector<bool>{false, false, true, true, false}));
        QCOMPARE(violations(), QString());
    }

    void readsHonourTimeoutsAndSwitches()
    {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(read(control, kQuietWaitMs), "0");
        QVERIFY(clock.elapsed() < kQuietWaitMs);   // waits are off
        camera.setReadWaits(true);
        clock.restart();
        QCOMPARE(read(control, kQuietWaitMs), "0");
        QVERIFY(clock.elapsed() >= kQuietWaitMs);

        const QByteArray shortReport = QByteArray::fromHex("11223320b10000");
        camera.queueReport(shortReport);
        QCOMPARE(read(control), shortReport);
        camera.queueReply(0x20, 0x07, "V1");
        QCOMPARE(read(control, 0, 10).size(), 10);

        camera.queueReply(0x20, 0x07, "V1");
        QCOMPARE(read(data), "0");
        QCOMPARE(camera.lastReadUsagePage(), kDataUsagePage);
        QCOMPARE(camera.lastReadInterface(), 1);
        camera.setReadFails(true);
        QCOMPARE(read(control), "-1");
        camera.setReadFails(false);
        uchar buffer[kFrameSize];
        QCOMPARE(hid_read(control, buffer, sizeof buffer), kFrameSize);
    }

    void handleAccounting()
    {
        QCOMPARE(camera.totalOpened(), 2);   // clearRecords leaves handle state alone
        hid_close(data);
        hid_close(data);
        QCOMPARE(camera.doubleCloses(), 1);
        QCOMPARE(camera.totalClosed(), 1);
        QCOMPARE(camera.openHandleCount(), 1);
        QCOMPARE(write(data, request(0x20, 0x06)), -1);
        QVERIFY(violations().contains("closed handle"));
        data = nullptr;
        hid_exit();
        QVERIFY(camera.exitCalled() && camera.exitedWithOpenHandles());

        camera.reset();   // the control handle outlives it, dead
        QCOMPARE(camera.openHandleCount(), 0);
        QCOMPARE(write(control, request(0x20, 0x06)), -1);
        hid_close(control);
        control = nullptr;
        QCOMPARE(camera.totalClosed(), 0);
        QCOMPARE(camera.doubleCloses(), 0);
        QCOMPARE(camera.callCount("hid_close"), 1);
        hid_exit();
        QVERIFY(camera.exitCalled() && !camera.exitedWithOpenHandles());
    }
};

QTEST_GUILESS_MAIN(TestVirtualCamera)
#include "tst_virtualcamera.moc"
