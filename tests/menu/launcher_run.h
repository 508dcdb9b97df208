// One launcher under test: a program directory holding a copy of the real
// Vantrelo and the menu files of the test, a temporary device, a private
// desktop (XDG data and config directories) and a trace of the menus the
// launcher showed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/device_fixture.h"

namespace vtest {

// Polls cond until it holds or the deadline passes; returns the last answer.
bool waitFor(const std::function<bool()>& cond,
             std::chrono::milliseconds deadline = std::chrono::seconds(20));

// UTF-16LE with a byte-order mark and CRLF line ends, as menu files are saved.
std::string utf16Menu(const std::string& utf8Lines);

struct MenuEntry {
    int id = 0;
    std::string text;
    bool operator==(const MenuEntry&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const MenuEntry& e) {
    return os << e.id << ":" << e.text;
}

struct ShownMenu {
    int x = 0;
    int y = 0;
    std::vector<MenuEntry> entries;
};

class Process {
public:
    Process() = default;
    explicit Process(pid_t pid) : pid_(pid) {}
    ~Process();
    Process(Process&& other) noexcept : pid_(other.pid_), exit_(other.exit_) { other.pid_ = -1; }
    Process& operator=(Process&&) = delete;

    pid_t pid() const { return pid_; }
    // Exit code once the process has ended (255 stands for -1), else nullopt.
    std::optional<int> exitCode();
    std::optional<int> waitExit(std::chrono::milliseconds deadline);
    bool running() { return !exitCode().has_value(); }
    void signal(int sig) const;

private:
    pid_t pid_ = -1;
    std::optional<int> exit_;
    bool signalled_ = false;
};

class LauncherSetup {
public:
    explicit LauncherSetup(std::string display);
    ~LauncherSetup();  // removes the program, output and desktop directories
    LauncherSetup(const LauncherSetup&) = delete;
    LauncherSetup& operator=(const LauncherSetup&) = delete;

    const std::string& programDir() const { return programDir_; }
    const std::string& outDir() const { return outDir_; }
    cetest::TempDevice& device() { return device_; }

    // Writes <programDir>/Vantrelo<suffix>.ini with the given bytes.
    void writeMenu(const std::string& suffix, const std::string& bytes) const;

    // An executable script (host path) that records its arguments, one a
    // line, in <outDir>/<name>.args and its open descriptors in
    // <outDir>/<name>.fds.
    std::string recorderScript(const std::string& hostPath, const std::string& name) const;

    // Registers a desktop application as the default for text/plain in the
    // private desktop; it records the file it was asked to open in
    // <outDir>/<name>.args.
    void registerTextHandler(const std::string& name) const;

    // Starts the launcher with the arguments; env adds or overrides.
    // startedAs is the path it is started by, as a shell would run it (a
    // name without a slash is looked up in env's PATH); by default the
    // copy in programDir().
    Process start(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {},
                  const std::string& startedAs = "") const;

    // Menus shown so far, from the trace.
    std::vector<ShownMenu> shownMenus() const;

    std::string readOut(const std::string& file) const;  // "" when missing
    // The diagnostics of the launchers started so far: their lines that
    // begin with "vantrelo: " (the sanitizers' reports are not among them).
    std::string diagnostics() const;
    bool outExists(const std::string& file) const;

    bool windowMarkerExists() const;
    bool eventMarkerExists() const;

private:
    std::string display_;
    cetest::TempDevice device_;
    std::string root_;
    std::string programDir_;
    std::string outDir_;
    std::string tracePath_;
};

}  // namespace vtest
