#include "settings_file.h"

#include "core/module1.h"
#include "platform/failure.h"
#include "platform/file_lock.h"
#include "settings/module1_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
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
    int release() { return std::exchange(m_fd, -1); }
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
Descriptor openRegular(const QString& path, int flags) {
    struct stat before = {};
    if (::stat(native(path).constData(), &before) != 0) {
        if (errno != ENOENT)
            throwErrno();
    } else if (!S_ISREG(before.st_mode)) {
        throwNotRegular(before.st_mode);
    }
    Descriptor fd(openFile(path, flags | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd.valid())
        return fd;
    struct stat opened = {};
    if (::fstat(fd.get(), &opened) != 0)
        throwErrno();
    if (!S_ISREG(opened.st_mode))
        throwNotRegular(opened.st_mode);
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
        struct stat file = {};
        if (!ours.match(name).hasMatch() || ::lstat(path.constData(), &file) != 0 ||
            !S_ISREG(file.st_mode) || file.st_uid != ::geteuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

// The save lock: an flock on the file that is at `target` now, opened with `flags`; `info` is
// that file, looked at under the lock. Waits up to `waitMs` for another save.
Descriptor lockFile(const QString& target, int flags, int waitMs, struct stat* info) {
    const auto open = [&] { return openRegular(target, flags).release(); };
    const LockedFile lock = LockFileAtPath(target, open, waitMs, true);
    switch (lock.result) {
    case LockedFile::Result::Locked:
        *info = lock.info;
        return Descriptor(lock.fd);
    case LockedFile::Result::Busy:
        throw Failure(FailureCode::PermissionDenied,
                      QLatin1String(FileName) + QStringLiteral(": Another program is saving it"),
                      EWOULDBLOCK);
    case LockedFile::Result::Replaced:
    case LockedFile::Result::Failed:
        break;
    }
    throw fileFailure(lock.error);
}

// The whole answer of a call that is asked its size first (listxattr, getxattr), which may change
// before the second call. False, with errno set, when the call fails.
template <typename Call> bool readSized(Call call, QByteArray* answer) {
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return false;
        answer->resize(size);
        if (size == 0)
            return true;
        const ssize_t got = call(answer->data(), size_t(size));
        if (got >= 0) {
            answer->truncate(got);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
}

constexpr const char* AccessAcl = "system.posix_acl_access";

// Carries the extended attributes of the file `from` onto its successor `to`: the user's own
// (a browser's origin of a download, say) and the ACL, copied as they are. A security label
// (security.*) is not carried: the new file has the one the folder's policy gives any new file.
// Returns false when an attribute cannot be carried: one of another kind, whose meaning a copy
// may not keep, or one the file system refuses on the new file.
bool carryAttributes(int from, int to) {
    QByteArray names;
    if (!readSized([from](char* list, size_t size) { return ::flistxattr(from, list, size); },
                   &names)) {
        if (errno != ENOTSUP)
            throwErrno();
        names.clear();
    }
    bool hasAcl = false;
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty() || name.startsWith("security."))
            continue;
        if (!name.startsWith("user.") && name != AccessAcl)
            return false;
        hasAcl = hasAcl || name == AccessAcl;
        QByteArray value;
        const auto get = [from, &name](char* bytes, size_t size) {
            return ::fgetxattr(from, name.constData(), bytes, size);
        };
        if (!readSized(get, &value)) {
            if (errno == ENODATA)
                continue; // removed meanwhile
            throwErrno();
        }
        if (::fsetxattr(to, name.constData(), value.constData(), size_t(value.size()), 0) != 0) {
            if (errno == EIO)
                throwErrno();
            return false;
        }
    }
    // A default ACL of the folder gives a new file an ACL the old one did not have.
    return hasAcl || ::fremovexattr(to, AccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP;
}

// Puts the new contents in place by a temporary file of our own beside the target, written,
// synced and closed with every step checked, then renamed over it: either the whole new file
// is there or the old one is untouched. Called under the save lock, so no other save's file
// can take our temporary file's place. Returns false, having changed nothing, when a new file
// cannot be what the old one was: the folder forbids new files, its owner or group would
// differ, or its extended attributes cannot be carried.
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
        struct stat made = {};
        if (::fstat(fd.get(), &made) != 0)
            throwErrno();
        if (made.st_uid != old.st_uid || made.st_gid != old.st_gid ||
            !carryAttributes(targetFd, fd.get())) {
            ::unlink(native(temporary).constData());
            return false;
        }
        // The new file keeps the permissions of the one it replaces (an ACL's among them: its
        // mask is the group's permission).
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

// The records go to their places in the file in one write, from the first to the end of the
// last (the bytes between as they are), then the file is synced. It keeps the file itself: its
// links, owner and attributes, and it costs the same for any size. The kernel takes a write of
// these few hundred bytes whole, so a crash of the program leaves the old or the new records;
// a power loss during it may leave part of it on the disk.
void writeRecordsInPlace(int fd, const std::vector<std::pair<int, ExerciseRecord>>& records) {
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 end = 0;
    for (const auto& entry : records) {
        const qint64 offset = qint64(entry.first - 1) * ExerciseRecord::Size;
        first = std::min(first, offset);
        end = std::max(end, offset + ExerciseRecord::Size);
    }
    if (end == 0)
        return;
    QByteArray span = readAt(fd, first, end - first);
    span.append(QByteArray(end - first - span.size(), '\0'));
    for (const auto& [recordNumber, record] : records)
        span.replace(qint64(recordNumber - 1) * ExerciseRecord::Size - first, ExerciseRecord::Size,
                     record.toBytes());
    writeAt(fd, span, first);
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
    struct stat info = {};
    Descriptor fd = lockFile(target, O_RDWR | O_CREAT, SaveLockWaitMs, &info);
    // Under the lock no other save is under way: what is left beside the file is left over.
    removeTemporaryFiles(target);
    const bool replaceable = info.st_size <= LargestReplacedFile && info.st_nlink == 1;
    if (replaceable && replaceWholeFile(target, fd.get(), info, records))
        return; // the lock goes with the replaced file's descriptor
    writeRecordsInPlace(fd.get(), records);
    fd.closeChecked();
}

void Close() { Module1::SettingsFile = 0; }

bool IsOpen() { return Module1::SettingsFile != 0; }

qint64 Length() {
    struct stat info = {};
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
        struct stat info = {};
        Descriptor fd = lockFile(target, O_RDONLY, 0, &info);
        return removeTemporaryFiles(target);
    } catch (const Failure&) {
        return 0; // no file, none of ours, or a save under way
    }
}

} // namespace SettingsFileProtocol
