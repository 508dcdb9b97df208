// Program entry on posix: the arguments after the program name, joined with
// one blank between each, are the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "ce_version.h"
#include "platform/entry.h"
#include "platform/posix/sys/exit_status.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace {

// --help, -h and --version are answered only when they stand alone, so
// that every command line of the device's callers keeps its meaning.
bool answeredHere(int argc, char** argv) {
    if (argc != 2)
        return false;
    const char* arg = argv[1];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(programUsage(), stdout);
        return true;
    }
    if (std::strcmp(arg, "--version") == 0) {
        const char* slash = std::strrchr(argv[0], '/');
        std::printf("%s %s\n", slash != nullptr ? slash + 1 : argv[0], CE_VERSION_TEXT);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    ce::posix::openStandardStreams();
    if (answeredHere(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line.push_back(' ');
        line.append(argv[i]);
    }
    std::u16string wide;
    if (!ce::utf8ToU16(line.data(), line.size(), &wide)) {
        // A byte that is not UTF-8 is taken as one character of its own, so
        // that nothing of the line is lost, and the UTF-8 around it keeps
        // its meaning (a path beyond ASCII still names its file).
        wide.clear();
        const auto* p = reinterpret_cast<const unsigned char*>(line.data());
        for (size_t i = 0; i < line.size();) {
            uint32_t c = 0;
            size_t len = ce::utf8DecodeOne(p + i, line.size() - i, &c);
            if (len == 0) {
                wide.push_back(static_cast<char16_t>(p[i++]));
            } else if (c >= 0x10000) {
                wide.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
                wide.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
                i += len;
            } else {
                wide.push_back(static_cast<char16_t>(c));
                i += len;
            }
        }
    }
    return ce::posix::exitStatusOf(programMain(wide.c_str()));
}
