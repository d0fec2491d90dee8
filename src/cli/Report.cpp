#include "Report.h"

#include "Interrupt.h"

#include "protocol/Exchange.h"
#include "protocol/FramingModes.h"
#include "protocol/HidIo.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QStringList>

#include <algorithm>

namespace cli::report {

using discovery::Device;
using discovery::Identity;

namespace {

struct RefusalKeyword
{
    imagecheck::Refusal refusal;
    const char *keyword;
};

constexpr RefusalKeyword kRefusalKeywords[] = {
    {imagecheck::Refusal::NoFileChosen, "no-file"},
    {imagecheck::Refusal::FileMissing, "file-missing"},
    {imagecheck::Refusal::NotBinFile, "not-bin-file"},
    {imagecheck::Refusal::Empty, "empty"},
    {imagecheck::Refusal::TooLarge, "too-large"},
    {imagecheck::Refusal::CannotOpen, "cannot-open"},
    {imagecheck::Refusal::BlankHeader, "blank-header"},
    {imagecheck::Refusal::CannotOpenForUpload, "cannot-open-for-upload"},
};

QString refusalKeyword(imagecheck::Refusal refusal)
{
    for (const RefusalKeyword &entry : kRefusalKeywords) {
        if (entry.refusal == refusal)
            return QLatin1String(entry.keyword);
    }
    return QStringLiteral("refused");
}

QJsonValue textOrNull(const QString &text, bool known)
{
    return known ? QJsonValue(text) : QJsonValue();
}

// Each fault of an upload: its reason, and its message, into which the
// acceptance time or the device's status byte goes as %1.
struct UploadFaultText
{
    UploadFault fault;
    const char *reason;
    const char *message;
    bool withStatus;   // the status byte goes into the details as well
};

constexpr UploadFaultText kUploadFaults[] = {
    {UploadFault::StartNotWritten, "write-failed", "UPGRADE_START could not be written to the camera", false},
    {UploadFault::GoneAfterStart, "gone", "the camera left after the upload was announced", false},
    {UploadFault::NoAcceptance, "no-acceptance", "the camera did not accept the upload within %1", false},
    {UploadFault::StartRefused, "start-refused", "the camera refused the upload (status %1)", true},
    {UploadFault::GoneBeforeCompletion, "gone", "the camera left before the upload could be completed", false},
    {UploadFault::ImageRejected, "image-rejected", "the camera did not accept the uploaded image (status %1)", true},
};

// What a node's access means to the user of `list`.
QString accessText(Access access)
{
    switch (access) {
    case Access::Open:
        return QStringLiteral("can be opened");
    case Access::Denied:
        return QStringLiteral("this user may not open it");
    case Access::Failed:
        return QStringLiteral("does not open");
    case Access::Missing:
        return QStringLiteral("gone");
    }
    return QStringLiteral("does not open");
}

// The devices on the bus as a problem lists them: each as JSON, and as a
// line "identity, serial: nodes".
struct Candidates
{
    QJsonArray documents;
    QStringList lines;
};

Candidates candidatesOn(const QVector<Device> &bus)
{
    Candidates candidates;
    for (const Device &candidate : bus) {
        candidates.documents.append(deviceJson(candidate));
        QStringList nodes;
        for (const discovery::Interface &entry : candidate.interfaces)
            nodes << printable(QString::fromLocal8Bit(entry.path));
        candidates.lines << QStringLiteral("%1: %2").arg(deviceLabel(candidate), nodes.join(QStringLiteral(", ")));
    }
    return candidates;
}

Problem stoppedBy(const QString &what, const QJsonObject &details = {})
{
    const Exit exit = interrupt::stopExit();
    return Problem{exit, QLatin1String(exitInfo(exit).keyword),
                   QLatin1String(interrupt::stopWord()) + QLatin1Char(' ') + what, {}, details};
}

// The remark made when a signal comes while the camera must not be left:
// "got SIGTERM; " before it when the signal was not Ctrl-C.
QString heldOn(const QString &text)
{
    const QString name = QLatin1String(interrupt::signalName());
    return (name.isEmpty() ? QString() : QStringLiteral("got %1; ").arg(name))
           + text.arg(QLatin1String(interrupt::againWord()));
}

// What was dropped while waiting goes before the other hints.
Problem withDropped(Problem problem, const QString &dropped)
{
    if (!dropped.isEmpty())
        problem.hints.prepend(dropped);
    return problem;
}

} // namespace

// ---- Words -------------------------------------------------------------

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0, 'g', 6) + QStringLiteral(" s");
}

