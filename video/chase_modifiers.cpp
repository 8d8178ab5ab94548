#include "video/chase_modifiers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/file.h"
#include "core/fixmath.h"
#include "core/padbind.h"
#include "render/mesh.h"
#include "render/texpages.h"
#include "video/chase.h"
#include "video/chasetypes.h"
#include "video/chaseshape.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/render.h"
#include "video/vidobject.h"
#include "video/vidtables.h"

uint8_t g_iLastLightSelected = 0;

namespace {

// ---- Methods shared by the types whose keys need no conversion ----
int32_t ReadNothing(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t AcceptKey(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void ReleaseNothing(CHASE *, const int32_t *, uint32_t) {}

template <typename T> T *Block(CHASE *chase)
{
    static_assert(sizeof(T) <= 0x7FFF);
    return reinterpret_cast<T *>(chase->pParams);
}

int32_t FirstStoredId(const VIDCLIP *clip)
{
    if (!clip || !clip->pFirst || !clip->pFirst->pChase || !clip->pFirst->pChase->pDef)
        return 0;
    return clip->pFirst->pChase->pDef->uStoredId;
}

// The angle b is reached from a the short way round: a + d with |d| smallest of the three.
int32_t ShortAngle(int32_t a, int32_t b, int32_t w)
{
    if (w == 0)
        return a;
    int32_t d = b - a;
    for (int32_t alt : {b + 4096 - a, b - 4096 - a})
        if (std::abs(alt) < std::abs(d))
            d = alt;
    return a + static_cast<int32_t>((static_cast<int64_t>(d) * w) >> 12);
}

int32_t Clamp(int32_t v, int32_t lo, int32_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// Pushes an object node on the object's lane (a group node first when grouped) with matrix m.
// The object hangs below the newest node, which goes between it and what was above it.
void PushNode(VIDOBJECT *object, const FIXMATRIX &m, int32_t grouped)
{
    COORD *node = Vid_PushTransformNode(Vid_SlotLane(object), VIDNODE_OBJECT, grouped);
    if (!node)
        return;
    std::memcpy(node->local.m, m.m, sizeof m.m);
    COORD *c = node;
    for (int32_t depth = 0; c && depth < FIX_COORD_MAX_DEPTH; c = c->parent, depth++)
        if (c->parent == &object->coord) {
            c->parent = nullptr;
            break;
        }
    object->coord.parent = node;
}

// ---- Rotation (3) ----
const CHASECHANNEL kRotationChannels[4] = {
    {2, 0, 71, 9, 2, nullptr, nullptr}, // "Axis"
    {1, 0, 1, 1, 3, nullptr, nullptr},  // "Moving"
    {8, 0, 31, 5, 2, nullptr, nullptr}, // "Speed"
    {1, 0, 1, 1, 3, nullptr, nullptr},  // "Grouped"
};

void RotationInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<ROTATIONPARAMS>(chase);
    const int32_t ra = Clamp(a[0], 0, 71), rb = w[0] ? Clamp(b[0], 0, 71) : ra;
    p->xAngle = ShortAngle(g_aRotationAxes[ra][0], g_aRotationAxes[rb][0], w[0]);
    p->zAngle = ShortAngle(g_aRotationAxes[ra][1], g_aRotationAxes[rb][1], w[0]);
    const int32_t sa = Clamp(a[2], 0, 31), sb = w[2] ? Clamp(b[2], 0, 31) : sa;
    if (a[1]) {
        p->step = Vid_MovingStep(Vid_BlendDiff(g_aiRotationSpin[sa], g_aiRotationSpin[sb], w[2]));
        p->spin = static_cast<uint16_t>(p->spin + p->step);
    } else {
        p->spin = static_cast<uint16_t>(Vid_Blend(a[2] * 256, b[2] * 256, w[2]));
        p->step = 0;
    }
    p->grouped = static_cast<uint8_t>(a[3] & 1);
}

void RotationRender(CHASE *chase, VIDOBJECT *object)
{
    const auto *p = Block<ROTATIONPARAMS>(chase);
    FIXMATRIX m;
    Sys_IdentityMatrix(&m);
    Sys_RotateMatrixY(p->spin & 4095, &m);
    Sys_RotateMatrixX(p->xAngle, &m);
    Sys_RotateMatrixZ(p->zAngle, &m);
    PushNode(object, m, p->grouped);
}

// Songs of format version 5 kept Grouped in bit 4 of Speed, at half the speed resolution.
int32_t RotationRemap(CHASE *, int32_t *values, const void *loadMap)
{
    const auto *map = static_cast<const VIDLOADMAP *>(loadMap);
    if (map && map->uVersion == 5) {
        values[3] = (values[2] >> 4) & 1;
        values[2] = (values[2] % 16) * 2;
    }
    return 1;
}

// ---- Scale (4) ----
const CHASECHANNEL kScaleChannels[4] = {
    {8, 0, 63, 6, 2, nullptr, nullptr}, // "X"
    {8, 0, 63, 6, 2, nullptr, nullptr}, // "Y"
    {8, 0, 63, 6, 2, nullptr, nullptr}, // "Z"
    {0, 0, 1, 1, 3, nullptr, nullptr},  // "Grouped"
};

void ScaleInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<SCALEPARAMS>(chase);
    for (int32_t i = 0; i < 3; i++)
        p->scale[i] = Vid_BlendScale(a[i], b[i], w[i]);
    p->grouped = static_cast<uint8_t>(a[3] & 1);
}

void ScaleRender(CHASE *chase, VIDOBJECT *object)
{
    const auto *p = Block<SCALEPARAMS>(chase);
    FIXMATRIX m{};
    for (int32_t i = 0; i < 3; i++)
        m.m[i][i] = static_cast<int16_t>(Clamp(p->scale[i], -32768, 32767));
    PushNode(object, m, p->grouped);
}

// ---- Colour (7) ----
const CHASECHANNEL kColourChannels[6] = {
    {15, 0, 127, 7, 2, nullptr, nullptr}, // "Colour"
    {1, 0, 1, 1, 3, nullptr, nullptr},    // "Model"
    {1, 0, 1, 1, 3, nullptr, nullptr},    // "Wireframe"
    {1, 0, 1, 1, 3, nullptr, nullptr},    // "Colour"
    {1, 0, 1, 1, 3, nullptr, nullptr},    // "Transp."
    {0, 0, 1, 1, 3, nullptr, nullptr},    // "Negative"
};

void ColourInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<COLOURPARAMS>(chase);
    uint8_t rgb[4];
    Vid_BlendChaseColour(a[0], b[0], w[0], CHASECOLOUR_DIRECT, rgb);
    for (int32_t i = 0; i < 3; i++)
        p->rgb[i] = rgb[i];
    p->switches = 0;
    for (int32_t i = 0; i < 5; i++)
        p->switches |= static_cast<uint8_t>((a[1 + i] & 1) << i);
}

void ColourRender(CHASE *chase, VIDOBJECT *object)
{
    const auto *p = Block<COLOURPARAMS>(chase);
    static const uint32_t kFlags[5] = {VIDOBJ_SOLID, VIDOBJ_OUTLINE, VIDOBJ_OUTLINE_RECOLOUR,
                                       VIDOBJ_OUTLINE_ADDITIVE, VIDOBJ_OUTLINE_INVERTED};
    for (int32_t i = 0; i < 5; i++) {
        if (p->switches >> i & 1)
            object->flags |= kFlags[i];
        else if (i == 0)
            object->flags &= ~VIDOBJ_SOLID;
    }
    for (int32_t i = 0; i < 3; i++)
        object->colour[i] = static_cast<uint8_t>(p->rgb[i]);
}

// ---- Spine switch (14) ----
const CHASECHANNEL kSpineChannels[2] = {
    {1, 0, 1, 1, 3, nullptr, nullptr}, // "Spine"
    {1, 0, 1, 1, 3, nullptr, nullptr}, // "Model"
};

void SpineInterpolate(CHASE *chase, const int32_t *a, const int32_t *, const int16_t *)
{
    *Block<uint8_t>(chase) = static_cast<uint8_t>((a[1] & 1) | (a[0] & 1) << 1);
}

void SpineRender(CHASE *chase, VIDOBJECT *object)
{
    const uint8_t s = *Block<uint8_t>(chase);
    if (s & 1)
        object->flags |= VIDOBJ_SOLID;
    else
        object->flags &= ~VIDOBJ_SOLID;
    if (s & 2)
        object->flags |= VIDOBJ_HUBLINES;
}

// ---- Visibility switches (18) ----
const CHASECHANNEL kVisibilityChannels[2] = {
    {1, 0, 1, 1, 3, nullptr, nullptr}, // "Model"
    {1, 0, 1, 1, 3, nullptr, nullptr}, // "Background"
};

void VisibilityInterpolate(CHASE *chase, const int32_t *a, const int32_t *, const int16_t *)
{
    auto *s = Block<uint16_t>(chase);
    s[0] = static_cast<uint16_t>(a[0] & 1);
    s[1] = static_cast<uint16_t>(a[1] & 1);
}

void VisibilityRender(CHASE *chase, VIDOBJECT *object)
{
    const auto *s = Block<uint16_t>(chase);
    if (s[0])
        object->flags |= VIDOBJ_INVERTED;
    if (s[1])
        object->flags |= 0x1000000u;
}

// ---- Lighting (8) ----
enum
{
    LCH_SELECT,
    LCH_SHOWN_A,
    LCH_SHOWN_B,
    LCH_B0 = 3, // value B (direction) of lights 0..2
    LCH_A0 = 6, // value A (colour) of lights 0..3
};

const CHASECHANNEL kLightingChannels[10] = {
    {3, 0, 3, 2, 2, nullptr, nullptr},    // "Light"
    {15, 0, 127, 0, 2, nullptr, nullptr}, // "Colour"
    {8, 0, 27, 0, 2, nullptr, nullptr},   // "Position"
    {8, 0, 27, 5, 8, nullptr, nullptr},   {7, 0, 27, 5, 8, nullptr, nullptr},
    {27, 0, 27, 5, 8, nullptr, nullptr},  {0, 0, 127, 7, 8, nullptr, nullptr},
    {0, 0, 127, 7, 8, nullptr, nullptr},  {0, 0, 127, 7, 8, nullptr, nullptr},
    {0, 0, 127, 7, 8, nullptr, nullptr},
};

int32_t LightingRead(CHASE *, int32_t, int32_t *values, int32_t)
{
    const int32_t s = values[LCH_SELECT];
    if (s < 0 || s > 3)
        return 0;
    values[LCH_SHOWN_A] = values[LCH_A0 + s];
    if (s < 3)
        values[LCH_SHOWN_B] = values[LCH_B0 + s];
    return 0;
}

int32_t LightingApply(CHASE *, int32_t, int32_t *values, uint8_t *states)
{
    const int32_t s = values[LCH_SELECT];
    const bool selectorSet = !states || states[LCH_SELECT] == KEYSTATE_SET;
    const bool changed = selectorSet && s != g_iLastLightSelected;
    if (selectorSet)
        g_iLastLightSelected = static_cast<uint8_t>(s);
    // A new selection only shows another light's values; nothing is stored with it.
    if (changed && states)
        return 1;
    if (s < 0 || s > 3)
        return 1;
    if (!states || states[LCH_SHOWN_A] == KEYSTATE_SET) {
        values[LCH_A0 + s] = values[LCH_SHOWN_A];
        if (states)
            states[LCH_A0 + s] = KEYSTATE_SET;
    }
    if (s < 3 && (!states || states[LCH_SHOWN_B] == KEYSTATE_SET)) {
        values[LCH_B0 + s] = values[LCH_SHOWN_B];
        if (states)
            states[LCH_B0 + s] = KEYSTATE_SET;
    }
    return 1;
}

int32_t LightingPack(int32_t value, int32_t)
{
    return value;
}

int32_t LightingRemap(CHASE *chase, int32_t *values, const void *)
{
    return LightingRead(chase, 0, values, VID_MAX_CHANNELS) == 0 ? 1 : 0;
}

// Position 27 (the third light's default) is one past the 27 directions: no direction.
void LightDirection(int32_t position, int32_t out[3])
{
    for (int32_t i = 0; i < 3; i++)
        out[i] = position >= 0 && position < 27 ? g_aLightPositions[position][i] : 0;
}

void LightingInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<LIGHTINGPARAMS>(chase);
    for (int32_t l = 0; l < 3; l++) {
        const int32_t c = LCH_B0 + l;
        int32_t pa[3], pb[3];
        LightDirection(a[c], pa);
        if (w[c] == 0) {
            std::memcpy(p->directions[l], pa, sizeof pa);
        } else {
            LightDirection(b[c], pb);
            int32_t out[3];
            Sys_BlendVectors(pa, pb, 4096 - w[c], w[c], out);
            std::memcpy(p->directions[l], out, sizeof out);
        }
        p->directions[l][3] = 0;
    }
    for (int32_t l = 0; l < 4; l++) {
        const int32_t c = LCH_A0 + l;
        uint8_t rgb[4];
        Vid_BlendChaseColour(a[c], b[c], w[c], CHASECOLOUR_DIRECT, rgb);
        for (int32_t i = 0; i < 3; i++)
            p->colours[l][i] = rgb[i];
    }
}

