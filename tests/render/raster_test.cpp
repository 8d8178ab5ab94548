#include "render/gpustate.h"
#include "render/raster.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

using Pixels = std::set<std::pair<int, int>>;

// Every non-zero pixel of the frame (tests start from a cleared layer).
Pixels Painted()
{
    Pixels out;
    for (int y = 0; y < LAYER_HEIGHT; ++y)
        for (int x = 0; x < LAYER_WIDTH; ++x)
            if (TestLayer_Pixel(x, y))
                out.insert({x, y});
    return out;
}

Pixels Span(int x0, int x1, int y0, int y1) // inclusive corners
{
    Pixels out;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            out.insert({x, y});
    return out;
}

void SetDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    g_iDrawAreaLeft = left, g_iDrawAreaTop = top, g_iDrawAreaRight = right, g_iDrawAreaBottom = bottom;
}

// Texel (u, v) has colour (v << 8) | u with a set bit 15, mask 0: every texel is distinct and
// non-zero.
std::unique_ptr<TestTexels> NumberedTexels()
{
    auto t = std::make_unique<TestTexels>();
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u)
            t->Set(u, v, uint16_t(0x8000 | ((v & 0x7F) << 8) | u), 0);
    return t;
}

uint16_t Numbered(uint32_t u, uint32_t v)
{
    return uint16_t(0x8000 | ((v & 0x7F) << 8) | (u & 255));
}

class RasterTest : public ::testing::Test
{
protected:
    void SetUp() override { TestLayer_SetUp(PIXELFORMAT_565); }
    void TearDown() override { EXPECT_TRUE(TestLayer_GuardsIntact()) << "a write landed outside the frame"; }
};

// ---- fills ----

struct FillCase
{
    const char *what;
    int32_t x, y, w, h;
    int32_t area[4]; // left, top, right, bottom
    int firstX, lastX, firstY, lastY; // painted span, or firstX > lastX for none
};

const FillCase kFills[] = {
    {"odd x, even width starts one column left", 3, 10, 4, 2, {0, 0, 640, 480}, 2, 5, 10, 11},
    {"even x, odd width paints one more", 2, 10, 3, 2, {0, 0, 640, 480}, 2, 5, 10, 11},
    {"odd x, odd width", 3, 10, 3, 1, {0, 0, 640, 480}, 2, 5, 10, 10},
    {"one pixel", 0, 0, 1, 1, {0, 0, 640, 480}, 0, 1, 0, 0},
    {"odd width at the frame's right edge", 638, 5, 3, 1, {0, 0, 640, 480}, 638, 639, 5, 5},
    {"clipped at the right edge to one column", 639, 5, 5, 1, {0, 0, 640, 480}, 638, 639, 5, 5},
    {"clipped at left, in-area pair start kept", 95, 20, 10, 1, {101, 0, 640, 480}, 100, 103, 20, 20},
    {"clipped at top and bottom", 10, -5, 2, 500, {0, 0, 640, 480}, 10, 11, 0, 479},
    {"draw area larger than the frame", 600, 400, 100, 100, {0, 0, 800, 600}, 600, 639, 400, 479},
    {"negative width", 10, 10, -4, 2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"negative height", 10, 10, 4, -2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"zero width", 10, 10, 0, 2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"touching the left edge from outside", -10, 10, 10, 2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"wholly left", -30, 10, 10, 2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"wholly right", 650, 10, 10, 2, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"wholly above", 10, -30, 10, 10, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"wholly below", 10, 490, 10, 10, {0, 0, 640, 480}, 1, 0, 0, 0},
    {"area wholly below the frame", 10, 500, 10, 10, {0, 490, 640, 980}, 1, 0, 0, 0},
};

TEST_F(RasterTest, FillsPaintWholePairsInsideTheFrame)
{
    for (const FillCase &c : kFills) {
        for (int tile = 0; tile < 2; ++tile) {
            TestLayer_SetUp(PIXELFORMAT_565);
            SetDrawArea(c.area[0], c.area[1], c.area[2], c.area[3]);
            if (tile)
                Gfx_RasterTile(c.x, c.y, c.w, c.h, 255, 255, 255);
            else
                Gfx_RasterFillRect(c.x, c.y, c.w, c.h, 255, 255, 255);
            Pixels want = c.firstX <= c.lastX ? Span(c.firstX, c.lastX, c.firstY, c.lastY) : Pixels{};
            EXPECT_EQ(Painted(), want) << c.what << (tile ? " (tile)" : " (rectangle)");
            EXPECT_TRUE(TestLayer_GuardsIntact()) << c.what;
        }
    }
}

