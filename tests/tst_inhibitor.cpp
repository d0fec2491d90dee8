// The sleep inhibitor against a real D-Bus daemon and logind as
// python3-dbusmock plays it, on a private bus that stands in for the system
// bus: the lock is asked for with the right arguments when an upgrade is
// announced, and its descriptor is closed on every way the upgrade can end.

#include "WindowHarness.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

#include <signal.h>

namespace {

using namespace std::chrono_literals;

// Debian's python3-dbusmock lives with the system's Python.
const char kPython[] = "/usr/bin/python3";

struct Inhibitor
{
    QString what, who, why, mode;
};

QVector<Inhibitor> inhibitors()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    QVector<Inhibitor> list;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return list;
    const QDBusArgument array = reply.arguments().first().value<QDBusArgument>();
    array.beginArray();
    while (!array.atEnd()) {
        Inhibitor entry;
        uint uid = 0;
        uint pid = 0;
        array.beginStructure();
        array >> entry.what >> entry.who >> entry.why >> entry.mode >> uid >> pid;
        array.endStructure();
        list.append(entry);
    }
    array.endArray();
    return list;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// What ends the upgrade in a row of the test.
enum class Ending {
    Completed,          // the device reports 100 % and reboots
    WriteFailure,       // a data report refused three times
    NoAcceptance,       // the device never accepts the start
    RefusedStart,       // the device refuses the start
    RefusedCompletion,  // the device refuses the image it was sent
    NotCompleted,       // the completion frame cannot be written
    DeviceSilent,       // the device stops reporting its progress
    DeviceLeft,         // the device leaves before its 100 %
    WindowClosed,       // the user closes the window mid-upload
};

} // namespace

Q_DECLARE_METATYPE(Ending)

class InhibitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void withoutLogindTheUpgradeGoesOn();
    void lockFollowsTheUpgrade_data();
    void lockFollowsTheUpgrade();
    void eachUpgradeAsksForItsOwnLock_data();
    void eachUpgradeAsksForItsOwnLock();
    void cleanupTestCase();

private:
    bool startLogind();

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_logind;
};

void InhibitorTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A private bus, used as the system bus by everything in this process.
    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_bus.start();
    QVERIFY2(m_bus.waitForStarted(), "dbus-daemon cannot be started: install the dbus package");
    QVERIFY2(QTest::qWaitFor([this] { return m_bus.canReadLine(); }, 10000), "dbus-daemon gave no address");
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(address.startsWith("unix:"));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    QVERIFY2(QDBusConnection::systemBus().isConnected(), "cannot connect to the private bus");
}

bool InhibitorTest::startLogind()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"));
    m_logind.setProcessEnvironment(env);
    m_logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_logind.start(QString::fromLatin1(kPython), {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                                                   QStringLiteral("--template"), QStringLiteral("logind")});
    if (!m_logind.waitForStarted())
        return false;
    QDBusConnectionInterface *bus = QDBusConnection::systemBus().interface();
    return QTest::qWaitFor(
        [bus] { return bus->isServiceRegistered(QStringLiteral("org.freedesktop.login1")).value(); }, 15000);
}

void InhibitorTest::withoutLogindTheUpgradeGoesOn()
{
    // A system bus without logind: the upgrade runs as before, and one
    // debug line says the lock was not taken.
    WindowHarness h;
    h.camera.setProgressPlan({100}, 5ms, std::chrono::minutes(10), "V9.9.9");
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.click("upgradeMode");
    const QString path = m_dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(writeFile(path, noiseImage(3000)));
    QVERIFY(h.chooseImage(path));
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts(), QStringList{QStringLiteral("Upgrade completed ,Device will reboot now!")},
                              10000);
    const QStringList notTaken = h.log.lines().filter(QRegularExpression(QStringLiteral("^Sleep inhibitor not taken")));
    QCOMPARE(notTaken.size(), 1);
    QCOMPARE(h.camera.receivedImage(), noiseImage(3000));

    // Now logind comes up for the rest of the tests.
    QVERIFY2(startLogind(), "python3-dbusmock's logind did not come up: install python3-dbusmock");
    QVERIFY(inhibitors().isEmpty());
}

