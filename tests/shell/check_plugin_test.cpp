// cedevice check-plugin end to end: the real cedevice and qorvinstall on a
// copy of the sample device, with plugin definitions made from the sample
// plugin's by one change each.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "tests/support/device_fixture.h"

namespace {

namespace fs = std::filesystem;
using cetest::RunResult;

const std::string kSamplePlg = SAMPLE_DEVICE_DIR "/fs/Program Files/Lorvendi/lorvendi.plg";

// Every file below dir with its bytes.
std::map<std::string, std::string> filesBelow(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file())
            files[e.path().string()] = cetest::readHostFile(e.path().string());
    }
    return files;
}

// The output's lines with their runs of blanks made one, as words to compare.
std::vector<std::string> squeezedLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        std::string squeezed;
        while (words >> word)
            squeezed += (squeezed.empty() ? "" : " ") + word;
        lines.push_back(squeezed);
    }
    return lines;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The sample plugin without the lines from the first holding `from` up to
// and including the next holding `through`.
std::string withoutLines(const std::string& text, const std::string& from,
                         const std::string& through) {
    size_t start = text.rfind('\n', text.find(from)) + 1;
    size_t end = text.find('\n', text.find(through, start)) + 1;
    return text.substr(0, start) + text.substr(end);
}

class CheckPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        dev_ = scratch_.dir() + "/dev";
        tmp_ = scratch_.dir() + "/tmp";
        fs::create_directories(tmp_);
        RunResult r = cetest::runProgram(CEDEVICE_EXE, {"create", "--sample", dev_}, "");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // check-plugin with the build's qorvinstall on PATH (it does not lie
    // beside the build's cedevice) and TMPDIR in the scratch directory.
    RunResult check(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {"check-plugin"};
        all.insert(all.end(), args.begin(), args.end());
        const std::string installerDir = fs::path(QORVINSTALL_EXE).parent_path().string();
        return cetest::runProgram(CEDEVICE_EXE, all, dev_,
                                  {{"PATH", installerDir + ":/usr/bin:/bin"}, {"TMPDIR", tmp_}});
    }

    // check-plugin on the sample plugin, started in the background with
    // its standard output on outFd, as check() would start it.
    pid_t startCheck(int outFd) const {
        const std::string installerDir = fs::path(QORVINSTALL_EXE).parent_path().string();
        pid_t pid = fork();
        if (pid == 0) {
            setenv("CE_DEVICE_DIR", dev_.c_str(), 1);
            setenv("TMPDIR", tmp_.c_str(), 1);
            setenv("PATH", (installerDir + ":/usr/bin:/bin").c_str(), 1);
            signal(SIGPIPE, SIG_DFL);
            dup2(outFd, 1);
            execl(CEDEVICE_EXE, CEDEVICE_EXE, "check-plugin", kSamplePlg.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }

    cetest::TempDevice scratch_;
    std::string dev_;
    std::string tmp_;
};

TEST_F(CheckPlugin, ReportsEachLayoutWithTheInstallersResultAndAHint) {
    const std::string sample = cetest::readHostFile(kSamplePlg);
    struct Case {
        const char* what;
        std::string plg;
        std::vector<std::string> options;
        int exit;
        std::vector<std::string> lines;  // the output's lines, blanks squeezed, in order
    };
    const std::string portrait = "480x800 portrait \\Windows\\qorvhome_480x800.cpr ";
    const std::string landscape = "480x800 landscape \\Windows\\qorvhome_800x480.cpr ";
    const std::string thirdLayerHint =
        "hint: put one more layer after LorvendiCondensed, each closed by </Layer> on a line of "
        "its own: a later run takes the plugin to end at the second </Layer> after "
        "LorvendiCondensed";
    const std::string thirdStopsHint =
        "hint: give the layers after LorvendiCondensed IDs that do not end with \"Expanded\": "
        "a later run takes such a layer for the first of another plugin's and stops there";
    const std::string namesHint =
        "hint: begin the block with a layer <Layer ID=\"LorvendiExpanded\" ...>, then <Layer "
        "ID=\"LorvendiCondensed\" ...>: a later run finds the plugin by these names only";
    const Case cases[] = {
        {"the sample plugin",
         sample,
         {"--screen", "240x320"},
         0,
         {"Plugin Lorvendi, position 1, on the layout qorvhome of " + dev_ + ":",
          "screen orientation layout file add replace remove", portrait + "ok ok ok",
          landscape + "ok ok ok",
          "240x320 portrait \\Windows\\qorvhome_240x320.cpr (not on the device)",
          "240x320 landscape \\Windows\\qorvhome_320x240.cpr (not on the device)",
          "All 2 checks passed."}},
        {"layers named otherwise",
         replaced(replaced(sample, "LorvendiExpanded", "LorvendiBig"), "LorvendiCondensed",
                  "LorvendiSmall"),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #0 Success, but the layout holds the block twice", namesHint,
          "remove: #0 Success, but the layout is not the one before the add", namesHint,
          landscape + "ok FAILED FAILED"}},
        {"no third layer",
         withoutLines(withoutLines(sample, "LorvendiIcon\"", "</Layer>"), "LorvendiIcon\"",
                      "</Layer>"),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #70 Found Plugin in cpr, but unexpected end of file", thirdLayerHint,
          "remove: #170 Found Plugin in cpr, but unexpected end of file", thirdLayerHint,
          landscape + "ok FAILED FAILED", "2 of 2 checks failed."}},
        {"a block for another size in place of the landscape one",
         replaced(sample, "screenWidth=\"800\" screenHeight=\"480\"",
                  "screenWidth=\"240\" screenHeight=\"320\""),
         {},
         1,
         {portrait + "ok ok ok", landscape + "FAILED - -",
          "add: #63 Didn't found correct resolution in .plg to inject",
          "hint: add a block for 800x480: a line <layout screenWidth=\"800\" "
          "screenHeight=\"480\"> (width first, one blank between), its layers, and a line "
          "</layout>",
          "The .plg's block for 240x320 has no layout file on the device.",
          "1 of 2 checks failed."}},
        {"a line after the third layer",
         replaced(sample, "\t\t</Layer>\r\n  </layout>\r\n  <layout screenWidth=\"800\"",
                  "\t\t</Layer>\r\n\t\t<Layer ID=\"LorvendiExtra\"/>\r\n  </layout>\r\n  "
                  "<layout screenWidth=\"800\""),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #0 Success, but the layout is not the one the first run left",
          "hint: end the block with the </Layer> of the layer after LorvendiCondensed: the line "
          "after it stays in the layout on a later run",
          landscape + "ok ok ok"}},
        {"a third layer whose ID ends as a first layer's does",
         replaced(sample, "\"LorvendiIcon\"", "\"LorvendiIconExpanded\""),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #70 Found Plugin in cpr, but unexpected end of file", thirdStopsHint,
          "remove: #170 Found Plugin in cpr, but unexpected end of file", thirdStopsHint}},
        {"such an ID on the line that closes the condensed layer stops nothing",
         replaced(replaced(sample, "\t\t</Layer>\r\n\t\t<Layer ID=\"LorvendiIcon\"",
                           "\t\t</Layer><Layer ID=\"LorvendiIconExpanded\""),
                  "\t\t</Layer>\r\n  </layout>\r\n  <layout screenWidth=\"800\"",
                  "\t\t</Layer>\r\n\t\t<Text ID=\"LorvendiStray\"/>\r\n  </layout>\r\n  "
                  "<layout screenWidth=\"800\""),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #0 Success, but the layout is not the one the first run left",
          "hint: end the block with the </Layer> of the layer after LorvendiCondensed: the line "
          "after it stays in the layout on a later run"}},
        {"a layer nested in the third, closed on a line of its own",
         replaced(sample, "\t\t\t<Image ID=\"LorvendiIconImage\"",
                  "\t\t\t<Layer ID=\"LorvendiBadge\">\r\n\t\t\t</Layer>\r\n\t\t\t<Image "
                  "ID=\"LorvendiIconImage\""),
         {},
         1,
         {portrait + "ok FAILED FAILED",
          "replace: #0 Success, but the layout is not the one the first run left",
          "hint: write a layer inside the one after LorvendiCondensed closed in itself (<Layer "
          ".../>), or drop it: a later run takes its </Layer> for the plugin's last, and the 2 "
          "lines after it stay in the layout"}},
        {"blocks closed in capitals",
         replaced(sample, "</layout>", "</Layout>"),
         {},
         1,
         {portrait + "FAILED - -", "add: #64 Didn't found final <layout>-Tag in .plg to inject",
          "hint: close the block for 480x800 with a line holding </layout>, written in lower case",
          landscape + "FAILED - -"}},
        {"a name the installer refuses, without a delete that could not name it",
         replaced(sample, "<name>Lorvendi</name>", "<name>Lv-addchange</name>"),
         {},
         1,
         {portrait + "FAILED - -", "add: #69 Name of Plugin in plg holds a character not allowed",
          "hint: give the plugin a name without blanks, control characters, ; \" < > & and "
          "-addchange: a delete names it up to the first blank (and a line holding -addchange is "
          "an add), and the home screen's lists split names at ;"}},
        {"a name too long for the delete goes straight to the add",
         replaced(sample, "<name>Lorvendi</name>", "<name>" + std::string(980, 'N') + "</name>"),
         {},
         1,
         {portrait + "FAILED - -", "add: #66 Name of Plugin in plg too long"}},
        {"a plugin definition in UTF-16",
         [&] {
             std::string text = "\xFF\xFE";
             for (char c : sample)
                 text += std::string(1, c) + '\0';
             return text;
         }(),
         {},
         1,
         {portrait + "FAILED - -", "add: #61 Name of Plugin in plg not found",
          "hint: save the .plg as UTF-8: it is UTF-16 text, whose tags the installer, reading "
          "8-bit lines, never finds"}},
        {"an empty block, which installs nothing",
         [&] {
             size_t open = sample.find('\n', sample.find("screenHeight=\"800\"")) + 1;
             return sample.substr(0, open) + sample.substr(sample.find("  </layout>"));
         }(),
         {},
         1,
         {portrait + "FAILED - -",
          "add: #0 Success, but the .plg's block for 480x800 holds no lines, so nothing was put "
          "into the layout",
          namesHint}},
        {"a block of blank lines, which installs nothing either",
         [&] {
             size_t open = sample.find('\n', sample.find("screenHeight=\"800\"")) + 1;
             return sample.substr(0, open) + "\t\r\n" + sample.substr(sample.find("  </layout>"));
         }(),
         {},
         1,
         {portrait + "FAILED - -",
          "add: #0 Success, but the .plg's block for 480x800 holds blank lines only, so nothing "
          "was put into the layout"}},
        {"a layer left open, which the delete takes out again but leaves a layout no XML reader "
         "takes",
         [&] {
             const std::string end = "\t\t</Layer>\r\n";
             return std::string(sample).erase(sample.find(end), end.size());
         }(),
         {},
         1,
         {portrait + "FAILED - -",
          "add: #0 Success, but in the block for 480x800 3 layers open and 2 close, so the layout "
          "is no longer well-formed",
          "hint: close every <Layer ...> with </Layer> and every <!-- with -->"}},
        {"a block whose size begins like the layout's is the one it gets",
         replaced(sample, "screenWidth=\"480\" screenHeight=\"800\"",
                  "screenWidth=\"480\" screenHeight=\"8000\""),
         {},
         0,
         {portrait + "ok ok ok", landscape + "ok ok ok",
          "The .plg's block for 480x8000 is the one the installer takes for 480x800 (it looks for "
          "the start of the size): put a block for 480x800 before it.",
          "All 2 checks passed."}},
        {"the position after the blocks",
         replaced(replaced(sample, "  <position>1</position>\r\n", ""), "</plugin>",
                  "<position>1</position>\r\n</plugin>"),
         {},
         1,
         {portrait + "FAILED - -", "add: #63 Didn't found correct resolution in .plg to inject",
          "hint: move the block for 480x800 after the position's line: blocks are looked for "
          "only there"}},
    };
    const std::map<std::string, std::string> device = filesBelow(dev_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string plg = scratch_.dir() + "/plugin.plg";
        cetest::writeHostFile(plg, c.plg);
        std::vector<std::string> args = c.options;
        args.push_back(plg);
        RunResult r = check(args);
        EXPECT_EQ(r.exitCode, c.exit) << r.out << r.err;
        EXPECT_EQ(r.err, "");
        const std::vector<std::string> got = squeezedLines(r.out);
        size_t at = 0;
        for (const std::string& want : c.lines) {
            while (at < got.size() && got[at] != want)
                ++at;
            EXPECT_LT(at, got.size()) << "missing, or out of order: " << want << "\n" << r.out;
        }
        EXPECT_EQ(filesBelow(dev_), device) << "the device changed";
        EXPECT_TRUE(fs::is_empty(tmp_)) << "a temporary device was left behind";
    }
}

