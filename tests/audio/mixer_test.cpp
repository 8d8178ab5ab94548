#include "audio/mixer.h"
#include "audio/plugin.h"
#include "audio/sampleslot.h"
#include "core/mixlock.h"
#include "jam/netobjects.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int FRAMES = 72;

class MixerTest : public ::testing::Test
{
protected:
    int16_t out[FRAMES * 2];
    int16_t send[FRAMES * 2];

    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        float rate = 44100.0f, seconds = 0.0016666667f;
        ASSERT_EQ(Snd_SetMixParam(1, &rate), 0);
        ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
        ASSERT_EQ(g_iMixFrames, FRAMES);
        Snd_SetMixParam(16, out);
        Snd_SetMixParam(32, send);
        g_bReverbOn = 0;
        g_bJamSessionOn = 0;
        g_bPreviewEnded = 0;
        // 4 x 0x4000: the master passes volumes unchanged.
        Snd_SetMasterVolume(0x4000, 0x4000);
    }

    void TearDown() override
    {
        for (SAMPLESLOT &slot : g_astInterfaceSounds)
            Snd_FreeSampleData(&slot);
        Snd_ShutdownSampleEngine();
        g_pMixOut = g_pMixSend = nullptr;
        for (PLUGININSTANCE *&p : g_apPlugins)
            p = nullptr;
    }

    // A stereo sample: left words, right words (zero when shorter), padded with zeros to frames.
    static SAMPLESLOT *Stereo(const std::vector<int16_t> &left, const std::vector<int16_t> &right,
                              uint32_t rate, size_t frames = 0, bool loop = false,
                              uint32_t loopFrame = 0)
    {
        SAMPLESLOT *pSlot = nullptr;
        EXPECT_GT(Snd_AllocSampleSlot(&pSlot), 0);
        frames = std::max({frames, left.size(), right.size()});
        EXPECT_EQ(Snd_AllocSampleData(pSlot, (uint32_t)frames, true), 0);
        int16_t *p = (int16_t *)pSlot->pData;
        for (size_t i = 0; i < left.size(); i++)
            p[2 * i] = left[i];
        for (size_t i = 0; i < right.size(); i++)
            p[2 * i + 1] = right[i];
        pSlot->uRate = rate;
        if (loop) {
            pSlot->uFlags |= SAMPLE_LOOPS;
            pSlot->uLoopStartFrame = loopFrame;
            Snd_ResetSamplePointers(pSlot);
        }
        return pSlot;
    }

    static SAMPLESLOT *Constant(int16_t value, uint32_t frames, uint32_t rate = 44100)
    {
        return Stereo(std::vector<int16_t>(frames, value), std::vector<int16_t>(frames, value),
                      rate);
    }

    static SAMPLESLOT *Mono(const std::vector<int16_t> &data, uint32_t rate, bool loop = false)
    {
        SAMPLESLOT *pSlot = nullptr;
        EXPECT_GT(Snd_AllocSampleSlot(&pSlot), 0);
        EXPECT_EQ(Snd_AllocSampleData(pSlot, (uint32_t)data.size(), false), 0);
        memcpy(pSlot->pData, data.data(), data.size() * 2);
        pSlot->uRate = rate;
        if (loop) {
            pSlot->uFlags |= SAMPLE_LOOPS;
            Snd_ResetSamplePointers(pSlot);
        }
        return pSlot;
    }

    // The sequencer's order: prepare, pitch, volume, key on.
    static void Play(VOICE *pVoice, SAMPLESLOT *pSlot, int32_t pitch, int32_t a = 16384,
                     int32_t b = 16384)
    {
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, pitch);
        Snd_SetVoiceVolume(pVoice, a, b);
        Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
    }

    void Mix()
    {
        memset(out, 0, sizeof(out));
        memset(send, 0, sizeof(send));
        ASSERT_EQ(Snd_MixBlock(), 0);
    }

    int16_t L(int j) const { return out[2 * j]; }
    int16_t R(int j) const { return out[2 * j + 1]; }
};

// Hand-worked blocks. Each output word is ((x >> 1) interpolated, times volume >> 16) << 3, so
// at unity a frame comes out with its three low bits cleared.
struct GOLDENCASE
{
    const char *name;
    std::vector<int16_t> left, right;
    uint32_t rate;
    int32_t pitch;
    bool loop;
    uint32_t loopFrame;
    size_t frames; // data length (zero padded)
    std::vector<int16_t> wantLeft, wantRight;
};

std::vector<int16_t> Ramp(int16_t step, int n, int16_t first = 0)
{
    std::vector<int16_t> v;
    for (int i = 0; i < n; i++)
        v.push_back((int16_t)(first + step * i));
    return v;
}

