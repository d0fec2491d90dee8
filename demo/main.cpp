// The configuration tool with a virtual camera in place of the USB device,
// for trying the tool without the hardware. The window is the program's own;
// only the library behind the hid_* calls differs.

#include "DemoCamera.h"
#include "StateWalk.h"

#include "AppSetup.h"
#include "MainWindow.h"
#include "Translations.h"
#include "VirtualCamera.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

const char kAppId[] = "com.kelvora.CameraConfig";
const char kSampleImageName[] = "demo-firmware.bin";
// How often --report-camera-mode looks at the camera's mode.
constexpr std::chrono::milliseconds kModeReportInterval(50);

const char kUsage[] =
    "Usage: kelvora-camera-config-demo [options]\n"
    "\n"
    "The camera configuration tool with a virtual camera attached. The camera\n"
    "behaves like the real one: it switches framing modes, goes into upgrade\n"
    "mode and takes a firmware image (try demo-firmware.bin in the build folder).\n"
    "\n"
    "Options:\n"
    "  -h, --help                 Show this help and exit.\n"
    "  --self-test <image>        Upgrade the virtual camera with <image> without a\n"
    "                             person; exit 0 on success, 1 with a reason.\n"
    "  --screenshot-state <state> Bring the window into <state> (connected,\n"
    "                             upgrade-panel, uploading, or no-access: the camera\n"
    "                             attached but not to be opened by this user), print\n"
    "                             \"demo: ready\" and keep it there.\n"
    "  --image <image>            The image a screenshot state chooses (default:\n"
    "                             demo-firmware.bin beside the program).\n"
    "  --report-camera-mode       Print \"demo: camera mode <value>\" each time the\n"
    "                             virtual camera takes a framing mode.\n";

struct Options
{
    demo::StateWalk::Goal goal = demo::StateWalk::Goal::Upgraded;
    bool driven = false;     // a self-test or a screenshot state
    bool selfTest = false;
    bool reportCameraMode = false;
    QString image;
};

[[noreturn]] void optionError(const QString &message)
{
    std::fprintf(stderr, "kelvora-camera-config-demo: %s\n", qPrintable(message));
    std::exit(2);
}

bool parseGoal(const QString &state, demo::StateWalk::Goal *goal)
{
    using Goal = demo::StateWalk::Goal;
    if (state == QLatin1String("connected"))
        *goal = Goal::Connected;
    else if (state == QLatin1String("upgrade-panel"))
        *goal = Goal::UpgradePanel;
    else if (state == QLatin1String("uploading"))
        *goal = Goal::Uploading;
    else if (state == QLatin1String("no-access"))
        *goal = Goal::NoAccess;
    else
        return false;
    return true;
}

// Reads the options before the application object exists (so --help works
// without a display); exits with a message on a bad one.
Options parseOptions(const QStringList &arguments, const QString &programDir)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption selfTest(QStringLiteral("self-test"), QString(), QStringLiteral("image"));
    const QCommandLineOption state(QStringLiteral("screenshot-state"), QString(), QStringLiteral("state"));
    const QCommandLineOption image(QStringLiteral("image"), QString(), QStringLiteral("image"));
    const QCommandLineOption reportMode(QStringLiteral("report-camera-mode"), QString());
    parser.addOptions({help, selfTest, state, image, reportMode});
    if (!parser.parse(arguments))
        optionError(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", kUsage);
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        optionError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    Options options;
    options.reportCameraMode = parser.isSet(reportMode);
    if (parser.isSet(selfTest) && parser.isSet(state))
        optionError(QStringLiteral("--self-test and --screenshot-state exclude each other"));
    if (parser.isSet(selfTest)) {
        options.driven = true;
        options.selfTest = true;
        options.image = parser.value(selfTest);
    } else if (parser.isSet(state)) {
        options.driven = true;
        if (!parseGoal(parser.value(state), &options.goal))
            optionError(QStringLiteral("unknown state '%1'").arg(parser.value(state)));
        options.image = parser.isSet(image)
                            ? parser.value(image)
                            : QDir(programDir).filePath(QLatin1String(kSampleImageName));
    }
    const bool needsImage = options.goal != demo::StateWalk::Goal::Connected
                            && options.goal != demo::StateWalk::Goal::NoAccess;
    if (options.driven && needsImage) {
        const QFileInfo info(options.image);
        if (!info.isFile())
            optionError(QStringLiteral("no image file '%1'").arg(options.image));
        options.image = QDir::cleanPath(info.absoluteFilePath());
    }
    return options;
}

// Tells a program that drives the window from outside (the accessibility
// test) what the camera itself holds, which the window only shows once the
// camera has acknowledged it.
void reportCameraModes(QObject *context)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [last = -1]() mutable {
        const int mode = sim::VirtualCamera::instance().mode();
        if (mode == last)
            return;
        last = mode;
        std::printf("demo: camera mode %d\n", mode);
        std::fflush(stdout);
    });
    timer->start(kModeReportInterval);
}

// The folder of the program, known before the application object is.
QString programDir(const QString &argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists())
        return QFileInfo(self.canonicalFilePath()).absolutePath();
    return QFileInfo(argv0).absolutePath();
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parseOptions(arguments, programDir(arguments.first()));
    // The walk answers the file dialog as a widget; a desktop's own dialog
    // would be out of its reach.
    if (options.driven)
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);

    startup::prepareApplication();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    translations::installForSystem();

    // The file dialog opens in the working folder; the build folder, which
    // holds the sample image, is the useful place to start from.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    demo::DemoCamera camera;
    camera.plugIn();
    // The camera's nodes as a system without the udev rule leaves them:
    // listed on the bus, refused to this user.
    if (options.driven && options.goal == demo::StateWalk::Goal::NoAccess)
        sim::VirtualCamera::instance().setProbeFails(sim::Identity::Normal, true);
    if (!options.driven)
        std::fprintf(stderr, "demo: a virtual camera stands in for the USB camera\n");

    MainWindow window;
    window.show();
    if (options.reportCameraMode)
        reportCameraModes(&window);

    if (options.driven) {
        auto *walk = new demo::StateWalk(
            &window, camera, options.image, options.goal,
            [&options](int code, const QString &message) {
                if (code != 0) {
                    std::fprintf(stderr, "%s failed: %s\n",
                                 options.selfTest ? "self-test" : "screenshot state", qPrintable(message));
                    QCoreApplication::exit(code);
                } else if (options.selfTest) {
                    std::printf("self-test passed\n");
                    QCoreApplication::exit(0);
                } else {
                    std::printf("demo: ready\n");
                }
                std::fflush(stdout);
            });
        // Started from the event loop, so that a failure at the very start
        // still ends it.
        QTimer::singleShot(0, walk, [walk] { walk->start(); });
    }
    return app.exec();
}
