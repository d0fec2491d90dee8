#pragma once

// A stand-in for the camera. It keeps the camera's side of the protocol
// (report IDs, codes, length rules, reply checksum: DeviceFrames.h), checks
// every frame the tool writes, and records what happened so tests and the
// demo can look.
// HidApi.cpp defines the hid_* functions on top of it, so a program linked
// with virtual_camera talks to this object instead of the USB bus; the
// real-library tests serve the same object through emulated hidraw nodes.
//
// Everything runs on the calling thread. Delayed behaviour (a late
// acknowledgement, the return in upgrade mode, progress steps) is kept in a
// schedule that every hid_* entry point and pump() advance against the
// monotonic clock; nothing here starts a thread.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <chrono>
#include <functional>

namespace sim {

enum class Identity { Normal, Upgrade };

constexpr quint16 kNormalVendorId = 0x2207;
constexpr quint16 kNormalProductId = 0x2008;
constexpr quint16 kUpgradeVendorId = 0x1D6B;
constexpr quint16 kUpgradeProductId = 0x0102;
constexpr quint16 kControlUsagePage = 0xFF00;
constexpr quint16 kDataUsagePage = 0xFF01;
// The serial number of the second device (attachSecond).
inline constexpr char kSecondSerialNumber[] = "SIM0002";

struct InterfaceSpec
{
    quint16 usagePage = kControlUsagePage;
    quint16 usage = 1;
    int interfaceNumber = 0;
};

// The two vendor interfaces every real camera exposes, control first.
QVector<InterfaceSpec> standardInterfaces();

// One frame the tool wrote.
struct WrittenFrame
{
    quint16 usagePage = 0;   // of the interface it was written to
    QByteArray bytes;        // exactly as handed to hid_write
    bool accepted = false;   // false if the write was refused (fault, dead handle)
};

enum class AckMode { Immediate, Delayed, Never };

// How a reply can arrive damaged.
enum class ReplyDamage { Checksum, ReportId };

// Where in an upload the device can leave the bus.
enum class UnplugPoint {
    Never,
    BeforeFirstDataReport,   // UPGRADE_START taken and answered, the first data report refused
    AfterLastDataReport,     // every announced byte taken, before UPGRADE_UPLOAD_COMPLETE
    AtCompletion,            // UPGRADE_UPLOAD_COMPLETE taken, gone before answering it
    AfterCompletionAck,      // gone as soon as the host has read the acknowledgement
};

class VirtualCamera
{
public:
    using Clock = std::chrono::steady_clock;
    using Milliseconds = std::chrono::milliseconds;

    static VirtualCamera &instance();
    ~VirtualCamera();
    VirtualCamera(const VirtualCamera &) = delete;
    VirtualCamera &operator=(const VirtualCamera &) = delete;

    // Back to the start: nothing attached, default behaviour, empty records.
    // Handles still open from before become dead (reads and writes fail).
    void reset();

    // --- Presence --------------------------------------------------------
    void attach(Identity identity, const QVector<InterfaceSpec> &interfaces = standardInterfaces());
    // The device leaves the bus: handles on it stay valid to close, but every
    // read and write on them returns -1, as hidapi does for a removed device.
    void detach();
    // A device that comes on the bus (attached here, back in upgrade mode
    // after CAMERA_ENTER_UPD, rebooted) lists its interfaces one after the
    // other, this far apart, in the bus's order, as the kernel adds them; an
    // interface not listed yet does not open. 0, the default: all at once.
    void setInterfaceGap(Milliseconds gap);
    // A second device, in the given identity, also sits on the bus. It
    // answers the presence probe and nothing else; detach() or reset()
    // takes it away too.
    void attachSecond(Identity identity);
    // The second device also shows in enumerations, with its own serial
    // number (kSecondSerialNumber) and its two vendor interfaces. Its
    // interfaces open, and it answers like a camera of its own: version,
    // name, framing mode and set-mode in normal mode, the version in
    // upgrade mode. It never leaves for upgrade mode and takes no image;
    // setSilent() silences it too.
    void setSecondListed(bool listed);
    // The listed second device's framing mode.
    void setSecondMode(quint8 mode);
    quint8 secondMode() const;
    bool isAttached() const;
    Identity identity() const;
    // hid_open for the given identity returns null while set.
    void setProbeFails(Identity identity, bool fails);
    // hid_open_path for interfaces with this usage page returns null while set.
    void setOpenFails(quint16 usagePage, bool fails);

    // --- Camera behaviour ------------------------------------------------
    void setVersion(const QByteArray &version);     // CAMERA_GET_VERSION_ACK text
    void setUvcName(const QByteArray &name);        // CAMERA_GET_UVC_NAME_STRING_ACK text
    void setMode(quint8 mode);                      // reported by CAMERA_GET_MODE_ACK
    quint8 mode() const;                            // last mode applied or set
    QByteArray version() const;                     // what CAMERA_GET_VERSION answers now
    void setAudioLevels(const std::array<quint8, 10> &levels);
    void setSilent(bool silent);                    // answer nothing at all (the second device neither)
    // After CAMERA_ENTER_UPD the camera leaves at once and returns in the
    // upgrade identity after this delay.
    void setUpgradeReturnDelay(Milliseconds delay);
    // Any raw report, delivered to the tool's next read on the control interface.
    void queueReport(const QByteArray &raw);
    // A well-formed reply (with checksum) for the given group/code/payload.
    void queueReply(quint8 group, quint8 code, const QByteArray &payload);

