// Reading a registry export: the index built in one pass over the buffer,
// the lines of a block, the lookup of a key's place and the queries.
// Changes are in reg_file_edit.cpp.
#include "platform/posix/registry/reg_file.h"

#include <algorithm>
#include <cstring>

#include "platform/posix/registry/reg_file_data.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

RegFile::RegFile() : data(std::make_unique<RegFileData>()) {}
RegFile::~RegFile() = default;
RegFile::RegFile(const RegFile& other) : data(std::make_unique<RegFileData>(*other.data)) {}
RegFile::RegFile(RegFile&& other) noexcept : data(std::move(other.data)) {
    other.data = std::make_unique<RegFileData>();
}
RegFile& RegFile::operator=(const RegFile& other) {
    if (this != &other)
        *data = *other.data;
    return *this;
}
RegFile& RegFile::operator=(RegFile&& other) noexcept {
    std::swap(data, other.data);
    return *this;
}

namespace {

// FNV-1a over the folded units of a path's parts.
constexpr uint32_t kNameHashStart = 2166136261u;

uint32_t hashUnit(uint32_t h, char16_t c) {
    return (h ^ c) * 16777619u;
}

char16_t unitAt(std::string_view s, size_t i, bool utf16) {
    if (!utf16)
        return static_cast<unsigned char>(s[i]);
    return static_cast<char16_t>(static_cast<unsigned char>(s[i]) |
                                 (static_cast<unsigned char>(s[i + 1]) << 8));
}

// The start of the line holding the "[" at `at` when only blanks stand
// before it on that line (back to `floor`, the end of a byte-order mark);
// npos when the line opens with something else.
size_t lineOpeningWith(std::string_view body, size_t at, size_t floor, bool utf16) {
    size_t unit = utf16 ? 2 : 1;
    size_t i = at;
    while (i >= floor + unit) {
        char16_t c = unitAt(body, i - unit, utf16);
        if (c == u'\n')
            break;
        if (!regTextIsBlank(c))
            return std::string_view::npos;
        i -= unit;
    }
    return i;
}

// Where the path of a header line stands in its bytes, as
// regTextParseHeader reads its decoded text: [inner, end) without the
// separators at its end.  False when the line is no header.  (Blanks,
// brackets and separators are ASCII, and no byte of another character
// equals one of them.)
bool headerPathSpan(std::string_view line, bool utf16, size_t* inner, size_t* end, bool* deletion) {
    const size_t unit = utf16 ? 2 : 1;
    size_t b = 0;
    size_t e = line.size();
    while (b < e && regTextIsBlank(unitAt(line, b, utf16)))
        b += unit;
    while (e > b && regTextIsBlank(unitAt(line, e - unit, utf16)))
        e -= unit;
    size_t close = e;
    while (close > b && unitAt(line, close - unit, utf16) != u']')
        close -= unit;
    if (b == e || unitAt(line, b, utf16) != u'[' || close <= b + unit)
        return false;
    *inner = b + unit;
    *deletion = *inner < close - unit && unitAt(line, *inner, utf16) == u'-';
    if (*deletion)
        *inner += unit;
    *end = close - unit;
    while (*end > *inner && unitAt(line, *end - unit, utf16) == u'\\')
        *end -= unit;
    return *end > *inner;  // separators only: no header
}

// Reads a header line straight from its bytes, as regTextParseHeader and
// regTextFoldPath would read its decoded text: the kind of block, the hash
// of its path's last part, and the hashes of its first part and of its
// first two (regLeadHashes).  False when those parts hold anything beyond
// ASCII; the line is then decoded and read the long way.
bool readHeaderQuickly(std::string_view line, bool utf16, RegBlock* block, RegLeads* leads) {
    const size_t unit = utf16 ? 2 : 1;
    size_t inner = 0;
    size_t end = 0;
    bool deletion = false;
    block->kind = RegBlockKind::BrokenKey;
    if (!headerPathSpan(line, utf16, &inner, &end, &deletion))
        return true;
    size_t i = inner;
    while (unitAt(line, i, utf16) == u'\\')
        i += unit;
    uint32_t h = kNameHashStart;
    int separators = 0;
    for (; i < end; i += unit) {
        char16_t c = unitAt(line, i, utf16);
        if (c == u'\\') {
            while (unitAt(line, i + unit, utf16) == u'\\')
                i += unit;
            if (++separators == 1)
                leads->root = h;
            if (separators == 2)
                break;
        } else if (c >= 0x80) {
            return false;
        }
        h = hashUnit(h, regTextFoldUnit(c));
    }
    leads->head = h;
    if (separators == 0)
        leads->root = h;
    size_t partStart = end;
    while (partStart > inner && unitAt(line, partStart - unit, utf16) != u'\\')
        partStart -= unit;
    h = kNameHashStart;
    for (i = partStart; i < end; i += unit) {
        char16_t c = unitAt(line, i, utf16);
        if (c >= 0x80)
            return false;
        h = hashUnit(h, regTextFoldUnit(c));
    }
    block->kind = deletion ? RegBlockKind::DeleteKey : RegBlockKind::Key;
    block->name = h;
    return true;
}

std::string encodeAscii(bool utf16, std::string_view text) {
    std::string out;
    for (char c : text) {
        out.push_back(c);
        if (utf16)
            out.push_back(0);
    }
    return out;
}

// Adds a block for every line of the body whose text opens with "[",
// visiting only the "[" characters, not every line.
void indexBlocks(RegFileData* d) {
    const bool utf16 = d->utf16;
    const size_t unit = utf16 ? 2 : 1;
    std::string_view body = regBytes(*d, d->bodyEnd);
    d->blocks.push_back(RegBlock{d->bomSize, RegBlockKind::Start, 0});
    d->leads.push_back(RegLeads{});
    std::u16string text;
    size_t at = d->bomSize;
    while ((at = regFindAsciiUnit(body, at, '[', utf16)) != std::string_view::npos) {
        size_t line = lineOpeningWith(body, at, d->bomSize, utf16);
        size_t lf = regFindLineFeed(body, at, utf16);
        size_t next = lf == std::string_view::npos ? body.size() : lf + unit;
        if (line == std::string_view::npos) {
            at = next;  // no header can open later on this line
            continue;
        }
        size_t stop = lf == std::string_view::npos ? body.size() : lf;
        if (stop > at && unitAt(body, stop - unit, utf16) == u'\r')
            stop -= unit;
        RegBlock block{line, RegBlockKind::BrokenKey, 0};
        RegLeads leads;
        std::string_view bytes = body.substr(line, stop - line);
        if (!readHeaderQuickly(bytes, utf16, &block, &leads)) {
            regLineText(utf16, bytes, &text);
            bool deletion = false;
            std::u16string_view path;
            leads = RegLeads{};
            if (regTextParseHeader(text, &path, &deletion)) {
                block.kind = deletion ? RegBlockKind::DeleteKey : RegBlockKind::Key;
                std::u16string folded = regTextFoldPath(path);
                block.name = regLastPartHash(folded);
                regLeadHashes(folded, &leads.root, &leads.head);
            }
        }
        if (block.kind == RegBlockKind::DeleteKey)
            d->deletions.push_back(d->blocks.size());
        d->blocks.push_back(block);
        d->leads.push_back(leads);
        at = next;
    }
    size_t lf = regFindLineFeed(body, d->bomSize, utf16);
    bool cr = lf != std::string_view::npos && lf >= d->bomSize + unit &&
              unitAt(body, lf - unit, utf16) == u'\r';
    d->eol = encodeAscii(utf16, lf == std::string_view::npos || cr ? "\r\n" : "\n");
}

}  // namespace

