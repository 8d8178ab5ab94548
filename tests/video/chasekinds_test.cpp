// The modifier, screen-effect, lighting, palette, tiles and tunnel chase types: their tables, key
// methods, blocks, the flags they set on a lane's render object, the mix rules, and the tunnel's
// ring building over hand-made paths.
#include "video_fixture.h"

#include "render/mesh.h"
#include "video/chase_modifiers.h"
#include "video/chase_tunnel.h"
#include "video/chasetypes.h"
#include "video/resloaders.h"
#include "video/engine.h"
#include "video/render.h"

#include <cstring>
#include <vector>

using namespace vidtest;

namespace {

class ChaseKindsTest : public VideoTest
{
protected:
    void SetUp() override
    {
        VideoTest::SetUp();
        Vid_FreeChasePools();
        Vid_InitChasePools();
        for (CHASEDEF *d : {&g_RotationChaseDef, &g_ScaleChaseDef, &g_ColourChaseDef, &g_LightingChaseDef,
                            &g_PaletteChaseDef, &g_SpineChaseDef, &g_NumberChaseDef, &g_TilesChaseDef,
                            &g_TintChaseDef, &g_VisibilityChaseDef, &g_SpeedChaseDef, &g_TunnelChaseDef,
                            &g_ParticleChaseDef, &g_objDef})
            d->uCode = static_cast<uint32_t>(Vid_RegisterChaseDef(d));
        g_SpeedChaseDef.mix = Vid_MixScreenEffect;
        Vid_FillModifierTables();
        for (int32_t i = 0; i < 128; i++) {
            g_aChasePalette[i][0] = static_cast<uint8_t>(i);
            g_aChasePalette[i][1] = static_cast<uint8_t>(2 * i);
            g_aChasePalette[i][2] = static_cast<uint8_t>(255 - i);
        }
        g_iLastLightSelected = 0;
        Vid_BeginChaseFrame();
    }

    static CHASE *Make(const CHASEDEF &def)
    {
        CHASE *c = Vid_NewChase(static_cast<int32_t>(def.uCode));
        EXPECT_NE(c, nullptr);
        return c;
    }
    // Runs interpolate on keys a, b at weight w (all channels) and renders into lane's slot.
    static void Run(CHASE *c, std::vector<int32_t> a, std::vector<int32_t> b = {}, int16_t w = 0, int32_t lane = 0)
    {
        a.resize(VID_MAX_CHANNELS);
        if (b.empty())
            b = a;
        b.resize(VID_MAX_CHANNELS);
        int16_t ws[VID_MAX_CHANNELS];
        for (int16_t &x : ws)
            x = w;
        c->pDef->interpolate(c, a.data(), b.data(), ws);
        c->pDef->render(c, &g_aLaneSlots[lane]);
    }
    // The key at time 0 as the editor reads it.
    static std::vector<int32_t> Shown(CHASE *c)
    {
        std::vector<int32_t> v(VID_MAX_CHANNELS, 0);
        Vid_GetChaseKey(c, 0, v.data(), nullptr, nullptr, VID_MAX_CHANNELS);
        return v;
    }
};

} // namespace

TEST_F(ChaseKindsTest, RotationAxesSpinAndLightPositions)
{
    EXPECT_EQ(g_aRotationAxes[0][0], 1024);
    EXPECT_EQ(g_aRotationAxes[0][1], 0);
    EXPECT_EQ(g_aRotationAxes[71][0], -3072);
    EXPECT_EQ(g_aRotationAxes[71][1], 3584);
    EXPECT_EQ(g_aiRotationSpin[31], 155);
    EXPECT_EQ(g_aLightPositions[14][0], 4096);
    EXPECT_EQ(g_aLightPositions[13][0] | g_aLightPositions[13][1] | g_aLightPositions[13][2], 0);
    // Position 27 (the default of the third light) is past the 27 directions: no direction, and
    // nothing read beyond the table.
    CHASE *c = Make(g_LightingChaseDef);
    Run(c, {0, 0, 0, 27, 27, 27, 0, 0, 0, 0});
    const auto *p = reinterpret_cast<const LIGHTINGPARAMS *>(c->pParams);
    for (int32_t l = 0; l < 3; l++)
        EXPECT_EQ(p->directions[l][0] | p->directions[l][1] | p->directions[l][2], 0) << l;
    Run(c, {0, 0, 0, 14, 27, 27, 0, 0, 0, 0}, {0, 0, 0, 27, 27, 27, 0, 0, 0, 0}, 2048);
    EXPECT_EQ(p->directions[0][0], 2048);
}

