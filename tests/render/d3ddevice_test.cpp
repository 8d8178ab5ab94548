// The 3-D device on the headless display: device list, creation and release, viewport mapping,
// clears, start state, projection, result names, and golden pictures of the rasteriser.
#include "core/file.h"
#include "platform/display.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "support/test3d.h"
#include "support/testlayer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

class D3DDevice : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Test3D_Open()); }
    void TearDown() override
    {
        Test3D_Close();
        g_pLayerFrame = nullptr;
        for (uint16_t *&row : g_apLayerRows)
            row = nullptr;
        g_iPixelFormat = PIXELFORMAT_565;
    }

    static uint16_t BackPixel(int x, int y)
    {
        int32_t pitch = 0, w = 0, h = 0;
        const uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
        return back[static_cast<size_t>(y) * (pitch / 2) + x];
    }

    // The back buffer as a golden picture.
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }

    static void State(SW3DRENDERSTATE s, uint32_t v) { ASSERT_EQ(Sw3d_SetRenderState(g_pD3DDevice, s, v), 0); }
    static void Stage(SW3DTSS s, uint32_t v) { ASSERT_EQ(Sw3d_SetTextureStageState(g_pD3DDevice, 0, s, v), 0); }
    static void Tri(const std::vector<SW3DTLVERTEX> &v, SW3DPRIMITIVE type = SW3D_PT_TRIANGLELIST)
    {
        ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, type, SW3D_FVF_TLVERTEX, v.data(), static_cast<int32_t>(v.size()), 0), 0);
    }
    static SW3DTLVERTEX V(float x, float y, float z, uint32_t c, float u = 0.0f, float v = 0.0f)
    {
        return {x, y, z, 1.0f, c, 0, u, v};
    }
};

// A checker of 8 x 8 texels in 1:5:5:5 with a black (keyed) centre column.
std::vector<uint16_t> Checker()
{
    std::vector<uint16_t> t(64);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            t[y * 8 + x] = x == 3 ? 0x8000 : ((x + y) & 1) ? 0xFFFF : static_cast<uint16_t>(0x8000 | (31 << 10) | (8 << 5));
    return t;
}

TEST_F(D3DDevice, DefaultListMakesTheStudioDeviceTheHardwareOne)
{
    EXPECT_EQ(g_iRenderDeviceCount, 2);
    EXPECT_EQ(g_aRenderDevices[0].hardware, 0u);
    EXPECT_EQ(g_aRenderDevices[1].hardware, 1u);
    EXPECT_EQ(g_iRenderDevice, 1);
    EXPECT_EQ(g_bSoftware3D, 0);
    EXPECT_EQ(g_aDisplayDevices[g_iDisplayDevice].surfaceMemory, DDSCAPS_VIDEOMEMORY);
    EXPECT_STREQ(Gfx_GetRenderDeviceName(1), "Studio 3D (Studio rasteriser)");
    EXPECT_STREQ(Gfx_GetRenderDeviceName(2), "");
    Gfx_ReleaseLights();
    ASSERT_EQ(Gfx_CreateD3DDevice(1), 0);
    EXPECT_STREQ(g_szErrorText, "Studio 3D (Studio rasteriser) Device Created");
    EXPECT_EQ(g_pD3D != nullptr && g_pD3DDevice != nullptr && g_pViewport != nullptr, true);
}

