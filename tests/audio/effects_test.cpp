#include "audio/effects.h"

#include "core/fixmath.h"
#include "sequencer/samples.h"
#include "support/failalloc.h"
#include "ui/msgbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;
using Settings = std::vector<std::pair<int32_t, int32_t>>; // row, value

class EffectsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sys_BuildSineTable();
        Snd_SetEffectSampleRate(44100);
        ASSERT_EQ(Snd_BuildEffects(), 0);
    }
    void TearDown() override { Snd_FreeEffects(); }

    // One application as the editor makes it: rows, rate, select, one run, release.
    static Samples Apply(int32_t effect, Samples in, const Settings &rows, int32_t rate = 44100)
    {
        for (auto [row, value] : rows)
            EXPECT_EQ(Snd_SetEffectParam(effect, row, value), 0);
        Snd_SetEffectSampleRate(rate);
        EXPECT_EQ(Snd_SelectEffect(effect), 0);
        EXPECT_EQ(Snd_RunEffect(effect, in.data(), (int32_t)in.size()), 0);
        Snd_ReleaseEffect(effect);
        return in;
    }

    static Samples Impulse(int16_t v, size_t n)
    {
        Samples s(n, 0);
        s[0] = v;
        return s;
    }

    // A short sine from the fixed-point table (period 100 samples), loud enough to reach the clamps
    // through feedback.
    static Samples Sine(size_t n)
    {
        Samples s(n);
        for (size_t i = 0; i < n; i++)
            s[i] = (int16_t)(Sys_FixedSin((int32_t)(i * 4096 / 100)) * 6);
        return s;
    }

    static uint64_t Hash(const Samples &s)
    {
        uint64_t h = 1469598103934665603ull;
        for (int16_t v : s)
        {
            h ^= (uint16_t)v;
            h *= 1099511628211ull;
        }
        return h;
    }

    static int32_t UserRows(int32_t effect)
    {
        int32_t n = 0;
        for (uint32_t i = 0; i < g_apEffects[effect]->uRowCount; i++)
            n += g_apEffects[effect]->pRows[i].ucKind == 1;
        return n;
    }
};

