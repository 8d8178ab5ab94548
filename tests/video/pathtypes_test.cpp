// The Path and Camera chase types over a fake archive: travel along closed and open paths, the
// path node and preview, camera placement and aim, and the tunnel's camera rig.
#include "fakeres.h"

#include "video/chasepath.h"
#include "video/clips.h"
#include "video/interp.h"
#include "editors/chaseeditor.h"
#include "video/render.h"

#include <cmath>
#include <cstring>

using namespace fakeres;

namespace {

constexpr uint8_t S = KEYSTATE_SET, K = KEYSTATE_KEEP;

template <size_t N>
struct TableGuard
{
    CHASECHANNEL *table;
    CHASECHANNEL saved[N];
    explicit TableGuard(CHASECHANNEL (&t)[N]) : table(t) { std::memcpy(saved, t, sizeof saved); }
    ~TableGuard() { std::memcpy(table, saved, sizeof saved); }
};

int32_t Set(CHASE *c, int32_t time, std::vector<int32_t> v, std::vector<uint8_t> s)
{
    v.resize(VID_MAX_CHANNELS);
    s.resize(VID_MAX_CHANNELS, KEYSTATE_KEEP);
    return Vid_SetChaseKey(c, time, v.data(), s.data());
}

std::vector<int32_t> Read(CHASE *c, int32_t time)
{
    std::vector<int32_t> v(VID_MAX_CHANNELS);
    v.resize(static_cast<size_t>(Vid_GetChaseKey(c, time, v.data(), nullptr, nullptr, VID_MAX_CHANNELS)));
    return v;
}

class PathTest : public FakeResTest
{
protected:
    TableGuard<6> pathGuard{g_aPathChannels};
    TableGuard<9> cameraGuard{g_aCameraChannels};
    int32_t pathType = -1, cameraType = -1;
    POINTS *ring = nullptr, *line = nullptr;

    void SetUp() override
    {
        FakeResTest::SetUp();
        Sys_BuildSineTable();
        pathType = Vid_RegisterChaseDef(&g_PathChaseDef);
        cameraType = Vid_RegisterChaseDef(&g_CameraChaseDef);
        Vid_InitCameraTables();
        Vid_InitLaneCoords();
        // /H/2/6: a closed ring of 8 points; /H/2/7: an open line of 4 points along x.
        std::vector<std::array<int32_t, 3>> pts;
        for (int32_t i = 0; i < 8; i++)
            pts.push_back({i * 1000, 0, 0});
        ring = AddPoints(VIDRES_PATH, {2, 6}, pts, true);
        // Paths that pass the centre at a distance, so that the camera's two directions are never
        // parallel.
        line = AddPoints(VIDRES_PATH, {2, 7}, {{0, 0, 3000}, {4096, 0, 3000}, {8192, 0, 3000}, {12288, 0, 3000}});
        AddPoints(VIDRES_PATH, {0, 0}, {{2000, 0, 0}, {2000, 0, 4096}, {2000, 0, 8192}});
        AddPoints(VIDRES_PATH, {0, 1}, {{0, 0, 2000}, {4096, 0, 2000}, {8192, 0, 2000}});
        Vid_BeginChaseFrame();
    }
    void TearDown() override
    {
        g_pEditChase = nullptr;
        Vid_FreePathMeshes();
        Vid_BeginChaseFrame();
        FakeResTest::TearDown();
    }
    CHASE *New(int32_t type)
    {
        CHASE *c = Vid_NewChase(type);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c));
        return c;
    }
    PATHPARAMS *P(CHASE *c) { return reinterpret_cast<PATHPARAMS *>(c->pParams); }
    CAMERAPARAMS *C(CHASE *c) { return reinterpret_cast<CAMERAPARAMS *>(c->pParams); }
    // One frame: the lanes' frame reset, then the chase's interpolation.
    void Frame(CHASE *c)
    {
        Vid_BeginChaseFrame();
        g_iFrameCount++;
        Vid_EvaluateChase(c);
    }
};

} // namespace

