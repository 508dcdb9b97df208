// Layout modes, the composed target, the CPRFile fix-up, the ForbiddenList
// and the star-image update.
#include "installer/layout_selection.h"

#include <gtest/gtest.h>

#include <memory>

#include "installer/run.h"
#include "installer/star_image.h"
#include "platform/platform.h"
#include "platform/wstr.h"
#include "run_helpers.h"

namespace qorvtest {
namespace {

using cetest::TempDevice;

TEST(LayoutSelection, EveryModeComposesOrTakesItsTarget) {
    struct Case {
        std::string mode;
        std::string recorded;
        std::string target;
        bool screenRecorded;
    };
    const Case cases[] = {
        {"currentPortrait", "currentPortrait", "\\Windows\\home_480x800.cpr", true},
        {"currentLandscape", "currentLandscape", "\\Windows\\home_800x480.cpr", true},
        {"forcecurrentPortrait", "forcecurrent", "\\Windows\\home_480x800.cpr", true},
        {"forcecurrentLandscape", "forcecurrentLandscape", "\\Windows\\home_800x480.cpr", true},
        {"all", "all", "\\Windows\\home_480x800.cpr", true},
        {"\\Windows\\other_800x480.cpr -x.cpr", "direct", "\\Windows\\other_800x480.cpr", false},
        // Several modes on one line: the one tested first wins, wherever it
        // stands, and a path after " -cpr:" yields to any named mode.
        {"forcecurrentLandscape -cpr:currentPortrait", "currentPortrait",
         "\\Windows\\home_480x800.cpr", true},
        {"\\Windows\\x.cpr -cpr:forcecurrentPortrait", "forcecurrent",
         "\\Windows\\home_480x800.cpr", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDevice dev;
        dev.setScreen(480, 800);
        dev.writeRegistry(RegText().home("home").text());
        dev.writeFile(c.target, kLayoutText);

        cetest::RunResult r = runInstaller(dev, "-change -cpr:" + c.mode + " -view:BronzeListView");

        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(boxes(r).empty()) << r.err;
        EXPECT_EQ(runString(dev, "callTypeCPR"), c.recorded);
        EXPECT_EQ(runString(dev, "callCPR"), c.target);
        EXPECT_EQ(runDword(dev, "curResX"), c.screenRecorded ? 480 : -1);
        EXPECT_EQ(runDword(dev, "curResY"), c.screenRecorded ? 800 : -1);
    }
}

TEST(LayoutSelection, ScreenIsTakenAsReportedWhateverTheOrientation) {
    TempDevice dev;
    dev.setScreen(800, 480);
    dev.writeRegistry(RegText().home("home").text());
    runInstaller(dev, "-change -cpr:currentLandscape -silent");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\home_480x800.cpr");
    EXPECT_EQ(runDword(dev, "curResX"), 800);
    EXPECT_EQ(runDword(dev, "curResY"), 480);
}

TEST(LayoutSelection, DirectPathNeedsNoCurrentLayout) {
    TempDevice dev;
    dev.writeRegistry(RegText().key("HKEY_LOCAL_MACHINE\\" + kHomeKey).str("Other", "x").text());
    dev.writeFile("\\Windows\\x.cpr", kLayoutText);
    cetest::RunResult r = runInstaller(dev, "-change -cpr:\\Windows\\x.cpr");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 0);
    EXPECT_FALSE(dev.regValueExists(true, kHomeKey, "CPRFile"));
}

std::string homeNaming(const std::string& cprFile, const std::string& xmlName) {
    return RegText()
        .key("HKEY_LOCAL_MACHINE\\" + kHomeKey)
        .str("CPRFile", cprFile)
        .str("ExtensibilityXML",
             "<Plugins Order=\"x\"/><L CPRFileName=\"" + xmlName + "\"/><L CPRFileName=\"third\"/>")
        .text();
}

TEST(LayoutSelection, CprFileFollowsTheLayoutTheXmlNames) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(homeNaming("a", "b"));
    runInstaller(dev, "-change -cpr:currentPortrait -silent");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\b_480x800.cpr");
    EXPECT_EQ(dev.regString(true, kHomeKey, "CPRFile"), cetest::U("b"));
}

TEST(LayoutSelection, CprFileFixupIsWrittenAlsoAfterALaterFailure) {
    TempDevice dev;
    dev.writeRegistry(homeNaming("a", "b"));
    runInstaller(dev, "-delete -cpr:all -silent");
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 32);
    EXPECT_EQ(dev.regString(true, kHomeKey, "CPRFile"), cetest::U("b"));
}

