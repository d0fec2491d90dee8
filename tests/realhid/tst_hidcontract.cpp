// What the tool relies on hidapi for, checked through whichever door this
// executable links (see ContractDoor.h): enumeration, which interface
// hid_open picks, whole reports in both directions, and what handles do
// once their device has gone.

#include "../support/Bytes.h"
#include "ContractDoor.h"
#include "protocol/Discovery.h"

#include <hidapi/hidapi.h>

#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace {

using sim::Identity;
using sim::InterfaceSpec;

constexpr quint16 kCameraVid = sim::kNormalVendorId;
constexpr quint16 kCameraPid = sim::kNormalProductId;
constexpr quint16 kControl = sim::kControlUsagePage;
constexpr quint16 kData = sim::kDataUsagePage;
constexpr int kFrame = 64;
constexpr int kDataReport = 512;

QString wide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

// hidapi's list as the program copies it.
using Entry = discovery::Interface;

QVector<Entry> enumerate(quint16 vendorId, quint16 productId)
{
    hid_device_info *list = hid_enumerate(vendorId, productId);
    const QVector<Entry> entries = discovery::interfacesFrom(list);
    hid_free_enumeration(list);
    return entries;
}

QByteArray pathOf(quint16 usagePage)
{
    for (const Entry &entry : enumerate(0, 0)) {
        if (entry.usagePage == usagePage)
            return entry.path;
    }
    return QByteArray();
}

// A request as the tool writes it: report ID, sync bytes, group, code,
// zeros; no payload.
QByteArray request(quint8 group, quint8 code)
{
    return commandFrame(group, code);
}

// A report whose every byte tells it apart from the others.
QByteArray marked(quint8 mark, int size = kFrame)
{
    QByteArray report(size, char(mark));
    report[0] = char(0x11);
    for (int i = 1; i < size; i += 7)
        report[i] = char(i);
    return report;
}

int write(hid_device *device, const QByteArray &bytes)
{
    return hid_write(device, reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size()));
}

// One read into a buffer of `room` bytes; the bytes read, or the result
// code in `result`.
QByteArray readOne(hid_device *device, int room, int timeoutMs, int *result)
{
    QByteArray buffer(room, '\0');
    *result = hid_read_timeout(device, reinterpret_cast<unsigned char *>(buffer.data()), size_t(room), timeoutMs);
    return *result > 0 ? buffer.left(*result) : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(sim::InterfaceSpec)

class HidContractTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void enumerationDescribesEachInterface();
    void busListsInterfacesByNumber_data();
    void busListsInterfacesByNumber();
    void hidOpenTakesOnlyTheFirstInterface();
    void failedOpenSaysWhy();
    void writesArriveAsWritten();
    void readsReturnOneWholeReportEach();
    void aQuietInterfaceWaitsOutTheTimeout();
    void shortBufferGetsOneReportAndLosesTheRest();
    void handlesOfADeviceThatLeftFailAtOnce();
    void deviceComesBackInItsOtherIdentity();

private:
    std::unique_ptr<ContractDoor> door;
};

void HidContractTest::initTestCase()
{
    door = ContractDoor::open();
    const QString problem = door->libraryProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(hid_init() == 0);
    door.reset();
}

void HidContractTest::init()
{
    door = ContractDoor::open();
}

void HidContractTest::cleanup()
{
    door.reset();
}

