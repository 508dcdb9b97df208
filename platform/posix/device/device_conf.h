// device.conf: facts about the emulated device, as lines of name=value.
// Lines beginning with '#' are comments; unknown names are ignored, with a
// warning on standard error, since a mistyped name would silently leave
// the default.
#pragma once

#include <string>
#include <vector>

namespace ce::posix {

constexpr int kDefaultScreenWidth = 480;
constexpr int kDefaultScreenHeight = 800;
// Largest side a screen line may give; anything larger is malformed.
constexpr int kMaxScreenSide = 65535;

struct DeviceConf {
    int screenWidth = kDefaultScreenWidth;
    int screenHeight = kDefaultScreenHeight;
};

// Parses the text of device.conf.  "screen=WxH" gives the screen size in
// physical pixels; the last screen line counts, and a malformed one (not
// two positive decimal numbers joined by 'x') leaves the default.  Blanks
// around the name and the value and CR line ends are tolerated.  Each line
// that is not a comment, not blank and not a well-formed screen line adds
// "line N: <what is wrong and what is expected>" to *problems.
DeviceConf parseDeviceConf(const std::string& text, std::vector<std::string>* problems = nullptr);

// The name a line of device.conf sets ("screen" for " screen = 480x800"),
// as parseDeviceConf reads it; empty for a comment, a blank line or a line
// without '='.
std::string deviceConfLineName(const std::string& line);

// device.conf of the current device directory; defaults when it is missing
// or unreadable.  Read anew on every call; each problem of a line is said
// once per process on standard error, naming the file.
DeviceConf readDeviceConf();

}  // namespace ce::posix
