// Shared notes and the parameter-list store.
#include <cstring>
#include <mutex>

#include "core/archive.h"
#include "core/idpool.h"
#include "core/mixlock.h"
#include "sequencer/instruments.h"
#include "sequencer/songmodel.h"
#include "sequencer/standin_undo.h"

PARAMLISTSLOT g_aParamListSlots[SEQ_PARAM_LIST_SLOTS];
uint8_t g_abParamListData[SEQ_PARAM_LIST_BYTES];
uint32_t g_uParamListBytes;
uint32_t g_uParamListUsed;
int32_t g_aiCachedLists[6] = {-1, -1, -1, -1, -1, -1};

IDPOOL *g_pNoteEntryPool;
uint16_t g_uNoteCount;

namespace {

uint32_t ListBytesAt(uint16_t offset)
{
    return 2u * g_abParamListData[offset] + 3u;
}

} // namespace

void Seq_ClearParamLists()
{
    for (PARAMLISTSLOT &slot : g_aParamListSlots)
        slot = PARAMLISTSLOT{SEQ_NO_LIST, 0, 0};
    g_uParamListBytes = 0;
    g_uParamListUsed = 0;
    for (int32_t &id : g_aiCachedLists)
        id = -1;
}

int32_t Seq_AddParamList(int32_t n, const uint16_t *values, uint8_t a, uint8_t b)
{
    if (n < 0 || n > 255 || (n > 0 && !values))
        return -1;
    const uint32_t length = 2u * (uint32_t)n + 3u;
    uint32_t seen = 0;
    for (int32_t i = 0; i < SEQ_PARAM_LIST_SLOTS && seen < g_uParamListUsed; i++) {
        PARAMLISTSLOT &slot = g_aParamListSlots[i];
        if (slot.uOffset == SEQ_NO_LIST)
            continue;
        seen++;
        const uint8_t *p = &g_abParamListData[slot.uOffset];
        if (p[0] != n || p[1 + 2 * n] != a || p[2 + 2 * n] != b)
            continue;
        bool same = true;
        for (int32_t k = 0; k < n && same; k++)
            same = (uint16_t)(p[1 + 2 * k] | p[2 + 2 * k] << 8) == values[k];
        if (!same)
            continue;
        slot.uRefCount++;
        return i;
    }
    if (g_uParamListUsed >= (uint32_t)SEQ_PARAM_LIST_SLOTS || g_uParamListBytes + length > (uint32_t)SEQ_PARAM_LIST_BYTES)
        return -1;
    for (int32_t i = 0; i < SEQ_PARAM_LIST_SLOTS; i++) {
        PARAMLISTSLOT &slot = g_aParamListSlots[i];
        if (slot.uOffset != SEQ_NO_LIST)
            continue;
        slot.uOffset = (uint16_t)g_uParamListBytes;
        slot.uRefCount = 1;
        slot.uSaveNumber = 0;
        uint8_t *p = &g_abParamListData[g_uParamListBytes];
        p[0] = (uint8_t)n;
        for (int32_t k = 0; k < n; k++) {
            p[1 + 2 * k] = (uint8_t)(values[k] & 0xFF);
            p[2 + 2 * k] = (uint8_t)(values[k] >> 8);
        }
        p[1 + 2 * n] = a;
        p[2 + 2 * n] = b;
        g_uParamListBytes += length;
        g_uParamListUsed++;
        return i;
    }
    return -1;
}

void Seq_AddParamListRef(int32_t id)
{
    if (id >= 0 && id < SEQ_PARAM_LIST_SLOTS && g_aParamListSlots[id].uOffset != SEQ_NO_LIST)
        g_aParamListSlots[id].uRefCount++;
}

