// The device tool's operations on a registry export: deletions, the import
// and the listings.
#include "platform/posix/registry/reg_file_tool.h"

#include <algorithm>
#include <unordered_map>

#include "platform/posix/registry/reg_file_data.h"
#include "platform/posix/registry/registry_value_text.h"

namespace ce::posix {

namespace {

// The last line among the block's lines that end at or before `to`: where
// its text ends, and whether it has a line end.
struct LineEnd {
    size_t contentEnd = 0;
    bool hasEnd = false;
};

LineEnd lastLineBefore(const RegFileData& d, size_t block, size_t to) {
    LineEnd last;
    RegLineCursor c = regLineCursor(d, block);
    RegLine line;
    while (regNextLine(c, &line) && line.at + line.bytes.size() + line.eolSize <= to)
        last = LineEnd{line.at + line.bytes.size(), line.eolSize != 0};
    return last;
}

size_t blockSize(const RegFileData& d, size_t block) {
    return regBlockEnd(d, block) - d.blocks[block].start;
}

// Removes the block's whole lines [from, to).  When they are the last
// lines of a file that does not end with a line end, the line before them
// gives up its own, so that the file keeps its ending; every other kept
// line keeps its line end as it is (a file may mix CRLF and LF).
void removeLines(RegFileData* d, size_t block, size_t from, size_t to) {
    if (!(to == blockSize(*d, block) && regNothingAfter(*d, block)) ||
        lastLineBefore(*d, block, to).hasEnd) {
        regSplice(d, block, from, to, {});
        return;
    }
    if (from > 0) {
        regSplice(d, block, lastLineBefore(*d, block, from).contentEnd, to, {});
        return;
    }
    for (size_t b = block; b-- > 0;) {
        size_t size = blockSize(*d, b);
        if (size == 0)
            continue;
        regSplice(d, b, lastLineBefore(*d, b, size).contentEnd, size, {});
        break;
    }
    regSplice(d, block, 0, to, {});
}

// The first `count` parts of a path, joined by single separators.
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

}  // namespace

bool regIsDeviceRoot(std::u16string_view root) {
    std::u16string folded = regTextFold(root);
    return folded == u"hkey_local_machine" || folded == u"hkey_current_user" ||
           folded == u"hkey_classes_root" || folded == u"hkey_users";
}

bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name) {
    RegFileData* d = file->data.get();
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    std::u16string folded = regTextFold(name);
    bool deleted = false;
    // An earlier line of the value shows through once the later one is
    // gone: that goes too.
    for (RegPlace p; (p = regLookup(*d, key, &folded)).valueFound; deleted = true)
        removeLines(d, p.value.block, p.value.at, p.value.end);
    return deleted;
}

bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath) {
    RegFileData* d = file->data.get();
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || !regLookup(*d, key, nullptr).exists)
        return false;
    // First what goes: the headers of the key and the keys below it, found
    // front to back, and whether a header outside them keeps the key above
    // in being (one that no later deletion of that key or one above takes).
    std::u16string parentFolded = leadingParts(key.folded, key.parts.size() - 1);
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
        parentPath = leadingParts(path, key.parts.size() - 1);
        std::u16string header;
        std::vector<std::string> bytes;
        if (!regTextFormatHeader(regDisplayPath(*d, parentPath), &header) ||
            !regEncodeAll(d->utf16, {header}, &bytes)) {
            parentPath.clear();
        }
    }
    // Each block goes with the blank lines that separated it from what
    // follows; a comment before the next header belongs to that header.
    struct Stretch {
        size_t block;
        size_t end;
    };
    std::vector<Stretch> stretches;
    std::u16string text;
    for (size_t b : blocks) {
        size_t end = regInsertPoint(*d, b);
        RegLineCursor c = regLineCursor(*d, b);
        c.pos = end;
        RegLine line;
        while (regNextLine(c, &line)) {
            regLineText(d->utf16, line.bytes, &text);
            if (!regTextTrim(text).empty())
                break;
            end = line.at + line.bytes.size() + line.eolSize;
        }
        stretches.push_back(Stretch{b, end});
    }
    // Then how the file ends: with a header to append, the lines go as
    // they are and the new header takes over the file's ending (a file
    // without a final line end ends with the header, without one);
    // otherwise the lines before the last stretch keep the ending.
    bool endsWithLineEnd = true;
    if (!parentPath.empty())
        regLastLine(*d, &text, &endsWithLineEnd);
    for (size_t i = stretches.size(); i-- > 0;) {
        const Stretch& s = stretches[i];
        if (parentPath.empty())
            removeLines(d, s.block, 0, s.end);
        else
            regSplice(d, s.block, 0, s.end, {});
        d->blocks[s.block].kind = RegBlockKind::Removed;
        d->blocks[s.block].name = 0;
    }
    if (!parentPath.empty())
        regAppendKeyBlock(d, parentPath, {}, endsWithLineEnd ? 1 : 0);
    return true;
}

