// An emulated device held in memory, for the installer's fuzz targets.
//
// It stands in for the posix backend's file streams, registry, screen size
// and message box, so that a whole installer run touches no disk and costs
// little: the registry file's own reader and editor have a target of their
// own, and here the registry is a plain table.  The rules are those of the device layer,
// kept small:
//   - files are bytes named by device paths; backslash and slash separate
//     components, empty components and "." vanish, ".." goes one up (never
//     above the root), and names compare without regard to case;
//   - a file can be created only in a directory that exists: the root and
//     every directory given to memoryDeviceAddDirectory;
//   - registry keys and value names compare without regard to case, a
//     created key brings its parents, and a value that does not fit the
//     reader's buffer counts as missing;
//   - a message box is counted, never shown.
// Everything is process-wide; memoryDeviceReset empties it.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace cefuzz {

void memoryDeviceReset();

void memoryDeviceAddDirectory(std::u16string_view path);
void memoryDeviceSetFile(std::u16string_view path, std::string_view bytes);
// False when no file of that path exists.
bool memoryDeviceGetFile(std::u16string_view path, std::string* bytes);
// Every file, by its path in the form the device compares.
std::map<std::u16string, std::string> memoryDeviceFiles();

// The registry becomes what a registry file holds ("" is the empty registry).
void memoryDeviceSetRegistry(std::string_view regFileBytes);

void memoryDeviceSetScreen(int width, int height);
int memoryDeviceMessageBoxes();

}  // namespace cefuzz
