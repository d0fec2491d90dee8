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

    // Asks for the lock for the upgrade that starts now, unless it is held
    // or this upgrade has asked for it already.
    void take();
    // Lets go of the lock, or of the answer still on its way: a lock
    // granted after its upgrade ended is closed as soon as it arrives, and
    // the next upgrade asks anew.
    void release();
    bool held() const { return m_fd >= 0; }

private:
    void answered(QDBusPendingCallWatcher *call);

    int m_fd = -1;                            // the lock: closing it releases it
    // The request of the upgrade under way, until it is answered. Requests
    // of upgrades that have ended are answered too, and their locks closed.
    QDBusPendingCallWatcher *m_pending = nullptr;
};
