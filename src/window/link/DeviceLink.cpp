// Finding the camera in either of its personalities, opening its two vendor
// interfaces, keeping the status labels in step, and polling the control
// interface for replies.

#include "MainWindow.h"

#include "protocol/CommandFrame.h"
#include "protocol/Discovery.h"
#include "protocol/HidIo.h"
#include "ui_MainWindow.h"
#include "ui/StyleSheets.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

using discovery::Identity;

namespace {

constexpr std::chrono::milliseconds kPollInterval(20);
constexpr int kReadTimeoutMs = 10;

QString hex(unsigned value)
{
    return QString::number(value, 16);
}

hid_device *probe(Identity identity)
{
    const discovery::UsbId id = discovery::usbId(identity);
    return hid_open(id.vendorId, id.productId, nullptr);
}

// Every interface of the identity that the bus lists now.
QVector<discovery::Interface> listInterfaces(Identity identity)
{
    const discovery::UsbId id = discovery::usbId(identity);
    hid_device_info *devices = hid_enumerate(id.vendorId, id.productId);
    const QVector<discovery::Interface> interfaces = discovery::interfacesFrom(devices);
    hid_free_enumeration(devices);
    return interfaces;
}

// The nodes of the vendor interfaces in a listing, which tell one arrival of
// a device from the next.
QVector<QByteArray> vendorNodes(const QVector<discovery::Interface> &interfaces)
{
    QVector<QByteArray> nodes;
    for (const discovery::Interface &entry : interfaces) {
        if (entry.usagePage == discovery::kControlUsagePage || entry.usagePage == discovery::kDataUsagePage)
            nodes.append(entry.path);
    }
    return nodes;
}

} // namespace

void MainWindow::on_Refresh_clicked()
{
    m_cameraConnected = false;
    m_updConnected = false;
    m_accessNoticeGiven = false;
    checkDevicePresence();
}

void MainWindow::checkDevicePresence()
{
    // While another program works on the camera, nothing of it is opened.
    if (cameraHeldElsewhere())
        return;
    hid_device *camera = probe(Identity::Camera);
    hid_device *upgrade = probe(Identity::Upgrade);

    const discovery::Presence presence = discovery::presenceOf(camera, upgrade);
    if (presence == discovery::Presence::Both) {
        hidio::closeHandle(camera);
        hidio::closeHandle(upgrade);
        return;
    }
    if (presence == discovery::Presence::Nothing) {
        m_partialDeviceTimer->stop();
        forgetDevice();
        lookForCameraOutOfReach();
        return;
    }

    // One identity is attached: the other is not connected any more, and
    // this one is connected unless it already is.
    const bool isCamera = presence == discovery::Presence::Camera;
    const Identity identity = isCamera ? Identity::Camera : Identity::Upgrade;
    hid_device *found = isCamera ? camera : upgrade;
    bool &connected = isCamera ? m_cameraConnected : m_updConnected;
    (isCamera ? m_updConnected : m_cameraConnected) = false;
    const bool connectNow = connected ? linkWorthRetrying(identity) : arrivedWhole(identity);
    if (!connectNow) {
        hidio::closeHandle(found);
        return;
    }
    if (isCamera)
        connectCamera(found);
    else
        connectUpgradeDevice(found);
}

bool MainWindow::arrivedWhole(Identity identity)
{
    // A device that is still arriving is left alone until its last vendor
    // interface is there: the next node event or watch tick looks again.
    // One that stays incomplete is connected as it is after a while, so
    // that the user learns from the box that it cannot be used.
    if (discovery::listsBothVendorInterfaces(listInterfaces(identity)) || m_partialWaitOver) {
        m_partialDeviceTimer->stop();
        return true;
    }
    if (!m_partialDeviceTimer->isActive())
        m_partialDeviceTimer->start();
    return false;
}

void MainWindow::partialDeviceWaitOver()
{
    m_partialWaitOver = true;
    checkDevicePresence();
    m_partialWaitOver = false;
}

bool MainWindow::linkWorthRetrying(Identity identity)
{
    // A connect that could not open both interfaces is tried again once the
    // device lists both under nodes it did not list then (it has finished
    // arriving, or come back), so that it recovers without Refresh. The
    // same listing again would only bring the same box.
    if (!m_linkIncomplete || m_linkBoxOpen)
        return false;
    const QVector<discovery::Interface> interfaces = listInterfaces(identity);
    return discovery::listsBothVendorInterfaces(interfaces) && vendorNodes(interfaces) != m_incompleteLinkNodes;
}

