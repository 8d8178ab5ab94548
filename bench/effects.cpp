// Seconds of 44.1 kHz mono sound each built-in effect processes per second of work, at its built
// settings. One iteration runs one second of a moving tone through the selected effect; the delay
// lines and oscillators carry on from one iteration to the next, as in one long application.
#include "audio/effects.h"
#include "core/fixmath.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int32_t kRate = 44100;

void BM_Effect(benchmark::State &state)
{
    const int32_t effect = (int32_t)state.range(0);
    Sys_BuildSineTable();
    if (Snd_BuildEffects() != 0)
    {
        state.SkipWithError("effects could not be built");
        return;
    }
    Snd_SetEffectSampleRate(kRate);
    if (Snd_SelectEffect(effect) != 0)
    {
        state.SkipWithError("effect could not be selected");
        Snd_FreeEffects();
        return;
    }
    std::string label = g_apEffects[effect]->pszName;
#ifndef __OPTIMIZE__
    // Only the optimised builds (make build, or Release) say anything about the speed.
    label += " (unoptimised build)";
#endif
    state.SetLabel(label);
    std::vector<int16_t> tone(kRate), work(kRate);
    for (int32_t i = 0; i < kRate; i++)
        tone[i] = (int16_t)(Sys_FixedSin(i * 37 + (i * i >> 14)) * 6);
    for (auto _ : state)
    {
        state.PauseTiming();
        work = tone;
        state.ResumeTiming();
        Snd_RunEffect(effect, work.data(), kRate);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    Snd_ReleaseEffect(effect);
    Snd_FreeEffects();
    state.counters["x_realtime"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Effect)->DenseRange(0, EFFECT_COUNT - 1)->Unit(benchmark::kMillisecond);

} // namespace
