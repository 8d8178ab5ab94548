#include "video/lanes.h"

#include <cstring>

#include "app/timers.h"
#include "core/idpool.h"
#include "render/userimages.h"
#include "sequencer/playback.h"
#include "sequencer/undo.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/laneobject.h"
#include "sequencer/instruments.h"

IDPOOL *g_pLaneBlockPool = nullptr;
VIDLANEBLOCK g_aVideoLanes[VID_LANE_COUNT];
uint8_t g_abLaneHighWater[VID_LANE_COUNT];
int32_t g_aiLaneObjectUse[4];
uint8_t g_bLaneObjectHold = 0;
uint8_t g_bLaneObjectFailed = 0;
CLIPGRID g_aClipGrid[2];
int32_t g_iClipGridCurrent = 0;
int32_t g_iVideoEnd = 0;
std::atomic<int32_t> g_iVideoPosition{0};
std::atomic<uint32_t> g_uiLaneMuteMask{0};
std::atomic<uint8_t> g_bLanesChanged{0};
int32_t g_iLaneUpdateMode = 0;

namespace {

constexpr int32_t kParticleStoredId = 9;

enum
{
    CACHE_INSERT = 1,
    CACHE_LOOKUP = 2,
    CACHE_CUT = 4,
};

struct LANECACHE
{
    int32_t position;
    VIDLANEBLOCK *block;
};

uint8_t g_aucLaneCacheFlags[VID_LANE_COUNT];
LANECACHE g_aLaneCache[VID_LANE_COUNT][3];

VIDRESETHOOK g_apfnResetHooks[16];
int32_t g_iResetHookCount = 0;

int CacheSlot(uint8_t bit)
{
    return bit == CACHE_INSERT ? 0 : (bit == CACHE_LOOKUP ? 1 : 2);
}

int32_t Len(const VIDLANEBLOCK *b)
{
    return b->uLength & LANEBLOCK_LENGTH;
}

int32_t EndOf(const VIDLANEBLOCK *b)
{
    return b->uStart + Len(b);
}

bool IsEnd(const VIDLANEBLOCK *b)
{
    return b->uStart == VID_LANE_END;
}

bool ValidLane(int32_t lane)
{
    return lane >= 0 && lane < VID_LANE_COUNT;
}

bool IsParticleClip(const VIDCLIP *clip)
{
    return Vid_GetClipStoredId(clip) == kParticleStoredId;
}

void Changed(int32_t lane)
{
    g_aucLaneCacheFlags[lane] = 0;
    g_bLanesChanged = 1;
}

void SetCache(int32_t lane, uint8_t bit, int32_t position, VIDLANEBLOCK *block)
{
    if (!block)
        return;
    g_aLaneCache[lane][CacheSlot(bit)] = {position, block};
    g_aucLaneCacheFlags[lane] |= bit;
}

// First block of the lane that ends after position (the end node when none); the scan may start
// at a cached block that starts at or before position.
VIDLANEBLOCK *Scan(int32_t lane, int32_t position, uint8_t cacheBit)
{
    VIDLANEBLOCK *b = &g_aVideoLanes[lane];
    const LANECACHE &c = g_aLaneCache[lane][CacheSlot(cacheBit)];
    if ((g_aucLaneCacheFlags[lane] & cacheBit) && c.position <= position && (c.block->uLength & LANEBLOCK_LINKED) &&
        !IsEnd(c.block) && c.block->uStart <= position)
        b = c.block;
    while (!IsEnd(b) && EndOf(b) <= position)
        b = b->pNext;
    return b;
}

VIDLANEBLOCK *Covering(int32_t lane, int32_t position, uint8_t cacheBit)
{
    VIDLANEBLOCK *b = Scan(lane, position, cacheBit);
    return !IsEnd(b) && b->uStart <= position ? b : nullptr;
}

// The last block starting before position, null when none (the new block then becomes the head).
VIDLANEBLOCK *BlockBefore(int32_t lane, int32_t position)
{
    VIDLANEBLOCK *b = Scan(lane, position, CACHE_INSERT);
    if (!IsEnd(b) && b->uStart < position)
        return b;
    return b == &g_aVideoLanes[lane] ? nullptr : b->pPrev;
}

VIDLANEBLOCK *AllocBlock()
{
    if (!g_pLaneBlockPool)
        return nullptr;
    int32_t id;
    auto *b = static_cast<VIDLANEBLOCK *>(Sys_PoolAlloc(g_pLaneBlockPool, &id));
    if (b)
        std::memset(b, 0, sizeof *b);
    return b;
}

// Links a prepared record holding (start, length, clip) after prev, or as the head. Returns the
// block that holds the new contents.
VIDLANEBLOCK *LinkBlock(int32_t lane, VIDLANEBLOCK *prev, VIDLANEBLOCK *node, int32_t start, int32_t length,
                        VIDCLIP *clip)
{
    VIDLANEBLOCK *head = &g_aVideoLanes[lane];
    if (!prev) {
        // The head is embedded: its old contents move into the new record after it.
        node->pClip = head->pClip;
        node->uStart = head->uStart;
        node->uLength = head->uLength | LANEBLOCK_LINKED;
        node->pNext = head->pNext;
        node->pPrev = head;
        if (node->pNext)
            node->pNext->pPrev = node;
        head->pNext = node;
        prev = head;
        node = head;
    } else {
        node->pPrev = prev;
        node->pNext = prev->pNext;
        if (node->pNext)
            node->pNext->pPrev = node;
        prev->pNext = node;
    }
    node->pClip = clip;
    node->uStart = static_cast<uint16_t>(start);
    node->uLength = static_cast<uint16_t>(length | LANEBLOCK_LINKED);
    Changed(lane);
    return node;
}

// Unlinks a block (the head takes its successor's contents) and frees the record.
void UnlinkBlock(int32_t lane, VIDLANEBLOCK *b)
{
    VIDLANEBLOCK *head = &g_aVideoLanes[lane];
    if (b == head) {
        VIDLANEBLOCK *next = head->pNext;
        if (!next)
            return;
        head->pClip = next->pClip;
        head->uStart = next->uStart;
        head->uLength = next->uLength | LANEBLOCK_LINKED;
        head->pNext = next->pNext;
        if (head->pNext)
            head->pNext->pPrev = head;
        b = next;
    } else {
        b->pPrev->pNext = b->pNext;
        if (b->pNext)
            b->pNext->pPrev = b->pPrev;
    }
    b->uLength &= ~LANEBLOCK_LINKED;
    Sys_PoolFree(g_pLaneBlockPool, b);
    Changed(lane);
}

int32_t ParticleLanesAt(int32_t position)
{
    int32_t n = 0;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        VIDLANEBLOCK *b = Covering(lane, position, CACHE_LOOKUP);
        if (b && IsParticleClip(b->pClip))
            n++;
    }
    return n;
}

