// The pieces the window and the command-line tool share, reached without a
// window: the image checks in their order, the choice of interfaces, the
// framing-mode table, the data-report writer's retry rule, the stream's
// step, and the camera's lock.

#include "LogCapture.h"
#include "VirtualCamera.h"
#include "protocol/CameraLock.h"
#include "protocol/FramingModes.h"
#include "protocol/Discovery.h"
#include "protocol/HidIo.h"
#include "protocol/ImageChecks.h"
#include "protocol/UploadStream.h"
#include "support/Bytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using imagecheck::Refusal;

Q_DECLARE_METATYPE(Refusal)
Q_DECLARE_METATYPE(upload::Step)

namespace {

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

discovery::Interface interfaceWith(quint16 usagePage)
{
    discovery::Interface entry;
    entry.usagePage = usagePage;
    return entry;
}

// The virtual camera in upgrade mode, and its data interface opened.
hid_device *openDataInterface(sim::VirtualCamera &camera)
{
    camera.reset();
    camera.attach(sim::Identity::Upgrade);
    hid_device *data = nullptr;
    hid_device_info *list = hid_enumerate(discovery::kUpgradeId.vendorId, discovery::kUpgradeId.productId);
    for (hid_device_info *info = list; info; info = info->next) {
        if (info->usage_page == discovery::kDataUsagePage)
            data = hid_open_path(info->path);
    }
    hid_free_enumeration(list);
    return data;
}

} // namespace

class SharedTest : public QObject
{
    Q_OBJECT

private slots:
    void imageChecks_data();
    void imageChecks();
    void unreadableImage();
    void everyRefusalHasItsBox();
    void interfaceChoice_data();
    void interfaceChoice();
    void framingModes();
    void dataReportRetries();
    void streamSteps_data();
    void streamSteps();
    void lockKeys_data();
    void lockKeys();
    void lockHasOneHolder();
    void lockGoesWithACrashedHolder();
    void lockFileThatCannotBeUsed_data();
    void lockFileThatCannotBeUsed();

private:
    QTemporaryDir m_dir;
};

void SharedTest::imageChecks_data()
{
    QTest::addColumn<bool>("upgradeMode");
    QTest::addColumn<bool>("interfaces");
    QTest::addColumn<QString>("name");      // file name, empty for no choice
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Refusal>("refusal");

    const QByteArray good("\x5a\x01\x02", 3);
    QByteArray zeros17(17, '\0');
    zeros17[16] = char(1);

    // The device's mode is looked at first, even with no file chosen.
    QTest::newRow("not in upgrade mode") << false << true << QString() << QByteArray() << Refusal::NotInUpgradeMode;
    QTest::newRow("no file chosen") << true << true << QString() << QByteArray() << Refusal::NoFileChosen;
    QTest::newRow("file gone") << true << true << QStringLiteral("gone.bin") << QByteArray() << Refusal::FileMissing;
    QTest::newRow("wrong suffix") << true << true << QStringLiteral("fw.bin.bak") << good << Refusal::NotBinFile;
    QTest::newRow("empty") << true << true << QStringLiteral("empty.bin") << QByteArray("") << Refusal::Empty;
    QTest::newRow("sixteen zero bytes then one") << true << true << QStringLiteral("blank.bin") << zeros17
                                                 << Refusal::BlankHeader;
    // The interfaces are looked at last: a bad file is named first.
    QTest::newRow("bad file, no interfaces") << true << false << QStringLiteral("blank2.bin") << QByteArray(4, '\0')
                                             << Refusal::BlankHeader;
    QTest::newRow("no interfaces") << true << false << QStringLiteral("fw.bin") << good << Refusal::InterfacesNotOpen;
    QTest::newRow("accepted") << true << true << QStringLiteral("fw.bin") << good << Refusal::None;
    QTest::newRow("upper-case suffix") << true << true << QStringLiteral("FIRMWARE.BIN") << good << Refusal::None;
    QTest::newRow("last of five bytes") << true << true << QStringLiteral("five.bin") << QByteArray("\0\0\0\0\x07", 5)
                                        << Refusal::None;
}

