// The command-line tool's commands, run in-process against the virtual
// camera: what each prints, the exit code it gives, what reached the camera,
// and how it meets every fault the window's tests inject. No case may hang
// past its time-out or end in success when the camera did not do the job.

#include "VirtualCamera.h"
#include "support/Bytes.h"
#include "support/CliRun.h"

#include "cli/Cli.h"
#include "cli/Output.h"
#include "protocol/CameraLock.h"
#include "protocol/CommandFrame.h"
#include "protocol/FirmwarePackage.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using sim::Identity;

namespace {

constexpr int kImageSize = 5000;   // ten data reports, the last one short
const QByteArray kNewVersion("V9.9.9");

using Run = CliRun;


// Runs the tool in-process; `sink`, when given, takes stdout (not read back).
Run run(const QStringList &arguments, bool terminal = false, FILE *sink = nullptr)
{
    FILE *out = sink ? sink : std::tmpfile();
    FILE *err = std::tmpfile();
    if (!out || !err)
        qFatal("no temporary files");
    QElapsedTimer clock;
    clock.start();
    Run result;
    result.code = cli::runCli(arguments, out, err, terminal);
    result.ms = clock.elapsed();
    if (sink)
        std::fclose(sink);
    else
        result.out = cli::readBack(out);
    result.err = cli::readBack(err);
    return result;
}

// Where stdout goes when it cannot take the output.
enum class Sink {
    FullDisk,            // /dev/full: ENOSPC
    ReaderGone,          // a pipe whose reading end is closed: EPIPE, and SIGPIPE
    ReaderGoneAfterTwo,  // a reader that takes two lines and goes away, as `| head -n 2`
};

FILE *openSink(Sink sink)
{
    static int linesLeft = 0;
    const auto takeTwoLines = [](void *, const char *bytes, size_t size) -> ssize_t {
        if (linesLeft <= 0) {
            errno = EPIPE;
            return -1;
        }
        linesLeft -= int(std::count(bytes, bytes + size, '\n'));
        return ssize_t(size);
    };
    int ends[2];
    switch (sink) {
    case Sink::FullDisk:
        return std::fopen("/dev/full", "w");
    case Sink::ReaderGone:
        return ::pipe(ends) == 0 && ::close(ends[0]) == 0 ? ::fdopen(ends[1], "w") : nullptr;
    case Sink::ReaderGoneAfterTwo:
        linesLeft = 2;
        return ::fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, takeTwoLines, nullptr, nullptr});
    }
    return nullptr;
}

// A package of `image` at `version`, as pack writes it; `edit` may change
// its metainfo first, and `files` replaces the cabinet's files when given.
QByteArray packageOf(const QByteArray &image, const QString &version,
                     const std::function<void(QByteArray &metainfo)> &edit = {},
                     QVector<package::CabinetFile> files = {})
{
    package::Release release{*package::parseVersion(version), QDate(2026, 12, 8), QStringLiteral("Notes.")};
    QByteArray metainfo = package::metainfoFor(release, image);
    if (edit)
        edit(metainfo);
    if (files.isEmpty())
        files = {{"firmware.metainfo.xml", metainfo}, {"firmware.bin", image}};
    QString error;
    const QByteArray bytes = package::cabinet(files, release.date, &error);
    if (bytes.isEmpty())
        qFatal("no package: %s", qPrintable(error));
    return bytes;
}

// Replaces `from` with `to` in the text, which must hold it.
std::function<void(QByteArray &)> replacing(const QByteArray &from, const QByteArray &to)
{
    return [from, to](QByteArray &text) {
        if (!text.contains(from))
            qFatal("no '%s' to replace", from.constData());
        text.replace(from, to);
    };
}

quint8 sumOf(const QByteArray &bytes)
{
    return frame::byteSum(reinterpret_cast<const quint8 *>(bytes.constData()), size_t(bytes.size()));
}

// The faults of an upgrade, each set up on the camera before the run.
enum class Fault {
    None,
    StartRefused,
    NoAcceptance,
    LateAcceptance,
    TooLateAcceptance,
    DamagedAcceptance,
    WrongReportIdAcceptance,
    WritesFailTwice,
    WritesFailThrice,
    UnplugBeforeStream,
    UnplugDuringStream,
    UnplugAfterStream,
    UnplugAtCompletion,
    UnplugAfterCompletionAck,
    DuplicateReplies,
    JunkBetweenReplies,
    NeverReturns,
    SilentLoader,
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Sink)
Q_DECLARE_METATYPE(Identity)

class CliCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void infoInEitherIdentity();
    void listShowsDevicesAndAccess();
    void choosingAmongSeveralCameras_data();
    void choosingAmongSeveralCameras();
    void nodeThatDoesNotOpen();
    void noCamera();
    void doctorOnTheVirtualCamera();
    void setMode_data();
    void setMode();
    void setModeInUpgradeMode();
    void replyFaults_data();
    void replyFaults();
    void enterUpgrade();
    void enterUpgradeCameraNeverReturns();
    void upgrade_data();
    void upgrade();
    void upgradeRecoveryPath();
    void upgradeWithPackage_data();
    void upgradeWithPackage();
    void refusedImagesTouchNoCamera_data();
    void refusedImagesTouchNoCamera();
    void progressOnTerminalAndElsewhere();
    void verboseLogGoesToStderr();
    void deviceTextIsShownNotActedOn_data();
    void deviceTextIsShownNotActedOn();
    void outputThatCannotBeWritten_data();
    void outputThatCannotBeWritten();
    void cameraHeldByAnotherProgram_data();
    void cameraHeldByAnotherProgram();

private:
    QString writeImage(const QString &name, const QByteArray &content);

    sim::VirtualCamera &m_camera = sim::VirtualCamera::instance();
    QTemporaryDir m_dir;
    QString m_image;
    QByteArray m_imageBytes;
};

void CliCommandsTest::init()
{
    m_camera.reset();
    m_camera.setReadWaits(true);
    m_camera.setVersion("V1.0.0");
    m_camera.setUvcName("Test Camera");
    m_camera.setMode(1);
    m_camera.setUpgradeReturnDelay(50ms);
    m_camera.setProgressPlan({0, 40, 80, 100}, 10ms, 30ms, kNewVersion);
    m_camera.attach(Identity::Normal);
    m_imageBytes = noiseImage(kImageSize);
    m_image = writeImage(QStringLiteral("image.bin"), m_imageBytes);
}

