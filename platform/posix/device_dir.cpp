#include "platform/posix/device_dir.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace ce::posix {

namespace {

void makeDirs(const std::string& path) {
    if (path.empty())
        return;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        size_t next = path.find('/', pos + 1);
        partial = path.substr(0, next);
        if (!partial.empty())
            mkdir(partial.c_str(), 0755);
        pos = next;
    }
}

std::string stripSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

}  // namespace

std::string deviceDirPath() {
    std::string dir;
    const char* env = getenv("CE_DEVICE_DIR");
    if (env != nullptr && *env != 0) {
        dir = env;
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
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        makeDirs(dir);
    return dir;
}

std::string deviceFsRoot() {
    std::string root = deviceDir() + "/fs";
    struct stat st;
    if (stat(root.c_str(), &st) != 0)
        mkdir(root.c_str(), 0755);
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
