#include "Doctor.h"

#include "Diagnosis.h"
#include "Link.h"
#include "Logind.h"

#include "protocol/NodeAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <libudev.h>

#include <memory>

#include <dlfcn.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace cli {

using discovery::Device;
using discovery::Interface;
using namespace doctor;

namespace {

// No rules file is anywhere near this long; a bigger one is not read.
constexpr qint64 kLongestRulesFile = 1 << 20;
// Room for an ACL of many entries.
constexpr int kAclRoom = 4096;

QString userName(uid_t uid)
{
    const passwd *entry = getpwuid(uid);
    return entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

QString groupName(gid_t gid)
{
    const group *entry = getgrgid(gid);
    return entry && entry->gr_name ? QString::fromLocal8Bit(entry->gr_name) : QString();
}

UserFacts thisUser()
{
    UserFacts user;
    user.uid = getuid();
    user.gid = getgid();
    user.name = userName(user.uid);
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        QVector<gid_t> groups(count);
        const int got = getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            user.groups.append(groups.at(i));
    }
    return user;
}

struct UdevDeleter
{
    void operator()(udev *context) const { udev_unref(context); }
    void operator()(udev_device *device) const { udev_device_unref(device); }
};

// What udev knows of a hidraw node: whether it has a record of it, and
// its current tags (CURRENT_TAGS, or TAGS where udev is older than that).
void readUdev(udev *context, NodeFacts *node)
{
    if (!context || !nodeaccess::isNodePath(node->path))
        return;
    const QByteArray name = node->path.mid(node->path.lastIndexOf('/') + 1);
    std::unique_ptr<udev_device, UdevDeleter> device(
        udev_device_new_from_subsystem_sysname(context, "hidraw", name.constData()));
    if (!device)
        return;
    const char *current = udev_device_get_property_value(device.get(), "CURRENT_TAGS");
    const char *tags = current ? current : udev_device_get_property_value(device.get(), "TAGS");
    node->udevKnows = udev_device_get_is_initialized(device.get()) > 0 || tags;
    if (tags)
        node->tags = QString::fromLocal8Bit(tags).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

void readPermissions(NodeFacts *node)
{
    struct stat info{};
    if (!nodeaccess::isNodePath(node->path) || ::stat(node->path.constData(), &info) != 0)
        return;
    node->examined = true;
    node->owner = info.st_uid;
    node->group = info.st_gid;
    node->mode = info.st_mode & 07777;
    node->ownerName = userName(info.st_uid);
    node->groupName = groupName(info.st_gid);
    QByteArray attribute(kAclRoom, '\0');
    const ssize_t size = ::getxattr(node->path.constData(), "system.posix_acl_access", attribute.data(),
                                    size_t(attribute.size()));
    if (size <= 0)
        return;
    attribute.truncate(int(size));
    if (const std::optional<QVector<AclEntry>> acl = parseAcl(attribute)) {
        node->acl = *acl;
        for (AclEntry &entry : node->acl) {
            if (entry.tag == AclEntry::User)
                entry.name = userName(entry.id);
            else if (entry.tag == AclEntry::Group)
                entry.name = groupName(entry.id);
        }
    }
}

QVector<NodeFacts> nodesOf(const QVector<Device> &devices)
{
    std::unique_ptr<udev, UdevDeleter> context(udev_new());
    QVector<NodeFacts> nodes;
    for (const Device &device : devices) {
        for (const Interface &entry : device.interfaces) {
            NodeFacts node;
            node.path = entry.path;
            node.role = QLatin1String(roleKeyword(entry));
            node.identity = device.identity;
            node.access = nodeAccess(entry.path);
            readPermissions(&node);
            readUdev(context.get(), &node);
            nodes.append(node);
        }
    }
    return nodes;
}

RulesFacts rulesIn(const QStringList &asked)
{
    RulesFacts facts;
    if (asked.isEmpty()) {
        for (const char *dir : nodeaccess::kUdevRuleDirs)
            facts.dirs << QLatin1String(dir);
    } else {
        facts.dirs = asked;
    }
    QVector<QPair<QString, QStringList>> listing;
    for (const QString &dir : facts.dirs) {
        const QDir folder(dir);
        if (!folder.exists()) {
            facts.missingDirs << dir;
            continue;
        }
        // System: a rule masked by a link to /dev/null is a link to a device.
        listing.append({dir, folder.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)});
    }
    facts.files = effectiveRuleFiles(listing);
    for (RuleFile &file : facts.files) {
        const QFileInfo info(file.path);
        file.masked = info.canonicalFilePath() == QLatin1String("/dev/null") || (info.isFile() && info.size() == 0);
        if (file.masked || info.size() > kLongestRulesFile)
            continue;
        QFile text(file.path);
        if (text.open(QIODevice::ReadOnly))
            file.text = QString::fromUtf8(text.readAll());
    }
    return facts;
}

SandboxFacts sandboxAround(const QVector<NodeFacts> &nodes, bool cameraListed)
{
    SandboxFacts facts;
    facts.cameraListed = cameraListed;
    facts.sysfsHidraw = QFileInfo(QStringLiteral("/sys/class/hidraw")).isDir();
    for (const NodeFacts &node : nodes) {
        if (node.access == Access::Missing && nodeaccess::isNodePath(node.path) && node.role != QLatin1String("other"))
            facts.hiddenNodes << QString::fromLocal8Bit(node.path);
    }
    // The markers each kind of sandbox leaves where its programs can see them.
    const QString flatpakInfo = QStringLiteral("/.flatpak-info");
    if (QFileInfo::exists(flatpakInfo)) {
        facts.kind = QStringLiteral("flatpak");
        const QSettings info(flatpakInfo, QSettings::IniFormat);
        facts.flatpakApp = info.value(QStringLiteral("Application/name")).toString();
        const QString devices = info.value(QStringLiteral("Context/devices")).toStringList().join(QLatin1Char(';'));
        facts.flatpakAllDevices = devices.split(QLatin1Char(';')).contains(QStringLiteral("all"));
    } else if (!qEnvironmentVariableIsEmpty("SNAP_NAME")) {
        facts.kind = QStringLiteral("snap");
    } else if (QFileInfo::exists(QStringLiteral("/.dockerenv"))) {
        facts.kind = QStringLiteral("docker");
    } else if (QFileInfo::exists(QStringLiteral("/run/.containerenv"))) {
        facts.kind = QStringLiteral("podman");
    } else if (QFileInfo::exists(QStringLiteral("/run/systemd/container"))) {
        facts.kind = QStringLiteral("container");
    }
    return facts;
}

BackendFacts backendOf(const QVector<Device> &devices)
{
    BackendFacts facts;
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&hid_enumerate), &info) != 0 && info.dli_fname)
        facts.library = QFile::decodeName(info.dli_fname);
    if (facts.library.isEmpty())
        facts.library = QStringLiteral("hidapi");
    for (const Device &device : devices) {
        for (const Interface &entry : device.interfaces) {
            ++facts.cameraInterfaces;
            facts.withoutUsagePage += entry.usagePage == 0;
        }
    }
    return facts;
}

} // namespace

