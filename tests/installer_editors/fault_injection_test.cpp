// Failures of single system calls during installer runs, staged through the
// posix backend's system-call table: a full disk or a read error at a
// chosen file gives the result code named for it and leaves the layout file
// and registry.reg whole; interrupted calls and short transfers give the
// result of a clean run.  Each run is the installer's run routine in a
// forked child, so that no process start is paid per case.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "installer/run.h"
#include "platform/wstr.h"
#include "tests/installer_editors/editor_device.h"
#include "tests/support/sys_faults.h"

namespace edtest {
namespace {

using cetest::Effect;
using cetest::Fault;
using cetest::kCrashedStatus;
using cetest::Kind;
using cetest::noFault;
using cetest::TempDevice;

// Runs the installer on dev in a child with the fault set.  The child's
// exit status: 0 for success, 1 for a failure, kCrashedStatus when the
// fault ended it.  *calls receives how many calls the fault looked at.
int runFaulted(const TempDevice& dev, const std::string& line, const Fault& fault,
               int* calls = nullptr) {
    return cetest::runWithFault(
        dev.dir(), fault,
        [&] {
            auto* ctx = new qorv::RunContext;
            return qorv::runInstaller(*ctx, ce::u16(line + " -silent").c_str()) == 0 ? 0 : 1;
        },
        calls);
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
    EXPECT_EQ(runFaulted(dev, action.line, noFault()), 0) << action.name;
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

// A layout in UTF-16 is none the installer can rewrite (a 0x09 byte of a
// character would be taken for a tab): it fails as a layout that cannot
// be read, and nothing changes.
TEST(FaultInjection, AUtf16LayoutIsNotReadAndStaysAsItIs) {
    auto utf16 = [](const std::string& text) {
        std::string out;
        for (char c : text + "<!-- x -->\r\n")
            out += std::string{c, '\0'};
        return out.replace(out.size() - 14, 2, "\x09\x04");  // the x becomes U+0409
    };
    std::string lf = kInstalled;
    for (size_t at; (at = lf.find('\r')) != std::string::npos;)
        lf.erase(at, 1);
    const std::pair<const Action*, int64_t> cases[] = {
        {&kAdd, 54}, {&kDelete, 154}, {&kChange, 354}};
    // With a byte-order mark, without one, and with an empty first line of
    // LF alone, whose one byte holds no zero.
    for (const std::string& start :
         {"\xFF\xFE" + utf16(kInstalled), utf16(kInstalled), utf16("\n" + lf)}) {
        for (const auto& [action, code] : cases) {
            SCOPED_TRACE(std::string(action->name) + " on " + std::to_string(start.size()) +
                         " bytes");
            TempDevice dev;
            prepare(dev, start);
            EXPECT_EQ(runFaulted(dev, action->line, noFault()), 1);
            EXPECT_EQ(resultCode(dev), code) << resultText(dev);
            EXPECT_EQ(dev.readFile(kPortrait), start);
            EXPECT_EQ(homeValue(dev, "Plugins"), "Clock;Mail");
        }
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

// The process ends at each call of a run that changes the disk, in turn,
// and then the power goes at each (what was not flushed is lost).  After
// each end the layout file is old or new, the home screen's values
// read back (each old or new) and the value no run touches is intact.  A
// plain rerun then reaches what a clean run reaches.
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
        for (int point = 1; point <= 2 * calls; ++point) {
            // Each call ends the process, then each loses the power too.
            const int n = (point - 1) % calls + 1;
            const Effect end = point <= calls ? Effect::Crash : Effect::PowerLoss;
            SCOPED_TRACE(std::string(action->name) + " ended at call " + std::to_string(n) +
                         (end == Effect::PowerLoss ? " by a power loss" : ""));
            TempDevice dev;
            prepare(dev, start);
            EXPECT_EQ(runFaulted(dev, action->line, Fault{Kind::Any, "", n, end, 0}),
                      kCrashedStatus);
            ++checked;
            Outcome torn = outcomeOf(dev);
            EXPECT_TRUE(torn.layout == before.layout || torn.layout == after.layout);
            EXPECT_TRUE(torn.plugins == before.plugins || torn.plugins == after.plugins);
            EXPECT_TRUE(torn.ext == before.ext || torn.ext == after.ext);
            EXPECT_EQ(torn.cprFile, before.cprFile);
            EXPECT_EQ(runFaulted(dev, action->line, noFault()), 0);
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
