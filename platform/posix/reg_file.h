// A registry export file (.reg) held as the lines it was read from.
//
// The emulated device keeps its registry in one such file, and people edit
// it by hand or import it into a real registry, so every byte that a change
// does not concern must survive: a RegFile keeps each line's bytes and its
// line end, and serializes back to exactly the input when nothing changed.
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
// Key paths are full paths with their root, as in a header:
// u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome".  The default value is
// the empty name.
//
// Typical use (a test reading an export):
//   ce::posix::RegFile reg = ce::posix::regFileParse(bytes);
//   ce::posix::RegValueData v;
//   if (ce::posix::regFileGetValue(reg, u"HKEY_CURRENT_USER\\SOFTWARE\\QORV",
//                                  u"ErrorNumber", &v)) { ... v.type, v.bytes ... }
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ce::posix {

// The header a new registry file begins with (followed by a blank line).
constexpr char16_t kRegFileHeader[] = u"Windows Registry Editor Version 5.00";
// Continued hex data is broken before a line would reach this many
// characters, as exports do.
constexpr size_t kRegHexLineLimit = 77;

// Value data as the device stores it.  A quoted string is REG_SZ (1) holding
// the UTF-16LE text and a NUL terminator; dword: is REG_DWORD (4), 4 bytes
// little-endian; hex: is REG_BINARY (3); hex(N): is type N (N in hex).
struct RegValueData {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// One physical line: its bytes in the file's encoding, without the line
// end, and the line end as read ("" after the last line when the file has
// none there).
struct RegFileLine {
    std::string bytes;
    std::string eol;
    std::u16string text;  // the line decoded, for reading only
};

enum class RegEntryKind {
    Other,        // blank, comment, header line or a line not understood
    Key,          // [KEY]
    DeleteKey,    // [-KEY]
    BrokenKey,    // a line opening with "[" that is no header: ends the current key
    Value,        // "Name"=data or @=data
    DeleteValue,  // "Name"=-
};

// One logical line (a value may span continuation lines).
struct RegEntry {
    RegEntryKind kind = RegEntryKind::Other;
    size_t firstLine = 0;
    size_t lastLine = 0;      // inclusive
    std::u16string path;      // Key/DeleteKey: as written
    std::u16string folded;    // Key/DeleteKey: the path compared; Value*: the name compared
    std::u16string name;      // Value/DeleteValue: as written (unescaped)
    ptrdiff_t keyEntry = -1;  // Value/DeleteValue: index of the Key entry it lies under
    RegValueData data;        // Value
};

struct RegFile {
    bool utf16 = false;    // UTF-16LE, else UTF-8
    std::string bom;       // byte-order mark as read ("" when none)
    std::string eolStyle;  // line end given to added lines, in the file's encoding
    std::vector<RegFileLine> lines;
    std::string trailer;  // bytes after the last line: the DOS end-of-file byte, an odd byte
    std::vector<RegEntry> entries;  // derived from lines
};

// Reads a file's bytes.  Never fails: whatever is not understood is kept.
RegFile regFileParse(std::string_view bytes);

// The empty registry of a new device: UTF-16LE with a byte-order mark, CRLF,
// the header line and a blank line.
RegFile regFileNew();

// The bytes of the file: the input unchanged when nothing was changed.
std::string regFileSerialize(const RegFile& file);

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath);

// The current data of a value; false when the value or its key does not exist.
bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out);

// The names of the key's values that exist, as first written, in the order of
// their first appearance.
std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath);

// Writes a value.  An existing value's lines (continuation lines included)
// are replaced in place; a new value goes at the end of its key's last
// block; a key without a header gets one at the end of the file.  False (the
// file unchanged) when the key path or name cannot be written in a header or
// a value line (a line break, an empty path, a name with no form in the
// file's encoding).
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
