#include "cedevice/value_text.h"

#include <cctype>
#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/wstr.h"

namespace cedevice {

using ce::posix::RegValueData;

namespace {

constexpr uint32_t kRegQword = 11;

// The UTF-16 strings of string data: split at NULs, the terminator and the
// empty string that closes a multi-string dropped.  False when the data
// is not UTF-16 text.
bool stringsOf(const RegValueData& v, std::vector<std::string>* out) {
    if (v.bytes.size() % 2 != 0)
        return false;
    std::u16string units;
    for (size_t i = 0; i < v.bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8)));
    while (!units.empty() && units.back() == 0)
        units.pop_back();
    out->clear();
    size_t start = 0;
    for (;;) {
        size_t nul = units.find(u'\0', start);
        std::string text;
        if (!ce::u16ToUtf8(units.data() + start,
                           (nul == std::u16string::npos ? units.size() : nul) - start, &text)) {
            return false;
        }
        out->push_back(text);
        if (nul == std::u16string::npos)
            return true;
        start = nul + 1;
    }
}

bool isString(uint32_t type) {
    return type == ce::kRegSz || type == ce::kRegExpandSz || type == ce::kRegMultiSz;
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i == 0 ? "%02x" : " %02x", bytes[i]);
        out += buf;
    }
    return out;
}

// The number of a dword or qword of the right size.
bool numberOf(const RegValueData& v, uint64_t* n) {
    size_t size = v.type == ce::kRegDword ? 4 : v.type == kRegQword ? 8 : 0;
    if (size == 0 || v.bytes.size() != size)
        return false;
    *n = 0;
    for (size_t i = size; i-- > 0;)
        *n = (*n << 8) | v.bytes[i];
    return true;
}

bool parseNumber(const std::string& text, uint64_t max, uint64_t* out) {
    if (text.empty())
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const unsigned base = hex ? 16 : 10;
    uint64_t value = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (value > (max - digit) / base)
            return false;
        value = value * base + digit;
    }
    *out = value;
    return true;
}

// Groups apart by blanks or commas, each a byte of one digit ("1,2", as
// an export's hex list is read) or bytes of two digits each ("01ab").  A
// longer group of an odd number of digits is refused: which digit stands
// alone cannot be told.
bool parseHexBytes(const std::string& text, std::vector<uint8_t>* out) {
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find_first_of(" ,", at), text.size());
        const std::string group = text.substr(at, end - at);
        at = end + 1;
        for (char c : group) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        }
        if (group.size() > 1 && group.size() % 2 != 0)
            return false;
        for (size_t i = 0; i < group.size(); i += 2)
            out->push_back(static_cast<uint8_t>(std::stoul(group.substr(i, 2), nullptr, 16)));
    }
    return true;
}