TEST(LayoutSelection, NoChangeHomeRegistryKeepsCprFile) {
    TempDevice dev;
    dev.setScreen(480, 800);
    dev.writeRegistry(homeNaming("a", "b"));
    runInstaller(dev, "-change -cpr:currentLandscape -nochangechomereg -silent");
    EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\b_800x480.cpr");
    EXPECT_EQ(dev.regString(true, kHomeKey, "CPRFile"), cetest::U("a"));
}

TEST(LayoutSelection, XmlWithoutAUsableLayoutNameKeepsCprFile) {
    for (const std::string xml :
         {"<Plugins Order=\"x\"/>", "<L CPRFileName=\"\"/>", "<L CPRFileName=\"unclosed"}) {
        SCOPED_TRACE(xml);
        TempDevice dev;
        dev.setScreen(480, 800);
        const std::string reg = RegText()
                                    .key("HKEY_LOCAL_MACHINE\\" + kHomeKey)
                                    .str("CPRFile", "a")
                                    .str("ExtensibilityXML", xml)
                                    .text();
        dev.writeRegistry(reg);
        runInstaller(dev, "-change -cpr:all -silent");
        EXPECT_EQ(runString(dev, "callCPR"), "\\Windows\\a_480x800.cpr");
        EXPECT_EQ(dev.regString(true, kHomeKey, "CPRFile"), cetest::U("a"));
    }
}

// The flags that only the editors see, checked on the context itself.
struct SelectionFlags {
    bool ok;
    bool landscape;
    bool current;
    bool forbidden;
};

// Runs the selection in this process, on the device of the living TempDevice.
SelectionFlags selectOn(const std::string& line) {
    auto ctx = std::make_unique<qorv::RunContext>();
    qorv::RunRequest& request = ctx->request;
    request.screenWidth = 480;
    request.screenHeight = 800;
    request.silent = true;
    ctx->keys.runRecord = ce::regCreateKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    ctx->keys.homeKey = ce::regOpenKey(ce::Hive::LocalMachine, qorv::kHomeScreenKey);
    std::u16string wide = cetest::U(line);
    bool ok = qorv::selectTargetLayout(*ctx, wide.c_str());
    ce::regCloseKey(ctx->keys.homeKey);
    ce::regCloseKey(ctx->keys.runRecord);
    return {ok, request.landscape, request.currentLayout, request.forbidden};
}

TEST(LayoutSelection, FlagsOfEachMode) {
    TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    struct Case {
        std::string mode;
        bool landscape;
        bool current;
    };
    for (const Case& c :
         {Case{"currentPortrait", false, true}, Case{"currentLandscape", true, true},
          Case{"forcecurrentPortrait", false, true}, Case{"forcecurrentLandscape", true, true},
          Case{"all", false, false}, Case{"\\Windows\\home_800x480.cpr", false, false}}) {
        SCOPED_TRACE(c.mode);
        SelectionFlags f = selectOn("-change -cpr:" + c.mode);
        EXPECT_TRUE(f.ok);
        EXPECT_EQ(f.landscape, c.landscape);
        EXPECT_EQ(f.current, c.current);
        EXPECT_FALSE(f.forbidden);
    }
}

TEST(LayoutSelection, ForbiddenListForbidsTheCurrentModesOnly) {
    TempDevice dev;
    dev.writeRegistry(RegText()
                          .home("home")
                          .key("HKEY_CURRENT_USER\\" + kRunKey)
                          .str("ForbiddenList", ";other;home;")
                          .text());
    for (const std::string mode :
         {"currentPortrait", "currentLandscape", "forcecurrentPortrait", "forcecurrentLandscape"}) {
        EXPECT_TRUE(selectOn("-change -cpr:" + mode).forbidden) << mode;
    }
    EXPECT_FALSE(selectOn("-change -cpr:all").forbidden);
    EXPECT_FALSE(selectOn("-change -cpr:\\Windows\\home_480x800.cpr").forbidden);
}

// ---------------------------------------------------------------------------
// Star image.

const std::string kStarKey = kHomeKey + "\\QORV";
const std::string kStarPageKey = kStarKey + "\\Page1";

TEST(StarImage, CopiedToTheHomeScreenOnEveryRunWhenInstalled) {
    TempDevice dev;
    // 4,095 characters: the longest text that fits the 8,192-byte read.
    const std::string longest = "\\Program Files\\" + std::string(4080, 's');
    dev.writeRegistry(RegText()
                          .home("home")
                          .key("HKEY_LOCAL_MACHINE\\" + kStarPageKey)
                          .str("starPNG", "old.png")
                          .key("HKEY_CURRENT_USER\\" + kRunKey)
                          .dword("QORVCompleteInstalled", 1)
                          .str("is2StarPath", longest)
                          .text());
    // Also after a failed run.
    cetest::RunResult r = runInstaller(dev, "-cpr:all -silent");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(dev.regString(true, kStarPageKey, "starPNG"), cetest::U(longest));
    EXPECT_EQ(dev.regDword(true, kStarKey, "Updated"), 1u);
}

