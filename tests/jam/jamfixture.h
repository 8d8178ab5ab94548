// A studio for jam tests: the interface of the widget tests, the sequencer with the demo song,
// the sample engine and mix pump on the headless output, the manual clock, and a writable data
// folder of the test's own. Every call that starts a voice is recorded (and then made).
#pragma once

#include "ui/ui_fixture.h"

#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/soundout.h"
#include "audio/wav.h"
#include "app/startup.h"
#include "core/browser.h"
#include "core/soundlib.h"
#include "ui/langtext.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "jam/jaminput.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "platform/audio_out.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "support/tempdir.h"
#include "tools/demosong.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace jamtest {

struct VoiceCall
{
    uint32_t ms;
    int32_t channel;
    int32_t mode; // 3 event slot, 4 riff row
    uint8_t pitch;
    uint16_t instrument;
    bool muted;
};

inline std::vector<VoiceCall> *g_pVoiceCalls;
inline uint32_t g_uNowMs;

inline void RecordTrigger(const RIFFENTRY *riff, const JAMNOTE *note, int32_t c, int32_t mode, int32_t step,
                          int32_t track, int32_t plugin)
{
    if (g_pVoiceCalls)
        g_pVoiceCalls->push_back({g_uNowMs, c, mode, note->ucPitch, note->uInstrument, g_aChannelMute[c][3] != 0});
    Seq_TriggerNote(riff, note, c, mode, step, track, plugin);
}

inline int32_t FixedWidth(const char *text) { return 8 * (int32_t)std::strlen(text); }

class JamStudio : public uitest::UiTest
{
protected:
    TempDir dir;
    std::vector<VoiceCall> calls;
    std::string wavPath;

    void SetUp() override
    {
        UiTest::SetUp();
        ForgetBoxes();
        setenv("XDG_DATA_HOME", dir.File("share").c_str(), 1);
        Seq_ResetSongModel();
        Seq_SetTextMeasurer(FixedWidth);
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_AudioOutSetQueueFrames(PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        ASSERT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        g_bAudioMixEnabled = 1;
        g_bMixPumpOn = 0;
        ASSERT_EQ(Vid_InitClipPools(), 0);
        Vid_InitLanes();
        Seq_Init();
        Seq_NewSong();
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        g_JamSeqCalls.TriggerNote = RecordTrigger;
        g_pVoiceCalls = &calls;
        g_uNowMs = 0;
        g_bJamSinglePlayer = 1;
        g_iJamTempo = JAM_DEFAULT_TEMPO;
        g_iJamRestoreResult = JAM_RESTORE_NONE;
    }
    void TearDown() override
    {
        if (g_bJamSessionOn)
            Jam_EndSession(1);
        StopRecording();
        g_pVoiceCalls = nullptr;
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        g_bJamSinglePlayer = 0;
        g_bNetJamImmediate = 1;
        Seq_StopSong();
        Seq_NewSong();
        Vid_ResetVideo();
        Vid_FreeClipPools();
        Sys_FreeMixBuffers();
        Snd_ShutdownSampleEngine();
        g_bAudioMixEnabled = 0;
        Seq_ResetSongModel();
        Seq_SetTextMeasurer(nullptr);
        unsetenv("XDG_DATA_HOME");
        // Boxes left open die with the test, unanswered.
        for (MSGBOX &b : g_aMsgBoxes) {
            b.pfnAnswer = nullptr;
            b.pfnUserAnswer = nullptr;
            if (b.pWindow)
                Ui_CloseMessageBox(&b);
        }
        for (int i = 0; i < 4; ++i)
            Frame();
        ForgetBoxes();
        UiTest::TearDown();
    }

    // Box slots remember when they closed, on a frame count that other tests start again.
    static void ForgetBoxes()
    {
        for (MSGBOX &b : g_aMsgBoxes)
            b = MSGBOX{};
        g_pCurrentMsgBox = nullptr;
        g_bModalBoxOpen = 0;
    }

    // The virtual output records everything it plays into a WAV from now on.
    void StartRecording(const std::string &name)
    {
        wavPath = dir.File(name);
        setenv("TNV_AUDIO_DUMP", wavPath.c_str(), 1);
        Snd_EnumOutputDevices(nullptr);
        ASSERT_EQ(Snd_OpenOutputDevice(nullptr, 0), 0);
        ASSERT_EQ(Snd_CreateStreamBuffer(), 0);
        g_bMixPumpOn = 1;
    }
    void StopRecording()
    {
        if (wavPath.empty())
            return;
        g_bMixPumpOn = 0;
        Snd_ReleaseStreamBuffer();
        Snd_CloseOutputDevice();
        unsetenv("TNV_AUDIO_DUMP");
    }
    // The recording's left channel.
    std::vector<int16_t> Recorded()
    {
        StopRecording();
        std::vector<int16_t> left;
        if (Snd_WavOpenRead(wavPath.c_str()) != 0)
            return left;
        int16_t *l = nullptr, *r = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&l, &r, &frames, &rate);
        Snd_WavCloseRead();
        if (l)
            left.assign(l, l + frames);
        std::free(l);
        std::free(r);
        wavPath.clear();
        return left;
    }

    // Lets time pass: the mix pump every millisecond, a display frame every 20.
    void Play(uint32_t ms)
    {
        for (uint32_t i = 0; i < ms; ++i) {
            Plat_ManualClockAdvance(1000);
            ++g_uNowMs;
            Sys_MixTimerProc(nullptr);
            if (g_uNowMs % 20 == 0)
                Frame();
        }
    }

    static std::vector<uint8_t> SongImage()
    {
        g_bTaggedSongFile = 1; // the demo's samples are longer than the untagged layout holds
        return Seq_SaveSongImage(JAM_BACKUP_PARTS, "test");
    }
};

// Mean absolute level of x[from, to) (frames).
inline double Loudness(const std::vector<int16_t> &x, size_t from, size_t to)
{
    to = std::min(to, x.size());
    if (from >= to)
        return 0;
    double s = 0;
    for (size_t i = from; i < to; ++i)
        s += std::abs((double)x[i]);
    return s / (double)(to - from);
}
inline size_t Frames(uint32_t ms) { return (size_t)ms * 441 / 10; }

} // namespace jamtest
