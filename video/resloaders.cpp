#include "video/resloaders.h"

#include "core/archive.h"
#include "core/idpool.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "video/respages.h"
#include "video/vidobject.h"
#include "video/vidobject.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

char g_szResErrorText[160];
int32_t g_bResUserImage = 0;
int32_t g_bSongUserImages = 0;

namespace {

uint16_t U16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t I16(const uint8_t *p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t *p, uint32_t v)
{
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

[[gnu::format(printf, 1, 2)]] void Refuse(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_szResErrorText, sizeof(g_szResErrorText), format, args);
    va_end(args);
}

RESMODEL *ModelOf(const VIDOBJECT *object)
{
    const MODELHOLDER *holder = Vid_GetModelInstance(object);
    return holder ? reinterpret_cast<RESMODEL *>(holder->model) : nullptr;
}

// Calls fn(group, record) for every primitive of groups first..last in order.
template <typename Fn> void ForEachPrimitive(RESMODEL *m, int32_t first, int32_t last, Fn fn)
{
    for (int32_t g = first; g <= last; g++)
        for (uint32_t r = 0; r < m->model.counts[g]; r++)
            if (!fn(g, m->bytes + (m->model.groups[g] - m->bytes) + static_cast<size_t>(r) * kResPrimSize[g]))
                return;
}

bool ParseNumber(const char *text, uint16_t *out)
{
    if (!*text)
        return false;
    uint32_t v = 0;
    for (const char *c = text; *c; c++) {
        if (*c < '0' || *c > '9')
            return false;
        v = v * 10 + static_cast<uint32_t>(*c - '0');
        if (v > 0xFFFF)
            return false;
    }
    *out = static_cast<uint16_t>(v);
    return true;
}

} // namespace

// ---- Models ----

