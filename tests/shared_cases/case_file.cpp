#include "tests/shared_cases/case_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/wstr.h"

namespace cecase {

namespace {

struct Reader {
    std::vector<std::string> lines;
    size_t next = 0;
    std::string error;

    bool fail(size_t lineIndex, const std::string& what) {
        error = "line " + std::to_string(lineIndex + 1) + ": " + what;
        return false;
    }
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            out.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty())
        out.push_back(line);
    return out;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// Options that may stand before a path: "crlf", "noeol", "nobom".
struct BlockOptions {
    bool crlf = false;
    bool noEol = false;
    bool noBom = false;
};

std::string takeOptions(std::string rest, BlockOptions* opt) {
    for (;;) {
        if (startsWith(rest, "crlf ")) {
            opt->crlf = true;
            rest.erase(0, 5);
        } else if (startsWith(rest, "noeol ")) {
            opt->noEol = true;
            rest.erase(0, 6);
        } else if (startsWith(rest, "nobom ")) {
            opt->noBom = true;
            rest.erase(0, 6);
        } else {
            return rest;
        }
    }
}

// "WHAT <<TAG": the lines up to a line that is exactly TAG, each with its
// line end.  *head receives WHAT.
bool readBlock(Reader& r, size_t at, const std::string& rest, const BlockOptions& opt,
               std::string* head, std::string* body) {
    size_t mark = rest.rfind("<<");
    if (mark == std::string::npos)
        return r.fail(at, "expected <<TAG at the end of the line");
    std::string tag = rest.substr(mark + 2);
    *head = rest.substr(0, mark);
    while (!head->empty() && head->back() == ' ')
        head->pop_back();
    if (tag.empty())
        return r.fail(at, "empty block tag");
    body->clear();
    while (r.next < r.lines.size()) {
        const std::string& line = r.lines[r.next++];
        if (line == tag) {
            if (opt.noEol && !body->empty()) {
                body->resize(body->size() - (opt.crlf ? 2 : 1));
            }
            return true;
        }
        *body += line;
        *body += opt.crlf ? "\r\n" : "\n";
    }
    return r.fail(at, "block not closed by " + tag);
}

bool parseNumber(const std::string& s, long long* out) {
    if (s.empty())
        return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size())
        return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9' || v > 0xffffffffLL)
            return false;
        v = v * 10 + (s[i] - '0');
    }
    *out = s[0] == '-' ? -v : v;
    return true;
}

// "KEY|NAME|VALUE" (VALUE only when wantValue).
bool splitExpect(Reader& r, size_t at, const std::string& rest, bool wantValue, RegExpect* e) {
    size_t a = rest.find('|');
    if (a == std::string::npos)
        return r.fail(at, "expected KEY|NAME");
    e->key = fullKeyPath(rest.substr(0, a));
    if (!wantValue) {
        e->name = rest.substr(a + 1);
        return true;
    }
    size_t b = rest.find('|', a + 1);
    if (b == std::string::npos)
        return r.fail(at, "expected KEY|NAME|VALUE");
    e->name = rest.substr(a + 1, b - a - 1);
    e->text = rest.substr(b + 1);
    return true;
}

