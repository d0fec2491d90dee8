#pragma once

// The notice the window shows when the camera is on the bus but this user
// may not open its nodes: what is wrong in plain words, the fix, and the
// commands to copy, in a frame under the status lines. It never blocks the
// window, and it is read by a screen reader as a notification.

#include <QFrame>

class QLabel;
class QPushButton;
class QTextEdit;

class AccessNotice : public QFrame
{
    Q_OBJECT

public:
    explicit AccessNotice(QWidget *parent = nullptr);

    // The commands shown, one per line, as Copy puts them on the clipboard.
    QString commands() const;
    // The notice's controls, in the order Tab reaches them.
    QList<QWidget *> controls() const;

signals:
    // The user closed the notice.
    void dismissed();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void copyCommands();
    void fitCommandsHeight();
    void fitTextHeight();

    QLabel *m_title = nullptr;
    QLabel *m_text = nullptr;
    QTextEdit *m_commands = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_hide = nullptr;
};
