// The upgrade exchange: announce the image, wait for the device to accept
// it, stream it as data reports with retries and a byte sum, close with the
// completion frame, then follow the device's own progress to the reboot.

#include "MainWindow.h"

#include "protocol/CommandFrame.h"
#include "protocol/Exchange.h"
#include "ui_MainWindow.h"
#include "ui/StyleSheets.h"
#include "protocol/ImageChecks.h"
#include "upgrade/SleepInhibitor.h"
#include "upgrade/UploadPacing.h"
#include "protocol/UploadPipeline.h"
#include "protocol/UploadStream.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

namespace {
// The device writes its firmware in well under a minute and reports as it
// goes; this long without a report, it has stopped.
constexpr std::chrono::milliseconds kDevicePhaseSilence(120000);
} // namespace

void MainWindow::on_StartUpd_clicked()
{
    if (!validateUpgradeStart() || !takeCameraLock())
        return;
    startUpgrade();
    // An image refused before anything was announced ends the upgrade.
    if (!m_uploadFile)
        releaseCameraLock();
}

void MainWindow::startUpgrade()
{
    // Whatever an earlier upload left behind is stopped and cleared first,
    // so that nothing of it can run on with the new image.
    m_uploadTimer->stop();
    m_uploading = false;
    endDevicePhase();
    m_imageReadFailures = 0;
    releaseUploadFile();
    // The image is opened before anything is announced, so that a file that
    // cannot be read never leads to an upload of nothing.
    m_uploadFile = new QFile(m_upgradeFilePath, this);
    if (!m_uploadFile->open(QIODevice::ReadOnly)) {
        releaseUploadFile();
        showRefusal(imagecheck::Refusal::CannotOpenForUpload);
        return;
    }
    // The size is taken from the file as it is now, not as it was when it
    // was chosen: it is what gets announced and what the percentage uses.
    // A refused size lets go of the image before its box opens, so that an
    // acknowledgement read while the box is up finds nothing to upload.
    const qint64 size = m_uploadFile->size();
    if (const imagecheck::Refusal refusal = imagecheck::checkSize(size); refusal != imagecheck::Refusal::None) {
        releaseUploadFile();
        showRefusal(refusal);
        return;
    }
    m_upgradeFileSize = size;
    m_uploadedBytes = 0;
    m_uploadChecksum = 0;
    m_lastUploadPercent = -1;

    const auto sizeBytes = frame::bigEndianSize(static_cast<quint32>(size));
    const int result = sendRequest(frame::UPGRADE_START, sizeBytes.data(), int(sizeBytes.size()));
    qDebug() << "UPGRADE_START sent:" << m_upgradeFileSize << "bytes, writeRes:" << result;
    setUpgradeBusy(true);
    m_startAckTimer->start(exchange::kStartAcceptance);
}

void MainWindow::handleUpgradeStartAck(quint8 status)
{
    if (!exchange::statusAccepted(status)) {
        qDebug() << "Upgrade start failed with error code:" << int(status);
        QMessageBox::warning(this, tr("Upd info"), tr("Upgrade start failed."));
        // The command-line tool stops at a refusal; the window lets its acceptance timer end the upgrade.
        return;
    }
    qDebug() << "Upgrade started successfully.";
    m_startAckTimer->stop();
    if (!m_uploadFile || m_uploading)
        return;
    m_uploading = true;
    m_uploadedBytes = 0;
    m_uploadChecksum = 0;
    setProgressChunkColor(QString::fromLatin1(styles::kUploadChunkColor));
    ui->DOWNLOAD->setText(tr("DOWNLOAD:"));
    m_uploadTimer->start();
    qDebug() << "Upload initiated.";
}

void MainWindow::onStartAckTimeout()
{
    qDebug() << "UPGRADE_START_ACK timeout - device did not respond.";
    abortUpload();
    QMessageBox::warning(this, tr("Upd info"), tr("Upgrade start timeout. Abort."));
}

void MainWindow::releaseUploadFile()
{
    if (!m_uploadFile)
        return;
    m_uploadFile->close();
    delete m_uploadFile;
    m_uploadFile = nullptr;
}

void MainWindow::abortUpload()
{
    releaseUploadFile();
    m_uploading = false;
    m_uploadTimer->stop();
    setUpgradeBusy(false);
}

