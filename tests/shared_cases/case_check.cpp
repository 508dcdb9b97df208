#include "tests/shared_cases/case_check.h"

#include <sstream>

#include "platform/wstr.h"

namespace cecase {

namespace {

// Printable form of bytes for messages.
std::string shown(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// The UTF-8 text of a string value: UTF-16LE bytes up to the first NUL.
std::string stringText(const std::string& bytes) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t u = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (u == 0)
            break;
        wide.push_back(u);
    }
    return ce::utf8(wide);
}

}  // namespace

std::vector<std::string> checkExpectations(const Case& c, const ReadRegistry& readRegistry,
                                           const ReadFile& readFile) {
    std::vector<std::string> problems;
    for (const RegExpect& e : c.regExpects) {
        std::string where = "line " + std::to_string(e.line) + ": " + e.key + " \"" + e.name + "\"";
        std::optional<ReadValue> v = readRegistry(e.key, e.name);
        if (e.kind == ExpectKind::NoValue) {
            if (v)
                problems.push_back(where + " exists but should not");
            continue;
        }
        if (!v) {
            problems.push_back(where + " is missing");
        } else if (e.kind == ExpectKind::Dword) {
            if (v->type != 4 || v->bytes.size() != 4) {
                problems.push_back(where + " is not a REG_DWORD of 4 bytes");
                continue;
            }
            uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(v->bytes[i]);
            if (n != e.number) {
                problems.push_back(where + " is " + std::to_string(n) + ", expected " +
                                   std::to_string(e.number));
            }
        } else {
            std::string text = stringText(v->bytes);
            if (v->type != 1)
                problems.push_back(where + " is not a REG_SZ");
            if (text != e.text) {
                problems.push_back(where + " is \"" + text + "\", expected \"" + e.text + "\"");
            } else if (v->bytes.size() != (ce::u16(text).size() + 1) * 2) {
                problems.push_back(where + " has " + std::to_string(v->bytes.size()) +
                                   " bytes, not (characters + 1) x 2");
            }
        }
    }
    for (const FileExpect& f : c.fileExpects) {
        std::string where = "line " + std::to_string(f.line) + ": " + f.devicePath;
        std::optional<std::string> bytes = readFile(f.devicePath);
        if (!f.present) {
            if (bytes)
                problems.push_back(where + " exists but should not");
        } else if (!bytes) {
            problems.push_back(where + " is missing");
        } else if (*bytes != f.bytes) {
            problems.push_back(where + " holds \"" + shown(*bytes) + "\", expected \"" +
                               shown(f.bytes) + "\"");
        }
    }
    return problems;
}

std::vector<std::string> checkRun(const Case& c, int exitCode,
                                  const std::vector<std::string>& boxes) {
    std::vector<std::string> problems;
    // Exit statuses are compared as the low byte a process leaves behind,
    // so -1 is 255 on every system.
    if (c.checkExit && (exitCode & 0xff) != (c.exitCode & 0xff)) {
        problems.push_back("exit status " + std::to_string(exitCode) + ", expected " +
                           std::to_string(c.exitCode));
    }
    if (c.checkBoxes && boxes != c.boxes) {
        std::string got;
        for (const std::string& b : boxes)
            got += "\n    " + b;
        std::string want;
        for (const std::string& b : c.boxes)
            want += "\n    " + b;
        problems.push_back("message boxes:" + (got.empty() ? std::string(" none") : got) +
                           "\n  expected:" + (want.empty() ? std::string(" none") : want));
    }
    return problems;
}

std::vector<std::string> boxLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("QORV: ", 0) == 0 || line.rfind("Zandoval: ", 0) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

}  // namespace cecase