TEST_F(D3DDevice, DeviceListsDecideTheRecordAndItsMemory)
{
    SW3DDEVICEINFO full{};
    full.guid = SW3D_GUID_HARDWARE;
    std::strcpy(full.name, "hw");
    std::strcpy(full.description, "card");
    full.hardware = {SW3D_DEVCAPS_DRAWPRIMTLVERTEX | SW3D_DEVCAPS_TEXTUREVIDEOMEMORY, SW3D_TEXBLEND_MODULATE,
                     SW3D_BLENDCAPS_ONE, SW3D_BLENDCAPS_ONE};
    SW3DDEVICEINFO noDestOne = full;
    noDestOne.hardware.destBlendCaps = SW3D_BLENDCAPS_SRCALPHA;
    const struct
    {
        std::vector<SW3DDEVICEINFO> list;
        int32_t count, record;
        uint32_t hardware;
    } cases[] = {
        {{full, noDestOne}, 2, 1, 0},                   // lacks ONE for the destination
        {{full}, 1, 0, 1},                               // record 1 asked, only one listed
        {std::vector<SW3DDEVICEINFO>(9, full), 8, 1, 1}, // a ninth device is not listed
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.list.size());
        Gfx_ReleaseLights();
        Sw3d_TestSetDevices(c.list.data(), static_cast<int32_t>(c.list.size()));
        ASSERT_EQ(Gfx_EnumerateD3DDevices(nullptr), 0);
        EXPECT_EQ(g_pD3D, nullptr) << "the enumeration leaves no interface";
        EXPECT_EQ(g_iRenderDeviceCount, c.count);
        ASSERT_EQ(Gfx_CreateD3DDevice(1), 0);
        EXPECT_EQ(g_iRenderDevice, c.record);
        EXPECT_EQ(g_bSoftware3D, c.hardware ? 0 : 1);
        EXPECT_EQ(g_aDisplayDevices[g_iDisplayDevice].surfaceMemory, c.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        EXPECT_EQ(Gfx_ReleaseD3DDevice(), 0);
        EXPECT_EQ(g_pD3DDevice, nullptr);
    }
}

TEST_F(D3DDevice, CreationFailuresAreReported)
{
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    // No 16-bit z format: refused instead of made from a stale slot.
    const SW3DZFORMAT withStencil[] = {{SW3D_ZF_ZBUFFER | SW3D_ZF_STENCIL, 16}, {SW3D_ZF_ZBUFFER, 24}};
    Sw3d_TestSetZFormats(withStencil, 2);
    EXPECT_EQ(Gfx_CreateD3DDevice(1), D3DERR_ZBUFFER_NOTPRESENT);
    EXPECT_EQ(g_pD3DDevice, nullptr);
    Gfx_ReleaseD3DDevice();
    Sw3d_TestSetZFormats(nullptr, -1);
    // Nothing listed: the all-zero record names no device.
    Sw3d_TestSetDevices(nullptr, 0);
    const SW3DDEVICEINFO none[1] = {};
    Sw3d_TestSetDevices(none, 0);
    ASSERT_EQ(Gfx_EnumerateD3DDevices(nullptr), 0);
    std::memset(g_aRenderDevices, 0, sizeof g_aRenderDevices);
    EXPECT_EQ(Gfx_CreateD3DDevice(1), D3DERR_INVALID_DEVICE);
    EXPECT_STREQ(g_szDXErrorName, "D3DERR_INVALID_DEVICE");
    Gfx_ReleaseD3DDevice();
    Sw3d_TestSetDevices(nullptr, 0);
    // No display: no interface.
    Gfx_ReleaseDirectDraw();
    EXPECT_EQ(Gfx_EnumerateD3DDevices(nullptr), 1);
    EXPECT_EQ(Gfx_CreateD3DDevice(1), 1);
}

TEST_F(D3DDevice, FirstFailingStartStateIsReturned)
{
    // The fourth state (z writes) fails: the ones after it keep the device's own values.
    ASSERT_EQ(Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_SRCBLEND, SW3D_BLEND_ZERO), 0);
    Sw3d_TestFailAfter(3, SW3D_ERR_NODEVICE);
    EXPECT_EQ(Gfx_SetInitialRenderState(), D3DERR_INVALID_DEVICE);
    EXPECT_EQ(g_hrD3D, D3DERR_INVALID_DEVICE);
    uint32_t v = 0;
    Sw3d_GetRenderState(g_pD3DDevice, SW3D_RS_SRCBLEND, &v);
    EXPECT_EQ(v, static_cast<uint32_t>(SW3D_BLEND_ZERO));
    // Whole: every state of the start table.
    ASSERT_EQ(Gfx_SetInitialRenderState(), 0);
    const struct
    {
        SW3DRENDERSTATE s;
        uint32_t v;
    } states[] = {{SW3D_RS_SHADEMODE, SW3D_SHADE_GOURAUD}, {SW3D_RS_CULLMODE, SW3D_CULL_NONE}, {SW3D_RS_ZENABLE, 1},
                  {SW3D_RS_ZWRITEENABLE, 1}, {SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL}, {SW3D_RS_SRCBLEND, SW3D_BLEND_ONE},
                  {SW3D_RS_DESTBLEND, SW3D_BLEND_ONE}, {SW3D_RS_COLORKEYENABLE, 0}, {SW3D_RS_ALPHABLENDENABLE, 0}};
    for (const auto &s : states) {
        Sw3d_GetRenderState(g_pD3DDevice, s.s, &v);
        EXPECT_EQ(v, s.v) << s.s;
    }
    Sw3d_GetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MAGFILTER, &v);
    EXPECT_EQ(v, SW3D_FILTER_POINT);
    for (const SW3DTLVERTEX &s : g_aScratchVertices) {
        EXPECT_EQ(s.sz, 0.1f);
        EXPECT_EQ(s.rhw, 1.0f);
        EXPECT_EQ(s.colour, 0x00FFFFFFu);
    }
}

