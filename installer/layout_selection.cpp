#include "installer/layout_selection.h"

#include <iterator>

#include "installer/command_line.h"
#include "installer/layout_mode.h"
#include "installer/layout_name.h"
#include "installer/run_report.h"
#include "installer/switch_path.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

// What a path switch fails with.
struct PathResults {
    Result missing;
    Result noBackslash;
    Result noEnd;
};

constexpr PathResults kPlgPathResults = {Result::NoPlgSwitch, Result::PlgNoBackslash,
                                         Result::PlgNoEnd};
constexpr PathResults kCprPathResults = {Result::NoCprSwitch, Result::CprNoBackslash,
                                         Result::CprNoEnd};

// A path longer than its buffer has no end that could be found in it.
Result pathFailure(SwitchPathResult r, const PathResults& results) {
    switch (r) {
        case SwitchPathResult::SwitchMissing:
            return results.missing;
        case SwitchPathResult::NoBackslash:
            return results.noBackslash;
        case SwitchPathResult::ExtensionMissing:
        case SwitchPathResult::TooLong:
            return results.noEnd;
        case SwitchPathResult::Taken:
            break;
    }
    return Result::Success;
}

unsigned screenSize(int pixels) {
    return pixels < 0 ? 0u : static_cast<unsigned>(pixels);
}

// The composed modes: the home screen's current layout, sized for the
// screen as the platform reports it now.
bool composeTarget(RunContext& ctx, const LayoutModeInfo& mode) {
    RunRequest& request = ctx.request;
    const RunKeys& keys = ctx.keys;
    ce::regWriteString(keys.runRecord, u"callTypeCPR", mode.recordedText);
    request.landscape = mode.landscape;
    request.currentLayout = mode.currentLayout;

    char16_t cprFile[kCprFileBytes / 2];
    if (!ce::regReadStringBytes(keys.homeKey, u"CPRFile", cprFile, kCprFileBytes / 2,
                                kCprFileBytes)) {
        raiseFailure(ctx, Result::NoCurrentCpr);
        return false;
    }
    char16_t* xml = ctx.buffers.extensibilityXml;
    if (!ce::regReadStringBytes(keys.homeKey, u"ExtensibilityXML", xml, kTextChars,
                                kExtensibilityXmlBytes)) {
        raiseFailure(ctx, Result::NoExtensibilityXml);
        return false;
    }

    char16_t name[kLayoutNameBufChars];
    LayoutNameResult resolved = resolveLayoutName(cprFile, xml, name);
    if (resolved == LayoutNameResult::TooLong) {
        raiseFailure(ctx, Result::NoCurrentCpr);
        return false;
    }
    if (resolved == LayoutNameResult::Fallback) {
        request.cprFixupPending = true;
        ce::u16copy(request.cprFixupName, kLayoutNameBufChars, name);
    }

    if (mode.currentLayout) {
        char16_t* forbiddenList = ctx.buffers.forbiddenList;
        if (ce::regReadStringBytes(keys.runRecord, u"ForbiddenList", forbiddenList, kTextChars,
                                   kForbiddenListBytes)) {
            request.forbidden = isListedLayout(forbiddenList, name);
        } else if (ce::regValueExists(keys.runRecord, u"ForbiddenList")) {
            // A list too long to read forbids nothing: a user who set it
            // must hear that it does not protect the layout.
            ce::diagnostic(
                u"the ForbiddenList in HKEY_CURRENT_USER\\SOFTWARE\\QORV is longer "
                u"than 8091 characters and cannot be read, so it forbids nothing");
        }
    }

    unsigned width = screenSize(request.screenWidth);
    unsigned height = screenSize(request.screenHeight);
    ce::regWriteDword(keys.runRecord, u"curResX", width);
    ce::regWriteDword(keys.runRecord, u"curResY", height);

    // The name has at most 497 characters, so the path always fits.
    if (mode.landscape) {
        composeLayoutPath(name, height, width, request.targetCpr, kTextChars);
    } else {
        composeLayoutPath(name, width, height, request.targetCpr, kTextChars);
    }
    ce::regWriteString(keys.runRecord, u"callCPR", request.targetCpr);
    return true;
}

}  // namespace

bool takePluginPath(RunContext& ctx, const char16_t* line) {
    SwitchPathResult r = takeSwitchPath(line, kSwitchPlg, u".plg", ctx.request.plgPath, kTextChars);
    if (r != SwitchPathResult::Taken) {
        raiseFailure(ctx, pathFailure(r, kPlgPathResults));
        return false;
    }
    ce::regWriteString(ctx.keys.runRecord, u"callPLG", ctx.request.plgPath);
    return true;
}

namespace {

// The longest part of a switch word that a warning repeats.
constexpr size_t kWarnedWordChars = 200;

// A mode word with more after it (-cpr:allday.cpr, a path whose backslash
// the shell took) is that mode, as the device reads the line: the user is
// told, since another file than the one meant is edited.
void warnOfLongerModeWord(const char16_t* line, const LayoutModeInfo& mode) {
    const char16_t* at = ce::u16str(line, mode.switchText) + 1;  // after its blank
    const size_t length = ce::u16len(mode.switchText) - 1;
    if (at[length] == 0 || at[length] == u' ')
        return;
    char16_t word[kWarnedWordChars + 1];
    size_t n = 0;
    while (n < kWarnedWordChars && at[n] != 0 && at[n] != u' ') {
        word[n] = at[n];
        ++n;
    }
    word[n] = 0;
    char16_t text[3 * kWarnedWordChars];
    ce::u16copy(text, std::size(text), word);
    ce::u16append(text, std::size(text), u" is read as ");
    ce::u16append(text, std::size(text), mode.switchText + 1);
    ce::u16append(text, std::size(text),
                  u", whose word begins it; a layout file is named by its path from a backslash, "
                  u"quoted in a shell: '-cpr:\\path\\x.cpr'");
    ce::diagnostic(text);
}

}  // namespace

bool selectTargetLayout(RunContext& ctx, const char16_t* line) {
    const LayoutModeInfo* mode = findLayoutMode(line);
    if (mode->mode == LayoutMode::None) {
        raiseFailure(ctx, Result::NoCprSwitch);
        return false;
    }
    if (mode->mode != LayoutMode::Direct) {
        warnOfLongerModeWord(line, *mode);
        return composeTarget(ctx, *mode);
    }

    // A direct path is always edited as a portrait file, and never as the
    // layout in use.
    RunRequest& request = ctx.request;
    SwitchPathResult r = takeSwitchPath(line, kSwitchCpr, u".cpr", request.targetCpr, kTextChars);
    if (r != SwitchPathResult::Taken) {
        raiseFailure(ctx, pathFailure(r, kCprPathResults));
        return false;
    }
    request.landscape = false;
    request.currentLayout = false;
    ce::regWriteString(ctx.keys.runRecord, u"callCPR", request.targetCpr);
    ce::regWriteString(ctx.keys.runRecord, u"callTypeCPR", mode->recordedText);
    return true;
}

void writeCprFixup(const RunRequest& request, const RunKeys& keys) {
    if (!request.cprFixupPending || request.keepHomeRegistry)
        return;
    ce::regWriteString(keys.homeKey, u"CPRFile", request.cprFixupName);
}

}  // namespace qorv
