#include "video/render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/fixmath.h"
#include "core/padbind.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/mesh.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/lanes.h"
#include "video/chase_tunnel.h"
#include "video/vertexanim.h"
#include "video/vidobject.h"

int32_t g_iSceneExtent = 0;
int32_t g_iSceneExtentUsed = 0;
int32_t g_aiAutoCameraPos[3] = {60, 80, -200};
int32_t g_aiAutoCameraStep[3] = {0, 0, 0};
int32_t g_iViewRedrawCount = 0;
int32_t g_bVideoTrails = 0;
const VIDPATHPREVIEW *g_pPathPreview = nullptr;
int32_t g_iCameraScale = 9500;
int32_t g_iCameraDepthValue = 0;
int32_t g_iAuxCameraDepth = 0;
int16_t g_aViewRect[4] = {0, 0, 640, 480};
int32_t g_iGridProjectionDistance = 320;
VIDFRAMESTATS g_VidFrameStats;
int32_t g_bVidElideOpaquePass = 1;

namespace {

// Texture-table uploads have no texture memory to go to on this platform (the device samples the
// tables in place), so nothing is staged: no upload can run past the staging blocks.

// The view the camera nodes hang below. The device's world transform already turns the console's
// downward y upward, so the view takes the viewport's vertical scale with its sign turned back.
COORD g_aRenderView[VID_CAMERAS];

// While set, slot draws do all their work (lights, animation, scrolling) but leave out the
// pixels: the outside pass of an all-opaque frame without effects.
bool g_bSilentDraws = false;

// Path preview phase and markers.
int32_t g_iPreviewPhase = 0;
int32_t g_aiPreviewMarker[2] = {0, 0};

// Per-lane copies of the model UV layers that scrolling moves, and the offsets they hold.
struct UVLAYER
{
    const MODEL *model;
    std::vector<uint8_t> uvs;
    int16_t u, v;
};
UVLAYER g_aUvLayers[VID_LANES][3];

const FIXMATRIX kDefaultLights = {{{-1800, 3200, -2500}, {1800, -3200, 2500}, {0, 0, 0}}, 0, {0, 0, 0}};
const FIXMATRIX kDefaultLightColours = {{{4096, 2000, 0}, {4096, 2000, 0}, {4096, 1500, 0}}, 0, {0, 0, 0}};

// Entry n (0..7) of the eight video colour-table positions.
uint16_t VideoClut(int32_t n)
{
    return n >= 0 && n < 8 ? g_ausVideoCluts[n / 4][n % 4] : 0;
}

void CopyDefaultLights(VIDOBJECT *slot)
{
    slot->mtxLight = kDefaultLights;
    slot->mtxLightColour = kDefaultLightColours;
}

void SyncRenderViews()
{
    for (int32_t i = 0; i < VID_CAMERAS; i++) {
        g_aRenderView[i].local = g_aCameraView[i].local;
        g_aRenderView[i].local.m[1][1] = static_cast<int16_t>(-g_aCameraView[i].local.m[1][1]);
        g_aRenderView[i].parent = nullptr;
    }
    g_CameraCoord.parent = &g_aRenderView[0];
    g_AuxCameraCoord.parent = &g_aRenderView[1];
}

// The camera node looks from pos with the angles: view = R (x - pos).
void PlaceCamera(COORD *node, const int32_t pos[3], const int16_t angles[3])
{
    Sys_MatrixFromAngles(angles, &node->local);
    for (int32_t r = 0; r < 3; r++) {
        const int64_t d = int64_t{node->local.m[r][0]} * pos[0] + int64_t{node->local.m[r][1]} * pos[1] +
                          int64_t{node->local.m[r][2]} * pos[2];
        node->local.t[r] = static_cast<int32_t>(-(d >> 12));
    }
}

void AutoCamera()
{
    // The extent the chases raised this frame (reset with every chase frame); the +100 stays here,
    // so the camera does not drift away frame after frame.
    const int32_t extent = std::max(g_iSceneExtent, 40) + 100;
    g_iSceneExtentUsed = extent;
    const int32_t target[3] = {extent * 60 / 190, extent * 80 / 190, extent * -200 / 190};
    for (int32_t i = 0; i < 3; i++) {
        const int32_t step = std::clamp(target[i] - g_aiAutoCameraPos[i], -50, 50);
        g_aiAutoCameraStep[i] = step;
        g_aiAutoCameraPos[i] += step;
    }
    static const int16_t kAngles[3] = {220, -180, 0};
    PlaceCamera(&g_CameraCoord, g_aiAutoCameraPos, kAngles);
    g_iCameraScale = 9500;
}

// The origin whose translation instance offsets move: the first group node of the slot's chain,
// else the slot's own node when it is a path node, else the slot's own coordinates.
COORD *InstanceOrigin(VIDOBJECT *slot)
{
    auto nodeKind = [](const COORD *c) -> int32_t {
        for (int32_t l = 0; l < VID_NODE_LANES; l++)
            for (int32_t i = 0; i < VID_NODES_PER_LANE; i++) {
                if (c == &g_aObjectNodes[l][i].coord)
                    return g_aObjectNodes[l][i].kind;
                if (c == &g_aGroupNodes[l][i].coord)
                    return g_aGroupNodes[l][i].kind;
            }
        return 0;
    };
    int32_t depth = 0;
    for (COORD *c = &slot->coord; c && depth < FIX_COORD_MAX_DEPTH; c = c->parent, depth++)
        if (nodeKind(c) == VIDNODE_GROUP)
            return c;
    if (nodeKind(&slot->coord) == VIDNODE_PATH)
        return &slot->coord;
    return &slot->coord;
}

void ScrollLayers(VIDOBJECT *slot, MESH *mesh, const MODEL *model)
{
    const int32_t lane = static_cast<int32_t>(slot - g_aLaneSlots);
    if (lane < 0 || lane >= VID_LANES)
        return;
    static const uint32_t kLayerFlags[3] = {VIDOBJ_UVLAYER1, VIDOBJ_UVLAYER2, VIDOBJ_UVLAYER3};
    for (int32_t k = 0; k < 3; k++) {
        if (!(slot->flags & kLayerFlags[k]) || !model->uvTables[k])
            break;
        UVLAYER &layer = g_aUvLayers[lane][k];
        if (layer.model != model) {
            layer.model = model;
            layer.uvs.assign(model->uvTables[k], model->uvTables[k] + model->uvBytes[k]);
            layer.u = layer.v = 0;
        }
        if (layer.u == slot->sScrollU && layer.v == slot->sScrollV)
            continue;
        Vid_ScrollUVs(layer.uvs.data(), static_cast<int32_t>(layer.uvs.size() / 2), slot->sScrollU - layer.u,
                      slot->sScrollV - layer.v);
        layer.u = slot->sScrollU;
        layer.v = slot->sScrollV;
        Gfx_SetMeshUVs(mesh, layer.uvs.data(), layer.uvs.size());
    }
}

void DrawInstances(VIDOBJECT *slot, int32_t depthShift, COORD *origin)
{
    if (slot->iInstanceCount <= 0 || !slot->pInstanceOffsets) {
        if (slot->flags & VIDOBJ_SEMITRANS)
            Gfx_SetBlendMode(1);
        if (!(slot->flags & VIDOBJ_AUXINSTANCES))
            Vid_DrawSlot(slot, depthShift, 0, -1);
        if (slot->flags & VIDOBJ_SEMITRANS)
            Gfx_SetBlendMode(static_cast<int32_t>((slot->flags & VIDOBJ_SEMIRATE) >> 16));
        // What follows is drawn opaque again.
        if (slot->flags & VIDOBJ_SEMITRANS)
            Gfx_SetBlendMode(0);
        return;
    }
    for (int32_t i = 0; i < slot->iInstanceCount; i++) {
        const int32_t *off = slot->pInstanceOffsets + 4 * i;
        for (int32_t a = 0; a < 3; a++)
            origin->local.t[a] += off[a];
        if (slot->flags & VIDOBJ_AUXINSTANCES) {
            g_iAuxCameraDepth = std::abs(off[0]) * g_iCameraScale / 9500;
            g_AuxCameraCoord.local.t[2] = g_iAuxCameraDepth;
            Vid_DrawSlot(slot, depthShift, 1, i);
        } else {
            Vid_DrawSlot(slot, depthShift, 0, -1);
        }
        for (int32_t a = 0; a < 3; a++)
            origin->local.t[a] -= off[a];
    }
}

// One slot of one pass; draw false runs everything but the drawing.
void HandleSlot(int32_t lane, int32_t depthShift, bool draw, bool firstPass)
{
    VIDOBJECT *slot = &g_aLaneSlots[lane];
    if (slot->flags & VIDOBJ_TUNNEL) {
        if (!slot->uOwnLights)
            CopyDefaultLights(slot);
        if (draw)
            Vid_DrawTunnel(slot, depthShift);
        return;
    }
    if (slot->flags & VIDOBJ_LANEOBJECT) {
        if (slot->ucLaneObject < 4)
            if (LANEOBJECT *o = g_apLaneObjects[slot->ucLaneObject]) {
                o->slot = slot;
                if (draw && (o->flags & 0x80))
                    Vid_DrawParticles(o, nullptr, depthShift);
            }
        return;
    }
    if (firstPass) {
        if (slot->flags & VIDOBJ_OWNTEXTURE)
            slot->uClutPosition = VideoClut(lane);
        // Texture colour-table positions exist for lanes 0..3 only; the others take 0.
        slot->uTexClutPosition = slot->pImage && lane < 4 ? VideoClut(4 + lane) : 0;
    }
    if (!slot->pInstance && !slot->ppAltModels)
        return;
    if (!slot->uOwnLights)
        CopyDefaultLights(slot);
    if (slot->flags & VIDOBJ_FADING)
        Vid_AdvanceFade(slot);
    if (!draw)
        return;
    COORD *origin = firstPass ? InstanceOrigin(slot) : (slot->pInstanceParent ? slot->pInstanceParent : &slot->coord);
    DrawInstances(slot, depthShift, origin);
}

// Whether the slot's draw only ever writes opaque pixels (or nothing).
bool OpaqueSlot(const VIDOBJECT &s)
{
    if (s.flags & VIDOBJ_TUNNEL)
        return false;
    if (s.flags & VIDOBJ_LANEOBJECT) {
        const LANEOBJECT *o = s.ucLaneObject < 4 ? g_apLaneObjects[s.ucLaneObject] : nullptr;
        return !o || !(o->flags & 0x80);
    }
    if (!s.pInstance && !s.ppAltModels)
        return true;
    if (s.ppAltModels || (s.flags & (VIDOBJ_SEMITRANS | VIDOBJ_OUTLINE | VIDOBJ_HUBLINES)))
        return false;
    return s.pInstance->model && Gfx_ModelIsOpaque(s.pInstance->model);
}

void ClearView(bool grid, const VIDGRIDBLOCK *gridBlock, const VIDPICTUREBLOCK *picture, bool white)
{
    (void)gridBlock;
    g_VidFrameStats.iClears++;
    if (grid)
        Vid_ClearGridCell(0, 0, 0);
    else if (picture)
        Gfx_ClearZBuffer();
    else
        Gfx_ClearViewportColour(white ? 0x00FFFFFFu : 0);
}

} // namespace

