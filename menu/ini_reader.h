// IniReader: looks up single values in the menu file.
//
// The rules are deliberately simple and exact, because menu files written
// for the device rely on them:
// - a line whose first character is "[" is a section header; it selects
//   the wanted section when the section name occurs anywhere in it
//   (case-sensitive), and every header decides anew;
// - inside the section, an entry is a line that starts with the key
//   followed directly by "=";
// - the value skips any further "=", CR and LF after the key's "=" and
//   runs up to the next "=", CR, LF or the end of the line;
// - lines are read in pieces of at most 254 characters, each piece a line
//   of its own;
// - the first matching line in the file decides.
// The file is read once, when the reader is opened, and closed again at
// once; every lookup goes through the bytes held in memory from their
// start, so lookups may come in any order and all of them see the file as
// it was when it was opened.  The reader never writes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "menu/menu_lines.h"

namespace vantrelo {

constexpr size_t kIniValueChars = 512;  // result buffer, terminator included
constexpr size_t kIniKeyChars = 256;    // key with "=" and terminator: keys up to 254
// A menu file holds a few dozen short lines; a larger file than this is
// refused rather than taken whole into the device's small memory.
constexpr size_t kMaxMenuFileBytes = 1024 * 1024;

class IniReader {
public:
    IniReader() = default;
    IniReader(const IniReader&) = delete;
    IniReader& operator=(const IniReader&) = delete;

    // Reads the file at path (see ui::programFileOpen) into the reader.
    // False when it cannot be opened, or is refused with a diagnostic
    // (larger than kMaxMenuFileBytes, or UTF-16 big-endian); the reader then
    // answers every lookup with its default.  A read that fails part-way
    // keeps what was read before it.
    bool open(const char16_t* path);

    // Takes a copy of size bytes of menu text held by the caller, as if
    // they had been read from a file.
    bool openBytes(const uint8_t* data, size_t size);

    // The value of key in section, or def when there is none (also when the
    // reader is not open).  The result lives in the reader and is valid
    // until the next getValue or close.  A default longer than the result
    // buffer gives the empty string; a key longer than 254 characters is
    // never found.
    const char16_t* getValue(const char16_t* section, const char16_t* key, const char16_t* def);

    // True when the last value found went on past the piece its key stood
    // in (a line longer than kMenuLinePieceChars): what getValue gave is
    // only its start.
    bool valueCut() const { return cut_; }

    // Lets go of the text; the reader stays usable and is no longer open.
    void close();

    bool isOpen() const { return open_; }

private:
    std::string bytes_;  // the whole menu file
    bool open_ = false;
    bool cut_ = false;
    char16_t value_[kIniValueChars] = {};
};

}  // namespace vantrelo
