#include "tests/posix/posix_test_util.h"

#include <dirent.h>

#include <algorithm>

#include "platform/platform.h"

namespace posixtest {

bool readDeviceFile(const std::u16string& path, std::string* bytes) {
    ce::File f = ce::fileOpen(path.c_str(), ce::FileMode::Read);
    if (f == nullptr)
        return false;
    bytes->clear();
    char buf[1000];
    size_t n;
    while ((n = ce::fileRead(f, buf, sizeof buf)) > 0)
        bytes->append(buf, n);
    ce::fileClose(f);
    return true;
}

bool writeDeviceFile(const std::u16string& path, const std::string& bytes) {
    ce::File f = ce::fileOpen(path.c_str(), ce::FileMode::Write);
    if (f == nullptr)
        return false;
    bool ok = ce::fileWrite(f, bytes.data(), bytes.size());
    return ce::fileClose(f) && ok;
}

std::vector<std::string> hostListing(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return names;
    while (struct dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace posixtest
