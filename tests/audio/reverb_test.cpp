#include "audio/mixer.h"
#include "audio/reverb.h"
#include "core/soundlib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ReverbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        float rate = 44100.0f;
        float seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        ASSERT_EQ(g_iMixFrames, 72);
        Snd_SetMixParam(16, out);
        Snd_SetMixParam(32, send);
        Snd_SetMixParam(8, scratch);
        g_iReverbAskedDepthLeft = -1;
        g_iReverbAskedDepthRight = -1;
        ASSERT_EQ(Snd_SetReverbDelays(51, 27, 43, 7), 0);
    }
    void TearDown() override
    {
        Snd_FreeReverbDelays();
        g_iReverbAskedDepthLeft = -1;
        g_iReverbAskedDepthRight = -1;
    }

    // Runs blocks through the stage with an impulse (left 32767, right -16384) in the first send
    // frame and silence after; returns every output frame.
    std::vector<int16_t> Impulse(int blocks)
    {
        std::vector<int16_t> all;
        for (int b = 0; b < blocks; b++) {
            memset(out, 0, sizeof(out));
            memset(send, 0, sizeof(send));
            if (b == 0) {
                send[0] = 32767;
                send[1] = -16384;
            }
            Snd_MixReverb();
            all.insert(all.end(), out, out + 144);
        }
        return all;
    }

    static uint32_t Hash(const std::vector<int16_t> &words)
    {
        uint32_t h = 2166136261u;
        for (int16_t w : words) {
            h = (h ^ (uint16_t)w) * 16777619u;
        }
        return h;
    }

    int16_t out[144];
    int16_t send[144];
    int16_t scratch[152];
};

} // namespace

TEST_F(ReverbTest, LineLengths)
{
    const int32_t startup[4] = {2249, 1190, 1896, 308};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(g_astReverbLines[i].iLength, startup[i]);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 256);
    EXPECT_EQ(g_iReverbDepthRight.load(), 256);
    for (int n = 0; n < SND_REVERB_PRESETS; n++) {
        ASSERT_EQ(Snd_ApplyReverbPreset(n), 0);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(g_astReverbLines[i].iLength, 44100 * g_aiReverbPresetMs[n][i] / 1000) << n;
    }
    Snd_ApplyReverbPreset(0);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(g_astReverbLines[i].iLength, 44);
    // Delays a line cannot hold are refused.
    EXPECT_EQ(Snd_SetReverbDelays(0, 1, 1, 1), -1);
    EXPECT_EQ(Snd_SetReverbDelays(1, 1, 1, 513), -1);
    EXPECT_FALSE(Snd_ReverbLinesValid());
}

TEST_F(ReverbTest, SilenceLeavesTheOutputAlone)
{
    for (int i = 0; i < 144; i++)
        out[i] = (int16_t)(i * 211 - 15000);
    int16_t before[144];
    memcpy(before, out, sizeof(out));
    memset(send, 0, sizeof(send));
    Snd_MixReverb();
    EXPECT_EQ(memcmp(out, before, sizeof(out)), 0);
}

// Preset 0: three 44-frame feedback lines give back the impulse 43 frames later, summed.
TEST_F(ReverbTest, HandWorkedImpulse)
{
    // The impulse enters each feedback line as 32767 >> 2 (start-up lines: still there after a
    // block).
    Impulse(1);
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(g_astReverbLines[k].pBuffer[0], 8191);
        EXPECT_EQ(g_astReverbLines[k].pBuffer[1], -4096);
    }
    Snd_ApplyReverbPreset(0);
    std::vector<int16_t> o = Impulse(1);
    EXPECT_EQ(scratch[2 * 43], 3 * 8191);
    // Frame 0 is the dry send alone; frame 43 the all-pass output of 24573 at depth 256:
    // y = 0 - 24573 + (24573 >> 2) = -18430, (-18430 * 256) >> 16 = -72.
    EXPECT_EQ(o[0], 32767);
    EXPECT_EQ(o[1], -16384);
    EXPECT_EQ(o[2 * 43], -72);
    // Right: -16384 >> 2 = -4096, three lines -12288; y = 12288 - 3072 = 9216, >> 8 = 36.
    EXPECT_EQ(o[2 * 43 + 1], 36);
    for (int i = 1; i < 43; i++)
        EXPECT_EQ(o[2 * i], 0) << i;

    // Depth 32768 or more passes the wet signal whole.
    Snd_ApplyReverbPreset(0);
    g_iReverbDepthLeft = 32768;
    g_iReverbDepthRight = 65535;
    o = Impulse(1);
    EXPECT_EQ(o[2 * 43], -18430);
    EXPECT_EQ(o[2 * 43 + 1], 9216);
}

// Golden impulse responses of every preset (a second of blocks each, at depth 256 and 20000).
TEST_F(ReverbTest, GoldenBlocksForEachPreset)
{
    const uint32_t golden[SND_REVERB_PRESETS][2] = {
        {0x198496c7u, 0xad892351u},
        {0x8f4e4595u, 0x63fd2b97u},
        {0x847a2bcbu, 0x71176f52u},
        {0x0595731au, 0xeaacc234u},
        {0x759356a3u, 0xd1d57265u},
        {0x9d537b9du, 0x809eb26bu},
        {0x2eb725e9u, 0x3b77ebecu},
        {0x1ff5827au, 0x5a62adb4u},
        {0xdec71feeu, 0x07e914b4u},
        {0x11866730u, 0x60516c74u},
        {0x60305d0eu, 0x0ad1156bu},
    };
    for (int n = 0; n < SND_REVERB_PRESETS; n++) {
        for (int d = 0; d < 2; d++) {
            Snd_ApplyReverbPreset(n);
            g_iReverbDepthLeft = g_iReverbDepthRight = d ? 20000 : 256;
            uint32_t h = Hash(Impulse(600));
            EXPECT_EQ(h, golden[n][d]) << "preset " << n << " depth " << d;
        }
    }
}

