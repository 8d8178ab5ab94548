#include "audio/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// One block: header byte, flag and up to 28 nibbles (the rest 0).
void AddBlock(Bytes &data, uint8_t filter, uint8_t shift, uint8_t flag, std::vector<uint8_t> nibbles = {})
{
    uint8_t block[ADPCM_BLOCK_BYTES] = {};
    block[0] = (uint8_t)(shift | filter << 4);
    block[1] = flag;
    for (size_t i = 0; i < nibbles.size(); i++)
        block[2 + i / 2] |= (uint8_t)((nibbles[i] & 15) << ((i & 1) * 4));
    data.insert(data.end(), block, block + ADPCM_BLOCK_BYTES);
}

std::vector<int16_t> Decode(const Bytes &data, ADPCMDECODE *pInfo = nullptr)
{
    std::vector<int16_t> out(Snd_AdpcmMaxSamples((uint32_t)data.size()) + 1);
    ADPCMDECODE info;
    EXPECT_EQ(Snd_DecodeAdpcm(data.data(), (uint32_t)data.size(), out.data(), (uint32_t)out.size(), &info), 0);
    out.resize(info.uSamples);
    if (pInfo)
        *pInfo = info;
    return out;
}

std::vector<int16_t> RoundTrip(const std::vector<int16_t> &in, int32_t loop = -1, ADPCMDECODE *pInfo = nullptr)
{
    Bytes enc(Snd_AdpcmEncodedSize((uint32_t)in.size(), loop));
    EXPECT_EQ(Snd_EncodeAdpcm(in.data(), (uint32_t)in.size(), loop, enc.data(), (uint32_t)enc.size()),
              (int64_t)enc.size());
    return Decode(enc, pInfo);
}

} // namespace

// Filter 0 ignores the history, so every shift shows alone: (int16)(nibble << 12) >> shift.
TEST(AdpcmDecode, EveryShiftOfFilterZero)
{
    // nibbles 1, 7, 8 (-8), 15 (-1)
    const int16_t expected[16][4] = {
        {4096, 28672, -32768, -4096}, {2048, 14336, -16384, -2048}, {1024, 7168, -8192, -1024},
        {512, 3584, -4096, -512},     {256, 1792, -2048, -256},     {128, 896, -1024, -128},
        {64, 448, -512, -64},         {32, 224, -256, -32},         {16, 112, -128, -16},
        {8, 56, -64, -8},             {4, 28, -32, -4},             {2, 14, -16, -2},
        {1, 7, -8, -1},               {0, 3, -4, -1},               {0, 1, -2, -1},
        {0, 0, -1, -1},
    };
    for (uint8_t shift = 0; shift < 16; shift++) {
        SCOPED_TRACE(shift);
        Bytes data;
        AddBlock(data, 0, 0, 0);
        AddBlock(data, 0, shift, 0, {1, 7, 8, 15});
        std::vector<int16_t> out = Decode(data);
        ASSERT_EQ(out.size(), 28u);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(out[i], expected[shift][i]) << "sample " << i;
        for (int i = 4; i < 28; i++)
            EXPECT_EQ(out[i], 0);
    }
}

// The priming block is decoded (it leaves h2 = 1024, h1 = 512) but not output; then each filter
// pair works on that history. Values worked out by hand from the decode formula.
TEST(AdpcmDecode, EveryFilterFromPrimedHistory)
{
    struct Case
    {
        uint8_t filter;
        int16_t s0, s1; // nibbles 0 then 1, shift 12
    };
    const Case cases[] = {
        {0, 0, 1},        // (0, 0)
        {1, 480, 451},    // (60, 0): 512*60/64 = 480; (64 + 480*60) >> 6 = 451
        {2, 88, -257},    // (115, -52): 5632 >> 6; -16440 >> 6 rounds down
        {3, -96, -586},   // (98, -55)
        {4, 16, -449},    // (122, -60): -28704 >> 6 rounds down
        {5, 0, 1},        // outside the table: pair 0
        {15, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter);
        Bytes data;
        std::vector<uint8_t> prime(28, 0);
        prime[26] = 4; // shift 4: 4 << 12 >> 4 = 1024
        prime[27] = 2; // 512
        AddBlock(data, 0, 4, 0, prime);
        AddBlock(data, c.filter, 12, 0, {0, 1});
        std::vector<int16_t> out = Decode(data);
        ASSERT_EQ(out.size(), 28u);
        EXPECT_EQ(out[0], c.s0);
        EXPECT_EQ(out[1], c.s1);
    }
}

