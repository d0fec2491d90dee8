#include "SleepInhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDebug>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kService[] = "org.freedesktop.login1";
const char kPath[] = "/org/freedesktop/login1";
const char kInterface[] = "org.freedesktop.login1.Manager";
// Sleep and shutdown both cut the camera off in the middle of a write.
const char kWhat[] = "sleep:shutdown";
// The desktop shows these two to a user who tries to sleep or shut down;
// they are translated in the window's context.
//: The program's name, as the desktop shows it when asking the user to wait before sleep or shutdown.
const char kWho[] = QT_TRANSLATE_NOOP("MainWindow", "Kelvora Camera 2 Config");
//: Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.
const char kWhy[] = QT_TRANSLATE_NOOP("MainWindow",
                                      "Updating the camera's firmware; an interruption could leave the camera unusable");
const char kMode[] = "block";
// logind answers at once; a bus that does not answer within this time is
// not worth waiting for, the upgrade has long gone on without the lock.
constexpr int kCallTimeoutMs = 5000;

} // namespace

SleepInhibitor::SleepInhibitor(QObject *parent)
    : QObject(parent)
{
}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::take()
{
    if (held() || m_pending)
        return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qDebug() << "Sleep inhibitor not taken: no system bus";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                      QLatin1String(kInterface), QStringLiteral("Inhibit"));
    call << QLatin1String(kWhat) << QCoreApplication::translate("MainWindow", kWho)
         << QCoreApplication::translate("MainWindow", kWhy) << QLatin1String(kMode);
    m_pending = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::answered);
}

void SleepInhibitor::answered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const bool current = call == m_pending;
    if (current)
        m_pending = nullptr;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError()) {
        // A refusal for an upgrade that has ended leaves the one under way
        // to its own request.
        if (current)
            qDebug() << "Sleep inhibitor not taken:" << reply.error().message();
        return;
    }
    // The reply's descriptor closes with the reply; the lock is a copy of
    // it, kept while its upgrade lasts and closed at once if that has ended.
    const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (!current || held()) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

void SleepInhibitor::release()
{
    m_pending = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