TEST_F(MixerTest, GoldenBlocks)
{
    const GOLDENCASE cases[] = {
        {"unity", {1000, 1001, 32767, -32768, 7, -1, 0, 8}, {500, -500, 12345, -12345, 16, -16, 3, 9},
         44100, 44100, false, 0, 400,
         {1000, 1000, 32760, -32768, 0, -8, 0, 8}, {496, -504, 12344, -12352, 16, -16, 0, 8}},
        // Step 0.5: phases 0 and 16384 alternate; the odd frames sit halfway.
        {"half speed", Ramp(1000, 32), {}, 44100, 22050, false, 0, 400,
         {0, 496, 1000, 1496, 2000, 2496, 3000, 3496}, {0, 0, 0, 0, 0, 0, 0, 0}},
        // 11025 Hz data at 33075: step 0.75, phases 0, 24576, 16384, 8192 in every group.
        {"three quarters", Ramp(1000, 32), {}, 11025, 33075, false, 0, 400,
         {0, 744, 1496, 2248, 3000, 3744, 4496, 5248}, {}},
        {"double speed", Ramp(8, 32), {}, 44100, 88200, false, 0, 400,
         {0, 16, 32, 48, 64, 80, 96, 112}, {}},
        // The loop jump happens when the last frame is reached: it is never played as cur.
        {"loop from start", Ramp(8, 8, 8), {}, 44100, 44100, true, 0, 8,
         {8, 16, 24, 32, 40, 48, 56, 8, 16, 24, 32, 40, 48, 56, 8}, {}},
        {"loop from frame 2", Ramp(8, 8, 8), {}, 44100, 44100, true, 2, 8,
         {8, 16, 24, 32, 40, 48, 56, 24, 32, 40, 48, 56, 24}, {}},
        // The last frame interpolates towards 0; nothing after the data.
        {"end at half speed", {1000, 2000, 3000, 4000}, {}, 44100, 22050, false, 0, 4,
         {1000, 1496, 2000, 2496, 3000, 3496, 4000, 2000, 0, 0, 0, 0}, {}},
        {"end inside a group", {1000, 2000, 3000, 4000, 5000, 6000}, {}, 44100, 44100, false, 0,
         6, {1000, 2000, 3000, 4000, 5000, 6000, 0, 0, 0}, {}},
    };
    for (const GOLDENCASE &c : cases) {
        SCOPED_TRACE(c.name);
        SAMPLESLOT *pSlot = Stereo(c.left, c.right, c.rate, c.frames, c.loop, c.loopFrame);
        VOICE *pVoice = &g_astVoices[5];
        Play(pVoice, pSlot, c.pitch);
        Mix();
        for (size_t j = 0; j < c.wantLeft.size(); j++)
            EXPECT_EQ(L((int)j), c.wantLeft[j]) << "left frame " << j;
        for (size_t j = 0; j < c.wantRight.size(); j++)
            EXPECT_EQ(R((int)j), c.wantRight[j]) << "right frame " << j;
        if (!c.loop && c.frames < FRAMES) {
            for (int j = (int)c.wantLeft.size(); j < FRAMES; j++)
                ASSERT_EQ(L(j), 0) << "frame " << j;
            EXPECT_EQ(pVoice->uState, 0u);
            EXPECT_EQ(pVoice->pSlot, nullptr);
            EXPECT_EQ(pSlot->auVoiceMask[0], 0u);
        }
        Snd_FreeSample(pSlot);
    }
}

TEST_F(MixerTest, PanAndVolume)
{
    struct
    {
        int32_t a, b;
        int16_t wantLeft, wantRight;
    } cases[] = {
        {16384, 16384, 1000, 1000}, // a drives the right word, b the left
        {16384, 8192, 496, 1000},
        {8192, 0, 0, 496},
        {-16384, 16384, 1000, -1000},
        {32767, 32767, 1000, 1000}, // above unity is held at unity, not wrapped
    };
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << "," << c.b);
        SAMPLESLOT *pSlot = Constant(1000, 400);
        Play(&g_astVoices[0], pSlot, 44100, c.a, c.b);
        Mix();
        for (int j = 0; j < FRAMES; j++) {
            ASSERT_EQ(L(j), c.wantLeft) << j;
            ASSERT_EQ(R(j), c.wantRight) << j;
        }
        Snd_FreeSample(pSlot);
    }
}

TEST_F(MixerTest, ManyLoudVoicesSaturate)
{
    SAMPLESLOT *pHigh = Constant(32767, 400);
    SAMPLESLOT *pLow = Constant(-32768, 400);
    for (int v = 0; v < 8; v++)
        Play(&g_astVoices[v], pHigh, 44100);
    Mix();
    for (int j = 0; j < FRAMES; j++)
        ASSERT_TRUE(L(j) == 32767 && R(j) == 32767) << j;
    for (int v = 0; v < 8; v++)
        Play(&g_astVoices[v], pLow, 44100);
    Mix();
    for (int j = 0; j < FRAMES; j++)
        ASSERT_TRUE(L(j) == -32768 && R(j) == -32768) << j;
}

