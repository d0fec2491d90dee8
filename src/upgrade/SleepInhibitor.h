#pragma once

// Keeps the computer from suspending or shutting down while the camera
// takes new firmware, through logind's inhibitor locks on the system bus.
// The lock is asked for without blocking the window; where there is no
// system bus or no logind, the upgrade goes on without it and one debug line
// says so.

#include <QObject>

class QDBusPendingCallWatcher;

class SleepInhibitor : public QObject
{
public:
    explicit SleepInhibitor(QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // Asks for the lock, unless it is held or already asked for.
    void take();
    // Lets go of the lock, or of the answer still on its way.
    void release();
    bool held() const { return m_fd >= 0; }

private:
    void answered(QDBusPendingCallWatcher *call);

    int m_fd = -1;                            // the lock: closing it releases it
    QDBusPendingCallWatcher *m_pending = nullptr;
    bool m_wanted = false;                    // an upgrade runs and wants the lock
};