// One use of a rank's lane object; the object is made when its count leaves 0. 0, or -1 when it
// cannot be made.
int AddObjectUse(int32_t rank)
{
    if (rank < 0 || rank >= 4)
        return 0; // more particle lanes than objects: the extra lanes show nothing
    bool made = false;
    if (!g_apLaneObjects[rank]) {
        if (!Vid_CreateLaneObject(rank))
            return -1;
        made = true;
    }
    g_aiLaneObjectUse[rank] += 1 + (made && g_bLaneObjectHold ? 1 : 0);
    return 0;
}

void DropObjectUse(int32_t rank)
{
    if (rank < 0 || rank >= 4)
        return;
    if (!g_apLaneObjects[rank]) {
        g_aiLaneObjectUse[rank] = 0;
        return;
    }
    if (--g_aiLaneObjectUse[rank] <= 0) {
        g_aiLaneObjectUse[rank] = 0;
        Vid_FreeLaneObject(rank);
    }
}

void ObjectFailed()
{
    g_bLaneObjectFailed = 1;
    Seq_PlayInterfaceSound(3);
}

void RaiseHighWater(int32_t lane, const VIDCLIP *clip)
{
    if (lane < 4 && clip && clip->sEntryCount - 1 > g_abLaneHighWater[lane])
        g_abLaneHighWater[lane] = static_cast<uint8_t>(clip->sEntryCount - 1);
}

void LoweredClip(int32_t lane, const VIDCLIP *clip)
{
    if (lane < 4 && clip && clip->sEntryCount - 1 == g_abLaneHighWater[lane])
        Vid_RecalcLaneHighWater(lane);
}

