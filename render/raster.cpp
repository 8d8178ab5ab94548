#include "render/raster.h"

#include "render/gpustate.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t PAGE_TEXELS = 256;    // texels per source row and rows per page
constexpr uint32_t ROW_WORDS = 512;      // u16 per source row (1024 bytes)
constexpr int32_t SCREEN_TILE_SIZE = 24;
constexpr int32_t TILE_SKIP_WIDTH = 384; // a tile this big (and TILE_SKIP_HEIGHT high) is a screen clear
constexpr int32_t TILE_SKIP_HEIGHT = 256;

struct AREA
{
    int64_t left, top, right, bottom;
};

// The draw area as far as it lies in the frame; packets and viewports may set larger ones.
AREA ClampedDrawArea()
{
    return {std::max<int64_t>(g_iDrawAreaLeft, 0), std::max<int64_t>(g_iDrawAreaTop, 0),
            std::min<int64_t>(g_iDrawAreaRight, LAYER_WIDTH), std::min<int64_t>(g_iDrawAreaBottom, LAYER_HEIGHT)};
}

// One axis of the rectangle clip: [start, end) cut to [lo, hi). Returns false when nothing is
// left; cut receives how much was taken off the start.
bool ClipSpan(int64_t &start, int64_t &end, int64_t lo, int64_t hi, int64_t &cut)
{
    cut = 0;
    if (start < lo) {
        if (end < lo)
            return false;
        cut = lo - start;
        start = lo;
    }
    if (end > hi) {
        if (start > hi)
            return false;
        end = hi;
    }
    return end > start;
}

// frame := (frame AND mask) + (colour AND NOT mask). The two terms share no bit, so the sum is an
// OR and a pixel pair merges as one 32-bit word.
inline void Merge(uint16_t &frame, uint16_t colour, uint16_t mask)
{
    frame = static_cast<uint16_t>((frame & mask) | (colour & ~mask));
}

