// Key paths as a user types them: a root, then subkeys separated by
// backslashes.  The roots are the four a device has: HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and HKEY_USERS, also written HKLM,
// HKCU, HKCR and HKU, in any case.
#pragma once

#include <string>

namespace cedevice {

// The full path with the root's full name ("HKEY_CURRENT_USER\SOFTWARE\QORV");
// empty components (a leading, doubled or trailing backslash) are dropped.
// False, with the reason in *error, for another root or text that is not
// UTF-8.
bool parseKeyPath(const std::string& text, std::u16string* path, std::string* error);

}  // namespace cedevice
