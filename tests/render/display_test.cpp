// The display layer on the headless backend: device and mode lists, modes and pixel layouts, the
// layer copies and their clipping, lost surfaces, gamma, the overlay and the grab surface.
#include "core/file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "render/display.h"
#include "render/prims3d.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr PLATDISPLAYMODE k565(uint32_t w, uint32_t h)
{
    return {w, h, 16, 0xF800, 0x07E0, 0x001F};
}
constexpr PLATDISPLAYMODE k555(uint32_t w, uint32_t h)
{
    return {w, h, 16, 0x7C00, 0x03E0, 0x001F};
}

PLATDISPLAYDEVICE Device(const char *driver, const char *description, std::vector<PLATDISPLAYMODE> modes)
{
    PLATDISPLAYDEVICE d;
    d.driver = driver;
    d.description = description;
    d.modes = std::move(modes);
    return d;
}

class DisplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_DisplayHeadlessReset();
        g_bGammaControl = 0;
        g_iGammaLevel = 255;
        g_szDXErrorName[0] = '\0';
        g_iDrawAreaLeft = g_iDrawAreaTop = 0;
        g_iDrawAreaRight = LAYER_WIDTH;
        g_iDrawAreaBottom = LAYER_HEIGHT;
    }

    void TearDown() override
    {
        Gfx_ReleaseDirectDraw();
        Plat_DisplayHeadlessReset();
        g_iPixelFormat = PIXELFORMAT_565;
        g_pLayerFrame = nullptr;
        for (uint16_t *&row : g_apLayerRows)
            row = nullptr;
    }

    // Lists the devices, opens the first and sets a mode.
    void Open(const std::vector<PLATDISPLAYMODE> &modes, int mode = 0)
    {
        Plat_DisplayHeadlessSetDevices({Device("mem", "test", modes)});
        ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
        ASSERT_EQ(Gfx_CreateDirectDraw(0), DD_OK);
        ASSERT_EQ(Gfx_SetDisplayMode(mode), DD_OK);
    }

    uint16_t &Back(int x, int y)
    {
        int32_t pitch = 0;
        uint8_t *b = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, nullptr, nullptr));
        return reinterpret_cast<uint16_t *>(b + static_cast<size_t>(y) * pitch)[x];
    }

    // Every byte of the back buffer, padding included.
    std::vector<uint8_t> BackBytes()
    {
        int32_t pitch = 0, w = 0, h = 0;
        uint8_t *b = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, &w, &h));
        return std::vector<uint8_t>(b, b + static_cast<size_t>(pitch) * h);
    }

    void FillBack(uint16_t value)
    {
        int32_t pitch = 0, w = 0, h = 0;
        uint8_t *b = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, &w, &h));
        for (size_t i = 0; i < static_cast<size_t>(pitch) * h / 2; i++)
            reinterpret_cast<uint16_t *>(b)[i] = value;
    }

    void UseLayer()
    {
        layer_.assign(static_cast<size_t>(LAYER_WIDTH) * LAYER_HEIGHT, 0);
        g_pLayerFrame = layer_.data();
        for (int r = 0; r < LAYER_HEIGHT; r++)
            g_apLayerRows[r] = g_pLayerFrame + r * LAYER_WIDTH;
    }

    static const std::vector<uint8_t> &Presented()
    {
        return Plat_DisplayPresentedFrame(nullptr, nullptr);
    }

    std::vector<uint16_t> layer_;
};

