// The platform's registry functions on a temporary device's registry.reg.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"
#include "tests/support/device_fixture.h"

extern char** environ;

using cetest::TempDevice;
using cetest::U;

namespace {

std::string registryPath(const TempDevice& dev) {
    return dev.dir() + "/registry.reg";
}

TEST(RegistryBackend, FirstWriteCreatesAnExportLikeFile) {
    TempDevice dev;
    ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    ASSERT_NE(key, nullptr);
    // A key created and written is one replacement of the file, at the
    // close: until then it exists for this process only.
    ce::RegKey again = ce::regOpenKey(ce::Hive::CurrentUser, u"software\\qorv");
    EXPECT_NE(again, nullptr);
    ce::regCloseKey(again);
    EXPECT_TRUE(ce::regWriteString(key, u"ErrorDescription", u"#0 Success"));
    EXPECT_TRUE(ce::regWriteDword(key, u"ErrorNumber", 0));
    EXPECT_FALSE(std::filesystem::exists(registryPath(dev)));
    ce::regCloseKey(key);
    EXPECT_EQ(regtest::fileText(dev.readRegistryFile()),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\QORV]\r\n"
              "\"ErrorDescription\"=\"#0 Success\"\r\n"
              "\"ErrorNumber\"=dword:00000000\r\n");
    ce::RegKey home = ce::regCreateKey(ce::Hive::LocalMachine, u"SOFTWARE\\Microsoft\\CHome");
    ASSERT_NE(home, nullptr);
    EXPECT_TRUE(ce::regWriteString(home, u"CPRFile", u"\\Windows\\home_480x800.cpr"));
    ce::regCloseKey(home);
    EXPECT_EQ(regtest::fileText(dev.readRegistryFile()),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\QORV]\r\n"
              "\"ErrorDescription\"=\"#0 Success\"\r\n"
              "\"ErrorNumber\"=dword:00000000\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome]\r\n"
              "\"CPRFile\"=\"\\\\Windows\\\\home_480x800.cpr\"\r\n");
    // Parents need no header of their own to exist.
    ce::RegKey parent = ce::regOpenKey(ce::Hive::LocalMachine, u"software\\microsoft");
    EXPECT_NE(parent, nullptr);
    ce::regCloseKey(parent);
    EXPECT_EQ(dev.regString(true, "SOFTWARE\\MICROSOFT\\chome", "cprfile"),
              U("\\Windows\\home_480x800.cpr"));
}

