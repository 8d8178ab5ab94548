#include "video/interp.h"
#include "video/render.h"

#include <cstdlib>
#include <cstring>

#include "app/timers.h"
#include "core/consolelib.h"
#include "video/chase.h"
#include "video/vidobject.h"

VIDOBJECT g_aLaneSlots[VID_LANES];
uint8_t g_aChasePalette[128][4];
uint8_t (*g_pChasePalette)[4] = g_aChasePalette;
int32_t g_iChaseSpeedFactor = 0;
uint8_t g_bChaseSpeedFactorSet = 0;
VIDNODE g_aObjectNodes[VID_NODE_LANES][VID_NODES_PER_LANE];
VIDNODE g_aGroupNodes[VID_NODE_LANES][VID_NODES_PER_LANE];
int32_t g_aiObjectNodeUse[VID_NODE_LANES];
int32_t g_aiGroupNodeUse[VID_NODE_LANES];
COORD *g_apLaneTopNode[VID_NODE_LANES];
COORD *g_apLaneGroupNode[VID_NODE_LANES];
uint8_t g_bMovieFetched = 0;
int32_t g_iLaneObjectCounter = 0;
uint32_t g_uVideoRenderFlags = 0;
int32_t g_iTextWidest = 368;
int32_t g_iProjectionDistance = 320;
int32_t g_iVideoViewWidth = 640;
COORD g_CameraCoord;

