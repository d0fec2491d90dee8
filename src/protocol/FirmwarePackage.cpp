// GLib's headers name a struct member "signals", which Qt defines as a
// keyword macro: they come first, with the macro out of the way.
#pragma push_macro("signals")
#undef signals
#include <libgcab.h>
#pragma pop_macro("signals")

#include "FirmwarePackage.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>

namespace package {

namespace {

// The cabinet header: its signature, and the whole cabinet's size as a
// little-endian 32-bit number at byte 8. The fixed part is 36 bytes.
constexpr char kCabinetSignature[] = "MSCF";
constexpr int kCabinetSizeOffset = 8;
constexpr int kCabinetHeaderSize = 36;

constexpr int kMaxVersionParts = 4;
constexpr int kMaxVersionDigits = 9;
constexpr int kSha256HexDigits = 64;

// The GUIDs of a metainfo that names another device are listed up to this
// many in the refusal.
constexpr int kGuidsShown = 3;

// RAII for the GLib objects used here.
struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

QString errorText(const GError *error)
{
    return error && error->message ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
}

quint32 littleEndian32(const QByteArray &bytes, int offset)
{
    const auto byte = [&](int i) { return quint32(quint8(bytes.at(offset + i))); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Text from the package, as a refusal quotes it: short, one line.
QString quoted(const QString &text)
{
    constexpr int kLongest = 80;
    QString line = text.simplified();
    if (line.size() > kLongest)
        line = line.left(kLongest) + QStringLiteral("...");
    return QLatin1Char('\'') + line + QLatin1Char('\'');
}

Verdict refuse(Refusal refusal, const QString &detail)
{
    return Verdict{refusal, detail};
}

bool isMetainfoName(const QString &name)
{
    return name.endsWith(QLatin1String(".metainfo.xml"), Qt::CaseInsensitive);
}

bool isHexDigest(const QString &text)
{
    return text.size() == kSha256HexDigits
           && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return std::isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'); });
}

// The files of a loaded cabinet, in every folder, by name.
struct CabinetFiles
{
    QVector<GCabFile *> files;   // owned by the cabinet
    QStringList names;
};

CabinetFiles filesOf(GCabCabinet *cabinet)
{
    CabinetFiles found;
    GPtrArray *folders = gcab_cabinet_get_folders(cabinet);
    for (guint i = 0; folders && i < folders->len; ++i) {
        auto *folder = static_cast<GCabFolder *>(g_ptr_array_index(folders, i));
        GSList *list = gcab_folder_get_files(folder);
        for (GSList *entry = list; entry; entry = entry->next) {
            auto *file = static_cast<GCabFile *>(entry->data);
            found.files.append(file);
            found.names.append(QString::fromUtf8(gcab_file_get_name(file)));
        }
        g_slist_free(list);
    }
    return found;
}

// Decompresses the one file `wanted` into memory: `content` borrows the
// bytes, `storage` keeps them. False with the library's reason when the
// cabinet's data cannot be read.
bool extract(GCabCabinet *cabinet, GCabFile *wanted, QByteArray *content, std::shared_ptr<const void> *storage,
             QString *error)
{
    GError *raw = nullptr;
    const auto onlyWanted = [](GCabFile *file, gpointer data) -> gboolean { return file == data; };
    const gboolean ok = gcab_cabinet_extract_simple(cabinet, nullptr, onlyWanted, wanted, nullptr, &raw);
    const GErrorPtr failure(raw);
    GBytes *bytes = gcab_file_get_bytes(wanted);
    if (!ok || !bytes) {
        *error = ok ? QStringLiteral("no data") : errorText(failure.get());
        return false;
    }
    gsize size = 0;
    const auto *data = static_cast<const char *>(g_bytes_get_data(bytes, &size));
    if (size > gsize(std::numeric_limits<int>::max())) {
        *error = QStringLiteral("the file is too large to read");
        return false;
    }
    // Borrowed rather than copied: the checks of a large image are timed.
    g_bytes_ref(bytes);
    *storage = std::shared_ptr<const void>(bytes, [](const void *kept) { g_bytes_unref(static_cast<GBytes *>(const_cast<void *>(kept))); });
    *content = QByteArray::fromRawData(data, int(size));
    return true;
}

// The text of an element and everything inside it, as plain text: each
// paragraph or list item on a line of its own.
QString plainText(QXmlStreamReader &xml)
{
    QStringList lines;
    QString line;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            if (xml.name() == QLatin1String("p") || xml.name() == QLatin1String("li")) {
                if (!line.simplified().isEmpty())
                    lines << (xml.name() == QLatin1String("li") ? QStringLiteral("- ") : QString()) + line.simplified();
                line.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            line += xml.text();
            break;
        default:
            break;
        }
    }
    if (!line.simplified().isEmpty())
        lines << line.simplified();
    return lines.join(QLatin1Char('\n'));
}

// The newest release of a metainfo, as read.
struct ReleaseRead
{
    bool seen = false;
    QString version;
    bool hasVersion = false;
    QString date;
    QString notes;
    qint64 installedSize = -1;
    QHash<QString, QString> checksums;   // type -> value
    QHash<QString, QString> fileNames;   // type -> filename attribute
};

} // namespace

// --- GUIDs and versions --------------------------------------------------------

QString guidForInstanceId(const QString &instanceId)
{
    static const QUuid dnsNamespace(QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8"));
    return QUuid::createUuidV5(dnsNamespace, instanceId.toUtf8()).toString(QUuid::WithoutBraces).toLower();
}

QStringList cameraGuids()
{
    return {guidForInstanceId(QLatin1String(kCameraInstanceId)), guidForInstanceId(QLatin1String(kUpgradeInstanceId))};
}

std::optional<QVector<quint32>> parseVersion(const QString &text)
{
    QString rest = text;
    if (rest.startsWith(QLatin1Char('V')) || rest.startsWith(QLatin1Char('v')))
        rest.remove(0, 1);
    const QStringList parts = rest.split(QLatin1Char('.'));
    if (rest.isEmpty() || parts.size() > kMaxVersionParts)
        return std::nullopt;
    QVector<quint32> numbers;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > kMaxVersionDigits
            || !std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
            return std::nullopt;
        numbers.append(part.toUInt());
    }
    return numbers;
}

int compareVersions(const QVector<quint32> &a, const QVector<quint32> &b)
{
    for (int i = 0; i < std::max(a.size(), b.size()); ++i) {
        const quint32 left = a.value(i, 0);
        const quint32 right = b.value(i, 0);
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

QString versionText(const QVector<quint32> &parts)
{
    QStringList words;
    for (const quint32 part : parts)
        words << QString::number(part);
    return words.join(QLatin1Char('.'));
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    // GLib's digest, not QCryptographicHash: it is about twice as fast, and
    // the package checks are timed against sha256sum.
    GChecksum *checksum = g_checksum_new(G_CHECKSUM_SHA256);
    g_checksum_update(checksum, reinterpret_cast<const guchar *>(bytes.constData()), bytes.size());
    const QByteArray hex(g_checksum_get_string(checksum));
    g_checksum_free(checksum);
    return hex;
}

// --- Reading -----------------------------------------------------------------------

Verdict parseMetainfo(const QByteArray &xmlBytes, Package *package)
{
    QXmlStreamReader xml(xmlBytes);
    ReleaseRead release;
    bool component = false;
    QString componentType;
    QStringList guids;
    QString id;

    // The elements that matter, by where they sit: component/id,
    // component/provides/firmware, component/releases/release (the first,
    // which is the newest) with its checksum, description and size.
    QStringList path;
    bool inFirstRelease = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (inFirstRelease && path.size() == 3)
                inFirstRelease = false;
            if (!path.isEmpty())
                path.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        path.append(name);
        if (path.size() == 1) {
            component = name == QLatin1String("component");
            componentType = attributes.value(QLatin1String("type")).toString();
            if (!component || componentType != QLatin1String("firmware"))
                break;
            continue;
        }
        const QString parent = path.at(path.size() - 2);
        if (path.size() == 2 && name == QLatin1String("id")) {
            id = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            path.removeLast();
        } else if (path.size() == 3 && parent == QLatin1String("provides") && name == QLatin1String("firmware")) {
            const bool flashed = attributes.value(QLatin1String("type")) == QLatin1String("flashed");
            const QString guid = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toLower();
            if (flashed && !guid.isEmpty())
                guids.append(guid);
            path.removeLast();
        } else if (path.size() == 3 && parent == QLatin1String("releases") && name == QLatin1String("release")
                   && !release.seen) {
            release.seen = true;
            inFirstRelease = true;
            release.hasVersion = attributes.hasAttribute(QLatin1String("version"));
            release.version = attributes.value(QLatin1String("version")).toString();
            release.date = attributes.value(QLatin1String("date")).toString();
            if (release.date.isEmpty() && attributes.hasAttribute(QLatin1String("timestamp"))) {
                bool ok = false;
                const qint64 seconds = attributes.value(QLatin1String("timestamp")).toLongLong(&ok);
                if (ok)
                    release.date = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).date().toString(Qt::ISODate);
            }
        } else if (inFirstRelease && path.size() == 4 && name == QLatin1String("checksum")
                   && attributes.value(QLatin1String("target")) == QLatin1String("content")) {
            const QString type = attributes.value(QLatin1String("type")).toString().toLower();
            const QString fileName = attributes.value(QLatin1String("filename")).toString();
            const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            if (!release.checksums.contains(type)) {
                release.checksums.insert(type, value);
                release.fileNames.insert(type, fileName);
            }
            path.removeLast();
        } else if (inFirstRelease && path.size() == 4 && name == QLatin1String("description")) {
            release.notes = plainText(xml);
            path.removeLast();
        } else if (inFirstRelease && path.size() == 4 && name == QLatin1String("size")
                   && attributes.value(QLatin1String("type")) == QLatin1String("installed")) {
            bool ok = false;
            const qint64 size = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed().toLongLong(&ok);
            release.installedSize = ok && size >= 0 ? size : -2;
            path.removeLast();
        }
    }

    const QString where = package->metainfoName.isEmpty() ? QStringLiteral("the metainfo") : package->metainfoName;
    if (!component && !xml.hasError())
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 is not a component's metainfo").arg(where));
    if (component && componentType != QLatin1String("firmware"))
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 describes a component of type %2, not firmware")
                                                .arg(where, quoted(componentType)));
    if (xml.hasError())
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 is not well-formed XML: %2 (line %3)")
                                                .arg(where, xml.errorString())
                                                .arg(xml.lineNumber()));
    if (id.isEmpty())
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 gives the component no id").arg(where));
    if (release.installedSize == -2)
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 gives the image's size as no number").arg(where));

