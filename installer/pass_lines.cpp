#include "installer/pass_lines.h"

#include <cstring>
#include <string>

#include "installer/layer_depth.h"
#include "installer/layer_markers.h"
#include "installer/replace_tabs.h"

namespace qorv {

bool nextLine(PassLines& lines) {
    if (lines.writeFailed || lines.readFailed)
        return false;
    lines.continuesLine = lines.pieceOpen;
    ReadStatus status = readLayoutLine(lines.layout, lines.line);
    // Layouts are 8-bit text: one in UTF-16 would have the 0x09 bytes of
    // its characters taken for tabs and replaced.
    if (status == ReadStatus::Line && notEightBitLine(lines.line.view(), !lines.started))
        status = ReadStatus::Failed;
    lines.started = true;
    if (status == ReadStatus::Failed)
        lines.readFailed = true;
    // Taken now: the phases may change the line once they have it.
    lines.pieceOpen = status == ReadStatus::Line && pieceGoesOn(lines.line.view());
    return status == ReadStatus::Line;
}

bool copyLine(PassLines& lines, char* text, size_t length) {
    replaceTabs(text, length);
    if (!lines.writeFailed && !ce::fileWrite(lines.temp, text, length))
        lines.writeFailed = true;
    return !lines.writeFailed;
}

bool copyCurrentLine(PassLines& lines) {
    return copyLine(lines, lines.line.text, lines.line.length);
}

void writeFormEnd(PassLines& lines) {
    if (!lines.writeFailed && !ce::fileWrite(lines.temp, kFormEnd.data(), kFormEnd.size()))
        lines.writeFailed = true;
}

bool wholeMarkup(std::string_view text) {
    constexpr std::string_view kCommentOpen = "<!--";
    constexpr std::string_view kCommentClose = "-->";
    constexpr std::string_view kCdataOpen = "<![CDATA[";
    constexpr std::string_view kCdataClose = "]]>";
    size_t last = text.find_last_not_of(" \t\r\n");
    if (last == std::string_view::npos || text[last] != '>')
        return false;
    bool inTag = false;
    char quote = '\0';  // the quote of an attribute value open in a tag
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote != '\0') {
            if (c == quote)
                quote = '\0';
        } else if (inTag) {
            if (c == '"' || c == '\'')
                quote = c;
            else if (c == '>')
                inTag = false;
        } else if (text.substr(i, kCommentOpen.size()) == kCommentOpen) {
            size_t close = text.find(kCommentClose, i + kCommentOpen.size());
            if (close == std::string_view::npos)
                return false;
            i = close + kCommentClose.size() - 1;
        } else if (text.substr(i, kCdataOpen.size()) == kCdataOpen) {
            // Text, whatever it holds: a quote in it opens no value.
            size_t close = text.find(kCdataClose, i + kCdataOpen.size());
            if (close == std::string_view::npos)
                return false;
            i = close + kCdataClose.size() - 1;
        } else if (c == '<') {
            inTag = true;
        }
    }
    return !inTag && quote == '\0';
}

void copyTextBeforeFormEnd(PassLines& lines) {
    std::string_view line = lines.line.view();
    size_t end = line.find(kFormEnd);
    if (end == std::string_view::npos)
        return;
    std::string_view before = line.substr(0, end);
    if (!lines.continuesLine) {
        if (!wholeMarkup(before))
            return;
        // Up to its last '>', as the text in front of a plugin's layers
        // is kept: an add's block then follows it as a replace's does.
        end = before.find_last_of('>') + 1;
    }
    copyLine(lines, lines.line.text, end);
}

void keepLineFrom(LayoutLine& line, size_t from) {
    std::string_view rest = line.view().substr(from);
    size_t length = rest.find_first_not_of(" \t\r\n") == std::string_view::npos ? 0 : rest.size();
    std::memmove(line.text, line.text + from, length);
    line.length = length;
    line.text[length] = '\0';
}

PassOutcome passEnd(const PassLines& lines, PassOutcome sound) {
    if (lines.readFailed)
        return PassOutcome::ReadFailed;
    if (lines.writeFailed)
        return PassOutcome::WriteFailed;
    return sound;
}

ListView copyToListView(PassLines& lines, size_t* tagAt) {
    while (nextLine(lines)) {
        ListView found = findListViewTag(lines.line.view(), tagAt, &lines.section);
        if (found != ListView::None)
            return found;
        copyCurrentLine(lines);
    }
    return ListView::None;
}

