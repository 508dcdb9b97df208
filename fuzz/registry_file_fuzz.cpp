// The registry file's reader and editor.
//
// Input: the bytes of a registry file.  Properties:
//   - a file read and not changed serializes back byte for byte;
//   - the whole registry read in one pass agrees with single lookups, and
//     importing the file into an empty registry gives the same registry;
//   - after one edit (a value set, a key created, a value or a key deleted)
//     the registry, read back from the file's new bytes, is the old one
//     with exactly that edit;
//   - an edit changes only the lines of what it edits: every line taken
//     out of the file belongs to the value set or deleted, or to the blocks
//     of the key deleted (at the end of a file without a final line end
//     a line may only gain or lose its line end);
//   - a failed edit leaves the file as it was.
// The edit is chosen by the input's size and made from its bytes: a
// string, a number or binary data cut from the input, names cut from it,
// so quotes, backslashes and line breaks reach the writer too.
#include <cstddef>
#include <cstdint>
#include <map>
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

// Values checked against a single lookup per input: each lookup walks the
// whole file.
constexpr size_t kLookups = 16;
// Importing costs a pass over the file per line: only small files.
constexpr size_t kMaxImportEntries = 64;
// The lines of a deletion are aligned by a table of this many cells at most.
constexpr size_t kMaxAlignCells = 1 << 21;

struct Value {
    uint32_t type;
    std::vector<uint8_t> bytes;
    bool operator==(const Value&) const = default;
};
// Folded key path -> folded value name -> data.  Keys without values are
// left out: whether such a key has a header of its own (and so appears in
// the registry's one-pass contents) depends on the order of its headers,
// not on what the registry holds.
using Registry = std::map<std::u16string, std::map<std::u16string, Value>>;

Registry registryOf(const RegFile& f) {
    Registry r;
    for (const ce::posix::RegKeyContents& key : ce::posix::regFileContents(f)) {
        if (key.names.empty())
            continue;
        auto& values = r[ce::posix::regTextFoldPath(key.path)];
        for (size_t i = 0; i < key.names.size(); ++i)
            values[ce::posix::regTextFold(key.names[i])] = {key.data[i].type, key.data[i].bytes};
    }
    return r;
}

bool sameOrBelow(const std::u16string& key, const std::u16string& base) {
    return key.compare(0, base.size(), base) == 0 &&
           (key.size() == base.size() || key[base.size()] == u'\\');
}

void checkOnePassAgrees(const RegFile& f) {
    size_t lookups = 0;
    for (const ce::posix::RegKeyContents& key : ce::posix::regFileContents(f)) {
        FUZZ_CHECK(ce::posix::regFileKeyExists(f, key.path));
        FUZZ_CHECK(ce::posix::regFileValueNames(f, key.path) == key.names);
        for (size_t i = 0; i < key.names.size() && lookups < kLookups; ++i, ++lookups) {
            RegValueData v;
            FUZZ_CHECK(ce::posix::regFileGetValue(f, key.path, key.names[i], &v));
            FUZZ_CHECK(v.type == key.data[i].type && v.bytes == key.data[i].bytes);
        }
    }
}

// The header entry that governs a line: the last key header at or before it.
const ce::posix::RegEntry* headerOf(const RegFile& f, size_t line) {
    const ce::posix::RegEntry* header = nullptr;
    for (const auto& e : f.entries) {
        if (e.firstLine > line)
            break;
        if (e.kind == RegEntryKind::Key || e.kind == RegEntryKind::DeleteKey ||
            e.kind == RegEntryKind::BrokenKey) {
            header = &e;
        }
    }
    return header;
}

bool sameLine(const RegFile& before, size_t i, const RegFile& after, size_t j) {
    // At the end of a file without a final line end, a kept line may gain
    // or lose its line end.
    const auto& a = before.lines;
    const auto& b = after.lines;
    return a[i].bytes == b[j].bytes &&
           (a[i].eol == b[j].eol || i + 1 == a.size() || j + 1 == b.size());
}