// The layout files are the installer's: of the layout that "ExtensibilityXML"
// names when it does not name "CPRFile", found whatever their case, a
// square one tried both ways; a file named with a leading zero is none.
TEST_F(CheckPlugin, TriesTheLayoutFilesTheInstallerWouldPick) {
    fs::rename(dev_ + "/fs/Windows", dev_ + "/fs/windows");
    const std::string windows = dev_ + "/fs/windows/";
    fs::rename(windows + "qorvhome_800x480.cpr", windows + "QORVHOME_800X480.CPR");
    fs::copy_file(windows + "qorvhome_480x800.cpr", windows + "qorvhome_480x480.cpr");
    fs::copy_file(windows + "qorvhome_480x800.cpr", windows + "qorvhome_0480x800.cpr");
    RunResult set = cetest::runProgram(
        CEDEVICE_EXE, {"set", "HKLM\\SOFTWARE\\Microsoft\\CHome", "CPRFile", "old"}, dev_);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const std::string sample = cetest::readHostFile(kSamplePlg);
    const size_t landscape = sample.find("  <layout screenWidth=\"800\"");
    const size_t end = sample.find("</plugin>");
    const std::string square = replaced(sample.substr(landscape, end - landscape),
                                        "screenWidth=\"800\" screenHeight=\"480\"",
                                        "screenWidth=\"480\" screenHeight=\"480\"");
    const std::string plg = scratch_.dir() + "/square.plg";
    cetest::writeHostFile(plg, sample.substr(0, end) + square + sample.substr(end));

    RunResult r = check({"--screen", "480x800", plg});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::vector<std::string> want = {
        "Plugin Lorvendi, position 1, on the layout qorvhome of " + dev_ + ":",
        "screen orientation layout file add replace remove",
        "480x480 portrait \\windows\\qorvhome_480x480.cpr ok ok ok",
        "480x480 landscape \\windows\\qorvhome_480x480.cpr ok ok ok",
        "480x800 portrait \\windows\\qorvhome_480x800.cpr ok ok ok",
        "480x800 landscape \\windows\\QORVHOME_800X480.CPR ok ok ok",
        "All 4 checks passed."};
    EXPECT_EQ(squeezedLines(r.out), want) << r.out;

    // A layout without files: nothing to check is no success.
    set = cetest::runProgram(CEDEVICE_EXE,
                             {"set", "HKLM\\SOFTWARE\\Microsoft\\CHome", "ExtensibilityXML",
                              "<Plugins Order=\"Clock\" CPRFileName=\"other\"/>"},
                             dev_);
    ASSERT_EQ(set.exitCode, 0) << set.err;
    r = check({plg});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("Nothing checked: the device has no layout file "
                         "\\Windows\\other_WxH.cpr."),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_empty(tmp_));
}