bool parseDirective(Reader& r, size_t at, const std::string& line, Case* c) {
    size_t blank = line.find(' ');
    std::string word = line.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    long long n = 0;
    BlockOptions opt;
    std::string head;
    std::string body;
    if (word == "program") {
        if (rest != "qorvinstall" && rest != "Zandoval" && rest != "Vantrelo") {
            return r.fail(at, "unknown program " + rest);
        }
        c->program = rest;
    } else if (word == "args") {
        // The line reaches the program exactly: a leading blank would be
        // eaten by the Windows runtime, so it is refused here.
        if (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) {
            return r.fail(at, "the command line must not begin with a blank");
        }
        c->commandLine = rest;
    } else if (word == "screen") {
        size_t x = rest.find('x');
        long long w = 0, h = 0;
        if (x == std::string::npos || !parseNumber(rest.substr(0, x), &w) ||
            !parseNumber(rest.substr(x + 1), &h) || w <= 0 || h <= 0) {
            return r.fail(at, "expected screen WIDTHxHEIGHT");
        }
        c->screenWidth = static_cast<int>(w);
        c->screenHeight = static_cast<int>(h);
    } else if (word == "exit") {
        if (!parseNumber(rest, &n))
            return r.fail(at, "expected exit NUMBER");
        c->checkExit = true;
        c->exitCode = static_cast<int>(n);
    } else if (word == "window") {
        if (rest.empty())
            return r.fail(at, "expected window CLASS");
        c->guardWindow = rest;
    } else if (word == "pick") {
        if (!parseNumber(rest, &n) || n < 1 || n > 10)
            return r.fail(at, "expected pick 1..10");
        c->pick = static_cast<int>(n);
    } else if (word == "settle") {
        if (!parseNumber(rest, &n) || n < 0 || n > 60)
            return r.fail(at, "expected settle 0..60");
        c->settleSeconds = static_cast<int>(n);
    } else if (word == "registry") {
        if (!readBlock(r, at, rest, opt, &head, &body))
            return false;
        c->registry += body;
    } else if (word == "file" || word == "expect-file") {
        std::string path = takeOptions(rest, &opt);
        if (!readBlock(r, at, path, opt, &head, &body))
            return false;
        if (head.empty() || head[0] != '\\')
            return r.fail(at, "a device path begins with \\");
        if (word == "file") {
            c->files.push_back({head, body});
        } else {
            c->fileExpects.push_back({head, true, body, static_cast<int>(at + 1)});
        }
    } else if (word == "expect-no-file") {
        if (rest.empty() || rest[0] != '\\')
            return r.fail(at, "a device path begins with \\");
        c->fileExpects.push_back({rest, false, "", static_cast<int>(at + 1)});
    } else if (word == "menu") {
        std::string name = takeOptions(rest, &opt);
        opt.crlf = true;
        if (!readBlock(r, at, name, opt, &head, &body))
            return false;
        if (head.empty() || head.find_first_of("\\/") != std::string::npos) {
            return r.fail(at, "a menu file is named without a directory");
        }
        c->menuFiles.push_back({head, utf16leBytes(body, !opt.noBom)});
    } else if (word == "copy-program") {
        size_t sep = rest.find(' ');
        if (sep == std::string::npos || rest.compare(sep + 1, 1, "\\") != 0) {
            return r.fail(at, "expected copy-program PROGRAM \\DEVICE\\PATH");
        }
        c->programCopies.push_back({rest.substr(sep + 1), rest.substr(0, sep)});
    } else if (word == "expect-sz" || word == "expect-dword" || word == "expect-no-value") {
        RegExpect e;
        e.line = static_cast<int>(at + 1);
        if (!splitExpect(r, at, rest, word != "expect-no-value", &e))
            return false;
        if (word == "expect-dword") {
            if (!parseNumber(e.text, &n) || n < 0)
                return r.fail(at, "expected a number");
            e.kind = ExpectKind::Dword;
            e.number = static_cast<uint32_t>(n);
            e.text.clear();
        } else if (word == "expect-no-value") {
            e.kind = ExpectKind::NoValue;
        }
        c->regExpects.push_back(e);
    } else if (word == "expect-box") {
        if (rest.find(": ") == std::string::npos)
            return r.fail(at, "expected CAPTION: text");
        c->checkBoxes = true;
        c->boxes.push_back(rest);
    } else if (word == "expect-no-box") {
        c->checkBoxes = true;
    } else {
        return r.fail(at, "unknown directive " + word);
    }
    return true;
}

}  // namespace

std::string fullKeyPath(const std::string& key) {
    if (startsWith(key, "HKLM\\"))
        return "HKEY_LOCAL_MACHINE" + key.substr(4);
    if (startsWith(key, "HKCU\\"))
        return "HKEY_CURRENT_USER" + key.substr(4);
    return key;
}

std::vector<std::string> expectedKeys(const Case& c) {
    std::vector<std::string> keys;
    for (const RegExpect& e : c.regExpects) {
        if (std::find(keys.begin(), keys.end(), e.key) == keys.end())
            keys.push_back(e.key);
    }
    return keys;
}

std::string utf16leBytes(const std::string& utf8, bool bom) {
    std::u16string wide;
    if (!ce::utf8ToU16(utf8.data(), utf8.size(), &wide))
        wide.clear();
    std::string out = bom ? std::string("\xff\xfe") : std::string();
    for (char16_t u : wide) {
        out.push_back(static_cast<char>(u & 0xff));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

bool parseCase(const std::string& name, const std::string& text, Case* out, std::string* error) {
    Reader r;
    r.lines = splitLines(text);
    Case c;
    c.name = name;
    while (r.next < r.lines.size()) {
        size_t at = r.next++;
        const std::string& line = r.lines[at];
        if (line.empty() || line[0] == '#')
            continue;
        if (!parseDirective(r, at, line, &c)) {
            *error = name + ": " + r.error;
            return false;
        }
    }
    if (c.program.empty()) {
        *error = name + ": no program";
        return false;
    }
    *out = std::move(c);
    return true;
}

bool loadCases(const std::string& dir, std::vector<Case>* out, std::string* error) {
    std::vector<std::filesystem::path> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".case")
            paths.push_back(entry.path());
    }
    if (ec) {
        *error = dir + ": " + ec.message();
        return false;
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        Case c;
        if (!parseCase(p.stem().string(), ss.str(), &c, error))
            return false;
        out->push_back(std::move(c));
    }
    return true;
}

}  // namespace cecase
