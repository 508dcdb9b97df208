#include "platform/posix/find_pattern.h"

#include "platform/wstr.h"

namespace ce::posix {

bool findSpecMatchesAll(const char16_t* spec) {
    return u16cmp(spec, u"*") == 0 || u16cmp(spec, u"*.*") == 0;
}

bool findSpecMatches(const char16_t* spec, const char16_t* name) {
    if (findSpecMatchesAll(spec))
        return true;
    // Greedy match with one remembered star: linear in practice, never
    // recursive, whatever the pattern.
    const char16_t* star = nullptr;
    const char16_t* resume = nullptr;
    while (*name != 0) {
        if (*spec == u'*') {
            star = spec++;
            resume = name;
        } else if (*spec != 0 && (*spec == u'?' || u16lowerChar(*spec) == u16lowerChar(*name))) {
            ++spec;
            ++name;
        } else if (star != nullptr) {
            spec = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*spec == u'*')
        ++spec;
    return *spec == 0;
}

}  // namespace ce::posix
