// A plugin definition (.plg) read the way qorvinstall reads it, for the
// checks of check-plugin: its name, its position, the sizes it has layout
// blocks for, the block for one size, and whether that block's layers can
// be found again by a later run of the installer.
//
// The installer reads 8-bit lines, each keeping its line end, in pieces of
// at most kLinePieceBytes bytes, and finds everything by plain,
// case-sensitive substring search; so does this reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cedevice {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

inline bool operator==(const ScreenSize& a, const ScreenSize& b) {
    return a.width == b.width && a.height == b.height;
}

// "480x800"
std::string sizeText(const ScreenSize& size);

struct PluginText {
    std::vector<std::string> lines;  // as the installer reads them, line ends kept
    bool hasName = false;            // a non-empty name between the name tags
    std::string name;
    size_t nameLine = 0;
    bool hasPosition = false;
    int32_t position = 0;
    size_t positionLine = 0;
    // The sizes of the blocks after the position line, each once, in the
    // order of the file.
    std::vector<ScreenSize> blockSizes;
};

PluginText readPluginText(const std::string& bytes);

// The size a line opens a block for (ayout screenWidth="W" screenHeight="H"),
// read as the numbers written; false when the line opens none.
bool blockSizeOn(const std::string& line, ScreenSize* size);

// The block the installer injects for a layout of the given size: opened
// by the first line after the position line that holds
// ayout screenWidth="W" screenHeight="H, closed by the next line holding
// "</layout>"; its lines are those strictly between.
struct LayoutBlock {
    bool found = false;           // a line opened it
    bool closed = false;          // and a later line closed it
    bool beforePosition = false;  // not found, but such a line stands before the position line
    size_t first = 0;             // index of its first line in PluginText::lines
    size_t count = 0;             // its lines
};

LayoutBlock findLayoutBlock(const PluginText& plg, const ScreenSize& size);

// The block's text as the installer writes it into a layout file: each
// line with its first kMaxTabsReplaced tabs made blanks.
std::string blockAsInjected(const PluginText& plg, const LayoutBlock& block);

// How a later run meets the block's layers in a layout.  It finds the
// plugin by the line holding <Layer ID="NAMEExpanded, and takes as the
// plugin's lines everything from there through the first later line holding
// <Layer ID="NAMECondensed, then through the next two lines holding
// "</Layer>".
enum class LayersShape {
    Whole,            // those lines are exactly the block
    NoExpanded,       // no line holds the expanded layer: never found again
    NoCondensed,      // no condensed layer after it: a later run reads to the file's end
    NoThirdLayerEnd,  // fewer than two "</Layer>" lines after the condensed layer
    LinesBefore,      // lines in front of the expanded layer stay behind
    LinesAfter,       // lines after the plugin's last "</Layer>" stay behind
    ThirdStops,       // a layer after the condensed one has an ID ending in "Expanded",
                      // which a later run takes for another plugin's first layer
    NestedInThird,    // LinesAfter, as a layer inside the third closes on the line a
                      // later run takes for the plugin's end
};

struct LayersCheck {
    LayersShape shape = LayersShape::Whole;
    size_t strayLines = 0;  // for LinesBefore and LinesAfter
};

LayersCheck checkLayers(const PluginText& plg, const LayoutBlock& block);

// What leaves a layout that holds the block's text no longer well-formed:
// a comment not closed, or layers (<Layer ...>, not <Layer .../>) opened
// and closed (</Layer>) a different number of times outside comments.
// Empty when neither.
std::string unclosedMarkup(std::string_view text);

// The markers a later run looks for.
std::string expandedMarker(const std::string& name);
std::string condensedMarker(const std::string& name);

}  // namespace cedevice
