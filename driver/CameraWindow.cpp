#include "CameraWindow.h"

#include "Waiting.h"

#include <QCoreApplication>

namespace driver {

CameraWindow::CameraWindow(bool readWaits)
    : camera(sim::VirtualCamera::instance())
{
    camera.reset();
    camera.setReadWaits(readWaits);
    window = std::make_unique<MainWindow>();
    window->show();
    QCoreApplication::processEvents();
}

CameraWindow::~CameraWindow()
{
    // The window closes its handles and shuts hidapi down before the camera
    // forgets them.
    window.reset();
    camera.reset();
}

void CameraWindow::fault(const QString &why) const
{
    qFatal("%s", qPrintable(why));
}

void CameraWindow::click(const char *name)
{
    if (!driver::click(window.get(), name))
        fault(QStringLiteral("no button named %1").arg(QLatin1String(name)));
}

bool CameraWindow::connect(sim::Identity identity, std::chrono::milliseconds timeout)
{
    camera.attach(identity);
    refresh();
    return drainReplies(timeout);
}

bool CameraWindow::drainReplies(std::chrono::milliseconds timeout)
{
    pause(kPollTick);
    return waitUntil([this] { return camera.pendingReports() == 0; }, timeout);
}

bool CameraWindow::chooseImage(const QString &path)
{
    modals.queueFile(path);
    click("SelectFile");
    modals.clear();
    return textOf(window.get(), "SelectFilePath") == path;
}

} // namespace driver
