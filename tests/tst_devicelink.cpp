// Discovery, connection, status labels, polling and the reply checks, all
// through the virtual camera.

#include "WindowHarness.h"
#include "protocol/CameraLock.h"
#include "ui/AccessNotice.h"
#include "ui/StyleSheets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

using Request = QPair<int, int>;
const Request kPreamble{0x27, 0x00};
const Request kGetVersion{0x20, 0x06};
const Request kGetMode{0x20, 0xB0};
const Request kGetName{0x20, 0xC6};

const QString kTeal = QString::fromUtf8(styles::kStatusCamera);
const QString kOrange = QString::fromUtf8(styles::kStatusUpgrade);
const QString kRed = QString::fromUtf8(styles::kStatusNotFound);

} // namespace

Q_DECLARE_METATYPE(sim::Identity)

class DeviceLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void cameraConnectSequence();
    void upgradeConnectSequence();
    void stateTransitions();
    void refreshAfterDeparture_data();
    void refreshAfterDeparture();
    void switchToUpgradeTakesCameraOffline();
    void bothIdentitiesAttached();
    void missingInterfaceShowsBox();
    void interfacesArrivingOneByOne_data();
    void interfacesArrivingOneByOne();
    void interfaceThatFailsToOpen();
    void cameraOutOfReach_data();
    void cameraOutOfReach();
    void laterInterfaceWithSamePageWins();
    void repeatedRefreshKeepsHandleCount();
    void vanishedDeviceIsHarmless();
    void replyChecksAndLogLines();
    void repliesShowInWindow();
    void reconnectInsideNestedBoxIsSafe();
    void randomReportsNeverCrash();
    void anotherProgramHoldsTheCamera_data();
    void anotherProgramHoldsTheCamera();
};

void DeviceLinkTest::cameraConnectSequence()
{
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    QCOMPARE(h.requests(), (QVector<Request>{kPreamble, kGetVersion, kGetMode, kGetMode, kGetName}));
    QVERIFY(h.camera.formatViolations().isEmpty());

    auto *device = h.find<QLabel>("deviceNameLabel");
    auto *status = h.find<QLabel>("statusLabel");
    auto *mode = h.find<QLabel>("Mode");
    QCOMPARE(status->text(), QStringLiteral("Status: Connected"));
    QCOMPARE(device->styleSheet(), kTeal);
    QCOMPARE(status->styleSheet(), kTeal);
    QCOMPARE(mode->styleSheet(), kTeal);

    const QStringList lines = h.log.lines();
    QVERIFY(lines.contains(QStringLiteral("主动请求UVC名称 CAMERA_GET_UVC_NAME_STRING 已发送")));
    const int found = lines.indexOf(QRegularExpression(QStringLiteral(
        "^Device Found type: \"2207\" \"2008\" path: \\S+ serial_number: \".*\"$")));
    QVERIFY2(found >= 0, qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY(lines.at(found + 1).contains(QRegularExpression(QStringLiteral(
        "^Manufacturer: \".*\" vendor id: \"2207\" product id: \"2008\" Product: \".*\" Release: \"[0-9a-f]+\" "
        "Interface: 0 serial number: \".*\" usage: \"1\" usage page: \"ff00\"$"))));
    QVERIFY(lines.contains(QStringLiteral("Opened interface with usage: \"1\" usage_page: \"ff00\"")));
    QVERIFY(lines.contains(QStringLiteral("Opened interface with usage: \"1\" usage_page: \"ff01\"")));
    QCOMPARE(h.modals.count(), 0);
}

void DeviceLinkTest::upgradeConnectSequence()
{
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Upgrade));
    QCOMPARE(h.requests(), (QVector<Request>{kPreamble, kGetVersion, kGetMode}));
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: UPD_DEVICES"));
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Connected"));
    QCOMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"));
    for (const char *name : {"deviceNameLabel", "statusLabel", "Mode"})
        QCOMPARE(h.find<QLabel>(name)->styleSheet(), kOrange);
    QVERIFY(h.log.lines().indexOf(QRegularExpression(QStringLiteral("^Device Found type: \"1d6b\" \"102\" .*"))) >= 0);
}

