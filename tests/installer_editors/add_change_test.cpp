// addchange runs of the real qorvinstall: the whole layout file and the
// registry values they leave behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/installer_editors/editor_device.h"

namespace edtest {
namespace {

using cetest::TempDevice;

const std::string kTop = "<?xml version=\"1.0\"?>\r\n<Form ID=\"home\">\r\n";
const std::string kListOpen = "  <TitaniumListView ID=\"lv\">\r\n";
const std::string kListClose = "  </TitaniumListView>\r\n";
const std::string kLayout =
    kTop + kListOpen + layers("Clock", "Clock") + kListClose + "</Form>\r\n";
// Blocks for other screens come first; of two blocks for one screen the
// first counts.
const std::string kPlgText = plgText() + "  <description>x</description>\r\n" +
                             block(320, 240, "Small") + block(800, 480, "Land") +
                             block(480, 800, "Port") + block(480, 800, "Second") + "</plugin>\r\n";
const std::string kAdded = kTop + kListOpen + layers("Clock", "Clock") + kListClose +
                           layers("Weather", "Port") + "</Form>";

void install(const TempDevice& dev, const std::string& layout, const std::string& plg = kPlgText,
             const Home& home = Home()) {
    setUpDevice(dev, home);
    dev.writeFile(kPortrait, layout);
    dev.writeFile(kLandscape, layout);
    dev.writeFile(kPlg, plg);
}

TEST(AddChange, AddsTheBlockBeforeTheFormEndAndRecordsThePlugin) {
    TempDevice dev;
    install(dev, kLayout);
    runQorv(dev, addLine());
    EXPECT_EQ(resultText(dev), "#0 Success");
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kAdded);
    EXPECT_EQ(dev.readFile(kTempPortrait), kAdded);
    EXPECT_EQ(dev.readFile(kLandscape), kLayout);
    EXPECT_EQ(runValue(dev, "ListView"), "Titanium");
    EXPECT_EQ(runValue(dev, "callOrgExtXML"), extXml("Clock;Mail"));
    EXPECT_EQ(runValue(dev, "callOrgDefaultXML"), "<Plugins Order=\"Clock;Mail\"/>");
    EXPECT_EQ(runValue(dev, "callOrgPlugins"), "Clock;Mail");
    EXPECT_EQ(runValue(dev, "newExtensibilityXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(runValue(dev, "newDefaultXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail;Weather");
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(homeValue(dev, "DefaultXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail;Weather");
}

TEST(AddChange, SecondRunIsAChangeInPlaceAndDeleteGivesTheOriginalBack) {
    TempDevice dev;
    install(dev, kLayout);
    runQorv(dev, addLine());
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kAdded);
    // Known to the order list: staged unchanged, nothing committed again.
    EXPECT_EQ(runValue(dev, "newExtensibilityXML"), extXml("Clock;Weather;Mail"));
    EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail;Weather");
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail;Weather");
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(resultCode(dev), 0);
    std::string original = kLayout.substr(0, kLayout.size() - 2);  // the form end loses its CRLF
    EXPECT_EQ(dev.readFile(kPortrait), original);
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Mail"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
}

TEST(AddChange, ChangeReplacesOldLayersWhereTheyStand) {
    TempDevice dev;
    std::string old = kTop + kListOpen + "\t<Layer ID=\"Top\"/>\r\n" + layers("Weather", "Old") +
                      layers("Clock", "Clock") + kListClose + "</Form>\r\n<!-- gone -->\r\n";
    install(dev, old, kPlgText, Home{.ext = extXml("Weather;Clock"), .plugins = "Weather;Clock"});
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kTop + kListOpen + " <Layer ID=\"Top\"/>\r\n" +
                                           layers("Weather", "Port") + layers("Clock", "Clock") +
                                           kListClose + "</Form>");
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Weather;Clock"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Weather;Clock");
    // It lacked the plugin: completed with the order text.
    EXPECT_EQ(homeValue(dev, "DefaultXML"), extXml("Weather;Clock"));
}

TEST(AddChange, LandscapeTakesTheBlockWithHeightBeforeWidth) {
    TempDevice dev;
    install(dev, kLayout);
    runQorv(dev, addLine("currentLandscape"));
    EXPECT_EQ(resultCode(dev), 0);
    std::string expect = kTop + kListOpen + layers("Clock", "Clock") + kListClose +
                         layers("Weather", "Land") + "</Form>";
    EXPECT_EQ(dev.readFile(kLandscape), expect);
    EXPECT_EQ(dev.readFile(kTempLandscape), expect);
    EXPECT_EQ(dev.readFile(kPortrait), kLayout);
    EXPECT_FALSE(dev.fileExists(kTempPortrait));
}

TEST(AddChange, LinesKeepTheirOwnEndsAndLongLinesArePieces) {
    TempDevice dev;
    std::string longLine = "<!--" + std::string(6000, 'x') + "\t-->\n";
    std::string tabs = std::string(101, '\t') + "\n";
    std::string layout = "<Form>\n\t<TitaniumListView>\r\n" + longLine + tabs + "</Form>";
    std::string plg = plgText() + "<layout screenWidth=\"480\" screenHeight=\"800\">\n" +
                      "\t<Layer ID=\"WeatherExpanded\">\r\n</layout>\n";
    install(dev, layout, plg);
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    std::string tabsOut = std::string(100, ' ') + "\t\n";
    EXPECT_EQ(dev.readFile(kPortrait), "<Form>\n <TitaniumListView>\r\n<!--" +
                                           std::string(6000, 'x') + " -->\n" + tabsOut +
                                           " <Layer ID=\"WeatherExpanded\">\r\n</Form>");
}

TEST(AddChange, TagSplitAcrossPiecesIsNotRecognised) {
    TempDevice dev;
    // "</Form>" straddles the 4,999-byte boundary of the first piece.
    std::string layout = "<TitaniumListView>\n" + std::string(4999 - 3, ' ') + "</Form>\n</Form>\n";
    std::string plg = plgText() + block(480, 800, "Port");
    install(dev, layout, plg);
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), "<TitaniumListView>\n" + std::string(4999 - 3, ' ') +
                                           "</Form>\n" + layers("Weather", "Port") + "</Form>");
}