void CliCommandsTest::cleanup()
{
    // Every command closes what it opened and ends hidapi after.
    QCOMPARE(m_camera.openHandleCount(), 0);
    QVERIFY(!m_camera.exitedWithOpenHandles());
    QCOMPARE(m_camera.doubleCloses(), 0);
    QCOMPARE(m_camera.formatViolations(), QStringList());
}

QString CliCommandsTest::writeImage(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void CliCommandsTest::infoInEitherIdentity()
{
    Run result = run({"info"});
    QCOMPARE(result.code, 0);
    QVERIFY(result.out.contains("Test Camera"));
    QVERIFY(result.out.contains("V1.0.0"));
    QVERIFY(result.out.contains("auto (AutoFraming, value 1)"));
    QVERIFY(result.err.isEmpty());

    result = run({"--json", "info"});
    QCOMPARE(result.code, 0);
    QJsonObject json = result.json();
    QCOMPARE(json.value("identity").toString(), QStringLiteral("camera"));
    QCOMPARE(json.value("version").toString(), QStringLiteral("V1.0.0"));
    QCOMPARE(json.value("name").toString(), QStringLiteral("Test Camera"));
    QCOMPARE(json.value("mode").toObject().value("keyword").toString(), QStringLiteral("auto"));
    QCOMPARE(json.value("device").toObject().value("serial").toString(), QStringLiteral("SIM0001"));

    m_camera.attach(Identity::Upgrade);
    result = run({"--json", "info"});
    QCOMPARE(result.code, 0);
    json = result.json();
    QCOMPARE(json.value("identity").toString(), QStringLiteral("upgrade"));
    QCOMPARE(json.value("version").toString(), QStringLiteral("V1.0.0"));
    QVERIFY(json.value("mode").isNull());
    QVERIFY(run({"info"}).out.contains("upgrade mode"));
}

void CliCommandsTest::listShowsDevicesAndAccess()
{
    m_camera.attachSecond(Identity::Normal);
    m_camera.setSecondListed(true);
    m_camera.setOpenFails(sim::kDataUsagePage, true);
    Run result = run({"--json", "list"});
    QCOMPARE(result.code, 0);
    const QJsonArray devices = result.json().value("devices").toArray();
    QCOMPARE(devices.size(), 2);
    const QJsonArray nodes = devices.at(0).toObject().value("interfaces").toArray();
    QCOMPARE(nodes.size(), 2);
    QCOMPARE(nodes.at(0).toObject().value("role").toString(), QStringLiteral("control"));
    QCOMPARE(nodes.at(0).toObject().value("access").toString(), QStringLiteral("open"));
    QCOMPARE(nodes.at(1).toObject().value("role").toString(), QStringLiteral("data"));
    QCOMPARE(nodes.at(1).toObject().value("access").toString(), QStringLiteral("failed"));
    QCOMPARE(devices.at(1).toObject().value("serial").toString(), QStringLiteral("SIM0002"));
    QVERIFY(result.json().value("fix").toArray().size() > 0);

    // The human form names the fix: the rule, udevadm, the local seat.
    result = run({"list"});
    QCOMPARE(result.code, 0);
    QVERIFY(result.out.contains("does not open"));
    QVERIFY(result.out.contains("70-com.kelvora.CameraConfig.rules"));
    QVERIFY(result.out.contains("udevadm control --reload-rules"));
    QVERIFY(result.out.contains("udevadm trigger --subsystem-match=hidraw"));
    QVERIFY(result.out.contains("log in at the computer itself"));

    // --device narrows the list.
    result = run({"--json", "--device", "SIM0002", "list"});
    QCOMPARE(result.json().value("devices").toArray().size(), 1);
}

void CliCommandsTest::choosingAmongSeveralCameras_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");   // on success, the serial of the camera that answered when not SIM0001

    QTest::newRow("no --device refuses to guess") << QStringList{"info"} << 4 << "several-cameras";
    QTest::newRow("set-mode refuses too") << QStringList{"set-mode", "full"} << 4 << "several-cameras";
    QTest::newRow("upgrade refuses too") << QStringList{"upgrade", "IMAGE"} << 4 << "several-cameras";
    QTest::newRow("by serial") << QStringList{"--device", "SIM0001", "info"} << 0 << "";
    QTest::newRow("by node") << QStringList{"--device", "sim:2207:2008:0", "info"} << 0 << "";
    QTest::newRow("a serial nobody has") << QStringList{"--device", "NOPE", "info"} << 3 << "no-match";
    QTest::newRow("list, a serial nobody has") << QStringList{"--device", "NOPE", "list"} << 3 << "no-match";
    QTest::newRow("the second one answers") << QStringList{"--device", "SIM0002", "--timeout", "1", "info"} << 0
                                            << "SIM0002";
    QTest::newRow("the second one takes a mode of its own")
        << QStringList{"--device", "SIM0002", "--timeout", "1", "set-mode", "gallery"} << 0 << "SIM0002";
    QTest::newRow("a silent second one times out")
        << QStringList{"--device", "SIM0002", "--timeout", "0.2", "info"} << 6 << "timeout";
}

void CliCommandsTest::choosingAmongSeveralCameras()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, reason);
    m_camera.attachSecond(Identity::Normal);
    m_camera.setSecondListed(true);
    m_camera.setSilent(reason == QLatin1String("timeout"));
    arguments.replaceInStrings("IMAGE", m_image);

    const Run result = run(QStringList{"--json"} + arguments);
    QVERIFY2(result.code == code, result.err.constData());
    if (code == 0) {
        QCOMPARE(result.json().value("device").toObject().value("serial").toString(),
                 reason.isEmpty() ? QStringLiteral("SIM0001") : reason);
        if (arguments.contains("set-mode"))
            QCOMPARE(int(m_camera.mode()), 1);
        return;
    }
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.error().value("reason").toString(), reason);
    QCOMPARE(result.error().value("exit_code").toInt(), code);
    if (code == 4) {
        QCOMPARE(result.error().value("candidates").toArray().size(), 2);
        // Nothing was sent to either camera.
        QVERIFY(m_camera.controlRequests().isEmpty());
    }
}

void CliCommandsTest::nodeThatDoesNotOpen()
{
    m_camera.setOpenFails(sim::kControlUsagePage, true);
    const Run result = run({"info"});
    QCOMPARE(result.code, 5);
    QVERIFY(result.out.isEmpty());
    QVERIFY(result.err.contains("sim:2207:2008:0"));
    QVERIFY(result.err.contains("udevadm"));
    const Run json = run({"--json", "set-mode", "voice"});
    QCOMPARE(json.code, 5);
    QCOMPARE(json.error().value("kind").toString(), QStringLiteral("no-access"));
    QCOMPARE(json.error().value("node").toString(), QStringLiteral("sim:2207:2008:0"));
}

