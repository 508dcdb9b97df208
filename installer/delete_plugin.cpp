// delete: removes a named plugin's layers from the target layout file and
// its name from the home screen's plugin values.
#include <cstring>

#include "installer/editors.h"
#include "installer/layer_markers.h"
#include "installer/layout_files.h"
#include "installer/plugin_values.h"

namespace qorv {

namespace {

constexpr LayoutFileResults kFileResults = {
    Result::DeleteLayoutNotOpened, Result::DeleteTempNotCreated, Result::DeleteTempNotWritten,
    Result::DeleteLayoutNotRead, Result::LayoutNotCopiedBack};

constexpr SnapshotResults kSnapshotResults = {Result::DeleteNoExtXml, Result::DeleteNoDefaultXml,
                                              Result::DeleteNoPlugins};

// A removal injects nothing: its only own outcome is unfinished layers.
constexpr ResultOf<PassOutcome> kPassResults[] = {
    {PassOutcome::LayersUnfinished, Result::DeleteLayersUnfinished},
};

// The 8-bit name the layers are looked for by; the result is set when
// there is none.
void pluginNameAsAcp(const EditorRun& run, char* name, size_t nameBytes) {
    char* converted = run.buffers.deleteNameAcp;
    if (!ce::wideToAcp(run.request.pluginName, converted, sizeof run.buffers.deleteNameAcp)) {
        setResult(run.outcome, Result::DeleteNameNotConvertible);
        return;
    }
    size_t length = std::strlen(converted);
    if (length > kMaxPluginNameBytes || length >= nameBytes) {
        setResult(run.outcome, Result::DeleteNameTooLong);
        return;
    }
    std::memcpy(name, converted, length + 1);
}

}  // namespace

void deletePlugin(const EditorRun& run) {
    const RunRequest& request = run.request;
    char name[kMaxPluginNameBytes + 1] = {};
    pluginNameAsAcp(run, name, sizeof name);

    PassMet met = {};
    RewritePass pass = {};
    pass.kind = PassKind::Remove;
    pass.met = &met;
    pass.pluginName = name;
    setResultOf(run.outcome, kPassResults, rewriteLayoutFile(run, kFileResults, pass));

    snapshotPluginValues(run, kSnapshotResults);
    if (!isSound(run.outcome))
        return;

    PluginValues values;
    removePluginName(run, values, request.pluginName);
    const HomeValueTexts& before = run.buffers.homeValues;
    if (isSound(run.outcome) && !met.layers && values.newOrder == before.extXml &&
        values.newPlugins == before.plugins) {
        run.outcome.noChange = NoChange::NothingToDelete;
    }
    if (isSound(run.outcome) && request.forbidden)
        run.outcome.noChange = NoChange::Forbidden;
    if (isSound(run.outcome) && !request.keepLayout && !request.forbidden)
        copyBackLayout(run, kFileResults);
    // A removal commits whether or not the name was found anywhere.
    if (isSound(run.outcome) && request.currentLayout && !request.keepHomeRegistry &&
        !request.forbidden) {
        commitPluginValues(run, values);
    }
}

}  // namespace qorv
