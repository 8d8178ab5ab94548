// The console packet kinds drawn through the 3-D device: the two clips, a golden picture of every
// kind with blend modes, draw offset and the draw-area clip, primitive counts, width-0 sprites.
#include "app/startup.h"
#include "core/console_memory.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "support/test3d.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void SetArea(int32_t l, int32_t t, int32_t r, int32_t b)
{
    g_iDrawAreaLeft = l;
    g_iDrawAreaTop = t;
    g_iDrawAreaRight = r;
    g_iDrawAreaBottom = b;
}

struct V2
{
    float x, y, u, v;
};

TEST(Prims3DClip, QuadClipCutsPositionsAndTextureAlongTheEdges)
{
    struct CASE
    {
        const char *what;
        V2 in[4];
        int32_t result;
        V2 out[4];
    };
    // Area (10, 20)-(110, 120); quads are 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
    const CASE cases[] = {
        {"inside",
         {{20, 30, 0, 0}, {60, 30, 1, 0}, {20, 70, 0, 1}, {60, 70, 1, 1}},
         1,
         {{20, 30, 0, 0}, {60, 30, 1, 0}, {20, 70, 0, 1}, {60, 70, 1, 1}}},
        {"left and top cut a quarter",
         {{0, 10, 0, 0}, {40, 10, 1, 0}, {0, 50, 0, 1}, {40, 50, 1, 1}},
         1,
         {{10, 20, 0.25f, 0.25f}, {40, 20, 1, 0.25f}, {10, 50, 0.25f, 1}, {40, 50, 1, 1}}},
        {"right and bottom cut half",
         {{90, 100, 0, 0}, {130, 100, 1, 0}, {90, 140, 0, 1}, {130, 140, 1, 1}},
         1,
         {{90, 100, 0, 0}, {110, 100, 0.5f, 0}, {90, 120, 0, 0.5f}, {110, 120, 0.5f, 0.5f}}},
        {"wholly left", {{0, 30, 0, 0}, {5, 30, 1, 0}, {0, 70, 0, 1}, {5, 70, 1, 1}}, 0, {}},
        {"wholly below", {{20, 130, 0, 0}, {60, 130, 1, 0}, {20, 170, 0, 1}, {60, 170, 1, 1}}, 0, {}},
        // Only the top edge decides left and right: bottom corners reaching in do not save it.
        {"top edge left, bottom reaching in", {{0, 30, 0, 0}, {5, 30, 1, 0}, {0, 70, 0, 1}, {50, 70, 1, 1}}, 0, {}},
    };
    SetArea(10, 20, 110, 120);
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.what);
        SW3DTLVERTEX v[4];
        for (int i = 0; i < 4; i++)
            v[i] = {c.in[i].x, c.in[i].y, 0.1f, 1.0f, 0x123456, 0, c.in[i].u, c.in[i].v};
        ASSERT_EQ(Gfx_ClipQuad(v), c.result);
        if (!c.result)
            continue;
        for (int i = 0; i < 4; i++) {
            SCOPED_TRACE(i);
            EXPECT_FLOAT_EQ(v[i].sx, c.out[i].x);
            EXPECT_FLOAT_EQ(v[i].sy, c.out[i].y);
            EXPECT_FLOAT_EQ(v[i].tu, c.out[i].u);
            EXPECT_FLOAT_EQ(v[i].tv, c.out[i].v);
            EXPECT_EQ(v[i].colour, 0x123456u) << "colours are not interpolated";
        }
    }
    SetArea(0, 0, 640, 480);
    EXPECT_EQ(Gfx_ClipQuad(nullptr), 0);
}

