// The command-line tool's pure parts: the command line, the framing-mode
// words, the time-out, how the bus is sorted into devices and one of them
// chosen or found again after it switched identity, and how `list` says
// whether a node opens.

#include "cli/Exit.h"
#include "cli/Link.h"
#include "cli/Options.h"
#include "cli/Report.h"
#include "protocol/FirmwarePackage.h"

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

QTEST_GUILESS_MAIN(CliUnitsTest)
#include "tst_cli_units.moc"