namespace {

const FIXMATRIX &Identity()
{
    static FIXMATRIX m;
    static bool made = false;
    if (!made) {
        Sys_IdentityMatrix(&m);
        made = true;
    }
    return m;
}

// Sums are taken in 64 bits: the console wrapped silently on large values, which no key holds.
int32_t Shift12(int64_t v)
{
    return static_cast<int32_t>(v >> 12);
}

int32_t SpeedRead(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t SpeedApply(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void SpeedRelease(CHASE *, const int32_t *, uint32_t) {}
void SpeedRender(CHASE *, VIDOBJECT *) {}

void SpeedInterpolate(CHASE *, const int32_t *a, const int32_t *b, const int16_t *w)
{
    g_iChaseSpeedFactor += Vid_Blend(a[0] * 64, b[0] * 64, w[0]);
    if (g_iChaseSpeedFactor > 4096)
        g_iChaseSpeedFactor = 4096;
    g_bChaseSpeedFactorSet = 1;
}

const CHASECHANNEL kSpeedChannels[1] = {{40, 0, 63, 6, 2, nullptr, nullptr}};

} // namespace

CHASEDEF g_SpeedChaseDef = {
    20, 0, 0, CHASEKIND_DVE, 4, 4, 0, 1, kSpeedChannels, nullptr, 0,
    SpeedRead, SpeedApply, SpeedInterpolate, SpeedRelease, SpeedRender,
    nullptr, nullptr, nullptr, nullptr, nullptr, 0,
};

int32_t Vid_Blend(int32_t a, int32_t b, int32_t w)
{
    if (w == 0)
        return a;
    return Shift12(static_cast<int64_t>(a) * (4096 - w) + static_cast<int64_t>(b) * w);
}

int32_t Vid_BlendDiff(int32_t a, int32_t b, int32_t w)
{
    if (w == 0)
        return a;
    return a + Shift12((static_cast<int64_t>(b) - a) * w);
}

int32_t Vid_BlendScale(int32_t a, int32_t b, int32_t w)
{
    if (w == 0)
        return a * 512;
    return a * 512 + static_cast<int32_t>((static_cast<int64_t>(b) - a) * w >> 3);
}

int32_t Vid_BlendAngle(int32_t a, int32_t b, int32_t w)
{
    if (w == 0)
        return a & 4095;
    int32_t d = b - a;
    for (int32_t alt : {b + 4096 - a, b - 4096 - a})
        if (std::abs(alt) < std::abs(d))
            d = alt;
    return (a + Shift12(static_cast<int64_t>(d) * w)) & 4095;
}

void Vid_BlendChaseColour(int32_t a, int32_t b, int32_t w, int32_t mode, uint8_t out[4])
{
    auto entry = [mode](int32_t c) {
        if (mode != CHASECOLOUR_DIRECT)
            c -= 1;
        return c < 0 ? 0 : (c > 127 ? 127 : c);
    };
    const bool offA = mode == CHASECOLOUR_OFFSTATE && a == 0;
    const bool offB = mode == CHASECOLOUR_OFFSTATE && b == 0;
    // Between an off key and a lit one the lit colour holds; only off at both ends is off.
    const bool off = offA && (w == 0 || offB);
    int32_t ea = entry(a), eb = w ? entry(b) : ea;
    if (offA && !off)
        ea = eb;
    if (offB && !offA)
        eb = ea;
    if (w == 0)
        std::memcpy(out, g_pChasePalette[ea], 3);
    else
        Sys_BlendColour(g_pChasePalette[ea], g_pChasePalette[eb], 4096 - w, w, out);
    out[3] = off ? 255 : 0;
}

int32_t Vid_MovingStep(int32_t step)
{
    step *= g_ucFrameTick.load();
    if (g_bChaseSpeedFactorSet == 1)
        step = Shift12(static_cast<int64_t>(step) * g_iChaseSpeedFactor);
    return step;
}

COORD *Vid_PushTransformNode(int32_t lane, int32_t kind, int32_t grouped)
{
    // Only lanes 0-3 have nodes, 16 of each kind: a clip with more modifiers (or a modifier on
    // another lane) pushes nothing rather than writing past the arrays.
    if (lane < 0 || lane >= VID_NODE_LANES)
        return nullptr;
    if (g_aiObjectNodeUse[lane] >= VID_NODES_PER_LANE)
        return nullptr;
    if (grouped) {
        if (g_aiGroupNodeUse[lane] >= VID_NODES_PER_LANE)
            return nullptr;
        VIDNODE &g = g_aGroupNodes[lane][g_aiGroupNodeUse[lane]++];
        Sys_CoordInit(&g.coord, g_apLaneTopNode[lane], &Identity(), 0);
        g.kind = VIDNODE_GROUP;
        g_apLaneTopNode[lane] = &g.coord;
        g_apLaneGroupNode[lane] = &g.coord;
    }
    VIDNODE &n = g_aObjectNodes[lane][g_aiObjectNodeUse[lane]++];
    Sys_CoordInit(&n.coord, g_apLaneTopNode[lane], &Identity(), 0);
    n.kind = kind;
    g_apLaneTopNode[lane] = &n.coord;
    return &n.coord;
}

void Vid_InitLaneCoords()
{
    for (int32_t lane = 0; lane < VID_NODE_LANES; lane++) {
        Sys_CoordInit(&g_aLaneSlots[lane].coord, nullptr, &Identity(), 0);
        g_aLaneSlots[lane].ucLaneObject = static_cast<uint8_t>(lane);
        for (int32_t i = 0; i < VID_NODES_PER_LANE; i++) {
            Sys_CoordInit(&g_aObjectNodes[lane][i].coord, nullptr, &Identity(), 0);
            Sys_CoordInit(&g_aGroupNodes[lane][i].coord, nullptr, &Identity(), 0);
        }
    }
}

void Vid_BeginChaseFrame()
{
    for (int32_t lane = 0; lane < VID_NODE_LANES; lane++) {
        VIDOBJECT &o = g_aLaneSlots[lane];
        o.flags &= VIDOBJ_FADING;
        o.pInstance = nullptr;
        o.pColourTable = nullptr;
        o.ppAltModels = nullptr;
        o.pAnimation = nullptr;
        o.uOwnLights = 0;
        o.texture = nullptr;
        o.pInstanceParent = nullptr;
        o.iInstanceCount = 0;
        o.pInstanceOffsets = nullptr;
        o.pGridEffect = nullptr;
        o.pPictureEffect = nullptr;
        o.uTexClutPosition = 0;
        o.pTypeBlock = nullptr;
        g_apLaneTopNode[lane] = &o.coord;
        o.coord.parent = nullptr; // last frame's nodes are gone
        g_apLaneGroupNode[lane] = nullptr;
        for (int32_t i = 0; i < g_aiGroupNodeUse[lane]; i++)
            for (int32_t &t : g_aGroupNodes[lane][i].coord.local.t)
                t = 0;
        g_aiObjectNodeUse[lane] = 0;
        g_aiGroupNodeUse[lane] = 0;
    }
    for (int32_t lane = VID_NODE_LANES; lane < VID_LANES; lane++)
        g_aLaneSlots[lane].flags = 0;
    g_bMovieFetched = 0;
    g_iLaneObjectCounter = 0;
    for (int32_t &t : g_CameraCoord.local.t)
        t = 0;
    g_uVideoRenderFlags &= ~4u;
    g_iTextWidest = 368;
    g_iProjectionDistance = g_iVideoViewWidth / 2;
    g_iChaseSpeedFactor = 0;
    g_bChaseSpeedFactorSet = 0;
    g_iSceneExtent = 0;
}
