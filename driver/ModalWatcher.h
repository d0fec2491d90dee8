#pragma once

// Answers the modal boxes, the access-code dialog and the file dialog that
// the window opens in nested event loops, and records what each showed.
// Those loops hold up whatever code opened them, so the watcher keeps its
// own timer: it polls QApplication::activeModalWidget() and answers from
// inside the dialog's loop.

#include <QObject>
#include <QPair>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QFileDialog;
class QInputDialog;

namespace driver {

// Picks `path` in a file dialog and accepts it. An empty path, or one the
// dialog refuses (no such file), cancels the dialog instead. Returns
// whether the path was taken.
bool chooseFile(QFileDialog *dialog, const QString &path);

// Gives an input dialog this text, then confirms or cancels it.
void answerInput(QInputDialog *dialog, const QString &text, bool confirm);

struct ModalRecord
{
    QString kind;   // "QMessageBox", "QInputDialog", "QFileDialog", or another class name
    QString title;
    QString text;   // the box's text, the input dialog's label, the file dialog's filters
    int icon = 0;   // QMessageBox::Icon for boxes
    bool accepted = false;   // input and file dialogs: whether the answer confirmed it
};

class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(QObject *parent = nullptr);

    // The next file dialog selects this path; an empty path, or none queued,
    // cancels it.
    void queueFile(const QString &path);
    // The next input dialog gets this text and is confirmed or cancelled;
    // with none queued it is cancelled.
    void queueInput(const QString &text, bool confirm = true);
    // While held, message boxes are recorded but left open.
    void setHoldBoxes(bool hold);
    // Called once for each new message box, inside its nested event loop and
    // before it is answered, with the box's index among the records.
    void onEachBox(std::function<void(int)> handler) { m_onBox = std::move(handler); }
    // Called once for every other modal widget, after it has been answered
    // (input and file dialogs) or closed (anything else), with its index.
    void onEachDialog(std::function<void(int)> handler) { m_onDialog = std::move(handler); }

    QVector<ModalRecord> records() const { return m_records; }
    QStringList titles() const;
    QStringList texts() const;
    int count() const { return m_records.size(); }
    void clear() { m_records.clear(); }

private:
    void poll();
    int record(const ModalRecord &entry);

    QTimer m_timer;
    QVector<ModalRecord> m_records;
    QQueue<QString> m_files;
    QQueue<QPair<QString, bool>> m_inputs;
    bool m_hold = false;
    std::function<void(int)> m_onBox;
    std::function<void(int)> m_onDialog;
};

} // namespace driver
