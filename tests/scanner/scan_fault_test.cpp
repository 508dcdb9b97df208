// Failures of single system calls during scans, staged through the posix
// backend's system-call table (tests/support/sys_faults.h): a list file
// that cannot be written gives result 3 with the earlier list whole;
// interrupted calls and short transfers give the list of a clean run; and
// the process ended at each call of a scan that changes the disk leaves
// the list old or new, registry.reg readable with every other value intact,
// and a rerun that finishes the scan.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>

#include "scanner/scan_run.h"
#include "tests/scanner/scan_support.h"
#include "tests/support/device_fixture.h"
#include "tests/support/sys_faults.h"

namespace {

using cetest::Effect;
using cetest::Fault;
using cetest::Kind;
using cetest::TempDevice;
using cetest::U;
using scantest::kKey;

const std::string kOldList = "[1]\ndatei=Old\ndir=\\\n";

// A tree of three shortcuts and an earlier list; the launcher plugin's key
// also holds a value of its own, and another key one that no scan touches.
void prepare(const TempDevice& dev) {
    for (const char* f : {"Mail.lnk", "notes.txt", "Sub\\Deep.lnk", "Sub\\More\\Calc.lnk"})
        dev.writeFile(std::string("\\Start\\") + f, "x");
    dev.writeFile("\\list.txt", kOldList);
    dev.writeRegistry(scantest::settingsRegistry("\\Start", std::nullopt, "\\list.txt") +
                      "\"Plugin\"=\"own\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                      "\"Keep\"=dword:00000007\r\n");
}

// The list of a finished scan, in the host's directory order.
std::string newList(const TempDevice& dev) {
    uint32_t count = 0;
    return scantest::expectedList(
        dev.hostPath("\\Start"), [](const std::string&) { return true; }, &count);
}

int scan(const TempDevice& dev, const Fault& fault, int* calls = nullptr) {
    return cetest::runWithFault(
        dev.dir(), fault, [] { return zandoval::runScanner(*new zandoval::ScanRun); }, calls);
}

// The values that no scan writes are intact.
void expectUntouched(const TempDevice& dev) {
    EXPECT_EQ(dev.regString(true, kKey, "searchRootDir"), U("\\Start"));
    EXPECT_EQ(dev.regString(true, kKey, "Plugin"), U("own"));
    EXPECT_EQ(dev.regDword(false, "Software\\Other", "Keep"), 7u);
}

void expectFinished(const TempDevice& dev, uint32_t code, const std::string& list) {
    EXPECT_EQ(dev.regDword(true, kKey, "ErrorNumber"), code);
    EXPECT_EQ(dev.regDword(true, kKey, "maxList"), 3u);
    EXPECT_EQ(dev.regDword(true, kKey, "Scanned"), 1u);
    EXPECT_EQ(dev.readFile("\\list.txt"), list);
    EXPECT_FALSE(dev.fileExists("\\list.txt.zandoval-tmp"));
    expectUntouched(dev);
}

TEST(ScanFaults, AListFileThatCannotBeWrittenGivesResult3AndKeepsTheEarlierList) {
    const Fault faults[] = {
        {Kind::Open, "list.txt", 1, Effect::Fail, EACCES},
        {Kind::Write, "list.txt", 1, Effect::Fail, ENOSPC},
        {Kind::Fsync, "list.txt", 1, Effect::Fail, EIO},
        {Kind::Rename, "list.txt", 1, Effect::Fail, EACCES},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault.kind));
        TempDevice dev;
        prepare(dev);
        EXPECT_EQ(scan(dev, fault), 1);
        EXPECT_EQ(dev.regString(true, kKey, "ErrorDescription"),
                  U("#3 Dir-File could not be opened"));
        expectFinished(dev, 3, kOldList);
    }
}

// A folder that cannot be listed is passed over, and named.
TEST(ScanFaults, AFolderThatCannotBeListedIsNamedOnStandardError) {
    TempDevice dev;
    prepare(dev);
    const std::string err = dev.dir() + "/err.txt";
    EXPECT_EQ(cetest::runWithFault(dev.dir(), Fault{Kind::Read, "/More", 1, Effect::Fail, EACCES},
                                   [&] {
                                       int fd = open(err.c_str(), O_WRONLY | O_CREAT, 0600);
                                       dup2(fd, 2);
                                       return zandoval::runScanner(*new zandoval::ScanRun);
                                   }),
              0);
    EXPECT_EQ(dev.regDword(true, kKey, "maxList"), 2u);
    std::string said = cetest::readHostFile(err);  // after the program's name
    EXPECT_EQ(said.substr(said.find(": ") + 2),
              "cannot list the folder \\Start\\Sub\\More: Permission denied; what it holds is "
              "passed over\n");
}

TEST(ScanFaults, InterruptedCallsAndShortTransfersGiveTheCleanList) {
    for (Kind kind : {Kind::Read, Kind::Write, Kind::Fsync}) {
        for (Effect effect : {Effect::EveryOtherInterrupted, Effect::EveryOtherShort}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + " " +
                         std::to_string(static_cast<int>(effect)));
            TempDevice dev;
            prepare(dev);
            int seen = 0;
            EXPECT_EQ(scan(dev, Fault{kind, "", 0, effect, 0}, &seen), 0);
            EXPECT_GT(seen, 0);  // the disturbance really met calls
            expectFinished(dev, 0, newList(dev));
        }
    }
}

TEST(ScanCrashPoints, EveryCallOfAScanIsACrashPointThatARerunRecoversFrom) {
    int calls = 0;
    {
        TempDevice clean;
        prepare(clean);
        ASSERT_EQ(scan(clean, Fault{Kind::Any, "", INT_MAX, Effect::Crash, 0}, &calls), 0);
        expectFinished(clean, 0, newList(clean));
    }
    ASSERT_GT(calls, 0);
    // The process ends, or the power goes and takes what was not flushed.
    for (Effect end : {Effect::Crash, Effect::PowerLoss}) {
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE("scan ended at call " + std::to_string(n) +
                         (end == Effect::PowerLoss ? " by a power loss" : ""));
            TempDevice dev;
            prepare(dev);
            EXPECT_EQ(scan(dev, Fault{Kind::Any, "", n, end, 0}), cetest::kCrashedStatus);
            const std::string finished = newList(dev);
            std::string list = dev.readFile("\\list.txt");
            EXPECT_TRUE(list == kOldList || list == finished) << list;
            expectUntouched(dev);
            EXPECT_EQ(scan(dev, cetest::noFault()), 0);
            expectFinished(dev, 0, finished);
        }
    }
    printf("scan crash points checked: %d, each as a crash and as a power loss\n", calls);
}

}  // namespace
