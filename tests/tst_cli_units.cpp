// The command-line tool's pure parts: the command line, the framing-mode
// words, the time-out, how the bus is sorted into devices and one of them
// chosen or found again after it switched identity, how `list` says
// whether a node opens, and the verdicts of `doctor` from their facts.

#include "cli/Diagnosis.h"
#include "cli/Exit.h"
#include "cli/Link.h"
#include "cli/Options.h"
#include "cli/Report.h"
#include "protocol/FirmwarePackage.h"
#include "protocol/NodeAccess.h"

#include <QJsonArray>

#include <QtTest>

using cli::Command;
using discovery::Device;
using discovery::Identity;
using discovery::Interface;

namespace {

Interface node(quint16 vendor, quint16 product, const char *serial, int number, const char *path,
               quint16 page = discovery::kControlUsagePage)
{
    Interface entry;
    entry.vendorId = vendor;
    entry.productId = product;
    entry.serialNumber = QString::fromLatin1(serial);
    entry.interfaceNumber = number;
    entry.path = path;
    entry.usagePage = page;
    return entry;
}

Interface cameraNode(const char *serial, int number, const char *path)
{
    return node(0x2207, 0x2008, serial, number, path, number == 0 ? 0xFF00 : 0xFF01);
}

Interface upgradeNode(const char *serial, int number, const char *path)
{
    return node(0x1D6B, 0x0102, serial, number, path, number == 0 ? 0xFF00 : 0xFF01);
}

// "C:serial:path,path U:..." for comparing groupings in one string.
QString describe(const QVector<Device> &devices)
{
    QStringList parts;
    for (const Device &device : devices) {
        QStringList paths;
        for (const Interface &entry : device.interfaces)
            paths << QString::fromLatin1(entry.path);
        parts << QStringLiteral("%1:%2:%3")
                     .arg(device.identity == Identity::Camera ? "C" : "U", device.serialNumber, paths.join(','));
    }
    return parts.join(' ');
}

} // namespace

Q_DECLARE_METATYPE(QVector<Interface>)
Q_DECLARE_METATYPE(cli::Access)
Q_DECLARE_METATYPE(cli::doctor::Status)

class CliUnitsTest : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void modeWords_data();
    void modeWords();
    void timeouts_data();
    void timeouts();
    void exitCodesAreDistinct();
    void versions_data();
    void versions();
    void guidsOfTheInstanceIds();
    void devicesFromTheBus_data();
    void devicesFromTheBus();
    void selectingDevices();
    void findingTheDeviceAfterItSwitched();
    void listedAccess_data();
    void listedAccess();
    void rulesReachingTheCamera_data();
    void rulesReachingTheCamera();
    void ruleVerdicts_data();
    void ruleVerdicts();
    void nodePermissions_data();
    void nodePermissions();
    void aclAttribute();
    void tagVerdicts_data();
    void tagVerdicts();
    void sessionVerdicts_data();
    void sessionVerdicts();
    void sandboxVerdicts_data();
    void sandboxVerdicts();
    void backendVerdicts_data();
    void backendVerdicts();
    void doctorVerdict();
};

