// Feeds arbitrary bytes to the firmware package reader: after a first byte
// that chooses how, either as the whole file (a cabinet, or anything at
// all), or as the metainfo inside a well-formed cabinet beside a fixed
// image, so that the XML reading is reached on every input. Besides crashes
// and sanitizer reports, an accepted package is held to what acceptance
// promises, restated here, and a mismatch aborts.

#include "protocol/FirmwarePackage.h"

#include <QCryptographicHash>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "package rule broken: %s\n", what);
        std::abort();
    }
}

const QByteArray &fixedImage()
{
    static const QByteArray image = [] {
        QByteArray bytes(600, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 37 + 11) & 0xFF);
        return bytes;
    }();
    return image;
}

void checkAccepted(const package::Package &package)
{
    require(!package.image.isEmpty(), "an accepted package has an image");
    // Not the reader's own digest: Qt's, over the bytes it hands out.
    require(QCryptographicHash::hash(package.image, QCryptographicHash::Sha256).toHex() == package.sha256,
            "the image matches its checksum");
    const QStringList ours = package::cameraGuids();
    bool named = false;
    for (const QString &guid : package.guids)
        named = named || ours.contains(guid);
    require(named, "an accepted package names this camera");
    const auto parts = package::parseVersion(package.version);
    require(parts && *parts == package.versionParts, "the version read is the version kept");
    require(!package.versionParts.isEmpty() && package.versionParts.size() <= 4, "one to four version parts");
    require(package.installedSize < 0 || package.installedSize == package.image.size(), "the size given is the image's");
    require(!package.id.isEmpty(), "an accepted package has an id");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), int(size - 1));
    package::Package package;
    package::Verdict verdict;
    if (data[0] & 1) {
        QString error;
        const QByteArray cabinet = package::cabinet({{"firmware.metainfo.xml", rest}, {"firmware.bin", fixedImage()}},
                                                    QDate(2026, 1, 1), &error);
        require(!cabinet.isEmpty(), "a cabinet of two files can be written");
        verdict = package::readPackage(cabinet, &package);
    } else {
        verdict = package::readPackage(rest, &package);
    }
    if (verdict.ok())
        checkAccepted(package);
    else
        require(!verdict.detail.isEmpty(), "every refusal says what was found");

    // The input's start as a version: what parses compares equal to itself
    // and is made of digits.
    const QString text = QString::fromLatin1(rest.left(24));
    if (const auto parts = package::parseVersion(text)) {
        require(package::compareVersions(*parts, *parts) == 0, "a version equals itself");
        require(package::parseVersion(package::versionText(*parts)) == parts, "a version survives its text");
    }
    return 0;
}