TEST(RegistryBackend, OpeningAMissingKeyFailsAndWritesNothing) {
    TempDevice dev;
    EXPECT_EQ(ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Nothing"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(registryPath(dev)));
    dev.writeRegistry("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\n");
    EXPECT_EQ(ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\A\\C"), nullptr);
    EXPECT_EQ(ce::regOpenKey(ce::Hive::CurrentUser, u"SOFTWARE\\A"), nullptr);
    ce::RegKey a = ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\A");
    EXPECT_NE(a, nullptr);
    ce::regCloseKey(a);
    // Creating an existing key (in another case) leaves the file alone.
    ce::RegKey b = ce::regCreateKey(ce::Hive::LocalMachine, u"software\\a\\b");
    EXPECT_NE(b, nullptr);
    ce::regCloseKey(b);
    EXPECT_EQ(dev.readRegistryFile(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\n");
}

TEST(RegistryBackend, AKeyFoundMissingIsSeenOnceTheFileHasIt) {
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n");
    EXPECT_EQ(ce::regOpenKey(ce::Hive::CurrentUser, u"B"), nullptr);
    ce::RegKey waiting = ce::regCreateKey(ce::Hive::CurrentUser, u"C");
    ASSERT_NE(waiting, nullptr);
    char16_t buf[16];
    EXPECT_FALSE(ce::regReadString(waiting, u"v", buf, 16));
    // Another process gives the file both keys.
    dev.writeRegistry(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\B]\n"
        "[HKEY_CURRENT_USER\\C]\n\"v\"=\"x\"\n");
    ce::RegKey b = ce::regOpenKey(ce::Hive::CurrentUser, u"B");
    EXPECT_NE(b, nullptr);
    ce::regCloseKey(b);
    EXPECT_TRUE(ce::regReadString(waiting, u"v", buf, 16));
    EXPECT_EQ(std::u16string(buf), u"x");
    ce::regCloseKey(waiting);
}

TEST(RegistryBackend, ValueFitsOnlyWhenItsBytesFit) {
    TempDevice dev;
    dev.writeRegistry(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"s\"=\"abc\"\n"
        "\"d\"=dword:0000002a\n\"b\"=hex:01,02,03\n");
    ce::RegKey key = ce::regOpenKey(ce::Hive::CurrentUser, u"K");
    ASSERT_NE(key, nullptr);
    char16_t buf[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    uint32_t type = 99;
    uint32_t size = 99;
    // "abc" needs (3 + 1) x 2 = 8 bytes.
    EXPECT_FALSE(ce::regQueryValue(key, u"s", buf, 7, &type, &size));
    EXPECT_EQ(buf[0], u'x');
    EXPECT_TRUE(ce::regQueryValue(key, u"S", buf, 8, &type, &size));
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_EQ(type, ce::kRegSz);
    EXPECT_EQ(size, 8u);
    EXPECT_FALSE(ce::regReadString(key, u"s", buf, 3));
    EXPECT_TRUE(ce::regReadString(key, u"s", buf, 4));

    // Read as a string, a number gives its raw bytes; the type is reported.
    EXPECT_TRUE(ce::regQueryValue(key, u"d", buf, 16, &type, &size));
    EXPECT_EQ(type, ce::kRegDword);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buf[0], 42);
    EXPECT_EQ(buf[1], 0);
    uint32_t d = 0;
    EXPECT_FALSE(ce::regQueryValue(key, u"d", &d, 3, &type, &size));
    EXPECT_TRUE(ce::regReadDword(key, u"d", &d));
    EXPECT_EQ(d, 42u);
    // Three bytes do not fit a number's four... but a four-byte buffer holds them.
    EXPECT_TRUE(ce::regQueryValue(key, u"b", &d, 4, &type, &size));
    EXPECT_EQ(type, ce::kRegBinary);
    EXPECT_EQ(size, 3u);
    EXPECT_FALSE(ce::regQueryValue(key, u"missing", buf, 16, &type, &size));
    EXPECT_FALSE(ce::regQueryValue(nullptr, u"s", buf, 16, &type, &size));
    ce::regCloseKey(key);
}

// A directory of that name, or a link that leads nowhere (to a card not
// mounted), which a first write would replace.
TEST(RegistryBackend, UnreachableRegistryFailsEveryOpenAndCreate) {
    for (bool link : {false, true}) {
        TempDevice dev;
        if (link)
            ASSERT_EQ(symlink("/nonexistent/registry.reg", registryPath(dev).c_str()), 0);
        else
            std::filesystem::create_directory(registryPath(dev));
        EXPECT_EQ(ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV"), nullptr) << link;
        EXPECT_EQ(ce::regOpenKey(ce::Hive::CurrentUser, u""), nullptr) << link;
        EXPECT_EQ(
            std::filesystem::symlink_status(registryPath(dev)).type(),
            link ? std::filesystem::file_type::symlink : std::filesystem::file_type::directory);
    }
}

// The lock is taken on the file of that name: one that another user made
// (a run as root) is locked through a descriptor for reading, and one that
// was removed while this writer waited for it is taken anew.
int gFlocks = 0;
std::string gLockPath;
int refusedForWriting(int dirFd, const char* name, int flags, mode_t mode) {
    if (std::string_view(name).ends_with(".lock") && (flags & O_ACCMODE) != O_RDONLY) {
        errno = EACCES;
        return -1;
    }
    return openat(dirFd, name, flags, mode);
}
int removedWhileWaiting(int fd, int operation) {
    if (++gFlocks == 1)
        unlink(gLockPath.c_str());
    return flock(fd, operation);
}

TEST(RegistryBackend, TheLockIsTakenOnTheLockFileOfThatName) {
    for (bool removed : {false, true}) {
        TempDevice dev;
        gLockPath = registryPath(dev) + ".lock";
        dev.writeRegistry("REGEDIT4\n\n");
        std::ofstream(gLockPath).put('\n');
        gFlocks = 0;
        if (removed)
            ce::posix::sysCalls().flock = removedWhileWaiting;
        else
            ce::posix::sysCalls().openat = refusedForWriting;
        ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
        EXPECT_TRUE(ce::regWriteDword(key, u"N", 7));
        ce::regCloseKey(key);
        ce::posix::restoreSysCalls();
        // Held on the name: a lock file removed meanwhile is made anew.
        EXPECT_TRUE(std::filesystem::exists(gLockPath)) << removed;
        EXPECT_EQ(regtest::fileText(dev.readRegistryFile()),
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\QORV]\n\"N\"=dword:00000007\n");
    }
}

// File permissions do not bind root: as root, the check runs in a child
// process that has become "nobody".
bool asUnprivileged(bool (*check)()) {
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && check() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TEST(RegistryBackend, UnreadableRegistryFailsEveryOpenAndCreate) {
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\QORV]\n");
    ASSERT_EQ(chmod(registryPath(dev).c_str(), 0), 0);
    ASSERT_EQ(chmod(dev.dir().c_str(), 0777), 0);  // the lock file may be made
    EXPECT_TRUE(asUnprivileged([] {
        return ce::regOpenKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV") == nullptr &&
               ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\Other") == nullptr;
    }));
    chmod(registryPath(dev).c_str(), 0644);
}

TEST(RegistryBackend, AFileThatIsNoExportIsNeverWritten) {
    const struct {
        const char* what;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"UTF-16 big-endian", std::string("\xFE\xFF\0R\0E\0G\0E\0D\0I\0T\0\x34\0\n", 20),
         "UTF-16 big-endian, an encoding it is never written in"},
        {"a PNG", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20),
         "neither the header line of an export nor any key of a root"},
        {"a JSON file", "{\n  \"HKEY_CURRENT_USER\": {}\n}\n",
         "neither the header line of an export nor any key of a root"},
        {"a header line that is cut off", "[HKEY_CURRENT_USER\\SOFTWARE\n",
         "neither the header line of an export nor any key of a root"},
        {"an INI file", "[Settings]\nname=value\n",
         "neither the header line of an export nor any key of a root"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDevice dev;
        {
            std::ofstream out(registryPath(dev), std::ios::binary);
            out << c.bytes;
        }
        cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"1", "1"}, dev.dir());
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "reg_writer: cannot use the registry " + registryPath(dev) +
                             ": not a registry export (" + c.reason + ")\n");
        EXPECT_EQ(ce::regOpenKey(ce::Hive::LocalMachine, u""), nullptr);
        EXPECT_EQ(dev.readRegistryFile(), c.bytes);
    }
}

