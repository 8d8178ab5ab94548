#include "app/timers.h"

#include "audio/cdaudio.h"
#include "app/calllog.h"
#include "app/crash.h"
#include "app/startup.h"
#include "audio/mixer.h"
#include "audio/reverb.h"
#include "audio/sampleslot.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "core/console_memory.h"
#include "core/mixlock.h"
#include "jam/netobjects.h"
#include "platform/clock.h"
#include "platform/timer.h"
#include "platform/window.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/requesters.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int16_t *g_pMixOutputBuffer = nullptr;
int32_t g_iMixBlockFrames = 0;

uint32_t g_uMixTimerId = 0;
std::atomic<int32_t> g_bMixPumpOn{0};
uint32_t g_uTickTimerId = 0;
std::atomic<int32_t> g_bTickTimerOn{0};
std::atomic<int32_t> g_bTickTimerRunning{0};
uint32_t g_uNetStepTimerId = 0;
std::atomic<int32_t> g_bSeqTimerRunning{0};
std::atomic<int32_t> g_bNetStepOwnTimer{0};
int32_t g_bAudioSuspended = 0;
std::atomic<int32_t> g_bSavedMixPumpOn{0};
std::atomic<int32_t> g_bSavedTickTimerOn{0};
std::atomic<int32_t> g_bSavedSeqTimerRunning{0};
std::atomic<int32_t> g_iRecordRunning{0};
std::atomic<uint8_t> g_ucFrameTick{0};

std::atomic<int32_t> g_bMixdownRunning{0};
std::atomic<int32_t> g_bMixdownAbort{0};
int32_t g_iMixdownSeconds = 10;
int32_t g_iMixdownMaxSeconds = 3 * 3600;
int16_t *g_pMixdownBuffer = nullptr;
int32_t g_iMixdownFill = 0;
int32_t g_iMixdownTotal = 0;
int32_t g_iMixdownEnd = 0;
uint32_t g_uMixdownProgressRow = 0;

float g_fFramesPerSecond = 0.0f;
float g_fRecentFramesPerSecond = 0.0f;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr float kMixRate = 44100.0f;
constexpr float kBlockSeconds = 0.0016666667f;
constexpr int32_t kMixdownSlackBytes = 88200;

int16_t *s_pScratch = nullptr;
int16_t *s_pSend = nullptr;

std::atomic<int32_t> s_iPumpCalls{0};
std::atomic<int32_t> s_iMixCalls{0};
std::atomic<int32_t> s_iTickCalls{0};

int32_t s_bMixdownSavedPump = 0;
int32_t s_iMixdownCapacity = 0; // frames

// A counter that restarts every `every` calls; true on the call that restarts it.
bool CountTo(std::atomic<int32_t> &counter, int32_t every)
{
    if (counter.fetch_add(1) + 1 < every)
        return false;
    counter = 0;
    return true;
}

void AdvanceClockCounters()
{
    g_iFrameCount++;
    g_ucFrameTick = 1;
    g_uTimerTicks++;
}

void ReleaseBuffers()
{
    Lock lock(g_csMix);
    if (g_pMixOut == g_pMixOutputBuffer)
        g_pMixOut = nullptr;
    if (g_pMixScratch == s_pScratch)
        g_pMixScratch = nullptr;
    if (g_pMixSend == s_pSend)
        g_pMixSend = nullptr;
    free(g_pMixOutputBuffer);
    free(s_pScratch);
    free(s_pSend);
    g_pMixOutputBuffer = s_pScratch = s_pSend = nullptr;
}

} // namespace

