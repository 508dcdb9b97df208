// The device tool's operations on a registry export: deletions, the import
// and the listings.
#include "platform/posix/registry/reg_file_tool.h"

#include <algorithm>
#include <array>
#include <set>
#include <tuple>
#include <utility>

#include "platform/posix/registry/reg_file_data.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// The last line among the block's lines that end at or before `to`: where
// its text ends, whether it has a line end, and whether its text ends with
// a DOS end-of-file byte.
struct LineEnd {
    size_t contentEnd = 0;
    bool hasEnd = false;
    bool endsWithDosEnd = false;
};

bool endsWithDosEnd(std::string_view bytes, bool utf16) {
    size_t unit = utf16 ? 2 : 1;
    return bytes.size() >= unit && bytes[bytes.size() - unit] == kRegDosEndOfFile &&
           (!utf16 || bytes.back() == 0);
}

LineEnd lastLineBefore(const RegFileData& d, size_t block, size_t to) {
    LineEnd last;
    RegLineCursor c = regLineCursor(d, block);
    RegLine line;
    while (regNextLine(c, &line) && line.at + line.bytes.size() + line.eolSize <= to) {
        last = LineEnd{line.at + line.bytes.size(), line.eolSize != 0,
                       endsWithDosEnd(line.bytes, d.utf16)};
    }
    return last;
}

size_t blockSize(const RegFileData& d, size_t block) {
    return regBlockEnd(d, block) - d.blocks[block].start;
}

// The file's last line gives up its line end, if it has one: so a file that
// did not end with a line end still does not once its last lines went.  A
// line whose text ends with a DOS end-of-file byte keeps it, since at the
// very end of the file that byte would stop being part of the line and the
// line would read differently.
void dropLastLineEnd(RegFileData* d) {
    for (size_t b = d->blocks.size(); b-- > 0;) {
        size_t size = blockSize(*d, b);
        if (size == 0)
            continue;
        LineEnd last = lastLineBefore(*d, b, size);
        if (last.hasEnd && !last.endsWithDosEnd)
            regSplice(d, b, last.contentEnd, size, {});
        return;
    }
}

bool endsWithLineEnd(const RegFileData& d) {
    std::u16string text;
    bool hasEnd = true;
    regLastLine(d, &text, &hasEnd);
    return hasEnd;
}

// Removes the block's whole lines [from, to).  Every kept line keeps its
// line end as it is (a file may mix CRLF and LF), but for the file's
// ending, which stays.
void removeLines(RegFileData* d, size_t block, size_t from, size_t to) {
    bool ended = endsWithLineEnd(*d);
    regSplice(d, block, from, to, {});
    if (!ended)
        dropLastLineEnd(d);
}

// True when the logical line before the block offset `at` (where a
// logical line starts) promised a continuation that is not there: once the
// lines from `at` go, a line after them that looks like a continuation
// would join it and change its data.  Its line end then stays, as an empty
// line between them.
bool afterCutShortLine(const RegFileData& d, size_t block, size_t at) {
    RegLineCursor c = regLineCursor(d, block);
    RegLogical e;
    bool cut = false;
    // A comment line goes on waiting with it: the reader passes over
    // comments between continued lines.
    while (c.pos < at && regNextLogical(c, &e)) {
        if (!regTextIsComment(e.text))
            cut = e.cutShort;
    }
    return cut;
}

// A file that holds keys reads as a registry without an export's header
// line; left with neither keys nor that line, but with some text (a
// comment, say), it would read as no export at all and the registry could
// no longer be reached.  Then the header line goes first.
void keepReadableAsExport(RegFileData* d) {
    if (regLacksExportMarks(*d))
        regGiveHeader(d);
}

// Where a key's block that is deleted stops: it goes with the blank lines
// that separated it from what follows; a comment before the next header
// belongs to that header.
size_t takenBlockEnd(const RegFileData& d, size_t block) {
    size_t end = regContentEnd(d, block);
    RegLineCursor c = regLineCursor(d, block);
    c.pos = end;
    RegLine line;
    std::u16string text;
    while (regNextLine(c, &line)) {
        regLineText(d.utf16, line.bytes, &text);
        if (!regTextTrim(text).empty())
            break;
        end = line.at + line.bytes.size() + line.eolSize;
    }
    return end;
}

}  // namespace

const char16_t* regDeviceRoot(std::u16string_view root, bool* shortForm) {
    static constexpr struct {
        const char16_t* full;
        std::u16string_view folded;
        std::u16string_view shortFolded;
    } kRoots[] = {{u"HKEY_LOCAL_MACHINE", u"hkey_local_machine", u"hklm"},
                  {u"HKEY_CURRENT_USER", u"hkey_current_user", u"hkcu"},
                  {u"HKEY_CLASSES_ROOT", u"hkey_classes_root", u"hkcr"},
                  {u"HKEY_USERS", u"hkey_users", u"hku"}};
    std::u16string folded = regTextFold(root);
    for (const auto& r : kRoots) {
        if (folded == r.folded || folded == r.shortFolded) {
            if (shortForm != nullptr)
                *shortForm = folded == r.shortFolded;
            return r.full;
        }
    }
    return nullptr;
}

namespace {

// Removes the lines that give the value its data, one after the other: an
// earlier line of the value shows through once the later one is gone.
bool deleteValueLines(RegFileData* d, std::u16string_view keyPath, std::u16string_view name) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    std::u16string folded = regTextFold(name);
    bool deleted = false;
    for (RegPlace p; (p = regLookup(*d, key, &folded)).valueFound; deleted = true) {
        const RegValueSpot& v = p.value;
        removeLines(d, v.block, v.at, afterCutShortLine(*d, v.block, v.at) ? v.contentEnd : v.end);
    }
    return deleted;
}

}  // namespace

bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name) {
    return deleteValueLines(file->data.get(), keyPath, name);
}

bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath) {
    RegFileData* d = file->data.get();
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || !regLookup(*d, key, nullptr).exists)
        return false;
    // First what goes: the headers of the key and the keys below it, found
    // front to back, and whether a header outside them keeps the key above
    // in being (one that no later deletion of that key or one above takes).
    std::u16string parentFolded = regPathSpelt(key.folded, key.parts.size() - 1, u"");
    bool parentKept = key.parts.size() <= 2;  // a root is always there
    RegKeyPath parentKey;
    ptrdiff_t parentDeleted = -1;
    if (!parentKept && regKeyPath(parentFolded, &parentKey))
        parentDeleted = regLastDeletion(*d, parentKey);
    std::vector<size_t> blocks;
    std::u16string path;
    for (size_t b = 0; b < d->blocks.size(); ++b) {
        if (d->blocks[b].kind != RegBlockKind::Key || !regBlockHeaderPath(*d, b, &path))
            continue;
        std::u16string folded = regTextFoldPath(path);
        if (regPathIsSameOrBelow(folded, key.folded))
            blocks.push_back(b);
        else if (static_cast<ptrdiff_t>(b) > parentDeleted &&
                 regPathIsSameOrBelow(folded, parentFolded))
            parentKept = true;
    }
    // A key above that exists only through the headers being removed would
    // go with them, yet deleting a key never deletes the key above it: that
    // key gets a header of its own, spelt as the file spells it (a path no
    // header can hold goes with the key).
    std::u16string parentPath;
    if (!parentKept && !blocks.empty() && regBlockHeaderPath(*d, blocks.front(), &path)) {
        parentPath = regPathSpelt(path, key.parts.size() - 1, u"");
        std::u16string header;
        std::string bytes;
        if (!regTextFormatHeader(regDisplayPath(*d, parentPath), &header) ||
            !regAppendText(regLineEncodingFor(*d, header), d->eol, header, false, &bytes)) {
            parentPath.clear();
        }
    }
    // Then the blocks go, from the last, so that those before keep their
    // places, and one rule keeps how the file ends: a new header takes over
    // its ending (a file without a final line end ends with the header,
    // without one); else the last line left gives up its line end when the
    // file had none.
    const bool ended = endsWithLineEnd(*d);
    std::vector<size_t> ends;
    for (size_t b : blocks)
        ends.push_back(takenBlockEnd(*d, b));
    for (size_t i = blocks.size(); i-- > 0;) {
        regSplice(d, blocks[i], 0, ends[i], {});
        d->blocks[blocks[i]].kind = RegBlockKind::Removed;
        d->blocks[blocks[i]].name = 0;
    }
    if (!parentPath.empty())
        regAppendKeyBlock(d, parentPath, u"", ended ? 1 : 0);
    else if (!ended)
        dropLastLineEnd(d);
    keepReadableAsExport(d);
    return true;
}

namespace {

// The registry that a stretch of an export's blocks gives, as the registry
// editor reads it top to bottom: each key that has a header of its own, in
// the order of its first header since its last deletion, and each of its
// values, in the order of its first line since then, with the line that
// gives its data.  Paths, names and data are kept in arenas, and a key's
// values are chained, so that reading a large file allocates nothing per
// key or value.  Offsets and sizes are of 32 bits, which halves the
// memory a large file's view fills: a view holds files of up to
// kViewMaxBytes, whose arenas stay below 4 GiB.
constexpr uint32_t kNone = UINT32_MAX;
constexpr size_t kViewMaxBytes = size_t{1} << 30;
struct ViewKey {
    uint32_t firstHeader = 0;
    uint32_t lastHeader = 0;  // where new values of the key go
    uint32_t folded = 0;      // its folded path: units in RegView::paths
    uint32_t foldedSize = 0;
    uint32_t written = kNone;     // its path as first written, in RegView::spellings,
    uint32_t writtenSize = 0;     // once it is needed
    uint32_t firstValue = kNone;  // its values in order, chained by ViewValue::next
    uint32_t lastValue = kNone;
    uint32_t valueCount = 0;
    bool gone = false;     // deleted by a later "[-KEY]"
    bool implied = false;  // kept without a header of its own: see applyDeletion
    bool forced = false;   // an import's deletion gives it a header: see takeDeletion
};

struct ViewSpot {
    uint32_t block = 0;
    uint32_t at = 0;  // block offsets of the logical line
    uint32_t contentEnd = 0;
};

struct ViewValue {
    uint32_t key = 0;
    uint32_t name = 0;  // its name as first written: units in RegView::names
    uint32_t nameSize = 0;
    uint32_t type = 0;
    uint32_t data = 0;  // its data: bytes in RegView::data
    uint32_t dataSize = 0;
    ViewSpot last;               // the line that gives its data
    uint32_t next = kNone;       // the key's next value
    bool removed = false;        // its latest line is a deletion ("Name"=-)
    bool repeated = false;       // an earlier line gave it data too
    bool afterDeletion = false;  // written again after "Name"=- took it away
};

// A prefix of a key's path that exists: its folded length in `key`.
struct ViewPrefix {
    uint32_t key = 0;
    uint32_t length = 0;
};

// Lookups by hash: a table of open addressing from a hash to an entry's
// number, where a hash that happens to match an entry of a different name
// moves on to the next slot.  A slot holds both, so a probe reads one place.
struct HashSlot {
    uint32_t hash = 0;  // 0 for an empty slot; a hash is made odd
    uint32_t entry = kNone;
};
struct HashIndex {
    std::vector<HashSlot> slots;
    size_t used = 0;
};

// The slot of hash h that `same` takes, or the empty one where it would
// go.  A slot left without an entry (a value deleted that never was)
// serves anyone.  The table is never full.
template <typename Slots, typename Same>
auto* probe(Slots& slots, uint32_t h, Same same) {
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        auto& slot = slots[i];
        if (slot.hash == 0 || (slot.hash == h && (slot.entry == kNone || same(slot.entry))))
            return &slot;
    }
}

void growIndex(HashIndex* t, size_t size) {
    std::vector<HashSlot> bigger(size);
    t->used = 0;
    for (const HashSlot& slot : t->slots) {
        if (slot.entry != kNone) {
            *probe(bigger, slot.hash, [](uint32_t) { return false; }) = slot;
            ++t->used;
        }
    }
    t->slots = std::move(bigger);
}

// A slot holds 32 bits of a hash, made odd.
uint32_t slotHash(uint64_t h) {
    return static_cast<uint32_t>(h ^ (h >> 32)) | 1;
}

// The entry of the slot that `same` takes, made (holding kNone) when none does.
template <typename Same>
uint32_t* slotFor(HashIndex* t, uint64_t h, Same same) {
    if ((t->used + 1) * 2 > t->slots.size())
        growIndex(t, std::max<size_t>(64, t->slots.size() * 2));
    HashSlot* slot = probe(t->slots, slotHash(h), same);
    if (slot->hash == 0) {
        slot->hash = slotHash(h);
        ++t->used;
    }
    return &slot->entry;
}

template <typename Same>
uint32_t findIn(const HashIndex& t, uint64_t h, Same same) {
    return t.slots.empty() ? kNone : probe(t.slots, slotHash(h), same)->entry;
}

// Gives the index room for `entries` at once: each doubling on the way
// would fill a table of its own.
void reserveIndex(HashIndex* t, size_t entries) {
    size_t size = 64;
    while (size < 2 * entries + 2)
        size *= 2;
    if (size > t->slots.size())
        growIndex(t, size);
}

struct RegView;
// Orders keys (by number) and paths by their folded text.
struct ByFoldedPath {
    const RegView* v;
    using is_transparent = void;
    std::u16string_view of(uint32_t key) const;
    std::u16string_view of(std::u16string_view path) const { return path; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
        return of(a) < of(b);
    }
};

