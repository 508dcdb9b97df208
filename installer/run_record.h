// Opening the run record (HKCU SOFTWARE\QORV) at the start of a run.
#pragma once

#include <cstdint>

#include "installer/run_context.h"

namespace qorv {

inline constexpr char16_t kRunRecordKey[] = u"SOFTWARE\\QORV";
inline constexpr char16_t kVersionText[] = u"1.0 rc3";
// "callAction" is rotated only when it fits a read of this many bytes.
constexpr uint32_t kCallActionBytes = 1024;

// Creates or opens the run record, records "#0 Success", copies the
// previous call values to their "lastCall..." names and writes "Version".
// When the key cannot be had, raises code 100 (a box unless silent, nothing
// recorded) and leaves the run record key null; the result stays Success.
void openRunRecord(RunContext& ctx);

}  // namespace qorv