TEST_F(ChaseKindsTest, RotationTurnsTheShortWayAndSpinsWithTheSpeedFactor)
{
    CHASE *c = Make(g_RotationChaseDef);
    auto *p = reinterpret_cast<ROTATIONPARAMS *>(c->pParams);
    // Axis 6 (X -2048) towards axis 0 (X 1024): the short way is back through -4096, 1024 away.
    Run(c, {6, 0, 0, 0}, {0, 0, 0, 0}, 2048);
    EXPECT_EQ(p->xAngle, -2560);
    // Moving: spin step s x 5 a frame, scaled by the frame's speed factor.
    p->spin = 0;
    Run(c, {2, 1, 8, 0});
    EXPECT_EQ(p->spin, 40);
    g_iChaseSpeedFactor = 1280; // a Speed chase at 20
    g_bChaseSpeedFactorSet = 1;
    Run(c, {2, 1, 8, 0});
    EXPECT_EQ(p->step, 12);
    g_iChaseSpeedFactor = 2560; // the default 40: twice the step
    Run(c, {2, 1, 8, 0});
    EXPECT_EQ(p->step, 25);
    // Not moving: a fixed angle of speed x 256, no step.
    Run(c, {2, 0, 3, 0});
    EXPECT_EQ(p->spin, 768);
    EXPECT_EQ(p->step, 0);
}

TEST_F(ChaseKindsTest, TransformNodesChainGroupFirstAndNeverOnOtherLanes)
{
    CHASE *s = Make(g_ScaleChaseDef);
    Run(s, {8, 8, 8, 1});
    // Scale 8 is the identity: a group node, then the object node with the diagonal 4096.
    EXPECT_EQ(g_aiGroupNodeUse[0], 1);
    ASSERT_EQ(g_aiObjectNodeUse[0], 1);
    const FIXMATRIX &m = g_aObjectNodes[0][0].coord.local;
    EXPECT_EQ(m.m[0][0], 4096);
    EXPECT_EQ(m.m[1][1], 4096);
    EXPECT_EQ(m.m[2][2], 4096);
    EXPECT_EQ(m.m[0][1], 0);
    // The object hangs below its nodes, and the chain ends above them.
    EXPECT_EQ(g_aObjectNodes[0][0].coord.parent, &g_aGroupNodes[0][0].coord);
    EXPECT_EQ(g_aGroupNodes[0][0].coord.parent, nullptr);
    EXPECT_EQ(g_aLaneSlots[0].coord.parent, &g_aObjectNodes[0][0].coord);
    CHASE *turn = Make(g_RotationChaseDef);
    Run(turn, {2, 0, 0, 0});
    EXPECT_EQ(g_aLaneSlots[0].coord.parent, &g_aObjectNodes[0][1].coord);
    EXPECT_EQ(g_aObjectNodes[0][1].coord.parent, &g_aObjectNodes[0][0].coord);
    EXPECT_EQ(0, Sys_CoordUpdateWorld(&g_aLaneSlots[0].coord));
    // The next frame starts the object without nodes.
    Vid_BeginChaseFrame();
    EXPECT_EQ(g_aLaneSlots[0].coord.parent, nullptr);
    // Lane 5 has no nodes; a lane's 16 nodes are never overrun.
    Run(s, {8, 8, 8, 0}, {}, 0, 5);
    CHASE *r = Make(g_RotationChaseDef);
    for (int32_t i = 0; i < 40; i++)
        Run(r, {2, 1, 8, 0}, {}, 0, 1);
    EXPECT_EQ(g_aiObjectNodeUse[1], VID_NODES_PER_LANE);
}

