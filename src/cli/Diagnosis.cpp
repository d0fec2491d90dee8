#include "Diagnosis.h"

#include "Output.h"

#include "protocol/NodeAccess.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>

#include <fnmatch.h>

namespace cli::doctor {

using discovery::Device;
using discovery::Identity;

namespace {

const char kProgram[] = "kelvora-camera-cli";
// udev turns the uaccess tag into an ACL in this file: a tag set in a file
// read after it gives nothing.
const char kSeatLateRules[] = "73-seat-late.rules";

QString plural(int count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString modeText(uint mode)
{
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

QString permsText(int perms)
{
    return QString(QLatin1Char(perms & 4 ? 'r' : '-')) + QLatin1Char(perms & 2 ? 'w' : '-')
           + QLatin1Char(perms & 1 ? 'x' : '-');
}

Check made(const char *id, const char *title)
{
    Check check;
    check.id = QLatin1String(id);
    check.title = QLatin1String(title);
    return check;
}

Check skipped(Check check)
{
    check.status = Status::Skipped;
    check.summary = QStringLiteral("no camera on the bus to check");
    return check;
}

bool isVendorRole(const QString &role)
{
    return role == QLatin1String("control") || role == QLatin1String("data");
}

// The nodes that matter: those of the vendor interfaces, or every node when
// the bus does not tell the interfaces apart.
QVector<NodeFacts> vendorNodes(const QVector<NodeFacts> &nodes)
{
    QVector<NodeFacts> vendor;
    for (const NodeFacts &node : nodes) {
        if (isVendorRole(node.role))
            vendor.append(node);
    }
    return vendor.isEmpty() ? nodes : vendor;
}

QStringList applyCommands()
{
    return {QLatin1String(nodeaccess::kReloadRulesCommand), QLatin1String(nodeaccess::kTriggerCommand)};
}

QString asRoot(const char *command)
{
    return QStringLiteral("sudo %1 %2").arg(QLatin1String(kProgram), QLatin1String(command));
}

// ---- udev's rule syntax --------------------------------------------------------

struct Term
{
    QString key;     // "ATTRS{idVendor}" with its attribute
    QString op;
    QString value;
};

// The terms of one rule; nullopt when it does not read as one.
std::optional<QVector<Term>> termsOf(const QString &rule)
{
    static const QRegularExpression term(QStringLiteral(
        R"term(\G\s*([A-Za-z_]+(?:\{[^}]*\})?)\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$))term"));
    QVector<Term> terms;
    int at = 0;
    while (at < rule.size()) {
        const QRegularExpressionMatch match = term.match(rule, at);
        if (!match.hasMatch() || match.capturedLength() == 0)
            return std::nullopt;
        terms.append(Term{match.captured(1), match.captured(2), match.captured(3)});
        at = match.capturedEnd();
        if (match.captured(4).isEmpty())
            break;
    }
    if (at < rule.size() && !rule.mid(at).trimmed().isEmpty())
        return std::nullopt;
    return terms;
}

// udev's match: alternatives split by '|', each a shell glob.
bool patternMatches(const QString &pattern, const QString &subject)
{
    const QByteArray text = subject.toUtf8();
    for (const QString &alternative : pattern.split(QLatin1Char('|'))) {
        if (fnmatch(alternative.toUtf8().constData(), text.constData(), 0) == 0)
            return true;
    }
    return false;
}

// What a match term says of the camera's hidraw node in one identity: true,
// false, or nothing known.
std::optional<bool> termHolds(const Term &term, Identity identity)
{
    static const QStringList vendorKeys{"ATTRS{idVendor}", "ATTR{idVendor}", "ENV{ID_VENDOR_ID}",
                                        "ENV{ID_USB_VENDOR_ID}"};
    static const QStringList productKeys{"ATTRS{idProduct}", "ATTR{idProduct}", "ENV{ID_MODEL_ID}",
                                         "ENV{ID_USB_MODEL_ID}"};
    const discovery::UsbId id = discovery::usbId(identity);
    QStringList subjects;
    if (vendorKeys.contains(term.key))
        subjects << hex4(id.vendorId);
    else if (productKeys.contains(term.key))
        subjects << hex4(id.productId);
    else if (term.key == QLatin1String("SUBSYSTEM"))
        subjects << QStringLiteral("hidraw");
    else if (term.key == QLatin1String("KERNEL"))
        subjects << QStringLiteral("hidraw0");
    else if (term.key == QLatin1String("ACTION"))
        subjects << QStringLiteral("add");
    else if (term.key == QLatin1String("SUBSYSTEMS") && term.op == QLatin1String("=="))
        subjects << QStringLiteral("hidraw") << QStringLiteral("hid") << QStringLiteral("usb");
    else
        return std::nullopt;
    const bool any = std::any_of(subjects.cbegin(), subjects.cend(),
                                 [&](const QString &subject) { return patternMatches(term.value, subject); });
    return term.op == QLatin1String("==") ? any : !any;
}

bool isIdKey(const QString &key)
{
    return key.endsWith(QLatin1String("{idVendor}")) || key.endsWith(QLatin1String("{idProduct}"))
           || key.startsWith(QLatin1String("ENV{ID_VENDOR_ID")) || key.startsWith(QLatin1String("ENV{ID_USB_"))
           || key == QLatin1String("ENV{ID_MODEL_ID}");
}

// Whether a rule's matches take in the camera's node in this identity. A
// rule that names the camera's vendor and product counts whatever else it
// asks; one that does not must ask nothing this check cannot answer.
bool reaches(const QVector<Term> &terms, Identity identity)
{
    bool vendor = false;
    bool product = false;
    bool unknown = false;
    for (const Term &term : terms) {
        if (term.op != QLatin1String("==") && term.op != QLatin1String("!="))
            continue;
        const std::optional<bool> holds = termHolds(term, identity);
        if (holds && !*holds)
            return false;
        if (!holds)
            unknown = true;
        if (holds && term.op == QLatin1String("==") && isIdKey(term.key)) {
            const bool isVendor = term.key.contains(QLatin1String("Vendor")) || term.key.contains(QLatin1String("VENDOR"));
            (isVendor ? vendor : product) = true;
        }
    }
    return (vendor && product) || !unknown;
}

QString grantWords(GrantKind kind, const QString &who)
{
    switch (kind) {
    case GrantKind::Uaccess:
        return QStringLiteral("TAG+=\"uaccess\" (the user at the computer)");
    case GrantKind::Everyone:
        return QStringLiteral("MODE for every user");
    case GrantKind::Group:
        return QStringLiteral("GROUP=\"%1\" with MODE for that group").arg(who);
    case GrantKind::Owner:
        return QStringLiteral("OWNER=\"%1\"").arg(who);
    }
    return QString();
}

const char *grantKeyword(GrantKind kind)
{
    switch (kind) {
    case GrantKind::Uaccess:
        return "uaccess";
    case GrantKind::Everyone:
        return "everyone";
    case GrantKind::Group:
        return "group";
    case GrantKind::Owner:
        return "owner";
    }
    return "uaccess";
}

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString folderOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

QJsonArray grantsJson(const QVector<Grant> &grants)
{
    QJsonArray array;
    for (const Grant &grant : grants) {
        array.append(QJsonObject{{QStringLiteral("file"), grant.file},
                                 {QStringLiteral("line"), grant.line},
                                 {QStringLiteral("grant"), QLatin1String(grantKeyword(grant.kind))},
                                 {QStringLiteral("who"), grant.who.isEmpty() ? QJsonValue() : QJsonValue(grant.who)},
                                 {QStringLiteral("too_late"), grant.tooLate}});
    }
    return array;
}

QJsonObject sessionJson(const Session &session)
{
    return QJsonObject{{QStringLiteral("id"), session.id},
                       {QStringLiteral("seat"), session.seat},
                       {QStringLiteral("type"), session.type},
                       {QStringLiteral("service"), session.service},
                       {QStringLiteral("remote"), session.remote},
                       {QStringLiteral("remote_host"), session.remoteHost},
                       {QStringLiteral("active"), session.active},
                       {QStringLiteral("state"), session.state}};
}

QString describeSession(const Session &session)
{
    if (session.local())
        return QStringLiteral("session %1 at %2 (%3, %4)")
            .arg(session.id, session.seat, session.type, session.active ? QStringLiteral("active")
                                                                          : QStringLiteral("not active"));
    if (session.remote)
        return QStringLiteral("session %1, a remote login%2%3")
            .arg(session.id,
                 session.remoteHost.isEmpty() ? QString() : QStringLiteral(" from ") + session.remoteHost,
                 session.service.isEmpty() ? QString() : QStringLiteral(" through ") + session.service);
    return QStringLiteral("session %1, at no seat (%2)").arg(session.id, session.type);
}

} // namespace

const char *statusKeyword(Status status)
{
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::Warning:
        return "warning";
    case Status::Problem:
        return "problem";
    case Status::Skipped:
        return "skipped";
    }
    return "problem";
}

// ---- The camera on the bus --------------------------------------------------

Check busCheck(const QVector<Device> &devices, const QString &selector)
{
    Check check = made("bus", "Camera on the bus");
    QJsonArray documents;
    for (const Device &device : devices)
        documents.append(deviceJson(device));
    check.facts.insert(QStringLiteral("devices"), documents);
    if (devices.isEmpty()) {
        check.status = Status::Problem;
        if (!selector.isEmpty()) {
            check.summary = QStringLiteral("no camera matches --device %1").arg(printable(selector));
            check.fix = QStringLiteral("Name an attached camera by its serial number or node, as `list` shows them:");
            check.commands = QStringList{QStringLiteral("%1 list").arg(QLatin1String(kProgram))};
            return check;
        }
        check.summary = QStringLiteral("no camera is attached (USB %1 in normal mode, %2 in upgrade mode)")
                            .arg(usbIdText(Identity::Camera), usbIdText(Identity::Upgrade));
        check.fix = QStringLiteral("Plug the camera in; once the computer sees it, one of these lists it:");
        check.commands = QStringList{QStringLiteral("lsusb -d ") + usbIdText(Identity::Camera),
                                     QStringLiteral("lsusb -d ") + usbIdText(Identity::Upgrade)};
        return check;
    }

    QStringList labels;
    for (const Device &device : devices) {
        QString label = identityText(device.identity);
        if (!device.serialNumber.isEmpty())
            label += QStringLiteral(", serial ") + printable(device.serialNumber);
        label += QStringLiteral(", USB ") + usbIdText(device.identity);
        labels << label;
        if (devices.size() > 1)
            check.details << label;
        bool pagesKnown = false;
        for (const discovery::Interface &entry : device.interfaces) {
            pagesKnown = pagesKnown || entry.usagePage != 0;
            check.details << QStringLiteral("%1%2 %3")
                                 .arg(devices.size() > 1 ? QStringLiteral("  ") : QString())
                                 .arg(QLatin1String(roleKeyword(entry)), -8)
                                 .arg(printable(QString::fromLocal8Bit(entry.path)));
        }
        if (!pagesKnown)
            continue;
        const QVector<bool> all(device.interfaces.size(), true);
        const discovery::InterfaceChoice choice = discovery::chooseInterfaces(device.interfaces, all);
        if (!choice.complete()) {
            check.status = Status::Warning;
            check.details << QStringLiteral("it lists no %1 interface: it may still be arriving")
                                 .arg(choice.control < 0 ? QStringLiteral("control") : QStringLiteral("data"));
        }
    }
    check.summary = labels.join(QStringLiteral("; "));
    if (check.status == Status::Warning)
        check.fix = QStringLiteral("Look again in a moment; a camera that stays so needs to be plugged in again.");
    return check;
}

// ---- Its nodes -------------------------------------------------------------------

std::optional<QVector<AclEntry>> parseAcl(const QByteArray &attribute)
{
    // A little-endian version (2), then entries of tag (16 bits), permissions
    // (16 bits) and id (32 bits).
    constexpr int kHeader = 4;
    constexpr int kEntry = 8;
    const auto u16 = [&attribute](int at) {
        return uint(quint8(attribute.at(at))) | uint(quint8(attribute.at(at + 1))) << 8;
    };
    const auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
    if (attribute.size() < kHeader || (attribute.size() - kHeader) % kEntry != 0 || u32(0) != 2)
        return std::nullopt;
    QVector<AclEntry> entries;
    for (int at = kHeader; at < attribute.size(); at += kEntry) {
        AclEntry entry;
        switch (u16(at)) {
        case 0x01: entry.tag = AclEntry::UserObj; break;
        case 0x02: entry.tag = AclEntry::User; break;
        case 0x04: entry.tag = AclEntry::GroupObj; break;
        case 0x08: entry.tag = AclEntry::Group; break;
        case 0x10: entry.tag = AclEntry::Mask; break;
        case 0x20: entry.tag = AclEntry::Other; break;
        default: return std::nullopt;
        }
        entry.perms = int(u16(at + 2) & 7);
        entry.id = u32(at + 4);
        entries.append(entry);
    }
    return entries;
}

QString permissionsText(const NodeFacts &node, const UserFacts &)
{
    if (!node.examined)
        return node.access == Access::Missing ? QStringLiteral("not in /dev") : QStringLiteral("not a device node");
    const auto named = [](const QString &name, uint id) { return name.isEmpty() ? QString::number(id) : name; };
    QString text = QStringLiteral("owner %1, group %2, mode %3")
                       .arg(named(node.ownerName, node.owner), named(node.groupName, node.group), modeText(node.mode));
    QStringList extra;
    for (const AclEntry &entry : node.acl) {
        if (entry.tag == AclEntry::User)
            extra << QStringLiteral("user:%1:%2").arg(named(entry.name, entry.id), permsText(entry.perms));
        else if (entry.tag == AclEntry::Group)
            extra << QStringLiteral("group:%1:%2").arg(named(entry.name, entry.id), permsText(entry.perms));
    }
    return text + (extra.isEmpty() ? QStringLiteral(", no ACL") : QStringLiteral(", ACL ") + extra.join(QLatin1Char(' ')));
}

QString accessThrough(const NodeFacts &node, const UserFacts &user)
{
    // The kernel's order: root, the owner, the ACL's user entries, the
    // groups (through the mask when there is an ACL), everyone else.
    constexpr int kReadWrite = 6;
    if (user.uid == 0)
        return QStringLiteral("as root");
    if (!node.examined)
        return QString();
    if (node.owner == user.uid)
        return (int(node.mode >> 6) & kReadWrite) == kReadWrite ? QStringLiteral("as its owner") : QString();
    int mask = 7;
    for (const AclEntry &entry : node.acl) {
        if (entry.tag == AclEntry::Mask)
            mask = entry.perms;
    }
    for (const AclEntry &entry : node.acl) {
        if (entry.tag == AclEntry::User && entry.id == user.uid)
            return (entry.perms & mask & kReadWrite) == kReadWrite ? QStringLiteral("through its ACL entry for this user")
                                                                   : QString();
    }
    const auto member = [&user](uint group) { return group == user.gid || user.groups.contains(group); };
    bool inAGroup = false;
    if (member(node.group)) {
        inAGroup = true;
        const int perms = int(node.mode >> 3) & 7;
        if ((perms & (node.acl.isEmpty() ? 7 : mask) & kReadWrite) == kReadWrite)
            return QStringLiteral("through its group %1").arg(node.groupName.isEmpty() ? QString::number(node.group)
                                                                                       : node.groupName);
    }
    for (const AclEntry &entry : node.acl) {
        if (entry.tag == AclEntry::Group && member(entry.id)) {
            inAGroup = true;
            if ((entry.perms & mask & kReadWrite) == kReadWrite)
                return QStringLiteral("through its ACL entry for the group %1")
                    .arg(entry.name.isEmpty() ? QString::number(entry.id) : entry.name);
        }
    }
    if (!inAGroup && (int(node.mode) & kReadWrite) == kReadWrite)
        return QStringLiteral("as any user");
    return QString();
}

Check nodesCheck(const QVector<NodeFacts> &nodes, const UserFacts &user)
{
    Check check = made("nodes", "Access to its nodes");
    if (nodes.isEmpty())
        return skipped(check);
    const QVector<NodeFacts> vendor = vendorNodes(nodes);
    int keptOut = 0;
    int missing = 0;
    QJsonArray documents;
    for (const NodeFacts &node : vendor) {
        const QString path = printable(QString::fromLocal8Bit(node.path));
        QString verdict;
        switch (node.access) {
        case Access::Open: {
            const QString through = accessThrough(node, user);
            verdict = through.isEmpty() ? QStringLiteral("opens") : QStringLiteral("opens, ") + through;
            break;
        }
        case Access::Denied:
            ++keptOut;
            verdict = QStringLiteral("this user may not open it");
            break;
        case Access::Failed:
            ++keptOut;
            verdict = QStringLiteral("does not open");
            break;
        case Access::Missing:
            ++missing;
            verdict = QStringLiteral("listed on the bus, but not in /dev");
            break;
        }
        check.details << QStringLiteral("%1 %2 %3: %4").arg(path, -13).arg(node.role, -8).arg(permissionsText(node, user), verdict);
        QJsonObject document{{QStringLiteral("node"), QString::fromLocal8Bit(node.path)},
                             {QStringLiteral("role"), node.role},
                             {QStringLiteral("access"), QLatin1String(accessKeyword(node.access))}};
        if (node.examined) {
            document.insert(QStringLiteral("owner"), node.ownerName.isEmpty() ? QString::number(node.owner) : node.ownerName);
            document.insert(QStringLiteral("group"), node.groupName.isEmpty() ? QString::number(node.group) : node.groupName);
            document.insert(QStringLiteral("mode"), modeText(node.mode));
            QJsonArray acl;
            for (const AclEntry &entry : node.acl) {
                if (entry.tag == AclEntry::User || entry.tag == AclEntry::Group)
                    acl.append(QStringLiteral("%1:%2:%3")
                                   .arg(entry.tag == AclEntry::User ? QStringLiteral("user") : QStringLiteral("group"),
                                        entry.name.isEmpty() ? QString::number(entry.id) : entry.name,
                                        permsText(entry.perms)));
            }
            document.insert(QStringLiteral("acl"), acl);
        }
        documents.append(document);
    }
    check.facts.insert(QStringLiteral("nodes"), documents);

    const QString who = QStringLiteral("this user (%1)").arg(user.name.isEmpty() ? QString::number(user.uid) : user.name);
    if (keptOut == 0 && missing == 0) {
        const QString all = vendor.size() == 1   ? QStringLiteral("it")
                            : vendor.size() == 2 ? QStringLiteral("both")
                                                 : QStringLiteral("all %1").arg(vendor.size());
        check.summary = QStringLiteral("%1 may open %2").arg(who, all);
        return check;
    }
    check.status = Status::Problem;
    if (keptOut > 0) {
        check.summary = QStringLiteral("%1 may not open %2 of %3").arg(who).arg(keptOut).arg(vendor.size());
        check.fix = QStringLiteral("The rule, tag and session checks below say what keeps this user out; until that "
                                   "is mended, root may use the camera:");
        check.commands = QStringList{asRoot("info")};
    } else {
        check.summary = QStringLiteral("%1 of %2 are on the bus but not in /dev").arg(missing).arg(vendor.size());
        check.fix = QStringLiteral("This system hides the nodes from the tool: the sandbox check says how to let them in.");
    }
    return check;
}

// ---- The udev rule -----------------------------------------------------------------

QVector<RuleHit> rulesReachingCamera(const QString &text)
{
    QVector<RuleHit> hits;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int first = i;
        QString rule = lines.at(i);
        // A backslash at the end carries the rule on to the next line.
        while (rule.endsWith(QLatin1Char('\\')) && i + 1 < lines.size()) {
            rule.chop(1);
            rule += lines.at(++i);
        }
        rule = rule.trimmed();
        if (rule.isEmpty() || rule.startsWith(QLatin1Char('#')))
            continue;
        const std::optional<QVector<Term>> terms = termsOf(rule);
        if (!terms)
            continue;
        QVector<Identity> identities;
        for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
            if (reaches(*terms, identity))
                identities.append(identity);
        }
        if (identities.isEmpty())
            continue;

