// Console drawing through the 3-D device: blend-mode states in and out of a scene, the scene
// bracket, textured triangle packets, the picture panel, additive squares, the rotated grab grid
// and the test frame, with golden pictures of the back buffer and the failure paths.
#include "core/fixmath.h"
#include "platform/display.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "support/test3d.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class Prims3D : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        Sys_BuildSineTable();
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        Gfx_InitQuadGridIndices();
        g_iD3DOffsetX = g_iD3DOffsetY = 0;
        SetDrawArea(0, 0, 640, 480);
    }
    void TearDown() override
    {
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_ReleaseColourKeySurface();
        Test3D_Close();
        g_bSceneOpen = 0;
        g_iD3DOffsetX = g_iD3DOffsetY = 0;
        SetDrawArea(0, 0, 640, 480);
        g_pLayerFrame = nullptr;
        for (uint16_t *&row : g_apLayerRows)
            row = nullptr;
        g_iPixelFormat = PIXELFORMAT_565;
    }

    static void SetDrawArea(int32_t l, int32_t t, int32_t r, int32_t b)
    {
        g_iDrawAreaLeft = l;
        g_iDrawAreaTop = t;
        g_iDrawAreaRight = r;
        g_iDrawAreaBottom = b;
    }
    static uint32_t RS(SW3DRENDERSTATE s)
    {
        uint32_t v = 0;
        EXPECT_EQ(Sw3d_GetRenderState(g_pD3DDevice, s, &v), 0);
        return v;
    }
    static uint32_t TSS(SW3DTSS s)
    {
        uint32_t v = 0;
        EXPECT_EQ(Sw3d_GetTextureStageState(g_pD3DDevice, 0, s, &v), 0);
        return v;
    }
    static uint32_t Material()
    {
        uint32_t v = 0;
        EXPECT_EQ(Sw3d_GetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, &v), 0);
        return v;
    }
    static uint16_t *Back(int x, int y)
    {
        int32_t pitch = 0, w = 0, h = 0;
        uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
        return back + static_cast<size_t>(y) * (pitch / 2) + x;
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
    // A 36-byte textured triangle packet (code 0x24).
    static std::vector<uint8_t> Triangle(uint32_t rgb, std::initializer_list<int> xyuv)
    {
        std::vector<uint8_t> p(36, 0);
        p[8] = static_cast<uint8_t>(rgb >> 16);
        p[9] = static_cast<uint8_t>(rgb >> 8);
        p[10] = static_cast<uint8_t>(rgb);
        p[11] = 0x24;
        const int *c = xyuv.begin();
        for (int i = 0; i < 3; i++, c += 4) {
            const int16_t xy[2] = {static_cast<int16_t>(c[0]), static_cast<int16_t>(c[1])};
            std::memcpy(&p[12 + 8 * i], xy, 4);
            p[16 + 8 * i] = static_cast<uint8_t>(c[2]);
            p[17 + 8 * i] = static_cast<uint8_t>(c[3]);
        }
        return p;
    }
    // A 44-byte textured quad packet (code 0x2C): only colour and the four u, v pairs matter here.
    static std::vector<uint8_t> QuadPacket(uint32_t rgb, const uint8_t uv[4][2])
    {
        std::vector<uint8_t> p(44, 0);
        p[8] = static_cast<uint8_t>(rgb >> 16);
        p[9] = static_cast<uint8_t>(rgb >> 8);
        p[10] = static_cast<uint8_t>(rgb);
        p[11] = 0x2C;
        for (int i = 0; i < 4; i++) {
            p[16 + 8 * i] = uv[i][0];
            p[17 + 8 * i] = uv[i][1];
        }
        return p;
    }
    static const PACKET *P(const std::vector<uint8_t> &p) { return reinterpret_cast<const PACKET *>(p.data()); }
    static void Rect(float x0, float y0, float x1, float y1, float z, uint32_t c)
    {
        const SW3DTLVERTEX v[4] = {{x0, y0, z, 1, c, 0, 0, 0}, {x1, y0, z, 1, c, 0, 0, 0},
                                   {x0, y1, z, 1, c, 0, 0, 0}, {x1, y1, z, 1, c, 0, 0, 0}};
        ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_TLVERTEX, v, 4, 0), 0);
    }
};

// 16 x 16 checker of two half-bright colours in 4:4:4:4 with alpha rising across the columns.
std::vector<uint16_t> AlphaChecker()
{
    std::vector<uint16_t> t(256);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            t[y * 16 + x] = static_cast<uint16_t>(x << 12 | (((x / 4 + y / 4) & 1) ? 0x0A50 : 0x0A0A));
    return t;
}