RESMODEL *Vid_ParseModel(const uint8_t *file, size_t size)
{
    if (!file || size < RESMODEL_HEADER) {
        Refuse("model of %zu bytes is shorter than its %zu-byte header", size, RESMODEL_HEADER);
        return nullptr;
    }
    const int16_t v = I16(file + RESMODEL_VERTEX_COUNT);
    const int16_t n = I16(file + RESMODEL_NORMAL_COUNT);
    if (v <= 0 || n < 0) {
        Refuse("model has %d vertices and %d normals", v, n);
        return nullptr;
    }
    uint16_t counts[RESMODEL_GROUP_COUNT];
    uint32_t primitives = 0;
    for (int32_t g = 0; g < RESMODEL_GROUP_COUNT; g++) {
        counts[g] = U16(file + RESMODEL_GROUP_COUNTS + 2 * g);
        primitives += counts[g];
    }
    if (primitives == 0) {
        Refuse("model has no primitives");
        return nullptr;
    }
    const bool hasNormals = U32(file + RESMODEL_NORMALS) != 0 && n > 0;
    if (!hasNormals) {
        Refuse("model has no normals for its primitives");
        return nullptr;
    }
    // Offsets of every table as the counts lay them out; 64-bit so no count can wrap them.
    uint64_t at = RESMODEL_HEADER;
    const uint64_t vertexAt = at;
    at += 8ull * static_cast<uint64_t>(v);
    const uint64_t normalAt = at;
    at += 8ull * static_cast<uint64_t>(n);
    uint64_t groupAt[RESMODEL_GROUP_COUNT] = {};
    for (int32_t g = 0; g < RESMODEL_GROUP_COUNT; g++) {
        groupAt[g] = at;
        at += static_cast<uint64_t>(counts[g]) * kResPrimSize[g];
    }
    const bool low = counts[0] || counts[1] || counts[2] || counts[3];
    const int32_t base = low ? 0 : 4;
    const uint32_t indexCount = 3u * (counts[base] + counts[base + 2]) + 4u * (counts[base + 1] + counts[base + 3]);
    uint64_t uvAt[RESMODEL_UV_LAYER_COUNT] = {};
    bool uvPresent[RESMODEL_UV_LAYER_COUNT] = {};
    for (int32_t i = 0; i < RESMODEL_UV_LAYER_COUNT; i++) {
        uvPresent[i] = U32(file + RESMODEL_UV_LAYERS + 4 * i) != 0;
        if (uvPresent[i]) {
            uvAt[i] = at;
            at += 2ull * indexCount;
        }
    }
    if (at > size) {
        Refuse("model needs %llu bytes for its counts but the file holds %zu", static_cast<unsigned long long>(at),
               size);
        return nullptr;
    }
    // Every corner's vertex and normal inside its table.
    for (int32_t g = 0; g < RESMODEL_GROUP_COUNT; g++) {
        for (uint32_t r = 0; r < counts[g]; r++) {
            const uint8_t *p = file + groupAt[g] + static_cast<size_t>(r) * kResPrimSize[g];
            for (int32_t c = 0; c < kResPrimCorners[g]; c++) {
                if (U16(p + kResPrimVertices[g] + 2 * c) >= static_cast<uint16_t>(v)) {
                    Refuse("model primitive %u of group %d names vertex %u of %d", r, g,
                           U16(p + kResPrimVertices[g] + 2 * c), v);
                    return nullptr;
                }
            }
            for (int32_t c = 0; c < kResPrimNormalCount[g]; c++) {
                if (U16(p + kResPrimNormals[g] + 2 * c) >= static_cast<uint16_t>(n)) {
                    Refuse("model primitive %u of group %d names normal %u of %d", r, g,
                           U16(p + kResPrimNormals[g] + 2 * c), n);
                    return nullptr;
                }
            }
        }
    }

    RESMODEL *m = static_cast<RESMODEL *>(std::calloc(1, sizeof(RESMODEL) + size));
    if (!m) {
        Refuse("no memory for a model of %zu bytes", size);
        return nullptr;
    }
    m->bytes = reinterpret_cast<uint8_t *>(m + 1);
    std::memcpy(m->bytes, file, size);
    m->size = static_cast<uint32_t>(size);
    m->vertexCount = v;
    m->normalCount = n;
    m->indexCount = indexCount;
    m->flags = U32(file + RESMODEL_FLAGS) | RESMODEL_FLAG_LOADED;
    m->colour = U32(file + RESMODEL_COLOUR);
    Put32(m->bytes + RESMODEL_FLAGS, m->flags);

    MODEL &model = m->model;
    std::memcpy(model.engine, m->bytes, sizeof(model.engine));
    std::memcpy(model.counts, counts, sizeof(counts));
    model.vertices = m->bytes + vertexAt;
    model.vertexCount = static_cast<uint32_t>(v);
    model.normals = m->bytes + normalAt;
    model.normalCount = static_cast<uint32_t>(n);
    for (int32_t g = 0; g < RESMODEL_GROUP_COUNT; g++) {
        if (counts[g]) {
            model.groups[g] = m->bytes + groupAt[g];
            model.groupBytes[g] = counts[g] * kResPrimSize[g];
        }
    }
    for (int32_t i = 0; i < RESMODEL_UV_LAYER_COUNT; i++) {
        if (uvPresent[i] && indexCount) {
            model.uvTables[i] = m->bytes + uvAt[i];
            model.uvBytes[i] = 2 * indexCount;
        }
    }
    // Semi-transparent untextured triangles carry the mark in their packet code too.
    ForEachPrimitive(m, 0, 2, [](int32_t g, uint8_t *p) {
        if ((g == 0 || g == 2) && (U16(p + kResPrimFlags[g]) & RESPRIM_SEMITRANS))
            p[3] |= RESPRIM_SEMITRANS;
        return true;
    });
    return m;
}

RESMODEL *Vid_GetObjectModel(const VIDOBJECT *object)
{
    return ModelOf(object);
}

void Vid_ReleaseModelTextures(VIDOBJECT *object)
{
    RESMODEL *m = ModelOf(object);
    if (!m)
        return;
    uint32_t left = m->texturesHeld;
    ForEachPrimitive(m, 4, 7, [&](int32_t g, uint8_t *p) {
        if (left == 0)
            return false;
        Vid_ReleaseResRef(U16(p + kResPrimTexture[g]));
        left--;
        return true;
    });
    m->texturesHeld = 0;
}

