#include "cedevice/installer_run.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "cedevice/registry_access.h"

extern char** environ;

namespace cedevice {

namespace {

constexpr char kInstallerName[] = "qorvinstall";

bool isProgram(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string ownDirectory() {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "";
    buf[n] = 0;
    std::string path(buf);
    return path.substr(0, path.rfind('/'));
}

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace

std::string findInstaller() {
    const std::string beside = ownDirectory() + "/" + kInstallerName;
    if (isProgram(beside))
        return beside;
    const char* path = getenv("PATH");
    std::string dirs = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/" + kInstallerName;
        if (isProgram(candidate))
            return candidate;
        start = end + 1;
    }
    return "";
}

InstallerRun runInstaller(const std::string& installer, const std::vector<std::string>& words,
                          const std::string& errFile, std::string* error) {
    InstallerRun run;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(installer.c_str()));
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, installer.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        *error = "cannot run " + installer + ": " + std::strerror(spawned);
        return run;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = "cannot wait for " + installer + ": " + std::strerror(errno);
            return run;
        }
    }
    run.started = true;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errorLines = linesOf(errFile);
    std::shared_ptr<const ce::posix::RegFile> registry = readRegistry();
    if (registry != nullptr)
        run.result = readRecordedResult(*registry);
    return run;
}

}  // namespace cedevice
