// Reading a registry export: the parse into blocks, the queries, and the
// bytes written back.  Changes are in reg_file_edit.cpp.
#include "platform/posix/registry/reg_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/posix/registry/reg_file_index.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

constexpr char16_t kDosEndOfFile = 0x1A;

// Where folded stands in list, or list.size() when it does not.
size_t indexOf(const std::vector<std::u16string>& list, const std::u16string& folded) {
    size_t i = 0;
    while (i < list.size() && list[i] != folded)
        ++i;
    return i;
}

// Applies the value lines of key block b to the values gathered for its key
// so far (their folded names in foldedNames): a value sets its data, a new
// one in the order first written, and a deletion removes it.
// With a reader, the block's bytes come through its window (a walk over every
// block); without one, the block is read on its own.
void gatherBlockValues(const RegFile& file, size_t b, RegKeyContents* key,
                       std::vector<std::u16string>* foldedNames, RegReader* reader = nullptr) {
    RegLineCursor c =
        reader != nullptr ? regLineCursorVia(file, b, reader) : regLineCursor(file, b);
    RegLogical e;
    std::u16string name;
    bool deletion = false;
    RegValueData data;
    while (regNextValue(c, &e, &name, &deletion, &data)) {
        std::u16string folded = regTextFold(name);
        const size_t i = indexOf(*foldedNames, folded);
        const auto at = static_cast<ptrdiff_t>(i);
        if (deletion) {
            if (i < foldedNames->size()) {
                foldedNames->erase(foldedNames->begin() + at);
                key->names.erase(key->names.begin() + at);
                key->data.erase(key->data.begin() + at);
            }
        } else if (i < foldedNames->size()) {
            key->data[i] = std::move(data);
        } else {
            foldedNames->push_back(std::move(folded));
            key->names.push_back(name);
            key->data.push_back(std::move(data));
        }
    }
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

char16_t unitAt(std::string_view s, size_t i, bool utf16) {
    if (!utf16)
        return static_cast<unsigned char>(s[i]);
    return static_cast<char16_t>(static_cast<unsigned char>(s[i]) |
                                 (static_cast<unsigned char>(s[i + 1]) << 8));
}

// The offset of the next "[" unit at or after `from` in the body, or npos.
size_t findBracket(std::string_view body, size_t from, bool utf16) {
    while (from < body.size()) {
        const void* p = std::memchr(body.data() + from, '[', body.size() - from);
        if (p == nullptr)
            break;
        size_t at = static_cast<size_t>(static_cast<const char*>(p) - body.data());
        if (!utf16)
            return at;
        // In UTF-16 the byte must start a unit and have a zero after it.
        if (at % 2 == 0 && at + 1 < body.size() && body[at + 1] == 0)
            return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

// The start of the line holding the "[" at `at` when only blanks stand
// before it on that line; npos when the line opens with something else.
size_t lineOpeningWith(std::string_view body, size_t at, bool utf16) {
    size_t unit = utf16 ? 2 : 1;
    size_t i = at;
    while (i >= unit) {
        char16_t c = unitAt(body, i - unit, utf16);
        if (c == u'\n')
            break;
        if (!regTextIsBlank(c))
            return std::string_view::npos;
        i -= unit;
    }
    return i;
}

// Reads a header line straight from its bytes, as regTextParseHeader and
// regTextFoldPath would read its decoded text: the kind of block and the
// hash of its path's last part, folded.  Only the last part is looked at
// closely; false when it holds anything beyond ASCII, and the line is then
// decoded and read the long way.  (Blanks, brackets and separators are
// ASCII, and no byte of another character equals one of them.)
bool readHeaderQuickly(std::string_view line, bool utf16, RegBlockKind* kind, uint32_t* name) {
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
    *kind = RegBlockKind::BrokenKey;
    *name = 0;
    if (b == e || unitAt(line, b, utf16) != u'[' || close <= b + unit)
        return true;
    size_t inner = b + unit;
    bool deletion = inner < close - unit && unitAt(line, inner, utf16) == u'-';
    if (deletion)
        inner += unit;
    // The last part: what stands between the last separators before "]".
    size_t partEnd = close - unit;
    while (partEnd > inner && unitAt(line, partEnd - unit, utf16) == u'\\')
        partEnd -= unit;
    if (partEnd == inner)
        return true;  // separators only: no header
    size_t partStart = partEnd;
    while (partStart > inner && unitAt(line, partStart - unit, utf16) != u'\\')
        partStart -= unit;
    uint32_t h = kRegNameHashStart;
    for (size_t i = partStart; i < partEnd; i += unit) {
        char16_t c = unitAt(line, i, utf16);
        if (c >= 0x80)
            return false;
        h = regNameHashUnit(h, c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
    }
    *kind = deletion ? RegBlockKind::DeleteKey : RegBlockKind::Key;
    *name = h;
    return true;
}

// Makes room for n elements and puts the room's pages in place at once
// (see regBytesAllocate): the index of a large file is written once, page
// after fresh page, and a fault for each page costs more than the writing.
template <typename T>
void reserveInPlace(std::vector<T>* v, size_t n) {
    v->reserve(n);
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t begin = reinterpret_cast<uintptr_t>(v->data() + v->size());
    uintptr_t end = reinterpret_cast<uintptr_t>(v->data() + v->capacity());
    begin = (begin + page - 1) / page * page;
    end = end / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

// Headers of a real export lie a few hundred bytes apart; the index is
// sized for one in this many bytes up front, and grows past that.
constexpr size_t kBytesPerHeaderGuess = 256;

// The offset just past the last line feed in the bytes, or 0 when none.
size_t afterLastLineFeed(std::string_view bytes, bool utf16) {
    size_t limit = bytes.size();
    while (limit > 0) {
        const void* p = memrchr(bytes.data(), '\n', limit);
        if (p == nullptr)
            return 0;
        size_t at = static_cast<size_t>(static_cast<const char*>(p) - bytes.data());
        if (!utf16)
            return at + 1;
        if (at % 2 == 0 && at + 1 < bytes.size() && bytes[at + 1] == 0)
            return at + 2;
        limit = at;
    }
    return 0;
}

// Adds a block for every line of `lines` (whole lines, from a line start;
// `base` is the source offset of lines[0]) whose text opens with "[".
// Only the "[" characters are visited, not every line.
void indexLines(RegFile* f, std::string_view lines, size_t base, std::u16string* text,
                std::u16string* path, std::u16string* folded) {
    const bool utf16 = f->utf16;
    const size_t unit = utf16 ? 2 : 1;
    size_t at = 0;
    while ((at = findBracket(lines, at, utf16)) != std::string_view::npos) {
        size_t line = lineOpeningWith(lines, at, utf16);
        size_t lf = regFindLineFeed(lines, at, utf16);
        size_t next = lf == std::string_view::npos ? lines.size() : lf + unit;
        if (line == std::string_view::npos) {
            at = next;  // no header can open later on this line
            continue;
        }
        size_t stop = lines.size();
        if (lf != std::string_view::npos) {
            stop = lf;
            if (unitAt(lines, stop - unit, utf16) == u'\r')
                stop -= unit;  // at least the "[" stands before it
        }
        RegBlockKind kind = RegBlockKind::BrokenKey;
        uint32_t name = 0;
        if (!readHeaderQuickly(lines.substr(line, stop - line), utf16, &kind, &name)) {
            regLineText(utf16, lines.substr(line, stop - line), text);
            bool deletion = false;
            if (regTextParseHeader(*text, path, &deletion)) {
                kind = deletion ? RegBlockKind::DeleteKey : RegBlockKind::Key;
                regTextFoldPathInto(*path, folded);
                name = regLastPartHash(*folded);
            }
        }
        if (kind == RegBlockKind::DeleteKey)
            f->deletions.push_back(f->blockKind.size());
        f->blockStart.push_back(base + line);
        f->blockKind.push_back(kind);
        f->blockName.push_back(name);
        at = next;
    }
}

// Reads the body front to back in chunks, cut after a line end, and splits
// it into blocks; notes the line end of the first line that has one, as
// added lines get it (CRLF when no line has one).  False when the source
// could not be read whole.
bool indexBlocks(RegFile* f) {
    const bool utf16 = f->utf16;
    const size_t start = f->bom.size();
    size_t blocks = (f->bodyEnd - start) / kBytesPerHeaderGuess + 1;
    reserveInPlace(&f->blockStart, blocks);
    reserveInPlace(&f->blockKind, blocks);
    reserveInPlace(&f->blockName, blocks);
    f->blockStart.push_back(start);
    f->blockKind.push_back(RegBlockKind::Start);
    f->blockName.push_back(0);

    std::u16string text;
    std::u16string path;
    std::u16string folded;
    // Source bytes from windowStart (a line start) are window[0, filled).
    // Not cleared first: only the bytes read are looked at.  Never larger
    // than the body: small registries are parsed often, and a large block
    // allocated and freed for each parse costs more than the parse.
    size_t capacity = std::max<size_t>(1, std::min(2 * kRegIndexChunkBytes, f->bodyEnd - start));
    std::unique_ptr<char[]> window(new char[capacity]);
    size_t filled = 0;
    size_t windowStart = start;
    size_t next = start;
    bool whole = true;
    for (;;) {
        bool atEnd = next >= f->bodyEnd;
        if (!atEnd) {
            size_t want = std::min(kRegIndexChunkBytes, f->bodyEnd - next);
            if (capacity - filled < want) {
                // A line longer than a chunk.
                capacity = filled + kRegIndexChunkBytes;
                std::unique_ptr<char[]> larger(new char[capacity]);
                std::memcpy(larger.get(), window.get(), filled);
                window = std::move(larger);
            }
            size_t got = regSourceReadInto(f->source, next, window.get() + filled, want);
            if (got < want) {
                whole = false;
                atEnd = true;
            }
            filled += got;
            next += got;
        }
        std::string_view w(window.get(), filled);
        size_t limit = atEnd ? w.size() : afterLastLineFeed(w, utf16);
        if (f->eolStyle.empty() && limit > 0) {
            size_t lf = regFindLineFeed(w, 0, utf16);
            if (lf != std::string_view::npos) {
                bool cr = lf >= (utf16 ? 2 : 1) && unitAt(w, lf - (utf16 ? 2 : 1), utf16) == u'\r';
                f->eolStyle = encodeAscii(utf16, cr ? "\r\n" : "\n");
            }
        }
        indexLines(f, w.substr(0, limit), windowStart, &text, &path, &folded);
        if (atEnd)
            break;
        std::memmove(window.get(), window.get() + limit, filled - limit);
        filled -= limit;
        windowStart += limit;
    }
    if (f->eolStyle.empty())
        f->eolStyle = encodeAscii(utf16, "\r\n");
    return whole;
}

// Reads the encoding, the trailer and the index of the file whose source
// is set.
bool parseSource(RegFile* f) {
    const RegSource& src = f->source;
    std::string head;
    regSourceRead(src, 0, std::min<size_t>(3, src.size), &head);
    if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
        static_cast<unsigned char>(head[1]) == 0xFE) {
        f->utf16 = true;
        f->bom = head.substr(0, 2);
    } else if (head.size() >= 3 && head == "\xEF\xBB\xBF") {
        f->bom = head;
    } else if (head.size() >= 2 && head[0] != 0 && head[1] == 0) {
        f->utf16 = true;  // UTF-16LE that lost its byte-order mark
    }
    size_t start = f->bom.size();
    size_t end = src.size;
    size_t unit = f->utf16 ? 2 : 1;
    std::string tail;
    size_t tailStart = end >= start + 3 ? end - 3 : start;
    if (!regSourceRead(src, tailStart, end - tailStart, &tail))
        return false;
    if (f->utf16 && (end - start) % 2 != 0) {
        f->trailer = tail.substr(tail.size() - 1);
        tail.pop_back();
        --end;
    }
    // A DOS end-of-file byte closing the file is no part of a line, whether
    // it stands alone or right after the last line's text: new lines go
    // before it, and the last line reads without it.
    if (end - start >= unit && tail.size() >= unit &&
        unitAt(tail, tail.size() - unit, f->utf16) == kDosEndOfFile) {
        f->trailer.insert(0, tail.substr(tail.size() - unit));
        end -= unit;
    }
    f->bodyEnd = end;
    return indexBlocks(f);
}

}  // namespace

RegFile regFileParse(std::string_view bytes) {
    RegFile f;
    f.source.bytes = std::make_shared<const std::string>(bytes);
    f.source.size = bytes.size();
    parseSource(&f);
    return f;
}

RegFile regFileParseOpenFile(std::shared_ptr<const int> fd,
                             ssize_t (*readAt)(int fd, void* buf, size_t size, off_t offset),
                             size_t size, bool* ok) {
    RegFile f;
    f.source.fd = std::move(fd);
    f.source.readAt = readAt;
    f.source.size = size;
    *ok = parseSource(&f);
    return f;
}

RegFile regFileNew() {
    std::string text = "\xFF\xFE";
    for (const char16_t* c = kRegFileHeader; *c != 0; ++c) {
        text.push_back(static_cast<char>(*c & 0xff));
        text.push_back(static_cast<char>(*c >> 8));
    }
    text += encodeAscii(true, "\r\n\r\n");
    return regFileParse(text);
}

std::vector<RegSpan> regFileSpans(const RegFile& file) {
    std::vector<RegSpan> spans;
    auto text = [&](std::string_view t) {
        if (!t.empty())
            spans.push_back(RegSpan{t, false, 0, 0});
    };
    auto source = [&](size_t offset, size_t size) {
        if (size > 0)
            spans.push_back(RegSpan{{}, true, offset, size});
    };
    text(file.bom);
    size_t done = file.bom.size();
    for (const RegBlockEdit& edit : file.edits) {
        size_t start = file.blockStart[edit.block];
        if (start > done)
            source(done, start - done);
        for (const RegPiece& piece : edit.pieces) {
            if (piece.own) {
                text(piece.text);
            } else {
                source(piece.offset, piece.size);
            }
        }
        done = std::max(done, regBlockSourceEnd(file, edit.block));
    }
    if (file.bodyEnd > done)
        source(done, file.bodyEnd - done);
    text(file.trailer);
    return spans;
}

std::string regFileSerialize(const RegFile& file) {
    std::string out;
    for (const RegSpan& span : regFileSpans(file)) {
        if (span.fromSource) {
            regSourceRead(file.source, span.offset, span.size, &out);
        } else {
            out.append(span.text);
        }
    }
    return out;
}

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath) {
    RegKeyPath key;
    return regKeyPath(keyPath, &key) && regFindKey(file, key).exists;
}

bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    RegValueSpot spot;
    if (!regFindValue(file, key, regTextFold(name), &spot))
        return false;
    *out = std::move(spot.data);
    return true;
}

std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath) {
    RegKeyContents values;
    std::vector<std::u16string> foldedNames;
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return values.names;
    // A deletion of the key takes every value before it.
    for (size_t b = static_cast<size_t>(regLastDeletion(file, key) + 1); b < file.blockKind.size();
         ++b) {
        if (regBlockIsKey(file, b, key))
            gatherBlockValues(file, b, &values, &foldedNames);
    }
    return values.names;
}

