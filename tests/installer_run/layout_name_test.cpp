#include "installer/layout_name.h"

#include <gtest/gtest.h>

#include <string>

namespace qorv {
namespace {

std::u16string resolve(const std::u16string& cprFile, const std::u16string& xml,
                       LayoutNameResult* result) {
    char16_t out[kLayoutNameBufChars];
    *result = resolveLayoutName(cprFile.c_str(), xml.c_str(), out);
    return out;
}

TEST(LayoutName, KeepsCprFileWhenTheXmlNamesIt) {
    LayoutNameResult r;
    EXPECT_EQ(resolve(u"a", u"<x CPRFileName=\"b\"/><y CPRFileName=\"a\"/>", &r), u"a");
    EXPECT_EQ(r, LayoutNameResult::Current);
}

TEST(LayoutName, FallsBackToTheFirstNamedLayout) {
    LayoutNameResult r;
    // "a" is only a prefix of a named layout, which does not count.
    EXPECT_EQ(resolve(u"a", u"<x CPRFileName=\"ab\"/><y CPRFileName=\"c\"/>", &r), u"ab");
    EXPECT_EQ(r, LayoutNameResult::Fallback);
}

// A layout named only inside a comment is none.
TEST(LayoutName, CommentsNameNoLayout) {
    LayoutNameResult r;
    const std::u16string xml = u"<!-- was: CPRFileName=\"old\" --><P CPRFileName=\"home\"/>";
    EXPECT_EQ(resolve(u"stale", xml, &r), u"home");
    EXPECT_EQ(r, LayoutNameResult::Fallback);
    EXPECT_EQ(resolve(u"old", xml, &r), u"home");
    EXPECT_EQ(r, LayoutNameResult::Fallback);
    EXPECT_EQ(resolve(u"a", u"<!-- CPRFileName=\"old\"", &r), u"a");
    EXPECT_EQ(r, LayoutNameResult::Current);
}

TEST(LayoutName, KeepsCprFileWhenTheXmlNamesNoUsableLayout) {
    LayoutNameResult r;
    EXPECT_EQ(resolve(u"a", u"<Plugins Order=\"x;y\"/>", &r), u"a");
    EXPECT_EQ(r, LayoutNameResult::Current);
    EXPECT_EQ(resolve(u"a", u"<x CPRFileName=\"b", &r), u"a");
    EXPECT_EQ(r, LayoutNameResult::Current);
    EXPECT_EQ(resolve(u"a", u"<x CPRFileName=\"\"/>", &r), u"a");
    EXPECT_EQ(r, LayoutNameResult::Current);
}

TEST(LayoutName, NamesLongerThan497CharactersAreRefused) {
    LayoutNameResult r;
    std::u16string n497(497, u'n');
    std::u16string n498(498, u'n');
    EXPECT_EQ(resolve(n497, u"CPRFileName=\"" + n497 + u"\"", &r), n497);
    EXPECT_EQ(r, LayoutNameResult::Current);
    resolve(n498, u"CPRFileName=\"" + n498 + u"\"", &r);
    EXPECT_EQ(r, LayoutNameResult::TooLong);
    EXPECT_EQ(resolve(u"a", u"CPRFileName=\"" + n497 + u"\"", &r), n497);
    EXPECT_EQ(r, LayoutNameResult::Fallback);
    resolve(u"a", u"CPRFileName=\"" + n498 + u"\"", &r);
    EXPECT_EQ(r, LayoutNameResult::TooLong);
}

TEST(LayoutName, ForbiddenListNeedsSemicolonsOnBothSides) {
    EXPECT_TRUE(isListedLayout(u";first;second;", u"first"));
    EXPECT_TRUE(isListedLayout(u";first;second;", u"second"));
    EXPECT_FALSE(isListedLayout(u"first;second", u"first"));
    EXPECT_FALSE(isListedLayout(u"first;second", u"second"));
    EXPECT_FALSE(isListedLayout(u";First;", u"first"));
    EXPECT_FALSE(isListedLayout(u";firstx;", u"first"));
}

TEST(LayoutName, ComposedPath) {
    char16_t out[64];
    ASSERT_TRUE(composeLayoutPath(u"home", 480, 800, out, 64));
    EXPECT_EQ(std::u16string(out), u"\\Windows\\home_480x800.cpr");
    ASSERT_TRUE(composeLayoutPath(u"", 0, 7, out, 64));
    EXPECT_EQ(std::u16string(out), u"\\Windows\\_0x7.cpr");
    char16_t small[20];
    EXPECT_FALSE(composeLayoutPath(u"home", 480, 800, small, 20));
    EXPECT_EQ(small[0], 0);
}

}  // namespace
}  // namespace qorv