// Removes positions from..to (inside block b) from the lane: uses, references, the end. 0 or 8.
int32_t TrimBlock(int32_t lane, VIDLANEBLOCK *b, int32_t from, int32_t to)
{
    const int32_t bs = b->uStart, be = EndOf(b) - 1;
    VIDCLIP *clip = b->pClip;
    VIDLANEBLOCK *split = nullptr;
    if (from > bs && to < be && !(split = AllocBlock()))
        return LANE_NORECORD; // nothing changed yet
    if (IsParticleClip(clip))
        for (int32_t p = from; p <= to; p++)
            DropObjectUse(ParticleLanesAt(p) - 1);
    VIDLANEBLOCK *after = nullptr;
    if (from == bs && to == be) {
        after = b == &g_aVideoLanes[lane] ? b : b->pNext;
        UnlinkBlock(lane, b);
    } else if (from == bs) {
        b->uStart = static_cast<uint16_t>(to + 1);
        b->uLength = static_cast<uint16_t>((be - to) | LANEBLOCK_LINKED);
        after = b;
    } else if (to == be) {
        b->uLength = static_cast<uint16_t>((from - bs) | LANEBLOCK_LINKED);
        after = b->pNext;
    } else {
        b->uLength = static_cast<uint16_t>((from - bs) | LANEBLOCK_LINKED);
        after = LinkBlock(lane, b, split, to + 1, be - to, clip);
    }
    Changed(lane);
    SetCache(lane, CACHE_CUT, to + 1, after && !IsEnd(after) ? after : nullptr);
    if (be + 1 >= g_iVideoEnd)
        g_iVideoEnd = Vid_GetVideoEnd();
    LoweredClip(lane, clip);
    Vid_AddClipRefs(clip, -(to - from + 1));
    return LANE_DONE;
}

// Empties positions from..to of one lane, trimming blocks that reach outside. 0 or 8.
int32_t ClearSpan(int32_t lane, int32_t from, int32_t to)
{
    if (from < 0)
        from = 0;
    if (to >= VID_POSITIONS)
        to = VID_POSITIONS - 1;
    while (from <= to) {
        VIDLANEBLOCK *b = Scan(lane, from, CACHE_CUT);
        if (IsEnd(b) || b->uStart > to)
            break;
        const int32_t a = b->uStart > from ? b->uStart : from;
        const int32_t z = EndOf(b) - 1 < to ? EndOf(b) - 1 : to;
        if (int32_t r = TrimBlock(lane, b, a, z))
            return r;
        from = z + 1;
    }
    return LANE_DONE;
}

void FreeGridRows(CLIPGRID &g, bool release)
{
    // Not valid while its cells go: a clip destroyed by its last release must not be looked for
    // in the rows being freed.
    g.uValid = 0;
    for (int32_t r = 0; r < VID_LANE_COUNT; r++) {
        if (!g.apRows[r])
            continue;
        if (release)
            for (int32_t c = 0; c < g.iColumns; c++)
                Vid_ReleaseClip(g.apRows[r][c]);
        Sys_MemFree(g.apRows[r]);
        g.apRows[r] = nullptr;
    }
    g.uValid = 0;
}

} // namespace

void Vid_InitLanes()
{
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        g_aVideoLanes[lane] = {nullptr, VID_LANE_END, LANEBLOCK_LINKED, nullptr, nullptr};
        g_aucLaneCacheFlags[lane] = 0;
        g_abLaneHighWater[lane] = 0;
    }
    Sys_PoolDestroy(g_pLaneBlockPool);
    g_pLaneBlockPool = Sys_PoolCreate(7, sizeof(VIDLANEBLOCK), 55, 0, "SL", nullptr);
    for (int32_t &u : g_aiLaneObjectUse)
        u = 0;
    g_bLaneObjectHold = 0;
    g_iVideoEnd = 0;
}

int32_t Vid_LaneAcceptsClip(int32_t lane, int32_t, const VIDCLIP *clip)
{
    const int32_t type = Vid_GetClipChaseType(clip);
    const CHASEDEF *def = type >= 0 ? Vid_GetChaseDef(type) : nullptr;
    if (!def || !ValidLane(lane))
        return 0;
    if (lane < 4)
        return (def->uKind & CHASEKIND_PLAIN) != 0;
    if (lane == 4)
        return (def->uKind & CHASEKIND_CAM) != 0;
    if (lane == 5)
        return (def->uKind & CHASEKIND_DVE) != 0;
    return 0;
}

