// Drives a live window, under the offscreen platform, with reports of any
// content and length (0 to 64 bytes) read from the virtual camera, mixed
// with the events a user and a flaky device add: button clicks, presence
// checks, unplugging, read errors, refused data writes. Each input first
// brings the window to one of five starting points: connected to the
// camera, connected to the upgrade device while idle, and an upgrade
// awaiting acceptance, uploading, or in the device phase.
//
// Input layout: byte 0 picks the starting point (its value modulo 5). The
// upgrade panel starts open; an operation can close it. The remaining bytes
// are a program of operations, see runOperation().
//
// About one input in 64 is shown and painted, chosen by a hash of the whole
// input. Painting runs no code of ours and costs more than the rest of an
// input, so it is kept rare; a hash rather than a byte value, because the
// fuzzer learns byte values from comparisons and would soon paint often.
//
// Speed matters here, so the window's timers are not left to the clock:
// the harness finds them by their object names, stretches them to a day
// and fires them itself when the input says so, which also makes a run
// depend on the input alone. Modal boxes are answered as soon as their
// event loop starts, optionally after running more operations inside that
// loop, which is where re-entrant dispatch happens.

#include "MainWindow.h"
#include "ModalWatcher.h"
#include "ToolkitStandIns.h"
#include "VirtualCamera.h"
#include "Widgets.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr int kDay = 24 * 60 * 60 * 1000;
constexpr int kMaxBoxDepth = 4;
constexpr int kMaxDrainTicks = 80;
constexpr int kImageSize = 1200;   // three data reports

// The window's timers, by the object names it gives them.
const char kWatchTimer[] = "watchTimer";
const char kLevelTimer[] = "levelTimer";
const char kPollTimer[] = "pollTimer";   // a new one at each connect
const char kUploadTimer[] = "uploadTimer";
const char kStartAckTimer[] = "startAckTimer";
const char kDevicePhaseTimer[] = "devicePhaseTimer";
const char kPartialDeviceTimer[] = "partialDeviceTimer";

const char *const kButtons[] = {"applyButton", "btnFullScreen", "btnAutoFraming", "btnVoiceTracking",
                                "btnSmartGallery", "GetVersion", "lpfOn", "ufuMode", "StartUpd",
                                "upgradeMode", "refOn"};

enum class Start { Camera, UpgradeIdle, Awaiting, Uploading, DevicePhase };

// The input, read front to back.
struct Program
{
    const std::uint8_t *data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;

    bool done() const { return at >= size; }
    std::uint8_t next() { return at < size ? data[at++] : 0; }
};

void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

class Driver : public QObject
{
public:
    Driver()
        : camera(sim::VirtualCamera::instance())
    {
        qApp->installEventFilter(this);
        toolkit::onBareBox([this] { runHeldOperations(); });
        const QString path = dir.filePath(QStringLiteral("image.bin"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the test image");
        QByteArray image(kImageSize, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char((i * 37 + 11) & 0xFF);
        file.write(image);
        imagePath = path;
    }

    void run(const std::uint8_t *data, std::size_t size);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void newWindow();
    bool prepare(Start start, bool panel);
    bool toIdle();
    bool idle() const;
    void resetCamera();
    void clearFaults();
    void connectAs(sim::Identity identity);
    void adoptTimers();
    QTimer *timer(const char *name) const;
    bool fire(const char *name);
    void poll(int ticks);
    void drain();
    void click(const char *name);
    void runOperation();
    void answerBox();
    void runHeldOperations();
    void settle();

    sim::VirtualCamera &camera;
    QTemporaryDir dir;
    QString imagePath;
    std::unique_ptr<MainWindow> window;
    Program program;
    bool paint = false;
    bool readFails = false;
    bool silent = false;
    // Set by every operation that may leave the window's handles stale.
    bool linkTouched = true;
    sim::Identity connected = sim::Identity::Normal;
    int holdNextBox = 0;
    int boxDepth = 0;
};

bool Driver::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
    case QEvent::Paint:
    case QEvent::Expose:
        return !paint;
    case QEvent::Show:
        // A dialog about to run its own event loop: answer it from inside
        // that loop, as soon as it starts.
        if (qobject_cast<QDialog *>(watched))
            QMetaObject::invokeMethod(this, [this] { answerBox(); }, Qt::QueuedConnection);
        return false;
    default:
        return false;
    }
}

void Driver::answerBox()
{
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    runHeldOperations();
    if (!modal || !modal->isVisible())
        return;
    if (auto *files = qobject_cast<QFileDialog *>(modal.data())) {
        driver::chooseFile(files, imagePath);
        return;
    }
    if (auto *dialog = qobject_cast<QDialog *>(modal.data()))
        dialog->accept();
}

// Operations held for an open box run inside its event loop, so replies are
// dispatched from inside the dispatch that opened it.
void Driver::runHeldOperations()
{
    ++boxDepth;
    for (int held = holdNextBox; held > 0 && boxDepth <= kMaxBoxDepth && !program.done(); --held) {
        holdNextBox = 0;
        runOperation();
    }
    holdNextBox = 0;
    --boxDepth;
}

void Driver::newWindow()
{
    window.reset();
    resetCamera();
    // The window stays hidden except during painted inputs: while it is
    // shown, every label the window changes lays it out again, which is
    // toolkit work. None of the window's own code looks at visibility.
    window = std::make_unique<MainWindow>();
    adoptTimers();
    // Chooses the image once per window; the path outlives every upgrade.
    click("upgradeMode");
    click("SelectFile");
    click("upgradeMode");
    settle();
}

// Stretches the window's timers to a day, so only the harness fires them.
// The poll timer is replaced at every connect, so this runs after every
// operation.
void Driver::adoptTimers()
{
    static const QLatin1String names[] = {QLatin1String(kWatchTimer), QLatin1String(kLevelTimer),
                                          QLatin1String(kPollTimer), QLatin1String(kUploadTimer),
                                          QLatin1String(kStartAckTimer), QLatin1String(kDevicePhaseTimer),
                                          QLatin1String(kPartialDeviceTimer)};
    const auto timers = window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTimer *found : timers) {
        if (found->interval() == kDay
            || std::find(std::begin(names), std::end(names), found->objectName()) == std::end(names))
            continue;
        const bool active = found->isActive();
        found->setInterval(kDay);
        if (!active)
            found->stop();
    }
}

