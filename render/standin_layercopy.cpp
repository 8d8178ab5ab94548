// Stand-ins until the layer's colour routines are built (see standin_layercopy.h).
#include "render/standin_layercopy.h"

#include "render/gpustate.h"

#include <cstring>

__attribute__((weak)) void Gfx_ConvertPalette(const uint32_t *pColours, uint16_t *pOut)
{
    if (!pColours || !pOut)
        return;
    for (int i = 0; i < 256; i++) {
        uint32_t r = (pColours[i] >> 16) & 0xFF, g = (pColours[i] >> 8) & 0xFF, b = pColours[i] & 0xFF;
        pOut[i] = g_iPixelFormat == PIXELFORMAT_555
                      ? (uint16_t)(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3))
                      : (uint16_t)(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
    }
}

__attribute__((weak)) void Gfx_CopyToLayer(int32_t x, int32_t y, int32_t w, int32_t h,
                                           const uint16_t *pPixels)
{
    if (!g_pLayerFrame || !pPixels || w <= 0 || h <= 0)
        return;
    int32_t x0 = x < 0 ? 0 : x, x1 = x + w > LAYER_WIDTH ? LAYER_WIDTH : x + w;
    if (x0 >= x1)
        return;
    for (int32_t line = 0; line < h; line++) {
        int32_t row = y + line;
        if (row < 0 || row >= LAYER_HEIGHT)
            continue;
        memcpy(g_pLayerFrame + row * LAYER_WIDTH + x0, pPixels + line * w + (x0 - x),
               (size_t)(x1 - x0) * 2);
    }
}
