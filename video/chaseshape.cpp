#include "video/chaseshape.h"

#include <algorithm>
#include <cstring>

#include "core/idpool.h"
#include "core/fixmath.h"
#include "render/mesh.h"
#include "video/chase.h"
#include "video/chaselist.h"
#include "video/chaseres.h"
#include "video/chasetypes.h"
#include "video/interp.h"
#include "editors/chaseeditor.h"
#include "video/render.h"
#include "video/vidobject.h"

const int32_t g_aiShapeScale[8] = {800, 1600, 2800, 4096, 6144, 8192, 12288, 16384};
// The auto camera looks along (60, 80, -200) at the centre.
const int32_t g_aiShapeViewLine[3] = {1095, 1460, -3649};

char g_szShapeFamily[128] = "Shape wotsit";
char g_szShapeName[128] = "Shape Name";

namespace {

enum
{
    SCH_FAMILY,
    SCH_ITEM,
    SCH_ANIM,
    SCH_ANIMSPEED,
    SCH_QUANTITY,
    SCH_LAYOUT,
    SCH_SCALE,
};

} // namespace

CHASECHANNEL g_aShapeChannels[7] = {
    {0, 0, 4, 16, 1, nullptr, g_szShapeFamily}, // "Family"
    {1, 1, 3, 0, 1, nullptr, g_szShapeName},    // "Item"
    {1, 0, 1, 16, 2, nullptr, nullptr},         // "Animation"
    {8, 0, 31, 5, 2, nullptr, nullptr},         // "Anim speed"
    {1, 1, 32, 16, 2, nullptr, nullptr},        // "Quantity"
    {1, 1, 8, 0, 2, nullptr, nullptr},          // "Layout"
    {3, 0, 7, 3, 2, nullptr, nullptr},          // "Scale"
};

