// The rewrite pass of a list-view switch: the list view's opening line and
// its closing line become those of the other variant when it is asked for.
// The form end is looked for only once the closing line lies behind.
#include "installer/pass_lines.h"

namespace qorv {

namespace {

// Copies the lines after the switched opening line, up to the one holding
// the closing tag of the variant found, which is switched too.  A closing
// line that holds the form's end ends the pass with it (*formEnded), as any
// line holding it after the list view does: the lines after it are dropped.
bool copyToClosingLine(PassLines& lines, ListView found, char* switchedLine, size_t switchedBytes,
                       bool* formEnded) {
    std::string_view closing = closingSearchText(found);
    while (nextLine(lines)) {
        size_t at = lines.line.view().find(closing);
        if (at != std::string_view::npos) {
            size_t length = switchClosingLine(lines.line.view(), at, found, switchedLine,
                                              switchedBytes, lines.continuesLine);
            *formEnded = lineHolds(std::string_view(switchedLine, length), kFormEnd);
            return copyLine(lines, switchedLine, length);
        }
        copyCurrentLine(lines);
    }
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
    if (!closedHere &&
        (!copyToClosingLine(lines, found, switchedLine, switchedBytes, &formEnded) || formEnded))
        return passEnd(lines, PassOutcome::Done);
    return copyToFormEnd(lines);
}

}  // namespace qorv
