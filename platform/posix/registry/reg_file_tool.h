// The operations on a registry export that only the device tool needs:
// deleting values and keys, importing an export, and listing what a file
// holds.  They live in a library of their own (ce_posix_registry_tool),
// which the three programs do not link.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/reg_file.h"

namespace ce::posix {

// The full name ("HKEY_LOCAL_MACHINE") of a root a device's registry has,
// given in full or in its short form ("HKLM"), in any case; nullptr for any
// other name.  *shortForm (when not null) tells which form it was.  An
// export spells roots in full; the device tool's command line takes both.
const char16_t* regDeviceRoot(std::u16string_view root, bool* shortForm = nullptr);

// Removes the lines that give the value its data (and any earlier lines of
// it that would show through), so that it no longer exists.  False when it
// did not exist; the file is then unchanged.
bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name);

// Removes the key with all its subkeys and values: the blocks of their
// headers, with the blank lines after them.  A key above that existed only
// through them keeps a header of its own.  False when the key did not
// exist; the file is then unchanged.
bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath);

// Where an export is malformed: its line (counted from 1) and what is wrong.
struct RegExportFault {
    size_t line = 0;
    std::string what;
};

// Checks an export whole: a header line first, then only key headers of
// a device's roots, deletions of keys below a root, value lines understood
// and inside a key, comments and blank lines, and no character cut off at
// the end.
bool regCheckExport(const RegFile& source, RegExportFault* fault);

// Applies an export to the registry as the registry editor imports it,
// top to bottom: a header creates its key, "[-KEY]" deletes a key, a value
// line sets the value of the key above it, "Name"=- deletes it.  The export
// is read once: with `fault`, it is checked as regCheckExport checks it
// while it is read, and a malformed one gives false with *fault set;
// without, it must have been checked.  A deletion of a key takes what the
// lines above it made, in the export and in the registry, as it is met;
// the registry then loses the blocks taken in one rebuild and takes the
// rest in one more.  The work is linear in both files' sizes (and in the
// logarithm of their key counts, for the deletions).
// False too when a key or value that the import leaves in the registry
// cannot be written into this file (its encoding; one that a later
// deletion in the export takes away is never written); with `fault`, its
// line is named then, unless a malformed line anywhere is.  After false the file is partly changed,
// and the caller drops it.
bool regFileImport(RegFile* file, const RegFile& source, RegExportFault* fault = nullptr);

// A key as it stands: its path as first written and its values, in the
// order of their first appearance, each with its name as first written.
struct RegKeyContents {
    std::u16string path;
    std::vector<std::u16string> names;
    std::vector<RegValueData> data;
};

// The listings and the import read files of up to 1 GiB (as the registry
// store does): a larger one lists as empty, and an import into or of one
// fails.
//
// Every key that has a header of its own and exists, in the order of its
// first header, with its values: the whole registry in one pass (a key
// that exists only through a subkey's header has no entry, unless a
// deletion took every such subkey: then it has one, at the deletion).
std::vector<RegKeyContents> regFileContents(const RegFile& file);

// What an export cannot hold, so that the device tool imports whatever it
// exports: a key (name empty; left out with its values) whose path has no
// UTF-8 form (a lone surrogate) or holds a line break or a NUL character,
// or that lies below a root the device does not have (one spelt in short,
// "HKCU", is none); a value whose name has no UTF-8 form or holds one of
// those characters.  `reason` says which, for the user.
struct RegLeftOut {
    std::u16string key;
    std::u16string name;
    std::string reason;
};

// The registry, or the key (when keyPath is not empty) with its subkeys, as
// an export in UTF-8 with LF line ends, appended to *out: the header line,
// then each key as regFileContents lists it, after a blank line.  What it
// cannot hold is left out and listed in *leftOut.
void regFileExport(const RegFile& file, std::u16string_view keyPath, std::string* out,
                   std::vector<RegLeftOut>* leftOut);

// The names of the key's values, as in regFileContents.
std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath);

// The paths of the key headers, as written, in file order (deletions left out).
std::vector<std::u16string> regFileHeaderPaths(const RegFile& file);

}  // namespace ce::posix