namespace {

CHASELISTLIMITS s_family = {VIDRES_MODELS, g_szShapeFamily, g_szShapeName, -1, -1, 0};
struct
{
    int32_t quantity = -1, layout = -1;
    uint32_t generation = 0;
} s_layout;
// The first animation limit update since the editor opened takes the channel defaults.
bool s_bAnimSinceOpen = false;

SHAPEPARAMS *Params(CHASE *chase)
{
    return reinterpret_cast<SHAPEPARAMS *>(chase->pParams);
}

int16_t Clamp16(int32_t v, int32_t lo, int32_t hi)
{
    return static_cast<int16_t>(v < lo ? lo : (v > hi ? hi : v));
}

int32_t PrimitiveCount(const VIDOBJECT *model)
{
    const MODELINSTANCE *inst = model ? model->pInstance : nullptr;
    if (!inst || !inst->model)
        return 0;
    int32_t n = 0;
    for (uint16_t c : inst->model->counts)
        n += c;
    return n;
}

uint32_t VertexCount(const VIDOBJECT *model)
{
    const MODELINSTANCE *inst = model ? model->pInstance : nullptr;
    if (!inst || !inst->model)
        return 0;
    const uint16_t *c = inst->model->counts;
    if (c[0] || c[1] || c[2] || c[3])
        return 3u * (c[0] + c[2]) + 4u * (c[1] + c[3]);
    return 3u * (c[4] + c[6]) + 4u * (c[5] + c[7]);
}

// Distance of the model's farthest vertex from its origin.
int32_t ModelRadius(const VIDOBJECT *model)
{
    const MODELINSTANCE *inst = model ? model->pInstance : nullptr;
    if (!inst || !inst->model || !inst->model->vertices)
        return 0;
    int64_t most = 0;
    const uint8_t *v = inst->model->vertices;
    for (uint32_t i = 0; i < inst->model->vertexCount; i++, v += 8) {
        const int64_t x = static_cast<int16_t>(v[0] | v[1] << 8), y = static_cast<int16_t>(v[2] | v[3] << 8),
                      z = static_cast<int16_t>(v[4] | v[5] << 8);
        most = std::max(most, x * x + y * y + z * z);
    }
    return Sys_FixedSqrt(most);
}

// Quantity of a stored layout id (its folder + 1), 0 when it is not a layout.
int32_t LayoutQuantity(int32_t id)
{
    int32_t folder = 0, entry = 0;
    return Vid_ResFamilyItem(id, &folder, &entry) ? folder + 1 : 0;
}

void LayoutLimits(int32_t *v, uint8_t *s)
{
    if (s_layout.generation == g_uChaseLimitGeneration && s_layout.quantity == v[SCH_QUANTITY] &&
        s_layout.layout == v[SCH_LAYOUT])
        return;
    s_layout.generation = g_uChaseLimitGeneration;
    s_layout.quantity = v[SCH_QUANTITY];
    s_layout.layout = v[SCH_LAYOUT];
    CHASECHANNEL *ch = g_aShapeChannels;
    const int32_t folders = g_VidChaseRes.folderCount(VIDRES_LAYOUT, nullptr, 0);
    if (folders > 1) {
        ch[SCH_QUANTITY].sMax = static_cast<int16_t>(folders - 1);
        ch[SCH_QUANTITY].sDefault = Clamp16(ch[SCH_QUANTITY].sDefault, ch[SCH_QUANTITY].sMin, ch[SCH_QUANTITY].sMax);
    }
    if (v[SCH_QUANTITY] < 1)
        return;
    const uint16_t path[1] = {static_cast<uint16_t>(v[SCH_QUANTITY] - 1)};
    const int32_t layouts = g_VidChaseRes.entryCount(VIDRES_LAYOUT, path, 1);
    if (layouts < 1)
        return;
    ch[SCH_LAYOUT].sMax = static_cast<int16_t>(layouts);
    ch[SCH_LAYOUT].sDefault = Clamp16(ch[SCH_LAYOUT].sDefault, ch[SCH_LAYOUT].sMin, ch[SCH_LAYOUT].sMax);
    if (v[SCH_LAYOUT] > layouts) {
        v[SCH_LAYOUT] = layouts;
        if (s)
            s[SCH_QUANTITY] = s[SCH_LAYOUT] = KEYSTATE_SET;
    }
}

// The animations of model {family, item - 1}.
int32_t AnimCount(int32_t family, int32_t item)
{
    const uint16_t path[2] = {static_cast<uint16_t>(family), static_cast<uint16_t>(item - 1)};
    return g_VidChaseRes.entryCount(VIDRES_ANIM, path, 2);
}

void AnimLimits(int32_t family, int32_t item, int32_t *v, uint8_t *s)
{
    CHASECHANNEL *ch = g_aShapeChannels;
    const int32_t n = AnimCount(family, item);
    ch[SCH_ANIM].sMax = static_cast<int16_t>(n);
    if (v[SCH_ANIM] > n) {
        v[SCH_ANIM] = n;
        s[SCH_ANIM] = KEYSTATE_SET;
    }
    if (n > 0)
        ch[SCH_ANIMSPEED].sMax = 31;
}

bool GrowPositions(CHASE *chase, int32_t copies)
{
    const uint32_t bytes = static_cast<uint32_t>(copies) * 16;
    if (bytes <= chase->uExtraBytes)
        return true;
    void *grown = Sys_MemAlloc(nullptr, bytes);
    if (!grown)
        return false;
    std::memset(grown, 0, bytes);
    if (chase->pExtra)
        std::memcpy(grown, chase->pExtra, chase->uExtraBytes);
    Sys_MemFree(chase->pExtra);
    chase->pExtra = grown;
    chase->uExtraBytes = bytes;
    return true;
}

int32_t ShapeRead(CHASE *, int32_t, int32_t *v, int32_t)
{
    const CHASECHANNEL *ch = g_aShapeChannels;
    Vid_ReadFamilyItem(v, ch);
    if (v[SCH_ANIM] != 0) {
        int32_t folder = 0, entry = 0;
        v[SCH_ANIM] = Vid_ResFamilyItem(v[SCH_ANIM], &folder, &entry) ? entry : 0;
    }
    if (v[SCH_QUANTITY] != 0) {
        int32_t folder = 0, entry = 0;
        const bool found = Vid_ResFamilyItem(v[SCH_QUANTITY], &folder, &entry);
        v[SCH_QUANTITY] = found ? folder + 1 : ch[SCH_QUANTITY].sDefault;
        v[SCH_LAYOUT] = found ? entry : ch[SCH_LAYOUT].sDefault;
    }
    if (Vid_ChaseEditorOpen())
        Vid_FamilyItemLimits(&s_family, g_aShapeChannels, v, nullptr);
    return 0;
}

int32_t ShapeApply(CHASE *chase, int32_t, int32_t *v, uint8_t *s)
{
    CHASECHANNEL *ch = g_aShapeChannels;
    const bool editor = Vid_ChaseEditorOpen() != 0;
    if (!editor)
        s_bAnimSinceOpen = false;
    uint8_t all[VID_MAX_CHANNELS];
    if (!s) {
        std::memset(all, KEYSTATE_SET, sizeof all);
        s = all;
    }
    if (editor && (s[SCH_FAMILY] == KEYSTATE_SET || s[SCH_ITEM] == KEYSTATE_SET))
        Vid_FamilyItemLimits(&s_family, ch, v, s);
    if (editor && s[SCH_LAYOUT] == KEYSTATE_SET)
        LayoutLimits(v, s);
    if (s[SCH_ITEM] == KEYSTATE_SET || s[SCH_ANIM] == KEYSTATE_SET)
        s[SCH_FAMILY] = s[SCH_ITEM] = s[SCH_ANIM] = KEYSTATE_SET;
    if (s[SCH_LAYOUT] == KEYSTATE_SET)
        s[SCH_QUANTITY] = KEYSTATE_SET;

    // One quantity of one layout is a single copy at its own size.
    if (v[SCH_QUANTITY] == 1 && v[SCH_LAYOUT] == 1) {
        ch[SCH_SCALE].sMin = ch[SCH_SCALE].sMax = ch[SCH_SCALE].sDefault;
        if (v[SCH_SCALE] != ch[SCH_SCALE].sDefault) {
            v[SCH_SCALE] = ch[SCH_SCALE].sDefault;
            s[SCH_SCALE] = KEYSTATE_SET;
        }
    } else {
        ch[SCH_SCALE].sMin = 0;
        ch[SCH_SCALE].sMax = 7;
    }

    int32_t taken[3] = {0, 0, 0};
    auto refuse = [&]() {
        for (int32_t id : taken)
            if (id > 0)
                g_VidRes.releaseRef(id);
        // Earlier keys still play: the buffer stays, holding no positions.
        if (chase->pExtra)
            std::memset(chase->pExtra, 0, chase->uExtraBytes);
        return 0;
    };

    const int32_t family = v[SCH_FAMILY], item = v[SCH_ITEM];
    if (s[SCH_FAMILY] == KEYSTATE_SET) {
        if (!Vid_LoadFamilyItem(VIDRES_MODELS, v))
            return refuse();
        taken[0] = v[SCH_FAMILY];
        const int32_t prims = PrimitiveCount(static_cast<VIDOBJECT *>(g_VidChaseRes.data(taken[0])));
        const int32_t most = prims > 0 && 800 / prims < 32 ? 800 / prims : 32;
        ch[SCH_QUANTITY].sMax = static_cast<int16_t>(most < 1 ? 1 : most);
        if (v[SCH_QUANTITY] > ch[SCH_QUANTITY].sMax) {
            v[SCH_QUANTITY] = ch[SCH_QUANTITY].sMax;
            s[SCH_QUANTITY] = KEYSTATE_SET;
        }
        const uint16_t probe[2] = {static_cast<uint16_t>(family), static_cast<uint16_t>(item - 1)};
        if (!editor) {
            // Clamped against this model's own animations, not the range the editor left.
            const int32_t n = AnimCount(family, item);
            if (v[SCH_ANIM] > n)
                v[SCH_ANIM] = n;
        } else if (g_VidChaseRes.entrySize(VIDRES_ANIM, probe, 2) < 5) {
            ch[SCH_ANIM].sMax = ch[SCH_ANIMSPEED].sMax = 0;
            v[SCH_ANIM] = v[SCH_ANIMSPEED] = 0;
            s[SCH_ANIMSPEED] = KEYSTATE_SET;
        } else {
            AnimLimits(family, item, v, s);
            if (!s_bAnimSinceOpen) {
                v[SCH_ANIM] = ch[SCH_ANIM].sDefault;
                v[SCH_ANIMSPEED] = ch[SCH_ANIMSPEED].sDefault;
                s_bAnimSinceOpen = true;
            }
            v[SCH_ANIM] = Clamp16(v[SCH_ANIM], ch[SCH_ANIM].sMin, ch[SCH_ANIM].sMax);
            v[SCH_ANIMSPEED] = Clamp16(v[SCH_ANIMSPEED], ch[SCH_ANIMSPEED].sMin, ch[SCH_ANIMSPEED].sMax);
            s[SCH_ANIMSPEED] = KEYSTATE_SET;
        }
        s[SCH_ANIM] = KEYSTATE_SET;
    }

    if (s[SCH_QUANTITY] == KEYSTATE_SET) {
        const int32_t q = v[SCH_QUANTITY], l = v[SCH_LAYOUT];
        if (q < 1 || l < 1 || q > 0xFFFF || l > 0x10000 || !GrowPositions(chase, q)) {
            v[SCH_QUANTITY] = 0;
            return refuse();
        }
        const uint16_t path[2] = {static_cast<uint16_t>(q - 1), static_cast<uint16_t>(l - 1)};
        int32_t id = -1;
        if (!g_VidRes.load(VIDRES_LAYOUT, path, 2, &id) || id < 1) {
            v[SCH_QUANTITY] = 0;
            return refuse();
        }
        g_VidRes.addRef(id);
        taken[1] = v[SCH_QUANTITY] = id;
    }

    if (s[SCH_ANIM] == KEYSTATE_SET && v[SCH_ANIM] != 0) {
        int32_t id = -1;
        void *data = nullptr;
        if (v[SCH_ANIM] > 0 && item > 0) {
            const uint16_t path[3] = {static_cast<uint16_t>(family), static_cast<uint16_t>(item - 1),
                                      static_cast<uint16_t>(v[SCH_ANIM] - 1)};
            data = g_VidRes.load(VIDRES_ANIM, path, 3, &id);
        }
        if (!data || id < 1) {
            v[SCH_ANIM] = 0;
            return refuse();
        }
        g_VidRes.addRef(id);
        taken[2] = v[SCH_ANIM] = id;
    }
    return 1;
}

void ShapeRelease(CHASE *, const int32_t *v, uint32_t mask)
{
    if ((mask & 3) && v[SCH_FAMILY] > 0)
        g_VidRes.releaseRef(v[SCH_FAMILY]);
    if ((mask & 4) && v[SCH_ANIM] > 0)
        g_VidRes.releaseRef(v[SCH_ANIM]);
    if ((mask & 0x30) && v[SCH_QUANTITY] > 0)
        g_VidRes.releaseRef(v[SCH_QUANTITY]);
}

void ShapeInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    SHAPEPARAMS *p = Params(chase);
    p->pModel = a[SCH_FAMILY] > 0 ? static_cast<VIDOBJECT *>(g_VidChaseRes.data(a[SCH_FAMILY])) : nullptr;
    p->pAnim = a[SCH_ANIM] > 0 ? g_VidChaseRes.data(a[SCH_ANIM]) : nullptr;
    p->uCapacity = static_cast<uint16_t>(chase->uExtraBytes / 16);
    p->pPositions = static_cast<int32_t *>(chase->pExtra);
    const void *la = a[SCH_QUANTITY] > 0 ? g_VidChaseRes.data(a[SCH_QUANTITY]) : nullptr;
    int32_t n = la ? LayoutQuantity(a[SCH_QUANTITY]) : 0;
    const void *lb = nullptr;
    int32_t m = 0;
    if (w[SCH_QUANTITY] != 0 && b[SCH_QUANTITY] > 0) {
        lb = g_VidChaseRes.data(b[SCH_QUANTITY]);
        m = lb ? LayoutQuantity(b[SCH_QUANTITY]) : 0;
    }
    // Never more copies than the buffer holds (a refused key may have left it short).
    if (n > p->uCapacity)
        n = p->uCapacity;
    p->uCopies = static_cast<uint16_t>(n);
    const int32_t sa = g_aiShapeScale[a[SCH_SCALE] & 7];
    const int32_t s = w[SCH_SCALE] ? Vid_Blend(sa, g_aiShapeScale[b[SCH_SCALE] & 7], w[SCH_SCALE]) : sa;
    p->iScale = s;
    p->iAnimSpeed = Vid_Blend(a[SCH_ANIMSPEED] * 12, b[SCH_ANIMSPEED] * 12, w[SCH_ANIMSPEED]);
    for (int32_t i = 0; i < n; i++) {
        int32_t pt[3] = {0, 0, 0};
        g_VidChaseRes.point(la, i, i, 0, pt);
        if (n == m) {
            int32_t q[3] = {0, 0, 0};
            if (g_VidChaseRes.point(lb, i, i, 0, q) == 0)
                for (int32_t k = 0; k < 3; k++)
                    pt[k] = Vid_BlendDiff(pt[k], q[k], w[SCH_QUANTITY]);
        }
        for (int32_t k = 0; k < 3; k++)
            p->pPositions[i * 4 + k] = static_cast<int32_t>(static_cast<int64_t>(pt[k]) * s >> 12);
        p->pPositions[i * 4 + 3] = 0;
    }
}

