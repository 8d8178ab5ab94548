// The 2D packet builders: their bytes, their order in an entry, a full packet area, and golden
// pictures of each builder drawn by the real walker and rasteriser from the built interface set.
#include "render_fixture.h"

#include "app/settings.h"
#include "app/startup.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "render/raster.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "support/testlayer.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace rendertest;

namespace {

std::string Hex(uint32_t addr, uint32_t bytes)
{
    std::string out;
    const uint8_t *p = Sys_ArenaPtr(addr, bytes);
    for (uint32_t i = 4; p && i < bytes; i++) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", p[i]);
        out += b;
        if (i % 4 == 3 && i + 1 < bytes)
            out += ' ';
    }
    return out;
}

class Prims2d : public RenderTest
{
protected:
    IMAGEREC m_images[3] = {};
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        g_pOrderingTable = Entry(0, 1);
        // Image 1 names image 2 as its CLUT owner.
        m_images[1] = {};
        m_images[1].u = 0x30;
        m_images[1].v = 0x40;
        m_images[1].width = 0x18;
        m_images[1].height = 0x10;
        m_images[1].page = 0x0F8B; // page 11, depth bit, semi-transparency bits, and bit 0x400
        m_images[1].clut = 0x1111;
        m_images[1].related = 2;
        m_images[2].clut = 0x7F31;
        g_pImageTable = m_images;
        g_iImageCount = 3;
    }
    void TearDown() override
    {
        g_pImageTable = nullptr;
        g_iImageCount = 0;
        g_pOrderingTable = 0;
        RenderTest::TearDown();
    }
    // The packets linked into the interface entry, newest first, as hex of bytes 4 on.
    std::vector<std::string> Linked(uint32_t stop = CONSOLE_LINK_END)
    {
        std::vector<std::string> out;
        uint32_t at = Sys_ArenaReadWord(g_pOrderingTable);
        for (int n = 0; at != stop && at != CONSOLE_LINK_END && n < 64; n++) {
            const uint32_t next = Sys_ArenaReadWord(at);
            const uint32_t bytes = (next != CONSOLE_LINK_END && next > at && next - at <= 44) ? next - at : 0;
            out.push_back(Hex(at, bytes ? bytes : 16));
            at = next;
        }
        return out;
    }
};

