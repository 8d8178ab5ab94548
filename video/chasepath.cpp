#include "video/chasepath.h"

#include <cstdlib>
#include <cstring>

#include "core/console_memory.h"
#include "core/idpool.h"
#include "core/fixmath.h"
#include "video/chase.h"
#include "video/chaselist.h"
#include "video/chaseres.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "editors/chaseeditor.h"
#include "video/render.h"
#include "video/vidobject.h"

const int32_t g_aiChaseSpeed[17] = {0, 24, 32, 48, 64, 96, 128, 192, 256, 320, 520, 680, 820, 1024, 1200, 1400, 1600};
const int32_t g_aiPathScale[16] = {7000,  9500,  12000, 14500, 17000, 19500, 22000, 24500,
                                   27000, 29500, 32000, 42000, 52000, 62000, 72000, 82000};
const int32_t g_aiCameraFov[8] = {2000, 2500, 3000, 3500, 4096, 6000, 8000, 10000};

char g_szPathFamily[128] = "Path Wotsit";
char g_szCameraFamily[128] = "Cam Wotsit";

COORD *g_pPathPreviewNode = nullptr;

namespace {

enum
{
    PCH_FAMILY,
    PCH_ITEM,
    PCH_MOVING,
    PCH_SPEED,
    PCH_DIRECTION,
    PCH_SCALE, // Path: Scale, Camera: Dolly
    CCH_FOV,
    CCH_ROLL,
    CCH_FACE,
};

} // namespace

CHASECHANNEL g_aPathChannels[6] = {
    {2, 0, 4, 16, 1, nullptr, g_szPathFamily}, // "Family"
    {7, 1, 7, 0, 2, nullptr, nullptr},         // "Path"
    {1, 0, 1, 1, 3, nullptr, nullptr},         // "Moving"
    {3, 0, 15, 4, 2, nullptr, nullptr},        // "Speed"
    {0, 0, 1, 1, 3, nullptr, nullptr},         // "Direction"
    {0, 0, 15, 4, 2, nullptr, nullptr},        // "Scale"
};

CHASECHANNEL g_aCameraChannels[9] = {
    {2, 0, 3, 16, 1, nullptr, g_szCameraFamily}, // "Type"
    {8, 1, 8, 0, 2, nullptr, nullptr},           // "Path"
    {1, 0, 1, 1, 3, nullptr, nullptr},           // "Moving"
    {6, 0, 15, 5, 2, nullptr, nullptr},          // "Speed"
    {0, 0, 1, 1, 3, nullptr, nullptr},           // "Direction"
    {1, 0, 15, 4, 2, nullptr, nullptr},          // "Dolly"
    {4, 0, 7, 4, 2, nullptr, nullptr},           // "FOV"
    {0, 0, 15, 4, 2, nullptr, nullptr},          // "Roll"
    {0, -1, 4, 3, 2, nullptr, nullptr},          // "Face chan." (stored + 1)
};

void Vid_InitCameraTables()
{
    for (int32_t i = 0; i < 16; i++)
        g_aiCameraRoll[i] = i * 256;
}

