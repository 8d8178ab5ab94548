// The song model's reset and its whole-model consistency check.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/idpool.h"
#include "core/mixlock.h"
#include "sequencer/songmodel.h"
#include "sequencer/standin_undo.h"

// Other holders of list references (command chains), counted per list id. Defined by the
// instrument table.
void Seq_CountOtherListRefs(std::vector<int32_t> &counts);

void Seq_ResetSongModel()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (int32_t id = 1; id < g_uRiffCount; id++) {
        RIFFENTRY *r = Seq_GetRiff(id);
        free(r->puNotes);
        r->puNotes = nullptr;
    }
    if (g_pRiffEntryPool) {
        Sys_PoolDestroy(g_pRiffEntryPool);
        g_pRiffEntryPool = nullptr;
    }
    if (g_pNoteEntryPool) {
        Sys_PoolDestroy(g_pNoteEntryPool);
        g_pNoteEntryPool = nullptr;
    }
    g_uRiffCount = 1;
    g_uNoteCount = 0;
    Seq_CreateNoteEntryPool();
    Seq_CreateRiffEntryPool();
    Seq_ClearParamLists();
    std::memset(g_aSongGrid, 0, sizeof(g_aSongGrid));
    g_uSongRowCount = 0;
    g_uRiffListCount = 0;
    g_uDeferredRiffCount = 0;
    g_uLibraryRiff = 0;
    g_uCurrentRiff = 0;
    std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
    g_Selection = SEQSELECTION{};
    g_uNameCounter = 0;
    g_uSampleNameCounter = 0;
}

namespace {

struct Fault
{
    char *buffer;
    size_t size;
    bool failed = false;
    void operator()(const char *fmt, ...)
    {
        if (failed)
            return;
        failed = true;
        if (!buffer || !size)
            return;
        va_list args;
        va_start(args, fmt);
        vsnprintf(buffer, size, fmt, args);
        va_end(args);
    }
};

} // namespace

