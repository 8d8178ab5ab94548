#include "audio/samplebuffer.h"

#include "app/startup.h"
#include "audio/mixer.h"
#include "audio/soundout.h"
#include "core/file.h"
#include "jam/netobjects.h"
#include "support/aiffbuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using aiff::Bytes;
constexpr int FRAMES = 72;

class SampleBuffers : public ::testing::Test
{
protected:
    int16_t out[FRAMES * 2];

    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        float rate = 44100.0f, seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        Snd_SetMixParam(16, out);
        g_bReverbOn = 0;
        g_bJamSessionOn = 0;
        Snd_SetMasterVolume(0x4000, 0x4000); // volumes pass unchanged
        g_iMixTimerMode = 1;
    }
    void TearDown() override
    {
        Snd_ReleaseAllSampleBuffers();
        Snd_ShutdownSampleEngine();
        g_pMixOut = nullptr;
        g_iMixTimerMode = 1;
    }

    // One block; the (left, right) words of its frames.
    std::vector<std::pair<int16_t, int16_t>> Mix()
    {
        std::memset(out, 0, sizeof out);
        Snd_MixBlock();
        std::vector<std::pair<int16_t, int16_t>> f;
        for (int i = 0; i < FRAMES; i++)
            f.push_back({out[2 * i], out[2 * i + 1]});
        return f;
    }

    static Bytes Constant(int16_t value, uint32_t frames, double rate = 44100,
                          const std::vector<aiff::Marker> &markers = {})
    {
        std::vector<Bytes> chunks{aiff::Comm(1, frames, 16, rate)};
        if (!markers.empty())
            chunks.push_back(aiff::Mark(markers));
        chunks.push_back(aiff::Ssnd(aiff::Words16(std::vector<int16_t>(frames, value))));
        return aiff::Form(chunks);
    }

    static int32_t Loaded(const Bytes &image)
    {
        int32_t index = -1;
        EXPECT_EQ(Snd_TakeSampleBuffer(&index), 0);
        EXPECT_EQ(Snd_LoadSampleBufferAiff(index, image.data(), (uint32_t)image.size()), 0) << g_szErrorText;
        return index;
    }
};

TEST_F(SampleBuffers, TwoEntriesTakenAndReleased)
{
    int32_t a = -1, b = -1, c = -1;
    ASSERT_EQ(Snd_TakeSampleBuffer(&a), 0);
    EXPECT_STREQ(g_szSoundStatusText, "Allocated Sample #0");
    ASSERT_EQ(Snd_TakeSampleBuffer(&b), 0);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(g_iSampleBufferCount, 2);
    EXPECT_STREQ(g_apSampleBuffers[1]->szName, "No Sample Loaded");
    EXPECT_EQ(g_apSampleBuffers[1]->stDesc.uSize, 36u);
    EXPECT_EQ(Snd_TakeSampleBuffer(&c), -1);
    EXPECT_STREQ(g_szSoundStatusText, "Couldn't Allocate Sample #2");
    EXPECT_EQ(Snd_ReleaseSampleBuffer(0), 0);
    EXPECT_EQ(g_iSampleBufferCount, 1);
    ASSERT_EQ(Snd_TakeSampleBuffer(&c), 0);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(Snd_ReleaseAllSampleBuffers(), 0);
    EXPECT_EQ(g_iSampleBufferCount, 0);
    EXPECT_STREQ(g_szSoundStatusText, "Sample #1 Free'd");
    EXPECT_EQ(Snd_ReleaseSampleBuffer(0), -1);
    EXPECT_EQ(Snd_AllocSampleBuffer(2), -1);
    EXPECT_EQ(Snd_AllocSampleBuffer(-1), -1);
}

TEST_F(SampleBuffers, OperationsWithoutASoundSaySo)
{
    int32_t a = -1;
    ASSERT_EQ(Snd_TakeSampleBuffer(&a), 0);
    struct Case
    {
        const char *what;
        int result;
        const char *text;
    };
    const Case cases[] = {
        {"play", Snd_PlaySampleBuffer(a, 0, 0), "Can't Play Sample #0, DSBuffer not created"},
        {"stop", Snd_StopSampleBuffer(a), "Can't Stop Sample #0, DSBuffer not created"},
        {"status", Snd_GetSampleBufferStatus(a), "Couldn't Get Status of Sample #0!\n"},
        {"position", Snd_SetSampleBufferPosition(a, 0), "Couldn't Set Current Position of Sample #0!\n"},
        {"play of no entry", Snd_PlaySampleBuffer(1, 0, 0), "Can't Play Sample #1, DSBuffer not created"},
        {"stop of a bad index", Snd_StopSampleBuffer(7), "Can't Stop Sample #7, DSBuffer not created"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.result, -1);
    }
    EXPECT_EQ(Snd_PlaySampleBuffer(a, 0, 0), -1);
    EXPECT_STREQ(g_szSoundStatusText, cases[0].text);
    EXPECT_EQ(Snd_StopSampleBuffer(7), -1);
    EXPECT_STREQ(g_szSoundStatusText, cases[5].text);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), -1);
    EXPECT_STREQ(g_szSoundStatusText, cases[2].text);
    EXPECT_EQ(Snd_LoadSampleBufferAiff(a, (const uint8_t *)"FORM\0\0\0\4AIFC", 12), -1);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), -1) << "a refused image loads nothing";
}

