// Turning the path switches into the run's plugin-definition path and
// target layout file, and keeping the home screen's "CPRFile" in step.
#pragma once

#include <cstdint>

#include "installer/run_context.h"

namespace qorv {

// Byte sizes of the reads of the home screen's values; a value that does
// not fit counts as missing.
constexpr uint32_t kCprFileBytes = 1024;
constexpr uint32_t kExtensibilityXmlBytes = kTextBytes;
constexpr uint32_t kForbiddenListBytes = kTextBytes;

// addchange: the path after " -plg:" into the request and "callPLG".
// Raises 2, 3 or 4 and returns false on failure.
bool takePluginPath(RunContext& ctx, const char16_t* line);

// Every action: the layout mode, the target layout file and the landscape,
// current-layout and forbidden flags; writes "callTypeCPR", "callCPR" and,
// for composed targets, "curResX" and "curResY".  Raises 12, 13, 14, 20 or
// 28 and returns false on failure.
bool selectTargetLayout(RunContext& ctx, const char16_t* line);

// Writes the pending CPRFile fix-up into the home-screen key, unless the
// run keeps the home screen's registry values.
void writeCprFixup(const RunRequest& request, const RunKeys& keys);

}  // namespace qorv
