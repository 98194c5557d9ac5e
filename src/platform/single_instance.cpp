#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Ours, and writable by no one else.
bool isPrivate(const struct stat& info) {
    return info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
} // namespace

SingleInstanceLock::SingleInstanceLock(const QStringList& paths, int fallbacks) {
    const int primary = int(paths.size()) - fallbacks;
    for (int k = 0; k < paths.size(); ++k) {
        if (k == primary && !m_fds.empty())
            break; // the fallbacks are for when no primary place could be used
        switch (tryLock(paths[k])) {
        case Attempt::Busy:
            for (int fd : m_fds)
                ::close(fd);
            m_fds.clear();
            m_heldPaths.clear();
            m_state = State::HeldByOther;
            return;
        case Attempt::Taken:
            m_state = State::Acquired;
            break;
        case Attempt::Untrusted:
            break;
        }
    }
}

SingleInstanceLock::Attempt SingleInstanceLock::tryLock(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    ::mkdir(folder.constData(), 0700); // usually there already
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !isPrivate(info))
        return Attempt::Untrusted;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Attempt::Untrusted;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !isPrivate(info)) {
        ::close(fd);
        return Attempt::Untrusted;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Attempt::Busy : Attempt::Untrusted;
    }
    // The PID is only a note for people looking at the file; the flock is the lock.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        (void)!::pwrite(fd, pid.constData(), size_t(pid.size()), 0);
    m_fds.push_back(fd);
    m_heldPaths.append(path);
    return Attempt::Taken;
}

SingleInstanceLock::~SingleInstanceLock() {
    for (int fd : m_fds)
        ::close(fd); // drops the flock
}

QStringList SingleInstanceLock::defaultPaths(const QString& applicationFolder) {
    const QString uid = QString::number(::geteuid());
    QStringList paths;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        paths << runtime + QStringLiteral("/lumivista.lock");
    paths << QDir::tempPath() + QStringLiteral("/lumivista-") + uid +
                 QStringLiteral("/lumivista.lock");
    paths << applicationFolder + QStringLiteral("/.lumivista-") + uid + QStringLiteral(".lock");
    return paths;
}
