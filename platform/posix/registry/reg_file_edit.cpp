// Changing a registry export: values set and deleted, keys created and
// deleted, exports imported.  A change replaces, inserts or removes whole
// lines of one block and leaves every other byte as it was.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_index.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

std::string encodeText(bool utf16, std::u16string_view text) {
    std::string out;
    if (utf16) {
        out.reserve(text.size() * 2);
        for (char16_t c : text) {
            out.push_back(static_cast<char>(c & 0xff));
            out.push_back(static_cast<char>(c >> 8));
        }
    } else {
        u16ToUtf8(text.data(), text.size(), &out);
    }
    return out;
}

// The lines in the file's encoding; false when one has no form in it.
bool encodeAll(bool utf16, const std::vector<std::u16string>& texts,
               std::vector<std::string>* out) {
    out->clear();
    for (const std::u16string& t : texts) {
        std::string bytes;
        if (utf16) {
            bytes = encodeText(true, t);
        } else if (!u16ToUtf8(t.data(), t.size(), &bytes)) {
            return false;
        }
        out->push_back(std::move(bytes));
    }
    return true;
}

// The lines joined by the file's line end, with one after the last when
// `closed`.
std::string joinLines(const RegFile& f, const std::vector<std::string>& lines, bool closed) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (closed || i + 1 < lines.size())
            out += f.eolStyle;
    }
    return out;
}

// A file without any content (an empty registry.reg) is written as a new
// registry, so that it gets a header and the encoding of a new file.
bool isEmptyFile(const RegFile& f) {
    return f.source.size == 0 && f.edits.empty();
}

size_t pieceSize(const RegPiece& p) {
    return p.own ? p.text.size() : p.size;
}

RegPiece subPiece(const RegPiece& p, size_t from, size_t size) {
    RegPiece out;
    out.own = p.own;
    if (p.own) {
        out.text = p.text.substr(from, size);
    } else {
        out.offset = p.offset + from;
        out.size = size;
    }
    return out;
}

// The edit of a block, made (holding the block as read) when it has none.
RegBlockEdit& editOf(RegFile* f, size_t block) {
    auto it = std::lower_bound(f->edits.begin(), f->edits.end(), block,
                               [](const RegBlockEdit& e, size_t b) { return e.block < b; });
    if (it != f->edits.end() && it->block == block)
        return *it;
    RegBlockEdit edit;
    edit.block = block;
    size_t start = f->blockStart[block];
    size_t end = regBlockSourceEnd(*f, block);
    if (end > start) {
        RegPiece whole;
        whole.offset = start;
        whole.size = end - start;
        edit.pieces.push_back(whole);
    }
    return *f->edits.insert(it, std::move(edit));
}

size_t blockSize(const RegFile& f, size_t block) {
    if (const RegBlockEdit* edit = regFindEdit(f, block)) {
        size_t size = 0;
        for (const RegPiece& p : edit->pieces)
            size += pieceSize(p);
        return size;
    }
    return regBlockSourceEnd(f, block) - f.blockStart[block];
}

std::string blockBytes(const RegFile& f, size_t block, size_t from, size_t to) {
    std::string all;
    regBlockBytes(f, block, &all);
    return from < all.size() ? all.substr(from, to - from) : std::string();
}

// Replaces the block's bytes [from, to) by `bytes`.
void splice(RegFile* f, size_t block, size_t from, size_t to, std::string bytes) {
    regForgetCachedBlock(*f, block);
    ++f->revision;
    RegBlockEdit& edit = editOf(f, block);
    std::vector<RegPiece> out;
    size_t at = 0;
    bool placed = false;
    auto place = [&] {
        if (!placed && !bytes.empty()) {
            RegPiece p;
            p.own = true;
            p.text = std::move(bytes);
            out.push_back(std::move(p));
        }
        placed = true;
    };
    for (const RegPiece& p : edit.pieces) {
        size_t size = pieceSize(p);
        if (at < from)
            out.push_back(subPiece(p, 0, std::min(size, from - at)));
        if (at + size >= from)
            place();
        if (at + size > to) {
            size_t keep = std::max(to, at) - at;
            out.push_back(subPiece(p, keep, size - keep));
        }
        at += size;
    }
    place();
    edit.pieces = std::move(out);
}