int32_t Vid_LoadModelTextures(VIDOBJECT *object, int32_t kind, uint16_t firstIndex)
{
    RESMODEL *m = ModelOf(object);
    MODELHOLDER *holder = Vid_GetModelInstance(object);
    if (!m || !holder)
        return 0;
    const int32_t textureKind = kind == RES_MODELS ? RES_MODTEX : RES_BACKTEX;
    IMAGEREC *last = nullptr;
    bool ok = true;
    ForEachPrimitive(m, 4, 7, [&](int32_t g, uint8_t *p) {
        const uint16_t number = U16(p + kResPrimTexture[g]);
        const uint16_t path[2] = {firstIndex, number};
        int32_t id = -1;
        IMAGEREC *image = static_cast<IMAGEREC *>(Vid_LoadResource(textureKind, path, 2, &id));
        if (!image) {
            Refuse("model texture %u of folder %u is missing", number, firstIndex);
            ok = false;
            return false;
        }
        Vid_AddResRef(id);
        Put16(p + kResPrimTexture[g], static_cast<uint16_t>(id));
        m->texturesHeld++;
        for (int32_t c = 0; c < kResPrimCorners[g]; c++) {
            p[kResPrimFirstUV[g] + 4 * c] = static_cast<uint8_t>(p[kResPrimFirstUV[g] + 4 * c] + image->u);
            p[kResPrimFirstUV[g] + 4 * c + 1] = static_cast<uint8_t>(p[kResPrimFirstUV[g] + 4 * c + 1] + image->v);
        }
        uint16_t page = image->page;
        if (U16(p + kResPrimFlags[g]) & RESPRIM_SEMITRANS) {
            p[3] |= RESPRIM_SEMITRANS;
            page |= RESPRIM_TEXPAGE_RATE1;
        }
        Put16(p + kResPrimClut[g], image->clut);
        Put16(p + kResPrimTexPage[g], page);
        last = image;
        return true;
    });
    if (!ok) {
        // Every reference this model took goes back, not only those of the failing group.
        Vid_ReleaseModelTextures(object);
        return 0;
    }
    Vid_SetObjectImage(object, last);
    if (last)
        Gfx_SetMeshTexture(holder->mesh, last->texture);
    return 1;
}

void *Vid_LoadModelRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size)
{
    RESMODEL *m = Vid_ParseModel(static_cast<const uint8_t *>(data), size);
    std::free(data);
    if (!m)
        return nullptr;
    VIDOBJECT *object = Vid_NewObject();
    if (!object || Vid_NewModelInstance(object, &m->model) != 0) {
        Refuse("no memory for the model's object and mesh");
        std::free(m);
        Vid_DestroyObject(object);
        return nullptr;
    }
    object->flags = m->flags;
    object->colour[0] = static_cast<uint8_t>(m->colour);
    object->colour[1] = static_cast<uint8_t>(m->colour >> 8);
    object->colour[2] = static_cast<uint8_t>(m->colour >> 16);
    Vid_SetObjectIndexCount(object, m->indexCount);
    Vid_SetObjectImage(object, nullptr);
    if (!Vid_LoadModelTextures(object, kind, path && depth > 0 ? path[0] : 0)) {
        Vid_DestroyObject(object);
        return nullptr;
    }
    if (Gfx_BuildModelMesh(Vid_GetModelInstance(object)->mesh, &m->model) != 0) {
        Refuse("the model does not fit its mesh");
        Vid_ReleaseModelTextures(object);
        Vid_DestroyObject(object);
        return nullptr;
    }
    return object;
}

void Vid_FreeModelRes(int32_t, void *object, const uint16_t *, int32_t)
{
    VIDOBJECT *o = static_cast<VIDOBJECT *>(object);
    Vid_ReleaseModelTextures(o);
    Vid_DestroyObject(o);
}

// ---- Images ----

void *Vid_LoadImageRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size)
{
    const uint32_t flags = kind == RES_MAPTEX ? 48 : 16;
    IMAGEREC *image = nullptr;
    const bool user = g_bResUserImage || (g_bSongUserImages && kind == RES_MAPTEX && depth >= 2 && path[0] == 0);
    if (user) {
        const int32_t slot = depth >= 2 ? path[1] : -1;
        if (slot >= 0 && slot < USERIMAGE_SLOTS && g_pUserImages && g_pUserPalettes)
            image = Gfx_CreateUserImageArea(g_pUserImages + 8192 * slot, g_pUserPalettes + 768 * slot);
        else
            Refuse("no user image %d", slot);
    } else {
        image = Gfx_LoadImageData(static_cast<uint8_t *>(data), size, flags | 72, nullptr);
        if (!image)
            Refuse("image is not a TIM picture that fits its %u bytes, or texture memory is full", size);
    }
    std::free(data);
    if (image)
        image->page |= RESPRIM_TEXPAGE_RATE1;
    return image;
}

