// Shared state of the posix window layer (ui_*.cpp): GTK start-up, the
// thread's message queue and the windows of this process.
#pragma once

#include <cstdint>

#include "platform/ui.h"

namespace ce::ui::posix {

// Starts GTK on X11 once.  False when no display is set or none answers;
// later calls repeat the first answer.
bool gtkReady();

// True while the window exists in this process.
bool ownWindowExists(Window window);

// Delivers the queued messages, except the quit message, while
// keepGoing() is true; used by the menu's nested loop.
void dispatchQueuedMessages(bool (*keepGoing)());

// True once postQuitMessage has been called and its message not yet taken.
bool quitPending();

// Called by destroyWindow: a menu tracked for the window closes.
void endTrackingForOwner(Window owner);

}  // namespace ce::ui::posix
