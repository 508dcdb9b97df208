#include "platform/posix/device/device_dir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"

namespace ce::posix {

namespace {

// mkdir -p; false with errno set when a level cannot be made.
bool makeDirs(const std::string& path) {
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = path.find('/', pos + 1);
        std::string partial = path.substr(0, next);
        if (!partial.empty() && sysMkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        pos = next;
    }
    return true;
}

std::string stripSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

bool namedByEnvironment() {
    const char* env = getenv("CE_DEVICE_DIR");
    return env != nullptr && *env != 0;
}

// Looks at the directory, makes the default one, and reports what stands
// in the way.
bool checkDir(const std::string& dir) {
    struct stat st;
    if (sysStat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        diagnose("the device directory " + dir + " is not a directory");
        return false;
    }
    int error = errno;
    if (error == ENOENT && !namedByEnvironment()) {
        if (makeDirs(dir))
            return true;
        diagnose("cannot create the device directory " + dir + ": " + systemError(errno));
        return false;
    }
    if (error == ENOENT) {
        diagnose("the device directory " + dir +
                 " (CE_DEVICE_DIR) does not exist; make it with: cedevice create '" + dir + "'");
    } else {
        diagnose("cannot reach the device directory " + dir + ": " + systemError(error));
    }
    return false;
}

}  // namespace

std::string deviceDirPath() {
    std::string dir;
    if (namedByEnvironment()) {
        dir = getenv("CE_DEVICE_DIR");
    } else {
        const char* xdg = getenv("XDG_DATA_HOME");
        if (xdg != nullptr && *xdg != 0) {
            dir = std::string(xdg) + "/ce-device";
        } else {
            const char* home = getenv("HOME");
            dir = std::string(home != nullptr ? home : ".") + "/.local/share/ce-device";
        }
    }
    return stripSlash(dir);
}

std::string deviceDir() {
    std::string dir = deviceDirPath();
    checkDir(dir);
    return dir;
}

bool deviceDirUsable() {
    return checkDir(deviceDirPath());
}

std::string deviceFsRoot() {
    std::string dir = deviceDirPath();
    std::string root = dir + "/fs";
    if (!checkDir(dir))
        return root;
    struct stat st;
    if (sysStat(root.c_str(), &st) != 0 && sysMkdir(root.c_str(), 0755) != 0 && errno != EEXIST)
        diagnose("cannot create the device's file system " + root + ": " + systemError(errno));
    return root;
}

std::string deviceRegistryPath() {
    return deviceDir() + "/registry.reg";
}
std::string deviceConfPath() {
    return deviceDir() + "/device.conf";
}
std::string deviceRunDir() {
    return deviceDir() + "/run";
}

}  // namespace ce::posix
