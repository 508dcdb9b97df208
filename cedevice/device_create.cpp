// create: a new device directory, empty or a copy of the sample device.
//
// A device is only ever made in a directory of its own: one that does not
// exist yet, or an empty one.  Nothing is copied into a directory that holds
// anything, so a device never lands nested inside another (as a plain
// recursive copy onto an existing directory would do), and never below
// another device: the programs would take the outer one's fs/ for files of
// its own.  When the making fails half-way, what was made is removed again.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "cedevice/host_file.h"
#include "cedevice/tool.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/sys/diagnostic.h"

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

// The device's parts, each noted in *made as it is made: a copy of the
// sample, or an empty file system, a new registry and a device.conf.  fs/
// comes first, with one mkdir that fails when it exists: of two runs
// making a device in the same directory at once, only the one that made
// it goes on, and the other never touches what that one makes.  False
// with the reason in *error.
bool fillDevice(const fs::path& dir, const fs::path& sample, bool fromSample,
                std::vector<fs::path>* made, std::string* error) {
    const fs::path files = dir / "fs";
    if (mkdir(files.c_str(), 0777) != 0) {
        *error = errno == EEXIST
                     ? dir.string() +
                           " is no longer empty (another run is making a device "
                           "there?): a device is made in a new or empty directory"
                     : "cannot make " + files.string() + ": " + ce::posix::systemError(errno);
        return false;
    }
    made->push_back(files);
    std::error_code ec;
    if (fromSample) {
        fs::copy(sample / "fs", files, fs::copy_options::recursive, ec);
        // The iterator's own error code would clear the copy's.
        fs::directory_iterator it;
        if (!ec)
            it = fs::directory_iterator(sample, ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            if (it->path().filename() == "fs")
                continue;
            const fs::path to = dir / it->path().filename();
            if (fs::exists(fs::symlink_status(to, ec))) {
                ec = std::make_error_code(std::errc::file_exists);
                break;
            }
            made->push_back(to);
            fs::copy(it->path(), to, fs::copy_options::recursive, ec);
        }
        if (ec)
            *error = "cannot copy the sample device " + sample.string() + " to " + dir.string() +
                     ": " + ec.message();
        return !ec;
    }
    const std::string registry = ce::posix::regFileSerialize(ce::posix::regFileNew());
    made->push_back(dir / "registry.reg");
    if (!writeHostFile(made->back(), registry, error))
        return false;
    made->push_back(dir / "device.conf");
    return writeHostFile(made->back(), kDeviceConf, error);
}

// The device that dir would lie inside: the nearest directory above it that
// holds fs/ with registry.reg or device.conf beside it, or those two files,
// or one of them while dir lies in its fs/; empty when none.
// Symbolic links are resolved first, so a link into a device is caught too.
fs::path enclosingDevice(const fs::path& dir) {
    std::error_code ec;
    fs::path at = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    if (ec)
        return {};
    while (at.has_relative_path()) {
        const bool inFs = at.filename() == "fs";
        at = at.parent_path();
        const bool registry = fs::exists(at / "registry.reg", ec);
        const bool conf = fs::exists(at / "device.conf", ec);
        // A device makes its fs/ when first needed (a device that the tool
        // made by default holds only its registry at first): its files
        // alone make one too.
        if (((inFs || fs::is_directory(at / "fs", ec)) && (registry || conf)) || (registry && conf))
            return at;
    }
    return {};
}

// Removes each directory of dirs, in that order, that is empty: one that
// another run filled in the meantime stays, with what it holds.
void removeEmptyDirectories(const std::vector<fs::path>& dirs) {
    for (const fs::path& d : dirs)
        rmdir(d.c_str());
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
    // A directory that may not be listed is no empty one, but saying it is
    // not empty would send the user looking for files that are not there.
    if (existed && !fs::is_empty(dir, ec)) {
        if (ec)
            return fail("cannot read " + target + ": " + ec.message());
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
    // The directories this run is to make, the deepest first: a failure
    // takes back every one of them, not only the device's own.
    std::vector<fs::path> madeDirs;
    if (!existed) {
        fs::path at = fs::absolute(dir, ec).lexically_normal();
        if (!at.has_filename())
            at = at.parent_path();
        struct stat st;
        for (; at.has_relative_path() && lstat(at.c_str(), &st) != 0 && errno == ENOENT;
             at = at.parent_path())
            madeDirs.push_back(at);
        fs::create_directories(dir, ec);
        if (ec) {
            removeEmptyDirectories(madeDirs);
            return fail("cannot make " + target + ": " + ec.message());
        }
    }

    std::string reason;
    std::vector<fs::path> made;
    if (fillDevice(dir, sample, fromSample, &made, &reason))
        return kExitOk;
    // Leave nothing half made, and nothing of another's removed: only what
    // this run made goes, and the directories when they are empty again.
    std::error_code ignored;
    for (size_t i = made.size(); i-- > 0;)
        fs::remove_all(made[i], ignored);
    removeEmptyDirectories(madeDirs);
    return fail(reason);
}

}  // namespace cedevice
