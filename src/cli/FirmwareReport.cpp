#include "FirmwareReport.h"

#include <QFileInfo>
#include <QJsonArray>

namespace cli::report {

using discovery::Device;

namespace {

struct PackageRefusalText
{
    package::Refusal refusal;
    const char *keyword;
    const char *hint;   // may be empty
};

constexpr PackageRefusalText kPackageRefusals[] = {
    {package::Refusal::TooLarge, "too-large", ""},
    {package::Refusal::NotCabinet, "not-cabinet", "A firmware package is a cabinet (.cab); a raw image ends in .bin."},
    {package::Refusal::Truncated, "truncated", "The package was not copied or downloaded whole: fetch it again."},
    {package::Refusal::Damaged, "damaged", "The package was damaged after it was made: fetch it again."},
    {package::Refusal::NoMetainfo, "no-metainfo", ""},
    {package::Refusal::SeveralMetainfo, "several-metainfo", ""},
    {package::Refusal::BadMetainfo, "bad-metainfo", ""},
    {package::Refusal::OtherDevice, "other-device", "Use a package made for the Kelvora Camera 2."},
    {package::Refusal::NoChecksum, "no-checksum", ""},
    {package::Refusal::BadVersion, "bad-version", ""},
    {package::Refusal::NoImage, "no-image", ""},
    {package::Refusal::ImageSize, "image-size", ""},
    {package::Refusal::ChecksumMismatch, "checksum-mismatch",
     "The image was changed or damaged after the package was made: fetch the package again."},
    {package::Refusal::BlankHeader, "blank-header", ""},
};

const PackageRefusalText *refusalRow(package::Refusal refusal)
{
    for (const PackageRefusalText &row : kPackageRefusals) {
        if (row.refusal == refusal)
            return &row;
    }
    return nullptr;
}

QJsonValue textOrNull(const QString &text, bool known)
{
    return known ? QJsonValue(text) : QJsonValue();
}

QJsonValue packageVersionJson(const Firmware &firmware)
{
    return textOrNull(firmware.package().version, firmware.isPackage());
}

// The firmware as a sentence names it: "camera-2.2.0.cab's image, version 2.2.0 (384.0 KiB)".
QString firmwareText(const Firmware &firmware)
{
    const QString name = printable(QFileInfo(firmware.path()).fileName());
    if (!firmware.isPackage())
        return QStringLiteral("%1 (%2)").arg(name, sizeText(double(firmware.size())));
    return QStringLiteral("%1's image, version %2 (%3)")
        .arg(name, printable(firmware.package().version), sizeText(double(firmware.size())));
}

QJsonObject standingJson(const Standing &standing)
{
    return QJsonObject{{QStringLiteral("event"), QStringLiteral("result")},
                       {QStringLiteral("command"), QStringLiteral("upgrade")},
                       {QStringLiteral("ok"), true},
                       {QStringLiteral("changed"), false},
                       {QStringLiteral("started_in"), standing.recovery ? QStringLiteral("upgrade") : QStringLiteral("camera")},
                       {QStringLiteral("old_version"), textOrNull(standing.cameraVersion, standing.known)},
                       {QStringLiteral("package_version"), packageVersionJson(standing.firmware)},
                       {QStringLiteral("bytes"), 0},
                       {QStringLiteral("device"), deviceJson(standing.device)}};
}

} // namespace

QString packageRefusalKeyword(package::Refusal refusal)
{
    const PackageRefusalText *row = refusalRow(refusal);
    return row ? QLatin1String(row->keyword) : QStringLiteral("refused");
}

Problem packageRefused(package::Refusal refusal, const QString &detail, const QString &path)
{
    const PackageRefusalText *row = refusalRow(refusal);
    QStringList hints;
    if (row && *row->hint)
        hints << QLatin1String(row->hint);
    const QString keyword = packageRefusalKeyword(refusal);
    return Problem{Exit::ImageRefused, keyword, QStringLiteral("%1: %2").arg(printable(path), printable(detail)), hints,
                   QJsonObject{{QStringLiteral("refusal"), keyword}}};
}

Problem packageTooLarge(const QString &path, qint64 size)
{
    return packageRefused(package::Refusal::TooLarge,
                          QStringLiteral("the package is %1 bytes; a package is read whole and may be at most %2")
                              .arg(size)
                              .arg(sizeText(double(package::kMaxPackageSize))),
                          path);
}

Problem olderVersion(const QString &cameraVersion, const QString &packageVersion)
{
    return Problem{Exit::OlderVersion, QStringLiteral("older-version"),
                   QStringLiteral("the package's version %1 is older than the camera's %2")
                       .arg(printable(packageVersion), printable(cameraVersion)),
                   {QStringLiteral("--allow-older installs it all the same.")},
                   QJsonObject{{QStringLiteral("old_version"), cameraVersion},
                               {QStringLiteral("package_version"), packageVersion}}};
}

Problem cameraVersionUnreadable(const QString &cameraVersion, const QString &packageVersion)
{
    return Problem{Exit::Device, QStringLiteral("camera-version-unreadable"),
                   QStringLiteral("the camera reports its version as '%1', which cannot be compared with the package's %2")
                       .arg(printable(cameraVersion), printable(packageVersion)),
                   {QStringLiteral("--allow-older installs the package without the comparison.")},
                   QJsonObject{{QStringLiteral("old_version"), cameraVersion},
                               {QStringLiteral("package_version"), packageVersion}}};
}

Problem versionAfterMismatch(const QString &newVersion, const QString &packageVersion)
{
    return Problem{Exit::Device, QStringLiteral("version-mismatch"),
                   QStringLiteral("the camera restarted with version %1, not the package's %2")
                       .arg(printable(newVersion), printable(packageVersion)),
                   {QStringLiteral("The camera did not take the new firmware. `kelvora-camera-cli info` shows what it "
                                   "runs; running the same command again tries once more.")},
                   QJsonObject{{QStringLiteral("new_version"), newVersion},
                               {QStringLiteral("package_version"), packageVersion}}};
}

Phase alreadyInUpgradeModeDryRun()
{
    return Phase{"upgrade-mode", QStringLiteral("The camera is already in upgrade mode (an earlier upload did not finish).")};
}

QString unknownLoaderVersion(const QString &packageVersion)
{
    return QStringLiteral("The camera in upgrade mode does not tell a version that can be compared: installing the "
                          "package's %1 without the comparison.")
        .arg(printable(packageVersion));
}

QString reinstallInUpgradeMode(const QString &cameraVersion)
{
    return QStringLiteral("The camera waits in upgrade mode with %1, the package's version; it runs no firmware until "
                          "it gets an image, so the package is installed again.")
        .arg(printable(cameraVersion));
}

QString reinstalling(const QString &packageVersion)
{
    return QStringLiteral("Installing %1 again (--allow-reinstall).").arg(printable(packageVersion));
}

QString installingOlder(const QString &packageVersion, const QString &cameraVersion)
{
    return QStringLiteral("Installing the older %1 over %2 (--allow-older).")
        .arg(printable(packageVersion), printable(cameraVersion));
}

QString uncomparedVersionAllowed(const QString &cameraVersion)
{
    return QStringLiteral("The camera's version '%1' cannot be compared; installing the package all the same "
                          "(--allow-older).")
        .arg(printable(cameraVersion));
}

Result nothingToDo(const Standing &standing, bool dryRun)
{
    QJsonObject document = standingJson(standing);
    document.insert(QStringLiteral("skipped"), QStringLiteral("same-version"));
    document.insert(QStringLiteral("new_version"), standing.cameraVersion);
    document.insert(QStringLiteral("version_checked"), true);
    if (dryRun) {
        document.insert(QStringLiteral("dry_run"), true);
        document.insert(QStringLiteral("would_write"), false);
    }
    return Result{document,
                  QStringLiteral("%1The camera already runs %2, the package's version: nothing to do "
                                 "(--allow-reinstall installs it again).")
                      .arg(dryRun ? QStringLiteral("Dry run: ") : QString(), printable(standing.cameraVersion))};
}

Result wouldWrite(const Standing &standing)
{
    QJsonObject document = standingJson(standing);
    document.insert(QStringLiteral("dry_run"), true);
    document.insert(QStringLiteral("would_write"), true);
    document.insert(QStringLiteral("bytes"), double(standing.firmware.size()));
    const QString over = standing.known ? QStringLiteral(" over %1").arg(printable(standing.cameraVersion)) : QString();
    QString text = standing.recovery
                       ? QStringLiteral("Dry run: a real run would upload %1 to the camera waiting in upgrade mode%2.")
                             .arg(firmwareText(standing.firmware), over)
                       : QStringLiteral("Dry run: a real run would switch the camera to upgrade mode and upload %1%2.")
                             .arg(firmwareText(standing.firmware), over);
    if (!standing.firmware.isPackage())
        text += QStringLiteral("\nA raw image names no version: none was compared.");
    text += QStringLiteral("\nNothing was written to the camera.");
    return Result{document, text};
}

Result packed(const QString &output, const package::Release &release, const QByteArray &image, qint64 packageBytes)
{
    const QString version = package::versionText(release.version);
    const QString date = release.date.toString(Qt::ISODate);
    const QByteArray sha256 = package::sha256Hex(image);
    return Result{QJsonObject{{QStringLiteral("command"), QStringLiteral("pack")},
                              {QStringLiteral("output"), output},
                              {QStringLiteral("id"), QLatin1String(package::kComponentId)},
                              {QStringLiteral("version"), version},
                              {QStringLiteral("date"), date},
                              {QStringLiteral("image_bytes"), double(image.size())},
                              {QStringLiteral("sha256"), QString::fromLatin1(sha256)},
                              {QStringLiteral("guids"), QJsonArray::fromStringList(package::cameraGuids())},
                              {QStringLiteral("bytes"), double(packageBytes)}},
                  QStringLiteral("Wrote %1: firmware %2 of %3 for the Kelvora Camera 2, image %4, sha256 %5.")
                      .arg(printable(output), version, date, sizeText(double(image.size())), QString::fromLatin1(sha256))};
}

Problem packNotWritten(const QString &output, const QString &error)
{
    return Problem{Exit::Failure, QStringLiteral("package-not-written"),
                   QStringLiteral("%1 could not be written: %2").arg(printable(output), error), {}, {}};
}

} // namespace cli::report
