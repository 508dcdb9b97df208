// A private X display for end-to-end runs of the launcher: Xvfb on a
// display number it picks itself (so tests run side by side), with xdotool
// to move and click the pointer and press keys, and ImageMagick to take
// screenshots.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vtest {

struct ToolResult {
    int exitCode = -1;
    std::string out;
};

// Runs a program (found on PATH) with extra environment variables, waits
// for it at most timeoutSeconds and returns its exit code and output.
ToolResult runTool(const std::vector<std::string>& argv,
                   const std::map<std::string, std::string>& env, int timeoutSeconds = 30);

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class XSession {
public:
    // Starts Xvfb with a 1024x768 screen; ok() tells whether it answers.
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"
    const std::string& error() const { return error_; }

    bool xdotool(const std::vector<std::string>& args) const;
    void movePointer(int x, int y) const;
    std::optional<std::pair<int, int>> pointer() const;

    // The visible top-level windows of X class `cls` (GTK names a program's
    // windows after the program), with their geometry.
    std::vector<Rect> visibleWindows(const std::string& cls) const;

    // Saves the screen, or a part of it, as PNG.
    bool screenshot(const std::string& path, const std::optional<Rect>& crop = {}) const;

private:
    std::string display_;
    std::string error_;
    int pid_ = -1;
};

}  // namespace vtest
