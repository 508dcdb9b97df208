#include "menu/ini_reader.h"

#include "platform/wstr.h"

namespace vantrelo {

namespace {

size_t fileRead(void* context, void* buf, size_t size) {
    return ui::programFileRead(static_cast<ui::ProgramFile>(context), buf, size);
}

bool fileRewind(void* context) {
    return ui::programFileRewind(static_cast<ui::ProgramFile>(context));
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

}  // namespace

bool IniReader::Open(const char16_t* path) {
    Close();
    ui::ProgramFile file = ui::programFileOpen(path);
    if (file == nullptr)
        return false;
    ByteSource source;
    source.read = fileRead;
    source.rewind = fileRewind;
    source.context = file;
    if (!OpenSource(source)) {
        ui::programFileClose(file);
        return false;
    }
    file_ = file;
    return true;
}

bool IniReader::OpenSource(const ByteSource& source) {
    Close();
    lines_ = MenuLineReader{};
    lines_.source = source;
    if (source.read == nullptr || source.rewind == nullptr)
        return false;
    open_ = true;
    return true;
}

const char16_t* IniReader::GetValue(const char16_t* section, const char16_t* key,
                                    const char16_t* def) {
    ce::u16copy(value_, kIniValueChars, def);

    char16_t prefix[kIniKeyChars];
    if (!ce::u16copy(prefix, kIniKeyChars, key) || !ce::u16append(prefix, kIniKeyChars, u"=")) {
        return value_;
    }
    if (!open_ || !menuLinesRewind(lines_))
        return value_;

    const size_t prefixLen = ce::u16len(prefix);
    char16_t line[kMenuLineChars];
    bool inSection = false;
    while (menuLinesNext(lines_, line, kMenuLineChars)) {
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
        break;
    }
    return value_;
}

void IniReader::Close() {
    if (file_ != nullptr) {
        ui::programFileClose(file_);
        file_ = nullptr;
    }
    open_ = false;
}

}  // namespace vantrelo
