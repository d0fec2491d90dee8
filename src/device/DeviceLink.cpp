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

    if (m_cameraConnected || m_updConnected) {
        if (m_cameraProbe) {
            hid_close(m_cameraProbe);
            m_cameraProbe = nullptr;
        }
        // The upgrade device's probe is closed too, so that it is not held
        // on to after the device has gone.
        if (m_updProbe) {
            hid_close(m_updProbe);
            m_updProbe = nullptr;
        }
        ui->deviceNameLabel->setText(QStringLiteral("Device: Not Found"));
        ui->statusLabel->setText(QStringLiteral("Status: Disconnected"));
        ui->deviceNameLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
        ui->statusLabel->setStyleSheet(QString::fromUtf8(styles::kStatusNotFound));
    }
    m_cameraConnected = false;
    m_updConnected = false;
}

void MainWindow::connectCamera(hid_device *probe)
{
    if (m_cameraProbe)
        hid_close(m_cameraProbe);
    m_cameraProbe = probe;
    // A camera back in normal mode means the upgrade device has left.
    if (m_updProbe) {
        hid_close(m_updProbe);
        m_updProbe = nullptr;
    }
    m_cameraConnected = true;

    const QString sheet = QString::fromUtf8(styles::kStatusCamera);
    ui->deviceNameLabel->setText(QStringLiteral("Device: AI_CAMERA"));
    ui->statusLabel->setText(QStringLiteral("Status: Connected"));
    setStatusLabels(sheet);

    closeInterfaces();
    openInterfaces(Personality::Camera);
    requestCameraMode();
    requestUvcName();
}

void MainWindow::connectUpgradeDevice(hid_device *probe)
{
    if (m_updProbe)
        hid_close(m_updProbe);
    m_updProbe = probe;
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

void MainWindow::closeInterfaces()
{
    if (m_dataDevice) {
        hid_close(m_dataDevice);
        m_openedDevices.removeAll(m_dataDevice);
        m_dataDevice = nullptr;
    }
    if (m_controlDevice) {
        hid_close(m_controlDevice);
        m_openedDevices.removeAll(m_controlDevice);
        m_controlDevice = nullptr;
    }
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
    // this very timer's tick, so the old timer is stopped now and freed only
    // once its signal has left the stack.
    if (m_pollTimer) {
        m_pollTimer->stop();
        m_pollTimer->disconnect(this);
        m_pollTimer->deleteLater();
    }
    m_pollTimer = new QTimer(this);
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
