// The device tool end to end: the real cedevice on temporary devices.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/device_fixture.h"

namespace {

using cetest::RunResult;

class Cedevice : public ::testing::Test {
protected:
    // A copy of the sample device, made by the tool itself.
    void SetUp() override {
        dev_ = scratch_.dir() + "/dev";
        RunResult r = run({"create", "--sample", dev_});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    RunResult run(const std::vector<std::string>& args) const {
        return cetest::runProgram(CEDEVICE_EXE, args, dev_);
    }
    std::string registry() const { return cetest::readHostFile(dev_ + "/registry.reg"); }

    cetest::TempDevice scratch_;  // a directory that goes away with the test
    std::string dev_;
};

// A line of a listing or record: its fields (name, type, data) apart by
// blanks.
bool hasRow(const std::string& out, const std::vector<std::string>& fields) {
    const std::regex special(R"([\\^$.|?*+()\[\]{}])");
    std::string pattern = "(^|\n) *";
    for (size_t i = 0; i < fields.size(); ++i)
        pattern += (i == 0 ? "" : " +") + std::regex_replace(fields[i], special, R"(\$&)");
    return std::regex_search(out, std::regex(pattern + "\n"));
}

TEST_F(Cedevice, CreateCopiesTheSampleOrMakesAnEmptyDeviceAndNeverNests) {
    EXPECT_EQ(registry(), cetest::readHostFile(SAMPLE_DEVICE_DIR "/registry.reg"));
    const std::string empty = scratch_.dir() + "/empty";
    ASSERT_EQ(run({"create", empty}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_directory(empty + "/fs"));
    EXPECT_EQ(cetest::readHostFile(empty + "/registry.reg").substr(0, 4),
              std::string("\xFF\xFEW\0", 4));
    cetest::writeHostFile(scratch_.dir() + "/file", "x");
    // A device whose fs/ is not made yet.
    std::filesystem::create_directory(scratch_.dir() + "/nofs");
    cetest::writeHostFile(scratch_.dir() + "/nofs/registry.reg", "");
    cetest::writeHostFile(scratch_.dir() + "/nofs/device.conf", "screen=480x800\n");
    std::filesystem::create_directory_symlink(dev_ + "/fs", scratch_.dir() + "/link");
    std::filesystem::create_directory(scratch_.dir() + "/regonly");
    cetest::writeHostFile(scratch_.dir() + "/regonly/registry.reg", "");
    struct Refusal {
        std::vector<std::string> args;
        int exit;
        std::string says;
    };
    const Refusal refusals[] = {
        {{"create", "--sample", dev_}, 1, "is not empty"},
        {{"create", scratch_.dir() + "/file"}, 1, "is not a directory"},
        {{"create"}, 2, "create takes"},
        {{"create", "--samples", dev_ + "2"}, 2, "--samples"},
        {{"create", dev_ + "/fs/Links/inner"}, 1, "inside the device " + dev_},
        {{"create", "--sample", dev_ + "/run"}, 1, "inside the device " + dev_},
        {{"create", scratch_.dir() + "/link/x"}, 1, "inside the device " + dev_},
        {{"create", scratch_.dir() + "/nofs/inner"},
         1,
         "inside the device " + scratch_.dir() + "/nofs"},
        // A device that holds its registry alone, as the default device
        // does at first, is a device too, into whose fs/ nothing nests.
        {{"create", scratch_.dir() + "/regonly/fs/inner"},
         1,
         "inside the device " + scratch_.dir() + "/regonly"},
    };
    for (const Refusal& r : refusals) {
        RunResult out = run(r.args);
        EXPECT_EQ(out.exitCode, r.exit) << r.says;
        EXPECT_NE(out.err.find("cedevice: "), std::string::npos) << out.err;
        EXPECT_NE(out.err.find(r.says), std::string::npos) << out.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dev_ + "/dev")) << "a device nested into another";
    EXPECT_FALSE(std::filesystem::exists(dev_ + "2"));
    EXPECT_FALSE(std::filesystem::exists(dev_ + "/fs/Links/inner"));
    EXPECT_FALSE(std::filesystem::exists(dev_ + "/run"));
}

// An empty directory that may not be listed is named as such: it was called
// not empty.  Root lists any directory, so the run is nobody's then.
TEST_F(Cedevice, CreateNamesADirectoryItMayNotList) {
    namespace fs = std::filesystem;
    const std::string dir = scratch_.dir() + "/unlisted";
    fs::create_directory(dir);
    fs::permissions(scratch_.dir(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(dir, fs::perms::all & ~(fs::perms::owner_read | fs::perms::group_read |
                                            fs::perms::others_read));
    std::string exe = CEDEVICE_EXE;
    std::vector<std::string> args = {"create", dir};
    if (geteuid() == 0) {
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", exe});
        exe = "/usr/bin/setpriv";
    }
    RunResult r = cetest::runProgram(exe, args, dev_);
    fs::permissions(dir, fs::perms::all);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "cedevice: cannot read " + dir + ": Permission denied\n");
    EXPECT_TRUE(fs::is_empty(dir));
}

// The files below a directory, as paths relative to it.
std::set<std::string> filesBelow(const std::string& dir) {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec)) {
        if (e.is_regular_file())
            files.insert(std::filesystem::relative(e.path(), dir).string());
    }
    return files;
}

// Two runs making one device at once: one makes it whole, the other says
// why it did not, and removes nothing the first one made.  (A loser that
// cleaned up after itself used to remove the winner's device.)
TEST_F(Cedevice, TwoCreatesAtOnceLeaveOneWholeDevice) {
    const std::set<std::string> sample = filesBelow(SAMPLE_DEVICE_DIR);
    for (int round = 0; round < 10; ++round) {
        const std::string dir = scratch_.dir() + "/race" + std::to_string(round);
        RunResult a, b;
        std::thread other([&] { b = run({"create", "--sample", dir}); });
        a = run({"create", "--sample", dir});
        other.join();
        EXPECT_EQ((a.exitCode == 0) + (b.exitCode == 0), 1) << a.err << b.err;
        EXPECT_EQ(a.exitCode + b.exitCode, 1) << a.err << b.err;
        EXPECT_EQ(filesBelow(dir), sample) << "round " << round;
    }
}

// A sample that cannot be copied whole makes no device (a FIFO is no file
// a copy takes): the copy's failure in fs/ was lost, and the rest was made
// into a device without it.
TEST_F(Cedevice, ASampleThatCannotBeCopiedWholeMakesNoDevice) {
    namespace fs = std::filesystem;
    const fs::path exe(CEDEVICE_EXE);
    const fs::path bin = scratch_.dir() + "/tool/bin";
    // Where the tool looks for its sample: share/ beside its bin/.
    const fs::path sample = bin / "../share/titanium-tools/sample-device";
    fs::create_directories(sample / "fs");
    fs::copy_file(exe, bin / "cedevice");
    cetest::writeHostFile((sample / "registry.reg").string(), "");
    ASSERT_EQ(mkfifo((sample / "fs" / "pipe").c_str(), 0644), 0);
    // The directories made above the device go too.
    const std::string made = scratch_.dir() + "/made";
    RunResult r = cetest::runProgram((bin / "cedevice").string(),
                                     {"create", "--sample", made + "/a/b/"}, dev_);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("cannot copy the sample device"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(made));
}

TEST_F(Cedevice, EveryTypeIsSetAndReadBackAndDeletingRestoresTheFile) {
    const std::string original = registry();
    const std::string key = "HKCU\\Software\\Tool";
    struct Typed {
        std::vector<std::string> type;  // the option naming the type, if any
        std::vector<std::string> data;
        std::string asIs;                 // get KEY NAME
        std::vector<std::string> listed;  // its type and data in get KEY
    };
    const Typed values[] = {
        {{}, {"Tab\tand \xC3\xBC"}, "Tab\tand \xC3\xBC\n", {"REG_SZ", "Tab\\tand \xC3\xBC"}},
        {{"--type", "expand_sz"},
         {"%WINDOWS%\\x"},
         "%WINDOWS%\\x\n",
         {"REG_EXPAND_SZ", "%WINDOWS%\\x"}},
        {{"--type", "multi_sz"}, {"a", "b c"}, "a\nb c\n", {"REG_MULTI_SZ", "a\\0b c"}},
        {{"-t", "dword"}, {"0x1e"}, "30\n", {"REG_DWORD", "30 (0x0000001e)"}},
        {{"--type=qword"},
         {"18446744073709551615"},
         "18446744073709551615\n",
         {"REG_QWORD", "18446744073709551615 (0xffffffffffffffff)"}},
        {{"--type", "binary"}, {"01,ab ff"}, "01 ab ff\n", {"REG_BINARY", "01 ab ff"}},
        {{"--type", "none"}, {"1 2,3 04ff"}, "01 02 03 04 ff\n", {"REG_NONE", "01 02 03 04 ff"}},
        {{"--type", "hex(1a)"}, {"00"}, "00\n", {"REG_TYPE_0x1a", "00"}},
    };
    for (size_t i = 0; i < std::size(values); ++i) {
        const Typed& v = values[i];
        const std::string name = "v" + std::to_string(i);
        std::vector<std::string> args{"set"};
        args.insert(args.end(), v.type.begin(), v.type.end());
        args.insert(args.end(), {key, name});
        args.insert(args.end(), v.data.begin(), v.data.end());
        RunResult set = run(args);
        ASSERT_EQ(set.exitCode, 0) << set.err;
        EXPECT_EQ(run({"get", key, name}).out, v.asIs) << name;
        const std::string listing = run({"get", key}).out;
        EXPECT_TRUE(hasRow(listing, {name, v.listed[0], v.listed[1]})) << listing;
    }
    // Columns count characters, not bytes: a name beyond ASCII keeps the
    // type column in line.
    ASSERT_EQ(run({"set", key, "\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC", "x"}).exitCode, 0);
    std::istringstream rows(run({"get", key}).out);
    std::set<size_t> typeColumns;
    for (std::string row; std::getline(rows, row);) {
        size_t at = row.find("REG_");
        if (at != std::string::npos)
            typeColumns.insert(cetest::U(row.substr(0, at)).size());
    }
    EXPECT_EQ(typeColumns.size(), 1u);
    // What a name holds cannot drive the terminal: its control characters
    // (C1 ones too) are written out, in the key's line, its values and its
    // subkeys.
    ASSERT_EQ(run({"set", key + "\\Sub\x1b[31m", "n\x1b[0m\xc2\x9b", "x"}).exitCode, 0);
    const std::string shown = run({"get", key}).out + run({"get", key + "\\Sub\x1b[31m"}).out;
    EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    EXPECT_NE(shown.find("  Sub\\x1b[31m\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("n\\x1b[0m\\xc2\\x9b  REG_SZ"), std::string::npos) << shown;
    EXPECT_EQ(registry().substr(0, 2), "\xFF\xFE") << "the registry keeps its encoding";
    ASSERT_EQ(run({"delete", key}).exitCode, 0);
    EXPECT_EQ(registry(), original) << "the key's lines were not all taken away again";
}

// A pipe is read to its end, a named one once its writer comes; standard
// input that cannot be read is named as such, not taken for an export.
TEST_F(Cedevice, ImportReadsAPipeAndNamesStandardInputThatCannotBeRead) {
    const std::string file = scratch_.dir() + "/a.reg";
    const std::string fifo = scratch_.dir() + "/pipe";
    cetest::writeHostFile(file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Piped]\n\"x\"=\"1\"\n");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string exe = CEDEVICE_EXE;
    RunResult piped =
        cetest::runProgram("/bin/sh",
                           {"-c", "(sleep 0.2; cat '" + file + "' > '" + fifo + "') & exec '" +
                                      exe + "' import '" + fifo + "'"},
                           dev_);
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(run({"get", "HKCU\\Piped", "x"}).out, "1\n");
    RunResult dir = cetest::runProgram(
        "/bin/sh", {"-c", "exec '" + exe + "' import - < '" + scratch_.dir() + "'"}, dev_);
    EXPECT_EQ(dir.exitCode, 1);
    EXPECT_EQ(dir.err, "cedevice: cannot read standard input: Is a directory\n");
}

TEST_F(Cedevice, ExportImportsIntoAnotherDeviceAsTheSameValues) {
    ASSERT_EQ(
        run({"set", "--type", "binary", "HKLM\\SOFTWARE\\X", "b", std::string(90, 'a')}).exitCode,
        0);
    RunResult exported = run({"export"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_", 0), 0u);
    const std::string file = scratch_.dir() + "/all.reg";
    cetest::writeHostFile(file, exported.out);
    const std::string other = scratch_.dir() + "/other";
    ASSERT_EQ(run({"create", other}).exitCode, 0);
    RunResult imported = cetest::runProgram(CEDEVICE_EXE, {"import", file}, other);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(cetest::runProgram(CEDEVICE_EXE, {"export"}, other).out, exported.out);
    // One key with what lies below it, and nothing else.
    RunResult one = run({"export", "hklm\\software\\x"});
    EXPECT_EQ(one.out.rfind("Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"b\"=hex:aa,aa,",
                            0),
              0u)
        << one.out;
    EXPECT_EQ(one.out.find("\n[", 40), std::string::npos) << one.out;
}

// What an export cannot hold (a lone surrogate, a line break or a NUL in a
// path or a name, a root the device does not have) is left out by name, not
// dropped or written in silence: whatever the tool exports, it imports.
TEST_F(Cedevice, AnExportNamesWhatItCannotHold) {
    using namespace std::string_literals;
    std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
        u"\"x\"=\"1\"\r\n\"\xDC00n\"=\"v\"\r\n\r\n[HKEY_CURRENT_USER\\K\xDBFF]\r\n\"q\"=\"1\"\r\n"
        u"[HKEY_CURRENT_USER\\a\rb]\r\n\"v\"=\"1\"\r\n[HKEY_CURRENT_USER\\N\0l]\r\n"
        u"[HKEY_CURRENT_USER\\Nul]\r\n\"a\0b\"=\"1\"\r\n\"c\"=\"2\"\r\n"
        u"[HKCU\\Short]\r\n\"a\"=\"1\"\r\n[HKEY_BOGUS\\X]\r\n"s;
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    cetest::writeHostFile(dev_ + "/registry.reg", bytes);
    RunResult r = run({"export"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\n"
              "[HKEY_CURRENT_USER\\Nul]\n\"c\"=\"2\"\n");
    const std::string key = "cedevice: left out of the export: the key ";
    const std::string name =
        " (its name holds a NUL character or a line break, or has no UTF-8 form)\n";
    EXPECT_EQ(
        r.err,
        "cedevice: left out of the export: the value \xEF\xBF\xBDn of HKEY_CURRENT_USER\\A" + name +
            key +
            "HKEY_CURRENT_USER\\K\xEF\xBF\xBD with its values (its path has no UTF-8 form)\n" +
            key + "HKEY_CURRENT_USER\\a\\x0Db with its values (its path holds a line break)\n" +
            key + "HKEY_CURRENT_USER\\N\\x00l with its values (its path holds a NUL character)\n" +
            "cedevice: left out of the export: the value a\\x00b of HKEY_CURRENT_USER\\Nul" + name +
            key +
            "HKCU\\Short with its values (its root is none of the device's four, spelt in full)\n" +
            key +
            "HKEY_BOGUS\\X with its values (its root is none of the device's four, spelt in "
            "full)\n");
    const std::string file = scratch_.dir() + "/part.reg";
    cetest::writeHostFile(file, r.out);
    const std::string other = scratch_.dir() + "/other";
    ASSERT_EQ(run({"create", other}).exitCode, 0);
    EXPECT_EQ(cetest::runProgram(CEDEVICE_EXE, {"import", file}, other).exitCode, 0);
}

TEST_F(Cedevice, AMalformedImportChangesNothingAndNamesItsLine) {
    const std::string head =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const struct {
        std::string text;  // after the head and a value: line 5 on
        std::string says;
    } cases[] = {
        {"\"a\"=\"1\"\r\nnot a line\r\n",
         ":6: a line that is no key, value, comment or blank line"},
        {"\"b\"=dword:zz\r\n", ":5: a value that is not understood"},
        {"\"c\"=hex:01,0g\r\n", ":5: a value that is not understood"},
        {"\r\n\"d\"=\"no closing quote\r\n", ":6: a value that is not understood"},
        {"[HKEY_BOGUS\\X]\r\n", ":5: a root key the device does not have"},
        {"[hklm\\X]\r\n",
         ":5: a root key in its short form (an export spells it in full, as HKEY_LOCAL_MACHINE)"},
        {"[-HKEY_CURRENT_USER\\]\r\n", ":5: a root key that cannot be deleted"},
        {"[HKEY_CURRENT_USER\\Open\r\n", ":5: a key header that is not understood"},
        // What the lenient reader passes over would be lost without a word.
        {"\"e\"=\"1\" \"f\"=\"2\"\r\n", ":5: text after the value's closing quote"},
        {"[HKEY_CURRENT_USER\\B] x\r\n", ":5: text after the key header's closing bracket"},
        {"; note\r\"g\"=\"3\"\r\n", ":5: a carriage return inside the line (not at its end)"},
        {"\"h\"=hex:01,\\\r\n\"i\"=\"1\"\r\n",
         ":5: a value continued by a backslash at a line's end, but no line continues it"},
        {std::string("[HKEY_CURRENT_USER\\B\0C]\r\n", 25),
         ":5: a NUL character in the key's path, which no program can open"},
    };
    const std::string before = registry();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const std::string file = scratch_.dir() + "/bad.reg";
        cetest::writeHostFile(file, head + "\"kept\"=\"x\"\r\n" + c.text);
        RunResult r = run({"import", file});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "cedevice: " + file + c.says.substr(0, c.says.find(':', 1)) + ":" +
                             c.says.substr(c.says.find(':', 1) + 1) + "; nothing was imported\n");
        EXPECT_EQ(registry(), before);
    }
    // UTF-16 cut inside the last value.
    std::string utf16 = "\xFF\xFE";
    for (char ch : head + "\"v\"=\"abc\"\r\n")
        utf16 += std::string{ch, '\0'};
    const std::string cut = scratch_.dir() + "/cut.reg";
    cetest::writeHostFile(cut, utf16.substr(0, utf16.size() - 7));
    RunResult r = run({"import", cut});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "cedevice: " + cut +
                  ":4: the UTF-16 text is cut off inside a character; nothing was imported\n");
    // A value continued on a second line is named by its first.
    std::string continued = "\xFF\xFE";
    for (char ch : head + "\"v\"=hex:01,\\\r\n  02")
        continued += std::string{ch, '\0'};
    cetest::writeHostFile(cut, continued + "X");
    EXPECT_EQ(run({"import", cut}).err,
              "cedevice: " + cut +
                  ":4: the UTF-16 text is cut off inside a character; nothing was imported\n");
    // An odd byte after the last line end stands on a line of its own.
    cetest::writeHostFile(cut, utf16 + "X");
    EXPECT_EQ(run({"import", cut}).err,
              "cedevice: " + cut +
                  ":5: the UTF-16 text is cut off inside a character; nothing was imported\n");
    EXPECT_EQ(registry(), before);
    // The roots a device has are all reachable.
    cetest::writeHostFile(cut, head + "[HKEY_CLASSES_ROOT\\.x]\r\n@=\"y\"\r\n[HKEY_USERS\\U]\r\n");
    ASSERT_EQ(run({"import", cut}).exitCode, 0);
    EXPECT_EQ(run({"get", "HKCR\\.x", ""}).out, "y\n");
    EXPECT_EQ(run({"delete", "hku\\u"}).exitCode, 0);
}

TEST_F(Cedevice, FailuresSayWhatIsWrongWithTheirExitStatus) {
    const std::string notReg = scratch_.dir() + "/notes.txt";
    cetest::writeHostFile(notReg, "hello\n");
    struct Failure {
        std::vector<std::string> args;
        int exit;
        std::string says;
    };
    const Failure failures[] = {
        {{}, 2, "no command given"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"--version", "x"}, 2, "--version takes nothing after it"},
        {{"get", "HKEY_BOGUS\\x"}, 2, "does not begin with HKEY_LOCAL_MACHINE (HKLM)"},
        {{"import", scratch_.dir()}, 1, "cannot read " + scratch_.dir() + ": Is a directory"},
        {{"get", "HKCU\\SOFTWARE\\None"}, 1, "no key HKEY_CURRENT_USER\\SOFTWARE\\None"},
        {{"get", "HKCU\\SOFTWARE\\QORV", "Nothing"},
         1,
         "no value Nothing in HKEY_CURRENT_USER\\SOFTWARE\\QORV"},
        {{"set", "-t", "dword", "HKCU\\X", "n", "4294967296"}, 2, "is no 32-bit number"},
        {{"set", "-t", "word", "HKCU\\X", "n", "1"}, 2, "unknown type 'word'"},
        {{"set", "-t", "dword", "--type=sz", "HKCU\\X", "n", "1"}, 2, "not --type=sz"},
        {{"set", "-t", "binary", "HKCU\\X", "n", "0g"}, 2, "is not hex bytes"},
        {{"set", "-t", "binary", "HKCU\\X", "n", "012"}, 2, "is not hex bytes"},
        {{"set", "-t", "multi_sz", "HKCU\\X", "n", "a", "", "c"}, 2, "cannot hold an empty string"},
        {{"delete", "HKLM"}, 2, "a root key cannot be deleted"},
        {{"delete", "HKCU\\SOFTWARE\\QORV", "Nothing"}, 1, "no value Nothing"},
        {{"delete", "HKCU\\Nothing"}, 1, "no key HKEY_CURRENT_USER\\Nothing"},
        {{"get", "HKCR", "x"}, 1, "no value x in HKEY_CLASSES_ROOT"},  // a root is always there
        {{"import", notReg}, 1, "is not a registry export"},
        {{"import", scratch_.dir() + "/missing.reg"}, 1, "missing.reg: No such file or directory"},
        {{"record", "vantrelo"}, 2, "Vantrelo keeps no run record"},
        {{"record", "zandoval"}, 1, "no run record of zandoval yet"},
    };
    const std::string before = registry();
    for (const Failure& f : failures) {
        RunResult r = run(f.args);
        EXPECT_EQ(r.exitCode, f.exit) << f.says << "\n" << r.err;
        EXPECT_EQ(r.err.rfind("cedevice: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << f.says;
    }
    EXPECT_EQ(registry(), before);

    // A device directory that does not exist is named and not made.
    RunResult missing = cetest::runProgram(CEDEVICE_EXE, {"get", "HKLM"}, scratch_.dir() + "/typo");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("the device directory " + scratch_.dir() +
                               "/typo (CE_DEVICE_DIR) does not exist"),
              std::string::npos)
        << missing.err;
    EXPECT_FALSE(std::filesystem::exists(scratch_.dir() + "/typo"));
    // A registry that cannot be read is named with the reason.
    std::filesystem::remove(dev_ + "/registry.reg");
    std::filesystem::create_directory(dev_ + "/registry.reg");
    RunResult unreadable = run({"get", "HKLM"});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_EQ(unreadable.err,
              "cedevice: cannot read the registry " + dev_ + "/registry.reg: not a regular file\n");

    // Files larger than any registry (sparse ones) are not read into
    // memory: a failure that says so, in the device tool and the programs.
    std::filesystem::remove(dev_ + "/registry.reg");
    const std::string huge = scratch_.dir() + "/huge.reg";
    cetest::writeHostFile(huge, "");
    std::error_code sparse;
    std::filesystem::resize_file(huge, uint64_t{4} << 40, sparse);
    if (sparse)
        GTEST_SKIP() << "no sparse file of 4 TB here: " << sparse.message();
    const std::string tooLarge = ": larger than 1 GiB, more than any registry holds";
    RunResult import = run({"import", huge});
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_EQ(import.err, "cedevice: cannot read " + huge + tooLarge + "\n");
    std::filesystem::rename(huge, dev_ + "/registry.reg");
    const std::string cannot = "cannot read the registry " + dev_ + "/registry.reg" + tooLarge;
    const std::pair<std::string, std::vector<std::string>> runs[] = {
        {CEDEVICE_EXE, {"get", "HKLM"}}, {ZANDOVAL_EXE, {}}};
    for (const auto& [exe, args] : runs) {
        RunResult r = cetest::runProgram(exe, args, dev_);
        EXPECT_EQ(r.exitCode, 1) << exe << "\n" << r.err;
        EXPECT_NE(r.err.find(cannot), std::string::npos) << r.err;
    }
}

// Output that cannot be written fails, however long it is: a listing or a
// value longer than the output's buffer was written as it was made, and
// the write that failed then went unseen (status 0, nothing said).
TEST_F(Cedevice, OutputThatCannotBeWrittenFails) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    const std::string key = "HKCU\\Long";
    ASSERT_EQ(run({"set", key, "n", std::string(10000, 'a')}).exitCode, 0);
    const std::string exe = CEDEVICE_EXE;
    for (const std::string& args :
         std::vector<std::string>{"get '" + key + "'", "get '" + key + "' n", "export"}) {
        RunResult r = cetest::runProgram(
            "/bin/sh", {"-c", "exec '" + exe + "' " + args + " > /dev/full"}, dev_);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_NE(r.err.find("cedevice: cannot write"), std::string::npos) << args << r.err;
    }
}

TEST_F(Cedevice, RecordsShowTheResultTheCallAndTheSnapshots) {
    RunResult q = cetest::runProgram(QORVINSTALL_EXE,
                                     {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.plg",
                                      "-cpr:currentPortrait", "-silent"},
                                     dev_);
    ASSERT_EQ(q.exitCode, 0) << q.err;
    ASSERT_EQ(run({"set", "HKLM\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1", "searchRootDir",
                   "\\Program Files"})
                  .exitCode,
              0);
    // Written without its backslash, the list file is at the root, for
    // the record as for Zandoval.
    ASSERT_EQ(
        run({"set", "HKLM\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1", "dirFile", "list.txt"})
            .exitCode,
        0);
    cetest::writeHostFile(dev_ + "/fs/Program Files/Word.lnk", "");
    // A list line longer than one read is shown whole.  The folders are
    // made one by one: their host path is longer than the host takes.
    std::string deep;
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dev_ + "/fs/Program Files");
    for (int i = 0; i < 17; ++i) {
        const std::string name(250, static_cast<char>('a' + i));
        std::filesystem::create_directory(name);
        std::filesystem::current_path(name);
        deep += "\\" + name;
    }
    cetest::writeHostFile("Deep.lnk", "");
    std::filesystem::current_path(cwd);
    ASSERT_EQ(cetest::runProgram(ZANDOVAL_EXE, {}, dev_).exitCode, 0);

    // What other programs wrote is shown, not sent to the terminal.
    ASSERT_EQ(run({"set", "HKCU\\SOFTWARE\\QORV", "x\x1b]0;t\x07", "v"}).exitCode, 0);
    ASSERT_EQ(run({"set", "HKCU\\SOFTWARE\\QORV", "\xC3\x9C\xC3\x9C", "w"}).exitCode, 0);
    cetest::writeHostFile(dev_ + "/fs/list.txt",
                          cetest::readHostFile(dev_ + "/fs/list.txt") + "odd=\x1b[2J\n");

    RunResult r = run({"record"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_TRUE(hasRow(r.out, {"x\\x1b]0;t\\x07", "v"})) << r.out;
    // Columns count characters: a name beyond ASCII keeps its data in line.
    auto rowOf = [&r](const std::string& name) {
        const size_t at = r.out.find("\n  " + name + " ");
        return at == std::string::npos ? ""
                                       : r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
    };
    EXPECT_EQ(cetest::U(rowOf("\xC3\x9C\xC3\x9C")).size(),
              cetest::U(rowOf("x\\x1b]0;t\\x07")).size())
        << r.out;
    EXPECT_NE(r.out.find("\n  odd=\\x1b[2J\n"), std::string::npos) << r.out;
    const std::pair<std::string, std::string> rows[] = {
        {"ErrorDescription", "#0 Success"},
        {"callAction", "addchange"},
        {"callPLG", "\\Program Files\\Lorvendi\\lorvendi.plg"},
        {"callOrgPlugins", "Clock;Messaging;Calendar"},
        {"newPlugins", "Clock;Messaging;Calendar;Lorvendi"},
        {"maxList", "2"},
        {"Scanned", "1"},
        {"enter", "(not set)"},
        {"datei=Word", ""},
    };
    for (const auto& [name, data] : rows) {
        bool found = data.empty() ? r.out.find("\n  " + name + "\n") != std::string::npos
                                  : hasRow(r.out, {name, data});
        EXPECT_TRUE(found) << name << " " << data << "\n" << r.out;
    }
    EXPECT_NE(r.out.find("qorvinstall run record: HKEY_CURRENT_USER\\SOFTWARE\\QORV\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nList file \\list.txt\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  dir=" + deep + "\\\n"), std::string::npos) << r.out.substr(0, 300);
}

}  // namespace