namespace {

CHASELISTLIMITS s_path = {VIDRES_PATH, g_szPathFamily, nullptr, -1, -1, 0};
CHASELISTLIMITS s_camera = {VIDRES_PATH, g_szCameraFamily, nullptr, -1, -1, 0};

// Path lines, one per lane, made again only when the path changes; the preview shows one of them.
int32_t *s_apPathLine[VID_NODE_LANES];
const void *s_apPathLineOf[VID_NODE_LANES];
int32_t s_aiPathLinePoints[VID_NODE_LANES];
VIDPATHPREVIEW s_Preview;
uint32_t s_uPreviewFrame = 0xFFFFFFFF;

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

// Where a block stands on its path this frame.
struct PATHSPOT
{
    int32_t segment, next, fraction;
};

int32_t Speed(int32_t index, int32_t direction)
{
    const int32_t s = g_aiChaseSpeed[index < 0 ? 0 : (index > 16 ? 16 : index)];
    return direction == 1 ? -s : s;
}

// Moves the accumulator one frame (or places it, Moving off) and gives the segment, the point it
// runs to and the fraction of the way.
PATHSPOT Advance(int32_t *pos, int32_t *step, int32_t *started, const int32_t *a, const int32_t *b,
                 const int16_t *w, int32_t n, bool closed)
{
    PATHSPOT spot{0, 0, 0};
    if (a[PCH_MOVING] != 1) {
        *pos = Vid_Blend(a[PCH_SPEED] * 256, b[PCH_SPEED] * 256, w[PCH_SPEED]);
        *step = 0;
        spot.next = closed ? n : n - 1;
        spot.fraction = *pos & 4095;
        return spot;
    }
    *step = Vid_MovingStep(Vid_Blend(Speed(a[PCH_SPEED], a[PCH_DIRECTION]), Speed(b[PCH_SPEED], b[PCH_DIRECTION]),
                                     w[PCH_SPEED]));
    if (*started != VID_PATH_STARTED) {
        *pos = -*step;
        *started = VID_PATH_STARTED;
    }
    *pos += *step;
    const bool back = a[PCH_DIRECTION] == 1;
    const int32_t f = *pos & 4095;
    if (n < 2)
        return spot;
    if (closed) {
        int32_t seg = *pos >> 12;
        seg %= n;
        if (seg < 0)
            seg += n;
        *pos = seg << 12 | f;
        spot.segment = seg;
        spot.next = back ? seg - 1 : seg + 1;
        spot.fraction = back ? 4096 - f : f;
        return spot;
    }
    const int32_t period = 2 * n - 2;
    int32_t seg = *pos >> 12;
    seg %= period;
    if (seg < 0)
        seg += period;
    *pos = seg << 12 | f;
    if (seg >= n) {
        seg = period - seg;
        spot.segment = seg;
        spot.next = back ? seg + 1 : (seg - 1 < 0 ? 1 : seg - 1);
        spot.fraction = back ? 4096 - f : f;
        return spot;
    }
    spot.segment = seg;
    spot.next = back ? seg - 1 : seg + 1;
    spot.fraction = back ? 4096 - f : f;
    return spot;
}

bool PointAt(const void *path, int32_t from, int32_t to, int32_t t, int32_t scale, int32_t out[3])
{
    int32_t pt[3] = {0, 0, 0};
    if (g_VidChaseRes.point(path, from, to, t < 0 ? 0 : (t > 4096 ? 4096 : t), pt) != 0)
        return false;
    for (int32_t k = 0; k < 3; k++)
        out[k] = static_cast<int32_t>(static_cast<int64_t>(pt[k]) * scale >> 12);
    return true;
}

// ---- Shared key methods ----

int32_t PathRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    Vid_ReadFamilyItem(v, g_aPathChannels);
    return 0;
}

int32_t CameraRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    Vid_ReadFamilyItem(v, g_aCameraChannels);
    v[CCH_FACE] -= 1;
    return 0;
}

int32_t LoadPath(CHASELISTLIMITS *limits, CHASECHANNEL *ch, int32_t *v, uint8_t *s)
{
    if (s[PCH_FAMILY] != KEYSTATE_SET && s[PCH_ITEM] != KEYSTATE_SET)
        return 1;
    s[PCH_FAMILY] = s[PCH_ITEM] = KEYSTATE_SET;
    if (Vid_ChaseEditorOpen())
        Vid_FamilyItemLimits(limits, ch, v, s);
    return Vid_LoadFamilyItem(VIDRES_PATH, v) ? 1 : 0;
}

int32_t PathApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    return LoadPath(&s_path, g_aPathChannels, v, s);
}

int32_t CameraApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    if (!LoadPath(&s_camera, g_aCameraChannels, v, s))
        return 0;
    v[CCH_FACE] += 1;
    return 1;
}

void PathRelease(CHASE *, const int32_t *v, uint32_t mask)
{
    if ((mask & 3) && v[0] > 0)
        g_VidRes.releaseRef(v[0]);
}