TEST_F(D3DDevice, ViewportMapsLayoutUnitsOntoTheMode)
{
    Test3D_Close();
    ASSERT_TRUE(Test3D_Open(2)); // 800 x 600
    const struct
    {
        int32_t x, y, w, h;
        int32_t X, Y, W, H;
    } cases[] = {
        {0, 0, 640, 480, 0, 0, 800, 600},
        {320, 240, 320, 240, 400, 300, 400, 300},
        {-64, 0, 128, 48, 0, 0, 80, 60},      // partly off the left: the visible part
        {600, 400, 200, 200, 750, 500, 50, 100}, // cut at the right and bottom
        {-500, -500, 10, 10, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x);
        ASSERT_EQ(Gfx_SetViewport(c.x, c.y, c.w, c.h), 0);
        SW3DVIEWPORT vp{};
        Sw3d_GetViewport(g_pViewport, &vp);
        EXPECT_EQ(vp.x, c.X);
        EXPECT_EQ(vp.y, c.Y);
        EXPECT_EQ(vp.width, c.W);
        EXPECT_EQ(vp.height, c.H);
        EXPECT_EQ(vp.clipX, -1.0f);
        EXPECT_EQ(vp.clipWidth, 2.0f);
        EXPECT_EQ(g_iDrawAreaRight, c.X + c.W);
        EXPECT_EQ(g_iDrawAreaBottom, c.Y + c.H);
        EXPECT_EQ(g_rcClear.x2, c.X + c.W);
    }
}

TEST_F(D3DDevice, ClearsCoverTheViewportOnlyAndNeedADevice)
{
    ASSERT_EQ(Gfx_ClearViewportColour(0x000000FF), 0);
    ASSERT_EQ(Gfx_SetViewport(10, 20, 30, 40), 0);
    ASSERT_EQ(Gfx_ClearViewportColour(0x00FF0000), 0);
    EXPECT_EQ(BackPixel(10, 20), 0xF800);
    EXPECT_EQ(BackPixel(39, 59), 0xF800);
    EXPECT_EQ(BackPixel(40, 59), 0x001F);
    EXPECT_EQ(BackPixel(39, 60), 0x001F);
    int32_t zw = 0, zh = 0;
    uint16_t *z = Gfx_GetZBuffer(&zw, &zh);
    z[20 * zw + 10] = 5;
    z[0] = 5;
    ASSERT_EQ(Gfx_ClearZBuffer(), 0);
    EXPECT_EQ(z[20 * zw + 10], 0xFFFF);
    EXPECT_EQ(z[0], 5);
    EXPECT_EQ(BackPixel(10, 20), 0xF800) << "a z clear leaves the colour";
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    EXPECT_EQ(Gfx_ClearViewportColour(0), 0);
    EXPECT_EQ(Gfx_ClearZBuffer(), 0);
}

