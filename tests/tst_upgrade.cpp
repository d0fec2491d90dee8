// The upgrade panel, the image choice and its checks, and whole upgrades
// carried to the virtual camera, with the faults the exchange must survive.

#include "Bytes.h"
#include "FileFaults.h"
#include "WindowHarness.h"
#include "protocol/CameraLock.h"
#include "ui/StyleSheets.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const char *const kPanelWidgets[] = {"label_2", "SelectFilePath", "SelectFile", "label", "Version",
                                     "ufuMode", "DOWNLOAD", "DownloadProgress", "StartUpd"};
const char *const kLockedControls[] = {"SelectFile", "ufuMode", "StartUpd", "Refresh", "applyButton", "exitButton"};

const QString kCompleted = QStringLiteral("Upgrade completed ,Device will reboot now!");
const QString kDeviceLeft = QStringLiteral(
    "The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.");
const QString kImageUnreadable = QStringLiteral(
    "The firmware image could not be read, so the upload was stopped and the device has only part of it. "
    "Check the file and start the upgrade again.");

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
    return path;
}

// A window connected to the camera in upgrade mode, with the panel open,
// quick device progress and an image chosen.
struct UpgradeBench : WindowHarness
{
    UpgradeBench()
    {
        camera.setProgressPlan({10, 60, 100}, 10ms, 20ms, "V9.9.9");
        QVERIFY(connect(sim::Identity::Upgrade));
        click("upgradeMode");
    }
    bool locked() const
    {
        for (const char *name : kLockedControls)
            if (find<QWidget>(name)->isEnabled())
                return false;
        return true;
    }
    bool unlocked() const
    {
        for (const char *name : kLockedControls)
            if (!find<QWidget>(name)->isEnabled())
                return false;
        return true;
    }
    QProgressBar *bar() const { return find<QProgressBar>("DownloadProgress"); }
};

// The lock key of the virtual camera, in either identity.
QString cameraKey()
{
    discovery::Device device;
    device.serialNumber = QStringLiteral("SIM0001");
    return cameralock::keyFor(device);
}

} // namespace

Q_DECLARE_METATYPE(sim::InterfaceSpec)
Q_DECLARE_METATYPE(sim::Identity)

class UpgradeTest : public QObject
{
    Q_OBJECT

private slots:
    void panelTogglesAndColours();
    void choosingTheImage();
    void checksInOrder();
    void unreadableImage();
    void tooLargeImage();
    void fullUploads_data();
    void fullUploads();
    void uploadSpanningTwoTicks();
    void startAckTimeout();
    void refusedStart();
    void lateAndRepeatedAcknowledgements();
    void writeRetriesAndAbort();
    void deviceVanishesMidUpload();
    void deviceProgressFrames();
    void imageChangedAfterChoice();
    void everyUploadShowsItsOwnPercentage();
    void closingWindowMidUploadSendsNothingMore();
    void lastCheckNeedsBothInterfaces_data();
    void lastCheckNeedsBothInterfaces();
    void imageUnreadableMidUpload_data();
    void imageUnreadableMidUpload();
    void sizeRefusedAfterOpenReleasesImage();
    void deviceNeverFinishes_data();
    void deviceNeverFinishes();
    void deviceLeavesBeforeTheEnd_data();
    void deviceLeavesBeforeTheEnd();
    void departureNoticedBetweenTicks();
    void endReportMidStreamKeepsLock();
    void slowLinkKeepsWindowAnswering();
    void endToEndFromCameraMode();
    void cameraHeldByAnotherProgram_data();
    void cameraHeldByAnotherProgram();
    void ownUpgradeHoldsTheCamera_data();
    void ownUpgradeHoldsTheCamera();
};

void UpgradeTest::panelTogglesAndColours()
{
    WindowHarness h;
    for (const char *name : kPanelWidgets)
        QVERIFY(!h.find<QWidget>(name)->isVisible());
    h.click("upgradeMode");
    for (const char *name : kPanelWidgets)
        QVERIFY2(h.find<QWidget>(name)->isVisible(), name);
    QVERIFY(!h.find<QWidget>("GetVersion")->isVisible());
    const QString green = QString::fromUtf8(styles::kProgressBarRule)
        + QStringLiteral("QProgressBar::chunk { background-color: #00aa33; border-radius: 5px; }");
    QCOMPARE(h.find<QWidget>("DownloadProgress")->styleSheet(), green);
    QCOMPARE(h.find<QLabel>("DOWNLOAD")->text(), QStringLiteral("DOWNLOAD:"));
    QCOMPARE(h.find<QProgressBar>("DownloadProgress")->value(), 0);

    h.click("upgradeMode");
    for (const char *name : kPanelWidgets)
        QVERIFY(!h.find<QWidget>(name)->isVisible());
}

