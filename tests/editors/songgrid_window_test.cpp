// The studio opens on the song grid under the editor top bar: headless, the frame shows the
// start-up prompt and the song's title; under a virtual X server with the real window, the
// screen shows the same picture (where Xvfb and xwd are installed).
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

namespace {

// Pixels of a picture's rectangle brighter than the top bar's panels: the text drawn there.
int BrightPixels(const Picture &p, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, uint32_t scale = 1)
{
    int n = 0;
    for (uint32_t y = y0 * scale; y < (y0 + h) * scale && y < p.height; y++)
        for (uint32_t x = x0 * scale; x < (x0 + w) * scale && x < p.width; x++) {
            const uint8_t *px = &p.rgb[(size_t{y} * p.width + x) * 3];
            n += px[0] > 150 && px[1] > 150 && px[2] > 150;
        }
    return n;
}

} // namespace

TEST(SongGridWindow, HeadlessStartShowsTheTopBarWithThePromptHeldAndQuiet)
{
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    // The start-up prompt is still held at frame 199; start-up says nothing on the console.
    const std::string png = ::testing::TempDir() + "tnv_songgrid_199.png";
    std::remove(png.c_str());
    const std::string cmd = "env -u TNV_INPUT_SCRIPT -u TNV_DATA_DIR TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=199 "
                            "TNV_SETTINGS=" + ::testing::TempDir() + "tnv_songgrid.ini TNV_DUMP_FRAME='" + png + "' '" +
                            program + "' 2>&1 >/dev/null";
    const std::string err = RunAndRead(cmd);
    EXPECT_EQ(err, "");
    const Picture pic = ReadPng(png);
    ASSERT_EQ(pic.width, 640u);
    // The bar sits at (8, 8): the prompt line at (6, 47) in it, the title at (179, 7).
    EXPECT_GT(BrightPixels(pic, 14, 55, 200, 11), 60) << "the start-up prompt is shown";
    EXPECT_GT(BrightPixels(pic, 187, 15, 110, 11), 60) << "the title TONNIVELLE file is shown";
    EXPECT_EQ(BrightPixels(pic, 14, 55, 200, 11), BrightPixels(HeadlessFrame(program, 10), 14, 55, 200, 11))
        << "the same prompt as at the start";
}

TEST(SongGridWindow, RealWindowShowsTheSongGridUnderTheTopBar)
{
    if (!HaveTool("Xvfb") || !HaveTool("xwd"))
        GTEST_SKIP() << "Xvfb or xwd not installed";
    const std::string program = ProgramPath();
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    const Picture headless = HeadlessFrame(program, 10);
    ASSERT_EQ(headless.width, 640u);
    TestXServer x("1920x1080x24");
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";
    const std::string suppressions = ::testing::TempDir() + "tnv_songgrid.supp";
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
        setenv("SDL_RENDER_DRIVER", "software", 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
        unsetenv("TNV_EXIT_AFTER_FRAMES");
        unsetenv("TNV_INPUT_SCRIPT");
        unsetenv("TNV_DUMP_FRAME");
        execl(program.c_str(), "tnvpc", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // 1920 x 1080 takes the picture at scale 2. Screenshots are taken until the interface shows
    // (the loading picture stays five seconds).
    const uint32_t scale = 2;
    const std::string dump = ::testing::TempDir() + "tnv_songgrid_window.xwd";
    Picture shown;
    auto ready = [&] {
        return shown.width == 640 * scale && BrightPixels(shown, 187, 15, 110, 11, scale) > 0 &&
               BrightPixels(shown, 14, 55, 200, 11, scale) > 0;
    };
    for (int i = 0; i < 200 && !ready(); i++) {
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
    ASSERT_TRUE(ready()) << "the top bar never showed";
    // The top bar, pixel for pixel as the headless run draws it (one step of a 5-bit channel).
    size_t differing = 0;
    for (uint32_t y = 0; y < 70; y++)
        for (uint32_t col = 0; col < 640 * scale; col++)
            for (int c = 0; c < 3; c++) {
                const size_t at = (size_t{y * scale} * shown.width + col) * 3 + c;
                const size_t want = (size_t{y} * 640 + col / scale) * 3 + c;
                differing += std::abs(int{shown.rgb[at]} - int{headless.rgb[want]}) > 8;
            }
    EXPECT_EQ(differing, 0u);
}