void CliUnitsTest::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");   // a fragment of the usage error, empty when it parses
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("device");
    QTest::addColumn<qint64>("timeoutMs");   // -1: none given

    const int none = int(Command::None);
    QTest::newRow("list") << QStringList{"list"} << "" << int(Command::List) << "" << qint64(-1);
    QTest::newRow("options after the command") << QStringList{"info", "--json", "--device", "SN1"} << ""
                                               << int(Command::Info) << "SN1" << qint64(-1);
    QTest::newRow("option=value") << QStringList{"--device=/dev/hidraw3", "--timeout=2.5", "enter-upgrade"} << ""
                                  << int(Command::EnterUpgrade) << "/dev/hidraw3" << qint64(2500);
    QTest::newRow("timeout rounds up to a millisecond") << QStringList{"--timeout", "0.0001", "list"} << ""
                                                        << int(Command::List) << "" << qint64(1);
    QTest::newRow("an image named like an option after --") << QStringList{"upgrade", "--", "-odd.bin"} << ""
                                                            << int(Command::Upgrade) << "" << qint64(-1);
    QTest::newRow("help wins over a bad line") << QStringList{"nonsense", "--help"} << "" << none << ""
                                               << qint64(-1);
    QTest::newRow("help alone") << QStringList{"-h"} << "" << none << "" << qint64(-1);
    QTest::newRow("nothing") << QStringList{} << "no command" << none << "" << qint64(-1);
    QTest::newRow("unknown command") << QStringList{"reboot"} << "unknown command 'reboot'" << none << "" << qint64(-1);
    QTest::newRow("unknown option") << QStringList{"--force", "list"} << "unknown option '--force'" << none << ""
                                    << qint64(-1);
    QTest::newRow("value missing") << QStringList{"list", "--device"} << "--device needs a value" << none << ""
                                   << qint64(-1);
    QTest::newRow("empty device") << QStringList{"--device=", "list"} << "--device needs a serial" << none << ""
                                  << qint64(-1);
    QTest::newRow("device twice") << QStringList{"--device", "a", "--device", "b", "list"} << "twice" << none << ""
                                  << qint64(-1);
    QTest::newRow("zero timeout") << QStringList{"--timeout", "0", "list"} << "--timeout takes seconds" << none << ""
                                  << qint64(-1);
    QTest::newRow("negative timeout") << QStringList{"--timeout", "-3", "list"} << "--timeout takes seconds" << none
                                      << "" << qint64(-1);
    QTest::newRow("timeout not a number") << QStringList{"--timeout", "soon", "list"} << "--timeout takes seconds"
                                          << none << "" << qint64(-1);
    QTest::newRow("timeout too long") << QStringList{"--timeout", "86401", "list"} << "--timeout takes seconds"
                                      << none << "" << qint64(-1);
    QTest::newRow("a flag with a value") << QStringList{"--json=yes", "list"} << "takes no value" << none << ""
                                         << qint64(-1);
    QTest::newRow("set-mode without a mode") << QStringList{"set-mode"} << "set-mode needs a mode" << none << ""
                                             << qint64(-1);
    QTest::newRow("set-mode with a bad mode") << QStringList{"set-mode", "3"} << "'3' is not a framing mode" << none
                                              << "" << qint64(-1);
    QTest::newRow("upgrade without an image") << QStringList{"upgrade"} << "upgrade needs the firmware image" << none
                                              << "" << qint64(-1);
    QTest::newRow("an operand too many") << QStringList{"info", "extra"} << "but 'extra' follows" << none << ""
                                         << qint64(-1);
    QTest::newRow("two images") << QStringList{"upgrade", "a.bin", "b.bin"} << "but 'b.bin' follows" << none << ""
                                << qint64(-1);
    QTest::newRow("upgrade's own options") << QStringList{"upgrade", "--dry-run", "--allow-older", "--allow-reinstall", "p.cab"}
                                           << "" << int(Command::Upgrade) << "" << qint64(-1);
    QTest::newRow("--dry-run is not info's") << QStringList{"--dry-run", "info"} << "--dry-run is an option of upgrade"
                                             << none << "" << qint64(-1);
    QTest::newRow("--dry-run twice") << QStringList{"upgrade", "--dry-run", "--dry-run", "p.cab"} << "--dry-run given twice"
                                     << none << "" << qint64(-1);
    QTest::newRow("--output is pack's") << QStringList{"upgrade", "--output=x.cab", "p.cab"}
                                        << "--output is an option of pack, not of upgrade" << none << "" << qint64(-1);
    QTest::newRow("pack") << QStringList{"pack", "i.bin", "--firmware-version=V2.2.0", "--output", "o.cab", "--date",
                                         "2026-02-28", "--release-notes", "text"}
                          << "" << int(Command::Pack) << "" << qint64(-1);
    QTest::newRow("pack without a version") << QStringList{"pack", "i.bin", "--output", "o.cab"}
                                            << "pack needs --firmware-version" << none << "" << qint64(-1);
    QTest::newRow("pack without an output") << QStringList{"pack", "i.bin", "--firmware-version", "2.2.0"}
                                            << "pack needs --output" << none << "" << qint64(-1);
    QTest::newRow("pack with two numbers") << QStringList{"pack", "i.bin", "--firmware-version", "2.2", "--output", "o.cab"}
                                           << "--firmware-version takes three numbers" << none << "" << qint64(-1);
    QTest::newRow("pack with a suffix") << QStringList{"pack", "i.bin", "--firmware-version", "2.2.0-rc1", "--output", "o.cab"}
                                        << "not '2.2.0-rc1'" << none << "" << qint64(-1);
    QTest::newRow("pack on a day that is not") << QStringList{"pack", "i.bin", "--firmware-version", "2.2.0", "--date",
                                                              "2026-02-30", "--output", "o.cab"}
                                               << "--date takes a date as YYYY-MM-DD" << none << "" << qint64(-1);
    QTest::newRow("pack to a file that is no .cab") << QStringList{"pack", "i.bin", "--firmware-version", "2.2.0",
                                                                   "--output", "o.bin"}
                                                    << "--output must name a .cab file" << none << "" << qint64(-1);
    QTest::newRow("pack without an image") << QStringList{"pack", "--firmware-version", "2.2.0", "--output", "o.cab"}
                                           << "pack needs the firmware image" << none << "" << qint64(-1);
    QTest::newRow("doctor with rules folders") << QStringList{"doctor", "--udev-rules-dir", "/a", "--udev-rules-dir=/b"}
                                               << "" << int(Command::Doctor) << "" << qint64(-1);
    QTest::newRow("rules folder for another command") << QStringList{"--udev-rules-dir", "/a", "list"}
                                                      << "--udev-rules-dir is an option of doctor, not of list" << none << "" << qint64(-1);
    QTest::newRow("empty rules folder") << QStringList{"doctor", "--udev-rules-dir="} << "--udev-rules-dir needs a value" << none << ""
                                        << qint64(-1);
}

void CliUnitsTest::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(int, command);
    QFETCH(QString, device);
    QFETCH(qint64, timeoutMs);
    const cli::Parsed parsed = cli::parseArguments(arguments);
    if (arguments.contains("--help") || arguments.contains("-h")) {
        QVERIFY(parsed.ok());
        QVERIFY(parsed.options.help);
        return;
    }
    if (!error.isEmpty()) {
        QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
        return;
    }
    QVERIFY2(parsed.ok(), qPrintable(parsed.error));
    QCOMPARE(int(parsed.options.command), command);
    QCOMPARE(parsed.options.device, device);
    QCOMPARE(parsed.options.timeout ? qint64(parsed.options.timeout->count()) : qint64(-1), timeoutMs);
    if (parsed.options.command == Command::Doctor)
        QCOMPARE(parsed.options.rulesDirs, (QStringList{"/a", "/b"}));
}

void CliUnitsTest::modeWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");   // -1: refused

    QTest::newRow("full") << "full" << 0;
    QTest::newRow("auto") << "auto" << 1;
    QTest::newRow("voice") << "voice" << 2;
    QTest::newRow("gallery") << "gallery" << 8;
    QTest::newRow("value 0") << "0" << 0;
    QTest::newRow("value 8") << "8" << 8;
    QTest::newRow("value 3 is no mode") << "3" << -1;
    QTest::newRow("the window's failed-apply marker") << "100" << -1;
    QTest::newRow("upper case") << "VOICE" << -1;
    QTest::newRow("the window's label") << "AutoFraming" << -1;
    QTest::newRow("padded value") << "08" << -1;
}

