// One line of a layout or plugin-definition file, as the editors see it.
//
// Both files are 8-bit text handled as bytes: a line keeps its own line end
// (CRLF stays CRLF), and a physical line longer than kLinePieceBytes arrives
// as several pieces, each handled as a line of its own.  A tag split across
// two pieces is recognised only where a search holds the end of the first
// piece back to read it with the next (tagStartAtEnd).
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/platform.h"

namespace qorv {

constexpr size_t kLineBytes = 5000;                 // line buffer, terminator included
constexpr size_t kLinePieceBytes = kLineBytes - 1;  // longest piece one read yields

struct LayoutLine {
    char text[kLineBytes];
    size_t length;  // bytes in text, without the terminator

    std::string_view view() const { return std::string_view(text, length); }
};

enum class ReadStatus { Line, End, Failed };

// Reads the next piece.  End when the file has no more bytes, Failed when
// the read stopped short of the end (an I/O error).
ReadStatus readLayoutLine(ce::File file, LayoutLine& line);

// True when the first bytes of a file are UTF-16 text (a byte-order mark,
// or a zero byte among them), which these 8-bit lines cannot read: the
// tags of a plugin definition are then never found, however right they
// are, and a layout would be rewritten byte by byte.
inline bool looksLikeUtf16(std::string_view head) {
    return head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF") ||
           head.find('\0') != std::string_view::npos;
}
// The same for any line of a layout: a first line that is UTF-16, or a
// zero byte in any line (no 8-bit text holds one; UTF-16 whose first line
// is empty shows its first zero byte in the second).
inline bool notEightBitLine(std::string_view line, bool first) {
    return first ? looksLikeUtf16(line) : line.find('\0') != std::string_view::npos;
}

// True when a piece is cut from a longer line, which goes on in the next.
inline bool pieceGoesOn(std::string_view piece) {
    return piece.size() == kLinePieceBytes && piece.back() != '\n';
}

// How much of a piece's end could begin `text`: a long line arrives in
// pieces, and one may end inside a tag or a plugin's marker.
inline size_t tagStartAtEnd(std::string_view piece, std::string_view text) {
    for (size_t n = std::min(piece.size(), text.size() - 1); n > 0; --n) {
        if (text.starts_with(piece.substr(piece.size() - n)))
            return n;
    }
    return 0;
}

// Plain, case-sensitive substring search.
inline bool lineHolds(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

}  // namespace qorv
