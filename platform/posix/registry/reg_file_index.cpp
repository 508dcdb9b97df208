#include "platform/posix/registry/reg_file_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

// A reader's window holds at least this much; a header line is first read
// at this length.
constexpr size_t kRegReadChunk = 256 * 1024;
constexpr size_t kRegHeaderGuess = 512;

char16_t unitAt(std::string_view bytes, size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

}  // namespace

size_t regBlockSourceEnd(const RegFile& f, size_t block) {
    return block + 1 < f.blockStart.size() ? f.blockStart[block + 1] : f.bodyEnd;
}

const RegBlockEdit* regFindEdit(const RegFile& f, size_t block) {
    auto it = std::lower_bound(f.edits.begin(), f.edits.end(), block,
                               [](const RegBlockEdit& e, size_t b) { return e.block < b; });
    return it != f.edits.end() && it->block == block ? &*it : nullptr;
}

size_t regSourceReadInto(const RegSource& source, size_t offset, char* dst, size_t size) {
    if (offset >= source.size)
        return 0;
    size_t have = std::min(size, source.size - offset);
    if (source.bytes != nullptr) {
        std::memcpy(dst, source.bytes->data() + offset, have);
        return have;
    }
    if (source.fd == nullptr || source.readAt == nullptr)
        return 0;
    ssize_t got = source.readAt(*source.fd, dst, have, static_cast<off_t>(offset));
    return got > 0 ? static_cast<size_t>(got) : 0;
}

bool regSourceRead(const RegSource& source, size_t offset, size_t size, std::string* out) {
    size_t base = out->size();
    out->resize(base + size);
    size_t got = regSourceReadInto(source, offset, out->data() + base, size);
    out->resize(base + got);
    return got == size;
}

namespace {

void readBlockBytes(const RegFile& f, size_t block, std::string* out) {
    if (const RegBlockEdit* edit = regFindEdit(f, block)) {
        for (const RegPiece& p : edit->pieces) {
            if (p.own) {
                out->append(p.text);
            } else {
                regSourceRead(f.source, p.offset, p.size, out);
            }
        }
        return;
    }
    size_t start = f.blockStart[block];
    size_t end = regBlockSourceEnd(f, block);
    if (end > start)
        regSourceRead(f.source, start, end - start, out);
}

}  // namespace

void regBlockBytes(const RegFile& f, size_t block, std::string* out) {
    for (const RegCachedBlock& c : f.cache) {
        if (c.block == block) {
            out->append(c.bytes);
            return;
        }
    }
    size_t base = out->size();
    readBlockBytes(f, block, out);
    if (out->size() - base <= kRegCachedBlockMaxBytes) {
        RegCachedBlock& slot = f.cache[f.cacheNext];
        f.cacheNext = (f.cacheNext + 1) % kRegCachedBlocks;
        slot.block = block;
        slot.bytes.assign(*out, base, std::string::npos);
    }
}

void regForgetCachedBlock(const RegFile& f, size_t block) {
    for (RegCachedBlock& c : f.cache) {
        if (c.block == block)
            c.block = static_cast<size_t>(-1);
    }
}

std::string_view regReaderView(RegReader& r, size_t offset, size_t size) {
    if (offset < r.start || offset + size > r.start + r.window.size()) {
        // Moved on: the window starts here, with a good stretch beyond, but
        // none past the end of the source: that part would only be
        // zero-filled and cut off again, a cost for every small registry.
        r.start = offset;
        r.window.clear();
        size_t stretch = std::max(size, kRegReadChunk);
        if (offset < r.source->size)
            stretch = std::min(stretch, std::max(size, r.source->size - offset));
        regSourceRead(*r.source, offset, stretch, &r.window);
    }
    std::string_view w = r.window;
    return w.substr(offset - r.start, std::min(size, w.size() - (offset - r.start)));
}

size_t regFindLineFeed(std::string_view bytes, size_t from, bool utf16) {
    if (!utf16) {
        const void* p = from < bytes.size()
                            ? std::memchr(bytes.data() + from, '\n', bytes.size() - from)
                            : nullptr;
        return p == nullptr ? std::string_view::npos
                            : static_cast<size_t>(static_cast<const char*>(p) - bytes.data());
    }
    // A line feed is the unit 0x000A: the byte 0x0A at an even offset with a
    // zero after it.  Other 0x0A bytes belong to other characters.
    size_t i = from;
    while (i + 1 < bytes.size()) {
        const void* p = std::memchr(bytes.data() + i, '\n', bytes.size() - i - 1);
        if (p == nullptr)
            break;
        size_t at = static_cast<size_t>(static_cast<const char*>(p) - bytes.data());
        if (at % 2 == 0 && bytes[at + 1] == 0)
            return at;
        i = at + 1;
    }
    return std::string_view::npos;
}

