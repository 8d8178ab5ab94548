#include "audio/import.h"
#include "audio/sampleedit.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "core/file.h"
#include "sequencer/samples.h"
#include "support/songdata.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class Import : public ::testing::Test
{
protected:
    TempDir m_dir;

    void SetUp() override
    {
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        ClearSongData();
        g_szErrorText[0] = 0;
    }
    void TearDown() override
    {
        Snd_ShutdownSampleEngine();
        ClearSongData();
    }

    static int Slots()
    {
        int n = 0;
        for (int i = 0; i < g_iSampleSlotCount; i++)
            n += g_ppSampleSlots[i] != nullptr;
        return n;
    }

    static int Instruments()
    {
        int n = 0;
        for (int i = 1; i < SEQ_INSTRUMENT_SLOTS; i++)
            n += g_aInstrumentSlots[i].ucAllocated || g_aInstrumentSlots[i].ucKey1;
        return n;
    }

    // Writes a 16-bit WAV of the given channels (interleaved samples).
    std::string Wav(const char *name, int rate, int channels, const std::vector<int16_t> &samples)
    {
        std::string path = m_dir.File(name);
        EXPECT_EQ(Snd_WavOpenWrite(path.c_str(), rate, channels), 0);
        if (!samples.empty()) {
            EXPECT_EQ(Snd_WavWrite(samples.data(), (int)samples.size() / channels), 0);
        }
        EXPECT_EQ(Snd_WavCloseWrite((uint32_t)samples.size() / channels), 0);
        return path;
    }

    static SAMPLESLOT *SlotOf(int32_t instrument)
    {
        SAMPLESLOT *p = nullptr;
        Snd_FindSampleById(&p, (uint32_t)(int32_t)g_aInstrumentSlots[instrument].iSampleId);
        return p;
    }

    static std::vector<int16_t> Left(const SAMPLESLOT *p)
    {
        std::vector<int16_t> out(p->uFrames);
        Snd_CopySampleLeft(out.data(), p);
        return out;
    }

    // The instrument, its sample record and its sample slot agree, as an imported sample.
    static void ExpectImported(int32_t instrument, int32_t id, uint32_t frames, uint8_t rateCode, uint32_t rate,
                               const char *name)
    {
        ASSERT_GE(instrument, 1);
        ASSERT_LT(instrument, SEQ_NO_INSTRUMENT);
        const INSTRUMENTSLOT &ins = g_aInstrumentSlots[instrument];
        EXPECT_EQ(ins.uMark, 0);
        EXPECT_EQ(ins.iSampleId, id);
        EXPECT_EQ(ins.ucKey1, 255);
        EXPECT_EQ(ins.uKey2, 0xFFFF);
        EXPECT_EQ(ins.uKey3, 0xFFFF);
        EXPECT_EQ(ins.pCommands, nullptr);
        EXPECT_EQ(ins.ucCommandCount, 0);
        EXPECT_EQ(ins.cSampleState, SAMPLE_STATE_OWN) << "the sample editor records nothing for it";
        ASSERT_NE(ins.pszName, nullptr);
        EXPECT_STREQ(ins.pszName, name);
        const SAMPLEENTRY *entry = nullptr;
        for (int i = 1; i < g_uSampleCount; i++)
            if (g_aSamples[i].iSampleId == id)
                entry = &g_aSamples[i];
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(ins.pszName, entry->szName);
        EXPECT_EQ(entry->uLength, frames);
        SAMPLESLOT *p = SlotOf(instrument);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->uFrames, frames);
        EXPECT_EQ(p->uRate, rate);
        EXPECT_EQ(Snd_RateCodeOf(p->uRate), rateCode);
        EXPECT_EQ(p->pStart, p->pData);
    }
};

TEST_F(Import, RawSamplesFromMemoryAndFilesWithTheirRateCodes)
{
    std::string bytes;
    for (int i = 0; i < 11; i++)
        bytes.push_back((char)i); // 5 words and an odd byte
    WriteTextFile(m_dir.File("Take.PCM"), bytes);
    std::string file = m_dir.Path() + "/take.pcm";
    struct Case
    {
        const char *what;
        bool fromFile;
        int32_t rate;
        uint8_t rateCode; // 0: allocation's default kept
    };
    const Case cases[] = {
        {"44100 from memory", false, 44100, 3}, {"22050 from a file", true, 22050, 2},
        {"11025 from memory", false, 11025, 1}, {"32000 keeps the default code", true, 32000, 0},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        n++;
        int32_t instrument = c.fromFile ? Snd_ImportRawSample(file.c_str(), nullptr, 0, c.rate)
                                        : Snd_ImportRawSample("mem", bytes.data(), (uint32_t)bytes.size(), c.rate);
        char name[20];
        snprintf(name, sizeof name, "Sample%.4d", n);
        ExpectImported(instrument, -n, 5, c.rateCode, (uint32_t)c.rate, name);
        EXPECT_EQ(instrument, n);
        EXPECT_EQ(Left(SlotOf(instrument)), (std::vector<int16_t>{0x0100, 0x0302, 0x0504, 0x0706, 0x0908}));
    }
}

