#include "video/clips.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/idpool.h"
#include "video/chase.h"
#include "video/interp.h"
#include "video/lanes.h"
#include "video/triggers.h"
#include "video/vidobject.h"

IDPOOL *g_pVidClipPool = nullptr;
IDPOOL *g_pVidClipEntryPool = nullptr;
int32_t g_iClipCount = 0;
int32_t g_iClipHighestId = -1;
uint16_t g_iClipSerial = 0;
int32_t g_iClipNameCounter = 1;
VIDCLIP *g_pPreviewClip = nullptr;
VIDCLIP *g_pClipMenuClip = nullptr;
VIDCLIP *g_pClipMenuSource = nullptr;
VIDCLIP *g_apLanePlayingClip[7] = {};
VIDCLIP *g_pLoadedClip = nullptr;
uint8_t g_bClipPreview = 0;
uint8_t g_ucClipPreviewHold = 0;
char g_szClipNamePrefix[8] = "clip";

namespace {

constexpr int32_t kPaletteStoredId = 13;

VIDCLIPENTRY *NewEntry(CHASE *chase)
{
    if (!g_pVidClipEntryPool)
        return nullptr;
    int32_t id;
    auto *e = static_cast<VIDCLIPENTRY *>(Sys_PoolAlloc(g_pVidClipEntryPool, &id));
    if (!e)
        return nullptr;
    e->pNext = nullptr;
    e->pChase = Vid_AddChaseRef(chase);
    return e;
}

void SetLabel(VIDCLIP *clip, const CHASE *chase)
{
    clip->uLabel = chase && chase->pDef ? chase->pDef->uLabel : 0;
}

// Unlinks and frees the entry after prev (or the first when prev is null).
void DropEntry(VIDCLIP *clip, VIDCLIPENTRY *prev)
{
    VIDCLIPENTRY *e = prev ? prev->pNext : clip->pFirst;
    if (!e)
        return;
    if (prev)
        prev->pNext = e->pNext;
    else
        clip->pFirst = e->pNext;
    clip->sEntryCount--;
    CHASE *chase = e->pChase;
    Sys_PoolFree(g_pVidClipEntryPool, e);
    Vid_ReleaseChase(chase);
}

void ForgetClip(const VIDCLIP *clip)
{
    // The pointers below would dangle once the record is reused.
    if (g_pPreviewClip == clip)
        g_pPreviewClip = nullptr;
    if (g_pClipMenuClip == clip)
        g_pClipMenuClip = nullptr;
    if (g_pClipMenuSource == clip)
        g_pClipMenuSource = nullptr;
    if (g_pLoadedClip == clip)
        g_pLoadedClip = nullptr;
    for (VIDCLIP *&p : g_apLanePlayingClip)
        if (p == clip)
            p = nullptr;
    Vid_ForgetClipInGrids(clip);
}

void FourDigits(char *out, int32_t n)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04d", static_cast<int>(n % 10000));
    std::memcpy(out, buf, 4);
}

} // namespace

int Vid_InitClipPools()
{
    Vid_FreeClipPools();
    g_pVidClipPool = Sys_PoolCreate(5, sizeof(VIDCLIP), VID_CLIP_PAGES, 0, "VIDCLIP", nullptr);
    g_pVidClipEntryPool = Sys_PoolCreate(7, sizeof(VIDCLIPENTRY), VID_CLIPENTRY_PAGES, 0, "VIDCLIPENTRY", nullptr);
    g_iClipCount = 0;
    g_iClipHighestId = -1;
    g_iClipNameCounter = 1;
    return g_pVidClipPool && g_pVidClipEntryPool ? 0 : -1;
}

void Vid_FreeClipPools()
{
    if (g_pVidClipPool)
        for (int32_t id = Sys_PoolHighestId(g_pVidClipPool); id >= 0; id--)
            if (VIDCLIP *c = Vid_GetClip(id))
                Vid_DestroyClip(c);
    Sys_PoolDestroy(g_pVidClipPool);
    Sys_PoolDestroy(g_pVidClipEntryPool);
    g_pVidClipPool = g_pVidClipEntryPool = nullptr;
    g_iClipCount = 0;
    g_iClipHighestId = -1;
}

