// Save titles: the 32 two-byte full-width character codes a save header stores, converted to
// and from ASCII, and the glyph helpers of the save icon.
//
// A title code is stored high byte first. The conversions hand codes around already swapped into
// that stored order, so a code read as a host (little-endian) u16 from the header's bytes is what
// Sys_TitleCodeToAscii takes and what Sys_AsciiToTitleCode gives.
#pragma once

#include <cstdint>

enum
{
    TITLE_CODES = 32,
    TITLE_GLYPH_BYTES = 128, // a 16x16 glyph at 4 bits a pixel
};

// Code of an ASCII character 32-126 in stored order; 0 for anything else.
uint16_t Sys_AsciiToTitleCode(int32_t ch);
// ASCII of a code in stored order; 0 when the code has none.
int32_t Sys_TitleCodeToAscii(uint16_t code);
// Copies n codes swapping the bytes of each; from the first 0 code on, dst is zero-filled.
void Sys_CopyTitleCodes(uint16_t *dst, const uint16_t *src, int32_t n);
// A 16x16 1-bit glyph (16 row words) as 128 bytes of 4-bit pixels, first pixel in the low nibble;
// each row is bits 7..0, then bits 15..8.
void Sys_GlyphTo4Bit(uint8_t *dst, const uint16_t *glyph);

// The icon texture where title glyphs go, and the codes last drawn there.
extern int16_t g_aTitleTextureRect[4]; // x, y, w, h in texture memory
extern uint16_t g_uTitleTexturePage;
extern uint16_t g_uTitleClut;
extern uint16_t g_auTitleCodes[TITLE_CODES];
extern int32_t g_bTitleFontReady;

void Sys_TitleFontSetup();
// Uploads the glyphs of n codes (at most TITLE_CODES) into the icon texture. The console system
// font has no glyphs here, so the pixels uploaded are blank; the codes are remembered.
void Sys_DrawTitleGlyphs(const uint16_t *codes, int32_t n);
// Builds a textured quad of one glyph in the 44-byte packet at arena address `packet` and links it
// into `entry`: screen corners x..x+w, y..y+h; texture 16x16 (8x8 when small) from u, v. -1 when
// the packet or the entry lies outside the arena.
int32_t Sys_DrawGlyphQuad(uint32_t entry, uint32_t packet, int32_t x, int32_t y, int32_t u, int32_t v,
                          int32_t w, int32_t h, int32_t small);
