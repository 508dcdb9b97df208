// The menu launcher's window system: a named event as single-instance
// marker, a window class and a hidden window with its message loop, window
// timers, a popup menu at a screen point, the cursor position, special
// folders, the executable's own file name and the shell's "open".
//
// Only Vantrelo uses this layer; the installer and the scanner need nothing
// of it.  Each function stands for exactly one Windows CE call, named in its
// comment, with the same arguments and the same result, so the win32
// backend is a thin layer and the launcher's core reads like a program
// written against the device's own API.  The posix backend (ui_*.cpp) plays
// the same part with GTK 3 on X11 and the run/ files of the device
// directory.
//
// Handles are plain integers; 0 is always "none" or "failed".  Text is
// UTF-16.  Nothing here throws, and no function writes past a buffer whose
// size it is given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace ce::ui {

// ---------------------------------------------------------------------------
// Handle types.

using Instance = uintptr_t;  // HINSTANCE of the running program
using Handle = uintptr_t;    // kernel object handle (the named event); 0 on failure
using Window = WindowRef;    // HWND; the same values as ce::findWindow returns
using Menu = uintptr_t;      // HMENU; 0 is no menu

// WNDPROC.  wParam and lParam keep the device's widths (WPARAM is unsigned,
// LPARAM signed, both pointer-sized).
using WindowProc = intptr_t (*)(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---------------------------------------------------------------------------
// Numbers of the Windows API that the launcher passes through this layer.

constexpr uint32_t kWmNull = 0x0000;
constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmTimer = 0x0113;

constexpr uint32_t kWsExToolWindow = 0x00000080;  // WS_EX_TOOLWINDOW
constexpr uint32_t kWsExNoDrag = 0x40000000;      // WS_EX_NODRAG, the device's own bit
constexpr int32_t kCwUseDefault = INT32_MIN;      // CW_USEDEFAULT, 0x80000000
constexpr int kSwShow = 5;                        // SW_SHOW
constexpr uint32_t kIdcArrow = 0x7F00;            // IDC_ARROW, as a cursor resource id

constexpr uint32_t kErrorAlreadyExists = 183;  // ERROR_ALREADY_EXISTS

// Special folders (CSIDL_*).
constexpr int kCsidlProgramFiles = 0x26;
constexpr int kCsidlWindows = 0x24;
constexpr int kCsidlMyMusic = 0x0D;
constexpr int kCsidlMyVideo = 0x0E;
constexpr int kCsidlMyPictures = 0x27;

// ---------------------------------------------------------------------------
// Process and kernel objects.

// GetModuleHandleW(NULL): the instance handle of the running program, which
// the device passes to WinMain.
Instance moduleInstance();

// CreateEventW(NULL, manualReset, initialState, name), then GetLastError().
// Returns the event handle, or 0 when it could not be made.  On success
// *lastError receives kErrorAlreadyExists when an event of that name
// existed already (the handle then refers to it), otherwise 0.
Handle createEvent(const char16_t* name, bool manualReset, bool initialState, uint32_t* lastError);

// CloseHandle.  Closing the last handle of a named event removes the name.
// 0 is ignored.
void closeHandle(Handle handle);

// Sleep(milliseconds).  0 only yields.
void sleep(uint32_t milliseconds);

// GetModuleFileNameW(instance, dst, dstChars): the full file name of the
// running executable.  Returns the number of characters stored without the
// terminator, or 0 when the name cannot be read or does not fit dstChars
// with its terminator (a cut name is never returned; dst then holds an
// empty string when dstChars > 0).  On posix this is the host path the
// program was started by (argv[0], or the PATH entry that found it; links
// kept, so a link to the installed program in a folder of the user's names
// that folder), written with a backslash for each "/" (/opt/t/Vantrelo is
// \opt\t\Vantrelo), so that the program directory ends at the last
// backslash as on the device; a host path with a backslash of its own
// counts as unreadable.
size_t getModuleFileName(Instance instance, char16_t* dst, size_t dstChars);

// ---------------------------------------------------------------------------
// Files beside the executable (_wfopen(path, L"rb"), fread, fclose).
//
// The launcher's menu file lies in the program's own directory, which is
// not a device path on every backend: on posix the executable lives on the
// host.  These open a full path built from getModuleFileName's result (on
// posix "\" stands for the host's "/" there).  Contents are bytes.

struct ProgramFileImpl;
using ProgramFile = ProgramFileImpl*;  // nullptr when the file cannot be read

ProgramFile programFileOpen(const char16_t* path);
// Reads up to size bytes at the current position; 0 at the end or on an error.
size_t programFileRead(ProgramFile file, void* buf, size_t size);
// nullptr is ignored.
void programFileClose(ProgramFile file);

// ---------------------------------------------------------------------------
// Window class, window and messages.

// WNDCLASSW as the launcher fills it: class style, window procedure,
// instance, cursor (a standard cursor id such as kIdcArrow, 0 for none) and
// class name.  Extra bytes, icon, background brush and menu name are always
// zero.
struct WindowClass {
    uint32_t style = 0;
    WindowProc windowProc = nullptr;
    Instance instance = 0;
    uint32_t cursorId = 0;
    const char16_t* className = nullptr;
};

// RegisterClassW.  False when the class could not be registered.
bool registerClass(const WindowClass& windowClass);

// CreateWindowExW(exStyle, className, title, style, x, y, width, height,
// parent, NULL, instance, NULL).  The class's procedure receives WM_CREATE
// before this returns; a WM_CREATE result of -1 makes the creation fail.
// Returns 0 when the window could not be made (on posix: no display, none
// answering, or the class is not registered).  A top-level window of class C
// is what ce::findWindow(C) finds from any process while it exists.
Window createWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title,
                      uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                      Window parent, Instance instance);

