// Runs the shared cases of tests/cases/ with the Windows programs under
// wine.  The device is the C: drive of a wine prefix that is already made
// and kept warm (scripts/test-wine.sh does that); the registry is seeded
// with "regedit /S" and read back with "regedit /E", both read and written
// with the project's own registry-file code.
//
//   wine_case_driver --prefix DIR --bin DIR --cases DIR --screen WxH [--only NAME]
//
// --bin holds qorvinstall.exe, Zandoval.exe, Vantrelo.exe and
// wine_helper.exe.  Only the cases for the given screen size run (the X
// server's screen is the device's screen).  Prints one line per case and a
// closing "N passed, N failed"; the exit status is 1 when a case failed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"
#include "tests/shared_cases/case_check.h"
#include "tests/shared_cases/case_file.h"
#include "tests/support/device_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRunTimeoutSeconds = 30;
constexpr int kWineCommandTimeoutSeconds = 60;
constexpr int kGuardReadySeconds = 20;

struct Setup {
    std::string prefix;
    std::string bin;
    std::string cases;
    std::string screen;
    std::string only;
    std::string driveC;                 // <prefix>/drive_c
    std::string work;                   // <drive_c>/cetest, the driver's own files
    std::set<std::string> originalTop;  // drive_c entries before any case
};

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Host path of a device path on the C: drive, found without regard to case
// as the device finds it; components that do not exist keep the case given.
std::string hostPath(const Setup& s, const std::string& devicePath) {
    fs::path current = s.driveC;
    size_t i = 0;
    while (i < devicePath.size()) {
        size_t j = devicePath.find_first_of("\\/", i);
        if (j == std::string::npos)
            j = devicePath.size();
        std::string part = devicePath.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        std::string found = part;
        std::error_code ec;
        if (!fs::exists(current / part, ec)) {
            for (const auto& e : fs::directory_iterator(current, ec)) {
                if (lower(e.path().filename().string()) == lower(part)) {
                    found = e.path().filename().string();
                    break;
                }
            }
        }
        current /= found;
    }
    return current.string();
}

// Runs wine with the given arguments and waits (the environment carries
// WINEPREFIX, WINEDEBUG and DISPLAY).
int wine(const std::vector<std::string>& args, int timeoutSeconds = kWineCommandTimeoutSeconds) {
    cetest::RunResult r = cetest::runProgram("/usr/bin/wine", args, "", {}, timeoutSeconds);
    return r.exitCode;
}

std::string windowsPath(const Setup& s, const std::string& host) {
    std::string rest = host.substr(s.driveC.size());
    for (char& c : rest) {
        if (c == '/')
            c = '\\';
    }
    return "C:" + rest;
}

// The .reg text that empties the keys a case uses and then seeds its registry.
std::string seedText(const cecase::Case& c) {
    std::set<std::string> keys = {"HKEY_CURRENT_USER\\SOFTWARE\\QORV",
                                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome"};
    for (const std::string& k : cecase::expectedKeys(c))
        keys.insert(k);
    ce::posix::RegFile parsed = ce::posix::regFileParse(c.registry);
    for (const std::u16string& path : ce::posix::regFileHeaderPaths(parsed))
        keys.insert(ce::utf8(path));
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    for (const std::string& k : keys)
        text += "[-" + k + "]\n\n";
    std::string body = c.registry;
    if (body.rfind("Windows Registry Editor", 0) == 0 || body.rfind("REGEDIT4", 0) == 0) {
        size_t eol = body.find('\n');
        body = eol == std::string::npos ? "" : body.substr(eol + 1);
    }
    text += body;
    // regedit reads UTF-16LE with a byte-order mark and CR LF line ends.
    std::string crlf;
    for (char ch : text) {
        if (ch == '\n' && (crlf.empty() || crlf.back() != '\r'))
            crlf.push_back('\r');
        crlf.push_back(ch);
    }
    return cecase::utf16leBytes(crlf, true);
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
}

// Takes away what earlier cases left: new top-level entries of C:, the
// files this case names, the installer's temporary layout copies.
void cleanDrive(const Setup& s, const cecase::Case& c) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(s.driveC, ec)) {
        std::string name = e.path().filename().string();
        if (s.originalTop.count(name) == 0 && name != "cetest")
            removeQuietly(e.path().string());
    }
    std::vector<std::string> paths = {"\\tempTitaniumPortraitCpr.txt",
                                      "\\tempTitaniumLandscapeCpr.txt"};
    for (const auto& f : c.files)
        paths.push_back(f.devicePath);
    for (const auto& f : c.fileExpects)
        paths.push_back(f.devicePath);
    for (const auto& p : c.programCopies)
        paths.push_back(p.devicePath);
    for (const std::string& p : paths)
        removeQuietly(hostPath(s, p));
    removeQuietly(s.work + "/run");
    fs::create_directories(s.work + "/run", ec);
}

