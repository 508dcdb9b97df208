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

}  // namespace