TEST_F(ChaseKindsTest, SwitchTypesSetTheirFlags)
{
    const struct
    {
        const CHASEDEF *def;
        std::vector<int32_t> key;
        uint32_t set, clear;
    } cases[] = {
        {&g_ColourChaseDef, {5, 1, 0, 0, 0, 0}, VIDOBJ_SOLID, VIDOBJ_OUTLINE | 0x8000000u},
        {&g_ColourChaseDef, {5, 0, 1, 1, 1, 1}, 0x80u | 0x8000000u | 0x4000000u | 0x10000000u, VIDOBJ_SOLID},
        {&g_SpineChaseDef, {1, 0}, 0x80000u, VIDOBJ_SOLID},
        {&g_SpineChaseDef, {0, 1}, VIDOBJ_SOLID, 0x80000u},
        {&g_VisibilityChaseDef, {1, 0}, 0x800000u, 0x1000000u},
        {&g_VisibilityChaseDef, {0, 1}, 0x1000000u, 0x800000u},
        {&g_NumberChaseDef, {6, 0, 9, 9}, 0x100000u, 0},
        {&g_TilesChaseDef, {4, 3, 0, 1, 1, 1, 1, 1}, 0x200000u, 0},
        {&g_TintChaseDef, {15, 0, 14, 14, 14}, 0x400000u, 0},
        {&g_LightingChaseDef, {0, 0, 0, 8, 7, 27, 10, 10, 10, 10}, 0x8u, 0},
        {&g_PaletteChaseDef, {16, 12, 48, 24, 80, 24, 7, 0, 1}, 0x20000000u, 0},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(testing::Message() << "type " << k.def->uStoredId << " key " << k.key[0] << "," << k.key[1]);
        Vid_BeginChaseFrame();
        g_aLaneSlots[0].flags = VIDOBJ_SOLID;
        CHASE *c = Make(*k.def);
        Run(c, k.key);
        EXPECT_EQ(g_aLaneSlots[0].flags & k.set, k.set);
        EXPECT_EQ(g_aLaneSlots[0].flags & k.clear, 0u);
    }
    // The Colour type's colour bytes come from its palette entry.
    CHASE *c = Make(g_ColourChaseDef);
    Run(c, {5, 1, 0, 0, 0, 0});
    EXPECT_EQ(g_aLaneSlots[0].colour[0], 5);
    EXPECT_EQ(g_aLaneSlots[0].colour[1], 10);
    EXPECT_EQ(g_aLaneSlots[0].colour[2], 250);
}

