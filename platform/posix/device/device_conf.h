// device.conf: facts about the emulated device, as lines of name=value.
// Lines beginning with '#' and unknown names are ignored.
#pragma once

#include <string>

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
// around the name and the value and CR line ends are tolerated.
DeviceConf parseDeviceConf(const std::string& text);

// device.conf of the current device directory; defaults when it is missing
// or unreadable.  Read anew on every call.
DeviceConf readDeviceConf();

}  // namespace ce::posix
