#include "installer/run_context.h"

#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

void setResult(RunContext& ctx, uint32_t code, const char16_t* text) {
    ctx.resultCode = code;
    // Result texts are fixed and short; one that did not fit would be
    // recorded empty rather than cut.
    ce::u16copy(ctx.resultText, kTextChars, text);
}

void recordResult(RunContext& ctx) {
    ce::regWriteString(ctx.runRecord, u"ErrorDescription", ctx.resultText);
    ce::regWriteDword(ctx.runRecord, u"ErrorNumber", ctx.resultCode);
}

}  // namespace qorv