TEST_F(DisplayTest, ModeListsHoldOnly16BitModesOfTheTwoLayouts)
{
    const std::vector<PLATDISPLAYMODE> modes = {
        {640, 480, 8, 0, 0, 0},
        k565(640, 480),
        {640, 480, 32, 0xFF0000, 0x00FF00, 0x0000FF},
        k555(640, 480),
        {640, 480, 16, 0x0F00, 0x00F0, 0x000F}, // 4:4:4, no layout the studio draws
        k565(800, 600),
        {1024, 768, 24, 0xFF0000, 0x00FF00, 0x0000FF},
    };
    Plat_DisplayHeadlessSetDevices({Device("mem", "first", modes), Device("mem", "empty", {{640, 480, 32, 0xFF0000, 0xFF00, 0xFF}})});
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    ASSERT_EQ(Gfx_GetDeviceCount(), 2);
    char name[DISPLAY_NAME_SIZE];
    Gfx_GetDeviceName(name, 0);
    EXPECT_STREQ(name, "mem (first)");
    Gfx_GetDeviceName(name, 9);
    EXPECT_STREQ(name, "");
    // Listing leaves no device open.
    EXPECT_EQ(g_pDirectDraw, nullptr);
    EXPECT_EQ(g_iDisplayDevice, -1);

    ASSERT_EQ(Gfx_CreateDirectDraw(0), DD_OK);
    ASSERT_EQ(Gfx_GetModeCount(), 3);
    const struct
    {
        const char *name;
        uint32_t format;
    } expected[] = {{"640 X 480 X 16Bit", PIXELFORMAT_565}, {"640 X 480 X 16Bit", PIXELFORMAT_555}, {"800 X 600 X 16Bit", PIXELFORMAT_565}};
    for (int i = 0; i < 3; i++) {
        Gfx_GetModeName(name, i);
        EXPECT_STREQ(name, expected[i].name);
        EXPECT_EQ(g_aDisplayDevices[0].modes[i].pixelFormat, expected[i].format);
    }
    // The first of two equal modes is found; what is not listed is not found.
    EXPECT_EQ(Gfx_FindDisplayMode(640, 480, 16), 0);
    EXPECT_EQ(Gfx_FindDisplayMode(800, 600, 16), 2);
    EXPECT_EQ(Gfx_FindDisplayMode(640, 480, 32), -1);
    EXPECT_EQ(Gfx_FindDisplayMode(1024, 768, 16), -1);

    ASSERT_EQ(Gfx_CreateDirectDraw(1), DD_OK);
    EXPECT_EQ(Gfx_GetModeCount(), 0);
    EXPECT_EQ(Gfx_FindDisplayMode(640, 480, 16), -1);
    EXPECT_EQ(Gfx_SetDisplayMode(0), DDERR_INVALIDMODE);
    EXPECT_STREQ(g_szDXErrorName, "DDERR_INVALIDMODE");
}

