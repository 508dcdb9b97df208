#include "fuzz/memory_device.h"

#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"

namespace cefuzz {

namespace {

struct RegValue {
    uint32_t type;
    std::string bytes;
};

struct Device {
    std::set<std::u16string> directories{u""};
    std::map<std::u16string, std::shared_ptr<std::string>> files;
    // Keys by folded path ("hkey_current_user\\software\\qorv"), each
    // with its values by folded name.
    std::map<std::u16string, std::map<std::u16string, RegValue>> keys;
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

std::u16string fold(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out)
        c = ce::u16lowerChar(c);
    return out;
}

// A key path as compared: folded, without empty components.
std::u16string foldKey(std::u16string_view path) {
    std::u16string out;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find(u'\\', pos);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > pos) {
            if (!out.empty())
                out.push_back(u'\\');
            out += fold(path.substr(pos, end - pos));
        }
        pos = end + 1;
    }
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
    // The same file again and again: read it once.
    static std::string lastBytes;
    static std::map<std::u16string, std::map<std::u16string, RegValue>> lastKeys;
    auto& keys = device().keys;
    if (!lastBytes.empty() && regFileBytes == lastBytes) {
        keys = lastKeys;
        return;
    }
    ce::posix::RegFile file = ce::posix::regFileParse(regFileBytes);
    keys.clear();
    for (const ce::posix::RegKeyContents& key : ce::posix::regFileContents(file)) {
        // A key exists with the keys above it.
        std::u16string path = foldKey(key.path);
        for (size_t end = path.find(u'\\'); end != std::u16string::npos;
             end = path.find(u'\\', end + 1)) {
            keys[path.substr(0, end)];
        }
        auto& values = keys[path];
        for (size_t i = 0; i < key.names.size(); ++i) {
            const ce::posix::RegValueData& v = key.data[i];
            values[fold(key.names[i])] =
                RegValue{v.type, std::string(v.bytes.begin(), v.bytes.end())};
        }
    }
    lastBytes = regFileBytes;
    lastKeys = keys;
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

void diagnostic(const char16_t*) {}

void messageBox(const char16_t*, const char16_t*) {
    ++cefuzz::device().boxes;
}

}  // namespace ce

// ---------------------------------------------------------------------------
// The registry: keys and values in memory, with the device's rules (a
// created key brings its parents, a value that does not fit counts as
// missing, the type is reported and never checked).

namespace ce {

struct RegKeyImpl {
    std::u16string path;  // folded
};

namespace {

std::u16string keyPath(Hive hive, const char16_t* subKey) {
    std::u16string path = hive == Hive::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
    if (subKey != nullptr)
        path += u"\\" + std::u16string(subKey);
    return cefuzz::foldKey(path);
}

}  // namespace

RegKey regCreateKey(Hive hive, const char16_t* subKey) {
    std::u16string path = keyPath(hive, subKey);
    for (size_t end = path.find(u'\\'); end != std::u16string::npos;
         end = path.find(u'\\', end + 1))
        cefuzz::device().keys[path.substr(0, end)];
    cefuzz::device().keys[path];
    return new RegKeyImpl{path};
}

RegKey regOpenKey(Hive hive, const char16_t* subKey) {
    std::u16string path = keyPath(hive, subKey);
    bool root = path.find(u'\\') == std::u16string::npos;
    if (!root && cefuzz::device().keys.count(path) == 0)
        return nullptr;
    return new RegKeyImpl{path};
}

bool regQueryValue(RegKey key, const char16_t* name, void* buf, uint32_t bufBytes, uint32_t* type,
                   uint32_t* dataBytes) {
    if (key == nullptr)
        return false;
    auto k = cefuzz::device().keys.find(key->path);
    if (k == cefuzz::device().keys.end())
        return false;
    auto v = k->second.find(cefuzz::fold(name != nullptr ? name : u""));
    if (v == k->second.end() || (buf != nullptr && v->second.bytes.size() > bufBytes))
        return false;
    if (buf != nullptr)
        std::memcpy(buf, v->second.bytes.data(), v->second.bytes.size());
    if (type != nullptr)
        *type = v->second.type;
    if (dataBytes != nullptr)
        *dataBytes = static_cast<uint32_t>(v->second.bytes.size());
    return true;
}

bool regSetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                 uint32_t dataBytes) {
    if (key == nullptr || (data == nullptr && dataBytes != 0))
        return false;
    auto k = cefuzz::device().keys.find(key->path);
    if (k == cefuzz::device().keys.end())
        return false;
    k->second[cefuzz::fold(name != nullptr ? name : u"")] =
        cefuzz::RegValue{type, std::string(static_cast<const char*>(data), dataBytes)};
    return true;
}

void regCloseKey(RegKey key) {
    delete key;
}

}  // namespace ce