void LightingRender(CHASE *chase, VIDOBJECT *object)
{
    const auto *p = Block<LIGHTINGPARAMS>(chase);
    // The first lighting chase of the frame starts the object's lights from nothing; later ones
    // add to them.
    if (!object->uOwnLights) {
        std::memset(&object->mtxLight, 0, sizeof object->mtxLight);
        std::memset(&object->mtxLightColour, 0, sizeof object->mtxLightColour);
    }
    for (int32_t l = 0; l < 3; l++) {
        Vid_SetObjectLight(object, l, p->directions[l][0], p->directions[l][1], p->directions[l][2]);
        for (int32_t i = 0; i < 3; i++) {
            int32_t sum = object->mtxLightColour.m[i][l] + p->colours[l][i] * 16;
            if (sum > 32767 || sum < 0)
                sum = 32767;
            object->mtxLightColour.m[i][l] = static_cast<int16_t>(sum);
        }
    }
    // The colour matrix carries no translation; it holds the ambient colour.
    for (int32_t i = 0; i < 3; i++)
        object->mtxLightColour.t[i] = p->colours[3][i];
    object->uOwnLights = 1;
    object->flags |= 0x8u; // apply the object's own lights
}

// ---- Palette (13) ----
const CHASECHANNEL kPaletteChannels[9] = {
    {16, 0, 127, 7, 2, nullptr, nullptr}, // "Colour 1"
    {12, 0, 31, 5, 2, nullptr, nullptr},  // "Amount 1"
    {48, 0, 127, 7, 2, nullptr, nullptr}, // "Colour 2"
    {24, 0, 31, 5, 2, nullptr, nullptr},  // "Amount 2"
    {80, 0, 127, 7, 2, nullptr, nullptr}, // "Colour 3"
    {24, 0, 31, 5, 2, nullptr, nullptr},  // "Amount 3"
    {7, 0, 15, 4, 2, nullptr, nullptr},   // "Speed"
    {0, 0, 1, 1, 3, nullptr, nullptr},    // "Direction"
    {1, 0, 2, 3, 4, nullptr, nullptr},    // "Mode"
};

void PaletteInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<PALETTEPARAMS>(chase);
    p->tableMode = a[8] == 2 ? 1 : 0;
    int32_t step = Vid_Blend(a[6], b[6], w[6]) * 15 / 6;
    step = Vid_MovingStep(step);
    p->phase = static_cast<uint16_t>(((p->phase + step) % 256 + 256) % 256);
    if (p->tableMode)
        return;
    uint8_t colours[3][4];
    int32_t amounts[3];
    for (int32_t i = 0; i < 3; i++) {
        Vid_BlendChaseColour(a[2 * i], b[2 * i], w[2 * i], CHASECOLOUR_DIRECT, colours[i]);
        amounts[i] = Vid_Blend(a[2 * i + 1], b[2 * i + 1], w[2 * i + 1]);
    }
    if (amounts[0] + amounts[1] + amounts[2] <= 0) {
        std::memset(p->ramp, 0, sizeof p->ramp);
        return;
    }
    Sys_GradientColourAt(colours[0], colours[1], colours[2], amounts[0], amounts[1], amounts[2], p->phase, p->ramp);
    if (a[8] == 0)
        p->ramp[0] = p->ramp[1] = 0;
}

void PaletteRender(CHASE *chase, VIDOBJECT *object)
{
    auto *p = Block<PALETTEPARAMS>(chase);
    if (p->tableMode) {
        // The model's own texture colours turn round by the phase.
        const IMAGEREC *image = object->pImage;
        if (image && image->palette)
            for (int32_t i = 0; i < 256; i++)
                p->ramp[i] = image->palette[(i + p->phase) & 255];
    }
    object->pColourTable = p->ramp;
    if (object->pInstance && object->pInstance->mesh)
        Gfx_SetMeshTexturePalette(object->pInstance->mesh, p->ramp);
    object->flags |= 0x20000000u;
}