TEST_F(ChaseKindsTest, LightingShowsTheSelectedLightAndStoresOnlyWhatWasSet)
{
    CHASE *c = Make(g_LightingChaseDef);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c)); // light 3 selected
    uint8_t s[VID_MAX_CHANNELS];
    std::memset(s, KEYSTATE_KEEP, sizeof s);
    s[0] = s[1] = s[2] = KEYSTATE_SET;
    // Selecting light 0 only selects it: its colour and position stay the defaults.
    int32_t v[VID_MAX_CHANNELS] = {0, 40, 12};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
    std::vector<int32_t> shown = Shown(c);
    EXPECT_EQ(shown[0], 0);
    EXPECT_EQ(shown[6], 0);
    EXPECT_EQ(shown[3], 8);
    EXPECT_EQ(shown[1], 0);
    EXPECT_EQ(shown[2], 8);
    // With light 0 selected the same key stores its colour and position.
    int32_t again[VID_MAX_CHANNELS] = {0, 40, 12};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, again, s));
    shown = Shown(c);
    EXPECT_EQ(shown[6], 40);
    EXPECT_EQ(shown[3], 12);
    // Only the selector changes to 2: light 2 shows, nothing else is stored.
    const std::vector<int32_t> before = shown;
    int32_t sel[VID_MAX_CHANNELS] = {2, 99, 1};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, sel, s));
    shown = Shown(c);
    EXPECT_EQ(shown[0], 2);
    for (int32_t ch = 3; ch < 10; ch++)
        EXPECT_EQ(shown[ch], before[ch]) << ch;
    EXPECT_EQ(shown[1], before[8]);
    EXPECT_EQ(shown[2], before[5]);
    // Light 3 (the ambient colour) has a colour and no position.
    int32_t amb[VID_MAX_CHANNELS] = {3, 70, 5};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, amb, s)); // selection only
    int32_t amb2[VID_MAX_CHANNELS] = {3, 70, 5};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, amb2, s)); // now stored
    shown = Shown(c);
    EXPECT_EQ(shown[9], 70);
    EXPECT_EQ(shown[3], 12);
    EXPECT_EQ(shown[4], before[4]);
    EXPECT_EQ(shown[5], before[5]);
}

TEST_F(ChaseKindsTest, LightingRenderSumsColoursAndCapsThem)
{
    CHASE *c = Make(g_LightingChaseDef);
    // Light 0 from row 14 (x = 4096), colour entry 127 (r 127, g 254, b 128); ambient entry 3.
    Run(c, {0, 0, 0, 14, 14, 27, 127, 0, 0, 3});
    VIDOBJECT &o = g_aLaneSlots[0];
    EXPECT_EQ(o.uOwnLights, 1u);
    EXPECT_EQ(o.mtxLight.m[0][0], 4096);
    EXPECT_EQ(o.mtxLight.m[2][0], 0); // position 27: no direction
    EXPECT_EQ(o.mtxLightColour.m[0][0], 127 * 16);
    EXPECT_EQ(o.mtxLightColour.m[1][0], 254 * 16);
    EXPECT_EQ(o.mtxLightColour.t[0], 3);
    // Nine more lighting chases of the frame add up: the green sum passes 32767 and is held there.
    for (int32_t i = 0; i < 9; i++)
        c->pDef->render(c, &o);
    EXPECT_EQ(o.mtxLightColour.m[1][0], 32767);
    EXPECT_EQ(o.mtxLightColour.m[0][0], 127 * 16 * 10);
}

TEST_F(ChaseKindsTest, TilesKeysRoundTripAndMinusOneIsOff)
{
    CHASE *c = Make(g_TilesChaseDef);
    int32_t v[VID_MAX_CHANNELS] = {5, 6, 2, 32, -1, 0, 127, 40};
    uint8_t s[VID_MAX_CHANNELS];
    std::memset(s, KEYSTATE_SET, sizeof s);
    ASSERT_EQ(1, Vid_SetChaseKey(c, 0, v, s));
    const std::vector<int32_t> shown = Shown(c);
    for (int32_t ch = 0; ch < 8; ch++)
        EXPECT_EQ(shown[ch], v[ch]) << ch;
    // Stored one higher; stored 0 is an off cell.
    CHASEKEY *k = Vid_FindKeyNode(c, 0);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(Vid_KeyValue(c, k, 4), 0);
    EXPECT_EQ(Vid_KeyValue(c, k, 6), 128);
    Vid_EvaluateChase(c);
    Vid_RenderChase(c, &g_aLaneSlots[5]);
    const auto *grid = static_cast<const VIDGRIDBLOCK *>(g_aLaneSlots[5].pGridEffect);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->iColumns, 5 * 4096);
    EXPECT_EQ(grid->iRows, 6 * 4096);
    EXPECT_EQ(grid->sAngle, 256);
    EXPECT_EQ(grid->auColours[0] >> 24, 255u);
    EXPECT_EQ(grid->auColours[1] >> 24, 0u);
    EXPECT_EQ(grid->auColours[2] & 0xFF, 127u); // stored 128: entry 127
    // Mosaic 32 would leave no inner picture: it keeps the smallest step.
    EXPECT_EQ(grid->sScale, 128);
}