void UpgradeTest::choosingTheImage()
{
    QTemporaryDir dir;
    WindowHarness h;
    h.click("upgradeMode");
    auto *field = h.find<QLineEdit>("SelectFilePath");

    const QString first = writeFile(dir, QStringLiteral("FIRMWARE.BIN"), noiseImage(5));
    h.modals.queueFile(first);
    h.click("SelectFile");
    QCOMPARE(field->text(), first);
    QVERIFY(h.log.contains(QStringLiteral("已选择文件: \"%1\"").arg(first)));
    QVERIFY(h.log.contains(QStringLiteral("文件大小: 5 字节")));
    const ModalRecord dialog = h.modals.records().first();
    QCOMPARE(dialog.kind, QStringLiteral("QFileDialog"));
    QCOMPARE(dialog.title, QStringLiteral("选择文件"));

    // Cancelling keeps the previous choice.
    h.modals.queueFile(QString());
    h.click("SelectFile");
    QCOMPARE(field->text(), first);

    // Suffix is tested case-blind, after the last dot.
    for (const char *name : {"fw.Bin", "pack.tar.bin"}) {
        const QString path = writeFile(dir, QString::fromLatin1(name), noiseImage(3));
        h.modals.queueFile(path);
        h.click("SelectFile");
        QCOMPARE(field->text(), path);
    }
    const QString accepted = field->text();
    for (const char *name : {"fw.bin.bak", "bin"}) {
        h.modals.clear();
        h.modals.queueFile(writeFile(dir, QString::fromLatin1(name), noiseImage(3)));
        h.click("SelectFile");
        QCOMPARE(h.modals.titles().last(), QStringLiteral("Invalid File"));
        QCOMPARE(h.modals.texts().last(), QStringLiteral("Please select a .bin file."));
        QCOMPARE(field->text(), accepted);
    }
}

void UpgradeTest::checksInOrder()
{
    QTemporaryDir dir;
    WindowHarness h;
    h.click("upgradeMode");
    const auto start = [&h] {
        h.modals.clear();
        h.click("StartUpd");
        return h.modals.count() == 1 ? h.modals.titles().first() + QLatin1Char('|') + h.modals.texts().first()
                                     : QStringLiteral("%1 boxes").arg(h.modals.count());
    };

    // 1: not in upgrade mode, even with no file chosen.
    QCOMPARE(start(), QStringLiteral("upd info|UPD Not Connect, Pls Enter UPD First!"));
    // 8 comes last: only the data interface opens.
    h.camera.attach(sim::Identity::Upgrade, {sim::InterfaceSpec{0xFF01, 1, 1}});
    h.modals.clear();
    h.refresh();
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts(), QStringList{QStringLiteral("Unable to open HID device.")}, 4000);
    h.modals.clear();
    // 2: no file.
    QCOMPARE(start(), QStringLiteral("No File|No update file selected."));
    // 5: an empty file is accepted by the dialog and refused here.
    const QString empty = writeFile(dir, QStringLiteral("empty.bin"), QByteArray());
    h.modals.queueFile(empty);
    h.click("SelectFile");
    QCOMPARE(start(), QStringLiteral("Invalid File|Selected file is empty."));
    // 7: sixteen zero bytes, even with a 17th that is not.
    QByteArray zeros(17, '\0');
    zeros[16] = char(1);
    writeFile(dir, QStringLiteral("empty.bin"), zeros);
    QCOMPARE(start(), QStringLiteral("Invalid File|Selected file appears invalid (all-zero header)."));
    // 8: five bytes with only the last non-zero pass the header test.
    writeFile(dir, QStringLiteral("empty.bin"), QByteArray("\0\0\0\0\x07", 5));
    QCOMPARE(start(), QStringLiteral("upd info|UPD device not connect"));
    // 3: deleted, or replaced by a directory of the same name.
    QVERIFY(QFile::remove(empty));
    QCOMPARE(start(), QStringLiteral("File Not Found|Selected file does not exist."));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty.bin")));
    QCOMPARE(start(), QStringLiteral("File Not Found|Selected file does not exist."));

    // None of the refusals sent anything or locked anything.
    QVERIFY(h.camera.controlRequests().isEmpty() || h.requests().count(qMakePair(0x22, 0x00)) == 0);
    QVERIFY(h.find<QWidget>("StartUpd")->isEnabled());
}

void UpgradeTest::unreadableImage()
{
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                          | QFileDevice::ReadOther | QFileDevice::ExeOther);
    UpgradeBench h;
    const QString path = writeFile(dir, QStringLiteral("locked.bin"), noiseImage(64));
    h.chooseImage(path);
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::WriteOther));
    // Root reads anything; take a plain user's rights for the attempt.
    const bool wasRoot = geteuid() == 0;
    if (wasRoot)
        QVERIFY(seteuid(65534) == 0);
    h.modals.clear();
    h.click("StartUpd");
    if (wasRoot)
        QVERIFY(seteuid(0) == 0);
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Read Error")});
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Cannot open selected file.")});
    QCOMPARE(h.requests().count(qMakePair(0x22, 0x00)), 0);
}

void UpgradeTest::tooLargeImage()
{
    // The size field is 32 bits: a 4 GiB image is refused before anything
    // is sent. The file is sparse, so it costs no disk.
    QTemporaryDir dir;
    UpgradeBench h;
    const QString path = writeFile(dir, QStringLiteral("huge.bin"), noiseImage(16));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(qint64(1) << 32));
    file.close();
    h.chooseImage(path);
    h.camera.clearRecords();
    h.modals.clear();
    h.click("StartUpd");
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Invalid File")});
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Selected file is too large.")});
    QVERIFY(h.camera.writtenFrames().isEmpty());
    QVERIFY(h.unlocked());
}

void UpgradeTest::fullUploads_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("reports");
    QTest::newRow("1 byte") << 1 << 1;
    QTest::newRow("510 bytes") << 510 << 1;
    QTest::newRow("511 bytes") << 511 << 2;
    QTest::newRow("1021 bytes") << 1021 << 3;
    QTest::newRow("1 MiB") << 1048576 << 2057;
}

