// The launcher's process: single-instance check, a hidden window that owns
// the popup menu and its timers, and the launch of the chosen action.
#pragma once

#include <cstddef>
#include <cstdint>

#include "menu/menu_path.h"
#include "menu/path_variables.h"
#include "platform/ui.h"

namespace vantrelo {

namespace ui = ce::ui;

// Names other programs and instances see: the single-instance event and the
// window class are both "Vantrelo".
inline constexpr const char16_t* kInstanceEventName = u"Vantrelo";
inline constexpr const char16_t* kWindowClassName = u"Vantrelo";

constexpr uintptr_t kStartTimerId = 1;
constexpr uint32_t kStartDelayMs = 50;
constexpr uintptr_t kAutoCloseTimerId = 9;
constexpr uint32_t kAutoCloseMs = 6000;

constexpr int kMenuEntries = 10;              // Menu1..Menu10, Action1..Action10
constexpr uintptr_t kCommandBase = 100;       // entry n has the command id 100 + n
constexpr uint32_t kSecondLookDelayMs = 250;  // before looking again for a first instance's window

constexpr int kExitNormal = 0;
constexpr int kExitOtherInstance = -1;

// The process-wide state: one per process, in static storage, alive until
// it ends.  It is the home of the launcher's big buffers (platform/entry.h
// says why).
struct Launcher {
    ui::Instance instance = 0;
    ui::Menu popupMenu = 0;  // 0 while no menu exists
    FolderPaths folders;
    char16_t expansion[kExpansionChars] = {};
    char16_t menuPath[kPathChars] = {};
};

Launcher& launcherState();

// The whole run of the program; returns the exit code.
int runLauncher(ui::Instance instance, const char16_t* commandLine);

// The window procedure of class "Vantrelo".
intptr_t launcherWindowProc(ui::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace vantrelo
