#include "tests/support/device_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace fs = std::filesystem;

namespace cetest {

std::string regEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::u16string U(const std::string& utf8) {
    return ce::u16(utf8);
}

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeHostFile(const std::string& path, const std::string& bytes) {
    fs::path p(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDevice::TempDevice() {
    std::string base = fs::temp_directory_path().string() + "/cedev-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back(0);
    if (mkdtemp(buf.data()) == nullptr)
        std::abort();
    dir_ = buf.data();
    fs::create_directories(dir_ + "/fs");
    const char* prev = getenv("CE_DEVICE_DIR");
    if (prev != nullptr) {
        hadPreviousEnv_ = true;
        previousEnv_ = prev;
    }
    setenv("CE_DEVICE_DIR", dir_.c_str(), 1);
}

TempDevice::~TempDevice() {
    if (hadPreviousEnv_) {
        setenv("CE_DEVICE_DIR", previousEnv_.c_str(), 1);
    } else {
        unsetenv("CE_DEVICE_DIR");
    }
    const char* keep = getenv("CE_KEEP_TEST_DEVICES");
    if (keep == nullptr || std::string(keep) != "1") {
        std::error_code ec;
        // Make everything removable again (tests may have taken permissions away).
        for (auto it = fs::recursive_directory_iterator(
                 dir_, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(dir_, ec);
    }
}

std::string TempDevice::hostPath(const std::string& devicePath) const {
    std::string p = devicePath;
    for (char& c : p) {
        if (c == '\\')
            c = '/';
    }
    return dir_ + "/fs" + p;
}

void TempDevice::writeFile(const std::string& devicePath, const std::string& bytes) const {
    writeHostFile(hostPath(devicePath), bytes);
}

std::string TempDevice::readFile(const std::string& devicePath) const {
    return readHostFile(hostPath(devicePath));
}

bool TempDevice::fileExists(const std::string& devicePath) const {
    return fs::exists(hostPath(devicePath));
}

void TempDevice::writeRegistry(const std::string& regText) const {
    writeHostFile(dir_ + "/registry.reg", regText);
}

std::string TempDevice::readRegistryFile() const {
    return readHostFile(dir_ + "/registry.reg");
}

void TempDevice::setScreen(int width, int height) const {
    writeHostFile(dir_ + "/device.conf",
                  "screen=" + std::to_string(width) + "x" + std::to_string(height) + "\n");
}

static ce::RegKey openKey(bool localMachine, const std::string& key) {
    return ce::regOpenKey(localMachine ? ce::Hive::LocalMachine : ce::Hive::CurrentUser,
                          U(key).c_str());
}

std::optional<std::u16string> TempDevice::regString(bool localMachine, const std::string& key,
                                                    const std::string& name) const {
    ce::RegKey k = openKey(localMachine, key);
    if (k == nullptr)
        return std::nullopt;
    std::vector<char16_t> buf(1 << 20);
    bool ok = ce::regReadString(k, U(name).c_str(), buf.data(), buf.size());
    ce::regCloseKey(k);
    if (!ok)
        return std::nullopt;
    return std::u16string(buf.data());
}

std::optional<uint32_t> TempDevice::regDword(bool localMachine, const std::string& key,
                                             const std::string& name) const {
    ce::RegKey k = openKey(localMachine, key);
    if (k == nullptr)
        return std::nullopt;
    uint32_t v = 0;
    bool ok = ce::regReadDword(k, U(name).c_str(), &v);
    ce::regCloseKey(k);
    if (!ok)
        return std::nullopt;
    return v;
}

bool TempDevice::regValueExists(bool localMachine, const std::string& key,
                                const std::string& name) const {
    ce::RegKey k = openKey(localMachine, key);
    if (k == nullptr)
        return false;
    std::vector<char> buf(1 << 20);
    uint32_t type = 0;
    bool ok = ce::regQueryValue(k, U(name).c_str(), buf.data(), static_cast<uint32_t>(buf.size()),
                                &type, nullptr);
    ce::regCloseKey(k);
    return ok;
}

static std::string drain(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    return s;
}

RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& deviceDir,
                     const std::map<std::string, std::string>& extraEnv, int timeoutSeconds) {
    RunResult r;
    static std::atomic<int> counter{0};
    std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::string outPath = fs::temp_directory_path().string() + "/ce-run-out-" + tag;
    std::string errPath = fs::temp_directory_path().string() + "/ce-run-err-" + tag;
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        close(o);
        close(e);
        setenv("CE_DEVICE_DIR", deviceDir.c_str(), 1);
        // The launcher loads desktop libraries that keep caches until exit;
        // their "leaks" are suppressed so that ours still fail a test.
        setenv("LSAN_OPTIONS", "suppressions=" CE_LSAN_SUPPRESSIONS, 0);
        for (const auto& [k, v] : extraEnv)
            setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (status != -1 && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    int o = open(outPath.c_str(), O_RDONLY);
    if (o >= 0) {
        r.out = drain(o);
        close(o);
    }
    int e = open(errPath.c_str(), O_RDONLY);
    if (e >= 0) {
        r.err = drain(e);
        close(e);
    }
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return r;
}

bool someoneWaitsFor(const std::string& hostPath) {
    struct stat st = {};
    if (stat(hostPath.c_str(), &st) != 0)
        return false;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace cetest
