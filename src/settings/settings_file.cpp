#include "settings_file.h"

#include "core/module1.h"
#include "platform/failure.h"
#include "settings/module1_settings.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace SettingsFileProtocol {
namespace {
// Larger files are saved record by record in place: a save's time and memory never grow with
// what a file holds after record 9.
constexpr qint64 LargestReplacedFile = 64 * 1024;
// How long a save waits for another program's save of the same file to end.
constexpr int SaveLockWaitMs = 5000;

QString currentPath() {
    if (Module1::SettingsPath.isEmpty())
        Module1::SettingsPath = ComposeSettingsPath(Module1::ApplicationFolder);
    return Module1::SettingsPath;
}

// The failure for a system call that failed with `error`: the file's name and the reason in
// words, so a message box can say what went wrong without a number to look up.
Failure fileFailure(int error) {
    FailureCode code = FailureCode::PathFileAccess;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        code = FailureCode::DiskFull;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        code = FailureCode::PermissionDenied;
        break;
    case EIO:
        code = FailureCode::DeviceIo;
        break;
    case ENOENT:
        code = FailureCode::FileNotFound;
        break;
    default:
        break;
    }
    return Failure(code,
                   QLatin1String(FileName) + QStringLiteral(": ") +
                       QString::fromLocal8Bit(std::strerror(error)),
                   error);
}

[[noreturn]] void throwErrno() { throw fileFailure(errno); }

// Anything but a regular file is refused: reading a device or a pipe has no end or no answer,
// and replacing one would destroy it.
[[noreturn]] void throwNotRegular(mode_t mode) {
    if (S_ISDIR(mode))
        throw fileFailure(EISDIR);
    const char* kind = S_ISFIFO(mode)   ? "a named pipe (FIFO)"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "not a plain file";
    throw Failure(FailureCode::PathFileAccess, QLatin1String(FileName) + QStringLiteral(": Is ") +
                                                   QLatin1String(kind) +
                                                   QStringLiteral(", not a regular file"));
}

// Owns a file descriptor; a failed close() on the success path is a failure like any other,
// so close it explicitly there and let the destructor handle only the error paths.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void closeChecked() {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throwErrno();
    }

private:
    int m_fd;
};

QByteArray native(const QString& path) { return QFile::encodeName(path); }

