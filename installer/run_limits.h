// Sizes of the installer's wide text buffers: paths, the command line and
// the long registry texts all have room for kTextChars UTF-16 units, the
// terminator included, and such a value is read with kTextBytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "installer/result_codes.h"

namespace qorv {

constexpr size_t kTextChars = 8092;
constexpr uint32_t kTextBytes = kTextChars * 2;  // 16,184 bytes given to a read

static_assert(kMaxCommandLineChars == kTextChars - 1, "the command line fits a text buffer");

}  // namespace qorv
