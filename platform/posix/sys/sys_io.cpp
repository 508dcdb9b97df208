#include "platform/posix/sys/sys_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace ce::posix {

namespace {

int kernelOpenat(int dirFd, const char* name, int flags, mode_t mode) {
    return ::openat(dirFd, name, flags, mode);
}

long kernelGetdents64(int fd, void* buf, size_t size) {
#ifdef SYS_getdents64
    return ::syscall(SYS_getdents64, fd, buf, size);
#else
    (void)fd;
    (void)buf;
    (void)size;
    errno = ENOSYS;
    return -1;
#endif
}

int kernelDupCloexec(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

ssize_t kernelCopyFileRange(int from, off_t* fromOffset, int to, size_t size) {
    return ::copy_file_range(from, fromOffset, to, nullptr, size, 0);
}

int kernelFcntl(int fd, int command, int argument) {
    return ::fcntl(fd, command, argument);
}

char* kernelRealpath(const char* path) {
    return ::realpath(path, nullptr);
}

int kernelSyncFileRange(int fd, off_t offset, off_t size, unsigned flags) {
#ifdef SYNC_FILE_RANGE_WRITE
    return ::sync_file_range(fd, offset, size, flags);
#else
    (void)fd;
    (void)offset;
    (void)size;
    (void)flags;
    errno = ENOSYS;
    return -1;
#endif
}

constexpr SysCalls kKernel = {
    .openat = kernelOpenat,
    .read = ::read,
    .write = ::write,
    .fsync = ::fsync,
    .close = ::close,
    .fstat = ::fstat,
    .fstatat = ::fstatat,
    .renameat = ::renameat,
    .unlinkat = ::unlinkat,
    .mkdirat = ::mkdirat,
    .linkat = ::linkat,
    .readlinkat = ::readlinkat,
    .getdents64 = kernelGetdents64,
    .lseek = ::lseek,
    .flock = ::flock,
    .fchmod = ::fchmod,
    .fchown = ::fchown,
    .dupCloexec = kernelDupCloexec,
    .pread = ::pread,
    .copyFileRange = kernelCopyFileRange,
    .fcntl = kernelFcntl,
    .faccessat = ::faccessat,
    .realpath = kernelRealpath,
    .madvise = ::madvise,
    .syncFileRange = kernelSyncFileRange,
};

SysCalls gTable = kKernel;

}  // namespace

SysCalls& sysCalls() {
    return gTable;
}

void restoreSysCalls() {
    gTable = kKernel;
}

int sysOpen(const char* path, int flags, mode_t mode) {
    return openRetrying(AT_FDCWD, path, flags, mode);
}

int sysStat(const char* path, struct stat* st) {
    return gTable.fstatat(AT_FDCWD, path, st, 0);
}

int sysRename(const char* from, const char* to) {
    return gTable.renameat(AT_FDCWD, from, AT_FDCWD, to);
}

int sysUnlink(const char* path) {
    return gTable.unlinkat(AT_FDCWD, path, 0);
}

int sysRmdir(const char* path) {
    return gTable.unlinkat(AT_FDCWD, path, AT_REMOVEDIR);
}

int sysMkdir(const char* path, mode_t mode) {
    return gTable.mkdirat(AT_FDCWD, path, mode);
}

int sysMakeDeviceFolder(const char* path, mode_t mode) {
    int made = sysMkdir(path, mode);
    int saved = errno;
    if (geteuid() == 0) {
        int fd = gTable.openat(AT_FDCWD, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
        giveToFolderOwner(fd, path);
        if (fd >= 0)
            gTable.close(fd);
    }
    errno = saved;
    return made;
}

void giveToFolderOwner(int fd, const std::string& path) {
    if (fd < 0 || geteuid() != 0)
        return;
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    struct stat self;
    struct stat above;
    int saved = errno;
    if (gTable.fstat(fd, &self) == 0 && self.st_uid == 0 &&
        gTable.fstatat(AT_FDCWD, folder.c_str(), &above, 0) == 0 && above.st_uid != 0) {
        gTable.fchown(fd, above.st_uid, above.st_gid);
    }
    errno = saved;
}

int sysLink(const char* from, const char* to) {
    return gTable.linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int sysClose(int fd) {
    // Never made again after EINTR: on Linux the descriptor is gone anyway,
    // and a second close could hit a descriptor opened meanwhile.
    return fd >= 0 ? gTable.close(fd) : 0;
}

// Makes a call again for as long as it is interrupted before it did
// anything (a negative result with EINTR), and returns its last result.
template <typename Call>
auto retryInterrupted(Call call) {
    decltype(call()) r;
    do {
        r = call();
    } while (r < 0 && errno == EINTR);
    return r;
}

int openRetrying(int dirFd, const char* name, int flags, mode_t mode) {
    return retryInterrupted([&] { return gTable.openat(dirFd, name, flags, mode); });
}

ssize_t readRetrying(int fd, void* buf, size_t size) {
    return retryInterrupted([&] { return gTable.read(fd, buf, size); });
}

// Reads into buf until size bytes or the end of the file, going on after
// interruptions and short reads; `read(at, want, done)` makes one call for
// `want` bytes at `at`, `done` bytes in.  The count read, or -1.
template <typename Read>
ssize_t readUntilFull(void* buf, size_t size, Read read) {
    char* p = static_cast<char*>(buf);
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(p + done, size - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

ssize_t preadFull(int fd, void* buf, size_t size, off_t offset) {
    return readUntilFull(buf, size, [&](char* at, size_t want, size_t done) {
        return gTable.pread(fd, at, want, offset + static_cast<off_t>(done));
    });
}

ssize_t readFull(int fd, void* buf, size_t size) {
    return readUntilFull(buf, size,
                         [&](char* at, size_t want, size_t) { return gTable.read(fd, at, want); });
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = gTable.write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;  // a write that makes no progress would loop forever
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeAllWritingBehind(int fd, const void* data, size_t size) {
    // Large enough for the disk to take each piece in a few requests,
    // small enough that it starts early.
    constexpr size_t kPiece = size_t{1} << 20;
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (size - done > kPiece) {
        if (!writeAll(fd, p + done, kPiece))
            return false;
#ifdef SYNC_FILE_RANGE_WRITE
        // Only a head start: a refusal (a file system without it) leaves
        // the whole work to the flush.
        int saved = errno;
        gTable.syncFileRange(fd, static_cast<off_t>(done), static_cast<off_t>(kPiece),
                             SYNC_FILE_RANGE_WRITE);
        errno = saved;
#endif
        done += kPiece;
    }
    return writeAll(fd, p + done, size - done);
}

bool syncFd(int fd) {
    return retryInterrupted([&] { return gTable.fsync(fd); }) == 0;
}

long readDirEntries(int fd, void* buf, size_t size) {
    return retryInterrupted([&] { return gTable.getdents64(fd, buf, size); });
}

bool listDirectoryNames(int dirFd, const char* path, std::vector<std::string>* names) {
    int fd = openRetrying(dirFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Small: the directories listed this way hold a few entries.
    alignas(8) char buf[4096];
    bool ok = true;
    for (;;) {
        long n = readDirEntries(fd, buf, sizeof buf);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        long pos = 0;
        while (pos < n) {
            // struct linux_dirent64: inode, offset, record length, type, name.
            unsigned short reclen;
            std::memcpy(&reclen, buf + pos + 16, sizeof reclen);
            std::string_view name = buf + pos + 19;
            if (name != "." && name != "..")
                names->emplace_back(name);
            pos += reclen;
        }
    }
    int saved = errno;
    gTable.close(fd);
    errno = saved;
    return ok;
}

void adviseLargePages(void* data, size_t size) {
#ifdef MADV_HUGEPAGE
    // The large page of x86-64 (and of arm64 with 4 KB pages).  Where large
    // pages are bigger, the advice only covers whole ones, if any.
    constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
    uintptr_t begin = reinterpret_cast<uintptr_t>(data);
    uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    uintptr_t last = (begin + size) & ~(kLargePage - 1);
    if (last > first) {
        int saved = errno;
        gTable.madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
        errno = saved;
    }
#else
    (void)data;
    (void)size;
#endif
}

void openStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (gTable.fcntl(fd, F_GETFD, 0) >= 0 || errno != EBADF)
            continue;
        // The lowest free number is the one closed.  It is opened the other
        // way round, so that the stream stays as closed as it was: reading
        // standard input or writing the output fails (EBADF), where
        // /dev/null would read as empty and take whatever is written.
        int opened = openRetrying(AT_FDCWD, "/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened > 2)
            sysClose(opened);
    }
}

bool clearNonBlocking(int fd) {
    int flags = gTable.fcntl(fd, F_GETFL, 0);
    return flags >= 0 && gTable.fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool lockRetrying(int fd, int operation) {
    return retryInterrupted([&] { return gTable.flock(fd, operation); }) == 0;
}

int openLockFile(const std::string& path, int extraFlags) {
    int fd = openRetrying(AT_FDCWD, path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | extraFlags, 0644);
    // A lock file that another user made (a run as root) cannot be opened
    // for writing, but a lock needs no more than reading it.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        int refused = errno;
        fd = openRetrying(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC | extraFlags);
        if (fd < 0 && errno == ENOENT)
            errno = refused;  // none to read: what kept it from being made
    }
    giveToFolderOwner(fd, path);
    return fd;
}

int lockFileExclusive(const std::string& path, int extraFlags) {
    int fd = openLockFile(path, extraFlags);
    if (fd < 0)
        return -1;
    if (!lockRetrying(fd, LOCK_EX)) {
        int saved = errno;
        gTable.close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace ce::posix
