// The layout files of a device's current layout, as the installer finds
// them: \Windows\<name>_<A>x<B>.cpr, where <name> is the home screen's
// current layout name and A, B a size in pixels.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cedevice/plugin_text.h"
#include "platform/posix/registry/reg_file.h"

namespace cedevice {

struct LayoutFile {
    ScreenSize size;        // A x B from the file name
    std::string hostPath;   // the file on the host
    std::string entryName;  // its name in the device's \Windows as it stands there
    // False when the programs cannot open it, though the host can: a link
    // that leads out of the device's files.
    bool reachable = true;
};

// An entry in the device's root by the name of the installer's temporary
// copy of a layout, left by an earlier run: the installer must replace it.
// Its type is the one the installer meets (a link that leads to a folder of
// the device's is that folder), its permissions are its own, a link's
// included.
struct LeftoverFile {
    std::string hostPath;
    std::string entryName;
    std::filesystem::file_type type = std::filesystem::file_type::regular;
    std::filesystem::perms perms = std::filesystem::perms::none;
};

struct DeviceLayouts {
    std::string name;               // the current layout name
    std::string windowsDir;         // the name of \Windows below fs/ as it stands there
    bool windowsReachable = true;   // false: a link out of the device's files
    std::vector<LayoutFile> files;  // ordered by size
    std::vector<LeftoverFile> leftovers;
};

// The current layout name as the installer takes it: "CPRFile", unless
// "ExtensibilityXML" does not name that layout in CPRFileName="..."; then
// the first layout it names.  False with the reason in *error when the home
// screen's key or "CPRFile" is missing.
bool currentLayoutName(const ce::posix::RegFile& registry, std::string* name, std::string* error);

// The layout files of that name in the device directory's fs/, and the
// installer's temporary copies found there.  The device ignores case: of
// files whose names differ only in case the one written as the installer
// composes the name counts, else the first one listed.  Whether the
// programs can open a file is asked of the device named by CE_DEVICE_DIR,
// which must be deviceDir.
DeviceLayouts findDeviceLayouts(const std::string& deviceDir, const std::string& layoutName);

// The file of the given size, or nullptr.
const LayoutFile* layoutFileOf(const DeviceLayouts& layouts, const ScreenSize& size);

// \Windows\<name>_<A>x<B>.cpr
std::string layoutDevicePath(const std::string& layoutName, const ScreenSize& size);

}  // namespace cedevice