TEST(AdpcmDecode, OutputClampsWhileHistoryRunsOn)
{
    Bytes data;
    AddBlock(data, 0, 0, 0);
    std::vector<uint8_t> rise(28, 0);
    rise[27] = 7; // 28672
    AddBlock(data, 0, 0, 0, rise);
    AddBlock(data, 2, 12, 0, {0, 0});
    std::vector<int16_t> out = Decode(data);
    ASSERT_EQ(out.size(), 56u);
    EXPECT_EQ(out[27], 28672);
    // 28672 * 115 >> 6 = 51520 and (51520 * 115 - 28672 * 52) >> 6 = 69279 hold at the top
    // instead of wrapping round to -14016 and 3743; the history keeps the true values, so the
    // filter falls back into range as it would have.
    EXPECT_EQ(out[28], 32767);
    EXPECT_EQ(out[29], 32767);
    int32_t h2 = 51520, h1 = 69279;
    for (int i = 30; i < 56; i++) {
        int32_t s = (h1 * 115 - h2 * 52) >> 6;
        h2 = h1;
        h1 = s;
        EXPECT_EQ(out[i], s > 32767 ? 32767 : (s < -32768 ? -32768 : s)) << i;
    }
}

TEST(AdpcmDecode, SameBytesAlwaysGiveSameSamples)
{
    // A decode that leaves a large history behind...
    Bytes loud;
    AddBlock(loud, 0, 0, 0, std::vector<uint8_t>(28, 7));
    AddBlock(loud, 4, 0, 0, std::vector<uint8_t>(28, 7));
    // ...must not change data whose first block filters.
    Bytes quiet;
    AddBlock(quiet, 4, 12, 0, std::vector<uint8_t>(28, 0));
    AddBlock(quiet, 4, 12, 0, {1, 1, 1});
    std::vector<int16_t> first = Decode(quiet);
    Decode(loud);
    EXPECT_EQ(Decode(quiet), first);
    EXPECT_EQ(first[0], 1);
}

TEST(AdpcmDecode, BlockFlags)
{
    struct Case
    {
        const char *what;
        std::vector<uint8_t> flags;
        size_t extraBytes;
        uint32_t samples;
        bool loops;
        uint32_t loopStart;
    };
    const Case cases[] = {
        {"two plain blocks: the first only primes", {0, 0}, 0, 28, false, 0},
        {"end flag on the second block", {0, 7}, 0, 0, false, 0},
        {"end flag stops before its block", {0, 0, 0, 7, 0}, 0, 56, false, 0},
        {"loop flag on the priming block", {6, 0}, 0, 28, true, 0},
        {"loop flag on a later block", {0, 0, 6, 0}, 0, 84, true, 28},
        {"last-two flag on block 1 stops after block 2", {0, 1, 0, 0, 0}, 0, 56, false, 0},
        {"last flag on block 1 stops after it", {0, 3, 0, 0}, 0, 28, false, 0},
        {"last flag on the priming block", {3, 0, 0}, 0, 0, false, 0},
        {"last-two flag on the final block runs out", {0, 1}, 0, 28, false, 0},
        {"trailing partial block ignored", {0, 0}, 8, 28, false, 0},
        {"only a partial block", {}, 15, 0, false, 0},
        {"other flag values mean nothing", {0, 2, 4, 5, 8, 255}, 0, 140, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes data;
        for (uint8_t f : c.flags)
            AddBlock(data, 0, 12, f, {1});
        data.resize(data.size() + c.extraBytes, 0x11);
        ADPCMDECODE info;
        std::vector<int16_t> out = Decode(data, &info);
        EXPECT_EQ(info.uSamples, c.samples);
        EXPECT_EQ(info.bLoops, c.loops);
        if (c.loops) {
            EXPECT_EQ(info.uLoopStartFrame, c.loopStart);
        }
    }
}

TEST(AdpcmDecode, RefusesBadArguments)
{
    Bytes data;
    AddBlock(data, 0, 0, 0);
    AddBlock(data, 0, 0, 0);
    int16_t out[28];
    ADPCMDECODE info;
    EXPECT_EQ(Snd_DecodeAdpcm(data.data(), 32, out, 27, &info), -1) << "room for the whole decode";
    EXPECT_EQ(Snd_DecodeAdpcm(nullptr, 32, out, 56, &info), -1);
    EXPECT_EQ(Snd_DecodeAdpcm(data.data(), 32, nullptr, 56, &info), -1);
    EXPECT_EQ(Snd_DecodeAdpcm(data.data(), 32, out, 56, nullptr), -1);
    EXPECT_EQ(Snd_DecodeAdpcm(nullptr, 0, nullptr, 0, &info), 0);
    EXPECT_EQ(info.uSamples, 0u);
}

// Error bounds of the encoder on synthetic signals (44100 Hz): silence is exact, a sine keeps a
// signal-to-error ratio of at least 50 dB, full-scale white noise and a full-scale square 20 dB.
TEST(AdpcmEncode, RoundTripErrorBounds)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> full(-32768, 32767);
    struct Case
    {
        const char *what;
        std::vector<int16_t> signal;
        double minSnrDb;
    };
    std::vector<Case> cases;
    cases.push_back({"silence", std::vector<int16_t>(44100, 0), 0});
    std::vector<int16_t> sine(44100), noise(44100), square(44100);
    for (int i = 0; i < 44100; i++) {
        sine[i] = (int16_t)std::lround(16384.0 * std::sin(2 * M_PI * 440.0 * i / 44100.0));
        noise[i] = (int16_t)full(rng);
        square[i] = (i / 50) % 2 ? -32768 : 32767;
    }
    cases.push_back({"sine 440 Hz at -6 dBFS", sine, 50});
    cases.push_back({"white noise at full scale", noise, 20});
    cases.push_back({"square 441 Hz at full scale", square, 20});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int16_t> out = RoundTrip(c.signal);
        ASSERT_EQ(out.size(), (c.signal.size() + 27) / 28 * 28);
        double sig = 0, err = 0;
        for (size_t i = 0; i < c.signal.size(); i++) {
            double d = (double)out[i] - c.signal[i];
            sig += (double)c.signal[i] * c.signal[i];
            err += d * d;
        }
        for (size_t i = c.signal.size(); i < out.size(); i++)
            EXPECT_EQ(out[i], 0) << "padding decodes to silence";
        if (c.minSnrDb == 0) {
            EXPECT_EQ(err, 0);
            continue;
        }
        double snr = 10 * std::log10(sig / err);
        EXPECT_GE(snr, c.minSnrDb);
    }
}

