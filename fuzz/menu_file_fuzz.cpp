// The launcher's menu file: its line reader, IniReader's lookups, the split
// of an action and the expansion of its folder variables, and the menu
// file's path from the command line.
//
// Input: the bytes of a menu file; its first bytes also serve as the
// command line.  Properties:
//   - a UTF-16LE file arrives as pieces that, put together, give back its
//     characters, each piece at most 254 characters and at most the
//     buffer, ending at its first line feed;
//   - lookups of MenuN and ActionN give what the menu file's rules give
//     for the pieces (a plain model below);
//   - an action's file and parameters hold no separator, and an action
//     without variables expands to itself;
//   - the menu file path is "Vantrelo", the command line without one
//     leading "-", and ".ini" beside the program, or nothing when too long.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "menu/action_split.h"
#include "menu/ini_reader.h"
#include "menu/menu_path.h"
#include "menu/path_variables.h"
#include "platform/ui.h"
#include "platform/wstr.h"

// The reader is fed from memory; nothing here opens a file by path.
namespace ce::ui {
ProgramFile programFileOpen(const char16_t*) {
    return nullptr;
}
size_t programFileRead(ProgramFile, void*, size_t) {
    return 0;
}
void programFileClose(ProgramFile) {}
}  // namespace ce::ui

namespace ce {
void diagnostic(const char16_t*) {}
}  // namespace ce

namespace {

using vantrelo::kMenuLinePieceChars;

std::vector<std::u16string> readPieces(const uint8_t* data, size_t size, size_t lineChars,
                                       vantrelo::MenuEncoding* encoding) {
    vantrelo::MenuLineReader reader;
    vantrelo::menuLinesStart(reader, data, size);
    std::vector<std::u16string> pieces;
    *encoding = reader.encoding;
    std::vector<char16_t> line(lineChars + 1, u'#');
    while (vantrelo::menuLinesNext(reader, line.data(), lineChars)) {
        FUZZ_CHECK(line[lineChars] == u'#');  // nothing written past the buffer
        pieces.emplace_back(line.data());
    }
    return pieces;
}

void checkUtf16Pieces(const uint8_t* data, size_t size, size_t lineChars) {
    vantrelo::MenuEncoding encoding;
    std::vector<std::u16string> pieces = readPieces(data, size, lineChars, &encoding);
    if (encoding != vantrelo::MenuEncoding::Utf16Le)
        return;
    size_t start = size >= 2 && data[0] == 0xFF && data[1] == 0xFE ? 2 : 0;
    std::u16string units;
    for (size_t i = start; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    if (units.find(u'\0') != std::u16string::npos)
        return;  // a piece is a C string: a NUL hides what follows it
    size_t limit = std::min(kMenuLinePieceChars, lineChars - 1);
    std::u16string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::u16string& p = pieces[i];
        FUZZ_CHECK(!p.empty() && p.size() <= limit);
        FUZZ_CHECK(p.find(u'\n') == std::u16string::npos || p.find(u'\n') == p.size() - 1);
        FUZZ_CHECK(p.back() == u'\n' || p.size() == limit || i + 1 == pieces.size());
        joined += p;
    }
    FUZZ_CHECK(joined == units);
}

// The menu file's lookup rules, applied to the pieces of a pass.
std::u16string modelValue(const std::vector<std::u16string>& pieces, const std::u16string& section,
                          const std::u16string& key) {
    std::u16string prefix = key + u"=";
    bool inSection = false;
    for (const std::u16string& p : pieces) {
        if (p[0] == u'[') {
            inSection = p.find(section) != std::u16string::npos;
            continue;
        }
        if (!inSection || p.compare(0, prefix.size(), prefix) != 0)
            continue;
        size_t from = prefix.size();
        while (from < p.size() && (p[from] == u'=' || p[from] == u'\r' || p[from] == u'\n'))
            ++from;
        size_t to = p.find_first_of(u"=\r\n", from);
        return p.substr(from, to == std::u16string::npos ? std::u16string::npos : to - from);
    }
    return u"";
}

void checkAction(const std::u16string& action) {
    char16_t file[vantrelo::kFileChars];
    char16_t parameters[vantrelo::kParameterChars];
    FUZZ_CHECK(vantrelo::splitAction(action.c_str(), file, parameters));
    std::u16string f(file);
    std::u16string p(parameters);
    char16_t separator = action.find(u'|') != std::u16string::npos   ? u'|'
                         : action.find(u';') != std::u16string::npos ? u';'
                                                                     : 0;
    if (separator == 0) {
        FUZZ_CHECK(f == action && p.empty());
    } else {
        FUZZ_CHECK(f.find(separator) == std::u16string::npos);
        FUZZ_CHECK(p.find(separator) == std::u16string::npos);
        FUZZ_CHECK(action.find(f) != std::u16string::npos &&
                   action.find(p) != std::u16string::npos);
    }

    vantrelo::FolderPaths folders;
    const char16_t* paths[] = {u"\\Program Files", u"\\Windows", u"\\My Documents\\My Music",
                               u"\\My Documents\\My Videos", u"\\My Documents\\My Pictures"};
    for (size_t i = 0; i < vantrelo::kFolderCount; ++i)
        ce::u16copy(folders.path[i], vantrelo::kFolderChars, paths[i]);
    char16_t expanded[vantrelo::kExpansionChars];
    const char16_t* result = vantrelo::expandPathVariables(action.c_str(), folders, expanded);
    if (result != nullptr)
        FUZZ_CHECK(ce::u16len(result) < vantrelo::kExpansionChars);
    if (action.find(u'%') == std::u16string::npos)
        FUZZ_CHECK(result != nullptr && action == result);
}

void checkMenuPath(const uint8_t* data, size_t size) {
    std::u16string line;
    for (size_t i = 0; i < size && i < 24 && data[i] != 0; ++i)
        line.push_back(data[i]);
    std::u16string dir = u"\\" + std::u16string(size % 250, u'd') + u"\\";
    char16_t path[vantrelo::kPathChars];
    bool ok = vantrelo::buildMenuFilePath((dir + u"Vantrelo").c_str(), line.c_str(), path);
    std::u16string suffix = !line.empty() && line[0] == u'-' ? line.substr(1) : line;
    std::u16string want = dir + u"Vantrelo" + suffix + u".ini";
    bool fits = line.size() < vantrelo::kSuffixChars && want.size() < vantrelo::kPathChars;
    FUZZ_CHECK(ok == fits);
    FUZZ_CHECK(ok ? want == path : path[0] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkUtf16Pieces(data, size, 2 + size % 300);
    checkMenuPath(data, size);

    vantrelo::MenuEncoding encoding;
    std::vector<std::u16string> pieces =
        readPieces(data, size, vantrelo::kMenuLineChars, &encoding);
    vantrelo::IniReader reader;
    FUZZ_CHECK(reader.openBytes(data, size));
    // Entries 1, 2 and 10 and one more chosen by the input: every lookup
    // reads the whole file, and the other numbers take the same paths.
    for (int n : {1, 2, 10, 3 + static_cast<int>(size % 7)}) {
        std::u16string number = ce::u16(std::to_string(n));
        std::u16string menu = reader.getValue(u"Menus", (u"Menu" + number).c_str(), u"");
        FUZZ_CHECK(menu == modelValue(pieces, u"Menus", u"Menu" + number));
        std::u16string action = reader.getValue(u"Actions", (u"Action" + number).c_str(), u"");
        FUZZ_CHECK(action == modelValue(pieces, u"Actions", u"Action" + number));
        checkAction(action);
    }
    return 0;
}