void Vid_ResetRenderState()
{
    g_iSceneExtent = 0;
    g_iAnimTime = 0;
    g_aiAutoCameraPos[0] = 60;
    g_aiAutoCameraPos[1] = 80;
    g_aiAutoCameraPos[2] = -200;
    g_iViewRedrawCount = 0;
    g_bVideoTrails = 0;
    g_pPathPreview = nullptr;
    g_iCameraScale = 9500;
    for (auto &lane : g_aUvLayers)
        for (UVLAYER &l : lane)
            l = {};
}

void Vid_InvertClut(const uint16_t *src, uint16_t *dst)
{
    for (int32_t i = 0; i < 256; i++)
        dst[i] = static_cast<uint16_t>(src[i] ^ 0x7FFF);
}

void Vid_DrawSlot(VIDOBJECT *slot, int32_t, int32_t camera, int32_t instance)
{
    COORD *view = Vid_CameraNode(camera);
    if (!view)
        return;
    if (slot->pAnimation)
        g_iAnimTime = Vid_AnimateObject(slot, g_iAnimTime);
    MODELINSTANCE *holder = nullptr;
    if (instance < 0) {
        holder = slot->pInstance;
    } else {
        holder = slot->ppAltModels ? slot->ppAltModels[instance] : nullptr;
        if (holder && holder->model) {
            uint32_t tri = 0, quad = 0;
            const uint16_t *n = holder->model->counts;
            tri = n[0] + n[2];
            quad = n[1] + n[3];
            if (!tri && !quad) {
                tri = n[4] + n[6];
                quad = n[5] + n[7];
            }
            slot->uIndexCount = 3 * tri + 4 * quad;
        }
    }
    if (!holder || !holder->model || !holder->mesh)
        return;
    if (Sys_CoordUpdateWorld(&slot->coord) != 0)
        return;
    if (slot->flags & VIDOBJ_OWNLIGHTS_APPLY) {
        Sys_SetLightMatrix(&slot->mtxLight);
        Sys_SetColourMatrix(&slot->mtxLightColour);
        // Lit slots take their light from the three lights alone (the scene's state outside
        // a lit draw is full ambient, which shows unlit slots in their own colours).
        Sys_SetBackColour(0, 0, 0);
    }
    if (slot->flags & VIDOBJ_NORMALISED)
        Sys_CoordLoadNormalised(&slot->coord, view, 0);
    else
        Sys_CoordLoadLocalScreen(&slot->coord, view, 0);
    if (slot->flags & VIDOBJ_OWNTEXTURE)
        ScrollLayers(slot, holder->mesh, holder->model);
    if (!g_bSilentDraws) {
        if (Gfx_TransformLightMesh(holder->mesh) != 0)
            return;
        Gfx_DrawModelMesh(holder, slot);
    }
    if (slot->flags & VIDOBJ_OWNLIGHTS_APPLY)
        Sys_SetBackColour(255, 255, 255);
    g_VidFrameStats.iSlotDraws++;
}