void CliUnitsTest::modeWords()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(cli::parseMode(text).value_or(-1), value);
}

void CliUnitsTest::timeouts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");   // -1: refused
    QTest::newRow("whole") << "5" << qint64(5000);
    QTest::newRow("fraction") << "0.25" << qint64(250);
    QTest::newRow("a day") << "86400" << qint64(86400000);
    QTest::newRow("infinity") << "inf" << qint64(-1);
    QTest::newRow("not a number") << "nan" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void CliUnitsTest::timeouts()
{
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    const auto parsed = cli::parseTimeout(text);
    QCOMPARE(parsed ? qint64(parsed->count()) : qint64(-1), ms);
}

void CliUnitsTest::exitCodesAreDistinct()
{
    QSet<int> codes;
    QSet<QString> keywords;
    for (const cli::ExitInfo &info : cli::kExitCodes) {
        codes.insert(int(info.exit));
        keywords.insert(QLatin1String(info.keyword));
    }
    QCOMPARE(codes.size(), int(std::size(cli::kExitCodes)));
    QCOMPARE(keywords.size(), int(std::size(cli::kExitCodes)));
    QCOMPARE(int(cli::Exit::Ok), 0);
    QCOMPARE(int(cli::Exit::Interrupted), 130);
}

void CliUnitsTest::versions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");   // of a against b; 2: a does not parse, 3: b does not parse

    QTest::newRow("the camera's V against a package's plain") << "V2.1.0" << "2.2.0" << -1;
    QTest::newRow("same, with and without V") << "V2.2.0" << "2.2.0" << 0;
    QTest::newRow("lower-case v") << "v2.2.0" << "2.2.0" << 0;
    QTest::newRow("numbers, not text: 10 after 9") << "2.10.0" << "2.9.0" << 1;
    QTest::newRow("a missing part is 0") << "2.2" << "2.2.0" << 0;
    QTest::newRow("four parts") << "2.2.0.1" << "2.2.0" << 1;
    QTest::newRow("leading zeros") << "02.002.0" << "2.2.0" << 0;
    QTest::newRow("the largest part") << "999999999.0.0" << "1.0.0" << 1;
    QTest::newRow("a suffix") << "2.2.0-beta" << "2.2.0" << 2;
    QTest::newRow("empty") << "" << "2.2.0" << 2;
    QTest::newRow("V alone") << "V" << "2.2.0" << 2;
    QTest::newRow("an empty part") << "2..0" << "2.2.0" << 2;
    QTest::newRow("a trailing dot") << "2.2." << "2.2.0" << 2;
    QTest::newRow("a space") << " 2.2.0" << "2.2.0" << 2;
    QTest::newRow("five parts") << "1.2.3.4.5" << "2.2.0" << 2;
    QTest::newRow("a sign") << "+2.2.0" << "2.2.0" << 2;
    QTest::newRow("ten digits") << "1234567890.0.0" << "2.2.0" << 2;
    QTest::newRow("digits of another script") << "\u0662.2.0" << "2.2.0" << 2;
    QTest::newRow("VV") << "VV2.2.0" << "2.2.0" << 2;
    QTest::newRow("the other side") << "2.2.0" << "2.2.0 " << 3;
}

void CliUnitsTest::versions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const auto left = package::parseVersion(a);
    const auto right = package::parseVersion(b);
    QCOMPARE(!left, order == 2);
    QCOMPARE(!right, order == 3);
    if (left && right) {
        QCOMPARE(package::compareVersions(*left, *right), order);
        QCOMPARE(package::compareVersions(*right, *left), -order);
    }
}

void CliUnitsTest::guidsOfTheInstanceIds()
{
    // As Python's uuid.uuid5(uuid.NAMESPACE_DNS, id) derives them, and as
    // fwupdtool get-details lists them for a package that names them.
    QCOMPARE(package::guidForInstanceId(QStringLiteral("USB\\VID_2207&PID_2008")),
             QStringLiteral("d2a19b2b-1553-5bd4-bbd9-090ffad2d6ce"));
    QCOMPARE(package::guidForInstanceId(QStringLiteral("USB\\VID_1D6B&PID_0102")),
             QStringLiteral("f0f5f6f6-43e5-5a50-a08e-aec3e9f92a8a"));
    QCOMPARE(package::cameraGuids(), (QStringList{"d2a19b2b-1553-5bd4-bbd9-090ffad2d6ce",
                                                  "f0f5f6f6-43e5-5a50-a08e-aec3e9f92a8a"}));
}