void CliCommandsTest::noCamera()
{
    m_camera.detach();
    for (const QStringList &arguments : {QStringList{"info"}, QStringList{"set-mode", "auto"},
                                         QStringList{"enter-upgrade"}, QStringList{"upgrade", m_image}}) {
        const Run result = run(QStringList{"--json"} + arguments);
        QCOMPARE(result.code, 3);
        QCOMPARE(result.error().value("kind").toString(), QStringLiteral("no-camera"));
    }
    // Listing nothing is an answer, not an error.
    const Run list = run({"--json", "list"});
    QCOMPARE(list.code, 0);
    QCOMPARE(list.json().value("devices").toArray().size(), 0);
}

void CliCommandsTest::doctorOnTheVirtualCamera()
{
    // Interfaces without usage pages, as hidapi's libusb backend lists them.
    m_camera.attach(Identity::Normal, {sim::InterfaceSpec{0, 0, 0}, sim::InterfaceSpec{0, 0, 1}});
    const QStringList doctor{"doctor", "--udev-rules-dir", m_dir.path()};
    Run result = run(QStringList{"--json"} + doctor);
    QCOMPARE(result.code, 10);
    QVERIFY(result.err.isEmpty());
    QStringList checks;
    for (const QJsonValue &check : result.json().value("checks").toArray())
        checks << check.toObject().value("check").toString() + ':' + check.toObject().value("status").toString();
    // Whatever the machine says of its session and sandbox, the camera's
    // side is judged from the bus: its interfaces cannot be told apart.
    QCOMPARE(checks.mid(0, 4), (QStringList{"bus:ok", "nodes:ok", "rule:problem", "tags:warning"}));
    QCOMPARE(checks.value(6), QStringLiteral("backend:problem"));
    QCOMPARE(result.json().value("problems").toInt() >= 2, true);
    QVERIFY(m_camera.controlRequests().isEmpty());

    m_camera.detach();
    result = run(doctor);
    QCOMPARE(result.code, 10);
    QVERIFY2(result.out.contains("\nskipped  Access to its nodes: no camera on the bus to check\n"), result.out.constData());
    QVERIFY(result.out.contains("\n           lsusb -d 2207:2008\n           lsusb -d 1d6b:0102\n"));
    QVERIFY(result.out.contains("problems keep the camera from being used"));
}

void CliCommandsTest::setMode_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("changed");

    QTest::newRow("by word") << "voice" << 2 << true;
    QTest::newRow("gallery is 8") << "gallery" << 8 << true;
    QTest::newRow("by device value") << "0" << 0 << true;
    QTest::newRow("the mode it has already") << "auto" << 1 << false;
}

void CliCommandsTest::setMode()
{
    QFETCH(QString, asked);
    QFETCH(int, value);
    QFETCH(bool, changed);
    const Run result = run({"--json", "set-mode", asked});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.json().value("changed").toBool(), changed);
    QCOMPARE(result.json().value("mode").toObject().value("value").toInt(), value);
    QCOMPARE(int(m_camera.mode()), value);
    // A change is written once and checked with a second look at the mode.
    int setRequests = 0;
    int modeRequests = 0;
    for (const QByteArray &request : m_camera.controlRequests()) {
        const frame::Command command{quint8(request.at(frame::kGroupOffset)), quint8(request.at(frame::kCodeOffset))};
        setRequests += command == frame::CAMERA_SET_MODE;
        modeRequests += command == frame::CAMERA_GET_MODE;
    }
    QCOMPARE(setRequests, changed ? 1 : 0);
    QCOMPARE(modeRequests, changed ? 2 : 1);
}

void CliCommandsTest::setModeInUpgradeMode()
{
    m_camera.attach(Identity::Upgrade);
    const Run result = run({"--json", "set-mode", "voice"});
    QCOMPARE(result.code, 6);
    QCOMPARE(result.error().value("reason").toString(), QStringLiteral("upgrade-mode"));
}

void CliCommandsTest::replyFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("hint");   // in the error, when it fails

    QTest::newRow("late replies inside the wait") << 0 << 0 << "";
    QTest::newRow("replies later than --timeout") << 1 << 6 << "";
    QTest::newRow("every reply twice") << 2 << 0 << "";
    QTest::newRow("junk before every reply") << 3 << 0 << "";
    QTest::newRow("wrong checksums") << 4 << 6 << "wrong checksum";
    QTest::newRow("wrong report IDs") << 5 << 6 << "wrong header";
    QTest::newRow("a silent camera") << 6 << 6 << "";
    QTest::newRow("reads fail") << 7 << 6 << "";
}

void CliCommandsTest::replyFaults()
{
    QFETCH(int, fault);
    QFETCH(int, code);
    QFETCH(QString, hint);
    switch (fault) {
    case 0: m_camera.setReplyDelay(150ms); break;
    case 1: m_camera.setReplyDelay(600ms); break;
    case 2: m_camera.setDuplicateReplies(2); break;
    case 3: m_camera.setGarbageBeforeReplies(4, 7); break;
    case 4: m_camera.damageNextReplies(sim::ReplyDamage::Checksum, 1000); break;
    case 5: m_camera.damageNextReplies(sim::ReplyDamage::ReportId, 1000); break;
    case 6: m_camera.setSilent(true); break;
    case 7: m_camera.setReadFails(true); break;
    }
    for (const QStringList &arguments : {QStringList{"info"}, QStringList{"set-mode", "voice"}}) {
        const Run result = run(QStringList{"--json", "--timeout", "0.4"} + arguments);
        QCOMPARE(result.code, code);
        // A wait ends at its time-out, not later (with room for a loaded machine).
        QVERIFY2(result.ms < 3000, qPrintable(QString::number(result.ms)));
        if (code != 0) {
            QVERIFY(result.out.isEmpty());
            QVERIFY(!result.error().value("message").toString().isEmpty());
            if (!hint.isEmpty())
                QVERIFY2(result.error().value("hints").toArray().first().toString().contains(hint),
                         result.err.constData());
        }
    }
}

