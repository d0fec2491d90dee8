#include "Commands.h"

#include "Interrupt.h"
#include "Link.h"

#include "protocol/Exchange.h"
#include "protocol/FramingModes.h"
#include "protocol/HidIo.h"
#include "protocol/ImageChecks.h"
#include "protocol/UploadPipeline.h"
#include "protocol/UploadStream.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>

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

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0, 'g', 6) + QStringLiteral(" s");
}

QString modeWord(int value)
{
    const modes::ModeInfo *info = modes::modeInfo(value);
    return info ? QLatin1String(info->keyword) : QStringLiteral("unknown");
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

QString modeText(int value)
{
    const modes::ModeInfo *info = modes::modeInfo(value);
    if (!info)
        return QStringLiteral("unknown (value %1)").arg(value);
    return QStringLiteral("%1 (%2, value %3)").arg(QLatin1String(info->keyword), QLatin1String(info->label)).arg(value);
}

QString deviceLabel(const Device &device)
{
    QString text = identityText(device.identity);
    if (!device.serialNumber.isEmpty())
        text += QStringLiteral(", serial ") + printable(device.serialNumber);
    return text;
}

// Whether the device lists a control and a data interface.
bool listsBothInterfaces(const Device &device)
{
    return discovery::chooseInterfaces(device.interfaces, QVector<bool>(device.interfaces.size(), true)).complete();
}

QJsonValue textOrNull(const QString &text, bool known)
{
    return known ? QJsonValue(text) : QJsonValue();
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
        case Command::None:
            break;
        }
        return fail(Problem{Exit::Usage, QString(), QStringLiteral("no command given"), {}, {}});
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

    // A stop by the first signal, as a problem: "interrupted while ...",
    // "stopped by SIGTERM after ...".
    static Problem stopProblem(const QString &what, const QJsonObject &details = {})
    {
        const Exit exit = interrupt::stopExit();
        return Problem{exit, QLatin1String(exitInfo(exit).keyword),
                       QLatin1String(interrupt::stopWord()) + QLatin1Char(' ') + what, {}, details};
    }

    int interruptedFail(const QString &what) { return fail(stopProblem(what)); }

    // The remark made when a signal comes while the camera must not be left:
    // "got SIGTERM; " before it when the signal was not Ctrl-C.
    static QString heldOn(const QString &text)
    {
        const QString name = QLatin1String(interrupt::signalName());
        return (name.isEmpty() ? QString() : QStringLiteral("got %1; ").arg(name))
               + text.arg(QLatin1String(interrupt::againWord()));
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

    // Runs a command on the one device it acts on, once found.
    int onDevice(int (Session::*command)(const Device &device))
    {
        Device device;
        if (const int refused = pickDevice(&device))
            return refused;
        return (this->*command)(device);
    }

    // The one device the command acts on: the one --device names, or the
    // only one attached. Several and no choice: refused, with the candidates.
    bool findOne(Device *device, Problem *problem)
    {
        m_bus = attachedDevices();
        const QVector<Device> chosen = selectDevices(m_bus, m_options.device);
        QJsonArray candidates;
        QStringList lines;
        describeBus(m_bus, &candidates, &lines);
        if (chosen.size() == 1) {
            *device = chosen.first();
            verbose(QStringLiteral("using the %1").arg(deviceLabel(*device)));
            return true;
        }
        if (chosen.isEmpty()) {
            if (m_options.device.isEmpty()) {
                *problem = Problem{Exit::NoCamera, QStringLiteral("no-camera"),
                                   QStringLiteral("no camera is attached (USB 2207:2008 in normal mode, 1d6b:0102 in upgrade mode)"),
                                   {QStringLiteral("Is it plugged in? `lsusb` lists it when it is. If it is, `kelvora-camera-cli list` "
                                                   "says whether this user may open it.")},
                                   {}};
            } else {
                *problem = noMatch(candidates, lines);
            }
            return false;
        }
        *problem = Problem{Exit::SeveralCameras, QStringLiteral("several-cameras"),
                           m_options.device.isEmpty()
                               ? QStringLiteral("%1 cameras are attached: choose one with --device SERIAL or --device NODE").arg(chosen.size())
                               : QStringLiteral("--device %1 matches %2 cameras: name a node instead").arg(printable(m_options.device)).arg(chosen.size()),
                           QStringList{QStringLiteral("Attached:")} + lines,
                           QJsonObject{{QStringLiteral("candidates"), candidates}}};
        return false;
    }

    // The devices on the bus as an error lists them: each as JSON, and as a
    // line "identity, serial: nodes".
    static void describeBus(const QVector<Device> &bus, QJsonArray *candidates, QStringList *lines)
    {
        for (const Device &candidate : bus) {
            candidates->append(deviceJson(candidate, false));
            QStringList nodes;
            for (const discovery::Interface &entry : candidate.interfaces)
                nodes << printable(QString::fromLocal8Bit(entry.path));
            *lines << QStringLiteral("%1: %2").arg(deviceLabel(candidate), nodes.join(QStringLiteral(", ")));
        }
    }

    // Nothing on the bus matches --device.
    Problem noMatch(const QJsonArray &candidates, const QStringList &lines) const
    {
        return Problem{Exit::NoCamera, QStringLiteral("no-match"),
                       QStringLiteral("no camera matches --device %1").arg(printable(m_options.device)),
                       lines.isEmpty() ? QStringList{QStringLiteral("No camera is attached at all.")}
                                       : QStringList{QStringLiteral("Attached:")} + lines,
                       QJsonObject{{QStringLiteral("candidates"), candidates}}};
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
            return interruptedFail(QStringLiteral("while waiting for %1").arg(what));
        Problem problem;
        problem.exit = Exit::Device;
        if (wait == Wait::Gone) {
            problem.reason = QStringLiteral("gone");
            problem.message = QStringLiteral("the camera left while the tool waited for %1").arg(what);
        } else {
            problem.reason = QStringLiteral("timeout");
            problem.message = QStringLiteral("the camera did not answer with %1 within %2").arg(what, seconds(limit));
        }
        const QString dropped = m_link.droppedText();
        if (!dropped.isEmpty())
            problem.hints << dropped;
        return fail(problem);
    }

    int sendFail(frame::Command command)
    {
        return fail(Problem{Exit::Device, QStringLiteral("write-failed"),
                            QStringLiteral("%1 could not be written to the camera").arg(commandName(command)), {}, {}});
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
        if (devices.isEmpty() && !m_options.device.isEmpty()) {
            QJsonArray candidates;
            QStringList lines;
            describeBus(bus, &candidates, &lines);
            return fail(noMatch(candidates, lines));
        }
        QJsonArray entries;
        QStringList lines;
        bool locked = false;
        for (const Device &device : devices) {
            const QJsonObject entry = deviceJson(device, true);
            entries.append(entry);
            const discovery::UsbId id = discovery::usbId(device.identity);
            lines << QStringLiteral("%1  USB %2:%3  serial %4")
                         .arg(identityText(device.identity))
                         .arg(id.vendorId, 4, 16, QLatin1Char('0'))
                         .arg(id.productId, 4, 16, QLatin1Char('0'))
                         .arg(device.serialNumber.isEmpty() ? QStringLiteral("(none reported)") : printable(device.serialNumber));
            for (const QJsonValue &value : entry.value(QStringLiteral("interfaces")).toArray()) {
                const QJsonObject node = value.toObject();
                const QString access = node.value(QStringLiteral("access")).toString();
                QString state = QStringLiteral("can be opened");
                if (access == QLatin1String("denied")) {
                    state = QStringLiteral("this user may not open it");
                    locked = true;
                } else if (access == QLatin1String("failed")) {
                    state = QStringLiteral("does not open");
                    locked = true;
                } else if (access == QLatin1String("missing")) {
                    state = QStringLiteral("gone");
                }
                lines << QStringLiteral("  %1 %2 %3")
                             .arg(node.value(QStringLiteral("role")).toString(), -8)
                             .arg(printable(node.value(QStringLiteral("node")).toString()), -20)
                             .arg(state);
            }
        }
        if (devices.isEmpty())
            lines << QStringLiteral("No camera attached.");
        QJsonObject document{{QStringLiteral("command"), QStringLiteral("list")},
                             {QStringLiteral("devices"), entries}};
        if (locked) {
            lines << QString() << QStringLiteral("Some nodes cannot be opened by this user.") << accessHints();
            document.insert(QStringLiteral("fix"), QJsonArray::fromStringList(accessHints()));
        }
        m_output.result(document, lines.join(QLatin1Char('\n')));
        return int(Exit::Ok);
    }

    // --- info ------------------------------------------------------------

    int info()
    {
        Device device;
        Problem problem;
        if (!findOne(&device, &problem) || !m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);

        QJsonObject document{{QStringLiteral("command"), QStringLiteral("info")},
                             {QStringLiteral("device"), deviceJson(device, false)},
                             {QStringLiteral("identity"), QLatin1String(identityKeyword(device.identity))}};
        if (device.identity == Identity::Upgrade) {
            QString version;
            Wait wait = Wait::Got;
            if (!askVersion(m_waits.reply, &version, &wait))
                return waitFail(wait, QStringLiteral("its version"), m_waits.reply);
            document.insert(QStringLiteral("name"), QJsonValue());
            document.insert(QStringLiteral("version"), version);
            document.insert(QStringLiteral("mode"), QJsonValue());
            m_output.result(document, QStringLiteral("The camera is in upgrade mode%1.\nVersion:  %2")
                                          .arg(device.serialNumber.isEmpty() ? QString() : QStringLiteral(" (serial %1)").arg(printable(device.serialNumber)),
                                               printable(version)));
            return int(Exit::Ok);
        }

        m_link.drain();
        QVector<frame::Command> requests(std::begin(exchange::kVersionQuery), std::end(exchange::kVersionQuery));
        requests << frame::CAMERA_GET_UVC_NAME_STRING << frame::CAMERA_GET_MODE;
        for (const frame::Command request : requests) {
            if (!m_link.send(request))
                return sendFail(request);
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
        document.insert(QStringLiteral("name"), name);
        document.insert(QStringLiteral("version"), version);
        document.insert(QStringLiteral("mode"), modeJson(mode));
        m_output.result(document, QStringLiteral("Camera:   %1\nIdentity: %2\nFirmware: %3\nFraming:  %4")
                                      .arg(name.isEmpty() ? QStringLiteral("(no name)") : printable(name), deviceLabel(device),
                                           printable(version), modeText(mode)));
        return int(Exit::Ok);
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
            return fail(Problem{Exit::Device, QStringLiteral("upgrade-mode"),
                                QStringLiteral("the camera is in upgrade mode, where it has no framing mode"),
                                {QStringLiteral("Finish the upgrade first (kelvora-camera-cli upgrade IMAGE.bin).")}, {}});
        if (!m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);

        const int wanted = m_options.mode;
        int before = -1;
        Wait wait = Wait::Got;
        if (!askMode(&before, &wait))
            return waitFail(wait, QStringLiteral("its framing mode"), m_waits.reply);
        QJsonObject document{{QStringLiteral("command"), QStringLiteral("set-mode")},
                             {QStringLiteral("device"), deviceJson(device, false)},
                             {QStringLiteral("previous"), modeJson(before)},
                             {QStringLiteral("mode"), modeJson(wanted)}};
        if (before == wanted) {
            document.insert(QStringLiteral("changed"), false);
            m_output.result(document, QStringLiteral("The camera is already in %1.").arg(modeText(wanted)));
            return int(Exit::Ok);
        }

        if (!mayChangeCamera(&problem))
            return fail(problem);
        m_link.drain();
        const quint8 value = quint8(wanted);
        if (!m_link.send(frame::CAMERA_SET_MODE, &value, 1))
            return sendFail(frame::CAMERA_SET_MODE);
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        wait = collect({frame::CAMERA_SET_MODE_ACK}, m_waits.reply, &answers, &missing);
        if (wait != Wait::Got)
            return waitFail(wait, commandName(frame::CAMERA_SET_MODE_ACK), m_waits.reply);

        int after = -1;
        if (!askMode(&after, &wait))
            return waitFail(wait, QStringLiteral("its framing mode after the change"), m_waits.reply);
        if (after != wanted)
            return fail(Problem{Exit::Device, QStringLiteral("mode-not-taken"),
                                QStringLiteral("the camera acknowledged %1 but reports %2").arg(modeWord(wanted), modeText(after)),
                                {}, QJsonObject{{QStringLiteral("reported"), modeJson(after)}}});
        document.insert(QStringLiteral("changed"), true);
        m_output.result(document, QStringLiteral("Framing mode: %1 (was %2).").arg(modeText(wanted), modeWord(before)));
        return int(Exit::Ok);
    }

    // --- identity switches -------------------------------------------------

    // Waits until `before` is back on the bus in `identity`.
    // While the link is still open on the device that is leaving, whatever
    // it sends meanwhile is read and dropped: it may hold its restart until
    // the host has taken its last report. A stop signal ends the wait with
    // `onStop` said after its words; with `onStop` empty it is only answered
    // with a warning (the camera is writing and restarting).
    bool awaitIdentity(Identity identity, const Device &before, const QVector<Device> &presentBefore,
                       std::chrono::milliseconds limit, const QString &onStop, Device *found, Problem *problem)
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
                verbose(QStringLiteral("back as the %1").arg(deviceLabel(*found)));
                return true;
            }
            stillThere = std::any_of(now.cbegin(), now.cend(), [&](const Device &device) {
                return device.identity == before.identity && device.serialNumber == before.serialNumber
                       && device.interfaces.size() == before.interfaces.size()
                       && (device.interfaces.isEmpty() || device.interfaces.first().path == before.interfaces.first().path);
            });
            if (interrupted()) {
                if (!onStop.isEmpty()) {
                    *problem = stopProblem(onStop);
                    return false;
                }
                m_interruptsAnswered = interrupt::count();
                m_output.notice(heldOn(QStringLiteral("the camera is writing its firmware and restarting: do not unplug it. "
                                                      "Waiting for it (%1 ends the tool at once).")));
            }
            if (timeUp)
                break;
            std::this_thread::sleep_for(kBusPollInterval);
        }
        const QString target = identity == Identity::Upgrade ? QStringLiteral("in upgrade mode")
                                                              : QStringLiteral("in normal mode");
        problem->exit = Exit::Device;
        problem->reason = QStringLiteral("did-not-return");
        problem->message = stillThere ? QStringLiteral("the camera is still in %1 after %2: it did not switch")
                                            .arg(before.identity == Identity::Camera ? QStringLiteral("normal mode")
                                                                                     : QStringLiteral("upgrade mode"),
                                                 seconds(limit))
                                      : QStringLiteral("the camera did not come back %1 within %2").arg(target, seconds(limit));
        problem->hints = QStringList{QStringLiteral("`kelvora-camera-cli list` shows what is on the bus now; unplugging "
                                                    "the camera and plugging it in again restarts it.")};
        return false;
    }

    // Sends the camera into upgrade mode and waits for it there.
    bool switchToUpgrade(const Device &camera, Device *upgradeDevice, Problem *problem)
    {
        const QVector<Device> presentBefore = attachedDevices();
        // Said before the request goes out, so that output that cannot be
        // written is found while the camera is still as it was.
        phase("entering-upgrade-mode", QStringLiteral("Switching the camera to upgrade mode..."));
        if (!mayChangeCamera(problem))
            return false;
        m_link.drain();
        if (!m_link.send(frame::CAMERA_ENTER_UPD)) {
            *problem = Problem{Exit::Device, QStringLiteral("write-failed"),
                               QStringLiteral("CAMERA_ENTER_UPD could not be written to the camera"), {}, {}};
            return false;
        }
        // The camera leaves the bus now; its handles are dead.
        m_link.close();
        interrupt::setStage(interrupt::Stage::LeftInUpgradeMode);
        return awaitIdentity(Identity::Upgrade, camera, presentBefore, m_waits.identity,
                             QStringLiteral("while the camera switches to upgrade mode; it will stay in upgrade mode, "
                                            "and running the upgrade command then uploads the image"),
                             upgradeDevice, problem);
    }

    int enterUpgrade(const Device &device)
    {
        Problem problem;
        QJsonObject document{{QStringLiteral("command"), QStringLiteral("enter-upgrade")}};
        if (device.identity == Identity::Upgrade) {
            document.insert(QStringLiteral("changed"), false);
            document.insert(QStringLiteral("device"), deviceJson(device, false));
            m_output.result(document, QStringLiteral("The camera is already in upgrade mode."));
            return int(Exit::Ok);
        }
        if (!m_link.open(device, false, Clock::duration::zero(), &problem))
            return fail(problem);
        Device upgradeDevice;
        if (!switchToUpgrade(device, &upgradeDevice, &problem))
            return fail(problem);
        // Back, but of use only if its nodes open.
        if (!m_link.open(upgradeDevice, true, kSettleAfterSwitch, &problem))
            return fail(problem);
        m_link.close();
        document.insert(QStringLiteral("changed"), true);
        document.insert(QStringLiteral("device"), deviceJson(upgradeDevice, false));
        m_output.result(document, QStringLiteral("The camera is in upgrade mode."));
        return int(Exit::Ok);
    }

    // --- upgrade -----------------------------------------------------------

    int refuse(imagecheck::Refusal refusal, const QString &path)
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
        return fail(Problem{Exit::ImageRefused, reason,
                            QStringLiteral("%1: %2").arg(path.isEmpty() ? QStringLiteral("(no file)") : printable(path), said),
                            {},
                            QJsonObject{{QStringLiteral("refusal"), refusalKeyword(refusal)},
                                        {QStringLiteral("title"), QLatin1String(text.title)}}});
    }

    static QString leftInUpgradeMode()
    {
        return QStringLiteral("The camera is left in upgrade mode; running the same command again starts the upload over.");
    }

    // A step of a long command: a line for people, and for an upgrade under
    // --json an event (the other commands print one document only).
    void phase(const char *keyword, const QString &human)
    {
        if (m_options.command == Command::Upgrade)
            m_output.event(QJsonObject{{QStringLiteral("event"), QStringLiteral("phase")},
                                   {QStringLiteral("phase"), QLatin1String(keyword)}});
        if (!human.isEmpty())
            m_output.say(human);
    }

    int upgrade()
    {
        const QString path = m_options.image;
        // The file first: a bad image never sends the camera anywhere.
        if (const imagecheck::Refusal refusal = imagecheck::checkImageFile(path); refusal != imagecheck::Refusal::None)
            return refuse(refusal, path);
        // Opened now and held to the end, so that the image announced later
        // is the one checked, even if the file is replaced meanwhile.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(imagecheck::Refusal::CannotOpenForUpload, path);

        Device device;
        if (const int refused = pickDevice(&device))
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
            m_output.say(QStringLiteral("Found the %1, firmware %2.").arg(deviceLabel(device), printable(oldVersion)));
            Device upgradeDevice;
            if (!switchToUpgrade(device, &upgradeDevice, &problem))
                return fail(problem);
            device = upgradeDevice;
            phase("upgrade-mode", QStringLiteral("The camera is in upgrade mode."));
        } else {
            interrupt::setStage(interrupt::Stage::LeftInUpgradeMode);
            phase("upgrade-mode", QStringLiteral("The camera is already in upgrade mode (an earlier upload did not "
                                                 "finish): uploading again."));
        }

        if (!m_link.open(device, true, recovery ? Clock::duration::zero() : Clock::duration(kSettleAfterSwitch), &problem))
            return fail(problem);
        if (recovery) {
            // The loader may tell the version still installed; the upload
            // goes on without it.
            Wait wait = Wait::Got;
            oldKnown = askVersion(kLoaderVersionWait, &oldVersion, &wait);
            if (wait == Wait::Stopped)
                return interruptedFail(QStringLiteral("before the upload. ") + leftInUpgradeMode());
        }

        // The size is taken from the open file, as it is now.
        const qint64 size = file.size();
        if (const imagecheck::Refusal refusal = imagecheck::checkSize(size); refusal != imagecheck::Refusal::None)
            return refuse(refusal, path);

        // Announce, and wait for the acceptance. On the recovery path this is
        // the first request that changes the camera.
        if (!mayChangeCamera(&problem))
            return fail(problem);
        m_link.drain();
        m_link.clearDropped();
        const auto sizeBytes = frame::bigEndianSize(quint32(size));
        if (!m_link.send(frame::UPGRADE_START, sizeBytes.data(), int(sizeBytes.size())))
            return deviceFail(QStringLiteral("write-failed"), QStringLiteral("UPGRADE_START could not be written to the camera"));
        QHash<quint16, QByteArray> answers;
        frame::Command missing{};
        const Wait accepted = collect({frame::UPGRADE_START_ACK}, exchange::kStartAcceptance, &answers, &missing);
        if (accepted == Wait::Stopped)
            return interruptedFail(QStringLiteral("before the upload. ") + leftInUpgradeMode());
        if (accepted == Wait::Gone)
            return deviceFail(QStringLiteral("gone"), QStringLiteral("the camera left after the upload was announced"));
        if (accepted == Wait::TimedOut)
            return deviceFail(QStringLiteral("no-acceptance"),
                              QStringLiteral("the camera did not accept the upload within %1").arg(seconds(exchange::kStartAcceptance)));
        const int status = quint8(answers.value(key(frame::UPGRADE_START_ACK)).at(0));
        // The window shows a box here and leaves the end to its acceptance timer; the tool stops at once.
        if (!exchange::statusAccepted(status))
            return deviceFail(QStringLiteral("start-refused"),
                              QStringLiteral("the camera refused the upload (status %1)").arg(status),
                              QJsonObject{{QStringLiteral("status"), status}});

        // Stream.
        phase("uploading", QStringLiteral("Uploading %1 (%2).").arg(printable(QFileInfo(path).fileName()), sizeText(double(size))));
        quint8 checksum = 0;
        qint64 sent = 0;
        if (const int code = stream(file, size, &checksum, &sent); code != int(Exit::Ok))
            return code;
        file.close();

        // Completion, then the device's own writing.
        if (!m_link.send(frame::UPGRADE_UPLOAD_COMPLETE, &checksum, 1))
            return deviceFail(QStringLiteral("gone"), QStringLiteral("the camera left before the upload could be completed"));
        interrupt::setStage(interrupt::Stage::DeviceWriting);
        phase("writing", QStringLiteral("Upload complete (byte sum 0x%1); the camera is writing its firmware, do not unplug it.")
                             .arg(checksum, 2, 16, QLatin1Char('0')));
        if (const int code = followDeviceProgress(); code != int(Exit::Ok))
            return code;

        // The reboot into normal mode.
        phase("rebooting", QStringLiteral("Waiting for the camera to restart in normal mode..."));
        const QVector<Device> presentBefore = attachedDevices();
        Device camera;
        if (!awaitIdentity(Identity::Camera, device, presentBefore, m_waits.reboot, QString(), &camera, &problem))
            return fail(problem);
        interrupt::setStage(interrupt::Stage::NothingSent);
        if (!m_link.open(camera, false, kSettleAfterSwitch, &problem))
            return fail(problem);
        QString newVersion;
        Wait wait = Wait::Got;
        if (!askVersion(m_waits.reply, &newVersion, &wait))
            return waitFail(wait, QStringLiteral("its new version"), m_waits.reply);
        m_link.close();

        QJsonObject result{{QStringLiteral("event"), QStringLiteral("result")},
                           {QStringLiteral("command"), QStringLiteral("upgrade")},
                           {QStringLiteral("ok"), true},
                           {QStringLiteral("changed"), true},
                           {QStringLiteral("started_in"), recovery ? QStringLiteral("upgrade") : QStringLiteral("camera")},
                           {QStringLiteral("old_version"), textOrNull(oldVersion, oldKnown)},
                           {QStringLiteral("new_version"), newVersion},
                           {QStringLiteral("bytes"), double(sent)},
                           {QStringLiteral("checksum"), int(checksum)},
                           {QStringLiteral("device"), deviceJson(camera, false)}};
        m_output.result(result, QStringLiteral("Upgraded: %1 → %2")
                                    .arg(oldKnown ? printable(oldVersion) : QStringLiteral("(unknown)"), printable(newVersion)));
        return int(Exit::Ok);
    }

    int deviceFail(const QString &reason, const QString &message, const QJsonObject &details = {})
    {
        Problem problem{Exit::Device, reason, message, {leftInUpgradeMode()}, details};
        const QString dropped = m_link.droppedText();
        if (!dropped.isEmpty())
            problem.hints.prepend(dropped);
        return fail(problem);
    }

    // Sends the image as data reports, without reading anything in between.
    int stream(QFile &file, qint64 size, quint8 *checksum, qint64 *sent)
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
                return fail(stopProblem(QStringLiteral("after %1 of %2 bytes. ").arg(*sent).arg(size) + leftInUpgradeMode(),
                                        QJsonObject{{QStringLiteral("sent"), double(*sent)}}));
            }
            // Unlike the window, which waits for its next tick, a failed read is tried again at once.
            upload::Step step;
            do {
                step = upload::streamStep(image, m_link.data(), size, *sent, *checksum, readFailures);
            } while (step == upload::Step::ReadFailed);
            if (step == upload::Step::Unreadable) {
                m_output.finishProgressLine();
                return fail(Problem{Exit::ImageRefused, QStringLiteral("image-unreadable"),
                                    QStringLiteral("%1 could not be read at byte %2 of %3").arg(printable(file.fileName())).arg(*sent).arg(size),
                                    {leftInUpgradeMode()}, {}});
            }
            if (step == upload::Step::WriteFailed) {
                m_output.finishProgressLine();
                return deviceFail(QStringLiteral("write-failed"),
                                  QStringLiteral("the camera stopped taking the image at byte %1 of %2 (%3 tries)")
                                      .arg(*sent).arg(size).arg(hidio::kWriteAttempts),
                                  QJsonObject{{QStringLiteral("sent"), double(*sent)}});
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
                m_output.notice(heldOn(QStringLiteral("the camera is writing its firmware: do not unplug it. Waiting for it to "
                                                      "finish (%1 ends the tool at once).")));
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
                return fail(Problem{Exit::Device, QStringLiteral("gone"),
                                    QStringLiteral("the camera left before it reported the end of writing"),
                                    {QStringLiteral("Wait for it to come back, then check its version with `kelvora-camera-cli info`; "
                                                    "if it comes back in upgrade mode, run the same command again.")},
                                    {}});
            }
            if (wait != Wait::Got) {
                m_output.finishProgressLine();
                Problem problem{Exit::Device, QStringLiteral("timeout"),
                                QStringLiteral("the camera reported no progress for %1").arg(seconds(m_waits.progress)),
                                {QStringLiteral("Do not unplug it yet; check it with `kelvora-camera-cli info` in a while.")}, {}};
                const QString dropped = m_link.droppedText();
                if (!dropped.isEmpty())
                    problem.hints.prepend(dropped);
                return fail(problem);
            }
            const int value = quint8(payload.at(0));
            if (got == frame::UPGRADE_UPLOAD_COMPLETE_ACK) {
                if (!exchange::statusAccepted(value))
                    return deviceFail(QStringLiteral("image-rejected"),
                                      QStringLiteral("the camera did not accept the uploaded image (status %1)").arg(value),
                                      QJsonObject{{QStringLiteral("status"), value}});
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
    Link m_link;
    QVector<Device> m_bus;   // what findOne saw
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
