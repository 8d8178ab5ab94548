// The block mix's own machinery: the vector word loop against the portable one (same words out,
// same voice state after, over random data, pitches, phases, volumes and destinations near
// saturation), and the plug-in inputs the voices of a block are mixed into.
#include "audio/mixer.h"
#include "audio/plugin.h"
#include "audio/sampleslot.h"
#include "jam/netobjects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

constexpr int FRAMES = 72;

struct BLOCKRESULT
{
    int16_t out[FRAMES * 2];
    VOICE voice;
    uint32_t mask[4];
};

class MixerBlockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        float rate = 44100.0f, seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        ASSERT_EQ(g_iMixFrames, FRAMES);
        g_bReverbOn = 0;
        g_bJamSessionOn = 0;
        Snd_SetMasterVolume(0x4000, 0x4000);
    }

    void TearDown() override
    {
        Snd_SetPortableMix(false);
        Snd_ShutdownSampleEngine();
        g_pMixOut = g_pMixSend = nullptr;
        for (PLUGININSTANCE *&p : g_apPlugins)
            p = nullptr;
    }

    // One block from the given voice state and destination words, with either word loop.
    static BLOCKRESULT MixOnce(VOICE *pVoice, const VOICE &start, const uint32_t startMask[4],
                               SAMPLESLOT *pSlot, const int16_t *pDst, bool portable)
    {
        BLOCKRESULT r;
        *pVoice = start;
        memcpy(pSlot->auVoiceMask, startMask, sizeof(r.mask));
        memcpy(r.out, pDst, sizeof(r.out));
        Snd_SetMixParam(16, r.out);
        Snd_SetPortableMix(portable);
        Snd_MixBlock();
        Snd_SetPortableMix(false);
        r.voice = *pVoice;
        memcpy(r.mask, pSlot->auVoiceMask, sizeof(r.mask));
        return r;
    }
};

TEST_F(MixerBlockTest, VectorMatchesPortable)
{
    std::mt19937 rng(777);
    auto pick = [&](int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
    };
    int fast = 0, looping = 0, ending = 0;
    for (int trial = 0; trial < 600; trial++) {
        SCOPED_TRACE(trial);
        uint32_t frames = (uint32_t)pick(1, 900);
        bool loop = pick(0, 1);
        SAMPLESLOT *pSlot = nullptr;
        ASSERT_GT(Snd_AllocSampleSlot(&pSlot), 0);
        ASSERT_EQ(Snd_AllocSampleData(pSlot, frames, true), 0);
        int16_t *pData = (int16_t *)pSlot->pData;
        for (uint32_t i = 0; i < 2 * frames; i++) {
            // Mostly full range, sometimes the extremes that wrap in the 16-bit stages.
            int64_t kind = pick(0, 9);
            pData[i] = (int16_t)(kind == 0 ? -32768 : kind == 1 ? 32767 : pick(-32768, 32767));
        }
        pSlot->uRate = (uint32_t)(pick(0, 2) == 0 ? 22050 : 44100);
        if (loop) {
            pSlot->uFlags |= SAMPLE_LOOPS;
            pSlot->uLoopStartFrame = (uint32_t)pick(0, frames - 1);
            Snd_ResetSamplePointers(pSlot);
        }
        VOICE *pVoice = &g_astVoices[pick(0, 98)];
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, (int32_t)(pick(0, 3) ? pick(1, 200000) : pick(1, 4) * 11025));
        Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
        // Any packed volume and phases the word stage may meet, including bits above 15 that
        // the phase mask drops.
        pVoice->auVolume[0] = pVoice->auVolume[1] = (uint32_t)pick(0, UINT32_MAX);
        for (uint32_t &phase : pVoice->auPhase)
            phase = (uint32_t)pick(0, UINT32_MAX);
        pVoice->auPhaseInc[0] = pVoice->auPhaseInc[1] = (uint32_t)pick(0, UINT32_MAX);
        pVoice->uFraction = (uint32_t)pick(0, 65535);
        pVoice->pCurrent = pVoice->pStart + 4 * pick(0, frames - 1);

        for (int block = 0; block < 6 && (pVoice->uState & VOICE_ACTIVE); block++) {
            SCOPED_TRACE(block);
            int64_t reach = (pVoice->pCurrent - pVoice->pStart) + 2 * (int64_t)pVoice->iBlockAdvance;
            bool checked = reach >= (pVoice->pEnd - pVoice->pStart) - 4;
            fast += !checked;
            looping += checked && loop;
            ending += checked && !loop;
            int16_t dst[FRAMES * 2];
            for (int16_t &word : dst)
                word = (int16_t)(pick(0, 3) == 0 ? pick(-32768, 32767) : pick(-2000, 2000));
            VOICE start = *pVoice;
            uint32_t mask[4];
            memcpy(mask, pSlot->auVoiceMask, sizeof(mask));
            BLOCKRESULT vec = MixOnce(pVoice, start, mask, pSlot, dst, false);
            BLOCKRESULT port = MixOnce(pVoice, start, mask, pSlot, dst, true);
            ASSERT_EQ(memcmp(vec.out, port.out, sizeof(vec.out)), 0);
            EXPECT_EQ(vec.voice.pCurrent, port.voice.pCurrent);
            EXPECT_EQ(vec.voice.uFraction, port.voice.uFraction);
            EXPECT_EQ(memcmp(vec.voice.auPhase, port.voice.auPhase, sizeof(vec.voice.auPhase)), 0);
            EXPECT_EQ(vec.voice.uState, port.voice.uState);
            EXPECT_EQ(vec.voice.pSlot, port.voice.pSlot);
            ASSERT_EQ(memcmp(vec.mask, port.mask, sizeof(vec.mask)), 0);
        }
        Snd_StopVoice(pVoice);
        Snd_FreeSample(pSlot);
    }
    // Every block path was taken many times.
    EXPECT_GT(fast, 300);
    EXPECT_GT(looping, 300);
    EXPECT_GT(ending, 100);
}

