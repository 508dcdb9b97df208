#include "platform/posix/registry/registry_value_text.h"

#include "platform/platform.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// A hexadecimal digit of either case, or -1.
int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    unsigned letter = static_cast<unsigned>((c | 0x20) - u'a');
    return letter < 6u ? static_cast<int>(letter) + 10 : -1;
}

// The one reader of hexadecimal numbers in an export (dword: data, the N of
// hex(N)): one or more digits, at most 0xffffffff.
bool parseHexNumber(std::u16string_view digits, uint32_t* value) {
    uint64_t v = 0;
    for (char16_t c : digits) {
        int d = hexDigit(c);
        v = (v << 4) | static_cast<unsigned>(d);
        if (d < 0 || v > 0xffffffffu)
            return false;
    }
    *value = static_cast<uint32_t>(v);
    return !digits.empty();
}

// And the one writer: lower-case digits, at least minDigits of them.
void appendHexNumber(std::u16string* out, uint32_t value, int minDigits) {
    char16_t digits[8];
    int n = 0;
    do {
        digits[n++] = u"0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value != 0 || n < minDigits);
    while (n > 0)
        out->push_back(digits[--n]);
}

bool startsWithFolded(std::u16string_view s, std::u16string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (regTextFoldUnit(s[i]) != prefix[i])
            return false;
    }
    return true;
}

bool hasLineBreak(std::u16string_view s) {
    return s.find(u'\n') != std::u16string_view::npos || s.find(u'\r') != std::u16string_view::npos;
}

// A quoted string starting at s[*pos] == '"', each unit of its text given
// to `put` (none when it is null).  Only \\ and \" are escapes; any other
// backslash is kept as written, as the registry editor does.
template <typename Put>
bool parseQuoted(std::u16string_view s, size_t* pos, Put put) {
    size_t i = *pos + 1;
    while (i < s.size()) {
        char16_t c = s[i];
        if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) {
            put(s[i + 1]);
            i += 2;
        } else if (c == u'"') {
            *pos = i + 1;
            return true;
        } else {
            put(c);
            ++i;
        }
    }
    return false;
}

