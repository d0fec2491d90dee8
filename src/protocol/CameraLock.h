#pragma once

// One program at a time per camera. hidraw gives every program that opens a
// node its own copy of each reply, and two data streams on one interface
// would interleave; so the window and the command-line tool each take the
// camera's lock before they change it, for the whole operation, across the
// camera's switch between its two identities.
//
// The lock is an open-file-description lock (F_OFD_SETLK) on a file in
// /run/lock, or in the folder KELVORA_CAMERA_LOCK_DIR names. The kernel
// lets go of it when the holder closes the file or ends in any way, a
// crash included, so nothing is ever left to clean up; and unlike a classic
// fcntl lock it keeps two takers apart even when they are threads of one
// process. The holder writes "program pid" into the file, so that a refusal
// can say who has the camera. The file is made writable for every user,
// since the window runs as the person at the seat and the tool may run as
// root; in a sticky folder such as /run/lock no one else can remove it.

#include "protocol/Discovery.h"

#include <QString>

#include <optional>

namespace cameralock {

// The environment variable that names another folder for the lock files.
constexpr char kDirectoryVariable[] = "KELVORA_CAMERA_LOCK_DIR";
constexpr char kDefaultDirectory[] = "/run/lock";

// Which camera a lock is for, the same in both of its identities: the USB
// port it is plugged into, as the kernel names it for the HID device of its
// first hidraw node ("usb-0000:00:14.0-1"; the same port keeps the name when
// the camera comes back in its other identity). Where there is no hidraw
// node or no sysfs, its serial number ("serial-SIM0001"); where there is
// neither, one lock for every such camera ("any"). `sysfs` is where sysfs
// is mounted.
QString keyFor(const discovery::Device &device, const QString &sysfs = QStringLiteral("/sys"));

// The folder of the lock files: KELVORA_CAMERA_LOCK_DIR, else /run/lock.
QString directory();
// The lock file of a key: "<folder>/kelvora-camera.<key>.lock", with any
// character of the key that has no place in a file name written as %XX.
QString lockFile(const QString &key);

// The program that holds a lock, as it wrote itself into the lock file.
struct Holder
{
    QString program;   // empty when it cannot be told
    qint64 pid = 0;

    bool known() const { return pid > 0 && !program.isEmpty(); }
};

enum class Outcome {
    Taken,   // this object holds the lock now
    Held,    // another program (or another object of this one) holds it
    Failed,  // the lock file could not be used; error() says why
};

class CameraLock
{
public:
    CameraLock() = default;
    // Lets go of the lock.
    ~CameraLock();
    CameraLock(const CameraLock &) = delete;
    CameraLock &operator=(const CameraLock &) = delete;

    // Takes the lock of `key` at once, or says who holds it (in `holder`,
    // when given). Taken also when this object holds it already; a lock of
    // another key that it held is let go first.
    Outcome take(const QString &key, Holder *holder = nullptr);
    // Lets go of the lock, if held, and clears the holder's name first.
    void release();

    bool held() const { return m_fd >= 0; }
    QString key() const { return m_key; }
    // Why the last take failed, for a message.
    QString error() const { return m_error; }

    // Who holds the lock of `key`, looked at without taking it; nothing
    // when no one does, or when this object holds it itself.
    std::optional<Holder> otherHolder(const QString &key) const;
    // Whether anyone but this object holds the lock of any camera, looked
    // at in the lock folder alone: the cheap question before otherHolder,
    // which needs the keys of the cameras on the bus.
    bool othersHoldAny() const;

private:
    int m_fd = -1;       // the lock file, open while the lock is held; closing it lets go
    QString m_key;
    QString m_error;
};

} // namespace cameralock
