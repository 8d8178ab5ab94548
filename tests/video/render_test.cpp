// The frame render: passes and lane masks by effect, the auto camera, the redraw count with
// trails, fades, and golden pictures of a small song's video through the software 3-D device
// (clips on rows 0, 4 and 8 of lane 0, one clip over all rows on lane 1 that is then muted).
#include "core/console_memory.h"
#include "core/event.h"
#include "core/random.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "support/videoscene.h"
#include "render/framecycle.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/render_fixture.h"
#include "app/timers.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using videoscene::SceneModel;

SceneModel g_models[4];

// A test object type (a stored id of its own, so it does not stand for a built-in one): parameter byte 0 picks the model, byte 1 the x place (signed, x 2), byte 2
// the turn about y.
void ShapeRender(CHASE *chase, VIDOBJECT *o)
{
    const uint8_t *p = chase->pParams;
    o->pInstance = &g_models[p[0] & 3].holder;
    o->flags |= VIDOBJ_SOLID | VIDOBJ_OWNLIGHTS_APPLY;
    const int16_t angles[3] = {300, static_cast<int16_t>(p[2] * 16), 0};
    Sys_MatrixFromAngles(angles, &o->coord.local);
    o->coord.local.t[0] = static_cast<int8_t>(p[1]) * 2;
    o->coord.local.t[1] = 0;
    o->coord.local.t[2] = 0;
    g_iSceneExtent = std::max(g_iSceneExtent, 110);
}

