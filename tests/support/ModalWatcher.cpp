#include "ModalWatcher.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>

namespace {
constexpr int kPollIntervalMs = 10;
}

ModalWatcher::ModalWatcher(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start();
}

void ModalWatcher::queueFile(const QString &path)
{
    m_files.enqueue(path);
}

void ModalWatcher::queueInput(const QString &text, bool confirm)
{
    m_inputs.enqueue(qMakePair(text, confirm));
}

void ModalWatcher::setHoldBoxes(bool hold)
{
    m_hold = hold;
}

QStringList ModalWatcher::titles() const
{
    QStringList list;
    for (const ModalRecord &record : m_records)
        list << record.title;
    return list;
}

QStringList ModalWatcher::texts() const
{
    QStringList list;
    for (const ModalRecord &record : m_records)
        list << record.text;
    return list;
}

bool ModalWatcher::answerOpenBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return false;
    box->accept();
    return true;
}

void ModalWatcher::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;

    if (auto *found = qobject_cast<QMessageBox *>(modal)) {
        QPointer<QMessageBox> box(found);
        // A mark on the box itself tells a new box from one still held open,
        // also when boxes are stacked.
        if (!box->property("modalWatcherSeen").toBool()) {
            box->setProperty("modalWatcherSeen", true);
            m_records.append({QStringLiteral("QMessageBox"), box->windowTitle(), box->text(),
                              int(box->icon())});
            if (m_onBox)
                m_onBox(m_records.size() - 1);
        }
        if (!m_hold && box && box->isVisible()) {
            box->accept();
        }
        return;
    }
    if (auto *input = qobject_cast<QInputDialog *>(modal)) {
        m_records.append({QStringLiteral("QInputDialog"), input->windowTitle(), input->labelText(), 0});
        const auto answer = m_inputs.isEmpty() ? qMakePair(QString(), false) : m_inputs.dequeue();
        input->setTextValue(answer.first);
        if (answer.second)
            input->accept();
        else
            input->reject();
        return;
    }
    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        m_records.append({QStringLiteral("QFileDialog"), dialog->windowTitle(), dialog->nameFilters().join(QLatin1Char('|')), 0});
        const QString path = m_files.isEmpty() ? QString() : m_files.dequeue();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        // selectFile leaves the name field alone while it has the focus, which
        // depends on timing; put the whole path there so accept() finds it.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        // A dialog that refused the path (it does not exist) is cancelled
        // rather than left open.
        if (dialog->isVisible())
            dialog->reject();
    }
}
