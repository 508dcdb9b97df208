// Following the layer tags of a layout's lines: how many layers are open,
// where a plugin's layers end on a line, and the lines at which a search
// for their end must stop.  Pure text functions, shared by the rewrite
// passes, their failure hints and the device tool's check of a plugin.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorv {

constexpr std::string_view kFormEnd = "</Form>";

// The longest unfinished "<Layer" tag that is kept to be read whole with
// the next piece or line; a longer one counts as a layer at once.
constexpr size_t kMaxTagCarried = 1024;

// The layers open at a point of a layout file; the unfinished tag (or the
// start of one) the text so far ends in; and whether a "<Layer" tag too
// long to carry goes on (with a quoted value open in it).
struct LayerDepth {
    int open = 0;
    std::string carry;
    bool inTag = false;
    bool quoted = false;
};
// Follows the layer tags of text: "<Layer" tags that are not closed in
// themselves ("/>", also on a later line) count up, "</Layer>" down.
void layerDepthAfter(std::string_view text, LayerDepth* d);
// True when a line, met at depth while looking for the end of a plugin's
// layer, cannot belong to the plugin: before any "</Layer>" in it, it ends
// the form, or, between layers, begins another plugin's (a "<Layer ID="
// tag that opensPluginLayers).  ownCarried: the tag carried into the line
// is the plugin's own first, cut by the end of its piece.
bool stopsLayerEnd(std::string_view line, LayerDepth depth, bool ownCarried = false);
// Where, on a line met with depth layers open, the "</Layer>" that closes
// every one of them ends; npos when none does (a layer nested deeper
// closes there, or none).
size_t layersEndIn(std::string_view line, LayerDepth depth);

// The search for a plugin's layers after its expanded marker, a line at a
// time, as every pass and every replay of one makes it: the line holding
// the condensed marker, then two lines holding "</Layer>", following the
// layers the lines open; the search stops at a line that no block can hold
// (stopsLayerEnd), and at a "</Form>" that the piece before began.  A text
// looked for that the end of a piece cuts counts for the piece where it
// ends: missed there, the search ran on and took the layers after the
// plugin's, or past the form's end.
struct LayersSearch {
    std::string condensed;    // the condensed layer's marker
    int found = 0;            // of the three lines looked for
    LayerDepth depth;         // before the line met last
    bool ownCarried = false;  // depth carries the plugin's first tag, cut short
    std::string held;         // the end of the piece before that may begin one
    size_t endAt = 0;         // on Last: where the found "</Layer>" ends on the line
};
enum class LayersLine {
    Inside,   // a line of the layers; the search goes on
    Stopped,  // a line no block can hold: the layers are cut short
    Last,     // the line of their last "</Layer>"; depth is the one before it
};
// Begins at the expanded marker, with the text of its line from there;
// goesOn: that line is a piece that the next goes on from (pieceGoesOn).
void startLayersSearch(LayersSearch* s, std::string_view fromMarker,
                       std::string_view condensedMarker, bool goesOn);
LayersLine nextLayersLine(LayersSearch* s, std::string_view line);

}  // namespace qorv
