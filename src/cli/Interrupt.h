#pragma once

// Ctrl-C, SIGTERM and SIGHUP: the three ways a person, a service manager or
// a dropped SSH session asks the tool to stop. They are handled alike. The
// handler only counts and, at the second signal, writes a line prepared
// beforehand and ends the process; everything else happens in the command's
// own flow, which looks at the count between two steps. The first signal
// decides the exit code (130, 143 or 129, as shells report them).

#include "Exit.h"

namespace cli::interrupt {

// Installs the handlers for SIGINT, SIGTERM and SIGHUP, and ignores SIGPIPE
// so that a write to a reader that went away fails (and is reported) instead
// of ending the tool mid-command. `json` picks the form of the line a second
// signal writes.
void install(bool json);
// Puts back what was there before install().
void uninstall();

// Stop signals caught since install() (or the last reset()).
int count();
void reset();

// What the first stop signal means: the exit code, its keyword (the JSON
// error's kind and reason) and the words a message starts with
// ("interrupted", "stopped by SIGTERM"). Ctrl-C's before any signal.
Exit stopExit();
const char *stopWord();
// How the next signal is named in a remark: "Ctrl-C again" or "a second signal".
const char *againWord();
// The signal's name when it is not Ctrl-C ("SIGTERM"), else empty.
const char *signalName();

// What the second signal says before it ends the process at once, for the
// step the command is in. Only these fixed texts can be said, because the
// handler may not build a line of its own.
enum class Stage {
    NothingSent,        // no request that changes the camera has been sent
    LeftInUpgradeMode,  // the camera is (or is going) in upgrade mode
    DeviceWriting,      // the camera is writing the image it took
};
void setStage(Stage stage);

// For a program that must put things in order before it ends (the demo
// keeps its virtual camera's state in a file): the second signal still
// writes its line at once, but the process ends at the command's next look
// at the signals, where `tidy` runs first. Set before install().
void endAtNextLook(void (*tidy)());
// Ends the process here if a second signal asked for it (see above).
void endIfAsked();

} // namespace cli::interrupt