// Columns count characters: a layout named beyond ASCII kept the header's
// columns to the right of its rows'.
TEST_F(CheckPlugin, ALayoutNamedBeyondAsciiKeepsTheColumnsInLine) {
    const std::string name = "h\xC3\xB6me";
    const std::string key = "HKLM\\SOFTWARE\\Microsoft\\CHome";
    const std::string xml =
        cetest::runProgram(CEDEVICE_EXE, {"get", key, "ExtensibilityXML"}, dev_).out;
    ASSERT_EQ(cetest::runProgram(CEDEVICE_EXE,
                                 {"set", key, "ExtensibilityXML",
                                  replaced(xml.substr(0, xml.size() - 1), "qorvhome", name)},
                                 dev_)
                  .exitCode,
              0);
    ASSERT_EQ(cetest::runProgram(CEDEVICE_EXE, {"set", key, "CPRFile", name}, dev_).exitCode, 0);
    for (const char* size : {"480x800", "800x480"}) {
        const std::string windows = dev_ + "/fs/Windows/";
        fs::rename(windows + "qorvhome_" + size + ".cpr", windows + name + "_" + size + ".cpr");
    }
    RunResult r = check({kSamplePlg});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    std::istringstream lines(r.out);
    std::string header, row;
    std::getline(lines, header);
    std::getline(lines, header);
    std::getline(lines, row);
    ASSERT_NE(header.find(" add"), std::string::npos) << r.out;
    ASSERT_NE(row.find(" ok"), std::string::npos) << r.out;
    EXPECT_EQ(cetest::U(header.substr(0, header.find(" add"))).size(),
              cetest::U(row.substr(0, row.find(" ok"))).size())
        << r.out;
}

