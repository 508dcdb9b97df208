// Conversion between UTF-16 and the device's default 8-bit code page.
// Characters without a mapping make the conversion fail instead of turning
// into a best-fit look-alike or a default character.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace ce {

using win32::asWide;

// The API counts in int; longer buffers are used only in part.
static int clampToInt(size_t n) {
    return n > 0x7fffffff ? 0x7fffffff : static_cast<int>(n);
}

bool acpToWide(const char* src, char16_t* dst, size_t dstChars) {
    if (dst == nullptr || dstChars == 0)
        return false;
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, src, -1, asWide(dst),
                                clampToInt(dstChars));
    if (n <= 0) {
        dst[0] = u'\0';
        return false;
    }
    return true;
}

bool wideToAcp(const char16_t* src, char* dst, size_t dstBytes) {
    if (dst == nullptr || dstBytes == 0)
        return false;
    BOOL usedDefault = FALSE;
#ifdef WC_ERR_INVALID_CHARS
    // A system whose code page is UTF-8 takes neither flag nor default
    // character; text that has no UTF-8 form (a lone surrogate) fails.
    if (GetACP() == CP_UTF8) {
        int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, asWide(src), -1, dst,
                                    clampToInt(dstBytes), nullptr, nullptr);
        if (n <= 0)
            dst[0] = '\0';
        return n > 0;
    }
#endif
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, asWide(src), -1, dst,
                                clampToInt(dstBytes), nullptr, &usedDefault);
    if (n <= 0 || usedDefault) {
        dst[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace ce