inline uint32_t Load32(const uint16_t *p)
{
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Texels c .. c+n-1 of one source row (c + n <= 256) merged into dst. Pairs are read as the rows
// lay them out (colour, colour, mask, mask); an odd first texel takes the odd halves. The tint
// masks the texel's colour only: masking the merged pixel would also darken the background that
// shows through a glyph's transparent texels, a box behind every tinted character.
template <bool TINTED>
void MergeRun(uint16_t *dst, const uint16_t *row, uint32_t c, uint32_t n, uint16_t tint)
{
    const uint16_t *p = row + ((c >> 1) << 2);
    if (c & 1) {
        Merge(*dst++, TINTED ? p[1] & tint : p[1], p[3]);
        p += 4;
        --n;
    }
    const uint32_t tint2 = tint * 0x10001u;
    for (; n >= 2; n -= 2, dst += 2, p += 4) {
        const uint32_t colour = TINTED ? Load32(p) & tint2 : Load32(p), mask = Load32(p + 2);
        const uint32_t merged = (Load32(dst) & mask) | (colour & ~mask);
        std::memcpy(dst, &merged, sizeof merged);
    }
    if (n)
        Merge(*dst, TINTED ? p[0] & tint : p[0], p[2]);
}

template <bool TINTED>
void MaskedRows(int32_t x, int32_t y, uint32_t width, uint32_t height, uint32_t startU, uint32_t phaseU,
                uint32_t wrapW, uint32_t startV, uint32_t phaseV, uint32_t wrapH, uint16_t tint)
{
    uint32_t kv = phaseV;
    const uint32_t ku0 = phaseU;
    const uint32_t c0 = (startU + ku0) & (PAGE_TEXELS - 1);
    // Most copies read one unbroken run per row.
    const bool oneRun = width <= wrapW - ku0 && width <= PAGE_TEXELS - c0;
    for (uint32_t j = 0; j < height; ++j) {
        const uint16_t *row = g_pClutSource + ((startV + kv) & (PAGE_TEXELS - 1)) * ROW_WORDS;
        uint16_t *dst = g_apLayerRows[y + static_cast<int32_t>(j)] + x;
        if (++kv == wrapH)
            kv = 0;
        if (oneRun) {
            MergeRun<TINTED>(dst, row, c0, width, tint);
            continue;
        }
        uint32_t i = 0, ku = ku0;
        while (i < width) {
            uint32_t c = (startU + ku) & (PAGE_TEXELS - 1);
            uint32_t n = std::min({width - i, wrapW - ku, PAGE_TEXELS - c});
            MergeRun<TINTED>(dst + i, row, c, n, tint);
            i += n;
            ku += n;
            if (ku == wrapW)
                ku = 0;
        }
    }
}

// Step 1 of every textured draw: the page word names the slot whose texels become the source.
bool SelectClutSource()
{
    Gfx_SelectClutSource(g_uTexturePage);
    return g_pClutSource != nullptr;
}

uint32_t DepthDoubled(uint32_t column)
{
    return ((g_uTexturePage >> 7) & 3) ? column * 2 : column;
}

// Sprite clip: fills CLIPRECT (x, y, u, v advanced by the left and top cuts, width, height).
bool ClipSprite(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h)
{
    if (w < 0 || h < 0 || !g_pLayerFrame)
        return false;
    const AREA a = ClampedDrawArea();
    int64_t x0 = int64_t(x) + g_iDrawOffsetX, x1 = x0 + w, cutX;
    int64_t y0 = int64_t(y) + g_iDrawOffsetY, y1 = y0 + h, cutY;
    if (!ClipSpan(x0, x1, a.left, a.right, cutX) || !ClipSpan(y0, y1, a.top, a.bottom, cutY))
        return false;
    g_ClipRect.x = static_cast<int32_t>(x0);
    g_ClipRect.y = static_cast<int32_t>(y0);
    g_ClipRect.u = static_cast<uint32_t>(u + cutX);
    g_ClipRect.v = static_cast<uint32_t>(v + cutY);
    g_ClipRect.width = static_cast<uint32_t>(x1 - x0);
    g_ClipRect.height = static_cast<uint32_t>(y1 - y0);
    return true;
}

void FillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    if (w < 0 || h < 0 || !g_pLayerFrame)
        return;
    const AREA a = ClampedDrawArea();
    int64_t x0 = int64_t(x) + g_iDrawOffsetX, x1 = x0 + w, cut;
    int64_t y0 = int64_t(y) + g_iDrawOffsetY, y1 = y0 + h;
    if (!ClipSpan(x0, x1, a.left, a.right, cut) || !ClipSpan(y0, y1, a.top, a.bottom, cut))
        return;
    const uint32_t word = Gfx_FillWord(r, g, b);
    g_ClipRect = {word, static_cast<int32_t>(x0), static_cast<int32_t>(y0), 0, 0, static_cast<uint32_t>(x1 - x0),
                  static_cast<uint32_t>(y1 - y0)};
    // Whole pixel pairs from the even column at or left of x0: an odd width paints one pixel more
    // on the right, which is dropped when it falls off the frame.
    const int64_t start = x0 & ~int64_t(1);
    const int64_t end = std::min<int64_t>(start + 2 * ((x1 - x0 + 1) / 2), LAYER_WIDTH);
    const uint16_t pixel = static_cast<uint16_t>(word);
    for (int64_t row = y0; row < y1; ++row)
        std::fill(g_apLayerRows[row] + start, g_apLayerRows[row] + end, pixel);
}

} // namespace