TEST_F(Prims2d, AddBuildersWriteTheirPacketBytes)
{
    const uint32_t end = Sys_ArenaReadWord(g_pOrderingTable);
    struct
    {
        const char *what;
        std::function<uint32_t()> build;
        uint32_t bytes;
        const char *hex;
    } cases[] = {
        {"tile", [] { return Gfx_AddTile(-3, 20, 300, 40, 1, 2, 3); }, 20, "04000000 01020360 FDFF1400 2C012800"},
        {"screen tile", [] { return Gfx_AddScreenTile(9, 8, 7); }, 20, "04000000 09080760 00000000 8002E001"},
        {"line", [] { return Gfx_AddLine(1, 2, 300, -4, 255, 0, 128); }, 20, "04000000 FF008040 01000200 2C01FCFF"},
        {"shaded", [] { return Gfx_AddShadedRect(10, 20, 30, 40, 90, 80, 70); }, 40,
         "09000000 00000038 0A001400 5A504600 28001400 00000000 0A003C00 5A504600 28003C00"},
        {"draw area", [] { return Gfx_AddDrawArea(12, 34, 200, 100); }, 16, "00000000 22C000E8 6400C800"},
        {"texture window", [] { return Gfx_AddTextureWindow(8, 16, 32, 8); }, 16, "00000000 108000E4 08002000"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const uint32_t cursor = g_pPacketCursor;
        const uint32_t addr = c.build();
        ASSERT_EQ(addr, cursor);
        EXPECT_EQ(g_pPacketCursor, cursor + c.bytes);
        EXPECT_EQ(Sys_ArenaReadWord(g_pOrderingTable), addr) << "linked at the head";
        // The draw area's and window's length word is left as the allocator found it.
        std::string hex = Hex(addr, c.bytes);
        if (c.bytes == 16)
            hex.replace(0, 8, "00000000");
        EXPECT_EQ(hex, c.hex);
    }
    (void)end;

    // The image sprite: a draw mode with the page word's own bits, then the sprite; the CLUT word
    // of the image's owner; the entry comes back.
    const uint32_t cursor = g_pPacketCursor;
    EXPECT_EQ(Gfx_AddImageSprite(&m_images[1], 5, -6, 128, 64, 32), g_pOrderingTable);
    EXPECT_EQ(Hex(cursor, 28), "06000000 8B0D00E1 80402064 0500FAFF 3040317F 18001000");
    // The outline box: a polyline through the corners and the line closing its left side.
    const uint32_t box = g_pPacketCursor;
    Gfx_AddOutlineBox(10, 20, 30, 40);
    EXPECT_EQ(Hex(box, 32), "07000000 6E78784C 0A001400 1E001400 1E002800 0A002800 55555555");
    EXPECT_EQ(Hex(box + 32, 20), "04000000 6E787840 0A001400 0A002900");
}

TEST_F(Prims2d, SetBuildersFillTheCallersPacket)
{
    uint8_t p[48];
    auto hex = [&](uint32_t bytes) {
        std::string out;
        for (uint32_t i = 4; i < bytes; i++) {
            char b[4];
            std::snprintf(b, sizeof b, "%02X", p[i]);
            out += b;
            if (i % 4 == 3 && i + 1 < bytes)
                out += ' ';
        }
        return out;
    };
    std::memset(p, 0xEE, sizeof p);
    Gfx_SetLinePacket(p, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_EQ(hex(20), "04000000 07080940 03000400 05000600");
    EXPECT_EQ(p[0], 0xEE) << "the link word is the caller's";
    Gfx_SetFlatQuadPacket(p, 10, 20, 5, 6, 1, 2, 3);
    EXPECT_EQ(hex(28), "06000000 01020328 0A001400 0F001400 0A001A00 0F001A00");
    Gfx_SetSpritePacket(p, &m_images[1], 7, 8, 128, 128, 128);
    EXPECT_EQ(hex(24), "05000000 80808064 07000800 3040317F 18001000");
    Gfx_SetImageSpritePacket(p, &m_images[1], 7, 8, 1, 2, 3);
    EXPECT_EQ(hex(28), "06000000 8B0D00E1 01020364 07000800 3040317F 18001000");
    Gfx_SetImageQuadPacket(p, &m_images[1], 100, 50, 128, 128, 128);
    EXPECT_EQ(hex(44), "0A000000 8080802C 64003200 3040317F 7C003200 48408B0F 64004200 30500000 7C004200 48500000");

    // No image: the packet stays as it was, and the Add builder links nothing.
    std::memset(p, 0xEE, sizeof p);
    Gfx_SetSpritePacket(p, nullptr, 1, 1, 1, 1, 1);
    Gfx_SetImageSpritePacket(p, nullptr, 1, 1, 1, 1, 1);
    Gfx_SetImageQuadPacket(p, nullptr, 1, 1, 1, 1, 1);
    EXPECT_EQ(p[4], 0xEE);
    const uint32_t cursor = g_pPacketCursor;
    EXPECT_EQ(Gfx_AddImageSprite(nullptr, 0, 0, 1, 1, 1), 0u);
    EXPECT_EQ(g_pPacketCursor, cursor);
}

TEST_F(Prims2d, LaterPacketsOfAnEntryAreDrawnFirst)
{
    Gfx_AddImageSprite(&m_images[1], 1, 1, 128, 128, 128);
    Gfx_AddImageSprite(&m_images[1], 2, 2, 128, 128, 128);
    Gfx_DrawOrderingTable(g_pOrderingTable);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"sprite 2 2 48 64 24 16", "sprite 1 1 48 64 24 16"}));
}

