#include "VirtualCamera.h"

#include "DeviceFrames.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <numeric>
#include <thread>
#include <vector>

namespace sim {

using namespace frames;

namespace {

using Milliseconds = VirtualCamera::Milliseconds;

// --- Defaults --------------------------------------------------------------
const char *const kDefaultVersion = "V1.0.3";
const char *const kDefaultUvcName = "Conference Camera";
const char *const kDefaultNewVersion = "V1.0.4";
constexpr Milliseconds kDefaultUpgradeReturnDelay(2000);
constexpr Milliseconds kDefaultProgressInterval(300);
constexpr Milliseconds kDefaultRebootDelay(500);
constexpr Milliseconds kRebootRecheck(20);
constexpr quint8 kDefaultProgressSteps[] = {0, 25, 50, 75, 100};

// What the device tells the bus about itself.
constexpr quint16 kReleaseNumber = 0x0100;
const char *const kManufacturer = "Virtual Devices";
const char *const kNormalProduct = "Conference Camera";
const char *const kUpgradeProduct = "Upgrade Device";
const char *const kSerialNumber = "SIM0001";
const char kSecondPathPrefix[] = "sim:second:";

// Sleeps until `wake` on the monotonic clock (steady_clock's), the way
// hidapi's poll(2) waits: false when a signal the program catches cut the
// sleep short. std::this_thread::sleep_until would go back to sleep and hide
// the signal from the caller.
bool sleepUntil(VirtualCamera::Clock::time_point wake)
{
    const auto since = wake.time_since_epoch();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(since);
    timespec until{};
    until.tv_sec = time_t(whole.count());
    until.tv_nsec = long(std::chrono::duration_cast<std::chrono::nanoseconds>(since - whole).count());
    return clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != EINTR;
}

} // namespace

QVector<InterfaceSpec> standardInterfaces()
{
    InterfaceSpec control;
    control.usagePage = kControlUsagePage;
    control.usage = 1;
    control.interfaceNumber = 0;
    InterfaceSpec data;
    data.usagePage = kDataUsagePage;
    data.usage = 1;
    data.interfaceNumber = 1;
    return {control, data};
}

struct VirtualCamera::State
{
    struct Handle
    {
        InterfaceInfo info;
        bool alive = true;   // false once the device it was opened on has left
    };

    struct Scheduled
    {
        Clock::time_point due;
        quint64 order = 0;   // keeps actions due at the same moment in the order they were made
        std::function<void()> action;
    };

    // Presence
    bool attached = false;
    Identity identity = Identity::Normal;
    bool secondAttached = false;
    Identity secondIdentity = Identity::Upgrade;
    bool secondListed = false;
    // The listed second device's own camera: what it tells, its mode, and
    // its replies waiting to be read on its control interface.
    QByteArray secondVersion = kDefaultVersion;
    QByteArray secondUvcName = kDefaultUvcName;
    quint8 secondMode = 0;
    std::deque<QByteArray> secondReports;
    QVector<InterfaceSpec> interfaces = standardInterfaces();
    Milliseconds interfaceGap{0};
    int listedInterfaces = 0;   // of the attached device, in bus order
    std::array<bool, 2> probeFails{};
    QSet<quint16> openFailPages;

    // Camera behaviour
    QByteArray version = kDefaultVersion;
    QByteArray uvcName = kDefaultUvcName;
    quint8 mode = 0;
    std::array<quint8, 10> audioLevels{};
    bool silent = false;
    Milliseconds upgradeReturnDelay = kDefaultUpgradeReturnDelay;
    int lpfSwitches = 0;

    // Upgrade behaviour
    AckMode startAck = AckMode::Immediate;
    quint8 startAckStatus = kStatusOk;
    Milliseconds startAckDelay{0};
    QVector<quint8> progressSteps = QVector<quint8>(std::begin(kDefaultProgressSteps), std::end(kDefaultProgressSteps));
    Milliseconds progressInterval = kDefaultProgressInterval;
    Milliseconds rebootDelay = kDefaultRebootDelay;
    QByteArray newVersion = kDefaultNewVersion;
    int failDataWrites = 0;
    quint8 failedGroup = 0;
    quint8 failedCode = 0;
    int failRequests = 0;
    int vanishAfter = 0;   // 0: off
    UnplugPoint unplugPoint = UnplugPoint::Never;
    bool leaveWhenRead = false;   // leave once the host has read everything queued

