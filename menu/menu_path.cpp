#include "menu/menu_path.h"

#include "platform/wstr.h"

namespace vantrelo {

bool buildMenuFilePath(const char16_t* moduleFileName, const char16_t* commandLine,
                       char16_t* menuPath) {
    menuPath[0] = 0;

    char16_t programDir[kPathChars];
    if (!ce::u16copy(programDir, kPathChars, moduleFileName))
        return false;
    char16_t* lastBackslash = nullptr;
    for (char16_t* p = programDir; *p != 0; ++p) {
        if (*p == u'\\')
            lastBackslash = p;
    }
    if (lastBackslash != nullptr)
        *lastBackslash = 0;
    if (!ce::u16append(programDir, kPathChars, u"\\"))
        return false;

    char16_t suffix[kSuffixChars] = {};
    if (commandLine != nullptr && commandLine[0] != 0) {
        if (!ce::u16copy(suffix, kSuffixChars, commandLine))
            return false;
        if (suffix[0] == u'-') {
            for (size_t i = 0; suffix[i] != 0; ++i)
                suffix[i] = suffix[i + 1];
        }
    }

    char16_t path[kPathChars];
    if (!ce::u16copy(path, kPathChars, programDir) ||
        !ce::u16append(path, kPathChars, u"Vantrelo") || !ce::u16append(path, kPathChars, suffix) ||
        !ce::u16append(path, kPathChars, u".ini")) {
        return false;
    }
    return ce::u16copy(menuPath, kPathChars, path);
}

}  // namespace vantrelo
