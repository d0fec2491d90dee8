// Finding the camera in either of its personalities, opening its two vendor
// interfaces, keeping the status labels in step, and polling the control
// interface for replies.

#include "MainWindow.h"

#include "device/CommandFrame.h"
#include "ui_MainWindow.h"
#include "ui/StyleSheets.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

namespace {

constexpr unsigned short kCameraVendorId = 0x2207;
constexpr unsigned short kCameraProductId = 0x2008;
constexpr unsigned short kUpgradeVendorId = 0x1D6B;
constexpr unsigned short kUpgradeProductId = 0x0102;
constexpr unsigned short kControlUsagePage = 0xFF00;
constexpr unsigned short kDataUsagePage = 0xFF01;

constexpr std::chrono::milliseconds kPollInterval(20);
constexpr int kReadTimeoutMs = 10;

QString hex(unsigned value)
{
    return QString::number(value, 16);
}

QString wide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

} // namespace

void MainWindow::on_Refresh_clicked()
{
    m_cameraConnected = false;
    m_updConnected = false;
    checkDevicePresence();
}

void MainWindow::checkDevicePresence()
{
    hid_device *camera = hid_open(kCameraVendorId, kCameraProductId, nullptr);
    hid_device *upgrade = hid_open(kUpgradeVendorId, kUpgradeProductId, nullptr);

    if (camera && upgrade) {
        hid_close(camera);
        hid_close(upgrade);
        return;
    }

    if (camera) {
        m_updConnected = false;
        if (m_cameraConnected) {
            hid_close(camera);
            return;
        }
        connectCamera(camera);
        return;
    }

    if (upgrade) {
        m_cameraConnected = false;
        if (m_updConnected) {
            hid_close(upgrade);
            return;
        }
        connectUpgradeDevice(upgrade);
        return;
    }

    // A look that finds nothing while the window still shows or holds a
    // device takes it down, whether the look came from the timer or from
    // Refresh (which has already cleared the flags, but not the probes).
    const bool heldDevice = m_cameraConnected || m_updConnected || m_cameraProbe || m_updProbe;
    m_cameraConnected = false;
    m_updConnected = false;
    if (heldDevice)
        deviceNotFound();
}

void MainWindow::deviceNotFound()
{
    // Both probes are released, so that the camera no longer counts as
    // online and the upgrade device is not held after it has gone.
    closeHandle(m_cameraProbe);
    closeHandle(m_updProbe);
    ui->deviceNameLabel->setText(QStringLiteral("Device: Not Found"));
    ui->statusLabel->setText(QStringLiteral("Status: Disconnected"));
    ui->deviceNameLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    ui->statusLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    // The interfaces of a device that has gone are dead; nothing may be
    // written to them any more, and a later connect opens new ones.
    closeInterfaces();
    if (stopUpgradeOnDeparture())
        warnUpgradeInterrupted();
}

void MainWindow::connectCamera(hid_device *probe)
{
    closeHandle(m_cameraProbe);
    m_cameraProbe = probe;
    // A camera back in normal mode means the upgrade device has left.
    closeHandle(m_updProbe);
    m_cameraConnected = true;

    const QString sheet = QString::fromUtf8(styles::kStatusCamera);
    ui->deviceNameLabel->setText(QStringLiteral("Device: AI_CAMERA"));
    ui->statusLabel->setText(QStringLiteral("Status: Connected"));
    setStatusLabels(sheet);

    closeInterfaces();
    // An upgrade still under way on the upgrade device cannot go on with
    // the camera's interfaces; it is stopped before they open, and the user
    // told once the camera's connect requests are out.
    const bool interrupted = stopUpgradeOnDeparture();
    openInterfaces(Personality::Camera);
    requestCameraMode();
    requestUvcName();
    if (interrupted)
        warnUpgradeInterrupted();
}

