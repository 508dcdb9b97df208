// End-to-end runs of the real Vantrelo on a private X display: the menu
// appears at the pointer with the file's entries, a choice by keyboard or
// click runs the right action, and the process ends when it should.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/menu/launcher_run.h"
#include "tests/menu/x_session.h"

namespace {

using namespace std::chrono_literals;
using vtest::LauncherSetup;
using vtest::MenuEntry;
using vtest::Process;
using vtest::Rect;
using vtest::utf16Menu;
using vtest::waitFor;
using Clock = std::chrono::steady_clock;

// "Ends at once" means well before the 6-second auto-close could end it.
constexpr auto kPromptExit = 4s;
constexpr int kExitOtherInstance = 255;  // -1 as a process status

class VantreloE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // No display means the environment is broken, not that the test
        // does not apply: fail.
        ASSERT_TRUE(x_.ok()) << x_.error();
        setup_ = std::make_unique<LauncherSetup>(x_.display());
    }

    LauncherSetup& s() { return *setup_; }

    // Waits until the launcher's menu is on screen and returns where.
    std::optional<Rect> waitForMenu(size_t menusBefore = 0) {
        std::optional<Rect> rect;
        waitFor([&] {
            if (s().shownMenus().size() <= menusBefore)
                return false;
            auto windows = x_.visibleWindows("Vantrelo");
            if (windows.empty())
                return false;
            rect = windows.front();
            return true;
        });
        return rect;
    }

    bool menuVisible() { return !x_.visibleWindows("Vantrelo").empty(); }

    std::string fsHost(const std::string& devicePath) { return s().device().hostPath(devicePath); }

    vtest::XSession x_;
    std::unique_ptr<LauncherSetup> setup_;
};

TEST_F(VantreloE2E, MenuAtPointerKeepsNumberOrderAndRunsTheEntryChosenByKeyboard) {
    s().recorderScript(fsHost("\\Program Files\\Rec\\rec.sh"), "rec");
    s().writeMenu("", utf16Menu("; shortcuts of the day\n"
                                "[Menus]\n"
                                "Menu7=Seventh\n"
                                "Menu2=Second\n"
                                "Menu3=\n"
                                "Menu5=Fünfte &Wahl\n"
                                "Menu0=never shown\n"
                                "Menu11=never shown\n"
                                "[Actions]\n"
                                "Action2=\\Program Files\\Rec\\rec.sh|two\n"
                                "Action5=\\program files\\rec\\REC.SH|five \"with blanks\" 'q'\n"
                                "Action7=\\Program Files\\Rec\\rec.sh;seven\n"));
    x_.movePointer(300, 220);
    Process p = s().start({});
    auto rect = waitForMenu();
    ASSERT_TRUE(rect) << "no menu appeared";
    EXPECT_EQ(rect->x, 300);
    EXPECT_EQ(rect->y, 220);

    auto menus = s().shownMenus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].x, 300);
    EXPECT_EQ(menus[0].y, 220);
    EXPECT_EQ(menus[0].entries,
              (std::vector<MenuEntry>{{102, "Second"}, {105, "Fünfte &Wahl"}, {107, "Seventh"}}));
    EXPECT_TRUE(s().windowMarkerExists());
    EXPECT_TRUE(s().eventMarkerExists());

    // The README's picture of the menu, with some room around it.
    const std::string shot = std::string(VANTRELO_ARTIFACT_DIR) + "/vantrelo-menu.png";
    std::filesystem::create_directories(VANTRELO_ARTIFACT_DIR);
    Rect crop{rect->x - 40, rect->y - 30, rect->width + 80, rect->height + 60};
    EXPECT_TRUE(x_.screenshot(shot, crop));

    ASSERT_TRUE(x_.xdotool({"key", "--delay", "80", "Down", "Down", "Return"}));
    auto code = p.waitExit(kPromptExit);
    ASSERT_TRUE(code) << "the launcher did not end after the choice";
    EXPECT_EQ(*code, 0);
    ASSERT_TRUE(waitFor([&] { return s().outExists("rec.args"); }));
    EXPECT_EQ(s().readOut("rec.args"), "five\nwith blanks\nq\n");
    // The started program holds only the standard descriptors and the one
    // its own listing opened: nothing of the launcher.
    EXPECT_EQ(s().readOut("rec.fds"), "0\n1\n2\n3\n");
    // It reads nothing of the terminal the launcher may have been started on.
    EXPECT_EQ(s().readOut("rec.stdin"), "/dev/null\n");
    EXPECT_FALSE(menuVisible());
    EXPECT_FALSE(s().windowMarkerExists());
    EXPECT_FALSE(s().eventMarkerExists());
}

