// The launcher's window system on the device's own calls.  Each function is
// the one call its declaration names; the only addition is the bridge from
// the API's window procedure to the launcher's, kept per window class.
#include <string.h>

#include "platform/ui.h"
#include "platform/win32/win32_api.h"
#include "platform/wstr.h"

namespace ce::ui {

using win32::asWide;

static HWND toHwnd(Window window) {
    return reinterpret_cast<HWND>(window);
}
static Window toWindow(HWND hwnd) {
    return reinterpret_cast<Window>(hwnd);
}

// Window classes registered by this process, with the launcher's procedure
// of each.  The launcher registers one.
constexpr size_t kMaxWindowClasses = 8;

// Window class names are at most 256 characters with their terminator.
constexpr size_t kClassNameChars = 257;

struct ClassProc {
    char16_t className[kClassNameChars];
    WindowProc proc;
};

static ClassProc gClassProcs[kMaxWindowClasses];
static size_t gClassProcCount = 0;

// The class is found by its name: GetClassNameW is on the device as well,
// while the calls that read a class's atom are not.
static WindowProc procOf(HWND hwnd) {
    wchar_t name[kClassNameChars];
    if (GetClassNameW(hwnd, name, static_cast<int>(kClassNameChars)) == 0)
        return nullptr;
    for (size_t i = 0; i < gClassProcCount; ++i) {
        if (u16cmp(gClassProcs[i].className, reinterpret_cast<const char16_t*>(name)) == 0)
            return gClassProcs[i].proc;
    }
    return nullptr;
}

static LRESULT CALLBACK bridgeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowProc proc = procOf(hwnd);
    if (proc == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return proc(toWindow(hwnd), message, wParam, lParam);
}

Instance moduleInstance() {
    return reinterpret_cast<Instance>(GetModuleHandleW(nullptr));
}

Handle createEvent(const char16_t* name, bool manualReset, bool initialState, uint32_t* lastError) {
    HANDLE event = CreateEventW(nullptr, manualReset, initialState, asWide(name));
    DWORD error = GetLastError();
    if (event == nullptr)
        return 0;
    if (lastError != nullptr)
        *lastError = error == ERROR_ALREADY_EXISTS ? kErrorAlreadyExists : 0;
    return reinterpret_cast<Handle>(event);
}

void closeHandle(Handle handle) {
    if (handle != 0)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void sleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

size_t getModuleFileName(Instance instance, char16_t* dst, size_t dstChars) {
    if (dst == nullptr || dstChars == 0)
        return 0;
    DWORD limit = dstChars > 0xffffffffu ? 0xffffffffu : static_cast<DWORD>(dstChars);
    DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(instance), asWide(dst), limit);
    // A name that filled the whole buffer was cut (and, on some systems, is
    // not even terminated): it is refused rather than used.
    if (n == 0 || n >= limit) {
        dst[0] = u'\0';
        return 0;
    }
    return n;
}

bool registerClass(const WindowClass& windowClass) {
    if (gClassProcCount >= kMaxWindowClasses || windowClass.windowProc == nullptr)
        return false;
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = windowClass.style;
    wc.lpfnWndProc = bridgeProc;
    wc.hInstance = reinterpret_cast<HINSTANCE>(windowClass.instance);
    wc.hCursor = windowClass.cursorId != 0
                     ? LoadCursorW(nullptr, MAKEINTRESOURCEW(windowClass.cursorId))
                     : nullptr;
    wc.lpszClassName = asWide(windowClass.className);
    ClassProc& entry = gClassProcs[gClassProcCount];
    if (!u16copy(entry.className, kClassNameChars, windowClass.className))
        return false;
    if (RegisterClassW(&wc) == 0)
        return false;
    entry.proc = windowClass.windowProc;
    ++gClassProcCount;
    return true;
}

Window createWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title,
                      uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                      Window parent, Instance instance) {
#ifndef _WIN32_WCE
    // On the device a window of style 0 and no size shows nothing; a
    // desktop makes style 0 an overlapped window, with a caption bar and a
    // least size.  A popup window of no size shows nothing there too.
    if (style == 0)
        style = WS_POPUP;
#endif
    HWND hwnd =
        CreateWindowExW(exStyle, asWide(className), asWide(title), style, x, y, width, height,
                        toHwnd(parent), nullptr, reinterpret_cast<HINSTANCE>(instance), nullptr);
    return toWindow(hwnd);
}

