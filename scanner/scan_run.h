// One run of the scanner: settings from the launcher plugin's registry key,
// the walk, the list file, and the result values left in the same key.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"
#include "scanner/list_file.h"
#include "scanner/name_filter.h"
#include "scanner/walk_shortcuts.h"

namespace zandoval {

// The launcher plugin's key below HKEY_LOCAL_MACHINE.
constexpr char16_t kScannerKey[] = u"SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1";
constexpr char16_t kGuardClass[] = u"Zandoval_insClass";
constexpr char16_t kRunLockName[] = u"Zandoval";
constexpr char16_t kCaption[] = u"Zandoval";
constexpr char16_t kVersion[] = u"0.1";

// Size of the path and text buffers, terminator included: a searchRootDir
// or dirFile of 8,092 characters or more counts as missing.
constexpr size_t kTextChars = 8092;

// Result codes and their texts, stored as ErrorNumber and ErrorDescription.
// A missing "enter" (an empty filter) or "dirFile" (the failed open, 3) is
// not a result of its own: the run treats both as ordinary settings.
constexpr uint32_t kResultSuccess = 0;
constexpr uint32_t kResultNoRootDir = 1;
constexpr uint32_t kResultKeyFailed = 2;
constexpr uint32_t kResultListFileFailed = 3;
constexpr char16_t kTextSuccess[] = u"#0 Success";
constexpr char16_t kTextNoRootDir[] = u"#1 No RootDir defined";
constexpr char16_t kTextKeyFailed[] = u"#2 Lorvendi not installed?";
constexpr char16_t kTextListFileFailed[] = u"#3 Dir-File could not be opened";
constexpr char16_t kKeyFailureMessage[] = u"#100 Couldn't access/create Zandoval Registry Key";

// A program has one ScanRun, in static storage: the home of the scanner's
// big buffers (platform/entry.h says why).
struct ScanRun {
    ce::RegKey key = nullptr;
    uint32_t resultCode = kResultSuccess;
    char16_t resultText[kTextChars] = {};
    char16_t rootPath[kTextChars] = {};
    char16_t filterText[kFilterChars] = {};
    char16_t listFileName[kTextChars] = {};
    NameFilter filter;
    WalkContext walk;  // root length and shortcutCount
    ListFile list;
};

// Everything after the start-up and guard.  The run holds the device-wide
// run lock throughout, so concurrent scanners take turns.  Returns the exit
// status: 0 when the run's result is 0, 1 otherwise (including a key that
// cannot be opened).
int runScanner(ScanRun& run);

}  // namespace zandoval
