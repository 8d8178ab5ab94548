#include "app/calllog.h"
#include "app/crash.h"
#include "app/startup.h"
#include "app/timers.h"
#include "audio/cdaudio.h"
#include "audio/mixer.h"
#include "audio/reverb.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "core/console_memory.h"
#include "core/soundlib.h"
#include "jam/netobjects.h"
#include "platform/audio_out.h"
#include "platform/backend.h"
#include "platform/cd.h"
#include "platform/clock.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

namespace {

template <typename F>
bool WaitFor(F condition)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class TimersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_TimerFailStarts(0);
        Plat_TimerHaltAll(false); // a crash-filter test may have halted them
        Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        Plat_MessageBoxLogClear();
        ASSERT_EQ(Snd_InitSampleEngine(16), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_iMixTimerMode = 1;
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        g_bNetStepOwnTimer = 0;
        g_iRecordRunning = 0;
        g_bAudioSuspended = 0;
        g_bSongPlaying = 0;
        g_iNetFrameSteps = 0;
        g_uSeqTickCount = 0;
        g_iMixdownSeconds = 10;
        g_iMixdownMaxSeconds = 3 * 3600;
        g_bReverbOn = 0;
    }

    void TearDown() override
    {
        Sys_StopMixTimer();
        Sys_StopTickTimer();
        Sys_StopSeqTimer();
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        g_bReverbOn = 0;
        g_iMixdownSeconds = 10;
        g_iMixdownMaxSeconds = 3 * 3600;
        Plat_TimerFailStarts(0);
    }

    static void OpenStream()
    {
        Snd_EnumOutputDevices(nullptr);
        ASSERT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
        ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
    }

    // Three voices of made-up waves: a looping one with the reverb send on, a short one-shot and
    // one at a lower pitch; reverb preset 3 at depth 8000.
    static void KeyFixedVoices()
    {
        const uint32_t frames[3] = {2000, 30000, 5000};
        const uint32_t rates[3] = {44100, 44100, 22050};
        for (int v = 0; v < 3; v++) {
            SAMPLESLOT *slot = nullptr;
            ASSERT_GT(Snd_AllocSampleSlot(&slot), 0);
            ASSERT_EQ(Snd_AllocSampleData(slot, frames[v], true), 0);
            int16_t *p = (int16_t *)slot->pData;
            for (uint32_t f = 0; f < frames[v]; f++) {
                p[2 * f] = (int16_t)((int32_t)((f * (37 + v * 11)) % 4000) * 4 - 8000);
                p[2 * f + 1] = (int16_t)((int32_t)((f * f + v) % 9001) - 4500);
            }
            slot->uRate = rates[v];
            if (v == 0) {
                slot->uFlags |= SAMPLE_LOOPS;
                slot->uLoopStartFrame = 500;
                Snd_ResetSamplePointers(slot);
            }
            Snd_StartVoice(&g_astVoices[v], slot, VOICE_PREPARED);
            Sys_SetVoiceVolume(v, 9000 + 2000 * v, 12000 - 3000 * v);
        }
        Snd_SetVoicePitch(&g_astVoices[2], 33075);
        Sys_SetVoiceReverb(1, 0);
        Sys_SetReverbEnable(1);
        SOUNDATTR attr{};
        attr.uMask = 7;
        attr.iValue1 = 3;
        attr.uDepthLeft = attr.uDepthRight = 8000;
        ASSERT_EQ(Sys_SetReverbAttributes(&attr), 0);
        Sys_KeyVoices(1, 0);
    }

    // Steps the mixdown on the main loop until it ends.
    static int Steps()
    {
        int steps = 0;
        while (g_bMixdownRunning && steps < 100000) {
            Sys_MixdownStep();
            steps++;
        }
        return steps;
    }

    // A song of `rows` rows: one empty riff in its last row.
    static void SongOfRows(int32_t rows)
    {
        Seq_ResetSongModel();
        if (rows > 0)
            Seq_PlaceRiff(Seq_NewRiff(1, 1), rows - 1, 0, 0, 1);
    }

