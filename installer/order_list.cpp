#include "installer/order_list.h"

namespace qorv {

// Where the Order attribute begins: "Order=\"" after white space, so
// that another attribute ending in the name (SortOrder="1") is not taken.
static bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The opening quotation mark of the Order attribute, and which one it is:
// "Order" after a blank, then "=" with blanks around it allowed and the
// value in either kind of quotation marks, as XML writes an attribute.
// Text inside a comment or inside another attribute's value is no
// attribute (<!-- Order="old" -->, Title="Sort Order = 'x'").
static size_t findOrderAttribute(std::u16string_view extXml, char16_t* quote) {
    constexpr std::u16string_view kName = u"Order";
    bool inComment = false;
    bool inTag = false;
    char16_t value = 0;  // the quotation mark of a value open in a tag
    for (size_t i = 0; i < extXml.size(); ++i) {
        const std::u16string_view at = extXml.substr(i);
        const char16_t c = extXml[i];
        if (inComment) {
            inComment = !at.starts_with(u"-->");
        } else if (value != 0) {
            value = c == value ? 0 : value;
        } else if (at.starts_with(u"<!--")) {
            inComment = true;
            i += 3;
        } else if (c == u'<' || c == u'>') {
            inTag = c == u'<';
        } else if (inTag && (c == u'"' || c == u'\'')) {
            value = c;
        } else if (at.starts_with(kName) && i > 0 && isBlank(extXml[i - 1])) {
            size_t j = i + kName.size();
            while (j < extXml.size() && isBlank(extXml[j]))
                ++j;
            if (j >= extXml.size() || extXml[j] != u'=')
                continue;
            for (++j; j < extXml.size() && isBlank(extXml[j]);)
                ++j;
            if (j < extXml.size() && (extXml[j] == u'"' || extXml[j] == u'\'')) {
                *quote = extXml[j];
                return j;
            }
        }
    }
    return std::u16string_view::npos;
}

OrderList findOrderList(std::u16string_view extXml) {
    OrderList found;
    size_t attribute = findOrderAttribute(extXml, &found.quote);
    size_t open = attribute != std::u16string_view::npos ? attribute : extXml.find(u'"');
    if (open == std::u16string_view::npos)
        return found;
    found.opened = true;
    found.before =
        attribute != std::u16string_view::npos ? extXml.substr(0, open + 1) : kOrderListStart;
    size_t close = extXml.find(found.quote, open + 1);
    if (close == std::u16string_view::npos) {
        found.list = extXml.substr(open + 1);
        return found;
    }
    found.closed = true;
    found.list = extXml.substr(open + 1, close - open - 1);
    found.rest = extXml.substr(close + 1);
    return found;
}

ListWalk startWalk(std::u16string_view list) {
    return ListWalk{list, list.empty()};
}

bool nextEntry(ListWalk& walk, std::u16string_view* entry) {
    if (walk.done)
        return false;
    size_t sep = walk.remaining.find(u';');
    if (sep == std::u16string_view::npos) {
        *entry = walk.remaining;
        walk.remaining = {};
        walk.done = true;
    } else {
        *entry = walk.remaining.substr(0, sep);
        walk.remaining = walk.remaining.substr(sep + 1);
    }
    return true;
}

bool listHolds(std::u16string_view list, std::u16string_view name) {
    ListWalk walk = startWalk(list);
    std::u16string_view entry;
    while (nextEntry(walk, &entry)) {
        if (entry == name)
            return true;
    }
    return false;
}

bool orderListHolds(std::u16string_view extXml, std::u16string_view name) {
    OrderList order = findOrderList(extXml);
    return order.closed && listHolds(order.list, name);
}

// Whether an unclosed order list names the plugin among the entries that a
// separator ends: those are the entries a walk meets before it finds the
// final quotation mark missing.
static bool unclosedListHolds(std::u16string_view list, std::u16string_view name) {
    size_t lastSep = list.rfind(u';');
    if (lastSep == std::u16string_view::npos)
        return false;
    return listHolds(list.substr(0, lastSep), name);
}

OrderEdit insertIntoOrderList(std::u16string_view extXml, std::u16string_view name,
                              int32_t position, std::u16string* newText, bool* nameNew) {
    *nameNew = true;
    OrderList order = findOrderList(extXml);
    newText->assign(order.opened ? order.before : kOrderListStart);
    if (!order.opened)
        return OrderEdit::NoOpeningQuote;
    if (!order.closed) {
        *nameNew = !unclosedListHolds(order.list, name);
        return OrderEdit::NoClosingQuote;
    }
    // A name that holds the list's own quotation mark (Bob's in
    // Order='...') would end the attribute early: the list then takes the
    // other kind, which no name holds.  A list that holds that kind too
    // can take the name in neither.
    char16_t quote = order.quote;
    if (name.find(quote) != std::u16string_view::npos) {
        quote = quote == u'\'' ? u'"' : u'\'';
        if (order.list.find(quote) != std::u16string_view::npos) {
            *nameNew = !listHolds(order.list, name);
            return OrderEdit::NameHoldsQuote;
        }
        newText->back() = quote;
    }
    bool placed = false;
    if (position == 0) {
        newText->append(name);
        placed = true;
    }
    ListWalk walk = startWalk(order.list);
    std::u16string_view entry;
    int64_t counter = 1;
    bool first = true;
    while (nextEntry(walk, &entry)) {
        if (!first || placed)
            newText->push_back(u';');
        first = false;
        newText->append(entry);
        if (entry == name)
            *nameNew = false;
        if (counter == position && !placed) {
            newText->push_back(u';');
            newText->append(name);
            placed = true;
        }
        ++counter;
    }
    if (!placed) {
        if (!first)
            newText->push_back(u';');
        newText->append(name);
    }
    newText->push_back(quote);
    newText->append(order.rest);
    if (!*nameNew)
        newText->assign(extXml);
    return OrderEdit::Ok;
}

std::u16string addToPluginList(std::u16string_view plugins, std::u16string_view name,
                               bool nameNew) {
    std::u16string list(plugins);
    if (nameNew) {
        if (!list.empty())
            list.push_back(u';');
        list.append(name);
    }
    return list;
}

// The entries of a list that differ from name, joined by ";".
static void appendKeptEntries(std::u16string* out, std::u16string_view list,
                              std::u16string_view name) {
    ListWalk walk = startWalk(list);
    std::u16string_view entry;
    bool first = true;
    while (nextEntry(walk, &entry)) {
        if (entry == name)
            continue;
        if (!first)
            out->push_back(u';');
        first = false;
        out->append(entry);
    }
}

OrderEdit removeFromOrderList(std::u16string_view extXml, std::u16string_view name,
                              std::u16string* newText) {
    OrderList order = findOrderList(extXml);
    newText->assign(order.opened ? order.before : kOrderListStart);
    if (!order.opened)
        return OrderEdit::NoOpeningQuote;
    if (!order.closed)
        return OrderEdit::NoClosingQuote;
    appendKeptEntries(newText, order.list, name);
    newText->push_back(order.quote);
    newText->append(order.rest);
    return OrderEdit::Ok;
}

std::u16string removeFromPluginList(std::u16string_view plugins, std::u16string_view name) {
    std::u16string list;
    appendKeptEntries(&list, plugins, name);
    return list;
}

}  // namespace qorv
