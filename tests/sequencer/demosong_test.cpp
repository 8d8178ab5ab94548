// The demo song plays: mixed down twice it gives the same file, its loudest second is neither
// silent nor clipped, and its lone note sounds at its pitch.
#include "seqfixture.h"

#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "core/file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "support/tempdir.h"
#include "tools/demosong.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class DemoSong : public SeqModel
{
protected:
    TempDir dir;

    void SetUp() override
    {
        SeqModel::SetUp();
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        g_iMixdownSeconds = 10;
        g_iMixdownMaxSeconds = 3 * 3600;
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_StopSong();
        Seq_NewSong();
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        SeqModel::TearDown();
    }

    std::vector<int16_t> MixDown(const std::string &name)
    {
        const std::string path = dir.File(name);
        EXPECT_EQ(Sys_StartMixdown(path.c_str()), 0);
        for (int guard = 0; g_bMixdownRunning && guard < 100000; guard++)
            Sys_MixdownStep();
        EXPECT_FALSE(g_bMixdownRunning.load());
        std::vector<int16_t> stereo;
        if (Snd_WavOpenRead(path.c_str()) != 0)
            return stereo;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        for (int i = 0; i < frames && l && r; i++) {
            stereo.push_back(l[i]);
            stereo.push_back(r[i]);
        }
        free(l);
        free(r);
        return stereo;
    }
};

TEST_F(DemoSong, MixesDownTheSameTwiceLoudInTuneAndWhole)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    EXPECT_MODEL_WHOLE();
    EXPECT_EQ(Seq_CountUsedRows(), DEMO_ROWS);
    const std::vector<int16_t> first = MixDown("demo1.wav");
    const std::vector<int16_t> second = MixDown("demo2.wav");
    // TNV_DEMO_WAV=file keeps a copy for a person to listen to.
    if (const char *keep = std::getenv("TNV_DEMO_WAV")) {
        std::ifstream in(dir.File("demo1.wav"), std::ios::binary);
        std::ofstream(keep, std::ios::binary) << in.rdbuf();
    }
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second);
    EXPECT_MODEL_WHOLE();

    // Length: the rows at the tempo list's times, plus the row after the last.
    const size_t frames = first.size() / 2;
    EXPECT_GT(frames, (size_t)(44100 * 30));
    EXPECT_LT(frames, (size_t)(44100 * 50));

    // The loudest second: neither silent nor clipped all over.
    double best = 0;
    size_t bestAt = 0;
    for (size_t start = 0; start + 44100 <= frames; start += 22050) {
        double sum = 0;
        for (size_t i = start; i < start + 44100; i++)
            sum += (double)first[2 * i] * first[2 * i];
        if (sum > best) {
            best = sum;
            bestAt = start;
        }
    }
    const double rms = std::sqrt(best / 44100);
    EXPECT_GT(rms, 1000.0);
    size_t clipped = 0;
    for (size_t i = bestAt; i < bestAt + 44100; i++)
        clipped += std::abs((int)first[2 * i]) >= 32767;
    EXPECT_LT(clipped, 441u) << "more than 1% of the loudest second is clipped";

    // The lone note of rows 20..21 sounds at its pitch.
    // Rows 12.. play at 140 bpm: 240 / 140 seconds a row.
    int32_t ticks = 0;
    {
        // Where row 20 begins: replay the clock alone, counting blocks.
        Seq_StartSongAt(0, 1);
        while (g_uSongRow.load() < (uint32_t)DEMO_TONE_ROW && ticks < 1000000) {
            Seq_Tick();
            ticks++;
        }
        Seq_StopSong();
    }
    const size_t toneStart = (size_t)ticks * 72 + 44100 / 4;
    ASSERT_LT(toneStart + 22050, frames);
    // The strongest period between 1/300 and 1/900 of a second (autocorrelation), refined
    // between its neighbours.
    const size_t window = 22050;
    auto corr = [&](int lag) {
        double sum = 0;
        for (size_t i = toneStart; i < toneStart + window; i++)
            sum += (double)first[2 * i] * first[2 * (i + (size_t)lag)];
        return sum;
    };
    int bestLag = 0;
    double bestCorr = -1e300;
    for (int lag = 44100 / 900; lag <= 44100 / 300; lag++)
        if (double c = corr(lag); c > bestCorr) {
            bestCorr = c;
            bestLag = lag;
        }
    const double a = corr(bestLag - 1), b = bestCorr, c = corr(bestLag + 1);
    const double peak = bestLag + 0.5 * (a - c) / (a - 2 * b + c);
    const double hz = 44100.0 / peak;
    EXPECT_NEAR(hz, 440.0, 440.0 * 0.02);
}

} // namespace
