#include "platform/posix/reg_file.h"

#include "platform/posix/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

namespace {

constexpr char16_t kDosEndOfFile = 0x1A;

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

// Text of a UTF-8 line for reading.  A line that is not valid UTF-8 (an
// 8-bit REGEDIT4 file, say) is read byte by byte as Latin-1; its bytes are
// kept either way.
std::u16string decodeUtf8Line(std::string_view bytes) {
    std::u16string text;
    if (utf8ToU16(bytes.data(), bytes.size(), &text))
        return text;
    text.clear();
    for (char b : bytes)
        text.push_back(static_cast<unsigned char>(b));
    return text;
}

void splitUtf16(RegFile* f, std::string_view body) {
    size_t units = body.size() / 2;
    auto unit = [&](size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(body[2 * i]) |
                                     (static_cast<unsigned char>(body[2 * i + 1]) << 8));
    };
    size_t start = 0;
    for (size_t i = 0; i < units; ++i) {
        if (unit(i) != u'\n')
            continue;
        size_t end = i;
        if (end > start && unit(end - 1) == u'\r')
            --end;
        RegFileLine line;
        line.bytes.assign(body.substr(2 * start, 2 * (end - start)));
        line.eol.assign(body.substr(2 * end, 2 * (i + 1 - end)));
        for (size_t k = start; k < end; ++k)
            line.text.push_back(unit(k));
        f->lines.push_back(std::move(line));
        start = i + 1;
    }
    if (start < units) {
        RegFileLine line;
        line.bytes.assign(body.substr(2 * start, 2 * (units - start)));
        for (size_t k = start; k < units; ++k)
            line.text.push_back(unit(k));
        f->lines.push_back(std::move(line));
    }
}

void splitUtf8(RegFile* f, std::string_view body) {
    size_t start = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\n')
            continue;
        size_t end = i;
        if (end > start && body[end - 1] == '\r')
            --end;
        RegFileLine line;
        line.bytes.assign(body.substr(start, end - start));
        line.eol.assign(body.substr(end, i + 1 - end));
        line.text = decodeUtf8Line(line.bytes);
        f->lines.push_back(std::move(line));
        start = i + 1;
    }
    if (start < body.size()) {
        RegFileLine line;
        line.bytes.assign(body.substr(start));
        line.text = decodeUtf8Line(line.bytes);
        f->lines.push_back(std::move(line));
    }
}

bool isBlankOrComment(const RegFileLine& line) {
    std::u16string_view t = regTextTrim(line.text);
    return t.empty() || t[0] == u';';
}

// Joins a value line and its continuation lines into one logical line;
// returns the index of the last physical line used.
size_t joinValueLines(const RegFile& f, size_t first, std::u16string* logical) {
    *logical = f.lines[first].text;
    if (!regTextValueContinues(*logical))
        return first;
    size_t last = first;
    bool more = true;
    while (more) {
        // Drop the backslash (and blanks around it) that continued the line.
        std::u16string_view t = regTextTrim(*logical);
        logical->resize(t.size() - 1 + static_cast<size_t>(t.data() - logical->data()));
        if (last + 1 >= f.lines.size() || !regTextIsContinuation(f.lines[last + 1].text))
            break;
        ++last;
        std::u16string_view piece = regTextTrim(f.lines[last].text);
        more = regTextContinuationContinues(piece);
        logical->append(piece);
    }
    return last;
}

void buildEntries(RegFile* f) {
    f->entries.clear();
    ptrdiff_t currentKey = -1;
    size_t i = 0;
    while (i < f->lines.size()) {
        RegEntry e;
        e.firstLine = e.lastLine = i;
        std::u16string_view t = regTextTrim(f->lines[i].text);
        if (!t.empty() && t[0] == u'[') {
            bool deletion = false;
            if (regTextParseHeader(t, &e.path, &deletion)) {
                e.kind = deletion ? RegEntryKind::DeleteKey : RegEntryKind::Key;
                e.folded = regTextFoldPath(e.path);
            } else {
                e.kind = RegEntryKind::BrokenKey;
            }
            currentKey =
                e.kind == RegEntryKind::Key ? static_cast<ptrdiff_t>(f->entries.size()) : -1;
        } else if (!t.empty() && (t[0] == u'"' || t[0] == u'@')) {
            std::u16string logical;
            e.lastLine = joinValueLines(*f, i, &logical);
            bool deletion = false;
            if (regTextParseValue(logical, &e.name, &deletion, &e.data)) {
                e.kind = deletion ? RegEntryKind::DeleteValue : RegEntryKind::Value;
                e.folded = regTextFold(e.name);
                e.keyEntry = currentKey;
            }
        }
        i = e.lastLine + 1;
        f->entries.push_back(std::move(e));
    }
}

