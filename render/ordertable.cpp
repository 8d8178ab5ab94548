#include "render/ordertable.h"

#include "render/display.h"
#include "render/gpustate.h"
#include "render/raster.h"
#include "render/screentiles.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

uint32_t g_pPacketCursor = 0;
uint32_t g_pPacketEnd = 0;
uint32_t g_pPacketAreaStart = 0;
uint32_t g_uPacketsDropped = 0;
uint8_t *g_pTileBuffer = nullptr;

constexpr RASTERROUTINES g_tDefaultRasterRoutines = {
    Gfx_RasterTile,  Gfx_RasterFillRect,     Gfx_RasterLine,     Gfx_RasterSprite,
    Gfx_RasterGlyph, Gfx_RasterTexturedQuad, Gfx_DrawScreenTile, Gfx_CopySurfaceRectToFrame,
};
RASTERROUTINES g_tRasterRoutines = g_tDefaultRasterRoutines;

namespace {

uint8_t *s_pSoftGpuBlock = nullptr;

// A table clear may not land in the primitive area packets are being written to.
bool OverlapsLiveArea(uint32_t base, uint32_t bytes)
{
    if (g_pPacketAreaStart == 0 || g_pPacketEnd <= g_pPacketAreaStart)
        return false;
    return base < g_pPacketEnd && g_pPacketAreaStart < base + bytes;
}

uint32_t *TableWords(uint32_t base, uint32_t count)
{
    if (count == 0 || count > CONSOLE_ARENA_BYTES / 4 || (base & 3) != 0)
        return nullptr;
    uint8_t *p = Sys_ArenaPtr(base, count * 4);
    if (!p || OverlapsLiveArea(base, count * 4))
        return nullptr;
    return reinterpret_cast<uint32_t *>(p);
}

template <typename T> T Read(const uint8_t *p)
{
    T t;
    std::memcpy(&t, p, sizeof(T));
    return t;
}

// Draw-area and draw-offset y values count from the second display buffer's origin too.
int32_t FoldScreenY(int32_t y)
{
    if (g_iScreenHeight > 0 && y >= g_iScreenHeight)
        y -= g_iScreenHeight;
    return y;
}

void DrawSpriteFields(int16_t x, int16_t y, uint8_t u, uint8_t v, int16_t w, int16_t h)
{
    g_tRasterRoutines.sprite(x, y, u, v, w, h);
}

void OnTexturedTriangle(const uint8_t *p)
{
    g_uTexturePage = Read<PACKET_TEXTURED_TRIANGLE_T>(p).page;
}

void OnGouraudTextured(const uint8_t *p)
{
    g_uTexturePage = Read<PACKET_GOURAUD_TEXTURED_T>(p).page;
}

void OnFlatQuad(const uint8_t *p)
{
    auto q = Read<PACKET_FLAT_QUAD_T>(p);
    if (q.head.code & PACKET_SEMI_TRANS)
        return;
    g_tRasterRoutines.fillRect(q.xy[0][0], q.xy[0][1], q.xy[1][0] - q.xy[0][0], q.xy[2][1] - q.xy[0][1], q.head.r,
                               q.head.g, q.head.b);
}

void OnTexturedQuad(const uint8_t *p)
{
    auto q = Read<PACKET_TEXTURED_QUAD_T>(p);
    g_uTexturePage = q.page;
    g_tRasterRoutines.texturedQuad(q.x0, q.y0, q.u0, q.v0, q.x3, q.y3);
}

void OnGouraudQuad(const uint8_t *p)
{
    auto q = Read<PACKET_GOURAUD_QUAD_T>(p);
    if (q.head.code & PACKET_SEMI_TRANS)
        return;
    // Shaded quads are drawn flat in the mean of their first two colours.
    auto mean = [](uint8_t a, uint8_t b) { return static_cast<uint8_t>((a + b) >> 1); };
    g_tRasterRoutines.fillRect(q.x0, q.y0, q.v[0].x - q.x0, q.v[1].y - q.y0, mean(q.head.r, q.v[0].r),
                               mean(q.head.g, q.v[0].g), mean(q.head.b, q.v[0].b));
}

void OnLine(const uint8_t *p)
{
    auto l = Read<PACKET_LINE_T>(p);
    g_tRasterRoutines.line(l.x0, l.y0, l.x1, l.y1, l.head.r, l.head.g, l.head.b);
}

void OnPolyline(const uint8_t *p)
{
    auto l = Read<PACKET_POLYLINE_T>(p);
    for (int i = 0; i < 3; i++)
        g_tRasterRoutines.line(l.xy[i][0], l.xy[i][1], l.xy[i + 1][0], l.xy[i + 1][1], l.head.r, l.head.g, l.head.b);
}

void OnGouraudLine(const uint8_t *p)
{
    auto l = Read<PACKET_GOURAUD_LINE_T>(p);
    g_tRasterRoutines.line(l.x0, l.y0, l.x1, l.y1, l.head.r, l.head.g, l.head.b);
}

void OnTile(const uint8_t *p)
{
    auto t = Read<PACKET_TILE_T>(p);
    g_tRasterRoutines.tile(t.x, t.y, t.w, t.h, t.head.r, t.head.g, t.head.b);
}

void OnSprite(const uint8_t *p)
{
    auto s = Read<PACKET_SPRITE_T>(p);
    if (s.clut == PACKET_SCREEN_TILE_MARKER) {
        g_tRasterRoutines.screenTile(s.x, s.y, s.head.r, s.head.g, s.head.b);
        return;
    }
    DrawSpriteFields(s.x, s.y, s.u, s.v, s.w, s.h);
}

void OnImageBlit(const uint8_t *p)
{
    if (!g_bGpuLayerFlush)
        return;
    auto b = Read<PACKET_IMAGE_BLIT_T>(p);
    // Only the part that lies on the layer is read back.
    int64_t x0 = static_cast<int64_t>(static_cast<int32_t>(b.x)) + g_iDrawOffsetX;
    int64_t y0 = static_cast<int64_t>(static_cast<int32_t>(b.y)) + g_iDrawOffsetY;
    int64_t x1 = x0 + b.w, y1 = y0 + b.h;
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, LAYER_WIDTH);
    y1 = std::min<int64_t>(y1, LAYER_HEIGHT);
    if (x1 <= x0 || y1 <= y0)
        return;
    g_tRasterRoutines.imageBlit(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                                static_cast<int32_t>(y1 - y0));
}

