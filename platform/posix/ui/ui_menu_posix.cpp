// Popup menus and the cursor position on posix: a GTK menu popped up with
// its top left corner at a screen point.
//
// Showing the menu blocks as on the device: a nested GLib loop runs until
// the menu closes, and the thread's queued messages (timers above all) are
// dispatched inside it, so the auto-close timer can end the menu while it
// is open.  A chosen entry is posted to the owner as WM_COMMAND once the
// menu has closed.
//
// Entry texts follow the device's menu convention: "&" marks the next
// character as the entry's access key (shown underlined), "&&" is a plain
// "&".
//
// When CE_UI_TRACE names a file, every menu shown is appended to it: a line
// "menu <x> <y>" followed by one line "item <id> <text>" per entry, in UTF-8,
// so that tests can compare what the user was offered.
#include <fcntl.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/posix/ui/ui_internal.h"
#include "platform/ui.h"
#include "platform/wstr.h"

namespace ce::ui {

namespace {

// A pointer or keyboard grab held by another client keeps the menu from
// opening; it is tried again for a while before giving up.
constexpr int kPopupAttempts = 40;
constexpr guint kPopupRetryMs = 25;

struct MenuItem {
    uintptr_t id;
    std::u16string text;
};

struct MenuRecord {
    std::vector<MenuItem> items;
    bool tracking = false;
    bool destroyed = false;  // destroyMenu came while it was tracked
    GtkWidget* widget = nullptr;
};

struct Tracking {
    MenuRecord* menu = nullptr;
    Window owner = 0;
    uintptr_t chosen = 0;
    bool open = false;
};

std::map<Menu, MenuRecord*>& menus() {
    static std::map<Menu, MenuRecord*> table;
    return table;
}

Menu gNextMenu = 0x1000;
Tracking gTracking;

// The device's "&" access-key marks in GTK's "_" form.
std::string gtkLabel(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] == u'&') {
                out.push_back(u'&');
            } else {
                out.push_back(u'_');
                if (text[i] == u'_')
                    out.push_back(u'_');
                out.push_back(text[i]);
            }
        } else if (c == u'_') {
            out.append(u"__");
        } else if (c != u'&') {
            out.push_back(c);
        }
    }
    // An unpaired surrogate is shown as U+FFFD.
    std::string utf8;
    u16ToUtf8(out.data(), out.size(), &utf8);
    return utf8;
}

void traceMenu(const MenuRecord& menu, int32_t x, int32_t y) {
    const char* path = getenv("CE_UI_TRACE");
    if (path == nullptr || path[0] == 0)
        return;
    std::string text = "menu " + std::to_string(x) + " " + std::to_string(y) + "\n";
    for (const MenuItem& item : menu.items) {
        std::string label;
        u16ToUtf8(item.text.data(), item.text.size(), &label);
        text += "item " + std::to_string(item.id) + " " + label + "\n";
    }
    const int fd = ce::posix::sysOpen(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ce::posix::writeAll(fd, text.data(), text.size());
    ce::posix::sysClose(fd);
}

// GTK closes the menu before it activates the entry, so the choice is
// taken whether or not the menu is still open, unless the menu was
// destroyed meanwhile.
void onItemActivate(GtkMenuItem* item, gpointer) {
    if (gTracking.menu == nullptr || gTracking.menu->destroyed)
        return;
    gTracking.chosen = reinterpret_cast<uintptr_t>(g_object_get_data(G_OBJECT(item), "ce-id"));
}

void onMenuDeactivate(GtkMenuShell*, gpointer) {
    gTracking.open = false;
}

bool trackingGoesOn() {
    return gTracking.open;
}

GtkWidget* buildWidget(const MenuRecord& menu) {
    GtkWidget* widget = gtk_menu_new();
    for (const MenuItem& item : menu.items) {
        GtkWidget* entry = gtk_menu_item_new_with_mnemonic(gtkLabel(item.text).c_str());
        g_object_set_data(G_OBJECT(entry), "ce-id", reinterpret_cast<gpointer>(item.id));
        g_signal_connect(entry, "activate", G_CALLBACK(onItemActivate), nullptr);
        gtk_menu_shell_append(GTK_MENU_SHELL(widget), entry);
        gtk_widget_show(entry);
    }
    g_signal_connect(widget, "deactivate", G_CALLBACK(onMenuDeactivate), nullptr);
    g_object_ref_sink(widget);
    return widget;
}

// Pops the menu up at (x, y) with a button press of the pointer as its
// trigger, which lets GTK take the pointer and keyboard grabs a menu needs.
bool popUp(GtkWidget* widget, int32_t x, int32_t y) {
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    GdkWindow* root = gdk_get_default_root_window();
    if (pointer == nullptr || root == nullptr)
        return false;

    for (int attempt = 0; attempt < kPopupAttempts; ++attempt) {
        GdkEvent* trigger = gdk_event_new(GDK_BUTTON_PRESS);
        trigger->button.window = GDK_WINDOW(g_object_ref(root));
        trigger->button.send_event = TRUE;
        trigger->button.time = GDK_CURRENT_TIME;
        trigger->button.x = x;
        trigger->button.y = y;
        trigger->button.x_root = x;
        trigger->button.y_root = y;
        trigger->button.button = 1;
        gdk_event_set_device(trigger, pointer);
        GdkRectangle at{x, y, 1, 1};
        gtk_menu_popup_at_rect(GTK_MENU(widget), root, &at, GDK_GRAVITY_NORTH_WEST,
                               GDK_GRAVITY_NORTH_WEST, trigger);
        gdk_event_free(trigger);
        if (gtk_widget_get_visible(widget))
            return true;
        g_usleep(kPopupRetryMs * 1000);
    }
    return false;
}

}  // namespace

