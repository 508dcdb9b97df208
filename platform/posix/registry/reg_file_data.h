// The inside of a registry file (reg_file.h), shared by its reading, its
// editing and the device tool's operations: the buffer, the block index,
// the lines of a block, key paths and the one lookup of a key's place.
//
// A block is a line whose text opens with "[" (a key's header, a key's
// deletion, or a broken header that ends the key before it) together with
// the lines below it up to the next such line; block 0 holds the lines
// before the first one.  No value line and no continuation line can open
// with "[", so a key's values always lie inside its blocks.  Headers are
// found by the hash of their path's last part and then compared as text, so
// a hash that happens to match a different path is never taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/registry_value_text.h"

namespace ce::posix {

// A DOS end-of-file byte that closes the file is no part of its last line.
inline constexpr char kRegDosEndOfFile = 0x1A;

enum class RegBlockKind : uint8_t {
    Start,      // the lines before the first header
    Key,        // [KEY]
    DeleteKey,  // [-KEY]
    BrokenKey,  // a line opening with "[" that is no header
    Removed,    // a key's block whose header a deletion took away (blank lines
                // and comments may remain; they belong to no key)
};

struct RegBlock {
    size_t start = 0;  // offset in the buffer; the block ends where the next starts
    RegBlockKind kind = RegBlockKind::Start;
    uint32_t name = 0;  // Key, DeleteKey: hash of the path's last part, folded
};

// Hashes of a header path's first part and of its first two
// (regLeadHashes): a walk over every header for the keys below one path
// reads only the headers whose leads match.
struct RegLeads {
    uint32_t root = 0;
    uint32_t head = 0;
};

struct RegFileData {
    RegBytes bytes;         // the whole file
    bool utf16 = false;     // UTF-16LE, else UTF-8
    size_t bomSize = 0;     // a byte-order mark opens the bytes
    size_t bodyEnd = 0;     // the lines are bytes[bomSize, bodyEnd); the trailer
                            // after them (a DOS end-of-file byte, an odd byte)
    std::string eol;        // line end given to added lines, in the file's encoding
    bool regedit4 = false;  // the first line is "REGEDIT4": hex text is 8-bit
    // Whether a UTF-8 file holds a line that is not valid UTF-8 (-1: not
    // looked at yet; most runs never write text that needs to know).
    mutable int8_t eightBitLines = -1;
    std::vector<RegBlock> blocks;
    std::vector<size_t> deletions;  // the DeleteKey blocks, in order
    size_t revision = 0;
    // The Key blocks by the hash of their path's last part, made at the
    // first lookup and dropped when the blocks change: firstByName[hash] is
    // the first such block, nextByName[b] the next one after b (0 for none:
    // block 0 is never a key's).
    mutable std::unordered_map<uint32_t, uint32_t> firstByName;
    mutable std::vector<uint32_t> nextByName;
    // The leads of each block, made with the index, where each header is
    // read anyway (a walk that made them would read every header again),
    // and extended at the next walk as blocks are added.
    mutable std::vector<RegLeads> leads;
};

// The whole file's bytes, and the first `size` of them.
inline std::string_view regBytes(const RegFileData& d) {
    return std::string_view(d.bytes.data(), d.bytes.size());
}
inline std::string_view regBytes(const RegFileData& d, size_t size) {
    return std::string_view(d.bytes.data(), size);
}

// Builds the index of d->bytes in one pass (encoding, trailer, blocks).
void regIndex(RegFileData* d);

size_t regBlockEnd(const RegFileData& d, size_t block);
std::string_view regBlockView(const RegFileData& d, size_t block);

// Replaces the block's bytes [from, to) by `with`; later blocks shift.
void regSplice(RegFileData* d, size_t block, size_t from, size_t to, std::string_view with);

// One physical line of a block.
struct RegLine {
    size_t at = 0;           // offset of its first byte in the block
    std::string_view bytes;  // without the line end
    size_t eolSize = 0;      // bytes of the line end; 0 for a last line without one
};

struct RegLineCursor {
    bool utf16 = false;
    std::string_view bytes;  // the block's
    size_t pos = 0;
};
RegLineCursor regLineCursor(const RegFileData& d, size_t block);
bool regNextLine(RegLineCursor& c, RegLine* line);

// The text of a line's bytes.  A UTF-8 line that is not valid UTF-8 (an
// 8-bit REGEDIT4 file, say) is read byte by byte as Latin-1.
void regLineText(bool utf16, std::string_view bytes, std::u16string* text);
// The offset of the next ASCII character `ascii` (the next line feed) at or
// after `from` in a file's bytes, or npos.
size_t regFindAsciiUnit(std::string_view bytes, size_t from, char ascii, bool utf16);
size_t regFindLineFeed(std::string_view bytes, size_t from, bool utf16);

// A logical line: one physical line, or a value line joined with its
// continuation lines (their closing backslashes removed).
struct RegLogical {
    size_t at = 0;          // block offset of the first line
    size_t contentEnd = 0;  // block offset after the last line's text
    size_t end = 0;         // block offset after the last line's end
    bool blankOrComment = false;
    bool valueLike = false;  // opens with '"' or '@'
    bool cutShort = false;   // a closing backslash promised a line that is not there
    std::u16string text;
};
bool regNextLogical(RegLineCursor& c, RegLogical* entry);

// A key path folded, with the hash of each of its parts, in order, and
// its lead hashes.
struct RegKeyPath {
    std::u16string folded;
    std::vector<uint32_t> parts;
    uint32_t root = 0;
    uint32_t head = 0;
};
// False for a path without any component.
bool regKeyPath(std::u16string_view path, RegKeyPath* out);
uint32_t regLastPartHash(std::u16string_view folded);
// The hashes of a folded path's first part ("hkey_current_user") and of
// its first two ("hkey_current_user\\software"; the first alone when it has
// one).
void regLeadHashes(std::u16string_view folded, uint32_t* root, uint32_t* head);
// True when key is base or lies below it (folded paths).
bool regPathIsSameOrBelow(std::u16string_view key, std::u16string_view base);

// The path of a Key or DeleteKey block's header, as written.
bool regBlockHeaderPath(const RegFileData& d, size_t block, std::u16string* path);
bool regBlockIsKey(const RegFileData& d, size_t block, const RegKeyPath& key);
// The last DeleteKey block that removes the key (or a key above it), or -1.
ptrdiff_t regLastDeletion(const RegFileData& d, const RegKeyPath& key);

// False when the Key or DeleteKey block's header cannot be at or below
// the first `parts` parts of the key: a look at the index alone, for walks
// over every header.
bool regBlockMayBeBelow(const RegFileData& d, size_t block, const RegKeyPath& key, size_t parts);

// Where a value stands: the logical line that gives it its current data.
struct RegValueSpot {
    size_t block = 0;
    size_t at = 0;
    size_t contentEnd = 0;
    size_t end = 0;       // after the last line's end
    std::u16string name;  // as written
    RegValueData data;
};

// A key's place in the file, found in one walk over the index.
struct RegPlace {
    bool exists = false;
    ptrdiff_t lastDeletion = -1;  // the last deletion of the key or one above it
    ptrdiff_t lastHeader = -1;    // the key's last header after it; new values go there
    bool valueFound = false;      // the value asked for exists
    RegValueSpot value;
};
// The place of the key and, when foldedName is not null, of that value
// (and then `exists` only for a key with a header of its own).
RegPlace regLookup(const RegFileData& d, const RegKeyPath& key, const std::u16string* foldedName);

// Edits shared with the device tool's operations (reg_file_edit.cpp).
// Appends text to *out in the file's encoding, each "\n" in it as the line
// end eol, and one more after it when `closed`; false when a character has
// no form in the encoding (a lone surrogate in UTF-8).
// (Out is std::string or RegBytes.)  A line that would read back as other
// text (Latin-1 that happens to be valid UTF-8) has no form either.
template <typename Out>
bool regAppendText(RegLineEncoding encoding, std::string_view eol, std::u16string_view text,
                   bool closed, Out* out);
// The encoding of the file's lines and how it holds text, as written into
// it.  An empty file becomes a new registry, which is UTF-16.  Whether a
// UTF-8 file holds 8-bit lines takes a pass over it, and ASCII reads the
// same either way: the ...For forms look only when the text asks.
RegLineEncoding regLineEncoding(const RegFileData& d);
RegTextForm regTextForm(const RegFileData& d);
RegLineEncoding regLineEncodingFor(const RegFileData& d, std::u16string_view text);
RegTextForm regTextFormFor(const RegFileData& d, std::u16string_view name, uint32_t type,
                           const uint8_t* data, size_t size);
// Appends bytes to a file's buffer.
inline void regAppendBytes(RegBytes* out, std::string_view bytes) {
    out->insert(out->end(), bytes.begin(), bytes.end());
}
// Where a key's block ends but for the blank lines and comments at its end
// (a comment before the next header usually belongs to that header): after
// its last logical line that is neither.
size_t regContentEnd(const RegFileData& d, size_t block);
// Where a new value goes in a key's block: at its content's end, but before
// the values there whose closing backslash promised a line that is not
// there (a reader that joins whatever follows would take a line after them
// for that line).
size_t regInsertPoint(const RegFileData& d, size_t block);
// The last line of the file: its text and whether it has a line end.
bool regLastLine(const RegFileData& d, std::u16string* text, bool* hasEnd);
// Where new value lines, each closed by a line end, go in a key's block:
// there they are made as the file's ending needs them (only the file's last
// line can lack a line end; after such a line they give it one, and the
// last of them goes without).
size_t regPlaceNewLines(const RegFileData& d, size_t block, std::string* lines);
// The path to write in a new header: the part that exists already keeps the
// case in which it was first written.
std::u16string regDisplayPath(const RegFileData& d, std::u16string_view keyPath);
// Appends a header and the value lines (joined by "\n", as
// regTextFormatValue gives them) as a new block at the end of the file; it
// ends with a line end when the file's last line has one, unless
// lineEndAtEnd (0 or 1) says otherwise.
bool regAppendKeyBlock(RegFileData* d, std::u16string_view keyPath, std::u16string_view values,
                       int lineEndAtEnd = -1);
// The text of the first line (after a byte-order mark), decoded.
std::u16string regFirstLine(const RegFileData& d);
// True when that line is an export's header line.
bool regOpensAsExport(const RegFileData& d);
// True when the file holds no key line (a header or a deletion) of a root
// key ("[HKEY_...") and does not open with an export's header line, yet
// holds a line that is not blank: it reads as no export at all.
bool regLacksExportMarks(const RegFileData& d);

// True when no line of the file holds more than blanks.
bool regHoldsOnlyBlankLines(const RegFileData& d);

// A file without any content (an empty registry.reg), which the first
// change turns into a new registry.
bool regIsEmptyFile(const RegFileData& d);
void regBecomeNew(RegFileData* d);
// A file of blank lines alone (or a byte-order mark) is an empty registry
// too; its first change puts the header line first, in the file's own
// encoding and line ends, so that it stays an export.
bool regNeedsHeader(const RegFileData& d);
void regGiveHeader(RegFileData* d);

}  // namespace ce::posix
