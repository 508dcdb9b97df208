#include "installer/replace_tabs.h"

#include <cstring>

namespace qorv {

bool replaceTabs(char* line, size_t length) {
    int replaced = 0;
    char* end = line + length;
    char* at = line;
    while (replaced < kMaxTabsReplaced) {
        at = static_cast<char*>(std::memchr(at, '\t', static_cast<size_t>(end - at)));
        if (at == nullptr)
            break;
        *at = ' ';
        ++replaced;
    }
    return replaced > 0;
}

}  // namespace qorv
