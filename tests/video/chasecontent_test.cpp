// The chase types over the archive the build makes: every registered type's default key loads its
// resources, the editor's limits and names come from the archive's folders, and a table of two-key
// interpolations checks what each type hands its lane's render object.
#include "app/timers.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/texpages.h"
#include "render/userimages.h"
#include "video/chase.h"
#include "video/chaselist.h"
#include "video/chasemaps.h"
#include "video/chasepath.h"
#include "video/chaseres.h"
#include "video/chaseshape.h"
#include "video/interp.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "editors/chaseeditor.h"
#include "video/render.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t S = KEYSTATE_SET, K = KEYSTATE_KEEP;

class ChaseContent : public ::testing::Test
{
protected:
    CHASECHANNEL saved[5][10];
    CHASEDEF *defs[5] = {&g_ShapeChaseDef, &g_BackgroundChaseDef, &g_TextureChaseDef, &g_PathChaseDef,
                         &g_CameraChaseDef};
    int32_t types[5] = {};

    void SetUp() override
    {
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        Sys_DiscInit();
        Vid_CreateResPagePool();
        Vid_InstallResLoaders();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        Sys_BuildSineTable();
        for (int32_t i = 0; i < 5; i++)
            std::memcpy(saved[i], defs[i]->pChannels, sizeof(CHASECHANNEL) * static_cast<size_t>(defs[i]->sChannelCount));
        Vid_ResetChaseLimitCaches();
        g_ucFrameTick = 1;
        g_iFrameCount = 1;
        ASSERT_EQ(0, Vid_InitChasePools());
        for (int32_t i = 0; i < 5; i++)
            types[i] = Vid_RegisterChaseDef(defs[i]);
        Vid_InitCameraTables();
        Vid_InitLaneCoords();
        Vid_BeginChaseFrame();
    }
    void TearDown() override
    {
        g_pChaseEditWindow = nullptr;
        Vid_FreeChasePools();
        Vid_FreePathMeshes();
        Vid_BeginChaseFrame();
        for (int32_t i = 0; i < 5; i++)
            std::memcpy(const_cast<CHASECHANNEL *>(defs[i]->pChannels), saved[i],
                        sizeof(CHASECHANNEL) * static_cast<size_t>(defs[i]->sChannelCount));
        g_iFrameCount = 0;
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        g_szDataDir[0] = 0;
    }
    CHASE *New(int32_t i)
    {
        CHASE *c = Vid_NewChase(types[i]);
        EXPECT_NE(nullptr, c);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c)) << "type " << defs[i]->uStoredId << ": " << g_szResErrorText;
        return c;
    }
    // A second key at 128 and the cursor half way to it: each changed channel blends at 2048.
    void HalfWay(CHASE *c, std::vector<int32_t> v, std::vector<uint8_t> s)
    {
        v.resize(VID_MAX_CHANNELS);
        s.resize(VID_MAX_CHANNELS, K);
        ASSERT_EQ(1, Vid_SetChaseKey(c, 128, v.data(), s.data()));
        c->ucCursor = 64;
        g_iFrameCount++;
        Vid_BeginChaseFrame();
        Vid_EvaluateChase(c);
    }
    static void *DataAt(int32_t kind, std::vector<uint16_t> path)
    {
        int32_t id = -1;
        return Vid_LoadResource(kind, path.data(), static_cast<int32_t>(path.size()), &id);
    }
    static RESPOINT Key(void *list, int32_t k)
    {
        RESPOINT p{};
        EXPECT_EQ(0, Vid_PointListAt(static_cast<POINTLIST *>(list), k, k, 0, &p));
        return p;
    }
};

} // namespace

