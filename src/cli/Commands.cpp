#include "Commands.h"

#include "Doctor.h"
#include "Firmware.h"
#include "FirmwareReport.h"
#include "Interrupt.h"
#include "Link.h"
#include "Report.h"

#include "protocol/CameraLock.h"
#include "protocol/Exchange.h"
#include "protocol/ImageChecks.h"
#include "protocol/UploadPipeline.h"
#include "protocol/UploadStream.h"

#include <QFile>
#include <QHash>

#include <optional>
#include <thread>

namespace cli {

using discovery::Device;
using discovery::Identity;
using Wait = Link::Wait;

namespace {

// Between two looks at the bus while the camera changes identity.
constexpr std::chrono::milliseconds kBusPollInterval(50);
// The image is read this many data reports at a time.
constexpr int kReportsPerRead = 128;
// How long a node of a device that has just come back may take to open.
constexpr std::chrono::milliseconds kSettleAfterSwitch(3000);
// The upgrade identity may not tell its version; the recovery path does not
// wait long for it.
constexpr std::chrono::milliseconds kLoaderVersionWait(1000);

// Whether the device lists a control and a data interface.
bool listsBothInterfaces(const Device &device)
{
    return discovery::chooseInterfaces(device.interfaces, QVector<bool>(device.interfaces.size(), true)).complete();
}

class Session
{
public:
    Session(const Options &options, Output &output)
        : m_options(options)
        , m_output(output)
        , m_waits(waitsFor(options))
        , m_link(output, options.verbose)
    {
    }

    int run()
    {
        switch (m_options.command) {
        case Command::List:
            return list();
        case Command::Info:
            return info();
        case Command::SetMode:
            return onDevice(&Session::setMode);
        case Command::EnterUpgrade:
            return onDevice(&Session::enterUpgrade);
        case Command::Upgrade:
            return upgrade();
        case Command::Pack:
            return runPack(m_options, m_output);
        case Command::Doctor:
            return runDoctor(m_options, m_output);
        case Command::None:
            break;
        }
        return fail(report::noCommand());
    }

private:
    int fail(const Problem &problem)
    {
        m_link.close();
        return m_output.fail(problem);
    }

    void verbose(const QString &text)
    {
        if (m_options.verbose)
            m_output.log(text);
    }

    // Ctrl-C, SIGTERM and SIGHUP stop every wait except those of the
    // device's own writing and restart; a signal noticed there is answered
    // once and then forgotten.
    bool interrupted() const
    {
        interrupt::endIfAsked();
        return interrupt::count() > m_interruptsAnswered;
    }

    // Called before the first request that changes the camera. Output that
    // could not be written stops the command while the camera is as it
    // was; once a change went out, the command finishes what it started
    // whatever becomes of its output, and the end reports the loss.
    bool mayChangeCamera(Problem *problem)
    {
        if (!m_changedCamera && m_output.lost()) {
            *problem = m_output.lostProblem(false);
            return false;
        }
        m_changedCamera = true;
        return true;
    }

    // findOne with its refusal reported: 0 once found, else the exit code.
    int pickDevice(Device *device)
    {
        Problem problem;
        return findOne(device, &problem) ? 0 : fail(problem);
    }

    // Runs a command on the one device it acts on, once found and taken.
    int onDevice(int (Session::*command)(const Device &device))
    {
        Device device;
        if (const int refused = pickDevice(&device))
            return refused;
        if (const int refused = takeCamera(device))
            return refused;
        return (this->*command)(device);
    }

    // Keeps every other program off the camera until the command ends,
    // across its switch of identity: 0 once taken, else the exit code of a
    // refusal, before anything of the camera is opened. A lock file that
    // cannot be used is said, and the command goes on without it.
    int takeCamera(const Device &device)
    {
        const QString key = cameralock::keyFor(device);
        cameralock::Holder holder;
        switch (m_lock.take(key, &holder)) {
        case cameralock::Outcome::Taken:
            verbose(QStringLiteral("holding the lock %1").arg(cameralock::lockFile(key)));
            return 0;
        case cameralock::Outcome::Held:
            return fail(report::cameraInUse(holder, cameralock::lockFile(key)));
        case cameralock::Outcome::Failed:
            m_output.notice(report::lockNotTaken(m_lock.error()));
            return 0;
        }
        return 0;
    }