bool isSameOrBelow(const std::u16string& key, const std::u16string& base) {
    if (key.size() < base.size() || key.compare(0, base.size(), base) != 0)
        return false;
    return key.size() == base.size() || key[base.size()] == u'\\';
}

struct KeyState {
    bool exists = false;
    ptrdiff_t lastHeader = -1;  // the key's last header entry after its last deletion
};

KeyState findKey(const RegFile& f, const std::u16string& folded) {
    KeyState s;
    for (size_t i = 0; i < f.entries.size(); ++i) {
        const RegEntry& e = f.entries[i];
        if (e.kind == RegEntryKind::Key && isSameOrBelow(e.folded, folded)) {
            s.exists = true;
            if (e.folded.size() == folded.size())
                s.lastHeader = static_cast<ptrdiff_t>(i);
        } else if (e.kind == RegEntryKind::DeleteKey && isSameOrBelow(folded, e.folded)) {
            s = KeyState();
        }
    }
    return s;
}

// The entry that gives the value its current data, or -1.
ptrdiff_t findValue(const RegFile& f, const std::u16string& foldedKey,
                    const std::u16string& foldedName) {
    ptrdiff_t found = -1;
    bool inKey = false;
    for (size_t i = 0; i < f.entries.size(); ++i) {
        const RegEntry& e = f.entries[i];
        switch (e.kind) {
            case RegEntryKind::Key:
                inKey = e.folded == foldedKey;
                break;
            case RegEntryKind::DeleteKey:
                inKey = false;
                if (isSameOrBelow(foldedKey, e.folded))
                    found = -1;
                break;
            case RegEntryKind::BrokenKey:
                inKey = false;
                break;
            case RegEntryKind::Value:
            case RegEntryKind::DeleteValue:
                if (inKey && e.folded == foldedName) {
                    found = e.kind == RegEntryKind::Value ? static_cast<ptrdiff_t>(i) : -1;
                }
                break;
            case RegEntryKind::Other:
                break;
        }
    }
    return found;
}

// The path to write in a new header: the part that exists already keeps the
// case in which it was first written (since it last came into being).
std::u16string displayPath(const RegFile& f, std::u16string_view keyPath) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t sep = keyPath.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = keyPath.size();
        if (sep > start)
            parts.push_back(keyPath.substr(start, sep - start));
        start = sep + 1;
    }
    std::u16string prefix;
    size_t known = 0;
    std::u16string knownCase;
    for (size_t depth = 1; depth <= parts.size(); ++depth) {
        if (!prefix.empty())
            prefix.push_back(u'\\');
        prefix += regTextFold(parts[depth - 1]);
        // The first header at or below the prefix since its last deletion.
        ptrdiff_t first = -1;
        for (size_t i = 0; i < f.entries.size(); ++i) {
            const RegEntry& e = f.entries[i];
            if (e.kind == RegEntryKind::Key && first < 0 && isSameOrBelow(e.folded, prefix)) {
                first = static_cast<ptrdiff_t>(i);
            } else if (e.kind == RegEntryKind::DeleteKey && isSameOrBelow(prefix, e.folded)) {
                first = -1;
            }
        }
        if (first < 0)
            break;
        // Take the first `depth` components of that header as written.
        const std::u16string& written = f.entries[static_cast<size_t>(first)].path;
        std::u16string taken;
        size_t count = 0;
        size_t pos = 0;
        while (pos <= written.size() && count < depth) {
            size_t sep = written.find(u'\\', pos);
            if (sep == std::u16string::npos)
                sep = written.size();
            if (sep > pos) {
                if (!taken.empty())
                    taken.push_back(u'\\');
                taken.append(written, pos, sep - pos);
                ++count;
            }
            pos = sep + 1;
        }
        known = depth;
        knownCase = std::move(taken);
    }
    std::u16string out = knownCase;
    for (size_t i = known; i < parts.size(); ++i) {
        if (!out.empty())
            out.push_back(u'\\');
        out += parts[i];
    }
    return out;
}

