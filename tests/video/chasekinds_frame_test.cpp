// The chase types through the whole frame: the engine started over the built archive, clips of
// the built types placed on the lanes, each frame's lane update and frame render, and golden
// pictures of the tunnel and text defaults and of the screen effects of lane 5 over the tunnel.
#include "app/timers.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/file.h"
#include "core/random.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/mesh.h"
#include "render/prims2d.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "video/chase.h"
#include "video/chase_modifiers.h"
#include "video/chase_tunnel.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/respages.h"
#include "video/resloaders.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace {

class KindsFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        ASSERT_EQ(Gfx_CreateColourKeySurface(256, 256), 0);
        Sys_BuildSineTable();
        Sys_EventInit();
        Sys_EventCreateClass(1, 11);
        Sys_EventCreateClass(3, 4);
        Sys_DiscInit();
        Vid_CreateResPagePool();
        Vid_InstallResLoaders();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        g_iFrameCount = 1;
        g_ucFrameTick = 1;
        Vid_EarlyInit();
        ASSERT_EQ(Vid_InitChaseEngine(), 0);
        const int16_t view[4] = {0, 0, 640, 480};
        Vid_SetViewport(view);
        g_iViewRedrawCount = 0;
        g_iShownPosition = -1;
        g_uiLaneMuteMask = 0;
        g_bClipPreview = 0;
        g_pLoadedClip = nullptr;
        g_uVideoRenderFlags = 0;
        g_bVideoTrails = 0;
        g_bLaneUpdateForce = 0;
        Sys_SeedRand(1);
        Vid_ForceVideoPosition(0);
    }
    void TearDown() override
    {
        Vid_ShutdownChaseEngine();
        Sys_EventInit();
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        Gfx_FreeTextureTable();
        Gfx_ReleaseColourKeySurface();
        Test3D_Close();
        g_szDataDir[0] = 0;
        g_iFrameCount = 0;
        g_uiLaneMuteMask = 0;
    }

    // A chase of the built type with its default key.
    static CHASE *New(int32_t storedId)
    {
        CHASE *c = Vid_NewChase(Vid_FindChaseType(storedId));
        EXPECT_NE(c, nullptr);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c));
        return c;
    }
    // A clip of these chases over positions 0..3 of lane.
    static VIDCLIP *Place(int32_t lane, std::initializer_list<CHASE *> chases)
    {
        VIDCLIP *clip = Vid_NewClip();
        for (CHASE *c : chases)
            Vid_AppendClipEntry(clip, c);
        EXPECT_EQ(Vid_PlaceClipRun(lane, 0, 4, clip), LANE_DONE);
        g_bLaneUpdateForce = 1; // the lanes are looked up again on the next frame
        return clip;
    }
    static void Frames(int32_t n)
    {
        for (int32_t i = 0; i < n; i++) {
            Vid_UpdateLanes();
            Vid_RenderFrame();
            g_iFrameCount++;
        }
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
};

} // namespace

TEST_F(KindsFrame, TunnelDefaultFliesThroughAColouredTunnel)
{
    Place(0, {New(19)});
    Frames(12);
    EXPECT_NE(g_aLaneSlots[0].flags & VIDOBJ_TUNNEL, 0u);
    EXPECT_TRUE(Golden("chase_tunnel_frame", 0xA7289739A6A6BDBA));
    // It moves on: another picture some frames later.
    const int32_t position = g_TunnelContext.position;
    Frames(25);
    EXPECT_NE(g_TunnelContext.position, position);
    EXPECT_TRUE(Golden("chase_tunnel_frame_later", 0xACE08DE43F52C90E));
}

TEST_F(KindsFrame, TextDefaultShowsTheWordCentred)
{
    Place(0, {New(10)});
    Frames(30);
    // The slot carries the letters as instances with their places, drawn by the auxiliary camera.
    const VIDOBJECT &slot = g_aLaneSlots[0];
    EXPECT_EQ(slot.iInstanceCount, 11);
    EXPECT_NE(slot.flags & VIDOBJ_AUXINSTANCES, 0u);
    ASSERT_NE(slot.ppAltModels, nullptr);
    EXPECT_NE(slot.ppAltModels[0], nullptr);
    EXPECT_EQ(slot.ppAltModels[3], nullptr);
    // Centred: the word starts left of the middle and its last letter stands right of it.
    EXPECT_LT(slot.pInstanceOffsets[0], -200);
    EXPECT_GT(slot.pInstanceOffsets[4 * 10], 100);
}