// Root's write keeps the file its owner's, who may alone read it.
TEST(RegistryBackend, RootsWriteKeepsTheOwner) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n");
    ASSERT_EQ(chown(registryPath(dev).c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(registryPath(dev).c_str(), 0600), 0);
    ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    EXPECT_TRUE(ce::regWriteDword(key, u"N", 7));
    ce::regCloseKey(key);
    struct stat st;
    ASSERT_EQ(stat(registryPath(dev).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_NE(dev.readRegistryFile().find("\"N\"=dword:00000007"), std::string::npos);
}

// What a run as root makes in a device, or replaces there, stays the
// device owner's, whatever root's umask: the owner's later runs still take
// the run lock (without it two installs at once lost a plugin) and write
// the registry and the layout.
TEST(RegistryBackend, WhatARootRunMakesStaysTheOwners) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n");
    dev.writeFile("\\own.txt", "old");
    dev.writeFile("\\new.txt", "new");
    ASSERT_EQ(chmod(dev.hostPath("\\own.txt").c_str(), 0600), 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dev.dir()))
        ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(dev.dir().c_str(), 65534, 65534), 0);
    const mode_t mask = umask(077);
    ce::releaseRunLock(ce::acquireRunLock(u"qorvinstall"));
    EXPECT_TRUE(ce::fileCopyOver(u"\\new.txt", u"\\own.txt"));
    ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    EXPECT_TRUE(ce::regWriteDword(key, u"N", 7));
    ce::regCloseKey(key);
    umask(mask);
    for (const std::string& made :
         {dev.dir() + "/run", dev.dir() + "/run/locks", dev.dir() + "/run/locks/qorvinstall.lock",
          registryPath(dev) + ".lock", dev.hostPath("\\own.txt")}) {
        struct stat st;
        ASSERT_EQ(stat(made.c_str(), &st), 0) << made;
        EXPECT_EQ(st.st_uid, 65534u) << made;
    }
    EXPECT_TRUE(asUnprivileged([] {
        ce::RunLock lock = ce::acquireRunLock(u"qorvinstall");
        ce::RegKey again = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
        bool wrote = lock != nullptr && ce::regWriteDword(again, u"N", 8) &&
                     ce::fileCopyOver(u"\\new.txt", u"\\own.txt");
        ce::regCloseKey(again);
        ce::releaseRunLock(lock);
        std::ifstream in(std::string(std::getenv("CE_DEVICE_DIR")) + "/registry.reg");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return wrote && text.find("\"N\"=dword:00000008") != std::string::npos;
    }));
}