    // The one device the command acts on: the one --device names, or the
    // only one attached. Several and no choice: refused, with the candidates.
    bool findOne(Device *device, Problem *problem)
    {
        const QVector<Device> bus = attachedDevices();
        const QVector<Device> chosen = selectDevices(bus, m_options.device);
        if (chosen.size() == 1) {
            *device = chosen.first();
            verbose(QStringLiteral("using the %1").arg(report::deviceLabel(*device)));
            return true;
        }
        if (chosen.isEmpty())
            *problem = m_options.device.isEmpty() ? report::noCamera() : report::noMatch(m_options.device, bus);
        else
            *problem = report::severalCameras(m_options.device, chosen.size(), bus);
        return false;
    }

    // Waits for the replies `wanted`, in any order; each is kept by command.
    Wait collect(const QVector<frame::Command> &wanted, std::chrono::milliseconds limit,
                 QHash<quint16, QByteArray> *answers, frame::Command *missing)
    {
        const Clock::time_point deadline = Clock::now() + limit;
        QVector<frame::Command> left = wanted;
        while (!left.isEmpty()) {
            frame::Command got{};
            QByteArray payload;
            const Wait wait = m_link.await(left, deadline, [this] { return interrupted(); }, &got, &payload);
            if (wait != Wait::Got) {
                *missing = left.first();
                return wait;
            }
            answers->insert(key(got), payload);
            left.removeAll(got);
        }
        return Wait::Got;
    }

    static quint16 key(frame::Command command) { return quint16(command.group << 8 | command.code); }

    // A wait that ended without its reply, as a problem.
    int waitFail(Wait wait, const QString &what, std::chrono::milliseconds limit)
    {
        if (wait == Wait::Stopped)
            return fail(report::stoppedWaiting(what));
        return fail(report::waitFailed(wait, what, limit, m_link.droppedText()));
    }

    // A command's result, said; the command succeeded.
    int done(const report::Result &result)
    {
        m_output.result(result.document, result.text);
        return int(Exit::Ok);
    }

    // Sends the version query and reads the answer. False with the outcome
    // when it does not come.
    bool askVersion(std::chrono::milliseconds limit, QString *version, Wait *outcome)
    {
        QByteArray payload;
        if (!ask(exchange::kVersionQuery, frame::CAMERA_GET_VERSION_ACK, limit, &payload, outcome))
            return false;
        *version = exchange::versionText(view(payload));
        return true;
    }

    // Sends the requests, in order, and waits for one reply; its payload
    // once it came. False with the outcome when it did not.
    template <std::size_t N>
    bool ask(const frame::Command (&requests)[N], frame::Command reply, std::chrono::milliseconds limit,
             QByteArray *payload, Wait *outcome)
    {
        m_link.drain();
        for (const frame::Command &request : requests) {
            if (!m_link.send(request)) {
                *outcome = Wait::Gone;
                return false;
            }
        }
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        *outcome = collect({reply}, limit, &answers, &missing);
        if (*outcome != Wait::Got)
            return false;
        *payload = answers.value(key(reply));
        return true;
    }

    static frame::Payload view(const QByteArray &payload)
    {
        return frame::Payload{reinterpret_cast<const quint8 *>(payload.constData()), payload.size()};
    }

    // --- list ------------------------------------------------------------

    int list()
    {
        const QVector<Device> bus = attachedDevices();
        const QVector<Device> devices = selectDevices(bus, m_options.device);
        // An empty bus is an answer; a --device that names nothing on it is
        // the same refusal as for the other commands.
        if (devices.isEmpty() && !m_options.device.isEmpty())
            return fail(report::noMatch(m_options.device, bus));
        QVector<report::ListedDevice> listed;
        for (const Device &device : devices) {
            QVector<Access> access;
            for (const discovery::Interface &entry : device.interfaces)
                access.append(nodeAccess(entry.path));
            listed.append(report::ListedDevice{device, access});
        }
        return done(report::list(listed));
    }

    // --- info ------------------------------------------------------------

