// Golden pictures of the chase types' default chases over the built archive, drawn by the frame
// render through the software 3-D device: each registered type at two times, and a camera clip
// on lane 4 flying the view along path /H/2/7 (before, during, and after it is removed).
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
#include "render/lights.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "video/chase.h"
#include "video/chasepath.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vertexanim.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace {

constexpr uint8_t S = KEYSTATE_SET, K = KEYSTATE_KEEP;

class ChaseFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        ASSERT_EQ(Gfx_CreateColourKeySurface(256, 256), 0);
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        Sys_DiscInit();
        Vid_CreateResPagePool();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        Sys_BuildSineTable();
        Sys_EventInit();
        Sys_EventCreateClass(1, 11);
        Sys_EventCreateClass(3, 4);
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
    }
    void TearDown() override
    {
        Vid_ShutdownChaseEngine();
        Sys_EventInit();
        Gfx_DestroyAllMeshes();
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_FreeTextureTable();
        Gfx_ReleaseColourKeySurface();
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        Test3D_Close();
        g_szDataDir[0] = 0;
        g_iFrameCount = 0;
        g_uiLaneMuteMask = 0;
    }
    // A clip of the default chase of each stored id, the first one deciding the clip's kind.
    static VIDCLIP *Clip(std::vector<int32_t> storedIds)
    {
        VIDCLIP *clip = Vid_NewClip();
        for (int32_t id : storedIds) {
            CHASE *c = Vid_NewChase(Vid_FindChaseType(id));
            EXPECT_NE(c, nullptr);
            EXPECT_EQ(1, Vid_SetChaseDefaultKey(c)) << id << ": " << g_szResErrorText;
            Vid_AppendClipEntry(clip, c);
        }
        return clip;
    }
    // The default Shape with its animation switched off, so that only the camera moves it.
    static VIDCLIP *StillShape()
    {
        VIDCLIP *clip = Clip({1});
        int32_t values[VID_MAX_CHANNELS] = {};
        uint8_t states[VID_MAX_CHANNELS];
        std::fill(std::begin(states), std::end(states), K);
        states[2] = S; // Animation
        EXPECT_EQ(1, Vid_SetChaseKey(Vid_GetClipEntryChase(clip, 1), 0, values, states));
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
    static void Show(int32_t row)
    {
        Vid_ForceVideoPosition(row);
        g_bLaneUpdateForce = 1;
    }
};

} // namespace

TEST_F(ChaseFrame, DefaultChasesOfEachTypeAtTwoTimes)
{
    // Shape; Background behind a Shape; a Shape with a Texture and a Path; a Camera over a Shape.
    // The default Shape plays its first animation ("Pulse"), so the cube's size moves too.
    const struct
    {
        std::vector<int32_t> lane0, lane1, lane4;
        const char *name[2];
        uint64_t hash[2];
    } scenes[] = {
        {{1}, {}, {}, {"chase_shape_f1", "chase_shape_f40"}, {0x2C072E9BC01A7F8B, 0x3865106340C81CE3}},
        {{1}, {2}, {}, {"chase_background_f1", "chase_background_f40"}, {0xAE573DE21C01600A, 0xBC0DB2DCA3239887}},
        {{1, 11, 5}, {}, {}, {"chase_texture_path_f1", "chase_texture_path_f40"}, {0x005D2967ED8EAF35, 0x43CC3B4E4A1110ED}},
        {{1}, {}, {6}, {"chase_camera_f1", "chase_camera_f40"}, {0xD85517D1022A8215, 0xEB9C2E5A030B67C7}},
    };
    for (const auto &s : scenes) {
        Vid_ClearLaneRange(0, 999);
        Vid_ResetRenderState(); // each scene's auto camera starts from its first place
        const std::vector<int32_t> *lanes[5] = {&s.lane0, &s.lane1, nullptr, nullptr, &s.lane4};
        for (int32_t lane = 0; lane < 5; lane++) {
            if (lanes[lane] && !lanes[lane]->empty()) {
                ASSERT_EQ(Vid_PlaceClipRun(lane, 0, 4, Clip(*lanes[lane])), LANE_DONE);
            }
        }
        Show(0);
        Frames(1);
        EXPECT_TRUE(Golden(s.name[0], s.hash[0]));
        Frames(39);
        EXPECT_TRUE(Golden(s.name[1], s.hash[1]));
    }
}

TEST_F(ChaseFrame, ACameraClipFliesTheViewAndItsRemovalGivesTheAutoCameraBack)
{
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 12, StillShape()), LANE_DONE);
    Show(0);
    Frames(30);
    EXPECT_EQ(0u, g_uVideoRenderFlags & 4u);
    const int32_t autoPos[3] = {g_aiAutoCameraPos[0], g_aiAutoCameraPos[1], g_aiAutoCameraPos[2]};
    EXPECT_TRUE(Golden("camera_before", 0xEBEBC740616184A7));

    // The camera clip on lane 4 (its default key flies path /H/2/7) takes the view.
    VIDCLIP *camera = Clip({6});
    ASSERT_EQ(Vid_PlaceClipRun(4, 0, 12, camera), LANE_DONE);
    Show(0);
    Frames(1);
    EXPECT_EQ(4u, g_uVideoRenderFlags & 4u);
    EXPECT_TRUE(Golden("camera_during_f1", 0x22B1C2DB4089C013));
    Frames(60);
    EXPECT_EQ(4u, g_uVideoRenderFlags & 4u);
    EXPECT_TRUE(Golden("camera_during_f61", 0x795B9BC92BD3B617));

    // Removed: the auto camera places the view again, from where it was.
    Vid_ClearLaneRange(0, 999);
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 12, StillShape()), LANE_DONE);
    Show(0);
    Frames(1);
    EXPECT_EQ(0u, g_uVideoRenderFlags & 4u);
    for (int32_t i = 0; i < 3; i++)
        EXPECT_EQ(autoPos[i], g_aiAutoCameraPos[i]);
    EXPECT_TRUE(Golden("camera_after", 0xEBEBC740616184A7));
}

TEST_F(ChaseFrame, AnAnimatedModelAtThreeTimes)
{
    // The cube of the default Shape with its "Twist" animation: the loop runs 0..2048 over eight
    // frames of 256; each picture is drawn from the same camera at one animation time.
    VIDCLIP *clip = Clip({1});
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS];
    std::fill(std::begin(states), std::end(states), K);
    values[2] = 3;
    states[2] = S;
    ASSERT_EQ(1, Vid_SetChaseKey(Vid_GetClipEntryChase(clip, 1), 0, values, states));
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 4, clip), LANE_DONE);
    const struct
    {
        int32_t time;
        const char *name;
        uint64_t hash;
    } times[] = {
        {0, "anim_twist_t0", 0x72A7C062E3AC0CF7},
        {512 + 128, "anim_twist_t640", 0xE7C42B2FC045B3AB},
        {1536, "anim_twist_t1536", 0x360A8B1DB895A839},
    };
    for (const auto &t : times) {
        Vid_ResetRenderState();
        Show(0);
        // The slot draw adds the animation's speed (96 a frame tick) to the shared time.
        g_iAnimTime = t.time - 96;
        Frames(1);
        EXPECT_EQ(g_iAnimTime, t.time);
        EXPECT_TRUE(Golden(t.name, t.hash));
    }
}