int32_t PaletteApply(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}

} // namespace

// ---- Particle (9): interpolation and render ----
void Vid_ParticleInterpolate(CHASE *chase, const int32_t *a, const int32_t *b, const int16_t *w)
{
    auto *p = Block<PARTICLEPARAMS>(chase);
    const int32_t *ra = g_aiParticleTypes[Clamp(a[0], 0, VID_PARTICLE_TYPES - 1)];
    const int32_t *rb = w[0] ? g_aiParticleTypes[Clamp(b[0], 0, VID_PARTICLE_TYPES - 1)] : ra;
    p->spread = ra[0] == rb[0] ? ra[0] : Vid_Blend(ra[0], rb[0], w[0]);
    p->life = ra[1] == rb[1] ? ra[1] : Vid_Blend(ra[1], rb[1], w[0]);
    p->size = static_cast<int16_t>(ra[2]);
    p->headSize = static_cast<int16_t>(ra[4]);
    const uint8_t *ca = g_aucParticleColours[Vid_ParticleColourOf(ra) % VID_PARTICLE_COLOURS];
    const uint8_t *cb = g_aucParticleColours[Vid_ParticleColourOf(rb) % VID_PARTICLE_COLOURS];
    for (int32_t i = 0; i < 3; i++)
        p->rgb[i] = static_cast<uint8_t>(ca[i] == cb[i] ? ca[i] : Vid_Blend(ca[i], cb[i], w[0]));
    p->spriteRect = Vid_ParticleRectOf(ra);
    p->headWord = ra[3] >> 16;
    p->texture = a[4];
    p->textureData = a[4] > 0 ? Vid_GetResData(a[4]) : nullptr;

    // Positions: the layout's points, morphed towards the next key's layout of the same count.
    const auto *la = a[1] > 0 ? static_cast<const POINTLIST *>(Vid_GetResData(a[1])) : nullptr;
    const auto *lb = w[1] && b[1] > 0 ? static_cast<const POINTLIST *>(Vid_GetResData(b[1])) : nullptr;
    p->count = 0;
    if (!la || !la->points)
        return;
    if (lb && (lb->count != la->count || !lb->points))
        lb = nullptr;
    const int32_t n = std::min<int32_t>(static_cast<int32_t>(la->count), 32);
    const int32_t sa = g_aiShapeScale[Clamp(a[3], 0, 7)];
    const int32_t sb = w[3] ? g_aiShapeScale[Clamp(b[3], 0, 7)] : sa;
    const int32_t scale = Vid_Blend(sa, sb, w[3]);
    for (int32_t i = 0; i < n; i++) {
        const RESPOINT &pa = la->points[i];
        int32_t v[3] = {pa.x, pa.y, pa.z};
        if (lb) {
            const RESPOINT &pb = lb->points[i];
            const int32_t vb[3] = {pb.x, pb.y, pb.z};
            for (int32_t k = 0; k < 3; k++)
                v[k] = Vid_BlendDiff(v[k], vb[k], w[1]);
        }
        for (int32_t k = 0; k < 3; k++)
            p->positions[i][k] = static_cast<int32_t>((static_cast<int64_t>(v[k]) * scale) >> 12);
        p->positions[i][3] = 0;
    }
    p->count = n;
}

