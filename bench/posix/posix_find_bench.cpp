// Wall time of a scanner-style walk through findFirst/findNext next to
// `find ROOT -iname '*.lnk*' -type f`, on two generated trees: one chain of
// directories far deeper than a host path may be long, and one wide tree.
//
//   posix_find_bench [--depth D] [--entries N] [--keep]
//
// D is the depth of the chain (default 100000), N the number of entries of
// the wide tree (default 200000).  Each walk runs once after one warm-up;
// the ratio is the walk's time over find's, and the peak memory is this
// process's (which holds a handle per open level of the walk) and find's.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

void touchAt(int dirFd, const char* name) {
    int fd = openat(dirFd, name, O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        close(fd);
}

// fs/Chain/d/d/.../d with a shortcut every 1000 levels, made one level at
// a time as no host path could name the bottom.
long buildChain(const std::string& fs, long depth) {
    int fd = open(fs.c_str(), O_RDONLY | O_DIRECTORY);
    mkdirat(fd, "Chain", 0755);
    int next = openat(fd, "Chain", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    long shortcuts = 0;
    for (long i = 0; i < depth && fd >= 0; ++i) {
        if (i % 1000 == 0) {
            touchAt(fd, ("s" + std::to_string(i) + ".lnk").c_str());
            ++shortcuts;
        }
        mkdirat(fd, "d", 0755);
        next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    if (fd >= 0) {
        touchAt(fd, "bottom.LNK");
        ++shortcuts;
        close(fd);
    }
    return shortcuts;
}

// fs/Wide: directories of 100 entries each, ten subdirectories to a directory.
long buildWide(const std::string& fs, long entries) {
    long shortcuts = 0;
    long made = 0;
    std::string root = fs + "/Wide";
    mkdir(root.c_str(), 0755);
    for (long d = 0; made < entries; ++d) {
        // Directory 123 is D1/D2/D3, below directory 12.
        std::string dir = root;
        if (d > 0) {
            for (char digit : std::to_string(d))
                dir += std::string("/D") + digit;
        }
        mkdir(dir.c_str(), 0755);
        ++made;
        int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        for (int f = 0; f < 99 && made < entries; ++f, ++made) {
            bool link = f % 33 == 0;
            touchAt(fd, ("File" + std::to_string(f) + (link ? ".Lnk" : ".txt")).c_str());
            shortcuts += link ? 1 : 0;
        }
        close(fd);
    }
    return shortcuts;
}

// The scanner's walk: every ancestor's handle open while a child is
// listed, each directory asked for by its full device path.
long walk(const std::u16string& root) {
    struct Level {
        ce::Find find;
        size_t pathLength;
    };
    std::vector<Level> levels;
    std::u16string path = root;
    ce::FindRecord rec;
    long shortcuts = 0;
    auto enter = [&]() {
        size_t length = path.size();
        path += u"\\*.*";
        ce::Find f = ce::findFirst(path.c_str(), &rec);
        path.resize(length);
        if (f == nullptr)
            return false;
        levels.push_back(Level{f, length});
        return true;
    };
    bool fresh = enter();
    while (!levels.empty()) {
        if (!fresh && !ce::findNext(levels.back().find, &rec)) {
            ce::findClose(levels.back().find);
            levels.pop_back();
            if (!levels.empty())
                path.resize(levels.back().pathLength);
            continue;
        }
        fresh = false;
        std::u16string name = rec.name;
        if (name == u"." || name == u"..")
            continue;
        if (rec.attributes & ce::kAttrDirectory) {
            path += u"\\" + name;
            fresh = enter();
            if (!fresh)
                path.resize(levels.back().pathLength);
        } else {
            for (char16_t& c : name)
                c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
            if (name.find(u".lnk") != std::u16string::npos)
                ++shortcuts;
        }
    }
    return shortcuts;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double peakMegabytes(const struct rusage& usage) {
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The command's exit code (-1 when it did not exit), with its peak memory.
int runQuiet(const std::vector<std::string>& argv, double* peakMb = nullptr) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (peakMb != nullptr)
        *peakMb = peakMegabytes(usage);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void compare(const char* label, const std::u16string& devicePath, const std::string& hostPath,
             long expected) {
    walk(devicePath);  // warm-up of the file system's caches
    auto t0 = std::chrono::steady_clock::now();
    long found = walk(devicePath);
    double ours = seconds(t0);
    struct rusage self {};
    getrusage(RUSAGE_SELF, &self);
    double findPeak = 0;
    t0 = std::chrono::steady_clock::now();
    int rc = runQuiet({"find", hostPath, "-iname", "*.lnk*", "-type", "f"}, &findPeak);
    double theirs = seconds(t0);
    std::printf(
        "%-6s findFirst walk %8.3f s, %6.1f MB (%ld of %ld shortcuts)   find %8.3f s, %6.1f MB"
        "   ratio %.2f%s\n",
        label, ours, peakMegabytes(self), found, expected, theirs, findPeak, ours / theirs,
        rc == 0 ? "" : " (find failed)");
}

}  // namespace

int main(int argc, char** argv) {
    long depth = 100000;
    long entries = 200000;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc) {
            depth = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--entries") == 0 && i + 1 < argc) {
            entries = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--depth D] [--entries N] [--keep]\n", argv[0]);
            return 2;
        }
    }
    char dirTemplate[] = "/tmp/posix-find-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr)
        return 1;
    std::string device = dirTemplate;
    std::string fs = device + "/fs";
    mkdir(fs.c_str(), 0755);
    setenv("CE_DEVICE_DIR", device.c_str(), 1);

    std::printf("building a chain of %ld levels and a tree of %ld entries ...\n", depth, entries);
    long chainShortcuts = buildChain(fs, depth);
    long wideShortcuts = buildWide(fs, entries);
    compare("chain", u"\\Chain", fs + "/Chain", chainShortcuts);
    compare("wide", u"\\Wide", fs + "/Wide", wideShortcuts);

    if (keep) {
        std::printf("device kept in %s\n", device.c_str());
    } else {
        runQuiet({"rm", "-rf", device});
    }
    return 0;
}