void regIndex(RegFileData* d) {
    std::string_view b = regBytes(*d);
    d->utf16 = false;
    d->bomSize = 0;
    d->blocks.clear();
    d->deletions.clear();
    d->nextByName.clear();
    d->leads.clear();
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xFE) {
        d->utf16 = true;
        d->bomSize = 2;
    } else if (b.substr(0, 3) == "\xEF\xBB\xBF") {
        d->bomSize = 3;
    } else if (b.size() >= 2 && b[0] != 0 && b[1] == 0) {
        d->utf16 = true;  // UTF-16LE that lost its byte-order mark
    }
    const size_t unit = d->utf16 ? 2 : 1;
    size_t end = b.size();
    if (d->utf16 && (end - d->bomSize) % 2 != 0)
        --end;  // an odd byte at the end is no part of a line
    // A DOS end-of-file byte closing the file is no part of a line, whether
    // it stands alone or right after the last line's text: new lines go
    // before it, and the last line reads without it.
    if (end >= d->bomSize + unit && unitAt(b, end - unit, d->utf16) == kRegDosEndOfFile)
        end -= unit;
    d->bodyEnd = end;
    indexBlocks(d);
    d->regedit4 = regTextTrim(regFirstLine(*d)) == u"REGEDIT4";
    d->eightBitLines = -1;
}

