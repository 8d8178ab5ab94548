// The program as a process: headless runs, and the real window under a virtual X server (only
// where Xvfb and xwininfo are installed).
#include "support/studioprocess.h"
#include "support/xserver.h"

#include <gtest/gtest.h>

#include <bit>

#include <png.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


TEST(SdlWindow, OpensTitledWindowAndEndsWithZeroWhenClosed)
{
    if (!HaveTool("Xvfb") || !HaveTool("xwininfo"))
        GTEST_SKIP() << "Xvfb or xwininfo not installed";
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;

    TestXServer x;
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";

    // The desktop bus library that SDL loads keeps one allocation until exit; that is not ours.
    const std::string suppressions = ::testing::TempDir() + "tnv_sdlwindow.supp";
    if (FILE *f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }

    const std::string settings = SeenIntroductionSettings();
    pid_t pid = fork();
    if (pid == 0) {
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);
        setenv("DISPLAY", x.Display().c_str(), 1);
        setenv("TNV_BACKEND", "real", 1);
        setenv("TNV_SETTINGS", settings.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // No GL: without a graphics card the GL driver compiles code at run time whose
        // allocations the leak checker reports at exit. The software renderer draws the same.
        setenv("SDL_RENDER_DRIVER", "software", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
        execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);

    std::string tree;
    bool found = false;
    // Generous: a thread-sanitizer build on a loaded machine takes a long while to map its window.
    int early = -1;
    for (int i = 0; i < 2400 && !found; i++) {
        tree = RunAndRead("xwininfo -display " + x.Display() + " -root -tree 2>/dev/null");
        found = tree.find("\"Tonnivelle Demo\"") != std::string::npos;
        if (!found) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                early = status;
                break;
            }
            usleep(50000);
        }
    }
    ASSERT_EQ(early, -1) << "the studio ended before its window showed, status " << early;
    EXPECT_TRUE(found) << tree;
    if (found) {
        std::string line = tree.substr(tree.find("\"Tonnivelle Demo\""));
        line = line.substr(0, line.find('\n'));
        EXPECT_NE(line.find("640x480"), std::string::npos) << line;
    }

    // A quit signal reaches the program as the user's close request.
    kill(pid, SIGTERM);
    int rc = WaitExit(pid, 200);
    if (rc < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(rc, 0);
}

TEST(Program, HeadlessRunsEndWithZero)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string script = ::testing::TempDir() + "tnv_program_close.txt";
    if (FILE *f = std::fopen(script.c_str(), "w")) {
        // The close asks first; "Okay" ends the program.
        std::fputs("3 keydown Up\n5 close\n7 mousemove -2000 -2000\n8 mousemove 356 213\n10 mousedown 1\n11 mouseup 1\n", f);
        std::fclose(f);
    }
    const std::string scriptEnv = "TNV_INPUT_SCRIPT=" + script;
    const struct
    {
        const char *env;
        const char *args;
    } cases[] = {
        {"TNV_EXIT_AFTER_FRAMES=120", ""},
        {"TNV_EXIT_AFTER_FRAMES=1", "-nocd"},
        {scriptEnv.c_str(), ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.env);
        const std::string cmd = "env -u TNV_EXIT_AFTER_FRAMES -u TNV_INPUT_SCRIPT TNV_BACKEND=headless " +
                                std::string(c.env) + " '" + program + "' " + c.args + " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

// Every start that fails ends with a status that says so (-2, seen as 254), and a line on stderr.
TEST(Program, FailedStartsEndNonZero)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string badScript = ::testing::TempDir() + "tnv_program_bad_script.txt";
    if (FILE *f = std::fopen(badScript.c_str(), "w")) {
        std::fputs("3 keydown NoSuchKey\n", f);
        std::fclose(f);
    }
    const std::string badScriptEnv = "TNV_BACKEND=headless TNV_INPUT_SCRIPT=" + badScript;
    // The desktop bus library that SDL loads keeps one allocation until exit; that is not ours.
    const std::string suppressions = ::testing::TempDir() + "tnv_failedstart.supp";
    if (FILE *f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    const struct
    {
        std::string env;
        const char *says;
    } cases[] = {
        {"TNV_BACKEND=headless TNV_INPUT_SCRIPT=/nonexistent/script.txt", "cannot read input script"},
        {badScriptEnv, "bad key"},
        {"TNV_INPUT_SCRIPT=/dev/null TNV_BACKEND=real SDL_VIDEODRIVER=x11 DISPLAY=:9999", "cannot create the window"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.env);
        const std::string cmd = "env -u TNV_EXIT_AFTER_FRAMES -u TNV_INPUT_SCRIPT LSAN_OPTIONS=suppressions=" +
                                suppressions + " " + c.env + " '" + program + "' 2>&1; echo \"status=$?\"";
        const std::string out = RunAndRead(cmd);
        EXPECT_NE(out.find("status=254"), std::string::npos) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
    }
}

// A content folder without the archive (missing, or empty) is named on stderr beside the
// archive's own text, with what chose it; the studio still runs.
TEST(Program, MissingContentSaysWhereItWasLookedFor)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string empty = ::testing::TempDir() + "tnv_empty_content";
    mkdir(empty.c_str(), 0755);
    for (const std::string &folder : {empty, std::string("/nonexistent/tnv-content")}) {
        SCOPED_TRACE(folder);
        const std::string cmd = "env -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=2 TNV_DATA_DIR='" +
                                folder + "' '" + program + "' 2>&1; echo \"status=$?\"";
        const std::string out = RunAndRead(cmd);
        EXPECT_NE(out.find("Couldn't Load File (WADS\\demowad.IND). File doesn't exist!"), std::string::npos) << out;
        EXPECT_NE(out.find("tnvpc: the studio's content was looked for in " + folder + "/ (set by TNV_DATA_DIR)"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("status=0"), std::string::npos) << out;
    }
}

// A damaged demo song is refused with a clear line; the studio starts on the empty song grid.
TEST(Program, ADamagedDemoSongLeavesTheEmptySong)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string folder = ::testing::TempDir() + "tnv_damaged_demo";
    mkdir(folder.c_str(), 0755);
    mkdir((folder + "/examples").c_str(), 0755);
    // The start of a song image, cut off in its first chunk.
    if (FILE *f = std::fopen((folder + "/examples/demo.tnv").c_str(), "wb")) {
        std::fputs("H2\x03\x00\x11\x00\x00", f);
        std::fclose(f);
    }
    const std::string cmd = "env -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=3 TNV_DATA_DIR='" +
                            folder + "' '" + program + "' 2>&1; echo \"status=$?\"";
    const std::string out = RunAndRead(cmd);
    EXPECT_NE(out.find("tnvpc: the demo song " + folder + "/examples/demo.tnv could not be loaded"), std::string::npos)
        << out;
    EXPECT_NE(out.find("status=0"), std::string::npos) << out;
}

