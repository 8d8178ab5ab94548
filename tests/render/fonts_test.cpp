// Fonts: cell measuring from edge-marked font files, glyph lookup, measuring, the glyph packets
// of each drawing function, and text walked into the layer by the real rasteriser.
#include "render_fixture.h"

#include "core/disc.h"
#include "core/file.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "support/tempdir.h"
#include "support/testlayer.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

using namespace rendertest;

namespace {

// A font file over a sheet `width` texels wide: lines of cells `height` rows high, each glyph its
// columns of `ink` then one edge column, the rest of the line edge columns, and a row of edges
// under every line.
struct FontFile
{
    int width;
    int height;
    std::vector<std::vector<int>> lines; // glyph widths per line
    uint8_t ink = 1;

    std::vector<uint8_t> Bytes() const
    {
        const size_t rowBytes = size_t(width) / 2;
        std::vector<uint8_t> out(FONT_HEADER_BYTES, 0xAB); // the header is never read
        auto put = [&](std::vector<uint8_t> &row) {
            for (size_t c = 0; c < rowBytes; ++c)
                out.push_back(uint8_t(row[2 * c] | (row[2 * c + 1] << 4)));
        };
        for (const auto &line : lines) {
            std::vector<uint8_t> row(size_t(width) + 1, 15);
            int c = 0;
            for (int w : line) {
                for (int i = 0; i < w && c < width; ++i)
                    row[size_t(c++)] = ink;
                ++c; // the edge column
            }
            for (int r = 0; r < height; ++r)
                put(row);
            std::vector<uint8_t> edges(size_t(width) + 1, 15);
            put(edges);
        }
        return out;
    }
};

// The widths 2..5 in turn, packed into lines of a 64-texel sheet: 135 glyphs.
FontFile FixtureFont()
{
    FontFile f{64, 7, {}};
    std::vector<int> line;
    int used = 0;
    for (int g = 0; g < FONT_GLYPHS; ++g) {
        const int w = 2 + g % 4;
        if (used + w + 1 > f.width) {
            f.lines.push_back(line);
            line.clear();
            used = 0;
        }
        line.push_back(w);
        used += w + 1;
    }
    f.lines.push_back(line);
    return f;
}

class FontTest : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        m_images.assign(710, IMAGEREC{});
        m_images[0].clut = 0x7C21;
        m_images[1] = Sheet(16, 8, 64, 0x0003);
        m_images[2] = Sheet(80, 40, 64, 0x0004);
        m_images[2].related = 3;
        m_images[3].clut = 0x7C42;
        m_images[261] = Sheet(0, 128, 64, 0x0005);
        m_images[700] = Sheet(100, 0, 12, 0x0006);
        m_images[700].clut = 0x5555;
        m_images[705] = Sheet(120, 0, 9, 0x0007);
        m_savedTable = g_pImageTable;
        m_savedCount = g_iImageCount;
        g_pImageTable = m_images.data();
        g_iImageCount = int32_t(m_images.size());
        m_savedMain = g_tFontMain;
        m_savedAlt = g_tFontAlt;
        g_tFontMain = FONT{};
        g_tFontAlt = FONT{};
        g_pFont = &g_tFontAlt;
        g_uiTextColour = 0x7F7F7F;
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", m_dir.Path().c_str());
        Sys_DiscInit();
    }
    void TearDown() override
    {
        g_pImageTable = m_savedTable;
        g_iImageCount = m_savedCount;
        g_tFontMain = m_savedMain;
        g_tFontAlt = m_savedAlt;
        g_szDataDir[0] = 0;
        RenderTest::TearDown();
    }
    static IMAGEREC Sheet(uint8_t u, uint8_t v, int16_t width, uint16_t page)
    {
        IMAGEREC r{};
        r.u = u;
        r.v = v;
        r.width = width;
        r.height = 100;
        r.page = page;
        return r;
    }
    void Write(const std::string &name, const std::vector<uint8_t> &bytes)
    {
        const std::string path = m_dir.File(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteTextFile(path, std::string(bytes.begin(), bytes.end()));
    }
    // A font measured straight from bytes over sheet image 1.
    static FONT Parsed(const FontFile &f)
    {
        FONT font{};
        const std::vector<uint8_t> bytes = f.Bytes();
        EXPECT_EQ(Gfx_ParseFont(bytes.data(), bytes.size(), &g_pImageTable[1], 0x7C21, &font), 0);
        return font;
    }

    TempDir m_dir;
    std::vector<IMAGEREC> m_images;
    FONT m_savedMain{}, m_savedAlt{};
    IMAGEREC *m_savedTable = nullptr;
    int32_t m_savedCount = 0;
};

