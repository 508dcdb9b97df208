// Zandoval: scans a directory tree for shortcuts on behalf of the home
// screen's launcher plugin.  The command line is not read ("-start" and
// anything else are accepted and ignored).
#include "platform/entry.h"
#include "scanner/scan_run.h"
#include "startup/startup.h"

namespace {

// The program's one run (scan_run.h).
zandoval::ScanRun gRun;

}  // namespace

int programMain(const char16_t* /*commandLine*/) {
    if (!ce::startUpAndGuard(zandoval::kGuardClass))
        return 0;
    return zandoval::runScanner(gRun);
}
