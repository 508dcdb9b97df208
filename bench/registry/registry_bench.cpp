// Wall time and peak memory of qorvinstall and Zandoval on devices whose
// registry.reg is a few megabytes, side by side with the floor: one durable
// rewrite of the same file (read it, write a copy beside it, flush the copy,
// rename it over the file, flush the directory), which is the least any
// program that changes one value of that file must do.
//
//   registry_bench [--runs R] [--keep] [--dir DIR]
//
// Registries of 2 MB and 20 MB are generated, each as UTF-16LE (CRLF) and
// as UTF-8 (LF): thousands of keys with values of every type, comments,
// continued hex data and text beyond ASCII.  On each, R rounds (default 5)
// run the floor, `qorvinstall -change` (the view switched every time, so
// that every run writes its run record), the floor again and Zandoval (its
// Scanned value reset right before every run, as a launcher does, so that
// every run writes it).  The programs are started by a program, the floor
// is one: both pay a program's start.  Printed: medians, the ratios of each
// program run to the floor run before it, and the largest peak resident
// size against the file's size and the targets.  A first run of
// `qorvinstall -change` on the same registry without the run record's key
// is measured the same way.  Then `cedevice import` of UTF-8 exports of
// 2.4 MB and 12 MB into an empty device and into one that holds the export
// already, `cedevice export` of the result, and the import of an export
// that deletes every tenth key and writes it again, each against the floor
// on the resulting registry.reg.
#include <fcntl.h>
#include <spawn.h>
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
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/sys/sys_io.h"

extern char** environ;

namespace {

// The targets the figures are held against: a program run, and the device
// tool's import and export, each against the floor; an import of a file
// five times as large at most this many times as long.
constexpr double kMaxRatio = 1.3;
constexpr long kMaxExtraKb = 8 * 1024;
constexpr double kMaxImportRatio = 5;
constexpr double kMaxExportRatio = 3;
constexpr double kMaxImportGrowth = 7;

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

uint32_t nextRandom(uint64_t& state) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
}

std::string hex2(unsigned v) {
    static const char kDigits[] = "0123456789abcdef";
    return {kDigits[(v >> 4) & 15], kDigits[v & 15]};
}

// "hex(N):" data as exports write it: continued before a line reaches 77
// characters.
std::string hexValue(const std::string& name, const std::string& kind,
                     const std::vector<uint8_t>& bytes, const std::string& eol) {
    std::string line = "\"" + name + "\"=" + kind + ":";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        line += hex2(bytes[i]);
        if (i + 1 == bytes.size())
            break;
        line += ",";
        if (line.size() >= 77) {
            out += line + "\\" + eol;
            line = "  ";
        }
    }
    return out + line + eol;
}

std::vector<uint8_t> utf16Bytes(const std::string& ascii, bool twoNuls) {
    std::vector<uint8_t> out;
    for (char c : ascii) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(0);
    }
    out.insert(out.end(), twoNuls ? 4 : 2, 0);
    return out;
}

const char* kWords[] = {"Microsoft", "Shell",  "Today",    "Plugin", "Résumé", "Größe",
                        "Ωmega",     "カメラ", "Contacts", "Mail",   "Setup",  "Path"};

std::string words(uint64_t& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            s += ' ';
        s += kWords[nextRandom(rng) % (sizeof kWords / sizeof *kWords)];
    }
    return s;
}