    // Blocks the sequencer takes (at the new song's tempo, 130) to reach a row from row 0: a row
    // is 16 steps of 12 sub-steps of 5908 clock units, and a block adds 1024.
    static int32_t TicksToRow(int32_t row)
    {
        return (int32_t)((192LL * row * 5908 + 1023) / 1024);
    }

    // Mixes the song down, with the fixed voices keyed once the song has started (starting the
    // song silences every voice).
    static std::string Mixdown(const std::string &path, uint16_t rows)
    {
        SongOfRows(rows);
        EXPECT_EQ(Sys_StartMixdown(path.c_str()), 0);
        KeyFixedVoices();
        Steps();
        return ReadTextFile(path);
    }

    static uint32_t Hash(const std::string &bytes)
    {
        uint32_t h = 2166136261u;
        for (unsigned char c : bytes)
            h = (h ^ c) * 16777619u;
        return h;
    }

    // Frames in the file's data chunk, read back through the WAV reader.
    static int FramesIn(const std::string &path)
    {
        if (Snd_WavOpenRead(path.c_str()) != 0)
            return -1;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        free(l);
        free(r);
        EXPECT_EQ(rate, 44100);
        return frames;
    }

    TempDir dir;
};

} // namespace

TEST_F(TimersTest, MixBlockArithmetic)
{
    EXPECT_EQ(g_iMixBlockFrames, 72);
    EXPECT_EQ(g_iMixFrames, 72);
    EXPECT_EQ(g_pMixOut, g_pMixOutputBuffer);
    EXPECT_NE(g_pMixSend, nullptr);
    EXPECT_NE(g_pMixScratch, nullptr);
    EXPECT_EQ(g_astReverbLines[0].iLength, 2249);
    EXPECT_EQ(g_astReverbLines[3].iLength, 308);
    Sys_FreeMixBuffers();
    EXPECT_EQ(g_pMixOut, nullptr);
    Sys_FreeMixBuffers(); // twice does no harm
    EXPECT_EQ(Snd_MixBlock(), -1);
}

// Driven a millisecond at a time on the manual clock, as the 1 ms timer would: one block mixed
// per block the output takes, 612.5 blocks a second, the output never running dry.
TEST_F(TimersTest, PumpKeepsPaceWithTheOutput)
{
    OpenStream();
    KeyFixedVoices();
    g_bMixPumpOn = 1;
    const uint32_t ticksBefore = g_uTimerTicks;
    const int seconds = 60;
    // Frames the output played with nothing queued: the first millisecond, before any offer.
    int64_t silence = -1;
    for (int ms = 1; ms <= seconds * 1000; ms++) {
        Plat_ManualClockAdvance(1000);
        Sys_MixTimerProc(nullptr);
        const uint64_t played = Plat_AudioOutPlayedFrames();
        const int queued = Plat_AudioOutQueuedFrames();
        // Every block taken was mixed once and no block twice, and after the first millisecond
        // the output never played silence for want of a block.
        const int64_t unfed = (int64_t)(played + (uint64_t)queued) - (int64_t)g_uSeqTickCount.load() * 72;
        if (silence < 0)
            silence = unfed;
        ASSERT_EQ(unfed, silence) << ms;
        if (ms % 1000 == 0) {
            // No drift: the blocks mixed keep to 612.5 a second, ahead by at most the queue.
            double ahead = g_uSeqTickCount.load() - 612.5 * (ms / 1000);
            ASSERT_GE(ahead, 0.0) << ms;
            ASSERT_LE(ahead, PLAT_AUDIO_DEFAULT_QUEUE_FRAMES / 72 + 1) << ms;
        }
    }
    EXPECT_LE(silence, 45);
    EXPECT_EQ(Plat_AudioOutPlayedFrames(), (uint64_t)seconds * 44100);
    EXPECT_EQ(g_iNetFrameSteps.load(), seconds * 50);
    EXPECT_EQ(g_uTimerTicks - ticksBefore, (uint32_t)seconds * 50);
}