// Voices sharing a plug-in slot all feed its instance; an instance opened or closed between
// blocks is seen by the next block, by every voice on its slot.
TEST_F(MixerBlockTest, PluginInputsFollowEachBlock)
{
    int16_t out[FRAMES * 2], input0[FRAMES * 2], input3[FRAMES * 2];
    PLUGININSTANCE plugin0 = {.uBlockFlag = 0, .pInput = input0},
                   plugin3 = {.uBlockFlag = 0, .pInput = input3};
    Snd_SetMixParam(16, out);
    SAMPLESLOT *pSlot = nullptr;
    ASSERT_GT(Snd_AllocSampleSlot(&pSlot), 0);
    ASSERT_EQ(Snd_AllocSampleData(pSlot, 4000, true), 0);
    for (uint32_t i = 0; i < 2 * 4000; i++)
        ((int16_t *)pSlot->pData)[i] = 1000;
    pSlot->uRate = 44100;
    // Voices 0 and 1 on slot 0 (where voices start), 2 and 3 on slot 3, 4 on a slot no table has.
    const int32_t slots[] = {0, 0, 3, 3, 200};
    for (int v = 0; v < 5; v++) {
        VOICE *pVoice = &g_astVoices[v];
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, 44100);
        Snd_SetVoiceVolume(pVoice, 16384, 16384);
        Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
        if (v >= 2)
            Snd_SetVoicePlugin(v, slots[v]);
    }
    struct
    {
        PLUGININSTANCE *p0, *p3;
        int16_t wantOut, want0, want3;
    } cases[] = {
        {nullptr, nullptr, 5000, 0, 0},
        {&plugin0, nullptr, 3000, 2000, 0},
        {&plugin0, &plugin3, 1000, 2000, 2000},
        {nullptr, &plugin3, 3000, 0, 2000},
        {nullptr, nullptr, 5000, 0, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.p0 != nullptr) << (c.p3 != nullptr));
        g_apPlugins[0] = c.p0;
        g_apPlugins[3] = c.p3;
        memset(out, 0, sizeof(out));
        memset(input0, 0, sizeof(input0));
        memset(input3, 0, sizeof(input3));
        ASSERT_EQ(Snd_MixBlock(), 0);
        EXPECT_EQ(out[0], c.wantOut);
        EXPECT_EQ(input0[0], c.want0);
        EXPECT_EQ(input3[FRAMES * 2 - 1], c.want3);
    }
    // A voice mixed on its own looks its plug-in up too.
    g_apPlugins[3] = &plugin3;
    memset(input3, 0, sizeof(input3));
    Snd_MixVoice(&g_astVoices[2]);
    EXPECT_EQ(input3[0], 1000);
    g_apPlugins[0] = g_apPlugins[3] = nullptr;
    Snd_FreeSample(pSlot);
}

} // namespace