TEST_F(D3DDevice, ProjectionMatrix)
{
    SW3DMATRIX m{};
    Gfx_BuildProjectionMatrix(&m, 90.0f, 0.75f, 1.0f, 65535.0f);
    EXPECT_NEAR(m._11, 0.75f, 1e-6f);
    EXPECT_NEAR(m._22, 1.0f, 1e-6f);
    EXPECT_NEAR(m._33, 65535.0f / 65534.0f, 1e-6f);
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_NEAR(m._43, -65535.0f / 65534.0f, 1e-6f);
    EXPECT_EQ(m._44, 0.0f);
    SW3DMATRIX kept = m;
    Gfx_BuildProjectionMatrix(&m, 60.0f, 1.0f, 5.0f, 5.0f);
    EXPECT_EQ(std::memcmp(&m, &kept, sizeof m), 0) << "near equal to far";
    Gfx_BuildProjectionMatrix(&m, 0.0f, 1.0f, 1.0f, 5.0f);
    EXPECT_EQ(std::memcmp(&m, &kept, sizeof m), 0) << "no field of view";
    SW3DMATRIX a{}, b{}, r{};
    Gfx_SetIdentityMatrix(&a);
    a._41 = 2.0f; // translate
    Gfx_SetIdentityMatrix(&b);
    b._11 = 3.0f; // scale x
    Gfx_MultiplyMatrix(&a, &b, &r); // b x a: scale, then translate
    EXPECT_EQ(r._11, 3.0f);
    EXPECT_EQ(r._41, 2.0f);
}

TEST_F(D3DDevice, ResultNames)
{
    const struct
    {
        int32_t code;
        const char *name;
    } cases[] = {{D3DERR_INVALID_DEVICE, "D3DERR_INVALID_DEVICE"}, {D3DERR_INITFAILED, "D3DERR_INITFAILED"},
                 {D3DERR_NOCURRENTVIEWPORT, "D3DERR_NOCURRENTVIEWPORT"},
                 {D3DERR_VIEWPORTHASNODEVICE, "D3DERR_VIEWPORTHASNODEVICE"},
                 {D3DERR_INVALIDVERTEXFORMAT, "D3DERR_INVALIDVERTEXFORMAT"}};
    for (const auto &c : cases) {
        EXPECT_STREQ(Gfx_D3DErrorName(c.code), c.name);
        EXPECT_STREQ(g_szDXErrorName, c.name);
    }
    EXPECT_EQ(Gfx_D3DErrorName(DDERR_SURFACELOST), nullptr);
    EXPECT_EQ(Gfx_D3DErrorName(0), nullptr);
    EXPECT_STREQ(g_szDXErrorName, "D3DERR_INVALIDVERTEXFORMAT") << "an unknown code keeps the last name";
    // A device failure lands in g_hrD3D with its name.
    const SW3DTLVERTEX v[3] = {};
    EXPECT_EQ(Gfx_D3DResult(Sw3d_DrawPrimitive(g_pD3DDevice, static_cast<SW3DPRIMITIVE>(9), SW3D_FVF_TLVERTEX, v, 3, 0)),
              D3DERR_INVALIDPRIMITIVETYPE);
}

TEST_F(D3DDevice, BadDrawsAreRefusedOrDrawNothing)
{
    Gfx_ClearViewportColour(0);
    const float inf = 1.0f / 0.0f, nan = std::nanf("");
    const std::vector<SW3DTLVERTEX> bad = {V(0, 0, 0.5f, ~0u), V(inf, 10, 0.5f, ~0u), V(10, 10, 0.5f, ~0u),
                                           V(nan, 0, 0, ~0u), V(5, 5, 0, ~0u), V(0, 9, 0, ~0u),
                                           V(-1e9f, -1e9f, 0, ~0u), V(1e9f, 0, 0, ~0u), V(0, 1e9f, 0, ~0u)};
    Tri(bad);
    TestLayer_SetUp(g_iPixelFormat);
    Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
    EXPECT_EQ(TestLayer_Hash(), (TestLayer_Fill(0), TestLayer_Hash())) << "non-finite and huge triangles are left out";
    const uint16_t idx[3] = {0, 1, 7};
    EXPECT_EQ(Sw3d_DrawIndexedPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, bad.data(), 3, idx, 3, 0),
              SW3D_ERR_INVALIDPARAMS);
    EXPECT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, 0x999, bad.data(), 3, 0), SW3D_ERR_VERTEXTYPE);
    const uint16_t tex[4] = {};
    const SW3DTEXTURE badTex[] = {{0, 2, SW3D_TEX_16_RGB565, 4, tex, nullptr, 0},
                                  {2, 2, 0x80, 4, tex, nullptr, 0},
                                  {2, 2, SW3D_TEX_16_RGB565, 2, tex, nullptr, 0},
                                  {2, 2, SW3D_TEX_8_PAL8, 2, tex, nullptr, 0}};
    for (const SW3DTEXTURE &t : badTex)
        EXPECT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &t), SW3D_ERR_INVALIDPARAMS);
}

