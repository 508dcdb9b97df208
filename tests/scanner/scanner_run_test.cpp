// Runs the real Zandoval on temporary device directories and checks the
// whole list file and every value it leaves in the launcher plugin's key.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/platform.h"
#include "scanner/list_file.h"
#include "tests/scanner/scan_support.h"
#include "tests/support/device_fixture.h"

namespace {

using cetest::U;
using scantest::expectedList;
using scantest::kKey;
using scantest::listEntry;
using scantest::settingsRegistry;

bool everything(const std::string&) {
    return true;
}

class ScannerRun : public ::testing::Test {
protected:
    cetest::TempDevice dev;

    cetest::RunResult run(int timeoutSeconds = 60) {
        return cetest::runProgram(ZANDOVAL_EXE, {"-start"}, dev.dir(), {}, timeoutSeconds);
    }

    // Every value a run that reached the key leaves there.
    void expectValues(uint32_t code, const std::string& text, uint32_t maxList) {
        EXPECT_EQ(dev.regDword(true, kKey, "ErrorNumber"), code);
        EXPECT_EQ(dev.regString(true, kKey, "ErrorDescription"), U(text));
        EXPECT_EQ(dev.regString(true, kKey, "Version"), U("0.1"));
        EXPECT_EQ(dev.regDword(true, kKey, "maxList"), maxList);
        EXPECT_EQ(dev.regDword(true, kKey, "Scanned"), 1u);
    }