bool regCheckExport(const RegFile& source, RegExportFault* fault) {
    const RegFileData& d = *source.data;
    // An odd byte at the end of UTF-16 text is half a character: what
    // is wrong with the last line then is that it was cut off.
    const bool cut = d.utf16 && (d.bytes.size() - d.bomSize) % 2 != 0;
    bool lastLine = false;
    auto refuse = [&](size_t line, std::string what) {
        if (cut && lastLine)
            what = "the UTF-16 text is cut off inside a character";
        *fault = RegExportFault{line, std::move(what)};
        return false;
    };
    std::u16string first(regTextTrim(regFirstLine(d)));
    if (first != kRegFileHeader && first != u"REGEDIT4")
        return refuse(1,
                      "the first line is neither \"Windows Registry Editor Version 5.00\" nor "
                      "\"REGEDIT4\"");
    const size_t unit = d.utf16 ? 2 : 1;
    size_t lineNo = 1;  // of the line at `counted`
    size_t counted = d.bomSize;
    bool inKey = false;
    std::u16string path;
    std::u16string name;
    RegValueData data;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        RegLineCursor c = regLineCursor(d, b);
        RegLogical e;
        bool headerLine = b > 0;
        while (regNextLogical(c, &e)) {
            size_t at = d.blocks[b].start + e.at;
            std::string_view before = std::string_view(d.bytes).substr(0, at);
            for (size_t lf;
                 (lf = regFindLineFeed(before, counted, d.utf16)) != std::string_view::npos;) {
                ++lineNo;
                counted = lf + unit;
            }
            counted = at;
            lastLine = b + 1 == d.blocks.size() && c.pos >= c.bytes.size();
            bool isHeader = headerLine;
            headerLine = false;
            if (b == 0 && e.at == 0)
                continue;  // the export's header line
            bool deletion = false;
            if (isHeader) {
                if (!regTextParseHeader(e.text, &path, &deletion))
                    return refuse(lineNo, "a key header that is not understood");
                size_t pos = 0;
                std::u16string_view root;
                regPathNextPart(path, &pos, &root);
                if (!regIsDeviceRoot(root))
                    return refuse(lineNo, "a root key the device does not have");
                inKey = !deletion;
            } else if (e.valueLike) {
                if (!regTextParseValue(e.text, &name, &deletion, &data))
                    return refuse(lineNo, "a value that is not understood");
                if (!inKey)
                    return refuse(lineNo, "a value outside any key");
            } else if (!e.blankOrComment) {
                return refuse(lineNo, "a line that is no key, value, comment or blank line");
            }
        }
    }
    lastLine = true;
    if (cut)
        return refuse(lineNo, "");
    return true;
}

namespace {

// The import's merge: runs of keys and values applied to the target in one
// rebuild of its buffer.  The target's keys are indexed once by folded
// path; each change is an edit of the old buffer or a new block at the end.
struct Merge {
    RegFileData* d = nullptr;
    // The blocks of each key's headers since its last deletion, and every
    // key that exists (through its own header or one below), each with the
    // spelling of its first header since then.
    std::unordered_map<std::u16string, std::vector<size_t>> headers;
    std::unordered_map<std::u16string, std::u16string> spelling;
    struct Edit {
        size_t at;  // buffer offset
        size_t removed;
        std::string bytes;
    };
    std::vector<Edit> edits;
    struct NewKey {
        std::u16string path;
        std::vector<std::u16string> lines;
    };
    std::vector<NewKey> added;
    std::unordered_map<std::u16string, size_t> addedIndex;
};

void noteSpelling(Merge* m, std::u16string_view path) {
    size_t pos = 0;
    std::u16string_view part;
    std::u16string written;
    std::u16string folded;
    while (regPathNextPart(path, &pos, &part)) {
        if (!written.empty()) {
            written.push_back(u'\\');
            folded.push_back(u'\\');
        }
        written += part;
        folded += regTextFold(part);
        m->spelling.emplace(folded, written);
    }
}

void forgetBelow(std::u16string_view folded, auto* map) {
    for (auto it = map->begin(); it != map->end();)
        it = regPathIsSameOrBelow(it->first, folded) ? map->erase(it) : std::next(it);
}

void indexTarget(Merge* m) {
    const RegFileData& d = *m->d;
    std::u16string path;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        if (!regBlockHeaderPath(d, b, &path))
            continue;
        std::u16string folded = regTextFoldPath(path);
        if (d.blocks[b].kind == RegBlockKind::DeleteKey) {
            forgetBelow(folded, &m->headers);
            forgetBelow(folded, &m->spelling);
        } else {
            m->headers[folded].push_back(b);
            noteSpelling(m, path);
        }
    }
}