void SharedTest::imageChecks()
{
    QFETCH(bool, upgradeMode);
    QFETCH(bool, interfaces);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(Refusal, refusal);
    QString path;
    if (!name.isEmpty()) {
        path = m_dir.filePath(name);
        if (name != QLatin1String("gone.bin"))
            writeFile(path, content);
    }
    QCOMPARE(imagecheck::checkUpgradeStart({upgradeMode, interfaces}, path), refusal);
}

void SharedTest::unreadableImage()
{
    // A directory that looks like an image, an image of 4 GiB (sparse, so it
    // costs no disk) and one that may not be read.
    const QString directory = m_dir.filePath(QStringLiteral("folder.bin"));
    QVERIFY(QDir().mkpath(directory));
    QCOMPARE(imagecheck::checkImageFile(directory), Refusal::FileMissing);

    const QString huge = writeFile(m_dir.filePath(QStringLiteral("huge.bin")), QByteArray("\x01", 1));
    QVERIFY(QFile::resize(huge, qint64(1) << 32));
    QCOMPARE(imagecheck::checkImageFile(huge), Refusal::TooLarge);
    QVERIFY(QFile::resize(huge, (qint64(1) << 32) - 1));
    QCOMPARE(imagecheck::checkImageFile(huge), Refusal::None);

    // The folder is open to group and others (the plain user below keeps
    // root's group), so that only the file's own rights count.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                    | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                    | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                    | QFileDevice::ExeOther));
    const QString locked = writeFile(m_dir.filePath(QStringLiteral("locked.bin")), QByteArray("\x01", 1));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    // Root reads anything; take a plain user's rights for the attempt.
    const bool root = geteuid() == 0;
    if (root)
        QVERIFY(seteuid(65534) == 0);
    const Refusal refusal = imagecheck::checkImageFile(locked);
    if (root)
        QVERIFY(seteuid(0) == 0);
    QCOMPARE(refusal, Refusal::CannotOpen);

    QCOMPARE(imagecheck::checkChoice(QStringLiteral("/x/pack.tar.bin")), Refusal::None);
    QCOMPARE(imagecheck::checkChoice(QStringLiteral("/x/bin")), Refusal::NotBinChoice);
    QCOMPARE(imagecheck::checkSize(0), Refusal::Empty);
}

void SharedTest::everyRefusalHasItsBox()
{
    // A refusal without a row would show an empty box.
    for (int i = int(Refusal::NotBinChoice); i <= int(Refusal::CannotOpenForUpload); ++i) {
        const imagecheck::RefusalText &text = imagecheck::refusalText(Refusal(i));
        QCOMPARE(int(text.refusal), i);
        QVERIFY(qstrlen(text.title) > 0 && qstrlen(text.text) > 0);
    }
}

void SharedTest::interfaceChoice_data()
{
    QTest::addColumn<QVector<int>>("pages");
    QTest::addColumn<QVector<bool>>("opened");
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("data");
    QTest::addColumn<QVector<int>>("unused");

    QTest::newRow("the two vendor interfaces") << QVector<int>{0xFF00, 0xFF01} << QVector<bool>{true, true}
                                               << 0 << 1 << QVector<int>{};
    QTest::newRow("with consumer control") << QVector<int>{0x0C, 0xFF01, 0xFF00} << QVector<bool>{true, true, true}
                                           << 2 << 1 << QVector<int>{0};
    QTest::newRow("the later control wins") << QVector<int>{0xFF00, 0xFF01, 0xFF00} << QVector<bool>{true, true, true}
                                            << 2 << 1 << QVector<int>{0};
    QTest::newRow("a later one that failed to open does not")
        << QVector<int>{0xFF00, 0xFF01, 0xFF00} << QVector<bool>{true, true, false} << 0 << 1 << QVector<int>{};
    QTest::newRow("data missing") << QVector<int>{0xFF00, 0xFF01} << QVector<bool>{true, false}
                                  << 0 << -1 << QVector<int>{};
    QTest::newRow("nothing") << QVector<int>{} << QVector<bool>{} << -1 << -1 << QVector<int>{};
}