void Vid_ParticleRender(CHASE *chase, VIDOBJECT *object)
{
    auto *p = Block<PARTICLEPARAMS>(chase);
    object->flags |= VIDOBJ_LANEOBJECT;
    const int32_t index = g_iLaneObjectCounter;
    if (index >= 4)
        return;
    g_iLaneObjectCounter++;
    object->ucLaneObject = static_cast<uint8_t>(index);
    if (!g_apLaneObjects[index] && !Vid_CreateLaneObject(index))
        return;
    LANEOBJECT *o = g_apLaneObjects[index];
    o->slot = object;
    Vid_SetLaneObjectLife(o, std::max(1, p->life));
    Vid_SetLaneObjectSpread(o, std::max(1, p->spread));
    Vid_SetLaneObjectColour(o, p->rgb[0], p->rgb[1], p->rgb[2]);
    const int32_t rect = p->spriteRect % VID_SPRITE_RECTS, head = (p->headWord & 0xFF) % VID_SPRITE_RECTS;
    // The table's rectangles are in the 32-texel sprite; the lane object's in 128ths of it.
    for (int32_t i = 0; i < 4; i++) {
        o->spriteRect[i] = static_cast<int16_t>(g_asSpriteRects[rect][i] * 4);
        o->headRect[i] = static_cast<int16_t>(g_asSpriteRects[head][i] * 4);
    }
    const auto *image = static_cast<const IMAGEREC *>(p->textureData);
    if (image) {
        Vid_SetLaneObjectTexture(o, p->texture, image->texture);
        Vid_SetLaneObjectHeadTexture(o, p->texture, image->texture);
    }
    object->pInstanceOffsets = p->count ? &p->positions[0][0] : nullptr;
    object->iInstanceCount = p->count;
    for (int32_t i = 0; i < p->count; i++) {
        const int32_t d = std::max({std::abs(p->positions[i][0]), std::abs(p->positions[i][1]),
                                    std::abs(p->positions[i][2])});
        Vid_RaiseSceneExtent(d);
    }
    // A new count of emitters takes the particles apart again.
    const int32_t parts = std::clamp(p->count, 1, LANEOBJ_PARTS);
    if (o->partCount != parts)
        Vid_SplitLaneObject(o, parts, 1);
}

