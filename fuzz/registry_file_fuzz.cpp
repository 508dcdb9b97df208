// The registry file's reader and editor.
//
// Input: the bytes of a registry file.  Properties:
//   - a file read and not changed serializes back byte for byte;
//   - the whole registry read in one pass agrees with single lookups;
//   - the import is all or nothing: a file that passes the export check
//     imports into an empty registry as the same registry, and once more
//     changes nothing, nor does its import into itself, and it gives what
//     importing it in pieces, one from each deletion of a key to the
//     next, gives; one that fails it
//     names its first bad line, and the
//     import that checks while it reads refuses it at that line;
//   - whatever the device tool exports it imports again: the export of
//     the whole registry passes the check and imports as the registry,
//     but for what it leaves out and names;
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
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace {

using ce::posix::RegFile;
using ce::posix::RegValueData;

// Keys and values checked against single lookups per input: each lookup
// walks the whole file, so checking every key of a large file would cost
// time in the square of its size.  The keys checked are spread over the
// file.
constexpr size_t kLookups = 8;
// The lines of a deletion are aligned by a table of this many cells at most.
constexpr size_t kMaxAlignCells = 1 << 21;

std::u16string latin1(std::string_view bytes) {
    std::u16string text;
    for (char c : bytes)
        text.push_back(static_cast<unsigned char>(c));
    return text;
}

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

Registry registryOf(const std::vector<ce::posix::RegKeyContents>& contents) {
    Registry r;
    for (const ce::posix::RegKeyContents& key : contents) {
        if (key.names.empty())
            continue;
        auto& values = r[ce::posix::regTextFoldPath(key.path)];
        for (size_t i = 0; i < key.names.size(); ++i)
            values[ce::posix::regTextFold(key.names[i])] = {key.data[i].type, key.data[i].bytes};
    }
    return r;
}

Registry registryOf(const RegFile& f) {
    return registryOf(ce::posix::regFileContents(f));
}

bool sameOrBelow(const std::u16string& key, const std::u16string& base) {
    return key.compare(0, base.size(), base) == 0 &&
           (key.size() == base.size() || key[base.size()] == u'\\');
}

// A key's list of names is gathered from the whole file, as the device
// tool asks for it once: one key's, chosen by the input's size, is
// checked per input.
void checkOnePassAgrees(const RegFile& f, const std::vector<ce::posix::RegKeyContents>& keys,
                        size_t size) {
    if (!keys.empty()) {
        const ce::posix::RegKeyContents& key = keys[size % keys.size()];
        FUZZ_CHECK(ce::posix::regFileValueNames(f, key.path) == key.names);
    }
    size_t step = (keys.size() + kLookups - 1) / kLookups;
    size_t lookups = 0;
    for (size_t k = 0; k < keys.size(); k += std::max<size_t>(step, 1)) {
        const ce::posix::RegKeyContents& key = keys[k];
        FUZZ_CHECK(ce::posix::regFileKeyExists(f, key.path));
        for (size_t i = 0; i < key.names.size() && lookups < kLookups; ++i, ++lookups) {
            RegValueData v;
            FUZZ_CHECK(ce::posix::regFileGetValue(f, key.path, key.names[i], &v));
            FUZZ_CHECK(v.type == key.data[i].type && v.bytes == key.data[i].bytes);
        }
    }
}

// The file as lines, each with what it belongs to, read with the export's
// own line rules (registry_value_text.h): the key whose block it lies in,
// and for the lines of a value (continuations included) the value's name.
struct FileLine {
    std::string bytes;
    std::string eol;
    std::u16string key;    // folded; empty outside a key's block
    std::u16string value;  // folded name, for a value's lines
    bool isValue = false;
};

std::u16string decodeLine(bool utf16, std::string_view bytes) {
    std::u16string text;
    if (utf16) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
    } else if (!ce::utf8ToU16(bytes.data(), bytes.size(), &text)) {
        text = latin1(bytes);
    }
    return text;
}

