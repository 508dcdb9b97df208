// The home screen's current layout name and the layout file built from it.
//
// "CPRFile" names the layout in use; "ExtensibilityXML" names layout files
// in attributes CPRFileName="...".  When the XML does not name the layout
// of "CPRFile", the first named one is taken instead, and "CPRFile" is to be
// brought in step with it (the CPRFile fix-up).
#pragma once

#include <cstddef>

namespace qorv {

// Texts built around the name ('CPRFileName="name"', ";name;") live in
// buffers of this many characters, so a layout name may have at most
// kMaxLayoutNameChars characters.
constexpr size_t kLayoutNameBufChars = 512;
constexpr size_t kMaxLayoutNameChars = 497;

enum class LayoutNameResult {
    Current,   // the name of "CPRFile" is kept
    Fallback,  // the XML's first named layout is taken; a fix-up is due
    TooLong,   // the name would be longer than kMaxLayoutNameChars
};

// Decides the current layout name from the texts of "CPRFile" and
// "ExtensibilityXML".  out has kLayoutNameBufChars characters.  When the
// XML names no layout at all, names an empty one or lacks the closing
// quotation mark, "CPRFile" is kept as read.
LayoutNameResult resolveLayoutName(const char16_t* cprFile, const char16_t* extensibilityXml,
                                   char16_t* out);

// True when the list holds ";" + name + ";" (case-sensitive).
bool isListedLayout(const char16_t* forbiddenList, const char16_t* name);

// "\Windows\" + name + "_" + first + "x" + second + ".cpr".  False (out
// empty) when it does not fit.
bool composeLayoutPath(const char16_t* name, unsigned first, unsigned second, char16_t* out,
                       size_t outChars);

}  // namespace qorv