// ---- Tables, palette ----
void Vid_FillModifierTables()
{
    for (int32_t a = 0; a < 72; a++) {
        g_aRotationAxes[a][0] = 1024 - (a % 9) * 512;
        g_aRotationAxes[a][1] = (a / 9) * 512;
    }
    for (int32_t s = 0; s < 32; s++)
        g_aiRotationSpin[s] = s * 5;
    for (int32_t i = 0; i < 27; i++) {
        const int32_t p[3] = {(i % 3 - 1) * 4096, (i / 3 % 3 - 1) * 4096, (i / 9 - 1) * 4096};
        if (p[0] || p[1] || p[2])
            Sys_FxNormaliseToShort(p, g_aLightPositions[i]);
        else
            g_aLightPositions[i][0] = g_aLightPositions[i][1] = g_aLightPositions[i][2] = 0;
    }
}

int32_t Vid_LoadChasePalette()
{
    uint8_t *colours = Gfx_ReadTexturePalette("BOOT\\PALETTE.PAL", 128);
    if (!colours)
        return -1;
    for (int32_t i = 0; i < 128; i++) {
        std::memcpy(g_aChasePalette[i], colours + 4 * i, 3);
        g_aChasePalette[i][3] = 0;
    }
    std::free(colours);
    return 0;
}

void Vid_RaiseSceneExtent(int32_t distance)
{
    if (distance > g_iSceneExtent)
        g_iSceneExtent = distance;
}

int32_t Vid_SlotLane(const void *object)
{
    const auto *o = static_cast<const VIDOBJECT *>(object);
    for (int32_t lane = 0; lane < VID_LANES; lane++)
        if (o == &g_aLaneSlots[lane])
            return lane;
    return -1;
}