// The keys exported by one round of checks: each key is exported once per
// round, not once per value, and a key that cannot be exported is tried
// once more (a single regedit start may fail under load).
using KeyExports = std::map<std::string, std::optional<ce::posix::RegFile>>;

const std::optional<ce::posix::RegFile>& exportKey(const Setup& s, const std::string& key,
                                                   KeyExports* exports) {
    auto found = exports->find(key);
    if (found != exports->end())
        return found->second;
    std::string out = s.work + "/run/export.reg";
    std::optional<ce::posix::RegFile> file;
    for (int attempt = 0; attempt < 2 && !file; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        removeQuietly(out);
        if (wine({"regedit", "/E", windowsPath(s, out), key}) == 0 && fs::exists(out))
            file = ce::posix::regFileParse(cetest::readHostFile(out));
    }
    return (*exports)[key] = std::move(file);
}

std::optional<cecase::ReadValue> readBack(const Setup& s, const std::string& key,
                                          const std::string& name, KeyExports* exports) {
    const std::optional<ce::posix::RegFile>& file = exportKey(s, key, exports);
    ce::posix::RegValueData v;
    if (!file || !ce::posix::regFileGetValue(*file, ce::u16(key), ce::u16(name), &v))
        return std::nullopt;
    return cecase::ReadValue{v.type, std::string(v.bytes.begin(), v.bytes.end())};
}

pid_t spawnWine(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("wine"));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv("/usr/bin/wine", argv.data());
        _exit(127);
    }
    return pid;
}