void HidContractTest::enumerationDescribesEachInterface()
{
    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Normal); });
    const auto described = door->read<QVector<sim::VirtualCamera::InterfaceInfo>>(
        [](sim::VirtualCamera &camera) { return camera.interfacesMatching(kCameraVid, kCameraPid); });
    const QVector<Entry> listed = enumerate(kCameraVid, kCameraPid);
    QCOMPARE(listed.size(), described.size());
    for (int i = 0; i < listed.size(); ++i) {
        const Entry &entry = listed.at(i);
        const auto &info = described.at(i);
        QVERIFY(!entry.path.isEmpty());
        QCOMPARE(entry.vendorId, kCameraVid);
        QCOMPARE(entry.productId, kCameraPid);
        QCOMPARE(entry.usagePage, info.usagePage);
        QCOMPARE(entry.usage, info.usage);
        QCOMPARE(entry.interfaceNumber, info.interfaceNumber);
        QCOMPARE(entry.releaseNumber, info.releaseNumber);
        QCOMPARE(entry.serialNumber, info.serialNumber);
        QCOMPARE(entry.manufacturer, info.manufacturer);
        QCOMPARE(entry.product, info.product);
    }
    QCOMPARE(listed.at(0).usagePage, kControl);
    QCOMPARE(listed.at(1).usagePage, kData);
    // Another identity's IDs find nothing; IDs of 0 find everything.
    QVERIFY(enumerate(sim::kUpgradeVendorId, sim::kUpgradeProductId).isEmpty());
    QCOMPARE(enumerate(0, 0).size(), listed.size());
}

void HidContractTest::busListsInterfacesByNumber_data()
{
    QTest::addColumn<QVector<InterfaceSpec>>("declared");
    QTest::addColumn<QVector<int>>("listed");
    QTest::addColumn<quint16>("probePage");
    QTest::newRow("declared in order") << QVector<InterfaceSpec>{{kControl, 1, 0}, {kData, 1, 1}}
                                       << QVector<int>{0, 1} << kControl;
    QTest::newRow("declared backwards") << QVector<InterfaceSpec>{{kData, 1, 1}, {kControl, 1, 0}}
                                        << QVector<int>{0, 1} << kControl;
    QTest::newRow("data interface first") << QVector<InterfaceSpec>{{kControl, 1, 4}, {kData, 1, 3}}
                                          << QVector<int>{3, 4} << kData;
    // The bus compares the interfaces' names as text: "1-1:1.10" comes
    // before "1-1:1.2".
    QTest::newRow("two-digit number") << QVector<InterfaceSpec>{{kControl, 1, 2}, {kData, 1, 10}}
                                      << QVector<int>{10, 2} << kData;
}

void HidContractTest::busListsInterfacesByNumber()
{
    QFETCH(QVector<InterfaceSpec>, declared);
    QFETCH(QVector<int>, listed);
    QFETCH(quint16, probePage);
    door->withCamera([&](sim::VirtualCamera &camera) { camera.attach(Identity::Normal, declared); });
    QVector<int> numbers;
    for (const Entry &entry : enumerate(kCameraVid, kCameraPid))
        numbers.append(entry.interfaceNumber);
    QCOMPARE(numbers, listed);

    // hid_open opens the interface listed first: a request written through
    // it lands on that interface.
    hid_device *probe = hid_open(kCameraVid, kCameraPid, nullptr);
    QVERIFY(probe);
    QCOMPARE(write(probe, request(0x20, 0x06)), kFrame);
    const auto frames = door->read<QVector<sim::WrittenFrame>>(
        [](sim::VirtualCamera &camera) { return camera.writtenFrames(); });
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.at(0).usagePage, probePage);
    hid_close(probe);
}

void HidContractTest::hidOpenTakesOnlyTheFirstInterface()
{
    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Normal); });
    QVERIFY(door->refuseOpens(kControl));
    // hid_open does not go on to the next interface when the first refuses.
    QVERIFY(!hid_open(kCameraVid, kCameraPid, nullptr));
    const QByteArray control = pathOf(kControl);
    QVERIFY(!hid_open_path(control.constData()));
    QCOMPARE(wide(hid_error(nullptr)), QStringLiteral("Failed to open a device with path '%1': Permission denied")
                                           .arg(QString::fromLatin1(control)));
    hid_device *data = hid_open_path(pathOf(kData).constData());
    QVERIFY(data);
    hid_close(data);
    // Nothing refused counts as open.
    QTRY_COMPARE(door->read<int>([](sim::VirtualCamera &camera) { return camera.openHandleCount(); }), 0);
    QCOMPARE(door->read<int>([](sim::VirtualCamera &camera) { return camera.totalOpened(); }), 1);
}