void CliCommandsTest::enterUpgrade()
{
    Run result = run({"--json", "enter-upgrade"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.json().value("changed").toBool(), true);
    QCOMPARE(result.json().value("device").toObject().value("identity").toString(), QStringLiteral("upgrade"));
    QCOMPARE(m_camera.identity(), Identity::Upgrade);
    QVERIFY(m_camera.isAttached());

    result = run({"--json", "enter-upgrade"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.json().value("changed").toBool(), false);
}

void CliCommandsTest::enterUpgradeCameraNeverReturns()
{
    m_camera.setUpgradeReturnDelay(std::chrono::hours(1));
    const Run result = run({"--json", "--timeout", "0.3", "enter-upgrade"});
    QCOMPARE(result.code, 6);
    QCOMPARE(result.error().value("reason").toString(), QStringLiteral("did-not-return"));
    QVERIFY(result.ms < 3000);
}

void CliCommandsTest::upgrade_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");

    QTest::newRow("the whole road") << Fault::None << 0 << "";
    QTest::newRow("acceptance late, inside 1000 ms") << Fault::LateAcceptance << 0 << "";
    QTest::newRow("two failed writes of one report") << Fault::WritesFailTwice << 0 << "";
    QTest::newRow("every reply twice") << Fault::DuplicateReplies << 0 << "";
    QTest::newRow("junk between replies") << Fault::JunkBetweenReplies << 0 << "";
    QTest::newRow("a silent camera in upgrade mode") << Fault::SilentLoader << 6 << "no-acceptance";
    QTest::newRow("start refused") << Fault::StartRefused << 6 << "start-refused";
    QTest::newRow("no acceptance") << Fault::NoAcceptance << 6 << "no-acceptance";
    QTest::newRow("acceptance after 1000 ms") << Fault::TooLateAcceptance << 6 << "no-acceptance";
    QTest::newRow("acceptance with a wrong checksum") << Fault::DamagedAcceptance << 6 << "no-acceptance";
    QTest::newRow("acceptance with a wrong report ID") << Fault::WrongReportIdAcceptance << 6 << "no-acceptance";
    QTest::newRow("three failed writes of one report") << Fault::WritesFailThrice << 6 << "write-failed";
    QTest::newRow("unplugged before the stream") << Fault::UnplugBeforeStream << 6 << "write-failed";
    QTest::newRow("unplugged during the stream") << Fault::UnplugDuringStream << 6 << "write-failed";
    QTest::newRow("unplugged after the stream") << Fault::UnplugAfterStream << 6 << "gone";
    QTest::newRow("unplugged at the completion") << Fault::UnplugAtCompletion << 6 << "gone";
    QTest::newRow("unplugged after acknowledging it") << Fault::UnplugAfterCompletionAck << 6 << "gone";
    QTest::newRow("never back from upgrade mode") << Fault::NeverReturns << 6 << "did-not-return";
}

void CliCommandsTest::upgrade()
{
    QFETCH(Fault, fault);
    QFETCH(int, code);
    QFETCH(QString, reason);
    switch (fault) {
    case Fault::None: break;
    case Fault::StartRefused: m_camera.setStartAck(sim::AckMode::Immediate, 3); break;
    case Fault::NoAcceptance: m_camera.setStartAck(sim::AckMode::Never); break;
    case Fault::LateAcceptance: m_camera.setStartAck(sim::AckMode::Delayed, 0, 400ms); break;
    case Fault::TooLateAcceptance: m_camera.setStartAck(sim::AckMode::Delayed, 0, 1300ms); break;
    case Fault::WritesFailTwice: m_camera.failNextDataWrites(2); break;
    case Fault::WritesFailThrice: m_camera.failNextDataWrites(3); break;
    case Fault::UnplugBeforeStream: m_camera.unplugDuringUpload(sim::UnplugPoint::BeforeFirstDataReport); break;
    case Fault::UnplugDuringStream: m_camera.vanishAfterDataReports(4); break;
    case Fault::UnplugAfterStream: m_camera.unplugDuringUpload(sim::UnplugPoint::AfterLastDataReport); break;
    case Fault::UnplugAtCompletion: m_camera.unplugDuringUpload(sim::UnplugPoint::AtCompletion); break;
    case Fault::UnplugAfterCompletionAck: m_camera.unplugDuringUpload(sim::UnplugPoint::AfterCompletionAck); break;
    case Fault::DuplicateReplies: m_camera.setDuplicateReplies(1); break;
    case Fault::JunkBetweenReplies: m_camera.setGarbageBeforeReplies(3, 11); break;
    case Fault::NeverReturns: m_camera.setProgressPlan({0, 100}, 10ms, std::chrono::hours(1), kNewVersion); break;
    case Fault::SilentLoader: break;
    case Fault::DamagedAcceptance:
    case Fault::WrongReportIdAcceptance:
        break;   // set once the camera is in upgrade mode, below
    }
    if (fault == Fault::DamagedAcceptance || fault == Fault::WrongReportIdAcceptance || fault == Fault::SilentLoader) {
        // Straight in upgrade mode, so the damage hits the acceptance.
        m_camera.attach(Identity::Upgrade);
        if (fault == Fault::SilentLoader)
            m_camera.setSilent(true);
        else
            m_camera.damageNextReplies(fault == Fault::DamagedAcceptance ? sim::ReplyDamage::Checksum
                                                                         : sim::ReplyDamage::ReportId, 2);
    }

    const Run result = run({"--json", "--timeout", "2", "upgrade", m_image});
    QVERIFY2(result.code == code, result.err.constData());
    QVERIFY2(result.ms < 8000, qPrintable(QString::number(result.ms)));
    // stdout carries nothing but JSON lines, whatever happened.
    for (const QByteArray &line : result.out.trimmed().split('\n')) {
        if (!line.isEmpty())
            QVERIFY2(QJsonDocument::fromJson(line).isObject(), line.constData());
    }
    if (code == 0) {
        const QJsonObject last = result.lastJsonLine();
        QCOMPARE(last.value("event").toString(), QStringLiteral("result"));
        QCOMPARE(last.value("new_version").toString(), QString::fromLatin1(kNewVersion));
        QCOMPARE(m_camera.receivedImage(), m_imageBytes);
        QCOMPARE(m_camera.completeChecksum(), int(sumOf(m_imageBytes)));
        QCOMPARE(m_camera.identity(), Identity::Normal);
        QCOMPARE(m_camera.version(), kNewVersion);
        QVERIFY(result.err.isEmpty());
        return;
    }
    QCOMPARE(result.error().value("reason").toString(), reason);
    QVERIFY(result.lastJsonLine().value("event").toString() != QLatin1String("result"));
    // A failed upload never told the camera it was complete with the whole image.
    if (reason != QLatin1String("gone") && reason != QLatin1String("did-not-return"))
        QVERIFY(m_camera.completeChecksum() < 0 || m_camera.receivedImage() != m_imageBytes);
}

void CliCommandsTest::upgradeRecoveryPath()
{
    // An earlier upload was cut short: the camera waits in upgrade mode.
    m_camera.attach(Identity::Upgrade);
    const Run result = run({"--json", "upgrade", m_image});
    QVERIFY2(result.code == 0, result.err.constData());
    const QJsonObject last = result.lastJsonLine();
    QCOMPARE(last.value("started_in").toString(), QStringLiteral("upgrade"));
    QCOMPARE(last.value("old_version").toString(), QStringLiteral("V1.0.0"));
    QCOMPARE(m_camera.receivedImage(), m_imageBytes);
    // No request to enter upgrade mode went out.
    for (const QByteArray &request : m_camera.controlRequests())
        QVERIFY(quint8(request.at(frame::kCodeOffset)) != frame::CAMERA_ENTER_UPD.code
                || quint8(request.at(frame::kGroupOffset)) != frame::CAMERA_ENTER_UPD.group);
}

void CliCommandsTest::upgradeWithPackage_data()
{
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QByteArray>("before");     // the camera's version
    QTest::addColumn<QByteArray>("after");      // what it reports after the restart
    QTest::addColumn<QStringList>("options");   // "RAW": the raw image instead of the 2.2.0 package
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("outcome");       // reason of the error, or "written", "skipped", "would-write"

    const QByteArray v22("V2.2.0");
    const auto normal = Identity::Normal;
    const auto loader = Identity::Upgrade;
    QTest::newRow("older camera: upgraded and checked") << normal << QByteArray("V2.1.0") << v22 << QStringList() << 0 << "written";
    QTest::newRow("same version: nothing to do") << normal << v22 << v22 << QStringList() << 0 << "skipped";
    QTest::newRow("same version, 2.2 is 2.2.0") << normal << QByteArray("v2.2") << v22 << QStringList() << 0 << "skipped";
    QTest::newRow("same version, --allow-reinstall") << normal << v22 << v22 << QStringList{"--allow-reinstall"} << 0
                                                     << "written";
    QTest::newRow("newer camera: refused") << normal << QByteArray("V2.10.0") << v22 << QStringList() << 9
                                           << "older-version";
    QTest::newRow("newer camera, --allow-older") << normal << QByteArray("V3.0.0") << v22 << QStringList{"--allow-older"}
                                                 << 0 << "written";
    QTest::newRow("--allow-reinstall does not allow older") << normal << QByteArray("V3.0.0") << v22
                                                            << QStringList{"--allow-reinstall"} << 9 << "older-version";
    QTest::newRow("camera version not a version") << normal << QByteArray("build 7") << v22 << QStringList() << 6
                                                  << "camera-version-unreadable";
    QTest::newRow("camera version not a version, --allow-older") << normal << QByteArray("build 7") << v22
                                                                 << QStringList{"--allow-older"} << 0 << "written";
    QTest::newRow("back with another version") << normal << QByteArray("V2.1.0") << QByteArray("V2.1.9") << QStringList()
                                               << 6 << "version-mismatch";
    QTest::newRow("back with no version") << normal << QByteArray("V2.1.0") << QByteArray("") << QStringList() << 6
                                          << "version-mismatch";
    QTest::newRow("upgrade mode, same version: installed again") << loader << v22 << v22 << QStringList() << 0 << "written";
    QTest::newRow("upgrade mode, older camera") << loader << QByteArray("V1.0.0") << v22 << QStringList() << 0 << "written";
    QTest::newRow("upgrade mode, loader version unreadable") << loader << QByteArray("?") << v22 << QStringList() << 0
                                                             << "written";
    QTest::newRow("upgrade mode, newer camera: refused") << loader << QByteArray("V9.0.0") << v22 << QStringList() << 9
                                                         << "older-version";
    QTest::newRow("a raw image: no version checked") << normal << QByteArray("V9.0.0") << QByteArray("V1.0.0")
                                                     << QStringList{"RAW"} << 0 << "written";
    QTest::newRow("dry run: would write") << normal << QByteArray("V2.1.0") << v22 << QStringList{"--dry-run"} << 0
                                          << "would-write";
    QTest::newRow("dry run: same version") << normal << v22 << v22 << QStringList{"--dry-run"} << 0 << "skipped";
    QTest::newRow("dry run: older refused") << normal << QByteArray("V3.0.0") << v22 << QStringList{"--dry-run"} << 9
                                            << "older-version";
    QTest::newRow("dry run: same version, --allow-reinstall") << normal << v22 << v22
                                                              << QStringList{"--dry-run", "--allow-reinstall"} << 0
                                                              << "would-write";
    QTest::newRow("dry run in upgrade mode") << loader << QByteArray("V2.1.0") << v22 << QStringList{"--dry-run"} << 0
                                             << "would-write";
    QTest::newRow("dry run with a raw image") << normal << QByteArray("V2.1.0") << v22 << QStringList{"--dry-run", "RAW"}
                                              << 0 << "would-write";
}

void CliCommandsTest::upgradeWithPackage()
{
    QFETCH(Identity, identity);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, outcome);
    m_camera.setVersion(before);
    m_camera.setProgressPlan({0, 100}, 10ms, 30ms, after);
    if (identity == Identity::Upgrade)
        m_camera.attach(Identity::Upgrade);
    const bool raw = options.removeAll(QStringLiteral("RAW")) > 0;
    const QString path = raw ? m_image : writeImage(QStringLiteral("camera.cab"), packageOf(m_imageBytes, "2.2.0"));

    const Run result = run(QStringList{"--json"} + options + QStringList{"upgrade", path});
    QVERIFY2(result.code == code, result.err.constData());
    QVERIFY(result.onlyJsonOnStdout());
    const bool written = outcome == QLatin1String("written") || outcome == QLatin1String("version-mismatch");
    if (written) {
        QCOMPARE(m_camera.receivedImage(), m_imageBytes);
        QCOMPARE(m_camera.identity(), Identity::Normal);
    } else {
        // Nothing that changes the camera went out.
        QCOMPARE(m_camera.announcedSize(), qint64(-1));
        QCOMPARE(m_camera.identity(), identity);
        for (const QByteArray &request : m_camera.controlRequests())
            QVERIFY(quint8(request.at(frame::kCodeOffset)) != frame::CAMERA_ENTER_UPD.code
                    || quint8(request.at(frame::kGroupOffset)) != frame::CAMERA_ENTER_UPD.group);
    }
    if (code != 0) {
        QCOMPARE(result.error().value("reason").toString(), outcome);
        QVERIFY(result.out.isEmpty() || result.lastJsonLine().value("event").toString() != QLatin1String("result"));
        if (outcome == QLatin1String("older-version"))
            QCOMPARE(result.error().value("package_version").toString(), QStringLiteral("2.2.0"));
        if (outcome == QLatin1String("version-mismatch")) {
            QCOMPARE(result.error().value("new_version").toString(), QString::fromLatin1(after));
            QVERIFY(result.error().value("message").toString().contains("not the package's 2.2.0"));
        }
        return;
    }
    const QJsonObject last = result.lastJsonLine();
    QCOMPARE(last.value("event").toString(), QStringLiteral("result"));
    QCOMPARE(last.value("changed").toBool(), written);
    QCOMPARE(last.value("dry_run").toBool(), options.contains("--dry-run"));
    QCOMPARE(last.value("package_version").toString(), raw ? QString() : QStringLiteral("2.2.0"));
    QCOMPARE(last.value("package_version").isNull(), raw);
    if (outcome == QLatin1String("skipped"))
        QCOMPARE(last.value("skipped").toString(), QStringLiteral("same-version"));
    if (options.contains("--dry-run"))
        QCOMPARE(last.value("would_write").toBool(), outcome == QLatin1String("would-write"));
    if (written) {
        QCOMPARE(last.value("version_checked").toBool(), !raw);
        QCOMPARE(last.value("new_version").toString(), QString::fromLatin1(after));
    }
}

