// Interface fonts of the data folder, rendered from the system's DejaVu faces with FreeType:
// "gfx/fonts/<name>.bin" edge maps (a 64-byte header, then 4-bit sheet rows, low nibble left, 14 ink,
// 15 = cell edge) and the sheet picture whose inked texels the text is drawn from.
//
// Every sheet is CONTENT_FONT_SHEET_WIDTH texels wide and starts at the left of its page; its
// lines of cells hold the 135 glyphs: '!' .. '~', then the accented letters of the text
// alphabet at the glyph numbers the glyph map gives them.
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int CONTENT_FONT_SHEET_WIDTH = 256;

struct CONTENTFONT
{
    std::string name;   // file name without ".bin"
    std::string face;   // DejaVu face file
    int pixels;         // nominal pixel size
};

struct FONTSHEET
{
    int width = 0;               // texels
    int rows = 0;                // rows of the sheet, separator rows included
    int height = 0;              // cell height
    std::vector<uint8_t> texels; // width x rows: 0 background, 1..14 ink, 15 edge
    std::vector<uint8_t> file;   // the .bin file
};

extern const CONTENTFONT g_atContentFonts[5];

// Renders one font's sheet; false (with a reason) when the face cannot be read.
bool Content_RenderFontSheet(const CONTENTFONT &font, FONTSHEET &sheet, std::string &err);
// All fonts, as data-folder files; empty with a reason on failure.
std::vector<CONTENTFILE> Content_FontFiles(std::string &err);