struct RegView {
    RegView() = default;
    RegView(const RegView&) = delete;  // `live` orders by this view's paths
    RegView& operator=(const RegView&) = delete;
    std::vector<ViewKey> keys;
    std::vector<ViewValue> values;
    std::u16string paths;
    std::u16string names;
    std::u16string spellings;  // the keys' paths as first written
    std::vector<uint8_t> data;
    std::vector<ViewPrefix> prefixes;
    HashIndex keyIndex;     // folded path: its latest key
    HashIndex valueIndex;   // key and folded name: its latest value
    HashIndex prefixIndex;  // folded path of a key or a key above it: prefix
    std::vector<std::pair<size_t, uint64_t>> prefixScratch;  // prefixesOf's
    // The keys that are not gone, by path, so that a deletion finds the
    // keys it takes in one range: made at the first deletion (most files
    // hold none) and kept from then on.
    bool hasLive = false;
    std::set<uint32_t, ByFoldedPath> live{ByFoldedPath{this}};
};

std::u16string_view ByFoldedPath::of(uint32_t key) const {
    return std::u16string_view(v->paths).substr(v->keys[key].folded, v->keys[key].foldedSize);
}

uint64_t hashText(uint64_t h, std::u16string_view text) {
    for (char16_t c : text)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

uint64_t hashOf(std::u16string_view folded) {
    return hashText(14695981039346656037ull, folded);
}

uint64_t hashOf(uint32_t key, std::u16string_view foldedName) {
    return hashText(hashOf(u"") ^ key, foldedName);
}

// The logical line at a spot, read again.
void lineAt(const RegFileData& d, const ViewSpot& s, RegLogical* e) {
    RegLineCursor c = regLineCursor(d, s.block);
    c.pos = s.at;
    regNextLogical(c, e);
}

void foldInto(std::u16string_view s, std::u16string* out) {
    out->resize(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        (*out)[i] = regTextFoldUnit(s[i]);
}

std::u16string_view foldedOf(const RegView& v, const ViewKey& k) {
    return std::u16string_view(v.paths).substr(k.folded, k.foldedSize);
}

// An offset or a size in a view (see kViewMaxBytes).
uint32_t u32(size_t n) {
    return static_cast<uint32_t>(n);
}

// A new key of the view, its path folded, and as first written unless it
// is read from its first header when needed (written empty).
uint32_t addKey(RegView* v, size_t firstHeader, size_t lastHeader, std::u16string_view folded,
                std::u16string_view written) {
    ViewKey k;
    k.firstHeader = u32(firstHeader);
    k.lastHeader = u32(lastHeader);
    k.folded = u32(v->paths.size());
    k.foldedSize = u32(folded.size());
    if (!written.empty()) {
        k.written = u32(v->spellings.size());
        k.writtenSize = u32(written.size());
        v->spellings += written;
    }
    v->keys.push_back(k);
    v->paths += folded;
    const auto key = static_cast<uint32_t>(v->keys.size() - 1);
    if (v->hasLive)
        v->live.insert(key);
    return key;
}

std::u16string_view nameOf(const RegView& v, const ViewValue& value) {
    return std::u16string_view(v.names).substr(value.name, value.nameSize);
}

bool sameName(const RegView& v, const ViewValue& value, std::u16string_view foldedName) {
    std::u16string_view name = nameOf(v, value);
    if (name.size() != foldedName.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (regTextFoldUnit(name[i]) != foldedName[i])
            return false;
    }
    return true;
}

void keepData(RegView* v, ViewValue* value, const RegValueData& data) {
    value->type = data.type;
    value->data = u32(v->data.size());
    value->dataSize = u32(data.bytes.size());
    v->data.insert(v->data.end(), data.bytes.begin(), data.bytes.end());
}

RegValueData dataOf(const RegView& v, const ViewValue& value) {
    const uint8_t* at = v.data.data() + value.data;
    return RegValueData{value.type, std::vector<uint8_t>(at, at + value.dataSize)};
}

uint32_t findKey(const RegView& v, std::u16string_view folded) {
    uint32_t k = findIn(v.keyIndex, hashOf(folded),
                        [&](uint32_t i) { return foldedOf(v, v.keys[i]) == folded; });
    return k != kNone && v.keys[k].gone ? kNone : k;
}

// Most keys hold a few values, and a scan of a key's own list reads memory
// close by where a probe of a table of every value misses the cache: so a
// key's values are found by hash only once it holds more than this many.
constexpr size_t kValuesScanned = 16;

// The key's latest value of that name, whether or not it was removed.
uint32_t latestValue(const RegView& v, uint32_t key, std::u16string_view foldedName) {
    const ViewKey& k = v.keys[key];
    if (k.valueCount > kValuesScanned) {
        return findIn(v.valueIndex, hashOf(key, foldedName), [&](uint32_t j) {
            return v.values[j].key == key && sameName(v, v.values[j], foldedName);
        });
    }
    uint32_t latest = kNone;
    for (uint32_t i = k.firstValue; i != kNone; i = v.values[i].next) {
        if (sameName(v, v.values[i], foldedName))
            latest = i;
    }
    return latest;
}

uint32_t findValue(const RegView& v, uint32_t key, std::u16string_view foldedName) {
    uint32_t i = latestValue(v, key, foldedName);
    return i != kNone && v.values[i].removed ? kNone : i;
}

// Adds `value` to the key's values, as its latest of that name.
void noteValue(RegView* v, uint32_t key, uint32_t value, std::u16string* folded) {
    ViewKey& k = v->keys[key];
    if (k.lastValue == kNone)
        k.firstValue = value;
    else
        v->values[k.lastValue].next = value;
    k.lastValue = value;
    if (++k.valueCount <= kValuesScanned)
        return;
    // The key's values go into the table all at once when it outgrows the
    // scan, the later of a name over the earlier, and one by one after.
    for (uint32_t i = k.valueCount == kValuesScanned + 1 ? k.firstValue : value; i != kNone;
         i = v->values[i].next) {
        foldInto(nameOf(*v, v->values[i]), folded);
        *slotFor(&v->valueIndex, hashOf(key, *folded), [&](uint32_t j) {
            return v->values[j].key == key && sameName(*v, v->values[j], *folded);
        }) = i;
    }
}

// The key's path as first written; valid until the view takes another key.
std::u16string_view writtenPath(const RegFileData& d, RegView* v, uint32_t key) {
    ViewKey& k = v->keys[key];
    if (k.written == kNone) {
        std::u16string path;
        regBlockHeaderPath(d, k.firstHeader, &path);
        k.written = u32(v->spellings.size());
        k.writtenSize = u32(path.size());
        v->spellings += path;
    }
    return std::u16string_view(v->spellings).substr(k.written, k.writtenSize);
}

// The keys at or below a folded path lie in `live` in two runs: the path
// itself, then those that begin with it and a separator (a sibling whose
// name merely begins alike sorts before or after them).
template <typename Set, typename Key>
auto runBelow(Set& set, std::u16string_view folded, Key key) {
    std::u16string from(folded);
    from += u'\\';
    std::u16string to(folded);
    to += static_cast<char16_t>(u'\\' + 1);
    return std::pair(set.lower_bound(key(from)), set.lower_bound(key(to)));
}

// Marks gone the keys at and below the folded path; the first of them (in
// the order of their first headers), or kNone when there were none.
uint32_t takeKeys(RegView* v, std::u16string_view folded) {
    if (!v->hasLive) {
        v->hasLive = true;
        for (uint32_t k = 0; k < v->keys.size(); ++k) {
            if (!v->keys[k].gone)
                v->live.insert(v->live.end(), k);
        }
    }
    uint32_t first = kNone;
    auto take = [&](auto from, auto to) {
        for (auto i = from; i != to; ++i) {
            v->keys[*i].gone = true;
            first = std::min(first, *i);
        }
        v->live.erase(from, to);
    };
    auto same = v->live.find(folded);
    if (same != v->live.end())
        take(same, std::next(same));
    auto [from, to] = runBelow(v->live, folded, [](std::u16string_view p) { return p; });
    take(from, to);
    return first;
}

// True when a key that is not gone lies at or below the folded path.
bool holdsKeyAtOrBelow(const RegView& v, std::u16string_view folded) {
    auto [from, to] = runBelow(v.live, folded, [](std::u16string_view p) { return p; });
    return from != to || v.live.count(folded) != 0;
}

// The parent of a folded path that a deletion may leave without a header
// of its own, or "" for a key right below a root (a root is always there).
std::u16string_view parentBelowRoot(std::u16string_view folded) {
    const size_t cut = folded.rfind(u'\\');
    if (cut == std::u16string_view::npos || folded.find(u'\\') == cut)
        return {};
    return folded.substr(0, cut);
}

// "[-KEY]" takes the key and the keys below it, never the key above: one
// that existed only through them (a key of its own, not a root) goes on
// existing without a header, and the view holds it, spelt as the first of
// them spells it, so that a listing shows it and an export keeps it.
void applyDeletion(const RegFileData& d, RegView* v, std::u16string_view folded) {
    const uint32_t firstGone = takeKeys(v, folded);
    const std::u16string_view parent = parentBelowRoot(folded);
    if (firstGone == kNone || parent.empty() || holdsKeyAtOrBelow(*v, parent))
        return;
    const auto depth = static_cast<size_t>(std::count(parent.begin(), parent.end(), u'\\')) + 1;
    std::u16string written = regPathSpelt(writtenPath(d, v, firstGone), depth, u"");
    uint32_t* slot = slotFor(&v->keyIndex, hashOf(parent),
                             [&](uint32_t i) { return foldedOf(*v, v->keys[i]) == parent; });
    *slot = addKey(v, 0, 0, parent, std::move(written));
    v->keys[*slot].implied = true;
}

// The registry's key headers by folded path, for an import's deletions:
// each "[-KEY]" takes the headers at and below its key from the registry
// at once, and they are all removed in one rebuild before the merge.
struct ImportTarget {
    const RegFileData* d = nullptr;
    bool indexed = false;
    std::u16string paths;  // the folded header paths, one after another
    std::set<std::tuple<std::u16string_view, size_t>> headers;  // (folded path, block)
    std::vector<size_t> taken;                                  // blocks to remove
};

void indexTarget(ImportTarget* t) {
    t->indexed = true;
    const RegFileData& d = *t->d;
    std::vector<std::tuple<size_t, size_t, size_t>> spans;  // (block, at, size) in paths
    std::u16string path;
    std::u16string folded;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        if (d.blocks[b].kind != RegBlockKind::Key || !regBlockHeaderPath(d, b, &path))
            continue;
        regTextFoldPathInto(path, &folded);
        spans.emplace_back(b, t->paths.size(), folded.size());
        t->paths += folded;
    }
    const std::u16string_view all(t->paths);
    for (const auto& [block, at, size] : spans)
        t->headers.emplace(all.substr(at, size), block);
}

// The registry's headers left at and below the folded path, in two runs:
// the path's own, then those below it.
auto headersAtOrBelow(ImportTarget* t, std::u16string_view folded) {
    if (!t->indexed)
        indexTarget(t);
    const auto key = [](std::u16string_view p) { return std::tuple(p, size_t{0}); };
    auto [from, to] = runBelow(t->headers, folded, key);
    return std::array{std::pair(t->headers.lower_bound(key(folded)),
                                t->headers.lower_bound(std::tuple(folded, SIZE_MAX))),
                      std::pair(from, to)};
}

// True when a header left at or below the folded path makes that key exist
// in the registry: one after the key's own last deletion there.
bool targetHolds(ImportTarget* t, std::u16string_view folded) {
    ptrdiff_t deleted = -2;  // looked up at the first header
    for (auto [from, to] : headersAtOrBelow(t, folded)) {
        for (auto h = from; h != to; ++h) {
            if (deleted == -2) {
                RegKeyPath path;
                regKeyPath(folded, &path);
                deleted = regLastDeletion(*t->d, path);
            }
            if (static_cast<ptrdiff_t>(std::get<1>(*h)) > deleted)
                return true;
        }
    }
    return false;
}

// Takes the registry's headers at and below the folded path, as a
// deletion of the key does once the import's earlier lines are in: when
// the key exists then (in the registry, or through a key of the export's
// that was there, `inExport`), every such header goes, those of keys
// deleted long before too.  The first of them in the file, or npos when
// none goes.
size_t takeTargetHeaders(ImportTarget* t, std::u16string_view folded, bool inExport) {
    if (!inExport && !targetHolds(t, folded))
        return std::string_view::npos;
    size_t first = std::string_view::npos;
    for (auto [from, to] : headersAtOrBelow(t, folded)) {
        for (auto h = from; h != to; ++h) {
            t->taken.push_back(std::get<1>(*h));
            first = std::min(first, std::get<1>(*h));
        }
        t->headers.erase(from, to);
    }
    return first;
}

// An import's "[-KEY]": it takes the export's keys read so far and the
// registry's headers at and below the key.  The key above, when it is no
// root and the deletion took all that made it exist, keeps a header of its
// own from then on (spelt as the first header taken spells it): the merge
// writes that header unless the key exists without it by then.
void takeDeletion(const RegFileData& s, RegView* v, std::u16string_view folded,
                  ImportTarget* target, size_t block) {
    const uint32_t firstGone = takeKeys(v, folded);
    const size_t firstHeader = takeTargetHeaders(target, folded, firstGone != kNone);
    const std::u16string_view parent = parentBelowRoot(folded);
    if (parent.empty() || (firstGone == kNone && firstHeader == std::string_view::npos) ||
        holdsKeyAtOrBelow(*v, parent) || targetHolds(target, parent)) {
        return;
    }
    uint32_t* slot = slotFor(&v->keyIndex, hashOf(parent),
                             [&](uint32_t i) { return foldedOf(*v, v->keys[i]) == parent; });
    if (*slot != kNone && !v->keys[*slot].gone)
        return;  // the export gave it a header already
    const auto depth = static_cast<size_t>(std::count(parent.begin(), parent.end(), u'\\')) + 1;
    std::u16string spelling;
    if (firstHeader != std::string_view::npos)
        regBlockHeaderPath(*target->d, firstHeader, &spelling);
    else
        spelling = writtenPath(s, v, firstGone);
    *slot = addKey(v, block, block, parent, regPathSpelt(spelling, depth, u""));
    v->keys[*slot].forced = true;
}

// The check of an export while it is read: the line count so far, and the
// first fault.
constexpr char kCannotBeWritten[] =
    "a key or value that cannot be written into this registry file (it has no form in the "
    "file's encoding, or it is text of an odd number of bytes, which a REGEDIT4 file cannot "
    "hold)";

constexpr char kTooLargeForView[] = "larger than 1 GiB, more than any registry holds";

struct ExportCheck {
    size_t lineNo = 1;  // of the line at `counted`
    size_t counted = 0;
    bool failed = false;
    RegExportFault fault;
};

// Counts the lines up to the buffer offset `at`.
void countLinesTo(const RegFileData& d, size_t at, ExportCheck* check) {
    std::string_view before = regBytes(d, at);
    for (size_t lf; (lf = regFindLineFeed(before, check->counted, d.utf16)) != std::string::npos;) {
        ++check->lineNo;
        check->counted = lf + (d.utf16 ? 2 : 1);
    }
    check->counted = at;
}

// Counts the lines up to the logical line and checks it: a header of a
// device's root, a value understood and inside a key, a comment or a blank
// line, and nothing that the lenient reader would pass over (text after a
// value's data, which the reader ignores).  False with the fault when the
// export is malformed there.
bool checkLine(const RegFileData& d, size_t block, const RegLogical& e, bool understood,
               bool valueTextAfter, bool inKey, bool lastLine, ExportCheck* check) {
    countLinesTo(d, d.blocks[block].start + e.at, check);
    std::string what;
    std::u16string_view path;
    bool deletion = false;
    size_t pos = 0;
    std::u16string_view root;
    std::u16string_view below;
    bool textAfter = false;
    bool shortForm = false;
    size_t cr = e.text.find(u'\r');
    if (block == 0 && e.at == 0) {
        return true;  // the export's header line, checked first
    } else if (cr != std::u16string::npos && !regTextTrim(e.text.substr(cr)).empty()) {
        // The reader takes it as a blank, so what follows it would be lost.
        what = "a carriage return inside the line (not at its end)";
    } else if (block > 0 && e.at == 0) {
        if (!regTextParseHeader(e.text, &path, &deletion, &textAfter))
            what = "a key header that is not understood";
        else if (textAfter)
            what = "text after the key header's closing bracket";
        else if (path.find(u'\0') != std::u16string_view::npos)
            what = "a NUL character in the key's path, which no program can open";
        else if (regPathNextPart(path, &pos, &root), regDeviceRoot(root, &shortForm) == nullptr)
            what = "a root key the device does not have";
        else if (shortForm)
            what =
                "a root key in its short form (an export spells it in full, as "
                "HKEY_LOCAL_MACHINE)";
        else if (deletion && !regPathNextPart(path, &pos, &below))
            what = "a root key that cannot be deleted";  // it would take a whole hive
    } else if (e.valueLike) {
        if (!understood)
            what = "a value that is not understood";
        else if (valueTextAfter)
            what = "text after the value's closing quote";
        else if (e.cutShort)
            what = "a value continued by a backslash at a line's end, but no line continues it";
        else if (e.text.find(u'\0') != std::u16string::npos)
            what = "a NUL character in the value's line, which an export never holds";
        else if (!inKey)
            what = "a value outside any key";
    } else if (!e.blankOrComment) {
        what = "a line that is no key, value, comment or blank line";
    }
    // An odd byte at the end of UTF-16 text is half a character: what is
    // wrong with a last line it ends is that it was cut off.
    if (what.empty())
        return true;
    if (lastLine && e.end == e.contentEnd && d.utf16 && (d.bytes.size() - d.bomSize) % 2 != 0)
        what = "the UTF-16 text is cut off inside a character";
    check->failed = true;
    check->fault = RegExportFault{check->lineNo, std::move(what)};
    return false;
}

// Reads the file into the view.  With a check, every line is checked as
// well and the first fault ends the read.  With a target, the file is an
// export that goes into that registry, and its deletions take the
// registry's keys too (takeDeletion).
void gather(const RegFileData& d, RegView* v, ExportCheck* check = nullptr,
            ImportTarget* target = nullptr) {
    if (d.bytes.size() > kViewMaxBytes) {
        if (check != nullptr) {
            check->failed = true;
            check->fault = RegExportFault{0, kTooLargeForView};
        }
        return;
    }
    std::u16string path;
    std::u16string folded;
    std::u16string name;
    std::u16string foldedName;
    RegLogical e;
    RegValueData data;
    const bool eightBitHex = d.regedit4 && !d.utf16;
    // Room for about what a file of this size holds, so that the arenas
    // grow seldom.
    v->names.reserve(v->names.size() + d.bytes.size() / 16);
    v->data.reserve(v->data.size() + d.bytes.size() / 4);
    v->values.reserve(v->values.size() + d.blocks.size() * 4);
    v->keys.reserve(v->keys.size() + d.blocks.size());
    reserveIndex(&v->keyIndex, v->keys.size() + d.blocks.size());
    v->paths.reserve(v->paths.size() + d.bytes.size() / (d.utf16 ? 6 : 3));
    if (check != nullptr) {
        check->counted = d.bomSize;
        if (!regOpensAsExport(d)) {
            check->failed = true;
            check->fault = RegExportFault{1,
                                          "the first line is neither \"Windows Registry Editor "
                                          "Version 5.00\" nor \"REGEDIT4\""};
            return;
        }
    }
    // Where the last logical line read begins, and where the odd byte of a
    // cut UTF-16 file would stand on it: right after its text, when it has
    // no line end (checked reads only).
    size_t lastAt = std::string::npos;
    size_t lastOpenEnd = std::string::npos;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        const RegBlockKind kind = d.blocks[b].kind;
        // The lines before any header, or after a broken one, belong to no key.
        const bool header = regBlockHeaderPath(d, b, &path);
        if (!header && check == nullptr)
            continue;
        regTextFoldPathInto(path, &folded);
        uint32_t key = kNone;
        if (header && kind == RegBlockKind::Key) {
            uint32_t* slot = slotFor(&v->keyIndex, hashOf(folded), [&](uint32_t i) {
                return foldedOf(*v, v->keys[i]) == folded;
            });
            if (*slot == kNone || v->keys[*slot].gone)
                *slot = addKey(v, b, b, folded, {});
            key = *slot;
            v->keys[key].lastHeader = b;
            v->keys[key].implied = false;
            v->keys[key].forced = false;
        }
        RegLineCursor c = regLineCursor(d, b);
        bool deletion = false;
        while (regNextLogical(c, &e)) {
            bool textAfter = false;
            bool understood = e.valueLike && regTextParseValue(e.text, &name, &deletion, &data,
                                                               &textAfter, eightBitHex);
            bool last = b + 1 == d.blocks.size() && c.pos >= c.bytes.size();
            if (check != nullptr) {
                if (!checkLine(d, b, e, understood, textAfter, key != kNone, last, check))
                    return;
                lastAt = d.blocks[b].start + e.at;
                lastOpenEnd = e.end == e.contentEnd ? d.blocks[b].start + e.end : std::string::npos;
            }
            if (header && kind == RegBlockKind::DeleteKey && e.at == 0) {
                if (target != nullptr)
                    takeDeletion(d, v, folded, target, b);
                else
                    applyDeletion(d, v, folded);
            }
            if (key == kNone || !understood)
                continue;
            foldInto(name, &foldedName);
            uint32_t value = latestValue(*v, key, foldedName);
            ViewSpot spot{u32(b), u32(e.at), u32(e.contentEnd)};
            ViewValue* known = value != kNone ? &v->values[value] : nullptr;
            if (known != nullptr && !known->removed) {
                known->removed = deletion;
                known->repeated = true;
                known->last = spot;
                keepData(v, known, data);
            } else if (known == nullptr || !deletion) {
                // A deletion of a value not read yet is kept too: the
                // registry an export goes into may hold the value.
                ViewValue added{
                    key,   u32(v->names.size()), u32(name.size()), 0, 0, 0, spot, kNone, deletion,
                    false, known != nullptr};
                v->names += name;
                keepData(v, &added, data);
                v->values.push_back(added);
                noteValue(v, key, static_cast<uint32_t>(v->values.size() - 1), &foldedName);
            }
        }
    }
    if (check != nullptr && d.utf16 && (d.bytes.size() - d.bomSize) % 2 != 0) {
        // On the first line of the value or line it cuts, like every
        // fault; after the last line end, on a line of its own.
        const size_t odd = d.bytes.size() - 1;
        countLinesTo(d, odd == lastOpenEnd ? lastAt : odd, check);
        check->failed = true;
        check->fault =
            RegExportFault{check->lineNo, "the UTF-16 text is cut off inside a character"};
    }
}

