// Window and event markers under run/, and the device-wide run lock.
#include "platform/posix/run/run_dir.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;

namespace {

// The id of a process that has ended and been reaped.
pid_t deadPid() {
    pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(WindowMarker, OnlyALiveProcessMakesAWindow) {
    TempDevice dev;
    std::string windows = dev.dir() + "/run/windows/";
    EXPECT_EQ(ce::findWindow(u"QORV_insClass"), 0u);

    cetest::writeHostFile(windows + "QORV_insClass", std::to_string(getpid()) + "\n");
    EXPECT_EQ(ce::findWindow(u"QORV_insClass"), static_cast<ce::WindowRef>(getpid()));
    EXPECT_EQ(ce::findWindow(u"qorv_insclass"), 0u);  // class names as written

    // PID 1 belongs to another user or to this one: alive either way.
    cetest::writeHostFile(windows + "Init", "1");
    EXPECT_EQ(ce::findWindow(u"Init"), 1u);

    // Ended but not reaped yet: a zombie's id still answers kill(pid, 0).
    const pid_t zombie = fork();
    if (zombie == 0)
        _exit(0);
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT), 0);
    cetest::writeHostFile(windows + "Zombie", std::to_string(zombie) + "\n");
    EXPECT_EQ(ce::findWindow(u"Zombie"), 0u);
    waitpid(zombie, nullptr, 0);

    cetest::writeHostFile(windows + "Gone", std::to_string(deadPid()) + "\n");
    EXPECT_EQ(ce::findWindow(u"Gone"), 0u);
    EXPECT_FALSE(dev.fileExists("\\..\\..\\run\\windows\\Gone"));
    EXPECT_EQ(cetest::readHostFile(windows + "Gone"), "");  // tidied away

    for (const char* bad : {"", "0", "-1", "abc", "12x", "99999999999"}) {
        cetest::writeHostFile(windows + "Bad", bad);
        EXPECT_EQ(ce::findWindow(u"Bad"), 0u) << bad;
    }
    EXPECT_EQ(ce::findWindow(u"../windows/QORV_insClass"), 0u);
    EXPECT_EQ(ce::findWindow(u".."), 0u);
}

TEST(WindowMarker, AProcessThatGotTheIdOfAGoneWriterMakesNoWindow) {
    TempDevice dev;
    std::string path;
    ASSERT_TRUE(ce::posix::runMarkerPath("windows", u"Vantrelo", &path));
    ASSERT_EQ(ce::posix::createRunMarker(path), ce::posix::RunMarker::Created);
    const std::string own = cetest::readHostFile(path);
    EXPECT_EQ(std::count(own.begin(), own.end(), '\n'), 2) << own;  // id and start time
    EXPECT_EQ(ce::findWindow(u"Vantrelo"), static_cast<ce::WindowRef>(getpid()));

    // Left by a process that was started at another time, whose id this
    // process has now: stale, and tidied away like one of a dead process.
    cetest::writeHostFile(path, std::to_string(getpid()) + "\n1\n");
    EXPECT_EQ(ce::findWindow(u"Vantrelo"), 0u);
    EXPECT_EQ(cetest::readHostFile(path), "");
    EXPECT_EQ(ce::posix::createRunMarker(path), ce::posix::RunMarker::Created);
    EXPECT_EQ(cetest::readHostFile(path), own);

    // A second line that is no start time leaves the id alone to decide.
    cetest::writeHostFile(path, std::to_string(getpid()) + "\nnote\n");
    EXPECT_EQ(ce::findWindow(u"Vantrelo"), static_cast<ce::WindowRef>(getpid()));
}

TEST(EventMarker, CreateReportsAnExistingNameAndReplacesAStaleOne) {
    TempDevice dev;
    std::string path;
    ASSERT_TRUE(ce::posix::runMarkerPath("events", u"Vantrelo", &path));
    EXPECT_EQ(path, dev.dir() + "/run/events/Vantrelo");
    EXPECT_EQ(ce::posix::createRunMarker(path), ce::posix::RunMarker::Created);
    EXPECT_TRUE(cetest::readHostFile(path).starts_with(std::to_string(getpid()) + "\n"));
    EXPECT_EQ(ce::posix::createRunMarker(path), ce::posix::RunMarker::AlreadyExists);
    EXPECT_TRUE(ce::posix::removeOwnRunMarker(path));
    EXPECT_EQ(ce::posix::liveRunMarkerOwner(path), 0);

    cetest::writeHostFile(path, std::to_string(deadPid()));
    EXPECT_EQ(ce::posix::createRunMarker(path), ce::posix::RunMarker::Created);
    EXPECT_EQ(ce::posix::liveRunMarkerOwner(path), getpid());

    // Another live process's marker is left alone.
    cetest::writeHostFile(path, "1\n");
    EXPECT_TRUE(ce::posix::removeOwnRunMarker(path));
    EXPECT_EQ(cetest::readHostFile(path), "1\n");
}

