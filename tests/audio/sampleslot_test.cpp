#include "audio/adpcm.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/file.h"
#include "support/tempdir.h"
#include "tools/soundcontent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class SampleSlots : public ::testing::Test
{
protected:
    TempDir m_dir;
    char m_savedDataDir[256];

    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        std::memcpy(m_savedDataDir, g_szDataDir, sizeof m_savedDataDir);
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", m_dir.Path().c_str());
        g_szErrorText[0] = 0;
    }

    void TearDown() override
    {
        Snd_FreeInterfaceSounds();
        Snd_ShutdownSampleEngine();
        std::memcpy(g_szDataDir, m_savedDataDir, sizeof m_savedDataDir);
    }

    static int16_t Left(const SAMPLESLOT *p, uint32_t frame) { return ((const int16_t *)p->pData)[frame * 2]; }
    static int16_t Right(const SAMPLESLOT *p, uint32_t frame) { return ((const int16_t *)p->pData)[frame * 2 + 1]; }

    static Bytes Adpcm(std::vector<uint8_t> flags, uint8_t shift = 12)
    {
        Bytes data;
        for (uint8_t f : flags) {
            uint8_t block[ADPCM_BLOCK_BYTES] = {shift, f, 0x21, 0x43}; // nibbles 1, 2, 3, 4
            data.insert(data.end(), block, block + ADPCM_BLOCK_BYTES);
        }
        return data;
    }

    static int Count()
    {
        int n = 0;
        for (int i = 0; i < g_iSampleSlotCount; i++)
            n += g_ppSampleSlots[i] != nullptr;
        return n;
    }
};

} // namespace

TEST_F(SampleSlots, LoadsFromMemoryWidenedToStereo)
{
    const uint8_t raw[] = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0x7F};
    SAMPLESLOT *p = nullptr;
    ASSERT_EQ(Snd_LoadSample(&p, "raw", raw, sizeof raw, SAMPLE_FORMAT_RAW_MEMORY), 0);
    EXPECT_EQ(p->uIndex, 1u) << "slot 0 is the engine's";
    EXPECT_EQ(p->uFrames, 3u) << "odd last byte left";
    EXPECT_EQ(p->uBytes, 7u);
    EXPECT_EQ(p->uRate, 44100u);
    EXPECT_EQ(p->uFlags, (uint32_t)(SAMPLE_LOADED | SAMPLE_STEREO));
    const int16_t want[] = {1, -1, -32768};
    for (uint32_t i = 0; i < 3; i++) {
        EXPECT_EQ(Left(p, i), want[i]);
        EXPECT_EQ(Right(p, i), want[i]);
    }
    EXPECT_EQ(p->pStart, p->pData);
    EXPECT_EQ(p->pCurrent, p->pData);
    EXPECT_EQ(p->pEnd, p->pData + 12);
    EXPECT_EQ(p->pLoop, p->pData);

    Bytes adpcm = Adpcm({0, 6, 3});
    ASSERT_EQ(Snd_LoadSample(&p, "adpcm", adpcm.data(), (uint32_t)adpcm.size(), SAMPLE_FORMAT_ADPCM_MEMORY), 0);
    EXPECT_EQ(p->uIndex, 2u);
    EXPECT_EQ(p->uFrames, 56u);
    EXPECT_EQ(p->uFlags, (uint32_t)(SAMPLE_LOADED | SAMPLE_STEREO | SAMPLE_LOOPS));
    EXPECT_EQ(p->uLoopStartFrame, 0u) << "loop mark on the first output block";
    EXPECT_EQ(Left(p, 0), 1);
    EXPECT_EQ(Right(p, 3), 4);
    EXPECT_EQ(p->pLoop, p->pData);
}

