// Ordering tables and packets, and the walker that draws them into the 2D layer.
//
// Packets live in the console arena (core/console_memory.h) and are linked by 32-bit arena
// addresses. Every packet starts with a link word and a length word; in drawing packets bytes 8,
// 9, 10 are red, green, blue and byte 11 is the code byte (masked with 0xFC: bit 1 is
// semi-transparent, bit 0 raw texture). Coordinates are i16 x then y. Other modules write packet
// fields by byte offset, so the records below are exact byte layouts.
//
// A table entry is a node holding only a link. Linking packet P into entry E: P.link = *E,
// *E = P, so packets of one entry are drawn last-linked first. A table cleared backwards is walked
// from its last entry: a higher entry is drawn first.
#pragma once

#include "core/console_memory.h"

#include <cstddef>
#include <cstdint>

// Codes of byte 11.
enum
{
    PACKET_FLAT_TRIANGLE = 0x20,
    PACKET_TEXTURED_TRIANGLE = 0x24,
    PACKET_FLAT_QUAD = 0x28,
    PACKET_TEXTURED_QUAD = 0x2C,
    PACKET_GOURAUD_TEXTURED_TRIANGLE = 0x34,
    PACKET_GOURAUD_QUAD = 0x38,
    PACKET_GOURAUD_TEXTURED_QUAD = 0x3C,
    PACKET_LINE = 0x40,
    PACKET_POLYLINE = 0x4C,
    PACKET_GOURAUD_LINE = 0x50,
    PACKET_TILE = 0x60,
    PACKET_SPRITE = 0x64,
    PACKET_IMAGE_BLIT = 0xA0,
    PACKET_GLYPH = 0xA4,
    PACKET_DRAW_OFFSET = 0xD4,
    PACKET_DRAW_MODE = 0xE0,
    PACKET_TEXTURE_WINDOW = 0xE4,
    PACKET_DRAW_AREA = 0xE8,
    PACKET_NOP = 0xF8,
};
constexpr uint8_t PACKET_CODE_MASK = 0xFC;
constexpr uint8_t PACKET_SEMI_TRANS = 0x02;
constexpr uint16_t PACKET_SCREEN_TILE_MARKER = 0x4321;
constexpr uint32_t PACKET_POLYLINE_END = 0x55555555u;
// Draw-mode packets carry their sub-type in the length word.
constexpr uint32_t DRAW_MODE_PAGE = 3;   // 12 bytes: page word and CLUT source
constexpr uint32_t DRAW_MODE_SPRITE = 6; // 28 bytes: page word and a sprite

// Head shared by every packet.
struct PACKET
{
    uint32_t link;
    uint32_t length; // words after the link word, or the draw-mode sub-type
    uint8_t r, g, b, code;
};
static_assert(sizeof(PACKET) == 12);