TEST_F(MixerTest, MasterVolume)
{
    SAMPLESLOT *pSlot = Constant(1000, 4000);
    VOICE *pVoice = &g_astVoices[3];

    // Program start: 16383, a quarter of unity. (16384 * 16383) >> 16 = 4095; 1000 -> 248.
    g_aiMasterVolume[0] = g_aiMasterVolume[1] = 16383;
    Play(pVoice, pSlot, 44100, 16384, 16384);
    Mix();
    EXPECT_EQ(L(0), 248);

    // A new master is applied once to a playing voice, and again once when set again.
    Snd_SetMasterVolume(0x4000, 0x4000);
    Mix();
    EXPECT_EQ(L(0), 1000);
    EXPECT_EQ(R(0), 1000);
    Snd_SetMasterVolume(0x4000, 0x4000);
    Mix();
    EXPECT_EQ(L(0), 1000);

    // A negative right volume keeps its sign: -1000 at master 4 x 8191 is -500.
    Snd_SetVoiceVolume(pVoice, -1000, 1000);
    Snd_SetMasterVolume(8191, 8191);
    EXPECT_EQ((int16_t)(pVoice->auVolume[0] >> 16), -500);
    EXPECT_EQ((int16_t)(pVoice->auVolume[0] & 0xFFFF), 499);
    Mix();
    EXPECT_LT(R(0), 0);
    EXPECT_GT(L(0), 0);
    EXPECT_EQ(R(0), -L(0) - 8); // the same magnitude, rounded down on both sides
}

TEST_F(MixerTest, PitchSteps)
{
    struct
    {
        uint32_t sampleRate;
        int32_t pitch;
        bool stereo;
        int32_t step, blockAdvance;
        uint32_t phases[4];
    } cases[] = {
        {44100, 44100, true, 65536, 144, {0, 0, 0, 0}},
        {44100, 22050, true, 32768, 72, {0, 16384, 0, 16384}},
        {22050, 44100, true, 65536, 144, {0, 0, 0, 0}},
        {11025, 44100, true, 65536, 144, {0, 0, 0, 0}},
        {11025, 22050, true, 32768, 72, {0, 16384, 0, 16384}},
        {11025, 33075, true, 49152, 108, {0, 24576, 16384, 8192}},
        // Other rates keep the unscaled 4.12 step.
        {32000, 32000, true, 4096, 9, {0, 2048, 4096, 6144}},
        {44100, 44100, false, 256, 0, {}},
        {22050, 44100, false, 256, 0, {}},
        {11025, 44100, false, 256, 0, {}},
        // Negative and absurd rates never step backwards or beyond the block estimate.
        {44100, -44100, true, 0, 0, {0, 0, 0, 0}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.sampleRate << " at " << c.pitch);
        SAMPLESLOT *pSlot = c.stereo ? Constant(0, 100, c.sampleRate) : Mono({0, 0, 0}, c.sampleRate);
        VOICE *pVoice = &g_astVoices[1];
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        Snd_SetVoicePitch(pVoice, c.pitch);
        EXPECT_EQ(pVoice->iStep, c.step);
        if (c.stereo) {
            EXPECT_EQ(pVoice->iBlockAdvance, c.blockAdvance);
            for (int k = 0; k < 4; k++)
                EXPECT_EQ(pVoice->auPhase[k], c.phases[k] << 16 | c.phases[k]) << k;
            uint32_t inc = (2 * (uint32_t)c.step) & 0xFFFF;
            EXPECT_EQ(pVoice->auPhaseInc[0], inc << 16 | inc);
        }
        Snd_FreeSample(pSlot);
    }
    // A step so large that step * 144 would overflow is held below that, and mixes in bounds.
    SAMPLESLOT *pSlot = Constant(1000, 100, 100);
    Play(&g_astVoices[1], pSlot, 500000);
    EXPECT_EQ(g_astVoices[1].iStep, INT32_MAX / 144);
    EXPECT_EQ(g_astVoices[1].iBlockAdvance, (INT32_MAX / 144 * 144) >> 16);
    Mix();
    EXPECT_EQ(g_astVoices[1].uState, 0u);
}

TEST_F(MixerTest, FramesPerBlock)
{
    struct
    {
        uint32_t sampleRate;
        int32_t pitch;
        int64_t frames;
    } cases[] = {{44100, 44100, 72}, {44100, 22050, 36}, {22050, 44100, 72}, {11025, 44100, 72}};
    for (auto &c : cases) {
        SAMPLESLOT *pSlot = Constant(100, 1000, c.sampleRate);
        Play(&g_astVoices[7], pSlot, c.pitch);
        Mix();
        EXPECT_EQ((g_astVoices[7].pCurrent - g_astVoices[7].pStart) / 4, c.frames) << c.pitch;
        Snd_FreeSample(pSlot);
    }
}