TEST_F(RasterTest, FillAddsTheDrawOffsetAndConvertsTheColour)
{
    struct
    {
        int format;
        uint8_t r, g, b;
        uint16_t pixel;
    } cases[] = {
        {PIXELFORMAT_565, 255, 0, 0, 0xF800}, {PIXELFORMAT_565, 0, 255, 0, 0x07E0},
        {PIXELFORMAT_565, 0x0C, 0x0C, 0x0F, 0x0861}, {PIXELFORMAT_555, 255, 0, 0, 0x7C00},
        {PIXELFORMAT_555, 0, 255, 0, 0x03E0}, {PIXELFORMAT_555, 255, 255, 255, 0x7FFF},
    };
    for (const auto &c : cases) {
        TestLayer_SetUp(c.format);
        g_iDrawOffsetX = 100, g_iDrawOffsetY = 50;
        Gfx_RasterTile(0, 0, 2, 1, c.r, c.g, c.b);
        EXPECT_EQ(TestLayer_Pixel(100, 50), c.pixel);
        EXPECT_EQ(TestLayer_Pixel(101, 50), c.pixel);
        EXPECT_EQ(Painted().size(), 2u);
        EXPECT_EQ(g_ClipRect.colour, uint32_t(c.pixel) * 0x10001u);
    }
}

TEST_F(RasterTest, ScreenSizedTilesAreNotDrawnButRectanglesAre)
{
    Gfx_RasterTile(0, 0, 640, 480, 255, 255, 255);
    Gfx_RasterTile(0, 0, 384, 256, 255, 255, 255);
    EXPECT_TRUE(Painted().empty());
    Gfx_RasterTile(0, 0, 383, 480, 255, 255, 255);
    EXPECT_EQ(Painted().size(), 384u * 480u);
    TestLayer_SetUp(PIXELFORMAT_565);
    Gfx_RasterFillRect(0, 0, 640, 480, 255, 255, 255);
    EXPECT_EQ(Painted().size(), 640u * 480u);
}

// ---- lines ----

struct LineCase
{
    const char *what;
    int32_t x0, y0, x1, y1;
    int32_t area[4];
    std::vector<std::pair<int, int>> pixels;
};

TEST_F(RasterTest, LinesStopBeforeTheirEndPoint)
{
    const LineCase cases[] = {
        {"horizontal", 10, 10, 13, 10, {0, 0, 640, 480}, {{10, 10}, {11, 10}, {12, 10}}},
        {"horizontal leftwards", 13, 10, 10, 10, {0, 0, 640, 480}, {{13, 10}, {12, 10}, {11, 10}}},
        {"point to itself", 5, 5, 5, 5, {0, 0, 640, 480}, {}},
        {"vertical", 5, 5, 5, 8, {0, 0, 640, 480}, {{5, 5}, {5, 6}, {5, 7}}},
        {"vertical upwards swaps the ends", 5, 8, 5, 5, {0, 0, 640, 480}, {{5, 5}, {5, 6}, {5, 7}}},
        {"steep", 0, 0, 2, 5, {0, 0, 640, 480}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}}},
        {"shallow", 0, 0, 5, 2, {0, 0, 640, 480}, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}},
        {"diagonal", 0, 0, 3, 3, {0, 0, 640, 480}, {{0, 0}, {1, 0}, {2, 1}}},
        {"steep leftwards", 4, 0, 2, 5, {0, 0, 640, 480}, {{4, 0}, {4, 1}, {4, 2}, {3, 3}, {3, 4}}},
        // The end outside is moved onto the edge, x and y separately: (3, -4) becomes (3, 0).
        {"end above the area", 3, -4, 5, 2, {0, 0, 640, 480}, {{3, 0}, {4, 0}}},
        {"both ends left", -5, 0, -1, 10, {0, 0, 640, 480}, {}},
        {"both ends below", 0, 481, 10, 500, {0, 0, 640, 480}, {}},
        // Row 480 is the area's inclusive bottom but not in the frame.
        {"along the bottom edge", 0, 480, 10, 480, {0, 0, 640, 480}, {}},
        {"inner area, end on its right edge", 95, 30, 120, 30, {0, 0, 100, 480},
         {{95, 30}, {96, 30}, {97, 30}, {98, 30}, {99, 30}}},
    };
    for (const LineCase &c : cases) {
        TestLayer_SetUp(PIXELFORMAT_565);
        SetDrawArea(c.area[0], c.area[1], c.area[2], c.area[3]);
        Gfx_RasterLine(c.x0, c.y0, c.x1, c.y1, 255, 255, 255);
        EXPECT_EQ(Painted(), Pixels(c.pixels.begin(), c.pixels.end())) << c.what;
    }
}