std::vector<std::string> runCase(const Setup& s, const cecase::Case& c) {
    std::vector<std::string> problems;
    cleanDrive(s, c);
    std::string seed = s.work + "/run/seed.reg";
    cetest::writeHostFile(seed, seedText(c));
    if (wine({"regedit", "/S", windowsPath(s, seed)}) != 0) {
        return {"regedit /S could not seed the registry"};
    }
    for (const auto& f : c.files)
        cetest::writeHostFile(hostPath(s, f.devicePath), f.bytes);
    for (const auto& p : c.programCopies) {
        std::string to = hostPath(s, p.devicePath);
        fs::create_directories(fs::path(to).parent_path());
        fs::copy_file(s.work + "/bin/" + p.program + ".exe", to,
                      fs::copy_options::overwrite_existing);
    }
    std::string exe = s.work + "/bin/" + c.program + ".exe";
    if (c.program == "Vantrelo" || !c.menuFiles.empty()) {
        // The launcher finds its menu files beside its executable.
        std::string dir = s.work + "/run/launcher";
        fs::create_directories(dir);
        fs::copy_file(exe, dir + "/" + c.program + ".exe", fs::copy_options::overwrite_existing);
        for (const auto& m : c.menuFiles)
            cetest::writeHostFile(dir + "/" + m.devicePath, m.bytes);
        exe = dir + "/" + c.program + ".exe";
    }

    pid_t guard = -1;
    std::string ready = s.work + "/run/ready";
    std::string stop = s.work + "/run/stop";
    if (!c.guardWindow.empty()) {
        guard = spawnWine({windowsPath(s, s.work + "/bin/wine_helper.exe"), "window", c.guardWindow,
                           windowsPath(s, ready), windowsPath(s, stop)});
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kGuardReadySeconds);
        while (!fs::exists(ready) && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!fs::exists(ready))
            problems.push_back("the guard window could not be made");
    }

    std::string cmd = s.work + "/run/cmd.txt";
    std::string boxes = s.work + "/run/boxes.txt";
    cetest::writeHostFile(cmd, c.commandLine);
    int status = wine(
        {windowsPath(s, s.work + "/bin/wine_helper.exe"), "run", std::to_string(kRunTimeoutSeconds),
         std::to_string(c.pick), windowsPath(s, boxes), windowsPath(s, exe), windowsPath(s, cmd)},
        kRunTimeoutSeconds + 15);

    if (guard > 0) {
        cetest::writeHostFile(stop, "");
        int ignored = 0;
        waitpid(guard, &ignored, 0);
    }
    if (status == 124)
        problems.push_back("the program did not end in time");
    for (const std::string& p :
         cecase::checkRun(c, status, cecase::boxLines(cetest::readHostFile(boxes)))) {
        problems.push_back(p);
    }

    KeyExports exports;
    auto readRegistry = [&s, &exports](const std::string& key, const std::string& name) {
        return readBack(s, key, name, &exports);
    };
    auto readFile = [&s](const std::string& path) -> std::optional<std::string> {
        std::string host = hostPath(s, path);
        if (!fs::is_regular_file(host))
            return std::nullopt;
        return cetest::readHostFile(host);
    };
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(c.settleSeconds);
    std::vector<std::string> expectations;
    for (;;) {
        exports.clear();  // each round sees the registry as it is now
        expectations = cecase::checkExpectations(c, readRegistry, readFile);
        if (expectations.empty() || std::chrono::steady_clock::now() >= until)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    problems.insert(problems.end(), expectations.begin(), expectations.end());
    return problems;
}

bool parseArgs(int argc, char** argv, Setup* s) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        std::string v = argv[i + 1];
        if (k == "--prefix") {
            s->prefix = v;
        } else if (k == "--bin") {
            s->bin = v;
        } else if (k == "--cases") {
            s->cases = v;
        } else if (k == "--screen") {
            s->screen = v;
        } else if (k == "--only") {
            s->only = v;
        } else {
            return false;
        }
    }
    return !s->prefix.empty() && !s->bin.empty() && !s->cases.empty() && !s->screen.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Setup s;
    if (!parseArgs(argc, argv, &s)) {
        fprintf(stderr,
                "usage: wine_case_driver --prefix DIR --bin DIR --cases DIR --screen WxH "
                "[--only NAME]\n");
        return 2;
    }
    s.driveC = s.prefix + "/drive_c";
    s.work = s.driveC + "/cetest";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(s.driveC, ec)) {
        s.originalTop.insert(e.path().filename().string());
    }
    fs::create_directories(s.work + "/bin", ec);
    for (const char* name :
         {"qorvinstall.exe", "Zandoval.exe", "Vantrelo.exe", "wine_helper.exe"}) {
        fs::copy_file(s.bin + "/" + name, s.work + "/bin/" + name,
                      fs::copy_options::overwrite_existing, ec);
        if (ec) {
            fprintf(stderr, "wine_case_driver: %s/%s: %s\n", s.bin.c_str(), name,
                    ec.message().c_str());
            return 2;
        }
    }

    std::vector<cecase::Case> cases;
    std::string error;
    if (!cecase::loadCases(s.cases, &cases, &error)) {
        fprintf(stderr, "wine_case_driver: %s\n", error.c_str());
        return 2;
    }
    int passed = 0;
    int failed = 0;
    for (const cecase::Case& c : cases) {
        std::string screen = std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
        if (screen != s.screen || (!s.only.empty() && c.name != s.only))
            continue;
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> problems = runCase(s, c);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printf("%s %s (%.1f s)\n", problems.empty() ? "PASS" : "FAIL", c.name.c_str(), seconds);
        for (const std::string& p : problems)
            printf("    %s\n", p.c_str());
        fflush(stdout);
        (problems.empty() ? passed : failed)++;
    }
    printf("wine: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