// Steps ending exactly at, just before and just after the data's end: every frame of the data is
// heard once, nothing after it, and nothing is read past the zero guard (ASan build).
TEST_F(MixerTest, EndsCleanlyForEveryStep)
{
    const int32_t steps[] = {65536, 65535, 65537, 61900, 49152, 32768, 131072, 3 * 65536 + 7, 1000};
    const uint32_t lengths[] = {1, 2, 3, 4, 5, 71, 72, 73, 143, 144, 145, 216, 217};
    for (int32_t step : steps) {
        for (uint32_t frames : lengths) {
            for (bool loop : {false, true}) {
                SCOPED_TRACE(testing::Message() << "step " << step << " frames " << frames
                                                << (loop ? " looping" : ""));
                SAMPLESLOT *pSlot = Stereo(std::vector<int16_t>(frames, 800),
                                           std::vector<int16_t>(frames, 800), 44100, frames, loop);
                VOICE *pVoice = &g_astVoices[98];
                Play(pVoice, pSlot, 44100);
                // Set the raw step the way pitch does, with a carried fraction.
                pVoice->iStep = step;
                pVoice->iBlockAdvance = (step * 144) >> 16;
                pVoice->uFraction = 0x8000;
                int blocks = 0;
                for (; blocks < 600 && (pVoice->uState & VOICE_ACTIVE); blocks++) {
                    Mix();
                    for (int j = 0; j < FRAMES; j++)
                        ASSERT_TRUE(L(j) == 800 || L(j) == 0 || L(j) == 400) << j << " " << L(j);
                }
                if (!loop) {
                    EXPECT_LT(blocks, 600);
                    Mix();
                    for (int j = 0; j < FRAMES; j++)
                        ASSERT_EQ(L(j), 0);
                }
                Snd_FreeSample(pSlot);
            }
        }
    }
    // At unity from frame 0 every frame of the data is heard, except a last frame that would
    // start a group of four on its own: a group never starts on the last frame.
    for (uint32_t frames : lengths) {
        uint32_t want = (frames - 1) % 4 == 0 ? frames - 1 : frames;
        SAMPLESLOT *pSlot = Constant(800, frames);
        VOICE *pVoice = &g_astVoices[98];
        Play(pVoice, pSlot, 44100);
        uint32_t heard = 0;
        while (pVoice->uState & VOICE_ACTIVE) {
            Mix();
            for (int j = 0; j < FRAMES; j++)
                heard += L(j) != 0;
        }
        EXPECT_EQ(heard, want) << frames;
        Snd_FreeSample(pSlot);
    }
}

// Stereo data whose zero guard ends right at an inaccessible page: a read past the guard faults.
class GuardedStereo
{
public:
    GuardedStereo(uint32_t frames, int16_t value)
    {
        size_t page = (size_t)sysconf(_SC_PAGESIZE);
        size_t bytes = (size_t)frames * 4 + SAMPLE_GUARD_BYTES;
        m_size = (bytes + page - 1) / page * page + page;
        void *p = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(p, MAP_FAILED);
        m_pBase = (uint8_t *)p;
        EXPECT_EQ(mprotect(m_pBase + m_size - page, page, PROT_NONE), 0);
        m_pData = m_pBase + m_size - page - bytes;
        int16_t *w = (int16_t *)m_pData;
        for (size_t i = 0; i < (size_t)frames * 2; i++)
            w[i] = value;
        memset(m_pData + (size_t)frames * 4, 0, SAMPLE_GUARD_BYTES);
        m_frames = frames;
    }
    ~GuardedStereo() { munmap(m_pBase, m_size); }

    // A slot borrowing the guarded data.
    SAMPLESLOT *Slot(bool loop)
    {
        SAMPLESLOT *pSlot = nullptr;
        EXPECT_GT(Snd_AllocSampleSlot(&pSlot), 0);
        pSlot->pData = m_pData;
        pSlot->uFrames = m_frames;
        pSlot->uRate = 44100;
        pSlot->uFlags = SAMPLE_STEREO | SAMPLE_LOADED | SAMPLE_BORROWED | (loop ? SAMPLE_LOOPS : 0);
        Snd_ResetSamplePointers(pSlot);
        return pSlot;
    }

private:
    uint8_t *m_pBase = nullptr, *m_pData = nullptr;
    size_t m_size = 0;
    uint32_t m_frames = 0;
};

