// Start-up shared by the installer and the scanner: the shell library's
// initialisation and the single-instance guard on a window class name.
#pragma once

namespace ce {

// Runs the start-up.  Returns false when a top-level window of guardClass
// exists: it has been brought to the foreground, and the program must end
// at once with status 0, touching nothing.  The guard is not a lock: it
// never keeps a second instance from running.
bool startUpAndGuard(const char16_t* guardClass);

}  // namespace ce