// The home screen's order list is read as the installer reads it: in the
// Order attribute, wherever it stands.
// The screen of each check holds whatever the device's own device.conf
// says: a screen line of its own, one malformed, or a file longer than the
// device reads.
TEST_F(CheckPlugin, TheScreenOfTheCheckHoldsWhateverTheDeviceConfSays) {
    std::string conf = "screen=800x480\n";
    for (int i = 0; i < 1000; ++i)
        conf += "# " + std::string(70, 'x') + "\n";
    cetest::writeHostFile(dev_ + "/device.conf", conf + " screen = 12x\n");
    RunResult r = check({kSamplePlg});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("All 2 checks passed."), std::string::npos) << r.out;
}

// A form end that shares its line with a closing tag, as a list-view
// switch leaves it: the add puts the block after that tag, and a replace
// and a delete must find the layout as the add left it and as it was.
TEST_F(CheckPlugin, AFormEndOnTheLineOfAClosingTagTakesASoundPlugin) {
    for (const char* size : {"480x800", "800x480"}) {
        const std::string file = dev_ + "/fs/Windows/qorvhome_" + size + ".cpr";
        const std::string glued = std::string(size) == "480x800" ? "</Footer>" : "</Footer>\t ";
        cetest::writeHostFile(
            file, replaced(cetest::readHostFile(file), "</Footer>\r\n</Form>", glued + "</Form>"));
    }
    RunResult r = check({kSamplePlg});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("All 2 checks passed."), std::string::npos) << r.out;
}