TEST_F(VantreloE2E, ClickedEntryRunsWithFolderVariablesInFileAndParameters) {
    s().recorderScript(fsHost("\\Windows\\rec.sh"), "rec");
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Alpha\nMenu2=Beta\nMenu3=Gamma\n"
                                "[Actions]\n"
                                "Action1=%WINDOWS%\\rec.sh|alpha\n"
                                // Parameters are split like a shell splits words: quotes keep
                                // the backslashes of device paths, which
                                // outside quotes escape the next character.
                                // A word that opens with "#" is no comment.
                                "Action3=%WINDOWS%\\rec.sh|'%MYMUSIC%\\a.mp3' "
                                "\"%MYPICTURES%\\b c.jpg\" %windows% "
                                "'%PROGRAMFILES%%MYVIDEO%' un\\quoted #5 last\n"));
    x_.movePointer(500, 400);
    Process p = s().start({});
    auto rect = waitForMenu();
    ASSERT_TRUE(rect) << "no menu appeared";
    ASSERT_EQ(s().shownMenus().at(0).entries.size(), 3u);

    const int x = rect->x + rect->width / 2;
    const int y = rect->y + rect->height * 5 / 6;  // the middle of the third of three
    ASSERT_TRUE(x_.xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)}));
    std::this_thread::sleep_for(150ms);  // let the entry under the pointer light up
    ASSERT_TRUE(x_.xdotool({"click", "1"}));

    auto code = p.waitExit(kPromptExit);
    ASSERT_TRUE(code) << "the launcher did not end after the click";
    EXPECT_EQ(*code, 0);
    ASSERT_TRUE(waitFor([&] { return s().outExists("rec.args"); }));
    EXPECT_EQ(s().readOut("rec.args"),
              "\\My Documents\\My Music\\a.mp3\n"
              "\\My Documents\\My Pictures\\b c.jpg\n"
              "%windows%\n"
              "\\Program Files\\My Documents\\My Videos\n"
              "unquoted\n#5\nlast\n");
}

TEST_F(VantreloE2E, DataFileOpensWithTheDesktopDefaultApplication) {
    s().registerTextHandler("viewer");
    s().device().writeFile("\\My Documents\\notes.txt", "a shopping list\n");
    // Executable, as every file is on some mounts: still no program.
    chmod(fsHost("\\My Documents\\notes.txt").c_str(), 0755);
    s().writeMenu(
        "", utf16Menu("[Menus]\nMenu1=Notes\n[Actions]\nAction1=\\My Documents\\notes.txt\n"));
    x_.movePointer(100, 100);
    Process p = s().start({});
    ASSERT_TRUE(waitForMenu()) << "no menu appeared";
    ASSERT_TRUE(x_.xdotool({"key", "--delay", "80", "Down", "Return"}));
    auto code = p.waitExit(kPromptExit);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    ASSERT_TRUE(waitFor([&] { return s().outExists("viewer.args"); }))
        << "the desktop handler was not started";
    EXPECT_EQ(s().readOut("viewer.args"), fsHost("\\My Documents\\notes.txt") + "\n");
}

