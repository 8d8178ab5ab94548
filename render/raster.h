// The software rasteriser: the primitive routines that the ordering-table walker hands each
// drawing packet to, drawing into the 2D layer frame (render/gpustate.h). Coordinates are the
// packet's own (the routines add the draw offset and clip to the draw area); colours are the
// packet's r, g, b bytes.
//
// Every write lands inside the 640 x 480 frame whatever the draw area says; inside the frame the
// picture follows the packet rules exactly (fills start at an even column and paint whole pairs,
// line ends are moved onto the area's edges, textured draws copy one texel per pixel).
#pragma once

#include <cstdint>

// 0x60 tile: filled rectangle. A tile of at least 384 x 256 is a console-style screen clear and
// is not drawn: the layer keeps its pixels from frame to frame.
void Gfx_RasterTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
// 0x28 flat and 0x38 gouraud quadrilaterals: filled rectangle (the walker works out w, h and the
// colour, and skips semi-transparent ones).
void Gfx_RasterFillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
// 0x40, 0x50 lines and each segment of a 0x4C polyline. The end point is not plotted.
void Gfx_RasterLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b);
// 0x64 sprite and the sprite of a length-6 draw-mode packet: masked copy, texture window honoured.
void Gfx_RasterSprite(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h);
// 0xA4 glyph sprite: masked copy tinted by r, g, b (0..128), texture window ignored.
void Gfx_RasterGlyph(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h, uint8_t r, uint8_t g,
                     uint8_t b);
// 0x2C textured quadrilateral: masked copy from vertex 0 to vertex 3.
void Gfx_RasterTexturedQuad(int32_t x0, int32_t y0, uint8_t u, uint8_t v, int32_t x3, int32_t y3);

// 0x64 sprite marked 0x4321: the 24 x 24 screen tile (row, column, page bytes of the packet) at
// packet x, y; nothing when the tile pages have no such tile.
void Gfx_DrawScreenTile(int32_t x, int32_t y, uint8_t row, uint8_t column, uint8_t page);
// The opaque copy behind it: 24 lines of 24 pixels at packet x, y, clipped to the draw area; a
// cut tile copies its visible width in whole pixel pairs.
void Gfx_CopyScreenTile(int32_t x, int32_t y, const uint16_t *tile);

// Masked copy core, in frame coordinates: width x height pixels at (x, y); pixel (i, j) takes texel
// column startU + (phaseU + i) mod wrapW and row startV + (phaseV + j) mod wrapH of the CLUT
// source, both wrapped inside the 256 x 256 page; the texel colour is ANDed with tint (0xFFFF for
// untinted copies) and merged by its mask. Parts outside the frame are skipped. Nothing without a
// CLUT source or with an empty wrap.
void Gfx_MaskedCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t startU, uint32_t phaseU,
                    uint32_t wrapW, uint32_t startV, uint32_t phaseV, uint32_t wrapH, uint16_t tint);

// Colour word i of row n of the CLUT source decoded to 0x00RRGGBB (i and n wrap inside the page);
// 0 while there is no source.
uint32_t Gfx_GetClutColour(int i, int n);

// Answered by the tile pages: the 24 x 24 pixels of a screen tile, or null when out of range.
const uint16_t *Gfx_TileAddress(int row, int column, int page);