TEST_F(D3DDevice, FillRuleCoversEachPixelOnce)
{
    // Squares cut in two along either diagonal, drawn added onto black: each covered pixel is hit
    // exactly once, and the covered pixels are those whose centres lie inside the square.
    const struct
    {
        float x0, y0, x1, y1;
        bool other;
        int left, top, right, bottom; // pixels covered
    } cases[] = {
        {10, 10, 20, 20, false, 10, 10, 20, 20},
        {10, 10, 20, 20, true, 10, 10, 20, 20},
        {10.5f, 10.5f, 20.5f, 20.5f, false, 10, 10, 20, 20}, // centres on the top and left edges
        {10.4f, 10.6f, 12.6f, 13.4f, true, 10, 11, 13, 13},
    };
    State(SW3D_RS_ALPHABLENDENABLE, 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.x0);
        Gfx_ClearViewportColour(0);
        const uint32_t red = 0x00800000;
        if (!c.other)
            Tri({V(c.x0, c.y0, 0.5f, red), V(c.x1, c.y0, 0.5f, red), V(c.x1, c.y1, 0.5f, red),
                 V(c.x0, c.y0, 0.5f, red), V(c.x1, c.y1, 0.5f, red), V(c.x0, c.y1, 0.5f, red)});
        else
            Tri({V(c.x0, c.y0, 0.5f, red), V(c.x1, c.y0, 0.5f, red), V(c.x0, c.y1, 0.5f, red),
                 V(c.x1, c.y0, 0.5f, red), V(c.x1, c.y1, 0.5f, red), V(c.x0, c.y1, 0.5f, red)});
        int wrong = 0;
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++) {
                const bool in = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                wrong += BackPixel(x, y) != (in ? 0x8000 : 0);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(D3DDevice, FailingReleaseStepKeepsWhatFollows)
{
    Gfx_ReleaseLights();
    // The texture eviction fails: device, viewport and interface stay for a later release.
    Sw3d_TestFailAfter(0, SW3D_ERR_GENERIC);
    EXPECT_EQ(Gfx_ReleaseD3DDevice(), DDERR_GENERIC);
    EXPECT_NE(g_pD3DDevice, nullptr);
    EXPECT_NE(g_pViewport, nullptr);
    EXPECT_NE(g_pD3D, nullptr);
    EXPECT_NE(Gfx_GetZBuffer(nullptr, nullptr), nullptr);
    // The viewport's release fails: it is kept, the device too.
    Sw3d_TestFailAfter(2, SW3D_ERR_GENERIC);
    EXPECT_EQ(Gfx_ReleaseD3DDevice(), DDERR_GENERIC);
    EXPECT_NE(g_pViewport, nullptr);
    EXPECT_NE(g_pD3DDevice, nullptr);
    EXPECT_EQ(Gfx_ReleaseD3DDevice(), 0);
    EXPECT_EQ(g_pViewport, nullptr);
    EXPECT_EQ(g_pD3DDevice, nullptr);
    EXPECT_EQ(g_pD3D, nullptr);
    EXPECT_EQ(Gfx_GetZBuffer(nullptr, nullptr), nullptr);
    // A device can be made again on the same display.
    EXPECT_EQ(Gfx_CreateD3DDevice(1), 0);
}

TEST_F(D3DDevice, ProcessedVerticesDrawAsTheDirectPath)
{
    // The mesh path (transform and light once, draw by index later) gives the same picture as a
    // direct draw of the same triangles.
    const SW3DVERTEX v[4] = {{-60, 40, 150, -0.6f, 0, -0.8f, 0x00FFFFFF, 0, 0},
                             {60, 40, 150, 0, -0.6f, -0.8f, 0x00FFC080, 1, 0},
                             {-60, -40, 150, 0, 0, -1, 0x0080FFFF, 0, 1},
                             {60, -40, 400, -0.6f, -0.8f, 0, 0x00FFFFFF, 1, 1}};
    const uint16_t idx[6] = {0, 1, 2, 1, 3, 2};
    Gfx_ClearViewportColour(0x00101010);
    ASSERT_EQ(Sw3d_DrawIndexedPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_VERTEX, v, 4, idx, 6, 0), 0);
    TestLayer_SetUp(g_iPixelFormat);
    Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
    const uint64_t direct = TestLayer_Hash();
    Gfx_ClearViewportColour(0x00101010);
    SW3DPVERTEX out[4];
    ASSERT_EQ(Sw3d_ProcessVertices(g_pD3DDevice, v, 4, 0, out), 0);
    ASSERT_EQ(Sw3d_DrawProcessed(g_pD3DDevice, SW3D_PT_TRIANGLELIST, out, 4, idx, 6), 0);
    Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
    EXPECT_EQ(TestLayer_Hash(), direct);
    EXPECT_NE(direct, (TestLayer_Fill(0x1082), TestLayer_Hash()));
    // Unlit: the vertex colours as given.
    ASSERT_EQ(Sw3d_ProcessVertices(g_pD3DDevice, v, 4, SW3D_DP_DONOTLIGHT, out), 0);
    EXPECT_EQ(out[1].colour, 0x00FFC080u);
    const uint16_t past[3] = {0, 1, 4};
    EXPECT_EQ(Sw3d_DrawProcessed(g_pD3DDevice, SW3D_PT_TRIANGLELIST, out, 4, past, 3), SW3D_ERR_INVALIDPARAMS)
        << "an index past the vertices";
}

