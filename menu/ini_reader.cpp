#include "menu/ini_reader.h"

#include <string>

#include "platform/platform.h"
#include "platform/ui.h"
#include "platform/wstr.h"

namespace vantrelo {

namespace {

namespace ui = ce::ui;

// Bytes asked of the file per read while it is taken in whole.
constexpr size_t kReadChunkBytes = 4096;

// Appends every byte of file to bytes, up to its end or a failed read;
// false when it holds more than kMaxMenuFileBytes.
bool readWholeProgramFile(ui::ProgramFile file, std::string* bytes) {
    for (;;) {
        const size_t have = bytes->size();
        bytes->resize(have + kReadChunkBytes);
        const size_t got = ui::programFileRead(file, bytes->data() + have, kReadChunkBytes);
        bytes->resize(have + got);
        if (got == 0)
            return true;
        if (bytes->size() > kMaxMenuFileBytes)
            return false;
    }
}

bool isValueEnd(char16_t c) {
    return c == u'=' || c == u'\r' || c == u'\n' || c == 0;
}

bool startsWith(const char16_t* text, const char16_t* prefix) {
    while (*prefix != 0) {
        if (*text++ != *prefix++)
            return false;
    }
    return true;
}

// Says why the menu file at path shows no menu.  The name alone: the path
// is in the launcher's own form, which is not the host's on every backend.
void refuseMenuFile(const char16_t* path, const char16_t* why) {
    const std::u16string_view given(path);
    const std::u16string_view name = given.substr(given.find_last_of(u'\\') + 1);
    ce::diagnostic(
        (u"the menu file " + std::u16string(name) + u" beside the program " + why).c_str());
}

bool isUtf16BigEndian(const std::string& bytes) {
    MenuLineReader lines;
    menuLinesStart(lines, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return lines.encoding == MenuEncoding::Utf16Be;
}

}  // namespace

bool IniReader::open(const char16_t* path) {
    close();
    ui::ProgramFile file = ui::programFileOpen(path);
    if (file == nullptr)
        return false;
    const bool whole = readWholeProgramFile(file, &bytes_);
    ui::programFileClose(file);
    if (!whole) {
        bytes_.clear();
        refuseMenuFile(path, u"is larger than 1 MB, too large for a menu; no menu is shown");
        return false;
    }
    // Such a file gives no line that a lookup could match: no entry, and
    // without this, no word of why.
    if (isUtf16BigEndian(bytes_)) {
        bytes_.clear();
        refuseMenuFile(path,
                       u"is UTF-16 big-endian, which is not read: save it as UTF-16LE or "
                       u"UTF-8; no menu is shown");
        return false;
    }
    open_ = true;
    return true;
}

bool IniReader::openBytes(const uint8_t* data, size_t size) {
    close();
    if (data != nullptr)
        bytes_.assign(reinterpret_cast<const char*>(data), size);
    open_ = true;
    return true;
}

const char16_t* IniReader::getValue(const char16_t* section, const char16_t* key,
                                    const char16_t* def) {
    ce::u16copy(value_, kIniValueChars, def);
    cut_ = false;

    char16_t prefix[kIniKeyChars];
    if (!ce::u16copy(prefix, kIniKeyChars, key) || !ce::u16append(prefix, kIniKeyChars, u"=")) {
        return value_;
    }
    if (!open_)
        return value_;

    MenuLineReader lines;
    menuLinesStart(lines, reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size());
    const size_t prefixLen = ce::u16len(prefix);
    char16_t line[kMenuLineChars];
    bool inSection = false;
    while (menuLinesNext(lines, line, kMenuLineChars)) {
        if (line[0] == u'[') {
            inSection = ce::u16str(line, section) != nullptr;
            continue;
        }
        if (!inSection || !startsWith(line, prefix))
            continue;

        const char16_t* p = line + prefixLen;
        while (*p == u'=' || *p == u'\r' || *p == u'\n')
            ++p;
        size_t n = 0;
        while (!isValueEnd(p[n]))
            ++n;
        // A piece is shorter than the result buffer, so the copy always fits.
        if (n > 0)
            ce::u16copyN(value_, kIniValueChars, p, n);
        // A value that fills its piece to the end goes on in the next one
        // unless that begins with what ends a value.
        if (p[n] == 0 && ce::u16len(line) == kMenuLinePieceChars) {
            char16_t next[kMenuLineChars];
            cut_ = menuLinesNext(lines, next, kMenuLineChars) && !isValueEnd(next[0]);
        }
        break;
    }
    return value_;
}

void IniReader::close() {
    std::string().swap(bytes_);
    open_ = false;
}

}  // namespace vantrelo