TEST_F(EffectsTest, ParameterTable)
{
    static const uint32_t kRows[EFFECT_COUNT] = {5, 6, 23, 11, 8, 8, 17, 10};
    static const char *const kNames[EFFECT_COUNT] = {"Comb filter",          "All-pass filter", "Reverb filter",
                                                     "High/low pass filter", "Flange filter",   "Phase filter",
                                                     "Weird filter",         "Bandpass filter"};
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
    {
        ASSERT_NE(g_apEffects[e], nullptr);
        EXPECT_EQ(g_apEffects[e]->uNumber, (uint32_t)e);
        EXPECT_EQ(g_apEffects[e]->uRowCount, kRows[e]) << e;
        EXPECT_STREQ(g_apEffects[e]->pszName, kNames[e]);
        // The editor stores exactly the user rows of an effect in its command chain.
        EXPECT_EQ(UserRows(e), Seq_CommandParamCount(-1, e)) << e;
        for (uint32_t r = 0; r < g_apEffects[e]->uRowCount; r++)
        {
            const EFFECTPARAM &p = g_apEffects[e]->pRows[r];
            EXPECT_EQ(p.ucKind == 1, p.pszName != nullptr) << e << " row " << r;
        }
    }
    EXPECT_EQ(g_pSelectedEffect, nullptr);
    EXPECT_EQ(g_iEffectCombCount, 0);

    // Spot rows: {effect, row, kind, cur, def, min, max, name, scale}.
    struct Row
    {
        int32_t e, r;
        uint8_t kind;
        int32_t cur, def, mn, mx;
        const char *name;
        float scale;
    };
    static const Row kSpots[] = {
        {0, 0, 1, 151, 51, 1, 500, "Delay", 1.0f},
        {0, 3, 1, -128, 128, -256, 256, "Feedback", 256.0f},
        {0, 4, 0, 0, 0, 0, -1, nullptr, 1.0f},
        {1, 0, 1, 151, 71, 1, 500, "Delay", 1.0f},
        {1, 4, 1, -128, 128, -256, 256, "Feed forward", 256.0f},
        {2, 0, 0, 3, 3, 1, 5, nullptr, 1.0f},
        {2, 7, 1, 27, 27, 1, 250, "Reflections #2", 1.0f},
        {2, 9, 0, -128, 128, -256, 256, nullptr, 1.0f},
        {2, 17, 1, 7, 7, 1, 500, "Depth", 1.0f},
        {2, 19, 1, -128, 128, -256, 256, "Gain out", 256.0f},
        {3, 0, 1, 8, 1, 1, 64, "Delay", 1.0f},
        {3, 2, 1, 4096, 4096, 0, 65535, "LFO Frequency", 4096.0f},
        {3, 3, 1, 0, 0, 0, 4096, "LFO Start Phase", 11.377778f},
        {3, 9, 1, 192, 128, -256, 256, "Max Coeff B", 256.0f},
        {4, 1, 1, 100, 1, 1, 500, "End delay", 1.0f},
        {4, 4, 1, 256, 128, -256, 256, "Feedback", 256.0f},
        {5, 4, 1, 128, 128, 0, 256, "Feedback", 256.0f},
        {6, 0, 0, 2, 1, 1, 5, nullptr, 1.0f},
        {6, 9, 1, 500, 1, 1, 1000, "Start delay", 1.0f},
        {6, 12, 1, -128, 128, -256, 256, "Gain out", 256.0f},
        {7, 0, 0, 2, 71, 1, 500, nullptr, 1.0f},
        {7, 3, 1, 0, 0, -512, 512, "Min Centre Frequency", 512.0f},
        {7, 7, 1, 224, 128, 0, 256, "Feedback", 256.0f},
    };
    for (const Row &s : kSpots)
    {
        const EFFECTPARAM &p = g_apEffects[s.e]->pRows[s.r];
        SCOPED_TRACE(testing::Message() << "effect " << s.e << " row " << s.r);
        EXPECT_EQ(p.ucKind, s.kind);
        EXPECT_EQ(p.iCurrent, s.cur);
        EXPECT_EQ(p.iDefault, s.def);
        EXPECT_EQ(p.iMin, s.mn);
        EXPECT_EQ(p.iMax, s.mx);
        if (s.name)
            EXPECT_STREQ(p.pszName, s.name);
        else
            EXPECT_EQ(p.pszName, nullptr);
        EXPECT_FLOAT_EQ(p.fScale, s.scale);
    }
}

TEST_F(EffectsTest, NamesComeFromTheLanguageTable)
{
    g_apszText[318] = "Kammfilter";
    g_apszText[213] = "Verzoegerung";
    EXPECT_EQ(Snd_BuildEffects(), 0);
    g_apszText[318] = nullptr;
    g_apszText[213] = nullptr;
    EXPECT_STREQ(g_apEffects[0]->pszName, "Kammfilter");
    EXPECT_STREQ(g_apEffects[0]->pRows[0].pszName, "Verzoegerung");
    EXPECT_STREQ(g_apEffects[1]->pszName, "All-pass filter");
}

TEST_F(EffectsTest, SetParamClampsAndRestoresDefaults)
{
    struct Case
    {
        int32_t effect, row, value, expect, result;
    };
    static const Case kCases[] = {
        {0, 0, EFFECT_DEFAULT_VALUE, 51, 0}, // the default, not the value it was built with
        {0, 0, 0, 1, 0},
        {0, 0, 501, 500, 0},
        {0, 0, INT32_MIN, 1, 0},
        {0, 0, INT32_MAX, 500, 0},
        {0, 0, 77, 77, 0},
        {0, 3, -300, -256, 0},
        {0, 3, EFFECT_DEFAULT_VALUE, 128, 0},
        {3, 2, -1, 0, 0},
        {3, 2, 70000, 65535, 0},
        {7, 3, -513, -512, 0},
        {0, 4, 5, -1, 0}, // a state row whose maximum lies below its minimum
        {0, 4, -5, 0, 0},
    };
    for (const Case &c : kCases)
    {
        g_apEffects[c.effect]->pRows[c.row].iCurrent = 12345;
        EXPECT_EQ(Snd_SetEffectParam(c.effect, c.row, c.value), c.result);
        EXPECT_EQ(g_apEffects[c.effect]->pRows[c.row].iCurrent, c.expect)
            << "effect " << c.effect << " row " << c.row << " value " << c.value;
    }
    // Effects and rows that do not exist change nothing.
    static const std::pair<int32_t, int32_t> kBad[] = {{-1, 0}, {8, 0}, {0, -1}, {0, 5}, {2, 23}, {6, INT32_MAX}};
    for (auto [e, r] : kBad)
        EXPECT_EQ(Snd_SetEffectParam(e, r, 1), -1) << e << " " << r;
}