TEST_F(D3DDevice, GoldenFlatAndGouraud)
{
    Gfx_ClearViewportColour(0x00404040);
    Tri({V(20, 20, 0.5f, 0x00FF0000), V(300, 40, 0.5f, 0x0000FF00), V(60, 220, 0.5f, 0x000000FF)});
    State(SW3D_RS_SHADEMODE, SW3D_SHADE_FLAT);
    Tri({V(340, 20, 0.5f, 0x00FFFF00), V(620, 220, 0.5f, 0x0000FF00), V(340, 220, 0.5f, 0x000000FF)});
    State(SW3D_RS_SHADEMODE, SW3D_SHADE_GOURAUD);
    // A strip of two triangles meeting on a shared edge: no pixel twice, no gap (additive shows both).
    State(SW3D_RS_ALPHABLENDENABLE, 1);
    Tri({V(20.5f, 260, 0.5f, 0x00800000), V(300.25f, 250.75f, 0.5f, 0x00800000), V(30, 460, 0.5f, 0x00800000),
         V(290.5f, 470.5f, 0.5f, 0x00800000)},
        SW3D_PT_TRIANGLESTRIP);
    State(SW3D_RS_ALPHABLENDENABLE, 0);
    // A fan and a line strip.
    Tri({V(480, 360, 0.5f, 0x00FFFFFF), V(600, 360, 0.5f, 0x00FF0000), V(480, 250, 0.5f, 0x0000FF00),
         V(360, 360, 0.5f, 0x000000FF)},
        SW3D_PT_TRIANGLEFAN);
    const std::vector<SW3DTLVERTEX> lines = {V(340, 470, 0.5f, 0x00FFFFFF), V(630, 400, 0.5f, 0x00FF00FF),
                                             V(630, 470, 0.5f, 0x0000FFFF)};
    ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_LINESTRIP, SW3D_FVF_TLVERTEX, lines.data(), 3, 0), 0);
    EXPECT_TRUE(Golden("sw3d_flat_gouraud", 0xECA7E79AD10FB970));
    EXPECT_EQ(BackPixel(160, 400), 0xC208) << "half red added to the grey once";
    int doubled = 0;
    for (int y = 240; y < 480; y++)
        for (int x = 0; x < 320; x++)
            doubled += BackPixel(x, y) == 0xFA08;
    EXPECT_EQ(doubled, 0) << "no pixel of the shared edge belongs to both triangles";
}