    int info()
    {
        Device device;
        Problem problem;
        if (!findOne(&device, &problem) || !m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);

        if (device.identity == Identity::Upgrade) {
            QString version;
            Wait wait = Wait::Got;
            if (!askVersion(m_waits.reply, &version, &wait))
                return waitFail(wait, QStringLiteral("its version"), m_waits.reply);
            return done(report::upgradeModeInfo(device, version));
        }

        m_link.drain();
        QVector<frame::Command> requests(std::begin(exchange::kVersionQuery), std::end(exchange::kVersionQuery));
        requests << frame::CAMERA_GET_UVC_NAME_STRING << frame::CAMERA_GET_MODE;
        for (const frame::Command request : requests) {
            if (!m_link.send(request))
                return fail(report::notWritten(request));
        }
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        const Wait wait = collect({frame::CAMERA_GET_VERSION_ACK, frame::CAMERA_GET_UVC_NAME_STRING_ACK,
                                   frame::CAMERA_GET_MODE_ACK},
                                  m_waits.reply, &answers, &missing);
        if (wait != Wait::Got)
            return waitFail(wait, commandName(missing), m_waits.reply);

        const QString name = exchange::cameraName(view(answers.value(key(frame::CAMERA_GET_UVC_NAME_STRING_ACK))));
        const QString version = exchange::versionText(view(answers.value(key(frame::CAMERA_GET_VERSION_ACK))));
        const int mode = quint8(answers.value(key(frame::CAMERA_GET_MODE_ACK)).at(0));
        return done(report::cameraInfo(device, name, version, mode));
    }

    // --- set-mode ----------------------------------------------------------

    bool askMode(int *mode, Wait *outcome)
    {
        QByteArray payload;
        if (!ask({frame::CAMERA_GET_MODE}, frame::CAMERA_GET_MODE_ACK, m_waits.reply, &payload, outcome))
            return false;
        *mode = quint8(payload.at(0));
        return true;
    }

    int setMode(const Device &device)
    {
        Problem problem;
        if (device.identity != Identity::Camera)
            return fail(report::upgradeModeHasNoFraming());
        if (!m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);

        const int wanted = m_options.mode;
        int before = -1;
        Wait wait = Wait::Got;
        if (!askMode(&before, &wait))
            return waitFail(wait, QStringLiteral("its framing mode"), m_waits.reply);
        if (before == wanted)
            return done(report::setMode(device, before, wanted));

        if (!mayChangeCamera(&problem))
            return fail(problem);
        m_link.drain();
        const quint8 value = quint8(wanted);
        if (!m_link.send(frame::CAMERA_SET_MODE, &value, 1))
            return fail(report::notWritten(frame::CAMERA_SET_MODE));
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        wait = collect({frame::CAMERA_SET_MODE_ACK}, m_waits.reply, &answers, &missing);
        if (wait != Wait::Got)
            return waitFail(wait, commandName(frame::CAMERA_SET_MODE_ACK), m_waits.reply);

        int after = -1;
        if (!askMode(&after, &wait))
            return waitFail(wait, QStringLiteral("its framing mode after the change"), m_waits.reply);
        if (after != wanted)
            return fail(report::modeNotTaken(wanted, after));
        return done(report::setMode(device, before, wanted));
    }

    // --- identity switches -------------------------------------------------

    // Waits until `before` is back on the bus in `identity`.
    // While the link is still open on the device that is leaving, whatever
    // it sends meanwhile is read and dropped: it may hold its restart until
    // the host has taken its last report. A stop signal ends the wait when
    // `mayStop`; otherwise it is only answered with a warning (the camera is
    // writing and restarting).
    bool awaitIdentity(Identity identity, const Device &before, const QVector<Device> &presentBefore,
                       std::chrono::milliseconds limit, bool mayStop, Device *found, Problem *problem)
    {
        const Clock::time_point deadline = Clock::now() + limit;
        bool stillThere = false;
        for (;;) {
            m_link.drain();
            const QVector<Device> now = attachedDevices();
            const bool timeUp = Clock::now() >= deadline;
            const Device *back = sameDeviceAfterSwitch(now, identity, before, presentBefore);
            // The kernel adds a device's interfaces one after the other: it
            // is back once it lists both that the tool uses (or, when time is
            // up, with what it lists, for the open to say what is missing).
            if (back && (listsBothInterfaces(*back) || timeUp)) {
                m_link.close();
                *found = *back;
                verbose(QStringLiteral("back as the %1").arg(report::deviceLabel(*found)));
                return true;
            }
            stillThere = std::any_of(now.cbegin(), now.cend(), [&](const Device &device) {
                return device.identity == before.identity && device.serialNumber == before.serialNumber
                       && device.interfaces.size() == before.interfaces.size()
                       && (device.interfaces.isEmpty() || device.interfaces.first().path == before.interfaces.first().path);
            });
            if (interrupted()) {
                if (mayStop) {
                    *problem = report::stoppedSwitching();
                    return false;
                }
                m_interruptsAnswered = interrupt::count();
                m_output.notice(report::holdingWhileRestarting());
            }
            if (timeUp)
                break;
            std::this_thread::sleep_for(kBusPollInterval);
        }
        *problem = report::didNotReturn(identity, before, stillThere, limit);
        return false;
    }