void ShapeRender(CHASE *chase, VIDOBJECT *o)
{
    const SHAPEPARAMS *p = Params(chase);
    if (!p->pModel)
        return;
    o->flags |= p->pModel->flags | VIDOBJ_SOLID;
    o->pInstance = p->pModel->pInstance;
    o->pInstanceOffsets = p->pPositions;
    o->pImage = p->pModel->pImage;
    o->texture = p->pModel->texture;
    o->iInstanceCount = p->uCopies;
    o->uIndexCount = VertexCount(p->pModel);
    // The auto camera frames the copies whole: each copy's distance from the view line counts with
    // the model's own reach at this scale.
    static const int32_t origin[3] = {0, 0, 0};
    const int32_t reach = static_cast<int32_t>(int64_t{ModelRadius(p->pModel)} * p->iScale >> 12);
    for (int32_t i = 0; i < p->uCopies; i++) {
        const int32_t d = Sys_FxPointLineDistance(&p->pPositions[i * 4], g_aiShapeViewLine, origin) + reach;
        if (d > g_iSceneExtent)
            g_iSceneExtent = d;
    }
    if (p->pAnim) {
        o->pAnimation = p->pAnim;
        g_VidChaseRes.setAnimSpeed(p->pAnim, p->iAnimSpeed);
    }
}

