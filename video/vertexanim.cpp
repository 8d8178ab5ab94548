#include "video/vertexanim.h"

#include "app/timers.h"
#include "core/console_memory.h"
#include "render/mesh.h"
#include "video/resloaders.h"
#include "video/vidobject.h"

int32_t g_iAnimTime = 0;

namespace {

bool Holds(const ANIMFRAME *f, int32_t g)
{
    return (f->mask >> g & 1) != 0;
}

int16_t I16(const uint8_t *p)
{
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

void Put16(uint8_t *p, int32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

void Vid_FindFromFrames(ANIMRES *anim, int32_t t)
{
    for (int32_t g = 0; g < anim->groupCount; g++) {
        ANIMFRAME *f = anim->from[g] ? anim->from[g] : &anim->frames[0];
        ANIMFRAME *found = nullptr;
        if (f->time < t) {
            ANIMFRAME *last = Holds(f, g) ? f : nullptr;
            // Forward while the next frame is still at or before t; a smaller time is the wrap.
            for (int32_t n = 0; n < anim->frameCount; n++) {
                ANIMFRAME *next = f->next;
                if (next->time < f->time || next->time > t)
                    break;
                f = next;
                if (Holds(f, g))
                    last = f;
            }
            found = Holds(f, g) && f->time <= t ? f : last;
        } else {
            for (int32_t n = 0; n < anim->frameCount; n++) {
                if (Holds(f, g) && f->time <= t) {
                    found = f;
                    break;
                }
                ANIMFRAME *prev = f->prev;
                if (prev->time > f->time)
                    break;
                f = prev;
            }
        }
        anim->from[g] = found;
    }
}

void Vid_FindToFrames(ANIMRES *anim, int32_t t)
{
    for (int32_t g = 0; g < anim->groupCount; g++) {
        ANIMFRAME *f = anim->to[g] ? anim->to[g] : &anim->frames[0];
        ANIMFRAME *found = nullptr;
        if (f->time > t) {
            // Back towards t, keeping the earliest holding frame not before it.
            found = Holds(f, g) ? f : nullptr;
            for (int32_t n = 0; n < anim->frameCount; n++) {
                ANIMFRAME *prev = f->prev;
                if (prev->time > f->time || prev->time < t)
                    break;
                f = prev;
                if (Holds(f, g))
                    found = f;
            }
        }
        if (!found) {
            for (int32_t n = 0; n < anim->frameCount; n++) {
                if (Holds(f, g) && f->time >= t) {
                    found = f;
                    break;
                }
                ANIMFRAME *next = f->next;
                if (next->time < f->time)
                    break;
                f = next;
            }
        }
        anim->to[g] = found;
    }
}

void Vid_ComputeFactors(ANIMRES *anim, int32_t t)
{
    for (int32_t g = 0; g < anim->groupCount; g++) {
        const ANIMFRAME *from = anim->from[g];
        const ANIMFRAME *to = anim->to[g];
        int32_t factor = 0;
        if (from && to && to->time != from->time) {
            factor = ((t - from->time) << 12) / (to->time - from->time);
            factor = factor < 0 ? 0 : (factor > 4096 ? 4096 : factor);
        }
        anim->factors[g] = factor;
    }
}

void Vid_CopyGroup(const uint8_t *items, int32_t count, uint8_t *vertices, uint32_t vertexCount)
{
    for (int32_t i = 0; i < count; i++, items += 8) {
        const int32_t v = I16(items + 6);
        // The animation is a file of its own: its indices are checked against this model.
        if (v < 0 || static_cast<uint32_t>(v) >= vertexCount)
            continue;
        uint8_t *dst = vertices + 8 * static_cast<size_t>(v);
        for (int32_t a = 0; a < 3; a++)
            Put16(dst + 2 * a, I16(items + 2 * a));
    }
}

void Vid_BlendGroup(const uint8_t *fromItems, const uint8_t *toItems, int32_t factor, int32_t count,
                    uint8_t *vertices, uint32_t vertexCount)
{
    for (int32_t i = 0; i < count; i++, fromItems += 8, toItems += 8) {
        const int32_t v = I16(fromItems + 6);
        if (v < 0 || static_cast<uint32_t>(v) >= vertexCount)
            continue;
        uint8_t *dst = vertices + 8 * static_cast<size_t>(v);
        for (int32_t a = 0; a < 3; a++) {
            const int32_t from = I16(fromItems + 2 * a);
            const int32_t to = I16(toItems + 2 * a);
            Put16(dst + 2 * a, from + ((to - from) * factor >> 12));
        }
    }
}

void Vid_ApplyAnimation(VIDOBJECT *object, ANIMRES *anim)
{
    MODELINSTANCE *holder = Vid_GetModelInstance(object);
    if (!holder || !holder->model || !holder->model->vertices)
        return;
    MODEL *model = holder->model;
    // The loaded model's bytes are its own copy, so the vertices may be rewritten in place.
    uint8_t *vertices = const_cast<uint8_t *>(model->vertices);
    for (int32_t g = 0; g < anim->groupCount; g++) {
        const ANIMGROUP &group = anim->groups[g];
        if (group.kind != RESANIM_KIND_VERTICES || !anim->from[g])
            continue;
        const uint8_t *from = Vid_GroupItems(anim, anim->from[g], g);
        const uint8_t *to = anim->to[g] ? Vid_GroupItems(anim, anim->to[g], g) : nullptr;
        if (!from)
            continue;
        if (to)
            Vid_BlendGroup(from, to, anim->factors[g], group.items, vertices, model->vertexCount);
        else
            Vid_CopyGroup(from, group.items, vertices, model->vertexCount);
    }
    if (holder->mesh)
        Gfx_UpdateModelMesh(holder->mesh, model);
}

int32_t Vid_AnimateObject(VIDOBJECT *object, int32_t time)
{
    auto *anim = object ? static_cast<ANIMRES *>(object->pAnimation) : nullptr;
    if (!anim || !anim->extra || anim->groupCount < 1 || anim->frameCount < 1)
        return time;
    const uint32_t frame = static_cast<uint32_t>(g_iFrameCount.load());
    if (anim->extra->stamp == frame)
        return time;
    anim->extra->stamp = frame;
    int64_t t = static_cast<int64_t>(time) + static_cast<int64_t>(anim->extra->speed) * g_ucFrameTick.load();
    const int64_t start = anim->loopStart, end = anim->loopEnd, len = end - start;
    if (len <= 0)
        return time; // the loader refuses empty loops; never spin on one
    if (t < start)
        t += (start - t + len - 1) / len * len;
    if (t > end)
        t -= (t - end + len - 1) / len * len;
    const int32_t at = static_cast<int32_t>(t);
    Vid_FindFromFrames(anim, at);
    Vid_FindToFrames(anim, at);
    Vid_ComputeFactors(anim, at);
    Vid_ApplyAnimation(object, anim);
    return at;
}
