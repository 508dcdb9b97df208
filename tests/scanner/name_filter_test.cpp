#include "scanner/name_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zandoval::FilterMode;
using zandoval::NameFilter;

NameFilter make(const std::u16string& text) {
    NameFilter f;
    zandoval::prepareNameFilter(f, text.c_str());
    return f;
}

bool passes(const NameFilter& f, const std::u16string& lowerName) {
    return zandoval::nameFilterPasses(f, lowerName.c_str());
}

TEST(NameFilter, PlainTextMatchesOnlyAtTheStartAndIsLowerCased) {
    NameFilter f = make(u"MaIl");
    EXPECT_EQ(f.mode, FilterMode::Prefix);
    EXPECT_EQ(std::u16string(f.text), u"mail");
    EXPECT_TRUE(passes(f, u"mail.lnk"));
    EXPECT_TRUE(passes(f, u"mailbox.lnk"));
    EXPECT_FALSE(passes(f, u"e-mail.lnk"));
    EXPECT_FALSE(passes(f, u"mai"));  // the name ends before the text
}

TEST(NameFilter, AsteriskAnywhereMeansContainsAndDropsTheFirstCharacter) {
    NameFilter lead = make(u"*Mail");
    EXPECT_EQ(lead.mode, FilterMode::Contains);
    EXPECT_EQ(std::u16string(lead.text), u"mail");
    EXPECT_TRUE(passes(lead, u"e-mail.lnk"));
    EXPECT_TRUE(passes(lead, u"mail.lnk"));
    EXPECT_FALSE(passes(lead, u"mai.lnk"));

    // The extension takes part in the search.
    EXPECT_TRUE(passes(make(u"*.LNK"), u"anything.lnk"));

    // An asterisk further on: the first character goes, the asterisk stays,
    // and no real file name holds an asterisk.
    NameFilter later = make(u"ma*il");
    EXPECT_EQ(later.mode, FilterMode::Contains);
    EXPECT_EQ(std::u16string(later.text), u"a*il");
    EXPECT_FALSE(passes(later, u"mail.lnk"));
    EXPECT_TRUE(passes(later, u"xa*il.lnk"));
}

TEST(NameFilter, EmptyTextAndLoneAsteriskPassEverything) {
    NameFilter empty = make(u"");
    EXPECT_EQ(empty.mode, FilterMode::Prefix);
    EXPECT_TRUE(passes(empty, u"x.lnk"));
    EXPECT_TRUE(passes(empty, u""));
    NameFilter star = make(u"*");
    EXPECT_EQ(star.mode, FilterMode::Contains);
    EXPECT_EQ(star.length, 0u);
    EXPECT_TRUE(passes(star, u".lnk"));
}

TEST(NameFilter, TextBeyondItsBufferIsCutNotOverrun) {
    std::u16string longText(500, u'a');
    NameFilter f = make(longText);
    EXPECT_EQ(f.length, zandoval::kFilterChars - 1);
    EXPECT_EQ(std::u16string(f.text), std::u16string(zandoval::kFilterChars - 1, u'a'));
}

}  // namespace
