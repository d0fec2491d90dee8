#pragma once

// Waiting for the window: a condition checked from the event loop, so that
// the window's timers, its replies and its boxes go on meanwhile. Never a
// fixed sleep where a condition can say when it is over.

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace driver {

// How often a condition is looked at: well inside the window's 20 ms poll.
constexpr std::chrono::milliseconds kCheckInterval(5);

// Watches a condition without blocking: for a caller that itself runs from
// the event loop and must return to it between checks.
class Waiter : public QObject
{
public:
    explicit Waiter(QObject *parent = nullptr);

    // From the next turn of the event loop on, checks `done` every
    // kCheckInterval; calls `finished(true)` once it holds, or
    // `finished(false)` when `timeout` has passed first. A new watch replaces
    // the one under way; `finished` may start the next.
    void watch(std::function<bool()> done, std::chrono::milliseconds timeout,
               std::function<void(bool met)> finished);
    // Gives up the watch under way, without calling its `finished`.
    void stop();

private:
    void check();

    QTimer m_timer;
    std::chrono::steady_clock::time_point m_deadline;
    std::function<bool()> m_done;
    std::function<void(bool)> m_finished;
};

// Runs the event loop until `done` holds or `timeout` has passed, and says
// whether it held. A condition that holds already costs no turn of the loop.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

// Runs the event loop for `duration`: for the few waits that are the point,
// such as giving the window time in which something must not happen.
void pause(std::chrono::milliseconds duration);

} // namespace driver
