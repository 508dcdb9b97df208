// What the programs write is never written through a link, temporaries
// and finished files alike, and a replaced list keeps its permissions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/device_fixture.h"

namespace {

namespace fs = std::filesystem;
using cetest::RunResult;

constexpr char kListKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1";

void sampleDevice(const std::string& dev) {
    fs::copy(SAMPLE_DEVICE_DIR, dev,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string scannerSettings() {
    return std::string("Windows Registry Editor Version 5.00\n\n[") + kListKey +
           "]\n\"searchRootDir\"=\"\\\\Links\"\n\"dirFile\"=\"\\\\lorvendi.txt\"\n";
}

struct TempRun {
    std::string exe;
    std::vector<std::string> args;
    const char* temp;  // the temporary the run empties and rewrites
};

// A file outside fs/ hard-linked, and a file inside fs/ symbolically
// linked, under the name of each temporary: the run replaces the link and
// leaves both files as they were.
TEST(WrittenFiles, TemporariesAreMadeAnewNotWrittenThroughALink) {
    const TempRun runs[] = {
        {QORVINSTALL_EXE,
         {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.plg", "-cpr:currentPortrait",
          "-silent"},
         "tempTitaniumPortraitCpr.txt"},
        {QORVINSTALL_EXE,
         {"-change", "-cpr:currentLandscape", "-view:BronzeListView", "-silent"},
         "tempTitaniumLandscapeCpr.txt"},
        {ZANDOVAL_EXE, {}, "lorvendi.txt.zandoval-tmp"},
    };
    for (const TempRun& run : runs) {
        for (bool hard : {true, false}) {
            SCOPED_TRACE(std::string(run.temp) +
                         (hard ? " as a hard link" : " as a symbolic link"));
            cetest::TempDevice dev;
            sampleDevice(dev.dir());
            if (run.exe == ZANDOVAL_EXE)
                dev.writeRegistry(scannerSettings());
            const std::string outside = dev.dir() + "/outside.txt";
            const std::string inside = dev.dir() + "/fs/inside.txt";
            cetest::writeHostFile(outside, "outside\n");
            cetest::writeHostFile(inside, "inside\n");
            const std::string temp = dev.dir() + "/fs/" + run.temp;
            if (hard) {
                ASSERT_EQ(link(outside.c_str(), temp.c_str()), 0);
            } else {
                ASSERT_EQ(symlink("inside.txt", temp.c_str()), 0);
            }
            RunResult r = cetest::runProgram(run.exe, run.args, dev.dir());
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(cetest::readHostFile(outside), "outside\n");
            EXPECT_EQ(cetest::readHostFile(inside), "inside\n");
            EXPECT_FALSE(fs::is_symlink(temp));
        }
    }
}

// A layout or a list that is a symbolic link to a file inside fs/: the run
// replaces the link with the new file, and the file it pointed to keeps
// its bytes.
TEST(WrittenFiles, AFinishedFileReplacesALinkNotWhatItPointsTo) {
    const struct {
        std::string exe;
        std::vector<std::string> args;
        std::string file;
    } runs[] = {
        {QORVINSTALL_EXE,
         {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.plg", "-cpr:currentPortrait",
          "-silent"},
         "Windows/qorvhome_480x800.cpr"},
        {ZANDOVAL_EXE, {}, "lorvendi.txt"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.file);
        cetest::TempDevice dev;
        sampleDevice(dev.dir());
        if (run.exe == ZANDOVAL_EXE)
            dev.writeRegistry(scannerSettings());
        const std::string file = dev.dir() + "/fs/" + run.file;
        const std::string shared = dev.dir() + "/fs/shared.txt";
        cetest::writeHostFile(shared, fs::exists(file) ? cetest::readHostFile(file) : "old\n");
        const std::string before = cetest::readHostFile(shared);
        fs::remove(file);
        ASSERT_EQ(symlink(fs::relative(shared, fs::path(file).parent_path()).c_str(), file.c_str()),
                  0);
        RunResult r = cetest::runProgram(run.exe, run.args, dev.dir());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(cetest::readHostFile(shared), before);
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_NE(cetest::readHostFile(file), before);
    }
}

TEST(WrittenFiles, AReplacedListKeepsItsMode) {
    cetest::TempDevice dev;
    dev.writeRegistry(scannerSettings());
    dev.writeFile("\\Links\\a.lnk", "");
    dev.writeFile("\\lorvendi.txt", "old\n");
    const std::string list = dev.hostPath("\\lorvendi.txt");
    for (mode_t mode : {0600, 0640, 0604}) {
        ASSERT_EQ(chmod(list.c_str(), mode), 0);
        RunResult r = cetest::runProgram(ZANDOVAL_EXE, {}, dev.dir());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        struct stat st;
        ASSERT_EQ(stat(list.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(dev.readFile("\\lorvendi.txt"), "[1]\ndatei=a\ndir=\\\n");
    }
}

}  // namespace