void OnGlyph(const uint8_t *p)
{
    auto s = Read<PACKET_SPRITE_T>(p);
    g_tRasterRoutines.glyph(s.x, s.y, s.u, s.v, s.w, s.h, s.head.r, s.head.g, s.head.b);
}

void OnDrawOffset(const uint8_t *p)
{
    auto e = Read<PACKET_ENV_T>(p);
    g_iDrawOffsetX = static_cast<int32_t>(e.word3 >> 16);
    g_iDrawOffsetY = FoldScreenY(static_cast<int32_t>(e.word3 & 0xFFFF));
}

void OnTextureWindow(const uint8_t *p)
{
    auto e = Read<PACKET_ENV_T>(p);
    g_iTexWindowX = static_cast<int32_t>((e.word2 & 0xFFFFFF) >> 12);
    g_iTexWindowY = static_cast<int32_t>(e.word2 & 0x3FF);
    int32_t w = static_cast<int32_t>(e.word3 >> 16), h = static_cast<int32_t>(e.word3 & 0xFFFF);
    if (w == 255) {
        g_iTexWindowW = g_iTexWindowH = 256;
        g_bTexWindow = 0;
    } else {
        g_iTexWindowW = w;
        g_iTexWindowH = h;
        g_bTexWindow = 1;
    }
}