// The last line of the file: its text and whether it has a line end.
// False when the file has no line.
bool lastLine(const RegFile& f, std::u16string* text, bool* hasEnd) {
    for (size_t b = f.blockKind.size(); b-- > 0;) {
        RegLineCursor c = regLineCursor(f, b);
        RegLine line;
        bool any = false;
        while (regNextLine(c, &line)) {
            any = true;
            regLineText(f.utf16, line.bytes, text);
            *hasEnd = line.eolSize != 0;
        }
        if (any)
            return true;
    }
    return false;
}

// Where a new value of the key goes in its header block: after the last
// logical line that is neither blank nor a comment (a comment before the
// next header usually belongs to that header).
size_t insertPoint(const RegFile& f, size_t block) {
    RegLineCursor c = regLineCursor(f, block);
    RegLogical e;
    size_t end = 0;
    bool header = true;
    while (regNextLogical(c, &e)) {
        if (header || !e.blankOrComment)
            end = e.end;
        header = false;
    }
    return end;
}

// The path to write in a new header: the part that exists already keeps the
// case in which it was first written (since it last came into being).
std::u16string displayPath(const RegFile& f, std::u16string_view keyPath) {
    std::vector<std::u16string_view> parts;
    size_t pos = 0;
    std::u16string_view part;
    while (regPathNextPart(keyPath, &pos, &part))
        parts.push_back(part);
    // For each depth, the first header at or below that many leading parts
    // since their last deletion, found in one pass over the headers.
    std::vector<std::u16string> prefixes;
    std::u16string prefix;
    for (std::u16string_view each : parts) {
        if (!prefix.empty())
            prefix.push_back(u'\\');
        prefix += regTextFold(each);
        prefixes.push_back(prefix);
    }
    std::vector<std::u16string> first(parts.size());
    std::vector<bool> found(parts.size(), false);
    std::u16string path;
    std::u16string folded;
    RegReader reader;
    reader.source = &f.source;
    for (size_t b = 0; b < f.blockKind.size(); ++b) {
        if (!regBlockHeaderPath(f, b, &path, &reader))
            continue;
        regTextFoldPathInto(path, &folded);
        bool deletion = f.blockKind[b] == RegBlockKind::DeleteKey;
        for (size_t d = 0; d < prefixes.size(); ++d) {
            if (deletion && regPathIsSameOrBelow(prefixes[d], folded)) {
                found[d] = false;
            } else if (!deletion && !found[d] && regPathIsSameOrBelow(folded, prefixes[d])) {
                found[d] = true;
                first[d] = path;
            }
        }
    }
    size_t known = 0;
    while (known < parts.size() && found[known])
        ++known;
    std::u16string out;
    if (known > 0) {
        // The first `known` components of that header as written.
        const std::u16string& written = first[known - 1];
        pos = 0;
        for (size_t count = 0; count < known && regPathNextPart(written, &pos, &part); ++count) {
            if (!out.empty())
                out.push_back(u'\\');
            out += part;
        }
    }
    for (size_t i = known; i < parts.size(); ++i) {
        if (!out.empty())
            out.push_back(u'\\');
        out += parts[i];
    }
    return out;
}

