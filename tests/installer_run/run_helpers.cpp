#include "run_helpers.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "platform/wstr.h"

namespace qorvtest {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

RegText& RegText::key(const std::string& path) {
    text_ += "\r\n[" + path + "]\r\n";
    return *this;
}

RegText& RegText::str(const std::string& name, const std::string& value) {
    text_ += "\"" + cetest::regEscape(name) + "\"=\"" + cetest::regEscape(value) + "\"\r\n";
    return *this;
}

RegText& RegText::dword(const std::string& name, uint32_t value) {
    char buf[16];
    snprintf(buf, sizeof buf, "%08x", value);
    text_ += "\"" + cetest::regEscape(name) + "\"=dword:" + buf + "\r\n";
    return *this;
}

RegText& RegText::home(const std::string& name) {
    key("HKEY_LOCAL_MACHINE\\" + kHomeKey);
    str("CPRFile", name);
    str("ExtensibilityXML",
        "<Plugins Order=\"Clock;Weather\"/><Layout CPRFileName=\"" + name + "\"/>");
    str("DefaultXML", "<Plugins Order=\"Clock;Weather\"/>");
    str("Plugins", "Clock;Weather");
    return *this;
}

cetest::RunResult runInstaller(const cetest::TempDevice& dev, const std::string& line) {
    return cetest::runProgram(kExe, {line}, dev.dir());
}

std::vector<std::string> boxes(const cetest::RunResult& r) {
    std::vector<std::string> out;
    std::istringstream in(r.err);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("QORV: ", 0) == 0)
            out.push_back(line.substr(6));
    }
    return out;
}

std::vector<std::string> valueOrder(const std::string& regText, const std::string& keyPath) {
    std::vector<std::string> names;
    std::istringstream in(regText);
    std::string line;
    std::string header = lower("[" + keyPath + "]");
    bool inBlock = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inBlock = lower(line) == header;
            continue;
        }
        if (!inBlock || line.empty() || line[0] != '"')
            continue;
        std::string name;
        for (size_t i = 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            name.push_back(line[i]);
        }
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> only(const std::vector<std::string>& order,
                              const std::vector<std::string>& wanted) {
    std::vector<std::string> out;
    for (const std::string& n : order) {
        if (std::find(wanted.begin(), wanted.end(), n) != wanted.end())
            out.push_back(n);
    }
    return out;
}

std::string runString(const cetest::TempDevice& dev, const std::string& name) {
    auto v = dev.regString(false, kRunKey, name);
    return v ? ce::utf8(*v) : std::string("<missing>");
}

int64_t runDword(const cetest::TempDevice& dev, const std::string& name) {
    auto v = dev.regDword(false, kRunKey, name);
    return v ? static_cast<int64_t>(*v) : -1;
}

}  // namespace qorvtest
