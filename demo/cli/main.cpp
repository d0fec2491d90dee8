// kelvora-camera-cli-demo: the command-line tool with the virtual camera in
// place of the USB device. The commands are the program's own; only the
// library behind the hid_* calls differs.
//
// Each run is a new process with a new virtual camera. So that a session of
// several commands behaves like one camera on the desk, the camera's state
// (identity, framing mode, firmware version, and the second camera's mode)
// is kept in the file named by KELVORA_CLI_DEMO_STATE, when set, also when a
// run ends by a second Ctrl-C, SIGTERM or SIGHUP. Runs that keep one state
// file share the camera's lock, as two programs on one desk would; runs with
// different state files have different cameras. KELVORA_CLI_DEMO takes a
// comma-separated list of settings for trying the tool's answers to trouble:
//
//   absent          no camera attached for this run (the kept one keeps its state)
//   upgrade-mode    the camera starts in upgrade mode (an earlier upload was cut short)
//   second          a second camera (serial SIM0002) is attached too; it answers
//                   list, info and set-mode, and the demo refuses to upgrade it
//   locked          the camera's nodes do not open
//   silent          the camera answers nothing
//   refuse-start    the camera refuses an announced upload
//   no-accept       the camera never accepts an announced upload
//   write-fail      every data report fails
//   fast            the camera switches, writes and restarts in a fraction of a second
//   pace=MICROSECONDS   each data report takes this long to go out
//   step=MILLISECONDS   the camera reports its writing in 10 % steps this far apart

#include "DemoCamera.h"
#include "DemoFirmware.h"
#include "VirtualCamera.h"

#include "cli/Cli.h"
#include "cli/Interrupt.h"
#include "cli/Link.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "protocol/CameraLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <unistd.h>

namespace {

using std::chrono::milliseconds;

constexpr char kStateVariable[] = "KELVORA_CLI_DEMO_STATE";
constexpr char kSettingsVariable[] = "KELVORA_CLI_DEMO";

// The quick pace of the "fast" setting.
constexpr milliseconds kFastReturn(150);
constexpr milliseconds kFastProgressInterval(20);
constexpr milliseconds kFastReboot(100);

QVector<quint8> tenPercentSteps()
{
    QVector<quint8> steps;
    for (int percent = 0; percent <= 100; percent += 10)
        steps.append(quint8(percent));
    return steps;
}

// What this run keeps: the state file's path, whether the camera was
// unplugged for the run, and the second camera's mode (from the file, or as
// the run left it).
struct Kept
{
    QString path;
    bool absent = false;
    bool second = false;
    std::optional<quint8> secondMode;
};
Kept g_kept;

// A state file holds "identity=camera|upgrade", "mode=N", "version=TEXT" and
// "second-mode=N". Anything else in it is ignored.
void loadState(sim::VirtualCamera &camera, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (key == "identity" && value == "upgrade")
            camera.attach(sim::Identity::Upgrade);
        else if (key == "mode")
            camera.setMode(quint8(value.toUInt()));
        else if (key == "version" && !value.isEmpty())
            camera.setVersion(value);
        else if (key == "second-mode")
            g_kept.secondMode = quint8(value.toUInt());
    }
}

// Whether the camera, in upgrade mode, has taken a whole image with the
// right byte sum: it is writing it, or about to.
bool writingGoodImage(const sim::VirtualCamera &camera)
{
    if (!camera.isAttached() || camera.identity() != sim::Identity::Upgrade || camera.completeChecksum() < 0)
        return false;
    const QByteArray image = camera.receivedImage();
    quint8 sum = 0;
    for (const char byte : image)
        sum = quint8(sum + quint8(byte));
    return image.size() == camera.announcedSize() && sum == camera.completeChecksum();
}

