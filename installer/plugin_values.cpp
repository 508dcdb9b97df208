#include "installer/plugin_values.h"

#include "installer/order_list.h"
#include "installer/run_context.h"
#include "platform/reg_values.h"

namespace qorv {

namespace {

void snapshotOne(const EditorRun& run, const char16_t* name, char16_t* buf,
                 const char16_t* copyName, Result missing) {
    if (!ce::regReadTextBytes(run.keys.homeKey, name, buf, kTextChars, kTextBytes)) {
        setResult(run.outcome, missing);
        return;
    }
    ce::regWriteString(run.keys.runRecord, copyName, buf);
}

// What an edit of the order list can fail with.
struct OrderEditResults {
    Result noOpeningQuote;
    Result noClosingQuote;
    Result tooLong;  // the new text would not fit the home screen's buffer
};

constexpr OrderEditResults kInsertResults = {Result::AddNoOpeningQuote, Result::AddNoClosingQuote,
                                             Result::AddOrderTooLong};
constexpr OrderEditResults kRemoveResults = {
    Result::DeleteNoOpeningQuote, Result::DeleteNoClosingQuote, Result::DeleteOrderTooLong};

// Stages the new order text, or sets the result of an order list that
// could not be edited or would not fit.
bool stageOrder(const EditorRun& run, const PluginValues& values, OrderEdit edit,
                const OrderEditResults& results) {
    Result failure = Result::Success;
    if (edit == OrderEdit::NoOpeningQuote) {
        failure = results.noOpeningQuote;
    } else if (edit == OrderEdit::NoClosingQuote) {
        failure = results.noClosingQuote;
    } else if (edit == OrderEdit::NameHoldsQuote) {
        failure = Result::NameHoldsListQuote;
    } else if (values.newOrder.size() > kMaxValueChars) {
        failure = results.tooLong;
    }
    if (failure != Result::Success) {
        setResult(run.outcome, failure);
        return false;
    }
    ce::regWriteString(run.keys.runRecord, u"newExtensibilityXML", values.newOrder.c_str());
    ce::regWriteString(run.keys.runRecord, u"newDefaultXML", values.newOrder.c_str());
    return true;
}

}  // namespace

void snapshotPluginValues(const EditorRun& run, const SnapshotResults& results) {
    HomeValueTexts& texts = run.buffers.homeValues;
    snapshotOne(run, u"ExtensibilityXML", texts.extXml, u"callOrgExtXML", results.noExtXml);
    snapshotOne(run, u"DefaultXML", texts.defaultXml, u"callOrgDefaultXML", results.noDefaultXml);
    snapshotOne(run, u"Plugins", texts.plugins, u"callOrgPlugins", results.noPlugins);
}

void insertPluginName(const EditorRun& run, PluginValues& values, const char16_t* name,
                      int32_t position) {
    const HomeValueTexts& texts = run.buffers.homeValues;
    values.defaultLacks = false;
    values.pluginsLack = false;
    values.removal = false;
    OrderEdit edit =
        insertIntoOrderList(texts.extXml, name, position, &values.newOrder, &values.nameNew);
    if (stageOrder(run, values, edit, kInsertResults) && !values.nameNew) {
        values.defaultLacks = !orderListHolds(texts.defaultXml, name);
        values.pluginsLack = !listHolds(texts.plugins, name);
    }
    // The plugin list is staged even when the order list could not be
    // edited, so a caller sees what the run wanted.
    values.newPlugins = addToPluginList(texts.plugins, name, values.nameNew || values.pluginsLack);
    if (values.newPlugins.size() > kMaxValueChars) {
        setResult(run.outcome, Result::AddPluginsTooLong);
        return;
    }
    ce::regWriteString(run.keys.runRecord, u"newPlugins", values.newPlugins.c_str());
}

void removePluginName(const EditorRun& run, PluginValues& values, const char16_t* name) {
    const HomeValueTexts& texts = run.buffers.homeValues;
    values.nameNew = false;
    values.defaultLacks = false;
    values.pluginsLack = false;
    values.removal = true;
    OrderEdit edit = removeFromOrderList(texts.extXml, name, &values.newOrder);
    if (!stageOrder(run, values, edit, kRemoveResults))
        return;
    values.newPlugins = removeFromPluginList(texts.plugins, name);
    ce::regWriteString(run.keys.runRecord, u"newPlugins", values.newPlugins.c_str());
}

bool pluginValuesToComplete(const PluginValues& values) {
    return values.nameNew || values.defaultLacks || values.pluginsLack;
}

void commitPluginValues(const EditorRun& run, const PluginValues& values) {
    bool whole = values.removal || values.nameNew;
    if (whole)
        ce::regWriteString(run.keys.homeKey, u"ExtensibilityXML", values.newOrder.c_str());
    if (whole || values.defaultLacks)
        ce::regWriteString(run.keys.homeKey, u"DefaultXML", values.newOrder.c_str());
    if (whole || values.pluginsLack)
        ce::regWriteString(run.keys.homeKey, u"Plugins", values.newPlugins.c_str());
}

}  // namespace qorv
