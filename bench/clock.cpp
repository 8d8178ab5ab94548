#include "platform/clock.h"

#include <benchmark/benchmark.h>

static void BM_ClockNowReal(benchmark::State &state)
{
    Plat_ClockUse(PLAT_CLOCK_REAL);
    for (auto _ : state)
        benchmark::DoNotOptimize(Plat_ClockNowUs());
}
BENCHMARK(BM_ClockNowReal);