void Seq_ReleaseParamList(int32_t id)
{
    // A free slot or a count already at 0 is left alone: the count must never wrap.
    if (id < 0 || id >= SEQ_PARAM_LIST_SLOTS)
        return;
    PARAMLISTSLOT &slot = g_aParamListSlots[id];
    if (slot.uOffset == SEQ_NO_LIST || slot.uRefCount == 0)
        return;
    if (--slot.uRefCount > 0)
        return;
    const uint16_t offset = slot.uOffset;
    const uint32_t length = ListBytesAt(offset);
    std::memmove(&g_abParamListData[offset], &g_abParamListData[offset + length],
                 g_uParamListBytes - offset - length);
    g_uParamListBytes -= length;
    std::memset(&g_abParamListData[g_uParamListBytes], 0, length);
    g_uParamListUsed--;
    uint32_t moved = 0;
    for (int32_t i = 0; i < SEQ_PARAM_LIST_SLOTS && moved < g_uParamListUsed; i++) {
        PARAMLISTSLOT &other = g_aParamListSlots[i];
        if (i == id || other.uOffset == SEQ_NO_LIST)
            continue;
        moved++;
        if (other.uOffset > offset)
            other.uOffset = (uint16_t)(other.uOffset - length);
    }
    slot = PARAMLISTSLOT{SEQ_NO_LIST, 0, 0};
}

const uint8_t *Seq_GetParamList(int32_t id, uint32_t *pBytes)
{
    if (id < 0 || id >= SEQ_PARAM_LIST_SLOTS || g_aParamListSlots[id].uOffset == SEQ_NO_LIST)
        return nullptr;
    const uint16_t offset = g_aParamListSlots[id].uOffset;
    if (pBytes)
        *pBytes = ListBytesAt(offset);
    return &g_abParamListData[offset];
}

int32_t Seq_ParamListCount()
{
    return (int32_t)g_uParamListUsed;
}

// ---- Notes ----

int Seq_CreateNoteEntryPool()
{
    if (!g_pNoteEntryPool)
        g_pNoteEntryPool = Sys_PoolCreate(6, sizeof(NOTEENTRY), 32, IDPOOL_DENSE, "NOTEENTRY", nullptr);
    return g_pNoteEntryPool ? 0 : -1;
}

NOTEENTRY *Seq_GetNote(int32_t id)
{
    if (id < 1 || id > g_uNoteCount || !g_pNoteEntryPool)
        return nullptr;
    return (NOTEENTRY *)Sys_PoolGetFast(g_pNoteEntryPool, id - 1);
}

uint8_t Seq_CurrentDiscByte()
{
    return g_pCurrentDisc ? (uint8_t)g_pCurrentDisc->uNumber : 0;
}

int32_t Seq_FindOrAddNote(uint16_t instrument, int32_t octave, int32_t semitone, uint8_t length, uint8_t level,
                          uint8_t flags, uint8_t setting1, uint8_t setting2, uint8_t setting3, uint32_t sampleStart,
                          int32_t listA, int32_t listB, int32_t listC, uint8_t setting4, uint8_t setting5, uint8_t disc,
                          int32_t noUndo)
{
    const uint8_t pitch = (uint8_t)(octave * 12 + semitone);
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        NOTEENTRY *n = Seq_GetNote(id);
        if (n->uInstrument != instrument || n->ucPitch != pitch || n->ucLength != length || n->ucLevel != level ||
            n->ucSetting1 != setting1 || n->ucSetting2 != setting2 || n->ucSetting3 != setting3 ||
            n->ucSetting4 != setting4 || n->ucSetting5 != setting5 || n->ucDisc != disc || n->ucFlags != flags ||
            n->uSampleStart != sampleStart || n->uListA != (uint16_t)listA || n->uListB != (uint16_t)listB ||
            n->uListC != (uint16_t)listC)
            continue;
        Seq_AddNoteRef(id);
        if (!noUndo)
            Seq_UndoHoldNote(id, 1);
        return id;
    }
    if (g_uNoteCount >= SEQ_MAX_NOTES || !g_pNoteEntryPool) {
        Seq_PlayInterfaceSound(1);
        return -1;
    }
    int32_t poolId = -1;
    auto *n = (NOTEENTRY *)Sys_PoolAlloc(g_pNoteEntryPool, &poolId);
    if (!n)
        return -1;
    g_uNoteCount++;
    const int32_t id = poolId + 1;
    *n = NOTEENTRY{};
    n->uRefCount = 1;
    n->uCount2 = 1;
    n->uInstrument = instrument;
    n->ucPitch = pitch;
    n->ucLength = length;
    n->ucLevel = level;
    n->ucFlags = flags;
    n->ucSetting1 = setting1;
    n->ucSetting2 = setting2;
    n->ucSetting3 = setting3;
    n->ucSetting4 = setting4;
    n->ucSetting5 = setting5;
    n->uSampleStart = sampleStart;
    n->uListA = (uint16_t)listA;
    n->uListB = (uint16_t)listB;
    n->uListC = (uint16_t)listC;
    // Stored as compared, so the note is found again by the same request.
    n->ucDisc = disc;
    if (!noUndo)
        Seq_UndoHoldNote(id, 1);
    return id;
}