std::vector<FileLine> linesOf(const RegFile& f) {
    std::string all = ce::posix::regFileSerialize(f);
    const ce::posix::RegFileLayout layout = ce::posix::regFileLayout(f);
    FUZZ_CHECK(all.size() >= layout.bomSize + layout.trailerSize);
    std::string_view body(all);
    body = body.substr(layout.bomSize, body.size() - layout.bomSize - layout.trailerSize);
    const bool utf16 = layout.utf16;
    size_t unit = utf16 ? 2 : 1;
    std::vector<FileLine> lines;
    std::vector<std::u16string> texts;
    size_t start = 0;
    for (size_t i = 0; i + unit <= body.size(); i += unit) {
        bool lf = body[i] == '\n' && (unit == 1 || body[i + 1] == 0);
        if (!lf && i + unit < body.size())
            continue;
        size_t end = lf ? i : body.size();
        size_t eolStart = end;
        if (lf && end >= start + unit && body[end - unit] == '\r' &&
            (unit == 1 || body[end - 1] == 0)) {
            eolStart -= unit;
        }
        FileLine line;
        line.bytes = body.substr(start, eolStart - start);
        line.eol = body.substr(eolStart, (lf ? i + unit : end) - eolStart);
        texts.push_back(decodeLine(utf16, line.bytes));
        lines.push_back(std::move(line));
        start = lf ? i + unit : body.size();
    }
    if (start < body.size()) {  // an odd byte of UTF-16 is in the trailer
        FileLine line;
        line.bytes = body.substr(start);
        texts.push_back(decodeLine(utf16, line.bytes));
        lines.push_back(std::move(line));
    }
    // After the last line end comes an empty line without one: what is left
    // of a blank line that gave up its line end when the lines after it went.
    if (lines.empty() || !lines.back().eol.empty()) {
        lines.emplace_back();
        texts.emplace_back();
    }
    std::u16string key;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::u16string_view t = ce::posix::regTextTrim(texts[i]);
        if (!t.empty() && t[0] == u'[') {
            std::u16string_view path;
            bool deletion = false;
            bool header = ce::posix::regTextParseHeader(t, &path, &deletion);
            key = header && !deletion ? ce::posix::regTextFoldPath(path) : u"";
        }
        lines[i].key = key;
        std::u16string name;
        if (t.empty() || (t[0] != u'"' && t[0] != u'@') ||
            !ce::posix::regTextValueName(texts[i], &name)) {
            continue;
        }
        size_t last = i;
        if (ce::posix::regTextValueContinues(texts[i])) {
            for (;;) {
                size_t next = last + 1;  // comment lines in between are the value's
                while (next < lines.size() && ce::posix::regTextIsComment(texts[next]))
                    ++next;
                if (next == lines.size() || !ce::posix::regTextIsContinuation(texts[next]))
                    break;
                last = next;
                if (!ce::posix::regTextContinuationContinues(ce::posix::regTextTrim(texts[last])))
                    break;
            }
        }
        for (size_t k = i; k <= last; ++k) {
            lines[k].key = key;
            lines[k].value = ce::posix::regTextFold(name);
            lines[k].isValue = true;
        }
        i = last;
    }
    return lines;
}

// The empty line after the last line end, which any edit may take away.
bool holdsNothing(const FileLine& line) {
    return line.bytes.empty() && line.eol.empty();
}

// A line's bytes without the carriage returns and line feeds at its end.
std::string_view withoutLineEnd(const FileLine& line, bool utf16, std::string* joined) {
    *joined = line.bytes + line.eol;
    std::string_view text(*joined);
    size_t unit = utf16 ? 2 : 1;
    while (text.size() >= unit &&
           (text[text.size() - unit] == '\r' || text[text.size() - unit] == '\n') &&
           (unit == 1 || text.back() == 0)) {
        text.remove_suffix(unit);
    }
    return text;
}

// At the end of a file without a final line end, a kept line may gain or
// lose its line end (and a carriage return that ends it becomes part of
// one).
bool sameLine(const std::vector<FileLine>& a, size_t i, const std::vector<FileLine>& b, size_t j,
              bool utf16) {
    if (a[i].bytes == b[j].bytes && a[i].eol == b[j].eol)
        return true;
    if (i + 1 != a.size() && j + 1 != b.size())
        return false;
    std::string x;
    std::string y;
    return withoutLineEnd(a[i], utf16, &x) == withoutLineEnd(b[j], utf16, &y);
}

// A value set: it replaces lines at one place, or adds lines at one place,
// so the file differs from the old one between an unchanged start and end.
// Every old line in between passes `mayGo`.
template <typename MayGo>
void checkLinesReplaced(const std::vector<FileLine>& a, const std::vector<FileLine>& b, bool utf16,
                        MayGo mayGo) {
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && sameLine(a, prefix, b, prefix, utf16))
        ++prefix;
    size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           sameLine(a, a.size() - 1 - suffix, b, b.size() - 1 - suffix, utf16)) {
        ++suffix;
    }
    for (size_t i = prefix; i < a.size() - suffix; ++i)
        FUZZ_CHECK(holdsNothing(a[i]) || mayGo(a[i]));
}

