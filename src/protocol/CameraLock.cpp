#include "CameraLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cameralock {

namespace {

constexpr char kFilePrefix[] = "kelvora-camera.";
constexpr char kFileSuffix[] = ".lock";
// A key longer than this in a file name is replaced by its hash, well
// below the 255 bytes a name may have.
constexpr int kLongestKeyInName = 160;
// Characters of a key that stand as they are in a file name.
constexpr char kPlainKeyCharacters[] = "._-:+@";
// What the holder writes is short; more is not read.
constexpr int kHolderTextLimit = 128;
constexpr int kLongestProgramName = 64;
// A holder writes its name a moment after it took the lock: a refusal
// looks again a few times before it calls the holder unknown.
constexpr int kHolderReadTries = 10;
constexpr std::chrono::milliseconds kHolderReadPause(5);
// A lock file is made writable for everyone a moment after it is made; a
// program that finds it not yet so tries again a few times.
constexpr int kOpenAttempts = 5;
constexpr std::chrono::milliseconds kOpenRetryPause(5);
constexpr mode_t kEveryoneMayWrite = 0666;

bool plainKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
           || std::strchr(kPlainKeyCharacters, c) != nullptr;
}

bool programNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
           || c == '-' || c == '+';
}

QByteArray keyInFileName(const QString &key)
{
    const QByteArray bytes = key.toUtf8();
    QByteArray name;
    for (const char c : bytes) {
        if (plainKeyCharacter(c))
            name += c;
        else
            name += '%' + QByteArray::number(quint8(c), 16).rightJustified(2, '0').toUpper();
    }
    if (name.size() > kLongestKeyInName)
        name = "sha256-" + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    return name;
}

// The whole file, for a lock or a question about one.
struct flock wholeFile(short type)
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);   // l_pid must be 0 for an open-file-description lock
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

QString describe(const QByteArray &path, int error)
{
    return QStringLiteral("%1: %2").arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(error)));
}

bool regularFile(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens the lock file for taking the lock, making it when there is none.
// A link or anything but a plain file at its place is refused: the folder
// is open to every user.
int openForTaking(const QByteArray &path, QString *error)
{
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    for (int attempt = 1;; ++attempt) {
        // An existing file is opened without O_CREAT: in a sticky folder
        // the kernel refuses O_CREAT on another user's file, even to root.
        int fd = ::open(path.constData(), flags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, kEveryoneMayWrite);
            if (fd >= 0 && ::fchmod(fd, kEveryoneMayWrite) != 0) {
                *error = describe(path, errno);
                ::close(fd);
                return -1;
            }
            if (fd < 0 && errno == EEXIST && attempt < kOpenAttempts)
                continue;   // another program made it meanwhile
        }
        if (fd >= 0) {
            if (regularFile(fd))
                return fd;
            ::close(fd);
            *error = QStringLiteral("%1 is not a plain file").arg(QFile::decodeName(path));
            return -1;
        }
        if (errno == EACCES && attempt < kOpenAttempts) {
            std::this_thread::sleep_for(kOpenRetryPause);
            continue;
        }
        *error = describe(path, errno);
        return -1;
    }
}

// This program's name as it goes into the lock file.
QByteArray ownName()
{
    QByteArray name = QByteArray(program_invocation_short_name).left(kLongestProgramName);
    for (char &c : name) {
        if (!programNameCharacter(c))
            c = '_';
    }
    return name.isEmpty() ? QByteArrayLiteral("program") : name;
}

// "program pid" on the first line; anything else is no holder. Any user
// may write into the file, so only a short plain name and a number count.
Holder parseHolder(const QByteArray &text)
{
    const QByteArray line = text.left(text.indexOf('\n'));
    const int space = line.lastIndexOf(' ');
    if (space <= 0)
        return Holder{};
    const QByteArray program = line.left(space);
    bool number = false;
    const qint64 pid = line.mid(space + 1).toLongLong(&number);
    if (!number || pid <= 0 || pid > INT_MAX || program.size() > kLongestProgramName)
        return Holder{};
    for (const char c : program) {
        if (!programNameCharacter(c))
            return Holder{};
    }
    return Holder{QString::fromLatin1(program), pid};
}

