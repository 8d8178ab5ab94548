// The clip the builder leaves in the data folder plays as drawn: every frame in order at 25 frames
// a second, any frame reached by a jump, and the end of the clip ends playback.
#include "core/file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/aviplayer.h"
#include "tools/videocontent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string ClipPath()
{
    return std::string(TNV_TEST_BUILD_DIR) + "/data/" + CONTENT_VIDEO_PATH;
}

// Frame n as the player must show it on a 5:6:5 surface of the clip's size.
std::vector<uint16_t> Expected(int32_t n)
{
    static const std::vector<uint32_t> palette = Content_VideoPalette();
    const std::vector<uint8_t> px = Content_DrawVideoFrame(n);
    std::vector<uint16_t> out(px.size());
    for (size_t i = 0; i < px.size(); i++) {
        const uint32_t c = palette[px[i]];
        out[i] = static_cast<uint16_t>(((c >> 16 & 0xF8) << 8) | ((c >> 8 & 0xFC) << 3) | ((c & 0xFF) >> 3));
    }
    return out;
}

class VideoClip : public ::testing::Test
{
protected:
    std::vector<uint16_t> m_pixels = std::vector<uint16_t>(CONTENT_VIDEO_WIDTH * CONTENT_VIDEO_HEIGHT);
    AVISURFACE m_surface{m_pixels.data(), CONTENT_VIDEO_WIDTH * 2, CONTENT_VIDEO_WIDTH, CONTENT_VIDEO_HEIGHT, 0x7E0};

    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        ASSERT_EQ(Gfx_OpenAviStream(ClipPath().c_str(), &m_surface), 0) << g_szErrorText;
    }
    void TearDown() override { Gfx_CloseAviStream(); }
};

} // namespace

TEST_F(VideoClip, FramesArriveInOrderWithTheirTiming)
{
    EXPECT_EQ(g_iAviFrameWidth, CONTENT_VIDEO_WIDTH);
    EXPECT_EQ(g_iAviFrameHeight, CONTENT_VIDEO_HEIGHT);
    EXPECT_EQ(g_tAviStreamInfo.dwLength, static_cast<uint32_t>(CONTENT_VIDEO_FRAMES));
    EXPECT_EQ(g_tAviStreamInfo.dwRate / g_tAviStreamInfo.dwScale, static_cast<uint32_t>(CONTENT_VIDEO_RATE));
    ASSERT_EQ(Gfx_StartAviPlayback(), 0);
    // Updates every 20 ms, as the studio's frames come: each frame shows for two of them.
    for (int32_t step = 0; step < 2 * CONTENT_VIDEO_FRAMES; step++) {
        ASSERT_EQ(Gfx_UpdateAviFrame(), 0) << step;
        ASSERT_EQ(m_pixels, Expected(step / 2)) << "at " << step * 20 << " ms";
        Plat_ManualClockAdvance(20000);
    }
    EXPECT_EQ(Gfx_UpdateAviFrame(), 1);
    EXPECT_EQ(g_bAviPlaying, 0);
}

TEST_F(VideoClip, JumpsForwardAndBackReachTheFrameThatIsDue)
{
    ASSERT_EQ(Gfx_StartAviPlayback(), 0);
    // Two seconds in is frame 50; the last frame at 3.96 s stays until the end.
    const struct
    {
        int64_t moveMs;
        int32_t frame;
    } jumps[] = {{2000, 50}, {1960, 99}, {0, 99}};
    for (const auto &j : jumps) {
        Plat_ManualClockAdvance(static_cast<uint64_t>(j.moveMs) * 1000);
        ASSERT_EQ(Gfx_UpdateAviFrame(), 0);
        EXPECT_EQ(m_pixels, Expected(j.frame)) << j.frame;
    }
    // Moving the start later is a jump back.
    for (int32_t frame : {10, 0, 73}) {
        g_iAviStartUs = static_cast<int64_t>(Plat_ClockNowUs()) - frame * 40000 - 1000;
        ASSERT_EQ(Gfx_UpdateAviFrame(), 0);
        EXPECT_EQ(m_pixels, Expected(frame)) << frame;
    }
}

TEST(VideoClipContent, IsSmallAndRunLengthCoded)
{
    const std::vector<CONTENTFILE> files = Content_VideoFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, CONTENT_VIDEO_PATH);
    // Four seconds of 160 x 120 in far less than the 1.9 MB it takes stored as it is.
    EXPECT_LT(files[0].data.size(), 600000u);
    // The frames differ from one another (the ball moves).
    EXPECT_NE(Content_DrawVideoFrame(0), Content_DrawVideoFrame(1));
}

TEST(VideoClipOnScreen, PlaysUprightAtTheTopLeftOfTheBackBuffer)
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    Plat_DisplayHeadlessReset();
    ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
    ASSERT_EQ(Gfx_CreateDirectDraw(0), DD_OK);
    ASSERT_EQ(Gfx_SetDisplayMode(Gfx_FindDisplayMode(640, 480, 16)), DD_OK);
    AVISURFACE surface;
    Gfx_AviBackBufferSurface(&surface);
    ASSERT_NE(surface.pixels, nullptr);
    EXPECT_EQ(surface.width, 640);
    ASSERT_EQ(Gfx_OpenAviStream(ClipPath().c_str(), &surface), 0) << g_szErrorText;
    Gfx_StartAviPlayback();
    Plat_ManualClockAdvance(1200000); // frame 30
    ASSERT_EQ(Gfx_UpdateAviFrame(), 0);
    ASSERT_EQ(Gfx_Present(), DD_OK);
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> shown = Plat_DisplayPresentedFrame(&w, &h);
    Gfx_CloseAviStream();
    Gfx_ReleaseDirectDraw();
    Plat_DisplayHeadlessReset();
    ASSERT_EQ(w, 640u);
    ASSERT_EQ(h, 480u);
    const std::vector<uint16_t> want = Expected(30);
    int wrong = 0;
    for (int32_t y = 0; y < CONTENT_VIDEO_HEIGHT; y++)
        for (int32_t x = 0; x < CONTENT_VIDEO_WIDTH; x++) {
            const uint16_t p = want[static_cast<size_t>(y) * CONTENT_VIDEO_WIDTH + x];
            const uint8_t *got = shown.data() + (static_cast<size_t>(y) * 640 + x) * 3;
            wrong += (got[0] >> 3) != (p >> 11) || (got[1] >> 2) != ((p >> 5) & 63) || (got[2] >> 3) != (p & 31);
        }
    EXPECT_EQ(wrong, 0);
    if (const char *dump = std::getenv("TNV_TEST_DUMP_CLIP")) {
        // For a person to look at: the presented frame as a binary PPM.
        FILE *f = std::fopen(dump, "wb");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "P6 %u %u 255\n", w, h);
        std::fwrite(shown.data(), 1, shown.size(), f);
        std::fclose(f);
    }
}