    std::string expectAll(const std::string& devDir, uint32_t* count) {
        return expectedList(dev.hostPath(devDir), everything, count);
    }
};

TEST_F(ScannerRun, ListsEveryShortcutDepthFirstWithRelativeDirectories) {
    for (const char* f : {"Mail.lnk", "notes.txt", "UPPER.LNK", "Report.lnk.bak", ".lnk",
                          ".hidden.lnk", "readme.lnkx", "A\\Calc.Lnk", "A\\B\\Deep.lnk",
                          "A\\B\\other.doc", "dir.lnk\\inside.lnk"}) {
        dev.writeFile(std::string("\\Start\\") + f, "x");
    }
    std::filesystem::create_directories(dev.hostPath("\\Start\\Empty"));
    dev.writeRegistry(settingsRegistry("\\Start", std::nullopt, "\\list.txt"));

    cetest::RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;

    uint32_t count = 0;
    std::string list = dev.readFile("\\list.txt");
    EXPECT_EQ(list, expectAll("\\Start", &count));
    EXPECT_EQ(count, 9u);
    EXPECT_NE(list.find("\ndatei=\ndir=\\\n"), std::string::npos);  // ".lnk"
    EXPECT_NE(list.find("\ndatei=Report\ndir=\\\n"), std::string::npos);
    EXPECT_NE(list.find("\ndatei=UPPER\ndir=\\\n"), std::string::npos);
    EXPECT_NE(list.find("\ndatei=Deep\ndir=\\A\\B\\\n"), std::string::npos);
    EXPECT_NE(list.find("\ndatei=inside\ndir=\\dir.lnk\\\n"), std::string::npos);
    EXPECT_EQ(list.find("datei=dir\n"), std::string::npos);
    expectValues(0, "#0 Success", 9);

    // The values appear in the order of writing, Scanned last, and the
    // rest of the registry is left alone.
    std::string reg = dev.readRegistryFile();
    size_t last = 0;
    for (const char* name : {"\"dirFile\"", "\"ErrorDescription\"", "\"ErrorNumber\"",
                             "\"Version\"", "\"maxList\"", "\"Scanned\""}) {
        size_t at = reg.find(name);
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_GT(at, last) << name;
        last = at;
    }
    EXPECT_NE(reg.find("\"Keep\"=\"me\""), std::string::npos);
    EXPECT_FALSE(dev.fileExists("\\list.txt.zandoval-tmp"));
}

TEST_F(ScannerRun, FilterMatchesAtTheStartOrAnywhere) {
    for (const char* f : {"Mail.lnk", "E-Mail.LNK", "Post.lnk", "sub\\MAILBOX.lnk"}) {
        dev.writeFile(std::string("\\Start\\") + f, "x");
    }
    const std::string longest = "*" + std::string(198, 'q');
    const std::string tooLong = "*" + std::string(199, 'q');
    struct Case {
        const char* enter;
        std::function<bool(const std::string&)> passes;
        uint32_t count;
    };
    const Case cases[] = {
        {"MAIL", [](const std::string& n) { return n.rfind("mail", 0) == 0; }, 2},
        {"*mail", [](const std::string& n) { return n.find("mail") != std::string::npos; }, 3},
        {"ma*il", [](const std::string&) { return false; }, 0},
        {"*", everything, 4},
        // 199 characters fit the setting's 400 bytes with the terminator;
        // 200 do not, and count as no filter at all.
        {longest.c_str(), [](const std::string&) { return false; }, 0},
        {tooLong.c_str(), everything, 4},
    };
    for (const Case& c : cases) {
        dev.writeRegistry(settingsRegistry("\\Start", c.enter, "\\list.txt"));
        EXPECT_EQ(run().exitCode, 0) << c.enter;
        uint32_t count = 0;
        EXPECT_EQ(dev.readFile("\\list.txt"),
                  expectedList(dev.hostPath("\\Start"), c.passes, &count))
            << c.enter;
        EXPECT_EQ(count, c.count) << c.enter;
        expectValues(0, "#0 Success", c.count);
    }
}

TEST_F(ScannerRun, EmptyOrAbsentRootGivesAnEmptyList) {
    std::filesystem::create_directories(dev.hostPath("\\Empty"));
    for (const char* root : {"\\Empty", "\\Nowhere"}) {
        dev.writeFile("\\list.txt", "old\n");
        dev.writeRegistry(settingsRegistry(root, "", "\\list.txt"));
        EXPECT_EQ(run().exitCode, 0) << root;
        EXPECT_TRUE(dev.fileExists("\\list.txt")) << root;
        EXPECT_EQ(dev.readFile("\\list.txt"), "") << root;
        expectValues(0, "#0 Success", 0);
    }
}

TEST_F(ScannerRun, MissingRootKeepsTheEarlierList) {
    dev.writeFile("\\Start\\a.lnk", "x");
    dev.writeFile("\\list.txt", "[1]\ndatei=old\ndir=\\\n");
    // A root of 8,092 characters does not fit its buffer and counts as
    // missing; one character less is a root (of a directory that does not
    // exist).
    std::string tooLong = "\\" + std::string(8091, 'r');
    const std::optional<std::string> roots[] = {std::nullopt, tooLong};
    for (const auto& root : roots) {
        dev.writeRegistry(settingsRegistry(root, "", "\\list.txt"));
        EXPECT_EQ(run().exitCode, 1);
        EXPECT_EQ(dev.readFile("\\list.txt"), "[1]\ndatei=old\ndir=\\\n");
        expectValues(1, "#1 No RootDir defined", 0);
    }
    dev.writeRegistry(settingsRegistry(tooLong.substr(1), "", "\\list.txt"));
    EXPECT_EQ(run().exitCode, 0);
    EXPECT_EQ(dev.readFile("\\list.txt"), "");
    expectValues(0, "#0 Success", 0);
}

TEST_F(ScannerRun, KeyIsCreatedWhenAbsent) {
    dev.writeRegistry(settingsRegistry(std::nullopt, std::nullopt, std::nullopt, false));
    EXPECT_EQ(run().exitCode, 1);
    expectValues(1, "#1 No RootDir defined", 0);
    EXPECT_FALSE(dev.regValueExists(true, kKey, "searchRootDir"));
}

TEST_F(ScannerRun, ListFileThatCannotBeWrittenStillCountsAndWritesNothing) {
    dev.writeFile("\\Start\\one.lnk", "x");
    dev.writeFile("\\Start\\sub\\two.lnk", "x");
    std::filesystem::create_directories(dev.hostPath("\\Out"));
    dev.writeFile("\\Out\\keep.txt", "kept");
    const std::optional<std::string> names[] = {std::nullopt, "", "\\NoDir\\list.txt", "\\Out"};
    for (const auto& name : names) {
        dev.writeRegistry(settingsRegistry("\\Start", std::nullopt, name));
        auto before = scantest::treeListing(dev.dir() + "/fs");
        EXPECT_EQ(run().exitCode, 1) << name.value_or("(absent)");
        EXPECT_EQ(scantest::treeListing(dev.dir() + "/fs"), before) << name.value_or("(absent)");
        expectValues(3, "#3 Dir-File could not be opened", 2);
    }
    EXPECT_EQ(dev.readFile("\\Out\\keep.txt"), "kept");
}

// A list that cannot be written whole (here the file size limit stands in
// for a full disk) is not put in place: the earlier list stays and the
// failure is recorded.
TEST_F(ScannerRun, ListThatCannotBeWrittenWholeKeepsTheEarlierList) {
    for (int i = 0; i < 200; ++i) {
        dev.writeFile("\\Start\\a_rather_long_shortcut_name_" + std::to_string(i) + ".lnk", "");
    }
    dev.writeFile("\\list.txt", "[1]\ndatei=old\ndir=\\\n");
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
    cetest::RunResult r = cetest::runProgram(
        "/bin/bash", {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\"", ZANDOVAL_EXE}, dev.dir());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(dev.readFile("\\list.txt"), "[1]\ndatei=old\ndir=\\\n");
    EXPECT_FALSE(dev.fileExists("\\list.txt.zandoval-tmp"));
    expectValues(3, "#3 Dir-File could not be opened", 200);
}

TEST_F(ScannerRun, GuardWindowLeavesEverythingUntouched) {
    dev.writeFile("\\Start\\a.lnk", "x");
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
    cetest::writeHostFile(dev.dir() + "/run/windows/Zandoval_insClass",
                          std::to_string(getpid()) + "\n");
    std::string before = dev.readRegistryFile();
    cetest::RunResult r = run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dev.readRegistryFile(), before);
    EXPECT_FALSE(dev.fileExists("\\list.txt"));
}

