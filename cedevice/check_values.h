// The registry values check-plugin reads from a device: the home screen's
// plugin values and the installer's result in its run record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/registry/reg_file.h"

namespace cedevice {

constexpr char16_t kHomeScreenKey[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome";
constexpr char16_t kRunRecordKey[] = u"HKEY_CURRENT_USER\\SOFTWARE\\QORV";

// A string value as UTF-8, up to its first terminator; nullopt when the
// value is missing.
std::optional<std::string> stringValue(const ce::posix::RegFile& registry, const char16_t* key,
                                       const char16_t* name);

// "ExtensibilityXML", "DefaultXML" and "Plugins" exactly as stored.
struct HomeValues {
    std::optional<ce::posix::RegValueData> extensibilityXml;
    std::optional<ce::posix::RegValueData> defaultXml;
    std::optional<ce::posix::RegValueData> plugins;
};

bool operator==(const HomeValues& a, const HomeValues& b);

// The values with the order list of each XML value put in " quotes where it
// stands in ' quotes, as an add of a name that holds ' leaves it (the list
// then holds no ").
HomeValues orderInDoubleQuotes(HomeValues values);

HomeValues readHomeValues(const ce::posix::RegFile& registry);

// The names of the three values that do not hold name as an entry of their
// list ("ExtensibilityXML, Plugins"); empty when all three list it.  The
// order lists of the two XML values lie between their first two quotation
// marks; entries are separated by ";".
std::string valuesNotListing(const ce::posix::RegFile& registry, const std::string& name);

// True when the list of layout names (";a;b;") holds ";name;".
bool forbiddenLayout(const ce::posix::RegFile& registry, const std::string& layoutName);

// The run record's "ErrorNumber" and "ErrorDescription".
struct RecordedResult {
    bool recorded = false;  // both values are there
    uint32_t number = 0;
    std::string text;
};

RecordedResult readRecordedResult(const ce::posix::RegFile& registry);

}  // namespace cedevice
