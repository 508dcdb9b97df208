// Wall time and peak memory of Zandoval next to `find ROOT -iname '*.lnk*'
// -type f` on the same generated tree, at two tree sizes so that the growth
// of memory with the number of entries shows.
//
//   zandoval_bench [--entries N] [--runs R] [--keep]
//
// N is the size of the larger tree (default 200000 entries: files and
// directories), the smaller one has N/4.  Each tool runs R times (default
// 3) per tree after one warm-up of the file system's caches; the median
// wall time and the largest peak resident size are printed.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

struct Tree {
    long entries = 0;
    long directories = 0;
    long shortcuts = 0;
    int deepest = 0;
};

uint32_t nextRandom(uint64_t& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
}

// A name in mixed case; about three in a hundred files are shortcuts, a
// few with ".lnk" before a further extension.
std::string fileName(uint64_t& rng, long serial, bool* shortcut) {
    static const char* stems[] = {"Report", "mail", "CALC", "Notes", "photo", "SeTup", "readme"};
    static const char* plain[] = {".txt", ".DOC", ".Jpg", ".exe", ".dat", ".html"};
    static const char* links[] = {".lnk", ".LNK", ".Lnk", ".lnk.bak"};
    std::string name = stems[nextRandom(rng) % 7];
    name += "_" + std::to_string(serial);
    *shortcut = nextRandom(rng) % 100 < 3;
    name += *shortcut ? links[nextRandom(rng) % 4] : plain[nextRandom(rng) % 6];
    if (nextRandom(rng) % 50 == 0)
        name = "." + name;  // hidden files count too
    return name;
}

void touch(const std::string& path) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0)
        close(fd);
}

// Wide directories of 10 to 40 files and up to 4 subdirectories, breadth
// first, plus deep chains of 300 levels with a shortcut at the bottom.
Tree buildTree(const std::string& root, long wanted) {
    Tree t;
    uint64_t rng = 42;
    std::filesystem::create_directories(root);
    constexpr int kChains = 10;
    constexpr int kChainDepth = 300;
    for (int c = 0; c < kChains; ++c) {
        std::string dir = root + "/Chain" + std::to_string(c);
        for (int level = 0; level < kChainDepth; ++level) {
            mkdir(dir.c_str(), 0755);
            ++t.directories;
            dir += "/Lv";
        }
        touch(dir.substr(0, dir.size() - 3) + "/End.LNK");
        ++t.shortcuts;
        t.entries += 1;
        t.deepest = kChainDepth;
    }
    t.entries += t.directories;
    std::vector<std::string> queue = {root};
    size_t head = 0;
    long serial = 0;
    while (t.entries < wanted && head < queue.size()) {
        std::string dir = queue[head++];
        int files = 10 + static_cast<int>(nextRandom(rng) % 31);
        for (int i = 0; i < files && t.entries < wanted; ++i) {
            bool shortcut = false;
            touch(dir + "/" + fileName(rng, ++serial, &shortcut));
            ++t.entries;
            if (shortcut)
                ++t.shortcuts;
        }
        int subdirs = 1 + static_cast<int>(nextRandom(rng) % 4);
        for (int i = 0; i < subdirs && t.entries < wanted; ++i) {
            std::string sub =
                dir + "/" + (i % 2 ? "Folder" : "sub.LNK.dir") + std::to_string(++serial);
            mkdir(sub.c_str(), 0755);
            queue.push_back(sub);
            ++t.entries;
            ++t.directories;
        }
    }
    return t;
}

