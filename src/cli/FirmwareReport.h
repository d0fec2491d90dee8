#pragma once

// What the tool says about firmware packages and versions: a package's
// refusals, the version guard's answers, the dry run's result, the check of
// the version after the restart, and what `pack` wrote. Like Report.h, it
// only builds texts and documents.

#include "Firmware.h"
#include "Report.h"

#include "protocol/Discovery.h"
#include "protocol/FirmwarePackage.h"

namespace cli::report {

// The JSON reason (and `refusal`) of a package's refusal.
QString packageRefusalKeyword(package::Refusal refusal);
Problem packageRefused(package::Refusal refusal, const QString &detail, const QString &path);
// A package of 512 MiB or more, which is not read.
Problem packageTooLarge(const QString &path, qint64 size);

Problem olderVersion(const QString &cameraVersion, const QString &packageVersion);
Problem cameraVersionUnreadable(const QString &cameraVersion, const QString &packageVersion);
Problem versionAfterMismatch(const QString &newVersion, const QString &packageVersion);

// A dry run that finds the camera in upgrade mode: the step a real run
// takes, without its "uploading again".
Phase alreadyInUpgradeModeDryRun();

// The guard's remarks.
QString unknownLoaderVersion(const QString &packageVersion);
QString reinstallInUpgradeMode(const QString &cameraVersion);
QString reinstalling(const QString &packageVersion);
QString installingOlder(const QString &packageVersion, const QString &cameraVersion);
QString uncomparedVersionAllowed(const QString &cameraVersion);

// Where an upgrade stood when it ended before writing: the device, the
// identity it was found in, the version it told (when it did), and the
// firmware.
struct Standing
{
    const discovery::Device &device;
    bool recovery;
    const QString &cameraVersion;
    bool known;
    const Firmware &firmware;
};
// The camera already runs the package's version: nothing was done (or, in
// a dry run, nothing would be).
Result nothingToDo(const Standing &standing, bool dryRun);
// A dry run whose real run would start writing.
Result wouldWrite(const Standing &standing);

// `pack`.
Result packed(const QString &output, const package::Release &release, const QByteArray &image, qint64 packageBytes);
Problem packNotWritten(const QString &output, const QString &error);

} // namespace cli::report