void saveState()
{
    // A camera unplugged for one run is, on the desk, the same camera as
    // before: its kept state stays as it was.
    if (g_kept.path.isEmpty() || g_kept.absent)
        return;
    const sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    if (g_kept.second)
        g_kept.secondMode = camera.secondMode();
    // A camera the run left writing a good image goes on without the tool,
    // as on a desk, and restarts with the new firmware. One off the bus has
    // left for upgrade mode and comes back there.
    const bool finishes = writingGoodImage(camera);
    const bool upgrade = !finishes && (!camera.isAttached() || camera.identity() == sim::Identity::Upgrade);
    QSaveFile file(g_kept.path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write("identity=" + QByteArray(upgrade ? "upgrade" : "camera") + '\n');
    file.write("mode=" + QByteArray::number(camera.mode()) + '\n');
    file.write("version=" + (finishes ? QByteArray(demo::kFirmwareVersionAfter) : camera.version()) + '\n');
    if (g_kept.secondMode)
        file.write("second-mode=" + QByteArray::number(*g_kept.secondMode) + '\n');
    file.commit();
}

// The second camera stands for another camera on the desk, one the demo
// does not upgrade: a command that would send it into upgrade mode is
// refused before it starts, rather than left to wait for a switch that never
// comes. Returns the exit code, or -1 when the command may run.
int refuseUpgradingTheSecond(const QStringList &arguments)
{
    const cli::Parsed parsed = cli::parseArguments(arguments);
    const cli::Command command = parsed.options.command;
    if (!g_kept.second || !parsed.ok() || parsed.options.help || parsed.options.version
        || (command != cli::Command::Upgrade && command != cli::Command::EnterUpgrade))
        return -1;
    const QVector<discovery::Device> chosen = cli::selectDevices(cli::attachedDevices(), parsed.options.device);
    if (chosen.size() != 1 || chosen.first().serialNumber != QLatin1String(sim::kSecondSerialNumber))
        return -1;
    cli::Output output(stdout, stderr, parsed.options.json, false);
    return output.finish(output.fail(cli::Problem{
        cli::Exit::Usage, QStringLiteral("usage"),
        QStringLiteral("the demo's second camera (%1) cannot be sent into upgrade mode or upgraded; it answers "
                       "list, info and set-mode")
            .arg(QLatin1String(sim::kSecondSerialNumber)),
        {QStringLiteral("Upgrade the first camera instead (see `list`).")},
        {}}));
}

// Every virtual camera reports the serial number SIM0001, so that all of
// them would share one lock. The camera on the desk is the state file: the
// runs that keep one share a lock folder of their own inside the usual one,
// and runs with other state files (the rooms of the Ansible example, all on
// one machine) do not keep each other off their cameras.
void lockFolderForTheKeptCamera(const QString &statePath)
{
    const QByteArray tag = QCryptographicHash::hash(QFile::encodeName(QFileInfo(statePath).absoluteFilePath()),
                                                    QCryptographicHash::Sha256)
                               .toHex()
                               .left(16);
    const QString folder = cameralock::directory() + QStringLiteral("/kelvora-camera-demo-") + QString::fromLatin1(tag);
    if (QDir().mkpath(folder))
        qputenv(cameralock::kDirectoryVariable, QFile::encodeName(folder));
}

bool applySettings(sim::VirtualCamera &camera, const QString &text)
{
    for (const QString &setting : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = setting.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = setting.section(QLatin1Char('='), 1);
        if (name == QLatin1String("absent")) {
            camera.detach();
            g_kept.absent = true;
        } else if (name == QLatin1String("upgrade-mode")) {
            camera.attach(sim::Identity::Upgrade);
        } else if (name == QLatin1String("second")) {
            camera.attachSecond(sim::Identity::Normal);
            camera.setSecondListed(true);
            g_kept.second = true;
        } else if (name == QLatin1String("locked")) {
            camera.setOpenFails(sim::kControlUsagePage, true);
            camera.setOpenFails(sim::kDataUsagePage, true);
        } else if (name == QLatin1String("silent")) {
            camera.setSilent(true);
        } else if (name == QLatin1String("refuse-start")) {
            camera.setStartAck(sim::AckMode::Immediate, 1);
        } else if (name == QLatin1String("no-accept")) {
            camera.setStartAck(sim::AckMode::Never);
        } else if (name == QLatin1String("write-fail")) {
            camera.failNextDataWrites(1 << 30);
        } else if (name == QLatin1String("fast")) {
            camera.setUpgradeReturnDelay(kFastReturn);
            camera.setProgressPlan(tenPercentSteps(), kFastProgressInterval, kFastReboot, demo::kFirmwareVersionAfter);
        } else if (name == QLatin1String("step")) {
            bool ok = false;
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0)
                return false;
            camera.setProgressPlan(tenPercentSteps(), milliseconds(ms), kFastReboot, demo::kFirmwareVersionAfter);
        } else if (name == QLatin1String("pace")) {
            bool ok = false;
            const long long micros = value.toLongLong(&ok);
            if (!ok || micros < 0)
                return false;
            camera.setDataWritePace(std::chrono::microseconds(micros));
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    demo::setUpDemoCamera();
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    g_kept.path = QString::fromLocal8Bit(qgetenv(kStateVariable));
    if (!g_kept.path.isEmpty()) {
        loadState(camera, g_kept.path);
        lockFolderForTheKeptCamera(g_kept.path);
    }
    const QString settings = QString::fromLocal8Bit(qgetenv(kSettingsVariable));
    if (!applySettings(camera, settings)) {
        std::fprintf(stderr, "kelvora-camera-cli-demo: %s holds an unknown setting: %s\n", kSettingsVariable,
                     qPrintable(settings));
        return 2;
    }
    if (g_kept.second && g_kept.secondMode)
        camera.setSecondMode(*g_kept.secondMode);
    if (const int refused = refuseUpgradingTheSecond(arguments); refused >= 0)
        return refused;

    // A second signal ends the tool at its next look rather than in the
    // handler, so that the camera's state is kept first.
    cli::interrupt::endAtNextLook(saveState);
    const int code = cli::runCli(arguments, stdout, stderr, isatty(STDOUT_FILENO) == 1);
    saveState();
    return code;
}
