// The chase types over the archive the build makes: the chase palette from "BOOT\PALETTE.PAL", the
// Text chase with the letter font, the Tunnel chase's default key and flight, the Particle type's
// lane object, and golden pictures of a tunnel drawn through the 3-D device.
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/file.h"
#include "app/timers.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "tools/videoresources.h"
#include "video/chase.h"
#include "video/chase_modifiers.h"
#include "video/chase_text.h"
#include "video/chase_tunnel.h"
#include "video/chasetypes.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/lanes.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class KindsContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        Sys_BuildSineTable();
        Sys_DiscInit();
        Vid_CreateResPagePool();
        Vid_InstallResLoaders();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        g_iFrameCount = 1;
        g_ucFrameTick = 1;
        std::memset(g_aChasePalette, 0, sizeof g_aChasePalette);
        ASSERT_EQ(0, Vid_InitVideoCore());
        Vid_BeginChaseFrame();
    }
    void TearDown() override
    {
        Vid_FreeVideoCore();
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        g_szDataDir[0] = 0;
        g_iFrameCount = 0;
    }

    static CHASE *New(int32_t storedId)
    {
        CHASE *c = Vid_NewChase(Vid_FindChaseType(storedId));
        EXPECT_NE(c, nullptr);
        return c;
    }
    static std::vector<int32_t> Stored(CHASE *c)
    {
        std::vector<int32_t> v;
        const CHASEKEY *k = Vid_FindKeyNode(c, 0);
        for (int32_t ch = 0; k && ch < c->pDef->sChannelCount; ch++)
            v.push_back(Vid_KeyValue(c, k, ch));
        return v;
    }
    // The chase's next frame: its time, its interpolation and its render into lane's slot.
    static void Play(CHASE *c, int32_t lane = 0)
    {
        g_iFrameCount++;
        Vid_BeginChaseFrame();
        Vid_UpdateChaseTime(c);
        Vid_EvaluateChase(c);
        Vid_RenderChase(c, &g_aLaneSlots[lane]);
    }
    static std::string Word(const std::vector<int32_t> &stored)
    {
        std::string s;
        for (size_t i = 2; i < stored.size(); i++) {
            if (stored[i] == TEXT_END_VALUE)
                break;
            if (stored[i] == TEXT_SPACE_VALUE) {
                s += ' ';
                continue;
            }
            uint16_t path[8];
            int32_t depth = 0;
            if (stored[i] > 0 && Vid_GetResIndexPath(stored[i], path, &depth) == 0)
                s += Vid_TextCodeChar(path[depth - 1]);
            else
                s += '?';
        }
        return s;
    }
};

} // namespace

TEST_F(KindsContent, StartUpLoadsTheChasePalette)
{
    const std::vector<CONTENTRGB> expected = Content_ChasePaletteColours();
    for (int32_t i = 0; i < 128; i++) {
        EXPECT_EQ(g_aChasePalette[i][0] & 0xF8, expected[i].r & 0xF8) << i;
        EXPECT_EQ(g_aChasePalette[i][1] & 0xF8, expected[i].g & 0xF8) << i;
        EXPECT_EQ(g_aChasePalette[i][2] & 0xF8, expected[i].b & 0xF8) << i;
    }
    // A missing file leaves the palette as it was.
    const uint8_t before = g_aChasePalette[5][0];
    char saved[sizeof g_szDataDir];
    std::memcpy(saved, g_szDataDir, sizeof saved);
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "/nonexistent/");
    EXPECT_EQ(-1, Vid_LoadChasePalette());
    std::memcpy(g_szDataDir, saved, sizeof saved);
    EXPECT_EQ(g_aChasePalette[5][0], before);
}

