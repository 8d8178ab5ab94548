// Tile pages and their addressing, the screen-tile draw, save-under, the pointer, the jam backdrop
// and the layer's colour routines, on the guarded test layer.
#include "app/settings.h"
#include "app/startup.h"
#include "core/file.h"
#include "render/gpustate.h"
#include "render/raster.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "support/tempdir.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A sheet of columns x rows tiles whose tile (r, c) is the flat colour (10 r + 5, 10 c + 5, 200)
// except pixel (x, y) of each tile, which is (x * 8, y * 8, 0).
std::vector<uint8_t> SheetBytes(int columns, int rows)
{
    std::vector<uint8_t> b(size_t(columns) * rows * TILESHEET_TILE_BYTES);
    const int width = columns * TILE_SIZE;
    for (int y = 0; y < rows * TILE_SIZE; y++)
        for (int x = 0; x < width; x++) {
            uint8_t *p = &b[(size_t(y) * width + x) * 3];
            const int r = y / TILE_SIZE, c = x / TILE_SIZE, tx = x % TILE_SIZE, ty = y % TILE_SIZE;
            if (tx == ty) {
                p[0] = uint8_t(tx * 8);
                p[1] = uint8_t(ty * 8);
                p[2] = 0;
            } else {
                p[0] = uint8_t(10 * r + 5);
                p[1] = uint8_t(10 * c + 5);
                p[2] = 200;
            }
        }
    return b;
}

uint16_t Pack(int r, int g, int b)
{
    return Gfx_PackFillColour(uint8_t(r), uint8_t(g), uint8_t(b));
}

class ScreenTiles : public ::testing::Test
{
protected:
    TempDir dir;
    void SetUp() override
    {
        TestLayer_SetUp(PIXELFORMAT_565);
        Gfx_ResetTilePages();
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", dir.Path().c_str());
    }
    void TearDown() override
    {
        Gfx_PopAllSaveUnders();
        Gfx_ResetTilePages();
        Gfx_FreeJamBackground();
        g_szDataDir[0] = 0;
        g_iPixelFormat = PIXELFORMAT_565;
    }
    std::string Write(const std::string &name, const std::vector<uint8_t> &bytes)
    {
        WriteTextFile(dir.File(name), std::string(bytes.begin(), bytes.end()));
        return dir.File(name);
    }
    // Every sheet of both sets, each tile telling its sheet apart by blue = 40 x page.
    void WriteSets()
    {
        const struct
        {
            const char *name;
            int columns, rows;
        } sheets[] = {{"rblk_all.raw", 15, 18}, {"hrif_all.raw", 15, 18}, {"vrif_all.raw", 15, 18},
                      {"mrif_all.raw", 15, 18}, {"bg_tiles.raw", 10, 1},  {"rblk_vid.raw", 19, 16},
                      {"hrif_vid.raw", 19, 16}, {"vrif_vid.raw", 17, 16}, {"mrif_vid.raw", 17, 16},
                      {"vid_bg_tiles.raw", 10, 1}};
        for (const auto &s : sheets)
            Write(s.name, SheetBytes(s.columns, s.rows));
    }
};

TEST_F(ScreenTiles, SheetsConvertIntoTheirTilesInBothLayouts)
{
    for (int format : {PIXELFORMAT_565, PIXELFORMAT_555}) {
        SCOPED_TRACE(format);
        g_iPixelFormat = format;
        const std::string path = Write("one.raw", SheetBytes(2, 3));
        ASSERT_EQ(Gfx_LoadTileSheet(path.c_str(), 2, 3, 0), 0);
        // Row 2, column 1: colour (25, 15, 200); the diagonal (x*8, y*8, 0).
        const uint16_t *t = Gfx_TileAddress(2, 1, 0);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t[1], Pack(25, 15, 200));
        EXPECT_EQ(t[5 * TILE_SIZE + 5], Pack(40, 40, 0));
        EXPECT_EQ(t[23 * TILE_SIZE + 22], Pack(25, 15, 200));
        // Tiles lie contiguously: tile (r, c) at r x 23040 + c x 1152 bytes into its page.
        EXPECT_EQ(reinterpret_cast<const uint8_t *>(Gfx_TileAddress(2, 1, 0)) -
                      reinterpret_cast<const uint8_t *>(Gfx_TileAddress(0, 0, 0)),
                  2 * 23040 + 1152);
        EXPECT_EQ(reinterpret_cast<const uint8_t *>(Gfx_TileAddress(0, 0, 6)) -
                      reinterpret_cast<const uint8_t *>(Gfx_TileAddress(0, 0, 0)),
                  6 * 460800);
    }
    g_iPixelFormat = PIXELFORMAT_565;
}

