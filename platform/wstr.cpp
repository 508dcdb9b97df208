#include "platform/wstr.h"

#include <cstring>

namespace ce {

size_t u16len(const char16_t* s) {
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

int u16cmp(const char16_t* a, const char16_t* b) {
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

const char16_t* u16str(const char16_t* hay, const char16_t* needle) {
    if (*needle == 0)
        return hay;
    for (; *hay != 0; ++hay) {
        size_t i = 0;
        while (needle[i] != 0 && hay[i] == needle[i])
            ++i;
        if (needle[i] == 0)
            return hay;
    }
    return nullptr;
}

const char16_t* u16chr(const char16_t* s, char16_t c) {
    for (;; ++s) {
        if (*s == c)
            return s;
        if (*s == 0)
            return nullptr;
    }
}

bool u16copyN(char16_t* dst, size_t dstChars, const char16_t* src, size_t n) {
    if (dstChars == 0)
        return false;
    if (n + 1 > dstChars) {
        dst[0] = 0;
        return false;
    }
    for (size_t i = 0; i < n; ++i)
        dst[i] = src[i];
    dst[n] = 0;
    return true;
}

bool u16copy(char16_t* dst, size_t dstChars, const char16_t* src) {
    return u16copyN(dst, dstChars, src, u16len(src));
}

bool u16append(char16_t* dst, size_t dstChars, const char16_t* src) {
    size_t have = u16len(dst);
    size_t add = u16len(src);
    if (have + add + 1 > dstChars)
        return false;
    for (size_t i = 0; i <= add; ++i)
        dst[have + i] = src[i];
    return true;
}

char16_t u16lowerChar(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 32);
    if ((c >= 0xC0 && c <= 0xDE) && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs: the capital is the even one up to U+0137
        // and from U+014A to U+0177, the odd one in between and from U+0179.
        bool evenUpper = c < 0x138 || (c >= 0x14A && c <= 0x177);
        bool isUpper = evenUpper ? (c % 2 == 0) : (c % 2 == 1);
        if (c == 0x178)
            return 0xFF;
        if (isUpper)
            return static_cast<char16_t>(c + 1);
    }
    // Greek and Cyrillic capitals, for names the device folds the same way.
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

void u16lower(char16_t* s) {
    for (; *s != 0; ++s)
        *s = u16lowerChar(*s);
}

void u16fromUnsigned(char16_t* dst, size_t dstChars, uint64_t value) {
    char16_t tmp[24];
    size_t n = 0;
    do {
        tmp[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (dstChars == 0)
        return;
    if (n + 1 > dstChars) {
        dst[0] = 0;
        return;
    }
    for (size_t i = 0; i < n; ++i)
        dst[i] = tmp[n - 1 - i];
    dst[n] = 0;
}

void u16fromInt(char16_t* dst, size_t dstChars, int64_t value) {
    if (value >= 0) {
        u16fromUnsigned(dst, dstChars, static_cast<uint64_t>(value));
        return;
    }
    if (dstChars < 2) {
        if (dstChars > 0)
            dst[0] = 0;
        return;
    }
    dst[0] = u'-';
    u16fromUnsigned(dst + 1, dstChars - 1, 0 - static_cast<uint64_t>(value));
    if (dst[1] == 0)
        dst[0] = 0;
}

size_t utf8DecodeOne(const unsigned char* p, size_t avail, uint32_t* codePoint) {
    if (avail == 0)
        return 0;
    uint32_t c = p[0];
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        len = 1;
        min = 0;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
        c &= 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        c &= 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        c &= 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (len > avail)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *codePoint = c;
    return len;
}

bool utf8ToU16(const char* s, size_t n, std::u16string* out) {
    // Never more units than bytes; ASCII, most of any text, goes straight.
    out->resize(n);
    char16_t* o = out->data();
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    size_t i = 0;
    bool valid = true;
    while (i < n) {
        if (p[i] < 0x80) {
            *o++ = p[i++];
            continue;
        }
        uint32_t c = 0;
        size_t len = utf8DecodeOne(p + i, n - i, &c);
        if (len == 0) {
            valid = false;
            break;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(c);
        }
        i += len;
    }
    out->resize(static_cast<size_t>(o - out->data()));
    return valid;
}

size_t utf8FromU16(const char16_t* text, size_t length, char* out, size_t* loneSurrogates) {
    size_t o = 0;
    size_t lone = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
            ++lone;
        }
        if (c < 0x80) {
            out[o++] = static_cast<char>(c);
        } else if (c < 0x800) {
            out[o++] = static_cast<char>(0xC0 | (c >> 6));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[o++] = static_cast<char>(0xE0 | (c >> 12));
            out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out[o++] = static_cast<char>(0xF0 | (c >> 18));
            out[o++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (loneSurrogates != nullptr)
        *loneSurrogates = lone;
    return o;
}

bool u16ToUtf8(const char16_t* s, size_t n, std::string* out) {
    out->resize(n * kUtf8BytesPerU16);
    size_t lone = 0;
    out->resize(utf8FromU16(s, n, out->data(), &lone));
    return lone == 0;
}

std::u16string u16(const std::string& utf8text) {
    std::u16string out;
    utf8ToU16(utf8text.data(), utf8text.size(), &out);
    return out;
}

std::string utf8(const std::u16string& text) {
    std::string out;
    u16ToUtf8(text.data(), text.size(), &out);
    return out;
}

bool strCopy(char* dst, size_t dstBytes, const char* src) {
    size_t n = std::strlen(src);
    if (dstBytes == 0)
        return false;
    if (n + 1 > dstBytes) {
        dst[0] = 0;
        return false;
    }
    std::memcpy(dst, src, n + 1);
    return true;
}

bool strAppend(char* dst, size_t dstBytes, const char* src) {
    size_t have = std::strlen(dst);
    size_t add = std::strlen(src);
    if (have + add + 1 > dstBytes)
        return false;
    std::memcpy(dst + have, src, add + 1);
    return true;
}

}  // namespace ce