void CliCommandsTest::refusedImagesTouchNoCamera_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("text");

    const QString notRegular = "not a regular file (a directory, a FIFO or a device); give the path of the .bin image.";
    QTest::newRow("no file named") << "" << QByteArray() << "no-file" << "No update file selected.";
    QTest::newRow("missing") << "gone.bin" << QByteArray() << "file-missing" << "Selected file does not exist.";
    QTest::newRow("a folder") << "folder.bin" << QByteArray() << "not-regular-file" << notRegular;
    QTest::newRow("a FIFO") << "fifo.bin" << QByteArray() << "not-regular-file" << notRegular;
    QTest::newRow("not .bin") << "image.img" << QByteArray("x") << "not-bin-file" << "Selected file is not a .bin file.";
    QTest::newRow("empty") << "empty.bin" << QByteArray("") << "empty" << "Selected file is empty.";
    QTest::newRow("blank header") << "blank.bin" << QByteArray(64, '\0') << "blank-header"
                                  << "Selected file appears invalid (all-zero header).";

    // Packages: each fault its own refusal, before the camera is touched.
    const QByteArray image = noiseImage(kImageSize, 7);
    const QByteArray good = packageOf(image, "9.9.9");
    const QByteArray metainfo = package::metainfoFor({{9, 9, 9}, QDate(2026, 12, 8), {}}, image);
    QByteArray damaged = good;
    damaged[damaged.size() - 100] = char(damaged.at(damaged.size() - 100) ^ 0x5A);   // inside the image's data
    QTest::newRow("package: empty") << "p.cab" << QByteArray("") << "empty" << "Selected file is empty.";
    QTest::newRow("package: not a cabinet") << "p.cab" << QByteArray("PK\x03\x04 a zip") << "not-cabinet"
                                            << "not a cabinet: a .cab package starts with \"MSCF\"";
    QTest::newRow("package: cut short") << "p.cab" << good.left(good.size() / 2) << "truncated"
                                        << QStringLiteral("its header gives %1 bytes, the file holds %2").arg(good.size()).arg(good.size() / 2);
    QTest::newRow("package: cut inside its header") << "p.cab" << good.left(20) << "truncated"
                                                    << "the cabinet ends inside its header (20 bytes)";
    QTest::newRow("package: data damaged") << "p.cab" << damaged << "damaged"
                                           << "cannot be read from the cabinet: incorrect checksum detected";
    QTest::newRow("package: no metainfo")
        << "p.cab" << packageOf(image, "9.9.9", {}, {{"firmware.bin", image}}) << "no-metainfo"
        << "the package holds no *.metainfo.xml (it holds firmware.bin)";
    QTest::newRow("package: two metainfo")
        << "p.cab"
        << packageOf(image, "9.9.9", {}, {{"a.metainfo.xml", metainfo}, {"b.metainfo.xml", metainfo}, {"firmware.bin", image}})
        << "several-metainfo" << "the package holds 2 metainfo files (a.metainfo.xml, b.metainfo.xml); it must hold one";
    QTest::newRow("package: metainfo not XML")
        << "p.cab" << packageOf(image, "9.9.9", replacing("</releases>", "</release>")) << "bad-metainfo"
        << "firmware.metainfo.xml is not well-formed XML: Opening and ending tag mismatch. (line 30)";
    QTest::newRow("package: not firmware")
        << "p.cab" << packageOf(image, "9.9.9", replacing("type=\"firmware\"", "type=\"desktop-application\""))
        << "bad-metainfo" << "firmware.metainfo.xml describes a component of type 'desktop-application', not firmware";
    QTest::newRow("package: another device")
        << "p.cab"
        << packageOf(image, "9.9.9", [](QByteArray &xml) {
               for (const QString &guid : package::cameraGuids())
                   replacing(guid.toLatin1(), "00000000-1111-5222-8333-444444444444")(xml);
           })
        << "other-device"
        << "it names 00000000-1111-5222-8333-444444444444, 00000000-1111-5222-8333-444444444444, not this camera's "
           "d2a19b2b-1553-5bd4-bbd9-090ffad2d6ce or f0f5f6f6-43e5-5a50-a08e-aec3e9f92a8a";
    QTest::newRow("package: wrong checksum")
        << "p.cab" << packageOf(image, "9.9.9", replacing(package::sha256Hex(image), QByteArray(64, 'a')))
        << "checksum-mismatch" << QStringLiteral("found");
    QTest::newRow("package: no checksum")
        << "p.cab" << packageOf(image, "9.9.9", replacing("type=\"sha256\"", "type=\"sha1\"")) << "no-checksum"
        << "the release carries no sha256 content checksum of its image (only sha1)";
    QTest::newRow("package: a checksum that is none")
        << "p.cab" << packageOf(image, "9.9.9", replacing(package::sha256Hex(image), "not hex")) << "no-checksum"
        << "the release's sha256 checksum 'not hex' is not 64 hex digits";
    QTest::newRow("package: a version that does not parse")
        << "p.cab" << packageOf(image, "9.9.9", replacing("version=\"9.9.9\"", "version=\"9.9.9-rc1\"")) << "bad-version"
        << "the package's version '9.9.9-rc1' is not a version: one to four numbers separated by dots, like 2.2.0";
    QTest::newRow("package: no version")
        << "p.cab" << packageOf(image, "9.9.9", replacing("version=\"9.9.9\"", "")) << "bad-version"
        << "the release in firmware.metainfo.xml has no version";
    QTest::newRow("package: the image of the wrong size")
        << "p.cab"
        << packageOf(image, "9.9.9", replacing(QStringLiteral(">%1<").arg(kImageSize).toLatin1(), ">4096<"))
        << "image-size" << QStringLiteral("holds %1 bytes, but firmware.metainfo.xml gives its size as 4096").arg(kImageSize);
    QTest::newRow("package: an empty image")
        << "p.cab" << packageOf(image, "9.9.9", {}, {{"firmware.metainfo.xml", metainfo}, {"firmware.bin", {}}})
        << "image-size" << "the image firmware.bin is empty";
    QTest::newRow("package: the image missing")
        << "p.cab" << packageOf(image, "9.9.9", {}, {{"firmware.metainfo.xml", metainfo}, {"other.bin", image}})
        << "no-image" << "the image 'firmware.bin' that firmware.metainfo.xml names is not in the package";
    QTest::newRow("package: a blank header") << "p.cab" << packageOf(QByteArray(64, '\0'), "9.9.9") << "blank-header"
                                             << "starts with 16 zero bytes, as no firmware image does";
}

