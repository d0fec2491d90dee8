#pragma once

// The checks a firmware image must pass, in the order the window and the
// command-line tool run them, and what each refusal says. No window here:
// the caller shows or prints the refusal.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace imagecheck {

enum class Refusal {
    None,
    NotBinChoice,         // chosen in the dialog without the .bin suffix
    NotInUpgradeMode,     // the device is not attached in upgrade mode
    NoFileChosen,
    FileMissing,          // gone, or not a regular file
    NotBinFile,
    Empty,
    TooLarge,             // 4 GiB or more: the size field has 32 bits
    CannotOpen,
    BlankHeader,          // the first bytes are all zero
    InterfacesNotOpen,    // the control or the data interface is not open
    CannotOpenForUpload,  // opened for the header test, but not for the upload
};

// The box a refusal shows: title and text, in English, marked for
// translation in the window's context.
struct RefusalText
{
    Refusal refusal;
    const char *title;
    const char *text;
};
const RefusalText &refusalText(Refusal refusal);

// Bytes of the image's start looked at by the header test.
constexpr int kHeaderTestBytes = 16;
// The size field of UPGRADE_START is 32 bits wide.
constexpr qint64 kMaxImageSize = 0xFFFFFFFFLL;

// The suffix after the last dot is "bin", in any case.
bool hasBinSuffix(const QString &path);
// The header test passes when any of the bytes is non-zero.
bool hasNonZeroHeader(const QByteArray &head);

// A file chosen in the dialog.
Refusal checkChoice(const QString &path);
// A size that can be announced: not empty, and within the 32-bit field.
Refusal checkSize(qint64 size);
// The checks of the file itself, in order: chosen, present, suffix, size,
// readable, header.
Refusal checkImageFile(const QString &path);

// What the checks need to know of the device.
struct DeviceState
{
    bool upgradeModeConnected = false;  // attached in upgrade mode and connected
    bool interfacesOpen = false;        // control and data interfaces both open
};
// Every check before an upload, in order: the device's mode, the file, the
// interfaces.
Refusal checkUpgradeStart(const DeviceState &device, const QString &path);

} // namespace imagecheck