void MainWindow::uploadTick()
{
    if (!m_uploading || !m_uploadFile || !m_dataDevice)
        return;

    // A tick also ends once it has been writing for kTickBudget, so that on
    // a slow link the window still repaints and answers between ticks.
    const auto tickStarted = std::chrono::steady_clock::now();
    // One report's worth per read, all of it sent in the same step: nothing
    // is left in the reader when the tick ends.
    upload::ImageReader image(*m_uploadFile);
    for (int pass = 0; pass < pacing::kReportsPerTick; ++pass) {
        const upload::Step step = upload::streamStep(image, m_dataDevice, m_upgradeFileSize, m_uploadedBytes,
                                                     m_uploadChecksum, m_imageReadFailures);
        if (step == upload::Step::Complete) {
            finishUpload();
            return;
        }
        if (step == upload::Step::ReadFailed || step == upload::Step::Unreadable) {
            // A read error, or a file that ended before the announced size:
            // tried again on the next ticks, a few times only, because an
            // image on a removed disk never comes back.
            qDebug() << "Image read failed at byte" << m_uploadedBytes << "of" << m_upgradeFileSize;
            if (step == upload::Step::Unreadable)
                abortUnreadableImage();
            return;
        }
        if (step == upload::Step::WriteFailed) {
            abortUpload();
            QMessageBox::warning(this, tr("Upd info"), tr("Write error during upload. Abort."));
            return;
        }

        const int percent = upload::uploadPercent(m_uploadedBytes, m_upgradeFileSize);
        if (percent != m_lastUploadPercent) {
            ui->DownloadProgress->setValue(percent);
            m_lastUploadPercent = percent;
        }
        if (std::chrono::steady_clock::now() - tickStarted >= pacing::kTickBudget)
            return;
    }
}

void MainWindow::abortUnreadableImage()
{
    qDebug() << "Upload stopped: the image could not be read.";
    abortUpload();
    QMessageBox::warning(this, tr("Read Error"),
                         tr("The firmware image could not be read, so the upload was stopped and the "
                            "device has only part of it. Check the file and start the upgrade again."));
}

void MainWindow::finishUpload()
{
    m_uploadTimer->stop();
    m_uploading = false;
    const quint8 sum = m_uploadChecksum;
    const int result = sendRequest(frame::UPGRADE_UPLOAD_COMPLETE, &sum, 1);
    qDebug() << "Sent upload complete packet, writeRes:" << result << "checksum:"
             << QString::number(sum, 16);
    releaseUploadFile();
    // Without the byte sum the device never starts writing, so no progress
    // would ever come: the upgrade ends here as a failed data write ends it.
    if (result < 0) {
        abortUpload();
        QMessageBox::warning(this, tr("Upd info"), tr("Write error during upload. Abort."));
        return;
    }
    m_devicePhase = true;
    m_devicePhaseTimer->start(kDevicePhaseSilence);
}

void MainWindow::endDevicePhase()
{
    m_devicePhase = false;
    m_devicePhaseTimer->stop();
}

void MainWindow::onDevicePhaseSilent()
{
    qDebug() << "The device reported no progress for" << int(kDevicePhaseSilence.count() / 1000) << "s.";
    endDevicePhase();
    setUpgradeBusy(false);
    QMessageBox::warning(this, tr("Upd info"),
                         tr("The device has stopped reporting its progress. Wait for it to restart; if it "
                            "comes back in upgrade mode, start the upgrade again."));
}

void MainWindow::handleUploadCompleteAck(quint8 status)
{
    if (exchange::statusAccepted(status)) {
        qDebug() << "Upgrade file upload completed successfully.";
        return;
    }
    qDebug() << "Upgrade file upload failed with error code:" << int(status);
    // The device refused the image it was just sent: it will not write it,
    // so nothing more comes and the user may start again.
    if (!m_devicePhase)
        return;
    endDevicePhase();
    setUpgradeBusy(false);
    QMessageBox::warning(this, tr("Upd info"),
                         tr("The device did not accept the uploaded image (error code %1). "
                            "Start the upgrade again.").arg(int(status)));
}

void MainWindow::handleUpgradeProgress(quint8 percent)
{
    const int shown = exchange::progressShown(percent);
    setProgressChunkColor(QString::fromLatin1(styles::kDeviceChunkColor));
    //: Names the progress bar while the device installs the new firmware.
    ui->DOWNLOAD->setText(tr("UPGRADE:"));
    ui->DownloadProgress->setValue(shown);
    qDebug() << "Upgrade progress:" << shown << "%";
    if (m_devicePhase)
        m_devicePhaseTimer->start(kDevicePhaseSilence);
    // While an image is being announced or streamed, a report of the end
    // cannot be true: the controls stay locked until the stream's own end.
    if (exchange::progressEnded(percent) && !m_uploadFile) {
        endDevicePhase();
        // The device has written its firmware and reboots: sleep is safe again.
        m_sleepInhibitor->release();
        QMessageBox::information(this, tr("Upd info"), tr("Upgrade completed ,Device will reboot now!"));
        setUpgradeBusy(false);
    }
}

bool MainWindow::stopUpgradeOnDeparture()
{
    // An image still being announced is left to the start time-out, which
    // ends it with its own box; a stream or a device phase has no other end.
    if (m_uploading) {
        abortUpload();
    } else if (m_devicePhase) {
        endDevicePhase();
        setUpgradeBusy(false);
    } else {
        return false;
    }
    qDebug() << "The upgrade device left before the upgrade finished.";
    return true;
}

void MainWindow::warnUpgradeInterrupted()
{
    QMessageBox::warning(this, tr("Upd info"),
                         tr("The device left before the upgrade finished. If it comes back in "
                            "upgrade mode, start the upgrade again."));
}
