#include "video/chase_tunnel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/timers.h"
#include "core/console_memory.h"
#include "render/mesh.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "video/chase.h"
#include "video/chase_modifiers.h"
#include "video/chasetypes.h"
#include "video/interp.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vidobject.h"

TUNNELCONTEXT g_TunnelContext;

namespace {

enum
{
    TCH_PATH,
    TCH_PROFILE,
    TCH_SPEED,
    TCH_TRANSP,
    TCH_ROTATION,
    TCH_COLOUR1,
};

constexpr uint32_t kTunnelFlag = 0x2000000;

const CHASECHANNEL kTunnelChannels[9] = {
    {1, 1, 1, 16, 2, nullptr, nullptr},   // "Path"
    {1, 1, 1, 16, 2, nullptr, nullptr},   // "Profile"
    {5, -16, 15, 5, 2, nullptr, nullptr}, // "Speed"
    {0, 0, 1, 6, 2, nullptr, nullptr},    // "Transp."
    {0, -10, 10, 6, 2, nullptr, nullptr}, // "Rotation"
    {67, -1, 127, 8, 2, nullptr, nullptr}, // "Colour 1" .. "Colour 4"
    {72, -1, 127, 8, 2, nullptr, nullptr},
    {102, -1, 127, 8, 2, nullptr, nullptr},
    {95, -1, 127, 8, 2, nullptr, nullptr},
};

int32_t PathLength(const POINTLIST *path)
{
    return path ? static_cast<int32_t>(std::min<uint32_t>(path->count, 0x7FFF)) * 4096 : 0;
}

int32_t Wrap(int32_t s, int32_t length)
{
    if (length <= 0)
        return 0;
    s %= length;
    return s < 0 ? s + length : s;
}

// The path's point at position s (segment s >> 12, fraction s & 4095), closing round the end.
void PointAt(const POINTLIST *path, int32_t s, int32_t out[3])
{
    const int32_t n = static_cast<int32_t>(path->count);
    s = Wrap(s, n * 4096);
    const int32_t seg = s >> 12, f = s & 4095;
    const RESPOINT &a = path->points[seg], &b = path->points[(seg + 1) % n];
    out[0] = a.x + static_cast<int32_t>((static_cast<int64_t>(b.x - a.x) * f) >> 12);
    out[1] = a.y + static_cast<int32_t>((static_cast<int64_t>(b.y - a.y) * f) >> 12);
    out[2] = a.z + static_cast<int32_t>((static_cast<int64_t>(b.z - a.z) * f) >> 12);
}

// Version 13 and older stored the speed the other way round and had neither transparency nor
// rotation.
int32_t ReadValues(int32_t *values)
{
    uint16_t path[8];
    int32_t depth = 0;
    const int32_t pathId = values[TCH_PATH], profileId = values[TCH_PROFILE];
    values[TCH_PATH] = pathId > 0 && g_VidRes.indexPath(pathId, path, &depth) == 0 && depth >= 1
                           ? path[depth - 1] + 1
                           : kTunnelChannels[TCH_PATH].sDefault;
    values[TCH_PROFILE] =
        profileId > 0 && g_VidRes.indexPath(profileId, path, &depth) == 0 && depth >= 1 ? path[depth - 1] + 1 : 0;
    values[TCH_SPEED] -= 16;
    values[TCH_ROTATION] -= 10;
    for (int32_t c = TCH_COLOUR1; c < TCH_COLOUR1 + 4; c++)
        values[c] -= 1;
    return 0;
}

int32_t TunnelRead(CHASE *, int32_t, int32_t *values, int32_t)
{
    return ReadValues(values);
}

int32_t TunnelApply(CHASE *, int32_t, int32_t *values, uint8_t *states)
{
    int32_t ids[2] = {-1, -1};
    for (int32_t c = TCH_PATH; c <= TCH_PROFILE; c++) {
        if (states && states[c] != KEYSTATE_SET)
            continue;
        const int32_t n = values[c];
        void *data = nullptr;
        if (n > 0 && n <= 0x10000) {
            const uint16_t path[2] = {static_cast<uint16_t>(c == TCH_PATH ? 1 : 0), static_cast<uint16_t>(n - 1)};
            data = g_VidRes.load(RES_TUNNEL, path, 2, &ids[c]);
        }
        if (!data || ids[c] < 1) {
            if (c == TCH_PROFILE && ids[TCH_PATH] > 0)
                g_VidRes.releaseRef(ids[TCH_PATH]);
            return 0;
        }
        g_VidRes.addRef(ids[c]);
    }
    for (int32_t c = TCH_PATH; c <= TCH_PROFILE; c++)
        if (ids[c] > 0)
            values[c] = ids[c];
    values[TCH_SPEED] += 16;
    values[TCH_ROTATION] += 10;
    for (int32_t c = TCH_COLOUR1; c < TCH_COLOUR1 + 4; c++)
        values[c] += 1;
    return 1;
}

void TunnelRelease(CHASE *, const int32_t *values, uint32_t mask)
{
    for (int32_t c = TCH_PATH; c <= TCH_PROFILE; c++)
        if ((mask >> c & 1) && values[c] > 0)
            g_VidRes.releaseRef(values[c]);
}

void TunnelMark(int32_t value, int32_t channel, uint32_t *bitmap)
{
    if (channel <= TCH_PROFILE && value >= 0 && bitmap)
        bitmap[value >> 5] |= 1u << (value & 31);
}

int32_t TunnelPack(int32_t value, int32_t channel)
{
    if (channel > TCH_PROFILE)
        return value;
    return value < 1 ? -1 : g_VidRes.saveNumber(value);
}

int32_t TunnelRemap(CHASE *, int32_t *values, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    for (int32_t c = TCH_PATH; c <= TCH_PROFILE; c++) {
        const int32_t n = values[c];
        int32_t id = 0;
        if (map && map->pResIds && n >= 0 && static_cast<uint32_t>(n) < map->uResCount && map->pResIds[n] != 0xFFFF)
            id = map->pResIds[n];
        values[c] = id;
    }
    if (map && map->uVersion < 14) {
        values[TCH_SPEED] = 32 - values[TCH_SPEED];
        values[TCH_TRANSP] = 0;
        values[TCH_ROTATION] = 10;
    }
    return ReadValues(values) == 0 ? 1 : 0;
}

void TunnelInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = reinterpret_cast<TUNNELPARAMS *>(chase->pParams);
    p->path = a[TCH_PATH] > 0 ? static_cast<const POINTLIST *>(Vid_GetResData(a[TCH_PATH])) : nullptr;
    p->profile = a[TCH_PROFILE] > 0 ? static_cast<const POINTLIST *>(Vid_GetResData(a[TCH_PROFILE])) : nullptr;
    p->flags &= ~1u;
    if (a[TCH_PATH] != g_TunnelContext.lastPathId) {
        p->flags |= 1u;
        g_TunnelContext.lastPathId = a[TCH_PATH];
    }
    p->speed = Vid_Blend(-((a[TCH_SPEED] - 16) * 32), -((b[TCH_SPEED] - 16) * 32), w[TCH_SPEED]);
    p->reach = TUNNEL_REACH;
    p->sixth = 32;
    p->twist = Vid_Blend((a[TCH_ROTATION] - 10) * 16, (b[TCH_ROTATION] - 10) * 16, w[TCH_ROTATION]);
    p->flags = (p->flags & ~2u) | ((a[TCH_TRANSP] & 1) ? 2u : 0u);
    for (int32_t i = 0; i < 4; i++)
        Vid_BlendChaseColour(a[TCH_COLOUR1 + i], b[TCH_COLOUR1 + i], w[TCH_COLOUR1 + i], CHASECOLOUR_OFFSTATE,
                             p->colours[i]);
}

