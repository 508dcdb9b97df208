// Name matching: the find pattern of a directory listing ("*" any run, "?"
// any one character, letters without regard to case) and the scanner's
// shortcut-name filter.
//
// Input: a pattern, a NUL byte, a name (each UTF-8, or one character per
// byte when it is not).  Both are held against plain models: the pattern
// against a table of which pattern prefix matches which name prefix, the
// filter against its rules written out with std::u16string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/posix/fs/find_pattern.h"
#include "platform/wstr.h"
#include "scanner/name_filter.h"

namespace {

constexpr size_t kMaxChars = 300;  // the model's table grows with the square

std::u16string text(const uint8_t* data, size_t size) {
    std::u16string out;
    if (!ce::utf8ToU16(reinterpret_cast<const char*>(data), size, &out))
        out.assign(data, data + size);
    return out.substr(0, kMaxChars);
}

std::u16string lower(std::u16string s) {
    for (char16_t& c : s)
        c = ce::u16lowerChar(c);
    return s;
}

bool modelMatches(const std::u16string& pattern, const std::u16string& name) {
    // at[j]: the pattern's first i characters match the name's first j.
    std::vector<bool> at(name.size() + 1, false);
    at[0] = true;
    for (char16_t p : pattern) {
        std::vector<bool> next(name.size() + 1, false);
        for (size_t j = 0; j <= name.size(); ++j) {
            if (p == u'*') {
                next[j] = at[j] || (j > 0 && next[j - 1]);
            } else if (j > 0 && at[j - 1]) {
                next[j] = p == u'?' || ce::u16lowerChar(p) == ce::u16lowerChar(name[j - 1]);
            }
        }
        at = std::move(next);
    }
    return at[name.size()];
}

bool modelPasses(std::u16string filter, const std::u16string& lowerName) {
    filter = lower(filter.substr(0, zandoval::kFilterChars - 1));
    if (filter.find(u'*') != std::u16string::npos)
        return lowerName.find(filter.substr(1)) != std::u16string::npos;
    return lowerName.compare(0, filter.size(), filter) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    std::u16string pattern = text(data, split);
    std::u16string name = split < size ? text(data + split + 1, size - split - 1) : u"";
    name = name.substr(0, name.find(u'\0'));

    // A listed name is never empty.
    if (!name.empty()) {
        FUZZ_CHECK(
            ce::posix::findPatternMatches(pattern.c_str(), name.c_str()) ==
            (ce::posix::findPatternMatchesAll(pattern.c_str()) || modelMatches(pattern, name)));
    }

    zandoval::NameFilter filter;
    zandoval::prepareNameFilter(filter, pattern.c_str());
    std::u16string lowerName = lower(name);
    FUZZ_CHECK(zandoval::nameFilterPasses(filter, lowerName.c_str()) ==
               modelPasses(pattern, lowerName));
    return 0;
}