TEST_F(SampleSlots, FailedLoadsLeaveNoSlot)
{
    struct Case
    {
        const char *what;
        const char *name;
        const void *data;
        uint32_t size;
        uint32_t format;
    };
    static const uint8_t small[16] = {};
    const Case cases[] = {
        {"unknown format", "x", small, 16, 32},
        {"format 0", "x", small, 16, 0},
        {"missing raw file", "no\\such\\file.raw", nullptr, 0, SAMPLE_FORMAT_RAW_FILE},
        {"missing AIFF file", "nofile.aif", nullptr, 0, SAMPLE_FORMAT_AIFF_FILE},
        {"AIFF image", "x", small, 16, SAMPLE_FORMAT_AIFF_MEMORY},
        {"raw memory without data", "x", nullptr, 16, SAMPLE_FORMAT_RAW_MEMORY},
        {"ADPCM without data", "x", nullptr, 32, SAMPLE_FORMAT_ADPCM_MEMORY},
        // Counts far beyond the data: refused before a byte is read.
        {"huge raw count", "x", small, 0xFFFFFFFFu, SAMPLE_FORMAT_RAW_MEMORY},
        {"huge ADPCM count", "x", small, 0xFFFFFFF0u, SAMPLE_FORMAT_ADPCM_MEMORY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_szErrorText[0] = 0;
        SAMPLESLOT *p = nullptr;
        EXPECT_EQ(Snd_LoadSample(&p, c.name, c.data, c.size, c.format), -1);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(Count(), 1) << "only the engine's slot";
        EXPECT_NE(g_szErrorText[0], 0) << "says why";
    }
}

TEST_F(SampleSlots, RawFileReadsWholeWords)
{
    std::string bytes;
    for (int i = 0; i < 1001; i++)
        bytes.push_back((char)(i & 0xFF));
    WriteTextFile(m_dir.File("Take1.RAW"), bytes);
    SAMPLESLOT *p = nullptr;
    // Backslashes and another letter case find the file all the same.
    std::string name = m_dir.Path() + "\\take1.raw";
    ASSERT_EQ(Snd_LoadSample(&p, name.c_str(), nullptr, 0, SAMPLE_FORMAT_RAW_FILE), 0);
    EXPECT_EQ(p->uFrames, 500u);
    EXPECT_EQ(p->uBytes, 1001u) << "the file's length";
    EXPECT_EQ(Left(p, 0), 0x0100);
    EXPECT_EQ(Left(p, 499), (int16_t)0xE7E6);
    EXPECT_STREQ(p->szName, name.c_str());
}

TEST_F(SampleSlots, NamesAreCutAt255)
{
    std::string longName(400, 'n');
    uint8_t raw[4] = {};
    SAMPLESLOT *p = nullptr;
    ASSERT_EQ(Snd_LoadSample(&p, longName.c_str(), raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    EXPECT_EQ(std::strlen(p->szName), 255u);
}

TEST_F(SampleSlots, WidenAndNarrowKeepDataAndLoop)
{
    Bytes adpcm = Adpcm({0, 0, 6, 0});
    SAMPLESLOT *p = nullptr;
    ASSERT_EQ(Snd_LoadSample(&p, "s", adpcm.data(), (uint32_t)adpcm.size(), SAMPLE_FORMAT_ADPCM_MEMORY), 0);
    ASSERT_EQ(p->uFrames, 84u);
    EXPECT_EQ(p->uLoopStartFrame, 28u);
    std::vector<int16_t> before(p->uFrames);
    ASSERT_EQ(Snd_CopySampleLeft(before.data(), p), 0);

    ASSERT_EQ(Snd_NarrowSample(p), 0);
    EXPECT_FALSE(p->uFlags & SAMPLE_STEREO);
    EXPECT_EQ(p->pLoop, p->pData + 28 * 2);
    EXPECT_EQ(p->pEnd, p->pData + 84 * 2);
    std::vector<int16_t> narrow(p->uFrames);
    ASSERT_EQ(Snd_CopySampleLeft(narrow.data(), p), 0);
    EXPECT_EQ(narrow, before);

    ASSERT_EQ(Snd_WidenSample(p), 0);
    EXPECT_TRUE(p->uFlags & SAMPLE_STEREO);
    EXPECT_TRUE(p->uFlags & SAMPLE_LOOPS);
    EXPECT_EQ(p->pLoop, p->pData + 28 * 4);
    for (uint32_t i = 0; i < p->uFrames; i++) {
        ASSERT_EQ(Left(p, i), before[i]);
        ASSERT_EQ(Right(p, i), before[i]);
    }
    SAMPLESLOT empty = {};
    EXPECT_EQ(Snd_WidenSample(&empty), -1);
    EXPECT_EQ(Snd_NarrowSample(&empty), -1);
}

TEST_F(SampleSlots, Loops)
{
    uint8_t raw[200] = {};
    SAMPLESLOT *p = nullptr;
    ASSERT_EQ(Snd_LoadSample(&p, "s", raw, sizeof raw, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_SetSampleLoop(p, 40, 1), 0);
    EXPECT_TRUE(p->uFlags & SAMPLE_LOOPS);
    EXPECT_EQ(p->uLoopStartFrame, 40u);
    EXPECT_EQ(p->pLoop, p->pStart + 160);
    // The header call moves the pointer only.
    ASSERT_EQ(Snd_SetLoopPointer(p, 10, 1), 0);
    EXPECT_EQ(p->pLoop, p->pStart + 40);
    EXPECT_EQ(p->uLoopStartFrame, 40u);
    ASSERT_EQ(Snd_SetSampleLoop(p, 500, 1), 0);
    EXPECT_EQ(p->pLoop, p->pStart) << "a frame past the end loops from the start";
    ASSERT_EQ(Snd_SetSampleLoop(p, 40, 0), 0);
    EXPECT_FALSE(p->uFlags & SAMPLE_LOOPS);
    EXPECT_EQ(p->uLoopStartFrame, 0u);
    EXPECT_EQ(p->pLoop, p->pStart);
}

TEST_F(SampleSlots, FindByIdTakesTheLowestIndex)
{
    uint8_t raw[4] = {};
    SAMPLESLOT *a, *b, *c;
    ASSERT_EQ(Snd_LoadSample(&a, "a", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_LoadSample(&b, "b", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_LoadSample(&c, "c", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    a->uSampleId = 7;
    b->uSampleId = 9;
    c->uSampleId = 9;
    SAMPLESLOT *found = nullptr;
    EXPECT_EQ(Snd_FindSampleById(&found, 9), 2);
    EXPECT_EQ(found, b);
    Snd_FreeSample(b);
    EXPECT_EQ(Snd_FindSampleById(&found, 9), 3);
    EXPECT_EQ(found, c);
    EXPECT_EQ(Snd_FindSampleById(&found, 8), -1);
}

TEST_F(SampleSlots, FreeStopsTheVoicesPlayingIt)
{
    uint8_t raw[400] = {};
    SAMPLESLOT *p = nullptr, *other = nullptr;
    ASSERT_EQ(Snd_LoadSample(&p, "s", raw, sizeof raw, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_LoadSample(&other, "o", raw, sizeof raw, SAMPLE_FORMAT_RAW_MEMORY), 0);
    for (int v : {40, 3}) {
        Snd_StartVoice(&g_astVoices[v], p, VOICE_PREPARED);
        Snd_SetVoicePitch(&g_astVoices[v], 44100);
        Snd_StartVoice(&g_astVoices[v], p, VOICE_ACTIVE);
    }
    Snd_StartVoice(&g_astVoices[5], other, VOICE_PREPARED);
    Snd_StartVoice(&g_astVoices[5], other, VOICE_ACTIVE);
    ASSERT_TRUE(g_astVoices[3].uState & VOICE_ACTIVE);
    int index = (int)p->uIndex;
    EXPECT_EQ(Snd_FreeSample(p), 0);
    EXPECT_STREQ(g_szErrorText, "Stopping Sample Channel (3) (40) ");
    EXPECT_FALSE(g_astVoices[3].uState & VOICE_ACTIVE);
    EXPECT_FALSE(g_astVoices[40].uState & VOICE_ACTIVE);
    EXPECT_TRUE(g_astVoices[5].uState & VOICE_ACTIVE) << "another sample's voice plays on";
    EXPECT_EQ(g_ppSampleSlots[index], nullptr);

    // A slot nobody plays leaves the text alone.
    std::strcpy(g_szErrorText, "before");
    Snd_StopVoiceIndex(5);
    Snd_FreeSample(other);
    EXPECT_STREQ(g_szErrorText, "before");
    EXPECT_EQ(Snd_FreeSample(nullptr), 0);
}

TEST_F(SampleSlots, TableFillsAndEmpties)
{
    uint8_t raw[4] = {};
    SAMPLESLOT *p = nullptr;
    for (int i = 1; i < 256; i++)
        ASSERT_EQ(Snd_LoadSample(&p, "s", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0) << i;
    EXPECT_EQ(Snd_LoadSample(&p, "s", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), -1);
    EXPECT_EQ(Snd_AllocSampleSlot(&p), -1);
    Snd_FreeAllSamples();
    EXPECT_EQ(Count(), 0) << "the engine's slot 0 goes too";
    ASSERT_EQ(Snd_LoadSample(&p, "s", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    EXPECT_EQ(p->uIndex, 0u);
}

TEST_F(SampleSlots, InterfaceSoundsLoadFromTheDataFolder)
{
    std::filesystem::create_directories(m_dir.File("boot"));
    std::vector<CONTENTFILE> files = Content_InterfaceSoundFiles();
    for (const CONTENTFILE &f : files)
        WriteTextFile(m_dir.File(f.path), std::string(f.data.begin(), f.data.end()));
    ASSERT_EQ(Snd_LoadInterfaceSounds(), 0);
    for (int n = 0; n < 5; n++) {
        SCOPED_TRACE(n);
        const SAMPLESLOT &s = g_astInterfaceSounds[n];
        std::vector<int16_t> ref = Content_SynthInterfaceSound(n);
        EXPECT_EQ(s.uRate, 11025u);
        EXPECT_EQ(s.uFrames, (ref.size() + 27) / 28 * 28);
        EXPECT_TRUE(s.uFlags & SAMPLE_STEREO);
        EXPECT_EQ(s.pStart, s.pData);
        EXPECT_EQ(s.pEnd, s.pData + s.uFrames * 4);
    }
    // Played, a sound reaches the interface voice.
    EXPECT_EQ(Snd_PlayInterfaceSound(0), 0);
    EXPECT_EQ(g_stInterfaceVoice.pStart, g_astInterfaceSounds[0].pStart);
}

TEST_F(SampleSlots, BrokenInterfaceSoundsStaySilent)
{
    std::filesystem::create_directories(m_dir.File("boot"));
    std::vector<CONTENTFILE> files = Content_InterfaceSoundFiles();
    auto put = [&](int n, const Bytes &data) {
        WriteTextFile(m_dir.File(files[n].path), std::string(data.begin(), data.end()));
    };
    put(0, files[0].data);
    put(1, Bytes(20, 0));                       // shorter than its header
    put(2, Bytes(48, 0));                       // header only: an empty sound
    Bytes odd = files[3].data;
    odd.resize(odd.size() - 5);                 // cut inside a block
    put(3, odd);
    // 4 missing
    ASSERT_EQ(Snd_LoadInterfaceSounds(), 0);
    EXPECT_GT(g_astInterfaceSounds[0].uFrames, 0u);
    EXPECT_EQ(g_astInterfaceSounds[1].pData, nullptr);
    EXPECT_EQ(g_astInterfaceSounds[2].uFrames, 0u);
    EXPECT_GT(g_astInterfaceSounds[3].uFrames, 0u) << "whole blocks before the cut still play";
    EXPECT_EQ(g_astInterfaceSounds[4].pData, nullptr);
    for (int n = 0; n < 5; n++)
        EXPECT_EQ(Snd_PlayInterfaceSound(n), 0) << "a silent sound plays nothing, safely";
    Snd_FreeInterfaceSounds();
    for (const SAMPLESLOT &s : g_astInterfaceSounds)
        EXPECT_EQ(s.pData, nullptr);
}

TEST_F(SampleSlots, FindByNameAndGetByIndex)
{
    uint8_t raw[4] = {};
    SAMPLESLOT *a, *b, *c;
    ASSERT_EQ(Snd_LoadSample(&a, "kick.wav", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_LoadSample(&b, "snare.wav", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_LoadSample(&c, "snare.wav", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    SAMPLESLOT *found = nullptr;
    EXPECT_EQ(Snd_FindSampleByName(&found, "snare.wav"), (int)b->uIndex);
    EXPECT_EQ(found, b);
    EXPECT_EQ(Snd_FindSampleByName(&found, "Snare.wav"), -1) << "names match exactly";
    EXPECT_EQ(Snd_FindSampleByName(&found, "snare"), -1);
    EXPECT_EQ(Snd_FindSampleByName(&found, nullptr), -1);
    EXPECT_EQ(Snd_FindSampleByName(nullptr, "kick.wav"), (int)a->uIndex);

    struct
    {
        int32_t index;
        int result;
        SAMPLESLOT *slot;
    } cases[] = {
        {(int32_t)a->uIndex, (int)a->uIndex, a}, {(int32_t)c->uIndex, (int)c->uIndex, c},
        {(int32_t)c->uIndex + 1, -1, nullptr},    {-1, -1, nullptr},
        {g_iSampleSlotCount, -1, nullptr},        {1 << 30, -1, nullptr},
    };
    for (const auto &k : cases) {
        found = nullptr;
        EXPECT_EQ(Snd_GetSample(&found, k.index), k.result) << k.index;
        EXPECT_EQ(found, k.slot) << k.index;
    }
    EXPECT_EQ(Snd_GetSample(nullptr, (int32_t)a->uIndex), -1);
}

// A duplicate shares the source's data and plays like it; freeing either one never frees data
// the other still plays.
TEST_F(SampleSlots, DuplicatesShareTheDataSafely)
{
    std::vector<int16_t> mono(100);
    for (size_t i = 0; i < mono.size(); i++)
        mono[i] = (int16_t)(i * 300);
    SAMPLESLOT *src = nullptr;
    ASSERT_EQ(Snd_LoadSample(&src, "bass.wav", mono.data(), 200, SAMPLE_FORMAT_RAW_MEMORY), 0);
    ASSERT_EQ(Snd_SetSampleLoop(src, 10, 1), 0);
    src->uSampleId = 44;
    Snd_StartVoice(&g_astVoices[7], src, VOICE_PREPARED);
    Snd_StartVoice(&g_astVoices[7], src, VOICE_ACTIVE);

    SAMPLESLOT *d1 = nullptr, *d2 = nullptr;
    const int i1 = Snd_DuplicateSample(&d1, src);
    ASSERT_GT(i1, 0);
    EXPECT_EQ(d1->uIndex, (uint32_t)i1);
    EXPECT_STREQ(d1->szName, "bass.wav Duplicate #0");
    EXPECT_EQ(d1->pData, src->pData);
    EXPECT_EQ(d1->uFlags, src->uFlags | SAMPLE_BORROWED);
    EXPECT_EQ(d1->pLoop, src->pLoop);
    EXPECT_EQ(d1->uFrames, 100u);
    EXPECT_EQ(d1->uRate, 44100u);
    EXPECT_EQ(d1->uSampleId, 44u);
    for (uint32_t w : d1->auVoiceMask)
        EXPECT_EQ(w, 0u) << "voice 7 plays the source, not the duplicate";
    ASSERT_GT(Snd_DuplicateSample(&d2, src), i1);
    EXPECT_STREQ(d2->szName, "bass.wav Duplicate #1");
    EXPECT_EQ(Snd_DuplicateSample(&d2, nullptr), -1);

    Snd_StartVoice(&g_astVoices[8], d1, VOICE_PREPARED);
    Snd_StartVoice(&g_astVoices[8], d1, VOICE_ACTIVE);
    // Freeing the source stops its voice only; the duplicates keep the data.
    const uint8_t *data = src->pData;
    Snd_FreeSample(src);
    EXPECT_FALSE(g_astVoices[7].uState & VOICE_ACTIVE);
    EXPECT_TRUE(g_astVoices[8].uState & VOICE_ACTIVE);
    EXPECT_EQ(d1->pData, data);
    EXPECT_EQ(Left(d1, 99), (int16_t)(99 * 300));
    EXPECT_EQ(Right(d2, 50), (int16_t)(50 * 300));
    // One of the two became the owner; freeing both frees the data once (the sanitizer build
    // finds a double free or a leak).
    EXPECT_EQ(((d1->uFlags | d2->uFlags) & SAMPLE_BORROWED) != 0, true);
    EXPECT_NE((d1->uFlags & SAMPLE_BORROWED), (d2->uFlags & SAMPLE_BORROWED));
    Snd_FreeSample(d1);
    EXPECT_FALSE(g_astVoices[8].uState & VOICE_ACTIVE);
    EXPECT_EQ(Left(d2, 99), (int16_t)(99 * 300));
    Snd_FreeSample(d2);

    // With every slot taken there is no room for a duplicate.
    SAMPLESLOT *p = nullptr;
    uint8_t raw[4] = {};
    ASSERT_EQ(Snd_LoadSample(&p, "last", raw, 4, SAMPLE_FORMAT_RAW_MEMORY), 0);
    SAMPLESLOT *q = nullptr;
    while (Snd_AllocSampleSlot(&q) >= 0) {
    }
    EXPECT_EQ(Snd_DuplicateSample(&q, p), -1);
}

// Output i takes source sample i x length / n; the same length gives the source back whole.
TEST_F(SampleSlots, StretchByNearestNeighbour)
{
    const int16_t src[] = {10, 20, 30, 40};
    struct
    {
        uint32_t n;
        std::vector<int16_t> want;
    } cases[] = {
        {4, {10, 20, 30, 40}},
        {8, {10, 10, 20, 20, 30, 30, 40, 40}},
        {6, {10, 10, 20, 30, 30, 40}},
        {2, {10, 30}},
        {1, {10}},
        {3, {10, 20, 30}},
    };
    for (const auto &c : cases) {
        int16_t *out = nullptr;
        ASSERT_EQ(Snd_StretchSamples(src, 4, &out, c.n), 0) << c.n;
        EXPECT_EQ(std::vector<int16_t>(out, out + c.n), c.want) << c.n;
        free(out);
    }
    // Squeezing a long source never reads past it.
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); i++)
        ramp[i] = (int16_t)i;
    int16_t *out = nullptr;
    ASSERT_EQ(Snd_StretchSamples(ramp.data(), 1000, &out, 7), 0);
    EXPECT_EQ(std::vector<int16_t>(out, out + 7), (std::vector<int16_t>{0, 142, 285, 428, 571, 714, 857}));
    free(out);
    EXPECT_EQ(Snd_StretchSamples(nullptr, 4, &out, 4), -1);
    EXPECT_EQ(Snd_StretchSamples(src, 0, &out, 4), -1);
    EXPECT_EQ(Snd_StretchSamples(src, 4, &out, 0), -1);
    EXPECT_EQ(Snd_StretchSamples(src, 4, nullptr, 4), -1);
}