TEST_F(VantreloE2E, EntriesWithoutRunnableActionEndAtOnceWithoutLaunching) {
    s().recorderScript(fsHost("\\Windows\\rec.sh"), "rec");
    // A program the kernel refuses: /bin/sh would run its second line.
    s().device().writeFile("\\Windows\\foreign",
                           "\x7f"
                           "ELF\n" +
                               fsHost("\\Windows\\rec.sh") + "\n");
    chmod(fsHost("\\Windows\\foreign").c_str(), 0755);
    // A script saved with CR LF: its interpreter is "/bin/sh\r".
    s().device().writeFile("\\Windows\\crlf.sh", "#!/bin/sh\r\necho\r\n");
    chmod(fsHost("\\Windows\\crlf.sh").c_str(), 0755);
    std::string tooLong = "%WINDOWS%\\rec.sh|";
    for (int i = 0; i < 12; ++i)
        tooLong += "%MYPICTURES%";  // 25 + 12 x 25 characters
    // "-2" picks Vantrelo2.ini; Vantrelo.ini would run the recorder.
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=A\nMenu2=B\nMenu3=C\n[Actions]\n"
                                "Action1=%WINDOWS%\\rec.sh\nAction2=%WINDOWS%\\rec.sh\n"
                                "Action3=%WINDOWS%\\rec.sh\n"));
    s().writeMenu("2", utf16Menu("[Menus]\nMenu1=No action\nMenu2=Empty action\nMenu3=Too long\n"
                                 "Menu4=Missing program\nMenu5=Separators only\nMenu6=Cut line\n"
                                 "Menu7=Foreign program\nMenu8=CR LF script\n"
                                 "[Actions]\nAction2=\nAction3=" +
                                 tooLong +
                                 "\nAction4=%WINDOWS%\\missing.exe|-x\nAction5=|\n"
                                 "Action6=%WINDOWS%\\rec.sh|" +
                                 std::string(250, 'p') +
                                 "\nAction7=%WINDOWS%\\foreign\nAction8=%WINDOWS%\\crlf.sh\n"));
    x_.movePointer(200, 200);
    for (int entry = 1; entry <= 8; ++entry) {
        SCOPED_TRACE("entry " + std::to_string(entry));
        const size_t before = s().shownMenus().size();
        Process p = s().start({"-2"});
        ASSERT_TRUE(waitForMenu(before)) << "no menu appeared";
        EXPECT_EQ(s().shownMenus().back().entries.size(), 8u);
        std::vector<std::string> keys{"key", "--delay", "80"};
        for (int i = 0; i < entry; ++i)
            keys.push_back("Down");
        keys.push_back("Return");
        ASSERT_TRUE(x_.xdotool(keys));
        auto code = p.waitExit(kPromptExit);
        ASSERT_TRUE(code) << "the launcher waited instead of ending";
        EXPECT_EQ(*code, 0);
        EXPECT_FALSE(s().windowMarkerExists());
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(s().outExists("rec.args")) << "something was launched";
    // An entry without an action is the menu file's own choice; an action
    // too long to run, a program that is not there and an action of
    // separators only are worth a word.
    EXPECT_EQ(s().diagnostics(),
              "vantrelo: Action3 of the menu file is too long once its folders are put in (at "
              "most 255 characters), so nothing was started\n"
              "vantrelo: cannot start \\Windows\\missing.exe (" +
                  fsHost("\\Windows") +
                  "/missing.exe): No such file or directory\n"
                  "vantrelo: cannot start the chosen action: it names no file (only "
                  "separators)\n"
                  "vantrelo: Action6 of the menu file is longer than a line of it can be read "
                  "(254 characters), so nothing was started\n"
                  "vantrelo: cannot start \\Windows\\foreign (" +
                  fsHost("\\Windows") +
                  "/foreign): Exec format error\n"
                  "vantrelo: cannot start \\Windows\\crlf.sh (" +
                  fsHost("\\Windows") +
                  "/crlf.sh): its #! line ends in CR LF, so the interpreter it names is /bin/sh "
                  "with a CR after it, which does not exist: save the script with LF line ends\n");
}