int Sys_AllocMixBuffers()
{
    Sys_CallLog("Sys_AllocMixBuffers");
    ReleaseBuffers();
    // 1/600 s of 16-bit stereo at 44100 Hz is 294 bytes; the mixer works on multiples of 16.
    int32_t blockBytes = (int32_t)(kBlockSeconds * kMixRate * 4.0f) & ~15;
    int32_t smallBytes = (blockBytes + 16) & ~15;
    g_iMixBlockFrames = blockBytes / 4;
    s_pScratch = (int16_t *)calloc(1, (size_t)smallBytes);
    s_pSend = (int16_t *)calloc(1, (size_t)smallBytes);
    g_pMixOutputBuffer = (int16_t *)calloc(1, SYS_MIX_OUTPUT_BYTES);
    if (!s_pScratch || !s_pSend || !g_pMixOutputBuffer) {
        ReleaseBuffers();
        return -1;
    }
    float rate = kMixRate;
    float seconds = kBlockSeconds;
    int32_t one = 1;
    Lock lock(g_csMix);
    Snd_SetMixParam(1, &rate);
    Snd_SetMixParam(2, &one);
    Snd_SetMixParam(8, s_pScratch);
    Snd_SetMixParam(32, s_pSend);
    Snd_SetMixParam(4, &seconds);
    Snd_SetMixParam(16, g_pMixOutputBuffer);
    return Snd_SetReverbDelays(51, 27, 43, 7);
}

void Sys_FreeMixBuffers()
{
    Sys_CallLog("Sys_FreeMixBuffers");
    ReleaseBuffers();
}

void Sys_CrashStopTimers()
{
    g_bAudioMixEnabled = 0;
    g_bSavedMixPumpOn = g_bMixPumpOn.load();
    g_bSavedTickTimerOn = g_bTickTimerOn.load();
    g_bSavedSeqTimerRunning = g_bSeqTimerRunning.load();
    g_bMixPumpOn = 0;
    g_bTickTimerOn = 0;
    g_bSeqTimerRunning = 0;
    Plat_TimerHaltAll(true);
}

namespace {

uint32_t StartTimer(uint32_t periodMs, PLATTIMERPROC proc)
{
    Sys_SetCrashStopProc(Sys_CrashStopTimers);
    return Plat_TimerStart(periodMs, proc, nullptr);
}

} // namespace

int Sys_StartMixTimer()
{
    Sys_CallLog("Sys_StartMixTimer");
    if (g_bMixdownRunning)
        return 0;
    if (g_uMixTimerId == 0) {
        uint32_t id = StartTimer(1, Sys_MixTimerProc);
        if (id == 0)
            return 0;
        g_uMixTimerId = id;
    }
    g_bMixPumpOn = 1;
    return 1;
}

int Sys_StopMixTimer()
{
    Sys_CallLog("Sys_StopMixTimer");
    if (g_bMixdownRunning)
        return 0;
    // Killing joins the timer's thread, so no mix step runs after this.
    Plat_TimerKill(g_uMixTimerId);
    g_uMixTimerId = 0;
    g_bMixPumpOn = 0;
    return 1;
}

int Sys_StartTickTimer()
{
    if (g_uTickTimerId == 0) {
        s_iTickCalls = 0;
        uint32_t id = StartTimer(2, Sys_TickTimerProc);
        if (id == 0)
            return 0;
        g_uTickTimerId = id;
    }
    g_bTickTimerOn = 1;
    g_bTickTimerRunning = 1;
    return 1;
}

int Sys_StopTickTimer()
{
    Plat_TimerKill(g_uTickTimerId);
    g_uTickTimerId = 0;
    g_bTickTimerOn = 0;
    g_bTickTimerRunning = 0;
    return 1;
}

int Sys_StartSeqTimer()
{
    if (g_uNetStepTimerId == 0) {
        uint32_t id = StartTimer(20, Sys_NetStepTimerProc);
        if (id == 0)
            return 0;
        g_uNetStepTimerId = id;
    }
    g_bSeqTimerRunning = 1;
    return 1;
}

int Sys_StopSeqTimer()
{
    Plat_TimerKill(g_uNetStepTimerId);
    g_uNetStepTimerId = 0;
    g_bSeqTimerRunning = 0;
    return 1;
}

