// Many seeded rounds against one window: connects, mode changes and
// upgrades while the virtual camera misbehaves (unplugged at each point of
// an upload, refused data writes, read errors, damaged, late, repeated and
// junk reports). After each round the window must be in one of its
// documented states with no handle lost, and a clean upgrade must then
// arrive byte for byte.
//
// SOAK_SEED picks the first round's seed (round n uses SOAK_SEED + n) and
// SOAK_ROUNDS how many rounds run. A failure names its round's seed; run
// with that seed and SOAK_ROUNDS=1 to replay it on a fresh window.

#include "WindowHarness.h"
#include "ui/StyleSheets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr quint32 kDefaultSeed = 20261207;
constexpr int kDefaultRounds = 500;
constexpr int kRoundsPerBatch = 50;
constexpr int kSettleTimeoutMs = 4000;
// Long enough for the tool's fixed 1000 ms start time-out and its box.
constexpr int kTimeoutPathMs = 2500;

const char *const kLockedControls[] = {"SelectFile", "ufuMode", "StartUpd", "Refresh", "applyButton", "exitButton"};
const char *const kModeButtons[] = {"btnFullScreen", "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery"};
const int kModeValues[] = {0, 1, 2, 8};
const char *const kModeNames[] = {"FullScreen", "AutoFraming", "VoiceTracking", "SmartGallery(1080P only)"};

const QString kCompleted = QStringLiteral("Upgrade completed ,Device will reboot now!");
const QString kWriteError = QStringLiteral("Write error during upload. Abort.");
const QString kStartTimeout = QStringLiteral("Upgrade start timeout. Abort.");
const QString kStartFailed = QStringLiteral("Upgrade start failed.");
const QString kApplied = QStringLiteral("The new settings have been set successfully.");
const QString kDeviceLeft = QStringLiteral(
    "The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.");

