#include "video/laneobject.h"

#include "video/interp.h"

#include <cstring>

#include "core/idpool.h"
#include "core/random.h"
#include "render/ordertable.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "video/vidobject.h"

LANEOBJECT *g_apLaneObjects[4] = {};

namespace {

void FillLife(LANEOBJECT *o)
{
    const int32_t range = o->lifeRange > 0 ? o->lifeRange : 1;
    for (int32_t i = 0; i < 256; i++)
        o->lifeTable[i] = static_cast<uint8_t>(1 + Sys_Rand() % range);
}

void FillVelocity(LANEOBJECT *o)
{
    for (int32_t i = 0; i < 256; i++)
        o->velocityTable[i] =
            static_cast<int8_t>(o->spread > 0 ? Sys_Rand() % (2 * o->spread) - o->spread : 0);
}

void FreeObject(LANEOBJECT *o)
{
    if (!o)
        return;
    Sys_MemFree(o->particles);
    Sys_MemFree(o->parts);
    Sys_MemFree(o->lifeTable);
    Sys_MemFree(o->velocityTable);
    Sys_MemFree(o);
}

LANEOBJECT *Vid_BuildLaneObject(int32_t parts, int32_t total)
{
    auto *o = static_cast<LANEOBJECT *>(Sys_MemAlloc(nullptr, sizeof(LANEOBJECT)));
    if (!o)
        return nullptr;
    o->parts = static_cast<LANEOBJECTPART *>(Sys_MemAlloc(nullptr, sizeof(LANEOBJECTPART) * LANEOBJ_PARTS));
    o->lifeTable = static_cast<uint8_t *>(Sys_MemAlloc(nullptr, 256));
    o->velocityTable = static_cast<int8_t *>(Sys_MemAlloc(nullptr, 256));
    o->particles = static_cast<PARTICLE *>(Sys_MemAlloc(nullptr, static_cast<uint32_t>(sizeof(PARTICLE) * total)));
    if (!o->parts || !o->lifeTable || !o->velocityTable || !o->particles) {
        FreeObject(o);
        return nullptr;
    }
    o->total = total;
    o->lifeRange = 32;
    o->spread = 16;
    o->colour[3] = LANEOBJ_COLOUR_CODE;
    o->particleTexture = -1;
    o->headTexture = -1;
    // The whole sprite picture for both until a particle type picks its rectangles.
    const int16_t whole[4] = {0, 0, 128, 128};
    std::memcpy(o->spriteRect, whole, sizeof whole);
    std::memcpy(o->headRect, whole, sizeof whole);
    FillLife(o);
    FillVelocity(o);
    FIXMATRIX m;
    Sys_IdentityMatrix(&m);
    m.m[0][0] = m.m[1][1] = m.m[2][2] = 256;
    Sys_CoordInit(&o->coord, nullptr, &m, 0);
    Vid_SplitLaneObject(o, parts, 1);
    Vid_SpawnParticles(o);
    return o;
}

} // namespace

int32_t Vid_CreateLaneObject(int32_t index)
{
    if (index < 0 || index >= 4)
        return 0;
    Vid_FreeLaneObject(index);
    g_apLaneObjects[index] = Vid_BuildLaneObject(LANEOBJ_PARTS, LANEOBJ_PARTICLES);
    return g_apLaneObjects[index] ? 1 : 0;
}

void Vid_FreeLaneObject(int32_t index)
{
    if (index < 0 || index >= 4)
        return;
    FreeObject(g_apLaneObjects[index]);
    g_apLaneObjects[index] = nullptr;
}

void Vid_SetLaneObjectLife(LANEOBJECT *object, int32_t range)
{
    if (!object || range == object->lifeRange)
        return;
    object->lifeRange = range;
    FillLife(object);
}

void Vid_SetLaneObjectSpread(LANEOBJECT *object, int32_t spread)
{
    if (!object || spread == object->spread)
        return;
    object->spread = spread > 127 ? 127 : spread;
    FillVelocity(object);
}

void Vid_SetLaneObjectColour(LANEOBJECT *object, int32_t r, int32_t g, int32_t b)
{
    if (!object)
        return;
    object->colour[0] = static_cast<uint8_t>(r);
    object->colour[1] = static_cast<uint8_t>(g);
    object->colour[2] = static_cast<uint8_t>(b);
}

void Vid_SetLaneObjectTexture(LANEOBJECT *object, int32_t id, TEXTURE *image)
{
    if (!object || id == object->particleTexture)
        return;
    object->particleTexture = id;
    object->textureRecord = image;
    object->flags |= LANEOBJ_DRAWABLE;
}

void Vid_SetLaneObjectHeadTexture(LANEOBJECT *object, int32_t id, TEXTURE *image)
{
    if (!object || id == object->headTexture)
        return;
    object->headTexture = id;
    object->headTextureRecord = image;
}

void Vid_SplitLaneObject(LANEOBJECT *object, int32_t parts, int32_t)
{
    if (!object)
        return;
    if (parts > LANEOBJ_PARTS)
        parts = LANEOBJ_PARTS;
    if (parts < 1)
        parts = 1;
    object->partCount = parts;
    const int32_t each = object->total / parts;
    for (int32_t i = 0; i < LANEOBJ_PARTS; i++) {
        LANEOBJECTPART &p = object->parts[i];
        p.count = i < parts ? each : 0;
        p.particles = object->particles + (i < parts ? i * each : 0);
    }
}