QString modeWord(int value)
{
    const modes::ModeInfo *info = modes::modeInfo(value);
    return info ? QLatin1String(info->keyword) : QStringLiteral("unknown");
}

QString modeText(int value)
{
    const modes::ModeInfo *info = modes::modeInfo(value);
    if (!info)
        return QStringLiteral("unknown (value %1)").arg(value);
    return QStringLiteral("%1 (%2, value %3)").arg(QLatin1String(info->keyword), QLatin1String(info->label)).arg(value);
}

QJsonObject modeJson(int value)
{
    const modes::ModeInfo *info = modes::modeInfo(value);
    return QJsonObject{
        {QStringLiteral("keyword"), info ? QJsonValue(QLatin1String(info->keyword)) : QJsonValue()},
        {QStringLiteral("value"), value},
        {QStringLiteral("name"), info ? QJsonValue(QLatin1String(info->label)) : QJsonValue()},
    };
}

QString deviceLabel(const Device &device)
{
    QString text = identityText(device.identity);
    if (!device.serialNumber.isEmpty())
        text += QStringLiteral(", serial ") + printable(device.serialNumber);
    return text;
}

// ---- Results -------------------------------------------------------------

Result list(const QVector<ListedDevice> &devices)
{
    QJsonArray documents;
    QStringList lines;
    bool locked = false;
    for (const ListedDevice &listed : devices) {
        const Device &device = listed.device;
        documents.append(deviceJson(device, listed.access));
        lines << QStringLiteral("%1  USB %2  serial %3")
                     .arg(identityText(device.identity), usbIdText(device.identity))
                     .arg(device.serialNumber.isEmpty() ? QStringLiteral("(none reported)") : printable(device.serialNumber));
        for (int i = 0; i < device.interfaces.size(); ++i) {
            const discovery::Interface &entry = device.interfaces.at(i);
            const Access access = listed.access.value(i, Access::Failed);
            locked = locked || access == Access::Denied || access == Access::Failed;
            lines << QStringLiteral("  %1 %2 %3")
                         .arg(QString::fromLatin1(roleKeyword(entry)), -8)
                         .arg(printable(QString::fromLocal8Bit(entry.path)), -20)
                         .arg(accessText(access));
        }
    }
    if (devices.isEmpty())
        lines << QStringLiteral("No camera attached.");
    QJsonObject document{{QStringLiteral("command"), QStringLiteral("list")}, {QStringLiteral("devices"), documents}};
    if (locked) {
        lines << QString() << QStringLiteral("Some nodes cannot be opened by this user.") << accessHints();
        document.insert(QStringLiteral("fix"), QJsonArray::fromStringList(accessHints()));
    }
    return Result{document, lines.join(QLatin1Char('\n'))};
}

Result cameraInfo(const Device &device, const QString &name, const QString &version, int mode)
{
    return Result{QJsonObject{{QStringLiteral("command"), QStringLiteral("info")},
                              {QStringLiteral("device"), deviceJson(device)},
                              {QStringLiteral("identity"), QLatin1String(identityKeyword(device.identity))},
                              {QStringLiteral("name"), name},
                              {QStringLiteral("version"), version},
                              {QStringLiteral("mode"), modeJson(mode)}},
                  QStringLiteral("Camera:   %1\nIdentity: %2\nFirmware: %3\nFraming:  %4")
                      .arg(name.isEmpty() ? QStringLiteral("(no name)") : printable(name), deviceLabel(device),
                           printable(version), modeText(mode))};
}

Result upgradeModeInfo(const Device &device, const QString &version)
{
    return Result{QJsonObject{{QStringLiteral("command"), QStringLiteral("info")},
                              {QStringLiteral("device"), deviceJson(device)},
                              {QStringLiteral("identity"), QLatin1String(identityKeyword(device.identity))},
                              {QStringLiteral("name"), QJsonValue()},
                              {QStringLiteral("version"), version},
                              {QStringLiteral("mode"), QJsonValue()}},
                  QStringLiteral("The camera is in upgrade mode%1.\nVersion:  %2")
                      .arg(device.serialNumber.isEmpty() ? QString()
                                                         : QStringLiteral(" (serial %1)").arg(printable(device.serialNumber)),
                           printable(version))};
}

Result setMode(const Device &device, int before, int wanted)
{
    const bool changed = before != wanted;
    return Result{QJsonObject{{QStringLiteral("command"), QStringLiteral("set-mode")},
                              {QStringLiteral("device"), deviceJson(device)},
                              {QStringLiteral("previous"), modeJson(before)},
                              {QStringLiteral("mode"), modeJson(wanted)},
                              {QStringLiteral("changed"), changed}},
                  changed ? QStringLiteral("Framing mode: %1 (was %2).").arg(modeText(wanted), modeWord(before))
                          : QStringLiteral("The camera is already in %1.").arg(modeText(wanted))};
}