// Every block length the mix parameters accept: the stereo path mixes the whole block, never
// reads past the data's zero guard (a read past it faults), plays every frame of a short sample
// once and ends it.
TEST_F(MixerTest, EveryAcceptedBlockLengthStaysInsideTheData)
{
    // At a rate of 1 Hz a block of n seconds is n frames, cut to a multiple of four: probe which
    // lengths are accepted.
    float one = 1.0f;
    ASSERT_EQ(Snd_SetMixParam(1, &one), 0);
    std::vector<int32_t> accepted;
    for (int32_t n = 0; n <= SND_MAX_MIX_FRAMES + 8; n++) {
        float seconds = (float)n;
        if (Snd_SetMixParam(4, &seconds) == 0) {
            ASSERT_EQ(g_iMixFrames, n & ~3) << n;
            if (accepted.empty() || accepted.back() != g_iMixFrames)
                accepted.push_back(g_iMixFrames);
        }
    }
    ASSERT_EQ(accepted.size(), (size_t)SND_MAX_MIX_FRAMES / 4);
    EXPECT_EQ(accepted.front(), 4);
    EXPECT_EQ(accepted.back(), SND_MAX_MIX_FRAMES);

    std::vector<int16_t> block((size_t)SND_MAX_MIX_FRAMES * 2);
    Snd_SetMixParam(16, block.data());
    Snd_SetMixParam(32, block.data());
    for (bool portable : {false, true}) {
        Snd_SetPortableMix(portable);
        for (int32_t frames : accepted) {
            float seconds = (float)frames;
            ASSERT_EQ(Snd_SetMixParam(4, &seconds), 0);
            for (uint32_t length : {(uint32_t)frames / 2 + 3, (uint32_t)frames * 2 + 5}) {
                for (bool loop : {false, true}) {
                    SCOPED_TRACE(testing::Message() << "block " << frames << " data " << length
                                                    << (loop ? " looping" : "")
                                                    << (portable ? " portable" : ""));
                    GuardedStereo data(length, 800);
                    SAMPLESLOT *pSlot = data.Slot(loop);
                    VOICE *pVoice = &g_astVoices[3];
                    Play(pVoice, pSlot, 44100);
                    uint32_t heard = 0;
                    int most = loop ? 4 : (int)(length / (uint32_t)frames) + 3;
                    for (int b = 0; b < most && (pVoice->uState & VOICE_ACTIVE); b++) {
                        std::fill(block.begin(), block.end(), 0);
                        ASSERT_EQ(Snd_MixBlock(), 0);
                        for (int32_t j = 0; j < frames; j++) {
                            ASSERT_TRUE(block[2 * j] == 800 || block[2 * j] == 0) << j;
                            heard += block[2 * j] == 800;
                        }
                    }
                    if (loop) {
                        EXPECT_EQ(heard, 4u * (uint32_t)frames);
                    } else {
                        EXPECT_FALSE(pVoice->uState & VOICE_ACTIVE);
                        // A last frame alone at the start of a group of four is not mixed.
                        EXPECT_EQ(heard, (length - 1) % 4 == 0 ? length - 1 : length);
                    }
                    Snd_StopVoice(pVoice);
                    Snd_FreeSample(pSlot);
                }
            }
        }
    }
    Snd_SetPortableMix(false);
    float rate = 44100.0f, seconds = 0.0016666667f;
    Snd_SetMixParam(1, &rate);
    Snd_SetMixParam(4, &seconds);
    Snd_SetMixParam(16, out);
    Snd_SetMixParam(32, send);
}

TEST_F(MixerTest, StartOffset)
{
    SAMPLESLOT *pSlot = Stereo(Ramp(8, 100), {}, 44100);
    VOICE *pVoice = &g_astVoices[10];
    Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
    Snd_SetVoicePitch(pVoice, 44100);
    Snd_SetVoiceVolume(pVoice, 16384, 16384);
    Snd_SetVoiceStartOffset(pVoice, 10);
    Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
    EXPECT_EQ(pVoice->pCurrent - pVoice->pStart, 40);
    EXPECT_EQ(pVoice->uStartOffset, 40u);
    Mix();
    EXPECT_EQ(L(0), 80);
    Snd_StopVoice(pVoice);
    EXPECT_EQ(pVoice->uStartOffset, 0u);

    SAMPLESLOT *pMono = Mono(Ramp(8, 100), 44100);
    VOICE *pPreview = &g_stPreviewVoice;
    Snd_StartVoice(pPreview, pMono, VOICE_PREPARED);
    Snd_SetVoiceStartOffset(pPreview, 10);
    Snd_StartVoice(pPreview, pMono, VOICE_ACTIVE);
    EXPECT_EQ(pPreview->pCurrent - pPreview->pStart, 20);
    EXPECT_EQ(pPreview->uStartOffset, 10u);

    // An offset past the end leaves the position alone.
    Snd_SetVoiceStartOffset(pPreview, 1000);
    EXPECT_EQ(pPreview->pCurrent - pPreview->pStart, 20);
}

