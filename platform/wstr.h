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

// Lower-cases in place, unit by unit, as Unicode pairs capitals and small
// letters one to one (Latin, Greek, Cyrillic, Armenian, the fullwidth
// forms, ...).  A unit keeps the length of its UTF-8 form, and ASCII stays
// ASCII.
void u16lower(char16_t* s);
char16_t u16lowerChar(char16_t c);

// Decimal text of a number, as the runtime's _itow/_ultow would give it.
void u16fromUnsigned(char16_t* dst, size_t dstChars, uint64_t value);
void u16fromInt(char16_t* dst, size_t dstChars, int64_t value);

// Decodes the UTF-8 sequence at the start of p (avail bytes): its length in
// bytes and its code point, or 0 when it is not a valid, shortest sequence of
// a scalar value.
size_t utf8DecodeOne(const unsigned char* p, size_t avail, uint32_t* codePoint);

// The one conversion from UTF-16 to UTF-8.  A surrogate that is not half
// of a pair has no UTF-8 form: it becomes U+FFFD, one for each such unit,
// so text is never cut short or dropped; where the exact text matters (a
// path, a name written back) the caller refuses text that has one.
//
// utf8FromU16 writes the UTF-8 form of length units of text to out, which
// has room for kUtf8BytesPerU16 * length bytes, and returns the number of
// bytes written; *loneSurrogates (when not null) receives how many units
// became U+FFFD.
constexpr size_t kUtf8BytesPerU16 = 3;  // a surrogate pair gives 4 bytes for 2 units
size_t utf8FromU16(const char16_t* text, size_t length, char* out,
                   size_t* loneSurrogates = nullptr);

// UTF-16 of UTF-8 text; false on malformed input (not UTF-8, or not the
// shortest form of a scalar value).
bool utf8ToU16(const char* s, size_t n, std::u16string* out);
// UTF-8 of UTF-16 text into *out; false when the text holds a lone
// surrogate (*out then has U+FFFD in its place).
bool u16ToUtf8(const char16_t* s, size_t n, std::string* out);

// Convenience for tests and messages: lossless where the input is valid.
std::u16string u16(const std::string& utf8);
std::string utf8(const std::u16string& text);

// 8-bit counterpart of bounded copy and append.
bool strCopy(char* dst, size_t dstBytes, const char* src);
bool strAppend(char* dst, size_t dstBytes, const char* src);

}  // namespace ce