TEST_F(CheckPlugin, TheOrderListIsTheOrderAttributeWhereverItStands) {
    auto setOrder = [&](const std::string& attribute) {
        for (const char* value : {"ExtensibilityXML", "DefaultXML"}) {
            RunResult set = cetest::runProgram(
                CEDEVICE_EXE,
                {"set", "HKLM\\SOFTWARE\\Microsoft\\CHome", value,
                 "<?xml version=\"1.0\"?><Plugins CPRFileName=\"qorvhome\" " + attribute + "/>"},
                dev_);
            ASSERT_EQ(set.exitCode, 0) << set.err;
        }
    };
    setOrder("Order=\"Clock;Messaging\"");
    RunResult r = check({kSamplePlg});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("All 2 checks passed."), std::string::npos) << r.out;
    // A name with ' puts a list in ' quotes in " quotes, for good.
    std::string bobs = cetest::readHostFile(kSamplePlg);
    for (size_t at; (at = bobs.find("Lorvendi")) != std::string::npos;)
        bobs.replace(at, 8, "Bob's");
    cetest::writeHostFile(scratch_.dir() + "/bobs.plg", bobs);
    setOrder("Order='Clock;Messaging'");
    r = check({scratch_.dir() + "/bobs.plg"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("All 2 checks passed."), std::string::npos) << r.out;
    // A read-only layout is tried as the device has it.
    fs::permissions(dev_ + "/fs/Windows/qorvhome_480x800.cpr",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    r = check({kSamplePlg});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("hint: the layout file is read-only on the device"), std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_empty(tmp_));
}

