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
// tag that opensPluginLayers).
bool stopsLayerEnd(std::string_view line, LayerDepth depth);
// Where, on a line met with depth layers open, the "</Layer>" that closes
// every one of them ends; npos when none does (a layer nested deeper
// closes there, or none).
size_t layersEndIn(std::string_view line, LayerDepth depth);

}  // namespace qorv
