#include "render/texpages.h"

#include "core/cardsave.h"
#include "core/console_memory.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/textures.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

TEXPAGE g_aTexPages[TEXPAGE_COUNT];
const int16_t g_asTexPageOrder[TEXPAGE_COUNT] = {10, 11, 12, 13, 14, 15, 26, 27, 28, 29, 30, 31, 0,  1,  2,  3,
                                                 4,  5,  6,  7,  8,  9,  16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
IMAGEREC g_astImageRecords[IMAGE_POOL_SIZE];
IMAGEREC g_tScratchImage;
IMAGEREC g_tClutArea;
IMAGEREC *g_pDebugFontImage = nullptr;
int32_t g_iFreeTextureBlocks = 0;

IMAGEREC *g_pImageTable = nullptr;
int32_t g_iImageCount = 0;
int32_t g_iTxPageCount = 0;
int32_t g_aiTxPages[TEXPAGE_COUNT];
int32_t g_iTxClutRows = 0;

int16_t g_asClut16Cursor[2];
int16_t g_asClut256Cursor[2];
uint16_t g_ausClutRowUse[CLUT_AREA_ROWS];
int32_t g_iFreeClut16Count = 0;
int32_t g_iFreeClut256Count = 0;
uint16_t g_ausVideoCluts[2][4];

const SCREENGRAPHICSSET g_astScreenGraphicsSets[2] = {
    {"win.vrm", "win.tx", &g_pImageTable},
    {"jam.vrm", "jam.tx", &g_pImageTable},
};

namespace {

constexpr int32_t MAX_TABLE_RECORDS = (TX_FILE_MAX - 8) / IMAGEREC_FILE_SIZE;
IMAGEREC s_aImageTable[MAX_TABLE_RECORDS];

uint16_t ReadU16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteU16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Upload(int32_t x, int32_t y, int32_t w, int32_t h, const void *pixels)
{
    const int16_t rect[4] = {static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(w),
                             static_cast<int16_t>(h)};
    Sys_LoadVramImage(rect, pixels);
}

void ReleaseLoadedPages()
{
    for (TEXPAGE &page : g_aTexPages)
        if (page.state == TEXPAGE_LOADED)
            page.state = TEXPAGE_FREE;
}

// Header checks of a TX file; the record count, or -1.
int32_t CheckTx(const uint8_t *data, size_t size)
{
    if (!data || size < 8 || size > static_cast<size_t>(TX_FILE_MAX))
        return -1;
    const uint32_t pages = ReadU32(data);
    if (pages > static_cast<uint32_t>(TEXPAGE_COUNT) || 8 + 4 * static_cast<size_t>(pages) > size)
        return -1;
    for (uint32_t i = 0; i < pages; i++)
        if (ReadU32(data + 4 + 4 * i) >= static_cast<uint32_t>(TEXPAGE_COUNT))
            return -1;
    if (ReadU32(data + 4 + 4 * pages) > static_cast<uint32_t>(TX_MAX_CLUT_ROWS))
        return -1;
    return static_cast<int32_t>((size - 8 - 4 * pages) / IMAGEREC_FILE_SIZE);
}

// Semi-transparency for every colour but transparent black.
void MarkSemiTransparent(uint8_t *colours, int32_t count)
{
    for (int32_t i = 0; i < count; i++) {
        uint16_t c = ReadU16(colours + 2 * i);
        if (c != 0)
            WriteU16(colours + 2 * i, static_cast<uint16_t>(c | 0x8000));
    }
}

// Leading zero bits of v: 32 for 0.
int32_t Gfx_CountLeadingZeros(uint32_t v)
{
    return std::countl_zero(v);
}

// Marks the 16-colour CLUT at (x, y) used in the row map.
void Gfx_MarkClutUsed(int32_t x, int32_t y)
{
    g_ausClutRowUse[y - CLUT_AREA_Y] |= static_cast<uint16_t>(1u << ((x - CLUT_AREA_X) / 16));
}

bool Gfx_FindFreeClut(int32_t kind, int32_t *x, int32_t *y)
{
    if (kind == 1) {
        for (int32_t row = 0; row < CLUT_AREA_ROWS; row++) {
            uint16_t word = g_ausClutRowUse[row];
            if (word == 0xFFFF)
                continue;
            const uint32_t bit = ~static_cast<uint32_t>(word) & (static_cast<uint32_t>(word) + 1);
            const int32_t k = 31 - Gfx_CountLeadingZeros(bit);
            *x = CLUT_AREA_X + 16 * k;
            *y = CLUT_AREA_Y + row;
            g_iFreeClut16Count--;
            return true;
        }
        return false;
    }
    for (int32_t row = CLUT_AREA_ROWS - 1; row >= 0; row--) {
        if (g_ausClutRowUse[row] == 0) {
            *x = CLUT_AREA_X;
            *y = CLUT_AREA_Y + row;
            g_iFreeClut256Count--;
            return true;
        }
    }
    return false;
}

// The pixel block of TIM data: offset of its header, w in words and h, checked against size.
bool PixelBlock(const uint8_t *data, size_t size, size_t offset, int32_t *w, int32_t *h)
{
    if (offset > size || size - offset < 12)
        return false;
    *w = static_cast<int16_t>(ReadU16(data + offset + 8));
    *h = static_cast<int16_t>(ReadU16(data + offset + 10));
    // Larger images do not fit a page.
    if (*w <= 0 || *h <= 0 || *w > TEXPAGE_WIDTH || *h > TEXPAGE_HEIGHT)
        return false;
    return static_cast<size_t>(*w) * 2 * static_cast<size_t>(*h) <= size - offset - 12;
}

void PlaceBlock(uint8_t *data, size_t offset, IMAGEREC *rec, int32_t *x, int32_t *y)
{
    const TEXPAGE &page = g_aTexPages[rec->page & 31];
    *x = page.x + rec->x / 4;
    *y = page.y + rec->v;
    WriteU16(data + offset + 4, static_cast<uint16_t>(*x));
    WriteU16(data + offset + 6, static_cast<uint16_t>(*y));
    Upload(*x, *y, static_cast<int16_t>(ReadU16(data + offset + 8)), static_cast<int16_t>(ReadU16(data + offset + 10)),
           data + offset + 12);
}

} // namespace

int32_t Gfx_CountFreeTextureBlocks()
{
    int32_t count = 0;
    for (const TEXPAGE &page : g_aTexPages)
        count += std::popcount(page.freeMask);
    g_iFreeTextureBlocks = count;
    return count;
}

int32_t Gfx_ParseTxFile(const uint8_t *data, size_t size)
{
    const int32_t records = CheckTx(data, size);
    if (records < 0)
        return -1;
    g_iTxPageCount = static_cast<int32_t>(ReadU32(data));
    for (int32_t i = 0; i < g_iTxPageCount; i++)
        g_aiTxPages[i] = static_cast<int32_t>(ReadU32(data + 4 + 4 * i));
    g_iTxClutRows = static_cast<int32_t>(ReadU32(data + 4 + 4 * g_iTxPageCount));
    const uint8_t *p = data + 8 + 4 * g_iTxPageCount;
    for (int32_t n = 0; n < records; n++, p += IMAGEREC_FILE_SIZE) {
        IMAGEREC &r = s_aImageTable[n];
        r.x = p[0];
        r.v = p[1];
        r.u = p[2];
        r.kind = p[3];
        r.state = ReadU16(p + 4);
        r.related = ReadU16(p + 6);
        r.width = static_cast<int16_t>(ReadU16(p + 8));
        r.height = static_cast<int16_t>(ReadU16(p + 10));
        r.page = ReadU16(p + 12);
        r.clut = ReadU16(p + 14);
        // The file's texture and palette words were addresses; nothing is owned here.
        r.texture = nullptr;
        r.blocks = ReadU32(p + 20);
        r.palette = nullptr;
    }
    g_iImageCount = records;
    g_pImageTable = s_aImageTable;
    return 0;
}

IMAGEREC *Gfx_GetImage(int32_t n)
{
    if (!g_pImageTable || n < 0 || n >= g_iImageCount)
        return nullptr;
    return &g_pImageTable[n];
}

void Gfx_InstallStartupGraphics()
{
    ReleaseLoadedPages();
    const size_t size = static_cast<size_t>(g_iWinTextureSize);
    if (CheckTx(g_abWinTexture, size) < 0) {
        // No usable "win.tx": an empty table, so every image lookup draws nothing.
        g_pImageTable = s_aImageTable;
        g_iImageCount = 0;
        g_iTxPageCount = 0;
        g_iTxClutRows = 0;
        return;
    }
    Gfx_ParseTxFile(g_abWinTexture, size);
    for (int32_t i = 0; i < g_iTxPageCount; i++) {
        TEXPAGE &page = g_aTexPages[g_aiTxPages[i]];
        Upload(page.x, page.y, TEXPAGE_WIDTH, TEXPAGE_HEIGHT, nullptr);
        page.state = TEXPAGE_LOADED;
    }
    Upload(CLUT_AREA_X, 256, 256, g_iTxClutRows, nullptr);
}

void Gfx_ResetClutArea()
{
    const TEXPAGE &page = g_aTexPages[g_tClutArea.page & 31];
    g_asClut16Cursor[0] = static_cast<int16_t>(page.x + g_tClutArea.x);
    g_asClut16Cursor[1] = static_cast<int16_t>(page.y + g_tClutArea.v);
    g_asClut256Cursor[0] = static_cast<int16_t>(page.x + g_tClutArea.x);
    g_asClut256Cursor[1] = static_cast<int16_t>(page.y + g_tClutArea.v + g_tClutArea.height - 1);
    std::memset(g_ausClutRowUse, 0, sizeof(g_ausClutRowUse));
    g_iFreeClut16Count = 0;
    g_iFreeClut256Count = 0;
}

void Gfx_InitDebugText()
{
    // The console debug-text services do nothing here; they are handed what the console got.
    if (g_pDebugFontImage) {
        const TEXPAGE &page = g_aTexPages[g_pDebugFontImage->page & 31];
        Sys_LoadDebugFont(page.x + g_pDebugFontImage->x / 4, page.y + g_pDebugFontImage->v);
    }
    Sys_SelectDebugText(
        Sys_OpenDebugText(20, 20, g_tDisplayConfig.width - 40, g_tDisplayConfig.height - 40, 0, 1000));
}

void Gfx_InitTexturePages()
{
    for (int32_t i = 0; i < TEXPAGE_COUNT; i++) {
        g_aTexPages[i].x = static_cast<int16_t>((i % 16) * TEXPAGE_WIDTH);
        g_aTexPages[i].y = static_cast<int16_t>((i / 16) * TEXPAGE_HEIGHT);
        g_aTexPages[i].state = TEXPAGE_FREE;
        g_aTexPages[i].freeMask = 0xFFFFFFFFu;
    }
    const int32_t displayWidth = g_tDisplayConfig.width;
    for (int32_t i = 0; i < displayWidth / 64 && i < 16; i++) {
        g_aTexPages[i].state = TEXPAGE_DISPLAY;
        g_aTexPages[i].freeMask = 0;
        g_aTexPages[i + 16].state = TEXPAGE_DISPLAY;
        g_aTexPages[i + 16].freeMask = 0;
    }
    for (int32_t i = 28; i < 32; i++)
        g_aTexPages[i].state = TEXPAGE_CLUT;
    for (IMAGEREC &r : g_astImageRecords) {
        std::free(r.palette);
        r = IMAGEREC{};
    }
    for (int32_t i : {6, 7, 8, 9, 22, 23, 24, 25, 28, 29, 30, 31})
        g_aTexPages[i].freeMask = 0;
    // Rows 128-255 of pages 10-12 are withheld: the scratch image lies there.
    for (int32_t i : {10, 11, 12})
        g_aTexPages[i].freeMask = 0x0000FFFFu;

    g_tScratchImage = IMAGEREC{};
    g_tScratchImage.v = 128;
    g_tScratchImage.width = 384;
    g_tScratchImage.height = 128;
    g_tScratchImage.page = 10;
    g_tScratchImage.kind = IMAGE_KIND_4BIT;

    Gfx_InstallStartupGraphics();

    g_pDebugFontImage = Gfx_AllocImageArea(256, 128, 1);
    Gfx_InitDebugText();

    g_tClutArea = IMAGEREC{};
    g_tClutArea.v = 129;
    g_tClutArea.width = 1024;
    g_tClutArea.height = CLUT_AREA_ROWS;
    g_tClutArea.page = 28;
    Gfx_ResetClutArea();

    g_tScratchImage.clut = Gfx_AllocClut(nullptr, 2);
    for (int32_t i = 0; i < 4; i++) {
        g_ausVideoCluts[1][i] = Gfx_AllocClut(nullptr, 2);
        g_ausVideoCluts[0][i] = Gfx_AllocClut(nullptr, 2);
    }
}

IMAGEREC *Gfx_AllocImageArea(int32_t width, int32_t height, int32_t kind)
{
    uint32_t pattern;
    int32_t columnStep;
    if (width <= 64) {
        width = 64;
        pattern = 0x1;
        columnStep = 1;
    } else if (width <= 128) {
        width = 128;
        pattern = 0x3;
        columnStep = 2;
    } else if (width <= 256) {
        width = 256;
        pattern = 0xF;
        columnStep = 4;
    } else {
        pattern = 0;
        columnStep = 4;
    }
    int32_t bandStep;
    if (height <= 32) {
        height = 32;
        bandStep = 4;
    } else if (height <= 64) {
        height = 64;
        pattern |= pattern << 4;
        bandStep = 8;
    } else if (height <= 128) {
        height = 128;
        pattern |= pattern << 4;
        pattern |= pattern << 8;
        bandStep = 16;
    } else if (height <= 256) {
        height = 256;
        pattern |= pattern << 4;
        pattern |= pattern << 8;
        pattern |= pattern << 16;
        bandStep = 32;
    } else {
        return nullptr; // taller than a page
    }

    for (int16_t pageNumber : g_asTexPageOrder) {
        TEXPAGE &page = g_aTexPages[pageNumber];
        if (page.freeMask == 0)
            continue;
        for (int32_t b = 0; b < 32; b += bandStep) {
            for (int32_t c = 0; c < 4; c += columnStep) {
                const uint32_t candidate = pattern << (b + c);
                if ((page.freeMask & candidate) != candidate)
                    continue;
                IMAGEREC *rec = nullptr;
                for (IMAGEREC &r : g_astImageRecords) {
                    if (!(r.state & IMAGE_STATE_INUSE)) {
                        rec = &r;
                        break;
                    }
                }
                if (!rec)
                    return nullptr;
                rec->x = static_cast<uint8_t>(c * 64);
                rec->v = static_cast<uint8_t>(b * 8);
                rec->page = static_cast<uint16_t>(pageNumber | 0x20);
                rec->clut = 0;
                rec->state = static_cast<uint16_t>((rec->state & 0x8000) | IMAGE_STATE_INUSE);
                rec->blocks = candidate;
                rec->kind = static_cast<uint8_t>(kind);
                rec->width = static_cast<int16_t>(width);
                rec->height = static_cast<int16_t>(height);
                // A texture of an earlier use is not this area's.
                rec->texture = nullptr;
                page.freeMask &= ~candidate;
                Gfx_CountFreeTextureBlocks();
                return rec;
            }
        }
    }
    return nullptr;
}

void Gfx_FreeImageArea(IMAGEREC *record)
{
    if (!record || !(record->state & IMAGE_STATE_INUSE))
        return;
    if (record->clut != 0)
        Gfx_FreeClut(record->clut, record->kind);
    std::free(record->palette);
    record->palette = nullptr;
    g_aTexPages[record->page & 31].freeMask |= record->blocks;
    record->blocks = 0;
    record->state &= 0x3FFF;
    Gfx_CountFreeTextureBlocks();
}

uint16_t Gfx_AllocClut(const uint16_t *colours, int32_t kind)
{
    if (kind != 1 && kind != 2)
        return 0;
    // Full before the freed-CLUT search, so a full area does not use up a freed CLUT's count.
    if (g_asClut16Cursor[1] >= g_asClut256Cursor[1])
        return 0;
    int32_t x = 0, y = 0;
    bool freed = false;
    if ((kind == 2 && g_iFreeClut256Count > 0) || (kind == 1 && g_iFreeClut16Count > 0)) {
        if (!Gfx_FindFreeClut(kind, &x, &y))
            return 0;
        freed = true;
    }
    if (kind == 1) {
        if (!freed) {
            x = g_asClut16Cursor[0];
            y = g_asClut16Cursor[1];
        }
        Gfx_MarkClutUsed(x, y);
        if (colours)
            Upload(x, y, 16, 1, colours);
        if (!freed) {
            g_asClut16Cursor[0] = static_cast<int16_t>(g_asClut16Cursor[0] + 16);
            if (g_asClut16Cursor[0] + 16 > 1024) {
                g_asClut16Cursor[0] = CLUT_AREA_X;
                g_asClut16Cursor[1]++;
            }
        }
        return Sys_ClutId(x, y);
    }
    if (!freed) {
        x = g_asClut256Cursor[0];
        y = g_asClut256Cursor[1];
    }
    g_ausClutRowUse[y - CLUT_AREA_Y] = 0xFFFF;
    if (colours)
        Upload(x, y, 256, 1, colours);
    if (!freed) {
        g_asClut256Cursor[0] = static_cast<int16_t>(g_asClut256Cursor[0] + 256);
        if (g_asClut256Cursor[0] + 256 > 1024) {
            g_asClut256Cursor[0] = CLUT_AREA_X;
            g_asClut256Cursor[1]--;
        }
    }
    return Sys_ClutId(x, y);
}

void Gfx_FreeClut(uint16_t clut, int32_t kind)
{
    const int32_t row = (clut >> 6) - CLUT_AREA_Y;
    const int32_t column = (clut & 63) * 16 - CLUT_AREA_X;
    if (row < 0 || row >= CLUT_AREA_ROWS || column < 0)
        return;
    // A CLUT that is not in use is not counted again: the count must match the freed slots.
    if (kind == 1) {
        const uint16_t bit = static_cast<uint16_t>(1u << (column / 16));
        if (!(g_ausClutRowUse[row] & bit))
            return;
        g_ausClutRowUse[row] &= static_cast<uint16_t>(~bit);
        g_iFreeClut16Count++;
    } else if (kind == 2) {
        if (g_ausClutRowUse[row] != 0xFFFF)
            return;
        g_ausClutRowUse[row] = 0;
        g_iFreeClut256Count++;
    }
}

IMAGEREC *Gfx_LoadImageData(uint8_t *data, size_t size, uint32_t flags, IMAGEREC *record)
{
    if (!data || size < 8 || ReadU32(data) != 0x10)
        return nullptr;
    const uint32_t depth = ReadU32(data + 4) & 7;
    if (depth > 2)
        return nullptr;
    int32_t w = 0, h = 0, x = 0, y = 0;

    if (depth == 2) {
        if (!PixelBlock(data, size, 8, &w, &h))
            return nullptr;
        IMAGEREC *rec = record ? record : Gfx_AllocImageArea(w * 4, h, IMAGE_KIND_16BIT);
        if (!rec)
            return nullptr;
        rec->width = static_cast<int16_t>(rec->width / 4);
        PlaceBlock(data, 8, rec, &x, &y);
        rec->page = Sys_TexturePageId(2, 0, x, y);
        rec->u = static_cast<uint8_t>(rec->x / 4);
        TEXTURE *t = nullptr;
        Gfx_CreateTextureFromImage(&t, data, size, -1);
        rec->texture = t;
        return rec;
    }

    const int32_t colours = depth == 0 ? 16 : 256;
    const int32_t kind = depth == 0 ? IMAGE_KIND_4BIT : IMAGE_KIND_8BIT;
    if (size < 20)
        return nullptr;
    const uint32_t clutLength = ReadU32(data + 8);
    if (clutLength < 12u + colours * 2u || clutLength > size - 8)
        return nullptr;
    const size_t pixelOffset = 8 + static_cast<size_t>(clutLength);
    if (!PixelBlock(data, size, pixelOffset, &w, &h))
        return nullptr;

    uint8_t *clutColours = data + 20;
    if (flags & IMAGE_LOAD_SEMITRANS)
        MarkSemiTransparent(clutColours, colours);
    uint16_t clutCopy[256];
    for (int32_t i = 0; i < colours; i++)
        clutCopy[i] = ReadU16(clutColours + 2 * i);

    uint16_t clut;
    bool ownClut = false;
    if (record && record->clut != 0) {
        clut = record->clut;
        Upload((clut & 63) * 16, clut >> 6, colours, 1, clutCopy);
    } else {
        clut = Gfx_AllocClut(clutCopy, kind);
        if (clut == 0)
            return nullptr;
        ownClut = true;
    }
    IMAGEREC *rec = record ? record : Gfx_AllocImageArea(w * 4, h, kind);
    if (!rec) {
        if (ownClut)
            Gfx_FreeClut(clut, kind);
        return nullptr;
    }
    if (!(flags & IMAGE_LOAD_KEEPKIND))
        rec->kind = static_cast<uint8_t>(kind);
    if (depth == 1) {
        rec->width = static_cast<int16_t>(rec->width / 2);
        if (flags & IMAGE_LOAD_KEEPPALETTE) {
            uint16_t *copy = static_cast<uint16_t *>(std::malloc(512));
            if (!copy) {
                if (!record)
                    Gfx_FreeImageArea(rec);
                if (ownClut)
                    Gfx_FreeClut(clut, kind);
                return nullptr;
            }
            std::memcpy(copy, clutCopy, 512);
            std::free(rec->palette);
            rec->palette = copy;
        }
    }
    rec->clut = clut;
    PlaceBlock(data, pixelOffset, rec, &x, &y);
    rec->page = Sys_TexturePageId(static_cast<int32_t>(depth), 0, x, y);
    rec->u = static_cast<uint8_t>(depth == 0 ? rec->x : rec->x / 2);
    TEXTURE *t = nullptr;
    Gfx_CreateTextureFromImage(&t, data, size, -1);
    rec->texture = t;
    return rec;
}

IMAGEREC *Gfx_CreateUserImageArea(const uint8_t *pixels, const uint8_t *palette)
{
    if (!pixels || !palette)
        return nullptr;
    uint16_t colours[256];
    for (int32_t i = 0; i < 256; i++) {
        const uint8_t *c = palette + 3 * i;
        colours[i] = static_cast<uint16_t>((c[0] >> 3) | ((c[1] >> 3) << 5) | ((c[2] >> 3) << 10));
    }
    IMAGEREC *rec = Gfx_AllocImageArea(128, 64, IMAGE_KIND_8BIT);
    if (!rec)
        return nullptr;
    TEXTURE *t = nullptr;
    if (g_ppTextures && Gfx_GetTextureSlot(&t, -1) >= 0) {
        t->paletteEntries = 256;
        Gfx_SetTexturePalette(t, colours);
        if (Gfx_CreateTexture(t, 64, 64, pixels, 2) != 0) {
            Gfx_FreeTexture(t);
            t = nullptr;
        }
    }
    rec->texture = t;
    rec->x = 0;
    rec->v = 0;
    rec->u = 0;
    rec->width = 128;
    rec->height = 64;
    return rec;
}

uint8_t *Gfx_ReadTexturePalette(const char *path, int32_t maxEntries)
{
    char text[300];
    DISCFILE *file = path ? Sys_DiscOpen(path) : nullptr;
    if (!file) {
        std::snprintf(text, sizeof(text), "Failed to open Texture file %s", path ? path : "");
        return nullptr;
    }
    const int size = Sys_DiscFileSize(file);
    if (size < 0) {
        Sys_DiscClose(file);
        return nullptr;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    const int got = size > 0 ? Sys_DiscRead(buffer.data(), 1, size, file) : 0;
    Sys_DiscClose(file);
    if (got != size || size < 8)
        return nullptr;
    const uint32_t kind = buffer[4] & 7;
    if (kind > 1)
        return nullptr;
    int32_t entries = maxEntries < 0 ? 0 : maxEntries;
    if (entries > (kind == 0 ? 16 : 256))
        entries = kind == 0 ? 16 : 256;
    // The colours must be in the file.
    if (static_cast<size_t>(size) < 20 + 2 * static_cast<size_t>(entries))
        return nullptr;
    uint8_t *out = static_cast<uint8_t *>(std::calloc(entries > 0 ? entries : 1, 4));
    if (!out)
        return nullptr;
    for (int32_t i = 0; i < entries; i++) {
        const uint16_t c = ReadU16(buffer.data() + 20 + 2 * i);
        out[4 * i] = static_cast<uint8_t>((c & 31) * 8);
        out[4 * i + 1] = static_cast<uint8_t>(((c >> 5) & 31) * 8);
        out[4 * i + 2] = static_cast<uint8_t>(((c >> 10) & 31) * 8);
    }
    return out;
}

int32_t Gfx_LoadScreenGraphics(int32_t set)
{
    if (set < 0 || set > 1)
        return -1;
    const SCREENGRAPHICSSET &s = g_astScreenGraphicsSets[set];
    char text[300];
    DISCFILE *file = Sys_DiscOpen(s.txName);
    if (!file) {
        std::snprintf(text, sizeof(text), "could not open TX file %s\n", s.txName);
        return -1;
    }
    const int size = Sys_DiscFileSize(file);
    // Read beside the loaded set, so a broken file leaves it in place.
    std::vector<uint8_t> buffer;
    int got = -1;
    if (size >= 0 && size <= TX_FILE_MAX) {
        buffer.resize(static_cast<size_t>(size));
        got = size > 0 ? Sys_DiscRead(buffer.data(), 1, size, file) : 0;
    }
    Sys_DiscClose(file);
    if (got != size || CheckTx(buffer.data(), buffer.size()) < 0) {
        std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Broken TX file %s", s.txName);
        return -1;
    }
    std::memcpy(g_abWinTexture, buffer.data(), buffer.size());
    g_iWinTextureSize = size;
    ReleaseLoadedPages();
    Gfx_ParseTxFile(g_abWinTexture, buffer.size());
    *s.ppTable = g_pImageTable;

    file = Sys_DiscOpen(s.vrmName);
    if (!file) {
        std::snprintf(text, sizeof(text), "could not open VRM file %s\n", s.vrmName);
        return -1;
    }
    std::vector<uint8_t> page(VRM_PAGE_BYTES);
    for (int32_t i = 0; i < g_iTxPageCount; i++) {
        if (Sys_DiscRead(page.data(), 1, VRM_PAGE_BYTES, file) != VRM_PAGE_BYTES) {
            Sys_DiscClose(file);
            std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Short VRM file %s", s.vrmName);
            return -1;
        }
        Sys_WaitDrawDone(0);
        TEXPAGE &p = g_aTexPages[g_aiTxPages[i]];
        Upload(p.x, p.y, TEXPAGE_WIDTH, TEXPAGE_HEIGHT, page.data());
        p.state = TEXPAGE_LOADED;
    }
    for (int32_t r = 0, left = g_iTxClutRows; left > 0;) {
        const int32_t n = left < 64 ? left : 64;
        // A short CLUT tail only leaves rows that nothing reads.
        Sys_DiscRead(page.data(), VRM_CLUT_ROW_BYTES, n, file);
        Upload(CLUT_AREA_X, 256 + r, 256, n, page.data());
        r += n;
        left -= n;
    }
    Sys_DiscClose(file);

    if (set == 0) {
        Sys_CardResetState(2);
        Sys_CardResetState(1);
        g_aiCardSeenChange[0]--;
        g_aiCardSeenChange[1]--;
    }
    Gfx_LoadFonts(set);
    return 0;
}

int32_t Gfx_LoadScreenTexture(const char *path, int32_t flags)
{
    char text[300];
    const int32_t w = g_tDisplayConfig.width, h = g_tDisplayConfig.height;
    DISCFILE *file = path ? Sys_DiscOpen(path) : nullptr;
    if (!file || w <= 0 || h <= 0) {
        if (file)
            Sys_DiscClose(file);
        return -1;
    }
    const size_t half = static_cast<size_t>(w) * static_cast<size_t>(h);
    std::vector<uint8_t> buffer(half + 20);
    if (Sys_DiscRead(buffer.data(), 1, static_cast<int>(buffer.size()), file) != static_cast<int>(buffer.size())) {
        Sys_DiscClose(file);
        return -1;
    }
    if ((ReadU32(buffer.data() + 4) & 7) != 2)
        std::snprintf(text, sizeof(text), "Error: loading wrong format screen texture %s\n", path);
    if (static_cast<int16_t>(ReadU16(buffer.data() + 16)) != w || static_cast<int16_t>(ReadU16(buffer.data() + 18)) != h)
        std::snprintf(text, sizeof(text), "Error: loading wrong sized screen texture %s\n", path);
    const int32_t other = h; // the second frame buffer's display origin is one screen lower
    Upload(0, 0, w, h / 2, buffer.data() + 20);
    if (flags & 4)
        Upload(0, other, w, h / 2, buffer.data() + 20);
    const int got = Sys_DiscRead(buffer.data(), 1, static_cast<int>(half), file);
    Sys_DiscClose(file);
    if (got == static_cast<int>(half)) {
        Upload(0, h / 2, w, h / 2, buffer.data());
        if (flags & 4)
            Upload(0, other + h / 2, w, h / 2, buffer.data());
    }
    Gfx_SwapFrameBuffersNow();
    return 0;
}