TEST_F(Prims2d, BoxesAndCaptionBarsAreTheirLines)
{
    Gfx_AddBevelBox(10, 10, 20, 10);
    Gfx_AddInsetBox(50, 10, 20, 10);
    Gfx_DrawOrderingTable(g_pOrderingTable);
    EXPECT_EQ(g_calls, (std::vector<std::string>{
                           "line 51 20 70 20 15 20 20", "line 70 11 70 20 15 20 20", "line 50 10 50 20 70 80 80",
                           "line 50 10 70 10 70 80 80", "line 11 20 29 20 70 80 80", "line 30 11 30 20 70 80 80",
                           "line 10 10 10 19 15 20 20", "line 10 10 29 10 15 20 20"}));

    // The rules of a caption run outwards from the text; a text wider than the bar turns them
    // round (negative lengths run leftwards).
    FONT font{};
    for (auto &s : font.size)
        s = {5, 9};
    FONT *before = g_pFont;
    g_pFont = &font;
    ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    g_pOrderingTable = Entry(0, 1);
    g_calls.clear();
    Gfx_DrawCaptionBar("AB", 100, 30, 60); // text 12 wide: s = 30 - 6 - 3 = 21
    Gfx_DrawCaptionBar("ABCDEFGHIJ", 300, 60, 20); // text 60 wide: s = 10 - 30 - 3 = -23
    Gfx_DrawOrderingTable(g_pOrderingTable);
    g_pFont = before;
    std::vector<std::string> lines;
    for (const std::string &c : g_calls)
        if (c.rfind("line", 0) == 0)
            lines.push_back(c);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "line 333 66 310 66 70 80 80", "line 333 65 310 65 15 20 20", "line 289 66 266 66 70 80 80",
                         "line 289 65 266 65 15 20 20", "line 109 36 130 36 70 80 80", "line 109 35 130 35 15 20 20",
                         "line 69 36 90 36 70 80 80", "line 69 35 90 35 15 20 20"}));
}

TEST_F(Prims2d, AFullPacketAreaDropsAndCountsNeverOverruns)
{
    const uint32_t start = g_pPacketCursor;
    g_pPacketEnd = start + 50; // room for two lines and no more
    const uint32_t guard = Sys_ArenaReadWord(start + 48);
    Gfx_AddBevelBox(0, 0, 10, 10);
    EXPECT_EQ(g_pPacketCursor, start + 40);
    EXPECT_EQ(g_uPacketsDropped, 2u);
    EXPECT_EQ(Gfx_AddTile(0, 0, 1, 1, 1, 1, 1), 0u);
    EXPECT_EQ(Gfx_AddImageSprite(&m_images[1], 0, 0, 1, 1, 1), 0u);
    EXPECT_EQ(Gfx_AddShadedRect(0, 0, 1, 1, 1, 1, 1), 0u);
    EXPECT_EQ(Gfx_AddDrawArea(0, 0, 1, 1), 0u);
    Gfx_AddOutlineBox(0, 0, 5, 5);
    EXPECT_EQ(g_uPacketsDropped, 8u);
    EXPECT_EQ(g_pPacketCursor, start + 40);
    EXPECT_EQ(Sys_ArenaReadWord(start + 48), guard);
    // The two lines that fitted are linked and drawn.
    Gfx_DrawOrderingTable(g_pOrderingTable);
    EXPECT_EQ(g_calls.size(), 2u);
    // An entry outside the arena takes nothing either.
    g_pOrderingTable = 0xFFFFFF00u;
    g_pPacketEnd = start + 4000;
    EXPECT_EQ(Gfx_AddLine(0, 0, 1, 1, 1, 1, 1), 0u);
    EXPECT_EQ(g_pPacketCursor, start + 40);
}

// ---------------------------------------------------------------------------------------------
// Golden pictures from the built interface set: its pictures, image table, fonts and tile sheets.

constexpr const char *kFontFiles[5] = {"gfx\\fonts\\tonnivel.bin", "gfx\\fonts\\tonnivels.bin",
                                       "gfx\\fonts\\tonnipro.bin", "gfx\\fonts\\teeny.bin", "gfx\\fonts\\weewee.bin"};

class BuiltInterface : public RenderTest
{
protected:
    std::vector<uint8_t> m_tx;
    FONT m_fonts[5] = {};
    FONT *m_savedFont = nullptr;