    // Faults in what the camera sends
    int duplicates = 0;
    int garbageCount = 0;
    quint32 garbageState = 1;
    ReplyDamage damage = ReplyDamage::Checksum;
    int damagedLeft = 0;
    Milliseconds replyDelay{0};
    int delayedInFlight = 0;   // late replies scheduled and not yet delivered
    std::chrono::microseconds dataWritePace{0};

    // The upload in progress or last finished
    bool uploadOpen = false;   // an UPGRADE_START was taken on this attachment
    qint64 announced = -1;
    QByteArray image;
    quint8 imageSum = 0;
    int completeSum = -1;
    int dataReports = 0;

    // Reads
    bool readWaits = true;
    bool readFails = false;
    std::deque<QByteArray> reports;
    quint16 lastReadPage = 0;
    int lastReadInterface = -1;

    std::vector<Scheduled> schedule;
    quint64 nextOrder = 0;
    quint64 generation = 0;   // bumped whenever a device joins or leaves the bus

    // Handles opened since the last reset, by id, until closed.
    std::map<quint64, Handle> handles;
    quint64 nextHandle = 1;   // never reused, so ids from before a reset stay unknown
    int opened = 0;
    int closed = 0;
    int doubleCloses = 0;
    bool exitCalled = false;
    bool exitedWithOpenHandles = false;

    // Records
    QVector<WrittenFrame> frames;
    QVector<QByteArray> requests;
    QStringList violations;
    QStringList calls;

    quint16 vendorId() const { return identity == Identity::Normal ? kNormalVendorId : kUpgradeVendorId; }
    quint16 productId() const { return identity == Identity::Normal ? kNormalProductId : kUpgradeProductId; }

    // Whether the attached device answers to these IDs (0 matches any).
    bool answersTo(quint16 vendor, quint16 product) const
    {
        return attached && (vendor == 0 || vendor == vendorId()) && (product == 0 || product == productId());
    }

    // The interfaces in the order the bus lists them: by the names the
    // kernel gives them ("1-1:1.<number>"), compared as text, so that
    // interface 10 comes before interface 2.
    QVector<int> busOrder() const
    {
        QVector<int> order(interfaces.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
            return QByteArray::number(interfaces.at(a).interfaceNumber)
                < QByteArray::number(interfaces.at(b).interfaceNumber);
        });
        return order;
    }

    QByteArray path(int index) const
    {
        char text[32];
        std::snprintf(text, sizeof text, "sim:%04x:%04x:%d", unsigned(vendorId()), unsigned(productId()), index);
        return QByteArray(text);
    }

    static bool isSecondPath(const QByteArray &path) { return path.startsWith(kSecondPathPrefix); }

    // One of the listed second device's two standard interfaces.
    InterfaceInfo describeSecond(int index) const
    {
        const bool normal = secondIdentity == Identity::Normal;
        const InterfaceSpec spec = standardInterfaces().at(index);
        InterfaceInfo info;
        info.vendorId = normal ? kNormalVendorId : kUpgradeVendorId;
        info.productId = normal ? kNormalProductId : kUpgradeProductId;
        info.path = QByteArray(kSecondPathPrefix) + QByteArray::number(index);
        info.releaseNumber = kReleaseNumber;
        info.usagePage = spec.usagePage;
        info.usage = spec.usage;
        info.interfaceNumber = spec.interfaceNumber;
        info.serialNumber = QString::fromLatin1(kSecondSerialNumber);
        info.manufacturer = QString::fromLatin1(kManufacturer);
        info.product = QString::fromLatin1(normal ? kNormalProduct : kUpgradeProduct);
        return info;
    }

    InterfaceInfo describe(int index) const
    {
        const InterfaceSpec &spec = interfaces.at(index);
        InterfaceInfo info;
        info.vendorId = vendorId();
        info.productId = productId();
        info.path = path(index);
        info.releaseNumber = kReleaseNumber;
        info.usagePage = spec.usagePage;
        info.usage = spec.usage;
        info.interfaceNumber = spec.interfaceNumber;
        info.serialNumber = QString::fromLatin1(kSerialNumber);
        info.manufacturer = QString::fromLatin1(kManufacturer);
        info.product = QString::fromLatin1(identity == Identity::Normal ? kNormalProduct : kUpgradeProduct);
        return info;
    }

    quint64 open(int index)
    {
        const quint64 id = nextHandle++;
        handles[id].info = describe(index);
        ++opened;
        return id;
    }