bool running(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// The holder named in the file, when it names a running process. Looked
// at `tries` times while it does not.
Holder readHolder(int fd, int tries)
{
    for (int attempt = 1;; ++attempt) {
        char buffer[kHolderTextLimit];
        const ssize_t length = ::pread(fd, buffer, sizeof buffer, 0);
        const Holder holder = length > 0 ? parseHolder(QByteArray(buffer, int(length))) : Holder{};
        if (holder.known() && running(holder.pid))
            return holder;
        if (attempt >= tries)
            return Holder{};
        std::this_thread::sleep_for(kHolderReadPause);
    }
}

// Opens a lock file only to look at it: read-only and never made here, so
// that a look changes nothing. -1 when it is not there (no one has held it)
// or is no plain file.
int openForLooking(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0 && !regularFile(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether another open file description holds the lock, asked without
// taking it.
bool lockedBySomeone(int fd)
{
    struct flock lock = wholeFile(F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

} // namespace

QString keyFor(const discovery::Device &device, const QString &sysfs)
{
    for (const discovery::Interface &entry : device.interfaces) {
        if (!entry.path.startsWith("/dev/hidraw"))
            continue;
        const QString node = QFile::decodeName(entry.path.mid(entry.path.lastIndexOf('/') + 1));
        QFile uevent(sysfs + QStringLiteral("/class/hidraw/") + node + QStringLiteral("/device/uevent"));
        if (!uevent.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : uevent.readAll().split('\n')) {
            if (!line.startsWith("HID_PHYS="))
                continue;
            // "usb-0000:00:14.0-1/input0": the port, then the interface.
            QByteArray port = line.mid(int(std::strlen("HID_PHYS="))).trimmed();
            const int slash = port.lastIndexOf('/');
            if (slash >= 0 && port.mid(slash + 1).startsWith("input"))
                port.truncate(slash);
            if (!port.isEmpty())
                return QString::fromUtf8(port);
        }
    }
    if (!device.serialNumber.isEmpty())
        return QStringLiteral("serial-") + device.serialNumber;
    return QStringLiteral("any");
}

QString directory()
{
    const QString chosen = qEnvironmentVariable(kDirectoryVariable);
    return chosen.isEmpty() ? QString::fromLatin1(kDefaultDirectory) : chosen;
}

QString lockFile(const QString &key)
{
    return directory() + QLatin1Char('/') + QLatin1String(kFilePrefix) + QString::fromLatin1(keyInFileName(key))
           + QLatin1String(kFileSuffix);
}

CameraLock::~CameraLock()
{
    release();
}

Outcome CameraLock::take(const QString &key, Holder *holder)
{
    if (held() && key == m_key)
        return Outcome::Taken;
    release();
    m_error.clear();
    const QByteArray path = QFile::encodeName(lockFile(key));
    const int fd = openForTaking(path, &m_error);
    if (fd < 0)
        return Outcome::Failed;
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int error = errno;
        if (error == EAGAIN || error == EACCES) {
            if (holder)
                *holder = readHolder(fd, kHolderReadTries);
            ::close(fd);
            return Outcome::Held;
        }
        m_error = describe(path, error);
        ::close(fd);
        return Outcome::Failed;
    }
    m_fd = fd;
    m_key = key;
    // The name first, then the length, so that a reader never finds the
    // file empty once a holder has written to it.
    const QByteArray text = ownName() + ' ' + QByteArray::number(qint64(::getpid())) + '\n';
    if (::pwrite(m_fd, text.constData(), size_t(text.size()), 0) != text.size()
        || ::ftruncate(m_fd, off_t(text.size())) != 0) {
        // The lock holds all the same; a refusal then names no holder.
    }
    return Outcome::Taken;
}

void CameraLock::release()
{
    if (m_fd < 0)
        return;
    // Cleared before the lock goes, so that no one is told later that a
    // program which has let go still holds the camera.
    if (::ftruncate(m_fd, 0) != 0) {
        // Whoever takes the lock next writes its own name over it.
    }
    ::close(m_fd);
    m_fd = -1;
    m_key.clear();
}

std::optional<Holder> CameraLock::otherHolder(const QString &key) const
{
    if (held() && key == m_key)
        return std::nullopt;
    const int fd = openForLooking(QFile::encodeName(lockFile(key)));
    if (fd < 0)
        return std::nullopt;
    const std::optional<Holder> holder = lockedBySomeone(fd) ? std::optional<Holder>(readHolder(fd, 1)) : std::nullopt;
    ::close(fd);
    return holder;
}

bool CameraLock::othersHoldAny() const
{
    const QDir folder(directory());
    const QString own = held() ? QFileInfo(lockFile(m_key)).fileName() : QString();
    const QStringList names = folder.entryList({QLatin1String(kFilePrefix) + QLatin1Char('*') + QLatin1String(kFileSuffix)},
                                               QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &name : names) {
        if (name == own)
            continue;
        const int fd = openForLooking(QFile::encodeName(folder.filePath(name)));
        if (fd < 0)
            continue;
        const bool locked = lockedBySomeone(fd);
        ::close(fd);
        if (locked)
            return true;
    }
    return false;
}

} // namespace cameralock
