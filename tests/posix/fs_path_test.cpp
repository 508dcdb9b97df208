// Device paths: case-insensitive lookup, new names in the case written,
// "." and "..", both separators, and links that stay inside fs/ or not.
#include "platform/posix/fs/fs_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/platform.h"
#include "tests/posix/posix_test_util.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;
using posixtest::readDeviceFile;
using posixtest::writeDeviceFile;

namespace {

std::string hostOf(const std::u16string& devicePath) {
    std::string host;
    if (!ce::posix::deviceToHostPath(devicePath.c_str(), &host))
        return "<fails>";
    return host;
}

}  // namespace

TEST(DevicePath, FindsExistingEntriesWhateverTheirCase) {
    TempDevice dev;
    dev.writeFile("\\Windows\\x.cpr", "layout");
    std::string bytes;
    ASSERT_TRUE(readDeviceFile(u"\\windows\\X.CPR", &bytes));
    EXPECT_EQ(bytes, "layout");
    EXPECT_EQ(hostOf(u"\\WINDOWS\\X.cpr"), dev.dir() + "/fs/Windows/x.cpr");
    // Case folding reaches beyond ASCII: Latin-1 and Latin Extended-A.
    dev.writeFile("\\Ärger\\Łódź.txt", "u");
    EXPECT_TRUE(readDeviceFile(u"\\äRGER\\łÓDŹ.TXT", &bytes));
}

TEST(DevicePath, ExactNameWinsOverOneDifferingInCase) {
    TempDevice dev;
    dev.writeFile("\\Dir\\Name.txt", "upper");
    dev.writeFile("\\Dir\\name.txt", "lower");
    std::string bytes;
    ASSERT_TRUE(readDeviceFile(u"\\Dir\\name.txt", &bytes));
    EXPECT_EQ(bytes, "lower");
    ASSERT_TRUE(readDeviceFile(u"\\Dir\\Name.txt", &bytes));
    EXPECT_EQ(bytes, "upper");
}

TEST(DevicePath, NewFilesKeepTheCaseWrittenInTheirName) {
    TempDevice dev;
    dev.writeFile("\\Windows\\keep.txt", "");
    ASSERT_TRUE(writeDeviceFile(u"\\WINDOWS\\NewFile.TXT", "n"));
    EXPECT_EQ(dev.readFile("\\Windows\\NewFile.TXT"), "n");
    // Writing over an existing file in another case replaces that file.
    ASSERT_TRUE(writeDeviceFile(u"\\windows\\KEEP.TXT", "k"));
    EXPECT_EQ(dev.readFile("\\Windows\\keep.txt"), "k");
    // No name on the device holds a control character or one of
    // * ? : " < > |, so none is made (through a link to a folder neither).
    for (const char16_t* name :
         {u"\x03", u"a\tb.txt", u"to*do", u"a?b", u"c:d", u"q\"", u"<x>", u"p|q"}) {
        EXPECT_FALSE(writeDeviceFile(u"\\Windows\\" + std::u16string(name), "c"));
    }
    ASSERT_EQ(symlink("Windows", (dev.dir() + "/fs/Win").c_str()), 0);
    EXPECT_FALSE(writeDeviceFile(u"\\Win\\a?b", "c"));
    EXPECT_EQ(posixtest::hostListing(dev.dir() + "/fs/Windows"),
              (std::vector<std::string>{"NewFile.TXT", "keep.txt"}));
}

TEST(DevicePath, DotsResolveAsInARootDirectoryAndBothSlashesSeparate) {
    TempDevice dev;
    dev.writeFile("\\a\\b\\f.txt", "f");
    std::string fs = dev.dir() + "/fs";
    EXPECT_EQ(hostOf(u"\\a/b\\f.txt"), fs + "/a/b/f.txt");
    EXPECT_EQ(hostOf(u"\\a\\.\\b\\\\f.txt"), fs + "/a/b/f.txt");
    EXPECT_EQ(hostOf(u"\\a\\x\\..\\b\\f.txt"), fs + "/a/b/f.txt");
    EXPECT_EQ(hostOf(u"\\..\\..\\a\\b\\f.txt"), fs + "/a/b/f.txt");
    EXPECT_EQ(hostOf(u"\\a\\b\\..\\..\\..\\top.txt"), fs + "/top.txt");
    EXPECT_EQ(hostOf(u"\\a\\b\\.."), fs + "/a");
    EXPECT_EQ(hostOf(u"\\"), fs);
}

TEST(DevicePath, RelativeAndMalformedPathsFail) {
    TempDevice dev;
    dev.writeFile("\\f.txt", "f");
    for (const char16_t* bad : {u"f.txt", u"/f.txt", u"", u".\\f.txt", u"C:\\f.txt"}) {
        EXPECT_EQ(ce::fileOpen(bad, ce::FileMode::Read), nullptr);
    }
    const char16_t lone[] = {u'\\', 0xD800, u'x', 0};  // unpaired surrogate
    EXPECT_EQ(ce::fileOpen(lone, ce::FileMode::Write), nullptr);
}