void SharedTest::interfaceChoice()
{
    QFETCH(QVector<int>, pages);
    QFETCH(QVector<bool>, opened);
    QFETCH(int, control);
    QFETCH(int, data);
    QFETCH(QVector<int>, unused);
    QVector<discovery::Interface> interfaces;
    for (int page : pages)
        interfaces.append(interfaceWith(quint16(page)));
    const discovery::InterfaceChoice choice = discovery::chooseInterfaces(interfaces, opened);
    QCOMPARE(choice.control, control);
    QCOMPARE(choice.data, data);
    QCOMPARE(choice.unused, unused);
    QCOMPARE(choice.complete(), control >= 0 && data >= 0);
}

void SharedTest::framingModes()
{
    // 8 follows 2: 3 to 7 are not modes. (That the window's failed-apply
    // marker is none either, the window checks when it is built.)
    QVector<int> values;
    for (int value = 0; value < 256; ++value) {
        if (modes::isFramingMode(value))
            values.append(value);
    }
    QCOMPARE(values, (QVector<int>{0, 1, 2, 8}));
    QCOMPARE(QLatin1String(modes::modeInfo(8)->label), QLatin1String("SmartGallery(1080P only)"));
    QCOMPARE(QLatin1String(modes::modeInfo(0)->buttonName), QLatin1String("btnFullScreen"));
}

void SharedTest::dataReportRetries()
{
    // Through the virtual camera: two refused writes are retried, a third
    // gives the report up; every try is logged.
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    hid_device *data = openDataInterface(camera);
    QVERIFY(data);
    frame::DataReportBuffer report{};
    frame::fillDataReport(report, reinterpret_cast<const quint8 *>("\x01"), 1);

    LogCapture log;
    QVERIFY(!hidio::sendDataReport(nullptr, report));
    QVERIFY(log.lines().isEmpty());

    camera.failNextDataWrites(2);
    QVERIFY(hidio::sendDataReport(data, report));
    QCOMPARE(log.lines(), (QStringList{QStringLiteral("hid_write attempt 0 returned -1 , retrying..."),
                                       QStringLiteral("hid_write attempt 1 returned -1 , retrying...")}));
    log.clear();
    camera.failNextDataWrites(3);
    QVERIFY(!hidio::sendDataReport(data, report));
    QCOMPARE(log.lines().size(), 4);
    QCOMPARE(log.lines().last(), QStringLiteral("hid write error to 0xFF01 after retries:  -1"));
    hidio::closeHandle(data);
    QVERIFY(!data);
    QCOMPARE(camera.openHandleCount(), 0);
    camera.reset();
}

void SharedTest::streamSteps_data()
{
    QTest::addColumn<int>("reportsPerRead");  // 1 as the window reads, more as the command-line tool does
    QTest::addColumn<int>("fileBytes");
    QTest::addColumn<int>("announced");
    QTest::addColumn<int>("refusedWrites");
    QTest::addColumn<QVector<int>>("sentAfterEach");  // `sent` after each report that went out
    QTest::addColumn<int>("failedReads");             // ReadFailed steps before the last step
    QTest::addColumn<upload::Step>("last");

    using upload::Step;
    const QVector<int> whole{510, 1020, 1021};
    QTest::newRow("a report per read") << 1 << 1021 << 1021 << 0 << whole << 0 << Step::Complete;
    QTest::newRow("reports handed out of longer reads")
        << 2 << 2500 << 2500 << 0 << QVector<int>{510, 1020, 1530, 2040, 2500} << 0 << Step::Complete;
    QTest::newRow("grown since announced: a report per read") << 1 << 3000 << 1021 << 0 << whole << 0 << Step::Complete;
    QTest::newRow("grown since announced: longer reads") << 3 << 3000 << 1021 << 0 << whole << 0 << Step::Complete;
    QTest::newRow("cut short: a report per read")
        << 1 << 700 << 1021 << 0 << QVector<int>{510, 700} << 2 << Step::Unreadable;
    QTest::newRow("cut short: longer reads") << 2 << 700 << 1021 << 0 << QVector<int>{510, 700} << 2 << Step::Unreadable;
    QTest::newRow("a report the data interface refuses")
        << 2 << 1021 << 1021 << hidio::kWriteAttempts << QVector<int>{} << 0 << Step::WriteFailed;
}

