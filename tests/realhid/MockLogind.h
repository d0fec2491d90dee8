#pragma once

// logind as python3-dbusmock plays it, on a private D-Bus daemon that this
// process then takes for its system bus (DBUS_SYSTEM_BUS_ADDRESS): one
// session at seat0 for one user, which logind reports as the session of
// whatever process asks, and which a test turns into a remote login and
// back. The bus lets any user in, so that a program run as an unprivileged
// user reaches it too.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class MockLogind
{
public:
    MockLogind() = default;
    ~MockLogind();
    MockLogind(const MockLogind &) = delete;
    MockLogind &operator=(const MockLogind &) = delete;

    // Starts the bus and logind, and adds the session. Must run before
    // anything in the process uses the system bus. Empty on success, else
    // what failed.
    QString start(uint uid, const QString &userName);
    // Makes the session a login over SSH from another host, or one at the
    // seat again.
    bool setRemote(bool remote);

private:
    bool callMock(const QString &path, const QString &method, const QVariantList &arguments);

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_logind;
    QString m_address;
};
