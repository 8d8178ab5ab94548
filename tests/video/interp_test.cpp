// Key blending, the speed factor, transform nodes, the frame reset, render objects (fade, UV
// scrolling), particle objects and the trigger banks.
#include "video_fixture.h"

#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "support/test3d.h"
#include "support/testlayer.h"

#include <atomic>
#include <cstring>
#include <thread>

using namespace vidtest;

TEST(VideoBlend, TableOfCases)
{
    struct
    {
        int32_t a, b, w, blend, diff, scale;
    } cases[] = {
        {100, 200, 0, 100, 100, 51200},
        {100, 200, 2048, 150, 150, 51200 + 25600},
        {100, 200, 4095, 199, 199, 51200 + 51187},
        {-100, 100, 1024, -50, -50, -51200 + 25600},
        {0, -4096, 3072, -3072, -3072, -1536 * 1024},
        {7, 9, 1, 7, 7, 3584},
    };
    for (const auto &k : cases) {
        EXPECT_EQ(k.blend, Vid_Blend(k.a, k.b, k.w)) << k.a << " " << k.b << " " << k.w;
        EXPECT_EQ(k.diff, Vid_BlendDiff(k.a, k.b, k.w));
        EXPECT_EQ(k.scale, Vid_BlendScale(k.a, k.b, k.w));
    }
    // Weight 0 never reads the next key (any b gives a).
    EXPECT_EQ(5, Vid_Blend(5, INT32_MIN, 0));
}

TEST(VideoBlend, AnglesGoTheShortWay)
{
    struct
    {
        int32_t a, b, w, out;
    } cases[] = {
        {4000, 100, 4096 / 2, (4000 + 98) & 4095}, // forward through 4096 by 196
        {4000, 100, 4095, (4000 + 195) & 4095},
        {100, 4000, 2048, (100 - 98) & 4095},       // backward through 0
        {0, 2048, 2048, 1024},
        {1000, 1200, 0, 1000},
        {5000, 5000, 100, 5000 & 4095},
    };
    for (const auto &k : cases)
        EXPECT_EQ(k.out, Vid_BlendAngle(k.a, k.b, k.w)) << k.a << " " << k.b;
}

TEST(VideoBlend, PaletteColoursAndOffState)
{
    for (int i = 0; i < 128; i++) {
        g_aChasePalette[i][0] = static_cast<uint8_t>(i);
        g_aChasePalette[i][1] = static_cast<uint8_t>(2 * i);
        g_aChasePalette[i][2] = 200;
    }
    struct
    {
        int32_t a, b, w, mode;
        uint8_t out[4];
    } cases[] = {
        {10, 20, 0, CHASECOLOUR_DIRECT, {10, 20, 200, 0}},
        {10, 20, 2048, CHASECOLOUR_DIRECT, {15, 30, 200, 0}},
        {10, 20, 0, CHASECOLOUR_MINUS1, {9, 18, 200, 0}},
        {0, 0, 0, CHASECOLOUR_MINUS1, {0, 0, 200, 0}},
        {0, 5, 0, CHASECOLOUR_OFFSTATE, {0, 0, 200, 255}},
        {0, 0, 2048, CHASECOLOUR_OFFSTATE, {0, 0, 200, 255}},
        {0, 11, 2048, CHASECOLOUR_OFFSTATE, {10, 20, 200, 0}}, // off towards lit: the lit colour
        {11, 0, 2048, CHASECOLOUR_OFFSTATE, {10, 20, 200, 0}},
        {200, 300, 0, CHASECOLOUR_DIRECT, {127, 254, 200, 0}}, // out of range clamps to the table
    };
    for (const auto &k : cases) {
        uint8_t out[4];
        Vid_BlendChaseColour(k.a, k.b, k.w, k.mode, out);
        EXPECT_EQ(0, std::memcmp(k.out, out, 4)) << k.a << " " << k.b << " " << k.w << " " << k.mode << ": "
                                                  << int(out[0]) << " " << int(out[1]) << " " << int(out[2]) << " "
                                                  << int(out[3]);
    }
}

