#include "fuzz/memory_device.h"

#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/registry_store.h"
#include "platform/wstr.h"

namespace cefuzz {

namespace {

struct Device {
    std::set<std::u16string> directories{u""};
    std::map<std::u16string, std::shared_ptr<std::string>> files;
    std::shared_ptr<const ce::posix::RegFile> registry =
        std::make_shared<const ce::posix::RegFile>(ce::posix::regFileParse(""));
    int width = 480;
    int height = 800;
    int boxes = 0;
};

Device& device() {
    static Device d;
    return d;
}

// The path as the device compares it: "\a\b", "" for the root.
std::u16string clean(std::u16string_view path) {
    std::vector<std::u16string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = pos;
        while (end < path.size() && path[end] != u'\\' && path[end] != u'/')
            ++end;
        std::u16string part(path.substr(pos, end - pos));
        for (char16_t& c : part)
            c = ce::u16lowerChar(c);
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(std::move(part));
        }
        pos = end + 1;
    }
    std::u16string out;
    for (const std::u16string& p : parts)
        out += u"\\" + p;
    return out;
}

bool parentExists(const std::u16string& cleaned) {
    size_t slash = cleaned.rfind(u'\\');
    return slash != std::u16string::npos &&
           device().directories.count(cleaned.substr(0, slash)) != 0;
}

}  // namespace

void memoryDeviceReset() {
    device() = Device();
}

void memoryDeviceAddDirectory(std::u16string_view path) {
    std::u16string cleaned = clean(path);
    while (!cleaned.empty()) {
        device().directories.insert(cleaned);
        cleaned.resize(cleaned.rfind(u'\\'));
    }
}

void memoryDeviceSetFile(std::u16string_view path, std::string_view bytes) {
    device().files[clean(path)] = std::make_shared<std::string>(bytes);
}

bool memoryDeviceGetFile(std::u16string_view path, std::string* bytes) {
    auto it = device().files.find(clean(path));
    if (it == device().files.end())
        return false;
    *bytes = *it->second;
    return true;
}

std::map<std::u16string, std::string> memoryDeviceFiles() {
    std::map<std::u16string, std::string> out;
    for (const auto& [path, bytes] : device().files)
        out[path] = *bytes;
    return out;
}

void memoryDeviceSetRegistry(std::string_view regFileBytes) {
    device().registry =
        std::make_shared<const ce::posix::RegFile>(ce::posix::regFileParse(regFileBytes));
}

void memoryDeviceSetScreen(int width, int height) {
    device().width = width;
    device().height = height;
}

int memoryDeviceMessageBoxes() {
    return device().boxes;
}

}  // namespace cefuzz

// ---------------------------------------------------------------------------
// The platform functions the installer's core calls.

namespace ce {

struct FileImpl {
    std::shared_ptr<std::string> bytes;
    FileMode mode;
    size_t pos;
    bool atEnd;
};

File fileOpen(const char16_t* path, FileMode mode) {
    std::u16string cleaned = cefuzz::clean(path);
    auto& files = cefuzz::device().files;
    if (mode == FileMode::Read) {
        auto it = files.find(cleaned);
        if (it == files.end())
            return nullptr;
        return new FileImpl{it->second, mode, 0, false};
    }
    if (!cefuzz::parentExists(cleaned) || cefuzz::device().directories.count(cleaned) != 0)
        return nullptr;
    auto bytes = std::make_shared<std::string>();
    files[cleaned] = bytes;
    return new FileImpl{bytes, mode, 0, false};
}

size_t fileReadLine(File file, char* buf, size_t size) {
    if (file == nullptr || file->mode != FileMode::Read || buf == nullptr || size == 0)
        return 0;
    const std::string& b = *file->bytes;
    // As a stream does: the end is met only by a read that wanted more.
    size_t n = 0;
    while (n + 1 < size) {
        if (file->pos == b.size()) {
            file->atEnd = true;
            break;
        }
        char c = b[file->pos++];
        buf[n++] = c;
        if (c == '\n')
            break;
    }
    buf[n] = 0;
    return n;
}

bool fileAtEnd(File file) {
    return file == nullptr || file->atEnd;
}

bool fileWrite(File file, const void* data, size_t size) {
    if (file == nullptr || file->mode != FileMode::Write || (data == nullptr && size > 0))
        return false;
    file->bytes->append(static_cast<const char*>(data), size);
    return true;
}

bool fileClose(File file) {
    delete file;
    return true;
}

bool fileCopyOver(const char16_t* src, const char16_t* dst) {
    auto& files = cefuzz::device().files;
    auto from = files.find(cefuzz::clean(src));
    std::u16string to = cefuzz::clean(dst);
    if (from == files.end() || !cefuzz::parentExists(to) ||
        cefuzz::device().directories.count(to) != 0) {
        return false;
    }
    files[to] = std::make_shared<std::string>(*from->second);
    return true;
}

int screenWidth() {
    return cefuzz::device().width;
}

int screenHeight() {
    return cefuzz::device().height;
}

void messageBox(const char16_t*, const char16_t*) {
    ++cefuzz::device().boxes;
}

}  // namespace ce

// ---------------------------------------------------------------------------
// The registry store: the registry file lives in memory, and a change
// applies to a copy that replaces it only when the change succeeds.

namespace ce::posix {

std::shared_ptr<const RegFile> registryRead() {
    return cefuzz::device().registry;
}

bool registryUpdate(RegistryChange change, const void* context) {
    RegFile copy = *cefuzz::device().registry;
    if (!change(&copy, context))
        return false;
    cefuzz::device().registry = std::make_shared<const RegFile>(std::move(copy));
    return true;
}

}  // namespace ce::posix
