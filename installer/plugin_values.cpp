#include "installer/plugin_values.h"

#include "installer/order_list.h"
#include "platform/reg_values.h"

namespace qorv {

namespace {

enum Failure {
    kNoExtXml,
    kNoDefaultXml,
    kNoPlugins,
    kNoOpeningQuote,
    kNoClosingQuote,
    kOrderTooLong,
    kFailureCount
};

struct Code {
    uint32_t number;
    const char16_t* text;
};

constexpr Code kAddCodes[kFailureCount] = {
    {70, u"#70 No ExtensibilityXML in CHome found"},
    {71, u"#71 No DefaultXML in CHome found"},
    {72, u"#72 No Plugins-Entry in CHome found"},
    {80, u"#80 Found invalid content in ExtensibilityXML - missing initial quotation marks"},
    {81, u"#81 Found invalid content in ExtensibilityXML - missing final quotation marks"},
    {82, u"#82 ExtensibilityXML with the plugin would be too long"},
};

constexpr Code kRemoveCodes[kFailureCount] = {
    {170, u"#170 No ExtensibilityXML in CHome found"},
    {171, u"#171 No DefaultXML in CHome found"},
    {172, u"#172 No Plugins-Entry in CHome found"},
    {180, u"#180 Found invalid content in ExtensibilityXML - missing initial quotation marks"},
    {181, u"#181 Found invalid content in ExtensibilityXML - missing final quotation marks"},
    {182, u"#182 ExtensibilityXML without the plugin would be too long"},
};

// Only an add makes the plugin list longer.
constexpr Code kAddPluginsTooLong = {83, u"#83 Plugins-Entry with the plugin would be too long"};

void fail(RunContext& ctx, const PluginValues& values, Failure failure) {
    const Code& code =
        values.editor == ValuesEditor::Add ? kAddCodes[failure] : kRemoveCodes[failure];
    setResult(ctx, code.number, code.text);
}

void snapshotOne(RunContext& ctx, const PluginValues& values, const char16_t* name, char16_t* buf,
                 const char16_t* copyName, Failure failure) {
    if (!ce::regReadStringBytes(ctx.homeKey, name, buf, kTextChars, kTextBytes)) {
        fail(ctx, values, failure);
        return;
    }
    ce::regWriteString(ctx.runRecord, copyName, buf);
}

void stageOrder(RunContext& ctx, const PluginValues& values) {
    ce::regWriteString(ctx.runRecord, u"newExtensibilityXML", values.newOrder.c_str());
    ce::regWriteString(ctx.runRecord, u"newDefaultXML", values.newOrder.c_str());
}

}  // namespace

void snapshotPluginValues(RunContext& ctx, PluginValues& values) {
    snapshotOne(ctx, values, u"ExtensibilityXML", values.extXml, u"callOrgExtXML", kNoExtXml);
    snapshotOne(ctx, values, u"DefaultXML", values.defaultXml, u"callOrgDefaultXML", kNoDefaultXml);
    snapshotOne(ctx, values, u"Plugins", values.plugins, u"callOrgPlugins", kNoPlugins);
}

void insertPluginName(RunContext& ctx, PluginValues& values, const char16_t* name,
                      int32_t position) {
    values.defaultLacks = false;
    values.pluginsLack = false;
    OrderEdit edit =
        insertIntoOrderList(values.extXml, name, position, &values.newOrder, &values.nameNew);
    if (edit == OrderEdit::NoOpeningQuote) {
        fail(ctx, values, kNoOpeningQuote);
    } else if (edit == OrderEdit::NoClosingQuote) {
        fail(ctx, values, kNoClosingQuote);
    } else if (values.newOrder.size() > kMaxValueChars) {
        fail(ctx, values, kOrderTooLong);
    } else {
        stageOrder(ctx, values);
        if (!values.nameNew) {
            values.defaultLacks = !orderListHolds(values.defaultXml, name);
            values.pluginsLack = !listHolds(values.plugins, name);
        }
    }
    // The plugin list is staged even when the order list could not be
    // edited, so a caller sees what the run wanted.
    values.newPlugins = addToPluginList(values.plugins, name, values.nameNew || values.pluginsLack);
    if (values.newPlugins.size() > kMaxValueChars) {
        setResult(ctx, kAddPluginsTooLong.number, kAddPluginsTooLong.text);
        return;
    }
    ce::regWriteString(ctx.runRecord, u"newPlugins", values.newPlugins.c_str());
}

void removePluginName(RunContext& ctx, PluginValues& values, const char16_t* name) {
    values.nameNew = false;
    values.defaultLacks = false;
    values.pluginsLack = false;
    OrderEdit edit = removeFromOrderList(values.extXml, name, &values.newOrder);
    if (edit == OrderEdit::NoOpeningQuote) {
        fail(ctx, values, kNoOpeningQuote);
        return;
    }
    if (edit == OrderEdit::NoClosingQuote) {
        fail(ctx, values, kNoClosingQuote);
        return;
    }
    if (values.newOrder.size() > kMaxValueChars) {
        fail(ctx, values, kOrderTooLong);
        return;
    }
    stageOrder(ctx, values);
    values.newPlugins = removeFromPluginList(values.plugins, name);
    ce::regWriteString(ctx.runRecord, u"newPlugins", values.newPlugins.c_str());
}

bool pluginValuesToComplete(const PluginValues& values) {
    return values.nameNew || values.defaultLacks || values.pluginsLack;
}

void commitPluginValues(RunContext& ctx, const PluginValues& values) {
    bool whole = values.editor == ValuesEditor::Remove || values.nameNew;
    if (whole)
        ce::regWriteString(ctx.homeKey, u"ExtensibilityXML", values.newOrder.c_str());
    if (whole || values.defaultLacks)
        ce::regWriteString(ctx.homeKey, u"DefaultXML", values.newOrder.c_str());
    if (whole || values.pluginsLack)
        ce::regWriteString(ctx.homeKey, u"Plugins", values.newPlugins.c_str());
}

}  // namespace qorv
