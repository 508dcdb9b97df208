// The helpers above the system-call table that only make things faster:
// they must still write every byte, report the failure that happened, and
// keep their advice inside the memory they were given.
#include "platform/posix/sys/sys_io.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using ce::posix::sysCalls;

constexpr size_t kMb = size_t{1} << 20;

// What the fake calls saw.
std::string gWritten;
int gWrites = 0;
int gFailWriteAt = 0;  // the write that fails with ENOSPC (0: none)
std::vector<std::pair<off_t, off_t>> gStarted;
std::vector<std::pair<uintptr_t, size_t>> gAdvised;

// Takes at most 300 000 bytes a call, so that pieces arrive in parts.
ssize_t shortWrite(int, const void* data, size_t size) {
    if (++gWrites == gFailWriteAt) {
        errno = ENOSPC;
        return -1;
    }
    size_t n = size < 300000 ? size : 300000;
    gWritten.append(static_cast<const char*>(data), n);
    return static_cast<ssize_t>(n);
}

// Refuses, as a file system without it does: the errno it leaves must not
// become the write's.
int refusedStart(int, off_t offset, off_t size, unsigned) {
    gStarted.emplace_back(offset, size);
    errno = EINVAL;
    return -1;
}

int recordAdvice(void* addr, size_t size, int advice) {
    EXPECT_EQ(advice, MADV_HUGEPAGE);
    gAdvised.emplace_back(reinterpret_cast<uintptr_t>(addr), size);
    return 0;
}

struct SysIo : testing::Test {
    void SetUp() override {
        gWritten.clear();
        gWrites = 0;
        gFailWriteAt = 0;
        gStarted.clear();
        gAdvised.clear();
        sysCalls().write = shortWrite;
        sysCalls().syncFileRange = refusedStart;
        sysCalls().madvise = recordAdvice;
    }
    void TearDown() override { ce::posix::restoreSysCalls(); }
};

TEST_F(SysIo, WritingBehindWritesEveryByteAndStartsOnlyWhatIsWritten) {
    for (size_t size : {size_t{0}, size_t{5}, kMb, kMb + 1, 3 * kMb + 12345}) {
        SCOPED_TRACE(size);
        SetUp();
        std::string data(size, 0);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>(i * 131 + i / 4096);
        ASSERT_TRUE(ce::posix::writeAllWritingBehind(3, data.data(), data.size()));
        EXPECT_TRUE(gWritten == data);
        // Whole pieces, in order, each once written; the tail is the flush's.
        off_t next = 0;
        for (const auto& [offset, length] : gStarted) {
            EXPECT_EQ(offset, next);
            EXPECT_EQ(length, static_cast<off_t>(kMb));
            next += length;
        }
        EXPECT_EQ(gStarted.size(), size > kMb ? (size - 1) / kMb : 0);
    }
}

TEST_F(SysIo, WritingBehindReportsTheFailedWrite) {
    std::string data(3 * kMb, 'x');
    gFailWriteAt = 6;  // inside the second piece
    EXPECT_FALSE(ce::posix::writeAllWritingBehind(3, data.data(), data.size()));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_LT(gWritten.size(), 2 * kMb);
}

TEST_F(SysIo, LargePageAdviceStaysInsideTheBuffer) {
    const uintptr_t kBase = uintptr_t{1} << 40;  // a large-page boundary
    struct Case {
        uintptr_t begin;
        size_t size;
        std::vector<std::pair<uintptr_t, size_t>> advised;
    };
    const Case cases[] = {
        {kBase, 2 * kMb, {{kBase, 2 * kMb}}},
        {kBase + 16, 2 * kMb, {}},  // holds no whole large page
        {kBase + 16, 5 * kMb, {{kBase + 2 * kMb, 2 * kMb}}},
        {kBase - 1, 4 * kMb + 1, {{kBase, 4 * kMb}}},
        {kBase, kMb, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.begin - kBase) + " + " + std::to_string(c.size));
        gAdvised.clear();
        errno = EBADF;
        ce::posix::adviseLargePages(reinterpret_cast<void*>(c.begin), c.size);
        EXPECT_EQ(gAdvised, c.advised);
        EXPECT_EQ(errno, EBADF);
    }
}

}  // namespace
