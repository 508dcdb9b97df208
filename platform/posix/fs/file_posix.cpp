// File streams and whole-file operations on device paths.  Bytes go in and
// out unchanged: no line-end translation, no encoding conversion.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"
#include "platform/posix/device/device_dir.h"
#include "platform/posix/fs/fs_path.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/sys/temp_beside.h"
#include "platform/wstr.h"

namespace ce {

namespace {

// Read-ahead and write-behind buffer of one open file.
constexpr size_t kFileBufferBytes = 64 * 1024;

}  // namespace

struct FileImpl {
    int fd;
    FileMode mode;
    bool atEnd;
    bool failed;  // a write could not be completed
    size_t pos;   // next unread byte in buf (reading)
    size_t len;   // bytes held in buf: read ahead, or waiting to be written
    char buf[kFileBufferBytes];
};

namespace {

using posix::writeAll;

ssize_t readSome(int fd, void* buf, size_t size) {
    return posix::readRetrying(fd, buf, size);
}

// Refills the read buffer; false at the end of the file or on an error.
// Only the end counts as the end: a caller must be able to tell a file cut
// short by a read error from a whole one.
bool refill(FileImpl* f) {
    f->pos = 0;
    f->len = 0;
    ssize_t n = readSome(f->fd, f->buf, sizeof f->buf);
    if (n <= 0) {
        if (n == 0)
            f->atEnd = true;
        return false;
    }
    f->len = static_cast<size_t>(n);
    return true;
}

bool flushWrites(FileImpl* f) {
    if (f->len > 0) {
        if (!writeAll(f->fd, f->buf, f->len))
            f->failed = true;
        f->len = 0;
    }
    return !f->failed;
}

// Opens a regular file named by a device entry; anything else (a
// directory, a pipe, a device) is refused before it could block or
// misbehave.
int openRegular(const posix::DeviceEntry& e, int flags) {
    if (e.exists && e.type != S_IFREG)
        return -1;
    int fd = posix::openRetrying(e.dirFd, e.name.c_str(),
                                 flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (posix::sysCalls().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        posix::sysClose(fd);
        return -1;
    }
    posix::clearNonBlocking(fd);
    return fd;
}

void syncDirectory(int dirFd) {
    int fd = posix::openRetrying(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    posix::syncFd(fd);
    posix::sysClose(fd);
}

bool copyBytes(int from, int to) {
    char buf[kFileBufferBytes];
    for (;;) {
        ssize_t n = readSome(from, buf, sizeof buf);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(to, buf, static_cast<size_t>(n)))
            return false;
    }
}

// The reason an entry could not be opened as a regular file: the system's
// (a missing path gives no errno of its own), or what the entry is.
std::string openFailureReason(const posix::DeviceEntry& e, int error) {
    if (e.exists && e.type == S_IFDIR)
        return posix::systemError(EISDIR);
    if (e.exists && e.type != S_IFREG)
        return "not a regular file";
    return posix::systemError(error != 0 ? error : ENOENT);
}

// The reason a device path could not be resolved.  A path that goes
// through a file, a dangling link or a link out of fs/ names nothing on the
// device: it is missing, whatever the system said on the way (ENOTDIR from
// a link opened as a directory, EINVAL from reading a non-link).  EILSEQ:
// a new name that the device cannot hold.
std::string resolveFailureReason(const posix::DeviceEntry& e, int error) {
    if (error == EILSEQ)
        return "no name on the device holds a control character or one of * ? : \" < > |";
    if (error == ENOTDIR || error == EINVAL || error == ELOOP || error == EXDEV)
        error = ENOENT;
    return openFailureReason(e, error);
}

// Tells a user at a PC which device file failed and why; a device
// directory that cannot be used has been reported already.
void reportOpenFailure(const char16_t* path, FileMode mode, const std::string& reason) {
    if (path == nullptr || !posix::deviceDirUsable())
        return;
    std::string name;
    u16ToUtf8(path, u16len(path), &name);
    posix::diagnose(std::string(mode == FileMode::Read ? "cannot read " : "cannot write ") + name +
                    " in " + posix::deviceDirPath() + "/fs: " + reason);
}

}  // namespace

namespace {

// True when the device path leads, through a link, to a folder.
bool leadsToFolder(const char16_t* path) {
    posix::DeviceEntry target;
    bool folder = posix::resolveDevicePath(path, posix::LeafMode::MustExist, &target) &&
                  target.exists && target.type == S_IFDIR;
    posix::closeDeviceEntry(&target);
    return folder;
}

// The entry a file opened, copied or moved for writing will be: an
// existing one as it stands (a link is the entry, not what it points to,
// and is replaced), else the new name in its directory.  A link that
// leads to a folder is that folder to the device, which no file replaces:
// its type is given as a folder's.
bool resolveForWriting(const char16_t* path, posix::DeviceEntry* e) {
    if (posix::resolveDevicePath(path, posix::LeafMode::NoFollow, e)) {
        if (e->type == S_IFLNK && leadsToFolder(path))
            e->type = S_IFDIR;
        return true;
    }
    posix::closeDeviceEntry(e);
    *e = posix::DeviceEntry{};
    return posix::resolveDevicePath(path, posix::LeafMode::MayCreate, e);
}

// A regular file that nobody may write (no w in its permission bits) is
// read-only, as a file with the device's read-only attribute: the device
// neither empties, replaces nor deletes it.  Checked on the bits, not by
// access(), so that it holds for root too, as the attribute does.
bool readOnlyFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
}

// Root's replacement of a file keeps it its owner's, who could no longer
// write it (or read it, at mode 0600) else; nobody else can give a file
// away.
void keepOwner(int fd, bool replacing, const struct stat& old) {
    if (replacing && geteuid() == 0)
        posix::sysCalls().fchown(fd, old.st_uid, old.st_gid);
}

bool isReadOnly(const posix::DeviceEntry& e) {
    struct stat st;
    return e.exists &&
           posix::sysCalls().fstatat(e.dirFd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           readOnlyFile(st);
}

// A file opened for writing is made anew, never emptied in place: an entry
// of that name (a hard link to a file elsewhere, a symbolic link) is
// removed first and the new file created exclusively, so what the run
// writes can never reach another file.  Anything else of that name (a
// directory, a pipe) stays and fails.
// A temporary file of FileMode::WriteTemp is made the same way, but holds
// its name from then on (posix::tempCreateNamed).
int createAnew(posix::DeviceEntry& e, FileMode mode) {
    if (e.exists && e.type != S_IFREG && e.type != S_IFLNK)
        return -1;
    if (isReadOnly(e)) {
        errno = EACCES;
        return -1;
    }
    if (mode == FileMode::WriteTemp)
        return posix::tempCreateNamed(e.dirFd, e.name, 0666);
    if (e.exists && posix::sysCalls().unlinkat(e.dirFd, e.name.c_str(), 0) != 0 && errno != ENOENT)
        return -1;
    e.exists = false;
    return openRegular(e, O_WRONLY | O_CREAT | O_EXCL);
}

}  // namespace

File fileOpen(const char16_t* path, FileMode mode) {
    posix::DeviceEntry e;
    errno = 0;
    bool resolved = mode == FileMode::Read
                        ? posix::resolveDevicePath(path, posix::LeafMode::MustExist, &e)
                        : resolveForWriting(path, &e);
    if (!resolved) {
        reportOpenFailure(path, mode, resolveFailureReason(e, errno));
        return nullptr;
    }
    errno = 0;
    int fd = mode == FileMode::Read ? openRegular(e, O_RDONLY) : createAnew(e, mode);
    std::string reason = fd < 0 ? openFailureReason(e, errno) : std::string();
    posix::closeDeviceEntry(&e);
    if (fd < 0) {
        reportOpenFailure(path, mode, reason);
        return nullptr;
    }
    FileImpl* f = new (std::nothrow) FileImpl;
    if (f == nullptr) {
        posix::sysClose(fd);
        return nullptr;
    }
    f->fd = fd;
    f->mode = mode;
    f->atEnd = false;
    f->failed = false;
    f->pos = 0;
    f->len = 0;
    return f;
}

size_t fileReadLine(File file, char* buf, size_t size) {
    if (file == nullptr || file->mode != FileMode::Read || buf == nullptr || size == 0)
        return 0;
    size_t stored = 0;
    while (stored + 1 < size) {
        if (file->pos == file->len && !refill(file))
            break;
        const char* start = file->buf + file->pos;
        size_t avail = file->len - file->pos;
        size_t room = size - 1 - stored;
        size_t take = avail < room ? avail : room;
        const void* lf = memchr(start, '\n', take);
        if (lf != nullptr)
            take = static_cast<size_t>(static_cast<const char*>(lf) - start) + 1;
        memcpy(buf + stored, start, take);
        stored += take;
        file->pos += take;
        if (lf != nullptr)
            break;
    }
    buf[stored] = 0;
    return stored;
}

size_t fileRead(File file, void* buf, size_t size) {
    if (file == nullptr || file->mode != FileMode::Read || buf == nullptr)
        return 0;
    char* out = static_cast<char*>(buf);
    size_t done = 0;
    size_t buffered = file->len - file->pos;
    if (buffered > 0) {
        done = buffered < size ? buffered : size;
        memcpy(out, file->buf + file->pos, done);
        file->pos += done;
    }
    while (done < size) {
        ssize_t n = readSome(file->fd, out + done, size - done);
        if (n <= 0) {
            if (n == 0)
                file->atEnd = true;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

bool fileAtEnd(File file) {
    return file == nullptr || file->atEnd;
}

bool fileWrite(File file, const void* data, size_t size) {
    if (file == nullptr || file->mode == FileMode::Read || (data == nullptr && size > 0)) {
        return false;
    }
    const char* in = static_cast<const char*>(data);
    if (file->len + size > sizeof file->buf) {
        if (!flushWrites(file))
            return false;
        if (size >= sizeof file->buf) {
            if (!writeAll(file->fd, in, size))
                file->failed = true;
            return !file->failed;
        }
    }
    memcpy(file->buf + file->len, in, size);
    file->len += size;
    return !file->failed;
}

bool fileClose(File file) {
    if (file == nullptr)
        return true;
    bool ok = true;
    if (file->mode != FileMode::Read)
        ok = flushWrites(file);
    if (posix::sysClose(file->fd) != 0)
        ok = false;
    delete file;
    return ok;
}

bool fileCopyOver(const char16_t* src, const char16_t* dst) {
    posix::DeviceEntry from;
    if (!posix::resolveDevicePath(src, posix::LeafMode::MustExist, &from)) {
        reportOpenFailure(src, FileMode::Read, resolveFailureReason(from, errno));
        return false;
    }
    int in = openRegular(from, O_RDONLY);
    if (in < 0)
        reportOpenFailure(src, FileMode::Read, openFailureReason(from, errno));
    posix::closeDeviceEntry(&from);
    if (in < 0)
        return false;

    posix::DeviceEntry to;
    errno = 0;
    if (!resolveForWriting(dst, &to) || (to.exists && to.type != S_IFREG && to.type != S_IFLNK)) {
        reportOpenFailure(dst, FileMode::Write, resolveFailureReason(to, errno));
        posix::closeDeviceEntry(&to);
        posix::sysClose(in);
        return false;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones.
    mode_t perms = 0666;
    struct stat old;
    bool keepPerms =
        to.exists && to.type == S_IFREG &&
        posix::sysCalls().fstatat(to.dirFd, to.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (keepPerms)
        perms = old.st_mode & 07777;
    if (keepPerms && readOnlyFile(old)) {
        reportOpenFailure(dst, FileMode::Write, posix::systemError(EACCES));
        posix::closeDeviceEntry(&to);
        posix::sysClose(in);
        return false;
    }

    // Copies into dst that were killed on the way left their temporary
    // files here; they go now.
    posix::tempSweepBeside(to.dirFd, to.name);
    std::string tmp;
    int out = posix::tempCreateBeside(to.dirFd, to.name, perms, &tmp);
    bool ok = out >= 0;
    int error = ok ? 0 : errno;
    if (ok) {
        if (keepPerms)
            posix::sysCalls().fchmod(out, perms);
        keepOwner(out, keepPerms, old);
        ok = copyBytes(in, out) && posix::syncFd(out);
        if (!ok)
            error = errno;
        if (ok &&
            posix::sysCalls().renameat(to.dirFd, tmp.c_str(), to.dirFd, to.name.c_str()) != 0) {
            ok = false;
            error = errno;
        }
        if (!ok)
            posix::sysCalls().unlinkat(to.dirFd, tmp.c_str(), 0);
        // The temporary file's lock is held up to here, past the rename; the
        // copy is on the disk already, whatever the close reports.
        posix::sysClose(out);
        if (ok)
            syncDirectory(to.dirFd);
    }
    posix::sysClose(in);
    posix::closeDeviceEntry(&to);
    if (!ok)
        reportOpenFailure(dst, FileMode::Write, posix::systemError(error != 0 ? error : EIO));
    return ok;
}

bool fileMoveOver(const char16_t* src, const char16_t* dst) {
    posix::DeviceEntry from;
    if (!posix::resolveDevicePath(src, posix::LeafMode::NoFollow, &from))
        return false;
    posix::DeviceEntry to;
    bool ok = false;
    std::string reason;
    if (from.name == ".") {
        reason = posix::systemError(EISDIR);  // the root directory is no file to move
    } else if (!resolveForWriting(dst, &to)) {
        reason = resolveFailureReason(to, errno);
    } else if (to.exists && to.type == S_IFDIR) {
        reason = posix::systemError(EISDIR);  // a folder, or a link to one
        posix::closeDeviceEntry(&to);
    } else {
        // src's bytes reach the disk before src takes dst's name: a power
        // cut after the rename must not leave dst empty.  A dst that is
        // replaced keeps its permissions; a read-only one is not replaced.
        struct stat old;
        bool replacing =
            to.exists && to.type == S_IFREG &&
            posix::sysCalls().fstatat(to.dirFd, to.name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
        bool readOnly = replacing && readOnlyFile(old);
        int fd = readOnly ? -1 : openRegular(from, O_RDONLY);
        if (fd >= 0 && replacing)
            posix::sysCalls().fchmod(fd, old.st_mode & 07777);
        if (fd >= 0)
            keepOwner(fd, replacing, old);
        if (readOnly)
            errno = EACCES;
        ok = fd >= 0 && posix::syncFd(fd) && to.name != "." &&
             posix::sysCalls().renameat(from.dirFd, from.name.c_str(), to.dirFd, to.name.c_str()) ==
                 0;
        if (!ok)
            reason = to.name == "." ? posix::systemError(EISDIR) : openFailureReason(to, errno);
        posix::sysClose(fd);
        if (ok)
            syncDirectory(to.dirFd);
        posix::closeDeviceEntry(&to);
    }
    posix::closeDeviceEntry(&from);
    if (!ok)
        reportOpenFailure(dst, FileMode::Write, reason);
    return ok;
}

CloseOver fileCloseOver(File file, const char16_t* path, const char16_t* dst) {
    if (file == nullptr)
        return CloseOver::NotWritten;
    bool written = file->mode == FileMode::WriteTemp && flushWrites(file);
    // The name is ours while we hold the file's lock, which closing it
    // would give up: it is renamed, or removed, first.
    posix::DeviceEntry e;
    bool ours = posix::resolveDevicePath(path, posix::LeafMode::NoFollow, &e) &&
                posix::tempNameIsFile(e.dirFd, e.name.c_str(), file->fd);
    CloseOver end = !written                          ? CloseOver::NotWritten
                    : ours && fileMoveOver(path, dst) ? CloseOver::Moved
                                                      : CloseOver::NotMoved;
    if (end != CloseOver::Moved && ours)
        posix::sysCalls().unlinkat(e.dirFd, e.name.c_str(), 0);
    posix::closeDeviceEntry(&e);
    posix::sysClose(file->fd);
    delete file;
    return end;
}

namespace {

bool identityOf(const char16_t* path, struct stat* st) {
    posix::DeviceEntry e;
    if (!posix::resolveDevicePath(path, posix::LeafMode::MustExist, &e))
        return false;
    bool ok = posix::sysCalls().fstatat(e.dirFd, e.name.c_str(), st, 0) == 0;
    posix::closeDeviceEntry(&e);
    return ok;
}

}  // namespace

bool fileSame(const char16_t* a, const char16_t* b) {
    struct stat sa;
    struct stat sb;
    return identityOf(a, &sa) && identityOf(b, &sb) && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool fileDelete(const char16_t* path) {
    posix::DeviceEntry e;
    if (!posix::resolveDevicePath(path, posix::LeafMode::NoFollow, &e))
        return false;
    bool ok = e.name != "." && e.type != S_IFDIR && !isReadOnly(e) &&
              posix::sysCalls().unlinkat(e.dirFd, e.name.c_str(), 0) == 0;
    posix::closeDeviceEntry(&e);
    return ok;
}

}  // namespace ce