// A deletion: the new file is the old one without some lines, and each of
// them passes `mayGo`.  With lineEndsMayStay, a line that goes may leave
// its line end behind as an empty line (a value's, so that a line after it
// cannot join a line before it that promised a continuation).  Identical lines (blank ones, say)
// make the places ambiguous, so a table over old lines and deletions so far decides.  The new
// file's empty line after its last line end may stand for nothing: when the old file's last line
// had no line end, that empty line is no old line kept but what is left after the lines that went.
template <typename MayGo>
void checkLinesDeleted(const std::vector<FileLine>& a, const std::vector<FileLine>& b, bool utf16,
                       MayGo mayGo, bool lineEndsMayStay = false) {
    size_t n = a.size();
    size_t m = b.size();
    size_t spare = m > 0 && holdsNothing(b[m - 1]) ? 1 : 0;
    FUZZ_CHECK(m <= n + spare);
    size_t deletions = n + spare - m;  // at most
    if ((n + 1) * (deletions + 1) > kMaxAlignCells)
        return;
    // fits[i][d]: old lines from i, after d deletions, give the new lines
    // from i - d.
    std::vector<char> fits((n + 1) * (deletions + 1));
    auto at = [&](size_t i, size_t d) -> char& { return fits[i * (deletions + 1) + d]; };
    for (size_t d = n - std::min(n, m); d <= deletions; ++d)
        at(n, d) = 1;
    for (size_t i = n; i-- > 0;) {
        bool goes = holdsNothing(a[i]) || mayGo(a[i]);
        for (size_t d = 0; d <= deletions && d <= i; ++d) {
            bool kept = i - d < m && sameLine(a, i, b, i - d, utf16) && at(i + 1, d);
            bool emptied = lineEndsMayStay && i - d < m && mayGo(a[i]) && !a[i].eol.empty() &&
                           b[i - d].bytes.empty() && b[i - d].eol == a[i].eol && at(i + 1, d);
            at(i, d) = kept || emptied || (goes && d < deletions && at(i + 1, d + 1));
        }
    }
    FUZZ_CHECK(at(0, 0));
}

// The file's registry, read back from its bytes, must be `want`.
void checkRegistry(const RegFile& file, const Registry& want) {
    std::string bytes = ce::posix::regFileSerialize(file);
    RegFile reread = ce::posix::regFileParse(bytes);
    FUZZ_CHECK(ce::posix::regFileSerialize(reread) == bytes);
    FUZZ_CHECK(registryOf(reread) == want);
}

// Each check is given the registry the file held before its edit.
void checkSet(RegFile* file, const Registry& old, const std::u16string& key,
              const std::u16string& name, uint32_t type, const std::string& data) {
    RegFile before = *file;
    const auto* raw = reinterpret_cast<const uint8_t*>(data.data());
    if (!ce::posix::regFileSetValue(file, key, name, type, raw, data.size())) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == ce::posix::regFileSerialize(before));
        return;
    }
    Registry want = old;
    want[ce::posix::regTextFoldPath(key)][ce::posix::regTextFold(name)] = {
        type, std::vector<uint8_t>(raw, raw + data.size())};
    checkRegistry(*file, want);
    std::u16string foldedKey = ce::posix::regTextFoldPath(key);
    std::u16string foldedName = ce::posix::regTextFold(name);
    const bool utf16 = ce::posix::regFileLayout(before).utf16;
    std::vector<FileLine> oldLines = linesOf(before);
    std::vector<FileLine> newLines = linesOf(*file);
    // A file of blank lines alone is an empty registry, and its first
    // value comes with the header line at its top.
    auto blank = [&](const FileLine& l) {
        return ce::posix::regTextTrim(decodeLine(utf16, l.bytes)).empty();
    };
    if (!ce::posix::regFileBytes(before).empty() &&
        std::all_of(oldLines.begin(), oldLines.end(), blank)) {
        FUZZ_CHECK(!newLines.empty() &&
                   decodeLine(utf16, newLines[0].bytes) == ce::posix::kRegFileHeader);
        newLines.erase(newLines.begin());
    }
    checkLinesReplaced(oldLines, newLines, utf16, [&](const FileLine& l) {
        return l.isValue && l.key == foldedKey && l.value == foldedName;
    });
}

