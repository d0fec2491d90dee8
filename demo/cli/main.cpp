// kelvora-camera-cli-demo: the command-line tool with the virtual camera in
// place of the USB device. The commands are the program's own; only the
// library behind the hid_* calls differs.
//
// Each run is a new process with a new virtual camera. So that a session of
// several commands behaves like one camera on the desk, the camera's state
// (identity, framing mode, firmware version) is kept in the file named by
// KELVORA_CLI_DEMO_STATE, when set. KELVORA_CLI_DEMO takes a comma-separated
// list of settings for trying the tool's answers to trouble:
//
//   absent          no camera attached
//   upgrade-mode    the camera starts in upgrade mode (an earlier upload was cut short)
//   second          a second camera (serial SIM0002) is attached too
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

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstdlib>

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

// A state file holds three lines: "identity=camera|upgrade", "mode=N",
// "version=TEXT". Anything else in it is ignored.
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
    }
}

void saveState(const sim::VirtualCamera &camera, const QString &path)
{
    // A camera off the bus at the end has left for upgrade mode and comes
    // back there.
    const bool upgrade = !camera.isAttached() || camera.identity() == sim::Identity::Upgrade;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write("identity=" + QByteArray(upgrade ? "upgrade" : "camera") + '\n');
    file.write("mode=" + QByteArray::number(camera.mode()) + '\n');
    file.write("version=" + camera.version() + '\n');
    file.commit();
}

bool applySettings(sim::VirtualCamera &camera, const QString &text)
{
    for (const QString &setting : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = setting.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = setting.section(QLatin1Char('='), 1);
        if (name == QLatin1String("absent")) {
            camera.detach();
        } else if (name == QLatin1String("upgrade-mode")) {
            camera.attach(sim::Identity::Upgrade);
        } else if (name == QLatin1String("second")) {
            camera.attachSecond(sim::Identity::Normal);
            camera.setSecondListed(true);
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
    const QString statePath = QString::fromLocal8Bit(qgetenv(kStateVariable));
    if (!statePath.isEmpty())
        loadState(camera, statePath);
    const QString settings = QString::fromLocal8Bit(qgetenv(kSettingsVariable));
    if (!applySettings(camera, settings)) {
        std::fprintf(stderr, "kelvora-camera-cli-demo: %s holds an unknown setting: %s\n", kSettingsVariable,
                     qPrintable(settings));
        return 2;
    }

    const int code = cli::runCli(arguments, stdout, stderr, isatty(STDOUT_FILENO) == 1);
    if (!statePath.isEmpty())
        saveState(camera, statePath);
    return code;
}
