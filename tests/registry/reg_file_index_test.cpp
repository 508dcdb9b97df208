// Header lines as the index reads them: straight from the bytes when the
// path is ASCII, decoded otherwise; both must read a line as the registry
// editor does, in either encoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"

namespace {

struct HeaderCase {
    const char* line;  // the header line, UTF-8
    const char* key;   // a key path looked up after it
    bool exists;
};

const HeaderCase kHeaders[] = {
    {"[HKEY_CURRENT_USER\\Plain]", "hkey_current_user\\PLAIN", true},
    {" \t[HKEY_CURRENT_USER\\\\Doubled\\\\Sep\\] \t", "HKEY_CURRENT_USER\\Doubled\\Sep", true},
    {"[HKEY_CURRENT_USER\\Parent\\Child]", "HKEY_CURRENT_USER\\Parent", true},
    {"[HKEY_CURRENT_USER\\Parent\\Child]", "HKEY_CURRENT_USER\\Par", false},
    {"[HKEY_CURRENT_USER\\Last] ; note ]x", "HKEY_CURRENT_USER\\Last] ; note ", true},
    {"[HKEY_CURRENT_USER\\Last] ; note ]x", "HKEY_CURRENT_USER\\Last", false},
    {"[HKEY_CURRENT_USER\\Open", "HKEY_CURRENT_USER\\Open", false},
    {"[\\\\]", "HKEY_CURRENT_USER\\Base\\Sub", true},
    {"[-]", "HKEY_CURRENT_USER\\Base\\Sub", true},
    {"[-HKEY_CURRENT_USER\\Base]", "HKEY_CURRENT_USER\\Base\\Sub", false},
    {"[-HKEY_CURRENT_USER\\Bas]", "HKEY_CURRENT_USER\\Base\\Sub", true},
    {"[HKEY_CURRENT_USER\\Ünïcödé\\Ωmega]", "hkey_current_user\\üNÏCÖDÉ\\ωMEGA", true},
    {"[HKEY_CURRENT_USER\\Ünïcödé\\Ωmega]", "hkey_current_user\\ünïcödé", true},
    {"\"v\"=\"[HKEY_CURRENT_USER\\\\Fake]\"", "HKEY_CURRENT_USER\\Fake", false},
};

TEST(RegFileIndex, HeaderLinesReadAsTheRegistryEditorReadsThem) {
    for (const HeaderCase& c : kHeaders) {
        // Before the line: a key with a value and a subkey; after it, a value
        // that belongs to whatever the line opened.
        std::string text =
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Base]\r\n"
            "\"before\"=dword:00000001\r\n[HKEY_CURRENT_USER\\Base\\Sub]\r\n" +
            std::string(c.line) + "\r\n\"after\"=dword:00000002\r\n";
        for (bool utf16 : {false, true}) {
            ce::posix::RegFile f = ce::posix::regFileParse(utf16 ? regtest::utf16File(text) : text);
            EXPECT_EQ(ce::posix::regFileKeyExists(f, ce::u16(c.key)), c.exists)
                << c.line << " / " << c.key << (utf16 ? " (UTF-16)" : " (UTF-8)");
            // A line that opens no key leaves "after" to the key before it.
            bool opensKey = c.line[0] != '"';
            EXPECT_EQ(regtest::valueOf(f, "HKEY_CURRENT_USER\\Base\\Sub", "after").type,
                      opensKey ? 0xffffffffu : 4u)
                << c.line;
            EXPECT_EQ(ce::posix::regFileSerialize(f), utf16 ? regtest::utf16File(text) : text);
        }
    }
}

TEST(RegFileIndex, KeyPathPartsPassOverEmptyOnes) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"", {}},
        {u"\\\\", {}},
        {u"A", {u"A"}},
        {u"\\A\\\\b c\\", {u"A", u"b c"}},
        {u"HKEY_CURRENT_USER\\X\\Y", {u"HKEY_CURRENT_USER", u"X", u"Y"}},
    };
    for (const auto& [path, want] : cases) {
        std::vector<std::u16string> got;
        size_t pos = 0;
        std::u16string_view part;
        while (ce::posix::regPathNextPart(path, &pos, &part))
            got.emplace_back(part);
        EXPECT_EQ(got, want) << ce::utf8(path);
    }
}

}  // namespace
