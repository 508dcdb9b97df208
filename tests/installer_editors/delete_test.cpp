// delete runs of the real qorvinstall.
#include <gtest/gtest.h>

#include <string>

#include "tests/installer_editors/editor_device.h"

namespace edtest {
namespace {

using cetest::TempDevice;

const std::string kTop = "<Form>\r\n  <BronzeListView>\r\n";
const std::string kHome3 = extXml("Clock;Weather;Mail");

Home threePlugins() {
    return Home{.ext = kHome3, .def = "x", .plugins = "Clock;Weather;Mail"};
}

void prepare(const TempDevice& dev, const std::string& layout, const Home& home = threePlugins()) {
    setUpDevice(dev, home);
    dev.writeFile(kPortrait, layout);
}

TEST(Delete, RemovesTheLayersAndKeepsTheLineAfterThem) {
    TempDevice dev;
    prepare(dev, kTop + layers("Clock", "C") + layers("Weather", "W") + "\t<Tail/>\r\n" +
                     layers("Mail", "M") + "  </BronzeListView>\r\n</Form>\r\n");
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(resultText(dev), "#0 Success");
    EXPECT_EQ(dev.readFile(kPortrait), kTop + layers("Clock", "C") + " <Tail/>\r\n" +
                                           layers("Mail", "M") + "  </BronzeListView>\r\n</Form>");
    EXPECT_EQ(runValue(dev, "ListView"), "Bronze");
    EXPECT_EQ(runValue(dev, "callOrgPlugins"), "Clock;Weather;Mail");
    EXPECT_EQ(runValue(dev, "newExtensibilityXML"), extXml("Clock;Mail"));
    EXPECT_EQ(runValue(dev, "newDefaultXML"), extXml("Clock;Mail"));
    EXPECT_EQ(runValue(dev, "newPlugins"), "Clock;Mail");
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Clock;Mail"));
    EXPECT_EQ(homeValue(dev, "DefaultXML"), extXml("Clock;Mail"));
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
}

TEST(Delete, FormEndRightAfterTheLayersIsWrittenOnce) {
    TempDevice dev;
    prepare(dev, kTop + layers("Weather", "W") + "</Form>\r\n<after/>\r\n");
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kTop + "</Form>");
}

TEST(Delete, LayersAtTheVeryEndLeaveNoFormEnd) {
    TempDevice dev;
    prepare(dev, kTop + layers("Weather", "W"));
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kTop);
}

TEST(Delete, OnlyTheFirstCopyIsRemoved) {
    TempDevice dev;
    prepare(dev, kTop + layers("Weather", "A") + layers("Weather", "B") + "</Form>");
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(dev.readFile(kPortrait), kTop + layers("Weather", "B") + "</Form>");
}

// A copy commented out, on one line or over several, or in a CDATA
// section, is no plugin: the live one after it goes, and the comment stays.
TEST(Delete, ACommentedCopyIsNoPlugin) {
    for (const std::string& comment : {"<!-- old: " + layers("Weather", "A") + " -->\r\n",
                                       "<!-- old:\r\n" + layers("Weather", "A") + "-->\r\n",
                                       "<![CDATA[\r\n" + layers("Weather", "A") + "]]>\r\n"}) {
        TempDevice dev;
        prepare(dev, kTop + comment + layers("Weather", "B") + "</Form>");
        runQorv(dev, deleteLine("Weather"));
        EXPECT_EQ(resultCode(dev), 0);
        EXPECT_EQ(dev.readFile(kPortrait), kTop + comment + "</Form>") << comment;
    }
}

TEST(Delete, UnknownNameRewritesTheSameContentAndStillCommits) {
    TempDevice dev;
    std::string layout = kTop + "\t" + layers("Clock", "C") + "</Form>\r\n";
    prepare(dev, layout,
            Home{.ext = "<x><Plugins Order=\"Clock;Mail\"/>", .plugins = "Clock;Mail"});
    runQorv(dev, deleteLine("Weath"));
    EXPECT_EQ(resultCode(dev), 0);
    EXPECT_EQ(dev.readFile(kPortrait), kTop + " " + layers("Clock", "C") + "</Form>");
    // What stands before the Order attribute stays.
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), "<x><Plugins Order=\"Clock;Mail\"/>");
    EXPECT_EQ(homeValue(dev, "DefaultXML"), "<x><Plugins Order=\"Clock;Mail\"/>");
    EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
}

