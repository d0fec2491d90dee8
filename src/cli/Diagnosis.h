#pragma once

// The decisions of `doctor`, apart from how their facts are gathered: what
// a udev rules file grants the camera, what a node's owner, mode and ACL
// mean for this user, and each check's verdict with its fix. Pure: facts
// in, checks out, so that every verdict can be tried without a machine set
// up for it.

#include "Link.h"

#include "protocol/Discovery.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace cli::doctor {

enum class Status {
    Ok,
    Warning,    // worth knowing; nothing is kept from working
    Problem,    // keeps the camera from being used
    Skipped,    // cannot be checked without the camera on the bus
};
const char *statusKeyword(Status status);

// One check as the user reads it.
struct Check
{
    QString id;            // "bus", "nodes", "rule", "tags", "session", "sandbox", "backend"
    QString title;
    Status status = Status::Ok;
    QString summary;       // one line
    QStringList details;   // what was found, a line each
    QString fix;           // one sentence; empty when there is nothing to do
    QStringList commands;  // to run in this order
    QJsonObject facts;     // what the verdict rests on, for scripts
};

// Who runs the tool.
struct UserFacts
{
    uint uid = 0;
    uint gid = 0;
    QString name;
    QVector<uint> groups;  // supplementary groups
};

// ---- The camera on the bus --------------------------------------------------

Check busCheck(const QVector<discovery::Device> &devices, const QString &selector);

// ---- Its nodes -------------------------------------------------------------------

// One entry of a POSIX access ACL.
struct AclEntry
{
    enum Tag { UserObj, User, GroupObj, Group, Mask, Other };
    Tag tag = Other;
    uint id = 0;           // the user or group of User and Group entries
    int perms = 0;         // 4 read, 2 write, 1 execute
    QString name;          // of that user or group, when known
};
// The kernel's form of an access ACL (the system.posix_acl_access extended
// attribute); nullopt when it is not one.
std::optional<QVector<AclEntry>> parseAcl(const QByteArray &attribute);

struct NodeFacts
{
    QByteArray path;
    QString role;                    // "control", "data" or "other"
    discovery::Identity identity = discovery::Identity::Camera;
    Access access = Access::Failed;  // what this user meets on opening it
    bool examined = false;           // a device node whose owner and mode were read
    uint owner = 0;
    uint group = 0;
    uint mode = 0;                   // permission bits
    QString ownerName;
    QString groupName;
    QVector<AclEntry> acl;           // empty: the node has no ACL
    bool udevKnows = false;          // udev has a record of the node
    QStringList tags;                // udev's current tags on it
};

// Why this user may open the node, or why not, from its owner, group, mode
// and ACL: "owner root, group root, mode 0600, no ACL".
QString permissionsText(const NodeFacts &node, const UserFacts &user);
// Whether the node's permissions give this user read and write access;
// what access(2) answers is the last word, this says through what.
QString accessThrough(const NodeFacts &node, const UserFacts &user);

Check nodesCheck(const QVector<NodeFacts> &nodes, const UserFacts &user);

// ---- The udev rule -----------------------------------------------------------------

enum class GrantKind {
    Uaccess,   // TAG+="uaccess": the user at the local seat
    Everyone,  // MODE with read and write for others
    Group,     // GROUP= with MODE giving the group read and write
    Owner,     // OWNER=
};

// A rule line that gives access to the camera's nodes in one identity or both.
struct RuleHit
{
    int line = 0;                           // where the rule starts, from 1
    QVector<discovery::Identity> identities;
    GrantKind kind = GrantKind::Uaccess;
    QString who;                            // the group or owner of Group and Owner
};
// Every rule of a rules file that reaches the camera's hidraw nodes.
QVector<RuleHit> rulesReachingCamera(const QString &text);

// A rules file as udev takes it: the one of its name from the folder that
// wins, in udev's order (by file name, whatever the folder).
struct RuleFile
{
    QString path;
    bool masked = false;   // empty or a link to /dev/null: it hides files of that name
    QString text;
};
struct RulesFacts
{
    QStringList dirs;          // read, the winning folder first
    QStringList missingDirs;   // of those, not there
    QVector<RuleFile> files;
};
// The files udev reads out of `listing` (each folder with its file names,
// in `dirs`' order), sorted as udev sorts them; `masked` and `text` are
// left for the caller to fill in.
QVector<RuleFile> effectiveRuleFiles(const QVector<QPair<QString, QStringList>> &listing);

// What the rules grant each identity.
struct Grant
{
    QString file;
    int line = 0;
    GrantKind kind = GrantKind::Uaccess;
    QString who;
    bool tooLate = false;   // a uaccess tag set after 73-seat-late.rules, which turns it into access
};
struct Coverage
{
    QVector<Grant> camera;
    QVector<Grant> upgrade;

    const QVector<Grant> &of(discovery::Identity identity) const
    {
        return identity == discovery::Identity::Camera ? camera : upgrade;
    }
    // A grant that works for the identity.
    bool covers(discovery::Identity identity) const;
    bool byUaccess(discovery::Identity identity) const;
};
Coverage coverageOf(const RulesFacts &facts);

// `installDir`: where the fix puts the rule.
Check ruleCheck(const RulesFacts &facts, const Coverage &coverage, const QString &installDir);
Check tagsCheck(const QVector<NodeFacts> &nodes, const Coverage &coverage);

// ---- The login session ------------------------------------------------------------

struct Session
{
    QString id;
    QString seat;
    QString type;
    QString service;
    QString remoteHost;
    QString state;
    bool remote = false;
    bool active = false;

    // At a seat of this computer, not over the network: what uaccess serves.
    bool local() const { return !remote && !seat.isEmpty(); }
};
struct SessionFacts
{
    QString unreachable;         // why logind could not be asked; empty when it was
    bool found = false;          // this process belongs to a session
    QString foundBy;             // "process" or "XDG_SESSION_ID"
    Session own;
    QVector<Session> userSessions;
};
// `keptOut`: a node of the camera keeps this user out.
Check sessionCheck(const SessionFacts &facts, const UserFacts &user, bool keptOut);

// ---- A sandbox ----------------------------------------------------------------------

struct SandboxFacts
{
    QString kind;              // "flatpak", "snap", "docker", "podman", "container" or empty
    QString flatpakApp;        // the flatpak's application id
    bool flatpakAllDevices = false;
    bool sysfsHidraw = true;   // /sys/class/hidraw is there
    bool cameraListed = false;
    QStringList hiddenNodes;   // listed on the bus, not in /dev
};
Check sandboxCheck(const SandboxFacts &facts);

// ---- hidapi -----------------------------------------------------------------------

struct BackendFacts
{
    QString library;          // the file hidapi's functions come from
    int cameraInterfaces = 0;
    int withoutUsagePage = 0;
};
Check backendCheck(const BackendFacts &facts);

// ---- All of it -------------------------------------------------------------------

// `document` for --json, `text` for people; `blocked` when a check found a
// problem.
struct Verdict
{
    QJsonObject document;
    QString text;
    bool blocked = false;
};
Verdict verdictOf(const QVector<Check> &checks, const UserFacts &user);

} // namespace cli::doctor