TEST_F(D3DDevice, GoldenTextured)
{
    Gfx_ClearViewportColour(0x00203040);
    const std::vector<uint16_t> texels = Checker();
    SW3DTEXTURE tex{8, 8, SW3D_TEX_16_ARGB1555, 16, texels.data(), nullptr, 1};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &tex), 0);
    auto quad = [&](float x, float y, float s, uint32_t c) {
        Tri({V(x, y, 0.5f, c, 0, 0), V(x + s, y, 0.5f, c, 1, 0), V(x, y + s, 0.5f, c, 0, 1), V(x + s, y + s, 0.5f, c, 1, 1)},
            SW3D_PT_TRIANGLESTRIP);
    };
    quad(10, 10, 200, 0x00FFFFFF); // point, keyed column drawn black
    State(SW3D_RS_COLORKEYENABLE, 1);
    quad(220, 10, 200, 0x0080FF80); // keyed column shows the clear, modulated
    Stage(SW3D_TSS_MAGFILTER, SW3D_FILTER_LINEAR);
    Stage(SW3D_TSS_MINFILTER, SW3D_FILTER_LINEAR);
    quad(430, 10, 200, 0x00FFFFFF); // bilinear
    // A palette texture, wrapped twice, and a texture seen in perspective (rhw differs).
    const uint8_t idx[4] = {1, 2, 3, 0};
    const uint32_t pal[256] = {0, 0x00FF8000, 0x0000FF80, 0x008000FF};
    SW3DTEXTURE ptex{2, 2, SW3D_TEX_8_PAL8, 2, idx, pal, 1};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &ptex), 0);
    Stage(SW3D_TSS_MAGFILTER, SW3D_FILTER_POINT);
    Tri({V(10, 240, 0.5f, ~0u, 0, 0), V(210, 240, 0.5f, ~0u, 2, 0), V(10, 470, 0.5f, ~0u, 0, 2),
         V(210, 470, 0.5f, ~0u, 2, 2)},
        SW3D_PT_TRIANGLESTRIP);
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &tex), 0);
    std::vector<SW3DTLVERTEX> persp = {{300, 240, 0.5f, 1.0f, ~0u, 0, 0, 0}, {600, 240, 0.5f, 1.0f, ~0u, 0, 1, 0},
                                       {390, 470, 0.5f, 0.25f, ~0u, 0, 0, 1}, {510, 470, 0.5f, 0.25f, ~0u, 0, 1, 1}};
    Tri(persp, SW3D_PT_TRIANGLESTRIP);
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, nullptr), 0);
    EXPECT_TRUE(Golden("sw3d_textured", 0x96A8637F081E8070));
}

TEST_F(D3DDevice, GoldenDepthAndBlending)
{
    Gfx_ClearViewportColour(0x00000000);
    // Near red first, far green after: the green shows only outside the red.
    Tri({V(50, 50, 0.2f, 0x00FF0000), V(300, 50, 0.2f, 0x00FF0000), V(50, 300, 0.2f, 0x00FF0000)});
    Tri({V(100, 100, 0.8f, 0x0000FF00), V(350, 100, 0.8f, 0x0000FF00), V(100, 350, 0.8f, 0x0000FF00)});
    // A blue triangle that pierces the red one (z from 0 to 0.4).
    Tri({V(60, 200, 0.0f, 0x000000FF), V(280, 60, 0.4f, 0x000000FF), V(280, 200, 0.4f, 0x000000FF)});
    // Additive (ONE, ONE) with the z test off, over all three; then source alpha from a texture.
    State(SW3D_RS_ALPHABLENDENABLE, 1);
    State(SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS);
    Tri({V(200, 150, 0.9f, 0x00606060), V(450, 150, 0.9f, 0x00606060), V(200, 400, 0.9f, 0x00606060)});
    const uint16_t half[1] = {0x8F00}; // 4:4:4:4, alpha 8, red
    SW3DTEXTURE tex{1, 1, SW3D_TEX_16_ARGB4444, 2, half, nullptr, 0};
    ASSERT_EQ(Sw3d_SetTexture(g_pD3DDevice, 0, &tex), 0);
    State(SW3D_RS_SRCBLEND, SW3D_BLEND_SRCALPHA);
    State(SW3D_RS_DESTBLEND, SW3D_BLEND_INVSRCALPHA);
    Tri({V(380, 250, 0.1f, ~0u), V(630, 250, 0.1f, ~0u), V(380, 470, 0.1f, ~0u)});
    EXPECT_TRUE(Golden("sw3d_depth_blend", 0x9F17DE987F16F2E8));
    EXPECT_EQ(BackPixel(60, 60), 0xF800) << "near red stays in front";
    EXPECT_EQ(BackPixel(330, 110), 0x07E0) << "far green where nothing is nearer";
}

