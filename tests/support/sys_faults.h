// Faults staged through the posix backend's system-call table: a chosen
// call of a kind fails with a chosen error, every other call is interrupted
// or made short, or the process ends at a call, as a crash would end it.
// A program's run routine is run in a forked child with the fault set, so
// that no process start is paid per case and the test process keeps the
// kernel's calls.
#pragma once

#include <functional>
#include <string>

namespace cetest {

// Open counts opens that may create or change a file; Any, used with
// Crash, counts every call that changes the disk (opens for writing,
// writes, fsync, rename, unlink, mkdir, link) but takes the writes that go
// on filling one file as one call.
enum class Kind { Read, Write, Fsync, Rename, Open, Any };
// PowerLoss ends the process as Crash does, and then drops what was
// written but not flushed: each file written since its last fsync goes
// back to the size it had then (files are only ever filled anew or
// appended to, so that is what the disk would hold).
enum class Effect { Fail, EveryOtherInterrupted, EveryOtherShort, Crash, PowerLoss };

// The nth call of a kind on a file whose host path holds `file` ("" for
// any file); nth 0 with the every-other effects means every second call.
// error is the errno of a failed call.
struct Fault {
    Kind kind;
    std::string file;
    int nth;
    Effect effect;
    int error;
};

// The child's exit status when the fault ended it.
constexpr int kCrashedStatus = 99;

// A fault that meets no call: runs as a clean run.
Fault noFault();

// Runs body in a child with CE_DEVICE_DIR set to deviceDir and the fault
// in force.  The child's exit status (body's result, or kCrashedStatus), -1
// when it died otherwise.  *calls receives how many calls the fault looked
// at (for Any with nth beyond them: the crash points of a whole run).
int runWithFault(const std::string& deviceDir, const Fault& fault, const std::function<int()>& body,
                 int* calls = nullptr);

}  // namespace cetest
