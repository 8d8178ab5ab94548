#include "render/gpustate.h"

#include "render/textures.h"

int g_iPixelFormat = PIXELFORMAT_565;
int g_iScreenWidth = LAYER_WIDTH;
int g_iScreenHeight = LAYER_HEIGHT;
int g_bGpuLayerFlush = 1;

uint16_t *g_pLayerFrame = nullptr;
uint16_t *g_apLayerRows[LAYER_ROW_TABLE_SIZE] = {};

uint32_t g_uTexturePage = 0;
const uint16_t *g_pClutSource = nullptr;
int32_t g_iDrawOffsetX = 0, g_iDrawOffsetY = 0;
int32_t g_iDrawAreaLeft = 0, g_iDrawAreaTop = 0;
int32_t g_iDrawAreaRight = LAYER_WIDTH, g_iDrawAreaBottom = LAYER_HEIGHT;
int32_t g_iTexWindowX = 0, g_iTexWindowY = 0, g_iTexWindowW = 256, g_iTexWindowH = 256;
int g_bTexWindow = 0;
CLIPRECT g_ClipRect = {};

void Gfx_ResetDrawState()
{
    g_uTexturePage = 0;
    g_iDrawOffsetX = g_iDrawOffsetY = 0;
    g_iDrawAreaLeft = g_iDrawAreaTop = 0;
    g_iDrawAreaRight = LAYER_WIDTH;
    g_iDrawAreaBottom = LAYER_HEIGHT;
    g_iTexWindowX = g_iTexWindowY = 0;
    g_iTexWindowW = g_iTexWindowH = 256;
    g_bTexWindow = 0;
    g_ClipRect = {};
}

void Gfx_SelectClutSource(uint32_t page)
{
    if (const uint16_t *texels = Gfx_GetTexelSource(static_cast<int>(page & 31)))
        g_pClutSource = texels;
}

uint16_t Gfx_PackFillColour(uint8_t r, uint8_t g, uint8_t b)
{
    if (g_iPixelFormat == PIXELFORMAT_555)
        return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

uint32_t Gfx_FillWord(uint8_t r, uint8_t g, uint8_t b)
{
    uint32_t p = Gfx_PackFillColour(r, g, b);
    return p | (p << 16);
}

uint32_t Gfx_PackTintColour(uint8_t r, uint8_t g, uint8_t b)
{
    uint32_t rr = r > 0 ? r - 1u : 0u, gg = g > 0 ? g - 1u : 0u, bb = b > 0 ? b - 1u : 0u;
    uint32_t p;
    if (g_iPixelFormat == PIXELFORMAT_555)
        p = ((rr & 0x7C) << 8) | ((gg & 0x7C) << 3) | ((bb & 0x7C) >> 2);
    else
        p = ((rr & 0x7C) << 9) | ((gg & 0x7E) << 4) | ((bb & 0x7C) >> 2);
    return p | (p << 16);
}