TEST_F(VideoTest, SpeedChaseSetsTheFrameFactor)
{
    const int32_t type = Vid_RegisterChaseDef(&g_SpeedChaseDef);
    EXPECT_EQ(0x2001, type);
    Vid_BeginChaseFrame();
    EXPECT_EQ(5, Vid_MovingStep(5)); // no Speed chase: full speed
    CHASE *c = NewChase(type);
    g_iFrameCount++;
    Vid_EvaluateChase(c);
    EXPECT_EQ(2560, g_iChaseSpeedFactor); // default 40
    EXPECT_EQ(1, g_bChaseSpeedFactorSet);
    EXPECT_EQ(2560 * 8 >> 12, Vid_MovingStep(8));
    g_ucFrameTick = 2;
    EXPECT_EQ(2560 * 16 >> 12, Vid_MovingStep(8));
    g_ucFrameTick = 1;

    int32_t v[1] = {63};
    uint8_t s[1] = {KEYSTATE_SET};
    Vid_SetChaseKey(c, 0, v, s);
    Vid_BeginChaseFrame();
    EXPECT_EQ(0, g_iChaseSpeedFactor);
    g_iFrameCount++;
    Vid_EvaluateChase(c);
    EXPECT_EQ(4032, g_iChaseSpeedFactor);
    // A second Speed chase in the frame adds, capped at 4096.
    CHASE *d = NewChase(type);
    Vid_EvaluateChase(d);
    EXPECT_EQ(4096, g_iChaseSpeedFactor);
}

TEST_F(VideoTest, TransformNodesChainAndStayInBounds)
{
    Vid_BeginChaseFrame();
    COORD *obj = Vid_PushTransformNode(1, VIDNODE_OBJECT, 1);
    ASSERT_NE(nullptr, obj);
    EXPECT_EQ(&g_aGroupNodes[1][0].coord, obj->parent);
    EXPECT_EQ(&g_aLaneSlots[1].coord, g_aGroupNodes[1][0].coord.parent);
    EXPECT_EQ(&g_aGroupNodes[1][0].coord, g_apLaneGroupNode[1]);
    EXPECT_EQ(VIDNODE_GROUP, g_aGroupNodes[1][0].kind);
    COORD *path = Vid_PushTransformNode(1, VIDNODE_PATH, 0);
    EXPECT_EQ(obj, path->parent);
    EXPECT_EQ(g_apLaneTopNode[1], path);

    // Lanes without nodes, and a lane whose 16 nodes are taken, push nothing.
    EXPECT_EQ(nullptr, Vid_PushTransformNode(4, VIDNODE_OBJECT, 0));
    EXPECT_EQ(nullptr, Vid_PushTransformNode(5, VIDNODE_OBJECT, 1));
    EXPECT_EQ(nullptr, Vid_PushTransformNode(-1, VIDNODE_OBJECT, 0));
    for (int i = 0; i < 16; i++)
        Vid_PushTransformNode(2, VIDNODE_OBJECT, 1);
    EXPECT_EQ(nullptr, Vid_PushTransformNode(2, VIDNODE_OBJECT, 0));
    EXPECT_EQ(16, g_aiObjectNodeUse[2]);
    EXPECT_EQ(16, g_aiGroupNodeUse[2]);

    // The frame reset empties the arrays, keeps only the fading flag and resets frame marks.
    g_aGroupNodes[1][0].coord.local.t[0] = 77;
    g_aLaneSlots[1].flags = VIDOBJ_FADING | VIDOBJ_SOLID | VIDOBJ_LANEOBJECT;
    g_aLaneSlots[5].flags = 0x200000;
    g_iTextWidest = 12;
    g_iVideoViewWidth = 512;
    g_uVideoRenderFlags = 7;
    Vid_BeginChaseFrame();
    EXPECT_EQ(0, g_aiObjectNodeUse[2]);
    EXPECT_EQ(0, g_aGroupNodes[1][0].coord.local.t[0]);
    EXPECT_EQ(VIDOBJ_FADING, g_aLaneSlots[1].flags);
    EXPECT_EQ(0u, g_aLaneSlots[5].flags);
    EXPECT_EQ(nullptr, g_apLaneGroupNode[1]);
    EXPECT_EQ(&g_aLaneSlots[1].coord, g_apLaneTopNode[1]);
    EXPECT_EQ(368, g_iTextWidest);
    EXPECT_EQ(256, g_iProjectionDistance);
    EXPECT_EQ(3u, g_uVideoRenderFlags);
    g_iVideoViewWidth = 640;
}

TEST(VideoObject, ScrollUVsRecentres)
{
    std::vector<uint8_t> uv;
    for (int u = 120; u <= 140; u++) {
        uv.push_back(static_cast<uint8_t>(u));
        uv.push_back(100);
    }
    Vid_ScrollUVs(uv.data(), static_cast<int32_t>(uv.size() / 2), 10, 0);
    for (size_t i = 0; i < uv.size() / 2; i++) {
        EXPECT_EQ(120 + static_cast<int>(i) + 10 - 64, uv[2 * i]);
        EXPECT_EQ(100, uv[2 * i + 1]);
    }
    // Most results below 64 pull the other way.
    uint8_t low[4] = {70, 70, 66, 66};
    Vid_ScrollUVs(low, 2, 0, -10);
    EXPECT_EQ(70, low[0]);
    EXPECT_EQ(60 + 64, low[1]);
    Vid_ScrollUVs(nullptr, 3, 1, 1);
}

