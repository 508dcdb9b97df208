// --help, -h and --version, and the lines on standard error that tell a
// user what to fix.  Diagnostics never change what the programs record or
// show: their lines begin with the program's name in lower case, message
// boxes with their caption.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "ce_version.h"
#include "tests/support/device_fixture.h"

namespace {

namespace fs = std::filesystem;
using cetest::RunResult;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

TEST(Help, HelpAndVersionAloneAnswerAndTouchNoDevice) {
    cetest::TempDevice scratch;
    const std::string missing = scratch.dir() + "/missing";
    const std::string home = scratch.dir() + "/home";
    const std::pair<std::string, std::string> programs[] = {{QORVINSTALL_EXE, "qorvinstall"},
                                                            {ZANDOVAL_EXE, "Zandoval"},
                                                            {VANTRELO_EXE, "Vantrelo"},
                                                            {CEDEVICE_EXE, "cedevice"}};
    for (const auto& [exe, name] : programs) {
        for (const std::string arg : {"--help", "-h", "--version"}) {
            for (const std::string& device : {missing, std::string()}) {
                RunResult r =
                    cetest::runProgram(exe, {arg}, device, {{"HOME", home}, {"XDG_DATA_HOME", ""}});
                SCOPED_TRACE(name + " " + arg + " with CE_DEVICE_DIR=" + device);
                EXPECT_EQ(r.exitCode, 0);
                EXPECT_EQ(r.err, "");
                if (arg == "--version") {
                    EXPECT_EQ(r.out, name + " " CE_VERSION_TEXT "\n");
                } else {
                    EXPECT_EQ(r.out.rfind("Usage: " + name + " ", 0), 0u) << r.out;
                }
            }
        }
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_FALSE(fs::exists(home));

    // Beside other words it is an ordinary command line of the installer.
    cetest::TempDevice dev;
    dev.writeRegistry(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome]\n");
    RunResult r = cetest::runProgram(QORVINSTALL_EXE, {"--help", "-silent"}, dev.dir());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(dev.regString(false, "SOFTWARE\\QORV", "ErrorDescription"),
              cetest::U("#1 Nothing to find what's to do (addchange,delete,change)"));
}

struct Diagnosis {
    const char* what;
    std::function<void(const std::string& dev)> setUp;
    std::string exe;
    std::vector<std::string> args;
    int exit;
    std::string line;  // "{dev}" stands for the device directory
    std::vector<std::string> boxes;
};

std::string withDevice(std::string text, const std::string& dev) {
    for (size_t at = text.find("{dev}"); at != std::string::npos; at = text.find("{dev}"))
        text.replace(at, 5, dev);
    return text;
}

void sampleDevice(const std::string& dev) {
    fs::copy(SAMPLE_DEVICE_DIR, dev, fs::copy_options::recursive);
}

TEST(Diagnostics, NameThePathAndTheReasonBesideTheUsualBoxes) {
    const std::string kQ100 = "QORV: #100 Couldn't access/create QORV Registry Key";
    const std::string kQ101 = "QORV: #101 Titanium Registry couldn't be found";
    const std::string kZ100 = "Zandoval: #100 Couldn't access/create Zandoval Registry Key";
    const Diagnosis cases[] = {
        {"a CE_DEVICE_DIR that does not exist",
         [](const std::string&) {},
         QORVINSTALL_EXE,
         {"-change", "-cpr:all"},
         1,
         "qorvinstall: the device directory {dev} (CE_DEVICE_DIR) does not exist; make it with: "
         "cedevice create '{dev}'",
         {kQ100, kQ101, kQ101}},
        {"the same for the scanner",
         [](const std::string&) {},
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: the device directory {dev} (CE_DEVICE_DIR) does not exist; make it with: "
         "cedevice create '{dev}'",
         {kZ100}},
        {"a device directory that is a file",
         [](const std::string& dev) { cetest::writeHostFile(dev, "x"); },
         QORVINSTALL_EXE,
         {"-change", "-cpr:all", "-silent"},
         1,
         "qorvinstall: the device directory {dev} is not a directory",
         {}},
        {"a registry.reg that is a directory",
         [](const std::string& dev) { fs::create_directories(dev + "/registry.reg"); },
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: cannot read the registry {dev}/registry.reg: not a regular file",
         {kZ100}},
        {"a plugin definition that does not exist",
         sampleDevice,
         QORVINSTALL_EXE,
         {"-addchange", "-plg:\\nope.plg", "-cpr:currentPortrait", "-silent"},
         1,
         "qorvinstall: cannot read \\nope.plg in {dev}/fs: No such file or directory",
         {}},
        {"a list file in a folder that does not exist",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/registry.reg",
                                   "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\"
                                   "Lorvendi\\Page1]\n\"searchRootDir\"=\"\\\\\"\n"
                                   "\"dirFile\"=\"\\\\no\\\\list.txt\"\n");
         },
         ZANDOVAL_EXE,
         {},
         1,
         "zandoval: cannot write \\no\\list.txt.zandoval-tmp in {dev}/fs: No such file or "
         "directory",
         {}},
        {"a screen line in device.conf with an upper-case X",
         [](const std::string& dev) {
             sampleDevice(dev);
             cetest::writeHostFile(dev + "/device.conf", "screen=240X320\n");
         },
         QORVINSTALL_EXE,
         {"-change", "-cpr:currentPortrait", "-silent"},
         0,
         "qorvinstall: {dev}/device.conf line 1: screen=240X320 is not WIDTHxHEIGHT in decimal "
         "with a lower-case x, such as 480x800; the screen is 480x800",
         {}},
    };
    for (const Diagnosis& c : cases) {
        SCOPED_TRACE(c.what);
        cetest::TempDevice scratch;
        const std::string dev = scratch.dir() + "/dev";
        c.setUp(dev);
        RunResult r = cetest::runProgram(c.exe, c.args, dev);
        EXPECT_EQ(r.exitCode, c.exit);
        std::vector<std::string> boxes;
        bool said = false;
        for (const std::string& line : lines(r.err)) {
            said = said || line == withDevice(c.line, dev);
            if (line.rfind("QORV: ", 0) == 0 || line.rfind("Zandoval: ", 0) == 0)
                boxes.push_back(line);
        }
        EXPECT_TRUE(said) << r.err;
        EXPECT_EQ(boxes, c.boxes) << r.err;
    }
}