void CliUnitsTest::devicesFromTheBus_data()
{
    QTest::addColumn<QVector<Interface>>("bus");
    QTest::addColumn<QString>("devices");

    const Interface mouse = node(0x046D, 0xC077, "M1", 0, "/dev/hidraw0");
    QTest::newRow("one camera among other devices")
        << QVector<Interface>{mouse, cameraNode("A", 0, "/dev/hidraw1"), cameraNode("A", 1, "/dev/hidraw2")}
        << "C:A:/dev/hidraw1,/dev/hidraw2";
    QTest::newRow("two cameras, interleaved")
        << QVector<Interface>{cameraNode("A", 0, "h1"), cameraNode("B", 0, "h2"), cameraNode("B", 1, "h3"),
                              cameraNode("A", 1, "h4")}
        << "C:A:h1,h4 C:B:h2,h3";
    QTest::newRow("one in each identity")
        << QVector<Interface>{upgradeNode("A", 0, "h5"), upgradeNode("A", 1, "h6"), cameraNode("B", 0, "h1"),
                              cameraNode("B", 1, "h2")}
        << "U:A:h5,h6 C:B:h1,h2";
    QTest::newRow("same serial in both identities is two devices")
        << QVector<Interface>{cameraNode("A", 0, "h1"), upgradeNode("A", 0, "h2")} << "C:A:h1 U:A:h2";
    QTest::newRow("no serials: a repeated interface number starts a device")
        << QVector<Interface>{cameraNode("", 0, "h1"), cameraNode("", 1, "h2"), cameraNode("", 0, "h3"),
                              cameraNode("", 1, "h4")}
        << "C::h1,h2 C::h3,h4";
    QTest::newRow("no serials, second device listed out of order")
        << QVector<Interface>{cameraNode("", 0, "h1"), cameraNode("", 0, "h3"), cameraNode("", 1, "h2"),
                              cameraNode("", 1, "h4")}
        << "C::h1,h2 C::h3,h4";
    QTest::newRow("nothing of ours") << QVector<Interface>{mouse} << "";
    QTest::newRow("empty bus") << QVector<Interface>{} << "";
}

void CliUnitsTest::devicesFromTheBus()
{
    QFETCH(QVector<Interface>, bus);
    QFETCH(QString, devices);
    QCOMPARE(describe(discovery::devicesFrom(bus)), devices);
}

void CliUnitsTest::selectingDevices()
{
    const QVector<Device> bus = discovery::devicesFrom(
        {cameraNode("A", 0, "/dev/hidraw1"), cameraNode("A", 1, "/dev/hidraw2"), cameraNode("", 0, "/dev/hidraw3"),
         cameraNode("", 1, "/dev/hidraw4")});
    QCOMPARE(describe(cli::selectDevices(bus, QString())), describe(bus));
    QCOMPARE(describe(cli::selectDevices(bus, "A")), QStringLiteral("C:A:/dev/hidraw1,/dev/hidraw2"));
    QCOMPARE(describe(cli::selectDevices(bus, "/dev/hidraw2")), QStringLiteral("C:A:/dev/hidraw1,/dev/hidraw2"));
    QCOMPARE(describe(cli::selectDevices(bus, "/dev/hidraw3")), QStringLiteral("C::/dev/hidraw3,/dev/hidraw4"));
    QCOMPARE(describe(cli::selectDevices(bus, "B")), QString());
    // An empty serial number is no name: a device without one is chosen by node only.
    QCOMPARE(describe(cli::selectDevices(bus, "a")), QString());
}

void CliUnitsTest::findingTheDeviceAfterItSwitched()
{
    const auto bus = [](std::initializer_list<Interface> nodes) { return discovery::devicesFrom(QVector<Interface>(nodes)); };
    const Device before = bus({cameraNode("A", 0, "c1"), cameraNode("A", 1, "c2")}).first();
    const QVector<Device> others = bus({upgradeNode("Z", 0, "z1"), upgradeNode("Z", 1, "z2")});

    // By serial, whatever else is new.
    QVector<Device> now = bus({upgradeNode("Y", 0, "y1"), upgradeNode("A", 0, "u1"), upgradeNode("A", 1, "u2")});
    const Device *found = cli::sameDeviceAfterSwitch(now, Identity::Upgrade, before, others);
    QVERIFY(found);
    QCOMPARE(found->serialNumber, QStringLiteral("A"));

    // Another serial in upgrade mode: the one newcomer, not the device that was there before.
    now = bus({upgradeNode("Z", 0, "z1"), upgradeNode("Z", 1, "z2"), upgradeNode("LOADER", 0, "u1")});
    found = cli::sameDeviceAfterSwitch(now, Identity::Upgrade, before, others);
    QVERIFY(found);
    QCOMPARE(found->serialNumber, QStringLiteral("LOADER"));

    // Two newcomers: no guess.
    now = bus({upgradeNode("L1", 0, "u1"), upgradeNode("L2", 0, "u2")});
    QVERIFY(!cli::sameDeviceAfterSwitch(now, Identity::Upgrade, before, others));
    // Only the old ones: not back yet.
    QVERIFY(!cli::sameDeviceAfterSwitch(others, Identity::Upgrade, before, others));
    // The wrong identity does not count.
    QVERIFY(!cli::sameDeviceAfterSwitch(bus({cameraNode("A", 0, "c1")}), Identity::Upgrade, before, others));
}

void CliUnitsTest::listedAccess_data()
{
    QTest::addColumn<cli::Access>("access");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("fix");   // the access hints follow, in the text and in the document

    QTest::newRow("opens") << cli::Access::Open << "open" << "can be opened" << false;
    QTest::newRow("denied") << cli::Access::Denied << "denied" << "this user may not open it" << true;
    QTest::newRow("does not open") << cli::Access::Failed << "failed" << "does not open" << true;
    // A node gone since the bus was read: the device left, no rule helps.
    QTest::newRow("gone") << cli::Access::Missing << "missing" << "gone" << false;
}

void CliUnitsTest::listedAccess()
{
    QFETCH(cli::Access, access);
    QFETCH(QString, keyword);
    QFETCH(QString, said);
    QFETCH(bool, fix);
    const Device device = discovery::devicesFrom({cameraNode("A", 0, "/dev/hidraw1"), cameraNode("A", 1, "/dev/hidraw2")}).first();
    const cli::report::Result result = cli::report::list({{device, {cli::Access::Open, access}}});

    const QJsonArray nodes = result.document.value("devices").toArray().first().toObject().value("interfaces").toArray();
    QCOMPARE(nodes.at(0).toObject().value("access").toString(), QStringLiteral("open"));
    QCOMPARE(nodes.at(1).toObject().value("access").toString(), keyword);
    QCOMPARE(result.document.contains("fix"), fix);
    const QStringList lines = result.text.split('\n');
    QCOMPARE(lines.at(1), QStringLiteral("  control  /dev/hidraw1         can be opened"));
    QCOMPARE(lines.at(2), QStringLiteral("  data     /dev/hidraw2         ") + said);
    QCOMPARE(lines.size() > 3, fix);
}