TEST_F(RasterTest, LineEndsPastTheFrameAreDropped)
{
    // Clamped to the area's right edge (640): columns 600..639 only.
    Gfx_RasterLine(600, 10, 700, 10, 255, 255, 255);
    EXPECT_EQ(Painted(), Span(600, 639, 10, 10));
    // A draw area bigger than the frame keeps the slope the line has there: the end stays at
    // (800, 200) instead of being pulled onto column 640.
    TestLayer_SetUp(PIXELFORMAT_565);
    SetDrawArea(0, 0, 800, 600);
    Gfx_RasterLine(600, 0, 800, 200, 255, 255, 255);
    Pixels want = {{600, 0}};
    for (int k = 1; k < 40; ++k)
        want.insert({600 + k, k - 1});
    EXPECT_EQ(Painted(), want);
    // Toward the frame's bottom-right corner, clamped onto (640, 480).
    TestLayer_SetUp(PIXELFORMAT_565);
    Gfx_RasterLine(630, 470, 700, 900, 255, 255, 255);
    EXPECT_EQ(Painted().size(), 10u);
}

// ---- textured copies ----

class TexturedTest : public RasterTest
{
protected:
    void SetUp() override
    {
        RasterTest::SetUp();
        m_texels = NumberedTexels();
        g_pClutSource = m_texels->words;
    }
    // The frame pixels at (x.., y..) are texels u(i), v(j).
    template <typename U, typename V>
    void ExpectCopy(int x, int y, int w, int h, U u, V v, const char *what)
    {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                ASSERT_EQ(TestLayer_Pixel(x + i, y + j), Numbered(u(i), v(j)))
                    << what << " at " << x + i << "," << y + j;
    }
    std::unique_ptr<TestTexels> m_texels;
};

TEST_F(TexturedTest, SpriteCopiesTexelsOneToOne)
{
    struct
    {
        const char *what;
        int32_t x, y;
        uint8_t u, v;
        int32_t w, h;
        int drawnX, drawnY, drawnW, drawnH;
        uint32_t firstU, firstV;
    } cases[] = {
        {"plain", 10, 20, 4, 6, 8, 3, 10, 20, 8, 3, 4, 6},
        {"odd start column", 10, 20, 3, 6, 7, 2, 10, 20, 7, 2, 3, 6},
        {"clipped 5 at the left reads 5 texels on", -5, 20, 0, 0, 12, 2, 0, 20, 7, 2, 5, 0},
        {"clipped at the top", 30, -3, 8, 8, 4, 6, 30, 0, 4, 3, 8, 11},
        {"clipped at the right", 636, 0, 0, 0, 10, 1, 636, 0, 4, 1, 0, 0},
        {"clipped at the bottom", 0, 478, 0, 0, 2, 10, 0, 478, 2, 2, 0, 0},
        {"u wraps inside the page", 100, 100, 250, 0, 12, 1, 100, 100, 12, 1, 250, 0},
        {"v wraps inside the page", 100, 100, 0, 254, 1, 4, 100, 100, 1, 4, 0, 254},
        {"wider than the page", 0, 0, 0, 0, 300, 1, 0, 0, 300, 1, 0, 0},
    };
    for (const auto &c : cases) {
        TestLayer_SetUp(PIXELFORMAT_565);
        g_pClutSource = m_texels->words;
        Gfx_RasterSprite(c.x, c.y, c.u, c.v, c.w, c.h);
        ExpectCopy(
            c.drawnX, c.drawnY, c.drawnW, c.drawnH, [&](int i) { return (c.firstU + i) & 255; },
            [&](int j) { return (c.firstV + j) & 255; }, c.what);
        EXPECT_EQ(Painted().size(), size_t(c.drawnW) * c.drawnH) << c.what;
        EXPECT_TRUE(TestLayer_GuardsIntact()) << c.what;
    }
}

TEST_F(TexturedTest, TextureWindowIsTiledOverTheSprite)
{
    g_bTexWindow = 1;
    g_iTexWindowX = 32, g_iTexWindowY = 0, g_iTexWindowW = 16, g_iTexWindowH = 16;
    Gfx_RasterSprite(100, 100, 7, 9, 40, 40);
    ExpectCopy(
        100, 100, 40, 40, [](int i) { return 32 + i % 16; }, [](int j) { return j % 16; }, "window");
    // A window far outside the page reads inside it.
    TestLayer_SetUp(PIXELFORMAT_565);
    g_pClutSource = m_texels->words;
    g_bTexWindow = 1;
    g_iTexWindowX = 4095, g_iTexWindowY = 1023, g_iTexWindowW = 4, g_iTexWindowH = 2;
    Gfx_RasterSprite(0, 0, 0, 0, 6, 3);
    ExpectCopy(
        0, 0, 6, 3, [](int i) { return (4095 + i % 4) & 255; }, [](int j) { return (1023 + j % 2) & 255; },
        "far window");
    // An empty window draws nothing.
    TestLayer_SetUp(PIXELFORMAT_565);
    g_pClutSource = m_texels->words;
    g_bTexWindow = 1;
    g_iTexWindowW = 0;
    Gfx_RasterSprite(0, 0, 0, 0, 6, 3);
    EXPECT_TRUE(Painted().empty());
}

