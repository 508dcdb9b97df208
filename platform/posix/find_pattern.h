// The last component of a find pattern ("*.*" in "\dir\*.*"): '*' stands
// for any run of characters, '?' for any one, and letters match without
// regard to case, as on the device.
#pragma once

namespace ce::posix {

// True for the patterns that take every name: "*" and "*.*".
bool findSpecMatchesAll(const char16_t* spec);

// True when name matches spec.
bool findSpecMatches(const char16_t* spec, const char16_t* name);

}  // namespace ce::posix