void CliCommandsTest::refusedImagesTouchNoCamera()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, refusal);
    QFETCH(QString, text);
    QString path;
    if (!name.isEmpty()) {
        path = m_dir.filePath(name);
        if (name == QLatin1String("folder.bin"))
            QVERIFY(QDir().mkpath(path));
        else if (name == QLatin1String("fifo.bin"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (name != QLatin1String("gone.bin"))
            writeImage(name, content);
    }
    const Run result = run({"--json", "upgrade", path});
    QCOMPARE(result.code, 7);
    QCOMPARE(result.error().value("reason").toString(), refusal);
    // The refusal named is the window's check, which takes a folder for a missing file.
    QCOMPARE(result.error().value("refusal").toString(), refusal == "not-regular-file" ? "file-missing" : refusal);
    QVERIFY2(result.error().value("message").toString().endsWith(text), result.err.constData());
    QVERIFY(m_camera.controlRequests().isEmpty());
    QCOMPARE(m_camera.identity(), Identity::Normal);
    QCOMPARE(m_camera.totalOpened(), 0);
}

void CliCommandsTest::progressOnTerminalAndElsewhere()
{
    // Not a terminal: one line per 10 %, for the upload and for the writing.
    Run result = run({"upgrade", m_image});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out.count("upload: "), 11);
    QVERIFY(result.out.contains("upload: 100 % (4.9 KiB of 4.9 KiB)"));
    QVERIFY(result.out.contains("writing firmware, do not unplug: 40 %"));
    QVERIFY(!result.out.contains('\r'));
    QVERIFY(result.out.contains("Upgraded: V1.0.0 → V9.9.9"));

    // A terminal: a bar redrawn in place.
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    {
        cli::Output output(out, err, false, true);
        output.uploadProgress(0, 100 * 1024, 0);
        output.uploadProgress(50 * 1024, 100 * 1024, 2.0);
        output.uploadProgress(100 * 1024, 100 * 1024, 4.0);
        output.deviceProgress(60);
        output.finishProgressLine();
    }
    const QByteArray drawn = cli::readBack(out);
    cli::readBack(err);
    QVERIFY(drawn.contains("\r[###############...............] 50.0 KiB / 100.0 KiB  50 %  25.0 KiB/s  0:02 left"));
    QVERIFY(drawn.contains("100 %  25.0 KiB/s\x1b[K"));
    QVERIFY(drawn.contains("writing firmware, do not unplug:  60 %"));
    QVERIFY(drawn.endsWith('\n'));
}

