// A typical interface frame drawn into the 2D layer: a full screen of 24 x 24 tiles, a few hundred
// masked sprites, two thousand glyphs, lines and boxes. Reports frames per second on one core.
#include "render/gpustate.h"
#include "render/raster.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Layer
{
    std::vector<uint16_t> frame = std::vector<uint16_t>(LAYER_WIDTH * LAYER_ROW_TABLE_SIZE);
    std::vector<uint16_t> texels = std::vector<uint16_t>(256 * 512);
    std::vector<uint16_t> tile = std::vector<uint16_t>(24 * 24);

    Layer()
    {
        g_pLayerFrame = frame.data();
        for (int r = 0; r < LAYER_ROW_TABLE_SIZE; ++r)
            g_apLayerRows[r] = frame.data() + r * LAYER_WIDTH;
        g_iPixelFormat = PIXELFORMAT_565;
        Gfx_ResetDrawState();
        // Texel pairs: colour, colour, mask, mask; about a third transparent, like glyph cells.
        for (int v = 0; v < 256; ++v)
            for (int u = 0; u < 256; ++u) {
                uint16_t *p = texels.data() + v * 512 + (u >> 1) * 4 + (u & 1);
                p[0] = Gfx_PackFillColour(uint8_t(u), uint8_t(v), uint8_t(u + v));
                p[2] = ((u * 5 + v * 3) % 3 == 0) ? 0xFFFF : 0;
            }
        g_pClutSource = texels.data();
        for (int i = 0; i < 24 * 24; ++i)
            tile[i] = uint16_t(0x4208 + i);
    }
};

Layer s_layer;

void DrawInterfaceFrame(const Layer &layer)
{
    for (int y = 0; y < LAYER_HEIGHT; y += 24)
        for (int x = 0; x < LAYER_WIDTH; x += 24)
            Gfx_CopyScreenTile(x, y, layer.tile.data());
    for (int i = 0; i < 300; ++i)
        Gfx_RasterSprite((i * 37) % 620, (i * 53) % 460, uint8_t((i * 24) & 0xF0), uint8_t((i * 8) & 0xF0), 24, 24);
    for (int i = 0; i < 2000; ++i) {
        const uint8_t tint = (i & 3) ? 128 : 90;
        Gfx_RasterGlyph((i % 80) * 8, (i / 80) * 18 + 20, uint8_t(128 + (i % 14) * 8), 200, 8, 12, tint, tint, 128);
    }
    for (int i = 0; i < 40; ++i) {
        const int x = (i * 97) % 540, y = (i * 71) % 420;
        Gfx_RasterTile(x, y, 100, 40, 60, 70, 80);
        Gfx_RasterLine(x, y, x + 100, y, 255, 255, 255);
        Gfx_RasterLine(x, y, x, y + 40, 255, 255, 255);
        Gfx_RasterLine(x + 100, y, x + 100, y + 41, 20, 20, 20);
        Gfx_RasterLine(x, y + 40, x + 100, y + 40, 20, 20, 20);
        Gfx_RasterLine(x, y, x + 60, y + 25, 255, 0, 0);
    }
}

void BM_InterfaceFrame(benchmark::State &state)
{
    for (auto _ : state) {
        DrawInterfaceFrame(s_layer);
        benchmark::ClobberMemory();
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterfaceFrame)->Unit(benchmark::kMicrosecond);

void BM_GlyphOnly(benchmark::State &state)
{
    for (auto _ : state)
        for (int i = 0; i < 2000; ++i)
            Gfx_RasterGlyph((i % 80) * 8, (i / 80) * 18 + 20, uint8_t(128 + (i % 14) * 8), 200, 8, 12, 90, 90, 128);
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_GlyphOnly)->Unit(benchmark::kMicrosecond);

} // namespace