// ---- glyph lookup ----

TEST(Glyphs, CodesMapToGlyphs)
{
    struct
    {
        uint8_t code;
        int32_t glyph;
    } cases[] = {
        {'!', 0}, {'A', 32}, {'c', FONT_BLANK_GLYPH}, {'~', 93}, {0x7F, 0}, {0x80, 0}, {0xFF, 0},
        {0xE9, 97}, {0xC9, 97}, {0x85, 13}, {0x8C, 108}, {0xEC, 108}, {0x99, 124}, {0xDF, 133},
        {0xFC, 96}, {0xBF, 30}, {0xA1, 72}, {0xD3, 46}, {0xC0, 32}, {0xC1, 32},
        // Not part of the text alphabet.
        {' ', -1}, {0x01, -1}, {'\n', -1}, {0x1F, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Gfx_GlyphIndex(c.code), c.glyph) << int(c.code);
    int mapped = 0;
    for (int code = 127; code < 256; ++code)
        mapped += g_abGlyphMap[code] != 0;
    EXPECT_EQ(mapped, 36);
}

// ---- measuring the cells ----

TEST_F(FontTest, ThreeGlyphLineGivesColumnCountsAndNextGlyphOnTheNextLine)
{
    // Every line: glyphs of 3, 4 and 5 columns with single edges, filling the 14-texel row; 45
    // lines reach all 135 glyphs.
    FontFile f{14, 3, std::vector<std::vector<int>>(45, {3, 4, 5})};
    m_images[1] = Sheet(16, 8, 14, 0x0003);
    const FONT font = Parsed(f);
    EXPECT_EQ(font.sheet, &m_images[1]);
    struct
    {
        int g, u, v, w;
    } cases[] = {
        {0, 16, 8, 3},    {1, 20, 8, 4},    {2, 25, 8, 5},   {3, 16, 12, 3}, {4, 20, 12, 4},
        {5, 25, 12, 5},   {132, 16, 184, 3}, {133, 20, 184, 4},
        {134, 25, 184, 1}, // the last glyph is never grown
    };
    for (const auto &c : cases) {
        EXPECT_EQ(font.source[c.g].u, c.u) << c.g;
        EXPECT_EQ(font.source[c.g].v, c.v) << c.g;
        EXPECT_EQ(font.source[c.g].clut, 0x7C21) << c.g;
        EXPECT_EQ(font.size[c.g].width, c.w) << c.g;
        EXPECT_EQ(font.size[c.g].height, 3) << c.g;
    }
}

TEST_F(FontTest, RunsOfEdgesAndPaddedLinesAreSkipped)
{
    // Glyph widths 2..5 packed into a 64-texel sheet; lines end in padding edges.
    const FontFile f = FixtureFont();
    const FONT font = Parsed(f);
    int g = 0, v = 8;
    for (const auto &line : f.lines) {
        int u = 16;
        for (int w : line) {
            ASSERT_EQ(font.source[g].u, u) << g;
            ASSERT_EQ(font.source[g].v, v) << g;
            if (g < FONT_GLYPHS - 1) {
                ASSERT_EQ(font.size[g].width, w) << g;
            }
            u += w + 1;
            ++g;
        }
        v += f.height + 1;
    }
    EXPECT_EQ(g, FONT_GLYPHS);
}

// ---- broken font files ----

TEST_F(FontTest, BrokenFontFilesAreRefusedAndTheRecordStays)
{
    const std::vector<uint8_t> good = FixtureFont().Bytes();
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + ptrdiff_t(n)); };
    FontFile tallCells{64, 300, {{3, 4}}};
    const size_t lineBytes = 32 * 8;
    FontFile edgeFirst{64, 4, {{0, 3, 4}}}; // texel 0 is an edge: no cell height
    FontFile tooFewGlyphs = FixtureFont();
    tooFewGlyphs.lines.pop_back();
    FontFile allEdges{64, 4, std::vector<std::vector<int>>(40, std::vector<int>{})};
    struct
    {
        const char *name;
        std::vector<uint8_t> bytes;
        int16_t sheetWidth;
        uint8_t sheetU;
    } cases[] = {
        {"empty", {}, 64, 16},
        {"header only", cut(64), 64, 16},
        {"first row only", cut(64 + 32), 64, 16},
        {"cut in the last line's top row", cut(64 + lineBytes * (FixtureFont().lines.size() - 1) + 16), 64, 16},
        {"no separator row", cut(64 + 32 * 5), 64, 16},
        {"cells taller than the page", tallCells.Bytes(), 64, 16},
        {"edge at texel 0", edgeFirst.Bytes(), 64, 16},
        {"too few glyphs", tooFewGlyphs.Bytes(), 64, 16},
        {"only edges", allEdges.Bytes(), 64, 16},
        {"sheet width 0", good, 0, 16},
        {"sheet width 1", good, 1, 16},
        {"negative sheet width", good, -64, 16},
        {"sheet past its page", good, 250, 16},
    };
    for (const auto &c : cases) {
        m_images[1].width = c.sheetWidth;
        m_images[1].u = c.sheetU;
        FONT font{};
        font.size[5].width = 99;
        EXPECT_EQ(Gfx_ParseFont(c.bytes.data(), c.bytes.size(), &m_images[1], 1, &font), -1) << c.name;
        EXPECT_EQ(font.sheet, nullptr) << c.name;
        EXPECT_EQ(font.size[5].width, 99) << c.name;

        Write("gfx/fonts/broken.bin", c.bytes);
        g_tFontAlt = FONT{};
        g_tFontAlt.sheet = &m_images[1];
        g_tFontAlt.size[5].width = 99;
        g_uiTextColour = 0x102030;
        EXPECT_EQ(Gfx_LoadFont("gfx\\fonts\\broken.bin"), -1) << c.name;
        EXPECT_EQ(g_tFontAlt.size[5].width, 99) << c.name;
        EXPECT_EQ(g_uiTextColour, 0x102030u) << c.name;
        EXPECT_NE(std::strstr(g_szErrorText, "broken.bin"), nullptr) << c.name;
    }
}