// Appends a header (after a blank line unless the file ends with one) and
// the value lines below it, as a new block at the end of the file.  The
// block ends with a line end when `lineEndAtEnd` says so, and by default
// when the file's last line has one.
bool appendKeyBlock(RegFile* f, std::u16string_view keyPath, const RegKeyPath& key,
                    const std::vector<std::u16string>& valueLines,
                    std::optional<bool> lineEndAtEnd = std::nullopt) {
    std::u16string header;
    if (!regTextFormatHeader(displayPath(*f, keyPath), &header))
        return false;
    std::vector<std::u16string> texts = {header};
    texts.insert(texts.end(), valueLines.begin(), valueLines.end());
    std::vector<std::string> bytes;
    if (!encodeAll(f->utf16, texts, &bytes))
        return false;

    std::u16string last;
    bool lastHasEnd = true;
    bool hasLines = lastLine(*f, &last, &lastHasEnd);
    // At the end of a file whose last line has no line end, that line gets
    // one and the last new line goes without.
    std::string tail;
    if (hasLines && !lastHasEnd)
        tail += f->eolStyle;
    if (hasLines && !regTextTrim(last).empty())
        tail += f->eolStyle;  // the blank line before the header
    size_t lastBlock = f->blockKind.size() - 1;
    if (!tail.empty()) {
        size_t end = blockSize(*f, lastBlock);
        splice(f, lastBlock, end, end, std::move(tail));
    }

    RegBlockEdit edit;
    edit.block = f->blockKind.size();
    RegPiece piece;
    piece.own = true;
    piece.text = joinLines(*f, bytes, lineEndAtEnd.value_or(!hasLines || lastHasEnd));
    edit.pieces.push_back(std::move(piece));
    f->blockStart.push_back(f->bodyEnd);
    f->blockKind.push_back(RegBlockKind::Key);
    f->blockName.push_back(key.parts.back());
    f->edits.push_back(std::move(edit));
    ++f->revision;
    return true;
}

// The first `count` parts of a path, joined by single separators: a key
// above another, spelt as the other's header spells it.
std::u16string leadingParts(std::u16string_view path, size_t count) {
    std::u16string out;
    size_t pos = 0;
    std::u16string_view part;
    for (size_t i = 0; i < count && regPathNextPart(path, &pos, &part); ++i) {
        if (!out.empty())
            out.push_back(u'\\');
        out.append(part);
    }
    return out;
}

// An empty file becomes a new registry: the file is replaced, its revision
// goes on.
void replaceWhole(RegFile* f, RegFile fresh) {
    size_t revision = f->revision + fresh.revision + 1;
    *f = std::move(fresh);
    f->revision = revision;
}

// True when the blocks after this one hold no bytes.
bool nothingAfter(const RegFile& f, size_t block) {
    for (size_t b = block + 1; b < f.blockKind.size(); ++b) {
        if (blockSize(f, b) > 0)
            return false;
    }
    return true;
}

// The last line among the block's lines that end at or before `to`: where
// its text ends and its line end.
struct LineEnd {
    bool found = false;
    size_t contentEnd = 0;
    std::string eol;
};

LineEnd lastLineBefore(const RegFile& f, size_t block, size_t to) {
    LineEnd last;
    RegLineCursor c = regLineCursor(f, block);
    RegLine line;
    while (regNextLine(c, &line) && line.at + line.bytes.size() + line.eolSize <= to) {
        last.found = true;
        last.contentEnd = line.at + line.bytes.size();
        last.eol.assign(c.bytes, last.contentEnd, line.eolSize);
    }
    return last;
}

// Removes the block's whole lines [from, to).  When they are the last
// lines of a file that does not end with a line end, the line before them
// gives up its own, so that the file keeps its ending; every other kept
// line keeps its line end as it is (a file may mix CRLF and LF).
void removeLines(RegFile* f, size_t block, size_t from, size_t to) {
    if (!(to == blockSize(*f, block) && nothingAfter(*f, block)) ||
        !lastLineBefore(*f, block, to).eol.empty()) {
        splice(f, block, from, to, std::string());
        return;
    }
    if (from > 0) {
        LineEnd before = lastLineBefore(*f, block, from);
        splice(f, block, before.contentEnd, to, std::string());
        return;
    }
    for (size_t b = block; b-- > 0;) {
        size_t size = blockSize(*f, b);
        if (size == 0)
            continue;
        LineEnd before = lastLineBefore(*f, b, size);
        splice(f, b, before.contentEnd, size, std::string());
        break;
    }
    splice(f, block, 0, to, std::string());
}

}  // namespace

bool regFileCanSetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                        uint32_t type, const uint8_t* data, size_t size) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || (data == nullptr && size != 0))
        return false;
    // An empty file becomes a new registry, which is UTF-16.
    bool utf16 = file.utf16 || isEmptyFile(file);
    std::vector<std::u16string> texts;
    std::u16string header;
    if (!regTextFormatValue(name, type, data, size, !utf16, &texts) ||
        !regTextFormatHeader(keyPath, &header)) {
        return false;
    }
    texts.push_back(header);
    std::vector<std::string> bytes;
    return encodeAll(utf16, texts, &bytes);
}