void TunnelRender(CHASE *chase, VIDOBJECT *object)
{
    TUNNELCONTEXT &t = g_TunnelContext;
    const uint32_t frame = static_cast<uint32_t>(g_iFrameCount.load());
    if (t.frame == frame && t.object)
        return;
    t.frame = frame;
    auto *p = reinterpret_cast<TUNNELPARAMS *>(chase->pParams);
    object->flags |= kTunnelFlag | VIDOBJ_SOLID;
    object->pTypeBlock = &t;
    t.object = object;
    t.profile = p->profile;
    t.path = p->path;
    t.reach = p->reach;
    t.colours = p->colours;
    t.speed = p->speed;
    t.twist = p->twist;
    t.transparent = (p->flags & 2) ? 1 : 0;
    const int32_t length = PathLength(t.path);
    if (!t.path || !t.profile || length <= 0)
        return;
    const bool forward = t.speed >= 0;
    if (p->flags & 1) {
        t.validRings = 0;
        t.ringIndex = 0;
        t.lastRing = -1;
        t.position = 0;
        t.nextRing = Wrap(forward ? 2049 : -30721, length);
        // The whole window is built in this frame. The clock may not have ticked yet, and a path
        // shorter than a window has only what fits.
        const int32_t tick = std::max<int32_t>(1, g_ucFrameTick.load());
        int32_t step = std::max(0, std::min(length - 1025, TUNNEL_WINDOW)) / tick;
        if (!forward)
            step = -step;
        if (g_bChaseSpeedFactorSet)
            step = static_cast<int32_t>((static_cast<int64_t>(step) * g_iChaseSpeedFactor) >> 12);
        t.step = step;
        p->flags &= ~1u;
    } else {
        t.step = t.speed;
    }
    t.buildDirection = forward ? 2048 : -30720;
    Vid_AdvanceTunnel();
}