int Sys_SuspendAudio(int on)
{
    Sys_CallLog(on ? "Sys_SuspendAudio(1)" : "Sys_SuspendAudio(0)");
    if (on) {
        Lock lock(g_csMix);
        g_bAudioMixEnabled = 0;
        // A second suspension must not save the cleared flags over the ones to restore.
        if (!g_bAudioSuspended) {
            g_bSavedMixPumpOn = g_bMixPumpOn.load();
            g_bSavedTickTimerOn = g_bTickTimerOn.load();
            g_bSavedSeqTimerRunning = g_bSeqTimerRunning.load();
        }
        g_bMixPumpOn = 0;
        g_bTickTimerOn = 0;
        g_bSeqTimerRunning = 0;
    } else {
        if (g_bAudioSuspended) {
            g_bMixPumpOn = g_bSavedMixPumpOn.load();
            g_bTickTimerOn = g_bSavedTickTimerOn.load();
            g_bSeqTimerRunning = g_bSavedSeqTimerRunning.load();
        }
        g_bAudioMixEnabled = 1;
    }
    g_bAudioSuspended = on;
    return on;
}

int Sys_RequestQuit()
{
    Sys_CallLog("Sys_RequestQuit");
    g_bAudioMixEnabled = 0;
    if (g_iMixTimerMode == 1)
        Sys_StopMixTimer();
    if (g_bNetStepOwnTimer)
        Sys_StopSeqTimer();
    Plat_PostEvent(PLAT_EV_CLOSE, 0);
    return 1;
}

void Sys_MixTimerProc(void *)
{
    if (!g_bNetStepOwnTimer && CountTo(s_iPumpCalls, 20))
        Net_FrameStep(0, 0, 0, 0, 0);
    if (g_bAudioMixEnabled && g_bMixPumpOn)
        Sys_MixTick();
}

void Sys_TickTimerProc(void *)
{
    if (CountTo(s_iTickCalls, 10))
        AdvanceClockCounters();
    if (g_iRecordRunning) {
        Lock lock(g_csMix);
        Seq_Tick();
    }
}

void Sys_NetStepTimerProc(void *)
{
    Net_FrameStep(0, 0, 0, 0, 0);
}

void Sys_MixTick()
{
    if (CountTo(s_iMixCalls, 20))
        AdvanceClockCounters();
    Lock lock(g_csMix);
    if (g_iRecordRunning) {
        Seq_Tick();
        return;
    }
    // Looked at again under the lock: a suspension or a mixdown may have begun since the caller's
    // check, and neither may see a mix step after it took the lock.
    if (!g_bAudioMixEnabled || g_bMixdownRunning || !g_pMixOutputBuffer || !s_pSend)
        return;
    const int32_t blockBytes = g_iMixBlockFrames * 4;
    Snd_SetMixParam(16, g_pMixOutputBuffer);
    if (Snd_WriteStreamBlock(g_pMixOutputBuffer, blockBytes, 0) != 0)
        return; // not wanted yet: the same block is offered next time
    memset(g_pMixOutputBuffer, 0, (size_t)blockBytes);
    memset(s_pSend, 0, (size_t)blockBytes);
    Seq_Tick();
    Snd_MixBlock();
    // The CD has no cable to the sound card here: its sectors are played through our output.
    Snd_CdMixInto(g_pMixOutputBuffer, g_iMixBlockFrames);
}

int Sys_StartMixdown(const char *fileName)
{
    if (g_bMixdownRunning || !fileName || !g_pMixOutputBuffer)
        return -1;
    const int32_t bytes = g_iMixdownSeconds * 44100 * 4;
    int16_t *buffer = (int16_t *)malloc((size_t)bytes + kMixdownSlackBytes);
    if (!buffer || Snd_WavOpenWrite(fileName, 44100, 2) != 0) {
        free(buffer);
        char text[300];
        snprintf(text, sizeof(text), "Couldn't write the WAV file %s", fileName);
        Sys_InfoBox("ERROR!", text);
        return -1;
    }
    memset(buffer, 0, (size_t)bytes + kMixdownSlackBytes);
    {
        Lock lock(g_csMix);
        s_bMixdownSavedPump = g_bMixPumpOn;
        g_bMixPumpOn = 0;
        g_pMixdownBuffer = buffer;
        s_iMixdownCapacity = bytes / 4;
        g_iMixdownFill = 0;
        g_iMixdownTotal = 0;
        g_bMixdownAbort = 0;
        g_bMixdownRunning = 1;
    }
    Ui_OpenWavSaveProgress(fileName, 0);
    // The WAV holds the song alone: a click or box sound still sounding would be mixed into it,
    // as much of it as the sound thread had not played yet.
    for (SAMPLESLOT &sound : g_astInterfaceSounds)
        Snd_StopSampleVoices(&sound);
    Seq_StopCueing();
    Seq_PlaySongFrom(0);
    g_iMixdownEnd = (int32_t)g_uSongRowCount - 1;
    g_uMixdownProgressRow = 0;
    return Snd_SetMixParam(8, s_pScratch);
}

