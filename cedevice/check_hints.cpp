#include "cedevice/check_hints.h"

#include <string_view>

#include "installer/layer_markers.h"
#include "installer/plugin_definition.h"

namespace cedevice {

namespace {

// "the line ... stays" or "the 3 lines ... stay".
std::string strayLines(size_t n, const char* where) {
    if (n == 1)
        return std::string("the line ") + where + " stays";
    return "the " + std::to_string(n) + " lines " + where + " stay";
}

std::string blockLine(const ScreenSize& size) {
    return "<layout screenWidth=\"" + std::to_string(size.width) + "\" screenHeight=\"" +
           std::to_string(size.height) + "\">";
}

}  // namespace

std::string nameHint(const PluginText& plg) {
    // What the installer refuses in a name ("#69").
    if (qorv::firstNameCharNotAllowed(plg.name) == std::string_view::npos)
        return "";
    return "give the plugin a name without blanks, control characters, ; \" < > & and "
           "-addchange: a delete names it up to the first blank (and a line holding -addchange "
           "is an add), and the home screen's lists split names at ;";
}

std::string addFailureHint(const PluginText& plg, const ScreenSize& size,
                           const RecordedResult& result) {
    const std::string& text = result.text;
    // UTF-16 text: the installer's 8-bit lines never find its tags.
    const std::string head = plg.lines.empty() ? "" : plg.lines.front().substr(0, 64);
    if ((result.number == 60 || result.number == 61) && qorv::looksLikeUtf16(head)) {
        return "save the .plg as UTF-8: it is UTF-16 text, whose tags the installer, reading "
               "8-bit lines, never finds";
    }
    switch (result.number) {
        case 60:
            return "write <name> and </name> on one line, <name> first";
        case 61:
            return "give the plugin a name: <name>NAME</name> on one line, before the position";
        case 62:
            if (text.find("Position-Tag") != std::string::npos)
                return "write <position> and </position> on one line, <position> first";
            return "write <position>N</position> on a line of its own after the name's line";
        case 63: {
            LayoutBlock block = findLayoutBlock(plg, size);
            if (block.beforePosition) {
                return "move the block for " + sizeText(size) +
                       " after the position's line: blocks are looked for only there";
            }
            return "add a block for " + sizeText(size) + ": a line " + blockLine(size) +
                   " (width first, one blank between), its layers, and a line </layout>";
        }
        case 64:
            if (text.find("zero byte") != std::string::npos)
                return "save the .plg as UTF-8: the block for " + sizeText(size) +
                       " holds a zero byte, which no layout may hold";
            if (text.find("</Form>") != std::string::npos)
                return "take </Form> out of the block for " + sizeText(size) +
                       " (a comment too): later runs take it for the layout's end";
            return "close the block for " + sizeText(size) +
                   " with a line holding </layout>, written in lower case";
        case 65:
            return "the layout has no list view, or no </Form> after it: mend the device's layout "
                   "file";
        case 66:
            return "shorten the name to at most " + std::to_string(qorv::kMaxPluginNameBytes) +
                   " bytes";
        case 67:
            return "write the position in at most 9 characters";
        case 68:
            return "write the .plg in UTF-8, the emulated device's 8-bit text";
        case 200:
            return "the layout file is read-only on the device (nobody may write it), and the "
                   "installer does not replace a read-only file";
        case 70:
            if (text.find("Found Plugin") != std::string::npos) {
                return "the layout holds unfinished layers of " + plg.name +
                       " already: check on a device without them";
            }
            break;
        default:
            break;
    }
    return nameHint(plg);
}

std::string layersHint(const PluginText& plg, const ScreenSize& size) {
    LayoutBlock block = findLayoutBlock(plg, size);
    if (!block.found || !block.closed)
        return "";
    const std::string& n = plg.name;
    LayersCheck check = checkLayers(plg, block);
    switch (check.shape) {
        case LayersShape::NoExpanded:
            return "begin the block with a layer <Layer ID=\"" + n +
                   "Expanded\" ...>, then <Layer ID=\"" + n +
                   "Condensed\" ...>: a later run finds the plugin by these names only";
        case LayersShape::NoCondensed:
            return "follow the layer " + n + "Expanded with a layer <Layer ID=\"" + n +
                   "Condensed\" ...>: a later run looks for it up to the layout's end";
        case LayersShape::NoThirdLayerEnd:
            return "put one more layer after " + n +
                   "Condensed, each closed by </Layer> on a line of its own: a later run takes "
                   "the plugin to end at the second </Layer> after " +
                   n + "Condensed";
        case LayersShape::LinesBefore:
            return "begin the block with the line <Layer ID=\"" + n +
                   "Expanded\": " + strayLines(check.strayLines, "in front of it") +
                   " in the layout on a later run";
        case LayersShape::LinesAfter:
            return "end the block with the </Layer> of the layer after " + n +
                   "Condensed: " + strayLines(check.strayLines, "after it") +
                   " in the layout on a later run";
        case LayersShape::ThirdStops:
            return "give the layers after " + n +
                   "Condensed IDs that do not end with \"Expanded\": a later run takes such a "
                   "layer for the first of another plugin's and stops there";
        case LayersShape::NestedInThird:
            return "write a layer inside the one after " + n +
                   "Condensed closed in itself (<Layer .../>), or drop it: a later run takes its "
                   "</Layer> for the plugin's last, and " +
                   strayLines(check.strayLines, "after it") + " in the layout";
        case LayersShape::Whole:
            break;
    }
    return nameHint(plg);
}

}  // namespace cedevice
