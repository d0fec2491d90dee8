#pragma once

// This process's login session and the user's other sessions, as logind
// tells them over the system bus (org.freedesktop.login1). The uaccess tag
// gives a node to the user of the active session at a seat, so these are
// the facts that say whether it serves this user.

#include "Diagnosis.h"

#include <sys/types.h>

namespace cli::logind {

// `sessionId`: XDG_SESSION_ID, asked for when logind cannot tell the
// process's session from its process id. Never fails: without a system bus
// or logind, `unreachable` says why.
doctor::SessionFacts askLogind(uid_t uid, pid_t pid, const QString &sessionId);

} // namespace cli::logind