// Hand-worked impulse, step and edge responses: each row is one application.
struct Golden
{
    const char *what;
    int32_t effect;
    int32_t rate;
    Settings rows;
    Samples in;
    Samples out;
};

TEST_F(EffectsTest, GoldenResponses)
{
    const Samples imp1000 = {1000, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Samples imp1024 = {1024, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Golden> kGolden = {
        // Comb, 4 ms at 1000 Hz = 4 entries: echo every 3 samples, fed back at -1/2.
        {"comb impulse", 0, 1000, {{0, 4}}, {10000, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {5000, 0, 0, 5000, 0, 0, -2500, 0, 0, 1250}},
        // One-entry line: the echo comes on the next sample.
        {"comb one entry", 0, 1000, {{0, 1}, {3, 0}}, {1000, 0, 0}, {500, 500, 0}},
        // A delay shorter than one entry at a low rate still makes a one-entry line.
        {"comb short line", 0, 500, {{0, 1}, {3, 0}}, {1000, 0, 0}, {500, 500, 0}},
        // No feedback, no output path: the input halved, rounding toward minus infinity.
        {"comb halves", 0, 44100, {{2, 0}, {3, 0}}, {-1, 1, -32768, 32767, 3, -3}, {-1, 0, -16384, 16383, 1, -2}},
        // Unity gains on both paths saturate.
        {"comb saturates up", 0, 1000, {{0, 1}, {1, 256}, {2, 256}, {3, 256}}, {32767, 32767, 32767, 32767},
         {32767, 32767, 32767, 32767}},
        {"comb saturates down", 0, 1000, {{0, 1}, {1, 256}, {2, 256}, {3, 256}}, {-32768, -32768, -32768},
         {-32768, -32768, -32768}},
        // All-pass, 3 entries, feedback 1/2, feed forward -1/2.
        {"all-pass impulse", 1, 1000, {{0, 3}, {3, 128}}, {1024, 0, 0, 0, 0, 0, 0}, {768, 0, 640, 0, 320, 0, 160}},
        // Unity feedback and feed forward with unity gains: the all-pass cancels itself.
        {"all-pass at its maximum", 1, 1000, {{0, 500}, {1, 256}, {2, 256}, {3, 256}, {4, 256}},
         {1000, -2000, 32767, -32768, 5}, {0, 0, 0, 0, 0}},
        // Reverb: combs of 2, 3 and 4 entries; the all-pass stage passes the comb bank straight on.
        {"reverb impulse", 2, 1000, {{2, 2}, {7, 3}, {12, 4}, {17, 1}, {18, 256}, {19, 0}}, imp1000,
         {1000, 250, 375, 312, 156, 15, 194, 3, 32, 62}},
        // High/low pass with still oscillators: v = x/2 + v'/4 settles at 2/3 of a step.
        {"low pass step", 3, 1000,
         {{0, 1}, {1, 256}, {2, 0}, {4, 128}, {5, 128}, {6, 0}, {8, 64}, {9, 64}},
         {1000, 1000, 1000, 1000, 1000},
         {500, 625, 656, 664, 666}},
        {"high/low pass gain out 0", 3, 1000, {{1, 0}}, {1000, -1000, 32767}, {0, 0, 0}},
        // Flange with a still oscillator at its centre: a plain 3-sample delay.
        {"flange delay", 4, 1000, {{0, 1}, {1, 5}, {2, 0}, {3, 256}, {4, 256}, {5, 0}}, imp1000,
         {0, 0, 0, 1000, 0, 0, 0, 0, 0, 0}},
        // Start = end = 2 and the oscillator at its trough: the tap asks for 3 entries back in a
        // 2-entry line and lands one behind.
        {"flange tap past the line", 4, 1000, {{0, 2}, {1, 2}, {2, 0}, {3, 256}, {4, 256}, {5, 0}, {6, 3072}},
         {1000, 0, 0, 0}, {0, 1000, 0, 0}},
        // The same line at its crest: one behind as well; at phase 0 the tap is the entry just written.
        {"flange tap crest", 4, 1000, {{0, 2}, {1, 2}, {2, 0}, {3, 256}, {4, 256}, {5, 0}, {6, 1024}},
         {1000, 0, 0, 0}, {0, 1000, 0, 0}},
        {"flange tap current", 4, 1000, {{0, 2}, {1, 2}, {2, 0}, {3, 256}, {4, 256}, {5, 0}, {6, 0}},
         {1000, 0, 0, 0}, {1000, 0, 0, 0}},
        // Every row at its minimum: the inverted input meets its inverted echo in a one-entry line.
        {"flange at its minimum", 4, 1000, {{0, 1}, {1, 1}, {2, -256}, {3, -256}, {4, -256}, {5, 0}, {6, 0}},
         {1000, -2000, 32767, -32768, 5}, {0, 0, 0, 0, 0}},
        {"flange gains 0", 4, 1000, {{2, 0}, {3, 0}}, {1000, 2000, -5}, {0, 0, 0}},
        // Phase filter, 3-sample tap, feedback 1/2.
        {"phase impulse", 5, 1000, {{0, 1}, {1, 5}, {2, 0}, {3, 256}, {4, 128}, {5, 0}}, imp1024,
         {-512, 0, 0, 768, 0, 0, 384, 0, 0, 192}},
        // Weird: the first stage is the phase filter above, the second passes its input on.
        {"weird impulse", 6, 1000,
         {{1, 1}, {2, 5}, {3, 0}, {4, 256}, {5, 128}, {6, 0}, {11, 256}, {12, 0}},
         imp1024,
         {-512, 0, 0, 768, 0, 0, 384, 0, 0, 192}},
        // Bandpass with still oscillators: r = (x' + x - x'') / 2 at unit gain.
        {"bandpass impulse", 7, 1000, {{1, 0}, {5, 256}, {6, 256}, {7, 0}}, {1000, 0, 0, 0}, {500, 500, -500, 0}},
        {"bandpass step", 7, 1000, {{1, 0}, {5, 256}, {6, 256}, {7, 0}}, {1000, 1000, 1000, 1000},
         {500, 1000, 500, 500}},
        // Centre 1/2, feedback 1/4, gain out 1/2.
        {"bandpass resonance", 7, 1000, {{1, 0}, {3, 128}, {4, 128}, {5, 128}, {6, 128}, {7, 64}}, {1024, 0, 0, 0, 0},
         {256, 128, -384, 160, 16}},
    };
    for (const Golden &g : kGolden)
    {
        SCOPED_TRACE(g.what);
        ASSERT_EQ(Snd_BuildEffects(), 0); // fresh rows each time
        EXPECT_EQ(Apply(g.effect, g.in, g.rows, g.rate), g.out);
    }
}

// Built settings on a short sine at each rate the editor uses, and every user row at its minimum
// and at its maximum: pinned, so that a song's edit chain replays to the same sample in every
// version.
TEST_F(EffectsTest, PinnedSineResponses)
{
    static const uint64_t kPinned[EFFECT_COUNT][5] = {
        {0x1faf64a319300166ull, 0xb2e16ec09ecc967aull, 0xbf38149fb2f4b02eull,
         0x2db971669c4be41aull, 0x3a2844365785a799ull},
        {0x61bd6208fab01551ull, 0x38f73ba1b634e999ull, 0x7e5d21c893739e3ull,
         0x6870b7f5269a6a99ull, 0xe687797384ec6c99ull},
        {0x16c2a2e9da2b283cull, 0x74e570fa01a2d105ull, 0xca35c16641e4f06eull,
         0x8c9b76861ad7e675ull, 0x4dbbdea1cdd4bb99ull},
        {0x1e2604cf7632c3c5ull, 0x6adb3b92e9fc6488ull, 0x6d53b1c53d5bd18aull,
         0x48d4014ea4a76e19ull, 0xefcf8080f7bf96a0ull},
        {0xdf4cde7d81f5c914ull, 0x9000d5d2a02e1e59ull, 0x8142948469d5977bull,
         0xe687797384ec6c99ull, 0x69d1afa8c4750904ull},
        {0xa93441f939eb71bull, 0xb799457f669a34d2ull, 0x2df5217812e181full,
         0x6870b7f5269a6a99ull, 0xdd30b6b8d5ed248full},
        {0xb684eb5325a9d50cull, 0xdba91b648c22473cull, 0x400815b178b5d569ull,
         0x4d24ca9acf1a4c19ull, 0xdd30b6b8d5ed248full},
        {0xb32c25359f5d61e1ull, 0x1244536abb76074eull, 0x59f643b6fa613d9bull,
         0x5fcfb22b1f57a46eull, 0x1a607392a9406576ull},
    };
    // Columns: built rows at 44100, 22050, 11025 Hz; user rows at their minimum, at their maximum (44100 Hz).
    // Maximum all-pass and minimum flange cancel to silence; the phase filter and the weird filter at
    // their maximum pass the input only where the tap meets the entry just written.
    static const int32_t kRates[5] = {44100, 22050, 11025, 44100, 44100};
    static const int32_t kSet[5] = {0, 0, 0, INT32_MIN, INT32_MAX};
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
        for (int k = 0; k < 5; k++)
        {
            ASSERT_EQ(Snd_BuildEffects(), 0);
            Settings rows;
            for (uint32_t r = 0; kSet[k] && r < g_apEffects[e]->uRowCount; r++)
                if (g_apEffects[e]->pRows[r].ucKind == 1)
                    rows.push_back({(int32_t)r, kSet[k]});
            Samples out = Apply(e, Sine(8001), rows, kRates[k]);
            EXPECT_EQ(Hash(out), kPinned[e][k]) << "effect " << e << " column " << k << " 0x" << std::hex
                                                << Hash(out);
        }
}

// Running in pieces gives what one run gives: the lines and oscillators carry over. The weird
// filter is the exception: it restarts its oscillator on every run.
TEST_F(EffectsTest, PiecesMatchOneRun)
{
    const Samples in = Sine(301);
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
    {
        if (e == EFFECT_WEIRD)
            continue;
        SCOPED_TRACE(e);
        ASSERT_EQ(Snd_BuildEffects(), 0);
        Samples whole = Apply(e, in, {});
        Samples pieces = in;
        ASSERT_EQ(Snd_SelectEffect(e), 0);
        size_t at = 0;
        for (int32_t len : {1, 1, 7, 2, 99, 191})
        {
            ASSERT_EQ(Snd_RunEffect(e, pieces.data() + at, len), 0);
            at += (size_t)len;
        }
        ASSERT_EQ(at, in.size());
        Snd_ReleaseEffect(e);
        EXPECT_EQ(pieces, whole);
    }
}

TEST_F(EffectsTest, WeirdFilterRestartsItsOscillatorEveryRun)
{
    // Stage one: a pure moving tap (no feedback, output path only) over a 9-entry line; stage two
    // passes its input on. On a ramp the output shows the tap's distance.
    const Settings rows = {{1, 1}, {2, 9}, {3, 0}, {4, 256}, {5, 0}, {6, 65535}, {7, 0}, {11, 256}, {12, 0}};
    for (auto [row, value] : rows)
        ASSERT_EQ(Snd_SetEffectParam(EFFECT_WEIRD, row, value), 0);
    Snd_SetEffectSampleRate(1000);
    ASSERT_EQ(Snd_SelectEffect(EFFECT_WEIRD), 0);
    const int n = 40;
    Samples a(n), b(n);
    for (int i = 0; i < n; i++)
    {
        a[i] = (int16_t)(i * 10);
        b[i] = (int16_t)((n + i) * 10);
    }
    ASSERT_EQ(Snd_RunEffect(EFFECT_WEIRD, a.data(), n), 0);
    ASSERT_EQ(Snd_RunEffect(EFFECT_WEIRD, b.data(), n), 0);
    Snd_ReleaseEffect(EFFECT_WEIRD);
    std::vector<int> taps;
    for (int i = 9; i < n; i++)
    {
        taps.push_back(i - a[i] / 10);
        EXPECT_EQ(b[i] - a[i], n * 10) << i; // the same tap sequence in the second run
    }
    EXPECT_NE(*std::min_element(taps.begin(), taps.end()), *std::max_element(taps.begin(), taps.end()));
}

TEST_F(EffectsTest, Oscillators)
{
    // Still oscillators (frequency 0) at each quarter turn of the start phase.
    struct Case
    {
        int32_t phase, value;
    };
    static const Case kQuarter[] = {{0, 0}, {1024, 999}, {2048, 0}, {3072, -999}, {4096, 0}};
    for (const Case &c : kQuarter)
    {
        Snd_SetupEffectLfo(-1000, 1000, 0, 1, 0, c.phase);
        EXPECT_EQ(Snd_EffectLfoValue(0), c.value) << c.phase;
        EXPECT_EQ(Snd_EffectLfoValue(0), c.value) << c.phase;
    }
    // Frequency 1024 is one cycle a second: crest after a quarter second, trough after three.
    Snd_SetEffectSampleRate(44100);
    Snd_SetupEffectLfo(-1000, 1000, 1024, 1, 1, 0);
    int32_t at[4] = {};
    for (int i = 0; i <= 33075; i++)
    {
        int32_t v = Snd_EffectLfoValue(1);
        if (i % 11025 == 0)
            at[i / 11025] = v;
    }
    EXPECT_EQ(at[0], 0);
    EXPECT_GT(at[1], 990);
    EXPECT_LT(std::abs(at[2]), 20);
    EXPECT_LT(at[3], -990);
    // The highest frequency at the lowest rate stays inside its range and keeps its phase in the period.
    Snd_SetEffectSampleRate(1);
    Snd_SetupEffectLfo(-1000, 1000, 65535, 1, 0, 4096);
    for (int i = 0; i < 1000; i++)
    {
        int32_t v = Snd_EffectLfoValue(0);
        ASSERT_GE(v, -1001);
        ASSERT_LE(v, 1001);
        ASSERT_GE(g_astEffectLfo[0].iPhase, 0);
        ASSERT_LT(g_astEffectLfo[0].iPhase, 0x1000000);
    }
    // Triangle: rises from the centre, turns at the bounds and comes back.
    Snd_SetEffectSampleRate(1000);
    Snd_SetupEffectLfo(-1000, 1000, 65535, 0, 0, 0);
    int32_t lo = 0, hi = 0;
    for (int i = 0; i < 400; i++)
    {
        int32_t v = Snd_EffectLfoValue(0);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_GT(hi, 900);
    EXPECT_LT(lo, -900);
    EXPECT_GE(lo, -1000);
    EXPECT_LE(hi, 1000);
    // Sine of an oscillator index: four turns over 16384, sign kept, larger magnitudes reduced.
    static const std::pair<int32_t, int32_t> kSine[] = {
        {0, 0}, {256, 4096}, {1024, 0}, {768, -4096}, {-256, -4096}, {16384 + 256, 4096}, {-16384 - 256, -4096},
        {INT32_MIN, 0}};
    for (auto [k, s] : kSine)
        EXPECT_EQ(Snd_EffectLfoSine(k), s) << k;
}

TEST_F(EffectsTest, ReverbCombsRegisterWhileSelected)
{
    ASSERT_EQ(Snd_SelectEffect(EFFECT_REVERB), 0);
    EXPECT_EQ(g_iEffectCombCount, 3);
    EXPECT_EQ(g_apEffectCombs[0], &g_apEffects[EFFECT_REVERB]->pRows[2]);
    EXPECT_EQ(g_apEffectCombs[2], &g_apEffects[EFFECT_REVERB]->pRows[12]);
    // Each stage's state row holds its own line while selected, and nothing after.
    static const int kStates[] = {6, 11, 16, 22};
    static const uint32_t kLengths[] = {2249, 1190, 1896, 308}; // 51, 27, 43 and 7 ms at 44100 Hz
    for (int i = 0; i < 4; i++)
    {
        int32_t h = g_apEffects[EFFECT_REVERB]->pRows[kStates[i]].iCurrent;
        ASSERT_GE(h, 1);
        ASSERT_LE(h, EFFECT_MAX_LINES);
        EXPECT_EQ(g_astEffectDelays[h - 1].uLength, kLengths[i]);
    }
    Snd_ReleaseEffect(EFFECT_REVERB);
    for (int row : kStates)
        EXPECT_EQ(g_apEffects[EFFECT_REVERB]->pRows[row].iCurrent, 0);
    EXPECT_EQ(g_iEffectCombCount, 0);
    EXPECT_EQ(g_apEffectCombs[0], nullptr);
    // Selecting twice, or another effect after it, never piles combs up.
    ASSERT_EQ(Snd_SelectEffect(EFFECT_REVERB), 0);
    ASSERT_EQ(Snd_SelectEffect(EFFECT_REVERB), 0);
    EXPECT_EQ(g_iEffectCombCount, 3);
    ASSERT_EQ(Snd_SelectEffect(EFFECT_COMB), 0);
    EXPECT_EQ(g_iEffectCombCount, 0);
    // Releasing another number still frees what is selected.
    ASSERT_EQ(Snd_SelectEffect(EFFECT_REVERB), 0);
    Snd_ReleaseEffect(EFFECT_COMB);
    EXPECT_EQ(g_iEffectCombCount, 0);
    EXPECT_EQ(g_pSelectedEffect, nullptr);
    for (const EFFECTDELAY &d : g_astEffectDelays)
        EXPECT_EQ(d.pBuffer, nullptr);
}

TEST_F(EffectsTest, RunsOnlyWhatIsSelectedAndPrepared)
{
    Samples s = {100, 200, 300};
    const Samples orig = s;
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, s.data(), 3), -1); // nothing selected
    ASSERT_EQ(Snd_SelectEffect(EFFECT_COMB), 0);
    EXPECT_EQ(Snd_RunEffect(EFFECT_ALLPASS, s.data(), 3), -1); // another one selected
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, s.data(), 0), -1);
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, s.data(), -5), -1);
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, nullptr, 3), -1);
    EXPECT_EQ(Snd_RunEffect(-1, s.data(), 3), -1);
    EXPECT_EQ(Snd_RunEffect(8, s.data(), 3), -1);
    EXPECT_EQ(s, orig);
    EXPECT_EQ(Snd_SelectEffect(-1), -1);
    EXPECT_EQ(Snd_SelectEffect(8), -1);
    EXPECT_EQ(g_pSelectedEffect, g_apEffects[EFFECT_COMB]);
    Snd_ReleaseEffect(EFFECT_COMB);
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, s.data(), 3), -1);

    // No rate: nothing can be worked out, and the effect will not run.
    for (int32_t rate : {0, -44100})
    {
        Snd_SetEffectSampleRate(rate);
        for (int32_t e = 0; e < EFFECT_COUNT; e++)
        {
            EXPECT_EQ(Snd_SelectEffect(e), EFFECT_NO_MEMORY) << e;
            EXPECT_EQ(Snd_RunEffect(e, s.data(), 3), -1);
            Snd_ReleaseEffect(e);
        }
    }
    // A rate that asks for a line larger than we make is refused like a failed allocation.
    Snd_SetEffectSampleRate(INT32_MAX);
    EXPECT_EQ(Snd_SelectEffect(EFFECT_COMB), EFFECT_NO_MEMORY);
    EXPECT_EQ(Snd_RunEffect(EFFECT_COMB, s.data(), 3), -1);
    Snd_ReleaseEffect(EFFECT_COMB);
    EXPECT_EQ(s, orig);
}

