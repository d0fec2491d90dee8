#pragma once

// Firmware packages: a cabinet (.cab) that holds a firmware image and one
// *.metainfo.xml naming the devices the image is for, its version and date,
// and the image's sha256 content checksum, in the layout the firmware update
// service of Linux reads. Reading one runs every check that needs no camera;
// writing one is what the command-line tool's `pack` does. No window and no
// device here, so that tests and the fuzzer reach it directly.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace package {

// The camera's instance IDs, as the firmware service names USB devices: in
// normal mode and in upgrade mode.
inline constexpr char kCameraInstanceId[] = "USB\\VID_2207&PID_2008";
inline constexpr char kUpgradeInstanceId[] = "USB\\VID_1D6B&PID_0102";

// The component id, name and file names that `pack` writes.
inline constexpr char kComponentId[] = "com.kelvora.Camera2.firmware";
inline constexpr char kImageName[] = "firmware.bin";
inline constexpr char kMetainfoName[] = "firmware.metainfo.xml";
// The image a metainfo means when its checksum names no file.
inline constexpr char kDefaultImageName[] = "firmware.bin";

// Packages are read whole into memory: larger files are refused. A camera
// image is a few MiB.
constexpr qint64 kMaxPackageSize = 512LL * 1024 * 1024;
// A metainfo file is a few KiB; one larger than this is not read.
constexpr qint64 kMaxMetainfoSize = 1024 * 1024;

// The GUID the firmware service derives from an instance ID: a name-based
// UUID (SHA-1, version 5) in the DNS namespace over the ID's UTF-8 bytes,
// in lower case.
QString guidForInstanceId(const QString &instanceId);
// This camera's GUIDs: normal mode, then upgrade mode.
QStringList cameraGuids();

// A firmware version is one to four numbers separated by dots, each of at
// most nine digits, with an optional leading "V" or "v" (the camera reports
// "V2.1.0", a package carries "2.2.0"). Anything else does not parse:
// suffixes, signs, spaces, empty parts.
std::optional<QVector<quint32>> parseVersion(const QString &text);
// Compares part by part as numbers; missing parts count as 0, so "2.2"
// equals "2.2.0". Negative, zero or positive as `a` is older, the same or
// newer than `b`.
int compareVersions(const QVector<quint32> &a, const QVector<quint32> &b);
// "2.2.0".
QString versionText(const QVector<quint32> &parts);

// Why a package is refused, each case its own.
enum class Refusal {
    None,
    TooLarge,          // the file is kMaxPackageSize or more
    NotCabinet,        // no cabinet signature at its start
    Truncated,         // shorter than its header says
    Damaged,           // the cabinet's structure or data cannot be read
    NoMetainfo,
    SeveralMetainfo,
    BadMetainfo,       // not well-formed, too large, not a firmware component, or no id
    OtherDevice,       // names none of this camera's GUIDs
    NoChecksum,        // no sha256 content checksum, or one that is not 64 hex digits
    BadVersion,        // no release, no version, or one that does not parse
    NoImage,           // the image the metainfo names is not in the cabinet
    ImageSize,         // empty, or not the size the metainfo gives
    ChecksumMismatch,
    BlankHeader,       // the image's first bytes are all zero, as the raw-image check refuses
};

// What a package holds, once read.
struct Package
{
    QString id;
    QString version;             // as the metainfo writes it
    QVector<quint32> versionParts;
    QString date;                // the release date (YYYY-MM-DD), or empty
    QString notes;               // the release's description as plain text, or empty
    QStringList guids;           // the GUIDs it provides, in lower case
    QString metainfoName;
    QString imageName;
    QByteArray sha256;           // the content checksum, lower-case hex
    qint64 installedSize = -1;   // the image's size as the metainfo gives it, or -1
    QByteArray image;            // may borrow its bytes from imageStorage
    std::shared_ptr<const void> imageStorage;
};

struct Verdict
{
    Refusal refusal = Refusal::None;
    QString detail;              // one sentence that says what was found

    bool ok() const { return refusal == Refusal::None; }
};

// Reads and checks a package held in memory: the cabinet, its one
// metainfo, the device, the version, the image, its size and checksum. On
// success `package` holds the image.
Verdict readPackage(const QByteArray &bytes, Package *package);

// The metainfo alone, as readPackage takes it apart: the component, what it
// provides and its newest release. No check of the device or the image.
Verdict parseMetainfo(const QByteArray &xml, Package *package);

// Lower-case hex sha256 of `bytes`.
QByteArray sha256Hex(const QByteArray &bytes);

// --- Writing ------------------------------------------------------------------

struct Release
{
    QVector<quint32> version;
    QDate date;
    QString notes;     // paragraphs separated by blank lines; may be empty
};

// The metainfo `pack` writes for `image`: this camera's component with both
// GUIDs, and one release with its version, date, size, notes and checksum.
QByteArray metainfoFor(const Release &release, const QByteArray &image);

// A cabinet holding these files, uncompressed, each stamped with `stamp`
// (UTC midnight of it). Empty with `error` set when it cannot be built.
struct CabinetFile
{
    QByteArray name;
    QByteArray content;
};
QByteArray cabinet(const QVector<CabinetFile> &files, const QDate &stamp, QString *error);

// A whole package: the image and its metainfo in a cabinet.
QByteArray writePackage(const QByteArray &image, const Release &release, QString *error);

} // namespace package