const CHASECHANNEL kChannels[1] = {{0, 0, 255, 8, 2, nullptr, nullptr}};
int32_t Read(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t Apply(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void Interp(CHASE *, const int32_t *, const int32_t *, const int16_t *) {}
void Release(CHASE *, const int32_t *, uint32_t) {}

CHASEDEF g_shapeDef = {21, 0, 0, CHASEKIND_PLAIN, 8, 8, 0, 1, kChannels, nullptr, 0,
                       Read, Apply, Interp, Release, ShapeRender, nullptr, nullptr, nullptr, nullptr, nullptr, 0};

class VideoFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        ASSERT_EQ(Gfx_CreateColourKeySurface(256, 256), 0); // what the effects grab into
        Sys_BuildSineTable();
        Sys_EventInit();
        Sys_EventCreateClass(1, 11);
        Sys_EventCreateClass(3, 4);
        g_iFrameCount = 1;
        g_ucFrameTick = 1;
        Vid_EarlyInit();
        ASSERT_EQ(Vid_InitChaseEngine(), 0);
        shapeType = Vid_RegisterChaseDef(&g_shapeDef);
        ASSERT_GE(shapeType, 0);
        const std::vector<uint8_t> tim = videoscene::ChequerTim(31 << 10 | 31 << 5 | 31, 8 << 10 | 20 << 5 | 4);
        ASSERT_EQ(Gfx_CreateTextureFromImage(&texture, tim.data(), tim.size(), -1), 0);
        ASSERT_TRUE(videoscene::BuildCube(g_models[0], 40, 0xE04030, nullptr));
        ASSERT_TRUE(videoscene::BuildCube(g_models[1], 40, 0xFFFFFF, texture));
        ASSERT_TRUE(videoscene::BuildCube(g_models[2], 55, 0x3060F0, nullptr));
        ASSERT_TRUE(videoscene::BuildCube(g_models[3], 20, 0xF0E020, nullptr));
        const int16_t view[4] = {0, 0, 640, 480};
        Vid_SetViewport(view);
        g_iViewRedrawCount = 0;
        g_iShownPosition = -1;
        // What other tests may leave behind.
        g_uiLaneMuteMask = 0;
        g_bClipPreview = 0;
        g_pLoadedClip = nullptr;
        g_uVideoRenderFlags = 0;
        g_bVideoTrails = 0;
        g_bLaneUpdateForce = 0;
        Sys_SeedRand(1);
    }
    void TearDown() override
    {
        Vid_ShutdownChaseEngine();
        Sys_EventInit();
        Gfx_DestroyAllMeshes();
        for (SceneModel &m : g_models)
            m = {};
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_FreeTextureTable();
        Gfx_ReleaseColourKeySurface();
        Test3D_Close();
        g_iFrameCount = 0;
        g_iLaneUpdateMode = 0;
        g_uiLaneMuteMask = 0;
    }
    VIDCLIP *ShapeClip(uint8_t model, int8_t x, uint8_t turn)
    {
        CHASE *c = Vid_NewChase(shapeType);
        EXPECT_NE(c, nullptr);
        EXPECT_EQ(Vid_SetChaseDefaultKey(c), 1);
        c->pParams[0] = model;
        c->pParams[1] = static_cast<uint8_t>(x);
        c->pParams[2] = turn;
        VIDCLIP *clip = Vid_NewClip();
        Vid_AppendClipEntry(clip, c);
        return clip;
    }
    static void Frame()
    {
        Vid_UpdateLanes();
        Vid_RenderFrame();
        g_iFrameCount++;
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
    // A slot filled by hand for the logic checks (lanes 0..3 hold models).
    static VIDOBJECT &ModelSlot(int32_t lane, int32_t model)
    {
        VIDOBJECT &o = g_aLaneSlots[lane];
        o.pInstance = &g_models[model].holder;
        o.flags |= VIDOBJ_SOLID;
        return o;
    }
    int32_t shapeType = -1;
    TEXTURE *texture = nullptr;
};

TEST_F(VideoFrame, TheShownClipFollowsTheRowAndAMutedLaneHidesAtOnce)
{
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 4, ShapeClip(0, -30, 20)), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(0, 4, 4, ShapeClip(1, -30, 40)), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(0, 8, 4, ShapeClip(2, -30, 60)), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(1, 0, 12, ShapeClip(3, 50, 10)), LANE_DONE);
    const struct
    {
        int32_t row;
        uint32_t mute;
        const char *name;
        uint64_t hash;
    } kFrames[] = {
        {0, 0, "video_row0", 0xBF539A0EEF1FDB2F},
        {4, 0, "video_row4", 0x658F2A7F7C1A1153},
        {8, 0, "video_row8", 0x36920015168FB809},
        {8, 2, "video_row8_lane1_muted", 0x1874D9FA5E76E5D6},
    };
    for (const auto &f : kFrames) {
        if (f.mute)
            Vid_SetLaneMuteMask(f.mute);
        else
            Vid_ForceVideoPosition(f.row);
        g_bLaneUpdateForce = f.mute != 0; // the mute takes effect on the next frame
        Frame();
        EXPECT_EQ(g_iShownPosition, f.row);
        EXPECT_TRUE(Golden(f.name, f.hash));
    }
}

TEST_F(VideoFrame, WithoutEffectsEverySlotIsDrawnInBothPasses)
{
    Vid_BeginChaseFrame();
    ModelSlot(0, 0);
    ModelSlot(2, 3);
    Vid_RenderFrame();
    EXPECT_EQ(g_VidFrameStats.iLaneMask, -1);
    EXPECT_EQ(g_VidFrameStats.bInsidePass, 0);
    EXPECT_EQ(g_VidFrameStats.iSlotDraws, 4);
    EXPECT_EQ(g_VidFrameStats.iGrabs, 0);
    EXPECT_EQ(g_VidFrameStats.iClears, 1);
}

