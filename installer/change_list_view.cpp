// change: switches the target layout file's list view between its Titanium
// and Bronze variants.  It touches none of the home screen's values, and
// neither the keep-layout nor the forbidden flag stops its copy-back.
#include "installer/layout_files.h"
#include "installer/rewrite_pass.h"
#include "installer/run_context.h"

namespace qorv {

namespace {

constexpr LayoutFileCodes kFileCodes = {
    {351, u"#351 cpr-File could not be found/opened"},
    {352, u"#352 temp-File could not be created"},
    {353, u"#353 temp-File could not be written"},
    {354, u"#354 cpr-File could not be read"},
    {300, u"#300 cpr could not be copied to destination directory"},
};

}  // namespace

int changeListView(RunContext& ctx) {
    LayoutFiles files;
    openLayoutFiles(ctx, files, kFileCodes);
    if (ctx.resultCode == 0) {
        RewritePass pass = {};
        pass.kind = PassKind::SwitchListView;
        pass.toTitanium = ctx.titaniumView;
        pass.toBronze = ctx.bronzeView;
        rewriteLayoutFiles(ctx, files, kFileCodes, pass);
    }
    closeLayoutFiles(ctx, files, kFileCodes);
    if (ctx.resultCode == 0)
        copyBackLayout(ctx, files, kFileCodes);
    return 1;
}

}  // namespace qorv
