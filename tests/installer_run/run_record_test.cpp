// The run record: what a run writes, in which order, and what it keeps.
#include <gtest/gtest.h>
#include <unistd.h>

#include "run_helpers.h"

namespace qorvtest {
namespace {

using cetest::TempDevice;

const std::vector<std::string> kRunValues = {
    "ErrorDescription", "ErrorNumber", "lastCallPLG", "lastCallCPR",
    "lastCallAction",   "Version",     "callOverall", "callAction",
    "callPLG",          "callTypeCPR", "curResX",     "curResY",
    "callCPR",          "callPlugin",  "ListView",    "QORVhasChangedSomething"};

TEST(RunRecord, DirectChangeRunRecordsItsCallInOrderAndShowsNothing) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(RegText().home("home").text());
    dev.writeFile("\\Windows\\my layout.cpr", kLayoutText);
    const std::string line = "-change -cpr:\\Windows\\my layout.cpr -view:BronzeListView";

    cetest::RunResult r = runInstaller(dev, line);

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(boxes(r).empty()) << r.err;
    EXPECT_EQ(runString(dev, "ErrorDescription"), "#0 Success");
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 0);
    EXPECT_EQ(runString(dev, "Version"), "1.0 rc3");
    EXPECT_EQ(runString(dev, "callOverall"), line);
    EXPECT_EQ(runString(dev, "callAction"), "change");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\my layout.cpr");
    EXPECT_EQ(runString(dev, "callTypeCPR"), "direct");
    EXPECT_EQ(runDword(dev, "QORVhasChangedSomething"), 1);
    // A first run has no previous call to rotate, and direct paths need no
    // screen size.  The editor ("ListView") runs after the selection and
    // before the final flag.
    EXPECT_EQ(only(valueOrder(dev.readRegistryFile(), "HKEY_CURRENT_USER\\" + kRunKey), kRunValues),
              (std::vector<std::string>{"ErrorDescription", "ErrorNumber", "Version", "callOverall",
                                        "callAction", "callCPR", "callTypeCPR", "ListView",
                                        "QORVhasChangedSomething"}));
}

// A byte that is not UTF-8 elsewhere on the line leaves the UTF-8 of a
// path as it is: the layout beyond ASCII is still found.
TEST(RunRecord, ABadByteOnTheLineKeepsTheUtf8AroundIt) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(RegText().home("home").text());
    dev.writeFile(
        "\\Windows\\W\xC3\xAB"
        "ather.cpr",
        kLayoutText);
    cetest::RunResult r = runInstaller(dev,
                                       "-change -cpr:\\Windows\\W\xC3\xAB"
                                       "ather.cpr -view:BronzeListView note:\xFF");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(runString(dev, "callCPR"),
              "\\Windows\\W\xC3\xAB"
              "ather.cpr");
}

TEST(RunRecord, AddchangeRunRecordsPathsAndScreenInOrder) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(RegText().home("home").text());
    const std::string line =
        "-addchange -plg:\\Program Files\\My Weather\\weather.plg -cpr:currentPortrait -silent";

    cetest::RunResult r = runInstaller(dev, line);

    // Whatever the editor makes of the missing files, a silent run shows
    // nothing.
    EXPECT_TRUE(boxes(r).empty()) << r.err;
    EXPECT_EQ(runString(dev, "callAction"), "addchange");
    EXPECT_EQ(runString(dev, "callPLG"), "\\Program Files\\My Weather\\weather.plg");
    EXPECT_EQ(runString(dev, "callTypeCPR"), "currentPortrait");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\home_480x800.cpr");
    EXPECT_EQ(runDword(dev, "curResX"), 480);
    EXPECT_EQ(runDword(dev, "curResY"), 800);
    EXPECT_EQ(runDword(dev, "QORVhasChangedSomething"), 1);
    EXPECT_EQ(only(valueOrder(dev.readRegistryFile(), "HKEY_CURRENT_USER\\" + kRunKey), kRunValues),
              (std::vector<std::string>{"ErrorDescription", "ErrorNumber", "Version", "callOverall",
                                        "callAction", "callPLG", "callTypeCPR", "curResX",
                                        "curResY", "callCPR", "QORVhasChangedSomething"}));
}

