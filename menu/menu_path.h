// Where the menu file lies: beside the executable, named by the command
// line.  "Vantrelo" + suffix + ".ini", where the suffix is the whole
// command line without one leading "-": no command line gives
// Vantrelo.ini, "-2" and "2" give Vantrelo2.ini, "--x" gives Vantrelo-x.ini.
#pragma once

#include <cstddef>

namespace vantrelo {

constexpr size_t kPathChars = 256;   // program directory and menu file path
constexpr size_t kSuffixChars = 18;  // a command line of at most 17 characters

// Builds the menu file path from the executable's full file name and the
// command line into menuPath (kPathChars).  The program directory is the
// file name up to its last backslash, with one backslash.  False (and an
// empty menuPath) when a part does not fit its buffer: a command line of
// more than 17 characters, or a path of more than 255; a cut path could
// name a different file, so none is made.
bool buildMenuFilePath(const char16_t* moduleFileName, const char16_t* commandLine,
                       char16_t* menuPath);

}  // namespace vantrelo
