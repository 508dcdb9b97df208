#include "installer/layout_name.h"

#include "platform/wstr.h"

namespace qorv {

namespace {

constexpr char16_t kAttribute[] = u"CPRFileName=\"";

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
    if (ce::u16str(extensibilityXml, pattern) != nullptr) {
        ce::u16copy(out, kLayoutNameBufChars, cprFile);
        return LayoutNameResult::Current;
    }

    // Not named in the XML: the first named layout is the one in use.  An
    // attribute without a usable name gives nothing better than "CPRFile";
    // writing an empty or unterminated name into the home screen would
    // leave it without a layout.
    const char16_t* attr = ce::u16str(extensibilityXml, kAttribute);
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