void Gfx_MaskedCopy(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t startU, uint32_t phaseU,
                    uint32_t wrapW, uint32_t startV, uint32_t phaseV, uint32_t wrapH, uint16_t tint)
{
    if (!g_pLayerFrame || !g_pClutSource || wrapW == 0 || wrapH == 0 || width <= 0 || height <= 0)
        return;
    int64_t x0 = x, x1 = int64_t(x) + width, y0 = y, y1 = int64_t(y) + height, cutX, cutY;
    if (!ClipSpan(x0, x1, 0, LAYER_WIDTH, cutX) || !ClipSpan(y0, y1, 0, LAYER_HEIGHT, cutY))
        return;
    phaseU = static_cast<uint32_t>((phaseU + uint64_t(cutX)) % wrapW);
    phaseV = static_cast<uint32_t>((phaseV + uint64_t(cutY)) % wrapH);
    const auto w = static_cast<uint32_t>(x1 - x0), h = static_cast<uint32_t>(y1 - y0);
    if (tint == 0xFFFF)
        MaskedRows<false>(int32_t(x0), int32_t(y0), w, h, startU, phaseU, wrapW, startV, phaseV, wrapH, tint);
    else
        MaskedRows<true>(int32_t(x0), int32_t(y0), w, h, startU, phaseU, wrapW, startV, phaseV, wrapH, tint);
}

void Gfx_RasterTile(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    if (w >= TILE_SKIP_WIDTH && h >= TILE_SKIP_HEIGHT)
        return;
    FillRect(x, y, w, h, r, g, b);
}

void Gfx_RasterFillRect(int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b)
{
    FillRect(x, y, w, h, r, g, b);
}

void Gfx_RasterLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b)
{
    if (!g_pLayerFrame)
        return;
    int64_t ax = int64_t(x0) + g_iDrawOffsetX, ay = int64_t(y0) + g_iDrawOffsetY;
    int64_t bx = int64_t(x1) + g_iDrawOffsetX, by = int64_t(y1) + g_iDrawOffsetY;
    if (ay > by) {
        std::swap(ax, bx);
        std::swap(ay, by);
    }
    // The geometry follows the draw area as given, so the part inside the frame looks the same
    // whatever the area; pixels off the frame are dropped one by one.
    const int64_t left = g_iDrawAreaLeft, top = g_iDrawAreaTop, right = g_iDrawAreaRight, bottom = g_iDrawAreaBottom;
    if ((ax < left && bx < left) || (ax > right && bx > right) || (ay < top && by < top) ||
        (ay > bottom && by > bottom))
        return;
    ax = std::clamp(ax, left, std::max(left, right));
    bx = std::clamp(bx, left, std::max(left, right));
    ay = std::clamp(ay, top, std::max(top, bottom));
    by = std::clamp(by, top, std::max(top, bottom));

    int64_t dx = bx - ax, dy = by - ay;
    const int64_t s = dx < 0 ? -1 : 1, adx = dx < 0 ? -dx : dx;
    if (adx == 0 && dy == 0)
        return;
    const uint16_t colour = Gfx_PackFillColour(r, g, b);
    int64_t px = ax, py = ay;
    auto plot = [&] {
        if (px >= 0 && px < LAYER_WIDTH && py >= 0 && py < LAYER_HEIGHT)
            g_apLayerRows[py][px] = colour;
    };
    if (dy == 0) {
        for (int64_t i = 0; i < adx; ++i, px += s)
            plot();
    } else if (adx == 0) {
        for (int64_t i = 0; i < dy; ++i, ++py)
            plot();
    } else if (adx < dy) {
        int64_t err = dy;
        for (int64_t i = 0; i < dy; ++i) {
            plot();
            ++py;
            err -= adx;
            if (err < 0) {
                px += s;
                err += dy;
            }
        }
    } else {
        int64_t err = adx;
        for (int64_t i = 0; i < adx; ++i) {
            plot();
            px += s;
            err -= dy;
            if (err < 0) {
                ++py;
                err += adx;
            }
        }
    }
}

void Gfx_RasterSprite(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h)
{
    if (!ClipSprite(x, y, u, v, w, h) || !SelectClutSource())
        return;
    const CLIPRECT &c = g_ClipRect;
    if (g_bTexWindow) {
        // The window is tiled over the sprite from its clipped corner; the sprite's u, v are unused.
        if (g_iTexWindowW <= 0 || g_iTexWindowH <= 0)
            return;
        Gfx_MaskedCopy(c.x, c.y, int32_t(c.width), int32_t(c.height), DepthDoubled(uint32_t(g_iTexWindowX)), 0,
                       uint32_t(g_iTexWindowW), uint32_t(g_iTexWindowY), 0, uint32_t(g_iTexWindowH), 0xFFFF);
    } else {
        Gfx_MaskedCopy(c.x, c.y, int32_t(c.width), int32_t(c.height), DepthDoubled(c.u), 0, PAGE_TEXELS, c.v, 0,
                       PAGE_TEXELS, 0xFFFF);
    }
}

