// The command-line tool as users run it: its commands linked with the
// system's libhidapi-hidraw, finding, opening, reading and writing hidraw
// nodes that umockdev emulates, with the virtual camera's device logic
// behind them. Each command runs on a thread of its own, as the program
// would in a process of its own, while this thread's event loop keeps the
// emulated bus in step with the camera (its leaving, its return). No
// command may hang past its time-out or end in success when the camera did
// not do the job. Two commands at once on one camera: exactly one of them
// gets it.

#include "Bytes.h"
#include "CliRun.h"
#include "HidrawCamera.h"
#include "MockLogind.h"
#include "RealLibrary.h"
#include "UeventLog.h"

#include "cli/Cli.h"

#include "protocol/NodeAccess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include <pthread.h>

namespace {

using namespace std::chrono_literals;
using sim::Identity;

constexpr quint16 kControl = sim::kControlUsagePage;
constexpr quint16 kData = sim::kDataUsagePage;
constexpr quint16 kConsumer = 0x000C;
// The unprivileged user UnprivilegedScope runs as.
constexpr uint kNobody = 65534;
constexpr int kImageBytesPerReport = 510;
// 200 full data reports and a short last one.
constexpr int kImageSize = 200 * kImageBytesPerReport + 77;
constexpr int kDataReports = (kImageSize + kImageBytesPerReport - 1) / kImageBytesPerReport;
const QByteArray kOldVersion("V2.1.0");
const QByteArray kNewVersion("V2.2.0");
const QByteArray kSerial("SIM0001");

using Run = CliRun;


// Runs the command line on a thread of its own. A command still running
// after `limitMs` has hung: the whole test program stops with a failure,
// since the thread cannot be taken back. `meanwhile`, when given, runs on
// this thread while the command does, with the command's thread.
Run runCli(const QStringList &arguments, int limitMs = 10000, const std::function<void(pthread_t)> &meanwhile = {})
{
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    if (!out || !err)
        qFatal("no temporary files");
    Run result;
    std::atomic<bool> done{false};
    QElapsedTimer clock;
    clock.start();
    std::thread command([&] {
        result.code = cli::runCli(arguments, out, err, false);
        done = true;
    });
    if (meanwhile)
        meanwhile(command.native_handle());
    if (!QTest::qWaitFor([&] { return done.load(); }, limitMs))
        qFatal("kelvora-camera-cli %s still ran after %d ms", qPrintable(arguments.join(QLatin1Char(' '))), limitMs);
    command.join();
    result.ms = clock.elapsed();
    result.out = cli::readBack(out);
    result.err = cli::readBack(err);
    return result;
}

QVector<QByteArray> framesOn(const QVector<sim::WrittenFrame> &frames, quint16 usagePage)
{
    QVector<QByteArray> found;
    for (const sim::WrittenFrame &frame : frames) {
        if (frame.usagePage == usagePage && frame.accepted)
            found.append(frame.bytes);
    }
    return found;
}

QStringList nodesOf(const QJsonObject &device)
{
    QStringList nodes;
    for (const QJsonValue &entry : device.value("interfaces").toArray())
        nodes << entry.toObject().value("node").toString();
    return nodes;
}

QString accessOf(const QJsonObject &device, const QByteArray &node)
{
    for (const QJsonValue &entry : device.value("interfaces").toArray()) {
        if (entry.toObject().value("node").toString() == QString::fromLatin1(node))
            return entry.toObject().value("access").toString();
    }
    return QString();
}

// The faults the camera can meet a command with.
enum class Fault {
    UnplugMidUpload,
    UnplugBeforeFirstReport,
    UnplugWhileWriting,
    StartRefused,
    Silent,
    NeverBackFromUpgradeMode,
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Identity)

class RealHidCliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listNamesTheHidrawNodes();
    void nodeWithoutAccess_data();
    void nodeWithoutAccess();
    void infoInEitherIdentity();
    void setModeIsConfirmed();
    void enterUpgradeLeavesAndComesBack();
    void upgradeFromNormalMode();
    void upgradeOfACameraLeftInUpgradeMode();
    void faultsEndInTheRightExitCode_data();
    void faultsEndInTheRightExitCode();
    void stopSignalInEachWait_data();
    void stopSignalInEachWait();
    void oneCommandAtATime_data();
    void oneCommandAtATime();
    void doctor_data();
    void doctor();

private:
    // The camera in this identity, with its version and mode, on the bus.
    void attach(Identity identity);
    // Every node of this usage page made so far, present or gone.
    QVector<realhid::NodeRecord> nodesWithPage(quint16 usagePage) const;

    std::unique_ptr<realhid::HidrawCamera> m_bus;
    QTemporaryDir m_dir;
    QString m_imagePath;
    QByteArray m_image;
    MockLogind m_logind;
};

