// Where the emulated device lives on the host.
#pragma once

#include <string>

namespace ce::posix {

// $CE_DEVICE_DIR, else $XDG_DATA_HOME/ce-device, else ~/.local/share/ce-device.
// Read anew on every call, so a process (a test) may switch devices.  The
// directory is created when missing.  No trailing slash.
std::string deviceDir();

// The same path without touching the file system (nothing is created):
// for callers that check often whether the device has changed.
std::string deviceDirPath();

// Host paths of the device's parts.
std::string deviceFsRoot();        // <device>/fs (created when missing)
std::string deviceRegistryPath();  // <device>/registry.reg
std::string deviceConfPath();      // <device>/device.conf
std::string deviceRunDir();        // <device>/run (not created here)

}  // namespace ce::posix
