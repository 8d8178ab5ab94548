#include "render/screentiles.h"

#include "app/settings.h"
#include "app/startup.h"
#include "core/file.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/raster.h"
#include "render/texpages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int32_t g_iTileSet = -1;
uint32_t g_uTileSheetsRead = 0;
int32_t g_bJamBackgroundLoaded = 0;
int32_t g_bBackgroundDirty = 0;

const uint16_t g_ausTileRemap0[92] = {
    145, 146, 0,   148, 149, 150, 1,   13,  12,  11,  155, 10,  157, 158, 8,   160, 9,   162, 163,
    164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 7,   6,   182,
    5,   184, 185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 197, 198, 199, 200, 201,
    202, 0,   4,   3,   2,   14,  208, 209, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219, 220,
    221, 222, 223, 224, 225, 226, 227, 228, 229, 230, 231, 232, 233, 234, 235, 236};
const uint16_t g_ausTileRemap1[44] = {0,   238, 1,   240, 241, 5,   243, 244, 14,  13,  17,  18,  3,   6,  10,
                                      8,   9,   2,   4,   16,  7,   15,  259, 260, 261, 262, 263, 264, 265, 266,
                                      267, 268, 269, 270, 271, 272, 273, 274, 275, 276, 12,  11,  0,   0};

namespace {

// The seven pages, one contiguous area: tile (r, c) of page p at p x 460800 + r x 23040 + c x 1152
// bytes, its 24 lines of 48 bytes one after another.
uint16_t s_aTilePages[TILE_PAGES * TILE_PAGE_BYTES / 2];

struct TILESET
{
    const char *sheets[5];
    int32_t columns[5];
    int32_t rows[5];
};
const TILESET kTileSets[2] = {
    {{"rblk_all.raw", "hrif_all.raw", "vrif_all.raw", "mrif_all.raw", "bg_tiles.raw"},
     {15, 15, 15, 15, 10},
     {18, 18, 18, 18, 1}},
    {{"rblk_vid.raw", "hrif_vid.raw", "vrif_vid.raw", "mrif_vid.raw", "vid_bg_tiles.raw"},
     {19, 19, 17, 17, 10},
     {16, 16, 16, 16, 1}},
};

uint16_t ConvertPixel(uint8_t r, uint8_t g, uint8_t b)
{
    if (g_iPixelFormat == PIXELFORMAT_555)
        return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

// Opens a file of the data folder (or a full path) for reading; null with the reason reported.
FILE *OpenPicture(const char *path)
{
    char host[SYS_HOSTPATH_SIZE];
    FILE *f = nullptr;
    if (path && Sys_HostPath(path, host, sizeof host) == 0)
        f = std::fopen(host, "rb");
    if (!f) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", path ? path : "");
        std::fprintf(stderr, "%s\n", g_szErrorText);
    }
    return f;
}

// Reads up to `want` bytes; reports a short file.
size_t ReadAll(FILE *f, const char *path, uint8_t *buffer, size_t want)
{
    const size_t got = std::fread(buffer, 1, want, f);
    std::fclose(f);
    if (got < want) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). End of File.", path);
        std::fprintf(stderr, "%s\n", g_szErrorText);
    }
    return got;
}

// A rectangle cut to the layer: [x0, x1) x [y0, y1), empty when x0 >= x1 or y0 >= y1.
struct SPAN
{
    int64_t x0, y0, x1, y1;
    int64_t Width() const { return x1 - x0; }
    int64_t Height() const { return y1 - y0; }
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

SPAN InLayer(int64_t x, int64_t y, int64_t w, int64_t h)
{
    SPAN s{std::max<int64_t>(x, 0), std::max<int64_t>(y, 0), std::min<int64_t>(x + std::max<int64_t>(w, 0), LAYER_WIDTH),
           std::min<int64_t>(y + std::max<int64_t>(h, 0), LAYER_HEIGHT)};
    return s;
}

// The list's head node: next is the newest record.
SAVEUNDER s_tSaveHead{};
SAVEUNDER s_tPointerSave{};

std::vector<uint16_t> s_jamBackground;

uint32_t s_aauModulate[3][64 * 64];
int s_aiModulateBits[3];
int s_aiModulateShift[3];

} // namespace

