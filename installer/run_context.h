// One installer run, in parts that tell a reader what each step may change.
//
// - The request: what the command line and the layout selection decided.
//   The run's first steps fill it in (run.cpp, layout_selection.cpp); from
//   the editor's call on it is read-only.
// - The keys: the run record and the home-screen key, opened at the start
//   of the run and closed at its end.  Every registry value of the run is
//   written through one of them.
// - The outcome: the result the run has come to.  Any step may set it.
// - The buffers: the steps' large working buffers (run_buffers.h).
//
// A program has exactly one RunContext, in static storage: it is the home
// of every big fixed buffer of the run, the request's texts included.  The
// reason is stated once, here: a thread's stack on the device is small
// (tens of kilobytes), a run needs about 200 KB of fixed buffers, and it
// runs one step at a time on one thread.  So no routine of the installer
// keeps a buffer larger than a name (2 KB) on its stack, in a function
// static or on the heap; it uses the buffer named for it here.  Everything
// starts zero-filled, so the context takes no room in the program file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "installer/command_line.h"
#include "installer/layout_name.h"
#include "installer/result_codes.h"
#include "installer/run_buffers.h"
#include "installer/run_limits.h"
#include "platform/platform.h"

namespace qorv {

struct RunRequest {
    // The command line.
    bool silent;
    Action action;
    char16_t plgPath[kTextChars];     // addchange only
    char16_t pluginName[kTextChars];  // delete only
    bool titaniumView;                // change only
    bool bronzeView;                  // change only
    bool keepHomeRegistry;
    bool keepLayout;

    // The layout selection.
    char16_t targetCpr[kTextChars];  // the one layout file edited
    bool landscape;
    bool currentLayout;
    bool forbidden;
    // The pending CPRFile fix-up: the fallback layout name to write.
    bool cprFixupPending;
    char16_t cprFixupName[kLayoutNameBufChars];

    // The screen in pixels, taken once at the start.
    int screenWidth;
    int screenHeight;
};

struct RunKeys {
    ce::RegKey runRecord;  // HKCU SOFTWARE\QORV; null when it could not be had
    ce::RegKey homeKey;    // HKLM SOFTWARE\Microsoft\CHome
};

// A sound run that left the files and values as they were, which is
// rarely what its caller meant: the run says why (failure_hints.h).
enum class NoChange : uint8_t {
    None,
    NothingToDelete,  // delete: the name is in neither the layout nor the lists
    NoViewAsked,      // change: no -view: switch
    NoListView,       // change: the layout has no list view
    ViewAlready,      // change: the list view is the variant asked for
    Forbidden,        // addchange, delete: the current layout is on the ForbiddenList
};

struct RunOutcome {
    Result result;  // Success until a step sets a failure
    NoChange noChange;
};

inline bool isSound(const RunOutcome& outcome) {
    return outcome.result == Result::Success;
}

// Sets the result; shows and records nothing (run_report.h does).
inline void setResult(RunOutcome& outcome, Result result) {
    outcome.result = result;
}

// A row of an editor's table that turns an outcome of one of its steps into
// the result it reports.
template <typename StepOutcome>
struct ResultOf {
    StepOutcome outcome;
    Result result;
};

// Sets the result of the outcome's row.  An outcome without a row (the
// step's success, or a failure reported elsewhere) leaves the result alone.
template <typename StepOutcome, size_t N>
void setResultOf(RunOutcome& outcome, const ResultOf<StepOutcome> (&rows)[N], StepOutcome step) {
    for (const ResultOf<StepOutcome>& row : rows) {
        if (row.outcome == step) {
            setResult(outcome, row.result);
            return;
        }
    }
}

struct RunContext {
    RunRequest request;
    RunKeys keys;
    RunOutcome outcome;
    RunBuffers buffers;
};

// What an editor is given: the request to read, the keys to write through,
// the outcome to report to and the buffers to work in.  Editors report
// only through the outcome; they show nothing.
struct EditorRun {
    const RunRequest& request;
    const RunKeys& keys;
    RunOutcome& outcome;
    RunBuffers& buffers;
};

inline EditorRun editorRun(RunContext& ctx) {
    return EditorRun{ctx.request, ctx.keys, ctx.outcome, ctx.buffers};
}

}  // namespace qorv