namespace {

// Interns a copy of list id (its n, values, a and b); -1 when it cannot be stored.
int32_t InternCopy(int32_t id)
{
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(id, &bytes);
    if (!p)
        return -1;
    const int32_t n = p[0];
    uint16_t values[255];
    for (int32_t k = 0; k < n; k++)
        values[k] = (uint16_t)(p[1 + 2 * k] | p[2 + 2 * k] << 8);
    return Seq_AddParamList(n, values, p[1 + 2 * n], p[2 + 2 * n]);
}

} // namespace

int32_t Seq_CopyNoteWith(int32_t id, int32_t pitch, int32_t length, int32_t level, int32_t flags, int32_t noUndo)
{
    const NOTEENTRY *src = Seq_GetNote(id);
    if (!src)
        return -1;
    const NOTEENTRY n = *src;
    const int32_t a = InternCopy(n.uListA);
    const int32_t b = a >= 0 ? InternCopy(n.uListB) : -1;
    const int32_t c = b >= 0 ? InternCopy(n.uListC) : -1;
    int32_t result = -1;
    const uint16_t before = g_uNoteCount;
    if (c >= 0) {
        const int32_t p = pitch >= 0 ? pitch : n.ucPitch;
        result = Seq_FindOrAddNote(n.uInstrument, p / 12, p % 12, (uint8_t)(length >= 0 ? length : n.ucLength),
                                   (uint8_t)(level >= 0 ? level : n.ucLevel), (uint8_t)(flags >= 0 ? flags : n.ucFlags),
                                   n.ucSetting1, n.ucSetting2, n.ucSetting3, n.uSampleStart, a, b, c, n.ucSetting4,
                                   n.ucSetting5, n.ucDisc, noUndo);
    }
    // A new note keeps the list references just taken; a found one holds its own already.
    const bool created = result > 0 && g_uNoteCount == before + 1 && result == g_uNoteCount;
    if (!created) {
        Seq_ReleaseParamList(a);
        Seq_ReleaseParamList(b);
        Seq_ReleaseParamList(c);
    }
    return result;
}

void Seq_AddNoteRef(int32_t id)
{
    if (NOTEENTRY *n = Seq_GetNote(id)) {
        n->uRefCount++;
        n->uCount2++;
    }
}

void Seq_ReleaseNoteRef(int32_t id)
{
    NOTEENTRY *n = Seq_GetNote(id);
    if (!n || n->uRefCount == 0)
        return;
    n->uRefCount--;
    if (n->uCount2)
        n->uCount2--;
}

void Seq_AddRiffNoteRefs(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    const int32_t cells = r->ucBars * SEQ_STEPS_PER_BAR * r->ucTracks;
    for (int32_t i = 0; i < cells; i++)
        if (r->puNotes[i])
            Seq_AddNoteRef(r->puNotes[i]);
}

void Seq_ReleaseRiffNotes(int32_t riff, int32_t noUndo)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    const int32_t cells = r->ucBars * SEQ_STEPS_PER_BAR * r->ucTracks;
    for (int32_t i = 0; i < cells; i++) {
        // Re-read the riff each time: a freed note rewrites every grid, this one included.
        r = Seq_GetRiff(riff);
        const uint16_t id = r->puNotes[i];
        if (!id)
            continue;
        r->puNotes[i] = 0;
        Seq_DeleteNote(id, noUndo, 0);
    }
}