VIDCLIP *Vid_NewClip()
{
    if (!g_pVidClipPool)
        return nullptr;
    int32_t id;
    auto *clip = static_cast<VIDCLIP *>(Sys_PoolAlloc(g_pVidClipPool, &id));
    if (!clip)
        return nullptr;
    std::memset(clip, 0, sizeof *clip);
    clip->uSerial = g_iClipSerial++;
    std::snprintf(clip->szName, sizeof clip->szName, "clip%04d", static_cast<int>(g_iClipNameCounter % 10000));
    g_iClipNameCounter++;
    g_iClipCount++;
    if (id > g_iClipHighestId)
        g_iClipHighestId = id;
    return clip;
}

VIDCLIP *Vid_GetClip(int32_t id)
{
    return g_pVidClipPool ? static_cast<VIDCLIP *>(Sys_PoolGet(g_pVidClipPool, id)) : nullptr;
}

int32_t Vid_ClipId(const VIDCLIP *clip)
{
    return g_pVidClipPool && clip ? Sys_PoolIdOf(g_pVidClipPool, clip) : -1;
}

VIDCLIPENTRY *Vid_GetClipEntry(const VIDCLIP *clip, int32_t n)
{
    if (!clip)
        return nullptr;
    VIDCLIPENTRY *e = clip->pFirst;
    for (; e && n > 1; n--)
        e = e->pNext;
    return e;
}

CHASE *Vid_GetClipEntryChase(const VIDCLIP *clip, int32_t n)
{
    VIDCLIPENTRY *e = Vid_GetClipEntry(clip, n);
    return e ? e->pChase : nullptr;
}

VIDCLIP *Vid_AppendClipEntry(VIDCLIP *clip, CHASE *chase)
{
    if (!clip)
        return nullptr;
    VIDCLIPENTRY *e = NewEntry(chase);
    if (!e)
        return nullptr;
    if (!clip->pFirst) {
        clip->pFirst = e;
        SetLabel(clip, chase);
    } else {
        VIDCLIPENTRY *last = clip->pFirst;
        while (last->pNext)
            last = last->pNext;
        last->pNext = e;
    }
    clip->sEntryCount++;
    return clip;
}

VIDCLIP *Vid_InsertClipEntry(VIDCLIP *clip, CHASE *chase, int32_t n)
{
    if (!clip)
        return nullptr;
    VIDCLIPENTRY *after = nullptr;
    if (n > 0) {
        after = clip->pFirst;
        for (int32_t i = 1; after && i < n; i++)
            after = after->pNext;
        if (!after)
            return nullptr;
    }
    VIDCLIPENTRY *e = NewEntry(chase);
    if (!e)
        return nullptr;
    if (after) {
        e->pNext = after->pNext;
        after->pNext = e;
    } else {
        e->pNext = clip->pFirst;
        clip->pFirst = e;
        SetLabel(clip, chase);
    }
    clip->sEntryCount++;
    return clip;
}

VIDCLIP *Vid_InsertClipEntryAfterChase(VIDCLIP *clip, CHASE *chase, CHASE *after)
{
    if (!clip)
        return nullptr;
    int32_t n = 1;
    for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext, n++)
        if (e->pChase == after)
            return Vid_InsertClipEntry(clip, chase, n);
    return nullptr;
}

void Vid_RemoveClipEntry(VIDCLIP *clip, int32_t n)
{
    if (!clip || !clip->pFirst)
        return;
    VIDCLIPENTRY *prev = nullptr;
    for (int32_t i = 1; i < n; i++) {
        prev = prev ? prev->pNext : clip->pFirst;
        if (!prev || !prev->pNext)
            return;
    }
    DropEntry(clip, prev);
}

void Vid_RemoveChaseFromClip(VIDCLIP *clip, CHASE *chase)
{
    if (!clip)
        return;
    VIDCLIPENTRY *prev = nullptr;
    VIDCLIPENTRY *e = clip->pFirst;
    while (e) {
        if (e->pChase == chase) {
            DropEntry(clip, prev);
            e = prev ? prev->pNext : clip->pFirst;
        } else {
            prev = e;
            e = e->pNext;
        }
    }
}

