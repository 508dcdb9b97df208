// The failures that the run itself and the layout selection raise, with
// their box texts (shown when raised) and result texts (recorded, and shown
// again at the end of the run).  The editors own their further codes.
#pragma once

#include <cstdint>

#include "installer/run_context.h"

namespace qorv {

constexpr uint32_t kResultNoAction = 1;
constexpr uint32_t kResultNoPlg = 2;
constexpr uint32_t kResultPlgNoBackslash = 3;
constexpr uint32_t kResultPlgNoEnd = 4;
constexpr uint32_t kResultCommandLineTooLong = 5;
constexpr uint32_t kResultNoCpr = 12;
constexpr uint32_t kResultCprNoBackslash = 13;
constexpr uint32_t kResultCprNoEnd = 14;
constexpr uint32_t kResultNoCurrentCpr = 20;
constexpr uint32_t kResultNoExtensibilityXml = 28;
constexpr uint32_t kResultNoPluginName = 32;
constexpr uint32_t kResultNoRunRecord = 100;  // shown only, never recorded
constexpr uint32_t kResultNoHomeKey = 101;

// The longest command line the run takes, in characters.
constexpr uint32_t kMaxCommandLineChars = kTextChars - 1;

// The box text and the result text of one of the codes above, or null.
const char16_t* failureBoxText(uint32_t code);
const char16_t* failureResultText(uint32_t code);

// Shows a box with the caption "QORV" unless the run is silent.
void showMessage(const RunContext& ctx, const char16_t* text);

// The raising rule: show the box text unless silent, set the result code
// and text, and record them.  The caller then skips ahead to the tail.
void raiseFailure(RunContext& ctx, uint32_t code);

}  // namespace qorv
