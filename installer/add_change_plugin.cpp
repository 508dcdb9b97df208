// addchange: installs the plugin of a plugin-definition file into the target
// layout file, in place of its old layers when it is there already (a
// change), otherwise just before the form's end (an add), and records it in
// the home screen's plugin values.
#include "installer/editors.h"
#include "installer/layout_files.h"
#include "installer/plugin_definition.h"
#include "installer/plugin_values.h"

namespace qorv {

namespace {

constexpr LayoutFileResults kFileResults = {Result::AddLayoutNotOpened, Result::AddTempNotCreated,
                                            Result::AddTempNotWritten, Result::AddLayoutNotRead,
                                            Result::LayoutNotCopiedBack};

constexpr SnapshotResults kSnapshotResults = {Result::AddNoExtXml, Result::AddNoDefaultXml,
                                              Result::AddNoPlugins};

constexpr ResultOf<PlgHeadStatus> kHeadResults[] = {
    {PlgHeadStatus::NameMissing, Result::NameMissing},
    {PlgHeadStatus::NameTagMissing, Result::NameTagMissing},
    {PlgHeadStatus::NameTooLong, Result::NameTooLong},
    {PlgHeadStatus::NameNotAllowed, Result::NameNotAllowed},
    {PlgHeadStatus::PositionMissing, Result::PositionMissing},
    {PlgHeadStatus::PositionTagMissing, Result::PositionTagMissing},
    {PlgHeadStatus::PositionTooLong, Result::PositionTooLong},
};

constexpr ResultOf<PassOutcome> kPassResults[] = {
    {PassOutcome::LayersUnfinished, Result::AddLayersUnfinished},
    {PassOutcome::NoResolution, Result::NoResolution},
    {PassOutcome::NoLayoutEnd, Result::NoLayoutEnd},
    {PassOutcome::BlockNotText, Result::BlockNotText},
    {PassOutcome::BlockHoldsFormEnd, Result::BlockHoldsFormEnd},
    {PassOutcome::NothingInjected, Result::NothingInjected},
};

// The home screen's lists hold the name as UTF-16.
constexpr size_t kPluginNameChars = 1024;

// Opens the plugin-definition file and reads its head: the name, which must
// convert to UTF-16, then the position.  The stream is left after the
// position line, where the layout blocks begin; null when it cannot be
// opened.
ce::File readPluginDefinition(const EditorRun& run, PluginHead& head, char16_t* wideName) {
    ce::File plg = ce::fileOpen(run.request.plgPath, ce::FileMode::Read);
    if (plg == nullptr) {
        setResult(run.outcome, Result::PlgNotOpened);
        return nullptr;
    }
    LayoutLine& line = run.buffers.pass.blockLine;
    PlgHeadStatus status = readPluginName(plg, line, head);
    if (status == PlgHeadStatus::Ok && !ce::acpToWide(head.name, wideName, kPluginNameChars)) {
        setResult(run.outcome, Result::NameNotConvertible);
        return plg;
    }
    if (status == PlgHeadStatus::Ok)
        status = readPluginPosition(plg, line, head);
    setResultOf(run.outcome, kHeadResults, status);
    return plg;
}

}  // namespace

void addChangePlugin(const EditorRun& run) {
    const RunRequest& request = run.request;
    PluginHead head = {};
    char16_t wideName[kPluginNameChars] = {};
    ce::File plg = readPluginDefinition(run, head, wideName);

    RewritePass pass = {};
    pass.kind = PassKind::Inject;
    pass.pluginName = head.name;
    pass.plg = plg;
    pass.landscape = request.landscape;
    setResultOf(run.outcome, kPassResults, rewriteLayoutFile(run, kFileResults, pass));
    ce::fileClose(plg);

    snapshotPluginValues(run, kSnapshotResults);
    if (!isSound(run.outcome))
        return;

    PluginValues values;
    insertPluginName(run, values, wideName, head.position);
    if (isSound(run.outcome) && request.forbidden)
        run.outcome.noChange = NoChange::Forbidden;
    if (isSound(run.outcome) && !request.keepLayout && !request.forbidden)
        copyBackLayout(run, kFileResults);
    if (isSound(run.outcome) && request.currentLayout && pluginValuesToComplete(values) &&
        !request.keepHomeRegistry && !request.forbidden) {
        commitPluginValues(run, values);
    }
}

}  // namespace qorv
