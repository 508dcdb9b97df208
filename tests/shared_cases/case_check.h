// Checks of a case's expectations, shared by the posix runner and the wine
// driver: each backend supplies how it reads a registry value and a file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/shared_cases/case_file.h"

namespace cecase {

// A registry value as read back: its type and bytes.
struct ReadValue {
    uint32_t type = 0;
    std::string bytes;
};

using ReadRegistry =
    std::function<std::optional<ReadValue>(const std::string& key, const std::string& name)>;
using ReadFile = std::function<std::optional<std::string>(const std::string& devicePath)>;

// Every mismatch of the registry and file expectations, one message each.
std::vector<std::string> checkExpectations(const Case& c, const ReadRegistry& readRegistry,
                                           const ReadFile& readFile);

// Mismatches of the exit status and the message boxes ("CAPTION: text" lines).
std::vector<std::string> checkRun(const Case& c, int exitCode,
                                  const std::vector<std::string>& boxes);

// The message-box lines among the lines of a text: those that begin with a
// known caption ("QORV: ", "Zandoval: ").
std::vector<std::string> boxLines(const std::string& text);

}  // namespace cecase