void UpgradeTest::fullUploads()
{
    QFETCH(int, size);
    QFETCH(int, reports);

    QTemporaryDir dir;
    UpgradeBench h;
    const QByteArray image = noiseImage(size, size);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    h.camera.clearRecords();
    h.modals.clear();
    h.click("StartUpd");

    // The controls lock at once and unlock when the device reports 100.
    QVERIFY(h.locked());
    QVERIFY(h.find<QWidget>("upgradeMode")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Upd info"));
    QCOMPARE(h.modals.texts().first(), QStringLiteral("Upgrade completed ,Device will reboot now!"));
    QTRY_VERIFY(h.unlocked());

    QCOMPARE(h.camera.announcedSize(), qint64(size));
    const QByteArray start = h.camera.controlRequests().first();
    QCOMPARE(int(quint8(start[3])), 0x22);
    QCOMPARE(int(quint8(start[4])), 0x00);
    QCOMPARE(start.mid(7, 4).toHex(), QByteArray::number(size, 16).rightJustified(8, '0'));
    QCOMPARE(h.camera.dataReportCount(), reports);
    QCOMPARE(h.camera.receivedImage(), image);
    QCOMPARE(h.camera.completeChecksum(), int(byteSumOf(image)));
    QVERIFY2(h.camera.formatViolations().isEmpty(), qPrintable(h.camera.formatViolations().join(QLatin1Char('\n'))));

    QVERIFY(h.log.contains(QStringLiteral("UPGRADE_START sent: %1 bytes, writeRes: 64").arg(size)));
    QVERIFY(h.log.contains(QStringLiteral("Upgrade started successfully.")));
    QVERIFY(h.log.contains(QStringLiteral("Upload initiated.")));
    QVERIFY(h.log.contains(QStringLiteral("Sent upload complete packet, writeRes: 64 checksum: \"%1\"")
                               .arg(QString::number(byteSumOf(image), 16))));
    QVERIFY(h.log.contains(QStringLiteral("Upgrade file upload completed successfully.")));
    QVERIFY(h.log.contains(QStringLiteral("Upgrade progress: 100 %")));
    QCOMPARE(h.find<QLabel>("DOWNLOAD")->text(), QStringLiteral("UPGRADE:"));
    QCOMPARE(h.bar()->value(), 100);
}

void UpgradeTest::uploadSpanningTwoTicks()
{
    // 2000 reports per tick: 1,020,001 bytes take a second tick for the
    // last byte, and the completion follows it.
    QTemporaryDir dir;
    UpgradeBench h;
    const QByteArray image = noiseImage(1020001, 3);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    h.camera.clearRecords();
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.completeChecksum() >= 0, 10000);
    QCOMPARE(h.camera.dataReportCount(), 2001);
    QCOMPARE(h.camera.receivedImage(), image);
    const QVector<sim::WrittenFrame> frames = h.camera.writtenFrames();
    const sim::WrittenFrame &last = frames.last();
    QCOMPARE(last.usagePage, quint16(0xFF00));
    QCOMPARE(int(quint8(last.bytes[4])), 0x02);
    QCOMPARE(frames.at(frames.size() - 2).bytes.mid(2, 2), image.right(1) + QByteArray(1, '\0'));
}

void UpgradeTest::startAckTimeout()
{
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setStartAck(sim::AckMode::Never);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(2000)));
    h.modals.clear();
    QElapsedTimer clock;
    clock.start();
    h.click("StartUpd");
    QVERIFY(h.locked());
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 3000);
    QVERIFY(clock.elapsed() >= 900);
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Upd info"));
    QCOMPARE(h.modals.texts().first(), QStringLiteral("Upgrade start timeout. Abort."));
    QVERIFY(h.log.contains(QStringLiteral("UPGRADE_START_ACK timeout - device did not respond.")));
    QVERIFY(h.unlocked());
    QCOMPARE(h.camera.dataReportCount(), 0);
}

void UpgradeTest::refusedStart()
{
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setStartAck(sim::AckMode::Immediate, 5);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(2000)));
    h.modals.clear();
    // The refusal stays open; the time-out opens on top of it about a
    // second after the start, and only then are the controls unlocked.
    QVector<bool> lockedAtBox;
    h.modals.setHoldBoxes(true);
    h.modals.onEachBox([&h, &lockedAtBox](int index) {
        lockedAtBox.append(h.locked());
        if (index == 1)
            h.modals.setHoldBoxes(false);
    });
    QElapsedTimer clock;
    clock.start();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 2, 3000);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(clock.elapsed() >= 900);
    QCOMPARE(h.modals.texts(), (QStringList{QStringLiteral("Upgrade start failed."),
                                            QStringLiteral("Upgrade start timeout. Abort.")}));
    QCOMPARE(lockedAtBox, (QVector<bool>{true, false}));
    QVERIFY(h.log.contains(QStringLiteral("Upgrade start failed with error code: 5")));
    QVERIFY(h.unlocked());
    QCOMPARE(h.camera.dataReportCount(), 0);
}

