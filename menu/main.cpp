// Vantrelo: shows the menu of its menu file at the cursor and runs the
// chosen entry.
#include "menu/launcher.h"
#include "platform/entry.h"

int programMain(const char16_t* commandLine) {
    return vantrelo::runLauncher(ce::ui::moduleInstance(), commandLine);
}