TEST(AddChange, LayersBeforeTheListViewAreNotRecognised) {
    TempDevice dev;
    std::string layout = "<Form>\r\n" + layers("Weather", "Old") + kListOpen + "</Form>\r\n";
    install(dev, layout);
    runQorv(dev, addLine());
    EXPECT_EQ(dev.readFile(kPortrait), "<Form>\r\n" + layers("Weather", "Old") + kListOpen +
                                           layers("Weather", "Port") + "</Form>");
}

struct Failure {
    const char* what;
    std::string layout;
    std::string plg;
    int64_t code;
    std::string text;
};

// Every failure up to the pass leaves the layout file and the home screen
// alone, stages nothing, and still takes the snapshot.
TEST(AddChange, FailuresBeforeTheCopyBackChangeNothing) {
    std::string head = plgText();
    std::string blocks = block(480, 800, "Port") + block(800, 480, "Land");
    std::string unfinished = kTop + kListOpen + layers("Weather", "Old").substr(0, 150);
    std::vector<Failure> cases = {
        {"name tags reversed", kLayout, "</name>Weather<name>\n<position>1</position>\n" + blocks,
         60, "#60 Name-Tag in plg not found"},
        {"name over two lines", kLayout,
         "<name>Weather\n</name>\n<position>1</position>\n" + blocks, 60,
         "#60 Name-Tag in plg not found"},
        {"no name", kLayout, "<position>1</position>\n", 61, "#61 Name of Plugin in plg not found"},
        {"empty name", kLayout, plgText("") + blocks, 61, "#61 Name of Plugin in plg not found"},
        {"position on the name line", kLayout,
         "<name>Weather</name><position>1</position>\n" + blocks, 62,
         "#62 Position of Plugin in plg not found"},
        {"position tags reversed", kLayout, "<name>Weather</name>\n</position>1<position>\n", 62,
         "#62 Position-Tag in plg not found"},
        {"no block for the screen", kLayout, head + block(800, 480, "Land"), 63,
         "#63 Didn't found correct resolution in .plg to inject"},
        {"block not closed", kLayout,
         head + "<layout screenWidth=\"480\" screenHeight=\"800\">\n<x/>\n", 64,
         "#64 Didn't found final <layout>-Tag in .plg to inject"},
        // Either would leave a layout that later runs misread.
        {"zero byte in the block", kLayout,
         head + "<layout screenWidth=\"480\" screenHeight=\"800\">\n<x a=\"" +
             std::string(1, '\0') + "\"/>\n</layout>\n",
         64, "#64 Layout block in plg holds a zero byte"},
        {"form end in the block", kLayout,
         head +
             "<layout screenWidth=\"480\" screenHeight=\"800\">\n<!-- not </Form> -->\n</layout>\n",
         64, "#64 Layout block in plg holds </Form>"},
        {"layers cut off", unfinished, head + blocks, 70,
         "#70 Found Plugin in cpr, but unexpected end of file"},
        {"no list view", "<Form>\r\n</Form>\r\n", head + blocks, 65,
         "#65 No place to inject the plugin found in cpr"},
        {"no form end", kTop + kListOpen + kListClose, head + blocks, 65,
         "#65 No place to inject the plugin found in cpr"},
        {"name too long", kLayout, plgText(std::string(980, 'n')) + blocks, 66,
         "#66 Name of Plugin in plg too long"},
        {"position too long", kLayout, plgText("Weather", "0000000001") + blocks, 67,
         "#67 Position of Plugin in plg too long"},
        {"name not UTF-8", kLayout, plgText("We\xff") + blocks, 68,
         "#68 Name of Plugin in plg could not be converted"},
    };
    // Names the lists, the markup or -delete -plugin: could not take.
    for (const char* name : {" ", "   ", "My Weather", "A;B", "A\"B", "A<B", "A>B", "A&B", "A\tB",
                             "A\x01", "A\x7f", "Lv-addchange"}) {
        cases.push_back({name, kLayout, plgText(name) + blocks, 69,
                         "#69 Name of Plugin in plg holds a character not allowed"});
    }
    for (const Failure& c : cases) {
        TempDevice dev;
        install(dev, c.layout, c.plg);
        runQorv(dev, addLine());
        EXPECT_EQ(resultCode(dev), c.code) << c.what;
        EXPECT_EQ(resultText(dev), c.text) << c.what;
        EXPECT_EQ(dev.readFile(kPortrait), c.layout) << c.what;
        EXPECT_EQ(runValue(dev, "callOrgExtXML"), extXml("Clock;Mail")) << c.what;
        EXPECT_EQ(runValue(dev, "newPlugins"), "<missing>") << c.what;
        EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Mail")) << c.what;
    }
}