// The header to write for a new key: what exists of it keeps its spelling.
std::u16string spelt(const Merge& m, std::u16string_view path) {
    std::u16string out;
    std::u16string folded;
    size_t pos = 0;
    std::u16string_view part;
    bool known = true;
    while (regPathNextPart(path, &pos, &part)) {
        if (!folded.empty())
            folded.push_back(u'\\');
        folded += regTextFold(part);
        auto it = known ? m.spelling.find(folded) : m.spelling.end();
        known = it != m.spelling.end();
        if (known) {
            out = it->second;
        } else {
            if (!out.empty())
                out.push_back(u'\\');
            out += part;
        }
    }
    return out;
}

// One key of the export with the values it sets, in order, each once.
struct KeyUpdate {
    std::u16string path;
    std::vector<std::u16string> names;
    std::vector<RegValueData> data;
    std::unordered_map<std::u16string, size_t> index;  // folded name: its place
};

bool applyUpdate(Merge* m, const KeyUpdate& u) {
    RegFileData& d = *m->d;
    std::u16string folded = regTextFoldPath(u.path);
    std::vector<std::vector<std::u16string>> texts(u.names.size());
    std::vector<std::u16string> foldedNames;
    for (size_t i = 0; i < u.names.size(); ++i)
        foldedNames.push_back(regTextFold(u.names[i]));
    auto own = m->headers.find(folded);
    auto added = m->addedIndex.find(folded);
    if (own == m->headers.end() || own->second.empty()) {
        if (added == m->addedIndex.end()) {
            if (u.names.empty() && m->spelling.count(folded) != 0)
                return true;  // exists through a key below
            std::u16string header;
            std::u16string path = spelt(*m, u.path);
            if (!regTextFormatHeader(path, &header))
                return false;
            added = m->addedIndex.emplace(folded, m->added.size()).first;
            m->added.push_back(Merge::NewKey{path, {header}});
            noteSpelling(m, path);
        }
        for (size_t i = 0; i < u.names.size(); ++i) {
            if (!regTextFormatValue(u.names[i], u.data[i].type, u.data[i].bytes.data(),
                                    u.data[i].bytes.size(), !d.utf16, &texts[i]))
                return false;
            auto& lines = m->added[added->second].lines;
            lines.insert(lines.end(), texts[i].begin(), texts[i].end());
        }
        return true;
    }
    // Where each value stands now: its last line in the key's blocks.
    std::vector<RegValueSpot> spots(u.names.size());
    std::vector<bool> found(u.names.size(), false);
    std::unordered_map<std::u16string, size_t> wanted;
    for (size_t i = 0; i < foldedNames.size(); ++i)
        wanted.emplace(foldedNames[i], i);
    std::u16string name;
    bool deletion = false;
    RegValueData data;
    RegLogical e;
    for (size_t b : own->second) {
        RegLineCursor c = regLineCursor(d, b);
        while (regNextValue(c, &e, &name, &deletion, &data)) {
            auto it = wanted.find(regTextFold(name));
            if (it == wanted.end())
                continue;
            found[it->second] = !deletion;
            spots[it->second] = RegValueSpot{b, e.at, e.contentEnd, e.end, name, std::move(data)};
        }
    }
    std::vector<std::string> bytes;
    std::string inserted;
    for (size_t i = 0; i < u.names.size(); ++i) {
        // A value that holds the data already keeps its lines as they are.
        if (found[i] && spots[i].data.type == u.data[i].type &&
            spots[i].data.bytes == u.data[i].bytes) {
            continue;
        }
        // An existing value keeps the name as it was first written.
        std::u16string_view written = found[i] ? std::u16string_view(spots[i].name) : u.names[i];
        if (!regTextFormatValue(written, u.data[i].type, u.data[i].bytes.data(),
                                u.data[i].bytes.size(), !d.utf16, &texts[i]) ||
            !regEncodeAll(d.utf16, texts[i], &bytes)) {
            return false;
        }
        if (!found[i]) {
            inserted += regJoinLines(d, bytes, true);
            continue;
        }
        std::string lines = regJoinLines(d, bytes, false);
        size_t at = d.blocks[spots[i].block].start + spots[i].at;
        size_t size = spots[i].contentEnd - spots[i].at;
        if (std::string_view(d.bytes).substr(at, size) != lines)
            m->edits.push_back(Merge::Edit{at, size, std::move(lines)});
    }
    if (!inserted.empty()) {
        size_t block = own->second.back();
        size_t at = regInsertPoint(d, block);
        std::u16string last;
        bool lastHasEnd = true;
        // Only the file's last line can lack a line end.
        if (at == blockSize(d, block) && regNothingAfter(d, block) &&
            regLastLine(d, &last, &lastHasEnd) && !lastHasEnd) {
            inserted = d.eol + inserted.substr(0, inserted.size() - d.eol.size());
        }
        m->edits.push_back(Merge::Edit{d.blocks[block].start + at, 0, std::move(inserted)});
    }
    return true;
}