void RealHidCliTest::initTestCase()
{
    // The hid_* functions the commands call are the system library's.
    const QString problem = realhid::realLibraryProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // Readable by the unprivileged user of nodeWithoutAccess too (who
    // keeps root's groups).
    QVERIFY(m_dir.isValid());
    const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions searchable = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir.path(), readable | searchable | QFile::WriteOwner));
    m_image = noiseImage(kImageSize, 88172645u);
    m_imagePath = m_dir.filePath(QStringLiteral("firmware.bin"));
    QFile file(m_imagePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(m_image), qint64(m_image.size()));
    file.close();
    QVERIFY(QFile::setPermissions(m_imagePath, readable | QFile::WriteOwner));

    // doctor's rule folders, and logind on a private system bus, with the
    // session of the unprivileged user the test runs doctor as.
    const QString cameraLine = nodeaccess::ruleLines().value(0);
    const QMap<QString, QString> rules{{"both", nodeaccess::ruleLines().join('\n')}, {"camera", cameraLine}, {"none", ""}};
    for (auto it = rules.cbegin(); it != rules.cend(); ++it) {
        const QString folder = m_dir.filePath(QStringLiteral("rules-") + it.key());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, readable | searchable | QFile::WriteOwner));
        if (it.value().isEmpty())
            continue;
        QFile rule(folder + QStringLiteral("/70-camera.rules"));
        QVERIFY(rule.open(QIODevice::WriteOnly));
        rule.write(it.value().toUtf8() + '\n');
        rule.close();
        QVERIFY(QFile::setPermissions(rule.fileName(), readable | QFile::WriteOwner));
    }
    const QString logind = m_logind.start(kNobody, QStringLiteral("nobody"));
    QVERIFY2(logind.isEmpty(), qPrintable(logind));
}

void RealHidCliTest::init()
{
    // Each interface of a device that arrives comes a little after the one
    // before, as the kernel adds them: longer than the tool's 50 ms between
    // two looks at the bus, so that a command waiting for the camera's
    // return sees it half-arrived.
    realhid::HidrawCamera::Options options;
    options.interfaceGap = 60ms;
    m_bus = std::make_unique<realhid::HidrawCamera>(options);
}

void RealHidCliTest::cleanup()
{
    // Every handle a command opened on any node was closed again (the
    // testbed learns of a close a moment after it happens).
    QTRY_VERIFY_WITH_TIMEOUT(m_bus->openHandles() == 0, 3000);
    for (const realhid::NodeRecord &node : m_bus->nodes())
        QCOMPARE(node.opened, node.closed);
    {
        auto camera = m_bus->camera();
        QCOMPARE(camera->openHandleCount(), 0);
        QCOMPARE(camera->formatViolations(), QStringList());
    }
    QCOMPARE(m_bus->violations(), QStringList());
    m_bus.reset();
}

void RealHidCliTest::attach(Identity identity)
{
    {
        auto camera = m_bus->camera();
        camera->setVersion(kOldVersion);
        camera->setUvcName("Boardroom Camera");
        camera->setMode(1);
        camera->setProgressPlan({20, 60, 100}, 100ms, 300ms, kNewVersion);
        camera->attach(identity);
    }
    m_bus->settle();
}

QVector<realhid::NodeRecord> RealHidCliTest::nodesWithPage(quint16 usagePage) const
{
    QVector<realhid::NodeRecord> found;
    for (const realhid::NodeRecord &node : m_bus->nodes()) {
        if (node.usagePage == usagePage)
            found.append(node);
    }
    return found;
}

void RealHidCliTest::listNamesTheHidrawNodes()
{
    attach(Identity::Normal);
    const QByteArray control = m_bus->presentNode(kControl).devnode;
    const QByteArray data = m_bus->presentNode(kData).devnode;
    const QByteArray consumer = m_bus->presentNode(kConsumer).devnode;

    Run result = runCli({"--json", "list"});
    QCOMPARE(result.code, 0);
    const QJsonArray devices = result.json().value("devices").toArray();
    QCOMPARE(devices.size(), 1);
    const QJsonObject device = devices.at(0).toObject();
    QCOMPARE(device.value("identity").toString(), QStringLiteral("camera"));
    QCOMPARE(device.value("usb_id").toString(), QStringLiteral("2207:2008"));
    QCOMPARE(device.value("serial").toString(), QString::fromLatin1(kSerial));
    // The kernel's node names, in the bus's order, each one that opens.
    QCOMPARE(nodesOf(device), (QStringList{QString::fromLatin1(control), QString::fromLatin1(data),
                                           QString::fromLatin1(consumer)}));
    for (const QByteArray &node : {control, data, consumer}) {
        QVERIFY2(node.startsWith("/dev/hidraw"), node.constData());
        QCOMPARE(accessOf(device, node), QStringLiteral("open"));
    }
    const QJsonArray interfaces = device.value("interfaces").toArray();
    QCOMPARE(interfaces.at(0).toObject().value("role").toString(), QStringLiteral("control"));
    QCOMPARE(interfaces.at(1).toObject().value("role").toString(), QStringLiteral("data"));
    QCOMPARE(interfaces.at(2).toObject().value("role").toString(), QStringLiteral("other"));
    QVERIFY(!result.json().contains("fix"));

    result = runCli({"list"});
    QCOMPARE(result.code, 0);
    QVERIFY2(result.out.contains("  control  " + control), result.out.constData());
    QVERIFY(result.out.contains("  data     " + data));
    QVERIFY(!result.out.contains("may not open"));

    // A node names its device; one that is not there names none.
    result = runCli({"--json", "--device", QString::fromLatin1(data), "list"});
    QCOMPARE(result.json().value("devices").toArray().size(), 1);
    result = runCli({"--json", "--device", "/dev/hidraw999", "info"});
    QCOMPARE(result.code, 3);
    QCOMPARE(result.error().value("reason").toString(), QStringLiteral("no-match"));

    // Looking is not opening: no node was opened by any of it.
    for (const realhid::NodeRecord &node : m_bus->nodes())
        QCOMPARE(node.opened, 0);
    QVERIFY(m_bus->camera()->writtenFrames().isEmpty());
}

