#include "platform/posix/device/device_dir.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

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

// Text in single quotes, for a shell: each ' in it as '\''.
std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The advice for a CE_DEVICE_DIR that does not exist, a command to paste.
// A shell leaves a quoted ~ as it stands, so '~/phone' names ./~/phone:
// copying it into the advice would make that very folder.
std::string missingDirAdvice(const std::string& dir) {
    if (dir[0] != '~')
        return "make it with: cedevice create " + shellQuoted(dir);
    std::string advice =
        "a ~ in quotes is not your home directory (the shell leaves it as it "
        "stands, so this names ./" +
        dir + "); write the path without quotes";
    if (dir == "~" || dir.rfind("~/", 0) == 0)
        advice += ", or as \"$HOME" + dir.substr(1) + "\"";
    return advice;
}

// Looks at the directory, makes the default one, and reports what stands
// in the way.
bool checkDir(const std::string& dir) {
    struct stat st;
    if (sysStat(dir.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            diagnose("the device directory " + dir + " is not a directory");
            return false;
        }
        // Any existing directory is the device, an empty one too (a test's
        // fresh temporary directory): what it lacks is made when needed.
        // One that may not be searched is named as such, not by the first
        // of its files that then cannot be read.
        if (sysCalls().faccessat(AT_FDCWD, dir.c_str(), X_OK, AT_EACCESS) != 0 && errno == EACCES) {
            diagnose("cannot reach the device directory " + dir + ": " + systemError(EACCES));
            return false;
        }
        return true;
    }
    int error = errno;
    if (error == ENOENT && !namedByEnvironment()) {
        if (makeDirs(dir))
            return true;
        diagnose("cannot create the device directory " + dir + ": " + systemError(errno));
        return false;
    }
    if (error == ENOENT) {
        diagnose("the device directory " + dir + " (CE_DEVICE_DIR) does not exist; " +
                 missingDirAdvice(dir));
    } else {
        diagnose("cannot reach the device directory " + dir + ": " + systemError(error));
    }
    return false;
}

// The user's home: $HOME when it is a path from the root, else the user
// database's.  Without either, /dev/null, under which nothing can be made:
// a relative home would name a different device in every working
// directory, and the device would be made wherever the program started.
std::string homeDir() {
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    int error = ERANGE;
    // An entry larger than the buffer asks for a larger one.
    for (size_t size = 16384; error == ERANGE && size <= (size_t{1} << 24); size *= 4) {
        std::vector<char> buf(size);
        error = getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found);
        if (error == 0 && found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
            return found->pw_dir;
    }
    static std::once_flag told;
    std::call_once(told, [] {
        diagnose(
            "no home directory: HOME is not set (or not a path from the root) and the user "
            "database has none for this user; name the device with CE_DEVICE_DIR");
    });
    return "/dev/null";
}

}  // namespace

std::string deviceDirPath() {
    std::string dir;
    if (namedByEnvironment()) {
        dir = getenv("CE_DEVICE_DIR");
    } else {
        // A relative XDG_DATA_HOME is no base directory at all, by the
        // convention that defines it: it would name a different device in
        // every working directory.
        const char* xdg = getenv("XDG_DATA_HOME");
        if (xdg != nullptr && xdg[0] == '/') {
            dir = std::string(xdg) + "/ce-device";
        } else {
            dir = homeDir() + "/.local/share/ce-device";
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
