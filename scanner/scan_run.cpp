#include "scanner/scan_run.h"

#include <string>

#include "platform/reg_values.h"
#include "platform/wstr.h"
#include "scanner/setting_path.h"

namespace zandoval {

namespace {

void setResult(ScanRun& run, uint32_t code, const char16_t* text) {
    run.resultCode = code;
    ce::u16copy(run.resultText, kTextChars, text);
}

constexpr char16_t kKeyName[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1";

// A line for a person at a PC that says what to fix (ce::diagnostic).
void hint(const std::u16string& text) {
    ce::diagnostic(text.c_str());
}

// Sets the result and stores it at once, text first.
void storeResult(ScanRun& run, uint32_t code, const char16_t* text) {
    setResult(run, code, text);
    ce::regWriteString(run.key, u"ErrorDescription", run.resultText);
    ce::regWriteDword(run.key, u"ErrorNumber", run.resultCode);
}

// Reads the remaining settings, writes the list and counts the shortcuts.
void scanTree(ScanRun& run) {
    fromTheRoot(run.rootPath, kTextChars);
    // The walk adds the separator itself, so a root given with a closing
    // one ("\Links\", or "\" for the whole device) is taken without it:
    // the device's root would otherwise be listed through "\\*.*", which
    // names a network path on Windows and lists nothing.
    size_t rootLength = ce::u16len(run.rootPath);
    while (rootLength > 0 &&
           (run.rootPath[rootLength - 1] == u'\\' || run.rootPath[rootLength - 1] == u'/')) {
        run.rootPath[--rootLength] = 0;
    }
    run.walk.rootLength = rootLength;
    run.walk.shortcutCount = 0;
    // Empty when missing; one that is there but too long to read filters
    // nothing either, which a user would not guess.  Its type is not looked
    // at, as on the phone: a number reads as the text its bytes make.
    if (!ce::regReadString(run.key, u"enter", run.filterText, kFilterChars) &&
        ce::regValueExists(run.key, u"enter")) {
        hint(std::u16string(kKeyName) +
             u" has an enter too long to read (longer than 199 characters), so "
             u"every shortcut is listed");
    }
    ce::regReadString(run.key, u"dirFile", run.listFileName, kTextChars);
    fromTheRoot(run.listFileName, kTextChars);

    bool listOpen = listFileOpen(run.list, run.listFileName);
    if (!listOpen)
        storeResult(run, kResultListFileFailed, kTextListFileFailed);
    // The platform names the temporary file it could not create, and why;
    // this line names the setting.
    if (!listOpen && run.listFileName[0] != 0) {
        hint(u"the list " + std::u16string(run.listFileName) + u" (dirFile in " + kKeyName +
             u") cannot be written: its folder must exist and take new files; the shortcuts "
             u"are counted, not listed, and an earlier list stays as it was");
    }
    if (run.listFileName[0] == 0) {
        hint(std::u16string(kKeyName) +
             u" has no dirFile (or one longer than 8091 characters): set it to the device path "
             u"of the list file, such as \\lorvendi.txt; the shortcuts are counted, not listed");
    }

    prepareNameFilter(run.filter, run.filterText);
    run.walk.filter = &run.filter;
    run.walk.list = listOpen ? &run.list : nullptr;
    run.walk.listPath = run.listFileName;
    walkShortcuts(run.rootPath, run.walk);
    if (!run.walk.rootListed) {
        hint(u"the folder " + std::u16string(run.rootPath[0] != 0 ? run.rootPath : u"\\") +
             u" (searchRootDir in " + kKeyName +
             u") does not exist on the device or cannot be read; the list is empty");
    }

    // A list that could not be written whole is not put in place.
    if (listOpen && !listFileCommit(run.list)) {
        storeResult(run, kResultListFileFailed, kTextListFileFailed);
        hint(u"the list " + std::u16string(run.listFileName) +
             (run.list.writeFailed ? u" could not be written whole (is the disk full?)"
                                   : u" could not be put in its place") +
             u"; the earlier list stays as it was");
    }
}

int runWithKey(ScanRun& run) {
    run.key = ce::regCreateKey(ce::Hive::LocalMachine, kScannerKey);
    if (run.key == nullptr) {
        setResult(run, kResultKeyFailed, kTextKeyFailed);
        ce::messageBox(kCaption, kKeyFailureMessage);
        hint(std::u16string(u"cannot open or create ") + kKeyName +
             u" in the device's registry, so nothing was listed or recorded");
        return 1;
    }
    storeResult(run, kResultSuccess, kTextSuccess);
    ce::regWriteString(run.key, u"Version", kVersion);

    run.walk.shortcutCount = 0;
    if (ce::regReadString(run.key, u"searchRootDir", run.rootPath, kTextChars)) {
        scanTree(run);
    } else {
        storeResult(run, kResultNoRootDir, kTextNoRootDir);
        hint(std::u16string(kKeyName) +
             u" has no searchRootDir (or one longer than 8091 characters): set it to the device "
             u"folder whose shortcuts to list, such as \\Links");
    }

    // Scanned comes last: a reader that sees it finds every other value of
    // this run in place.
    ce::regWriteDword(run.key, u"maxList", run.walk.shortcutCount);
    ce::regWriteDword(run.key, u"Scanned", 1);
    ce::regCloseKey(run.key);
    run.key = nullptr;
    return run.resultCode == kResultSuccess ? 0 : 1;
}

}  // namespace

int runScanner(ScanRun& run) {
    // Without a lock (no place to keep it, which a lock file of another
    // user's no longer means) the run still goes ahead, as on the device:
    // two such runs at once take turns at the list's temporary file
    // (list_file.h), and a reader sees the old list or a new one.
    ce::RunLock lock = ce::acquireRunLock(kRunLockName);
    int status = runWithKey(run);
    ce::releaseRunLock(lock);
    return status;
}

}  // namespace zandoval