TEST_F(VantreloE2E, OpenMenuClosesItselfAfterSixSeconds) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Waiting\n"));
    x_.movePointer(50, 60);
    Process p = s().start({});
    ASSERT_TRUE(waitForMenu()) << "no menu appeared";
    const auto shown = Clock::now();
    auto code = p.waitExit(15s);
    const auto after = Clock::now() - shown;
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_GE(after, 5s);
    EXPECT_LE(after, 10s);
    EXPECT_FALSE(menuVisible());
    EXPECT_FALSE(s().windowMarkerExists());
    EXPECT_FALSE(s().eventMarkerExists());
}

TEST_F(VantreloE2E, DismissedMenuLeavesTheProcessUntilTheAutoClose) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Dismiss me\n"));
    x_.movePointer(400, 300);
    Process p = s().start({});
    ASSERT_TRUE(waitForMenu()) << "no menu appeared";
    const auto shown = Clock::now();
    ASSERT_TRUE(x_.xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitFor([&] { return !menuVisible(); }, 5s));
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(p.running());
    EXPECT_TRUE(s().windowMarkerExists());

    // A second start meanwhile finds the lingering window and ends at once.
    Process second = s().start({});
    auto secondCode = second.waitExit(kPromptExit);
    ASSERT_TRUE(secondCode);
    EXPECT_EQ(*secondCode, kExitOtherInstance);
    EXPECT_EQ(s().shownMenus().size(), 1u);

    auto code = p.waitExit(15s);
    const auto after = Clock::now() - shown;
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_GE(after, 5s);
    EXPECT_LE(after, 10s);
}

TEST_F(VantreloE2E, MissingMenuFileShowsNothingAndEndsAfterTheAutoClose) {
    x_.movePointer(10, 10);
    const auto started = Clock::now();
    Process p = s().start({});
    ASSERT_TRUE(waitFor([&] { return s().windowMarkerExists(); }, 10s));
    auto code = p.waitExit(20s);
    const auto after = Clock::now() - started;
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_GE(after, 5s);
    EXPECT_LE(after, 12s);
    EXPECT_TRUE(s().shownMenus().empty());
    EXPECT_NE(s().diagnostics().find("vantrelo: cannot read the menu file " + s().programDir() +
                                     "/Vantrelo.ini: No such file or directory\n"),
              std::string::npos)
        << s().diagnostics();
}

TEST_F(VantreloE2E, SecondStartBringsTheFirstForwardAndSigtermClosesIt) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=First instance\n"));
    x_.movePointer(120, 140);
    Process first = s().start({});
    ASSERT_TRUE(waitForMenu()) << "no menu appeared";

    Process second = s().start({});
    auto code = second.waitExit(kPromptExit);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, kExitOtherInstance);
    EXPECT_EQ(s().shownMenus().size(), 1u);
    EXPECT_TRUE(first.running());
    EXPECT_TRUE(menuVisible());

    // Another process's WM_CLOSE arrives as SIGTERM: a normal end.
    first.signal(SIGTERM);
    auto firstCode = first.waitExit(kPromptExit);
    ASSERT_TRUE(firstCode);
    EXPECT_EQ(*firstCode, 0);
    EXPECT_FALSE(menuVisible());
    EXPECT_FALSE(s().windowMarkerExists());
    EXPECT_FALSE(s().eventMarkerExists());
}