void HidContractTest::failedOpenSaysWhy()
{
    QVERIFY(!hid_open(kCameraVid, kCameraPid, nullptr));
    QCOMPARE(wide(hid_error(nullptr)), QStringLiteral("No HID devices with requested VID/PID found in the system."));

    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Normal); });
    QVERIFY(!hid_open(kCameraVid, kCameraPid, L"ANOTHER"));
    QCOMPARE(wide(hid_error(nullptr)), QStringLiteral("Device with requested VID/PID/(SerialNumber) not found"));
    const QString serial = enumerate(kCameraVid, kCameraPid).value(0).serialNumber;
    hid_device *bySerial = hid_open(kCameraVid, kCameraPid, serial.toStdWString().c_str());
    QVERIFY(bySerial);
    hid_close(bySerial);

    const QByteArray control = pathOf(kControl);
    door->withCamera([](sim::VirtualCamera &camera) { camera.detach(); });
    QVERIFY(!hid_open_path(control.constData()));
    QCOMPARE(wide(hid_error(nullptr)),
             QStringLiteral("Failed to open a device with path '%1': No such file or directory")
                 .arg(QString::fromLatin1(control)));
}

void HidContractTest::writesArriveAsWritten()
{
    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Upgrade); });
    hid_device *control = hid_open_path(pathOf(kControl).constData());
    hid_device *data = hid_open_path(pathOf(kData).constData());
    QVERIFY(control && data);

    const QByteArray versionRequest = request(0x20, 0x06);
    QCOMPARE(write(control, versionRequest), kFrame);
    // A data report outside an upload still travels whole; the camera only
    // notes that it came unasked.
    QByteArray report(kDataReport, '\0');
    report[0] = char(0x22);
    for (int i = 2; i < kDataReport; ++i)
        report[i] = char(i * 7);
    QCOMPARE(write(data, report), kDataReport);

    const auto frames = door->read<QVector<sim::WrittenFrame>>(
        [](sim::VirtualCamera &camera) { return camera.writtenFrames(); });
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames.at(0).usagePage, kControl);
    QCOMPARE(frames.at(0).bytes, versionRequest);
    QCOMPARE(frames.at(1).usagePage, kData);
    QCOMPARE(frames.at(1).bytes, report);
    hid_close(data);
    hid_close(control);
}

void HidContractTest::readsReturnOneWholeReportEach()
{
    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Normal); });
    hid_device *control = hid_open_path(pathOf(kControl).constData());
    QVERIFY(control);
    const QVector<QByteArray> sent{marked(1), marked(2), marked(3, 10), marked(4)};
    door->withCamera([&](sim::VirtualCamera &camera) {
        for (const QByteArray &report : sent)
            camera.queueReport(report);
    });
    // A buffer with room for several reports still gets one at a time.
    for (const QByteArray &report : sent) {
        int result = 0;
        const QByteArray got = readOne(control, kDataReport, 1000, &result);
        QCOMPARE(result, report.size());
        QCOMPARE(got, report);
    }
    // Nothing more: the read waits out its time-out and returns 0.
    QElapsedTimer waited;
    waited.start();
    int result = -2;
    readOne(control, kFrame, 100, &result);
    QCOMPARE(result, 0);
    QVERIFY2(waited.elapsed() >= 80, qPrintable(QString::number(waited.elapsed())));
    hid_close(control);
}

void HidContractTest::aQuietInterfaceWaitsOutTheTimeout()
{
    door->withCamera([](sim::VirtualCamera &camera) {
        camera.attach(Identity::Upgrade);
        camera.queueReport(marked(8));
    });
    hid_device *data = hid_open_path(pathOf(kData).constData());
    QVERIFY(data);
    // The report waits on the control interface; the data interface has
    // nothing for the reader.
    QElapsedTimer waited;
    waited.start();
    int result = -2;
    readOne(data, kDataReport, 100, &result);
    QCOMPARE(result, 0);
    QVERIFY2(waited.elapsed() >= 80, qPrintable(QString::number(waited.elapsed())));
    hid_close(data);
}

