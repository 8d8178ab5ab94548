// The riff preview: its start, level ramps and loop, and a song riff previewed through the mix
// pump into the virtual output device, recorded to a WAV and listened to: audible, not clipped,
// its notes at the steps the riff puts them, the metronome clicking on every beat.
#include "seqfixture.h"

#include "app/startup.h"
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "platform/audio_out.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/library.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/samples.h"
#include "support/tempdir.h"
#include "tools/demosong.h"
#include "tools/soundcontent.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern int32_t g_iScreen;

namespace {

class RiffPreview : public SeqModel
{
protected:
    TempDir dir;

    void SetUp() override
    {
        SeqModel::SetUp();
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_StopRiffPreview();
        Seq_StopSong();
        g_iScreen = 0;
        g_ucPreviewMode = 1;
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
        Seq_NewSong();
        Snd_FreeSampleData(&g_astInterfaceSounds[1]);
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        SeqModel::TearDown();
    }

    // Plays for a number of milliseconds through the mix pump into the virtual device, which
    // records every frame it plays to `wav`; the recording is read back (left channel).
    std::vector<int16_t> Record(const std::string &wav, int32_t ms, void (*start)())
    {
        setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
        Snd_EnumOutputDevices(nullptr);
        EXPECT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
        EXPECT_EQ(Snd_CreateStreamBuffer(), 0);
        start();
        g_bMixPumpOn = 1;
        for (int32_t i = 0; i < ms; i++) {
            Plat_ManualClockAdvance(1000);
            Sys_MixTimerProc(nullptr);
        }
        g_bMixPumpOn = 0;
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
        std::vector<int16_t> left;
        if (Snd_WavOpenRead(wav.c_str()) != 0)
            return left;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        EXPECT_EQ(rate, 44100);
        if (l)
            left.assign(l, l + frames);
        free(l);
        free(r);
        return left;
    }

    // A click for the metronome (interface sound 1), as the content builder makes it.
    static void LoadClick()
    {
        const std::vector<int16_t> click = Content_SynthInterfaceSound(1);
        SAMPLESLOT *slot = &g_astInterfaceSounds[1];
        ASSERT_EQ(Snd_AllocSampleData(slot, (uint32_t)click.size(), false), 0);
        std::memcpy(slot->pData, click.data(), click.size() * 2);
        slot->uRate = 11025;
        slot->uFlags |= SAMPLE_LOADED;
    }
};

// Frames where the sound rises from quiet to loud (10 ms windows), a note or click starting.
std::vector<size_t> Onsets(const std::vector<int16_t> &x)
{
    const size_t w = 441;
    std::vector<double> e;
    for (size_t i = 0; i + w <= x.size(); i += w) {
        double s = 0;
        for (size_t k = i; k < i + w; k++)
            s += std::abs((double)x[k]);
        e.push_back(s / (double)w);
    }
    std::vector<size_t> out;
    for (size_t i = 1; i < e.size(); i++)
        if (e[i] > 400 && e[i] > 3 * e[i - 1] && (out.empty() || i * w - out.back() > 2 * w))
            out.push_back(i * w);
    return out;
}

TEST_F(RiffPreview, StartsWithTheRampAdvancedAndRefusesBadSizes)
{
    const int32_t riff = Seq_NewRiff(1, 2);
    RIFFENTRY *r = Seq_GetRiff(riff);
    r->ucStartLevel = 0;
    r->ucEndLevel = 255;
    Seq_PlayRiffPreview(8, riff);
    EXPECT_EQ(g_bSongPlaying.load(), 254);
    EXPECT_EQ(g_uPreviewRiff, riff);
    EXPECT_EQ(g_ucPreviewStep, 8);
    for (int32_t t = 0; t < 2; t++) {
        EXPECT_EQ(g_aPlayColumns[t].iLevelStep, 255 * 1024 / 64);
        EXPECT_EQ(g_aPlayColumns[t].iLevel, 32 * (255 * 1024 / 64)) << "32 ramp units in";
        EXPECT_EQ(g_aPlayColumns[t].uLevelUpdates, 64 - 32);
    }
    EXPECT_EQ(g_aPlayColumns[2].uLevelUpdates, 0);
    Seq_StepLevelRamps();
    EXPECT_EQ(g_aPlayColumns[0].uLevelUpdates, 31);
    Seq_StopRiffPreview();
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_ucPreviewMode, 3);

    // A riff that is not there, or broken to 0 or 9 bars, is not previewed.
    Seq_PlayRiffPreview(0, 99);
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    for (uint8_t bars : {0, 9}) {
        r = Seq_GetRiff(riff);
        const uint8_t keep = r->ucBars;
        r->ucBars = bars;
        Seq_PlayRiffPreview(0, riff);
        EXPECT_EQ(g_bSongPlaying.load(), 0) << (int)bars;
        Seq_GetRiff(riff)->ucBars = keep;
    }
}

