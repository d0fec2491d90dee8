#include "Logind.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace cli::logind {

using doctor::Session;
using doctor::SessionFacts;

namespace {

const char kService[] = "org.freedesktop.login1";
const char kManagerPath[] = "/org/freedesktop/login1";
const char kManager[] = "org.freedesktop.login1.Manager";
const char kSessionInterface[] = "org.freedesktop.login1.Session";
const char kUserInterface[] = "org.freedesktop.login1.User";
const char kProperties[] = "org.freedesktop.DBus.Properties";
// A connection of its own, closed again when the question is answered, so
// that nothing of the bus outlives the command.
const char kConnectionName[] = "kelvora-camera-cli-logind";
// logind answers at once; a bus that does not is as good as none.
constexpr int kCallTimeoutMs = 3000;

class Bus
{
public:
    Bus()
        : m_connection(QDBusConnection::connectToBus(QDBusConnection::SystemBus, QLatin1String(kConnectionName)))
    {
    }
    ~Bus() { QDBusConnection::disconnectFromBus(QLatin1String(kConnectionName)); }
    Bus(const Bus &) = delete;
    Bus &operator=(const Bus &) = delete;

    bool connected() const { return m_connection.isConnected(); }
    QString error() const { return m_connection.lastError().message(); }

    QDBusMessage call(const QString &path, const char *interface, const char *method, const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), path,
                                                              QLatin1String(interface), QLatin1String(method));
        message.setArguments(arguments);
        return m_connection.call(message, QDBus::Block, kCallTimeoutMs);
    }

    QDBusMessage manager(const char *method, const QVariantList &arguments)
    {
        return call(QLatin1String(kManagerPath), kManager, method, arguments);
    }

private:
    QDBusConnection m_connection;
};

bool answered(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

QString objectPath(const QDBusMessage &reply)
{
    return answered(reply) ? reply.arguments().first().value<QDBusObjectPath>().path() : QString();
}

// The first member of a structure such as Session.Seat's (so).
QString firstOfStructure(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return QString();
    const QDBusArgument argument = value.value<QDBusArgument>();
    QString first;
    QDBusObjectPath second;
    argument.beginStructure();
    argument >> first >> second;
    argument.endStructure();
    return first;
}

std::optional<Session> sessionAt(Bus &bus, const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QDBusMessage reply = bus.call(path, kProperties, "GetAll", {QLatin1String(kSessionInterface)});
    if (!answered(reply))
        return std::nullopt;
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().first());
    Session session;
    session.id = properties.value(QStringLiteral("Id")).toString();
    session.seat = firstOfStructure(properties.value(QStringLiteral("Seat")));
    session.type = properties.value(QStringLiteral("Type")).toString();
    session.service = properties.value(QStringLiteral("Service")).toString();
    session.remoteHost = properties.value(QStringLiteral("RemoteHost")).toString();
    session.state = properties.value(QStringLiteral("State")).toString();
    session.remote = properties.value(QStringLiteral("Remote")).toBool();
    session.active = properties.value(QStringLiteral("Active")).toBool();
    if (session.id.isEmpty())
        return std::nullopt;
    return session;
}

QStringList userSessionPaths(Bus &bus, uid_t uid)
{
    const QString user = objectPath(bus.manager("GetUser", {uint(uid)}));
    if (user.isEmpty())
        return {};
    const QDBusMessage reply =
        bus.call(user, kProperties, "Get", {QLatin1String(kUserInterface), QStringLiteral("Sessions")});
    if (!answered(reply))
        return {};
    const QDBusArgument sessions = reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>();
    QStringList paths;
    sessions.beginArray();
    while (!sessions.atEnd()) {
        QString id;
        QDBusObjectPath path;
        sessions.beginStructure();
        sessions >> id >> path;
        sessions.endStructure();
        paths << path.path();
    }
    sessions.endArray();
    return paths;
}

} // namespace

SessionFacts askLogind(uid_t uid, pid_t pid, const QString &sessionId)
{
    SessionFacts facts;
    Bus bus;
    if (!bus.connected()) {
        facts.unreachable = QStringLiteral("no system bus: %1").arg(bus.error());
        return facts;
    }
    const QDBusMessage byProcess = bus.manager("GetSessionByPID", {uint(pid)});
    const QString name = byProcess.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        facts.unreachable = QStringLiteral("logind is not on the system bus");
        return facts;
    }
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        facts.unreachable = QStringLiteral("logind did not answer");
        return facts;
    }

    std::optional<Session> own = sessionAt(bus, objectPath(byProcess));
    facts.foundBy = QStringLiteral("process");
    // Some processes (a container's, one started by a service manager for
    // the user) are in no session logind can find by their id; the
    // environment of the login may still name it.
    if (!own && !sessionId.isEmpty()) {
        own = sessionAt(bus, objectPath(bus.manager("GetSession", {sessionId})));
        facts.foundBy = QStringLiteral("XDG_SESSION_ID");
    }
    if (own) {
        facts.found = true;
        facts.own = *own;
    }
    for (const QString &path : userSessionPaths(bus, uid)) {
        if (const std::optional<Session> session = sessionAt(bus, path))
            facts.userSessions.append(*session);
    }
    return facts;
}

} // namespace cli::logind
