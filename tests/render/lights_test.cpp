// The three lights, the material and the ambient light state of the 3-D device.
#include "core/file.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/lights.h"
#include "support/test3d.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

class Lights : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Test3D_Open()); }
    void TearDown() override { Test3D_Close(); }
};

TEST_F(Lights, CreatedRedGreenBlueAlongTheAxesWithDimAmbient)
{
    const struct
    {
        SW3DCOLOUR c;
        SW3DVECTOR d;
    } want[3] = {{{1, 0, 0, 0}, {1, 0, 0}}, {{0, 1, 0, 0}, {0, 1, 0}}, {{0, 0, 1, 0}, {0, 0, 1}}};
    for (int n = 0; n < 3; n++) {
        SW3DLIGHT l{};
        ASSERT_EQ(Sw3d_LightGet(g_apLights[n], &l), 0);
        EXPECT_EQ(l.type, SW3D_LIGHT_DIRECTIONAL);
        EXPECT_EQ(l.flags, SW3D_LIGHT_ACTIVE);
        EXPECT_EQ(std::memcmp(&l.colour, &want[n].c, sizeof l.colour), 0) << n;
        EXPECT_EQ(std::memcmp(&l.direction, &want[n].d, sizeof l.direction), 0) << n;
    }
    EXPECT_EQ(Sw3d_GetAmbient(), 0x20202020u);
    uint32_t material = 0;
    Sw3d_GetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, &material);
    EXPECT_EQ(material, g_hMaterial);
    EXPECT_NE(g_hMaterial, 0u);
    EXPECT_EQ(g_tMaterialDesc.rampSize, 16u);
}

TEST_F(Lights, ColourDirectionAndAmbientCalls)
{
    ASSERT_EQ(Gfx_SetLightColour(0, -4096, 2048, 0), 0);
    SW3DCOLOUR c{};
    SW3DVECTOR d{};
    Sw3d_GetLight(0, &c, &d);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 0.5f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_STREQ(g_szErrorText, "RGB (4096,2048,0)\n");
    // The most negative component has an absolute value too.
    ASSERT_EQ(Gfx_SetLightColour(2, INT_MIN, 0, 0), 0);
    EXPECT_STREQ(g_szErrorText, "RGB (2147483648,0,0)\n");

    std::strcpy(g_szErrorText, "before");
    ASSERT_EQ(Gfx_SetLightDirection(1, 0, 0, 0), 0);
    Sw3d_GetLight(1, &c, &d);
    EXPECT_EQ(d.y, 1.0f) << "unchanged";
    EXPECT_STREQ(g_szErrorText, "before");
    ASSERT_EQ(Gfx_SetLightDirection(1, 2048, 0, -4096), 0);
    Sw3d_GetLight(1, &c, &d);
    EXPECT_EQ(d.x, 0.5f);
    EXPECT_EQ(d.z, -1.0f);
    EXPECT_STREQ(g_szErrorText, "DIR: XYZ (0.500,0.000,-1.000)\n");

    ASSERT_EQ(Gfx_SetAmbientColour(255, 255, 255), 0);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x00FFFFFFu);
    EXPECT_EQ(g_tMaterialDesc.ambient.r, 1.0f);
    EXPECT_STREQ(g_szErrorText, "RGB (255,255,255)\n");
    ASSERT_EQ(Gfx_SetAmbientColour(10, 20, 30), 0);
    EXPECT_EQ(Sw3d_GetAmbient(), 0x000A141Eu);
}

TEST_F(Lights, CallsWithoutLightsAreRefused)
{
    EXPECT_NE(Gfx_SetLightColour(3, 1, 1, 1), 0);
    EXPECT_NE(Gfx_SetLightColour(-1, 1, 1, 1), 0);
    ASSERT_EQ(Gfx_ReleaseLights(), 0);
    EXPECT_EQ(g_pMaterial, nullptr);
    EXPECT_EQ(g_apLights[0], nullptr);
    EXPECT_NE(Gfx_SetLightColour(0, 4096, 0, 0), 0);
    EXPECT_NE(Gfx_SetLightDirection(0, 4096, 0, 0), 0);
    EXPECT_NE(Gfx_SetAmbientColour(1, 2, 3), 0);
    EXPECT_EQ(Gfx_ReleaseLights(), 0) << "twice is harmless";
}

TEST_F(Lights, FailingStepLeavesItsTextAndResult)
{
    ASSERT_EQ(Gfx_ReleaseLights(), 0);
    // Three creates, three inits, three colours, three directions (each a get and a set), then the
    // second light's add fails.
    Sw3d_TestFailAfter(3 + 3 + 6 + 6 + 1, SW3D_ERR_GENERIC);
    EXPECT_EQ(Gfx_CreateLights(), DDERR_GENERIC);
    EXPECT_EQ(g_hrDD, DDERR_GENERIC);
    EXPECT_STREQ(g_szErrorText, "Couldn't Add Light #1 to Viewport");
    // A material release that fails keeps the lights.
    ASSERT_EQ(Gfx_ReleaseLights(), 0);
    ASSERT_EQ(Gfx_CreateLights(), 0);
    Sw3d_TestFailAfter(0, SW3D_ERR_GENERIC);
    EXPECT_EQ(Gfx_ReleaseLights(), DDERR_GENERIC);
    EXPECT_NE(g_apLights[0], nullptr);
    EXPECT_NE(g_pMaterial, nullptr);
}

} // namespace