void Gfx_RasterGlyph(int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h, uint8_t r, uint8_t g,
                     uint8_t b)
{
    if (!ClipSprite(x, y, u, v, w, h))
        return;
    g_ClipRect.colour = Gfx_PackTintColour(r, g, b);
    if (!SelectClutSource())
        return;
    // Texels are read one by one, so an odd start column needs no shift to the pair before it
    // (which would touch column -1 for a glyph at x = 0).
    const CLIPRECT &c = g_ClipRect;
    Gfx_MaskedCopy(c.x, c.y, int32_t(c.width), int32_t(c.height), DepthDoubled(c.u), 0, PAGE_TEXELS, c.v, 0,
                   PAGE_TEXELS, static_cast<uint16_t>(c.colour));
}

void Gfx_RasterTexturedQuad(int32_t x0, int32_t y0, uint8_t u, uint8_t v, int32_t x3, int32_t y3)
{
    if (!ClipSprite(x0, y0, u, v, int32_t(int64_t(x3) - x0), int32_t(int64_t(y3) - y0)) || !SelectClutSource())
        return;
    const CLIPRECT &c = g_ClipRect;
    Gfx_MaskedCopy(c.x, c.y, int32_t(c.width), int32_t(c.height), c.u, 0, PAGE_TEXELS, c.v, 0, PAGE_TEXELS, 0xFFFF);
}

void Gfx_DrawScreenTile(int32_t x, int32_t y, uint8_t row, uint8_t column, uint8_t page)
{
    if (const uint16_t *tile = Gfx_TileAddress(row, column, page))
        Gfx_CopyScreenTile(x, y, tile);
}

void Gfx_CopyScreenTile(int32_t x, int32_t y, const uint16_t *tile)
{
    if (!tile || !g_pLayerFrame)
        return;
    const AREA a = ClampedDrawArea();
    int64_t x0 = int64_t(x) + g_iDrawOffsetX, x1 = x0 + SCREEN_TILE_SIZE, cutX;
    int64_t y0 = int64_t(y) + g_iDrawOffsetY, y1 = y0 + SCREEN_TILE_SIZE, cutY;
    if (!ClipSpan(x0, x1, a.left, a.right, cutX) || !ClipSpan(y0, y1, a.top, a.bottom, cutY))
        return;
    // Whole pairs: an odd visible width copies one pixel more, as long as the tile has it and it
    // lands in the frame.
    int64_t n = (x1 - x0 + 1) & ~int64_t(1);
    n = std::min({n, SCREEN_TILE_SIZE - cutX, LAYER_WIDTH - x0});
    for (int64_t j = 0; j < y1 - y0; ++j) {
        const uint16_t *src = tile + (cutY + j) * SCREEN_TILE_SIZE + cutX;
        std::copy(src, src + n, g_apLayerRows[y0 + j] + x0);
    }
}

uint32_t Gfx_GetClutColour(int i, int n)
{
    if (!g_pClutSource)
        return 0;
    const uint32_t p = g_pClutSource[(uint32_t(n) & (PAGE_TEXELS - 1)) * ROW_WORDS + (uint32_t(i) & (PAGE_TEXELS - 1)) * 2];
    uint32_t red, green;
    if (g_iPixelFormat == PIXELFORMAT_555) {
        red = (p & 0x7C00) >> 7;
        green = (p & 0x3E0) >> 2;
    } else {
        red = (p & 0xF800) >> 8;
        green = (p & 0x7E0) >> 3;
    }
    const uint32_t blue = (p & 31) * 8;
    return (red << 16) | (green << 8) | blue;
}
