// The window as it starts, its timers' first steps, the height fit and the
// teardown.

#include "WindowHarness.h"
#include "ui/StyleSheets.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class ShellTest : public QObject
{
    Q_OBJECT

private slots:
    void startupState();
    void formDetails();
    void themeAndIcons();
    void lockedButtonsLookLocked();
    void noDeviceCallBeforeFirstWatchTick();
    void refreshChecksAtOnce();
    void panelToggleKeepsWidth();
    void exitClosesWindow();
    void teardownClosesEveryHandleBeforeExit();
};

void ShellTest::startupState()
{
    WindowHarness h;
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Kelvora Camera 2 Config (v1.0.7)"));
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Unknown"));
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Disconnected"));
    QCOMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("MODE:"));

    const char *shown[] = {"deviceNameLabel", "Refresh", "statusLabel", "Mode", "btnFullScreen",
                           "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery", "upgradeMode",
                           "applyButton", "exitButton"};
    for (const char *name : shown)
        QVERIFY2(h.find<QWidget>(name)->isVisible(), name);

    const char *hidden[] = {"micRms1", "micRms8", "refRms1", "refRms2", "doa1", "doa2", "lpfOn",
                            "refOn", "GetVersion", "label_2", "SelectFilePath", "SelectFile",
                            "label", "Version", "ufuMode", "DOWNLOAD", "DownloadProgress",
                            "StartUpd", "exitButton_2"};
    for (const char *name : hidden)
        QVERIFY2(!h.find<QWidget>(name)->isVisible(), name);

    for (const char *name : {"btnFullScreen", "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery"}) {
        auto *button = h.find<QPushButton>(name);
        QVERIFY(button->isCheckable());
        QVERIFY2(!button->isChecked(), name);
    }

    const Qt::WindowFlags flags = h.window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(QApplication::font().family(), QStringLiteral("Segoe UI"));
    QCOMPARE(QApplication::font().pointSize(), 10);
}

void ShellTest::formDetails()
{
    WindowHarness h;
    auto *grid = h.find<QGridLayout>("gridLayout_4");
    QVERIFY(grid);
    int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(h.find<QWidget>("refOn")), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 1);
    grid->getItemPosition(grid->indexOf(h.find<QWidget>("lpfOn")), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 0);
    QCOMPARE(grid->indexOf(h.find<QWidget>("refOn")), 0); // added first

    QVERIFY(h.find<QLineEdit>("SelectFilePath")->isReadOnly());
    QVERIFY(!h.find<QLineEdit>("Version")->isReadOnly());
    QCOMPARE(h.find<QLabel>("label")->text(), QStringLiteral("VERSION:  "));

    auto *meter = h.find<QProgressBar>("micRms3");
    QCOMPARE(meter->orientation(), Qt::Vertical);
    QCOMPARE(meter->maximum(), 100);
    QCOMPARE(meter->format(), QStringLiteral("%v"));
    auto *direction = h.find<QProgressBar>("doa2");
    QCOMPARE(direction->orientation(), Qt::Horizontal);
    QCOMPARE(direction->maximum(), 180);
    auto *bar = h.find<QProgressBar>("DownloadProgress");
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->format(), QStringLiteral("%v%"));
    QCOMPARE(bar->value(), 0);
}