TEST(Program, HeadlessRunDumpsThePresentedFrame)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const Picture pic = HeadlessFrame(program, 10);
    EXPECT_EQ(pic.width, 640u);
    EXPECT_EQ(pic.height, 480u);
    EXPECT_EQ(pic.rgb.size(), 640u * 480u * 3u);

    // A dump that cannot be written is reported and the run still ends normally.
    const std::string cmd = "env -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=2 "
                            "TNV_DUMP_FRAME=/nonexistent/dir/out.png '" + program + "' 2>&1";
    const std::string out = RunAndRead(cmd);
    EXPECT_NE(out.find("cannot write the frame to /nonexistent/dir/out.png"), std::string::npos) << out;
}

// The window takes the largest whole scale that fits the desktop and shows the whole picture at
// it: scale 1 on 1024 x 768, scale 2 on 1280 x 1024.
class SdlWindowScale : public ::testing::TestWithParam<int>
{
};

TEST_P(SdlWindowScale, ShowsThePictureTheHeadlessRunPresents)
{
    const int scale = GetParam();
    if (!HaveTool("Xvfb") || !HaveTool("xwd"))
        GTEST_SKIP() << "Xvfb or xwd not installed";
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const Picture headless = HeadlessFrame(program, 10);
    ASSERT_EQ(headless.width, 640u);

    TestXServer x(scale == 1 ? "1024x768x24" : "1280x1024x24");
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";
    const std::string suppressions = ::testing::TempDir() + "tnv_sdlwindow.supp";
    if (FILE *f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\n", f);
        std::fclose(f);
    }
    const std::string settings = SeenIntroductionSettings();
    pid_t pid = fork();
    if (pid == 0) {
        setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);
        setenv("DISPLAY", x.Display().c_str(), 1);
        setenv("TNV_BACKEND", "real", 1);
        setenv("TNV_SETTINGS", settings.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // No GL: without a graphics card the GL driver compiles code at run time whose
        // allocations the leak checker reports at exit. The software renderer draws the same.
        setenv("SDL_RENDER_DRIVER", "software", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
        unsetenv("TNV_DUMP_FRAME");
        execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);

    // Frames are presented continuously once the loading picture's five seconds are over, so
    // dumps are taken until one shows the interface.
    const std::string dump = ::testing::TempDir() + "tnv_sdl_window.xwd";
    // Both widen 5- and 6-bit channels to 8 bits; allow one step of a 5-bit channel.
    auto differing = [&](const Picture &p) {
        size_t n = 0;
        if (p.width != headless.width * scale || p.height != headless.height * scale)
            return size_t{1};
        for (uint32_t y = 0; y < p.height; y++)
            for (uint32_t col = 0; col < p.width; col++)
                for (int c = 0; c < 3; c++) {
                    const size_t shown = (size_t{y} * p.width + col) * 3 + c;
                    const size_t want = (size_t{y / scale} * headless.width + col / scale) * 3 + c;
                    n += std::abs(int{p.rgb[shown]} - int{headless.rgb[want]}) > 8;
                }
        return n;
    };
    // A sanitizer build on a busy machine can take much of a minute to get past the loading
    // picture; the loop ends at the first match, so the bound costs nothing when all is well.
    Picture shown;
    for (int i = 0; i < 900 && (shown.rgb.empty() || differing(shown) != 0); i++) {
        usleep(100000);
        const std::string cmd = "xwd -silent -display " + x.Display() + " -name 'Tonnivelle Demo' -out '" + dump +
                                "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0)
            shown = ReadXwd(dump);
    }
    kill(pid, SIGTERM);
    int rc = WaitExit(pid, 200);
    if (rc < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(shown.width, 640u * scale);
    ASSERT_EQ(shown.height, 480u * scale);
    EXPECT_EQ(differing(shown), 0u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, SdlWindowScale, ::testing::Values(1, 2),
                         [](const auto &c) { return "Scale" + std::to_string(c.param); });

// SIGTERM and SIGINT end the studio cleanly at any time: a headless run ends as if closed.
TEST(Program, QuitSignalsEndAHeadlessRunAsAClose)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        pid_t pid = fork();
        if (pid == 0) {
            setenv("TNV_BACKEND", "headless", 1);
            setenv("TNV_EXIT_AFTER_FRAMES", "100000000", 1);
            unsetenv("TNV_INPUT_SCRIPT");
            int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        // The signal must end it at any point once the studio handles it.
        EXPECT_TRUE(WaitCaught(pid, sig, 600));
        kill(pid, sig);
        int rc = WaitExit(pid, 200);
        if (rc < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        EXPECT_EQ(rc, 0);
    }
}

// A fatal start-up box (here: no sound device) waits for OK, but a quit signal takes it down and
// ends the studio with the failed start's status.
TEST(SdlWindow, QuitSignalsEndTheStudioWhileAFatalBoxWaits)
{
    if (!HaveTool("Xvfb") || !HaveTool("xwininfo"))
        GTEST_SKIP() << "Xvfb or xwininfo not installed";
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    TestXServer x;
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";
    const std::string suppressions = ::testing::TempDir() + "tnv_sdlwindow.supp";
    if (FILE *f = std::fopen(suppressions.c_str(), "w")) {
        std::fputs("leak:libdbus-1.so\nleak:libX11.so\n", f);
        std::fclose(f);
    }
    auto boxes = [&] {
        const std::string tree = RunAndRead("xwininfo -display " + x.Display() + " -root -tree 2>/dev/null");
        return tree.find("\"ERROR!\"") != std::string::npos;
    };
    const std::string settings = SeenIntroductionSettings();
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        pid_t pid = fork();
        if (pid == 0) {
            setenv("LSAN_OPTIONS", ("suppressions=" + suppressions).c_str(), 1);
            setenv("DISPLAY", x.Display().c_str(), 1);
            setenv("TNV_BACKEND", "real", 1);
            setenv("TNV_SETTINGS", settings.c_str(), 1);
            setenv("SDL_AUDIODRIVER", "none-such", 1);
            setenv("SDL_RENDER_DRIVER", "software", 1);
            setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
            unsetenv("TNV_EXIT_AFTER_FRAMES");
            unsetenv("TNV_INPUT_SCRIPT");
            execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        bool shown = false;
        int early = -1;
        for (int i = 0; i < 600 && !shown && early < 0; i++) {
            shown = boxes();
            if (!shown) {
                early = WaitExit(pid, 1);
                usleep(50000);
            }
        }
        if (!shown) {
            if (early < 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            // The window system could not show a box (no fonts for it): nothing waits.
            GTEST_SKIP() << "no message box could be shown; the studio ended with " << early;
        }
        kill(pid, sig);
        int rc = WaitExit(pid, 200);
        if (rc < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        EXPECT_EQ(rc, 254) << "a failed start ends with -2";
        EXPECT_FALSE(boxes()) << "the box went with the studio";
    }
}
