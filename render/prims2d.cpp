#include "render/prims2d.h"

#include "core/console_memory.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/ordertable.h"

#include <cstring>

uint32_t g_pOrderingTable = 0;
// The front end's start-up values, so boxes drawn before it runs are visible.
uint8_t g_abBevelColours[9] = {15, 20, 20, 70, 80, 80, 110, 120, 120};

namespace {

template <typename T> void Store(void *packet, const T &t)
{
    std::memcpy(packet, &t, sizeof(T));
}

// Packets keep the link word the allocator wrote: only bytes from 4 on are filled.
template <typename T> void StoreBody(void *packet, const T &t)
{
    std::memcpy(static_cast<uint8_t *>(packet) + 4, reinterpret_cast<const uint8_t *>(&t) + 4, sizeof(T) - 4);
}

PACKET Head(uint32_t length, uint8_t r, uint8_t g, uint8_t b, uint8_t code)
{
    return PACKET{0, length, r, g, b, code};
}

int16_t I16(int32_t v)
{
    return static_cast<int16_t>(v);
}

// The CLUT word of the record the image names as its CLUT owner; the image's own when that record
// is not in the loaded table.
uint16_t OwnerClut(const IMAGEREC *image)
{
    const IMAGEREC *owner = Gfx_GetImage(image->related);
    return owner ? owner->clut : image->clut;
}

// Current frame buffer's clip y (the origin row of its drawing half).
int32_t ClipY()
{
    return g_pFrameBuffer ? g_pFrameBuffer->draw.clip[1] : 0;
}

template <typename T> uint32_t AddFilled(const T &t)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(T), &addr);
    if (!p)
        return 0;
    StoreBody(p, t);
    return addr;
}

void Colour(int at, uint8_t *r, uint8_t *g, uint8_t *b)
{
    *r = g_abBevelColours[at];
    *g = g_abBevelColours[at + 1];
    *b = g_abBevelColours[at + 2];
}

void AddLineIn(int colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    uint8_t r, g, b;
    Colour(colour, &r, &g, &b);
    Gfx_AddLine(x0, y0, x1, y1, r, g, b);
}

PACKET_DRAW_MODE_SPRITE_T ImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b)
{
    PACKET_DRAW_MODE_SPRITE_T s{};
    s.length = DRAW_MODE_SPRITE;
    s.mode = 0xE1000400u | (image->page & 0x9FFu);
    s.r = r;
    s.g = g;
    s.b = b;
    s.code = PACKET_SPRITE;
    s.x = I16(x);
    s.y = I16(y);
    s.u = image->u;
    s.v = image->v;
    s.clut = OwnerClut(image);
    s.w = image->width;
    s.h = image->height;
    return s;
}

PACKET_LINE_T Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b)
{
    return {Head(4, r, g, b, PACKET_LINE), I16(x0), I16(y0), I16(x1), I16(y1)};
}

} // namespace

void Gfx_SetImageSpritePacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g,
                              uint8_t b)
{
    if (packet && image)
        StoreBody(packet, ImageSprite(image, x, y, r, g, b));
}

void Gfx_SetSpritePacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b)
{
    if (!packet || !image)
        return;
    PACKET_SPRITE_T s{Head(5, r, g, b, PACKET_SPRITE), I16(x), I16(y), image->u, image->v, OwnerClut(image),
                      image->width, image->height};
    StoreBody(packet, s);
}

void Gfx_SetLinePacket(void *packet, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b)
{
    if (packet)
        StoreBody(packet, Line(x0, y0, x1, y1, r, g, b));
}

void Gfx_SetFlatQuadPacket(void *packet, int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    if (!packet)
        return;
    PACKET_FLAT_QUAD_T q{Head(6, r, g, b, PACKET_FLAT_QUAD),
                         {{I16(x), I16(y)}, {I16(x + w), I16(y)}, {I16(x), I16(y + h)}, {I16(x + w), I16(y + h)}}};
    StoreBody(packet, q);
}

void Gfx_SetImageQuadPacket(void *packet, const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g,
                            uint8_t b)
{
    if (!packet || !image)
        return;
    const int32_t w = image->width, h = image->height;
    const uint8_t u = image->u, v = image->v;
    PACKET_TEXTURED_QUAD_T q{};
    q.head = Head(10, r, g, b, PACKET_TEXTURED_QUAD);
    q.x0 = I16(x);
    q.y0 = I16(y);
    q.u0 = u;
    q.v0 = v;
    q.clut = OwnerClut(image);
    q.x1 = I16(x + w);
    q.y1 = I16(y);
    q.u1 = static_cast<uint8_t>(u + w);
    q.v1 = v;
    q.page = image->page;
    q.x2 = I16(x);
    q.y2 = I16(y + h);
    q.u2 = u;
    q.v2 = static_cast<uint8_t>(v + h);
    q.x3 = I16(x + w);
    q.y3 = I16(y + h);
    q.u3 = static_cast<uint8_t>(u + w);
    q.v3 = static_cast<uint8_t>(v + h);
    StoreBody(packet, q);
}

