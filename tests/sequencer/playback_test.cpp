// The clock, the play modes and the channel engine, through a fake of the voice calls.
#include "seqfixture.h"

#include "core/event.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/samples.h"
#include "sequencer/tables.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern std::atomic<int32_t> g_bSongEnded;

namespace {

// The fake voices: every call, with the tick it came in. Volume and pitch calls that repeat the
// channel's last values are left out, so the log shows what changed.
std::vector<std::string> s_log;
uint32_t s_tick;
std::map<int32_t, std::string> s_lastVolume, s_lastPitch;

void Log(const char *fmt, int32_t a, int32_t b = 0, int32_t c = 0)
{
    char line[96];
    std::snprintf(line, sizeof(line), fmt, a, b, c);
    s_log.push_back("t" + std::to_string(s_tick) + " " + line);
}

const SEQVOICEOPS kFake = {
    [](int32_t on, int32_t voice) {
        if (on)
            Log("keyon", 0);
        else
            Log("keyoff ch%d", voice);
        return 0;
    },
    [](int32_t ch, uint32_t id) {
        Log("start ch%d sample %d", ch, (int32_t)id);
        return 0;
    },
    [](int32_t ch) {
        Log("stop ch%d", ch);
        return 0;
    },
    [](int32_t ch, int32_t rate) {
        const std::string v = std::to_string(rate);
        if (s_lastPitch[ch] != v)
            Log("pitch ch%d %d", ch, rate);
        s_lastPitch[ch] = v;
        return 0;
    },
    [](int32_t ch, uint32_t offset) {
        if (offset)
            Log("offset ch%d %d", ch, (int32_t)offset);
        return 0;
    },
    [](int32_t ch, int32_t l, int32_t r) {
        const std::string v = std::to_string(l) + "," + std::to_string(r);
        if (s_lastVolume[ch] != v)
            Log("volume ch%d %d %d", ch, l, r);
        s_lastVolume[ch] = v;
        return 0;
    },
    [](int32_t on, int32_t ch) {
        Log("reverb ch%d %d", ch, on);
        return 0;
    },
    [](int32_t, int32_t) { return 0; },
};

class Playback : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Seq_Init();
        Seq_NewSong();
        Seq_UseVoiceOps(&kFake);
        s_log.clear();
        s_lastVolume.clear();
        s_lastPitch.clear();
        s_tick = 0;
        g_iAllocChannels = 24;
        g_bSongEnded = 0;
        Slots();
    }
    // Instrument slots 1..4 name samples 101..104 (a new song clears them).
    static void Slots()
    {
        for (int32_t slot = 1; slot <= 4; slot++) {
            g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
            g_aInstrumentSlots[slot].ucKey1 = 255;
            g_aInstrumentSlots[slot].iSampleId = (int16_t)(100 + slot);
        }
    }
    void TearDown() override
    {
        Seq_StopSong();
        Seq_UseVoiceOps(nullptr);
        for (INSTRUMENTSLOT &slot : g_aInstrumentSlots)
            slot = INSTRUMENTSLOT{};
        Seq_NewSong();
        SeqModel::TearDown();
    }

    // A note of instrument slot 1 with the default note's lists and the given settings.
    static int32_t Voice(int32_t pitch, int32_t length, uint8_t flags, uint8_t hits, uint8_t preset = 0,
                         uint8_t rate = 0, uint8_t depth = 0, uint8_t level = 200)
    {
        const int32_t a = Seq_AddParamList(g_DefaultNote.ucCountA, g_DefaultNote.auValuesA, 0, 0);
        const int32_t b = Seq_AddParamList(g_DefaultNote.ucCountB, g_DefaultNote.auValuesB, 0, 0);
        const int32_t c = Seq_AddParamList(g_DefaultNote.ucCountC, g_DefaultNote.auValuesC, 0, 0);
        const uint16_t before = g_uNoteCount;
        const int32_t id = Seq_FindOrAddNote(1, pitch / 12, pitch % 12, (uint8_t)length, level, flags, preset, hits,
                                             0, 0, a, b, c, rate, depth, 0, 1);
        if (g_uNoteCount == before) {
            Seq_ReleaseParamList(a);
            Seq_ReleaseParamList(b);
            Seq_ReleaseParamList(c);
        }
        return id;
    }

    static void Run(uint32_t ticks)
    {
        for (uint32_t i = 0; i < ticks; i++) {
            s_tick++;
            Seq_Tick();
        }
    }

    static std::string Joined()
    {
        std::string out;
        for (const std::string &l : s_log)
            out += l + "\n";
        return out;
    }

    // Compares the log with its golden file; TNV_UPDATE_GOLDEN=1 writes the file instead.
    static void ExpectGolden(const std::string &name)
    {
        const std::string path = std::string(TNV_TEST_SOURCE_DIR) + "/tests/sequencer/golden/" + name + ".txt";
        const std::string log = Joined();
        if (std::getenv("TNV_UPDATE_GOLDEN")) {
            std::ofstream(path, std::ios::binary) << log;
            return;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in.good()) << path;
        std::stringstream golden;
        golden << in.rdbuf();
        EXPECT_EQ(log, golden.str()) << name;
    }

    static int32_t Count(const std::string &what)
    {
        int32_t n = 0;
        for (const std::string &l : s_log)
            n += l.find(what) != std::string::npos;
        return n;
    }
    // Tick of the first log line holding the text; -1 when none.
    static int32_t FirstTick(const std::string &what)
    {
        for (const std::string &l : s_log)
            if (l.find(what) != std::string::npos)
                return std::atoi(l.c_str() + 1);
        return -1;
    }
};

