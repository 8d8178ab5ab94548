#include "audio/wav.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string TempPath(const char *name)
{
    static TempDir dir;
    return dir.File(name);
}

using Bytes = std::vector<unsigned char>;

void Add32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void Add16(Bytes &b, uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void AddChunk(Bytes &b, const char *id, const Bytes &body, int64_t sizeField = -1)
{
    b.insert(b.end(), id, id + 4);
    Add32(b, sizeField < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(sizeField));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
}

Bytes Fmt(int tag, int channels, int rate, int bits, int extraSize = -1, const Bytes &extra = {})
{
    Bytes f;
    Add16(f, static_cast<uint32_t>(tag));
    Add16(f, static_cast<uint32_t>(channels));
    Add32(f, static_cast<uint32_t>(rate));
    Add32(f, static_cast<uint32_t>(rate * channels * bits / 8));
    Add16(f, static_cast<uint32_t>(channels * bits / 8));
    Add16(f, static_cast<uint32_t>(bits));
    if (extraSize >= 0) {
        Add16(f, static_cast<uint32_t>(extraSize));
        f.insert(f.end(), extra.begin(), extra.end());
    }
    return f;
}

Bytes Riff(const Bytes &chunks, int64_t sizeField = -1)
{
    Bytes b = {'R', 'I', 'F', 'F'};
    Add32(b, sizeField < 0 ? static_cast<uint32_t>(chunks.size() + 4) : static_cast<uint32_t>(sizeField));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes Wave(const Bytes &fmt, const Bytes &data)
{
    Bytes c;
    AddChunk(c, "fmt ", fmt);
    AddChunk(c, "data", data);
    return Riff(c);
}

std::string WriteFile(const char *name, const Bytes &b)
{
    std::string p = TempPath(name);
    FILE *f = std::fopen(p.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (!b.empty())
        std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return p;
}

Bytes ReadFile(const std::string &p)
{
    Bytes b;
    FILE *f = std::fopen(p.c_str(), "rb");
    if (!f)
        return b;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        b.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return b;
}

struct Read
{
    int32_t open = 0;
    std::vector<int16_t> left, right;
    bool hasRight = false;
    int frames = -1;
    int rate = -1;
};

Read ReadWav(const std::string &path)
{
    Read r;
    r.open = Snd_WavOpenRead(path.c_str());
    if (r.open != 0)
        return r;
    int16_t *l = nullptr, *rt = nullptr;
    EXPECT_EQ(Snd_WavReadData(&l, &rt, &r.frames, &r.rate), 0);
    if (l)
        r.left.assign(l, l + r.frames);
    if (rt)
        r.right.assign(rt, rt + r.frames);
    r.hasRight = rt != nullptr;
    std::free(l);
    std::free(rt);
    EXPECT_EQ(Snd_WavCloseRead(), 0);
    return r;
}

} // namespace

TEST(WavWrite, GoldenHeaderOfTwoStereoFrames)
{
    std::string p = TempPath("golden.wav");
    ASSERT_EQ(Snd_WavOpenWrite(p.c_str(), 44100, 2), 0);
    const int16_t frames[4] = {1, -2, 0x1234, -32768};
    ASSERT_EQ(Snd_WavWrite(frames, 2), 0);
    ASSERT_EQ(Snd_WavCloseWrite(2), 0);
    const Bytes expected = {
        'R', 'I', 'F', 'F', 56, 0, 0, 0, 'W', 'A', 'V', 'E',
        'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0,
        'f', 'a', 'c', 't', 4, 0, 0, 0, 2, 0, 0, 0,
        'd', 'a', 't', 'a', 8, 0, 0, 0,
        1, 0, 0xFE, 0xFF, 0x34, 0x12, 0x00, 0x80};
    EXPECT_EQ(ReadFile(p), expected);
}

TEST(WavWrite, RoundTripsMonoAndStereo)
{
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        std::vector<int16_t> samples;
        for (int i = 0; i < 300 * channels; ++i)
            samples.push_back(static_cast<int16_t>(i * 217 - 32768));
        std::string p = TempPath("round.wav");
        ASSERT_EQ(Snd_WavOpenWrite(p.c_str(), 22050, channels), 0);
        // Two writes, as the mixdown does block by block.
        ASSERT_EQ(Snd_WavWrite(samples.data(), 100), 0);
        ASSERT_EQ(Snd_WavWrite(samples.data() + 100 * channels, 200), 0);
        ASSERT_EQ(Snd_WavCloseWrite(300), 0);
        Read r = ReadWav(p);
        ASSERT_EQ(r.open, 0);
        EXPECT_EQ(r.rate, 22050);
        ASSERT_EQ(r.frames, 300);
        EXPECT_EQ(r.hasRight, channels == 2);
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(r.left[i], samples[i * channels]) << i;
            if (channels == 2) {
                ASSERT_EQ(r.right[i], samples[i * 2 + 1]) << i;
            }
        }
    }
}