Result enterUpgrade(const Device &device, bool changed)
{
    return Result{QJsonObject{{QStringLiteral("command"), QStringLiteral("enter-upgrade")},
                              {QStringLiteral("changed"), changed},
                              {QStringLiteral("device"), deviceJson(device)}},
                  changed ? QStringLiteral("The camera is in upgrade mode.")
                          : QStringLiteral("The camera is already in upgrade mode.")};
}

Result upgrade(const UpgradeDone &done)
{
    return Result{QJsonObject{{QStringLiteral("event"), QStringLiteral("result")},
                              {QStringLiteral("command"), QStringLiteral("upgrade")},
                              {QStringLiteral("ok"), true},
                              {QStringLiteral("changed"), true},
                              {QStringLiteral("started_in"), done.recovery ? QStringLiteral("upgrade") : QStringLiteral("camera")},
                              {QStringLiteral("old_version"), textOrNull(done.oldVersion, done.oldKnown)},
                              {QStringLiteral("new_version"), done.newVersion},
                              {QStringLiteral("bytes"), double(done.bytes)},
                              {QStringLiteral("checksum"), int(done.checksum)},
                              {QStringLiteral("package_version"), textOrNull(done.packageVersion, done.packaged)},
                              {QStringLiteral("version_checked"), done.packaged},
                              {QStringLiteral("device"), deviceJson(done.camera)}},
                  // The version check's line comes first, so that the last line stays the versions.
                  QStringLiteral("%1\nUpgraded: %2 → %3")
                      .arg(done.packaged ? QStringLiteral("Version checked: the camera reports the package's %1.")
                                               .arg(printable(done.packageVersion))
                                         : QStringLiteral("A raw image names no version: none could be checked."),
                           done.oldKnown ? printable(done.oldVersion) : QStringLiteral("(unknown)"),
                           printable(done.newVersion))};
}

// ---- Lines of a long command ----------------------------------------------

QJsonObject Phase::event() const
{
    return QJsonObject{{QStringLiteral("event"), QStringLiteral("phase")}, {QStringLiteral("phase"), QLatin1String(keyword)}};
}

Phase enteringUpgradeMode()
{
    return Phase{"entering-upgrade-mode", QStringLiteral("Switching the camera to upgrade mode...")};
}

Phase inUpgradeMode()
{
    return Phase{"upgrade-mode", QStringLiteral("The camera is in upgrade mode.")};
}

Phase alreadyInUpgradeMode()
{
    return Phase{"upgrade-mode", QStringLiteral("The camera is already in upgrade mode (an earlier upload did not "
                                                "finish): uploading again.")};
}

Phase uploading(const QString &path, qint64 size)
{
    return Phase{"uploading",
                 QStringLiteral("Uploading %1 (%2).").arg(printable(QFileInfo(path).fileName()), sizeText(double(size)))};
}

Phase writing(quint8 checksum)
{
    return Phase{"writing",
                 QStringLiteral("Upload complete (byte sum 0x%1); the camera is writing its firmware, do not unplug it.")
                     .arg(checksum, 2, 16, QLatin1Char('0'))};
}

Phase rebooting()
{
    return Phase{"rebooting", QStringLiteral("Waiting for the camera to restart in normal mode...")};
}

QString found(const Device &device, const QString &version)
{
    return QStringLiteral("Found the %1, firmware %2.").arg(deviceLabel(device), printable(version));
}

QString holdingWhileWriting()
{
    return heldOn(QStringLiteral("the camera is writing its firmware: do not unplug it. Waiting for it to "
                                 "finish (%1 ends the tool at once)."));
}

QString holdingWhileRestarting()
{
    return heldOn(QStringLiteral("the camera is writing its firmware and restarting: do not unplug it. "
                                 "Waiting for it (%1 ends the tool at once)."));
}

// ---- Problems -------------------------------------------------------------

QString leftInUpgradeMode()
{
    return QStringLiteral("The camera is left in upgrade mode; running the same command again starts the upload over.");
}

Problem noCommand()
{
    return Problem{Exit::Usage, QString(), QStringLiteral("no command given"), {}, {}};
}

