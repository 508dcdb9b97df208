// Changing a registry export the way the programs do: values set and keys
// created.  A change splices whole lines into one block of the buffer and
// leaves every other byte as it was.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_data.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"

namespace ce::posix {

template <typename Out>
bool regAppendText(RegLineEncoding encoding, std::string_view eol, std::u16string_view text,
                   bool closed, Out* out) {
    for (size_t start = 0; start <= text.size();) {
        size_t lf = std::min(text.find(u'\n', start), text.size());
        std::u16string_view line = text.substr(start, lf - start);
        std::string latin1;
        if (encoding == RegLineEncoding::Latin1 && regTextLatin1(line, &latin1)) {
            out->insert(out->end(), latin1.begin(), latin1.end());
        } else if (encoding == RegLineEncoding::Utf16) {
            size_t at = out->size();
            out->resize(at + 2 * line.size());
            char* o = out->data() + at;
            for (char16_t c : line) {
                *o++ = static_cast<char>(c & 0xff);
                *o++ = static_cast<char>(c >> 8);
            }
        } else {
            std::string bytes;
            if (!u16ToUtf8(line.data(), line.size(), &bytes))
                return false;
            out->insert(out->end(), bytes.begin(), bytes.end());
        }
        if (lf < text.size() || closed)
            out->insert(out->end(), eol.begin(), eol.end());
        start = lf + 1;
    }
    return true;
}
template bool regAppendText(RegLineEncoding, std::string_view, std::u16string_view, bool,
                            std::string*);
template bool regAppendText(RegLineEncoding, std::string_view, std::u16string_view, bool,
                            RegBytes*);

namespace {

// True when the bytes hold a sequence that is not valid UTF-8.
bool holdsEightBitText(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        uint32_t code = 0;
        size_t n = utf8DecodeOne(reinterpret_cast<const unsigned char*>(bytes.data()) + i,
                                 bytes.size() - i, &code);
        if (n == 0)
            return true;
        i += n;
    }
    return false;
}

}  // namespace

RegLineEncoding regLineEncoding(const RegFileData& d) {
    if (d.utf16)
        return RegLineEncoding::Utf16;
    if (d.eightBitLines < 0)
        d.eightBitLines = holdsEightBitText(regBytes(d, d.bodyEnd).substr(d.bomSize)) ? 1 : 0;
    return d.eightBitLines == 1 ? RegLineEncoding::Latin1 : RegLineEncoding::Utf8;
}

RegTextForm regTextForm(const RegFileData& d) {
    RegLineEncoding lines = regLineEncoding(d);
    return RegTextForm{lines, d.regedit4 && lines != RegLineEncoding::Utf16};
}

namespace {

bool isAscii(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

}  // namespace

RegLineEncoding regLineEncodingFor(const RegFileData& d, std::u16string_view text) {
    if (!d.utf16 && isAscii(text))
        return RegLineEncoding::Utf8;
    return regLineEncoding(d);
}

RegTextForm regTextFormFor(const RegFileData& d, std::u16string_view name, uint32_t type,
                           const uint8_t* data, size_t size) {
    bool asciiData = true;
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
        for (size_t i = 0; i + 1 < size && asciiData; i += 2)
            asciiData = data[i] < 0x80 && data[i + 1] == 0;
    }
    if (d.utf16 || !asciiData || !isAscii(name))
        return regTextForm(d);
    return RegTextForm{RegLineEncoding::Utf8, d.regedit4};
}

bool regIsEmptyFile(const RegFileData& d) {
    return d.bytes.empty();
}

void regBecomeNew(RegFileData* d) {
    size_t revision = d->revision + 1;
    *d = std::move(*regFileNew().data);
    d->revision = revision;
}

bool regNeedsHeader(const RegFileData& d) {
    return !regIsEmptyFile(d) && d.blocks.size() == 1 && regHoldsOnlyBlankLines(d);
}

void regGiveHeader(RegFileData* d) {
    std::string header;
    if (regAppendText(regLineEncodingFor(*d, kRegFileHeader), d->eol, kRegFileHeader, true,
                      &header))
        regSplice(d, 0, 0, 0, header);
}

bool regLastLine(const RegFileData& d, std::u16string* text, bool* hasEnd) {
    for (size_t b = d.blocks.size(); b-- > 0;) {
        RegLineCursor c = regLineCursor(d, b);
        RegLine line;
        bool any = false;
        while (regNextLine(c, &line)) {
            any = true;
            regLineText(d.utf16, line.bytes, text);
            *hasEnd = line.eolSize != 0;
        }
        if (any)
            return true;
    }
    return false;
}

