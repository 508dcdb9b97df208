#include "installer/run.h"

#include "installer/command_line.h"
#include "installer/layout_selection.h"
#include "installer/run_failures.h"
#include "installer/run_record.h"
#include "installer/star_image.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

// Opens the home-screen key and parses the command line into the context.
// Stops at the first failure, which has been raised; the run then goes on
// with the tail.
void parseRun(RunContext& ctx, const char16_t* line, bool lineFits) {
    ctx.homeKey = ce::regOpenKey(ce::Hive::LocalMachine, kHomeScreenKey);
    if (ctx.homeKey == nullptr) {
        raiseFailure(ctx, kResultNoHomeKey);
        return;
    }
    ce::regWriteString(ctx.runRecord, u"callOverall", line);

    // Every switch is searched in the whole line; acting on a line cut to
    // the context's buffer could edit the wrong file, so such a line is
    // refused before anything is taken from it.
    if (!lineFits) {
        raiseFailure(ctx, kResultCommandLineTooLong);
        return;
    }

    ctx.action = findAction(line);
    if (ctx.action == Action::None) {
        raiseFailure(ctx, kResultNoAction);
        return;
    }
    ce::regWriteString(ctx.runRecord, u"callAction", actionName(ctx.action));

    if (ctx.action == Action::AddChange && !takePluginPath(ctx, line))
        return;
    if (!selectTargetLayout(ctx, line))
        return;

    if (ctx.action == Action::Delete) {
        // The line fits the context's buffers, so the name always does.
        if (takePluginName(line, ctx.pluginName, kTextChars) != PluginNameResult::Taken) {
            raiseFailure(ctx, kResultNoPluginName);
            return;
        }
        ce::regWriteString(ctx.runRecord, u"callPlugin", ctx.pluginName);
        ce::regWriteString(ctx.runRecord, u"callTypeCPR", u"plugin");
    }
}

// Reached on every path once the home-screen key was tried: the flags of
// the editors and the CPRFile fix-up.
void runTail(RunContext& ctx, const char16_t* line) {
    if (ctx.action == Action::Change) {
        ctx.titaniumView = hasSwitch(line, kSwitchTitaniumView);
        ctx.bronzeView = hasSwitch(line, kSwitchBronzeView);
    }
    ctx.keepHomeRegistry = hasSwitch(line, kSwitchKeepHomeRegistry);
    writeCprFixup(ctx);
    ctx.keepLayout = hasSwitch(line, kSwitchKeepLayout);
}

// The editor reports through the result code and text only; what it
// returns carries nothing.
void callEditor(RunContext& ctx) {
    switch (ctx.action) {
        case Action::AddChange:
            addChangePlugin(ctx);
            break;
        case Action::Delete:
            deletePlugin(ctx);
            break;
        case Action::Change:
            changeListView(ctx);
            break;
        case Action::None:
            break;
    }
}

}  // namespace

uint32_t runInstaller(RunContext& ctx, const char16_t* commandLine) {
    setResult(ctx, 0, u"#0 Success");
    ctx.screenWidth = ce::screenWidth();
    ctx.screenHeight = ce::screenHeight();
    ctx.keepHomeRegistry = false;
    ctx.keepLayout = false;
    ctx.landscape = false;
    bool lineFits = ce::u16copy(ctx.commandLine, kTextChars, commandLine);
    ctx.silent = hasSwitch(commandLine, kSwitchSilent);

    openRunRecord(ctx);
    parseRun(ctx, commandLine, lineFits);
    runTail(ctx, commandLine);

    if (ctx.resultCode == 0)
        callEditor(ctx);
    if (ctx.resultCode != 0) {
        showMessage(ctx, ctx.resultText);
        recordResult(ctx);
    }

    updateStarImage(ctx);
    ce::regWriteDword(ctx.runRecord, u"QORVhasChangedSomething", 1);

    ce::regCloseKey(ctx.homeKey);
    ctx.homeKey = nullptr;
    ce::regCloseKey(ctx.runRecord);
    ctx.runRecord = nullptr;
    return ctx.resultCode;
}

}  // namespace qorv