bool encodeAll(const RegFile& f, const std::vector<std::u16string>& texts,
               std::vector<std::string>* out) {
    out->clear();
    for (const std::u16string& t : texts) {
        if (!f.utf16) {
            std::string probe;
            if (!u16ToUtf8(t.data(), t.size(), &probe))
                return false;
        }
        out->push_back(encodeText(f.utf16, t));
    }
    return true;
}

RegFileLine makeLine(const RegFile& f, std::u16string text, std::string bytes) {
    RegFileLine line;
    line.bytes = std::move(bytes);
    line.eol = f.eolStyle;
    line.text = std::move(text);
    return line;
}

// Inserts lines before line `pos`.  At the end of a file whose last line has
// no line end, that line gets one and the last new line goes without.
void insertLines(RegFile* f, size_t pos, const std::vector<std::u16string>& texts,
                 const std::vector<std::string>& bytes) {
    std::vector<RegFileLine> added;
    for (size_t i = 0; i < texts.size(); ++i)
        added.push_back(makeLine(*f, texts[i], bytes[i]));
    if (pos == f->lines.size() && pos > 0 && f->lines[pos - 1].eol.empty() && !added.empty()) {
        f->lines[pos - 1].eol = f->eolStyle;
        added.back().eol.clear();
    }
    f->lines.insert(f->lines.begin() + static_cast<ptrdiff_t>(pos), added.begin(), added.end());
}

void replaceLines(RegFile* f, size_t first, size_t last, const std::vector<std::u16string>& texts,
                  const std::vector<std::string>& bytes) {
    std::string lastEol = f->lines[last].eol;
    std::vector<RegFileLine> added;
    for (size_t i = 0; i < texts.size(); ++i)
        added.push_back(makeLine(*f, texts[i], bytes[i]));
    added.back().eol = lastEol;
    f->lines.erase(f->lines.begin() + static_cast<ptrdiff_t>(first),
                   f->lines.begin() + static_cast<ptrdiff_t>(last) + 1);
    f->lines.insert(f->lines.begin() + static_cast<ptrdiff_t>(first), added.begin(), added.end());
}

// The line after which a new value of the key goes: the last line of its
// block that is neither blank nor a comment (a comment before the next
// header usually belongs to that header).
size_t blockEnd(const RegFile& f, size_t headerEntry) {
    size_t end = f.entries[headerEntry].lastLine;
    for (size_t i = headerEntry + 1; i < f.entries.size(); ++i) {
        const RegEntry& e = f.entries[i];
        if (e.kind == RegEntryKind::Key || e.kind == RegEntryKind::DeleteKey ||
            e.kind == RegEntryKind::BrokenKey) {
            break;
        }
        if (!isBlankOrComment(f.lines[e.firstLine]))
            end = e.lastLine;
    }
    return end;
}

// A file without any content (an empty registry.reg) is written as a new
// registry, so that it gets a header and the encoding of a new file.
bool isEmptyFile(const RegFile& f) {
    return f.lines.empty() && f.bom.empty() && f.trailer.empty();
}

// Appends a header (after a blank line unless the file ends with one) and
// the value lines below it.
bool appendKeyBlock(RegFile* f, std::u16string_view keyPath,
                    const std::vector<std::u16string>& valueLines) {
    std::u16string header;
    if (!regTextFormatHeader(displayPath(*f, keyPath), &header))
        return false;
    std::vector<std::u16string> texts;
    if (!f->lines.empty() && !regTextTrim(f->lines.back().text).empty())
        texts.emplace_back();
    texts.push_back(header);
    texts.insert(texts.end(), valueLines.begin(), valueLines.end());
    std::vector<std::string> bytes;
    if (!encodeAll(*f, texts, &bytes))
        return false;
    insertLines(f, f->lines.size(), texts, bytes);
    return true;
}

}  // namespace

