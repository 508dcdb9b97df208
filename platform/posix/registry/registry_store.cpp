#include "platform/posix/registry/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/sys/temp_beside.h"

namespace ce::posix {

namespace {

constexpr char kRegistryName[] = "registry.reg";
// A file system whose time stamps carry no nanoseconds may count in whole
// seconds, or in two (FAT): a change within that span keeps the stamp.
constexpr time_t kCoarseStampSeconds = 2;
// Reads of a file that keeps changing while it is read, before it is taken
// as it stands (and read again at the next use).
constexpr int kReadAttempts = 3;
// The longest wait for the stamping clock to leave a file's tick; a longer
// one (a clock set back) is not made, and the file is read again at its
// next use instead.
constexpr long kMaxStampWaitNs = 20 * 1000 * 1000;
// The room a read registry keeps beyond its bytes for edits.
constexpr size_t kEditRoom = 256 * 1024;

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime = {};
    timespec ctime = {};
};

// What this process knows of the registry file.
struct Store {
    std::string path;      // the file `file` was read from
    bool valid = false;    // `file` is the content at path (or the empty registry)
    bool missing = false;  // there was no file
    Identity id;
    bool trusted = false;  // the identity alone tells whether the file changed
    mode_t mode = 0666;    // a new registry's, less the umask
    uid_t owner = 0;       // of the file read: a replacement keeps them
    gid_t group = 0;
    std::shared_ptr<RegFile> file;  // shared with callers of registryRead
};

// Neither is ever destroyed: the writes that wait for the program's exit
// are committed by a handler that runs after the destructors of statics
// made later than it was set.
Store& store() {
    static auto* s = new Store;
    return *s;
}

RegistryFailure& lastFailure() {
    static auto* f = new RegistryFailure;
    return *f;
}

// Notes what failed, at the step that failed; false for the caller to
// pass on.
bool failedBecause(const std::string& what, const std::string& path, const std::string& reason) {
    lastFailure() = RegistryFailure{what + " " + path, reason};
    return false;
}

bool failed(const std::string& what, const std::string& path, int error) {
    return failedBecause(what, path, systemError(error));
}

// A failure with nothing on the host to name.
bool failedQuietly() {
    lastFailure() = RegistryFailure{};
    return false;
}

constexpr char kCannotRead[] = "cannot read the registry";
constexpr char kCannotWrite[] = "cannot write the registry";
constexpr char kCannotWriteIn[] = "cannot write the registry in";
constexpr char kCannotLock[] = "cannot write the registry's lock file";
constexpr char kLeadsNowhere[] = "a symbolic link that leads nowhere";

// A registry.reg that nobody may write (chmod a-w) is read-only, as the
// device's other files are: a rename would replace it all the same, so the
// store refuses, root included.
bool readOnly(const Store& s) {
    return s.valid && !s.missing && (s.mode & 0222) == 0;
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

Identity identityOf(const struct stat& st) {
    Identity id;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
    return id;
}

bool sameIdentity(const Identity& a, const Identity& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size && sameTime(a.mtime, b.mtime) &&
           sameTime(a.ctime, b.ctime);
}

// The clock that stamps files, read now.
timespec stampClock() {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

// True when every change after `now` must give the file a later change
// time than `ctime`: the stamping clock has left the tick of `ctime`.
bool stampIsPast(const timespec& ctime, const timespec& now) {
    if (ctime.tv_nsec == 0)
        return now.tv_sec >= ctime.tv_sec + kCoarseStampSeconds;
    return now.tv_sec > ctime.tv_sec || (now.tv_sec == ctime.tv_sec && now.tv_nsec > ctime.tv_nsec);
}

// Waits until the stamping clock has left the tick of ctime, when that is
// near; returns the clock's time then.
timespec waitPastStamp(const timespec& ctime, timespec now) {
    if (ctime.tv_nsec == 0)
        return now;  // a coarse file system: the wait would be seconds
    for (int round = 0; round < 3 && !stampIsPast(ctime, now); ++round) {
        long ahead = (ctime.tv_sec - now.tv_sec) * 1000000000L + (ctime.tv_nsec - now.tv_nsec);
        timespec res = {};
        clock_getres(CLOCK_REALTIME_COARSE, &res);
        long wait = ahead + res.tv_nsec;
        if (wait > kMaxStampWaitNs)
            break;
        timespec pause = {0, wait > 0 ? wait : res.tv_nsec};
        nanosleep(&pause, nullptr);
        now = stampClock();
    }
    return now;
}

void forget(Store& s) {
    s.valid = false;
    s.trusted = false;
    s.file = nullptr;
}

void keepEmpty(Store& s, const std::string& path) {
    forget(s);
    s.path = path;
    s.valid = true;
    s.missing = true;
    s.trusted = true;
    s.mode = 0666;
    s.owner = geteuid();
    s.group = getegid();
    s.file = std::make_shared<RegFile>();
}

// A registry.reg that is a link leading nowhere (to a card not mounted,
// say) is no empty registry: the first write would replace the link.
bool danglingLink(const std::string& path) {
    struct stat st;
    return sysCalls().fstatat(AT_FDCWD, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISLNK(st.st_mode);
}

enum class ReadResult { Read, Missing, Unreachable };

// A registry larger than the memory there is is one that cannot be read:
// the programs report that, where the allocation would end them.
bool reserveFor(RegBytes* bytes, off_t size) {
    try {
        // Room for a run's edits, so that splicing them in moves the bytes
        // within the buffer instead of into a second one.  Large pages:
        // filling a buffer of megabytes page by page costs more than the
        // read into it.
        bytes->reserve(static_cast<size_t>(size) + kEditRoom);
        adviseLargePages(bytes->data(), bytes->capacity());
        bytes->resize(static_cast<size_t>(size));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Reads the file at path whole and indexes it into the store.
ReadResult load(Store& s, const std::string& path) {
    forget(s);
    for (int attempt = 1;; ++attempt) {
        // O_NONBLOCK: a FIFO of that name must not hang the program.
        int fd = sysOpen(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            if (errno == ENOENT && danglingLink(path)) {
                failedBecause(kCannotRead, path, kLeadsNowhere);
                return ReadResult::Unreachable;
            }
            if (errno == ENOENT)
                return ReadResult::Missing;
            failed(kCannotRead, path, errno);
            return ReadResult::Unreachable;
        }
        struct stat before;
        bool statted = sysCalls().fstat(fd, &before) == 0;
        if (!statted || !S_ISREG(before.st_mode)) {
            int error = errno;
            sysClose(fd);
            if (!statted)
                failed(kCannotRead, path, error);
            else
                failedBecause(kCannotRead, path, "not a regular file");
            return ReadResult::Unreachable;
        }
        if (static_cast<uint64_t>(before.st_size) > kRegistryMaxBytes) {
            sysClose(fd);
            failedBecause(kCannotRead, path, kRegistryTooLarge);
            return ReadResult::Unreachable;
        }
        RegBytes bytes;
        if (!reserveFor(&bytes, before.st_size)) {
            sysClose(fd);
            failed(kCannotRead, path, ENOMEM);
            return ReadResult::Unreachable;
        }
        // A file changed within the stamping clock's tick could change again
        // unseen; once the tick is over, its identity tells every change.
        // So the read starts after the wait, and the buffer is filled while
        // waiting.
        timespec now = waitPastStamp(before.st_ctim, stampClock());
        ssize_t got = preadFull(fd, bytes.data(), bytes.size(), 0);
        int readError = errno;
        struct stat after;
        bool statAfter = sysCalls().fstat(fd, &after) == 0;
        sysClose(fd);
        if (got < 0 || !statAfter) {
            failed(kCannotRead, path, got < 0 ? readError : errno);
            return ReadResult::Unreachable;
        }
        bool whole = static_cast<size_t>(got) == bytes.size();
        bytes.resize(static_cast<size_t>(got));
        RegFile file = regFileParseOwned(std::move(bytes));
        bool steady = whole && sameIdentity(identityOf(before), identityOf(after));
        if (!steady && attempt < kReadAttempts)
            continue;
        // A file that is no export at all is never taken for an empty
        // registry, nor written into.
        std::string notAnExport = regFileNotAnExport(file);
        if (!notAnExport.empty()) {
            failedBecause("cannot use the registry", path,
                          "not a registry export (" + notAnExport + ")");
            return ReadResult::Unreachable;
        }
        s.path = path;
        s.valid = true;
        s.missing = false;
        s.id = identityOf(after);
        s.trusted = steady && stampIsPast(before.st_ctim, now);
        s.mode = before.st_mode & 07777;
        s.owner = before.st_uid;
        s.group = before.st_gid;
        s.file = std::make_shared<RegFile>(std::move(file));
        return ReadResult::Read;
    }
}

// The kept registry, brought up to date with the file at path; false
// when the registry cannot be reached.
bool refresh(Store& s, const std::string& path) {
    struct stat st;
    if (sysStat(path.c_str(), &st) != 0) {
        // A device directory that is missing is no empty registry: it
        // cannot be reached at all.
        int error = errno;
        if (error != ENOENT || !deviceDirUsable()) {
            forget(s);
            return error == ENOENT ? failedQuietly() : failed(kCannotRead, path, error);
        }
        if (danglingLink(path)) {
            forget(s);
            return failedBecause(kCannotRead, path, kLeadsNowhere);
        }
        if (!(s.valid && s.missing && s.path == path))
            keepEmpty(s, path);
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        forget(s);
        return failedBecause(kCannotRead, path, "not a regular file");
    }
    if (s.valid && !s.missing && s.trusted && s.path == path &&
        sameIdentity(identityOf(st), s.id)) {
        return true;
    }
    switch (load(s, path)) {
        case ReadResult::Read:
            return true;
        case ReadResult::Missing:
            keepEmpty(s, path);
            return true;
        case ReadResult::Unreachable:
            break;
    }
    forget(s);
    return false;
}

// The registry's path.  The cheap form (no file system call) serves while
// it names the file the store holds; otherwise the device directory is
// looked up properly.
std::string registryPath(const Store& s) {
    std::string quick = deviceDirPath() + "/" + kRegistryName;
    if (s.valid && !s.missing && quick == s.path)
        return quick;
    return deviceRegistryPath();
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Holds the exclusive lock on registry.reg.lock and the registry's
// directory while it lives.  The descriptors are close-on-exec, so a
// program launched meanwhile never inherits the lock.
struct WriteLock {
    int fd = -1;
    int dir = -1;
    ~WriteLock() {
        if (fd >= 0)
            sysClose(fd);  // closing releases the lock
        if (dir >= 0)
            sysClose(dir);
    }
};

bool takeWriteLock(const std::string& registryPath, WriteLock* lock) {
    std::string dir = directoryOf(registryPath);
    lock->dir = sysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock->dir < 0)
        return failed(kCannotWriteIn, dir, errno);
    // Never through a link: the lock file is made when missing, and a link
    // in its place would make an empty file wherever it leads.
    std::string lockPath = registryPath + ".lock";
    for (;;) {
        lock->fd = openLockFile(lockPath, O_NOFOLLOW);
        if (lock->fd < 0 && errno == ELOOP)
            return failedBecause(kCannotLock, lockPath, "a symbolic link, which is never followed");
        if (lock->fd < 0 || !lockRetrying(lock->fd, LOCK_EX))
            return failed(kCannotLock, lockPath, errno);
        // A lock file removed (or replaced) while another held it is no
        // lock on the name the next writer opens: that one is taken anew.
        struct stat held;
        struct stat named;
        if (sysCalls().fstat(lock->fd, &held) != 0)
            return failed(kCannotLock, lockPath, errno);
        if (sysCalls().fstatat(AT_FDCWD, lockPath.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
            return true;
        }
        sysClose(lock->fd);
        lock->fd = -1;
    }
}

// Writes the file to a temporary file beside it, flushes it and renames it
// over the registry.  The directory is flushed too, so the rename survives
// a crash.
bool replaceRegistry(const Store& s, int dir) {
    std::string temp;
    int fd = tempCreateBeside(dir, kRegistryName, s.mode, &temp);
    if (fd < 0)
        return failed(kCannotWriteIn, directoryOf(s.path), errno);
    std::string_view bytes = regFileBytes(*s.file);
    // Root's write keeps the file its owner's, who could no longer read a
    // registry of mode 0600 else; nobody else can give a file away.
    if (geteuid() == 0 && !s.missing)
        sysCalls().fchown(fd, s.owner, s.group);
    // A new registry gets what the umask leaves of its mode, as every other
    // file the programs make.
    bool ok = (s.missing || sysCalls().fchmod(fd, s.mode) == 0) &&
              writeAllWritingBehind(fd, bytes.data(), bytes.size()) && syncFd(fd) &&
              sysCalls().renameat(dir, temp.c_str(), dir, kRegistryName) == 0;
    if (!ok) {
        failed(kCannotWriteIn, directoryOf(s.path), errno);
        sysCalls().unlinkat(dir, temp.c_str(), 0);
    }
    // The temporary file's lock is held up to here, past the rename; the
    // file is on the disk already, whatever the close reports.
    sysClose(fd);
    if (ok)
        syncFd(dir);
    return ok;
}

}  // namespace

const RegistryFailure& registryFailure() {
    return lastFailure();
}

std::string registryFailureText() {
    const RegistryFailure& f = lastFailure();
    return f.what.empty() ? std::string() : f.what + ": " + f.reason;
}

std::shared_ptr<const RegFile> registryRead() {
    Store& s = store();
    if (!refresh(s, registryPath(s)))
        return nullptr;
    return s.file;
}

bool registryWritable() {
    Store& s = store();
    std::string path = registryPath(s);
    if (!deviceDirUsable())
        return failedQuietly();
    WriteLock lock;
    if (!takeWriteLock(path, &lock) || !refresh(s, path))
        return false;
    return !readOnly(s) || failed(kCannotWrite, path, EACCES);
}

bool registryUpdate(RegistryChange change, const void* context) {
    Store& s = store();
    std::string path = registryPath(s);
    if (!deviceDirUsable())
        return failedQuietly();
    WriteLock lock;
    if (!takeWriteLock(path, &lock))
        return false;
    tempSweepBeside(lock.dir, kRegistryName);

    if (!refresh(s, path))
        return false;
    // A caller that still holds the file keeps it as it was.
    if (s.file.use_count() > 1)
        s.file = std::make_shared<RegFile>(*s.file);
    size_t revision = regFileRevision(*s.file);
    if (!change(s.file.get(), context)) {
        forget(s);  // the change may have been made in part
        return failedQuietly();
    }
    if (regFileRevision(*s.file) == revision)
        return true;
    if (readOnly(s)) {
        forget(s);
        return failed(kCannotWrite, path, EACCES);
    }
    // A registry no reader would take is not written (an import of a large
    // export grows it: UTF-16 doubles its text).
    if (regFileBytes(*s.file).size() > kRegistryMaxBytes) {
        forget(s);
        return failedBecause(kCannotWrite, path, std::string("it would be ") + kRegistryTooLarge);
    }
    bool replaced = replaceRegistry(s, lock.dir);
    // Written just now (or not at all): read again at the next use.
    forget(s);
    return replaced;
}

}  // namespace ce::posix
