// Atomic replacement of a file: the new content is first complete in a
// temporary file beside the destination (same directory, so the same
// volume), and only then takes the destination's name.
#include "platform/win32/file_replace_win32.h"

#include "platform/platform.h"
#include "platform/win32/win32_api.h"
#include "platform/wstr.h"

namespace ce {

using win32::asU16;
using win32::asWide;

// Longest destination path, terminator and temporary suffix included.
constexpr size_t kMaxReplacePath = 8192;

// dst + "._" + process id + suffix.  False when it does not fit.
static bool besideName(const char16_t* dst, const char16_t* suffix, char16_t* out,
                       size_t outChars) {
    char16_t pid[24];
    u16fromUnsigned(pid, 24, GetCurrentProcessId());
    return u16copy(out, outChars, dst) && u16append(out, outChars, u"._") &&
           u16append(out, outChars, pid) && u16append(out, outChars, suffix);
}

#ifdef _WIN32_WCE
// True when name is base + "._" + digits + ".old", in any case: a backup
// that besideName made.
static bool isBackupOf(const char16_t* name, const char16_t* base) {
    size_t i = 0;
    for (; base[i] != 0; ++i) {
        if (u16lowerChar(name[i]) != u16lowerChar(base[i]))
            return false;
    }
    if (name[i] != u'.' || name[i + 1] != u'_')
        return false;
    size_t digits = i + 2;
    while (name[digits] >= u'0' && name[digits] <= u'9')
        ++digits;
    return digits > i + 2 && u16cmp(name + digits, u".old") == 0;
}

bool win32::restoreSetAside(const char16_t* dst) {
    if (GetFileAttributesW(asWide(dst)) != 0xFFFFFFFF)
        return false;
    static char16_t pattern[kMaxReplacePath];
    static char16_t found[kMaxReplacePath];
    static char16_t newest[kMaxReplacePath];
    if (!u16copy(pattern, kMaxReplacePath, dst) || !u16append(pattern, kMaxReplacePath, u"._*.old"))
        return false;
    size_t dirChars = 0;
    for (size_t i = 0; dst[i] != 0; ++i) {
        if (dst[i] == u'\\' || dst[i] == u'/')
            dirChars = i + 1;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(asWide(pattern), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FILETIME newestTime = {0, 0};
    bool any = false;
    do {
        const char16_t* name = asU16(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !isBackupOf(name, dst + dirChars) ||
            (any && CompareFileTime(&data.ftLastWriteTime, &newestTime) <= 0) ||
            !u16copyN(found, kMaxReplacePath, dst, dirChars) ||
            !u16append(found, kMaxReplacePath, name)) {
            continue;  // a path that does not fit is never cut short into another
        }
        u16copy(newest, kMaxReplacePath, found);
        newestTime = data.ftLastWriteTime;
        any = true;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return any && MoveFileW(asWide(newest), asWide(dst));
}
#endif

// Puts the file's bytes on the disk before it takes the destination's
// name: a power cut after the rename must not leave the destination
// empty.  (A rename's write-through flag covers the rename, not the data.)
static void flushToDisk(const char16_t* path) {
    HANDLE h = CreateFileW(asWide(path), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    FlushFileBuffers(h);
    CloseHandle(h);
}

// A replaced file stays hidden or system as it was: the new content came
// in a file of its own, which has the attributes of a new file.
static void keepAttributes(const char16_t* dst, DWORD old) {
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    DWORD now = GetFileAttributesW(asWide(dst));
    if (old != 0xFFFFFFFF && now != 0xFFFFFFFF && (old & kKept) != 0)
        SetFileAttributesW(asWide(dst), now | (old & kKept));
}

// Gives tmp the name dst, replacing dst.  When that fails, tmp is removed
// if it is a temporary copy (dropTemp) and kept otherwise.
static bool replaceWithTemp(const char16_t* tmp, const char16_t* dst, bool dropTemp) {
    // A read-only file is not overwritten, as a copy onto it would not be;
    // a rename alone (the device's first step below) would take it away.
    // Nor is a folder: the device's first step would move it, with all it
    // holds, to the backup name, where nothing puts it back.
    constexpr DWORD kNotReplaced = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
    DWORD attrs = GetFileAttributesW(asWide(dst));
#ifdef _WIN32_WCE
    // A file that a run cut short left aside comes back first, so that the
    // old file, not its backup's litter, steps aside below.
    if (attrs == 0xFFFFFFFF && win32::restoreSetAside(dst))
        attrs = GetFileAttributesW(asWide(dst));
#endif
    if (attrs != 0xFFFFFFFF && (attrs & kNotReplaced) != 0) {
        if (dropTemp)
            DeleteFileW(asWide(tmp));
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    flushToDisk(tmp);
#ifdef _WIN32_WCE
    // The device has no replacing rename.  The old file steps aside under a
    // backup name, the new one takes its place, and the backup goes; when
    // the second step fails the old file is put back, so a failure leaves
    // the destination as it was.
    static char16_t backup[kMaxReplacePath];
    bool hadOld = attrs != 0xFFFFFFFF;
    bool named = besideName(dst, u".old", backup, kMaxReplacePath);
    // A backup of that name left by a run that ended between its last two
    // steps (a process id comes round again) would block the first step;
    // with the destination in place it is a stale copy.
    if (named && hadOld)
        DeleteFileW(asWide(backup));
    bool moved = named && (!hadOld || MoveFileW(asWide(dst), asWide(backup)));
    if (moved && !MoveFileW(asWide(tmp), asWide(dst))) {
        if (hadOld)
            MoveFileW(asWide(backup), asWide(dst));
        moved = false;
    }
    if (!moved) {
        if (dropTemp)
            DeleteFileW(asWide(tmp));
        return false;
    }
    if (hadOld)
        DeleteFileW(asWide(backup));
    keepAttributes(dst, attrs);
    return true;
#else
    if (MoveFileExW(asWide(tmp), asWide(dst), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        keepAttributes(dst, attrs);
        return true;
    }
    if (dropTemp)
        DeleteFileW(asWide(tmp));
    return false;
#endif
}

bool fileCopyOver(const char16_t* src, const char16_t* dst) {
    static char16_t tmp[kMaxReplacePath];
    if (!besideName(dst, u".new", tmp, kMaxReplacePath))
        return false;
    if (!CopyFileW(asWide(src), asWide(tmp), FALSE)) {
        DeleteFileW(asWide(tmp));
        return false;
    }
    return replaceWithTemp(tmp, dst, true);
}

bool fileMoveOver(const char16_t* src, const char16_t* dst) {
    return replaceWithTemp(src, dst, false);
}

// The stream is closed before its file can be renamed; the run lock keeps
// other writers of the name away meanwhile.
CloseOver fileCloseOver(File file, const char16_t* path, const char16_t* dst) {
    if (!fileClose(file)) {
        DeleteFileW(asWide(path));
        return CloseOver::NotWritten;
    }
    return replaceWithTemp(path, dst, true) ? CloseOver::Moved : CloseOver::NotMoved;
}

}  // namespace ce