void MainWindow::connectUpgradeDevice(hid_device *probe)
{
    closeHandle(m_updProbe);
    m_updProbe = probe;
    // The camera has left for upgrade mode: it is no longer online, so
    // Apply and the level requests do not write camera commands to the
    // upgrade device.
    closeHandle(m_cameraProbe);
    m_updConnected = true;

    ui->deviceNameLabel->setText(QStringLiteral("Device: UPD_DEVICES"));
    ui->statusLabel->setText(QStringLiteral("Status: Connected"));
    ui->Mode->setText(QStringLiteral("Mode: UPD"));
    setStatusLabels(QString::fromUtf8(styles::kStatusUpgrade));

    closeInterfaces();
    openInterfaces(Personality::Upgrade);
}

void MainWindow::setStatusLabels(const QString &sheet)
{
    ui->deviceNameLabel->setStyleSheet(sheet);
    ui->statusLabel->setStyleSheet(sheet);
    ui->Mode->setStyleSheet(sheet);
}

void MainWindow::closeHandle(hid_device *&handle)
{
    if (!handle)
        return;
    hid_close(handle);
    handle = nullptr;
}

void MainWindow::closeInterfaces()
{
    m_openedDevices.removeAll(m_dataDevice);
    closeHandle(m_dataDevice);
    m_openedDevices.removeAll(m_controlDevice);
    closeHandle(m_controlDevice);
}

void MainWindow::openInterfaces(Personality personality)
{
    hid_init();
    const bool camera = personality == Personality::Camera;
    hid_device_info *devices = hid_enumerate(camera ? kCameraVendorId : kUpgradeVendorId,
                                             camera ? kCameraProductId : kUpgradeProductId);
    m_openedDevices.clear();

    for (hid_device_info *info = devices; info; info = info->next) {
        const QString serial = wide(info->serial_number);
        qDebug() << "Device Found" << "type:" << hex(info->vendor_id) << hex(info->product_id)
                 << "path:" << info->path << "serial_number:" << serial;
        qDebug() << "Manufacturer:" << wide(info->manufacturer_string)
                 << "vendor id:" << hex(info->vendor_id) << "product id:" << hex(info->product_id)
                 << "Product:" << wide(info->product_string)
                 << "Release:" << hex(info->release_number)
                 << "Interface:" << info->interface_number << "serial number:" << serial
                 << "usage:" << hex(info->usage) << "usage page:" << hex(info->usage_page);

        hid_device *handle = hid_open_path(info->path);
        if (!handle)
            continue;
        m_openedDevices.append(handle);
        qDebug() << "Opened interface with usage:" << hex(info->usage)
                 << "usage_page:" << hex(info->usage_page);
        if (info->usage_page == kControlUsagePage)
            m_controlDevice = handle;
        else if (info->usage_page == kDataUsagePage)
            m_dataDevice = handle;
    }
    hid_free_enumeration(devices);

    // Handles this pass did not keep (other usage pages, or an interface
    // replaced by a later one with the same page) are never used again.
    for (int i = m_openedDevices.size() - 1; i >= 0; --i) {
        hid_device *handle = m_openedDevices.at(i);
        if (handle != m_controlDevice && handle != m_dataDevice) {
            hid_close(handle);
            m_openedDevices.removeAt(i);
        }
    }

    if (m_controlDevice && m_dataDevice) {
        restartPollTimer();
        on_GetVersion_clicked();
        requestCameraMode();
        return;
    }

    QMessageBox::critical(this, tr("HID Error"), tr("Unable to open HID device."));
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
    const int result = hid_read_timeout(m_controlDevice, buffer.data(), buffer.size(), kReadTimeoutMs);
    if (result <= 0)
        return;
    const int size = qMin(result, frame::kCommandFrameSize);
    dispatchReply(QByteArray(reinterpret_cast<const char *>(buffer.data()), size));
}

int MainWindow::sendRequest(const frame::Command &command, const quint8 *payload, int length)
{
    if (!m_controlDevice)
        return -1;
    const frame::CommandBuffer request = frame::buildRequest(command, payload, length);
    return hid_write(m_controlDevice, request.data(), request.size());
}