void RemapPath(int32_t *v, const void *loadMap, int32_t speedMax)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    const int32_t saved = v[PCH_FAMILY];
    const int32_t id = Vid_MapSavedRes(loadMap, saved);
    if (id < 0) {
        v[PCH_FAMILY] = 0;
        if (saved >= 0)
            v[PCH_ITEM] = 1;
    } else {
        v[PCH_FAMILY] = id;
        Vid_ReadFamilyItem(v, g_aPathChannels);
    }
    // Older songs counted speeds from one step lower.
    if (map && map->uVersion < 13 && v[PCH_MOVING] == 1 && v[PCH_SPEED] < speedMax)
        v[PCH_SPEED] += 1;
}

int32_t PathRemap(CHASE *, int32_t *v, const void *loadMap)
{
    // Speed has 4 bits here: a raised 15 would store as 0, so it stays at 15.
    RemapPath(v, loadMap, 15);
    return 1;
}

int32_t CameraRemap(CHASE *, int32_t *v, const void *loadMap)
{
    RemapPath(v, loadMap, 16);
    if (v[PCH_FAMILY] > 0)
        Vid_ReadFamilyItem(v, g_aCameraChannels);
    v[CCH_FACE] -= 1;
    return 1;
}

void PathPreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[2] = {values[0], values[1]};
    Vid_FamilyItemLimits(&s_path, g_aPathChannels, v, nullptr);
}

void CameraPreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[2] = {values[0], values[1]};
    Vid_FamilyItemLimits(&s_camera, g_aCameraChannels, v, nullptr);
}

// A path moves an object, not a background or the tunnel, and a lane holds at most 16 transform
// nodes: a long clip takes no 17th chase of types 3 to 5.
int32_t PathMix(CHASE *, VIDCLIP *clip, int32_t)
{
    if (!clip)
        return 1;
    const CHASE *first = clip->pFirst ? clip->pFirst->pChase : nullptr;
    const int32_t firstId = first && first->pDef ? first->pDef->uStoredId : 0;
    if (firstId == 2 || firstId == 19)
        return 0;
    if (clip->sEntryCount < 17)
        return 1;
    int32_t n = 0;
    for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
        if (e->pChase && e->pChase->pDef && e->pChase->pDef->uStoredId >= 3 && e->pChase->pDef->uStoredId <= 5)
            n++;
    return n < VID_NODES_PER_LANE ? 1 : 0;
}

// ---- Path ----

void PathInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<PATHPARAMS *>(chase->pParams);
    p->pPath = a[0] > 0 ? g_VidChaseRes.data(a[0]) : nullptr;
    p->iScale = Vid_Blend(g_aiPathScale[a[PCH_SCALE] & 15], g_aiPathScale[b[PCH_SCALE] & 15], w[PCH_SCALE]);
    int32_t closed = 0;
    const int32_t n = p->pPath ? g_VidChaseRes.pointCount(p->pPath, &closed) : 0;
    if (n < 1) {
        p->pPath = nullptr;
        return;
    }
    const PATHSPOT spot = Advance(&p->iPos, &p->iStep, &p->iStarted, a, b, w, n, closed != 0);
    p->iSegment = spot.segment;
    p->iNext = spot.next;
    p->iFraction = spot.fraction;
    PointAt(p->pPath, spot.segment, spot.next, spot.fraction, p->iScale, p->aiPoint);
}

