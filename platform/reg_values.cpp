#include "platform/reg_values.h"

#include "platform/wstr.h"

namespace ce {

namespace {

bool readString(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars, uint32_t bufBytes,
                bool textOnly) {
    if (bufChars == 0)
        return false;
    buf[0] = 0;
    if (bufBytes > bufChars * 2)
        bufBytes = static_cast<uint32_t>(bufChars * 2);
    uint32_t type = 0;
    uint32_t got = 0;
    if (!regQueryValue(key, name, buf, bufBytes, &type, &got) ||
        (textOnly && type != kRegSz && type != kRegExpandSz)) {
        buf[0] = 0;
        return false;
    }
    // A stored string normally carries its terminator; one without it is
    // terminated here when there is room, and counts as missing otherwise.
    size_t units = got / 2;
    if (units < bufChars) {
        buf[units] = 0;
    } else if (units == 0 || buf[units - 1] != 0) {
        buf[0] = 0;
        return false;
    }
    return true;
}

}  // namespace

bool regReadStringBytes(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars,
                        uint32_t bufBytes) {
    return readString(key, name, buf, bufChars, bufBytes, false);
}

bool regReadTextBytes(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars,
                      uint32_t bufBytes) {
    return readString(key, name, buf, bufChars, bufBytes, true);
}

bool regValueExists(RegKey key, const char16_t* name) {
    return regQueryValue(key, name, nullptr, 0, nullptr, nullptr);
}

bool regReadString(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars) {
    return regReadStringBytes(key, name, buf, bufChars, static_cast<uint32_t>(bufChars * 2));
}

bool regWriteString(RegKey key, const char16_t* name, const char16_t* text) {
    size_t chars = u16len(text);
    return regSetValue(key, name, kRegSz, text, static_cast<uint32_t>((chars + 1) * 2));
}

bool regReadDword(RegKey key, const char16_t* name, uint32_t* value) {
    uint32_t v = 0;
    uint32_t type = 0;
    uint32_t got = 0;
    if (!regQueryValue(key, name, &v, 4, &type, &got))
        return false;
    *value = v;
    return true;
}

bool regWriteDword(RegKey key, const char16_t* name, uint32_t value) {
    return regSetValue(key, name, kRegDword, &value, 4);
}

}  // namespace ce