size_t regBlockEnd(const RegFileData& d, size_t block) {
    return block + 1 < d.blocks.size() ? d.blocks[block + 1].start : d.bodyEnd;
}

std::string_view regBlockView(const RegFileData& d, size_t block) {
    size_t start = d.blocks[block].start;
    return regBytes(d).substr(start, regBlockEnd(d, block) - start);
}

void regSplice(RegFileData* d, size_t block, size_t from, size_t to, std::string_view with) {
    size_t start = d->blocks[block].start;
    // One move of the bytes after the stretch, whichever way they go.
    size_t at = start + from;
    size_t removed = to - from;
    if (with.size() > removed)
        d->bytes.insert(d->bytes.begin() + static_cast<ptrdiff_t>(at + removed),
                        with.size() - removed, 0);
    else
        d->bytes.erase(d->bytes.begin() + static_cast<ptrdiff_t>(at + with.size()),
                       d->bytes.begin() + static_cast<ptrdiff_t>(at + removed));
    std::copy(with.begin(), with.end(), d->bytes.begin() + static_cast<ptrdiff_t>(at));
    size_t grown = with.size() - (to - from);  // wraps round for a shrink, as intended
    for (size_t b = block + 1; b < d->blocks.size(); ++b)
        d->blocks[b].start += grown;
    d->bodyEnd += grown;
    ++d->revision;
}

size_t regFindAsciiUnit(std::string_view bytes, size_t from, char ascii, bool utf16) {
    size_t i = from;
    while (i < bytes.size()) {
        const void* p = std::memchr(bytes.data() + i, ascii, bytes.size() - i);
        if (p == nullptr)
            break;
        size_t at = static_cast<size_t>(static_cast<const char*>(p) - bytes.data());
        // In UTF-16 an ASCII character is its byte at an even offset with a
        // zero after it; the same byte elsewhere belongs to another character.
        if (!utf16 || (at % 2 == 0 && at + 1 < bytes.size() && bytes[at + 1] == 0))
            return at;
        i = at + 1;
    }
    return std::string_view::npos;
}

size_t regFindLineFeed(std::string_view bytes, size_t from, bool utf16) {
    return regFindAsciiUnit(bytes, from, '\n', utf16);
}

RegLineCursor regLineCursor(const RegFileData& d, size_t block) {
    return RegLineCursor{d.utf16, regBlockView(d, block), 0};
}

bool regNextLine(RegLineCursor& c, RegLine* line) {
    const size_t unit = c.utf16 ? 2 : 1;
    if (c.pos >= c.bytes.size())
        return false;
    size_t lf = regFindLineFeed(c.bytes, c.pos, c.utf16);
    size_t stop = lf == std::string_view::npos ? c.bytes.size() : lf + unit;
    std::string_view whole = c.bytes.substr(c.pos, stop - c.pos);
    line->at = c.pos;
    line->eolSize = 0;
    if (lf != std::string_view::npos) {
        line->eolSize = unit;
        if (whole.size() >= 2 * unit && unitAt(whole, whole.size() - 2 * unit, c.utf16) == u'\r')
            line->eolSize = 2 * unit;
    }
    line->bytes = whole.substr(0, whole.size() - line->eolSize);
    c.pos = stop;
    return true;
}

