#pragma once

// Captures debug lines while in scope, as the debug stream printed them
// (strings in double quotes, numbers plain), and passes them on to the
// handler that was installed before.

#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const { return lines().contains(line); }
    int count(const QString &line) const { return lines().count(line); }
    // Index of the first line equal to `line`, or -1.
    int indexOf(const QString &line) const { return lines().indexOf(line); }
    void clear();
    // Set to false to keep captured lines off the test's output.
    void setPassOn(bool passOn);

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler m_previous = nullptr;
};