int openFile(const QString& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(native(path).constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens the file only when it is a regular one, looked at before the open (opening a device
// can act on it) and after it. O_NONBLOCK keeps even a file swapped in between from making the
// open wait. Returns an invalid descriptor with errno set when the open itself fails.
Descriptor openRegular(const QString& path, int flags, struct stat* info = nullptr) {
    struct stat before {};
    if (::stat(native(path).constData(), &before) != 0) {
        if (errno != ENOENT)
            throwErrno();
    } else if (!S_ISREG(before.st_mode)) {
        throwNotRegular(before.st_mode);
    }
    Descriptor fd(openFile(path, flags | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd.valid())
        return fd;
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0)
        throwErrno();
    if (!S_ISREG(opened.st_mode))
        throwNotRegular(opened.st_mode);
    if (info)
        *info = opened;
    return fd;
}

// Opens the file for reading. Only "there is no such file", said by the open itself, means an
// empty file; any other failure (a failed lookup, a device error) is reported, never guessed.
Descriptor openForReading(const QString& path) {
    Descriptor fd = openRegular(path, O_RDONLY);
    if (!fd.valid() && errno != ENOENT)
        throwErrno();
    return fd;
}

// Reads up to `size` bytes at `offset`; fewer only at the end of the file.
QByteArray readAt(int fd, qint64 offset, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwErrno();
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

void writeAt(int fd, const QByteArray& bytes, qint64 offset) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                   off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwErrno();
        done += n;
    }
}

void syncChecked(int fd) {
    if (::fsync(fd) != 0)
        throwErrno();
}

// The file a save must change: the target of a symbolic link, so the link itself survives.
QString writeTarget(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

bool folderRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// ".LOGO2.DAT.lumivista-<pid>-<8 hex digits>.tmp": hidden, and a name no person would choose,
// so what start-up removes by this pattern can only be ours.
QString temporaryName(const QString& target) {
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() +
           QStringLiteral(".lumivista-%1-%2.tmp")
               .arg(::getpid())
               .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

// Removes the temporary files of interrupted saves of `target`: regular files of this user
// under our pattern, beside the target. Only called under the save lock, when no save of this
// file is under way.
int removeTemporaryFiles(const QString& target) {
    const QFileInfo info(target);
    const QRegularExpression ours(QRegularExpression::anchoredPattern(
        QStringLiteral("\\.") + QRegularExpression::escape(info.fileName()) +
        QStringLiteral("\\.lumivista-[0-9]+-[0-9a-f]{8}\\.tmp")));
    int removed = 0;
    const QStringList names =
        QDir(info.absolutePath())
            .entryList({QStringLiteral(".") + info.fileName() + QStringLiteral(".lumivista-*")},
                       QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray path = native(info.absolutePath() + QLatin1Char('/') + name);
        struct stat file {};
        if (!ours.match(name).hasMatch() || ::lstat(path.constData(), &file) != 0 ||
            !S_ISREG(file.st_mode) || file.st_uid != ::geteuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

// The save lock: an flock on the file that is at `target` right now, opened with `flags`. A
// save replaces the file by another one, so a lock taken on a file that has meanwhile been
// replaced is let go and taken on its successor. Waits up to `waitMs` for another save.
Descriptor lockFile(const QString& target, int flags, int waitMs, struct stat* info) {
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        Descriptor fd = openRegular(target, flags, info);
        if (!fd.valid())
            throwErrno();
        while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                throwErrno();
            if (deadline.hasExpired())
                throw Failure(FailureCode::PermissionDenied,
                              QLatin1String(FileName) +
                                  QStringLiteral(": Another program is saving it"),
                              EWOULDBLOCK);
            ::usleep(2000);
        }
        struct stat now {};
        if (::stat(native(target).constData(), &now) != 0 && errno != ENOENT)
            throwErrno();
        if (now.st_dev == info->st_dev && now.st_ino == info->st_ino)
            return fd;
        if (deadline.hasExpired())
            throw fileFailure(EBUSY);
    }
}

// Whether the file carries extended attributes (ACL entries among them), which a new file
// would not have.
bool hasExtendedAttributes(int fd) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0 && errno != ENOTSUP)
        throwErrno();
    return size > 0;
}

// Puts the new contents in place by a temporary file of our own beside the target, written,
// synced and closed with every step checked, then renamed over it: either the whole new file
// is there or the old one is untouched. Called under the save lock, so no other save's file
// can take our temporary file's place. Returns false, having changed nothing, when a new file
// cannot be what the old one was: the folder forbids new files, or its owner or group would
// differ.
bool replaceWholeFile(const QString& target, int targetFd, const struct stat& old,
                      const std::vector<std::pair<int, ExerciseRecord>>& records) {
    QByteArray bytes = readAt(targetFd, 0, old.st_size);
    for (const auto& [recordNumber, record] : records) {
        const qsizetype offset = qsizetype(recordNumber - 1) * ExerciseRecord::Size;
        if (bytes.size() < offset + ExerciseRecord::Size)
            bytes.append(QByteArray(offset + ExerciseRecord::Size - bytes.size(), '\0'));
        bytes.replace(offset, ExerciseRecord::Size, record.toBytes());
    }
    const QString temporary = temporaryName(target);
    Descriptor fd(openFile(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (!fd.valid()) {
        if (folderRefusesNewFiles(errno))
            return false;
        throwErrno();
    }
    try {
        struct stat made {};
        if (::fstat(fd.get(), &made) != 0)
            throwErrno();
        if (made.st_uid != old.st_uid || made.st_gid != old.st_gid) {
            ::unlink(native(temporary).constData());
            return false;
        }
        // The new file keeps the permissions of the one it replaces.
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            throwErrno();
        writeAt(fd.get(), bytes, 0);
        syncChecked(fd.get());
        fd.closeChecked();
        if (::rename(native(temporary).constData(), native(target).constData()) != 0)
            throwErrno();
    } catch (const Failure&) {
        ::unlink(native(temporary).constData());
        throw;
    }
    // The new contents are in place; syncing the folder makes the rename itself durable. A
    // folder that cannot be synced (some file systems refuse) does not undo the save.
    Descriptor folder(openFile(QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY));
    if (folder.valid())
        ::fsync(folder.get());
    return true;
}

// Each record goes to its place in the file, then the file is synced. Not atomic, but it keeps
// the file itself: its links, owner and attributes, and it costs the same for any size.
void writeRecordsInPlace(int fd, const std::vector<std::pair<int, ExerciseRecord>>& records) {
    for (const auto& [recordNumber, record] : records)
        writeAt(fd, record.toBytes(), qint64(recordNumber - 1) * ExerciseRecord::Size);
    syncChecked(fd);
}

void checkRecordNumber(int recordNumber) {
    if (recordNumber < 1)
        throw Failure(FailureCode::BadFileNumber);
}
} // namespace

QString ComposeSettingsPath(const QString& folder) {
    const bool endsWithSeparator = !folder.isEmpty() && folder.back() == QLatin1Char('/');
    return folder + (endsWithSeparator ? QString() : QStringLiteral("/")) + QLatin1String(FileName);
}

void Open() {
    Close();
    Module1::SettingsPath = ComposeSettingsPath(Module1::ApplicationFolder);
    Descriptor fd = openRegular(Module1::SettingsPath, O_RDWR | O_CREAT);
    if (!fd.valid() && folderRefusesNewFiles(errno)) {
        // A file we may read but not write still drives the program; a save says why not.
        const int writeError = errno;
        fd = openRegular(Module1::SettingsPath, O_RDONLY);
        if (!fd.valid() && errno == ENOENT)
            errno = writeError;
    }
    if (!fd.valid())
        throwErrno();
    fd.closeChecked();
    Module1::SettingsFile = 1; // every file was just closed, so number 1 is free
}

void Read(int recordNumber) {
    checkRecordNumber(recordNumber);
    Descriptor fd = openForReading(currentPath());
    QByteArray bytes;
    if (fd.valid()) {
        bytes =
            readAt(fd.get(), qint64(recordNumber - 1) * ExerciseRecord::Size, ExerciseRecord::Size);
        fd.closeChecked();
    }
    Module1::CurrentRecord = ExerciseRecord::fromBytes(bytes);
}

void Write(int recordNumber) { WriteRecords({{recordNumber, Module1::CurrentRecord}}); }

void WriteRecords(const std::vector<std::pair<int, ExerciseRecord>>& records) {
    for (const auto& entry : records)
        checkRecordNumber(entry.first);
    const QString target = writeTarget(currentPath());
    struct stat info {};
    Descriptor fd = lockFile(target, O_RDWR | O_CREAT, SaveLockWaitMs, &info);
    // Under the lock no other save is under way: what is left beside the file is left over.
    removeTemporaryFiles(target);
    const bool replaceable = info.st_size <= LargestReplacedFile && info.st_nlink == 1 &&
                             !hasExtendedAttributes(fd.get());
    if (replaceable && replaceWholeFile(target, fd.get(), info, records))
        return; // the lock goes with the replaced file's descriptor
    writeRecordsInPlace(fd.get(), records);
    fd.closeChecked();
}

void Close() { Module1::SettingsFile = 0; }

bool IsOpen() { return Module1::SettingsFile != 0; }

qint64 Length() {
    struct stat info {};
    if (::stat(native(currentPath()).constData(), &info) != 0) {
        if (errno == ENOENT)
            return 0;
        throwErrno();
    }
    if (!S_ISREG(info.st_mode))
        throwNotRegular(info.st_mode);
    return info.st_size;
}

int RemoveLeftoverTemporaryFiles() {
    const QString target = writeTarget(currentPath());
    try {
        // A save under way holds the lock: its file is not left over, and it cleans up itself.
        struct stat info {};
        Descriptor fd = lockFile(target, O_RDONLY, 0, &info);
        return removeTemporaryFiles(target);
    } catch (const Failure&) {
        return 0; // no file, none of ours, or a save under way
    }
}

} // namespace SettingsFileProtocol
