// The files around a rewrite pass: the target layout file, the temporary
// layout copy, and the copy-back of the finished copy over the layout file.
// The three editors share them and differ only in their results.
#pragma once

#include "installer/result_codes.h"
#include "installer/rewrite_pass.h"

namespace qorv {

struct EditorRun;

// An editor's results for the failures of its files.
struct LayoutFileResults {
    Result layoutNotOpened;  // the target layout file cannot be opened
    Result tempNotCreated;   // the temporary layout copy cannot be created
    Result tempNotWritten;   // the copy could not be written completely
    Result layoutNotRead;    // the layout file could not be read to its end
    Result notCopiedBack;    // the copy-back failed
};

// Opens the target layout file, then creates (or empties) the temporary
// layout copy for the run's orientation: both in any case, so a failure of
// the second replaces one of the first.  When the result is still sound,
// runs the pass from the one into the other (the run record takes
// "ListView").  Closes both, and reports a read or write failure with the
// editor's results: a copy whose last bytes could not be written must never
// be copied back.  Returns the pass's outcome for the editor to report the
// rest; Done when the pass did not run.
PassOutcome rewriteLayoutFile(const EditorRun& run, const LayoutFileResults& results,
                              RewritePass pass);

// Replaces the target layout file by the finished copy, atomically: a crash
// or a full disk leaves the old file or the whole copy, never a part.
void copyBackLayout(const EditorRun& run, const LayoutFileResults& results);

}  // namespace qorv
