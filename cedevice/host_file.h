// Whole files of the PC, read and written as bytes for the device tool.
#pragma once

#include <filesystem>
#include <string>

namespace cedevice {

// Reads path into *bytes.  False with "cannot read PATH: reason" in *error.
bool readHostFile(const std::filesystem::path& path, std::string* bytes, std::string* error);

// Writes bytes to path, replacing what it held.  False with
// "cannot write PATH: reason" in *error.
bool writeHostFile(const std::filesystem::path& path, const std::string& bytes, std::string* error);

}  // namespace cedevice