// A new registry gets what the umask leaves of 0666, as other new files.
TEST(RegistryBackend, ANewRegistryFollowsTheUmask) {
    for (mode_t mask : {mode_t{022}, mode_t{077}}) {
        TempDevice dev;
        std::filesystem::remove(registryPath(dev));
        const mode_t before = umask(mask);
        ce::RegKey key = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
        EXPECT_TRUE(ce::regWriteDword(key, u"N", 7));
        ce::regCloseKey(key);
        umask(before);
        struct stat st;
        ASSERT_EQ(stat(registryPath(dev).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    }
}

// A registry.reg that nobody may write is read-only, even to root: a
// rename would replace it all the same.  Whether the run has keys to create
// or only values to write into keys that are there, it fails naming the
// file, and the file stays as it was.
TEST(RegistryBackend, ARegistryNobodyMayWriteIsNeverWritten) {
    for (const char* held : {"", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Concurrent\\Writer1]\n"}) {
        SCOPED_TRACE(held);
        TempDevice dev;
        std::string text = std::string("REGEDIT4\n\n") + held;
        dev.writeRegistry(text);
        ASSERT_EQ(chmod(registryPath(dev).c_str(), 0444), 0);
        cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"1", "1"}, dev.dir());
        // (With the keys there, the writes fail at the close, which
        // reg_writer does not look at; the programs' entry ends with 1.)
        if (*held == 0) {
            EXPECT_EQ(r.exitCode, 1);
        }
        EXPECT_EQ(r.err, "reg_writer: cannot write the registry " + registryPath(dev) +
                             ": Permission denied\n");
        EXPECT_EQ(dev.readRegistryFile(), text);
        chmod(registryPath(dev).c_str(), 0644);
    }
}

// A link in place of the lock file is never followed: the lock is made
// when missing, and through a link it would make a file anywhere.
TEST(RegistryBackend, ALinkedLockFileIsRefusedAndLeadsNowhere) {
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n");
    const std::string target = dev.dir() + "/elsewhere";
    ASSERT_EQ(symlink(target.c_str(), (registryPath(dev) + ".lock").c_str()), 0);
    cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"1", "1"}, dev.dir());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "reg_writer: cannot write the registry's lock file " + registryPath(dev) +
                         ".lock: a symbolic link, which is never followed\n");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(dev.readRegistryFile(), "REGEDIT4\n\n");
}