void Vid_DrawPathPreview(const VIDPATHPREVIEW *path)
{
    if (!path || !path->piPoints || path->iCount < 2)
        return;
    const int32_t n = std::min(path->iCount, 4096);
    MESH *mesh = Gfx_CreateMesh(static_cast<uint32_t>(n), 1);
    if (!mesh)
        return;
    std::vector<int32_t> pos(static_cast<size_t>(n) * 4);
    std::vector<uint32_t> colours(static_cast<size_t>(n), 0x000A0A0A);
    for (int32_t i = 0; i < n; i++)
        for (int32_t a = 0; a < 3; a++)
            pos[static_cast<size_t>(i) * 4 + a] = path->piPoints[i * 4 + a];
    const bool own = path->iCamera == 0 || path->iCamera == 1;
    if (own) {
        const int32_t run = n / std::min(n, 4);
        g_iPreviewPhase ^= 1;
        if (g_iPreviewPhase == 0)
            for (int32_t &m : g_aiPreviewMarker)
                m = run > 0 ? (m + 1) % run : 0;
        static const uint32_t kColours[2] = {0x000AFF0A, 0x000A0A0A};
        colours[static_cast<size_t>(std::min(g_aiPreviewMarker[0], n - 1))] = kColours[g_iPreviewPhase];
        colours[static_cast<size_t>(std::min(g_aiPreviewMarker[1], n - 1))] = kColours[1 - g_iPreviewPhase];
    } else {
        std::fill(colours.begin(), colours.end(), 0x000A6E0Au);
    }
    if (Gfx_SetMeshVertices32(mesh, pos.data(), colours.data(), 0, static_cast<uint32_t>(n)) == 0) {
        // The path's coordinates take the uniform scale scale >> 6 (points are kept << 6).
        COORD c{};
        FIXMATRIX m{};
        const int16_t s = static_cast<int16_t>(std::clamp(path->iScale >> 6, -32768, 32767));
        m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
        Sys_CoordInit(&c, nullptr, &m, 0);
        Sys_CoordUpdateWorld(&c);
        if (COORD *view = Vid_CameraNode(own ? path->iCamera : 0))
            Sys_CoordLoadLocalScreen(&c, view, 0);
        std::vector<uint16_t> idx;
        for (int32_t i = 0; i + 1 < n; i++) {
            idx.push_back(static_cast<uint16_t>(i));
            idx.push_back(static_cast<uint16_t>(i + 1));
        }
        if (path->bClosed) {
            idx.push_back(static_cast<uint16_t>(n - 1));
            idx.push_back(0);
        }
        if (Gfx_TransformMesh(mesh) == 0)
            Gfx_DrawMeshLines(mesh, idx.data(), static_cast<uint16_t>(idx.size()));
    }
    Gfx_DestroyMesh(mesh);
}

