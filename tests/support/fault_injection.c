// Preloaded into a child process by the save tests: makes one chosen system call on LOGO2.DAT
// (or its temporary file) fail, and can log every such call.
//   LUMI_FAULT=kind:n:errno  fails the n-th call (from 1) of that kind with that errno
//   LUMI_FAULT_LOG=path      appends the kind of every call on the file, one per line
// Kinds: open, read, write, fsync, fchmod, fstat, flock, listxattr, close, rename, unlink, stat.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

enum { MaxFd = 4096 };
static unsigned char tracked[MaxFd];
static char faultKind[16];
static int faultAt, faultErrno, seen, parsed;

static int onOurFile(const char* path) { return path && strstr(path, "LOGO2.DAT") != NULL; }
static int isTracked(int fd) { return fd >= 0 && fd < MaxFd && tracked[fd]; }

// Logs the call and says whether it is the one to fail.
static int shouldFail(const char* kind) {
    const char* log = getenv("LUMI_FAULT_LOG");
    if (log) {
        int (*realOpen)(const char*, int, ...) =
            (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
        ssize_t (*realWrite)(int, const void*, size_t) =
            (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
        int (*realClose)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
        int fd = realOpen(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char line[32];
            int n = snprintf(line, sizeof line, "%s\n", kind);
            (void)!realWrite(fd, line, (size_t)n);
            realClose(fd);
        }
    }
    if (!parsed) {
        parsed = 1;
        const char* fault = getenv("LUMI_FAULT");
        if (fault && sscanf(fault, "%15[a-z]:%d:%d", faultKind, &faultAt, &faultErrno) != 3)
            faultKind[0] = 0;
    }
    if (faultKind[0] == 0 || strcmp(kind, faultKind) != 0)
        return 0;
    if (++seen != faultAt)
        return 0;
    errno = faultErrno;
    return 1;
}

#define REAL(name)                                                                                 \
    static __typeof__(&name) real_##name;                                                          \
    if (!real_##name)                                                                              \
    real_##name = (__typeof__(&name))dlsym(RTLD_NEXT, #name)

static int openCommon(const char* which, const char* path, int flags, mode_t mode) {
    typedef int (*OpenFn)(const char*, int, ...);
    OpenFn real = (OpenFn)dlsym(RTLD_NEXT, which);
    if (onOurFile(path) && shouldFail("open"))
        return -1;
    int fd = real(path, flags, mode);
    if (fd >= 0 && fd < MaxFd)
        tracked[fd] = (unsigned char)onOurFile(path);
    return fd;
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(args, int) : 0;
    va_end(args);
    return openCommon("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(args, int) : 0;
    va_end(args);
    return openCommon("open64", path, flags, mode);
}

#define FD_CALL(ret, name, kind, params, args)                                                     \
    ret name params {                                                                              \
        REAL(name);                                                                                \
        if (isTracked(fd) && shouldFail(kind))                                                     \
            return -1;                                                                             \
        return real_##name args;                                                                   \
    }

FD_CALL(ssize_t, pread, "read", (int fd, void* buf, size_t n, off_t at), (fd, buf, n, at))
FD_CALL(ssize_t, pread64, "read", (int fd, void* buf, size_t n, off_t at), (fd, buf, n, at))
FD_CALL(ssize_t, read, "read", (int fd, void* buf, size_t n), (fd, buf, n))
FD_CALL(ssize_t, pwrite, "write", (int fd, const void* buf, size_t n, off_t at), (fd, buf, n, at))
FD_CALL(ssize_t, pwrite64, "write", (int fd, const void* buf, size_t n, off_t at), (fd, buf, n, at))
FD_CALL(ssize_t, write, "write", (int fd, const void* buf, size_t n), (fd, buf, n))
FD_CALL(int, fsync, "fsync", (int fd), (fd))
FD_CALL(int, fdatasync, "fsync", (int fd), (fd))
FD_CALL(int, fchmod, "fchmod", (int fd, mode_t mode), (fd, mode))
FD_CALL(int, fstat, "fstat", (int fd, struct stat* info), (fd, info))
FD_CALL(int, flock, "flock", (int fd, int operation), (fd, operation))
FD_CALL(ssize_t, flistxattr, "listxattr", (int fd, char* list, size_t size), (fd, list, size))

int close(int fd) {
    REAL(close);
    const int ours = isTracked(fd);
    if (ours)
        tracked[fd] = 0;
    if (ours && shouldFail("close")) {
        real_close(fd); // a failed close still releases the descriptor
        errno = faultErrno;
        return -1;
    }
    return real_close(fd);
}

int rename(const char* from, const char* to) {
    REAL(rename);
    if ((onOurFile(from) || onOurFile(to)) && shouldFail("rename"))
        return -1;
    return real_rename(from, to);
}

int unlink(const char* path) {
    REAL(unlink);
    if (onOurFile(path) && shouldFail("unlink"))
        return -1;
    return real_unlink(path);
}

int stat(const char* path, struct stat* info) {
    REAL(stat);
    if (onOurFile(path) && shouldFail("stat"))
        return -1;
    return real_stat(path, info);
}