TEST(RunRecord, DeleteRunTakesThePluginNameAndRecordsPluginAsType) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(RegText().home("home").text());
    cetest::RunResult r =
        runInstaller(dev, "-delete -cpr:currentLandscape -nochangecpr -silent -plugin:Weather");

    EXPECT_TRUE(boxes(r).empty());
    EXPECT_EQ(runString(dev, "callPlugin"), "Weather");
    EXPECT_EQ(runString(dev, "callTypeCPR"), "plugin");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\home_800x480.cpr");
    EXPECT_EQ(only(valueOrder(dev.readRegistryFile(), "HKEY_CURRENT_USER\\" + kRunKey), kRunValues),
              (std::vector<std::string>{"ErrorDescription", "ErrorNumber", "Version", "callOverall",
                                        "callAction", "callTypeCPR", "curResX", "curResY",
                                        "callCPR", "callPlugin", "QORVhasChangedSomething"}));

    // A blank right after the switch gives an empty name, not a failure.
    runInstaller(dev, "-delete -cpr:all -plugin: Weather -silent");
    EXPECT_EQ(runString(dev, "callPlugin"), "");
    EXPECT_EQ(runString(dev, "callTypeCPR"), "plugin");
    EXPECT_NE(runDword(dev, "ErrorNumber"), 32);
}

TEST(RunRecord, PreviousCallIsRotatedBeforeVersion) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(RegText()
                          .home("home")
                          .key("HKEY_CURRENT_USER\\" + kRunKey)
                          .str("callPLG", "\\old.plg")
                          .str("callCPR", "\\Windows\\old.cpr")
                          .str("callAction", "addchange")
                          .text());
    dev.writeFile("\\Windows\\x.cpr", kLayoutText);

    cetest::RunResult r = runInstaller(dev, "-change -cpr:\\Windows\\x.cpr");

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(runString(dev, "lastCallPLG"), "\\old.plg");
    EXPECT_EQ(runString(dev, "lastCallCPR"), "\\Windows\\old.cpr");
    EXPECT_EQ(runString(dev, "lastCallAction"), "addchange");
    // A change run does not take a plugin-definition path: the old one stays.
    EXPECT_EQ(runString(dev, "callPLG"), "\\old.plg");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\x.cpr");
    // The seeded values keep their places; the new ones follow in the order
    // they were written.
    EXPECT_EQ(valueOrder(dev.readRegistryFile(), "HKEY_CURRENT_USER\\" + kRunKey),
              (std::vector<std::string>{"callPLG", "callCPR", "callAction", "ErrorDescription",
                                        "ErrorNumber", "lastCallPLG", "lastCallCPR",
                                        "lastCallAction", "Version", "callOverall", "callTypeCPR",
                                        "ListView", "QORVhasChangedSomething"}));
}

TEST(RunRecord, RotationSkipsValuesThatDoNotFitTheirReads) {
    // "callAction" is read into 1,024 bytes: 511 characters fit, 512 do not.
    // "callPLG" and "callCPR" into 16,184 bytes: 8,091 characters fit.
    struct Case {
        size_t actionChars;
        size_t pathChars;
        bool rotated;
    };
    for (const Case& c : {Case{511, 8091, true}, Case{512, 8092, false}}) {
        TempDevice dev;
        const std::string action(c.actionChars, 'a');
        const std::string path = "\\" + std::string(c.pathChars - 1, 'p');
        dev.writeRegistry(RegText()
                              .home("home")
                              .key("HKEY_CURRENT_USER\\" + kRunKey)
                              .str("callPLG", path)
                              .str("callCPR", path)
                              .str("callAction", action)
                              .str("lastCallPLG", "earlier")
                              .str("lastCallCPR", "earlier")
                              .str("lastCallAction", "earlier")
                              .text());
        runInstaller(dev, "-cpr:all -silent");
        EXPECT_EQ(runString(dev, "lastCallAction"), c.rotated ? action : "earlier");
        EXPECT_EQ(runString(dev, "lastCallPLG"), c.rotated ? path : "earlier");
        EXPECT_EQ(runString(dev, "lastCallCPR"), c.rotated ? path : "earlier");
    }
}

TEST(RunRecord, GuardWindowEndsTheRunUntouched) {
    TempDevice dev;
    const std::string reg = RegText()
                                .home("home")
                                .key("HKEY_CURRENT_USER\\" + kRunKey)
                                .str("ErrorDescription", "#7 earlier")
                                .dword("QORVhasChangedSomething", 0)
                                .text();
    dev.writeRegistry(reg);
    dev.writeFile("\\Windows\\x.cpr", kLayoutText);
    cetest::writeHostFile(dev.dir() + "/run/windows/QORV_insClass",
                          std::to_string(getpid()) + "\n");

    cetest::RunResult r = runInstaller(dev, "-change -cpr:\\Windows\\x.cpr -view:BronzeListView");

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(boxes(r).empty()) << r.err;
    EXPECT_EQ(dev.readRegistryFile(), reg);
    EXPECT_EQ(dev.readFile("\\Windows\\x.cpr"), kLayoutText);
    EXPECT_FALSE(dev.fileExists("\\tempTitaniumPortraitCpr.txt"));
}

}  // namespace
}  // namespace qorvtest
