// How many seconds of song the mixdown renders to a WAV file per second of work: 32 voices
// (half of them looping, some sent to the reverb) over a generated song, one main-loop pass
// (a second of sound) per iteration.
#include "app/timers.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/soundlib.h"
#include "sequencer/songmodel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <unistd.h>

static void BM_Mixdown(benchmark::State &state)
{
    Snd_InitSampleEngine(64);
    Sys_AllocMixBuffers();
    Snd_SetMasterVolume(0x3FFF, 0x3FFF);
    const uint32_t lengths[] = {200000, 30000, 4000, 90000};
    SAMPLESLOT *apSlots[4];
    for (int i = 0; i < 4; i++) {
        Snd_AllocSampleSlot(&apSlots[i]);
        Snd_AllocSampleData(apSlots[i], lengths[i], true);
        int16_t *p = (int16_t *)apSlots[i]->pData;
        for (uint32_t f = 0; f < lengths[i]; f++)
            p[2 * f] = p[2 * f + 1] = (int16_t)(6000 * std::sin(f * 0.03 * (i + 1)));
        apSlots[i]->uRate = 44100;
        apSlots[i]->uFlags |= SAMPLE_LOOPS;
        Snd_ResetSamplePointers(apSlots[i]);
    }
    const int voices = 32;
    for (int v = 0; v < voices; v++) {
        Snd_StartVoice(&g_astVoices[v], apSlots[v % 4], VOICE_PREPARED);
        Snd_SetVoicePitch(&g_astVoices[v], 30000 + v * 1500);
        Sys_SetVoiceVolume(v, 3000 + v * 40, 4000 - v * 30);
        Sys_SetVoiceReverb(v % 3 == 0, v);
    }
    Sys_SetReverbEnable(1);
    Sys_KeyVoices(1, 0);

    const std::string path = "/tmp/tnv_bench_mixdown_" + std::to_string(getpid()) + ".wav";
    g_uSongRowCount = 60000;
    int passes = 0;
    Sys_StartMixdown(path.c_str());
    for (auto _ : state) {
        Sys_MixdownStep();
        // Keep the file small: start again every minute of sound.
        if (++passes % 60 == 0) {
            state.PauseTiming();
            Sys_FinishMixdown();
            Sys_StartMixdown(path.c_str());
            state.ResumeTiming();
        }
    }
    Sys_FinishMixdown();
    std::remove(path.c_str());
    state.counters["sound_s_per_s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    Sys_FreeMixBuffers();
    Snd_ShutdownSampleEngine();
}
BENCHMARK(BM_Mixdown)->Unit(benchmark::kMillisecond);
