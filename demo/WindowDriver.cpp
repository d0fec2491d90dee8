#include "WindowDriver.h"

#include "DemoCamera.h"
#include "DemoFirmware.h"
#include "VirtualCamera.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>

#include <chrono>
#include <cstdio>

namespace demo {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kStepInterval(20);
constexpr milliseconds kModalInterval(10);
// The slowest step waits for a presence check (1.5 s), the camera's return
// (2 s) or the device's progress (about 5 s); this leaves ample room.
constexpr milliseconds kStepTimeout(30000);
// For the upload screenshot each data report is slowed down, so that the
// upload of a large image runs over several window updates.
constexpr std::chrono::microseconds kScreenshotUploadPace(1000);
constexpr int kUploadScreenshotPercent = 25;

const char kUpgradeCompleted[] = "Upgrade completed ,Device will reboot now!";
const char kBoxSeenProperty[] = "demoDriverSeen";

// A window text as the window shows it in the language it speaks.
QString shown(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

WindowDriver::WindowDriver(QWidget *window, DemoCamera &camera, const QString &imagePath, Goal goal,
                           std::function<void(int, const QString &)> finished)
    : QObject(window)
    , m_window(window)
    , m_camera(camera)
    , m_imagePath(imagePath)
    , m_goal(goal)
    , m_finished(std::move(finished))
{
    m_stepTimer.setInterval(kStepInterval);
    connect(&m_stepTimer, &QTimer::timeout, this, &WindowDriver::advance);
    m_modalTimer.setInterval(kModalInterval);
    connect(&m_modalTimer, &QTimer::timeout, this, &WindowDriver::answerModal);
}

void WindowDriver::start()
{
    if (m_goal != Goal::Connected) {
        QFile file(m_imagePath);
        if (!file.open(QIODevice::ReadOnly)) {
            finish(1, QStringLiteral("cannot read the image %1").arg(m_imagePath));
            return;
        }
        m_image = file.readAll();
    }
    buildSteps();
    m_stepTimer.start();
    m_modalTimer.start();
}

void WindowDriver::buildSteps()
{
    const QString before = QString::fromLatin1(kFirmwareVersionBefore);
    const QString after = QString::fromLatin1(kFirmwareVersionAfter);

    // The first presence check runs on the window's own watch timer.
    m_steps.append({QStringLiteral("camera connected, firmware %1").arg(before), {},
                    [this, before] { return cameraShown(before); }});
    if (m_goal == Goal::Connected)
        return;

    m_steps.append({QStringLiteral("upgrade panel open"), [this] { click("upgradeMode"); },
                    [this] {
                        auto *start = m_window->findChild<QWidget *>(QStringLiteral("StartUpd"));
                        return start && start->isVisible();
                    }});
    m_steps.append({QStringLiteral("device back in upgrade mode"), [this] { click("ufuMode"); },
                    [this] {
                        return text("Mode") == shown("Mode: UPD")
                               && text("statusLabel") == shown("Status: Connected");
                    }});
    m_steps.append({QStringLiteral("image chosen"), [this] { click("SelectFile"); },
                    [this] { return m_fileAnswered && text("SelectFilePath") == m_imagePath; }});
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
                    [this] { return m_seenBoxes.contains(shown(kUpgradeCompleted)); }});
    m_steps.append({QStringLiteral("camera back with firmware %1").arg(after), {},
                    [this, after] { return cameraShown(after); }});
}

void WindowDriver::advance()
{
    if (m_over)
        return;
    if (!m_window) {
        finish(1, QStringLiteral("the window was closed"));
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_current >= 0) {
        const Step &step = m_steps.at(m_current);
        if (!step.done()) {
            if (now > m_stepDeadline) {
                finish(1, QStringLiteral("timed out waiting for: %1 (the window shows \"%2\", \"%3\", "
                                         "\"%4\", version \"%5\")")
                              .arg(step.name, text("deviceNameLabel"), text("statusLabel"), text("Mode"),
                                   text("Version")));
            }
            return;
        }
        std::printf("demo: %s\n", qPrintable(step.name));
        std::fflush(stdout);
    }

    ++m_current;
    if (m_current == m_steps.size()) {
        QString problem;
        if (m_goal == Goal::Upgraded && !checkUpload(&problem))
            finish(1, problem);
        else
            finish(0, QString());
        return;
    }
    m_stepDeadline = now + kStepTimeout.count();
    if (m_steps.at(m_current).action)
        m_steps.at(m_current).action();
}

bool WindowDriver::checkUpload(QString *problem) const
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

void WindowDriver::answerModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;

    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        // A box is judged once; if it is still open on the next tick it is
        // only closed again.
        if (!box->property(kBoxSeenProperty).toBool()) {
            box->setProperty(kBoxSeenProperty, true);
            m_seenBoxes << box->text();
            if (!m_over && !m_expectedBoxes.contains(box->text()))
                finish(1, QStringLiteral("the window said \"%1: %2\"").arg(box->windowTitle(), box->text()));
        }
        box->accept();
        return;
    }

    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        if (m_fileAnswered || m_over) {
            dialog->reject();
            return;
        }
        m_fileAnswered = true;
        dialog->selectFile(m_imagePath);
        // selectFile leaves the name field alone while it has the focus;
        // put the whole path there so accept() finds it.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(m_imagePath);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        if (dialog->isVisible()) {
            dialog->reject();
            finish(1, QStringLiteral("the file dialog did not take %1").arg(m_imagePath));
        }
        return;
    }

    const QString title = modal->windowTitle();
    modal->close();
    if (!m_over)
        finish(1, QStringLiteral("unexpected dialog \"%1\"").arg(title));
}

void WindowDriver::finish(int code, const QString &message)
{
    if (m_over)
        return;
    m_over = true;
    m_stepTimer.stop();
    // Boxes that open later (a screenshot state leaves the window running)
    // are still answered, so nothing waits on them.
    m_finished(code, message);
}

QString WindowDriver::text(const char *objectName) const
{
    const QString name = QString::fromLatin1(objectName);
    if (auto *label = m_window->findChild<QLabel *>(name))
        return label->text();
    if (auto *edit = m_window->findChild<QLineEdit *>(name))
        return edit->text();
    return QString();
}

int WindowDriver::progress() const
{
    auto *bar = m_window->findChild<QProgressBar *>(QStringLiteral("DownloadProgress"));
    return bar ? bar->value() : -1;
}

void WindowDriver::click(const char *objectName)
{
    auto *button = m_window->findChild<QAbstractButton *>(QString::fromLatin1(objectName));
    if (!button) {
        finish(1, QStringLiteral("the window has no button %1").arg(QLatin1String(objectName)));
        return;
    }
    // Clicked from the event loop rather than from this timer's tick: a box
    // the click opens must not hold the step timer inside its own loop.
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

bool WindowDriver::cameraShown(const QString &version) const
{
    return text("statusLabel") == shown("Status: Connected")
           && text("deviceNameLabel") == shown("Device: %1").arg(QLatin1String(kCameraName))
           && text("Mode") == shown("Mode: %1").arg(shown(kStartModeName))
           && text("Version") == version;
}

} // namespace demo