RegFile regFileParse(std::string_view bytes) {
    RegFile f;
    std::string_view body = bytes;
    if (body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0xFF &&
        static_cast<unsigned char>(body[1]) == 0xFE) {
        f.utf16 = true;
        f.bom.assign(body.substr(0, 2));
    } else if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") {
        f.bom.assign(body.substr(0, 3));
    } else if (body.size() >= 2 && body[0] != 0 && body[1] == 0) {
        f.utf16 = true;  // UTF-16LE that lost its byte-order mark
    }
    body.remove_prefix(f.bom.size());
    if (f.utf16) {
        if (body.size() % 2 != 0) {
            f.trailer.assign(body.substr(body.size() - 1));
            body.remove_suffix(1);
        }
        splitUtf16(&f, body);
    } else {
        splitUtf8(&f, body);
    }
    // A DOS end-of-file byte closing the file is no part of a line, whether
    // it stands alone or right after the last line's text: new lines go
    // before it, and the last line reads without it.
    if (!f.lines.empty() && f.lines.back().eol.empty() && !f.lines.back().text.empty() &&
        f.lines.back().text.back() == kDosEndOfFile) {
        RegFileLine& last = f.lines.back();
        size_t unitBytes = f.utf16 ? 2 : 1;
        f.trailer.insert(0, last.bytes.substr(last.bytes.size() - unitBytes));
        last.bytes.resize(last.bytes.size() - unitBytes);
        last.text.pop_back();
        if (last.bytes.empty())
            f.lines.pop_back();
    }
    for (const RegFileLine& line : f.lines) {
        if (!line.eol.empty()) {
            f.eolStyle = line.eol;
            break;
        }
    }
    if (f.eolStyle.empty())
        f.eolStyle = encodeText(f.utf16, u"\r\n");
    buildEntries(&f);
    return f;
}

RegFile regFileNew() {
    std::u16string text = kRegFileHeader;
    text += u"\r\n\r\n";
    return regFileParse("\xFF\xFE" + encodeText(true, text));
}

std::string regFileSerialize(const RegFile& file) {
    std::string out = file.bom;
    for (const RegFileLine& line : file.lines) {
        out += line.bytes;
        out += line.eol;
    }
    out += file.trailer;
    return out;
}

bool regFileKeyExists(const RegFile& file, std::u16string_view keyPath) {
    std::u16string folded = regTextFoldPath(keyPath);
    return !folded.empty() && findKey(file, folded).exists;
}

bool regFileGetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                     RegValueData* out) {
    std::u16string folded = regTextFoldPath(keyPath);
    if (folded.empty())
        return false;
    ptrdiff_t at = findValue(file, folded, regTextFold(name));
    if (at < 0)
        return false;
    *out = file.entries[static_cast<size_t>(at)].data;
    return true;
}

std::vector<std::u16string> regFileValueNames(const RegFile& file, std::u16string_view keyPath) {
    std::u16string folded = regTextFoldPath(keyPath);
    std::vector<std::u16string> names;  // as first written
    std::vector<std::u16string> foldedNames;
    bool inKey = false;
    for (const RegEntry& e : file.entries) {
        if (e.kind == RegEntryKind::Key) {
            inKey = e.folded == folded;
        } else if (e.kind == RegEntryKind::DeleteKey || e.kind == RegEntryKind::BrokenKey) {
            inKey = false;
            if (e.kind == RegEntryKind::DeleteKey && isSameOrBelow(folded, e.folded)) {
                names.clear();
                foldedNames.clear();
            }
        } else if (inKey &&
                   (e.kind == RegEntryKind::Value || e.kind == RegEntryKind::DeleteValue)) {
            size_t i = 0;
            while (i < foldedNames.size() && foldedNames[i] != e.folded)
                ++i;
            if (e.kind == RegEntryKind::Value && i == foldedNames.size()) {
                names.push_back(e.name);
                foldedNames.push_back(e.folded);
            } else if (e.kind == RegEntryKind::DeleteValue && i < foldedNames.size()) {
                names.erase(names.begin() + static_cast<ptrdiff_t>(i));
                foldedNames.erase(foldedNames.begin() + static_cast<ptrdiff_t>(i));
            }
        }
    }
    return names;
}

