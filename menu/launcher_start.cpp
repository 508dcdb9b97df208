// Start-up and the message loop of the launcher.
#include "menu/launcher.h"
#include "platform/platform.h"
#include "platform/wstr.h"

namespace vantrelo {

namespace {

Launcher gLauncher;

// A first instance that is still starting may not have its window yet:
// look twice, the second time a little later.
ce::WindowRef findFirstInstanceWindow() {
    ui::sleep(0);
    ce::WindowRef window = ce::findWindow(kWindowClassName);
    if (window == 0) {
        ui::sleep(kSecondLookDelayMs);
        window = ce::findWindow(kWindowClassName);
    }
    return window;
}

void readFolderPaths(FolderPaths& folders) {
    for (size_t i = 0; i < kFolderCount; ++i) {
        char16_t scratch[kFolderChars];
        scratch[0] = 0;
        ui::getSpecialFolderPath(kPathVariables[i].csidl, scratch, kFolderChars, false);
        ce::u16copy(folders.path[i], kFolderChars, scratch);
    }
}

int runMessageLoop() {
    ui::Message msg;
    int got = 0;
    while ((got = ui::getMessage(&msg)) > 0) {
        ui::translateMessage(&msg);
        ui::dispatchMessage(&msg);
    }
    return got == 0 ? static_cast<int>(msg.wParam) : kExitNormal;
}

}  // namespace

Launcher& launcherState() {
    return gLauncher;
}

int runLauncher(ui::Instance instance, const char16_t* commandLine) {
    Launcher& launcher = launcherState();
    launcher.instance = instance;

    uint32_t lastError = 0;
    const ui::Handle marker = ui::createEvent(kInstanceEventName, true, false, &lastError);
    if (marker == 0) {
        ce::diagnostic(
            u"cannot make the single-instance marker, the named event Vantrelo (on a "
            u"PC a file under run/events of the device directory), so no menu is "
            u"shown");
        return kExitOtherInstance;
    }
    if (lastError == ui::kErrorAlreadyExists) {
        const ce::WindowRef first = findFirstInstanceWindow();
        if (first != 0) {
            ce::bringToForeground(first);
            ui::closeHandle(marker);
            return kExitOtherInstance;
        }
        // The marker's owner shows no window: carry on as the instance.
    }

    const ce::WindowRef stale = ce::findWindow(kWindowClassName);
    if (stale != 0)
        ui::sendMessage(stale, ui::kWmClose, 0, 0);

    readFolderPaths(launcher.folders);

    // A menu file path that does not fit is not cut to some other file's
    // name: the run ends at once, as after an entry without an action.
    char16_t moduleFileName[kPathChars];
    if (ui::getModuleFileName(instance, moduleFileName, kPathChars) == 0) {
        ce::diagnostic(
            u"cannot tell the program's own path (or it is longer than 255 "
            u"characters), beside which the menu file lies, so no menu is shown");
        ui::closeHandle(marker);
        return kExitNormal;
    }
    if (!buildMenuFilePath(moduleFileName, commandLine, launcher.menuPath)) {
        ce::diagnostic(
            u"the menu file's name does not fit: the command line may have at most 17 "
            u"characters and the menu file's path at most 255, so no menu is shown");
        ui::closeHandle(marker);
        return kExitNormal;
    }

    ui::WindowClass windowClass;
    windowClass.windowProc = launcherWindowProc;
    windowClass.instance = instance;
    windowClass.cursorId = ui::kIdcArrow;
    windowClass.className = kWindowClassName;
    if (!ui::registerClass(windowClass)) {
        ce::diagnostic(u"cannot register the window class Vantrelo, so no menu is shown");
        ui::closeHandle(marker);
        return kExitNormal;
    }

    const ui::Window window =
        ui::createWindowEx(ui::kWsExToolWindow | ui::kWsExNoDrag, kWindowClassName, u"", 0,
                           ui::kCwUseDefault, ui::kCwUseDefault, 0, 0, 0, instance);
    if (window == 0) {
        ui::closeHandle(marker);
        return kExitNormal;
    }
    ui::showWindow(window, ui::kSwShow);
    ui::updateWindow(window);

    const int exitCode = runMessageLoop();
    ui::closeHandle(marker);
    return exitCode;
}

}  // namespace vantrelo
