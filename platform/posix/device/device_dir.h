// Where the emulated device lives on the host.
//
// The device directory is $CE_DEVICE_DIR, else $XDG_DATA_HOME/ce-device,
// else ~/.local/share/ce-device.  Only that default directory is created
// when it is missing.  A CE_DEVICE_DIR that names nothing is never created
// (a mistyped name must not become a new, empty device): the program says
// so on standard error, naming the path, and the device cannot be reached,
// as when registry.reg cannot be read.  The same holds for a
// CE_DEVICE_DIR that names something other than a directory.  An existing
// directory, empty or not, is the device: fs/, run/ and registry.reg are
// made in it when first needed.
#pragma once

#include <string>

namespace ce::posix {

// The device directory, read anew on every call so that a process (a test)
// may switch devices.  Creates the default directory when missing, and
// says on standard error why a directory cannot be used.  No trailing slash.
std::string deviceDir();

// The same path without touching the file system (nothing is created or
// reported): for callers that check often whether the device has changed.
std::string deviceDirPath();

// True when the device directory exists as a directory (after creating the
// default one).  A false answer has been reported on standard error.
bool deviceDirUsable();

// Host paths of the device's parts.
std::string deviceFsRoot();        // <device>/fs (created when missing)
std::string deviceRegistryPath();  // <device>/registry.reg
std::string deviceConfPath();      // <device>/device.conf
std::string deviceRunDir();        // <device>/run (not created here)

}  // namespace ce::posix
