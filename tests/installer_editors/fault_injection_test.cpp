// Failures of single system calls during installer runs, staged through the
// posix backend's system-call table: a full disk or a read error at a
// chosen file gives the result code named for it and leaves the layout file
// and registry.reg whole; interrupted calls and short transfers give the
// result of a clean run.  Each run is the installer's run routine in a
// forked child, so that no process start is paid per case.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "installer/run.h"
#include "platform/posix/sys_io.h"
#include "platform/wstr.h"
#include "tests/installer_editors/editor_device.h"

namespace edtest {
namespace {

using ce::posix::SysCalls;
using cetest::TempDevice;

enum class Kind { Read, Write, Fsync, Rename, Any };
enum class Effect { Fail, EveryOtherInterrupted, EveryOtherShort, Crash };

// The Nth call of a kind on a file whose host path holds `file` ("" for
// any file); nth 0 with the every-other effects means every second call.
struct Fault {
    Kind kind;
    std::string file;
    int nth;
    Effect effect;
    int error;
};

constexpr int kCrashedStatus = 99;

Fault gFault;
int gSeen = 0;
SysCalls gKernel;

std::string fdPath(int fd) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buf[PATH_MAX];
    ssize_t n = readlink(link, buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// True when this call is to be disturbed; a crash ends the process here.
bool strikes(Kind kind, const std::string& path) {
    if (gFault.kind != Kind::Any && gFault.kind != kind)
        return false;
    // A crash before a read is the crash before the next change on disk.
    if (gFault.kind == Kind::Any && kind == Kind::Read)
        return false;
    if (!gFault.file.empty() && path.find(gFault.file) == std::string::npos)
        return false;
    ++gSeen;
    bool hit = gFault.nth == 0 ? gSeen % 2 == 1 : gSeen == gFault.nth;
    if (hit && gFault.effect == Effect::Crash)
        _exit(kCrashedStatus);
    return hit;
}

ssize_t faultyRead(int fd, void* buf, size_t size) {
    if (strikes(Kind::Read, fdPath(fd))) {
        if (gFault.effect == Effect::EveryOtherShort && size > 1)
            return gKernel.read(fd, buf, size / 2);
        if (gFault.effect != Effect::EveryOtherShort) {
            errno = gFault.effect == Effect::EveryOtherInterrupted ? EINTR : gFault.error;
            return -1;
        }
    }
    return gKernel.read(fd, buf, size);
}

int gLastWritten = -1;

ssize_t faultyWrite(int fd, const void* buf, size_t size) {
    // In the crash sweep the writes that go on filling one file are one
    // point: what lies on disk between them is the same partial file.
    bool sameFile = gFault.kind == Kind::Any && fd == gLastWritten;
    gLastWritten = fd;
    if (!sameFile && strikes(Kind::Write, fdPath(fd))) {
        if (gFault.effect == Effect::EveryOtherShort && size > 1)
            return gKernel.write(fd, buf, size / 2);
        if (gFault.effect != Effect::EveryOtherShort) {
            errno = gFault.effect == Effect::EveryOtherInterrupted ? EINTR : gFault.error;
            return -1;
        }
    }
    return gKernel.write(fd, buf, size);
}

int faultyFsync(int fd) {
    if (strikes(Kind::Fsync, fdPath(fd))) {
        errno = gFault.effect == Effect::EveryOtherInterrupted ? EINTR : gFault.error;
        return -1;
    }
    return gKernel.fsync(fd);
}

int faultyRenameat(int fromDir, const char* from, int toDir, const char* to) {
    if (strikes(Kind::Rename, fdPath(toDir) + "/" + to)) {
        errno = gFault.error;
        return -1;
    }
    return gKernel.renameat(fromDir, from, toDir, to);
}

// Other calls that change the disk count only for Kind::Any (the crash
// sweep).
int faultyOpenat(int dirFd, const char* name, int flags, mode_t mode) {
    if ((flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0)
        strikes(Kind::Any, "");
    return gKernel.openat(dirFd, name, flags, mode);
}

int faultyUnlinkat(int dirFd, const char* name, int flags) {
    strikes(Kind::Any, "");
    return gKernel.unlinkat(dirFd, name, flags);
}

// Runs the installer on dev in a child with the fault set.  The child's
// exit status: 0 for success, 1 for a failure, kCrashedStatus when the
// fault ended it.  *calls receives how many calls the fault looked at.
int runFaulted(const TempDevice& dev, const std::string& line, const Fault& fault,
               int* calls = nullptr) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        setenv("CE_DEVICE_DIR", dev.dir().c_str(), 1);
        SysCalls& table = ce::posix::sysCalls();
        gKernel = table;
        gFault = fault;
        gSeen = 0;
        table.read = faultyRead;
        table.write = faultyWrite;
        table.fsync = faultyFsync;
        table.renameat = faultyRenameat;
        table.openat = faultyOpenat;
        table.unlinkat = faultyUnlinkat;
        auto* ctx = new qorv::RunContext;
        uint32_t result = qorv::runInstaller(*ctx, ce::u16(line + " -silent").c_str());
        ssize_t ignored = ::write(pipeFds[1], &gSeen, sizeof gSeen);
        (void)ignored;
        _exit(result == 0 ? 0 : 1);
    }
    close(pipeFds[1]);
    int seen = 0;
    if (read(pipeFds[0], &seen, sizeof seen) == sizeof seen && calls != nullptr)
        *calls = seen;
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kLayout = "<Form ID=\"home\">\r\n  <TitaniumListView ID=\"lv\">\r\n" +
                            layers("Clock", "Clock") + "  </TitaniumListView>\r\n</Form>\r\n";
const std::string kPlgContent = plgText() + block(480, 800, "Port") + "</plugin>\r\n";

void prepare(const TempDevice& dev, const std::string& layout = kLayout) {
    setUpDevice(dev);
    dev.writeFile(kPortrait, layout);
    dev.writeFile(kPlg, kPlgContent);
}

struct Action {
    const char* name;
    std::string line;
};

const Action kAdd{"addchange", addLine()};
const Action kChange{"change", "-change -cpr:currentPortrait -view:BronzeListView"};
const std::string kInstalled = "<Form ID=\"home\">\r\n  <TitaniumListView ID=\"lv\">\r\n" +
                               layers("Clock", "Clock") + layers("Weather", "Port") +
                               "  </TitaniumListView>\r\n</Form>\r\n";
const Action kDelete{"delete", deleteLine("Weather")};

struct FailureCase {
    const Action& action;
    Fault fault;
    int64_t code;  // the result the run records
};

// What a clean run of the action leaves in the layout file.
std::string cleanLayout(const Action& action, const std::string& start) {
    TempDevice dev;
    prepare(dev, start);
    EXPECT_EQ(runFaulted(dev, action.line, Fault{Kind::Read, "/nothing/", 1, Effect::Fail, 0}), 0)
        << action.name;
    return dev.readFile(kPortrait);
}

TEST(FaultInjection, FailedStepsGiveTheirResultAndLeaveLayoutAndRegistryWhole) {
    const FailureCase cases[] = {
        {kAdd, {Kind::Write, "tempTitaniumPortraitCpr", 1, Effect::Fail, ENOSPC}, 53},
        {kAdd, {Kind::Read, "home_480x800.cpr", 1, Effect::Fail, EIO}, 54},
        {kDelete, {Kind::Write, "tempTitaniumPortraitCpr", 1, Effect::Fail, ENOSPC}, 153},
        {kDelete, {Kind::Read, "home_480x800.cpr", 1, Effect::Fail, EIO}, 154},
        {kChange, {Kind::Write, "tempTitaniumPortraitCpr", 1, Effect::Fail, ENOSPC}, 353},
        {kChange, {Kind::Read, "home_480x800.cpr", 1, Effect::Fail, EIO}, 354},
        // The copy back over the layout file.
        {kAdd, {Kind::Fsync, "/Windows/", 1, Effect::Fail, EIO}, 200},
        {kAdd, {Kind::Rename, "home_480x800.cpr", 1, Effect::Fail, EACCES}, 200},
        {kChange, {Kind::Write, "/Windows/", 1, Effect::Fail, ENOSPC}, 300},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(std::string(c.action.name) + " fails at " + c.fault.file);
        TempDevice dev;
        const std::string& start = &c.action == &kDelete ? kInstalled : kLayout;
        prepare(dev, start);
        EXPECT_EQ(runFaulted(dev, c.action.line, c.fault), 1);
        EXPECT_EQ(resultCode(dev), c.code) << resultText(dev);
        EXPECT_EQ(dev.readFile(kPortrait), start);
        // The home screen's values are committed only after the layout.
        EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
        EXPECT_NE(dev.readRegistryFile(), "");
    }
}

TEST(FaultInjection, InterruptedCallsAndShortTransfersGiveTheCleanResult) {
    for (const Action* action : {&kAdd, &kDelete, &kChange}) {
        const std::string& start = action == &kDelete ? kInstalled : kLayout;
        const std::string expected = cleanLayout(*action, start);
        for (Kind kind : {Kind::Read, Kind::Write, Kind::Fsync}) {
            for (Effect effect : {Effect::EveryOtherInterrupted, Effect::EveryOtherShort}) {
                if (kind == Kind::Fsync && effect == Effect::EveryOtherShort)
                    continue;
                SCOPED_TRACE(std::string(action->name) + " kind " +
                             std::to_string(static_cast<int>(kind)) + " effect " +
                             std::to_string(static_cast<int>(effect)));
                TempDevice dev;
                prepare(dev, start);
                int seen = 0;
                EXPECT_EQ(runFaulted(dev, action->line, Fault{kind, "", 0, effect, 0}, &seen), 0);
                EXPECT_GT(seen, 0);  // the disturbance really met calls
                EXPECT_EQ(resultCode(dev), 0) << resultText(dev);
                EXPECT_EQ(dev.readFile(kPortrait), expected);
            }
        }
    }
}

}  // namespace
}  // namespace edtest

namespace edtest {
namespace {

// registry.reg that cannot be written: the installer does not check its
// value writes, but the file stays whole (the home screen's values read
// back as one version) and no temporary file is left beside it.
TEST(FaultInjection, RegistryWriteFailuresLeaveItWhole) {
    const Fault faults[] = {
        {Kind::Write, "", 1, Effect::Fail, ENOSPC},
        {Kind::Fsync, "", 1, Effect::Fail, EIO},
        {Kind::Rename, "registry.reg", 1, Effect::Fail, EACCES},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault.kind));
        TempDevice dev;
        prepare(dev);
        // The new registry file is written beside it before it replaces it.
        Fault at = fault;
        if (at.file.empty())
            at.file = dev.dir() + "/.ce-tmp-";
        int seen = 0;
        runFaulted(dev, kAdd.line, at, &seen);
        EXPECT_GT(seen, 0);
        std::string plugins = homeValue(dev, "Plugins");
        EXPECT_TRUE(plugins == "Clock;Mail" || plugins == "Clock;Mail;Weather") << plugins;
        for (const auto& e : std::filesystem::directory_iterator(dev.dir())) {
            std::string name = e.path().filename().string();
            EXPECT_TRUE(name.rfind("registry.reg.", 0) != 0 || name == "registry.reg.lock")
                << name << " is left over";
        }
    }
}

}  // namespace
}  // namespace edtest