TEST(AddChange, LongestNameAndPositionStillWork) {
    TempDevice dev;
    std::string name(979, 'n');
    install(dev, kLayout, plgText(name, "-00000001") + block(480, 800, "P", name));
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Mail;" + name));
}

TEST(AddChange, FileFailures) {
    {
        TempDevice dev;
        install(dev, kLayout);
        dev.writeFile(kPlg, "");
        std::remove(dev.hostPath(kPlg).c_str());
        runQorv(dev, addLine());
        EXPECT_EQ(resultText(dev), "#50 plg-File could not be opened");
        EXPECT_EQ(dev.readFile(kTempPortrait), "");  // created in any case
        EXPECT_TRUE(dev.fileExists(kTempPortrait));
    }
    {
        TempDevice dev;
        install(dev, kLayout);
        std::remove(dev.hostPath(kPortrait).c_str());
        runQorv(dev, addLine());
        EXPECT_EQ(resultText(dev), "#51 cpr-File could not be found/opened");
        EXPECT_EQ(runValue(dev, "callOrgPlugins"), "Clock;Mail");
    }
    {
        TempDevice dev;
        install(dev, kLayout);
        std::remove(dev.hostPath(kPortrait).c_str());
        dev.writeFile(kTempPortrait + "\\blocker", "");  // the temporary copy is a folder
        runQorv(dev, addLine());
        EXPECT_EQ(resultText(dev), "#52 temp-File could not be created");
    }
}