void regLineText(bool utf16, std::string_view bytes, std::u16string* text) {
    text->clear();
    if (utf16) {
        text->resize(bytes.size() / 2);
        for (size_t i = 0; i < text->size(); ++i)
            (*text)[i] = unitAt(bytes, 2 * i, true);
        return;
    }
    if (utf8ToU16(bytes.data(), bytes.size(), text))
        return;
    text->clear();
    for (char b : bytes)
        text->push_back(static_cast<unsigned char>(b));
}

bool regNextLogical(RegLineCursor& c, RegLogical* e) {
    RegLine line;
    if (!regNextLine(c, &line))
        return false;
    e->at = line.at;
    e->contentEnd = line.at + line.bytes.size();
    e->end = e->contentEnd + line.eolSize;
    regLineText(c.utf16, line.bytes, &e->text);
    std::u16string_view t = regTextTrim(e->text);
    e->blankOrComment = t.empty() || t[0] == u';';
    e->valueLike = !t.empty() && (t[0] == u'"' || t[0] == u'@');
    e->cutShort = false;
    if (!e->valueLike || !regTextValueContinues(e->text))
        return true;
    std::u16string next;
    for (;;) {
        // Drop the backslash (and blanks around it) that continued the line.
        std::u16string_view joined = regTextTrim(e->text);
        e->text.resize(joined.size() - 1 + static_cast<size_t>(joined.data() - e->text.data()));
        size_t before = c.pos;
        if (!regNextLine(c, &line)) {
            e->cutShort = true;
            break;
        }
        regLineText(c.utf16, line.bytes, &next);
        while (regTextIsComment(next) && regNextLine(c, &line))
            regLineText(c.utf16, line.bytes, &next);
        if (!regTextIsContinuation(next)) {
            c.pos = before;
            e->cutShort = true;
            break;
        }
        e->contentEnd = line.at + line.bytes.size();
        e->end = e->contentEnd + line.eolSize;
        std::u16string_view piece = regTextTrim(next);
        bool more = regTextContinuationContinues(piece);
        e->text.append(piece);
        if (!more)
            break;
    }
    return true;
}

uint32_t regLastPartHash(std::u16string_view folded) {
    size_t sep = folded.rfind(u'\\');
    uint32_t h = kNameHashStart;
    for (char16_t c : sep == std::u16string_view::npos ? folded : folded.substr(sep + 1))
        h = hashUnit(h, c);
    return h;
}

void regLeadHashes(std::u16string_view folded, uint32_t* root, uint32_t* head) {
    uint32_t h = kNameHashStart;
    int separators = 0;
    *root = 0;
    for (char16_t c : folded) {
        if (c == u'\\' && ++separators == 1)
            *root = h;
        if (separators == 2)
            break;
        h = hashUnit(h, c);
    }
    *head = h;
    if (separators == 0)
        *root = h;
}

bool regKeyPath(std::u16string_view path, RegKeyPath* out) {
    regTextFoldPathInto(path, &out->folded);
    out->parts.clear();
    if (out->folded.empty())
        return false;
    uint32_t h = kNameHashStart;
    for (char16_t c : out->folded) {
        if (c == u'\\') {
            out->parts.push_back(h);
            h = kNameHashStart;
        } else {
            h = hashUnit(h, c);
        }
    }
    out->parts.push_back(h);
    regLeadHashes(out->folded, &out->root, &out->head);
    return true;
}

bool regPathIsSameOrBelow(std::u16string_view key, std::u16string_view base) {
    if (key.size() < base.size() || key.compare(0, base.size(), base) != 0)
        return false;
    return key.size() == base.size() || key[base.size()] == u'\\';
}

bool regBlockHeaderPath(const RegFileData& d, size_t block, std::u16string* path) {
    RegBlockKind kind = d.blocks[block].kind;
    if (kind != RegBlockKind::Key && kind != RegBlockKind::DeleteKey)
        return false;
    std::string_view bytes = regBlockView(d, block);
    // The line is read into *path and cut down to the path, in place.
    // A carriage return before the line feed is a blank to the header.
    regLineText(d.utf16, bytes.substr(0, regFindLineFeed(bytes, 0, d.utf16)), path);
    std::u16string_view inner;
    bool deletion = false;
    if (!regTextParseHeader(*path, &inner, &deletion))
        return false;
    size_t from = static_cast<size_t>(inner.data() - path->data());
    path->erase(from + inner.size());
    path->erase(0, from);
    return true;
}

