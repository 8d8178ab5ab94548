// STAND-IN for the song file's video chunks: see standin_clipimage.h.
#include "video/standin_clipimage.h"

#include "sequencer/songfile.h"
#include "video/chase.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/resformat.h"
#include "video/respages.h"

#include <cstring>

namespace {

void Put16(std::vector<uint8_t> &v, uint32_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t> &v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}
uint16_t U16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}
void Chunk(std::vector<uint8_t> &img, const char *tag, const std::vector<uint8_t> &body, uint32_t count)
{
    img.push_back(static_cast<uint8_t>(tag[0]));
    img.push_back(static_cast<uint8_t>(tag[1]));
    Put16(img, static_cast<uint32_t>((body.size() + 11) >> 2));
    Put32(img, count);
    img.insert(img.end(), body.begin(), body.end());
}

constexpr int32_t kMaxResIds = 65536;

} // namespace

std::vector<uint8_t> Vid_WriteClipImage(VIDCLIP *clip)
{
    if (!clip)
        return {};
    std::vector<CHASE *> chases;
    std::vector<uint16_t> refs;
    for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext) {
        size_t i = 0;
        while (i < chases.size() && chases[i] != e->pChase)
            i++;
        if (i == chases.size())
            chases.push_back(e->pChase);
        refs.push_back(static_cast<uint16_t>(i));
    }
    // Resources the keys use, numbered in tree order across the kinds.
    std::vector<uint32_t> used(kMaxResIds / 32, 0);
    for (CHASE *c : chases)
        for (const CHASEKEY *k = c->pKeys; k; k = k->pNext)
            for (int32_t ch = 0; ch < c->pDef->sChannelCount; ch++)
                if ((k->uMask >> ch & 1) && c->pDef->mark) {
                    const int32_t v = Vid_KeyValue(c, k, ch);
                    if (v >= 0 && v < kMaxResIds)
                        c->pDef->mark(v, ch, used.data());
                }
    int32_t counter = 0, next = 0;
    for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++)
        Vid_NumberResources(Vid_GetKindTree(Vid_GetKindRow(kind)), &counter, &next, used.data());
    std::vector<uint8_t> re(RESREF_SIZE * static_cast<size_t>(counter), 0);
    int32_t written = 0;
    for (int32_t kind = 0; kind < RES_KIND_COUNT && counter; kind++)
        if (Vid_WriteResRefs(Vid_GetKindTree(Vid_GetKindRow(kind)), re.data(), used.data(), &written) != 0)
            return {};
    if (written != counter)
        return {};

    std::vector<uint8_t> ch;
    for (CHASE *c : chases) {
        Put16(ch, c->pDef->uStoredId);
        ch.push_back(c->ucTrigA);
        ch.push_back(c->ucTrigB);
        ch.push_back(c->ucMode);
        ch.push_back(static_cast<uint8_t>(c->uKeyCount));
        ch.push_back(c->ucOption);
        ch.push_back(c->ucDuration);
        for (const CHASEKEY *k = c->pKeys; k; k = k->pNext) {
            Put16(ch, static_cast<uint16_t>(k->sTime));
            Put16(ch, k->uMask);
            for (int32_t n = 0; n < c->pDef->sChannelCount; n++)
                if (k->uMask >> n & 1) {
                    const int32_t v = Vid_KeyValue(c, k, n);
                    Put32(ch, static_cast<uint32_t>(c->pDef->pack ? c->pDef->pack(v, n) : v));
                }
        }
    }
    std::vector<uint8_t> cl;
    Put16(cl, static_cast<uint32_t>(refs.size()));
    Put16(cl, clip->uLabel);
    for (int32_t i = 0; i < 12; i++)
        cl.push_back(static_cast<uint8_t>(i < 11 ? clip->szName[i] : 0));
    for (uint16_t r : refs)
        Put16(cl, r);
    while (cl.size() & 3)
        cl.push_back(0);
    while (ch.size() & 3)
        ch.push_back(0);

    std::vector<uint8_t> img;
    const uint32_t present = 1u | 1u << (CHUNK_AU - 1) | 1u << (CHUNK_CN - 1) | 1u << (CHUNK_DS - 1) |
                             (counter ? 1u << (CHUNK_RE - 1) : 0) | 1u << (CHUNK_CH - 1) | 1u << (CHUNK_CL - 1);
    img.insert(img.end(), {'H', '2'});
    Put16(img, 3);
    Put32(img, static_cast<uint32_t>(SONG_FORMAT_VERSION) | present << 8);
    Put32(img, 0); // total, below
    img.insert(img.end(), {'A', 'U'});
    Put16(img, 1);
    img.insert(img.end(), 32, 0);
    img.insert(img.end(), {'C', 'N'});
    Put16(img, 7);
    img.insert(img.end(), 24, 0);
    std::vector<uint8_t> ds(SONG_DISC_RECORD, 0);
    std::memcpy(ds.data() + 1, "TONNIVELLE", 10);
    Chunk(img, "DS", ds, 1);
    if (counter)
        Chunk(img, "RE", re, static_cast<uint32_t>(counter));
    Chunk(img, "CH", ch, static_cast<uint32_t>(chases.size()));
    Chunk(img, "CL", cl, 1);
    const uint32_t total = static_cast<uint32_t>(img.size());
    for (int32_t i = 0; i < 4; i++)
        img[8 + i] = static_cast<uint8_t>(total >> (8 * i));
    return img;
}