void RealHidCliTest::nodeWithoutAccess_data()
{
    QTest::addColumn<quint16>("denied");
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");

    QTest::newRow("control node: info") << kControl << Identity::Normal << QStringList{"info"} << 5;
    QTest::newRow("control node: set-mode") << kControl << Identity::Normal << QStringList{"set-mode", "voice"} << 5;
    QTest::newRow("control node: enter-upgrade") << kControl << Identity::Normal << QStringList{"enter-upgrade"} << 5;
    // info needs the control interface only.
    QTest::newRow("data node: info") << kData << Identity::Normal << QStringList{"info"} << 0;
    QTest::newRow("data node: upgrade in upgrade mode") << kData << Identity::Upgrade << QStringList{"upgrade", "IMAGE"} << 5;
}

void RealHidCliTest::nodeWithoutAccess()
{
    QFETCH(quint16, denied);
    QFETCH(Identity, identity);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    arguments.replaceInStrings(QStringLiteral("IMAGE"), m_imagePath);
    attach(identity);
    const QByteArray node = m_bus->presentNode(denied).devnode;
    QVERIFY(m_bus->denyAccess(denied));
    Run list;
    Run human;
    Run json;
    Run command;
    {
        realhid::UnprivilegedScope user;
        QVERIFY2(user.unprivileged(), "cannot switch to an unprivileged user");
        list = runCli({"--json", "list"});
        human = runCli({"list"});
        json = runCli(QStringList{"--json"} + arguments);
        command = runCli(arguments);
    }

    // list answers the question: which node this user may not open, and the fix.
    QCOMPARE(list.code, 0);
    const QJsonObject device = list.json().value("devices").toArray().at(0).toObject();
    for (const QString &listed : nodesOf(device))
        QCOMPARE(accessOf(device, listed.toLatin1()), listed.toLatin1() == node ? QStringLiteral("denied") : QStringLiteral("open"));
    const QString fix = list.json().value("fix").toVariant().toStringList().join(QLatin1Char('\n'));
    QVERIFY2(fix.contains(QLatin1String("70-com.kelvora.CameraConfig.rules")), qPrintable(fix));
    QVERIFY(fix.contains(QLatin1String("udevadm control --reload-rules")));
    QCOMPARE(human.code, 0);
    QVERIFY2(human.out.contains(node + QByteArray(20 - node.size(), ' ') + " this user may not open it"), human.out.constData());
    QVERIFY(human.out.contains("udevadm trigger --subsystem-match=hidraw"));

    QVERIFY2(json.code == code, json.err.constData());
    QVERIFY2(command.code == code, command.err.constData());
    if (code == 0)
        return;
    // No result (an upgrade has said which phase it reached).
    QVERIFY(json.onlyJsonOnStdout());
    QVERIFY(!json.out.contains("\"result\""));
    QCOMPARE(json.error().value("kind").toString(), QStringLiteral("no-access"));
    QCOMPARE(json.error().value("reason").toString(), QStringLiteral("permission-denied"));
    QCOMPARE(json.error().value("node").toString(), QString::fromLatin1(node));
    QVERIFY(json.error().value("hints").toVariant().toStringList().join(QLatin1Char('\n')).contains(QLatin1String("udevadm")));
    QVERIFY2(command.err.contains("this user may not open " + node), command.err.constData());
    QVERIFY(command.err.contains("70-com.kelvora.CameraConfig.rules"));
    // Nothing reached the camera: no request, no image byte, no switch.
    QVERIFY(framesOn(m_bus->camera()->writtenFrames(), kData).isEmpty());
    QCOMPARE(m_bus->camera()->identity(), identity);
    if (denied == kControl)
        QVERIFY(m_bus->camera()->writtenFrames().isEmpty());
}