    void SetUp() override
    {
        RenderTest::SetUp();
        g_tRasterRoutines = g_tDefaultRasterRoutines;
        TestLayer_SetUp(PIXELFORMAT_565);
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/data/", build);
        Sys_DiscInit();
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        for (int n = 6; n <= 27; n++) {
            const std::string name = "win" + std::to_string(n) + ".raw";
            ASSERT_EQ(Gfx_LoadTextureFile(Sys_MakeDataPath(name.c_str()), 0, n), 0) << name;
        }
        m_tx.resize(TX_FILE_MAX);
        const long size = Sys_LoadFileToBuffer("win.tx", m_tx.data(), m_tx.size());
        ASSERT_GT(size, 0);
        ASSERT_EQ(Gfx_ParseTxFile(m_tx.data(), size_t(size)), 0);
        m_savedFont = g_pFont;
        for (int i = 0; i < 5; i++) {
            g_pFont = &m_fonts[i];
            m_fonts[i].sheet = Gfx_GetImage(i);
            ASSERT_EQ(Gfx_LoadFont(kFontFiles[i]), 0) << g_szErrorText;
        }
        Gfx_ResetTilePages();
        ASSERT_EQ(Gfx_LoadTileSheet(Sys_MakeDataPath("blanks.raw"), 12, 18, 0), 0);
        ASSERT_EQ(Gfx_LoadTileSheet(Sys_MakeDataPath("bardata.raw"), 12, 3, 6), 0);
        Gfx_SelectTileSet(0);
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        g_pOrderingTable = Entry(0, 1);
    }
    void TearDown() override
    {
        g_pFont = m_savedFont;
        g_pOrderingTable = 0;
        Gfx_ResetTilePages();
        Gfx_FreeTextureTable();
        g_pImageTable = nullptr;
        g_iImageCount = 0;
        g_szDataDir[0] = 0;
        RenderTest::TearDown();
    }
    // Runs the steps in the order given: each links into the same entry, which is drawn newest
    // first, so they are built back to front.
    void Draw(const std::vector<std::function<void()>> &steps)
    {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it)
            (*it)();
        Gfx_DrawOrderingTable(g_pOrderingTable);
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        g_pOrderingTable = Entry(0, 1);
    }
    // The whole screen of background tile (0, 0) of page 5.
    void TileBackground()
    {
        std::vector<std::function<void()>> steps;
        for (int y = 0; y < 480; y += 24)
            for (int x = 0; x < 640; x += 24)
                steps.push_back([x, y] {
                    RawPacket p = Add(g_pOrderingTable, 24);
                    p.rgbc(0, 0, 5, PACKET_SPRITE).u16(12, uint16_t(x)).u16(14, uint16_t(y)).u16(18, 0x4321);
                });
        Draw(steps);
    }
};