TEST_F(ScreenTiles, MissingShortAndBadSheetsLeaveBlackAndSaySo)
{
    const std::string path = Write("full.raw", SheetBytes(2, 2));
    ASSERT_EQ(Gfx_LoadTileSheet(path.c_str(), 2, 2, 6), 0);
    ASSERT_NE(Gfx_TileAddress(1, 1, 6)[1], 0);

    // Missing: the page is black and the reason is kept.
    EXPECT_EQ(Gfx_LoadTileSheet(dir.File("none.raw").c_str(), 2, 2, 6), -1);
    EXPECT_NE(std::string(g_szErrorText).find("none.raw"), std::string::npos);
    EXPECT_EQ(Gfx_TileAddress(1, 1, 6)[1], 0);

    // Short: the tiles it has, black after.
    std::vector<uint8_t> bytes = SheetBytes(2, 2);
    bytes.resize(bytes.size() / 2);
    const std::string shortPath = Write("short.raw", bytes);
    EXPECT_EQ(Gfx_LoadTileSheet(shortPath.c_str(), 2, 2, 6), -1);
    EXPECT_EQ(Gfx_TileAddress(0, 1, 6)[1], Pack(5, 15, 200));
    EXPECT_EQ(Gfx_TileAddress(1, 1, 6)[1], 0);

    // Sizes and pages the pages cannot hold are refused before anything is read.
    for (auto [columns, rows, page] : {std::tuple{21, 1, 0}, {1, 21, 0}, {0, 1, 0}, {1, 1, 7}, {1, 1, -1}})
        EXPECT_EQ(Gfx_LoadTileSheet(path.c_str(), columns, rows, page), -1);
}

TEST_F(ScreenTiles, TileSetsLoadOnceAndAddressThroughTheirRemapTables)
{
    WriteSets();
    EXPECT_EQ(g_iTileSet, -1);
    EXPECT_EQ(Gfx_TileAddress(0, 2, 1), nullptr) << "no set, no remap";

    const uint32_t before = g_uTileSheetsRead;
    Gfx_SelectTileSet(0);
    EXPECT_EQ(g_iTileSet, 0);
    EXPECT_EQ(g_uTileSheetsRead, before + 5);
    Gfx_SelectTileSet(0);
    EXPECT_EQ(g_uTileSheetsRead, before + 5) << "selecting the selected set reads no file";

    struct
    {
        int row, column, page;
        int wantRow, wantColumn; // -1: no tile
    } set0[] = {
        {0, 2, 1, 0, 0},    {3, 6, 2, 3, 1},   {5, 60, 4, 5, 3},   {19, 62, 3, 19, 14}, // remapped columns
        {0, 0, 1, 0, 17},                                                                 // 145 AND 31
        {0, 46, 1, -1, -1},                                                               // 191 AND 31 = 31
        {0, 92, 1, -1, -1},                                                               // past the table
        {20, 2, 1, -1, -1}, {33, 2, 1, 1, 0},                                             // row AND 31
        {0, 9, 5, 0, 9},    {0, 41, 5, 0, 9},                                             // page 5: AND 31
        {0, 0, 7, -1, -1},  {0, 20, 0, -1, -1},
    };
    for (const auto &c : set0) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column << "," << c.page);
        const uint16_t *t = Gfx_TileAddress(c.row, c.column, c.page);
        if (c.wantRow < 0) {
            EXPECT_EQ(t, nullptr);
            continue;
        }
        ASSERT_NE(t, nullptr);
        // The page's first tile is at page x 460800.
        const uint16_t *page0 = Gfx_TileAddress(0, 0, 0);
        EXPECT_EQ((t - page0) * 2, c.page * 460800 + c.wantRow * 23040 + c.wantColumn * 1152);
    }

    Gfx_SelectTileSet(5); // any non-zero number is the video set
    EXPECT_EQ(g_iTileSet, 1);
    EXPECT_EQ(g_uTileSheetsRead, before + 10);
    // Row 17 reads row 1 (AND 15); column 1 remaps to 238 AND 31 = 14.
    EXPECT_EQ(Gfx_TileAddress(17, 1, 1), Gfx_TileAddress(1, 1, 1));
    const uint16_t *page0 = Gfx_TileAddress(0, 0, 0);
    EXPECT_EQ((Gfx_TileAddress(17, 1, 1) - page0) * 2, 460800 + 23040 + 14 * 1152);
    EXPECT_EQ(Gfx_TileAddress(0, 44, 2), nullptr);
    // The video set's own tile: sheet rblk_vid's tile (1, 14) colour.
    EXPECT_EQ(Gfx_TileAddress(1, 1, 1)[1], Pack(15, 145, 200));
}

