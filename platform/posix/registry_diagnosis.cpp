#include "platform/posix/registry_diagnosis.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/device_dir.h"
#include "platform/posix/diagnostic.h"
#include "platform/posix/sys_io.h"

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
    std::string probe = path + ".probe-XXXXXX";
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back(0);
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return failed("cannot write the registry in", dir, errno);
    // A file system that takes a name but no data is full.
    char byte = 0;
    bool wrote = writeAll(fd, &byte, 1) && syncFd(fd);
    int error = errno;
    sysClose(fd);
    sysUnlink(name.data());
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