struct PACKET_TILE_T // 0x60, 20 bytes, length 4
{
    PACKET head;
    int16_t x, y, w, h;
};
struct PACKET_LINE_T // 0x40, 20 bytes, length 4
{
    PACKET head;
    int16_t x0, y0, x1, y1;
};
struct PACKET_GOURAUD_LINE_T // 0x50, 24 bytes, length 5
{
    PACKET head;
    int16_t x0, y0;
    uint8_t r1, g1, b1, pad;
    int16_t x1, y1;
};
struct PACKET_POLYLINE_T // 0x4C, 32 bytes, length 7
{
    PACKET head;
    int16_t xy[4][2];
    uint32_t end; // PACKET_POLYLINE_END
};
struct PACKET_FLAT_QUAD_T // 0x28, 28 bytes, length 6
{
    PACKET head;
    int16_t xy[4][2];
};
struct PACKET_GOURAUD_QUAD_T // 0x38, 40 bytes, length 9
{
    PACKET head;
    int16_t x0, y0;
    struct
    {
        uint8_t r, g, b, pad;
        int16_t x, y;
    } v[3];
};
struct PACKET_TEXTURED_QUAD_T // 0x2C, 44 bytes, length 10
{
    PACKET head;
    int16_t x0, y0;
    uint8_t u0, v0;
    uint16_t clut;
    int16_t x1, y1;
    uint8_t u1, v1;
    uint16_t page;
    int16_t x2, y2;
    uint8_t u2, v2;
    uint16_t pad2;
    int16_t x3, y3;
    uint8_t u3, v3;
    uint16_t pad3;
};
struct PACKET_TEXTURED_TRIANGLE_T // 0x24, 32 bytes
{
    PACKET head;
    int16_t x0, y0;
    uint8_t u0, v0;
    uint16_t clut;
    int16_t x1, y1;
    uint8_t u1, v1;
    uint16_t page;
    int16_t x2, y2;
};
struct PACKET_GOURAUD_TEXTURED_T // 0x34 and 0x3C: the page word sits at byte 30
{
    PACKET head;
    int16_t x0, y0;
    uint8_t u0, v0;
    uint16_t clut;
    uint8_t r1, g1, b1, pad;
    int16_t x1, y1;
    uint8_t u1, v1;
    uint16_t page;
};
struct PACKET_SPRITE_T // 0x64 sprite and 0xA4 glyph, 24 bytes, length 5
{
    PACKET head;
    int16_t x, y;
    uint8_t u, v;
    uint16_t clut; // PACKET_SCREEN_TILE_MARKER: a screen tile (bytes 8, 9, 10: row, column, page)
    int16_t w, h;
};
struct PACKET_DRAW_MODE_T // 0xE0 sub-type 3, 12 bytes
{
    uint32_t link;
    uint32_t length;
    uint32_t mode; // 0xE0000000 | page word
};
struct PACKET_DRAW_MODE_SPRITE_T // 0xE0 sub-type 6, 28 bytes: draw mode, then a sprite
{
    uint32_t link;
    uint32_t length;
    uint32_t mode;
    uint8_t r, g, b, code;
    int16_t x, y;
    uint8_t u, v;
    uint16_t clut;
    int16_t w, h;
};
struct PACKET_ENV_T // 0xE4, 0xE8 and 0xD4, 16 bytes; the builders leave the length unwritten
{
    uint32_t link;
    uint32_t length;
    uint32_t word2;
    uint32_t word3;
};
struct PACKET_IMAGE_BLIT_T // 0xA0, 28 bytes
{
    uint32_t link;
    uint32_t length;
    uint32_t command; // 0xA0000000
    uint32_t x, y, w, h;
};
static_assert(sizeof(PACKET_TILE_T) == 20 && sizeof(PACKET_LINE_T) == 20);
static_assert(sizeof(PACKET_GOURAUD_LINE_T) == 24 && sizeof(PACKET_POLYLINE_T) == 32);
static_assert(sizeof(PACKET_FLAT_QUAD_T) == 28 && sizeof(PACKET_GOURAUD_QUAD_T) == 40);
static_assert(sizeof(PACKET_TEXTURED_QUAD_T) == 44 && sizeof(PACKET_TEXTURED_TRIANGLE_T) == 32);
static_assert(sizeof(PACKET_GOURAUD_TEXTURED_T) == 32 && sizeof(PACKET_SPRITE_T) == 24);
static_assert(sizeof(PACKET_DRAW_MODE_T) == 12 && sizeof(PACKET_DRAW_MODE_SPRITE_T) == 28);
static_assert(sizeof(PACKET_ENV_T) == 16 && sizeof(PACKET_IMAGE_BLIT_T) == 28);
static_assert(offsetof(PACKET_GOURAUD_QUAD_T, v[0].x) == 20 && offsetof(PACKET_GOURAUD_QUAD_T, v[1].y) == 30);
static_assert(offsetof(PACKET_TEXTURED_QUAD_T, page) == 26 && offsetof(PACKET_TEXTURED_QUAD_T, x3) == 36);
static_assert(offsetof(PACKET_GOURAUD_TEXTURED_T, page) == 30);
static_assert(offsetof(PACKET_DRAW_MODE_SPRITE_T, x) == 16 && offsetof(PACKET_DRAW_MODE_SPRITE_T, h) == 26);

// An ordering table: `count` u32 entries at an arena address.
struct ORDERINGTABLE
{
    uint32_t base;
    uint32_t count;
};

// ---------------------------------------------------------------------------------------------
// Tables