VIDLANEBLOCK *Vid_FindLaneBlock(VIDLANEBLOCK *head, int32_t position)
{
    for (VIDLANEBLOCK *b = head; b && !IsEnd(b); b = b->pNext)
        if (b->uStart <= position && position < EndOf(b))
            return b;
        else if (b->uStart > position)
            break;
    return nullptr;
}

VIDCLIP *Vid_GetLaneClipAt(int32_t lane, int32_t position)
{
    if (!ValidLane(lane) || position < 0)
        return nullptr;
    VIDLANEBLOCK *b = Covering(lane, position, CACHE_LOOKUP);
    if (!b)
        return nullptr;
    VIDCLIP *clip = b->pClip;
    if (clip) {
        clip->uFlags = static_cast<uint16_t>((clip->uFlags & ~CLIPFLAG_BLOCKLEN) | (Len(b) & CLIPFLAG_BLOCKLEN));
        clip->uOffset = static_cast<uint16_t>((clip->uOffset & ~CLIPOFFSET_MASK) | ((position - b->uStart) & CLIPOFFSET_MASK));
    }
    SetCache(lane, CACHE_LOOKUP, position, b);
    return clip;
}

int32_t Vid_GetLaneGapAt(int32_t lane, int32_t position)
{
    if (!ValidLane(lane))
        return 0;
    VIDLANEBLOCK *b = &g_aVideoLanes[lane];
    while (!IsEnd(b) && b->uStart <= position)
        b = b->pNext;
    const int32_t next = IsEnd(b) || b->uStart > 999 ? 999 : b->uStart;
    return next - position;
}

int32_t Vid_PlaceClipAt(int32_t lane, int32_t position, VIDCLIP *clip)
{
    // Positions past the lanes are neither shown nor saved; a refused clip leaves the end alone.
    if (!ValidLane(lane) || position < 0 || position >= VID_POSITIONS || !Vid_LaneAcceptsClip(lane, position, clip))
        return LANE_REFUSED;
    if (VIDLANEBLOCK *b = Covering(lane, position, CACHE_INSERT)) {
        if (b->pClip == clip)
            return LANE_DONE;
        if (int32_t r = TrimBlock(lane, b, position, position))
            return r;
    }
    VIDLANEBLOCK *prev = BlockBefore(lane, position);
    VIDLANEBLOCK *next = prev ? prev->pNext : &g_aVideoLanes[lane];
    const bool joinPrev = prev && EndOf(prev) == position && prev->pClip == clip;
    const bool joinNext = next && !IsEnd(next) && next->uStart == position + 1 && next->pClip == clip;
    VIDLANEBLOCK *cached = prev;
    if (joinPrev && joinNext) {
        prev->uLength = static_cast<uint16_t>((Len(prev) + 1 + Len(next)) | LANEBLOCK_LINKED);
        UnlinkBlock(lane, next);
    } else if (joinNext) {
        next->uStart = static_cast<uint16_t>(position);
        next->uLength = static_cast<uint16_t>((Len(next) + 1) | LANEBLOCK_LINKED);
        cached = next;
    } else if (joinPrev) {
        prev->uLength = static_cast<uint16_t>((Len(prev) + 1) | LANEBLOCK_LINKED);
    } else {
        VIDLANEBLOCK *node = AllocBlock();
        if (!node)
            return LANE_NORECORD;
        cached = LinkBlock(lane, prev, node, position, 1, clip);
    }
    Changed(lane);
    Vid_AddClipRef(clip);
    RaiseHighWater(lane, clip);
    SetCache(lane, CACHE_INSERT, position, cached ? cached : &g_aVideoLanes[lane]);
    if (IsParticleClip(clip) && AddObjectUse(ParticleLanesAt(position) - 1) != 0) {
        // Take the position back. Its rank has no object, so the trim gives back no use.
        ObjectFailed();
        if (VIDLANEBLOCK *b = Covering(lane, position, CACHE_CUT))
            TrimBlock(lane, b, position, position);
        return LANE_NORECORD;
    }
    if (position + 1 > g_iVideoEnd)
        g_iVideoEnd = position + 1;
    Changed(lane);
    return LANE_DONE;
}

