// The failures the run and the layout selection raise: box text when
// raised, result text recorded and shown again at the end, exit status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "run_helpers.h"

namespace qorvtest {
namespace {

using cetest::TempDevice;

struct FailureCase {
    const char* label;
    std::string line;
    uint32_t code;
    std::string box;
    std::string result;
};

// A home screen whose "CPRFile" is `cprFile` (not written when empty) and
// whose "ExtensibilityXML" is `xml` (not written when empty).
std::string homeWith(const std::string& cprFile, const std::string& xml) {
    RegText reg;
    reg.key("HKEY_LOCAL_MACHINE\\" + kHomeKey);
    if (!cprFile.empty())
        reg.str("CPRFile", cprFile);
    if (!xml.empty())
        reg.str("ExtensibilityXML", xml);
    return reg.text();
}

const std::string kHome = RegText().home("home").text();
const std::string kNoLayoutXml = "<Plugins Order=\"a\"/>";

struct FailureSetup {
    FailureCase c;
    std::string reg;
};

std::vector<FailureSetup> failureCases() {
    const std::string n1 = "No .plg-File defined";
    return {
        {{"no action", "-cpr:all -plg:\\a.plg -add -Change", 1,
          "#1 Nothing to find what's to do (addchange,delete,change)",
          "#1 Nothing to find what's to do (addchange,delete,change)"},
         kHome},
        // " -plg:" with no blank before it is not found.
        {{"plg first on the line", "-plg:\\a.plg -addchange -cpr:all", 2, n1,
          "#2 No .plg-File defined"},
         kHome},
        {{"quoted plg path", "-addchange -plg:\"\\a.plg\" -cpr:all", 3,
          ".plg-Path always must begin with a Backslash",
          "#3 plg-Path always must begin with a Backslash"},
         kHome},
        {{"plg extension in capitals", "-addchange -plg:\\a.PLG -cpr:all", 4,
          ".plg-Path end not found", "#4 .plg-Path end not found"},
         kHome},
        {{"cpr first on the line", "-cpr:all -change", 12, "No .cpr-File defined",
          "#12 No .cpr-File defined"},
         kHome},
        {{"cpr path without backslash", "-change -cpr:Windows\\x.cpr", 13,
          ".cpr-Path always must begin with a Backslash",
          "#13 .cpr-Path always must begin with a Backslash"},
         kHome},
        {{"cpr extension in capitals", "-change -cpr:\\Windows\\X.CPR", 14,
          ".cpr-Path end not found", "#14 .cpr-Path end not found"},
         kHome},
        {{"no CPRFile", "-change -cpr:currentPortrait", 20, "#20 No current CPR found",
          "#20 No current CPR found"},
         homeWith("", kNoLayoutXml)},
        // 512 characters need 1,026 bytes: more than the 1,024-byte read.
        {{"CPRFile too long for its read", "-change -cpr:all", 20, "#20 No current CPR found",
          "#20 No current CPR found"},
         homeWith(std::string(512, 'n'), kNoLayoutXml)},
        // 498 characters fit the read but not the texts built around a name.
        {{"layout name too long", "-change -cpr:currentLandscape", 20, "#20 No current CPR found",
          "#20 No current CPR found"},
         homeWith(std::string(498, 'n'), kNoLayoutXml)},
        {{"no ExtensibilityXML", "-change -cpr:forcecurrentPortrait", 28,
          "#28 NoExtensibilityXML found", "#28 NoExtensibilityXML found"},
         homeWith("home", "")},
        {{"ExtensibilityXML too long for its read", "-change -cpr:all", 28,
          "#28 NoExtensibilityXML found", "#28 NoExtensibilityXML found"},
         homeWith("home", std::string(8092, 'x'))},
        {{"delete without plugin", "-delete -cpr:all -plugins:x", 32,
          "#32 No Plugin to delete defined", "#32 No Plugin to delete defined"},
         kHome},
        {{"no home-screen key", "-change -cpr:\\Windows\\x.cpr", 101,
          "#101 Titanium Registry couldn't be found", "#101 Titanium Registry couldn't be found"},
         RegText().key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft").str("x", "y").text()},
        {{"command line too long", "-change -cpr:\\Windows\\x.cpr " + std::string(8070, 'z'), 5,
          "Command line longer than 8091 characters",
          "#5 Command line longer than 8091 characters"},
         kHome},
    };
}

TEST(Failures, EachIsShownTwiceRecordedAndEndsWithStatusOne) {
    for (const FailureSetup& s : failureCases()) {
        SCOPED_TRACE(s.c.label);
        TempDevice dev;
        dev.setScreen(480, 800);
        dev.writeRegistry(s.reg);
        dev.writeFile("\\Windows\\x.cpr", kLayoutText);

        cetest::RunResult r = runInstaller(dev, s.c.line);

        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(boxes(r), (std::vector<std::string>{s.c.box, s.c.result})) << r.err;
        EXPECT_EQ(runDword(dev, "ErrorNumber"), s.c.code);
        EXPECT_EQ(runString(dev, "ErrorDescription"), s.c.result);
        EXPECT_EQ(runDword(dev, "QORVhasChangedSomething"), 1);
        // No editor ran: the layout file and the temporary copies are as before.
        EXPECT_EQ(dev.readFile("\\Windows\\x.cpr"), kLayoutText);
        EXPECT_FALSE(dev.fileExists("\\tempTitaniumPortraitCpr.txt"));
        EXPECT_FALSE(dev.fileExists("\\tempTitaniumLandscapeCpr.txt"));
    }
}

TEST(Failures, SilentRunsRecordTheSameAndShowNothing) {
    for (const FailureSetup& s : failureCases()) {
        SCOPED_TRACE(s.c.label);
        TempDevice dev;
        dev.writeRegistry(s.reg);
        // "-silent" works anywhere, even inside another word.
        cetest::RunResult r = runInstaller(dev, s.c.line + " not-silently");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(boxes(r).empty()) << r.err;
        EXPECT_EQ(runDword(dev, "ErrorNumber"), s.c.code);
        EXPECT_EQ(runString(dev, "ErrorDescription"), s.c.result);
    }
}

TEST(Failures, LaterSwitchesAreLeftUnexaminedAndKeepEarlierValues) {
    TempDevice dev;
    dev.writeRegistry(RegText()
                          .home("home")
                          .key("HKEY_CURRENT_USER\\" + kRunKey)
                          .str("callCPR", "\\Windows\\earlier.cpr")
                          .str("callTypeCPR", "earlier")
                          .str("callPlugin", "earlier")
                          .dword("curResX", 1)
                          .text());
    // Fails on the plugin-definition path: the layout switches are not read.
    runInstaller(dev, "-addchange -plg:\\a.PLG -cpr:currentPortrait -plugin:x -silent");
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 4);
    EXPECT_EQ(runString(dev, "callAction"), "addchange");
    EXPECT_EQ(runString(dev, "callPLG"), "<missing>");
    EXPECT_EQ(runString(dev, "callTypeCPR"), "earlier");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\earlier.cpr");
    EXPECT_EQ(runDword(dev, "curResX"), 1);
    // The run record now says where it stopped; the previous call rotated.
    EXPECT_EQ(runString(dev, "lastCallCPR"), "\\Windows\\earlier.cpr");

    // Fails on "CPRFile": the mode is recorded, nothing is composed.
    TempDevice dev2;
    dev2.writeRegistry(homeWith("", kNoLayoutXml));
    runInstaller(dev2, "-delete -cpr:currentLandscape -plugin:x -silent");
    EXPECT_EQ(runDword(dev2, "ErrorNumber"), 20);
    EXPECT_EQ(runString(dev2, "callTypeCPR"), "currentLandscape");
    EXPECT_EQ(runString(dev2, "callCPR"), "<missing>");
    EXPECT_EQ(runDword(dev2, "curResX"), -1);
    EXPECT_EQ(runString(dev2, "callPlugin"), "<missing>");
}

TEST(Failures, MissingHomeKeyWritesNoCallValues) {
    TempDevice dev;
    dev.writeRegistry(RegText().key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other").str("x", "y").text());
    runInstaller(dev, "-change -cpr:\\Windows\\x.cpr -silent");
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 101);
    EXPECT_EQ(runString(dev, "callOverall"), "<missing>");
    EXPECT_EQ(runString(dev, "callAction"), "<missing>");
    EXPECT_EQ(runString(dev, "Version"), "1.0 rc3");
    EXPECT_EQ(runDword(dev, "QORVhasChangedSomething"), 1);
}

TEST(Failures, CommandLineOfExactly8091CharactersIsTaken) {
    TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    std::string line = "-cpr:all -silent ";
    line += std::string(8091 - line.size(), 'z');
    ASSERT_EQ(line.size(), 8091u);
    runInstaller(dev, line);
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 1);
    EXPECT_EQ(runString(dev, "callOverall"), line);
}

}  // namespace
}  // namespace qorvtest

