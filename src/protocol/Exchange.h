#pragma once

// What the camera's requests and replies mean beyond their frames, said once
// for the window and the command-line tool: how the version is asked, how
// long the upgrade device has to accept an announced image, what its status
// bytes say, when its progress is at its end, and how the texts in its
// replies are read.

#include "protocol/CommandFrame.h"

#include <QString>
#include <QtGlobal>

#include <chrono>

namespace exchange {

// The version is asked with the preamble first; the camera answers the pair
// with one CAMERA_GET_VERSION_ACK.
inline constexpr frame::Command kVersionQuery[] = {frame::VERSION_PREAMBLE, frame::CAMERA_GET_VERSION};

// How long the upgrade device has to answer UPGRADE_START before the upload
// is given up: a rule of the device, not a wait the user may lengthen.
constexpr std::chrono::milliseconds kStartAcceptance(1000);

// The status byte of UPGRADE_START_ACK and UPGRADE_UPLOAD_COMPLETE_ACK: 0
// accepts; anything else is the device's error code.
constexpr bool statusAccepted(quint8 status)
{
    return status == 0;
}

// UPGRADE_PROGRESS after the completion frame: the percentage to show, and
// whether the device has finished writing its firmware (it then reboots).
constexpr int progressShown(quint8 percent)
{
    return percent < 100 ? percent : 100;
}
constexpr bool progressEnded(quint8 percent)
{
    return percent >= 100;
}

// The version, in Latin-1, up to its first zero byte.
QString versionText(const frame::Payload &payload);
// The name the camera gives itself, in the local 8-bit encoding, up to its
// first zero byte.
QString cameraName(const frame::Payload &payload);

} // namespace exchange