namespace edtest {
namespace {

// What a run leaves that a crash must not tear.
struct Outcome {
    std::string layout;
    std::string plugins;
    std::string ext;
    std::string cprFile;
};

Outcome outcomeOf(const TempDevice& dev) {
    return Outcome{dev.readFile(kPortrait), homeValue(dev, "Plugins"),
                   homeValue(dev, "ExtensibilityXML"), homeValue(dev, "CPRFile")};
}

// The process ends at each call of a run that changes the disk, in turn.
// After each end the layout file is old or new, the home screen's values
// read back (each old or new) and the value no run touches is intact.  A
// plain rerun of a delete then reaches what a clean run reaches.
TEST(CrashPoints, EveryCallOfARunIsACrashPointThatARerunRecoversFrom) {
    int checked = 0;
    for (const Action* action : {&kAdd, &kDelete, &kChange}) {
        const std::string& start = action == &kDelete ? kInstalled : kLayout;
        TempDevice clean;
        prepare(clean, start);
        const Outcome before = outcomeOf(clean);
        int calls = 0;
        ASSERT_EQ(runFaulted(clean, action->line, Fault{Kind::Any, "", INT_MAX, Effect::Crash, 0},
                             &calls),
                  0);
        const Outcome after = outcomeOf(clean);
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(std::string(action->name) + " ended at call " + std::to_string(n));
            TempDevice dev;
            prepare(dev, start);
            EXPECT_EQ(runFaulted(dev, action->line, Fault{Kind::Any, "", n, Effect::Crash, 0}),
                      kCrashedStatus);
            ++checked;
            Outcome torn = outcomeOf(dev);
            EXPECT_TRUE(torn.layout == before.layout || torn.layout == after.layout);
            EXPECT_TRUE(torn.plugins == before.plugins || torn.plugins == after.plugins);
            EXPECT_TRUE(torn.ext == before.ext || torn.ext == after.ext);
            EXPECT_EQ(torn.cprFile, before.cprFile);
            if (action != &kDelete)
                continue;
            EXPECT_EQ(
                runFaulted(dev, action->line, Fault{Kind::Read, "/nothing/", 1, Effect::Fail, 0}),
                0);
            Outcome rerun = outcomeOf(dev);
            EXPECT_EQ(rerun.layout, after.layout);
            EXPECT_EQ(rerun.plugins, after.plugins);
            EXPECT_EQ(rerun.ext, after.ext);
        }
    }
    printf("crash points checked: %d\n", checked);
}

}  // namespace
}  // namespace edtest
