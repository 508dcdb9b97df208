// An action is a file, optionally followed by a separator and parameters:
// "file", "file|parameters" or "file;parameters".  "|" wins: when the text
// has a "|", a ";" is an ordinary character of the fields.  When split, the
// file is the first non-empty field (leading separators are skipped) and
// the parameters the next non-empty field, up to the next separator, CR or
// LF; further fields are ignored.
#pragma once

#include <cstddef>

namespace vantrelo {

constexpr size_t kFileChars = 512;       // the file of an action
constexpr size_t kParameterChars = 256;  // its parameters

// Splits action into file (kFileChars) and parameters (kParameterChars);
// a field that the split leaves empty is the empty string.  False (both
// empty) when a field does not fit its buffer.
bool splitAction(const char16_t* action, char16_t* file, char16_t* parameters);

}  // namespace vantrelo
