// Stand-ins for two small colour routines of the 2D layer, until the screen tiles and the
// layer's colour routines are built. Weak, so the real definitions win at link time.
#pragma once

#include <cstdint>

// 256 colours 0xRRGGBB -> 16-bit pixels in the layout of g_iPixelFormat (5:5:5 for
// PIXELFORMAT_555, else 5:6:5).
void Gfx_ConvertPalette(const uint32_t *pColours, uint16_t *pOut);
// Copies h lines of w packed 16-bit pixels into the layer at x, y; what falls outside the
// 640 x 480 frame is left out.
void Gfx_CopyToLayer(int32_t x, int32_t y, int32_t w, int32_t h, const uint16_t *pPixels);
