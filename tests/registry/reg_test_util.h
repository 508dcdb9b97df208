// Helpers shared by the registry tests: the corpus of real exports and the
// bytes of expected files and values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/registry/reg_file.h"

namespace regtest {

// Names of the files in the corpus directory, sorted.
std::vector<std::string> corpusFiles();
std::string readCorpus(const std::string& name);

// UTF-16LE bytes of UTF-8 text (no byte-order mark).
std::string utf16le(const std::string& utf8);
// A UTF-16LE file: byte-order mark and the text.
std::string utf16File(const std::string& utf8);

// The text of a file in either encoding, as UTF-8 (for readable failures).
std::string fileText(const std::string& bytes);

// s with the one occurrence of `from` replaced by `to`; fails the test
// (and returns s) when `from` does not occur exactly once.
std::string replaceOnce(const std::string& s, const std::string& from, const std::string& to);

// Data of a REG_SZ holding the text (UTF-16LE and a NUL).
std::vector<uint8_t> szBytes(const std::string& utf8);
std::vector<uint8_t> dwordBytes(uint32_t v);

// The value or a failure: a value that is missing gives type 0xffffffff.
ce::posix::RegValueData valueOf(const ce::posix::RegFile& f, const std::string& key,
                                const std::string& name);

bool setValue(ce::posix::RegFile* f, const std::string& key, const std::string& name, uint32_t type,
              const std::vector<uint8_t>& data);

}  // namespace regtest