// The folded length and the hash of each leading part of a folded path,
// shortest first, in one pass.
const std::vector<std::pair<size_t, uint64_t>>& prefixesOf(RegView* v, std::u16string_view folded) {
    std::vector<std::pair<size_t, uint64_t>>& out = v->prefixScratch;
    out.clear();
    uint64_t h = hashOf(u"");
    for (size_t i = 0; i <= folded.size(); ++i) {
        if (i == folded.size() || folded[i] == u'\\')
            out.emplace_back(i, h);
        if (i < folded.size())
            h = hashText(h, folded.substr(i, 1));
    }
    return out;
}

bool isPrefix(const RegView& v, uint32_t i, std::u16string_view prefix) {
    const ViewPrefix& p = v.prefixes[i];
    return p.length == prefix.size() && foldedOf(v, v.keys[p.key]).substr(0, p.length) == prefix;
}

// Notes every leading part of the key's path as existing, unless a key
// before it made it exist already (and with it every part above).
void notePrefixes(RegView* v, uint32_t key) {
    std::u16string_view folded = foldedOf(*v, v->keys[key]);
    const auto& prefixes = prefixesOf(v, folded);
    for (size_t n = prefixes.size(); n-- > 0;) {
        std::u16string_view prefix = folded.substr(0, prefixes[n].first);
        uint32_t* slot = slotFor(&v->prefixIndex, prefixes[n].second,
                                 [&](uint32_t i) { return isPrefix(*v, i, prefix); });
        if (*slot != kNone)
            break;
        *slot = static_cast<uint32_t>(v->prefixes.size());
        v->prefixes.push_back(ViewPrefix{key, u32(prefix.size())});
    }
}

