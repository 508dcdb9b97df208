// The device's default 8-bit code page is UTF-8 on this backend.
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/wstr.h"

namespace ce {

namespace {

// Stores a converted text and its terminator in dst (dstUnits long); when
// the conversion failed or the text does not fit, stores an empty string
// (where there is room) and fails.
template <typename Char>
bool storeConverted(bool converted, const std::basic_string<Char>& text, Char* dst,
                    size_t dstUnits) {
    if (!converted || text.size() >= dstUnits) {
        if (dst != nullptr && dstUnits > 0)
            dst[0] = 0;
        return false;
    }
    std::memcpy(dst, text.c_str(), (text.size() + 1) * sizeof(Char));
    return true;
}

}  // namespace

bool acpToWide(const char* src, char16_t* dst, size_t dstChars) {
    std::u16string wide;
    const bool ok = src != nullptr && utf8ToU16(src, std::strlen(src), &wide);
    return storeConverted(ok, wide, dst, dstChars);
}

bool wideToAcp(const char16_t* src, char* dst, size_t dstBytes) {
    std::string narrow;
    const bool ok = src != nullptr && u16ToUtf8(src, u16len(src), &narrow);
    return storeConverted(ok, narrow, dst, dstBytes);
}

}  // namespace ce
