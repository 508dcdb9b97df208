#include "installer/list_view_tags.h"

#include <cstring>

namespace qorv {

namespace {

constexpr std::string_view kTitaniumOpen = "<TitaniumListView";
constexpr std::string_view kBronzeOpen = "<BronzeListView";
constexpr std::string_view kTitaniumClose = "</TitaniumListView";
constexpr std::string_view kBronzeClose = "</BronzeListView";
constexpr std::string_view kSwitchIndent = "   ";

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The text without white space at its end, nor at its start unless it
// goes on from an earlier piece of its line: there its blanks part what
// came before (two attributes, say).
std::string_view trimmed(std::string_view text, bool continuesLine = false) {
    while (!continuesLine && !text.empty() && isWhite(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhite(text.back()))
        text.remove_suffix(1);
    return text;
}

bool onlyWhite(std::string_view text) {
    return trimmed(text).empty();
}

// Bounded writer into a caller's buffer; it never writes past the end.
struct Out {
    char* buf;
    size_t bytes;
    size_t length;

    void put(std::string_view text) {
        size_t room = bytes - 1 - length;
        size_t n = text.size() < room ? text.size() : room;
        std::memcpy(buf + length, text.data(), n);
        length += n;
        buf[length] = 0;
    }
};

std::string_view openText(ListView v) {
    return v == ListView::Titanium ? kTitaniumOpen : kBronzeOpen;
}
ListView other(ListView v) {
    return v == ListView::Titanium ? ListView::Bronze : ListView::Titanium;
}

// Whether the opening tag that `rest` goes on closes itself ("/>"): the
// first '>' outside a quoted value has a '/' before it.
bool closesItself(std::string_view rest) {
    char quote = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (quote != 0) {
            quote = rest[i] == quote ? 0 : quote;
        } else if (rest[i] == '"' || rest[i] == '\'') {
            quote = rest[i];
        } else if (rest[i] == '>') {
            return i > 0 && rest[i - 1] == '/';
        }
    }
    return false;
}

}  // namespace

size_t findInMarkup(std::string_view line, std::string_view text, TextSection* section) {
    constexpr std::string_view kCommentOpen = "<!--";
    constexpr std::string_view kCommentClose = "-->";
    constexpr std::string_view kCdataOpen = "<![CDATA[";
    constexpr std::string_view kCdataClose = "]]>";
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < line.size();) {
        if (*section != TextSection::Markup) {
            std::string_view closeText =
                *section == TextSection::Comment ? kCommentClose : kCdataClose;
            size_t close = line.find(closeText, i);
            if (close == std::string_view::npos)
                break;
            *section = TextSection::Markup;
            i = close + closeText.size();
            continue;
        }
        size_t comment = line.find(kCommentOpen, i);
        size_t cdata = line.find(kCdataOpen, i);
        size_t open = comment < cdata ? comment : cdata;
        size_t at = line.substr(0, open).find(text, i);
        if (found == std::string_view::npos && at != std::string_view::npos)
            found = at;
        if (open == std::string_view::npos)
            break;
        *section = open == comment ? TextSection::Comment : TextSection::Cdata;
        i = open + (open == comment ? kCommentOpen.size() : kCdataOpen.size());
    }
    return found;
}

ListView findListViewTag(std::string_view line, size_t* at, TextSection* section) {
    // Both searches start in the same state and end in the same one.
    TextSection forTitanium = *section;
    size_t titanium = findInMarkup(line, kTitaniumOpen, &forTitanium);
    size_t bronze = findInMarkup(line, kBronzeOpen, section);
    *at = titanium != std::string_view::npos ? titanium : bronze;
    return titanium != std::string_view::npos ? ListView::Titanium
           : bronze != std::string_view::npos ? ListView::Bronze
                                              : ListView::None;
}

const char16_t* listViewName(ListView variant) {
    return variant == ListView::Titanium ? u"Titanium" : u"Bronze";
}

std::string_view closingSearchText(ListView variant) {
    return variant == ListView::Titanium ? kTitaniumClose : kBronzeClose;
}

size_t switchOpeningLine(std::string_view line, size_t tagAt, ListView found, char* out,
                         size_t outBytes, bool* closedHere, bool continuesLine) {
    Out o{out, outBytes, 0};
    out[0] = 0;
    o.put(trimmed(line.substr(0, tagAt), continuesLine));
    o.put(kSwitchIndent);
    o.put(openText(other(found)));
    std::string_view rest = line.substr(tagAt + openText(found).size());
    // A list view that closes itself has no closing tag to switch: the
    // next one belongs to another list view.
    if (closesItself(rest)) {
        *closedHere = true;
        o.put(rest);
        return o.length;
    }
    // The tag stands in markup, and so must its closing tag.
    TextSection section = TextSection::Markup;
    size_t closeAt = findInMarkup(rest, closingSearchText(found), &section);
    *closedHere = closeAt != std::string_view::npos;
    if (*closedHere) {
        o.put(rest.substr(0, closeAt));
        o.put(closingSearchText(other(found)));
        rest = rest.substr(closeAt + closingSearchText(found).size());
    }
    o.put(rest);
    return o.length;
}

size_t switchClosingLine(std::string_view line, size_t closeAt, ListView found, char* out,
                         size_t outBytes, bool continuesLine) {
    Out o{out, outBytes, 0};
    out[0] = 0;
    o.put(trimmed(line.substr(0, closeAt), continuesLine));
    o.put(kSwitchIndent);
    o.put(closingSearchText(other(found)));
    o.put(">");
    size_t gt = line.find('>', closeAt + closingSearchText(found).size());
    if (gt != std::string_view::npos) {
        std::string_view after = line.substr(gt + 1);
        if (!onlyWhite(after))
            o.put(after);
    }
    return o.length;
}

}  // namespace qorv