    // --- Upgrade behaviour -----------------------------------------------
    void setStartAck(AckMode mode, quint8 status = 0, Milliseconds delay = Milliseconds(0));
    // How the device reports its own progress after a good upload: the
    // values sent, one every `interval`, then the reboot into normal mode
    // after `rebootDelay` with `newVersion`.
    void setProgressPlan(const QVector<quint8> &steps, Milliseconds interval,
                         Milliseconds rebootDelay, const QByteArray &newVersion);
    void failNextDataWrites(int count);
    // The next `count` writes of this request to the control interface fail
    // as a transfer error does; the device stays on the bus.
    void failNextRequests(quint8 group, quint8 code, int count);
    // Leave the bus after this many more data reports have been accepted
    // (a count of 0 or less switches it off).
    void vanishAfterDataReports(int count);
    // Make data writes return at once (default) or sleep like a real link.
    void setDataWritePace(std::chrono::microseconds perReport);

    // --- Fault injection -------------------------------------------------
    // Forgets every report queued for the tool.
    void dropPendingReports();
    // Everything the camera sends of its own accord goes out 1 + `copies` times.
    void setDuplicateReplies(int copies);
    // Before each thing the camera sends, `count` junk reports (0 to 64
    // bytes, never starting with the command report ID), from a generator
    // seeded with `seed`. A count of 0 switches it off.
    void setGarbageBeforeReplies(int count, quint32 seed = 1);
    // The next `count` things the camera sends arrive damaged.
    void damageNextReplies(ReplyDamage damage, int count);
    // Everything the camera sends leaves this much later than it would.
    void setReplyDelay(Milliseconds delay);
    // Leave the bus at this point of the next upload (one shot).
    void unplugDuringUpload(UnplugPoint point);

    // --- Reads -----------------------------------------------------------
    // When off, hid_read_timeout returns at once if nothing is queued. When
    // on, it waits as hidapi's poll(2) does, which a signal the program
    // catches cuts short: the read then fails (-1, errno EINTR).
    void setReadWaits(bool waits);
    // hid_read_timeout returns -1 while set.
    void setReadFails(bool fails);

    // Runs whatever the schedule holds that is due now.
    void pump();
    // Forgets every action the camera has planned (late replies, progress
    // reports, a reboot or a return to the bus) without touching the bus.
    void cancelPlans();

    // --- Records ---------------------------------------------------------
    QVector<WrittenFrame> writtenFrames() const;           // every hid_write, in order
    QVector<QByteArray> controlRequests() const;           // well-formed frames the control interface took
    void clearRecords();
    QStringList formatViolations() const;                  // frames that broke the format
    QStringList calls() const;                             // every hid_* call by name
    int callCount(const QString &name) const;
    QByteArray receivedImage() const;                      // image bytes of the last upload
    qint64 announcedSize() const;                          // -1 before any UPGRADE_START
    int completeChecksum() const;                          // sum from the completion frame, -1 if none
    int dataReportCount() const;
    int openHandleCount() const;                           // handles opened and not yet closed
    int totalOpened() const;
    int totalClosed() const;
    int doubleCloses() const;                              // hid_close on a handle already closed
    bool exitCalled() const;
    bool exitedWithOpenHandles() const;                    // hid_exit ran while handles were open
    quint16 lastReadUsagePage() const;
    int lastReadInterface() const;                         // interface number of that handle, -1 if unknown
    int pendingReports() const;                            // reports queued for the tool to read now
    int lpfSwitchCount() const;                            // CAMERA_LPF_SWITCH requests taken

    // --- The device's side of the bus -----------------------------------
    // What a door between the tool and the camera uses: the hid_* functions
    // in HidApi.cpp are one, the emulated hidraw nodes of the real-library
    // tests another. Handles are plain ids; an id the camera no longer knows
    // (closed, or opened before the last reset()) behaves like a removed
    // device. None of this locks: a door that calls in from several threads
    // keeps the camera behind its own lock.
    struct InterfaceInfo
    {
        QByteArray path;
        quint16 vendorId = 0;
        quint16 productId = 0;
        quint16 releaseNumber = 0;
        quint16 usagePage = 0;
        quint16 usage = 0;
        int interfaceNumber = 0;
        QString serialNumber;
        QString manufacturer;
        QString product;
    };
    // Records the call and runs whatever the schedule holds that is due.
    void noteCall(const char *function);
    // Interfaces of the attached device if it has this identity (0 matches
    // any ID), in the order the bus lists them.
    QVector<InterfaceInfo> interfacesMatching(quint16 vendorId, quint16 productId) const;
    // Both return 0 when nothing can be opened. openFirst opens the first
    // interface the bus lists, as hid_open does.
    quint64 openFirst(quint16 vendorId, quint16 productId, const QString *serialNumber);
    quint64 openPath(const QByteArray &path);
    void closeHandle(quint64 handle);
    void noteDoubleClose();
    bool handleInterface(quint64 handle, InterfaceInfo *info) const;   // false on a dead handle
    // Handle 0 stands for a pointer the hidapi layer does not know (closed).
    int writeReport(quint64 handle, const quint8 *data, size_t length);
    int readReport(quint64 handle, quint8 *data, size_t length, int timeoutMs);
    void noteExit();
    // Changes each time a device joins or leaves the bus, by a test's hand
    // or the camera's own (leaving for upgrade mode, rebooting, vanishing).
    quint64 busGeneration() const;
    // For doors that carry reports to the tool themselves: the report the
    // camera sends next, without taking it...
    bool nextReport(QByteArray *report) const;
    // ...and the tool has read `report` through `handle`. The camera lets go
    // of it only if it is still the next one (a test may have dropped it).
    void reportRead(quint64 handle, const QByteArray &report);
    // When the schedule next has something to do; time_point::max() if never.
    Clock::time_point nextPlannedAction() const;

private:
    VirtualCamera();

    struct State;
    State *d;
};

} // namespace sim