// An existing directory named by CE_DEVICE_DIR is the device, however
// little it holds: the registry and run/ are made in it at first need, and
// what was there stays.
TEST(Diagnostics, AnExistingDirectoryIsTheDeviceEvenWhenEmpty) {
    const struct {
        const char* what;
        std::vector<std::string> files;  // below the directory, before the run
    } cases[] = {
        {"an empty directory", {}},
        {"a directory of other files", {"notes.txt", ".profile"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cetest::TempDevice scratch;
        const std::string dev = scratch.dir() + "/dev";
        fs::create_directories(dev);
        for (const std::string& f : c.files)
            cetest::writeHostFile(dev + "/" + f, "x");
        RunResult r = cetest::runProgram(ZANDOVAL_EXE, {}, dev);
        EXPECT_EQ(r.err.find("not a device"), std::string::npos) << r.err;
        // The run record went into a registry made as exports are.
        EXPECT_EQ(cetest::readHostFile(dev + "/registry.reg").substr(0, 2), "\xFF\xFE");
        EXPECT_TRUE(fs::is_directory(dev + "/run"));
        for (const std::string& f : c.files)
            EXPECT_EQ(cetest::readHostFile(dev + "/" + f), "x");
    }
}

// A quoted ~ reaches the program as it stands: the advice explains it
// rather than repeating a path that would make ./~/phone.
TEST(Diagnostics, AQuotedTildeIsExplained) {
    cetest::TempDevice scratch;
    RunResult r = cetest::runProgram(ZANDOVAL_EXE, {}, "~/phone");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("zandoval: the device directory ~/phone (CE_DEVICE_DIR) does not exist; a "
                         "~ in quotes is not your home directory (the shell leaves it as it "
                         "stands, so this names ./~/phone); write the path without quotes, or as "
                         "\"$HOME/phone\"\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("cedevice create"), std::string::npos) << r.err;
}

// A line quotes what anyone may have written (here a device directory's
// name): its control characters, C1 ones and bytes that are no UTF-8 are
// shown, not sent to the terminal.
TEST(Diagnostics, ControlCharactersAreShownNotSent) {
    cetest::TempDevice scratch;
    const std::string dir = scratch.dir() + "/a\x1b[2Jb\xc2\x9b" + "31mc\xff";
    RunResult r = cetest::runProgram(ZANDOVAL_EXE, {}, dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/a\\x1B[2Jb\\xC2\\x9B31mc\\xFF (CE_DEVICE_DIR) does not exist"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find_first_of("\x1b\x9b\xff"), std::string::npos) << r.err;
}

TEST(Diagnostics, OnlyTheDefaultDeviceDirectoryIsMadeOnFirstUse) {
    cetest::TempDevice scratch;
    // An XDG_DATA_HOME that is empty or relative is ignored.
    for (const std::string xdg : {"", "relative/data"}) {
        const std::string home = scratch.dir() + "/home" + std::to_string(xdg.size());
        RunResult r =
            cetest::runProgram(ZANDOVAL_EXE, {}, "", {{"HOME", home}, {"XDG_DATA_HOME", xdg}});
        EXPECT_EQ(r.exitCode, 1);  // a new device has no settings: "#1 No RootDir defined"
        EXPECT_EQ(
            r.err,
            "zandoval: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1 has no "
            "searchRootDir (or one longer than 8091 characters): set it to the device folder "
            "whose shortcuts to list, such as \\Links\n");
        EXPECT_TRUE(fs::is_regular_file(home + "/.local/share/ce-device/registry.reg")) << xdg;
    }
}

// Without HOME the default device lies in the user database's home, never
// in the working directory.  Run as nobody, whose home cannot be made, so
// that no test leaves a device in a real home.
TEST(Diagnostics, WithoutHomeNoDeviceIsMadeInTheWorkingDirectory) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run as nobody";
    cetest::TempDevice scratch;
    fs::permissions(scratch.dir(), fs::perms::all);
    RunResult r =
        cetest::runProgram("/usr/bin/setpriv",
                           {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env",
                            "-C", scratch.dir(), "-u", "HOME", "-u", "XDG_DATA_HOME", ZANDOVAL_EXE},
                           "");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(fs::exists(scratch.dir() + "/.local")) << r.err;
    EXPECT_EQ(r.err.find("./.local"), std::string::npos) << r.err;
}

// A device directory that may not be searched is named with the reason,
// not called a directory that holds no device.
TEST(Diagnostics, ADeviceDirectoryThatMayNotBeSearchedSaysSo) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run as nobody";
    cetest::TempDevice scratch;
    const std::string dev = scratch.dir() + "/dev";
    sampleDevice(dev);
    fs::permissions(scratch.dir(), fs::perms::all);
    fs::permissions(dev, fs::perms::owner_all | fs::perms::others_read);
    RunResult r = cetest::runProgram(
        "/usr/bin/setpriv",
        {"--reuid=65534", "--regid=65534", "--clear-groups", CEDEVICE_EXE, "record"}, dev);
    fs::permissions(dev, fs::perms::all);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "cedevice: cannot reach the device directory " + dev + ": Permission denied\n");
}

// A standard stream that is closed takes no file's place: a diagnostic
// went into the run lock, the first file the installer opened.
TEST(Diagnostics, AClosedStandardErrorTakesNoFilesPlace) {
    cetest::TempDevice dev;
    RunResult r = cetest::runProgram(
        "/bin/sh",
        {"-c", std::string("exec 2>&- \"") + QORVINSTALL_EXE +
                   "\" -addchange '-plg:\\nope.plg' -cpr:currentPortrait -silent"},
        dev.dir());
    EXPECT_EQ(r.exitCode, 1);
    std::string all;
    for (const auto& e : fs::recursive_directory_iterator(dev.dir())) {
        if (e.is_regular_file())
            all += cetest::readHostFile(e.path().string());
    }
    EXPECT_EQ(all.find("qorvinstall:"), std::string::npos);
}

// The advice for a missing device directory is a command to paste, for
// any name: pasted into a shell, it makes that directory.
TEST(Diagnostics, TheAdviceForAMissingDeviceMakesIt) {
    cetest::TempDevice scratch;
    const std::string dev = scratch.dir() + "/it's a \"dev\"";
    RunResult r = cetest::runProgram(ZANDOVAL_EXE, {}, dev);
    const std::string lead = "make it with: ";
    const size_t at = r.err.find(lead);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string advice =
        r.err.substr(at + lead.size(), r.err.find('\n', at) - at - lead.size());
    RunResult made = cetest::runProgram(
        "/bin/sh", {"-c", "\"$0\" " + advice.substr(advice.find(' ') + 1), CEDEVICE_EXE}, "");
    EXPECT_EQ(made.exitCode, 0) << advice << made.err;
    EXPECT_TRUE(fs::exists(dev + "/registry.reg")) << advice;
}

// A closed standard output is no place to export to: the export fails, as
// writing it anywhere else fails, and a closed standard input is no empty
// export.
TEST(Diagnostics, AClosedStandardStreamStaysClosed) {
    cetest::TempDevice dev;
    const std::string exe = std::string("\"") + CEDEVICE_EXE + "\"";
    for (const auto& [line, message] :
         {std::pair{"exec >&- " + exe + " export", "cannot write the export: Bad file descriptor"},
          std::pair{"exec >&- " + exe + " get HKLM", "cannot write the output"},
          std::pair{"exec <&- " + exe + " import -", "Bad file descriptor"}}) {
        SCOPED_TRACE(line);
        RunResult r = cetest::runProgram("/bin/sh", {"-c", line}, dev.dir());
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

// An add on the device, as a user who may not write what lost its owner's
// write permission (root writes into read-only directories: the run is then
// nobody's, who may write only what others may).
RunResult addAsWriteLimitedUser(const cetest::TempDevice& scratch, const std::string& dev) {
    std::string exe = QORVINSTALL_EXE;
    std::vector<std::string> args = {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.plg",
                                     "-cpr:currentPortrait", "-silent"};
    if (geteuid() == 0) {
        fs::permissions(scratch.dir(), fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", exe});
        exe = "/usr/bin/setpriv";
    }
    return cetest::runProgram(exe, args, dev);
}

// A device that the run may not wholly write fails it, and each file that
// could not be written is named: the registry's lock always (the device
// directory is read-only), and the temporary layout copy when fs/ is too.
// With fs/ writable the layout is written, and the run still fails, since
// its values are lost.
TEST(Diagnostics, ADeviceThatCannotBeWrittenFailsTheRunAndNamesTheFiles) {
    for (bool fsWritable : {false, true}) {
        SCOPED_TRACE(fsWritable ? "fs/ writable" : "all read-only");
        cetest::TempDevice scratch;
        const std::string dev = scratch.dir() + "/dev";
        sampleDevice(dev);
        for (const auto& e : fs::recursive_directory_iterator(dev)) {
            if (!fsWritable)
                fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::remove);
            else if (e.path().string().rfind(dev + "/fs", 0) == 0)
                fs::permissions(e.path(), fs::perms::others_write, fs::perm_options::add);
        }
        fs::permissions(dev, fs::perms::owner_write, fs::perm_options::remove);
        RunResult r = addAsWriteLimitedUser(scratch, dev);
        for (const auto& e : fs::recursive_directory_iterator(dev))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
        fs::permissions(dev, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("qorvinstall: cannot write the registry's lock file " + dev +
                             "/registry.reg.lock: Permission denied\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("qorvinstall: cannot write \\tempTitaniumPortraitCpr.txt in " + dev +
                             "/fs: Permission denied\n") != std::string::npos,
                  !fsWritable)
            << r.err;
    }
}

}  // namespace