TEST(AddChange, MissingHomeValuesLastOneWins) {
    TempDevice dev;
    install(dev, kLayout, kPlgText, Home{.withDef = false, .withPlugins = false});
    runQorv(dev, addLine());
    EXPECT_EQ(resultText(dev), "#72 No Plugins-Entry in CHome found");
    EXPECT_EQ(dev.readFile(kPortrait), kLayout);
    EXPECT_EQ(runValue(dev, "callOrgExtXML"), extXml("Clock;Mail"));
    TempDevice dev2;
    install(dev2, kLayout, kPlgText, Home{.withExt = false});
    runQorv(dev2, addLine("all"));  // "all" takes the layout name from CPRFile alone
    EXPECT_EQ(resultText(dev2), "#28 NoExtensibilityXML found");
    runQorv(dev2, "-addchange -plg:" + kPlg + " -cpr:" + kPortrait);
    EXPECT_EQ(resultText(dev2), "#70 No ExtensibilityXML in CHome found");
}

TEST(AddChange, OrderListThatCannotTakeThePluginStagesOnlyThePluginList) {
    TempDevice dev;
    install(dev, kLayout, kPlgText, Home{.ext = "<Plugins Order=\"Clock;Mail CPRFileName=home"});
    runQorv(dev, "-addchange -plg:" + kPlg + " -cpr:" + kPortrait);
    EXPECT_EQ(resultCode(dev), 81);
    EXPECT_EQ(resultText(dev),
              "#81 Found invalid content in ExtensibilityXML - missing final quotation marks");
    EXPECT_EQ(dev.readFile(kPortrait), kLayout);
    EXPECT_EQ(runValue(dev, "newExtensibilityXML"), "<missing>");
    EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail;Weather");
    TempDevice dev2;
    install(dev2, kLayout, kPlgText, Home{.ext = "no quotes"});
    runQorv(dev2, "-addchange -plg:" + kPlg + " -cpr:" + kPortrait);
    EXPECT_EQ(resultCode(dev2), 80);
    // A value the home screen could no longer read back whole is not written.
    TempDevice dev3;
    std::string full = extXml("Clock;Mail");
    full += std::string(8091 - full.size(), ' ');
    install(dev3, kLayout, kPlgText, Home{.ext = full});
    runQorv(dev3, addLine());
    EXPECT_EQ(resultText(dev3), "#82 ExtensibilityXML with the plugin would be too long");
    EXPECT_EQ(dev3.readFile(kPortrait), kLayout);
    EXPECT_EQ(runValue(dev3, "newExtensibilityXML"), "<missing>");
    EXPECT_EQ(runValue(dev3, "newPlugins"), "Clock;Mail;Weather");
    EXPECT_EQ(homeValue(dev3, "ExtensibilityXML"), full);
}

TEST(AddChange, EmptyOrderListTakesThePlugin) {
    TempDevice dev;
    install(dev, kLayout, kPlgText, Home{.ext = extXml(""), .plugins = ""});
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Weather"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Weather");  // no empty entry in front
}

TEST(AddChange, FlagsDecideWhatIsWritten) {
    {  // keep the layout: the copy holds the result, the home screen is committed
        TempDevice dev;
        install(dev, kLayout);
        runQorv(dev, addLine() + " -nochangecpr");
        EXPECT_EQ(dev.readFile(kPortrait), kLayout);
        EXPECT_EQ(dev.readFile(kTempPortrait), kAdded);
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail;Weather");
    }
    {  // keep the home screen's values: staged, not committed
        TempDevice dev;
        install(dev, kLayout);
        runQorv(dev, addLine() + " -nochangechomereg");
        EXPECT_EQ(dev.readFile(kPortrait), kAdded);
        EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail;Weather");
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
    }
    {  // a forbidden layout: neither
        TempDevice dev;
        install(dev, kLayout);
        dev.writeRegistry(dev.readRegistryFile() + "\"ForbiddenList\"=\";home;\"\r\n");
        runQorv(dev, addLine());
        EXPECT_EQ(resultCode(dev), 0);
        EXPECT_EQ(dev.readFile(kPortrait), kLayout);
        EXPECT_EQ(dev.readFile(kTempPortrait), kAdded);
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
    }
    {  // a layout file named directly is not the current one: no commit
        TempDevice dev;
        install(dev, kLayout);
        runQorv(dev, "-addchange -plg:" + kPlg + " -cpr:" + kPortrait);
        EXPECT_EQ(dev.readFile(kPortrait), kAdded);
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
    }
}

