// check-plugin's reading of a plugin definition: which block the installer
// would inject for a size, and what a later run makes of its layers.
#include "cedevice/plugin_text.h"

#include <gtest/gtest.h>

namespace {

using cedevice::LayersShape;

// A definition of the plugin W with one block for 480x800 around `block`.
std::string definition(const std::string& block) {
    return "<name>W</name>\n<position>2</position>\n<layout screenWidth=\"480\" "
           "screenHeight=\"800\">\n" +
           block + "</layout>\n";
}

TEST(PluginText, ALaterRunFindsTheLayersOnlyWhenTheyAreTheWholeBlock) {
    const std::string x = "<Layer ID=\"WExpanded\">\n</Layer>\n";
    const std::string c = "<Layer ID=\"WCondensed\">\n</Layer>\n";
    const std::string third = "<Layer ID=\"WIcon\">\n</Layer>\n";
    struct Case {
        std::string block;
        LayersShape shape;
        size_t stray;
    };
    const Case cases[] = {
        {x + c + third, LayersShape::Whole, 0},
        {"<Layer ID=\"WBig\">\n</Layer>\n" + c + third, LayersShape::NoExpanded, 0},
        {c + x + third, LayersShape::NoCondensed, 0},  // the condensed layer must come later
        {x + c, LayersShape::NoThirdLayerEnd, 0},
        {x + "<Layer ID=\"WCondensed\"/>\n" + third, LayersShape::NoThirdLayerEnd, 0},
        {"<!-- W -->\n\n" + x + c + third, LayersShape::LinesBefore, 2},
        {x + c + third + "<Layer ID=\"WMore\">\n</Layer>\n", LayersShape::LinesAfter, 2},
        // The IDs only have to begin with the markers, and each </Layer>
        // line counts, whatever else it holds.
        {"<Layer ID=\"WExpandedBig\">\n</Layer>\n<Layer ID=\"WCondensedLine\"></Layer>\n"
         "<Layer ID=\"WIcon\"/>\n</Layer>\n</Layer>\n",
         LayersShape::Whole, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.block);
        cedevice::PluginText plg = cedevice::readPluginText(definition(k.block));
        ASSERT_TRUE(plg.hasName && plg.hasPosition);
        cedevice::LayoutBlock block = cedevice::findLayoutBlock(plg, {480, 800});
        ASSERT_TRUE(block.found && block.closed);
        EXPECT_EQ(cedevice::blockAsInjected(plg, block), k.block);
        cedevice::LayersCheck check = cedevice::checkLayers(plg, block);
        EXPECT_EQ(check.shape, k.shape);
        EXPECT_EQ(check.strayLines, k.stray);
    }
}

TEST(PluginText, TheBlockIsTheFirstOfItsSizeAfterThePositionAsInjected) {
    const std::string text =
        "<name>Sun</name><position>9</position>\n"  // a position on the name's line is none
        "<layout screenWidth=\"240\" screenHeight=\"320\">\nearly\n</layout>\n"
        " <position> -3x</position>\n"
        "<Layout screenWidth=\"240\" screenHeight=\"320\">\n\ta\t\tb\n</Layout>\n</layout>\n"
        "<layout screenWidth=\"240\" screenHeight=\"320\">\nsecond\n</layout>\n"
        "<layout screenWidth=\"320\" screenHeight=\"240\">\nopen to the end\n";
    cedevice::PluginText plg = cedevice::readPluginText(text);
    EXPECT_EQ(plg.name, "Sun");
    EXPECT_EQ(plg.position, -3);
    ASSERT_EQ(plg.blockSizes.size(), 2u);
    EXPECT_EQ(cedevice::sizeText(plg.blockSizes[0]), "240x320");
    EXPECT_EQ(cedevice::sizeText(plg.blockSizes[1]), "320x240");

    cedevice::LayoutBlock upright = cedevice::findLayoutBlock(plg, {240, 320});
    ASSERT_TRUE(upright.found && upright.closed);
    EXPECT_EQ(cedevice::blockAsInjected(plg, upright), " a  b\n</Layout>\n");
    cedevice::LayoutBlock turned = cedevice::findLayoutBlock(plg, {320, 240});
    EXPECT_TRUE(turned.found);
    EXPECT_FALSE(turned.closed);
    cedevice::LayoutBlock missing = cedevice::findLayoutBlock(plg, {480, 800});
    EXPECT_FALSE(missing.found || missing.beforePosition);

    // A block only in front of the position line is one the installer never
    // reaches.
    plg = cedevice::readPluginText(
        "<name>Sun</name>\n<layout screenWidth=\"480\" screenHeight=\"800\">\n</layout>\n"
        "<position>1</position>\n");
    cedevice::LayoutBlock early = cedevice::findLayoutBlock(plg, {480, 800});
    EXPECT_FALSE(early.found);
    EXPECT_TRUE(early.beforePosition);
}

}  // namespace
