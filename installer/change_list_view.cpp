// change: switches the target layout file's list view between its Titanium
// and Bronze variants.  It touches none of the home screen's values, and
// neither the keep-layout nor the forbidden flag stops its copy-back.
#include "installer/editors.h"
#include "installer/layout_files.h"

namespace qorv {

namespace {

constexpr LayoutFileResults kFileResults = {
    Result::ChangeLayoutNotOpened, Result::ChangeTempNotCreated, Result::ChangeTempNotWritten,
    Result::ChangeLayoutNotRead, Result::SwitchNotCopiedBack};

// Why a sound switch changed nothing, if it did not.
NoChange switchLeftAlone(const RunRequest& request, ListView found) {
    if (!request.titaniumView && !request.bronzeView)
        return NoChange::NoViewAsked;
    if (found == ListView::None)
        return NoChange::NoListView;
    bool other = found == ListView::Titanium ? request.bronzeView : request.titaniumView;
    return other ? NoChange::None : NoChange::ViewAlready;
}

}  // namespace

void changeListView(const EditorRun& run) {
    PassMet met = {};
    RewritePass pass = {};
    pass.kind = PassKind::SwitchListView;
    pass.met = &met;
    pass.toTitanium = run.request.titaniumView;
    pass.toBronze = run.request.bronzeView;
    rewriteLayoutFile(run, kFileResults, pass);
    if (isSound(run.outcome))
        copyBackLayout(run, kFileResults);
    if (isSound(run.outcome))
        run.outcome.noChange = switchLeftAlone(run.request, met.listView);
}

}  // namespace qorv
