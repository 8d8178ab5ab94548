#include "audio/aiff.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/file.h"
#include "support/aiffbuilder.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using aiff::Bytes;

class Aiff : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        g_szErrorText[0] = 0;
    }
    void TearDown() override { Snd_ShutdownSampleEngine(); }

    static int Count()
    {
        int n = 0;
        for (int i = 0; i < g_iSampleSlotCount; i++)
            n += g_ppSampleSlots[i] != nullptr;
        return n;
    }

    static SAMPLESLOT *Load(const Bytes &image, const char *name = "file.aif")
    {
        SAMPLESLOT *p = nullptr;
        if (Snd_LoadSample(&p, name, image.data(), (uint32_t)image.size(), SAMPLE_FORMAT_AIFF_MEMORY) != 0)
            return nullptr;
        return p;
    }

    // (left, right) words of every frame.
    static std::vector<std::pair<int16_t, int16_t>> Frames(const SAMPLESLOT *p)
    {
        std::vector<std::pair<int16_t, int16_t>> out;
        for (uint32_t i = 0; i < p->uFrames; i++) {
            int16_t l, r;
            std::memcpy(&l, p->pData + i * 4, 2);
            std::memcpy(&r, p->pData + i * 4 + 2, 2);
            out.push_back({l, r});
        }
        return out;
    }
};

TEST(AiffRate, ExtendedToIntForATableOfRates)
{
    struct Case
    {
        double rate;
        uint32_t expected;
    };
    const Case cases[] = {
        {1, 1},           {2, 2},           {3, 3},           {8000, 8000},         {11025, 11025},
        {22050, 22050},   {32000, 32000},   {44100, 44100},   {48000, 48000},       {96000, 96000},
        {192000, 192000}, {768000, 768000}, {22254.5454, 22255}, {22050.5, 22051}, {22050.49, 22050},
        {2147483647.0, 2147483647u},
        // Out of the integer range the reader takes.
        {0.5, 0},         {2147483648.0, 0}, {1e300, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rate);
        Bytes ext = aiff::Extended(c.rate);
        EXPECT_EQ(Snd_ExtendedToInt(ext.data()), c.expected);
    }
    // As written by hand: 44100 = 0xAC44 x 2^0 with exponent word 0x400E.
    const uint8_t b44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Snd_ExtendedToInt(b44100), 44100u);
    const uint8_t negative[10] = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Snd_ExtendedToInt(negative), 0u);
    EXPECT_EQ(Snd_ExtendedToInt(nullptr), 0u);
}

