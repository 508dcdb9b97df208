#include "menu/path_variables.h"

#include "platform/ui.h"
#include "platform/wstr.h"

namespace vantrelo {

const PathVariable kPathVariables[kFolderCount] = {
    {u"%PROGRAMFILES%", ce::ui::kCsidlProgramFiles}, {u"%WINDOWS%", ce::ui::kCsidlWindows},
    {u"%MYMUSIC%", ce::ui::kCsidlMyMusic},           {u"%MYVIDEO%", ce::ui::kCsidlMyVideo},
    {u"%MYPICTURES%", ce::ui::kCsidlMyPictures},
};

bool ReplaceAll(char16_t* text, size_t textChars, const char16_t* pattern,
                const char16_t* replacement) {
    const size_t patternLen = ce::u16len(pattern);
    if (patternLen == 0 || textChars == 0)
        return true;
    const size_t replacementLen = ce::u16len(replacement);

    // Built in a scratch buffer of the same size, so a result that does not
    // fit leaves the text as it was.
    char16_t out[kActionChars * 2];
    if (textChars > sizeof out / sizeof out[0])
        return false;
    size_t n = 0;
    const char16_t* rest = text;
    for (;;) {
        const char16_t* hit = ce::u16str(rest, pattern);
        const size_t keep = hit != nullptr ? static_cast<size_t>(hit - rest) : ce::u16len(rest);
        const size_t add = hit != nullptr ? replacementLen : 0;
        if (n + keep + add >= textChars)
            return false;
        for (size_t i = 0; i < keep; ++i)
            out[n++] = rest[i];
        if (hit == nullptr)
            break;
        for (size_t i = 0; i < replacementLen; ++i)
            out[n++] = replacement[i];
        rest = hit + patternLen;
    }
    out[n] = 0;
    return ce::u16copy(text, textChars, out);
}

const char16_t* ExpandPathVariables(const char16_t* actionText, const FolderPaths& folders,
                                    char16_t* result) {
    result[0] = 0;
    char16_t work[kActionChars];
    if (!ce::u16copy(work, kActionChars, actionText))
        return nullptr;
    for (size_t i = 0; i < kFolderCount; ++i) {
        if (ce::u16str(actionText, kPathVariables[i].name) == nullptr)
            continue;
        if (!ReplaceAll(work, kActionChars, kPathVariables[i].name, folders.path[i])) {
            return nullptr;
        }
    }
    if (!ce::u16copy(result, kExpansionChars, work))
        return nullptr;
    return result;
}

}  // namespace vantrelo