void Vid_FreeImageRes(int32_t, void *image, const uint16_t *, int32_t)
{
    IMAGEREC *rec = static_cast<IMAGEREC *>(image);
    if (!rec)
        return;
    if (rec->texture) {
        Gfx_FreeTexture(rec->texture);
        rec->texture = nullptr;
    }
    Gfx_FreeImageArea(rec);
}

// ---- Point lists ----

POINTLIST *Vid_ParsePointList(const uint8_t *file, size_t size)
{
    if (!file || size < RESPOINTS_HEADER) {
        Refuse("point list of %zu bytes is shorter than its header", size);
        return nullptr;
    }
    const uint32_t count = U32(file + RESPOINTS_COUNT);
    const uint32_t keyCount = U32(file + RESPOINTS_KEYS);
    if (count == 0 || count > (size - RESPOINTS_HEADER) / RESPOINT_SIZE) {
        Refuse("point list says %u points but holds room for %zu", count, (size - RESPOINTS_HEADER) / RESPOINT_SIZE);
        return nullptr;
    }
    uint32_t keys = 0;
    for (uint32_t i = 0; i < count; i++)
        if (U32(file + RESPOINTS_HEADER + RESPOINT_SIZE * i + 12) == RESPOINT_KEY)
            keys++;
    if (keys == 0 || keys != keyCount) {
        Refuse("point list says %u key points but holds %u", keyCount, keys);
        return nullptr;
    }
    const size_t bytes = sizeof(POINTLIST) + sizeof(RESPOINT) * count + sizeof(uint32_t) * keys;
    POINTLIST *list = static_cast<POINTLIST *>(std::calloc(1, bytes));
    if (!list) {
        Refuse("no memory for a point list of %u points", count);
        return nullptr;
    }
    list->count = count;
    list->keyCount = keys;
    list->closed = U32(file + RESPOINTS_CLOSED) != 0;
    list->points = reinterpret_cast<RESPOINT *>(list + 1);
    list->keys = reinterpret_cast<uint32_t *>(list->points + count);
    uint32_t k = 0;
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t *p = file + RESPOINTS_HEADER + RESPOINT_SIZE * i;
        RESPOINT &pt = list->points[i];
        pt.x = static_cast<int32_t>(U32(p));
        pt.y = static_cast<int32_t>(U32(p + 4));
        pt.z = static_cast<int32_t>(U32(p + 8));
        pt.kind = U32(p + 12);
        if (pt.kind == RESPOINT_KEY) {
            if (k > 0) {
                const uint32_t previous = list->keys[k - 1];
                list->points[previous].kind |= (i - previous - 1) * 2;
            }
            list->keys[k++] = i;
        }
    }
    RESPOINT &lastKey = list->points[list->keys[k - 1]];
    if (lastKey.kind == RESPOINT_KEY)
        lastKey.kind |= (count - list->keys[k - 1] - 1) * 2;
    return list;
}

void Vid_FreePointList(POINTLIST *list)
{
    std::free(list);
}

void *Vid_LoadPointListRes(int32_t, void *data, const uint16_t *, int32_t, uint32_t size)
{
    POINTLIST *list = Vid_ParsePointList(static_cast<const uint8_t *>(data), size);
    std::free(data);
    return list;
}

void Vid_FreePointListRes(int32_t, void *list, const uint16_t *, int32_t)
{
    Vid_FreePointList(static_cast<POINTLIST *>(list));
}