void checkDeleteValue(RegFile* file, const Registry& old, const std::u16string& key,
                      const std::u16string& name) {
    RegFile before = *file;
    Registry want = old;
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
    std::u16string foldedKey = ce::posix::regTextFoldPath(key);
    std::u16string foldedName = ce::posix::regTextFold(name);
    checkLinesDeleted(
        linesOf(before), linesOf(*file), ce::posix::regFileLayout(before).utf16,
        [&](const FileLine& l) { return l.isValue && l.key == foldedKey && l.value == foldedName; },
        true);
}

void checkDeleteKey(RegFile* file, const Registry& old, const std::u16string& key) {
    RegFile before = *file;
    Registry want = old;
    if (!ce::posix::regFileDeleteKey(file, key)) {
        FUZZ_CHECK(ce::posix::regFileSerialize(*file) == ce::posix::regFileSerialize(before));
        return;
    }
    std::u16string folded = ce::posix::regTextFoldPath(key);
    FUZZ_CHECK(!ce::posix::regFileKeyExists(*file, key));
    std::erase_if(want, [&](const auto& k) { return sameOrBelow(k.first, folded); });
    checkRegistry(*file, want);
    // A registry stays one: a file left with no key and no export's header
    // line, but with other text, gets that line first.  (UTF-16 without a
    // byte-order mark is known by its first bytes; what a deletion leaves
    // of it, a lone odd byte say, may read as UTF-8.)
    const RegFile reread = ce::posix::regFileParse(ce::posix::regFileSerialize(*file));
    FUZZ_CHECK(!ce::posix::regFileNotAnExport(before).empty() ||
               ce::posix::regFileLayout(reread).utf16 != ce::posix::regFileLayout(before).utf16 ||
               ce::posix::regFileNotAnExport(reread).empty());

    // The key above stays.  Where it lived only through the headers that
    // went (its own may lie before a deletion of it), it gets a header of
    // its own at the end of the file: then the lines before the first line
    // that went must be as they were, but for the line end of the last of
    // them, which the new header may change.
    std::vector<FileLine> oldLines = linesOf(before);
    std::vector<FileLine> newLines = linesOf(*file);
    const bool utf16 = ce::posix::regFileLayout(before).utf16;
    // The first line stays unless a key's header opens the file, and what a
    // deletion leaves after that is a comment or another header: so a file
    // that now opens with the header line, and did not, was given it.
    auto isHeader = [&](const FileLine& l) {
        return decodeLine(utf16, l.bytes) == ce::posix::kRegFileHeader;
    };
    if (!newLines.empty() && isHeader(newLines[0]) && !oldLines.empty() && !isHeader(oldLines[0])) {
        // No header left named a root key ("[Settings]" may remain).
        for (const std::u16string& path : ce::posix::regFileHeaderPaths(*file))
            FUZZ_CHECK(ce::posix::regTextFold(path.substr(0, 5)) != u"hkey_");
        newLines.erase(newLines.begin());
    }
    auto mayGo = [&](const FileLine& l) { return !l.key.empty() && sameOrBelow(l.key, folded); };
    // Roots are always there, whatever the file holds; a path that no
    // header can hold may go.
    size_t cut = folded.rfind(u'\\');
    std::u16string header;
    if (cut != std::u16string::npos && folded.find(u'\\') < cut &&
        ce::posix::regTextFormatHeader(folded.substr(0, cut), &header)) {
        std::u16string parent = folded.substr(0, cut);
        FUZZ_CHECK(ce::posix::regFileKeyExists(*file, parent));
        auto ofParent = [&](const FileLine& l) { return l.key == parent; };
        if (std::count_if(newLines.begin(), newLines.end(), ofParent) >
            std::count_if(oldLines.begin(), oldLines.end(), ofParent)) {
            size_t first = std::find_if(oldLines.begin(), oldLines.end(), mayGo) - oldLines.begin();
            FUZZ_CHECK(newLines.size() > first);
            for (size_t i = 0; i < first; ++i) {
                FUZZ_CHECK(newLines[i].bytes == oldLines[i].bytes);
                FUZZ_CHECK(i + 1 == first || newLines[i].eol == oldLines[i].eol);
            }
            return;
        }
    }
    checkLinesDeleted(oldLines, newLines, utf16, mayGo);
}

