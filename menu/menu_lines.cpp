#include "menu/menu_lines.h"

#include "platform/wstr.h"

namespace vantrelo {

namespace {

// One UTF-8 sequence as a code point.  Bytes that do not form a valid
// sequence are taken one each as the character of the same number, so
// nothing of the file is lost.
bool nextCodePointUtf8(MenuLineReader& r, uint32_t* cp) {
    if (r.pos >= r.size)
        return false;
    size_t len = ce::utf8DecodeOne(r.data + r.pos, r.size - r.pos, cp);
    if (len == 0) {
        *cp = r.data[r.pos];
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
    if (r.encoding == MenuEncoding::Utf16Be)
        return false;
    if (r.encoding == MenuEncoding::Utf16Le) {
        // A last odd byte is no character, as for the runtime's wide reader.
        if (r.size - r.pos < 2)
            return false;
        *unit = static_cast<char16_t>(r.data[r.pos] | (r.data[r.pos + 1] << 8));
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

void menuLinesStart(MenuLineReader& r, const uint8_t* data, size_t size) {
    r.data = data;
    r.size = data != nullptr ? size : 0;
    r.pos = 0;
    r.pendingLow = 0;
    const size_t have = r.size;
    const uint8_t* b = r.data;
    if (have >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        r.encoding = MenuEncoding::Utf16Le;
        r.pos = 2;
        return;
    }
    if (have >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        r.encoding = MenuEncoding::Utf8;
        r.pos = 3;
        return;
    }
    if (have >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        r.encoding = MenuEncoding::Utf16Be;
        return;
    }
    // ASCII text in UTF-16LE has zero high bytes at odd offsets, in UTF-16BE
    // at even ones; UTF-8 text has no zero bytes at all.  The whole file is
    // looked at, as a first line of characters beyond U+00FF alone (a long
    // comment in Cyrillic or Chinese) may have no zero byte, or only at
    // even offsets, while every header after it has one at an odd offset.
    // A file too short to tell stays UTF-16LE, the format the launcher is
    // made for.
    bool zeroAtOdd = false;
    bool zeroAtEven = false;
    for (size_t i = 0; i < have && !zeroAtOdd; ++i) {
        if (b[i] == 0) {
            if (i % 2 == 1)
                zeroAtOdd = true;
            else
                zeroAtEven = true;
        }
    }
    if (have < 2 || zeroAtOdd)
        r.encoding = MenuEncoding::Utf16Le;
    else if (zeroAtEven)
        r.encoding = MenuEncoding::Utf16Be;
    else
        r.encoding = MenuEncoding::Utf8;
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