void PathRender(CHASE *chase, VIDOBJECT *o)
{
    auto *p = reinterpret_cast<PATHPARAMS *>(chase->pParams);
    const int32_t lane = static_cast<int32_t>(o - g_aLaneSlots);
    if (!p->pPath || lane < 0 || lane >= VID_NODE_LANES || g_aiGroupNodeUse[lane] >= VID_NODES_PER_LANE)
        return;
    // The object hangs from the top of its chain: the node goes between the object and what was
    // above it, so the object's world place follows the path.
    VIDNODE &node = g_aGroupNodes[lane][g_aiGroupNodeUse[lane]++];
    COORD *above = g_apLaneTopNode[lane] == &o->coord ? nullptr : g_apLaneTopNode[lane];
    Sys_CoordInit(&node.coord, above, &Identity(), 0);
    node.kind = VIDNODE_PATH;
    for (int32_t k = 0; k < 3; k++)
        node.coord.local.t[k] = p->aiPoint[k];
    o->coord.parent = &node.coord;
    g_apLaneGroupNode[lane] = g_apLaneTopNode[lane] = &node.coord;
    int32_t closed = 0;
    const int32_t points = g_VidChaseRes.pointCount(p->pPath, &closed);
    if (s_apPathLineOf[lane] != p->pPath || s_aiPathLinePoints[lane] != points) {
        Sys_MemFree(s_apPathLine[lane]);
        s_apPathLine[lane] = static_cast<int32_t *>(Sys_MemAlloc(nullptr, static_cast<uint32_t>(points) * 16));
        s_apPathLineOf[lane] = s_apPathLine[lane] ? p->pPath : nullptr;
        s_aiPathLinePoints[lane] = s_apPathLine[lane] ? points : 0;
        for (int32_t i = 0; i < s_aiPathLinePoints[lane]; i++) {
            int32_t *pt = &s_apPathLine[lane][i * 4];
            pt[0] = pt[1] = pt[2] = pt[3] = 0;
            if (g_VidChaseRes.point(p->pPath, i, i, 0, pt) == 0)
                for (int32_t k = 0; k < 3; k++)
                    pt[k] = static_cast<int32_t>(static_cast<uint32_t>(pt[k]) << 6);
        }
    }
    p->piLine = s_apPathLine[lane];
    // Render state value 2 marks the preview as taken. Nothing clears that bit between frames, so
    // "taken this frame" is judged by the frame counter: the preview follows its path every frame.
    const uint32_t frame = static_cast<uint32_t>(g_iFrameCount.load());
    if (chase == g_pEditChase && (s_uPreviewFrame != frame || !(g_uVideoRenderFlags & 2)) && p->piLine) {
        g_uVideoRenderFlags |= 2;
        s_uPreviewFrame = frame;
        s_Preview = {p->piLine, s_aiPathLinePoints[lane], closed, p->iScale, (o->flags & 0x4000) ? 1 : 0};
        g_pPathPreview = &s_Preview;
        g_pPathPreviewNode = &node.coord;
    }
}

// ---- Camera ----

void CameraInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<CAMERAPARAMS *>(chase->pParams);
    const void *path = a[0] > 0 ? g_VidChaseRes.data(a[0]) : nullptr;
    int32_t closed = 0;
    const int32_t n = path ? g_VidChaseRes.pointCount(path, &closed) : 0;
    if (n < 1)
        return;
    p->pPath = path;
    p->iScale = Vid_Blend(g_aiPathScale[a[PCH_SCALE] & 15], g_aiPathScale[b[PCH_SCALE] & 15], w[PCH_SCALE]);
    p->sFov = static_cast<int16_t>(Vid_Blend(g_aiCameraFov[a[CCH_FOV] & 7], g_aiCameraFov[b[CCH_FOV] & 7], w[CCH_FOV]));
    p->sRoll = static_cast<int16_t>(
        Vid_Blend(g_aiCameraRoll[a[CCH_ROLL] & 15], g_aiCameraRoll[b[CCH_ROLL] & 15], w[CCH_ROLL]));
    p->cFace = static_cast<int8_t>(a[CCH_FACE] - 1);
    p->ucFlags = static_cast<uint8_t>((a[PCH_DIRECTION] == 1 ? 1 : 0) | (a[PCH_MOVING] == 1 ? 2 : 0));
    int32_t started = p->uStarted;
    const PATHSPOT spot = Advance(&p->iPos, &p->iStep, &started, a, b, w, n, closed != 0);
    p->uStarted = static_cast<uint16_t>(started);
    p->iSegment = spot.segment;
    p->iNext = spot.next;
    p->ucSegment = static_cast<uint8_t>(spot.segment);
    p->ucNext = static_cast<uint8_t>(spot.next);
    p->uFraction = static_cast<uint16_t>(spot.fraction);
}

