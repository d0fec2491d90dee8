#pragma once

// The five commands: their exchanges with the camera, run in order with
// blocking reads and deadlines; what they tell the user is built in
// Report.h. They call hidapi directly, so the same functions serve the
// program linked with the system library, the demo and the tests linked
// with the virtual camera.

#include "Options.h"
#include "Output.h"

#include <chrono>

namespace cli {

// How long each kind of wait lasts, unless --timeout sets them all.
struct Waits
{
    std::chrono::milliseconds reply{5000};       // a reply to one request
    std::chrono::milliseconds identity{60000};   // the camera back in its other identity
    std::chrono::milliseconds progress{60000};   // from one report of the device's progress to the next
    std::chrono::milliseconds reboot{60000};     // from 100 % to the camera back in normal mode
};
Waits waitsFor(const Options &options);

// Runs the command the options name and returns the exit code. hid_init
// must have run; every handle it opens is closed again before it returns.
int runCommand(const Options &options, Output &output);

} // namespace cli
