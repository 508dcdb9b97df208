#include "scanner/list_file.h"

#include <cstring>

#include "platform/wstr.h"

namespace zandoval {

namespace {

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
    constexpr size_t kPieceUnits = kListBufferBytes / ce::kUtf8BytesPerU16 - 1;
    while (length > 0) {
        size_t piece = length < kPieceUnits ? length : kPieceUnits;
        if (piece < length && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF)
            --piece;
        if (kListBufferBytes - list.used < piece * ce::kUtf8BytesPerU16)
            flush(list);
        list.used += ce::utf8FromU16(text, piece, list.buffer + list.used);
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

std::u16string listTempName(std::u16string_view name) {
    constexpr std::u16string_view suffix = kListTempSuffix;
    size_t bytes = suffix.size();
    size_t keep = 0;
    while (keep < name.size()) {
        bool pair = keep + 1 < name.size() && name[keep] >= 0xD800 && name[keep] <= 0xDBFF &&
                    name[keep + 1] >= 0xDC00 && name[keep + 1] <= 0xDFFF;
        size_t units = pair ? 2 : 1;
        size_t size = pair ? 4 : name[keep] < 0x80 ? 1 : name[keep] < 0x800 ? 2 : 3;
        if (bytes + size > kListTempNameBytes)
            break;
        bytes += size;
        keep += units;
    }
    // A name cut to make room that ends in the suffix itself would come
    // back as the list file's own name (the device ignores case): one
    // character less.
    std::u16string temp = std::u16string(name.substr(0, keep)) + kListTempSuffix;
    if (keep > 0 && keep < name.size() && temp.size() == name.size()) {
        keep -= keep >= 2 && name[keep - 1] >= 0xDC00 && name[keep - 1] <= 0xDFFF &&
                        name[keep - 2] >= 0xD800 && name[keep - 2] <= 0xDBFF
                    ? 2
                    : 1;
        temp = std::u16string(name.substr(0, keep)) + kListTempSuffix;
    }
    return temp;
}

size_t fileNameStart(std::u16string_view path) {
    size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? 0 : slash + 1;
}

std::u16string listTempPath(std::u16string_view path) {
    size_t nameAt = fileNameStart(path);
    return std::u16string(path.substr(0, nameAt)) + listTempName(path.substr(nameAt));
}

bool listFileOpen(ListFile& list, const char16_t* path) {
    list.file = nullptr;
    list.writeFailed = false;
    list.used = 0;
    if (path[0] == 0)
        return false;
    list.path = path;
    list.tempPath = listTempPath(list.path);
    list.file = ce::fileOpen(list.tempPath.c_str(), ce::FileMode::WriteTemp);
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
    // The file itself knows of every write that failed.
    ce::CloseOver end = ce::fileCloseOver(list.file, list.tempPath.c_str(), list.path.c_str());
    list.file = nullptr;
    if (end == ce::CloseOver::NotWritten)
        list.writeFailed = true;
    return end == ce::CloseOver::Moved;
}

}  // namespace zandoval