TEST_F(SampleBuffers, PlaysThroughTheMixUntilItsEnd)
{
    int32_t a = Loaded(Constant(1000, 100));
    EXPECT_STREQ(g_szSoundStatusText, "Format:> Channels:1 Rate:44100 Bits:16");
    EXPECT_EQ(g_apSampleBuffers[a]->stDesc.uBufferBytes, 200u);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), 0);
    EXPECT_EQ(Mix()[0].first, 0) << "silent until played";

    ASSERT_EQ(Snd_PlaySampleBuffer(a, 0, 0), 0);
    EXPECT_STREQ(g_szSoundStatusText, "Playing Sample #0");
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), SAMPLEBUFFER_STATUS_PLAYING);
    auto first = Mix();
    for (auto f : first)
        ASSERT_EQ(f, std::make_pair((int16_t)1000, (int16_t)1000));
    EXPECT_EQ(Snd_GetSampleBufferPosition(a), 144);
    Mix();
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), 0) << "ended";
    EXPECT_EQ(Mix()[0].first, 0);

    // Looping: still playing long after the end, every frame heard.
    ASSERT_EQ(Snd_PlaySampleBuffer(a, 1, 0), 0);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), SAMPLEBUFFER_STATUS_PLAYING | SAMPLEBUFFER_STATUS_LOOPING);
    for (int block = 0; block < 5; block++)
        for (auto f : Mix())
            ASSERT_EQ(f.first, 1000);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), SAMPLEBUFFER_STATUS_PLAYING | SAMPLEBUFFER_STATUS_LOOPING);

    // Play while playing moves; stop rewinds.
    ASSERT_EQ(Snd_PlaySampleBuffer(a, 0, 60), 0);
    EXPECT_EQ(Snd_GetSampleBufferPosition(a), 60);
    EXPECT_EQ(Snd_SetSampleBufferPosition(a, 200), -1) << "past the end";
    EXPECT_EQ(Snd_SetSampleBufferPosition(a, 198), 0);
    ASSERT_EQ(Snd_StopSampleBuffer(a), 0);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), 0);
    EXPECT_EQ(Snd_GetSampleBufferPosition(a), 0);
    EXPECT_EQ(Mix()[0].first, 0);
}

TEST_F(SampleBuffers, VolumePanAndFrequency)
{
    int32_t a = Loaded(Constant(8000, 2000, 22050));
    uint32_t frequency = 0;
    ASSERT_EQ(Snd_GetSampleBufferFrequency(a, &frequency), 0);
    EXPECT_EQ(frequency, 22050u) << "the sound's own rate";
    struct Case
    {
        int32_t volume, pan;
        int16_t left, right; // of the second block's first frame (within 1)
    };
    const Case cases[] = {
        {0, 0, 8000, 8000},        {-10000, 0, 0, 0},     {0, 10000, 0, 8000}, {0, -10000, 8000, 0},
        {-602, 0, 4000, 4000},     {0, 602, 4000, 8000},  {-602, -602, 4000, 2000},
        {500, 20000, 0, 8000}, // held to 0 and 10000
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.volume << " " << c.pan);
        ASSERT_EQ(Snd_SetSampleBufferVolume(a, c.volume), 0);
        ASSERT_EQ(Snd_SetSampleBufferPan(a, c.pan), 0);
        Snd_StopSampleBuffer(a);
        ASSERT_EQ(Snd_PlaySampleBuffer(a, 0, 0), 0);
        Mix();
        auto f = Mix()[0];
        EXPECT_NEAR(f.first, c.left, 8);
        EXPECT_NEAR(f.second, c.right, 8);
    }
    int32_t v = 1, pan = 0;
    Snd_GetSampleBufferVolume(a, &v);
    Snd_GetSampleBufferPan(a, &pan);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(pan, 10000);

    // 22050 Hz data at its own rate moves half a frame per output frame; at 44100, one.
    Snd_StopSampleBuffer(a);
    Snd_PlaySampleBuffer(a, 0, 0);
    Mix();
    EXPECT_EQ(Snd_GetSampleBufferPosition(a), 36 * 2);
    ASSERT_EQ(Snd_SetSampleBufferFrequency(a, 44100), 0);
    Mix();
    EXPECT_EQ(Snd_GetSampleBufferPosition(a), (36 + 72) * 2);
    EXPECT_EQ(Snd_SetSampleBufferFrequency(a, 99), -1);
    EXPECT_EQ(Snd_SetSampleBufferFrequency(a, 200001), -1);
    Snd_GetSampleBufferFrequency(a, &frequency);
    EXPECT_EQ(frequency, 44100u);
}

