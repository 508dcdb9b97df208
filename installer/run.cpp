#include "installer/run.h"

#include "installer/command_line.h"
#include "installer/editors.h"
#include "installer/failure_hints.h"
#include "installer/layout_selection.h"
#include "installer/run_record.h"
#include "installer/run_report.h"
#include "installer/star_image.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

// Opens the home-screen key and reads the request from the command line and
// the layout selection.  Stops at the first failure, which has been raised;
// the run then goes on with the tail.
void readRequest(RunContext& ctx, const char16_t* line) {
    RunRequest& request = ctx.request;
    RunKeys& keys = ctx.keys;
    keys.homeKey = ce::regOpenKey(ce::Hive::LocalMachine, kHomeScreenKey);
    if (keys.homeKey == nullptr) {
        raiseFailure(ctx, Result::NoHomeKey);
        return;
    }
    ce::regWriteString(keys.runRecord, u"callOverall", line);

    // Every switch is searched in the whole line; acting on a line cut to
    // the request's buffers could edit the wrong file, so such a line is
    // refused before anything is taken from it.
    if (ce::u16len(line) > kMaxCommandLineChars) {
        raiseFailure(ctx, Result::CommandLineTooLong);
        return;
    }

    request.action = findAction(line);
    if (request.action == Action::None) {
        raiseFailure(ctx, Result::NoAction);
        return;
    }
    ce::regWriteString(keys.runRecord, u"callAction", actionName(request.action));

    if (request.action == Action::AddChange && !takePluginPath(ctx, line))
        return;
    if (!selectTargetLayout(ctx, line))
        return;

    if (request.action == Action::Delete) {
        // The line fits the request's buffers, so the name always does.
        if (takePluginName(line, request.pluginName, kTextChars) != PluginNameResult::Taken) {
            raiseFailure(ctx, Result::NoPluginToDelete);
            return;
        }
        ce::regWriteString(keys.runRecord, u"callPlugin", request.pluginName);
        ce::regWriteString(keys.runRecord, u"callTypeCPR", u"plugin");
    }
}

// Reached on every path once the home-screen key was tried: the switches
// that only the editors obey, and the CPRFile fix-up.
void readTail(RunContext& ctx, const char16_t* line) {
    RunRequest& request = ctx.request;
    if (request.action == Action::Change) {
        request.titaniumView = hasSwitch(line, kSwitchTitaniumView);
        request.bronzeView = hasSwitch(line, kSwitchBronzeView);
    }
    request.keepHomeRegistry = hasSwitch(line, kSwitchKeepHomeRegistry);
    writeCprFixup(request, ctx.keys);
    request.keepLayout = hasSwitch(line, kSwitchKeepLayout);
}

void callEditor(const EditorRun& run) {
    switch (run.request.action) {
        case Action::AddChange:
            addChangePlugin(run);
            break;
        case Action::Delete:
            deletePlugin(run);
            break;
        case Action::Change:
            changeListView(run);
            break;
        case Action::None:
            break;
    }
}

}  // namespace

uint32_t runInstaller(RunContext& ctx, const char16_t* commandLine) {
    RunRequest& request = ctx.request;
    setResult(ctx.outcome, Result::Success);
    ctx.outcome.noChange = NoChange::None;
    request.screenWidth = ce::screenWidth();
    request.screenHeight = ce::screenHeight();
    request.keepHomeRegistry = false;
    request.keepLayout = false;
    request.landscape = false;
    request.silent = hasSwitch(commandLine, kSwitchSilent);

    openRunRecord(ctx);
    readRequest(ctx, commandLine);
    readTail(ctx, commandLine);

    // From here on the request is read-only.
    if (isSound(ctx.outcome))
        callEditor(editorRun(ctx));
    reportOutcome(ctx);
    explainOutcome(ctx, commandLine);

    updateStarImage(ctx.keys, ctx.buffers);
    ce::regWriteDword(ctx.keys.runRecord, u"QORVhasChangedSomething", 1);

    ce::regCloseKey(ctx.keys.homeKey);
    ctx.keys.homeKey = nullptr;
    ce::regCloseKey(ctx.keys.runRecord);
    ctx.keys.runRecord = nullptr;
    return resultNumber(ctx.outcome.result);
}

}  // namespace qorv