TEST_F(Playback, StepLengthsAndTicksPerStep)
{
    struct
    {
        int tempo, length;
    } table[] = {{40, 19200}, {130, 5908}, {300, 2560}, {999, 769}, {1000, 768}};
    for (const auto &t : table) {
        Seq_SetTempo(t.tempo);
        EXPECT_EQ(g_iStepLength, (uint32_t)t.length) << t.tempo;
    }
    Seq_SetTempo(10);
    EXPECT_EQ(g_uTempo, 40);
    // 130 bpm: a step (12 sub-steps) every 69.2 ticks; 16 steps a row.
    Seq_SetTempo(130);
    Seq_ResetPlayState();
    uint32_t steps = 0;
    for (int i = 0; i < 6924; i++) { // 1200 sub-steps x 5908 / 1024 = 6923.4
        const uint8_t before = g_ucStepCount16;
        Seq_Tick();
        steps += g_ucStepCount16 != before;
    }
    EXPECT_EQ(steps, 100u);
}

TEST_F(Playback, TickNeverRunsMoreThanNineSubSteps)
{
    Seq_ResetPlayState();
    Seq_SetTempo(40);
    g_iStepLength = 100; // a stall's worth of time: ten sub-steps a tick
    g_iStepAccum = 5000;
    Seq_Tick();
    EXPECT_EQ(g_iSubStep, 9);
    EXPECT_EQ(g_iStepAccum, 5000 + 1024 - 900);
    Seq_Tick();
    EXPECT_EQ(g_iSubStep, 18);
}

TEST_F(Playback, IdleBarEventsKeepComing)
{
    static std::vector<uint32_t> rows;
    rows.clear();
    static auto handler = [](uintptr_t arg) {
        const uint16_t *w = (const uint16_t *)arg;
        if (w[1] == 255)
            rows.push_back(s_tick);
    };
    Sys_EventAddHandler(0x30003, handler);
    Seq_ResetPlayState();
    Seq_InstallDefaultStep();
    Run(3 * 1108 + 10);
    Sys_EventRemoveHandler(0x30003, handler);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], 1108u); // the 16th step at 130 bpm
    EXPECT_EQ(rows[1] - rows[0], 1108u);
}

TEST_F(Playback, RiffPlaysFromTheStepAfterItsRowAndStartsMidRiffWithItsLevel)
{
    const int32_t riff = Seq_NewRiff(4, 1);
    Seq_GetRiff(riff)->ucStartLevel = 0;
    Seq_GetRiff(riff)->ucEndLevel = 255;
    for (int32_t bar = 0; bar < 4; bar++)
        ASSERT_TRUE(Seq_SetRiffNote(riff, bar * 16, 0, -Voice(60 + bar, 1, NOTE_FLAG_HITS8, 0x80), 1, 0, 0));
    ASSERT_TRUE(Seq_SetRiffNote(riff, 63, 0, -Voice(70, 1, NOTE_FLAG_HITS8, 0x80), 1, 0, 0));
    Seq_PlaceRiff(riff, 1, 0, 0, 1);
    Seq_PlaySongFrom(0);
    Run(1108 * 6);
    // Row 1 starts at step 16 (tick 1108); its first note plays at step 17, sub-step 204.
    EXPECT_EQ(FirstTick("start ch0"), (204 * 5908 + 1023) / 1024);
    EXPECT_EQ(Count("start ch0"), 5);
    // The riff's last note sounds on the 16th step of its last row (row 4).
    const int32_t last = FirstTick("pitch ch0 " + std::to_string((g_auSeqPitchTable[70 * 128 + 1872] * 44100) >> 12));
    EXPECT_GT(last, 4 * 1108 + 15 * 69);
    EXPECT_LT(last, 5 * 1108 + 2);

    // From row 3 (its third bar): that bar's note first, with the ramp at half way.
    Seq_StopSong();
    s_log.clear();
    s_lastPitch.clear();
    Seq_StartSongAt(3, 1);
    EXPECT_EQ(g_aPlayColumns[0].ucStep, 32);
    EXPECT_EQ(g_aPlayColumns[0].uStepsLeft, 32);
    EXPECT_EQ(g_aPlayColumns[0].iLevel, ((255 * 1024) / 256) * 128);
    Run(80);
    EXPECT_NE(FirstTick("pitch ch0 " + std::to_string((g_auSeqPitchTable[62 * 128 + 1872] * 44100) >> 12)), -1);
}