// Built with the packet fillers, read back by the appliers; a y in the lower frame of the drawing
// space counts from that frame's top. No display is open, so the mode is the screen (1:1).
TEST(Prims3DClip, DrawAreaAndOffsetPacketsSetTheClipAndTheOffset)
{
    const int savedW = g_iScreenWidth, savedH = g_iScreenHeight;
    const uint16_t savedDisplay = g_tDisplayConfig.height;
    const int32_t savedX = g_iD3DOffsetX, savedY = g_iD3DOffsetY;
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    g_tDisplayConfig.height = 256;
    ASSERT_EQ(Gfx_GetBackBuffer(nullptr, nullptr, nullptr), nullptr) << "a display is open";

    struct AREA
    {
        int16_t rect[4];
        int32_t l, t, r, b;
    } areas[] = {
        {{10, 20, 100, 50}, 10, 20, 110, 70},
        {{10, 256 + 20, 100, 50}, 10, 20, 110, 70}, // the lower frame
        {{0, 255, 640, 10}, 0, 255, 640, 265},      // just above it
        {{600, 0, 200, 600}, 600, 0, 640, 480},     // cut to the mode
    };
    for (const AREA &a : areas) {
        SCOPED_TRACE(::testing::Message() << a.rect[0] << "," << a.rect[1] << " " << a.rect[2] << "x" << a.rect[3]);
        PACKET_ENV_T packet{};
        Gfx_SetDrawAreaPacket(&packet, a.rect);
        SetArea(-1, -1, -1, -1);
        EXPECT_EQ(Gfx_ApplyDrawAreaPacket(reinterpret_cast<const PACKET *>(&packet)), 0);
        EXPECT_EQ(g_iDrawAreaLeft, a.l);
        EXPECT_EQ(g_iDrawAreaTop, a.t);
        EXPECT_EQ(g_iDrawAreaRight, a.r);
        EXPECT_EQ(g_iDrawAreaBottom, a.b);
    }

    struct OFFSET
    {
        uint16_t xy[2];
        int32_t x, y;
    } offsets[] = {{{30, 40}, 30, 40}, {{30, 256 + 40}, 30, 40}, {{5, 255}, 5, 255}, {{0, 256}, 0, 0}};
    for (const OFFSET &o : offsets) {
        PACKET_ENV_T packet{};
        Gfx_SetDrawOffsetPacket(&packet, o.xy);
        EXPECT_EQ(Gfx_ApplyDrawOffsetPacket(reinterpret_cast<const PACKET *>(&packet)), 0);
        EXPECT_EQ(g_iD3DOffsetX, o.x) << o.xy[0] << "," << o.xy[1];
        EXPECT_EQ(g_iD3DOffsetY, o.y) << o.xy[0] << "," << o.xy[1];
    }
    EXPECT_EQ(Gfx_ApplyDrawAreaPacket(nullptr), 0);
    EXPECT_EQ(Gfx_ApplyDrawOffsetPacket(nullptr), 0);

    SetArea(0, 0, 640, 480);
    g_iScreenWidth = savedW;
    g_iScreenHeight = savedH;
    g_tDisplayConfig.height = savedDisplay;
    g_iD3DOffsetX = savedX;
    g_iD3DOffsetY = savedY;
}

TEST(Prims3DClip, LineClipMovesOutsideEndsOntoTheEdges)
{
    struct CASE
    {
        float x0, y0, x1, y1;
        int32_t result;
        float ox0, oy0, ox1, oy1;
    };
    const CASE cases[] = {
        {20, 30, 60, 70, 4, 20, 30, 60, 70},       // inside: untouched
        {0, 50, 40, 50, 4, 10, 50, 40, 50},        // left end onto the left edge
        {60, 0, 60, 200, 4, 60, 20, 60, 120},      // both ends cut, top and bottom
        {0, 0, 120, 120, 4, 20, 20, 110, 110},     // diagonal: x and y move together
        {0, 30, 5, 90, 0, 0, 0, 0, 0},             // both left
        {200, 130, 300, 140, 0, 0, 0, 0, 0},       // both right (and below)
        {0, 125, 30, 155, 0, 0, 0, 0, 0},          // cut at the left, then wholly below
    };
    SetArea(10, 20, 110, 120);
    for (const CASE &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1);
        SW3DTLVERTEX v[2] = {{c.x0, c.y0, 0.1f, 1, 0, 0, 0, 0}, {c.x1, c.y1, 0.1f, 1, 0, 0, 0, 0}};
        ASSERT_EQ(Gfx_ClipLine(v), c.result);
        if (!c.result)
            continue;
        EXPECT_FLOAT_EQ(v[0].sx, c.ox0);
        EXPECT_FLOAT_EQ(v[0].sy, c.oy0);
        EXPECT_FLOAT_EQ(v[1].sx, c.ox1);
        EXPECT_FLOAT_EQ(v[1].sy, c.oy1);
    }
    SetArea(0, 0, 640, 480);
}

