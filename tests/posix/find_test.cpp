// Directory listing: attributes, links, names the device cannot hold, and a
// tree far deeper than a host path may be long.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/posix/fs/find_pattern.h"
#include "platform/wstr.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;

namespace {

// Name -> attributes of every entry of a device directory ("." and ".."
// left out); empty when the listing fails.
std::map<std::string, uint32_t> listing(const std::u16string& dir, bool* failed = nullptr) {
    std::map<std::string, uint32_t> out;
    ce::FindRecord rec;
    std::u16string pattern = dir + u"\\*.*";
    ce::Find f = ce::findFirst(pattern.c_str(), &rec);
    if (failed != nullptr)
        *failed = f == nullptr;
    if (f == nullptr)
        return out;
    do {
        std::string name = ce::utf8(rec.name);
        if (name != "." && name != "..")
            out[name] = rec.attributes;
    } while (ce::findNext(f, &rec));
    ce::findClose(f);
    return out;
}

}  // namespace

TEST(FindFiles, ReportsDirectoriesFilesAndHiddenNames) {
    TempDevice dev;
    dev.writeFile("\\Menu\\Sub\\a.lnk", "");
    dev.writeFile("\\Menu\\b.LNK", "");
    dev.writeFile("\\Menu\\.hidden.lnk", "");
    auto l = listing(u"\\menu");
    EXPECT_EQ(l, (std::map<std::string, uint32_t>{{".hidden.lnk", ce::kAttrHidden},
                                                  {"Sub", ce::kAttrDirectory},
                                                  {"b.LNK", ce::kAttrNormal}}));
    bool failed = false;
    listing(u"\\Missing", &failed);
    EXPECT_TRUE(failed);
    listing(u"\\Menu\\b.LNK", &failed);
    EXPECT_TRUE(failed);
    ce::FindRecord rec;
    EXPECT_EQ(ce::findFirst(u"Menu\\*.*", &rec), nullptr);
}

// Links are followed by the device's rules: one to a folder is a reparse
// point, one to a file a file; one that leads nowhere (dangling, a loop)
// or out of the device's files, like a FIFO, is no entry of the device,
// and is left out and said.
TEST(FindFiles, LinksToDirectoriesAreReparsePointsAndLoopsEndNowhere) {
    TempDevice dev;
    std::string fs = dev.dir() + "/fs";
    dev.writeFile("\\Root\\Target\\t.lnk", "");
    dev.writeFile("\\Root\\file.txt", "");
    ASSERT_EQ(symlink("Target", (fs + "/Root/dirlink").c_str()), 0);
    ASSERT_EQ(symlink("..", (fs + "/Root/Target/up").c_str()), 0);  // a loop
    ASSERT_EQ(symlink("file.txt", (fs + "/Root/filelink").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (fs + "/Root/dangling").c_str()), 0);
    ASSERT_EQ(symlink("self", (fs + "/Root/self").c_str()), 0);
    ASSERT_EQ(symlink(dev.dir().c_str(), (fs + "/Root/outside").c_str()), 0);
    ASSERT_EQ(mkfifo((fs + "/Root/pipe.lnk").c_str(), 0644), 0);
    testing::internal::CaptureStderr();
    auto l = listing(u"\\Root");
    std::string said = testing::internal::GetCapturedStderr();
    const uint32_t linkDir = ce::kAttrDirectory | ce::kAttrReparsePoint;
    EXPECT_EQ(l, (std::map<std::string, uint32_t>{{"Target", ce::kAttrDirectory},
                                                  {"dirlink", linkDir},
                                                  {"file.txt", ce::kAttrNormal},
                                                  {"filelink", ce::kAttrNormal}}));
    for (const char* part :
         {"left out of the listing of \\Root\\, as no file or folder of the device: ",
          "dangling (a link that leads nowhere", "pipe.lnk (neither a file nor a folder)",
          " and 1 more"}) {
        EXPECT_NE(said.find(part), std::string::npos) << said;
    }
    EXPECT_EQ(listing(u"\\Root\\Target")["up"], linkDir);
}