// Entry i links to i + 1, the last holds the end marker; returns the last entry's address.
// Backwards: entry i links to i - 1, entry 0 holds the end marker; returns entry 0's address.
// Both refuse (0, nothing written) a table outside the arena, and one that would overwrite the
// live primitive area of the current frame (the depth table is that area in the small frame mode).
uint32_t Gfx_ClearOrderingTable(uint32_t base, uint32_t count);
uint32_t Gfx_ClearOrderingTableReverse(uint32_t base, uint32_t count);

// ---------------------------------------------------------------------------------------------
// The packet allocator under every builder

// The current frame's primitive area: packets are handed out from the cursor up to the end.
extern uint32_t g_pPacketCursor;
extern uint32_t g_pPacketEnd;
extern uint32_t g_pPacketAreaStart;
// Packets refused because the area was full (for diagnostics; never reset by the frame cycle).
extern uint32_t g_uPacketsDropped;

// Takes `bytes` (a multiple of 4) at the cursor; the packet's address goes to *addr when addr is
// given. Null (and one more drop counted) when the area cannot hold it; nothing is written then.
uint8_t *Gfx_AllocPacket(uint32_t bytes, uint32_t *addr = nullptr);
// Takes a packet and links it in front of `entry`. Null, cursor unmoved, when the area is full or
// the entry lies outside the arena.
uint8_t *Gfx_AddPacket(uint32_t entry, uint32_t bytes, uint32_t *addr = nullptr);

// ---------------------------------------------------------------------------------------------
// Low-level fillers: fill a caller's packet, link nothing

void Gfx_SetDrawModePacket(void *packet, int32_t, int32_t, uint32_t page);
void Gfx_SetDrawAreaPacket(void *packet, const int16_t rect[4]);
void *Gfx_SetTextureWindowPacket(void *packet, const int16_t rect[4]);
void Gfx_SetDrawOffsetPacket(void *packet, const uint16_t xy[2]);
void Gfx_SetImageBlitPacket(void *packet, uint32_t x, uint32_t y, uint32_t w, uint32_t h);
void Gfx_SetNopPacket(void *packet);

// ---------------------------------------------------------------------------------------------
// Walker and the software GPU

// Walks one chain from the node at `node`, drawing each packet into the 2D layer. Every node is
// dispatched, the one whose link ends the chain included; the walk stops after a link at or above
// 0x10000000, at a node outside the arena, or after more nodes than the arena can hold (a looped
// chain).
void Gfx_DrawOrderingTable(uint32_t node);

// The routines the walker hands packets to. They start as the rasteriser, the screen-tile draw
// and the display's rectangle read-back; tests swap in recorders.
struct RASTERROUTINES
{
    void (*tile)(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
    void (*fillRect)(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b);
    void (*line)(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b);
    void (*sprite)(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h);
    void (*glyph)(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h, uint8_t r, uint8_t g,
                  uint8_t b);
    void (*texturedQuad)(int32_t x0, int32_t y0, uint8_t u, uint8_t v, int32_t x3, int32_t y3);
    void (*screenTile)(int32_t x, int32_t y, uint8_t row, uint8_t column, uint8_t page);
    int32_t (*imageBlit)(int32_t x, int32_t y, int32_t w, int32_t h); // layer-clipped rectangle
};
extern RASTERROUTINES g_tRasterRoutines;
extern const RASTERROUTINES g_tDefaultRasterRoutines;

// Sets up the layer frame (cleared), its row table, the draw state and the white tile buffer;
// frees them again. Init answers 0, or -1 when memory runs out (nothing kept).
int32_t Gfx_InitSoftGpu();
void Gfx_ShutdownSoftGpu();
// Row r of the table = frame + 640 r pixels (1280 bytes).
void Gfx_BuildRowTable(uint16_t *frame, uint16_t **table);
// Copies the layer onto the display's back surface.
void Gfx_FlushLayer();

constexpr uint32_t SOFTGPU_BLOCK_BYTES = 622624;
constexpr uint32_t SOFTGPU_TILE_BYTES = 1152;
extern uint8_t *g_pTileBuffer; // one 24 x 24 tile of white