namespace {

size_t contentEnd(const RegFileData& d, size_t block, size_t* cutFrom) {
    RegLineCursor c = regLineCursor(d, block);
    RegLogical e;
    size_t end = 0;
    *cutFrom = std::string::npos;
    bool header = true;
    while (regNextLogical(c, &e)) {
        if (header || !e.blankOrComment) {
            end = e.end;
            *cutFrom = !e.cutShort ? std::string::npos : std::min(*cutFrom, e.at);
        }
        header = false;
    }
    return end;
}

}  // namespace

size_t regContentEnd(const RegFileData& d, size_t block) {
    size_t cutFrom = 0;
    return contentEnd(d, block, &cutFrom);
}

size_t regInsertPoint(const RegFileData& d, size_t block) {
    size_t cutFrom = 0;
    size_t end = contentEnd(d, block, &cutFrom);
    return std::min(end, cutFrom);
}

size_t regPlaceNewLines(const RegFileData& d, size_t block, std::string* lines) {
    size_t at = regInsertPoint(d, block);
    std::u16string last;
    bool lastHasEnd = true;
    if (at == regBlockView(d, block).size() && regBlockEnd(d, block) == d.bodyEnd &&
        regLastLine(d, &last, &lastHasEnd) && !lastHasEnd) {
        lines->erase(lines->size() - d.eol.size());
        lines->insert(0, d.eol);
    }
    return at;
}

std::u16string regDisplayPath(const RegFileData& d, std::u16string_view keyPath) {
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
    // The headers read are those below the key's first two parts; only
    // when none is, those below its root, for the root's spelling.
    std::vector<std::u16string> first(parts.size());
    std::vector<bool> found(parts.size(), false);
    std::u16string path;
    std::u16string folded;
    RegKeyPath key;
    regKeyPath(keyPath, &key);
    for (size_t lead = std::min<size_t>(parts.size(), 2);; lead = 1) {
        for (size_t b = 0; b < d.blocks.size() && !prefixes.empty(); ++b) {
            RegBlockKind kind = d.blocks[b].kind;
            if ((kind != RegBlockKind::Key && kind != RegBlockKind::DeleteKey) ||
                (kind == RegBlockKind::Key && !regBlockMayBeBelow(d, b, key, lead)) ||
                !regBlockHeaderPath(d, b, &path)) {
                continue;
            }
            regTextFoldPathInto(path, &folded);
            for (size_t i = 0; i < prefixes.size(); ++i) {
                if (kind == RegBlockKind::DeleteKey && regPathIsSameOrBelow(prefixes[i], folded)) {
                    found[i] = false;
                } else if (kind == RegBlockKind::Key && !found[i] &&
                           regPathIsSameOrBelow(folded, prefixes[i])) {
                    found[i] = true;
                    first[i] = path;
                }
            }
        }
        if (lead < 2 || found[1])
            break;
        found.assign(parts.size(), false);
    }
    // Each known part as the first header below it spells it: the case in
    // which that key was first written.
    std::u16string spelt;
    bool known = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::u16string_view each = parts[i];
        known = known && found[i];
        pos = 0;
        for (size_t k = 0; known && k <= i; ++k)
            regPathNextPart(first[i], &pos, &each);
        spelt.append(i == 0 ? u"" : u"\\").append(each);
    }
    return spelt;
}

bool regAppendKeyBlock(RegFileData* d, std::u16string_view keyPath, std::u16string_view values,
                       int lineEndAtEnd) {
    std::u16string text;
    if (!regTextFormatHeader(regDisplayPath(*d, keyPath), &text))
        return false;
    if (!values.empty())
        text.append(u"\n").append(values);
    std::u16string last;
    bool lastHasEnd = true;
    bool hasLines = regLastLine(*d, &last, &lastHasEnd);
    // At the end of a file whose last line has no line end, that line gets
    // one and the last new line goes without.
    std::string block;
    if (hasLines && !lastHasEnd)
        block += d->eol;
    if (hasLines && !regTextTrim(last).empty())
        block += d->eol;  // the blank line before the header
    size_t headerAt = block.size();
    bool closed = lineEndAtEnd < 0 ? (!hasLines || lastHasEnd) : lineEndAtEnd == 1;
    if (!regAppendText(regLineEncodingFor(*d, text), d->eol, text, closed, &block))
        return false;
    size_t lastBlock = d->blocks.size() - 1;
    size_t end = regBlockEnd(*d, lastBlock) - d->blocks[lastBlock].start;
    regSplice(d, lastBlock, end, end, block);
    d->blocks.push_back(RegBlock{d->bodyEnd - (block.size() - headerAt), RegBlockKind::Key,
                                 regLastPartHash(regTextFoldPath(keyPath))});
    return true;
}

