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
// A RegFile holds the file's bytes in one buffer and an index of its key
// headers, built in one pass; values are read from the buffer when asked
// for.  A change splices the buffer in place, so writing the file is
// writing the buffer.  Its inside is the registry folder's own.
//
// Key paths are full paths with their root, as in a header:
// u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome".  The default value is
// the empty name.  The operations that only the device tool needs
// (deletions, import, listings) are in reg_file_tool.h.
//
// Typical use (parse bytes, edit, serialize):
//   ce::posix::RegFile reg = ce::posix::regFileParse(bytes);
//   ce::posix::RegValueData v;
//   if (ce::posix::regFileGetValue(reg, u"HKEY_CURRENT_USER\\SOFTWARE\\QORV",
//                                  u"ErrorNumber", &v)) { ... v.type, v.bytes ... }
//   ce::posix::regFileSetValue(&reg, key, u"Name", 4, data, 4);
//   std::string_view out = ce::posix::regFileBytes(reg);
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
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

// A file's bytes.  Growing the buffer leaves the new bytes as they are,
// where a string zeroes them first: a registry of megabytes is read
// straight into it, and zeroing it first is one more pass over every byte.
template <typename T>
struct RegUninitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = RegUninitAllocator<U>;
    };
    RegUninitAllocator() = default;
    template <typename U>
    RegUninitAllocator(const RegUninitAllocator<U>&) noexcept {}
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(at)) U;
        else
            ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
using RegBytes = std::vector<char, RegUninitAllocator<char>>;

struct RegFileData;  // reg_file_data.h

// A parsed file.  Copies are deep; a moved-from file is empty.
struct RegFile {
    RegFile();
    ~RegFile();
    RegFile(const RegFile& other);
    RegFile(RegFile&& other) noexcept;
    RegFile& operator=(const RegFile& other);
    RegFile& operator=(RegFile&& other) noexcept;
    std::unique_ptr<RegFileData> data;
};

// Reads a file's bytes.  Never fails: whatever is not understood is kept.
RegFile regFileParse(std::string_view bytes);
// The same, taking the bytes over without a copy.
RegFile regFileParseOwned(RegBytes&& bytes);

// The empty registry of a new device: UTF-16LE with a byte-order mark, CRLF,
// the header line and a blank line.
RegFile regFileNew();

// The bytes of the file: the input unchanged when nothing was changed.
// Valid until the file changes.
std::string_view regFileBytes(const RegFile& file);
std::string regFileSerialize(const RegFile& file);

// How the file's bytes are laid out: its encoding, the byte-order mark
// before its lines and the trailer after them (a DOS end-of-file byte, an
// odd byte of UTF-16).
struct RegFileLayout {
    bool utf16 = false;
    size_t bomSize = 0;
    size_t trailerSize = 0;
};
RegFileLayout regFileLayout(const RegFile& file);

// Counts the changes made since the file was read; a change that leaves
// every byte as it was does not count.
size_t regFileRevision(const RegFile& file);

// What makes the file no registry export ("UTF-16 big-endian, ..."), or ""
// when it is one: an encoding the reader does not know, or neither an
// export's header line ("Windows Registry Editor Version 5.00",
// "REGEDIT4") nor any key line of a root key ("[HKEY_...") in a file that
// holds more than blank lines.
std::string regFileNotAnExport(const RegFile& file);

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath);

// The current data of a value; false when the value or its key does not exist.
bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out);

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

}  // namespace ce::posix
