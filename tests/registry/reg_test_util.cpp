#include "tests/registry/reg_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/wstr.h"
#include "tests/support/device_fixture.h"

namespace regtest {

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(REG_CORPUS_DIR, ec)) {
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string readCorpus(const std::string& name) {
    return cetest::readHostFile(std::string(REG_CORPUS_DIR) + "/" + name);
}

std::string utf16le(const std::string& utf8) {
    std::u16string text = ce::u16(utf8);
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xff));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::string utf16File(const std::string& utf8) {
    return "\xFF\xFE" + utf16le(utf8);
}

std::string fileText(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return ce::utf8(text);
    }
    return bytes;
}

std::string replaceOnce(const std::string& s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    if (at == std::string::npos || s.find(from, at + 1) != std::string::npos) {
        ADD_FAILURE() << "expected exactly one occurrence of: " << fileText(from);
        return s;
    }
    return s.substr(0, at) + to + s.substr(at + from.size());
}

std::vector<uint8_t> szBytes(const std::string& utf8) {
    std::string b = utf16le(utf8);
    std::vector<uint8_t> out(b.begin(), b.end());
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<uint8_t> dwordBytes(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

ce::posix::RegValueData valueOf(const ce::posix::RegFile& f, const std::string& key,
                                const std::string& name) {
    ce::posix::RegValueData v;
    if (!ce::posix::regFileGetValue(f, ce::u16(key), ce::u16(name), &v))
        v.type = 0xffffffffu;
    return v;
}

bool setValue(ce::posix::RegFile* f, const std::string& key, const std::string& name, uint32_t type,
              const std::vector<uint8_t>& data) {
    return ce::posix::regFileSetValue(f, ce::u16(key), ce::u16(name), type, data.data(),
                                      data.size());
}

}  // namespace regtest