// An import reads its export once, each deletion of a key taking what the
// lines before it made: so it gives what importing the export in pieces
// gives, one piece from each "[-KEY]" line to the next, each with the
// export's header line, into an empty registry and into the file itself.
void checkImportInPieces(const RegFile& file, const std::vector<ce::posix::RegKeyContents>& keys) {
    const ce::posix::RegFileLayout layout = ce::posix::regFileLayout(file);
    const std::string_view all = ce::posix::regFileBytes(file);
    const std::string head(all.substr(0, layout.bomSize));
    std::vector<FileLine> lines = linesOf(file);
    std::vector<std::string> pieces(1, head);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::u16string text = decodeLine(layout.utf16, lines[i].bytes);
        std::u16string_view path;
        bool deletion = false;
        if (i > 0 &&
            ce::posix::regTextParseHeader(ce::posix::regTextTrim(text), &path, &deletion) &&
            deletion) {
            pieces.push_back(head + lines[0].bytes + lines[0].eol);
        }
        pieces.back() += lines[i].bytes + lines[i].eol;
    }
    if (pieces.size() == 1)
        return;  // no deletion of a key: one piece is the whole
    pieces.back() += all.substr(all.size() - layout.trailerSize);
    for (const RegFile& base : {ce::posix::regFileNew(), file}) {
        RegFile whole = base;
        RegFile inPieces = base;
        if (!ce::posix::regFileImport(&whole, file))
            return;
        for (const std::string& piece : pieces) {
            if (!ce::posix::regFileImport(&inPieces, ce::posix::regFileParse(piece)))
                return;  // a piece alone may hold what this file cannot
        }
        FUZZ_CHECK(registryOf(whole) == registryOf(inPieces));
        for (const ce::posix::RegKeyContents& key : keys) {
            std::u16string parent = key.path.substr(0, key.path.rfind(u'\\'));
            for (const std::u16string& path : {key.path, parent}) {
                FUZZ_CHECK(ce::posix::regFileKeyExists(whole, path) ==
                           ce::posix::regFileKeyExists(inPieces, path));
            }
        }
    }
}

// The import is all or nothing: an export that passes the check imports
// whole (into an empty registry it gives the export's registry, and into
// one that holds it already it changes no value), and one that fails it
// names its first bad line: the lines before that one pass.
void checkImport(const RegFile& file, const Registry& registry,
                 const std::vector<ce::posix::RegKeyContents>& keys) {
    ce::posix::RegExportFault fault;
    const bool wellFormed = ce::posix::regCheckExport(file, &fault);
    // The import that checks as it reads finds the same first fault, or
    // imports what the one after the check imports.
    RegFile checked = ce::posix::regFileNew();
    ce::posix::RegExportFault during;
    const bool took = ce::posix::regFileImport(&checked, file, &during);
    FUZZ_CHECK(wellFormed || (!took && during.line == fault.line && during.what == fault.what));
    if (!wellFormed) {
        std::vector<FileLine> lines = linesOf(file);
        FUZZ_CHECK(fault.line >= 1 && fault.line <= lines.size());
        if (fault.line == 1)
            return;
        const ce::posix::RegFileLayout layout = ce::posix::regFileLayout(file);
        std::string prefix(ce::posix::regFileBytes(file).substr(0, layout.bomSize));
        for (size_t i = 0; i + 1 < fault.line; ++i)
            prefix += lines[i].bytes + lines[i].eol;
        ce::posix::RegExportFault before;
        FUZZ_CHECK(ce::posix::regCheckExport(ce::posix::regFileParse(prefix), &before));
        return;
    }
    RegFile imported = ce::posix::regFileNew();
    FUZZ_CHECK(ce::posix::regFileImport(&imported, file) == took);
    if (!took)
        return;  // a name with no form in the file's encoding
    FUZZ_CHECK(ce::posix::regFileSerialize(checked) == ce::posix::regFileSerialize(imported));
    FUZZ_CHECK(registryOf(imported) == registry);
    // Every key but a root, which is always there.
    for (const ce::posix::RegKeyContents& key : keys) {
        FUZZ_CHECK(ce::posix::regTextFoldPath(key.path).find(u'\\') == std::u16string::npos ||
                   ce::posix::regFileKeyExists(imported, key.path));
    }
    RegFile again = imported;
    FUZZ_CHECK(ce::posix::regFileImport(&again, file));
    FUZZ_CHECK(registryOf(again) == registry);
    // Imported into the file itself, whatever its layout, the export gives
    // the registry it holds: every key and value it ends with comes of its
    // own lines, so the merge must change nothing it did not write.
    RegFile self = file;
    if (ce::posix::regFileImport(&self, file))
        checkRegistry(self, registry);
    checkImportInPieces(file, keys);
}

