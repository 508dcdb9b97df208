#include "cedevice/plugin_text.h"

#include <algorithm>
#include <string_view>

#include "installer/layer_depth.h"
#include "installer/layer_markers.h"
#include "installer/layout_line.h"
#include "installer/replace_tabs.h"

namespace cedevice {

namespace {

constexpr std::string_view kLayoutEnd = "</layout>";
constexpr std::string_view kSizeMarkerStart = "ayout screenWidth=\"";
constexpr std::string_view kSizeMarkerMiddle = "\" screenHeight=\"";

bool holds(const std::string& line, std::string_view text) {
    return line.find(text) != std::string::npos;
}

// The text between the tags on a line whose first close tag has the first
// open tag at or before it, as the installer takes a name or a position.
bool between(const std::string& line, std::string_view open, std::string_view close,
             std::string* text) {
    size_t closeAt = line.find(close);
    size_t openAt = line.find(open);
    if (closeAt == std::string::npos || openAt == std::string::npos || openAt > closeAt)
        return false;
    size_t from = openAt + open.size();
    *text = from <= closeAt ? line.substr(from, closeAt - from) : std::string();
    return true;
}

// The first line from `from` on holding `text`; lines.size() when none.
size_t lineHolding(const std::vector<std::string>& lines, size_t from, std::string_view text) {
    while (from < lines.size() && !holds(lines[from], text))
        ++from;
    return from;
}

// Decimal as the runtime's atoi reads it.
int32_t decimal(const std::string& text) {
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= INT32_MAX; ++i)
        value = value * 10 + (text[i] - '0');
    value = negative ? -value : value;
    return static_cast<int32_t>(value > INT32_MAX   ? INT32_MAX
                                : value < INT32_MIN ? INT32_MIN
                                                    : value);
}

// Digits at *at, moved past; false when there are none or too many.
bool takeNumber(const std::string& line, size_t* at, int* value) {
    size_t start = *at;
    int64_t v = 0;
    while (*at < line.size() && line[*at] >= '0' && line[*at] <= '9' && *at - start < 9)
        v = v * 10 + (line[(*at)++] - '0');
    *value = static_cast<int>(v);
    return *at > start;
}

void collectBlockSizes(PluginText* plg) {
    for (size_t i = plg->positionLine + 1; i < plg->lines.size(); ++i) {
        ScreenSize size;
        if (!blockSizeOn(plg->lines[i], &size))
            continue;
        bool known = false;
        for (const ScreenSize& s : plg->blockSizes)
            known = known || s == size;
        if (!known)
            plg->blockSizes.push_back(size);
    }
}

}  // namespace

bool blockSizeOn(const std::string& line, ScreenSize* size) {
    size_t at = line.find(kSizeMarkerStart);
    if (at == std::string::npos)
        return false;
    at += kSizeMarkerStart.size();
    if (!takeNumber(line, &at, &size->width) ||
        line.compare(at, kSizeMarkerMiddle.size(), kSizeMarkerMiddle) != 0) {
        return false;
    }
    at += kSizeMarkerMiddle.size();
    return takeNumber(line, &at, &size->height);
}

namespace {

std::string sizeMarker(const ScreenSize& size) {
    return std::string(kSizeMarkerStart) + std::to_string(size.width) +
           std::string(kSizeMarkerMiddle) + std::to_string(size.height);
}

}  // namespace

std::string sizeText(const ScreenSize& size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::string expandedMarker(const std::string& name) {
    return std::string(qorv::kLayerIdPrefix) + name + qorv::kExpandedSuffix;
}

std::string condensedMarker(const std::string& name) {
    return std::string(qorv::kLayerIdPrefix) + name + qorv::kCondensedSuffix;
}

PluginText readPluginText(const std::string& bytes) {
    PluginText plg;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        end = std::min(end, start + qorv::kLinePieceBytes);
        plg.lines.push_back(bytes.substr(start, end - start));
        start = end;
    }

    plg.nameLine = lineHolding(plg.lines, 0, "</name>");
    if (plg.nameLine == plg.lines.size())
        return plg;
    plg.hasName =
        between(plg.lines[plg.nameLine], "<name>", "</name>", &plg.name) && !plg.name.empty();
    if (!plg.hasName)
        return plg;
    plg.positionLine = lineHolding(plg.lines, plg.nameLine + 1, "</position>");
    std::string text;
    if (plg.positionLine == plg.lines.size() ||
        !between(plg.lines[plg.positionLine], "<position>", "</position>", &text)) {
        return plg;
    }
    plg.hasPosition = true;
    plg.position = decimal(text);
    collectBlockSizes(&plg);
    return plg;
}

