#include "core/savetitle.h"

#include "core/consolelib.h"
#include "render/ordertable.h"

#include <cstring>

int16_t g_aTitleTextureRect[4];
uint16_t g_uTitleTexturePage;
uint16_t g_uTitleClut;
uint16_t g_auTitleCodes[TITLE_CODES];
int32_t g_bTitleFontReady;

namespace {

struct PUNCTROW
{
    char ch;
    uint16_t code;
};

// ASCII to code; the reverse lookup walks the same rows without the last.
const PUNCTROW kPunctuation[33] = {
    {' ', 0x8140}, {'!', 0x8149}, {'"', 0x8168}, {'#', 0x8194}, {'$', 0x8190}, {'%', 0x8193},
    {'&', 0x8195}, {'\'', 0x8166}, {'(', 0x8169}, {')', 0x816A}, {'*', 0x8196}, {'+', 0x817B},
    {',', 0x8143}, {'-', 0x817C}, {'.', 0x8144}, {'/', 0x815E}, {':', 0x8146}, {';', 0x8147},
    {'<', 0x8171}, {'=', 0x8181}, {'>', 0x8172}, {'?', 0x8148}, {'@', 0x8197}, {'[', 0x816D},
    {'\\', 0x818F}, {']', 0x816E}, {'^', 0x814F}, {'_', 0x8151}, {'`', 0x8165}, {'{', 0x816F},
    {'|', 0x8162}, {'}', 0x8170}, {'~', 0x8150},
};

// Brackets the console font lacks come back as round ones, and two marks as space or dash.
int32_t ReverseChar(char ch)
{
    switch (ch) {
    case '<':
    case '[':
    case '{':
        return '(';
    case '>':
    case ']':
    case '}':
        return ')';
    case '^':
    case '|':
        return ' ';
    case '_':
        return '-';
    default:
        return ch;
    }
}

uint16_t Swap(uint16_t v)
{
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}

// Where the title glyphs and their palette sit in texture memory: a 60 x 46 word area (15
// glyphs of 4 words a row, three rows of 15 lines) and a 16 x 1 palette below it.
constexpr int16_t TITLE_TEX_X = 896;
constexpr int16_t TITLE_TEX_Y = 256;
constexpr int16_t TITLE_TEX_W = 60;
constexpr int16_t TITLE_TEX_H = 46;
constexpr int16_t TITLE_CLUT_Y = TITLE_TEX_Y + 48;

// The console system font: no glyphs and never busy on this platform.
bool FontBusy()
{
    return false;
}

void FontGlyph(uint16_t /*code*/, uint16_t glyph[16])
{
    std::memset(glyph, 0, 16 * sizeof(uint16_t));
}

} // namespace

uint16_t Sys_AsciiToTitleCode(int32_t ch)
{
    uint16_t code = 0;
    if (ch >= '0' && ch <= '9')
        code = static_cast<uint16_t>(0x824F + (ch - '0'));
    else if (ch >= 'A' && ch <= 'Z')
        code = static_cast<uint16_t>(0x8260 + (ch - 'A'));
    else if (ch >= 'a' && ch <= 'z')
        code = static_cast<uint16_t>(0x8281 + (ch - 'a'));
    else if (ch >= 32 && ch <= 126) {
        for (const PUNCTROW &row : kPunctuation) {
            if (row.ch == ch) {
                code = row.code;
                break;
            }
        }
    }
    return Swap(code);
}

int32_t Sys_TitleCodeToAscii(uint16_t code)
{
    const uint16_t c = Swap(code);
    int32_t ch = 0;
    if (c >= 0x824F && c <= 0x8258)
        ch = '0' + (c - 0x824F);
    else if (c >= 0x8260 && c <= 0x8279)
        ch = 'A' + (c - 0x8260);
    else if (c >= 0x8281 && c <= 0x829A)
        ch = 'a' + (c - 0x8281);
    for (int i = 0; i < 32; i++) {
        if (kPunctuation[i].code == c)
            ch = ReverseChar(kPunctuation[i].ch);
    }
    return ch;
}