void BuildRing()
{
    TUNNELCONTEXT &t = g_TunnelContext;
    t.twistAngle = (t.twistAngle + t.twist) & 4095;
    FIXMATRIX frame;
    if (Vid_TunnelFrame(t.path, t.nextRing, -500, t.twistAngle, &frame) != 0)
        return;
    const int32_t n = std::min<int32_t>(static_cast<int32_t>(t.profile->count), TUNNEL_POINTS);
    const int32_t r = t.ringIndex;
    for (int32_t k = 0; k < TUNNEL_POINTS; k++) {
        const RESPOINT &pt = t.profile->points[std::min(k, n - 1)];
        const int32_t local[3] = {static_cast<int32_t>((static_cast<int64_t>(pt.x) * t.reach) >> 12),
                                  static_cast<int32_t>((static_cast<int64_t>(pt.y) * t.reach) >> 12),
                                  static_cast<int32_t>((static_cast<int64_t>(pt.z) * t.reach) >> 12)};
        FIXMATRIX rot = frame;
        rot.t[0] = rot.t[1] = rot.t[2] = 0;
        int32_t off[3];
        Sys_TransformLongVector(&rot, local, off);
        int16_t *pos = t.positions[r * TUNNEL_POINTS + k];
        for (int32_t i = 0; i < 3; i++)
            pos[i] = static_cast<int16_t>(std::clamp(off[i] + frame.t[i], -32768, 32767));
        pos[3] = 0;
        int16_t *nrm = t.offsets[r * TUNNEL_POINTS + k];
        Sys_FxNormaliseToShort(off, nrm);
        nrm[3] = 0;
    }
    if (t.mesh)
        Gfx_SetMeshVertices16(t.mesh, &t.positions[r * TUNNEL_POINTS][0], &t.offsets[r * TUNNEL_POINTS][0], static_cast<uint32_t>(r * TUNNEL_POINTS),
                              TUNNEL_POINTS);
    t.validRings |= uint64_t{1} << r;
    const int32_t dir = t.speed >= 0 ? 1 : -1;
    t.nextRing = Wrap(t.nextRing + dir * TUNNEL_RING_STEP, PathLength(t.path));
    t.lastRing = r;
    t.ringIndex = (r + 1) % TUNNEL_RINGS;
    t.ringsBuilt++;
}

} // namespace

