// A registry export file (.reg), read and edited in place.
//
// The emulated device keeps its registry in one such file, and people edit
// it by hand or import it into a real registry, so every byte that a change
// does not concern must survive: the file serializes back to exactly the
// input when nothing changed, and a change rewrites only the lines of the
// values it writes.
//
// Reading follows the registry editor's import, top to bottom:
//   - a key exists once its header, or the header of a key below it, has
//     appeared and no later "[-KEY]" (which removes the key and its subkeys)
//     took it away; a header repeated further down is the same key;
//   - "Name"=- removes a value; a later line for the same value wins;
//   - key paths and value names compare without regard to case.
// The reader is as lenient as the registry editor: UTF-16LE with a
// byte-order mark or UTF-8 with or without one, CRLF or LF, a REGEDIT4 or
// "Windows Registry Editor Version 5.00" header, blanks around "=",
// lower-case root names, a DOS end-of-file byte (0x1A) at the end, no line
// end after the last line, data continued with a trailing backslash,
// comments after ";", backslashes in a quoted string that escape nothing
// (kept as they are), dword data with leading zeros ("dword:0ffffffff").
// Lines it does not understand are ignored and kept byte for byte.
//
// How it is held.  A device's registry runs to megabytes, and most of it is
// never looked at by a run, so the parsed form refers to the file's bytes
// by their offsets and copies none of them: it keeps the bytes it was given
// (regFileParse), or an open file that it reads when asked
// (regFileParseOpenFile).  It indexes only the file's blocks: a block is a
// line whose text opens with "[" (a key's header, a key's deletion, or a
// broken header that ends the key before it) together with the lines below
// it up to the next such line; block 0 holds the lines before the first
// one.  No value line and no continuation line can open with "[", so a
// key's values always lie inside its blocks, and they are read from there
// when asked for.  A change replaces or inserts whole lines of one block,
// which from then on is held as pieces: stretches of the source and the new
// lines' own text.  A new key is a new block at the end.
//
// Key paths are full paths with their root, as in a header:
// u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome".  The default value is
// the empty name.
//
// Typical use (parse bytes, edit, serialize):
//   ce::posix::RegFile reg = ce::posix::regFileParse(bytes);
//   ce::posix::RegValueData v;
//   if (ce::posix::regFileGetValue(reg, u"HKEY_CURRENT_USER\\SOFTWARE\\QORV",
//                                  u"ErrorNumber", &v)) { ... v.type, v.bytes ... }
//   ce::posix::regFileSetValue(&reg, key, u"Name", 4, data, 4);
//   std::string out = ce::posix::regFileSerialize(reg);
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ce::posix {

// The header a new registry file begins with (followed by a blank line).
constexpr char16_t kRegFileHeader[] = u"Windows Registry Editor Version 5.00";
// Continued hex data is broken before a line would reach this many
// characters, as exports do.
constexpr size_t kRegHexLineLimit = 77;
// A file is indexed in chunks of this many bytes (a longer line is read
// whole all the same).
constexpr size_t kRegIndexChunkBytes = 64 * 1024;

// Value data as the device stores it.  A quoted string is REG_SZ (1) holding
// the UTF-16LE text and a NUL terminator; dword: is REG_DWORD (4), 4 bytes
// little-endian; hex: is REG_BINARY (3); hex(N): is type N (N in hex).
struct RegValueData {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

enum class RegBlockKind : uint8_t {
    Start,      // the lines before the first header
    Key,        // [KEY]
    DeleteKey,  // [-KEY]
    BrokenKey,  // a line opening with "[" that is no header
    Removed,    // a key's block whose header a deletion took away (blank lines
                // and comments may remain; they belong to no key)
};

// Where a parsed file's bytes are: bytes held in memory, or an open file
// read on demand through readAt (closed when the last copy of the parsed
// file goes).  The file's owner supplies the descriptor and its reader, so
// that this model makes no system call of its own.
struct RegSource {
    std::shared_ptr<const std::string> bytes;
    std::shared_ptr<const int> fd;
    // Reads up to size bytes of fd at offset, going on after short reads;
    // the count read or -1.
    ssize_t (*readAt)(int fd, void* buf, size_t size, off_t offset) = nullptr;
    size_t size = 0;
};

// Appends the source's bytes [offset, offset + size) to *out; false when
// they could not all be read (the file shrank, say).
bool regSourceRead(const RegSource& source, size_t offset, size_t size, std::string* out);
// The same into dst; returns the number of bytes read.
size_t regSourceReadInto(const RegSource& source, size_t offset, char* dst, size_t size);

// A stretch of a changed block: bytes of the source, or new text.
struct RegPiece {
    bool own = false;  // the bytes are `text`, else source[offset, offset + size)
    size_t offset = 0;
    size_t size = 0;
    std::string text;
};

// A block whose lines changed, as the pieces it now consists of.
struct RegBlockEdit {
    size_t block = 0;
    std::vector<RegPiece> pieces;
};

// A block read lately, kept so that the keys a run works on are read from
// the file once.
struct RegCachedBlock {
    size_t block = static_cast<size_t>(-1);
    std::string bytes;
};
constexpr size_t kRegCachedBlocks = 4;
constexpr size_t kRegCachedBlockMaxBytes = 64 * 1024;

struct RegFile {
    bool utf16 = false;    // UTF-16LE, else UTF-8
    std::string bom;       // byte-order mark as read ("" when none)
    std::string eolStyle;  // line end given to added lines, in the file's encoding
    std::string trailer;   // bytes after the last line: the DOS end-of-file byte, an odd byte
    RegSource source;      // the bytes read
    size_t bodyEnd = 0;    // the lines are source[bom.size(), bodyEnd)

    // The blocks, in file order.  A block that was read spans source from
    // its start to the next block's start (the last one to bodyEnd); a block
    // added by a change starts at bodyEnd and lies wholly in its edit.
    std::vector<size_t> blockStart;
    std::vector<RegBlockKind> blockKind;
    std::vector<uint32_t> blockName;  // Key, DeleteKey: hash of the path's last part, folded
    std::vector<size_t> deletions;    // the DeleteKey blocks, in order
    std::vector<RegBlockEdit> edits;  // the changed blocks, by block index

    // Counts the changes made since the file was read.
    size_t revision = 0;

    // Blocks read lately (a block's bytes as they are now); an entry goes
    // when its block changes.
    mutable RegCachedBlock cache[kRegCachedBlocks];
    mutable size_t cacheNext = 0;
};

// Reads a file's bytes.  Never fails: whatever is not understood is kept.
RegFile regFileParse(std::string_view bytes);

// Reads the open regular file fd of `size` bytes through readAt and keeps
// both to read its blocks later; fd closes when the last copy of the
// parsed file goes.  *ok is false when it could not be read whole.
RegFile regFileParseOpenFile(std::shared_ptr<const int> fd,
                             ssize_t (*readAt)(int fd, void* buf, size_t size, off_t offset),
                             size_t size, bool* ok);

// The empty registry of a new device: UTF-16LE with a byte-order mark, CRLF,
// the header line and a blank line.
RegFile regFileNew();

// The file's bytes as a few stretches in order: new text (views into the
// file, valid until it changes) or stretches of the source, so that a large
// file can be written out without being read into memory.
struct RegSpan {
    std::string_view text;  // when !fromSource
    bool fromSource = false;
    size_t offset = 0;  // when fromSource: source[offset, offset + size)
    size_t size = 0;
};
std::vector<RegSpan> regFileSpans(const RegFile& file);

// The bytes of the file: the input unchanged when nothing was changed.
std::string regFileSerialize(const RegFile& file);

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath);

// The current data of a value; false when the value or its key does not exist.
bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out);

