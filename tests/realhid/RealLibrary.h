#pragma once

// Which hidapi a test calls. A real-library test must run under umockdev's
// preload library with the hid_* functions taken from the system's
// libhidapi-hidraw; the virtual camera's own door must have them from the
// camera's stand-in instead.

#include <QFileInfo>
#include <QString>

#include <dlfcn.h>

namespace realhid {

// The file name of the shared object that holds `function`, or an empty
// string when the loader cannot tell (a function linked into the program
// itself gives the program's name).
inline QString libraryFileOf(const void *function)
{
    Dl_info where{};
    if (!dladdr(function, &where) || !where.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(where.dli_fname)).fileName();
}

// What keeps this process from being a real-library test, in words for the
// test's failure; empty when nothing does. Defined in RealLibrary.cpp, which
// only the programs linked with the system hidapi build.
QString realLibraryProblem();

} // namespace realhid