void UpgradeTest::lateAndRepeatedAcknowledgements()
{
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setStartAck(sim::AckMode::Delayed, 0, 1300ms);
    const QByteArray image = noiseImage(3000);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts().value(0), QStringLiteral("Upgrade start timeout. Abort."), 3000);
    // The acknowledgement after the abort is only logged.
    QTRY_VERIFY_WITH_TIMEOUT(h.log.contains(QStringLiteral("Upgrade started successfully.")), 3000);
    QVERIFY(h.drainReplies());
    QVERIFY(!h.log.contains(QStringLiteral("Upload initiated.")));
    QCOMPARE(h.camera.dataReportCount(), 0);

    // A new Start begins from UPGRADE_START and the first byte; a second
    // acknowledgement afterwards changes nothing.
    h.camera.setStartAck(sim::AckMode::Immediate, 0);
    h.modals.clear();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.camera.receivedImage(), image);
    h.log.clear();
    h.camera.queueReply(0x22, 0x01, QByteArray(1, '\0'));
    QVERIFY(h.drainReplies());
    QCOMPARE(h.log.count(QStringLiteral("Upgrade started successfully.")), 1);
    QVERIFY(!h.log.contains(QStringLiteral("Upload initiated.")));
}

void UpgradeTest::writeRetriesAndAbort()
{
    QTemporaryDir dir;
    UpgradeBench h;
    const QByteArray image = noiseImage(5000, 9);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));

    // Two failures are retried and the image still arrives whole.
    h.camera.failNextDataWrites(2);
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.modals.texts().first(), QStringLiteral("Upgrade completed ,Device will reboot now!"));
    QCOMPARE(h.camera.receivedImage(), image);
    QVERIFY(h.log.contains(QStringLiteral("hid_write attempt 0 returned -1 , retrying...")));
    QVERIFY(h.log.contains(QStringLiteral("hid_write attempt 1 returned -1 , retrying...")));
    QVERIFY(!h.log.contains(QStringLiteral("hid_write attempt 2 returned -1 , retrying...")));

    // Three failures end the upload without telling the device.
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.modals.clear();
    h.log.clear();
    h.camera.clearRecords();
    h.camera.failNextDataWrites(3);
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 5000);
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Upd info"));
    QCOMPARE(h.modals.texts().first(), QStringLiteral("Write error during upload. Abort."));
    QVERIFY(h.log.contains(QStringLiteral("hid_write attempt 2 returned -1 , retrying...")));
    QVERIFY(h.log.contains(QStringLiteral("hid write error to 0xFF01 after retries:  -1")));
    QVERIFY(h.unlocked());
    QCOMPARE(h.camera.completeChecksum(), -1);
    QCOMPARE(h.requests().count(qMakePair(0x22, 0x02)), 0);

    // The next Start sends the image again from its first byte.
    h.modals.clear();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.camera.receivedImage(), image);
    QCOMPARE(h.camera.completeChecksum(), int(byteSumOf(image)));
}

void UpgradeTest::deviceVanishesMidUpload()
{
    QTemporaryDir dir;
    UpgradeBench h;
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(200000)));
    h.camera.vanishAfterDataReports(20);
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts().value(0), QStringLiteral("Write error during upload. Abort."), 5000);
    QVERIFY(h.unlocked());
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QLabel>("deviceNameLabel")->text(), QStringLiteral("Device: Not Found"), 3000);
}

void UpgradeTest::deviceProgressFrames()
{
    UpgradeBench h;
    h.modals.clear();
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(42)));
    QVERIFY(h.drainReplies());
    QCOMPARE(h.bar()->value(), 42);
    QCOMPARE(h.find<QLabel>("DOWNLOAD")->text(), QStringLiteral("UPGRADE:"));
    QCOMPARE(h.modals.count(), 0);

    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(150)));
    QVERIFY(h.drainReplies());
    QTRY_COMPARE(h.modals.count(), 1);
    QCOMPARE(h.bar()->value(), 100);
    QVERIFY(h.log.contains(QStringLiteral("Upgrade progress: 100 %")));

    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(100)));
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(100)));
    QTRY_COMPARE(h.modals.count(), 3);

    // Status of the upload acknowledgement is only logged.
    h.camera.queueReply(0x22, 0x03, QByteArray(1, char(7)));
    QVERIFY(h.drainReplies());
    QVERIFY(h.log.contains(QStringLiteral("Upgrade file upload failed with error code: 7")));
    QCOMPARE(h.modals.count(), 3);
}

void UpgradeTest::imageChangedAfterChoice()
{
    QTemporaryDir dir;
    UpgradeBench h;
    // Chosen while empty, then written: the size is taken again at Start,
    // so the announcement is right and nothing divides by zero.
    const QString path = writeFile(dir, QStringLiteral("image.bin"), QByteArray());
    h.chooseImage(path);
    const QByteArray image = noiseImage(1500, 4);
    writeFile(dir, QStringLiteral("image.bin"), image);
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.camera.announcedSize(), qint64(1500));
    QCOMPARE(h.camera.receivedImage(), image);

    // Shrunk after the choice: the smaller size is announced and sent.
    const QByteArray smaller = image.left(700);
    writeFile(dir, QStringLiteral("image.bin"), smaller);
    QVERIFY(h.connect(sim::Identity::Upgrade));
    h.modals.clear();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.camera.announcedSize(), qint64(700));
    QCOMPARE(h.camera.receivedImage(), smaller);
    QVERIFY(h.camera.formatViolations().isEmpty());
}

