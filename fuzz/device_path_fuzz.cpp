// Device paths mapped to host entries under fs/ of a small device built in
// a temporary directory: mixed case, names beyond ASCII, two names that
// differ only in case, a name that begins with its sibling's name
// ("Sub", "SubDeep"), and links that stay inside fs/, leave it, or loop.
//
// Input: device paths, one per line.  Each is resolved twice, as the
// mapping's memory of the last directory leaves it and again from a clean
// start; both must agree (result, entry, host path, directory), and every
// entry found must lie in a directory of fs/.  Each path with "\*.*"
// appended is listed the same two ways, with the same names.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/posix/fs/fs_path.h"
#include "platform/wstr.h"

namespace {

constexpr size_t kMaxPaths = 4;

std::string gDevice;
std::set<std::pair<dev_t, ino_t>> gFsDirectories;

void make(const std::string& path, const char* linkTarget = nullptr) {
    std::string host = gDevice + "/fs/" + path;
    bool ok = linkTarget != nullptr ? symlink(linkTarget, host.c_str()) == 0
              : host.back() == '/'  ? mkdir(host.c_str(), 0755) == 0
                                    : close(open(host.c_str(), O_CREAT | O_WRONLY, 0644)) == 0;
    FUZZ_CHECK(ok);
}

int noteDirectory(const char*, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D)
        gFsDirectories.insert({st->st_dev, st->st_ino});
    return 0;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void removeDevice() {
    nftw(gDevice.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void buildDevice() {
    const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string dir = std::string(shm) + "/ce-fuzz-device-XXXXXX";
    FUZZ_CHECK(mkdtemp(dir.data()) != nullptr);
    gDevice = dir;
    atexit(removeDevice);
    setenv("CE_DEVICE_DIR", gDevice.c_str(), 1);
    FUZZ_CHECK(mkdir((gDevice + "/fs").c_str(), 0755) == 0);
    FUZZ_CHECK(close(open((gDevice + "/registry.reg").c_str(), O_CREAT | O_WRONLY, 0644)) == 0);
    for (const char* entry :
         {"Windows/", "Windows/qorvhome_480x800.cpr", "Windows/Sub/", "Windows/Sub/Deep/",
          "Windows/Sub/Deep/x.lnk", "Windows/SubDeep/", "Windows/SubDeep/y.lnk", "Program Files/",
          "Program Files/Lorvendi/", "Program Files/Lorvendi/lorvendi.plg", "\xc3\x84rger/",
          "\xc3\x84rger/\xc5\x81\xc3\xb3"
          "d\xc5\xba.txt",
          "Dir/", "Dir/Name.txt", "Dir/name.txt", "Dir/NAME/"}) {
        make(entry);
    }
    std::string abs = gDevice + "/fs/Windows/Sub";
    make("in", "Windows");
    make("Windows/up", "../Program Files");
    make("abs", abs.c_str());
    make("out", "../registry.reg");
    make("outabs", "/etc");
    make("loop", "loop");
    make("Windows/Sub/Deep/root", "../../..");
    make("Windows/Sub/Deep/escape", "../../../..");
    nftw((gDevice + "/fs").c_str(), noteDirectory, 16, FTW_PHYS);
}

struct Resolved {
    bool ok = false;
    std::string name;
    std::string host;
    bool exists = false;
    mode_t type = 0;
    std::pair<dev_t, ino_t> dir{};
};

Resolved resolve(const std::u16string& path, ce::posix::LeafMode mode) {
    Resolved r;
    ce::posix::DeviceEntry e;
    r.ok = ce::posix::resolveDevicePath(path.c_str(), mode, &e, &r.host);
    if (!r.ok)
        return r;
    struct stat st;
    FUZZ_CHECK(fstat(e.dirFd, &st) == 0);
    r.dir = {st.st_dev, st.st_ino};
    r.name = e.name;
    r.exists = e.exists;
    r.type = e.type;
    ce::posix::closeDeviceEntry(&e);
    return r;
}

bool same(const Resolved& a, const Resolved& b) {
    return a.ok == b.ok && a.name == b.name && a.host == b.host && a.exists == b.exists &&
           a.type == b.type && a.dir == b.dir;
}

void noteName(void* context, const char* name, unsigned char, int) {
    static_cast<std::vector<std::string>*>(context)->push_back(name);
}

std::pair<bool, std::vector<std::string>> list(const std::u16string& pattern) {
    std::vector<std::string> names;
    size_t start = 0;
    bool ok = ce::posix::listDeviceDirectory(pattern.c_str(), &start, noteName, &names);
    return {ok, names};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    buildDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t i = 0; i < kMaxPaths && start <= input.size(); ++i) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        std::string bytes = input.substr(start, end - start);
        start = end + 1;
        std::u16string path;
        if (!ce::utf8ToU16(bytes.data(), bytes.size(), &path)) {
            path.clear();
            for (char c : bytes)
                path.push_back(static_cast<unsigned char>(c));
        }
        path = path.substr(0, path.find(u'\0'));

        auto mode = static_cast<ce::posix::LeafMode>((i + size) % 3);
        Resolved remembered = resolve(path, mode);
        ce::posix::forgetResolvedDirectory();
        Resolved fresh = resolve(path, mode);
        FUZZ_CHECK(same(remembered, fresh));
        if (fresh.ok) {
            FUZZ_CHECK(gFsDirectories.count(fresh.dir) == 1);
            std::string root = gDevice + "/fs";
            FUZZ_CHECK(fresh.host.compare(0, root.size(), root) == 0);
        }

        std::u16string pattern = path + u"\\*.*";
        auto listed = list(pattern);
        ce::posix::forgetResolvedDirectory();
        FUZZ_CHECK(list(pattern) == listed);
    }
    return 0;
}
