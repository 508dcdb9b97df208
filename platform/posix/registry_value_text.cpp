#include "platform/posix/registry_value_text.h"

#include "platform/wstr.h"

namespace ce::posix {

namespace {

constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeDword = 4;

bool isHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

unsigned hexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return c - u'A' + 10;
}

bool startsWithFolded(std::u16string_view s, std::u16string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (u16lowerChar(s[i]) != prefix[i])
            return false;
    }
    return true;
}

bool hasLineBreak(std::u16string_view s) {
    return s.find(u'\n') != std::u16string_view::npos || s.find(u'\r') != std::u16string_view::npos;
}

// A quoted string starting at s[*pos] == '"'.  Only \\ and \" are escapes;
// any other backslash is kept as written, as the registry editor does.
bool parseQuoted(std::u16string_view s, size_t* pos, std::u16string* out) {
    out->clear();
    size_t i = *pos + 1;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) {
            out->push_back(s[i + 1]);
            i += 2;
        } else if (c == u'"') {
            *pos = i + 1;
            return true;
        } else {
            out->push_back(c);
            ++i;
        }
    }
    return false;
}

// The value's name ("Name" or @) and the position after the "=" and the
// blanks around it; false when the line has no such start.
bool parseNameAndEquals(std::u16string_view t, std::u16string* name, size_t* dataPos) {
    size_t pos = 0;
    if (t.empty())
        return false;
    if (t[0] == u'@') {
        name->clear();
        pos = 1;
    } else if (t[0] == u'"') {
        if (!parseQuoted(t, &pos, name))
            return false;
    } else {
        return false;
    }
    while (pos < t.size() && regTextIsBlank(t[pos]))
        ++pos;
    if (pos >= t.size() || t[pos] != u'=')
        return false;
    ++pos;
    while (pos < t.size() && regTextIsBlank(t[pos]))
        ++pos;
    *dataPos = pos;
    return true;
}

bool parseDword(std::u16string_view digits, RegValueData* data) {
    if (digits.empty())
        return false;
    uint64_t v = 0;
    for (char16_t c : digits) {
        if (!isHexDigit(c))
            return false;
        v = (v << 4) | hexDigitValue(c);
        if (v > 0xffffffffu)
            return false;
    }
    data->type = kTypeDword;
    data->bytes.assign({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    return true;
}

// Comma-separated bytes of one or two hex digits; blanks around them and a
// trailing comma are tolerated.
bool parseHexBytes(std::u16string_view list, std::vector<uint8_t>* out) {
    out->clear();
    list = regTextTrim(list);
    if (list.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(u',', start);
        std::u16string_view token = regTextTrim(list.substr(
            start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start));
        bool last = comma == std::u16string_view::npos;
        if (token.empty()) {
            if (!last)
                return false;
            break;
        }
        if (token.size() > 2 || !isHexDigit(token[0]) ||
            (token.size() == 2 && !isHexDigit(token[1]))) {
            return false;
        }
        unsigned b = hexDigitValue(token[0]);
        if (token.size() == 2)
            b = (b << 4) | hexDigitValue(token[1]);
        out->push_back(static_cast<uint8_t>(b));
        if (last)
            break;
        start = comma + 1;
    }
    return true;
}

bool parseHex(std::u16string_view rest, RegValueData* data) {
    // rest begins with "hex" (any case).
    size_t pos = 3;
    uint32_t type = kTypeBinary;
    if (pos < rest.size() && rest[pos] == u'(') {
        size_t close = rest.find(u')', pos);
        if (close == std::u16string_view::npos)
            return false;
        std::u16string_view digits = rest.substr(pos + 1, close - pos - 1);
        if (digits.empty())
            return false;
        uint64_t t = 0;
        for (char16_t c : digits) {
            if (!isHexDigit(c))
                return false;
            t = (t << 4) | hexDigitValue(c);
            if (t > 0xffffffffu)
                return false;
        }
        type = static_cast<uint32_t>(t);
        pos = close + 1;
    }
    if (pos >= rest.size() || rest[pos] != u':')
        return false;
    if (!parseHexBytes(rest.substr(pos + 1), &data->bytes))
        return false;
    data->type = type;
    return true;
}

void appendEscaped(std::u16string* out, std::u16string_view s) {
    for (char16_t c : s) {
        if (c == u'\\' || c == u'"')
            out->push_back(u'\\');
        out->push_back(c);
    }
}

void appendHexByte(std::u16string* out, uint8_t b) {
    static const char16_t kDigits[] = u"0123456789abcdef";
    out->push_back(kDigits[b >> 4]);
    out->push_back(kDigits[b & 15]);
}

char16_t unitAt(const uint8_t* data, size_t i) {
    return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
}

// The text of REG_SZ data when it can be written between quotes: UTF-16
// with one NUL at the end and none inside, no line break (it would end the
// line), and a UTF-8 form when the file is UTF-8.
bool quotableText(const uint8_t* data, size_t size, bool utf8, std::u16string* text) {
    if (size < 2 || size % 2 != 0)
        return false;
    size_t units = size / 2;
    text->clear();
    for (size_t i = 0; i + 1 < units; ++i) {
        char16_t c = unitAt(data, i);
        if (c == 0)
            return false;
        text->push_back(c);
    }
    if (unitAt(data, units - 1) != 0 || hasLineBreak(*text))
        return false;
    if (!utf8)
        return true;
    std::string probe;
    return u16ToUtf8(text->data(), text->size(), &probe);
}

}  // namespace

// A carriage return that is no part of a line end counts as a blank too.
bool regTextIsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r';
}