bool regFileSetValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name,
                     uint32_t type, const uint8_t* data, size_t size) {
    std::u16string folded = regTextFoldPath(keyPath);
    if (folded.empty() || (data == nullptr && size != 0))
        return false;
    if (isEmptyFile(*file)) {
        RegFile fresh = regFileNew();
        if (!regFileSetValue(&fresh, keyPath, name, type, data, size))
            return false;
        *file = std::move(fresh);
        return true;
    }
    ptrdiff_t at = findValue(*file, folded, regTextFold(name));
    // An existing value keeps the name as it was first written.
    std::u16string_view written = at >= 0 ? file->entries[static_cast<size_t>(at)].name : name;
    std::vector<std::u16string> texts;
    if (!regTextFormatValue(written, type, data, size, !file->utf16, &texts))
        return false;
    std::vector<std::string> bytes;
    if (!encodeAll(*file, texts, &bytes))
        return false;

    if (at >= 0) {
        const RegEntry& e = file->entries[static_cast<size_t>(at)];
        replaceLines(file, e.firstLine, e.lastLine, texts, bytes);
    } else {
        KeyState key = findKey(*file, folded);
        if (key.lastHeader >= 0) {
            insertLines(file, blockEnd(*file, static_cast<size_t>(key.lastHeader)) + 1, texts,
                        bytes);
        } else if (!appendKeyBlock(file, keyPath, texts)) {
            return false;
        }
    }
    buildEntries(file);
    return true;
}

bool regFileCreateKey(RegFile* file, std::u16string_view keyPath, bool* created) {
    if (created != nullptr)
        *created = false;
    std::u16string folded = regTextFoldPath(keyPath);
    if (folded.empty())
        return false;
    if (findKey(*file, folded).exists)
        return true;
    if (isEmptyFile(*file)) {
        RegFile fresh = regFileNew();
        if (!regFileCreateKey(&fresh, keyPath, created))
            return false;
        *file = std::move(fresh);
        return true;
    }
    if (!appendKeyBlock(file, keyPath, {}))
        return false;
    buildEntries(file);
    if (created != nullptr)
        *created = true;
    return true;
}

std::vector<RegKeyContents> regFileContents(const RegFile& file) {
    std::vector<RegKeyContents> keys;
    std::vector<std::u16string> foldedKeys;
    std::vector<std::vector<std::u16string>> foldedNames;  // per key
    ptrdiff_t current = -1;
    for (const RegEntry& e : file.entries) {
        switch (e.kind) {
            case RegEntryKind::Key: {
                size_t i = 0;
                while (i < foldedKeys.size() && foldedKeys[i] != e.folded)
                    ++i;
                if (i == foldedKeys.size()) {
                    keys.push_back(RegKeyContents{e.path, {}, {}});
                    foldedKeys.push_back(e.folded);
                    foldedNames.emplace_back();
                }
                current = static_cast<ptrdiff_t>(i);
                break;
            }
            case RegEntryKind::DeleteKey:
                current = -1;
                for (size_t i = keys.size(); i-- > 0;) {
                    if (isSameOrBelow(foldedKeys[i], e.folded)) {
                        keys.erase(keys.begin() + static_cast<ptrdiff_t>(i));
                        foldedKeys.erase(foldedKeys.begin() + static_cast<ptrdiff_t>(i));
                        foldedNames.erase(foldedNames.begin() + static_cast<ptrdiff_t>(i));
                    }
                }
                break;
            case RegEntryKind::BrokenKey:
                current = -1;
                break;
            case RegEntryKind::Value:
            case RegEntryKind::DeleteValue: {
                if (current < 0)
                    break;
                RegKeyContents& key = keys[static_cast<size_t>(current)];
                std::vector<std::u16string>& names = foldedNames[static_cast<size_t>(current)];
                size_t i = 0;
                while (i < names.size() && names[i] != e.folded)
                    ++i;
                if (e.kind == RegEntryKind::DeleteValue) {
                    if (i < names.size()) {
                        names.erase(names.begin() + static_cast<ptrdiff_t>(i));
                        key.names.erase(key.names.begin() + static_cast<ptrdiff_t>(i));
                        key.data.erase(key.data.begin() + static_cast<ptrdiff_t>(i));
                    }
                } else if (i < names.size()) {
                    key.data[i] = e.data;
                } else {
                    names.push_back(e.folded);
                    key.names.push_back(e.name);
                    key.data.push_back(e.data);
                }
                break;
            }
            case RegEntryKind::Other:
                break;
        }
    }
    return keys;
}

