#include "tests/menu/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace vtest {

namespace {

[[noreturn]] void execWithEnv(const std::vector<std::string>& argv,
                              const std::map<std::string, std::string>& env) {
    for (const auto& [k, v] : env)
        setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

}  // namespace

ToolResult runTool(const std::vector<std::string>& argv,
                   const std::map<std::string, std::string>& env, int timeoutSeconds) {
    ToolResult result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        execWithEnv(argv, env);
    }
    close(pipeFds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buf[4096];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        if (ready > 0) {
            const ssize_t n = read(pipeFds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            result.out.append(buf, static_cast<size_t>(n));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

XSession::XSession() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error_ = "pipe failed";
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        const int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        // -noreset: otherwise the server resets when its last client leaves,
        // and the pointer jumps back to the middle of the screen.
        const std::string fd = std::to_string(pipeFds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen",
               "0", "1024x768x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    pid_ = pid;
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(pipeFds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number.push_back(c);
    }
    close(pipeFds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not start (is the package xvfb installed?)";
        return;
    }
    display_ = ":" + number;
    // The display number is written once the server listens; make sure a
    // client really gets through before any test goes on.
    for (int i = 0; i < 100; ++i) {
        if (runTool({"xdotool", "getmouselocation"}, {{"DISPLAY", display_}}).exitCode == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error_ = "Xvfb on " + display_ + " does not answer xdotool (is xdotool installed?)";
    display_.clear();
}

XSession::~XSession() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

bool XSession::xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runTool(argv, {{"DISPLAY", display_}}).exitCode == 0;
}

void XSession::movePointer(int x, int y) const {
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

std::optional<std::pair<int, int>> XSession::pointer() const {
    ToolResult r = runTool({"xdotool", "getmouselocation", "--shell"}, {{"DISPLAY", display_}});
    if (r.exitCode != 0)
        return std::nullopt;
    int x = -1;
    int y = -1;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("X=", 0) == 0)
            x = std::atoi(line.c_str() + 2);
        if (line.rfind("Y=", 0) == 0)
            y = std::atoi(line.c_str() + 2);
    }
    if (x < 0 || y < 0)
        return std::nullopt;
    return std::make_pair(x, y);
}

std::vector<Rect> XSession::visibleWindows(const std::string& cls) const {
    std::vector<Rect> found;
    ToolResult ids =
        runTool({"xdotool", "search", "--onlyvisible", "--class", cls}, {{"DISPLAY", display_}});
    std::istringstream in(ids.out);
    std::string id;
    while (in >> id) {
        ToolResult g =
            runTool({"xdotool", "getwindowgeometry", "--shell", id}, {{"DISPLAY", display_}});
        if (g.exitCode != 0)
            continue;
        Rect r;
        std::istringstream gin(g.out);
        std::string line;
        while (std::getline(gin, line)) {
            if (line.rfind("X=", 0) == 0)
                r.x = std::atoi(line.c_str() + 2);
            if (line.rfind("Y=", 0) == 0)
                r.y = std::atoi(line.c_str() + 2);
            if (line.rfind("WIDTH=", 0) == 0)
                r.width = std::atoi(line.c_str() + 6);
            if (line.rfind("HEIGHT=", 0) == 0)
                r.height = std::atoi(line.c_str() + 7);
        }
        if (r.width > 1 && r.height > 1)
            found.push_back(r);
    }
    return found;
}

bool XSession::screenshot(const std::string& path, const std::optional<Rect>& crop) const {
    std::vector<std::string> argv{"import", "-display", display_, "-window", "root"};
    if (crop) {
        argv.push_back("-crop");
        argv.push_back(std::to_string(crop->width) + "x" + std::to_string(crop->height) + "+" +
                       std::to_string(crop->x) + "+" + std::to_string(crop->y));
        argv.push_back("+repage");
    }
    argv.push_back(path);
    return runTool(argv, {}).exitCode == 0;
}

}  // namespace vtest