TEST_F(ChaseKindsTest, EffectBlocks)
{
    CHASE *n = Make(g_NumberChaseDef);
    n->ucOption = 0x0F;
    // Colour 0 has no entry c - 1: it shows entry 0 instead of reading before the palette.
    Run(n, {6, 4, 0, 10}, {}, 0, 5);
    const auto *radial = static_cast<const VIDRADIALBLOCK *>(g_aLaneSlots[5].pTypeBlock);
    ASSERT_NE(radial, nullptr);
    EXPECT_EQ(radial->iCount, 6 * 131072);
    EXPECT_EQ(radial->sStartAngle, 512);
    EXPECT_EQ(radial->uColour1, 0x0000FFu);
    EXPECT_EQ(radial->uColour2, 0x0912F6u);
    EXPECT_EQ(radial->ucLaneMask, 0x0F);
    // Rotation 30 -> 2 goes forwards through the full turn.
    Run(n, {6, 30, 1, 1}, {6, 2, 1, 1}, 2048, 5);
    EXPECT_EQ(radial->sStartAngle, (30 * 128 + (2 * 128 + 4096 - 30 * 128) / 2) & 4095);

    CHASE *t = Make(g_TintChaseDef);
    Run(t, {15, 4, 31, 0, 14}, {}, 0, 5);
    const auto *pic = static_cast<const VIDPICTUREBLOCK *>(g_aLaneSlots[5].pPictureEffect);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->sScale, 15 * 128);
    EXPECT_EQ(pic->sAngle, 128);
    EXPECT_EQ(pic->uColour, (248u << 16) | 112u);
}

TEST_F(ChaseKindsTest, SpeedChaseAtTwentyHalvesTheDefault)
{
    CHASE *s = Make(g_SpeedChaseDef);
    Run(s, {20}, {}, 0, 5);
    EXPECT_EQ(g_iChaseSpeedFactor, 1280);
    g_iChaseSpeedFactor = 0;
    Run(s, {40}, {}, 0, 5);
    EXPECT_EQ(g_iChaseSpeedFactor, 2560);
    EXPECT_EQ(Vid_MovingStep(1000), 625);
}

TEST_F(ChaseKindsTest, PaletteRampCyclesAndClears)
{
    CHASE *c = Make(g_PaletteChaseDef);
    auto *p = reinterpret_cast<PALETTEPARAMS *>(c->pParams);
    // Speed 7: 7 x 15 / 6 = 17 a frame; the phase wraps below 256.
    p->phase = 250;
    Run(c, {16, 12, 48, 24, 80, 24, 7, 0, 1});
    EXPECT_EQ(p->phase, (250 + 17) % 256);
    EXPECT_EQ(g_aLaneSlots[0].pColourTable, p->ramp);
    EXPECT_NE(p->ramp[p->phase], 0);
    // Mode 0 clears the ramp's first two entries.
    Run(c, {16, 12, 48, 24, 80, 24, 0, 0, 0});
    EXPECT_EQ(p->ramp[0], 0);
    EXPECT_EQ(p->ramp[1], 0);
    // No amounts: no ramp.
    Run(c, {16, 0, 48, 0, 80, 0, 0, 0, 1});
    for (uint16_t e : p->ramp)
        ASSERT_EQ(e, 0);
    // Mode 2 keeps the table mode and leaves the ramp to the texture's colours.
    Run(c, {16, 12, 48, 24, 80, 24, 0, 0, 2});
    EXPECT_EQ(p->tableMode, 1);
}