VIDCLIP *Vid_AddClipRef(VIDCLIP *clip)
{
    if (clip)
        clip->uRefCount++;
    return clip;
}

void Vid_AddClipRefs(VIDCLIP *clip, int32_t n)
{
    if (!clip)
        return;
    const int64_t count = static_cast<int64_t>(clip->uRefCount) + n;
    if (count > 0) {
        clip->uRefCount = static_cast<uint32_t>(count);
        return;
    }
    clip->uRefCount = 1;
    Vid_ReleaseClip(clip);
}

void Vid_ReleaseClip(VIDCLIP *clip)
{
    if (!clip)
        return;
    if (clip->uRefCount <= 1) {
        clip->uRefCount = 0;
        Vid_DestroyClip(clip);
        return;
    }
    clip->uRefCount--;
}

void Vid_DestroyClip(VIDCLIP *clip)
{
    if (!clip || !g_pVidClipPool)
        return;
    ForgetClip(clip);
    while (clip->pFirst)
        DropEntry(clip, nullptr);
    const int32_t id = Vid_ClipId(clip);
    std::memset(clip, 0, sizeof *clip);
    if (Sys_PoolFree(g_pVidClipPool, clip) == 0)
        g_iClipCount--;
    if (id == g_iClipHighestId)
        g_iClipHighestId = Sys_PoolHighestId(g_pVidClipPool);
}

int32_t Vid_GetClipChaseType(const VIDCLIP *clip)
{
    return clip && clip->pFirst && clip->pFirst->pChase ? clip->pFirst->pChase->uType : -1;
}

int32_t Vid_GetClipStoredId(const VIDCLIP *clip)
{
    return clip && clip->pFirst && clip->pFirst->pChase && clip->pFirst->pChase->pDef
               ? clip->pFirst->pChase->pDef->uStoredId
               : 0;
}

void Vid_SetClipChaseFlag(VIDCLIP *clip)
{
    if (clip)
        for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
            if (e->pChase)
                e->pChase->uFlags |= CHASEFLAG_ANIMATE;
}

void Vid_ClearClipChaseFlag(VIDCLIP *clip)
{
    if (clip)
        for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
            if (e->pChase)
                e->pChase->uFlags &= ~static_cast<uint32_t>(CHASEFLAG_ANIMATE);
}

VIDCLIP *Vid_FindIdenticalClip(VIDCLIP *clip)
{
    const int32_t id = Vid_ClipId(clip);
    for (int32_t i = 0; i < id; i++) {
        VIDCLIP *other = Vid_GetClip(i);
        if (!other || other->sEntryCount != clip->sEntryCount)
            continue;
        const VIDCLIPENTRY *a = clip->pFirst, *b = other->pFirst;
        while (a && b && a->pChase == b->pChase) {
            a = a->pNext;
            b = b->pNext;
        }
        if (!a && !b)
            return other;
    }
    return clip;
}

VIDCLIP *Vid_CopySharedClip(VIDCLIP *clip)
{
    if (!clip)
        return nullptr;
    if (clip->uRefCount == 1)
        return clip;
    VIDCLIP *copy = Vid_NewClip();
    if (!copy)
        return nullptr;
    // The name stays terminated inside its 12 bytes, and a name shorter than 4 characters is
    // never read before its start.
    const int32_t length = static_cast<int32_t>(strnlen(clip->szName, sizeof clip->szName - 1));
    std::memset(copy->szName, 0, sizeof copy->szName);
    std::memcpy(copy->szName, clip->szName, static_cast<size_t>(length));
    bool digits = length >= 4;
    for (int32_t i = length - 4; digits && i < length; i++)
        digits = std::isdigit(static_cast<unsigned char>(clip->szName[i])) != 0;
    FourDigits(copy->szName + (digits ? length - 4 : (length < 7 ? length : 7)), g_iClipNameCounter++);
    copy->uLabel = clip->uLabel;
    for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext) {
        CHASE *c = Vid_CopyChase(e->pChase);
        if (!c || !Vid_AppendClipEntry(copy, c)) {
            if (c && c->uRefCount == 0)
                Vid_FreeChase(c);
            Vid_DestroyClip(copy);
            return nullptr;
        }
    }
    return copy;
}

