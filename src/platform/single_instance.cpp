#include "single_instance.h"

#include "platform/file_lock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Ours, and writable by no one else.
bool isPrivate(const struct stat& info) {
    return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isFolder(const QByteArray& path) {
    struct stat info = {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder and those of its parents that are missing, made private.
void makeFolders(const QByteArray& folder) {
    for (qsizetype slash = folder.indexOf('/', 1); slash > 0;
         slash = folder.indexOf('/', slash + 1))
        ::mkdir(folder.left(slash).constData(), 0700);
    ::mkdir(folder.constData(), 0700);
}

// Names this machine and installation: two names of one folder give one key.
QString installationKey(const QString& applicationFolder) {
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.isEmpty())
        machine = QSysInfo::machineHostName().toUtf8();
    struct stat info = {};
    const QByteArray folder = QFile::encodeName(applicationFolder);
    const QByteArray where = ::stat(folder.constData(), &info) == 0
                                 ? QByteArray::number(quint64(info.st_dev)) + ':' +
                                       QByteArray::number(quint64(info.st_ino))
                                 : folder;
    return QString::fromLatin1(
        QCryptographicHash::hash(machine + '\n' + where, QCryptographicHash::Sha256)
            .toHex()
            .left(16));
}

} // namespace

SingleInstanceLock::SingleInstanceLock(const QStringList& paths, const QStringList& extraPaths) {
    Attempt attempt = Attempt::Untrusted;
    for (qsizetype k = 0; k < paths.size() && attempt == Attempt::Untrusted; ++k)
        attempt = tryLock(paths[k]);
    if (attempt == Attempt::Untrusted)
        return; // no place that every start would find: the start cannot be guarded
    for (qsizetype k = 0; k < extraPaths.size() && attempt == Attempt::Taken; ++k)
        if (tryLock(extraPaths[k]) == Attempt::Busy)
            attempt = Attempt::Busy;
    if (attempt == Attempt::Busy) {
        release();
        m_state = State::HeldByOther;
    } else {
        m_state = State::Acquired;
    }
}

SingleInstanceLock::Attempt SingleInstanceLock::tryLock(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    makeFolders(folder); // usually there already
    struct stat info = {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !isPrivate(info))
        return Attempt::Untrusted;
    const QByteArray native = QFile::encodeName(path);
    struct stat named = {};
    if (::lstat(native.constData(), &named) == 0) {
        for (int held : m_fds) {
            struct stat mine = {};
            if (::fstat(held, &mine) == 0 && sameFile(mine, named))
                return Attempt::Taken; // one place under two names: held already
        }
    }
    // A holder that ends removes its file; one who waited for its lock then retries on the new.
    // Whatever another user prepared is refused before it is locked, so it cannot block us.
    const LockedFile lock = LockFileAtPath(
        path,
        [&native] {
            const int fd =
                ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
            struct stat info = {};
            if (fd >= 0 &&
                (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !isPrivate(info))) {
                ::close(fd);
                errno = EPERM;
                return -1;
            }
            return fd;
        },
        0, false);
    if (lock.result == LockedFile::Result::Busy)
        return Attempt::Busy;
    if (lock.result != LockedFile::Result::Locked)
        return Attempt::Untrusted;
    // The PID is only a note for people looking at the file; the flock is the lock.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(lock.fd, 0) == 0)
        (void)!::pwrite(lock.fd, pid.constData(), size_t(pid.size()), 0);
    m_fds.push_back(lock.fd);
    m_heldPaths.append(path);
    return Attempt::Taken;
}

void SingleInstanceLock::release() {
    for (size_t k = 0; k < m_fds.size(); ++k) {
        const QByteArray native = QFile::encodeName(m_heldPaths[qsizetype(k)]);
        struct stat named = {};
        struct stat held = {};
        if (::lstat(native.constData(), &named) == 0 && ::fstat(m_fds[k], &held) == 0 &&
            sameFile(named, held))
            ::unlink(native.constData()); // while still locked: no one can be using it
        ::close(m_fds[k]);                // drops the flock
    }
    m_fds.clear();
    m_heldPaths.clear();
}

SingleInstanceLock::~SingleInstanceLock() { release(); }

QString SingleInstanceLock::passwordDatabaseHome() {
    const passwd* user = ::getpwuid(::geteuid());
    return user && user->pw_dir ? QFile::decodeName(user->pw_dir) : QString();
}

QStringList SingleInstanceLock::defaultPaths(const QString& applicationFolder,
                                             const QString& home) {
    const QString uid = QString::number(::geteuid());
    const QString key = installationKey(applicationFolder);
    const QString name = QStringLiteral("lumivista-") + key + QStringLiteral(".lock");
    QStringList paths;
    // Neither the home nor the session's runtime folder is ever made here.
    if (!home.isEmpty() && isFolder(QFile::encodeName(home)))
        paths << home + QStringLiteral("/.local/state/lumivista/") + name;
    const QString runtime = QStringLiteral("/run/user/") + uid;
    if (isFolder(QFile::encodeName(runtime)))
        paths << runtime + QLatin1Char('/') + name;
    // A folder in /tmp that another user made is passed over, as is a folder of the installation
    // that is not ours.
    paths << QStringLiteral("/tmp/lumivista-") + uid + QLatin1Char('/') + name;
    paths << applicationFolder + QStringLiteral("/.lumivista-") + uid + QLatin1Char('-') + key +
                 QStringLiteral(".lock");
    return paths;
}

QStringList SingleInstanceLock::defaultExtraPaths(const QString& applicationFolder) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return {};
    return {runtime + QStringLiteral("/lumivista-") + installationKey(applicationFolder) +
            QStringLiteral(".lock")};
}