TEST_F(SampleBuffers, LoopMarkersLoopAndNotifyAtTheLoopEnd)
{
    Bytes marked = Constant(500, 100, 44100, {{1, 10, "beg loop"}, {2, 50, "end loop"}});
    int32_t a = Loaded(marked);
    SAMPLEBUFFER *p = g_apSampleBuffers[a];
    EXPECT_EQ(p->uFlags, (uint32_t)SAMPLEBUFFER_HAS_LOOP);
    EXPECT_EQ(p->uLoopBegin, 20u);
    EXPECT_EQ(p->uLoopEnd, 100u);
    ASSERT_EQ(p->iNotify, 0);
    EXPECT_EQ(g_astSampleBufferNotify[0].uOffset, 100u);
    EXPECT_EQ(Snd_FindFreeNotifySlot(), 1);

    ASSERT_EQ(Snd_PlaySampleBuffer(a, 0, 0), 0);
    EXPECT_EQ(Snd_GetSampleBufferStatus(a), SAMPLEBUFFER_STATUS_PLAYING | SAMPLEBUFFER_STATUS_LOOPING)
        << "markers make it loop";
    Mix(); // frames 0..71: passes 50
    EXPECT_EQ(g_astSampleBufferNotify[0].iSignalled, 1);
    Mix(); // 72..99, then 0..43: wraps, does not reach 50 again
    EXPECT_EQ(g_astSampleBufferNotify[0].iSignalled, 1);
    Mix(); // 44..99, 0..15
    EXPECT_EQ(g_astSampleBufferNotify[0].iSignalled, 2);

    int32_t b = Loaded(marked);
    EXPECT_EQ(g_apSampleBuffers[b]->iNotify, 1);
    EXPECT_EQ(Snd_FindFreeNotifySlot(), -1);
    Snd_ReleaseSampleBuffer(a);
    EXPECT_EQ(Snd_FindFreeNotifySlot(), 0);

    // Without the 1 ms mix timer nothing is registered.
    g_iMixTimerMode = 0;
    Snd_ReleaseAllSampleBuffers();
    int32_t c = Loaded(marked);
    EXPECT_EQ(g_apSampleBuffers[c]->iNotify, -1);
    EXPECT_EQ(Snd_FindFreeNotifySlot(), 0);
}

TEST_F(SampleBuffers, FindDuplicateAndCreateByName)
{
    Bytes kick = Constant(1200, 300);
    EXPECT_EQ(Snd_FindOrCreateSampleBuffer("kick", kick.data(), (uint32_t)kick.size()), 0);
    EXPECT_STREQ(g_szSoundStatusText, "Successfully Created Sample kick");
    EXPECT_STREQ(g_apSampleBuffers[0]->szName, "kick");
    EXPECT_EQ(Snd_FindOrCreateSampleBuffer("kick", nullptr, 0), 1);
    EXPECT_STREQ(g_apSampleBuffers[1]->szName, "Instance of kick");
    EXPECT_EQ(g_apSampleBuffers[1]->stDesc.uBufferBytes, 600u);
    EXPECT_EQ(Snd_FindOrCreateSampleBuffer("kick", nullptr, 0), -1);
    EXPECT_STREQ(g_szSoundStatusText, "Can't Duplicate Sample #kick");
    int32_t found = -1;
    ASSERT_EQ(Snd_FindSampleBuffer("Instance of kick", &found), 0);
    EXPECT_EQ(found, 1);
    EXPECT_STREQ(g_szSoundStatusText, "Search Found Sample #1");
    EXPECT_EQ(Snd_FindSampleBuffer("snare", &found), -1);

    // The copy plays on after its source is gone.
    ASSERT_EQ(Snd_PlaySampleBuffer(1, 0, 0), 0);
    Snd_ReleaseSampleBuffer(0);
    EXPECT_EQ(Mix()[5].first, 1200);

    // A name not found with a broken image: nothing is kept.
    EXPECT_EQ(Snd_FindOrCreateSampleBuffer("snare", (const uint8_t *)"junk", 4), -1);
    EXPECT_EQ(g_iSampleBufferCount, 1);
    EXPECT_EQ(Snd_FindOrCreateSampleBuffer("snare", nullptr, 0), 0);
    EXPECT_STREQ(g_szSoundStatusText, "Successfully Created Sample snare");
    EXPECT_EQ(Snd_GetSampleBufferStatus(0), -1) << "named, without a sound";
}

} // namespace