// ---- doctor ------------------------------------------------------------------

namespace {

using namespace cli::doctor;
using cli::Access;

// "2:camera,upgrade:uaccess 5:camera:group=plugdev" for every hit of a rules text.
QString hitsOf(const QString &text)
{
    QStringList parts;
    for (const RuleHit &hit : rulesReachingCamera(text)) {
        QStringList identities;
        for (const Identity identity : hit.identities)
            identities << (identity == Identity::Camera ? "camera" : "upgrade");
        const char *kinds[] = {"uaccess", "everyone", "group", "owner"};
        parts << QStringLiteral("%1:%2:%3%4").arg(hit.line).arg(identities.join(','), kinds[int(hit.kind)],
                                                 hit.who.isEmpty() ? QString() : QLatin1Char('=') + hit.who);
    }
    return parts.join(' ');
}

const QString kCameraLine = QStringLiteral(
    R"(KERNEL=="hidraw*", SUBSYSTEM=="hidraw", ATTRS{idVendor}=="2207", ATTRS{idProduct}=="2008", TAG+="uaccess")");
const QString kUpgradeLine = QStringLiteral(
    R"(KERNEL=="hidraw*", SUBSYSTEM=="hidraw", ATTRS{idVendor}=="1d6b", ATTRS{idProduct}=="0102", TAG+="uaccess")");

NodeFacts nodeFact(const char *path, const char *role, Access access, const QStringList &tags = {"uaccess"},
                   Identity identity = Identity::Camera)
{
    NodeFacts node;
    node.path = path;
    node.role = QLatin1String(role);
    node.access = access;
    node.identity = identity;
    node.udevKnows = true;
    node.tags = tags;
    return node;
}

Session session(const char *id, const char *seat, bool remote, bool active)
{
    Session made;
    made.id = QLatin1String(id);
    made.seat = QLatin1String(seat);
    made.type = remote ? QStringLiteral("tty") : QStringLiteral("x11");
    made.remote = remote;
    made.remoteHost = remote ? QStringLiteral("192.0.2.7") : QString();
    made.active = active;
    return made;
}

} // namespace

Q_DECLARE_METATYPE(cli::doctor::SessionFacts)
Q_DECLARE_METATYPE(cli::doctor::SandboxFacts)
Q_DECLARE_METATYPE(QVector<cli::doctor::NodeFacts>)

void CliUnitsTest::rulesReachingTheCamera_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hits");

    // The file the package installs: both identities, through uaccess.
    QTest::newRow("the shipped rule") << nodeaccess::ruleLines().join('\n') << "1:camera:uaccess 2:upgrade:uaccess";
    QTest::newRow("comments, blank lines and a rule over two lines")
        << "# camera\n\n" + kCameraLine.left(40) + "\\\n" + kCameraLine.mid(40) << "3:camera:uaccess";
    QTest::newRow("alternatives and globs take in both")
        << R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="2207|1d6b", ATTRS{idProduct}=="20*|0102", TAG+="uaccess")"
        << "1:camera,upgrade:uaccess";
    // sysfs writes the IDs in lower case, and udev compares them as written.
    QTest::newRow("upper-case IDs match nothing")
        << R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="1D6B", ATTRS{idProduct}=="0102", TAG+="uaccess")" << "";
    QTest::newRow("a rule for the USB device, not its hidraw nodes")
        << R"(SUBSYSTEM=="usb", ATTRS{idVendor}=="2207", ATTRS{idProduct}=="2008", MODE="0666")" << "";
    QTest::newRow("every hidraw node, for everyone") << R"(KERNEL=="hidraw*", MODE="0666")" << "1:camera,upgrade:everyone";
    QTest::newRow("a group with read and write")
        << R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="2207", ATTRS{idProduct}=="2008", GROUP="plugdev", MODE="0660")"
        << "1:camera:group=plugdev";
    QTest::newRow("a group without a mode for it")
        << R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="2207", ATTRS{idProduct}=="2008", GROUP="plugdev")" << "";
    // A condition this check cannot judge, and no vendor to go by: not counted.
    QTest::newRow("security tokens only") << R"(SUBSYSTEM=="hidraw", ENV{ID_SECURITY_TOKEN}=="1", TAG+="uaccess")" << "";
    QTest::newRow("every vendor but the camera's")
        << R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}!="2207", ATTRS{idProduct}=="2008", TAG+="uaccess")" << "";
    QTest::newRow("on removal only") << R"(ACTION=="remove", )" + kCameraLine.mid(0) << "";
    QTest::newRow("not a rule") << R"(ATTRS{idVendor}=="2207" TAG+="uaccess)" << "";
}

void CliUnitsTest::rulesReachingTheCamera()
{
    QFETCH(QString, text);
    QFETCH(QString, hits);
    QCOMPARE(hitsOf(text), hits);
}