TEST_F(ChaseContent, ShapeCopiesTheModelAtItsScaledLayout)
{
    CHASE *c = New(0);
    auto *model = static_cast<VIDOBJECT *>(DataAt(RES_MODELS, {0, 0}));
    ASSERT_NE(nullptr, model);
    // Four copies on layout 2, Scale 0 -> 7 half way: 800 and 16384 give 8592.
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, std::vector<int32_t>{0, 1, 1, 8, 4, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}.data(),
                                 std::vector<uint8_t>{S, S, S, S, S, S, S, K, K, K, K, K, K, K, K, K}.data()));
    HalfWay(c, {0, 1, 1, 31, 4, 2, 7}, {K, K, K, S, K, K, S});
    const auto *p = reinterpret_cast<const SHAPEPARAMS *>(c->pParams);
    EXPECT_EQ(8592, p->iScale);
    EXPECT_EQ((96 + 372) / 2, p->iAnimSpeed);
    VIDOBJECT &slot = g_aLaneSlots[0];
    Vid_RenderChase(c, &slot);
    EXPECT_EQ(model->pInstance, slot.pInstance);
    EXPECT_EQ(4, slot.iInstanceCount);
    EXPECT_EQ(Vid_GetObjectIndexCount(model), slot.uIndexCount);
    EXPECT_NE(nullptr, slot.pAnimation);
    void *layout = DataAt(RES_LAYOUT, {3, 1});
    for (int32_t i = 0; i < 4; i++) {
        const RESPOINT k = Key(layout, i);
        EXPECT_EQ(static_cast<int32_t>(int64_t{k.x} * 8592 >> 12), slot.pInstanceOffsets[i * 4]) << i;
        EXPECT_EQ(static_cast<int32_t>(int64_t{k.z} * 8592 >> 12), slot.pInstanceOffsets[i * 4 + 2]) << i;
    }
    Vid_FreeChase(c);
}

TEST_F(ChaseContent, BackgroundAndTextureHandOverTheirResources)
{
    CHASE *back = New(1);
    CHASE *tex = New(2);
    auto *dome = static_cast<VIDOBJECT *>(DataAt(RES_BACK, {0, 0}));
    auto *image = static_cast<IMAGEREC *>(DataAt(RES_MAPTEX, {0, 0}));
    ASSERT_NE(nullptr, dome);
    ASSERT_NE(nullptr, image);
    // Texture: fixed offsets U 0 -> 63 half way, mapping 2.
    ASSERT_EQ(1, Vid_SetChaseKey(tex, 0, std::vector<int32_t>{0, 1, 0, 0, 10, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}.data(),
                                 std::vector<uint8_t>{K, K, K, S, S, S, K, K, K, K, K, K, K, K, K, K}.data()));
    HalfWay(tex, {0, 1, 0, 63, 10, 2}, {K, K, K, S, K, K});
    g_iFrameCount++;
    Vid_EvaluateChase(back);
    VIDOBJECT &slot = g_aLaneSlots[2];
    Vid_RenderChase(back, &slot);
    Vid_RenderChase(tex, &slot);
    EXPECT_EQ(dome->pInstance, slot.pInstance);
    EXPECT_EQ(VIDOBJ_SOLID | 0x10u, slot.flags & (VIDOBJ_SOLID | 0x10u));
    EXPECT_EQ(0x100u | 0x800u, slot.flags & 0xF00u);
    EXPECT_EQ(image, slot.pImage);
    EXPECT_EQ(31, slot.sScrollU);
    EXPECT_EQ(10, slot.sScrollV);
    Vid_FreeChase(back);
    Vid_FreeChase(tex);
}