TEST(RegistryBackend, SeesEveryChangeOfTheFile) {
    TempDevice dev;
    dev.writeRegistry("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"one\"\n");
    ce::RegKey key = ce::regOpenKey(ce::Hive::CurrentUser, u"K");
    ASSERT_NE(key, nullptr);
    char16_t buf[16];
    EXPECT_TRUE(ce::regReadString(key, u"v", buf, 16));
    EXPECT_EQ(std::u16string(buf), u"one");
    // Rewritten in place with the same size, within the same clock tick.
    dev.writeRegistry("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"two\"\n");
    EXPECT_TRUE(ce::regReadString(key, u"v", buf, 16));
    EXPECT_EQ(std::u16string(buf), u"two");

    // Another process's write is seen at once.
    cetest::RunResult r = cetest::runProgram(REG_WRITER_EXE, {"7", "2"}, dev.dir());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dev.regString(true, "SOFTWARE\\Concurrent", "w7_1"), U("value 7/1"));

    // A key deleted meanwhile fails reads and takes no writes.
    dev.writeRegistry(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"two\"\n[-HKEY_CURRENT_USER\\K]\n");
    EXPECT_FALSE(ce::regReadString(key, u"v", buf, 16));
    EXPECT_FALSE(ce::regWriteString(key, u"v", u"three"));
    EXPECT_EQ(dev.readRegistryFile(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"two\"\n[-HKEY_CURRENT_USER\\K]\n");
    ce::regCloseKey(key);
}

TEST(RegistryBackend, WritesKeepTheRestOfTheFile) {
    TempDevice dev;
    std::string original = regtest::readCorpus("mswcs_knownfolders_kfdef.reg");
    dev.writeRegistry(original);
    ce::RegKey key = ce::regOpenKey(
        ce::Hive::LocalMachine,
        u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\FolderDescriptions\\"
        u"{9577B273-21CD-4bb5-88FB-3781C577543F}");
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(ce::regWriteDword(key, u"category", 1));
    EXPECT_TRUE(ce::regWriteString(key, u"New", u"x"));
    ce::regCloseKey(key);
    std::string expected = regtest::replaceOnce(original, "\"Category\"=dword:00000004\n",
                                                "\"Category\"=dword:00000001\n");
    expected = regtest::replaceOnce(expected, "\"Roamable\"=dword:00000001\n",
                                    "\"Roamable\"=dword:00000001\n\"New\"=\"x\"\n");
    EXPECT_EQ(dev.readRegistryFile(), expected);
    // No temporary file is left beside it; the lock file stays.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dev.dir())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"fs", "registry.reg", "registry.reg.lock"}));
}

TEST(RegistryBackend, TwentyProcessesWritingAtOnceLoseNothing) {
    TempDevice dev;
    constexpr int kWriters = 20;
    constexpr int kValuesEach = 5;
    std::vector<pid_t> pids;
    std::string count = std::to_string(kValuesEach);
    for (int id = 0; id < kWriters; ++id) {
        std::string idText = std::to_string(id);
        char* argv[] = {const_cast<char*>(REG_WRITER_EXE), idText.data(), count.data(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, REG_WRITER_EXE, nullptr, nullptr, argv, environ), 0);
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int id = 0; id < kWriters; ++id) {
        for (int n = 0; n < kValuesEach; ++n) {
            std::string tag = std::to_string(id) + "_" + std::to_string(n);
            EXPECT_EQ(dev.regString(true, "SOFTWARE\\Concurrent", "w" + tag),
                      U("value " + std::to_string(id) + "/" + std::to_string(n)));
            EXPECT_EQ(dev.regDword(true, "SOFTWARE\\Concurrent\\Writer" + std::to_string(id),
                                   "n" + std::to_string(n)),
                      static_cast<uint32_t>(id * 1000 + n));
        }
    }
}

}  // namespace