TEST_F(ScreenTiles, ScreenTileIsCopiedOpaqueAndCutToTheArea)
{
    const std::string path = Write("blanks.raw", SheetBytes(1, 1));
    ASSERT_EQ(Gfx_LoadTileSheet(path.c_str(), 1, 1, 0), 0);
    TestLayer_Fill(0x1234);
    // At x = -10: columns 10-23 of the tile land at 0-13.
    Gfx_DrawScreenTile(-10, 100, 0, 0, 0);
    for (int x = 0; x < 14; x++)
        EXPECT_EQ(TestLayer_Pixel(x, 100 + 10 + x), Pack((10 + x) * 8, (10 + x) * 8, 0)) << x;
    EXPECT_EQ(TestLayer_Pixel(13, 100), Pack(5, 5, 200));
    EXPECT_EQ(TestLayer_Pixel(14, 100), 0x1234);
    // Tiles are opaque: the black of the diagonal at (0, 0) replaces the frame.
    Gfx_DrawScreenTile(200, 200, 0, 0, 0);
    EXPECT_EQ(TestLayer_Pixel(200, 200), 0);
    // Out of range tiles draw nothing; nothing leaves the frame at its corners.
    Gfx_DrawScreenTile(300, 300, 0, 25, 0);
    EXPECT_EQ(TestLayer_Pixel(300, 301), 0x1234);
    Gfx_DrawScreenTile(630, 470, 0, 0, 0);
    Gfx_DrawScreenTile(-20, -20, 0, 0, 0);
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

// Fills the layer with a pattern that differs at every pixel.
void Pattern()
{
    for (int y = 0; y < LAYER_HEIGHT; y++)
        for (int x = 0; x < LAYER_WIDTH; x++)
            g_apLayerRows[y][x] = uint16_t(x * 7 + y * 131);
}

std::vector<uint16_t> Layer()
{
    return std::vector<uint16_t>(g_pLayerFrame, g_pLayerFrame + LAYER_WIDTH * LAYER_HEIGHT);
}

TEST_F(ScreenTiles, SaveUnderPutsBackWhatWindowsCovered)
{
    Pattern();
    const std::vector<uint16_t> clean = Layer();

    // Two windows at the same place: closing restores the newest first.
    Gfx_PushSaveUnder(100, 100, 50, 40);
    TestLayer_Fill(0x1111);
    Gfx_PushSaveUnder(100, 100, 50, 40);
    TestLayer_Fill(0x2222);
    const SAVEUNDER *newest = Gfx_NewestSaveUnder();
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->width, 58);
    EXPECT_EQ(newest->height, 48);
    Gfx_PopSaveUnder(100, 100, 50, 40);
    EXPECT_EQ(TestLayer_Pixel(100, 100), 0x1111);
    EXPECT_EQ(TestLayer_Pixel(157, 147), 0x1111) << "the 8-pixel margin is saved too";
    EXPECT_EQ(TestLayer_Pixel(158, 100), 0x2222);
    Gfx_PopSaveUnder(100, 100, 50, 40);
    EXPECT_EQ(TestLayer_Pixel(100, 100), clean[100 * LAYER_WIDTH + 100]);
    EXPECT_EQ(Gfx_NewestSaveUnder(), nullptr);

    // A window that matches none restores nothing; a large one saves nothing.
    Pattern();
    Gfx_PushSaveUnder(10, 10, 20, 20);
    Gfx_PopSaveUnder(10, 10, 21, 20);
    EXPECT_NE(Gfx_NewestSaveUnder(), nullptr);
    Gfx_PushSaveUnder(0, 0, 600, 400);
    EXPECT_EQ(Gfx_NewestSaveUnder()->x, 10);
    TestLayer_Fill(7);
    Gfx_PopSaveUnder(0, 0, 600, 400);
    EXPECT_EQ(TestLayer_Pixel(300, 300), 7);
    // 501 x 200 is not large: the threshold needs both sides.
    Gfx_PushSaveUnder(0, 0, 501, 200);
    EXPECT_EQ(Gfx_NewestSaveUnder()->width, 509);
    Gfx_PopAllSaveUnders();
    EXPECT_EQ(Gfx_NewestSaveUnder(), nullptr);
    EXPECT_EQ(TestLayer_Pixel(15, 15), clean[15 * LAYER_WIDTH + 15]);
}