void DeviceLinkTest::stateTransitions()
{
    WindowHarness h;
    auto *device = h.find<QLabel>("deviceNameLabel");
    auto *status = h.find<QLabel>("statusLabel");
    auto *mode = h.find<QLabel>("Mode");

    // Idle, nothing attached: nothing changes.
    h.refresh();
    QCOMPARE(device->text(), QStringLiteral("Device: Unknown"));

    // Idle -> Camera.
    QVERIFY(h.connect(sim::Identity::Normal));
    QCOMPARE(mode->text(), QStringLiteral("Mode: FullScreen"));
    const int openAfterConnect = h.camera.openHandleCount();

    // Camera -> Camera on a watch tick: the probe is closed, nothing sent.
    h.camera.clearRecords();
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.callCount(QStringLiteral("hid_open")) >= 2, 3000);
    QVERIFY(h.requests().isEmpty());
    QCOMPARE(h.camera.openHandleCount(), openAfterConnect);

    // Camera -> Not found: red labels, Mode keeps text and colour.
    h.camera.detach();
    QTRY_COMPARE_WITH_TIMEOUT(device->text(), QStringLiteral("Device: Not Found"), 3000);
    QCOMPARE(status->text(), QStringLiteral("Status: Disconnected"));
    QCOMPARE(device->styleSheet(), kRed);
    QCOMPARE(status->styleSheet(), kRed);
    QCOMPARE(mode->text(), QStringLiteral("Mode: FullScreen"));
    QCOMPARE(mode->styleSheet(), kTeal);

    // Not found -> Not found: nothing changes.
    h.refresh();
    QCOMPARE(device->text(), QStringLiteral("Device: Not Found"));

    // Not found -> Upgrade device -> Camera directly (a reboot between checks).
    QVERIFY(h.connect(sim::Identity::Upgrade));
    QCOMPARE(mode->text(), QStringLiteral("Mode: UPD"));
    h.camera.detach();
    h.camera.attach(sim::Identity::Normal);
    h.camera.clearRecords();
    QTRY_COMPARE_WITH_TIMEOUT(device->styleSheet(), kTeal, 3000);
    QVERIFY(h.drainReplies());
    QCOMPARE(h.requests(), (QVector<Request>{kPreamble, kGetVersion, kGetMode, kGetMode, kGetName}));

    // Camera -> Upgrade device directly.
    h.camera.detach();
    h.camera.attach(sim::Identity::Upgrade);
    QTRY_COMPARE_WITH_TIMEOUT(mode->text(), QStringLiteral("Mode: UPD"), 3000);
    QCOMPARE(device->styleSheet(), kOrange);

    // Upgrade device -> Not found, on Refresh at once and on a watch tick;
    // nothing of the device stays open either way.
    h.camera.detach();
    h.refresh();
    QCOMPARE(device->text(), QStringLiteral("Device: Not Found"));
    QCOMPARE(h.camera.openHandleCount(), 0);
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.camera.detach();
    QTRY_COMPARE_WITH_TIMEOUT(device->text(), QStringLiteral("Device: Not Found"), 3000);
    QCOMPARE(h.camera.openHandleCount(), 0);
    QCOMPARE(h.camera.doubleCloses(), 0);
    QCOMPARE(mode->text(), QStringLiteral("Mode: UPD"));
}

void DeviceLinkTest::refreshAfterDeparture_data()
{
    QTest::addColumn<int>("identity");
    QTest::newRow("camera") << int(sim::Identity::Normal);
    QTest::newRow("upgrade device") << int(sim::Identity::Upgrade);
}