// 8 x 8 opaque checker in 5:6:5.
std::vector<uint16_t> Checker()
{
    std::vector<uint16_t> t(64);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            t[y * 8 + x] = ((x + y) & 1) ? 0xFFE0 : 0x001F;
    return t;
}

TEST_F(Prims3D, BlendModesSetTheirStatesInAndOutOfAScene)
{
    struct CASE
    {
        uint32_t scene;
        int32_t before; // mode set first
        int32_t mode;
        int32_t result;
        uint32_t blend, src, dst, zfunc;
    };
    constexpr uint32_t ONE = SW3D_BLEND_ONE, SA = SW3D_BLEND_SRCALPHA;
    constexpr uint32_t LE = SW3D_CMP_LESSEQUAL, AL = SW3D_CMP_ALWAYS;
    const CASE cases[] = {
        {1, 2, 0, 0, 0, ONE, ONE, LE}, // opaque and z-tested inside a scene
        {0, 2, 0, 0, 1, SA, SA, AL},   // outside: blending on, factors left by the last mode
        {0, 3, 0, 0, 1, SA, ONE, AL},
        {0, 1, 0, 0, 1, ONE, ONE, AL},
        {1, 0, 1, 0, 1, ONE, ONE, AL}, // additive
        {0, 0, 2, 0, 1, SA, SA, AL},
        {1, 0, 3, 0, 1, SA, ONE, AL},
        {1, 3, 4, 4, 1, SA, ONE, AL}, // outside 0-3: nothing changes, the value comes back
        {0, 2, -1, -1, 1, SA, SA, AL},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(::testing::Message() << "scene " << c.scene << " mode " << c.before << " then " << c.mode);
        g_bSceneOpen = 1;
        ASSERT_EQ(Gfx_SetBlendMode(c.before), 0);
        g_bSceneOpen = c.scene;
        EXPECT_EQ(Gfx_SetBlendMode(c.mode), c.result);
        EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), c.blend);
        EXPECT_EQ(RS(SW3D_RS_SRCBLEND), c.src);
        EXPECT_EQ(RS(SW3D_RS_DESTBLEND), c.dst);
        EXPECT_EQ(RS(SW3D_RS_ZFUNC), c.zfunc);
    }
    // The first failing state ends the sequence: mode 1 stops after turning blending on.
    g_bSceneOpen = 1;
    ASSERT_EQ(Gfx_SetBlendMode(0), 0);
    Sw3d_TestFailAfter(1, SW3D_ERR_GENERIC);
    EXPECT_NE(Gfx_SetBlendMode(1), 0);
    EXPECT_EQ(g_hrD3D, Gfx_D3DResult(SW3D_ERR_GENERIC));
    Sw3d_TestFailAfter(-1, 0);
    EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL));
}

TEST_F(Prims3D, SceneBracketSwitchesBetweenTheTwoStates)
{
    EXPECT_EQ(g_bSceneOpen, 0u);
    EXPECT_EQ(Material(), 0u);
    ASSERT_EQ(Gfx_BeginScene(), 0);
    EXPECT_EQ(g_bSceneOpen, 1u);
    EXPECT_EQ(Material(), g_hMaterial);
    EXPECT_NE(g_hMaterial, 0u);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x00FFFFFFu);
    EXPECT_EQ(TSS(SW3D_TSS_MINFILTER), SW3D_FILTER_LINEAR);
    EXPECT_EQ(TSS(SW3D_TSS_MAGFILTER), SW3D_FILTER_LINEAR);
    EXPECT_EQ(RS(SW3D_RS_CULLMODE), SW3D_CULL_NONE);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL));
    Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, SW3D_TOP_SELECTARG1);

    // A failing end leaves the scene open.
    Sw3d_TestFailAfter(0, SW3D_ERR_GENERIC);
    EXPECT_NE(Gfx_EndScene(), 0);
    Sw3d_TestFailAfter(-1, 0);
    EXPECT_EQ(g_bSceneOpen, 1u);
    EXPECT_EQ(Material(), g_hMaterial);

    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_EQ(g_bSceneOpen, 0u);
    EXPECT_EQ(Material(), 0u);
    EXPECT_EQ(TSS(SW3D_TSS_COLOROP), SW3D_TOP_MODULATE);
    EXPECT_EQ(TSS(SW3D_TSS_COLORARG1), SW3D_TA_TEXTURE);
    EXPECT_EQ(TSS(SW3D_TSS_COLORARG2), SW3D_TA_DIFFUSE);
    // Ending with no scene open is the device's error and changes nothing.
    EXPECT_EQ(Gfx_EndScene(), Gfx_D3DResult(SW3D_ERR_NOSCENE));
    EXPECT_EQ(g_bSceneOpen, 0u);
}