TEST_F(D3DDevice, GoldenLitThroughTheTransforms)
{
    Gfx_ClearViewportColour(0x00000000);
    // Three squares in front of the camera, each facing against one light, and one facing away
    // from them all (ambient only). The vertex colour is white except the last square's.
    auto square = [](float cx, float cy, float z, float nx, float ny, float nz, uint32_t c) {
        std::vector<SW3DVERTEX> v;
        const float s = 40.0f;
        for (int i = 0; i < 4; i++)
            v.push_back({cx + ((i & 1) ? s : -s), cy + ((i & 2) ? -s : s), z, nx, ny, nz, c, 0, 0});
        return v;
    };
    const struct
    {
        std::vector<SW3DVERTEX> v;
    } squares[] = {{square(-100, 60, 200, -1, 0, 0, ~0u)}, {square(0, 60, 200, 0, -1, 0, ~0u)},
                   {square(100, 60, 200, 0, 0, -1, ~0u)}, {square(-100, -60, 200, 0.0f, 0.6f, 0.8f, ~0u)},
                   {square(0, -60, 200, -0.577f, -0.577f, -0.577f, 0x0080FF40)},
                   {square(100, -60, 400, 0, 0, -1, 0x00FFFFFF)}};
    for (const auto &s : squares)
        ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_VERTEX, s.v.data(), 4, 0), 0);
    // Turned by the world: a square whose normal faces +x is turned to face the red light.
    SW3DMATRIX world{};
    Gfx_SetIdentityMatrix(&world);
    world._11 = -1.0f;
    world._41 = 200.0f;
    Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &world);
    const std::vector<SW3DVERTEX> turned = square(0, 150, 300, 1, 0, 0, ~0u);
    ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_VERTEX, turned.data(), 4, 0), 0);
    Gfx_SetIdentityMatrix(&world);
    Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &world);
    // Ambient raised: the square facing away shows it.
    Gfx_SetAmbientColour(0, 0, 128);
    const std::vector<SW3DVERTEX> away = square(-200, 150, 300, 0, 0, 1, ~0u);
    ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_VERTEX, away.data(), 4, 0), 0);
    // Crossing the near plane: clipped, not wrapped around.
    const std::vector<SW3DLVERTEX> crossing = {{-50, -200, -10, 0, 0x00FFFF00, 0, 0, 0},
                                               {50, -200, -10, 0, 0x00FFFF00, 0, 0, 0},
                                               {0, -100, 300, 0, 0x0000FFFF, 0, 0, 0}};
    ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_LVERTEX, crossing.data(), 3, 0), 0);
    EXPECT_TRUE(Golden("sw3d_lit", 0xBE96809D363A244D));
}

TEST_F(D3DDevice, GoldenIn555)
{
    Test3D_Close();
    ASSERT_TRUE(Test3D_Open(1));
    Gfx_ClearViewportColour(0x00808080);
    Tri({V(20, 20, 0.5f, 0x00FF0000), V(600, 40, 0.5f, 0x0000FF00), V(60, 460, 0.5f, 0x000000FF)});
    State(SW3D_RS_ALPHABLENDENABLE, 1);
    Tri({V(300, 100, 0.5f, 0x00404040), V(620, 300, 0.5f, 0x00404040), V(250, 460, 0.5f, 0x00404040)});
    EXPECT_EQ(BackPixel(5, 5), 0x4210);
    EXPECT_TRUE(Golden("sw3d_555", 0x140CBFAA56F0D983));
}

} // namespace