    const Handle *liveHandle(quint64 id) const
    {
        const auto it = handles.find(id);
        return it != handles.end() && it->second.alive ? &it->second : nullptr;
    }

    // The device leaves the bus: open handles die, and nothing it had
    // queued or planned to send is delivered any more.
    void unplug()
    {
        if (attached)
            ++generation;
        attached = false;
        for (auto &entry : handles)
            entry.second.alive = false;
        reports.clear();
        schedule.clear();
        delayedInFlight = 0;
        uploadOpen = false;
        leaveWhenRead = false;
    }

    // A device already on the bus leaves first. Plugging one in by hand
    // also drops a return still planned (after CAMERA_ENTER_UPD), but keeps
    // reports a test queued while nothing was attached.
    void plug(Identity newIdentity, const QVector<InterfaceSpec> &newInterfaces)
    {
        if (attached) {
            unplug();
        } else {
            schedule.clear();
            delayedInFlight = 0;
        }
        attached = true;
        ++generation;
        identity = newIdentity;
        interfaces = newInterfaces;
        listedInterfaces = interfaceGap.count() > 0 ? std::min<int>(1, interfaces.size()) : interfaces.size();
        for (int count = 2; count <= interfaces.size() && interfaceGap.count() > 0; ++count)
            after(interfaceGap * (count - 1), [this, count] { listedInterfaces = std::max(listedInterfaces, count); });
    }

    // The interfaces listed so far, in bus order.
    QVector<int> listed() const { return busOrder().mid(0, listedInterfaces); }

    void after(Milliseconds delay, std::function<void()> action)
    {
        schedule.push_back({Clock::now() + delay, nextOrder++, std::move(action)});
    }

