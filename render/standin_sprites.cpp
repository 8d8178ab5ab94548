// Stand-in until the 2D drawing primitives are built.
#include "render/standin_sprites.h"

#include "render/ordertable.h"

#include <cstring>

uint32_t g_pOrderingTable = 0;

uint32_t Gfx_AddImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b)
{
    if (!image)
        return 0;
    uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(PACKET_DRAW_MODE_SPRITE_T));
    if (!p)
        return 0;
    PACKET_DRAW_MODE_SPRITE_T s;
    std::memcpy(&s, p, sizeof(s));
    s.length = DRAW_MODE_SPRITE;
    s.mode = 0xE0000000u | image->page;
    s.r = r;
    s.g = g;
    s.b = b;
    s.code = PACKET_SPRITE;
    s.x = static_cast<int16_t>(x);
    s.y = static_cast<int16_t>(y);
    s.u = image->u;
    s.v = image->v;
    s.clut = image->clut;
    s.w = image->width;
    s.h = image->height;
    std::memcpy(p, &s, sizeof(s));
    return g_pOrderingTable;
}
