// Temporary files that killed writers left beside a file are removed by
// the next writer of that same file; a live writer's are not, nor those of
// other files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/sys/temp_beside.h"
#include "platform/reg_values.h"
#include "tests/posix/posix_test_util.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;

namespace {

struct Writer {
    const char* what;
    std::string subDir;  // below the device directory
    std::string dest;
    void (*write)(const TempDevice& dev);
};

void writeRegistry(const TempDevice&) {
    ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    ASSERT_NE(key, nullptr);
    ce::regWriteDword(key, u"n", 1);
    ce::regCloseKey(key);
}

void copyLayout(const TempDevice& dev) {
    dev.writeFile("\\a.txt", "new");
    ASSERT_TRUE(ce::fileCopyOver(u"\\a.txt", u"\\Windows\\home.cpr"));
}

TEST(Leftovers, NextWriterOfTheSameFileRemovesOnlyDeadWritersTemporaries) {
    const Writer writers[] = {
        {"registry commit", "", "registry.reg", writeRegistry},
        {"copy over", "/fs/Windows", "home.cpr", copyLayout},
    };
    for (const Writer& w : writers) {
        TempDevice dev;
        std::string dir = dev.dir() + w.subDir;
        std::filesystem::create_directories(dir);
        std::string prefix = ce::posix::tempNamePrefix(w.dest);
        const std::string dead1 = prefix + "4000001-0.tmp";
        const std::string dead2 = prefix + "4000002-7.tmp";
        const std::string live = prefix + "4000003-0.tmp";
        const std::string otherFile = ce::posix::tempNamePrefix("other.cpr") + "4000004-0.tmp";
        const std::string user = w.dest + ".backup";
        for (const std::string& name : {dead1, dead2, live, otherFile, user})
            cetest::writeHostFile(dir + "/" + name, "partial");
        // A writer still at work holds its temporary file's lock.
        int held = open((dir + "/" + live).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(held, 0);
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

        w.write(dev);
        std::vector<std::string> names = posixtest::hostListing(dir);
        for (const std::string& gone : {dead1, dead2})
            EXPECT_EQ(std::count(names.begin(), names.end(), gone), 0) << w.what << ": " << gone;
        for (const std::string& kept : {live, otherFile, user, w.dest})
            EXPECT_EQ(std::count(names.begin(), names.end(), kept), 1) << w.what << ": " << kept;
        close(held);
    }
}

int noLocks(int, int) {
    errno = ENOLCK;
    return -1;
}

// On a file system that keeps no locks a named temporary file is made, and
// a leftover of that name replaced, as a plain file is: no writer's lock is
// there to wait for.
TEST(Leftovers, ANamedTemporaryNeedsNoLocksWhereThereAreNone) {
    TempDevice dev;
    int dir = open(dev.dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dir, 0);
    ce::posix::sysCalls().flock = noLocks;
    int first = ce::posix::tempCreateNamed(dir, "list.tmp", 0600);
    ASSERT_GE(first, 0);
    ASSERT_EQ(write(first, "half", 4), 4);
    close(first);  // a killed writer's leftover
    int second = ce::posix::tempCreateNamed(dir, "list.tmp", 0600);
    ce::posix::restoreSysCalls();
    ASSERT_GE(second, 0) << strerror(errno);
    struct stat st;
    ASSERT_EQ(fstat(second, &st), 0);
    EXPECT_EQ(st.st_size, 0);
    close(second);
    close(dir);
}

}  // namespace