bool regBlockIsKey(const RegFileData& d, size_t block, const RegKeyPath& key) {
    if (d.blocks[block].kind != RegBlockKind::Key || d.blocks[block].name != key.parts.back())
        return false;
    std::u16string path;
    return regBlockHeaderPath(d, block, &path) && regTextFoldPath(path) == key.folded;
}

ptrdiff_t regLastDeletion(const RegFileData& d, const RegKeyPath& key) {
    std::u16string path;
    for (size_t i = d.deletions.size(); i-- > 0;) {
        size_t b = d.deletions[i];
        if (std::find(key.parts.begin(), key.parts.end(), d.blocks[b].name) != key.parts.end() &&
            regBlockHeaderPath(d, b, &path) &&
            regPathIsSameOrBelow(key.folded, regTextFoldPath(path))) {
            return static_cast<ptrdiff_t>(b);
        }
    }
    return -1;
}

namespace {

// Gives the blocks added since the index was built their leads.
void indexLeads(const RegFileData& d) {
    std::u16string path;
    for (size_t b = d.leads.size(); b < d.blocks.size(); ++b) {
        RegLeads leads;
        if (regBlockHeaderPath(d, b, &path))
            regLeadHashes(regTextFoldPath(path), &leads.root, &leads.head);
        d.leads.push_back(leads);
    }
}

}  // namespace

bool regBlockMayBeBelow(const RegFileData& d, size_t block, const RegKeyPath& key, size_t parts) {
    if (d.leads.size() != d.blocks.size())
        indexLeads(d);
    const RegLeads& l = d.leads[block];
    return parts == 0 || (parts == 1 ? l.root == key.root : l.head == key.head);
}

namespace {

void indexNames(const RegFileData& d) {
    if (d.nextByName.size() == d.blocks.size())
        return;
    d.nextByName.assign(d.blocks.size(), 0);
    d.firstByName.clear();
    for (size_t b = d.blocks.size(); b-- > 1;) {
        if (d.blocks[b].kind != RegBlockKind::Key)
            continue;
        auto [at, added] = d.firstByName.try_emplace(d.blocks[b].name, b);
        if (!added) {
            d.nextByName[b] = at->second;
            at->second = static_cast<uint32_t>(b);
        }
    }
}

}  // namespace

RegPlace regLookup(const RegFileData& d, const RegKeyPath& key, const std::u16string* foldedName) {
    RegPlace p;
    p.lastDeletion = regLastDeletion(d, key);
    const size_t first = static_cast<size_t>(p.lastDeletion + 1);
    std::u16string name;
    RegLogical e;
    // Only the headers whose last part hashes alike can be the key's.
    indexNames(d);
    auto named = d.firstByName.find(key.parts.back());
    for (size_t b = named == d.firstByName.end() ? 0 : named->second; b != 0; b = d.nextByName[b]) {
        if (b < first || !regBlockIsKey(d, b, key))
            continue;
        p.lastHeader = static_cast<ptrdiff_t>(b);
        if (foldedName == nullptr)
            continue;
        RegLineCursor c = regLineCursor(d, b);
        while (regNextLogical(c, &e)) {
            if (!e.valueLike || !regTextValueName(e.text, &name) ||
                name.size() != foldedName->size() || regTextFold(name) != *foldedName) {
                continue;
            }
            bool deletion = false;
            RegValueData data;
            if (!regTextParseValue(e.text, &name, &deletion, &data, nullptr,
                                   d.regedit4 && !d.utf16))
                continue;  // a line not understood changes nothing
            p.valueFound = !deletion;
            if (p.valueFound)
                p.value = RegValueSpot{b, e.at, e.contentEnd, e.end, name, std::move(data)};
        }
    }
    p.exists = p.lastHeader >= 0;
    // Without a header of its own, a header of a key below it makes it
    // exist; a value asked for needs no such key.
    std::u16string path;
    for (size_t b = first; b < d.blocks.size() && !p.exists && foldedName == nullptr; ++b) {
        if (d.blocks[b].kind == RegBlockKind::Key &&
            regBlockMayBeBelow(d, b, key, key.parts.size()) && regBlockHeaderPath(d, b, &path)) {
            p.exists = regPathIsSameOrBelow(regTextFoldPath(path), key.folded);
        }
    }
    return p;
}

