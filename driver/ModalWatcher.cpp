#include "ModalWatcher.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>

#include <chrono>

namespace driver {

namespace {
constexpr std::chrono::milliseconds kPollInterval(10);
// A mark on the box itself tells a new box from one still held open, also
// when boxes are stacked.
const char kSeenProperty[] = "modalWatcherSeen";
} // namespace

bool chooseFile(QFileDialog *dialog, const QString &path)
{
    if (path.isEmpty()) {
        dialog->reject();
        return false;
    }
    QPointer<QFileDialog> guard(dialog);
    dialog->selectFile(path);
    // selectFile leaves the name field alone while it has the focus, which
    // depends on timing; put the whole path there so accept() finds it.
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(path);
    // A file the dialog cannot find makes accept() say so in a box of the
    // dialog's own, with an event loop that would hold up this caller; it is
    // closed from inside that loop.
    QTimer::singleShot(0, dialog, [dialog] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != dialog && modal->parentWidget() == dialog)
            modal->close();
    });
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    // A dialog that refused the path is cancelled rather than left open.
    if (guard && guard->isVisible()) {
        guard->reject();
        return false;
    }
    return true;
}

void answerInput(QInputDialog *dialog, const QString &text, bool confirm)
{
    dialog->setTextValue(text);
    if (confirm)
        dialog->accept();
    else
        dialog->reject();
}

ModalWatcher::ModalWatcher(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kPollInterval);
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
    for (const ModalRecord &entry : m_records)
        list << entry.title;
    return list;
}

QStringList ModalWatcher::texts() const
{
    QStringList list;
    for (const ModalRecord &entry : m_records)
        list << entry.text;
    return list;
}

int ModalWatcher::record(const ModalRecord &entry)
{
    m_records.append(entry);
    return m_records.size() - 1;
}

void ModalWatcher::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;

    if (auto *found = qobject_cast<QMessageBox *>(modal)) {
        QPointer<QMessageBox> box(found);
        if (!box->property(kSeenProperty).toBool()) {
            box->setProperty(kSeenProperty, true);
            const int index = record({QStringLiteral("QMessageBox"), box->windowTitle(), box->text(),
                                      int(box->icon())});
            if (m_onBox)
                m_onBox(index);
        }
        if (!m_hold && box && box->isVisible())
            box->accept();
        return;
    }

    int index = -1;
    if (auto *input = qobject_cast<QInputDialog *>(modal)) {
        const auto answer = m_inputs.isEmpty() ? qMakePair(QString(), false) : m_inputs.dequeue();
        index = record({QStringLiteral("QInputDialog"), input->windowTitle(), input->labelText(), 0, answer.second});
        answerInput(input, answer.first, answer.second);
    } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        const QString path = m_files.isEmpty() ? QString() : m_files.dequeue();
        ModalRecord entry{QStringLiteral("QFileDialog"), dialog->windowTitle(),
                          dialog->nameFilters().join(QLatin1Char('|')), 0};
        entry.accepted = chooseFile(dialog, path);
        index = record(entry);
    } else {
        // Nothing the window opens; closed so that no caller waits on it.
        index = record({QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), QString(), 0});
        modal->close();
    }
    if (m_onDialog && index < m_records.size())
        m_onDialog(index);
}

} // namespace driver