        bool uaccess = false;
        std::optional<uint> mode;
        QString group;
        QString owner;
        for (const Term &term : *terms) {
            const bool assigns = term.op == QLatin1String("=") || term.op == QLatin1String(":=")
                                 || term.op == QLatin1String("+=");
            if (!assigns)
                continue;
            if (term.key == QLatin1String("TAG") && term.value == QLatin1String("uaccess"))
                uaccess = true;
            else if (term.key == QLatin1String("MODE")) {
                bool ok = false;
                const uint value = term.value.toUInt(&ok, 8);
                if (ok)
                    mode = value;
            } else if (term.key == QLatin1String("GROUP"))
                group = term.value;
            else if (term.key == QLatin1String("OWNER"))
                owner = term.value;
        }
        const auto add = [&](GrantKind kind, const QString &who) {
            hits.append(RuleHit{first + 1, identities, kind, who});
        };
        if (uaccess)
            add(GrantKind::Uaccess, QString());
        if (mode && (*mode & 06) == 06)
            add(GrantKind::Everyone, QString());
        else if (mode && !group.isEmpty() && (*mode & 060) == 060)
            add(GrantKind::Group, group);
        if (!owner.isEmpty())
            add(GrantKind::Owner, owner);
    }
    return hits;
}

QVector<RuleFile> effectiveRuleFiles(const QVector<QPair<QString, QStringList>> &listing)
{
    QVector<RuleFile> files;
    QStringList names;
    for (const auto &folder : listing) {
        for (const QString &name : folder.second) {
            if (!name.endsWith(QLatin1String(".rules")) || names.contains(name))
                continue;
            names << name;
            QString dir = folder.first;
            while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
                dir.chop(1);
            files.append(RuleFile{dir + QLatin1Char('/') + name, false, QString()});
        }
    }
    std::sort(files.begin(), files.end(), [](const RuleFile &a, const RuleFile &b) {
        return fileNameOf(a.path).toUtf8() < fileNameOf(b.path).toUtf8();
    });
    return files;
}

