// The platform interface of the installer and the scanner.
//
// The core (everything outside platform/) reaches the operating system only
// through the functions declared here.  Exactly one backend is linked into a
// program: platform/posix (an emulated device kept in one directory) or
// platform/win32 (the device's own wide Windows API).  The functions mirror
// the Windows CE calls they stand for, so the win32 backend stays a thin layer:
// each function names the call it maps to.
//
// Text is UTF-16 (char16_t) wherever the device uses wide strings; file
// contents are bytes.  Nothing here throws.  Functions that can fail return
// false or a null handle; they never write past a buffer whose size they are
// given.
//
// The menu launcher's window, timers, popup menu and shell launch live in
// platform/ui.h; only Vantrelo uses them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ce {

// ---------------------------------------------------------------------------
// Registry (RegCreateKeyExW, RegOpenKeyExW, RegQueryValueExW, RegSetValueExW,
// RegCloseKey).

enum class Hive { LocalMachine, CurrentUser };

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

struct RegKeyImpl;
using RegKey = RegKeyImpl*;  // nullptr is the invalid key

// Opens the key, creating it (and its missing parents) when absent.
// Returns nullptr when the registry cannot be reached.
RegKey regCreateKey(Hive hive, const char16_t* subKey);

// Opens an existing key; nullptr when it does not exist.
RegKey regOpenKey(Hive hive, const char16_t* subKey);

// Reads a value into buf, whose size in bytes is bufBytes.  Succeeds only
// when the value exists and its data fits: a value that is larger than the
// buffer counts as missing, as on the device.  The type is reported, never
// checked.  On success *dataBytes (when not null) receives the data size.
// A null or invalid key fails.
bool regQueryValue(RegKey key, const char16_t* name, void* buf, uint32_t bufBytes, uint32_t* type,
                   uint32_t* dataBytes);

// Writes a value of the given type and byte size.  Returns false when the
// write did not take place (invalid key, unreachable registry).
bool regSetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                 uint32_t dataBytes);

// Closes the key.  Values written through it are visible to other processes
// at the latest now.  A null key is ignored.
void regCloseKey(RegKey key);

// ---------------------------------------------------------------------------
// Screen and message box (GetSystemMetrics, MessageBoxW).

int screenWidth();   // SM_CXSCREEN, physical pixels
int screenHeight();  // SM_CYSCREEN

// A modal box without owner, one OK button, brought to the foreground
// (MB_OK | MB_SETFOREGROUND).  Returns when it is dismissed.
void messageBox(const char16_t* caption, const char16_t* text);

// A line for a person at a PC that says what to fix.  On posix it is one
// line on standard error, the program's name in lower case, a colon and
// the text ("qorvinstall: ..."), written once per text in a process; it is
// no message box, so "-silent" does not suppress it.  On the device and
// the win32 backend there is no console to read it: nothing is written.
void diagnostic(const char16_t* text);

// ---------------------------------------------------------------------------
// Windows and start-up (SHInitExtraControls, FindWindowW, SetForegroundWindow).

using WindowRef = uintptr_t;  // 0 is "no window"

// The shell library's start-up initialisation; nothing to do off the device.
void shellStartup();

// A top-level window of the given class, or 0.  The title is not looked at.
WindowRef findWindow(const char16_t* className);

// Brings the window to the foreground together with the pop-ups it owns
// (the handle is passed with its lowest bit set).
void bringToForeground(WindowRef window);

// ---------------------------------------------------------------------------
// Device-wide run lock (a lock file under run/ on posix, a named mutex on
// win32).  Blocks until the lock is held; nullptr when it cannot be made.
// Released by releaseRunLock or by the end of the process.

struct RunLockImpl;
using RunLock = RunLockImpl*;

RunLock acquireRunLock(const char16_t* name);
void releaseRunLock(RunLock lock);

// ---------------------------------------------------------------------------
// Files (_wfopen and friends, CopyFileW, MoveFileExW, DeleteFileW).
//
// Paths are device paths: absolute, beginning with a backslash.  Contents
// are read and written as bytes, with no line-end translation, on every
// backend.

struct FileImpl;
using File = FileImpl*;

