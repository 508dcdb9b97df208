// A layout folder the installer may read but not write: the copy-back fails
// (200 for an add, 300 for a list-view switch), the layout file stays as it
// was, the home screen's values are not committed, and what the run staged
// and the temporary copy show what it wanted to write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/installer_editors/editor_device.h"

namespace edtest {
namespace {

namespace fs = std::filesystem;
using cetest::TempDevice;

const std::string kLayout = "<Form>\r\n  <TitaniumListView>\r\n" + layers("Clock", "Clock") +
                            "  </TitaniumListView>\r\n</Form>\r\n";

// Everything of the device is open to the run but the folder \Windows.
// Root may write anywhere, so a run started by root runs as "nobody".
cetest::RunResult runWithReadOnlyWindows(const TempDevice& dev, const std::string& line) {
    for (const auto& e : fs::recursive_directory_iterator(dev.dir()))
        fs::permissions(e.path(), fs::perms::all);
    fs::permissions(dev.dir(), fs::perms::all);
    fs::permissions(dev.hostPath("\\Windows"), fs::perms::owner_read | fs::perms::owner_exec |
                                                   fs::perms::group_read | fs::perms::group_exec |
                                                   fs::perms::others_read | fs::perms::others_exec);
    std::string full = line + " -silent";
    if (geteuid() == 0) {
        return cetest::runProgram(
            "/usr/bin/setpriv",
            {"--reuid=65534", "--regid=65534", "--clear-groups", QORVINSTALL_EXE, full}, dev.dir());
    }
    return cetest::runProgram(QORVINSTALL_EXE, {full}, dev.dir());
}

TEST(CopyBack, FailedAddLeavesLayoutAndHomeValuesAndKeepsWhatWasStaged) {
    TempDevice dev;
    setUpDevice(dev);
    dev.writeFile(kPortrait, kLayout);
    dev.writeFile(kPlg, plgText() + block(480, 800, "Port") + "</plugin>\r\n");
    cetest::RunResult r = runWithReadOnlyWindows(dev, addLine());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(resultCode(dev), 200);
    EXPECT_EQ(resultText(dev), "#200 cpr could not be copied to destination directory");
    EXPECT_EQ(dev.readFile(kPortrait), kLayout);
    const std::string added = "<Form>\r\n  <TitaniumListView>\r\n" + layers("Clock", "Clock") +
                              "  </TitaniumListView>\r\n" + layers("Weather", "Port") + "</Form>";
    EXPECT_EQ(dev.readFile(kTempPortrait), added);
    EXPECT_EQ(runValue(dev, "newExtensibilityXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail;Weather");
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Mail"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
    // Nothing half-done is left beside the layout file.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(dev.hostPath("\\Windows")), fs::directory_iterator()),
        1);
}

TEST(CopyBack, FailedListViewSwitchLeavesTheLayoutFile) {
    TempDevice dev;
    setUpDevice(dev);
    dev.writeFile(kPortrait, kLayout);
    cetest::RunResult r =
        runWithReadOnlyWindows(dev, "-change -cpr:currentPortrait -view:BronzeListView");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(resultCode(dev), 300);
    EXPECT_EQ(resultText(dev), "#300 cpr could not be copied to destination directory");
    EXPECT_EQ(dev.readFile(kPortrait), kLayout);
    EXPECT_NE(dev.readFile(kTempPortrait).find("   <BronzeListView>"), std::string::npos);
}

}  // namespace
}  // namespace edtest