// --- tile pages ---

int32_t Gfx_LoadTileSheet(const char *path, int32_t columns, int32_t rows, int32_t page)
{
    if (page < 0 || page >= TILE_PAGES || columns < 1 || rows < 1 || columns > TILE_PAGE_TILES ||
        rows > TILE_PAGE_TILES)
        return -1;
    uint16_t *base = s_aTilePages + page * (TILE_PAGE_BYTES / 2);
    std::memset(base, 0, TILE_PAGE_BYTES);
    ++g_uTileSheetsRead;
    FILE *f = OpenPicture(path);
    if (!f)
        return -1;
    const size_t want = static_cast<size_t>(columns) * rows * TILESHEET_TILE_BYTES;
    std::vector<uint8_t> rgb(want);
    const size_t got = ReadAll(f, path, rgb.data(), want);
    // The sheet is one picture, line by line from the top; each 24-pixel square becomes a tile.
    const size_t line = static_cast<size_t>(columns) * TILE_SIZE * 3;
    for (size_t at = 0; at + 3 <= got; at += 3) {
        const size_t pixel = at / 3, y = at / line, x = pixel % (static_cast<size_t>(columns) * TILE_SIZE);
        uint16_t *tile = base + (y / TILE_SIZE) * (TILE_ROW_BYTES / 2) + (x / TILE_SIZE) * (TILE_BYTES / 2);
        tile[(y % TILE_SIZE) * TILE_SIZE + x % TILE_SIZE] = ConvertPixel(rgb[at], rgb[at + 1], rgb[at + 2]);
    }
    return got == want ? 0 : -1;
}

void Gfx_SelectTileSet(int32_t set)
{
    set = set != 0 ? 1 : 0;
    if (set == g_iTileSet)
        return;
    g_iTileSet = set;
    const TILESET &t = kTileSets[set];
    for (int i = 0; i < 5; i++)
        Gfx_LoadTileSheet(Sys_MakeDataPath(t.sheets[i]), t.columns[i], t.rows[i], i + 1);
}

const uint16_t *Gfx_TileAddress(int row, int column, int page)
{
    if (page < 0 || page >= TILE_PAGES)
        return nullptr;
    row &= g_iTileSet == 0 ? 31 : 15;
    if (page >= 1 && page <= 4) {
        if (g_iTileSet < 0)
            return nullptr;
        const uint16_t *remap = g_iTileSet == 0 ? g_ausTileRemap0 : g_ausTileRemap1;
        const int entries = g_iTileSet == 0 ? 92 : 44;
        if (column < 0 || column >= entries)
            return nullptr;
        column = remap[column];
    }
    column &= 31;
    // Rows and columns 20-31 would run into the next tile row or page.
    if (row >= TILE_PAGE_TILES || column >= TILE_PAGE_TILES)
        return nullptr;
    return s_aTilePages + page * (TILE_PAGE_BYTES / 2) + row * (TILE_ROW_BYTES / 2) + column * (TILE_BYTES / 2);
}

void Gfx_ResetTilePages()
{
    std::memset(s_aTilePages, 0, sizeof s_aTilePages);
    g_iTileSet = -1;
}

// --- save-under ---

