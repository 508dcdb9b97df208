// Top-level windows of other processes: run/windows/<class> naming a live
// process.  The window reference is that process's id.
#include <string>

#include "platform/platform.h"
#include "platform/posix/run/run_dir.h"

namespace ce {

WindowRef findWindow(const char16_t* className) {
    std::string path;
    if (!posix::runMarkerPath("windows", className, &path))
        return 0;
    pid_t owner = posix::liveRunMarkerOwner(path);
    if (owner == 0) {
        posix::removeStaleRunMarker(path);
        return 0;
    }
    return static_cast<WindowRef>(owner);
}

// The emulated device has no window stacking to change.
void bringToForeground(WindowRef) {}

}  // namespace ce