TEST_F(Import, IdsAreFreshAndReusedOnceFree)
{
    const int16_t words[2] = {1, 2};
    EXPECT_EQ(Snd_ImportRawSample("a", words, 4, 44100), 1);
    EXPECT_EQ(Snd_ImportRawSample("b", words, 4, 44100), 2);
    EXPECT_EQ(g_aInstrumentSlots[1].iSampleId, -1);
    EXPECT_EQ(g_aInstrumentSlots[2].iSampleId, -2);
    EXPECT_STREQ(g_aInstrumentSlots[2].pszName, "Sample0002");
    // With -1 gone, the next sample takes it again; the name counter goes on.
    Seq_RemoveSampleRecord(-1, 0);
    EXPECT_EQ(Snd_ImportRawSample("c", words, 4, 44100), 3);
    EXPECT_EQ(g_aInstrumentSlots[3].iSampleId, -1);
    EXPECT_STREQ(g_aInstrumentSlots[3].pszName, "Sample0003");
    EXPECT_STREQ(g_aInstrumentSlots[2].pszName, "Sample0002") << "names follow the moved records";
}

TEST_F(Import, WavFilesMakeOneInstrumentPerChannel)
{
    std::string mono = Wav("mono.wav", 22050, 1, {10, 20, 30});
    int32_t instrument = Snd_ImportWavSample(mono.c_str());
    ExpectImported(instrument, -1, 3, 2, 22050, "Sample0001");
    EXPECT_EQ(Instruments(), 1);
    EXPECT_EQ(Left(SlotOf(instrument)), (std::vector<int16_t>{10, 20, 30}));

    std::string stereo = Wav("stereo.wav", 44100, 2, {1, -1, 2, -2});
    int32_t second = Snd_ImportWavSample(stereo.c_str());
    EXPECT_EQ(second, 3) << "the right channel's instrument is returned";
    ExpectImported(2, -2, 2, 3, 44100, "Sample0002");
    ExpectImported(3, -3, 2, 3, 44100, "Sample0003");
    EXPECT_EQ(Left(SlotOf(2)), (std::vector<int16_t>{1, 2})) << "left first";
    EXPECT_EQ(Left(SlotOf(3)), (std::vector<int16_t>{-1, -2}));

    std::string low = Wav("low.wav", 11025, 1, {5});
    ExpectImported(Snd_ImportWavSample(low.c_str()), -4, 1, 1, 11025, "Sample0004");
}

TEST_F(Import, WavAtAnotherRatePlaysAtItsOwnSpeed)
{
    // The reader hands 32000 Hz data over at 44100 Hz, so it imports with rate code 3.
    std::vector<int16_t> s(321, 1000);
    std::string odd = Wav("odd.wav", 32000, 1, s);
    ExpectImported(Snd_ImportWavSample(odd.c_str()), -1, 442, 3, 44100, "Sample0001");
}

