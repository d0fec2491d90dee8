#pragma once

// Ctrl-C. The handler only counts and, at the second press, writes a line
// prepared beforehand and ends the process; everything else happens in the
// command's own flow, which looks at the count between two steps.

namespace cli::interrupt {

// Installs the SIGINT handler. `json` picks the form of the line the second
// Ctrl-C writes.
void install(bool json);
// Puts the default handler back.
void uninstall();

// Ctrl-C presses since install() (or the last reset()).
int count();
void reset();

// What the second Ctrl-C says before it ends the process at once, for the
// step the command is in. Only these fixed texts can be said, because the
// handler may not build a line of its own.
enum class Stage {
    NothingSent,        // no request that changes the camera has been sent
    LeftInUpgradeMode,  // the camera is (or is going) in upgrade mode
    DeviceWriting,      // the camera is writing the image it took
};
void setStage(Stage stage);

} // namespace cli::interrupt
