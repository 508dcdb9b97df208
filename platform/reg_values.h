// Typed access to registry values over the platform interface, with the
// device's size rules: strings are REG_SZ written with (characters + 1) x 2
// bytes, numbers REG_DWORD of 4 bytes, and a value read into a buffer of N
// bytes counts as missing when it does not fit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace ce {

// Reads a string value into buf of bufChars UTF-16 units (the read is given
// bufChars * 2 bytes).  The type is not checked.  The result is always
// NUL-terminated on success; on failure buf holds an empty string.
bool regReadString(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars);

// Same with an explicit byte size for the read, for values whose buffer is
// given in bytes (bufBytes <= bufChars * 2).
bool regReadStringBytes(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars,
                        uint32_t bufBytes);

// The same for a value that is read to be written back changed: one of
// another type than REG_SZ or REG_EXPAND_SZ (a multi-string, a number)
// counts as missing, since as text it would lose what it holds.
bool regReadTextBytes(RegKey key, const char16_t* name, char16_t* buf, size_t bufChars,
                      uint32_t bufBytes);

bool regWriteString(RegKey key, const char16_t* name, const char16_t* text);

// True when the value is there, whatever its type and size: a read that
// failed on it failed for its size or type, which a user should hear.
bool regValueExists(RegKey key, const char16_t* name);

// Reads 4 bytes; false when missing or larger than 4 bytes.
bool regReadDword(RegKey key, const char16_t* name, uint32_t* value);
bool regWriteDword(RegKey key, const char16_t* name, uint32_t value);

}  // namespace ce