TEST_F(TimersTest, RefusedOfferIsOfferedAgainUnchanged)
{
    g_bMixPumpOn = 1;
    // No output: nothing is taken, nothing mixed.
    for (int i = 0; i < 5; i++)
        Sys_MixTimerProc(nullptr);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 0);

    OpenStream();
    KeyFixedVoices();
    // The clock stands still: the queue fills after eight blocks, then every offer is refused.
    for (int i = 0; i < 30; i++)
        Sys_MixTimerProc(nullptr);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 8);
    std::vector<int16_t> waiting(g_pMixOutputBuffer, g_pMixOutputBuffer + 144);
    for (int i = 0; i < 10; i++)
        Sys_MixTimerProc(nullptr);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 8);
    EXPECT_TRUE(std::equal(waiting.begin(), waiting.end(), g_pMixOutputBuffer));

    // Suspended or disabled: no mix step at all.
    Plat_ManualClockAdvance(5000);
    g_bAudioMixEnabled = 0;
    Sys_MixTimerProc(nullptr);
    Sys_MixTick();
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 8);
    g_bAudioMixEnabled = 1;
    Sys_MixTimerProc(nullptr);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 9);
}

TEST_F(TimersTest, NetworkStepEveryTwentiethCallUntilTheJamOwnsIt)
{
    for (int i = 0; i < 400; i++)
        Sys_MixTimerProc(nullptr);
    EXPECT_EQ(g_iNetFrameSteps.load(), 20);
    g_bNetStepOwnTimer = 1;
    for (int i = 0; i < 400; i++)
        Sys_MixTimerProc(nullptr);
    EXPECT_EQ(g_iNetFrameSteps.load(), 20);
    g_bNetStepOwnTimer = 0;
}

TEST_F(TimersTest, TickTimerAdvancesTheClockEveryTenCalls)
{
    const uint32_t ticks = g_uTimerTicks;
    const int32_t frames = g_iFrameCount;
    for (int i = 0; i < 100; i++)
        Sys_TickTimerProc(nullptr);
    EXPECT_EQ(g_uTimerTicks - ticks, 10u);
    EXPECT_EQ(g_iFrameCount - frames, 10);
    EXPECT_EQ(g_ucFrameTick.load(), 1);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 0);

    // While recording the sequencer steps on every 2 ms call, and the mix step only steps it.
    g_iRecordRunning = 1;
    for (int i = 0; i < 7; i++)
        Sys_TickTimerProc(nullptr);
    OpenStream();
    Sys_MixTick();
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), 8);
    EXPECT_EQ(Plat_AudioOutQueuedFrames(), 0);
    g_iRecordRunning = 0;
}

TEST_F(TimersTest, TimersThatCannotStartStayOff)
{
    struct Case
    {
        const char *name;
        int (*start)();
        int (*stop)();
        uint32_t *id;
        std::atomic<int32_t> *flag;
    };
    const Case cases[] = {
        {"mix", Sys_StartMixTimer, Sys_StopMixTimer, &g_uMixTimerId, &g_bMixPumpOn},
        {"tick", Sys_StartTickTimer, Sys_StopTickTimer, &g_uTickTimerId, &g_bTickTimerRunning},
        {"net", Sys_StartSeqTimer, Sys_StopSeqTimer, &g_uNetStepTimerId, &g_bSeqTimerRunning},
    };
    for (const Case &c : cases) {
        Plat_TimerFailStarts(1);
        EXPECT_EQ(c.start(), 0) << c.name;
        EXPECT_EQ(*c.id, 0u) << c.name;
        EXPECT_EQ(c.flag->load(), 0) << c.name;
        EXPECT_EQ(c.start(), 1) << c.name;
        EXPECT_NE(*c.id, 0u) << c.name;
        EXPECT_EQ(c.flag->load(), 1) << c.name;
        EXPECT_EQ(c.stop(), 1) << c.name;
        EXPECT_EQ(*c.id, 0u) << c.name;
        EXPECT_EQ(c.flag->load(), 0) << c.name;
    }
    EXPECT_EQ(g_bTickTimerOn.load(), 0);
    EXPECT_EQ(Plat_TimerCount(), 0);
}