TEST_F(ScannerRun, UnreachableRegistryShowsTheMessageAndWritesNothing) {
    dev.writeFile("\\Start\\a.lnk", "x");
    std::filesystem::create_directories(dev.dir() + "/registry.reg");
    cetest::RunResult r = run();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zandoval: cannot read the registry " + dev.dir() +
                         "/registry.reg: not a regular file\n"
                         "Zandoval: #100 Couldn't access/create Zandoval Registry Key\n"
                         "zandoval: cannot open or create "
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1 in the "
                         "device's registry, so nothing was listed or recorded\n");
    EXPECT_EQ(scantest::treeListing(dev.dir() + "/fs"),
              (std::vector<std::string>{"Start", "Start/a.lnk"}));
}

// A registry that can be read but takes no write: the writes still waiting
// when the program ends are tried once more then, and fail again.  The run
// ends with status 1 and the failure named, not with a crash.
TEST_F(ScannerRun, RegistryThatTakesNoWriteEndsTheRunWithStatus1) {
    dev.writeFile("\\Start\\a.lnk", "x");
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
    const std::string before = dev.readRegistryFile();
    std::filesystem::create_directories(dev.dir() + "/registry.reg.lock");
    cetest::RunResult r = run();
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "zandoval: cannot write the registry's lock file " + dev.dir() +
                         "/registry.reg.lock: Is a directory\n");
    EXPECT_EQ(dev.readRegistryFile(), before);
}

TEST_F(ScannerRun, LinksToDirectoriesAreNotFollowedLinksToFilesAreListed) {
    dev.writeFile("\\Start\\a\\x.lnk", "x");
    dev.writeFile("\\Start\\a\\b\\y.lnk", "x");
    std::string a = dev.hostPath("\\Start\\a");
    ASSERT_EQ(symlink("..", (a + "/up").c_str()), 0);
    ASSERT_EQ(symlink(".", (a + "/b/self").c_str()), 0);
    ASSERT_EQ(symlink("a/x.lnk", dev.hostPath("\\Start\\Alias.LNK").c_str()), 0);
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));

    cetest::RunResult r = run();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    uint32_t count = 0;
    EXPECT_EQ(dev.readFile("\\list.txt"), expectAll("\\Start", &count));
    EXPECT_EQ(count, 3u);
    expectValues(0, "#0 Success", 3);
}

TEST_F(ScannerRun, UnreadableDirectoryIsPassedOver) {
    dev.writeFile("\\Start\\top.lnk", "x");
    dev.writeFile("\\Start\\open\\seen.lnk", "x");
    std::filesystem::create_directories(dev.hostPath("\\Start\\locked"));
    uint32_t count = 0;
    std::string want = expectAll("\\Start", &count);  // before locked gets its shortcut
    dev.writeFile("\\Start\\locked\\secret.lnk", "x");
    ASSERT_EQ(chmod(dev.hostPath("\\Start\\locked").c_str(), 0), 0);
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));

    cetest::RunResult r;
    if (geteuid() == 0) {
        // The superuser reads any directory: run as an ordinary user, on a
        // device that user may write.
        std::filesystem::permissions(dev.dir(), std::filesystem::perms::all);
        for (const auto& e : std::filesystem::recursive_directory_iterator(dev.dir())) {
            if (e.path() != dev.hostPath("\\Start\\locked") && !e.is_symlink()) {
                std::filesystem::permissions(e.path(), std::filesystem::perms::all);
            }
        }
        r = cetest::runProgram("/usr/bin/setpriv",
                               {"--reuid=65534", "--regid=65534", "--clear-groups", ZANDOVAL_EXE},
                               dev.dir());
    } else {
        r = run();
    }
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dev.readFile("\\list.txt"), want);
    expectValues(0, "#0 Success", 2);
}

