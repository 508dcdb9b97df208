// The search texts that find an installed plugin's layers in a layout file.
//
// A plugin named N occupies, inside the list view, the line holding
// <Layer ID="NExpanded, every line up to the first holding
// <Layer ID="NCondensed, and every line up to the second "</Layer>" after
// that.  No closing quotation mark follows the name, so the markers match
// whatever the layer ID goes on with.
#pragma once

#include <cstddef>
#include <string_view>

namespace qorv {

constexpr size_t kMarkerBytes = 1000;  // marker buffer, terminator included
constexpr char kLayerIdPrefix[] = "<Layer ID=\"";
constexpr char kExpandedSuffix[] = "Expanded";
constexpr char kCondensedSuffix[] = "Condensed";
constexpr char kLayerEnd[] = "</Layer>";

// Longest plugin name whose condensed marker still fits the marker buffer.
constexpr size_t kMaxPluginNameBytes =
    kMarkerBytes - (sizeof(kLayerIdPrefix) - 1) - (sizeof(kCondensedSuffix) - 1) - 1;

// Build "<Layer ID=\"" + name + suffix.  False (marker empty) when the name
// is longer than kMaxPluginNameBytes.
bool buildExpandedMarker(const char* name, char* marker, size_t markerBytes);
bool buildCondensedMarker(const char* name, char* marker, size_t markerBytes);

// True when text begins with a layer tag whose ID ends with "Expanded"
// (<Layer ID="NAMEExpanded"): the first layer of some plugin's.
bool opensPluginLayers(std::string_view text);

}  // namespace qorv
