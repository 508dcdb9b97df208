// The head of a plugin-definition file (.plg): the plugin's name and its
// position in the home screen's order list, and the search text of the
// layout block that fits a screen size.
//
// The head is read strictly in order, each item on a later line than the
// previous one: the first line holding "</name>", then the first later line
// holding "</position>".  The stream is left right after the position line,
// where the layout blocks begin.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "installer/layer_markers.h"
#include "installer/layout_line.h"
#include "platform/platform.h"

namespace qorv {

// The name buffer of an add; the longest name is smaller, because the
// layer markers built from it must fit their own buffer (layer_markers.h).
constexpr size_t kPluginNameBytes = 1024;
// Longest position text between the position tags.
constexpr size_t kMaxPositionChars = 9;

enum class PlgHeadStatus {
    Ok,
    NameMissing,         // no line holds "</name>", or the name between the tags is empty
    NameTagMissing,      // that line has no "<name>" at or before "</name>"
    NameTooLong,         // longer than kMaxPluginNameBytes
    NameNotAllowed,      // holds a character of no name (nameCharAllowed)
    PositionMissing,     // no later line holds "</position>"
    PositionTagMissing,  // that line has no "<position>" at or before "</position>"
    PositionTooLong,     // more than kMaxPositionChars characters
};

struct PluginHead {
    char name[kPluginNameBytes];
    int32_t position;
};

// Whether a plugin name may hold the byte.  A name is an entry of the home
// screen's lists, where ';' separates entries and '"' ends the attribute
// that holds them, and part of the layout's markup, where '<', '>', '&' and
// '"' have meanings of their own; `-delete -plugin:` ends a name at the
// first blank.  So blanks, control characters and those five are refused.
// (Inline, with the rest of the name rule, so that the device tool's
// check of a plugin uses the same rule without the installer.)
inline bool nameCharAllowed(unsigned char c) {
    constexpr std::string_view kRefused = " ;\"<>&";
    return c >= 0x20 && c != 0x7F && kRefused.find(static_cast<char>(c)) == std::string_view::npos;
}
// The text of the add's switch, which a name may not hold either: the
// action is found anywhere on the command line, and before "-delete", so a
// `-delete -plugin:` line naming such a plugin would be an add.
constexpr std::string_view kNameRefusedText = "-addchange";
// The first byte of name that nameCharAllowed refuses, or where it holds
// kNameRefusedText, or npos.
inline size_t firstNameCharNotAllowed(std::string_view name) {
    size_t text = name.find(kNameRefusedText);
    for (size_t i = 0; i < name.size() && i < text; ++i) {
        if (!nameCharAllowed(static_cast<unsigned char>(name[i])))
            return i;
    }
    return text;
}

// Reads the name line into line; on Ok (and NameNotAllowed) head.name holds
// the name.
PlgHeadStatus readPluginName(ce::File plg, LayoutLine& line, PluginHead& head);
// Reads the position line that follows; on Ok head.position holds it.
PlgHeadStatus readPluginPosition(ce::File plg, LayoutLine& line, PluginHead& head);

// The text between open and close on one line: the first close on the line
// counts, and the first open must begin at or before it.  False when the
// open tag is missing there.
bool textBetweenTags(std::string_view line, std::string_view open, std::string_view close,
                     std::string_view* between);

// Decimal value as the runtime's atoi reads it: leading white space, one
// optional sign, digits up to the first non-digit; no digits give 0.  The
// text is at most kMaxPositionChars long, so it cannot overflow.
int32_t parsePosition(std::string_view text);

// Search text of the layout block for a screen of w x h pixels.  It lacks
// the layout tag's first letter, so "<layout" and "<Layout" match alike,
// and the closing quotation mark after the height.
constexpr size_t kResolutionMarkerBytes = 1000;
void buildResolutionMarker(int w, int h, char* marker, size_t markerBytes);

}  // namespace qorv
