// A stand-in for the fuzzer's driver, for the test build: it runs a fuzz
// target over every input of its corpus, then over a fixed number of inputs
// made from them by small mutations with a fixed seed, so that every test
// run does the same work and a broken property fails the test.  Long,
// coverage-guided runs are scripts/fuzz.sh's, with the real fuzzer.
//
//   NAME_fuzz [-runs=N] [-dict=FILE] [-max_len=N] PATH...
//
// A PATH is an input file or a directory of them.  -runs counts the
// mutated inputs; the dictionary (the fuzzer's format, one "token" a line)
// gives tokens to insert.  When the target aborts, the input it was given
// is named on stderr and written to NAME_fuzz.failed-input in the working
// directory, ready to replay alone.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

using Bytes = std::string;

// Largest input made when -max_len is not given, as the fuzzer does.
constexpr size_t kDefaultMaxLen = 4096;
constexpr unsigned kMaxMutationsPerInput = 4;

// What the target was running, kept for the abort handler: a failed test
// names its input and leaves a copy of it.
std::string gCurrent;
std::string gFailedInputPath;
const uint8_t* gCurrentData = nullptr;
size_t gCurrentSize = 0;

void onAbort(int) {
    const char* head = "replay: the target failed on ";
    (void)!write(2, head, std::strlen(head));
    (void)!write(2, gCurrent.data(), gCurrent.size());
    (void)!write(2, "\n", 1);
    int fd = open(gFailedInputPath.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)!write(fd, gCurrentData, gCurrentSize);
        close(fd);
    }
    signal(SIGABRT, SIG_DFL);
    raise(SIGABRT);
}

bool readFile(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Adds the files of `path` (a file, or a directory's regular files in name
// order) to `inputs`.
bool addInputs(const std::string& path, std::vector<std::pair<std::string, Bytes>>* inputs) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    std::vector<std::string> files;
    if (S_ISDIR(st.st_mode)) {
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr)
            return false;
        while (dirent* e = readdir(dir)) {
            std::string file = path + "/" + e->d_name;
            struct stat fs;
            if (stat(file.c_str(), &fs) == 0 && S_ISREG(fs.st_mode))
                files.push_back(file);
        }
        closedir(dir);
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(path);
    }
    for (const std::string& file : files) {
        Bytes bytes;
        if (!readFile(file, &bytes))
            return false;
        inputs->emplace_back(file, std::move(bytes));
    }
    return true;
}

// The fuzzer's dictionary format: `name="token"` or `"token"` a line, with
// \\, \" and \xNN escapes; other lines are ignored.
std::vector<Bytes> readDictionary(const std::string& path) {
    std::vector<Bytes> tokens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t open = line.find('"');
        size_t close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open)
            continue;
        Bytes token;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] != '\\' || i + 1 >= close) {
                token.push_back(line[i]);
            } else if (line[i + 1] == 'x' && i + 3 < close) {
                token.push_back(static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16)));
                i += 3;
            } else {
                token.push_back(line[++i]);
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

// xorshift64*: the same inputs on every machine.
struct Random {
    uint64_t state = 0x9E3779B97F4A7C15u;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Du;
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
};

void mutate(Bytes* b, const std::vector<std::pair<std::string, Bytes>>& inputs,
            const std::vector<Bytes>& tokens, size_t maxLen, Random& r) {
    unsigned count = 1 + static_cast<unsigned>(r.below(kMaxMutationsPerInput));
    for (unsigned m = 0; m < count; ++m) {
        size_t at = r.below(b->size() + 1);
        switch (r.below(7)) {
            case 0:  // flip a bit
                if (!b->empty())
                    (*b)[r.below(b->size())] ^= static_cast<char>(1u << r.below(8));
                break;
            case 1:  // a byte anywhere, often a text's own separators
                b->insert(at, 1, "\n\r\"\\[]=;|%@-\0\xff"[r.below(14)]);
                break;
            case 2:  // erase a stretch
                if (!b->empty()) {
                    size_t from = r.below(b->size());
                    b->erase(from, 1 + r.below(std::min<size_t>(b->size() - from, 16)));
                }
                break;
            case 3:  // copy a stretch elsewhere
                if (!b->empty()) {
                    size_t from = r.below(b->size());
                    Bytes part = b->substr(from, 1 + r.below(64));
                    b->insert(r.below(b->size() + 1), part);
                }
                break;
            case 4:  // a dictionary token
                if (!tokens.empty())
                    b->insert(at, tokens[r.below(tokens.size())]);
                break;
            case 5: {  // splice: this input's start, another's end
                const Bytes& other = inputs[r.below(inputs.size())].second;
                *b = b->substr(0, at) + other.substr(r.below(other.size() + 1));
                break;
            }
            default:  // truncate
                b->resize(at);
                break;
        }
    }
    if (b->size() > maxLen)
        b->resize(maxLen);
}

void runOne(const std::string& name, const Bytes& bytes) {
    gCurrent = name;
    // A copy of its own, so that reading past the input's end is caught.
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    gCurrentData = copy.data();
    gCurrentSize = copy.size();
    LLVMFuzzerTestOneInput(copy.data(), copy.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    unsigned long runs = 0;
    size_t maxLen = 0;
    std::vector<Bytes> tokens;
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0) {
            runs = std::strtoul(arg.c_str() + 6, nullptr, 10);
        } else if (arg.rfind("-max_len=", 0) == 0) {
            maxLen = std::strtoul(arg.c_str() + 9, nullptr, 10);
        } else if (arg.rfind("-dict=", 0) == 0) {
            tokens = readDictionary(arg.substr(6));
        } else if (!addInputs(arg, &inputs)) {
            std::fprintf(stderr, "replay: cannot read %s\n", arg.c_str());
            return 2;
        }
    }
    if (inputs.empty())
        inputs.emplace_back("(empty input)", Bytes());
    if (maxLen == 0) {
        maxLen = kDefaultMaxLen;
        for (const auto& input : inputs)
            maxLen = std::max(maxLen, input.second.size());
    }
    std::string program = argv[0];
    gFailedInputPath = program.substr(program.rfind('/') + 1) + ".failed-input";
    signal(SIGABRT, onAbort);

    for (const auto& [name, bytes] : inputs)
        runOne(name, bytes);
    Random r;
    Bytes b;
    for (unsigned long n = 0; n < runs; ++n) {
        // Mostly build on the last input, now and then start again from
        // the corpus, as a fuzzer's queue would.
        if (n % 8 == 0)
            b = inputs[r.below(inputs.size())].second;
        mutate(&b, inputs, tokens, maxLen, r);
        runOne("mutated input " + std::to_string(n + 1), b);
    }
    std::printf("%zu inputs of the corpus and %lu mutated inputs ran\n", inputs.size(), runs);
    return 0;
}