// Whatever the device tool exports, it imports: the export of the whole
// registry passes the export check, and imports into an empty registry as
// the registry without what the export left out, each named; every key
// listed exists there, but for those left out and the keys above them.
void checkExport(const RegFile& file, Registry registry,
                 const std::vector<ce::posix::RegKeyContents>& keys) {
    std::string out;
    std::vector<ce::posix::RegLeftOut> leftOut;
    ce::posix::regFileExport(file, u"", &out, &leftOut);
    const RegFile exported = ce::posix::regFileParse(out);
    ce::posix::RegExportFault fault;
    FUZZ_CHECK(ce::posix::regCheckExport(exported, &fault));
    for (const ce::posix::RegLeftOut& gap : leftOut) {
        FUZZ_CHECK(!gap.reason.empty());
        auto key = registry.find(ce::posix::regTextFoldPath(gap.key));
        if (key == registry.end())
            continue;  // a key without values
        if (!gap.name.empty())
            key->second.erase(ce::posix::regTextFold(gap.name));
        if (gap.name.empty() || key->second.empty())
            registry.erase(key);
    }
    RegFile imported = ce::posix::regFileNew();
    FUZZ_CHECK(ce::posix::regFileImport(&imported, exported));
    FUZZ_CHECK(registryOf(imported) == registry);
    for (const ce::posix::RegKeyContents& key : keys) {
        std::u16string folded = ce::posix::regTextFoldPath(key.path);
        bool gap = std::any_of(leftOut.begin(), leftOut.end(), [&](const auto& g) {
            return sameOrBelow(ce::posix::regTextFoldPath(g.key), folded);
        });
        FUZZ_CHECK(gap || folded.find(u'\\') == std::u16string::npos ||
                   ce::posix::regFileKeyExists(imported, key.path));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RegFile file = ce::posix::regFileParse(input);
    FUZZ_CHECK(ce::posix::regFileSerialize(file) == input);
    std::vector<ce::posix::RegKeyContents> keys = ce::posix::regFileContents(file);
    Registry registry = registryOf(keys);
    checkOnePassAgrees(file, keys, size);
    checkImport(file, registry, keys);
    checkExport(file, registry, keys);
    // A NUL byte makes a file without a byte-order mark that begins with
    // it read as UTF-16 (registry exports that lost their mark begin that
    // way), so an edit that takes the first line away may change how the
    // rest reads.  Text files hold no NUL bytes; such files are only held
    // to the properties above.
    if (!ce::posix::regFileLayout(file).utf16 && input.find('\0') != std::string_view::npos)
        return 0;

    std::string cut(input.substr(0, 12));
    std::u16string cutText = latin1(cut);
    std::string asString(reinterpret_cast<const char*>(cutText.c_str()), (cutText.size() + 1) * 2);

    // One edit per input, chosen by its size: each run stays short, and
    // the fuzzer reaches every kind of edit all the same.
    std::u16string key = keys.empty() ? u"" : keys[size / 6 % keys.size()].path;
    std::vector<std::u16string> names;
    if (!keys.empty())
        names = keys[size / 6 % keys.size()].names;
    std::u16string otherName = latin1(input.substr(size / 2, 8));
    std::u16string newKey = u"HKEY_CURRENT_USER\\Software\\" + latin1(input.substr(size / 3, 6));
    switch (keys.empty() ? 3 : size % 6) {
        case 0:
            checkSet(&file, registry, key, names.empty() ? otherName : names.front(), ce::kRegSz,
                     asString);
            break;
        case 1:
            checkSet(&file, registry, key, names.empty() ? otherName : names.back(), ce::kRegDword,
                     (cut + std::string(4, '\0')).substr(0, 4));
            break;
        case 2:
            checkSet(&file, registry, key, otherName, ce::kRegBinary, cut);
            break;
        case 3: {
            checkSet(&file, registry, newKey, u"", ce::kRegMultiSz,
                     asString + std::string(2, '\0'));
            Registry want = registryOf(file);
            std::u16string below = newKey + u"\\Below";
            if (ce::posix::regFileCreateKey(&file, below, nullptr)) {
                FUZZ_CHECK(ce::posix::regFileKeyExists(file, below));
                checkRegistry(file, want);
            }
            break;
        }
        case 4:
            checkDeleteValue(&file, registry, key,
                             names.empty() ? otherName : names[size % names.size()]);
            break;
        default:
            checkDeleteKey(&file, registry, key);
            break;
    }
    return 0;
}