void CliCommandsTest::verboseLogGoesToStderr()
{
    const Run result = run({"-v", "info"});
    QCOMPARE(result.code, 0);
    QVERIFY(result.err.contains("-> CAMERA_GET_VERSION"));
    QVERIFY(result.err.contains("<- CAMERA_GET_MODE_ACK 01"));
    QVERIFY(!result.out.contains("->"));

    // Under --json the log lines are JSON objects too.
    const Run json = run({"-v", "--json", "info"});
    for (const QByteArray &line : json.err.trimmed().split('\n'))
        QVERIFY(QJsonDocument::fromJson(line).object().contains("log"));
    QVERIFY(QJsonDocument::fromJson(json.out).isObject());
}

void CliCommandsTest::deviceTextIsShownNotActedOn_data()
{
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("info") << Identity::Normal << "info" << QByteArray("Camera:   Cam\\x1B]0;owned\\x07era\\x1B[2J");
    QTest::newRow("info in upgrade mode") << Identity::Upgrade << "info" << QByteArray("Version:  V1\\x1B[1A\\x9B2J\n");
    QTest::newRow("upgrade") << Identity::Normal << "upgrade"
                             << QByteArray("Upgraded: V1\\x1B[1A\\x9B2J \xe2\x86\x92 V2\\x1B]2;x\\x07\n");
}

void CliCommandsTest::deviceTextIsShownNotActedOn()
{
    QFETCH(Identity, identity);
    QFETCH(QString, command);
    QFETCH(QByteArray, shown);
    // A retitled terminal, a cleared screen and line, the cursor sent up, a
    // carriage return, DEL, and CSI as a C1 character.
    const QByteArray name("Cam\x1b]0;owned\x07" "era\x1b[2J\x1b[1A\x1b[2K\r\x7f\xc2\x9b" "2J");
    const QByteArray version("V1\x1b[1A\x9b" "2J");
    m_camera.setUvcName(name);
    m_camera.setVersion(version);
    m_camera.setProgressPlan({0, 100}, 10ms, 30ms, "V2\x1b]2;x\x07");
    if (identity == Identity::Upgrade)
        m_camera.attach(Identity::Upgrade);

    const Run result = run(command == QLatin1String("info") ? QStringList{"info"} : QStringList{"upgrade", m_image});
    QVERIFY2(result.code == 0, result.err.constData());
    for (const char *raw : {"\x1b", "\x07", "\r", "\x7f", "\xc2\x9b"})
        QVERIFY2(!(result.out + result.err).contains(raw), result.out.toHex(' ').constData());
    QVERIFY2(result.out.contains(shown), result.out.constData());
    // JSON carries the text as it came.
    if (command == QLatin1String("info")) {
        const QJsonObject json = run({"--json", "info"}).json();
        QCOMPARE(json.value("version").toString(), QString::fromLatin1(version));
        if (identity == Identity::Normal)
            QCOMPARE(json.value("name").toString(), QString::fromLocal8Bit(name));
    }
}