int32_t Vid_PlaceClipRun(int32_t lane, int32_t position, int32_t length, VIDCLIP *clip)
{
    if (!ValidLane(lane) || length < 1 || position < 0 || position + length > 65535 || position >= VID_POSITIONS)
        return LANE_REFUSED;
    if (!Vid_LaneAcceptsClip(lane, position, clip))
        return LANE_REFUSED;
    if (position + length > VID_POSITIONS)
        length = VID_POSITIONS - position;
    // Blocks inside the run would overlap it.
    if (int32_t r = ClearSpan(lane, position, position + length - 1))
        return r;
    VIDLANEBLOCK *node = AllocBlock();
    if (!node)
        return LANE_NORECORD;
    VIDLANEBLOCK *b = LinkBlock(lane, BlockBefore(lane, position), node, position, length, clip);
    Vid_AddClipRefs(clip, length);
    RaiseHighWater(lane, clip);
    if (IsParticleClip(clip))
        for (int32_t p = position; p < position + length; p++)
            if (AddObjectUse(ParticleLanesAt(p) - 1) != 0) {
                ObjectFailed();
                for (int32_t q = position; q < p; q++)
                    DropObjectUse(ParticleLanesAt(q) - 1);
                UnlinkBlock(lane, b);
                Vid_AddClipRefs(clip, -length);
                g_iVideoEnd = Vid_GetVideoEnd();
                return LANE_REFUSED;
            }
    if (position + length > g_iVideoEnd)
        g_iVideoEnd = position + length;
    Changed(lane);
    return LANE_DONE;
}

int32_t Vid_CutLaneAt(int32_t lane, int32_t position, int32_t)
{
    if (!ValidLane(lane) || position < 0)
        return LANE_NOTHING;
    VIDLANEBLOCK *b = Covering(lane, position, CACHE_CUT);
    if (!b)
        return LANE_NOTHING;
    return TrimBlock(lane, b, position, position);
}

int32_t Vid_RemoveLaneBlock(VIDLANEBLOCK *block, int32_t lane)
{
    if (!block || !ValidLane(lane) || IsEnd(block))
        return LANE_NOTHING;
    return TrimBlock(lane, block, block->uStart, EndOf(block) - 1);
}

void Vid_RemoveClipFromLanes(VIDCLIP *clip)
{
    if (!clip)
        return;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        VIDLANEBLOCK *b = &g_aVideoLanes[lane];
        while (!IsEnd(b)) {
            if (b->pClip != clip) {
                b = b->pNext;
                continue;
            }
            VIDLANEBLOCK *next = b == &g_aVideoLanes[lane] ? b : b->pNext;
            Vid_RemoveLaneBlock(b, lane);
            b = next;
        }
    }
}

int32_t Vid_ClearLaneRange(int32_t start, int32_t end)
{
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        if (int32_t r = ClearSpan(lane, start, end))
            return r;
    return LANE_DONE;
}

int32_t Vid_InsertLanePositions(int32_t position, int32_t n)
{
    if (position < 0 || position >= VID_POSITIONS || n < 1)
        return 0;
    if (n > VID_POSITIONS - position)
        n = VID_POSITIONS - position;
    // Blocks straddling the insert point are split; records first, so a failure changes nothing.
    VIDLANEBLOCK *spare[VID_LANE_COUNT] = {};
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        VIDLANEBLOCK *b = Covering(lane, position, CACHE_LOOKUP);
        if (b && b->uStart < position && !(spare[lane] = AllocBlock())) {
            for (VIDLANEBLOCK *s : spare)
                if (s)
                    Sys_PoolFree(g_pLaneBlockPool, s);
            return 0;
        }
    }
    // What would be pushed past the last position is dropped, with its references.
    Vid_ClearLaneRange(VID_POSITIONS - n, VID_POSITIONS - 1);
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        if (spare[lane]) {
            VIDLANEBLOCK *b = Covering(lane, position, CACHE_LOOKUP);
            if (b && b->uStart < position) {
                const int32_t tail = EndOf(b) - position;
                b->uLength = static_cast<uint16_t>((position - b->uStart) | LANEBLOCK_LINKED);
                LinkBlock(lane, b, spare[lane], position, tail, b->pClip);
            } else {
                Sys_PoolFree(g_pLaneBlockPool, spare[lane]);
            }
        }
        for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; !IsEnd(b); b = b->pNext)
            if (b->uStart >= position)
                b->uStart = static_cast<uint16_t>(b->uStart + n);
        Changed(lane);
    }
    g_iVideoEnd = Vid_GetVideoEnd();
    return 1;
}

