#include "menu/menu_lines.h"

#include <cstring>

#include "platform/wstr.h"

namespace vantrelo {

namespace {

constexpr size_t kDetectBytes = 512;  // bytes looked at to tell UTF-16LE from UTF-8

size_t memoryRead(void* context, void* buf, size_t size) {
    auto* bytes = static_cast<MemoryBytes*>(context);
    size_t left = bytes->size - bytes->pos;
    size_t n = size < left ? size : left;
    if (n > 0)
        std::memcpy(buf, bytes->data + bytes->pos, n);
    bytes->pos += n;
    return n;
}

bool memoryRewind(void* context) {
    static_cast<MemoryBytes*>(context)->pos = 0;
    return true;
}

// Makes sure at least `count` unread bytes are in the buffer when the source
// still has them; returns how many unread bytes there are (may be fewer).
size_t ensureBytes(MenuLineReader& r, size_t count) {
    if (r.len - r.pos >= count)
        return r.len - r.pos;
    if (r.pos > 0) {
        std::memmove(r.buf, r.buf + r.pos, r.len - r.pos);
        r.len -= r.pos;
        r.pos = 0;
    }
    while (r.len < count && !r.sourceEnded) {
        size_t got = r.source.read(r.source.context, r.buf + r.len, sizeof r.buf - r.len);
        if (got == 0) {
            r.sourceEnded = true;
        } else {
            r.len += got;
        }
    }
    return r.len - r.pos;
}

// One UTF-8 sequence as a code point.  Bytes that do not form a valid
// sequence are taken one each as the character of the same number, so
// nothing of the file is lost.
bool nextCodePointUtf8(MenuLineReader& r, uint32_t* cp) {
    constexpr size_t kLongestSequence = 4;
    const size_t avail = ensureBytes(r, kLongestSequence);
    if (avail == 0)
        return false;
    size_t len = ce::utf8DecodeOne(r.buf + r.pos, avail, cp);
    if (len == 0) {
        *cp = r.buf[r.pos];
        len = 1;
    }
    r.pos += len;
    return true;
}

bool nextUnit(MenuLineReader& r, char16_t* unit) {
    if (r.pendingLow != 0) {
        *unit = r.pendingLow;
        r.pendingLow = 0;
        return true;
    }
    if (r.encoding == MenuEncoding::Utf16Le) {
        // A last odd byte is no character, as for the runtime's wide reader.
        if (ensureBytes(r, 2) < 2)
            return false;
        *unit = static_cast<char16_t>(r.buf[r.pos] | (r.buf[r.pos + 1] << 8));
        r.pos += 2;
        return true;
    }
    uint32_t cp = 0;
    if (!nextCodePointUtf8(r, &cp))
        return false;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *unit = static_cast<char16_t>(0xD800 + (cp >> 10));
        r.pendingLow = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        *unit = static_cast<char16_t>(cp);
    }
    return true;
}

}  // namespace

ByteSource menuBytesSource(MemoryBytes* bytes) {
    ByteSource s;
    s.read = memoryRead;
    s.rewind = memoryRewind;
    s.context = bytes;
    return s;
}

bool menuLinesRewind(MenuLineReader& r) {
    r.len = 0;
    r.pos = 0;
    r.pendingLow = 0;
    r.sourceEnded = false;
    if (r.source.read == nullptr || r.source.rewind == nullptr ||
        !r.source.rewind(r.source.context)) {
        r.sourceEnded = true;
        return false;
    }
    const size_t have = ensureBytes(r, kDetectBytes);
    const uint8_t* b = r.buf;
    if (have >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        r.encoding = MenuEncoding::Utf16Le;
        r.pos = 2;
        return true;
    }
    if (have >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        r.encoding = MenuEncoding::Utf8;
        r.pos = 3;
        return true;
    }
    // ASCII text in UTF-16LE has zero high bytes; UTF-8 text has no zero
    // bytes at all.  A file too short to tell stays UTF-16LE, the format
    // the launcher is made for.
    r.encoding = have < 2 ? MenuEncoding::Utf16Le : MenuEncoding::Utf8;
    for (size_t i = 1; i < have; i += 2) {
        if (b[i] == 0) {
            r.encoding = MenuEncoding::Utf16Le;
            break;
        }
    }
    return true;
}

bool menuLinesNext(MenuLineReader& r, char16_t* line, size_t lineChars) {
    if (lineChars < 2)
        return false;
    size_t limit = lineChars - 1;
    if (limit > kMenuLinePieceChars)
        limit = kMenuLinePieceChars;
    size_t n = 0;
    char16_t unit = 0;
    while (n < limit && nextUnit(r, &unit)) {
        line[n++] = unit;
        if (unit == u'\n')
            break;
    }
    line[n] = 0;
    return n > 0;
}

}  // namespace vantrelo
