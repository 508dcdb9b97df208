// The text of single lines of a registry export: key headers and value
// lines, read leniently and written as an export writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/wstr.h"

namespace ce::posix {

// How a file's lines are encoded.  A UTF-8 file that holds a line which is
// not valid UTF-8 is a file of 8-bit lines, read as Latin-1, and written in
// Latin-1 too; a line with no Latin-1 form that reads back as itself is
// written in UTF-8, which the reader takes as UTF-8 in any line.
enum class RegLineEncoding : uint8_t { Utf16, Utf8, Latin1 };

// The Latin-1 bytes of text that read back as that text: false for a
// character beyond U+00FF, and for bytes beyond ASCII that happen to be
// valid UTF-8 (a reader would take them as UTF-8).
bool regTextLatin1(std::u16string_view text, std::string* bytes);

// How a file holds text: its lines' encoding, and whether the text of
// values given as hex data (hex(1), hex(2), hex(7)) is 8-bit, as a
// REGEDIT4 file holds it (Latin-1, or UTF-8 for text with no Latin-1
// form), or UTF-16LE.
struct RegTextForm {
    RegLineEncoding lines = RegLineEncoding::Utf16;
    bool eightBitHex = false;
};

// Blanks and tabs (and a stray carriage return) are what the registry
// editor skips around "=" and at the ends of lines.
bool regTextIsBlank(char16_t c);
std::u16string_view regTextTrim(std::u16string_view s);

// Case folding for comparisons: every unit lower-cased (ASCII, most of any
// path or name, without a call).
inline char16_t regTextFoldUnit(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    return u16lowerChar(c);
}
std::u16string regTextFold(std::u16string_view s);
// The parts of a key path one by one: *pos starts at 0, and each call
// gives the next part that is not empty (a leading, doubled or trailing
// backslash makes an empty one).  False when none is left.
bool regPathNextPart(std::u16string_view path, size_t* pos, std::u16string_view* part);

// The parts of `path` joined by single separators, the first `count` of
// them as `spelling` writes them (its first parts, of the same path in
// another case); the first `count` parts of `spelling` alone when `path` is
// empty.
std::u16string regPathSpelt(std::u16string_view spelling, size_t count, std::u16string_view path);

// A key path folded, with empty components ("A\\\\B", a trailing "\\") dropped.
std::u16string regTextFoldPath(std::u16string_view path);
// The same into *out, reusing its storage.
void regTextFoldPathInto(std::u16string_view path, std::u16string* out);

// "[KEY]" or "[-KEY]" (leading blanks allowed, anything after the last "]"
// ignored, and *textAfter, when not null, set when there is some), with
// the path as a part of the line.  False when the line is no header.
bool regTextParseHeader(std::u16string_view line, std::u16string_view* path, bool* deletion,
                        bool* textAfter = nullptr);

// True when a value line goes on in the next line: its data is not a quoted
// string and it ends (before trailing blanks) with a backslash.  A
// continuation line itself goes on when it ends with a backslash.
bool regTextValueContinues(std::u16string_view line);
bool regTextContinuationContinues(std::u16string_view line);
// True when a line can be a continuation of hex data (not blank, not a
// comment, not a header or a new value).
bool regTextIsContinuation(std::u16string_view line);
// True for a comment line (";" after blanks).  Comment lines between
// continued lines are passed over, as in a hand-annotated export; a blank
// line ends the value.
bool regTextIsComment(std::u16string_view line);

// The name of a value line ("Name"=... or @=...), unescaped; false when the
// line does not open with a name and "=".  Cheaper than regTextParseValue
// for looking a value up by name.
bool regTextValueName(std::u16string_view logical, std::u16string* name);

// A logical value line (continuations joined, their backslashes removed):
// "Name"=data or @=data.  *deletion is set for "Name"=-.  False when the
// line is not understood.  Text after a quoted string's closing quote is
// ignored, and *textAfter (when not null) set; a comment (";") after other
// data or after "-" is ignored as a comment.  With eightBitHex, the hex
// data of text (hex(1), hex(2), hex(7)) is 8-bit and given back as UTF-16LE:
// UTF-8 when it is valid UTF-8, else Latin-1, as lines are read.
bool regTextParseValue(std::u16string_view logical, std::u16string* name, bool* deletion,
                       RegValueData* data, bool* textAfter = nullptr, bool eightBitHex = false);

// The lines of a value as an export writes it, joined by "\n" (no line
// end after the last).  A string is written quoted when its data is UTF-16
// text with exactly one NUL at the end, no line break inside and a form in
// the file's encoding; a REG_DWORD of 4 bytes as dword:; anything else as
// hex, continued over lines of fewer than kRegHexLineLimit characters (the
// text of hex(1), hex(2) and hex(7) in 8 bits when the form says so).
// False when the name cannot stand in a value line, or the data cannot be
// held in the form.
bool regTextFormatValue(std::u16string_view name, uint32_t type, const uint8_t* data, size_t size,
                        RegTextForm form, std::u16string* text);

// True when the text has a form in the encoding: in UTF-16 any, in the
// others none for text with a lone surrogate.
bool regTextEncodable(RegLineEncoding encoding, std::u16string_view text);

// "[path]"; false when the path cannot stand in a header.
bool regTextFormatHeader(std::u16string_view path, std::u16string* line);

}  // namespace ce::posix
