#include "single_instance.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstanceLock::SingleInstanceLock(const QString& path) : m_path(path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    ::mkdir(folder.constData(), 0700); // usually there already
    const QByteArray native = QFile::encodeName(path);
    m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_state = State::Unavailable;
        return;
    }
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        m_state = errno == EWOULDBLOCK ? State::HeldByOther : State::Unavailable;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_state = State::Acquired;
    // The PID is only a note for people looking at the file; the flock is the lock.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(m_fd, 0) == 0)
        (void)!::pwrite(m_fd, pid.constData(), size_t(pid.size()), 0);
}

SingleInstanceLock::~SingleInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd); // drops the flock
}

QString SingleInstanceLock::DefaultPath() {
    // XDG_RUNTIME_DIR is per user and private; without it, a per-user folder in /tmp.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath() + QStringLiteral("/lumivista-") + QString::number(::getuid());
    return folder + QStringLiteral("/lumivista.lock");
}
