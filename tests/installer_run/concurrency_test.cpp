// Runs started together are kept apart by the device-wide run lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "run_helpers.h"

namespace qorvtest {
namespace {

using cetest::someoneWaitsFor;
using cetest::TempDevice;

TEST(Concurrency, RunWaitsWhileAnotherHoldsTheLock) {
    TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    ce::RunLock held = ce::acquireRunLock(u"qorvinstall");
    ASSERT_NE(held, nullptr);

    cetest::RunResult r;
    std::atomic<bool> finished{false};
    std::thread run([&] {
        r = runInstaller(dev, "-cpr:all -silent");
        finished = true;
    });
    // Wait until the run is blocked on the lock, or has ended without it.
    const std::string lockFile = dev.dir() + "/run/locks/qorvinstall.lock";
    while (!finished && !someoneWaitsFor(lockFile))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(finished) << "the run did not wait for the lock";
    // Past the guard, the run touches nothing before it holds the lock.
    EXPECT_EQ(runString(dev, "ErrorDescription"), "<missing>");
    ce::releaseRunLock(held);
    run.join();

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(runDword(dev, "ErrorNumber"), 1);
    EXPECT_EQ(runDword(dev, "QORVhasChangedSomething"), 1);
}

// A layout file long enough that two unserialised rewrites through the one
// temporary copy would overlap.
std::string longLayout(const std::string& tag, const std::string& variant) {
    std::string text = "<Form>\r\n<" + variant + " ID=\"lv\">\r\n";
    for (int i = 0; i < 20000; ++i) {
        text += "<Layer ID=\"" + tag + std::to_string(i) + "\"></Layer>\r\n";
    }
    return text + "</" + variant + ">\r\n</Form>\r\n";
}

// The list view switched to the other variant; the form end is written
// without a line end.
std::string switchedLayout(const std::string& tag, const std::string& to) {
    std::string text = "<Form>\r\n   <" + to + " ID=\"lv\">\r\n";
    for (int i = 0; i < 20000; ++i) {
        text += "<Layer ID=\"" + tag + std::to_string(i) + "\"></Layer>\r\n";
    }
    return text + "   </" + to + "></Form>";
}

TEST(Concurrency, TwoRunsStartedTogetherBothCompleteOneAfterTheOther) {
    TempDevice dev;
    dev.writeRegistry(RegText().home("home").text());
    dev.writeFile("\\Windows\\a.cpr", longLayout("a", "TitaniumListView"));
    dev.writeFile("\\Windows\\b.cpr", longLayout("b", "BronzeListView"));

    cetest::RunResult ra;
    cetest::RunResult rb;
    std::thread ta([&] {
        ra = runInstaller(dev, "-change -cpr:\\Windows\\a.cpr -view:BronzeListView -silent");
    });
    std::thread tb([&] {
        rb = runInstaller(dev, "-change -cpr:\\Windows\\b.cpr -view:TitaniumListView -silent");
    });
    ta.join();
    tb.join();

    EXPECT_EQ(ra.exitCode, 0) << ra.err;
    EXPECT_EQ(rb.exitCode, 0) << rb.err;
    // Compared whole; a mismatch is not printed, the files are large.
    EXPECT_TRUE(dev.readFile("\\Windows\\a.cpr") == switchedLayout("a", "BronzeListView"));
    EXPECT_TRUE(dev.readFile("\\Windows\\b.cpr") == switchedLayout("b", "TitaniumListView"));
    // One run followed the other: the later one rotated the earlier call.
    std::string last = runString(dev, "callCPR");
    std::string before = runString(dev, "lastCallCPR");
    EXPECT_TRUE((last == "\\Windows\\a.cpr" && before == "\\Windows\\b.cpr") ||
                (last == "\\Windows\\b.cpr" && before == "\\Windows\\a.cpr"))
        << last << " after " << before;
}

}  // namespace
}  // namespace qorvtest
