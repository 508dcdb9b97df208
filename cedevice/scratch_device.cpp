#include "cedevice/scratch_device.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cedevice/host_file.h"
#include "platform/posix/device/device_conf.h"

namespace cedevice {

namespace {

namespace fs = std::filesystem;

// SIGPIPE too: output into a pager or `head` that has quit ends the
// check, and must not leave its temporary device behind.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};

volatile sig_atomic_t gSignal = 0;

void noteSignal(int signal) {
    gSignal = signal;
}

bool copyFile(const fs::path& from, const fs::path& to, std::string* error) {
    std::string bytes;
    return readHostFile(from, &bytes, error) && writeHostFile(to, bytes, error);
}

// A copy of the user's file with its permissions: one that nobody may
// write is read-only to the programs, and the check must meet it so.
// `perms` is of the entry itself, a link's being its own.
bool copyWithPermissions(const fs::path& from, const fs::path& to, fs::perms perms,
                         std::string* error) {
    if (!copyFile(from, to, error))
        return false;
    std::error_code ec;
    fs::permissions(to, perms, ec);
    return true;
}

bool makeDir(const fs::path& dir, std::string* error) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        *error = "cannot make " + dir.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool makeScratchArea(ScratchArea* area, std::string* error) {
    // The handlers come first: a signal that finds the directory made must
    // find them too.
    struct sigaction action = {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kCleanupSignals)
        sigaction(s, &action, nullptr);
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/cedevice-check-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        *error = "cannot make a temporary directory " + pattern + ": " + std::strerror(errno);
        return false;
    }
    area->root = pattern;
    area->device = pattern + "/device";
    return true;
}

void removeScratchArea(ScratchArea* area) {
    if (area->root.empty())
        return;
    std::error_code ignored;
    fs::remove_all(area->root, ignored);
    area->root.clear();
}

bool interrupted() {
    return gSignal != 0;
}

void endIfInterrupted(ScratchArea* area) {
    if (gSignal == 0)
        return;
    removeScratchArea(area);
    int signal = gSignal;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

bool makeScratchDevice(const ScratchArea& area, const std::string& userDevice,
                       const DeviceLayouts& layouts, const std::string& plgBytes,
                       const ScreenSize& screen, std::string* error) {
    const fs::path user(userDevice);
    const fs::path device(area.device);
    std::error_code ec;
    fs::remove_all(device, ec);
    const fs::path windows = device / "fs" / layouts.windowsDir;
    if (!makeDir(windows, error) || !makeDir(device / "fs" / "cedevice-check", error))
        return false;
    if (!writeHostFile(device / "fs" / "cedevice-check" / "plugin.plg", plgBytes, error))
        return false;
    // The store follows a link at registry.reg, and so does its check for
    // a read-only registry.
    if (fs::exists(user / "registry.reg", ec) &&
        !copyWithPermissions(user / "registry.reg", device / "registry.reg",
                             fs::status(user / "registry.reg", ec).permissions(), error)) {
        return false;
    }
    // The installer's temporary copies of a layout: a stale one that
    // cannot be replaced stops a run on the device, so it stops the check.
    // What the installer replaces whatever it holds (a link) needs no
    // copy; a folder, or a link to one of the device's, is made a folder,
    // and an entry it cannot replace (a FIFO, a socket) is made a FIFO.
    for (const LeftoverFile& f : layouts.leftovers) {
        const fs::path to = device / "fs" / f.entryName;
        if (f.type == fs::file_type::symlink)
            continue;
        if (f.type == fs::file_type::directory) {
            if (!makeDir(to, error))
                return false;
        } else if (f.type == fs::file_type::regular) {
            if (!copyFile(f.hostPath, to, error))
                return false;
        } else if (mkfifo(to.c_str(), 0644) != 0) {
            *error = "cannot make " + to.string() + ": " + std::strerror(errno);
            return false;
        }
        fs::permissions(to, f.perms, ec);
    }
    // The device's own facts, but its screen lines, after the screen line
    // of the check: the device reads only the start of a long file, and a
    // later screen line, or a malformed one, would set another screen.
    std::string own;
    if (fs::exists(user / "device.conf", ec) && !readHostFile(user / "device.conf", &own, error))
        return false;
    std::string conf = "screen=" + sizeText(screen) + "\n";
    for (size_t pos = 0; pos < own.size();) {
        const size_t end = std::min(own.find('\n', pos), own.size());
        const std::string line = own.substr(pos, end - pos);
        pos = end + 1;
        if (ce::posix::deviceConfLineName(line) != "screen")
            conf += line + "\n";
    }
    if (!writeHostFile(device / "device.conf", conf, error))
        return false;
    // A layout keeps its permissions: one that nobody may write is
    // read-only, and the installer leaves it alone on the device too.  A
    // link's are its own (the installer replaces a link it writes), and
    // what is copied is the file it leads to.
    for (const LayoutFile& f : layouts.files) {
        if (f.reachable &&
            !copyWithPermissions(f.hostPath, windows / f.entryName,
                                 fs::symlink_status(f.hostPath, ec).permissions(), error)) {
            return false;
        }
    }
    return true;
}

std::string scratchLayoutPath(const ScratchArea& area, const DeviceLayouts& layouts,
                              const LayoutFile& file) {
    return (fs::path(area.device) / "fs" / layouts.windowsDir / file.entryName).string();
}

}  // namespace cedevice
