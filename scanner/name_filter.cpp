#include "scanner/name_filter.h"

#include "platform/wstr.h"

namespace zandoval {

void prepareNameFilter(NameFilter& filter, const char16_t* filterText) {
    size_t n = ce::u16len(filterText);
    if (n > kFilterChars - 1)
        n = kFilterChars - 1;
    ce::u16copyN(filter.text, kFilterChars, filterText, n);
    ce::u16lower(filter.text);
    filter.length = n;
    filter.mode = FilterMode::Prefix;
    if (ce::u16chr(filter.text, u'*') != nullptr) {
        // The first character goes whatever it is: a leading asterisk is
        // the usual way to ask for "anywhere in the name".
        filter.mode = FilterMode::Contains;
        for (size_t i = 0; i < n; ++i)
            filter.text[i] = filter.text[i + 1];
        filter.length = n - 1;
    }
}

bool nameFilterPasses(const NameFilter& filter, const char16_t* lowerName) {
    if (filter.length == 0)
        return true;
    if (filter.mode == FilterMode::Contains) {
        return ce::u16str(lowerName, filter.text) != nullptr;
    }
    for (size_t i = 0; i < filter.length; ++i) {
        if (lowerName[i] != filter.text[i])
            return false;  // also stops at the name's end
    }
    return true;
}

}  // namespace zandoval
