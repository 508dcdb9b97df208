// File streams of the runtime library.  Every stream is opened in binary
// mode: the interface promises bytes without line-end translation.
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/file_replace_win32.h"
#include "platform/win32/win32_api.h"
#include "platform/wstr.h"

namespace ce {

using win32::asWide;

static FILE* toStream(File file) {
    return reinterpret_cast<FILE*>(file);
}

File fileOpen(const char16_t* path, FileMode mode) {
    // A file opened for writing is made anew rather than emptied in place,
    // so a link of that name is replaced, never written through.
    if (mode != FileMode::Read)
        DeleteFileW(asWide(path));
    const wchar_t* how = mode == FileMode::Read ? L"rb" : L"wb";
    FILE* stream = _wfopen(asWide(path), how);
#ifdef _WIN32_WCE
    if (stream == nullptr && mode == FileMode::Read && win32::restoreSetAside(path))
        stream = _wfopen(asWide(path), how);
#endif
    return reinterpret_cast<File>(stream);
}

size_t fileReadLine(File file, char* buf, size_t size) {
    if (file == nullptr || buf == nullptr || size < 2)
        return 0;
    // Byte by byte rather than fgets: a zero byte inside a line must not cut
    // the count short, or the rest of the line would be lost unseen.
    FILE* stream = toStream(file);
    size_t n = 0;
    while (n + 1 < size) {
        int c = getc(stream);
        if (c == EOF)
            break;
        buf[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buf[n] = '\0';
    return n;
}

size_t fileRead(File file, void* buf, size_t size) {
    if (file == nullptr)
        return 0;
    return fread(buf, 1, size, toStream(file));
}

bool fileAtEnd(File file) {
    return file == nullptr || feof(toStream(file)) != 0;
}

bool fileWrite(File file, const void* data, size_t size) {
    if (file == nullptr)
        return false;
    if (size == 0)
        return true;
    return fwrite(data, 1, size, toStream(file)) == size;
}

bool fileClose(File file) {
    if (file == nullptr)
        return true;
    FILE* stream = toStream(file);
    bool flushed = fflush(stream) == 0 && ferror(stream) == 0;
    bool closed = fclose(stream) == 0;
    return flushed && closed;
}

bool fileDelete(const char16_t* path) {
    return DeleteFileW(asWide(path)) != 0;
}

namespace {

// A device path as the device resolves it: lower case, parts joined by
// single backslashes, "." dropped and ".." taking the part before it away.
std::u16string resolved(const char16_t* path) {
    std::vector<std::u16string> parts;
    std::u16string part;
    for (const char16_t* p = path;; ++p) {
        if (*p != 0 && *p != u'\\' && *p != u'/') {
            part.push_back(u16lowerChar(*p));
            continue;
        }
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        part.clear();
        if (*p == 0)
            break;
    }
    std::u16string out;
    for (const std::u16string& each : parts)
        out += u"\\" + each;
    return out;
}

}  // namespace

bool fileSame(const char16_t* a, const char16_t* b) {
    return GetFileAttributesW(asWide(a)) != static_cast<DWORD>(-1) && resolved(a) == resolved(b);
}

}  // namespace ce
