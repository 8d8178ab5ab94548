#include "render/fonts.h"

#include "core/consolelib.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FONT g_tFontMain;
FONT g_tFontAlt;
FONT *g_pFont = &g_tFontAlt;
uint32_t g_uiTextColour = 0x7F7F7F;

// Codes 127-255: the accented letters of the language files share the glyphs after '~'.
namespace {
constexpr uint8_t kGlyphMapPairs[][2] = {
    {0x85, 13},  {0x8C, 108}, {0x99, 124}, {0x9C, 112}, {0xA1, 72},  {0xB0, 13},  {0xBF, 30},  {0xC0, 32},
    {0xC1, 32},  {0xC4, 109}, {0xC9, 97},  {0xCD, 128}, {0xD3, 46},  {0xD6, 120}, {0xD9, 118}, {0xDC, 121},
    {0xDF, 133}, {0xE0, 100}, {0xE1, 127}, {0xE2, 98},  {0xE4, 99},  {0xE7, 102}, {0xE8, 105}, {0xE9, 97},
    {0xEA, 103}, {0xEC, 108}, {0xEE, 107}, {0xEF, 106}, {0xF1, 131}, {0xF3, 129}, {0xF4, 114}, {0xF6, 115},
    {0xF9, 118}, {0xFA, 130}, {0xFB, 117}, {0xFC, 96},
};
struct GlyphMap
{
    uint8_t map[256] = {};
    constexpr GlyphMap()
    {
        for (const auto &p : kGlyphMapPairs)
            map[p[0]] = p[1];
    }
};
constexpr GlyphMap kGlyphMap;
} // namespace

const uint8_t (&g_abGlyphMap)[256] = kGlyphMap.map;

const int16_t g_asTextIcons[TEXT_ICON_LETTERS] = {705, 0, 0, 707, 0, 0, 0, 0, 702, 704, 701, 703, 708, 700, 709, 706};

namespace {

constexpr uint8_t EDGE = 15;
constexpr size_t GLYPH_PACKET_BYTES = sizeof(PACKET_SPRITE_T);
constexpr size_t DRAW_MODE_BYTES = sizeof(PACKET_DRAW_MODE_T);

// Texel reads over the sheet rows of a font file; a column past the row end reads as an edge.
struct SheetReader
{
    const uint8_t *pixels;
    size_t bytes;
    int32_t width;
    size_t rowBytes;
    bool bad = false;

