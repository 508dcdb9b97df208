// The message box of this backend: one line "CAPTION: text" on standard
// error, without waiting for anyone to dismiss it.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/wstr.h"

namespace ce {

namespace {

// UTF-8 of a text that may hold unpaired surrogates: those become U+FFFD,
// and line breaks become blanks so that the box stays one line.
std::string oneLineUtf8(const char16_t* text) {
    if (text == nullptr)
        return {};
    std::u16string clean;
    size_t n = u16len(text);
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            clean.push_back(c);
            clean.push_back(text[++i]);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            clean.push_back(0xFFFD);
        } else if (c == u'\r' || c == u'\n') {
            clean.push_back(u' ');
        } else {
            clean.push_back(c);
        }
    }
    std::string out;
    u16ToUtf8(clean.data(), clean.size(), &out);
    return out;
}

}  // namespace

void messageBox(const char16_t* caption, const char16_t* text) {
    std::string line = oneLineUtf8(caption) + ": " + oneLineUtf8(text) + "\n";
    // One write, so that lines of processes sharing the stream stay whole.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace ce