QTimer *Driver::timer(const char *name) const
{
    return driver::runningTimer(window.get(), name);
}

// Does what the timer would do on its own when it runs out.
bool Driver::fire(const char *name)
{
    QTimer *found = timer(name);
    if (!found)
        return false;
    if (found->isSingleShot())
        found->stop();
    QMetaObject::invokeMethod(found, "timeout");
    adoptTimers();
    return true;
}

void Driver::poll(int ticks)
{
    for (int i = 0; i < ticks; ++i) {
        if (!fire(kPollTimer))
            return;
    }
}

void Driver::drain()
{
    for (int i = 0; i < kMaxDrainTicks && camera.pendingReports() > 0; ++i) {
        if (!fire(kPollTimer))
            return;
    }
}

void Driver::click(const char *name)
{
    driver::click(window.get(), name);
    adoptTimers();
}

void Driver::settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    adoptTimers();
}

// Takes back every fault, report and plan the last input left in the
// camera, without touching the connection. Plans matter most: every upload
// that ends well plans a reboot a day later, and on a reused connection
// those would pile up for the whole run.
void Driver::clearFaults()
{
    camera.cancelPlans();
    camera.setReadFails(false);
    camera.setSilent(false);
    camera.failNextDataWrites(0);
    camera.vanishAfterDataReports(0);
    camera.setStartAck(sim::AckMode::Never);
    camera.dropPendingReports();
    camera.clearRecords();
    readFails = false;
    silent = false;
}

void Driver::resetCamera()
{
    // Every handle the window holds dies here.
    linkTouched = true;
    camera.reset();
    camera.setReadWaits(false);
    camera.setStartAck(sim::AckMode::Never);
    // The device phase is played by the input, not by a schedule.
    camera.setProgressPlan({}, 0ms, std::chrono::milliseconds(kDay), "V2.0.0");
    camera.setUpgradeReturnDelay(0ms);
    readFails = false;
    silent = false;
}

// Connects from scratch through two presence checks (gone, then back), which
// works even while an upgrade has Refresh disabled.
void Driver::connectAs(sim::Identity identity)
{
    camera.detach();
    fire(kWatchTimer);
    camera.attach(identity);
    fire(kWatchTimer);
    drain();
    connected = identity;
    linkTouched = false;
}

bool Driver::idle() const
{
    return driver::find<QWidget>(window.get(), "StartUpd")->isEnabled() && !timer(kStartAckTimer)
        && !timer(kUploadTimer) && !QApplication::activeModalWidget();
}

// Ends whatever upgrade the last input left running, the way the device
// would: a finished upload, then its final progress report.
bool Driver::toIdle()
{
    if (idle())
        return true;
    fire(kStartAckTimer);
    if (idle())
        return true;
    if (linkTouched || !camera.isAttached() || camera.identity() != sim::Identity::Upgrade
        || connected != sim::Identity::Upgrade) {
        resetCamera();
        connectAs(sim::Identity::Upgrade);
    }
    for (int i = 0; i < 4 && timer(kUploadTimer); ++i)
        fire(kUploadTimer);
    camera.dropPendingReports();
    camera.queueReply(0x22, 0x04, QByteArray(1, char(100)));
    drain();
    return idle();
}