class Prims3DPackets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        g_uTexturePage = 0;
        g_iD3DOffsetX = g_iD3DOffsetY = 0;
        g_iPrimitivesDrawn = 0;
        g_iCurrentTexture = -2;
        SetArea(0, 0, 640, 480);
        const uint8_t none[16] = {};
        Gfx_ApplySpriteTexturePacket(reinterpret_cast<const PACKET *>(none));
    }
    void TearDown() override
    {
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Test3D_Close();
        g_bSceneOpen = 0;
        g_uTexturePage = 0;
        g_iD3DOffsetX = g_iD3DOffsetY = 0;
        g_iPrimitivesDrawn = 0;
        SetArea(0, 0, 640, 480);
        g_pLayerFrame = nullptr;
        for (uint16_t *&row : g_apLayerRows)
            row = nullptr;
    }
    // A packet of n bytes with the colour and code in place; the rest is written by the caller.
    static std::vector<uint8_t> Packet(size_t n, uint32_t rgb, uint8_t code)
    {
        std::vector<uint8_t> p(n, 0);
        p[8] = static_cast<uint8_t>(rgb >> 16);
        p[9] = static_cast<uint8_t>(rgb >> 8);
        p[10] = static_cast<uint8_t>(rgb);
        p[11] = code;
        return p;
    }
    static void I16(std::vector<uint8_t> &p, size_t at, int v)
    {
        const int16_t s = static_cast<int16_t>(v);
        std::memcpy(&p[at], &s, 2);
    }
    static void XY(std::vector<uint8_t> &p, size_t at, int x, int y)
    {
        I16(p, at, x);
        I16(p, at + 2, y);
    }
    static void RGB(std::vector<uint8_t> &p, size_t at, uint32_t rgb)
    {
        p[at] = static_cast<uint8_t>(rgb >> 16);
        p[at + 1] = static_cast<uint8_t>(rgb >> 8);
        p[at + 2] = static_cast<uint8_t>(rgb);
    }
    static PACKET *P(std::vector<uint8_t> &p) { return reinterpret_cast<PACKET *>(p.data()); }
    static uint16_t Back(int x, int y)
    {
        int32_t pitch = 0, w = 0, h = 0;
        const uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
        return back[static_cast<size_t>(y) * (pitch / 2) + x];
    }
};

std::vector<uint16_t> Ramp()
{
    std::vector<uint16_t> t(64 * 64);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++)
            t[y * 64 + x] = static_cast<uint16_t>((x / 2) << 11 | (y) << 5 | (((x / 8 + y / 8) & 1) ? 31 : 8));
    return t;
}