// One key block of the generated registry.
std::string keyBlock(uint64_t& rng, const std::string& path, const std::string& eol) {
    std::string b = "[" + path + "]" + eol;
    int values = 1 + static_cast<int>(nextRandom(rng) % 5);
    for (int v = 0; v < values; ++v) {
        std::string name = "Value" + std::to_string(v);
        switch (nextRandom(rng) % 8) {
            case 0:
                b += "@=\"" + words(rng, 2) + "\"" + eol;
                break;
            case 1:
            case 2:
                b += "\"" + name + "\"=\"" + words(rng, 3) + " \\\\Windows\\\\x.dll\"" + eol;
                break;
            case 3: {
                char dword[9];
                std::snprintf(dword, sizeof dword, "%08x", nextRandom(rng));
                b += "\"" + name + "\"=dword:" + dword + eol;
                break;
            }
            case 4: {
                std::vector<uint8_t> data(4 + nextRandom(rng) % 40);
                for (uint8_t& x : data)
                    x = static_cast<uint8_t>(nextRandom(rng));
                b += hexValue(name, "hex", data, eol);
                break;
            }
            case 5:
                b += hexValue(name, "hex(2)",
                              utf16Bytes("%SystemRoot%\\system32\\shell.dll", false), eol);
                break;
            case 6:
                b += hexValue(name, "hex(7)", utf16Bytes("one", true), eol);
                break;
            default: {
                std::vector<uint8_t> data(8);
                for (uint8_t& x : data)
                    x = static_cast<uint8_t>(nextRandom(rng));
                b += hexValue(name, "hex(b)", data, eol);
                break;
            }
        }
    }
    if (nextRandom(rng) % 10 == 0)
        b += "; " + words(rng, 4) + eol;
    return b + eol;
}

std::string toUtf16(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) {
            cp = c & 7, n = 4;
        } else if (c >= 0xE0) {
            cp = c & 15, n = 3;
        } else if (c >= 0xC0) {
            cp = c & 31, n = 2;
        }
        for (size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 63);
        i += n;
        out.push_back(static_cast<char>(cp & 0xff));
        out.push_back(static_cast<char>(cp >> 8));
    }
    return out;
}

struct Registry {
    std::string bytes;
    long keys = 0;
};

// A registry of about `target` bytes, with the keys the two programs use
// in their sorted places.
Registry generate(size_t target, bool utf16, bool runRecord = true) {
    Registry r;
    uint64_t rng = 7;
    std::string eol = utf16 ? "\r\n" : "\n";
    std::string text = "Windows Registry Editor Version 5.00" + eol + eol;
    if (runRecord)
        text += "[HKEY_CURRENT_USER\\SOFTWARE\\QORV]" + eol + "\"Version\"=\"1.0 rc3\"" + eol + eol;
    std::string home = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome]" + eol +
                       "\"CPRFile\"=\"home\"" + eol +
                       "\"ExtensibilityXML\"=\"<Plugins Order=\\\"Clock;Mail\\\" "
                       "CPRFileName=\\\"home\\\"/>\"" +
                       eol + "\"DefaultXML\"=\"<Plugins Order=\\\"Clock;Mail\\\"/>\"" + eol +
                       "\"Plugins\"=\"Clock;Mail\"" + eol + eol +
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1]" + eol +
                       "\"searchRootDir\"=\"\\\\Links\"" + eol + "\"dirFile\"=\"\\\\list.txt\"" +
                       eol + "\"Scanned\"=dword:00000000" + eol + eol;
    size_t unit = utf16 ? 2 : 1;
    bool homePlaced = false;
    for (long vendor = 0; text.size() * unit < target; ++vendor) {
        std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(vendor);
        if (!homePlaced && vendor == 400) {
            text += home;
            homePlaced = true;
        }
        text += keyBlock(rng, base, eol);
        ++r.keys;
        for (int product = 0; product < 12 && text.size() * unit < target; ++product) {
            std::string path = base + "\\Product" + std::to_string(product);
            text += keyBlock(rng, path, eol);
            text += keyBlock(rng, path + "\\Settings\\Display", eol);
            r.keys += 2;
        }
    }
    if (!homePlaced)
        text += home;
    r.bytes = utf16 ? toUtf16(text) : text;
    return r;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    close(fd);
}

std::string readFile(const std::string& path) {
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return bytes;
    struct stat st;
    fstat(fd, &st);
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    close(fd);
    return bytes;
}

// Flushes the directory that holds path, so that a rename in it lasts.
void syncParentDirectory(const std::string& path) {
    int dir = open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
    fsync(dir);
    close(dir);
}

