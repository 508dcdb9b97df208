#include "installer/run_record.h"

#include "installer/run_report.h"
#include "platform/reg_values.h"

namespace qorv {

namespace {

// Copies one value of the previous call to its "lastCall..." name, only
// when it can be read within bufBytes.
void rotateValue(RunContext& ctx, const char16_t* from, const char16_t* to, uint32_t bufBytes) {
    char16_t* buf = ctx.buffers.previousCall;
    if (ce::regReadStringBytes(ctx.keys.runRecord, from, buf, kTextChars, bufBytes))
        ce::regWriteString(ctx.keys.runRecord, to, buf);
}

}  // namespace

void openRunRecord(RunContext& ctx) {
    ctx.keys.runRecord = ce::regCreateKey(ce::Hive::CurrentUser, kRunRecordKey);
    if (ctx.keys.runRecord == nullptr) {
        raiseFailure(ctx, Result::NoRunRecord);
        return;
    }
    setResult(ctx.outcome, Result::Success);
    recordResult(ctx.keys, ctx.outcome);
    rotateValue(ctx, u"callPLG", u"lastCallPLG", kTextBytes);
    rotateValue(ctx, u"callCPR", u"lastCallCPR", kTextBytes);
    rotateValue(ctx, u"callAction", u"lastCallAction", kCallActionBytes);
    ce::regWriteString(ctx.keys.runRecord, u"Version", kVersionText);
}

}  // namespace qorv