VIDCLIP *Vid_GetListedClip(int32_t n)
{
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        VIDCLIP *c = Vid_GetClip(id);
        if (c && !(c->uFlags & CLIPFLAG_UNLISTED) && n-- == 0)
            return c;
    }
    return nullptr;
}

int32_t Vid_ClipNameExists(const char *name, int32_t length)
{
    if (!name || length < 0)
        return 0;
    if (length > 12)
        length = 12;
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        VIDCLIP *c = Vid_GetClip(id);
        if (c && !(c->uFlags & CLIPFLAG_UNLISTED) && std::strncmp(c->szName, name, static_cast<size_t>(length)) == 0)
            return 1;
    }
    return 0;
}

void Vid_DeleteClip(VIDCLIP *clip)
{
    if (!clip)
        return;
    // Blocks still showing the clip would point at a freed record. The clip is held meanwhile,
    // so that its last block does not destroy it before the rest is done.
    Vid_AddClipRef(clip);
    Vid_RemoveClipFromLanes(clip);
    Vid_DestroyClip(clip);
}

int32_t Vid_PurgeUnusedClips()
{
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    int32_t destroyed = 0;
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        VIDCLIP *c = Vid_GetClip(id);
        if (!c)
            continue;
        const uint32_t holders = (g_pPreviewClip == c) + (g_pClipMenuClip == c) + ((c->uOffset & CLIPOFFSET_MENUHELD) != 0);
        if (c->uRefCount <= holders) {
            Vid_DestroyClip(c);
            destroyed++;
        }
    }
    return destroyed;
}

void Vid_RenumberClipNames()
{
    int32_t n = 0;
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (VIDCLIP *c = Vid_GetClip(id)) {
            char name[32];
            std::snprintf(name, sizeof name, "%.7s%04d", g_szClipNamePrefix, static_cast<int>(n++ % 10000));
            std::memset(c->szName, 0, sizeof c->szName);
            std::memcpy(c->szName, name, strnlen(name, sizeof c->szName - 1));
        }
}

void Vid_TouchClipChases(VIDCLIP *)
{
    // The per-chase hook does nothing on this platform.
}

void Vid_SetClipPreview(int32_t on)
{
    g_bClipPreview = on ? 1 : 0;
    if (on)
        g_ucClipPreviewHold = 0;
}

void Vid_SetLanePlayingClip(VIDCLIP *clip, int32_t lane)
{
    if (lane >= 0 && lane < 7)
        g_apLanePlayingClip[lane] = clip;
}

void Vid_ClearLanePlayingClips()
{
    for (VIDCLIP *&c : g_apLanePlayingClip)
        c = nullptr;
}

void Vid_PlayLanes(int32_t step)
{
    g_bMovieFetched = 0;
    // Note levels fall once a frame, however many clips follow them.
    Vid_DecayNoteTriggers();
    if (g_apLanePlayingClip[5])
        Vid_PlayClip(g_apLanePlayingClip[5], step, 5);
    for (int32_t lane = 0; lane < 5; lane++)
        if (g_apLanePlayingClip[lane])
            Vid_PlayClip(g_apLanePlayingClip[lane], step, lane);
}

void Vid_PlayClip(VIDCLIP *clip, int32_t, int32_t lane)
{
    if (!clip || lane < 0 || lane >= VID_LANES)
        return;
    g_uPlayBlockOffset = clip->uOffset & CLIPOFFSET_MASK;
    g_uPlayBlockLength = clip->uFlags & CLIPFLAG_BLOCKLEN;
    VIDOBJECT *object = &g_aLaneSlots[lane];
    CHASE *palette = nullptr;
    for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext) {
        CHASE *c = e->pChase;
        if (!c)
            continue;
        if (c->pDef && c->pDef->uStoredId == kPaletteStoredId) {
            palette = c;
            continue;
        }
        Vid_UpdateChaseTime(c);
        Vid_EvaluateChase(c);
        Vid_RenderChase(c, object);
    }
    if (palette) {
        Vid_UpdateChaseTime(palette);
        Vid_EvaluateChase(palette);
        Vid_RenderChase(palette, object);
    }
}