// The real 1 ms timer thread on the manual clock runs the pump once per millisecond.
TEST_F(TimersTest, PumpThreadOnTheManualClock)
{
    ASSERT_EQ(Sys_StartMixTimer(), 1);
    for (int ms = 1; ms <= 100; ms++)
        Plat_ManualClockAdvance(1000);
    EXPECT_TRUE(WaitFor([] { return g_iNetFrameSteps.load() == 5; }));
    EXPECT_EQ(Sys_StopMixTimer(), 1);
    EXPECT_EQ(Plat_TimerCount(), 0);
    Plat_ManualClockAdvance(100000);
    EXPECT_EQ(g_iNetFrameSteps.load(), 5);
}

TEST_F(TimersTest, SuspendAndResumeKeepTheTimers)
{
    ASSERT_EQ(Sys_StartMixTimer(), 1);
    ASSERT_EQ(Sys_StartTickTimer(), 1);
    ASSERT_EQ(Sys_StartSeqTimer(), 1);
    const uint32_t ids[3] = {g_uMixTimerId, g_uTickTimerId, g_uNetStepTimerId};
    // A return of focus with no loss before it (the first activation) leaves the timers on.
    EXPECT_EQ(Sys_SuspendAudio(0), 0);
    EXPECT_EQ(g_bMixPumpOn + g_bTickTimerOn + g_bSeqTimerRunning, 3);
    EXPECT_EQ(Sys_SuspendAudio(1), 1);
    EXPECT_EQ(Sys_SuspendAudio(1), 1); // twice, as focus changes may come
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_EQ(g_bMixPumpOn + g_bTickTimerOn + g_bSeqTimerRunning, 0);
    EXPECT_EQ(Sys_SuspendAudio(0), 0);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 1);
    EXPECT_EQ(g_bMixPumpOn + g_bTickTimerOn + g_bSeqTimerRunning, 3);
    EXPECT_EQ(g_uMixTimerId, ids[0]);
    EXPECT_EQ(g_uTickTimerId, ids[1]);
    EXPECT_EQ(g_uNetStepTimerId, ids[2]);
    EXPECT_EQ(Plat_TimerCount(), 3);
}

// (The close it posts ends the program: the spine's tests run that.)
TEST_F(TimersTest, QuitStopsTheTimers)
{
    ASSERT_EQ(Sys_StartMixTimer(), 1);
    ASSERT_EQ(Sys_StartSeqTimer(), 1);
    g_bNetStepOwnTimer = 1;
    EXPECT_EQ(Sys_RequestQuit(), 1);
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_EQ(g_uMixTimerId, 0u);
    EXPECT_EQ(g_uNetStepTimerId, 0u);
    EXPECT_EQ(g_bMixPumpOn + g_bSeqTimerRunning, 0);
    EXPECT_EQ(Plat_TimerCount(), 0);
    g_bNetStepOwnTimer = 0;
}

// A fixed set of voices over a song of six rows gives the same file every time. The mixdown
// buffer holds one second here, so the file is written in several parts.
TEST_F(TimersTest, MixdownIsTheSameEveryRun)
{
    g_iMixdownSeconds = 1;
    std::string files[2];
    for (int run = 0; run < 2; run++) {
        ASSERT_EQ(Snd_InitSampleEngine(16), 0);
        Snd_SetReverbDelays(51, 27, 43, 7);
        files[run] = Mixdown(dir.File("song" + std::to_string(run) + ".wav"), 6);
    }
    // Rows 0..5 and the row after the last: up to the block that enters row 7.
    const int frames = TicksToRow(7) * 72;
    ASSERT_EQ(files[0].size(), 56u + frames * 4u);
    EXPECT_TRUE(files[0] == files[1]);
    EXPECT_EQ(FramesIn(dir.File("song0.wav")), frames);
    EXPECT_EQ(Hash(files[0]), 0x47f0567du);
    EXPECT_EQ(g_bSongPlaying, 0);
    EXPECT_EQ(g_pMixdownBuffer, nullptr);
    EXPECT_EQ(g_pMixOut, g_pMixOutputBuffer);
}

