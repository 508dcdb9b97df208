// The installer's command line: a whole run, from parsing the line to the
// editor and the run record, on the sample device held in memory.
//
// Input: the command line as the posix entry receives it (UTF-8; bytes that
// are not UTF-8 count one character each).  Properties:
//   - the result code is the one returned and recorded, and its text
//     begins with "#", the number and a blank;
//   - every run that passes the guard ends with "QORVhasChangedSomething" 1;
//   - a silent run shows no box, a failed run that is not silent shows one;
//   - a failed run leaves every layout file and the home screen's plugin
//     values as they were, and success needs an action;
//   - " -nochangecpr" keeps the layout files of an add or a removal, and
//     " -nochangechomereg" keeps the home screen's values;
//   - a line longer than the installer's buffer is refused with 5.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/memory_device.h"
#include "installer/result_codes.h"
#include "installer/run.h"
#include "installer/run_limits.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace {

struct SampleDevice {
    std::string registry;
    std::map<std::u16string, std::string> files;
};

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    FUZZ_CHECK(in.good() || in.eof());
    return bytes.str();
}

const SampleDevice& sample() {
    static const SampleDevice d = [] {
        SampleDevice s;
        std::string root = CE_EXAMPLE_DEVICE;
        s.registry = readHostFile(root + "/registry.reg");
        for (const char* path : {"/Windows/qorvhome_480x800.cpr", "/Windows/qorvhome_800x480.cpr",
                                 "/Program Files/Lorvendi/lorvendi.plg"}) {
            std::u16string device = ce::u16(path);
            for (char16_t& c : device)
                c = c == u'/' ? u'\\' : c;
            s.files[device] = readHostFile(root + "/fs" + path);
            FUZZ_CHECK(!s.files[device].empty());
        }
        return s;
    }();
    return d;
}

const char16_t* const kHomeValues[] = {u"ExtensibilityXML", u"DefaultXML", u"Plugins", u"CPRFile"};

std::map<std::u16string, std::u16string> homeValues() {
    std::map<std::u16string, std::u16string> values;
    ce::RegKey home = ce::regOpenKey(ce::Hive::LocalMachine, qorv::kHomeScreenKey);
    static char16_t text[qorv::kTextChars];
    for (const char16_t* name : kHomeValues) {
        if (ce::regReadString(home, name, text, qorv::kTextChars))
            values[name] = text;
    }
    ce::regCloseKey(home);
    return values;
}

// The layout files: everything but the temporary copies.
std::map<std::u16string, std::string> layoutFiles() {
    std::map<std::u16string, std::string> files = cefuzz::memoryDeviceFiles();
    files.erase(u"\\temptitaniumportraitcpr.txt");
    files.erase(u"\\temptitaniumlandscapecpr.txt");
    return files;
}

std::u16string commandLine(const uint8_t* data, size_t size) {
    std::u16string line;
    if (!ce::utf8ToU16(reinterpret_cast<const char*>(data), size, &line))
        line.assign(data, data + size);
    return line.substr(0, line.find(u'\0'));
}

bool holds(const std::u16string& line, const char16_t* text) {
    return line.find(text) != std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cefuzz::memoryDeviceReset();
    cefuzz::memoryDeviceSetRegistry(sample().registry);
    for (const auto& [path, bytes] : sample().files) {
        cefuzz::memoryDeviceAddDirectory(path.substr(0, path.rfind(u'\\')));
        cefuzz::memoryDeviceSetFile(path, bytes);
    }
    std::u16string line = commandLine(data, size);
    std::map<std::u16string, std::string> filesBefore = layoutFiles();
    std::map<std::u16string, std::u16string> valuesBefore = homeValues();

    static const qorv::RunContext fresh{};
    static qorv::RunContext ctx;
    ctx = fresh;
    uint32_t result = qorv::runInstaller(ctx, line.c_str());

    FUZZ_CHECK(result == qorv::resultNumber(ctx.outcome.result));
    FUZZ_CHECK(qorv::resultText(ctx.outcome.result) != nullptr);
    std::u16string text = qorv::resultText(ctx.outcome.result);
    FUZZ_CHECK(text.rfind(u"#" + ce::u16(std::to_string(result)) + u" ", 0) == 0);
    ce::RegKey record = ce::regOpenKey(ce::Hive::CurrentUser, u"SOFTWARE\\QORV");
    uint32_t number = 0;
    static char16_t recorded[qorv::kTextChars];
    FUZZ_CHECK(ce::regReadDword(record, u"ErrorNumber", &number) && number == result);
    FUZZ_CHECK(ce::regReadString(record, u"ErrorDescription", recorded, qorv::kTextChars) &&
               text == recorded);
    FUZZ_CHECK(ce::regReadDword(record, u"QORVhasChangedSomething", &number) && number == 1);
    ce::regCloseKey(record);

    int boxes = cefuzz::memoryDeviceMessageBoxes();
    FUZZ_CHECK(holds(line, u"-silent") ? boxes == 0 : (result == 0 || boxes > 0));
    if (line.size() > qorv::kMaxCommandLineChars)
        FUZZ_CHECK(result == qorv::resultNumber(qorv::Result::CommandLineTooLong));
    if (result == 0) {
        FUZZ_CHECK(holds(line, u"-addchange") || holds(line, u"-delete") ||
                   holds(line, u"-change"));
    }
    bool keepsLayout = result != 0 || (holds(line, u" -nochangecpr") &&
                                       (ctx.request.action == qorv::Action::AddChange ||
                                        ctx.request.action == qorv::Action::Delete));
    if (keepsLayout)
        FUZZ_CHECK(layoutFiles() == filesBefore);
    std::map<std::u16string, std::u16string> valuesAfter = homeValues();
    if (holds(line, u" -nochangechomereg")) {
        FUZZ_CHECK(valuesAfter == valuesBefore);
    } else if (result != 0) {
        // The fix-up of "CPRFile" is written even when a later step fails.
        valuesAfter[u"CPRFile"] = valuesBefore[u"CPRFile"];
        FUZZ_CHECK(valuesAfter == valuesBefore);
    }
    return 0;
}
