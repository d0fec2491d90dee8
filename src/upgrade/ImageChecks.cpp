// Choosing the firmware image and the checks it must pass before an upload.

#include "MainWindow.h"

#include "ui_MainWindow.h"
#include "upgrade/UploadPipeline.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

bool hasBinSuffix(const QFileInfo &info)
{
    return info.suffix().toLower() == QLatin1String("bin");
}

} // namespace

void MainWindow::on_SelectFile_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("选择文件"), QDir::currentPath(),
                                                      tr("Binary Files (*.bin);"));
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (!hasBinSuffix(info)) {
        QMessageBox::warning(this, tr("Invalid File"), tr("Please select a .bin file."));
        return;
    }
    ui->SelectFilePath->setText(path);
    const qint64 size = info.size();
    qDebug() << "已选择文件:" << path;
    qDebug() << "文件大小:" << size << "字节";
    m_upgradeFilePath = path;
    m_upgradeFileSize = size;
}

bool MainWindow::refuseImageSize(qint64 size)
{
    if (upload::imageSizeAcceptable(size))
        return false;
    if (size <= 0) {
        QMessageBox::warning(this, tr("Invalid File"), tr("Selected file is empty."));
        return true;
    }
    // The size travels in a 32-bit field; a larger image would be announced
    // by its low bits only.
    QMessageBox::warning(this, tr("Invalid File"), tr("Selected file is too large."));
    return true;
}

bool MainWindow::validateUpgradeStart()
{
    if (!m_updConnected) {
        QMessageBox::warning(this, tr("upd info"), tr("UPD Not Connect, Pls Enter UPD First!"));
        return false;
    }
    if (m_upgradeFilePath.isEmpty()) {
        QMessageBox::warning(this, tr("No File"), tr("No update file selected."));
        return false;
    }
    const QFileInfo info(m_upgradeFilePath);
    if (!info.exists() || !info.isFile()) {
        QMessageBox::warning(this, tr("File Not Found"), tr("Selected file does not exist."));
        return false;
    }
    if (!hasBinSuffix(info)) {
        QMessageBox::warning(this, tr("Invalid File"), tr("Selected file is not a .bin file."));
        return false;
    }
    if (refuseImageSize(info.size()))
        return false;

    QByteArray head;
    {
        QFile file(m_upgradeFilePath);
        if (!file.open(QIODevice::ReadOnly)) {
            QMessageBox::warning(this, tr("Read Error"), tr("Cannot open selected file."));
            return false;
        }
        head = file.read(upload::kHeaderTestBytes);
    }
    if (!upload::hasNonZeroHeader(head)) {
        QMessageBox::warning(this, tr("Invalid File"),
                             tr("Selected file appears invalid (all-zero header)."));
        return false;
    }

    // Both interfaces must be open: without the data interface the image
    // could be announced but never sent.
    if (!m_controlDevice || !m_dataDevice) {
        QMessageBox::warning(this, tr("upd info"), tr("UPD device not connect"));
        return false;
    }
    return true;
}
