// The shortcut-name filter made from the launcher plugin's "enter" value.
#pragma once

#include <cstddef>

namespace zandoval {

// Size of the filter text, terminator included: at most 199 characters.
constexpr size_t kFilterChars = 200;

enum class FilterMode {
    Prefix,    // the name begins with the text
    Contains,  // the text occurs anywhere in the name
};

struct NameFilter {
    char16_t text[kFilterChars] = {};  // lower-cased
    size_t length = 0;
    FilterMode mode = FilterMode::Prefix;
};

// Makes the filter from the setting's text.  The text is lower-cased; when
// it holds an asterisk anywhere, the filter looks for the rest of the text
// (everything after its first character) anywhere in a name, otherwise for
// the whole text at the start of a name.  Text beyond 199 characters is cut.
void prepareNameFilter(NameFilter& filter, const char16_t* filterText);

// Whether a lower-cased file name (extension included) passes.  An empty
// filter text passes every name.
bool nameFilterPasses(const NameFilter& filter, const char16_t* lowerName);

}  // namespace zandoval
