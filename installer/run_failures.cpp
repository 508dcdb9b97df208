#include "installer/run_failures.h"

#include "platform/platform.h"

namespace qorv {

namespace {

struct FailureTexts {
    uint32_t code;
    const char16_t* box;
    const char16_t* result;
};

// Callers compare these texts as they stand, the missing dot of code 3's
// result text included.
constexpr FailureTexts kFailures[] = {
    {kResultNoAction, u"#1 Nothing to find what's to do (addchange,delete,change)",
     u"#1 Nothing to find what's to do (addchange,delete,change)"},
    {kResultNoPlg, u"No .plg-File defined", u"#2 No .plg-File defined"},
    {kResultPlgNoBackslash, u".plg-Path always must begin with a Backslash",
     u"#3 plg-Path always must begin with a Backslash"},
    {kResultPlgNoEnd, u".plg-Path end not found", u"#4 .plg-Path end not found"},
    {kResultCommandLineTooLong, u"Command line longer than 8091 characters",
     u"#5 Command line longer than 8091 characters"},
    {kResultNoCpr, u"No .cpr-File defined", u"#12 No .cpr-File defined"},
    {kResultCprNoBackslash, u".cpr-Path always must begin with a Backslash",
     u"#13 .cpr-Path always must begin with a Backslash"},
    {kResultCprNoEnd, u".cpr-Path end not found", u"#14 .cpr-Path end not found"},
    {kResultNoCurrentCpr, u"#20 No current CPR found", u"#20 No current CPR found"},
    {kResultNoExtensibilityXml, u"#28 NoExtensibilityXML found", u"#28 NoExtensibilityXML found"},
    {kResultNoPluginName, u"#32 No Plugin to delete defined", u"#32 No Plugin to delete defined"},
    {kResultNoRunRecord, u"#100 Couldn't access/create QORV Registry Key", nullptr},
    {kResultNoHomeKey, u"#101 Titanium Registry couldn't be found",
     u"#101 Titanium Registry couldn't be found"},
};

static_assert(kMaxCommandLineChars == 8091, "the code 5 texts name the limit");

const FailureTexts* findFailure(uint32_t code) {
    for (const FailureTexts& f : kFailures) {
        if (f.code == code)
            return &f;
    }
    return nullptr;
}

}  // namespace

const char16_t* failureBoxText(uint32_t code) {
    const FailureTexts* f = findFailure(code);
    return f == nullptr ? nullptr : f->box;
}

const char16_t* failureResultText(uint32_t code) {
    const FailureTexts* f = findFailure(code);
    return f == nullptr ? nullptr : f->result;
}

void showMessage(const RunContext& ctx, const char16_t* text) {
    if (!ctx.silent)
        ce::messageBox(u"QORV", text);
}

void raiseFailure(RunContext& ctx, uint32_t code) {
    const FailureTexts* f = findFailure(code);
    if (f == nullptr || f->result == nullptr)
        return;
    showMessage(ctx, f->box);
    setResult(ctx, code, f->result);
    recordResult(ctx);
}

}  // namespace qorv