int32_t Vid_DeleteLanePositions(int32_t position, int32_t n)
{
    if (position < 0 || position > VID_POSITIONS || n < 1)
        return LANE_NOTHING;
    if (n > position)
        n = position;
    if (n == 0)
        return LANE_DONE;
    if (int32_t r = Vid_ClearLaneRange(position - n, position - 1))
        return r;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; !IsEnd(b); b = b->pNext)
            if (b->uStart >= position)
                b->uStart = static_cast<uint16_t>(b->uStart - n);
        Changed(lane);
    }
    g_iVideoEnd = Vid_GetVideoEnd();
    return LANE_DONE;
}

int32_t Vid_ResizeLaneBlock(int32_t lane, int32_t start, int32_t length)
{
    if (!ValidLane(lane) || length < 1 || start < 0 || start + length > VID_POSITIONS)
        return LANE_REFUSED;
    VIDLANEBLOCK *b = Covering(lane, start, CACHE_LOOKUP);
    if (!b || b->uStart != start)
        return LANE_NOTHING;
    VIDCLIP *clip = b->pClip;
    const int32_t old = Len(b);
    if (length == old)
        return LANE_DONE;
    if (length < old)
        return TrimBlock(lane, b, start + length, start + old - 1);
    VIDLANEBLOCK *next = b->pNext;
    // Growing over another block would make the blocks overlap.
    if (next && !IsEnd(next) && next->uStart < start + length)
        return LANE_REFUSED;
    b->uLength = static_cast<uint16_t>(length | LANEBLOCK_LINKED);
    Changed(lane);
    Vid_AddClipRefs(clip, length - old);
    if (IsParticleClip(clip))
        for (int32_t p = start + old; p < start + length; p++)
            if (AddObjectUse(ParticleLanesAt(p) - 1) != 0) {
                ObjectFailed();
                // Positions not yet counted give back no use.
                Vid_AddClipRefs(clip, -(start + length - p));
                b->uLength = static_cast<uint16_t>((p - start) | LANEBLOCK_LINKED);
                g_iVideoEnd = Vid_GetVideoEnd();
                return LANE_NORECORD;
            }
    if (next && !IsEnd(next) && next->uStart == start + length && next->pClip == clip) {
        b->uLength = static_cast<uint16_t>((length + Len(next)) | LANEBLOCK_LINKED);
        UnlinkBlock(lane, next);
    }
    g_iVideoEnd = Vid_GetVideoEnd();
    Changed(lane);
    return LANE_DONE;
}

int32_t Vid_MoveLaneRange(int32_t start, int32_t end, int32_t offset)
{
    if (offset == 0 || start > end)
        return LANE_DONE;
    if (start < 0)
        start = 0;
    if (end >= VID_POSITIONS)
        end = VID_POSITIONS - 1;
    const int32_t count = end - start + 1;
    if (count <= 0)
        return LANE_DONE;
    // The whole range is taken up first, so that source and target may overlap.
    static VIDCLIP *snapshot[VID_LANE_COUNT][VID_POSITIONS];
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        for (int32_t p = 0; p < count; p++) {
            VIDLANEBLOCK *b = Covering(lane, start + p, CACHE_LOOKUP);
            snapshot[lane][p] = b ? Vid_AddClipRef(b->pClip) : nullptr;
        }
    int32_t result = Vid_ClearLaneRange(start, end);
    for (int32_t lane = 0; lane < VID_LANE_COUNT && result == LANE_DONE; lane++)
        for (int32_t p = 0; p < count && result == LANE_DONE;) {
            VIDCLIP *clip = snapshot[lane][p];
            int32_t q = p + 1;
            while (q < count && snapshot[lane][q] == clip)
                q++;
            int32_t from = start + p + offset, to = start + q - 1 + offset;
            if (from < 0)
                from = 0;
            if (to >= VID_POSITIONS)
                to = VID_POSITIONS - 1;
            if (clip && from <= to) {
                const int32_t r = Vid_PlaceClipRun(lane, from, to - from + 1, clip);
                if (r == LANE_NORECORD)
                    result = r;
            }
            p = q;
        }
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        for (int32_t p = 0; p < count; p++)
            Vid_ReleaseClip(snapshot[lane][p]);
    return result;
}