std::u16string_view regTextTrim(std::u16string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && regTextIsBlank(s[b]))
        ++b;
    while (e > b && regTextIsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::u16string regTextFold(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        c = u16lowerChar(c);
    return out;
}

std::u16string regTextFoldPath(std::u16string_view path) {
    std::u16string out;
    regTextFoldPathInto(path, &out);
    return out;
}

void regTextFoldPathInto(std::u16string_view path, std::u16string* out) {
    out->clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t sep = path.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = path.size();
        if (sep > start) {
            if (!out->empty())
                out->push_back(u'\\');
            for (size_t i = start; i < sep; ++i)
                out->push_back(u16lowerChar(path[i]));
        }
        start = sep + 1;
    }
}

bool regTextParseHeader(std::u16string_view line, std::u16string* path, bool* deletion) {
    std::u16string_view t = regTextTrim(line);
    if (t.empty() || t[0] != u'[')
        return false;
    size_t close = t.rfind(u']');
    if (close == std::u16string_view::npos)
        return false;
    std::u16string_view inner = t.substr(1, close - 1);
    *deletion = !inner.empty() && inner[0] == u'-';
    if (*deletion)
        inner.remove_prefix(1);
    // A path of separators only folds to nothing.
    if (inner.find_first_not_of(u'\\') == std::u16string_view::npos)
        return false;
    path->assign(inner);
    return true;
}

bool regTextValueContinues(std::u16string_view line) {
    std::u16string_view t = regTextTrim(line);
    std::u16string name;
    size_t dataPos = 0;
    if (!parseNameAndEquals(t, &name, &dataPos))
        return false;
    if (dataPos < t.size() && t[dataPos] == u'"')
        return false;
    return !t.empty() && t.back() == u'\\';
}

bool regTextContinuationContinues(std::u16string_view line) {
    std::u16string_view t = regTextTrim(line);
    return !t.empty() && t.back() == u'\\';
}

bool regTextIsContinuation(std::u16string_view line) {
    std::u16string_view t = regTextTrim(line);
    if (t.empty())
        return false;
    char16_t c = t[0];
    return c != u'[' && c != u'"' && c != u'@' && c != u';';
}

bool regTextValueName(std::u16string_view logical, std::u16string* name) {
    size_t pos = 0;
    return parseNameAndEquals(regTextTrim(logical), name, &pos);
}

bool regTextParseValue(std::u16string_view logical, std::u16string* name, bool* deletion,
                       RegValueData* data) {
    std::u16string_view t = regTextTrim(logical);
    size_t pos = 0;
    if (!parseNameAndEquals(t, name, &pos))
        return false;
    std::u16string_view rest = t.substr(pos);
    *deletion = false;
    if (rest == u"-") {
        *deletion = true;
        data->type = 0;
        data->bytes.clear();
        return true;
    }
    if (!rest.empty() && rest[0] == u'"') {
        std::u16string text;
        size_t end = 0;
        // Whatever follows the closing quote is ignored, as the editor does.
        if (!parseQuoted(rest, &end, &text))
            return false;
        data->type = kTypeString;
        data->bytes.clear();
        data->bytes.reserve((text.size() + 1) * 2);
        for (char16_t c : text) {
            data->bytes.push_back(static_cast<uint8_t>(c & 0xff));
            data->bytes.push_back(static_cast<uint8_t>(c >> 8));
        }
        data->bytes.push_back(0);
        data->bytes.push_back(0);
        return true;
    }
    if (startsWithFolded(rest, u"dword:"))
        return parseDword(regTextTrim(rest.substr(6)), data);
    if (startsWithFolded(rest, u"hex"))
        return parseHex(rest, data);
    return false;
}

bool regTextFormatValue(std::u16string_view name, uint32_t type, const uint8_t* data, size_t size,
                        bool utf8, std::vector<std::u16string>* lines) {
    lines->clear();
    if (hasLineBreak(name))
        return false;
    if (utf8) {
        std::string probe;
        if (!u16ToUtf8(name.data(), name.size(), &probe))
            return false;
    }
    std::u16string line;
    if (name.empty()) {
        line = u"@";
    } else {
        line = u"\"";
        appendEscaped(&line, name);
        line += u"\"";
    }
    line += u"=";

    std::u16string text;
    if (type == kTypeString && quotableText(data, size, utf8, &text)) {
        line += u"\"";
        appendEscaped(&line, text);
        line += u"\"";
        lines->push_back(std::move(line));
        return true;
    }
    if (type == kTypeDword && size == 4) {
        uint32_t v = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                     (static_cast<uint32_t>(data[2]) << 16) |
                     (static_cast<uint32_t>(data[3]) << 24);
        line += u"dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            line.push_back(u"0123456789abcdef"[(v >> shift) & 15]);
        }
        lines->push_back(std::move(line));
        return true;
    }
    if (type == kTypeBinary) {
        line += u"hex:";
    } else {
        line += u"hex(";
        char16_t digits[9];
        size_t n = 0;
        uint32_t t = type;
        do {
            digits[n++] = u"0123456789abcdef"[t & 15];
            t >>= 4;
        } while (t != 0);
        while (n > 0)
            line.push_back(digits[--n]);
        line += u"):";
    }
    for (size_t i = 0; i < size; ++i) {
        appendHexByte(&line, data[i]);
        if (i + 1 == size)
            break;
        line.push_back(u',');
        if (line.size() >= kRegHexLineLimit) {
            line.push_back(u'\\');
            lines->push_back(std::move(line));
            line = u"  ";
        }
    }
    lines->push_back(std::move(line));
    return true;
}

bool regTextFormatHeader(std::u16string_view path, std::u16string* line) {
    // A path opening with "-" would read back as a deletion.
    if (hasLineBreak(path) || regTextFoldPath(path).empty() || path[0] == u'-')
        return false;
    *line = u"[";
    *line += path;
    *line += u"]";
    return true;
}

}  // namespace ce::posix
