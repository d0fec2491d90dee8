// The window as users run it: linked with the system's libhidapi-hidraw,
// finding, opening, reading and writing hidraw nodes that umockdev emulates,
// with the virtual camera's device logic behind them. Driven by object name
// like the other window tests.

#include "HidrawCamera.h"
#include "Bytes.h"
#include "LogCapture.h"
#include "MainWindow.h"
#include "ModalWatcher.h"
#include "RealLibrary.h"
#include "UeventLog.h"
#include "ui/StyleSheets.h"

#include <hidapi/hidapi.h>

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

using namespace std::chrono_literals;
using sim::Identity;
using sim::InterfaceSpec;

constexpr quint16 kControl = sim::kControlUsagePage;
constexpr quint16 kData = sim::kDataUsagePage;
constexpr quint16 kConsumer = 0x000C;
constexpr int kImageSize = 1024 * 1024 + 1;
constexpr int kImageBytesPerReport = 510;
constexpr int kDataReports = (kImageSize + kImageBytesPerReport - 1) / kImageBytesPerReport;
// The window looks for the camera every 1.5 s; room for two looks.
constexpr int kWatchWaitMs = 4000;

const QString kTeal = QString::fromUtf8(styles::kStatusCamera);
const QString kOrange = QString::fromUtf8(styles::kStatusUpgrade);
const QString kRed = QString::fromUtf8(styles::kStatusNotFound);

// A request exactly as it must appear on the wire.
QByteArray request(quint8 group, quint8 code, const QByteArray &payload = QByteArray())
{
    return commandFrame(group, code, payload);
}

QVector<QByteArray> framesOn(const QVector<sim::WrittenFrame> &frames, quint16 usagePage)
{
    QVector<QByteArray> found;
    for (const sim::WrittenFrame &frame : frames) {
        if (frame.usagePage == usagePage)
            found.append(frame.bytes);
    }
    return found;
}

// The bus as the kernel runs it: on a thread of its own, adding a device's
// interfaces one after the other, `gap` apart.
realhid::HidrawCamera::Options unkindBus(std::chrono::milliseconds gap)
{
    realhid::HidrawCamera::Options options;
    options.busThread = true;
    options.interfaceGap = gap;
    return options;
}

// Everything a window test needs: the emulated bus with the camera behind
// it, the boxes answered, the log kept, and the window once opened.
struct RealWindow
{
    explicit RealWindow(const realhid::HidrawCamera::Options &options = realhid::HidrawCamera::Options())
        : bus(options)
    {
    }
    ~RealWindow() { window.reset(); }

    void open()
    {
        window = std::make_unique<MainWindow>();
        window->show();
    }
    template <class T>
    T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    void click(const char *name)
    {
        auto *button = find<QAbstractButton>(name);
        if (!button)
            qFatal("no button named %s", name);
        button->click();
    }
    QString text(const char *label) const { return find<QLabel>(label)->text(); }
    QString version() const { return find<QLineEdit>("Version")->text(); }

    // The camera on the bus in this identity, the window open, Refresh
    // pressed, and its connect requests answered.
    bool connect(Identity identity)
    {
        bus.camera()->attach(identity);
        bus.settle();
        if (!window)
            open();
        click("Refresh");
        const QString shown = identity == Identity::Normal ? QStringLiteral("Device: Conference Camera")
                                                           : QStringLiteral("Device: UPD_DEVICES");
        return QTest::qWaitFor(
            [&] { return version().startsWith(QLatin1Char('V')) && text("deviceNameLabel") == shown; }, 5000);
    }
    QVector<sim::WrittenFrame> frames() { return bus.camera()->writtenFrames(); }

    realhid::HidrawCamera bus;
    LogCapture log;
    driver::ModalWatcher modals;
    std::unique_ptr<MainWindow> window;
};