TEST_F(EffectsTest, OutOfMemory)
{
    // Every allocation of every selection fails in turn; nothing leaks, a failed effect never runs.
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
        for (int ok = 0;; ok++)
        {
            int res;
            {
                FailAlloc fail(ok);
                res = Snd_SelectEffect(e);
            }
            Samples s = Sine(50);
            const Samples orig = s;
            if (res == EFFECT_OK)
            {
                EXPECT_EQ(Snd_RunEffect(e, s.data(), 50), 0);
                Snd_ReleaseEffect(e);
                break;
            }
            EXPECT_EQ(res, EFFECT_NO_MEMORY) << e << " " << ok;
            EXPECT_EQ(Snd_RunEffect(e, s.data(), 50), -1);
            EXPECT_EQ(s, orig);
            Snd_ReleaseEffect(e);
            EXPECT_EQ(g_iEffectCombCount, 0);
            ASSERT_LT(ok, 10);
        }
    // Building: each failure returns 2 and what was built is freed with the rest.
    for (int ok = 0; ok < 16; ok++)
    {
        FailAlloc fail(ok);
        EXPECT_EQ(Snd_BuildEffects(), EFFECT_NO_MEMORY) << ok;
        fail.Stop();
        Snd_FreeEffects();
        for (EFFECTUNIT *u : g_apEffects)
            EXPECT_EQ(u, nullptr);
    }
    EXPECT_EQ(Snd_BuildEffects(), 0);
    // Nothing built: nothing to select or set.
    Snd_FreeEffects();
    EXPECT_EQ(Snd_SelectEffect(0), -1);
    EXPECT_EQ(Snd_SetEffectParam(0, 0, 1), -1);
}