enum class FileMode {
    Read,   // "r": the file must exist
    Write,  // "w": made anew; an entry of that name is removed first, so a
            // link in its place is replaced, never written through
    // "w" for a temporary file that fileCloseOver puts in another file's
    // place: until then its name is this writer's alone.  On posix a file
    // of that name that another live writer holds in this mode is waited
    // for, never removed (the device's run lock keeps such writers apart);
    // a finished or a dead writer's file, or a link, is replaced as for
    // Write.
    WriteTemp,
};

File fileOpen(const char16_t* path, FileMode mode);

// Reads one line like fgets: at most size - 1 bytes, up to and including a
// line feed, then a terminating NUL.  Returns the number of bytes stored,
// 0 at the end of the file or on a read error.  size must be at least 2.
size_t fileReadLine(File file, char* buf, size_t size);

// Reads up to size bytes; returns the number read (0 at the end).
size_t fileRead(File file, void* buf, size_t size);

// True once a read has met the end of the file (feof).
bool fileAtEnd(File file);

// Writes bytes; returns false when not all of them were written.
bool fileWrite(File file, const void* data, size_t size);

// Flushes and closes; returns false when buffered data could not be
// written.  A null file is ignored.
bool fileClose(File file);

// Copies src over dst atomically: dst holds either its old content or the
// complete copy, whatever happens during the copy (crash, kill, full disk).
// src is left as it is.  dst need not exist.  A read-only dst (on posix:
// no write bit in its permissions) is left as it is, and the copy fails,
// as it does on the device; so do fileMoveOver, fileDelete and fileOpen
// for writing.
bool fileCopyOver(const char16_t* src, const char16_t* dst);

// Renames src over dst atomically (dst need not exist), src's content put
// on the disk first, so that dst holds its old content or src's whole.  On
// posix a dst that is replaced keeps its permission bits.
bool fileMoveOver(const char16_t* src, const char16_t* dst);

bool fileDelete(const char16_t* path);

// How fileCloseOver ended.
enum class CloseOver {
    Moved,       // dst holds the file's whole content
    NotWritten,  // a write or the flush failed
    NotMoved,    // written whole, but it could not take dst's place
};

// Flushes and closes a file opened with FileMode::WriteTemp at path and
// renames path over dst as fileMoveOver does, holding the name until then,
// so that no other writer's file can take dst's place instead.  Unless the
// result is Moved, path is removed (while still this writer's) and dst is
// left as it was.
CloseOver fileCloseOver(File file, const char16_t* path, const char16_t* dst);

// True when both device paths name one existing file.  On posix that is
// the same host file, whatever links or case of names lead to it; on the
// device, whose names ignore case and whose paths lead nowhere else, the
// same path once "." and ".." are resolved.
bool fileSame(const char16_t* a, const char16_t* b);

// ---------------------------------------------------------------------------
// Directory enumeration (FindFirstFileW, FindNextFileW, FindClose).

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;  // symbolic link or junction

constexpr size_t kMaxFindName = 260;  // name field of the find record, NUL included

struct FindRecord {
    uint32_t attributes;
    char16_t name[kMaxFindName];
};

struct FindImpl;
using Find = FindImpl*;

// pattern is a directory path followed by "\*.*".  Returns nullptr when the
// directory cannot be read or holds nothing; otherwise fills the first
// record.  Entries come in the order the file system returns them, "." and
// ".." included when the file system reports them.  A link to a directory
// is reported with kAttrDirectory | kAttrReparsePoint.
Find findFirst(const char16_t* pattern, FindRecord* record);
bool findNext(Find find, FindRecord* record);  // false when none is left
void findClose(Find find);

// ---------------------------------------------------------------------------
// Text conversion between UTF-16 and the device's default 8-bit code page
// (MultiByteToWideChar / WideCharToMultiByte with CP_ACP).
//
// Both convert a NUL-terminated text including its terminator and fail
// (returning false, dst then holds an empty string when it has room) when
// the text has no form in the other encoding or the result does not fit.

bool acpToWide(const char* src, char16_t* dst, size_t dstChars);
bool wideToAcp(const char16_t* src, char* dst, size_t dstBytes);

}  // namespace ce