Problem noCamera()
{
    return Problem{Exit::NoCamera, QStringLiteral("no-camera"),
                   QStringLiteral("no camera is attached (USB 2207:2008 in normal mode, 1d6b:0102 in upgrade mode)"),
                   {QStringLiteral("Is it plugged in? `lsusb` lists it when it is. If it is, `kelvora-camera-cli list` "
                                   "says whether this user may open it.")},
                   {}};
}

Problem noMatch(const QString &selector, const QVector<Device> &bus)
{
    const Candidates candidates = candidatesOn(bus);
    return Problem{Exit::NoCamera, QStringLiteral("no-match"),
                   QStringLiteral("no camera matches --device %1").arg(printable(selector)),
                   candidates.lines.isEmpty() ? QStringList{QStringLiteral("No camera is attached at all.")}
                                              : QStringList{QStringLiteral("Attached:")} + candidates.lines,
                   QJsonObject{{QStringLiteral("candidates"), candidates.documents}}};
}

Problem severalCameras(const QString &selector, int matching, const QVector<Device> &bus)
{
    const Candidates candidates = candidatesOn(bus);
    return Problem{Exit::SeveralCameras, QStringLiteral("several-cameras"),
                   selector.isEmpty()
                       ? QStringLiteral("%1 cameras are attached: choose one with --device SERIAL or --device NODE").arg(matching)
                       : QStringLiteral("--device %1 matches %2 cameras: name a node instead").arg(printable(selector)).arg(matching),
                   QStringList{QStringLiteral("Attached:")} + candidates.lines,
                   QJsonObject{{QStringLiteral("candidates"), candidates.documents}}};
}

Problem stoppedWaiting(const QString &what)
{
    return stoppedBy(QStringLiteral("while waiting for %1").arg(what));
}

Problem stoppedSwitching()
{
    return stoppedBy(QStringLiteral("while the camera switches to upgrade mode; it will stay in upgrade mode, "
                                    "and running the upgrade command then uploads the image"));
}

Problem stoppedBeforeUpload()
{
    return stoppedBy(QStringLiteral("before the upload. ") + leftInUpgradeMode());
}

Problem stoppedUploading(qint64 sent, qint64 size)
{
    return stoppedBy(QStringLiteral("after %1 of %2 bytes. ").arg(sent).arg(size) + leftInUpgradeMode(),
                     QJsonObject{{QStringLiteral("sent"), double(sent)}});
}

Problem waitFailed(Link::Wait wait, const QString &what, std::chrono::milliseconds limit, const QString &dropped)
{
    Problem problem;
    problem.exit = Exit::Device;
    if (wait == Link::Wait::Gone) {
        problem.reason = QStringLiteral("gone");
        problem.message = QStringLiteral("the camera left while the tool waited for %1").arg(what);
    } else {
        problem.reason = QStringLiteral("timeout");
        problem.message = QStringLiteral("the camera did not answer with %1 within %2").arg(what, seconds(limit));
    }
    return withDropped(problem, dropped);
}

Problem notWritten(frame::Command command)
{
    return Problem{Exit::Device, QStringLiteral("write-failed"),
                   QStringLiteral("%1 could not be written to the camera").arg(commandName(command)), {}, {}};
}

Problem cameraInUse(const cameralock::Holder &holder, const QString &lockFile)
{
    const QJsonValue named = holder.known() ? QJsonValue(QJsonObject{{QStringLiteral("program"), holder.program},
                                                                     {QStringLiteral("pid"), double(holder.pid)}})
                                            : QJsonValue();
    return Problem{Exit::InUse, QStringLiteral("in-use"),
                   holder.known() ? QStringLiteral("the camera is in use by %1 (pid %2)").arg(holder.program).arg(holder.pid)
                                  : QStringLiteral("the camera is in use by another program"),
                   {QStringLiteral("Nothing was sent to the camera. Run the command again once that program has "
                                   "finished; `kelvora-camera-cli list` and `info` answer meanwhile.")},
                   QJsonObject{{QStringLiteral("holder"), named}, {QStringLiteral("lock"), lockFile}}};
}

QString lockNotTaken(const QString &why)
{
    return QStringLiteral("could not take the camera's lock (%1); going on without it, so another program may "
                          "work on the camera at the same time")
        .arg(printable(why));
}

Problem upgradeModeHasNoFraming()
{
    return Problem{Exit::Device, QStringLiteral("upgrade-mode"),
                   QStringLiteral("the camera is in upgrade mode, where it has no framing mode"),
                   {QStringLiteral("Finish the upgrade first (kelvora-camera-cli upgrade IMAGE.bin).")}, {}};
}

