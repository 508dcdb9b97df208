// The routines that look at or rewrite one line: tabs, tags, markers and
// the list-view switch.
#include <gtest/gtest.h>

#include <string>

#include "installer/layer_markers.h"
#include "installer/list_view_tags.h"
#include "installer/pass_lines.h"
#include "installer/plugin_definition.h"
#include "installer/replace_tabs.h"

namespace qorv {
namespace {

std::string tabsReplaced(std::string line) {
    replaceTabs(line.data(), line.size());
    return line;
}

TEST(ReplaceTabs, ReplacesTheFirstHundredTabsOnly) {
    EXPECT_EQ(tabsReplaced("\t<a>\t\tx\t\r\n"), " <a>  x \r\n");
    std::string many(101, '\t');
    std::string expect(100, ' ');
    expect += '\t';
    EXPECT_EQ(tabsReplaced(many), expect);
    std::string none = "no tabs\n";
    EXPECT_FALSE(replaceTabs(none.data(), none.size()));
    EXPECT_TRUE(replaceTabs(many.data(), many.size()));
}

TEST(ReplaceTabs, ReachesPastZeroBytes) {
    std::string line("a\0\tb", 4);
    EXPECT_EQ(tabsReplaced(line), std::string("a\0 b", 4));
}

TEST(FormEnd, WholeMarkupClosesItsTagsCommentsAndQuotes) {
    const std::pair<std::string_view, bool> cases[] = {
        {"   </BronzeListView>", true},
        {"<a/> <!-- c -->\t", true},
        {"<a title=\"x > y\">", true},
        {"<!-- say \" -->", true},  // a quote inside a comment counts for nothing
        {"<a t=\"<!--\">", true},   // nor a comment's opening inside quotes
        {"", false},
        {" \t\r\n", false},
        {"text", false},
        {"<a>text", false},
        {"<!-- old end: ", false},
        {"<!-- a --> <!-- <b>", false},
        {"<!-->", false},
        {"<a title=\"see ", false},
        {"<a t=\"x\" u=\">", false},
        {"<a t='it\"s>", false},  // a single-quoted value left open
        {"<a t='it\"s'/>", true},
        {"<Label>5\" screen</Label>", true},  // a quote in an element's text
        {"line two\"/>", true},               // an attribute begun on an earlier line
        {"<a t=\"x\"", false},
        {"<Help><![CDATA[Don't say \"]]></Help>", true},  // quotes in CDATA are text
        {"<Help><![CDATA[<open", false},
    };
    for (const auto& [text, whole] : cases)
        EXPECT_EQ(wholeMarkup(text), whole) << text;
}

TEST(PluginHead, TextBetweenTagsNeedsOpenTagAtOrBeforeClose) {
    std::string_view between;
    EXPECT_TRUE(textBetweenTags("  <name>Weather</name>\r\n", "<name>", "</name>", &between));
    EXPECT_EQ(between, "Weather");
    EXPECT_TRUE(textBetweenTags("<name></name>", "<name>", "</name>", &between));
    EXPECT_EQ(between, "");
    EXPECT_FALSE(textBetweenTags("</name><name>W", "<name>", "</name>", &between));
    EXPECT_FALSE(textBetweenTags("W</name>", "<name>", "</name>", &between));
}

TEST(PluginHead, PositionReadsLikeAtoi) {
    EXPECT_EQ(parsePosition("3"), 3);
    EXPECT_EQ(parsePosition("  -2x"), -2);
    EXPECT_EQ(parsePosition("+7"), 7);
    EXPECT_EQ(parsePosition("abc"), 0);
    EXPECT_EQ(parsePosition(""), 0);
    EXPECT_EQ(parsePosition("999999999"), 999999999);
    EXPECT_EQ(parsePosition("-99999999"), -99999999);
}

TEST(Markers, BuiltFromTheNameWithoutClosingQuote) {
    char marker[kMarkerBytes];
    ASSERT_TRUE(buildExpandedMarker("Weather", marker, sizeof marker));
    EXPECT_STREQ(marker, "<Layer ID=\"WeatherExpanded");
    ASSERT_TRUE(buildCondensedMarker("Weather", marker, sizeof marker));
    EXPECT_STREQ(marker, "<Layer ID=\"WeatherCondensed");
    buildResolutionMarker(480, 800, marker, sizeof marker);
    EXPECT_STREQ(marker, "ayout screenWidth=\"480\" screenHeight=\"800");
}

TEST(Markers, LongestNameFitsAndOneMoreByteDoesNot) {
    EXPECT_EQ(kMaxPluginNameBytes, 979u);
    char marker[kMarkerBytes];
    std::string name(kMaxPluginNameBytes, 'n');
    EXPECT_TRUE(buildCondensedMarker(name.c_str(), marker, sizeof marker));
    name += 'n';
    EXPECT_FALSE(buildCondensedMarker(name.c_str(), marker, sizeof marker));
    EXPECT_STREQ(marker, "");
}

TEST(ListViewTags, TitaniumIsLookedForFirst) {
    size_t at = 99;
    TextSection section = TextSection::Markup;
    EXPECT_EQ(findListViewTag("<BronzeListView/><TitaniumListView>", &at, &section),
              ListView::Titanium);
    EXPECT_EQ(at, 17u);
    EXPECT_EQ(findListViewTag("  <BronzeListView>", &at, &section), ListView::Bronze);
    EXPECT_EQ(at, 2u);
    EXPECT_EQ(findListViewTag("<titaniumListView>", &at, &section), ListView::None);
}

std::string opening(const std::string& line, bool* closedHere = nullptr) {
    size_t at = 0;
    TextSection section = TextSection::Markup;
    ListView v = findListViewTag(line, &at, &section);
    char out[kSwitchedLineBytes];
    bool closed = false;
    size_t n = switchOpeningLine(line, at, v, out, sizeof out, &closed);
    if (closedHere != nullptr)
        *closedHere = closed;
    return std::string(out, n);
}

std::string closing(const std::string& line, ListView found) {
    size_t at = line.find(closingSearchText(found));
    char out[kSwitchedLineBytes];
    size_t n = switchClosingLine(line, at, found, out, sizeof out);
    return std::string(out, n);
}

TEST(ListViewSwitch, OpeningLineGetsThreeBlanksAndTheOtherTag) {
    EXPECT_EQ(opening("\t\t<TitaniumListView a=\"1\">\r\n"), "   <BronzeListView a=\"1\">\r\n");
    EXPECT_EQ(opening("<BronzeListView>\n"), "   <TitaniumListView>\n");
}

TEST(ListViewSwitch, TextInFrontOfTheOpeningTagIsKeptTrimmed) {
    EXPECT_EQ(opening("<Form><TitaniumListView a=\"1\">"), "<Form>   <BronzeListView a=\"1\">");
    EXPECT_EQ(opening("  <Form> \t<BronzeListView>\r\n"), "<Form>   <TitaniumListView>\r\n");
}

TEST(ListViewSwitch, ListViewClosedOnItsOpeningLineIsSwitchedWhole) {
    bool closed = false;
    EXPECT_EQ(opening("<TitaniumListView a=\"1\"></TitaniumListView>\n", &closed),
              "   <BronzeListView a=\"1\"></BronzeListView>\n");
    EXPECT_TRUE(closed);
    opening("<TitaniumListView>\n", &closed);
    EXPECT_FALSE(closed);
}

TEST(ListViewSwitch, ClosingLineIsReplacedWithoutLineEnd) {
    EXPECT_EQ(closing("    </TitaniumListView>\r\n", ListView::Titanium), "   </BronzeListView>");
    EXPECT_EQ(closing("</BronzeListView >  \n", ListView::Bronze), "   </TitaniumListView>");
}

TEST(ListViewSwitch, ClosingLineKeepsContentAroundTheTag) {
    EXPECT_EQ(closing("  </TitaniumListView></Form>\r\n", ListView::Titanium),
              "   </BronzeListView></Form>\r\n");
    EXPECT_EQ(closing("<Layer/> </BronzeListView>\n", ListView::Bronze),
              "<Layer/>   </TitaniumListView>");
}

TEST(ListViewSwitch, LongestPieceStillFits) {
    std::string line = "<BronzeListView" + std::string(4999 - 15 - 17, 'a') + "</BronzeListView>";
    ASSERT_EQ(line.size(), 4999u);
    std::string out = opening(line);
    EXPECT_EQ(out, "   <TitaniumListView" + std::string(4999 - 32, 'a') + "</TitaniumListView>");
}

}  // namespace
}  // namespace qorv