RegLineCursor regLineCursor(const RegFile& f, size_t block) {
    RegLineCursor c;
    c.utf16 = f.utf16;
    regBlockBytes(f, block, &c.bytes);
    return c;
}

RegLineCursor regLineCursorVia(const RegFile& f, size_t block, RegReader* reader) {
    if (regFindEdit(f, block) != nullptr)
        return regLineCursor(f, block);
    RegLineCursor c;
    c.utf16 = f.utf16;
    size_t start = f.blockStart[block];
    c.bytes = regReaderView(*reader, start, regBlockSourceEnd(f, block) - start);
    return c;
}

bool regNextLine(RegLineCursor& c, RegLine* line) {
    const size_t unit = c.utf16 ? 2 : 1;
    std::string_view all = c.bytes;
    if (c.pos >= all.size())
        return false;
    size_t lf = regFindLineFeed(all, c.pos, c.utf16);
    size_t stop = lf == std::string_view::npos ? all.size() : lf + unit;
    std::string_view whole = all.substr(c.pos, stop - c.pos);
    line->at = c.pos;
    line->eolSize = 0;
    if (lf != std::string_view::npos) {
        line->eolSize = unit;
        size_t cr = whole.size() - 2 * unit;
        if (whole.size() >= 2 * unit &&
            (c.utf16 ? unitAt(whole, cr) == u'\r' : whole[cr] == '\r')) {
            line->eolSize = 2 * unit;
        }
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
            (*text)[i] = unitAt(bytes, 2 * i);
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
    if (!e->valueLike || !regTextValueContinues(e->text))
        return true;
    std::u16string next;
    for (;;) {
        // Drop the backslash (and blanks around it) that continued the line.
        std::u16string_view joined = regTextTrim(e->text);
        e->text.resize(joined.size() - 1 + static_cast<size_t>(joined.data() - e->text.data()));
        size_t before = c.pos;
        if (!regNextLine(c, &line))
            break;
        regLineText(c.utf16, line.bytes, &next);
        if (!regTextIsContinuation(next)) {
            c.pos = before;
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

bool regNextValue(RegLineCursor& c, RegLogical* e, std::u16string* name, bool* deletion,
                  RegValueData* data) {
    while (regNextLogical(c, e)) {
        if (e->valueLike && regTextParseValue(e->text, name, deletion, data))
            return true;
    }
    return false;
}

uint32_t regNameHash(std::u16string_view foldedPart) {
    uint32_t h = kRegNameHashStart;
    for (char16_t c : foldedPart)
        h = regNameHashUnit(h, c);
    return h;
}

uint32_t regLastPartHash(std::u16string_view folded) {
    size_t sep = folded.rfind(u'\\');
    return regNameHash(sep == std::u16string_view::npos ? folded : folded.substr(sep + 1));
}

bool regKeyPath(std::u16string_view path, RegKeyPath* out) {
    regTextFoldPathInto(path, &out->folded);
    out->parts.clear();
    if (out->folded.empty())
        return false;
    uint32_t h = kRegNameHashStart;
    for (char16_t c : out->folded) {
        if (c == u'\\') {
            out->parts.push_back(h);
            h = kRegNameHashStart;
        } else {
            h = regNameHashUnit(h, c);
        }
    }
    out->parts.push_back(h);
    return true;
}

bool regPathIsSameOrBelow(std::u16string_view key, std::u16string_view base) {
    if (key.size() < base.size() || key.compare(0, base.size(), base) != 0)
        return false;
    return key.size() == base.size() || key[base.size()] == u'\\';
}

bool regBlockHeaderPath(const RegFile& f, size_t block, std::u16string* path, RegReader* reader) {
    if (f.blockKind[block] != RegBlockKind::Key && f.blockKind[block] != RegBlockKind::DeleteKey)
        return false;
    std::string_view first;
    std::string bytes;
    RegReader own;
    size_t size = regBlockSourceEnd(f, block) - f.blockStart[block];
    if (regFindEdit(f, block) != nullptr ||
        (reader == nullptr && size <= kRegCachedBlockMaxBytes)) {
        regBlockBytes(f, block, &bytes);
        first = bytes;
    } else {
        // The header line alone: read on until its line end shows.
        if (reader == nullptr) {
            own.source = &f.source;
            reader = &own;
        }
        size_t start = f.blockStart[block];
        size_t want = std::min(size, kRegHeaderGuess);
        for (;;) {
            first = regReaderView(*reader, start, want);
            if (want >= size || regFindLineFeed(first, 0, f.utf16) != std::string_view::npos)
                break;
            want = std::min(size, want * 2);
        }
    }
    size_t lf = regFindLineFeed(first, 0, f.utf16);
    std::string_view line = first.substr(0, lf == std::string_view::npos ? first.size() : lf);
    std::u16string text;
    regLineText(f.utf16, line, &text);
    bool deletion = false;
    // A carriage return before the line feed is a blank to the header.
    return regTextParseHeader(text, path, &deletion);
}

bool regBlockIsKey(const RegFile& f, size_t block, const RegKeyPath& key) {
    if (f.blockKind[block] != RegBlockKind::Key || f.blockName[block] != key.parts.back())
        return false;
    std::u16string path;
    return regBlockHeaderPath(f, block, &path) && regTextFoldPath(path) == key.folded;
}

bool regBlockDeletesKey(const RegFile& f, size_t block, const RegKeyPath& key) {
    if (f.blockKind[block] != RegBlockKind::DeleteKey)
        return false;
    uint32_t h = f.blockName[block];
    if (std::find(key.parts.begin(), key.parts.end(), h) == key.parts.end())
        return false;
    std::u16string path;
    return regBlockHeaderPath(f, block, &path) &&
           regPathIsSameOrBelow(key.folded, regTextFoldPath(path));
}

ptrdiff_t regLastDeletion(const RegFile& f, const RegKeyPath& key) {
    for (size_t i = f.deletions.size(); i-- > 0;) {
        if (regBlockDeletesKey(f, f.deletions[i], key))
            return static_cast<ptrdiff_t>(f.deletions[i]);
    }
    return -1;
}

RegKeyState regFindKey(const RegFile& f, const RegKeyPath& key) {
    RegKeyState s;
    s.lastDeletion = regLastDeletion(f, key);
    size_t blocks = f.blockKind.size();
    uint32_t name = key.parts.back();
    for (size_t b = static_cast<size_t>(s.lastDeletion + 1); b < blocks; ++b) {
        if (f.blockName[b] == name && regBlockIsKey(f, b, key))
            s.lastHeader = static_cast<ptrdiff_t>(b);
    }
    s.exists = s.lastHeader >= 0;
    // Without a header of its own, a header of a key below it makes it exist.
    std::u16string path;
    std::u16string folded;
    RegReader reader;
    reader.source = &f.source;
    for (size_t b = static_cast<size_t>(s.lastDeletion + 1); b < blocks && !s.exists; ++b) {
        if (f.blockKind[b] == RegBlockKind::Key && regBlockHeaderPath(f, b, &path, &reader)) {
            regTextFoldPathInto(path, &folded);
            s.exists = regPathIsSameOrBelow(folded, key.folded);
        }
    }
    return s;
}

bool regFindValue(const RegFile& f, const RegKeyPath& key, std::u16string_view foldedName,
                  RegValueSpot* spot) {
    bool found = false;
    std::u16string name;
    RegLogical e;
    uint32_t keyName = key.parts.back();
    // A deletion of the key takes every value before it.
    for (size_t b = static_cast<size_t>(regLastDeletion(f, key) + 1); b < f.blockKind.size(); ++b) {
        if (f.blockName[b] != keyName || !regBlockIsKey(f, b, key))
            continue;
        RegLineCursor c = regLineCursor(f, b);
        while (regNextLogical(c, &e)) {
            if (!e.valueLike || !regTextValueName(e.text, &name) ||
                name.size() != foldedName.size() || regTextFold(name) != foldedName) {
                continue;
            }
            bool deletion = false;
            RegValueData data;
            if (!regTextParseValue(e.text, &name, &deletion, &data))
                continue;  // a line not understood changes nothing
            found = !deletion;
            if (found) {
                spot->block = b;
                spot->at = e.at;
                spot->contentEnd = e.contentEnd;
                spot->end = e.end;
                spot->name = name;
                spot->data = std::move(data);
            }
        }
    }
    return found;
}

}  // namespace ce::posix
