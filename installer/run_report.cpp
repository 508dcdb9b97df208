#include "installer/run_report.h"

#include "platform/platform.h"
#include "platform/reg_values.h"

namespace qorv {

namespace {

void showBox(const RunRequest& request, const char16_t* text) {
    if (!request.silent)
        ce::messageBox(u"QORV", text);
}

}  // namespace

void raiseFailure(RunContext& ctx, Result result) {
    showBox(ctx.request, boxText(result));
    if (resultText(result) == nullptr)
        return;
    setResult(ctx.outcome, result);
    recordResult(ctx.keys, ctx.outcome);
}

void reportOutcome(RunContext& ctx) {
    if (isSound(ctx.outcome))
        return;
    showBox(ctx.request, resultText(ctx.outcome.result));
    recordResult(ctx.keys, ctx.outcome);
}

void recordResult(const RunKeys& keys, const RunOutcome& outcome) {
    ce::regWriteString(keys.runRecord, u"ErrorDescription", resultText(outcome.result));
    ce::regWriteDword(keys.runRecord, u"ErrorNumber", resultNumber(outcome.result));
}

}  // namespace qorv