void UpgradeTest::everyUploadShowsItsOwnPercentage()
{
    QTemporaryDir dir;
    UpgradeBench h;
    // No device progress and no reboot: the bar keeps what the upload wrote.
    h.camera.setProgressPlan({}, 10ms, std::chrono::minutes(10), "V9.9.9");
    h.chooseImage(writeFile(dir, QStringLiteral("big.bin"), noiseImage(3000)));
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.completeChecksum() >= 0, 5000);
    QTRY_COMPARE(h.bar()->value(), 100);
    const QString blue = QString::fromUtf8(styles::kProgressBarRule)
        + QStringLiteral("QProgressBar::chunk { background-color: #3498db; border-radius: 5px; }");
    QCOMPARE(h.bar()->styleSheet(), blue);
    QVERIFY(h.locked()); // the device phase waits for the device

    // The device finishes; reopening the panel shows 0.
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(100)));
    QTRY_VERIFY(h.unlocked());
    h.click("upgradeMode");
    h.click("upgradeMode");
    QCOMPARE(h.bar()->value(), 0);

    // A second, one-report upload must show its own 100.
    h.chooseImage(writeFile(dir, QStringLiteral("small.bin"), noiseImage(200)));
    h.camera.clearRecords();
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.completeChecksum() >= 0, 5000);
    QCOMPARE(h.bar()->value(), 100);
}

void UpgradeTest::closingWindowMidUploadSendsNothingMore()
{
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setDataWritePace(std::chrono::microseconds(50));
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(4 * 1024 * 1024)));
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.dataReportCount() > 0, 5000);
    h.window->close();
    h.window.reset();
    const int written = h.camera.writtenFrames().size();
    QTest::qWait(100);
    QCOMPARE(h.camera.writtenFrames().size(), written);
    QCOMPARE(h.camera.completeChecksum(), -1);
    QCOMPARE(h.camera.openHandleCount(), 0);
    QVERIFY(h.camera.exitCalled());
}

void UpgradeTest::endToEndFromCameraMode()
{
    // EnterUPD, choose, Start: the image reaches the device, the bar shows
    // the upload and then the device's progress, and the camera comes back
    // in normal mode with its new version.
    QTemporaryDir dir;
    WindowHarness h;
    h.camera.setUpgradeReturnDelay(50ms);
    h.camera.setProgressPlan({20, 40, 60, 80, 100}, 20ms, 50ms, "V2.0.0");
    QVERIFY(h.connect(sim::Identity::Normal));
    h.click("upgradeMode");
    h.click("ufuMode");
    QTest::qWait(80);
    h.refresh();
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"));

    const QByteArray image = noiseImage(300 * 1024, 11);
    h.modals.queueFile(writeFile(dir, QStringLiteral("camera.bin"), image));
    h.click("SelectFile");
    h.modals.clear();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 10000);
    QCOMPARE(h.camera.receivedImage(), image);
    QVERIFY(h.log.contains(QStringLiteral("Upgrade progress: 40 %")));
    QTRY_VERIFY(h.find<QWidget>("StartUpd")->isEnabled());

    QTest::qWait(100);
    h.refresh();
    QTRY_COMPARE_WITH_TIMEOUT(h.find<QLineEdit>("Version")->text(), QStringLiteral("V2.0.0"), 4000);
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Connected"));
}

void UpgradeTest::lastCheckNeedsBothInterfaces_data()
{
    // The presence probe opens the first interface listed, so a device
    // whose first interface refuses to open is not found at all; an
    // interface further down can be absent, or there and refusing.
    QTest::addColumn<QVector<sim::InterfaceSpec>>("interfaces");
    QTest::addColumn<int>("refusingPage");
    QTest::newRow("no control interface") << QVector<sim::InterfaceSpec>{{0xFF01, 1, 1}} << 0;
    QTest::newRow("data interface refuses") << sim::standardInterfaces() << 0xFF01;
}

void UpgradeTest::lastCheckNeedsBothInterfaces()
{
    // Without the data interface an upload could be announced and accepted
    // but never sent; the start is refused instead, like a missing control.
    QFETCH(QVector<sim::InterfaceSpec>, interfaces);
    QFETCH(int, refusingPage);
    QTemporaryDir dir;
    WindowHarness h;
    h.click("upgradeMode");
    if (refusingPage)
        h.camera.setOpenFails(quint16(refusingPage), true);
    h.camera.attach(sim::Identity::Upgrade, interfaces);
    h.refresh();
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts(), QStringList{QStringLiteral("Unable to open HID device.")}, 4000);
    h.modals.queueFile(writeFile(dir, QStringLiteral("image.bin"), noiseImage(2000)));
    h.click("SelectFile");
    h.camera.clearRecords();
    h.modals.clear();
    h.click("StartUpd");
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("upd info")});
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("UPD device not connect")});
    QVERIFY(h.camera.writtenFrames().isEmpty());
    QVERIFY(h.find<QWidget>("StartUpd")->isEnabled());
    QVERIFY(h.find<QWidget>("exitButton")->isEnabled());
}

void UpgradeTest::imageUnreadableMidUpload_data()
{
    QTest::addColumn<bool>("readError");
    QTest::addColumn<int>("bytesSent");
    QTest::newRow("read error") << true << 0;
    QTest::newRow("file cut short") << false << 700;
}

