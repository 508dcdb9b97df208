// The order list and the plugin list as the home screen keeps them.
#include "installer/order_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qorv {
namespace {

const std::u16string kRest = u" Version=\"2\"/><Item a=\"1;2\"/>";
const std::u16string kAbc = u"<Plugins Order=\"A;B;C\"" + kRest;

std::u16string inserted(const std::u16string& ext, const std::u16string& name, int32_t pos,
                        OrderEdit expect = OrderEdit::Ok, bool* nameNew = nullptr) {
    std::u16string out;
    bool isNew = false;
    EXPECT_EQ(insertIntoOrderList(ext, name, pos, &out, &isNew), expect);
    if (nameNew != nullptr)
        *nameNew = isNew;
    return out;
}

std::u16string removed(const std::u16string& ext, const std::u16string& name,
                       OrderEdit expect = OrderEdit::Ok) {
    std::u16string out;
    EXPECT_EQ(removeFromOrderList(ext, name, &out), expect);
    return out;
}

std::vector<std::u16string> entries(std::u16string_view list) {
    std::vector<std::u16string> all;
    ListWalk walk = startWalk(list);
    std::u16string_view entry;
    while (nextEntry(walk, &entry))
        all.emplace_back(entry);
    return all;
}

TEST(ListWalk, SplitsOnSeparatorsAndKeepsEmptyEntries) {
    EXPECT_EQ(entries(u"A;B;C"), (std::vector<std::u16string>{u"A", u"B", u"C"}));
    EXPECT_EQ(entries(u"A;"), (std::vector<std::u16string>{u"A", u""}));
    EXPECT_EQ(entries(u";A"), (std::vector<std::u16string>{u"", u"A"}));
    EXPECT_TRUE(entries(u"").empty());
}

TEST(ListWalk, OrderListEndsAtItsClosingQuote) {
    OrderList l = findOrderList(u"x <Plugins Order=\"A;B\" Other=\"1;2\"");
    EXPECT_TRUE(l.opened);
    EXPECT_TRUE(l.closed);
    EXPECT_EQ(l.list, u"A;B");
    EXPECT_EQ(l.rest, u" Other=\"1;2\"");
    EXPECT_FALSE(findOrderList(u"<Plugins Order=A;B").opened);
    // Neither a comment nor another attribute's value holds the attribute.
    for (const char16_t* text : {u"<!-- was: Order=\"X\" --><Plugins Order=\"A;B\"",
                                 u"<P Title=\"Sort Order = 'X'\" Order=\"A;B\""}) {
        EXPECT_EQ(findOrderList(text).list, u"A;B");
    }
    OrderList open = findOrderList(u"<Plugins Order=\"A;B");
    EXPECT_TRUE(open.opened);
    EXPECT_FALSE(open.closed);
}

TEST(OrderInsertion, PositionCountsFromZeroAndOutOfRangeAppends) {
    EXPECT_EQ(inserted(kAbc, u"X", 0), u"<Plugins Order=\"X;A;B;C\"" + kRest);
    EXPECT_EQ(inserted(kAbc, u"X", 1), u"<Plugins Order=\"A;X;B;C\"" + kRest);
    EXPECT_EQ(inserted(kAbc, u"X", 2), u"<Plugins Order=\"A;B;X;C\"" + kRest);
    for (int32_t p : {3, 7, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(inserted(kAbc, u"X", p), u"<Plugins Order=\"A;B;C;X\"" + kRest) << p;
    }
}

// The list is in the Order attribute, wherever it stands; what stands
// before it stays.  Only a text without the attribute has its list at the
// first quotation mark, and a rewritten one begins as the attribute does.
TEST(OrderInsertion, TheListIsTheOrderAttributesAndTheTextBeforeItStays) {
    const struct {
        std::u16string ext;
        std::u16string added;
        std::u16string removedA;
    } cases[] = {
        {u"<root><Plugins  Order=\"A\"/></root>", u"<root><Plugins  Order=\"A;X\"/></root>",
         u"<root><Plugins  Order=\"\"/></root>"},
        {u"<?xml version=\"1.0\"?><Plugins Order=\"A\">",
         u"<?xml version=\"1.0\"?><Plugins Order=\"A;X\">",
         u"<?xml version=\"1.0\"?><Plugins Order=\"\">"},
        {u"<Plugins CPRFileName=\"home\" Order=\"A\"/>",
         u"<Plugins CPRFileName=\"home\" Order=\"A;X\"/>",
         u"<Plugins CPRFileName=\"home\" Order=\"\"/>"},
        {u"<Plugins SortOrder=\"9\"\tOrder=\"A\"/>", u"<Plugins SortOrder=\"9\"\tOrder=\"A;X\"/>",
         u"<Plugins SortOrder=\"9\"\tOrder=\"\"/>"},
        {u"x\"A\" y", u"<Plugins Order=\"A;X\" y", u"<Plugins Order=\"\" y"},
        // The attribute in any form XML gives it: another attribute's value
        // is never taken for the list.
        {u"<Plugins Order='A;B' CPRFileName=\"home\"/>",
         u"<Plugins Order='A;B;X' CPRFileName=\"home\"/>",
         u"<Plugins Order='B' CPRFileName=\"home\"/>"},
        {u"<Plugins CPRFileName=\"home\" Order = \"A;B\"/>",
         u"<Plugins CPRFileName=\"home\" Order = \"A;B;X\"/>",
         u"<Plugins CPRFileName=\"home\" Order = \"B\"/>"},
        {u"<Plugins Order='it\"s;A'/>", u"<Plugins Order='it\"s;A;X'/>",
         u"<Plugins Order='it\"s'/>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(inserted(c.ext, u"X", 9), c.added);
        EXPECT_EQ(removed(c.ext, u"A"), c.removedA);
    }
}

// A name with the list's own quotation mark puts the list in the other
// kind, where a delete finds it again; a list that holds the other kind
// too takes it in neither.
TEST(OrderInsertion, ANameWithTheListsQuoteTurnsTheQuotes) {
    const std::u16string turned = inserted(u"<P Order='A;B' C='x'/>", u"Bob's", 1);
    EXPECT_EQ(turned, u"<P Order=\"A;Bob's;B\" C='x'/>");
    EXPECT_TRUE(orderListHolds(turned, u"Bob's"));
    EXPECT_EQ(removed(turned, u"Bob's"), u"<P Order=\"A;B\" C='x'/>");
    EXPECT_EQ(inserted(u"<P Order=\"A\"/>", u"Bob's", 9), u"<P Order=\"A;Bob's\"/>");
    inserted(u"<P Order='it\"s'/>", u"Bob's", 9, OrderEdit::NameHoldsQuote);
}

TEST(OrderInsertion, ExistingNameKeepsTheOldTextAndIsNotNew) {
    bool isNew = true;
    std::u16string old = u"<x> <Plugins Order=\"A;B;C\"/>";
    EXPECT_EQ(inserted(old, u"B", 0, OrderEdit::Ok, &isNew), old);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(addToPluginList(u"A;B;C", u"B", false), u"A;B;C");
}

TEST(OrderInsertion, AnEntryThatOnlyBeginsWithTheNameIsAnotherEntry) {
    bool isNew = false;
    EXPECT_EQ(inserted(u"\"Weather2;Clock\"", u"Weather", 1, OrderEdit::Ok, &isNew),
              u"<Plugins Order=\"Weather2;Weather;Clock\"");
    EXPECT_TRUE(isNew);
    EXPECT_EQ(inserted(u"\"Clock\"", u"Clock2", 0), u"<Plugins Order=\"Clock2;Clock\"");
}

TEST(OrderInsertion, EmptyListTakesTheNameAloneAtAnyPosition) {
    for (int32_t p : {0, 1, 5, -3}) {
        EXPECT_EQ(inserted(u"<Plugins Order=\"\"/>", u"X", p), u"<Plugins Order=\"X\"/>") << p;
    }
}

TEST(OrderInsertion, SeparatorAfterTheClosingQuoteIsNotPartOfTheList) {
    EXPECT_EQ(inserted(u"<Plugins Order=\"A\" b=\"c;d\"", u"X", 5),
              u"<Plugins Order=\"A;X\" b=\"c;d\"");
    EXPECT_EQ(inserted(u"<Plugins Order=\"A\";", u"X", 1), u"<Plugins Order=\"A;X\";");
}

TEST(OrderInsertion, MissingQuotesAreReported) {
    inserted(u"<Plugins Order=A;B", u"X", 0, OrderEdit::NoOpeningQuote);
    bool isNew = false;
    inserted(u"<Plugins Order=\"A;B", u"X", 0, OrderEdit::NoClosingQuote, &isNew);
    EXPECT_TRUE(isNew);
    // Entries that a separator ends are still compared, as a walk would.
    inserted(u"<Plugins Order=\"X;B", u"X", 0, OrderEdit::NoClosingQuote, &isNew);
    EXPECT_FALSE(isNew);
}

TEST(PluginList, AddAppendsWithASeparatorButNoneToAnEmptyList) {
    EXPECT_EQ(addToPluginList(u"A;B", u"X", true), u"A;B;X");
    EXPECT_EQ(addToPluginList(u"", u"X", true), u"X");
}

TEST(OrderRemoval, DropsEveryEqualEntryWithOneSeparator) {
    EXPECT_EQ(removed(kAbc, u"A"), u"<Plugins Order=\"B;C\"" + kRest);
    EXPECT_EQ(removed(kAbc, u"B"), u"<Plugins Order=\"A;C\"" + kRest);
    EXPECT_EQ(removed(kAbc, u"C"), u"<Plugins Order=\"A;B\"" + kRest);
    EXPECT_EQ(removed(u"\"A;X;B;X\"", u"X"), u"<Plugins Order=\"A;B\"");
    EXPECT_EQ(removed(kAbc, u"Q"), kAbc);
    EXPECT_EQ(removed(u"<a b=\"A;AB\"/>", u"A"), u"<Plugins Order=\"AB\"/>");
}

TEST(OrderRemoval, OnlyEntryLeavesAnEmptyListThatLaterEditsAccept) {
    std::u16string empty = removed(u"<Plugins Order=\"X\" v=\"1\"", u"X");
    EXPECT_EQ(empty, u"<Plugins Order=\"\" v=\"1\"");
    EXPECT_EQ(removed(empty, u"X"), empty);
    EXPECT_EQ(inserted(empty, u"Y", 3), u"<Plugins Order=\"Y\" v=\"1\"");
}

TEST(OrderRemoval, RemovedLastEntryThenAddWorksAsOnAnyList) {
    std::u16string ab = removed(kAbc, u"C");
    EXPECT_EQ(inserted(ab, u"C", 1), u"<Plugins Order=\"A;C;B\"" + kRest);
}

TEST(OrderRemoval, MissingQuotesAreReported) {
    removed(u"Order=A", u"A", OrderEdit::NoOpeningQuote);
    removed(u"Order=\"A;B", u"A", OrderEdit::NoClosingQuote);
}

TEST(PluginList, RemovalKeepsOrderOfTheOthers) {
    EXPECT_EQ(removeFromPluginList(u"A;B;C", u"B"), u"A;C");
    EXPECT_EQ(removeFromPluginList(u"X", u"X"), u"");
    EXPECT_EQ(removeFromPluginList(u";X", u"X"), u"");
    EXPECT_EQ(removeFromPluginList(u"X;A;X", u"X"), u"A");
    EXPECT_EQ(removeFromPluginList(u"", u"X"), u"");
}

}  // namespace
}  // namespace qorv
