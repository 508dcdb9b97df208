// Tab clean-up for every line a layout rewrite writes.
#pragma once

#include <cstddef>

namespace qorv {

// At most this many tabs of one line become blanks; later ones stay.
constexpr int kMaxTabsReplaced = 100;

// Replaces tab characters of the line (length bytes, which may hold any
// byte) by blanks, from the start, until none is left or kMaxTabsReplaced
// have been replaced.  Returns whether anything was replaced.
bool replaceTabs(char* line, size_t length);

}  // namespace qorv
