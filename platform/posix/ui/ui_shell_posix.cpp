// The shell's "open" on posix.  The file is a device path (mapped under
// fs/) or, when it begins with "/", a host path.  An executable program
// (a script with "#!" or an ELF binary) is started directly and detached,
// its parameters split into words as a shell would split them but without
// any shell; any other existing file is opened with the desktop's default
// application for its type.  Nothing is waited for.  The started program
// inherits no descriptor of the launcher: every descriptor above standard
// error is closed in the child.  The caller learns nothing of a
// failure, as on the device; a user at a PC is told on standard error what
// could not be started and why.
#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/fs/fs_path.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/ui.h"
#include "platform/wstr.h"

namespace ce::ui {

namespace {

bool hostPathOf(const char16_t* file, std::string* host) {
    if (file[0] == u'/')
        return u16ToUtf8(file, u16len(file), host);
    return posix::deviceToHostPath(file, host);
}

bool onlyBlanks(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// "cannot start FILE (HOST): reason", once; returns false for the caller.
bool cannotStart(const std::string& file, const std::string& host, const std::string& reason) {
    std::string what = host.empty() || host == file ? file : file + " (" + host + ")";
    posix::diagnose("cannot start " + what + ": " + reason);
    return false;
}

// The first bytes of a file, at most n; false when it cannot be opened.
bool fileHead(const std::string& host, size_t n, std::string* head) {
    int fd = posix::sysOpen(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    head->assign(n, '\0');
    ssize_t got = posix::preadFull(fd, head->data(), n, 0);
    posix::sysClose(fd);
    head->resize(got > 0 ? static_cast<size_t>(got) : 0);
    return true;
}

// Why a script that is there could not be started with "No such file or
// directory": the interpreter its "#!" line names is missing; often a CR
// at the line's end (a script saved with CR LF) is part of its name.  Empty
// when the file names no interpreter.
std::string missingInterpreter(const std::string& host) {
    std::string line;
    if (!fileHead(host, 256, &line) || !line.starts_with("#!"))
        return {};
    line = line.substr(2, line.find('\n') - 2);  // npos - 2 still takes the rest
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    std::string interpreter = line.substr(start, line.find_first_of(" \t", start) - start);
    if (posix::sysCalls().faccessat(AT_FDCWD, interpreter.c_str(), F_OK, 0) == 0)
        return {};
    if (interpreter.ends_with('\r')) {
        interpreter.pop_back();
        return "its #! line ends in CR LF, so the interpreter it names is " + interpreter +
               " with a CR after it, which does not exist: save the script with LF line ends";
    }
    return "the interpreter its #! line names, " + interpreter + ", does not exist";
}

// The text of a GLib error, which is freed here.
std::string errorText(GError* error) {
    std::string text = error != nullptr ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

// The parameters with every '#' escaped that GLib's splitter would take
// for the start of a comment (one outside quotes right after a blank, a
// line break or at the start) and drop with the rest of its line: the
// device hands a program its parameters whole, so no word may be lost.
std::string withoutComments(const std::string& text) {
    std::string out;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == 0 && c == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n'))
            out.push_back('\\');
        out.push_back(c);
        if (c == '\\' && quote != '\'' && i + 1 < text.size())
            out.push_back(text[++i]);  // escaped, outside quotes or inside double ones
        else if (quote == 0 && (c == '\'' || c == '"'))
            quote = c;
        else if (quote != 0 && c == quote)
            quote = 0;
    }
    return out;
}

// Descriptors closed one by one where the system cannot close a range.
constexpr long kMaxDescriptorsClosed = 65536;

// Closes the descriptors from `from` up, but for `keep`: between fork and
// exec, so by system calls alone.
void closeDescriptorsFrom(int from, int keep, long max) {
#if defined(__linux__) && defined(SYS_close_range)
    int rest = from;
    bool closed = true;
    if (keep >= from) {
        closed = keep == from || syscall(SYS_close_range, from, keep - 1, 0) == 0;
        rest = keep + 1;
    }
    if (closed && syscall(SYS_close_range, rest, ~0U, 0) == 0)
        return;
#endif
    // Without close_range, up to a bound: a limit of a billion descriptors
    // would keep the launcher waiting for minutes, and its own lie low.
    for (long fd = from; fd < std::min(max, kMaxDescriptorsClosed); ++fd) {
        if (fd != keep)
            close(static_cast<int>(fd));
    }
}

// Starts the program at `path` by execv alone, in a grandchild, so that it
// is no child of the launcher: the intermediate process ends at once and
// is reaped here.  A file the kernel refuses (ENOEXEC: a damaged binary,
// one for another machine) is not started at all, where GLib's spawn would
// hand it to /bin/sh to run line by line.  The program reads /dev/null (it
// would compete for a terminal with the shell that started the launcher),
// writes to the launcher's standard output and error, and gets no other
// descriptor and an empty signal mask; signals its caller chose to ignore
// stay ignored (nohup).  0, or the error that kept it from starting.
int spawnDetached(const char* path, char* const argv[]) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return errno;
    const long max = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing < 0) {
        int err = errno;
        close(report[0]);
        close(report[1]);
        return err;
    }
    const pid_t child = fork();
    if (child < 0) {
        int err = errno;
        close(nothing);
        close(report[0]);
        close(report[1]);
        return err;
    }
    if (child == 0) {
        close(report[0]);
        const pid_t program = fork();
        int err = errno;
        if (program == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (dup2(nothing, 0) < 0) {
                err = errno;
            } else {
                closeDescriptorsFrom(3, report[1], max);
                execv(path, argv);
                err = errno;
            }
        }
        if (program > 0)
            _exit(0);
        while (write(report[1], &err, sizeof err) < 0 && errno == EINTR) {
        }
        _exit(127);
    }
    close(nothing);
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The write end closes at the program's exec, or brings the error.
    int err = 0;
    ssize_t got = 0;
    while ((got = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == static_cast<ssize_t>(sizeof err) ? err : 0;
}

bool startExecutable(const std::string& file, const std::string& host,
                     const std::string& parameters) {
    std::vector<gchar*> argv;
    argv.push_back(const_cast<gchar*>(host.c_str()));
    gchar** words = nullptr;
    GError* error = nullptr;
    if (!onlyBlanks(parameters)) {
        // Unbalanced quotes and the like make the parameters unusable: the
        // program is not started with a guess at them.
        if (!g_shell_parse_argv(withoutComments(parameters).c_str(), nullptr, &words, &error)) {
            return cannotStart(file, host,
                               "its parameters cannot be split into words: " + errorText(error));
        }
        for (gchar** w = words; *w != nullptr; ++w)
            argv.push_back(*w);
    }
    argv.push_back(nullptr);
    const int err = spawnDetached(host.c_str(), argv.data());
    g_strfreev(words);
    const std::string missing = err == ENOENT ? missingInterpreter(host) : std::string();
    return err == 0 || cannotStart(file, host, missing.empty() ? posix::systemError(err) : missing);
}

// A file the kernel starts itself: one we may execute that is an ELF
// binary or names its interpreter ("#!").  Any other file with the
// executable bit (a note on a FAT or SMB mount, where every file has it)
// would be run by /bin/sh line by line, so it is opened like any file.  One
// that cannot be read (execute permission only) is left to the kernel.
bool isProgram(const std::string& host, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || posix::sysCalls().faccessat(AT_FDCWD, host.c_str(), X_OK, 0) != 0)
        return false;
    std::string head;
    if (!fileHead(host, 4, &head))
        return true;
    return head.starts_with("#!") || head == std::string_view(
                                                 "\x7f"
                                                 "ELF",
                                                 4);
}

bool openWithDefaultApplication(const std::string& file, const std::string& host) {
    GFile* gfile = g_file_new_for_path(host.c_str());
    gchar* uri = g_file_get_uri(gfile);
    GError* error = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(uri, nullptr, &error);
    g_free(uri);
    g_object_unref(gfile);
    return ok != FALSE || cannotStart(file, host, errorText(error));
}

}  // namespace

bool shellExecute(const char16_t* verb, const char16_t* file, const char16_t* parameters) {
    if (verb == nullptr || u16cmp(verb, u"open") != 0 || file == nullptr)
        return false;
    if (file[0] == 0)
        return cannotStart("the chosen action", "", "it names no file (only separators)");
    std::string name;
    u16ToUtf8(file, u16len(file), &name);
    std::string host;
    if (!hostPathOf(file, &host))
        return cannotStart(name, "", "no such file on the device");
    std::string params;
    if (parameters != nullptr && !u16ToUtf8(parameters, u16len(parameters), &params))
        return cannotStart(name, host, "its parameters are not valid text");

    struct stat st;
    if (posix::sysStat(host.c_str(), &st) != 0)
        return cannotStart(name, host, posix::systemError(errno));
    if (isProgram(host, st))
        return startExecutable(name, host, params);
    return openWithDefaultApplication(name, host);
}

}  // namespace ce::ui