TEST(DevicePath, MissingDirectoriesAreNotCreated) {
    TempDevice dev;
    EXPECT_EQ(ce::fileOpen(u"\\NoDir\\f.txt", ce::FileMode::Write), nullptr);
    EXPECT_FALSE(dev.fileExists("\\NoDir"));
    // A file in the middle of a path is no directory.
    dev.writeFile("\\plain", "p");
    EXPECT_EQ(ce::fileOpen(u"\\plain\\f.txt", ce::FileMode::Write), nullptr);
}

TEST(DevicePath, LinksLeadingOutOfFsFailLikeMissingFiles) {
    TempDevice dev;
    std::string fs = dev.dir() + "/fs";
    cetest::writeHostFile(dev.dir() + "/secret.txt", "outside");
    dev.writeFile("\\sub\\inside.txt", "inside");
    ASSERT_EQ(symlink(dev.dir().c_str(), (fs + "/abs_out").c_str()), 0);
    ASSERT_EQ(symlink("../secret.txt", (fs + "/rel_out.txt").c_str()), 0);
    ASSERT_EQ(symlink("../../secret.txt", (fs + "/sub/deeper_out.txt").c_str()), 0);
    ASSERT_EQ(symlink("/etc", (fs + "/etc_link").c_str()), 0);
    std::string bytes;
    EXPECT_FALSE(readDeviceFile(u"\\abs_out\\secret.txt", &bytes));
    EXPECT_FALSE(readDeviceFile(u"\\rel_out.txt", &bytes));
    EXPECT_FALSE(readDeviceFile(u"\\sub\\deeper_out.txt", &bytes));
    EXPECT_FALSE(readDeviceFile(u"\\etc_link\\hostname", &bytes));
    // A file written is made anew: the link in its place is replaced, never
    // followed out.
    EXPECT_TRUE(writeDeviceFile(u"\\rel_out.txt", "overwritten"));
    EXPECT_FALSE(writeDeviceFile(u"\\abs_out\\new.txt", "created"));
    EXPECT_EQ(cetest::readHostFile(dev.dir() + "/secret.txt"), "outside");
    EXPECT_EQ(cetest::readHostFile(fs + "/rel_out.txt"), "overwritten");
    EXPECT_NE(access((dev.dir() + "/new.txt").c_str(), F_OK), 0);
}

TEST(DevicePath, LinksThatStayInsideFsAreFollowed) {
    TempDevice dev;
    std::string fs = dev.dir() + "/fs";
    dev.writeFile("\\Data\\Real\\r.txt", "real");
    ASSERT_EQ(symlink("Data/Real", (fs + "/rel_dir").c_str()), 0);
    ASSERT_EQ(symlink((fs + "/Data/Real").c_str(), (fs + "/abs_dir").c_str()), 0);
    ASSERT_EQ(symlink("../Data/Real/r.txt", (fs + "/Data/via_parent.txt").c_str()), 0);
    ASSERT_EQ(symlink("loop_b", (fs + "/loop_a").c_str()), 0);
    ASSERT_EQ(symlink("loop_a", (fs + "/loop_b").c_str()), 0);
    std::string bytes;
    EXPECT_TRUE(readDeviceFile(u"\\REL_DIR\\r.txt", &bytes));
    EXPECT_EQ(bytes, "real");
    EXPECT_TRUE(readDeviceFile(u"\\abs_dir\\R.TXT", &bytes));
    EXPECT_TRUE(readDeviceFile(u"\\data\\via_parent.txt", &bytes));
    EXPECT_EQ(hostOf(u"\\rel_dir\\r.txt"), fs + "/Data/Real/r.txt");
    EXPECT_FALSE(readDeviceFile(u"\\loop_a", &bytes));
    EXPECT_FALSE(readDeviceFile(u"\\loop_a\\x", &bytes));
}

TEST(DevicePath, RememberedDirectoryFollowsAChangeOfDevice) {
    std::string bytes;
    {
        TempDevice first;
        first.writeFile("\\a\\b\\f.txt", "first");
        ASSERT_TRUE(readDeviceFile(u"\\a\\b\\f.txt", &bytes));
        EXPECT_EQ(bytes, "first");
    }
    TempDevice second;
    second.writeFile("\\a\\b\\f.txt", "second");
    ASSERT_TRUE(readDeviceFile(u"\\a\\b\\f.txt", &bytes));
    EXPECT_EQ(bytes, "second");
    // A directory removed and made anew is found again, not the old one.
    ASSERT_EQ(system(("rm -rf '" + second.dir() + "/fs/a'").c_str()), 0);
    second.writeFile("\\a\\b\\f.txt", "third");
    ASSERT_TRUE(readDeviceFile(u"\\a\\b\\f.txt", &bytes));
    EXPECT_EQ(bytes, "third");
}
