#include "installer/layout_files.h"

#include "installer/run_context.h"

namespace qorv {

PassOutcome rewriteLayoutFile(const EditorRun& run, const LayoutFileResults& results,
                              RewritePass pass) {
    pass.layout = ce::fileOpen(run.request.targetCpr, ce::FileMode::Read);
    if (pass.layout == nullptr)
        setResult(run.outcome, results.layoutNotOpened);
    pass.temp = ce::fileOpen(tempLayoutCopyPath(run.request.landscape), ce::FileMode::Write);
    if (pass.temp == nullptr)
        setResult(run.outcome, results.tempNotCreated);

    PassOutcome outcome = PassOutcome::Done;
    if (isSound(run.outcome)) {
        pass.runRecord = run.keys.runRecord;
        outcome = runRewritePass(pass, run.buffers.pass);
        if (outcome == PassOutcome::ReadFailed)
            setResult(run.outcome, results.layoutNotRead);
        if (outcome == PassOutcome::WriteFailed)
            setResult(run.outcome, results.tempNotWritten);
    }

    ce::fileClose(pass.layout);
    if (pass.temp != nullptr && !ce::fileClose(pass.temp) && isSound(run.outcome))
        setResult(run.outcome, results.tempNotWritten);
    return outcome;
}

void copyBackLayout(const EditorRun& run, const LayoutFileResults& results) {
    if (!ce::fileCopyOver(tempLayoutCopyPath(run.request.landscape), run.request.targetCpr))
        setResult(run.outcome, results.notCopiedBack);
}

}  // namespace qorv
