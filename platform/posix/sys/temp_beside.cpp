#include "platform/posix/sys/temp_beside.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/posix/sys/sys_io.h"

namespace ce::posix {

namespace {

constexpr char kTempStart[] = ".ce-tmp-";
constexpr char kTempEnd[] = ".tmp";
// Attempts at a fresh name before creating a temporary file gives up;
// for a named one, the writers it may lose its name to in a row.
constexpr int kCreateAttempts = 100;

uint64_t nameHash(std::string_view name) {
    uint64_t h = 14695981039346656037ull;
    for (char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when dirFd's entry `name` is still the file open as fd.
bool nameIsFile(int dirFd, const char* name, int fd) {
    struct stat byName;
    struct stat byFd;
    return sysCalls().fstatat(dirFd, name, &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
           sysCalls().fstat(fd, &byFd) == 0 && sameFile(byName, byFd);
}

bool takeLock(int fd) {
    return lockRetrying(fd, LOCK_EX | LOCK_NB);
}

// After a lock that failed: the file system keeps no locks at all.
bool locksUnsupported() {
    return errno == ENOLCK || errno == EOPNOTSUPP;
}

}  // namespace

std::string tempNamePrefix(std::string_view destName) {
    static const char kDigits[] = "0123456789abcdef";
    uint64_t h = nameHash(destName);
    std::string out = kTempStart;
    for (int shift = 60; shift >= 0; shift -= 4)
        out.push_back(kDigits[(h >> shift) & 15]);
    out.push_back('-');
    return out;
}

int tempCreateBeside(int dirFd, std::string_view destName, mode_t mode, std::string* tempName) {
    static std::atomic<unsigned> serial{0};
    std::string prefix = tempNamePrefix(destName) + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name = prefix + std::to_string(serial++) + kTempEnd;
        int fd = openRetrying(dirFd, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Between the create and the lock a sweep may take the new file for
        // a dead writer's and remove it; then it is no longer under its name
        // and another one is tried.
        if (takeLock(fd) && nameIsFile(dirFd, name.c_str(), fd)) {
            *tempName = std::move(name);
            return fd;
        }
        sysClose(fd);
    }
    return -1;
}

void tempSweepBeside(int dirFd, std::string_view destName) {
    std::vector<std::string> names;
    listDirectoryNames(dirFd, ".", &names);  // what could be read is swept
    std::string prefix = tempNamePrefix(destName);
    std::string_view end = kTempEnd;
    for (const std::string& name : names) {
        if (name.size() <= prefix.size() + end.size() ||
            name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - end.size(), end.size(), end) != 0) {
            continue;
        }
        int fd = openRetrying(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st;
        // Holding the lock, the file is no live writer's: remove it while it
        // is still the file just locked.
        if (sysCalls().fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && takeLock(fd) &&
            nameIsFile(dirFd, name.c_str(), fd)) {
            sysCalls().unlinkat(dirFd, name.c_str(), 0);
        }
        sysClose(fd);
    }
}

bool tempNameIsFile(int dirFd, const char* name, int fd) {
    return nameIsFile(dirFd, name, fd);
}

int tempCreateNamed(int dirFd, const std::string& name, mode_t mode) {
    const char* at = name.c_str();
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        int held = openRetrying(dirFd, at, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat st;
        if (held >= 0 && sysCalls().fstat(held, &st) == 0 && S_ISREG(st.st_mode)) {
            // Its lock is free once its writer has put it in place or is
            // gone; still under the name then, it is a leftover.  Nothing
            // is waited for where no writer can hold it: a file with
            // another name too (a hard link to the run lock's file, whose
            // lock this run holds itself) is no writer's temporary file,
            // and a file system that keeps no locks has no writer's lock.
            bool linked = st.st_nlink > 1;
            if ((linked || lockRetrying(held, LOCK_EX) || locksUnsupported()) &&
                nameIsFile(dirFd, at, held)) {
                sysCalls().unlinkat(dirFd, at, 0);
            }
        } else if (held < 0 && errno != ENOENT) {
            sysCalls().unlinkat(dirFd, at, 0);  // a link, or none of ours to lock
        }
        if (held >= 0)
            sysClose(held);
        int fd =
            openRetrying(dirFd, at, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;  // another writer's now: wait for it
            return -1;
        }
        // Between the create and the lock another writer may take the new
        // file for a leftover and remove it: then its file has the name.
        if ((takeLock(fd) || locksUnsupported()) && nameIsFile(dirFd, at, fd))
            return fd;
        sysClose(fd);
    }
    errno = EBUSY;
    return -1;
}

}  // namespace ce::posix