// "hex(N)": the type number N.
bool hexTypeNumber(const std::string& type, uint32_t* number) {
    if (type.size() < 6 || type.compare(0, 4, "hex(") != 0 || type.back() != ')')
        return false;
    uint64_t n = 0;
    if (!parseNumber("0x" + type.substr(4, type.size() - 5), 0xffffffffu, &n))
        return false;
    *number = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

size_t columnsOf(const std::string& utf8) {
    size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

void appendUtf16(const std::u16string& text, std::vector<uint8_t>* bytes) {
    for (char16_t c : text) {
        bytes->push_back(static_cast<uint8_t>(c & 0xff));
        bytes->push_back(static_cast<uint8_t>(c >> 8));
    }
    bytes->push_back(0);
    bytes->push_back(0);
}

std::string escapedText(const std::string& text) {
    std::string out;
    char buf[8];
    auto escape = [&](unsigned char c) {
        std::snprintf(buf, sizeof buf, "\\x%02x", c);
        out += buf;
    };
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        bool control = false;
        const size_t n = ce::posix::terminalCharacterAt(text, i, &control);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (control) {
            for (size_t k = 0; k < n; ++k)
                escape(static_cast<unsigned char>(text[i + k]));
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string typeName(uint32_t type) {
    switch (type) {
        case ce::kRegNone:
            return "REG_NONE";
        case ce::kRegSz:
            return "REG_SZ";
        case ce::kRegExpandSz:
            return "REG_EXPAND_SZ";
        case ce::kRegBinary:
            return "REG_BINARY";
        case ce::kRegDword:
            return "REG_DWORD";
        case ce::kRegMultiSz:
            return "REG_MULTI_SZ";
        case kRegQword:
            return "REG_QWORD";
        default: {
            char buf[32];
            std::snprintf(buf, sizeof buf, "REG_TYPE_0x%x", type);
            return buf;
        }
    }
}

std::string valueOneLine(const RegValueData& value) {
    std::vector<std::string> strings;
    if (isString(value.type) && stringsOf(value, &strings)) {
        std::string out;
        for (size_t i = 0; i < strings.size(); ++i)
            out += (i == 0 ? "" : "\\0") + escapedText(strings[i]);
        return out;
    }
    uint64_t n = 0;
    if (numberOf(value, &n)) {
        char buf[48];
        std::snprintf(buf, sizeof buf,
                      value.type == ce::kRegDword ? "%llu (0x%08llx)" : "%llu (0x%016llx)",
                      static_cast<unsigned long long>(n), static_cast<unsigned long long>(n));
        return buf;
    }
    return hexBytes(value.bytes);
}

std::string valueAsIs(const RegValueData& value) {
    std::vector<std::string> strings;
    if (isString(value.type) && stringsOf(value, &strings)) {
        std::string out;
        for (const std::string& s : strings)
            out += s + "\n";
        return out;
    }
    uint64_t n = 0;
    if (numberOf(value, &n))
        return std::to_string(n) + "\n";
    return hexBytes(value.bytes) + "\n";
}

bool parseValue(const std::string& type, const std::vector<std::string>& data, RegValueData* out,
                std::string* error) {
    out->bytes.clear();
    uint32_t hexType = 0;
    const bool multi = type == "multi_sz";
    if (data.size() != 1 && !multi) {
        *error = "a value of type " + type + " takes exactly one DATA argument";
        return false;
    }
    if (type == "sz" || type == "expand_sz" || multi) {
        out->type = type == "sz" ? ce::kRegSz : multi ? ce::kRegMultiSz : ce::kRegExpandSz;
        for (const std::string& text : data) {
            std::u16string wide;
            if (!ce::utf8ToU16(text.data(), text.size(), &wide)) {
                *error = "the data is not UTF-8 text";
                return false;
            }
            if (wide.find(u'\0') != std::u16string::npos) {
                *error = "a string cannot hold a NUL character";
                return false;
            }
            // An empty string ends a list: the strings after it would be
            // read by no program.
            if (multi && wide.empty() && data.size() > 1) {
                *error = "a multi_sz list cannot hold an empty string: it would end the list there";
                return false;
            }
            appendUtf16(wide, &out->bytes);
        }
        if (multi) {
            out->bytes.push_back(0);  // the empty string that ends the list
            out->bytes.push_back(0);
        }
        return true;
    }
    if (type == "dword" || type == "qword") {
        const bool dword = type == "dword";
        uint64_t n = 0;
        if (!parseNumber(data[0], dword ? 0xffffffffull : ~0ull, &n)) {
            *error = "'" + data[0] + "' is no " + (dword ? "32" : "64") +
                     "-bit number (decimal, or hexadecimal after 0x)";
            return false;
        }
        out->type = dword ? ce::kRegDword : kRegQword;
        for (int i = 0; i < (dword ? 4 : 8); ++i)
            out->bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
        return true;
    }
    if (type == "binary" || type == "none" || hexTypeNumber(type, &hexType)) {
        out->type = type == "binary" ? ce::kRegBinary : type == "none" ? ce::kRegNone : hexType;
        if (!parseHexBytes(data[0], &out->bytes)) {
            *error = "'" + data[0] + "' is not hex bytes such as \"01 ab\"";
            return false;
        }
        return true;
    }
    *error = "unknown type '" + type +
             "': use sz, expand_sz, multi_sz, dword, qword, binary, none or hex(N)";
    return false;
}

}  // namespace cedevice
