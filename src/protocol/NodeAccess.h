#pragma once

// Whether this user may open the camera's hidraw nodes, and what gives a
// user that right on Linux: the udev rule the program ships, where udev
// reads rules, and the commands that make udev apply them. The window's
// notice and the command-line tool's `list` and `doctor` say the same
// things from here.

#include "protocol/Discovery.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace nodeaccess {

// The rule's file name as the package installs it
// ("70-com.kelvora.CameraConfig.rules").
QString ruleFileName();
// The rule lines of the shipped file, without its comments.
QStringList ruleLines();

// Where udev reads rules, the folder that wins a clash of file names first.
constexpr const char *kUdevRuleDirs[] = {
    "/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
    "/usr/lib/udev/rules.d", "/lib/udev/rules.d",
};
// Where an administrator puts a rule of their own.
constexpr char kLocalRuleDir[] = "/etc/udev/rules.d";

// Makes udev read the rules again, then apply them to the hidraw nodes
// that exist already (a rule installed after the nodes were made does
// nothing to them until then).
constexpr char kReloadRulesCommand[] = "sudo udevadm control --reload-rules";
constexpr char kTriggerCommand[] = "sudo udevadm trigger --subsystem-match=hidraw";
// The command that says what exactly keeps the user out.
constexpr char kDoctorCommand[] = "kelvora-camera-cli doctor";

// The commands that install the shipped rule as `dir`/ruleFileName() and
// apply it, in the order to run them.
QStringList installRuleCommands(const QString &dir = QLatin1String(kLocalRuleDir));

enum class Access {
    Open,      // it opens
    Denied,    // the node's permissions keep this user out
    Missing,   // the node is not there (the device left, or this system hides it)
    Failed,    // it exists but did not open, for a reason that cannot be told
};

// Whether `path` names a device node ("/dev/hidraw3") rather than a path of
// another kind (the virtual camera's).
bool isNodePath(const QByteArray &path);

// What access(2) says of a device node, for this user, without opening it.
Access accessOf(const QByteArray &path);

// Whether an interface the bus lists, and that did not open, keeps this user
// out: its node exists and this user may not use it. A node that is gone
// (the device is leaving) or that access(2) would let this user open (the
// open failed for another reason) is not; a path that is no device node
// cannot be asked further, and the failed open is taken at its word.
bool keepsUserOut(const discovery::Interface &entry);

} // namespace nodeaccess