TEST_F(VideoFrame, TheLastLanesEffectWins)
{
    VIDRADIALBLOCK r1{6 << 16, 0, 0xFF0000, 0x00FF00, 0x01};
    VIDRADIALBLOCK r3{8 << 16, 100, 0x0000FF, 0xFFFFFF, 0x04};
    Vid_BeginChaseFrame();
    ModelSlot(0, 0);
    ModelSlot(2, 3);
    g_aLaneSlots[1].flags |= VIDOBJ_RADIAL;
    g_aLaneSlots[1].pTypeBlock = &r1;
    g_aLaneSlots[3].flags |= VIDOBJ_RADIAL;
    g_aLaneSlots[3].pTypeBlock = &r3;
    Vid_RenderFrame();
    EXPECT_EQ(g_VidFrameStats.iWinningLane[0], 3);
    EXPECT_EQ(g_VidFrameStats.iLaneMask, 0x04);
    EXPECT_EQ(g_VidFrameStats.bInsidePass, 1);
    // Lane 0 outside only, lane 2 inside only.
    EXPECT_EQ(g_VidFrameStats.iSlotDraws, 2);
    EXPECT_EQ(g_VidFrameStats.iGrabs, 1);

    // With a picture as well there is no inside pass: every slot is drawn outside, the masked
    // ones again inside.
    VIDPICTUREBLOCK picture{nullptr, 0x808080, 256, 4096};
    g_aLaneSlots[5].flags |= VIDOBJ_PICTURE;
    g_aLaneSlots[5].pPictureEffect = &picture;
    Vid_RenderFrame();
    EXPECT_EQ(g_VidFrameStats.bInsidePass, 0);
    EXPECT_EQ(g_VidFrameStats.iWinningLane[2], 5);
    EXPECT_EQ(g_VidFrameStats.iSlotDraws, 3);
}

TEST_F(VideoFrame, AutoCameraAimsByTheExtentAndMovesAtMost50)
{
    g_aiAutoCameraPos[0] = 1000;
    g_aiAutoCameraPos[1] = -1000;
    g_aiAutoCameraPos[2] = 30;
    Vid_BeginChaseFrame();
    EXPECT_EQ(g_iSceneExtent, 0);
    Vid_RenderFrame();
    EXPECT_EQ(g_iSceneExtentUsed, 140);
    EXPECT_EQ(g_aiAutoCameraPos[0], 950);
    EXPECT_EQ(g_aiAutoCameraPos[1], -950);
    EXPECT_EQ(g_aiAutoCameraPos[2], -20);
    // The extent does not grow frame after frame: each chase frame starts it again.
    for (int i = 0; i < 40; i++) {
        Vid_BeginChaseFrame();
        Vid_RenderFrame();
    }
    EXPECT_EQ(g_iSceneExtentUsed, 140);
    EXPECT_EQ(g_aiAutoCameraPos[0], 140 * 60 / 190);
    EXPECT_EQ(g_aiAutoCameraPos[1], 140 * 80 / 190);
    EXPECT_EQ(g_aiAutoCameraPos[2], 140 * -200 / 190);
    // A camera chase that placed the camera keeps the auto camera out.
    g_aiAutoCameraPos[0] = 500;
    g_uVideoRenderFlags |= 4;
    Vid_RenderFrame();
    EXPECT_EQ(g_aiAutoCameraPos[0], 500);
    g_uVideoRenderFlags &= ~4u;
}

TEST_F(VideoFrame, TrailsClearOnlyWhileTheRedrawCountLasts)
{
    g_bVideoTrails = 1;
    g_iViewRedrawCount = 3;
    const int kExpected[4] = {1, 1, 0, 0};
    for (int f = 0; f < 4; f++) {
        Vid_BeginChaseFrame();
        Vid_RenderFrame();
        EXPECT_EQ(g_VidFrameStats.iClears, kExpected[f]) << "frame " << f;
    }
    g_bVideoTrails = 0;
}

TEST_F(VideoFrame, AFadeAdvancesInBothPassesAndEndsAtFull)
{
    Vid_BeginChaseFrame();
    VIDOBJECT &o = ModelSlot(0, 0);
    o.flags |= VIDOBJ_FADING;
    o.sFadeLevel = 1000;
    o.sFadeStep = 100;
    o.savedColour[0] = 200;
    Vid_RenderFrame();
    EXPECT_EQ(o.sFadeLevel, 1200);
    o.sFadeLevel = 3900;
    Vid_RenderFrame();
    EXPECT_EQ(o.sFadeLevel, 4096);
    EXPECT_FALSE(o.flags & VIDOBJ_FADING);
    EXPECT_EQ(o.colour[0], 200);
}

