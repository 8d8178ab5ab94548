// Decoding the studio's clip: a frame must take a small part of a 20 ms studio frame.
#include "render/aviplayer.h"
#include "render/avireader.h"
#include "tools/videocontent.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const std::vector<uint8_t> &Clip()
{
    static const std::vector<uint8_t> s_clip = Content_VideoFiles()[0].data;
    return s_clip;
}

// Frames in order, as the player asks for them while playing.
void BM_AviDecodeInOrder(benchmark::State &state)
{
    AVIREADER reader;
    Gfx_AviOpenMemory(&reader, Clip().data(), Clip().size());
    const int32_t count = static_cast<int32_t>(reader.info.dwLength);
    int32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Gfx_AviDecodeFrame(&reader, n));
        n = (n + 1) % count;
    }
    Gfx_AviCloseReader(&reader);
}
BENCHMARK(BM_AviDecodeInOrder);

// A jump back to the last frame: every frame from the first is decoded again.
void BM_AviDecodeJumpToLast(benchmark::State &state)
{
    AVIREADER reader;
    Gfx_AviOpenMemory(&reader, Clip().data(), Clip().size());
    const int32_t last = static_cast<int32_t>(reader.info.dwLength) - 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Gfx_AviDecodeFrame(&reader, last));
        benchmark::DoNotOptimize(Gfx_AviDecodeFrame(&reader, 0));
    }
    Gfx_AviCloseReader(&reader);
}
BENCHMARK(BM_AviDecodeJumpToLast);

// One frame onto a 640 x 480 surface.
void BM_AviShowFrame(benchmark::State &state)
{
    static std::vector<uint16_t> pixels(640 * 480);
    AVISURFACE surface{pixels.data(), 1280, 640, 480, 0x7E0};
    AVIREADER &reader = g_tAviReader;
    Gfx_AviOpenMemory(&reader, Clip().data(), Clip().size());
    g_tAviStreamInfo = reader.info;
    g_pAviSurface = &surface;
    Gfx_StartAviPlayback();
    for (auto _ : state)
        benchmark::DoNotOptimize(Gfx_UpdateAviFrame());
    Gfx_CloseAviStream();
}
BENCHMARK(BM_AviShowFrame);

} // namespace