// The value's name ("Name" or @; not kept when name is null) and the
// position after the "=" and the blanks around it; false when the line has
// no such start.
bool parseNameAndEquals(std::u16string_view t, std::u16string* name, size_t* dataPos) {
    size_t pos = 0;
    if (t.empty())
        return false;
    if (name != nullptr)
        name->clear();
    if (t[0] == u'@') {
        pos = 1;
    } else if (t[0] == u'"') {
        if (!parseQuoted(t, &pos, [name](char16_t c) {
                if (name != nullptr)
                    name->push_back(c);
            }))
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
    uint32_t v = 0;
    if (!parseHexNumber(digits, &v))
        return false;
    data->type = kRegDword;
    data->bytes.assign({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    return true;
}

// Comma-separated bytes of one or two hex digits; blanks around them and a
// trailing comma are tolerated.  Read in one pass: binary data is most of a
// large export.
bool parseHexBytes(std::u16string_view list, std::vector<uint8_t>* out) {
    out->clear();
    out->reserve(list.size() / 3 + 1);
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < list.size() && regTextIsBlank(list[i]))
            ++i;
    };
    for (skipBlanks(); i < list.size(); skipBlanks()) {
        int value = hexDigit(list[i++]);
        if (value < 0)
            return false;
        if (i < list.size() && hexDigit(list[i]) >= 0)
            value = value << 4 | hexDigit(list[i++]);
        // A third digit is no byte: only a comma may follow.
        skipBlanks();
        if (i < list.size() && list[i++] != u',')
            return false;
        out->push_back(static_cast<uint8_t>(value));
    }
    return true;
}

bool parseHex(std::u16string_view rest, RegValueData* data) {
    // rest begins with "hex" (any case).
    size_t pos = 3;
    uint32_t type = kRegBinary;
    if (pos < rest.size() && rest[pos] == u'(') {
        size_t close = rest.find(u')', pos);
        if (close == std::u16string_view::npos ||
            !parseHexNumber(rest.substr(pos + 1, close - pos - 1), &type)) {
            return false;
        }
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

char16_t unitAt(const uint8_t* data, size_t i) {
    return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
}

// The text of REG_SZ data when it can be written between quotes: UTF-16
// with one NUL at the end and none inside, no line break (it would end the
// line), and a form in the file's encoding.
bool quotableText(const uint8_t* data, size_t size, RegLineEncoding lines, std::u16string* text) {
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
    return unitAt(data, units - 1) == 0 && !hasLineBreak(*text) && regTextEncodable(lines, *text);
}

bool isText(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// 8-bit text read as lines are: UTF-8 when it is valid UTF-8, else Latin-1.
std::u16string widened(const std::vector<uint8_t>& bytes) {
    std::u16string units;
    if (!utf8ToU16(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &units))
        units.assign(bytes.begin(), bytes.end());
    return units;
}

void putUtf16(std::u16string_view units, std::vector<uint8_t>* out) {
    out->clear();
    for (char16_t c : units) {
        out->push_back(static_cast<uint8_t>(c & 0xff));
        out->push_back(static_cast<uint8_t>(c >> 8));
    }
}

// UTF-16LE text as the 8-bit bytes of a REGEDIT4 file: Latin-1, as that
// format holds its text (in the system's code page), or UTF-8 for text with
// no Latin-1 form; false when it has no form that reads back as the same
// text (an odd number of bytes, a lone surrogate).
bool narrowed(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
    if (size % 2 != 0)
        return false;
    std::u16string units;
    for (size_t i = 0; i < size / 2; ++i)
        units.push_back(unitAt(data, i));
    std::string bytes;
    if (!regTextLatin1(units, &bytes) && !u16ToUtf8(units.data(), units.size(), &bytes))
        return false;
    out->assign(bytes.begin(), bytes.end());
    return widened(*out) == units;
}

}  // namespace

bool regTextEncodable(RegLineEncoding encoding, std::u16string_view text) {
    std::string probe;
    return encoding == RegLineEncoding::Utf16 || u16ToUtf8(text.data(), text.size(), &probe);
}

bool regTextLatin1(std::u16string_view text, std::string* bytes) {
    bytes->clear();
    bool high = false;
    for (char16_t c : text) {
        if (c > 0xff)
            return false;
        high = high || c >= 0x80;
        bytes->push_back(static_cast<char>(c));
    }
    std::u16string back;
    return !high || !utf8ToU16(bytes->data(), bytes->size(), &back);
}

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
        c = regTextFoldUnit(c);
    return out;
}

std::u16string regTextFoldPath(std::u16string_view path) {
    std::u16string out;
    regTextFoldPathInto(path, &out);
    return out;
}

bool regPathNextPart(std::u16string_view path, size_t* pos, std::u16string_view* part) {
    while (*pos <= path.size()) {
        const size_t start = *pos;
        size_t sep = path.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = path.size();
        *pos = sep + 1;
        if (sep > start) {
            *part = path.substr(start, sep - start);
            return true;
        }
    }
    return false;
}

std::u16string regPathSpelt(std::u16string_view spelling, size_t count, std::u16string_view path) {
    std::u16string out;
    std::u16string_view part;
    auto put = [&] { out.append(out.empty() ? u"" : u"\\").append(part); };
    size_t pos = 0;
    for (size_t i = 0; i < count && regPathNextPart(spelling, &pos, &part); ++i)
        put();
    pos = 0;
    for (size_t i = 0; regPathNextPart(path, &pos, &part); ++i) {
        if (i >= count)
            put();
    }
    return out;
}

void regTextFoldPathInto(std::u16string_view path, std::u16string* out) {
    out->clear();
    size_t pos = 0;
    std::u16string_view part;
    while (regPathNextPart(path, &pos, &part)) {
        if (!out->empty())
            out->push_back(u'\\');
        for (char16_t c : part)
            out->push_back(regTextFoldUnit(c));
    }
}

bool regTextParseHeader(std::u16string_view line, std::u16string_view* path, bool* deletion,
                        bool* textAfter) {
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
    *path = inner;
    if (textAfter != nullptr)
        *textAfter = close + 1 < t.size();
    return true;
}

bool regTextValueContinues(std::u16string_view line) {
    std::u16string_view t = regTextTrim(line);
    size_t dataPos = 0;
    // The backslash first: most lines have none.
    return !t.empty() && t.back() == u'\\' && parseNameAndEquals(t, nullptr, &dataPos) &&
           (dataPos >= t.size() || t[dataPos] != u'"');
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

bool regTextIsComment(std::u16string_view line) {
    std::u16string_view t = regTextTrim(line);
    return !t.empty() && t[0] == u';';
}

bool regTextValueName(std::u16string_view logical, std::u16string* name) {
    size_t pos = 0;
    return parseNameAndEquals(regTextTrim(logical), name, &pos);
}

bool regTextParseValue(std::u16string_view logical, std::u16string* name, bool* deletion,
                       RegValueData* data, bool* textAfter, bool eightBitHex) {
    std::u16string_view t = regTextTrim(logical);
    size_t pos = 0;
    if (!parseNameAndEquals(t, name, &pos))
        return false;
    std::u16string_view rest = t.substr(pos);
    *deletion = false;
    // No ";" can stand in a number or a hex list: one after them (or after
    // "-") begins a comment.  A quoted string may hold one.
    if (rest.empty() || rest[0] != u'"')
        rest = regTextTrim(rest.substr(0, rest.find(u';')));
    if (rest == u"-") {
        *deletion = true;
        data->type = kRegNone;
        data->bytes.clear();
        return true;
    }
    if (!rest.empty() && rest[0] == u'"') {
        size_t end = 0;
        std::vector<uint8_t>& bytes = data->bytes;
        bytes.clear();
        // Whatever follows the closing quote is ignored, as the editor does.
        if (!parseQuoted(rest, &end, [&bytes](char16_t c) {
                bytes.push_back(static_cast<uint8_t>(c & 0xff));
                bytes.push_back(static_cast<uint8_t>(c >> 8));
            }))
            return false;
        data->type = kRegSz;
        bytes.push_back(0);
        bytes.push_back(0);
        if (textAfter != nullptr)
            *textAfter = end < rest.size();
        return true;
    }
    if (startsWithFolded(rest, u"dword:"))
        return parseDword(regTextTrim(rest.substr(6)), data);
    if (!startsWithFolded(rest, u"hex") || !parseHex(rest, data))
        return false;
    if (eightBitHex && isText(data->type))
        putUtf16(widened(data->bytes), &data->bytes);
    return true;
}

bool regTextFormatValue(std::u16string_view name, uint32_t type, const uint8_t* data, size_t size,
                        RegTextForm form, std::u16string* text) {
    text->clear();
    if (hasLineBreak(name) || !regTextEncodable(form.lines, name))
        return false;
    std::u16string& line = *text;
    if (name.empty()) {
        line = u"@";
    } else {
        line = u"\"";
        appendEscaped(&line, name);
        line += u"\"";
    }
    line += u"=";

    std::u16string quoted;
    if (type == kRegSz && quotableText(data, size, form.lines, &quoted)) {
        line += u"\"";
        appendEscaped(&line, quoted);
        line += u"\"";
        return true;
    }
    if (type == kRegDword && size == 4) {
        uint32_t v = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                     (static_cast<uint32_t>(data[2]) << 16) |
                     (static_cast<uint32_t>(data[3]) << 24);
        line += u"dword:";
        appendHexNumber(&line, v, 8);
        return true;
    }
    std::vector<uint8_t> eightBit;
    if (form.eightBitHex && isText(type)) {
        if (!narrowed(data, size, &eightBit))
            return false;
        data = eightBit.data();
        size = eightBit.size();
    }
    if (type == kRegBinary) {
        line += u"hex:";
    } else {
        line += u"hex(";
        appendHexNumber(&line, type, 1);
        line += u"):";
    }
    line.reserve(line.size() + size * 3 + size / 24 * 4);
    size_t lineStart = 0;
    for (size_t i = 0; i < size; ++i) {
        appendHexNumber(&line, data[i], 2);
        if (i + 1 == size)
            break;
        line.push_back(u',');
        if (line.size() - lineStart >= kRegHexLineLimit) {
            line += u"\\\n";
            lineStart = line.size();
            line += u"  ";
        }
    }
    return true;
}

bool regTextFormatHeader(std::u16string_view path, std::u16string* line) {
    // A path opening with "-" would read back as a deletion; one of
    // separators only is no path.
    if (hasLineBreak(path) || path.find_first_not_of(u'\\') == std::u16string_view::npos ||
        path[0] == u'-')
        return false;
    *line = u"[";
    *line += path;
    *line += u"]";
    return true;
}

}  // namespace ce::posix