uint32_t Gfx_AddScreenTile(uint8_t r, uint8_t g, uint8_t b)
{
    return Gfx_AddTile(0, 0, g_iScreenWidth, g_iScreenHeight, r, g, b);
}

uint32_t Gfx_AddImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b)
{
    if (!image || !AddFilled(ImageSprite(image, x, y, r, g, b)))
        return 0;
    return g_pOrderingTable;
}

uint32_t Gfx_AddLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b)
{
    return AddFilled(Line(x0, y0, x1, y1, r, g, b));
}

uint32_t Gfx_AddShadedRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    PACKET_GOURAUD_QUAD_T q{};
    q.head = Head(9, 0, 0, 0, PACKET_GOURAUD_QUAD);
    q.x0 = I16(x);
    q.y0 = I16(y);
    q.v[0] = {r, g, b, 0, I16(x + w), I16(y)};
    q.v[1] = {0, 0, 0, 0, I16(x), I16(y + h)};
    q.v[2] = {r, g, b, 0, I16(x + w), I16(y + h)};
    return AddFilled(q);
}

uint32_t Gfx_AddTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    return AddFilled(PACKET_TILE_T{Head(4, r, g, b, PACKET_TILE), I16(x), I16(y), I16(w), I16(h)});
}

uint32_t Gfx_AddDrawArea(int32_t x, int32_t y, int32_t w, int32_t h)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(PACKET_ENV_T), &addr);
    if (!p)
        return 0;
    const int16_t rect[4] = {I16(x), I16(y + ClipY()), I16(w), I16(h)};
    Gfx_SetDrawAreaPacket(p, rect);
    return addr;
}

uint32_t Gfx_AddTextureWindow(int32_t x, int32_t y, int32_t w, int32_t h)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(PACKET_ENV_T), &addr);
    if (!p)
        return 0;
    const int16_t rect[4] = {I16(x), I16(y), I16(w), I16(h)};
    Gfx_SetTextureWindowPacket(p, rect);
    return addr;
}

void Gfx_AddOutlineBox(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    uint8_t r, g, b;
    Colour(BEVEL_COLOUR_OUTLINE, &r, &g, &b);
    PACKET_POLYLINE_T l{Head(7, r, g, b, PACKET_POLYLINE),
                        {{I16(x0), I16(y0)}, {I16(x1), I16(y0)}, {I16(x1), I16(y1)}, {I16(x0), I16(y1)}},
                        PACKET_POLYLINE_END};
    AddFilled(l);
    // The polyline stops short of its last point; this closes the left side down to the corner.
    Gfx_AddLine(x0, y0, x0, y1 + 1, r, g, b);
}

void Gfx_DrawCaptionBar(const char *text, int32_t x, int32_t y, int32_t w)
{
    const int32_t t = Gfx_DrawTextCentred(text, x, y, g_pOrderingTable);
    const int32_t s = (w >> 1) - (t >> 1) - 3;
    const int32_t left = x - (w >> 1) - 1, right = x + (t >> 1) + 3;
    // A text wider than the bar gives rules of negative length: they run leftwards.
    for (int32_t start : {left, right}) {
        Gfx_AddLine(start, y + 5, start + s, y + 5, 15, 20, 20);
        Gfx_AddLine(start, y + 6, start + s, y + 6, 70, 80, 80);
    }
}

void Gfx_AddBevelBox(int32_t x, int32_t y, int32_t w, int32_t h)
{
    AddLineIn(BEVEL_COLOUR_A, x, y, x + w - 1, y);
    AddLineIn(BEVEL_COLOUR_A, x, y, x, y + h - 1);
    AddLineIn(BEVEL_COLOUR_B, x + w, y + 1, x + w, y + h);
    AddLineIn(BEVEL_COLOUR_B, x + 1, y + h, x + w - 1, y + h);
}

void Gfx_AddInsetBox(int32_t x, int32_t y, int32_t w, int32_t h)
{
    AddLineIn(BEVEL_COLOUR_B, x, y, x + w, y);
    AddLineIn(BEVEL_COLOUR_B, x, y, x, y + h);
    AddLineIn(BEVEL_COLOUR_A, x + w, y + 1, x + w, y + h);
    AddLineIn(BEVEL_COLOUR_A, x + 1, y + h, x + w, y + h);
}