TEST_F(ScreenTiles, SaveUnderStaysInsideTheLayerWhereverTheWindowIs)
{
    Pattern();
    const std::vector<uint16_t> clean = Layer();
    const struct
    {
        int x, y, w, h;
    } windows[] = {{600, 450, 100, 100}, {-50, -30, 80, 60}, {630, 0, 20, 20}, {700, 500, 10, 10},
                   {-400, 100, 100, 10}, {0, 0, 640, 340}, {-2000000000, 5, 10, 10}};
    for (const auto &w : windows)
        Gfx_PushSaveUnder(w.x, w.y, w.w, w.h);
    TestLayer_Fill(0);
    for (auto it = std::rbegin(windows); it != std::rend(windows); ++it)
        Gfx_PopSaveUnder(it->x, it->y, it->w, it->h);
    EXPECT_TRUE(TestLayer_GuardsIntact());
    EXPECT_EQ(Gfx_NewestSaveUnder(), nullptr);
    // The first window pushed was restored last: its part of the layer is back.
    EXPECT_EQ(TestLayer_Pixel(639, 479), clean[479 * LAYER_WIDTH + 639]);
    EXPECT_EQ(TestLayer_Pixel(0, 0), clean[0]);
}

class Pointer : public ScreenTiles
{
protected:
    IMAGEREC m_records[3] = {};
    std::unique_ptr<TestTexels> m_texels = std::make_unique<TestTexels>();
    int32_t m_shape = 1;
    const int32_t *m_savedShape = nullptr;

    void SetUp() override
    {
        ScreenTiles::SetUp();
        TestTexels_FillFixture(*m_texels);
        // Image 1: 16 x 12 at u 8, v 0 of the fixture page (gradient with a transparent square).
        m_records[1].u = 8;
        m_records[1].width = 16;
        m_records[1].height = 12;
        m_records[1].page = 6;
        g_pImageTable = m_records;
        g_iImageCount = 3;
        m_savedShape = g_pPointerShape;
        g_pPointerShape = &m_shape;
    }
    void TearDown() override
    {
        g_pPointerShape = m_savedShape;
        g_pImageTable = nullptr;
        g_iImageCount = 0;
        g_pClutSource = nullptr;
        ScreenTiles::TearDown();
    }
};

TEST_F(Pointer, DrawnAndTakenAwayWithoutATrail)
{
    Pattern();
    const std::vector<uint16_t> clean = Layer();
    // The page has no texture slot here, so the source set before stays (the fixture page).
    g_pClutSource = m_texels->words;
    g_bTexWindow = 1;
    g_iDrawAreaRight = 10;
    Gfx_DrawPointer(100, 50, 1);
    EXPECT_EQ(g_bTexWindow, 0);
    EXPECT_EQ(g_iDrawAreaRight, g_iScreenWidth);
    // The sprite's texels, masked: (8 + i, j) of the fixture page.
    int changed = 0;
    for (int j = 0; j < 12; j++)
        for (int i = 0; i < 16; i++) {
            const uint16_t want = m_texels->Mask(8 + i, j) ? clean[(50 + j) * LAYER_WIDTH + 100 + i]
                                                            : m_texels->Colour(8 + i, j);
            EXPECT_EQ(TestLayer_Pixel(100 + i, 50 + j), want);
            changed += TestLayer_Pixel(100 + i, 50 + j) != clean[(50 + j) * LAYER_WIDTH + 100 + i];
        }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(TestLayer_Pixel(116, 50), clean[50 * LAYER_WIDTH + 116]);
    Gfx_DrawPointer(100, 50, 0);
    EXPECT_EQ(Layer(), clean);

    // Partly off the frame at every edge: drawn clipped, restored, nothing outside touched.
    for (auto [x, y] : {std::pair{630, 470}, {-8, -5}, {635, -11}, {-15, 475}, {700, 600}}) {
        Gfx_DrawPointer(x, y, 1);
        Gfx_DrawPointer(x, y, 0);
        EXPECT_EQ(Layer(), clean) << x << "," << y;
    }
    EXPECT_TRUE(TestLayer_GuardsIntact());

    // A shape outside the image table draws nothing and restores nothing.
    m_shape = 99;
    Gfx_DrawPointer(10, 10, 1);
    Gfx_DrawPointer(10, 10, 0);
    EXPECT_EQ(Layer(), clean);
}