Problem modeNotTaken(int wanted, int reported)
{
    return Problem{Exit::Device, QStringLiteral("mode-not-taken"),
                   QStringLiteral("the camera acknowledged %1 but reports %2").arg(modeWord(wanted), modeText(reported)),
                   {}, QJsonObject{{QStringLiteral("reported"), modeJson(reported)}}};
}

Problem didNotReturn(Identity identity, const Device &before, bool stillThere, std::chrono::milliseconds limit)
{
    const QString target = identity == Identity::Upgrade ? QStringLiteral("in upgrade mode")
                                                          : QStringLiteral("in normal mode");
    return Problem{Exit::Device, QStringLiteral("did-not-return"),
                   stillThere ? QStringLiteral("the camera is still in %1 after %2: it did not switch")
                                    .arg(before.identity == Identity::Camera ? QStringLiteral("normal mode")
                                                                             : QStringLiteral("upgrade mode"),
                                         seconds(limit))
                              : QStringLiteral("the camera did not come back %1 within %2").arg(target, seconds(limit)),
                   {QStringLiteral("`kelvora-camera-cli list` shows what is on the bus now; unplugging "
                                   "the camera and plugging it in again restarts it.")},
                   {}};
}

Problem imageRefused(imagecheck::Refusal refusal, const QString &path)
{
    const imagecheck::RefusalText &text = imagecheck::refusalText(refusal);
    QString reason = refusalKeyword(refusal);
    QString said = QLatin1String(text.text);
    // The window's check refuses a directory, a FIFO or a device as a
    // file that does not exist; the tool says what it is. The refusal
    // and its title stay the window's.
    if (refusal == imagecheck::Refusal::FileMissing && QFileInfo::exists(path)) {
        reason = QStringLiteral("not-regular-file");
        said = QStringLiteral("not a regular file (a directory, a FIFO or a device); give the path of the .bin image.");
    }
    return Problem{Exit::ImageRefused, reason,
                   QStringLiteral("%1: %2").arg(path.isEmpty() ? QStringLiteral("(no file)") : printable(path), said),
                   {},
                   QJsonObject{{QStringLiteral("refusal"), refusalKeyword(refusal)},
                               {QStringLiteral("title"), QLatin1String(text.title)}}};
}

Problem imageUnreadable(const QString &fileName, qint64 at, qint64 size)
{
    return Problem{Exit::ImageRefused, QStringLiteral("image-unreadable"),
                   QStringLiteral("%1 could not be read at byte %2 of %3").arg(printable(fileName)).arg(at).arg(size),
                   {leftInUpgradeMode()}, {}};
}

Problem uploadFailed(UploadFault fault, const QString &dropped, int status)
{
    const UploadFaultText *row = std::find_if(std::begin(kUploadFaults), std::end(kUploadFaults),
                                              [fault](const UploadFaultText &entry) { return entry.fault == fault; });
    QString message = QLatin1String(row->message);
    QJsonObject details;
    if (fault == UploadFault::NoAcceptance) {
        message = message.arg(seconds(exchange::kStartAcceptance));
    } else if (row->withStatus) {
        message = message.arg(status);
        details.insert(QStringLiteral("status"), status);
    }
    return withDropped(Problem{Exit::Device, QLatin1String(row->reason), message, {leftInUpgradeMode()}, details},
                       dropped);
}

Problem dataNotTaken(qint64 sent, qint64 size, const QString &dropped)
{
    return withDropped(Problem{Exit::Device, QStringLiteral("write-failed"),
                               QStringLiteral("the camera stopped taking the image at byte %1 of %2 (%3 tries)")
                                   .arg(sent).arg(size).arg(hidio::kWriteAttempts),
                               {leftInUpgradeMode()},
                               QJsonObject{{QStringLiteral("sent"), double(sent)}}},
                       dropped);
}

Problem goneWhileWriting()
{
    return Problem{Exit::Device, QStringLiteral("gone"),
                   QStringLiteral("the camera left before it reported the end of writing"),
                   {QStringLiteral("Wait for it to come back, then check its version with `kelvora-camera-cli info`; "
                                   "if it comes back in upgrade mode, run the same command again.")},
                   {}};
}

Problem silentWhileWriting(std::chrono::milliseconds limit, const QString &dropped)
{
    return withDropped(Problem{Exit::Device, QStringLiteral("timeout"),
                               QStringLiteral("the camera reported no progress for %1").arg(seconds(limit)),
                               {QStringLiteral("Do not unplug it yet; check it with `kelvora-camera-cli info` in a while.")},
                               {}},
                       dropped);
}

} // namespace cli::report