void UpgradeTest::imageUnreadableMidUpload()
{
    // The image fails after it was announced: a disk that went away, or a
    // file cut short by another program. A few tries, then the upload is
    // abandoned and the user told, never a completion frame for a part.
    QFETCH(bool, readError);
    QFETCH(int, bytesSent);
    QTemporaryDir dir;
    UpgradeBench h;
    const QByteArray image = noiseImage(5000, 5);
    const QString path = writeFile(dir, QStringLiteral("image.bin"), image);
    h.chooseImage(path);
    h.camera.setStartAck(sim::AckMode::Delayed, 0, 200ms);
    h.click("StartUpd");
    QVERIFY(h.locked());
    // The image is open and announced; now it goes bad.
    if (readError)
        filefaults::failReads(path);
    else
        QVERIFY(QFile::resize(path, bytesSent));
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 5000);
    filefaults::clear();
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Read Error"));
    QCOMPARE(h.modals.texts().first(), kImageUnreadable);
    QTRY_VERIFY(h.unlocked());
    QCOMPARE(h.camera.announcedSize(), qint64(image.size()));
    // What could be read went out; the device counts the last report's
    // zero fill as image, since it was told of 5000 bytes.
    QCOMPARE(h.camera.dataReportCount(), (bytesSent + 509) / 510);
    QCOMPARE(h.camera.receivedImage().left(bytesSent), image.left(bytesSent));
    QCOMPARE(h.camera.completeChecksum(), -1);
    QCOMPARE(h.requests().count(qMakePair(0x22, 0x02)), 0);
    const QString failed = QStringLiteral("Image read failed at byte %1 of 5000").arg(bytesSent);
    QCOMPARE(h.log.count(failed), 3);
    QCOMPARE(filefaults::openDescriptors(path), 0);

    // With the file whole again, the next Start sends all of it.
    writeFile(dir, QStringLiteral("image.bin"), image);
    h.camera.setStartAck(sim::AckMode::Immediate);
    h.modals.clear();
    h.click("StartUpd");
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts().value(0), kCompleted, 10000);
    QCOMPARE(h.camera.receivedImage(), image);
    QCOMPARE(h.camera.completeChecksum(), int(byteSumOf(image)));
}

void UpgradeTest::sizeRefusedAfterOpenReleasesImage()
{
    // The image passes its checks by name, but once opened it reports no
    // bytes (it changed in between). The refusal box must find the image
    // already let go: an acknowledgement read while the box is up must not
    // start streaming a file nobody announced.
    QTemporaryDir dir;
    UpgradeBench h;
    const QString path = writeFile(dir, QStringLiteral("image.bin"), noiseImage(3000));
    h.chooseImage(path);
    h.camera.clearRecords();
    filefaults::reportOpenSize(path, 0);
    int descriptorsAtBox = -1;
    bool ackTakenAtBox = false;
    bool streamingAtBox = true;
    h.modals.setHoldBoxes(true);
    h.modals.onEachBox([&](int) {
        descriptorsAtBox = filefaults::openDescriptors(path);
        h.camera.queueReply(0x22, 0x01, QByteArray(1, '\0'));
        QTimer::singleShot(0, [&] {
            // Let the window read the acknowledgement, see whether it armed
            // the stream, then close the box.
            ackTakenAtBox = QTest::qWaitFor([&h] { return h.camera.pendingReports() == 0; }, 2000);
            streamingAtBox = h.find<QTimer>("uploadTimer")->isActive();
            h.modals.setHoldBoxes(false);
        });
    });
    h.click("StartUpd");
    filefaults::clear();
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(h.modals.texts(), QStringList{QStringLiteral("Selected file is empty.")});
    QCOMPARE(descriptorsAtBox, 0);
    QVERIFY(ackTakenAtBox);
    QVERIFY(!streamingAtBox);
    QVERIFY(h.log.contains(QStringLiteral("Upgrade started successfully.")));
    QVERIFY(!h.log.contains(QStringLiteral("Upload initiated.")));
    QCOMPARE(h.camera.dataReportCount(), 0);
    QVERIFY2(h.camera.formatViolations().isEmpty(), qPrintable(h.camera.formatViolations().join(QLatin1Char('\n'))));
    QVERIFY(h.unlocked());
}

void UpgradeTest::deviceNeverFinishes_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("image refused") << "refused";
    QTest::newRow("completion not written") << "not written";
    QTest::newRow("device silent") << "silent";
}

