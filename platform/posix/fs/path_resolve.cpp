// Resolving device paths to host entries below fs/, one component at a
// time, and following the symbolic links met on the way while they stay
// inside fs/.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/posix/fs/fs_path.h"
#include "platform/posix/fs/path_walk.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

int dupFd(int fd) {
    return sysCalls().dupCloexec(fd);
}

// Opens a directory one component below dirFd, never through a link.  Read
// access lets it be listed later; a directory that may be searched but not
// read is still passed through.
int openLevel(int dirFd, const char* name) {
    int fd = openRetrying(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
#ifdef O_PATH
    if (fd < 0 && errno == EACCES)
        fd = openRetrying(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
#endif
    return fd;
}

void pushLevel(Walker& w, int fd, const std::string& name) {
    w.host.push_back(name);
    w.fds.push_back(fd);
    size_t n = w.fds.size();
    if (n > kOpenLevels)
        closeFd(w.fds[n - kOpenLevels - 1]);
    w.deepestUnread = true;
}

// A walker of its own standing where w stands, for a detour through links
// that must not move w.
bool copyWalker(const Walker& w, Walker* copy) {
    copy->rootFd = w.rootFd;
    copy->host = w.host;
    copy->fds.assign(w.fds.size(), -1);
    copy->hops = w.hops;
    copy->followedLink = w.followedLink;
    if (!w.fds.empty()) {
        copy->fds.back() = dupFd(w.fds.back());
        if (copy->fds.back() < 0) {
            closeLevels(*copy);
            return false;
        }
    }
    return true;
}

// The search of lookupChild among a directory's entries.
struct CaseSearch {
    const std::string* name;
    std::u16string want;  // the name in lower case
    std::u16string candidate;
    std::string found;
    mode_t type = 0;
};

void matchByCase(void* context, const char* entryName, unsigned char, int dirFd) {
    CaseSearch& c = *static_cast<CaseSearch*>(context);
    if (!c.found.empty())
        return;  // the first match in directory order wins
    size_t len = strlen(entryName);
    // Every character that u16lowerChar changes keeps its UTF-8 length, so a
    // name of another byte length cannot match.
    if (len != c.name->size())
        return;
    if (!utf8ToU16(entryName, len, &c.candidate) || c.candidate.size() != c.want.size())
        return;
    for (size_t i = 0; i < c.want.size(); ++i) {
        if (u16lowerChar(c.candidate[i]) != c.want[i])
            return;
    }
    struct stat st;
    if (sysCalls().fstatat(dirFd, entryName, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    c.found = entryName;
    c.type = st.st_mode & S_IFMT;
}

// Finds `name` in directory fd: exactly as written, else the first entry
// (in directory order) whose name differs only in case.  *type receives its
// kind, links not followed.  *missing tells a name that is not there from
// a directory that cannot be searched or read to its end.
bool lookupChild(int fd, const std::string& name, std::string* hostName, mode_t* type,
                 bool* missing) {
    *missing = false;
    struct stat st;
    if (sysCalls().fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *hostName = name;
        *type = st.st_mode & S_IFMT;
        return true;
    }
    if (errno != ENOENT)
        return false;
    CaseSearch search;
    search.name = &name;
    if (!utf8ToU16(name.data(), name.size(), &search.want))
        return false;
    for (char16_t& c : search.want)
        c = u16lowerChar(c);
    // A descriptor of its own, so that fd's listing position stays.
    int dirFd = openRetrying(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    // A listing cut short must not pass for a missing name: the caller
    // would then make a second entry beside one that differs in case.
    bool listed = readEntries(state(), dirFd, true, matchByCase, &search);
    sysClose(dirFd);
    if (!listed)
        return false;
    if (search.found.empty()) {
        *missing = true;
        return false;
    }
    *hostName = search.found;
    *type = search.type;
    return true;
}

// Target below root: *rest receives its part after root ("" for root itself).
bool targetBelow(const std::string& target, const std::string& root, std::string* rest) {
    if (root.empty())
        return false;
    if (target == root) {
        rest->clear();
        return true;
    }
    if (target.size() > root.size() && target.compare(0, root.size(), root) == 0 &&
        target[root.size()] == '/') {
        *rest = target.substr(root.size() + 1);
        return true;
    }
    return false;
}

bool fillEntry(const Walker& w, const std::string& name, bool exists, mode_t type,
               DeviceEntry* entry) {
    entry->dirFd = dupFd(w.fd());
    if (entry->dirFd < 0)
        return false;
    entry->name = name;
    entry->exists = exists;
    entry->type = type;
    return true;
}

bool buildHostPath(const State& s, const Walker& w, const std::string& name, std::string* out) {
    std::string path = s.rootPath;
    for (const std::string& h : w.host) {
        path += '/';
        path += h;
        if (path.size() >= PATH_MAX)
            return false;
    }
    if (name != ".") {
        path += '/';
        path += name;
    }
    if (path.size() >= PATH_MAX)
        return false;
    *out = std::move(path);
    return true;
}

bool isDotName(const char16_t* s, size_t n) {
    return (n == 1 && s[0] == u'.') || (n == 2 && s[0] == u'.' && s[1] == u'.');
}

// No name on the device holds a control character or one of * ? : " < > |
// (its listings leave such host names out), so none is made: false, with
// errno EILSEQ, for such a new name.
bool deviceMayHoldName(const std::string& name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr(kCharsNoDeviceName, c) != nullptr) {
            errno = EILSEQ;
            return false;
        }
    }
    return true;
}

bool resolveLocked(State& s, const char16_t* path, LeafMode mode, DeviceEntry* entry,
                   std::string* hostPath) {
    if (path == nullptr || path[0] != u'\\' || !prepareRoot(s))
        return false;
    size_t len = u16len(path);
    size_t leafStart = len;
    while (leafStart > 0 && !isSeparator(path[leafStart - 1]))
        --leafStart;
    size_t leafLen = len - leafStart;
    if (leafLen == 0 || isDotName(path + leafStart, leafLen)) {
        if (!resolveDirectory(s, path, len, matchedUnits(s, path)))
            return false;
        if (hostPath != nullptr && !buildHostPath(s, s.walker, ".", hostPath))
            return false;
        return fillEntry(s.walker, ".", true, S_IFDIR, entry);
    }
    std::string leaf;
    if (!u16ToUtf8(path + leafStart, leafLen, &leaf))
        return false;
    if (!resolveDirectory(s, path, leafStart - 1, matchedUnits(s, path)))
        return false;

    std::string hostName;
    mode_t type = 0;
    bool missing = false;
    if (!lookupChild(s.walker.fd(), leaf, &hostName, &type, &missing)) {
        if (!missing || mode != LeafMode::MayCreate || !deviceMayHoldName(leaf))
            return false;
        if (hostPath != nullptr && !buildHostPath(s, s.walker, leaf, hostPath))
            return false;
        return fillEntry(s.walker, leaf, false, 0, entry);
    }
    if (type != S_IFLNK || mode == LeafMode::NoFollow) {
        if (hostPath != nullptr && !buildHostPath(s, s.walker, hostName, hostPath))
            return false;
        return fillEntry(s.walker, hostName, true, type, entry);
    }
    // A link as the entry: follow it on a walker of its own, so that the
    // remembered directory stays where it is.
    Walker w;
    if (!copyWalker(s.walker, &w))
        return false;
    std::vector<std::string> pending{leaf};
    bool ok = walkPending(s, w, pending, mode, entry);
    if (ok && hostPath != nullptr && !buildHostPath(s, w, entry->name, hostPath)) {
        closeDeviceEntry(entry);
        ok = false;
    }
    closeLevels(w);
    return ok;
}

}  // namespace

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

void closeFd(int& fd) {
    if (fd >= 0)
        sysClose(fd);
    fd = -1;
}

void closeLevels(Walker& w) {
    for (int& fd : w.fds)
        closeFd(fd);
    w.fds.clear();
    w.host.clear();
    w.deepestUnread = false;
}

bool stepInto(Walker& w, const std::string& hostName) {
    int fd = openLevel(w.fd(), hostName.c_str());
    if (fd < 0)
        return false;
    pushLevel(w, fd, hostName);
    return true;
}

// One directory up; false at fs/ itself, which nothing may leave.
bool stepUp(Walker& w) {
    size_t n = w.fds.size();
    if (n == 0)
        return false;
    if (n >= 2 && w.fds[n - 2] < 0) {
        int parent = openLevel(w.fds[n - 1], "..");
        if (parent < 0)
            return false;
        w.fds[n - 2] = parent;
    }
    closeFd(w.fds[n - 1]);
    w.fds.pop_back();
    w.host.pop_back();
    w.deepestUnread = false;
    return true;
}

bool startAtRoot(Walker& w) {
    closeLevels(w);
    return w.rootFd >= 0;
}

// Enters the directory `name` below the walker's directory, found as
// lookupChild finds it.  A link is not entered: *linkName receives it.
Step enterChild(Walker& w, const std::string& name, std::string* linkName) {
    int fd = openLevel(w.fd(), name.c_str());
    if (fd >= 0) {
        pushLevel(w, fd, name);
        return Step::Entered;
    }
    int err = errno;
    std::string hostName = name;
    mode_t type = 0;
    if (err == ENOENT) {
        bool missing = false;
        if (!lookupChild(w.fd(), name, &hostName, &type, &missing))
            return missing ? Step::Missing : Step::Failed;
    } else if (err == ELOOP || err == ENOTDIR) {
        struct stat st;
        if (sysCalls().fstatat(w.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Step::Failed;
        type = st.st_mode & S_IFMT;
    } else {
        return Step::Failed;
    }
    if (type == S_IFLNK) {
        *linkName = hostName;
        return Step::Link;
    }
    if (type != S_IFDIR)
        return Step::NotDirectory;
    return stepInto(w, hostName) ? Step::Entered : Step::Failed;
}

// Puts the target of the link `hostName` (in w's directory) in front of
// `pending`, a stack whose next component is its last element.  An absolute
// target must lie below fs/ and restarts w there.
bool expandLink(const State& s, Walker& w, const std::string& hostName,
                std::vector<std::string>& pending) {
    if (++w.hops > kMaxLinkHops)
        return false;
    char buf[PATH_MAX];
    ssize_t n = sysCalls().readlinkat(w.fd(), hostName.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf)
        return false;
    std::string target(buf, static_cast<size_t>(n));
    if (target[0] == '/') {
        std::string rest;
        if (!targetBelow(target, s.rootReal, &rest) && !targetBelow(target, s.rootPath, &rest))
            return false;
        if (!startAtRoot(w))
            return false;
        target = rest;
    }
    w.followedLink = true;
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= target.size()) {
        size_t slash = target.find('/', pos);
        if (slash == std::string::npos)
            slash = target.size();
        if (slash > pos)
            parts.push_back(target.substr(pos, slash - pos));
        pos = slash + 1;
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        pending.push_back(*it);
    return true;
}

// Walks the components of `pending` (next one last) from w's directory,
// following links.  With an entry to fill, the last component is the
// entry, looked up as `mode` says; otherwise all are directories.  ".." here
// comes only from link targets, and fails at fs/ itself.
bool walkPending(const State& s, Walker& w, std::vector<std::string>& pending, LeafMode mode,
                 DeviceEntry* entry) {
    while (!pending.empty()) {
        std::string comp = std::move(pending.back());
        pending.pop_back();
        bool isLeaf = entry != nullptr && pending.empty();
        if (comp == ".")
            continue;
        if (comp == "..") {
            if (!stepUp(w))
                return false;
            continue;
        }
        if (!isLeaf) {
            std::string linkName;
            Step step = enterChild(w, comp, &linkName);
            if (step == Step::Link) {
                if (!expandLink(s, w, linkName, pending))
                    return false;
            } else if (step != Step::Entered) {
                return false;
            }
            continue;
        }
        std::string hostName;
        mode_t type = 0;
        bool missing = false;
        if (!lookupChild(w.fd(), comp, &hostName, &type, &missing)) {
            if (missing && mode == LeafMode::MayCreate && deviceMayHoldName(comp))
                return fillEntry(w, comp, false, 0, entry);
            return false;
        }
        if (type == S_IFLNK && mode != LeafMode::NoFollow) {
            if (!expandLink(s, w, hostName, pending))
                return false;
            continue;
        }
        return fillEntry(w, hostName, true, type, entry);
    }
    // The path ended on a directory (".", "..", or a link to a directory).
    return entry == nullptr || fillEntry(w, ".", true, S_IFDIR, entry);
}

bool resolveDevicePath(const char16_t* devicePath, LeafMode mode, DeviceEntry* entry,
                       std::string* hostPath) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    *entry = DeviceEntry{};
    return resolveLocked(s, devicePath, mode, entry, hostPath);
}

void closeDeviceEntry(DeviceEntry* entry) {
    closeFd(entry->dirFd);
    entry->exists = false;
}

bool deviceToHostPath(const char16_t* devicePath, std::string* hostPath) {
    DeviceEntry entry;
    if (!resolveDevicePath(devicePath, LeafMode::MayCreate, &entry, hostPath))
        return false;
    closeDeviceEntry(&entry);
    return true;
}

}  // namespace ce::posix
