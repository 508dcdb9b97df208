#include "platform/posix/run/run_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// A marker holds a pid and a start time, a line each; anything longer is
// not one.
constexpr size_t kMaxMarkerBytes = 64;
// /proc/<pid>/stat: some 52 numbers and a command name of at most 64 bytes.
constexpr size_t kMaxStatBytes = 2048;

// The state letter (field 3 of /proc/<pid>/stat) and the start time in
// clock ticks after boot (field 22), which tells a process apart from a
// later one that got the same id.  False where they cannot be read (no
// /proc, a process that is gone, a malformed line).
bool processStat(const char* statPath, char* state, unsigned long long* ticks) {
    int fd = sysOpen(statPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[kMaxStatBytes];
    ssize_t n = readFull(fd, buf, sizeof buf - 1);
    sysClose(fd);
    size_t len = n > 0 ? static_cast<size_t>(n) : 0;
    buf[len] = 0;
    // The command name in parentheses may hold blanks and parentheses of
    // its own: the fields are counted from its last ")".
    const char* p = std::strrchr(buf, ')');
    if (p == nullptr)
        return false;
    ++p;
    // Fields 3 to 21 come before the start time.
    for (int field = 3; field <= 21; ++field) {
        while (*p == ' ')
            ++p;
        if (*p == 0)
            return false;
        if (field == 3)
            *state = *p;
        while (*p != ' ' && *p != 0)
            ++p;
    }
    while (*p == ' ')
        ++p;
    unsigned long long value = 0;
    size_t digits = 0;
    while (*p >= '0' && *p <= '9' && digits < 20) {
        value = value * 10 + static_cast<unsigned long long>(*p - '0');
        ++p;
        ++digits;
    }
    if (digits == 0 || (*p != ' ' && *p != '\n' && *p != 0))
        return false;
    *ticks = value;
    return true;
}

bool processStartTicks(const char* statPath, unsigned long long* ticks) {
    char state = 0;
    return processStat(statPath, &state, ticks);
}

struct MarkerContent {
    pid_t pid = 0;                   // 0: no marker, or a malformed one
    unsigned long long started = 0;  // start ticks of that process, 0 when not recorded
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The first line of the file as a positive decimal pid, else pid 0.  Blanks
// and a CR before the line end are tolerated; anything else makes it
// malformed.  A second line of only digits is the start time of that
// process, as this layer writes it; a marker written by hand may have none,
// or anything else there, and then counts by its pid alone.
MarkerContent readMarker(const std::string& path) {
    MarkerContent marker;
    int fd = sysOpen(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return marker;
    struct stat st;
    if (sysCalls().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        sysClose(fd);
        return marker;
    }
    char buf[kMaxMarkerBytes];
    ssize_t n = readFull(fd, buf, sizeof buf);
    sysClose(fd);
    size_t len = n > 0 ? static_cast<size_t>(n) : 0;
    size_t i = 0;
    while (i < len && (buf[i] == ' ' || buf[i] == '\t'))
        ++i;
    long long pid = 0;
    size_t digits = 0;
    while (i < len && buf[i] >= '0' && buf[i] <= '9') {
        pid = pid * 10 + (buf[i] - '0');
        if (pid > INT_MAX)
            return marker;
        ++i;
        ++digits;
    }
    while (i < len && isBlank(buf[i]))
        ++i;
    if (digits == 0 || (i < len && buf[i] != '\n'))
        return marker;
    // 0 and negative ids name process groups for kill(): never a marker.
    if (pid <= 0)
        return marker;
    marker.pid = static_cast<pid_t>(pid);

    ++i;  // past the first line's end
    while (i < len && isBlank(buf[i]))
        ++i;
    unsigned long long started = 0;
    digits = 0;
    while (i < len && buf[i] >= '0' && buf[i] <= '9' && digits < 20) {
        started = started * 10 + static_cast<unsigned long long>(buf[i] - '0');
        ++i;
        ++digits;
    }
    while (i < len && isBlank(buf[i]))
        ++i;
    if (digits > 0 && (i == len || buf[i] == '\n'))
        marker.started = started;
    return marker;
}

// The marker's process is alive and is the one that wrote it: a process
// that merely got the id of a writer that is gone does not count, and
// neither does one that has ended but is not yet reaped (a zombie, whose
// id kill() still accepts: a caller that waits for another program before
// it reaps its own children would keep such a window for ever).  Where
// /proc cannot be read, the id alone decides.
bool markerAlive(const MarkerContent& marker) {
    if (marker.pid <= 0 || (kill(marker.pid, 0) != 0 && errno != EPERM))
        return false;
    const std::string statPath = "/proc/" + std::to_string(marker.pid) + "/stat";
    char state = 0;
    unsigned long long started = 0;
    if (!processStat(statPath.c_str(), &state, &started))
        return true;
    if (state == 'Z' || state == 'X')
        return false;
    return marker.started == 0 || started == marker.started;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A marker that cannot be made is named with the system's reason: the
// single-instance guard it stands for then does not work (a directory in
// its place, a run/ that cannot be written).
RunMarker markerFailed(const std::string& path, int error) {
    diagnose("cannot make " + path + ": " + systemError(error != 0 ? error : EIO));
    return RunMarker::Failed;
}

// Serialises the changes of one kind of marker between processes.  Readers
// do not take it: they see a marker either absent or complete.
int lockKind(const std::string& markerPath) {
    std::string lockPath = parentOf(markerPath) + ".lock";
    return lockFileExclusive(lockPath, O_NOFOLLOW);
}

void unlockKind(int fd) {
    if (fd >= 0)
        sysClose(fd);
}

// Writes "<pid>\n<start ticks>\n" to a private file beside the kind's
// directory and links it to the marker's name: link() fails when the name
// exists, and the marker appears with its whole content at once.  On
// Failed, errno tells why.
RunMarker linkNewMarker(const std::string& path) {
    static unsigned counter = 0;
    std::string tmp =
        parentOf(path) + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    int fd = sysOpen(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return RunMarker::Failed;
    std::string line = std::to_string(getpid()) + "\n";
    unsigned long long started = 0;
    if (processStartTicks("/proc/self/stat", &started))
        line += std::to_string(started) + "\n";
    bool ok = writeAll(fd, line.data(), line.size());
    if (sysClose(fd) != 0)
        ok = false;
    int error = ok ? 0 : errno;
    RunMarker result = RunMarker::Failed;
    if (ok) {
        if (sysLink(tmp.c_str(), path.c_str()) == 0) {
            result = RunMarker::Created;
        } else if (errno == EEXIST) {
            result = RunMarker::AlreadyExists;
        } else {
            error = errno;
        }
    }
    sysUnlink(tmp.c_str());
    errno = error;  // for the caller to name
    return result;
}

// Where the further holders of a marker record themselves: one marker each,
// named by its pid, under run/<kind>/.held/<name>/.
std::string holdersDir(const std::string& path) {
    size_t slash = path.rfind('/');
    return parentOf(path) + "/.held/" + path.substr(slash + 1);
}

std::string ownHolderPath(const std::string& path) {
    return holdersDir(path) + "/" + std::to_string(getpid());
}

bool validMarkerName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    if (name.size() > kMaxRunMarkerName)
        return false;
    return name.find('/') == std::string::npos;
}

}  // namespace

bool runMarkerPath(const char* kind, const char16_t* name, std::string* path) {
    if (name == nullptr || kind == nullptr)
        return false;
    std::string utf8Name;
    if (!u16ToUtf8(name, u16len(name), &utf8Name) || !validMarkerName(utf8Name))
        return false;
    // run/ is made only inside a device: never in a directory that is not
    // one (a mistyped CE_DEVICE_DIR), which would then look like one.
    if (!deviceDirUsable())
        return false;
    std::string runDir = deviceRunDir();
    sysMakeDeviceFolder(runDir.c_str(), 0755);
    std::string kindDir = runDir + "/" + kind;
    sysMakeDeviceFolder(kindDir.c_str(), 0755);
    *path = kindDir + "/" + utf8Name;
    return true;
}

pid_t liveRunMarkerOwner(const std::string& path) {
    const MarkerContent marker = readMarker(path);
    return markerAlive(marker) ? marker.pid : 0;
}

RunMarker createRunMarker(const std::string& path) {
    int lock = lockKind(path);
    if (lock < 0)
        return markerFailed(path, errno);
    RunMarker result;
    if (liveRunMarkerOwner(path) != 0) {
        result = RunMarker::AlreadyExists;
    } else {
        // Absent, stale or malformed: whatever lies there names no live
        // process.  Under the lock nobody else replaces it meanwhile.
        if (sysUnlink(path.c_str()) != 0 && errno != ENOENT) {
            int error = errno;
            unlockKind(lock);
            return markerFailed(path, error);
        }
        result = linkNewMarker(path);
        if (result == RunMarker::Failed)
            markerFailed(path, errno);
    }
    unlockKind(lock);
    return result;
}

bool removeOwnRunMarker(const std::string& path) {
    int lock = lockKind(path);
    bool ok = true;
    if (readMarker(path).pid == getpid()) {
        ok = sysUnlink(path.c_str()) == 0 || errno == ENOENT;
    }
    unlockKind(lock);
    return ok;
}

RunMarker joinRunMarker(const std::string& path) {
    int lock = lockKind(path);
    if (lock < 0)
        return markerFailed(path, errno);
    RunMarker result = RunMarker::AlreadyExists;
    pid_t owner = liveRunMarkerOwner(path);
    if (owner == 0) {
        if (sysUnlink(path.c_str()) != 0 && errno != ENOENT) {
            int error = errno;
            unlockKind(lock);
            return markerFailed(path, error);
        }
        result = linkNewMarker(path);
        if (result == RunMarker::Failed)
            markerFailed(path, errno);
    } else if (owner != getpid()) {
        const std::string dir = holdersDir(path);
        sysMakeDeviceFolder((parentOf(path) + "/.held").c_str(), 0755);
        sysMakeDeviceFolder(dir.c_str(), 0755);
        const std::string mine = ownHolderPath(path);
        sysUnlink(mine.c_str());  // left by a gone process that had this id
        // Without the record the event still reports that it existed; it
        // merely ends with its owner, as it did before holders were kept.
        linkNewMarker(mine);
    }
    unlockKind(lock);
    return result;
}

void leaveRunMarker(const std::string& path) {
    int lock = lockKind(path);
    if (lock < 0)
        return;
    const std::string dir = holdersDir(path);
    sysUnlink(ownHolderPath(path).c_str());
    if (readMarker(path).pid == getpid()) {
        bool passedOn = false;
        std::vector<std::string> names;
        if (listDirectoryNames(AT_FDCWD, dir.c_str(), &names)) {
            for (const std::string& name : names) {
                if (name[0] == '.')
                    continue;
                const std::string holder = dir + "/" + name;
                MarkerContent marker = readMarker(holder);
                if (!passedOn && marker.pid != getpid() && markerAlive(marker)) {
                    // The holder's own record becomes the event's marker.
                    passedOn = sysRename(holder.c_str(), path.c_str()) == 0;
                } else if (!markerAlive(marker)) {
                    sysUnlink(holder.c_str());
                }
            }
        }
        if (!passedOn)
            sysUnlink(path.c_str());
    }
    sysRmdir(dir.c_str());  // only when no holder is left
    unlockKind(lock);
}

void removeStaleRunMarker(const std::string& path) {
    // Only a marker naming a process that is gone: an empty or malformed
    // file may be one that its writer has not finished yet.  Looked at
    // first without the lock, so that an absent marker costs no lock.
    MarkerContent marker = readMarker(path);
    if (marker.pid <= 0 || markerAlive(marker))
        return;
    int lock = lockKind(path);
    if (lock < 0)
        return;
    // Under the lock again: a creator may have replaced it meanwhile.
    marker = readMarker(path);
    if (marker.pid > 0 && !markerAlive(marker))
        sysUnlink(path.c_str());
    unlockKind(lock);
}

}  // namespace ce::posix