TEST_F(TimersTest, MixdownEnds)
{
    struct Case
    {
        const char *name;
        uint16_t rows;
        int32_t maxSeconds;
        void (*afterFirstPass)();
        int frames;
    };
    const Case cases[] = {
        // An empty song renders until the song leaves row 0.
        {"empty song", 0, 3600, nullptr, 1108 * 72},
        // Stop in the progress box: the current block still goes in.
        {"stop", 998, 3600, [] { g_bMixdownAbort = 1; }, 601 * 72},
        {"playback stopped", 998, 3600, [] { Seq_StopSong(); }, 600 * 72},
        {"length limit", 998, 2, nullptr, 2 * 44100},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(Snd_InitSampleEngine(16), 0);
        KeyFixedVoices();
        g_iMixdownMaxSeconds = c.maxSeconds;
        SongOfRows(c.rows);
        std::string path = dir.File(std::string(c.name) + ".wav");
        ASSERT_EQ(Sys_StartMixdown(path.c_str()), 0) << c.name;
        Sys_MixdownStep();
        if (c.afterFirstPass)
            c.afterFirstPass();
        Steps();
        EXPECT_FALSE(g_bMixdownRunning.load()) << c.name;
        EXPECT_EQ(g_iMixdownTotal, c.frames) << c.name;
        EXPECT_EQ(FramesIn(path), c.frames) << c.name;
        EXPECT_EQ(ReadTextFile(path).size(), 56u + c.frames * 4u) << c.name;
        EXPECT_EQ(g_bMixdownAbort.load(), 0) << c.name;
    }
}

// The pump stays off for the mixdown and comes back at its end; the mix timer can neither start
// nor stop meanwhile.
TEST_F(TimersTest, PumpWaitsForTheMixdown)
{
    ASSERT_EQ(Sys_StartMixTimer(), 1);
    const uint32_t id = g_uMixTimerId;
    SongOfRows(2);
    Sys_CallLogEnable(true);
    ASSERT_EQ(Sys_StartMixdown(dir.File("pump.wav").c_str()), 0);
    EXPECT_EQ(g_bMixPumpOn.load(), 0);
    EXPECT_EQ(Sys_StartMixTimer(), 0);
    EXPECT_EQ(Sys_StopMixTimer(), 0);
    EXPECT_EQ(g_uMixTimerId, id);
    // The timer fires, but mixes nothing while the main loop renders.
    const int32_t ticks = (int32_t)g_uSeqTickCount.load();
    Sys_MixTimerProc(nullptr);
    EXPECT_EQ((int32_t)g_uSeqTickCount.load(), ticks);
    Steps();
    EXPECT_EQ(g_bMixPumpOn.load(), 1);
    const std::vector<std::string> &log = Sys_CallLogGet();
    const std::vector<std::string> want = {"Sys_StartMixTimer", "Sys_StopMixTimer",
                                           "Ui_FinishWavSaveProgress"};
    std::vector<std::string> got;
    for (const std::string &n : log) {
        if (n != "Ui_OpenWavSaveProgress" && n != "Seq_StopCueing" && n != "Seq_PlaySongFrom")
            got.push_back(n);
    }
    EXPECT_EQ(got, want);
    Sys_CallLogEnable(false);
}