    package->id = id;
    package->guids = guids;
    package->date = release.date;
    package->notes = release.notes;
    if (!release.seen)
        return refuse(Refusal::BadVersion, QStringLiteral("%1 holds no release, so the package has no version").arg(where));
    if (!release.hasVersion)
        return refuse(Refusal::BadVersion, QStringLiteral("the release in %1 has no version").arg(where));
    const std::optional<QVector<quint32>> parts = parseVersion(release.version);
    if (!parts)
        return refuse(Refusal::BadVersion, QStringLiteral("the package's version %1 is not a version: one to four "
                                                          "numbers separated by dots, like 2.2.0")
                                               .arg(quoted(release.version)));
    package->version = release.version;
    package->versionParts = *parts;

    const QString sha256 = release.checksums.value(QStringLiteral("sha256"));
    if (!release.checksums.contains(QStringLiteral("sha256"))) {
        const QStringList others = release.checksums.keys();
        return refuse(Refusal::NoChecksum,
                      others.isEmpty() ? QStringLiteral("the release carries no content checksum of its image")
                                       : QStringLiteral("the release carries no sha256 content checksum of its image "
                                                        "(only %1)").arg(others.join(QStringLiteral(", "))));
    }
    if (!isHexDigest(sha256))
        return refuse(Refusal::NoChecksum,
                      QStringLiteral("the release's sha256 checksum %1 is not 64 hex digits").arg(quoted(sha256)));
    package->sha256 = sha256.toLatin1().toLower();
    const QString fileName = release.fileNames.value(QStringLiteral("sha256"));
    package->imageName = fileName.isEmpty() ? QLatin1String(kDefaultImageName) : fileName;
    package->installedSize = release.installedSize;
    return {};
}

