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

bool opensPluginLayers(std::string_view tag) {
    constexpr std::string_view kPrefix = kLayerIdPrefix;
    if (!tag.starts_with(kPrefix))
        return false;
    std::string_view id = tag.substr(kPrefix.size());
    return id.substr(0, id.find('"')).ends_with(kExpandedSuffix);
}

}  // namespace qorv