void CliUnitsTest::ruleVerdicts_data()
{
    QTest::addColumn<QStringList>("files");     // "folder/name=text", the winning folder's first; text "-" masks
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("said");          // a part of the summary
    QTest::addColumn<QString>("command");       // the first command of the fix

    const QString etc = QStringLiteral("/etc/udev/rules.d/");
    const QString lib = QStringLiteral("/usr/lib/udev/rules.d/");
    const QString shipped = QStringLiteral("70-com.kelvora.CameraConfig.rules");
    const QString both = kCameraLine + '\n' + kUpgradeLine;
    QTest::newRow("the package's rule") << QStringList{lib + shipped + '=' + both} << Status::Ok
                                        << "both identities are covered, by " + lib + shipped << "";
    QTest::newRow("none") << QStringList{etc + "50-other.rules=" + R"(KERNEL=="hidraw*", GROUP="input")"}
                          << Status::Problem << "no udev rule gives access" << "sudo tee /etc/udev/rules.d/" + shipped;
    QTest::newRow("an old rule without the upgrade identity") << QStringList{etc + "60-camera.rules=" + kCameraLine}
                                                              << Status::Problem << "in upgrade mode (1d6b:0102)"
                                                              << "sudo tee /etc/udev/rules.d/" + shipped;
    QTest::newRow("masked in /etc") << QStringList{etc + shipped + "=-", lib + shipped + '=' + both} << Status::Problem
                                    << "no udev rule" << "sudo tee";
    QTest::newRow("a copy in /etc wins over the package's")
        << QStringList{etc + shipped + '=' + kCameraLine, lib + shipped + '=' + both} << Status::Problem
        << "in upgrade mode" << "sudo tee";
    QTest::newRow("tagged after 73-seat-late.rules") << QStringList{etc + "99-camera.rules=" + both} << Status::Problem
                                                     << "after 73-seat-late.rules"
                                                     << "sudo mv " + etc + "99-camera.rules " + etc + "70-camera.rules";
    QTest::newRow("a late file that sets a mode needs no seat")
        << QStringList{etc + "99-camera.rules=" + R"(KERNEL=="hidraw*", ATTRS{idVendor}=="2207|1d6b", MODE="0666")"}
        << Status::Ok << "both identities are covered" << "";
}

void CliUnitsTest::ruleVerdicts()
{
    QFETCH(QStringList, files);
    QFETCH(Status, status);
    QFETCH(QString, said);
    QFETCH(QString, command);
    QVector<QPair<QString, QStringList>> listing;
    QHash<QString, QString> texts;
    for (const QString &file : files) {
        const QString path = file.section('=', 0, 0);
        const QString folder = path.section('/', 0, -2);
        if (listing.isEmpty() || listing.last().first != folder)
            listing.append({folder, {}});
        listing.last().second << path.section('/', -1);
        texts.insert(path, file.section('=', 1));
    }
    RulesFacts facts;
    for (const auto &folder : listing)
        facts.dirs << folder.first;
    facts.files = effectiveRuleFiles(listing);
    for (RuleFile &file : facts.files) {
        file.masked = texts.value(file.path) == QLatin1String("-");
        file.text = texts.value(file.path);
    }
    const Check check = ruleCheck(facts, coverageOf(facts), QStringLiteral("/etc/udev/rules.d"));
    QCOMPARE(check.status, status);
    QVERIFY2(check.summary.contains(said), qPrintable(check.summary));
    QCOMPARE(check.commands.value(0).left(command.size()), command);
    // A fix says in one sentence what the commands do; no fix, no commands.
    QCOMPARE(check.fix.isEmpty(), check.commands.isEmpty());
}

void CliUnitsTest::nodePermissions_data()
{
    QTest::addColumn<uint>("owner");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<QString>("acl");        // "u1000:6 m:6": user entries, group entries, the mask
    QTest::addColumn<uint>("uid");
    QTest::addColumn<QString>("through");    // empty: the permissions keep this user out
    QTest::addColumn<QString>("shown");

    // The node's group is 20 (dialout); the user is in group 1000 and 24.
    QTest::newRow("root's node, no ACL") << 0u << 0600u << "" << 1000u << "" << "owner 0, group 20, mode 0600, no ACL";
    QTest::newRow("root himself") << 0u << 0600u << "" << 0u << "as root" << "";
    QTest::newRow("uaccess's ACL entry") << 0u << 0660u << "u1000:6 m:6" << 1000u << "through its ACL entry for this user"
                                         << "ACL user:1000:rw-";
    QTest::newRow("an ACL entry the mask cuts") << 0u << 0600u << "u1000:6 m:4" << 1000u << "" << "user:1000:rw-";
    QTest::newRow("another user's ACL entry") << 0u << 0600u << "u1001:6 m:6" << 1000u << "" << "user:1001:rw-";
    QTest::newRow("a group ACL entry") << 0u << 0600u << "g24:6 m:6" << 1000u << "through its ACL entry for the group 24"
                                       << "group:24:rw-";
    QTest::newRow("its owner") << 1000u << 0600u << "" << 1000u << "as its owner" << "";
    QTest::newRow("its owner, read only") << 1000u << 0400u << "" << 1000u << "" << "mode 0400";
    QTest::newRow("any user") << 0u << 0666u << "" << 1000u << "as any user" << "";
    // The group class is checked before others, and a member gets the group's bits only.
    QTest::newRow("a group member meets the group's bits") << 0u << 0606u << "" << 20u << "" << "mode 0606";
}

void CliUnitsTest::nodePermissions()
{
    QFETCH(uint, owner);
    QFETCH(uint, mode);
    QFETCH(QString, acl);
    QFETCH(uint, uid);
    QFETCH(QString, through);
    QFETCH(QString, shown);
    NodeFacts node = nodeFact("/dev/hidraw1", "data", Access::Open);
    node.examined = true;
    node.owner = owner;
    node.group = 20;
    node.mode = mode;
    for (const QString &entry : acl.split(' ', Qt::SkipEmptyParts)) {
        AclEntry made;
        made.tag = entry.startsWith('u') ? AclEntry::User : entry.startsWith('g') ? AclEntry::Group : AclEntry::Mask;
        made.id = entry.mid(1).section(':', 0, 0).toUInt();
        made.perms = entry.section(':', 1).toInt();
        node.acl.append(made);
    }
    const UserFacts user{uid, uid == 20u ? 20u : 1000u, QString(), {24}};
    QCOMPARE(accessThrough(node, user), through);
    QVERIFY2(permissionsText(node, user).contains(shown), qPrintable(permissionsText(node, user)));
}