// 100,000 nested directories: far beyond the stack of a recursive walk and
// beyond any path buffer.  Shortcuts sit at the top, at the bottom and
// half-way, each in a directory that also holds the next level.
TEST_F(ScannerRun, TreeOfAHundredThousandLevelsIsWalkedInOrder) {
    constexpr int kDepth = 100000;
    const std::string root = dev.hostPath("\\Deep");
    std::filesystem::create_directories(root);
    struct Mark {
        int level;
        std::string name;
        bool before;  // listed before the level's subdirectory
    };
    std::vector<Mark> marks = {
        {0, "Top.lnk", false}, {kDepth / 2, "Mid.LNK", false}, {kDepth, "bottom.lnk", false}};
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    size_t next = 0;
    for (int level = 0; level <= kDepth; ++level) {
        if (level < kDepth) {
            ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
        }
        if (next < marks.size() && marks[next].level == level) {
            close(openat(fd, marks[next].name.c_str(), O_CREAT | O_WRONLY, 0644));
            marks[next].before =
                level == kDepth || scantest::listedBefore(fd, marks[next].name, "d");
            ++next;
        }
        if (level < kDepth) {
            int sub = openat(fd, "d", O_RDONLY | O_DIRECTORY);
            close(fd);
            fd = sub;
            ASSERT_GE(fd, 0);
        }
    }
    close(fd);
    auto relDir = [](int level) {
        std::string s;
        for (int i = 0; i < level; ++i)
            s += "\\d";
        return s;
    };
    // Going down, the shortcuts met before their level's subdirectory;
    // coming back up, the others, deepest first.
    std::string want;
    uint32_t n = 0;
    for (const Mark& m : marks) {
        if (m.before)
            want += listEntry(++n, m.name.substr(0, m.name.size() - 4), relDir(m.level));
    }
    for (auto m = marks.rbegin(); m != marks.rend(); ++m) {
        if (!m->before)
            want += listEntry(++n, m->name.substr(0, m->name.size() - 4), relDir(m->level));
    }
    dev.writeRegistry(settingsRegistry("\\Deep", "", "\\list.txt"));

    cetest::RunResult r = run(600);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(dev.readFile("\\list.txt") == want) << "list differs";
    expectValues(0, "#0 Success", 3);
    scantest::removeTreeDeep(root);
}

// A run waits while another holds the run lock; without the lock (a link
// stands at the lock file), while another run writes the list's temporary
// file, whose half list it must not put in place.  Then it runs in full.
TEST(ScannerRuns, ConcurrentRunWaitsForTheOtherRun) {
    for (bool withLock : {true, false}) {
        SCOPED_TRACE(withLock ? "the run lock" : "the temporary file");
        cetest::TempDevice dev;
        dev.writeFile("\\Start\\a.lnk", "x");
        dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
        std::filesystem::create_directories(dev.dir() + "/run/locks");
        const std::string lockFile = dev.dir() + "/run/locks/Zandoval.lock";
        ce::RunLock lock = nullptr;
        auto* other = new zandoval::ListFile;
        if (withLock) {
            lock = ce::acquireRunLock(u"Zandoval");
            ASSERT_NE(lock, nullptr);
        } else {
            ASSERT_EQ(symlink("elsewhere", lockFile.c_str()), 0);
            ASSERT_TRUE(zandoval::listFileOpen(*other, u"\\list.txt"));
            zandoval::listFileWriteEntry(*other, 1, u"other", 5, u"", 0);
        }
        cetest::RunResult r;
        std::atomic<bool> finished{false};
        std::thread scanner([&] {
            r = cetest::runProgram(ZANDOVAL_EXE, {"-start"}, dev.dir());
            finished = true;
        });
        const std::string held = withLock ? lockFile : dev.hostPath("\\list.txt.zandoval-tmp");
        while (!finished && !cetest::someoneWaitsFor(held))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(finished) << "the run did not wait";
        EXPECT_EQ(dev.readRegistryFile().find("Scanned"), std::string::npos);
        EXPECT_FALSE(dev.fileExists("\\list.txt"));
        if (withLock) {
            ce::releaseRunLock(lock);
        } else {
            EXPECT_TRUE(zandoval::listFileCommit(*other));
        }
        scanner.join();
        delete other;
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(dev.readFile("\\list.txt"), listEntry(1, "a", ""));
        EXPECT_FALSE(dev.fileExists("\\list.txt.zandoval-tmp"));
        EXPECT_EQ(dev.regDword(true, kKey, "maxList"), 1u);
        EXPECT_EQ(dev.regDword(true, kKey, "Scanned"), 1u);
    }
}

