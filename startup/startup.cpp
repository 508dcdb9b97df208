#include "startup/startup.h"

#include "platform/platform.h"

namespace ce {

bool startUpAndGuard(const char16_t* guardClass) {
    shellStartup();
    WindowRef other = findWindow(guardClass);
    if (other != 0) {
        bringToForeground(other);
        return false;
    }
    return true;
}

}  // namespace ce
