// The files around a rewrite pass: the target layout file, the temporary
// layout copy, and the copy-back of the finished copy over the layout file.
// The three editors share them and differ only in their result codes.
#pragma once

#include <cstdint>

#include "installer/rewrite_pass.h"
#include "installer/run_context.h"
#include "platform/platform.h"

namespace qorv {

struct ResultCode {
    uint32_t number;
    const char16_t* text;
};

inline void setResult(RunContext& ctx, const ResultCode& code) {
    setResult(ctx, code.number, code.text);
}

// An editor's codes for the failures of its files.
struct LayoutFileCodes {
    ResultCode layoutNotOpened;  // the target layout file cannot be opened
    ResultCode tempNotCreated;   // the temporary layout copy cannot be created
    ResultCode tempNotWritten;   // the copy could not be written completely
    ResultCode layoutNotRead;    // the layout file could not be read to its end
    ResultCode notCopiedBack;    // the copy-back failed
};

struct LayoutFiles {
    const char16_t* tempPath = nullptr;
    ce::File layout = nullptr;
    ce::File temp = nullptr;
};

// Opens the target layout file, then creates (or empties) the temporary
// layout copy for the run's orientation.  Both run whatever the result code
// is; a failure of the second replaces one of the first.
void openLayoutFiles(RunContext& ctx, LayoutFiles& files, const LayoutFileCodes& codes);

// Runs the pass from the layout file into the temporary copy (the run
// record takes "ListView") and reports a read or write failure with the
// editor's codes.  The editor reports the pass's other outcomes.
PassOutcome rewriteLayoutFiles(RunContext& ctx, const LayoutFiles& files,
                               const LayoutFileCodes& codes, RewritePass pass);

// Closes what is open.  A copy whose last bytes could not be written is a
// failure while the result is still 0: it must never be copied back.
void closeLayoutFiles(RunContext& ctx, LayoutFiles& files, const LayoutFileCodes& codes);

// Replaces the target layout file by the finished copy, atomically: a crash
// or a full disk leaves the old file or the whole copy, never a part.
void copyBackLayout(RunContext& ctx, const LayoutFiles& files, const LayoutFileCodes& codes);

}  // namespace qorv