int32_t Vid_PointListAt(const POINTLIST *list, int32_t fromKey, int32_t toKey, int32_t t, RESPOINT *out)
{
    if (!list || !out || t < 0 || t > 4096 || list->keyCount == 0)
        return -1;
    const int64_t keys = list->keyCount;
    // Key numbers come from song data: 64-bit so that no negation or shift can overflow.
    int64_t from = fromKey, to = toKey;
    auto wrap = [keys](int64_t i) { return ((i % keys) + keys) % keys; };
    auto key = [list](int64_t k) -> const RESPOINT & { return list->points[list->keys[k]]; };
    if (from == to) {
        *out = key(wrap(from));
        return 0;
    }
    if (!list->closed) {
        to = to < 0 ? -to : to;
        // Reflect at the last key; a single key (2K - 2 - i would go negative) stays on it.
        auto reflect = [keys](int64_t i) -> int64_t {
            if (keys == 1)
                return 0;
            const int64_t period = 2 * keys - 2;
            i = ((i % period) + period) % period;
            return i >= keys ? period - i : i;
        };
        from = reflect(from);
        to = reflect(to);
    } else {
        if (to < from) {
            std::swap(from, to);
            t = 4096 - t;
        }
        const int64_t shift = wrap(from) - from;
        from += shift;
        to += shift;
    }
    if (from == to) {
        *out = key(from);
        return 0;
    }
    const int64_t d = to - from;
    const int64_t s = (static_cast<int64_t>(t) * d) >> 12;
    const int64_t f = (t - (s << 12) / d) * d;
    const int64_t k = wrap(s + from + keys);
    const uint32_t at = list->keys[k];
    const int64_t steps = static_cast<int64_t>(list->points[at].kind >> 1) + 1;
    int64_t j = (f * steps) >> 12;
    j = j < 0 ? 0 : (j >= steps ? steps - 1 : j);
    // The segment's points stay inside the list whatever its kind words say.
    const uint32_t aIndex = static_cast<uint32_t>(at + j) < list->count ? static_cast<uint32_t>(at + j) : at;
    const bool lastStep = j == steps - 1;
    const uint32_t bIndex = lastStep || aIndex + 1 >= list->count ? list->keys[wrap(k + 1)] : aIndex + 1;
    int64_t w = (f - (j << 12) / steps) * steps;
    w = w < 0 ? 0 : (w > 4096 ? 4096 : w);
    const RESPOINT &a = list->points[aIndex];
    const RESPOINT &b = list->points[bIndex];
    out->x = static_cast<int32_t>((a.x * (4096 - w) + b.x * w) >> 12);
    out->y = static_cast<int32_t>((a.y * (4096 - w) + b.y * w) >> 12);
    out->z = static_cast<int32_t>((a.z * (4096 - w) + b.z * w) >> 12);
    out->kind = a.kind;
    return 0;
}

// ---- Vertex-group animations ----