namespace {

// The song is rendered while it plays, up to the row after its last used one, within the limit.
bool MixdownGoesOn()
{
    return g_bSongPlaying && (int64_t)g_uSongRow <= (int64_t)g_iMixdownEnd + 1 &&
           (int64_t)g_iMixdownTotal + g_iMixdownFill < (int64_t)g_iMixdownMaxSeconds * 44100;
}

} // namespace

void Sys_MixdownStep()
{
    if (!g_bMixdownRunning)
        return;
    g_uMixdownProgressRow = g_uSongRow;
    for (int32_t block = 0; block < SYS_MIXDOWN_BLOCKS_PER_PASS && MixdownGoesOn(); block++) {
        {
            Lock lock(g_csMix);
            int16_t *at = g_pMixdownBuffer + (size_t)g_iMixdownFill * 2;
            Snd_SetMixParam(16, at);
            if (g_iMixdownFill < s_iMixdownCapacity) {
                // The last block may run past the capacity into the slack.
                memset(at, 0, (size_t)g_iMixBlockFrames * 4);
                memset(s_pSend, 0, (size_t)g_iMixBlockFrames * 4);
                Seq_Tick();
                Snd_MixBlock();
                g_iMixdownFill += g_iMixFrames;
            } else {
                Snd_WavWrite(g_pMixdownBuffer, g_iMixdownFill);
                g_iMixdownTotal += g_iMixdownFill;
                g_iMixdownFill = 0;
            }
        }
        if (g_bMixdownAbort) {
            Sys_FinishMixdown();
            return;
        }
    }
    if (!MixdownGoesOn())
        Sys_FinishMixdown();
}

void Sys_FinishMixdown()
{
    if (!g_bMixdownRunning)
        return;
    if (g_iMixdownFill > 0) {
        Snd_WavWrite(g_pMixdownBuffer, g_iMixdownFill);
        g_iMixdownTotal += g_iMixdownFill;
        g_iMixdownFill = 0;
    }
    int32_t written = Snd_WavCloseWrite((uint32_t)g_iMixdownTotal);
    Seq_StopSong();
    {
        Lock lock(g_csMix);
        // The pump mixes into its own buffer again, never into the freed one.
        if (g_pMixOutputBuffer)
            Snd_SetMixParam(16, g_pMixOutputBuffer);
        else
            g_pMixOut = nullptr;
        free(g_pMixdownBuffer);
        g_pMixdownBuffer = nullptr;
        g_bMixdownRunning = 0;
        g_bMixdownAbort = 0;
        g_bMixPumpOn = s_bMixdownSavedPump;
    }
    Ui_FinishWavSaveProgress();
    if (written != 0)
        Sys_InfoBox("ERROR!", "Couldn't write the whole WAV file (is the disk full?)");
}

void Sys_FrameTiming()
{
    Sys_CallLog("Sys_FrameTiming");
    static bool s_started = false;
    static uint32_t s_periodStart = 0, s_tenStart = 0;
    static int32_t s_periodFrames = 0, s_frames = 0;
    uint32_t now = Plat_Milliseconds();
    if (!s_started) {
        s_started = true;
        s_periodStart = s_tenStart = now;
    }
    s_frames++;
    s_periodFrames++;
    uint32_t elapsed = now - s_periodStart;
    if (elapsed > 1000) {
        g_fFramesPerSecond = (float)s_periodFrames * 1000.0f / (float)elapsed;
        s_periodStart = now;
        s_periodFrames = 0;
    }
    if (s_frames % 10 == 0) {
        uint32_t tenMs = now - s_tenStart;
        if (tenMs > 0)
            g_fRecentFramesPerSecond = 10000.0f / (float)tenMs;
        s_tenStart = now;
    }
}