// Changing presets reuses the buffers made at start-up: no allocation on the mix thread.
TEST_F(ReverbTest, PresetsKeepTheirBuffers)
{
    int32_t *buffers[4];
    for (int i = 0; i < 4; i++)
        buffers[i] = g_astReverbLines[i].pBuffer;
    for (int n : {10, 0, 6, 12, -1, 3}) {
        Snd_ApplyReverbPreset(n);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(g_astReverbLines[i].pBuffer, buffers[i]) << n;
    }
}

// A preset out of range leaves the lines unused (the dry send still passes) and frees nothing,
// however often it is asked for; a valid preset brings them back.
TEST_F(ReverbTest, PresetOutOfRange)
{
    for (int n : {11, 11, -3}) {
        g_iReverbType = n;
        g_bReverbChanged = 1;
        Snd_ApplyReverbPreset(n);
        EXPECT_FALSE(Snd_ReverbLinesValid());
        EXPECT_EQ(g_bReverbChanged.load(), 0);
        std::vector<int16_t> o = Impulse(2);
        EXPECT_EQ(o[0], 32767);
        EXPECT_EQ(o[1], -16384);
        for (size_t i = 2; i < o.size(); i++)
            ASSERT_EQ(o[i], 0) << i;
    }
    Snd_ApplyReverbPreset(0);
    EXPECT_TRUE(Snd_ReverbLinesValid());
    EXPECT_EQ(Impulse(1)[2 * 43], -72);
}

// The mix applies a requested preset at its next block; depths asked for with it stay.
TEST_F(ReverbTest, PresetRequestKeepsTheDepthAskedWithIt)
{
    SOUNDATTR attr{};
    attr.uMask = 7;
    attr.iValue1 = 4;
    attr.uDepthLeft = 9000;
    attr.uDepthRight = 12000;
    EXPECT_EQ(Sys_SetReverbAttributes(&attr), 0);
    EXPECT_EQ(g_bReverbChanged.load(), 1);
    memset(out, 0, sizeof(out));
    memset(send, 0, sizeof(send));
    Snd_MixBlock();
    EXPECT_EQ(g_bReverbChanged.load(), 0);
    EXPECT_EQ(g_astReverbLines[0].iLength, 44100 * 40 / 1000);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 9000);
    EXPECT_EQ(g_iReverbDepthRight.load(), 12000);
}

// A depth lives until the next preset change: a later change alone (the next song's load) puts
// 256 back instead of the depth an earlier song asked for.
TEST_F(ReverbTest, LaterPresetChangeAloneRestoresTheDefaultDepth)
{
    auto mix = [&] {
        memset(out, 0, sizeof(out));
        memset(send, 0, sizeof(send));
        Snd_MixBlock();
    };
    SOUNDATTR first{};
    first.uMask = 7;
    first.iValue1 = 4;
    first.uDepthLeft = 9000;
    first.uDepthRight = 12000;
    ASSERT_EQ(Sys_SetReverbAttributes(&first), 0);
    mix();
    EXPECT_EQ(g_iReverbDepthLeft.load(), 9000);

    SOUNDATTR presetOnly{};
    presetOnly.uMask = 1;
    presetOnly.iValue1 = 2;
    ASSERT_EQ(Sys_SetReverbAttributes(&presetOnly), 0);
    mix();
    EXPECT_EQ(g_astReverbLines[0].iLength, 44100 * 16 / 1000);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 256);
    EXPECT_EQ(g_iReverbDepthRight.load(), 256);

    // A depth set on its own while no change waits lasts until the next change.
    SOUNDATTR depth{};
    depth.uMask = 6;
    depth.uDepthLeft = 700;
    depth.uDepthRight = 800;
    ASSERT_EQ(Sys_SetReverbDepth(&depth), 0);
    EXPECT_EQ(g_iReverbDepthLeft.load(), 700);
    mix();
    EXPECT_EQ(g_iReverbDepthLeft.load(), 700);
    ASSERT_EQ(Sys_SetReverbAttributes(&presetOnly), 0);
    mix();
    EXPECT_EQ(g_iReverbDepthLeft.load(), 256);
    EXPECT_EQ(g_iReverbDepthRight.load(), 256);

    // Asked while the change waits for the mix: kept over that change.
    ASSERT_EQ(Sys_SetReverbAttributes(&presetOnly), 0);
    ASSERT_EQ(Sys_SetReverbDepth(&depth), 0);
    mix();
    EXPECT_EQ(g_iReverbDepthLeft.load(), 700);
    EXPECT_EQ(g_iReverbDepthRight.load(), 800);
}

TEST_F(ReverbTest, ClearingTheLinesEndsTheTail)
{
    Snd_ApplyReverbPreset(2);
    Impulse(1);
    EXPECT_EQ(Sys_ClearReverbLines(0), 0);
    memset(out, 0, sizeof(out));
    memset(send, 0, sizeof(send));
    for (int b = 0; b < 20; b++) {
        Snd_MixReverb();
        for (int16_t w : out)
            ASSERT_EQ(w, 0);
    }
}
