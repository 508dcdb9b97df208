#include "installer/layer_depth.h"

#include <algorithm>
#include <string>

#include "installer/layer_markers.h"
#include "installer/layout_line.h"

namespace qorv {

namespace {

constexpr std::string_view kOpen = "<Layer";
constexpr std::string_view kClose = kLayerEnd;

// The text to scan: what an earlier piece or line left unfinished, then
// this one.  *joined holds it when there is such a carry.
std::string_view withCarry(std::string_view text, LayerDepth* d, std::string* joined) {
    if (d->carry.empty())
        return text;
    *joined = d->carry;
    joined->append(text);
    d->carry.clear();
    return *joined;
}

// The layer tags of a text one by one: at `at`, a "<Layer" tag that is not
// closed in itself ("/>") gives +1 and *next after its '>', "</Layer>" -1
// and *next after it; anything else 0 and the next character.  A tag, or
// the start of one, that the text ends in goes into d->carry, to be read
// whole with what follows: a long line arrives in pieces, which may cut a
// tag anywhere, and a tag may go on in the next line.  Only one too long
// to carry counts +1 at once and is left open in *d.
int layerTagAt(std::string_view text, size_t at, size_t* next, LayerDepth* d) {
    *next = at + 1;
    std::string_view rest = text.substr(at);
    if (rest.starts_with(kClose)) {
        *next = at + kClose.size();
        return -1;
    }
    if (rest.size() < kClose.size() && (kClose.starts_with(rest) || kOpen.starts_with(rest))) {
        d->carry = rest;
        *next = text.size();
        return 0;
    }
    size_t after = at + kOpen.size();
    if (!rest.starts_with(kOpen) ||
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
    if (rest.size() <= kMaxTagCarried) {
        d->carry = rest;
        return 0;
    }
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
    std::string joined;
    text = withCarry(text, d, &joined);
    for (size_t i = afterOpenTag(text, d), next = 0; i < text.size(); i = next)
        d->open += layerTagAt(text, i, &next, d);
}

bool stopsLayerEnd(std::string_view line, LayerDepth d, bool ownCarried) {
    std::string joined;
    const size_t carried = d.carry.size();
    line = withCarry(line, &d, &joined);
    for (size_t i = afterOpenTag(line, &d), next = 0; i < line.size(); i = next) {
        std::string_view at = line.substr(i);
        // The line ends the layer looked for, or one inside it: the search
        // takes it.  A "</Layer>" begun in an earlier piece is no end to the
        // search, which looks at each piece alone; it only closes its layer.
        if (at.starts_with(kLayerEnd) && i >= carried)
            return false;
        if (at.starts_with(kFormEnd))
            return true;
        int change = layerTagAt(line, i, &next, &d);
        if (d.open <= 0 && !(ownCarried && i < carried) && opensPluginLayers(at))
            return true;
        d.open += change;
    }
    return false;
}

size_t layersEndIn(std::string_view line, LayerDepth depth) {
    std::string joined;
    const size_t carried = depth.carry.size();
    std::string_view text = withCarry(line, &depth, &joined);
    for (size_t i = afterOpenTag(text, &depth), next = 0; i < text.size(); i = next) {
        int change = layerTagAt(text, i, &next, &depth);
        depth.open += change;
        if (change < 0 && depth.open <= 0)
            return next - carried;  // a carry holds no whole "</Layer>"
    }
    return std::string_view::npos;
}

namespace {

// Holds back the end of a piece that the next goes on from, when it may
// begin the text looked for next or "</Form>".
void holdPieceEnd(LayersSearch* s, std::string_view piece) {
    const std::string_view next = s->found == 0 ? std::string_view(s->condensed) : kLayerEnd;
    s->held = piece.substr(piece.size() -
                           std::max(tagStartAtEnd(piece, next), tagStartAtEnd(piece, kFormEnd)));
}

}  // namespace

void startLayersSearch(LayersSearch* s, std::string_view fromMarker,
                       std::string_view condensedMarker, bool goesOn) {
    *s = LayersSearch{};
    s->condensed = condensedMarker;
    layerDepthAfter(fromMarker, &s->depth);
    // A first tag that the piece's end cuts is read whole with the next
    // piece, where it would pass for another plugin's first layer.
    s->ownCarried = s->depth.carry == fromMarker;
    if (goesOn)
        holdPieceEnd(s, fromMarker);
}

LayersLine nextLayersLine(LayersSearch* s, std::string_view line) {
    const std::string_view wanted = s->found == 0 ? std::string_view(s->condensed) : kLayerEnd;
    // What the piece before held back ends the text it begins here, if any.
    const std::string joined = s->held + std::string(line);
    const size_t heldBytes = s->held.size();
    s->held.clear();
    // The search for the condensed layer stops at another plugin's layers
    // too: a block without it would otherwise take theirs up to its own
    // next copy's condensed layer.
    if (joined.find(kFormEnd) < heldBytes || stopsLayerEnd(line, s->depth, s->ownCarried))
        return LayersLine::Stopped;
    s->ownCarried = false;
    const size_t at = joined.find(wanted);
    if (at != std::string::npos && ++s->found == 3) {
        s->endAt = at + wanted.size() - heldBytes;
        return LayersLine::Last;
    }
    layerDepthAfter(line, &s->depth);
    if (pieceGoesOn(line))
        holdPieceEnd(s, line);
    return LayersLine::Inside;
}

}  // namespace qorv