void Sys_CopyTitleCodes(uint16_t *dst, const uint16_t *src, int32_t n)
{
    if (!dst || !src)
        return;
    int32_t i = 0;
    for (; i < n; i++) {
        dst[i] = Swap(src[i]);
        if (dst[i] == 0) {
            i++;
            break;
        }
    }
    for (; i < n; i++)
        dst[i] = 0;
}

void Sys_GlyphTo4Bit(uint8_t *dst, const uint16_t *glyph)
{
    for (int row = 0; row < 16; row++) {
        const uint16_t w = glyph[row];
        uint8_t pixels[16];
        for (int i = 0; i < 8; i++) {
            pixels[i] = (w >> (7 - i)) & 1;
            pixels[8 + i] = (w >> (15 - i)) & 1;
        }
        for (int i = 0; i < 8; i++)
            dst[row * 8 + i] = static_cast<uint8_t>(pixels[2 * i] | (pixels[2 * i + 1] << 4));
    }
}

void Sys_TitleFontSetup()
{
    g_aTitleTextureRect[0] = TITLE_TEX_X;
    g_aTitleTextureRect[1] = TITLE_TEX_Y;
    g_aTitleTextureRect[2] = TITLE_TEX_W;
    g_aTitleTextureRect[3] = TITLE_TEX_H;
    g_uTitleTexturePage = Sys_TexturePageId(0, 0, TITLE_TEX_X, TITLE_TEX_Y);
    g_uTitleClut = Sys_ClutId(TITLE_TEX_X, TITLE_CLUT_Y);
    std::memset(g_auTitleCodes, 0, sizeof g_auTitleCodes);
    g_bTitleFontReady = 1;
}

void Sys_DrawTitleGlyphs(const uint16_t *codes, int32_t n)
{
    if (!codes || n <= 0)
        return;
    if (n > TITLE_CODES)
        n = TITLE_CODES;
    while (FontBusy()) {
    }
    for (int32_t i = 0; i < n; i++) {
        g_auTitleCodes[i] = codes[i];
        uint16_t glyph[16];
        uint8_t pixels[TITLE_GLYPH_BYTES];
        FontGlyph(codes[i], glyph);
        Sys_GlyphTo4Bit(pixels, glyph);
        const int16_t rect[4] = {static_cast<int16_t>(g_aTitleTextureRect[0] + (i % 15) * 4),
                                 static_cast<int16_t>(g_aTitleTextureRect[1] + (i / 15) * 15 + 1), 4, 15};
        Sys_LoadVramImage(rect, pixels);
        while (FontBusy()) {
        }
    }
}

int32_t Sys_DrawGlyphQuad(uint32_t entry, uint32_t packet, int32_t x, int32_t y, int32_t u, int32_t v,
                          int32_t w, int32_t h, int32_t small)
{
    uint8_t *p = Sys_ArenaPtr(packet, sizeof(PACKET_TEXTURED_QUAD_T));
    if (!p || !Sys_ArenaPtr(entry, 4))
        return -1;
    const int32_t t = small ? 8 : 16;
    PACKET_TEXTURED_QUAD_T q{};
    q.head.length = 10;
    q.head.r = q.head.g = q.head.b = 128;
    q.head.code = PACKET_TEXTURED_QUAD;
    q.x0 = static_cast<int16_t>(x);
    q.y0 = static_cast<int16_t>(y);
    q.x1 = static_cast<int16_t>(x + w);
    q.y1 = static_cast<int16_t>(y);
    q.x2 = static_cast<int16_t>(x);
    q.y2 = static_cast<int16_t>(y + h);
    q.x3 = static_cast<int16_t>(x + w);
    q.y3 = static_cast<int16_t>(y + h);
    q.u0 = q.u2 = static_cast<uint8_t>(u);
    q.u1 = q.u3 = static_cast<uint8_t>(u + t);
    q.v0 = q.v1 = static_cast<uint8_t>(v);
    q.v2 = q.v3 = static_cast<uint8_t>(v + t);
    q.clut = g_uTitleClut;
    q.page = g_uTitleTexturePage;
    std::memcpy(p, &q, sizeof q);
    return Sys_AddToOrderingTable(entry, packet) < 0 ? -1 : 0;
}