// What stands at the temporary file's name is no running writer's: a
// killed run's half list, a link to a file elsewhere, a second name of the
// run lock's file (whose lock the run holds itself).  It is replaced, and
// what it leads to is left alone.
TEST(ScannerRuns, WhatStandsAtTheTemporaryNameIsReplaced) {
    for (const char* standing : {"leftover", "link", "lock file"}) {
        SCOPED_TRACE(standing);
        cetest::TempDevice dev;
        dev.writeFile("\\Start\\a.lnk", "x");
        dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
        std::filesystem::create_directories(dev.dir() + "/run/locks");
        const std::string lockFile = dev.dir() + "/run/locks/Zandoval.lock";
        const std::string elsewhere = dev.dir() + "/elsewhere";
        cetest::writeHostFile(lockFile, "");
        cetest::writeHostFile(elsewhere, "kept");
        const std::string temp = dev.hostPath("\\list.txt.zandoval-tmp");
        if (std::string(standing) == "leftover")
            cetest::writeHostFile(temp, "[1]\ndatei=half");
        else if (std::string(standing) == "link")
            ASSERT_EQ(symlink(elsewhere.c_str(), temp.c_str()), 0);
        else
            ASSERT_EQ(link(lockFile.c_str(), temp.c_str()), 0);
        cetest::RunResult r = cetest::runProgram(ZANDOVAL_EXE, {"-start"}, dev.dir(), {}, 30);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(dev.readFile("\\list.txt"), listEntry(1, "a", ""));
        EXPECT_FALSE(dev.fileExists("\\list.txt.zandoval-tmp"));
        EXPECT_EQ(cetest::readHostFile(elsewhere), "kept");
    }
}

// The list and its temporary file are no shortcuts wherever their path
// goes through "." or "..", or a link to a folder: a second run counts
// what the first did.  A shortcut whose name is the list's, in a folder
// whose name differs from the list's only in case, is no list on a PC.
TEST_F(ScannerRun, AListInTheTreeIsNoShortcutHoweverItsPathIsWritten) {
    const struct {
        const char* root;
        const char* dirFile;
        const char* linkToA;   // a host link to Start/A made under fs/, if any
        const char* caseTwin;  // a shortcut in a folder named like the list's but for case
        unsigned count;
    } cases[] = {
        {"\\Start", "\\Start\\.\\list.lnk", nullptr, nullptr, 2},
        {"\\Start", "\\START\\A\\..\\\\list.lnk", nullptr, nullptr, 2},
        {"\\Start\\..\\Start", "\\Start\\list.lnk", nullptr, nullptr, 2},
        {"\\Start", "\\..\\Start\\A\\..\\list.lnk", nullptr, nullptr, 2},
        {"\\Start", "\\alias\\list.lnk", "alias", nullptr, 2},
        {"\\Start", "\\Start\\a\\list.lnk", nullptr, "\\Start\\a\\list.lnk", 3},
    };
    for (const auto& c : cases) {
        cetest::TempDevice fresh;
        fresh.writeFile("\\Start\\One.lnk", "x");
        fresh.writeFile("\\Start\\A\\Two.lnk", "x");
        if (c.linkToA != nullptr) {
            ASSERT_EQ(symlink("Start/A", fresh.hostPath(std::string("\\") + c.linkToA).c_str()), 0);
        }
        if (c.caseTwin != nullptr) {
            std::filesystem::create_directories(fresh.hostPath("\\Start") + "/a");
            cetest::writeHostFile(fresh.hostPath("\\Start") + "/A/list.lnk", "x");
        }
        fresh.writeRegistry(settingsRegistry(c.root, "", c.dirFile));
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(cetest::runProgram(ZANDOVAL_EXE, {"-start"}, fresh.dir()).exitCode, 0);
        EXPECT_EQ(fresh.regDword(true, kKey, "maxList"), c.count) << c.dirFile;
    }
}

TEST_F(ScannerRun, NamesBeyondAsciiAreWrittenAsUtf8) {
    dev.writeFile(
        "\\Start\\Ordner-\xC3\xA4\\Gr\xC3\xBC\xC3\x9F"
        "e.lnk",
        "x");
    dev.writeRegistry(settingsRegistry("\\Start", "", "\\list.txt"));
    EXPECT_EQ(run().exitCode, 0);
    EXPECT_EQ(dev.readFile("\\list.txt"), listEntry(1,
                                                    "Gr\xC3\xBC\xC3\x9F"
                                                    "e",
                                                    "\\Ordner-\xC3\xA4"));
}

}  // namespace