TEST_F(VideoFrame, EffectsDrawWithoutFault)
{
    // Grid, radial and picture effects over a scene: the passes run and the picture is not
    // left black.
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 4, ShapeClip(1, 0, 30)), LANE_DONE);
    Vid_ForceVideoPosition(0);
    VIDGRIDBLOCK grid{3 << 12, 2 << 12, 0, 4096, 0x01, {0x00FFFFFF, 0x00FF8080, 0x008080FF, 0xFF000000}};
    VIDRADIALBLOCK radial{6 << 16, 0, 0x00FF0000, 0x0000FF00, 0x01};
    const uint64_t kGoldens[2] = {0x3F6E878E966FD339, 0x07EA412CB2B48075};
    for (int kind = 0; kind < 2; kind++) {
        Vid_UpdateLanes();
        VIDOBJECT &fx = g_aLaneSlots[5];
        fx.flags = kind == 0 ? VIDOBJ_GRID : VIDOBJ_RADIAL;
        fx.pGridEffect = &grid;
        fx.pTypeBlock = &radial;
        Vid_RenderFrame();
        EXPECT_EQ(g_VidFrameStats.iGrabs, 1);
        EXPECT_EQ(g_VidFrameStats.iWinningLane[kind == 0 ? 1 : 0], 5);
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        int lit = 0;
        for (int y = 0; y < 480; y += 8)
            for (int x = 0; x < 640; x += 8)
                lit += TestLayer_Pixel(x, y) != 0;
        EXPECT_GT(lit, 50) << "kind " << kind;
        EXPECT_TRUE(TestLayer_MatchesGolden(kind == 0 ? "video_grid_effect" : "video_radial_effect", kGoldens[kind]));
    }
}

TEST(VideoClut, InvertFlipsTheColourBits)
{
    uint16_t src[256], dst[256];
    for (int i = 0; i < 256; i++)
        src[i] = static_cast<uint16_t>(i * 257);
    Vid_InvertClut(src, dst);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(dst[i], static_cast<uint16_t>(src[i] ^ 0x7FFF));
}

} // namespace

namespace {

// Leaving out the outside pass of an all-opaque frame must not change a pixel; a slot that blends
// keeps both passes.
TEST_F(VideoFrame, AnOpaqueFrameLeavesOutTheOutsidePassWithTheSamePicture)
{
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 4, ShapeClip(1, -30, 40)), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(1, 0, 4, ShapeClip(3, 50, 10)), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(2, 0, 4, ShapeClip(2, 10, 70)), LANE_DONE);
    uint64_t hashes[2][2];
    for (int blended = 0; blended < 2; blended++)
        for (int elide = 0; elide < 2; elide++) {
            g_bVidElideOpaquePass = elide;
            Vid_ForceVideoPosition(0);
            g_bLaneUpdateForce = 1;
            Vid_UpdateLanes();
            if (blended)
                g_aLaneSlots[1].flags |= VIDOBJ_OUTLINE | VIDOBJ_OUTLINE_ADDITIVE; // additive edges
            Vid_RenderFrame();
            EXPECT_EQ(g_VidFrameStats.bOutsideElided, elide && !blended) << blended << elide;
            TestLayer_SetUp(g_iPixelFormat);
            Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
            hashes[blended][elide] = TestLayer_Hash();
        }
    g_bVidElideOpaquePass = 1;
    EXPECT_EQ(hashes[0][0], hashes[0][1]);
    EXPECT_EQ(hashes[1][0], hashes[1][1]);
    EXPECT_NE(hashes[0][0], hashes[1][0]);
}

} // namespace