TEST_F(VantreloE2E, KilledLauncherAndForeignMarkersDoNotBlockTheNextStart) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Again\n"));
    x_.movePointer(250, 250);
    {
        Process killed = s().start({});
        ASSERT_TRUE(waitForMenu()) << "no menu appeared";
        killed.signal(SIGKILL);
        ASSERT_TRUE(killed.waitExit(5s));
    }
    EXPECT_TRUE(s().windowMarkerExists());  // left behind, naming a dead process
    {
        Process next = s().start({});
        ASSERT_TRUE(waitForMenu(1)) << "a dead launcher's markers blocked the next start";
        next.signal(SIGTERM);
        ASSERT_TRUE(next.waitExit(kPromptExit));
    }

    // The event held by a live process that shows no window: after looking
    // twice the launcher goes on as the instance.
    const std::string eventFile = s().device().dir() + "/run/events/Vantrelo";
    cetest::writeHostFile(eventFile, std::to_string(getpid()) + "\n");
    {
        Process next = s().start({});
        ASSERT_TRUE(waitForMenu(2)) << "a marker without a window blocked the start";
        next.signal(SIGTERM);
        auto code = next.waitExit(kPromptExit);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
    }
    // Not the launcher's to remove.
    EXPECT_EQ(cetest::readHostFile(eventFile), std::to_string(getpid()) + "\n");

    // Markers of a launcher that is gone, whose id an unrelated process got
    // meanwhile (it started at another time than the markers record): that
    // process is neither taken for the first instance nor sent WM_CLOSE.
    const pid_t reused = fork();
    if (reused == 0) {
        pause();
        _exit(0);
    }
    const std::string stale = std::to_string(reused) + "\n1\n";
    cetest::writeHostFile(eventFile, stale);
    cetest::writeHostFile(s().device().dir() + "/run/windows/Vantrelo", stale);
    {
        Process next = s().start({});
        const bool menu = waitForMenu(3).has_value();
        int status = 0;
        const bool reusedAlive = waitpid(reused, &status, WNOHANG) == 0;
        kill(reused, SIGKILL);
        waitpid(reused, &status, 0);
        EXPECT_TRUE(menu) << "markers naming a reused id blocked the start";
        EXPECT_TRUE(reusedAlive) << "the process that got the id was sent WM_CLOSE";
        next.signal(SIGTERM);
        auto code = next.waitExit(kPromptExit);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
    }
}

TEST_F(VantreloE2E, WindowOfTheClassInAnotherProcessIsClosedFirst) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Mine now\n"));
    const pid_t holder = fork();
    if (holder == 0) {
        pause();
        _exit(0);
    }
    cetest::writeHostFile(s().device().dir() + "/run/windows/Vantrelo",
                          std::to_string(holder) + "\n");
    // Reaped as soon as it ends, so that it stops counting as alive.
    int holderStatus = 0;
    std::thread reaper([&] { waitpid(holder, &holderStatus, 0); });

    x_.movePointer(330, 330);
    Process p = s().start({});
    const bool menu = waitForMenu().has_value();
    kill(holder, SIGKILL);  // in case the launcher did not
    reaper.join();
    ASSERT_TRUE(menu) << "no menu appeared";
    EXPECT_TRUE(WIFSIGNALED(holderStatus) && WTERMSIG(holderStatus) == SIGTERM);
    p.signal(SIGTERM);
    ASSERT_TRUE(p.waitExit(kPromptExit));
}

TEST_F(VantreloE2E, WithoutDisplayNoWindowAndExitZero) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Unseen\n"));
    for (const std::string display : {"<unset>", ":4097"}) {
        SCOPED_TRACE("DISPLAY=" + display);
        Process p = s().start({}, {{"DISPLAY", display}});
        auto code = p.waitExit(20s);
        ASSERT_TRUE(code);
        EXPECT_EQ(*code, 0);
        EXPECT_FALSE(s().windowMarkerExists());
        EXPECT_FALSE(s().eventMarkerExists());
    }
    EXPECT_TRUE(s().shownMenus().empty());
    EXPECT_EQ(s().diagnostics(),
              "vantrelo: no display: DISPLAY is not set, and the menu needs an X display\n"
              "vantrelo: no display: cannot open the X display :4097\n");
}

}  // namespace

