#include "cedevice/host_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace cedevice {

namespace {

std::string reason() {
    return std::strerror(errno != 0 ? errno : EIO);
}

}  // namespace

bool readHostFile(const std::filesystem::path& path, std::string* bytes, std::string* error) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (in.is_open())
        bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        *error = "cannot read " + path.string() + ": " + reason();
        return false;
    }
    return true;
}

bool writeHostFile(const std::filesystem::path& path, const std::string& bytes,
                   std::string* error) {
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        *error = "cannot write " + path.string() + ": " + reason();
        return false;
    }
    return true;
}

}  // namespace cedevice