namespace {

// Writes what stands in front of the plugin's first layer on its line, up
// to its last '>', when it is whole markup: it belongs to no layer of the
// plugin.  A switched closing tag ends without a line end, so the next
// line, a plugin's first, follows it on one line, and so does the block an
// add puts after what stands in front of "</Form>" on its line: were that
// text dropped with the layers, a delete or a replace would lose the list
// view's closing tag.  No line end follows it: what comes after the layers
// (a replace's block, the form end) takes the place the layers had, so a
// replace gives what the add gave and a delete what was there before it.
void copyTextBeforeLayers(PassLines& lines, size_t markerAt) {
    std::string_view before = lines.line.view().substr(0, markerAt);
    if (!lines.continuesLine && !wholeMarkup(before))
        return;
    // On a later piece of a long line, all of it: the line's start is written.
    copyLine(lines, lines.line.text, lines.continuesLine ? markerAt : before.find_last_of('>') + 1);
}

// Makes what follows the plugin's layers on their last line the current
// line, or empties it when that is blank: the end of the list view or of
// the form may stand there too.  The layers end with the "</Layer>" that
// closes every layer they opened (depth of them are open before the line),
// so the closing tags of layers nested in the last one go with it; in
// layers of another shape, with the "</Layer>" the search found there.
void keepTextAfterLayers(LayoutLine& line, const LayersSearch& search) {
    size_t from = layersEndIn(line.view(), search.depth);
    keepLineFrom(line, from == std::string_view::npos ? search.endAt : from);
}

// Drops the plugin's layers, from the text of their first line at the
// expanded marker on, up to the last of them.  The search stops where no
// block can go on: a block without its third layer in front of another
// plugin would otherwise take that plugin's first layer with it.
LayersFound dropLayers(PassLines& lines, const char* pluginName, std::string_view fromMarker) {
    char condensed[kMarkerBytes];
    buildCondensedMarker(pluginName, condensed, sizeof condensed);
    LayersSearch search;
    startLayersSearch(&search, fromMarker, condensed, lines.pieceOpen);
    LayersLine met = LayersLine::Inside;
    while (met == LayersLine::Inside && nextLine(lines))
        met = nextLayersLine(&search, lines.line.view());
    if (met != LayersLine::Last)
        return LayersFound::Unfinished;
    keepTextAfterLayers(lines.line, search);
    return LayersFound::Dropped;
}

}  // namespace

LayersFound copyToPluginLayers(PassLines& lines, const char* pluginName) {
    // A name too long for its marker cannot stand in the file either.
    char marker[kMarkerBytes];
    bool lookForPlugin = buildExpandedMarker(pluginName, marker, sizeof marker);
    // The end of the piece before, when it may begin the marker, is
    // searched and written with this piece: missed there, a delete left the
    // plugin in the layout and an add put a second copy beside it.  Each
    // byte is searched once, so comments and CDATA sections are followed as
    // on one piece.
    std::string held;
    std::string joined;
    while (nextLine(lines)) {
        std::string_view line = lines.line.view();
        size_t keep = lookForPlugin && lines.pieceOpen ? tagStartAtEnd(line, marker) : 0;
        std::string_view searched = line.substr(0, line.size() - keep);
        if (!held.empty()) {
            joined = held;
            joined.append(line);
            searched = std::string_view(joined).substr(0, joined.size() - keep);
        }
        // A copy of the layers commented out, or in a CDATA section, is no
        // plugin: taken for one, a delete emptied the comment and left the
        // live layers.
        size_t markerAt =
            lookForPlugin ? findInMarkup(searched, marker, &lines.section) : std::string_view::npos;
        if (markerAt != std::string_view::npos && markerAt < held.size()) {
            copyLine(lines, held.data(), markerAt);  // a later piece: all of it stays
            return dropLayers(lines, pluginName, std::string_view(joined).substr(markerAt));
        }
        if (!held.empty()) {
            copyLine(lines, held.data(), held.size());
            markerAt -= markerAt == std::string_view::npos ? 0 : held.size();
            held.clear();
        }
        if (markerAt != std::string_view::npos) {
            copyTextBeforeLayers(lines, markerAt);
            return dropLayers(lines, pluginName, lines.line.view().substr(markerAt));
        }
        if (lineHolds(line, kFormEnd))
            return LayersFound::FormEnd;
        held.assign(line.substr(line.size() - keep));
        copyLine(lines, lines.line.text, line.size() - keep);
    }
    copyLine(lines, held.data(), held.size());
    return LayersFound::FileEnd;
}

PassOutcome copyToFormEndAfterLayers(PassLines& lines) {
    if (lines.line.length == 0)
        return copyToFormEnd(lines);
    if (lineHolds(lines.line.view(), kFormEnd)) {
        copyTextBeforeFormEnd(lines);
        writeFormEnd(lines);
        return passEnd(lines, PassOutcome::Done);
    }
    copyCurrentLine(lines);
    return copyToFormEnd(lines);
}

PassOutcome copyToFormEnd(PassLines& lines) {
    while (nextLine(lines)) {
        if (lineHolds(lines.line.view(), kFormEnd)) {
            copyTextBeforeFormEnd(lines);
            writeFormEnd(lines);
            break;
        }
        copyCurrentLine(lines);
    }
    return passEnd(lines, PassOutcome::Done);
}

}  // namespace qorv