TEST(StarImage, NothingWithoutItsConditions) {
    struct Case {
        const char* label;
        bool installed;
        uint32_t installedValue;
        std::string starPath;  // empty: not written
        bool pageKey;
    };
    const Case cases[] = {
        {"not installed", false, 0, "\\s.png", true},
        {"installed is 0", true, 0, "\\s.png", true},
        {"no star path", true, 1, "", true},
        // 4,096 characters need 8,194 bytes: more than the 8,192-byte read.
        {"star path too long", true, 1, "\\" + std::string(4095, 's'), true},
        {"page key missing", true, 1, "\\s.png", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDevice dev;
        RegText reg;
        reg.home("home");
        if (c.pageKey)
            reg.key("HKEY_LOCAL_MACHINE\\" + kStarPageKey).str("starPNG", "old.png");
        reg.key("HKEY_LOCAL_MACHINE\\" + kStarKey).str("x", "y");
        reg.key("HKEY_CURRENT_USER\\" + kRunKey);
        if (c.installed)
            reg.dword("QORVCompleteInstalled", c.installedValue);
        if (!c.starPath.empty())
            reg.str("is2StarPath", c.starPath);
        dev.writeRegistry(reg.text());

        runInstaller(dev, "-cpr:all -silent");

        EXPECT_FALSE(dev.regValueExists(true, kStarKey, "Updated"));
        if (c.pageKey) {
            EXPECT_EQ(dev.regString(true, kStarPageKey, "starPNG"), cetest::U("old.png"));
        }
    }
}

}  // namespace
}  // namespace qorvtest

namespace qorvtest {
namespace {

// What the delete editor makes of the flags: the forbidden flag keeps the
// layout file, only the current modes commit the home screen's values, and
// the landscape modes use the landscape temporary copy.
TEST(LayoutSelection, EditorObeysTheFlagsOfTheMode) {
    const std::string withWeather =
        "<Form>\r\n<TitaniumListView>\r\n<Layer ID=\"WeatherExpanded\">\r\n"
        "<Layer ID=\"WeatherCondensed\">\r\n</Layer>\r\n</Layer>\r\n</TitaniumListView>\r\n"
        "</Form>\r\n";
    const std::string withoutWeather =
        "<Form>\r\n<TitaniumListView>\r\n</TitaniumListView>\r\n</Form>";
    struct Case {
        std::string mode;
        std::string forbiddenList;
        std::string target;
        std::string temp;
        bool layoutEdited;
        bool homeCommitted;
    };
    const Case cases[] = {
        {"currentPortrait", ";other;", "\\Windows\\home_480x800.cpr",
         "\\tempTitaniumPortraitCpr.txt", true, true},
        {"forcecurrentLandscape", ";other;", "\\Windows\\home_800x480.cpr",
         "\\tempTitaniumLandscapeCpr.txt", true, true},
        {"currentLandscape", ";home;", "\\Windows\\home_800x480.cpr",
         "\\tempTitaniumLandscapeCpr.txt", false, false},
        {"all", ";home;", "\\Windows\\home_480x800.cpr", "\\tempTitaniumPortraitCpr.txt", true,
         false},
        {"\\Windows\\home_800x480.cpr", "", "\\Windows\\home_800x480.cpr",
         "\\tempTitaniumPortraitCpr.txt", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDevice dev;
        dev.setScreen(480, 800);
        dev.writeRegistry(RegText()
                              .home("home")
                              .key("HKEY_CURRENT_USER\\" + kRunKey)
                              .str("ForbiddenList", c.forbiddenList)
                              .text());
        dev.writeFile(c.target, withWeather);

        cetest::RunResult r = runInstaller(dev, "-delete -cpr:" + c.mode + " -plugin:Weather");

        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(runDword(dev, "ErrorNumber"), 0);
        EXPECT_TRUE(dev.fileExists(c.temp));
        EXPECT_EQ(dev.readFile(c.target), c.layoutEdited ? withoutWeather : withWeather);
        auto plugins = dev.regString(true, kHomeKey, "Plugins");
        ASSERT_TRUE(plugins.has_value());
        EXPECT_EQ(*plugins != cetest::U("Clock;Weather"), c.homeCommitted) << ce::utf8(*plugins);
    }
}

}  // namespace
}  // namespace qorvtest
