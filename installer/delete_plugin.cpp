// delete: removes a named plugin's layers from the target layout file and
// its name from the home screen's plugin values.
#include <cstring>

#include "installer/layer_markers.h"
#include "installer/layout_files.h"
#include "installer/plugin_values.h"
#include "installer/rewrite_pass.h"
#include "installer/run_context.h"

namespace qorv {

namespace {

constexpr ResultCode kNameTooLong = {160, u"#160 Name of Plugin to delete too long"};
constexpr ResultCode kNameNotConvertible = {
    161, u"#161 Name of Plugin to delete could not be converted"};
constexpr ResultCode kLayersUnfinished = {170,
                                          u"#170 Found Plugin in cpr, but unexpected end of file"};

constexpr LayoutFileCodes kFileCodes = {
    {151, u"#151 cpr-File could not be found/opened"},
    {152, u"#152 temp-File could not be created"},
    {153, u"#153 temp-File could not be written"},
    {154, u"#154 cpr-File could not be read"},
    {200, u"#200 cpr could not be copied to destination directory"},
};

// Room for the 8-bit form of any name the command line can carry, so that a
// name that is merely long is told apart from one that cannot be converted.
constexpr size_t kWideNameAsAcpBytes = kTextChars * 3;

// The 8-bit name the layers are looked for by; false with the result set
// when there is none.
bool pluginNameAsAcp(RunContext& ctx, char* name, size_t nameBytes) {
    static char converted[kWideNameAsAcpBytes];
    if (!ce::wideToAcp(ctx.pluginName, converted, sizeof converted)) {
        setResult(ctx, kNameNotConvertible);
        return false;
    }
    size_t length = std::strlen(converted);
    if (length > kMaxPluginNameBytes || length >= nameBytes) {
        setResult(ctx, kNameTooLong);
        return false;
    }
    std::memcpy(name, converted, length + 1);
    return true;
}

}  // namespace

int deletePlugin(RunContext& ctx) {
    char name[kMaxPluginNameBytes + 1] = {};
    pluginNameAsAcp(ctx, name, sizeof name);

    LayoutFiles files;
    openLayoutFiles(ctx, files, kFileCodes);
    if (ctx.resultCode == 0) {
        RewritePass pass = {};
        pass.kind = PassKind::Remove;
        pass.pluginName = name;
        // A removal injects nothing: its only own outcome is unfinished layers.
        if (rewriteLayoutFiles(ctx, files, kFileCodes, pass) == PassOutcome::LayersUnfinished)
            setResult(ctx, kLayersUnfinished);
    }
    closeLayoutFiles(ctx, files, kFileCodes);

    static PluginValues values;  // three value buffers: too large for the stack
    values.editor = ValuesEditor::Remove;
    snapshotPluginValues(ctx, values);
    if (ctx.resultCode != 0)
        return 1;

    removePluginName(ctx, values, ctx.pluginName);
    if (ctx.resultCode == 0 && !ctx.keepLayout && !ctx.forbidden) {
        copyBackLayout(ctx, files, kFileCodes);
    }
    // A removal commits whether or not the name was found anywhere.
    if (ctx.resultCode == 0 && ctx.currentLayout && !ctx.keepHomeRegistry && !ctx.forbidden) {
        commitPluginValues(ctx, values);
    }
    return 1;
}

}  // namespace qorv