TEST_F(FontTest, LoadingReadsTheFileAndResetsTheColour)
{
    Write("gfx/fonts/tonnivels.bin", FixtureFont().Bytes());
    g_tFontAlt.sheet = &m_images[2];
    g_uiTextColour = 0x102030;
    ASSERT_EQ(Gfx_LoadFont("gfx\\fonts\\tonnivels.bin"), 0);
    EXPECT_EQ(g_uiTextColour, 0x7F7F7Fu);
    EXPECT_EQ(g_tFontAlt.source[0].u, 80);
    EXPECT_EQ(g_tFontAlt.source[0].v, 40);
    EXPECT_EQ(g_tFontAlt.source[1].clut, 0x7C42); // the related record's CLUT word
    EXPECT_EQ(Gfx_GetFontHeight(), 7);

    // A missing file leaves the record and the colour as they were.
    const FONT before = g_tFontAlt;
    g_uiTextColour = 0x102030;
    EXPECT_EQ(Gfx_LoadFont("gfx\\fonts\\missing.bin"), -1);
    EXPECT_EQ(std::memcmp(&before, &g_tFontAlt, sizeof(FONT)), 0);
    EXPECT_EQ(g_uiTextColour, 0x102030u);
}

TEST_F(FontTest, FontsOfEachScreenGraphicsSetAreBound)
{
    Write("gfx/fonts/tonnivels.bin", FixtureFont().Bytes());
    FontFile pro = FixtureFont();
    pro.height = 9;
    Write("gfx/fonts/tonnipro.bin", pro.Bytes());
    struct
    {
        int32_t set;
        int main, alt, altHeight;
    } cases[] = {{0, 1, 2, 9}, {1, 261, 261, 7}};
    for (const auto &c : cases) {
        g_tFontMain = g_tFontAlt = FONT{};
        g_pFont = &g_tFontMain;
        Gfx_LoadFonts(c.set);
        EXPECT_EQ(g_pFont, &g_tFontAlt) << c.set;
        EXPECT_EQ(g_tFontMain.sheet, &m_images[size_t(c.main)]) << c.set;
        EXPECT_EQ(g_tFontAlt.sheet, &m_images[size_t(c.alt)]) << c.set;
        EXPECT_EQ(g_tFontMain.size[0].height, 7) << c.set;
        EXPECT_EQ(g_tFontAlt.size[0].height, c.altHeight) << c.set;
        EXPECT_EQ(g_tFontMain.source[0].u, m_images[size_t(c.main)].u) << c.set;
    }
    // Another set number does nothing.
    const FONT before = g_tFontMain;
    g_pFont = &g_tFontMain;
    Gfx_LoadFonts(2);
    EXPECT_EQ(g_pFont, &g_tFontMain);
    EXPECT_EQ(std::memcmp(&before, &g_tFontMain, sizeof(FONT)), 0);
    // Without the sheet images (no set loaded) the fonts stay as they were.
    g_iImageCount = 0;
    Gfx_LoadFonts(0);
    EXPECT_EQ(std::memcmp(&before, &g_tFontMain, sizeof(FONT)), 0);
}