Verdict readPackage(const QByteArray &bytes, Package *package)
{
    *package = Package();
    if (!bytes.startsWith(kCabinetSignature))
        return refuse(Refusal::NotCabinet, QStringLiteral("not a cabinet: a .cab package starts with \"MSCF\""));
    if (bytes.size() < kCabinetHeaderSize)
        return refuse(Refusal::Truncated, QStringLiteral("the cabinet ends inside its header (%1 bytes)").arg(bytes.size()));
    const quint32 declared = littleEndian32(bytes, kCabinetSizeOffset);
    if (declared > quint32(bytes.size()))
        return refuse(Refusal::Truncated, QStringLiteral("the cabinet is cut short: its header gives %1 bytes, the "
                                                         "file holds %2")
                                              .arg(declared)
                                              .arg(bytes.size()));

    // Read in place: the stream borrows the bytes, which outlive it.
    GPtr<GInputStream> stream(g_memory_input_stream_new_from_data(bytes.constData(), bytes.size(), nullptr));
    GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    GError *raw = nullptr;
    if (!gcab_cabinet_load(cabinet.get(), stream.get(), nullptr, &raw)) {
        const GErrorPtr failure(raw);
        return refuse(Refusal::Damaged, QStringLiteral("the cabinet cannot be read: %1").arg(errorText(failure.get())));
    }

    const CabinetFiles files = filesOf(cabinet.get());
    QVector<int> metainfos;
    for (int i = 0; i < files.names.size(); ++i) {
        if (isMetainfoName(files.names.at(i)))
            metainfos.append(i);
    }
    if (metainfos.isEmpty())
        return refuse(Refusal::NoMetainfo, QStringLiteral("the package holds no *.metainfo.xml (it holds %1)")
                                               .arg(files.names.isEmpty() ? QStringLiteral("no file")
                                                                          : files.names.join(QStringLiteral(", "))));
    if (metainfos.size() > 1) {
        QStringList names;
        for (const int index : metainfos)
            names << files.names.at(index);
        return refuse(Refusal::SeveralMetainfo, QStringLiteral("the package holds %1 metainfo files (%2); it must hold one")
                                                    .arg(metainfos.size())
                                                    .arg(names.join(QStringLiteral(", "))));
    }
    GCabFile *metainfoFile = files.files.at(metainfos.first());
    package->metainfoName = files.names.at(metainfos.first());
    if (gcab_file_get_size(metainfoFile) > kMaxMetainfoSize)
        return refuse(Refusal::BadMetainfo, QStringLiteral("%1 is %2 bytes long; a metainfo is at most %3")
                                                .arg(package->metainfoName)
                                                .arg(gcab_file_get_size(metainfoFile))
                                                .arg(kMaxMetainfoSize));
    QByteArray xml;
    std::shared_ptr<const void> xmlStorage;
    QString failure;
    if (!extract(cabinet.get(), metainfoFile, &xml, &xmlStorage, &failure))
        return refuse(Refusal::Damaged, QStringLiteral("%1 cannot be read from the cabinet: %2").arg(package->metainfoName, failure));

    if (const Verdict metainfo = parseMetainfo(xml, package); !metainfo.ok())
        return metainfo;
    const qint64 installedSize = package->installedSize;

    const QStringList ours = cameraGuids();
    if (!std::any_of(package->guids.cbegin(), package->guids.cend(), [&](const QString &guid) { return ours.contains(guid); })) {
        const QStringList shown = package->guids.mid(0, kGuidsShown);
        return refuse(Refusal::OtherDevice,
                      QStringLiteral("the package is for another device: it names %1, not this camera's %2")
                          .arg(shown.isEmpty() ? QStringLiteral("no device")
                                               : shown.join(QStringLiteral(", "))
                                                     + (package->guids.size() > kGuidsShown ? QStringLiteral(", ...") : QString()),
                               ours.join(QStringLiteral(" or "))));
    }

    const int imageIndex = files.names.indexOf(package->imageName);
    if (imageIndex < 0)
        return refuse(Refusal::NoImage, QStringLiteral("the image %1 that %2 names is not in the package")
                                            .arg(quoted(package->imageName), package->metainfoName));
    GCabFile *imageFile = files.files.at(imageIndex);
    const qint64 listedSize = gcab_file_get_size(imageFile);
    if (listedSize == 0)
        return refuse(Refusal::ImageSize, QStringLiteral("the image %1 is empty").arg(package->imageName));
    if (installedSize >= 0 && installedSize != listedSize)
        return refuse(Refusal::ImageSize, QStringLiteral("the image %1 holds %2 bytes, but %3 gives its size as %4")
                                              .arg(package->imageName)
                                              .arg(listedSize)
                                              .arg(package->metainfoName)
                                              .arg(installedSize));
    if (listedSize >= kMaxPackageSize)
        return refuse(Refusal::ImageSize, QStringLiteral("the image %1 is %2 bytes long, more than a package may hold")
                                              .arg(package->imageName)
                                              .arg(listedSize));
    QByteArray image;
    std::shared_ptr<const void> imageStorage;
    if (!extract(cabinet.get(), imageFile, &image, &imageStorage, &failure))
        return refuse(Refusal::Damaged, QStringLiteral("the image %1 cannot be read from the cabinet: %2").arg(package->imageName, failure));
    if (image.size() != listedSize)
        return refuse(Refusal::ImageSize, QStringLiteral("the image %1 unpacks to %2 bytes, but the cabinet lists %3")
                                              .arg(package->imageName)
                                              .arg(image.size())
                                              .arg(listedSize));

    const QByteArray actual = sha256Hex(image);
    if (actual != package->sha256)
        return refuse(Refusal::ChecksumMismatch, QStringLiteral("the image %1 does not match the package's checksum: "
                                                                "sha256 %2 expected, %3 found")
                                                     .arg(package->imageName, QString::fromLatin1(package->sha256),
                                                          QString::fromLatin1(actual)));
    if (std::all_of(image.cbegin(), image.cbegin() + std::min(image.size(), 16), [](char byte) { return byte == 0; }))
        return refuse(Refusal::BlankHeader, QStringLiteral("the image %1 starts with 16 zero bytes, as no firmware "
                                                           "image does")
                                                .arg(package->imageName));
    package->image = image;
    package->imageStorage = imageStorage;
    return {};
}

