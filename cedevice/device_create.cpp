// create: a new device directory, empty or a copy of the sample device.
//
// A device is only ever made in a directory of its own: one that does not
// exist yet, or an empty one.  Nothing is copied into a directory that holds
// anything, so a device never lands nested inside another (as a plain
// recursive copy onto an existing directory would do), and never below
// another device: the programs would take the outer one's fs/ for files of
// its own.  When the making fails half-way, what was made is removed again.
#include <limits.h>
#include <unistd.h>

#include <filesystem>

#include "cedevice/host_file.h"
#include "cedevice/tool.h"
#include "platform/posix/registry/reg_file.h"

namespace cedevice {

namespace {

namespace fs = std::filesystem;

// Where the sample device is installed, relative to the directory of the
// installed program (set by the build; the build tree has the same layout).
constexpr const char* kSampleFromProgram = CE_SAMPLE_DEVICE_FROM_PROGRAM;

constexpr const char* kDeviceConf =
    "# Facts about the emulated device.  screen: its width x height in pixels\n"
    "# as the device reports them now (the layout files are chosen by it).\n"
    "screen=480x800\n";

fs::path programDirectory() {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    buf[n] = 0;
    return fs::path(buf).parent_path();
}

// The device's parts: a copy of the sample, or an empty file system, a new
// registry and a device.conf.  False with the reason in *error.
bool fillDevice(const fs::path& dir, const fs::path& sample, bool fromSample, std::string* error) {
    std::error_code ec;
    if (fromSample) {
        fs::copy(sample, dir, fs::copy_options::recursive, ec);
        if (ec)
            *error = "cannot copy the sample device " + sample.string() + " to " + dir.string() +
                     ": " + ec.message();
        return !ec;
    }
    if (!fs::create_directory(dir / "fs", ec) && ec) {
        *error = "cannot make " + (dir / "fs").string() + ": " + ec.message();
        return false;
    }
    const std::string registry = ce::posix::regFileSerialize(ce::posix::regFileNew());
    return writeHostFile(dir / "registry.reg", registry, error) &&
           writeHostFile(dir / "device.conf", kDeviceConf, error);
}

// The device that dir would lie inside: the nearest directory above it that
// holds fs/ with registry.reg or device.conf beside it; empty when none.
// Symbolic links are resolved first, so a link into a device is caught too.
fs::path enclosingDevice(const fs::path& dir) {
    std::error_code ec;
    fs::path at = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    if (ec)
        return {};
    while (at.has_relative_path()) {
        at = at.parent_path();
        if (fs::is_directory(at / "fs", ec) &&
            (fs::exists(at / "registry.reg", ec) || fs::exists(at / "device.conf", ec)))
            return at;
    }
    return {};
}

}  // namespace

int createCommand(const Args& args) {
    bool fromSample = false;
    std::string target;
    for (const std::string& a : args) {
        if (a == "--sample") {
            fromSample = true;
        } else if (!a.empty() && a[0] == '-') {
            return usageError("create does not know the option " + a);
        } else if (target.empty()) {
            target = a;
        } else {
            return usageError("create takes one DIR");
        }
    }
    if (target.empty())
        return usageError("create takes [--sample] DIR");

    const fs::path dir(target);
    std::error_code ec;
    fs::file_status status = fs::status(dir, ec);
    const bool existed = fs::exists(status);
    if (existed && !fs::is_directory(status))
        return fail(target + " exists and is not a directory");
    if (existed && !fs::is_empty(dir, ec)) {
        return fail(target +
                    " exists and is not empty: a device is made in a new or empty directory");
    }

    const fs::path outer = enclosingDevice(dir);
    if (!outer.empty()) {
        return fail(target + " lies inside the device " + outer.string() +
                    ": a device is made outside any other");
    }

    fs::path sample;
    if (fromSample) {
        sample = programDirectory() / kSampleFromProgram;
        if (!fs::is_directory(sample, ec))
            return fail("no sample device at " + sample.lexically_normal().string());
        sample = sample.lexically_normal();
    }
    if (!existed && !fs::create_directories(dir, ec) && ec)
        return fail("cannot make " + target + ": " + ec.message());

    std::string reason;
    if (fillDevice(dir, sample, fromSample, &reason))
        return kExitOk;
    // Leave nothing half made: the directory was new or empty before.
    std::error_code ignored;
    if (existed) {
        for (const fs::directory_entry& e : fs::directory_iterator(dir, ignored))
            fs::remove_all(e.path(), ignored);
    } else {
        fs::remove_all(dir, ignored);
    }
    return fail(reason);
}

}  // namespace cedevice