void UpgradeTest::deviceNeverFinishes()
{
    // The device will not report its 100 %: it refused the image, never got
    // the completion, or stopped reporting. The user is told and gets the
    // controls back instead of waiting for progress that never comes.
    QFETCH(QString, ending);
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setProgressPlan({}, 10ms, std::chrono::minutes(10), "V9.9.9");
    if (ending == QLatin1String("not written"))
        h.camera.failNextRequests(0x22, 0x02, 1);
    const QByteArray image = noiseImage(2000, 6);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    h.click("StartUpd");
    auto *silence = h.find<QTimer>("devicePhaseTimer");
    QVERIFY(silence);

    if (ending == QLatin1String("not written")) {
        QTRY_COMPARE(h.modals.texts(), QStringList{QStringLiteral("Write error during upload. Abort.")});
        QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Upd info")});
        QTRY_VERIFY(h.unlocked());
        QVERIFY(!silence->isActive());
        QCOMPARE(h.camera.receivedImage(), image);
        QCOMPARE(h.camera.completeChecksum(), -1);
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(h.log.contains(QStringLiteral("Upgrade file upload completed successfully.")), 5000);
    QVERIFY(h.locked());
    QCOMPARE(h.modals.count(), 0);

    if (ending == QLatin1String("silent")) {
        // Two minutes from the completion, each progress report starting
        // them again.
        QVERIFY(silence->isActive());
        QCOMPARE(silence->interval(), 120000);
        silence->start(5000);   // as if most of them had passed
        h.camera.queueReply(0x22, 0x04, QByteArray(1, char(40)));
        QVERIFY(h.drainReplies());
        QVERIFY(silence->remainingTime() > 60000);
        QVERIFY(h.locked());
        silence->start(1);   // the two minutes are up
        QTRY_COMPARE(h.modals.count(), 1);
        QCOMPARE(h.modals.titles().first(), QStringLiteral("Upd info"));
        QCOMPARE(h.modals.texts().first(),
                 QStringLiteral("The device has stopped reporting its progress. Wait for it to restart; if it comes "
                                "back in upgrade mode, start the upgrade again."));
        QTRY_VERIFY(h.unlocked());
        return;
    }

    h.camera.queueReply(0x22, 0x03, QByteArray(1, char(7)));
    QTRY_COMPARE(h.modals.count(), 1);
    QCOMPARE(h.modals.titles().first(), QStringLiteral("Upd info"));
    QCOMPARE(h.modals.texts().first(),
             QStringLiteral("The device did not accept the uploaded image (error code 7). Start the upgrade again."));
    QVERIFY(h.log.contains(QStringLiteral("Upgrade file upload failed with error code: 7")));
    QTRY_VERIFY(h.unlocked());
    QVERIFY(!silence->isActive());

    // Only once: a repeated refusal after that is logged and nothing more.
    h.camera.queueReply(0x22, 0x03, QByteArray(1, char(7)));
    QVERIFY(h.drainReplies());
    QCOMPARE(h.modals.count(), 1);
}

void UpgradeTest::deviceLeavesBeforeTheEnd_data()
{
    QTest::addColumn<int>("unplugAt");    // sim::UnplugPoint, or -1: comes back as the camera
    QTest::addColumn<QString>("box");
    // Gone before the completion could be written: that write fails first.
    QTest::newRow("gone after the last report") << int(sim::UnplugPoint::AfterLastDataReport)
                                                << QStringLiteral("Write error during upload. Abort.");
    QTest::newRow("gone at the completion") << int(sim::UnplugPoint::AtCompletion) << kDeviceLeft;
    QTest::newRow("gone after acknowledging it") << int(sim::UnplugPoint::AfterCompletionAck) << kDeviceLeft;
    QTest::newRow("back as the camera without 100 %") << -1 << kDeviceLeft;
}

void UpgradeTest::deviceLeavesBeforeTheEnd()
{
    // The device phase ends with the device's 100 %; a device that leaves
    // before that ends it too, with a warning that says what to do.
    QFETCH(int, unplugAt);
    QFETCH(QString, box);
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setProgressPlan({}, 10ms, std::chrono::minutes(10), "V9.9.9");
    if (unplugAt >= 0)
        h.camera.unplugDuringUpload(sim::UnplugPoint(unplugAt));
    const QByteArray image = noiseImage(2000, 8);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.log.lines().indexOf(QRegularExpression(QStringLiteral("^Sent upload complete packet.*"))) >= 0, 5000);
    if (box == kDeviceLeft)
        QVERIFY(h.locked());
    if (unplugAt < 0) {
        QVERIFY(h.drainReplies());
        h.camera.detach();
        h.camera.attach(sim::Identity::Normal);
    }
    // Refresh is locked: the watch timer notices.
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts(), QStringList{box}, 5000);
    QCOMPARE(h.modals.titles(), QStringList{QStringLiteral("Upd info")});
    QTRY_VERIFY(h.unlocked());
    QCOMPARE(h.camera.receivedImage(), image);
    auto *status = h.find<QLabel>("statusLabel");
    if (unplugAt < 0) {
        QCOMPARE(status->text(), QStringLiteral("Status: Connected"));
        QCOMPARE(status->styleSheet(), QString::fromUtf8(styles::kStatusCamera));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Status: Disconnected"), 3000);
        QCOMPARE(h.camera.openHandleCount(), 0);
        QCOMPARE(h.modals.count(), 1);
    }
    QCOMPARE(h.camera.doubleCloses(), 0);
}

void UpgradeTest::departureNoticedBetweenTicks()
{
    // The presence check can see the device gone between two ticks of the
    // stream, before a write fails. The stream must end there with the
    // warning, not wait for interfaces that will never come back.
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setDataWritePace(std::chrono::microseconds(20));
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(3 * 1024 * 1024, 12)));
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.dataReportCount() > 0, 5000);
    // Hold the stream between ticks while the device goes away.
    auto *upload = h.find<QTimer>("uploadTimer");
    QVERIFY(upload);
    upload->stop();
    const int sent = h.camera.dataReportCount();
    h.camera.detach();
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts(), QStringList{kDeviceLeft}, 5000);
    QTRY_VERIFY(h.unlocked());
    QCOMPARE(h.camera.dataReportCount(), sent);
    QCOMPARE(h.camera.completeChecksum(), -1);
    QCOMPARE(h.camera.openHandleCount(), 0);
    QVERIFY(!upload->isActive());
}

void UpgradeTest::endReportMidStreamKeepsLock()
{
    // A report of 100 % while the image is still streaming is shown and
    // logged, but neither the completion box nor the unlock comes before the
    // stream's own end and the device's real 100 %.
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setProgressPlan({100}, 10ms, std::chrono::minutes(10), "V9.9.9");
    h.camera.setDataWritePace(std::chrono::microseconds(100));
    const QByteArray image = noiseImage(3 * 1024 * 1024, 13);
    h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image));
    QVector<int> checksumAtBox;
    h.modals.onEachBox([&h, &checksumAtBox](int) { checksumAtBox.append(h.camera.completeChecksum()); });
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.dataReportCount() > 0, 5000);
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(100)));
    QTRY_COMPARE_WITH_TIMEOUT(h.modals.count(), 1, 20000);
    QTRY_VERIFY(h.unlocked());
    // The early report was handled while data was still going out.
    const int early = h.log.indexOf(QStringLiteral("Upgrade progress: 100 %"));
    const int end = h.log.lines().indexOf(QRegularExpression(QStringLiteral("^Sent upload complete packet.*")));
    QVERIFY(early >= 0 && end > early);
    QCOMPARE(checksumAtBox, QVector<int>{int(byteSumOf(image))});
    QCOMPARE(h.modals.texts(), QStringList{kCompleted});
    QCOMPARE(h.camera.receivedImage(), image);
}

