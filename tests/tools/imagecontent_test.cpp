// The loading picture the builder draws: a readable 640 x 480 bitmap in the data folder, shown
// at the top-left of the screen at start-up exactly as drawn.
#include "core/file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "render/bitmap.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "tools/imagecontent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

uint8_t Widen(uint32_t c, int bits)
{
    return static_cast<uint8_t>((c << (8 - bits)) | (c >> (2 * bits - 8)));
}

} // namespace

TEST(ImageContent, LoadingPictureIsShownAsDrawn)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/data/", build);
    BMPIMAGE bmp;
    ASSERT_EQ(Gfx_ReadBmpFile((std::string(g_szDataDir) + "loading_tnv.bmp").c_str(), &bmp), 0) << g_szErrorText;
    EXPECT_EQ(bmp.width, 640);
    EXPECT_EQ(bmp.height, 480);

    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    Plat_DisplayHeadlessReset();
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    ASSERT_EQ(Gfx_CreateDirectDraw(0), DD_OK);
    ASSERT_EQ(Gfx_SetDisplayMode(Gfx_FindDisplayMode(640, 480, 16)), DD_OK);
    ASSERT_EQ(Gfx_ShowLoadingScreen(), 0);
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> shown = Plat_DisplayPresentedFrame(&w, &h);
    Gfx_ReleaseDirectDraw();
    Plat_DisplayHeadlessReset();
    g_szDataDir[0] = 0;
    ASSERT_EQ(w, 640u);
    ASSERT_EQ(h, 480u);

    // Every pixel is the drawing through 5:6:5.
    const std::vector<uint8_t> drawn = Content_DrawLoadingPicture();
    ASSERT_EQ(drawn.size(), shown.size());
    int wrong = 0;
    for (size_t i = 0; i < drawn.size(); i += 3) {
        wrong += shown[i] != Widen(drawn[i] >> 3, 5);
        wrong += shown[i + 1] != Widen(drawn[i + 1] >> 2, 6);
        wrong += shown[i + 2] != Widen(drawn[i + 2] >> 3, 5);
    }
    EXPECT_EQ(wrong, 0);
    // And it is a picture: the name stands out light against a dark ground.
    int light = 0, dark = 0;
    for (size_t i = 0; i < drawn.size(); i += 3) {
        const int sum = drawn[i] + drawn[i + 1] + drawn[i + 2];
        light += sum > 600;
        dark += sum < 200;
    }
    EXPECT_GT(light, 5000);
    EXPECT_GT(dark, 100000);
}