LayoutBlock findLayoutBlock(const PluginText& plg, const ScreenSize& size) {
    LayoutBlock block;
    if (!plg.hasPosition)
        return block;
    const std::string marker = sizeMarker(size);
    size_t open = lineHolding(plg.lines, plg.positionLine + 1, marker);
    if (open == plg.lines.size()) {
        block.beforePosition = lineHolding(plg.lines, 0, marker) <= plg.positionLine;
        return block;
    }
    block.found = true;
    block.first = open + 1;
    size_t close = lineHolding(plg.lines, block.first, kLayoutEnd);
    block.closed = close < plg.lines.size();
    block.count = close - block.first;
    return block;
}

std::string blockAsInjected(const PluginText& plg, const LayoutBlock& block) {
    std::string text;
    for (size_t i = block.first; i < block.first + block.count; ++i) {
        std::string line = plg.lines[i];
        int replaced = 0;
        for (char& c : line) {
            if (c == '\t' && replaced < qorv::kMaxTabsReplaced) {
                c = ' ';
                ++replaced;
            }
        }
        text += line;
    }
    return text;
}

LayersCheck checkLayers(const PluginText& plg, const LayoutBlock& block) {
    const std::vector<std::string> lines(plg.lines.begin() + block.first,
                                         plg.lines.begin() + block.first + block.count);
    LayersCheck check;
    const std::string expandedText = expandedMarker(plg.name);
    const size_t expanded = lineHolding(lines, 0, expandedText);
    if (expanded == lines.size()) {
        check.shape = LayersShape::NoExpanded;
        return check;
    }
    // A later run's search, as the installer makes it.
    qorv::LayersSearch search;
    qorv::startLayersSearch(
        &search, std::string_view(lines[expanded]).substr(lines[expanded].find(expandedText)),
        condensedMarker(plg.name), qorv::pieceGoesOn(lines[expanded]));
    size_t last = lines.size();
    for (size_t i = expanded + 1; i < lines.size() && last == lines.size(); ++i) {
        qorv::LayersLine met = qorv::nextLayersLine(&search, lines[i]);
        if (met == qorv::LayersLine::Stopped) {
            check.shape = holds(lines[i], qorv::kFormEnd) ? LayersShape::NoThirdLayerEnd
                                                          : LayersShape::ThirdStops;
            return check;
        }
        if (met == qorv::LayersLine::Last)
            last = i;
    }
    if (search.found == 0) {
        check.shape = LayersShape::NoCondensed;
    } else if (last == lines.size()) {
        check.shape = LayersShape::NoThirdLayerEnd;  // the form's end stops the search
    } else if (expanded > 0) {
        check.shape = LayersShape::LinesBefore;
        check.strayLines = expanded;
    } else if (last + 1 < lines.size()) {
        // Where no "</Layer>" of the last line closes every layer open, a
        // layer nested deeper ends there, and its own layer's end stays.
        check.shape = qorv::layersEndIn(lines[last], search.depth) == std::string_view::npos
                          ? LayersShape::NestedInThird
                          : LayersShape::LinesAfter;
        check.strayLines = lines.size() - last - 1;
    }
    return check;
}

std::string unclosedMarkup(std::string_view text) {
    size_t opened = 0;
    size_t closed = 0;
    for (size_t at = 0; at < text.size();) {
        size_t tag = text.find('<', at);
        if (tag == std::string_view::npos)
            break;
        std::string_view rest = text.substr(tag);
        if (rest.starts_with("<!--")) {
            size_t end = text.find("-->", tag + 4);
            if (end == std::string_view::npos)
                return "a comment <!-- is not closed";
            at = end + 3;
            continue;
        }
        size_t end = text.find('>', tag);
        std::string_view whole =
            text.substr(tag, end == std::string_view::npos ? text.npos : end + 1 - tag);
        auto named = [&](std::string_view open) {
            return whole.starts_with(open) && whole.size() > open.size() &&
                   std::string_view(" \t\r\n/>").find(whole[open.size()]) != std::string_view::npos;
        };
        if (named("</Layer"))
            ++closed;
        else if (named("<Layer") && !whole.ends_with("/>"))
            ++opened;
        at = tag + 1;
    }
    if (opened == closed)
        return "";
    return std::to_string(opened) + (opened == 1 ? " layer opens" : " layers open") + " and " +
           std::to_string(closed) + " close" + (closed == 1 ? "s" : "");
}

}  // namespace cedevice