void RealHidCliTest::infoInEitherIdentity()
{
    attach(Identity::Normal);
    Run result = runCli({"--json", "info"});
    QCOMPARE(result.code, 0);
    QJsonObject json = result.json();
    QCOMPARE(json.value("identity").toString(), QStringLiteral("camera"));
    QCOMPARE(json.value("name").toString(), QStringLiteral("Boardroom Camera"));
    QCOMPARE(json.value("version").toString(), QString::fromLatin1(kOldVersion));
    QCOMPARE(json.value("mode").toObject().value("keyword").toString(), QStringLiteral("auto"));
    QCOMPARE(nodesOf(json.value("device").toObject()).first(), QString::fromLatin1(m_bus->presentNode(kControl).devnode));
    // The window's four requests on the control interface, nothing on the others.
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kControl),
             (QVector<QByteArray>{commandFrame(0x27, 0x00), commandFrame(0x20, 0x06), commandFrame(0x20, 0xC6),
                                  commandFrame(0x20, 0xB0)}));
    QCOMPARE(m_bus->camera()->writtenFrames().size(), 4);
    QCOMPARE(m_bus->presentNode(kControl).truncatedReads, 0);

    result = runCli({"info"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, QByteArray("Camera:   Boardroom Camera\nIdentity: camera (normal mode), serial SIM0001\n"
                                    "Firmware: V2.1.0\nFraming:  auto (AutoFraming, value 1)\n"));
    QVERIFY(result.err.isEmpty());

    {
        auto camera = m_bus->camera();
        camera->detach();
        camera->attach(Identity::Upgrade);
    }
    m_bus->settle();
    result = runCli({"--json", "info"});
    QCOMPARE(result.code, 0);
    json = result.json();
    QCOMPARE(json.value("identity").toString(), QStringLiteral("upgrade"));
    QCOMPARE(json.value("version").toString(), QString::fromLatin1(kOldVersion));
    QVERIFY(json.value("mode").isNull());
    QCOMPARE(json.value("device").toObject().value("usb_id").toString(), QStringLiteral("1d6b:0102"));
}

void RealHidCliTest::setModeIsConfirmed()
{
    attach(Identity::Normal);
    Run result = runCli({"--json", "set-mode", "voice"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.json().value("changed").toBool(), true);
    QCOMPARE(result.json().value("previous").toObject().value("keyword").toString(), QStringLiteral("auto"));
    QCOMPARE(result.json().value("mode").toObject().value("value").toInt(), 2);
    QCOMPARE(int(m_bus->camera()->mode()), 2);
    // Asked, set, and asked again to confirm.
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kControl),
             (QVector<QByteArray>{commandFrame(0x20, 0xB0), commandFrame(0x20, 0x96, QByteArray(1, char(2))),
                                  commandFrame(0x20, 0xB0)}));

    result = runCli({"set-mode", "voice"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, QByteArray("The camera is already in voice (VoiceTracking, value 2).\n"));
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kControl).size(), 4);
}

void RealHidCliTest::enterUpgradeLeavesAndComesBack()
{
    attach(Identity::Normal);
    const QSet<QByteArray> normalNodes{m_bus->syspathOf(kControl), m_bus->syspathOf(kData), m_bus->syspathOf(kConsumer)};
    UeventLog uevents;
    const qint64 started = uevents.now();
    Run result = runCli({"--json", "enter-upgrade"});
    QVERIFY2(result.code == 0, result.err.constData());
    QCOMPARE(result.json().value("changed").toBool(), true);
    const QJsonObject device = result.json().value("device").toObject();
    QCOMPARE(device.value("identity").toString(), QStringLiteral("upgrade"));
    QCOMPARE(device.value("usb_id").toString(), QStringLiteral("1d6b:0102"));
    QCOMPARE(nodesOf(device), (QStringList{QString::fromLatin1(m_bus->presentNode(kControl).devnode),
                                           QString::fromLatin1(m_bus->presentNode(kData).devnode)}));
    QCOMPARE(m_bus->camera()->identity(), Identity::Upgrade);
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kControl), QVector<QByteArray>{commandFrame(0x20, 0xD3)});

    // The camera left at once, its three nodes removed with their uevents,
    // and came back as the upgrade device's two nodes a second later.
    QTRY_COMPARE(uevents.withAction("add").size(), 2);
    const auto removed = uevents.withAction("remove");
    const auto added = uevents.withAction("add");
    QCOMPARE(removed.size(), 3);
    QCOMPARE((QSet<QByteArray>{removed.at(0).syspath, removed.at(1).syspath, removed.at(2).syspath}), normalNodes);
    QCOMPARE((QSet<QByteArray>{added.at(0).syspath, added.at(1).syspath}),
             (QSet<QByteArray>{m_bus->syspathOf(kControl), m_bus->syspathOf(kData)}));
    QVERIFY(removed.last().atMs <= added.first().atMs);
    const qint64 back = added.first().atMs - started;
    QVERIFY2(back >= 1000 && back <= 3500, qPrintable(QString::number(back)));
    QVERIFY2(removed.first().atMs - started < 1000, qPrintable(QString::number(removed.first().atMs - started)));
    // The command waited for the return, and no longer than it takes.
    QVERIFY2(result.ms >= 1000 && result.ms < 5000, qPrintable(QString::number(result.ms)));

    result = runCli({"--json", "enter-upgrade"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.json().value("changed").toBool(), false);
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kControl).size(), 1);
}