void SharedTest::streamSteps()
{
    QFETCH(int, reportsPerRead);
    QFETCH(int, fileBytes);
    QFETCH(int, announced);
    QFETCH(int, refusedWrites);
    QFETCH(QVector<int>, sentAfterEach);
    QFETCH(int, failedReads);
    QFETCH(upload::Step, last);

    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    hid_device *data = openDataInterface(camera);
    QVERIFY(data);
    camera.failNextDataWrites(refusedWrites);
    QByteArray file = noiseImage(fileBytes);
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));

    upload::ImageReader image(buffer, reportsPerRead);
    qint64 sent = 0;
    quint8 checksum = 0;
    int readFailures = 0;
    QVector<int> sentAfter;
    int readFailedSteps = 0;
    upload::Step step = upload::Step::Sent;
    for (int guard = 0; guard < 100; ++guard) {
        step = upload::streamStep(image, data, announced, sent, checksum, readFailures);
        if (step == upload::Step::Sent)
            sentAfter.append(int(sent));
        else if (step == upload::Step::ReadFailed)
            ++readFailedSteps;
        else
            break;
    }
    QCOMPARE(step, last);
    QCOMPARE(sentAfter, sentAfterEach);
    QCOMPARE(readFailedSteps, failedReads);

    // Each report carries the next bytes of the image, and the sum is theirs.
    QByteArray carried;
    int reports = 0;
    for (const sim::WrittenFrame &written : camera.writtenFrames()) {
        if (!written.accepted || reports >= sentAfter.size())
            continue;
        const int start = reports ? sentAfter.at(reports - 1) : 0;
        carried.append(written.bytes.mid(2, sentAfter.at(reports) - start));
        ++reports;
    }
    QCOMPARE(carried, file.left(int(sent)));
    if (step != upload::Step::WriteFailed)
        QCOMPARE(checksum, byteSumOf(carried));
    hidio::closeHandle(data);
    camera.reset();
}

void SharedTest::lockKeys_data()
{
    QTest::addColumn<QByteArray>("node");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QByteArray>("uevent");   // of the node's HID device in sysfs; empty: none
    QTest::addColumn<QString>("file");        // the lock file's name

    const QByteArray port = "HID_NAME=Kelvora\nHID_PHYS=usb-0000:00:14.0-1/input1\n";
    const QString portFile = "kelvora-camera.usb-0000:00:14.0-1.lock";
    QTest::newRow("a hidraw node: its USB port") << QByteArray("/dev/hidraw3") << "SIM0001" << port << portFile;
    QTest::newRow("the other identity on that port, no serial") << QByteArray("/dev/hidraw7") << "" << port << portFile;
    QTest::newRow("no sysfs entry: the serial number")
        << QByteArray("/dev/hidraw4") << "SIM0001" << QByteArray() << "kelvora-camera.serial-SIM0001.lock";
    QTest::newRow("a serial that is no file name")
        << QByteArray("sim:1") << "../x y%" << QByteArray() << "kelvora-camera.serial-..%2Fx%20y%25.lock";
    QTest::newRow("neither") << QByteArray("sim:1") << "" << QByteArray() << "kelvora-camera.any.lock";
}

void SharedTest::lockKeys()
{
    QFETCH(QByteArray, node);
    QFETCH(QString, serial);
    QFETCH(QByteArray, uevent);
    QFETCH(QString, file);
    QTemporaryDir sysfs;
    const QString device = sysfs.filePath("class/hidraw/" + QString::fromLatin1(node.mid(5)) + "/device");
    if (!uevent.isEmpty() && QDir().mkpath(device))
        writeFile(device + QStringLiteral("/uevent"), uevent);
    discovery::Interface entry = interfaceWith(discovery::kControlUsagePage);
    entry.path = node;
    const QString key = cameralock::keyFor(discovery::Device{discovery::Identity::Camera, serial, {entry}}, sysfs.path());
    QCOMPARE(QFileInfo(cameralock::lockFile(key)).fileName(), file);
}