bool Coverage::covers(Identity identity) const
{
    const QVector<Grant> &grants = of(identity);
    return std::any_of(grants.cbegin(), grants.cend(), [](const Grant &grant) { return !grant.tooLate; });
}

bool Coverage::byUaccess(Identity identity) const
{
    const QVector<Grant> &grants = of(identity);
    return std::any_of(grants.cbegin(), grants.cend(),
                       [](const Grant &grant) { return grant.kind == GrantKind::Uaccess && !grant.tooLate; });
}

Coverage coverageOf(const RulesFacts &facts)
{
    Coverage coverage;
    for (const RuleFile &file : facts.files) {
        if (file.masked)
            continue;
        const bool late = fileNameOf(file.path).toUtf8() > QByteArray(kSeatLateRules);
        for (const RuleHit &hit : rulesReachingCamera(file.text)) {
            const Grant grant{file.path, hit.line, hit.kind, hit.who, late && hit.kind == GrantKind::Uaccess};
            for (const Identity identity : hit.identities)
                (identity == Identity::Camera ? coverage.camera : coverage.upgrade).append(grant);
        }
    }
    return coverage;
}

Check ruleCheck(const RulesFacts &facts, const Coverage &coverage, const QString &installDir)
{
    Check check = made("rule", "The udev rule");
    check.facts = QJsonObject{{QStringLiteral("dirs"), QJsonArray::fromStringList(facts.dirs)},
                              {QStringLiteral("missing_dirs"), QJsonArray::fromStringList(facts.missingDirs)},
                              {QStringLiteral("camera"), grantsJson(coverage.camera)},
                              {QStringLiteral("upgrade"), grantsJson(coverage.upgrade)}};
    for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
        for (const Grant &grant : coverage.of(identity))
            check.details << QStringLiteral("%1 (%2): %3 line %4, %5%6")
                                 .arg(identity == Identity::Camera ? QStringLiteral("normal mode")
                                                                  : QStringLiteral("upgrade mode"),
                                      usbIdText(identity), grant.file)
                                 .arg(grant.line)
                                 .arg(grantWords(grant.kind, grant.who),
                                      grant.tooLate ? QStringLiteral(", but after ") + QLatin1String(kSeatLateRules)
                                                    : QString());
    }
    for (const RuleFile &file : facts.files) {
        if (file.masked && fileNameOf(file.path) == nodeaccess::ruleFileName())
            check.details << QStringLiteral("%1 is masked (empty, or a link to /dev/null): it hides the rule of that name")
                                 .arg(file.path);
    }
    if (facts.missingDirs.size() == facts.dirs.size())
        check.details << QStringLiteral("none of the folders is there: %1").arg(facts.dirs.join(QStringLiteral(", ")));

    const bool camera = coverage.covers(Identity::Camera);
    const bool upgrade = coverage.covers(Identity::Upgrade);
    if (camera && upgrade) {
        QStringList files;
        for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
            for (const Grant &grant : coverage.of(identity)) {
                if (!grant.tooLate && !files.contains(grant.file))
                    files << grant.file;
            }
        }
        check.summary = QStringLiteral("both identities are covered, by %1").arg(files.join(QStringLiteral(" and ")));
        return check;
    }

    check.status = Status::Problem;
    // A uaccess tag set too late, and nothing else: the file only needs to
    // come earlier.
    const Grant *late = nullptr;
    for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
        for (const Grant &grant : coverage.of(identity)) {
            if (grant.tooLate && !coverage.covers(identity))
                late = &grant;
        }
    }
    if (late) {
        const QString name = fileNameOf(late->file);
        static const QRegularExpression number(QStringLiteral("^\\d+-"));
        QString renamed = name;
        renamed.remove(number);
        renamed = QStringLiteral("70-") + renamed;
        check.summary = QStringLiteral("%1 tags the camera for uaccess after %2 has turned tags into access, so the "
                                       "tag gives nothing")
                            .arg(late->file, QLatin1String(kSeatLateRules));
        check.fix = QStringLiteral("Give the file a number below 73 so that udev reads it in time, then apply it:");
        check.commands = QStringList{QStringLiteral("sudo mv %1 %2/%3").arg(late->file, folderOf(late->file), renamed)}
                         + applyCommands();
        return check;
    }
    if (!camera && !upgrade) {
        check.summary = QStringLiteral("no udev rule gives access to the camera's nodes");
        check.fix = QStringLiteral("Install the program's rule, which covers both identities, and have udev apply it:");
    } else {
        const Identity missing = camera ? Identity::Upgrade : Identity::Camera;
        check.summary = missing == Identity::Upgrade
                            ? QStringLiteral("no rule covers the camera in upgrade mode (%1): it is lost to the tool "
                                             "once it enters upgrade mode")
                                  .arg(usbIdText(missing))
                            : QStringLiteral("no rule covers the camera in normal mode (%1)").arg(usbIdText(missing));
        check.fix = QStringLiteral("Install the program's rule, which covers both identities, and have udev apply it:");
    }
    check.commands = nodeaccess::installRuleCommands(installDir);
    return check;
}

