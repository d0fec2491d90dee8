#include "Firmware.h"

#include "FirmwareReport.h"
#include "Report.h"

#include "protocol/ImageChecks.h"

#include <QFileInfo>
#include <QSaveFile>

namespace cli {

bool isPackagePath(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("cab"), Qt::CaseInsensitive) == 0;
}

bool Firmware::open(const QString &path, Problem *problem)
{
    m_path = path;
    m_isPackage = isPackagePath(path);
    if (!m_isPackage) {
        // The file first: a bad image never sends the camera anywhere.
        if (const imagecheck::Refusal refusal = imagecheck::checkImageFile(path); refusal != imagecheck::Refusal::None) {
            *problem = report::imageRefused(refusal, path);
            if (refusal == imagecheck::Refusal::NotBinFile)
                problem->hints << QStringLiteral("Give a raw image (.bin) or a firmware package (.cab).");
            return false;
        }
        // Opened now and held to the end, so that the image announced later
        // is the one checked, even if the file is replaced meanwhile.
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly)) {
            *problem = report::imageRefused(imagecheck::Refusal::CannotOpenForUpload, path);
            return false;
        }
        return true;
    }

    // A package: the raw image's checks of the file itself, then its own.
    const QFileInfo info(path);
    imagecheck::Refusal fileRefusal = imagecheck::Refusal::None;
    if (!info.exists() || !info.isFile())
        fileRefusal = imagecheck::Refusal::FileMissing;
    else if (info.size() == 0)
        fileRefusal = imagecheck::Refusal::Empty;
    if (fileRefusal != imagecheck::Refusal::None) {
        *problem = report::imageRefused(fileRefusal, path);
        return false;
    }
    if (info.size() >= package::kMaxPackageSize) {
        *problem = report::packageTooLarge(path, info.size());
        return false;
    }
    // Read whole and kept: the image uploaded is the one checked here,
    // whatever happens to the file afterwards.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = report::imageRefused(imagecheck::Refusal::CannotOpen, path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const package::Verdict verdict = package::readPackage(bytes, &m_package);
    if (!verdict.ok()) {
        *problem = report::packageRefused(verdict.refusal, verdict.detail, path);
        return false;
    }
    m_buffer.setData(m_package.image);
    m_buffer.open(QIODevice::ReadOnly);
    return true;
}

QIODevice &Firmware::image()
{
    if (m_isPackage)
        return m_buffer;
    return m_file;
}

qint64 Firmware::size() const
{
    return m_isPackage ? qint64(m_package.image.size()) : m_file.size();
}

Guard guardVersion(const Firmware &firmware, const Options &options, bool recovery, bool known,
                   const QString &cameraVersion)
{
    Guard guard;
    if (!firmware.isPackage())
        return guard;
    const package::Package &offered = firmware.package();
    const std::optional<QVector<quint32>> camera = known ? package::parseVersion(cameraVersion) : std::nullopt;
    if (!camera) {
        if (recovery) {
            guard.remark = report::unknownLoaderVersion(offered.version);
        } else if (options.allowOlder) {
            guard.remark = report::uncomparedVersionAllowed(cameraVersion);
        } else {
            guard.kind = Guard::Kind::Refuse;
            guard.problem = report::cameraVersionUnreadable(cameraVersion, offered.version);
        }
        return guard;
    }
    const int order = package::compareVersions(offered.versionParts, *camera);
    if (order < 0) {
        if (!options.allowOlder) {
            guard.kind = Guard::Kind::Refuse;
            guard.problem = report::olderVersion(cameraVersion, offered.version);
        } else {
            guard.remark = report::installingOlder(offered.version, cameraVersion);
        }
    } else if (order == 0) {
        if (recovery)
            guard.remark = report::reinstallInUpgradeMode(cameraVersion);
        else if (options.allowReinstall)
            guard.remark = report::reinstalling(offered.version);
        else
            guard.kind = Guard::Kind::NothingToDo;
    }
    return guard;
}

bool reportsPackageVersion(const Firmware &firmware, const QString &version)
{
    if (!firmware.isPackage())
        return true;
    const std::optional<QVector<quint32>> reported = package::parseVersion(version);
    return reported && package::compareVersions(*reported, firmware.package().versionParts) == 0;
}

int runPack(const Options &options, Output &output)
{
    const QString &path = options.image;
    if (const imagecheck::Refusal refusal = imagecheck::checkImageFile(path); refusal != imagecheck::Refusal::None)
        return output.fail(report::imageRefused(refusal, path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return output.fail(report::imageRefused(imagecheck::Refusal::CannotOpen, path));
    // The package holds the image as read here, whole.
    if (file.size() >= package::kMaxPackageSize)
        return output.fail(report::packageTooLarge(path, file.size()));
    const QByteArray image = file.readAll();
    if (image.size() != file.size())
        return output.fail(report::imageRefused(imagecheck::Refusal::CannotOpen, path));
    file.close();

    // The command line was checked when it was parsed.
    package::Release release;
    release.version = package::parseVersion(options.firmwareVersion).value_or(QVector<quint32>());
    release.date = options.releaseDate.isEmpty() ? QDateTime::currentDateTimeUtc().date()
                                                 : QDate::fromString(options.releaseDate, Qt::ISODate);
    release.notes = options.releaseNotes;

    QString error;
    const QByteArray bytes = package::writePackage(image, release, &error);
    if (bytes.isEmpty())
        return output.fail(report::packNotWritten(options.output, error));
    QSaveFile out(options.output);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return output.fail(report::packNotWritten(options.output, out.errorString()));
    const report::Result result = report::packed(options.output, release, image, bytes.size());
    output.result(result.document, result.text);
    return int(Exit::Ok);
}

} // namespace cli
