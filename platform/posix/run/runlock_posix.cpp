// Device-wide run lock: an exclusive flock on run/locks/<name>.lock, held
// until released or until the process ends (the kernel drops it then, so a
// killed run never leaves the device locked).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/platform.h"
#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce {

struct RunLockImpl {
    int fd;
};

namespace {

// A lock name becomes one file name: no separators, no dot names.
bool lockFileName(const char16_t* name, std::string* file) {
    if (name == nullptr)
        return false;
    std::string utf8;
    if (!u16ToUtf8(name, u16len(name), &utf8))
        return false;
    if (utf8.empty() || utf8 == "." || utf8 == ".." || utf8.find('/') != std::string::npos) {
        return false;
    }
    *file = utf8 + ".lock";
    return file->size() <= 255;
}

}  // namespace

RunLock acquireRunLock(const char16_t* name) {
    std::string file;
    if (!lockFileName(name, &file))
        return nullptr;
    if (!posix::deviceDirUsable())
        return nullptr;  // no run/ in a directory that is no device
    std::string runDir = posix::deviceRunDir();
    posix::sysMakeDeviceFolder(runDir.c_str(), 0755);
    std::string lockDir = runDir + "/locks";
    posix::sysMakeDeviceFolder(lockDir.c_str(), 0755);
    std::string path = lockDir + "/" + file;
    int fd = posix::lockFileExclusive(path, O_NOFOLLOW);
    if (fd < 0)
        return nullptr;
    RunLockImpl* lock = new (std::nothrow) RunLockImpl{fd};
    if (lock == nullptr)
        posix::sysClose(fd);
    return lock;
}

void releaseRunLock(RunLock lock) {
    if (lock == nullptr)
        return;
    posix::sysClose(lock->fd);
    delete lock;
}

}  // namespace ce
