#pragma once
// An exclusive flock on the file that is at a path now. Whoever holds such a lock may replace
// the file (rename another over it) or remove it, and a lock taken meanwhile on the file that was
// there guards nothing: it is let go, and taken on the file now at the path.

#include <QString>
#include <functional>
#include <sys/stat.h>

struct LockedFile {
    enum class Result {
        Locked,   // `fd` holds the lock on the file at the path; `info` is that file
        Busy,     // another descriptor held the lock for all of the wait
        Replaced, // the file kept being replaced for all of the wait
        Failed,   // `error` (an errno) says why: the open, the flock or the look at the path
    };
    Result result = Result::Failed;
    int fd = -1;           // the caller's to close, once Locked
    struct stat info = {}; // the locked file, looked at under the lock
    int error = 0;
};

// Opens the file with `open` (its descriptor, or -1 with errno set; it may refuse a file that is
// not what its caller wants), locks it, and checks that the path still names the locked file:
// through a symbolic link with `followLinks`, else the path's own entry. Waits up to `waitMs` for
// a lock another holds (0: not at all); a file replaced meanwhile is tried again while the wait
// lasts, and three times at least.
LockedFile LockFileAtPath(const QString& path, const std::function<int()>& open, int waitMs,
                          bool followLinks);
