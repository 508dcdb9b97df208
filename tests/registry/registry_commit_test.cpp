// Writes wait in the process and reach registry.reg in the order made when
// a handle is closed (or the program ends), merged with what other
// processes wrote meanwhile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;
using cetest::U;

namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Concurrent";

// A value as the file on disk holds it now ("<missing>" when absent).
std::string onDisk(const TempDevice& dev, const std::string& key, const std::string& name) {
    ce::posix::RegFile f = ce::posix::regFileParse(dev.readRegistryFile());
    ce::posix::RegValueData v = regtest::valueOf(f, key, name);
    if (v.type == 0xffffffffu)
        return "<missing>";
    if (v.type == ce::kRegDword)
        return std::to_string(v.bytes[0]);
    std::u16string text;
    for (size_t i = 0; i + 3 < v.bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8)));
    return ce::utf8(text);
}

std::string readThrough(ce::RegKey key, const char16_t* name) {
    char16_t buf[64];
    return ce::regReadString(key, name, buf, 64) ? ce::utf8(buf) : "<missing>";
}

TEST(RegistryCommit, WaitingValuesAreReadBackAndWrittenTogetherAtClose) {
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n[" + kKey + "]\n\"old\"=\"kept\"\n");
    ce::RegKey a = ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Concurrent");
    ce::RegKey b = ce::regOpenKey(ce::Hive::LocalMachine, u"software\\concurrent");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(ce::regWriteString(a, u"One", u"1"));
    EXPECT_TRUE(ce::regWriteString(a, u"old", u"new"));
    EXPECT_TRUE(ce::regWriteString(b, u"Two", u"2"));
    // Seen at once in this process, through either handle, in any case.
    EXPECT_EQ(readThrough(b, u"one"), "1");
    EXPECT_EQ(readThrough(a, u"OLD"), "new");
    EXPECT_EQ(readThrough(a, u"Two"), "2");
    // Nothing on disk yet.
    EXPECT_EQ(dev.readRegistryFile(), "REGEDIT4\n\n[" + kKey + "]\n\"old\"=\"kept\"\n");

    // Closing a handle through which writes wait commits every waiting
    // write, in the order made, whatever handle made it; the later write
    // wins.  A handle without waiting writes commits nothing.
    EXPECT_TRUE(ce::regWriteString(b, u"One", u"1b"));
    ce::regCloseKey(a);
    const std::string both =
        "REGEDIT4\n\n[" + kKey + "]\n\"old\"=\"new\"\n\"One\"=\"1b\"\n\"Two\"=\"2\"\n";
    EXPECT_EQ(dev.readRegistryFile(), both);
    ce::RegKey c = ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Concurrent");
    EXPECT_TRUE(ce::regWriteString(b, u"Three", u"3"));
    ce::regCloseKey(c);
    EXPECT_EQ(dev.readRegistryFile(), both);
    ce::regCloseKey(b);
    EXPECT_EQ(dev.readRegistryFile(), both + "\"Three\"=\"3\"\n");

    // A value written and then written back as it was replaces nothing.
    struct stat before {};
    ASSERT_EQ(stat((dev.dir() + "/registry.reg").c_str(), &before), 0);
    ce::RegKey d = ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Concurrent");
    EXPECT_TRUE(ce::regWriteString(d, u"One", u"other"));
    EXPECT_TRUE(ce::regWriteString(d, u"one", u"1b"));
    ce::regCloseKey(d);
    struct stat after {};
    ASSERT_EQ(stat((dev.dir() + "/registry.reg").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST(RegistryCommit, MergesWithWhatAnotherProcessWroteMeanwhile) {
    TempDevice dev;
    ce::RegKey key = ce::regCreateKey(ce::Hive::LocalMachine, u"SOFTWARE\\Concurrent");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(ce::regWriteString(key, u"w7_0", u"mine"));
    EXPECT_TRUE(ce::regWriteString(key, u"own", u"x"));
    cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"7", "2"}, dev.dir());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(onDisk(dev, kKey, "w7_0"), "value 7/0");
    EXPECT_EQ(readThrough(key, u"w7_1"), "value 7/1");
    ce::regCloseKey(key);
    // Applied value by value on top of the other process's file.
    EXPECT_EQ(onDisk(dev, kKey, "w7_0"), "mine");
    EXPECT_EQ(onDisk(dev, kKey, "w7_1"), "value 7/1");
    EXPECT_EQ(onDisk(dev, kKey, "own"), "x");
    EXPECT_EQ(onDisk(dev, kKey + "\\Writer7", "n1"), std::to_string(7001 % 256));
}

TEST(RegistryCommit, KeysLeftOpenAreWrittenWhenTheProgramEnds) {
    TempDevice dev;
    cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"3", "2", "open"}, dev.dir());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(onDisk(dev, kKey, "w3_1"), "value 3/1");
    EXPECT_EQ(onDisk(dev, kKey + "\\Writer3", "n0"), std::to_string(3000 % 256));
}

}  // namespace
