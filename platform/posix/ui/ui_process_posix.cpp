// Process services of the launcher on posix: the named event as a run/
// marker, sleep, the executable's own file name, files beside it, and the
// special folders of the emulated device.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/posix/fs/fs_path.h"
#include "platform/posix/run/run_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/ui.h"
#include "platform/wstr.h"

namespace ce::ui {

namespace {

// Open handles of named events, by handle, each with its event's marker.
// The process holds an event while it has any handle to it.
std::map<Handle, std::string>& eventHandles() {
    static std::map<Handle, std::string> handles;
    return handles;
}

bool holdsEvent(const std::string& markerPath) {
    for (const auto& [handle, path] : eventHandles()) {
        if (path == markerPath)
            return true;
    }
    return false;
}

Handle gNextHandle = 0x100;

}  // namespace

Instance moduleInstance() {
    // There is one program image per process; any non-zero value names it.
    return 1;
}

Handle createEvent(const char16_t* name, bool, bool, uint32_t* lastError) {
    std::string path;
    if (!posix::runMarkerPath("events", name, &path))
        return 0;
    uint32_t error = 0;
    if (holdsEvent(path)) {
        error = kErrorAlreadyExists;
    } else {
        switch (posix::joinRunMarker(path)) {
            case posix::RunMarker::Created:
                break;
            case posix::RunMarker::AlreadyExists:
                error = kErrorAlreadyExists;
                break;
            case posix::RunMarker::Failed:
                return 0;
        }
    }
    const Handle handle = gNextHandle++;
    eventHandles()[handle] = path;
    if (lastError != nullptr)
        *lastError = error;
    return handle;
}

void closeHandle(Handle handle) {
    auto& handles = eventHandles();
    auto it = handles.find(handle);
    if (it == handles.end())
        return;
    const std::string path = it->second;
    handles.erase(it);
    // The last handle of this process lets go of the event; other
    // processes that hold it keep it.
    if (!holdsEvent(path))
        posix::leaveRunMarker(path);
}

void sleep(uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return posix::sysStat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The path the program was started by, as a shell finds it: argv[0] when it
// holds a slash (made absolute against the working directory the process
// started in), else the first directory of PATH that holds an executable of
// that name.  Links on the way are kept, not resolved: a link to the
// installed program in a folder of the user's puts the program's directory
// there, beside the user's menu files.  Empty when it cannot be told.
std::string startedByPath() {
    const std::string name = program_invocation_name;
    if (name.empty())
        return "";
    // A relative path, or a relative or empty PATH entry (the current
    // directory), is taken from where the program stands now: where the
    // shell stood when it started it.
    auto absolute = [](const std::string& relative) {
        if (!relative.empty() && relative[0] == '/')
            return relative;
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr)
            return std::string();
        return relative.empty() ? std::string(cwd) : std::string(cwd) + "/" + relative;
    };
    std::string path;
    if (name.find('/') != std::string::npos) {
        path = absolute(name);
    } else {
        const char* env = getenv("PATH");
        std::string dirs = env != nullptr ? env : "";
        size_t from = 0;
        while (path.empty() && from <= dirs.size()) {
            size_t colon = dirs.find(':', from);
            if (colon == std::string::npos)
                colon = dirs.size();
            std::string dir = absolute(dirs.substr(from, colon - from));
            from = colon + 1;
            if (!dir.empty() && isExecutableFile(dir + "/" + name))
                path = dir + "/" + name;
        }
    }
    // "./" steps say nothing and would stand in the menu file's path.
    for (size_t at = path.find("/./"); at != std::string::npos; at = path.find("/./"))
        path.erase(at, 2);
    return isExecutableFile(path) ? path : "";
}

// The host path of the running program: the path it was started by, else
// the kernel's name of the executable.
std::string runningProgramPath() {
    std::string path = startedByPath();
    if (!path.empty())
        return path;
    char buf[PATH_MAX + 1];
    const ssize_t n = posix::sysCalls().readlinkat(AT_FDCWD, "/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return "";
    return std::string(buf, static_cast<size_t>(n));
}

}  // namespace

size_t getModuleFileName(Instance, char16_t* dst, size_t dstChars) {
    if (dst == nullptr || dstChars == 0)
        return 0;
    dst[0] = 0;
    const std::string path = runningProgramPath();
    if (path.empty() || path.size() > PATH_MAX)
        return 0;
    std::u16string wide;
    if (!utf8ToU16(path.data(), path.size(), &wide))
        return 0;
    // The program directory ends at the last backslash, as on the device;
    // a host name with a backslash of its own would cut it in the wrong place.
    for (char16_t& c : wide) {
        if (c == u'\\')
            return 0;
        if (c == u'/')
            c = u'\\';
    }
    if (wide.size() + 1 > dstChars)
        return 0;
    u16copy(dst, dstChars, wide.c_str());
    return wide.size();
}

// ---------------------------------------------------------------------------
// Files beside the executable.

struct ProgramFileImpl {
    int fd = -1;
};

ProgramFile programFileOpen(const char16_t* path) {
    if (path == nullptr)
        return nullptr;
    std::u16string hostWide(path);
    for (char16_t& c : hostWide) {
        if (c == u'\\')
            c = u'/';
    }
    std::string host;
    if (!u16ToUtf8(hostWide.data(), hostWide.size(), &host))
        return nullptr;
    // The only file beside the program is the menu file: a user who finds
    // an empty menu learns which file was looked for.
    const int fd = posix::sysOpen(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        posix::diagnose("cannot read the menu file " + host + ": " + posix::systemError(errno));
        return nullptr;
    }
    struct stat st;
    if (posix::sysCalls().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        posix::sysClose(fd);
        posix::diagnose("cannot read the menu file " + host + ": not a regular file");
        return nullptr;
    }
    auto* file = new ProgramFileImpl;
    file->fd = fd;
    return file;
}

size_t programFileRead(ProgramFile file, void* buf, size_t size) {
    if (file == nullptr)
        return 0;
    const ssize_t n = posix::readRetrying(file->fd, buf, size);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void programFileClose(ProgramFile file) {
    if (file == nullptr)
        return;
    posix::sysClose(file->fd);
    delete file;
}

// ---------------------------------------------------------------------------
// Special folders: fixed device paths.

bool getSpecialFolderPath(int csidl, char16_t* dst, size_t dstChars, bool create) {
    const char16_t* path = nullptr;
    switch (csidl) {
        case kCsidlProgramFiles:
            path = u"\\Program Files";
            break;
        case kCsidlWindows:
            path = u"\\Windows";
            break;
        case kCsidlMyMusic:
            path = u"\\My Documents\\My Music";
            break;
        case kCsidlMyVideo:
            path = u"\\My Documents\\My Videos";
            break;
        case kCsidlMyPictures:
            path = u"\\My Documents\\My Pictures";
            break;
        default:
            return false;
    }
    if (dst == nullptr || u16len(path) + 1 > dstChars)
        return false;
    if (create) {
        // Each level in turn, so that My Documents is made as well.
        std::u16string sofar;
        for (const char16_t* p = path; *p != 0; ++p) {
            if (*p == u'\\' && !sofar.empty()) {
                std::string host;
                if (posix::deviceToHostPath(sofar.c_str(), &host))
                    posix::sysMkdir(host.c_str(), 0755);
            }
            sofar.push_back(*p);
        }
        std::string host;
        if (posix::deviceToHostPath(sofar.c_str(), &host))
            posix::sysMkdir(host.c_str(), 0755);
    }
    return u16copy(dst, dstChars, path);
}

}  // namespace ce::ui