bool regFileCanCreateKey(const RegFile& file, std::u16string_view keyPath) {
    RegKeyPath key;
    std::u16string header;
    std::vector<std::string> bytes;
    return regKeyPath(keyPath, &key) && regTextFormatHeader(keyPath, &header) &&
           encodeAll(file.utf16 || isEmptyFile(file), {header}, &bytes);
}

bool regFileSetValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name,
                     uint32_t type, const uint8_t* data, size_t size) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || (data == nullptr && size != 0))
        return false;
    if (isEmptyFile(*file)) {
        RegFile fresh = regFileNew();
        if (!regFileSetValue(&fresh, keyPath, name, type, data, size))
            return false;
        replaceWhole(file, std::move(fresh));
        return true;
    }
    RegValueSpot spot;
    bool found = regFindValue(*file, key, regTextFold(name), &spot);
    // An existing value keeps the name as it was first written.
    std::u16string_view written = found ? std::u16string_view(spot.name) : name;
    std::vector<std::u16string> texts;
    if (!regTextFormatValue(written, type, data, size, !file->utf16, &texts))
        return false;
    std::vector<std::string> bytes;
    if (!encodeAll(file->utf16, texts, &bytes))
        return false;

    if (found) {
        // The last line keeps its own line end; the others get the file's.
        std::string lines = joinLines(*file, bytes, false);
        if (lines == blockBytes(*file, spot.block, spot.at, spot.contentEnd))
            return true;
        splice(file, spot.block, spot.at, spot.contentEnd, std::move(lines));
    } else {
        RegKeyState state = regFindKey(*file, key);
        if (state.lastHeader >= 0) {
            size_t block = static_cast<size_t>(state.lastHeader);
            size_t at = insertPoint(*file, block);
            std::u16string last;
            bool lastHasEnd = true;
            // Only the file's last line can lack a line end: inserting after
            // it gives it one, and the new last line goes without.
            bool atFileEnd = at == blockSize(*file, block) && nothingAfter(*file, block) &&
                             lastLine(*file, &last, &lastHasEnd) && !lastHasEnd;
            std::string lines = joinLines(*file, bytes, !atFileEnd);
            if (atFileEnd)
                lines.insert(0, file->eolStyle);
            splice(file, block, at, at, std::move(lines));
        } else if (!appendKeyBlock(file, keyPath, key, texts)) {
            return false;
        }
    }
    return true;
}

bool regFileCreateKey(RegFile* file, std::u16string_view keyPath, bool* created) {
    if (created != nullptr)
        *created = false;
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    if (regFindKey(*file, key).exists)
        return true;
    if (isEmptyFile(*file)) {
        RegFile fresh = regFileNew();
        if (!regFileCreateKey(&fresh, keyPath, created))
            return false;
        replaceWhole(file, std::move(fresh));
        return true;
    }
    if (!appendKeyBlock(file, keyPath, key, {}))
        return false;
    if (created != nullptr)
        *created = true;
    return true;
}

bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    std::u16string foldedName = regTextFold(name);
    bool deleted = false;
    // An earlier line of the value shows through once the later one is
    // gone: that goes too.
    RegValueSpot spot;
    while (regFindValue(*file, key, foldedName, &spot)) {
        removeLines(file, spot.block, spot.at, spot.end);
        deleted = true;
    }
    return deleted;
}

bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || !regFindKey(*file, key).exists)
        return false;
    // The headers of the key and the keys below it, found front to back,
    // and whether a header outside them keeps the key above in being: one
    // that no later deletion of that key (or one above it) takes away.
    std::u16string parentFolded = leadingParts(key.folded, key.parts.size() - 1);
    bool parentKept = key.parts.size() <= 2;  // a root is always there
    RegKeyPath parentKey;
    ptrdiff_t parentDeleted = -1;
    if (!parentKept && regKeyPath(parentFolded, &parentKey))
        parentDeleted = regLastDeletion(*file, parentKey);
    std::vector<size_t> blocks;
    std::u16string path;
    std::u16string folded;
    RegReader reader;
    reader.source = &file->source;
    for (size_t b = 0; b < file->blockKind.size(); ++b) {
        if (file->blockKind[b] == RegBlockKind::Key &&
            regBlockHeaderPath(*file, b, &path, &reader)) {
            regTextFoldPathInto(path, &folded);
            if (regPathIsSameOrBelow(folded, key.folded))
                blocks.push_back(b);
            else if (static_cast<ptrdiff_t>(b) > parentDeleted &&
                     regPathIsSameOrBelow(folded, parentFolded))
                parentKept = true;
        }
    }
    // A key above that exists only through the headers being removed would
    // go with them, yet deleting a key never deletes the key above it: that
    // key gets a header of its own, spelt as the file spells it.
    RegKeyPath parent;
    std::u16string parentPath;
    if (!parentKept && !blocks.empty() &&
        regBlockHeaderPath(*file, blocks.front(), &path, &reader)) {
        parentPath = leadingParts(path, key.parts.size() - 1);
        // A path that no header can hold goes with the key, as before.
        std::u16string header;
        std::vector<std::string> bytes;
        if (!regKeyPath(parentPath, &parent) ||
            !regTextFormatHeader(displayPath(*file, parentPath), &header) ||
            !encodeAll(file->utf16, {header}, &bytes)) {
            parentPath.clear();
        }
    }
    // With a header to append, the lines go as they are and the new header
    // takes over the file's ending: a file without a final line end keeps
    // its blank lines and ends with the header, without a line end.
    std::u16string text;
    bool endsWithLineEnd = true;
    if (!parentPath.empty())
        lastLine(*file, &text, &endsWithLineEnd);
    for (size_t i = blocks.size(); i-- > 0;) {
        size_t b = blocks[i];
        // The header with the block's values, and the blank lines that
        // separated it from what follows; a comment before the next header
        // belongs to that header and stays.
        size_t end = insertPoint(*file, b);
        RegLineCursor c = regLineCursor(*file, b);
        c.pos = end;
        RegLine line;
        while (regNextLine(c, &line)) {
            regLineText(file->utf16, line.bytes, &text);
            if (!regTextTrim(text).empty())
                break;
            end = line.at + line.bytes.size() + line.eolSize;
        }
        if (parentPath.empty())
            removeLines(file, b, 0, end);
        else
            splice(file, b, 0, end, std::string());
        file->blockKind[b] = RegBlockKind::Removed;
        file->blockName[b] = 0;
    }
    // Checked above: the header can be written.
    if (!parentPath.empty())
        appendKeyBlock(file, parentPath, parent, {}, endsWithLineEnd);
    return true;
}

bool regFileImport(RegFile* file, const RegFile& source, size_t* changes) {
    size_t count = 0;
    bool ok = true;
    std::u16string path;
    std::u16string name;
    RegLogical e;
    for (size_t b = 0; ok && b < source.blockKind.size(); ++b) {
        RegBlockKind kind = source.blockKind[b];
        // Values before any header or under a broken one belong to no key.
        if ((kind != RegBlockKind::Key && kind != RegBlockKind::DeleteKey) ||
            !regBlockHeaderPath(source, b, &path)) {
            continue;
        }
        if (kind == RegBlockKind::DeleteKey) {
            count += regFileDeleteKey(file, path) ? 1 : 0;
            continue;
        }
        bool created = false;
        ok = regFileCreateKey(file, path, &created);
        count += created ? 1 : 0;
        RegLineCursor c = regLineCursor(source, b);
        bool deletion = false;
        RegValueData data;
        while (ok && regNextValue(c, &e, &name, &deletion, &data)) {
            if (deletion) {
                count += regFileDeleteValue(file, path, name) ? 1 : 0;
            } else {
                ok = regFileSetValue(file, path, name, data.type, data.bytes.data(),
                                     data.bytes.size());
                count += ok ? 1 : 0;
            }
        }
    }
    if (changes != nullptr)
        *changes = count;
    return ok;
}

}  // namespace ce::posix