    // Sends the camera into upgrade mode and waits for it there.
    bool switchToUpgrade(const Device &camera, Device *upgradeDevice, Problem *problem)
    {
        const QVector<Device> presentBefore = attachedDevices();
        // Said before the request goes out, so that output that cannot be
        // written is found while the camera is still as it was.
        phase(report::enteringUpgradeMode());
        if (!mayChangeCamera(problem))
            return false;
        m_link.drain();
        if (!m_link.send(frame::CAMERA_ENTER_UPD)) {
            *problem = report::notWritten(frame::CAMERA_ENTER_UPD);
            return false;
        }
        // The camera leaves the bus now; its handles are dead.
        m_link.close();
        interrupt::setStage(interrupt::Stage::LeftInUpgradeMode);
        return awaitIdentity(Identity::Upgrade, camera, presentBefore, m_waits.identity, true, upgradeDevice, problem);
    }

    int enterUpgrade(const Device &device)
    {
        if (device.identity == Identity::Upgrade)
            return done(report::enterUpgrade(device, false));
        Problem problem;
        if (!m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);
        Device upgradeDevice;
        if (!switchToUpgrade(device, &upgradeDevice, &problem))
            return fail(problem);
        // Back, but of use only if its nodes open.
        if (!m_link.open(upgradeDevice, true, kSettleAfterSwitch, &problem))
            return fail(problem);
        m_link.close();
        return done(report::enterUpgrade(upgradeDevice, true));
    }

    // --- upgrade -----------------------------------------------------------

    // A step of a long command: a line for people, and for an upgrade under
    // --json an event (the other commands print one document only).
    void phase(const report::Phase &phase)
    {
        if (m_options.command == Command::Upgrade)
            m_output.event(phase.event());
        if (!phase.text.isEmpty())
            m_output.say(phase.text);
    }

