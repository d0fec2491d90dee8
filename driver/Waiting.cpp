#include "Waiting.h"

#include <QEventLoop>

namespace driver {

Waiter::Waiter(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kCheckInterval);
    connect(&m_timer, &QTimer::timeout, this, &Waiter::check);
}

void Waiter::watch(std::function<bool()> done, std::chrono::milliseconds timeout,
                   std::function<void(bool)> finished)
{
    m_done = std::move(done);
    m_finished = std::move(finished);
    m_deadline = std::chrono::steady_clock::now() + timeout;
    m_timer.start();
}

void Waiter::stop()
{
    m_timer.stop();
    m_done = nullptr;
    m_finished = nullptr;
}

void Waiter::check()
{
    const bool met = m_done();
    if (!met && std::chrono::steady_clock::now() < m_deadline)
        return;
    m_timer.stop();
    // Moved out first: the call may start a new watch, or end this object.
    const std::function<void(bool)> finished = std::move(m_finished);
    m_done = nullptr;
    m_finished = nullptr;
    finished(met);
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    QEventLoop loop;
    bool met = false;
    Waiter waiter;
    waiter.watch(done, timeout, [&loop, &met](bool result) {
        met = result;
        loop.quit();
    });
    loop.exec();
    return met;
}

void pause(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace driver
