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
// Every lookup reads the file from its start, so lookups may come in any
// order.  The reader never writes the file.
#pragma once

#include <cstddef>

#include "menu/menu_lines.h"
#include "platform/ui.h"

namespace vantrelo {

namespace ui = ce::ui;

constexpr size_t kIniValueChars = 512;  // result buffer, terminator included
constexpr size_t kIniKeyChars = 256;    // key with "=" and terminator: keys up to 254

class IniReader {
public:
    IniReader() = default;
    ~IniReader() { Close(); }
    IniReader(const IniReader&) = delete;
    IniReader& operator=(const IniReader&) = delete;

    // Opens the file at path (see ui::programFileOpen).  False when it
    // cannot be read; the reader then answers every lookup with its default.
    bool Open(const char16_t* path);

    // Reads the bytes of any source instead of a file.  False when the
    // source cannot be rewound.
    bool OpenSource(const ByteSource& source);

    // The value of key in section, or def when there is none (also when the
    // reader is not open).  The result lives in the reader and is valid
    // until the next GetValue or Close.  A default longer than the result
    // buffer gives the empty string; a key longer than 254 characters is
    // never found.
    const char16_t* GetValue(const char16_t* section, const char16_t* key, const char16_t* def);

    // Closes the file; the reader stays usable and is no longer open.
    void Close();

    bool IsOpen() const { return open_; }

private:
    ui::ProgramFile file_ = nullptr;
    bool open_ = false;
    MenuLineReader lines_;
    char16_t value_[kIniValueChars] = {};
};

}  // namespace vantrelo
