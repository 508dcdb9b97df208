#include "installer/run_record.h"

#include "installer/run_failures.h"
#include "platform/reg_values.h"

namespace qorv {

namespace {

// Copies one value of the previous call to its "lastCall..." name, only
// when it can be read within bufBytes.
void rotateValue(ce::RegKey key, const char16_t* from, const char16_t* to, uint32_t bufBytes) {
    // One run at a time and one value at a time: a static buffer keeps the
    // 16 KB off the device's small stack.
    static char16_t buf[kTextChars];
    if (ce::regReadStringBytes(key, from, buf, kTextChars, bufBytes)) {
        ce::regWriteString(key, to, buf);
    }
}

}  // namespace

void openRunRecord(RunContext& ctx) {
    ctx.runRecord = ce::regCreateKey(ce::Hive::CurrentUser, kRunRecordKey);
    if (ctx.runRecord == nullptr) {
        showMessage(ctx, failureBoxText(kResultNoRunRecord));
        return;
    }
    setResult(ctx, 0, u"#0 Success");
    recordResult(ctx);
    rotateValue(ctx.runRecord, u"callPLG", u"lastCallPLG", kTextBytes);
    rotateValue(ctx.runRecord, u"callCPR", u"lastCallCPR", kTextBytes);
    rotateValue(ctx.runRecord, u"callAction", u"lastCallAction", kCallActionBytes);
    ce::regWriteString(ctx.runRecord, u"Version", kVersionText);
}

}  // namespace qorv
