// Folder variables in menu actions: "%PROGRAMFILES%", "%WINDOWS%",
// "%MYMUSIC%", "%MYVIDEO%" and "%MYPICTURES%" (exactly so, upper case)
// stand for the device's special folders.
#pragma once

#include <cstddef>

namespace vantrelo {

constexpr size_t kFolderCount = 5;
constexpr size_t kFolderChars = 256;     // one folder path, terminator included
constexpr size_t kExpansionChars = 256;  // an expanded action: at most 255 characters
constexpr size_t kActionChars = 512;     // an action text before expansion

// The variables in the order the folders are read and replaced, with the
// special-folder id each one stands for.
struct PathVariable {
    const char16_t* name;
    int csidl;
};
extern const PathVariable kPathVariables[kFolderCount];

// The folder paths, in the order of kPathVariables; read once at start-up.
// A folder that the device cannot name is the empty string.
struct FolderPaths {
    char16_t path[kFolderCount][kFolderChars] = {};
};

// Replaces every occurrence of pattern in text (a buffer of textChars),
// searching on right after each inserted replacement, so a replacement that
// contains the pattern is not replaced again.  An empty pattern replaces
// nothing.  False, with text unchanged, when the result does not fit.
bool replaceAll(char16_t* text, size_t textChars, const char16_t* pattern,
                const char16_t* replacement);

// actionText with each variable that occurs in it replaced by its folder,
// in the order of kPathVariables; whether a variable is replaced is decided
// on actionText as given, before any replacement.  The result is written to
// result (kExpansionChars) and returned.  nullptr (and an empty result) when
// the expanded text is longer than 255 characters: a cut action could start
// the wrong program, so it is not run at all.
const char16_t* expandPathVariables(const char16_t* actionText, const FolderPaths& folders,
                                    char16_t* result);

}  // namespace vantrelo