void Vid_ClearGridCell(int32_t r, int32_t g, int32_t b)
{
    Gfx_ClearViewportColour(static_cast<uint32_t>((r & 255) << 16 | (g & 255) << 8 | (b & 255)));
}

void Vid_SetGridInnerView(const VIDGRIDBLOCK *block)
{
    if (!block || block->iColumns <= 0 || block->iRows <= 0)
        return;
    int64_t w = int64_t{g_aViewRect[2]} * 4096 / block->iColumns * block->sScale >> 12;
    int64_t h = int64_t{g_aViewRect[3]} * 4096 / block->iRows * block->sScale >> 12;
    w = std::clamp<int64_t>(w, 1, g_iScreenWidth);
    h = std::clamp<int64_t>(h, 1, g_iScreenHeight);
    Gfx_SetViewport(0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h));
    g_iGridProjectionDistance = static_cast<int32_t>(w / 2);
}

void Vid_DrawGridEffect(const VIDGRIDBLOCK *block)
{
    if (!block || block->iColumns <= 0 || block->iRows <= 0)
        return;
    const int32_t vw = g_aViewRect[2], vh = g_aViewRect[3];
    const int32_t cw = static_cast<int32_t>(int64_t{vw} * 4096 / block->iColumns);
    const int32_t ch = static_cast<int32_t>(int64_t{vh} * 4096 / block->iRows);
    const int32_t cols = std::min((block->iColumns + 4095) / 4096, 64), rows = std::min((block->iRows + 4095) / 4096, 64);
    // Cells are laid out about the view centre in view pixels, at the depth where a world unit
    // is one pixel (the projection is 90 degrees across the view's height).
    FIXMATRIX rot{};
    rot.m[0][0] = rot.m[1][1] = rot.m[2][2] = 4096;
    Sys_RotateMatrixZ(block->sAngle, &rot);
    rot.t[2] = vh / 2;
    Sys_SetWorldTransform(&rot);
    Gfx_BindGrabTexture();
    for (int32_t r = 0; r < rows; r++)
        for (int32_t c = 0; c < cols; c++) {
            const uint32_t colour = block->auColours[(c & 1) | 2 * (r & 1)];
            if ((colour >> 24) == 255)
                continue;
            const int32_t x0 = c * cw - vw / 2, y0 = r * ch - vh / 2;
            const int16_t corners[16] = {
                static_cast<int16_t>(x0), static_cast<int16_t>(y0), 0, 0,
                static_cast<int16_t>(x0 + cw), static_cast<int16_t>(y0), 0, 0,
                static_cast<int16_t>(x0), static_cast<int16_t>(y0 + ch), 0, 0,
                static_cast<int16_t>(x0 + cw), static_cast<int16_t>(y0 + ch), 0, 0,
            };
            const uint8_t rgb[3] = {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                                    static_cast<uint8_t>(colour >> 16)};
            Gfx_DrawImageQuad(corners, rgb);
        }
}

