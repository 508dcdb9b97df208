#include "tests/support/sys_faults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/posix/sys/sys_io.h"

namespace cetest {

namespace {

using ce::posix::SysCalls;

Fault gFault;
int gSeen = 0;
int gLastWritten = -1;
SysCalls gKernel;
// For PowerLoss: the files written since their last flush, by host path,
// with the size each had then.
std::map<std::string, off_t> gUnflushed;

std::string fdPath(int fd) {
    if (fd == AT_FDCWD) {
        char cwd[PATH_MAX];
        return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
    }
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buf[PATH_MAX];
    ssize_t n = readlink(link, buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string atPath(int dirFd, const char* name) {
    return name[0] == '/' ? std::string(name) : fdPath(dirFd) + "/" + name;
}

bool aimedAt(Kind kind) {
    // A crash before a read is the crash before the next change on disk.
    if (gFault.kind == Kind::Any)
        return kind != Kind::Read;
    return gFault.kind == kind;
}

// What a power loss leaves: the unflushed data gone.
void losePower() {
    for (const auto& [path, size] : gUnflushed) {
        if (truncate(path.c_str(), size) != 0 && errno != ENOENT)
            _exit(kCrashedStatus + 1);
    }
}

void noteWrite(int fd) {
    if (gFault.effect != Effect::PowerLoss)
        return;
    struct stat st;
    std::string path = fdPath(fd);
    if (gUnflushed.count(path) == 0 && gKernel.fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        gUnflushed[path] = st.st_size;
}

// True when this call is to be disturbed; a crash ends the process here.
// path is asked for only when the fault names a file.
template <typename PathOf>
bool strikes(Kind kind, PathOf pathOf) {
    if (!aimedAt(kind))
        return false;
    if (!gFault.file.empty() && pathOf().find(gFault.file) == std::string::npos)
        return false;
    ++gSeen;
    bool hit = gFault.nth == 0 ? gSeen % 2 == 1 : gSeen == gFault.nth;
    if (hit && (gFault.effect == Effect::Crash || gFault.effect == Effect::PowerLoss)) {
        if (gFault.effect == Effect::PowerLoss)
            losePower();
        _exit(kCrashedStatus);
    }
    return hit;
}

// Fails the call, or asks the caller to shorten it (false).
bool fails() {
    if (gFault.effect == Effect::EveryOtherShort)
        return false;
    errno = gFault.effect == Effect::EveryOtherInterrupted ? EINTR : gFault.error;
    return true;
}

ssize_t faultyRead(int fd, void* buf, size_t size) {
    if (strikes(Kind::Read, [&] { return fdPath(fd); })) {
        if (fails())
            return -1;
        size = size > 1 ? size / 2 : size;
    }
    return gKernel.read(fd, buf, size);
}

ssize_t faultyPread(int fd, void* buf, size_t size, off_t offset) {
    if (strikes(Kind::Read, [&] { return fdPath(fd); })) {
        if (fails())
            return -1;
        size = size > 1 ? size / 2 : size;
    }
    return gKernel.pread(fd, buf, size, offset);
}

// A short directory read is one that returns fewer entries.
long faultyGetdents64(int fd, void* buf, size_t size) {
    if (strikes(Kind::Read, [&] { return fdPath(fd); })) {
        if (fails())
            return -1;
        size /= 2;
    }
    return gKernel.getdents64(fd, buf, size);
}

// In the crash sweep the writes that go on filling one file are one point:
// what lies on disk between them is the same partial file.
bool writeStrikes(int fd) {
    bool sameFile = gFault.kind == Kind::Any && fd == gLastWritten;
    gLastWritten = fd;
    return !sameFile && strikes(Kind::Write, [&] { return fdPath(fd); });
}

ssize_t faultyWrite(int fd, const void* buf, size_t size) {
    if (writeStrikes(fd)) {
        if (fails())
            return -1;
        size = size > 1 ? size / 2 : size;
    }
    noteWrite(fd);
    return gKernel.write(fd, buf, size);
}

ssize_t faultyCopyFileRange(int from, off_t* fromOffset, int to, size_t size) {
    if (writeStrikes(to)) {
        if (fails())
            return -1;
        size = size > 1 ? size / 2 : size;
    }
    noteWrite(to);
    return gKernel.copyFileRange(from, fromOffset, to, size);
}

int faultyFsync(int fd) {
    if (strikes(Kind::Fsync, [&] { return fdPath(fd); }) &&
        gFault.effect != Effect::EveryOtherShort) {
        fails();
        return -1;
    }
    int result = gKernel.fsync(fd);
    if (result == 0)
        gUnflushed.erase(fdPath(fd));
    return result;
}

int faultyRenameat(int fromDir, const char* from, int toDir, const char* to) {
    if (strikes(Kind::Rename, [&] { return atPath(toDir, to); })) {
        errno = gFault.error;
        return -1;
    }
    if (gFault.effect != Effect::PowerLoss)
        return gKernel.renameat(fromDir, from, toDir, to);
    std::string fromPath = atPath(fromDir, from);
    std::string toPath = atPath(toDir, to);
    int result = gKernel.renameat(fromDir, from, toDir, to);
    auto moved = gUnflushed.find(fromPath);
    if (result == 0 && moved != gUnflushed.end()) {
        off_t size = moved->second;
        gUnflushed.erase(moved);
        gUnflushed[toPath] = size;
    }
    return result;
}

int faultyOpenat(int dirFd, const char* name, int flags, mode_t mode) {
    if ((flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0 &&
        strikes(Kind::Open, [&] { return atPath(dirFd, name); })) {
        errno = gFault.error;
        return -1;
    }
    return gKernel.openat(dirFd, name, flags, mode);
}

// Further calls that change the disk are crash points only.
int faultyUnlinkat(int dirFd, const char* name, int flags) {
    strikes(Kind::Any, [] { return std::string(); });
    return gKernel.unlinkat(dirFd, name, flags);
}

int faultyMkdirat(int dirFd, const char* name, mode_t mode) {
    strikes(Kind::Any, [] { return std::string(); });
    return gKernel.mkdirat(dirFd, name, mode);
}

int faultyLinkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    strikes(Kind::Any, [] { return std::string(); });
    return gKernel.linkat(fromDir, from, toDir, to, flags);
}

void installFault(const Fault& fault) {
    SysCalls& table = ce::posix::sysCalls();
    gKernel = table;
    gFault = fault;
    gSeen = 0;
    gLastWritten = -1;
    gUnflushed.clear();
    table.read = faultyRead;
    table.pread = faultyPread;
    table.getdents64 = faultyGetdents64;
    table.write = faultyWrite;
    table.copyFileRange = faultyCopyFileRange;
    table.fsync = faultyFsync;
    table.renameat = faultyRenameat;
    table.openat = faultyOpenat;
    table.unlinkat = faultyUnlinkat;
    table.mkdirat = faultyMkdirat;
    table.linkat = faultyLinkat;
}

}  // namespace

Fault noFault() {
    return Fault{Kind::Read, "/nothing/", 1, Effect::Fail, 0};
}

int runWithFault(const std::string& deviceDir, const Fault& fault, const std::function<int()>& body,
                 int* calls) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    fflush(nullptr);  // nothing buffered is written twice
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        close(pipeFds[0]);
        setenv("CE_DEVICE_DIR", deviceDir.c_str(), 1);
        installFault(fault);
        int status = body();
        ssize_t ignored = ::write(pipeFds[1], &gSeen, sizeof gSeen);
        (void)ignored;
        _exit(status);
    }
    close(pipeFds[1]);
    int seen = 0;
    if (read(pipeFds[0], &seen, sizeof seen) == sizeof seen && calls != nullptr)
        *calls = seen;
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace cetest