// The files in a folder, by name.
std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs a mixdown in a child process: start begins it (the song, the mixdown, the voices), then it
// renders until seconds of sound are written, and the child reports it through a pipe and waits
// to be killed. Returns the child, or -1.
pid_t MixdownInAChild(int seconds, bool (*start)(), int *ready)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (!start())
            _exit(2);
        while (g_bMixdownRunning && g_iMixdownTotal < seconds * 44100)
            Sys_MixdownStep();
        const char byte = g_bMixdownRunning ? 'r' : 'e';
        if (write(fds[1], &byte, 1) != 1)
            _exit(3);
        for (;;)
            pause();
    }
    close(fds[1]);
    char byte = 0;
    *ready = pid > 0 && read(fds[0], &byte, 1) == 1 && byte == 'r';
    close(fds[0]);
    return pid;
}

// A mixdown killed half-way (the studio killed, the power gone) leaves the old WAV whole, and no
// partial file beside it.
TEST_F(TimersTest, KilledMixdownLeavesTheOldFileWhole)
{
    g_iMixdownSeconds = 1; // the buffer goes to the file every second
    const std::string path = dir.File("song.wav");
    const std::string old = Mixdown(path, 4);
    ASSERT_GT(FramesIn(path), 0);
    ASSERT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"song.wav"});

    static std::string s_path;
    s_path = path;
    int ready = 0;
    const pid_t child = MixdownInAChild(3, [] {
        SongOfRows(998);
        if (Sys_StartMixdown(s_path.c_str()) != 0)
            return false;
        KeyFixedVoices();
        return true;
    }, &ready);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(ready) << "the child's mixdown wrote three seconds and goes on";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string now = ReadTextFile(path);
    EXPECT_TRUE(now == old) << now.size() << " bytes, were " << old.size();
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"song.wav"});
}

// The old file stays until the new one is whole: a Stop still finishes the file and it replaces
// the old one (with the old one's permissions); a mixdown whose writes fail (a full disk) keeps
// the old file and leaves nothing beside it.
TEST_F(TimersTest, MixdownReplacesTheOldFileOnlyWhenWhole)
{
    g_iMixdownSeconds = 1;
    const std::string path = dir.File("song.wav");
    WriteTextFile(path, "an older take");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);

    SongOfRows(998);
    ASSERT_EQ(Sys_StartMixdown(path.c_str()), 0);
    KeyFixedVoices();
    for (int i = 0; i < 3; i++)
        Sys_MixdownStep();
    EXPECT_TRUE(ReadTextFile(path) == "an older take");
    g_bMixdownAbort = 1;
    Sys_MixdownStep();
    ASSERT_FALSE(g_bMixdownRunning.load());
    EXPECT_EQ(FramesIn(path), g_iMixdownTotal);
    EXPECT_GT(g_iMixdownTotal, 2 * 44100);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"song.wav"});
    EXPECT_TRUE(Plat_MessageBoxLog().empty());

    // A file size limit makes the writes fail as a full disk would (in a child: the limit is the
    // process's own).
    const std::string whole = ReadTextFile(path);
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        Plat_MessageBoxLogClear();
        SongOfRows(998);
        g_iMixdownMaxSeconds = 3;
        if (Sys_StartMixdown(path.c_str()) != 0)
            _exit(2);
        while (g_bMixdownRunning)
            Sys_MixdownStep();
        const bool told = Plat_MessageBoxLog().size() == 1 &&
                          Plat_MessageBoxLog()[0].find("disk full") != std::string::npos;
        _exit(told ? 0 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed mixdown says so";
    const std::string now = ReadTextFile(path);
    EXPECT_TRUE(now == whole) << now.size() << " bytes, were " << whole.size();
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"song.wav"});
}

TEST_F(TimersTest, MixdownFileThatCannotBeMade)
{
    g_bMixPumpOn = 1;
    EXPECT_EQ(Sys_StartMixdown(dir.File("no/such/folder/x.wav").c_str()), -1);
    EXPECT_FALSE(g_bMixdownRunning.load());
    EXPECT_EQ(g_bMixPumpOn.load(), 1);
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_NE(Plat_MessageBoxLog()[0].find("Couldn't write the WAV file"), std::string::npos);
    EXPECT_EQ(Sys_StartMixdown(nullptr), -1);
}

