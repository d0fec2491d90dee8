#pragma once

// Makes one file look different to this process than it is on disk, for
// the faults a real disk produces but a test cannot: reads that fail (a
// removed USB stick) and an open file whose size no longer matches what its
// path reported a moment earlier. Works by standing in for the C library's
// read() and statx() in the test program; with nothing armed, both pass
// straight through.

#include <QString>
#include <QtGlobal>

namespace filefaults {

// Every read() on a descriptor open on `path` fails with EIO.
void failReads(const QString &path);
// statx() on a descriptor open on `path` reports `size` bytes; statx() on
// the path itself still tells the truth.
void reportOpenSize(const QString &path, qint64 size);
// Disarms both.
void clear();

// How many descriptors of this process are open on `path` now.
int openDescriptors(const QString &path);

} // namespace filefaults
