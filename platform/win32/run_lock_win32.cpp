// The device-wide run lock: a named mutex.  A mutex left behind by a
// process that died is abandoned and passes to the next waiter, so a crash
// never blocks later runs.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace ce {

using win32::asWide;

RunLock acquireRunLock(const char16_t* name) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, asWide(name));
    if (mutex == nullptr)
        return nullptr;
    DWORD rc = WaitForSingleObject(mutex, INFINITE);
    if (rc != WAIT_OBJECT_0 && rc != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return nullptr;
    }
    return reinterpret_cast<RunLock>(mutex);
}

void releaseRunLock(RunLock lock) {
    if (lock == nullptr)
        return;
    HANDLE mutex = reinterpret_cast<HANDLE>(lock);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace ce
