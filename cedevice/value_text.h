// Registry values as text for a person at a shell, and typed text given on
// the command line as value data.
//
// Types by name: sz, expand_sz, multi_sz, dword, qword, binary, none, and
// hex(N) for any type number N (hexadecimal), as exports write it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/registry/reg_file.h"

namespace cedevice {

// Text with its control characters (C0, DEL and C1) written as \n, \r,
// \t or \xHH (each byte of a C1 one), and so are bytes that are no UTF-8,
// so that what a file holds cannot drive the terminal it is shown on.
std::string escapedText(const std::string& text);

// The columns a UTF-8 text takes: one a character (no wide or combining
// characters are looked for), so that names beyond ASCII keep the columns
// after them in line.
size_t columnsOf(const std::string& utf8);

// Appends the text as string data: UTF-16LE and a NUL.
void appendUtf16(const std::u16string& text, std::vector<uint8_t>* bytes);

// "REG_SZ", "REG_DWORD", ...; "REG_TYPE_0x1a" for a number without a name.
std::string typeName(uint32_t type);

// The data on one line, for listings: text with control characters
// written as \n, \r, \t or \xHH (and the strings of a multi-string joined
// by \0), numbers in decimal and hexadecimal, other data as hex bytes.
// String data that is not UTF-16 text is shown as hex bytes as well.
std::string valueOneLine(const ce::posix::RegValueData& value);

// The data as it is, for a script: text unchanged and ending with a line
// feed, a multi-string one string per line, numbers in decimal, other data
// as hex bytes.
std::string valueAsIs(const ce::posix::RegValueData& value);

// Data of the named type from the command line: the text of a string
// (each argument one string of a multi-string), a decimal or 0x number,
// or hex bytes ("01 ab", "01,ab" or "01ab").  False with the reason in
// *error for an unknown type or data that does not fit it.
bool parseValue(const std::string& type, const std::vector<std::string>& data,
                ce::posix::RegValueData* out, std::string* error);

}  // namespace cedevice
