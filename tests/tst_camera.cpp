// Framing modes, the name and version replies, the command buttons, the
// access-code panel and the level meters.

#include "WindowHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>

namespace {

using Request = QPair<int, int>;

const char *const kModeButtons[] = {"btnFullScreen", "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery"};
const char *const kExtraWidgets[] = {"micRms1", "micRms2", "micRms3", "micRms4", "micRms5",
                                     "micRms6", "micRms7", "micRms8", "refRms1", "refRms2",
                                     "doa1",    "doa2",    "lpfOn",   "refOn",   "GetVersion"};

QStringList checkedButtons(const WindowHarness &h)
{
    QStringList checked;
    for (const char *name : kModeButtons)
        if (h.find<QPushButton>(name)->isChecked())
            checked << QString::fromLatin1(name);
    return checked;
}

int countRequests(const WindowHarness &h, Request request)
{
    return h.requests().count(request);
}

} // namespace

class CameraTest : public QObject
{
    Q_OBJECT

private slots:
    void selectionIsExclusiveAndLocal();
    void applyEachMode_data();
    void applyEachMode();
    void applyOfflineAndFailures();
    void acknowledgementReportsPendingSelection();
    void modeReplyOutsideTable();
    void nameAndVersionReplies();
    void deviceTextIsNotMarkup();
    void commandButtons();
    void enterUpgradeMode();
    void accessCodeDialog();
    void levelRequestsOnlyWhileShownAndOnline();
    void levelReplies();
};

void CameraTest::selectionIsExclusiveAndLocal()
{
    WindowHarness h;
    QVERIFY(h.connect());
    h.camera.clearRecords();
    auto *label = h.find<QLabel>("Mode");
    const QString before = label->text();

    h.click("btnFullScreen");
    h.click("btnVoiceTracking");
    QCOMPARE(checkedButtons(h), QStringList{QStringLiteral("btnVoiceTracking")});
    // Clicking the checked button keeps it checked.
    h.click("btnVoiceTracking");
    QCOMPARE(checkedButtons(h), QStringList{QStringLiteral("btnVoiceTracking")});
    QCOMPARE(label->text(), before);
    QVERIFY(h.camera.writtenFrames().isEmpty());
}

void CameraTest::applyEachMode_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("name");
    QTest::newRow("full screen") << "btnFullScreen" << 0 << "FullScreen";
    QTest::newRow("auto framing") << "btnAutoFraming" << 1 << "AutoFraming";
    QTest::newRow("voice tracking") << "btnVoiceTracking" << 2 << "VoiceTracking";
    QTest::newRow("smart gallery") << "btnSmartGallery" << 8 << "SmartGallery(1080P only)";
}

void CameraTest::applyEachMode()
{
    QFETCH(QString, button);
    QFETCH(int, value);
    QFETCH(QString, name);

    WindowHarness h;
    h.camera.setMode(value == 0 ? 8 : 0);
    QVERIFY(h.connect());
    h.camera.clearRecords();
    QString labelWhileBoxOpen;
    h.modals.onEachBox([&h, &labelWhileBoxOpen](int) { labelWhileBoxOpen = h.find<QLabel>("Mode")->text(); });

    h.click(button.toLatin1().constData());
    h.click("applyButton");
    const QVector<QByteArray> sent = h.camera.controlRequests();
    QCOMPARE(sent.size(), 1);
    QByteArray expected(64, '\0');
    expected[0] = char(0x11);
    expected[1] = char(0x22);
    expected[2] = char(0x33);
    expected[3] = char(0x20);
    expected[4] = char(0x96);
    expected[5] = char(0x01);
    expected[7] = char(value);
    QCOMPARE(sent.first().toHex(' '), expected.toHex(' '));
    QCOMPARE(int(h.camera.mode()), value);

    // The box comes first; the label changes only once it is closed.
    QTRY_COMPARE(h.modals.count(), 1);
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Configuration Applied"));
    QCOMPARE(h.modals.texts().first(), QStringLiteral("The new settings have been set successfully."));
    QVERIFY(labelWhileBoxOpen != QStringLiteral("Mode: ") + name);
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: ") + name);
    QCOMPARE(checkedButtons(h), QStringList{button});
}

