// Helpers that only make the backend faster must still write every byte,
// report the failure that happened and keep their advice inside the memory
// they were given.
#include "platform/posix/sys/sys_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMb = size_t{1} << 20;

std::string gWritten;
int gWrites = 0, gFailingWrite = 0;
std::vector<off_t> gStarted;
std::vector<std::pair<uintptr_t, size_t>> gAdvised;

// Short writes, so that pieces arrive in parts; one may fail.
ssize_t shortWrite(int, const void* data, size_t size) {
    if (++gWrites == gFailingWrite) {
        errno = ENOSPC;
        return -1;
    }
    size_t n = size < 300000 ? size : 300000;
    gWritten.append(static_cast<const char*>(data), n);
    return static_cast<ssize_t>(n);
}

// Refused, as by a file system without it.
int refusedStart(int, off_t offset, off_t size, unsigned) {
    EXPECT_EQ(size, static_cast<off_t>(kMb));
    gStarted.push_back(offset);
    errno = EINVAL;
    return -1;
}

int recordAdvice(void* addr, size_t size, int) {
    gAdvised.emplace_back(reinterpret_cast<uintptr_t>(addr), size);
    return 0;
}

struct SysIo : testing::Test {
    void SetUp() override {
        ce::posix::sysCalls().write = shortWrite;
        ce::posix::sysCalls().syncFileRange = refusedStart;
        ce::posix::sysCalls().madvise = recordAdvice;
    }
    void TearDown() override { ce::posix::restoreSysCalls(); }
};

TEST_F(SysIo, WritingBehindWritesEveryByteAndStartsTheWholePiecesBeforeTheTail) {
    for (size_t size : {size_t{0}, size_t{5}, kMb, kMb + 1, 3 * kMb + 12345}) {
        SCOPED_TRACE(size);
        gWritten.clear();
        gStarted.clear();
        std::string data(size, 0);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>(i * 131 + i / 4096);
        ASSERT_TRUE(ce::posix::writeAllWritingBehind(3, data.data(), data.size()));
        EXPECT_TRUE(gWritten == data);
        std::vector<off_t> pieces;
        for (size_t at = 0; at + kMb < size; at += kMb)
            pieces.push_back(static_cast<off_t>(at));
        EXPECT_EQ(gStarted, pieces);
    }
    // A write refused in the second piece is what the caller hears of.
    gWrites = 0;
    gFailingWrite = 6;
    std::string data(3 * kMb, 'x');
    EXPECT_FALSE(ce::posix::writeAllWritingBehind(3, data.data(), data.size()));
    EXPECT_EQ(errno, ENOSPC);
}

TEST_F(SysIo, LargePageAdviceCoversTheWholeLargePagesInsideTheBuffer) {
    const uintptr_t kAt = uintptr_t{1} << 40;  // a large-page boundary
    struct Case {
        uintptr_t begin;
        size_t size;
        std::vector<std::pair<uintptr_t, size_t>> advised;
    } cases[] = {
        {kAt, 2 * kMb, {{kAt, 2 * kMb}}},
        {kAt + 16, 2 * kMb, {}},
        {kAt + 16, 5 * kMb, {{kAt + 2 * kMb, 2 * kMb}}},
        {kAt - 1, 4 * kMb + 1, {{kAt, 4 * kMb}}},
    };
    for (const Case& c : cases) {
        gAdvised.clear();
        ce::posix::adviseLargePages(reinterpret_cast<void*>(c.begin), c.size);
        EXPECT_EQ(gAdvised, c.advised) << static_cast<intptr_t>(c.begin - kAt) << " + " << c.size;
    }
}

}  // namespace

// Another user's lock file (a run as root made it) may only be read: the
// lock is still taken, through a descriptor for reading, and still keeps
// a second holder out.
int refusedForWriting(int dirFd, const char* name, int flags, mode_t mode) {
    if ((flags & O_ACCMODE) != O_RDONLY) {
        errno = EACCES;
        return -1;
    }
    return openat(dirFd, name, flags, mode);
}

TEST_F(SysIo, ALockFileThatMayOnlyBeReadIsStillLocked) {
    char dir[] = "/tmp/sysio-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/run.lock";
    int made = ce::posix::lockFileExclusive(path, O_NOFOLLOW);
    ASSERT_GE(made, 0);
    close(made);
    ce::posix::sysCalls().openat = refusedForWriting;
    int fd = ce::posix::lockFileExclusive(path, O_NOFOLLOW);
    ce::posix::restoreSysCalls();
    ASSERT_GE(fd, 0);
    int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    close(other);
    close(fd);
    unlink(path.c_str());
    rmdir(dir);
}
