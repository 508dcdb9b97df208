#include "platform/wstr.h"

#include <algorithm>
#include <cstring>
#include <iterator>

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

namespace {

// Capitals and their small letters, as Unicode pairs them one to one, for
// the letters of Unicode 3.2 (what the device's own lower-casing knows):
// each range maps every unit from first to last (step 1), or every other
// one from first (step 2), by adding delta.  Pairs whose UTF-8 forms differ
// in length (the Kelvin and Ohm signs, the Angstrom sign) are left out, so
// that lower-casing a UTF-8 name keeps its length.
struct CaseRange {
    char16_t first;
    char16_t last;
    int16_t delta;
    uint8_t step;
};
constexpr CaseRange kCaseRanges[] = {
    {0x00C0, 0x00D6, 32, 1},   {0x00D8, 0x00DE, 32, 1},   {0x0100, 0x012E, 1, 2},
    {0x0132, 0x0136, 1, 2},    {0x0139, 0x0147, 1, 2},    {0x014A, 0x0176, 1, 2},
    {0x0178, 0x0178, -121, 1}, {0x0179, 0x017D, 1, 2},    {0x0181, 0x0181, 210, 1},
    {0x0182, 0x0184, 1, 2},    {0x0186, 0x0186, 206, 1},  {0x0187, 0x0187, 1, 1},
    {0x0189, 0x018A, 205, 1},  {0x018B, 0x018B, 1, 1},    {0x018E, 0x018E, 79, 1},
    {0x018F, 0x018F, 202, 1},  {0x0190, 0x0190, 203, 1},  {0x0191, 0x0191, 1, 1},
    {0x0193, 0x0193, 205, 1},  {0x0194, 0x0194, 207, 1},  {0x0196, 0x0196, 211, 1},
    {0x0197, 0x0197, 209, 1},  {0x0198, 0x0198, 1, 1},    {0x019C, 0x019C, 211, 1},
    {0x019D, 0x019D, 213, 1},  {0x019F, 0x019F, 214, 1},  {0x01A0, 0x01A4, 1, 2},
    {0x01A6, 0x01A6, 218, 1},  {0x01A7, 0x01A7, 1, 1},    {0x01A9, 0x01A9, 218, 1},
    {0x01AC, 0x01AC, 1, 1},    {0x01AE, 0x01AE, 218, 1},  {0x01AF, 0x01AF, 1, 1},
    {0x01B1, 0x01B2, 217, 1},  {0x01B3, 0x01B5, 1, 2},    {0x01B7, 0x01B7, 219, 1},
    {0x01B8, 0x01B8, 1, 1},    {0x01BC, 0x01BC, 1, 1},    {0x01C4, 0x01C4, 2, 1},
    {0x01C5, 0x01C5, 1, 1},    {0x01C7, 0x01C7, 2, 1},    {0x01C8, 0x01C8, 1, 1},
    {0x01CA, 0x01CA, 2, 1},    {0x01CB, 0x01DB, 1, 2},    {0x01DE, 0x01EE, 1, 2},
    {0x01F1, 0x01F1, 2, 1},    {0x01F2, 0x01F4, 1, 2},    {0x01F6, 0x01F6, -97, 1},
    {0x01F7, 0x01F7, -56, 1},  {0x01F8, 0x021E, 1, 2},    {0x0220, 0x0220, -130, 1},
    {0x0222, 0x0232, 1, 2},    {0x0386, 0x0386, 38, 1},   {0x0388, 0x038A, 37, 1},
    {0x038C, 0x038C, 64, 1},   {0x038E, 0x038F, 63, 1},   {0x0391, 0x03A1, 32, 1},
    {0x03A3, 0x03AB, 32, 1},   {0x03D8, 0x03EE, 1, 2},    {0x03F4, 0x03F4, -60, 1},
    {0x0400, 0x040F, 80, 1},   {0x0410, 0x042F, 32, 1},   {0x0460, 0x0480, 1, 2},
    {0x048A, 0x04BE, 1, 2},    {0x04C1, 0x04CD, 1, 2},    {0x04D0, 0x04F4, 1, 2},
    {0x04F8, 0x04F8, 1, 1},    {0x0500, 0x050E, 1, 2},    {0x0531, 0x0556, 48, 1},
    {0x1E00, 0x1E94, 1, 2},    {0x1EA0, 0x1EF8, 1, 2},    {0x1F08, 0x1F0F, -8, 1},
    {0x1F18, 0x1F1D, -8, 1},   {0x1F28, 0x1F2F, -8, 1},   {0x1F38, 0x1F3F, -8, 1},
    {0x1F48, 0x1F4D, -8, 1},   {0x1F59, 0x1F5F, -8, 2},   {0x1F68, 0x1F6F, -8, 1},
    {0x1F88, 0x1F8F, -8, 1},   {0x1F98, 0x1F9F, -8, 1},   {0x1FA8, 0x1FAF, -8, 1},
    {0x1FB8, 0x1FB9, -8, 1},   {0x1FBA, 0x1FBB, -74, 1},  {0x1FBC, 0x1FBC, -9, 1},
    {0x1FC8, 0x1FCB, -86, 1},  {0x1FCC, 0x1FCC, -9, 1},   {0x1FD8, 0x1FD9, -8, 1},
    {0x1FDA, 0x1FDB, -100, 1}, {0x1FE8, 0x1FE9, -8, 1},   {0x1FEA, 0x1FEB, -112, 1},
    {0x1FEC, 0x1FEC, -7, 1},   {0x1FF8, 0x1FF9, -128, 1}, {0x1FFA, 0x1FFB, -126, 1},
    {0x1FFC, 0x1FFC, -9, 1},   {0x2160, 0x216F, 16, 1},   {0x24B6, 0x24CF, 26, 1},
    {0xFF21, 0xFF3A, 32, 1},
};

}  // namespace

char16_t u16lowerChar(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    const CaseRange* r =
        std::upper_bound(std::begin(kCaseRanges), std::end(kCaseRanges), c,
                         [](char16_t v, const CaseRange& e) { return v < e.first; });
    if (r == std::begin(kCaseRanges))
        return c;
    --r;
    if (c > r->last || (c - r->first) % r->step != 0)
        return c;
    return static_cast<char16_t>(c + r->delta);
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
