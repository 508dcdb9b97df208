#include "scanner/list_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/wstr.h"
#include "tests/support/device_fixture.h"

namespace {

std::string utf8(const std::u16string& s) {
    std::string out(s.size() * 3, '\0');
    out.resize(ce::utf8FromU16(s.data(), s.size(), out.data()));
    return out;
}

TEST(ListFileEncoding, WritesUtf8AndReplacesLoneSurrogates) {
    EXPECT_EQ(utf8(u"Gr\u00FC\u00DFe \u65E5"),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE6\x97\xA5");
    EXPECT_EQ(utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(utf8(lone),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

// A line far longer than the output buffer (a path beyond the device's
// limit) is written whole, and a surrogate pair on a piece boundary is kept.
TEST(ListFileWriting, LongLinesGoOutWholeAndTheFileAppearsOnlyOnCommit) {
    cetest::TempDevice dev;
    auto list = std::make_unique<zandoval::ListFile>();
    ASSERT_FALSE(zandoval::listFileOpen(*list, u"\\Data\\list.txt"));  // no \Data yet
    dev.writeFile("\\Data\\keep.txt", "x");
    ASSERT_TRUE(zandoval::listFileOpen(*list, u"\\Data\\list.txt"));

    std::u16string dir;
    while (dir.size() < 3 * zandoval::kListBufferBytes)
        dir += u"\\\u00E4\U0001F600z";
    zandoval::listFileWriteEntry(*list, 1, u"Mail", 4, u"", 0);
    zandoval::listFileWriteEntry(*list, 4294967295u, u"Long", 4, dir.data(), dir.size());
    EXPECT_FALSE(dev.fileExists("\\Data\\list.txt"));
    ASSERT_TRUE(zandoval::listFileCommit(*list));

    std::string want =
        "[1]\ndatei=Mail\ndir=\\\n[4294967295]\ndatei=Long\ndir=" + ce::utf8(dir) + "\\\n";
    EXPECT_EQ(dev.readFile("\\Data\\list.txt"), want);
    EXPECT_FALSE(dev.fileExists("\\Data\\list.txt.zandoval-tmp"));
}

// A list file's name that leaves no room for the suffix within a file
// name's limit still gets a temporary file, its name cut (never inside a
// character), and the list is written.
TEST(ListFileWriting, ANameWithoutRoomForTheSuffixGetsACutTemporaryName) {
    const std::u16string suffix = zandoval::kListTempSuffix;
    const size_t room = zandoval::kListTempNameBytes - suffix.size();
    const std::u16string a(room, u'a');
    EXPECT_EQ(zandoval::listTempName(u"list.txt"), u"list.txt" + suffix);
    EXPECT_EQ(zandoval::listTempName(a + u"bcd"), a + suffix);
    // Two bytes each: one short of the room is all that fits.
    EXPECT_EQ(zandoval::listTempName(std::u16string(room, u'\u00E4')),
              std::u16string(room / 2, u'\u00E4') + suffix);
    // A pair is kept whole or left out whole.
    EXPECT_EQ(zandoval::listTempName(std::u16string(room - 3, u'a') + u"\U0001F600"),
              std::u16string(room - 3, u'a') + suffix);
    // A name that ends in the suffix, cut, is never the list file itself.
    for (std::u16string end : {suffix, std::u16string(u".ZANDOVAL-TMP")}) {
        EXPECT_EQ(zandoval::listTempName(a + end), a.substr(1) + suffix);
        EXPECT_EQ(zandoval::listTempName(std::u16string(room - 2, u'a') + u"\U0001F600" + end),
                  std::u16string(room - 2, u'a') + suffix);
    }

    cetest::TempDevice dev;
    auto list = std::make_unique<zandoval::ListFile>();
    const std::u16string name = std::u16string(250, u'n') + u".txt";
    ASSERT_TRUE(zandoval::listFileOpen(*list, (u"\\" + name).c_str()));
    zandoval::listFileWriteEntry(*list, 1, u"Mail", 4, u"", 0);
    ASSERT_TRUE(zandoval::listFileCommit(*list));
    EXPECT_EQ(dev.readFile("\\" + ce::utf8(name)), "[1]\ndatei=Mail\ndir=\\\n");
}

}  // namespace