TEST_F(Prims3D, GoldenTrianglePacketsAndBlendModes)
{
    Gfx_ClearViewportColour(0x00404040);
    // A near rectangle: the packet triangles draw over it with the z test off.
    Rect(0, 0, 640, 40, 0.0f, 0x00000080);
    g_iD3DOffsetX = 50; // the packets do not use the draw offset
    g_iD3DOffsetY = 30;

    // Flat: no texture bound samples white, so the packet colour alone.
    const auto flat = Triangle(0xE02020, {10, 10, 0, 0, 200, 20, 0, 0, 30, 200, 0, 0});
    ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(flat)), 0);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL)) << "less-or-equal again after";
    EXPECT_EQ(*Back(40, 30), Gfx_PackFillColour(0xE0, 0x20, 0x20)) << "raw coordinates, drawn over the near z";
    EXPECT_EQ(*Back(12, 1), Gfx_PackFillColour(0, 0, 0x80)) << "nothing at the draw offset's place";

    // Textured: the checker modulated by grey, texture coordinates / 256.
    const std::vector<uint16_t> checker = Checker();
    const SW3DTEXTURE ctex{8, 8, SW3D_TEX_16_RGB565, 16, checker.data(), nullptr, 0};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &ctex), 0);
    const auto tex1 = Triangle(0x808080, {220, 10, 0, 0, 420, 10, 255, 0, 220, 210, 0, 255});
    const auto tex2 = Triangle(0xFFFFFF, {420, 10, 255, 0, 420, 210, 255, 255, 220, 210, 0, 255});
    ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(tex1)), 0);
    ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(tex2)), 0);
    const auto small = Triangle(0xFFFFFF, {440, 10, 0, 0, 630, 10, 64, 0, 440, 200, 0, 64}); // a quarter of the page
    ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(small)), 0);

    // Each blend mode over a stripe of green, drawn with the alpha-ramped checker.
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, nullptr), 0);
    Rect(0, 240, 640, 470, 0.5f, 0x00006000);
    const std::vector<uint16_t> alpha = AlphaChecker();
    const SW3DTEXTURE atex{16, 16, SW3D_TEX_16_ARGB4444, 32, alpha.data(), nullptr, 0};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &atex), 0);
    for (int mode = 0; mode < 4; mode++) {
        g_bSceneOpen = mode == 0; // mode 0 shown opaque, as in a scene
        ASSERT_EQ(Gfx_SetBlendMode(mode), 0);
        const int x = 10 + mode * 157;
        const auto a = Triangle(0xC0C0C0, {x, 250, 0, 0, x + 140, 250, 255, 0, x, 460, 0, 255});
        const auto b = Triangle(0xC0C0C0, {x + 140, 250, 255, 0, x + 140, 460, 255, 255, x, 460, 0, 255});
        ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(a)), 0);
        ASSERT_EQ(Gfx_DrawShadedPolygonPacket(P(b)), 0);
    }
    EXPECT_TRUE(Golden("prims3d_packets", 0x47750FAD49657ADF));
}

// A picture in the back buffer's draw area, grabbed: coloured bands with a black hole and frame.
void GrabPicture(int l, int t, int r, int b)
{
    int32_t pitch = 0, w = 0, h = 0;
    uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
    for (int y = t; y < b; y++)
        for (int x = l; x < r; x++) {
            const bool hole = (x - l) > (r - l) / 3 && (x - l) < (r - l) * 2 / 3 && (y - t) > (b - t) / 3 &&
                              (y - t) < (b - t) * 2 / 3;
            const bool edge = x < l + 4 || y < t + 4;
            back[static_cast<size_t>(y) * (pitch / 2) + x] =
                hole || edge ? 0 : Gfx_PackFillColour(static_cast<uint8_t>((x - l) * 255 / (r - l)), 0x90,
                                                       static_cast<uint8_t>((y - t) * 255 / (b - t)));
        }
}