TEST(AiffRate, SwapLongReversesInPlace)
{
    uint8_t b[4] = {1, 2, 3, 4};
    Snd_SwapLong(b);
    EXPECT_EQ(std::vector<uint8_t>(b, b + 4), (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST_F(Aiff, GoldenSoundsOfEachDepthAndChannelCount)
{
    using F = std::pair<int16_t, int16_t>;
    struct Case
    {
        const char *what;
        uint16_t channels, bits;
        uint32_t frames;
        double rate;
        Bytes samples;
        std::vector<F> expected;
    };
    const Case cases[] = {
        {"16-bit mono", 1, 16, 3, 44100, {0x12, 0x34, 0x80, 0x00, 0xFF, 0xFF},
         {{0x1234, 0x1234}, {-32768, -32768}, {-1, -1}}},
        {"16-bit stereo", 2, 16, 2, 22050, {0x00, 0x01, 0x7F, 0xFF, 0xFF, 0xFE, 0x80, 0x01},
         {{1, 32767}, {-2, -32767}}},
        {"8-bit mono (signed)", 1, 8, 4, 11025, {0x00, 0x7F, 0x80, 0xFF},
         {{0, 0}, {0x7F00, 0x7F00}, {-32768, -32768}, {-256, -256}}},
        {"8-bit stereo", 2, 8, 2, 44100, {0x01, 0xFF, 0x80, 0x7F}, {{256, -256}, {-32768, 0x7F00}}},
        {"24-bit mono keeps the top 16 bits", 1, 24, 2, 44100, {0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF},
         {{0x1234, 0x1234}, {-1, -1}}},
        {"12-bit mono (left-justified in 2 bytes)", 1, 12, 1, 44100, {0xAB, 0xC0}, {{(int16_t)0xABC0, (int16_t)0xABC0}}},
        {"three channels: the first two play", 3, 16, 1, 44100, {0x00, 0x05, 0x00, 0x06, 0x00, 0x07}, {{5, 6}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image = aiff::Form({aiff::Comm(c.channels, c.frames, c.bits, c.rate), aiff::Ssnd(c.samples)});
        const Bytes original = image;
        SAMPLESLOT *p = Load(image);
        ASSERT_NE(p, nullptr) << g_szErrorText;
        EXPECT_EQ(Frames(p), c.expected);
        EXPECT_EQ(p->uRate, (uint32_t)c.rate);
        EXPECT_TRUE(p->uFlags & SAMPLE_STEREO);
        EXPECT_TRUE(p->uFlags & SAMPLE_LOADED);
        EXPECT_FALSE(p->uFlags & SAMPLE_LOOPS);
        EXPECT_EQ(p->pStart, p->pData);
        EXPECT_EQ(p->pEnd, p->pData + c.expected.size() * 4);
        EXPECT_STREQ(p->szName, "file.aif");
        EXPECT_EQ(image, original) << "the caller's image is left as it was";
        Snd_FreeSample(p);
    }
}

TEST_F(Aiff, ChunksInAnyOrderAndOthersSkippedBySize)
{
    // Sound before the format, an odd-sized comment (padded), an application chunk, an offset.
    Bytes image = aiff::Form({
        aiff::Chunk("ANNO", Bytes{'h', 'i', '!'}),
        aiff::Ssnd(aiff::Words16({100, -100, 200}), 4),
        aiff::Chunk("APPL", Bytes(37, 0x55)),
        aiff::Chunk("INST", Bytes(20, 0x01)),
        aiff::Comm(1, 3, 16, 44100),
        aiff::Chunk("COMT", Bytes(5, 0x20)),
    });
    SAMPLESLOT *p = Load(image);
    ASSERT_NE(p, nullptr) << g_szErrorText;
    EXPECT_EQ(Frames(p), (std::vector<std::pair<int16_t, int16_t>>{{100, 100}, {-100, -100}, {200, 200}}));
}

TEST_F(Aiff, LoopMarkersAndName)
{
    std::vector<int16_t> s(6000);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = (int16_t)i;
    struct Case
    {
        const char *what;
        std::vector<aiff::Marker> markers;
        bool loops;
        uint32_t loopFrame;
    };
    const Case cases[] = {
        {"beg and end loop", {{1, 1000, "beg loop"}, {2, 5000, "end loop"}}, true, 1000},
        // An odd-length name is followed by no pad byte: the later markers must still be found.
        {"odd name first", {{7, 3, "cue"}, {1, 1000, "beg loop"}, {2, 5000, "end loop"}}, true, 1000},
        {"even name first", {{7, 3, "cue1"}, {1, 20, "beg loop"}}, true, 20},
        {"end loop alone", {{2, 5000, "end loop"}}, false, 0},
        {"other names", {{1, 1000, "Beg Loop"}, {2, 10, "begin"}}, false, 0},
        {"loop start past the end loops from the start", {{1, 7000, "beg loop"}}, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image = aiff::Form({aiff::Comm(1, 6000, 16, 44100), aiff::Mark(c.markers), aiff::Ssnd(aiff::Words16(s))});
        SAMPLESLOT *p = Load(image);
        ASSERT_NE(p, nullptr) << g_szErrorText;
        EXPECT_EQ((p->uFlags & SAMPLE_LOOPS) != 0, c.loops);
        EXPECT_EQ(p->uLoopStartFrame, c.loopFrame);
        EXPECT_EQ(p->pLoop, p->pData + (size_t)c.loopFrame * 4);
        Snd_FreeSample(p);
    }

    Bytes named = aiff::Form({aiff::Chunk("NAME", Bytes{'K', 'i', 'c', 'k'}), aiff::Comm(1, 1, 16, 44100),
                              aiff::Ssnd(aiff::Words16({1}))});
    SAMPLESLOT *p = Load(named, "c:\\sounds\\kick.aif");
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->szName, "Kick");
}

TEST_F(Aiff, OtherRatesAreConvertedToPlayAtTheirOwnSpeed)
{
    // 32000 Hz: 321 frames span 10 ms, 442 frames at 44100 Hz (both ends included). A ramp
    // stays a ramp.
    std::vector<int16_t> s(321);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = (int16_t)(i * 32);
    Bytes image = aiff::Form({aiff::Comm(1, 321, 16, 32000), aiff::Mark({{1, 160, "beg loop"}}),
                              aiff::Ssnd(aiff::Words16(s))});
    SAMPLESLOT *p = Load(image);
    ASSERT_NE(p, nullptr) << g_szErrorText;
    EXPECT_EQ(p->uRate, 44100u);
    EXPECT_EQ(p->uFrames, 442u);
    EXPECT_EQ(p->uLoopStartFrame, 220u); // 160 x 44100 / 32000
    auto f = Frames(p);
    EXPECT_EQ(f.front().first, 0);
    EXPECT_EQ(f.back().first, 320 * 32);
    // Frame 220 sits at source frame 159 + 28100 / 44100: 159 x 32 + 32 x 28100 / 44100.
    EXPECT_EQ(f[220].first, 5108);
    for (size_t i = 1; i < f.size(); i++)
        EXPECT_GE(f[i].first, f[i - 1].first);
}

TEST_F(Aiff, FramesAreLimitedToTheImage)
{
    struct Case
    {
        const char *what;
        Bytes image;
        uint32_t frames;
    };
    Bytes four = aiff::Words16({1, 2, 3, 4});
    Bytes ssndLying = aiff::Ssnd(four);
    ssndLying[4] = 0x7F; // chunk size far beyond the image
    Bytes oddTail = aiff::Ssnd(Bytes{0, 1, 0, 2, 0}); // a half sample at the end
    const Case cases[] = {
        {"count beyond the data", aiff::Form({aiff::Comm(1, 1000000, 16, 44100), aiff::Ssnd(four)}), 4},
        {"count below the data", aiff::Form({aiff::Comm(1, 2, 16, 44100), aiff::Ssnd(four)}), 2},
        {"SSND size beyond the image", aiff::Form({aiff::Comm(1, 4, 16, 44100), ssndLying}), 4},
        {"half a sample left", aiff::Form({aiff::Comm(1, 3, 16, 44100), oddTail}), 2},
        {"stereo count beyond the data", aiff::Form({aiff::Comm(2, 9, 16, 44100), aiff::Ssnd(four)}), 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SAMPLESLOT *p = Load(c.image);
        ASSERT_NE(p, nullptr) << g_szErrorText;
        EXPECT_EQ(p->uFrames, c.frames);
        Snd_FreeSample(p);
    }
}

TEST_F(Aiff, BrokenImagesAreRefusedCleanly)
{
    Bytes good = aiff::Ssnd(aiff::Words16({1, 2}));
    Bytes comm = aiff::Comm(1, 2, 16, 44100);
    Bytes aifc = aiff::Form({comm, good}, "AIFC");
    Bytes shortComm = aiff::Chunk("COMM", Bytes(17, 0));
    Bytes shortSsnd = aiff::Chunk("SSND", Bytes(7, 0));
    Bytes cut = aiff::Form({comm, good});
    cut.resize(12 + comm.size() + 4); // ends inside the SSND header
    Bytes farOffset = aiff::Ssnd(aiff::Words16({1, 2}));
    farOffset[8] = 0x7F; // sample offset far past the image
    struct Case
    {
        const char *what;
        Bytes image;
    };
    const Case cases[] = {
        {"empty", {}},
        {"too short for a form type", Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 4, 'A', 'I'}},
        {"compressed variant", aifc},
        {"WAVE form", aiff::Form({comm, good}, "WAVE")},
        {"no COMM", aiff::Form({good})},
        {"no SSND", aiff::Form({comm})},
        {"COMM too short", aiff::Form({shortComm, good})},
        {"SSND too short", aiff::Form({comm, shortSsnd})},
        {"cut inside SSND", cut},
        {"no channels", aiff::Form({aiff::Comm(0, 2, 16, 44100), good})},
        {"no bits", aiff::Form({aiff::Comm(1, 2, 0, 44100), good})},
        {"33 bits", aiff::Form({aiff::Comm(1, 2, 33, 44100), good})},
        {"rate below 1 Hz", aiff::Form({aiff::Comm(1, 2, 16, 0.25), good})},
        {"rate of 1 Hz", aiff::Form({aiff::Comm(1, 2, 16, 1), good})},
        {"rate of a billion", aiff::Form({aiff::Comm(1, 2, 16, 1e9), good})},
        {"no frames", aiff::Form({aiff::Comm(1, 0, 16, 44100), good})},
        {"offset past the image", aiff::Form({comm, farOffset})},
        {"65535 channels, one sample", aiff::Form({aiff::Comm(65535, 2, 16, 44100), good})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_szErrorText[0] = 0;
        EXPECT_EQ(Load(c.image), nullptr);
        EXPECT_EQ(Count(), 1) << "only the engine's slot";
        EXPECT_NE(g_szErrorText[0], 0) << "says why";
    }
    SAMPLESLOT slot{};
    EXPECT_EQ(Snd_ParseAiff(&slot, nullptr, 0), -1);
    EXPECT_EQ(Snd_ParseAiff(nullptr, good.data(), (uint32_t)good.size()), -1);
    EXPECT_EQ(slot.pData, nullptr);
}

TEST_F(Aiff, LoadsFromAFile)
{
    TempDir dir;
    Bytes image = aiff::Form({aiff::Comm(1, 2, 16, 22050), aiff::Ssnd(aiff::Words16({7, -7}))});
    WriteTextFile(dir.File("Loop.AIF"), std::string(image.begin(), image.end()));
    SAMPLESLOT *p = nullptr;
    std::string name = dir.Path() + "/loop.aif"; // any letter case
    ASSERT_EQ(Snd_LoadSample(&p, name.c_str(), nullptr, 0, SAMPLE_FORMAT_AIFF_FILE), 0) << g_szErrorText;
    EXPECT_EQ(Frames(p), (std::vector<std::pair<int16_t, int16_t>>{{7, 7}, {-7, -7}}));
    EXPECT_EQ(p->uRate, 22050u);
}

} // namespace