TEST_F(ChaseKindsTest, MixRules)
{
    auto clipOf = [&](std::initializer_list<const CHASEDEF *> defs) {
        VIDCLIP *clip = Vid_NewClip();
        for (const CHASEDEF *d : defs)
            Vid_AppendClipEntry(clip, Make(*d));
        return clip;
    };
    CHASEDEF background = g_objDef, tunnel = g_objDef, path = g_objDef;
    background.uStoredId = 2;
    path.uStoredId = 5;
    CHASE pathChase{};
    pathChase.pDef = &path;
    VIDCLIP *shape = clipOf({&g_objDef});
    VIDCLIP *particle = clipOf({&g_ParticleChaseDef});
    VIDCLIP *tun = clipOf({&g_TunnelChaseDef});
    VIDCLIP *back = Vid_NewClip();
    CHASE *bg = Make(g_objDef);
    Vid_AppendClipEntry(back, bg);
    (void)tunnel;

    CHASE *rot = Make(g_RotationChaseDef);
    EXPECT_EQ(1, rot->pDef->mix(rot, shape, 0));
    EXPECT_EQ(0, rot->pDef->mix(rot, tun, 0));
    bg->pDef = &background;
    EXPECT_EQ(0, Vid_MixTransform(&pathChase, back, 0));
    EXPECT_EQ(1, rot->pDef->mix(rot, back, 0));
    bg->pDef = &g_objDef;
    // Sixteen transform modifiers fill a clip.
    VIDCLIP *full = clipOf({&g_objDef});
    for (int32_t i = 0; i < 15; i++)
        Vid_AppendClipEntry(full, Make(i & 1 ? g_ScaleChaseDef : g_RotationChaseDef));
    EXPECT_EQ(1, rot->pDef->mix(rot, full, 0)); // 16 entries
    Vid_AppendClipEntry(full, Make(g_ColourChaseDef));
    EXPECT_EQ(1, rot->pDef->mix(rot, full, 0)); // 17 entries, 15 transforms
    Vid_AppendClipEntry(full, Make(g_RotationChaseDef));
    EXPECT_EQ(0, rot->pDef->mix(rot, full, 0)); // 16 transforms

    CHASE *colour = Make(g_ColourChaseDef), *spine = Make(g_SpineChaseDef), *pal = Make(g_PaletteChaseDef);
    EXPECT_EQ(0, colour->pDef->mix(colour, particle, 0));
    EXPECT_EQ(1, colour->pDef->mix(colour, shape, 0));
    EXPECT_EQ(0, pal->pDef->mix(pal, particle, 0));
    EXPECT_EQ(0, spine->pDef->mix(spine, particle, 0));
    EXPECT_EQ(0, spine->pDef->mix(spine, tun, 0));
    EXPECT_EQ(1, spine->pDef->mix(spine, shape, 0));

    // One screen effect of each type a clip.
    VIDCLIP *effects = clipOf({&g_SpeedChaseDef});
    CHASE *speed = Make(g_SpeedChaseDef), *tiles = Make(g_TilesChaseDef);
    EXPECT_EQ(0, speed->pDef->mix(speed, effects, 0));
    EXPECT_EQ(1, tiles->pDef->mix(tiles, effects, 0));
    Vid_AppendClipEntry(effects, tiles);
    CHASE *tiles2 = Make(g_TilesChaseDef);
    EXPECT_EQ(0, tiles2->pDef->mix(tiles2, effects, 0));
}

