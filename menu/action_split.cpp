#include "menu/action_split.h"

#include "platform/wstr.h"

namespace vantrelo {

namespace {

bool isDelimiter(char16_t c, const char16_t* delimiters) {
    return c != 0 && ce::u16chr(delimiters, c) != nullptr;
}

// The next non-empty field of *cursor, ended by one of delimiters or the
// end of the text, copied into dst; *cursor moves past the field and its
// ending delimiter.  An exhausted text gives the empty string.
bool nextField(const char16_t** cursor, const char16_t* delimiters, char16_t* dst,
               size_t dstChars) {
    const char16_t* p = *cursor;
    while (isDelimiter(*p, delimiters))
        ++p;
    size_t n = 0;
    while (p[n] != 0 && !isDelimiter(p[n], delimiters))
        ++n;
    *cursor = p[n] != 0 ? p + n + 1 : p + n;
    return ce::u16copyN(dst, dstChars, p, n);
}

}  // namespace

bool splitAction(const char16_t* action, char16_t* file, char16_t* parameters) {
    file[0] = 0;
    parameters[0] = 0;
    char16_t separator = 0;
    if (ce::u16chr(action, u'|') != nullptr) {
        separator = u'|';
    } else if (ce::u16chr(action, u';') != nullptr) {
        separator = u';';
    }
    if (separator == 0) {
        if (ce::u16copy(file, kFileChars, action))
            return true;
        return false;
    }
    const char16_t fileDelimiters[] = {separator, 0};
    const char16_t parameterDelimiters[] = {separator, u'\r', u'\n', 0};
    const char16_t* cursor = action;
    if (!nextField(&cursor, fileDelimiters, file, kFileChars) ||
        !nextField(&cursor, parameterDelimiters, parameters, kParameterChars)) {
        file[0] = 0;
        parameters[0] = 0;
        return false;
    }
    return true;
}

}  // namespace vantrelo