// The interface image bindings follow the set; images the table lacks bind to null / 0.
TEST_F(FontTest, LoadingBindsTheInterfaceImagesOfTheSet)
{
    m_images.resize(820);
    for (size_t n = 0; n < m_images.size(); n++)
        m_images[n].related = uint16_t(5000 + n);
    g_pImageTable = m_images.data();
    g_iImageCount = int32_t(m_images.size());
    struct
    {
        int32_t slot, set0, set1;
    } const slots[] = {{0, 107, 270}, {3, 106, 269}, {5, 693, 271}, {10, 302, 254}, {11, 691, 267},
                       {16, 300, 252}, {17, 782, 256}, {21, 428, 259}};
    Gfx_LoadFonts(0);
    for (const auto &c : slots)
        EXPECT_EQ(g_apUiImages[c.slot], &m_images[size_t(c.set0)]) << c.slot;
    EXPECT_EQ(g_apUiImages[4], &m_images[102]);
    // Border piece p of style s: record base + 3p + s, base 784.
    EXPECT_EQ(g_ausWindowFrameImages[0], 5000 + 784);
    EXPECT_EQ(g_ausWindowFrameImages[1], 5000 + 787);
    EXPECT_EQ(g_ausWindowFrameImages[9], 5000 + 785);
    EXPECT_EQ(g_ausWindowFrameImages[26], 5000 + 784 + 24 + 2);
    EXPECT_EQ(g_iUiExtraImage, 5000 + 109);
    EXPECT_EQ(m_images[413].page & 0x40, 0x40);

    g_iUiExtraImage = 7;
    Gfx_LoadFonts(1);
    for (const auto &c : slots)
        EXPECT_EQ(g_apUiImages[c.slot], &m_images[size_t(c.set1)]) << c.slot;
    EXPECT_EQ(g_apUiImages[4], &m_images[102]); // set 1 leaves slot 4
    EXPECT_EQ(g_ausWindowFrameImages[0], 5000 + 275);
    EXPECT_EQ(g_ausWindowFrameImages[18], 5000 + 277);
    EXPECT_EQ(g_iUiExtraImage, 7);

    // A short table: what it lacks binds to nothing.
    g_iImageCount = 690;
    Gfx_LoadFonts(0);
    EXPECT_EQ(g_apUiImages[0], &m_images[107]);
    EXPECT_EQ(g_apUiImages[8], nullptr);  // 695
    EXPECT_EQ(g_apUiImages[17], nullptr); // 782
    EXPECT_EQ(g_ausWindowFrameImages[0], 0);
}

// ---- measuring and drawing ----

// A font whose glyph g is g % 7 + 1 wide (glyph 66, the blank, 4), the glyphs of 'A' 5 and 'B' 6.
FONT MeasuredFont(IMAGEREC *sheet)
{
    FONT f{};
    f.sheet = sheet;
    for (int g = 0; g < FONT_GLYPHS; ++g) {
        f.source[g] = {uint8_t(g), uint8_t(g * 2), uint16_t(0x4000 + g)};
        f.size[g] = {int16_t(g % 7 + 1), 9};
    }
    f.size[FONT_BLANK_GLYPH].width = 4;
    f.size['A' - 33].width = 5;
    f.size['B' - 33].width = 6;
    return f;
}

