// Every result an installer run can come to, in one table: its number, the
// text recorded in the run record, and, for the failures the run raises
// while it reads its request, the text of the box shown when it is raised.
//
// Numbers are not unique: 62 and 70 (and 170) each stand for two failures
// that only their texts tell apart, and 200 is shared by an add and a
// removal.  So every row has a name of its own, and code reports by name.
//
// A run's outcome is one of these results: Success until a step sets a
// failure.  Steps that run "in any case" may set a failure over an earlier
// one, so the last failure set is the one recorded.
#pragma once

#include <cstdint>

namespace qorv {

enum class Result : uint8_t {
    Success,

    // Raised by the run while it reads its request; each has a box text.
    NoAction,            // 1
    NoPlgSwitch,         // 2
    PlgNoBackslash,      // 3
    PlgNoEnd,            // 4
    CommandLineTooLong,  // 5
    NoCprSwitch,         // 12
    CprNoBackslash,      // 13
    CprNoEnd,            // 14
    NoCurrentCpr,        // 20
    NoExtensibilityXml,  // 28
    NoPluginToDelete,    // 32
    NoRunRecord,         // 100: shown, never recorded
    NoHomeKey,           // 101

    // addchange.
    PlgNotOpened,         // 50
    AddLayoutNotOpened,   // 51
    AddTempNotCreated,    // 52
    AddTempNotWritten,    // 53
    AddLayoutNotRead,     // 54
    NameTagMissing,       // 60
    NameMissing,          // 61
    PositionTagMissing,   // 62
    PositionMissing,      // 62
    NoResolution,         // 63
    NoLayoutEnd,          // 64
    BlockNotText,         // 64: a zero byte in the block
    BlockHoldsFormEnd,    // 64: "</Form>" in the block
    NothingInjected,      // 65
    NameTooLong,          // 66
    PositionTooLong,      // 67
    NameNotConvertible,   // 68
    NameNotAllowed,       // 69
    NameHoldsListQuote,   // 69: a ' where the order list can take none
    AddLayersUnfinished,  // 70
    AddNoExtXml,          // 70
    AddNoDefaultXml,      // 71
    AddNoPlugins,         // 72
    AddNoOpeningQuote,    // 80
    AddNoClosingQuote,    // 81
    AddOrderTooLong,      // 82
    AddPluginsTooLong,    // 83
    LayoutNotCopiedBack,  // 200, an add or a removal

    // delete.
    DeleteLayoutNotOpened,     // 151
    DeleteTempNotCreated,      // 152
    DeleteTempNotWritten,      // 153
    DeleteLayoutNotRead,       // 154
    DeleteNameTooLong,         // 160
    DeleteNameNotConvertible,  // 161
    DeleteLayersUnfinished,    // 170
    DeleteNoExtXml,            // 170
    DeleteNoDefaultXml,        // 171
    DeleteNoPlugins,           // 172
    DeleteNoOpeningQuote,      // 180
    DeleteNoClosingQuote,      // 181
    DeleteOrderTooLong,        // 182

    // change.
    SwitchNotCopiedBack,    // 300
    ChangeLayoutNotOpened,  // 351
    ChangeTempNotCreated,   // 352
    ChangeTempNotWritten,   // 353
    ChangeLayoutNotRead,    // 354

    Count
};

// The number recorded as "ErrorNumber".
uint32_t resultNumber(Result result);
// The text recorded as "ErrorDescription" ("#0 Success" for Success); null
// for a failure that is shown but never recorded.
const char16_t* resultText(Result result);
// The text of the box shown when the run raises it; null for the results
// that the editors set, which are shown only at the end of the run.
const char16_t* boxText(Result result);

// The longest command line the run takes, in characters; code 5's texts
// name it.
constexpr uint32_t kMaxCommandLineChars = 8091;

}  // namespace qorv
