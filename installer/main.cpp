// qorvinstall: edits one home-screen layout file per run and records the
// outcome in HKCU SOFTWARE\QORV.
#include <cstdint>

#include "installer/run.h"
#include "platform/entry.h"
#include "platform/platform.h"
#include "startup/startup.h"

namespace {

constexpr char16_t kGuardClass[] = u"QORV_insClass";
constexpr char16_t kRunLockName[] = u"qorvinstall";

// The program's one run context: the home of the run's big buffers
// (run_context.h says why).
qorv::RunContext gRun;

}  // namespace

int programMain(const char16_t* commandLine) {
    if (!ce::startUpAndGuard(kGuardClass))
        return 0;

    // Two runs at once would share the temporary layout copies and
    // interleave their run records: one waits for the other.  Without a
    // lock (none can be made) the run still goes ahead, as on a device
    // where only one caller starts the installer.
    ce::RunLock lock = ce::acquireRunLock(kRunLockName);
    uint32_t result = qorv::runInstaller(gRun, commandLine);
    ce::releaseRunLock(lock);
    return result == 0 ? 0 : 1;
}
