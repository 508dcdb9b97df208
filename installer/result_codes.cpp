#include "installer/result_codes.h"

#include <cstddef>

namespace qorv {

namespace {

struct ResultRow {
    Result result;
    uint32_t number;
    const char16_t* box;
    const char16_t* text;
};

// Callers compare these texts as they stand, the missing dot of code 3's
// result text and the grammar included.  Rows stand in the order of Result.
constexpr ResultRow kResults[] = {
    {Result::Success, 0, nullptr, u"#0 Success"},

    {Result::NoAction, 1, u"#1 Nothing to find what's to do (addchange,delete,change)",
     u"#1 Nothing to find what's to do (addchange,delete,change)"},
    {Result::NoPlgSwitch, 2, u"No .plg-File defined", u"#2 No .plg-File defined"},
    {Result::PlgNoBackslash, 3, u".plg-Path always must begin with a Backslash",
     u"#3 plg-Path always must begin with a Backslash"},
    {Result::PlgNoEnd, 4, u".plg-Path end not found", u"#4 .plg-Path end not found"},
    {Result::CommandLineTooLong, 5, u"Command line longer than 8091 characters",
     u"#5 Command line longer than 8091 characters"},
    {Result::NoCprSwitch, 12, u"No .cpr-File defined", u"#12 No .cpr-File defined"},
    {Result::CprNoBackslash, 13, u".cpr-Path always must begin with a Backslash",
     u"#13 .cpr-Path always must begin with a Backslash"},
    {Result::CprNoEnd, 14, u".cpr-Path end not found", u"#14 .cpr-Path end not found"},
    {Result::NoCurrentCpr, 20, u"#20 No current CPR found", u"#20 No current CPR found"},
    {Result::NoExtensibilityXml, 28, u"#28 NoExtensibilityXML found",
     u"#28 NoExtensibilityXML found"},
    {Result::NoPluginToDelete, 32, u"#32 No Plugin to delete defined",
     u"#32 No Plugin to delete defined"},
    {Result::NoRunRecord, 100, u"#100 Couldn't access/create QORV Registry Key", nullptr},
    {Result::NoHomeKey, 101, u"#101 Titanium Registry couldn't be found",
     u"#101 Titanium Registry couldn't be found"},

    {Result::PlgNotOpened, 50, nullptr, u"#50 plg-File could not be opened"},
    {Result::AddLayoutNotOpened, 51, nullptr, u"#51 cpr-File could not be found/opened"},
    {Result::AddTempNotCreated, 52, nullptr, u"#52 temp-File could not be created"},
    {Result::AddTempNotWritten, 53, nullptr, u"#53 temp-File could not be written"},
    {Result::AddLayoutNotRead, 54, nullptr, u"#54 cpr-File could not be read"},
    {Result::NameTagMissing, 60, nullptr, u"#60 Name-Tag in plg not found"},
    {Result::NameMissing, 61, nullptr, u"#61 Name of Plugin in plg not found"},
    {Result::PositionTagMissing, 62, nullptr, u"#62 Position-Tag in plg not found"},
    {Result::PositionMissing, 62, nullptr, u"#62 Position of Plugin in plg not found"},
    {Result::NoResolution, 63, nullptr, u"#63 Didn't found correct resolution in .plg to inject"},
    {Result::NoLayoutEnd, 64, nullptr, u"#64 Didn't found final <layout>-Tag in .plg to inject"},
    {Result::BlockNotText, 64, nullptr, u"#64 Layout block in plg holds a zero byte"},
    {Result::BlockHoldsFormEnd, 64, nullptr, u"#64 Layout block in plg holds </Form>"},
    {Result::NothingInjected, 65, nullptr, u"#65 No place to inject the plugin found in cpr"},
    {Result::NameTooLong, 66, nullptr, u"#66 Name of Plugin in plg too long"},
    {Result::PositionTooLong, 67, nullptr, u"#67 Position of Plugin in plg too long"},
    {Result::NameNotConvertible, 68, nullptr, u"#68 Name of Plugin in plg could not be converted"},
    {Result::NameNotAllowed, 69, nullptr,
     u"#69 Name of Plugin in plg holds a character not allowed"},
    {Result::NameHoldsListQuote, 69, nullptr,
     u"#69 Name of Plugin in plg holds a quote the order list cannot take"},
    {Result::AddLayersUnfinished, 70, nullptr,
     u"#70 Found Plugin in cpr, but unexpected end of file"},
    {Result::AddNoExtXml, 70, nullptr, u"#70 No ExtensibilityXML in CHome found"},
    {Result::AddNoDefaultXml, 71, nullptr, u"#71 No DefaultXML in CHome found"},
    {Result::AddNoPlugins, 72, nullptr, u"#72 No Plugins-Entry in CHome found"},
    {Result::AddNoOpeningQuote, 80, nullptr,
     u"#80 Found invalid content in ExtensibilityXML - missing initial quotation marks"},
    {Result::AddNoClosingQuote, 81, nullptr,
     u"#81 Found invalid content in ExtensibilityXML - missing final quotation marks"},
    {Result::AddOrderTooLong, 82, nullptr,
     u"#82 ExtensibilityXML with the plugin would be too long"},
    {Result::AddPluginsTooLong, 83, nullptr,
     u"#83 Plugins-Entry with the plugin would be too long"},
    {Result::LayoutNotCopiedBack, 200, nullptr,
     u"#200 cpr could not be copied to destination directory"},

    {Result::DeleteLayoutNotOpened, 151, nullptr, u"#151 cpr-File could not be found/opened"},
    {Result::DeleteTempNotCreated, 152, nullptr, u"#152 temp-File could not be created"},
    {Result::DeleteTempNotWritten, 153, nullptr, u"#153 temp-File could not be written"},
    {Result::DeleteLayoutNotRead, 154, nullptr, u"#154 cpr-File could not be read"},
    {Result::DeleteNameTooLong, 160, nullptr, u"#160 Name of Plugin to delete too long"},
    {Result::DeleteNameNotConvertible, 161, nullptr,
     u"#161 Name of Plugin to delete could not be converted"},
    {Result::DeleteLayersUnfinished, 170, nullptr,
     u"#170 Found Plugin in cpr, but unexpected end of file"},
    {Result::DeleteNoExtXml, 170, nullptr, u"#170 No ExtensibilityXML in CHome found"},
    {Result::DeleteNoDefaultXml, 171, nullptr, u"#171 No DefaultXML in CHome found"},
    {Result::DeleteNoPlugins, 172, nullptr, u"#172 No Plugins-Entry in CHome found"},
    {Result::DeleteNoOpeningQuote, 180, nullptr,
     u"#180 Found invalid content in ExtensibilityXML - missing initial quotation marks"},
    {Result::DeleteNoClosingQuote, 181, nullptr,
     u"#181 Found invalid content in ExtensibilityXML - missing final quotation marks"},
    {Result::DeleteOrderTooLong, 182, nullptr,
     u"#182 ExtensibilityXML without the plugin would be too long"},

    {Result::SwitchNotCopiedBack, 300, nullptr,
     u"#300 cpr could not be copied to destination directory"},
    {Result::ChangeLayoutNotOpened, 351, nullptr, u"#351 cpr-File could not be found/opened"},
    {Result::ChangeTempNotCreated, 352, nullptr, u"#352 temp-File could not be created"},
    {Result::ChangeTempNotWritten, 353, nullptr, u"#353 temp-File could not be written"},
    {Result::ChangeLayoutNotRead, 354, nullptr, u"#354 cpr-File could not be read"},
};

constexpr bool rowsFollowTheEnum() {
    size_t i = 0;
    for (const ResultRow& row : kResults) {
        if (static_cast<size_t>(row.result) != i++)
            return false;
    }
    return i == static_cast<size_t>(Result::Count);
}
static_assert(rowsFollowTheEnum(), "one row per result, in the order of Result");

const ResultRow& rowOf(Result result) {
    return kResults[static_cast<size_t>(result)];
}

}  // namespace

uint32_t resultNumber(Result result) {
    return rowOf(result).number;
}

const char16_t* resultText(Result result) {
    return rowOf(result).text;
}

const char16_t* boxText(Result result) {
    return rowOf(result).box;
}

}  // namespace qorv
