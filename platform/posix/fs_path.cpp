#include "platform/posix/fs_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/posix/device_dir.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// Bytes read from a directory per system call while listing it.
constexpr size_t kListBufferBytes = 64 * 1024;

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

void closeFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

int dupFd(int fd) {
    return fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// Opens a directory one component below dirFd, never through a link.  Read
// access lets it be listed later; a directory that may be searched but not
// read is still passed through.
int openLevel(int dirFd, const char* name) {
    int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
#ifdef O_PATH
    if (fd < 0 && errno == EACCES)
        fd = openat(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
#endif
    return fd;
}

// Where a resolution stands: a directory below fs/, the host names of the
// directories that lead to it, and descriptors of the deepest of them (an
// open suffix of fds; the others are -1).
struct Walker {
    int rootFd = -1;  // fs/, owned by the state
    std::vector<std::string> host;
    std::vector<int> fds;
    bool deepestUnread = false;  // the deepest descriptor is at the start of its listing
    bool followedLink = false;
    int hops = 0;

    int fd() const { return fds.empty() ? rootFd : fds.back(); }
};

void closeLevels(Walker& w) {
    for (int& fd : w.fds)
        closeFd(fd);
    w.fds.clear();
    w.host.clear();
    w.deepestUnread = false;
}

void pushLevel(Walker& w, int fd, const std::string& name) {
    w.host.push_back(name);
    w.fds.push_back(fd);
    size_t n = w.fds.size();
    if (n > kOpenLevels)
        closeFd(w.fds[n - kOpenLevels - 1]);
    w.deepestUnread = true;
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

struct State {
    std::mutex mutex;
    std::string rootPath;  // host path of fs/ as the device directory names it
    std::string rootReal;  // the same with links resolved, for absolute link targets
    int rootFd = -1;
    // The last directory resolved without following a link: its device path
    // in clean form ("\a\b"; "" for the root), where each of its components
    // ends in that text, and the walker standing in it.
    bool valid = false;
    std::u16string key;
    std::vector<size_t> ends;
    Walker walker;
    std::vector<char> listBuffer;
};

State& state() {
    // Never destroyed: no program end can find it half torn down.
    static State* s = new State;
    return *s;
}

void forgetWalker(State& s) {
    closeLevels(s.walker);
    s.walker.followedLink = false;
    s.walker.hops = 0;
    s.valid = false;
    s.key.clear();
    s.ends.clear();
}

void dropRoot(State& s) {
    forgetWalker(s);
    closeFd(s.rootFd);
    s.walker.rootFd = -1;
    s.rootPath.clear();
    s.rootReal.clear();
}

// Makes sure rootFd is fs/ of the current device directory.  Costs no
// system call while the device stays the same; rootStillCurrent checks the
// rest when a resolution fails.
bool prepareRoot(State& s) {
    if (s.rootFd >= 0 && s.rootPath == deviceDirPath() + "/fs")
        return true;
    dropRoot(s);
    std::string root = deviceFsRoot();
    // fs/ itself may be a link; only what lies below it is guarded.
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    s.rootFd = fd;
    s.walker.rootFd = fd;
    s.rootPath = root;
    char* real = realpath(root.c_str(), nullptr);
    s.rootReal = real != nullptr ? real : root;
    free(real);
    return true;
}

// True when rootFd is still the directory that the device's fs/ path names
// (it may have been removed and made anew).
bool rootStillCurrent(const State& s) {
    struct stat byPath;
    struct stat byFd;
    return stat(s.rootPath.c_str(), &byPath) == 0 && fstat(s.rootFd, &byFd) == 0 &&
           byFd.st_nlink > 0 && byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

bool stillExists(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && st.st_nlink > 0;
}

// Finds `name` in directory fd: exactly as written, else the first entry
// (in directory order) whose name differs only in case.  *type receives its
// kind, links not followed.  *missing tells a name that is not there from
// a directory that cannot be searched.
// A directory stream over the directory fd names, on a descriptor of its
// own so that closing the stream leaves fd open.
DIR* openDirAt(int fd) {
    int dfd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return nullptr;
    DIR* dir = fdopendir(dfd);
    if (dir == nullptr)
        close(dfd);
    return dir;
}

bool lookupChild(int fd, const std::string& name, std::string* hostName, mode_t* type,
                 bool* missing) {
    *missing = false;
    struct stat st;
    if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *hostName = name;
        *type = st.st_mode & S_IFMT;
        return true;
    }
    if (errno != ENOENT)
        return false;
    std::u16string want;
    if (!utf8ToU16(name.data(), name.size(), &want))
        return false;
    for (char16_t& c : want)
        c = u16lowerChar(c);
    DIR* dir = openDirAt(fd);
    if (dir == nullptr)
        return false;
    bool found = false;
    std::u16string candidate;
    while (struct dirent* e = readdir(dir)) {
        size_t len = strlen(e->d_name);
        // Every character that u16lowerChar changes keeps its UTF-8 length,
        // so a name of another byte length cannot match.
        if (len != name.size())
            continue;
        if (!utf8ToU16(e->d_name, len, &candidate) || candidate.size() != want.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < want.size() && same; ++i)
            same = u16lowerChar(candidate[i]) == want[i];
        if (!same || fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        *hostName = e->d_name;
        *type = st.st_mode & S_IFMT;
        found = true;
        break;
    }
    closedir(dir);
    *missing = !found;
    return found;
}

enum class Step { Entered, Link, NotDirectory, Missing, Failed };

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
        if (fstatat(w.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
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

// Puts the target of the link `hostName` (in w's directory) in front of
// `pending`, a stack whose next component is its last element.  An absolute
// target must lie below fs/ and restarts w there.
bool expandLink(const State& s, Walker& w, const std::string& hostName,
                std::vector<std::string>& pending) {
    if (++w.hops > kMaxLinkHops)
        return false;
    char buf[PATH_MAX];
    ssize_t n = readlinkat(w.fd(), hostName.c_str(), buf, sizeof buf);
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
            if (missing && mode == LeafMode::MayCreate)
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

// How many units at the start of raw equal the remembered path.  The
// comparison stops at raw's terminator, as the remembered path holds no
// NUL, so raw's length need not be known beforehand: one pass over a long
// path instead of two.
size_t matchedUnits(const State& s, const char16_t* raw) {
    if (!s.valid)
        return 0;
    const char16_t* key = s.key.data();
    size_t n = s.key.size();
    size_t m = 0;
    while (m < n && raw[m] == key[m])
        ++m;
    return m;
}

// How many leading components the directory raw[0, len) shares with the
// remembered path, given that their first `matched` units are equal.
size_t sharedDepth(const State& s, const char16_t* raw, size_t len, size_t matched) {
    if (!s.valid)
        return 0;
    size_t m = std::min(matched, len);
    size_t k =
        static_cast<size_t>(std::upper_bound(s.ends.begin(), s.ends.end(), m) - s.ends.begin());
    // The last shared component must end where raw's component ends too.
    if (k > 0 && s.ends[k - 1] < len && !isSeparator(raw[s.ends[k - 1]]))
        --k;
    return k;
}

struct Span {
    size_t start;
    size_t len;
};

// Splits raw[from, len) into components.  Empty ones and "." vanish; ".."
// removes the component before it, or, when none of the remainder is left,
// lowers *base (never below the root).
void splitRemainder(const char16_t* raw, size_t from, size_t len, size_t* base,
                    std::vector<Span>* comps) {
    size_t pos = from;
    while (pos < len) {
        while (pos < len && isSeparator(raw[pos]))
            ++pos;
        size_t start = pos;
        while (pos < len && !isSeparator(raw[pos]))
            ++pos;
        size_t n = pos - start;
        if (n == 0 || (n == 1 && raw[start] == u'.'))
            continue;
        if (n == 2 && raw[start] == u'.' && raw[start + 1] == u'.') {
            if (!comps->empty()) {
                comps->pop_back();
            } else if (*base > 0) {
                --*base;
            }
            continue;
        }
        comps->push_back(Span{start, n});
    }
}

// Brings the walker to the first `base` components of the remembered path:
// up through the open descriptors and "..", or down from fs/ by the known
// host names when that is shorter.
bool positionAt(State& s, size_t base) {
    Walker& w = s.walker;
    size_t up = w.host.size() - base;
    if (up > base) {
        std::vector<std::string> names(w.host.begin(),
                                       w.host.begin() + static_cast<ptrdiff_t>(base));
        if (!startAtRoot(w))
            return false;
        for (const std::string& name : names) {
            if (!stepInto(w, name))
                return false;
        }
    } else {
        for (size_t i = 0; i < up; ++i) {
            if (!stepUp(w))
                return false;
        }
    }
    s.key.resize(base > 0 ? s.ends[base - 1] : 0);
    s.ends.resize(base);
    return true;
}

enum class Outcome { Found, NotFound, Retry };

// One attempt at resolving the directory raw[0, len), from the remembered
// directory when fromMemory, else from fs/.
Outcome resolveDirectoryOnce(State& s, const char16_t* raw, size_t len, size_t matched,
                             bool fromMemory) {
    size_t base = fromMemory ? sharedDepth(s, raw, len, matched) : 0;
    size_t from = base > 0 ? s.ends[base - 1] : 0;
    std::vector<Span> comps;
    splitRemainder(raw, from, len, &base, &comps);
    if (fromMemory) {
        if (!positionAt(s, base))
            return Outcome::Retry;
    } else {
        s.key.clear();
        s.ends.clear();
        if (!startAtRoot(s.walker))
            return Outcome::NotFound;
    }
    Walker& w = s.walker;
    w.followedLink = false;
    w.hops = 0;
    s.valid = false;
    if (comps.empty() && !stillExists(w.fd()))
        return Outcome::Retry;  // nothing was looked up that would have noticed
    std::string name;
    std::string linkName;
    for (size_t i = 0; i < comps.size(); ++i) {
        const Span& c = comps[i];
        if (!u16ToUtf8(raw + c.start, c.len, &name))
            return Outcome::NotFound;
        Step step = enterChild(w, name, &linkName);
        if (step == Step::Link) {
            // The rest of the way follows a link: walk it component by
            // component; what it reaches is not remembered.
            std::vector<std::string> pending;
            for (size_t j = comps.size(); j > i + 1; --j) {
                std::string rest;
                if (!u16ToUtf8(raw + comps[j - 1].start, comps[j - 1].len, &rest))
                    return Outcome::NotFound;
                pending.push_back(rest);
            }
            if (!expandLink(s, w, linkName, pending) ||
                !walkPending(s, w, pending, LeafMode::MustExist, nullptr)) {
                return Outcome::Retry;
            }
            return Outcome::Found;
        }
        if (step != Step::Entered)
            return Outcome::Retry;
        s.key.push_back(u'\\');
        s.key.append(raw + c.start, c.len);
        s.ends.push_back(s.key.size());
    }
    s.valid = true;
    return Outcome::Found;
}

// Leaves s.walker in the directory raw[0, len) (a device path whose first
// unit, when len > 0, is a separator; len 0 is fs/ itself).  `matched` is
// matchedUnits(s, raw).  A failure from
// the remembered directory is tried again from fs/, and a failure from a
// fs/ that has been replaced again from the new one.
bool resolveDirectory(State& s, const char16_t* raw, size_t len, size_t matched) {
    if (s.valid) {
        Outcome o = resolveDirectoryOnce(s, raw, len, matched, true);
        if (o == Outcome::Found)
            return true;
        forgetWalker(s);
        if (o == Outcome::NotFound)
            return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (resolveDirectoryOnce(s, raw, len, 0, false) == Outcome::Found)
            return true;
        forgetWalker(s);
        if (attempt > 0 || rootStillCurrent(s))
            return false;
        dropRoot(s);
        if (!prepareRoot(s))
            return false;
    }
    return false;
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
        if (!missing || mode != LeafMode::MayCreate)
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

// Reads the directory open as fd from its start, handing each entry to visit.
bool readEntries(State& s, int fd, bool atStart, DirectoryVisitor visit, void* context) {
#ifdef SYS_getdents64
    // The kernel's own listing call: no second descriptor, no stream set-up.
    if (!atStart && lseek(fd, 0, SEEK_SET) != 0)
        return false;
    if (s.listBuffer.size() < kListBufferBytes)
        s.listBuffer.resize(kListBufferBytes);
    char* buf = s.listBuffer.data();
    for (;;) {
        long n = syscall(SYS_getdents64, fd, buf, kListBufferBytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        long pos = 0;
        while (pos < n) {
            // struct linux_dirent64: inode, offset, record length, type, name.
            const char* rec = buf + pos;
            unsigned short reclen;
            memcpy(&reclen, rec + 16, sizeof reclen);
            unsigned char type = static_cast<unsigned char>(rec[18]);
            visit(context, rec + 19, type, fd);
            pos += reclen;
        }
    }
#else
    (void)s;
    (void)atStart;
    DIR* dir = openDirAt(fd);
    if (dir == nullptr)
        return false;
    bool ok = true;
    for (;;) {
        errno = 0;
        struct dirent* e = readdir(dir);
        if (e == nullptr) {
            ok = errno == 0;
            break;
        }
        visit(context, e->d_name, e->d_type, dirfd(dir));
    }
    closedir(dir);
    return ok;
#endif
}

}  // namespace

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

bool listDeviceDirectory(const char16_t* pattern, size_t* namePatternStart, DirectoryVisitor visit,
                         void* context) {
    if (pattern == nullptr || pattern[0] != u'\\' || visit == nullptr)
        return false;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!prepareRoot(s))
        return false;
    // The part of the pattern that equals the remembered path has its
    // separators where that path has them; only the rest is scanned.
    size_t matched = matchedUnits(s, pattern);
    size_t lastSeparator = 0;
    auto known = std::lower_bound(s.ends.begin(), s.ends.end(), matched);
    if (s.valid && known != s.ends.begin())
        lastSeparator = *(known - 1);
    for (size_t i = matched; pattern[i] != 0; ++i) {
        if (isSeparator(pattern[i]))
            lastSeparator = i;
    }
    *namePatternStart = lastSeparator + 1;
    if (!resolveDirectory(s, pattern, lastSeparator, matched))
        return false;
    bool atStart = s.walker.deepestUnread && !s.walker.fds.empty();
    s.walker.deepestUnread = false;
    return readEntries(s, s.walker.fd(), atStart, visit, context);
}

bool deviceToHostPath(const char16_t* devicePath, std::string* hostPath) {
    DeviceEntry entry;
    if (!resolveDevicePath(devicePath, LeafMode::MayCreate, &entry, hostPath))
        return false;
    closeDeviceEntry(&entry);
    return true;
}

void forgetResolvedDirectory() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    dropRoot(s);
}

}  // namespace ce::posix