namespace {

// The frame hands the view to the 2-D layer: an image-blit packet of the view rectangle at the
// head of the interface's ordering-table entry.
TEST_F(VideoFrame, TheViewIsBlittedThroughTheInterfaceEntry)
{
    rendertest::BringUp();
    ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    g_pOrderingTable = Sys_OrderingTableLists(g_pFrameBuffer)[1].base + 4;
    const uint32_t before = Sys_ArenaReadWord(g_pOrderingTable);
    const int16_t view[4] = {32, 24, 320, 240};
    Vid_SetViewport(view);
    Vid_BeginChaseFrame();
    Vid_RenderFrame();
    const uint32_t head = Sys_ArenaReadWord(g_pOrderingTable) & 0xFFFFFF;
    ASSERT_NE(head, before & 0xFFFFFF);
    const uint32_t words[5] = {Sys_ArenaReadWord(head + 8), Sys_ArenaReadWord(head + 12), Sys_ArenaReadWord(head + 16),
                               Sys_ArenaReadWord(head + 20), Sys_ArenaReadWord(head + 24)};
    EXPECT_EQ(words[0], 0xA0000000u);
    EXPECT_EQ(words[1], 32u);
    EXPECT_EQ(words[2], 24u);
    EXPECT_EQ(words[3], 320u);
    EXPECT_EQ(words[4], 240u);
    g_pOrderingTable = 0;
}

} // namespace

namespace {

// The path preview: a line through the points (closed paths back to the start), its two marker
// points moving along as the phase turns, drawn over an empty scene.
TEST_F(VideoFrame, PathPreviewDrawsTheLineWithMovingMarkers)
{
    int32_t points[8 * 4] = {};
    for (int i = 0; i < 8; i++) {
        points[i * 4 + 0] = ((i % 4) - 2) * 40 * 64;
        points[i * 4 + 1] = (i < 4 ? -30 : 30) * 64;
        points[i * 4 + 2] = (i % 3) * 10 * 64;
    }
    const VIDPATHPREVIEW path{points, 8, 1, 4096, 0};
    uint64_t hashes[4];
    for (int f = 0; f < 4; f++) {
        Vid_BeginChaseFrame();
        g_pPathPreview = &path;
        Vid_RenderFrame();
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        hashes[f] = TestLayer_Hash();
        int lit = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                lit += TestLayer_Pixel(x, y) != 0;
        EXPECT_GT(lit, 100) << "frame " << f;
    }
    g_pPathPreview = nullptr;
    // Every call flips the phase, so the bright marker moves from frame to frame.
    EXPECT_NE(hashes[0], hashes[1]);
    EXPECT_NE(hashes[1], hashes[2]);
    // A path of fewer than two points draws nothing and does no harm.
    const VIDPATHPREVIEW one{points, 1, 0, 4096, 0};
    g_pPathPreview = &one;
    Vid_RenderFrame();
    g_pPathPreview = nullptr;
}

} // namespace

namespace {

// Colour-table positions: a slot with its own texture takes entry lane of the eight video
// positions; the texture table's position exists for lanes 0..3 only (entry 4 + lane), and lanes
// 4..6 take 0 rather than reading past the eight.
TEST_F(VideoFrame, ColourTablePositionsStayInsideTheEight)
{
    for (int i = 0; i < 8; i++)
        g_ausVideoCluts[i / 4][i % 4] = static_cast<uint16_t>(100 + i);
    IMAGEREC image{};
    Vid_BeginChaseFrame();
    for (int lane = 0; lane < 7; lane++) {
        VIDOBJECT &o = g_aLaneSlots[lane];
        o.pInstance = &g_models[0].holder;
        o.flags |= VIDOBJ_SOLID | VIDOBJ_OWNTEXTURE;
        o.pImage = &image;
    }
    Vid_RenderFrame();
    for (int lane = 0; lane < 7; lane++) {
        EXPECT_EQ(g_aLaneSlots[lane].uClutPosition, 100 + lane) << lane;
        EXPECT_EQ(g_aLaneSlots[lane].uTexClutPosition, lane < 4 ? 104 + lane : 0) << lane;
        g_aLaneSlots[lane].pImage = nullptr;
    }
}

} // namespace
