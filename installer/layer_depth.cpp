#include "installer/layer_depth.h"

#include "installer/layer_markers.h"

namespace qorv {

namespace {

// The layer tags of a text one by one: at `at`, a "<Layer" tag that is not
// closed in itself ("/>") gives +1 and *next after its '>', "</Layer>" -1
// and *next after it; anything else 0 and the next character.  A tag that
// goes on in the next line counts +1 and is left open in *d.
int layerTagAt(std::string_view text, size_t at, size_t* next, LayerDepth* d) {
    constexpr std::string_view kOpen = "<Layer";
    constexpr std::string_view kClose = kLayerEnd;
    *next = at + 1;
    if (text.substr(at, kClose.size()) == kClose) {
        *next = at + kClose.size();
        return -1;
    }
    size_t after = at + kOpen.size();
    if (text.substr(at, kOpen.size()) != kOpen ||
        (after < text.size() &&
         std::string_view(" \t\r\n/>").find(text[after]) == std::string_view::npos)) {
        return 0;
    }
    bool quoted = false;
    for (size_t i = after; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        if (text[i] == '>' && !quoted) {
            *next = i + 1;
            return text[i - 1] == '/' ? 0 : 1;
        }
    }
    *next = text.size();
    d->inTag = true;
    d->quoted = quoted;
    return 1;
}

// Where the scan of a line begins: after the end of a "<Layer" tag begun
// on an earlier line, which, closed as "/>", opened no layer after all.
size_t afterOpenTag(std::string_view text, LayerDepth* d) {
    if (!d->inTag)
        return 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            d->quoted = !d->quoted;
        } else if (text[i] == '>' && !d->quoted) {
            d->inTag = false;
            if (i > 0 && text[i - 1] == '/')
                --d->open;
            return i + 1;
        }
    }
    return text.size();
}

}  // namespace

void layerDepthAfter(std::string_view text, LayerDepth* d) {
    for (size_t i = afterOpenTag(text, d), next = 0; i < text.size(); i = next)
        d->open += layerTagAt(text, i, &next, d);
}

bool stopsLayerEnd(std::string_view line, LayerDepth d) {
    for (size_t i = afterOpenTag(line, &d), next = 0; i < line.size(); i = next) {
        std::string_view at = line.substr(i);
        if (at.starts_with(kLayerEnd))
            return false;  // the line ends the layer looked for, or one inside it
        if (at.starts_with(kFormEnd))
            return true;
        int change = layerTagAt(line, i, &next, &d);
        if (d.open <= 0 && opensPluginLayers(at))
            return true;
        d.open += change;
    }
    return false;
}

size_t layersEndIn(std::string_view line, LayerDepth depth) {
    for (size_t i = afterOpenTag(line, &depth), next = 0; i < line.size(); i = next) {
        int change = layerTagAt(line, i, &next, &depth);
        depth.open += change;
        if (change < 0 && depth.open <= 0)
            return next;
    }
    return std::string_view::npos;
}

}  // namespace qorv