void DeviceLinkTest::refreshAfterDeparture()
{
    // Refresh forgets the connection before it looks; finding nothing, it
    // must still take the departed device down, and later ticks keep it so.
    QFETCH(int, identity);
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity(identity)));
    h.camera.detach();
    h.refresh();
    auto *device = h.find<QLabel>("deviceNameLabel");
    auto *status = h.find<QLabel>("statusLabel");
    QCOMPARE(device->text(), QStringLiteral("Device: Not Found"));
    QCOMPARE(status->text(), QStringLiteral("Status: Disconnected"));
    QCOMPARE(device->styleSheet(), kRed);
    QCOMPARE(status->styleSheet(), kRed);
    QCOMPARE(h.camera.openHandleCount(), 0);

    auto *watch = h.find<QTimer>("watchTimer");
    QVERIFY(watch);
    QSignalSpy ticks(watch, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 5000);
    QCOMPARE(status->text(), QStringLiteral("Status: Disconnected"));

    // The camera no longer counts as online: Apply says so and writes nothing.
    h.camera.clearRecords();
    h.click("applyButton");
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Device offline")});
    QVERIFY(h.camera.writtenFrames().isEmpty());
    QCOMPARE(h.camera.doubleCloses(), 0);
}

void DeviceLinkTest::switchToUpgradeTakesCameraOffline()
{
    // The camera leaves for upgrade mode between two checks: camera
    // commands must not go to the upgrade device.
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");  // the level meters, which poll while the camera is online
    h.camera.detach();
    h.camera.attach(sim::Identity::Upgrade);
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"), 3000);
    QVERIFY(h.drainReplies());
    // Probe and the two interfaces of the upgrade device, nothing else.
    QCOMPARE(h.camera.openHandleCount(), 3);

    h.camera.clearRecords();
    h.modals.clear();
    h.click("applyButton");
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Device offline")});
    QSignalSpy levelTicks(h.find<QTimer>("levelTimer"), &QTimer::timeout);
    QTRY_VERIFY(levelTicks.count() >= 3);
    QVERIFY(h.camera.writtenFrames().isEmpty());
}

void DeviceLinkTest::bothIdentitiesAttached()
{
    WindowHarness h;
    h.camera.attach(sim::Identity::Normal);
    h.camera.attachSecond(sim::Identity::Upgrade);
    h.refresh();
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Unknown"));
    QCOMPARE(h.camera.openHandleCount(), 0);
    QVERIFY(h.requests().isEmpty());
}

void DeviceLinkTest::missingInterfaceShowsBox()
{
    // A camera that lists one vendor interface only may still be arriving:
    // the box comes once it has stayed so for two seconds.
    WindowHarness h;
    h.camera.attach(sim::Identity::Normal, {sim::InterfaceSpec{0xFF00, 1, 0}});
    h.refresh();
    QCOMPARE(h.modals.count(), 0);
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Unknown"));
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.titles(), QStringList{QStringLiteral("HID Error")}, 4000);
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Unable to open HID device.")});
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: AI_CAMERA"));
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->styleSheet(), kTeal);
    // The camera sequence goes on after the box: mode and name requests only.
    QCOMPARE(h.requests(), (QVector<Request>{kGetMode, kGetName}));
    // No poll timer was made, so nothing is read.
    QTest::qWait(100);
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_read_timeout")), 0);
}

void DeviceLinkTest::interfacesArrivingOneByOne_data()
{
    QTest::addColumn<int>("identity");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("boxFirst");
    QTest::newRow("camera, 40 ms apart") << int(sim::Identity::Normal) << 40 << false;
    QTest::newRow("upgrade device, 60 ms apart") << int(sim::Identity::Upgrade) << 60 << false;
    // Incomplete for longer than the window waits: the box, then a connect
    // of its own once the device is whole, without Refresh.
    QTest::newRow("camera, 2.5 s apart") << int(sim::Identity::Normal) << 2500 << true;
}