bool showWindow(Window window, int showCommand) {
    return ShowWindow(toHwnd(window), showCommand) != 0;
}

bool updateWindow(Window window) {
    return UpdateWindow(toHwnd(window)) != 0;
}

bool destroyWindow(Window window) {
    return DestroyWindow(toHwnd(window)) != 0;
}

int getMessage(Message* msg) {
    MSG m;
    BOOL rc = GetMessageW(&m, nullptr, 0, 0);
    msg->window = toWindow(m.hwnd);
    msg->message = m.message;
    msg->wParam = m.wParam;
    msg->lParam = m.lParam;
    if (rc == -1)
        return -1;
    return rc == 0 ? 0 : 1;
}

static MSG toMsg(const Message* msg) {
    MSG m;
    memset(&m, 0, sizeof m);
    m.hwnd = toHwnd(msg->window);
    m.message = msg->message;
    m.wParam = msg->wParam;
    m.lParam = msg->lParam;
    m.time = GetTickCount();
    GetCursorPos(&m.pt);
    return m;
}

bool translateMessage(const Message* msg) {
    MSG m = toMsg(msg);
    return TranslateMessage(&m) != 0;
}

intptr_t dispatchMessage(const Message* msg) {
    MSG m = toMsg(msg);
    return DispatchMessageW(&m);
}

intptr_t defWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcW(toHwnd(window), message, wParam, lParam);
}

intptr_t sendMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return SendMessageW(toHwnd(window), message, wParam, lParam);
}

bool postMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return PostMessageW(toHwnd(window), message, wParam, lParam) != 0;
}

void postQuitMessage(int exitCode) {
    PostQuitMessage(exitCode);
}

bool setTimer(Window window, uintptr_t id, uint32_t milliseconds) {
    return SetTimer(toHwnd(window), id, milliseconds, nullptr) != 0;
}

bool killTimer(Window window, uintptr_t id) {
    return KillTimer(toHwnd(window), id) != 0;
}

Menu createPopupMenu() {
    return reinterpret_cast<Menu>(CreatePopupMenu());
}

bool appendMenuString(Menu menu, uintptr_t id, const char16_t* text) {
    return AppendMenuW(reinterpret_cast<HMENU>(menu), MF_STRING, id, asWide(text)) != 0;
}

bool trackPopupMenu(Menu menu, uint32_t flags, int32_t x, int32_t y, Window owner) {
    return TrackPopupMenu(reinterpret_cast<HMENU>(menu), flags, x, y, 0, toHwnd(owner), nullptr) !=
           0;
}

bool destroyMenu(Menu menu) {
    return DestroyMenu(reinterpret_cast<HMENU>(menu)) != 0;
}

bool getCursorPos(Point* point) {
    POINT p;
    if (!GetCursorPos(&p))
        return false;
    point->x = p.x;
    point->y = p.y;
    return true;
}

bool getSpecialFolderPath(int csidl, char16_t* dst, size_t dstChars, bool create) {
    // The API writes up to MAX_PATH characters; the result is taken from a
    // buffer of that size so that a smaller dst is never overrun.
    wchar_t path[MAX_PATH + 1];
    path[0] = L'\0';
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, create))
        return false;
    path[MAX_PATH] = L'\0';
    if (dst == nullptr || u16len(win32::asU16(path)) >= dstChars)
        return false;
    return u16copy(dst, dstChars, win32::asU16(path));
}

bool shellExecute(const char16_t* verb, const char16_t* file, const char16_t* parameters) {
    SHELLEXECUTEINFOW info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.lpVerb = asWide(verb);
    info.lpFile = asWide(file);
    info.lpParameters = asWide(parameters);
#ifndef _WIN32_WCE
    // The device's shell shows what it starts; a desktop's hides a program
    // told show command 0 (SW_HIDE), so the chosen file would open unseen.
    info.nShow = SW_SHOWNORMAL;
    // A desktop's shell may hand the start to a handler that runs after
    // the call returns (DDE, a verb of a shell extension); the launcher
    // ends right after this call, which would take such a start with it.
    // The flag waits for the hand-over only, never for the program.
    info.fMask = SEE_MASK_NOASYNC;
#endif
    return ShellExecuteExW(&info) != 0;
}

}  // namespace ce::ui