// The node records of every interface with this usage page, present or gone.
QVector<realhid::NodeRecord> nodesWithPage(const realhid::HidrawCamera &bus, quint16 usagePage)
{
    QVector<realhid::NodeRecord> found;
    for (const realhid::NodeRecord &node : bus.nodes()) {
        if (node.usagePage == usagePage)
            found.append(node);
    }
    return found;
}

// Every handle the program opened on any node has been closed, and the
// camera counts the same.
bool everyHandleClosedOnce(RealWindow &w)
{
    for (const realhid::NodeRecord &node : w.bus.nodes()) {
        if (node.opened != node.closed)
            return false;
    }
    auto camera = w.bus.camera();
    return camera->openHandleCount() == 0 && camera->totalOpened() == camera->totalClosed();
}

} // namespace

Q_DECLARE_METATYPE(sim::InterfaceSpec)

class RealHidWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startUpFindsTheCamera();
    void modeAppliedAndConfirmed();
    void upgradeFromEnterUpdToTheReboot();
    void unplugMidUpload();
    void unplugWhileIdle();
    void consumerControlIsNotKept_data();
    void consumerControlIsNotKept();
    void nodeWithoutAccessShowsHidError();
    void cameraOutOfReachGetsTheNoticeOncePerArrival();
    void hotPlugFindsAndLosesTheCameraAtOnce_data();
    void hotPlugFindsAndLosesTheCameraAtOnce();
    void replugInTheSameIdentityConnectsAgain();
    void replugInTheDevicePhaseEndsIt();
};

void RealHidWindowTest::initTestCase()
{
    // The hid_* functions the window calls are the system library's.
    const QString problem = realhid::realLibraryProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    qInfo("hidapi %s from %s", hid_version_str(),
          qPrintable(realhid::libraryFileOf(reinterpret_cast<const void *>(&hid_open))));
}

void RealHidWindowTest::startUpFindsTheCamera()
{
    RealWindow w;
    w.bus.camera()->attach(Identity::Normal);
    w.bus.camera()->setMode(1);
    w.bus.camera()->setVersion("V2.1.0");
    w.bus.settle();

    // No Refresh: the window's own first look finds the camera.
    w.open();
    QTRY_COMPARE_WITH_TIMEOUT(w.text("statusLabel"), QStringLiteral("Status: Connected"), kWatchWaitMs);
    QTRY_COMPARE(w.text("deviceNameLabel"), QStringLiteral("Device: Conference Camera"));
    QTRY_COMPARE(w.version(), QStringLiteral("V2.1.0"));
    QTRY_COMPARE(w.text("Mode"), QStringLiteral("Mode: AutoFraming"));
    for (const char *label : {"deviceNameLabel", "statusLabel", "Mode"})
        QCOMPARE(w.find<QLabel>(label)->styleSheet(), kTeal);

    // The five connect requests, byte for byte, on the control interface.
    const QVector<QByteArray> expected{request(0x27, 0x00), request(0x20, 0x06), request(0x20, 0xB0),
                                       request(0x20, 0xB0), request(0x20, 0xC6)};
    QCOMPARE(framesOn(w.frames(), kControl), expected);
    QVERIFY(framesOn(w.frames(), kData).isEmpty());
    QCOMPARE(w.bus.camera()->formatViolations(), QStringList());

    // Four replies, each taken whole by one read.
    const realhid::NodeRecord control = w.bus.presentNode(kControl);
    QCOMPARE(control.reads, 4);
    QCOMPARE(control.truncatedReads, 0);
    QCOMPARE(w.bus.camera()->pendingReports(), 0);
    QCOMPARE(w.bus.violations(), QStringList());
    QVERIFY(w.log.contains(QStringLiteral("Opened interface with usage: \"1\" usage_page: \"ff00\"")));
    QVERIFY(w.log.contains(QStringLiteral("Opened interface with usage: \"1\" usage_page: \"ff01\"")));
    QCOMPARE(w.modals.count(), 0);
}