// A fault stops the mix and halts the timers without a lock or a join; the flags are kept.
TEST_F(TimersTest, CrashStopHaltsTheTimers)
{
    ASSERT_EQ(Sys_StartMixTimer(), 1);
    ASSERT_EQ(Sys_StartSeqTimer(), 1);
    Sys_CrashReportFilter(nullptr, "Main Thread");
    EXPECT_EQ(g_bAudioMixEnabled.load(), 0);
    EXPECT_EQ(g_bSavedMixPumpOn.load(), 1);
    EXPECT_EQ(g_bSavedSeqTimerRunning.load(), 1);
    EXPECT_EQ(g_bSavedTickTimerOn.load(), 0);
    EXPECT_EQ(g_bMixPumpOn + g_bSeqTimerRunning, 0);
    for (int ms = 0; ms < 100; ms++)
        Plat_ManualClockAdvance(1000);
    Sys_StopMixTimer();
    Sys_StopSeqTimer();
    EXPECT_EQ(g_iNetFrameSteps.load(), 0);
    Plat_TimerHaltAll(false);
}

TEST_F(TimersTest, FrameTimingAtFiftyFrames)
{
    for (int frame = 0; frame < 200; frame++) {
        Plat_ManualClockAdvance(20000);
        Sys_FrameTiming();
    }
    EXPECT_NEAR(g_fFramesPerSecond, 50.0f, 1.0f);
    EXPECT_FLOAT_EQ(g_fRecentFramesPerSecond, 50.0f);
}

namespace {
// A drive whose sectors hold their own frame numbers (left) and their negation (right).
const PLATCDAUDIOOPS s_numberedDisc = {
    [] { return (int)PLAT_CDA_OK; },
    [] {},
    [] { return (int)PLAT_CDA_OK; },
    [](PLATCDTOC *toc) {
        toc->iTrackCount = 1;
        toc->aiStart[0] = 0;
        toc->aiLength[0] = 75 * 10;
        return (int)PLAT_CDA_OK;
    },
    [](int32_t sector, int32_t count, void *buffer) {
        int16_t *out = (int16_t *)buffer;
        for (int32_t f = 0; f < count * PLAT_CDA_SECTOR_FRAMES; ++f) {
            int32_t n = (sector * PLAT_CDA_SECTOR_FRAMES + f) % 30000;
            out[2 * f] = (int16_t)n;
            out[2 * f + 1] = (int16_t)-n;
        }
        return (int)PLAT_CDA_OK;
    },
    [] { return (int)PLAT_CDA_OK; },
};
} // namespace

TEST_F(TimersTest, APlayingCdIsMixedIntoTheOutputBlocks)
{
    Plat_CdAudioSetOps(&s_numberedDisc);
    g_iCdDeviceId = -1;
    ASSERT_EQ(Snd_CdOpenDevice(), 0);
    ASSERT_EQ(Snd_CdPlayFrom(0, 3, 0), 0); // one second in: frame 44100
    ASSERT_EQ(Snd_CdPlay(), 0);
    OpenStream();
    Sys_MixTick(); // mixes the block the next offer sends
    for (int f = 0; f < g_iMixBlockFrames; ++f) {
        ASSERT_EQ(g_pMixOutputBuffer[2 * f], (int16_t)((44100 + f) % 30000)) << f;
        ASSERT_EQ(g_pMixOutputBuffer[2 * f + 1], (int16_t)-((44100 + f) % 30000)) << f;
    }
    // The next block goes on where this one ended.
    Sys_MixTick();
    EXPECT_EQ(g_pMixOutputBuffer[0], (int16_t)((44100 + g_iMixBlockFrames) % 30000));

    ASSERT_EQ(Snd_CdStop(), 0);
    Sys_MixTick();
    EXPECT_EQ(g_pMixOutputBuffer[0], 0);
    Snd_CdCloseDevice();
    g_iCdState = CD_STATE_NONE;
    Plat_CdAudioSetOps(nullptr);
}