    uint8_t Texel(int32_t c, int32_t r)
    {
        if (c >= width)
            return EDGE;
        const size_t at = static_cast<size_t>(r) * rowBytes + static_cast<size_t>(c) / 2;
        if (r < 0 || c < 0 || at >= bytes) {
            bad = true;
            return EDGE;
        }
        return (c & 1) ? pixels[at] >> 4 : pixels[at] & 15;
    }
};

uint16_t TintWord(int i)
{
    return static_cast<uint8_t>(g_uiTextColour >> (8 * i));
}

int32_t GlyphAdvance(const FONT &f, uint8_t ch)
{
    if (ch == ' ')
        return f.size[FONT_BLANK_GLYPH].width;
    int32_t g = Gfx_GlyphIndex(ch);
    return g < 0 ? 0 : f.size[g].width + 1;
}

void FillGlyph(uint8_t *out, const FONT &f, int32_t g, int32_t x, int32_t y, uint8_t code)
{
    PACKET_SPRITE_T s{};
    s.head.length = 5;
    s.head.r = static_cast<uint8_t>(TintWord(0));
    s.head.g = static_cast<uint8_t>(TintWord(1));
    s.head.b = static_cast<uint8_t>(TintWord(2));
    s.head.code = code;
    s.x = static_cast<int16_t>(x);
    s.y = static_cast<int16_t>(y);
    s.u = f.source[g].u;
    s.v = f.source[g].v;
    s.clut = f.source[g].clut;
    s.w = f.size[g].width;
    s.h = f.size[g].height;
    // The link word stays as the allocator wrote it.
    std::memcpy(out + 4, reinterpret_cast<const uint8_t *>(&s) + 4, sizeof(s) - 4);
}

uint16_t SheetPage(const FONT &f)
{
    return f.sheet ? f.sheet->page : 0;
}

void LinkDrawMode(const FONT &f, uint32_t entry)
{
    if (uint8_t *p = Gfx_AddPacket(entry, DRAW_MODE_BYTES))
        Gfx_SetDrawModePacket(p, 0, 0, SheetPage(f));
}

// An icon '~' + letter at text[i]: its image, or null (and *pair false) for a '~' with no letter
// a-p after it.
const IMAGEREC *Icon(const char *text, size_t i, bool *pair)
{
    const uint8_t next = static_cast<uint8_t>(text[i + 1]);
    *pair = next != 0;
    if (next < 'a' || next >= 'a' + TEXT_ICON_LETTERS)
        return nullptr;
    return Gfx_GetImage(g_asTextIcons[next - 'a']);
}

void DrawLine(const char *text, int32_t x, int32_t y, uint32_t entry, bool icons)
{
    if (!g_pFont || !text)
        return;
    const FONT &f = *g_pFont;
    const uint8_t code = icons ? PACKET_SPRITE : PACKET_GLYPH;
    int32_t pen = x;
    for (size_t i = 0; text[i]; ++i) {
        const uint8_t ch = static_cast<uint8_t>(text[i]);
        if (icons && ch == '~') {
            bool pair = false;
            const IMAGEREC *image = Icon(text, i, &pair);
            if (image) {
                LinkDrawMode(f, entry);
                Gfx_AddImageSprite(image, pen, y + 1, 128, 128, 128);
                pen += image->width;
            }
            // A '~' without a known icon letter draws nothing, and neither does its letter.
            if (pair)
                ++i;
            continue;
        }
        const int32_t g = Gfx_GlyphIndex(ch);
        if (g >= 0) {
            if (uint8_t *p = Gfx_AddPacket(entry, GLYPH_PACKET_BYTES))
                FillGlyph(p, f, g, pen, y, code);
        }
        pen += GlyphAdvance(f, ch);
    }
    LinkDrawMode(f, entry);
}

int32_t Measure(const char *text, bool icons)
{
    if (!g_pFont || !text)
        return 0;
    int32_t width = 0;
    for (size_t i = 0; text[i]; ++i) {
        const uint8_t ch = static_cast<uint8_t>(text[i]);
        if (icons && ch == '~') {
            bool pair = false;
            if (const IMAGEREC *image = Icon(text, i, &pair))
                width += image->width;
            if (pair)
                ++i;
            continue;
        }
        width += GlyphAdvance(*g_pFont, ch);
    }
    return width;
}

void DrawNow(const char *text, int32_t x, int32_t y)
{
    if (!g_pFont || !text)
        return;
    const FONT &f = *g_pFont;
    // Built on the stack and handed to the immediate draw, which has no arena address for them.
    uint8_t mode[DRAW_MODE_BYTES] = {};
    Gfx_SetDrawModePacket(mode, 0, 0, SheetPage(f));
    Sys_DrawPacketNow(0);
    int32_t pen = x;
    for (size_t i = 0; text[i]; ++i) {
        const uint8_t ch = static_cast<uint8_t>(text[i]);
        const int32_t g = Gfx_GlyphIndex(ch);
        if (g >= 0) {
            uint8_t packet[GLYPH_PACKET_BYTES] = {};
            FillGlyph(packet, f, g, pen, y, PACKET_SPRITE);
            Sys_DrawPacketNow(0);
        }
        pen += GlyphAdvance(f, ch);
    }
}

} // namespace

int32_t Gfx_GlyphIndex(uint8_t ch)
{
    if (ch < 33)
        return -1;
    return ch < 127 ? ch - 33 : g_abGlyphMap[ch];
}

