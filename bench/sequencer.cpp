// The sequencer's tick playing the demo song with every one of the 99 columns busy. Reported: ticks
// a second, and "core_percent", the share of one core that real-time playback (612.5 ticks a
// second) costs. Goal: under 1 %.
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "tools/demosong.h"

#include <benchmark/benchmark.h>

static void BM_DemoSongTickAllChannelsBusy(benchmark::State &state)
{
    Snd_InitSampleEngine(64);
    Seq_Init();
    Seq_NewSong();
    if (Content_BuildDemoSong() != 0) {
        state.SkipWithError("demo song not built");
        return;
    }
    // Columns 6..98: a bar of sixteenth notes of the lead, four hits a step, on every row.
    const int32_t fill = Seq_NewRiff(1, 1);
    const uint16_t amp[3] = {0 | 255 << 8, 29 | 255 << 8, 143 | 0 << 8};
    const uint16_t flat[2] = {0 | 127 << 8, 255 | 127 << 8};
    for (int32_t s = 0; s < 16; s++) {
        const int32_t a = Seq_AddParamList(3, amp, 0, 0);
        const int32_t b = Seq_AddParamList(2, flat, 0, 0);
        const int32_t c = Seq_AddParamList(2, flat, 0, 0);
        const int32_t note = Seq_FindOrAddNote(5, 5 + s / 12, s % 12, 1, 150, NOTE_FLAG_HITS8, 0, 0xAA, 0, 0, a, b, c,
                                               0x21, 40, 0, 1);
        Seq_SetRiffNote(fill, s, 0, -note, 1, 0, 0);
    }
    for (int32_t row = 0; row < DEMO_ROWS; row++)
        for (int32_t c = 6; c < 99; c++)
            Seq_PlaceRiff(fill, row, c, 0, 1);
    Seq_PlaySongFrom(0);
    int32_t busyMost = 0;
    for (int32_t i = 0; i < 20000; i++) {
        Seq_Tick();
        int32_t busy = 0;
        for (const SEQCHANNEL &c : g_aSeqChannels)
            busy += c.ucState != 0;
        busyMost = busy > busyMost ? busy : busyMost;
    }
    for (auto _ : state) {
        Seq_Tick();
        if (!g_bSongPlaying.load())
            Seq_StartSongAt(0, 1);
    }
    state.SetItemsProcessed(state.iterations());
    // Seconds per tick x 612.5 ticks a second x 100.
    state.counters["core_percent"] = benchmark::Counter((double)state.iterations() / (612.5 * 100.0),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["busy_channels"] = busyMost;
    Seq_StopSong();
    Seq_NewSong();
    Snd_ShutdownSampleEngine();
}
BENCHMARK(BM_DemoSongTickAllChannelsBusy);
