#include "cedevice/plugin_text.h"

#include <algorithm>
#include <string_view>

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

namespace {

// The layer tags of a line after `from`: +1 for a "<Layer" tag not closed
// in itself, -1 for a "</Layer>".  *firstOpen is set to the text from the
// first "<Layer" tag on, when it is still empty.
int layerDepthChange(const std::string& line, size_t from, std::string* firstOpen) {
    constexpr std::string_view kEnd = qorv::kLayerEnd;
    int change = 0;
    for (size_t i = line.find('<', from); i != std::string::npos; i = line.find('<', i + 1)) {
        if (line.compare(i, kEnd.size(), kEnd) == 0) {
            --change;
            continue;
        }
        const size_t after = i + 6;
        if (line.compare(i, 6, "<Layer") != 0 ||
            (after < line.size() &&
             std::string_view(" \t\r\n/>").find(line[after]) == std::string_view::npos)) {
            continue;
        }
        if (firstOpen->empty())
            *firstOpen = line.substr(i);
        const size_t close = line.find('>', after);
        change += close != std::string::npos && line[close - 1] == '/' ? 0 : 1;
    }
    return change;
}

}  // namespace

LayersCheck checkLayers(const PluginText& plg, const LayoutBlock& block) {
    const std::vector<std::string> lines(plg.lines.begin() + block.first,
                                         plg.lines.begin() + block.first + block.count);
    LayersCheck check;
    size_t expanded = lineHolding(lines, 0, expandedMarker(plg.name));
    if (expanded == lines.size()) {
        check.shape = LayersShape::NoExpanded;
        return check;
    }
    size_t condensed = lineHolding(lines, expanded + 1, condensedMarker(plg.name));
    if (condensed == lines.size()) {
        check.shape = LayersShape::NoCondensed;
        return check;
    }
    size_t firstEnd = lineHolding(lines, condensed + 1, qorv::kLayerEnd);
    size_t last =
        firstEnd == lines.size() ? firstEnd : lineHolding(lines, firstEnd + 1, qorv::kLayerEnd);
    // The third layer: its first tag, and the layers still open where a
    // later run takes the plugin to end.
    std::string thirdTag;
    int open = 0;
    for (size_t i = firstEnd; i < lines.size() && i <= last; ++i) {
        size_t from =
            i == firstEnd ? lines[i].find(qorv::kLayerEnd) + sizeof qorv::kLayerEnd - 1 : 0;
        open += layerDepthChange(lines[i], from, &thirdTag);
    }
    if (qorv::opensPluginLayers(thirdTag)) {
        check.shape = LayersShape::ThirdStops;
    } else if (last == lines.size()) {
        check.shape = LayersShape::NoThirdLayerEnd;
    } else if (expanded > 0) {
        check.shape = LayersShape::LinesBefore;
        check.strayLines = expanded;
    } else if (last + 1 < lines.size()) {
        check.shape = open > 0 ? LayersShape::NestedInThird : LayersShape::LinesAfter;
        check.strayLines = lines.size() - last - 1;
    }
    return check;
}

}  // namespace cedevice