uint32_t findPrefix(const RegView& v, std::u16string_view prefix) {
    return findIn(v.prefixIndex, hashOf(prefix),
                  [&](uint32_t i) { return isPrefix(v, i, prefix); });
}

// The whole file's registry, with the parts of every key's path that exist.
void gatherAll(const RegFileData& d, RegView* v) {
    gather(d, v);
    for (uint32_t k = 0; k < v->keys.size(); ++k) {
        if (!v->keys[k].gone)
            notePrefixes(v, k);
    }
}

// The header to write for a new key: the longest part of it that exists
// keeps its spelling.
std::u16string spelt(const RegFileData& d, RegView* v, std::u16string_view path,
                     std::u16string_view folded) {
    const auto& prefixes = prefixesOf(v, folded);
    for (size_t n = prefixes.size(); n-- > 0;) {
        std::u16string_view prefix = folded.substr(0, prefixes[n].first);
        uint32_t p = findIn(v->prefixIndex, prefixes[n].second,
                            [&](uint32_t i) { return isPrefix(*v, i, prefix); });
        if (p == kNone)
            continue;
        return regPathSpelt(writtenPath(d, v, v->prefixes[p].key), n + 1, path);
    }
    return regPathSpelt(u"", 0, path);
}

struct Edit {
    size_t at;  // buffer offset
    size_t removed;
    std::string bytes;
};