// Writes the gathered edits and new keys into a new buffer, in one pass,
// and indexes it again.
bool flush(Merge* m) {
    RegFileData& d = *m->d;
    if (m->edits.empty() && m->added.empty())
        return true;
    std::string tail;
    if (!m->added.empty()) {
        std::u16string last;
        bool lastHasEnd = true;
        bool hasLines = regLastLine(d, &last, &lastHasEnd);
        for (const Merge::Edit& e : m->edits) {
            if (e.at == d.bodyEnd && !e.bytes.empty())
                last = u"-";  // values inserted at the end of the file
        }
        // The new keys' blocks go at the end, each after a blank line, as
        // regAppendKeyBlock puts them one by one.
        if (hasLines && !lastHasEnd)
            tail += d.eol;
        if (hasLines && !regTextTrim(last).empty())
            tail += d.eol;
        for (const Merge::NewKey& k : m->added) {
            std::vector<std::string> bytes;
            if (!regEncodeAll(d.utf16, k.lines, &bytes))
                return false;
            if (&k != &m->added.front())
                tail += d.eol;
            tail += regJoinLines(d, bytes, true);
        }
        if (hasLines && !lastHasEnd)
            tail.resize(tail.size() - d.eol.size());
    }
    std::stable_sort(m->edits.begin(), m->edits.end(),
                     [](const Merge::Edit& a, const Merge::Edit& b) { return a.at < b.at; });
    std::string out;
    out.reserve(d.bytes.size() + tail.size());
    size_t done = 0;
    for (const Merge::Edit& e : m->edits) {
        out.append(d.bytes, done, e.at - done);
        out += e.bytes;
        done = e.at + e.removed;
    }
    out.append(d.bytes, done, d.bodyEnd - done);
    out += tail;
    out.append(d.bytes, d.bodyEnd, std::string::npos);
    size_t revision = d.revision + 1;
    d.bytes = std::move(out);
    regIndex(&d);
    d.revision = revision;
    m->edits.clear();
    m->added.clear();
    m->addedIndex.clear();
    return true;
}

void startMerge(Merge* m, RegFileData* d) {
    m->d = d;
    m->headers.clear();
    m->spelling.clear();
    indexTarget(m);
}

}  // namespace