TEST_F(MixerTest, PreviewVoice)
{
    // 8.8 step 0.5 at 44100 Hz: interpolates on odd frames; volume 8192 halves it.
    SAMPLESLOT *pSlot = Mono({1000, 2000, 3000, 4000}, 44100);
    VOICE *pVoice = &g_stPreviewVoice;
    Play(pVoice, pSlot, 22050, 8192, 16384);
    EXPECT_EQ(pVoice->iStep, 128);
    Mix();
    // The last frame interpolates towards the loop sample, which is the start when not looping.
    const int16_t wantLeft[] = {500, 750, 1000, 1250, 1500, 1750, 2000, 1250};
    for (int j = 0; j < 8; j++) {
        EXPECT_EQ(L(j), wantLeft[j]) << j;
        EXPECT_EQ(R(j), 2 * wantLeft[j]) << j;
    }
    for (int j = 8; j < FRAMES; j++)
        ASSERT_EQ(L(j), 0);
    // Ended: stopped, rewound, and the editor is told.
    EXPECT_EQ(pVoice->uState, 0u);
    EXPECT_EQ(pVoice->pCurrent, pVoice->pStart);
    EXPECT_EQ(g_bPreviewEnded.load(), 1);
    EXPECT_EQ(g_bPreviewPlaying.load(), 0);
    EXPECT_EQ(g_iPreviewPlayPosition.load(), 0);

    // Looping: the sample after the last one is the loop sample; loud data clamps.
    SAMPLESLOT *pLoop = Mono({30000, 30000, 30000, -30000}, 44100, true);
    Play(pVoice, pLoop, 44100, 16384, 32767);
    Mix();
    EXPECT_EQ(pVoice->uState, (uint32_t)VOICE_ACTIVE);
    EXPECT_EQ(R(0), 32767);
    EXPECT_EQ(R(3), -32768);
    EXPECT_EQ(L(4), 30000);
    EXPECT_EQ(g_bPreviewPlaying.load(), 1);
    EXPECT_EQ(g_iPreviewPlayPosition.load(), (int32_t)((pVoice->pCurrent - pVoice->pStart) / 2));
}

TEST_F(MixerTest, InterfaceSounds)
{
    SAMPLESLOT &sound = g_astInterfaceSounds[2];
    ASSERT_EQ(Snd_AllocSampleData(&sound, 40, true), 0);
    sound.uRate = 11025;
    for (int i = 0; i < 40; i++)
        ((int16_t *)sound.pData)[2 * i] = ((int16_t *)sound.pData)[2 * i + 1] = 1000;
    g_iInterfaceVolume = 255;
    Snd_PlayInterfaceSound(2);
    EXPECT_EQ(g_iInterfaceVoiceOn.load(), 1);
    EXPECT_EQ(g_stInterfaceVoice.iStep, 32768); // sound 2 at half speed
    // A song voice ending in the same block does not cut it.
    SAMPLESLOT *pShort = Constant(1000, 4);
    Play(&g_astVoices[0], pShort, 44100);
    Mix();
    EXPECT_EQ(g_astVoices[0].uState, 0u);
    EXPECT_EQ(g_iInterfaceVoiceOn.load(), 1);
    EXPECT_GT(L(60), 0);
    // 40 frames at half speed end in the second block.
    Mix();
    EXPECT_EQ(g_iInterfaceVoiceOn.load(), 0);
    EXPECT_EQ(sound.auVoiceMask[3], 0u);
    Snd_PlayInterfaceSoundAt(1, 44100, 12287); // an empty sound plays nothing
    Snd_PlayInterfaceSound(7);                 // no such sound
    Mix();
    EXPECT_EQ(L(0), 0);
}

// Freeing a sample stops exactly the voices that play it: the interface and preview voices have
// numbers of their own, so neither names song voice 0 in the masks.
TEST_F(MixerTest, FreeingASampleStopsItsVoicesOnly)
{
    SAMPLESLOT *pEdited = Mono(std::vector<int16_t>(1000, 500), 44100);
    SAMPLESLOT *pSong = Constant(1000, 4000);
    Play(&g_astVoices[0], pSong, 44100);
    Play(&g_astVoices[40], pSong, 44100);
    Play(&g_stPreviewVoice, pEdited, 44100, 8191, 8191);
    EXPECT_EQ(pEdited->auVoiceMask[0], 0u);
    EXPECT_EQ(pEdited->auVoiceMask[3], 1u << (SND_PREVIEW_VOICE_NUMBER - 96));
    EXPECT_EQ(pSong->auVoiceMask[0], 1u);
    EXPECT_EQ(pSong->auVoiceMask[1], 1u << 8);

    Snd_FreeSample(pEdited);
    EXPECT_EQ(g_stPreviewVoice.uState, 0u);
    EXPECT_EQ(g_stPreviewVoice.pStart, nullptr);
    EXPECT_EQ(g_astVoices[0].uState, (uint32_t)VOICE_ACTIVE);
    Mix();
    EXPECT_EQ(L(0), 2000);

    // A key-on after the free (without a new prepare) plays nothing.
    Snd_FreeSample(pSong);
    EXPECT_EQ(g_astVoices[0].uState, 0u);
    EXPECT_EQ(g_astVoices[40].uState, 0u);
    Snd_StartVoice(&g_astVoices[40], &g_astInterfaceSounds[0], 0);
    Mix();
    EXPECT_EQ(L(0), 0);

    Snd_StopVoiceIndex(99);
    Snd_StopVoiceIndex(-1);
}