TEST(WavWrite, Errors)
{
    EXPECT_EQ(Snd_WavWrite("\0\0\0\0", 1), SND_E_FAIL);
    EXPECT_EQ(Snd_WavCloseWrite(0), SND_E_FAIL);
    EXPECT_EQ(Snd_WavOpenWrite("/nonexistent-dir/x.wav", 44100, 2), SND_E_FAIL);
    EXPECT_STRNE(Snd_WavErrorText(), "");
    EXPECT_EQ(Snd_WavOpenWrite(TempPath("bad.wav").c_str(), 44100, 0), SND_E_FAIL);
    std::string p = TempPath("twice.wav");
    ASSERT_EQ(Snd_WavOpenWrite(p.c_str(), 44100, 2), 0);
    EXPECT_EQ(Snd_WavOpenWrite(p.c_str(), 44100, 2), SND_E_FAIL);
    EXPECT_EQ(Snd_WavCloseWrite(0), 0);
}

TEST(WavRead, EightBitConversionMonoAndStereo)
{
    Read mono = ReadWav(WriteFile("m8.wav", Wave(Fmt(1, 1, 11025, 8), {0x80, 0xFF, 0x00, 0x81})));
    ASSERT_EQ(mono.open, 0);
    EXPECT_EQ(mono.rate, 11025);
    EXPECT_FALSE(mono.hasRight);
    EXPECT_EQ(mono.left, (std::vector<int16_t>{0, 32512, -32768, 256}));

    // An odd trailing byte is no whole frame.
    Read st = ReadWav(WriteFile("s8.wav", Wave(Fmt(1, 2, 22050, 8), {0x80, 0xFF, 0x00, 0x81, 0x7F})));
    ASSERT_EQ(st.open, 0);
    ASSERT_EQ(st.frames, 2);
    EXPECT_EQ(st.left, (std::vector<int16_t>{0, -32768}));
    EXPECT_EQ(st.right, (std::vector<int16_t>{32512, 256}));
}

TEST(WavRead, StereoSixteenBitIgnoresOddHalfFrame)
{
    Read r = ReadWav(WriteFile("s16.wav", Wave(Fmt(1, 2, 44100, 16), {1, 0, 2, 0, 3, 0, 4, 0, 5, 0})));
    ASSERT_EQ(r.open, 0);
    EXPECT_EQ(r.left, (std::vector<int16_t>{1, 3}));
    EXPECT_EQ(r.right, (std::vector<int16_t>{2, 4}));
}

TEST(WavRead, ChunkOrderPaddingAndShortData)
{
    // "fmt " after "data", odd-sized chunks padded, unknown chunks skipped.
    Bytes c;
    AddChunk(c, "LIST", {1, 2, 3});
    AddChunk(c, "data", {0x10, 0, 0x20, 0});
    AddChunk(c, "junk", {9});
    AddChunk(c, "fmt ", Fmt(1, 1, 44100, 16));
    Read r = ReadWav(WriteFile("order.wav", Riff(c)));
    ASSERT_EQ(r.open, 0);
    EXPECT_EQ(r.left, (std::vector<int16_t>{16, 32}));

    // A data size past the end of the file yields the frames that are there.
    Bytes d;
    AddChunk(d, "fmt ", Fmt(1, 1, 44100, 16));
    AddChunk(d, "data", {1, 0, 2, 0, 3, 0}, 0xFFFFFFF0);
    Read s = ReadWav(WriteFile("short.wav", Riff(d, 0xFFFFFFFF)));
    ASSERT_EQ(s.open, 0);
    EXPECT_EQ(s.left, (std::vector<int16_t>{1, 2, 3}));
}