void CliUnitsTest::aclAttribute()
{
    // The kernel's layout: version 2, then tag, permissions and id of each entry.
    const auto entry = [](quint16 tag, quint16 perms, quint32 id) {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setByteOrder(QDataStream::LittleEndian);
        stream << tag << perms << id;
        return bytes;
    };
    const QByteArray version("\x02\x00\x00\x00", 4);
    const QByteArray uaccess = version + entry(0x01, 6, ~0u) + entry(0x02, 6, 1000) + entry(0x04, 0, ~0u)
                               + entry(0x10, 6, ~0u) + entry(0x20, 0, ~0u);
    const std::optional<QVector<AclEntry>> parsed = parseAcl(uaccess);
    QVERIFY(parsed);
    QCOMPARE(parsed->size(), 5);
    QCOMPARE(int(parsed->at(1).tag), int(AclEntry::User));
    QCOMPARE(parsed->at(1).id, 1000u);
    QCOMPARE(parsed->at(1).perms, 6);
    QCOMPARE(int(parsed->at(3).tag), int(AclEntry::Mask));
    // Anything else is no ACL: another version, a cut entry, an unknown tag.
    QVERIFY(!parseAcl(QByteArray("\x01\x00\x00\x00", 4) + entry(0x01, 6, ~0u)));
    QVERIFY(!parseAcl(uaccess.chopped(3)));
    QVERIFY(!parseAcl(version + entry(0x40, 6, 0)));
    QVERIFY(!parseAcl(QByteArray()));
}

void CliUnitsTest::tagVerdicts_data()
{
    QTest::addColumn<QVector<NodeFacts>>("nodes");
    QTest::addColumn<QString>("rules");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("commands");

    const QStringList apply{"sudo udevadm control --reload-rules", "sudo udevadm trigger --subsystem-match=hidraw"};
    const NodeFacts control = nodeFact("/dev/hidraw0", "control", Access::Open);
    const NodeFacts untagged = nodeFact("/dev/hidraw1", "data", Access::Denied, {"seat"});
    QTest::newRow("tagged") << QVector<NodeFacts>{control, nodeFact("/dev/hidraw1", "data", Access::Open)} << kCameraLine
                            << Status::Ok << "present on 2 nodes" << QStringList();
    QTest::newRow("made before the rule") << QVector<NodeFacts>{control, untagged} << kCameraLine << Status::Problem
                                          << "/dev/hidraw1 has no uaccess tag although the rule sets it" << apply;
    QTest::newRow("no rule sets it") << QVector<NodeFacts>{control, untagged} << QString() << Status::Problem
                                     << "no rule sets it" << apply;
    QTest::newRow("access through the rule's mode") << QVector<NodeFacts>{control, untagged}
                                                    << R"(KERNEL=="hidraw*", MODE="0666")" << Status::Ok << "not needed"
                                                    << QStringList();
    NodeFacts unknown = untagged;
    unknown.udevKnows = false;
    QTest::newRow("no udev here") << QVector<NodeFacts>{unknown} << kCameraLine << Status::Warning
                                  << "udev has no record" << QStringList();
    // Only the vendor interfaces count: the consumer-control node needs no tag.
    QTest::newRow("the consumer-control node untagged")
        << QVector<NodeFacts>{control, nodeFact("/dev/hidraw2", "other", Access::Denied, {})} << kCameraLine
        << Status::Ok << "present on 1 node" << QStringList();
}

void CliUnitsTest::tagVerdicts()
{
    QFETCH(QVector<NodeFacts>, nodes);
    QFETCH(QString, rules);
    QFETCH(Status, status);
    QFETCH(QString, said);
    QFETCH(QStringList, commands);
    RulesFacts facts;
    facts.files = {RuleFile{"/etc/udev/rules.d/70-camera.rules", false, rules}};
    const Check check = tagsCheck(nodes, coverageOf(facts));
    QCOMPARE(check.status, status);
    QVERIFY2(check.summary.contains(said), qPrintable(check.summary));
    QCOMPARE(check.commands, commands);
}

void CliUnitsTest::sessionVerdicts_data()
{
    QTest::addColumn<SessionFacts>("facts");
    QTest::addColumn<uint>("uid");
    QTest::addColumn<bool>("keptOut");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("command");

    const auto facts = [](std::optional<Session> own, QVector<Session> others) {
        SessionFacts made;
        made.found = bool(own);
        made.foundBy = QStringLiteral("process");
        if (own) {
            made.own = *own;
            others.prepend(*own);
        }
        made.userSessions = others;
        return made;
    };
    const Session desk = session("2", "seat0", false, true);
    const Session ssh = session("7", "", true, true);
    SessionFacts unreachable;
    unreachable.unreachable = QStringLiteral("no system bus");
    QTest::newRow("no logind") << unreachable << 1000u << true << Status::Warning << "logind could not be asked" << "";
    QTest::newRow("at the desk") << facts(desk, {}) << 1000u << true << Status::Ok << "uaccess gives it the camera" << "";
    QTest::newRow("at the desk, another session in front")
        << facts(session("2", "seat0", false, false), {}) << 1000u << true << Status::Problem << "which is another one"
        << "loginctl activate 2";
    QTest::newRow("over SSH") << facts(ssh, {}) << 1000u << true << Status::Problem << "a remote login from 192.0.2.7"
                              << "sudo kelvora-camera-cli info";
    QTest::newRow("over SSH, the nodes open all the same")
        << facts(ssh, {}) << 1000u << false << Status::Warning << "uaccess gives nothing" << "sudo kelvora-camera-cli info";
    QTest::newRow("over SSH while at the desk too")
        << facts(ssh, {desk}) << 1000u << true << Status::Ok << "also at seat0 and active there" << "";
    QTest::newRow("in no session, and not at the desk") << facts(std::nullopt, {}) << 1000u << true << Status::Problem
                                                        << "in no login session" << "sudo kelvora-camera-cli info";
    QTest::newRow("root over SSH") << facts(ssh, {}) << 0u << false << Status::Ok << "root opens the nodes" << "";
}

