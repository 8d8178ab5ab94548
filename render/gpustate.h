// State of the software GPU: the 2D layer frame, its row table and the draw state that packets
// set and primitives read. The walker (ordering tables) owns the state changes; the rasteriser
// reads it.
#pragma once

#include <cstdint>

constexpr int LAYER_WIDTH = 640;
constexpr int LAYER_HEIGHT = 480;
constexpr int LAYER_ROW_BYTES = 1280;
constexpr int LAYER_ROW_TABLE_SIZE = 640;

// Pixel layout of the frame and of every 16-bit colour: 2 = 5:6:5, 4 = 5:5:5. Follows the display
// mode.
constexpr int PIXELFORMAT_565 = 2;
constexpr int PIXELFORMAT_555 = 4;
extern int g_iPixelFormat;
// Size of the interface's screen layout; draw-offset and draw-area y values are folded by the
// height.
extern int g_iScreenWidth;
extern int g_iScreenHeight;
// Set while the layer is copied onto the display each frame (1 at load; the full-screen video
// mode clears it).
extern int g_bGpuLayerFlush;

// The 640 x 480 layer frame (rows of 1280 bytes, 32-byte aligned) and its row table. Rows 480..639
// of the table lie outside the frame; nothing may draw there (draw areas are kept inside).
extern uint16_t *g_pLayerFrame;
extern uint16_t *g_apLayerRows[LAYER_ROW_TABLE_SIZE];

struct CLIPRECT
{
    uint32_t colour; // 16-bit colour in both halves
    int32_t x;
    int32_t y;
    uint32_t u;
    uint32_t v;
    uint32_t width;
    uint32_t height;
};

extern uint32_t g_uTexturePage;         // low 5 bits: texture slot of the CLUT source; bits 7-8: depth
extern const uint16_t *g_pClutSource;   // texel source rows of 1024 bytes (colour, colour, mask, mask)
extern int32_t g_iDrawOffsetX, g_iDrawOffsetY;
extern int32_t g_iDrawAreaLeft, g_iDrawAreaTop, g_iDrawAreaRight, g_iDrawAreaBottom;
extern int32_t g_iTexWindowX, g_iTexWindowY, g_iTexWindowW, g_iTexWindowH;
extern int g_bTexWindow;
extern CLIPRECT g_ClipRect;

// Resets the draw state to its values at load: no offset, the whole frame as draw area, texture
// window off (256 x 256), page word 0.
void Gfx_ResetDrawState();

// Points g_pClutSource at the texel buffer of texture slot (page & 31) when that slot holds a
// software texel source; otherwise the previous source stays.
void Gfx_SelectClutSource(uint32_t page);

// 16-bit colour of a packet's r, g, b in the current pixel format, and the 32-bit fill word.
uint16_t Gfx_PackFillColour(uint8_t r, uint8_t g, uint8_t b);
uint32_t Gfx_FillWord(uint8_t r, uint8_t g, uint8_t b);
// Tint mask of sprite and glyph packets (channels 0..128, 128 = unchanged), in both halves.
uint32_t Gfx_PackTintColour(uint8_t r, uint8_t g, uint8_t b);