TEST_F(ChaseKindsTest, VersionFiveRemaps)
{
    const VIDLOADMAP v5{nullptr, 0, 5}, v6{nullptr, 0, 6};
    int32_t rot[VID_MAX_CHANNELS] = {2, 1, 16 + 7, 0};
    ASSERT_EQ(1, g_RotationChaseDef.remap(nullptr, rot, &v5));
    EXPECT_EQ(rot[3], 1);
    EXPECT_EQ(rot[2], 14);
    int32_t same[VID_MAX_CHANNELS] = {2, 1, 23, 0};
    g_RotationChaseDef.remap(nullptr, same, &v6);
    EXPECT_EQ(same[2], 23);
    int32_t num[VID_MAX_CHANNELS] = {6, 0, 40, 50};
    ASSERT_EQ(1, g_NumberChaseDef.remap(nullptr, num, &v5));
    EXPECT_EQ(num[2], 9);
    EXPECT_EQ(num[3], 9);
}

// ---- Tunnel ----

namespace {

// A closed path of n points round a circle of radius 3000, and a round profile of 16 points.
struct TUNNELFIXTURE
{
    std::vector<RESPOINT> pathPoints, profilePoints;
    POINTLIST path{}, profile{};
    explicit TUNNELFIXTURE(int32_t n)
    {
        for (int32_t i = 0; i < n; i++)
            pathPoints.push_back({Sys_FixedCos(i * 4096 / std::max(n, 1)) * 3000 / 4096, 0,
                                  Sys_FixedSin(i * 4096 / std::max(n, 1)) * 3000 / 4096, 1});
        for (int32_t i = 0; i < 16; i++)
            profilePoints.push_back({Sys_FixedCos(i * 256) * 120 / 4096, Sys_FixedSin(i * 256) * 120 / 4096, 0, 1});
        path = {static_cast<uint32_t>(n), 1, 1, pathPoints.data(), nullptr};
        profile = {16, 1, 1, profilePoints.data(), nullptr};
    }
};

} // namespace

class TunnelTest : public ChaseKindsTest
{
protected:
    CHASE *chase = nullptr;
    TUNNELPARAMS *params = nullptr;
    void SetUp() override
    {
        ChaseKindsTest::SetUp();
        Sys_BuildSineTable();
        Vid_ResetTunnel();
        chase = Make(g_TunnelChaseDef);
        params = reinterpret_cast<TUNNELPARAMS *>(chase->pParams);
    }
    void TearDown() override
    {
        Vid_FreeTunnel();
        ChaseKindsTest::TearDown();
    }
    // One frame with the given path, travel speed and path-changed bit.
    void Frame(const TUNNELFIXTURE &f, int32_t speed, bool changed)
    {
        g_iFrameCount++;
        params->path = &f.path;
        params->profile = &f.profile;
        params->reach = TUNNEL_REACH;
        params->speed = speed;
        params->flags = changed ? 1u : 0u;
        g_TunnelChaseDef.render(chase, &g_aLaneSlots[0]);
    }
    static int32_t Valid()
    {
        return __builtin_popcountll(g_TunnelContext.validRings);
    }
};

TEST_F(TunnelTest, APathChangeBuildsTheWholeWindowAtOnce)
{
    TUNNELFIXTURE f(48);
    Frame(f, 160, true);
    EXPECT_EQ(Valid(), TUNNEL_RINGS);
    EXPECT_EQ(g_TunnelContext.buildDirection, 2048);
    EXPECT_NE(g_aLaneSlots[0].flags & 0x2000000u, 0u);
    EXPECT_EQ(g_aLaneSlots[0].pTypeBlock, &g_TunnelContext);
    // Backwards: the same window, built from -30720 on.
    Vid_ResetTunnel();
    Frame(f, -160, true);
    EXPECT_EQ(Valid(), TUNNEL_RINGS);
    EXPECT_EQ(g_TunnelContext.buildDirection, -30720);
    // The render runs once a frame, however many tunnel chases play.
    const int32_t position = g_TunnelContext.position;
    g_TunnelChaseDef.render(chase, &g_aLaneSlots[1]);
    EXPECT_EQ(g_TunnelContext.position, position);
}