// A value that an export deletes, where the registry gives it data in more
// than one line or in a last line without a line end: it is removed after
// the rebuild, as the device tool's delete removes a value.
struct GoneValue {
    std::u16string key;
    std::u16string name;
};

// Applies the keys and values of a stretch of the export read into `src`
// to the registry, in one rebuild of its buffer: a changed value's lines
// are replaced where they stand, a value deleted loses its line, new
// values go after the last lines of their key's last block, and new keys
// at the end of the file.  What must go after the rebuild is put in *gone;
// after false, *failedAt is where the export gives the key or value that
// this file cannot hold.
bool merge(RegFileData* d, const RegFileData& s, RegView& src, std::vector<GoneValue>* gone,
           size_t* failedAt) {
    if (std::all_of(src.keys.begin(), src.keys.end(), [](const ViewKey& k) { return k.gone; }))
        return true;
    // An empty file becomes a new registry when something goes into it.
    if (regIsEmptyFile(*d))
        regBecomeNew(d);
    else if (regNeedsHeader(*d))
        regGiveHeader(d);
    RegView t;
    // A large registry holds about half as many paths above its keys as it
    // holds keys, and an import mostly the same keys or new ones.
    reserveIndex(&t.prefixIndex, std::max(d->blocks.size(), src.keys.size()) * 3 / 2);
    gatherAll(*d, &t);
    const size_t keysBefore = t.keys.size();
    const RegLineEncoding encoding = regLineEncoding(*d);
    const RegTextForm form = regTextForm(*d);
    t.keys.reserve(t.keys.size() + src.keys.size());
    t.paths.reserve(t.paths.size() + src.paths.size());
    std::vector<Edit> edits;
    // The new keys' blocks go straight after the lines, each after a blank
    // line but the first: into the file's own buffer, which has room for
    // about the export's size (in this file's encoding) when most of it is
    // new.  The blocks keep ending at the lines' end while they are made.
    const size_t bodyEnd = d->bodyEnd;
    const std::string trailer(regBytes(*d).substr(bodyEnd));
    d->bytes.resize(bodyEnd);
    if (d->bytes.size() < s.bytes.size())
        d->bytes.reserve(bodyEnd + s.bytes.size() * (d->utf16 && !s.utf16 ? 2 : 1) + 64);
    RegBytes& added = d->bytes;
    std::u16string text;
    std::u16string foldedName;
    RegLogical e;
    std::u16string name;
    for (ViewKey& k : src.keys) {
        if (k.gone)
            continue;  // a later deletion took it
        const auto srcKey = static_cast<uint32_t>(&k - src.keys.data());
        std::u16string_view folded = foldedOf(src, k);
        uint32_t key = findKey(t, folded);
        // A deletion's parent needs a header only where it would not exist
        // without one; one that no header line can hold goes with the key,
        // as a deletion made by hand lets it.
        const bool forced = k.forced && k.valueCount == 0;
        if (forced && (key != kNone || findPrefix(t, folded) != kNone))
            continue;
        // A key kept without a header takes the export's values under a
        // header of its own, as a new key does.
        if (key != kNone && t.keys[key].implied) {
            if (k.valueCount == 0)
                continue;
            key = kNone;
        }
        // A key that exists already through a key below needs no header;
        // one made to exist by this import's own keys gets its header, as
        // the export gave it.
        uint32_t below = key == kNone && k.valueCount == 0 ? findPrefix(t, folded) : kNone;
        if (below != kNone && t.prefixes[below].key < keysBefore)
            continue;
        const bool isNew = key == kNone;
        if (isNew) {
            std::u16string path = spelt(*d, &t, writtenPath(s, &src, srcKey), folded);
            const size_t before = added.size();
            if (added.size() > bodyEnd)
                regAppendBytes(&added, d->eol);
            if (!regTextFormatHeader(path, &text) ||
                !regAppendText(encoding, d->eol, text, true, &added)) {
                if (forced) {
                    added.resize(before);
                    continue;
                }
                *failedAt = s.blocks[k.firstHeader].start;
                return false;
            }
            key = addKey(&t, 0, 0, folded, std::move(path));
            notePrefixes(&t, key);
        }
        std::string inserted;
        for (uint32_t i = k.firstValue; i != kNone; i = src.values[i].next) {
            const ViewValue& v = src.values[i];
            name = nameOf(src, v);
            if (v.removed) {
                // The export's last word on the value takes it away.
                foldInto(name, &foldedName);
                uint32_t at = isNew || latestValue(src, srcKey, foldedName) != i
                                  ? kNone
                                  : findValue(t, key, foldedName);
                if (at == kNone)
                    continue;
                const ViewValue& old = t.values[at];
                lineAt(*d, old.last, &e);
                size_t to =
                    afterCutShortLine(*d, old.last.block, old.last.at) ? e.contentEnd : e.end;
                if (old.repeated || e.end == e.contentEnd)
                    gone->push_back(GoneValue{std::u16string(writtenPath(s, &src, srcKey)), name});
                else
                    edits.push_back(
                        Edit{d->blocks[old.last.block].start + old.last.at, to - old.last.at, {}});
                continue;
            }
            uint32_t at = kNone;
            if (!isNew) {
                foldInto(name, &foldedName);
                at = findValue(t, key, foldedName);
            }
            const uint8_t* bytesAt = src.data.data() + v.data;
            if (at != kNone) {
                // A value that holds the data already keeps its lines as they are;
                // a changed one keeps the name as it was written there, unless
                // the export deleted it first and so wrote it anew.
                const ViewValue& old = t.values[at];
                if (old.type == v.type && old.dataSize == v.dataSize &&
                    std::equal(bytesAt, bytesAt + v.dataSize, t.data.data() + old.data) &&
                    (!v.afterDeletion || nameOf(t, old) == name)) {
                    continue;
                }
                lineAt(*d, old.last, &e);
                if (!v.afterDeletion)
                    regTextValueName(e.text, &name);
            }
            *failedAt = s.blocks[v.last.block].start + v.last.at;
            if (!regTextFormatValue(name, v.type, bytesAt, v.dataSize, form, &text))
                return false;
            std::string* to = &inserted;
            if (at != kNone) {
                const ViewSpot& spot = t.values[at].last;
                edits.push_back(
                    Edit{d->blocks[spot.block].start + spot.at, spot.contentEnd - spot.at, {}});
                to = &edits.back().bytes;
            }
            if (isNew ? !regAppendText(encoding, d->eol, text, true, &added)
                      : !regAppendText(encoding, d->eol, text, at == kNone, to)) {
                return false;
            }
        }
        if (inserted.empty())
            continue;
        size_t block = t.keys[key].lastHeader;
        size_t at = regPlaceNewLines(*d, block, &inserted);
        edits.push_back(Edit{d->blocks[block].start + at, 0, std::move(inserted)});
    }
    if (edits.empty() && added.size() == bodyEnd) {
        regAppendBytes(&added, trailer);
        return true;
    }
    // What goes between the last line and the new blocks, as
    // regAppendKeyBlock puts them one by one.
    if (added.size() > bodyEnd) {
        std::string before;
        std::u16string last;
        bool lastHasEnd = true;
        bool hasLines = regLastLine(*d, &last, &lastHasEnd);
        for (const Edit& edit : edits) {
            if (edit.at == bodyEnd && !edit.bytes.empty())
                last = u"-";  // values inserted at the end of the file
        }
        const bool openEnd = hasLines && !lastHasEnd;
        if (openEnd)
            before += d->eol;
        if (hasLines && !regTextTrim(last).empty())
            before += d->eol;
        if (openEnd)
            added.resize(added.size() - d->eol.size());
        added.insert(added.begin() + static_cast<ptrdiff_t>(bodyEnd), before.begin(), before.end());
    }
    regAppendBytes(&added, trailer);
    if (!edits.empty()) {
        // New values go in front of the cut-short values at a block's end,
        // where a change of the first of those begins: the insertion first.
        std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
            return std::pair(a.at, a.removed != 0) < std::pair(b.at, b.removed != 0);
        });
        size_t size = d->bytes.size();
        for (const Edit& edit : edits)
            size += edit.bytes.size() - edit.removed;  // wraps round for a shrink, as intended
        RegBytes out;
        out.reserve(size);
        size_t done = 0;
        for (const Edit& edit : edits) {
            regAppendBytes(&out, regBytes(*d).substr(done, edit.at - done));
            regAppendBytes(&out, edit.bytes);
            done = edit.at + edit.removed;
        }
        regAppendBytes(&out, regBytes(*d).substr(done));
        d->bytes = std::move(out);
    }
    size_t revision = d->revision + 1;
    regIndex(d);
    d->revision = revision;
    return true;
}

