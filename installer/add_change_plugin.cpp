// addchange: installs the plugin of a plugin-definition file into the target
// layout file, in place of its old layers when it is there already (a
// change), otherwise just before the form's end (an add), and records it in
// the home screen's plugin values.
#include "installer/layout_files.h"
#include "installer/plugin_definition.h"
#include "installer/plugin_values.h"
#include "installer/rewrite_pass.h"
#include "installer/run_context.h"

namespace qorv {

namespace {

constexpr ResultCode kPlgNotOpened = {50, u"#50 plg-File could not be opened"};
constexpr ResultCode kNameTagMissing = {60, u"#60 Name-Tag in plg not found"};
constexpr ResultCode kNameMissing = {61, u"#61 Name of Plugin in plg not found"};
constexpr ResultCode kPositionMissing = {62, u"#62 Position of Plugin in plg not found"};
constexpr ResultCode kPositionTagMissing = {62, u"#62 Position-Tag in plg not found"};
constexpr ResultCode kNoResolution = {63, u"#63 Didn't found correct resolution in .plg to inject"};
constexpr ResultCode kNoLayoutEnd = {64, u"#64 Didn't found final <layout>-Tag in .plg to inject"};
constexpr ResultCode kNothingInjected = {65, u"#65 No place to inject the plugin found in cpr"};
constexpr ResultCode kNameTooLong = {66, u"#66 Name of Plugin in plg too long"};
constexpr ResultCode kPositionTooLong = {67, u"#67 Position of Plugin in plg too long"};
constexpr ResultCode kNameNotConvertible = {68,
                                            u"#68 Name of Plugin in plg could not be converted"};
constexpr ResultCode kLayersUnfinished = {70,
                                          u"#70 Found Plugin in cpr, but unexpected end of file"};

constexpr LayoutFileCodes kFileCodes = {
    {51, u"#51 cpr-File could not be found/opened"},
    {52, u"#52 temp-File could not be created"},
    {53, u"#53 temp-File could not be written"},
    {54, u"#54 cpr-File could not be read"},
    {200, u"#200 cpr could not be copied to destination directory"},
};

// The home screen's lists hold the name as UTF-16.
constexpr size_t kPluginNameChars = 1024;

void readPluginHead(RunContext& ctx, ce::File plg, PluginHead& head, char16_t* wideName) {
    switch (readPluginName(plg, head)) {
        case PlgHeadStatus::Ok:
            break;
        case PlgHeadStatus::NameTagMissing:
            setResult(ctx, kNameTagMissing);
            return;
        case PlgHeadStatus::NameTooLong:
            setResult(ctx, kNameTooLong);
            return;
        default:
            setResult(ctx, kNameMissing);
            return;
    }
    if (!ce::acpToWide(head.name, wideName, kPluginNameChars)) {
        setResult(ctx, kNameNotConvertible);
        return;
    }
    switch (readPluginPosition(plg, head)) {
        case PlgHeadStatus::Ok:
            break;
        case PlgHeadStatus::PositionTagMissing:
            setResult(ctx, kPositionTagMissing);
            break;
        case PlgHeadStatus::PositionTooLong:
            setResult(ctx, kPositionTooLong);
            break;
        default:
            setResult(ctx, kPositionMissing);
            break;
    }
}

void reportPass(RunContext& ctx, PassOutcome outcome) {
    switch (outcome) {
        case PassOutcome::Done:
            break;
        case PassOutcome::LayersUnfinished:
            setResult(ctx, kLayersUnfinished);
            break;
        case PassOutcome::NoResolution:
            setResult(ctx, kNoResolution);
            break;
        case PassOutcome::NoLayoutEnd:
            setResult(ctx, kNoLayoutEnd);
            break;
        case PassOutcome::NothingInjected:
            setResult(ctx, kNothingInjected);
            break;
        case PassOutcome::ReadFailed:
        case PassOutcome::WriteFailed:
            break;  // reported with the file codes
    }
}

}  // namespace

int addChangePlugin(RunContext& ctx) {
    PluginHead head = {};
    char16_t wideName[kPluginNameChars] = {};
    ce::File plg = ce::fileOpen(ctx.plgPath, ce::FileMode::Read);
    if (plg == nullptr) {
        setResult(ctx, kPlgNotOpened);
    } else {
        readPluginHead(ctx, plg, head, wideName);
    }

    LayoutFiles files;
    openLayoutFiles(ctx, files, kFileCodes);
    if (ctx.resultCode == 0) {
        RewritePass pass = {};
        pass.kind = PassKind::Inject;
        pass.pluginName = head.name;
        pass.plg = plg;
        pass.landscape = ctx.landscape;
        reportPass(ctx, rewriteLayoutFiles(ctx, files, kFileCodes, pass));
    }
    ce::fileClose(plg);
    closeLayoutFiles(ctx, files, kFileCodes);

    static PluginValues values;  // three value buffers: too large for the stack
    values.editor = ValuesEditor::Add;
    snapshotPluginValues(ctx, values);
    if (ctx.resultCode != 0)
        return 1;

    insertPluginName(ctx, values, wideName, head.position);
    if (ctx.resultCode == 0 && !ctx.keepLayout && !ctx.forbidden) {
        copyBackLayout(ctx, files, kFileCodes);
    }
    if (ctx.resultCode == 0 && ctx.currentLayout && pluginValuesToComplete(values) &&
        !ctx.keepHomeRegistry && !ctx.forbidden) {
        commitPluginValues(ctx, values);
    }
    return 1;
}

}  // namespace qorv
