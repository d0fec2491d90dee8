#pragma once

// What the tool tells its user, apart from how it reaches the camera: the
// words for durations, framing modes and devices, each command's result as
// a JSON document and as text for people, the lines and notices of a long
// command, and every problem with its reason and hints. The device
// exchanges in Commands.cpp gather the facts and hand them over; nothing
// here touches the camera.

#include "Link.h"
#include "Output.h"

#include "protocol/CameraLock.h"
#include "protocol/CommandFrame.h"
#include "protocol/Discovery.h"
#include "protocol/ImageChecks.h"

#include <QJsonObject>
#include <QString>
#include <QVector>

#include <chrono>

namespace cli::report {

// ---- Words -------------------------------------------------------------

// "1.5 s".
QString seconds(std::chrono::milliseconds duration);
// "auto", or "unknown" for a value that is no framing mode.
QString modeWord(int value);
// "auto (AutoFraming, value 1)".
QString modeText(int value);
QJsonObject modeJson(int value);
// "camera (normal mode), serial SIM0001".
QString deviceLabel(const discovery::Device &device);

// ---- Results -------------------------------------------------------------

// A command's last word: `document` under --json, `text` otherwise.
struct Result
{
    QJsonObject document;
    QString text;
};

// One device as `list` shows it: the access of each of its interfaces, in
// their order.
struct ListedDevice
{
    discovery::Device device;
    QVector<Access> access;
};
Result list(const QVector<ListedDevice> &devices);

Result cameraInfo(const discovery::Device &device, const QString &name, const QString &version, int mode);
Result upgradeModeInfo(const discovery::Device &device, const QString &version);
// `changed` when the camera was in `before` and took `wanted`.
Result setMode(const discovery::Device &device, int before, int wanted);
// `device` in upgrade mode; `changed` when the command sent it there.
Result enterUpgrade(const discovery::Device &device, bool changed);

struct UpgradeDone
{
    bool recovery = false;     // started in upgrade mode
    QString oldVersion;
    bool oldKnown = false;     // the version before could be told
    QString newVersion;
    qint64 bytes = 0;
    quint8 checksum = 0;
    discovery::Device camera;  // back in normal mode
    bool packaged = false;     // from a package, whose version the camera now reports
    QString packageVersion;
};
Result upgrade(const UpgradeDone &done);

// ---- Lines of a long command ----------------------------------------------

// A step: its line for people, and for an upgrade under --json an event
// that names it.
struct Phase
{
    const char *keyword;
    QString text;

    QJsonObject event() const;
};
Phase enteringUpgradeMode();
Phase inUpgradeMode();
Phase alreadyInUpgradeMode();
Phase uploading(const QString &path, qint64 size);
Phase writing(quint8 checksum);
Phase rebooting();

// "Found the camera (normal mode), serial ..., firmware V2.1.0."
QString found(const discovery::Device &device, const QString &version);
// What a signal is answered with while the camera writes its firmware, and
// while it restarts afterwards: the tool goes on waiting.
QString holdingWhileWriting();
QString holdingWhileRestarting();

// ---- Problems -------------------------------------------------------------

QString leftInUpgradeMode();

Problem noCommand();
Problem noCamera();
// Nothing on `bus` matches --device `selector`.
Problem noMatch(const QString &selector, const QVector<discovery::Device> &bus);
// `matching` devices and no choice among them (`selector` empty), or too
// wide a choice.
Problem severalCameras(const QString &selector, int matching, const QVector<discovery::Device> &bus);

// Stops by the first signal: "interrupted while ...", "stopped by SIGTERM
// after ...".
Problem stoppedWaiting(const QString &what);
Problem stoppedSwitching();
Problem stoppedBeforeUpload();
Problem stoppedUploading(qint64 sent, qint64 size);

// A wait for `what` ("its version") that ended with the camera gone or
// silent; `dropped` says what was read and dropped meanwhile.
Problem waitFailed(Link::Wait wait, const QString &what, std::chrono::milliseconds limit, const QString &dropped);
Problem notWritten(frame::Command command);

// Another program holds the camera's lock (its file `lockFile`).
Problem cameraInUse(const cameralock::Holder &holder, const QString &lockFile);
// The lock could not be taken for a reason other than its holder: said as
// a notice, and the command goes on without it.
QString lockNotTaken(const QString &why);

Problem upgradeModeHasNoFraming();
Problem modeNotTaken(int wanted, int reported);
// The camera did not come back in `identity` within `limit`; `stillThere`
// when it never left the identity of `before`.
Problem didNotReturn(discovery::Identity identity, const discovery::Device &before, bool stillThere,
                     std::chrono::milliseconds limit);

Problem imageRefused(imagecheck::Refusal refusal, const QString &path);
Problem imageUnreadable(const QString &fileName, qint64 at, qint64 size);

// The faults of an upload, each of which leaves the camera in upgrade mode.
// `dropped` says what was read and dropped meanwhile.
enum class UploadFault {
    StartNotWritten,
    GoneAfterStart,
    NoAcceptance,
    StartRefused,          // with the device's status byte
    GoneBeforeCompletion,
    ImageRejected,         // with the device's status byte
};
Problem uploadFailed(UploadFault fault, const QString &dropped, int status = 0);
Problem dataNotTaken(qint64 sent, qint64 size, const QString &dropped);
Problem goneWhileWriting();
Problem silentWhileWriting(std::chrono::milliseconds limit, const QString &dropped);

} // namespace cli::report
