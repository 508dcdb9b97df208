#include "platform/posix/registry/registry_diagnosis.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/sys/temp_beside.h"

namespace ce::posix {

namespace {

std::string failed(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + systemError(error);
}

// registry.reg must be a readable regular file when it exists.
std::string readProblem(const std::string& path) {
    int fd = sysOpen(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? std::string() : failed("cannot read the registry", path, errno);
    struct stat st;
    bool regular = sysCalls().fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    sysClose(fd);
    if (!regular)
        return "cannot read the registry " + path + ": not a regular file";
    return {};
}

// A writer takes registry.reg.lock, writes a new file beside registry.reg
// and renames it over: each of these must be possible.
std::string writeProblem(const std::string& dir, const std::string& path) {
    std::string lockPath = path + ".lock";
    int lock = sysOpen(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0)
        return failed("cannot write the registry's lock file", lockPath, errno);
    sysClose(lock);
    // The probe is a temporary file of registry.reg's writers, so that one
    // left by a killed run is swept away by the next writer.
    int dirFd = sysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string name;
    int fd = dirFd < 0 ? -1 : tempCreateBeside(dirFd, "registry.reg", 0600, &name);
    if (fd < 0) {
        int error = errno;
        sysClose(dirFd);
        return failed("cannot write the registry in", dir, error);
    }
    // A file system that takes a name but no data is full.
    char byte = 0;
    bool wrote = writeAll(fd, &byte, 1) && syncFd(fd);
    int error = errno;
    sysClose(fd);
    sysCalls().unlinkat(dirFd, name.c_str(), 0);
    sysClose(dirFd);
    if (!wrote)
        return failed("cannot write the registry in", dir, error);
    return {};
}

}  // namespace

std::string registryProblem(bool writing) {
    if (!deviceDirUsable())
        return {};
    std::string dir = deviceDirPath();
    std::string path = dir + "/registry.reg";
    std::string problem = readProblem(path);
    if (problem.empty() && writing)
        problem = writeProblem(dir, path);
    return problem;
}

void explainRegistryFailure(bool writing) {
    std::string problem = registryProblem(writing);
    if (!problem.empty())
        diagnose(problem);
}

}  // namespace ce::posix
