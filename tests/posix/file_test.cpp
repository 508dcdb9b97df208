// File streams as bytes, and the atomic copy-over.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "tests/posix/posix_test_util.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;
using posixtest::hostListing;
using posixtest::readDeviceFile;
using posixtest::writeDeviceFile;

TEST(FileStream, ReadLineBehavesLikeFgets) {
    TempDevice dev;
    dev.writeFile("\\t.txt", "one\r\ntwo\n\nlonger line\nlast");
    ce::File f = ce::fileOpen(u"\\t.txt", ce::FileMode::Read);
    ASSERT_NE(f, nullptr);
    char buf[6];
    std::vector<std::string> got;
    size_t n;
    while ((n = ce::fileReadLine(f, buf, sizeof buf)) > 0) {
        ASSERT_EQ(buf[n], 0);
        got.emplace_back(buf, n);
    }
    EXPECT_EQ(
        got, (std::vector<std::string>{"one\r\n", "two\n", "\n", "longe", "r lin", "e\n", "last"}));
    EXPECT_TRUE(ce::fileAtEnd(f));
    EXPECT_TRUE(ce::fileClose(f));
    f = ce::fileOpen(u"\\t.txt", ce::FileMode::Read);
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(ce::fileAtEnd(f));
    ASSERT_EQ(ce::fileReadLine(f, buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "one\r\n");
    char rest[100];
    EXPECT_EQ(ce::fileRead(f, rest, sizeof rest), 21u);
    EXPECT_TRUE(ce::fileAtEnd(f));
    EXPECT_TRUE(ce::fileClose(f));
}

TEST(FileStream, WritesBytesUnchangedAndTruncates) {
    TempDevice dev;
    dev.writeFile("\\w.bin", "old content that is longer");
    std::string bytes("a\r\nb\nc\0d\xff\xfe", 10);
    std::string big(200000, 'x');
    ce::File f = ce::fileOpen(u"\\w.bin", ce::FileMode::Write);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(ce::fileWrite(f, bytes.data(), bytes.size()));
    EXPECT_TRUE(ce::fileWrite(f, "text\n", 5));
    EXPECT_TRUE(ce::fileWrite(f, big.data(), big.size()));
    char none[4];
    EXPECT_EQ(ce::fileRead(f, none, sizeof none), 0u);
    EXPECT_TRUE(ce::fileClose(f));
    EXPECT_EQ(dev.readFile("\\w.bin"), bytes + "text\n" + big);
}

TEST(FileStream, OpenRefusesWhatIsNoRegularFile) {
    TempDevice dev;
    dev.writeFile("\\d\\f.txt", "f");
    EXPECT_EQ(ce::fileOpen(u"\\missing.txt", ce::FileMode::Read), nullptr);
    EXPECT_EQ(ce::fileOpen(u"\\d", ce::FileMode::Read), nullptr);
    EXPECT_EQ(ce::fileOpen(u"\\d", ce::FileMode::Write), nullptr);
    EXPECT_EQ(ce::fileOpen(u"\\d\\", ce::FileMode::Write), nullptr);
    ASSERT_EQ(mkfifo(dev.hostPath("\\pipe").c_str(), 0644), 0);
    EXPECT_EQ(ce::fileOpen(u"\\pipe", ce::FileMode::Read), nullptr);  // must not block
    EXPECT_EQ(ce::fileClose(nullptr), true);
}

TEST(FileStream, CloseReportsAFailedFlush) {
    TempDevice dev;
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A file size limit makes the buffered write fail at close.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100, 100};
        setrlimit(RLIMIT_FSIZE, &lim);
        ce::File f = ce::fileOpen(u"\\big.txt", ce::FileMode::Write);
        if (f == nullptr)
            _exit(2);
        std::string text(1000, 'y');
        ce::fileWrite(f, text.data(), text.size());
        _exit(ce::fileClose(f) ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(FileCopyOver, ReplacesTheDestinationAndLeavesTheSource) {
    TempDevice dev;
    std::string content;
    for (int i = 0; i < 20000; ++i)
        content += "line " + std::to_string(i) + "\r\n";
    dev.writeFile("\\tmp.txt", content);
    dev.writeFile("\\Windows\\layout.cpr", "old");
    ASSERT_TRUE(ce::fileCopyOver(u"\\TMP.txt", u"\\windows\\Layout.cpr"));
    EXPECT_EQ(dev.readFile("\\Windows\\layout.cpr"), content);
    EXPECT_EQ(dev.readFile("\\tmp.txt"), content);
    // A destination that does not exist yet is made, in the case written.
    ASSERT_TRUE(ce::fileCopyOver(u"\\tmp.txt", u"\\Windows\\New.cpr"));
    EXPECT_EQ(dev.readFile("\\Windows\\New.cpr"), content);
    EXPECT_EQ(hostListing(dev.dir() + "/fs/Windows"),
              (std::vector<std::string>{"New.cpr", "layout.cpr"}));
}

TEST(FileCopyOver, FailureLeavesTheDestinationAndNoTemporaryFile) {
    TempDevice dev;
    dev.writeFile("\\Windows\\layout.cpr", "old layout");
    dev.writeFile("\\Windows\\Dir\\inner.txt", "i");
    EXPECT_FALSE(ce::fileCopyOver(u"\\missing.txt", u"\\Windows\\layout.cpr"));
    EXPECT_FALSE(ce::fileCopyOver(u"\\Windows\\Dir", u"\\Windows\\layout.cpr"));
    EXPECT_FALSE(ce::fileCopyOver(u"\\Windows\\layout.cpr", u"\\Windows\\Dir"));
    EXPECT_FALSE(ce::fileCopyOver(u"\\Windows\\layout.cpr", u"\\NoDir\\x.cpr"));
    EXPECT_EQ(dev.readFile("\\Windows\\layout.cpr"), "old layout");
    EXPECT_EQ(dev.readFile("\\Windows\\Dir\\inner.txt"), "i");

    // A copy that runs out of room half way (here: a file size limit).
    dev.writeFile("\\big.txt", std::string(300000, 'b'));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(ce::fileCopyOver(u"\\big.txt", u"\\Windows\\layout.cpr") ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dev.readFile("\\Windows\\layout.cpr"), "old layout");
    EXPECT_EQ(hostListing(dev.dir() + "/fs/Windows"),
              (std::vector<std::string>{"Dir", "layout.cpr"}));
}

TEST(FileCopyOver, ReaderSeesOldOrNewContentNeverAMix) {
    TempDevice dev;
    std::string a(500000, 'a');
    std::string b(500000, 'b');
    dev.writeFile("\\a.txt", a);
    dev.writeFile("\\b.txt", b);
    dev.writeFile("\\target.txt", a);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        for (int i = 0; i < 40; ++i) {
            ce::fileCopyOver(i % 2 == 0 ? u"\\b.txt" : u"\\a.txt", u"\\target.txt");
        }
        _exit(0);
    }
    int status = 0;
    int reads = 0;
    while (waitpid(pid, &status, WNOHANG) == 0 || reads == 0) {
        std::string seen = dev.readFile("\\target.txt");
        EXPECT_TRUE(seen == a || seen == b) << "size " << seen.size();
        ++reads;
    }
}

TEST(FileMoveAndDelete, RenameOverAndDeleteFilesOnly) {
    TempDevice dev;
    dev.writeFile("\\from.txt", "moved");
    dev.writeFile("\\To.txt", "replaced");
    dev.writeFile("\\d\\x", "x");
    ASSERT_TRUE(ce::fileMoveOver(u"\\FROM.TXT", u"\\to.txt"));
    EXPECT_EQ(dev.readFile("\\To.txt"), "moved");
    EXPECT_FALSE(dev.fileExists("\\from.txt"));
    EXPECT_FALSE(ce::fileMoveOver(u"\\from.txt", u"\\to.txt"));
    // The root is no file: refused, with the reason it has.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ce::fileMoveOver(u"\\", u"\\to.txt"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Is a directory"), std::string::npos);
    EXPECT_EQ(dev.readFile("\\To.txt"), "moved");
    EXPECT_TRUE(ce::fileDelete(u"\\TO.TXT"));
    EXPECT_FALSE(dev.fileExists("\\To.txt"));
    EXPECT_FALSE(ce::fileDelete(u"\\TO.TXT"));
    EXPECT_FALSE(ce::fileDelete(u"\\d"));
    EXPECT_TRUE(dev.fileExists("\\d\\x"));
}

// A link that leads to a folder is that folder: no write replaces it
// (a list file named so took the place of a tree of shortcuts).
TEST(FileMoveAndDelete, ALinkToAFolderIsNoFileToReplace) {
    TempDevice dev;
    dev.writeFile("\\Storage\\Links\\Word.lnk", "");
    ASSERT_EQ(symlink("Storage/Links", dev.hostPath("\\Links").c_str()), 0);
    dev.writeFile("\\new.txt", "new");
    const std::pair<const char*, bool (*)()> writes[] = {
        {"open",
         [] {
             ce::File f = ce::fileOpen(u"\\Links", ce::FileMode::Write);
             return f != nullptr && ce::fileClose(f);
         }},
        {"copy", [] { return ce::fileCopyOver(u"\\new.txt", u"\\links"); }},
        {"move", [] { return ce::fileMoveOver(u"\\new.txt", u"\\Links"); }},
    };
    testing::internal::CaptureStderr();  // said once for the path
    for (const auto& [what, write] : writes) {
        EXPECT_FALSE(write()) << what;
        EXPECT_TRUE(std::filesystem::is_symlink(dev.hostPath("\\Links"))) << what;
        EXPECT_TRUE(dev.fileExists("\\Links\\Word.lnk")) << what;
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Is a directory"), std::string::npos);
}

// A file that nobody may write is read-only, as with the device's
// attribute, for root too: it is neither emptied, replaced nor deleted.
TEST(FileMoveAndDelete, AReadOnlyFileIsLeftAsItIs) {
    TempDevice dev;
    const struct {
        const char* file;
        bool (*change)(const char16_t* path);
        bool says;  // a delete says nothing, as on the device
    } cases[] = {
        {"\\w.txt",
         [](const char16_t* path) {
             ce::File f = ce::fileOpen(path, ce::FileMode::Write);
             return f != nullptr && ce::fileClose(f);
         },
         true},
        {"\\c.txt", [](const char16_t* path) { return ce::fileCopyOver(u"\\new.txt", path); },
         true},
        {"\\m.txt", [](const char16_t* path) { return ce::fileMoveOver(u"\\new.txt", path); },
         true},
        {"\\d.txt", [](const char16_t* path) { return ce::fileDelete(path); }, false},
    };
    for (const auto& c : cases) {
        dev.writeFile(c.file, "kept");
        ASSERT_EQ(chmod(dev.hostPath(c.file).c_str(), 0444), 0);
        dev.writeFile("\\new.txt", "new");
        std::u16string path(c.file, c.file + std::strlen(c.file));
        testing::internal::CaptureStderr();
        EXPECT_FALSE(c.change(path.c_str())) << c.file;
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(dev.readFile(c.file), "kept") << c.file;
        EXPECT_EQ(said.find("Permission denied") != std::string::npos, c.says) << c.file << said;
        ASSERT_EQ(chmod(dev.hostPath(c.file).c_str(), 0644), 0);
        EXPECT_TRUE(c.change(path.c_str())) << c.file;
    }
}