TEST_F(TexturedTest, DepthFieldDoublesTheStartColumnOfSpritesButNotOfQuads)
{
    g_uTexturePage = 0x80;
    Gfx_RasterSprite(0, 0, 10, 0, 4, 1);
    ExpectCopy(
        0, 0, 4, 1, [](int i) { return 20 + i; }, [](int) { return 0; }, "sprite");
    Gfx_RasterTexturedQuad(0, 5, 10, 0, 4, 6);
    ExpectCopy(
        0, 5, 4, 1, [](int i) { return 10 + i; }, [](int) { return 0; }, "quad");
    g_uTexturePage = 0x100;
    Gfx_RasterSprite(0, 10, 200, 0, 4, 1);
    ExpectCopy(
        0, 10, 4, 1, [](int i) { return (400 + i) & 255; }, [](int) { return 0; }, "doubled past the page");
}

TEST_F(TexturedTest, MaskMergesTexelIntoFrame)
{
    struct
    {
        uint16_t frame, colour, mask, result;
    } cases[] = {
        {0x1234, 0xABCD, 0x0000, 0xABCD},
        {0x1234, 0xABCD, 0xFFFF, 0x1234},
        {0x1234, 0xABCD, 0x00FF, 0xAB34},
        {0x00FF, 0x0101, 0x00F0, 0x01F1}, // (frame & mask) + (colour & ~mask)
    };
    for (const auto &c : cases) {
        TestLayer_SetUp(PIXELFORMAT_565);
        TestLayer_Fill(c.frame);
        TestTexels &t = *m_texels;
        t.Set(0, 0, c.colour, c.mask);
        t.Set(1, 0, c.colour, c.mask);
        g_pClutSource = t.words;
        Gfx_RasterSprite(0, 0, 0, 0, 2, 1);
        EXPECT_EQ(TestLayer_Pixel(0, 0), c.result);
        EXPECT_EQ(TestLayer_Pixel(1, 0), c.result);
        EXPECT_EQ(TestLayer_Pixel(2, 0), c.frame);
    }
}

TEST_F(TexturedTest, GlyphIsTintedAndIgnoresTheWindow)
{
    g_bTexWindow = 1;
    g_iTexWindowX = 32, g_iTexWindowW = 16, g_iTexWindowH = 16;
    // 128, 128, 128 leaves the texels unchanged in 5:6:5.
    Gfx_RasterGlyph(0, 0, 5, 7, 6, 2, 128, 128, 128);
    ExpectCopy(
        0, 0, 6, 2, [](int i) { return 5 + i; }, [](int j) { return 7 + j; }, "tint 128");
    // Half red, full green, no blue: mask 0x7FE0; transparent texels leave the frame whole.
    TestLayer_SetUp(PIXELFORMAT_565);
    TestLayer_Fill(0x1234);
    m_texels->Set(6, 3, 0xFFFF, 0xFFFF);
    g_pClutSource = m_texels->words;
    Gfx_RasterGlyph(10, 10, 5, 3, 3, 1, 64, 128, 0);
    EXPECT_EQ(TestLayer_Pixel(10, 10), Numbered(5, 3) & 0x7FE0);
    EXPECT_EQ(TestLayer_Pixel(11, 10), 0x1234);
    EXPECT_EQ(TestLayer_Pixel(12, 10), Numbered(7, 3) & 0x7FE0);
    EXPECT_EQ(g_ClipRect.colour, 0x7FE07FE0u);
}

TEST_F(TexturedTest, GlyphAtColumnZeroWithOddStartLeavesThePreviousRowAlone)
{
    TestLayer_Fill(0x1234);
    Gfx_RasterGlyph(0, 5, 3, 0, 4, 2, 128, 128, 128);
    ExpectCopy(
        0, 5, 4, 2, [](int i) { return 3 + i; }, [](int j) { return j; }, "glyph");
    EXPECT_EQ(TestLayer_Pixel(639, 4), 0x1234);
    EXPECT_EQ(TestLayer_Pixel(639, 5), 0x1234);
    EXPECT_EQ(TestLayer_Pixel(4, 5), 0x1234);
}

