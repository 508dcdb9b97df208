// The menu file as a sequence of lines of 16-bit characters.
//
// A menu file is UTF-16LE, with or without a byte-order mark.  Files
// written by editors that save 8-bit text are accepted as well: a file that
// starts with the UTF-8 mark, or whose bytes have none of the zero high
// bytes that UTF-16LE gives ASCII text, is read as UTF-8.  Either way
// the reader sees the same 16-bit characters, so the matching rules do not
// depend on how the file was saved.  A file in UTF-16 big-endian (its mark,
// or zero bytes where UTF-16LE has none) is told apart only so that it can
// be refused: it gives no lines.
//
// Lines are handed out like the runtime's wide line reader hands them out:
// at most kMenuLinePieceChars characters per read, up to and including a
// line feed, so a longer physical line arrives as several pieces.  The
// lines are decoded from the file's bytes held in memory; a pass never
// changes them, so every pass over the same bytes gives the same pieces.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrelo {

// Characters of one read, without the terminator (a 256-character line
// buffer read with a limit of 255 gives 254 characters and the terminator).
constexpr size_t kMenuLinePieceChars = 254;
constexpr size_t kMenuLineChars = 256;

enum class MenuEncoding { Utf16Le, Utf8, Utf16Be };

// Decoding state of one pass over the bytes of a menu file.  The bytes
// stay the caller's and must outlive the pass.
struct MenuLineReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;  // next byte to decode
    MenuEncoding encoding = MenuEncoding::Utf16Le;
    char16_t pendingLow = 0;  // second half of a surrogate pair still to hand out
};

// Starts a pass from the first line of the size bytes at data: decides the
// encoding and skips a byte-order mark.
void menuLinesStart(MenuLineReader& reader, const uint8_t* data, size_t size);

// Reads the next piece into line (lineChars >= 2): at most
// min(kMenuLinePieceChars, lineChars - 1) characters, ending after a line
// feed when one comes first, then a terminator.  Returns false when nothing
// was left to read.
bool menuLinesNext(MenuLineReader& reader, char16_t* line, size_t lineChars);

}  // namespace vantrelo