TEST_F(MixerTest, StopAllAndReprepare)
{
    SAMPLESLOT *pA = Constant(1000, 4000);
    SAMPLESLOT *pB = Constant(2000, 4000);
    Play(&g_astVoices[2], pA, 44100);
    Snd_StopAllVoices();
    EXPECT_EQ(g_astVoices[2].uState, 0u);
    EXPECT_EQ(pA->auVoiceMask[0], 1u << 2); // stays listed until stopped or prepared
    Play(&g_astVoices[2], pB, 44100);
    EXPECT_EQ(pA->auVoiceMask[0], 0u);
    Snd_FreeSample(pA); // must not stop the voice now playing B
    EXPECT_EQ(g_astVoices[2].uState, (uint32_t)VOICE_ACTIVE);
}

TEST_F(MixerTest, Destinations)
{
    int16_t input[FRAMES * 2] = {};
    PLUGININSTANCE plugin = {.uBlockFlag = 0, .pInput = input};
    SAMPLESLOT *pSlot = Constant(1000, 4000);
    VOICE *pVoice = &g_astVoices[4];
    Play(pVoice, pSlot, 44100);
    pVoice->uReverbSend = 1;

    // Voices start on plug-in slot 0: with an instance there, they feed its input.
    g_apPlugins[0] = &plugin;
    Mix();
    EXPECT_EQ(input[0], 1000);
    EXPECT_EQ(L(0), 0);

    // Without a plug-in: the send block while reverb is on, else the output.
    Snd_SetVoicePlugin(4, -1);
    memset(input, 0, sizeof(input));
    g_bReverbOn = 1;
    memset(out, 0, sizeof(out));
    memset(send, 0, sizeof(send));
    g_apPlugins[0] = nullptr;
    g_bReverbOn = 1;
    ASSERT_EQ(Snd_MixBlock(), 0);
    EXPECT_EQ(send[0], 1000);
    EXPECT_EQ(input[0], 0);
    g_bReverbOn = 0;
    Mix();
    EXPECT_EQ(L(0), 1000);
    EXPECT_EQ(send[0], 0);
}

TEST_F(MixerTest, MixParams)
{
    float rate = 44100.0f, seconds = 0.0016666667f, bad = -1.0f, nan = NAN;
    int dummy;
    struct
    {
        int32_t selector;
        void *pValue;
        int result;
    } cases[] = {{0, &dummy, -1}, {1, nullptr, -1}, {1, &rate, 0}, {2, &dummy, 0},
                 {4, &seconds, 0}, {4, &bad, -1}, {4, &nan, -1}, {1, &nan, -1}, {64, &dummy, 0}};
    for (auto &c : cases)
        EXPECT_EQ(Snd_SetMixParam(c.selector, c.pValue), c.result) << c.selector;
    EXPECT_EQ(g_iMixFrames, 72);
    EXPECT_EQ(g_iMixRate, 44100);
    Snd_SetMixParam(8, &dummy);
    EXPECT_EQ((void *)g_pMixScratch, (void *)&dummy);

    g_pMixOut = nullptr;
    EXPECT_EQ(Snd_MixBlock(), -1);
}

TEST_F(MixerTest, ReleaseListFreesAtTheNextBlock)
{
    SAMPLESLOT *pSlot = Constant(1000, 400);
    uint32_t index = pSlot->uIndex;
    Play(&g_astVoices[0], pSlot, 44100);
    Snd_QueueSampleRelease(pSlot);
    EXPECT_EQ(g_ppSampleSlots[index], pSlot);
    Mix();
    EXPECT_EQ(g_ppSampleSlots[index], nullptr);
    EXPECT_EQ(g_astVoices[0].uState, 0u);
    EXPECT_EQ(L(0), 0);
}

// Voice operations and frees on another thread while blocks are mixed: the lock keeps the mix
// off freed data (the sanitizer build checks it).
TEST_F(MixerTest, VoiceOperationsFromAnotherThread)
{
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        while (!done) {
            std::lock_guard<std::recursive_mutex> lock(g_csMix);
            memset(out, 0, sizeof(out));
            Snd_MixBlock();
        }
    });
    for (int i = 0; i < 300; i++) {
        SAMPLESLOT *pSlot = Constant((int16_t)(i * 10), 100 + i);
        for (int v = 0; v < 4; v++)
            Play(&g_astVoices[(i + v) % SND_VOICE_COUNT], pSlot, 22050 + i * 100);
        Snd_SetMasterVolume(i, 0x3FFF);
        Snd_FreeSample(pSlot);
    }
    done = true;
    mixer.join();
}

} // namespace