TEST_F(FontTest, TextIsMeasuredGlyphByGlyph)
{
    g_tFontAlt = MeasuredFont(&m_images[1]);
    const std::string longText(300, 'A');
    struct
    {
        std::string text;
        int32_t width, withIcons;
    } cases[] = {
        {"A B", 17, 17},
        {"", 0, 0},
        {" ", 4, 4},
        {"AA", 12, 12},
        {"\xE9", 97 % 7 + 2, 97 % 7 + 2},
        {"\x80", 2, 2},       // glyph 0
        {"A\x01\nB", 13, 13}, // codes outside the alphabet take no room
        // '~' is glyph 93 (4 wide with its gap), 'n' 77 (2), 'a' 64 (3), 'b' 65 (4), 'z' 89 (7).
        {"~n", 4 + 2, 12},
        {"A~a", 6 + 4 + 3, 6 + 9},
        {"~b", 4 + 4, 0}, // icon b is image 0, which is empty
        {"A~", 6 + 4, 6},  // a '~' at the end is nothing
        {"~zA", 4 + 7 + 6, 6},
        {longText, 300 * 6, 300 * 6},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Gfx_GetTextWidth(c.text.c_str()), c.width) << c.text;
        EXPECT_EQ(Gfx_GetTextWithIconsWidth(c.text.c_str()), c.withIcons) << c.text;
    }
    EXPECT_EQ(Gfx_GetFontHeight(), 9);
}

struct Glyph
{
    uint8_t r, g, b, code;
    int16_t x, y;
    uint8_t u, v;
    uint16_t clut;
    int16_t w, h;
};

// The packets of an entry in drawing order, as (kind, fields): the draw mode as its page word.
std::vector<std::string> Packets(uint32_t entry, uint32_t stop)
{
    std::vector<std::string> out;
    uint32_t at = Sys_ArenaReadWord(entry);
    for (int n = 0; at != stop && at != CONSOLE_LINK_END && n < 1000; ++n) {
        const uint8_t *p = Sys_ArenaPtr(at, 12);
        if (!p)
            break;
        char buf[96];
        uint32_t length = 0;
        std::memcpy(&length, p + 4, 4);
        if ((p[11] & 0xFC) == 0xE0) {
            uint32_t mode = 0;
            std::memcpy(&mode, p + 8, 4);
            if (length == DRAW_MODE_SPRITE) {
                PACKET_DRAW_MODE_SPRITE_T s;
                std::memcpy(&s, Sys_ArenaPtr(at, sizeof(s)), sizeof(s));
                std::snprintf(buf, sizeof(buf), "icon page %04X at %d,%d uv %d,%d %dx%d tint %d", mode & 0xFFFF, s.x, s.y,
                              s.u, s.v, s.w, s.h, s.r);
            } else {
                std::snprintf(buf, sizeof(buf), "mode %04X", mode & 0xFFFF);
            }
        } else {
            Glyph gl;
            std::memcpy(&gl, Sys_ArenaPtr(at, 24) + 8, sizeof(gl));
            std::snprintf(buf, sizeof(buf), "%02X len %u rgb %d,%d,%d at %d,%d uv %d,%d clut %04X %dx%d", gl.code,
                          length, gl.r, gl.g, gl.b, gl.x, gl.y, gl.u, gl.v, gl.clut, gl.w, gl.h);
        }
        out.emplace_back(buf);
        std::memcpy(&at, p, 4);
    }
    return out;
}

class TextPackets : public FontTest
{
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        g_tFontAlt = MeasuredFont(&m_images[1]);
        g_uiTextColour = 0x30201F;
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        m_entry = Entry(1, 0);
        g_pOrderingTable = Entry(1, 1);
        m_stop = Sys_ArenaReadWord(m_entry);
        m_iconStop = Sys_ArenaReadWord(g_pOrderingTable);
    }
    void TearDown() override
    {
        g_pOrderingTable = 0;
        FontTest::TearDown();
    }
    std::vector<std::string> Drawn() const { return Packets(m_entry, m_stop); }
    std::vector<std::string> Icons() const { return Packets(g_pOrderingTable, m_iconStop); }
    uint32_t m_entry = 0, m_stop = 0, m_iconStop = 0;
};

