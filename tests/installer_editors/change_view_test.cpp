// change runs of the real qorvinstall: the list-view switch.
#include <gtest/gtest.h>

#include <string>

#include "tests/installer_editors/editor_device.h"

namespace edtest {
namespace {

using cetest::TempDevice;

const std::string kTitanium =
    "<Form>\r\n\t<TitaniumListView ID=\"lv\">\r\n    <Layer/>\r\n\t</TitaniumListView>\r\n"
    "  <Footer/>\r\n</Form>\r\n<!-- dropped -->\r\n";
const std::string kBronze =
    "<Form>\r\n\t<BronzeListView ID=\"lv\">\r\n    <Layer/>\r\n\t</BronzeListView>\r\n"
    "  <Footer/>\r\n</Form>\r\n";

std::string change(const TempDevice& dev, const std::string& layout, const std::string& views) {
    setUpDevice(dev);
    dev.writeFile(kPortrait, layout);
    runQorv(dev, "-change -cpr:currentPortrait" + views);
    return dev.readFile(kPortrait);
}

TEST(ChangeView, TitaniumBecomesBronze) {
    TempDevice dev;
    EXPECT_EQ(change(dev, kTitanium, " -view:BronzeListView"),
              "<Form>\r\n   <BronzeListView ID=\"lv\">\r\n    <Layer/>\r\n   </BronzeListView>"
              "  <Footer/>\r\n</Form>");
    EXPECT_EQ(resultText(dev), "#0 Success");
    EXPECT_EQ(runValue(dev, "ListView"), "Titanium");
    EXPECT_EQ(dev.readFile(kTempPortrait), dev.readFile(kPortrait));
}

TEST(ChangeView, BronzeBecomesTitaniumAlsoWithBothFlags) {
    for (const char* views :
         {" -view:TitaniumListView", " -view:TitaniumListView -view:BronzeListView"}) {
        TempDevice dev;
        EXPECT_EQ(change(dev, kBronze, views),
                  "<Form>\r\n   <TitaniumListView ID=\"lv\">\r\n    <Layer/>\r\n"
                  "   </TitaniumListView>  <Footer/>\r\n</Form>");
        EXPECT_EQ(runValue(dev, "ListView"), "Bronze");
    }
}

TEST(ChangeView, SameVariantOrNoFlagStillRewrites) {
    for (const char* views : {"", " -view:TitaniumListView"}) {
        TempDevice dev;
        EXPECT_EQ(change(dev, kTitanium, views),
                  "<Form>\r\n <TitaniumListView ID=\"lv\">\r\n    <Layer/>\r\n"
                  " </TitaniumListView>\r\n  <Footer/>\r\n</Form>");
        EXPECT_EQ(runValue(dev, "ListView"), "Titanium");
    }
}

TEST(ChangeView, TextBesideTheTagsIsKept) {
    TempDevice dev;
    // The form ends on the closing line: what follows goes, a second
    // </Form> included.
    EXPECT_EQ(change(dev,
                     "<Form><TitaniumListView a=\"1\">\n<x/>\n<y/> </TitaniumListView></Form>\n"
                     "<!-- old: </Form> -->\n",
                     " -view:BronzeListView"),
              "<Form>   <BronzeListView a=\"1\">\n<x/>\n<y/>   </BronzeListView></Form>\n");
    // In a later piece of a long line, the blanks in front of a tag part
    // what went before: they stay.
    const std::string piece = "<L T=\"" + std::string(4999 - 7, 'a') + "\"";
    const std::string opens = piece + " H=\"5\"/><TitaniumListView>\n</TitaniumListView>\n";
    const std::string closes = "<TitaniumListView>\n" + piece + " H=\"5\"/></TitaniumListView>\n";
    EXPECT_EQ(change(dev, opens, " -view:BronzeListView"),
              piece + " H=\"5\"/>   <BronzeListView>\n   </BronzeListView>");
    EXPECT_EQ(change(dev, closes, " -view:BronzeListView"),
              "   <BronzeListView>\n" + piece + " H=\"5\"/>   </BronzeListView>");
}

// A switched closing tag has no line end, so the form end shares its line.
// A second switch to the same variant leaves the file as it is, and an add
// puts its block after the closing tag instead of dropping the tag.
TEST(ChangeView, TheClosingTagBeforeTheFormEndSurvivesLaterRuns) {
    TempDevice dev;
    const std::string switched =
        change(dev, "<Form>\r\n<TitaniumListView>\r\n<x/>\r\n</TitaniumListView>\r\n</Form>\r\n",
               " -view:BronzeListView");
    EXPECT_EQ(switched, "<Form>\r\n   <BronzeListView>\r\n<x/>\r\n   </BronzeListView></Form>");
    runQorv(dev, "-change -cpr:currentPortrait -view:BronzeListView");
    EXPECT_EQ(dev.readFile(kPortrait), switched);
    dev.writeFile(kPlg, plgText() + block(480, 800, "Port") + "</plugin>\r\n");
    runQorv(dev, addLine());
    EXPECT_EQ(resultCode(dev), 0) << resultText(dev);
    EXPECT_EQ(dev.readFile(kPortrait),
              "<Form>\r\n   <BronzeListView>\r\n<x/>\r\n   </BronzeListView>" +
                  layers("Weather", "Port") + "</Form>");
}

// Whatever the pieces of a long line, the closing tag switched matches the
// opening one: a piece may end inside the tag's name, or between its name
// and its '>', or before the line's end.  A list view that closes itself has no closing tag; the
// next one is another list view's.
TEST(ChangeView, TheClosingTagSwitchedIsTheListViewsOwn) {
    TempDevice dev;
    for (size_t fill = 4970; fill <= 4992; ++fill) {
        SCOPED_TRACE(fill);
        const std::string before = "<L D=\"" + std::string(fill, 'a') + "\"/>";
        EXPECT_EQ(
            change(dev, "<Form>\n<TitaniumListView>\n" + before + "</TitaniumListView>\n</Form>\n",
                   " -view:BronzeListView"),
            "<Form>\n   <BronzeListView>\n" + before + "   </BronzeListView></Form>");
    }
    // A closing piece that holds the form's end ends the pass, whole or cut.
    const std::string before = "<L D=\"" + std::string(4900, 'a') + "\"/>";
    const std::string after = std::string(4999 - before.size() - 26, 'y');
    EXPECT_EQ(change(dev,
                     "<Form>\n<TitaniumListView>\n" + before + "</TitaniumListView></Form>" +
                         after + "yyy\n</Form>\n",
                     " -view:BronzeListView"),
              "<Form>\n   <BronzeListView>\n" + before + "   </BronzeListView></Form>" + after);
    // One commented out, on its line or over several, is none.
    EXPECT_EQ(change(dev,
                     "<Form>\n<!-- <TitaniumListView ID=\"Old\"> --> <!--\n<BronzeListView>\n-->"
                     "<TitaniumListView ID=\"Main\">\n</TitaniumListView>\n</Form>\n",
                     " -view:BronzeListView"),
              "<Form>\n<!-- <TitaniumListView ID=\"Old\"> --> <!--\n<BronzeListView>\n-->"
              "   <BronzeListView ID=\"Main\">\n   </BronzeListView></Form>");
    // So are tags in a CDATA section, which are text, opening or closing.
    const std::string cdata =
        "<Help><![CDATA[<TitaniumListView>]]></Help><![CDATA[\n<BronzeListView>\n]]>";
    EXPECT_EQ(change(dev,
                     cdata + "<TitaniumListView><![CDATA[</TitaniumListView>]]>\n<![CDATA[\n"
                             "</TitaniumListView>\n]]>\n</TitaniumListView>\n</Form>\n",
                     " -view:BronzeListView"),
              cdata +
                  "   <BronzeListView><![CDATA[</TitaniumListView>]]>\n<![CDATA[\n"
                  "</TitaniumListView>\n]]>\n   </BronzeListView></Form>");
    // So is a closing tag commented out, on the opening line or inside the
    // list view; the '>' of the list view's own may come on the next line.
    EXPECT_EQ(change(dev,
                     "<Form>\n<TitaniumListView><!-- </TitaniumListView> -->\n<!-- old:\n"
                     "</TitaniumListView> -->\n</TitaniumListView\n  >\n<F/>\n</Form>\n",
                     " -view:BronzeListView"),
              "<Form>\n   <BronzeListView><!-- </TitaniumListView> -->\n<!-- old:\n"
              "</TitaniumListView> -->\n   </BronzeListView><F/>\n</Form>");
    EXPECT_EQ(runValue(dev, "ListView"), "Titanium");
    EXPECT_EQ(
        change(dev,
               "<Form>\n  <TitaniumListView ID=\"Empty\"/>\n  <TitaniumListView ID=\"Main\">\n"
               "  </TitaniumListView>\n</Form>\n<!-- after -->\n",
               " -view:BronzeListView"),
        "<Form>\n   <BronzeListView ID=\"Empty\"/>\n  <TitaniumListView ID=\"Main\">\n"
        "  </TitaniumListView>\n</Form>");
}

TEST(ChangeView, NoClosingTagCopiesEverythingAfterTheOpeningLine) {
    TempDevice dev;
    EXPECT_EQ(change(dev, "<TitaniumListView>\n</Form>\n<after/>", " -view:BronzeListView"),
              "   <BronzeListView>\n</Form>\n<after/>");
    EXPECT_EQ(resultCode(dev), 0);
}

TEST(ChangeView, NoListViewIsCopiedThrough) {
    TempDevice dev;
    EXPECT_EQ(change(dev, "<Form>\n</Form>\n<x/>", " -view:BronzeListView"),
              "<Form>\n</Form>\n<x/>");
    EXPECT_EQ(runValue(dev, "ListView"), "<missing>");
    EXPECT_EQ(resultCode(dev), 0);
}

TEST(ChangeView, KeepLayoutDoesNotStopTheSwitch) {
    TempDevice dev;
    EXPECT_EQ(change(dev, kBronze, " -view:TitaniumListView -nochangecpr").substr(0, 30),
              "<Form>\r\n   <TitaniumListView I");
}

TEST(ChangeView, FileFailures) {
    TempDevice dev;
    setUpDevice(dev);
    runQorv(dev, "-change -cpr:currentPortrait -view:BronzeListView");
    EXPECT_EQ(resultText(dev), "#351 cpr-File could not be found/opened");
    EXPECT_TRUE(dev.fileExists(kTempPortrait));
    dev.writeFile(kTempLandscape + "\\blocker", "");
    runQorv(dev, "-change -cpr:currentLandscape -view:BronzeListView");
    EXPECT_EQ(resultText(dev), "#352 temp-File could not be created");
}

}  // namespace
}  // namespace edtest
