// Program entry on posix: the arguments after the program name, joined with
// one blank between each, are the command line.
#include <string>

#include "platform/entry.h"
#include "platform/wstr.h"

int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line.push_back(' ');
        line.append(argv[i]);
    }
    std::u16string wide;
    if (!ce::utf8ToU16(line.data(), line.size(), &wide)) {
        // Bytes that are not UTF-8 are taken one character each, so that
        // nothing of the line is lost.
        wide.clear();
        for (unsigned char c : line)
            wide.push_back(static_cast<char16_t>(c));
    }
    return programMain(wide.c_str());
}
