// A device path that follows a path switch (" -plg:", " -cpr:").  The path
// is not quoted and may hold blanks: it starts with the backslash right
// after the switch and ends with the first occurrence of the extension;
// whatever follows is ignored.
#pragma once

#include <cstddef>

namespace qorv {

enum class SwitchPathResult {
    Taken,
    SwitchMissing,     // the switch text does not occur
    NoBackslash,       // the character after the switch is not a backslash
    ExtensionMissing,  // the extension does not occur after the backslash
    TooLong,           // the path does not fit the output buffer
};

SwitchPathResult takeSwitchPath(const char16_t* line, const char16_t* switchText,
                                const char16_t* extension, char16_t* out, size_t outChars);

}  // namespace qorv
