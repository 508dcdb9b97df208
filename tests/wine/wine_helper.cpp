// A small Windows program that plays the user and the other programs in
// the wine tests.
//
//   wine_helper.exe run TIMEOUT PICK BOXLOG EXE CMDFILE
//       Starts EXE with the command line held in CMDFILE (UTF-8, passed
//       exactly), answers every message box the program shows by pressing
//       OK and writes "CAPTION: TEXT" lines for them to BOXLOG (UTF-8).
//       With PICK > 0 it chooses the PICK-th entry of the first popup menu
//       the program shows, with the keyboard.  Ends with the program's exit
//       status, or 124 when it did not end within TIMEOUT seconds.
//   wine_helper.exe window CLASS READYFILE STOPFILE
//       Owns a top-level window of CLASS: creates READYFILE once the window
//       exists and ends when STOPFILE appears (at the latest after 120 s).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kWindowLifetimeMs = 120000;
constexpr int kTimedOut = 124;
constexpr int kUsage = 2;

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string narrow(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

bool readWholeFile(const wchar_t* path, std::string* out) {
    FILE* f = _wfopen(path, L"rb");
    if (f == nullptr)
        return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->append(buf, n);
    fclose(f);
    return true;
}

bool fileExists(const wchar_t* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

std::wstring windowText(HWND hwnd) {
    wchar_t buf[1024];
    int n = GetWindowTextW(hwnd, buf, 1024);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring className(HWND hwnd) {
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

struct Watch {
    DWORD pid = 0;
    FILE* boxLog = nullptr;
    HWND answered[64] = {};
    int answeredCount = 0;
    int pick = 0;
    bool picked = false;
};

bool alreadyAnswered(const Watch& w, HWND hwnd) {
    for (int i = 0; i < w.answeredCount; ++i) {
        if (w.answered[i] == hwnd)
            return true;
    }
    return false;
}

// The static text of a message box: the child whose id is 0xFFFF, as the
// system's message box has it.
std::wstring boxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? windowText(text) : std::wstring();
}

BOOL CALLBACK visitWindow(HWND hwnd, LPARAM param) {
    Watch& w = *reinterpret_cast<Watch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != w.pid || !IsWindowVisible(hwnd))
        return TRUE;
    std::wstring cls = className(hwnd);
    if (cls == L"#32770" && !alreadyAnswered(w, hwnd)) {
        std::string line = narrow(windowText(hwnd)) + ": " + narrow(boxText(hwnd)) + "\n";
        fputs(line.c_str(), w.boxLog);
        fflush(w.boxLog);
        if (w.answeredCount < 64)
            w.answered[w.answeredCount++] = hwnd;
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
    } else if (cls == L"#32768" && w.pick > 0 && !w.picked) {
        // A popup menu being tracked takes the keys of its thread's queue.
        w.picked = true;
        Sleep(200);
        for (int i = 0; i < w.pick; ++i) {
            PostMessageW(hwnd, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(hwnd, WM_KEYUP, VK_DOWN, 0xC0000001);
        }
        PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(hwnd, WM_KEYUP, VK_RETURN, 0xC0000001);
    }
    return TRUE;
}

int runProgram(int timeoutSeconds, int pick, const wchar_t* boxLogPath, const wchar_t* exe,
               const wchar_t* cmdFile) {
    std::string tail;
    if (!readWholeFile(cmdFile, &tail))
        return kUsage;
    // The program receives exactly the text after its quoted name and one blank.
    std::wstring line = L"\"" + std::wstring(exe) + L"\"";
    if (!tail.empty())
        line += L" " + widen(tail);
    std::wstring writable = line;

    Watch w;
    w.pick = pick;
    w.boxLog = _wfopen(boxLogPath, L"wb");
    if (w.boxLog == nullptr)
        return kUsage;

    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    // Device paths are rooted at the current drive: the program runs on C:.
    if (!CreateProcessW(exe, &writable[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &si,
                        &pi)) {
        fprintf(stderr, "wine_helper: cannot start the program (error %lu)\n", GetLastError());
        fclose(w.boxLog);
        return kUsage;
    }
    w.pid = pi.dwProcessId;
    DWORD waited = 0;
    int status = kTimedOut;
    for (;;) {
        if (WaitForSingleObject(pi.hProcess, kPollMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            status = static_cast<int>(code);
            break;
        }
        EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&w));
        waited += kPollMs;
        if (waited >= static_cast<DWORD>(timeoutSeconds) * 1000) {
            TerminateProcess(pi.hProcess, kTimedOut);
            break;
        }
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    fclose(w.boxLog);
    return status;
}

LRESULT CALLBACK plainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int ownWindow(const wchar_t* cls, const wchar_t* readyFile, const wchar_t* stopFile) {
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = plainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    if (RegisterClassW(&wc) == 0)
        return kUsage;
    HWND hwnd = CreateWindowExW(0, cls, L"guard", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (hwnd == nullptr)
        return kUsage;
    FILE* ready = _wfopen(readyFile, L"wb");
    if (ready != nullptr)
        fclose(ready);
    DWORD waited = 0;
    while (!fileExists(stopFile) && waited < kWindowLifetimeMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(kPollMs);
        waited += kPollMs;
    }
    DestroyWindow(hwnd);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 7 && wcscmp(argv[1], L"run") == 0) {
        return runProgram(_wtoi(argv[2]), _wtoi(argv[3]), argv[4], argv[5], argv[6]);
    }
    if (argc == 5 && wcscmp(argv[1], L"window") == 0) {
        return ownWindow(argv[2], argv[3], argv[4]);
    }
    fputs(
        "usage: wine_helper run TIMEOUT PICK BOXLOG EXE CMDFILE\n"
        "       wine_helper window CLASS READYFILE STOPFILE\n",
        stderr);
    return kUsage;
}
