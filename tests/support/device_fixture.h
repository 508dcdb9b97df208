// End-to-end test support: a temporary device directory, its files and
// registry, and runs of the real programs against it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cetest {

// A fresh device directory under the system's temporary folder, removed
// when the object ends (set CE_KEEP_TEST_DEVICES=1 to keep it).  While it
// lives, CE_DEVICE_DIR of the test process names it, so the platform
// interface used by a test reads and writes this device.
class TempDevice {
public:
    TempDevice();
    ~TempDevice();
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::string& dir() const { return dir_; }
    // Host path of a device path such as "\Windows\a.cpr" (exact case, no lookup).
    std::string hostPath(const std::string& devicePath) const;

    // Files below fs/, by device path; parents are created.
    void writeFile(const std::string& devicePath, const std::string& bytes) const;
    std::string readFile(const std::string& devicePath) const;  // "" when missing
    bool fileExists(const std::string& devicePath) const;

    // registry.reg written verbatim (UTF-8 text as given).
    void writeRegistry(const std::string& regText) const;
    std::string readRegistryFile() const;
    // device.conf
    void setScreen(int width, int height) const;

    // Registry values read through the platform interface.  std::nullopt
    // when the key or value is missing.
    std::optional<std::u16string> regString(bool localMachine, const std::string& key,
                                            const std::string& name) const;
    std::optional<uint32_t> regDword(bool localMachine, const std::string& key,
                                     const std::string& name) const;
    bool regValueExists(bool localMachine, const std::string& key, const std::string& name) const;

private:
    std::string dir_;
    std::string previousEnv_;
    bool hadPreviousEnv_ = false;
};

struct RunResult {
    int exitCode = -1;  // -1 when killed by a signal or timed out
    std::string out;
    std::string err;
};

// Runs a program with the given arguments (no shell) and CE_DEVICE_DIR set
// to device.  extraEnv adds or replaces variables.  Kills it after
// timeoutSeconds.
RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& deviceDir,
                     const std::map<std::string, std::string>& extraEnv = {},
                     int timeoutSeconds = 60);

// A text escaped for a quoted string of a registry export (\ and ").
std::string regEscape(const std::string& text);

// UTF-16 text of a UTF-8 literal, for comparing registry strings.
std::u16string U(const std::string& utf8);
std::string readHostFile(const std::string& path);
void writeHostFile(const std::string& path, const std::string& bytes);

// True when the kernel lists a process blocked on an flock of the file
// (a "->" line of /proc/locks naming its inode).
bool someoneWaitsFor(const std::string& hostPath);

}  // namespace cetest