TEST_F(ScreenTiles, JamBackgroundFillsTheLayer)
{
    // Missing: black, marked loaded, said.
    Gfx_LoadJamBackground();
    EXPECT_EQ(g_bJamBackgroundLoaded, 1);
    EXPECT_NE(std::string(g_szErrorText).find("pcjambg.raw"), std::string::npos);
    Pattern();
    g_bBackgroundDirty = 1;
    Gfx_DrawJamBackground();
    EXPECT_EQ(g_bBackgroundDirty, 0);
    EXPECT_EQ(TestLayer_Pixel(320, 240), 0);

    std::vector<uint8_t> rgb(640 * 480 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = uint8_t(i / 3 % 640 / 3);
        rgb[i + 1] = uint8_t(i / 3 / 640 / 2);
        rgb[i + 2] = 77;
    }
    Write("pcjambg.raw", rgb);
    Gfx_LoadJamBackground();
    Gfx_DrawJamBackground();
    EXPECT_EQ(TestLayer_Pixel(639, 479), Pack(213, 239, 77));
    EXPECT_EQ(TestLayer_Pixel(30, 100), Pack(10, 50, 77));
    Gfx_FreeJamBackground();
    EXPECT_EQ(g_bJamBackgroundLoaded, 0);
    TestLayer_Fill(5);
    Gfx_DrawJamBackground();
    EXPECT_EQ(TestLayer_Pixel(30, 100), 5) << "freed: nothing to draw";
    EXPECT_TRUE(TestLayer_GuardsIntact());
}

TEST_F(ScreenTiles, LayerColourRoutines)
{
    // Palette conversion in both layouts.
    uint32_t colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = uint32_t(i << 16 | (255 - i) << 8 | (i / 2));
    uint16_t out[256];
    for (int format : {PIXELFORMAT_565, PIXELFORMAT_555}) {
        g_iPixelFormat = format;
        Gfx_ConvertPalette(colours, out);
        for (int i : {0, 7, 8, 100, 255})
            EXPECT_EQ(out[i], Pack(i, 255 - i, i / 2)) << format << " " << i;
    }
    g_iPixelFormat = PIXELFORMAT_565;

    // Copies are held to the layer.
    std::vector<uint16_t> picture(128 * 64);
    for (size_t i = 0; i < picture.size(); i++)
        picture[i] = uint16_t(i + 1);
    TestLayer_Fill(0);
    Gfx_CopyToLayer(600, 450, 128, 64, picture.data());
    EXPECT_EQ(TestLayer_Pixel(600, 450), 1);
    EXPECT_EQ(TestLayer_Pixel(639, 479), 29 * 128 + 39 + 1);
    Gfx_CopyToLayer(-100, -50, 128, 64, picture.data());
    EXPECT_EQ(TestLayer_Pixel(0, 0), 50 * 128 + 100 + 1);
    Gfx_CopyToLayer(700, 10, 128, 64, picture.data());
    EXPECT_TRUE(TestLayer_GuardsIntact());

    // Channel products: with a white fill every colour is itself less a step, with black 0.
    Gfx_InitColourModulation();
    g_ClipRect.colour = 0xFFFF;
    EXPECT_EQ(Gfx_ModulateColour(0xFFFF), uint32_t((30 << 11) | (62 << 5) | 30));
    EXPECT_EQ(Gfx_ModulateColour(0x0000), 0u);
    g_ClipRect.colour = 0;
    EXPECT_EQ(Gfx_ModulateColour(0xFFFF), 0u);
    g_ClipRect.colour = 0x8410; // half of each channel
    EXPECT_EQ(Gfx_ModulateColour(0xFFFF), uint32_t((15 << 11) | (31 << 5) | 15));
    g_ClipRect = {};
}

} // namespace