TEST_F(TunnelTest, SpeedZeroStandsStillAndRingsWrapAfterThirtyFour)
{
    TUNNELFIXTURE f(48);
    Frame(f, 0, true);
    const int32_t position = g_TunnelContext.position;
    Frame(f, 0, false);
    Frame(f, 0, false);
    EXPECT_EQ(g_TunnelContext.position, position);
    EXPECT_EQ(g_TunnelContext.ringsBuilt, 0);
    // A ring every 1024 path units: 40 frames of 512 build 20 more rings, wrapping the 34 slots.
    const int32_t last = g_TunnelContext.lastRing;
    int32_t built = 0;
    for (int32_t i = 0; i < 40; i++) {
        Frame(f, 512, false);
        built += g_TunnelContext.ringsBuilt;
    }
    EXPECT_EQ(built, 20);
    EXPECT_EQ(g_TunnelContext.lastRing, (last + 20) % TUNNEL_RINGS);
    EXPECT_EQ(Valid(), TUNNEL_RINGS);
}

TEST_F(TunnelTest, ShortEmptyPathsAndAStoppedClockAreSafe)
{
    // Before the first clock tick the tick is 0; a path of no points; a path shorter than 1025.
    g_ucFrameTick = 0;
    TUNNELFIXTURE f(48);
    Frame(f, 160, true);
    EXPECT_EQ(Valid(), TUNNEL_RINGS);
    g_ucFrameTick = 1;
    Vid_ResetTunnel();
    TUNNELFIXTURE empty(0);
    Frame(empty, 160, true);
    EXPECT_EQ(Valid(), 0);
    Vid_ResetTunnel();
    TUNNELFIXTURE one(1);
    Frame(one, -160, true);
    Frame(one, -160, false);
    EXPECT_LE(Valid(), TUNNEL_RINGS);
}

TEST_F(TunnelTest, FramesFollowThePath)
{
    TUNNELFIXTURE f(48);
    FIXMATRIX m;
    ASSERT_EQ(0, Vid_TunnelFrame(&f.path, 4096 * 12, 2048, 0, &m));
    // A quarter round the circle the path runs along -x; the frame's z axis (third column) follows.
    EXPECT_NEAR(m.t[0], 0, 2);
    EXPECT_NEAR(m.t[2], 3000, 2);
    EXPECT_LT(m.m[0][2], -4000);
    EXPECT_NEAR(m.m[1][2], 0, 8);
    const TUNNELFIXTURE none(0);
    EXPECT_EQ(-1, Vid_TunnelFrame(&none.path, 0, 2048, 0, &m));
}

TEST_F(TunnelTest, ColourRecordsAndTheOldSpeedRemap)
{
    int32_t a[VID_MAX_CHANNELS] = {0, 0, 16 + 5, 1, 10 + 2, 0, 11, 21, 31};
    int16_t w[VID_MAX_CHANNELS] = {};
    g_TunnelChaseDef.interpolate(chase, a, a, w);
    EXPECT_EQ(params->speed, -160);
    EXPECT_EQ(params->twist, 32);
    EXPECT_EQ(params->flags & 2u, 2u);
    EXPECT_EQ(params->colours[0][3], 255); // stored 0: off
    EXPECT_EQ(params->colours[1][3], 0);
    EXPECT_EQ(params->colours[1][0], 10); // entry 11 - 1
    // Songs before version 14 ran the other way and had no transparency or rotation.
    const uint16_t ids[2] = {0xFFFF, 0xFFFF};
    const VIDLOADMAP old{ids, 2, 13};
    int32_t v[VID_MAX_CHANNELS] = {0, 0, 20, 1, 3, 1, 1, 1, 1};
    ASSERT_EQ(1, g_TunnelChaseDef.remap(chase, v, &old));
    EXPECT_EQ(v[2], 32 - 20 - 16);
    EXPECT_EQ(v[3], 0);
    EXPECT_EQ(v[4], 0);
}