TEST_F(Prims3DPackets, GoldenEveryKind)
{
    Gfx_ClearViewportColour(0x00303030);
    ASSERT_EQ(Gfx_BeginScene(), 0); // blend mode 0 draws opaque
    SetArea(0, 0, 600, 450); // the right and bottom strips stay clear
    g_iD3DOffsetX = 10;
    g_iD3DOffsetY = 5;

    auto line = Packet(20, 0xFFFF00, 0x40);
    XY(line, 12, 0, 0);
    XY(line, 16, 150, 60);
    ASSERT_EQ(Gfx_DrawLinePacket(P(line)), 0);
    auto shaded = Packet(24, 0xFF0000, 0x50);
    XY(shaded, 12, 0, 80);
    RGB(shaded, 16, 0x0000FF);
    XY(shaded, 20, 150, 20);
    ASSERT_EQ(Gfx_DrawShadedLinePacket(P(shaded)), 0);
    auto poly = Packet(32, 0x00FFFF, 0x4C);
    XY(poly, 12, 170, 10);
    XY(poly, 16, 280, 20);
    XY(poly, 20, 260, 90);
    XY(poly, 24, 180, 70);
    ASSERT_EQ(Gfx_DrawPolylinePacket(P(poly)), 0);
    EXPECT_EQ(g_iPrimitivesDrawn, 4);

    auto flat = Packet(28, 0xC04080, 0x28);
    XY(flat, 12, 300, 0);
    XY(flat, 16, 400, 0);
    XY(flat, 20, 300, 90);
    XY(flat, 24, 400, 90);
    ASSERT_EQ(Gfx_DrawFlatQuadPacket(P(flat)), 0);
    auto gq = Packet(40, 0xFF0000, 0x38);
    const uint32_t gc[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int i = 0; i < 4; i++) {
        RGB(gq, 8 + 8 * i, gc[i]);
        XY(gq, 12 + 8 * i, 420 + (i & 1) * 200, (i >> 1) * 90); // reaches past the right edge: cut there
    }
    gq[11] = 0x38;
    ASSERT_EQ(Gfx_DrawShadedQuadPacket(P(gq)), 0);
    EXPECT_EQ(g_iPrimitivesDrawn, 8);

    // Textured kinds read the page word; its blend mode bits decide the blending.
    const std::vector<uint16_t> ramp = Ramp();
    const SW3DTEXTURE tex{64, 64, SW3D_TEX_16_RGB565, 128, ramp.data(), nullptr, 0};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &tex), 0);
    auto tq = Packet(44, 0x808080, 0x2C);
    const int tx[4] = {0, 120, 0, 120}, ty[4] = {110, 110, 230, 230};
    const uint8_t tu[4] = {0, 64, 0, 64}, tv[4] = {0, 0, 64, 64};
    for (int i = 0; i < 4; i++) {
        XY(tq, 12 + 8 * i, tx[i], ty[i]);
        tq[16 + 8 * i] = tu[i];
        tq[17 + 8 * i] = tv[i];
    }
    I16(tq, 26, 5); // page 5, blend mode 0
    ASSERT_EQ(Gfx_DrawTexturedQuadPacket(P(tq)), 0);
    EXPECT_EQ(g_uTexturePage, 5u);
    auto gt = Packet(56, 0xFF8080, 0x3C);
    const uint32_t gtc[4] = {0xFF8080, 0x80FF80, 0x8080FF, 0xFFFFFF};
    for (int i = 0; i < 4; i++) {
        RGB(gt, 8 + 12 * i, gtc[i]);
        XY(gt, 12 + 12 * i, 330 + tx[i], ty[i] - 70);
        gt[16 + 12 * i] = static_cast<uint8_t>(tu[i] * 2);
        gt[17 + 12 * i] = static_cast<uint8_t>(tv[i] * 2);
    }
    gt[11] = 0x3C;
    I16(gt, 30, 5 | 1 << 5); // blend mode 1: added to the flat quad below it
    ASSERT_EQ(Gfx_DrawShadedTexturedQuadPacket(P(gt)), 0);
    EXPECT_EQ(g_uTexturePage, 5u | 1u << 5);

    // Sprites and tiles with the page's blend mode, the small sprites without the draw offset.
    g_uTexturePage = 3 << 5; // mode 3: source alpha (1 without texture alpha) plus the target
    auto sprite = Packet(24, 0x606060, 0x64);
    XY(sprite, 12, 420, 110);
    sprite[16] = 8;
    sprite[17] = 8;
    I16(sprite, 20, 48);
    I16(sprite, 22, 48);
    ASSERT_EQ(Gfx_DrawSpritePacket(P(sprite)), 0);
    g_uTexturePage = 0;
    auto tile = Packet(20, 0x2080FF, 0x60);
    XY(tile, 12, 480, 110);
    I16(tile, 16, 100);
    I16(tile, 18, 60);
    ASSERT_EQ(Gfx_DrawTilePacket(P(tile)), 0);
    // The tile unbound the texture; the texture table would bind the page's slot, here bound directly.
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &tex), 0);
    auto s8 = Packet(20, 0xFFFFFF, 0x74);
    XY(s8, 12, 420, 200);
    ASSERT_EQ(Gfx_DrawSprite8Packet(P(s8)), 0);
    XY(s8, 12, 440, 200);
    ASSERT_EQ(Gfx_DrawSprite16Packet(P(s8)), 0);
    auto image = Packet(28, 0, 0);
    const uint32_t mode = 0xE1000000u | 2 << 5 | 7; // blend bits dropped: mode 0
    std::memcpy(&image[8], &mode, 4);
    RGB(image, 12, 0xFFFFFF);
    XY(image, 16, 470, 200);
    I16(image, 24, 32);
    I16(image, 26, 32);
    ASSERT_EQ(Gfx_DrawImageSpritePacket(P(image)), 0);
    EXPECT_EQ(g_uTexturePage, 7u);
    // A chosen sprite texture spans it once across the sprite's size.
    uint8_t choose[16] = {};
    choose[8] = 1 + 9;
    const uint32_t size = 96u << 16 | 96u;
    std::memcpy(&choose[12], &size, 4);
    ASSERT_EQ(Gfx_ApplySpriteTexturePacket(reinterpret_cast<const PACKET *>(choose)), 0);
    XY(sprite, 12, 520, 190);
    I16(sprite, 20, 96);
    I16(sprite, 22, 96);
    ASSERT_EQ(Gfx_DrawSpritePacket(P(sprite)), 0);
    ASSERT_EQ(Gfx_DrawMarker(300, 300), 0);
    EXPECT_EQ(g_iPrimitivesDrawn, 24);

    // Wholly outside the area: nothing drawn, nothing counted.
    XY(flat, 12, 700, 0);
    XY(flat, 16, 800, 0);
    ASSERT_EQ(Gfx_DrawFlatQuadPacket(P(flat)), 0);
    EXPECT_EQ(g_iPrimitivesDrawn, 24);

    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_EQ(Back(620, 40), Gfx_PackFillColour(0x30, 0x30, 0x30)) << "cut at the draw area's right";
    EXPECT_EQ(Back(312, 8), Gfx_PackFillColour(0xC0, 0x40, 0x80)) << "flat quad moved by the draw offset";
    EXPECT_EQ(Back(308, 8), Gfx_PackFillColour(0x30, 0x30, 0x30));
    EXPECT_EQ(Back(300, 300), Gfx_PackFillColour(0xFF, 0, 0));
    TestLayer_SetUp(g_iPixelFormat);
    Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
    EXPECT_TRUE(TestLayer_MatchesGolden("prims3d_packet_kinds", 0x3C7BCDA4AFF61A4E));
}

