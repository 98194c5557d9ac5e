#include "file_lock.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Gives the descriptor up; the errno of what failed survives the close.
LockedFile giveUp(int fd, LockedFile::Result result, int error) {
    ::close(fd);
    LockedFile failed;
    failed.result = result;
    failed.error = error;
    return failed;
}
} // namespace

LockedFile LockFileAtPath(const QString& path, const std::function<int()>& open, int waitMs,
                          bool followLinks) {
    const QByteArray native = QFile::encodeName(path);
    const QDeadlineTimer deadline(waitMs);
    for (int attempt = 1;; ++attempt) {
        const int fd = open();
        if (fd < 0) {
            LockedFile failed;
            failed.error = errno;
            return failed;
        }
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error != EWOULDBLOCK)
                return giveUp(fd, LockedFile::Result::Failed, error);
            if (deadline.hasExpired())
                return giveUp(fd, LockedFile::Result::Busy, error);
            ::usleep(2000);
        }
        LockedFile locked;
        if (::fstat(fd, &locked.info) != 0)
            return giveUp(fd, LockedFile::Result::Failed, errno);
        struct stat named = {};
        const int looked =
            followLinks ? ::stat(native.constData(), &named) : ::lstat(native.constData(), &named);
        if (looked != 0 && errno != ENOENT)
            return giveUp(fd, LockedFile::Result::Failed, errno);
        if (looked == 0 && named.st_dev == locked.info.st_dev &&
            named.st_ino == locked.info.st_ino) {
            locked.result = LockedFile::Result::Locked;
            locked.fd = fd;
            return locked;
        }
        ::close(fd);
        if (attempt >= 3 && deadline.hasExpired()) {
            LockedFile replaced;
            replaced.result = LockedFile::Result::Replaced;
            replaced.error = EBUSY;
            return replaced;
        }
    }
}
