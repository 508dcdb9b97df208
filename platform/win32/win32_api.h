// Windows headers as every file of the win32 backend includes them, and the
// casts between the interface's char16_t text and the API's wchar_t text.
//
// Both are 16-bit UTF-16 units on Windows, so a pointer converts as it is.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// windows.h must come first: the other headers build on its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text must be UTF-16 units");

namespace ce::win32 {

inline const wchar_t* asWide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* asWide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
inline const char16_t* asU16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* asU16(wchar_t* text) {
    return reinterpret_cast<char16_t*>(text);
}

}  // namespace ce::win32
