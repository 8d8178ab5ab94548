// The headless display keeps what was presented and converts it to RGB only when it is read.
#include "platform/backend.h"
#include "platform/display.h"

#include <gtest/gtest.h>

#include <vector>

TEST(HeadlessDisplay, PresentedFramesAreConvertedOnlyWhenRead)
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    Plat_DisplayHeadlessReset();
    PLATDISPLAYRESULT r;
    PLATDISPLAY *d = Plat_DisplayOpen(0, &r);
    ASSERT_NE(d, nullptr);
    const PLATDISPLAYMODE mode = Plat_DisplayDevices()[0].modes[0];
    ASSERT_EQ(Plat_DisplaySetMode(d, mode), PLAT_DISPLAY_OK);
    PLATGAMMARAMP ramp;
    for (int i = 0; i < 256; i++)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<uint16_t>(i * 200);
    ASSERT_EQ(Plat_DisplaySetGammaRamp(d, ramp), PLAT_DISPLAY_OK);
    int32_t pitch = 0, w = 0, h = 0;
    uint16_t *back = Plat_DisplayBackBuffer(d, &pitch, &w, &h);
    auto paint = [&](int seed) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                back[y * (pitch / 2) + x] = static_cast<uint16_t>(x * 7 + y * 13 + seed);
    };
    auto expectShows = [&](int seed) {
        uint32_t fw = 0, fh = 0;
        const std::vector<uint8_t> &rgb = Plat_DisplayPresentedFrame(&fw, &fh);
        ASSERT_EQ(fw, static_cast<uint32_t>(w));
        ASSERT_EQ(fh, static_cast<uint32_t>(h));
        ASSERT_EQ(rgb.size(), size_t(w) * h * 3);
        int differing = 0;
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < w; x += 5) {
                uint8_t want[3];
                Plat_DisplayConvertPixel(static_cast<uint16_t>(x * 7 + y * 13 + seed), mode, ramp, want);
                for (int c = 0; c < 3; c++)
                    differing += rgb[(size_t(y) * w + x) * 3 + c] != want[c];
            }
        EXPECT_EQ(differing, 0);
    };

    const uint32_t before = Plat_DisplayFrameConversions();
    paint(1);
    for (int i = 0; i < 10; i++)
        ASSERT_EQ(Plat_DisplayPresent(d), PLAT_DISPLAY_OK);
    EXPECT_EQ(Plat_DisplayFrameConversions(), before) << "nothing read, nothing converted";

    // Drawing after the present does not change what was presented.
    paint(2);
    expectShows(1);
    EXPECT_EQ(Plat_DisplayFrameConversions(), before + 1);
    expectShows(1);
    EXPECT_EQ(Plat_DisplayFrameConversions(), before + 1) << "read twice, converted once";

    ASSERT_EQ(Plat_DisplayPresent(d), PLAT_DISPLAY_OK);
    expectShows(2);
    EXPECT_EQ(Plat_DisplayFrameConversions(), before + 2);
    Plat_DisplayClose(d);
}