TEST_F(KindsContent, TextDefaultWordLaysOutCentred)
{
    CHASE *c = New(10);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    const std::vector<int32_t> v = Stored(c);
    EXPECT_EQ(Word(v), "ABC xyz 123");
    int32_t letters = 0, spaces = 0, ends = 0;
    for (size_t i = 2; i < v.size(); i++) {
        letters += v[i] > 0;
        spaces += v[i] == TEXT_SPACE_VALUE;
        ends += v[i] == TEXT_END_VALUE;
    }
    EXPECT_EQ(letters, 9);
    EXPECT_EQ(spaces, 2);
    EXPECT_EQ(ends, 3);
    // Reading the key back gives the word to the editor.
    std::strcpy(g_szTextChaseWord, "");
    std::vector<int32_t> shown(VID_MAX_CHANNELS);
    Vid_GetChaseKey(c, 0, shown.data(), nullptr, nullptr, VID_MAX_CHANNELS);
    EXPECT_STREQ(g_szTextChaseEdit, "ABC xyz 123");

    Play(c);
    const auto *p = reinterpret_cast<const TEXTPARAMS *>(c->pParams);
    ASSERT_EQ(p->count, 11);
    // Centred: the first letter starts half the word's width left of the centre, each next one
    // a letter's width further, spaces 70 wide; the spaces have no model.
    EXPECT_EQ(p->positions[0][0], -p->width / 2);
    int32_t x = p->positions[0][0];
    for (int32_t i = 1; i < p->count; i++) {
        EXPECT_GT(p->positions[i][0], x) << i;
        x = p->positions[i][0];
    }
    EXPECT_EQ(p->positions[4][0] - p->positions[3][0], TEXT_SPACE);
    EXPECT_EQ(p->instances[3], nullptr);
    EXPECT_EQ(p->instances[7], nullptr);
    EXPECT_NE(p->instances[0], nullptr);
    EXPECT_GT(p->width, 368);
    EXPECT_EQ(g_iTextWidest, p->width);
    const VIDOBJECT &slot = g_aLaneSlots[0];
    EXPECT_EQ(slot.iInstanceCount, 11);
    EXPECT_NE(slot.flags & 0x4000u, 0u);
    EXPECT_EQ(slot.ppAltModels[0], p->instances[0]);
    Vid_ReleaseChase(Vid_AddChaseRef(c));
}

TEST_F(KindsContent, TextRefusalsLongAndEmptyWords)
{
    CHASE *c = New(10);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    const std::vector<int32_t> before = Stored(c);
    const int32_t idA = before[2];
    const int32_t refsA = Vid_GetResCount(idA);
    // The editor hands the whole key over (a kept channel would be read back, and reading a
    // text key rewrites the working word).
    uint8_t s[VID_MAX_CHANNELS];
    std::memset(s, KEYSTATE_SET, sizeof s);
    int32_t v[VID_MAX_CHANNELS] = {};
    // "!" has no letter: the key is refused, the earlier key stays, and the 'A' loaded for it
    // is given back.
    std::strcpy(g_szTextChaseEdit, "A!");
    EXPECT_EQ(0, Vid_SetChaseKey(c, 0, v, s));
    EXPECT_EQ(Stored(c), before);
    EXPECT_EQ(Vid_GetResCount(idA), refsA);
    // Fourteen characters fill every position and keep their terminator.
    std::strcpy(g_szTextChaseEdit, "ABCDEFGHIJKLMN");
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
    EXPECT_EQ(Word(Stored(c)), "ABCDEFGHIJKLMN");
    EXPECT_STREQ(g_szTextChaseWord, "ABCDEFGHIJKLMN");
    // An empty word stores the end everywhere and shows nothing.
    g_szTextChaseEdit[0] = 0;
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
    const std::vector<int32_t> empty = Stored(c);
    for (size_t i = 2; i < empty.size(); i++)
        EXPECT_EQ(empty[i], TEXT_END_VALUE) << i;
    Play(c);
    EXPECT_EQ(reinterpret_cast<const TEXTPARAMS *>(c->pParams)->count, 0);
    // Saved: letters as their running numbers, a space and the end as themselves.
    EXPECT_EQ(c->pDef->pack(TEXT_SPACE_VALUE, 5), TEXT_SPACE_VALUE);
    EXPECT_EQ(c->pDef->pack(TEXT_END_VALUE, 5), TEXT_END_VALUE);
    EXPECT_EQ(c->pDef->pack(0, 5), -1);
    EXPECT_EQ(Vid_FitChannelValue(TEXT_END_VALUE, 16), TEXT_END_VALUE);
    // Freed with the chase, the letters' references go.
    Vid_FreeChase(c);
    EXPECT_EQ(Vid_GetResCount(idA) < refsA || Vid_GetResData(idA) == nullptr, true);
}