// Removes the registry's blocks that an import's deletions took, in one
// rebuild, and keeps how the file ends as a deletion of a key does.
void removeTakenBlocks(RegFileData* d, std::vector<size_t> blocks) {
    if (blocks.empty())
        return;
    std::sort(blocks.begin(), blocks.end());
    const bool ended = endsWithLineEnd(*d);
    RegBytes out;
    out.reserve(d->bytes.size());
    size_t done = 0;
    for (size_t b : blocks) {
        const size_t start = d->blocks[b].start;
        regAppendBytes(&out, regBytes(*d).substr(done, start - done));
        done = start + takenBlockEnd(*d, b);
    }
    regAppendBytes(&out, regBytes(*d).substr(done));
    d->bytes = std::move(out);
    const size_t revision = d->revision + 1;
    regIndex(d);
    d->revision = revision;
    if (!ended)
        dropLastLineEnd(d);
    keepReadableAsExport(d);
}

}  // namespace

bool regCheckExport(const RegFile& source, RegExportFault* fault) {
    ExportCheck check;
    RegView v;
    gather(*source.data, &v, &check);
    *fault = check.fault;
    return !check.failed;
}

bool regFileImport(RegFile* file, const RegFile& source, RegExportFault* fault) {
    RegFileData* d = file->data.get();
    const RegFileData& s = *source.data;
    if (d->bytes.size() > kViewMaxBytes) {
        if (fault != nullptr)
            *fault = RegExportFault{0, std::string("the registry is ") + kTooLargeForView};
        return false;
    }
    // The export is read once, checked as it is read; each deletion in it
    // takes what it takes, of the export's keys and of the registry's, as
    // it is met.  Then the registry loses the blocks taken in one rebuild
    // and takes the rest in one merge.
    ExportCheck check;
    ImportTarget target;
    target.d = d;
    RegView src;
    gather(s, &src, fault != nullptr ? &check : nullptr, &target);
    if (check.failed) {
        *fault = check.fault;
        return false;
    }
    removeTakenBlocks(d, std::move(target.taken));
    std::vector<GoneValue> gone;
    size_t failedAt = 0;
    if (!merge(d, s, src, &gone, &failedAt)) {
        if (fault != nullptr) {
            ExportCheck where;
            where.counted = s.bomSize;
            countLinesTo(s, failedAt, &where);
            *fault = RegExportFault{where.lineNo, kCannotBeWritten};
        }
        return false;
    }
    for (const GoneValue& g : gone)
        deleteValueLines(d, g.key, g.name);
    return true;
}