void CameraTest::applyOfflineAndFailures()
{
    {
        // Online before any click or mode reply: mode 0 is sent.
        WindowHarness h;
        h.camera.setSilent(true);
        QVERIFY(h.connect());
        h.camera.clearRecords();
        h.click("applyButton");
        QCOMPARE(h.camera.controlRequests().size(), 1);
        QCOMPARE(int(quint8(h.camera.controlRequests().first().at(7))), 0);
    }

    WindowHarness h;
    // Offline: the warning, nothing written, the selection kept.
    h.click("btnAutoFraming");
    h.click("applyButton");
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Configuration Failed")});
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Device offline")});
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_write")), 0);
    QCOMPARE(checkedButtons(h), QStringList{QStringLiteral("btnAutoFraming")});

    // A write that fails: all buttons unchecked, silently, label kept; and
    // Apply stays without effect until a mode is chosen again.
    QVERIFY(h.connect());
    h.modals.clear();
    const QString label = h.find<QLabel>("Mode")->text();
    h.click("btnSmartGallery");
    h.camera.detach(); // writes on the stale handle now fail; the probe is still held
    h.click("applyButton");
    QVERIFY(checkedButtons(h).isEmpty());
    QCOMPARE(h.find<QLabel>("Mode")->text(), label);
    QCOMPARE(h.modals.count(), 0);
    h.camera.attach(sim::Identity::Normal);
    h.camera.clearRecords();
    h.click("applyButton"); // the marker value 100 is never sent
    QCOMPARE(h.camera.controlRequests().size(), 0);
    QCOMPARE(h.modals.count(), 0);
}

void CameraTest::acknowledgementReportsPendingSelection()
{
    WindowHarness h;
    QVERIFY(h.connect());
    // Another button is clicked while the box is open, but not applied.
    h.modals.onEachBox([&h](int) { h.click("btnSmartGallery"); });
    h.click("btnAutoFraming");
    h.click("applyButton");
    QTRY_COMPARE(h.modals.count(), 1);
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: SmartGallery(1080P only)"));
    QCOMPARE(checkedButtons(h), QStringList{QStringLiteral("btnSmartGallery")});
    QCOMPARE(int(h.camera.mode()), 1);
}

void CameraTest::modeReplyOutsideTable()
{
    WindowHarness h;
    h.camera.setMode(5);
    QVERIFY(h.connect());
    QCOMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: Unknown"));
    QVERIFY(checkedButtons(h).isEmpty());
    // Applying a value that is not a mode writes nothing and marks failure.
    h.camera.clearRecords();
    h.click("applyButton");
    QCOMPARE(h.camera.controlRequests().size(), 0);
    QCOMPARE(h.modals.count(), 0);
}

void CameraTest::nameAndVersionReplies()
{
    WindowHarness h;
    h.camera.setSilent(true);
    QVERIFY(h.connect());
    auto *device = h.find<QLabel>("deviceNameLabel");
    auto *version = h.find<QLineEdit>("Version");

    QByteArray name("ABC123");
    name.append(QByteArray(4, '\0'));
    h.camera.queueReply(0x20, 0xC7, name);
    QVERIFY(h.drainReplies());
    QCOMPARE(device->text(), QStringLiteral("Device: ABC123"));
    QVERIFY(h.log.contains(QStringLiteral("UVC Name: \"ABC123\"")));

    h.log.clear();
    h.camera.queueReply(0x20, 0xC7, QByteArray());
    QVERIFY(h.drainReplies());
    QCOMPARE(device->text(), QStringLiteral("Device: ABC123"));
    QVERIFY(h.log.contains(QStringLiteral("CAMERA_GET_UVC_NAME_STRING_ACK IN")));
    QVERIFY(h.log.contains(QStringLiteral("UVC Name: \"\"")));

    // A 7-byte name reply only logs its arrival.
    h.log.clear();
    h.camera.queueReport(cameraReply(0x20, 0xC7, QByteArray(), 7));
    QVERIFY(h.drainReplies());
    QVERIFY(h.log.contains(QStringLiteral("CAMERA_GET_UVC_NAME_STRING_ACK IN")));
    QVERIFY(!h.log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("UVC Name:")));

    h.camera.queueReply(0x20, 0x07, QByteArray("V1.\xE9\0junk", 9));
    QVERIFY(h.drainReplies());
    QCOMPARE(version->text(), QStringLiteral("V1.\u00e9"));

    h.camera.queueReply(0x20, 0x07, QByteArray());
    QVERIFY(h.drainReplies());
    QCOMPARE(version->text(), QString());
}