void Vid_DrawRadialSplit(const VIDRADIALBLOCK *block)
{
    if (!block || block->iCount < 0x10000)
        return;
    const int32_t segments = std::min(block->iCount >> 16, 256);
    const int64_t step = int64_t{0x10000000} / block->iCount; // 4096 a turn
    // The view rectangle is already on the screen: a window showing the video sets it at its place.
    const float cx = g_aViewRect[0] + g_aViewRect[2] / 2.0f;
    const float cy = g_aViewRect[1] + g_aViewRect[3] / 2.0f;
    const float hx = g_aViewRect[2] / 2.0f, hy = g_aViewRect[3] / 2.0f;
    if (hx <= 0 || hy <= 0)
        return;
    // A border point: the view's square mapping of the angle, so the eight multiples of 512 fall
    // on the corners and the centres of the edges.
    auto border = [&](int64_t angle, float *x, float *y) {
        const int64_t a = ((angle % 4096) + 4096) % 4096;
        const int64_t oct = a / 512;
        const float f = static_cast<float>(a % 512) / 512.0f;
        static const float kPts[9][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
        const float px = kPts[oct][0] + (kPts[oct + 1][0] - kPts[oct][0]) * f;
        const float py = kPts[oct][1] + (kPts[oct + 1][1] - kPts[oct][1]) * f;
        *x = cx + px * hx;
        *y = cy + py * hy;
    };
    const float gw = static_cast<float>(std::max(1, g_iDrawAreaRight - g_iDrawAreaLeft));
    const float gh = static_cast<float>(std::max(1, g_iDrawAreaBottom - g_iDrawAreaTop));
    auto vertex = [&](float x, float y, uint32_t colour) {
        return SW3DTLVERTEX{x, y, 0.0f, 1.0f, colour, 0, (x - g_iDrawAreaLeft) / gw, (y - g_iDrawAreaTop) / gh};
    };
    Gfx_BindGrabTexture();
    Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZENABLE, 0);
    for (int32_t s = 0; s < segments; s++) {
        const int64_t a0 = block->sStartAngle + s * step, a1 = block->sStartAngle + (s + 1) * step;
        const uint32_t colour = (s & 1) ? block->uColour1 : block->uColour2;
        int64_t from = a0;
        while (from < a1) {
            const int64_t next = std::min(a1, (from / 512 + 1) * 512 + (from < 0 ? -512 : 0));
            const int64_t to = next > from ? next : a1;
            float x0, y0, x1, y1;
            border(from, &x0, &y0);
            border(to, &x1, &y1);
            const SW3DTLVERTEX tri[3] = {vertex(cx, cy, colour), vertex(x0, y0, colour), vertex(x1, y1, colour)};
            Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, tri, 3, 0);
            from = to;
        }
    }
    Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZENABLE, 1);
}