void InhibitorTest::lockFollowsTheUpgrade_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::newRow("completed") << Ending::Completed;
    QTest::newRow("write failure") << Ending::WriteFailure;
    QTest::newRow("no acceptance") << Ending::NoAcceptance;
    QTest::newRow("refused start") << Ending::RefusedStart;
    QTest::newRow("refused completion") << Ending::RefusedCompletion;
    QTest::newRow("completion not written") << Ending::NotCompleted;
    QTest::newRow("device silent") << Ending::DeviceSilent;
    QTest::newRow("device left") << Ending::DeviceLeft;
    QTest::newRow("window closed") << Ending::WindowClosed;
}

void InhibitorTest::lockFollowsTheUpgrade()
{
    QFETCH(Ending, ending);
    QVERIFY2(m_logind.state() == QProcess::Running, "logind is not running");
    WindowHarness h;
    // No progress of its own unless the row wants the 100 %.
    h.camera.setProgressPlan(ending == Ending::Completed ? QVector<quint8>{50, 100} : QVector<quint8>{}, 100ms,
                             std::chrono::minutes(10), "V9.9.9");
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.click("upgradeMode");
    const QString path = m_dir.filePath(QStringLiteral("image.bin"));
    // The rows that act in the middle of the stream get a long one.
    const bool midStream = ending == Ending::WindowClosed || ending == Ending::WriteFailure
        || ending == Ending::NotCompleted;
    QVERIFY(writeFile(path, noiseImage(midStream ? 4 * 1024 * 1024 : 20000)));
    QVERIFY(h.chooseImage(path));

    switch (ending) {
    case Ending::WriteFailure:
        // Slow enough for the lock to be seen held before the failure.
        h.camera.setDataWritePace(50us);
        break;
    case Ending::NoAcceptance:
        h.camera.setStartAck(sim::AckMode::Never);
        break;
    case Ending::RefusedStart:
        h.camera.setStartAck(sim::AckMode::Immediate, 5);
        break;
    case Ending::DeviceLeft:
        h.camera.unplugDuringUpload(sim::UnplugPoint::AfterCompletionAck);
        break;
    case Ending::WindowClosed:
        h.camera.setDataWritePace(50us);
        break;
    case Ending::NotCompleted:
        h.camera.setDataWritePace(50us);
        h.camera.failNextRequests(0x22, 0x02, 1);
        break;
    default:
        break;
    }
    h.click("StartUpd");

    // The lock is asked for when the image is announced, with what, who,
    // why and mode as a user would want them.
    QTRY_COMPARE_WITH_TIMEOUT(inhibitors().size(), 1, 5000);
    const Inhibitor lock = inhibitors().first();
    QCOMPARE(lock.what, QStringLiteral("sleep:shutdown"));
    QCOMPARE(lock.mode, QStringLiteral("block"));
    QCOMPARE(lock.who, QStringLiteral("Kelvora Camera 2 Config"));
    QVERIFY(lock.why.contains(QStringLiteral("firmware")));

    switch (ending) {
    case Ending::WriteFailure:
        h.camera.failNextDataWrites(3);
        QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Write error during upload. Abort.")), 10000);
        break;
    case Ending::NoAcceptance:
    case Ending::RefusedStart:
        QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Upgrade start timeout. Abort.")), 5000);
        break;
    case Ending::RefusedCompletion:
        QTRY_VERIFY_WITH_TIMEOUT(h.log.contains(QStringLiteral("Upgrade file upload completed successfully.")), 10000);
        QCOMPARE(inhibitors().size(), 1);   // the device phase still holds it
        h.camera.queueReply(0x22, 0x03, QByteArray(1, char(7)));
        QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 5000);
        break;
    case Ending::NotCompleted:
        QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Write error during upload. Abort.")), 10000);
        break;
    case Ending::DeviceSilent:
        QTRY_VERIFY_WITH_TIMEOUT(h.log.contains(QStringLiteral("Upgrade file upload completed successfully.")), 10000);
        QCOMPARE(inhibitors().size(), 1);
        h.find<QTimer>("devicePhaseTimer")->start(1);   // its two minutes are up
        QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 5000);
        break;
    case Ending::DeviceLeft:
        QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
        break;
    case Ending::WindowClosed:
        QTRY_VERIFY_WITH_TIMEOUT(h.camera.dataReportCount() > 0, 5000);
        h.window->close();
        h.window.reset();
        break;
    case Ending::Completed:
        QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Upgrade completed ,Device will reboot now!")),
                                 10000);
        break;
    }
    // Released: logind sees the descriptor closed and drops the lock.
    QTRY_VERIFY_WITH_TIMEOUT(inhibitors().isEmpty(), 5000);
}

