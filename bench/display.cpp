// The per-frame display work: the layer copy onto the back buffer and the conversion of a present.
#include "platform/backend.h"
#include "platform/display.h"
#include "render/display.h"
#include "render/gpustate.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct OpenDisplay
{
    OpenDisplay()
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Gfx_EnumerateDisplayDevices(nullptr);
        Gfx_CreateDirectDraw(0);
        Gfx_SetDisplayMode(Gfx_FindDisplayMode(640, 480, 16));
    }
    ~OpenDisplay() { Gfx_ReleaseDirectDraw(); }
};

void BM_CopyFrameToSurface(benchmark::State &state)
{
    OpenDisplay open;
    std::vector<uint16_t> frame(static_cast<size_t>(LAYER_WIDTH) * LAYER_HEIGHT, 0x1234);
    for (auto _ : state)
        benchmark::DoNotOptimize(Gfx_CopyFrameToSurface(frame.data()));
    state.SetBytesProcessed(state.iterations() * LAYER_WIDTH * LAYER_HEIGHT * 2);
}
BENCHMARK(BM_CopyFrameToSurface);

// The headless present converts the whole frame through the gamma ramp.
void BM_PresentHeadless(benchmark::State &state)
{
    OpenDisplay open;
    for (auto _ : state)
        benchmark::DoNotOptimize(Gfx_Present());
}
BENCHMARK(BM_PresentHeadless);

} // namespace