CHASEDEF g_TunnelChaseDef = {
    19, 0, 0, CHASEKIND_PLAIN, sizeof(TUNNELPARAMS), sizeof(TUNNELPARAMS), 0, 9, kTunnelChannels, nullptr, 0,
    TunnelRead, TunnelApply, TunnelInterpolate, TunnelRelease, TunnelRender,
    TunnelMark, TunnelPack, TunnelRemap, nullptr, nullptr, 0,
};

int32_t Vid_TunnelFrame(const POINTLIST *path, int32_t s, int32_t d, int32_t roll, FIXMATRIX *out)
{
    if (!path || !path->points || path->count == 0 || !out)
        return -1;
    int32_t a[3], b[3];
    PointAt(path, s, a);
    PointAt(path, s + d, b);
    const int64_t dx = b[0] - a[0], dy = b[1] - a[1], dz = b[2] - a[2];
    const int32_t heading = Sys_FixedAtan2(static_cast<int32_t>(dx), static_cast<int32_t>(dz));
    const int32_t pitch = Sys_FixedAtan2(static_cast<int32_t>(-dy), Sys_FixedSqrt(dx * dx + dz * dz));
    // Roll about the path first, then the pitch and the heading, so the z axis follows the path.
    Sys_IdentityMatrix(out);
    Sys_RotateMatrixZ(roll, out);
    Sys_RotateMatrixX(pitch, out);
    Sys_RotateMatrixY(heading, out);
    for (int32_t i = 0; i < 3; i++)
        out->t[i] = a[i];
    return 0;
}

void Vid_AdvanceTunnel()
{
    TUNNELCONTEXT &t = g_TunnelContext;
    t.ringsBuilt = 0;
    const int32_t length = PathLength(t.path);
    if (length <= 0 || !t.profile || t.profile->count == 0)
        return;
    // The camera looks back along the path (towards lower positions), as the rings face.
    FIXMATRIX frame;
    if (Vid_TunnelFrame(t.path, t.position, -2048, t.twistAngle, &frame) == 0) {
        FIXMATRIX view;
        Sys_TransposeMatrix(&frame, &view);
        const int32_t pos[3] = {frame.t[0], frame.t[1], frame.t[2]};
        for (int32_t r = 0; r < 3; r++) {
            const int64_t dot = int64_t{view.m[r][0]} * pos[0] + int64_t{view.m[r][1]} * pos[1] +
                                int64_t{view.m[r][2]} * pos[2];
            view.t[r] = static_cast<int32_t>(-(dot >> 12));
        }
        t.camera.local = view;
        g_CameraCoord.local = view;
        g_uVideoRenderFlags |= 4u;
    }
    t.previous = t.position;
    const int32_t moved = t.step * std::max<int32_t>(1, g_ucFrameTick.load());
    t.position = Wrap(t.position + moved, length);
    // Rings go in where the window's far edge passed this frame.
    const int32_t distance = std::min(std::abs(moved), length);
    const int32_t edge = t.previous + t.buildDirection;
    for (int32_t guard = 0; guard < 2 * TUNNEL_RINGS && distance > 0; guard++) {
        const int32_t rel = moved >= 0 ? Wrap(t.nextRing - edge, length) : Wrap(edge - t.nextRing, length);
        if (rel == 0 || rel > distance)
            break;
        BuildRing();
    }
}

void Vid_ResetTunnel()
{
    TUNNELCONTEXT &t = g_TunnelContext;
    MESH *mesh = t.mesh;
    std::memset(&t, 0, sizeof t);
    t.mesh = mesh;
    t.nextRing = 2049;
    t.lastRing = -1;
    t.lastPathId = -1;
    t.frame = 0xFFFFFFFFu;
    FIXMATRIX identity;
    Sys_IdentityMatrix(&identity);
    Sys_CoordInit(&t.node, nullptr, &identity, 0);
    Sys_CoordInit(&t.camera, nullptr, &identity, 0);
}

