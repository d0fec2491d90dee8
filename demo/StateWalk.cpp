#include "StateWalk.h"

#include "DemoCamera.h"
#include "DemoFirmware.h"
#include "VirtualCamera.h"
#include "Widgets.h"

#include <QCoreApplication>
#include <QFile>
#include <QProgressBar>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace demo {

namespace {

// The slowest step waits for a presence check (1.5 s), the camera's return
// (2 s) or the device's progress (about 5 s); this leaves ample room.
constexpr std::chrono::milliseconds kStepTimeout(30000);
// For the upload screenshot each data report is slowed down, so that the
// upload of a large image runs over several window updates.
constexpr std::chrono::microseconds kScreenshotUploadPace(1000);
constexpr int kUploadScreenshotPercent = 25;

const char kUpgradeCompleted[] = "Upgrade completed ,Device will reboot now!";

// A window text as the window shows it in the language it speaks.
QString shown(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

StateWalk::StateWalk(QWidget *window, DemoCamera &camera, const QString &imagePath, Goal goal,
                     std::function<void(int, const QString &)> finished)
    : QObject(window)
    , m_window(window)
    , m_camera(camera)
    , m_imagePath(imagePath)
    , m_goal(goal)
    , m_finished(std::move(finished))
{
    m_modals.onEachBox([this](int index) { judgeBox(index); });
    m_modals.onEachDialog([this](int index) { judgeDialog(index); });
}

void StateWalk::start()
{
    if (m_goal != Goal::Connected && m_goal != Goal::NoAccess) {
        QFile file(m_imagePath);
        if (!file.open(QIODevice::ReadOnly)) {
            finish(1, QStringLiteral("cannot read the image %1").arg(m_imagePath));
            return;
        }
        m_image = file.readAll();
        // The one file dialog of the walk gets the image; any later one is
        // cancelled.
        m_modals.queueFile(m_imagePath);
    }
    buildSteps();
    begin(0);
}

void StateWalk::buildSteps()
{
    const QString before = QString::fromLatin1(kFirmwareVersionBefore);
    const QString after = QString::fromLatin1(kFirmwareVersionAfter);

    if (m_goal == Goal::NoAccess) {
        m_steps.append({QStringLiteral("the notice that the camera cannot be opened"), {}, [this] {
                            auto *notice = driver::find<QWidget>(m_window, "accessNotice");
                            return notice && notice->isVisible() && text("deviceNameLabel") == shown("Device: Unknown");
                        }});
        return;
    }
    // The first presence check runs on the window's own watch timer.
    m_steps.append({QStringLiteral("camera connected, firmware %1").arg(before), {},
                    [this, before] { return cameraShown(before); }});
    if (m_goal == Goal::Connected)
        return;

    m_steps.append({QStringLiteral("upgrade panel open"), [this] { click("upgradeMode"); },
                    [this] {
                        auto *start = driver::find<QWidget>(m_window, "StartUpd");
                        return start && start->isVisible();
                    }});
    m_steps.append({QStringLiteral("device back in upgrade mode"), [this] { click("ufuMode"); },
                    [this] {
                        return text("Mode") == shown("Mode: UPD")
                               && text("statusLabel") == shown("Status: Connected");
                    }});
    m_steps.append({QStringLiteral("image chosen"), [this] { click("SelectFile"); },
                    [this] { return text("SelectFilePath") == m_imagePath; }});
    if (m_goal == Goal::UpgradePanel)
        return;

    if (m_goal == Goal::Uploading) {
        m_steps.append({QStringLiteral("upload under way"),
                        [this] {
                            m_camera.setUploadPace(kScreenshotUploadPace);
                            click("StartUpd");
                        },
                        [this] {
                            return text("DOWNLOAD") == shown("DOWNLOAD:")
                                   && progress() >= kUploadScreenshotPercent;
                        }});
        return;
    }

    m_expectedBoxes << shown(kUpgradeCompleted);
    m_steps.append({QStringLiteral("image uploaded and installed"), [this] { click("StartUpd"); },
                    [this] { return m_modals.texts().contains(shown(kUpgradeCompleted)); }});
    m_steps.append({QStringLiteral("camera back with firmware %1").arg(after), {},
                    [this, after] { return cameraShown(after); }});
}

void StateWalk::begin(int index)
{
    if (m_over)
        return;
    if (index == m_steps.size()) {
        QString problem;
        if (m_goal == Goal::Upgraded && !checkUpload(&problem))
            finish(1, problem);
        else
            finish(0, QString());
        return;
    }
    if (m_steps.at(index).action)
        m_steps.at(index).action();
    if (m_over)
        return;
    m_waiter.watch([this, index] { return !m_window || m_steps.at(index).done(); }, kStepTimeout,
                   [this, index](bool met) { stepEnded(index, met); });
}

void StateWalk::stepEnded(int index, bool met)
{
    if (m_over)
        return;
    if (!m_window) {
        finish(1, QStringLiteral("the window was closed"));
        return;
    }
    const Step &step = m_steps.at(index);
    if (!met) {
        finish(1, QStringLiteral("timed out waiting for: %1 (the window shows \"%2\", \"%3\", "
                                 "\"%4\", version \"%5\")")
                      .arg(step.name, text("deviceNameLabel"), text("statusLabel"), text("Mode"),
                           text("Version")));
        return;
    }
    std::printf("demo: %s\n", qPrintable(step.name));
    std::fflush(stdout);
    begin(index + 1);
}

bool StateWalk::checkUpload(QString *problem) const
{
    const sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    if (camera.receivedImage() != m_image) {
        *problem = QStringLiteral("the camera received %1 bytes that differ from the %2-byte image")
                       .arg(camera.receivedImage().size())
                       .arg(m_image.size());
        return false;
    }
    const QStringList violations = m_camera.violations();
    if (!violations.isEmpty()) {
        *problem = QStringLiteral("the camera saw malformed frames: ") + violations.join(QStringLiteral("; "));
        return false;
    }
    return true;
}

// Every box the walk does not expect ends it: the window said something
// went wrong.
void StateWalk::judgeBox(int index)
{
    const driver::ModalRecord box = m_modals.records().at(index);
    if (!m_over && !m_expectedBoxes.contains(box.text))
        finish(1, QStringLiteral("the window said \"%1: %2\"").arg(box.title, box.text));
}

void StateWalk::judgeDialog(int index)
{
    if (m_over)
        return;
    const driver::ModalRecord dialog = m_modals.records().at(index);
    if (dialog.kind != QLatin1String("QFileDialog"))
        finish(1, QStringLiteral("unexpected dialog \"%1\"").arg(dialog.title));
    else if (!dialog.accepted)
        finish(1, QStringLiteral("the file dialog did not take %1").arg(m_imagePath));
}

void StateWalk::finish(int code, const QString &message)
{
    if (m_over)
        return;
    m_over = true;
    m_waiter.stop();
    m_finished(code, message);
}

QString StateWalk::text(const char *objectName) const
{
    return driver::textOf(m_window, objectName);
}

int StateWalk::progress() const
{
    auto *bar = driver::find<QProgressBar>(m_window, "DownloadProgress");
    return bar ? bar->value() : -1;
}

void StateWalk::click(const char *objectName)
{
    // Clicked from the event loop rather than from inside the walk: a box
    // the click opens must not hold the walk inside its own loop.
    if (!driver::clickLater(m_window, objectName))
        finish(1, QStringLiteral("the window has no button %1").arg(QLatin1String(objectName)));
}

bool StateWalk::cameraShown(const QString &version) const
{
    return text("statusLabel") == shown("Status: Connected")
           && text("deviceNameLabel") == shown("Device: %1").arg(QLatin1String(kCameraName))
           && text("Mode") == shown("Mode: %1").arg(shown(kStartModeName))
           && text("Version") == version;
}

} // namespace demo
