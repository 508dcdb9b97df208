// The memory of the last directory resolved: fs/ of the current device
// kept open, and the device path, host names and open descriptors of the
// directory resolved last, so that the next path below, beside or above it
// costs a few system calls whatever its depth.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/fs/fs_path.h"
#include "platform/posix/fs/path_walk.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

void forgetWalker(State& s) {
    closeLevels(s.walker);
    s.walker.followedLink = false;
    s.walker.hops = 0;
    s.valid = false;
    s.key.clear();
    s.ends.clear();
}

// True when rootFd is still the directory that the device's fs/ path names
// (it may have been removed and made anew).
bool rootStillCurrent(const State& s) {
    struct stat byPath;
    struct stat byFd;
    return sysStat(s.rootPath.c_str(), &byPath) == 0 && sysCalls().fstat(s.rootFd, &byFd) == 0 &&
           byFd.st_nlink > 0 && byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

bool stillExists(int fd) {
    struct stat st;
    return sysCalls().fstat(fd, &st) == 0 && st.st_nlink > 0;
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

}  // namespace

State& state() {
    // Never destroyed: no program end can find it half torn down.
    static State* s = new State;
    return *s;
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
    int fd = sysOpen(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    s.rootFd = fd;
    s.walker.rootFd = fd;
    s.rootPath = root;
    char* real = sysCalls().realpath(root.c_str());
    s.rootReal = real != nullptr ? real : root;
    free(real);
    return true;
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

// Leaves s.walker in the directory raw[0, len) (a device path whose first
// unit, when len > 0, is a separator; len 0 is fs/ itself).  `matched` is
// matchedUnits(s, raw).  A failure from
// the remembered directory is tried again from fs/, and a failure from a
// fs/ that has been replaced again from the new one.
bool resolveDirectory(State& s, const char16_t* raw, size_t len, size_t matched) {
    // What failed is told by errno, which the clean-up after a failed
    // attempt must not change.
    int error = 0;
    auto failed = [&] {
        errno = error;
        return false;
    };
    if (s.valid) {
        Outcome o = resolveDirectoryOnce(s, raw, len, matched, true);
        if (o == Outcome::Found)
            return true;
        error = errno;
        forgetWalker(s);
        if (o == Outcome::NotFound)
            return failed();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (resolveDirectoryOnce(s, raw, len, 0, false) == Outcome::Found)
            return true;
        error = errno;
        forgetWalker(s);
        if (attempt > 0 || rootStillCurrent(s))
            return failed();
        dropRoot(s);
        if (!prepareRoot(s))
            return false;
    }
    return failed();
}

void forgetResolvedDirectory() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    dropRoot(s);
}

}  // namespace ce::posix
