#include "platform/posix/run_dir.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/posix/device_dir.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// The first line of a marker is a pid; anything longer is not one.
constexpr size_t kMaxMarkerBytes = 64;

// The first line of the file as a positive decimal pid, else 0.  Blanks and
// a CR before the line end are tolerated; anything else makes it malformed.
pid_t readMarkerPid(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    char buf[kMaxMarkerBytes];
    size_t len = 0;
    while (len < sizeof buf) {
        ssize_t n = read(fd, buf + len, sizeof buf - len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        len += static_cast<size_t>(n);
    }
    close(fd);
    size_t i = 0;
    while (i < len && (buf[i] == ' ' || buf[i] == '\t'))
        ++i;
    long long pid = 0;
    size_t digits = 0;
    while (i < len && buf[i] >= '0' && buf[i] <= '9') {
        pid = pid * 10 + (buf[i] - '0');
        if (pid > INT_MAX)
            return 0;
        ++i;
        ++digits;
    }
    while (i < len && (buf[i] == ' ' || buf[i] == '\t' || buf[i] == '\r'))
        ++i;
    if (digits == 0 || (i < len && buf[i] != '\n'))
        return 0;
    // 0 and negative ids name process groups for kill(): never a marker.
    if (pid <= 0)
        return 0;
    return static_cast<pid_t>(pid);
}

bool processAlive(pid_t pid) {
    if (pid <= 0)
        return false;
    if (kill(pid, 0) == 0)
        return true;
    return errno == EPERM;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Serialises the changes of one kind of marker between processes.  Readers
// do not take it: they see a marker either absent or complete.
int lockKind(const std::string& markerPath) {
    std::string lockPath = parentOf(markerPath) + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

void unlockKind(int fd) {
    if (fd >= 0)
        close(fd);
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes "<pid>\n" to a private file beside the kind's directory and links
// it to the marker's name: link() fails when the name exists, and the
// marker appears with its whole content at once.
RunMarker linkNewMarker(const std::string& path) {
    static unsigned counter = 0;
    std::string tmp =
        parentOf(path) + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return RunMarker::Failed;
    std::string line = std::to_string(getpid()) + "\n";
    bool ok = writeAll(fd, line.data(), line.size());
    if (close(fd) != 0)
        ok = false;
    RunMarker result = RunMarker::Failed;
    if (ok) {
        if (link(tmp.c_str(), path.c_str()) == 0) {
            result = RunMarker::Created;
        } else if (errno == EEXIST) {
            result = RunMarker::AlreadyExists;
        }
    }
    unlink(tmp.c_str());
    return result;
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
    std::string runDir = deviceRunDir();
    mkdir(runDir.c_str(), 0755);
    std::string kindDir = runDir + "/" + kind;
    mkdir(kindDir.c_str(), 0755);
    *path = kindDir + "/" + utf8Name;
    return true;
}

pid_t liveRunMarkerOwner(const std::string& path) {
    pid_t pid = readMarkerPid(path);
    return processAlive(pid) ? pid : 0;
}

RunMarker createRunMarker(const std::string& path) {
    int lock = lockKind(path);
    if (lock < 0)
        return RunMarker::Failed;
    RunMarker result;
    if (liveRunMarkerOwner(path) != 0) {
        result = RunMarker::AlreadyExists;
    } else {
        // Absent, stale or malformed: whatever lies there names no live
        // process.  Under the lock nobody else replaces it meanwhile.
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            unlockKind(lock);
            return RunMarker::Failed;
        }
        result = linkNewMarker(path);
    }
    unlockKind(lock);
    return result;
}

bool removeOwnRunMarker(const std::string& path) {
    int lock = lockKind(path);
    bool ok = true;
    if (readMarkerPid(path) == getpid()) {
        ok = unlink(path.c_str()) == 0 || errno == ENOENT;
    }
    unlockKind(lock);
    return ok;
}

void removeStaleRunMarker(const std::string& path) {
    // Only a marker naming a process that is gone: an empty or malformed
    // file may be one that its writer has not finished yet.  Looked at
    // first without the lock, so that an absent marker costs no lock.
    pid_t pid = readMarkerPid(path);
    if (pid <= 0 || processAlive(pid))
        return;
    int lock = lockKind(path);
    if (lock < 0)
        return;
    // Under the lock again: a creator may have replaced it meanwhile.
    pid = readMarkerPid(path);
    if (pid > 0 && !processAlive(pid))
        unlink(path.c_str());
    unlockKind(lock);
}

}  // namespace ce::posix
