// The message box of this backend: one line "CAPTION: text" on standard
// error, without waiting for anyone to dismiss it.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"
#include "platform/wstr.h"

namespace ce {

namespace {

// UTF-8 of a text, line breaks turned into blanks so that the box stays
// one line (an unpaired surrogate is shown as U+FFFD).
std::string oneLineUtf8(const char16_t* text) {
    if (text == nullptr)
        return {};
    std::u16string clean(text);
    for (char16_t& c : clean) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
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