TEST(WavRead, BrokenFilesAreRefused)
{
    Bytes hugeFmt;
    AddChunk(hugeFmt, "fmt ", Fmt(1, 1, 44100, 16), 0x7FFFFFFF);
    AddChunk(hugeFmt, "data", {0, 0});
    Bytes hugeJunk;
    AddChunk(hugeJunk, "fmt ", Fmt(1, 1, 44100, 16));
    AddChunk(hugeJunk, "junk", {0, 0}, 0xFFFFFFFE);
    AddChunk(hugeJunk, "data", {0, 0});
    Bytes shortFmt;
    AddChunk(shortFmt, "fmt ", Bytes(14, 1));
    AddChunk(shortFmt, "data", {0, 0});
    Bytes noData;
    AddChunk(noData, "fmt ", Fmt(1, 1, 44100, 16));
    Bytes noFmt;
    AddChunk(noFmt, "data", {0, 0});
    Bytes notWave = Wave(Fmt(1, 1, 44100, 16), {0, 0});
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    Bytes notRiff = Wave(Fmt(1, 1, 44100, 16), {0, 0});
    std::memcpy(notRiff.data(), "RIFX", 4);
    Bytes cutHeader = Wave(Fmt(1, 1, 44100, 16), {0, 0});
    cutHeader.resize(30); // inside the "fmt " chunk

    const struct
    {
        const char *name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"short header", {'R', 'I', 'F', 'F', 4, 0, 0, 0}},
        {"not RIFF", notRiff},
        {"not WAVE", notWave},
        {"header cut in fmt", cutHeader},
        {"fmt under 16 bytes", Riff(shortFmt)},
        {"huge fmt size", Riff(hugeFmt)},
        {"huge chunk before data", Riff(hugeJunk)},
        {"missing data chunk", Riff(noData)},
        {"missing fmt chunk", Riff(noFmt)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Snd_WavOpenRead(WriteFile("broken.wav", c.bytes).c_str()), SND_E_FAIL);
        EXPECT_STRNE(Snd_WavErrorText(), "");
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        EXPECT_EQ(Snd_WavReadData(&l, &r, &frames, &rate), SND_E_FAIL);
        EXPECT_EQ(l, nullptr);
    }
    EXPECT_EQ(Snd_WavOpenRead(TempPath("missing.wav").c_str()), SND_E_FAIL);
    // Nothing stays open after a refusal.
    EXPECT_EQ(ReadWav(WriteFile("good.wav", Wave(Fmt(1, 1, 44100, 16), {7, 0}))).left,
              (std::vector<int16_t>{7}));
}

TEST(WavRead, CodingsOtherThanPcmGiveNoData)
{
    Bytes extPcm(22, 0), extFloat(22, 0);
    extPcm[6] = 1;
    extFloat[6] = 3;
    const struct
    {
        const char *name;
        Bytes fmt;
        bool data;
    } cases[] = {
        {"float, extra size 0", Fmt(3, 1, 44100, 16, 0), false},
        {"float, no extra size field", Fmt(3, 1, 44100, 16), false},
        {"a-law 8-bit", Fmt(6, 1, 44100, 8, 0), false},
        {"extensible pcm", Fmt(0xFFFE, 1, 44100, 16, 22, extPcm), true},
        {"extensible float", Fmt(0xFFFE, 1, 44100, 16, 22, extFloat), false},
        {"24-bit pcm", Fmt(1, 1, 44100, 24), false},
        {"four channels", Fmt(1, 4, 44100, 16), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Read r = ReadWav(WriteFile("coding.wav", Wave(c.fmt, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0})));
        ASSERT_EQ(r.open, 0);
        EXPECT_EQ(!r.left.empty(), c.data);
        if (!c.data) {
            EXPECT_EQ(r.frames, 0);
            EXPECT_STRNE(Snd_WavErrorText(), "");
        }
    }
}