std::u16string regFirstLine(const RegFileData& d) {
    std::string_view body = regBytes(d, d.bodyEnd);
    size_t lf = regFindLineFeed(body, d.bomSize, d.utf16);
    std::u16string text;
    size_t end = lf == std::string_view::npos ? body.size() : lf;
    regLineText(d.utf16, body.substr(d.bomSize, end - d.bomSize), &text);
    return text;
}

bool regOpensAsExport(const RegFileData& d) {
    std::u16string first = regFirstLine(d);
    std::u16string_view t = regTextTrim(first);
    return t == kRegFileHeader || t == u"REGEDIT4";
}

bool regLacksExportMarks(const RegFileData& d) {
    // A key line marks an export when it names a root key: a section of an
    // INI file ("[Settings]") is no such mark.
    std::u16string path;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        if (regBlockHeaderPath(d, b, &path) && path.size() >= 5 &&
            regTextFold(std::u16string_view(path).substr(0, 5)) == u"hkey_") {
            return false;
        }
    }
    // Blank lines alone are an empty registry.
    return !regOpensAsExport(d) && !regHoldsOnlyBlankLines(d);
}

bool regHoldsOnlyBlankLines(const RegFileData& d) {
    std::string_view body = regBytes(d, d.bodyEnd);
    RegLineCursor c{d.utf16, body.substr(d.bomSize), 0};
    RegLine line;
    std::u16string text;
    while (regNextLine(c, &line)) {
        regLineText(d.utf16, line.bytes, &text);
        if (!regTextTrim(text).empty())
            return false;
    }
    return true;
}

RegFile regFileParseOwned(RegBytes&& bytes) {
    RegFile f;
    f.data->bytes = std::move(bytes);
    regIndex(f.data.get());
    return f;
}

RegFile regFileParse(std::string_view bytes) {
    return regFileParseOwned(RegBytes(bytes.begin(), bytes.end()));
}

RegFile regFileNew() {
    std::string bytes = "\xFF\xFE";
    regAppendText(RegLineEncoding::Utf16, encodeAscii(true, "\r\n"),
                  kRegFileHeader + std::u16string(u"\n"), true, &bytes);
    return regFileParse(bytes);
}

std::string_view regFileBytes(const RegFile& file) {
    return regBytes(*file.data);
}

std::string regFileSerialize(const RegFile& file) {
    return std::string(regBytes(*file.data));
}

RegFileLayout regFileLayout(const RegFile& file) {
    const RegFileData& d = *file.data;
    return RegFileLayout{d.utf16, d.bomSize, d.bytes.size() - d.bodyEnd};
}

size_t regFileRevision(const RegFile& file) {
    return file.data->revision;
}

std::string regFileNotAnExport(const RegFile& file) {
    const RegFileData& d = *file.data;
    std::string_view head = regBytes(d).substr(0, 4);
    auto opens = [&](std::string_view bytes) { return head.substr(0, bytes.size()) == bytes; };
    using namespace std::string_view_literals;
    if (opens("\xFF\xFE\0\0"sv) || opens("\0\0\xFE\xFF"sv))
        return "UTF-32, an encoding it is never written in";
    if (opens("\xFE\xFF"sv) || (head.size() >= 2 && head[0] == 0 && head[1] != 0))
        return "UTF-16 big-endian, an encoding it is never written in";
    if (regLacksExportMarks(d))
        return "neither the header line of an export nor any key of a root";
    return {};
}

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath) {
    RegKeyPath key;
    return regKeyPath(keyPath, &key) && regLookup(*file.data, key, nullptr).exists;
}

bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    std::u16string folded = regTextFold(name);
    RegPlace p = regLookup(*file.data, key, &folded);
    if (!p.valueFound)
        return false;
    *out = std::move(p.value.data);
    return true;
}

}  // namespace ce::posix
