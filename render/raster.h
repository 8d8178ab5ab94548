// The software rasteriser: the primitive routines that the ordering-table walker hands each
// drawing packet to, drawing into the 2D layer frame (render/gpustate.h). Coordinates are the
// packet's own (the routines add the draw offset and clip to the draw area); colours are the
// packet's r, g, b bytes.
#pragma once

#include <cstdint>

// 0x60 tile: filled rectangle.
void Gfx_RasterTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
// 0x28 flat and 0x38 gouraud quadrilaterals: filled rectangle (the walker works out w, h and the
// colour, and skips semi-transparent ones).
void Gfx_RasterFillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
// 0x40, 0x50 lines and each segment of a 0x4C polyline.
void Gfx_RasterLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b);
// 0x64 sprite and the sprite of a length-6 draw-mode packet: masked copy, texture window honoured.
void Gfx_RasterSprite(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h);
// 0xA4 glyph sprite: masked copy tinted by r, g, b (0..128), texture window ignored.
void Gfx_RasterGlyph(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h, uint8_t r, uint8_t g,
                     uint8_t b);
// 0x2C textured quadrilateral: masked copy from vertex 0 to vertex 3.
void Gfx_RasterTexturedQuad(int32_t x0, int32_t y0, uint8_t u, uint8_t v, int32_t x3, int32_t y3);
