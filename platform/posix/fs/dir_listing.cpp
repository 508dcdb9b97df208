// Listing directories with the kernel's getdents64 call: no second
// descriptor and no stream set-up per directory, which a walk down a large
// tree repeats thousands of times.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/posix/fs/fs_path.h"
#include "platform/posix/fs/path_walk.h"
#include "platform/posix/sys/sys_io.h"

namespace ce::posix {

namespace {

// Bytes read from a directory per system call while listing it.
constexpr size_t kListBufferBytes = 64 * 1024;

}  // namespace

bool readEntries(State& s, int fd, bool fresh, DirectoryVisitor visit, void* context) {
    if (!fresh && sysCalls().lseek(fd, 0, SEEK_SET) != 0)
        return false;
    if (s.listBuffer.size() < kListBufferBytes)
        s.listBuffer.resize(kListBufferBytes);
    char* buf = s.listBuffer.data();
    for (;;) {
        long n = readDirEntries(fd, buf, kListBufferBytes);
        if (n < 0) {
            // A folder that may be passed through but not read is held
            // open for passing only, and such a descriptor cannot be read.
            if (errno == EBADF)
                errno = EACCES;
            return false;
        }
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

}  // namespace ce::posix