// A check stopped by a signal takes its temporary devices with it, and ends
// by that signal.
TEST_F(CheckPlugin, ASignalLeavesNoTemporaryDeviceBehind) {
    const std::map<std::string, std::string> device = filesBelow(dev_);
    int null = open("/dev/null", O_WRONLY);
    pid_t pid = startCheck(null);
    close(null);
    ASSERT_GE(pid, 0);
    // As soon as the temporary directory is there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (fs::is_empty(tmp_) && std::chrono::steady_clock::now() < deadline)
        usleep(200);
    EXPECT_FALSE(fs::is_empty(tmp_)) << "no temporary directory was made";
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(fs::is_empty(tmp_)) << "a temporary device was left behind";
    EXPECT_EQ(filesBelow(dev_), device);
}

// Output into a reader that has quit (`| head -n 1`) ends the check the
// same way.
TEST_F(CheckPlugin, AClosedOutputLeavesNoTemporaryDeviceBehind) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    close(out[0]);
    pid_t pid = startCheck(out[1]);
    close(out[1]);
    ASSERT_GE(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
    EXPECT_TRUE(fs::is_empty(tmp_)) << "a temporary device was left behind";
}

// The check meets the device as the installer does: what stops a real
// install stops the check, and what the installer copes with passes.  Each
// case is tried by check-plugin and then by a real install in portrait.
TEST_F(CheckPlugin, ADeviceThatStopsTheInstallerStopsTheCheck) {
    struct Case {
        const char* what;
        std::function<void(const std::string& dev)> make;
        bool installs;
        std::string says;  // in the check's output
    };
    const std::string outside = scratch_.dir() + "/outside";
    fs::create_directories(outside);
    const Case cases[] = {
        {"a read-only registry",
         [](const std::string& dev) {
             fs::permissions(dev + "/registry.reg", fs::perms::owner_read | fs::perms::group_read);
         },
         false, "cannot write the registry " + dev_ + "/registry.reg: Permission denied"},
        {"a leftover temporary copy that is read-only",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/fs/tempTitaniumPortraitCpr.txt", "old");
             fs::permissions(dev + "/fs/tempTitaniumPortraitCpr.txt", fs::perms::owner_read);
         },
         false, "1 of 2 checks failed."},
        {"a leftover temporary copy that is a FIFO",
         [](const std::string& dev) {
             ASSERT_EQ(mkfifo((dev + "/fs/tempTitaniumPortraitCpr.txt").c_str(), 0644), 0);
         },
         false, "1 of 2 checks failed."},
        {"a leftover temporary copy that is a link to a file, which the installer replaces",
         [](const std::string& dev) {
             cetest::writeHostFile(dev + "/fs/old", "old");
             fs::create_symlink("old", dev + "/fs/tempTitaniumPortraitCpr.txt");
         },
         true, "All 2 checks passed."},
        {"a leftover temporary copy that is a link to a folder, which is that folder",
         [](const std::string& dev) {
             fs::create_directories(dev + "/fs/old");
             fs::create_symlink("old", dev + "/fs/tempTitaniumPortraitCpr.txt");
         },
         false, "1 of 2 checks failed."},
        {"a layout linked out of the device's files",
         [&](const std::string& dev) {
             const std::string layout = dev + "/fs/Windows/qorvhome_480x800.cpr";
             fs::rename(layout, outside + "/qorvhome_480x800.cpr");
             fs::create_symlink(outside + "/qorvhome_480x800.cpr", layout);
         },
         false, "a link that leads out of the device's files"},
        {"the layouts' folder linked out of the device's files",
         [&](const std::string& dev) {
             fs::remove_all(outside + "/Windows");
             fs::rename(dev + "/fs/Windows", outside + "/Windows");
             fs::create_symlink(outside + "/Windows", dev + "/fs/Windows");
         },
         false, "\\Windows is a link that leads out of the device's files"},
        {"a layout linked to a read-only file among the device's",
         [](const std::string& dev) {
             const std::string windows = dev + "/fs/Windows/";
             fs::create_directories(windows + "orig");
             fs::rename(windows + "qorvhome_480x800.cpr", windows + "orig/qorvhome_480x800.cpr");
             fs::permissions(windows + "orig/qorvhome_480x800.cpr", fs::perms::owner_read);
             fs::create_symlink("orig/qorvhome_480x800.cpr", windows + "qorvhome_480x800.cpr");
         },
         true, "All 2 checks passed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dev_);
        ASSERT_EQ(cetest::runProgram(CEDEVICE_EXE, {"create", "--sample", dev_}, "").exitCode, 0);
        c.make(dev_);
        RunResult r = check({kSamplePlg});
        EXPECT_EQ(r.exitCode, c.installs ? 0 : 1) << r.out << r.err;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");  // the device is looked at quietly
        RunResult install =
            cetest::runProgram(QORVINSTALL_EXE,
                               {"-addchange", "-plg:\\Program Files\\Lorvendi\\lorvendi.plg",
                                "-cpr:currentPortrait", "-silent"},
                               dev_);
        EXPECT_EQ(install.exitCode == 0, c.installs) << install.err;
        EXPECT_TRUE(fs::is_empty(tmp_));
    }
}