quint32 envNumber(const char *name, quint32 fallback)
{
    bool ok = false;
    const quint32 value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

// What a round does.
enum class Round {
    ModeChange,
    EnterUpgradeFromCamera,
    UpgradeWithNoise,          // only faults the exchange must ride out
    UnplugBeforeFirstReport,
    UnplugMidStream,
    UnplugAfterLastReport,
    UnplugAtCompletion,
    UnplugAfterCompletionAck,
    WriteFailuresRecovered,    // fewer than three refusals of one report
    WriteFailuresAbort,        // three refusals
    StartAckLate,              // inside the 1000 ms
    // The ones below wait for the tool's start time-out, so they are rare.
    StartAckTooLate,
    StartAckLost,              // the acknowledgement arrives with a wrong report ID
    StartRefused,
};

struct Weighted
{
    Round round;
    int weight;
};

const Weighted kRoundMix[] = {
    {Round::ModeChange, 14},
    {Round::EnterUpgradeFromCamera, 4},
    {Round::UpgradeWithNoise, 14},
    {Round::UnplugBeforeFirstReport, 8},
    {Round::UnplugMidStream, 8},
    // The whole image goes out before the device leaves: the completion
    // write fails, or the device phase ends when the 1500 ms presence check
    // notices the departure.
    {Round::UnplugAfterLastReport, 2},
    {Round::UnplugAtCompletion, 2},
    {Round::UnplugAfterCompletionAck, 2},
    {Round::WriteFailuresRecovered, 8},
    {Round::WriteFailuresAbort, 8},
    {Round::StartAckLate, 6},
    {Round::StartAckTooLate, 1},
    {Round::StartAckLost, 1},
    {Round::StartRefused, 1},
};

Round pickRound(QRandomGenerator &random)
{
    int total = 0;
    for (const Weighted &entry : kRoundMix)
        total += entry.weight;
    int pick = random.bounded(total);
    for (const Weighted &entry : kRoundMix) {
        if (pick < entry.weight)
            return entry.round;
        pick -= entry.weight;
    }
    return Round::ModeChange;
}

QByteArray randomImage(QRandomGenerator &random, int size)
{
    QByteArray image(size, '\0');
    for (char &byte : image)
        byte = char(random.bounded(256));
    image[0] = char(0x80 | random.bounded(128));   // a header the image checks accept
    return image;
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Rounds run in batches of 50, one data row each, so a report says
    // where a failure happened.
    void seededRounds_data();
    void seededRounds();
    void teardownClosesEverything();
    void cleanupTestCase();

private:
    // One round; returns an empty string or what went wrong.
    QString runRound(quint32 seed);
    QString connectAs(sim::Identity identity);
    QString changeMode(QRandomGenerator &random);
    QString enterUpgrade();
    QString faultyUpgrade(Round round, QRandomGenerator &random);
    QString cleanUpgrade(QRandomGenerator &random);
    QString checkRestingState();
    bool settle();
    void chooseImage();
    void addNoise(QRandomGenerator &random);
    void quietCamera();
    bool writeImage(const QByteArray &image);
    bool waitFor(const std::function<bool()> &condition, int timeoutMs = kSettleTimeoutMs);
    bool locked() const;
    bool unlocked() const;
    bool boxShown(const QString &text) const { return m_h->modals.texts().contains(text); }

    std::unique_ptr<WindowHarness> m_h;
    QTemporaryDir m_dir;
    QString m_imagePath;
    bool m_imageChosen = false;
};

bool SoakTest::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// The image file is chosen once per window; each round rewrites its content.
void SoakTest::chooseImage()
{
    if (m_imageChosen)
        return;
    m_h->chooseImage(m_imagePath);
    m_imageChosen = true;
}

// Waits until nothing is queued for the window and no box is open, twice
// in a row, so that repeated and late replies have been taken too.
bool SoakTest::settle()
{
    for (int calm = 0, i = 0; i < 400; ++i) {
        const bool quiet = m_h->camera.pendingReports() == 0 && !QApplication::activeModalWidget();
        calm = quiet ? calm + 1 : 0;
        if (calm == 2)
            return true;
        QTest::qWait(10);
    }
    return false;
}

bool SoakTest::locked() const
{
    for (const char *name : kLockedControls)
        if (m_h->find<QWidget>(name)->isEnabled())
            return false;
    return true;
}

bool SoakTest::unlocked() const
{
    for (const char *name : kLockedControls)
        if (!m_h->find<QWidget>(name)->isEnabled())
            return false;
    return true;
}

bool SoakTest::writeImage(const QByteArray &image)
{
    QFile file(m_imagePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(image) == image.size();
}

// Every fault off; the camera answers at once and reboots quickly.
void SoakTest::quietCamera()
{
    sim::VirtualCamera &camera = m_h->camera;
    camera.setSilent(false);
    camera.setReadFails(false);
    camera.failNextDataWrites(0);
    camera.vanishAfterDataReports(0);
    camera.unplugDuringUpload(sim::UnplugPoint::Never);
    camera.setDuplicateReplies(0);
    camera.setGarbageBeforeReplies(0);
    camera.damageNextReplies(sim::ReplyDamage::Checksum, 0);
    camera.setReplyDelay(0ms);
    camera.setStartAck(sim::AckMode::Immediate);
    camera.setUpgradeReturnDelay(5ms);
    camera.setProgressPlan({100}, 2ms, 2ms, "V2.0.0");
}

// Faults that only slow the exchange down: junk before replies, repeated
// replies, wrong checksums (still acted on), late replies and a short run
// of failing reads.
void SoakTest::addNoise(QRandomGenerator &random)
{
    sim::VirtualCamera &camera = m_h->camera;
    if (random.bounded(3) == 0)
        camera.setGarbageBeforeReplies(1 + random.bounded(2), random.generate());
    if (random.bounded(3) == 0)
        camera.setDuplicateReplies(1);
    if (random.bounded(3) == 0)
        camera.damageNextReplies(sim::ReplyDamage::Checksum, 1 + random.bounded(3));
    if (random.bounded(4) == 0)
        camera.setReplyDelay(std::chrono::milliseconds(random.bounded(40)));
    if (random.bounded(4) == 0) {
        camera.setReadFails(true);
        QTimer::singleShot(20 + random.bounded(80), [&camera] { camera.setReadFails(false); });
    }
}

QString SoakTest::connectAs(sim::Identity identity)
{
    sim::VirtualCamera &camera = m_h->camera;
    // Plugged in afresh, which also cancels a reboot the camera still has
    // planned from the last upgrade.
    camera.attach(identity);
    m_h->click("Refresh");
    const QString device = identity == sim::Identity::Normal ? QStringLiteral("Device: AI_CAMERA")
                                                             : QStringLiteral("Device: UPD_DEVICES");
    if (!waitFor([&] { return camera.pendingReports() == 0 && !QApplication::activeModalWidget(); }))
        return QStringLiteral("connect: replies not taken");
    if (m_h->find<QLabel>("deviceNameLabel")->text() != device && identity == sim::Identity::Upgrade)
        return QStringLiteral("connect: device label %1").arg(m_h->find<QLabel>("deviceNameLabel")->text());
    return QString();
}

QString SoakTest::changeMode(QRandomGenerator &random)
{
    if (QString failure = connectAs(sim::Identity::Normal); !failure.isEmpty())
        return failure;
    addNoise(random);
    for (int change = 0, changes = 1 + random.bounded(3); change < changes; ++change) {
        const int pick = random.bounded(4);
        m_h->modals.clear();
        m_h->click(kModeButtons[pick]);
        m_h->click("applyButton");
        if (!waitFor([&] { return boxShown(kApplied) && !QApplication::activeModalWidget(); }))
            return QStringLiteral("mode %1: no confirmation").arg(kModeValues[pick]);
        if (m_h->camera.mode() != kModeValues[pick])
            return QStringLiteral("mode %1: camera has %2").arg(kModeValues[pick]).arg(m_h->camera.mode());
        if (!waitFor([&] { return m_h->find<QLabel>("Mode")->text() == QStringLiteral("Mode: ") + QLatin1String(kModeNames[pick]); }))
            return QStringLiteral("mode %1: label shows %2").arg(kModeValues[pick]).arg(m_h->find<QLabel>("Mode")->text());
    }
    // Whatever the noise still delivers (repeats, late replies) is taken too.
    if (!waitFor([&] { return m_h->camera.pendingReports() == 0 && !QApplication::activeModalWidget(); }))
        return QStringLiteral("mode: replies not taken");
    return QString();
}

QString SoakTest::enterUpgrade()
{
    if (QString failure = connectAs(sim::Identity::Normal); !failure.isEmpty())
        return failure;
    if (!m_h->find<QWidget>("ufuMode")->isVisible())
        m_h->click("upgradeMode");
    m_h->click("ufuMode");
    if (!waitFor([&] { return m_h->camera.isAttached() && m_h->camera.identity() == sim::Identity::Upgrade; }))
        return QStringLiteral("enter upgrade: the camera did not come back");
    m_h->click("Refresh");
    if (!waitFor([&] { return m_h->find<QLabel>("Mode")->text() == QStringLiteral("Mode: UPD")
                             && m_h->camera.pendingReports() == 0; }))
        return QStringLiteral("enter upgrade: not shown as the upgrade device");
    return QString();
}

QString SoakTest::faultyUpgrade(Round round, QRandomGenerator &random)
{
    sim::VirtualCamera &camera = m_h->camera;
    if (QString failure = connectAs(sim::Identity::Upgrade); !failure.isEmpty())
        return failure;

    // Three to nine data reports, so every unplug point has room.
    const QByteArray image = randomImage(random, 1021 + random.bounded(4000));
    const int reports = (image.size() + 509) / 510;
    if (!writeImage(image))
        return QStringLiteral("cannot write the image");

    bool succeeds = false;       // the device ends with 100 % and the image intact
    bool devicePhase = false;    // the completion went out, nothing more comes
    QString box;                 // the warning the round must end with
    int waitMs = kSettleTimeoutMs;
    switch (round) {
    case Round::UpgradeWithNoise:
        addNoise(random);
        succeeds = true;
        break;
    case Round::UnplugBeforeFirstReport:
        camera.unplugDuringUpload(sim::UnplugPoint::BeforeFirstDataReport);
        box = kWriteError;
        break;
    case Round::UnplugMidStream:
        camera.vanishAfterDataReports(1 + random.bounded(reports - 1));
        box = kWriteError;
        break;
    case Round::UnplugAfterLastReport:
        camera.unplugDuringUpload(sim::UnplugPoint::AfterLastDataReport);
        box = kWriteError;
        devicePhase = true;
        break;
    case Round::UnplugAtCompletion:
        camera.unplugDuringUpload(sim::UnplugPoint::AtCompletion);
        box = kDeviceLeft;
        devicePhase = true;
        break;
    case Round::UnplugAfterCompletionAck:
        camera.unplugDuringUpload(sim::UnplugPoint::AfterCompletionAck);
        box = kDeviceLeft;
        devicePhase = true;
        break;
    case Round::WriteFailuresRecovered:
        addNoise(random);
        camera.failNextDataWrites(1 + random.bounded(2));
        succeeds = true;
        break;
    case Round::WriteFailuresAbort:
        camera.failNextDataWrites(3);
        box = kWriteError;
        break;
    case Round::StartAckLate:
        camera.setStartAck(sim::AckMode::Delayed, 0, std::chrono::milliseconds(100 + random.bounded(300)));
        succeeds = true;
        break;
    case Round::StartAckTooLate:
        camera.setStartAck(sim::AckMode::Delayed, 0, 1300ms);
        box = kStartTimeout;
        waitMs = kTimeoutPathMs;
        break;
    case Round::StartAckLost:
        camera.damageNextReplies(sim::ReplyDamage::ReportId, 1);
        box = kStartTimeout;
        waitMs = kTimeoutPathMs;
        break;
    case Round::StartRefused:
        camera.setStartAck(sim::AckMode::Immediate, quint8(1 + random.bounded(255)));
        box = kStartTimeout;
        waitMs = kTimeoutPathMs;
        break;
    default:
        return QStringLiteral("not an upgrade round");
    }

    chooseImage();
    m_h->modals.clear();
    m_h->click("StartUpd");
    if (!locked())
        return QStringLiteral("controls not locked after the start");

    if (succeeds) {
        if (!waitFor([&] { return boxShown(kCompleted) && unlocked(); }, waitMs))
            return QStringLiteral("upgrade did not complete (boxes: %1)").arg(m_h->modals.texts().join(QLatin1String(" | ")));
        if (camera.receivedImage() != image || camera.completeChecksum() != byteSumOf(image))
            return QStringLiteral("image damaged on the way (%1 of %2 bytes)").arg(camera.receivedImage().size()).arg(image.size());
    } else if (devicePhase) {
        // The whole image went out before the device left; the upgrade ends
        // with a warning, and the presence check shows the departure.
        if (!waitFor([&] { return boxShown(box) && unlocked() && !QApplication::activeModalWidget(); }, waitMs))
            return QStringLiteral("device phase: expected \"%1\", boxes: %2").arg(box, m_h->modals.texts().join(QLatin1String(" | ")));
        if (camera.receivedImage() != image)
            return QStringLiteral("image damaged before the unplug");
        if (!waitFor([&] { return m_h->find<QLabel>("statusLabel")->text() == QStringLiteral("Status: Disconnected"); },
                     waitMs))
            return QStringLiteral("device phase: the departure is not shown");
        if (m_h->modals.count() != 1)
            return QStringLiteral("device phase: %1 boxes").arg(m_h->modals.count());
    } else {
        if (!waitFor([&] { return boxShown(box) && unlocked() && !QApplication::activeModalWidget(); }, waitMs))
            return QStringLiteral("expected \"%1\", boxes: %2").arg(box, m_h->modals.texts().join(QLatin1String(" | ")));
        if (round == Round::StartRefused && !boxShown(kStartFailed))
            return QStringLiteral("refused start not reported");
        if (round == Round::StartAckTooLate) {
            // The late acknowledgement must not start an upload of its own.
            QTest::qWait(400);
            if (camera.dataReportCount() != 0 || !unlocked())
                return QStringLiteral("a late acknowledgement started an upload");
        }
    }
    return checkRestingState();
}

// The window is at rest: idle with every control usable, no box open,
// labels that agree with each other, and no handle lost.
QString SoakTest::checkRestingState()
{
    if (!settle())
        return QStringLiteral("replies keep coming");
    if (QApplication::activeModalWidget())
        return QStringLiteral("a box is still open");
    if (locked())
        return QStringLiteral("controls locked at rest");
    if (!unlocked())
        return QStringLiteral("controls half locked");

    const auto *device = m_h->find<QLabel>("deviceNameLabel");
    const auto *status = m_h->find<QLabel>("statusLabel");
    const QString sheet = device->styleSheet();
    if (status->styleSheet() != sheet)
        return QStringLiteral("status labels in different colours");
    const QString name = device->text();
    if (sheet == QString::fromUtf8(styles::kStatusNotFound)) {
        if (name != QStringLiteral("Device: Not Found") || status->text() != QStringLiteral("Status: Disconnected"))
            return QStringLiteral("red labels say %1 / %2").arg(name, status->text());
    } else if (sheet == QString::fromUtf8(styles::kStatusUpgrade)) {
        if (name != QStringLiteral("Device: UPD_DEVICES") || status->text() != QStringLiteral("Status: Connected"))
            return QStringLiteral("orange labels say %1 / %2").arg(name, status->text());
    } else if (sheet == QString::fromUtf8(styles::kStatusCamera)) {
        // Connected to the camera (its name may replace the label's text),
        // or untouched since the window was built.
        const bool connected = name.startsWith(QStringLiteral("Device: ")) && status->text() == QStringLiteral("Status: Connected");
        const bool fresh = name == QStringLiteral("Device: Unknown") && status->text() == QStringLiteral("Status: Disconnected");
        if (!connected && !fresh)
            return QStringLiteral("teal labels say %1 / %2").arg(name, status->text());
    } else {
        return QStringLiteral("status labels styled %1").arg(sheet);
    }

    // The mode label and the check marks tell the same story.
    const QString mode = m_h->find<QLabel>("Mode")->text();
    for (int i = 0; i < 4; ++i) {
        const bool named = mode == QStringLiteral("Mode: ") + QLatin1String(kModeNames[i]);
        if (named && !m_h->find<QPushButton>(kModeButtons[i])->isChecked())
            return QStringLiteral("%1 shown but its button is not checked").arg(mode);
    }

    const auto *bar = m_h->find<QProgressBar>("DownloadProgress");
    if (bar->value() < 0 || bar->value() > 100)
        return QStringLiteral("progress bar at %1").arg(bar->value());

    // Open handles are the window's own: two interfaces and a probe at most.
    const sim::VirtualCamera &camera = m_h->camera;
    if (camera.openHandleCount() > 4)
        return QStringLiteral("%1 handles open").arg(camera.openHandleCount());
    if (camera.doubleCloses() != 0)
        return QStringLiteral("%1 handles closed twice").arg(camera.doubleCloses());
    for (const QString &fault : camera.formatViolations()) {
        if (fault.startsWith(QLatin1String("control:")))
            return QStringLiteral("malformed request: %1").arg(fault);
    }
    return QString();
}

QString SoakTest::cleanUpgrade(QRandomGenerator &random)
{
    sim::VirtualCamera &camera = m_h->camera;
    quietCamera();
    if (QString failure = connectAs(sim::Identity::Upgrade); !failure.isEmpty())
        return QStringLiteral("clean upgrade: ") + failure;
    if (!unlocked())
        return QStringLiteral("clean upgrade: controls locked before the start");
    const QByteArray image = randomImage(random, 1 + random.bounded(3000));
    if (!writeImage(image))
        return QStringLiteral("cannot write the image");
    chooseImage();
    m_h->modals.clear();
    camera.clearRecords();
    m_h->click("StartUpd");
    if (!waitFor([&] { return boxShown(kCompleted) && unlocked(); }))
        return QStringLiteral("clean upgrade did not complete (boxes: %1)").arg(m_h->modals.texts().join(QLatin1String(" | ")));
    if (camera.announcedSize() != image.size())
        return QStringLiteral("clean upgrade announced %1 of %2 bytes").arg(camera.announcedSize()).arg(image.size());
    if (camera.receivedImage() != image)
        return QStringLiteral("clean upgrade: image differs (%1 of %2 bytes)").arg(camera.receivedImage().size()).arg(image.size());
    if (camera.completeChecksum() != byteSumOf(image))
        return QStringLiteral("clean upgrade: checksum %1, expected %2").arg(camera.completeChecksum()).arg(byteSumOf(image));
    if (!camera.formatViolations().isEmpty())
        return QStringLiteral("clean upgrade: %1").arg(camera.formatViolations().join(QLatin1String("; ")));
    return checkRestingState();
}

QString SoakTest::runRound(quint32 seed)
{
    QRandomGenerator random(seed);
    quietCamera();
    m_h->camera.clearRecords();
    m_h->modals.clear();
    const Round round = pickRound(random);
    QString failure;
    if (round == Round::ModeChange)
        failure = changeMode(random);
    else if (round == Round::EnterUpgradeFromCamera)
        failure = enterUpgrade();
    else
        failure = faultyUpgrade(round, random);
    if (failure.isEmpty())
        failure = checkRestingState();
    if (failure.isEmpty())
        failure = cleanUpgrade(random);
    if (qEnvironmentVariableIsSet("SOAK_VERBOSE"))
        qInfo("kind %d", int(round));
    return failure.isEmpty() ? failure : QStringLiteral("round kind %1: %2").arg(int(round)).arg(failure);
}

void SoakTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_imagePath = m_dir.filePath(QStringLiteral("soak.bin"));
    m_imageChosen = false;
    m_h = std::make_unique<WindowHarness>();
    m_h->log.setPassOn(false);
    m_h->click("upgradeMode");
}

void SoakTest::seededRounds_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    const int rounds = int(envNumber("SOAK_ROUNDS", kDefaultRounds));
    for (int first = 0; first < rounds; first += kRoundsPerBatch) {
        const int count = qMin(kRoundsPerBatch, rounds - first);
        QTest::addRow("rounds %d-%d", first, first + count - 1) << first << count;
    }
}