ANIMRES *Vid_LayoutLoadedDef(uint8_t *file, size_t size)
{
    if (!file || size < RESANIM_HEADER) {
        Refuse("animation of %zu bytes is shorter than its header", size);
        return nullptr;
    }
    const int16_t groups = I16(file + RESANIM_GROUP_COUNT);
    const int16_t frames = I16(file + RESANIM_FRAME_COUNT);
    const int16_t loopStart = I16(file + RESANIM_LOOP_START);
    const int16_t loopEnd = I16(file + RESANIM_LOOP_END);
    if (groups < 1 || groups > RESANIM_MAX_GROUPS || frames < 1) {
        Refuse("animation has %d groups and %d frames", groups, frames);
        return nullptr;
    }
    if (loopEnd <= loopStart) {
        // An empty loop would never wrap a time into it.
        Refuse("animation loop runs from %d to %d", loopStart, loopEnd);
        return nullptr;
    }
    const size_t arraysEnd = RESANIM_HEADER + ResAnimArraysBytes(groups);
    if (arraysEnd > size) {
        Refuse("animation's %d groups need %zu bytes but the file holds %zu", groups, arraysEnd, size);
        return nullptr;
    }
    ANIMGROUP table[RESANIM_MAX_GROUPS];
    for (int32_t g = 0; g < groups; g++) {
        const uint8_t *e = file + RESANIM_HEADER + RESANIM_GROUP_ENTRY * g;
        table[g].items = I16(e + RESANIM_GROUP_ITEMS);
        table[g].kind = U16(e + RESANIM_GROUP_KIND);
        table[g].bytes = U16(e + RESANIM_GROUP_BYTES);
        if (table[g].items < 0 || (table[g].kind != RESANIM_KIND_VERTICES && table[g].kind != RESANIM_KIND_SHORT) ||
            table[g].bytes != table[g].items * ResAnimItemSize(table[g].kind)) {
            Refuse("animation group %d: %d items of kind %u in %u bytes", g, table[g].items, table[g].kind,
                   table[g].bytes);
            return nullptr;
        }
    }
    // Walk the frames once to check them before anything is allocated.
    int32_t maxVertex = -1;
    size_t at = arraysEnd;
    const uint32_t allGroups = groups == 32 ? 0xFFFFFFFFu : (1u << groups) - 1;
    for (int32_t f = 0; f < frames; f++) {
        if (size - at < RESANIM_FRAME_HEAD) {
            Refuse("animation frame %d lies past the end of the file", f);
            return nullptr;
        }
        const uint32_t mask = U32(file + at + RESANIM_FRAME_MASK);
        if (mask & ~allGroups) {
            Refuse("animation frame %d names groups the file does not have", f);
            return nullptr;
        }
        size_t itemsAt = at + RESANIM_FRAME_HEAD;
        for (int32_t g = 0; g < groups; g++) {
            if (!(mask >> g & 1))
                continue;
            if (size - itemsAt < table[g].bytes) {
                Refuse("animation frame %d lies past the end of the file", f);
                return nullptr;
            }
            if (table[g].kind == RESANIM_KIND_VERTICES) {
                for (int32_t i = 0; i < table[g].items; i++) {
                    const int16_t vertex = I16(file + itemsAt + 8 * i + 6);
                    if (vertex < 0) {
                        Refuse("animation frame %d moves vertex %d", f, vertex);
                        return nullptr;
                    }
                    if (vertex > maxVertex)
                        maxVertex = vertex;
                }
            }
            itemsAt += table[g].bytes;
        }
        at = itemsAt;
    }

    const size_t G = static_cast<size_t>(groups), F = static_cast<size_t>(frames);
    const size_t bytes = sizeof(ANIMRES) + sizeof(ANIMFRAME) * F + sizeof(ANIMFRAME *) * 2 * G +
                         sizeof(ANIMGROUP) * G + sizeof(int32_t) * G + 8;
    uint8_t *block = static_cast<uint8_t *>(std::calloc(1, bytes));
    ANIMEXTRA *extra = static_cast<ANIMEXTRA *>(std::calloc(1, sizeof(ANIMEXTRA)));
    if (!block || !extra) {
        Refuse("no memory for an animation of %d frames", frames);
        std::free(block);
        std::free(extra);
        return nullptr;
    }
    ANIMRES *anim = reinterpret_cast<ANIMRES *>(block);
    uint8_t *p = block + sizeof(ANIMRES);
    anim->frames = reinterpret_cast<ANIMFRAME *>(p);
    p += sizeof(ANIMFRAME) * F;
    anim->from = reinterpret_cast<ANIMFRAME **>(p);
    p += sizeof(ANIMFRAME *) * G;
    anim->to = reinterpret_cast<ANIMFRAME **>(p);
    p += sizeof(ANIMFRAME *) * G;
    anim->factors = reinterpret_cast<int32_t *>(p);
    p += sizeof(int32_t) * G;
    anim->groups = reinterpret_cast<ANIMGROUP *>(p);
    std::memcpy(anim->groups, table, sizeof(ANIMGROUP) * G);
    anim->extra = extra;
    extra->speed = RESANIM_SPEED;
    anim->groupCount = groups;
    anim->frameCount = frames;
    anim->loopStart = loopStart;
    anim->loopEnd = loopEnd;
    anim->maxVertex = maxVertex;
    anim->file = file;
    anim->size = static_cast<uint32_t>(size);
    at = arraysEnd;
    for (size_t f = 0; f < F; f++) {
        ANIMFRAME &fr = anim->frames[f];
        fr.next = &anim->frames[(f + 1) % F];
        fr.prev = &anim->frames[(f + F - 1) % F];
        fr.mask = U32(file + at + RESANIM_FRAME_MASK);
        fr.time = U16(file + at + RESANIM_FRAME_TIME);
        fr.items = file + at + RESANIM_FRAME_HEAD;
        at += RESANIM_FRAME_HEAD;
        for (size_t g = 0; g < G; g++)
            if (fr.mask >> g & 1)
                at += table[g].bytes;
    }
    return anim;
}

const uint8_t *Vid_GroupItems(const ANIMRES *anim, const ANIMFRAME *frame, int32_t group)
{
    if (!anim || !frame || group < 0 || group >= anim->groupCount || !(frame->mask >> group & 1))
        return nullptr;
    const uint8_t *p = frame->items;
    for (int32_t g = 0; g < group; g++)
        if (frame->mask >> g & 1)
            p += anim->groups[g].bytes;
    return p;
}

void Vid_FreeAnim(ANIMRES *anim)
{
    if (!anim)
        return;
    std::free(anim->extra);
    std::free(anim->file);
    std::free(anim);
}