    int upgrade()
    {
        const QString path = m_options.image;
        // The image or package first, every check of it: a bad one never
        // sends the camera anywhere. Held to the end.
        Firmware firmware;
        Problem refused;
        if (!firmware.open(path, &refused))
            return fail(refused);

        Device device;
        if (const int refused = pickDevice(&device))
            return refused;
        if (const int refused = takeCamera(device))
            return refused;
        Problem problem;
        const bool recovery = device.identity == Identity::Upgrade;
        QString oldVersion;
        bool oldKnown = false;

        if (!recovery) {
            if (!m_link.open(device, false, Clock::duration::zero(), &problem))
                return fail(problem);
            Wait wait = Wait::Got;
            if (!askVersion(m_waits.reply, &oldVersion, &wait))
                return waitFail(wait, QStringLiteral("its version"), m_waits.reply);
            oldKnown = true;
            m_output.say(report::found(device, oldVersion));
            if (const std::optional<int> ended = beforeWriting(device, false, oldVersion, oldKnown, firmware))
                return *ended;
            Device upgradeDevice;
            if (!switchToUpgrade(device, &upgradeDevice, &problem))
                return fail(problem);
            device = upgradeDevice;
            phase(report::inUpgradeMode());
        } else {
            interrupt::setStage(interrupt::Stage::LeftInUpgradeMode);
            phase(m_options.dryRun ? report::alreadyInUpgradeModeDryRun() : report::alreadyInUpgradeMode());
        }

        if (!m_link.open(device, true, recovery ? Clock::duration::zero() : Clock::duration(kSettleAfterSwitch), &problem))
            return fail(problem);
        if (recovery) {
            // The loader may tell the version still installed; the upload
            // goes on without it.
            Wait wait = Wait::Got;
            oldKnown = askVersion(kLoaderVersionWait, &oldVersion, &wait);
            if (wait == Wait::Stopped)
                return fail(report::stoppedBeforeUpload());
            if (const std::optional<int> ended = beforeWriting(device, true, oldVersion, oldKnown, firmware))
                return *ended;
        }

        // The size is taken from the open file, as it is now.
        const qint64 size = firmware.size();
        if (const imagecheck::Refusal refusal = imagecheck::checkSize(size); refusal != imagecheck::Refusal::None)
            return fail(report::imageRefused(refusal, path));

        // Announce, and wait for the acceptance. On the recovery path this is
        // the first request that changes the camera.
        if (!mayChangeCamera(&problem))
            return fail(problem);
        m_link.drain();
        m_link.clearDropped();
        const auto sizeBytes = frame::bigEndianSize(quint32(size));
        if (!m_link.send(frame::UPGRADE_START, sizeBytes.data(), int(sizeBytes.size())))
            return uploadFail(report::UploadFault::StartNotWritten);
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        const Wait accepted = collect({frame::UPGRADE_START_ACK}, exchange::kStartAcceptance, &answers, &missing);
        if (accepted == Wait::Stopped)
            return fail(report::stoppedBeforeUpload());
        if (accepted == Wait::Gone)
            return uploadFail(report::UploadFault::GoneAfterStart);
        if (accepted == Wait::TimedOut)
            return uploadFail(report::UploadFault::NoAcceptance);
        const int status = quint8(answers.value(key(frame::UPGRADE_START_ACK)).at(0));
        // The window shows a box here and leaves the end to its acceptance timer; the tool stops at once.
        if (!exchange::statusAccepted(status))
            return uploadFail(report::UploadFault::StartRefused, status);

        // Stream.
        phase(report::uploading(path, size));
        quint8 checksum = 0;
        qint64 sent = 0;
        if (const int code = stream(firmware.image(), path, size, &checksum, &sent); code != int(Exit::Ok))
            return code;
        firmware.image().close();

        // Completion, then the device's own writing.
        if (!m_link.send(frame::UPGRADE_UPLOAD_COMPLETE, &checksum, 1))
            return uploadFail(report::UploadFault::GoneBeforeCompletion);
        interrupt::setStage(interrupt::Stage::DeviceWriting);
        phase(report::writing(checksum));
        if (const int code = followDeviceProgress(); code != int(Exit::Ok))
            return code;

        // The reboot into normal mode.
        phase(report::rebooting());
        const QVector<Device> presentBefore = attachedDevices();
        Device camera;
        if (!awaitIdentity(Identity::Camera, device, presentBefore, m_waits.reboot, false, &camera, &problem))
            return fail(problem);
        interrupt::setStage(interrupt::Stage::NothingSent);
        if (!m_link.open(camera, false, kSettleAfterSwitch, &problem))
            return fail(problem);
        QString newVersion;
        Wait wait = Wait::Got;
        if (!askVersion(m_waits.reply, &newVersion, &wait))
            return waitFail(wait, QStringLiteral("its new version"), m_waits.reply);
        m_link.close();
        if (!reportsPackageVersion(firmware, newVersion))
            return fail(report::versionAfterMismatch(newVersion, firmware.package().version));

        return done(report::upgrade(report::UpgradeDone{recovery, oldVersion, oldKnown, newVersion, sent, checksum,
                                                        camera, firmware.isPackage(), firmware.package().version}));
    }

    // Where the camera is found and has told its version (or not), and
    // nothing was written yet: the size to announce and the version guard;
    // then the end of a dry run. The exit code when the command ends here,
    // nothing when the upgrade goes on.
    std::optional<int> beforeWriting(const Device &device, bool recovery, const QString &version, bool known,
                                     const Firmware &firmware)
    {
        const report::Standing standing{device, recovery, version, known, firmware};
        if (m_options.dryRun) {
            if (const imagecheck::Refusal refusal = imagecheck::checkSize(firmware.size());
                refusal != imagecheck::Refusal::None)
                return fail(report::imageRefused(refusal, firmware.path()));
        }
        const Guard guard = guardVersion(firmware, m_options, recovery, known, version);
        if (guard.kind == Guard::Kind::Refuse)
            return fail(guard.problem);
        if (guard.kind == Guard::Kind::NothingToDo)
            return done(report::nothingToDo(standing, m_options.dryRun));
        if (!guard.remark.isEmpty())
            m_output.say(guard.remark);
        if (!m_options.dryRun)
            return std::nullopt;
        // The lock was taken before the camera was opened, as for a real
        // run: a camera another program holds has ended the dry run with
        // the same refusal already.
        m_link.close();
        return done(report::wouldWrite(standing));
    }