void DeviceLinkTest::interfacesArrivingOneByOne()
{
    QFETCH(int, identity);
    QFETCH(int, gapMs);
    QFETCH(bool, boxFirst);
    WindowHarness h;
    h.camera.setInterfaceGap(std::chrono::milliseconds(gapMs));
    h.camera.attach(sim::Identity(identity));
    h.refresh();
    // Only the control interface is listed yet: nothing is connected.
    auto *device = h.find<QLabel>("deviceNameLabel");
    QCOMPARE(device->text(), QStringLiteral("Device: Unknown"));
    QCOMPARE(h.camera.openHandleCount(), 0);
    QVERIFY(h.requests().isEmpty());

    if (boxFirst) {
        QTRY_COMPARE_WITH_TIMEOUT(h.modals.titles(), QStringList{QStringLiteral("HID Error")}, 4000);
        QCOMPARE(device->text(), QStringLiteral("Device: AI_CAMERA"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(h.requests().contains(kGetVersion), 5000);
    QVERIFY(h.drainReplies());
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Connected"));
    QCOMPARE(h.find<QLineEdit>("Version")->text(), QStringLiteral("V1.0.3"));
    QCOMPARE(h.modals.count(), boxFirst ? 1 : 0);
    if (!boxFirst) {
        const QVector<Request> sequence = identity == int(sim::Identity::Normal)
            ? QVector<Request>{kPreamble, kGetVersion, kGetMode, kGetMode, kGetName}
            : QVector<Request>{kPreamble, kGetVersion, kGetMode};
        QCOMPARE(h.requests(), sequence);
    }
}

void DeviceLinkTest::interfaceThatFailsToOpen()
{
    WindowHarness h;
    h.camera.setOpenFails(0xFF01, true);
    h.camera.attach(sim::Identity::Upgrade);
    h.refresh();
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Unable to open HID device.")});
    QCOMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"));
    // The device lists both interfaces all along: the watch does not try it
    // again (and show the box again) on every tick.
    QSignalSpy ticks(h.find<QTimer>("watchTimer"), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 1, 3000);
    QCOMPARE(h.modals.count(), 1);
    // A later connect that opens both interfaces starts polling.
    h.camera.setOpenFails(0xFF01, false);
    h.modals.clear();
    QVERIFY(h.connect(sim::Identity::Upgrade));
    QCOMPARE(h.modals.count(), 0);
    QTRY_VERIFY(h.camera.callCount(QStringLiteral("hid_read_timeout")) > 0);
}

void DeviceLinkTest::cameraOutOfReach_data()
{
    QTest::addColumn<int>("identity");
    QTest::addColumn<bool>("probeFails");   // else only the data interface does not open
    QTest::addColumn<QString>("device");    // the device line meanwhile, as the window has always shown it
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("replug");       // leaves the bus and comes back: the notice once more

    QTest::newRow("camera, no node opens") << int(sim::Identity::Normal) << true << "Device: Unknown" << QStringList()
                                           << true;
    QTest::newRow("upgrade device, its data interface does not open")
        << int(sim::Identity::Upgrade) << false << "Device: UPD_DEVICES" << QStringList{"Unable to open HID device."}
        << false;
}

void DeviceLinkTest::cameraOutOfReach()
{
    QFETCH(int, identity);
    QFETCH(bool, probeFails);
    QFETCH(QString, device);
    QFETCH(QStringList, boxes);
    QFETCH(bool, replug);
    const sim::Identity id = sim::Identity(identity);
    WindowHarness h;
    // Nothing on the bus: no notice is made.
    h.refresh();
    QVERIFY(!h.window->findChild<QWidget *>("accessNotice"));

    if (probeFails)
        h.camera.setProbeFails(id, true);
    else
        h.camera.setOpenFails(0xFF01, true);
    h.camera.attach(id);
    // The watch finds it, without Refresh.
    QSignalSpy ticks(h.find<QTimer>("watchTimer"), &QTimer::timeout);
    AccessNotice *notice = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((notice = h.window->findChild<AccessNotice *>("accessNotice")) && notice->isVisible(),
                             3000);
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), device);
    QCOMPARE(h.modals.texts(), boxes);
    QCOMPARE(h.find<QLabel>("accessNoticeTitle")->text(), QStringLiteral("This user may not open the camera"));
    QVERIFY(h.find<QLabel>("accessNoticeText")->text().contains("(70-com.kelvora.CameraConfig.rules)"));
    QCOMPARE(notice->commands(), QStringLiteral("sudo udevadm control --reload-rules\n"
                                                "sudo udevadm trigger --subsystem-match=hidraw\n"
                                                "kelvora-camera-cli doctor"));
    h.click("accessNoticeCopy");
    QCOMPARE(QGuiApplication::clipboard()->text(), notice->commands() + QLatin1Char('\n'));

    // Closed, it stays closed while the camera stays: the looks go on
    // without bringing it back, or the box.
    h.click("accessNoticeHide");
    QVERIFY(!notice->isVisible());
    int seen = ticks.count();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() > seen, 3000);
    QVERIFY(!notice->isVisible());
    QCOMPARE(h.modals.texts(), boxes);
    if (replug) {
        h.camera.detach();
        seen = ticks.count();
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() > seen, 3000);
        QVERIFY(!notice->isVisible());
        h.camera.attach(id);
        QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible(), 3000);
    }

    // Once the camera may be opened, its connect takes the notice away.
    h.camera.setProbeFails(id, false);
    h.camera.setOpenFails(0xFF01, false);
    QVERIFY(h.connect(id));
    QVERIFY(!notice->isVisible());
    QCOMPARE(h.modals.texts(), boxes);
}