std::vector<std::u16string> regFileHeaderPaths(const RegFile& file) {
    std::vector<std::u16string> paths;
    std::u16string path;
    RegReader reader;
    reader.source = &file.source;
    for (size_t b = 0; b < file.blockKind.size(); ++b) {
        if (file.blockKind[b] == RegBlockKind::Key && regBlockHeaderPath(file, b, &path, &reader))
            paths.push_back(path);
    }
    return paths;
}

std::u16string regFileFirstLine(const RegFile& file) {
    RegReader reader;
    reader.source = &file.source;
    std::string_view bytes = regReaderView(reader, file.bom.size(), kRegIndexChunkBytes);
    size_t lf = regFindLineFeed(bytes, 0, file.utf16);
    std::u16string text;
    regLineText(file.utf16, bytes.substr(0, lf == std::string_view::npos ? bytes.size() : lf),
                &text);
    return text;
}

std::string regFileNotAnExport(const RegFile& file) {
    std::string head;
    regSourceRead(file.source, 0, std::min<size_t>(4, file.source.size), &head);
    auto opens = [&](std::string_view bytes) { return head.compare(0, bytes.size(), bytes) == 0; };
    using namespace std::string_view_literals;
    if (opens("\xFF\xFE\0\0"sv) || opens("\0\0\xFE\xFF"sv))
        return "UTF-32, an encoding it is never written in";
    if (opens("\xFE\xFF"sv) || (head.size() >= 2 && head[0] == 0 && head[1] != 0))
        return "UTF-16 big-endian, an encoding it is never written in";
    for (RegBlockKind kind : file.blockKind) {
        if (kind == RegBlockKind::Key || kind == RegBlockKind::DeleteKey)
            return {};
    }
    std::u16string first(regTextTrim(regFileFirstLine(file)));
    if (first == kRegFileHeader || first == u"REGEDIT4")
        return {};
    // Blank lines alone are an empty registry.
    RegLineCursor c = regLineCursor(file, 0);
    RegLine line;
    std::u16string text;
    while (regNextLine(c, &line)) {
        regLineText(file.utf16, line.bytes, &text);
        if (!regTextTrim(text).empty())
            return "neither the header line of an export nor any key";
    }
    return {};
}