void *Vid_LoadAnimRes(int32_t, void *data, const uint16_t *, int32_t, uint32_t size)
{
    if (size < 5) {
        Refuse("animation of %u bytes: no animation", size);
        std::free(data);
        return nullptr;
    }
    ANIMRES *anim = Vid_LayoutLoadedDef(static_cast<uint8_t *>(data), size);
    if (!anim)
        std::free(data);
    return anim;
}

void Vid_FreeAnimRes(int32_t, void *anim, const uint16_t *, int32_t)
{
    Vid_FreeAnim(static_cast<ANIMRES *>(anim));
}

// ---- Text definitions ----

TEXTDEF *Vid_ParseTextDef(const uint8_t *file, size_t size)
{
    if (!file || size <= RESTEXTDEF_HEADER) {
        Refuse("text definition of %zu bytes holds no lines", size);
        return nullptr;
    }
    const size_t length = size - RESTEXTDEF_HEADER;
    TEXTDEF *def = static_cast<TEXTDEF *>(std::calloc(1, sizeof(TEXTDEF) + length + 1));
    if (!def) {
        Refuse("no memory for a text definition");
        return nullptr;
    }
    char *text = reinterpret_cast<char *>(def + 1);
    std::memcpy(text, file + RESTEXTDEF_HEADER, length);
    def->buffer = text;
    // Cuts the line that starts at *at and ends in end (CR or LF); false when it is missing.
    size_t at = 0;
    auto cut = [&](char end, bool lfFollows, bool lfOptional, char **line) {
        char *start = text + at;
        while (at < length && text[at] != end && text[at] != '\0')
            at++;
        if (at >= length || text[at] != end)
            return false;
        text[at++] = '\0';
        if (lfFollows) {
            if (at < length && text[at] == '\n')
                text[at++] = '\0';
            else if (!lfOptional)
                return false;
        }
        *line = start;
        return true;
    };
    char *lines[4] = {};
    if (!cut('\n', false, false, &lines[0]) || !cut('\r', true, false, &lines[1]) ||
        !cut('\r', true, false, &lines[2]) || !cut('\r', true, true, &lines[3]) ||
        !ParseNumber(lines[2], &def->first) || !ParseNumber(lines[3], &def->second)) {
        Refuse("text definition lacks its four lines or its two numbers");
        std::free(def);
        return nullptr;
    }
    def->text = lines[1];
    def->disc = g_pCurrentDisc ? g_pCurrentDisc->uNumber : 0;
    return def;
}

void Vid_FreeTextDef(TEXTDEF *def)
{
    std::free(def);
}

void *Vid_LoadTextDefRes(int32_t, void *data, const uint16_t *, int32_t, uint32_t size)
{
    TEXTDEF *def = Vid_ParseTextDef(static_cast<const uint8_t *>(data), size);
    std::free(data);
    return def;
}

void Vid_FreeTextDefRes(int32_t, void *def, const uint16_t *, int32_t)
{
    Vid_FreeTextDef(static_cast<TEXTDEF *>(def));
}

// ---- Installing ----

void Vid_InstallResLoaders()
{
    const uint8_t model = Vid_AddResCallbacks(Vid_LoadModelRes, Vid_FreeModelRes);
    const uint8_t image = Vid_AddResCallbacks(Vid_LoadImageRes, Vid_FreeImageRes);
    const uint8_t points = Vid_AddResCallbacks(Vid_LoadPointListRes, Vid_FreePointListRes);
    const uint8_t anim = Vid_AddResCallbacks(Vid_LoadAnimRes, Vid_FreeAnimRes);
    const uint8_t textdef = Vid_AddResCallbacks(Vid_LoadTextDefRes, Vid_FreeTextDefRes);
    const uint8_t slots[RES_KIND_COUNT] = {model, model, image, image, points, points, image,
                                           model, image, 0,     anim,  points, textdef};
    for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++)
        if (kind != RES_INSTRUMENT)
            g_aucResKindCallbacks[kind] = slots[kind];
    if (!g_pDiscPool)
        return;
    const int32_t highest = Sys_PoolHighestId(g_pDiscPool);
    for (int32_t id = 0; id <= highest; id++) {
        DISKNAMES *disc = static_cast<DISKNAMES *>(Sys_PoolGet(g_pDiscPool, id));
        if (!disc)
            continue;
        RESKINDROW *rows = reinterpret_cast<RESKINDROW *>(disc->abDiscData);
        for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++)
            if (kind != RES_INSTRUMENT)
                Vid_SetKindCallbacks(&rows[kind], slots[kind]);
    }
}
