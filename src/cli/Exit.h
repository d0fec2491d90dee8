#pragma once

// The command-line tool's exit codes. Scripts rely on them: a value, once
// given a meaning, keeps it. docs/cli.md and the man page list the same
// table; a test holds the three together.

namespace cli {

enum class Exit : int {
    Ok = 0,
    Failure = 1,          // anything the codes below do not cover
    Usage = 2,            // the command line is wrong
    NoCamera = 3,         // no camera attached (or none matches --device)
    SeveralCameras = 4,   // more than one camera, and no --device to choose
    NoAccess = 5,         // a node of the camera exists but cannot be opened
    Device = 6,           // the camera refused, failed or did not answer in time
    ImageRefused = 7,     // the firmware image failed a check or could not be read
    InUse = 8,            // another program is working on the camera
    OlderVersion = 9,     // the package is older than the camera's firmware, and --allow-older was not given
    Blocked = 10,         // doctor: a check found what keeps the camera from being used
    HungUp = 129,         // SIGHUP: the terminal or the SSH session went away (128 + SIGHUP)
    Interrupted = 130,    // Ctrl-C (128 + SIGINT, as shells report it)
    Terminated = 143,     // SIGTERM: timeout(1), a service manager, kill (128 + SIGTERM)
};

struct ExitInfo
{
    Exit exit;
    const char *keyword;   // the "kind" of a JSON error
    const char *meaning;
};

inline constexpr ExitInfo kExitCodes[] = {
    {Exit::Ok, "ok", "success, including a camera that already had what was asked"},
    {Exit::Failure, "failure", "an unexpected failure (hidapi did not start, output could not be written)"},
    {Exit::Usage, "usage", "the command line is wrong"},
    {Exit::NoCamera, "no-camera", "no camera is attached, or none matches --device"},
    {Exit::SeveralCameras, "several-cameras", "several cameras are attached and no --device chooses one"},
    {Exit::NoAccess, "no-access", "a node of the camera cannot be opened by this user"},
    {Exit::Device, "device", "the camera refused, failed, left or did not answer in time"},
    {Exit::ImageRefused, "image-refused", "the firmware image was refused or could not be read"},
    {Exit::InUse, "in-use", "another program is working on the camera"},
    {Exit::OlderVersion, "older-version", "the package is older than the camera's firmware (--allow-older installs it)"},
    {Exit::Blocked, "blocked", "doctor found a problem that keeps the camera from being used"},
    {Exit::HungUp, "hangup", "stopped by SIGHUP (the terminal or SSH session went away)"},
    {Exit::Interrupted, "interrupted", "stopped by Ctrl-C"},
    {Exit::Terminated, "terminated", "stopped by SIGTERM (timeout, a service manager, kill)"},
};

constexpr const ExitInfo &exitInfo(Exit exit)
{
    for (const ExitInfo &info : kExitCodes) {
        if (info.exit == exit)
            return info;
    }
    return kExitCodes[1];
}

} // namespace cli
