// Stand-in for the software rasteriser until it is built: fills are drawn (clipped to the draw
// area, no odd-width rule), everything else is counted so walker tests can see it arrive.
#include "render/gpustate.h"
#include "render/raster.h"

#include <algorithm>

int g_iStandinRasterCalls = 0;

namespace {
void StandinFill(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    ++g_iStandinRasterCalls;
    if (!g_pLayerFrame)
        return;
    int32_t x0 = std::max(x + g_iDrawOffsetX, g_iDrawAreaLeft), x1 = std::min(x + g_iDrawOffsetX + w, g_iDrawAreaRight);
    int32_t y0 = std::max(y + g_iDrawOffsetY, g_iDrawAreaTop), y1 = std::min(y + g_iDrawOffsetY + h, g_iDrawAreaBottom);
    x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, LAYER_WIDTH), y1 = std::min(y1, LAYER_HEIGHT);
    uint16_t c = Gfx_PackFillColour(r, g, b);
    for (int32_t yy = y0; yy < y1; ++yy)
        for (int32_t xx = x0; xx < x1; ++xx)
            g_apLayerRows[yy][xx] = c;
}
} // namespace

void Gfx_RasterTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    StandinFill(x, y, w, h, r, g, b);
}
void Gfx_RasterFillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    StandinFill(x, y, w, h, r, g, b);
}
void Gfx_RasterLine(int32_t, int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t) { ++g_iStandinRasterCalls; }
void Gfx_RasterSprite(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t) { ++g_iStandinRasterCalls; }
void Gfx_RasterGlyph(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t)
{
    ++g_iStandinRasterCalls;
}
void Gfx_RasterTexturedQuad(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t) { ++g_iStandinRasterCalls; }