void RealHidCliTest::upgradeFromNormalMode()
{
    attach(Identity::Normal);
    const Run result = runCli({"upgrade", m_imagePath}, 20000);
    QVERIFY2(result.code == 0, result.err.constData());
    QVERIFY(result.err.isEmpty());

    // The image arrived byte for byte, as 512-byte reports with report ID
    // 0x22 on the upgrade device's data node, between the announcement and
    // the completion with its byte sum.
    {
        auto camera = m_bus->camera();
        QVERIFY(camera->receivedImage() == m_image);
        QCOMPARE(camera->completeChecksum(), int(byteSumOf(m_image)));
        QCOMPARE(camera->identity(), Identity::Normal);
        QCOMPARE(camera->version(), kNewVersion);
        const QVector<QByteArray> reports = framesOn(camera->writtenFrames(), kData);
        QCOMPARE(reports.size(), kDataReports);
        for (const QByteArray &report : reports) {
            QCOMPARE(report.size(), 512);
            QCOMPARE(quint8(report.at(0)), quint8(0x22));
        }
        const QVector<QByteArray> control = framesOn(camera->writtenFrames(), kControl);
        QVERIFY(control.contains(commandFrame(0x20, 0xD3)));
        const QByteArray size = QByteArray::fromHex(QByteArray::number(kImageSize, 16).rightJustified(8, '0'));
        QVERIFY(control.contains(commandFrame(0x22, 0x00, size)));
        QCOMPARE(control.count(commandFrame(0x22, 0x02, QByteArray(1, char(byteSumOf(m_image))))), 1);
    }
    const QVector<realhid::NodeRecord> dataNodes = nodesWithPage(kData);
    QCOMPARE(dataNodes.size(), 3);   // normal, upgrade, normal again
    QCOMPARE(dataNodes.at(0).writes, 0);
    QCOMPARE(dataNodes.at(1).writes, kDataReports);

    // What the user reads: the steps, progress to 100 % both ways, old → new.
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    QCOMPARE(lines.first(), QByteArray("Found the camera (normal mode), serial SIM0001, firmware V2.1.0."));
    QVERIFY(lines.contains("The camera is in upgrade mode."));
    QStringList upload;
    QStringList writing;
    for (const QByteArray &line : lines) {
        if (line.startsWith("upload: "))
            upload << QString::fromUtf8(line.mid(8, line.indexOf('%') - 8).trimmed());
        if (line.startsWith("writing firmware, do not unplug: "))
            writing << QString::fromUtf8(line.mid(33));
    }
    QCOMPARE(upload, (QStringList{"0", "10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}));
    QCOMPARE(writing, (QStringList{"20 %", "60 %", "100 %"}));
    QCOMPARE(lines.last(), QByteArray("Upgraded: V2.1.0 → V2.2.0"));
}

void RealHidCliTest::upgradeOfACameraLeftInUpgradeMode()
{
    attach(Identity::Upgrade);
    const QByteArray dataNode = m_bus->presentNode(kData).devnode;
    const Run result = runCli({"--json", "upgrade", m_imagePath}, 20000);
    QVERIFY2(result.code == 0, result.err.constData());
    QVERIFY(result.onlyJsonOnStdout());

    QStringList phases;
    QVector<int> uploaded;
    QVector<int> written;
    for (const QJsonObject &line : result.jsonLines()) {
        const QString event = line.value("event").toString();
        if (event == QLatin1String("phase"))
            phases << line.value("phase").toString();
        else if (event == QLatin1String("upload"))
            uploaded << line.value("percent").toInt();
        else if (event == QLatin1String("device-progress"))
            written << line.value("percent").toInt();
    }
    // Straight to the upload: no request to enter upgrade mode.
    QCOMPARE(phases, (QStringList{"upgrade-mode", "uploading", "writing", "rebooting"}));
    QCOMPARE(uploaded.size(), 101);
    for (int i = 0; i < uploaded.size(); ++i)
        QCOMPARE(uploaded.at(i), i);
    QCOMPARE(written, (QVector<int>{20, 60, 100}));

    const QJsonObject last = result.jsonLines().last();
    QCOMPARE(last.value("event").toString(), QStringLiteral("result"));
    QCOMPARE(last.value("started_in").toString(), QStringLiteral("upgrade"));
    QCOMPARE(last.value("old_version").toString(), QString::fromLatin1(kOldVersion));
    QCOMPARE(last.value("new_version").toString(), QString::fromLatin1(kNewVersion));
    QCOMPARE(last.value("bytes").toInt(), kImageSize);
    QCOMPARE(last.value("checksum").toInt(), int(byteSumOf(m_image)));
    QCOMPARE(nodesOf(last.value("device").toObject()).first(), QString::fromLatin1(m_bus->presentNode(kControl).devnode));

    {
        auto camera = m_bus->camera();
        QVERIFY(camera->receivedImage() == m_image);
        QCOMPARE(camera->identity(), Identity::Normal);
        QVERIFY(!framesOn(camera->writtenFrames(), kControl).contains(commandFrame(0x20, 0xD3)));
    }
    QCOMPARE(nodesWithPage(kData).first().devnode, dataNode);
    QCOMPARE(nodesWithPage(kData).first().writes, kDataReports);
}

void RealHidCliTest::faultsEndInTheRightExitCode_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("sent");         // image bytes the error says the camera took; -1: not said
    QTest::addColumn<int>("limitMs");      // the longest the command may take

    const QStringList upgrade{"--timeout", "2", "upgrade", "IMAGE"};
    QTest::newRow("unplugged mid-upload")
        << Fault::UnplugMidUpload << Identity::Upgrade << upgrade << "write-failed" << 100 * kImageBytesPerReport << 5000;
    QTest::newRow("unplugged before the first data report")
        << Fault::UnplugBeforeFirstReport << Identity::Upgrade << upgrade << "write-failed" << 0 << 5000;
    QTest::newRow("unplugged while writing its firmware")
        << Fault::UnplugWhileWriting << Identity::Upgrade << upgrade << "gone" << -1 << 5000;
    QTest::newRow("upload refused") << Fault::StartRefused << Identity::Upgrade << upgrade << "start-refused" << -1 << 5000;
    QTest::newRow("a silent camera")
        << Fault::Silent << Identity::Normal << QStringList{"--timeout", "0.5", "info"} << "timeout" << -1 << 3000;
    QTest::newRow("never back from upgrade mode")
        << Fault::NeverBackFromUpgradeMode << Identity::Normal << QStringList{"--timeout", "1", "enter-upgrade"}
        << "did-not-return" << -1 << 4000;
}

void RealHidCliTest::faultsEndInTheRightExitCode()
{
    QFETCH(Fault, fault);
    QFETCH(Identity, identity);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QFETCH(int, sent);
    QFETCH(int, limitMs);
    arguments.replaceInStrings(QStringLiteral("IMAGE"), m_imagePath);
    attach(identity);
    {
        auto camera = m_bus->camera();
        switch (fault) {
        case Fault::UnplugMidUpload: camera->vanishAfterDataReports(100); break;
        case Fault::UnplugBeforeFirstReport: camera->unplugDuringUpload(sim::UnplugPoint::BeforeFirstDataReport); break;
        case Fault::UnplugWhileWriting: camera->unplugDuringUpload(sim::UnplugPoint::AtCompletion); break;
        case Fault::StartRefused: camera->setStartAck(sim::AckMode::Immediate, 3); break;
        case Fault::Silent: camera->setSilent(true); break;
        case Fault::NeverBackFromUpgradeMode: camera->setUpgradeReturnDelay(std::chrono::hours(1)); break;
        }
    }

    const Run result = runCli(QStringList{"--json"} + arguments, limitMs + 5000);
    QVERIFY2(result.code == 6, result.err.constData());
    QVERIFY2(result.ms < limitMs, qPrintable(QString::number(result.ms)));
    QVERIFY(result.onlyJsonOnStdout());
    QVERIFY(result.jsonLines().last().value("event").toString() != QLatin1String("result"));
    const QJsonObject error = result.error();
    QCOMPARE(error.value("kind").toString(), QStringLiteral("device"));
    QCOMPARE(error.value("reason").toString(), reason);
    QVERIFY(!error.value("message").toString().isEmpty());
    if (sent >= 0)
        QCOMPARE(error.value("sent").toInt(), sent);
    // A cut upload never reached the completion.
    if (fault == Fault::UnplugMidUpload || fault == Fault::UnplugBeforeFirstReport) {
        QCOMPARE(m_bus->camera()->completeChecksum(), -1);
        QCOMPARE(m_bus->camera()->receivedImage(), m_image.left(sent));
    }
}

void RealHidCliTest::stopSignalInEachWait_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("request");   // group << 8 | code: the camera takes the nth of these, then the signal comes
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");  // how the error's message starts; on stderr when the command goes on

    const QStringList upgrade{"upgrade", "IMAGE"};
    QTest::newRow("Ctrl-C during info") << QStringList{"info"} << 0x20B0 << 1 << SIGINT << 130
                                        << "interrupted while waiting for";
    QTest::newRow("SIGTERM while set-mode waits for the acknowledgement")
        << QStringList{"set-mode", "voice"} << 0x2096 << 1 << SIGTERM << 143
        << "stopped by SIGTERM while waiting for CAMERA_SET_MODE_ACK";
    QTest::newRow("Ctrl-C in the 1000 ms acceptance") << upgrade << 0x2200 << 1 << SIGINT << 130
                                                      << "interrupted before the upload. The camera is left in upgrade mode";
    QTest::newRow("Ctrl-C while the camera writes: a warning, and the upgrade ends")
        << upgrade << 0x2202 << 1 << SIGINT << 0 << "the camera is writing its firmware: do not unplug it";
    QTest::newRow("SIGHUP while the version is asked after the restart")
        << upgrade << 0x2006 << 2 << SIGHUP << 129 << "stopped by SIGHUP while waiting for its new version";
}

void RealHidCliTest::stopSignalInEachWait()
{
    // A signal cuts the system hidapi's poll(2) short, and hid_read_timeout
    // returns -1 as for a camera that left: no wait may take it for one.
    QFETCH(QStringList, arguments);
    QFETCH(int, request);
    QFETCH(int, nth);
    QFETCH(int, signal);
    QFETCH(int, code);
    QFETCH(QString, said);
    arguments.replaceInStrings(QStringLiteral("IMAGE"), m_imagePath);
    attach(arguments.first() == QLatin1String("upgrade") ? Identity::Upgrade : Identity::Normal);
    // Every reply comes late, and is lost once the camera falls silent at
    // the signal; the acceptance never comes; the writing takes its time.
    const bool silence = request != 0x2200 && request != 0x2202;
    {
        auto camera = m_bus->camera();
        camera->setReplyDelay(300ms);
        camera->setStartAck(request == 0x2200 ? sim::AckMode::Never : sim::AckMode::Immediate);
        camera->setProgressPlan({20, 60, 100}, 400ms, 300ms, kNewVersion);
    }

    bool signalled = false;
    const Run result = runCli(QStringList{"--json"} + arguments, 20000, [&](pthread_t command) {
        const auto taken = [&] {
            int count = 0;
            for (const QByteArray &frame : framesOn(m_bus->camera()->writtenFrames(), kControl))
                count += (quint8(frame.at(3)) << 8 | quint8(frame.at(4))) == request;
            return count >= nth;
        };
        if (QTest::qWaitFor(taken, 15000)) {
            m_bus->camera()->setSilent(silence);
            signalled = pthread_kill(command, signal) == 0;
        }
    });
    QVERIFY(signalled);
    QVERIFY2(result.code == code, result.err.constData());
    if (code == 0) {
        QVERIFY2(result.err.contains(said.toUtf8()), result.err.constData());
        QCOMPARE(result.jsonLines().last().value("new_version").toString(), QString::fromLatin1(kNewVersion));
        return;
    }
    QCOMPARE(result.error().value("exit_code").toInt(), code);
    QCOMPARE(result.error().value("reason").toString(), result.error().value("kind").toString());
    QVERIFY2(result.error().value("message").toString().startsWith(said), result.err.constData());
}

void RealHidCliTest::oneCommandAtATime_data()
{
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<bool>("together");   // else once the first uploads

    // The first, an upgrade, took the camera in normal mode: the key is the
    // same in upgrade mode, the USB port both identities are plugged into.
    QTest::newRow("an upgrade holds it across the switch: enter-upgrade is refused")
        << Identity::Normal << QStringList{"--json", "enter-upgrade"} << false;
    QTest::newRow("two upgrades started together: one of them")
        << Identity::Upgrade << QStringList{"--json", "upgrade", "IMAGE"} << true;
}

void RealHidCliTest::oneCommandAtATime()
{
    QFETCH(Identity, identity);
    QFETCH(QStringList, second);
    QFETCH(bool, together);
    second.replaceInStrings(QStringLiteral("IMAGE"), m_imagePath);
    attach(identity);
    // The camera writes for a while, in upgrade mode.
    m_bus->camera()->setProgressPlan({50, 100}, 400ms, 300ms, kNewVersion);

    Run other;
    const Run first = runCli({"--json", "upgrade", m_imagePath}, 20000, [&](pthread_t) {
        if (!together)
            QVERIFY(QTest::qWaitFor([&] { return !framesOn(m_bus->camera()->writtenFrames(), kData).isEmpty(); }, 10000));
        other = runCli(second, 20000);
    });
    const Run &loser = first.code == 0 ? other : first;
    QVERIFY2((first.code == 0) != (other.code == 0), first.err + other.err);
    QVERIFY2(loser.code == 8, loser.err.constData());
    QCOMPARE(loser.error().value("holder").toObject().value("program").toString(), QStringLiteral("tst_realhid_cli"));
    QVERIFY2(loser.error().value("lock").toString().endsWith("/kelvora-camera.usb-0000:00:14.0-1.lock"),
             loser.err.constData());
    // One image went to the camera, once.
    QVERIFY(m_bus->camera()->receivedImage() == m_image);
    QCOMPARE(framesOn(m_bus->camera()->writtenFrames(), kData).size(), kDataReports);
    QCOMPARE(m_bus->camera()->version(), kNewVersion);
}

void RealHidCliTest::doctor_data()
{
    QTest::addColumn<QString>("rules");       // the rules folder: both identities, the normal one, none
    QTest::addColumn<QString>("untagged");     // the vendor nodes without udev tags: "data", "control data" or none
    QTest::addColumn<uint>("owner");           // of both vendor nodes, with group root
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("remote");          // the session is an SSH login
    QTest::addColumn<bool>("hideData");        // the data node is not in /dev
    QTest::addColumn<QString>("statuses");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");         // in the human form

    const auto statuses = [](const char *nodes, const char *rule, const char *tags, const char *session,
                             const char *sandbox) {
        return QStringLiteral("bus:ok nodes:%1 rule:%2 tags:%3 session:%4 sandbox:%5 backend:ok")
            .arg(QLatin1String(nodes), QLatin1String(rule), QLatin1String(tags), QLatin1String(session),
                 QLatin1String(sandbox));
    };
    // The emulated nodes cannot carry the ACL uaccess would give; the user's
    // own node stands for a node this user may open.
    QTest::newRow("all well") << "both" << "" << kNobody << 0600u << false << false
                              << statuses("ok", "ok", "ok", "ok", "ok") << 0 << "opens, as its owner";
    QTest::newRow("a node of root's group") << "both" << "" << 0u << 0660u << false << false
                                            << statuses("ok", "ok", "ok", "ok", "ok") << 0 << "through its group root";
    QTest::newRow("no rule installed") << "none" << "control data" << 0u << 0600u << false << false
                                       << statuses("problem", "problem", "problem", "ok", "ok") << 10
                                       << "/rules-none/70-com.kelvora.CameraConfig.rules >/dev/null <<'EOF'";
    QTest::newRow("remote session") << "both" << "" << 0u << 0600u << true << false
                                    << statuses("problem", "ok", "ok", "problem", "ok") << 10
                                    << "a remote login from 192.0.2.7 through sshd";
    QTest::newRow("only the normal identity covered") << "camera" << "" << kNobody << 0600u
                                                      << false << false << statuses("ok", "problem", "ok", "ok", "ok")
                                                      << 10 << "no rule covers the camera in upgrade mode";
    QTest::newRow("data node made before the rule") << "both" << "data" << 0u << 0600u << false << false
                                                    << statuses("problem", "ok", "problem", "ok", "ok") << 10
                                                    << "sudo udevadm trigger --subsystem-match=hidraw";
    QTest::newRow("data node hidden from /dev") << "both" << "" << kNobody << 0600u << false
                                                << true << statuses("problem", "ok", "ok", "ok", "problem") << 10
                                                << "is on the bus but not in /dev";
}

void RealHidCliTest::doctor()
{
    QFETCH(QString, rules);
    QFETCH(QString, untagged);
    QFETCH(uint, owner);
    QFETCH(uint, mode);
    QFETCH(bool, remote);
    QFETCH(bool, hideData);
    QFETCH(QString, statuses);
    QFETCH(int, code);
    QFETCH(QString, said);
    if (untagged.contains("control"))
        m_bus->setUdevTags(kControl, QByteArray());
    if (untagged.contains("data"))
        m_bus->setUdevTags(kData, QByteArray());
    attach(Identity::Normal);
    for (const quint16 page : {kControl, kData})
        m_bus->setNodeAccess(page, owner, 0, mode);
    if (hideData)
        QVERIFY(m_bus->hideNode(kData));
    QVERIFY(m_logind.setRemote(remote));
    const QStringList arguments{"doctor", "--udev-rules-dir", m_dir.filePath(QStringLiteral("rules-") + rules)};
    Run json;
    Run human;
    {
        realhid::UnprivilegedScope user;
        QVERIFY2(user.unprivileged(), "cannot switch to an unprivileged user");
        json = runCli(QStringList{"--json"} + arguments);
        human = runCli(arguments);
    }

    QVERIFY2(json.code == code, json.out.constData());
    QCOMPARE(human.code, code);
    QStringList found;
    for (const QJsonValue &check : json.json().value("checks").toArray())
        found << check.toObject().value("check").toString() + ':' + check.toObject().value("status").toString();
    QVERIFY2(found.join(' ') == statuses, qPrintable(human.out));
    QCOMPARE(json.json().value("ok").toBool(), code == 0);
    QCOMPARE(json.json().value("user").toString(), QStringLiteral("nobody"));
    QVERIFY2(human.out.contains(said.toUtf8()), human.out.constData());
    QVERIFY(json.err.isEmpty());

    // What the nodes check read: the owner and mode given, and access(2)'s answer.
    const QJsonArray nodes = json.json().value("checks").toArray().at(1).toObject().value("facts").toObject()
                                 .value("nodes").toArray();
    QCOMPARE(nodes.size(), 2);
    const QJsonObject control = nodes.at(0).toObject();
    QCOMPARE(control.value("node").toString(), QString::fromLatin1(m_bus->presentNode(kControl).devnode));
    QCOMPARE(control.value("owner").toString(), owner == 0 ? QStringLiteral("root") : QStringLiteral("nobody"));
    QCOMPARE(control.value("mode").toString(), QStringLiteral("0%1").arg(mode, 3, 8, QLatin1Char('0')));
    QCOMPARE(control.value("access").toString(), statuses.contains("nodes:ok") || hideData ? "open" : "denied");
    // Looking is not opening: doctor opened nothing and sent the camera nothing.
    for (const realhid::NodeRecord &node : m_bus->nodes())
        QCOMPARE(node.opened, 0);
    QVERIFY(m_bus->camera()->writtenFrames().isEmpty());
}

QTEST_GUILESS_MAIN(RealHidCliTest)
#include "tst_realhid_cli.moc"
