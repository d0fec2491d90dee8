#include "FileFaults.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Armed
{
    std::mutex lock;
    QByteArray readFailPath;
    QByteArray sizePath;
    qint64 size = 0;
};

Armed &armed()
{
    static Armed state;
    return state;
}

// Set while anything is armed, so the common case costs one load.
std::atomic<bool> anyArmed{false};

QByteArray canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath().toLocal8Bit();
}

// The file a descriptor is open on, as the kernel names it.
bool descriptorIs(int fd, const QByteArray &path)
{
    if (path.isEmpty())
        return false;
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n == path.size() && std::memcmp(target, path.constData(), std::size_t(n)) == 0;
}

template <class Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

namespace filefaults {

void failReads(const QString &path)
{
    // Named before the lock is taken: finding the name may read.
    const QByteArray name = canonical(path);
    std::lock_guard<std::mutex> guard(armed().lock);
    armed().readFailPath = name;
    anyArmed = true;
}

void reportOpenSize(const QString &path, qint64 size)
{
    const QByteArray name = canonical(path);
    std::lock_guard<std::mutex> guard(armed().lock);
    armed().sizePath = name;
    armed().size = size;
    anyArmed = true;
}

void clear()
{
    std::lock_guard<std::mutex> guard(armed().lock);
    armed().readFailPath.clear();
    armed().sizePath.clear();
    anyArmed = false;
}

int openDescriptors(const QString &path)
{
    const QByteArray target = canonical(path);
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (ok && descriptorIs(fd, target))
            ++count;
    }
    return count;
}

} // namespace filefaults

// The stand-ins. The program's own definitions take precedence over the C
// library's for every caller in the process, Qt included.
extern "C" ssize_t read(int fd, void *buffer, size_t count)
{
    using Read = ssize_t (*)(int, void *, size_t);
    static const Read real = next<Read>("read");
    if (anyArmed.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> guard(armed().lock);
        if (descriptorIs(fd, armed().readFailPath)) {
            errno = EIO;
            return -1;
        }
    }
    return real(fd, buffer, count);
}

extern "C" int statx(int dirfd, const char *path, int flags, unsigned int mask, struct statx *result)
{
    using Statx = int (*)(int, const char *, int, unsigned int, struct statx *);
    static const Statx real = next<Statx>("statx");
    const int status = real(dirfd, path, flags, mask, result);
    if (status == 0 && anyArmed.load(std::memory_order_relaxed) && (flags & AT_EMPTY_PATH)
        && path[0] == '\0') {
        std::lock_guard<std::mutex> guard(armed().lock);
        if (descriptorIs(dirfd, armed().sizePath))
            result->stx_size = quint64(armed().size);
    }
    return status;
}