namespace {

// The stereo block written out frame by frame, one position update after another, as a plain
// reference for the mixer's gathered and vectorised paths.
struct REFVOICE
{
    const uint8_t *pStart;
    int64_t pos, end, loop;
    bool loops;
    uint32_t fraction, step, phase[4], inc, volume;
    int32_t blockAdvance;
    bool active;
};

int16_t RefWord(int16_t dst, int16_t cur, int16_t next, uint16_t phase, int16_t volume)
{
    int16_t c = (int16_t)(cur >> 1), n = (int16_t)(next >> 1);
    int16_t d = (int16_t)(n - c);
    int16_t t = (int16_t)(((int32_t)d * (int16_t)phase) >> 16);
    int16_t s = (int16_t)(t * 2 + c);
    int16_t v = (int16_t)(uint16_t)((((int32_t)s * volume) >> 16) << 3);
    int32_t sum = dst + v;
    return (int16_t)std::clamp(sum, -32768, 32767);
}

void RefMixBlock(REFVOICE &r, int16_t *pDst, int frames)
{
    int64_t limit = r.end - 4;
    bool ending = !r.loops && r.pos + 2 * (int64_t)r.blockAdvance >= limit;
    bool looping = r.loops && r.pos + 2 * (int64_t)r.blockAdvance >= limit;
    auto word = [&](int64_t at, int ch) {
        int16_t w;
        memcpy(&w, r.pStart + at + 2 * ch, 2);
        return w;
    };
    for (int g = 0; g < frames / 4; g++) {
        if (ending && r.pos >= limit)
            break;
        int16_t cur[4][2], next[4][2];
        for (int k = 0; k < 4; k++) {
            if (looping && r.pos >= limit)
                r.pos = r.loop;
            for (int ch = 0; ch < 2; ch++) {
                bool pastEnd = ending && r.pos >= r.end;
                bool atLimit = ending && r.pos >= limit;
                cur[k][ch] = pastEnd ? 0 : word(r.pos, ch);
                next[k][ch] = atLimit ? 0 : word(r.pos + 4, ch);
            }
            uint32_t f = r.fraction + r.step;
            r.pos += (int64_t)(f >> 16) * 4;
            r.fraction = f & 0xFFFF;
        }
        for (int k = 0; k < 4; k++) {
            for (int ch = 0; ch < 2; ch++) {
                uint16_t phase = (uint16_t)(r.phase[k] >> (16 * ch));
                int16_t volume = (int16_t)(r.volume >> (16 * ch));
                int16_t &dst = pDst[(g * 4 + k) * 2 + ch];
                dst = RefWord(dst, cur[k][ch], next[k][ch], phase, volume);
            }
            uint32_t low = ((r.phase[k] & 0xFFFF) + (r.inc & 0xFFFF)) & 0x7FFF;
            uint32_t high = ((r.phase[k] >> 16) + (r.inc >> 16)) & 0x7FFF;
            r.phase[k] = high << 16 | low;
        }
    }
    if (ending)
        r.active = false;
}

TEST_F(MixerTest, MatchesFrameByFrameReference)
{
    std::mt19937 rng(12345);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 400; trial++) {
        SCOPED_TRACE(trial);
        uint32_t frames = (uint32_t)pick(1, 700);
        std::vector<int16_t> left(frames), right(frames);
        for (uint32_t i = 0; i < frames; i++) {
            left[i] = (int16_t)pick(-32768, 32767);
            right[i] = (int16_t)pick(-32768, 32767);
        }
        bool loop = pick(0, 1);
        SAMPLESLOT *pSlot = Stereo(left, right, 44100, frames, loop, (uint32_t)pick(0, (int)frames - 1));
        VOICE *pVoice = &g_astVoices[pick(0, 98)];
        const int32_t pitches[] = {44100, 22050, 88200, 33075, 11025, 176400};
        Play(pVoice, pSlot, pick(0, 3) ? pick(100, 200000) : pitches[pick(0, 5)], pick(-16384, 16384),
             pick(-16384, 16384));
        pVoice->uFraction = (uint32_t)pick(0, 65535);

        REFVOICE r{pVoice->pStart, 0, pVoice->pEnd - pVoice->pStart, pVoice->pLoop - pVoice->pStart,
                   loop, pVoice->uFraction, (uint32_t)pVoice->iStep, {}, pVoice->auPhaseInc[0],
                   pVoice->auVolume[0], pVoice->iBlockAdvance, true};
        r.pos = pVoice->pCurrent - pVoice->pStart;
        memcpy(r.phase, pVoice->auPhase, sizeof(r.phase));

        for (int block = 0; block < 4 && r.active; block++) {
            int16_t want[FRAMES * 2] = {};
            RefMixBlock(r, want, FRAMES);
            Mix();
            ASSERT_EQ(memcmp(out, want, sizeof(out)), 0) << "block " << block;
            if (r.active) {
                ASSERT_EQ(pVoice->pCurrent - pVoice->pStart, r.pos);
                ASSERT_EQ(pVoice->uFraction, r.fraction);
                ASSERT_EQ(memcmp(pVoice->auPhase, r.phase, sizeof(r.phase)), 0);
            } else {
                ASSERT_EQ(pVoice->uState, 0u);
            }
        }
        Snd_StopVoice(pVoice);
        Snd_FreeSample(pSlot);
    }
}

} // namespace