TEST_F(TexturedTest, TexturedQuadCopiesFromVertex0ToVertex3)
{
    g_bTexWindow = 1;
    g_iTexWindowW = g_iTexWindowH = 4;
    g_iDrawOffsetX = 2;
    Gfx_RasterTexturedQuad(48, 60, 10, 20, 56, 64);
    ExpectCopy(
        50, 60, 8, 4, [](int i) { return 10 + i; }, [](int j) { return 20 + j; }, "quad");
    EXPECT_EQ(Painted().size(), 32u);
    TestLayer_SetUp(PIXELFORMAT_565);
    g_pClutSource = m_texels->words;
    Gfx_RasterTexturedQuad(-3, -2, 0, 0, 5, 2);
    ExpectCopy(
        0, 0, 5, 2, [](int i) { return 3 + i; }, [](int j) { return 2 + j; }, "clipped quad");
    TestLayer_SetUp(PIXELFORMAT_565);
    g_pClutSource = m_texels->words;
    Gfx_RasterTexturedQuad(10, 10, 0, 0, 5, 20); // vertex 3 left of vertex 0
    EXPECT_TRUE(Painted().empty());
}

TEST_F(RasterTest, TexturedDrawsWithoutASourceAreSkipped)
{
    ASSERT_EQ(g_pClutSource, nullptr);
    Gfx_RasterSprite(0, 0, 0, 0, 16, 16);
    Gfx_RasterGlyph(0, 0, 0, 0, 16, 16, 128, 128, 128);
    Gfx_RasterTexturedQuad(0, 0, 0, 0, 16, 16);
    Gfx_MaskedCopy(0, 0, 16, 16, 0, 0, 256, 0, 0, 256, 0xFFFF);
    EXPECT_TRUE(Painted().empty());
    EXPECT_EQ(Gfx_GetClutColour(0, 0), 0u);
}

TEST_F(TexturedTest, SpriteWithNegativeSizeDrawsNothing)
{
    Gfx_RasterSprite(10, 10, 0, 0, -4, 4);
    Gfx_RasterSprite(10, 10, 0, 0, 4, -4);
    Gfx_RasterGlyph(10, 10, 0, 0, -4, 4, 128, 128, 128);
    EXPECT_TRUE(Painted().empty());
}

// ---- every primitive against every edge ----

TEST_F(TexturedTest, NoPrimitiveWritesOutsideTheDrawAreaOrTheFrame)
{
    const int32_t areas[][4] = {{0, 0, 640, 480}, {0, 0, 4095, 65535}, {101, 51, 301, 201}, {-50, -50, 700, 500}};
    // Positions that cross each edge and corner of the areas, and lie wholly outside them.
    std::vector<std::pair<int32_t, int32_t>> where;
    for (int32_t x : {-100, -20, -7, 0, 97, 290, 297, 630, 637, 639, 5000})
        for (int32_t y : {-100, -9, 45, 195, 470, 477, 500})
            where.push_back({x, y});
    std::vector<uint16_t> tile(24 * 24, 0x4444);
    for (const auto &area : areas) {
        for (const auto &[x, y] : where) {
            TestLayer_SetUp(PIXELFORMAT_565);
            g_pClutSource = m_texels->words;
            SetDrawArea(area[0], area[1], area[2], area[3]);
            Gfx_RasterTile(x, y, 23, 17, 255, 0, 0);
            Gfx_RasterFillRect(x + 1, y, 13, 31, 0, 255, 0);
            Gfx_RasterLine(x, y, x + 41, y + 29, 255, 255, 255);
            Gfx_RasterLine(x + 40, y - 3, x - 30, y + 13, 255, 255, 255);
            Gfx_RasterLine(x, y, x, y + 50, 255, 255, 255);
            Gfx_RasterSprite(x, y, 250, 250, 21, 19);
            Gfx_RasterGlyph(x + 3, y, 3, 0, 9, 12, 100, 50, 128);
            Gfx_RasterTexturedQuad(x, y + 2, 201, 3, x + 35, y + 22);
            Gfx_CopyScreenTile(x + 1, y + 1, tile.data());
            ASSERT_TRUE(TestLayer_GuardsIntact()) << "area " << area[0] << " at " << x << "," << y;
            // Fills may start one column left of the area and lines end on its right and bottom
            // edges; nothing lands further out.
            const int l = std::max(area[0], 0) - 1, t = std::max(area[1], 0);
            const int r = std::min(area[2], 639), b = std::min(area[3], 479);
            for (int py = 0; py < LAYER_HEIGHT; ++py)
                for (int px = 0; px < LAYER_WIDTH; ++px)
                    if (TestLayer_Pixel(px, py) && (px < l || px > r || py < t || py > b))
                        FAIL() << "pixel " << px << "," << py << " area " << area[0] << " at " << x << "," << y;
        }
    }
}