bool regFileImport(RegFile* file, const RegFile& source) {
    RegFileData* d = file->data.get();
    const RegFileData& s = *source.data;
    Merge m;
    startMerge(&m, d);
    // The export's keys in order; a key met again goes on with its update.
    std::vector<KeyUpdate> updates;
    std::unordered_map<std::u16string, size_t> updateOf;
    auto applyAll = [&] {
        // An empty file becomes a new registry when something goes into it.
        if (!updates.empty() && regIsEmptyFile(*d)) {
            regBecomeNew(d);
            startMerge(&m, d);
        }
        for (const KeyUpdate& u : updates) {
            if (!applyUpdate(&m, u))
                return false;
        }
        updates.clear();
        updateOf.clear();
        return flush(&m);
    };
    std::u16string path;
    std::u16string name;
    RegLogical e;
    for (size_t b = 0; b < s.blocks.size(); ++b) {
        RegBlockKind kind = s.blocks[b].kind;
        if (kind != RegBlockKind::Key && kind != RegBlockKind::DeleteKey)
            continue;  // checked: no values stand there
        if (!regBlockHeaderPath(s, b, &path))
            continue;
        if (kind == RegBlockKind::DeleteKey) {
            // A deletion sees every change before it: those go in first.
            if (!applyAll())
                return false;
            regFileDeleteKey(file, path);
            startMerge(&m, d);
            continue;
        }
        std::u16string folded = regTextFoldPath(path);
        auto [it, fresh] = updateOf.emplace(folded, updates.size());
        if (fresh)
            updates.push_back(KeyUpdate{path, {}, {}, {}});
        RegLineCursor c = regLineCursor(s, b);
        bool deletion = false;
        RegValueData data;
        while (regNextValue(c, &e, &name, &deletion, &data)) {
            if (deletion) {
                if (!applyAll())
                    return false;
                regFileDeleteValue(file, path, name);
                startMerge(&m, d);
                it = updateOf.emplace(folded, updates.size()).first;
                updates.push_back(KeyUpdate{path, {}, {}, {}});
                continue;
            }
            KeyUpdate& u = updates[it->second];
            auto [at, added] = u.index.emplace(regTextFold(name), u.names.size());
            if (added) {
                u.names.push_back(name);
                u.data.push_back(std::move(data));
            } else {
                u.data[at->second] = std::move(data);
            }
        }
    }
    return applyAll();
}

std::vector<RegKeyContents> regFileContents(const RegFile& file) {
    const RegFileData& d = *file.data;
    // Each key met, with its values by folded name; a deleted key or value
    // stays in place, marked, so that nothing moves while gathering.
    struct Gathered {
        RegKeyContents key;
        std::vector<bool> removed;
        std::unordered_map<std::u16string, size_t> values;
        bool gone = false;
    };
    std::vector<Gathered> keys;
    std::unordered_map<std::u16string, size_t> live;  // folded path: entry
    std::u16string path;
    std::u16string name;
    bool deletion = false;
    RegValueData data;
    RegLogical e;
    for (size_t b = 0; b < d.blocks.size(); ++b) {
        // The lines before any header, or after a broken one, belong to no key.
        if (!regBlockHeaderPath(d, b, &path))
            continue;
        std::u16string folded = regTextFoldPath(path);
        if (d.blocks[b].kind == RegBlockKind::DeleteKey) {
            for (auto it = live.begin(); it != live.end();) {
                bool below = regPathIsSameOrBelow(it->first, folded);
                if (below)
                    keys[it->second].gone = true;
                it = below ? live.erase(it) : std::next(it);
            }
            continue;
        }
        auto [at, fresh] = live.emplace(folded, keys.size());
        if (fresh)
            keys.push_back(Gathered{RegKeyContents{path, {}, {}}, {}, {}, false});
        Gathered& g = keys[at->second];
        RegLineCursor c = regLineCursor(d, b);
        while (regNextValue(c, &e, &name, &deletion, &data)) {
            std::u16string foldedName = regTextFold(name);
            auto v = g.values.find(foldedName);
            if (deletion && v != g.values.end()) {
                g.removed[v->second] = true;
                g.values.erase(v);
            } else if (!deletion && v != g.values.end()) {
                g.key.data[v->second] = std::move(data);
            } else if (!deletion) {
                g.values.emplace(foldedName, g.key.names.size());
                g.key.names.push_back(name);
                g.key.data.push_back(std::move(data));
                g.removed.push_back(false);
            }
        }
    }
    std::vector<RegKeyContents> out;
    for (Gathered& g : keys) {
        if (g.gone)
            continue;
        RegKeyContents k{std::move(g.key.path), {}, {}};
        for (size_t v = 0; v < g.key.names.size(); ++v) {
            if (!g.removed[v]) {
                k.names.push_back(std::move(g.key.names[v]));
                k.data.push_back(std::move(g.key.data[v]));
            }
        }
        out.push_back(std::move(k));
    }
    return out;
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