// --- Writing --------------------------------------------------------------------

QByteArray metainfoFor(const Release &release, const QByteArray &image)
{
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.setAutoFormattingIndent(2);
    out.writeStartDocument();
    out.writeStartElement(QStringLiteral("component"));
    out.writeAttribute(QStringLiteral("type"), QStringLiteral("firmware"));
    out.writeTextElement(QStringLiteral("id"), QLatin1String(kComponentId));
    out.writeTextElement(QStringLiteral("name"), QStringLiteral("Kelvora Camera 2"));
    out.writeTextElement(QStringLiteral("summary"), QStringLiteral("Firmware for the Kelvora Camera 2 conference camera"));
    out.writeStartElement(QStringLiteral("description"));
    out.writeTextElement(QStringLiteral("p"), QStringLiteral("The firmware of the Kelvora Camera 2 USB conference camera, "
                                                              "installed while the camera is in its upgrade mode."));
    out.writeEndElement();
    // Both identities: the camera is found in either.
    out.writeStartElement(QStringLiteral("provides"));
    for (const QString &guid : cameraGuids()) {
        out.writeStartElement(QStringLiteral("firmware"));
        out.writeAttribute(QStringLiteral("type"), QStringLiteral("flashed"));
        out.writeCharacters(guid);
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeTextElement(QStringLiteral("metadata_license"), QStringLiteral("CC0-1.0"));
    out.writeTextElement(QStringLiteral("project_license"), QStringLiteral("LicenseRef-proprietary"));
    out.writeTextElement(QStringLiteral("developer_name"), QStringLiteral("Kelvora"));
    out.writeStartElement(QStringLiteral("categories"));
    out.writeTextElement(QStringLiteral("category"), QStringLiteral("X-Device"));
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("custom"));
    out.writeStartElement(QStringLiteral("value"));
    out.writeAttribute(QStringLiteral("key"), QStringLiteral("LVFS::VersionFormat"));
    out.writeCharacters(release.version.size() == 3 ? QStringLiteral("triplet") : QStringLiteral("plain"));
    out.writeEndElement();
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("releases"));
    out.writeStartElement(QStringLiteral("release"));
    out.writeAttribute(QStringLiteral("version"), versionText(release.version));
    out.writeAttribute(QStringLiteral("date"), release.date.toString(Qt::ISODate));
    out.writeAttribute(QStringLiteral("urgency"), QStringLiteral("medium"));
    out.writeStartElement(QStringLiteral("checksum"));
    out.writeAttribute(QStringLiteral("type"), QStringLiteral("sha256"));
    out.writeAttribute(QStringLiteral("filename"), QLatin1String(kImageName));
    out.writeAttribute(QStringLiteral("target"), QStringLiteral("content"));
    out.writeCharacters(QString::fromLatin1(sha256Hex(image)));
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("size"));
    out.writeAttribute(QStringLiteral("type"), QStringLiteral("installed"));
    out.writeCharacters(QString::number(image.size()));
    out.writeEndElement();
    // Notes: a paragraph for each block of lines between blank lines.
    QStringList paragraphs;
    for (const QString &block : release.notes.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")))) {
        if (!block.simplified().isEmpty())
            paragraphs << block.simplified();
    }
    if (!paragraphs.isEmpty()) {
        out.writeStartElement(QStringLiteral("description"));
        for (const QString &paragraph : paragraphs)
            out.writeTextElement(QStringLiteral("p"), paragraph);
        out.writeEndElement();
    }
    out.writeEndElement();   // release
    out.writeEndElement();   // releases
    out.writeEndElement();   // component
    out.writeEndDocument();
    return xml;
}