TEST(VideoObject, FadeReachesFullAndRestoresTheColour)
{
    VIDOBJECT o{};
    o.flags = VIDOBJ_FADING;
    o.sFadeStep = 256;
    o.savedColour[0] = 200;
    o.savedColour[1] = 100;
    o.savedColour[2] = 40;
    Sys_IdentityMatrix(&o.mtxSavedLightColour);
    for (int i = 1; i <= 16; i++) {
        Vid_AdvanceFade(&o);
        if (i == 8) {
            EXPECT_EQ(100, o.colour[0]);
            EXPECT_EQ(50, o.colour[1]);
            EXPECT_EQ(2048, o.mtxLightColour.m[0][0]);
        }
    }
    EXPECT_EQ(4096, o.sFadeLevel);
    EXPECT_EQ(0u, o.flags & VIDOBJ_FADING);
    EXPECT_EQ(200, o.colour[0]);
    EXPECT_EQ(4096, o.mtxLightColour.m[1][1]);
    // Fading down stops at 0.
    o.flags = VIDOBJ_FADING;
    o.sFadeStep = -3000;
    Vid_AdvanceFade(&o);
    Vid_AdvanceFade(&o);
    EXPECT_EQ(0, o.sFadeLevel);
    EXPECT_EQ(0, o.colour[0]);

    Vid_SetObjectLight(&o, 2, 1, -2, 3);
    EXPECT_EQ(-2, o.mtxLight.m[2][1]);
    Vid_SetObjectLight(&o, 3, 9, 9, 9); // no fourth row
    Vid_DestroyObject(nullptr);
}

TEST(VideoParticles, LifeSpreadAndDeterministicSpawn)
{
    Sys_SeedRand(7);
    ASSERT_EQ(1, Vid_CreateLaneObject(0));
    LANEOBJECT *o = g_apLaneObjects[0];
    EXPECT_EQ(8, o->partCount);
    EXPECT_EQ(25, o->parts[7].count);
    EXPECT_EQ(o->particles + 175, o->parts[7].particles);
    Vid_SetLaneObjectSpread(o, 5);
    Vid_SetLaneObjectLife(o, 9);
    for (int i = 0; i < 256; i++) {
        EXPECT_GE(o->velocityTable[i], -5);
        EXPECT_LT(o->velocityTable[i], 5);
        EXPECT_GE(o->lifeTable[i], 1);
        EXPECT_LE(o->lifeTable[i], 9);
    }
    Vid_SetLaneObjectColour(o, 80, 40, 20);

    // A particle with life 3 halves its colour each remaining frame, then respawns.
    PARTICLE &p = o->particles[0];
    p.life = 3;
    p.rgb[0] = 80;
    p.vel[0] = 2;
    const int16_t x = p.pos[0];
    Vid_StepParticles(o);
    EXPECT_EQ(2, p.life);
    EXPECT_EQ(40, p.rgb[0]);
    EXPECT_EQ(x + 2, p.pos[0]);
    Vid_StepParticles(o);
    EXPECT_EQ(20, p.rgb[0]);
    Vid_StepParticles(o);
    EXPECT_EQ(0, p.life);
    Vid_StepParticles(o); // respawned with the object's colour, then aged one frame
    EXPECT_GE(p.life, 0);
    EXPECT_EQ(p.life < 4 ? 40 : 80, p.rgb[0]);

    // The same seed gives the same particles.
    std::vector<PARTICLE> first(o->particles, o->particles + o->total);
    Sys_SeedRand(7);
    ASSERT_EQ(1, Vid_CreateLaneObject(0));
    o = g_apLaneObjects[0];
    Vid_SetLaneObjectSpread(o, 5);
    Vid_SetLaneObjectLife(o, 9);
    Vid_SetLaneObjectColour(o, 80, 40, 20);
    for (int i = 0; i < 4; i++)
        Vid_StepParticles(o);
    Sys_SeedRand(7);
    Vid_CreateLaneObject(1);
    LANEOBJECT *o2 = g_apLaneObjects[1];
    Vid_SetLaneObjectSpread(o2, 5);
    Vid_SetLaneObjectLife(o2, 9);
    Vid_SetLaneObjectColour(o2, 80, 40, 20);
    for (int i = 0; i < 4; i++)
        Vid_StepParticles(o2);
    EXPECT_EQ(0, std::memcmp(o->particles, o2->particles, sizeof(PARTICLE) * o->total));

    Vid_SplitLaneObject(o, 3, 1);
    EXPECT_EQ(3, o->partCount);
    EXPECT_EQ(66, o->parts[2].count);
    EXPECT_EQ(0, o->parts[3].count);
    Vid_FreeLaneObject(0);
    Vid_FreeLaneObject(1);
    EXPECT_EQ(nullptr, g_apLaneObjects[0]);
    EXPECT_EQ(0, Vid_CreateLaneObject(4));
}