int32_t Vid_ReadClipImageChunks(const uint8_t *image, size_t size)
{
    if (!image || size < 12)
        return SONGLOAD_UNREADABLE;
    const int32_t first = Seq_ChunkTypeOfTag(image);
    if (first != CHUNK_H2 && first != CHUNK_HE)
        return SONGLOAD_UNREADABLE;
    const size_t total = U32(image + 8);
    if (total > size || total < 12)
        return SONGLOAD_UNREADABLE;
    const uint8_t *chunk[SONG_CHUNK_TYPES] = {};
    uint32_t steps[SONG_CHUNK_TYPES] = {};
    size_t at = 0;
    while (at < total) {
        const int32_t type = Seq_ChunkTypeOfTag(image + at);
        const uint32_t step = Seq_ChunkStep(image + at, total - at, type);
        if (step == 0 || step > total - at)
            return SONGLOAD_UNREADABLE;
        if (type >= 0 && !chunk[type]) {
            chunk[type] = image + at;
            steps[type] = step;
        }
        at += step;
    }
    auto body = [&](int32_t type, uint32_t *count, size_t *bytes) -> const uint8_t * {
        const uint8_t *c = chunk[type];
        if (!c || steps[type] < 8)
            return nullptr;
        *bytes = steps[type] - 8;
        *count = U32(c + 4) >> 16 ? U16(c + 4) : U32(c + 4);
        return c + 8;
    };
    int32_t result = 0;
    uint32_t n = 0;
    size_t bytes = 0;
    // Resources by save number.
    std::vector<uint16_t> ids;
    if (const uint8_t *p = body(CHUNK_RE, &n, &bytes)) {
        if (static_cast<uint64_t>(n) * RESREF_SIZE > bytes)
            return SONGLOAD_UNREADABLE;
        for (uint32_t i = 0; i < n; i++) {
            const int32_t id = Vid_LoadSavedResRef(p + RESREF_SIZE * i);
            ids.push_back(id > 0 && id < 0xFFFF ? static_cast<uint16_t>(id) : 0xFFFF);
            if (id <= 0)
                result |= SONGLOAD_MISSING;
        }
    }
    const VIDLOADMAP map{ids.data(), static_cast<uint32_t>(ids.size()), SONG_FORMAT_VERSION};
    // Chases.
    std::vector<CHASE *> chases;
    const uint8_t *p = body(CHUNK_CH, &n, &bytes);
    const uint8_t *end = p ? p + bytes : nullptr;
    for (uint32_t i = 0; p && i < n; i++) {
        if (end - p < 8)
            return result | SONGLOAD_MISSING;
        const uint16_t stored = U16(p);
        const int32_t keys = p[5];
        const uint8_t *header = p;
        p += 8;
        const int32_t type = Vid_FindChaseType(stored);
        const CHASEDEF *def = type >= 0 ? Vid_GetChaseDef(type) : nullptr;
        CHASE *c = def ? Vid_NewChase(type) : nullptr;
        bool ok = c != nullptr;
        if (c) {
            c->ucTrigA = c->ucWorkTrigA = header[2];
            c->ucTrigB = c->ucWorkTrigB = header[3];
            c->ucMode = header[4];
            c->ucOption = header[6];
            c->ucDuration = header[7];
            c->uFlags |= CHASEFLAG_ANIMATE;
        }
        for (int32_t k = 0; k < keys; k++) {
            if (end - p < 4 || !def) {
                if (c)
                    Vid_FreeChase(c);
                return result | SONGLOAD_MISSING; // the rest cannot be stepped over
            }
            const int32_t time = U16(p);
            const uint16_t mask = U16(p + 2);
            p += 4;
            int32_t values[VID_MAX_CHANNELS] = {};
            uint8_t states[VID_MAX_CHANNELS] = {};
            for (int32_t ch = 0; ch < VID_MAX_CHANNELS; ch++) {
                if (!(mask >> ch & 1)) {
                    values[ch] = -1;
                    states[ch] = KEYSTATE_REMOVE;
                    continue;
                }
                if (ch >= def->sChannelCount || end - p < 4) {
                    Vid_FreeChase(c);
                    return result | SONGLOAD_MISSING;
                }
                values[ch] = static_cast<int32_t>(U32(p));
                states[ch] = KEYSTATE_SET;
                p += 4;
            }
            if (ok && def->remap)
                def->remap(c, values, &map);
            if (ok && (time > 255 || Vid_SetChaseKey(c, time, values, states) == 0))
                ok = false;
        }
        if (ok && !Vid_CompleteDefaultKey(c))
            ok = false;
        if (!ok) {
            if (c)
                Vid_FreeChase(c);
            c = nullptr;
            result |= SONGLOAD_MISSING;
        }
        chases.push_back(c);
    }
    // Clips.
    p = body(CHUNK_CL, &n, &bytes);
    end = p ? p + bytes : nullptr;
    for (uint32_t i = 0; p && i < n; i++) {
        if (end - p < 16)
            break;
        const int32_t count = static_cast<int16_t>(U16(p));
        const size_t item = 16 + 2 * static_cast<size_t>(count < 0 ? 0 : count + (count & 1));
        if (count < 1 || static_cast<size_t>(end - p) < item) {
            result |= SONGLOAD_MISSING;
            break;
        }
        VIDCLIP *clip = Vid_NewClip();
        if (!clip) {
            result |= SONGLOAD_MISSING;
            break;
        }
        std::memcpy(clip->szName, p + 4, 11);
        clip->szName[11] = 0;
        for (int32_t e = 0; e < count; e++) {
            const uint16_t r = U16(p + 16 + 2 * e);
            CHASE *c = r < chases.size() ? chases[r] : nullptr;
            if (!c || !Vid_AppendClipEntry(clip, c))
                result |= SONGLOAD_MISSING;
        }
        if (!clip->pFirst) {
            Vid_DestroyClip(clip);
        } else {
            g_pLoadedClip = clip;
        }
        p += item;
    }
    for (CHASE *c : chases)
        if (c && c->uRefCount == 0)
            Vid_FreeChase(c);
    return result;
}