TEST_F(PathTest, DefaultKeysTakeTheirPathsAndShowTheEditorsNumbers)
{
    CHASE *path = New(pathType);
    CHASE *camera = New(cameraType);
    EXPECT_EQ((std::vector<int32_t>{2, 7, 1, 3, 0, 0}), Read(path, 0));
    EXPECT_EQ((std::vector<int32_t>{2, 8, 1, 6, 0, 1, 4, 0, 0}), Read(camera, 0));
    // Face chan. is kept shown + 1.
    EXPECT_EQ(1, Vid_KeyValue(camera, camera->pKeys, 8));
    ASSERT_EQ(1, Set(camera, 0, {0, 0, 0, 0, 0, 0, 0, 0, -1}, {K, K, K, K, K, K, K, K, S}));
    EXPECT_EQ(0, Vid_KeyValue(camera, camera->pKeys, 8));
    EXPECT_EQ(-1, Read(camera, 0)[8]);
    EXPECT_EQ(1, RefsOf(VIDRES_PATH, {2, 6}));
    EXPECT_EQ(1, RefsOf(VIDRES_PATH, {2, 7}));
    // A missing path refuses and holds nothing more.
    EXPECT_EQ(0, Set(path, 20, {3, 1}, {S, S}));
    EXPECT_EQ(0, Set(camera, 20, {2, 0}, {S, S}));
    EXPECT_EQ(2, Refs());
    Vid_FreeChase(path);
    Vid_FreeChase(camera);
    EXPECT_EQ(0, Refs());
}

TEST_F(PathTest, AClosedPathStepsOneSegmentEveryFourFramesAndWraps)
{
    CHASE *c = New(pathType);
    ASSERT_EQ(1, Set(c, 0, {2, 7, 1, 13, 0, 0}, {S, S, S, S, S, S}));
    ASSERT_EQ(1, RefsOf(VIDRES_PATH, {2, 6}));
    const struct
    {
        int32_t frame, segment, fraction;
    } table[] = {{1, 0, 0}, {2, 0, 1024}, {4, 0, 3072}, {5, 1, 0}, {29, 7, 0}, {32, 7, 3072}, {33, 0, 0}, {34, 0, 1024}};
    int32_t frame = 0;
    for (const auto &k : table) {
        while (frame < k.frame) {
            Frame(c);
            frame++;
        }
        EXPECT_EQ(k.segment, P(c)->iSegment) << k.frame;
        EXPECT_EQ(k.segment + 1, P(c)->iNext) << k.frame;
        EXPECT_EQ(k.fraction, P(c)->iFraction) << k.frame;
    }
    // Scale 0 is 7000: segment 0 at 1024 lies at 250 x 7000 / 4096.
    EXPECT_EQ(250 * 7000 / 4096, P(c)->aiPoint[0]);
    // Direction: the same ring backwards, from point 0 towards point 7.
    ASSERT_EQ(1, Set(c, 0, {2, 7, 1, 13, 1, 0}, {K, K, K, K, S, K}));
    P(c)->iStarted = 0;
    Frame(c);
    Frame(c);
    EXPECT_EQ(7, P(c)->iSegment);
    EXPECT_EQ(6, P(c)->iNext);
    EXPECT_EQ(1024, P(c)->iFraction);
    Vid_FreeChase(c);
}

TEST_F(PathTest, AnOpenPathRunsToItsEndAndBackWithoutAJump)
{
    CHASE *c = New(pathType);
    ASSERT_EQ(1, Set(c, 0, {2, 8, 1, 13, 0, 11}, {S, S, S, S, S, S})); // 42000 scale
    ASSERT_EQ(1, RefsOf(VIDRES_PATH, {2, 7}));
    const int32_t step = 1024 * 42000 / 4096; // a quarter segment of 4096
    int32_t last = 0, most = 0;
    bool turned = false;
    for (int32_t f = 0; f < 60; f++) {
        Frame(c);
        const int32_t x = P(c)->aiPoint[0];
        if (f > 0) {
            EXPECT_LE(std::abs(x - last), step + 1) << f;
        }
        if (x < last)
            turned = true;
        most = std::max(most, x);
        last = x;
    }
    EXPECT_TRUE(turned);
    EXPECT_EQ(12288 * 42000 / 4096, most);
    Vid_FreeChase(c);
}