void Vid_DrawFullPicture(const VIDPICTUREBLOCK *block)
{
    if (!block)
        return;
    Gfx_BindGrabTexture();
    Gfx_DrawRotatedTexture(block->uColour, block->sAngle, 2 * block->sScale);
}

void Vid_RenderFrame()
{
    g_VidFrameStats = {};
    for (int32_t &l : g_VidFrameStats.iWinningLane)
        l = -1;
    if (g_iViewRedrawCount > 0)
        g_iViewRedrawCount--;
    SyncRenderViews();

    const VIDRADIALBLOCK *radial = nullptr;
    const VIDGRIDBLOCK *grid = nullptr;
    const VIDPICTUREBLOCK *picture = nullptr;
    bool white = false;
    for (int32_t lane = 0; lane < VID_LANES; lane++) {
        const VIDOBJECT &s = g_aLaneSlots[lane];
        if ((s.flags & VIDOBJ_GRID) && s.pGridEffect) {
            grid = static_cast<const VIDGRIDBLOCK *>(s.pGridEffect);
            g_VidFrameStats.iWinningLane[1] = lane;
        }
        if ((s.flags & VIDOBJ_PICTURE) && s.pPictureEffect) {
            picture = static_cast<const VIDPICTUREBLOCK *>(s.pPictureEffect);
            g_VidFrameStats.iWinningLane[2] = lane;
        }
        if (s.flags & VIDOBJ_WHITECLEAR)
            white = true;
        if ((s.flags & VIDOBJ_RADIAL) && s.pTypeBlock) {
            radial = static_cast<const VIDRADIALBLOCK *>(s.pTypeBlock);
            g_VidFrameStats.iWinningLane[0] = lane;
        }
    }
    int32_t depthShift = 3;
    int32_t laneMask = -1;
    if (radial) {
        depthShift = 4;
        laneMask = radial->ucLaneMask;
    } else if (grid) {
        depthShift = 4;
        laneMask = static_cast<int32_t>(grid->uLaneMask);
    }
    const bool inside = radial && !picture;
    g_VidFrameStats.iLaneMask = laneMask;
    g_VidFrameStats.bInsidePass = inside;

    Gfx_BeginScene();
    if (picture || radial)
        Gfx_SetViewport(0, 0, g_iScreenWidth, g_iScreenHeight);
    else
        Gfx_SetViewport(g_aViewRect[0], g_aViewRect[1], g_aViewRect[2], g_aViewRect[3]);
    if (grid)
        Vid_SetGridInnerView(grid);
    const bool trails = g_bVideoTrails && g_iViewRedrawCount == 0;
    if (!trails)
        ClearView(grid != nullptr, grid, picture, white);
    if (picture)
        Vid_DrawFullPicture(picture);

    if (!(g_uVideoRenderFlags & 4u))
        AutoCamera();
    g_iAuxCameraDepth = std::abs(g_iCameraDepthValue / 2) * g_iCameraScale / 9500;
    g_AuxCameraCoord.local.t[2] = g_iAuxCameraDepth;
    if (g_pPathPreview && g_iScreen != 43)
        Vid_DrawPathPreview(g_pPathPreview);

    // Outside pass. Without effects nothing looks at it but the inside pass, which draws every
    // slot again over it with the depth cleared: when every slot is opaque, the inside pass
    // overwrites each pixel the outside pass would write, so those pixels are left out (the
    // slots' other work still runs).
    bool elide = g_bVidElideOpaquePass && !radial && !grid && !picture;
    for (int32_t lane = 0; elide && lane < VID_LANES; lane++)
        elide = OpaqueSlot(g_aLaneSlots[lane]);
    g_VidFrameStats.bOutsideElided = elide;
    g_bSilentDraws = elide;
    for (int32_t lane = 0, bit = 1; lane < VID_LANES; lane++, bit <<= 1)
        HandleSlot(lane, depthShift, !(laneMask & bit) || !inside, true);
    g_bSilentDraws = false;

    Gfx_EndScene();
    if (radial || grid || picture) {
        Gfx_GrabDrawArea();
        g_VidFrameStats.iGrabs++;
    }
    Gfx_SetViewport(g_aViewRect[0], g_aViewRect[1], g_aViewRect[2], g_aViewRect[3]);
    Gfx_ClearZBuffer();
    Gfx_BeginScene();
    if (grid) {
        Vid_ClearGridCell(0, 0, 0);
        Vid_DrawGridEffect(grid);
        Gfx_SetViewport(g_aViewRect[0], g_aViewRect[1], g_aViewRect[2], g_aViewRect[3]);
    } else if (radial) {
        Vid_DrawRadialSplit(radial);
    } else if (picture) {
        Vid_DrawFullPicture(picture);
    }

    // Inside pass.
    for (int32_t lane = 0, bit = 1; lane < VID_LANES; lane++, bit <<= 1)
        if (laneMask & bit)
            HandleSlot(lane, depthShift, true, false);
    Gfx_EndScene();

    // The 2-D layer copies the view out of the 3-D picture when it walks the interface's entry.
    if (g_pOrderingTable)
        if (uint8_t *packet = Gfx_AddPacket(g_pOrderingTable, 28))
            Gfx_SetImageBlitPacket(packet, static_cast<uint32_t>(g_aViewRect[0]), static_cast<uint32_t>(g_aViewRect[1]),
                                   static_cast<uint32_t>(g_aViewRect[2]), static_cast<uint32_t>(g_aViewRect[3]));
}
