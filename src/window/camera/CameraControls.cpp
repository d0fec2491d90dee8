// Framing modes, the camera's name and version, the LPF and upgrade-mode
// commands, and the live level meters.

#include "MainWindow.h"

#include "protocol/FramingModes.h"
#include "protocol/CommandFrame.h"
#include "protocol/Exchange.h"
#include "ui_MainWindow.h"

#include <QByteArray>
#include <QDebug>
#include <QMessageBox>

using modes::FramingMode;

// ---- Framing modes ------------------------------------------------------

void MainWindow::onModeSelectedFull() { selectMode(FramingMode::FullScreen); }
void MainWindow::onModeSelectedAuto() { selectMode(FramingMode::AutoFraming); }
void MainWindow::onModeSelectedVoice() { selectMode(FramingMode::VoiceTracking); }
void MainWindow::onModeSelectedSmart() { selectMode(FramingMode::SmartGallery); }

void MainWindow::selectMode(FramingMode mode)
{
    m_currentMode = int(mode);
    updateModeButtons(m_currentMode);
}

QPushButton *MainWindow::modeButton(const modes::ModeInfo &info) const
{
    return m_modeButtons.at(std::size_t(&info - modes::kFramingModes));
}

void MainWindow::updateModeButtons(int mode)
{
    // Each button set explicitly, in the table's order; a value that is not
    // a mode leaves all four unchecked.
    for (const modes::ModeInfo &info : modes::kFramingModes)
        modeButton(info)->setChecked(int(info.mode) == mode);
}

void MainWindow::updateModeLabel(int mode)
{
    const modes::ModeInfo *info = modes::modeInfo(mode);
    //: Shown after "Mode: " when the camera reports a mode this program does not know.
    const QString name = info ? tr(info->label) : tr("Unknown");
    //: The camera's framing mode, as it last confirmed it (Mode as in way of
    //: working, not a menu). %1 is the mode's name, the same as on its button.
    ui->Mode->setText(tr("Mode: %1").arg(name));
}

void MainWindow::showUpgradeModeLabel()
{
    //: The camera is in its firmware upgrade mode (UPD, the upgrade device).
    ui->Mode->setText(tr("Mode: UPD"));
}

int MainWindow::sendCameraMode(int mode)
{
    if (!m_controlDevice || !modes::isFramingMode(mode))
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
    static_assert(!modes::isFramingMode(kFailedApplyMode), "the failed-apply marker must be no framing mode");
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
    for (const frame::Command &request : exchange::kVersionQuery)
        sendRequest(request);
}

void MainWindow::on_lpfOn_clicked()
{
    sendRequest(frame::CAMERA_LPF_SWITCH);
}

void MainWindow::on_ufuMode_clicked()
{
    // From here to the end of the upgrade the camera is this window's.
    if (!takeCameraLock())
        return;
    sendRequest(frame::CAMERA_ENTER_UPD);
}

void MainWindow::handleUvcName(const frame::Payload &payload)
{
    const QString name = exchange::cameraName(payload);
    qDebug() << "UVC Name:" << name;
    if (!name.isEmpty())
        ui->deviceNameLabel->setText(tr("Device: %1").arg(name));
}

void MainWindow::handleVersion(const frame::Payload &payload)
{
    const QString version = exchange::versionText(payload);
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

void MainWindow::handleAudioLevels(const frame::Payload &payload)
{
    const auto level = [&payload](int index) { return static_cast<int>(payload.at(index)); };
    // Raw bytes; a bar refuses a value above its maximum and keeps its own.
    QProgressBar *const microphones[] = {ui->micRms1, ui->micRms2, ui->micRms3, ui->micRms4,
                                         ui->micRms5, ui->micRms6, ui->micRms7, ui->micRms8};
    for (int i = 0; i < 8; ++i)
        microphones[i]->setValue(level(i));
    ui->refRms1->setValue(level(8));
    ui->refRms2->setValue(level(8));
    ui->doa1->setValue(level(9));
}