void Vid_SpawnParticles(LANEOBJECT *object)
{
    if (!object)
        return;
    const VIDOBJECT *slot = object->slot;
    for (int32_t k = 0; k < object->partCount; k++) {
        LANEOBJECTPART &part = object->parts[k];
        int32_t e[3] = {};
        if (slot && slot->iInstanceCount > k && slot->pInstanceOffsets) {
            int32_t out[3];
            Sys_TransformLongVector(&slot->coord.world, slot->pInstanceOffsets + 4 * k, out);
            for (int i = 0; i < 3; i++)
                e[i] = (out[i] + slot->coord.world.t[i]) * 16;
        } else if (slot && slot->pInstanceParent) {
            for (int i = 0; i < 3; i++)
                e[i] = slot->pInstanceParent->local.t[i] * 16;
        }
        for (int i = 0; i < 3; i++)
            part.emitter[i] = e[i];
        // The hash runs over particle numbers, not addresses, so a run repeats exactly.
        for (int32_t n = 0; n < part.count; n++) {
            PARTICLE &pt = part.particles[n];
            if (pt.life >= 1)
                continue;
            uint8_t h = static_cast<uint8_t>((k * 211 + n) & 0xFF);
            pt.vel[0] = object->velocityTable[h];
            h ^= static_cast<uint8_t>(pt.pos[1]);
            pt.vel[1] = object->velocityTable[h];
            h ^= static_cast<uint8_t>(pt.pos[2]);
            pt.vel[2] = object->velocityTable[h];
            pt.life = object->lifeTable[h];
            for (int i = 0; i < 3; i++)
                pt.pos[i] = static_cast<int16_t>(e[i] & 0xFFFF);
            std::memcpy(pt.rgb, object->colour, 3);
        }
    }
}

void Vid_StepParticles(LANEOBJECT *object)
{
    if (!object)
        return;
    Vid_SpawnParticles(object);
    for (int32_t k = 0; k < object->partCount; k++) {
        LANEOBJECTPART &part = object->parts[k];
        for (int32_t n = 0; n < part.count; n++) {
            PARTICLE &pt = part.particles[n];
            for (int i = 0; i < 3; i++)
                pt.pos[i] = static_cast<int16_t>(pt.pos[i] + pt.vel[i]);
            pt.life--;
            if (pt.life < 4)
                for (uint8_t &c : pt.rgb)
                    c >>= 1;
        }
    }
}

namespace {

// A 0x2C sprite packet of the colour over a sprite rectangle (u, v, w, h).
void SpritePacket(PACKET_TEXTURED_QUAD_T &p, const uint8_t rgb[3], const int16_t rect[4])
{
    std::memset(&p, 0, sizeof p);
    p.head.length = 10;
    p.head.r = rgb[0];
    p.head.g = rgb[1];
    p.head.b = rgb[2];
    p.head.code = 0x2C;
    const uint8_t left = static_cast<uint8_t>(rect[0]), top = static_cast<uint8_t>(rect[1]);
    const uint8_t right = static_cast<uint8_t>(rect[0] + rect[2] - 1), bottom = static_cast<uint8_t>(rect[1] + rect[3] - 1);
    p.u0 = left;
    p.v0 = top;
    p.u1 = right;
    p.v1 = top;
    p.u2 = left;
    p.v2 = bottom;
    p.u3 = right;
    p.v3 = bottom;
}

} // namespace

int32_t Vid_DrawParticles(LANEOBJECT *object, void *, int32_t)
{
    if (!object)
        return 0;
    // The emitters follow the slot's place this frame.
    if (object->slot)
        Sys_CoordUpdateWorld(&object->slot->coord);
    Vid_StepParticles(object);
    if (!(object->flags & LANEOBJ_DRAWABLE))
        return 0;
    // Particles are kept at 16 times the scene's scale; the object's coordinates scale them
    // back, seen by the main camera.
    if (Sys_CoordUpdateWorld(&object->coord) != 0 || Sys_CoordLoadLocalScreen(&object->coord, &g_CameraCoord, 0) != 0)
        return 0;
    if (int32_t r = Gfx_BindTexture(object->textureRecord, 0, 1))
        return r;
    PACKET_TEXTURED_QUAD_T packet;
    for (int32_t k = 0; k < object->partCount; k++) {
        const LANEOBJECTPART &part = object->parts[k];
        for (int32_t n = 0; n < part.count; n++) {
            const PARTICLE &pt = part.particles[n];
            SpritePacket(packet, pt.rgb, object->spriteRect);
            if (int32_t r = Gfx_DrawQuad3D(pt.pos, 960, &packet.head))
                return r;
        }
    }
    // Additive squares sum the same in any order: the heads go last, with their own texture.
    if (object->headTextureRecord)
        if (int32_t r = Gfx_BindTexture(object->headTextureRecord, 0, 1))
            return r;
    static const uint8_t kHead[3] = {0x7F, 0x7F, 0x7F};
    for (int32_t k = 0; k < object->partCount; k++) {
        const LANEOBJECTPART &part = object->parts[k];
        const int16_t centre[3] = {static_cast<int16_t>(part.emitter[0]), static_cast<int16_t>(part.emitter[1]),
                                   static_cast<int16_t>(part.emitter[2])};
        SpritePacket(packet, kHead, object->headRect);
        if (int32_t r = Gfx_DrawQuad3D(centre, 1440, &packet.head))
            return r;
    }
    return 0;
}