TEST_F(KindsFrame, ScreenEffectsRestructureThePicture)
{
    // Tiles at its defaults over the tunnel; eight split segments in two colours.
    const struct
    {
        int32_t scene;
        int32_t storedId;
        std::vector<int32_t> key; // empty: the default key
        const char *name;
        uint64_t hash;
    } kEffects[] = {
        {19, 16, {}, "chase_tiles_frame", 0xD2B8BB7459EA31BD},
        {19, 15, {4, 2, 40, 100}, "chase_number_frame", 0x171FE783159E7168},
    };
    for (const auto &e : kEffects) {
        SCOPED_TRACE(e.name);
        Place(0, {New(e.scene)});
        CHASE *c = New(e.storedId);
        if (!e.key.empty()) {
            int32_t v[VID_MAX_CHANNELS] = {};
            uint8_t s[VID_MAX_CHANNELS] = {};
            for (size_t i = 0; i < e.key.size(); i++) {
                v[i] = e.key[i];
                s[i] = KEYSTATE_SET;
            }
            ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
        }
        Place(5, {c});
        Frames(12);
        EXPECT_EQ(g_VidFrameStats.iGrabs, 1);
        EXPECT_EQ(g_VidFrameStats.iWinningLane[e.storedId == 15 ? 0 : (e.storedId == 16 ? 1 : 2)], 5);
        EXPECT_TRUE(Golden(e.name, e.hash));
    }
}

// The picture shows behind what the lanes draw (a tunnel would hide it): the earlier frame
// turned, zoomed and tinted under the particles. The frame render takes the lane's block.
TEST_F(KindsFrame, ScaleAndTintTurnsTheEarlierPictureBehindTheScene)
{
    Place(0, {New(9)});
    CHASE *c = New(17);
    int32_t v[VID_MAX_CHANNELS] = {18, 4, 15, 9, 5};
    uint8_t s[VID_MAX_CHANNELS] = {KEYSTATE_SET, KEYSTATE_SET, KEYSTATE_SET, KEYSTATE_SET, KEYSTATE_SET};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
    Place(5, {c});
    Frames(40);
    EXPECT_EQ(g_VidFrameStats.iWinningLane[2], 5);
    const auto *pic = static_cast<const VIDPICTUREBLOCK *>(g_aLaneSlots[5].pPictureEffect);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->sScale, 18 * 128);
    EXPECT_EQ(pic->sAngle, 4 * 32);
    EXPECT_EQ(pic->uColour, (120u << 16) | (72u << 8) | 40u);
}

TEST_F(KindsFrame, ASpeedChaseAtTwentyMovesTheOthersAtHalfTheDefaultsRate)
{
    // A moving rotation behind the text: its spin angle counts how far the chases moved.
    CHASE *spin = New(3);
    Place(0, {New(10), spin});
    CHASE *speed = New(20);
    Place(5, {speed});
    const auto *p = reinterpret_cast<const ROTATIONPARAMS *>(spin->pParams);
    int32_t moved[2];
    for (int32_t run = 0; run < 2; run++) {
        int32_t v[VID_MAX_CHANNELS] = {run == 0 ? 20 : 40};
        uint8_t s[VID_MAX_CHANNELS] = {KEYSTATE_SET};
        ASSERT_EQ(1, Vid_SetChaseKey(speed, 0, v, s));
        Frames(1);
        EXPECT_EQ(g_iChaseSpeedFactor, run == 0 ? 1280 : 2560);
        const uint16_t from = p->spin;
        Frames(20);
        moved[run] = static_cast<uint16_t>(p->spin - from);
    }
    EXPECT_EQ(moved[0], 20 * (40 * 1280 >> 12));
    EXPECT_EQ(moved[1], 20 * (40 * 2560 >> 12));
    EXPECT_NEAR(moved[0] * 2, moved[1], 20);
}
