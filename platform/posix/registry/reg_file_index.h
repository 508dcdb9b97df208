// The inside of the registry file model (reg_file.h), shared by its reading
// and its editing half: the bytes of a block and its lines, key paths and
// their hashes, and finding a key or a value through the block index.
//
// A block's bytes are fetched whole into a cursor that hands out one
// physical line at a time.  Offsets are counted in bytes from the block's
// start.  Headers are found by the hash of their path's last part and then compared
// as text, so a hash that happens to match a different path is never taken.
// A key that has no header of its own but a subkey's is found by reading
// the headers one by one, which only a key opened without a header of its
// own (or not there at all) costs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/reg_file.h"

namespace ce::posix {

// Where a block read from the file ends in the source (a block added by a
// change has an empty source range).
size_t regBlockSourceEnd(const RegFile& f, size_t block);

// The edit of a block, or nullptr when the block is as read.
const RegBlockEdit* regFindEdit(const RegFile& f, size_t block);

// The bytes of a block: read from the source, or put together from its
// edit's pieces.  Appended to *out.  A block read lately comes from the
// file's cache; a change of a block forgets it there.
void regBlockBytes(const RegFile& f, size_t block, std::string* out);
void regForgetCachedBlock(const RegFile& f, size_t block);

// Reads a source front to back through a window that moves forward (and
// grows for a long line) as it is asked for later bytes; for walks over
// many blocks.
struct RegReader {
    const RegSource* source = nullptr;
    size_t start = 0;  // source offset of window[0]
    std::string window;
};
// The source bytes [offset, offset + size), shorter at the source's end.
// Valid until the next call.
std::string_view regReaderView(RegReader& r, size_t offset, size_t size);

// One physical line of a block.
struct RegLine {
    size_t at = 0;           // offset of its first byte in the block
    std::string_view bytes;  // without the line end
    size_t eolSize = 0;      // bytes of the line end; 0 for a last line without one
};

// Walks the lines of one block, whose bytes it holds.
struct RegLineCursor {
    bool utf16 = false;
    std::string bytes;
    size_t pos = 0;
};

RegLineCursor regLineCursor(const RegFile& f, size_t block);
// The same for a walk over many blocks in file order, through the reader.
RegLineCursor regLineCursorVia(const RegFile& f, size_t block, RegReader* reader);
// The next line; false after the last.  Its bytes stay valid while the
// cursor lives.
bool regNextLine(RegLineCursor& c, RegLine* line);

// The text of a line's bytes.  A UTF-8 line that is not valid UTF-8 (an
// 8-bit REGEDIT4 file, say) is read byte by byte as Latin-1.
void regLineText(bool utf16, std::string_view bytes, std::u16string* text);

// A logical line: one physical line, or a value line joined with its
// continuation lines (their closing backslashes removed).
struct RegLogical {
    size_t at = 0;          // block offset of the first line
    size_t contentEnd = 0;  // block offset after the last line's text
    size_t end = 0;         // block offset after the last line's end
    bool blankOrComment = false;
    bool valueLike = false;  // opens with '"' or '@'
    std::u16string text;
};
bool regNextLogical(RegLineCursor& c, RegLogical* entry);

// The next value line of the block that is understood: its name, whether it
// is a deletion ("Name"=-) and its data.  Other lines, and value lines that
// are not understood, are passed over.  False after the last.
bool regNextValue(RegLineCursor& c, RegLogical* entry, std::u16string* name, bool* deletion,
                  RegValueData* data);

// The position of `unit` units of a line end; npos when none.
size_t regFindLineFeed(std::string_view bytes, size_t from, bool utf16);

// The hash a block keeps of its header's path: that of the path's last
// part, folded.  Fed one unit at a time from kRegNameHashStart.  A block
// whose hash agrees is compared as text before it counts.
constexpr uint32_t kRegNameHashStart = 2166136261u;
inline uint32_t regNameHashUnit(uint32_t h, char16_t c) {
    return (h ^ c) * 16777619u;
}
uint32_t regNameHash(std::u16string_view foldedPart);

// A key path folded, with the hash of each of its parts, in order.
struct RegKeyPath {
    std::u16string folded;
    std::vector<uint32_t> parts;
};

// False for a path without any component.
bool regKeyPath(std::u16string_view path, RegKeyPath* out);

// The hash of the last part of a folded path.
uint32_t regLastPartHash(std::u16string_view folded);

// True when key is base or lies below it (folded paths).
bool regPathIsSameOrBelow(std::u16string_view key, std::u16string_view base);

// The path of a Key or DeleteKey block's header, as written.  A walk over
// many blocks passes a reader; nullptr reads the header alone.
bool regBlockHeaderPath(const RegFile& f, size_t block, std::u16string* path,
                        RegReader* reader = nullptr);

// The last DeleteKey block that removes the key (or a key above it), or -1.
ptrdiff_t regLastDeletion(const RegFile& f, const RegKeyPath& key);

struct RegKeyState {
    bool exists = false;
    ptrdiff_t lastHeader = -1;    // the key's last header block after its last deletion
    ptrdiff_t lastDeletion = -1;  // the last deletion of the key or a key above it
};
RegKeyState regFindKey(const RegFile& f, const RegKeyPath& key);

// True when block b is a Key header of exactly this path, or a DeleteKey of
// this path or one above it.  Only the headers after the key's last
// deletion count for it.
bool regBlockIsKey(const RegFile& f, size_t block, const RegKeyPath& key);
bool regBlockDeletesKey(const RegFile& f, size_t block, const RegKeyPath& key);

// The logical line that gives a value its current data.
struct RegValueSpot {
    size_t block = 0;
    size_t at = 0;
    size_t contentEnd = 0;
    size_t end = 0;       // after the last line's end
    std::u16string name;  // as written
    RegValueData data;
};
bool regFindValue(const RegFile& f, const RegKeyPath& key, std::u16string_view foldedName,
                  RegValueSpot* spot);

}  // namespace ce::posix
