#include "video/chasetypes.h"

#include <cstring>

#include "core/idpool.h"
#include "video/chase.h"
#include "video/chasemaps.h"
#include "video/chasepath.h"
#include "video/chaseshape.h"
#include "video/chase_modifiers.h"
#include "video/chase_text.h"
#include "video/chase_tunnel.h"
#include "video/clips.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/lanes.h"
#include "video/respages.h"
#include "video/triggers.h"

VIDRESCALLS g_VidRes = {Vid_LoadResource, Vid_AddResRef, Vid_ReleaseResRef, Vid_GetResSaveNumber,
                        Vid_GetResIndexPath};

const uint16_t g_auChaseStoredIds[VID_CHASE_TYPE_COUNT] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                           11, 13, 14, 15, 16, 17, 18, 19, 20};

namespace {

enum
{
    PCH_TYPE,
    PCH_QUANTITY, // layout folder in the editor's form, the layout's resource id when stored
    PCH_LAYOUT,   // layout entry; not stored, read gives it back from the resource
    PCH_SCALE,
    PCH_TEXTURE, // hidden: the particle texture's resource id
};

const CHASECHANNEL kParticleChannels[5] = {
    {0, 0, 159, 8, 2, nullptr, nullptr},   // "Type"
    {8, 1, 8, 16, 2, nullptr, nullptr},    // "Quantity"
    {3, 1, 2, 0, 2, nullptr, nullptr},     // "Layout"
    {3, 0, 7, 3, 2, nullptr, nullptr},     // "Scale"
    {0, 0, 32767, 16, 8, nullptr, nullptr}, // texture
};

void FreeExtra(CHASE *chase)
{
    Sys_MemFree(chase->pExtra);
    chase->pExtra = nullptr;
    chase->uExtraBytes = 0;
}

// The chase's buffer of 16-byte layout entries grows to n entries (zeroed). false when memory is
// out.
bool GrowExtra(CHASE *chase, int32_t n)
{
    const uint32_t bytes = static_cast<uint32_t>(n) * 16;
    if (bytes <= chase->uExtraBytes)
        return true;
    void *grown = Sys_MemAlloc(nullptr, bytes);
    if (!grown)
        return false;
    if (chase->pExtra)
        std::memcpy(grown, chase->pExtra, chase->uExtraBytes);
    Sys_MemFree(chase->pExtra);
    chase->pExtra = grown;
    chase->uExtraBytes = bytes;
    return true;
}

} // namespace

CHASEDEF g_ParticleChaseDef = {
    9, 0, 0, CHASEKIND_PLAIN, sizeof(PARTICLEPARAMS), sizeof(PARTICLEPARAMS), 0, 5, kParticleChannels, nullptr, 0,
    Vid_LaneObjectDefaults, Vid_LaneObjectApplyKey, Vid_ParticleInterpolate, Vid_LaneObjectRelease, Vid_ParticleRender,
    Vid_LaneObjectMarkRes, Vid_LaneObjectSaveNumber, Vid_LaneObjectUnpack, nullptr, nullptr, 0,
};

int32_t Vid_LaneObjectDefaults(CHASE *, int32_t, int32_t *values, int32_t)
{
    uint16_t path[8] = {};
    int32_t depth = 0;
    const int32_t id = values[PCH_QUANTITY];
    if (id > 0 && g_VidRes.indexPath(id, path, &depth) == 0 && depth >= 2 && depth <= 8) {
        values[PCH_QUANTITY] = path[depth - 2] + 1;
        values[PCH_LAYOUT] = path[depth - 1] + 1;
    } else {
        values[PCH_QUANTITY] = 1;
        values[PCH_LAYOUT] = 1;
    }
    return 0;
}

int32_t Vid_LaneObjectApplyKey(CHASE *chase, int32_t, int32_t *values, uint8_t *states)
{
    if (states && states[PCH_LAYOUT] == KEYSTATE_SET)
        states[PCH_QUANTITY] = KEYSTATE_SET;
    const bool layout = !states || states[PCH_QUANTITY] == KEYSTATE_SET;
    bool texture = !states;
    for (int32_t c = PCH_TYPE; states && c <= PCH_SCALE; c++)
        texture = texture || states[c] == KEYSTATE_SET;

    int32_t layoutId = -1;
    if (layout) {
        const int32_t first = values[PCH_QUANTITY], entry = values[PCH_LAYOUT];
        void *data = nullptr;
        if (first > 0 && entry > 0 && first <= 0xFFFF && entry <= 0x10000 && GrowExtra(chase, first)) {
            const uint16_t path[2] = {static_cast<uint16_t>(first - 1), static_cast<uint16_t>(entry - 1)};
            data = g_VidRes.load(RES_LAYOUT, path, 2, &layoutId);
        }
        if (!data || layoutId < 1) {
            values[PCH_QUANTITY] = 0;
            FreeExtra(chase);
            return 0;
        }
        values[PCH_QUANTITY] = layoutId;
        g_VidRes.addRef(layoutId);
    }
    if (texture) {
        const uint16_t path[2] = {0, 0};
        int32_t id = -1;
        // Without its sprite the key is refused rather than kept half-made.
        if (!g_VidRes.load(RES_PARTICLE, path, 2, &id) || id < 1) {
            if (layoutId > 0) {
                g_VidRes.releaseRef(layoutId);
                values[PCH_QUANTITY] = 0;
            }
            return 0;
        }
        g_VidRes.addRef(id);
        values[PCH_TEXTURE] = id;
        if (states)
            states[PCH_TEXTURE] = KEYSTATE_SET;
    }
    return 1;
}