void SharedTest::lockHasOneHolder()
{
    QTemporaryDir folder;
    qputenv(cameralock::kDirectoryVariable, QFile::encodeName(folder.path()));
    const QString key = QStringLiteral("serial-SIM0001");
    cameralock::CameraLock first;
    QCOMPARE(first.take(key), cameralock::Outcome::Taken);
    QCOMPARE(first.take(key), cameralock::Outcome::Taken);   // held already
    QVERIFY(QFileInfo(cameralock::lockFile(key)).permissions() & QFile::WriteOther);   // whatever the umask
    QVERIFY(!first.otherHolder(key) && !first.othersHoldAny());   // its own lock is no other's

    // A second taker, in this thread or another, is refused and told who holds it.
    cameralock::CameraLock second;
    cameralock::Holder holder;
    QCOMPARE(second.take(key, &holder), cameralock::Outcome::Held);
    QCOMPARE(holder.program + QString::number(holder.pid), QStringLiteral("tst_shared%1").arg(::getpid()));
    QVERIFY(second.otherHolder(key) && second.othersHoldAny());
    cameralock::Outcome onThread = cameralock::Outcome::Taken;
    std::thread([&] { onThread = cameralock::CameraLock().take(key); }).join();
    QCOMPARE(onThread, cameralock::Outcome::Held);

    // Any user may write into the file: what is no "program pid" names no one.
    writeFile(cameralock::lockFile(key), "\x1b]0;owned\x07 42\n");
    QCOMPARE(second.take(key, &holder), cameralock::Outcome::Held);
    QVERIFY(!holder.known());

    first.release();
    QVERIFY(!second.otherHolder(key) && !second.othersHoldAny());
    QCOMPARE(second.take(key), cameralock::Outcome::Taken);
    qunsetenv(cameralock::kDirectoryVariable);
}

void SharedTest::lockGoesWithACrashedHolder()
{
    QTemporaryDir folder;
    qputenv(cameralock::kDirectoryVariable, QFile::encodeName(folder.path()));
    const QString key = QStringLiteral("usb-0000:00:14.0-1");
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // A holder that never lets go.
        cameralock::CameraLock held;
        const char taken = held.take(key) == cameralock::Outcome::Taken ? 'y' : 'n';
        if (::write(ready[1], &taken, 1) == 1)
            ::pause();
        ::_exit(1);
    }
    QVERIFY(child > 0);
    int status = 0;
    const auto killChild = [&] { return ::kill(child, SIGKILL) == 0 && ::waitpid(child, &status, 0) == child; };
    auto reap = qScopeGuard([&] { killChild(); });   // whatever a check below finds
    char taken = 0;
    QVERIFY(::read(ready[0], &taken, 1) == 1 && taken == 'y');
    cameralock::CameraLock mine;
    cameralock::Holder holder;
    QCOMPARE(mine.take(key, &holder), cameralock::Outcome::Held);
    QCOMPARE(holder.pid, qint64(child));
    reap.dismiss();
    QVERIFY(killChild() && WIFSIGNALED(status));
    // Nothing to clean up: the kernel let go of it with the process.
    QCOMPARE(mine.take(key), cameralock::Outcome::Taken);
    qunsetenv(cameralock::kDirectoryVariable);
}

void SharedTest::lockFileThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("put");   // what stands where the lock file goes
    QTest::addColumn<QString>("error");
    QTest::newRow("a link to another file") << "link" << "Too many levels of symbolic links";
    QTest::newRow("a FIFO") << "fifo" << "is not a plain file";
}

void SharedTest::lockFileThatCannotBeUsed()
{
    QFETCH(QString, put);
    QFETCH(QString, error);
    QTemporaryDir folder;
    qputenv(cameralock::kDirectoryVariable, QFile::encodeName(folder.path()));
    const QString path = cameralock::lockFile(QStringLiteral("any"));
    const QString target = writeFile(folder.filePath(QStringLiteral("target")), "kept");
    QVERIFY(put == "link" ? QFile::link(target, path) : ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0);

    cameralock::CameraLock lock;
    QCOMPARE(lock.take(QStringLiteral("any")), cameralock::Outcome::Failed);
    QVERIFY2(lock.error().contains(error) && lock.error().contains(path), qPrintable(lock.error()));
    QVERIFY(!lock.held() && !lock.otherHolder(QStringLiteral("any")));
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == "kept");   // a link is never written through
    qunsetenv(cameralock::kDirectoryVariable);
}

QTEST_GUILESS_MAIN(SharedTest)
#include "tst_shared.moc"
