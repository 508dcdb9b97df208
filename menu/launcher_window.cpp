// launcherWindowProc: the start timer shows the menu, a chosen entry runs
// its action, the auto-close timer and WM_CLOSE end the process.
#include "menu/action_split.h"
#include "menu/ini_reader.h"
#include "menu/launcher.h"
#include "platform/platform.h"
#include "platform/wstr.h"

namespace vantrelo {

namespace {

// "Menu%d" / "Action%d"
void formatKey(char16_t* key, size_t keyChars, const char16_t* word, int64_t number) {
    char16_t digits[24];
    ce::u16fromInt(digits, 24, number);
    if (!ce::u16copy(key, keyChars, word) || !ce::u16append(key, keyChars, digits))
        key[0] = 0;
}

void destroyPopupMenu(Launcher& launcher) {
    if (launcher.popupMenu != 0) {
        ui::destroyMenu(launcher.popupMenu);
        launcher.popupMenu = 0;
    }
}

void showMenu(ui::Window window) {
    Launcher& launcher = launcherState();
    ui::killTimer(window, kStartTimerId);
    launcher.popupMenu = ui::createPopupMenu();

    IniReader reader;
    reader.open(launcher.menuPath);
    for (int n = 1; n <= kMenuEntries; ++n) {
        char16_t key[kIniKeyChars];
        formatKey(key, kIniKeyChars, u"Menu", n);
        const char16_t* text = reader.getValue(u"Menus", key, u"");
        if (text[0] != 0) {
            ui::appendMenuString(launcher.popupMenu, kCommandBase + static_cast<uintptr_t>(n),
                                 text);
        }
    }

    ce::bringToForeground(window);
    ui::Point cursor;
    ui::getCursorPos(&cursor);
    ui::setTimer(window, kAutoCloseTimerId, kAutoCloseMs);
    // Returns when the menu closes; the auto-close timer may have destroyed
    // the menu and the window meanwhile, in which case the post below goes
    // nowhere.
    ui::trackPopupMenu(launcher.popupMenu, 0, cursor.x, cursor.y, window);
    ui::postMessage(window, ui::kWmNull, 0, 0);
    reader.close();
}

void runAction(ui::Window window, uintptr_t command) {
    Launcher& launcher = launcherState();
    ui::killTimer(window, kAutoCloseTimerId);

    IniReader reader;
    reader.open(launcher.menuPath);
    char16_t key[kIniKeyChars];
    formatKey(
        key, kIniKeyChars, u"Action",
        static_cast<int64_t>(static_cast<intptr_t>(command)) - static_cast<int64_t>(kCommandBase));
    char16_t action[kActionChars];
    ce::u16copy(action, kActionChars, reader.getValue(u"Actions", key, u""));

    // An action that expands beyond its buffer or whose fields do not fit
    // is not run in part: it ends the run like an empty one.
    char16_t file[kFileChars];
    char16_t parameters[kParameterChars];
    constexpr size_t kHintChars = kIniKeyChars + 160;
    char16_t hint[kHintChars];
    if (action[0] != 0 && reader.valueCut()) {
        // Only its start could be read: run nothing rather than a part.
        if (ce::u16copy(hint, kHintChars, key) &&
            ce::u16append(hint, kHintChars,
                          u" of the menu file is longer than a line of it can be read (254 "
                          u"characters), so nothing was started")) {
            ce::diagnostic(hint);
        }
    } else if (action[0] != 0) {
        const char16_t* expanded =
            expandPathVariables(action, launcher.folders, launcher.expansion);
        if (expanded != nullptr && splitAction(expanded, file, parameters)) {
            ui::shellExecute(u"open", file, parameters);
        } else if (ce::u16copy(hint, kHintChars, key) &&
                   ce::u16append(hint, kHintChars,
                                 u" of the menu file is too long once its folders are put in (at "
                                 u"most 255 characters), so nothing was started")) {
            ce::diagnostic(hint);
        }
    }
    ui::sendMessage(window, ui::kWmClose, 0, 0);
    reader.close();
}

}  // namespace

intptr_t launcherWindowProc(ui::Window window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
    Launcher& launcher = launcherState();
    switch (message) {
        case ui::kWmCreate:
            ui::setTimer(window, kStartTimerId, kStartDelayMs);
            break;
        case ui::kWmTimer:
            if (wParam == kAutoCloseTimerId) {
                ui::killTimer(window, kAutoCloseTimerId);
                destroyPopupMenu(launcher);
                ui::sendMessage(window, ui::kWmClose, 0, 0);
                return 1;
            }
            showMenu(window);
            break;
        case ui::kWmCommand:
            runAction(window, wParam);
            break;
        case ui::kWmClose:
            ui::killTimer(window, kAutoCloseTimerId);
            destroyPopupMenu(launcher);
            ui::destroyWindow(window);
            ui::postQuitMessage(kExitNormal);
            break;
        default:
            break;
    }
    return ui::defWindowProc(window, message, wParam, lParam);
}

}  // namespace vantrelo
