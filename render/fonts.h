// Bitmap fonts and text. A font is a sheet image of the loaded screen-graphics set plus a font
// file of 4-bit edge marks; loading measures the glyph cells into a FONT record. Text is drawn as
// one glyph sprite packet per character, tinted with g_uiTextColour, through the ordering tables.
// Main thread only.
#pragma once

#include "render/texpages.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t FONT_GLYPHS = 135;
constexpr int32_t FONT_HEADER_BYTES = 64;
constexpr int32_t FONT_BLANK_GLYPH = 66; // the blank advances by the width of 'c'
constexpr int32_t TEXT_ICON_LETTERS = 16; // '~a' .. '~p'

struct FONTSOURCE
{
    uint8_t u, v;
    uint16_t clut;
};
struct FONTSIZE
{
    int16_t width, height;
};
struct FONT
{
    IMAGEREC *sheet;
    FONTSOURCE source[FONT_GLYPHS];
    FONTSIZE size[FONT_GLYPHS];
};

extern FONT g_tFontMain;
extern FONT g_tFontAlt;
extern FONT *g_pFont;
// Text tint: red in bits 0-7, green 8-15, blue 16-23 (128 = untinted).
extern uint32_t g_uiTextColour;
// Glyphs of codes 127-255 (0 = glyph 0).
extern const uint8_t (&g_abGlyphMap)[256];
extern const int16_t g_asTextIcons[TEXT_ICON_LETTERS];

// Interface image bindings of the loaded screen-graphics set, filled by Gfx_LoadFonts. Images the
// table lacks bind to null / 0.
constexpr int32_t UI_IMAGE_SLOTS = 22;
constexpr int32_t WINDOW_FRAME_IMAGES = 27; // three styles of 9 border parts
extern IMAGEREC *g_apUiImages[UI_IMAGE_SLOTS];
extern uint16_t g_ausWindowFrameImages[WINDOW_FRAME_IMAGES];
extern int32_t g_iUiExtraImage;

// Glyph of a character code; -1 for codes outside the text alphabet (below 33, the blank too).
int32_t Gfx_GlyphIndex(uint8_t ch);

// Measures the cells of a font file (header included) over `sheet` into *font: 0, or -1 when the
// bytes do not make a font (then *font is untouched). `clut` is the glyphs' CLUT word.
int32_t Gfx_ParseFont(const uint8_t *bytes, size_t size, IMAGEREC *sheet, uint16_t clut, FONT *font);
// Loads a font file into *g_pFont, whose sheet the caller has set; resets the text colour. 0, or
// -1 (record and colour unchanged, the reason in g_szErrorText) when the file is missing or broken.
int32_t Gfx_LoadFont(const char *path);
// Binds and loads the fonts of screen-graphics set 0 or 1, then the interface image bindings;
// g_pFont ends at g_tFontAlt.
void Gfx_LoadFonts(int32_t set);

void Gfx_DrawText(const char *text, int32_t x, int32_t y, uint32_t entry);
int32_t Gfx_GetTextWidth(const char *text);
void Gfx_DrawTextWithIcons(const char *text, int32_t x, int32_t y, uint32_t entry);
int32_t Gfx_GetTextWithIconsWidth(const char *text);
void Gfx_DrawTextRight(const char *text, int32_t x, int32_t y, uint32_t entry);
int32_t Gfx_DrawTextCentred(const char *text, int32_t x, int32_t y, uint32_t entry);
void Gfx_DrawTextCentredOnScreen(const char *text, int32_t y, uint32_t entry);
void Gfx_DrawTextNow(const char *text, int32_t x, int32_t y);
void Gfx_DrawTextNowCentred(const char *text, int32_t x, int32_t y);
// Draws in a font (when it has a sheet) and a colour, leaving g_pFont and g_uiTextColour as they were.
enum : int32_t
{
    GFX_TEXT_LEFT,
    GFX_TEXT_CENTRED,
    GFX_TEXT_RIGHT,
};
void Gfx_DrawTextInFont(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour, uint32_t entry,
                        int32_t align = GFX_TEXT_LEFT);
int32_t Gfx_GetFontHeight();
