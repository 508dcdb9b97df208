// How a run makes its outcome known: the run record's "ErrorDescription"
// and "ErrorNumber", and message boxes with the caption "QORV".
//
// The one rule for boxes:
// - A failure that the run raises while it reads its request shows its box
//   text at once; the result is set and recorded at once as well.
// - At the end of the run a result other than Success is shown once more,
//   as its result text, and recorded.
// - The editors set results only; they never show a box.
// - "-silent" suppresses every box; the run record is written all the same.
// So a failure raised while the request is read is shown twice in a run
// that is not silent: its box text when raised, its result text at the end.
#pragma once

#include "installer/result_codes.h"
#include "installer/run_context.h"

namespace qorv {

// Shows the result's box text unless the run is silent; then sets and
// records the result, when it has a result text (code 100 has none: it is
// shown and the run goes on).  The caller then skips ahead to the tail.
void raiseFailure(RunContext& ctx, Result result);

// The end of the run: a failure, whoever set it, is shown as its result
// text unless the run is silent, and recorded.
void reportOutcome(RunContext& ctx);

// Writes "ErrorDescription", then "ErrorNumber", into the run record.
void recordResult(const RunKeys& keys, const RunOutcome& outcome);

}  // namespace qorv
