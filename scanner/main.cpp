// Zandoval: scans a directory tree for shortcuts on behalf of the home
// screen's launcher plugin.  The command line is not read ("-start" and
// anything else are accepted and ignored).
#include <memory>

#include "platform/entry.h"
#include "scanner/scan_run.h"
#include "startup/startup.h"

int programMain(const char16_t* /*commandLine*/) {
    if (!ce::startUpAndGuard(zandoval::kGuardClass))
        return 0;
    // The run's buffers are large; they live on the heap, not on the
    // device's small stack.
    auto run = std::make_unique<zandoval::ScanRun>();
    return zandoval::runScanner(*run);
}
