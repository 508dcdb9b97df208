// The device's way of replacing a file (old file to a backup name, new
// file to its place, backup removed), which only a device build compiles:
// scripts/test-wine.sh builds file_replace_win32.cpp with _WIN32_WCE into
// this program and runs it under wine, whose MoveFileW replaces nothing,
// as the device's does not.  Prints a line for each row that went wrong;
// the exit status is 1 when one did.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace {

// SetAside: a run cut short between the two renames left the file under
// its backup name (and an older backup of an earlier cut beside it).
enum class Dst { Missing, File, ReadOnlyFile, Folder, SetAside };

struct Row {
    const char* what;
    Dst dst;
    bool replaced;
    bool readFirst = false;  // the destination is read before it is replaced
};

constexpr Row kRows[] = {
    {"a missing destination is made", Dst::Missing, true},
    {"a file is replaced", Dst::File, true},
    {"a read-only file is kept", Dst::ReadOnlyFile, false},
    {"a folder stays where it is, with what it holds", Dst::Folder, false},
    {"a file set aside by a run cut short is read back, then replaced", Dst::SetAside, true, true},
    {"a file set aside by a run cut short is replaced, with no backup left of it", Dst::SetAside,
     true},
};

void put(const char16_t* path, const char* text) {
    ce::File f = ce::fileOpen(path, ce::FileMode::Write);
    ce::fileWrite(f, text, strlen(text));
    ce::fileClose(f);
}

bool holds(const char16_t* path, const char* text) {
    char buf[16] = {};
    ce::File f = ce::fileOpen(path, ce::FileMode::Read);
    size_t n = ce::fileRead(f, buf, sizeof buf - 1);
    ce::fileClose(f);
    return f != nullptr && n == strlen(text) && memcmp(buf, text, n) == 0;
}

// Nothing beside the destination but the source and `kept` entries of the
// row's own.
bool onlyExpectedEntries(int kept) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"\\ce-replace\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    int others = 0;
    do {
        const wchar_t* n = data.cFileName;
        if (wcscmp(n, L".") != 0 && wcscmp(n, L"..") != 0 && wcscmp(n, L"dst") != 0 &&
            wcscmp(n, L"src") != 0)
            ++others;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return others == kept;
}

bool runRow(const Row& row) {
    CreateDirectoryW(L"\\ce-replace", nullptr);
    put(u"\\ce-replace\\src", "new");
    if (row.dst == Dst::File || row.dst == Dst::ReadOnlyFile)
        put(u"\\ce-replace\\dst", "old");
    if (row.dst == Dst::ReadOnlyFile)
        SetFileAttributesW(L"\\ce-replace\\dst", FILE_ATTRIBUTE_READONLY);
    if (row.dst == Dst::Folder) {
        CreateDirectoryW(L"\\ce-replace\\dst", nullptr);
        put(u"\\ce-replace\\dst\\a.lnk", "kept");
    }
    bool readBack = true;
    if (row.dst == Dst::SetAside) {
        put(u"\\ce-replace\\DST._77.old", "older");
        Sleep(20);  // a later write time
        put(u"\\ce-replace\\dst._4242.old", "old");
        put(u"\\ce-replace\\dst._x.old", "a user's");  // no backup's name
    }
    if (row.readFirst)
        readBack = holds(u"\\ce-replace\\dst", "old");
    bool moved = ce::fileMoveOver(u"\\ce-replace\\src", u"\\ce-replace\\dst");
    bool right =
        readBack && moved == row.replaced && onlyExpectedEntries(row.dst == Dst::SetAside ? 2 : 0);
    if (row.replaced)
        right = right && holds(u"\\ce-replace\\dst", "new");
    else if (row.dst == Dst::Folder)
        right = right && holds(u"\\ce-replace\\dst\\a.lnk", "kept");
    else
        right = right && holds(u"\\ce-replace\\dst", "old");

    SetFileAttributesW(L"\\ce-replace\\dst", FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(L"\\ce-replace\\dst\\a.lnk");
    RemoveDirectoryW(L"\\ce-replace\\dst");
    DeleteFileW(L"\\ce-replace\\dst");
    DeleteFileW(L"\\ce-replace\\src");
    DeleteFileW(L"\\ce-replace\\DST._77.old");
    DeleteFileW(L"\\ce-replace\\dst._x.old");
    RemoveDirectoryW(L"\\ce-replace");
    return right;
}

}  // namespace

int wmain() {
    int failed = 0;
    for (const Row& row : kRows) {
        if (!runRow(row)) {
            printf("device replacement: FAIL %s\n", row.what);
            ++failed;
        }
    }
    printf("device replacement: %d of %zu rows right\n",
           static_cast<int>(sizeof kRows / sizeof kRows[0]) - failed,
           sizeof kRows / sizeof kRows[0]);
    return failed == 0 ? 0 : 1;
}
