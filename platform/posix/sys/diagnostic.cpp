#include "platform/posix/sys/diagnostic.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/platform.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce::posix {

std::string diagnosticName() {
    std::string name = program_invocation_short_name;
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

std::string systemError(int error) {
    char buf[256];
    // The GNU strerror_r returns its text, which need not be in buf.
    return strerror_r(error, buf, sizeof buf);
}

size_t terminalCharacterAt(const std::string& text, size_t at, bool* control) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data()) + at;
    uint32_t code = bytes[0];
    size_t n = code < 0x80 ? 1 : utf8DecodeOne(bytes, text.size() - at, &code);
    if (n == 0) {
        *control = true;
        return 1;
    }
    *control = code < 0x20 || (code >= 0x7F && code < 0xA0);
    return n;
}

std::string shownControls(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool control = false;
        const size_t n = terminalCharacterAt(text, i, &control);
        for (size_t k = 0; control && k < n; ++k) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(text[i + k]));
            out += code;
        }
        if (!control)
            out.append(text, i, n);
        i += n;
    }
    return out;
}

void diagnose(const std::string& text) {
    // Never destroyed: a write that waited for the program's exit may
    // still have something to say then.
    static std::mutex mutex;
    static auto* written = new std::set<std::string>;
    std::lock_guard<std::mutex> guard(mutex);
    if (!written->insert(text).second)
        return;
    // Control characters from the files and settings a line quotes are
    // shown, not sent: a carriage return would overwrite the line on a
    // terminal.
    std::string line = diagnosticName() + ": " + shownControls(text) + "\n";
    // One write, so that lines of processes sharing the stream stay whole.
    writeAll(STDERR_FILENO, line.data(), line.size());
}

}  // namespace ce::posix

namespace ce {

void diagnostic(const char16_t* text) {
    if (text == nullptr || text[0] == 0)
        return;
    std::string line;
    u16ToUtf8(text, u16len(text), &line);
    // One line: a line end inside the text would start a line that no
    // longer begins with the program's name.
    for (char& c : line) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    posix::diagnose(line);
}

}  // namespace ce
