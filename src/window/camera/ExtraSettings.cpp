// The extra-settings panel behind the access code: the meters, LPF, REF
// and the manual version query.

#include "MainWindow.h"

#include "ui_MainWindow.h"

#include <QInputDialog>
#include <QLineEdit>

namespace {
const char kAccessCode[] = "5291";
}

bool MainWindow::checkAccessCode()
{
    bool confirmed = false;
    //: Title of the box that asks for the access code to the extra settings.
    const QString title = tr("Password");
    //: The prompt of that box; the code is four digits.
    const QString prompt = tr("Input passwords:");
    const QString code = QInputDialog::getText(this, title, prompt,
                                               QLineEdit::Password, QString(), &confirmed);
    return confirmed && code == QLatin1String(kAccessCode);
}

void MainWindow::on_exitButton_2_clicked()
{
    if (!checkAccessCode())
        return;
    m_extraSettingsVisible = !m_extraSettingsVisible;
    setExtraSettingsVisible(m_extraSettingsVisible);
}

void MainWindow::setExtraSettingsVisible(bool show)
{
    QWidget *const widgets[] = {
        ui->micRms1, ui->micRms2, ui->micRms3, ui->micRms4, ui->micRms5, ui->micRms6,
        ui->micRms7, ui->micRms8, ui->refRms1, ui->refRms2, ui->doa1,    ui->doa2,
        ui->lpfOn,   ui->refOn,   ui->GetVersion,
    };
    for (QWidget *widget : widgets)
        widget->setVisible(show);
    scheduleHeightFit();
}
