#include "MockLogind.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QTest>

namespace {

// Debian's python3-dbusmock lives with the system's Python.
const char kPython[] = "/usr/bin/python3";
const char kConnectionName[] = "mock-logind-test";
const char kSessionPath[] = "/org/freedesktop/login1/session/c1";
constexpr int kStartMs = 15000;

QProcessEnvironment childEnvironment(const QString &address)
{
    // The children are no part of the emulated machine: umockdev's preload
    // stays with this process.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    environment.remove(QStringLiteral("UMOCKDEV_DIR"));
    if (!address.isEmpty())
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
    return environment;
}

} // namespace

MockLogind::~MockLogind()
{
    QDBusConnection::disconnectFromBus(QLatin1String(kConnectionName));
    for (QProcess *process : {&m_logind, &m_bus}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

QString MockLogind::start(uint uid, const QString &userName)
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder");
    // The socket's folder must let the unprivileged user through.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QString socket = m_dir.filePath(QStringLiteral("system_bus_socket"));
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the bus's configuration");
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig>\n"
                     "  <type>system</type>\n"
                     "  <listen>unix:path=%1</listen>\n"
                     "  <auth>EXTERNAL</auth>\n"
                     "  <policy context=\"default\">\n"
                     "    <allow user=\"*\"/>\n"
                     "    <allow own=\"*\"/>\n"
                     "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                     "    <allow receive_sender=\"*\"/>\n"
                     "  </policy>\n"
                     "</busconfig>\n")
                     .arg(socket)
                     .toUtf8());
    config.close();

    m_bus.setProcessEnvironment(childEnvironment(QString()));
    m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted())
        return QStringLiteral("dbus-daemon cannot be started: install the dbus package");
    if (!QTest::qWaitFor([this] { return m_bus.canReadLine(); }, kStartMs))
        return QStringLiteral("dbus-daemon gave no address");
    m_address = QString::fromUtf8(m_bus.readLine().trimmed());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());

    m_logind.setProcessEnvironment(childEnvironment(m_address));
    m_logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_logind.start(QString::fromLatin1(kPython), {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                                                   QStringLiteral("--template"), QStringLiteral("logind")});
    if (!m_logind.waitForStarted())
        return QStringLiteral("python3 cannot be started");
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QLatin1String(kConnectionName));
    if (!bus.isConnected())
        return QStringLiteral("cannot connect to the private bus: ") + bus.lastError().message();
    const bool up = QTest::qWaitFor(
        [&bus] { return bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1")).value(); }, kStartMs);
    if (!up)
        return QStringLiteral("python3-dbusmock's logind did not come up: install python3-dbusmock");

    // The template has no GetSessionByPID; every process is in the one session.
    const QString manager = QStringLiteral("/org/freedesktop/login1");
    if (!callMock(manager, QStringLiteral("AddMethod"),
                  {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSessionByPID"), QStringLiteral("u"),
                   QStringLiteral("o"), QStringLiteral("ret = '%1'").arg(QLatin1String(kSessionPath))})
        || !callMock(manager, QStringLiteral("AddSession"),
                     {QStringLiteral("c1"), QStringLiteral("seat0"), uid, userName, true}))
        return QStringLiteral("the mock took no session");
    return setRemote(false) ? QString() : QStringLiteral("the session's properties could not be set");
}

bool MockLogind::setRemote(bool remote)
{
    const QVariantMap properties{
        {QStringLiteral("Remote"), remote},
        {QStringLiteral("RemoteHost"), remote ? QStringLiteral("192.0.2.7") : QString()},
        {QStringLiteral("Service"), remote ? QStringLiteral("sshd") : QStringLiteral("gdm-password")},
        {QStringLiteral("Type"), remote ? QStringLiteral("tty") : QStringLiteral("wayland")},
    };
    return callMock(QLatin1String(kSessionPath), QStringLiteral("UpdateProperties"),
                    {QStringLiteral("org.freedesktop.login1.Session"), properties});
}

bool MockLogind::callMock(const QString &path, const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"), path,
                                                       QStringLiteral("org.freedesktop.DBus.Mock"), method);
    call.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection(QLatin1String(kConnectionName)).call(call);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning("%s: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    return reply.type() == QDBusMessage::ReplyMessage;
}
