// UTF-16 text helpers used by the core and the backends.  They stand for the
// runtime library's wide string functions (wcslen, wcsstr, _wcslwr, ...),
// which are 32-bit on posix hosts, and add bounded copies that report when a
// text does not fit instead of writing past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ce {

size_t u16len(const char16_t* s);
int u16cmp(const char16_t* a, const char16_t* b);
// First occurrence of needle in hay, or nullptr; an empty needle is found at hay.
const char16_t* u16str(const char16_t* hay, const char16_t* needle);
const char16_t* u16chr(const char16_t* s, char16_t c);

// Copies src (NUL included) into dst of dstChars units.  Returns false and
// stores an empty string (when dstChars > 0) when src does not fit.
bool u16copy(char16_t* dst, size_t dstChars, const char16_t* src);
// Copies at most n units of src and a terminator; false when that does not fit.
bool u16copyN(char16_t* dst, size_t dstChars, const char16_t* src, size_t n);
// Appends src to the text in dst; false (dst unchanged) when it does not fit.
bool u16append(char16_t* dst, size_t dstChars, const char16_t* src);

// Lower-cases in place: ASCII, Latin-1, the Latin Extended-A pairs, and the
// basic Greek and Cyrillic capitals.
void u16lower(char16_t* s);
char16_t u16lowerChar(char16_t c);

// Decimal text of a number, as the runtime's _itow/_ultow would give it.
void u16fromUnsigned(char16_t* dst, size_t dstChars, uint64_t value);
void u16fromInt(char16_t* dst, size_t dstChars, int64_t value);

// Decodes the UTF-8 sequence at the start of p (avail bytes): its length in
// bytes and its code point, or 0 when it is not a valid, shortest sequence of
// a scalar value.
size_t utf8DecodeOne(const unsigned char* p, size_t avail, uint32_t* codePoint);

// Conversions between UTF-8 and UTF-16.  Both fail on malformed input
// (invalid UTF-8, unpaired surrogates).
bool utf8ToU16(const char* s, size_t n, std::u16string* out);
bool u16ToUtf8(const char16_t* s, size_t n, std::string* out);

// Convenience for tests and messages: lossless where the input is valid.
std::u16string u16(const std::string& utf8);
std::string utf8(const std::u16string& text);

// 8-bit counterpart of bounded copy and append.
bool strCopy(char* dst, size_t dstBytes, const char* src);
bool strAppend(char* dst, size_t dstBytes, const char* src);

}  // namespace ce
