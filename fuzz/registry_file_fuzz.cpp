// The registry file's reader and editor.
//
// Input: the bytes of a registry file.  Properties:
//   - a file read and not changed serializes back byte for byte;
//   - a value written reads back as written, also after the file's bytes
//     are read again, and every other value keeps its data;
//   - an edit changes only the lines of the value written: the lines taken
//     out of the file all belong to that value (or are the last line, which
//     receives a line end when lines are added after it);
//   - a failed edit leaves the file as it was.
// The edits are made from the input itself: existing values get a string,
// a number or binary data cut from the input, and new values and keys get
// names cut from it, so quotes, backslashes and line breaks reach the
// writer too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/platform.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/registry_value_text.h"

namespace {

using ce::posix::RegEntryKind;
using ce::posix::RegFile;
using ce::posix::RegValueData;

// Keys and values per key held against each edit: a lookup walks the whole
// file, so checking every value of a large file would cost the square of
// its size.
constexpr size_t kMaxKeys = 8;
constexpr size_t kMaxValuesPerKey = 4;

bool sameValue(const RegValueData& a, const RegValueData& b) {
    return a.type == b.type && a.bytes == b.bytes;
}

// Some values of a file with their data, for checking that an edit kept them.
struct KeptValue {
    std::u16string key;
    std::u16string name;
    RegValueData data;
};

std::vector<std::u16string> keyPaths(const RegFile& f) {
    std::vector<std::u16string> paths;
    std::vector<std::u16string> folded;
    for (const auto& e : f.entries) {
        if (paths.size() == kMaxKeys)
            break;
        if (e.kind == RegEntryKind::Key &&
            std::find(folded.begin(), folded.end(), e.folded) == folded.end()) {
            folded.push_back(e.folded);
            paths.push_back(e.path);
        }
    }
    return paths;
}

std::vector<KeptValue> someValues(const RegFile& f) {
    std::vector<KeptValue> values;
    for (const std::u16string& key : keyPaths(f)) {
        if (!ce::posix::regFileKeyExists(f, key))
            continue;
        std::vector<std::u16string> names = ce::posix::regFileValueNames(f, key);
        if (names.size() > kMaxValuesPerKey)
            names.resize(kMaxValuesPerKey);
        for (const std::u16string& name : names) {
            KeptValue v{key, name, {}};
            FUZZ_CHECK(ce::posix::regFileGetValue(f, key, name, &v.data));
            values.push_back(std::move(v));
        }
    }
    return values;
}

bool keepsValues(const RegFile& f, const std::vector<KeptValue>& values) {
    for (const KeptValue& v : values) {
        RegValueData now;
        if (!ce::posix::regFileGetValue(f, v.key, v.name, &now) || !sameValue(now, v.data))
            return false;
    }
    return true;
}

bool sameLine(const ce::posix::RegFileLine& a, const ce::posix::RegFileLine& b) {
    return a.bytes == b.bytes && a.eol == b.eol;
}

// The old lines that an edit of the value `name` replaced must be lines of
// that value.
void checkOnlyValueLinesChanged(const RegFile& before, const RegFile& after,
                                const std::u16string& name) {
    const auto& a = before.lines;
    const auto& b = after.lines;
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && sameLine(a[prefix], b[prefix]))
        ++prefix;
    size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           sameLine(a[a.size() - 1 - suffix], b[b.size() - 1 - suffix])) {
        ++suffix;
    }
    std::u16string folded = ce::posix::regTextFold(name);
    for (size_t i = prefix; i < a.size() - suffix; ++i) {
        bool lastGetsLineEnd =
            i + 1 == a.size() && i < b.size() && a[i].eol.empty() && a[i].bytes == b[i].bytes;
        bool ofTheValue = false;
        for (const auto& e : before.entries) {
            ofTheValue = ofTheValue ||
                         ((e.kind == RegEntryKind::Value || e.kind == RegEntryKind::DeleteValue) &&
                          e.folded == folded && e.firstLine <= i && i <= e.lastLine);
        }
        FUZZ_CHECK(lastGetsLineEnd || ofTheValue);
    }
}

void checkSet(RegFile* file, const std::u16string& key, const std::u16string& name, uint32_t type,
              const std::string& data) {
    RegFile before = *file;
    std::string bytesBefore = ce::posix::regFileSerialize(before);
    std::vector<KeptValue> others = someValues(before);
    std::erase_if(others, [&](const KeptValue& v) {
        return ce::posix::regTextFoldPath(v.key) == ce::posix::regTextFoldPath(key) &&
               ce::posix::regTextFold(v.name) == ce::posix::regTextFold(name);
    });

    const auto* raw = reinterpret_cast<const uint8_t*>(data.data());
    if (!ce::posix::regFileSetValue(file, key, name, type, raw, data.size())) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == bytesBefore);
        return;
    }
    RegValueData want;
    want.type = type;
    want.bytes.assign(raw, raw + data.size());
    RegValueData got;
    FUZZ_CHECK(ce::posix::regFileGetValue(*file, key, name, &got) && sameValue(got, want));

    std::string bytesAfter = ce::posix::regFileSerialize(*file);
    RegFile reread = ce::posix::regFileParse(bytesAfter);
    FUZZ_CHECK(ce::posix::regFileSerialize(reread) == bytesAfter);
    FUZZ_CHECK(ce::posix::regFileGetValue(reread, key, name, &got) && sameValue(got, want));

    FUZZ_CHECK(keepsValues(reread, others));
    if (!bytesBefore.empty())
        checkOnlyValueLinesChanged(before, *file, name);
}

std::u16string latin1(std::string_view bytes) {
    std::u16string text;
    for (char c : bytes)
        text.push_back(static_cast<unsigned char>(c));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RegFile file = ce::posix::regFileParse(input);
    FUZZ_CHECK(ce::posix::regFileSerialize(file) == input);

    std::string cut(input.substr(0, 12));
    std::u16string cutText = latin1(cut);
    std::string asString(reinterpret_cast<const char*>(cutText.c_str()), (cutText.size() + 1) * 2);

    // One edit per input, chosen by its size: each run stays short, and
    // the fuzzer reaches every kind of edit all the same.
    std::vector<std::u16string> keys = keyPaths(file);
    std::u16string key = keys.empty() ? u"" : keys[size / 4 % keys.size()];
    std::vector<std::u16string> names = ce::posix::regFileValueNames(file, key);
    std::u16string newKey = u"HKEY_CURRENT_USER\\Software\\" + latin1(input.substr(size / 3, 6));
    switch (keys.empty() ? 3 : size % 4) {
        case 0:
            if (!names.empty()) {
                checkSet(&file, key, names.front(), ce::kRegSz, asString);
                break;
            }
            [[fallthrough]];
        case 1:
            if (!names.empty()) {
                checkSet(&file, key, names.back(), ce::kRegDword,
                         (cut + std::string(4, '\0')).substr(0, 4));
                break;
            }
            [[fallthrough]];
        case 2:
            checkSet(&file, key, latin1(input.substr(size / 2, 8)), ce::kRegBinary, cut);
            break;
        default: {
            checkSet(&file, newKey, u"", ce::kRegMultiSz, asString + std::string(2, '\0'));
            std::u16string below = newKey + u"\\Below";
            std::vector<KeptValue> before = someValues(file);
            bool created = false;
            if (ce::posix::regFileCreateKey(&file, below, &created)) {
                FUZZ_CHECK(ce::posix::regFileKeyExists(file, below));
                FUZZ_CHECK(keepsValues(file, before));
            }
        }
    }
    return 0;
}