void ShapeMark(int32_t value, int32_t channel, uint32_t *bitmap)
{
    if ((channel == SCH_FAMILY || channel == SCH_ANIM || channel == SCH_QUANTITY) && value >= 0 && bitmap)
        bitmap[value >> 5] |= 1u << (value & 31);
}

int32_t ShapePack(int32_t value, int32_t channel)
{
    if (channel != SCH_FAMILY && channel != SCH_ANIM && channel != SCH_QUANTITY)
        return value;
    return value < 1 ? -1 : g_VidRes.saveNumber(value);
}

int32_t ShapeRemap(CHASE *, int32_t *v, const void *loadMap)
{
    int32_t a = 0, b = 0;
    if (!Vid_ResFamilyItem(Vid_MapSavedRes(loadMap, v[SCH_FAMILY]), &a, &b)) {
        a = 0;
        b = 1;
    }
    v[SCH_FAMILY] = a;
    v[SCH_ITEM] = b;
    v[SCH_ANIM] = Vid_ResFamilyItem(Vid_MapSavedRes(loadMap, v[SCH_ANIM]), &a, &b) ? b : 0;
    if (Vid_ResFamilyItem(Vid_MapSavedRes(loadMap, v[SCH_QUANTITY]), &a, &b)) {
        v[SCH_QUANTITY] = a + 1;
        v[SCH_LAYOUT] = b;
    } else {
        v[SCH_QUANTITY] = 0;
        v[SCH_LAYOUT] = 1;
    }
    return 1;
}

void ShapePreview(CHASE *, const int32_t *values)
{
    if (!Vid_ChaseEditorOpen())
        return;
    int32_t v[VID_MAX_CHANNELS];
    std::memcpy(v, values, sizeof(int32_t) * 7);
    Vid_FamilyItemLimits(&s_family, g_aShapeChannels, v, nullptr);
    uint8_t s[VID_MAX_CHANNELS] = {};
    LayoutLimits(v, s);
}

} // namespace

CHASEDEF g_ShapeChaseDef = {
    1, 0, 0, CHASEKIND_PLAIN, sizeof(SHAPEPARAMS), sizeof(SHAPEPARAMS), 0, 7, g_aShapeChannels, nullptr, 0,
    ShapeRead, ShapeApply, ShapeInterpolate, ShapeRelease, ShapeRender,
    ShapeMark, ShapePack, ShapeRemap, nullptr, ShapePreview, 0,
};