TEST_F(BuiltInterface, BoxesLinesAndFills)
{
    TestLayer_Fill(Gfx_PackFillColour(40, 48, 56));
    Draw({
        [] { Gfx_AddTile(20, 20, 200, 120, 80, 96, 112); },
        [] { Gfx_AddBevelBox(10, 10, 20, 10); },
        [] { Gfx_AddBevelBox(30, 30, 160, 90); },
        [] { Gfx_AddInsetBox(40, 40, 60, 20); },
        [] { Gfx_AddOutlineBox(110, 40, 180, 60); },
        [] { Gfx_AddShadedRect(40, 70, 140, 30, 250, 200, 60); },
        [] { Gfx_AddLine(240, 20, 400, 140, 255, 255, 255); },
        [] { Gfx_AddLine(400, 20, 240, 140, 255, 80, 80); },
        [] {
            uint8_t *p = Gfx_AddPacket(g_pOrderingTable, 28);
            Gfx_SetFlatQuadPacket(p, 420, 20, 100, 50, 60, 160, 90);
        },
        // A draw area clips the tile after it, then the screen again.
        [] { Gfx_AddDrawArea(420, 90, 50, 30); },
        [] { Gfx_AddTile(400, 80, 200, 200, 200, 60, 200); },
        [] { Gfx_AddDrawArea(0, 0, 640, 480); },
        [] { Gfx_AddTile(560, 100, 40, 40, 255, 255, 0); },
    });
    // The raised box at (10, 10) of 20 x 10: light top row x 10..28, dark right column at x 30.
    const uint16_t a = Gfx_PackFillColour(15, 20, 20), b = Gfx_PackFillColour(70, 80, 80);
    for (int x = 10; x <= 28; x++)
        EXPECT_EQ(TestLayer_Pixel(x, 10), a) << x;
    EXPECT_NE(TestLayer_Pixel(29, 10), a);
    for (int y = 11; y <= 19; y++)
        EXPECT_EQ(TestLayer_Pixel(30, y), b) << y;
    // The sunken one's top reaches one pixel further than a raised one's: to x + w - 1.
    EXPECT_EQ(TestLayer_Pixel(99, 40), b);
    EXPECT_EQ(TestLayer_Pixel(419, 85), Gfx_PackFillColour(40, 48, 56)) << "outside the draw area";
    EXPECT_TRUE(TestLayer_MatchesGolden("prims2d_boxes", 0xD0386C1D939FC7DF));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(BuiltInterface, TextInEveryInterfaceFontAndCaptionBars)
{
    TileBackground();
    const char *const kLines[5] = {"Tonnivelle: the song grid, riffs & notes 0123456789",
                                   "Mixdown to WAV - Record from CD, line-in or files",
                                   "EFFECTS  Reverb  Delay  Flange  Chorus",
                                   "teeny: Bar 12  Beat 3  BPM 120  Vol 100%",
                                   "weewee: L1 R1 Select Start [ok] {cancel}"};
    std::vector<std::function<void()>> steps;
    for (int i = 0; i < 5; i++)
        steps.push_back([this, i, &kLines] {
            g_pFont = &m_fonts[i];
            g_uiTextColour = 0x7F7F7F;
            Gfx_DrawText(kLines[i], 20, 20 + 24 * i, g_pOrderingTable);
            g_uiTextColour = 0x20607F; // warm: red 127, green 96, blue 32
            Gfx_DrawTextRight("Caf\xE9 d\xE9j\xE0 vu \xFC\xF1\xDF", 620, 20 + 24 * i, g_pOrderingTable);
        });
    steps.push_back([] { Gfx_AddTile(120, 156, 400, 70, 150, 170, 180); });
    steps.push_back([this] {
        g_pFont = &m_fonts[0];
        g_uiTextColour = 0x7F7F7F;
        Gfx_DrawCaptionBar("Song options", 320, 164, 380);
        Gfx_DrawCaptionBar("A caption far wider than the bar it sits in", 320, 200, 100);
        Gfx_DrawTextWithIcons("Press ~n to play, ~d to stop, ~k ~l ~m ~o ~p ~a ~i ~j", 20, 240, g_pOrderingTable);
        Gfx_DrawTextCentredOnScreen("Centred on the screen", 280, g_pOrderingTable);
    });
    Draw(steps);
    // Every font drew ink: white pixels in each line's band.
    for (int i = 0; i < 5; i++) {
        int white = 0;
        for (int y = 20 + 24 * i; y < 40 + 24 * i; y++)
            for (int x = 20; x < 300; x++)
                white += TestLayer_Pixel(x, y) == 0xFFFF;
        EXPECT_GT(white, 100) << "font " << i;
    }
    EXPECT_TRUE(TestLayer_MatchesGolden("prims2d_text", 0xD24F2E9EBCFDC10D));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(BuiltInterface, ImageSpritesOfTheInterfaceSet)
{
    TileBackground();
    std::vector<std::function<void()>> steps;
    struct
    {
        int first, last, x, y, step;
    } rows[] = {{546, 556, 20, 20, 22}, {641, 642, 290, 20, 20}, {700, 709, 20, 50, 16}, {688, 695, 200, 50, 12},
                {299, 302, 300, 50, 12}, {105, 108, 360, 50, 12}, {784, 810, 20, 80, 10}, {102, 102, 20, 100, 30},
                {426, 428, 50, 100, 30},  {782, 783, 140, 100, 30}, {5, 40, 20, 130, 17}};
    for (const auto &r : rows)
        for (int n = r.first; n <= r.last; n++)
            steps.push_back([r, n] { Gfx_AddImageSprite(Gfx_GetImage(n), r.x + (n - r.first) * r.step, r.y, 128, 128, 128); });
    // A textured quadrilateral and a plain sprite after its draw mode.
    steps.push_back([] {
        const IMAGEREC *im = Gfx_GetImage(642);
        uint8_t *mode = Gfx_AddPacket(g_pOrderingTable, 12);
        Gfx_SetDrawModePacket(mode, 0, 0, im->page);
    });
    steps.push_back([] {
        uint8_t *p = Gfx_AddPacket(g_pOrderingTable, 24);
        Gfx_SetSpritePacket(p, Gfx_GetImage(642), 400, 100, 128, 128, 128);
        uint8_t *q = Gfx_AddPacket(g_pOrderingTable, 44);
        Gfx_SetImageQuadPacket(q, Gfx_GetImage(641), 430, 100, 128, 128, 128);
    });
    // The window frame pieces tiled through 8 x 8 texture windows along a 200-pixel edge.
    steps.push_back([] {
        const IMAGEREC *top = Gfx_GetImage(784 + 3);
        Gfx_AddTextureWindow(top->u, top->v, 8, 8);
    });
    steps.push_back([] {
        const IMAGEREC *top = Gfx_GetImage(784 + 3);
        IMAGEREC wide = *top;
        wide.width = 200;
        Gfx_AddImageSprite(&wide, 20, 180, 128, 128, 128);
    });
    Draw(steps);
    EXPECT_TRUE(TestLayer_MatchesGolden("prims2d_sprites", 0xA6F164AAB27E46E4));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(BuiltInterface, TileBackgroundAndTilePages)
{
    TileBackground();
    std::vector<std::function<void()>> steps;
    auto tile = [](int x, int y, int row, int column, int page) {
        return [=] {
            RawPacket p = Add(g_pOrderingTable, 24);
            p.rgbc(uint8_t(row), uint8_t(column), uint8_t(page), PACKET_SPRITE)
                .u16(12, uint16_t(x))
                .u16(14, uint16_t(y))
                .u16(18, 0x4321);
        };
    };
    // Blanks: a panel of edge tiles; riff blocks through the remap table; bars; backgrounds.
    const int kPanel[3][3] = {{5, 1, 6}, {3, 0, 4}, {7, 2, 8}};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 6; c++)
            steps.push_back(tile(24 + 24 * c, 24 + 24 * r, 2, kPanel[r][c < 1 ? 0 : c < 5 ? 1 : 2], 0));
    const int kBlock[4] = {2, 6, 61, 60}; // remapped to sheet columns 0, 1, 2, 3
    for (int row = 0; row < 8; row++)
        for (int k = 0; k < 4; k++)
            steps.push_back(tile(216 + 24 * k, 24 + 24 * row, row, kBlock[k], 1));
    for (int page = 2; page <= 4; page++)
        for (int k = 0; k < 6; k++)
            steps.push_back(tile(336 + 24 * k, 24 + 48 * (page - 2), k, kBlock[k % 4], page));
    for (int row = 0; row < 3; row++)
        for (int c = 0; c < 12; c++)
            steps.push_back(tile(24 + 24 * c, 240 + 24 * row, row, c, 6));
    for (int c = 0; c < 10; c++)
        steps.push_back(tile(24 + 48 * c, 336, 0, c, 5));
    // Cut at the screen's edges.
    steps.push_back(tile(-10, 420, 0, 9, 0));
    steps.push_back(tile(630, 470, 0, 9, 0));
    Draw(steps);
    EXPECT_TRUE(TestLayer_MatchesGolden("tiles_background", 0x52FF0A68641BF5DF));
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(BuiltInterface, PointerOverTheBackgroundLeavesNoTrail)
{
    TileBackground();
    const uint64_t background = TestLayer_Hash();
    const int32_t *saved = g_pPointerShape;
    const int32_t shape = 642;
    g_pPointerShape = &shape;
    Gfx_DrawPointer(300, 200, 1);
    EXPECT_TRUE(TestLayer_MatchesGolden("pointer_before", 0xED2C61EB924CF183));
    Gfx_DrawPointer(300, 200, 0);
    EXPECT_EQ(TestLayer_Hash(), background);
    Gfx_DrawPointer(311, 215, 1);
    EXPECT_TRUE(TestLayer_MatchesGolden("pointer_after", 0xC8E5B47E032C3F43));
    Gfx_DrawPointer(311, 215, 0);
    EXPECT_EQ(TestLayer_Hash(), background) << "no trail";
    g_pPointerShape = saved;
}

} // namespace