namespace {

TEST_F(VantreloE2E, CommandLineNamesTheMenuFileAndAnOverlongOneRunsNothing) {
    // Saved by an editor as UTF-8 without a mark: read all the same.
    s().writeMenu("-x", "[Menus]\nMenu1=Grüße aus UTF-8\n");
    x_.movePointer(600, 500);
    {
        Process p = s().start({"--x"});
        ASSERT_TRUE(waitForMenu()) << "no menu appeared";
        EXPECT_EQ(s().shownMenus().at(0).entries,
                  (std::vector<MenuEntry>{{101, "Grüße aus UTF-8"}}));
        p.signal(SIGTERM);
        ASSERT_TRUE(p.waitExit(kPromptExit));
    }
    // 18 characters do not fit the name; no other file is tried instead.
    s().writeMenu("abcdefghijklmnop", "[Menus]\nMenu1=cut name\n");
    s().writeMenu("abcdefghijklmnopq", "[Menus]\nMenu1=whole name\n");
    Process p = s().start({"-abcdefghijklmnopq"});
    auto code = p.waitExit(kPromptExit);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(s().shownMenus().size(), 1u);
    EXPECT_FALSE(s().eventMarkerExists());
}

// A link to the program in a folder of the user's, with a menu file beside
// it: the menu is the one beside the link, whether the link is started by
// its path or found through PATH, also through a relative entry of PATH
// (the shell's current folder).
TEST_F(VantreloE2E, MenuFileBesideALinkToTheProgram) {
    s().writeMenu("", "[Menus]\nMenu1=Beside the program\n");
    const std::string folder = s().outDir() + "/my menus";
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(s().programDir() + "/Vantrelo", folder + "/Vantrelo");
    cetest::writeHostFile(folder + "/Vantrelo.ini", "[Menus]\nMenu1=Beside the link\n");
    x_.movePointer(300, 300);
    const std::pair<std::string, std::string> starts[] = {{folder + "/Vantrelo", ""},
                                                          {"Vantrelo", folder + ":/usr/bin:/bin"},
                                                          {"Vantrelo", ".:/usr/bin:/bin"}};
    size_t shown = 0;
    const std::filesystem::path cwd = std::filesystem::current_path();
    for (const auto& [startedAs, path] : starts) {
        SCOPED_TRACE(startedAs + " " + path);
        std::map<std::string, std::string> env;
        if (!path.empty())
            env["PATH"] = path;
        std::filesystem::current_path(path[0] == '.' ? std::filesystem::path(folder) : cwd);
        Process p = s().start({}, env, startedAs);
        std::filesystem::current_path(cwd);
        ASSERT_TRUE(waitForMenu(shown)) << "no menu appeared";
        EXPECT_EQ(s().shownMenus().at(shown++).entries,
                  (std::vector<MenuEntry>{{101, "Beside the link"}}));
        p.signal(SIGTERM);
        ASSERT_TRUE(p.waitExit(kPromptExit));
    }
}

// A marker that cannot be made is named with the reason: the event's ends
// the run with -1, the window's (a directory in its place) with 0, and
// neither shows a menu.
TEST_F(VantreloE2E, MarkerThatCannotBeMadeIsNamedAndShowsNoMenu) {
    s().writeMenu("", utf16Menu("[Menus]\nMenu1=Unseen\n"));
    const std::string run = s().device().dir() + "/run";
    cetest::writeHostFile(run, "not a directory");
    Process p = s().start({});
    auto code = p.waitExit(kPromptExit);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, kExitOtherInstance);
    EXPECT_NE(s().diagnostics().find("cannot make " + run + "/events/Vantrelo: Not a directory"),
              std::string::npos)
        << s().diagnostics();
    std::filesystem::remove(run);
    std::filesystem::create_directories(run + "/windows/Vantrelo");
    Process q = s().start({});
    code = q.waitExit(kPromptExit);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0);
    EXPECT_NE(s().diagnostics().find("cannot make " + run + "/windows/Vantrelo: Is a directory"),
              std::string::npos)
        << s().diagnostics();
    EXPECT_TRUE(s().shownMenus().empty());
}

}  // namespace