void MainWindow::forgetDevice()
{
    // Whatever the window still shows or holds is taken down, whether the
    // look came from the timer, from Refresh (which has already cleared the
    // flags, but not the probes) or from a node of ours going away.
    const bool heldDevice = m_cameraConnected || m_updConnected || m_cameraProbe || m_updProbe || m_cameraInUse;
    m_cameraConnected = false;
    m_updConnected = false;
    if (heldDevice)
        deviceNotFound();
}

void MainWindow::hidrawNodeChanged(bool added, const QByteArray &node)
{
    if (!added && m_interfaceNodes.contains(node))
        m_ownNodeRemoved = true;
    m_hotPlugTimer->start();
}

void MainWindow::hotPlugSettled()
{
    // A node of ours that went away always leads through the disconnected
    // path, so that a device back in the same identity before this check
    // is connected again rather than taken for the one that left.
    if (m_ownNodeRemoved) {
        m_ownNodeRemoved = false;
        forgetDevice();
    }
    checkDevicePresence();
}

void MainWindow::deviceNotFound()
{
    // Both probes are released, so that the camera no longer counts as
    // online and the upgrade device is not held after it has gone.
    hidio::closeHandle(m_cameraProbe);
    hidio::closeHandle(m_updProbe);
    m_cameraInUse = false;
    ui->deviceNameLabel->setText(tr("Device: Not Found"));
    ui->statusLabel->setText(tr("Status: Disconnected"));
    ui->deviceNameLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    ui->statusLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    // The interfaces of a device that has gone are dead; nothing may be
    // written to them any more, and a later connect opens new ones.
    closeInterfaces();
    if (stopUpgradeOnDeparture())
        warnUpgradeInterrupted();
}

void MainWindow::holdProbe(Identity identity, hid_device *probe)
{
    // The probe of the identity now attached is kept; the other identity's
    // is released: a camera back in normal mode means the upgrade device has
    // left, and a camera gone to upgrade mode is no longer online, so Apply
    // and the level requests do not write camera commands to the upgrade
    // device.
    hid_device *&kept = identity == Identity::Camera ? m_cameraProbe : m_updProbe;
    hid_device *&released = identity == Identity::Camera ? m_updProbe : m_cameraProbe;
    hidio::closeHandle(kept);
    kept = probe;
    hidio::closeHandle(released);
}

void MainWindow::showConnected(const QString &device, const char *sheet)
{
    m_cameraInUse = false;
    ui->deviceNameLabel->setText(device);
    ui->statusLabel->setText(tr("Status: Connected"));
    setStatusLabels(QString::fromUtf8(sheet));
}

void MainWindow::connectCamera(hid_device *probe)
{
    holdProbe(Identity::Camera, probe);
    m_cameraConnected = true;
    //: The first status line. %1 is the name the camera gives itself, or
    //: AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware
    //: upgrade mode) until it has said; those two stay as they are.
    showConnected(tr("Device: %1").arg(QStringLiteral("AI_CAMERA")), styles::kStatusCamera);

    closeInterfaces();
    // An upgrade still under way on the upgrade device cannot go on with
    // the camera's interfaces; it is stopped before they open, and the user
    // told once the camera's connect requests are out.
    const bool interrupted = stopUpgradeOnDeparture();
    // Back in normal mode, the camera is free for other programs again,
    // also when EnterUPD was never followed by an upload.
    releaseCameraLock();
    openInterfaces(Identity::Camera);
    requestCameraMode();
    requestUvcName();
    if (interrupted)
        warnUpgradeInterrupted();
}

void MainWindow::connectUpgradeDevice(hid_device *probe)
{
    holdProbe(Identity::Upgrade, probe);
    m_updConnected = true;
    showUpgradeModeLabel();
    showConnected(tr("Device: %1").arg(QStringLiteral("UPD_DEVICES")), styles::kStatusUpgrade);

    closeInterfaces();
    openInterfaces(Identity::Upgrade);
}

void MainWindow::setStatusLabels(const QString &sheet)
{
    ui->deviceNameLabel->setStyleSheet(sheet);
    ui->statusLabel->setStyleSheet(sheet);
    ui->Mode->setStyleSheet(sheet);
}

