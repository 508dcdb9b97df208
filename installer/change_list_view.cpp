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

}  // namespace

void changeListView(const EditorRun& run) {
    RewritePass pass = {};
    pass.kind = PassKind::SwitchListView;
    pass.toTitanium = run.request.titaniumView;
    pass.toBronze = run.request.bronzeView;
    rewriteLayoutFile(run, kFileResults, pass);
    if (isSound(run.outcome))
        copyBackLayout(run, kFileResults);
}

}  // namespace qorv