TEST_F(Import, FailedImportsLeaveNothingBehind)
{
    WriteTextFile(m_dir.File("junk.wav"), "RIFX....WAVEjunk");
    std::string empty = Wav("empty.wav", 44100, 1, {});
    std::string wavNone = m_dir.File("none.wav");
    std::string rawNone = m_dir.File("none.pcm");
    std::string junk = m_dir.File("junk.wav");
    const int16_t words[2] = {1, 2};
    struct Case
    {
        const char *what;
        std::function<int32_t()> run;
    };
    const Case cases[] = {
        {"missing raw file", [&] { return Snd_ImportRawSample(rawNone.c_str(), nullptr, 0, 22050); }},
        {"raw data of no rate", [&] { return Snd_ImportRawSample("x", words, 4, 0); }},
        {"missing WAV file", [&] { return Snd_ImportWavSample(wavNone.c_str()); }},
        {"not a WAV file", [&] { return Snd_ImportWavSample(junk.c_str()); }},
        {"WAV without samples", [&] { return Snd_ImportWavSample(empty.c_str()); }},
        {"no file name", [&] { return Snd_ImportWavSample(nullptr); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_szErrorText[0] = 0;
        EXPECT_EQ(c.run(), -1);
        EXPECT_EQ(Slots(), 1) << "only the engine's slot";
        EXPECT_EQ(Instruments(), 0);
        EXPECT_EQ(g_uSampleCount, 1) << "no sample records";
        EXPECT_NE(g_szErrorText[0], 0);
    }
}

TEST_F(Import, FullTablesRefuseWithoutLeaks)
{
    const int16_t words[2] = {1, 2};
    // Instrument table full: allocation answers 201, and so does the import.
    for (int i = 1; i < SEQ_NO_INSTRUMENT; i++)
        g_aInstrumentSlots[i].ucAllocated = 1;
    EXPECT_EQ(Snd_ImportRawSample("a", words, 4, 44100), SEQ_NO_INSTRUMENT);
    EXPECT_EQ(Slots(), 1);
    EXPECT_EQ(g_uSampleCount, 1) << "no sample records";
    std::string stereo = Wav("stereo.wav", 44100, 2, {1, -1});
    EXPECT_EQ(Snd_ImportWavSample(stereo.c_str()), SEQ_NO_INSTRUMENT);
    EXPECT_EQ(Slots(), 1);

    // Sample table full.
    ClearSongData();
    for (int i = 1; i < SEQ_MAX_SAMPLES; i++)
        g_aSamples[Seq_AddSampleRecord(2)].iSampleId = (int16_t)(1000 + i);
    ASSERT_EQ(Seq_AddSampleRecord(2), -1);
    EXPECT_EQ(Snd_ImportRawSample("a", words, 4, 44100), -1);
    EXPECT_EQ(Slots(), 1);
    EXPECT_EQ(Instruments(), 0);
}

TEST_F(Import, AppendRawFileGrowsTheSample)
{
    std::string bytes;
    for (int i = 0; i < 1001; i++)
        bytes.push_back((char)(i * 7));
    WriteTextFile(m_dir.File("more.pcm"), bytes);
    std::string more = m_dir.File("more.pcm");
    std::vector<int16_t> old(100);
    for (int i = 0; i < 100; i++)
        old[i] = (int16_t)(i - 50);

    for (bool narrowed : {true, false}) {
        SCOPED_TRACE(narrowed ? "mono (as edited)" : "stereo");
        SAMPLESLOT *p = nullptr;
        ASSERT_EQ(Snd_LoadSample(&p, "rec", old.data(), 200, SAMPLE_FORMAT_RAW_MEMORY), 0);
        if (narrowed) {
            ASSERT_EQ(Snd_NarrowSample(p), 0);
        }
        Snd_SetSampleLoop(p, 40, 1);
        ASSERT_EQ(Snd_AppendRawFile(more.c_str(), p), 1);
        EXPECT_EQ(p->uBytes, 1201u);
        EXPECT_EQ(p->uFrames, 600u);
        EXPECT_EQ(p->uLoopStartFrame, 40u);
        EXPECT_TRUE(p->uFlags & SAMPLE_LOOPS);
        EXPECT_EQ(p->pEnd, p->pData + 600 * (narrowed ? 2 : 4));
        std::vector<int16_t> left = Left(p);
        EXPECT_EQ(std::vector<int16_t>(left.begin(), left.begin() + 100), old);
        for (int i = 0; i < 500; i++) {
            int16_t expect = (int16_t)(uint16_t)((uint8_t)(2 * i * 7) | (uint8_t)((2 * i + 1) * 7) << 8);
            ASSERT_EQ(left[100 + i], expect) << i;
        }
        if (!narrowed) {
            int16_t right = 0;
            std::memcpy(&right, p->pData + 599 * 4 + 2, 2);
            EXPECT_EQ(right, left[599]);
        }

        // A file that cannot be read keeps the data.
        uint8_t *before = p->pData;
        EXPECT_EQ(Snd_AppendRawFile(m_dir.File("gone.pcm").c_str(), p), -1);
        EXPECT_EQ(p->pData, before);
        EXPECT_EQ(p->uFrames, 600u);
        EXPECT_EQ(Snd_AppendRawFile(m_dir.Path().c_str(), p), -1) << "a folder";
        EXPECT_EQ(Snd_AppendRawFile(more.c_str(), nullptr), -1);
        Snd_FreeSample(p);
    }
}

} // namespace