void Vid_LaneObjectRelease(CHASE *, const int32_t *values, uint32_t which)
{
    if ((which & 6) && values[PCH_QUANTITY] > 0)
        g_VidRes.releaseRef(values[PCH_QUANTITY]);
    if ((which & (1u << PCH_TEXTURE)) && values[PCH_TEXTURE] > 0)
        g_VidRes.releaseRef(values[PCH_TEXTURE]);
}

void Vid_LaneObjectMarkRes(int32_t id, int32_t kind, uint32_t *mask)
{
    if (kind == PCH_QUANTITY && id >= 0 && mask)
        mask[id >> 5] |= 1u << (id & 31);
}

int32_t Vid_LaneObjectSaveNumber(int32_t id, int32_t kind)
{
    // The sprite's id is this session's and is found again on load: it is not saved.
    if (kind == PCH_TEXTURE)
        return 0;
    if (kind != PCH_QUANTITY)
        return id;
    return id < 1 ? -1 : g_VidRes.saveNumber(id);
}

int32_t Vid_LaneObjectUnpack(CHASE *chase, int32_t *values, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    const int32_t n = values[PCH_QUANTITY];
    int32_t id = 0;
    if (map && map->pResIds && n >= 0 && static_cast<uint32_t>(n) < map->uResCount && map->pResIds[n] != 0xFFFF)
        id = map->pResIds[n];
    values[PCH_QUANTITY] = id;
    return Vid_LaneObjectDefaults(chase, 0, values, 5) == 0 ? 1 : 0;
}

CHASEDEF *g_apChaseDefs[VID_CHASE_TYPE_COUNT];

namespace {

// The descriptor of a stored id; the Movie type (12) is built but never registered.
CHASEDEF *BuiltInDef(uint16_t id)
{
    switch (id) {
    case 1:
        return &g_ShapeChaseDef;
    case 2:
        return &g_BackgroundChaseDef;
    case 5:
        return &g_PathChaseDef;
    case 6:
        Vid_InitCameraTables();
        return &g_CameraChaseDef;
    case 3:
        return &g_RotationChaseDef;
    case 4:
        return &g_ScaleChaseDef;
    case 7:
        return &g_ColourChaseDef;
    case 8:
        return &g_LightingChaseDef;
    case 9:
        return &g_ParticleChaseDef;
    case 10:
        return &g_TextChaseDef;
    case 11:
        return &g_TextureChaseDef;
    case 13:
        return &g_PaletteChaseDef;
    case 14:
        return &g_SpineChaseDef;
    case 15:
        return &g_NumberChaseDef;
    case 16:
        return &g_TilesChaseDef;
    case 17:
        return &g_TintChaseDef;
    case 18:
        return &g_VisibilityChaseDef;
    case 19:
        return &g_TunnelChaseDef;
    case 20:
        return &g_SpeedChaseDef;
    default:
        return nullptr;
    }
}

} // namespace

int32_t Vid_RegisterChaseTypes()
{
    // The rotation and light tables, the chase palette and the contexts of the types.
    Vid_FillModifierTables();
    Vid_LoadChasePalette();
    g_SpeedChaseDef.mix = Vid_MixScreenEffect;
    Vid_ResetTunnel();
    Vid_ResetTextChase();
    Vid_AddResetHook(Vid_ResetTunnel);
    Vid_AddResetHook(Vid_ResetTextChase);
    int32_t n = 0;
    for (int32_t i = 0; i < VID_CHASE_TYPE_COUNT; i++) {
        const uint16_t id = g_auChaseStoredIds[i];
        CHASEDEF *def = BuiltInDef(id);
        g_apChaseDefs[i] = def;
        if (!def)
            continue;
        const int32_t code = Vid_RegisterChaseDef(def);
        def->uCode = static_cast<uint32_t>(code);
        n += code >= 0;
    }
    return n;
}

int32_t Vid_InitVideoCore()
{
    int32_t r = Vid_InitChasePools();
    r |= Vid_InitClipPools();
    Vid_InitLanes();
    Vid_ClearClipGridRecords();
    Vid_ClearTriggers();
    Vid_RegisterChaseTypes();
    Vid_InitLaneCoords();
    return r;
}

void Vid_FreeVideoCore()
{
    Vid_ResetVideo();
    Vid_FreePathMeshes();
    Vid_FreeClipPools();
    Vid_FreeChasePools();
    for (int32_t i = 0; i < 4; i++)
        Vid_FreeLaneObject(i);
    Vid_FreeTunnel();
    Sys_PoolDestroy(g_pLaneBlockPool);
    g_pLaneBlockPool = nullptr;
}