namespace {

// Removes the lines [first, last]; the line before a removed last line of
// the file takes over its line end, so the file keeps its ending.
void eraseLines(RegFile* f, size_t first, size_t last) {
    if (last + 1 == f->lines.size() && first > 0)
        f->lines[first - 1].eol = f->lines[last].eol;
    f->lines.erase(f->lines.begin() + static_cast<ptrdiff_t>(first),
                   f->lines.begin() + static_cast<ptrdiff_t>(last) + 1);
}

}  // namespace

bool regFileDeleteValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name) {
    std::u16string folded = regTextFoldPath(keyPath);
    if (folded.empty())
        return false;
    std::u16string foldedName = regTextFold(name);
    bool deleted = false;
    for (ptrdiff_t at = findValue(*file, folded, foldedName); at >= 0;
         at = findValue(*file, folded, foldedName)) {
        const RegEntry& e = file->entries[static_cast<size_t>(at)];
        eraseLines(file, e.firstLine, e.lastLine);
        buildEntries(file);
        deleted = true;
    }
    return deleted;
}

bool regFileDeleteKey(RegFile* file, std::u16string_view keyPath) {
    std::u16string folded = regTextFoldPath(keyPath);
    if (folded.empty() || !findKey(*file, folded).exists)
        return false;
    // From the back, so that the line numbers of blocks not yet removed stay.
    for (size_t i = file->entries.size(); i-- > 0;) {
        const RegEntry& header = file->entries[i];
        if (header.kind != RegEntryKind::Key || !isSameOrBelow(header.folded, folded))
            continue;
        size_t last = blockEnd(*file, i);
        size_t next = i + 1;
        while (next < file->entries.size() && file->entries[next].lastLine <= last)
            ++next;
        // The blank lines that separated the block from what follows go too.
        while (next < file->entries.size() && file->entries[next].kind == RegEntryKind::Other &&
               regTextTrim(file->lines[file->entries[next].firstLine].text).empty()) {
            last = file->entries[next].lastLine;
            ++next;
        }
        eraseLines(file, header.firstLine, last);
    }
    buildEntries(file);
    return true;
}

bool regFileImport(RegFile* file, const RegFile& source, size_t* changes) {
    size_t count = 0;
    bool ok = true;
    for (const RegEntry& e : source.entries) {
        bool changed = false;
        switch (e.kind) {
            case RegEntryKind::Key:
                ok = regFileCreateKey(file, e.path, &changed);
                break;
            case RegEntryKind::DeleteKey:
                changed = regFileDeleteKey(file, e.path);
                break;
            case RegEntryKind::Value:
            case RegEntryKind::DeleteValue: {
                if (e.keyEntry < 0)
                    break;  // a value under no key, or under a broken header
                const std::u16string& key = source.entries[static_cast<size_t>(e.keyEntry)].path;
                if (e.kind == RegEntryKind::DeleteValue) {
                    changed = regFileDeleteValue(file, key, e.name);
                } else {
                    ok = regFileSetValue(file, key, e.name, e.data.type, e.data.bytes.data(),
                                         e.data.bytes.size());
                    changed = ok;
                }
                break;
            }
            case RegEntryKind::BrokenKey:
            case RegEntryKind::Other:
                break;
        }
        if (!ok)
            break;
        if (changed)
            ++count;
    }
    if (changes != nullptr)
        *changes = count;
    return ok;
}

}  // namespace ce::posix