void DeviceLinkTest::laterInterfaceWithSamePageWins()
{
    WindowHarness h;
    h.camera.attach(sim::Identity::Normal, {sim::InterfaceSpec{0xFF00, 1, 0}, sim::InterfaceSpec{0xFF01, 1, 1},
                                            sim::InterfaceSpec{0xFF00, 2, 2}});
    h.refresh();
    QVERIFY(h.drainReplies());
    // The replaced interface is closed at once: probe, control and data remain.
    QCOMPARE(h.camera.openHandleCount(), 3);
    QCOMPARE(h.camera.lastReadUsagePage(), quint16(0xFF00));
    QVERIFY(h.camera.lastReadInterface() == 2);
}

void DeviceLinkTest::repeatedRefreshKeepsHandleCount()
{
    WindowHarness h;
    QVector<sim::InterfaceSpec> interfaces = sim::standardInterfaces();
    interfaces.append({0x000C, 1, 3});
    h.camera.attach(sim::Identity::Normal, interfaces);
    h.refresh();
    QVERIFY(h.drainReplies());
    h.camera.setSilent(true);
    const int afterOne = h.camera.openHandleCount();
    QCOMPARE(afterOne, 3);
    for (int i = 0; i < 100; ++i)
        h.refresh();
    QVERIFY(h.drainReplies());
    QCOMPARE(h.camera.openHandleCount(), afterOne);
    QCOMPARE(h.camera.doubleCloses(), 0);
}

