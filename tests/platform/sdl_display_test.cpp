// The SDL display under a virtual X server (only where Xvfb and xwd are installed): what the
// window shows is the back buffer converted exactly as the headless backend converts it, gamma
// included.
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/window.h"

#include "support/xserver.h"

#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool HaveTool(const char *name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

uint32_t Be32(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// An xwd window dump (true colour, 32 bits a pixel) as RGB bytes; empty when of another kind.
std::vector<uint8_t> ReadXwd(const std::string &path, uint32_t *width, uint32_t *height)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<uint8_t> rgb;
    if (b.size() < 100)
        return rgb;
    const uint32_t headerSize = Be32(b, 0), format = Be32(b, 8);
    *width = Be32(b, 16);
    *height = Be32(b, 20);
    const uint32_t byteOrder = Be32(b, 28), bpp = Be32(b, 44), bytesPerLine = Be32(b, 48);
    const uint32_t masks[3] = {Be32(b, 56), Be32(b, 60), Be32(b, 64)};
    const size_t data = size_t{headerSize} + size_t{Be32(b, 76)} * 12;
    if (format != 2 || bpp != 32 || data + size_t{bytesPerLine} * *height > b.size())
        return rgb;
    rgb.resize(size_t{*width} * *height * 3);
    for (uint32_t y = 0; y < *height; y++)
        for (uint32_t x = 0; x < *width; x++) {
            const uint8_t *p = &b[data + size_t{y} * bytesPerLine + size_t{x} * 4];
            const uint32_t v = byteOrder == 0 ? (p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                                              : (uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
            for (int c = 0; c < 3; c++)
                rgb[(size_t{y} * *width + x) * 3 + c] =
                    static_cast<uint8_t>((v & masks[c]) >> std::countr_zero(masks[c] ? masks[c] : 1u));
        }
    return rgb;
}

// Runs in a child process (SDL's helpers keep allocations to exit; the child leaves with _exit):
// opens the window and the display, paints a pattern, presents it with a gamma ramp, dumps the
// window and compares every shown pixel with the picture at the given whole scale. Returns a
// process exit code; the reason goes to stderr.
int ShowAndCompare(const std::string &dump, int scale)
{
    Plat_SetBackend(PLAT_BACKEND_REAL);
    if (!Plat_WindowCreate("Display Test", 640, 480)) {
        std::fprintf(stderr, "window: %s\n", Plat_WindowError());
        return 2;
    }
    PLATDISPLAYRESULT r;
    PLATDISPLAY *d = Plat_DisplayOpen(0, &r);
    const std::vector<PLATDISPLAYDEVICE> devices = Plat_DisplayDevices();
    if (!d || devices.empty() || devices[0].modes.empty()) {
        std::fprintf(stderr, "open: %d\n", r);
        return 3;
    }
    const PLATDISPLAYMODE mode = devices[0].modes[0];
    if (mode.width != 640 || mode.height != 480 || Plat_DisplaySetMode(d, mode) != PLAT_DISPLAY_OK) {
        std::fprintf(stderr, "mode\n");
        return 4;
    }
    int32_t pitch = 0, w = 0, h = 0;
    uint16_t *back = Plat_DisplayBackBuffer(d, &pitch, &w, &h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            back[y * (pitch / 2) + x] = static_cast<uint16_t>((x / 20) << 11 | (y / 8) << 5 | ((x + y) / 40));
    // A darkening ramp shows that gamma reaches the window.
    PLATGAMMARAMP ramp;
    for (int i = 0; i < 256; i++)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(i * 180);
    Plat_DisplaySetGammaRamp(d, ramp);
    // One present, as the loading picture makes: it must already show the whole picture.
    Plat_DisplayPresent(d);
    Plat_WindowFrameDone();
    const std::string cmd = "xwd -silent -name 'Display Test' -out '" + dump + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "xwd failed\n");
        return 5;
    }
    uint32_t sw = 0, sh = 0;
    const std::vector<uint8_t> shown = ReadXwd(dump, &sw, &sh);
    if (sw != 640u * scale || sh != 480u * scale || shown.empty()) {
        std::fprintf(stderr, "dump %ux%u\n", sw, sh);
        return 6;
    }
    // The texture is 5:6:5, so the window's picture is the converted pixel cut back to 5:6:5 and
    // widened again by the server: within one 5-bit step.
    int differing = 0;
    for (int y = 0; y < h * scale; y++)
        for (int x = 0; x < w * scale; x++) {
            uint8_t want[3];
            Plat_DisplayConvertPixel(back[(y / scale) * (pitch / 2) + x / scale], mode, ramp, want);
            for (int c = 0; c < 3; c++)
                differing += std::abs(int{shown[(size_t(y) * sw + x) * 3 + c]} - int{want[c]}) > 8;
        }
    if (differing != 0) {
        std::fprintf(stderr, "%d channels differ\n", differing);
        return 7;
    }
    Plat_DisplayClose(d);
    return 0;
}

} // namespace

// The window takes the largest whole scale of 640 x 480 that fits the screen, and the whole
// picture fills it: 1 on a 1024 x 768 screen, 2 on 1280 x 1024 and 1920 x 1080.
struct ScreenCase
{
    const char *screen;
    int scale;
    const char *name;
};

void PrintTo(const ScreenCase &c, std::ostream *os)
{
    *os << c.screen << " at scale " << c.scale;
}

class SdlDisplayScale : public ::testing::TestWithParam<ScreenCase>
{
};

TEST_P(SdlDisplayScale, WindowShowsTheWholeBackBufferThroughTheGammaRamp)
{
    if (!HaveTool("Xvfb") || !HaveTool("xwd"))
        GTEST_SKIP() << "Xvfb or xwd not installed";
    TestXServer x(GetParam().screen);
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb did not start";
    const std::string display = x.Display();
    const std::string dump = ::testing::TempDir() + "tnv_sdl_display.xwd";

    pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        _exit(ShowAndCompare(dump, GetParam().scale));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, SdlDisplayScale,
                         ::testing::Values(ScreenCase{"1024x768x24", 1, "Screen1024x768"},
                                           ScreenCase{"1280x1024x24", 2, "Screen1280x1024"},
                                           ScreenCase{"1920x1080x24", 2, "Screen1920x1080"}),
                         [](const auto &c) { return std::string(c.param.name); });