// Host names that no device name can be are left out, and said: one not
// UTF-8, one with a line break (a list of names would break), and a folder
// "a\.." (a device path through it leads back up, and a walk never ends).
TEST(FindFiles, SkipsNamesTheDeviceCannotHoldAndSaysSo) {
    TempDevice dev;
    dev.writeFile("\\D\\good.lnk", "");
    cetest::writeHostFile(dev.dir() + "/fs/D/bad\xff.lnk", "");
    cetest::writeHostFile(dev.dir() + "/fs/D/two\nlines.lnk", "");
    // What the device's file system refuses in a name: a filter "to*do"
    // must match no name.
    cetest::writeHostFile(dev.dir() + "/fs/D/to*do.lnk", "");
    cetest::writeHostFile(dev.dir() + "/fs/D/a:b?.lnk", "");
    ASSERT_EQ(mkdir((dev.dir() + "/fs/D/a\\..").c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    auto l = listing(u"\\D");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(l.size(), 1u);
    EXPECT_EQ(l.count("good.lnk"), 1u);
    EXPECT_NE(said.find("left out of the listing of \\D\\: 5 names"), std::string::npos) << said;
}

TEST(FindFiles, PatternsOtherThanAllMatchWithoutCase) {
    using ce::posix::findPatternMatches;
    EXPECT_TRUE(findPatternMatches(u"*.*", u"noext"));
    EXPECT_TRUE(findPatternMatches(u"*.LNK", u"a.lnk"));
    EXPECT_FALSE(findPatternMatches(u"*.lnk", u"a.lnk.txt"));
    EXPECT_TRUE(findPatternMatches(u"*.lnk*", u"a.lnk.txt"));
    EXPECT_TRUE(findPatternMatches(u"?b*c", u"abxxc"));
    EXPECT_FALSE(findPatternMatches(u"?b*c", u"bxxc"));
    TempDevice dev;
    dev.writeFile("\\D\\one.lnk", "");
    dev.writeFile("\\D\\two.txt", "");
    ce::FindRecord rec;
    ce::Find f = ce::findFirst(u"\\d\\*.LNK", &rec);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ce::utf8(rec.name), "one.lnk");
    EXPECT_FALSE(ce::findNext(f, &rec));
    ce::findClose(f);
    EXPECT_EQ(ce::findFirst(u"\\d\\*.none", &rec), nullptr);
}

namespace {

constexpr int kDepth = 3000;
const char kLevel[] = "level";  // 3000 levels of "/level" make an 18,000-byte host path

// Makes fs/level/level/.../level (kDepth levels) with one file at the
// bottom, without ever naming a long path to the system.
void makeDeepTree(const std::string& fs) {
    int fd = open(fs.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(mkdirat(fd, kLevel, 0755), 0);
        if (i % 100 == 0) {
            int f = openat(fd, "side.lnk", O_WRONLY | O_CREAT, 0644);
            close(f);
        }
        int next = openat(fd, kLevel, O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    int f = openat(fd, "bottom.lnk", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(f, 0);
    close(f);
    close(fd);
}

// Removes it again from the bottom up, as the test device's own clean-up
// works with whole paths that would be too long.
void removeDeepTree(const std::string& fs) {
    int fd = open(fs.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::vector<int> fds{fd};
    for (int i = 0; i < kDepth; ++i) {
        int next = openat(fds.back(), kLevel, O_RDONLY | O_DIRECTORY);
        if (next < 0)
            break;
        fds.push_back(next);
    }
    for (size_t i = fds.size(); i-- > 0;) {
        unlinkat(fds[i], "bottom.lnk", 0);
        unlinkat(fds[i], "side.lnk", 0);
        if (i + 1 < fds.size())
            unlinkat(fds[i], kLevel, AT_REMOVEDIR);
        close(fds[i]);
    }
}

// Walks like the scanner: every ancestor's handle open while a child is
// listed, each directory asked for by its full device path.  Kept off the
// call stack, which would not hold thousands of levels under the sanitizers.
void walk(const std::u16string& root, int* dirs, int* files, int* deepest) {
    struct Level {
        ce::Find find;
        size_t pathLength;
    };
    std::vector<Level> levels;
    std::u16string path = root;
    ce::FindRecord rec;
    auto enter = [&]() {
        std::u16string pattern = path + u"\\*.*";
        ce::Find f = ce::findFirst(pattern.c_str(), &rec);
        if (f == nullptr)
            return false;
        ++*dirs;
        levels.push_back(Level{f, path.size()});
        if (static_cast<int>(levels.size()) - 1 > *deepest)
            *deepest = levels.size() - 1;
        return true;
    };
    if (!enter())
        return;
    bool fresh = true;  // rec holds the first entry of the top level
    while (!levels.empty()) {
        if (!fresh && !ce::findNext(levels.back().find, &rec)) {
            ce::findClose(levels.back().find);
            levels.pop_back();
            if (!levels.empty())
                path.resize(levels.back().pathLength);
            continue;
        }
        fresh = false;
        std::u16string name = rec.name;
        if (name == u"." || name == u"..")
            continue;
        if (rec.attributes & ce::kAttrDirectory) {
            path += u"\\" + name;
            // Entered: rec holds the child's first entry.  Not entered: go on
            // with the next entry here.
            fresh = enter();
            if (!fresh)
                path.resize(levels.back().pathLength);
        } else {
            ++*files;
        }
    }
}

}  // namespace

TEST(FindFiles, WalksATreeDeeperThanAnyHostPath) {
    TempDevice dev;
    std::string fs = dev.dir() + "/fs";
    makeDeepTree(fs);
    std::u16string root;  // "" is the device root: the pattern becomes "\*.*"
    int dirs = 0;
    int files = 0;
    int deepest = 0;
    walk(root, &dirs, &files, &deepest);
    EXPECT_EQ(dirs, kDepth + 1);
    EXPECT_EQ(deepest, kDepth);
    EXPECT_EQ(files, kDepth / 100 + 1);

    // Files deep down open by their device path, and an ancestor far up
    // lists again after the walk came back from the bottom.
    std::u16string deep;
    for (int i = 0; i < kDepth; ++i)
        deep += u"\\LEVEL";
    ce::File f = ce::fileOpen((deep + u"\\Bottom.lnk").c_str(), ce::FileMode::Read);
    EXPECT_NE(f, nullptr);
    ce::fileClose(f);
    EXPECT_EQ(listing(u"\\level").size(), 1u);
    EXPECT_EQ(listing(deep.substr(0, 6 * 1501)).size(), 1u);
    removeDeepTree(fs);
}

TEST(FindFiles, ListsRightInAnyOrderOfQueries) {
    // A chain deeper than the descriptors kept open, with a side directory
    // at every level, asked for in a scrambled order and in varied
    // spellings: each answer must be that of the directory named.
    TempDevice dev;
    constexpr int kLevels = 150;
    std::string host = dev.dir() + "/fs";
    for (int i = 0; i < kLevels; ++i) {
        ASSERT_EQ(mkdir((host + "/side" + std::to_string(i)).c_str(), 0755), 0);
        cetest::writeHostFile(host + "/side" + std::to_string(i) + "/f" + std::to_string(i), "");
        host += "/Chain";
        ASSERT_EQ(mkdir(host.c_str(), 0755), 0);
    }
    auto chain = [](int depth, bool odd) {
        std::u16string p;
        for (int i = 0; i < depth; ++i)
            p += odd && i % 3 == 1 ? u"/chain" : u"\\Chain";
        return p;
    };
    uint64_t rng = 7;
    for (int q = 0; q < 600; ++q) {
        rng = rng * 6364136223846793005ull + 1442695040888963407ull;
        int level = static_cast<int>((rng >> 33) % kLevels);
        bool odd = (rng >> 20) & 1;
        std::string n = std::to_string(level);
        if ((rng >> 21) & 1) {
            auto l = listing(chain(level, odd) + u"\\SIDE" + cetest::U(n));
            ASSERT_EQ(l, (std::map<std::string, uint32_t>{{"f" + n, ce::kAttrNormal}})) << q;
        } else {
            // Into a side directory and out again by "..".
            std::u16string p = chain(level, odd) + u"\\side" + cetest::U(n) + u"\\..";
            auto l = listing(p);
            ASSERT_EQ(l.size(), 2u) << q;
            ASSERT_EQ(l.count("side" + n), 1u) << q;
            ASSERT_EQ(l.count("Chain"), 1u) << q;
        }
    }
}