bool regFileCanSetValue(const RegFile& file, std::u16string_view keyPath, std::u16string_view name,
                        uint32_t type, const uint8_t* data, size_t size) {
    if (!regFileCanCreateKey(file, keyPath) || (data == nullptr && size != 0))
        return false;
    std::u16string text;
    std::string bytes;
    const RegFileData& d = *file.data;
    // An empty file becomes a new registry, which is UTF-16.
    const bool fresh = regIsEmptyFile(d);
    return regTextFormatValue(name, type, data, size,
                              fresh ? RegTextForm{} : regTextFormFor(d, name, type, data, size),
                              &text) &&
           regAppendText(fresh ? RegLineEncoding::Utf16 : regLineEncodingFor(d, text), "\n", text,
                         false, &bytes);
}

bool regFileCanCreateKey(const RegFile& file, std::u16string_view keyPath) {
    RegKeyPath key;
    std::u16string header;
    std::string bytes;
    return regKeyPath(keyPath, &key) && regTextFormatHeader(keyPath, &header) &&
           regAppendText(regIsEmptyFile(*file.data) ? RegLineEncoding::Utf16
                                                    : regLineEncodingFor(*file.data, header),
                         "\n", header, false, &bytes);
}

namespace {

bool setValue(RegFileData* d, std::u16string_view keyPath, std::u16string_view name, uint32_t type,
              const uint8_t* data, size_t size) {
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key) || (data == nullptr && size != 0))
        return false;
    std::u16string folded = regTextFold(name);
    RegPlace p = regLookup(*d, key, &folded);
    // A value that holds the data already keeps its lines, whatever form
    // they give it in (a file of 8-bit lines may hold it in UTF-8).
    const std::vector<uint8_t>& now = p.value.data.bytes;
    if (p.valueFound && p.value.data.type == type && now.size() == size &&
        std::equal(now.begin(), now.end(), data)) {
        return true;
    }
    // An existing value keeps the name as it was first written.
    std::u16string_view written = p.valueFound ? std::u16string_view(p.value.name) : name;
    std::u16string text;
    std::string lines;
    if (!regTextFormatValue(written, type, data, size,
                            regTextFormFor(*d, written, type, data, size), &text))
        return false;
    if (p.valueFound) {
        // The last line keeps its own line end; the others get the file's.
        const RegValueSpot& v = p.value;
        if (!regAppendText(regLineEncodingFor(*d, text), d->eol, text, false, &lines))
            return false;
        if (lines != regBlockView(*d, v.block).substr(v.at, v.contentEnd - v.at))
            regSplice(d, v.block, v.at, v.contentEnd, lines);
        return true;
    }
    if (p.lastHeader < 0)
        return regAppendKeyBlock(d, keyPath, text);
    size_t block = static_cast<size_t>(p.lastHeader);
    if (!regAppendText(regLineEncodingFor(*d, text), d->eol, text, true, &lines))
        return false;
    size_t at = regPlaceNewLines(*d, block, &lines);
    regSplice(d, block, at, at, lines);
    return true;
}

// An empty file becomes a new registry with its first change, and one of
// blank lines gets the header line; a change that fails leaves it as it
// was.
template <typename Change>
bool changeFile(RegFile* file, Change change) {
    if (!regIsEmptyFile(*file->data) && !regNeedsHeader(*file->data))
        return change(file->data.get());
    RegFileData fresh;
    if (regIsEmptyFile(*file->data)) {
        regBecomeNew(&fresh);
    } else {
        fresh = *file->data;
        regGiveHeader(&fresh);
    }
    fresh.revision = file->data->revision + 1;
    if (!change(&fresh))
        return false;
    *file->data = std::move(fresh);
    return true;
}

}  // namespace

bool regFileSetValue(RegFile* file, std::u16string_view keyPath, std::u16string_view name,
                     uint32_t type, const uint8_t* data, size_t size) {
    return changeFile(file,
                      [&](RegFileData* d) { return setValue(d, keyPath, name, type, data, size); });
}

bool regFileCreateKey(RegFile* file, std::u16string_view keyPath, bool* created) {
    if (created != nullptr)
        *created = false;
    RegKeyPath key;
    if (!regKeyPath(keyPath, &key))
        return false;
    if (regLookup(*file->data, key, nullptr).exists)
        return true;
    if (!changeFile(file, [&](RegFileData* d) { return regAppendKeyBlock(d, keyPath, u""); }))
        return false;
    if (created != nullptr)
        *created = true;
    return true;
}

}  // namespace ce::posix