int32_t Gfx_ParseFont(const uint8_t *bytes, size_t size, IMAGEREC *sheet, uint16_t clut, FONT *font)
{
    if (!bytes || !sheet || !font || size <= static_cast<size_t>(FONT_HEADER_BYTES))
        return -1;
    const int32_t u = sheet->u, v = sheet->v, w = sheet->width;
    // Glyph positions are bytes of the sheet's page: a sheet reaching past it cannot be measured.
    if (w < 2 || u + w > 256)
        return -1;
    SheetReader sr{bytes + FONT_HEADER_BYTES, size - FONT_HEADER_BYTES, w, static_cast<size_t>(w) / 2};
    const int32_t rows = static_cast<int32_t>(sr.bytes / sr.rowBytes);

    int32_t h = 0;
    while (h < rows && sr.Texel(0, h) != EDGE)
        ++h;
    if (h == 0 || h >= rows || h > 255)
        return -1;

    FONT out = *font;
    out.sheet = sheet;
    out.source[0] = {static_cast<uint8_t>(u), static_cast<uint8_t>(v), clut};
    out.size[0] = {0, static_cast<int16_t>(h)};
    int32_t pu = u, pv = v, g = 0;
    while (g < FONT_GLYPHS - 1) {
        if (pv - v >= rows || pv > 255)
            return -1; // the sheet ran out of cell lines
        if (sr.Texel(pu - u, pv - v) == EDGE) {
            // Skip the whole run of edge columns; one running to the row end ends the line.
            int32_t next = pu + 1;
            while (next - u < w && sr.Texel(next - u, pv - v) == EDGE)
                ++next;
            if (next - u >= w)
                next = u + w + 1;
            ++g;
            out.source[g] = {static_cast<uint8_t>(next), static_cast<uint8_t>(pv), clut};
            out.size[g] = {1, static_cast<int16_t>(h)};
            pu = next;
        } else {
            ++out.size[g].width;
        }
        if (sr.bad)
            return -1;
        ++pu;
        if (pu > w + u) {
            pu = u;
            pv += h + 1;
            out.source[g] = {static_cast<uint8_t>(u), static_cast<uint8_t>(pv), clut};
            out.size[g].width = 0;
        }
    }
    *font = out;
    return 0;
}

int32_t Gfx_LoadFont(const char *path)
{
    if (!g_pFont || !g_pFont->sheet || !path) {
        std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Couldn't Load File (%s). No font sheet.", path ? path : "");
        return -1;
    }
    const IMAGEREC *clutRecord = Gfx_GetImage(g_pFont->sheet->related);
    if (!clutRecord) {
        std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Couldn't Load File (%s). No font sheet.", path);
        return -1;
    }
    DISCFILE *file = Sys_DiscOpen(path);
    if (!file) {
        std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Couldn't Load File (%s).", path);
        return -1;
    }
    const int size = Sys_DiscFileSize(file);
    uint8_t *buffer = size > 0 ? static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size))) : nullptr;
    const bool read = buffer && Sys_DiscRead(buffer, 1, size, file) == size;
    Sys_DiscClose(file);
    const int32_t result = read ? Gfx_ParseFont(buffer, static_cast<size_t>(size), g_pFont->sheet,
                                                clutRecord->clut, g_pFont)
                                : -1;
    std::free(buffer);
    if (result != 0) {
        std::snprintf(g_szErrorText, sizeof(g_szErrorText), "Couldn't Load File (%s). Not a font.", path);
        return -1;
    }
    g_uiTextColour = 0x7F7F7F;
    return 0;
}

IMAGEREC *g_apUiImages[UI_IMAGE_SLOTS];
uint16_t g_ausWindowFrameImages[WINDOW_FRAME_IMAGES];
int32_t g_iUiExtraImage = 0;

namespace
{
// Image numbers of the interface slots per set; -1 leaves the slot as it is.
constexpr int16_t kUiImages[2][UI_IMAGE_SLOTS] = {
    {107, 108, 105, 106, 102, 693, 688, 694, 695, 301, 302, 691, 692, 689, 690, 299, 300, 782, 783, 426, 427, 428},
    {270, 273, 265, 269, -1, 271, 263, 272, 274, 253, 254, 267, 268, 264, 266, 251, 252, 256, 258, 255, 257, 259}};
constexpr int32_t kWindowFrameBase[2] = {784, 275};

uint16_t RelatedOf(int32_t n)
{
    const IMAGEREC *r = Gfx_GetImage(n);
    return r ? r->related : 0;
}

void BindInterfaceImages(int32_t set)
{
    for (int32_t slot = 0; slot < UI_IMAGE_SLOTS; slot++)
        if (kUiImages[set][slot] >= 0)
            g_apUiImages[slot] = Gfx_GetImage(kUiImages[set][slot]);
    // Border piece p of style s comes from record base + 3p + s.
    for (int32_t i = 0; i < WINDOW_FRAME_IMAGES; i++)
        g_ausWindowFrameImages[i] = RelatedOf(kWindowFrameBase[set] + 3 * (i % 9) + i / 9);
    if (set == 0) {
        g_iUiExtraImage = RelatedOf(109);
        if (IMAGEREC *r = Gfx_GetImage(413))
            r->page |= 0x40;
    }
}
} // namespace