TEST_F(Playback, SongStopsAtTheEndOfRow998Once)
{
    Seq_StartSongAt(997, 1);
    Run(1108 * 2 + 200);
    EXPECT_EQ(g_uSongRow.load(), 998u);
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepIdle);
    EXPECT_EQ(g_bSongEnded.load(), 1);
    // The riff loop mode stops there too instead of leaving the grid.
    g_bSongEnded = 0;
    Seq_StartSongAt(998, 0);
    Run(1200);
    EXPECT_EQ(g_uSongRow.load(), 998u);
    EXPECT_EQ(g_bSongEnded.load(), 0);
}

TEST_F(Playback, StepHookOwnsTheTick)
{
    static int32_t calls;
    calls = 0;
    g_bSeqStepHooked = 1;
    g_pfnSeqStep = [] { calls++; };
    Seq_PlaySongFrom(0);
    Seq_StopSong();
    Seq_PauseSong();
    Seq_StartFastForward();
    Run(10);
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_bFastForward, 0);
    g_bSeqStepHooked = 0;
    Seq_InstallDefaultStep();
}

TEST_F(Playback, FastForwardAndCueStop)
{
    Seq_StartSongAt(0, 1);
    Seq_StartFastForward();
    EXPECT_EQ(g_uTempo, 999);
    Run(9 * 16 + 2);
    EXPECT_EQ(g_uSongRow.load(), 1u); // 9 ticks a step
    Seq_StopCueing();
    EXPECT_EQ(g_uTempo, 130);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepSong);
    Seq_StartReverseCue();
    Run(1108 * 2);
    EXPECT_EQ(g_uSongRow.load(), 0u);
    Seq_StopCueing();
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepSong);
}

// The golden voice logs: one small song each, the voice calls of its first ticks.
struct GoldenCase
{
    const char *name;
    uint32_t ticks;
    std::function<void()> build;
};