// The floor: one durable rewrite of the file, its bytes streamed through a
// small buffer into a copy beside it.
double durableRewrite(const std::string& path) {
    constexpr size_t kChunk = 256 * 1024;
    static char buf[kChunk];
    auto start = std::chrono::steady_clock::now();
    std::string temp = path + ".bench-copy";
    int in = open(path.c_str(), O_RDONLY);
    int out = open(temp.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ssize_t n = 0;
    while ((n = read(in, buf, kChunk)) > 0) {
        if (write(out, buf, static_cast<size_t>(n)) != n)
            break;
    }
    close(in);
    fsync(out);
    close(out);
    rename(temp.c_str(), path.c_str());
    syncParentDirectory(path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Replaces the file at path durably with `bytes`: a temporary file beside
// it, written, flushed, renamed over it, and the directory flushed.
void replaceDurably(const std::string& path, const char* bytes, size_t size) {
    std::string temp = path + ".bench-copy";
    int out = open(temp.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (out < 0 || !ce::posix::writeAllWritingBehind(out, bytes, size) || !ce::posix::syncFd(out))
        std::exit(1);
    close(out);
    rename(temp.c_str(), path.c_str());
    syncParentDirectory(path);
}

// The least that a run holding the registry in one buffer must do, with
// none of a program's own work: the registry read whole into one buffer
// as the registry store reads it (room for edits, large pages advised),
// written back durably from that buffer, and the layout replaced durably,
// as `-change` replaces it.  Between the floor and this lies the cost of
// the one buffer and of the layout; between this and a program run, the
// program's work.
void leastRun(const std::string& reg, const std::string& layout) {
    int in = open(reg.c_str(), O_RDONLY);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0)
        std::exit(1);
    ce::posix::RegBytes bytes;
    bytes.reserve(static_cast<size_t>(st.st_size) + 256 * 1024);
    ce::posix::adviseLargePages(bytes.data(), bytes.capacity());
    bytes.resize(static_cast<size_t>(st.st_size));
    if (ce::posix::preadFull(in, bytes.data(), bytes.size(), 0) != st.st_size)
        std::exit(1);
    close(in);
    replaceDurably(reg, bytes.data(), bytes.size());
    std::string text = readFile(layout);
    replaceDurably(layout, text.data(), text.size());
}

// Sets Scanned to 0 (untimed), as the launcher plugin does before a scan.
void resetScanned(const std::string& path) {
    ce::posix::RegFile f = ce::posix::regFileParse(readFile(path));
    uint8_t zero[4] = {0, 0, 0, 0};
    ce::posix::regFileSetValue(&f,
                               u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome\\Lorvendi\\Page1",
                               u"Scanned", 4, zero, 4);
    std::string temp = path + ".bench-copy";
    int fd = open(temp.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    std::string bytes = ce::posix::regFileSerialize(f);
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::exit(1);
    fsync(fd);
    close(fd);
    rename(temp.c_str(), path.c_str());
}

// Runs a program and waits for it.  The peak resident size the kernel
// reports for a child includes the memory of the process it was forked
// from, so the program is started by a fresh, small copy of this bench
// (--spawn), which writes the figures to a file.
Measure spawnAndMeasure(const std::vector<std::string>& argv, const std::string& deviceDir) {
    Measure m;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        setenv("CE_DEVICE_DIR", deviceDir.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
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

Measure runMeasured(const std::vector<std::string>& argv, const std::string& deviceDir) {
    std::string result = deviceDir + "/../measure.txt";
    std::vector<std::string> spawn = {"/proc/self/exe", "--spawn", result, deviceDir};
    spawn.insert(spawn.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (const auto& a : spawn)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        std::exit(1);
    int status = 0;
    waitpid(pid, &status, 0);
    Measure m;
    std::string text = readFile(result);
    std::sscanf(text.c_str(), "%lf %ld %d", &m.seconds, &m.peakKb, &m.status);
    return m;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Each program run is paired with a floor run made just before it, and
// judged by the median of the pairs' ratios: the load of a shared machine
// drifts less within a pair than over a whole series.
struct Figures {
    std::vector<double> floor, floorCalls, qorv, scan, first, qorvRatio, scanRatio, firstRatio,
        leastRatio;
    long qorvPeakKb = 0, scanPeakKb = 0, firstPeakKb = 0;
    int failures = 0, unchanged = 0;
};

ino_t inodeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Sets up a device around the registry: the current layout for -change and
// a small tree of shortcuts for Zandoval.
void makeDevice(const std::string& dir, const Registry& reg) {
    std::filesystem::remove_all(dir);
    writeFile(dir + "/registry.reg", reg.bytes);
    writeFile(dir + "/device.conf", "screen=480x800\n");
    std::string layout = "<Form>\r\n<TitaniumListView ID=\"lv\">\r\n";
    for (int i = 0; i < 50; ++i)
        layout += "<Layer ID=\"Item" + std::to_string(i) + "\"></Layer>\r\n";
    writeFile(dir + "/fs/Windows/home_480x800.cpr", layout + "</TitaniumListView>\r\n</Form>\r\n");
    for (int i = 0; i < 20; ++i)
        writeFile(
            dir + "/fs/Links/Sub" + std::to_string(i % 4) + "/app" + std::to_string(i) + ".lnk",
            "#0#\\Windows\\app.exe");
}

// A pause after the floor's rewrite.  A program that meets a registry
// written within the current tick of the clock that stamps files first
// waits for the tick to end (a few milliseconds), so that its identity
// tells every later change; a registry written by the bench a moment before
// is no situation of qorvinstall's.  Zandoval's is: its launcher resets
// Scanned right before starting it, and so does the bench.
void settle() {
    timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
}

Figures measureDevice(const std::string& dir, const std::string& withoutRunRecord, int runs) {
    Figures f;
    std::string reg = dir + "/registry.reg";
    for (int round = 0; round < runs; ++round) {
        // A first run: the device has no run record yet.
        writeFile(reg, withoutRunRecord);
        double floor0 = runMeasured({"/proc/self/exe", "--rewrite", reg}, dir).seconds;
        settle();
        ino_t before0 = inodeOf(reg);
        Measure first =
            runMeasured({QORVINSTALL_EXE,
                         std::string("-change -cpr:currentPortrait -view:BronzeListView -silent")},
                        dir);
        f.unchanged += inodeOf(reg) == before0;
        f.failures += first.status != 0;
        f.first.push_back(first.seconds);
        f.firstRatio.push_back(first.seconds / floor0);
        f.firstPeakKb = std::max(f.firstPeakKb, first.peakKb);

        f.floorCalls.push_back(durableRewrite(reg));
        double floor = runMeasured({"/proc/self/exe", "--rewrite", reg}, dir).seconds;
        f.floor.push_back(floor);
        settle();
        const char* view = round % 2 == 0 ? "-view:BronzeListView" : "-view:TitaniumListView";
        ino_t before = inodeOf(reg);
        Measure q = runMeasured(
            {QORVINSTALL_EXE, std::string("-change -cpr:currentPortrait ") + view + " -silent"},
            dir);
        f.unchanged += inodeOf(reg) == before;
        f.failures += q.status != 0;
        f.qorv.push_back(q.seconds);
        f.qorvRatio.push_back(q.seconds / floor);
        f.qorvPeakKb = std::max(f.qorvPeakKb, q.peakKb);

        floor = runMeasured({"/proc/self/exe", "--rewrite", reg}, dir).seconds;
        settle();
        Measure least = runMeasured(
            {"/proc/self/exe", "--least-run", reg, dir + "/fs/Windows/home_480x800.cpr"}, dir);
        f.leastRatio.push_back(least.seconds / floor);

        floor = runMeasured({"/proc/self/exe", "--rewrite", reg}, dir).seconds;
        f.floor.push_back(floor);
        settle();
        resetScanned(reg);
        before = inodeOf(reg);
        Measure z = runMeasured({ZANDOVAL_EXE}, dir);
        f.unchanged += inodeOf(reg) == before;
        f.failures += z.status != 0;
        f.scan.push_back(z.seconds);
        f.scanRatio.push_back(z.seconds / floor);
        f.scanPeakKb = std::max(f.scanPeakKb, z.peakKb);
    }
    return f;
}

const char* verdict(bool ok) {
    return ok ? "ok" : "MISSED";
}

// An export that deletes every tenth key of `exportBytes` (with all below
// it) and writes it again with one value: the common way to replace a key.
std::string deletionsOf(const std::string& exportBytes) {
    std::string out = "Windows Registry Editor Version 5.00\n";
    size_t count = 0;
    for (size_t at = 0; (at = exportBytes.find("\n[HKEY", at)) != std::string::npos; ++at) {
        size_t end = exportBytes.find(']', at);
        if (count++ % 10 != 0 || end == std::string::npos)
            continue;
        std::string key = exportBytes.substr(at + 2, end - at - 2);
        out += "\n[-" + key + "]\n[" + key + "]\n\"Replaced\"=dword:00000001\n";
    }
    return out;
}

// The device tool on a phone's export: `cedevice import` of a UTF-8 export
// into an empty device and into one that holds it already, and `cedevice
// export` of the result, each against the floor on the resulting
// registry.reg run just before it.
bool measureImports(const std::string& base, int runs, bool keep) {
    std::printf("\n%-22s %5s %6s | %7s %8s %5s %7s\n", "cedevice", "MB", "keys", "floor s", "run s",
                "ratio", "peak MB");
    bool ok = true;
    double importSeconds[2] = {0, 0};
    int row = 0;
    for (size_t kb : {size_t{2458}, size_t{12288}}) {
        Registry reg = generate(kb << 10, false);
        std::string dir = base + "/import-" + std::to_string(kb);
        std::string exportFile = dir + "/export.reg";
        std::string deletionsFile = dir + "/deletions.reg";
        makeDevice(dir + "/device", reg);
        writeFile(exportFile, reg.bytes);
        writeFile(deletionsFile, deletionsOf(reg.bytes));
        std::string device = dir + "/device";
        std::string regPath = device + "/registry.reg";
        std::filesystem::remove(regPath);
        runMeasured({CEDEVICE_EXE, "import", exportFile}, device);  // the result to rewrite
        struct Job {
            const char* what;
            bool empty;  // the device's registry removed first (untimed)
            std::vector<std::string> argv;
            double limit;
        };
        const Job jobs[] = {
            {"import, empty device", true, {CEDEVICE_EXE, "import", exportFile}, kMaxImportRatio},
            {"import, holding it", false, {CEDEVICE_EXE, "import", exportFile}, kMaxImportRatio},
            {"export", false, {CEDEVICE_EXE, "export"}, kMaxExportRatio},
            // Last: it changes the registry (the same way every round).
            {"import, [-KEY] of 1/10",
             false,
             {CEDEVICE_EXE, "import", deletionsFile},
             kMaxImportRatio},
        };
        for (const Job& job : jobs) {
            std::vector<double> floors, times, ratios;
            long peakKb = 0;
            int failures = 0;
            for (int round = 0; round < runs; ++round) {
                double floor =
                    runMeasured({"/proc/self/exe", "--rewrite", regPath}, device).seconds;
                if (job.empty)
                    std::filesystem::remove(regPath);
                settle();
                Measure m = runMeasured(job.argv, device);
                failures += m.status != 0;
                floors.push_back(floor);
                times.push_back(m.seconds);
                ratios.push_back(m.seconds / floor);
                peakKb = std::max(peakKb, m.peakKb);
            }
            double ratio = median(ratios);
            bool good = ratio <= job.limit && failures == 0;
            std::printf("%-22s %5.1f %6ld | %7.4f %8.4f %5.2f %7.1f  %s\n", job.what,
                        static_cast<double>(reg.bytes.size()) / (1 << 20), reg.keys, median(floors),
                        median(times), ratio, peakKb / 1024.0, verdict(good));
            if (job.empty)
                importSeconds[row] = median(times);
            ok = ok && good;
        }
        ++row;
        if (!keep)
            std::filesystem::remove_all(dir);
    }
    double growth = importSeconds[1] / importSeconds[0];
    std::printf("import of 12 MB / import of 2.4 MB: %.2f  %s\n", growth,
                verdict(growth <= kMaxImportGrowth));
    return ok && growth <= kMaxImportGrowth;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--spawn") == 0) {
        std::vector<std::string> rest(argv + 4, argv + argc);
        Measure m = spawnAndMeasure(rest, argv[3]);
        char line[128];
        std::snprintf(line, sizeof line, "%.6f %ld %d\n", m.seconds, m.peakKb, m.status);
        writeFile(argv[2], line);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--rewrite") == 0) {
        durableRewrite(argv[2]);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--least-run") == 0) {
        leastRun(argv[2], argv[3]);
        return 0;
    }
    int runs = 5;
    bool keep = false;
    std::string base = std::filesystem::temp_directory_path().string() + "/registry-bench";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            base = argv[++i];
        } else {
            std::fprintf(stderr, "usage: registry_bench [--runs R] [--keep] [--dir DIR]\n");
            return 2;
        }
    }
    std::printf(
        "registry bench: %d rounds, medians.  floor: a program that makes one durable rewrite "
        "of the file\n(reads it, writes a copy, fsync, rename, fsync of the directory), run "
        "just before each\nprogram run; ratio: median of program / floor over those pairs; "
        "calls: the rewrite's\nsystem calls alone, timed inside the bench; least: the least a "
        "run holding the registry\nin one buffer must do (read it whole, write it back "
        "durably, replace the layout\ndurably), as a ratio to the floor\n\n",
        runs);
    std::printf("%-14s %5s %6s | %7s %7s %5s | %8s %5s %7s | %8s %5s %7s | %8s %5s %7s | %6s\n",
                "registry", "MB", "keys", "floor s", "calls s", "least", "change s", "ratio",
                "peak MB", "scan s", "ratio", "peak MB", "first s", "ratio", "peak MB", "limit");
    bool allOk = true;
    for (size_t megabytes : {size_t{2}, size_t{20}}) {
        for (bool utf16 : {true, false}) {
            Registry reg = generate(megabytes << 20, utf16);
            std::string withoutRunRecord = generate(megabytes << 20, utf16, false).bytes;
            std::string dir = base + "/" + std::to_string(megabytes) + (utf16 ? "-utf16" : "-utf8");
            makeDevice(dir + "/device", reg);
            double fileMb = static_cast<double>(reg.bytes.size()) / (1 << 20);
            long limitKb = static_cast<long>(reg.bytes.size() / 1024) + kMaxExtraKb;
            reg.bytes = std::string();
            Figures f = measureDevice(dir + "/device", withoutRunRecord, runs);
            withoutRunRecord = std::string();
            double floor = median(f.floor);
            double qorv = median(f.qorv);
            double scan = median(f.scan);
            double qorvRatio = median(f.qorvRatio);
            double scanRatio = median(f.scanRatio);
            double firstRatio = median(f.firstRatio);
            bool ok = qorvRatio <= kMaxRatio && scanRatio <= kMaxRatio && firstRatio <= kMaxRatio &&
                      f.qorvPeakKb <= limitKb && f.scanPeakKb <= limitKb &&
                      f.firstPeakKb <= limitKb && f.failures == 0 && f.unchanged == 0;
            allOk = allOk && ok;
            std::printf(
                "%-14s %5.1f %6ld | %7.4f %7.4f %5.2f | %8.4f %5.2f %7.1f | %8.4f %5.2f %7.1f | "
                "%8.4f %5.2f %7.1f | %6.1f  %s\n",
                utf16 ? "UTF-16LE CRLF" : "UTF-8 LF", fileMb, reg.keys, floor, median(f.floorCalls),
                median(f.leastRatio), qorv, qorvRatio, f.qorvPeakKb / 1024.0, scan, scanRatio,
                f.scanPeakKb / 1024.0, median(f.first), firstRatio, f.firstPeakKb / 1024.0,
                limitKb / 1024.0, verdict(ok));
            if (f.failures != 0 || f.unchanged != 0) {
                std::printf("  %d runs failed, %d runs left the registry unwritten\n", f.failures,
                            f.unchanged);
            }
            if (!keep)
                std::filesystem::remove_all(dir);
        }
    }
    allOk = measureImports(base, runs, keep) && allOk;
    std::printf(
        "\ntargets: program ratio <= %.1f, peak <= file + %ld MB; import <= %.0fx, "
        "12 MB <= %.0fx 2.4 MB; export <= %.0fx: %s\n",
        kMaxRatio, kMaxExtraKb / 1024, kMaxImportRatio, kMaxImportGrowth, kMaxExportRatio,
        allOk ? "met" : "MISSED");
    return allOk ? 0 : 1;
}