namespace posix {

void endTrackingForOwner(Window owner) {
    if (gTracking.menu != nullptr && gTracking.owner == owner) {
        gTracking.open = false;
        if (gTracking.menu->widget != nullptr)
            gtk_menu_popdown(GTK_MENU(gTracking.menu->widget));
    }
}

}  // namespace posix

Menu createPopupMenu() {
    const Menu handle = gNextMenu++;
    menus()[handle] = new MenuRecord;
    return handle;
}

bool appendMenuString(Menu menu, uintptr_t id, const char16_t* text) {
    auto it = menus().find(menu);
    if (it == menus().end() || it->second->destroyed || text == nullptr)
        return false;
    it->second->items.push_back(MenuItem{id, std::u16string(text)});
    return true;
}

bool trackPopupMenu(Menu menu, uint32_t, int32_t x, int32_t y, Window owner) {
    auto it = menus().find(menu);
    if (it == menus().end() || it->second->tracking || gTracking.menu != nullptr)
        return false;
    MenuRecord* record = it->second;
    if (!posix::ownWindowExists(owner) || !posix::gtkReady())
        return false;
    // An empty menu has nothing to show and closes at once.
    if (record->items.empty())
        return false;

    record->widget = buildWidget(*record);
    record->tracking = true;
    gTracking = Tracking{record, owner, 0, true};
    const bool shown = popUp(record->widget, x, y);
    if (!shown) {
        ce::posix::diagnose(
            "the menu could not be shown: another program holds the pointer or the keyboard "
            "(an open menu, say)");
    }
    if (shown) {
        traceMenu(*record, x, y);
        while (gTracking.open && !posix::quitPending()) {
            g_main_context_iteration(nullptr, TRUE);
            posix::dispatchQueuedMessages(trackingGoesOn);
        }
        gtk_menu_popdown(GTK_MENU(record->widget));
    }
    const uintptr_t chosen = gTracking.chosen;
    gTracking = Tracking{};
    record->tracking = false;
    gtk_widget_destroy(record->widget);
    g_object_unref(record->widget);
    record->widget = nullptr;
    if (record->destroyed) {
        menus().erase(menu);
        delete record;
    }
    if (shown && chosen != 0)
        postMessage(owner, kWmCommand, chosen, 0);
    return shown;
}

bool destroyMenu(Menu menu) {
    auto it = menus().find(menu);
    if (it == menus().end() || it->second->destroyed)
        return false;
    MenuRecord* record = it->second;
    if (record->tracking) {
        // Closed now; trackPopupMenu frees it when it returns.
        record->destroyed = true;
        gTracking.open = false;
        gTracking.chosen = 0;
        if (record->widget != nullptr)
            gtk_menu_popdown(GTK_MENU(record->widget));
        return true;
    }
    menus().erase(it);
    delete record;
    return true;
}

bool getCursorPos(Point* point) {
    if (point == nullptr || !posix::gtkReady())
        return false;
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    if (pointer == nullptr)
        return false;
    gint x = 0;
    gint y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    point->x = x;
    point->y = y;
    return true;
}

}  // namespace ce::ui
