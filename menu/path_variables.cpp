#include "menu/path_variables.h"

#include <cstring>

#include "platform/ui.h"
#include "platform/wstr.h"

namespace vantrelo {

const PathVariable kPathVariables[kFolderCount] = {
    {u"%PROGRAMFILES%", ce::ui::kCsidlProgramFiles}, {u"%WINDOWS%", ce::ui::kCsidlWindows},
    {u"%MYMUSIC%", ce::ui::kCsidlMyMusic},           {u"%MYVIDEO%", ce::ui::kCsidlMyVideo},
    {u"%MYPICTURES%", ce::ui::kCsidlMyPictures},
};

bool replaceAll(char16_t* text, size_t textChars, const char16_t* pattern,
                const char16_t* replacement) {
    const size_t patternLen = ce::u16len(pattern);
    if (patternLen == 0 || textChars == 0)
        return true;
    const size_t replacementLen = ce::u16len(replacement);

    // The result's length first, so that a result that does not fit leaves
    // the text as it was.
    size_t length = ce::u16len(text);
    size_t resultLen = length;
    for (const char16_t* hit = ce::u16str(text, pattern); hit != nullptr;
         hit = ce::u16str(hit + patternLen, pattern)) {
        resultLen = resultLen - patternLen + replacementLen;
    }
    if (resultLen >= textChars)
        return false;

    // Then in place: the rest of the text moves to make room for each
    // replacement, and the search goes on right after the inserted text.
    size_t from = 0;  // where the search goes on
    for (const char16_t* hit = ce::u16str(text, pattern); hit != nullptr;
         hit = ce::u16str(text + from, pattern)) {
        const size_t at = static_cast<size_t>(hit - text);
        const size_t tail = length - at - patternLen + 1;  // the rest with its terminator
        std::memmove(text + at + replacementLen, text + at + patternLen, tail * sizeof(char16_t));
        std::memcpy(text + at, replacement, replacementLen * sizeof(char16_t));
        length = length - patternLen + replacementLen;
        from = at + replacementLen;
    }
    return true;
}

const char16_t* expandPathVariables(const char16_t* actionText, const FolderPaths& folders,
                                    char16_t* result) {
    result[0] = 0;
    char16_t work[kActionChars];
    if (!ce::u16copy(work, kActionChars, actionText))
        return nullptr;
    for (size_t i = 0; i < kFolderCount; ++i) {
        if (ce::u16str(actionText, kPathVariables[i].name) == nullptr)
            continue;
        if (!replaceAll(work, kActionChars, kPathVariables[i].name, folders.path[i])) {
            return nullptr;
        }
    }
    if (!ce::u16copy(result, kExpansionChars, work))
        return nullptr;
    return result;
}

}  // namespace vantrelo
