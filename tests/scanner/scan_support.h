// Helpers of the scanner's tests: the launcher plugin's settings as a
// registry file, the list a tree should give (worked out from the host's
// own directory listing), and trees too deep for path-based file calls.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace scantest {

constexpr char kKey[] = "SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1";

// registry.reg text (UTF-8) holding the key with those settings that are
// given; with all three absent the key is there but empty.  withKey=false
// leaves the key out altogether.
std::string settingsRegistry(std::optional<std::string> root, std::optional<std::string> enter,
                             std::optional<std::string> dirFile, bool withKey = true);

// The list file the walk should write for the tree at hostRoot, whose
// device path has rootChars characters.  Entries come in the host's
// directory order, depth first, links to directories not followed.
// passes() gets the lower-cased name.  *count receives the number listed.
std::string expectedList(const std::string& hostRoot,
                         const std::function<bool(const std::string&)>& passes, uint32_t* count);

// One entry of a list file.
std::string listEntry(uint32_t number, const std::string& displayName,
                      const std::string& relativeDir);

// Every path below hostDir (relative, sorted), to show that nothing was
// written.
std::vector<std::string> treeListing(const std::string& hostDir);

// Whether the host lists entry a before entry b in directory fd.
bool listedBefore(int dirFd, const std::string& a, const std::string& b);

// Removes everything below hostDir however deep, holding one descriptor at
// a time.
void removeTreeDeep(const std::string& hostDir);

}  // namespace scantest
