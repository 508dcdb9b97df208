// The device paths of Zandoval's settings (searchRootDir, dirFile), as it
// takes them; the device tool reads the list file by the same rule.
#pragma once

#include <cstddef>

namespace zandoval {

// A setting written without its leading backslash ("Links") names the
// folder below the root, as on the device, which has no current folder; a
// desktop would take it from wherever the program was started.  One that
// begins with "/" names the root too: the device takes "/" for a
// separator, but a device path begins with a backslash.  A path that has
// no room for the backslash stays as it is.
void fromTheRoot(char16_t* path, size_t chars);

}  // namespace zandoval