void InhibitorTest::eachUpgradeAsksForItsOwnLock_data()
{
    QTest::addColumn<bool>("firstRefused");
    QTest::newRow("granted after its upgrade ended") << false;
    QTest::newRow("refused, while the next upgrade runs") << true;
}

void InhibitorTest::eachUpgradeAsksForItsOwnLock()
{
    // logind answers late: the upgrade that asked has ended meanwhile (the
    // device never accepted it), and perhaps the next has started. A lock
    // granted then is let go at once; a refusal leaves the next upgrade to
    // its own request, so that it does not run without the lock.
    QFETCH(bool, firstRefused);
    QVERIFY2(m_logind.state() == QProcess::Running, "logind is not running");
    if (firstRefused) {
        // The next Inhibit is refused; those after it answered as before.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"));
        call << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("Inhibit") << QStringLiteral("ssss")
             << QStringLiteral("h")
             << QStringLiteral("self.refusals = getattr(self, 'refusals', 1)\n"
                               "if self.refusals > 0:\n"
                               "    self.refusals -= 1\n"
                               "    raise dbus.exceptions.DBusException('refused', name='org.freedesktop.DBus.Error.AccessDenied')\n"
                               "import dbusmock.templates.logind as logind\n"
                               "ret = logind.Inhibit(self, *args)\n");
        const QDBusMessage reply = QDBusConnection::systemBus().call(call);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    }
    WindowHarness h;
    h.camera.setProgressPlan({50, 100}, 300ms, std::chrono::minutes(10), "V9.9.9");
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.click("upgradeMode");
    const QString path = m_dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(writeFile(path, noiseImage(20000)));
    QVERIFY(h.chooseImage(path));

    // logind holds its answers while the first upgrade asks and ends.
    const qint64 logind = m_logind.processId();
    QVERIFY(::kill(pid_t(logind), SIGSTOP) == 0);
    h.camera.setStartAck(sim::AckMode::Never);
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Upgrade start timeout. Abort.")), 5000);
    if (firstRefused) {
        h.camera.setStartAck(sim::AckMode::Immediate);
        h.modals.clear();
        h.click("StartUpd");
    }
    QVERIFY(::kill(pid_t(logind), SIGCONT) == 0);

    if (!firstRefused) {
        // The window's request went out before this list was asked for, on
        // the same connection, so logind has granted it by now.
        QTRY_VERIFY_WITH_TIMEOUT(inhibitors().isEmpty(), 5000);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(inhibitors().size(), 1, 5000);
    QVERIFY(!h.find<QWidget>("StartUpd")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(h.modals.texts().contains(QStringLiteral("Upgrade completed ,Device will reboot now!")),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(inhibitors().isEmpty(), 5000);
}

void InhibitorTest::cleanupTestCase()
{
    m_logind.terminate();
    m_logind.waitForFinished(5000);
    m_bus.terminate();
    m_bus.waitForFinished(5000);
}

QTEST_MAIN(InhibitorTest)
#include "tst_inhibitor.moc"