void Gfx_SaveRect(SAVEUNDER *record)
{
    if (!record || !g_pLayerFrame)
        return;
    if (record->saved) {
        std::free(record->pixels);
        record->pixels = nullptr;
        record->saved = 0;
    }
    const SPAN s = InLayer(record->x, record->y, record->width, record->height);
    const size_t w = s.Empty() ? 0 : static_cast<size_t>(s.Width()), h = s.Empty() ? 0 : static_cast<size_t>(s.Height());
    // An empty rectangle still counts as saved: its restore then has nothing to put back.
    record->pixels = static_cast<uint16_t *>(std::malloc(std::max<size_t>(w * h, 1) * 2));
    if (!record->pixels)
        return;
    for (size_t j = 0; j < h; j++)
        std::memcpy(record->pixels + j * w, g_apLayerRows[s.y0 + static_cast<int64_t>(j)] + s.x0, w * 2);
    record->saved = 1;
}

void Gfx_RestoreRect(SAVEUNDER *record)
{
    if (!record || !record->saved)
        return;
    if (g_pLayerFrame && record->pixels) {
        const SPAN s = InLayer(record->x, record->y, record->width, record->height);
        if (!s.Empty()) {
            const size_t w = static_cast<size_t>(s.Width());
            for (int64_t j = 0; j < s.Height(); j++)
                std::memcpy(g_apLayerRows[s.y0 + j] + s.x0, record->pixels + static_cast<size_t>(j) * w, w * 2);
        }
    }
    std::free(record->pixels);
    record->pixels = nullptr;
    record->saved = 0;
}

void Gfx_PushSaveUnder(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (w >= 501 && h >= 351)
        return; // a window this large is redrawn whole, not restored
    auto *r = static_cast<SAVEUNDER *>(std::calloc(1, sizeof(SAVEUNDER)));
    if (!r)
        return;
    r->x = x;
    r->y = y;
    r->width = w + 8;
    r->height = h + 8;
    r->next = s_tSaveHead.next;
    r->previous = &s_tSaveHead;
    if (r->next)
        r->next->previous = r;
    s_tSaveHead.next = r;
    Gfx_SaveRect(r);
}

void Gfx_PopSaveUnder(int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (w > 500 && h > 350)
        return;
    SAVEUNDER *r = s_tSaveHead.next;
    while (r && !(r->x == x && r->y == y && r->width == w + 8 && r->height == h + 8))
        r = r->next;
    if (!r)
        return;
    r->previous->next = r->next;
    if (r->next)
        r->next->previous = r->previous;
    Gfx_RestoreRect(r);
    std::free(r);
}

void Gfx_PopAllSaveUnders()
{
    while (SAVEUNDER *r = s_tSaveHead.next) {
        s_tSaveHead.next = r->next;
        if (r->next)
            r->next->previous = &s_tSaveHead;
        Gfx_RestoreRect(r);
        std::free(r);
    }
}

const SAVEUNDER *Gfx_NewestSaveUnder()
{
    return s_tSaveHead.next;
}

// --- pointer ---

void Gfx_DrawPointer(int32_t x, int32_t y, int32_t draw)
{
    if (!draw) {
        Gfx_RestoreRect(&s_tPointerSave);
        return;
    }
    const IMAGEREC *image = g_pPointerShape ? Gfx_GetImage(*g_pPointerShape) : nullptr;
    if (!image || !g_pLayerFrame)
        return;
    s_tPointerSave.x = x;
    s_tPointerSave.y = y;
    s_tPointerSave.width = image->width;
    s_tPointerSave.height = image->height;
    Gfx_SaveRect(&s_tPointerSave);

    g_uTexturePage = image->page;
    g_bTexWindow = 0;
    g_iDrawAreaLeft = 0;
    g_iDrawAreaTop = 0;
    g_iDrawAreaRight = g_iScreenWidth;
    g_iDrawAreaBottom = g_iScreenHeight;
    PACKET_DRAW_MODE_SPRITE_T s{};
    Gfx_SetImageSpritePacket(&s, image, x, y, 128, 128, 128);
    // Drawn at once, past the ordering tables: the layer already holds the frame.
    Gfx_SelectClutSource(s.mode & 0xFFFFFF);
    const uint32_t u = ((s.mode >> 7) & 3) ? s.u * 2u : s.u;
    Gfx_MaskedCopy(s.x, s.y, s.w, s.h, u, 0, 256, s.v, 0, 256, 0xFFFF);
}