// The world translation of lane's first path node, walking its chain from the top.
bool LanePathTarget(int32_t lane, int32_t out[3])
{
    if (lane < 0 || lane >= VID_NODE_LANES)
        return false;
    for (COORD *c = g_apLaneTopNode[lane]; c; c = c->parent) {
        const VIDNODE *first = &g_aGroupNodes[lane][0];
        const auto *node = reinterpret_cast<const VIDNODE *>(c);
        const bool inGroups = node >= first && node < first + VID_NODES_PER_LANE;
        const bool inObjects = node >= &g_aObjectNodes[lane][0] && node < &g_aObjectNodes[lane][0] + VID_NODES_PER_LANE;
        if ((inGroups || inObjects) && node->kind == VIDNODE_PATH) {
            if (Sys_CoordUpdateWorld(c) != 0)
                return false;
            for (int32_t k = 0; k < 3; k++)
                out[k] = c->world.t[k];
            return true;
        }
    }
    return false;
}

void CameraRender(CHASE *chase, VIDOBJECT *)
{
    auto *p = reinterpret_cast<CAMERAPARAMS *>(chase->pParams);
    if (!p->pPath)
        return;
    // Render state value 4: a camera chase places the camera, so the auto camera stays off.
    g_uVideoRenderFlags |= 4;
    static const int32_t centre[3] = {0, 0, 0};
    int32_t target[3] = {0, 0, 0};
    if (p->cFace >= 1)
        LanePathTarget(p->cFace - 1, target);

    int32_t closed = 0;
    const int32_t n = g_VidChaseRes.pointCount(p->pPath, &closed);
    PointAt(p->pPath, p->iSegment, p->iNext, p->uFraction, p->iScale, p->aiEye);
    for (int32_t k = 0; k < 3; k++)
        g_CameraCoord.local.t[k] -= p->aiEye[k];

    // A quarter segment further on.
    int32_t seg = p->iSegment, next = p->iNext, f = p->uFraction + 1024;
    if (f >= 4096) {
        f -= 4096;
        if (p->ucFlags & 2) {
            const int32_t d = (p->ucFlags & 1) ? -1 : 1;
            seg = ((seg + d) % n + n) % n;
            next = ((next + d) % n + n) % n;
        }
    }
    PointAt(p->pPath, seg, next, f, p->iScale, p->aiAhead);

    int32_t view[3], second[3];
    for (int32_t k = 0; k < 3; k++) {
        if (p->cFace >= 0) {
            view[k] = target[k] - p->aiEye[k];
            second[k] = p->aiAhead[k] - p->aiEye[k];
        } else {
            view[k] = p->aiAhead[k] - p->aiEye[k];
            second[k] = p->aiEye[k] - centre[k];
        }
    }
    int32_t nv[3], ns[3], side[3];
    Sys_FxNormaliseLong(view, nv);
    Sys_FxNormaliseLong(second, ns);
    if (p->ucFlags & 1)
        Sys_CrossProductFixed(ns, nv, side);
    else
        Sys_CrossProductFixed(nv, ns, side);
    // Nowhere to look, or the two directions parallel: the previous orientation stays.
    if ((nv[0] | nv[1] | nv[2]) != 0 && (side[0] | side[1] | side[2]) != 0) {
        const int32_t pitch = Sys_FixedAtan2(nv[1], nv[2]);
        FIXMATRIX m;
        Sys_IdentityMatrix(&m);
        Sys_RotateMatrixX(pitch, &m);
        int32_t v1[3], s1[3];
        Sys_TransformLongVector(&m, nv, v1);
        const int32_t heading = Sys_FixedAtan2(-v1[0], v1[2]);
        Sys_RotateMatrixY(heading, &m);
        Sys_TransformLongVector(&m, side, s1);
        // The side axis becomes the camera's vertical axis.
        const int32_t roll = Sys_FixedAtan2(s1[0], s1[1]) + p->sRoll;
        p->asAngles[0] = static_cast<int16_t>(pitch);
        p->asAngles[1] = static_cast<int16_t>(heading);
        p->asAngles[2] = static_cast<int16_t>(roll);
    }
    // The camera looks from p: view = R (x - p), its translation R applied to -p.
    FIXMATRIX r;
    Sys_RotationMatrixXYZ(p->asAngles, &r);
    const int32_t moved[3] = {g_CameraCoord.local.t[0], g_CameraCoord.local.t[1], g_CameraCoord.local.t[2]};
    std::memcpy(g_CameraCoord.local.m, r.m, sizeof r.m);
    Sys_TransformLongVector(&r, moved, g_CameraCoord.local.t);
    g_iCameraScale = p->iScale;
    g_iProjectionDistance = static_cast<int32_t>(static_cast<int64_t>(g_iProjectionDistance) * p->sFov >> 12);
}

} // namespace

