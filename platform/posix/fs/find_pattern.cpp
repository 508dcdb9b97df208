#include "platform/posix/fs/find_pattern.h"

#include "platform/wstr.h"

namespace ce::posix {

bool findPatternMatchesAll(const char16_t* pattern) {
    return u16cmp(pattern, u"*") == 0 || u16cmp(pattern, u"*.*") == 0;
}

bool findPatternMatches(const char16_t* pattern, const char16_t* name) {
    if (findPatternMatchesAll(pattern))
        return true;
    // Greedy match with one remembered star: linear in practice, never
    // recursive, whatever the pattern.
    const char16_t* star = nullptr;
    const char16_t* resume = nullptr;
    while (*name != 0) {
        if (*pattern == u'*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != 0 &&
                   (*pattern == u'?' || u16lowerChar(*pattern) == u16lowerChar(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == u'*')
        ++pattern;
    return *pattern == 0;
}

}  // namespace ce::posix
