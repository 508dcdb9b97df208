#include "installer/layout_selection.h"

#include "installer/command_line.h"
#include "installer/layout_mode.h"
#include "installer/layout_name.h"
#include "installer/run_failures.h"
#include "installer/switch_path.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

// A path longer than its buffer has no end that could be found in it.
uint32_t pathFailure(SwitchPathResult r, uint32_t missing, uint32_t noBackslash, uint32_t noEnd) {
    switch (r) {
        case SwitchPathResult::SwitchMissing:
            return missing;
        case SwitchPathResult::NoBackslash:
            return noBackslash;
        case SwitchPathResult::ExtensionMissing:
        case SwitchPathResult::TooLong:
            return noEnd;
        case SwitchPathResult::Taken:
            break;
    }
    return 0;
}

unsigned screenSize(int pixels) {
    return pixels < 0 ? 0u : static_cast<unsigned>(pixels);
}

// The composed modes: the home screen's current layout, sized for the
// screen as the platform reports it now.
bool composeTarget(RunContext& ctx, const LayoutModeInfo& mode) {
    ce::regWriteString(ctx.runRecord, u"callTypeCPR", mode.recordedText);
    ctx.landscape = mode.landscape;
    ctx.currentLayout = mode.currentLayout;

    char16_t cprFile[kCprFileBytes / 2];
    if (!ce::regReadStringBytes(ctx.homeKey, u"CPRFile", cprFile, kCprFileBytes / 2,
                                kCprFileBytes)) {
        raiseFailure(ctx, kResultNoCurrentCpr);
        return false;
    }
    // Held for the run's one selection only; static to spare the stack.
    static char16_t xml[kTextChars];
    if (!ce::regReadStringBytes(ctx.homeKey, u"ExtensibilityXML", xml, kTextChars,
                                kExtensibilityXmlBytes)) {
        raiseFailure(ctx, kResultNoExtensibilityXml);
        return false;
    }

    char16_t name[kLayoutNameBufChars];
    LayoutNameResult resolved = resolveLayoutName(cprFile, xml, name);
    if (resolved == LayoutNameResult::TooLong) {
        raiseFailure(ctx, kResultNoCurrentCpr);
        return false;
    }
    if (resolved == LayoutNameResult::Fallback) {
        ctx.cprFixupPending = true;
        ce::u16copy(ctx.cprFixupName, kLayoutNameBufChars, name);
    }

    if (mode.currentLayout) {
        static char16_t forbiddenList[kTextChars];
        if (ce::regReadStringBytes(ctx.runRecord, u"ForbiddenList", forbiddenList, kTextChars,
                                   kForbiddenListBytes) &&
            isListedLayout(forbiddenList, name)) {
            ctx.forbidden = true;
        }
    }

    unsigned width = screenSize(ctx.screenWidth);
    unsigned height = screenSize(ctx.screenHeight);
    ce::regWriteDword(ctx.runRecord, u"curResX", width);
    ce::regWriteDword(ctx.runRecord, u"curResY", height);

    // The name has at most 497 characters, so the path always fits.
    if (mode.landscape) {
        composeLayoutPath(name, height, width, ctx.targetCpr, kTextChars);
    } else {
        composeLayoutPath(name, width, height, ctx.targetCpr, kTextChars);
    }
    ce::regWriteString(ctx.runRecord, u"callCPR", ctx.targetCpr);
    return true;
}

}  // namespace

bool takePluginPath(RunContext& ctx, const char16_t* line) {
    SwitchPathResult r = takeSwitchPath(line, kSwitchPlg, u".plg", ctx.plgPath, kTextChars);
    if (r != SwitchPathResult::Taken) {
        raiseFailure(ctx, pathFailure(r, kResultNoPlg, kResultPlgNoBackslash, kResultPlgNoEnd));
        return false;
    }
    ce::regWriteString(ctx.runRecord, u"callPLG", ctx.plgPath);
    return true;
}

bool selectTargetLayout(RunContext& ctx, const char16_t* line) {
    const LayoutModeInfo* mode = findLayoutMode(line);
    if (mode->mode == LayoutMode::None) {
        raiseFailure(ctx, kResultNoCpr);
        return false;
    }
    if (mode->mode != LayoutMode::Direct)
        return composeTarget(ctx, *mode);

    // A direct path is always edited as a portrait file, and never as the
    // layout in use.
    SwitchPathResult r = takeSwitchPath(line, kSwitchCpr, u".cpr", ctx.targetCpr, kTextChars);
    if (r != SwitchPathResult::Taken) {
        raiseFailure(ctx, pathFailure(r, kResultNoCpr, kResultCprNoBackslash, kResultCprNoEnd));
        return false;
    }
    ctx.landscape = false;
    ctx.currentLayout = false;
    ce::regWriteString(ctx.runRecord, u"callCPR", ctx.targetCpr);
    ce::regWriteString(ctx.runRecord, u"callTypeCPR", mode->recordedText);
    return true;
}

void writeCprFixup(RunContext& ctx) {
    if (!ctx.cprFixupPending || ctx.keepHomeRegistry)
        return;
    ce::regWriteString(ctx.homeKey, u"CPRFile", ctx.cprFixupName);
}

}  // namespace qorv