// A plugin already in the order list while "DefaultXML" or "Plugins" lacks
// it (an earlier run cut short between separate writes): the run completes
// the values that lack it and leaves the others alone.
TEST(AddChange, ListedPluginCompletesTheValuesThatLackIt) {
    const std::string ext = extXml("Clock;Weather;Mail");
    const std::string oldDef = "<Plugins Order=\"Clock;Mail\"/>";
    const std::string listedDef = "<Plugins Order=\"Weather\"/>";
    struct Case {
        std::string def, plugins, wantDef, wantPlugins;
    } cases[] = {
        {oldDef, "Clock;Mail", ext, "Clock;Mail;Weather"},
        {oldDef, "Clock;Weather", ext, "Clock;Weather"},
        {listedDef, "Clock;Mail", listedDef, "Clock;Mail;Weather"},
        {listedDef, "WeatherX", listedDef, "WeatherX;Weather"},
        {listedDef, "Weather", listedDef, "Weather"},
    };
    for (const Case& c : cases) {
        TempDevice dev;
        install(dev, kLayout, kPlgText, Home{.ext = ext, .def = c.def, .plugins = c.plugins});
        runQorv(dev, addLine());
        EXPECT_EQ(resultCode(dev), 0) << c.def << " " << c.plugins;
        EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), ext);
        EXPECT_EQ(homeValue(dev, "DefaultXML"), c.wantDef) << c.def << " " << c.plugins;
        EXPECT_EQ(homeValue(dev, "Plugins"), c.wantPlugins) << c.def << " " << c.plugins;
        EXPECT_EQ(runValue(dev, "newPlugins"), c.wantPlugins);
    }
}

// Temporary files left anywhere on the device.
std::vector<std::string> leftovers(const TempDevice& dev) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dev.dir())) {
        std::string name = e.path().filename().string();
        if (name.rfind(".ce-tmp-", 0) == 0)
            found.push_back(e.path().string());
    }
    return found;
}

// A run killed at each of its file replacements (registry commits and the
// layout's copy-back), just before and just after the rename: the home
// screen's three values are all old or all new, and a plain rerun of the
// same command ends fully installed and clears what the killed run left.
TEST(AddChange, KilledRunLeavesOldOrNewValuesAndARerunCompletes) {
    const std::vector<std::string> before = {extXml("Clock;Mail"),
                                             "<Plugins Order=\"Clock;Mail\"/>", "Clock;Mail"};
    const std::vector<std::string> after = {extXml("Clock;Weather;Mail"),
                                            extXml("Clock;Weather;Mail"), "Clock;Mail;Weather"};
    auto homeValues = [](const TempDevice& dev) {
        return std::vector<std::string>{homeValue(dev, "ExtensibilityXML"),
                                        homeValue(dev, "DefaultXML"), homeValue(dev, "Plugins")};
    };
    const char* sanitizers = getenv("ASAN_OPTIONS");
    std::string asan =
        std::string(sanitizers != nullptr ? sanitizers : "") + ":verify_asan_link_order=0";
    for (std::string phase : {"before", "after"}) {
        int killed = 0;
        for (int n = 1;; ++n) {
            TempDevice dev;
            install(dev, kLayout);
            cetest::RunResult r =
                runQorv(dev, addLine(),
                        {{"LD_PRELOAD", KILL_AT_RENAME_LIB},
                         {"CE_TEST_KILL_AT_RENAME", std::to_string(n) + ":" + phase},
                         {"ASAN_OPTIONS", asan}});
            if (r.exitCode != -1)
                break;  // past its last rename
            ++killed;
            std::string at = phase + " rename " + std::to_string(n);
            std::vector<std::string> left = homeValues(dev);
            EXPECT_TRUE(left == before || left == after)
                << at << ": " << left[0] << " | " << left[1] << " | " << left[2];
            runQorv(dev, addLine());
            EXPECT_EQ(resultCode(dev), 0) << at;
            EXPECT_EQ(dev.readFile(kPortrait), kAdded) << at;
            EXPECT_EQ(homeValues(dev), after) << at;
            EXPECT_EQ(leftovers(dev), std::vector<std::string>()) << at;
        }
        // The copy-back and the registry's commit: two renames at least.
        EXPECT_GE(killed, 2) << phase;
    }
}

}  // namespace
}  // namespace edtest