    std::vector<Scheduled>::iterator nextScheduled()
    {
        return std::min_element(schedule.begin(), schedule.end(), [](const Scheduled &a, const Scheduled &b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    }

    void runDue()
    {
        for (;;) {
            const auto next = nextScheduled();
            if (next == schedule.end() || next->due > Clock::now())
                return;
            // Taken out before it runs: an action may unplug, which empties the schedule.
            std::function<void()> action = std::move(next->action);
            schedule.erase(next);
            action();
        }
    }

    // Something the camera sends of its own accord; a silent or absent
    // camera sends nothing.
    void send(quint8 group, quint8 code, const QByteArray &payload)
    {
        if (!attached || silent)
            return;
        if (replyDelay.count() > 0) {
            ++delayedInFlight;
            after(replyDelay, [this, group, code, payload] {
                --delayedInFlight;
                deliver(group, code, payload);
            });
            return;
        }
        deliver(group, code, payload);
    }

    void deliver(quint8 group, quint8 code, const QByteArray &payload)
    {
        if (!attached || silent)
            return;
        for (int i = 0; i < garbageCount; ++i)
            reports.push_back(garbage());
        QByteArray reply = buildReply(group, code, payload);
        if (damagedLeft > 0) {
            --damagedLeft;
            if (damage == ReplyDamage::Checksum)
                reply[kChecksumIndex] = char(at(reply, kChecksumIndex) ^ 0x5A);
            else
                reply[0] = char(kFrameReportId + 1);
        }
        for (int i = 0; i <= duplicates; ++i)
            reports.push_back(reply);
    }

    // A junk report from a small linear congruential generator, so a seed
    // gives the same junk every time.
    quint8 nextGarbageByte()
    {
        garbageState = garbageState * 1664525u + 1013904223u;
        return quint8(garbageState >> 24);
    }

    QByteArray garbage()
    {
        QByteArray junk(nextGarbageByte() % (kFrameSize + 1), '\0');
        for (char &byte : junk)
            byte = char(nextGarbageByte());
        if (!junk.isEmpty() && at(junk, 0) == kFrameReportId)
            junk[0] = char(kFrameReportId ^ 0x80);
        return junk;
    }

    void violation(const QString &reason) { violations.append(reason); }

    // True once, when the armed unplug point is this one.
    bool takeUnplugPoint(UnplugPoint point)
    {
        if (unplugPoint != point)
            return false;
        unplugPoint = UnplugPoint::Never;
        return true;
    }

    // The listed second device is a camera of its own on the same desk: it
    // answers what a camera in normal mode is asked (its loader, in upgrade
    // mode, tells its version only), at once and in order. It is never sent
    // into upgrade mode and takes no image. A silent camera is silent here too.
    int secondControlWrite(const QByteArray &frame)
    {
        const QString fault = requestFault(frame);
        if (!fault.isEmpty()) {
            violation(QStringLiteral("second: ") + fault);
            return frame.size();
        }
        const quint8 code = at(frame, kCodeIndex);
        if (silent || at(frame, kGroupIndex) != kGroupCamera
            || (secondIdentity == Identity::Upgrade && code != kGetVersion))
            return frame.size();
        switch (code) {
        case kGetVersion:
            secondReports.push_back(buildReply(kGroupCamera, kGetVersionAck, secondVersion));
            break;
        case kSetMode:
            secondMode = at(frame, kPayloadIndex);
            secondReports.push_back(buildReply(kGroupCamera, kSetModeAck, QByteArray(1, '\0')));
            break;
        case kGetMode:
            secondReports.push_back(buildReply(kGroupCamera, kGetModeAck, QByteArray(1, char(secondMode))));
            break;
        case kGetUvcName:
            secondReports.push_back(buildReply(kGroupCamera, kGetUvcNameAck, secondUvcName));
            break;
        default:
            break;
        }
        return frame.size();
    }

    int controlWrite(const QByteArray &frame)
    {
        const QString fault = requestFault(frame);
        if (!fault.isEmpty()) {
            violation(QStringLiteral("control: ") + fault);
            return frame.size();
        }
        requests.append(frame);
        const QByteArray payload = frame.mid(kPayloadIndex, at(frame, kLengthIndex));
        const quint8 group = at(frame, kGroupIndex);
        if (group == kGroupCamera)
            cameraRequest(at(frame, kCodeIndex), payload);
        else if (group == kGroupUpgrade && identity == Identity::Upgrade)
            upgradeRequest(at(frame, kCodeIndex), payload);
        // The preamble, and upgrade requests sent to the normal camera, are taken without effect.
        return frame.size();
    }

    void cameraRequest(quint8 code, const QByteArray &payload)
    {
        // The upgrade device is the camera's loader: it tells its version
        // and ignores every other camera request.
        if (identity == Identity::Upgrade && code != kGetVersion)
            return;
        switch (code) {
        case kGetVersion:
            send(kGroupCamera, kGetVersionAck, version);
            break;
        case kSetMode:
            mode = at(payload, 0);
            send(kGroupCamera, kSetModeAck, QByteArray(1, '\0'));
            break;
        case kGetMode:
            send(kGroupCamera, kGetModeAck, QByteArray(1, char(mode)));
            break;
        case kGetUvcName:
            send(kGroupCamera, kGetUvcNameAck, uvcName);
            break;
        case kGetAudioLevels:
            send(kGroupCamera, kGetAudioLevelsAck,
                 QByteArray(reinterpret_cast<const char *>(audioLevels.data()), int(audioLevels.size())));
            break;
        case kLpfSwitch:
            ++lpfSwitches;
            break;
        case kEnterUpgrade:
            unplug();
            after(upgradeReturnDelay, [this] { plug(Identity::Upgrade, standardInterfaces()); });
            break;
        default:
            break;
        }
    }

    void upgradeRequest(quint8 code, const QByteArray &payload)
    {
        if (code == kUpgradeStart) {
            quint32 size = 0;
            for (int i = 0; i < kImageSizeBytes; ++i)
                size = (size << 8) | at(payload, i);
            announced = size;
            image.clear();
            imageSum = 0;
            completeSum = -1;
            dataReports = 0;
            uploadOpen = true;
            const QByteArray status(1, char(startAckStatus));
            if (startAck == AckMode::Immediate)
                send(kGroupUpgrade, kUpgradeStartAck, status);
            else if (startAck == AckMode::Delayed)
                after(startAckDelay, [this, status] { send(kGroupUpgrade, kUpgradeStartAck, status); });
            return;
        }
        if (code == kUploadComplete) {
            completeSum = at(payload, 0);
            const bool good = uploadOpen && image.size() == announced && imageSum == completeSum;
            uploadOpen = false;
            if (takeUnplugPoint(UnplugPoint::AtCompletion)) {
                unplug();
                return;
            }
            send(kGroupUpgrade, kUploadCompleteAck, QByteArray(1, char(good ? kStatusOk : kStatusBadImage)));
            if (takeUnplugPoint(UnplugPoint::AfterCompletionAck)) {
                leaveWhenRead = true;
                return;
            }
            if (good)
                planFlash();
        }
    }

    // After a good image the device reports its own progress, then reboots
    // as the normal camera with the new firmware.
    void planFlash()
    {
        Milliseconds when{0};
        for (const quint8 step : progressSteps) {
            when += progressInterval;
            after(when, [this, step] { send(kGroupUpgrade, kUpgradeProgress, QByteArray(1, char(step))); });
        }
        when += rebootDelay;
        after(when, [this] { reboot(); });
    }

    // The device holds its reboot until the host has taken its last report,
    // so the final progress step is not lost with the old identity.
    void reboot()
    {
        if (!reports.empty() || delayedInFlight > 0) {
            after(kRebootRecheck, [this] { reboot(); });
            return;
        }
        version = newVersion;
        plug(Identity::Normal, standardInterfaces());
    }

    // Takes a report the data interface accepted; returns the fault, if any.
    QString dataReport(const QByteArray &report)
    {
        const QString shape = dataReportShapeFault(report);
        if (!shape.isEmpty())
            return shape;
        if (!uploadOpen)
            return QStringLiteral("data report outside an upload (no UPGRADE_START taken)");
        if (image.size() >= announced)
            return QStringLiteral("data report after the announced %1 bytes were complete").arg(announced);
        const int take = int(std::min<qint64>(kImageBytesPerReport, announced - image.size()));
        for (int i = kDataHeaderSize + take; i < kDataReportSize; ++i) {
            if (at(report, i) != 0)
                return QStringLiteral("data report byte %1 is %2 in the zero fill after %3 image bytes")
                    .arg(i).arg(hexByte(at(report, i))).arg(take);
        }
        for (int i = 0; i < take; ++i)
            imageSum = quint8(imageSum + at(report, kDataHeaderSize + i));
        image.append(report.mid(kDataHeaderSize, take));
        ++dataReports;
        if (vanishAfter > 0 && --vanishAfter == 0)
            unplug();
        else if (image.size() >= announced && takeUnplugPoint(UnplugPoint::AfterLastDataReport))
            unplug();
        return QString();
    }
};

VirtualCamera &VirtualCamera::instance()
{
    static VirtualCamera camera;
    return camera;
}

VirtualCamera::VirtualCamera()
    : d(new State)
{
}

VirtualCamera::~VirtualCamera()
{
    delete d;
}

void VirtualCamera::reset()
{
    // Forgetting the handle registry is what makes older handles dead; the
    // id counter survives so that none of them is ever mistaken for a new one.
    // The bus generation goes on counting for the same reason: a door must
    // see that whatever was attached before has gone.
    const quint64 nextHandle = d->nextHandle;
    const quint64 generation = d->generation;
    *d = State();
    d->nextHandle = nextHandle;
    d->generation = generation + 1;
}

void VirtualCamera::attach(Identity identity, const QVector<InterfaceSpec> &interfaces)
{
    d->plug(identity, interfaces);
}

void VirtualCamera::detach()
{
    d->unplug();
    d->secondAttached = false;
    d->secondReports.clear();
}

void VirtualCamera::attachSecond(Identity identity)
{
    d->secondAttached = true;
    d->secondIdentity = identity;
}

void VirtualCamera::setSecondListed(bool listed) { d->secondListed = listed; }
void VirtualCamera::setSecondMode(quint8 mode) { d->secondMode = mode; }
quint8 VirtualCamera::secondMode() const { return d->secondMode; }

bool VirtualCamera::isAttached() const { return d->attached; }
Identity VirtualCamera::identity() const { return d->identity; }

void VirtualCamera::setProbeFails(Identity identity, bool fails)
{
    d->probeFails[identity == Identity::Normal ? 0 : 1] = fails;
}

void VirtualCamera::setOpenFails(quint16 usagePage, bool fails)
{
    if (fails)
        d->openFailPages.insert(usagePage);
    else
        d->openFailPages.remove(usagePage);
}

void VirtualCamera::setInterfaceGap(Milliseconds gap) { d->interfaceGap = std::max(gap, Milliseconds(0)); }
void VirtualCamera::setVersion(const QByteArray &version) { d->version = version; }
void VirtualCamera::setUvcName(const QByteArray &name) { d->uvcName = name; }
void VirtualCamera::setMode(quint8 mode) { d->mode = mode; }
quint8 VirtualCamera::mode() const { return d->mode; }
QByteArray VirtualCamera::version() const { return d->version; }
void VirtualCamera::setAudioLevels(const std::array<quint8, 10> &levels) { d->audioLevels = levels; }
void VirtualCamera::setSilent(bool silent) { d->silent = silent; }
void VirtualCamera::setUpgradeReturnDelay(Milliseconds delay) { d->upgradeReturnDelay = delay; }

void VirtualCamera::queueReport(const QByteArray &raw)
{
    d->reports.push_back(raw.left(kFrameSize));
}

void VirtualCamera::queueReply(quint8 group, quint8 code, const QByteArray &payload)
{
    d->reports.push_back(buildReply(group, code, payload));
}

void VirtualCamera::setStartAck(AckMode mode, quint8 status, Milliseconds delay)
{
    d->startAck = mode;
    d->startAckStatus = status;
    d->startAckDelay = delay;
}

void VirtualCamera::setProgressPlan(const QVector<quint8> &steps, Milliseconds interval,
                                    Milliseconds rebootDelay, const QByteArray &newVersion)
{
    d->progressSteps = steps;
    d->progressInterval = interval;
    d->rebootDelay = rebootDelay;
    d->newVersion = newVersion;
}

void VirtualCamera::failNextDataWrites(int count) { d->failDataWrites = std::max(count, 0); }
void VirtualCamera::failNextRequests(quint8 group, quint8 code, int count)
{
    d->failedGroup = group;
    d->failedCode = code;
    d->failRequests = std::max(count, 0);
}

void VirtualCamera::vanishAfterDataReports(int count) { d->vanishAfter = std::max(count, 0); }
void VirtualCamera::setDataWritePace(std::chrono::microseconds perReport) { d->dataWritePace = perReport; }
void VirtualCamera::dropPendingReports() { d->reports.clear(); }
void VirtualCamera::setDuplicateReplies(int copies) { d->duplicates = std::max(copies, 0); }

void VirtualCamera::setGarbageBeforeReplies(int count, quint32 seed)
{
    d->garbageCount = std::max(count, 0);
    d->garbageState = seed;
}

void VirtualCamera::damageNextReplies(ReplyDamage damage, int count)
{
    d->damage = damage;
    d->damagedLeft = std::max(count, 0);
}

void VirtualCamera::setReplyDelay(Milliseconds delay) { d->replyDelay = std::max(delay, Milliseconds(0)); }
void VirtualCamera::unplugDuringUpload(UnplugPoint point) { d->unplugPoint = point; }
void VirtualCamera::setReadWaits(bool waits) { d->readWaits = waits; }
void VirtualCamera::setReadFails(bool fails) { d->readFails = fails; }

void VirtualCamera::pump()
{
    d->runDue();
}

void VirtualCamera::cancelPlans()
{
    d->schedule.clear();
    d->delayedInFlight = 0;
}

QVector<WrittenFrame> VirtualCamera::writtenFrames() const { return d->frames; }
QVector<QByteArray> VirtualCamera::controlRequests() const { return d->requests; }

void VirtualCamera::clearRecords()
{
    d->frames.clear();
    d->requests.clear();
    d->violations.clear();
    d->calls.clear();
}

QStringList VirtualCamera::formatViolations() const { return d->violations; }
QStringList VirtualCamera::calls() const { return d->calls; }
int VirtualCamera::callCount(const QString &name) const { return int(d->calls.count(name)); }
QByteArray VirtualCamera::receivedImage() const { return d->image; }
qint64 VirtualCamera::announcedSize() const { return d->announced; }
int VirtualCamera::completeChecksum() const { return d->completeSum; }
int VirtualCamera::dataReportCount() const { return d->dataReports; }
int VirtualCamera::openHandleCount() const { return int(d->handles.size()); }
int VirtualCamera::totalOpened() const { return d->opened; }
int VirtualCamera::totalClosed() const { return d->closed; }
int VirtualCamera::doubleCloses() const { return d->doubleCloses; }
bool VirtualCamera::exitCalled() const { return d->exitCalled; }
bool VirtualCamera::exitedWithOpenHandles() const { return d->exitedWithOpenHandles; }
quint16 VirtualCamera::lastReadUsagePage() const { return d->lastReadPage; }
int VirtualCamera::lastReadInterface() const { return d->lastReadInterface; }
int VirtualCamera::pendingReports() const { return int(d->reports.size()); }
int VirtualCamera::lpfSwitchCount() const { return d->lpfSwitches; }

// --- The hidapi side -----------------------------------------------------

void VirtualCamera::noteCall(const char *function)
{
    d->calls.append(QString::fromLatin1(function));
    d->runDue();
}

QVector<VirtualCamera::InterfaceInfo> VirtualCamera::interfacesMatching(quint16 vendorId, quint16 productId) const
{
    QVector<InterfaceInfo> found;
    if (d->answersTo(vendorId, productId)) {
        for (const int i : d->listed())
            found.append(d->describe(i));
    }
    if (d->secondAttached && d->secondListed) {
        for (int i = 0; i < standardInterfaces().size(); ++i) {
            const InterfaceInfo second = d->describeSecond(i);
            if ((vendorId == 0 || vendorId == second.vendorId) && (productId == 0 || productId == second.productId))
                found.append(second);
        }
    }
    return found;
}

quint64 VirtualCamera::openFirst(quint16 vendorId, quint16 productId, const QString *serialNumber)
{
    if (d->secondAttached) {
        const bool normal = d->secondIdentity == Identity::Normal;
        if (vendorId == (normal ? kNormalVendorId : kUpgradeVendorId)
            && productId == (normal ? kNormalProductId : kUpgradeProductId)) {
            const quint64 id = d->nextHandle++;
            InterfaceInfo &info = d->handles[id].info;
            info.vendorId = vendorId;
            info.productId = productId;
            info.path = QByteArrayLiteral("sim:second");
            info.usagePage = kControlUsagePage;
            ++d->opened;
            return id;
        }
    }
    if (d->probeFails[d->identity == Identity::Normal ? 0 : 1])
        return 0;
    if (!d->answersTo(vendorId, productId) || d->interfaces.isEmpty()
        || (serialNumber && *serialNumber != QLatin1String(kSerialNumber)))
        return 0;
    // hid_open opens the first interface the bus lists and no other, so a
    // refusal there is a refusal of the whole call.
    const int first = d->busOrder().constFirst();
    if (d->openFailPages.contains(d->interfaces.at(first).usagePage))
        return 0;
    return d->open(first);
}

quint64 VirtualCamera::openPath(const QByteArray &path)
{
    if (State::isSecondPath(path)) {
        const int index = path.mid(int(sizeof kSecondPathPrefix) - 1).toInt();
        if (!d->secondAttached || !d->secondListed || index < 0 || index >= standardInterfaces().size())
            return 0;
        const quint64 id = d->nextHandle++;
        d->handles[id].info = d->describeSecond(index);
        ++d->opened;
        return id;
    }
    if (!d->attached)
        return 0;
    for (const int i : d->listed()) {
        if (d->path(i) == path)
            return d->openFailPages.contains(d->interfaces.at(i).usagePage) ? 0 : d->open(i);
    }
    return 0;
}

void VirtualCamera::closeHandle(quint64 handle)
{
    // A handle from before the last reset is released without touching the
    // counts of the test that runs now.
    if (d->handles.erase(handle) > 0)
        ++d->closed;
}

void VirtualCamera::noteDoubleClose()
{
    ++d->doubleCloses;
}

bool VirtualCamera::handleInterface(quint64 handle, InterfaceInfo *info) const
{
    const State::Handle *live = d->liveHandle(handle);
    if (live && info)
        *info = live->info;
    return live != nullptr;
}

int VirtualCamera::writeReport(quint64 handle, const quint8 *data, size_t length)
{
    WrittenFrame frame;
    if (data)
        frame.bytes = QByteArray(reinterpret_cast<const char *>(data), int(std::min<size_t>(length, INT_MAX)));
    const auto known = d->handles.find(handle);
    if (known != d->handles.end())
        frame.usagePage = known->second.info.usagePage;

    // Refused writes are recorded too, so a test sees every attempt.
    const auto refuse = [this, &frame](const QString &reason) {
        if (!reason.isEmpty())
            d->violation(reason);
        d->frames.append(frame);
        return -1;
    };
    const State::Handle *live = d->liveHandle(handle);
    if (handle == 0)
        return refuse(QStringLiteral("hid_write on a closed handle"));
    if (!live)
        return refuse(QString());   // the device is gone, as with a removed USB device
    if (!data)
        return refuse(QStringLiteral("hid_write without a buffer"));
    const bool dataInterface = live->info.usagePage == kDataUsagePage;
    if (dataInterface && d->uploadOpen && d->dataReports == 0
        && d->takeUnplugPoint(UnplugPoint::BeforeFirstDataReport)) {
        d->unplug();
        return refuse(QString());
    }
    if (dataInterface && d->failDataWrites > 0) {
        --d->failDataWrites;
        return refuse(QString());
    }
    if (live->info.usagePage == kControlUsagePage && d->failRequests > 0 && frame.bytes.size() > kCodeIndex
        && at(frame.bytes, kGroupIndex) == d->failedGroup && at(frame.bytes, kCodeIndex) == d->failedCode) {
        --d->failRequests;
        return refuse(QString());
    }

    frame.accepted = true;
    d->frames.append(frame);
    if (State::isSecondPath(live->info.path)) {
        // The second device acts on its control interface only.
        return live->info.usagePage == kControlUsagePage ? d->secondControlWrite(frame.bytes) : frame.bytes.size();
    }
    if (live->info.usagePage == kControlUsagePage)
        return d->controlWrite(frame.bytes);
    if (dataInterface) {
        if (d->dataWritePace.count() > 0)
            std::this_thread::sleep_for(d->dataWritePace);
        const QString fault = d->dataReport(frame.bytes);
        if (!fault.isEmpty())
            d->violation(QStringLiteral("data: ") + fault);
        return frame.bytes.size();
    }
    d->violation(QStringLiteral("write to an interface the camera does not read (usage page 0x%1)")
                     .arg(frame.usagePage, 4, 16, QLatin1Char('0')));
    return frame.bytes.size();
}

int VirtualCamera::readReport(quint64 handle, quint8 *data, size_t length, int timeoutMs)
{
    const auto known = d->handles.find(handle);
    d->lastReadPage = known != d->handles.end() ? known->second.info.usagePage : 0;
    d->lastReadInterface = known != d->handles.end() ? known->second.info.interfaceNumber : -1;
    if (!d->liveHandle(handle) || !data || d->readFails)
        return -1;
    // The camera sends on its control interface only; a read on any other
    // waits out its time-out like one on a quiet hidraw node. The second
    // device's replies wait in a queue of their own.
    const bool control = d->lastReadPage == kControlUsagePage;
    const bool second = State::isSecondPath(d->liveHandle(handle)->info.path);

    const Clock::time_point deadline = Clock::now() + Milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (!d->liveHandle(handle))
            return -1;   // the device left while the caller waited
        QByteArray report;
        bool got = false;
        if (control && second && !d->secondReports.empty()) {
            report = d->secondReports.front();
            d->secondReports.pop_front();
            got = true;
        } else if (control && !second && nextReport(&report)) {
            reportRead(handle, report);
            got = true;
        }
        if (got) {
            const int count = int(std::min<size_t>(length, size_t(report.size())));
            std::copy_n(report.constData(), count, reinterpret_cast<char *>(data));
            return count;
        }
        const Clock::time_point now = Clock::now();
        if (!d->readWaits || now >= deadline)
            return 0;
        Clock::time_point wake = deadline;
        const auto next = d->nextScheduled();
        if (next != d->schedule.end())
            wake = std::min(wake, std::max(next->due, now));
        // Like hidapi's poll(2), the wait ends early when the program catches
        // a signal, and the read fails (-1, errno EINTR).
        if (!sleepUntil(wake)) {
            errno = EINTR;
            return -1;
        }
        d->runDue();
    }
}

quint64 VirtualCamera::busGeneration() const
{
    return d->generation;
}

bool VirtualCamera::nextReport(QByteArray *report) const
{
    if (d->reports.empty())
        return false;
    if (report)
        *report = d->reports.front();
    return true;
}

void VirtualCamera::reportRead(quint64 handle, const QByteArray &report)
{
    const auto known = d->handles.find(handle);
    d->lastReadPage = known != d->handles.end() ? known->second.info.usagePage : 0;
    d->lastReadInterface = known != d->handles.end() ? known->second.info.interfaceNumber : -1;
    if (d->reports.empty() || d->reports.front() != report)
        return;
    d->reports.pop_front();
    if (d->leaveWhenRead && d->reports.empty() && d->delayedInFlight == 0) {
        d->leaveWhenRead = false;
        d->unplug();
    }
}

VirtualCamera::Clock::time_point VirtualCamera::nextPlannedAction() const
{
    const auto next = d->nextScheduled();
    return next == d->schedule.end() ? Clock::time_point::max() : next->due;
}

void VirtualCamera::noteExit()
{
    d->exitCalled = true;
    if (!d->handles.empty())
        d->exitedWithOpenHandles = true;
}

} // namespace sim