void MainWindow::closeInterfaces()
{
    m_interfaceNodes.clear();
    m_linkIncomplete = false;
    m_incompleteLinkNodes.clear();
    m_openedDevices.removeAll(m_dataDevice);
    hidio::closeHandle(m_dataDevice);
    m_openedDevices.removeAll(m_controlDevice);
    hidio::closeHandle(m_controlDevice);
}

void MainWindow::openInterfaces(Identity identity)
{
    hid_init();
    const QVector<discovery::Interface> interfaces = listInterfaces(identity);
    m_openedDevices.clear();

    // Every interface of the identity is opened, whatever its usage page;
    // the choice below keeps the two that matter.
    QVector<hid_device *> handles(interfaces.size(), nullptr);
    QVector<bool> opened(interfaces.size(), false);
    for (int i = 0; i < interfaces.size(); ++i) {
        const discovery::Interface &entry = interfaces.at(i);
        qDebug() << "Device Found" << "type:" << hex(entry.vendorId) << hex(entry.productId)
                 << "path:" << entry.path.constData() << "serial_number:" << entry.serialNumber;
        qDebug() << "Manufacturer:" << entry.manufacturer
                 << "vendor id:" << hex(entry.vendorId) << "product id:" << hex(entry.productId)
                 << "Product:" << entry.product
                 << "Release:" << hex(entry.releaseNumber)
                 << "Interface:" << entry.interfaceNumber << "serial number:" << entry.serialNumber
                 << "usage:" << hex(entry.usage) << "usage page:" << hex(entry.usagePage);

        handles[i] = hid_open_path(entry.path.constData());
        if (!handles[i])
            continue;
        opened[i] = true;
        m_openedDevices.append(handles[i]);
        qDebug() << "Opened interface with usage:" << hex(entry.usage)
                 << "usage_page:" << hex(entry.usagePage);
    }

    const discovery::InterfaceChoice choice = discovery::chooseInterfaces(interfaces, opened);
    if (choice.control >= 0) {
        m_controlDevice = handles.at(choice.control);
        m_interfaceNodes.append(interfaces.at(choice.control).path);
    }
    if (choice.data >= 0) {
        m_dataDevice = handles.at(choice.data);
        m_interfaceNodes.append(interfaces.at(choice.data).path);
    }
    // Handles the choice did not keep (other usage pages, or an interface
    // replaced by a later one with the same page) are never used again.
    for (const int unused : choice.unused) {
        m_openedDevices.removeAll(handles.at(unused));
        hidio::closeHandle(handles[unused]);
    }

    if (choice.complete()) {
        hideAccessNotice();
        restartPollTimer();
        on_GetVersion_clicked();
        requestCameraMode();
        return;
    }

    m_linkIncomplete = true;
    m_incompleteLinkNodes = vendorNodes(interfaces);
    noteInterfacesOutOfReach(interfaces, opened);
    m_linkBoxOpen = true;
    QMessageBox::critical(this, tr("HID Error"), tr("Unable to open HID device."));
    m_linkBoxOpen = false;
}

void MainWindow::restartPollTimer()
{
    // A connect can run inside a message box opened by the dispatcher from
    // this very timer's tick. The old timer is stopped and disconnected at
    // once; deleteLater may free it while that box is still open, before its
    // timeout signal has returned, which Qt allows: the emission notices the
    // deleted sender, and the poll touches nothing of its timer after
    // dispatching.
    if (m_pollTimer) {
        m_pollTimer->stop();
        m_pollTimer->disconnect(this);
        m_pollTimer->deleteLater();
    }
    m_pollTimer = new QTimer(this);
    m_pollTimer->setObjectName(QStringLiteral("pollTimer"));
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::pollControlInterface);
    m_pollTimer->start(kPollInterval);
}

void MainWindow::pollControlInterface()
{
    if (!m_controlDevice)
        return;
    frame::CommandBuffer buffer{};
    // While the image streams, the poll runs between two upload ticks: it
    // takes what has arrived without waiting, so that the link is not left
    // idle for the read's time-out after every tick.
    const int timeout = m_uploading ? 0 : kReadTimeoutMs;
    const int result = hid_read_timeout(m_controlDevice, buffer.data(), buffer.size(), timeout);
    if (result <= 0)
        return;
    const int size = qMin(result, frame::kCommandFrameSize);
    dispatchReply(QByteArray(reinterpret_cast<const char *>(buffer.data()), size));
}

int MainWindow::sendRequest(const frame::Command &command, const quint8 *payload, int length)
{
    return hidio::sendRequest(m_controlDevice, command, payload, length);
}
