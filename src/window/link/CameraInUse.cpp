// One program at a time on the camera. At each presence check, before it
// opens anything, the window looks whether another program (the
// command-line tool, a second window) holds the camera's lock; while one
// does, it keeps nothing of the camera open, writes nothing and says so on
// its status line, and it connects as usual once the lock is free. For its
// own upgrade it takes the lock from EnterUPD, or from Start when the camera
// is already in upgrade mode, until the upgrade ends.

#include "MainWindow.h"

#include "protocol/CameraLock.h"
#include "protocol/Discovery.h"
#include "protocol/HidIo.h"
#include "ui_MainWindow.h"
#include "ui/StyleSheets.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <optional>

using discovery::Identity;

namespace {

// The lock keys of the devices the presence probes open: the first device
// of each identity on the bus (of `only`, when given). One walk of the bus,
// which opens nothing.
QVector<QString> keysOnBus(std::optional<Identity> only = std::nullopt)
{
    hid_device_info *list = hid_enumerate(0, 0);
    const QVector<discovery::Device> devices = discovery::devicesFrom(discovery::interfacesFrom(list));
    hid_free_enumeration(list);
    QVector<QString> keys;
    for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
        if (only && *only != identity)
            continue;
        const auto first = std::find_if(devices.cbegin(), devices.cend(),
                                        [identity](const discovery::Device &device) { return device.identity == identity; });
        if (first != devices.cend())
            keys.append(cameralock::keyFor(*first));
    }
    return keys;
}

} // namespace

bool MainWindow::cameraHeldElsewhere()
{
    // Mostly no program holds any camera: then the bus is not walked, and
    // the look is the window's usual one. The window's own lock never
    // counts.
    if (!m_cameraLock->othersHoldAny())
        return false;
    for (const QString &key : keysOnBus()) {
        if (const std::optional<cameralock::Holder> holder = m_cameraLock->otherHolder(key)) {
            showCameraInUse(*holder);
            return true;
        }
    }
    return false;
}

void MainWindow::showCameraInUse(const cameralock::Holder &holder)
{
    m_partialDeviceTimer->stop();
    m_cameraConnected = false;
    m_updConnected = false;
    hidio::closeHandle(m_cameraProbe);
    hidio::closeHandle(m_updProbe);
    closeInterfaces();
    m_cameraInUse = true;
    if (holder.known()) {
        //: The second status line while another program (the command-line
        //: tool, or this program started a second time) works on the camera
        //: and this window keeps off it. %1 is that program's name, %2 its
        //: process ID.
        ui->statusLabel->setText(tr("Status: In use by %1 (pid %2)").arg(holder.program).arg(holder.pid));
    } else {
        //: As "Status: In use by %1 (pid %2)", when the other program cannot be named.
        ui->statusLabel->setText(tr("Status: In use by another program"));
    }
    ui->deviceNameLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    ui->statusLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    // Only where the window could not take the lock for an upgrade of its
    // own can one be under way here; it cannot go on.
    if (stopUpgradeOnDeparture())
        warnUpgradeInterrupted();
}

bool MainWindow::takeCameraLock()
{
    // With nothing connected nothing goes out, and there is no camera to
    // keep other programs off.
    if (!m_controlDevice || (!m_cameraConnected && !m_updConnected))
        return true;
    const QVector<QString> keys = keysOnBus(m_cameraConnected ? Identity::Camera : Identity::Upgrade);
    if (keys.isEmpty())
        return true;
    cameralock::Holder holder;
    switch (m_cameraLock->take(keys.first(), &holder)) {
    case cameralock::Outcome::Taken:
        return true;
    case cameralock::Outcome::Failed:
        // As without logind's sleep lock: the upgrade goes on without it.
        qDebug() << "The camera's lock was not taken:" << m_cameraLock->error();
        return true;
    case cameralock::Outcome::Held:
        break;
    }
    QString text;
    if (holder.known()) {
        //: The box shown when EnterUPD or Start finds another program working
        //: on the camera. %1 is that program's name, %2 its process ID.
        text = tr("The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has "
                  "finished.")
                   .arg(holder.program)
                   .arg(holder.pid);
    } else {
        //: As above, when the other program cannot be named.
        text = tr("The camera is in use by another program. Nothing was sent to it. Try again once that program "
                  "has finished.");
    }
    //: Title of the box shown when EnterUPD or Start finds another program
    //: working on the camera.
    QMessageBox::warning(this, tr("Camera in use"), text);
    return false;
}

void MainWindow::releaseCameraLock()
{
    m_cameraLock->release();
}
