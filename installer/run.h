// One installer run after the single-instance guard: the run record, the
// request read from the command line and the layout selection, the one
// editor of the action, the report of the outcome and the final flag.
#pragma once

#include <cstdint>

#include "installer/run_context.h"

namespace qorv {

inline constexpr char16_t kHomeScreenKey[] = u"SOFTWARE\\Microsoft\\CHome";

// Runs the whole installer on ctx, which must be fresh (zero-filled).
// commandLine is the line without the program name.  Returns the final
// result's number; the keys are closed on return.
uint32_t runInstaller(RunContext& ctx, const char16_t* commandLine);

}  // namespace qorv
