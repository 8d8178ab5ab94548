#include "audio/adpcm.h"
#include "tools/soundcontent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <set>

namespace {

std::vector<int16_t> DecodeFile(const std::vector<uint8_t> &file, ADPCMDECODE *pInfo)
{
    EXPECT_GE(file.size(), (size_t)CONTENT_SAMPLE_HEADER);
    uint32_t size = (uint32_t)(file.size() - CONTENT_SAMPLE_HEADER);
    EXPECT_EQ(size % ADPCM_BLOCK_BYTES, 0u);
    std::vector<int16_t> out(Snd_AdpcmMaxSamples(size));
    EXPECT_EQ(Snd_DecodeAdpcm(file.data() + CONTENT_SAMPLE_HEADER, size, out.data(), (uint32_t)out.size(), pInfo), 0);
    out.resize(pInfo->uSamples);
    return out;
}

int Peak(const std::vector<int16_t> &s)
{
    int peak = 0;
    for (int16_t v : s)
        peak = std::max(peak, std::abs((int)v));
    return peak;
}

double SnrDb(const std::vector<int16_t> &ref, const std::vector<int16_t> &got)
{
    double sig = 0, err = 0;
    for (size_t i = 0; i < ref.size(); i++) {
        double d = (double)got[i] - ref[i];
        sig += (double)ref[i] * ref[i];
        err += d * d;
    }
    return err == 0 ? 200.0 : 10 * std::log10(sig / err);
}

// Strongest partial of an exactly repeating loop: its spectrum is lines at whole cycles per loop.
double LoopPitchHz(const int16_t *loop, uint32_t len, int rate, double nearHz)
{
    double seconds = (double)len / rate;
    int lo = (int)(nearHz * seconds * 0.9), hi = (int)(nearHz * seconds * 1.1) + 1;
    double best = -1;
    int bestC = 0;
    for (int c = lo; c <= hi; c++) {
        std::complex<double> acc = 0;
        for (uint32_t n = 0; n < len; n++)
            acc += (double)loop[n] * std::polar(1.0, -2 * M_PI * (double)((uint64_t)c * n % len) / len);
        if (std::abs(acc) > best) {
            best = std::abs(acc);
            bestC = c;
        }
    }
    return bestC / seconds;
}

} // namespace

TEST(InterfaceSounds, ShortDistinctAndNotTooLoud)
{
    struct Case
    {
        int n;
        double minMs, maxMs;
    };
    const Case cases[] = {{0, 60, 120}, {1, 15, 50}, {2, 15, 50}, {3, 100, 200}, {4, 60, 120}};
    std::set<std::vector<int16_t>> seen;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        std::vector<int16_t> s = Content_SynthInterfaceSound(c.n);
        double ms = s.size() * 1000.0 / 44100;
        EXPECT_GE(ms, c.minMs);
        EXPECT_LE(ms, c.maxMs);
        int peak = Peak(s);
        EXPECT_GE(peak, 15000) << "about -6 dBFS";
        EXPECT_LE(peak, 16500);
        // Starts and ends without a click.
        EXPECT_LT(std::abs((int)s.front()), 2000);
        EXPECT_LT(std::abs((int)s.back()), 500);
        EXPECT_TRUE(seen.insert(s).second) << "each sound differs";
    }
    EXPECT_TRUE(Content_SynthInterfaceSound(5).empty());
    EXPECT_TRUE(Content_SynthInterfaceSound(-1).empty());
}

TEST(InterfaceSounds, FilesDecodeToTheSynthesisedSounds)
{
    std::vector<CONTENTFILE> files = Content_InterfaceSoundFiles();
    const char *const names[] = {"boot/confirm1.bin", "boot/select1.bin", "boot/move.bin", "boot/bad.bin",
                                 "boot/cancel.bin"};
    ASSERT_EQ(files.size(), 5u);
    for (int n = 0; n < 5; n++) {
        SCOPED_TRACE(names[n]);
        EXPECT_EQ(files[n].path, names[n]);
        const std::vector<uint8_t> &f = files[n].data;
        ASSERT_GT(f.size(), (size_t)CONTENT_SAMPLE_HEADER);
        for (int i = 0; i < CONTENT_SAMPLE_HEADER; i++)
            EXPECT_EQ(f[i], 0) << "header byte " << i;
        // The priming block is silent with filter 0.
        for (int i = 0; i < ADPCM_BLOCK_BYTES; i++)
            EXPECT_EQ(f[CONTENT_SAMPLE_HEADER + i], 0);
        ADPCMDECODE info;
        std::vector<int16_t> got = DecodeFile(f, &info);
        std::vector<int16_t> ref = Content_SynthInterfaceSound(n);
        ASSERT_EQ(got.size(), (ref.size() + 27) / 28 * 28);
        EXPECT_FALSE(info.bLoops);
        EXPECT_GE(SnrDb(ref, got), 30.0);
    }
}