// A value set: it replaces lines at one place, or adds lines at one place,
// so the file differs from the old one between an unchanged start and end.
// Every old line in between passes `mayGo`.
template <typename MayGo>
void checkLinesReplaced(const RegFile& before, const RegFile& after, MayGo mayGo) {
    size_t a = before.lines.size();
    size_t b = after.lines.size();
    size_t prefix = 0;
    while (prefix < a && prefix < b && sameLine(before, prefix, after, prefix))
        ++prefix;
    size_t suffix = 0;
    while (suffix < a - prefix && suffix < b - prefix &&
           sameLine(before, a - 1 - suffix, after, b - 1 - suffix)) {
        ++suffix;
    }
    for (size_t i = prefix; i < a - suffix; ++i)
        FUZZ_CHECK(mayGo(i));
}

// A deletion: the new file is the old one without some lines, and each of
// them passes `mayGo`.  Identical lines (blank ones, say) make the places
// ambiguous, so a table over old lines and deletions so far decides.
template <typename MayGo>
void checkLinesDeleted(const RegFile& before, const RegFile& after, MayGo mayGo) {
    size_t n = before.lines.size();
    size_t m = after.lines.size();
    FUZZ_CHECK(m < n);
    size_t deletions = n - m;
    if ((n + 1) * (deletions + 1) > kMaxAlignCells)
        return;
    // fits[i][d]: old lines from i, after d deletions, give the new lines
    // from i - d.
    std::vector<char> fits((n + 1) * (deletions + 1));
    auto at = [&](size_t i, size_t d) -> char& { return fits[i * (deletions + 1) + d]; };
    at(n, deletions) = 1;
    for (size_t i = n; i-- > 0;) {
        bool goes = mayGo(i);
        for (size_t d = 0; d <= deletions && d <= i; ++d) {
            bool kept = i - d < m && sameLine(before, i, after, i - d) && at(i + 1, d);
            at(i, d) = kept || (goes && d < deletions && at(i + 1, d + 1));
        }
    }
    FUZZ_CHECK(at(0, 0));
}

bool lineOfValue(const RegFile& f, size_t line, const std::u16string& name) {
    std::u16string folded = ce::posix::regTextFold(name);
    for (const auto& e : f.entries) {
        if ((e.kind == RegEntryKind::Value || e.kind == RegEntryKind::DeleteValue) &&
            e.folded == folded && e.firstLine <= line && line <= e.lastLine) {
            return true;
        }
    }
    return false;
}

// The file's registry, read back from its bytes, must be `want`.
void checkRegistry(const RegFile& file, const Registry& want) {
    std::string bytes = ce::posix::regFileSerialize(file);
    RegFile reread = ce::posix::regFileParse(bytes);
    FUZZ_CHECK(ce::posix::regFileSerialize(reread) == bytes);
    FUZZ_CHECK(registryOf(reread) == want);
}

void checkSet(RegFile* file, const std::u16string& key, const std::u16string& name, uint32_t type,
              const std::string& data) {
    RegFile before = *file;
    const auto* raw = reinterpret_cast<const uint8_t*>(data.data());
    if (!ce::posix::regFileSetValue(file, key, name, type, raw, data.size())) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == ce::posix::regFileSerialize(before));
        return;
    }
    Registry want = registryOf(before);
    want[ce::posix::regTextFoldPath(key)][ce::posix::regTextFold(name)] = {
        type, std::vector<uint8_t>(raw, raw + data.size())};
    checkRegistry(*file, want);
    checkLinesReplaced(before, *file, [&](size_t i) { return lineOfValue(before, i, name); });
}