std::vector<RegKeyContents> regFileContents(const RegFile& file) {
    std::vector<RegKeyContents> keys;
    std::vector<std::u16string> foldedKeys;
    std::vector<std::vector<std::u16string>> foldedNames;  // per key
    RegReader reader;
    reader.source = &file.source;
    std::u16string path;
    std::u16string folded;
    for (size_t b = 0; b < file.blockKind.size(); ++b) {
        RegBlockKind kind = file.blockKind[b];
        if (kind != RegBlockKind::Key && kind != RegBlockKind::DeleteKey)
            continue;  // the lines before any header, or after a broken one, belong to no key
        if (!regBlockHeaderPath(file, b, &path, &reader))
            continue;
        regTextFoldPathInto(path, &folded);
        if (kind == RegBlockKind::DeleteKey) {
            for (size_t i = keys.size(); i-- > 0;) {
                if (regPathIsSameOrBelow(foldedKeys[i], folded)) {
                    keys.erase(keys.begin() + static_cast<ptrdiff_t>(i));
                    foldedKeys.erase(foldedKeys.begin() + static_cast<ptrdiff_t>(i));
                    foldedNames.erase(foldedNames.begin() + static_cast<ptrdiff_t>(i));
                }
            }
            continue;
        }
        const size_t current = indexOf(foldedKeys, folded);
        if (current == foldedKeys.size()) {
            keys.push_back(RegKeyContents{path, {}, {}});
            foldedKeys.push_back(folded);
            foldedNames.emplace_back();
        }
        gatherBlockValues(file, b, &keys[current], &foldedNames[current], &reader);
    }
    return keys;
}

}  // namespace ce::posix