void SoakTest::seededRounds()
{
    QFETCH(int, first);
    QFETCH(int, count);
    const quint32 seed = envNumber("SOAK_SEED", kDefaultSeed);
    if (!m_h) {
        // An earlier batch failed; go on with a new window.
        m_h = std::make_unique<WindowHarness>();
        m_h->log.setPassOn(false);
        m_h->click("upgradeMode");
        m_imageChosen = false;
    }
    for (int i = first; i < first + count; ++i) {
        const quint32 roundSeed = seed + quint32(i);
        QElapsedTimer clock;
        clock.start();
        const QString failure = runRound(roundSeed);
        if (qEnvironmentVariableIsSet("SOAK_VERBOSE"))
            qInfo("round %d seed %u: %lld ms", i, roundSeed, clock.elapsed());
        if (!failure.isEmpty()) {
            // The round's own log, to see what the window made of it.
            for (const QString &line : m_h->log.lines().mid(qMax(0, m_h->log.lines().size() - 60)))
                qInfo("log: %s", qPrintable(line));
            m_h.reset();
            QFAIL(qPrintable(QStringLiteral("round %1 failed, replay with SOAK_SEED=%2 SOAK_ROUNDS=1: %3")
                                 .arg(i).arg(roundSeed).arg(failure)));
        }
        m_h->log.clear();
    }
}

// Teardown closes every handle the window still holds, before hidapi is
// shut down, and each only once.
void SoakTest::teardownClosesEverything()
{
    QVERIFY(m_h);
    m_h->window.reset();
    const sim::VirtualCamera &camera = m_h->camera;
    QCOMPARE(camera.openHandleCount(), 0);
    QCOMPARE(camera.totalClosed(), camera.totalOpened());
    QCOMPARE(camera.doubleCloses(), 0);
    QVERIFY(camera.exitCalled());
    QVERIFY(!camera.exitedWithOpenHandles());
    qInfo("%d rounds from seed %u", int(envNumber("SOAK_ROUNDS", kDefaultRounds)),
          envNumber("SOAK_SEED", kDefaultSeed));
}

void SoakTest::cleanupTestCase()
{
    m_h.reset();
}

int main(int argc, char **argv)
{
    // The test library's watchdog measures a data-driven function as a whole
    // when its rows follow each other quickly, so a long soak would be cut
    // off at its default five minutes. The time limit in CI is CTest's.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(24 * 60 * 60 * 1000));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    SoakTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soak.moc"