void checkDeleteValue(RegFile* file, const std::u16string& key, const std::u16string& name) {
    RegFile before = *file;
    Registry want = registryOf(before);
    if (!ce::posix::regFileDeleteValue(file, key, name)) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == ce::posix::regFileSerialize(before));
        return;
    }
    RegValueData gone;
    FUZZ_CHECK(!ce::posix::regFileGetValue(*file, key, name, &gone));
    auto values = want.find(ce::posix::regTextFoldPath(key));
    FUZZ_CHECK(values != want.end() && values->second.erase(ce::posix::regTextFold(name)) == 1);
    if (values->second.empty())
        want.erase(values);
    checkRegistry(*file, want);
    checkLinesDeleted(before, *file, [&](size_t i) { return lineOfValue(before, i, name); });
}

void checkDeleteKey(RegFile* file, const std::u16string& key) {
    RegFile before = *file;
    Registry want = registryOf(before);
    if (!ce::posix::regFileDeleteKey(file, key)) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == ce::posix::regFileSerialize(before));
        return;
    }
    std::u16string folded = ce::posix::regTextFoldPath(key);
    FUZZ_CHECK(!ce::posix::regFileKeyExists(*file, key));
    std::erase_if(want, [&](const auto& k) { return sameOrBelow(k.first, folded); });
    checkRegistry(*file, want);
    checkLinesDeleted(before, *file, [&](size_t i) {
        const ce::posix::RegEntry* header = headerOf(before, i);
        return header != nullptr && header->kind == RegEntryKind::Key &&
               sameOrBelow(header->folded, folded);
    });
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
    checkOnePassAgrees(file);
    if (file.entries.size() <= kMaxImportEntries) {
        RegFile imported = ce::posix::regFileNew();
        if (ce::posix::regFileImport(&imported, file, nullptr)) {
            FUZZ_CHECK(registryOf(imported) == registryOf(file));
            for (const ce::posix::RegKeyContents& key : ce::posix::regFileContents(file))
                FUZZ_CHECK(ce::posix::regFileKeyExists(imported, key.path));
        }
    }
    // A NUL byte makes a file without a byte-order mark that begins with
    // it read as UTF-16 (registry exports that lost their mark begin that
    // way), so an edit that takes the first line away may change how the
    // rest reads.  Text files hold no NUL bytes; such files are only held
    // to the properties above.
    if (!file.utf16 && input.find('\0') != std::string_view::npos)
        return 0;

    std::string cut(input.substr(0, 12));
    std::u16string cutText = latin1(cut);
    std::string asString(reinterpret_cast<const char*>(cutText.c_str()), (cutText.size() + 1) * 2);

    // One edit per input, chosen by its size: each run stays short, and
    // the fuzzer reaches every kind of edit all the same.
    std::vector<ce::posix::RegKeyContents> keys = ce::posix::regFileContents(file);
    std::u16string key = keys.empty() ? u"" : keys[size / 6 % keys.size()].path;
    std::vector<std::u16string> names;
    if (!keys.empty())
        names = keys[size / 6 % keys.size()].names;
    std::u16string otherName = latin1(input.substr(size / 2, 8));
    std::u16string newKey = u"HKEY_CURRENT_USER\\Software\\" + latin1(input.substr(size / 3, 6));
    switch (keys.empty() ? 3 : size % 6) {
        case 0:
            checkSet(&file, key, names.empty() ? otherName : names.front(), ce::kRegSz, asString);
            break;
        case 1:
            checkSet(&file, key, names.empty() ? otherName : names.back(), ce::kRegDword,
                     (cut + std::string(4, '\0')).substr(0, 4));
            break;
        case 2:
            checkSet(&file, key, otherName, ce::kRegBinary, cut);
            break;
        case 3: {
            checkSet(&file, newKey, u"", ce::kRegMultiSz, asString + std::string(2, '\0'));
            Registry want = registryOf(file);
            std::u16string below = newKey + u"\\Below";
            if (ce::posix::regFileCreateKey(&file, below, nullptr)) {
                FUZZ_CHECK(ce::posix::regFileKeyExists(file, below));
                checkRegistry(file, want);
            }
            break;
        }
        case 4:
            checkDeleteValue(&file, key, names.empty() ? otherName : names[size % names.size()]);
            break;
        default:
            checkDeleteKey(&file, key);
            break;
    }
    return 0;
}