TEST_F(Prims3DPackets, WidthZeroSpritesAndTilesDrawOnePixelWide)
{
    Gfx_ClearViewportColour(0);
    auto tile = Packet(20, 0xFFFFFF, 0x60);
    XY(tile, 12, 100, 100);
    I16(tile, 18, 10);
    ASSERT_EQ(Gfx_DrawTilePacket(P(tile)), 0);
    auto sprite = Packet(24, 0xFFFFFF, 0x64);
    XY(sprite, 12, 200, 100);
    I16(sprite, 22, 10);
    ASSERT_EQ(Gfx_DrawSpritePacket(P(sprite)), 0);
    for (auto *p : {&tile, &sprite}) {
        int16_t w;
        std::memcpy(&w, p->data() + (p == &tile ? 16 : 20), 2);
        EXPECT_EQ(w, 1) << "the width is written back";
    }
    for (int x : {100, 200}) {
        SCOPED_TRACE(x);
        EXPECT_NE(Back(x, 105), 0);
        EXPECT_EQ(Back(x + 1, 105), 0);
        EXPECT_EQ(Back(x - 1, 105), 0);
    }
    // A failed draw is returned and not counted.
    g_iPrimitivesDrawn = 0;
    Sw3d_TestFailAfter(5, SW3D_ERR_GENERIC); // four blend states and the unbinding, then the draw
    auto line = Packet(20, 0xFFFFFF, 0x40);
    XY(line, 16, 10, 10);
    g_uTexturePage = 1 << 5;
    const int32_t r = Gfx_DrawLinePacket(P(line));
    Sw3d_TestFailAfter(-1, 0);
    EXPECT_NE(r, 0);
    EXPECT_EQ(g_iPrimitivesDrawn, 0);
    EXPECT_NE(Gfx_DrawFlatQuadPacket(nullptr), 0);
    EXPECT_NE(Gfx_DrawSpritePacket(nullptr), 0);
    EXPECT_EQ(Gfx_ClipLine(nullptr), 0);
}

} // namespace