void ShellTest::themeAndIcons()
{
    WindowHarness h;
    QCOMPARE(h.window->styleSheet(), QString::fromUtf8(styles::kWindow));
    QCOMPARE(h.find<QWidget>("DownloadProgress")->styleSheet(), QString::fromUtf8(styles::kUpgradeBar));
    QCOMPARE(h.find<QWidget>("btnSmartGallery")->styleSheet(), QString::fromUtf8(styles::kModeButton));
    QCOMPARE(h.find<QWidget>("Refresh")->styleSheet(), QString::fromUtf8(styles::kSmallButton));
    QCOMPARE(h.find<QWidget>("upgradeMode")->styleSheet(), QString::fromUtf8(styles::kFlatButton));
    QVERIFY(QString::fromUtf8(styles::kFlatButton).contains(QStringLiteral("/* 透明背景 */")));
    // The sheets the form used to carry: labels, fields, meters, direction bars.
    const struct {
        const char *sheet;
        QStringList widgets;
    } carried[] = {
        {styles::kLabel, {"deviceNameLabel", "statusLabel", "Mode", "label_2", "label", "DOWNLOAD"}},
        {styles::kField, {"SelectFilePath", "Version"}},
        {styles::kMeter, {"micRms1", "micRms4", "micRms8", "refRms1", "refRms2"}},
        {styles::kDirectionBar, {"doa1", "doa2"}},
    };
    for (const auto &entry : carried) {
        for (const QString &name : entry.widgets)
            QCOMPARE(h.window->findChild<QWidget *>(name)->styleSheet(), QString::fromUtf8(entry.sheet));
    }

    // Blank icons mean the SVG engine or the resource bundle is missing.
    for (const char *name : {"btnFullScreen", "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery"}) {
        auto *button = h.find<QPushButton>(name);
        QCOMPARE(button->iconSize(), QSize(48, 48));
        const QImage image = button->icon().pixmap(48, 48).toImage();
        QVERIFY2(!image.isNull(), name);
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        QVERIFY2(drawn, name);
    }
    const QIcon appIcon(QStringLiteral(":/icons/icons/app_icon.ico"));
    QCOMPARE(appIcon.availableSizes().size(), 6);
    QVERIFY(appIcon.availableSizes().contains(QSize(256, 256)));
    QVERIFY(appIcon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(!h.window->windowIcon().isNull());
}

void ShellTest::lockedButtonsLookLocked()
{
    // The buttons an upgrade locks must not look pressable while locked:
    // their sheets paint the face themselves, so a sheet without a disabled
    // face would draw them exactly as when enabled.
    WindowHarness h;
    for (const char *name : {"applyButton", "exitButton", "Refresh"}) {
        auto *button = h.find<QPushButton>(name);
        const QImage enabled = button->grab().toImage();
        button->setEnabled(false);
        const QImage disabled = button->grab().toImage();
        button->setEnabled(true);
        QVERIFY2(!enabled.isNull() && enabled.size() == disabled.size(), name);
        QVERIFY2(enabled != disabled, name);
        // The face in the middle is no longer the teal of a live button.
        const QColor centre = disabled.pixelColor(disabled.width() / 2, disabled.height() / 2);
        QVERIFY2(centre != QColor(0x00, 0xD1, 0xB2), name);
    }
}

void ShellTest::noDeviceCallBeforeFirstWatchTick()
{
    // Nothing touches the bus until the watch timer first fires, 1500 ms
    // after construction; the check is made at that tick, not after a
    // sleep that a slow machine could stretch past it.
    WindowHarness h;
    h.camera.attach(sim::Identity::Normal);
    auto *watch = h.find<QTimer>("watchTimer");
    QVERIFY(watch);
    QCOMPARE(watch->interval(), 1500);
    QVERIFY(watch->isActive());
    // Slots run in the order they were connected, so this one runs right
    // after the window's presence check on the first tick: what the camera
    // has seen by then is that check's work and nothing earlier.
    QStringList callsAtFirstTick;
    int requestsAtFirstTick = -1;
    QObject::connect(watch, &QTimer::timeout, h.window.get(), [&] {
        if (requestsAtFirstTick < 0) {
            callsAtFirstTick = h.camera.calls();
            requestsAtFirstTick = h.camera.controlRequests().size();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(requestsAtFirstTick >= 0, 5000);
    QCOMPARE(callsAtFirstTick.value(0), QStringLiteral("hid_open"));
    QCOMPARE(callsAtFirstTick.count(QStringLiteral("hid_open")), 2);
    QCOMPARE(requestsAtFirstTick, 5);
    QTRY_COMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Connected"));
}

void ShellTest::refreshChecksAtOnce()
{
    WindowHarness h;
    h.refresh();
    // Both identities are probed, nothing is attached, no label changes.
    QCOMPARE(h.camera.callCount(QStringLiteral("hid_open")), 2);
    QCOMPARE(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Unknown"));
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Disconnected"));
}

void ShellTest::panelToggleKeepsWidth()
{
    WindowHarness h;
    QTest::qWait(50);
    h.window->resize(800, h.window->height());
    QTest::qWait(50);
    const int closedHeight = h.window->height();

    h.click("upgradeMode");
    QTRY_VERIFY(h.window->height() > closedHeight);
    QCOMPARE(h.window->width(), 800);
    QVERIFY(h.find<QWidget>("StartUpd")->isVisible());
    QVERIFY(!h.find<QWidget>("GetVersion")->isVisible());

    h.click("upgradeMode");
    QTRY_COMPARE(h.window->height(), closedHeight);
    QCOMPARE(h.window->width(), 800);
}

void ShellTest::exitClosesWindow()
{
    WindowHarness h;
    QVERIFY(h.window->isVisible());
    h.click("exitButton");
    QVERIFY(!h.window->isVisible());
    QCOMPARE(h.modals.count(), 0); // no question asked
}

void ShellTest::teardownClosesEveryHandleBeforeExit()
{
    WindowHarness h;
    QVector<sim::InterfaceSpec> interfaces = sim::standardInterfaces();
    interfaces.append({0x0001, 6, 2}); // a keyboard-like interface the tool does not use
    h.camera.attach(sim::Identity::Normal, interfaces);
    h.refresh();
    QVERIFY(h.drainReplies());
    QVERIFY(h.camera.openHandleCount() >= 3); // probe, control, data

    h.window.reset();
    QVERIFY(h.camera.exitCalled());
    QVERIFY(!h.camera.exitedWithOpenHandles());
    QCOMPARE(h.camera.openHandleCount(), 0);
    QCOMPARE(h.camera.doubleCloses(), 0);
}

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
