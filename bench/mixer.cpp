// How many times faster than real time one core mixes all 99 song voices.
#include "audio/mixer.h"
#include "audio/sampleslot.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

static void BM_MixAllVoices(benchmark::State &state)
{
    Snd_InitSampleEngine(256);
    int16_t out[72 * 2], send[72 * 2];
    Snd_SetMixParam(16, out);
    Snd_SetMixParam(32, send);
    Snd_SetMasterVolume(0x3FFF, 0x3FFF);

    // A few samples of different rates and lengths; half of them loop, some over a short loop so
    // that their blocks take the looping path often.
    const uint32_t rates[] = {44100, 22050, 11025, 44100};
    const uint32_t lengths[] = {100000, 20000, 3000, 441};
    SAMPLESLOT *apSlots[4];
    for (int i = 0; i < 4; i++) {
        Snd_AllocSampleSlot(&apSlots[i]);
        Snd_AllocSampleData(apSlots[i], lengths[i], true);
        int16_t *p = (int16_t *)apSlots[i]->pData;
        for (uint32_t f = 0; f < lengths[i]; f++)
            p[2 * f] = p[2 * f + 1] = (int16_t)(8000 * std::sin(f * 0.05 * (i + 1)));
        apSlots[i]->uRate = rates[i];
        if (i % 2) {
            apSlots[i]->uFlags |= SAMPLE_LOOPS;
            apSlots[i]->uLoopStartFrame = lengths[i] / 3;
            Snd_ResetSamplePointers(apSlots[i]);
        }
    }
    auto start = [&](int v) {
        VOICE *pVoice = &g_astVoices[v];
        SAMPLESLOT *pSlot = apSlots[v % 4];
        Snd_StartVoice(pVoice, pSlot, VOICE_PREPARED);
        // Pitches from a fifth down to an octave up.
        Snd_SetVoicePitch(pVoice, 29400 + (v * 613) % 58800);
        Snd_SetVoiceVolume(pVoice, 4000 + v * 50, 6000 - v * 30);
        Snd_StartVoice(pVoice, pSlot, VOICE_ACTIVE);
    };
    for (int v = 0; v < SND_VOICE_COUNT; v++)
        start(v);

    for (auto _ : state) {
        memset(out, 0, sizeof(out));
        Snd_MixBlock();
        // Keep all 99 playing: restart the ones that ended.
        for (int v = 0; v < SND_VOICE_COUNT; v++) {
            if (!(g_astVoices[v].uState & VOICE_ACTIVE))
                start(v);
        }
        benchmark::DoNotOptimize(out);
    }
#ifndef __OPTIMIZE__
    // Only the optimised builds (make build, or Release) say anything about the mixer's speed.
    state.SetLabel("unoptimised build");
#endif
    // Seconds of sound mixed per second of work.
    state.counters["x_realtime"] =
        benchmark::Counter((double)state.iterations() * 72 / 44100, benchmark::Counter::kIsRate);
    Snd_ShutdownSampleEngine();
}
BENCHMARK(BM_MixAllVoices);