TEST_F(TextPackets, GlyphsAreDrawnAfterTheDrawModeLastCharacterFirst)
{
    const uint32_t cursor = g_pPacketCursor;
    Gfx_DrawText("A \xE9\x01\x80", 10, 20, m_entry);
    EXPECT_EQ(g_pPacketCursor - cursor, 3u * 24 + 12);
    const std::vector<std::string> want = {
        "mode 0003",
        "A4 len 5 rgb 31,32,48 at 28,20 uv 0,0 clut 4000 1x9",       // 0x80: glyph 0
        "A4 len 5 rgb 31,32,48 at 20,20 uv 97,194 clut 4061 7x9",    // 0xE9: glyph 97
        "A4 len 5 rgb 31,32,48 at 10,20 uv 32,64 clut 4020 5x9",     // 'A'
    };
    EXPECT_EQ(Drawn(), want);
}

TEST_F(TextPackets, EmptyTextDrawsOnlyTheDrawMode)
{
    Gfx_DrawText("", 10, 20, m_entry);
    EXPECT_EQ(Drawn(), std::vector<std::string>{"mode 0003"});
}

TEST_F(TextPackets, AlignedTextStartsWhereItsWidthSays)
{
    g_iScreenWidth = 640;
    struct
    {
        const char *name;
        std::function<void()> draw;
        int16_t x;
    } cases[] = {
        {"centred", [&] { EXPECT_EQ(Gfx_DrawTextCentred("A B", 100, 5, m_entry), 17); }, 92},
        {"right", [&] { Gfx_DrawTextRight("A B", 100, 5, m_entry); }, 83},
        {"centred on screen", [&] { Gfx_DrawTextCentredOnScreen("A B", 5, m_entry); }, 320 - 8},
        {"centred, negative", [&] { Gfx_DrawTextCentred("A B", -1, 5, m_entry); }, -1 - 8},
        {"on screen, negative", [&] { Gfx_DrawTextCentredOnScreen("A B", 5, m_entry); }, -3 / 2 - 17 / 2},
    };
    for (auto &c : cases) {
        if (std::string(c.name) == "on screen, negative")
            g_iScreenWidth = -3;
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        m_stop = Sys_ArenaReadWord(m_entry);
        c.draw();
        const std::vector<std::string> drawn = Drawn();
        ASSERT_EQ(drawn.size(), 3u) << c.name;
        char want[64];
        std::snprintf(want, sizeof(want), "at %d,5 ", c.x);
        EXPECT_NE(drawn.back().find(want), std::string::npos) << c.name << ": " << drawn.back();
    }
    g_iScreenWidth = 640;
}

TEST_F(TextPackets, IconsGoToTheInterfaceEntryBetweenGlyphRuns)
{
    Gfx_DrawTextWithIcons("A~nB~z~", 10, 20, m_entry);
    const std::vector<std::string> want = {
        "mode 0003",
        "64 len 5 rgb 31,32,48 at 28,20 uv 33,66 clut 4021 6x9", // 'B' after the icon's 12 columns
        "mode 0003",
        "64 len 5 rgb 31,32,48 at 10,20 uv 32,64 clut 4020 5x9",
    };
    EXPECT_EQ(Drawn(), want);
    EXPECT_EQ(Icons(), std::vector<std::string>{"icon page 0406 at 16,21 uv 100,0 12x100 tint 128"});
    // The plain functions take '~' and 'n' as two glyphs.
    EXPECT_EQ(Gfx_GetTextWidth("~n"), 6);
}

TEST_F(TextPackets, ImmediateTextLinksNothing)
{
    const uint32_t cursor = g_pPacketCursor;
    Gfx_DrawTextNow("AB", 1, 2);
    Gfx_DrawTextNowCentred("AB", 100, 2);
    EXPECT_EQ(g_pPacketCursor, cursor);
    EXPECT_TRUE(Drawn().empty());
}