void CameraTest::deviceTextIsNotMarkup()
{
    // A name the device makes up is shown as the characters it sent: a
    // heading or an image tag must neither grow the label nor load a file.
    WindowHarness h;
    h.camera.setSilent(true);
    QVERIFY(h.connect());
    auto *device = h.find<QLabel>("deviceNameLabel");
    const auto show = [&h, device](const QByteArray &name) {
        h.camera.queueReply(0x20, 0xC7, name);
        return h.drainReplies() && device->text() == QStringLiteral("Device: ") + QString::fromLatin1(name);
    };
    QVERIFY(show("abcdefghijklmnopqrst"));
    const int plainHeight = device->sizeHint().height();
    QVERIFY(show("<h1>abcdefghijklm</h1>"));
    QCOMPARE(device->sizeHint().height(), plainHeight);
    QVERIFY(show("<img src=\"/etc/hostname\" height=300>"));
    QCOMPARE(device->sizeHint().height(), plainHeight);
}

void CameraTest::commandButtons()
{
    WindowHarness h;
    // No control interface: nothing written by any button.
    h.click("GetVersion");
    h.click("lpfOn");
    h.click("ufuMode");
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_write")), 0);

    h.camera.setSilent(true);
    QVERIFY(h.connect());
    h.camera.clearRecords();
    h.click("GetVersion");
    QCOMPARE(h.requests(), (QVector<Request>{{0x27, 0x00}, {0x20, 0x06}}));
    h.camera.clearRecords();
    h.click("lpfOn");
    h.click("lpfOn");
    QCOMPARE(h.requests(), (QVector<Request>{{0x20, 0xD2}, {0x20, 0xD2}}));
    h.camera.clearRecords();
    h.click("refOn");
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_write")), 0);
    QVERIFY(h.camera.formatViolations().isEmpty());
}

void CameraTest::enterUpgradeMode()
{
    WindowHarness h;
    h.camera.setUpgradeReturnDelay(std::chrono::milliseconds(100));
    QVERIFY(h.connect());
    h.camera.clearRecords();
    h.click("ufuMode");
    QCOMPARE(h.requests(), (QVector<Request>{{0x20, 0xD3}}));
    h.refresh(); // the camera has left; it returns as the upgrade device
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"), 4000);
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: UPD_DEVICES"));
    QCOMPARE(h.find<QLabel>("statusLabel")->styleSheet(), QStringLiteral("color: #FF8C00; font-weight: bold;"));
}

void CameraTest::accessCodeDialog()
{
    WindowHarness h;
    QTest::qWait(50);
    const int width = h.window->width();
    const int height = h.window->height();
    const auto visibleCount = [&h] {
        int shown = 0;
        for (const char *name : kExtraWidgets)
            shown += h.find<QWidget>(name)->isVisible() ? 1 : 0;
        return shown;
    };
    QVERIFY(!h.find<QWidget>("exitButton_2")->isVisible());
    QCOMPARE(visibleCount(), 0);

    // Wrong entries change nothing.
    h.modals.queueInput(QStringLiteral("5291 "));
    h.click("exitButton_2");
    h.modals.queueInput(QStringLiteral("5291"), false);
    h.click("exitButton_2");
    h.modals.queueInput(QString());
    h.click("exitButton_2");
    QCOMPARE(visibleCount(), 0);
    QCOMPARE(h.modals.count(), 3);
    const ModalRecord dialog = h.modals.records().first();
    QCOMPARE(dialog.kind, QStringLiteral("QInputDialog"));
    QCOMPARE(dialog.title, QStringLiteral("Password"));
    QCOMPARE(dialog.text, QStringLiteral("Input passwords:"));

    // The right code shows all fifteen; the window keeps its width.
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    QCOMPARE(visibleCount(), 15);
    QTRY_VERIFY(h.window->height() > height);
    QCOMPARE(h.window->width(), width);
    QVERIFY(!h.find<QWidget>("Version")->isVisible());

    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    QCOMPARE(visibleCount(), 0);
    QTRY_COMPARE(h.window->height(), height);
    QCOMPARE(h.window->width(), width);
}