// Text from the definition goes to the terminal shown, not sent.
TEST_F(CheckPlugin, ControlCharactersOfTheDefinitionAreShown) {
    const std::string plg = scratch_.dir() + "/escape.plg";
    cetest::writeHostFile(plg, replaced(cetest::readHostFile(kSamplePlg), "<name>Lorvendi",
                                        "<name>Lor\x1b]0;X\x07\xc2\x9bvendi"));
    RunResult r = check({plg});
    EXPECT_EQ(r.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Plugin Lor\\x1B]0;X\\x07\\xC2\\x9Bvendi"), std::string::npos) << r.out;
}

TEST_F(CheckPlugin, AWrongCommandLineOrMissingPartsFailPlainly) {
    struct Failure {
        std::vector<std::string> args;
        int exit;
        std::string says;
    };
    const Failure failures[] = {
        {{}, 2, "check-plugin takes [--screen WxH]... FILE.plg"},
        {{"a.plg", "b.plg"}, 2, "takes one FILE.plg"},
        {{"--screen", "480x0", kSamplePlg}, 2, "not '480x0'"},
        {{"--screen"}, 2, "--screen takes a size"},
        {{"--size", kSamplePlg}, 2, "does not know the option --size"},
        {{scratch_.dir() + "/none.plg"},
         1,
         "cannot read " + scratch_.dir() + "/none.plg: No such file or directory"},
        {{scratch_.dir()}, 1, "cannot read " + scratch_.dir() + ": Is a directory"},
    };
    for (const Failure& f : failures) {
        RunResult r = check(f.args);
        EXPECT_EQ(r.exitCode, f.exit) << f.says;
        EXPECT_NE(r.err.find("cedevice: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
    }
    // Without an installer nothing is tried.
    RunResult r = cetest::runProgram(CEDEVICE_EXE, {"check-plugin", kSamplePlg}, dev_,
                                     {{"PATH", scratch_.dir()}, {"TMPDIR", tmp_}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no qorvinstall beside cedevice or on PATH"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(tmp_));
}

}  // namespace