TEST_F(DisplayTest, DevicesThatCannotOpenAreNotListed)
{
    Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_OPEN);
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    EXPECT_EQ(Gfx_GetDeviceCount(), 0);
    EXPECT_STREQ(g_szDXErrorName, "DDERR_GENERIC");
    EXPECT_EQ(Gfx_CreateDirectDraw(0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(g_iDisplayDevice, -1);
    EXPECT_EQ(Gfx_SetDisplayMode(0), DDERR_NOTINITIALIZED);
    EXPECT_EQ(Gfx_Present(), DD_OK); // nothing to show
}

TEST_F(DisplayTest, ListsStopAtTheirTablesAndARelistingStartsAfresh)
{
    std::vector<PLATDISPLAYMODE> many;
    for (uint32_t i = 0; i < 70; i++)
        many.push_back(k565(640 + i, 480));
    std::vector<PLATDISPLAYDEVICE> devices;
    for (int i = 0; i < 10; i++)
        devices.push_back(Device("drv", std::string(300, static_cast<char>('a' + i)).c_str(), many));
    Plat_DisplayHeadlessSetDevices(devices);
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    EXPECT_EQ(Gfx_GetDeviceCount(), DISPLAY_MAX_DEVICES);
    EXPECT_EQ(std::strlen(g_aDisplayDevices[7].name), DISPLAY_NAME_SIZE - 1u); // cut, still ended
    EXPECT_EQ(g_aDisplayDevices[7].modeCount, DISPLAY_MAX_MODES);
    EXPECT_EQ(g_aDisplayDevices[7].modes[63].width, 703u);

    Plat_DisplayHeadlessSetDevices({Device("other", "one", {k555(320, 240)})});
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    EXPECT_EQ(Gfx_GetDeviceCount(), 1);
    EXPECT_STREQ(g_aDisplayDevices[0].name, "other (one)");
    EXPECT_EQ(g_aDisplayDevices[0].modeCount, 1);
    EXPECT_EQ(g_aDisplayDevices[0].currentMode, -1);
}

TEST_F(DisplayTest, TheModeSetsThePixelLayoutAndTheBackBuffer)
{
    Open({k565(640, 480), k555(640, 480), k565(800, 600)}, 1);
    EXPECT_EQ(g_iPixelFormat, PIXELFORMAT_555);
    EXPECT_EQ(g_aDisplayDevices[0].currentMode, 1);
    ASSERT_EQ(Gfx_SetDisplayMode(2), DD_OK);
    EXPECT_EQ(g_iPixelFormat, PIXELFORMAT_565);
    int32_t pitch = 0, w = 0, h = 0, depth = 0;
    ASSERT_NE(Gfx_GetBackBuffer(&pitch, &w, &h), nullptr);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_GE(pitch, 1600);
    Gfx_GetModeSize(2, &w, &h, &depth);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(Gfx_SetDisplayMode(3), DDERR_INVALIDMODE);
    EXPECT_EQ(Gfx_SetDisplayMode(-1), DDERR_INVALIDMODE);
    EXPECT_EQ(Gfx_CreateDirectDraw(5), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_CreateDirectDraw(1), DDERR_INVALIDPARAMS);

    ASSERT_EQ(Gfx_RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(Gfx_GetBackBuffer(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(g_aDisplayDevices[0].currentMode, -1);
    ASSERT_EQ(Gfx_ReleaseDirectDraw(), DD_OK);
    EXPECT_EQ(g_pDirectDraw, nullptr);
    EXPECT_EQ(g_iDisplayDevice, -1);
}

TEST_F(DisplayTest, FrameCopyIsClippedToTheModeAndLeavesTheRestAlone)
{
    std::vector<uint16_t> frame(static_cast<size_t>(LAYER_WIDTH) * LAYER_HEIGHT);
    for (int y = 0; y < LAYER_HEIGHT; y++)
        for (int x = 0; x < LAYER_WIDTH; x++)
            frame[y * LAYER_WIDTH + x] = static_cast<uint16_t>(x * 7 + y * 13 + 1);
    const PLATDISPLAYMODE sizes[] = {k565(320, 240), k565(640, 480), k565(800, 600), k565(1024, 300)};
    for (const PLATDISPLAYMODE &m : sizes) {
        SCOPED_TRACE(m.width);
        Open({m});
        FillBack(0xAAAA);
        ASSERT_EQ(Gfx_CopyFrameToSurface(frame.data()), DD_OK);
        int32_t pitch = 0, w = 0, h = 0;
        Gfx_GetBackBuffer(&pitch, &w, &h);
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < pitch / 2; x++) {
                const bool inside = x < LAYER_WIDTH && y < LAYER_HEIGHT && x < w;
                const uint16_t want = inside ? frame[y * LAYER_WIDTH + x] : 0xAAAA;
                wrong += Back(x, y) != want;
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(Gfx_CopyFrameToSurface(nullptr), DDERR_INVALIDPARAMS);
    Gfx_ReleaseDirectDraw();
    EXPECT_EQ(Gfx_CopyFrameToSurface(frame.data()), DDERR_NOTINITIALIZED);
}

TEST_F(DisplayTest, RectangleReadBackIsClippedToTheLayerAndTheBackBuffer)
{
    UseLayer();
    const struct
    {
        PLATDISPLAYMODE mode;
        int32_t x, y, w, h;
        int32_t x0, y0, x1, y1; // what is copied
    } cases[] = {
        {k565(640, 480), 10, 20, 30, 40, 10, 20, 40, 60},
        {k565(320, 240), 300, 200, 100, 100, 300, 200, 320, 240},     // past a small mode
        {k565(800, 600), 600, 450, 100, 100, 600, 450, 640, 480},     // past the layer
        {k565(640, 480), -5, -7, 10, 10, 0, 0, 5, 3},                 // off the top left
        {k565(640, 480), 5, 5, 0x7FFFFFFF, 0x7FFFFFFF, 5, 5, 640, 480}, // sizes that would wrap
        {k565(640, 480), 5, 5, 0, 10, 0, 0, 0, 0},                    // empty
        {k565(640, 480), 700, 5, 10, 10, 0, 0, 0, 0},                 // wholly outside
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h << " in " << c.mode.width);
        Open({c.mode});
        int32_t pitch = 0, w = 0, h = 0;
        Gfx_GetBackBuffer(&pitch, &w, &h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                Back(x, y) = static_cast<uint16_t>(x + y * 1000);
        std::fill(layer_.begin(), layer_.end(), 0xBEEF);
        ASSERT_EQ(Gfx_CopySurfaceRectToFrame(c.x, c.y, c.w, c.h), DD_OK);
        int wrong = 0;
        for (int y = 0; y < LAYER_HEIGHT; y++)
            for (int x = 0; x < LAYER_WIDTH; x++) {
                const bool in = x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1;
                wrong += layer_[y * LAYER_WIDTH + x] != (in ? static_cast<uint16_t>(x + y * 1000) : 0xBEEF);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(DisplayTest, LostSurfacesAreRestoredWhereTheyAreMet)
{
    Open({k565(640, 480)});
    std::vector<uint16_t> frame(static_cast<size_t>(LAYER_WIDTH) * LAYER_HEIGHT, 0x1234);
    const uint32_t presented = Plat_DisplayPresentCount();

    // A lost primary: the present restores it and the frame is not shown; the next one is.
    Plat_DisplayHeadlessLoseSurfaces(PLAT_SURFACE_PRIMARY);
    EXPECT_EQ(Gfx_Present(), DD_OK);
    EXPECT_EQ(Plat_DisplayPresentCount(), presented);
    EXPECT_EQ(Gfx_Present(), DD_OK);
    EXPECT_EQ(Plat_DisplayPresentCount(), presented + 1);

    // A lost back buffer: the frame copy restores it and skips this frame.
    Plat_DisplayHeadlessLoseSurfaces(PLAT_SURFACE_BACK);
    EXPECT_EQ(Gfx_CopyFrameToSurface(frame.data()), DD_OK);
    EXPECT_EQ(Back(0, 0), 0);
    EXPECT_EQ(Gfx_CopyFrameToSurface(frame.data()), DD_OK);
    EXPECT_EQ(Back(0, 0), 0x1234);

    // The present mends a lost z-buffer and back buffer too.
    ASSERT_EQ(Gfx_CreateZBuffer(nullptr), DD_OK);
    Plat_DisplayHeadlessLoseSurfaces(PLAT_SURFACE_ZBUFFER | PLAT_SURFACE_BACK);
    EXPECT_EQ(Gfx_Present(), DD_OK);
    EXPECT_EQ(Plat_DisplayIsLost(g_pDirectDraw, PLAT_SURFACE_ZBUFFER | PLAT_SURFACE_BACK), PLAT_DISPLAY_OK);

    // The overlay on a lost back buffer restores it and draws nothing.
    Gfx_CopyFrameToSurface(frame.data());
    Plat_DisplayHeadlessLoseSurfaces(PLAT_SURFACE_BACK);
    EXPECT_EQ(Gfx_DrawDeviceOverlay("x", 0, 0), DD_OK);
    EXPECT_EQ(Back(1, 1), 0);

    // Only a restore that fails is reported.
    Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_RESTORE);
    const struct
    {
        uint32_t lose;
        int which; // 0 present, 1 frame copy, 2 overlay
    } failing[] = {{PLAT_SURFACE_PRIMARY, 0}, {PLAT_SURFACE_ZBUFFER, 0}, {PLAT_SURFACE_BACK, 0}, {PLAT_SURFACE_BACK, 1}, {PLAT_SURFACE_BACK, 2}};
    for (const auto &f : failing) {
        SCOPED_TRACE(f.which);
        g_szDXErrorName[0] = '\0';
        Plat_DisplayHeadlessLoseSurfaces(f.lose);
        const int32_t r = f.which == 0 ? Gfx_Present() : f.which == 1 ? Gfx_CopyFrameToSurface(frame.data()) : Gfx_DrawDeviceOverlay(nullptr, 0, 0);
        EXPECT_EQ(r, DDERR_GENERIC);
        EXPECT_EQ(g_hrDD, DDERR_GENERIC);
        EXPECT_STREQ(g_szDXErrorName, "DDERR_GENERIC");
        Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_NONE);
        Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_PRIMARY | PLAT_SURFACE_BACK | PLAT_SURFACE_ZBUFFER);
        Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_RESTORE);
    }
}

TEST_F(DisplayTest, GammaRampLevels)
{
    const struct
    {
        int32_t level;
        int index;
        uint16_t entry;
    } cases[] = {
        {256, 0, 0}, {256, 1, 256}, {256, 255, 65280}, {300, 218, 65400}, {300, 219, 65535},
        {300, 255, 65535}, {0, 255, 0}, {255, 2, 510}, {-40, 255, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.level << "[" << c.index << "]");
        Gfx_SetGamma(c.level);
        EXPECT_EQ(g_abGammaRamp.red[c.index], c.entry);
        EXPECT_EQ(g_abGammaRamp.green[c.index], c.entry);
        EXPECT_EQ(g_abGammaRamp.blue[c.index], c.entry);
    }
    // No device takes a ramp yet: reported, the level stays.
    EXPECT_EQ(Gfx_SetGamma(100), DDERR_UNSUPPORTED);
    EXPECT_EQ(g_iGammaLevel, 255);
}

TEST_F(DisplayTest, GammaIsAppliedWhenPresentingNeverToTheBackBuffer)
{
    for (const PLATDISPLAYMODE &m : {k565(64, 32), k555(64, 32)}) {
        SCOPED_TRACE(m.redMask);
        Open({m});
        ASSERT_NE(g_pGammaControl, nullptr);
        int32_t pitch = 0, w = 0, h = 0;
        Gfx_GetBackBuffer(&pitch, &w, &h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                Back(x, y) = static_cast<uint16_t>(x * 1031 + y * 17);
        const std::vector<uint8_t> before = BackBytes();

        // Level 256 shows the back buffer as it is (each channel widened by its top bits).
        ASSERT_EQ(Gfx_SetGamma(256), DD_OK);
        EXPECT_EQ(g_iGammaLevel, 256);
        ASSERT_EQ(Gfx_Present(), DD_OK);
        const std::vector<uint8_t> shown = Presented();
        ASSERT_EQ(shown.size(), static_cast<size_t>(w) * h * 3);
        int wrong = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint16_t p = Back(x, y);
                const bool is555 = m.redMask == 0x7C00;
                const int r5 = is555 ? (p >> 10) & 31 : p >> 11;
                const int g = is555 ? (((p >> 5) & 31) << 3 | ((p >> 5) & 31) >> 2) : (((p >> 5) & 63) << 2 | ((p >> 5) & 63) >> 4);
                const int b5 = p & 31;
                const uint8_t *px = &shown[(static_cast<size_t>(y) * w + x) * 3];
                wrong += px[0] != (r5 << 3 | r5 >> 2) || px[1] != g || px[2] != (b5 << 3 | b5 >> 2);
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(BackBytes(), before);

        // Level 0 shows black; the back buffer keeps its picture.
        ASSERT_EQ(Gfx_SetGamma(0), DD_OK);
        ASSERT_EQ(Gfx_Present(), DD_OK);
        EXPECT_EQ(Presented(), std::vector<uint8_t>(shown.size(), 0));
        EXPECT_EQ(BackBytes(), before);

        // A ramp the device refuses keeps the level.
        Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_GAMMA);
        EXPECT_EQ(Gfx_SetGamma(128), DDERR_GENERIC);
        EXPECT_EQ(g_iGammaLevel, 0);
        Plat_DisplayHeadlessFailStep(PLAT_DISPLAY_STEP_NONE);
        int32_t level = -1;
        EXPECT_EQ(Gfx_GetGammaRamp(&level), 0);
        EXPECT_EQ(level, 0);
    }
}

TEST_F(DisplayTest, OverlayWritesThreeLinesOrTheTextAndGivesUpWhenBusy)
{
    Open({k565(640, 480), k555(640, 480)});
    const uint16_t grey = Gfx_PackFillColour(128, 128, 128);
    const uint16_t green = Gfx_PackFillColour(0, 255, 0);
    // Width of the grey background of each 16-pixel line, and whether it holds letters.
    auto lineWidth = [&](int line) {
        int x = 0;
        while (x < 640 && (Back(x, line * 16) == grey))
            x++;
        return x;
    };
    auto hasInk = [&](int line) {
        for (int y = line * 16; y < line * 16 + 16; y++)
            for (int x = 0; x < 640; x++)
                if (Back(x, y) == green)
                    return true;
        return false;
    };

    Plat_DisplayHeadlessSetBusy(true);
    EXPECT_EQ(Gfx_DrawDeviceOverlay(nullptr, 0, 0), -1);
    EXPECT_EQ(lineWidth(0), 0);
    Plat_DisplayHeadlessSetBusy(false);

    ASSERT_EQ(Gfx_DrawDeviceOverlay(nullptr, 0, 0), DD_OK);
    const std::string lines[] = {"Mode: 640 X 480 X 16Bit (1/2)", "2D Device: mem (test) (1/1)", "3D Device:  (0/0)"};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(lineWidth(i), static_cast<int>(lines[i].size()) * 8);
        EXPECT_TRUE(hasInk(i));
    }
    EXPECT_EQ(lineWidth(3), 0);
    EXPECT_FALSE(hasInk(3));

    // Text given: one line at the place asked, clipped at the edge.
    FillBack(0);
    ASSERT_EQ(Gfx_DrawDeviceOverlay("Hello", 620, 470), DD_OK);
    EXPECT_EQ(Back(620, 470), grey);
    EXPECT_EQ(Back(639, 470), grey);
    EXPECT_EQ(Back(620, 479), grey);
    EXPECT_EQ(Back(619, 470), 0);
}

TEST_F(DisplayTest, TestFrameIsPresentedAndHeldOnTheClock)
{
    Open({k565(640, 480)});
    const uint32_t presented = Plat_DisplayPresentCount();
    ASSERT_EQ(Gfx_DrawDeviceTestFrame(), DD_OK);
    EXPECT_EQ(Plat_DisplayPresentCount(), presented + 1);
    // Grey below the overlay lines: 0x7F per channel through 5:6:5 and back.
    const std::vector<uint8_t> &shown = Presented();
    const uint8_t *px = &shown[(static_cast<size_t>(200) * 640 + 300) * 3];
    EXPECT_EQ(px[0], 0x7B);
    EXPECT_EQ(px[1], 0x7D);
    EXPECT_EQ(px[2], 0x7B);
    // The trial keeps the mode on screen for five seconds of the clock.
    const uint64_t start = Plat_ClockNowUs();
    Sys_WaitSeconds(5);
    EXPECT_EQ(Plat_ClockNowUs() - start, 5000000u);
}

TEST_F(DisplayTest, GrabStretchesTheDrawAreaAndStaysInsideTheBackBuffer)
{
    Open({k565(320, 240)});
    EXPECT_EQ(Gfx_GrabDrawArea(), DDERR_NOTINITIALIZED);
    ASSERT_EQ(Gfx_CreateColourKeySurface(64, 64), DD_OK);
    EXPECT_EQ(g_iGrabSize[0], 64);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++)
            Back(x, y) = static_cast<uint16_t>(x + y * 320);
    g_iDrawAreaLeft = 64;
    g_iDrawAreaTop = 32;
    g_iDrawAreaRight = 192;
    g_iDrawAreaBottom = 160;
    ASSERT_EQ(Gfx_GrabDrawArea(), DD_OK);
    EXPECT_EQ(g_pGrabSurface[0], 64 + 32 * 320);
    EXPECT_EQ(g_pGrabSurface[1], 66 + 32 * 320);
    EXPECT_EQ(g_pGrabSurface[63 * 64 + 63], 190 + 158 * 320);
    // A draw area of the 640 x 480 layer on a smaller mode reads only what exists.
    g_iDrawAreaLeft = g_iDrawAreaTop = 0;
    g_iDrawAreaRight = 640;
    g_iDrawAreaBottom = 480;
    ASSERT_EQ(Gfx_GrabDrawArea(), DD_OK);
    EXPECT_EQ(g_pGrabSurface[63 * 64 + 63], static_cast<uint16_t>(315 + 236 * 320));
    g_iDrawAreaRight = 0;
    EXPECT_EQ(Gfx_GrabDrawArea(), DDERR_INVALIDRECT);
    EXPECT_EQ(Gfx_CreateColourKeySurface(0, 64), DDERR_INVALIDPARAMS);
    EXPECT_EQ(g_pGrabSurface, nullptr);
}

TEST(DXErrorNames, KnownCodesAreNamedOthersLeaveTheText)
{
    const struct
    {
        int32_t code;
        const char *name;
    } cases[] = {
        {static_cast<int32_t>(0x887601C2u), "DDERR_SURFACELOST"},
        {static_cast<int32_t>(0x8876021Cu), "DDERR_WASSTILLDRAWING"},
        {static_cast<int32_t>(0x80004005u), "DDERR_GENERIC"},
        {static_cast<int32_t>(0x80004001u), "DDERR_UNSUPPORTED"},
        {static_cast<int32_t>(0x8007000Eu), "DDERR_OUTOFMEMORY"},
        {static_cast<int32_t>(0x80070057u), "DDERR_INVALIDPARAMS"},
        {static_cast<int32_t>(0x800401F0u), "DDERR_NOTINITIALIZED"},
        {DDHRESULT(5), "DDERR_ALREADYINITIALIZED"},
        {DDHRESULT(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
        {DDHRESULT(699), "DDERR_DEVICEDOESNTOWNSURFACE"},
        {D3DERR_ZBUFFER_NOTPRESENT, "D3DERR_ZBUFFER_NOTPRESENT"},
        {D3DERR_VIEWPORTHASNODEVICE, "D3DERR_VIEWPORTHASNODEVICE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(Gfx_DDErrorName(c.code), c.name);
        EXPECT_STREQ(g_szDXErrorName, c.name);
    }
    // Success codes and other facilities (a sound error here) leave the last name in place.
    for (int32_t other : {DD_OK, 1, static_cast<int32_t>(0x88780032u), DDHRESULT(1)}) {
        EXPECT_EQ(Gfx_DDErrorName(other), nullptr);
        EXPECT_STREQ(g_szDXErrorName, "D3DERR_VIEWPORTHASNODEVICE");
    }
}

TEST(DXErrorNames, EveryCodeHasItsOwnShortName)
{
    std::vector<std::string> names;
    std::vector<uint32_t> codes = {0x80004005u, 0x80004001u, 0x8007000Eu, 0x80070057u, 0x800401F0u};
    for (uint32_t c = 0; c <= 0xFFFF; c++)
        codes.push_back(0x88760000u | c);
    for (uint32_t c : codes)
        if (const char *n = Gfx_DDErrorName(static_cast<int32_t>(c))) {
            EXPECT_LE(std::strlen(n), 34u) << n;
            names.push_back(n);
        }
    EXPECT_GE(names.size(), 100u);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

} // namespace
