#include "cedevice/check_values.h"

#include <string_view>
#include <vector>

#include "cedevice/value_text.h"
#include "installer/order_list.h"
#include "platform/platform.h"
#include "platform/wstr.h"

namespace cedevice {

namespace {

using ce::posix::RegFile;
using ce::posix::RegValueData;

std::optional<RegValueData> rawValue(const RegFile& registry, const char16_t* key,
                                     const char16_t* name) {
    RegValueData v;
    if (!ce::posix::regFileGetValue(registry, key, name, &v))
        return std::nullopt;
    return v;
}

// The text of string data, up to its first NUL.
std::u16string textOf(const RegValueData& v) {
    std::u16string text;
    for (size_t i = 0; i + 1 < v.bytes.size(); i += 2) {
        char16_t c = static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

bool sameValue(const std::optional<RegValueData>& a, const std::optional<RegValueData>& b) {
    if (a.has_value() != b.has_value())
        return false;
    return !a.has_value() || (a->type == b->type && a->bytes == b->bytes);
}

bool listHolds(std::string_view list, const std::string& name) {
    size_t start = 0;
    while (true) {
        size_t end = list.find(';', start);
        std::string_view entry = list.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (entry == name)
            return true;
        if (end == std::string_view::npos)
            return false;
        start = end + 1;
    }
}

// The order list of an XML value, found as the installer finds it.
bool orderListHolds(const std::string& xml, const std::string& name) {
    return qorv::orderListHolds(ce::u16(xml), ce::u16(name));
}

}  // namespace

std::optional<std::string> stringValue(const RegFile& registry, const char16_t* key,
                                       const char16_t* name) {
    std::optional<RegValueData> v = rawValue(registry, key, name);
    if (!v.has_value())
        return std::nullopt;
    return ce::utf8(textOf(*v));
}

bool operator==(const HomeValues& a, const HomeValues& b) {
    return sameValue(a.extensibilityXml, b.extensibilityXml) &&
           sameValue(a.defaultXml, b.defaultXml) && sameValue(a.plugins, b.plugins);
}

namespace {

void putOrderInDoubleQuotes(std::optional<RegValueData>* value) {
    if (!value->has_value() || (*value)->type != ce::kRegSz)
        return;
    const std::u16string text = textOf(**value);
    qorv::OrderList order = qorv::findOrderList(text);
    if (!order.closed || order.quote != u'\'' || order.list.find(u'"') != std::u16string::npos)
        return;
    std::u16string turned(order.before);
    turned.back() = u'"';
    turned.append(order.list).append(u"\"").append(order.rest);
    (*value)->bytes.clear();
    appendUtf16(turned, &(*value)->bytes);
}

}  // namespace

HomeValues orderInDoubleQuotes(HomeValues values) {
    putOrderInDoubleQuotes(&values.extensibilityXml);
    putOrderInDoubleQuotes(&values.defaultXml);
    return values;
}

HomeValues readHomeValues(const RegFile& registry) {
    HomeValues values;
    values.extensibilityXml = rawValue(registry, kHomeScreenKey, u"ExtensibilityXML");
    values.defaultXml = rawValue(registry, kHomeScreenKey, u"DefaultXML");
    values.plugins = rawValue(registry, kHomeScreenKey, u"Plugins");
    return values;
}

std::string valuesNotListing(const RegFile& registry, const std::string& name) {
    struct Listing {
        const char16_t* value;
        bool orderList;  // an XML value, whose order list holds the names
    };
    constexpr Listing kListings[] = {
        {u"ExtensibilityXML", true}, {u"DefaultXML", true}, {u"Plugins", false}};
    std::string missing;
    for (const Listing& l : kListings) {
        std::optional<std::string> text = stringValue(registry, kHomeScreenKey, l.value);
        bool holds = text.has_value() &&
                     (l.orderList ? orderListHolds(*text, name) : listHolds(*text, name));
        if (!holds)
            missing += (missing.empty() ? "" : ", ") + ce::utf8(l.value);
    }
    return missing;
}

bool forbiddenLayout(const RegFile& registry, const std::string& layoutName) {
    std::optional<std::string> list = stringValue(registry, kRunRecordKey, u"ForbiddenList");
    return list.has_value() && list->find(";" + layoutName + ";") != std::string::npos;
}

RecordedResult readRecordedResult(const RegFile& registry) {
    RecordedResult result;
    std::optional<RegValueData> number = rawValue(registry, kRunRecordKey, u"ErrorNumber");
    std::optional<std::string> text = stringValue(registry, kRunRecordKey, u"ErrorDescription");
    if (!number.has_value() || number->bytes.size() != 4 || !text.has_value())
        return result;
    result.recorded = true;
    result.number =
        static_cast<uint32_t>(number->bytes[0] | number->bytes[1] << 8 | number->bytes[2] << 16 |
                              static_cast<uint32_t>(number->bytes[3]) << 24);
    result.text = *text;
    return result;
}

}  // namespace cedevice
