// The device's default 8-bit code page is UTF-8 on this backend.
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/wstr.h"

namespace ce {

bool acpToWide(const char* src, char16_t* dst, size_t dstChars) {
    std::u16string wide;
    bool ok = src != nullptr && utf8ToU16(src, strlen(src), &wide) && wide.size() < dstChars;
    if (!ok) {
        if (dst != nullptr && dstChars > 0)
            dst[0] = 0;
        return false;
    }
    memcpy(dst, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return true;
}

bool wideToAcp(const char16_t* src, char* dst, size_t dstBytes) {
    std::string narrow;
    bool ok = src != nullptr && u16ToUtf8(src, u16len(src), &narrow) && narrow.size() < dstBytes;
    if (!ok) {
        if (dst != nullptr && dstBytes > 0)
            dst[0] = 0;
        return false;
    }
    memcpy(dst, narrow.c_str(), narrow.size() + 1);
    return true;
}

}  // namespace ce
