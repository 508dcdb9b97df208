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

namespace {

// One item of the head: its tags, its longest text and how it fails.
struct HeadItem {
    std::string_view open;
    std::string_view close;
    size_t maxBytes;
    PlgHeadStatus missing;
    PlgHeadStatus tagMissing;
    PlgHeadStatus tooLong;
};

constexpr HeadItem kNameItem = {"<name>",
                                "</name>",
                                kMaxPluginNameBytes,
                                PlgHeadStatus::NameMissing,
                                PlgHeadStatus::NameTagMissing,
                                PlgHeadStatus::NameTooLong};
constexpr HeadItem kPositionItem = {"<position>",
                                    "</position>",
                                    kMaxPositionChars,
                                    PlgHeadStatus::PositionMissing,
                                    PlgHeadStatus::PositionTagMissing,
                                    PlgHeadStatus::PositionTooLong};

// Reads lines up to the first one holding the item's closing tag; *text
// receives what stands between the tags on it.
PlgHeadStatus readHeadItem(ce::File plg, const HeadItem& item, LayoutLine& line,
                           std::string_view* text) {
    while (readLayoutLine(plg, line) == ReadStatus::Line) {
        if (!lineHolds(line.view(), item.close))
            continue;
        if (!textBetweenTags(line.view(), item.open, item.close, text))
            return item.tagMissing;
        return text->size() > item.maxBytes ? item.tooLong : PlgHeadStatus::Ok;
    }
    return item.missing;
}

}  // namespace

PlgHeadStatus readPluginName(ce::File plg, LayoutLine& line, PluginHead& head) {
    head.name[0] = 0;
    std::string_view name;
    PlgHeadStatus status = readHeadItem(plg, kNameItem, line, &name);
    // An empty name would enter the order list as an empty entry and could
    // never be deleted: it counts as no name at all.
    if (status == PlgHeadStatus::Ok && name.empty())
        return PlgHeadStatus::NameMissing;
    // A name the lists or -delete could not take would break the lists or
    // stay installed for good: refused before anything is changed.
    if (status == PlgHeadStatus::Ok && firstNameCharNotAllowed(name) != std::string_view::npos)
        status = PlgHeadStatus::NameNotAllowed;
    // A refused name is kept too, for the line that says what is wrong.
    if (status == PlgHeadStatus::Ok || status == PlgHeadStatus::NameNotAllowed) {
        std::memcpy(head.name, name.data(), name.size());
        head.name[name.size()] = 0;
    }
    return status;
}

PlgHeadStatus readPluginPosition(ce::File plg, LayoutLine& line, PluginHead& head) {
    std::string_view text;
    PlgHeadStatus status = readHeadItem(plg, kPositionItem, line, &text);
    head.position = status == PlgHeadStatus::Ok ? parsePosition(text) : 0;
    return status;
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