TEST_F(TextPackets, AFullPacketAreaDropsGlyphsButKeepsThePen)
{
    const uint32_t end = g_pPacketEnd;
    g_pPacketEnd = g_pPacketCursor + 24 + 12;
    Gfx_DrawText("AB", 10, 20, m_entry);
    g_pPacketEnd = end;
    const std::vector<std::string> want = {"mode 0003", "A4 len 5 rgb 31,32,48 at 10,20 uv 32,64 clut 4020 5x9"};
    EXPECT_EQ(Drawn(), want);
}

// ---- text in the layer ----

class TextPicture : public FontTest
{
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        g_tRasterRoutines = g_tDefaultRasterRoutines;
        Gfx_ResetDrawState();
        m_texels = std::make_unique<TestTexels>();
        TestLayer_SetUp(PIXELFORMAT_565);
    }
    void TearDown() override
    {
        g_pClutSource = nullptr;
        FontTest::TearDown();
    }
    // The font's glyph cells inked with a pattern of their own on a transparent page.
    void InkGlyphs(const FONT &f)
    {
        for (int v = 0; v < 256; ++v)
            for (int u = 0; u < 256; ++u)
                m_texels->Set(u, v, 0, 0xFFFF);
        for (int g = 0; g < FONT_GLYPHS; ++g)
            for (int j = 0; j < f.size[g].height; ++j)
                for (int i = 0; i < f.size[g].width; ++i)
                    if ((i * 3 + j * 5 + g) % 3 != 0)
                        m_texels->Set(f.source[g].u + i, f.source[g].v + j, 0xFFFF, 0);
        g_pClutSource = m_texels->words;
    }
    // Draws through a fresh frame's last entry of the first table and walks it.
    void Walk(const std::function<void(uint32_t)> &build)
    {
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        const uint32_t entry = Entry(0, List(0).count - 1);
        build(entry);
        Gfx_DrawOrderingTable(entry);
    }
    std::unique_ptr<TestTexels> m_texels;
};

TEST_F(TextPicture, TextIsDrawnTintedAndClippedToItsField)
{
    Write("gfx/fonts/tonnivels.bin", FixtureFont().Bytes());
    g_pFont = &g_tFontAlt;
    g_tFontAlt.sheet = &m_images[1];
    ASSERT_EQ(Gfx_LoadFont("gfx\\fonts\\tonnivels.bin"), 0);
    InkGlyphs(g_tFontAlt);
    TestLayer_Fill(0x18E3);

    const std::string longText = "The quick brown fox jumps over the lazy dog; " + std::string(200, 'W');
    Walk([&](uint32_t e) {
        g_uiTextColour = 0x808080;
        Gfx_DrawText("Hello, World! 0123 ~n", 20, 20, e);
        g_uiTextColour = 0x004080;
        Gfx_DrawText("\xE9t\xE9 \xC4\xD6\xDC \x80\x01\x85", 20, 40, e);
        g_uiTextColour = 0x40FF10;
        Gfx_DrawTextRight("right edge", 620, 60, e);
        Gfx_DrawText("off the right", 600, 80, e);
        Gfx_DrawText("off the left", -10, 100, e);
        Gfx_DrawText("off the top", 300, -3, e);
        Gfx_DrawText("off the bottom", 300, 476, e);
    });
    // A field of 200 x 12 at (100, 200): the long text is cut at its edges.
    Walk([&](uint32_t e) {
        g_uiTextColour = 0x808080;
        Gfx_DrawText(longText.c_str(), 90, 202, e);
        const int16_t field[4] = {100, 200, 200, 12};
        if (uint8_t *p = Gfx_AddPacket(e, 16))
            Gfx_SetDrawAreaPacket(p, field);
    });
    EXPECT_TRUE(TestLayer_GuardsIntact());
    EXPECT_TRUE(TestLayer_MatchesGolden("fonts_text", 0xC67822D86EA5D1E0));
    // Nothing of the long text lies outside its field.
    for (int x = 0; x < 640; ++x) {
        ASSERT_EQ(TestLayer_Pixel(x, 199), 0x18E3) << x;
        ASSERT_EQ(TestLayer_Pixel(x, 212), 0x18E3) << x;
    }
    for (int y = 200; y < 212; ++y) {
        ASSERT_EQ(TestLayer_Pixel(99, y), 0x18E3) << y;
        ASSERT_EQ(TestLayer_Pixel(300, y), 0x18E3) << y;
    }
    Gfx_ResetDrawState();
}

} // namespace
