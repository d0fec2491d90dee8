// Choosing the firmware image, and the refusals of the checks it must pass
// before an upload.

#include "MainWindow.h"

#include "ui_MainWindow.h"
#include "protocol/ImageChecks.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

void MainWindow::on_SelectFile_clicked()
{
    //: Title of the file dialog for choosing the firmware image ("Choose a file").
    const QString caption = tr("选择文件");
    //: The file dialog's filter. Keep "(*.bin)" and the closing semicolon as they are.
    const QString filter = tr("Binary Files (*.bin);");
    const QString path = QFileDialog::getOpenFileName(this, caption, QDir::currentPath(), filter);
    if (path.isEmpty())
        return;
    if (showRefusal(imagecheck::checkChoice(path)))
        return;
    ui->SelectFilePath->setText(path);
    const qint64 size = QFileInfo(path).size();
    qDebug() << "已选择文件:" << path;
    qDebug() << "文件大小:" << size << "字节";
    m_upgradeFilePath = path;
    m_upgradeFileSize = size;
}

bool MainWindow::showRefusal(imagecheck::Refusal refusal)
{
    if (refusal == imagecheck::Refusal::None)
        return false;
    const imagecheck::RefusalText &box = imagecheck::refusalText(refusal);
    QMessageBox::warning(this, tr(box.title), tr(box.text));
    return true;
}

bool MainWindow::validateUpgradeStart()
{
    const imagecheck::DeviceState device{m_updConnected, m_controlDevice && m_dataDevice};
    return !showRefusal(imagecheck::checkUpgradeStart(device, m_upgradeFilePath));
}
