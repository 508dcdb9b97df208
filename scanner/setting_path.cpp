#include "scanner/setting_path.h"

#include "platform/wstr.h"

namespace zandoval {

void fromTheRoot(char16_t* path, size_t chars) {
    size_t length = ce::u16len(path);
    if (length > 0 && path[0] == u'/') {
        path[0] = u'\\';
        return;
    }
    // A drive ("C:\\Links", on a desktop) is a root of its own.
    if (length == 0 || path[0] == u'\\' || (length >= 2 && path[1] == u':') || length + 2 > chars) {
        return;
    }
    for (size_t i = length + 1; i > 0; --i)
        path[i] = path[i - 1];
    path[0] = u'\\';
}

}  // namespace zandoval