// ---- screen tiles ----

TEST_F(RasterTest, ScreenTileIsClippedToTheArea)
{
    std::vector<uint16_t> tile(24 * 24);
    for (int i = 0; i < 24 * 24; ++i)
        tile[i] = uint16_t(0x8000 | i); // line * 24 + column
    auto tileAt = [&](int column, int line) { return uint16_t(0x8000 | (line * 24 + column)); };
    struct
    {
        const char *what;
        int32_t x, y, right;
        int drawnX, firstColumn, columns, drawnY, firstLine, lines;
    } cases[] = {
        {"whole", 100, 100, 640, 100, 0, 24, 100, 0, 24},
        {"cut 10 at the left", -10, 0, 640, 0, 10, 14, 0, 0, 24},
        {"cut 11 at the left: no pixel from past the tile", -11, 0, 640, 0, 11, 13, 0, 0, 24},
        {"odd width cut at the area copies one more", 289, 0, 300, 289, 0, 12, 0, 0, 24},
        {"odd width cut at the frame copies no more", 629, 0, 640, 629, 0, 11, 0, 0, 24},
        {"cut at the top", 0, -5, 640, 0, 0, 24, 0, 5, 19},
        {"cut at the bottom", 0, 470, 640, 0, 0, 24, 470, 0, 10},
        {"wholly outside", -30, 0, 640, 0, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        TestLayer_SetUp(PIXELFORMAT_565);
        g_iDrawAreaRight = c.right;
        Gfx_CopyScreenTile(c.x, c.y, tile.data());
        Pixels want;
        for (int j = 0; j < c.lines; ++j)
            for (int i = 0; i < c.columns; ++i) {
                want.insert({c.drawnX + i, c.drawnY + j});
                ASSERT_EQ(TestLayer_Pixel(c.drawnX + i, c.drawnY + j), tileAt(c.firstColumn + i, c.firstLine + j))
                    << c.what;
            }
        EXPECT_EQ(Painted(), want) << c.what;
        EXPECT_TRUE(TestLayer_GuardsIntact()) << c.what;
    }
    // Without tile pages loaded the walker's screen tile draws nothing.
    TestLayer_SetUp(PIXELFORMAT_565);
    Gfx_DrawScreenTile(0, 0, 1, 2, 3);
    EXPECT_TRUE(Painted().empty());
}

// ---- colour table ----

TEST(RasterClut, GetClutColourDecodesBothLayouts)
{
    struct
    {
        int format;
        uint16_t pixel;
        uint32_t rgb;
    } cases[] = {
        {PIXELFORMAT_565, 0xFFFF, 0xF8FCF8}, {PIXELFORMAT_565, 0xF800, 0xF80000}, {PIXELFORMAT_565, 0x07E0, 0x00FC00},
        {PIXELFORMAT_565, 0x001F, 0x0000F8}, {PIXELFORMAT_565, 0x0000, 0x000000}, {PIXELFORMAT_555, 0x7FFF, 0xF8F8F8},
        {PIXELFORMAT_555, 0x7C00, 0xF80000}, {PIXELFORMAT_555, 0x03E0, 0x00F800}, {PIXELFORMAT_555, 0x8001, 0x000008},
    };
    auto texels = std::make_unique<TestTexels>();
    const uint16_t *saved = g_pClutSource;
    const int savedFormat = g_iPixelFormat;
    for (const auto &c : cases) {
        g_iPixelFormat = c.format;
        // Word i of row n: the first colour of texel pair i.
        texels->words[7 * 512 + 2 * 9] = c.pixel;
        g_pClutSource = texels->words;
        EXPECT_EQ(Gfx_GetClutColour(9, 7), c.rgb) << std::hex << c.pixel;
        EXPECT_EQ(Gfx_GetClutColour(9 + 256, 7 - 256), c.rgb) << "indices wrap inside the page";
    }
    g_pClutSource = saved;
    g_iPixelFormat = savedFormat;
}

// ---- golden pictures ----

// A screen that uses every primitive kind: tile background, tiles and rectangles, lines, sprites
// with and without the texture window and the depth field, tinted glyphs, a textured quad, a
// clipped draw area with an offset.
void DrawFixtureScreen(const TestTexels &texels)
{
    std::vector<uint16_t> tile(24 * 24);
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 24; ++i)
            tile[j * 24 + i] = Gfx_PackFillColour(uint8_t(40 + (i == 0 || j == 0 ? 60 : 0)),
                                                  uint8_t(50 + (i == 23 || j == 23 ? -30 : 0)), uint8_t(70 + i));
    for (int y = -10; y < 480; y += 24)
        for (int x = -7; x < 640; x += 24)
            Gfx_CopyScreenTile(x, y, tile.data());

    Gfx_RasterTile(20, 20, 201, 81, 200, 200, 210);
    Gfx_RasterTile(23, 23, 195, 3, 255, 255, 255);
    Gfx_RasterFillRect(21, 105, 200, 30, 30, 60, 160);
    Gfx_RasterFillRect(21, 140, 200, 30, (250 + 10) >> 1, (20 + 220) >> 1, (0 + 40) >> 1); // gouraud mean
    Gfx_RasterTile(630, 470, 20, 20, 255, 128, 0);

    for (int k = 0; k < 32; ++k) {
        const int dx = (k % 8) * 20 - 70, dy = (k / 8) * 30 - 45;
        Gfx_RasterLine(320, 240, 320 + dx, 240 + dy, uint8_t(k * 8), 255, uint8_t(255 - k * 8));
    }
    Gfx_RasterLine(250, 300, 400, 310, 255, 0, 0); // polyline
    Gfx_RasterLine(400, 310, 390, 400, 255, 0, 0);
    Gfx_RasterLine(390, 400, 260, 380, 255, 0, 0);
    Gfx_RasterLine(600, 5, 700, 60, 255, 255, 0);  // end past the frame
    Gfx_RasterLine(-50, 470, 40, 430, 0, 255, 255);

    g_pClutSource = texels.words;
    Gfx_RasterSprite(450, 20, 0, 0, 64, 64);
    Gfx_RasterSprite(-13, 200, 40, 40, 48, 48);
    Gfx_RasterSprite(540, 20, 250, 250, 40, 40); // wraps inside the page
    g_bTexWindow = 1;
    g_iTexWindowX = 64, g_iTexWindowY = 64, g_iTexWindowW = 16, g_iTexWindowH = 8;
    Gfx_RasterSprite(450, 100, 0, 0, 70, 50);
    g_bTexWindow = 0;
    g_uTexturePage = 0x80;
    Gfx_RasterSprite(530, 100, 30, 10, 40, 40);
    g_uTexturePage = 0;

    static const uint8_t tints[][3] = {{128, 128, 128}, {128, 40, 40}, {40, 128, 40}, {60, 60, 128}, {20, 20, 20}};
    for (int row = 0; row < 5; ++row)
        for (int k = 0; k < 40; ++k)
            Gfx_RasterGlyph(k * 9 - (row == 4 ? 3 : 0), 430 - row * 14, uint8_t(128 + (k * 7) % 120), 200, 7 + (k & 1),
                            12, tints[row][0], tints[row][1], tints[row][2]);

    Gfx_RasterTexturedQuad(240, 180, 100, 120, 300, 230);

    // A small draw area with an offset: everything below is cut to it.
    g_iDrawOffsetX = 500, g_iDrawOffsetY = 300;
    g_iDrawAreaLeft = 480, g_iDrawAreaTop = 280, g_iDrawAreaRight = 601, g_iDrawAreaBottom = 381;
    Gfx_RasterTile(-30, -30, 200, 200, 0, 0, 90);
    Gfx_RasterSprite(-40, 20, 0, 64, 200, 40);
    Gfx_RasterLine(-50, -50, 150, 150, 255, 255, 255);
    Gfx_RasterGlyph(95, 70, 131, 200, 8, 12, 128, 128, 128);
    Gfx_ResetDrawState();
}