void CameraTest::levelRequestsOnlyWhileShownAndOnline()
{
    // Counted against the level timer's own ticks, so a slow machine that
    // fires fewer of them cannot make the count wrong.
    const Request levels{0x20, 0xD0};
    WindowHarness h;
    QSignalSpy ticks(h.find<QTimer>("levelTimer"), &QTimer::timeout);
    QVector<int> requestsAtTick;
    QObject::connect(h.find<QTimer>("levelTimer"), &QTimer::timeout, h.window.get(),
                     [&h, &requestsAtTick, levels] { requestsAtTick.append(countRequests(h, levels)); });

    // Shown but offline: nothing.
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    ticks.clear();
    QTRY_VERIFY(ticks.count() >= 2);
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_write")), 0);

    // Online and shown: exactly one request on every tick.
    QVERIFY(h.connect());
    h.camera.clearRecords();
    requestsAtTick.clear();
    QTRY_VERIFY(requestsAtTick.size() >= 4);
    for (int i = 0; i < requestsAtTick.size(); ++i)
        QCOMPARE(requestsAtTick.at(i), i + 1);

    // Hidden again: requests stop.
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    h.camera.clearRecords();
    ticks.clear();
    QTRY_VERIFY(ticks.count() >= 2);
    QCOMPARE(countRequests(h, levels), 0);
}

void CameraTest::levelReplies()
{
    const Request levels{0x20, 0xD0};
    WindowHarness h;
    h.camera.setAudioLevels({10, 20, 30, 40, 50, 60, 70, 80, 90, 45});
    QVERIFY(h.connect());
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    const auto value = [&h](const char *name) { return h.find<QProgressBar>(name)->value(); };
    QTRY_COMPARE(value("doa1"), 45);
    const char *mics[] = {"micRms1", "micRms2", "micRms3", "micRms4", "micRms5", "micRms6", "micRms7", "micRms8"};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(value(mics[i]), 10 * (i + 1));
    QCOMPARE(value("refRms1"), 90);
    QCOMPARE(value("refRms2"), 90);
    QCOMPARE(value("doa2"), 0);

    // Values above a bar's maximum leave that bar as it was; 180 is shown.
    // Two requests answered with the new levels and taken by the window.
    h.camera.setAudioLevels({150, 100, 30, 40, 50, 60, 70, 80, 101, 200});
    h.camera.clearRecords();
    QTRY_VERIFY(countRequests(h, levels) >= 2 && h.camera.pendingReports() == 0);
    QCOMPARE(value("micRms1"), 10);
    QCOMPARE(value("micRms2"), 100);
    QCOMPARE(value("refRms1"), 90);
    QCOMPARE(value("doa1"), 45);
    h.camera.setAudioLevels({1, 2, 3, 4, 5, 6, 7, 8, 9, 180});
    QTRY_COMPARE(value("doa1"), 180);

    // Replies of 9 or 11 bytes change nothing; nor does an unasked one
    // with the panel hidden fail to land.
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    h.camera.queueReply(0x20, 0xD1, QByteArray(9, '\x05'));
    h.camera.queueReply(0x20, 0xD1, QByteArray(11, '\x05'));
    QVERIFY(h.drainReplies());
    QCOMPARE(value("micRms1"), 1);
    h.camera.queueReply(0x20, 0xD1, QByteArray(10, '\x07'));
    QVERIFY(h.drainReplies());
    QCOMPARE(value("micRms1"), 7);
}

QTEST_MAIN(CameraTest)
#include "tst_camera.moc"
