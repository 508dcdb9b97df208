#include "cedevice/key_path.h"

#include <vector>

#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"

namespace cedevice {

bool parseKeyPath(const std::string& text, std::u16string* path, std::string* error) {
    std::u16string wide;
    if (!ce::utf8ToU16(text.data(), text.size(), &wide)) {
        *error = "the key path is not UTF-8 text";
        return false;
    }
    std::vector<std::u16string_view> parts;
    std::u16string_view rest = wide;
    while (!rest.empty()) {
        size_t sep = rest.find(u'\\');
        std::u16string_view part = rest.substr(0, sep);
        if (!part.empty())
            parts.push_back(part);
        rest = sep == std::u16string_view::npos ? std::u16string_view() : rest.substr(sep + 1);
    }
    if (parts.empty()) {
        *error = "no key path given";
        return false;
    }
    const char16_t* root = ce::posix::regDeviceRoot(parts[0]);
    if (root == nullptr) {
        *error = "the key path " + text +
                 " does not begin with HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU), "
                 "HKEY_CLASSES_ROOT (HKCR) or HKEY_USERS (HKU)";
        return false;
    }
    *path = root;
    for (size_t i = 1; i < parts.size(); ++i) {
        path->push_back(u'\\');
        path->append(parts[i]);
    }
    return true;
}

}  // namespace cedevice
