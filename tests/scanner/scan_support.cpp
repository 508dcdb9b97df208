#include "tests/scanner/scan_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace scantest {

namespace {

std::string regQuote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string lowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return s;
}

std::vector<std::string> hostOrder(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    closedir(d);
    return names;
}

void walk(const std::string& hostDir, const std::string& rel,
          const std::function<bool(const std::string&)>& passes, uint32_t* count,
          std::string* out) {
    for (const std::string& name : hostOrder(hostDir)) {
        std::string full = hostDir + "/" + name;
        struct stat st;
        if (lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            struct stat target;
            if (stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
                continue;
        } else if (S_ISDIR(st.st_mode)) {
            walk(full, rel + "\\" + name, passes, count, out);
            continue;
        }
        std::string lower = lowerAscii(name);
        size_t lnk = lower.find(".lnk");
        if (lnk == std::string::npos || !passes(lower))
            continue;
        ++*count;
        *out += listEntry(*count, name.substr(0, lnk), rel);
    }
}

}  // namespace

std::string settingsRegistry(std::optional<std::string> root, std::optional<std::string> enter,
                             std::optional<std::string> dirFile, bool withKey) {
    std::string r = "Windows Registry Editor Version 5.00\r\n\r\n";
    r += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Other]\r\n\"Keep\"=\"me\"\r\n\r\n";
    if (!withKey)
        return r;
    r += "[HKEY_LOCAL_MACHINE\\" + std::string(kKey) + "]\r\n";
    if (root)
        r += "\"searchRootDir\"=" + regQuote(*root) + "\r\n";
    if (enter)
        r += "\"enter\"=" + regQuote(*enter) + "\r\n";
    if (dirFile)
        r += "\"dirFile\"=" + regQuote(*dirFile) + "\r\n";
    return r;
}

std::string listEntry(uint32_t number, const std::string& displayName,
                      const std::string& relativeDir) {
    return "[" + std::to_string(number) + "]\ndatei=" + displayName + "\ndir=" + relativeDir +
           "\\\n";
}

std::string expectedList(const std::string& hostRoot,
                         const std::function<bool(const std::string&)>& passes, uint32_t* count) {
    std::string out;
    *count = 0;
    walk(hostRoot, "", passes, count, &out);
    return out;
}

std::vector<std::string> treeListing(const std::string& hostDir) {
    std::vector<std::string> all;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(hostDir, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        all.push_back(std::filesystem::relative(it->path(), hostDir, ec).string());
    }
    std::sort(all.begin(), all.end());
    return all;
}

bool listedBefore(int dirFd, const std::string& a, const std::string& b) {
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY);
    DIR* d = fdopendir(fd);
    bool before = false;
    while (dirent* e = readdir(d)) {
        if (a == e->d_name) {
            before = true;
            break;
        }
        if (b == e->d_name)
            break;
    }
    closedir(d);
    return before;
}

void removeTreeDeep(const std::string& hostDir) {
    int fd = open(hostDir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    std::vector<std::string> names;  // the way down from hostDir
    for (;;) {
        fchmod(fd, 0700);
        int scan = openat(fd, ".", O_RDONLY | O_DIRECTORY);
        DIR* d = fdopendir(scan);
        std::string child;
        bool childIsDir = false;
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..")
                continue;
            struct stat st;
            if (fstatat(fd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            child = n;
            childIsDir = S_ISDIR(st.st_mode);
            break;
        }
        closedir(d);
        if (!child.empty()) {
            if (childIsDir) {
                int sub = openat(fd, child.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
                if (sub < 0) {
                    fchmodat(fd, child.c_str(), 0700, 0);
                    sub = openat(fd, child.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
                }
                if (sub < 0)
                    break;
                close(fd);
                fd = sub;
                names.push_back(child);
            } else if (unlinkat(fd, child.c_str(), 0) != 0) {
                break;
            }
            continue;
        }
        if (names.empty())
            break;
        int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = parent;
        if (fd < 0)
            return;
        if (unlinkat(fd, names.back().c_str(), AT_REMOVEDIR) != 0)
            break;
        names.pop_back();
    }
    close(fd);
}

}  // namespace scantest
