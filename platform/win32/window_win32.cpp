// Shell start-up, finding a top-level window by class and bringing it forward.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

#ifdef _WIN32_WCE
#include <aygshell.h>
#endif

namespace ce {

using win32::asWide;

void shellStartup() {
#ifdef _WIN32_WCE
    SHInitExtraControls();
#endif
}

WindowRef findWindow(const char16_t* className) {
    return reinterpret_cast<WindowRef>(FindWindowW(asWide(className), nullptr));
}

void bringToForeground(WindowRef window) {
    if (window == 0)
        return;
#ifdef _WIN32_WCE
    // The device's form that brings the window's owned pop-ups along.
    SetForegroundWindow(reinterpret_cast<HWND>(window | 1));
#else
    // Desktop Windows has no such form: a handle with that bit set names
    // no window there, so the plain handle is passed.
    SetForegroundWindow(reinterpret_cast<HWND>(window));
#endif
}

}  // namespace ce