void Vid_FreeTunnel()
{
    if (g_TunnelContext.mesh)
        Gfx_DestroyMesh(g_TunnelContext.mesh);
    g_TunnelContext.mesh = nullptr;
    Vid_ResetTunnel();
}

void Vid_DrawTunnel(VIDOBJECT *slot, int32_t)
{
    TUNNELCONTEXT &t = g_TunnelContext;
    if (!slot || t.lastRing < 0 || !t.colours)
        return;
    if (!t.mesh) {
        t.mesh = Gfx_CreateMesh(TUNNEL_RINGS * TUNNEL_POINTS, TUNNEL_RINGS * TUNNEL_POINTS);
        if (!t.mesh)
            return;
        Gfx_SetMeshVertices16(t.mesh, &t.positions[0][0], &t.offsets[0][0], 0, TUNNEL_RINGS * TUNNEL_POINTS);
    }
    if (Sys_CoordUpdateWorld(&t.node) != 0 || Sys_CoordLoadLocalScreen(&t.node, &g_CameraCoord, 0) != 0)
        return;
    if (Gfx_TransformMesh(t.mesh) != 0)
        return;
    t.ringTexture[t.lastRing][0] = slot->uClutPosition;
    t.ringTexture[t.lastRing][1] = slot->uTexClutPosition;
    std::memcpy(t.ringColour[t.lastRing], slot->colour, 4);
    Gfx_SetBlendMode(t.transparent ? 1 : 0);
    uint32_t invert = 0;
    if (slot->flags & VIDOBJ_OUTLINE_INVERTED)
        for (uint8_t &c : slot->colour)
            c = static_cast<uint8_t>(c ^ 0xFF);
    if (slot->flags & VIDOBJ_INVERTED)
        invert = 0xFF;
    if ((slot->flags & VIDOBJ_OWNTEXTURE) && slot->texture)
        Gfx_BindTextureRecord(slot->texture, 0, invert ? 1 : 0);
    else
        Gfx_BindTexture(nullptr, 0, 0);
    const int32_t n = t.profile ? std::clamp<int32_t>(static_cast<int32_t>(t.profile->count), 1, TUNNEL_POINTS)
                                : TUNNEL_POINTS;
    const int32_t dir = t.speed >= 0 ? 1 : -1;
    // From the oldest ring round to the newest one.
    for (int32_t i = 1; i <= TUNNEL_RINGS; i++) {
        const int32_t r = ((t.lastRing + dir * i) % TUNNEL_RINGS + TUNNEL_RINGS) % TUNNEL_RINGS;
        const int32_t next = ((r + 1) % TUNNEL_RINGS);
        if (r == t.lastRing || !(t.validRings >> r & 1) || !(t.validRings >> next & 1))
            continue;
        for (int32_t s = 0; s < n; s++) {
            const uint8_t *rec = t.colours[(r & 1) + 2 * (s & 1)];
            if (rec[3] == 255)
                continue;
            const uint8_t colour[3] = {static_cast<uint8_t>(rec[0] ^ invert), static_cast<uint8_t>(rec[1] ^ invert),
                                       static_cast<uint8_t>(rec[2] ^ invert)};
            const int32_t s1 = (s + 1) % n;
            const uint16_t corners[4] = {static_cast<uint16_t>(r * TUNNEL_POINTS + s),
                                         static_cast<uint16_t>(r * TUNNEL_POINTS + s1),
                                         static_cast<uint16_t>(next * TUNNEL_POINTS + s),
                                         static_cast<uint16_t>(next * TUNNEL_POINTS + s1)};
            if (slot->flags & VIDOBJ_OUTLINE)
                Gfx_DrawMeshQuadOutline(t.mesh, corners, colour);
            else if (slot->flags & VIDOBJ_SOLID)
                Gfx_DrawMeshQuad(t.mesh, corners, colour, (s & 3) == 0 ? 0 : 2 + ((s & 3) - 1) * 4);
        }
    }
    Gfx_SetBlendMode(0);
}
