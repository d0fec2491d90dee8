#pragma once

// The emulated bus's uevents, as a udev monitor in this process hears them:
// what came and went, and when this thread's event loop heard it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

class UeventLog
{
public:
    struct Event
    {
        QByteArray action;
        QByteArray syspath;
        qint64 atMs = 0;
    };

    UeventLog();
    ~UeventLog();
    UeventLog(const UeventLog &) = delete;
    UeventLog &operator=(const UeventLog &) = delete;

    // Milliseconds since the log started.
    qint64 now() const { return m_clock.elapsed(); }
    QVector<Event> withAction(const char *action) const;

private:
    void take();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QElapsedTimer m_clock;
    QVector<Event> m_events;
};