CHASEDEF g_PathChaseDef = {
    5, 0, 0, CHASEKIND_MOD, sizeof(PATHPARAMS), sizeof(PATHPARAMS), 0, 6, g_aPathChannels, nullptr, 0,
    PathRead, PathApply, PathInterpolate, PathRelease, PathRender,
    Vid_ListMark, Vid_ListPack, PathRemap, PathMix, PathPreview, 0,
};

CHASEDEF g_CameraChaseDef = {
    6, 0, 0, CHASEKIND_CAM, sizeof(CAMERAPARAMS), sizeof(CAMERAPARAMS), 0, 9, g_aCameraChannels, nullptr, 0,
    CameraRead, CameraApply, CameraInterpolate, PathRelease, CameraRender,
    Vid_ListMark, Vid_ListPack, CameraRemap, nullptr, CameraPreview, 0,
};

void Vid_FreePathMeshes()
{
    for (int32_t lane = 0; lane < VID_NODE_LANES; lane++) {
        Sys_MemFree(s_apPathLine[lane]);
        s_apPathLine[lane] = nullptr;
        s_apPathLineOf[lane] = nullptr;
        s_aiPathLinePoints[lane] = 0;
    }
    if (g_pPathPreview == &s_Preview)
        g_pPathPreview = nullptr;
    g_pPathPreviewNode = nullptr;
}

COORD *Vid_NewCameraRig()
{
    auto *rig = static_cast<COORD *>(Sys_MemAlloc(nullptr, 3 * sizeof(COORD)));
    if (!rig)
        return nullptr;
    FIXMATRIX base;
    Sys_IdentityMatrix(&base);
    base.m[1][1] = -4096;
    Sys_CoordInit(&rig[0], nullptr, &base, 0);
    Sys_CoordInit(&rig[1], &rig[0], &Identity(), 0);
    FIXMATRIX cam = Identity();
    cam.t[2] = 512;
    Sys_CoordInit(&rig[2], &rig[1], &cam, 0);
    return &rig[2];
}

COORD *Vid_CameraRigMiddle(COORD *camera)
{
    return camera ? camera - 1 : nullptr;
}

COORD *Vid_CameraRigBase(COORD *camera)
{
    return camera ? camera - 2 : nullptr;
}

void Vid_DestroyCameraRig(COORD *camera)
{
    if (camera)
        Sys_MemFree(camera - 2);
}

void Vid_SetNodeTranslation(COORD *node, const int32_t v[3])
{
    for (int32_t k = 0; k < 3; k++)
        node->local.t[k] = -v[k];
}

void Vid_SubNodeTranslation(COORD *node, const int32_t v[3])
{
    for (int32_t k = 0; k < 3; k++)
        node->local.t[k] -= v[k];
}

void Vid_SetNodeRotation(COORD *node, const int16_t angles[3])
{
    const int16_t negated[3] = {static_cast<int16_t>(-angles[0]), static_cast<int16_t>(-angles[1]),
                                static_cast<int16_t>(-angles[2])};
    FIXMATRIX m;
    Sys_RotationMatrixXYZ(negated, &m);
    std::memcpy(node->local.m, m.m, sizeof m.m);
}