// Runs a tool and waits for it.  The peak resident size the kernel reports
// for a child includes the memory of the process it was forked from, so
// the tool is started by a fresh, small copy of this program (--spawn), not
// by the bench itself, which holds the generated tree's bookkeeping.
Measure measureHere(const std::vector<std::string>& argv, const std::string& deviceDir,
                    const std::string& stdoutPath) {
    Measure m;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(stdoutPath.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        dup2(out, 1);
        close(out);
        setenv("CE_DEVICE_DIR", deviceDir.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

Measure runMeasured(const std::vector<std::string>& argv, const std::string& deviceDir,
                    const std::string& stdoutPath) {
    std::string resultPath = stdoutPath + ".measure";
    std::vector<std::string> spawn = {"/proc/self/exe", "--spawn", resultPath, deviceDir,
                                      stdoutPath};
    spawn.insert(spawn.end(), argv.begin(), argv.end());
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : spawn)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Measure m;
    std::ifstream in(resultPath);
    in >> m.seconds >> m.peakKb >> m.status;
    unlink(resultPath.c_str());
    return m;
}

// --spawn RESULT DEVICE STDOUT TOOL ARGS...: runs the tool and writes its
// wall time, peak resident size and exit status to RESULT.
int spawnMain(int argc, char** argv) {
    if (argc < 6)
        return 2;
    std::vector<std::string> tool(argv + 5, argv + argc);
    Measure m = measureHere(tool, argv[3], argv[4]);
    std::ofstream out(argv[2]);
    out << m.seconds << " " << m.peakKb << " " << m.status << "\n";
    return 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

long countLines(const std::string& text, const std::string& prefix) {
    long n = 0;
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, prefix.size(), prefix) == 0)
            ++n;
        size_t nl = text.find('\n', at);
        if (nl == std::string::npos)
            break;
        at = nl + 1;
    }
    return n;
}

struct Summary {
    double medianSeconds;
    long peakKb;
};

Summary summarize(std::vector<Measure>& runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    long peak = 0;
    for (const Measure& m : runs)
        peak = std::max(peak, m.peakKb);
    return {runs[runs.size() / 2].seconds, peak};
}

bool benchOneTree(const std::string& base, long entries, int runs) {
    std::string device = base + "/device-" + std::to_string(entries);
    std::string root = device + "/fs/Tree";
    std::printf("building a tree of %ld entries ...\n", entries);
    std::fflush(stdout);
    Tree t = buildTree(root, entries);
    {
        std::ofstream reg(device + "/registry.reg", std::ios::binary);
        reg << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1]\r\n"
               "\"searchRootDir\"=\"\\\\Tree\"\r\n\"enter\"=\"\"\r\n"
               "\"dirFile\"=\"\\\\list.txt\"\r\n";
    }
    const std::vector<std::string> scanner = {ZANDOVAL_EXE};
    const std::vector<std::string> find = {"find", root, "-iname", "*.lnk*", "-type", "f"};
    const std::string findOut = base + "/find.out";
    const std::string scanOut = base + "/scan.out";

    runMeasured(find, device, findOut);  // warm the caches
    std::vector<Measure> scans, finds;
    for (int i = 0; i < runs; ++i) {
        scans.push_back(runMeasured(scanner, device, scanOut));
        finds.push_back(runMeasured(find, device, findOut));
    }
    long listed = countLines(readFile(device + "/fs/list.txt"), "[");
    long found = countLines(readFile(findOut), "/");
    Summary s = summarize(scans);
    Summary f = summarize(finds);
    std::printf("tree: %ld entries, %ld directories, %ld shortcut files, deepest %d levels\n",
                t.entries, t.directories, t.shortcuts, t.deepest);
    std::printf("  %-10s %10s %14s %10s\n", "tool", "wall s", "peak RSS KiB", "found");
    std::printf("  %-10s %10.3f %14ld %10ld\n", "Zandoval", s.medianSeconds, s.peakKb, listed);
    std::printf("  %-10s %10.3f %14ld %10ld\n", "find", f.medianSeconds, f.peakKb, found);
    Measure floor = runMeasured({"true"}, device, base + "/true.out");
    std::printf("  %-10s %10.3f %14ld %10s   (start-up floor)\n", "true", floor.seconds,
                floor.peakKb, "-");
    bool ok = scans.back().status == 0 && listed == found;
    if (!ok)
        std::printf("  MISMATCH: exit status %d, listed %ld, find %ld\n", scans.back().status,
                    listed, found);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--spawn") == 0)
        return spawnMain(argc, argv);
    long entries = 200000;
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--entries") == 0 && i + 1 < argc) {
            entries = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--entries N] [--runs R] [--keep]\n", argv[0]);
            return 2;
        }
    }
    std::string base = std::filesystem::temp_directory_path().string() + "/zandoval-bench-XXXXXX";
    if (mkdtemp(base.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    bool ok = benchOneTree(base, entries / 4, runs) && benchOneTree(base, entries, runs);
    if (keep) {
        std::printf("trees kept in %s\n", base.c_str());
    } else {
        std::filesystem::remove_all(base);
    }
    return ok ? 0 : 1;
}
