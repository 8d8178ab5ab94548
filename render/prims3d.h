// Console drawing on the 3-D device: the semi-transparency modes as blend states, the scene
// bracket with its render state, and the console-style primitives the video engine draws through
// the device (textured triangle packets, the picture panel, additive squares, the rotated grab
// grid), plus the test frame of a display-mode trial.
//
// Every device call keeps its result in g_hrD3D; a failure is named through Gfx_D3DErrorName and
// returned at once, the steps after it left undone. Main thread only; not re-entrant (the
// screen-space drawers share g_aScratchVertices).
#pragma once

#include "platform/sw3d.h"
#include "render/ordertable.h"

#include <cstdint>

// 1 from the scene state set at begin scene until the reset at end scene.
extern uint32_t g_bSceneOpen;
// 8 strips of 9 index pairs over the 9 x 9 vertices of the rotated grab grid.
constexpr int32_t QUAD_GRID_SIDE = 9;
constexpr int32_t QUAD_GRID_STRIP = 18;
extern uint16_t g_auQuadGridIndices[8 * QUAD_GRID_STRIP];

// Console semi-transparency mode 0-3 as blending and z compare; other values change nothing and
// come back as given.
int32_t Gfx_SetBlendMode(int32_t mode);
int32_t Gfx_SetSceneState();
// The state outside a scene: no material, stage 0 texture x diffuse.
int32_t Gfx_ResetLightingState();
int32_t Gfx_BeginScene();
int32_t Gfx_EndScene();

// A 36-byte textured triangle packet (code 0x24) at its own coordinates, z test off, with the
// texture and blend state already current.
int32_t Gfx_DrawShadedPolygonPacket(const PACKET *packet);
// World-space panel: corners are four (x, y, z, unused) i16 groups, colour three bytes r, g, b.
// A fill in the colour, then the grab texture colour-keyed over it.
int32_t Gfx_DrawImageQuad(const int16_t *corners, const uint8_t *colour);
// Additive world-space square about centre (x, y, z) with the colour and texture coordinates of
// a 44-byte textured quad packet (code 0x2C).
int32_t Gfx_DrawQuad3D(const int16_t *centre, int32_t halfSize, const PACKET *packet);
// Grey screen with a colour band through the current transforms, the overlay lines, presented.
int32_t Gfx_DrawDeviceTestFrame();

int32_t Gfx_InitQuadGridIndices();
// The bound texture (the grab) over the draw area as a 9 x 9 vertex grid; colour 0x00RRGGBB with
// each channel doubled, angle in 1/4096 turn, scale 4096 = 1.
int32_t Gfx_DrawRotatedTexture(uint32_t colour, int32_t angle, int32_t scale);

// Screen-space drawers for the other console packet kinds, read from the packet as the 2-D walker
// reads it. Nothing routes packets here (the 2-D walker draws these kinds itself); they serve a
// caller that wants such a packet on the 3-D device. Each applies blend mode
// (g_uTexturePage >> 5) & 3, adds the draw offset g_iD3DOffsetX/Y, clips against the draw area and
// counts g_iPrimitivesDrawn. A clipped-away primitive answers 0 without drawing.
int32_t Gfx_DrawLinePacket(const PACKET *packet);
int32_t Gfx_DrawShadedLinePacket(const PACKET *packet);
int32_t Gfx_DrawPolylinePacket(const PACKET *packet);
int32_t Gfx_DrawFlatQuadPacket(const PACKET *packet);
int32_t Gfx_DrawShadedQuadPacket(const PACKET *packet);
int32_t Gfx_DrawTexturedQuadPacket(const PACKET *packet);
int32_t Gfx_DrawShadedTexturedQuadPacket(const PACKET *packet);
// Sprites and tiles write a width of 0 back into the packet as 1.
int32_t Gfx_DrawSpritePacket(PACKET *packet);
int32_t Gfx_DrawImageSpritePacket(PACKET *packet);
int32_t Gfx_DrawTilePacket(PACKET *packet);
int32_t Gfx_DrawSprite8Packet(const PACKET *packet);
int32_t Gfx_DrawSprite16Packet(const PACKET *packet);
// Texture for the following sprites: low byte of the first word 1 + texture number (0 = none),
// second word width << 16 | height.
int32_t Gfx_ApplySpriteTexturePacket(const PACKET *packet);
// A draw-area packet (Gfx_SetDrawAreaPacket's layout) sets only the software clip rectangle, scaled
// as Gfx_SetViewport scales; a draw-offset packet sets g_iD3DOffsetX/Y. A y in the lower half of
// the console drawing space (at or below the display height) counts from that half's top.
int32_t Gfx_ApplyDrawAreaPacket(const PACKET *packet);
int32_t Gfx_ApplyDrawOffsetPacket(const PACKET *packet);
// Five red points: (x, y) and its four neighbours.
int32_t Gfx_DrawMarker(int32_t x, int32_t y);

// Clip of 4 scratch vertices taken as an axis-aligned rectangle (0 top-left, 1 top-right,
// 2 bottom-left, 3 bottom-right) against the draw area: 0 = wholly outside, else 1.
int32_t Gfx_ClipQuad(SW3DTLVERTEX *v);
// Clip of a line of 2 scratch vertices: 0 = wholly outside, else 4.
int32_t Gfx_ClipLine(SW3DTLVERTEX *v);
