// Window classes, windows, the message queue and timers on posix.
//
// A window of this layer has no X window of its own: the launcher's window
// is hidden and of zero size, and the popup menu (ui_menu_posix.cpp) is the
// only thing drawn.  A window is a record with its class's procedure, its
// timers and its marker run/windows/<class>, through which other processes
// find it (ce::findWindow gives them this process's id).  Messages are
// queued here; GLib's main context supplies the waiting, the timers (GLib
// timeouts) and SIGTERM, which arrives as WM_CLOSE to this process's
// windows.
#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/run/run_dir.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/ui/ui_internal.h"
#include "platform/ui.h"
#include "platform/wstr.h"

namespace ce::ui {

namespace {

// How long a WM_CLOSE sent to another process waits for its window to go.
constexpr auto kForeignCloseWait = std::chrono::seconds(5);
constexpr auto kForeignClosePoll = std::chrono::milliseconds(10);

struct ClassRecord {
    WindowProc proc = nullptr;
};

struct TimerRecord {
    guint source = 0;
};

struct WindowRecord {
    WindowProc proc = nullptr;
    std::string markerPath;  // empty when the window has no marker
    bool visible = false;
    std::map<uintptr_t, TimerRecord> timers;
};

struct TimerTag {
    Window window;
    uintptr_t id;
};

std::map<std::u16string, ClassRecord>& classes() {
    static std::map<std::u16string, ClassRecord> table;
    return table;
}

std::map<Window, WindowRecord>& windows() {
    static std::map<Window, WindowRecord> table;
    return table;
}

std::deque<Message>& queue() {
    static std::deque<Message> q;
    return q;
}

bool gQuitPending = false;
int gQuitCode = 0;
bool gSignalWatched = false;

WindowRecord* findOwn(Window window) {
    auto it = windows().find(window);
    return it == windows().end() ? nullptr : &it->second;
}

// Handles of own windows: the first is this process's id, the value that
// other processes (and ce::findWindow here) know it by; any further window
// gets a value above every process id.
Window newWindowHandle() {
    const Window pidHandle = static_cast<Window>(getpid());
    if (findOwn(pidHandle) == nullptr)
        return pidHandle;
    static Window next = static_cast<Window>(1) << 32;
    return next++;
}

bool timerMessageQueued(Window window, uintptr_t id) {
    for (const Message& m : queue()) {
        if (m.window == window && m.message == kWmTimer && m.wParam == id)
            return true;
    }
    return false;
}

void dropQueued(Window window, uint32_t message, bool anyId, uintptr_t id) {
    auto& q = queue();
    for (auto it = q.begin(); it != q.end();) {
        const bool match = it->window == window && (message == 0 || it->message == message) &&
                           (anyId || it->wParam == id);
        it = match ? q.erase(it) : it + 1;
    }
}

gboolean onTimer(gpointer data) {
    const auto* tag = static_cast<const TimerTag*>(data);
    // As on the device, a timer that fires again before its message was
    // taken does not queue a second one.
    if (!timerMessageQueued(tag->window, tag->id)) {
        queue().push_back(Message{tag->window, kWmTimer, tag->id, 0});
    }
    return G_SOURCE_CONTINUE;
}

void freeTimerTag(gpointer data) {
    delete static_cast<TimerTag*>(data);
}

gboolean onTerminate(gpointer) {
    // SIGTERM is how another process sends WM_CLOSE to this one's window.
    std::vector<Window> own;
    for (const auto& [window, record] : windows())
        own.push_back(window);
    for (Window window : own) {
        if (findOwn(window) != nullptr)
            sendMessage(window, kWmClose, 0, 0);
    }
    return G_SOURCE_CONTINUE;
}

void watchTerminate() {
    if (gSignalWatched)
        return;
    g_unix_signal_add(SIGTERM, onTerminate, nullptr);
    gSignalWatched = true;
}

// True while some marker under run/windows names the process.
bool processHasWindowMarker(pid_t pid) {
    const std::string dir = ce::posix::deviceRunDir() + "/windows";
    std::vector<std::string> names;
    ce::posix::listDirectoryNames(AT_FDCWD, dir.c_str(), &names);
    for (const std::string& name : names) {
        if (!name.starts_with(".") && ce::posix::liveRunMarkerOwner(dir + "/" + name) == pid)
            return true;
    }
    return false;
}

intptr_t closeForeignWindow(Window window) {
    if (window == 0 || window > static_cast<Window>(INT32_MAX))
        return 0;
    const pid_t pid = static_cast<pid_t>(window);
    if (pid == getpid() || kill(pid, SIGTERM) != 0)
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + kForeignCloseWait;
    while (std::chrono::steady_clock::now() < deadline && processHasWindowMarker(pid)) {
        std::this_thread::sleep_for(kForeignClosePoll);
    }
    return 0;
}

}  // namespace

namespace posix {

bool gtkReady() {
    static int state = -1;
    if (state < 0) {
        gdk_set_allowed_backends("x11");
        const char* display = getenv("DISPLAY");
        if (display == nullptr || display[0] == 0) {
            state = 0;
            ce::posix::diagnose("no display: DISPLAY is not set, and the menu needs an X display");
        } else {
            state = gtk_init_check(nullptr, nullptr) ? 1 : 0;
            if (state == 0)
                ce::posix::diagnose(std::string("no display: cannot open the X display ") +
                                    display);
        }
    }
    return state == 1;
}

bool ownWindowExists(Window window) {
    return findOwn(window) != nullptr;
}

bool quitPending() {
    return gQuitPending;
}

void dispatchQueuedMessages(bool (*keepGoing)()) {
    while (keepGoing() && !queue().empty()) {
        const Message m = queue().front();
        queue().pop_front();
        dispatchMessage(&m);
    }
}

}  // namespace posix

bool registerClass(const WindowClass& windowClass) {
    if (windowClass.className == nullptr || windowClass.className[0] == 0 ||
        windowClass.windowProc == nullptr) {
        return false;
    }
    auto [it, inserted] = classes().emplace(std::u16string(windowClass.className), ClassRecord{});
    if (!inserted)
        return false;
    it->second.proc = windowClass.windowProc;
    return true;
}

Window createWindowEx(uint32_t, const char16_t* className, const char16_t*, uint32_t, int32_t,
                      int32_t, int32_t, int32_t, Window parent, Instance) {
    if (className == nullptr)
        return 0;
    auto cls = classes().find(std::u16string(className));
    if (cls == classes().end())
        return 0;
    if (!posix::gtkReady())
        return 0;

    std::string markerPath;
    if (parent == 0) {
        if (!ce::posix::runMarkerPath("windows", className, &markerPath))
            return 0;
        // From here on SIGTERM means WM_CLOSE; before the marker exists
        // nobody can find the window to send it.
        watchTerminate();
        switch (ce::posix::createRunMarker(markerPath)) {
            case ce::posix::RunMarker::Created:
                break;
            case ce::posix::RunMarker::AlreadyExists:
                // Another live window of the class holds the name; this one
                // exists all the same, as on the device, but cannot be found.
                markerPath.clear();
                break;
            case ce::posix::RunMarker::Failed:
                return 0;
        }
    }

    const Window window = newWindowHandle();
    WindowRecord& record = windows()[window];
    record.proc = cls->second.proc;
    record.markerPath = markerPath;
    if (record.proc(window, kWmCreate, 0, 0) == -1) {
        destroyWindow(window);
        return 0;
    }
    return findOwn(window) != nullptr ? window : 0;
}

bool showWindow(Window window, int showCommand) {
    WindowRecord* record = findOwn(window);
    if (record == nullptr)
        return false;
    const bool wasVisible = record->visible;
    record->visible = showCommand != 0;
    return wasVisible;
}

bool updateWindow(Window window) {
    // Nothing of the window is drawn, so nothing needs painting.
    return findOwn(window) != nullptr;
}

bool destroyWindow(Window window) {
    if (findOwn(window) == nullptr)
        return false;
    WindowProc proc = findOwn(window)->proc;
    proc(window, kWmDestroy, 0, 0);
    WindowRecord* record = findOwn(window);
    if (record == nullptr)
        return true;  // destroyed meanwhile by its own WM_DESTROY
    for (auto& [id, timer] : record->timers)
        g_source_remove(timer.source);
    const std::string markerPath = record->markerPath;
    windows().erase(window);
    dropQueued(window, 0, true, 0);
    posix::endTrackingForOwner(window);
    if (!markerPath.empty())
        ce::posix::removeOwnRunMarker(markerPath);
    return true;
}

int getMessage(Message* msg) {
    if (msg == nullptr)
        return -1;
    for (;;) {
        if (!queue().empty()) {
            *msg = queue().front();
            queue().pop_front();
            return 1;
        }
        if (gQuitPending) {
            gQuitPending = false;
            *msg = Message{0, kWmQuit, static_cast<uintptr_t>(static_cast<intptr_t>(gQuitCode)), 0};
            return 0;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
}

bool translateMessage(const Message*) {
    return false;
}

intptr_t dispatchMessage(const Message* msg) {
    if (msg == nullptr)
        return 0;
    WindowRecord* record = findOwn(msg->window);
    if (record == nullptr)
        return 0;
    return record->proc(msg->window, msg->message, msg->wParam, msg->lParam);
}

intptr_t defWindowProc(Window window, uint32_t message, uintptr_t, intptr_t) {
    if (message == kWmClose)
        destroyWindow(window);
    return 0;
}

intptr_t sendMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    WindowRecord* record = findOwn(window);
    if (record != nullptr)
        return record->proc(window, message, wParam, lParam);
    if (message == kWmClose)
        return closeForeignWindow(window);
    return 0;
}

bool postMessage(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (findOwn(window) == nullptr)
        return false;
    queue().push_back(Message{window, message, wParam, lParam});
    // Wakes a getMessage that waits in GLib.
    g_main_context_wakeup(nullptr);
    return true;
}

void postQuitMessage(int exitCode) {
    gQuitPending = true;
    gQuitCode = exitCode;
    g_main_context_wakeup(nullptr);
}

bool setTimer(Window window, uintptr_t id, uint32_t milliseconds) {
    WindowRecord* record = findOwn(window);
    if (record == nullptr)
        return false;
    auto it = record->timers.find(id);
    if (it != record->timers.end())
        g_source_remove(it->second.source);
    auto* tag = new TimerTag{window, id};
    record->timers[id].source =
        g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, onTimer, tag, freeTimerTag);
    return true;
}

bool killTimer(Window window, uintptr_t id) {
    WindowRecord* record = findOwn(window);
    if (record == nullptr)
        return false;
    auto it = record->timers.find(id);
    if (it == record->timers.end())
        return false;
    g_source_remove(it->second.source);
    record->timers.erase(it);
    dropQueued(window, kWmTimer, false, id);
    return true;
}

}  // namespace ce::ui