TEST_F(PathTest, MovingOffPlacesTheObjectAtAFixedFraction)
{
    CHASE *c = New(pathType);
    ASSERT_EQ(1, Set(c, 0, {2, 8, 0, 8, 0, 0}, {S, S, S, S, S, S}));
    for (int32_t f = 0; f < 3; f++) {
        Frame(c);
        EXPECT_EQ(0, P(c)->iSegment);
        EXPECT_EQ(3, P(c)->iNext);
        EXPECT_EQ(2048, P(c)->iFraction);
        EXPECT_EQ(6144 * 7000 / 4096, P(c)->aiPoint[0]); // half way from the first to the last point
    }
    Vid_FreeChase(c);
}

TEST_F(PathTest, RenderPushesAPathNodeAndThePreviewOfTheEditedChase)
{
    CHASE *c = New(pathType);
    Frame(c);
    VIDOBJECT &slot = g_aLaneSlots[1];
    Vid_RenderChase(c, &slot);
    ASSERT_EQ(1, g_aiGroupNodeUse[1]);
    const VIDNODE &node = g_aGroupNodes[1][0];
    EXPECT_EQ(VIDNODE_PATH, node.kind);
    EXPECT_EQ(nullptr, node.coord.parent);
    EXPECT_EQ(&node.coord, slot.coord.parent); // the object's world place follows the node
    EXPECT_EQ(&node.coord, g_apLaneTopNode[1]);
    EXPECT_EQ(&node.coord, g_apLaneGroupNode[1]);
    EXPECT_EQ(0, node.coord.local.t[0]); // the first frame lands on position 0
    EXPECT_EQ(nullptr, g_pPathPreview);

    // Being edited: the preview is this path's line, taken once a frame.
    g_pEditChase = c;
    Frame(c);
    Vid_RenderChase(c, &slot);
    ASSERT_NE(nullptr, g_pPathPreview);
    EXPECT_EQ(2u, g_uVideoRenderFlags & 2);
    EXPECT_EQ(8, g_pPathPreview->iCount);
    EXPECT_EQ(1, g_pPathPreview->bClosed);
    EXPECT_EQ(7000, g_pPathPreview->iScale);
    EXPECT_EQ(0, g_pPathPreview->iCamera);
    EXPECT_EQ(3000 << 6, g_pPathPreview->piPoints[3 * 4]);
    const int32_t *points = g_pPathPreview->piPoints;
    // Later frames take the preview again (the state bit stays set between frames); the line is
    // kept while the path stays.
    CHASE *other = New(pathType);
    g_pPathPreview = nullptr;
    Frame(c);
    Vid_RenderChase(c, &slot);
    ASSERT_NE(nullptr, g_pPathPreview);
    EXPECT_EQ(points, g_pPathPreview->piPoints);
    // Once a frame: a second chase on the same frame does not take it over.
    const VIDPATHPREVIEW *taken = g_pPathPreview;
    g_pEditChase = other;
    g_aLaneSlots[2].flags |= 0x4000; // would be seen with the auxiliary camera
    Vid_RenderChase(other, &g_aLaneSlots[2]);
    EXPECT_EQ(taken, g_pPathPreview);
    EXPECT_EQ(0, g_pPathPreview->iCamera);
    Frame(other);
    g_aLaneSlots[2].flags |= 0x4000;
    Vid_RenderChase(other, &g_aLaneSlots[2]);
    EXPECT_EQ(1, g_pPathPreview->iCamera);
    g_aLaneSlots[2].flags = 0;
    Vid_FreeChase(other);
    // Lanes without transform nodes take no path node.
    Vid_RenderChase(c, &g_aLaneSlots[5]);
    Vid_FreeChase(c);
}

