#include "cedevice/device_layouts.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cedevice/check_values.h"
#include "platform/posix/device/device_conf.h"
#include "platform/posix/fs/fs_path.h"
#include "platform/wstr.h"

namespace cedevice {

namespace {

namespace fs = std::filesystem;

constexpr char kAttribute[] = "CPRFileName=\"";
// The installer's temporary copies of a portrait and a landscape layout.
constexpr const char* kLeftoverNames[] = {"tempTitaniumPortraitCpr.txt",
                                          "tempTitaniumLandscapeCpr.txt"};

// True when the programs reach \\<path> as an entry of that type, asked
// quietly of the device's own lookup: the host follows any link, the
// device none that leads out of its files.
bool programsReach(const std::string& path, mode_t type) {
    const std::string text = "\\" + path;
    std::u16string devicePath;
    ce::posix::DeviceEntry entry;
    if (!ce::utf8ToU16(text.data(), text.size(), &devicePath) ||
        !ce::posix::resolveDevicePath(devicePath.c_str(), ce::posix::LeafMode::MustExist, &entry)) {
        return false;
    }
    const bool reached = entry.exists && (entry.type & S_IFMT) == type;
    ce::posix::closeDeviceEntry(&entry);
    return reached;
}

// A name as the device compares names: lower-cased as UTF-16; a name that
// is not UTF-8 only equals itself.
std::u16string folded(const std::string& name) {
    std::u16string text;
    if (!ce::utf8ToU16(name.data(), name.size(), &text))
        return u"\uFFFF" + std::u16string(name.begin(), name.end());
    for (char16_t& c : text)
        c = ce::u16lowerChar(c);
    return text;
}

// A side of a size as the installer writes it: decimal without leading
// zeros, and small enough for device.conf to give it.
bool sideOf(const std::string& text, int* side) {
    if (text.empty() || text.size() > 5 || text[0] == '0' ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *side = std::stoi(text);
    return *side <= ce::posix::kMaxScreenSide;
}

// The size in an entry name "<name>_<A>x<B>.cpr" (compared folded).
std::optional<ScreenSize> sizeInName(const std::string& entry, const std::string& layoutName) {
    const std::u16string want = folded(layoutName + "_");
    const std::u16string got = folded(entry);
    const std::u16string ext = u".cpr";
    if (got.size() <= want.size() + ext.size() || got.compare(0, want.size(), want) != 0 ||
        got.compare(got.size() - ext.size(), ext.size(), ext) != 0) {
        return std::nullopt;
    }
    std::string middle = ce::utf8(got.substr(want.size(), got.size() - want.size() - ext.size()));
    size_t x = middle.find('x');
    ScreenSize size;
    if (x == std::string::npos || !sideOf(middle.substr(0, x), &size.width) ||
        !sideOf(middle.substr(x + 1), &size.height)) {
        return std::nullopt;
    }
    return size;
}

// What an entry looked for may be: a file or a directory (links followed),
// or any entry at all (a link, a FIFO) taken as it stands.
enum class EntryKind { File, Directory, Any };

// The directory's entry of that name: exactly so, else the first listed
// that differs only in case.
std::optional<std::string> entryNamed(const fs::path& dir, const std::string& name,
                                      EntryKind kind) {
    std::error_code ec;
    auto fits = [kind](const fs::directory_entry& e) {
        std::error_code ignored;
        if (kind == EntryKind::Any)
            return e.is_symlink(ignored) || e.exists(ignored);
        return kind == EntryKind::Directory ? e.is_directory(ignored) : e.is_regular_file(ignored);
    };
    if (fits(fs::directory_entry(dir / name, ec)))
        return name;
    const std::u16string want = folded(name);
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        if (folded(e.path().filename().string()) == want && fits(e))
            return e.path().filename().string();
    }
    return std::nullopt;
}

}  // namespace

bool currentLayoutName(const ce::posix::RegFile& registry, std::string* name, std::string* error) {
    if (!ce::posix::regFileKeyExists(registry, kHomeScreenKey)) {
        *error = "the device has no home screen: no key " + ce::utf8(kHomeScreenKey);
        return false;
    }
    std::optional<std::string> cprFile = stringValue(registry, kHomeScreenKey, u"CPRFile");
    if (!cprFile.has_value()) {
        *error =
            "the device has no current layout: no value CPRFile in " + ce::utf8(kHomeScreenKey);
        return false;
    }
    *name = *cprFile;
    std::string xml = stringValue(registry, kHomeScreenKey, u"ExtensibilityXML").value_or("");
    if (xml.find(kAttribute + *cprFile + "\"") != std::string::npos)
        return true;
    size_t start = xml.find(kAttribute);
    if (start == std::string::npos)
        return true;
    start += sizeof kAttribute - 1;
    size_t end = xml.find('"', start);
    if (end != std::string::npos && end > start)
        *name = xml.substr(start, end - start);
    return true;
}

DeviceLayouts findDeviceLayouts(const std::string& deviceDir, const std::string& layoutName) {
    DeviceLayouts layouts;
    layouts.name = layoutName;
    const fs::path root = fs::path(deviceDir) / "fs";
    std::error_code ec;
    for (const char* name : kLeftoverNames) {
        std::optional<std::string> entry = entryNamed(root, name, EntryKind::Any);
        if (entry.has_value()) {
            const fs::path path = root / *entry;
            const fs::file_status status = fs::symlink_status(path, ec);
            fs::file_type type = status.type();
            if (type == fs::file_type::symlink && programsReach(*entry, S_IFDIR))
                type = fs::file_type::directory;
            layouts.leftovers.push_back({path.string(), *entry, type, status.permissions()});
        }
    }
    std::optional<std::string> windows = entryNamed(root, "Windows", EntryKind::Directory);
    if (!windows.has_value())
        return layouts;
    layouts.windowsDir = *windows;
    layouts.windowsReachable = programsReach(*windows, S_IFDIR);
    const fs::path dir = root / *windows;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string entry = e.path().filename().string();
        std::optional<ScreenSize> size = sizeInName(entry, layoutName);
        if (!size.has_value() || layoutFileOf(layouts, *size) != nullptr)
            continue;
        // The one the installer opens for this size.
        std::optional<std::string> opened =
            entryNamed(dir, layoutName + "_" + sizeText(*size) + ".cpr", EntryKind::File);
        if (opened.has_value()) {
            layouts.files.push_back({*size, (dir / *opened).string(), *opened,
                                     programsReach(*windows + "\\" + *opened, S_IFREG)});
        }
    }
    std::sort(layouts.files.begin(), layouts.files.end(),
              [](const LayoutFile& a, const LayoutFile& b) {
                  return a.size.width != b.size.width ? a.size.width < b.size.width
                                                      : a.size.height < b.size.height;
              });
    return layouts;
}

const LayoutFile* layoutFileOf(const DeviceLayouts& layouts, const ScreenSize& size) {
    for (const LayoutFile& f : layouts.files) {
        if (f.size == size)
            return &f;
    }
    return nullptr;
}

std::string layoutDevicePath(const std::string& layoutName, const ScreenSize& size) {
    return "\\Windows\\" + layoutName + "_" + sizeText(size) + ".cpr";
}

}  // namespace cedevice
