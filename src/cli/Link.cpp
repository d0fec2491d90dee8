#include "Link.h"

#include "Interrupt.h"

#include "protocol/HidIo.h"

#include <QJsonArray>

#include <algorithm>
#include <cerrno>
#include <thread>

#include <unistd.h>

namespace cli {

using discovery::Device;
using discovery::Identity;
using discovery::Interface;

namespace {

// Reads are cut into slices this long, so that Ctrl-C is noticed soon.
constexpr std::chrono::milliseconds kReadSlice(100);
// Between two tries to open a node that is not ready yet.
constexpr std::chrono::milliseconds kOpenRetryPause(100);

struct CommandNameEntry
{
    frame::Command command;
    const char *name;
};

constexpr CommandNameEntry kCommandNames[] = {
    {frame::VERSION_PREAMBLE, "VERSION_PREAMBLE"},
    {frame::CAMERA_GET_VERSION, "CAMERA_GET_VERSION"},
    {frame::CAMERA_SET_MODE, "CAMERA_SET_MODE"},
    {frame::CAMERA_GET_MODE, "CAMERA_GET_MODE"},
    {frame::CAMERA_GET_UVC_NAME_STRING, "CAMERA_GET_UVC_NAME_STRING"},
    {frame::CAMERA_GET_AUDIO_LEVELS, "CAMERA_GET_AUDIO_LEVELS"},
    {frame::CAMERA_LPF_SWITCH, "CAMERA_LPF_SWITCH"},
    {frame::CAMERA_ENTER_UPD, "CAMERA_ENTER_UPD"},
    {frame::UPGRADE_START, "UPGRADE_START"},
    {frame::UPGRADE_UPLOAD_COMPLETE, "UPGRADE_UPLOAD_COMPLETE"},
    {frame::CAMERA_GET_VERSION_ACK, "CAMERA_GET_VERSION_ACK"},
    {frame::CAMERA_SET_MODE_ACK, "CAMERA_SET_MODE_ACK"},
    {frame::CAMERA_GET_MODE_ACK, "CAMERA_GET_MODE_ACK"},
    {frame::CAMERA_GET_UVC_NAME_STRING_ACK, "CAMERA_GET_UVC_NAME_STRING_ACK"},
    {frame::CAMERA_GET_AUDIO_LEVELS_ACK, "CAMERA_GET_AUDIO_LEVELS_ACK"},
    {frame::UPGRADE_START_ACK, "UPGRADE_START_ACK"},
    {frame::UPGRADE_UPLOAD_COMPLETE_ACK, "UPGRADE_UPLOAD_COMPLETE_ACK"},
    {frame::UPGRADE_PROGRESS, "UPGRADE_PROGRESS"},
};

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

QVector<Device> attachedDevices()
{
    hid_device_info *list = hid_enumerate(0, 0);
    const QVector<Interface> interfaces = discovery::interfacesFrom(list);
    hid_free_enumeration(list);
    return discovery::devicesFrom(interfaces);
}

QVector<Device> selectDevices(const QVector<Device> &devices, const QString &selector)
{
    if (selector.isEmpty())
        return devices;
    QVector<Device> chosen;
    for (const Device &device : devices) {
        const bool byNode = std::any_of(device.interfaces.cbegin(), device.interfaces.cend(),
                                        [&](const Interface &entry) { return QString::fromLocal8Bit(entry.path) == selector; });
        if (byNode || (!device.serialNumber.isEmpty() && device.serialNumber == selector))
            chosen.append(device);
    }
    return chosen;
}

const Device *sameDeviceAfterSwitch(const QVector<Device> &now, Identity identity, const Device &before,
                                    const QVector<Device> &presentBefore)
{
    const Device *newcomer = nullptr;
    int newcomers = 0;
    for (const Device &device : now) {
        if (device.identity != identity)
            continue;
        if (!before.serialNumber.isEmpty() && device.serialNumber == before.serialNumber)
            return &device;
        const bool wasThere = std::any_of(presentBefore.cbegin(), presentBefore.cend(), [&](const Device &old) {
            return old.identity == identity && old.serialNumber == device.serialNumber
                   && !old.interfaces.isEmpty() && !device.interfaces.isEmpty()
                   && old.interfaces.first().path == device.interfaces.first().path;
        });
        if (!wasThere) {
            newcomer = &device;
            ++newcomers;
        }
    }
    return newcomers == 1 ? newcomer : nullptr;
}

Access nodeAccess(const QByteArray &path)
{
    if (nodeaccess::isNodePath(path))
        return nodeaccess::accessOf(path);
    hid_device *probe = hid_open_path(path.constData());
    if (!probe)
        return Access::Failed;
    hidio::closeHandle(probe);
    return Access::Open;
}

const char *roleKeyword(const Interface &entry)
{
    if (entry.usagePage == discovery::kControlUsagePage)
        return "control";
    if (entry.usagePage == discovery::kDataUsagePage)
        return "data";
    return "other";
}

const char *accessKeyword(Access access)
{
    switch (access) {
    case Access::Open:
        return "open";
    case Access::Denied:
        return "denied";
    case Access::Missing:
        return "missing";
    case Access::Failed:
        return "failed";
    }
    return "failed";
}

QStringList accessHints()
{
    return {
        QStringLiteral("Install the udev rule shipped in packaging/linux (%1; the Debian package puts it in "
                       "/usr/lib/udev/rules.d) into %2, then run:")
            .arg(nodeaccess::ruleFileName(), QLatin1String(nodeaccess::kLocalRuleDir)),
        QStringLiteral("  %1 && %2")
            .arg(QLatin1String(nodeaccess::kReloadRulesCommand), QLatin1String(nodeaccess::kTriggerCommand)),
        QStringLiteral("and log in at the computer itself: the rule opens the camera to the user at the local "
                       "seat, not to an SSH session (there, run the command as root). `%1` says what is missing.")
            .arg(QLatin1String(nodeaccess::kDoctorCommand)),
    };
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString usbIdText(Identity identity)
{
    const discovery::UsbId id = discovery::usbId(identity);
    return hex4(id.vendorId) + QLatin1Char(':') + hex4(id.productId);
}

QString identityText(Identity identity)
{
    return identity == Identity::Camera ? QStringLiteral("camera (normal mode)") : QStringLiteral("upgrade mode");
}

const char *identityKeyword(Identity identity)
{
    return identity == Identity::Camera ? "camera" : "upgrade";
}

QJsonObject deviceJson(const Device &device, const QVector<Access> &access)
{
    QJsonArray interfaces;
    for (int i = 0; i < device.interfaces.size(); ++i) {
        const Interface &entry = device.interfaces.at(i);
        QJsonObject node{
            {QStringLiteral("node"), QString::fromLocal8Bit(entry.path)},
            {QStringLiteral("role"), QLatin1String(roleKeyword(entry))},
            {QStringLiteral("usage_page"), hex4(entry.usagePage)},
            {QStringLiteral("interface_number"), entry.interfaceNumber},
        };
        if (i < access.size())
            node.insert(QStringLiteral("access"), QLatin1String(accessKeyword(access.at(i))));
        interfaces.append(node);
    }
    return QJsonObject{
        {QStringLiteral("identity"), QLatin1String(identityKeyword(device.identity))},
        {QStringLiteral("usb_id"), usbIdText(device.identity)},
        {QStringLiteral("serial"), device.serialNumber.isEmpty() ? QJsonValue() : QJsonValue(device.serialNumber)},
        {QStringLiteral("product"), device.interfaces.isEmpty() ? QString() : device.interfaces.first().product},
        {QStringLiteral("interfaces"), interfaces},
    };
}

QString commandName(frame::Command command)
{
    for (const CommandNameEntry &entry : kCommandNames) {
        if (entry.command == command)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("group %1 code %2").arg(command.group, 2, 16, QLatin1Char('0')).arg(command.code, 2, 16, QLatin1Char('0'));
}

Link::Link(Output &output, bool verbose)
    : m_output(output)
    , m_verbose(verbose)
{
}

Link::~Link()
{
    close();
}

void Link::log(const QString &text)
{
    if (m_verbose)
        m_output.log(text);
}

bool Link::open(const Device &device, bool withData, Clock::duration settle, Problem *problem)
{
    close();
    m_device = device;
    const Clock::time_point giveUp = Clock::now() + settle;
    for (;;) {
        const QVector<Interface> &interfaces = device.interfaces;
        QVector<hid_device *> handles(interfaces.size(), nullptr);
        QVector<bool> opened(interfaces.size(), false);
        for (int i = 0; i < interfaces.size(); ++i) {
            const quint16 page = interfaces.at(i).usagePage;
            if (page != discovery::kControlUsagePage && !(withData && page == discovery::kDataUsagePage))
                continue;
            handles[i] = hid_open_path(interfaces.at(i).path.constData());
            opened[i] = handles[i] != nullptr;
            log(QStringLiteral("open %1 (%2, usage page %3): %4")
                    .arg(QString::fromLocal8Bit(interfaces.at(i).path), QLatin1String(roleKeyword(interfaces.at(i))),
                         hex4(page), opened[i] ? QStringLiteral("ok") : QStringLiteral("failed")));
        }
        const discovery::InterfaceChoice choice = discovery::chooseInterfaces(interfaces, opened);
        for (const int unused : choice.unused)
            hidio::closeHandle(handles[unused]);
        if (choice.control >= 0)
            m_control = handles[choice.control];
        if (withData && choice.data >= 0)
            m_data = handles[choice.data];
        if (m_control && (m_data || !withData))
            return true;

        // Which interface is missing, and why.
        const quint16 missingPage = m_control ? discovery::kDataUsagePage : discovery::kControlUsagePage;
        close();
        const QString role = missingPage == discovery::kControlUsagePage ? QStringLiteral("control")
                                                                          : QStringLiteral("data");
        const auto listed = std::find_if(interfaces.cbegin(), interfaces.cend(),
                                         [&](const Interface &entry) { return entry.usagePage == missingPage; });
        if (listed == interfaces.cend()) {
            *problem = Problem{Exit::Device, QStringLiteral("interface-missing"),
                               QStringLiteral("the camera (%1) lists no %2 interface (usage page %3)")
                                   .arg(identityText(device.identity), role, hex4(missingPage)),
                               {}, {}};
            return false;
        }
        const Access access = nodeaccess::isNodePath(listed->path) ? nodeAccess(listed->path) : Access::Failed;
        if (Clock::now() < giveUp && access != Access::Missing) {
            std::this_thread::sleep_for(kOpenRetryPause);
            continue;
        }
        const QString node = QString::fromLocal8Bit(listed->path);
        if (access == Access::Missing) {
            *problem = Problem{Exit::Device, QStringLiteral("gone"),
                               QStringLiteral("the camera left before its %1 interface %2 could be opened").arg(role, node),
                               {}, {}};
        } else {
            *problem = Problem{Exit::NoAccess,
                               access == Access::Denied ? QStringLiteral("permission-denied") : QStringLiteral("open-failed"),
                               access == Access::Denied
                                   ? QStringLiteral("this user may not open %1, the camera's %2 interface").arg(node, role)
                                   : QStringLiteral("%1, the camera's %2 interface, could not be opened").arg(node, role),
                               accessHints(), QJsonObject{{QStringLiteral("node"), node}}};
        }
        return false;
    }
}

void Link::close()
{
    hidio::closeHandle(m_data);
    hidio::closeHandle(m_control);
}

void Link::drain()
{
    if (!m_control)
        return;
    frame::CommandBuffer buffer{};
    while (hid_read_timeout(m_control, buffer.data(), buffer.size(), 0) > 0)
        log(QStringLiteral("dropped an earlier report"));
}

bool Link::send(frame::Command command, const quint8 *payload, int length)
{
    const frame::CommandBuffer request = frame::buildRequest(command, payload, length);
    const int result = hidio::writeRequest(m_control, request);
    log(QStringLiteral("-> %1 %2 (write %3)")
            .arg(commandName(command),
                 hexBytes(QByteArray(reinterpret_cast<const char *>(request.data()) + frame::kPayloadOffset,
                                     request[frame::kLengthOffset])))
            .arg(result));
    return result == frame::kCommandFrameSize;
}

Link::Wait Link::await(const QVector<frame::Command> &wanted, Clock::time_point deadline, const StopCheck &stop,
                       frame::Command *got, QByteArray *payload)
{
    if (!m_control)
        return Wait::Gone;
    frame::CommandBuffer buffer{};
    for (;;) {
        if (stop && stop())
            return Wait::Stopped;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return Wait::TimedOut;
        const int signalsBefore = interrupt::count();
        errno = 0;
        const int result = hid_read_timeout(m_control, buffer.data(), buffer.size(), int(std::min(left, kReadSlice).count()));
        if (result < 0) {
            // A signal cuts hidapi's poll(2) short, and hidapi returns -1 as
            // it does for a device that left. The camera is still there:
            // the stop check decides what the signal means.
            if (errno == EINTR || interrupt::count() != signalsBefore) {
                log(QStringLiteral("read cut short by a signal"));
                continue;
            }
            log(QStringLiteral("read failed: the camera has left"));
            return Wait::Gone;
        }
        if (result == 0)
            continue;
        const int size = std::min(result, frame::kCommandFrameSize);
        const frame::Reply reply = frame::decodeReply(buffer.data(), size);
        if (reply.verdict != frame::Reply::Verdict::Accepted) {
            ++m_badReports;
            log(QStringLiteral("<- dropped a report that is no reply (%1 bytes)").arg(size));
            continue;
        }
        // The window acts on a reply with a wrong sum; the tool drops it, since scripts act on what it says.
        if (!reply.checksumOk()) {
            ++m_badChecksums;
            log(QStringLiteral("<- dropped %1: checksum %2, computed %3")
                    .arg(commandName(reply.command))
                    .arg(reply.receivedSum, 2, 16, QLatin1Char('0'))
                    .arg(reply.computedSum, 2, 16, QLatin1Char('0')));
            continue;
        }
        const bool isWanted = std::find(wanted.cbegin(), wanted.cend(), reply.command) != wanted.cend();
        const QByteArray bytes(reinterpret_cast<const char *>(reply.payload.data), reply.payload.size);
        if (!isWanted || !reply.lengthFits) {
            ++m_unexpected;
            log(QStringLiteral("<- %1 %2 (not waited for, dropped)").arg(commandName(reply.command), hexBytes(bytes)));
            continue;
        }
        log(QStringLiteral("<- %1 %2").arg(commandName(reply.command), hexBytes(bytes)));
        *got = reply.command;
        *payload = bytes;
        return Wait::Got;
    }
}

QString Link::droppedText() const
{
    QStringList parts;
    if (m_badChecksums > 0)
        parts << QStringLiteral("%1 with a wrong checksum").arg(m_badChecksums);
    if (m_badReports > 0)
        parts << QStringLiteral("%1 unreadable or with a wrong header").arg(m_badReports);
    if (m_unexpected > 0)
        parts << QStringLiteral("%1 not the one awaited").arg(m_unexpected);
    if (parts.isEmpty())
        return QString();
    return QStringLiteral("reports dropped meanwhile: ") + parts.join(QStringLiteral(", "));
}

void Link::clearDropped()
{
    m_badChecksums = 0;
    m_badReports = 0;
    m_unexpected = 0;
}

} // namespace cli