TEST_F(ChaseContent, PathAndCameraFollowTheArchivesFlights)
{
    CHASE *path = New(3);
    CHASE *cam = New(4);
    void *ring = DataAt(RES_PATH, {2, 6});
    void *flight = DataAt(RES_PATH, {2, 7});
    ASSERT_NE(nullptr, ring);
    ASSERT_NE(nullptr, flight);
    // Path Scale 0 -> 15 half way: (7000 + 82000) / 2; the first frame is on point 0.
    HalfWay(path, {2, 7, 1, 3, 0, 15}, {K, K, K, K, K, S});
    EXPECT_EQ(44500, reinterpret_cast<PATHPARAMS *>(path->pParams)->iScale);
    Vid_RenderChase(path, &g_aLaneSlots[0]);
    const RESPOINT r0 = Key(ring, 0);
    EXPECT_EQ(static_cast<int32_t>(int64_t{r0.x} * 44500 >> 12), g_aGroupNodes[0][0].coord.local.t[0]);
    EXPECT_EQ(static_cast<int32_t>(int64_t{r0.z} * 44500 >> 12), g_aGroupNodes[0][0].coord.local.t[2]);

    // Camera FOV 4 -> 7 half way: (4096 + 10000) / 2; dolly 1 = 9500.
    HalfWay(cam, {2, 8, 1, 6, 0, 1, 7, 0, 0}, {K, K, K, K, K, K, S, K, K});
    g_iProjectionDistance = 320;
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    EXPECT_EQ(4u, g_uVideoRenderFlags & 4u);
    EXPECT_EQ(320 * 7048 / 4096, g_iProjectionDistance);
    EXPECT_EQ(9500, g_iCameraScale);
    const RESPOINT f0 = Key(flight, 0);
    const auto *cp = reinterpret_cast<const CAMERAPARAMS *>(cam->pParams);
    EXPECT_EQ(static_cast<int32_t>(int64_t{f0.x} * 9500 >> 12), cp->aiEye[0]);
    EXPECT_EQ(static_cast<int32_t>(int64_t{f0.y} * 9500 >> 12), cp->aiEye[1]);
    // Face chan. 0: the centre lies straight ahead of the camera.
    int32_t d[3] = {-cp->aiEye[0], -cp->aiEye[1], -cp->aiEye[2]}, v[3];
    FIXMATRIX r = g_CameraCoord.local;
    r.t[0] = r.t[1] = r.t[2] = 0;
    Sys_TransformLongVector(&r, d, v);
    EXPECT_NEAR(0, v[0], 30);
    EXPECT_NEAR(0, v[1], 30);
    EXPECT_GT(v[2], 300);
    Vid_FreeChase(path);
    Vid_FreeChase(cam);
}

TEST_F(ChaseContent, TheEditorsLimitsAndNamesComeFromTheArchive)
{
    g_pChaseEditWindow = reinterpret_cast<WINDOW *>(&g_pChaseEditWindow);
    CHASE *shape = New(0);
    CHASE *path = New(3);
    CHASE *cam = New(4);
    std::vector<int32_t> v(VID_MAX_CHANNELS);
    Vid_GetChaseKey(shape, 0, v.data(), nullptr, nullptr, VID_MAX_CHANNELS);
    const int32_t families = g_VidChaseRes.folderCount(RES_MODELS, nullptr, 0);
    EXPECT_GE(families, 5);
    EXPECT_EQ(families - 1, g_aShapeChannels[0].sMax);
    EXPECT_STRNE("Shape wotsit", g_szShapeFamily);
    EXPECT_STRNE("Shape Name", g_szShapeName);
    EXPECT_EQ(3, g_aShapeChannels[2].sMax); // three animations per model
    // The quantity folders (33, one spare) less one.
    const uint16_t none[1] = {0};
    g_ShapeChaseDef.preview(shape, v.data());
    EXPECT_EQ(32, g_aShapeChannels[4].sMax);
    EXPECT_EQ(g_VidChaseRes.entryCount(RES_LAYOUT, none, 1), g_aShapeChannels[5].sMax);
    Vid_GetChaseKey(path, 0, v.data(), nullptr, nullptr, VID_MAX_CHANNELS);
    EXPECT_EQ(3, g_aPathChannels[0].sMax);
    EXPECT_EQ(9, g_aPathChannels[1].sMax);
    EXPECT_STREQ("Flights", g_szPathFamily);
    ASSERT_EQ(1, Vid_SetChaseKey(cam, 0, std::vector<int32_t>{0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}.data(),
                                 std::vector<uint8_t>{S, S, K, K, K, K, K, K, K, K, K, K, K, K, K, K}.data()));
    EXPECT_STREQ("Circles", g_szCameraFamily);
    EXPECT_EQ(4, g_aCameraChannels[1].sMax);
    // The animation probes of the built content are 5 bytes: every model has animations.
    const uint16_t probe[2] = {0, 0};
    EXPECT_EQ(5u, g_VidChaseRes.entrySize(RES_ANIM, probe, 2));
    Vid_FreeChase(shape);
    Vid_FreeChase(path);
    Vid_FreeChase(cam);
}
