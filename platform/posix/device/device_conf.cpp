#include "platform/posix/device/device_conf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/device/device_dir.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"

namespace ce::posix {

namespace {

// device.conf is a few lines; a larger file is read only this far.
constexpr size_t kMaxConfBytes = 64 * 1024;

std::string trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

// A positive decimal number of at most kMaxScreenSide; false otherwise.
bool parseSide(const std::string& s, int* out) {
    if (s.empty() || s.size() > 5)
        return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v <= 0 || v > kMaxScreenSide)
        return false;
    *out = v;
    return true;
}

// A screen line's value: two positive decimal numbers joined by 'x'.
bool applyScreen(const std::string& value, DeviceConf* conf) {
    conf->screenWidth = kDefaultScreenWidth;
    conf->screenHeight = kDefaultScreenHeight;
    size_t x = value.find('x');
    if (x == std::string::npos)
        return false;
    int w = 0;
    int h = 0;
    if (!parseSide(trim(value.substr(0, x)), &w) || !parseSide(trim(value.substr(x + 1)), &h)) {
        return false;
    }
    conf->screenWidth = w;
    conf->screenHeight = h;
    return true;
}

std::string defaultScreenText() {
    return std::to_string(kDefaultScreenWidth) + "x" + std::to_string(kDefaultScreenHeight);
}

}  // namespace

std::string deviceConfLineName(const std::string& line) {
    std::string trimmed = trim(line);
    size_t eq = trimmed.find('=');
    if (trimmed.empty() || trimmed[0] == '#' || eq == std::string::npos)
        return "";
    return trim(trimmed.substr(0, eq));
}

DeviceConf parseDeviceConf(const std::string& text, std::vector<std::string>* problems) {
    DeviceConf conf;
    // A byte-order mark (a file saved by a Windows editor) is no part of
    // the first name.
    size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    size_t number = 0;
    auto problem = [&](const std::string& what) {
        if (problems != nullptr)
            problems->push_back("line " + std::to_string(number) + ": " + what);
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        std::string trimmed = trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        size_t eq = trimmed.find('=');
        if (eq == std::string::npos) {
            problem("\"" + trimmed + "\" is not name=value; expected screen=WIDTHxHEIGHT");
            continue;
        }
        std::string name = deviceConfLineName(line);
        std::string value = trim(trimmed.substr(eq + 1));
        if (name != "screen") {
            problem("unknown name \"" + name + "\" (ignored); expected screen=WIDTHxHEIGHT");
        } else if (!applyScreen(value, &conf)) {
            problem("screen=" + value +
                    " is not WIDTHxHEIGHT in decimal with a lower-case x, such as 480x800; "
                    "the screen is " +
                    defaultScreenText());
        }
    }
    return conf;
}

DeviceConf readDeviceConf() {
    std::string path = deviceConfPath();
    // The file is optional; one that is there but cannot be read is named,
    // since its screen would otherwise be replaced by the default unseen.
    const std::string fallback = "; the screen is " + defaultScreenText();
    int fd = sysOpen(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT)
            diagnose("cannot read " + path + ": " + systemError(errno) + fallback);
        return DeviceConf{};
    }
    struct stat st;
    if (sysCalls().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        sysClose(fd);
        diagnose("cannot read " + path + ": not a regular file" + fallback);
        return DeviceConf{};
    }
    // One byte more than is read tells a file that goes on; its line cut
    // at the limit is dropped rather than read as another value.
    std::string text(kMaxConfBytes + 1, '\0');
    ssize_t n = readFull(fd, text.data(), text.size());
    sysClose(fd);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (text.size() > kMaxConfBytes) {
        text.resize(kMaxConfBytes);
        text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        diagnose(path + " is longer than 64 KiB: only its lines within the first 64 KiB are read");
    }
    std::vector<std::string> problems;
    DeviceConf conf = parseDeviceConf(text, &problems);
    for (const std::string& problem : problems)
        diagnose(path + " " + problem);
    return conf;
}

}  // namespace ce::posix
