// The line that tells a person at a PC what to fix (ce::diagnostic): one
// for every failure of a run, and one for a sound run that changed nothing
// (a delete of a name that is nowhere, a switch that switches nothing).
//
// It comes on top of what the run records and shows, and changes neither:
// result codes, exit statuses and message boxes stay as they are, and
// "-silent" does not suppress it.  A failure whose file the platform names
// itself (a file that cannot be opened, a copy-back that fails: the
// backend says which file and why) gets no second line here.
#pragma once

#include "installer/run_context.h"

namespace qorv {

// Says what to fix about the run's outcome, once the editor has run.
// line is the command line as the run received it.
void explainOutcome(RunContext& ctx, const char16_t* line);

// The hint's text for the outcome into ctx.buffers.hint; empty when the
// outcome needs none (a sound run that changed what it was asked to, or a
// failure the platform names).
const char16_t* outcomeHint(RunContext& ctx, const char16_t* line);

}  // namespace qorv
