#pragma once

// Answers the modal boxes, the access-code dialog and the file dialog that
// the window opens in nested event loops, and records what each showed.

#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

struct ModalRecord
{
    QString kind;   // "QMessageBox", "QInputDialog", "QFileDialog"
    QString title;
    QString text;   // the box's text or the input dialog's label
    int icon = 0;   // QMessageBox::Icon for boxes
};

class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(QObject *parent = nullptr);

    // The next file dialog selects this path; an empty path cancels it.
    void queueFile(const QString &path);
    // The next input dialog gets this text and is confirmed or cancelled.
    void queueInput(const QString &text, bool confirm = true);
    // While held, message boxes are recorded but left open.
    void setHoldBoxes(bool hold);
    // Closes the message box that is open now, if any.
    bool answerOpenBox();
    // Called once for each new message box, inside its nested event loop and
    // before it is answered, with the box's index among the records.
    void onEachBox(std::function<void(int)> handler) { m_onBox = std::move(handler); }

    QVector<ModalRecord> records() const { return m_records; }
    QStringList titles() const;
    QStringList texts() const;
    int count() const { return m_records.size(); }
    void clear() { m_records.clear(); }

private:
    void poll();

    QTimer m_timer;
    QVector<ModalRecord> m_records;
    QQueue<QString> m_files;
    QQueue<QPair<QString, bool>> m_inputs;
    bool m_hold = false;
    std::function<void(int)> m_onBox;
};