TEST(WavRead, OtherRatesAreConvertedToPlayAtTheirOwnSpeed)
{
    // A ramp at 32000 Hz: 0.1 s becomes 0.1 s at 44100 Hz, same slope.
    Bytes data;
    for (int i = 0; i < 3200; ++i)
        Add16(data, static_cast<uint32_t>(i * 10));
    Read r = ReadWav(WriteFile("r32k.wav", Wave(Fmt(1, 1, 32000, 16), data)));
    ASSERT_EQ(r.open, 0);
    EXPECT_EQ(r.rate, 44100);
    ASSERT_EQ(r.frames, 3199 * 44100 / 32000 + 1);
    EXPECT_EQ(r.left.front(), 0);
    EXPECT_NEAR(r.left.back(), 31990, 10);
    for (int i = 0; i < r.frames; i += 97)
        ASSERT_NEAR(r.left[i], i * 32000.0 / 44100.0 * 10.0, 1.0) << i;

    // The three standard rates stay as they are; absurd rates are refused.
    for (int rate : {44100, 22050, 11025}) {
        Read s = ReadWav(WriteFile("std.wav", Wave(Fmt(1, 1, rate, 16), {1, 0, 2, 0})));
        EXPECT_EQ(s.rate, rate);
        EXPECT_EQ(s.frames, 2);
    }
    for (int rate : {0, 1, 999, 5000000}) {
        Read s = ReadWav(WriteFile("odd.wav", Wave(Fmt(1, 1, rate, 16), {1, 0, 2, 0})));
        ASSERT_EQ(s.open, 0);
        EXPECT_EQ(s.frames, 0) << rate;
        EXPECT_STRNE(Snd_WavErrorText(), "");
    }
}

TEST(WavRead, FilesWrittenBySox)
{
    if (std::system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox not installed";
    const struct
    {
        const char *opts;
        int channels, bits, rate;
    } cases[] = {
        {"-r 22050 -c 1 -b 16 -e signed-integer", 1, 16, 22050},
        {"-r 44100 -c 2 -b 16 -e signed-integer", 2, 16, 44100},
        {"-r 11025 -c 1 -b 8 -e unsigned-integer", 1, 8, 11025},
        {"-r 44100 -c 2 -b 8 -e unsigned-integer", 2, 8, 44100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opts);
        std::string wav = TempPath("sox.wav"), raw = TempPath("sox.raw");
        // The same tone twice: once as WAV, once as headerless samples to compare with.
        std::string synth = std::string(" ") + c.opts + " ";
        std::string cmd = "sox -R -D -n" + synth + "-t wav " + wav + " synth 0.05 sine 440 sine 660 vol 0.8 2>/dev/null && " +
                          "sox -R -D -n" + synth + "-t raw " + raw + " synth 0.05 sine 440 sine 660 vol 0.8 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Bytes pcm = ReadFile(raw);
        Read r = ReadWav(wav);
        ASSERT_EQ(r.open, 0);
        EXPECT_EQ(r.rate, c.rate);
        size_t frameBytes = static_cast<size_t>(c.channels * c.bits / 8);
        ASSERT_EQ(static_cast<size_t>(r.frames), pcm.size() / frameBytes);
        ASSERT_EQ(r.hasRight, c.channels == 2);
        for (int i = 0; i < r.frames; ++i)
            for (int ch = 0; ch < c.channels; ++ch) {
                size_t at = (static_cast<size_t>(i) * c.channels + ch) * (c.bits / 8);
                int16_t want = c.bits == 8 ? static_cast<int16_t>((pcm[at] - 128) * 256)
                                           : static_cast<int16_t>(pcm[at] | (pcm[at + 1] << 8));
                ASSERT_EQ(ch == 0 ? r.left[i] : r.right[i], want) << i;
            }
    }
}

// WAV names go through the studio's path translation like every other file: '\' separators and
// names in another case find the file; a folder is refused rather than read.
TEST(WavRead, NamesInAnyCaseAndWithBackslashes)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("Takes"));
    std::string written = dir.File("Takes/Loop.WAV");
    int16_t frames[4] = {1, -1, 2, -2};
    ASSERT_EQ(Snd_WavOpenWrite(written.c_str(), 44100, 2), 0);
    ASSERT_EQ(Snd_WavWrite(frames, 2), 0);
    ASSERT_EQ(Snd_WavCloseWrite(2), 0);

    Read r = ReadWav(dir.Path() + "\\takes\\loop.wav");
    ASSERT_EQ(r.open, 0) << Snd_WavErrorText();
    ASSERT_EQ(r.frames, 2);
    EXPECT_EQ(r.left[1], 2);

    EXPECT_EQ(Snd_WavOpenRead(dir.File("Takes").c_str()), SND_E_FAIL);
    EXPECT_STRNE(Snd_WavErrorText(), "");
}
