#include "tests/menu/launcher_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/wstr.h"

namespace fs = std::filesystem;

namespace vtest {

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string utf16Menu(const std::string& utf8Lines) {
    std::string crlf;
    for (char c : utf8Lines) {
        if (c == '\n')
            crlf.push_back('\r');
        crlf.push_back(c);
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t u : ce::u16(crlf)) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

Process::~Process() {
    if (pid_ > 0 && !exit_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

std::optional<int> Process::exitCode() {
    if (exit_ || pid_ <= 0)
        return exit_;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exit_;
}

std::optional<int> Process::waitExit(std::chrono::milliseconds deadline) {
    waitFor([&] { return exitCode().has_value(); }, deadline);
    return exit_;
}

void Process::signal(int sig) const {
    if (pid_ > 0 && !exit_)
        kill(pid_, sig);
}

LauncherSetup::LauncherSetup(std::string display) : display_(std::move(display)) {
    root_ = device_.dir() + "-host";
    programDir_ = root_ + "/program";
    outDir_ = root_ + "/out";
    tracePath_ = root_ + "/menus.trace";
    fs::create_directories(programDir_);
    fs::create_directories(outDir_);
    fs::create_directories(root_ + "/xdg-data/applications");
    fs::create_directories(root_ + "/xdg-config");
    fs::create_directories(root_ + "/home");
    fs::copy_file(VANTRELO_EXE, programDir_ + "/Vantrelo");
}

LauncherSetup::~LauncherSetup() {
    const char* keep = getenv("CE_KEEP_TEST_DEVICES");
    if (keep != nullptr && std::string(keep) == "1")
        return;
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void LauncherSetup::writeMenu(const std::string& suffix, const std::string& bytes) const {
    cetest::writeHostFile(programDir_ + "/Vantrelo" + suffix + ".ini", bytes);
}

std::string LauncherSetup::recorderScript(const std::string& hostPath,
                                          const std::string& name) const {
    const std::string out = outDir_ + "/" + name;
    // The descriptors are listed by a program the script starts, which
    // inherits the script's; the arguments file appears last, complete.
    std::string text =
        "#!/bin/sh\n"
        "ls /proc/self/fd > '" +
        out +
        ".fds'\n"
        "readlink /proc/$$/fd/0 > '" +
        out +
        ".stdin'\n"
        "printf '%s\\n' \"$@\" > '" +
        out +
        ".tmp'\n"
        "mv '" +
        out + ".tmp' '" + out + ".args'\n";
    cetest::writeHostFile(hostPath, text);
    chmod(hostPath.c_str(), 0755);
    return hostPath;
}

void LauncherSetup::registerTextHandler(const std::string& name) const {
    const std::string script = recorderScript(root_ + "/" + name + ".sh", name);
    cetest::writeHostFile(root_ + "/xdg-data/applications/vantrelo-test-" + name + ".desktop",
                          "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Vantrelo test handler\n"
                          "Exec=" +
                              script +
                              " %f\n"
                              "MimeType=text/plain;\n"
                              "NoDisplay=true\n");
    cetest::writeHostFile(root_ + "/xdg-config/mimeapps.list",
                          "[Default Applications]\n"
                          "text/plain=vantrelo-test-" +
                              name + ".desktop\n");
}

Process LauncherSetup::start(const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env,
                             const std::string& startedAs) const {
    std::map<std::string, std::string> all{
        {"DISPLAY", display_},
        {"CE_DEVICE_DIR", device_.dir()},
        {"CE_UI_TRACE", tracePath_},
        {"XDG_DATA_HOME", root_ + "/xdg-data"},
        {"XDG_CONFIG_HOME", root_ + "/xdg-config"},
        {"XDG_CACHE_HOME", root_ + "/home/.cache"},
        {"HOME", root_ + "/home"},
        {"NO_AT_BRIDGE", "1"},
        {"GSETTINGS_BACKEND", "memory"},
        // GTK keeps caches for the life of the process; they are no leak of
        // ours, and the suppressions name only the desktop libraries.
        {"LSAN_OPTIONS", "suppressions=" CE_LSAN_SUPPRESSIONS},
    };
    for (const auto& [k, v] : env)
        all[k] = v;
    const std::string exe = startedAs.empty() ? programDir_ + "/Vantrelo" : startedAs;
    const std::string log = root_ + "/launcher.log";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        for (const auto& [k, v] : all) {
            if (v == "<unset>") {
                unsetenv(k.c_str());
            } else {
                setenv(k.c_str(), v.c_str(), 1);
            }
        }
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(exe.c_str(), argv.data());
        _exit(127);
    }
    return Process(pid);
}

std::vector<ShownMenu> LauncherSetup::shownMenus() const {
    std::vector<ShownMenu> menus;
    std::istringstream in(cetest::readHostFile(tracePath_));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("menu ", 0) == 0) {
            ShownMenu m;
            std::istringstream words(line.substr(5));
            words >> m.x >> m.y;
            menus.push_back(m);
        } else if (line.rfind("item ", 0) == 0 && !menus.empty()) {
            const size_t blank = line.find(' ', 5);
            MenuEntry e;
            e.id = std::atoi(line.substr(5, blank - 5).c_str());
            e.text = blank == std::string::npos ? "" : line.substr(blank + 1);
            menus.back().entries.push_back(e);
        }
    }
    return menus;
}

std::string LauncherSetup::readOut(const std::string& file) const {
    return cetest::readHostFile(outDir_ + "/" + file);
}

std::string LauncherSetup::diagnostics() const {
    std::istringstream in(cetest::readHostFile(root_ + "/launcher.log"));
    std::string lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("vantrelo: ", 0) == 0)
            lines += line + "\n";
    }
    return lines;
}

bool LauncherSetup::outExists(const std::string& file) const {
    return fs::exists(outDir_ + "/" + file);
}

bool LauncherSetup::windowMarkerExists() const {
    return fs::exists(device_.dir() + "/run/windows/Vantrelo");
}

bool LauncherSetup::eventMarkerExists() const {
    return fs::exists(device_.dir() + "/run/events/Vantrelo");
}

}  // namespace vtest