namespace qorvtest {
namespace {

// The registry stays readable but takes no write: its write lock cannot be
// made, so the run record cannot be created.
void makeRegistryReadOnly(const cetest::TempDevice& dev) {
    ASSERT_EQ(mkdir((dev.dir() + "/registry.reg.lock").c_str(), 0755), 0);
}

TEST(Failures, UncreatableRunRecordIsShownOnceAndTheRunGoesOn) {
    cetest::TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    dev.writeFile("\\Windows\\x.cpr",
                  "<Form>\r\n<TitaniumListView>\r\n</TitaniumListView>\r\n</Form>\r\n");
    makeRegistryReadOnly(dev);

    cetest::RunResult r = runInstaller(dev, "-change -cpr:\\Windows\\x.cpr -view:BronzeListView");

    // The run record is lost: on a PC that is no success.
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(boxes(r),
              (std::vector<std::string>{"#100 Couldn't access/create QORV Registry Key"}));
    EXPECT_FALSE(dev.regValueExists(false, kRunKey, "ErrorNumber"));
    // The editor still did its work.
    EXPECT_EQ(dev.readFile("\\Windows\\x.cpr"),
              "<Form>\r\n   <BronzeListView>\r\n   </BronzeListView></Form>");
}

TEST(Failures, UncreatableRunRecordWithALaterFailure) {
    cetest::TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    makeRegistryReadOnly(dev);

    cetest::RunResult r = runInstaller(dev, "-delete -cpr:all");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(boxes(r), (std::vector<std::string>{"#100 Couldn't access/create QORV Registry Key",
                                                  "#32 No Plugin to delete defined",
                                                  "#32 No Plugin to delete defined"}));
    EXPECT_FALSE(dev.regValueExists(false, kRunKey, "ErrorNumber"));

    cetest::RunResult silent = runInstaller(dev, "-delete -cpr:all -silent");
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_TRUE(boxes(silent).empty()) << silent.err;
}

}  // namespace
}  // namespace qorvtest
