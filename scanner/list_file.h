// The list file read by the launcher plugin: three lines per shortcut,
//
//   [<number>]
//   datei=<display name>
//   dir=<directory relative to the root><backslash>
//
// each ended by a line feed, encoded as UTF-8 on every backend (a lone
// surrogate in a name becomes U+FFFD, see ce::utf8FromU16).
//
// The list is written to a temporary file beside the list file and renamed
// over it once complete, so a reader never sees half a list and a failed or
// interrupted run leaves the earlier list whole.  The temporary file is
// the run's alone until it has taken the list's place: a run that goes
// ahead without the run lock waits for another run's, so it can never put
// that run's half list in place.  Output goes through a buffer; writes are
// made in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zandoval {

// Appended to the list file's name to name its temporary file.
constexpr char16_t kListTempSuffix[] = u".zandoval-tmp";
// The longest file name, in bytes of UTF-8, that every file system the
// programs run on takes (a name's 255 UTF-16 units on the device, 255 bytes
// on a PC).  A list file's name too long to take the suffix within it is
// cut for its temporary file, so that any list file a folder can hold can
// be written.
constexpr size_t kListTempNameBytes = 255;

// The name of the temporary file of the list file named `name` (its last
// path part): the name and the suffix, the name cut short when both would
// be longer than kListTempNameBytes.
std::u16string listTempName(std::u16string_view name);

// Where the list file at `path` (a device path) is written before it takes
// that name: beside it, named by listTempName.
std::u16string listTempPath(std::u16string_view path);

// Where the name of the file at a device path begins: after its last
// separator ('\\' or '/').
size_t fileNameStart(std::u16string_view path);

// Size of the output buffer in bytes.
constexpr size_t kListBufferBytes = 64 * 1024;

struct ListFile {
    ce::File file = nullptr;
    std::u16string path;      // the list file itself
    std::u16string tempPath;  // where the new list is written
    bool writeFailed = false;
    size_t used = 0;
    char buffer[kListBufferBytes];
};

// Creates (or empties) the temporary file for a new list at path.  False
// when path is empty or the temporary file cannot be created; nothing is
// written then.
bool listFileOpen(ListFile& list, const char16_t* path);

// Writes the three lines of one shortcut.  relativeDir is the holding
// directory with the root removed from its front; the closing backslash is
// added here.  Lines are written whole whatever their length.
void listFileWriteEntry(ListFile& list, uint32_t number, const char16_t* displayName,
                        size_t displayLength, const char16_t* relativeDir, size_t relativeLength);

// Flushes and closes the temporary file and renames it over the list file.
// False, with the temporary file removed and the earlier list untouched,
// when any write, the close or the rename failed; writeFailed then tells
// whether the list was not written whole (else it could not take the list
// file's place).
bool listFileCommit(ListFile& list);

}  // namespace zandoval