std::unique_ptr<TestTexels> FixtureTexels()
{
    auto t = std::make_unique<TestTexels>();
    TestTexels_FillFixture(*t);
    return t;
}

TEST(RasterGolden, FixtureScreenMatchesItsPictureInBothLayouts)
{
    struct
    {
        const char *name;
        int format;
        uint64_t hash;
    } cases[] = {
        {"fixture_565", PIXELFORMAT_565, 0xF1D06A5428B97623},
        {"fixture_555", PIXELFORMAT_555, 0xAC9E3F432941F0BD},
    };
    for (const auto &c : cases) {
        TestLayer_SetUp(c.format);
        auto texels = FixtureTexels();
        DrawFixtureScreen(*texels);
        EXPECT_TRUE(TestLayer_GuardsIntact());
        EXPECT_TRUE(TestLayer_MatchesGolden(c.name, c.hash));
        // Drawn again over itself the screen is the same picture: nothing depends on earlier runs.
        const uint64_t first = TestLayer_Hash();
        TestLayer_SetUp(c.format);
        DrawFixtureScreen(*texels);
        EXPECT_EQ(TestLayer_Hash(), first);
    }
    g_pClutSource = nullptr;
}

// Tinted text over a patterned background. The tint masks the glyph's own colour: where a glyph
// texel is transparent the background shows through whole, however dark the tint (masking the
// whole merged pixel would darken a box of background behind every tinted character).
const char *const kLetters[] = {
    // T       I        N        E        D        X        space
    "#####", "#####", "#...#", "#####", "####.", "#...#", ".....", //
    "..#..", "..#..", "##..#", "#....", "#...#", ".#.#.", ".....", //
    "..#..", "..#..", "#.#.#", "####.", "#...#", "..#..", ".....", //
    "..#..", "..#..", "#..##", "#....", "#...#", ".#.#.", ".....", //
    "..#..", "#####", "#...#", "#####", "####.", "#...#", ".....", //
};
constexpr int kGlyphW = 6, kGlyphH = 7; // 5 x 5 letters in cells with a transparent border

