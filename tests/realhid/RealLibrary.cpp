#include "RealLibrary.h"

#include "HidrawCamera.h"

#include <hidapi/hidapi.h>

#include <QFile>

namespace realhid {

namespace {

const char kSystemLibrary[] = "libhidapi-hidraw.so";

} // namespace

QString realLibraryProblem()
{
    if (!HidrawCamera::underPreload())
        return QStringLiteral("must run under umockdev's preload library (umockdev-wrapper, or "
                              "LD_PRELOAD=libumockdev-preload.so.0)");
    const struct
    {
        const char *name;
        const void *address;
    } functions[] = {
        {"hid_enumerate", reinterpret_cast<const void *>(&hid_enumerate)},
        {"hid_open", reinterpret_cast<const void *>(&hid_open)},
    };
    for (const auto &function : functions) {
        const QString file = libraryFileOf(function.address);
        if (file.isEmpty())
            return QStringLiteral("cannot tell where %1 comes from").arg(QLatin1String(function.name));
        if (!file.startsWith(QLatin1String(kSystemLibrary)))
            return QStringLiteral("%1 comes from %2, not the system's libhidapi-hidraw")
                .arg(QLatin1String(function.name), file);
    }
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly) || !maps.readAll().contains(kSystemLibrary))
        return QStringLiteral("libhidapi-hidraw is not mapped into this process");
    const QString version = QString::fromLatin1(hid_version_str());
    if (!version.startsWith(QLatin1String("0.")))
        return QStringLiteral("hidapi %1, expected a 0.x release").arg(version);
    return QString();
}

} // namespace realhid
