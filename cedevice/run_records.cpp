// record: the run records of qorvinstall and Zandoval, read for a person.
//
// Each program leaves its outcome in one registry key.  The values are
// shown in groups (the result, the call, the snapshots, ...), named as in
// the registry, so that a reader can look each one up.  A value that a run
// did not write keeps what an earlier run left there.
#include <cstdio>
#include <string>
#include <vector>

#include "cedevice/key_path.h"
#include "cedevice/registry_access.h"
#include "cedevice/tool.h"
#include "cedevice/value_text.h"
#include "platform/platform.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/wstr.h"
#include "scanner/setting_path.h"

namespace cedevice {

namespace {

using ce::posix::RegFile;
using ce::posix::RegValueData;

struct Group {
    const char* title;
    std::vector<const char16_t*> names;
    bool showMissing;  // list a value that is not there as "(not set)"
};

struct RunRecord {
    const char* program;  // as typed after "record", in lower case
    const char16_t* key;
    std::vector<Group> groups;
    const char16_t* listFileValue;  // the value naming a list file to show, or nullptr
};

const std::vector<RunRecord>& runRecords() {
    static const std::vector<RunRecord> records = {
        {"qorvinstall",
         u"HKEY_CURRENT_USER\\SOFTWARE\\QORV",
         {
             {"Result",
              {u"ErrorNumber", u"ErrorDescription", u"Version", u"QORVhasChangedSomething"},
              false},
             {"This call",
              {u"callOverall", u"callAction", u"callPLG", u"callTypeCPR", u"callCPR", u"callPlugin",
               u"curResX", u"curResY", u"ListView"},
              false},
             {"The call before", {u"lastCallAction", u"lastCallPLG", u"lastCallCPR"}, false},
             {"Home-screen values before the run (snapshots)",
              {u"callOrgExtXML", u"callOrgDefaultXML", u"callOrgPlugins"},
              false},
             {"Home-screen values the run prepared",
              {u"newExtensibilityXML", u"newDefaultXML", u"newPlugins"},
              false},
             {"Settings", {u"ForbiddenList", u"QORVCompleteInstalled", u"is2StarPath"}, false},
         },
         nullptr},
        {"zandoval",
         u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1",
         {
             {"Result",
              {u"ErrorNumber", u"ErrorDescription", u"Version", u"maxList", u"Scanned"},
              false},
             {"Settings", {u"searchRootDir", u"enter", u"dirFile"}, true},
         },
         u"dirFile"},
    };
    return records;
}

// Numbers in decimal only; everything else as the listings show it.
std::string shortText(const RegValueData& v) {
    if (v.type == ce::kRegDword && v.bytes.size() == 4) {
        std::string s = valueAsIs(v);
        s.pop_back();
        return s;
    }
    return valueOneLine(v);
}

bool inGroups(const RunRecord& r, const std::u16string& name) {
    const std::u16string folded = ce::posix::regTextFold(name);
    for (const Group& g : r.groups) {
        for (const char16_t* n : g.names) {
            if (ce::posix::regTextFold(n) == folded)
                return true;
        }
    }
    return false;
}

void printGroup(const char* title, const std::vector<std::pair<std::string, std::string>>& rows) {
    if (rows.empty())
        return;
    size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, columnsOf(row.first));
    std::printf("\n%s\n", title);
    for (const auto& row : rows) {
        std::printf("  %s%s  %s\n", row.first.c_str(),
                    std::string(width - columnsOf(row.first), ' ').c_str(), row.second.c_str());
    }
}

// The list file at the path Zandoval writes it to (a setting without its
// leading backslash is taken from the root), each line whole, however
// long: a line read in pieces is put together again.  Control characters
// are shown, not sent: the file is any program's to write.
void printListFile(std::u16string setting) {
    setting.resize(setting.size() + 2);
    zandoval::fromTheRoot(setting.data(), setting.size());
    const std::u16string path(setting.c_str());
    std::printf("\nList file %s\n", escapedText(ce::utf8(path)).c_str());
    ce::File file = ce::fileOpen(path.c_str(), ce::FileMode::Read);
    if (file == nullptr) {
        std::printf("  (cannot be read)\n");
        return;
    }
    char piece[4096];
    std::string text;
    for (size_t n = 0; (n = ce::fileReadLine(file, piece, sizeof piece)) > 0;) {
        text.append(piece, n);
        if (text.back() == '\n') {
            text.pop_back();
            std::printf("  %s\n", escapedText(text).c_str());
            text.clear();
        }
    }
    if (!text.empty())
        std::printf("  %s\n", escapedText(text).c_str());  // the last line, without a line end
    ce::fileClose(file);
}

// Shows one record; false when its key does not exist.
bool printRecord(const RegFile& file, const RunRecord& r) {
    if (!ce::posix::regFileKeyExists(file, r.key))
        return false;
    std::printf("%s run record: %s\n", r.program, ce::utf8(r.key).c_str());
    for (const Group& g : r.groups) {
        std::vector<std::pair<std::string, std::string>> rows;
        for (const char16_t* name : g.names) {
            RegValueData v;
            if (ce::posix::regFileGetValue(file, r.key, name, &v)) {
                rows.emplace_back(ce::utf8(name), shortText(v));
            } else if (g.showMissing) {
                rows.emplace_back(ce::utf8(name), "(not set)");
            }
        }
        printGroup(g.title, rows);
    }
    std::vector<std::pair<std::string, std::string>> others;
    for (const std::u16string& name : ce::posix::regFileValueNames(file, r.key)) {
        RegValueData v;
        if (!inGroups(r, name) && ce::posix::regFileGetValue(file, r.key, name, &v))
            others.emplace_back(escapedText(ce::utf8(name)), shortText(v));
    }
    printGroup("Other values", others);
    RegValueData list;
    if (r.listFileValue != nullptr &&
        ce::posix::regFileGetValue(file, r.key, r.listFileValue, &list)) {
        std::string path = valueAsIs(list);
        path.pop_back();
        if (list.type == ce::kRegSz && !path.empty())
            printListFile(ce::u16(path));
    }
    return true;
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

}  // namespace

int recordCommand(const Args& args) {
    if (args.size() > 1)
        return usageError("record takes an optional PROGRAM: qorvinstall or zandoval");
    const std::string wanted = args.empty() ? "" : lower(args[0]);
    if (wanted == "vantrelo")
        return usageError("Vantrelo keeps no run record; it reports problems on standard error");
    std::vector<const RunRecord*> chosen;
    for (const RunRecord& r : runRecords()) {
        if (wanted.empty() || wanted == r.program)
            chosen.push_back(&r);
    }
    if (chosen.empty())
        return usageError("no run record of '" + args[0] + "': choose qorvinstall or zandoval");
    std::shared_ptr<const RegFile> file = readRegistry();
    if (file == nullptr)
        return kExitFailed;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (i > 0)
            std::printf("\n");
        if (!printRecord(*file, *chosen[i])) {
            if (!wanted.empty())
                return fail("no run record of " + wanted + " yet: no key " +
                            ce::utf8(chosen[i]->key));
            std::printf("%s run record: none yet (no key %s)\n", chosen[i]->program,
                        ce::utf8(chosen[i]->key).c_str());
        }
    }
    return kExitOk;
}

}  // namespace cedevice