bool Driver::prepare(Start start, bool panel)
{
    clearFaults();
    if (!window)
        newWindow();
    if (!idle()) {
        if (!toIdle()) {
            newWindow();
            if (!toIdle())
                qFatal("a new window is not idle");
        }
    }
    // Reconnecting costs more than most inputs, so a connection the last
    // input left alone is used again.
    const sim::Identity wanted = start == Start::Camera ? sim::Identity::Normal : sim::Identity::Upgrade;
    if (linkTouched || !camera.isAttached() || camera.identity() != wanted || connected != wanted) {
        resetCamera();
        connectAs(wanted);
    }
    if (start >= Start::Awaiting) {
        click("StartUpd");
        if (start >= Start::Uploading) {
            camera.queueReply(0x22, 0x01, QByteArray(1, '\0'));
            drain();
        }
        if (start == Start::DevicePhase) {
            fire(kUploadTimer);
            drain();
        }
    }
    const bool shown = driver::find<QWidget>(window.get(), "StartUpd")->isVisibleTo(window.get());
    if (shown != panel)
        click("upgradeMode");
    camera.clearRecords();
    return true;
}

void Driver::runOperation()
{
    const std::uint8_t op = program.next();
    if (op < 0x80 || op >= 0xC0) {
        // A raw report of up to 64 bytes, cut short where the input ends.
        const int length = op < 0x80 ? op % 65 : program.next() % 65;
        QByteArray report;
        for (int i = 0; i < length && !program.done(); ++i)
            report.append(char(program.next()));
        camera.queueReport(report);
        return;
    }
    if (op < 0x90) {
        // A well-formed reply, checksum included, in either group.
        const quint8 group = (op & 1) ? 0x22 : 0x20;
        const quint8 code = program.next();
        const int length = program.next() % 58;
        QByteArray payload;
        for (int i = 0; i < length && !program.done(); ++i)
            payload.append(char(program.next()));
        camera.queueReply(group, code, payload);
        return;
    }
    if (op < 0xA0) {
        poll((op & 0x0F) + 1);
        return;
    }
    if (op >= 0xAC && op < 0xAC + int(sizeof kButtons / sizeof *kButtons)) {
        // CAMERA_ENTER_UPD makes the camera leave the bus.
        linkTouched = linkTouched || qstrcmp(kButtons[op - 0xAC], "ufuMode") == 0;
        click(kButtons[op - 0xAC]);
        return;
    }
    switch (op) {
    case 0xA0:
        drain();
        break;
    case 0xA1:
        fire(kStartAckTimer);
        break;
    case 0xA2:
        fire(kUploadTimer);
        break;
    case 0xA3:
        linkTouched = true;
        click("Refresh");
        break;
    case 0xA4:
        linkTouched = true;
        fire(kWatchTimer);
        break;
    case 0xA5:
        linkTouched = true;
        camera.detach();
        break;
    case 0xA6:
        linkTouched = true;
        camera.attach(sim::Identity::Normal);
        break;
    case 0xA7:
        linkTouched = true;
        camera.attach(sim::Identity::Upgrade);
        break;
    case 0xA8:
        readFails = !readFails;
        camera.setReadFails(readFails);
        break;
    case 0xA9:
        camera.failNextDataWrites(program.next() % 4);
        break;
    case 0xAA:
        linkTouched = true;
        camera.vanishAfterDataReports(program.next() % 4);
        break;
    case 0xAB:
        holdNextBox = program.next() % 8;
        break;
    case 0xB7:
        silent = !silent;
        camera.setSilent(silent);
        break;
    case 0xB8:
        settle();
        break;
    case 0xB9:
        fire(kDevicePhaseTimer);
        break;
    case 0xBA:
        linkTouched = true;
        fire(kPartialDeviceTimer);
        break;
    case 0xBB:
    case 0xBC:
        // A device that lists its control interface only, so far.
        linkTouched = true;
        camera.attach(op == 0xBB ? sim::Identity::Normal : sim::Identity::Upgrade, {sim::standardInterfaces().first()});
        break;
    default:
        poll(1);
        break;
    }
}

// FNV-1a over the whole input; its low six bits pick the painted inputs.
bool paintedInput(const std::uint8_t *data, std::size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return (hash & 63u) == 0;
}

void Driver::run(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    program = Program{data, size, 1};
    const int startByte = data[0];
    const Start start = Start(startByte % 5);
    paint = false;
    holdNextBox = 0;
    prepare(start, true);
    paint = paintedInput(data, size);
    if (paint) {
        // A painted input runs with the real boxes and sheets on a shown
        // window.
        toolkit::useReal(true);
        toolkit::applyStyleSheets(window.get());
        window->show();
    }

    while (!program.done())
        runOperation();
    if (paint) {
        // Drawn into an image: the window is never exposed on screen here.
        QImage picture(window->size(), QImage::Format_ARGB32_Premultiplied);
        window->render(&picture);
        window->hide();
        toolkit::useReal(false);
    }
    paint = false;
    settle();

    for (const QString &fault : camera.formatViolations()) {
        if (fault.startsWith(QLatin1String("control:"))) {
            std::fprintf(stderr, "the window wrote a malformed frame: %s\n", qPrintable(fault));
            std::abort();
        }
    }
    camera.clearRecords();
}

Driver *harness = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    Q_UNUSED(argc);
    new QApplication(qtArgc, qtArgv);
    harness = new Driver;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    harness->run(data, size);
    return 0;
}