void DeviceLinkTest::vanishedDeviceIsHarmless()
{
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    h.camera.detach();
    // Reads on the stale handle fail; requests from buttons fail silently.
    QTest::qWait(100);
    h.click("GetVersion");
    QCOMPARE(h.modals.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Not Found"), 3000);
    // Apply is refused before anything is written.
    h.camera.clearRecords();
    h.click("applyButton");
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Configuration Failed")});
    QCOMPARE(h.camera.writtenFrames().size(), 0);
}

void DeviceLinkTest::replyChecksAndLogLines()
{
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    auto *mode = h.find<QLabel>("Mode");

    const auto deliver = [&h](const QByteArray &report) {
        h.log.clear();
        h.camera.queueReport(report);
        return h.drainReplies();
    };

    // Six bytes or fewer: nothing at all.
    QVERIFY(deliver(cameraReply(0x20, 0xB1, QByteArray("\x02", 1)).left(6)));
    QCOMPARE(h.log.lines(), QStringList());

    // Seven bytes with n = 0 pass every check and do nothing.
    h.find<QLineEdit>("Version")->setText(QStringLiteral("kept"));
    QVERIFY(deliver(cameraReply(0x20, 0x07, QByteArray(), 7)));
    QCOMPARE(h.log.lines(), (QStringList{QStringLiteral("Checksum ok."), QStringLiteral("Valid header.")}));
    QCOMPARE(h.find<QLineEdit>("Version")->text(), QStringLiteral("kept"));

    // n = 58 in a 64-byte report: rejected before the checksum.
    QByteArray tooLong = cameraReply(0x20, 0xC7, QByteArray(57, 'A'));
    tooLong[5] = char(58);
    QVERIFY(deliver(tooLong));
    QCOMPARE(h.log.lines(), QStringList{QStringLiteral("Size field is invalid or exceeds buffer size!")});

    // A wrong checksum is reported and the report still acted on.
    QByteArray wrongSum = cameraReply(0x20, 0xB1, QByteArray("\x01", 1));
    QCOMPARE(int(quint8(wrongSum[63])), 0x39);
    wrongSum[63] = char(0x0a);
    QVERIFY(deliver(wrongSum));
    QCOMPARE(h.log.lines(), (QStringList{QStringLiteral("Checksum error! calc: \"39\" expect: \"a\""),
                                         QStringLiteral("Valid header.")}));
    QCOMPARE(mode->text(), QStringLiteral("Mode: AutoFraming"));

    // A bad header is logged and dropped.
    QByteArray badHeader = cameraReply(0x20, 0xB1, QByteArray("\x02", 1));
    badHeader[2] = char(0x34);
    badHeader[63] = char(quint8(badHeader[63]) + 1);
    QVERIFY(deliver(badHeader));
    QCOMPARE(h.log.lines(), (QStringList{QStringLiteral("Checksum ok."), QStringLiteral("Invalid header.")}));
    QCOMPARE(mode->text(), QStringLiteral("Mode: AutoFraming"));

    // Other groups are named in the log and dropped.
    QVERIFY(deliver(cameraReply(0x21, 0x05, QByteArray())));
    QCOMPARE(h.log.lines().last(), QStringLiteral("IGGORAL CMD: 5"));
    QVERIFY(deliver(cameraReply(0x27, 0x00, QByteArray())));
    QCOMPARE(h.log.lines().last(), QStringLiteral("IGGORAL CMD: 0"));

    // A known code with a broken length rule, and an unknown code: silent.
    QVERIFY(deliver(cameraReply(0x20, 0x97, QByteArray(2, '\0'))));
    QVERIFY(deliver(cameraReply(0x20, 0x55, QByteArray(1, '\0'))));
    QVERIFY(deliver(cameraReply(0x22, 0x04, QByteArray(2, '\x10'))));
    QCOMPARE(h.modals.count(), 0);

    // A short report with n = 1: the checksum is its last byte.
    QVERIFY(deliver(cameraReply(0x20, 0xB1, QByteArray("\x08", 1), 9)));
    QCOMPARE(h.log.lines().first(), QStringLiteral("Checksum ok."));
    QCOMPARE(mode->text(), QStringLiteral("Mode: SmartGallery(1080P only)"));
}

void DeviceLinkTest::repliesShowInWindow()
{
    WindowHarness h;
    h.camera.setVersion("V2.3.4");
    h.camera.setUvcName("Room Camera");
    h.camera.setMode(2);
    QVERIFY(h.connect(sim::Identity::Normal));
    QCOMPARE(h.find<QLineEdit>("Version")->text(), QStringLiteral("V2.3.4"));
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Room Camera"));
    QCOMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: VoiceTracking"));
    QVERIFY(h.find<QPushButton>("btnVoiceTracking")->isChecked());
    QVERIFY(h.log.lines().contains(QStringLiteral("Device version: \"V2.3.4\"")));
    QVERIFY(h.log.lines().contains(QStringLiteral("UVC Name: \"Room Camera\"")));
}

void DeviceLinkTest::reconnectInsideNestedBoxIsSafe()
{
    // A box opened by the dispatcher from a poll tick runs a nested loop; a
    // reconnect inside it replaces the poll timer whose tick is still on the
    // stack. Under the sanitizers this catches a timer freed too early.
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    int requestsInside = -1;
    h.modals.setHoldBoxes(true);
    h.modals.onEachBox([&h, &requestsInside](int) {
        h.camera.clearRecords();
        h.refresh();
        requestsInside = h.requests().size();
        // Keep the box open a few more ticks, then let it go.
        QTimer::singleShot(100, [&h] { h.modals.setHoldBoxes(false); });
    });
    h.camera.queueReply(0x20, 0x97, QByteArray(1, '\0'));
    QTRY_COMPARE(h.modals.count(), 1);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(requestsInside, 5);
    QVERIFY(h.drainReplies());
    // Polling goes on with the new timer.
    h.camera.queueReply(0x20, 0xB1, QByteArray(1, '\x08'));
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: SmartGallery(1080P only)"));
}

void DeviceLinkTest::randomReportsNeverCrash()
{
    WindowHarness h;
    QVERIFY(h.connect(sim::Identity::Normal));
    h.log.setPassOn(false);
    QRandomGenerator random(7);
    for (int size = 0; size <= 64; ++size) {
        QByteArray report(size, '\0');
        for (char &byte : report)
            byte = char(random.bounded(256));
        if (size > 5 && random.bounded(2)) {
            report[0] = char(0x11);
            report[1] = char(0x22);
            report[2] = char(0x33);
            report[3] = char(0x20);
        }
        h.camera.queueReport(report);
    }
    QVERIFY(h.drainReplies());
    QVERIFY(h.window->isVisible());
}

void DeviceLinkTest::anotherProgramHoldsTheCamera_data()
{
    QTest::addColumn<sim::Identity>("identity");
    QTest::addColumn<bool>("leaves");   // the camera is unplugged while held

    QTest::newRow("camera") << sim::Identity::Normal << false;
    QTest::newRow("upgrade device") << sim::Identity::Upgrade << false;
    QTest::newRow("camera unplugged meanwhile") << sim::Identity::Normal << true;
}

void DeviceLinkTest::anotherProgramHoldsTheCamera()
{
    QFETCH(sim::Identity, identity);
    QFETCH(bool, leaves);
    WindowHarness h;
    QVERIFY(h.connect(identity));
    auto *device = h.find<QLabel>("deviceNameLabel");
    auto *status = h.find<QLabel>("statusLabel");
    const QString name = device->text();

    // Another program (the command-line tool, say) takes the camera: the
    // next look lets go of everything without opening anything.
    discovery::Device serial;
    serial.serialNumber = QStringLiteral("SIM0001");
    cameralock::CameraLock other;
    QCOMPARE(other.take(cameralock::keyFor(serial)), cameralock::Outcome::Taken);
    h.camera.clearRecords();
    h.refresh();
    QCOMPARE(status->text(), QStringLiteral("Status: In use by tst_devicelink (pid %1)").arg(::getpid()));
    QCOMPARE(status->styleSheet(), kRed);
    QCOMPARE(device->text(), name);
    QCOMPARE(h.camera.openHandleCount(), 0);
    h.refresh();
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_open")) + h.camera.callCount(QStringLiteral("hid_open_path")), 0);
    QVERIFY(h.requests().isEmpty());
    QCOMPARE(h.modals.count(), 0);

    if (leaves) {
        h.camera.detach();
        h.refresh();
        QCOMPARE(device->text(), QStringLiteral("Device: Not Found"));
        QCOMPARE(status->text(), QStringLiteral("Status: Disconnected"));
        return;
    }
    // Let go of: the first look connects as usual.
    other.release();
    h.refresh();
    QCOMPARE(status->text(), QStringLiteral("Status: Connected"));
    QVERIFY(h.drainReplies());
    QVERIFY(h.requests().contains(kGetVersion));
}

QTEST_MAIN(DeviceLinkTest)
#include "tst_devicelink.moc"