void RealHidWindowTest::modeAppliedAndConfirmed()
{
    RealWindow w;
    QVERIFY(w.connect(Identity::Normal));
    const int before = framesOn(w.frames(), kControl).size();
    w.click("btnVoiceTracking");
    w.click("applyButton");
    QTRY_COMPARE(w.modals.titles(), QStringList{QStringLiteral("Configuration Applied")});
    QCOMPARE(w.modals.texts(), QStringList{QStringLiteral("The new settings have been set successfully.")});
    QTRY_COMPARE(w.text("Mode"), QStringLiteral("Mode: VoiceTracking"));
    QCOMPARE(int(w.bus.camera()->mode()), 2);
    QCOMPARE(framesOn(w.frames(), kControl).mid(before),
             QVector<QByteArray>{request(0x20, 0x96, QByteArray(1, char(2)))});
}

void RealHidWindowTest::upgradeFromEnterUpdToTheReboot()
{
    // The upgrade device's interfaces come back one by one, as the kernel
    // adds them: the window waits for both before it connects, so that
    // Start finds the device whole.
    RealWindow w(unkindBus(50ms));
    w.bus.camera()->setProgressPlan({20, 60, 100}, 100ms, 300ms, "V2.0.0");
    QVERIFY(w.connect(Identity::Normal));
    const QByteArray normalControl = w.bus.syspathOf(kControl);
    const QByteArray normalData = w.bus.syspathOf(kData);
    const QByteArray normalConsumer = w.bus.syspathOf(kConsumer);
    UeventLog uevents;

    w.click("upgradeMode");
    const qint64 left = uevents.now();   // the camera leaves as it takes CAMERA_ENTER_UPD
    w.click("ufuMode");
    QTRY_COMPARE_WITH_TIMEOUT(w.text("Mode"), QStringLiteral("Mode: UPD"), kWatchWaitMs);
    QCOMPARE(w.text("deviceNameLabel"), QStringLiteral("Device: UPD_DEVICES"));
    QCOMPARE(w.find<QLabel>("statusLabel")->styleSheet(), kOrange);
    QCOMPARE(framesOn(w.frames(), kControl).mid(5, 1), QVector<QByteArray>{request(0x20, 0xD3)});

    // The normal device's nodes were removed, with their remove uevents, and
    // the upgrade device's added about a second later.
    const auto removed = uevents.withAction("remove");
    const auto added = uevents.withAction("add");
    QCOMPARE(removed.size(), 3);
    QCOMPARE(added.size(), 2);
    QCOMPARE((QSet<QByteArray>{removed.at(0).syspath, removed.at(1).syspath, removed.at(2).syspath}),
             (QSet<QByteArray>{normalControl, normalData, normalConsumer}));
    QCOMPARE((QSet<QByteArray>{added.at(0).syspath, added.at(1).syspath}),
             (QSet<QByteArray>{w.bus.syspathOf(kControl), w.bus.syspathOf(kData)}));
    QVERIFY(w.bus.syspathOf(kControl).contains("1D6B:0102"));
    QVERIFY(removed.last().atMs <= added.first().atMs);
    // Heard when this thread gets to them, so never early, perhaps late.
    const qint64 back = added.first().atMs - left;
    QVERIFY2(back >= 950 && back <= 3500, qPrintable(QString::number(back)));

    QTemporaryDir dir;
    const QByteArray image = noiseImage(kImageSize);
    const QString path = dir.filePath(QStringLiteral("firmware.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(image), qint64(image.size()));
    file.close();
    w.modals.queueFile(path);
    w.click("SelectFile");
    QCOMPARE(w.find<QLineEdit>("SelectFilePath")->text(), path);
    w.modals.clear();

    QVector<int> shown;
    QObject::connect(w.find<QProgressBar>("DownloadProgress"), &QProgressBar::valueChanged,
                     [&shown](int value) { shown.append(value); });
    const int controlBefore = framesOn(w.frames(), kControl).size();
    w.click("StartUpd");

    // The image arrives byte for byte, as 512-byte reports with report ID
    // 0x22 on the data interface, between UPGRADE_START and the completion.
    QTRY_COMPARE_WITH_TIMEOUT(w.bus.camera()->receivedImage().size(), kImageSize, 30000);
    QVERIFY(w.bus.camera()->receivedImage() == image);
    QTRY_COMPARE(w.modals.texts(), QStringList{QStringLiteral("Upgrade completed ,Device will reboot now!")});
    const QVector<QByteArray> dataReports = framesOn(w.frames(), kData);
    QCOMPARE(dataReports.size(), kDataReports);
    for (const QByteArray &report : dataReports) {
        QCOMPARE(report.size(), 512);
        QCOMPARE(quint8(report.at(0)), quint8(0x22));
    }
    const QVector<realhid::NodeRecord> dataNodes = nodesWithPage(w.bus, kData);
    QCOMPARE(dataNodes.size(), 2);
    QCOMPARE(dataNodes.at(1).writes, kDataReports);
    const QByteArray size = QByteArray::fromHex("00100001");
    QCOMPARE(framesOn(w.frames(), kControl).mid(controlBefore),
             (QVector<QByteArray>{request(0x22, 0x00, size), request(0x22, 0x02, QByteArray(1, char(byteSumOf(image))))}));
    QCOMPARE(w.bus.camera()->formatViolations(), QStringList());

    // The device's own progress, in its green, up to 100 %.
    const int uploaded = shown.lastIndexOf(100, shown.size() - 2);
    QVERIFY2(uploaded >= 0, qPrintable(QString::number(shown.size())));
    QCOMPARE(shown.mid(uploaded + 1), (QVector<int>{20, 60, 100}));
    QCOMPARE(w.text("DOWNLOAD"), QStringLiteral("UPGRADE:"));

    // Rebooted: the camera in normal mode with the new firmware.
    QTRY_COMPARE_WITH_TIMEOUT(w.text("deviceNameLabel"), QStringLiteral("Device: Conference Camera"), kWatchWaitMs);
    QTRY_COMPARE(w.version(), QStringLiteral("V2.0.0"));
    QCOMPARE(w.find<QLabel>("statusLabel")->styleSheet(), kTeal);
    QCOMPARE(w.bus.violations(), QStringList());

    w.window.reset();
    QTRY_VERIFY(everyHandleClosedOnce(w));
}

void RealHidWindowTest::unplugMidUpload()
{
    RealWindow w;
    QVERIFY(w.connect(Identity::Upgrade));
    w.click("upgradeMode");
    QTemporaryDir dir;
    const QByteArray image = noiseImage(kImageSize);
    const QString path = dir.filePath(QStringLiteral("firmware.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();
    w.modals.queueFile(path);
    w.click("SelectFile");
    w.modals.clear();

    constexpr int kTaken = 700;
    w.bus.camera()->vanishAfterDataReports(kTaken);
    w.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(w.text("deviceNameLabel"), QStringLiteral("Device: Not Found"), kWatchWaitMs + 2000);
    QCOMPARE(w.text("statusLabel"), QStringLiteral("Status: Disconnected"));
    QCOMPARE(w.find<QLabel>("statusLabel")->styleSheet(), kRed);
    QTRY_VERIFY(w.find<QWidget>("Refresh")->isEnabled());
    QVERIFY(!w.modals.records().isEmpty());
    QCOMPARE(w.modals.records().constFirst().icon, int(QMessageBox::Warning));
    QCOMPARE(w.bus.camera()->receivedImage(), image.left(kTaken * kImageBytesPerReport));

    w.window.reset();
    QTRY_VERIFY(everyHandleClosedOnce(w));
    QCOMPARE(w.bus.violations(), QStringList());
}

void RealHidWindowTest::unplugWhileIdle()
{
    RealWindow w;
    QVERIFY(w.connect(Identity::Normal));
    const int opened = w.bus.openHandles();
    QVERIFY2(opened >= 3, qPrintable(QString::number(opened)));   // the probe and both vendor interfaces

    w.bus.camera()->detach();
    w.bus.settle();
    QVERIFY(!w.bus.presentNode(kControl).present);
    QTRY_COMPARE_WITH_TIMEOUT(w.text("deviceNameLabel"), QStringLiteral("Device: Not Found"), kWatchWaitMs);
    QCOMPARE(w.text("statusLabel"), QStringLiteral("Status: Disconnected"));
    QCOMPARE(w.modals.count(), 0);

    w.window.reset();
    QTRY_VERIFY(everyHandleClosedOnce(w));
}

void RealHidWindowTest::consumerControlIsNotKept_data()
{
    QTest::addColumn<QVector<InterfaceSpec>>("vendor");
    QTest::addColumn<int>("consumer");
    QTest::addColumn<int>("heldByProbe");
    QTest::newRow("after the vendor interfaces") << sim::standardInterfaces() << 2 << 0;
    // hid_open, the window's presence probe, opens whichever interface the
    // bus lists first; the window keeps the probe while the camera is
    // attached, as its sign that the camera is online, and never reads or
    // writes it. The shipped udev rule opens every interface of the camera
    // to the user, so a first interface of another kind does not hide it.
    QTest::newRow("before the vendor interfaces")
        << QVector<InterfaceSpec>{{kControl, 1, 1}, {kData, 1, 2}} << 0 << 1;
}

void RealHidWindowTest::consumerControlIsNotKept()
{
    QFETCH(QVector<InterfaceSpec>, vendor);
    QFETCH(int, consumer);
    QFETCH(int, heldByProbe);
    realhid::HidrawCamera::Options options;
    options.consumerInterface = consumer;
    RealWindow w(options);
    w.bus.camera()->attach(Identity::Normal, vendor);
    w.bus.settle();
    QCOMPARE(w.bus.presentNode(kConsumer).interfaceNumber, consumer);
    w.open();
    w.click("Refresh");
    QTRY_COMPARE(w.text("deviceNameLabel"), QStringLiteral("Device: Conference Camera"));
    const auto held = [&w] { return w.bus.presentNode(kConsumer).opened - w.bus.presentNode(kConsumer).closed; };
    QTRY_COMPARE_WITH_TIMEOUT(held(), heldByProbe, 1000);
    QTRY_VERIFY(w.version().startsWith(QLatin1Char('V')));
    const realhid::NodeRecord node = w.bus.presentNode(kConsumer);
    QCOMPARE(node.writes, 0);
    QCOMPARE(node.reads, 0);
    QCOMPARE(held(), heldByProbe);

    // Gone: nothing of it stays open.
    w.bus.camera()->detach();
    w.bus.settle();
    QTRY_COMPARE_WITH_TIMEOUT(w.text("deviceNameLabel"), QStringLiteral("Device: Not Found"), kWatchWaitMs);
    w.window.reset();
    QTRY_VERIFY(everyHandleClosedOnce(w));
}

void RealHidWindowTest::nodeWithoutAccessShowsHidError()
{
    RealWindow w;
    w.bus.camera()->attach(Identity::Normal);
    w.bus.settle();
    QVERIFY(w.bus.denyAccess(kData));
    w.open();
    {
        realhid::UnprivilegedScope user;
        QVERIFY2(user.unprivileged(), "cannot switch to an unprivileged user");
        // The kernel itself refuses: hidapi reports why.
        const QByteArray dataNode = w.bus.presentNode(kData).devnode;
        QVERIFY(!hid_open_path(dataNode.constData()));
        const QString error = QString::fromWCharArray(hid_error(nullptr));
        QVERIFY2(error.contains(QLatin1String("Permission denied")), qPrintable(error));

        w.click("Refresh");
        QTRY_COMPARE(w.modals.titles(), QStringList{QStringLiteral("HID Error")});
        QCOMPARE(w.modals.texts(), QStringList{QStringLiteral("Unable to open HID device.")});
        // The box as ever, and the notice that says why.
        QVERIFY(w.find<QWidget>("accessNotice") && w.find<QWidget>("accessNotice")->isVisible());
        QCOMPARE(w.bus.presentNode(kData).opened, 0);
        QTRY_COMPARE(w.bus.presentNode(kConsumer).closed, w.bus.presentNode(kConsumer).opened);

        w.window.reset();
        QTRY_VERIFY(everyHandleClosedOnce(w));
    }
}

void RealHidWindowTest::cameraOutOfReachGetsTheNoticeOncePerArrival()
{
    // No rule: the vendor nodes are root's alone, now and at every arrival.
    RealWindow w(unkindBus(40ms));
    for (const quint16 page : {kControl, kData})
        w.bus.setNodeAccess(page, 0, 0, 0600);
    w.open();
    QSignalSpy ticks(w.find<QTimer>("watchTimer"), &QTimer::timeout);
    const auto noticeShown = [&w] {
        auto *notice = w.find<QWidget>("accessNotice");
        return notice && notice->isVisible();
    };
    const auto nextLook = [&ticks] {
        const int seen = ticks.count();
        return QTest::qWaitFor([&] { return ticks.count() > seen; }, kWatchWaitMs);
    };
    // The bus changes as root, who owns the testbed; the window looks as a
    // user without access (the looks run only while this thread waits).
    const auto plug = [&w](bool in) {
        if (in)
            w.bus.camera()->attach(Identity::Normal);
        else
            w.bus.camera()->detach();
        w.bus.settle();
    };

    plug(true);
    {
        realhid::UnprivilegedScope user;
        QVERIFY2(user.unprivileged(), "cannot switch to an unprivileged user");
        QTRY_VERIFY_WITH_TIMEOUT(noticeShown(), kWatchWaitMs);
        // Not even the probe opens: the window shows what it always has.
        QCOMPARE(w.text("deviceNameLabel"), QStringLiteral("Device: Unknown"));
        QCOMPARE(w.modals.count(), 0);
        w.click("accessNoticeHide");
        QVERIFY(nextLook());
        QVERIFY(!noticeShown());
    }
    // Unplugged, seen gone, and plugged in again: a new arrival.
    plug(false);
    {
        realhid::UnprivilegedScope user;
        QVERIFY(nextLook());
        QVERIFY(!noticeShown());
    }
    plug(true);
    {
        realhid::UnprivilegedScope user;
        QTRY_VERIFY_WITH_TIMEOUT(noticeShown(), kWatchWaitMs);
        QCOMPARE(w.modals.count(), 0);
    }
    for (const realhid::NodeRecord &node : w.bus.nodes())
        QCOMPARE(node.opened, 0);
}

// The window's hot-plug monitor hears the emulated bus's uevents. With the
// watch timer stopped (and Refresh never pressed) they are the only way the
// window can learn that the camera came or went.
QTimer *stopWatchTimer(RealWindow &w)
{
    auto *watch = w.find<QTimer>("watchTimer");
    if (watch)
        watch->stop();
    return watch;
}

int versionRequests(RealWindow &w)
{
    return framesOn(w.frames(), kControl).count(request(0x20, 0x06));
}

void RealHidWindowTest::hotPlugFindsAndLosesTheCameraAtOnce_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::newRow("interfaces 40 ms apart") << 40;
    QTest::newRow("interfaces 60 ms apart") << 60;
}

void RealHidWindowTest::hotPlugFindsAndLosesTheCameraAtOnce()
{
    QFETCH(int, gapMs);
    RealWindow w(unkindBus(std::chrono::milliseconds(gapMs)));
    w.open();
    QVERIFY(stopWatchTimer(w));
    w.bus.camera()->attach(Identity::Normal);
    QTRY_COMPARE_WITH_TIMEOUT(w.text("statusLabel"), QStringLiteral("Status: Connected"), 3000);
    // The window connected once both vendor interfaces were there: no "HID
    // Error", and the camera answered the connect requests.
    QTRY_VERIFY(w.version().startsWith(QLatin1Char('V')));
    QTRY_COMPARE(w.text("deviceNameLabel"), QStringLiteral("Device: Conference Camera"));
    QCOMPARE(w.modals.count(), 0);
    QCOMPARE(nodesWithPage(w.bus, kData).constFirst().opened, 1);

    w.bus.camera()->detach();
    QTRY_COMPARE_WITH_TIMEOUT(w.text("deviceNameLabel"), QStringLiteral("Device: Not Found"), 3000);
    QCOMPARE(w.text("statusLabel"), QStringLiteral("Status: Disconnected"));
    QTRY_COMPARE(w.bus.openHandles(), 0);
}

void RealHidWindowTest::replugInTheSameIdentityConnectsAgain()
{
    // The camera resets and is back in the same identity before any look:
    // the window must not go on with the dead handles of the one that left.
    RealWindow w(unkindBus(40ms));
    QVERIFY(w.connect(Identity::Normal));
    QVERIFY(stopWatchTimer(w));
    const QByteArray oldControl = w.bus.presentNode(kControl).devnode;
    const int before = versionRequests(w);
    {
        auto camera = w.bus.camera();
        camera->detach();
        camera->attach(Identity::Normal);
    }
    QTRY_COMPARE_WITH_TIMEOUT(versionRequests(w), before + 1, 3000);
    QTRY_VERIFY(w.version().startsWith(QLatin1Char('V')));
    QCOMPARE(w.text("statusLabel"), QStringLiteral("Status: Connected"));
    QCOMPARE(w.find<QLabel>("statusLabel")->styleSheet(), kTeal);
    QVERIFY(w.bus.presentNode(kControl).devnode != oldControl);
    // Nothing of the device that left is still held.
    for (const realhid::NodeRecord &node : w.bus.nodes()) {
        if (!node.present)
            QCOMPARE(node.opened, node.closed);
    }
    QCOMPARE(w.modals.count(), 0);
}

void RealHidWindowTest::replugInTheDevicePhaseEndsIt()
{
    // The upgrade device takes the image, then resets and is back in upgrade
    // mode without its 100 %: the window says so and gives the controls back
    // (Refresh is locked during the upgrade, so nothing else could).
    RealWindow w(unkindBus(40ms));
    w.bus.camera()->setProgressPlan({}, 10ms, std::chrono::minutes(10), "V2.0.0");
    QVERIFY(w.connect(Identity::Upgrade));
    QVERIFY(stopWatchTimer(w));
    w.click("upgradeMode");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("firmware.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(noiseImage(4000));
    file.close();
    w.modals.queueFile(path);
    w.click("SelectFile");
    w.modals.clear();
    w.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(w.log.contains(QStringLiteral("Upgrade file upload completed successfully.")), 10000);
    QVERIFY(!w.find<QWidget>("StartUpd")->isEnabled());
    const int before = versionRequests(w);
    {
        auto camera = w.bus.camera();
        camera->detach();
        camera->attach(Identity::Upgrade);
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.modals.texts(),
                              QStringList{QStringLiteral("The device left before the upgrade finished. If it comes "
                                                         "back in upgrade mode, start the upgrade again.")},
                              3000);
    QTRY_VERIFY(w.find<QWidget>("StartUpd")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(versionRequests(w), before + 1, 3000);
    QCOMPARE(w.text("Mode"), QStringLiteral("Mode: UPD"));
    QCOMPARE(w.text("statusLabel"), QStringLiteral("Status: Connected"));
}

QTEST_MAIN(RealHidWindowTest)
#include "tst_realhid_window.moc"
