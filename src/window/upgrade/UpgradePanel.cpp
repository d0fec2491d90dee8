// The upgrade panel: showing and hiding it, colouring the progress bar and
// locking the controls while an upgrade runs.

#include "MainWindow.h"

#include "ui_MainWindow.h"
#include "ui/StyleSheets.h"
#include "upgrade/SleepInhibitor.h"

void MainWindow::on_upgradeMode_clicked()
{
    if (m_upgradePanelVisible) {
        m_upgradePanelVisible = false;
        setUpgradePanelVisible(false);
        return;
    }
    m_upgradePanelVisible = true;
    setProgressChunkColor(QString::fromLatin1(styles::kDeviceChunkColor));
    //: Names the progress bar while the firmware image is sent to the device.
    ui->DOWNLOAD->setText(tr("DOWNLOAD:"));
    ui->DownloadProgress->setValue(0);
    setUpgradePanelVisible(true);
}

void MainWindow::setUpgradePanelVisible(bool visible)
{
    QWidget *const widgets[] = {
        ui->label_2, ui->SelectFilePath, ui->SelectFile, ui->label,           ui->Version,
        ui->ufuMode, ui->DOWNLOAD,       ui->DownloadProgress, ui->StartUpd,
    };
    for (QWidget *widget : widgets)
        widget->setVisible(visible);
    scheduleHeightFit();
}

void MainWindow::setProgressChunkColor(const QString &color)
{
    ui->DownloadProgress->setStyleSheet(QString::fromUtf8(styles::kProgressBarRule)
                                        + QString::fromUtf8(styles::kProgressChunkTemplate).arg(color));
}

void MainWindow::setUpgradeBusy(bool busy)
{
    QWidget *const widgets[] = {ui->SelectFile, ui->ufuMode,     ui->StartUpd,
                                ui->Refresh,    ui->applyButton, ui->exitButton};
    for (QWidget *widget : widgets)
        widget->setEnabled(!busy);
    // The computer must not sleep while the camera takes its firmware: the
    // lock lasts exactly as long as the upgrade holds the controls. The end
    // of an upgrade also frees the camera for other programs.
    if (busy) {
        m_sleepInhibitor->take();
    } else {
        m_sleepInhibitor->release();
        releaseCameraLock();
    }
}