// An event lasts while any process holds a handle: the marker passes from
// its maker to a later holder and goes with the last of them.
TEST(EventMarker, PassesToAnotherHolderAndGoesWithTheLast) {
    TempDevice dev;
    std::string path;
    ASSERT_TRUE(ce::posix::runMarkerPath("events", u"Vantrelo", &path));
    int made[2], left[2];
    ASSERT_EQ(pipe(made), 0);
    ASSERT_EQ(pipe(left), 0);
    pid_t maker = fork();
    if (maker == 0) {
        char c = ce::posix::joinRunMarker(path) == ce::posix::RunMarker::Created ? 'y' : 'n';
        (void)!write(made[1], &c, 1);
        (void)!read(left[0], &c, 1);  // until the test says so
        ce::posix::leaveRunMarker(path);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(made[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(ce::posix::liveRunMarkerOwner(path), maker);
    EXPECT_EQ(ce::posix::joinRunMarker(path), ce::posix::RunMarker::AlreadyExists);

    ASSERT_EQ(write(left[1], "x", 1), 1);
    waitpid(maker, nullptr, 0);
    EXPECT_EQ(ce::posix::liveRunMarkerOwner(path), getpid());
    EXPECT_EQ(ce::posix::joinRunMarker(path), ce::posix::RunMarker::AlreadyExists);

    ce::posix::leaveRunMarker(path);
    EXPECT_EQ(ce::posix::liveRunMarkerOwner(path), 0);
    EXPECT_EQ(access(path.c_str(), F_OK), -1);
    for (int fd : {made[0], made[1], left[0], left[1]})
        close(fd);
}

TEST(EventMarker, ExactlyOneOfManySimultaneousCreatorsWins) {
    TempDevice dev;
    std::string path;
    ASSERT_TRUE(ce::posix::runMarkerPath("events", u"Race", &path));
    cetest::writeHostFile(path, std::to_string(deadPid()));  // stale: all try to replace it
    int go[2];
    int done[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(done), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            close(done[1]);
            char c;
            (void)!read(go[0], &c, 1);  // all start together
            auto r = ce::posix::createRunMarker(path);
            // Stay alive until every creator has tried.
            (void)!read(done[0], &c, 1);
            _exit(r == ce::posix::RunMarker::Created         ? 10
                  : r == ce::posix::RunMarker::AlreadyExists ? 11
                                                             : 12);
        }
        children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);  // releases them all at once
    close(done[0]);
    usleep(300 * 1000);
    pid_t owner = ce::posix::liveRunMarkerOwner(path);
    close(done[1]);
    int created = 0;
    int existed = 0;
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 10) {
            ++created;
            EXPECT_EQ(pid, owner);
        }
        if (WEXITSTATUS(status) == 11)
            ++existed;
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(existed, 7);
}

TEST(RunLock, ASecondProcessWaitsUntilTheFirstReleases) {
    TempDevice dev;
    // The second process is started before the lock is taken: a forked
    // child would otherwise share the holder's lock.
    int go[2];
    int report[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(report), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(go[1]);
        close(report[0]);
        char c;
        (void)!read(go[0], &c, 1);
        ce::RunLock other = ce::acquireRunLock(u"Zandoval");
        (void)!write(report[1], other != nullptr ? "y" : "n", 1);
        _exit(0);
    }
    close(go[0]);
    close(report[1]);
    ce::RunLock lock = ce::acquireRunLock(u"Zandoval");
    ASSERT_NE(lock, nullptr);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    struct pollfd p = {report[0], POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 300), 0) << "the second process got the lock while it was held";
    // Another name is not held.
    ce::RunLock unrelated = ce::acquireRunLock(u"qorvinstall");
    EXPECT_NE(unrelated, nullptr);
    ce::releaseRunLock(unrelated);
    ce::releaseRunLock(lock);
    char c = 0;
    EXPECT_EQ(read(report[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    waitpid(pid, nullptr, 0);
    close(go[1]);
    close(report[0]);
    EXPECT_EQ(ce::acquireRunLock(u"a/b"), nullptr);
    EXPECT_EQ(ce::acquireRunLock(u""), nullptr);
}
