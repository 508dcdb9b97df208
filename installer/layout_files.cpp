#include "installer/layout_files.h"

#include "installer/rewrite_pass.h"

namespace qorv {

void openLayoutFiles(RunContext& ctx, LayoutFiles& files, const LayoutFileCodes& codes) {
    files.tempPath = tempLayoutCopyPath(ctx.landscape);
    files.layout = ce::fileOpen(ctx.targetCpr, ce::FileMode::Read);
    if (files.layout == nullptr)
        setResult(ctx, codes.layoutNotOpened);
    files.temp = ce::fileOpen(files.tempPath, ce::FileMode::Write);
    if (files.temp == nullptr)
        setResult(ctx, codes.tempNotCreated);
}

PassOutcome rewriteLayoutFiles(RunContext& ctx, const LayoutFiles& files,
                               const LayoutFileCodes& codes, RewritePass pass) {
    pass.layout = files.layout;
    pass.temp = files.temp;
    pass.runRecord = ctx.runRecord;
    PassOutcome outcome = runRewritePass(pass);
    if (outcome == PassOutcome::ReadFailed)
        setResult(ctx, codes.layoutNotRead);
    if (outcome == PassOutcome::WriteFailed)
        setResult(ctx, codes.tempNotWritten);
    return outcome;
}

void closeLayoutFiles(RunContext& ctx, LayoutFiles& files, const LayoutFileCodes& codes) {
    ce::fileClose(files.layout);
    files.layout = nullptr;
    if (files.temp != nullptr) {
        bool written = ce::fileClose(files.temp);
        files.temp = nullptr;
        if (!written && ctx.resultCode == 0)
            setResult(ctx, codes.tempNotWritten);
    }
}

void copyBackLayout(RunContext& ctx, const LayoutFiles& files, const LayoutFileCodes& codes) {
    if (!ce::fileCopyOver(files.tempPath, ctx.targetCpr))
        setResult(ctx, codes.notCopiedBack);
}

}  // namespace qorv
