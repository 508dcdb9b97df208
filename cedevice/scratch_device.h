// The temporary devices check-plugin runs the installer on.
//
// They live in a directory of their own below $TMPDIR (else /tmp), made
// with a unique name and removed with all it holds when the check ends,
// also when it is interrupted (SIGINT, SIGTERM, SIGHUP).  Each device is a
// fresh copy of what the installer reads of the user's device: registry.reg,
// device.conf with the screen set for the check, the layout files of the
// current layout and any temporary layout copy an earlier run left, with
// their permissions; the plugin definition is put beside them.  Only ever
// read, the user's device stays as it was, byte for byte.
#pragma once

#include <string>

#include "cedevice/device_layouts.h"

namespace cedevice {

// Where the plugin definition lies on each temporary device.
constexpr char kCheckedPlgPath[] = "\\cedevice-check\\plugin.plg";

struct ScratchArea {
    std::string root;    // the directory that holds everything (empty: none)
    std::string device;  // root/device, the temporary device
};

// Makes the area, and from then on removes it on the signals above (the
// signal then ends the program as it would have).  False with the reason
// in *error.
bool makeScratchArea(ScratchArea* area, std::string* error);

// Removes the area and all it holds.
void removeScratchArea(ScratchArea* area);

// True once one of the signals above has come; the caller then stops, and
// endIfInterrupted removes the area and ends the program by that signal.
bool interrupted();
void endIfInterrupted(ScratchArea* area);

// Makes area->device anew as a copy of the user's device with the screen
// set to screen.  False with the reason in *error.
bool makeScratchDevice(const ScratchArea& area, const std::string& userDevice,
                       const DeviceLayouts& layouts, const std::string& plgBytes,
                       const ScreenSize& screen, std::string* error);

// The host path of a layout file on the temporary device.
std::string scratchLayoutPath(const ScratchArea& area, const DeviceLayouts& layouts,
                              const LayoutFile& file);

}  // namespace cedevice