TEST_F(Playback, GoldenVoiceLogs)
{
    const GoldenCase cases[] = {
        {"one_note", 400,
         [] {
             const int32_t r = Seq_NewRiff(1, 1);
             Seq_SetRiffNote(r, 0, 0, -Voice(60, 2, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"repeated_hits", 160,
         [] {
             const int32_t r = Seq_NewRiff(1, 1);
             Seq_SetRiffNote(r, 0, 0, -Voice(48, 1, NOTE_FLAG_HITS8, 0xFF), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"vibrato", 300,
         [] {
             const int32_t r = Seq_NewRiff(1, 1);
             Seq_SetRiffNote(r, 0, 0, -Voice(64, 3, NOTE_FLAG_HITS8, 0x80, 0, 0x21, 200), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"glide", 400,
         [] {
             const int32_t r = Seq_NewRiff(1, 1);
             Seq_SetRiffNote(r, 0, 0, -Voice(60, 2, NOTE_FLAG_HITS8 | NOTE_FLAG_GLIDE, 0x80), 1, 0, 0);
             Seq_SetRiffNote(r, 2, 0, -Voice(67, 2, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"effect_copy", 500,
         [] {
             for (EFFECTPRESETENTRY &e : g_aEffectPresets[7])
                 e = EFFECTPRESETENTRY{-1, 0, 0, 0, 0, 0, 0, {0, 0, 0}};
             g_aEffectPresets[7][0] = EFFECTPRESETENTRY{4, 0, 0, 0, 0, 128, 40, {0, 0, 0}};
             g_aEffectPresets[7][1] = EFFECTPRESETENTRY{0, 1536, 0, 0, 1, 64, 200, {0, 0, 0}};
             const int32_t r = Seq_NewRiff(1, 1);
             Seq_SetRiffNote(r, 0, 0, -Voice(60, 2, NOTE_FLAG_HITS8, 0x80, 7), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"stealing", 400,
         [] {
             g_iAllocChannels = 4;
             for (EFFECTPRESETENTRY &e : g_aEffectPresets[8])
                 e = EFFECTPRESETENTRY{8, 0, 0, 0, 0, 60, 128, {0, 0, 0}};
             for (int32_t i = 0; i < 9; i++)
                 g_aEffectPresets[8][i].iDelay = (int16_t)(4 + i);
             const int32_t r = Seq_NewRiff(1, 1);
             for (int32_t s = 0; s < 4; s++)
                 Seq_SetRiffNote(r, s, 0, -Voice(60 + s, 1, NOTE_FLAG_HITS8, 0x80, 8), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
        {"tempo_ramp", 1400,
         [] {
             Seq_SetTrackEntry(0, 1, 130, 260, 0, 0, 0, 0, 0, LIST_TEMPO);
             const int32_t r = Seq_NewRiff(2, 1);
             for (int32_t s = 0; s < 32; s += 4)
                 Seq_SetRiffNote(r, s, 0, -Voice(72, 1, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         }},
    };
    for (const GoldenCase &c : cases) {
        SCOPED_TRACE(c.name);
        Seq_StopSong();
        Seq_NewSong();
        Slots();
        Seq_LoadEffectPresets();
        g_iAllocChannels = 24;
        c.build();
        s_log.clear();
        s_lastVolume.clear();
        s_lastPitch.clear();
        s_tick = 0;
        Seq_PlaySongFrom(0);
        s_log.clear(); // the stops of the start itself are not the song's
        Run(c.ticks);
        ExpectGolden(c.name);
        EXPECT_MODEL_WHOLE();
    }
}

TEST_F(Playback, VoiceCallsFollowTheNotes)
{
    // One note: one start, at pitch 60 the sample's own rate, a release event at its end.
    static int32_t releases;
    releases = 0;
    static auto onNote = [](uintptr_t arg) {
        const uint16_t *w = (const uint16_t *)arg;
        if (w[1] == 0)
            releases++;
    };
    Sys_EventAddHandler(0x30002, onNote);
    const int32_t r = Seq_NewRiff(1, 1);
    Seq_SetRiffNote(r, 0, 0, -Voice(60, 2, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
    Seq_PlaceRiff(r, 0, 0, 0, 1);
    Seq_PlaySongFrom(0);
    s_log.clear();
    Run(600);
    Sys_EventRemoveHandler(0x30002, onNote);
    EXPECT_EQ(Count("start ch0 sample 101"), 1);
    EXPECT_EQ(Count("pitch ch0 44100"), 1);
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(Count("keyon"), 1);
    // Its last volume is silence, and it was heard before that.
    std::string lastVolume;
    int32_t loudest = 0;
    for (const std::string &l : s_log)
        if (l.find("volume ch0") != std::string::npos) {
            lastVolume = l;
            int32_t t = 0, left = 0, right = 0;
            std::sscanf(l.c_str(), "t%d volume ch0 %d %d", &t, &left, &right);
            loudest = std::max(loudest, left);
        }
    EXPECT_NE(lastVolume.find(" 0 0"), std::string::npos) << lastVolume;
    EXPECT_GT(loudest, 4000);

    // Eight hits within the first step: one start each, at fine steps 0, 3, ... 21.
    Seq_StopSong();
    Seq_NewSong();
    const int32_t h = Seq_NewRiff(1, 1);
    Seq_SetRiffNote(h, 0, 0, -Voice(48, 1, NOTE_FLAG_HITS8, 0xFF), 1, 0, 0);
    Seq_PlaceRiff(h, 0, 0, 0, 1);
    Seq_PlaySongFrom(0);
    s_log.clear();
    Run(160);
    EXPECT_EQ(Count("start ch0"), 8);
    const int32_t first = FirstTick("start ch0");
    int32_t lastStart = 0;
    for (const std::string &l : s_log)
        if (l.find("start ch0") != std::string::npos)
            lastStart = std::atoi(l.c_str() + 1);
    EXPECT_LT(lastStart - first, 70); // all within one step

    // Without hit marks the voice is never keyed on.
    Seq_StopSong();
    Seq_NewSong();
    const int32_t q = Seq_NewRiff(1, 1);
    Seq_SetRiffNote(q, 0, 0, -Voice(48, 1, 0, 0xFF), 1, 0, 0);
    Seq_PlaceRiff(q, 0, 0, 0, 1);
    Seq_PlaySongFrom(0);
    s_log.clear();
    Run(200);
    EXPECT_EQ(Count("start"), 0);
    EXPECT_EQ(Count("keyon"), 0);
}

TEST_F(Playback, MutedChannelRunsButStaysSilent)
{
    const int32_t r = Seq_NewRiff(1, 1);
    Seq_SetRiffNote(r, 0, 0, -Voice(60, 4, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
    Seq_PlaceRiff(r, 0, 0, 0, 1);
    Seq_PlaySongFrom(0);
    g_aChannelMute[0][3] = 1;
    s_log.clear();
    Run(300);
    EXPECT_EQ(Count("start ch0"), 1);
    EXPECT_EQ(Count("pitch ch0"), 1); // the start's retune only
    for (const std::string &l : s_log) {
        if (l.find("volume ch0") != std::string::npos) {
            EXPECT_NE(l.find(" 0 0"), std::string::npos) << l;
        }
    }
    EXPECT_EQ(g_aSeqChannels[0].ucState, 2); // still running its envelopes
    g_aChannelMute[0][3] = 0;
}

TEST_F(Playback, AllocatorTakesFreeChannelsThenTheQuietestCopy)
{
    g_iAllocChannels = 3;
    g_uSongRow = 0;
    Seq_ClearChannels();
    EXPECT_EQ(Seq_AllocChannel(), 2);
    g_aSeqChannels[2].ucOwner = 1;
    g_aSeqChannels[1].ucOwner = 2;
    g_aSeqChannels[1].ucLevel = 90;
    g_aSeqChannels[0].ucOwner = 2;
    g_aSeqChannels[0].ucLevel = 40;
    EXPECT_EQ(Seq_AllocChannel(), 0); // no free channel: the quieter copy
    g_aSeqChannels[0].ucOwner = 1;
    g_aSeqChannels[1].ucOwner = 1;
    EXPECT_EQ(Seq_AllocChannel(), 255); // nothing to take over
    // A column that plays a riff in this row is never handed out.
    Seq_ClearChannels();
    const int32_t riff = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(riff, 0, 2, 0, 1);
    EXPECT_EQ(Seq_AllocChannel(), 1);
    Seq_ClearChannels();
}

TEST_F(Playback, DeletedRiffLeavesThePlayColumns)
{
    const int32_t a = Seq_NewRiff(2, 1), b = Seq_NewRiff(2, 1);
    Seq_PlaceRiff(a, 0, 0, 0, 1);
    Seq_PlaceRiff(b, 0, 1, 0, 1);
    Seq_StartSongAt(0, 1);
    EXPECT_EQ(g_aPlayColumns[1].uRiff, b);
    Seq_ReleaseRiff(a, 3, 1);
    EXPECT_EQ(g_aPlayColumns[0].uRiff, 0);
    EXPECT_EQ(g_aPlayColumns[1].uRiff, 1);
    Run(300);
    EXPECT_MODEL_WHOLE();
}

} // namespace

namespace {

// The list store packs itself when a list goes; a sounding note keeps its envelopes whole.
TEST_F(Playback, EnvelopesSurviveTheListStorePacking)
{
    std::string logs[2];
    for (int run = 0; run < 2; run++) {
        Seq_StopSong();
        Seq_NewSong();
        Slots();
        const uint16_t filler[40] = {};
        const int32_t before = Seq_AddParamList(40, filler, 9, 9); // lies before the note's lists
        const int32_t r = Seq_NewRiff(1, 1);
        Seq_SetRiffNote(r, 0, 0, -Voice(60, 3, NOTE_FLAG_HITS8, 0x80), 1, 0, 0);
        Seq_PlaceRiff(r, 0, 0, 0, 1);
        Seq_PlaySongFrom(0);
        s_log.clear();
        s_lastVolume.clear();
        s_lastPitch.clear();
        s_tick = 0;
        Run(80);
        if (run == 1)
            Seq_ReleaseParamList(before); // the note's lists move down under it
        Run(300);
        logs[run] = Joined();
        if (run == 0)
            Seq_ReleaseParamList(before);
        EXPECT_MODEL_WHOLE();
    }
    EXPECT_EQ(logs[0], logs[1]);
}

} // namespace