// --- jam background ---

void Gfx_LoadJamBackground()
{
    s_jamBackground.assign(JAM_BACKGROUND_PIXELS, 0);
    g_bJamBackgroundLoaded = 1;
    const char *name = Sys_MakeDataPath("pcjambg.raw");
    FILE *f = OpenPicture(name);
    if (!f)
        return;
    std::vector<uint8_t> rgb(JAM_BACKGROUND_PIXELS * 3);
    const size_t got = ReadAll(f, name, rgb.data(), rgb.size());
    for (size_t i = 0; i + 3 <= got; i += 3)
        s_jamBackground[i / 3] = ConvertPixel(rgb[i], rgb[i + 1], rgb[i + 2]);
}

void Gfx_FreeJamBackground()
{
    std::vector<uint16_t>().swap(s_jamBackground);
    g_bJamBackgroundLoaded = 0;
}

void Gfx_DrawJamBackground()
{
    if (g_pLayerFrame && s_jamBackground.size() == static_cast<size_t>(JAM_BACKGROUND_PIXELS))
        for (int y = 0; y < LAYER_HEIGHT; y++)
            std::memcpy(g_apLayerRows[y], s_jamBackground.data() + y * LAYER_WIDTH, LAYER_ROW_BYTES);
    g_bBackgroundDirty = 0;
}

// --- layer colour routines ---

void Gfx_ConvertPalette(const uint32_t *pColours, uint16_t *pOut)
{
    if (!pColours || !pOut)
        return;
    for (int i = 0; i < 256; i++)
        pOut[i] = ConvertPixel(static_cast<uint8_t>(pColours[i] >> 16), static_cast<uint8_t>(pColours[i] >> 8),
                               static_cast<uint8_t>(pColours[i]));
}

void Gfx_CopyToLayer(int32_t x, int32_t y, int32_t w, int32_t h, const uint16_t *pPixels)
{
    if (!g_pLayerFrame || !pPixels || w <= 0 || h <= 0)
        return;
    const SPAN s = InLayer(x, y, w, h);
    if (s.Empty())
        return;
    for (int64_t row = s.y0; row < s.y1; row++)
        std::memcpy(g_apLayerRows[row] + s.x0, pPixels + (row - y) * w + (s.x0 - x), static_cast<size_t>(s.Width()) * 2);
}

void Gfx_InitColourModulation()
{
    const bool l555 = g_iPixelFormat == PIXELFORMAT_555;
    const int bits[3] = {5, l555 ? 5 : 6, 5};
    const int shifts[3] = {l555 ? 10 : 11, 5, 0};
    for (int c = 0; c < 3; c++) {
        s_aiModulateBits[c] = bits[c];
        s_aiModulateShift[c] = shifts[c];
        const uint32_t n = 1u << bits[c];
        for (uint32_t i = 0; i < n; i++)
            for (uint32_t j = 0; j < n; j++)
                s_aauModulate[c][i * n + j] = ((i * j) >> bits[c]) << shifts[c];
    }
    (void)Gfx_ModulateColour(0x8410);
}

uint32_t Gfx_ModulateColour(uint32_t a)
{
    const uint32_t fill = g_ClipRect.colour & 0xFFFF;
    uint32_t out = 0;
    for (int c = 0; c < 3; c++) {
        const uint32_t n = 1u << s_aiModulateBits[c], mask = n - 1;
        if (s_aiModulateBits[c] == 0)
            continue;
        const uint32_t i = (a >> s_aiModulateShift[c]) & mask, j = (fill >> s_aiModulateShift[c]) & mask;
        out |= s_aauModulate[c][i * n + j];
    }
    return out;
}