// Every row at its edges and far beyond them, written through the setter and also straight into
// the rows (as a parameter pop-up may), at every length that matters: under the address sanitizer
// no access leaves the buffers, and outputs stay 16-bit by construction.
TEST_F(EffectsTest, AnyRowValuesStayInsideTheBuffers)
{
    static const int32_t kValues[] = {INT32_MIN, -1000000, -513, -1, 0, 1, 2, 255, 256, 4096, 65535, INT32_MAX};
    static const int32_t kLengths[] = {1, 2, 7, 301};
    static const int32_t kRates[] = {1, 999, 11025, 44100};
    for (int32_t e = 0; e < EFFECT_COUNT; e++)
        for (int32_t value : kValues)
            for (int direct = 0; direct < 2; direct++)
            {
                ASSERT_EQ(Snd_BuildEffects(), 0);
                for (uint32_t r = 0; r < g_apEffects[e]->uRowCount; r++)
                {
                    EFFECTPARAM &p = g_apEffects[e]->pRows[r];
                    if (direct)
                        p.iCurrent = (p.ucKind == 1 || p.iMin != 0) ? value : p.iCurrent;
                    else
                        Snd_SetEffectParam(e, (int32_t)r, value);
                }
                for (int32_t rate : kRates)
                {
                    Snd_SetEffectSampleRate(rate);
                    int res = Snd_SelectEffect(e);
                    EXPECT_TRUE(res == EFFECT_OK || res == EFFECT_NO_MEMORY);
                    for (int32_t len : kLengths)
                    {
                        Samples s = Sine((size_t)len);
                        Snd_RunEffect(e, s.data(), len);
                    }
                    // A state row scribbled on while selected only makes its stage skip.
                    for (uint32_t r = 0; r < g_apEffects[e]->uRowCount; r++)
                        if (g_apEffects[e]->pRows[r].ucKind == 0 && g_apEffects[e]->pRows[r].iMin == 0 && direct)
                            g_apEffects[e]->pRows[r].iCurrent = value;
                    Samples s = Sine(7);
                    Snd_RunEffect(e, s.data(), 7);
                    Snd_ReleaseEffect(e);
                }
            }
    for (const EFFECTDELAY &d : g_astEffectDelays)
        EXPECT_EQ(d.pBuffer, nullptr);
}

} // namespace
