// Rewrites a generated layout file of many megabytes with the real
// qorvinstall (an add before the form's end, so every line passes through
// the rewrite pass) and prints its throughput and peak memory next to cat
// reading the same file.  The rewrite streams: its memory should stay a few
// megabytes whatever the file size.
//
// Usage: rewrite_bench [megabytes]   (default 100)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

// Runs argv with CE_DEVICE_DIR set and its output thrown away.  The child
// is spawned, not forked, so that its peak memory is its own and not a copy
// of this process.
Measure run(const std::vector<std::string>& argv, const std::string& device) {
    Measure m;
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("CE_DEVICE_DIR=", 0) != 0)
            envText.emplace_back(*e);
    }
    envText.push_back("CE_DEVICE_DIR=" + device);
    std::vector<char*> env;
    for (std::string& e : envText)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return m;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.status = status;
    return m;
}

// Written through one fixed buffer, so that this process stays small: a
// spawned child's peak memory starts from its parent's.
void writeLayout(const std::string& path, long long bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        std::exit(1);
    std::fputs("<?xml version=\"1.0\"?>\r\n<Form ID=\"big\">\r\n  <TitaniumListView ID=\"lv\">\r\n",
               out);
    char layer[256];
    long long written = 0;
    for (long i = 0; written < bytes; ++i) {
        int n =
            std::snprintf(layer, sizeof layer,
                          "    <Layer ID=\"Item%ldExpanded\" Height=\"120\">\r\n"
                          "\t\t<Text ID=\"Title%ld\" Left=\"16\" Top=\"10\" FontSize=\"28\"/>\r\n"
                          "    </Layer>\r\n",
                          i, i);
        std::fwrite(layer, 1, static_cast<size_t>(n), out);
        written += n;
    }
    std::fputs("  </TitaniumListView>\r\n</Form>\r\n", out);
    std::fclose(out);
}

void report(const char* what, const Measure& m, double mb) {
    std::printf("%-28s %8.2f s  %9.1f MB/s  peak %8.1f MB  status %d\n", what, m.seconds,
                mb / m.seconds, m.peakKb / 1024.0, m.status);
}

}  // namespace

int main(int argc, char** argv) {
    long long megabytes = argc > 1 ? std::atoll(argv[1]) : 100;
    std::string base = (fs::temp_directory_path() / "rewrite-bench-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr)
        return 1;
    fs::create_directories(base + "/fs/Windows");
    fs::create_directories(base + "/fs/Program Files/Big");
    std::ofstream(base + "/device.conf") << "screen=480x800\n";
    std::ofstream(base + "/registry.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome]\r\n"
           "\"CPRFile\"=\"big\"\r\n"
           "\"ExtensibilityXML\"=\"<Plugins Order=\\\"A;B\\\" CPRFileName=\\\"big\\\"/>\"\r\n"
           "\"DefaultXML\"=\"<Plugins Order=\\\"A;B\\\"/>\"\r\n"
           "\"Plugins\"=\"A;B\"\r\n";
    std::ofstream(base + "/fs/Program Files/Big/big.plg")
        << "<name>Big</name>\r\n<position>1</position>\r\n"
           "<layout screenWidth=\"480\" screenHeight=\"800\">\r\n"
           "<Layer ID=\"BigExpanded\">\r\n</Layer>\r\n<Layer ID=\"BigCondensed\">\r\n</Layer>\r\n"
           "<Layer ID=\"BigIcon\">\r\n</Layer>\r\n</layout>\r\n";
    std::string layout = base + "/fs/Windows/big_480x800.cpr";
    writeLayout(layout, megabytes * 1024 * 1024);
    double mb = static_cast<double>(fs::file_size(layout)) / (1024.0 * 1024.0);
    std::printf("layout file: %.1f MB\n", mb);

    std::fflush(stdout);
    Measure cat = run({"cat", layout}, base);
    Measure add =
        run({QORVINSTALL_EXE,
             "-addchange -plg:\\Program Files\\Big\\big.plg -cpr:currentPortrait -silent"},
            base);
    report("cat", cat, mb);
    report("qorvinstall -addchange", add, mb);
    std::ifstream result(layout, std::ios::binary);
    result.seekg(-200, std::ios::end);
    std::string tail(200, '\0');
    result.read(tail.data(), 200);
    bool added = tail.find("BigExpanded") != std::string::npos;
    std::printf("rewritten file: %.1f MB, plugin %s\n",
                static_cast<double>(fs::file_size(layout)) / (1024.0 * 1024.0),
                added ? "added" : "MISSING");
    fs::remove_all(base);
    return add.status == 0 && added ? 0 : 1;
}
