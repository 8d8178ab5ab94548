// Stand-in for the image records of the loaded screen-graphics set and the image sprite builder,
// until the texture pages and the 2D drawing primitives are built. Only what the fonts read.
#pragma once

#include <cstdint>

// 28-byte image record, as in the TX files.
struct IMAGEREC
{
    uint8_t pageX;   // x offset of the area in its page, in 4-bit texel units
    uint8_t v;       // row offset in the page
    uint8_t u;       // x offset in the image's own texels
    uint8_t kind;    // 1 = 4-bit, 2 = 8-bit, 4 = 16-bit
    uint16_t state;
    uint16_t related; // font sheet: the record whose CLUT word the glyphs use
    int16_t width;
    int16_t height;
    uint16_t page; // texture-page word
    uint16_t clut; // CLUT word
    uint32_t texture;
    uint32_t blocks;
    uint32_t palette;
};
static_assert(sizeof(IMAGEREC) == 28);

// Image n of the loaded set is g_pImageTable[n], for n below g_iImageTableCount.
extern IMAGEREC *g_pImageTable;
extern int32_t g_iImageTableCount;
// The interface's current ordering-table entry (an arena address).
extern uint32_t g_pOrderingTable;

// Image n of the loaded table; null outside it.
IMAGEREC *Gfx_GetImage(int32_t n);
// Builds a tinted sprite of the image (draw mode with its page word, then the sprite) and links it
// in front of g_pOrderingTable; returns the entry, 0 when nothing was built.
uint32_t Gfx_AddImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);
