#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/device_dir.h"
#include "platform/posix/fd_io.h"

namespace ce::posix {

namespace {

enum class Load { Read, Missing, Unreachable };

// The last file read or written, so that an unchanged file is not parsed
// again.  It is matched by its whole content: timestamps can repeat within
// a clock tick when a file is rewritten in place.
struct Cache {
    std::mutex mutex;
    std::string path;
    std::string bytes;
    std::shared_ptr<const RegFile> file;
};

Cache& cache() {
    static Cache c;
    return c;
}

Load readFileBytes(const std::string& path, std::string* bytes, mode_t* mode) {
    bytes->clear();
    // O_NONBLOCK: a FIFO of that name must not hang the program.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? Load::Missing : Load::Unreachable;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Load::Unreachable;
    }
    if (mode != nullptr)
        *mode = st.st_mode & 07777;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) {
            bytes->append(buf, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            close(fd);
            return Load::Unreachable;
        }
    }
    close(fd);
    return Load::Read;
}

std::shared_ptr<const RegFile> parseCached(const std::string& path, const std::string& bytes) {
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.mutex);
    if (c.file != nullptr && c.path == path && c.bytes == bytes)
        return c.file;
    auto file = std::make_shared<const RegFile>(regFileParse(bytes));
    c.path = path;
    c.bytes = bytes;
    c.file = file;
    return file;
}

void remember(const std::string& path, const std::string& bytes, RegFile file) {
    Cache& c = cache();
    std::lock_guard<std::mutex> guard(c.mutex);
    c.path = path;
    c.bytes = bytes;
    c.file = std::make_shared<const RegFile>(std::move(file));
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Writes the bytes to a temporary file beside path, flushes it and renames
// it over path.  The directory is flushed too, so the rename survives a crash.
bool replaceFile(const std::string& path, const std::string& bytes, mode_t mode) {
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fchmod(fd, mode) == 0 && writeAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(name.data(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        unlink(name.data());
        return false;
    }
    int dir = open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

// Holds the exclusive lock on registry.reg.lock while it lives.  The
// descriptor is close-on-exec, so a program launched meanwhile never
// inherits the lock.
struct WriteLock {
    int fd = -1;
    ~WriteLock() {
        if (fd >= 0)
            close(fd);  // closing releases the lock
    }
};

bool takeWriteLock(const std::string& registryPath, WriteLock* lock) {
    std::string lockPath = registryPath + ".lock";
    lock->fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock->fd < 0)
        return false;
    while (flock(lock->fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<const RegFile> registryRead() {
    // A device directory that is missing is no empty registry: it cannot
    // be reached at all.
    if (!deviceDirUsable())
        return nullptr;
    std::string path = deviceRegistryPath();
    std::string bytes;
    switch (readFileBytes(path, &bytes, nullptr)) {
        case Load::Unreachable:
            return nullptr;
        case Load::Missing:
            return parseCached(path, std::string());
        case Load::Read:
            break;
    }
    return parseCached(path, bytes);
}

bool registryUpdate(RegistryChange change, const void* context) {
    if (!deviceDirUsable())
        return false;
    std::string path = deviceRegistryPath();
    WriteLock lock;
    if (!takeWriteLock(path, &lock))
        return false;

    std::string before;
    mode_t mode = 0644;
    Load load = readFileBytes(path, &before, &mode);
    if (load == Load::Unreachable)
        return false;
    RegFile file = load == Load::Missing ? regFileNew() : regFileParse(before);
    if (!change(&file, context))
        return false;
    std::string after = regFileSerialize(file);
    if (load == Load::Read && after == before)
        return true;
    if (!replaceFile(path, after, mode))
        return false;
    remember(path, after, std::move(file));
    return true;
}

}  // namespace ce::posix
