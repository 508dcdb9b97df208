#include "installer/plugin_definition.h"

#include <cstdio>
#include <cstring>

namespace qorv {

bool textBetweenTags(std::string_view line, std::string_view open, std::string_view close,
                     std::string_view* between) {
    size_t closeAt = line.find(close);
    size_t openAt = line.find(open);
    if (closeAt == std::string_view::npos || openAt == std::string_view::npos || openAt > closeAt) {
        return false;
    }
    size_t from = openAt + open.size();
    *between = from <= closeAt ? line.substr(from, closeAt - from) : std::string_view();
    return true;
}

PlgHeadStatus readPluginName(ce::File plg, PluginHead& head) {
    head.name[0] = 0;
    LayoutLine line;
    while (readLayoutLine(plg, line) == ReadStatus::Line) {
        if (!lineHolds(line.view(), "</name>"))
            continue;
        std::string_view name;
        if (!textBetweenTags(line.view(), "<name>", "</name>", &name)) {
            return PlgHeadStatus::NameTagMissing;
        }
        // An empty name would enter the order list as an empty entry and
        // could never be deleted: it counts as no name at all.
        if (name.empty())
            return PlgHeadStatus::NameMissing;
        if (name.size() > kMaxPluginNameBytes)
            return PlgHeadStatus::NameTooLong;
        std::memcpy(head.name, name.data(), name.size());
        head.name[name.size()] = 0;
        return PlgHeadStatus::Ok;
    }
    return PlgHeadStatus::NameMissing;
}

PlgHeadStatus readPluginPosition(ce::File plg, PluginHead& head) {
    head.position = 0;
    LayoutLine line;
    while (readLayoutLine(plg, line) == ReadStatus::Line) {
        if (!lineHolds(line.view(), "</position>"))
            continue;
        std::string_view text;
        if (!textBetweenTags(line.view(), "<position>", "</position>", &text)) {
            return PlgHeadStatus::PositionTagMissing;
        }
        if (text.size() > kMaxPositionChars)
            return PlgHeadStatus::PositionTooLong;
        head.position = parsePosition(text);
        return PlgHeadStatus::Ok;
    }
    return PlgHeadStatus::PositionMissing;
}

static bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t parsePosition(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX)
            break;  // unreachable within kMaxPositionChars
        ++i;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    return static_cast<int32_t>(value);
}

void buildResolutionMarker(int w, int h, char* marker, size_t markerBytes) {
    std::snprintf(marker, markerBytes, "ayout screenWidth=\"%d\" screenHeight=\"%d", w, h);
}

}  // namespace qorv
