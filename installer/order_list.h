// The home screen's plugin lists, edited as text.
//
// "ExtensibilityXML" holds the plugins' order in its Order attribute:
// <Plugins Order="A;B;C" ...  (also Order='A;B;C', and with blanks around
// the "=", as XML allows; a rewrite keeps that form).  A text without the
// attribute is taken to hold it between its first quotation mark and the
// next one (the home screen's own values begin with the attribute); the
// attribute is looked for first, so that a quoted text before it (an XML
// declaration, another attribute) is never taken for the list.  "Plugins" holds the same names as a
// plain list, A;B;C.  Entries are separated by
// ";" and compared exactly, unit by unit.  An empty order list ("") has no
// entries; a ";" after the order list's closing quotation mark is never a
// separator of the list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qorv {

// A rewritten order text begins with what stood before the list, the
// attribute included; a text without the attribute begins with this
// instead of what stood before its first quotation mark.
constexpr std::u16string_view kOrderListStart = u"<Plugins Order=\"";

// The order list as found in an "ExtensibilityXML" text.
struct OrderList {
    bool opened = false;         // the text holds the list's opening quotation mark
    bool closed = false;         // and another one after it
    char16_t quote = u'"';       // the kind of quotation mark around the list
    std::u16string_view before;  // what a rewritten text begins with
    std::u16string_view list;    // between the two (to the end when not closed)
    std::u16string_view rest;    // after the closing quotation mark
};

OrderList findOrderList(std::u16string_view extXml);

// Walks a ";"-separated list: takes the next entry off *remaining and
// returns true, or returns false when the list is used up.  An empty list
// has no entries; "A;" has the entries A and an empty one.
struct ListWalk {
    std::u16string_view remaining;
    bool done;
};
ListWalk startWalk(std::u16string_view list);
bool nextEntry(ListWalk& walk, std::u16string_view* entry);

// NameHoldsQuote: the name holds a quotation mark of each kind that the
// list could stand in (only an insertion fails so).
enum class OrderEdit { Ok, NoOpeningQuote, NoClosingQuote, NameHoldsQuote };

// Puts name into the order list as entry number position counting from 0;
// a position below 0 or past the last entry appends it.  A name that holds
// the list's quotation mark puts the list in the other kind.  When an entry
// already equals the name, *nameNew is false and *newText is the old text
// unchanged.  *newText is complete only on Ok.
OrderEdit insertIntoOrderList(std::u16string_view extXml, std::u16string_view name,
                              int32_t position, std::u16string* newText, bool* nameNew);

// True when an entry of the list equals name.
bool listHolds(std::u16string_view list, std::u16string_view name);
// True when an entry of the closed order list in extXml equals name; a
// text without a closed order list holds nothing.
bool orderListHolds(std::u16string_view extXml, std::u16string_view name);

// The plugin list after an add: the old list, ";" and the name when the
// name is new (the name alone when the list is empty: no empty entry goes
// in front of it); the old list unchanged when it is not.
std::u16string addToPluginList(std::u16string_view plugins, std::u16string_view name, bool nameNew);

// Drops every entry that equals name, with one separator each.  *newText is
// complete only on Ok.
OrderEdit removeFromOrderList(std::u16string_view extXml, std::u16string_view name,
                              std::u16string* newText);

// The plugin list without the entries that equal name.
std::u16string removeFromPluginList(std::u16string_view plugins, std::u16string_view name);

}  // namespace qorv