void OnDrawArea(const uint8_t *p)
{
    auto e = Read<PACKET_ENV_T>(p);
    int32_t left = static_cast<int32_t>((e.word2 & 0xFFFFFF) >> 12);
    int32_t top = FoldScreenY(static_cast<int32_t>(e.word2 & 0xFFF));
    int32_t right = left + static_cast<int32_t>(e.word3 >> 16);
    int32_t bottom = top + static_cast<int32_t>(e.word3 & 0xFFFF);
    // The area may reach far past the layer (12-bit origin, 16-bit size); keep it on the frame.
    g_iDrawAreaLeft = std::min(left, LAYER_WIDTH);
    g_iDrawAreaTop = std::min(top, LAYER_HEIGHT);
    g_iDrawAreaRight = std::min(right, LAYER_WIDTH);
    g_iDrawAreaBottom = std::min(bottom, LAYER_HEIGHT);
}

// Bytes a packet of each code must hold for the walker to read it.
struct DISPATCH
{
    uint8_t code;
    uint8_t bytes;
    void (*handler)(const uint8_t *p);
};

constexpr DISPATCH kDispatch[] = {
    {PACKET_TEXTURED_TRIANGLE, sizeof(PACKET_TEXTURED_TRIANGLE_T), OnTexturedTriangle},
    {PACKET_FLAT_QUAD, sizeof(PACKET_FLAT_QUAD_T), OnFlatQuad},
    {PACKET_TEXTURED_QUAD, sizeof(PACKET_TEXTURED_QUAD_T), OnTexturedQuad},
    {PACKET_GOURAUD_TEXTURED_TRIANGLE, sizeof(PACKET_GOURAUD_TEXTURED_T), OnGouraudTextured},
    {PACKET_GOURAUD_QUAD, sizeof(PACKET_GOURAUD_QUAD_T), OnGouraudQuad},
    {PACKET_GOURAUD_TEXTURED_QUAD, sizeof(PACKET_GOURAUD_TEXTURED_T), OnGouraudTextured},
    {PACKET_LINE, sizeof(PACKET_LINE_T), OnLine},
    {PACKET_POLYLINE, sizeof(PACKET_POLYLINE_T), OnPolyline},
    {PACKET_GOURAUD_LINE, sizeof(PACKET_GOURAUD_LINE_T), OnGouraudLine},
    {PACKET_TILE, sizeof(PACKET_TILE_T), OnTile},
    {PACKET_SPRITE, sizeof(PACKET_SPRITE_T), OnSprite},
    {PACKET_IMAGE_BLIT, sizeof(PACKET_IMAGE_BLIT_T), OnImageBlit},
    {PACKET_GLYPH, sizeof(PACKET_SPRITE_T), OnGlyph},
    {PACKET_DRAW_OFFSET, sizeof(PACKET_ENV_T), OnDrawOffset},
    {PACKET_TEXTURE_WINDOW, sizeof(PACKET_ENV_T), OnTextureWindow},
    {PACKET_DRAW_AREA, sizeof(PACKET_ENV_T), OnDrawArea},
};

// The table indexed by code >> 2; codes not in it pass over.
constexpr auto kDispatchByCode = [] {
    std::array<DISPATCH, 64> t{};
    for (const DISPATCH &d : kDispatch)
        t[d.code >> 2] = d;
    return t;
}();

void OnDrawMode(const uint8_t *p, size_t avail)
{
    uint32_t subType = Read<uint32_t>(p + 4);
    if (subType == DRAW_MODE_PAGE) {
        g_uTexturePage = Read<PACKET_DRAW_MODE_T>(p).mode & 0xFFFFFF;
        Gfx_SelectClutSource(g_uTexturePage);
    } else if (subType == DRAW_MODE_SPRITE && avail >= sizeof(PACKET_DRAW_MODE_SPRITE_T)) {
        auto s = Read<PACKET_DRAW_MODE_SPRITE_T>(p);
        g_uTexturePage = s.mode & 0xFFFFFF;
        DrawSpriteFields(s.x, s.y, s.u, s.v, s.w, s.h);
    }
}