Check tagsCheck(const QVector<NodeFacts> &nodes, const Coverage &coverage)
{
    Check check = made("tags", "The uaccess tag on its nodes");
    if (nodes.isEmpty())
        return skipped(check);
    const QVector<NodeFacts> vendor = vendorNodes(nodes);
    QJsonArray documents;
    int known = 0;
    QStringList lateNodes;      // the rule is there, the node older than it
    QStringList untagged;       // no rule tags it
    QStringList otherwise;      // access through the rule's MODE, GROUP or OWNER instead
    for (const NodeFacts &node : vendor) {
        const QString path = printable(QString::fromLocal8Bit(node.path));
        documents.append(QJsonObject{{QStringLiteral("node"), QString::fromLocal8Bit(node.path)},
                                     {QStringLiteral("udev_record"), node.udevKnows},
                                     {QStringLiteral("tags"), QJsonArray::fromStringList(node.tags)}});
        if (!node.udevKnows)
            continue;
        ++known;
        const bool tagged = node.tags.contains(QStringLiteral("uaccess"));
        check.details << QStringLiteral("%1 %2 tags: %3")
                             .arg(path, -13)
                             .arg(node.role, -8)
                             .arg(node.tags.isEmpty() ? QStringLiteral("(none)") : node.tags.join(QLatin1Char(' ')));
        if (tagged)
            continue;
        if (coverage.byUaccess(node.identity))
            lateNodes << path;
        else if (coverage.covers(node.identity))
            otherwise << path;
        else
            untagged << path;
    }
    check.facts.insert(QStringLiteral("nodes"), documents);
    if (known == 0) {
        check.status = Status::Warning;
        check.summary = QStringLiteral("udev has no record of the camera's nodes, so their tags cannot be read "
                                       "(is udev running here?)");
        return check;
    }
    if (!lateNodes.isEmpty()) {
        check.status = Status::Problem;
        check.summary = QStringLiteral("%1 %2 no uaccess tag although the rule sets it: made before udev read the "
                                       "rule")
                            .arg(lateNodes.join(QStringLiteral(", ")),
                                 QLatin1String(lateNodes.size() == 1 ? "has" : "have"));
        check.fix = QStringLiteral("Have udev apply the rule to the nodes that exist, or unplug the camera and plug "
                                   "it in again:");
        check.commands = applyCommands();
    } else if (!untagged.isEmpty()) {
        check.status = Status::Problem;
        check.summary = QStringLiteral("%1 %2 no uaccess tag: no rule sets it")
                            .arg(untagged.join(QStringLiteral(", ")),
                                 QLatin1String(untagged.size() == 1 ? "has" : "have"));
        check.fix = QStringLiteral("Install the rule as the rule check says, then apply it to these nodes:");
        check.commands = applyCommands();
    } else if (!otherwise.isEmpty()) {
        check.summary = QStringLiteral("not needed: the rule gives access through MODE, GROUP or OWNER");
    } else {
        check.summary = QStringLiteral("present on %1").arg(plural(known, "node", "nodes"));
    }
    return check;
}

