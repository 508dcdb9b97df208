#include "cedevice/key_path.h"

#include <vector>

#include "platform/wstr.h"

namespace cedevice {

namespace {

std::u16string upper(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return out;
}

}  // namespace

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
    std::u16string root = upper(parts[0]);
    if (root == u"HKLM" || root == u"HKEY_LOCAL_MACHINE") {
        *path = u"HKEY_LOCAL_MACHINE";
    } else if (root == u"HKCU" || root == u"HKEY_CURRENT_USER") {
        *path = u"HKEY_CURRENT_USER";
    } else if (root == u"HKCR" || root == u"HKEY_CLASSES_ROOT") {
        *path = u"HKEY_CLASSES_ROOT";
    } else if (root == u"HKU" || root == u"HKEY_USERS") {
        *path = u"HKEY_USERS";
    } else {
        *error = "the key path " + text +
                 " does not begin with HKEY_LOCAL_MACHINE (HKLM), HKEY_CURRENT_USER (HKCU), "
                 "HKEY_CLASSES_ROOT (HKCR) or HKEY_USERS (HKU)";
        return false;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        path->push_back(u'\\');
        path->append(parts[i]);
    }
    return true;
}

}  // namespace cedevice
