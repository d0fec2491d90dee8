#pragma once

// The firmware an upgrade installs, a raw image (.bin) or a package (.cab):
// checked before the camera is touched and held until the upload ends, so
// that what is announced is what was checked. Beside it, the version guard
// that weighs a package against the camera's version, and the `pack`
// command that writes packages.

#include "Options.h"
#include "Output.h"

#include "protocol/FirmwarePackage.h"

#include <QBuffer>
#include <QFile>
#include <QString>

namespace cli {

// Whether `path` names a package: its suffix is .cab, in any case.
bool isPackagePath(const QString &path);

class Firmware
{
public:
    // Checks `path` and opens it: a raw image with the window's checks, a
    // package with every check of its own (the cabinet, its metainfo, this
    // camera, the version, the image's size and checksum). False with the
    // refusal (exit code 7).
    bool open(const QString &path, Problem *problem);

    bool isPackage() const { return m_isPackage; }
    const package::Package &package() const { return m_package; }
    // The bytes to upload, from the start; open until the object goes.
    QIODevice &image();
    // The size to announce: the raw file's as it is now, or the package's image.
    qint64 size() const;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    bool m_isPackage = false;
    QFile m_file;             // a raw image, held open
    package::Package m_package;
    QBuffer m_buffer;         // over the package's image
};

// What the version guard decides before anything is written.
struct Guard
{
    enum class Kind { Write, NothingToDo, Refuse };
    Kind kind = Kind::Write;
    Problem problem;     // for Refuse
    QString remark;      // a line for people when the guard let something unusual through
};

// Weighs the package against the camera's version (`cameraVersion`, when
// `known`). A raw image is always written. In normal mode the same version
// is nothing to do unless --allow-reinstall; an older package is refused
// unless --allow-older, and so is a version of the camera's that cannot be
// read as one. A camera found in upgrade mode runs no firmware until it
// gets an image: the same version is written again, and a version its
// loader does not tell is not compared.
Guard guardVersion(const Firmware &firmware, const Options &options, bool recovery, bool known,
                   const QString &cameraVersion);

// Whether the camera, after the restart, reports the package's version;
// true for a raw image, which names none.
bool reportsPackageVersion(const Firmware &firmware, const QString &version);

// `pack IMAGE.bin --firmware-version X.Y.Z --output FILE.cab`: writes a
// package of the image. Touches no camera. Returns the exit code.
int runPack(const Options &options, Output &output);

} // namespace cli