// ---- The login session ------------------------------------------------------------

Check sessionCheck(const SessionFacts &facts, const UserFacts &user, bool keptOut)
{
    Check check = made("session", "Login session");
    const auto localActive = std::find_if(facts.userSessions.cbegin(), facts.userSessions.cend(),
                                          [](const Session &session) { return session.local() && session.active; });
    const bool activeHere = localActive != facts.userSessions.cend();
    QJsonArray sessions;
    for (const Session &session : facts.userSessions)
        sessions.append(sessionJson(session));
    check.facts = QJsonObject{{QStringLiteral("reachable"), facts.unreachable.isEmpty()},
                              {QStringLiteral("session"), facts.found ? QJsonValue(sessionJson(facts.own)) : QJsonValue()},
                              {QStringLiteral("found_by"), facts.found ? QJsonValue(facts.foundBy) : QJsonValue()},
                              {QStringLiteral("user_sessions"), sessions}};
    if (!facts.unreachable.isEmpty()) {
        check.facts.insert(QStringLiteral("error"), facts.unreachable);
        check.status = Status::Warning;
        check.summary = QStringLiteral("logind could not be asked (%1), so whether uaccess serves this login is unknown")
                            .arg(facts.unreachable);
        return check;
    }
    for (const Session &session : facts.userSessions) {
        if (!facts.found || session.id != facts.own.id)
            check.details << QStringLiteral("this user's %1").arg(describeSession(session));
    }
    if (user.uid == 0) {
        check.summary = QStringLiteral("root opens the nodes whatever the session");
        return check;
    }

    const Status shortfall = keptOut ? Status::Problem : Status::Warning;
    const QString remoteFix = QStringLiteral("Log in at the computer itself, or run the tool as root from this login:");
    if (facts.found && facts.own.local()) {
        if (facts.own.active) {
            check.summary = QStringLiteral("%1: uaccess gives it the camera").arg(describeSession(facts.own));
            return check;
        }
        check.status = shortfall;
        check.summary = QStringLiteral("%1: uaccess follows the session in front of the screen, which is another one")
                            .arg(describeSession(facts.own));
        check.fix = QStringLiteral("Switch back to this session:");
        check.commands = QStringList{QStringLiteral("loginctl activate %1").arg(facts.own.id)};
        return check;
    }
    if (activeHere) {
        check.summary = QStringLiteral("%1 this user is also at %2 and active there, so uaccess gives it the camera")
                            .arg(facts.found ? QStringLiteral("this login is %1, but").arg(describeSession(facts.own))
                                             : QStringLiteral("this process is in no login session, but"),
                                 localActive->seat);
        return check;
    }
    check.status = shortfall;
    check.summary = facts.found ? QStringLiteral("%1: uaccess gives nothing to a login that is not at the computer")
                                      .arg(describeSession(facts.own))
                                : QStringLiteral("this process is in no login session (a service, cron or a container) "
                                                 "and this user is not at the computer: uaccess gives nothing");
    check.fix = remoteFix;
    check.commands = QStringList{asRoot("info")};
    return check;
}