void Seq_RemoveNoteFromGrid(RIFFENTRY *riff, int32_t id)
{
    if (!riff || !riff->puNotes)
        return;
    const int32_t cells = riff == &g_NoteClipboard ? SEQ_CLIPBOARD_CELLS : riff->ucBars * SEQ_STEPS_PER_BAR * riff->ucTracks;
    for (int32_t i = 0; i < cells; i++) {
        uint16_t &cell = riff->puNotes[i];
        if (cell == id)
            cell = 0;
        else if (cell > id)
            cell--;
    }
}

int32_t Seq_DeleteNote(int32_t id, int32_t noUndo, int32_t cleanInstruments)
{
    NOTEENTRY *n = Seq_GetNote(id);
    if (!n)
        return 0;
    if (!noUndo)
        Seq_UndoHoldNote(id, 0);
    Seq_ReleaseNoteRef(id);
    if (n->uRefCount > 0)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (int32_t r = 1; r < g_uRiffCount; r++)
        Seq_RemoveNoteFromGrid(Seq_GetRiff(r), id);
    Seq_RemoveNoteFromGrid(&g_NoteClipboard, id);
    Seq_UndoLowerNoteIds(id);
    const uint16_t a = n->uListA, b = n->uListB, c = n->uListC;
    Seq_ReleaseParamList(a);
    Seq_ReleaseParamList(b);
    Seq_ReleaseParamList(c);
    Sys_PoolFree(g_pNoteEntryPool, n);
    g_uNoteCount--;
    if (cleanInstruments)
        Seq_ClearUnusedInstruments(0);
    return 1;
}

void Seq_RecountNoteRefs(int32_t flag)
{
    if (!flag)
        return;
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        Seq_GetNote(id)->uRefCount = 0;
        Seq_GetNote(id)->uCount2 = 0;
    }
    for (int32_t r = 1; r < g_uRiffCount; r++) {
        Seq_GetRiff(r)->iUseCount = 1;
        Seq_AddRiffNoteRefs(r);
    }
    for (int32_t id = 1; id <= g_uNoteCount;) {
        NOTEENTRY *n = Seq_GetNote(id);
        if (n->uRefCount == 0) {
            n->uRefCount = 1;
            n->uCount2 = 1;
            Seq_DeleteNote(id, 1, 1);
            continue;
        }
        id++;
    }
}

namespace {

bool NotesEqual(const NOTEENTRY &x, const NOTEENTRY &y)
{
    return x.uInstrument == y.uInstrument && x.ucPitch == y.ucPitch && x.ucLength == y.ucLength &&
           x.ucLevel == y.ucLevel && x.ucSetting1 == y.ucSetting1 && x.ucSetting2 == y.ucSetting2 &&
           x.ucSetting3 == y.ucSetting3 && x.ucSetting4 == y.ucSetting4 && x.ucSetting5 == y.ucSetting5 &&
           x.ucDisc == y.ucDisc && x.ucFlags == y.ucFlags && x.uSampleStart == y.uSampleStart &&
           x.uListA == y.uListA && x.uListB == y.uListB && x.uListC == y.uListC;
}

} // namespace

void Seq_MergeEqualNotes()
{
    for (int32_t i = 1; i <= g_uNoteCount; i++) {
        for (int32_t j = i + 1; j <= g_uNoteCount;) {
            if (!NotesEqual(*Seq_GetNote(i), *Seq_GetNote(j))) {
                j++;
                continue;
            }
            bool freed = false;
            for (int32_t r = 1; r < g_uRiffCount && !freed; r++) {
                RIFFENTRY *riff = Seq_GetRiff(r);
                const int32_t cells = riff->ucBars * SEQ_STEPS_PER_BAR * riff->ucTracks;
                for (int32_t k = 0; k < cells && !freed; k++) {
                    if (riff->puNotes[k] != j)
                        continue;
                    riff->puNotes[k] = (uint16_t)i;
                    Seq_AddNoteRef(i);
                    freed = Seq_DeleteNote(j, 1, 1) == 1;
                }
            }
            if (!freed) {
                // Held elsewhere (clipboard, undo): leave the pair for a later pass.
                j++;
            }
        }
    }
}

int32_t Seq_ClampPitchCents(int32_t value)
{
    return value < 0 ? 0 : value > 12000 ? 12000 : value;
}
