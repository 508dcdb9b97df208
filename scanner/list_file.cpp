#include "scanner/list_file.h"

#include <cstring>

#include "platform/wstr.h"

namespace zandoval {

namespace {

// Bytes the encoder may produce for one unit of UTF-16 text (a surrogate
// pair gives 4 bytes for 2 units).
constexpr size_t kMaxBytesPerUnit = 3;

void flush(ListFile& list) {
    if (list.used == 0)
        return;
    if (!ce::fileWrite(list.file, list.buffer, list.used))
        list.writeFailed = true;
    list.used = 0;
}

void putBytes(ListFile& list, const char* bytes, size_t n) {
    while (n > 0) {
        if (list.used == kListBufferBytes)
            flush(list);
        size_t room = kListBufferBytes - list.used;
        size_t take = n < room ? n : room;
        std::memcpy(list.buffer + list.used, bytes, take);
        list.used += take;
        bytes += take;
        n -= take;
    }
}

// Encodes in pieces that fit the buffer, so text of any length (a path far
// beyond the device's limit) goes out whole.  A piece never ends between
// the two halves of a surrogate pair.
void putText(ListFile& list, const char16_t* text, size_t length) {
    constexpr size_t kPieceUnits = kListBufferBytes / kMaxBytesPerUnit - 1;
    while (length > 0) {
        size_t piece = length < kPieceUnits ? length : kPieceUnits;
        if (piece < length && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF)
            --piece;
        if (kListBufferBytes - list.used < piece * kMaxBytesPerUnit)
            flush(list);
        list.used += utf8FromUtf16(text, piece, list.buffer + list.used);
        text += piece;
        length -= piece;
    }
}

void putNumber(ListFile& list, uint32_t value) {
    char digits[10];
    size_t n = 0;
    do {
        digits[sizeof digits - 1 - n] = static_cast<char>('0' + value % 10);
        ++n;
        value /= 10;
    } while (value != 0);
    putBytes(list, digits + sizeof digits - n, n);
}

}  // namespace

size_t utf8FromUtf16(const char16_t* text, size_t length, char* out) {
    size_t o = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out[o++] = static_cast<char>(c);
        } else if (c < 0x800) {
            out[o++] = static_cast<char>(0xC0 | (c >> 6));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[o++] = static_cast<char>(0xE0 | (c >> 12));
            out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out[o++] = static_cast<char>(0xF0 | (c >> 18));
            out[o++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return o;
}

bool listFileOpen(ListFile& list, const char16_t* path) {
    list.file = nullptr;
    list.writeFailed = false;
    list.used = 0;
    if (path[0] == 0)
        return false;
    list.path = path;
    list.tempPath = list.path + kListTempSuffix;
    list.file = ce::fileOpen(list.tempPath.c_str(), ce::FileMode::Write);
    return list.file != nullptr;
}

void listFileWriteEntry(ListFile& list, uint32_t number, const char16_t* displayName,
                        size_t displayLength, const char16_t* relativeDir, size_t relativeLength) {
    putBytes(list, "[", 1);
    putNumber(list, number);
    putBytes(list, "]\ndatei=", 8);
    putText(list, displayName, displayLength);
    putBytes(list, "\ndir=", 5);
    putText(list, relativeDir, relativeLength);
    putBytes(list, "\\\n", 2);
}

bool listFileCommit(ListFile& list) {
    flush(list);
    bool ok = ce::fileClose(list.file) && !list.writeFailed;
    list.file = nullptr;
    if (ok)
        ok = ce::fileMoveOver(list.tempPath.c_str(), list.path.c_str());
    if (!ok)
        ce::fileDelete(list.tempPath.c_str());
    return ok;
}

}  // namespace zandoval