// A song riff of the demo song, previewed in loop mode with the metronome on: the recording is
// loud but not clipped, and every beat starts where the tempo puts it, in every loop.
TEST_F(RiffPreview, SongRiffPreviewIsAudibleInTimeLoopedWithTheMetronome)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    LoadClick();
    // The demo's first riff: its drums on every beat.
    static int32_t s_riff;
    s_riff = Seq_GetRiffStartingAt(0, 0);
    ASSERT_GT(s_riff, 0);
    const RIFFENTRY *r = Seq_GetRiff(s_riff);
    const int32_t bars = r->ucBars;
    // The preview stops the song first, which takes the song's tempo back.
    Seq_SetTempo(120);
    g_uSongTempo = 120;
    g_iScreen = 58;
    g_ucPreviewMode = 2;
    const int32_t loops = 2;
    // 120 bpm: a step is 12 sub-steps of 6400 clock units, 1024 a block of 72 frames.
    const double stepFrames = 12.0 * 6400.0 / 1024.0 * 72.0;
    const int32_t ms = (int32_t)(loops * bars * 16 * stepFrames / 44.1) + 300;
    const std::string wav = dir.File("preview.wav");
    const std::vector<int16_t> x = Record(wav, ms, [] { Seq_PlayRiffPreview(0, s_riff); });
    if (const char *keep = std::getenv("TNV_PREVIEW_WAV")) {
        std::ifstream in(wav, std::ios::binary);
        std::ofstream(keep, std::ios::binary) << in.rdbuf();
    }
    ASSERT_GT(x.size(), (size_t)(loops * bars * 16 * stepFrames));
    EXPECT_EQ(g_bSongPlaying.load(), 254) << "loop mode keeps playing";

    double sum = 0;
    size_t clipped = 0;
    for (int16_t v : x) {
        sum += (double)v * v;
        clipped += std::abs((int)v) >= 32767;
    }
    EXPECT_GT(std::sqrt(sum / (double)x.size()), 800.0) << "the preview is all but silent";
    EXPECT_LT(clipped, x.size() / 100) << "more than 1% clipped";

    // Every beat (4 steps) the metronome clicks and the riff's beat notes start: an onset within
    // 15 ms of each beat's time, counted from the first onset.
    const std::vector<size_t> on = Onsets(x);
    ASSERT_FALSE(on.empty());
    const size_t first = on.front();
    int32_t beats = 0, found = 0;
    for (double at = (double)first; at + 882 < (double)x.size() && beats < loops * bars * 4; at += 4 * stepFrames) {
        beats++;
        for (size_t o : on)
            if (std::fabs((double)o - at) <= 662) {
                found++;
                break;
            }
    }
    EXPECT_EQ(beats, loops * bars * 4);
    EXPECT_EQ(found, beats) << "a beat without a sound where the tempo puts it";

    // The same preview off the riff editor's screen has no metronome: what the two recordings
    // differ by is the click (a two-part sound), on every beat, louder on each bar's first.
    Seq_StopRiffPreview();
    g_iScreen = 0;
    g_ucPreviewMode = 2;
    const std::vector<int16_t> y = Record(std::getenv("TNV_PREVIEW_WAV2") ? std::getenv("TNV_PREVIEW_WAV2") : dir.File("nometronome.wav"), ms, [] { Seq_PlayRiffPreview(0, s_riff); });
    ASSERT_EQ(y.size(), x.size());
    std::vector<int16_t> click(x.size());
    for (size_t i = 0; i < x.size(); i++)
        click[i] = (int16_t)std::max(-32768, std::min(32767, (int)x[i] - (int)y[i]));
    const std::vector<size_t> clicks = Onsets(click);
    ASSERT_FALSE(clicks.empty());
    for (int32_t k = 0; k < loops * bars * 4; k++) {
        const double at = (double)clicks[0] + k * 4 * stepFrames;
        bool heard = false;
        for (size_t o : clicks)
            heard = heard || std::fabs((double)o - at) <= 662;
        EXPECT_TRUE(heard) << "no click on beat " << k;
    }
    const size_t beat = (size_t)(4 * stepFrames);
    auto peak = [&click](size_t from) {
        int m = 0;
        for (size_t i = from; i < from + 2205 && i < click.size(); i++)
            m = std::max(m, std::abs((int)click[i]));
        return m;
    };
    EXPECT_GT(peak(clicks[0]), peak(clicks[0] + beat)) << "the bar's click is the louder";
}

} // namespace

namespace {

TEST_F(RiffPreview, DroppingTheLibraryRiff)
{
    // No library load: no riff goes, but marked slots are still emptied.
    const int32_t kept = Seq_NewRiff(1, 1);
    ASSERT_TRUE(Put(kept, 0, 0, 30)); // a riff left empty by the slot's clearing would go
    g_uLibraryRiff = (uint16_t)kept;
    g_aInstrumentSlots[5].ucKey1 = 1;
    g_aInstrumentSlots[5].uKey2 = 1;
    g_aInstrumentSlots[5].uKey3 = 1;
    g_abInstrumentMarks[5] = 1;
    Seq_DropLibraryRiff();
    EXPECT_EQ(g_uRiffCount, 2);
    EXPECT_TRUE(Seq_InstrumentSlotFree(5));
    EXPECT_EQ(g_abInstrumentMarks[5], 0);

    // A loaded library riff, previewing, with a riff made after it: the library riff goes, not
    // the last one.
    const int32_t library = Seq_NewRiff(1, 1);
    const int32_t later = Seq_NewRiff(2, 1);
    ASSERT_TRUE(Put(later, 0, 0, 40));
    g_uLibraryRiff = (uint16_t)library;
    Seq_GetRiff(library)->uFlags |= RIFF_FLAG_DELETE;
    g_auLibraryRiffKey[0] = 1;
    Seq_PlayRiffPreview(0, library);
    ASSERT_EQ(g_bSongPlaying.load(), 254);
    Seq_DropLibraryRiff();
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_uRiffCount, 3);
    EXPECT_EQ(g_uLibraryRiff, 0);
    EXPECT_EQ(Seq_GetRiffLength(2), 2) << "the later riff stays, moved down";
    EXPECT_EQ(PitchAt(2, 0, 0), 40);
    EXPECT_EQ(g_auLibraryRiffKey[0], 0);
    EXPECT_MODEL_WHOLE();
}

} // namespace