TEST(Delete, OnlyPluginLeavesAnEmptyListThatTakesTheNextAdd) {
    TempDevice dev;
    prepare(dev, kTop + layers("Weather", "W") + "</Form>",
            Home{.ext = extXml("Weather"), .plugins = "Weather"});
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml(""));
    EXPECT_EQ(homeValue(dev, "Plugins"), "");
    dev.writeFile(kPlg, plgText("Weather", "4") + block(480, 800, "W"));
    runQorv(dev, addLine());
    EXPECT_EQ(resultText(dev), "#0 Success");
    EXPECT_EQ(homeValue(dev, "ExtensibilityXML"), extXml("Weather"));
    EXPECT_EQ(dev.readFile(kPortrait), kTop + layers("Weather", "W") + "</Form>");
}

TEST(Delete, FailuresLeaveLayoutAndHomeScreenAlone) {
    struct Case {
        const char* what;
        std::string layout;
        Home home;
        std::string line;
        std::string text;
    };
    const std::string good = kTop + layers("Weather", "W") + "</Form>";
    const Case cases[] = {
        {"layers cut off", kTop + layers("Weather", "W").substr(0, 120), threePlugins(),
         deleteLine("Weather"), "#170 Found Plugin in cpr, but unexpected end of file"},
        {"a copy without its condensed layer before another plugin's: theirs stay",
         kTop + "    <Layer ID=\"WeatherExpanded\">\r\n    </Layer>\r\n" + layers("Clock", "C") +
             layers("Weather", "W") + "</Form>",
         threePlugins(), deleteLine("Weather"),
         "#170 Found Plugin in cpr, but unexpected end of file"},
        {"no ExtensibilityXML", good, Home{.withExt = false},
         "-delete -cpr:" + kPortrait + " -plugin:Weather",
         "#170 No ExtensibilityXML in CHome found"},
        {"no DefaultXML", good, Home{.withDef = false}, deleteLine("Weather"),
         "#171 No DefaultXML in CHome found"},
        {"no Plugins", good, Home{.withPlugins = false}, deleteLine("Weather"),
         "#172 No Plugins-Entry in CHome found"},
        {"no quotes", good, Home{.ext = "Order=Weather"},
         "-delete -cpr:" + kPortrait + " -plugin:Weather",
         "#180 Found invalid content in ExtensibilityXML - missing initial quotation marks"},
        {"no closing quote", good, Home{.ext = "Order=\"Weather;Clock"},
         "-delete -cpr:" + kPortrait + " -plugin:Weather",
         "#181 Found invalid content in ExtensibilityXML - missing final quotation marks"},
        {"name too long", good, threePlugins(), deleteLine(std::string(980, 'n')),
         "#160 Name of Plugin to delete too long"},
    };
    for (const Case& c : cases) {
        TempDevice dev;
        prepare(dev, c.layout, c.home);
        std::string before = dev.readRegistryFile();
        runQorv(dev, c.line);
        EXPECT_EQ(resultText(dev), c.text) << c.what;
        EXPECT_EQ(dev.readFile(kPortrait), c.layout) << c.what;
        EXPECT_EQ(runValue(dev, "newPlugins"), "<missing>") << c.what;
        EXPECT_EQ(homeValue(dev, "Plugins"), c.home.withPlugins ? c.home.plugins : "<missing>")
            << c.what;
    }
    TempDevice dev;
    prepare(dev, good);
    std::remove(dev.hostPath(kPortrait).c_str());
    runQorv(dev, deleteLine("Weather"));
    EXPECT_EQ(resultText(dev), "#151 cpr-File could not be found/opened");
    EXPECT_EQ(runValue(dev, "callOrgPlugins"), "Clock;Weather;Mail");  // snapshot in any case
}

TEST(Delete, FlagsDecideWhatIsWritten) {
    const std::string layout = kTop + layers("Weather", "W") + "</Form>";
    {
        TempDevice dev;
        prepare(dev, layout);
        runQorv(dev, deleteLine("Weather") + " -nochangechomereg");
        EXPECT_EQ(dev.readFile(kPortrait), kTop + "</Form>");
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Weather;Mail");
    }
    {
        TempDevice dev;
        prepare(dev, layout);
        runQorv(dev, deleteLine("Weather") + " -nochangecpr");
        EXPECT_EQ(dev.readFile(kPortrait), layout);
        EXPECT_EQ(dev.readFile(kTempPortrait), kTop + "</Form>");
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
    }
}

}  // namespace
}  // namespace edtest