// ---- A sandbox ----------------------------------------------------------------------

Check sandboxCheck(const SandboxFacts &facts)
{
    Check check = made("sandbox", "Sandbox or container");
    check.facts = QJsonObject{{QStringLiteral("kind"), facts.kind.isEmpty() ? QJsonValue() : QJsonValue(facts.kind)},
                              {QStringLiteral("sysfs_hidraw"), facts.sysfsHidraw},
                              {QStringLiteral("hidden_nodes"), QJsonArray::fromStringList(facts.hiddenNodes)}};
    const bool sandbox = facts.kind == QLatin1String("flatpak") || facts.kind == QLatin1String("snap");
    const QString where = facts.kind.isEmpty()
                              ? QStringLiteral("this system")
                              : QStringLiteral("the %1 %2 this runs in")
                                    .arg(facts.kind, sandbox ? QStringLiteral("sandbox") : QStringLiteral("container"));
    if (!facts.hiddenNodes.isEmpty()) {
        check.status = Status::Problem;
        check.summary = QStringLiteral("%1 of the camera's nodes %2 on the bus but not in /dev: %3 hides them")
                            .arg(facts.hiddenNodes.join(QStringLiteral(", ")),
                                 QLatin1String(facts.hiddenNodes.size() == 1 ? "is" : "are"), where);
        QString devices;
        for (const QString &node : facts.hiddenNodes)
            devices += QStringLiteral(" --device=") + node;
        if (facts.kind == QLatin1String("flatpak")) {
            check.fix = QStringLiteral("Let the flatpak reach devices:");
            check.commands = QStringList{QStringLiteral("flatpak override --user --device=all %1")
                                             .arg(facts.flatpakApp.isEmpty() ? QStringLiteral("APP-ID") : facts.flatpakApp)};
        } else if (facts.kind == QLatin1String("docker") || facts.kind == QLatin1String("podman")) {
            check.fix = QStringLiteral("Start the container with the camera's nodes passed in, adding these options "
                                       "to its run command:");
            check.commands = QStringList{devices.trimmed()};
        } else {
            check.fix = QStringLiteral("Run the tool where /dev shows the camera's nodes, on the machine itself or in a "
                                       "sandbox given them.");
        }
        return check;
    }
    if (!facts.sysfsHidraw) {
        check.status = Status::Warning;
        check.summary = QStringLiteral("there is no /sys/class/hidraw: %1 shows programs no HID device at all").arg(where);
        return check;
    }
    if (facts.kind.isEmpty()) {
        check.summary = QStringLiteral("none found (flatpak, snap and container markers looked for)");
        return check;
    }
    if (facts.cameraListed || (facts.kind == QLatin1String("flatpak") && facts.flatpakAllDevices)) {
        check.summary = QStringLiteral("%1, which lets the tool reach devices").arg(where);
        return check;
    }
    check.status = Status::Warning;
    check.summary = QStringLiteral("%1: whether it lets the camera's nodes in shows once the camera is attached").arg(where);
    if (facts.kind == QLatin1String("flatpak")) {
        check.fix = QStringLiteral("A flatpak without access to devices cannot reach the camera; give it that:");
        check.commands = QStringList{QStringLiteral("flatpak override --user --device=all %1")
                                         .arg(facts.flatpakApp.isEmpty() ? QStringLiteral("APP-ID") : facts.flatpakApp)};
    }
    return check;
}

