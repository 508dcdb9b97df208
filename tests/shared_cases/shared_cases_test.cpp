// Runs every case of tests/cases/ with the real posix programs on a
// temporary emulated device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>

#include "platform/platform.h"
#include "platform/wstr.h"
#include "tests/menu/x_session.h"
#include "tests/shared_cases/case_check.h"
#include "tests/shared_cases/case_file.h"
#include "tests/support/device_fixture.h"

namespace fs = std::filesystem;

namespace cecase {
// Test names already tell which case ran.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}
}  // namespace cecase

namespace {

std::string programPath(const std::string& program) {
    if (program == "qorvinstall")
        return CE_PROGRAM_QORVINSTALL;
    if (program == "Zandoval")
        return CE_PROGRAM_ZANDOVAL;
    return CE_PROGRAM_VANTRELO;
}

std::vector<cecase::Case> allCases() {
    std::vector<cecase::Case> cases;
    std::string error;
    if (!cecase::loadCases(CE_CASES_DIR, &cases, &error)) {
        cecase::Case broken;
        broken.name = "unreadable_cases";
        broken.program = "qorvinstall";
        broken.registry = error;  // reported by the test below
        broken.pick = -1;
        return {broken};
    }
    return cases;
}

std::optional<cecase::ReadValue> readValue(const std::string& key, const std::string& name) {
    const std::string lm = "HKEY_LOCAL_MACHINE\\";
    const std::string cu = "HKEY_CURRENT_USER\\";
    ce::Hive hive = ce::Hive::LocalMachine;
    std::string sub;
    if (key.rfind(lm, 0) == 0) {
        sub = key.substr(lm.size());
    } else if (key.rfind(cu, 0) == 0) {
        hive = ce::Hive::CurrentUser;
        sub = key.substr(cu.size());
    } else {
        return std::nullopt;
    }
    ce::RegKey k = ce::regOpenKey(hive, ce::u16(sub).c_str());
    if (k == nullptr)
        return std::nullopt;
    std::vector<char> buf(1 << 20);
    uint32_t type = 0;
    uint32_t size = 0;
    bool ok = ce::regQueryValue(k, ce::u16(name).c_str(), buf.data(),
                                static_cast<uint32_t>(buf.size()), &type, &size);
    ce::regCloseKey(k);
    if (!ok)
        return std::nullopt;
    return cecase::ReadValue{type, std::string(buf.data(), size)};
}

void copyProgram(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    chmod(to.c_str(), 0755);
}

class SharedCase : public testing::TestWithParam<cecase::Case> {};

TEST_P(SharedCase, GivesTheExpectedRegistryFilesAndBoxes) {
    const cecase::Case& c = GetParam();
    ASSERT_NE(c.pick, -1) << c.registry;
    std::string exe = programPath(c.program);
    if (exe.empty())
        GTEST_SKIP() << c.program << " is not built";
    std::map<std::string, std::string> env;
    std::optional<vtest::XSession> xsession;
    if (c.program == "Vantrelo") {
        // The launcher gets a virtual display of its own, never the desktop's.
        xsession.emplace();
        ASSERT_TRUE(xsession->ok()) << xsession->error();
        env["DISPLAY"] = xsession->display();
    }

    cetest::TempDevice dev;
    dev.setScreen(c.screenWidth, c.screenHeight);
    if (!c.registry.empty())
        dev.writeRegistry(c.registry);
    for (const cecase::CaseFile& f : c.files)
        dev.writeFile(f.devicePath, f.bytes);
    for (const cecase::ProgramCopy& p : c.programCopies) {
        ASSERT_FALSE(programPath(p.program).empty()) << p.program << " is not built";
        copyProgram(programPath(p.program), dev.hostPath(p.devicePath));
    }
    if (!c.guardWindow.empty()) {
        // A window of that class, owned by this live process.
        cetest::writeHostFile(dev.dir() + "/run/windows/" + c.guardWindow,
                              std::to_string(getpid()) + "\n");
    }
    if (!c.menuFiles.empty() || c.program == "Vantrelo") {
        // The launcher finds its menu files beside its executable.
        std::string dir = dev.dir() + "/host-bin";
        std::string copy = dir + "/" + fs::path(exe).filename().string();
        copyProgram(exe, copy);
        for (const cecase::CaseFile& m : c.menuFiles) {
            cetest::writeHostFile(dir + "/" + m.devicePath, m.bytes);
        }
        exe = copy;
    }

    std::thread picker;
    if (c.pick > 0) {
        // The keys go to the menu once it is on screen (at most 15 s).
        int pick = c.pick;
        std::string display = env["DISPLAY"];
        picker = std::thread([pick, display] {
            std::string prefix = "DISPLAY=" + display + " xdotool ";
            std::string search = prefix + "search --onlyvisible --class Vantrelo >/dev/null 2>&1";
            bool shown = false;
            for (int i = 0; i < 150 && !shown; ++i) {
                shown = system(search.c_str()) == 0;
                if (!shown)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            std::string keys = prefix + "key --delay 80";
            for (int i = 0; i < pick; ++i)
                keys += " Down";
            keys += " Return";
            if (!shown || system(keys.c_str()) != 0) {
                ADD_FAILURE() << "no menu appeared, or xdotool could not send the keys";
            }
        });
    }
    std::vector<std::string> args;
    if (!c.commandLine.empty())
        args.push_back(c.commandLine);
    cetest::RunResult r = cetest::runProgram(exe, args, dev.dir(), env, 30);
    if (picker.joinable())
        picker.join();

    for (const std::string& p : cecase::checkRun(c, r.exitCode, cecase::boxLines(r.err))) {
        ADD_FAILURE() << p << "\n  standard error:\n" << r.err;
    }
    auto readFile = [&dev](const std::string& path) -> std::optional<std::string> {
        // Read through the device's own lookup, which ignores case.
        ce::File f = ce::fileOpen(ce::u16(path).c_str(), ce::FileMode::Read);
        if (f == nullptr)
            return std::nullopt;
        std::string bytes;
        char buf[4096];
        size_t n;
        while ((n = ce::fileRead(f, buf, sizeof buf)) > 0)
            bytes.append(buf, n);
        ce::fileClose(f);
        return bytes;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.settleSeconds);
    std::vector<std::string> problems;
    for (;;) {
        problems = cecase::checkExpectations(c, readValue, readFile);
        if (problems.empty() || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    for (const std::string& p : problems)
        ADD_FAILURE() << p;
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedCase, testing::ValuesIn(allCases()),
                         [](const testing::TestParamInfo<cecase::Case>& info) {
                             std::string name;
                             for (char ch : info.param.name) {
                                 name.push_back(isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
                             }
                             return name;
                         });

}  // namespace
