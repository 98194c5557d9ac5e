#include "settings_file.h"

#include "core/module1.h"
#include "platform/failure.h"
#include "settings/module1_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFileProtocol {
namespace {
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

// Opens the file for reading. Only "there is no such file", said by the open itself, means an
// empty file; any other failure (a failed lookup, a device error) is reported, never guessed.
Descriptor openForReading(const QString& path) {
    Descriptor fd(openFile(path, O_RDONLY));
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

QByteArray readWholeFile(const QString& path) {
    Descriptor fd = openForReading(path);
    if (!fd.valid())
        return {};
    QByteArray bytes;
    for (;;) {
        const QByteArray chunk = readAt(fd.get(), bytes.size(), 64 * 1024);
        bytes += chunk;
        if (chunk.size() < 64 * 1024)
            break;
    }
    fd.closeChecked();
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

// Puts the new contents in place by a temporary file beside the target, written, synced and
// closed with every step checked, then renamed over it: either the whole new file is there or
// the old one is untouched. The temporary file has one fixed name, so an interrupted save
// leaves at most one behind and the next save starts by removing it.
// Returns false, having changed nothing, when the folder does not let us create the file.
bool replaceWholeFile(const QString& target, const QByteArray& bytes) {
    const QString temporary = target + QLatin1String(TemporarySuffix);
    if (::unlink(native(temporary).constData()) != 0 && errno != ENOENT) {
        if (folderRefusesNewFiles(errno))
            return false;
        throwErrno();
    }
    Descriptor fd(openFile(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
    if (!fd.valid()) {
        if (folderRefusesNewFiles(errno))
            return false;
        throwErrno();
    }
    try {
        // The new file keeps the permissions of the one it replaces.
        struct stat old {};
        if (::stat(native(target).constData(), &old) != 0) {
            if (errno != ENOENT)
                throwErrno();
        } else if (::fchmod(fd.get(), old.st_mode & 07777) != 0) {
            throwErrno();
        }
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

// For a writable file in a folder that is not: each record goes to its place in the file,
// then the file is synced. Not atomic, but the only way such a file can be saved at all.
void writeRecordsInPlace(const QString& target,
                         const std::vector<std::pair<int, ExerciseRecord>>& records) {
    Descriptor fd(openFile(target, O_WRONLY));
    if (!fd.valid())
        throwErrno();
    for (const auto& [recordNumber, record] : records)
        writeAt(fd.get(), record.toBytes(), qint64(recordNumber - 1) * ExerciseRecord::Size);
    syncChecked(fd.get());
    fd.closeChecked();
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
    Descriptor fd(openFile(Module1::SettingsPath, O_RDWR | O_CREAT, 0666));
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
    QByteArray bytes = readWholeFile(target);
    for (const auto& [recordNumber, record] : records) {
        const qsizetype offset = qsizetype(recordNumber - 1) * ExerciseRecord::Size;
        if (bytes.size() < offset + ExerciseRecord::Size)
            bytes.append(QByteArray(offset + ExerciseRecord::Size - bytes.size(), '\0'));
        bytes.replace(offset, ExerciseRecord::Size, record.toBytes());
    }
    if (!replaceWholeFile(target, bytes))
        writeRecordsInPlace(target, records);
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
    return info.st_size;
}

namespace {
// Earlier versions left the file's name, a dot and six random letters and digits. A word a
// person would choose ("backup", "Backup", "OLDONE") is never taken for one of them.
bool isEarlierTemporaryName(const QString& name, const QString& fileName) {
    if (name.size() != fileName.size() + 7 || !name.startsWith(fileName + QLatin1Char('.')))
        return false;
    const QString suffix = name.right(6);
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z0-9]{6}$"));
    static const QRegularExpression capitalisedWord(QStringLiteral("^[A-Z][a-z]{5}$"));
    if (!letters.match(suffix).hasMatch() || capitalisedWord.match(suffix).hasMatch())
        return false;
    int kinds = 0;
    for (const char* kind : {"[0-9]", "[a-z]", "[A-Z]"})
        kinds += suffix.contains(QRegularExpression(QLatin1String(kind))) ? 1 : 0;
    return kinds >= 2;
}
} // namespace

int RemoveLeftoverTemporaryFiles() {
    const QFileInfo target(writeTarget(currentPath()));
    const QString folder = target.absolutePath();
    const QString current = target.fileName() + QLatin1String(TemporarySuffix);
    int removed = 0;
    const QStringList names = QDir(folder).entryList({target.fileName() + QStringLiteral(".*")},
                                                     QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const bool ours = name == current;
        if (!ours && !isEarlierTemporaryName(name, target.fileName()))
            continue;
        const QByteArray path = native(folder + QLatin1Char('/') + name);
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;
        // Another process of ours saving right now is ruled out for our own name by the
        // instance lock; an old-style name may belong to an older program still running.
        if (!ours && std::time(nullptr) - info.st_mtime < 60)
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace SettingsFileProtocol