void Gfx_LoadFonts(int32_t set)
{
    const char *main = "gfx\\fonts\\tonnivels.bin";
    const char *alt = set == 0 ? "gfx\\fonts\\tonnipro.bin" : main;
    int32_t mainSheet = 1, altSheet = 2;
    if (set == 1)
        mainSheet = altSheet = 261;
    else if (set != 0)
        return;
    struct
    {
        FONT *font;
        int32_t sheet;
        const char *path;
    } const fonts[] = {{&g_tFontMain, mainSheet, main}, {&g_tFontAlt, altSheet, alt}};
    for (const auto &f : fonts) {
        g_pFont = f.font;
        // A set without the sheet keeps the font it had (null sheet: nothing loaded yet).
        if (IMAGEREC *sheet = Gfx_GetImage(f.sheet)) {
            IMAGEREC *before = g_pFont->sheet;
            g_pFont->sheet = sheet;
            if (Gfx_LoadFont(f.path) != 0) {
                g_pFont->sheet = before;
                std::fprintf(stderr, "%s\n", g_szErrorText);
            }
        }
    }
    BindInterfaceImages(set);
}

void Gfx_DrawText(const char *text, int32_t x, int32_t y, uint32_t entry)
{
    DrawLine(text, x, y, entry, false);
}

int32_t Gfx_GetTextWidth(const char *text)
{
    return Measure(text, false);
}

void Gfx_DrawTextWithIcons(const char *text, int32_t x, int32_t y, uint32_t entry)
{
    DrawLine(text, x, y, entry, true);
}

int32_t Gfx_GetTextWithIconsWidth(const char *text)
{
    return Measure(text, true);
}

void Gfx_DrawTextRight(const char *text, int32_t x, int32_t y, uint32_t entry)
{
    Gfx_DrawText(text, x - Gfx_GetTextWidth(text), y, entry);
}

void Gfx_DrawTextInFont(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour, uint32_t entry,
                        int32_t align)
{
    FONT *savedFont = g_pFont;
    const uint32_t savedColour = g_uiTextColour;
    if (font && font->sheet)
        g_pFont = font;
    g_uiTextColour = colour;
    if (align == GFX_TEXT_CENTRED)
        Gfx_DrawTextCentred(text, x, y, entry);
    else if (align == GFX_TEXT_RIGHT)
        Gfx_DrawTextRight(text, x, y, entry);
    else
        Gfx_DrawText(text, x, y, entry);
    g_pFont = savedFont;
    g_uiTextColour = savedColour;
}

int32_t Gfx_DrawTextCentred(const char *text, int32_t x, int32_t y, uint32_t entry)
{
    const int32_t width = Gfx_GetTextWidth(text);
    Gfx_DrawText(text, x - (width >> 1), y, entry);
    return width;
}

void Gfx_DrawTextCentredOnScreen(const char *text, int32_t y, uint32_t entry)
{
    Gfx_DrawText(text, g_iScreenWidth / 2 - Gfx_GetTextWidth(text) / 2, y, entry);
}

void Gfx_DrawTextNow(const char *text, int32_t x, int32_t y)
{
    DrawNow(text, x, y);
}

void Gfx_DrawTextNowCentred(const char *text, int32_t x, int32_t y)
{
    DrawNow(text, x - (Gfx_GetTextWidth(text) >> 1), y);
}

int32_t Gfx_GetFontHeight()
{
    return g_pFont ? g_pFont->size[0].height & 0xFF : 0;
}