// The names of the key's values that exist, as first written, in the order of
// their first appearance.
std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath);

// The paths of the key headers, as written, in file order (deletions left out).
std::vector<std::u16string> regFileHeaderPaths(const RegFile& file);

// The text of the file's first line (after a byte-order mark), decoded.
std::u16string regFileFirstLine(const RegFile& file);

// What makes the file no registry export ("UTF-16 big-endian, ..."), or ""
// when it is one: an encoding the reader does not know, or neither an
// export's header line ("Windows Registry Editor Version 5.00",
// "REGEDIT4") nor any key line in a file that holds more than blank lines.
std::string regFileNotAnExport(const RegFile& file);

// True when regFileSetValue would take the value: the key path and the name
// can stand in a header and a value line of this file.  The key's existence
// is not looked at.
bool regFileCanSetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                        uint32_t type, const uint8_t* data, size_t size);

// True when regFileCreateKey would take the key path: it can stand in a
// header of this file.
bool regFileCanCreateKey(const RegFile& file, std::u16string_view keyPath);

// Writes a value.  An existing value's lines (continuation lines included)
// are replaced in place; a new value goes at the end of its key's last
// block; a key without a header gets one at the end of the file.  False (the
// file unchanged) when the key path or name cannot be written in a header or
// a value line (a line break, an empty path, a name with no form in the
// file's encoding).  A value written with the text it has already leaves
// the file as it was (and its revision too).
bool regFileSetValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name,
                     uint32_t type, const uint8_t* data, size_t size);

// Gives the key a header at the end of the file unless it exists already.
// *created (when not null) tells whether the file changed.  False as for
// regFileSetValue.
bool regFileCreateKey(RegFile* file, std::u16string_view keyPath, bool* created);

// A key as it stands: its path as first written and its values, in the
// order of regFileValueNames.
struct RegKeyContents {
    std::u16string path;
    std::vector<std::u16string> names;
    std::vector<RegValueData> data;
};

// Every key that has a header of its own and exists, in the order of its
// first header, with its values: the whole registry in one pass (a key
// that exists only through a subkey's header has no entry).
std::vector<RegKeyContents> regFileContents(const RegFile& file);

// Removes the lines that give the value its data (and any earlier lines of
// it that would show through), so that it no longer exists.  False when it
// did not exist; the file is then unchanged.
bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name);

// Removes the key with all its subkeys and values: the blocks of their
// headers, with the blank lines after them.  False when the key did not
// exist; the file is then unchanged.
bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath);

// Applies an export to the registry as the registry editor imports it, top
// to bottom: a header creates its key, "[-KEY]" deletes a key, a value line
// sets the value of the key above it, "Name"=- deletes it.  Lines it does
// not understand are skipped.  *changes (when not null) receives the
// number of keys and values set or deleted.  False (the file then partly
// changed) when a key or value cannot be written into the file.
bool regFileImport(RegFile* file, const RegFile& source, size_t* changes);

}  // namespace ce::posix