// Whatever the format can say exactly, the encoder finds again: decoded random blocks (every
// filter, small steps so that nothing clamps) re-encode to the very same samples.
TEST(AdpcmEncode, RepresentableSignalsComeBackExactly)
{
    std::mt19937 rng(99);
    Bytes data;
    AddBlock(data, 0, 0, 0);
    for (int b = 0; b < 200; b++) {
        std::vector<uint8_t> nibbles(28);
        for (uint8_t &n : nibbles)
            n = (uint8_t)((rng() % 5) - 2);
        AddBlock(data, (uint8_t)(rng() % 5), (uint8_t)(10 + rng() % 3), 0, nibbles);
    }
    std::vector<int16_t> ref = Decode(data);
    ASSERT_EQ(ref.size(), 200u * 28);
    for (int16_t v : ref)
        ASSERT_LT(std::abs((int)v), 30000) << "fixture must not clamp";
    EXPECT_EQ(RoundTrip(ref), ref);
}

TEST(AdpcmEncode, LoopsAndEnds)
{
    struct Case
    {
        uint32_t count;
        int32_t loop;
        uint32_t bytes;
        uint32_t samples;
        uint32_t loopStart; // when looping
    };
    const Case cases[] = {
        {0, -1, 32, 0, 0},       // priming block and an end block
        {28, -1, 32, 28, 0},     // priming block and one block flagged last
        {29, -1, 48, 56, 0},     // the tail padded to a whole block
        {84, 0, 64, 84, 0},      // loop from the start
        {84, 30, 64, 84, 28},    // loops start on block edges
        {84, 56, 80, 84, 56},    // loop mark on the last block: an end block follows
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " samples, loop " << c.loop);
        std::vector<int16_t> in(c.count);
        for (uint32_t i = 0; i < c.count; i++)
            in[i] = (int16_t)(i * 300 - 10000);
        EXPECT_EQ(Snd_AdpcmEncodedSize(c.count, c.loop), c.bytes);
        ADPCMDECODE info;
        std::vector<int16_t> out = RoundTrip(in, c.loop, &info);
        EXPECT_EQ(out.size(), c.samples);
        EXPECT_EQ(info.bLoops, c.loop >= 0);
        if (c.loop >= 0) {
            EXPECT_EQ(info.uLoopStartFrame, c.loopStart);
        }
    }
}

TEST(AdpcmEncode, RefusesBadArguments)
{
    int16_t in[56] = {};
    uint8_t out[64];
    EXPECT_EQ(Snd_EncodeAdpcm(in, 56, -1, out, 47), -1) << "output too small";
    EXPECT_EQ(Snd_EncodeAdpcm(in, 56, 56, out, 64), -1) << "loop start past the end";
    EXPECT_EQ(Snd_EncodeAdpcm(nullptr, 56, -1, out, 64), -1);
    EXPECT_EQ(Snd_EncodeAdpcm(in, 56, -1, nullptr, 64), -1);
    EXPECT_EQ(Snd_EncodeAdpcm(in, 56, -1, out, 48), 48);
}
