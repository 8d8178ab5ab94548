#include "tools/fontcontent.h"

#include "tools/interfaceset.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

const CONTENTFONT g_atContentFonts[5] = {
    {"tonnivels", "DejaVuSans.ttf", 11},
    {"tonnipro", "DejaVuSans-Bold.ttf", 11},
    {"tonnivel", "DejaVuSans.ttf", 12},
    {"teeny", "DejaVuSansCondensed.ttf", 8},
    {"weewee", "DejaVuSansCondensed-Bold.ttf", 9},
};

namespace {

constexpr int GLYPHS = 135;
constexpr int HEADER = 64;
constexpr uint8_t EDGE = 15;
const char *const kFaceDir = "/usr/share/fonts/truetype/dejavu/";

// The character drawn in each glyph after '~' (0 = an empty cell): the glyph map's letters, in
// Unicode.
uint32_t GlyphCharacter(int g)
{
    if (g < 94)
        return uint32_t(g + 33);
    static const struct
    {
        int glyph;
        uint32_t ch;
    } kAccents[] = {
        {96, 0xFC},  {97, 0xE9},  {98, 0xE2},  {99, 0xE4},  {100, 0xE0}, {102, 0xE7},  {103, 0xEA},
        {105, 0xE8}, {106, 0xEF}, {107, 0xEE}, {108, 0xEC}, {109, 0xC4}, {112, 0x153}, {114, 0xF4},
        {115, 0xF6}, {117, 0xFB}, {118, 0xF9}, {120, 0xD6}, {121, 0xDC}, {124, 0x2122}, {127, 0xE1},
        {128, 0xCD}, {129, 0xF3}, {130, 0xFA}, {131, 0xF1}, {133, 0xDF},
    };
    for (const auto &a : kAccents)
        if (a.glyph == g)
            return a.ch;
    return 0;
}

struct Cell
{
    int width = 1;
    std::vector<uint8_t> ink; // width x height, 0 or 1..14
};

} // namespace

bool Content_RenderFontSheet(const CONTENTFONT &font, FONTSHEET &sheet, std::string &err)
{
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    const std::string path = std::string(kFaceDir) + font.face;
    if (FT_Init_FreeType(&lib) != 0) {
        err = "FreeType cannot start";
        return false;
    }
    if (FT_New_Face(lib, path.c_str(), 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, FT_UInt(font.pixels)) != 0) {
        err = path + ": cannot read the face";
        FT_Done_FreeType(lib);
        return false;
    }
    const int ascent = int(face->size->metrics.ascender >> 6);
    const int height = std::max(1, ascent - int(face->size->metrics.descender >> 6));

    std::vector<Cell> cells(GLYPHS);
    for (int g = 0; g < GLYPHS; ++g) {
        Cell &c = cells[size_t(g)];
        const uint32_t ch = GlyphCharacter(g);
        if (!ch || FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
            c.ink.assign(size_t(height), 0);
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap &bm = slot->bitmap;
        const int left = std::max(0, slot->bitmap_left);
        // The pen adds one column after every glyph, so the cell is the advance less that gap.
        c.width = std::clamp(std::max(int(slot->advance.x >> 6) - 1, left + int(bm.width)), 1, 60);
        c.ink.assign(size_t(c.width * height), 0);
        for (unsigned r = 0; r < bm.rows; ++r)
            for (unsigned x = 0; x < bm.width; ++x) {
                const int cx = left + int(x), cy = ascent - slot->bitmap_top + int(r);
                if (cx >= c.width || cy < 0 || cy >= height)
                    continue;
                // Hinted on/off pixels: the sheet is drawn through a mask, so grey levels would
                // only thin the small sizes' strokes away.
                const uint8_t *row = bm.buffer + r * unsigned(std::abs(bm.pitch));
                const bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x / 8] >> (7 - x % 8)) & 1 : row[x] >= 128;
                if (on)
                    c.ink[size_t(cy * c.width + cx)] = 14;
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    // Lines of cells, each glyph followed by an edge column, a row of edges under each line.
    const int w = CONTENT_FONT_SHEET_WIDTH;
    std::vector<std::vector<int>> lines(1);
    int used = 0;
    for (int g = 0; g < GLYPHS; ++g) {
        if (used + cells[size_t(g)].width + 1 > w) {
            lines.emplace_back();
            used = 0;
        }
        lines.back().push_back(g);
        used += cells[size_t(g)].width + 1;
    }
    sheet.width = w;
    sheet.height = height;
    sheet.rows = int(lines.size()) * (height + 1);
    sheet.texels.assign(size_t(w * sheet.rows), EDGE);
    for (size_t l = 0; l < lines.size(); ++l) {
        int x = 0;
        for (int g : lines[l]) {
            const Cell &c = cells[size_t(g)];
            for (int r = 0; r < height; ++r)
                for (int i = 0; i < c.width; ++i)
                    sheet.texels[size_t((int(l) * (height + 1) + r) * w + x + i)] = c.ink[size_t(r * c.width + i)];
            x += c.width + 1;
        }
    }
    sheet.file.assign(HEADER, 0);
    for (int r = 0; r < sheet.rows; ++r)
        for (int x = 0; x < w; x += 2) {
            const uint8_t *t = &sheet.texels[size_t(r * w + x)];
            sheet.file.push_back(uint8_t(t[0] | (t[1] << 4)));
        }
    return true;
}

std::vector<CONTENTFILE> Content_FontFiles(std::string &err)
{
    // The files come from the sheets the interface pictures were drawn from.
    const INTERFACESET &set = Content_InterfaceSet();
    if (set.fontFiles.empty())
        err = set.error;
    return set.fontFiles;
}