TEST(VideoTriggers, BanksStampAndDecay)
{
    Vid_ClearTriggers();
    g_iFrameCount = 40;
    EXPECT_EQ(0, Vid_SetTrigger(0, 100, 30));
    Vid_SetTrigger(4, 1, 9);   // no such bank
    Vid_SetTrigger(1, 4000, 9); // no such entry
    int16_t v;
    uint32_t s;
    Vid_GetTrigger(0, 100, &v, &s);
    EXPECT_EQ(30, v);
    EXPECT_EQ(40u, s);
    Vid_GetTrigger(1, 4000, &v, &s);
    EXPECT_EQ(0, v);
    EXPECT_EQ(0u, s);
    Vid_SetTrigger(1, 6, -5);
    Vid_GetTrigger(1, 6, &v, nullptr);
    EXPECT_EQ(-5, v);

    const int16_t expect[] = {10, 0, 0};
    for (int16_t e : expect) {
        g_iFrameCount++;
        Vid_DecayNoteTriggers();
        Vid_GetTrigger(0, 100, &v, &s);
        EXPECT_EQ(e, v);
    }
    EXPECT_EQ(42u, s); // the last decay that changed it stamped it
    Vid_ClearTriggers();
    g_iFrameCount = 0;
}

TEST(VideoTriggers, NotesWrittenWhileDecayingAreNeverLost)
{
    // The mix thread writes notes while the main thread decays: every note the writer stores is
    // seen at its own level or decayed from it, never overwritten by an older decayed value.
    Vid_ClearTriggers();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; i++)
            Vid_SetTrigger(0, 2 + (i % 99), 255);
        stop = true;
    });
    int16_t v;
    while (!stop) {
        Vid_DecayNoteTriggers();
        for (int i = 2; i < 101; i++) {
            Vid_GetTrigger(0, i, &v, nullptr);
            ASSERT_GE(v, 0);
            ASSERT_LE(v, 255);
            ASSERT_EQ(0, (255 - v) % 20 == 0 || v == 0 ? 0 : 1) << v;
        }
    }
    writer.join();
    for (int i = 2; i < 101; i++) {
        Vid_GetTrigger(0, i, &v, nullptr);
        EXPECT_EQ(0, (255 - v) % 20 == 0 || v == 0 ? 0 : 1);
    }
    Vid_ClearTriggers();
}

TEST(VideoParticles, DrawnAsAdditiveSquaresOnTheDevice)
{
    ASSERT_TRUE(Test3D_Open());
    Sys_BuildSineTable();
    ASSERT_EQ(Gfx_ResetLightingState(), 0);
    g_iDrawAreaLeft = g_iDrawAreaTop = 0;
    g_iDrawAreaRight = 640;
    g_iDrawAreaBottom = 480;
    ASSERT_EQ(Gfx_BeginScene(), 0);
    Gfx_ClearViewportColour(0);

    ASSERT_EQ(1, Vid_CreateLaneObject(0));
    LANEOBJECT *o = g_apLaneObjects[0];
    Vid_SetLaneObjectColour(o, 0x30, 0x30, 0x30);
    Vid_SetLaneObjectTexture(o, 1, nullptr);
    EXPECT_EQ(128, o->spriteRect[2]);
    // The emitter sits in front of the camera: the slot's instance parent, in 1/16 units.
    VIDOBJECT slot{};
    COORD parent{};
    parent.local.t[2] = 400;
    slot.pInstanceParent = &parent;
    o->slot = &slot;
    // The main camera at the origin, looking along z.
    FIXMATRIX id;
    Sys_IdentityMatrix(&id);
    Sys_CoordInit(&g_CameraCoord, nullptr, &id, 0);
    for (int32_t i = 0; i < o->total; i++)
        o->particles[i].life = 0;
    ASSERT_EQ(0, Vid_DrawParticles(o, nullptr, 0));
    EXPECT_EQ(6400, o->parts[0].emitter[2]);
    ASSERT_EQ(0, Gfx_EndScene());

    int32_t pitch = 0, w = 0, h = 0;
    const uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
    int32_t lit = 0;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            lit += back[static_cast<size_t>(y) * (pitch / 2) + x] != 0;
    EXPECT_GT(lit, 2000);
    EXPECT_LT(lit, w * h);

    Vid_FreeLaneObject(0);
    Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
    Test3D_Close();
    g_bSceneOpen = 0;
    g_pLayerFrame = nullptr;
    for (uint16_t *&row : g_apLayerRows)
        row = nullptr;
}