void HidContractTest::shortBufferGetsOneReportAndLosesTheRest()
{
    door->withCamera([](sim::VirtualCamera &camera) {
        camera.attach(Identity::Normal);
        camera.queueReport(marked(5));
        camera.queueReport(marked(6));
    });
    hid_device *control = hid_open_path(pathOf(kControl).constData());
    QVERIFY(control);
    int result = 0;
    QCOMPARE(readOne(control, 10, 1000, &result), marked(5).left(10));
    QCOMPARE(result, 10);
    QCOMPARE(readOne(control, kFrame, 1000, &result), marked(6));
    hid_close(control);
}

void HidContractTest::handlesOfADeviceThatLeftFailAtOnce()
{
    door->withCamera([](sim::VirtualCamera &camera) { camera.attach(Identity::Normal); });
    const QByteArray controlPath = pathOf(kControl);
    hid_device *control = hid_open_path(controlPath.constData());
    hid_device *data = hid_open_path(pathOf(kData).constData());
    QVERIFY(control && data);
    door->withCamera([](sim::VirtualCamera &camera) {
        camera.queueReport(marked(7));
        camera.detach();
    });

    // Even with a long time-out, and a report sent just before it left.
    QElapsedTimer waited;
    waited.start();
    int result = 0;
    readOne(control, kFrame, 2000, &result);
    QCOMPARE(result, -1);
    QVERIFY2(waited.elapsed() < 1000, qPrintable(QString::number(waited.elapsed())));
    QCOMPARE(wide(hid_error(control)), QStringLiteral("hid_read_timeout: unexpected poll error (device disconnected)"));
    QCOMPARE(write(control, request(0x20, 0x06)), -1);
    QCOMPARE(write(data, QByteArray(kDataReport, char(0x22))), -1);
    QCOMPARE(wide(hid_error(data)), QStringLiteral("No such device"));
    QVERIFY(enumerate(kCameraVid, kCameraPid).isEmpty());
    QVERIFY(!hid_open_path(controlPath.constData()));

    // The handles are still there to be closed, each once.
    hid_close(control);
    hid_close(data);
    QTRY_COMPARE(door->read<int>([](sim::VirtualCamera &camera) { return camera.openHandleCount(); }), 0);
    QCOMPARE(door->read<int>([](sim::VirtualCamera &camera) { return camera.totalClosed(); }), 2);
}

void HidContractTest::deviceComesBackInItsOtherIdentity()
{
    door->withCamera([](sim::VirtualCamera &camera) {
        camera.attach(Identity::Normal);
        camera.setUpgradeReturnDelay(std::chrono::milliseconds(200));
    });
    hid_device *control = hid_open_path(pathOf(kControl).constData());
    QVERIFY(control);
    QCOMPARE(write(control, request(0x20, 0xD3)), kFrame);   // CAMERA_ENTER_UPD
    int result = 0;
    readOne(control, kFrame, 1000, &result);
    QCOMPARE(result, -1);
    QTRY_VERIFY(enumerate(kCameraVid, kCameraPid).isEmpty());
    QTRY_COMPARE(enumerate(sim::kUpgradeVendorId, sim::kUpgradeProductId).size(), 2);
    const QVector<Entry> upgrade = enumerate(sim::kUpgradeVendorId, sim::kUpgradeProductId);
    QCOMPARE(upgrade.at(0).usagePage, kControl);
    QCOMPARE(upgrade.at(1).usagePage, kData);
    QCOMPARE(upgrade.at(0).product, QStringLiteral("Upgrade Device"));
    hid_close(control);
}

QTEST_GUILESS_MAIN(HidContractTest)
#include "tst_hidcontract.moc"