namespace {

// R x (target - eye) for the camera's rotation: the direction it looks along should be +z.
std::array<int32_t, 3> InView(const int32_t target[3], const int32_t eye[3])
{
    int32_t d[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    int32_t out[3];
    FIXMATRIX r = g_CameraCoord.local;
    r.t[0] = r.t[1] = r.t[2] = 0;
    Sys_TransformLongVector(&r, d, out);
    return {out[0], out[1], out[2]};
}

} // namespace

TEST_F(PathTest, TheCameraFliesAlongItsPathAndAimsAtItsTarget)
{
    CHASE *cam = New(cameraType);
    // Path {0, 0} runs along z, from 0 to 8192; dolly 1 (9500), speed 13, face -1: looking ahead.
    ASSERT_EQ(1, Set(cam, 0, {0, 1, 1, 13, 0, 1, 4, 0, -1}, {S, S, S, S, S, S, S, S, S}));
    Frame(cam);
    Frame(cam);
    g_iProjectionDistance = 320;
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    EXPECT_EQ(4u, g_uVideoRenderFlags & 4);
    EXPECT_EQ(9500, g_iCameraScale);
    EXPECT_EQ(320, g_iProjectionDistance); // FOV 4 is 4096
    const int32_t *eye = C(cam)->aiEye;
    EXPECT_EQ(1024 * 9500 / 4096, eye[2]);
    // Looking along +z: no rotation; the translation takes the camera back to the origin.
    EXPECT_EQ((std::array<int16_t, 3>{0, 0, 0}), (std::array<int16_t, 3>{C(cam)->asAngles[0], C(cam)->asAngles[1],
                                                                        C(cam)->asAngles[2]}));
    EXPECT_EQ(4096, g_CameraCoord.local.m[0][0]);
    EXPECT_EQ(-eye[0], g_CameraCoord.local.t[0]);
    EXPECT_EQ(-eye[2], g_CameraCoord.local.t[2]);

    // Path {0, 1} runs along x: the camera turns to look along +x.
    ASSERT_EQ(1, Set(cam, 0, {0, 2, 1, 13, 0, 1, 6, 3, -1}, {S, S, S, S, S, S, S, S, S}));
    Frame(cam);
    g_iProjectionDistance = 320;
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    const auto ahead = InView(C(cam)->aiAhead, C(cam)->aiEye);
    EXPECT_NEAR(0, ahead[0], 8);
    EXPECT_NEAR(0, ahead[1], 8);
    EXPECT_GT(ahead[2], 0);
    EXPECT_EQ(-1024, C(cam)->asAngles[1]); // a quarter turn about Y
    EXPECT_EQ(320 * 8000 / 4096, g_iProjectionDistance); // FOV 6
    EXPECT_EQ(768, C(cam)->sRoll);

    // Face chan. 0 looks at the centre; 1 at lane 0's path node.
    const int32_t centre[3] = {0, 0, 0};
    ASSERT_EQ(1, Set(cam, 0, {2, 8, 1, 13, 0, 1, 4, 0, 0}, {S, S, S, S, S, S, S, S, S}));
    for (int32_t f = 0; f < 6; f++)
        Frame(cam);
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    auto atCentre = InView(centre, C(cam)->aiEye);
    EXPECT_NEAR(0, atCentre[0], 40);
    EXPECT_NEAR(0, atCentre[1], 40);
    EXPECT_GT(atCentre[2], 0);

    CHASE *obj = New(pathType); // the ring on lane 0
    ASSERT_EQ(1, Set(cam, 0, {2, 8, 1, 13, 0, 1, 4, 0, 1}, {S, S, S, S, S, S, S, S, S}));
    Vid_BeginChaseFrame();
    g_iFrameCount++;
    Vid_EvaluateChase(obj);
    Vid_EvaluateChase(cam);
    Vid_RenderChase(obj, &g_aLaneSlots[0]);
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    const int32_t *node = g_aGroupNodes[0][0].coord.world.t;
    auto atObject = InView(node, C(cam)->aiEye);
    EXPECT_NEAR(0, atObject[0], 40);
    EXPECT_NEAR(0, atObject[1], 40);
    EXPECT_GT(atObject[2], 0);
    Vid_FreeChase(obj);
    Vid_FreeChase(cam);
    EXPECT_EQ(0, Refs());
}

TEST_F(PathTest, ACameraWithoutItsPathLeavesTheViewAlone)
{
    CHASE *cam = New(cameraType);
    Frame(cam);
    const CAMERAPARAMS before = *C(cam);
    world.byId.at(IdOf(VIDRES_PATH, {2, 7})).data = nullptr;
    Frame(cam);
    EXPECT_EQ(0, std::memcmp(&before, C(cam), sizeof before));
    // A fresh camera block has no path: nothing is placed, the auto camera stays on.
    CHASE *fresh = Vid_NewChase(cameraType);
    Vid_RenderChase(fresh, &g_aLaneSlots[4]);
    EXPECT_EQ(0u, g_uVideoRenderFlags & 4);
    Vid_FreeChase(fresh);
    world.byId.at(IdOf(VIDRES_PATH, {2, 7})).data = line;
    Vid_FreeChase(cam);
}

TEST_F(PathTest, ParallelDirectionsKeepThePreviousOrientation)
{
    // A path through the centre, looking ahead along it: the two directions are parallel, so the
    // camera keeps the orientation it had.
    AddPoints(VIDRES_PATH, {1, 0}, {{-4096, 0, 0}, {0, 0, 0}, {4096, 0, 0}});
    CHASE *cam = New(cameraType);
    ASSERT_EQ(1, Set(cam, 0, {0, 2, 1, 13, 0, 1, 4, 0, -1}, {S, S, S, S, S, S, S, S, S}));
    Frame(cam);
    Vid_RenderChase(cam, &g_aLaneSlots[4]);
    const int16_t turned[3] = {C(cam)->asAngles[0], C(cam)->asAngles[1], C(cam)->asAngles[2]};
    EXPECT_EQ(-1024, turned[1]);
    ASSERT_EQ(1, Set(cam, 0, {1, 1, 1, 13, 0, 1, 4, 0, -1}, {S, S, S, S, S, S, S, S, S}));
    for (int32_t f = 0; f < 3; f++) {
        Frame(cam);
        Vid_RenderChase(cam, &g_aLaneSlots[4]);
        EXPECT_EQ(turned[0], C(cam)->asAngles[0]);
        EXPECT_EQ(turned[1], C(cam)->asAngles[1]);
        EXPECT_EQ(turned[2], C(cam)->asAngles[2]);
    }
    Vid_FreeChase(cam);
}

TEST_F(PathTest, OldSongsRaiseMovingSpeedsByOne)
{
    CHASE *cam = New(cameraType);
    CHASE *path = New(pathType);
    std::vector<uint16_t> table(8, 0xFFFF);
    table[2] = static_cast<uint16_t>(IdOf(VIDRES_PATH, {2, 7}));
    const struct
    {
        uint32_t version;
        int32_t moving, speed, pathSpeed, cameraSpeed;
    } cases[] = {{12, 1, 6, 7, 7}, {12, 0, 6, 6, 6}, {13, 1, 6, 6, 6}, {12, 1, 15, 15, 16}};
    for (const auto &k : cases) {
        VIDLOADMAP map{table.data(), 8, k.version};
        int32_t p[6] = {2, 0, k.moving, k.speed, 0, 0};
        g_PathChaseDef.remap(path, p, &map);
        EXPECT_EQ(k.pathSpeed, p[3]);
        EXPECT_EQ(2, p[0]);
        EXPECT_EQ(8, p[1]);
        int32_t c[9] = {2, 0, k.moving, k.speed, 0, 1, 4, 0, 2};
        g_CameraChaseDef.remap(cam, c, &map);
        EXPECT_EQ(k.cameraSpeed, c[3]);
        EXPECT_EQ(1, c[8]); // read form
    }
    int32_t gone[6] = {5, 0, 1, 3, 0, 0};
    VIDLOADMAP map{table.data(), 8, 17};
    g_PathChaseDef.remap(path, gone, &map);
    EXPECT_EQ(0, gone[0]);
    EXPECT_EQ(1, gone[1]);
    Vid_FreeChase(cam);
    Vid_FreeChase(path);
}

TEST(PathMix, APathMovesObjectsAndKeepsTheLanesNodesBounded)
{
    CHASEDEF defs[4] = {};
    const uint16_t ids[4] = {1, 2, 19, 4};
    std::vector<CHASE> chases(20);
    std::vector<VIDCLIPENTRY> entries(20);
    auto clipOf = [&](uint16_t firstId, int32_t n, int32_t transforms) {
        VIDCLIP clip{};
        for (int32_t d = 0; d < 4; d++)
            defs[d].uStoredId = ids[d];
        for (int32_t i = 0; i < n; i++) {
            chases[static_cast<size_t>(i)].pDef = i == 0 ? (firstId == 1 ? &defs[0] : firstId == 2 ? &defs[1] : &defs[2])
                                                 : (i <= transforms ? &defs[3] : &defs[0]);
            entries[static_cast<size_t>(i)] = {i + 1 < n ? &entries[static_cast<size_t>(i) + 1] : nullptr,
                                               &chases[static_cast<size_t>(i)]};
        }
        clip.pFirst = &entries[0];
        clip.sEntryCount = static_cast<int16_t>(n);
        return clip;
    };
    const struct
    {
        uint16_t first;
        int32_t entries, transforms, accepted;
    } cases[] = {
        {1, 1, 0, 1}, {2, 1, 0, 0}, {19, 1, 0, 0}, {1, 16, 15, 1}, {1, 17, 15, 1}, {1, 17, 16, 0}, {1, 20, 10, 1},
    };
    for (const auto &k : cases) {
        VIDCLIP clip = clipOf(k.first, k.entries, k.transforms);
        EXPECT_EQ(k.accepted, g_PathChaseDef.mix(nullptr, &clip, 1)) << k.first << " " << k.entries << " " << k.transforms;
    }
}

TEST(CameraRig, ThreeLinkedNodesInOneBlock)
{
    Sys_BuildSineTable();
    COORD *camera = Vid_NewCameraRig();
    ASSERT_NE(nullptr, camera);
    COORD *middle = Vid_CameraRigMiddle(camera), *base = Vid_CameraRigBase(camera);
    EXPECT_EQ(middle, camera->parent);
    EXPECT_EQ(base, middle->parent);
    EXPECT_EQ(nullptr, base->parent);
    EXPECT_EQ(-4096, base->local.m[1][1]);
    EXPECT_EQ(4096, base->local.m[0][0]);
    EXPECT_EQ(512, camera->local.t[2]);
    ASSERT_EQ(0, Sys_CoordUpdateWorld(camera));
    EXPECT_EQ(512, camera->world.t[2]);

    const int32_t v[3] = {10, -20, 30};
    Vid_SetNodeTranslation(middle, v);
    EXPECT_EQ((std::array<int32_t, 3>{-10, 20, -30}), (std::array<int32_t, 3>{middle->local.t[0], middle->local.t[1],
                                                                              middle->local.t[2]}));
    Vid_SubNodeTranslation(middle, v);
    EXPECT_EQ(-20, middle->local.t[0]);
    EXPECT_EQ(40, middle->local.t[1]);
    const int16_t angles[3] = {0, 1024, 0};
    Vid_SetNodeRotation(middle, angles);
    // A negated quarter turn about Y.
    EXPECT_EQ(0, middle->local.m[0][0]);
    EXPECT_EQ(-4096, middle->local.m[0][2]);
    EXPECT_EQ(4096, middle->local.m[2][0]);
    EXPECT_EQ(-20, middle->local.t[0]); // the translation stays
    Vid_DestroyCameraRig(camera);
    Vid_DestroyCameraRig(nullptr);
}