int32_t Seq_CheckSongModel(char *why, size_t size)
{
    Fault fault{why, size};
    if (why && size)
        why[0] = 0;
    const int32_t riffs = g_uRiffCount - 1;
    const int32_t notes = g_uNoteCount;
    if (riffs < 0 || riffs > SEQ_MAX_RIFFS)
        fault("riff count %d", riffs);
    if (notes > SEQ_MAX_NOTES)
        fault("note count %d", notes);
    if (fault.failed)
        return -1;

    // Dense ids: records 0 .. n-1 live, n free.
    for (int32_t id = 1; id <= riffs; id++)
        if (!Sys_PoolGet(g_pRiffEntryPool, id - 1))
            fault("riff %d missing from the pool", id);
    if (g_pRiffEntryPool && Sys_PoolGet(g_pRiffEntryPool, riffs))
        fault("riff pool holds a record past id %d", riffs);
    for (int32_t id = 1; id <= notes; id++)
        if (!Sys_PoolGet(g_pNoteEntryPool, id - 1))
            fault("note %d missing from the pool", id);
    if (g_pNoteEntryPool && Sys_PoolGet(g_pNoteEntryPool, notes))
        fault("note pool holds a record past id %d", notes);
    if (fault.failed)
        return -1;

    // Riff records and their rings.
    for (int32_t id = 1; id <= riffs; id++) {
        const RIFFENTRY *r = Seq_GetRiff(id);
        if (r->ucBars < 1 || r->ucBars > SEQ_MAX_BARS || r->ucTracks < 1 || r->ucTracks > SEQ_MAX_TRACKS)
            fault("riff %d has size %dx%d", id, r->ucBars, r->ucTracks);
        else if (!r->puNotes)
            fault("riff %d has no note grid", id);
        else if (r->uLink < 1 || r->uLink > riffs)
            fault("riff %d links to %d", id, r->uLink);
        else if (r->iUseCount < 1)
            fault("riff %d has use count %d", id, r->iUseCount);
        if (fault.failed)
            return -1;
        int32_t at = r->uLink, steps = 0;
        while (at != id && steps <= riffs) {
            at = Seq_GetRiff(at)->uLink;
            steps++;
        }
        if (at != id)
            fault("the ring of riff %d does not close", id);
    }
    if (fault.failed)
        return -1;

    // Grid against riffs: rebuild the grid from its first cells and compare.
    std::vector<int32_t> placements((size_t)riffs + 1, 0);
    static uint16_t s_expected[SEQ_GRID_ROWS][SEQ_GRID_COLUMNS];
    std::memset(s_expected, 0, sizeof(s_expected));
    for (int32_t row = 0; row < SEQ_GRID_ROWS && !fault.failed; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS && !fault.failed; c++) {
            const uint16_t cell = g_aSongGrid[row][c];
            if (cell == 0 || (cell & 0xF000))
                continue;
            const int32_t id = cell & SEQ_CELL_ID_MASK;
            const RIFFENTRY *r = Seq_GetRiff(id);
            if (!r) {
                fault("cell %d,%d names riff %d of %d", row, c, id, riffs);
                break;
            }
            if (row + r->ucBars > SEQ_LAST_PLACE_ROW + 1 || c + r->ucTracks > SEQ_GRID_COLUMNS) {
                fault("riff %d at %d,%d passes the grid's edge", id, row, c);
                break;
            }
            placements[(size_t)id]++;
            for (int32_t b = 0; b < r->ucBars; b++)
                for (int32_t t = 0; t < r->ucTracks; t++) {
                    uint16_t &e = s_expected[row + b][c + t];
                    if (e)
                        fault("riffs overlap at %d,%d", row + b, c + t);
                    e = (uint16_t)(b << 13 | (t ? (SEQ_CELL_CONTINUE | t) : id));
                }
        }
    if (fault.failed)
        return -1;
    for (int32_t row = 0; row < SEQ_GRID_ROWS && !fault.failed; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS && !fault.failed; c++)
            if (g_aSongGrid[row][c] != s_expected[row][c])
                fault("cell %d,%d is %04x, its riffs make %04x", row, c, g_aSongGrid[row][c], s_expected[row][c]);
    if (fault.failed)
        return -1;

    // Holders of riff ids.
    std::vector<int32_t> queued((size_t)riffs + 1, 0);
    for (uint32_t i = 0; i < g_uDeferredRiffCount; i++) {
        const int32_t id = g_auDeferredRiffs[i];
        if (id < 1 || id > riffs)
            return fault("deferred queue names riff %d", id), -1;
        queued[(size_t)id]++;
    }
    if (g_uCurrentRiff > riffs || g_uLibraryRiff > riffs)
        return fault("current %d / library %d past %d riffs", g_uCurrentRiff, g_uLibraryRiff, riffs), -1;
    for (uint32_t i = 1; i <= g_uRiffListCount; i++)
        if (g_auRiffList[i] < 1 || g_auRiffList[i] > riffs)
            return fault("riff list names riff %d", g_auRiffList[i]), -1;
    for (int32_t id = 1; id <= riffs; id++) {
        const int32_t expected = 1 + placements[(size_t)id] + queued[(size_t)id] + Seq_UndoCountHolds(id);
        if (Seq_GetRiff(id)->iUseCount != expected)
            return fault("riff %d has use count %d, its holders make %d", id, Seq_GetRiff(id)->iUseCount, expected), -1;
    }

    // Note references from riff grids, the clipboard and undo records.
    std::vector<int32_t> noteRefs((size_t)notes + 1, 0);
    for (int32_t id = 1; id <= riffs; id++) {
        const RIFFENTRY *r = Seq_GetRiff(id);
        const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
        for (int32_t t = 0; t < r->ucTracks; t++)
            for (int32_t s = 0; s < steps; s++) {
                const int32_t note = r->puNotes[t * steps + s];
                if (!note)
                    continue;
                if (note > notes)
                    return fault("riff %d cell %d,%d names note %d of %d", id, s, t, note, notes), -1;
                noteRefs[(size_t)note]++;
                const int32_t length = Seq_GetNote(note)->ucLength;
                if (s + length > steps)
                    return fault("riff %d note at %d,%d runs past the riff", id, s, t), -1;
                for (int32_t k = s + 1; k < s + length; k++)
                    if (r->puNotes[t * steps + k])
                        return fault("riff %d: a note starts inside the note at %d,%d", id, s, t), -1;
            }
    }
    if (g_NoteClipboard.puNotes) {
        const int32_t per = g_NoteClipboard.ucColour == 1 ? 2 : 1;
        for (int32_t i = 0; i < SEQ_CLIPBOARD_CELLS; i++) {
            const int32_t note = g_NoteClipboard.puNotes[i];
            if (note > notes)
                return fault("clipboard names note %d of %d", note, notes), -1;
            if (note)
                noteRefs[(size_t)note] += per;
        }
    }
    std::vector<int32_t> listRefs(SEQ_PARAM_LIST_SLOTS, 0);
    for (int32_t id = 1; id <= notes; id++) {
        const NOTEENTRY *n = Seq_GetNote(id);
        const int32_t expected = noteRefs[(size_t)id] + Seq_UndoNoteHolds(id);
        if (n->uRefCount != expected || n->uRefCount == 0)
            return fault("note %d has %d references, its holders make %d", id, n->uRefCount, expected), -1;
        if (n->uCount2 != n->uRefCount)
            return fault("note %d second count %d, count %d", id, n->uCount2, n->uRefCount), -1;
        for (uint16_t list : {n->uListA, n->uListB, n->uListC}) {
            if (list >= SEQ_PARAM_LIST_SLOTS || g_aParamListSlots[list].uOffset == SEQ_NO_LIST)
                return fault("note %d names list %d, which is free", id, list), -1;
            listRefs[list]++;
        }
    }
    for (int32_t id : g_aiCachedLists)
        if (id >= 0 && id < SEQ_PARAM_LIST_SLOTS)
            listRefs[(size_t)id]++;
    Seq_CountOtherListRefs(listRefs);

    // The list store: packed, counted, and every count equal to its holders.
    uint32_t used = 0, bytes = 0;
    std::vector<uint8_t> covered(SEQ_PARAM_LIST_BYTES, 0);
    for (int32_t id = 0; id < SEQ_PARAM_LIST_SLOTS; id++) {
        const PARAMLISTSLOT &slot = g_aParamListSlots[id];
        if (slot.uOffset == SEQ_NO_LIST) {
            if (listRefs[(size_t)id])
                return fault("list %d is free but held %d times", id, listRefs[(size_t)id]), -1;
            continue;
        }
        used++;
        if (slot.uOffset >= g_uParamListBytes)
            return fault("list %d at %d past the %u bytes in use", id, slot.uOffset, g_uParamListBytes), -1;
        const uint32_t length = 2u * g_abParamListData[slot.uOffset] + 3u;
        if (slot.uOffset + length > g_uParamListBytes)
            return fault("list %d runs past the bytes in use", id), -1;
        for (uint32_t k = slot.uOffset; k < slot.uOffset + length; k++) {
            if (covered[k])
                return fault("list %d overlaps another", id), -1;
            covered[k] = 1;
        }
        bytes += length;
        if (slot.uRefCount != listRefs[(size_t)id])
            return fault("list %d has %d references, its holders make %d", id, slot.uRefCount, listRefs[(size_t)id]), -1;
    }
    if (used != g_uParamListUsed || bytes != g_uParamListBytes)
        return fault("list store counts %u/%u, lists make %u/%u", g_uParamListUsed, g_uParamListBytes, used, bytes), -1;
    return 0;
}
