// The rewrite pass of a list-view switch: the list view's opening line and
// its closing line become those of the other variant when it is asked for.
// The form end is looked for only once the closing line lies behind.
#include <algorithm>
#include <cstring>
#include <string>

#include "installer/pass_lines.h"

namespace qorv {

namespace {

// How much of a piece's end could begin `tag`: a long line arrives in
// pieces, and one may end inside the closing tag.
size_t tagStartAtEnd(std::string_view piece, std::string_view tag) {
    for (size_t n = std::min(piece.size(), tag.size() - 1); n > 0; --n) {
        if (tag.starts_with(piece.substr(piece.size() - n)))
            return n;
    }
    return 0;
}

// The closing line goes on in the next piece.  When the tag's '>' came
// there, what stands up to it goes, as it does on one piece; when nothing
// but white space follows the tag, that goes too, as it does on one piece.
// The current line is left with the rest.
void restOfClosingLine(PassLines& lines, bool toTagEnd, bool dropWhite) {
    while (nextLine(lines)) {
        std::string_view text = lines.line.view();
        size_t from = 0;
        if (toTagEnd) {
            size_t gt = text.find('>');
            from = gt == std::string_view::npos ? text.size() : gt + 1;
            if (gt == std::string_view::npos && lines.pieceOpen)
                continue;
        }
        std::string_view rest = text.substr(from);
        size_t length = rest.size();
        if (dropWhite && rest.find_first_not_of(" \t\r\n") == std::string_view::npos)
            length = 0;
        std::memmove(lines.line.text, lines.line.text + from, length);
        lines.line.length = length;
        lines.line.text[length] = '\0';
        return;
    }
    lines.line.length = 0;
}

// Copies the lines after the switched opening line, up to the one holding
// the closing tag of the variant found, which is switched too.  A closing
// line that holds the form's end ends the pass with it (*formEnded), as any
// line holding it after the list view does: the lines after it are dropped.
// When the tag's '>' lies in a later piece, *restPending tells that the
// current line holds what follows it, still to be copied.
bool copyToClosingLine(PassLines& lines, ListView found, char* switchedLine, size_t switchedBytes,
                       bool* formEnded, bool* restPending) {
    std::string_view closing = closingSearchText(found);
    // The end of the piece before, when it may begin the closing tag: it is
    // written with this piece.
    std::string held;
    while (nextLine(lines)) {
        std::string joined = held + std::string(lines.line.view());
        const bool continues = lines.continuesLine;
        held.clear();
        size_t at = joined.find(closing);
        if (at != std::string::npos) {
            size_t length =
                switchClosingLine(joined, at, found, switchedLine, switchedBytes, continues);
            if (lines.pieceOpen) {
                size_t gt = joined.find('>', at + closing.size());
                bool nothingAfter =
                    gt == std::string::npos ||
                    joined.find_first_not_of(" \t\r\n", gt + 1) == std::string::npos;
                if (!copyLine(lines, switchedLine, length))
                    return false;
                restOfClosingLine(lines, gt == std::string::npos, nothingAfter);
                *restPending = true;
                return true;
            }
            *formEnded = lineHolds(std::string_view(switchedLine, length), kFormEnd);
            return copyLine(lines, switchedLine, length);
        }
        if (lines.pieceOpen) {
            size_t keep = tagStartAtEnd(joined, closing);
            held = joined.substr(joined.size() - keep);
            joined.resize(joined.size() - keep);
        }
        copyLine(lines, joined.data(), joined.size());
    }
    if (!held.empty())
        copyLine(lines, held.data(), held.size());
    return false;
}

}  // namespace

PassOutcome switchPass(const RewritePass& pass, PassLines& lines, ListView found, size_t tagAt,
                       char* switchedLine, size_t switchedBytes) {
    bool wanted = found == ListView::Titanium ? pass.toBronze : pass.toTitanium;
    if (!wanted) {
        copyCurrentLine(lines);
        return copyToFormEnd(lines);
    }
    bool closedHere = false;
    size_t length = switchOpeningLine(lines.line.view(), tagAt, found, switchedLine, switchedBytes,
                                      &closedHere, lines.continuesLine);
    if (!copyLine(lines, switchedLine, length))
        return passEnd(lines, PassOutcome::Done);
    bool formEnded = false;
    bool restPending = false;
    if (!closedHere &&
        (!copyToClosingLine(lines, found, switchedLine, switchedBytes, &formEnded, &restPending) ||
         formEnded))
        return passEnd(lines, PassOutcome::Done);
    return restPending ? copyToFormEndAfterLayers(lines) : copyToFormEnd(lines);
}

}  // namespace qorv