TEST_F(Prims3D, GoldenPicturePanelAndAdditiveSquares)
{
    ASSERT_EQ(Gfx_CreateColourKeySurface(64, 64), 0);
    SetDrawArea(0, 0, 128, 128);
    GrabPicture(0, 0, 128, 128);
    ASSERT_EQ(Gfx_GrabDrawArea(), 0);
    ASSERT_EQ(Gfx_BeginScene(), 0);
    Gfx_ClearViewportColour(0x00303030);

    // The panel: world corners on the plane z = 400 (x 92..284, y 120..360 on the screen).
    const int16_t corners[16] = {-380, 200, 400, 0, -60, 200, 400, 0, -380, -200, 400, 0, -60, -200, 400, 0};
    const uint8_t fill[3] = {0x20, 0xA0, 0xF0};
    ASSERT_EQ(Gfx_DrawImageQuad(corners, fill), 0);
    EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(RS(SW3D_RS_COLORKEYENABLE), 0u);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL));
    // The middle of the panel is the black hole of the picture: the fill colour shows there.
    EXPECT_EQ(*Back(188, 240), Gfx_PackFillColour(0x20, 0xA0, 0xF0));
    EXPECT_NE(*Back(120, 330), Gfx_PackFillColour(0x20, 0xA0, 0xF0)) << "the picture over the fill";

    // Additive squares with the grab still bound; where they overlap the sum saturates.
    const uint8_t uv[4][2] = {{0, 0}, {128, 0}, {0, 128}, {128, 128}};
    const auto quad = QuadPacket(0x606060, uv);
    const int16_t c1[3] = {150, 50, 400}, c2[3] = {230, -30, 400};
    ASSERT_EQ(Gfx_DrawQuad3D(c1, 100, P(quad)), 0);
    ASSERT_EQ(Gfx_DrawQuad3D(c2, 100, P(quad)), 0);
    // Always back to mode 0: inside the scene the next primitive is opaque and z-tested.
    EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL));
    // The video engine's half-sizes, far away, the picture repeated twice across.
    const uint8_t big[4][2] = {{0, 0}, {255, 0}, {0, 255}, {255, 255}};
    const auto wide = QuadPacket(0xFFFFFF, big);
    const int16_t c3[3] = {2400, -1800, 6000}, c4[3] = {-2000, 1800, 6000};
    ASSERT_EQ(Gfx_DrawQuad3D(c3, 960, P(wide)), 0);
    ASSERT_EQ(Gfx_DrawQuad3D(c4, 1440, P(wide)), 0);
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("prims3d_panel_squares", 0x2BBEE71FC1FE52BD));
}

TEST_F(Prims3D, GoldenRotatedGrabGrid)
{
    EXPECT_EQ(g_auQuadGridIndices[0], 0);
    EXPECT_EQ(g_auQuadGridIndices[1], 9);
    EXPECT_EQ(g_auQuadGridIndices[2], 1);
    EXPECT_EQ(g_auQuadGridIndices[18], 9) << "the second strip starts a row down";
    EXPECT_EQ(g_auQuadGridIndices[8 * 18 - 1], 80);

    ASSERT_EQ(Gfx_CreateColourKeySurface(128, 128), 0);
    SetDrawArea(100, 60, 540, 420);
    Gfx_ClearViewportColour(0x00000000);
    GrabPicture(100, 60, 540, 420);
    ASSERT_EQ(Gfx_GrabDrawArea(), 0);
    Gfx_ClearViewportColour(0x00402020);
    ASSERT_EQ(Gfx_BindGrabTexture(), 0);
    // One eighth of a turn, shrunk to three quarters, colour bytes doubled (0x90 -> 255).
    ASSERT_EQ(Gfx_DrawRotatedTexture(0x00904060, 512, 3072), 0);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_LESSEQUAL));
    EXPECT_EQ(RS(SW3D_RS_ZWRITEENABLE), 1u);
    EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(*Back(50, 50), Gfx_PackFillColour(0x40, 0x20, 0x20)) << "outside the draw area untouched";
    EXPECT_TRUE(Golden("prims3d_rotated_grid", 0xEAF8A0CCB7927764));
}

TEST_F(Prims3D, GoldenTestFrame)
{
    const uint32_t presented = Plat_DisplayPresentCount();
    ASSERT_EQ(Gfx_DrawDeviceTestFrame(), 0);
    EXPECT_EQ(Plat_DisplayPresentCount(), presented + 1);
    EXPECT_EQ(g_bSceneOpen, 0u);
    EXPECT_EQ(*Back(600, 400), Gfx_PackFillColour(0x7F, 0x7F, 0x7F));
    EXPECT_NE(*Back(320, 240), Gfx_PackFillColour(0x7F, 0x7F, 0x7F)) << "the band crosses the middle";
    EXPECT_TRUE(Golden("prims3d_test_frame", 0xB88158E3A43D2B15));
}