void UpgradeTest::slowLinkKeepsWindowAnswering()
{
    // At 10 ms a report, one tick of up to 2000 reports would hold the
    // window for many seconds. Counted between two turns of the event loop,
    // the reports of one tick stay few, and the image still arrives whole.
    QTemporaryDir dir;
    UpgradeBench h;
    h.camera.setDataWritePace(std::chrono::milliseconds(10));
    const QByteArray image = noiseImage(30 * 510, 14);
    QVERIFY(h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), image)));
    int lastCount = 0;
    int mostInOneTurn = 0;
    QTimer turns;
    turns.setInterval(0);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const int count = h.camera.dataReportCount();
        mostInOneTurn = qMax(mostInOneTurn, count - lastCount);
        lastCount = count;
    });
    turns.start();
    h.click("StartUpd");
    QTRY_VERIFY_WITH_TIMEOUT(h.camera.completeChecksum() >= 0, 20000);
    turns.stop();
    mostInOneTurn = qMax(mostInOneTurn, h.camera.dataReportCount() - lastCount);
    QCOMPARE(h.camera.receivedImage(), image);
    QCOMPARE(h.camera.completeChecksum(), int(byteSumOf(image)));
    QVERIFY2(mostInOneTurn > 0 && mostInOneTurn <= 10, qPrintable(QString::number(mostInOneTurn)));
}

void UpgradeTest::cameraHeldByAnotherProgram_data()
{
    QTest::addColumn<sim::Identity>("identity");
    QTest::addColumn<QString>("button");

    QTest::newRow("EnterUPD") << sim::Identity::Normal << "ufuMode";
    QTest::newRow("Start in upgrade mode") << sim::Identity::Upgrade << "StartUpd";
}

void UpgradeTest::cameraHeldByAnotherProgram()
{
    QFETCH(sim::Identity, identity);
    QFETCH(QString, button);
    QTemporaryDir dir;
    WindowHarness h;
    QVERIFY(h.connect(identity));
    h.click("upgradeMode");
    if (identity == sim::Identity::Upgrade)
        QVERIFY(h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(2000))));
    h.find<QTimer>("watchTimer")->stop();   // the press, not a look at the bus, meets the other program
    cameralock::CameraLock other;
    QCOMPARE(other.take(cameraKey()), cameralock::Outcome::Taken);
    h.camera.clearRecords();
    h.modals.clear();

    h.click(qPrintable(button));
    QTRY_COMPARE(h.modals.titles(), QStringList{QStringLiteral("Camera in use")});
    QCOMPARE(h.modals.texts().first(), QStringLiteral("The camera is in use by tst_upgrade (pid %1). Nothing was sent "
                                                      "to it. Try again once that program has finished.")
                                           .arg(::getpid()));
    QVERIFY(h.requests().isEmpty() && h.find<QWidget>("StartUpd")->isEnabled());
}

void UpgradeTest::ownUpgradeHoldsTheCamera_data()
{
    QTest::addColumn<bool>("upload");
    QTest::newRow("EnterUPD, then the upgrade to 100 %") << true;
    QTest::newRow("EnterUPD, then back in normal mode without an upload") << false;
}

void UpgradeTest::ownUpgradeHoldsTheCamera()
{
    QFETCH(bool, upload);
    QTemporaryDir dir;
    WindowHarness h;
    h.camera.setUpgradeReturnDelay(50ms);
    h.camera.setProgressPlan({50, 100}, 20ms, 5000ms, "V2.0.0");
    QVERIFY(h.connect(sim::Identity::Normal));
    h.click("upgradeMode");
    h.click("ufuMode");
    cameralock::CameraLock other;
    QCOMPARE(other.take(cameraKey()), cameralock::Outcome::Held);

    // Its own lock is no other program's: the window connects the upgrade device.
    QTRY_VERIFY(h.camera.isAttached() && h.camera.identity() == sim::Identity::Upgrade);
    h.refresh();
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: UPD"));
    QCOMPARE(h.find<QLabel>("statusLabel")->text(), QStringLiteral("Status: Connected"));
    QCOMPARE(other.take(cameraKey()), cameralock::Outcome::Held);
    if (upload) {
        QVERIFY(h.chooseImage(writeFile(dir, QStringLiteral("image.bin"), noiseImage(3000))));
        h.click("StartUpd");
        QTRY_COMPARE_WITH_TIMEOUT(h.modals.texts().value(0), kCompleted, 10000);   // still in upgrade mode after it
    } else {
        h.camera.attach(sim::Identity::Normal);
        h.refresh();
        QTRY_COMPARE(h.find<QLabel>("statusLabel")->styleSheet(), QString::fromUtf8(styles::kStatusCamera));
    }
    QCOMPARE(other.take(cameraKey()), cameralock::Outcome::Taken);
}

QTEST_MAIN(UpgradeTest)
#include "tst_upgrade.moc"