// ShowWindow(window, showCommand): returns whether it was visible before.
bool showWindow(Window window, int showCommand);

// UpdateWindow: paints it once when it needs painting.
bool updateWindow(Window window);

// DestroyWindow: sends WM_DESTROY, stops its timers and removes the window.
// False for a window that does not exist (any more).
bool destroyWindow(Window window);

// MSG without the time and point fields.
struct Message {
    Window window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// GetMessageW(msg, NULL, 0, 0): waits for the next message of the thread.
// Returns a positive number for an ordinary message, 0 for WM_QUIT (its
// wParam is the exit code) and -1 on an error.
int getMessage(Message* msg);

// TranslateMessage: nothing that the launcher relies on; returns whether a
// character message was made.
bool translateMessage(const Message* msg);

// DispatchMessageW: calls the procedure of msg->window and returns its
// result (0 when the window does not exist).
intptr_t dispatchMessage(const Message* msg);

// DefWindowProcW.  WM_CLOSE destroys the window; everything else the
// launcher gets returns 0.
intptr_t defWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// SendMessageW: handled at once and waited for.  A window of this thread
// has its procedure called directly (nested in the caller).  A window of
// another process gets the message through the system; on posix only
// WM_CLOSE can be sent there: the process receives SIGTERM and the call
// waits until its window is gone, at most 5 seconds.
intptr_t sendMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// PostMessageW: queued for the window's message loop.  False (and nothing
// queued) when the window does not exist.
bool postMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// PostQuitMessage(exitCode): the next getMessage with nothing else to
// deliver returns 0 and the exit code as wParam.  Also ends a popup menu
// that is being tracked.
void postQuitMessage(int exitCode);

// ---------------------------------------------------------------------------
// Timers.

// SetTimer(window, id, milliseconds, NULL): WM_TIMER with wParam id arrives
// every milliseconds until killTimer; setting an existing id restarts it.
// Timer messages are delivered by the message loop and inside
// trackPopupMenu.  False when the window does not exist.
bool setTimer(Window window, uintptr_t id, uint32_t milliseconds);

// KillTimer(window, id): stops the timer; a WM_TIMER of it that is still
// waiting is not delivered.  False when there was no such timer.
bool killTimer(Window window, uintptr_t id);

// ---------------------------------------------------------------------------
// Popup menu.

// CreatePopupMenu: an empty popup menu, 0 on failure.
Menu createPopupMenu();

// AppendMenuW(menu, MF_STRING, id, text).
bool appendMenuString(Menu menu, uintptr_t id, const char16_t* text);

// TrackPopupMenu(menu, flags, x, y, 0, owner, NULL) with flags 0: shows the
// menu with its top left corner at the screen point (x, y) and returns when
// it is closed.  While it is open, the thread's messages (timers, posted
// and sent messages) are dispatched as in the message loop.  A chosen entry
// is posted to the owner as WM_COMMAND with wParam = its id, lParam 0.  The
// menu closes when an entry is chosen, when it is dismissed (Escape, a click
// elsewhere), when it is destroyed, when its owner is destroyed, and when
// the quit message is posted.  An empty menu shows nothing and closes at
// once.  Returns false when the menu could not be shown.
bool trackPopupMenu(Menu menu, uint32_t flags, int32_t x, int32_t y, Window owner);

// DestroyMenu: closes it first when it is open.  False for an unknown menu.
bool destroyMenu(Menu menu);

// ---------------------------------------------------------------------------
// Cursor, folders and shell.

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

// GetCursorPos: the cursor in screen coordinates.  False when unknown.
bool getCursorPos(Point* point);

// SHGetSpecialFolderPathW(NULL, dst, csidl, create): the folder's path as
// a device path.  False when the folder is unknown or its path does not
// fit dstChars with its terminator (dst is then left as it was).
bool getSpecialFolderPath(int csidl, char16_t* dst, size_t dstChars, bool create);

// ShellExecuteExW with a zeroed SHELLEXECUTEINFOW (cbSize 60) except verb,
// file and parameters: no flags, no owner window, no working directory,
// show command 0.  Does not wait for the program.  Returns whether the
// shell accepted the request; on posix see the device-layer notes (device
// path under fs/, "/..." a host path, executables started directly with
// their parameters split into words, other files opened with the desktop's
// default application).
bool shellExecute(const char16_t* verb, const char16_t* file, const char16_t* parameters);

}  // namespace ce::ui