int runDoctor(const Options &options, Output &output)
{
    const UserFacts user = thisUser();
    const QVector<Device> devices = selectDevices(attachedDevices(), options.device);
    const QVector<NodeFacts> nodes = nodesOf(devices);
    const RulesFacts rules = rulesIn(options.rulesDirs);
    const Coverage coverage = coverageOf(rules);
    bool keptOut = false;
    for (const NodeFacts &node : nodes) {
        if (node.role != QLatin1String("other") && (node.access == Access::Denied || node.access == Access::Failed))
            keptOut = true;
    }
    const SessionFacts session =
        logind::askLogind(getuid(), getpid(), qEnvironmentVariable("XDG_SESSION_ID"));

    const QVector<Check> checks{
        busCheck(devices, options.device),
        nodesCheck(nodes, user),
        ruleCheck(rules, coverage, options.rulesDirs.isEmpty() ? QLatin1String(nodeaccess::kLocalRuleDir)
                                                                : options.rulesDirs.first()),
        tagsCheck(nodes, coverage),
        sessionCheck(session, user, keptOut),
        sandboxCheck(sandboxAround(nodes, !devices.isEmpty())),
        backendCheck(backendOf(devices)),
    };
    const Verdict verdict = verdictOf(checks, user);
    output.result(verdict.document, verdict.text);
    return int(verdict.blocked ? Exit::Blocked : Exit::Ok);
}

} // namespace cli