QByteArray cabinet(const QVector<CabinetFile> &files, const QDate &stamp, QString *error)
{
    GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    // Uncompressed: firmware images compress poorly, and reading stays a copy.
    GPtr<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_NONE));
    GDateTime *time = g_date_time_new_utc(stamp.year(), stamp.month(), stamp.day(), 0, 0, 0);
    for (const CabinetFile &entry : files) {
        GBytes *bytes = g_bytes_new(entry.content.constData(), gsize(entry.content.size()));
        GPtr<GCabFile> file(gcab_file_new_with_bytes(entry.name.constData(), bytes));
        g_bytes_unref(bytes);
        if (time)
            gcab_file_set_date_time(file.get(), time);
        GError *raw = nullptr;
        if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, &raw)) {
            const GErrorPtr failure(raw);
            *error = errorText(failure.get());
            if (time)
                g_date_time_unref(time);
            return {};
        }
    }
    if (time)
        g_date_time_unref(time);
    GError *raw = nullptr;
    if (!gcab_cabinet_add_folder(cabinet.get(), folder.get(), &raw)) {
        const GErrorPtr failure(raw);
        *error = errorText(failure.get());
        return {};
    }
    GPtr<GOutputStream> stream(g_memory_output_stream_new_resizable());
    if (!gcab_cabinet_write_simple(cabinet.get(), stream.get(), nullptr, nullptr, nullptr, &raw)
        || !g_output_stream_close(stream.get(), nullptr, raw ? nullptr : &raw)) {
        const GErrorPtr failure(raw);
        *error = errorText(failure.get());
        return {};
    }
    auto *memory = G_MEMORY_OUTPUT_STREAM(stream.get());
    return QByteArray(static_cast<const char *>(g_memory_output_stream_get_data(memory)),
                      int(g_memory_output_stream_get_data_size(memory)));
}

QByteArray writePackage(const QByteArray &image, const Release &release, QString *error)
{
    // The metainfo first: a reader takes it out before the image.
    return cabinet({CabinetFile{kMetainfoName, metainfoFor(release, image)}, CabinetFile{kImageName, image}},
                   release.date, error);
}

} // namespace package
