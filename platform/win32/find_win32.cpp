// Directory enumeration.  FindFirstFileW never follows a reparse point: a
// link or junction comes with FILE_ATTRIBUTE_REPARSE_POINT among its
// attributes, which the interface passes on unchanged.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace ce {

using win32::asWide;

static_assert(kMaxFindName == MAX_PATH, "the find record's name field is the platform's");

static void fillRecord(const WIN32_FIND_DATAW& data, FindRecord* record) {
    record->attributes = data.dwFileAttributes;
    size_t i = 0;
    for (; i + 1 < kMaxFindName && data.cFileName[i] != L'\0'; ++i) {
        record->name[i] = static_cast<char16_t>(data.cFileName[i]);
    }
    record->name[i] = u'\0';
}

Find findFirst(const char16_t* pattern, FindRecord* record) {
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(asWide(pattern), &data);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    fillRecord(data, record);
    return reinterpret_cast<Find>(handle);
}

bool findNext(Find find, FindRecord* record) {
    if (find == nullptr)
        return false;
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(reinterpret_cast<HANDLE>(find), &data))
        return false;
    fillRecord(data, record);
    return true;
}

void findClose(Find find) {
    if (find != nullptr)
        FindClose(reinterpret_cast<HANDLE>(find));
}

}  // namespace ce
