// Helpers shared by the posix backend tests.
#pragma once

#include <string>
#include <vector>

namespace posixtest {

// Reads a whole file through the platform interface; false when it cannot
// be opened.
bool readDeviceFile(const std::u16string& path, std::string* bytes);
// Writes a whole file through the platform interface.
bool writeDeviceFile(const std::u16string& path, const std::string& bytes);

// Names in a host directory, "." and ".." left out, sorted.
std::vector<std::string> hostListing(const std::string& dir);

}  // namespace posixtest
