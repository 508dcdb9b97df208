#include "installer/layout_name.h"

#include "platform/wstr.h"

namespace qorv {

namespace {

constexpr char16_t kAttribute[] = u"CPRFileName=\"";

// The first place of `text` in the XML outside its comments, or nullptr: a
// layout named in a comment (<!-- was: CPRFileName="old" -->) is none the
// home screen uses, and taking it wrote that name into "CPRFile".
const char16_t* findOutsideComments(const char16_t* xml, const char16_t* text) {
    for (const char16_t* at = xml; *at != 0;) {
        const char16_t* found = ce::u16str(at, text);
        const char16_t* comment = ce::u16str(at, u"<!--");
        if (found == nullptr || comment == nullptr || found < comment)
            return found;
        const char16_t* close = ce::u16str(comment + 4, u"-->");
        if (close == nullptr)
            return nullptr;
        at = close + 3;
    }
    return nullptr;
}

}  // namespace

LayoutNameResult resolveLayoutName(const char16_t* cprFile, const char16_t* extensibilityXml,
                                   char16_t* out) {
    out[0] = 0;
    size_t cprChars = ce::u16len(cprFile);
    if (cprChars > kMaxLayoutNameChars)
        return LayoutNameResult::TooLong;

    char16_t pattern[kLayoutNameBufChars];
    ce::u16copy(pattern, kLayoutNameBufChars, kAttribute);
    ce::u16append(pattern, kLayoutNameBufChars, cprFile);
    ce::u16append(pattern, kLayoutNameBufChars, u"\"");
    if (findOutsideComments(extensibilityXml, pattern) != nullptr) {
        ce::u16copy(out, kLayoutNameBufChars, cprFile);
        return LayoutNameResult::Current;
    }

    // Not named in the XML: the first named layout is the one in use.  An
    // attribute without a usable name gives nothing better than "CPRFile";
    // writing an empty or unterminated name into the home screen would
    // leave it without a layout.
    const char16_t* attr = findOutsideComments(extensibilityXml, kAttribute);
    const char16_t* start = attr == nullptr ? nullptr : attr + ce::u16len(kAttribute);
    const char16_t* end = start == nullptr ? nullptr : ce::u16chr(start, u'"');
    if (end == nullptr || end == start) {
        ce::u16copy(out, kLayoutNameBufChars, cprFile);
        return LayoutNameResult::Current;
    }
    size_t n = static_cast<size_t>(end - start);
    if (n > kMaxLayoutNameChars)
        return LayoutNameResult::TooLong;
    ce::u16copyN(out, kLayoutNameBufChars, start, n);
    return LayoutNameResult::Fallback;
}

bool isListedLayout(const char16_t* forbiddenList, const char16_t* name) {
    char16_t pattern[kLayoutNameBufChars];
    if (!ce::u16copy(pattern, kLayoutNameBufChars, u";") ||
        !ce::u16append(pattern, kLayoutNameBufChars, name) ||
        !ce::u16append(pattern, kLayoutNameBufChars, u";")) {
        return false;
    }
    return ce::u16str(forbiddenList, pattern) != nullptr;
}

bool composeLayoutPath(const char16_t* name, unsigned first, unsigned second, char16_t* out,
                       size_t outChars) {
    char16_t firstText[16];
    char16_t secondText[16];
    ce::u16fromUnsigned(firstText, 16, first);
    ce::u16fromUnsigned(secondText, 16, second);
    bool ok = ce::u16copy(out, outChars, u"\\Windows\\") && ce::u16append(out, outChars, name) &&
              ce::u16append(out, outChars, u"_") && ce::u16append(out, outChars, firstText) &&
              ce::u16append(out, outChars, u"x") && ce::u16append(out, outChars, secondText) &&
              ce::u16append(out, outChars, u".cpr");
    if (!ok && outChars > 0)
        out[0] = 0;
    return ok;
}

}  // namespace qorv