// ---- hidapi -----------------------------------------------------------------------

Check backendCheck(const BackendFacts &facts)
{
    Check check = made("backend", "hidapi");
    check.facts = QJsonObject{{QStringLiteral("library"), facts.library},
                              {QStringLiteral("camera_interfaces"), facts.cameraInterfaces},
                              {QStringLiteral("without_usage_page"), facts.withoutUsagePage}};
    const bool libusb = facts.library.contains(QLatin1String("libusb"));
    const bool blind = facts.cameraInterfaces > 0 && facts.withoutUsagePage == facts.cameraInterfaces;
    if (blind || libusb) {
        check.status = Status::Problem;
        check.summary = blind ? QStringLiteral("%1 lists the camera's %2 without usage pages, so the tool cannot tell "
                                               "the control interface from the data interface")
                                    .arg(facts.library, plural(facts.cameraInterfaces, "interface", "interfaces"))
                              : QStringLiteral("%1 is hidapi's libusb backend, which lists interfaces without usage "
                                               "pages: the tool cannot tell the camera's interfaces apart")
                                    .arg(facts.library);
        check.fix = QStringLiteral("Use a build of the tool linked with hidapi's hidraw backend, as the package's is; "
                                   "the second command shows which one a copy loads:");
        check.commands = QStringList{QStringLiteral("sudo apt install libhidapi-hidraw0"),
                                     QStringLiteral("ldd \"$(command -v %1)\" | grep hidapi").arg(QLatin1String(kProgram))};
        return check;
    }
    if (facts.withoutUsagePage > 0) {
        check.status = Status::Warning;
        check.summary = QStringLiteral("%1 lists %2 of the camera's %3 interfaces without a usage page")
                            .arg(facts.library)
                            .arg(facts.withoutUsagePage)
                            .arg(facts.cameraInterfaces);
        return check;
    }
    check.summary = facts.cameraInterfaces > 0
                        ? QStringLiteral("%1 lists the camera's interfaces with their usage pages").arg(facts.library)
                        : QStringLiteral("%1").arg(facts.library);
    return check;
}