// Every library sound at the low rate (the other rates share the code and cost more to check).
TEST(InstrumentLibrary, SoundsAreCleanInTuneAndLoopSeamlessly)
{
    const int rate = 11025;
    for (int i = 0; i < Content_InstrumentCount(); i++) {
        const CONTENTINSTRUMENT &info = Content_InstrumentInfo(i);
        SCOPED_TRACE(info.entry);
        CONTENTSAMPLE s = Content_SynthInstrument(i, rate);
        ASSERT_FALSE(s.samples.empty());
        double seconds = (double)s.samples.size() / rate;
        EXPECT_GE(seconds, 0.1);
        EXPECT_LE(seconds, 4.0);
        int peak = Peak(s.samples);
        EXPECT_GE(peak, 20000);
        EXPECT_LT(peak, 32767) << "no clipping";

        std::vector<uint8_t> file = Content_MakeSampleFile(info.shown, info.category, s);
        EXPECT_EQ(std::string((const char *)file.data()), info.shown);
        EXPECT_EQ(file[19], 0);
        EXPECT_EQ(file[CONTENT_SAMPLE_CATEGORY], info.category);
        ADPCMDECODE dec;
        std::vector<int16_t> got = DecodeFile(file, &dec);
        // Noise is the format's worst case (about 20 dB); tones keep 30 dB and more.
        EXPECT_GE(SnrDb(s.samples, got), info.baseHz == 0 && i > 0 ? 18.0 : 30.0);

        if (info.baseHz == 0) {
            EXPECT_EQ(s.loopStart, -1);
            EXPECT_FALSE(dec.bLoops);
            EXPECT_LT(std::abs((int)s.samples.back()), 300) << "a one-shot dies away";
            continue;
        }
        // Loops sit on block edges, so the decoded sound loops exactly where it was made to.
        ASSERT_GE(s.loopStart, 0);
        EXPECT_EQ(s.loopStart % ADPCM_BLOCK_SAMPLES, 0);
        EXPECT_EQ(s.samples.size() % ADPCM_BLOCK_SAMPLES, 0u);
        ASSERT_TRUE(dec.bLoops);
        EXPECT_EQ(dec.uLoopStartFrame, (uint32_t)s.loopStart);
        EXPECT_EQ(got.size(), s.samples.size());
        uint32_t len = (uint32_t)s.samples.size() - (uint32_t)s.loopStart;
        EXPECT_GE((double)len / rate, 0.5);

        // The seam (end back to loop start) is no bigger a step than any step inside the loop.
        int maxStep = 0;
        for (size_t n = s.loopStart + 1; n < got.size(); n++)
            maxStep = std::max(maxStep, std::abs(got[n] - got[n - 1]));
        EXPECT_LE(std::abs(got[s.loopStart] - got.back()), maxStep + 64);

        double hz = LoopPitchHz(s.samples.data() + s.loopStart, len, rate, info.baseHz);
        EXPECT_LT(std::fabs(1200 * std::log2(hz / info.baseHz)), 3.0) << hz << " Hz";
    }
}

TEST(InstrumentLibrary, SameSoundsAtEveryRate)
{
    std::vector<CONTENTFILE> files = Content_InstrumentFiles();
    ASSERT_EQ(files.size(), 3u * Content_InstrumentCount());
    std::set<std::string> paths;
    for (const CONTENTFILE &f : files) {
        EXPECT_TRUE(paths.insert(f.path).second) << f.path;
        EXPECT_FALSE(f.data.empty()) << f.path;
        // Archive entry names are at most 8 characters.
        EXPECT_LE(f.path.size() - f.path.rfind('/') - 1, 8u) << f.path;
    }
    EXPECT_TRUE(paths.count("N/B/DRUMS/KIT1/KICK"));
    EXPECT_TRUE(paths.count("N/F/PAD/SYNTH/PAD1"));
    // A bass at 44100 Hz: four times the frames of the 11025 Hz one, same loop in time.
    int bass = 5;
    ASSERT_EQ(Content_InstrumentInfo(bass).category, CONTENT_CATEGORY_BASS);
    CONTENTSAMPLE lo = Content_SynthInstrument(bass, 11025), hi = Content_SynthInstrument(bass, 44100);
    EXPECT_EQ(hi.samples.size(), 4 * lo.samples.size());
    EXPECT_EQ(hi.loopStart, 4 * lo.loopStart);
    EXPECT_TRUE(Content_SynthInstrument(bass, 48000).samples.empty());
    EXPECT_TRUE(Content_SynthInstrument(99, 11025).samples.empty());
}