TEST_F(Prims3D, FailuresStopWhereTheyHappen)
{
    const auto tri = Triangle(0xFFFFFF, {10, 10, 0, 0, 100, 10, 0, 0, 10, 100, 0, 0});
    // Draw fails: the z compare stays at always.
    Sw3d_TestFailAfter(1, SW3D_ERR_GENERIC);
    EXPECT_EQ(Gfx_DrawShadedPolygonPacket(P(tri)), Gfx_D3DResult(SW3D_ERR_GENERIC));
    Sw3d_TestFailAfter(-1, 0);
    EXPECT_EQ(RS(SW3D_RS_ZFUNC), static_cast<uint32_t>(SW3D_CMP_ALWAYS));

    // Draw of the square fails: blend mode 1 stays set.
    g_bSceneOpen = 1;
    ASSERT_EQ(Gfx_SetBlendMode(0), 0);
    const uint8_t uv[4][2] = {};
    const auto quad = QuadPacket(0xFFFFFF, uv);
    const int16_t centre[3] = {0, 0, 400};
    Sw3d_TestFailAfter(4, SW3D_ERR_GENERIC);
    EXPECT_NE(Gfx_DrawQuad3D(centre, 960, P(quad)), 0);
    Sw3d_TestFailAfter(-1, 0);
    EXPECT_EQ(RS(SW3D_RS_ALPHABLENDENABLE), 1u);
    g_bSceneOpen = 0;

    // Test frame, failing at each counted call in turn: when it answers a failure (a stage
    // state or the draw) it returned inside the open scene and showed nothing.
    int failures = 0;
    for (int calls = 0; calls < 40; calls++) {
        SCOPED_TRACE(calls);
        const uint32_t presented = Plat_DisplayPresentCount();
        Sw3d_TestFailAfter(calls, SW3D_ERR_GENERIC);
        const int32_t r = Gfx_DrawDeviceTestFrame();
        Sw3d_TestFailAfter(-1, 0);
        if (r != 0) {
            failures++;
            EXPECT_EQ(r, Gfx_D3DResult(SW3D_ERR_GENERIC));
            EXPECT_EQ(Plat_DisplayPresentCount(), presented);
            EXPECT_EQ(g_bSceneOpen, 1u);
        }
        Sw3d_EndScene(g_pD3DDevice);
        g_bSceneOpen = 0;
    }
    EXPECT_EQ(failures, 3) << "two stage states and the draw";
    const uint32_t presented = Plat_DisplayPresentCount();
    EXPECT_EQ(Gfx_DrawDeviceTestFrame(), 0);
    EXPECT_EQ(Plat_DisplayPresentCount(), presented + 1);

    // Missing input is refused without drawing.
    EXPECT_NE(Gfx_DrawShadedPolygonPacket(nullptr), 0);
    EXPECT_NE(Gfx_DrawImageQuad(nullptr, nullptr), 0);
    EXPECT_NE(Gfx_DrawQuad3D(nullptr, 1, P(quad)), 0);
    EXPECT_NE(Gfx_DrawQuad3D(centre, 1, nullptr), 0);
    // No grab surface: the panel stops at the grab binding.
    const int16_t corners[16] = {};
    const uint8_t fill[3] = {1, 2, 3};
    EXPECT_EQ(Gfx_DrawImageQuad(corners, fill), Gfx_D3DResult(SW3D_ERR_INVALIDPARAMS));
}

TEST(Prims3DNoDevice, CallsWithoutADeviceAnswerAnError)
{
    ASSERT_EQ(g_pD3DDevice, nullptr);
    const std::vector<uint8_t> packet(44, 0);
    const PACKET *p = reinterpret_cast<const PACKET *>(packet.data());
    const int16_t centre[3] = {};
    EXPECT_NE(Gfx_SetBlendMode(1), 0);
    EXPECT_NE(Gfx_BeginScene(), 0);
    EXPECT_NE(Gfx_DrawShadedPolygonPacket(p), 0);
    EXPECT_NE(Gfx_DrawQuad3D(centre, 960, p), 0);
    EXPECT_NE(Gfx_DrawRotatedTexture(0x808080, 0, 4096), 0);
    EXPECT_NE(Gfx_BindGrabTexture(), 0);
    g_bSceneOpen = 0;
}

} // namespace
