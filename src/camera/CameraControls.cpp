// Framing modes, the camera's name and version, the LPF and upgrade-mode
// commands, and the live level meters.

#include "MainWindow.h"

#include "device/CommandFrame.h"
#include "ui_MainWindow.h"

#include <QByteArray>
#include <QDebug>
#include <QMessageBox>

namespace {

// Mode value 100 marks, inside the window only, that the last apply failed.
constexpr int kFailedApplyMode = 100;

// The text a name or version reply carries: its payload, cut at the first
// zero byte.
QByteArray payloadText(const QByteArray &report)
{
    const int length = static_cast<quint8>(report.at(frame::kLengthOffset));
    QByteArray text = report.mid(frame::kPayloadOffset, length);
    const int zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

} // namespace

// ---- Framing modes ------------------------------------------------------

void MainWindow::onModeSelectedFull() { selectMode(0); }
void MainWindow::onModeSelectedAuto() { selectMode(1); }
void MainWindow::onModeSelectedVoice() { selectMode(2); }
void MainWindow::onModeSelectedSmart() { selectMode(8); }

void MainWindow::selectMode(int mode)
{
    m_currentMode = mode;
    updateModeButtons(mode);
}

void MainWindow::updateModeButtons(int mode)
{
    ui->btnFullScreen->setChecked(mode == 0);
    ui->btnAutoFraming->setChecked(mode == 1);
    ui->btnVoiceTracking->setChecked(mode == 2);
    ui->btnSmartGallery->setChecked(mode == 8);
}

void MainWindow::updateModeLabel(int mode)
{
    ui->Mode->setText(QStringLiteral("Mode: ") + m_modeNames.value(mode, QStringLiteral("Unknown")));
}

int MainWindow::sendCameraMode(int mode)
{
    if (!m_controlDevice || !frame::isFramingMode(mode))
        return -1;
    const quint8 value = static_cast<quint8>(mode);
    return sendRequest(frame::CAMERA_SET_MODE, &value, 1);
}

void MainWindow::requestCameraMode()
{
    sendRequest(frame::CAMERA_GET_MODE);
}

void MainWindow::onApplyClicked()
{
    if (!m_cameraProbe) {
        QMessageBox::warning(this, tr("Configuration Failed"), tr("Device offline"));
        return;
    }
    if (sendCameraMode(m_currentMode) < 0) {
        m_currentMode = kFailedApplyMode;
        updateModeButtons(m_currentMode);
    }
}

void MainWindow::handleSetModeAck()
{
    QMessageBox::information(this, tr("Configuration Applied"),
                             tr("The new settings have been set successfully."));
    updateModeLabel(m_currentMode);
    updateModeButtons(m_currentMode);
}

void MainWindow::handleGetModeAck(quint8 mode)
{
    m_currentMode = mode;
    updateModeLabel(m_currentMode);
    updateModeButtons(m_currentMode);
}

// ---- Identity, version and commands ------------------------------------

void MainWindow::requestUvcName()
{
    if (!m_controlDevice)
        return;
    sendRequest(frame::CAMERA_GET_UVC_NAME_STRING);
    qDebug() << "主动请求UVC名称 CAMERA_GET_UVC_NAME_STRING 已发送";
}

void MainWindow::on_GetVersion_clicked()
{
    if (!m_controlDevice)
        return;
    sendRequest(frame::VERSION_PREAMBLE);
    sendRequest(frame::CAMERA_GET_VERSION);
}

void MainWindow::on_lpfOn_clicked()
{
    sendRequest(frame::CAMERA_LPF_SWITCH);
}

void MainWindow::on_ufuMode_clicked()
{
    sendRequest(frame::CAMERA_ENTER_UPD);
}

void MainWindow::handleUvcName(const QByteArray &report)
{
    const QString name = QString::fromLocal8Bit(payloadText(report));
    qDebug() << "UVC Name:" << name;
    if (!name.isEmpty())
        ui->deviceNameLabel->setText(QStringLiteral("Device: ") + name);
}

void MainWindow::handleVersion(const QByteArray &report)
{
    const QString version = QString::fromLatin1(payloadText(report));
    qDebug() << "Device version:" << version;
    ui->Version->setText(version);
}

// ---- Level meters -------------------------------------------------------

void MainWindow::pollAudioLevels()
{
    if (m_cameraProbe && m_extraSettingsVisible)
        requestAudioLevels();
}

void MainWindow::requestAudioLevels()
{
    sendRequest(frame::CAMERA_GET_AUDIO_LEVELS);
}

void MainWindow::handleAudioLevels(const QByteArray &report)
{
    const auto level = [&report](int index) {
        return static_cast<int>(static_cast<quint8>(report.at(frame::kPayloadOffset + index)));
    };
    // Raw bytes; a bar refuses a value above its maximum and keeps its own.
    QProgressBar *const microphones[] = {ui->micRms1, ui->micRms2, ui->micRms3, ui->micRms4,
                                         ui->micRms5, ui->micRms6, ui->micRms7, ui->micRms8};
    for (int i = 0; i < 8; ++i)
        microphones[i]->setValue(level(i));
    ui->refRms1->setValue(level(8));
    ui->refRms2->setValue(level(8));
    ui->doa1->setValue(level(9));
}