// ---- mix ----
int32_t Vid_MixTransform(CHASE *chase, VIDCLIP *clip, int32_t)
{
    const int32_t first = FirstStoredId(clip);
    if (chase && chase->pDef && chase->pDef->uStoredId == 5 && first == 2)
        return 0;
    if (first == 19)
        return 0;
    if (!clip || clip->sEntryCount < 17)
        return 1;
    int32_t transforms = 0;
    for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
        if (e->pChase && e->pChase->pDef && e->pChase->pDef->uStoredId >= 3 && e->pChase->pDef->uStoredId <= 5)
            transforms++;
    return transforms >= 16 ? 0 : 1;
}

int32_t Vid_MixScreenEffect(CHASE *chase, VIDCLIP *clip, int32_t)
{
    if (!clip || !chase || !chase->pDef)
        return 1;
    for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
        if (e->pChase && e->pChase->pDef && e->pChase->pDef->uStoredId == chase->pDef->uStoredId)
            return 0;
    return 1;
}

int32_t Vid_MixNotBehindParticle(CHASE *, VIDCLIP *clip, int32_t)
{
    return FirstStoredId(clip) == 9 ? 0 : 1;
}

int32_t Vid_MixSpine(CHASE *, VIDCLIP *clip, int32_t)
{
    const int32_t first = FirstStoredId(clip);
    return first == 9 || first == 19 ? 0 : 1;
}

// ---- Descriptors ----
CHASEDEF g_RotationChaseDef = {
    3, 0, 0, CHASEKIND_MOD, sizeof(ROTATIONPARAMS), sizeof(ROTATIONPARAMS), 0, 4, kRotationChannels, nullptr, 0,
    ReadNothing, AcceptKey, RotationInterpolate, ReleaseNothing, RotationRender,
    nullptr, nullptr, RotationRemap, Vid_MixTransform, nullptr, 0,
};
CHASEDEF g_ScaleChaseDef = {
    4, 0, 0, CHASEKIND_MOD, sizeof(SCALEPARAMS), sizeof(SCALEPARAMS), 0, 4, kScaleChannels, nullptr, 0,
    ReadNothing, AcceptKey, ScaleInterpolate, ReleaseNothing, ScaleRender,
    nullptr, nullptr, nullptr, Vid_MixTransform, nullptr, 0,
};
CHASEDEF g_ColourChaseDef = {
    7, 0, 0, CHASEKIND_MOD, sizeof(COLOURPARAMS), sizeof(COLOURPARAMS), 0, 6, kColourChannels, nullptr, 0,
    ReadNothing, AcceptKey, ColourInterpolate, ReleaseNothing, ColourRender,
    nullptr, nullptr, nullptr, Vid_MixNotBehindParticle, nullptr, 0,
};
CHASEDEF g_LightingChaseDef = {
    8, 0, 0, CHASEKIND_MOD, sizeof(LIGHTINGPARAMS), sizeof(LIGHTINGPARAMS), 0, 10, kLightingChannels, nullptr, 0,
    LightingRead, LightingApply, LightingInterpolate, ReleaseNothing, LightingRender,
    nullptr, LightingPack, LightingRemap, nullptr, nullptr, 0,
};
CHASEDEF g_PaletteChaseDef = {
    13, 0, 0, CHASEKIND_MOD, sizeof(PALETTEPARAMS), sizeof(PALETTEPARAMS), 0, 9, kPaletteChannels, nullptr, 0,
    ReadNothing, PaletteApply, PaletteInterpolate, ReleaseNothing, PaletteRender,
    nullptr, nullptr, nullptr, Vid_MixNotBehindParticle, nullptr, 0,
};
CHASEDEF g_SpineChaseDef = {
    14, 0, 0, CHASEKIND_MOD, 1, 1, 0, 2, kSpineChannels, nullptr, 0,
    ReadNothing, AcceptKey, SpineInterpolate, ReleaseNothing, SpineRender,
    nullptr, nullptr, nullptr, Vid_MixSpine, nullptr, 0,
};
CHASEDEF g_VisibilityChaseDef = {
    18, 0, 0, CHASEKIND_MOD, 4, 4, 0, 2, kVisibilityChannels, nullptr, 0,
    ReadNothing, AcceptKey, VisibilityInterpolate, ReleaseNothing, VisibilityRender,
    nullptr, nullptr, nullptr, nullptr, nullptr, 0,
};