TEST_F(KindsContent, TunnelDefaultKeyFliesThroughTheTunnel)
{
    CHASE *c = New(19);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    const std::vector<int32_t> stored = Stored(c);
    ASSERT_EQ(stored.size(), 9u);
    EXPECT_GT(stored[0], 0);
    EXPECT_GT(stored[1], 0);
    EXPECT_EQ(stored[2], 21);
    EXPECT_EQ(stored[4], 10);
    EXPECT_EQ(stored[5], 68);
    EXPECT_EQ(Vid_GetResCount(stored[0]), 1);
    std::vector<int32_t> shown(VID_MAX_CHANNELS);
    Vid_GetChaseKey(c, 0, shown.data(), nullptr, nullptr, VID_MAX_CHANNELS);
    EXPECT_EQ(shown[0], 1);
    EXPECT_EQ(shown[1], 1);
    EXPECT_EQ(shown[2], 5);
    EXPECT_EQ(shown[5], 67);
    EXPECT_EQ(shown[8], 95);
    Play(c);
    EXPECT_EQ(__builtin_popcountll(g_TunnelContext.validRings), TUNNEL_RINGS);
    EXPECT_NE(g_aLaneSlots[0].flags & 0x2000000u, 0u);
    const int32_t position = g_TunnelContext.position;
    Play(c);
    EXPECT_EQ(g_TunnelContext.position, position - 160);
    // A missing profile refuses the key and gives the path back.
    uint8_t s[VID_MAX_CHANNELS];
    std::memset(s, KEYSTATE_KEEP, sizeof s);
    s[0] = s[1] = KEYSTATE_SET;
    int32_t v[VID_MAX_CHANNELS] = {1, 200};
    EXPECT_EQ(0, Vid_SetChaseKey(c, 0, v, s));
    EXPECT_EQ(Vid_GetResCount(stored[0]), 1);
    Vid_FreeChase(c);
}

TEST_F(KindsContent, ParticleDefaultKeyGetsALaneObject)
{
    CHASE *c = New(9);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    Play(c, 1);
    const VIDOBJECT &slot = g_aLaneSlots[1];
    EXPECT_NE(slot.flags & VIDOBJ_LANEOBJECT, 0u);
    ASSERT_LT(slot.ucLaneObject, 4);
    LANEOBJECT *o = g_apLaneObjects[slot.ucLaneObject];
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(slot.iInstanceCount, 8);
    EXPECT_EQ(o->partCount, 8);
    EXPECT_NE(o->flags & LANEOBJ_DRAWABLE, 0u);
    Vid_FreeChase(c);
}

// ---- Drawn ----

class KindsContentDraw : public KindsContent
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        KindsContent::SetUp();
        Gfx_ClearViewportColour(0);
        Gfx_ClearZBuffer();
    }
    void TearDown() override
    {
        KindsContent::TearDown();
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_FreeTextureTable();
        Test3D_Close();
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
};

TEST_F(KindsContentDraw, GoldenTunnelFlight)
{
    CHASE *c = New(19);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    for (int32_t i = 0; i < 30; i++)
        Play(c);
    ASSERT_EQ(Gfx_BeginScene(), 0);
    Vid_DrawTunnel(&g_aLaneSlots[0], 3);
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("video_tunnel", 0x5D79AE9BA49C9549));
    Vid_FreeChase(c);
}

// The default word's layout, each letter drawn where the text block puts it (y down, as the models
// are made), straight ahead of a camera 420 units away.
TEST_F(KindsContentDraw, GoldenTextLayout)
{
    CHASE *c = New(10);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    Play(c);
    const auto *p = reinterpret_cast<const TEXTPARAMS *>(c->pParams);
    ASSERT_EQ(p->count, 11);
    ASSERT_EQ(Gfx_BeginScene(), 0);
    ASSERT_EQ(Gfx_SetAmbientColour(70, 70, 80), 0);
    ASSERT_EQ(Gfx_SetLightColour(0, 4096, 3900, 3500), 0);
    ASSERT_EQ(Gfx_SetLightDirection(0, 1400, -2400, 4096), 0);
    ASSERT_EQ(Gfx_SetLightColour(1, 0, 0, 0), 0);
    ASSERT_EQ(Gfx_SetLightColour(2, 0, 0, 0), 0);
    for (int32_t i = 0; i < p->count; i++) {
        MODELHOLDER *holder = p->instances[i];
        if (!holder)
            continue;
        SW3DMATRIX m{};
        Gfx_SetIdentityMatrix(&m);
        m._22 = -1;
        m._41 = static_cast<float>(p->positions[i][0]);
        m._42 = static_cast<float>(-p->positions[i][1]);
        m._43 = 420;
        Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &m);
        ASSERT_EQ(Gfx_TransformLightMesh(holder->mesh), 0);
        ASSERT_EQ(Gfx_DrawModelMesh(holder, p->models[i]), 0);
    }
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("video_text_layout", 0xB74C434444C6662B));
    Vid_FreeChase(c);
}
