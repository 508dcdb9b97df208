#include "installer/layer_markers.h"

#include "platform/wstr.h"

namespace qorv {

static bool buildMarker(const char* name, const char* suffix, char* marker, size_t markerBytes) {
    if (!ce::strCopy(marker, markerBytes, kLayerIdPrefix) ||
        !ce::strAppend(marker, markerBytes, name) || !ce::strAppend(marker, markerBytes, suffix)) {
        if (markerBytes > 0)
            marker[0] = 0;
        return false;
    }
    return true;
}

bool buildExpandedMarker(const char* name, char* marker, size_t markerBytes) {
    return buildMarker(name, kExpandedSuffix, marker, markerBytes);
}

bool buildCondensedMarker(const char* name, char* marker, size_t markerBytes) {
    return buildMarker(name, kCondensedSuffix, marker, markerBytes);
}

bool opensPluginLayers(std::string_view text) {
    constexpr std::string_view kPrefix = kLayerIdPrefix;
    for (size_t at = text.find(kPrefix); at != std::string_view::npos;
         at = text.find(kPrefix, at + 1)) {
        std::string_view id = text.substr(at + kPrefix.size());
        id = id.substr(0, id.find('"'));
        if (id.ends_with(kExpandedSuffix))
            return true;
    }
    return false;
}

}  // namespace qorv