void CliUnitsTest::sessionVerdicts()
{
    QFETCH(SessionFacts, facts);
    QFETCH(uint, uid);
    QFETCH(bool, keptOut);
    QFETCH(Status, status);
    QFETCH(QString, said);
    QFETCH(QString, command);
    const Check check = sessionCheck(facts, UserFacts{uid, uid, QString(), {}}, keptOut);
    QCOMPARE(check.status, status);
    QVERIFY2(check.summary.contains(said), qPrintable(check.summary));
    QCOMPARE(check.commands.value(0), command);
}

void CliUnitsTest::sandboxVerdicts_data()
{
    QTest::addColumn<SandboxFacts>("facts");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("command");

    const auto facts = [](const char *kind, bool listed, QStringList hidden) {
        SandboxFacts made;
        made.kind = QLatin1String(kind);
        made.flatpakApp = QStringLiteral("org.example.Tool");
        made.cameraListed = listed;
        made.hiddenNodes = hidden;
        return made;
    };
    const QStringList hidden{"/dev/hidraw0", "/dev/hidraw1"};
    QTest::newRow("a flatpak that hides the nodes") << facts("flatpak", true, hidden) << Status::Problem
                                                    << "/dev/hidraw0, /dev/hidraw1 of the camera's nodes are"
                                                    << "flatpak override --user --device=all org.example.Tool";
    QTest::newRow("a docker container that hides one") << facts("docker", true, {"/dev/hidraw1"}) << Status::Problem
                                                       << "the docker container" << "--device=/dev/hidraw1";
    QTest::newRow("a flatpak, no camera yet") << facts("flatpak", false, {}) << Status::Warning
                                              << "shows once the camera is attached" << "flatpak override";
    QTest::newRow("a container that lets the camera in") << facts("podman", true, {}) << Status::Ok
                                                         << "lets the tool reach devices" << "";
    SandboxFacts noSysfs = facts("", false, {});
    noSysfs.sysfsHidraw = false;
    QTest::newRow("no hidraw in sysfs") << noSysfs << Status::Warning << "no /sys/class/hidraw" << "";
}

void CliUnitsTest::sandboxVerdicts()
{
    QFETCH(SandboxFacts, facts);
    QFETCH(Status, status);
    QFETCH(QString, said);
    QFETCH(QString, command);
    const Check check = sandboxCheck(facts);
    QCOMPARE(check.status, status);
    QVERIFY2(check.summary.contains(said), qPrintable(check.summary));
    QCOMPARE(check.commands.value(0).left(command.size()), command);
}

void CliUnitsTest::backendVerdicts_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<int>("interfaces");
    QTest::addColumn<int>("withoutPage");
    QTest::addColumn<Status>("status");

    const QString hidraw = QStringLiteral("/usr/lib/x86_64-linux-gnu/libhidapi-hidraw.so.0");
    QTest::newRow("hidraw, pages reported") << hidraw << 3 << 0 << Status::Ok;
    QTest::newRow("no page for any interface") << hidraw << 2 << 2 << Status::Problem;
    QTest::newRow("libusb, no camera") << "/usr/lib/x86_64-linux-gnu/libhidapi-libusb.so.0" << 0 << 0 << Status::Problem;
    QTest::newRow("one interface without a page") << hidraw << 3 << 1 << Status::Warning;
}

void CliUnitsTest::backendVerdicts()
{
    QFETCH(QString, library);
    QFETCH(int, interfaces);
    QFETCH(int, withoutPage);
    QFETCH(Status, status);
    const Check check = backendCheck(BackendFacts{library, interfaces, withoutPage});
    QCOMPARE(check.status, status);
    QCOMPARE(check.commands.isEmpty(), status != Status::Problem);
}

void CliUnitsTest::doctorVerdict()
{
    const UserFacts user{1000, 1000, QStringLiteral("alex"), {}};
    Check warning;
    warning.id = QStringLiteral("session");
    warning.status = Status::Warning;
    Check skipped = warning;
    skipped.status = Status::Skipped;
    Verdict verdict = verdictOf({warning, skipped}, user);
    QVERIFY(!verdict.blocked);
    QVERIFY(verdict.text.endsWith("Nothing keeps the camera from being used (1 warning)."));
    QCOMPARE(verdict.document.value("ok").toBool(), true);

    Check problem = warning;
    problem.status = Status::Problem;
    problem.fix = QStringLiteral("Do this:");
    problem.commands = QStringList{"first", "second"};
    verdict = verdictOf({problem, warning, problem}, user);
    QVERIFY(verdict.blocked);
    QVERIFY(verdict.text.endsWith("2 problems keep the camera from being used (1 warning)."));
    QVERIFY(verdict.text.startsWith("Checks for alex (uid 1000):"));
    QVERIFY(verdict.text.contains("\n         Fix: Do this:\n           first\n           second\n"));
    QCOMPARE(verdict.document.value("problems").toInt(), 2);
    QCOMPARE(verdict.document.value("checks").toArray().at(0).toObject().value("status").toString(),
             QStringLiteral("problem"));
}

QTEST_GUILESS_MAIN(CliUnitsTest)
#include "tst_cli_units.moc"