int32_t Vid_IsClipOnLanes(int32_t clipId)
{
    VIDCLIP *clip = Vid_GetClip(clipId);
    if (!clip)
        return 0;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        if (!Vid_LaneAcceptsClip(lane, 0, clip))
            continue;
        for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; !IsEnd(b); b = b->pNext)
            if (b->pClip == clip)
                return 1;
    }
    return 0;
}

void Vid_RecountLaneObjects()
{
    int32_t counts[4] = {};
    for (int32_t p = 0; p < VID_POSITIONS; p++) {
        int32_t rank = 0;
        for (int32_t lane = 0; lane < 4; lane++) {
            VIDLANEBLOCK *b = Covering(lane, p, CACHE_LOOKUP);
            if (b && IsParticleClip(b->pClip) && rank < 4)
                counts[rank++]++;
        }
    }
    for (int32_t r = 0; r < 4; r++) {
        g_aiLaneObjectUse[r] = counts[r];
        if (counts[r] && !g_apLaneObjects[r] && !Vid_CreateLaneObject(r)) {
            g_aiLaneObjectUse[r] = 0;
            g_bLaneObjectFailed = 1;
        } else if (!counts[r] && g_apLaneObjects[r]) {
            Vid_FreeLaneObject(r);
        }
    }
}

void Vid_HoldLaneObjects()
{
    for (int32_t r = 0; r < 4; r++)
        if (g_aiLaneObjectUse[r] > 0)
            g_aiLaneObjectUse[r]++;
    g_bLaneObjectHold = 1;
}

void Vid_ReleaseLaneObjectHold()
{
    if (!g_bLaneObjectHold)
        return;
    for (int32_t r = 0; r < 4; r++)
        if (g_aiLaneObjectUse[r] > 0)
            DropObjectUse(r);
    g_bLaneObjectHold = 0;
}

int32_t Vid_CountLanesWithType(int32_t position, int32_t type)
{
    int32_t n = 0;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        VIDLANEBLOCK *b = Covering(lane, position, CACHE_LOOKUP);
        if (b && Vid_GetClipChaseType(b->pClip) == type)
            n++;
    }
    return n;
}

int32_t Vid_RecalcLaneHighWater(int32_t lane)
{
    if (!ValidLane(lane))
        return 0;
    int32_t high = 0;
    for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; !IsEnd(b); b = b->pNext)
        if (b->pClip && b->pClip->sEntryCount - 1 > high)
            high = b->pClip->sEntryCount - 1;
    g_abLaneHighWater[lane] = static_cast<uint8_t>(high > 255 ? 255 : high);
    return high;
}

int32_t Vid_GetVideoEnd()
{
    int32_t end = 0;
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; !IsEnd(b); b = b->pNext)
            if (EndOf(b) - 1 < VID_POSITIONS && EndOf(b) > end)
                end = EndOf(b);
    return end;
}

int32_t Vid_FillClipGrid(int32_t grid, int32_t start, int32_t firstLane, int32_t columns, int32_t rows)
{
    if (grid < 0 || grid > 1 || start < 0 || firstLane < 0 || columns < 1 || rows < 1 ||
        firstLane + rows > VID_LANE_COUNT || start + columns > VID_POSITIONS)
        return -1;
    Seq_FreeUndoLog();
    CLIPGRID &g = g_aClipGrid[grid];
    FreeGridRows(g, true);
    for (int32_t r = 0; r < rows; r++) {
        g.apRows[r] = static_cast<VIDCLIP **>(Sys_MemAlloc(nullptr, static_cast<uint32_t>(sizeof(VIDCLIP *) * columns)));
        if (!g.apRows[r]) {
            g.iColumns = columns;
            FreeGridRows(g, true);
            return -1;
        }
        for (int32_t c = 0; c < columns; c++) {
            VIDLANEBLOCK *b = Covering(firstLane + r, start + c, CACHE_LOOKUP);
            g.apRows[r][c] = b ? Vid_AddClipRef(b->pClip) : nullptr;
        }
    }
    g.uStart = static_cast<uint32_t>(start);
    g.uFirstLane = static_cast<uint32_t>(firstLane);
    g.iColumns = columns;
    g.iRows = rows;
    g.uValid = 1;
    return 0;
}

void Vid_FreeClipGrid(int32_t grid)
{
    if (grid >= 0 && grid <= 1)
        FreeGridRows(g_aClipGrid[grid], true);
}

