// The last component of a find pattern ("*.*" in "\dir\*.*"): '*' stands
// for any run of characters, '?' for any one, and letters match without
// regard to case, as on the device.
#pragma once

namespace ce::posix {

// True for the patterns that take every name: "*" and "*.*".
bool findPatternMatchesAll(const char16_t* pattern);

// True when name matches pattern.
bool findPatternMatches(const char16_t* pattern, const char16_t* name);

}  // namespace ce::posix