std::vector<RegKeyContents> regFileContents(const RegFile& file) {
    const RegFileData& d = *file.data;
    RegView v;
    gather(d, &v);
    std::vector<RegKeyContents> out;
    for (uint32_t key = 0; key < v.keys.size(); ++key) {
        const ViewKey& k = v.keys[key];
        if (k.gone)
            continue;
        RegKeyContents contents{std::u16string(writtenPath(d, &v, key)), {}, {}};
        for (uint32_t i = k.firstValue; i != kNone; i = v.values[i].next) {
            if (v.values[i].removed)
                continue;
            contents.names.emplace_back(nameOf(v, v.values[i]));
            contents.data.push_back(dataOf(v, v.values[i]));
        }
        out.push_back(std::move(contents));
    }
    return out;
}

void regFileExport(const RegFile& file, std::u16string_view keyPath, std::string* out,
                   std::vector<RegLeftOut>* leftOut) {
    const RegFileData& d = *file.data;
    std::u16string base = regTextFoldPath(keyPath);
    RegView v;
    gather(d, &v);
    std::u16string header;
    std::u16string lines;
    std::string utf8;
    auto put = [&](std::u16string_view line) {
        u16ToUtf8(line.data(), line.size(), &utf8);
        *out += utf8;
        out->push_back('\n');
    };
    // About the file's own size: the lines are much the same.
    out->reserve(out->size() + d.bytes.size() / (d.utf16 ? 2 : 1) + 64);
    put(kRegFileHeader);
    for (uint32_t key = 0; key < v.keys.size(); ++key) {
        const ViewKey& k = v.keys[key];
        if (k.gone || (!base.empty() && !regPathIsSameOrBelow(foldedOf(v, k), base)))
            continue;
        const std::u16string_view path = writtenPath(d, &v, key);
        size_t pos = 0;
        std::u16string_view root;
        bool shortForm = false;
        const char* cannot = nullptr;
        if (path.find(u'\0') != std::u16string::npos)
            cannot = "its path holds a NUL character";
        else if (!regTextFormatHeader(path, &header))
            cannot = "its path holds a line break";
        else if (regPathNextPart(path, &pos, &root), !regDeviceRoot(root, &shortForm) || shortForm)
            cannot = "its root is none of the device's four, spelt in full";
        else if (!u16ToUtf8(header.data(), header.size(), &utf8))
            cannot = "its path has no UTF-8 form";
        if (cannot != nullptr) {
            leftOut->push_back(RegLeftOut{std::u16string(path), {}, cannot});
            continue;
        }
        out->push_back('\n');
        *out += utf8;
        out->push_back('\n');
        for (uint32_t i = k.firstValue; i != kNone; i = v.values[i].next) {
            if (v.values[i].removed)
                continue;
            const ViewValue& value = v.values[i];
            std::u16string_view name = nameOf(v, value);
            if (name.find(u'\0') == std::u16string_view::npos &&
                regTextFormatValue(name, value.type, v.data.data() + value.data, value.dataSize,
                                   RegTextForm{RegLineEncoding::Utf8, false}, &lines)) {
                put(lines);
            } else {
                leftOut->push_back(RegLeftOut{
                    std::u16string(path), std::u16string(name),
                    "its name holds a NUL character or a line break, or has no UTF-8 form"});
            }
        }
    }
}

std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath) {
    RegKeyPath key;
    std::vector<std::u16string> names;
    if (!regKeyPath(keyPath, &key))
        return names;
    for (RegKeyContents& k : regFileContents(file)) {
        if (regTextFoldPath(k.path) == key.folded)
            return std::move(k.names);
    }
    return names;
}

std::vector<std::u16string> regFileHeaderPaths(const RegFile& file) {
    const RegFileData& d = *file.data;
    std::vector<std::u16string> paths;
    std::u16string path;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        if (d.blocks[b].kind == RegBlockKind::Key && regBlockHeaderPath(d, b, &path))
            paths.push_back(path);
    }
    return paths;
}

}  // namespace ce::posix
