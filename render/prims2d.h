// The 2D packet builders the screens draw with: tiles, lines, sprites of interface images, shaded
// rectangles, draw areas, texture windows and the interface's box outlines and caption bar.
//
// The Set builders fill a packet the caller owns. The Add builders take a packet from the current
// frame's primitive area (Gfx_AddPacket) and link it in front of the ordering-table entry
// g_pOrderingTable, so the last one added to an entry is drawn first. A full area drops the
// packet (counted in g_uPacketsDropped) and the builder answers 0. Main thread only.
#pragma once

#include "render/texpages.h"

#include <cstdint>

// The interface's current ordering-table entry (an arena address); the widget layer points it at
// its entry of the current frame buffer every frame.
extern uint32_t g_pOrderingTable;

// Colour A (top and left of a raised box), colour B (bottom and right) and the outline colour,
// three bytes r, g, b each; the interface's set-up and colour schemes write them.
constexpr int BEVEL_COLOUR_A = 0;
constexpr int BEVEL_COLOUR_B = 3;
constexpr int BEVEL_COLOUR_OUTLINE = 6;
extern uint8_t g_abBevelColours[9];

// Packets that fill a caller's buffer (sizes in bytes: sprite 24, sprite with page word 28, line
// 20, flat quadrilateral 28, textured quadrilateral 44). A null image leaves the packet alone.
void Gfx_SetImageSpritePacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g,
                              uint8_t b);
void Gfx_SetSpritePacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);
void Gfx_SetLinePacket(void *packet, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b);
void Gfx_SetFlatQuadPacket(void *packet, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
void Gfx_SetImageQuadPacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g,
                            uint8_t b);

// Builders that link into g_pOrderingTable. Each answers the packet's address (the image sprite:
// the entry), 0 when nothing was built.
uint32_t Gfx_AddScreenTile(uint8_t r, uint8_t g, uint8_t b);
uint32_t Gfx_AddImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);
uint32_t Gfx_AddLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b);
// A ramp from black on the left to the colour on the right (the 2D rasteriser fills it flat in
// half the colour).
uint32_t Gfx_AddShadedRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
uint32_t Gfx_AddTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
uint32_t Gfx_AddDrawArea(int32_t x, int32_t y, int32_t w, int32_t h);
uint32_t Gfx_AddTextureWindow(int32_t x, int32_t y, int32_t w, int32_t h);
// A closed one-pixel outline through the four corners, in the outline colour.
void Gfx_AddOutlineBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
// Text centred on x at y in the current font between two engraved rules filling the width w.
void Gfx_DrawCaptionBar(const char *text, int32_t x, int32_t y, int32_t w);
// Raised box (colour A top and left, colour B right and bottom, one pixel further out) and the
// sunken one (the colours swapped, top and left one pixel longer).
void Gfx_AddBevelBox(int32_t x, int32_t y, int32_t w, int32_t h);
void Gfx_AddInsetBox(int32_t x, int32_t y, int32_t w, int32_t h);