// ---- All of it -------------------------------------------------------------------

Verdict verdictOf(const QVector<Check> &checks, const UserFacts &user)
{
    Verdict verdict;
    int problems = 0;
    int warnings = 0;
    QJsonArray documents;
    const QString name = user.name.isEmpty() ? QString::number(user.uid) : user.name;
    QStringList lines{QStringLiteral("Checks for %1 (uid %2):").arg(name).arg(user.uid), QString()};
    constexpr int kStatusWidth = 9;
    const QString indent(kStatusWidth + 2, QLatin1Char(' '));
    for (const Check &check : checks) {
        problems += check.status == Status::Problem;
        warnings += check.status == Status::Warning;
        documents.append(QJsonObject{
            {QStringLiteral("check"), check.id},
            {QStringLiteral("title"), check.title},
            {QStringLiteral("status"), QLatin1String(statusKeyword(check.status))},
            {QStringLiteral("summary"), check.summary},
            {QStringLiteral("details"), QJsonArray::fromStringList(check.details)},
            {QStringLiteral("fix"), check.fix.isEmpty() ? QJsonValue() : QJsonValue(check.fix)},
            {QStringLiteral("commands"), QJsonArray::fromStringList(check.commands)},
            {QStringLiteral("facts"), check.facts},
        });
        lines << QStringLiteral("%1%2: %3")
                     .arg(QLatin1String(statusKeyword(check.status)), -kStatusWidth)
                     .arg(check.title, check.summary);
        for (const QString &detail : check.details)
            lines << indent + detail;
        if (!check.fix.isEmpty())
            lines << QString(kStatusWidth, QLatin1Char(' ')) + QStringLiteral("Fix: ") + check.fix;
        for (const QString &command : check.commands)
            lines << indent + command;
    }
    verdict.blocked = problems > 0;
    lines << QString();
    const QString warned = warnings > 0 ? QStringLiteral(" (%1)").arg(plural(warnings, "warning", "warnings")) : QString();
    lines << (problems == 0 ? QStringLiteral("Nothing keeps the camera from being used%1.").arg(warned)
                            : QStringLiteral("%1 %2 the camera from being used%3.")
                                  .arg(plural(problems, "problem", "problems"),
                                       QLatin1String(problems == 1 ? "keeps" : "keep"), warned));
    verdict.text = lines.join(QLatin1Char('\n'));
    verdict.document = QJsonObject{{QStringLiteral("command"), QStringLiteral("doctor")},
                                   {QStringLiteral("user"), name},
                                   {QStringLiteral("uid"), double(user.uid)},
                                   {QStringLiteral("ok"), !verdict.blocked},
                                   {QStringLiteral("problems"), problems},
                                   {QStringLiteral("warnings"), warnings},
                                   {QStringLiteral("checks"), documents}};
    return verdict;
}

} // namespace cli::doctor