void CliCommandsTest::outputThatCannotBeWritten_data()
{
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Sink>("sink");
    QTest::addColumn<bool>("finished");   // ran to its end, or stopped before it changed the camera

    QTest::newRow("--json info to a full disk") << Identity::Normal << QStringList{"--json", "info"} << Sink::FullDisk
                                                << true;
    QTest::newRow("set-mode to a full disk: the mode is set")
        << Identity::Normal << QStringList{"set-mode", "gallery"} << Sink::FullDisk << true;
    QTest::newRow("upgrade to a full disk: stopped before the switch")
        << Identity::Normal << QStringList{"upgrade", "IMAGE"} << Sink::FullDisk << false;
    QTest::newRow("--json upgrade to a reader that went away: stopped before the switch")
        << Identity::Normal << QStringList{"--json", "upgrade", "IMAGE"} << Sink::ReaderGone << false;
    QTest::newRow("--json upgrade | head -n 2: the upgrade finishes")
        << Identity::Normal << QStringList{"--json", "upgrade", "IMAGE"} << Sink::ReaderGoneAfterTwo << true;
    QTest::newRow("upgrade in upgrade mode to a full disk: nothing announced")
        << Identity::Upgrade << QStringList{"upgrade", "IMAGE"} << Sink::FullDisk << false;
}

void CliCommandsTest::outputThatCannotBeWritten()
{
    QFETCH(Identity, identity);
    QFETCH(QStringList, arguments);
    QFETCH(Sink, sink);
    QFETCH(bool, finished);
    arguments.replaceInStrings("IMAGE", m_image);
    if (identity == Identity::Upgrade)
        m_camera.attach(Identity::Upgrade);
    FILE *out = openSink(sink);
    QVERIFY(out);

    const Run result = run(arguments, false, out);
    QVERIFY2(result.code == 1, result.err.constData());
    const QString message = arguments.first() == QLatin1String("--json")
                                ? result.error().value("message").toString()
                                : QString::fromUtf8(result.err.trimmed()).remove(QStringLiteral("kelvora-camera-cli: "));
    QVERIFY2(message.startsWith("could not write to standard output ("), result.err.constData());
    QVERIFY(message.endsWith(finished ? "; the command itself succeeded" : "; stopped before changing anything on the camera"));

    // The camera is never left half-way: an upgrade that began ends with the
    // new firmware; one stopped early sent nothing that changes the camera.
    if (arguments.contains("set-mode"))
        QCOMPARE(int(m_camera.mode()), 8);
    if (arguments.contains("upgrade")) {
        QCOMPARE(m_camera.version(), finished ? kNewVersion : QByteArray("V1.0.0"));
        QCOMPARE(m_camera.identity(), finished ? Identity::Normal : identity);
        QCOMPARE(m_camera.announcedSize(), finished ? qint64(kImageSize) : qint64(-1));
    }
}

void CliCommandsTest::cameraHeldByAnotherProgram_data()
{
    QTest::addColumn<Identity>("identity");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");

    QTest::newRow("set-mode") << Identity::Normal << QStringList{"set-mode", "voice"} << 8;
    QTest::newRow("enter-upgrade") << Identity::Normal << QStringList{"enter-upgrade"} << 8;
    QTest::newRow("upgrade") << Identity::Normal << QStringList{"upgrade", "IMAGE"} << 8;
    QTest::newRow("upgrade of a camera in upgrade mode") << Identity::Upgrade << QStringList{"upgrade", "IMAGE"} << 8;
    QTest::newRow("a dry run meets what a real run would") << Identity::Normal << QStringList{"upgrade", "--dry-run", "IMAGE"} << 8;
    // They only read.
    QTest::newRow("info answers") << Identity::Normal << QStringList{"info"} << 0;
    QTest::newRow("list answers") << Identity::Upgrade << QStringList{"list"} << 0;
}

void CliCommandsTest::cameraHeldByAnotherProgram()
{
    QFETCH(Identity, identity);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    arguments.replaceInStrings("IMAGE", m_image);
    if (identity == Identity::Upgrade)
        m_camera.attach(Identity::Upgrade);
    discovery::Device device;
    device.serialNumber = QStringLiteral("SIM0001");
    const QString key = cameralock::keyFor(device);
    cameralock::CameraLock other;
    // Free: no command before this one kept it.
    QCOMPARE(other.take(key), cameralock::Outcome::Taken);

    const Run json = run(QStringList{"--json"} + arguments);
    const Run human = run(arguments);
    QVERIFY2(json.code == code && human.code == code, json.err.constData());
    if (code == 0)
        return;
    const QString holder = QStringLiteral("tst_cli_commands (pid %1)").arg(::getpid());
    QCOMPARE(json.error().value("kind").toString(), QStringLiteral("in-use"));
    QCOMPARE(json.error().value("reason").toString(), QStringLiteral("in-use"));
    QCOMPARE(json.error().value("message").toString(), QStringLiteral("the camera is in use by ") + holder);
    QCOMPARE(json.error().value("holder").toObject().value("pid").toInt(), int(::getpid()));
    QCOMPARE(json.error().value("lock").toString(), cameralock::lockFile(key));
    QVERIFY(json.out.isEmpty());
    QVERIFY2(human.err.startsWith("kelvora-camera-cli: the camera is in use by " + holder.toUtf8()), human.err.constData());
    // Refused before anything of the camera was opened.
    QCOMPARE(m_camera.totalOpened(), 0);
    QCOMPARE(m_camera.identity(), identity);

    // A lock file that cannot be used is said, and the command goes on.
    other.release();
    const QByteArray folder = qgetenv(cameralock::kDirectoryVariable);
    qputenv(cameralock::kDirectoryVariable, m_dir.filePath(QStringLiteral("no-such-folder")).toUtf8());
    const Run unlocked = run(QStringList{"--json", "--timeout", "2"} + arguments);
    qputenv(cameralock::kDirectoryVariable, folder);
    QVERIFY2(unlocked.code == 0, unlocked.err.constData());
    QVERIFY2(unlocked.err.contains("could not take the camera's lock"), unlocked.err.constData());
}

QTEST_GUILESS_MAIN(CliCommandsTest)
#include "tst_cli_commands.moc"