int LetterIndex(char c)
{
    const char *order = "TINEDX ";
    const char *p = std::strchr(order, c);
    return p ? int(p - order) : 6;
}

std::unique_ptr<TestTexels> LetterTexels()
{
    auto t = std::make_unique<TestTexels>();
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u)
            t->Set(u, v, Gfx_PackFillColour(uint8_t(u), 0, uint8_t(v)), 0xFFFF);
    for (int g = 0; g < 7; ++g)
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 5; ++i)
                if (kLetters[j * 7 + g][i] == '#')
                    t->Set(g * 8 + i, 40 + j + 1, Gfx_PackFillColour(255, 255, 255), 0);
    return t;
}

uint16_t Background(int x, int y)
{
    if ((x + y) % 11 == 0)
        return Gfx_PackFillColour(250, 200, 30);
    return ((x / 3 + y / 3) & 1) ? Gfx_PackFillColour(30, 90, 200) : Gfx_PackFillColour(200, 220, 240);
}

struct TINTROW
{
    uint8_t r, g, b;
};
const TINTROW kTextTints[] = {{128, 128, 128}, {128, 40, 40}, {40, 128, 40}, {60, 60, 128}, {20, 20, 20}, {100, 100, 100}};

void DrawTintedText(const TestTexels &texels)
{
    for (int y = 0; y < LAYER_HEIGHT; ++y)
        for (int x = 0; x < LAYER_WIDTH; ++x)
            g_apLayerRows[y][x] = Background(x, y);
    g_pClutSource = texels.words;
    const char *text = "TINTED TEXT";
    for (int row = 0; row < int(std::size(kTextTints)); ++row) {
        const TINTROW &t = kTextTints[row];
        for (int k = 0; text[k]; ++k) {
            const int x = 30 + row + k * (kGlyphW + 1), y = 20 + row * 12;
            Gfx_RasterGlyph(x, y, uint8_t(LetterIndex(text[k]) * 8), 40, kGlyphW, kGlyphH, t.r, t.g, t.b);
        }
    }
}

TEST(RasterGolden, TintedTextOverAPatternKeepsTheBackground)
{
    struct
    {
        const char *name;
        int format;
        uint64_t hash;
    } cases[] = {
        {"tinted_text_565", PIXELFORMAT_565, 0x738FF5308883D01A},
        {"tinted_text_555", PIXELFORMAT_555, 0xFA0E358B955C8BE9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TestLayer_SetUp(c.format);
        auto texels = LetterTexels();
        DrawTintedText(*texels);
        EXPECT_TRUE(TestLayer_GuardsIntact());
        EXPECT_TRUE(TestLayer_MatchesGolden(c.name, c.hash));
        const char *text = "TINTED TEXT";
        for (int row = 0; row < int(std::size(kTextTints)); ++row) {
            const TINTROW &t = kTextTints[row];
            const uint16_t tint = uint16_t(Gfx_PackTintColour(t.r, t.g, t.b));
            for (int k = 0; text[k]; ++k) {
                const int x0 = 30 + row + k * (kGlyphW + 1), y0 = 20 + row * 12, u0 = LetterIndex(text[k]) * 8;
                for (int j = 0; j < kGlyphH; ++j)
                    for (int i = 0; i < kGlyphW; ++i) {
                        const bool ink = texels->Mask(u0 + i, 40 + j) == 0;
                        const uint16_t want = ink ? uint16_t(texels->Colour(u0 + i, 40 + j) & tint)
                                                  : Background(x0 + i, y0 + j);
                        ASSERT_EQ(TestLayer_Pixel(x0 + i, y0 + j), want)
                            << "row " << row << " letter " << k << " at " << i << "," << j;
                    }
            }
        }
    }
    g_pClutSource = nullptr;
}

} // namespace
