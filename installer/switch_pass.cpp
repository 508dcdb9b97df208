// The rewrite pass of a list-view switch: the list view's opening line and
// its closing line become those of the other variant when it is asked for.
// The form end is looked for only once the closing line lies behind.
#include <string>

#include "installer/pass_lines.h"

namespace qorv {

namespace {

// The closing tag's line goes on in the next piece, and nothing but white
// space follows the tag in this one: the next piece is taken as it would
// be on one piece.  When the tag's '>' came there, what stands up to it
// goes; white space alone after the tag goes too.  The current line is left
// with the rest.
void restOfClosingLine(PassLines& lines, bool toTagEnd) {
    while (nextLine(lines)) {
        size_t gt = toTagEnd ? lines.line.view().find('>') : std::string_view::npos;
        if (toTagEnd && gt == std::string_view::npos && lines.pieceOpen)
            continue;
        size_t from = !toTagEnd ? 0 : gt == std::string_view::npos ? lines.line.length : gt + 1;
        keepLineFrom(lines.line, from);
        return;
    }
    lines.line.length = 0;
}

// A closing tag may end on the next line ("</TitaniumListView" and then
// ">"): that '>', with the white space in front of it, went with the
// switched tag, which has its own.  The current line is left with what
// follows, or with the whole next line when it does not begin so.
void tagEndOnNextLine(PassLines& lines) {
    if (!nextLine(lines)) {
        lines.line.length = 0;
        return;
    }
    std::string_view line = lines.line.view();
    size_t at = line.find_first_not_of(" \t\r\n");
    keepLineFrom(lines.line, at != std::string_view::npos && line[at] == '>' ? at + 1 : 0);
}

// Copies the lines after the switched opening line, up to the one holding
// the closing tag of the variant found in markup, which is switched
// too.  A closing line that holds the form's end ends the pass with it
// (*formEnded), as any line holding it after the list view does: the lines
// after it are dropped.  When the closing tag's line goes on in the next
// piece with nothing after the tag in this one, or its '>' is still to
// come, *restPending tells that the current line holds what follows it,
// still to be copied.
bool copyToClosingLine(PassLines& lines, ListView found, char* switchedLine, size_t switchedBytes,
                       bool* formEnded, bool* restPending) {
    std::string_view closing = closingSearchText(found);
    // The end of the piece before, when it may begin the closing tag: it is
    // searched and written with this piece.
    std::string held;
    std::string joined;
    while (nextLine(lines)) {
        char* text = lines.line.text;
        size_t length = lines.line.length;
        if (!held.empty()) {
            joined = held;
            joined.append(text, length);
            held.clear();
            text = joined.data();
            length = joined.size();
        }
        std::string_view view(text, length);
        // The end of a piece held back holds no mark that opens or closes a
        // comment or a CDATA section: searched again, it leaves the state
        // as it was.
        size_t at = findInMarkup(view, closing, &lines.section);
        if (at != std::string_view::npos) {
            size_t switched = switchClosingLine(view, at, found, switchedLine, switchedBytes,
                                                lines.continuesLine);
            size_t gt = view.find('>', at + closing.size());
            if (lines.pieceOpen &&
                (gt == std::string_view::npos ||
                 view.find_first_not_of(" \t\r\n", gt + 1) == std::string_view::npos)) {
                if (!copyLine(lines, switchedLine, switched))
                    return false;
                restOfClosingLine(lines, gt == std::string_view::npos);
                *restPending = true;
                return true;
            }
            *formEnded = lineHolds(std::string_view(switchedLine, switched), kFormEnd);
            if (!copyLine(lines, switchedLine, switched))
                return false;
            if (!*formEnded && gt == std::string_view::npos) {
                tagEndOnNextLine(lines);
                *restPending = true;
            }
            return true;
        }
        if (lines.pieceOpen) {
            size_t keep = tagStartAtEnd(view, closing);
            held.assign(text + length - keep, keep);
            length -= keep;
        }
        copyLine(lines, text, length);
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