// One node; `avail` bytes from it lie inside the arena (at least a packet head).
void DispatchPacket(const uint8_t *p, size_t avail)
{
    uint8_t code = p[11] & PACKET_CODE_MASK;
    if (code == PACKET_DRAW_MODE) {
        OnDrawMode(p, avail);
        return;
    }
    const DISPATCH &d = kDispatchByCode[code >> 2];
    if (d.handler && avail >= d.bytes)
        d.handler(p);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Tables

uint32_t Gfx_ClearOrderingTable(uint32_t base, uint32_t count)
{
    uint32_t *t = TableWords(base, count);
    if (!t)
        return 0;
    for (uint32_t i = 0; i + 1 < count; i++)
        t[i] = base + 4 * (i + 1);
    t[count - 1] = CONSOLE_LINK_END;
    return base + 4 * (count - 1);
}

uint32_t Gfx_ClearOrderingTableReverse(uint32_t base, uint32_t count)
{
    uint32_t *t = TableWords(base, count);
    if (!t)
        return 0;
    t[0] = CONSOLE_LINK_END;
    for (uint32_t i = 1; i < count; i++)
        t[i] = base + 4 * (i - 1);
    return base;
}

// ---------------------------------------------------------------------------------------------
// Allocator

uint8_t *Gfx_AllocPacket(uint32_t bytes, uint32_t *addr)
{
    uint8_t *p = nullptr;
    if (bytes != 0 && g_pPacketCursor != 0 && g_pPacketCursor <= g_pPacketEnd && bytes <= g_pPacketEnd - g_pPacketCursor)
        p = Sys_ArenaPtr(g_pPacketCursor, bytes);
    if (!p) {
        ++g_uPacketsDropped;
        return nullptr;
    }
    if (addr)
        *addr = g_pPacketCursor;
    g_pPacketCursor += (bytes + 3) & ~3u;
    return p;
}

uint8_t *Gfx_AddPacket(uint32_t entry, uint32_t bytes, uint32_t *addr)
{
    if (!Sys_ArenaPtr(entry, 4)) {
        ++g_uPacketsDropped;
        return nullptr;
    }
    uint32_t a = 0;
    uint8_t *p = Gfx_AllocPacket(bytes, &a);
    if (!p)
        return nullptr;
    // Linked in front of the entry, so this packet is drawn before those linked earlier.
    uint32_t head = Sys_ArenaReadWord(entry);
    std::memcpy(p, &head, 4);
    Sys_ArenaWriteWord(entry, a);
    if (addr)
        *addr = a;
    return p;
}

// ---------------------------------------------------------------------------------------------
// Fillers

namespace {
void PutWord(void *packet, int word, uint32_t value)
{
    std::memcpy(static_cast<uint8_t *>(packet) + 4 * word, &value, 4);
}
} // namespace

void Gfx_SetDrawModePacket(void *packet, int32_t, int32_t, uint32_t page)
{
    PutWord(packet, 1, DRAW_MODE_PAGE);
    PutWord(packet, 2, 0xE0000000u | (page & 0xFFFF));
}

void Gfx_SetDrawAreaPacket(void *packet, const int16_t rect[4])
{
    PutWord(packet, 2, 0xE8000000u | ((static_cast<uint32_t>(rect[0]) & 0xFFF) << 12) | (static_cast<uint32_t>(rect[1]) & 0xFFF));
    PutWord(packet, 3, (static_cast<uint32_t>(static_cast<uint16_t>(rect[2])) << 16) | static_cast<uint16_t>(rect[3]));
}

void *Gfx_SetTextureWindowPacket(void *packet, const int16_t rect[4])
{
    PutWord(packet, 2, 0xE4000000u | ((static_cast<uint32_t>(rect[0]) & 0xFFF) << 12) | (static_cast<uint32_t>(rect[1]) & 0xFFF));
    PutWord(packet, 3, (static_cast<uint32_t>(static_cast<uint16_t>(rect[2])) << 16) | static_cast<uint16_t>(rect[3]));
    return packet;
}

void Gfx_SetDrawOffsetPacket(void *packet, const uint16_t xy[2])
{
    static_cast<uint8_t *>(packet)[11] = PACKET_DRAW_OFFSET;
    PutWord(packet, 3, (static_cast<uint32_t>(xy[0]) << 16) | xy[1]);
}

void Gfx_SetImageBlitPacket(void *packet, uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    PutWord(packet, 2, 0xA0000000u);
    PutWord(packet, 3, x);
    PutWord(packet, 4, y);
    PutWord(packet, 5, w);
    PutWord(packet, 6, h);
}

void Gfx_SetNopPacket(void *packet)
{
    static_cast<uint8_t *>(packet)[11] = PACKET_NOP;
}

// ---------------------------------------------------------------------------------------------
// Walker

void Gfx_DrawOrderingTable(uint32_t node)
{
    // Every node is at least a word, so a chain longer than this has looped.
    for (uint32_t budget = CONSOLE_ARENA_BYTES / 4; budget > 0; budget--) {
        const uint8_t *p = Sys_ArenaPtr(node, sizeof(PACKET));
        if (!p)
            return;
        uint32_t link = Read<uint32_t>(p);
        DispatchPacket(p, CONSOLE_ARENA_BYTES - node);
        if (Sys_LinkStops(link))
            return;
        node = link;
    }
}

// ---------------------------------------------------------------------------------------------
// Software GPU

void Gfx_BuildRowTable(uint16_t *frame, uint16_t **table)
{
    for (int r = 0; r < LAYER_ROW_TABLE_SIZE; r++)
        table[r] = frame + static_cast<size_t>(r) * (LAYER_ROW_BYTES / 2);
}

int32_t Gfx_InitSoftGpu()
{
    Gfx_ShutdownSoftGpu();
    // Room for every row of the table (640, not 480): a row the table names is always memory of
    // the block, never someone else's.
    constexpr size_t kBlockBytes = 1024 + static_cast<size_t>(LAYER_ROW_TABLE_SIZE) * LAYER_ROW_BYTES;
    static_assert(kBlockBytes >= SOFTGPU_BLOCK_BYTES);
    auto *block = static_cast<uint8_t *>(std::calloc(1, kBlockBytes));
    auto *tiles = static_cast<uint8_t *>(std::malloc(SOFTGPU_TILE_BYTES));
    if (!block || !tiles) {
        std::free(block);
        std::free(tiles);
        return -1;
    }
    s_pSoftGpuBlock = block;
    // The frame starts 32-byte aligned, at most 1024 bytes into the block.
    size_t lead = ((reinterpret_cast<uintptr_t>(block) + 1024) & ~uintptr_t{31}) - reinterpret_cast<uintptr_t>(block);
    g_pLayerFrame = reinterpret_cast<uint16_t *>(block + lead);
    Gfx_BuildRowTable(g_pLayerFrame, g_apLayerRows);
    Gfx_ResetDrawState();
    g_pClutSource = nullptr;
    std::memset(tiles, 0xFF, SOFTGPU_TILE_BYTES);
    g_pTileBuffer = tiles;
    Gfx_InitColourModulation();
    return 0;
}

void Gfx_ShutdownSoftGpu()
{
    if (!s_pSoftGpuBlock)
        return;
    Gfx_PopAllSaveUnders();
    std::free(g_pTileBuffer);
    g_pTileBuffer = nullptr;
    std::free(s_pSoftGpuBlock);
    s_pSoftGpuBlock = nullptr;
    g_pLayerFrame = nullptr;
    std::fill(std::begin(g_apLayerRows), std::end(g_apLayerRows), nullptr);
    g_pClutSource = nullptr;
}

void Gfx_FlushLayer()
{
    if (g_pLayerFrame)
        Gfx_CopyFrameToSurface(g_pLayerFrame);
}