    // A fault of the upload, with what was dropped while waiting.
    int uploadFail(report::UploadFault fault, int status = 0)
    {
        return fail(report::uploadFailed(fault, m_link.droppedText(), status));
    }

    // Sends the image as data reports, without reading anything in between.
    int stream(QIODevice &file, const QString &fileName, qint64 size, quint8 *checksum, qint64 *sent)
    {
        upload::ImageReader image(file, kReportsPerRead);
        qint64 nextProgress = 0;   // bytes at which the next whole percent is reached
        int readFailures = 0;
        const Clock::time_point started = Clock::now();
        const auto elapsed = [&started] { return std::chrono::duration<double>(Clock::now() - started).count(); };
        m_output.uploadProgress(0, size, 0);

        while (*sent < size) {
            if (interrupted()) {
                m_output.finishProgressLine();
                return fail(report::stoppedUploading(*sent, size));
            }
            // Unlike the window, which waits for its next tick, a failed read is tried again at once.
            upload::Step step;
            do {
                step = upload::streamStep(image, m_link.data(), size, *sent, *checksum, readFailures);
            } while (step == upload::Step::ReadFailed);
            if (step == upload::Step::Unreadable) {
                m_output.finishProgressLine();
                return fail(report::imageUnreadable(fileName, *sent, size));
            }
            if (step == upload::Step::WriteFailed) {
                m_output.finishProgressLine();
                return fail(report::dataNotTaken(*sent, size, m_link.droppedText()));
            }
            if (*sent >= nextProgress || *sent == size) {
                m_output.uploadProgress(*sent, size, elapsed());
                const qint64 percent = upload::uploadPercent(*sent, size);
                nextProgress = (percent + 1) * size / 100 + ((percent + 1) * size % 100 != 0 ? 1 : 0);
            }
        }
        m_output.finishProgressLine();
        verbose(QStringLiteral("%1 bytes sent in %2 s").arg(*sent).arg(elapsed(), 0, 'f', 6));
        return int(Exit::Ok);
    }

    // Reads the device's reports after the completion until it says 100 %.
    int followDeviceProgress()
    {
        const Link::StopCheck keepWaiting = [this] {
            if (interrupted()) {
                m_interruptsAnswered = interrupt::count();
                m_output.notice(report::holdingWhileWriting());
            }
            return false;
        };
        for (;;) {
            frame::Command got{};
            QByteArray payload;
            const Wait wait = m_link.await({frame::UPGRADE_UPLOAD_COMPLETE_ACK, frame::UPGRADE_PROGRESS},
                                           Clock::now() + m_waits.progress, keepWaiting, &got, &payload);
            if (wait == Wait::Gone) {
                m_output.finishProgressLine();
                return fail(report::goneWhileWriting());
            }
            if (wait != Wait::Got) {
                m_output.finishProgressLine();
                return fail(report::silentWhileWriting(m_waits.progress, m_link.droppedText()));
            }
            const int value = quint8(payload.at(0));
            if (got == frame::UPGRADE_UPLOAD_COMPLETE_ACK) {
                if (!exchange::statusAccepted(value))
                    return uploadFail(report::UploadFault::ImageRejected, value);
                verbose(QStringLiteral("the camera took the image"));
                continue;
            }
            m_output.deviceProgress(exchange::progressShown(value));
            if (exchange::progressEnded(value)) {
                m_output.finishProgressLine();
                return int(Exit::Ok);
            }
        }
    }

    const Options &m_options;
    Output &m_output;
    Waits m_waits;
    // Let go of after the link has closed the camera's handles.
    cameralock::CameraLock m_lock;
    Link m_link;
    int m_interruptsAnswered = 0;   // stop signals told to wait
    bool m_changedCamera = false;   // a request that changes the camera went out in this run
};

} // namespace

Waits waitsFor(const Options &options)
{
    Waits waits;
    if (options.timeout) {
        waits.reply = *options.timeout;
        waits.identity = *options.timeout;
        waits.progress = *options.timeout;
        waits.reboot = *options.timeout;
    }
    return waits;
}

int runCommand(const Options &options, Output &output)
{
    Session session(options, output);
    return session.run();
}

} // namespace cli