void Vid_ForgetClipInGrids(const VIDCLIP *clip)
{
    for (CLIPGRID &g : g_aClipGrid) {
        if (!g.uValid)
            continue;
        for (int32_t r = 0; r < g.iRows; r++)
            if (g.apRows[r])
                for (int32_t c = 0; c < g.iColumns; c++)
                    if (g.apRows[r][c] == clip)
                        g.apRows[r][c] = nullptr;
    }
}

void Vid_ClearClipGridRecords()
{
    for (CLIPGRID &g : g_aClipGrid) {
        for (VIDCLIP **&row : g.apRows)
            row = nullptr;
        g.uValid = 0;
    }
}

int32_t Vid_SwapLaneUndo()
{
    const int32_t cur = g_iClipGridCurrent;
    CLIPGRID &g = g_aClipGrid[cur];
    if (!g.uValid)
        return LANE_NOTHING;
    const int32_t other = 1 - cur;
    if (Vid_FillClipGrid(other, static_cast<int32_t>(g.uStart), static_cast<int32_t>(g.uFirstLane), g.iColumns,
                         g.iRows) != 0)
        return LANE_NORECORD;
    int32_t result = LANE_DONE;
    for (int32_t r = 0; r < g.iRows && result == LANE_DONE; r++) {
        const int32_t lane = static_cast<int32_t>(g.uFirstLane) + r;
        for (int32_t c = 0; c < g.iColumns; c++) {
            const int32_t p = static_cast<int32_t>(g.uStart) + c;
            if (Vid_CutLaneAt(lane, p) == LANE_NORECORD ||
                (g.apRows[r][c] && Vid_PlaceClipAt(lane, p, g.apRows[r][c]) == LANE_NORECORD)) {
                result = LANE_NORECORD;
                break;
            }
        }
    }
    g_iClipGridCurrent = other;
    return result;
}

void Vid_AddResetHook(VIDRESETHOOK hook)
{
    for (int32_t i = 0; i < g_iResetHookCount; i++)
        if (g_apfnResetHooks[i] == hook)
            return;
    if (hook && g_iResetHookCount < 16)
        g_apfnResetHooks[g_iResetHookCount++] = hook;
}

void Vid_ResetVideo()
{
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        while (!IsEnd(&g_aVideoLanes[lane]))
            Vid_RemoveLaneBlock(&g_aVideoLanes[lane], lane);
    VIDCLIP *preview = g_pPreviewClip;
    g_pPreviewClip = nullptr;
    Vid_ReleaseClip(preview);
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    for (int32_t id = g_iClipHighestId; id >= 0; id--)
        if (VIDCLIP *c = Vid_GetClip(id))
            Vid_DestroyClip(c);
    Vid_ClearLanePlayingClips();
    g_iVideoEnd = Vid_GetVideoEnd();
    for (uint8_t &h : g_abLaneHighWater)
        h = 0;
    g_iClipNameCounter = 1;
    g_uiLaneMuteMask = 0;
    for (int32_t i = 0; i < g_iResetHookCount; i++)
        g_apfnResetHooks[i]();
    Gfx_ResetUserImages();
    g_bLanesChanged = 1;
}

void Vid_SetLaneMuteMask(uint32_t mask)
{
    g_uiLaneMuteMask = mask;
    g_bLanesChanged = 1;
}

void Vid_ForceVideoPosition(int32_t position)
{
    if (position < 0)
        position = 0;
    if (position >= VID_POSITIONS)
        position = VID_POSITIONS - 1;
    g_iLaneUpdateMode = 1;
    if (position != g_iVideoPosition.load())
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
            Vid_TouchClipChases(Vid_GetLaneClipAt(lane, position));
    g_iVideoPosition = position;
    g_bLanesChanged = 1;
}

void Vid_SetVideoPosition(int32_t position)
{
    if (g_bSongPlaying || g_iRecordRunning.load()) {
        g_iLaneUpdateMode = 1;
        g_bLanesChanged = 1;
        return;
    }
    Vid_ForceVideoPosition(position);
}

void Vid_RequestLaneRefresh()
{
    g_bLanesChanged = 1;
    g_iLaneUpdateMode = 2;
}

void Vid_MarkLanesChanged()
{
    g_bLanesChanged = 1;
}
