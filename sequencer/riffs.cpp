// Riff records, the song grid and the operations that scan it.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/idpool.h"
#include "core/mixlock.h"
#include "sequencer/instruments.h"
#include "sequencer/playstate.h"
#include "sequencer/songmodel.h"
#include "sequencer/standin_undo.h"

IDPOOL *g_pRiffEntryPool;
uint16_t g_uRiffCount = 1;
uint16_t g_uSongRowCount;
uint16_t g_aSongGrid[SEQ_GRID_ROWS][SEQ_GRID_COLUMNS];
SEQSELECTION g_Selection;
uint8_t g_abPlacementMask[SEQ_MAX_BARS][SEQ_MAX_TRACKS];
uint16_t g_auRiffList[SEQ_MAX_RIFFS + 1];
uint16_t g_uRiffListCount;
uint16_t g_auDeferredRiffs[SEQ_DEFERRED_RIFFS];
uint16_t g_uDeferredRiffCount;
uint16_t g_uLibraryRiff;
uint8_t g_auLibraryRiffKey[4];
uint16_t g_uCurrentRiff;
uint16_t g_usNextRiffColour;
RIFFENTRY g_NoteClipboard;
int32_t g_bSongChanged;
int32_t g_bJamActive;
// The last entry is ours: a riff whose type is not set shows the plain note icon.
const uint16_t g_auRiffTypeIcons[19] = {147, 151, 152, 153, 154, 156, 159, 161, 180, 181,
                                        183, 204, 205, 206, 207, 207, 207, 207, 146};

namespace {

void ForgetLibraryKeys()
{
    std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
}

bool InGrid(int32_t row, int32_t column)
{
    return row >= 0 && row < SEQ_GRID_ROWS && column >= 0 && column < SEQ_GRID_COLUMNS;
}

// Every holder of a riff id, after riff `deleted` went: ids above it drop by one.
void LowerRiffHolders(int32_t deleted)
{
    auto lower = [deleted](uint16_t &id) {
        if (id == deleted)
            id = 0;
        else if (id > deleted)
            id--;
    };
    lower(g_uCurrentRiff);
    lower(g_uLibraryRiff);
    // A riff deleted outright (modes 2 and 3) leaves the queue too, or its entries would name
    // the riff that takes its id.
    uint16_t queued = 0;
    for (uint32_t i = 0; i < g_uDeferredRiffCount; i++) {
        const uint16_t id = g_auDeferredRiffs[i];
        if (id != deleted)
            g_auDeferredRiffs[queued++] = id > deleted ? (uint16_t)(id - 1) : id;
    }
    g_uDeferredRiffCount = queued;
    // The riff list names only riffs that exist; drop the deleted one and close the gap.
    uint16_t kept = 0;
    for (uint32_t i = 1; i <= g_uRiffListCount; i++) {
        uint16_t id = g_auRiffList[i];
        if (id == deleted)
            continue;
        g_auRiffList[++kept] = id > deleted ? (uint16_t)(id - 1) : id;
    }
    g_uRiffListCount = kept;
    for (int32_t r = 1; r < g_uRiffCount; r++) {
        RIFFENTRY *riff = Seq_GetRiff(r);
        if (riff->uLink == deleted)
            riff->uLink = (uint16_t)r;
        else if (riff->uLink > deleted)
            riff->uLink--;
    }
    Seq_LowerPlayRiffIds(deleted);
    Seq_UndoLowerRiffIds(deleted);
}

} // namespace

// ---- Pool and record ----

int Seq_CreateRiffEntryPool()
{
    if (!g_pRiffEntryPool)
        g_pRiffEntryPool = Sys_PoolCreate(6, sizeof(RIFFENTRY), 23, IDPOOL_DENSE, "RIFFENTRY", nullptr);
    if (!g_NoteClipboard.puNotes)
        g_NoteClipboard.puNotes = (uint16_t *)calloc(SEQ_CLIPBOARD_CELLS, sizeof(uint16_t));
    if (!g_pRiffEntryPool || !g_NoteClipboard.puNotes)
        return -1;
    Seq_ClearRiffBody(&g_NoteClipboard, 8, 12);
    g_NoteClipboard.ucBars = 8;
    g_NoteClipboard.ucTracks = 12;
    return 0;
}

RIFFENTRY *Seq_GetRiff(int32_t id)
{
    if (id < 1 || id >= g_uRiffCount || !g_pRiffEntryPool)
        return nullptr;
    return (RIFFENTRY *)Sys_PoolGetFast(g_pRiffEntryPool, id - 1);
}

void Seq_ClearRiffBody(RIFFENTRY *riff, int32_t bars, int32_t tracks)
{
    uint16_t *notes = riff->puNotes;
    std::memset(riff, 0, RIFF_HEAD_BYTES);
    riff->puNotes = notes;
    if (notes)
        std::memset(notes, 0, sizeof(uint16_t) * (size_t)(bars * tracks * SEQ_STEPS_PER_BAR));
}

int32_t Seq_GetRiffLength(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    return r ? r->ucBars : 0;
}

int32_t Seq_GetRiffTrackCount(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    return r ? r->ucTracks : 0;
}

int32_t Seq_NewRiff(int32_t bars, int32_t tracks)
{
    if (bars < 1 || bars > SEQ_MAX_BARS || tracks < 1 || tracks > SEQ_MAX_TRACKS || !g_pRiffEntryPool ||
        g_uRiffCount > SEQ_MAX_RIFFS)
        return -1;
    auto *notes = (uint16_t *)calloc((size_t)(bars * tracks * SEQ_STEPS_PER_BAR), sizeof(uint16_t));
    if (!notes)
        return -1;
    int32_t poolId = -1;
    auto *r = (RIFFENTRY *)Sys_PoolAlloc(g_pRiffEntryPool, &poolId);
    if (!r) {
        free(notes);
        return -1;
    }
    const int32_t id = poolId + 1;
    g_uRiffCount++;
    std::memset(r, 0, RIFF_HEAD_BYTES);
    r->puNotes = notes;
    r->ucBars = (uint8_t)bars;
    r->ucTracks = (uint8_t)tracks;
    r->iUseCount = 1;
    r->ucStartLevel = 255;
    r->ucEndLevel = 255;
    r->uLink = (uint16_t)id;
    r->uRingCount = 1;
    r->iListMark = -1;
    r->ucType = 255;
    if (!g_bJamActive)
        g_bSongChanged = 1;
    return id;
}

void Seq_UnlinkRiff(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || r->uLink == riff)
        return;
    // Walk the ring to the riff that links here; a broken ring ends the walk.
    int32_t prev = r->uLink;
    for (int32_t guard = 0; guard < SEQ_MAX_RIFFS; guard++) {
        RIFFENTRY *p = Seq_GetRiff(prev);
        if (!p)
            break;
        if (p->uLink == riff) {
            p->uLink = r->uLink;
            break;
        }
        prev = p->uLink;
    }
    r->uLink = (uint16_t)riff;
}

int32_t Seq_FindLinkedRiff(int32_t riff, int32_t key, int32_t mode)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 0;
    int32_t id = r->uLink;
    for (int32_t guard = 0; id != riff && guard < SEQ_MAX_RIFFS; guard++) {
        RIFFENTRY *p = Seq_GetRiff(id);
        if (!p)
            return 0;
        if ((p->uKey & 0x3FFF) == key && (p->uKey >> 14) == mode)
            return id;
        id = p->uLink;
    }
    return 0;
}

void Seq_LinkRiffAfter(int32_t a, int32_t b)
{
    RIFFENTRY *ra = Seq_GetRiff(a);
    RIFFENTRY *rb = Seq_GetRiff(b);
    if (!ra || !rb || a == b)
        return;
    Seq_UnlinkRiff(b);
    rb->uLink = ra->uLink;
    ra->uLink = (uint16_t)b;
}

void Seq_ClearRiffDeleteMark(int32_t riff)
{
    if (RIFFENTRY *r = Seq_GetRiff(riff))
        r->uFlags &= (uint16_t)~RIFF_FLAG_DELETE;
}

int32_t Seq_ReleaseRiff(int32_t riff, int32_t mode, int32_t noUndo)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 0;
    if (mode == 0) {
        if (r->iUseCount > 0)
            r->iUseCount--;
    } else if (mode == 2 || mode == 3) {
        r->iUseCount = 0;
    }
    if (!noUndo)
        Seq_UndoHoldRiff(riff, mode);
    if (r->iUseCount > 0)
        return 0;

    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Seq_UnlinkRiff(riff);
    if (mode != 2)
        Seq_ReleaseRiffNotes(riff, noUndo);
    r = Seq_GetRiff(riff);
    // Grid: clear the riff's own rectangles, lower later riffs' first cells.
    for (int32_t row = 0; row < SEQ_GRID_ROWS; row++) {
        uint16_t *line = g_aSongGrid[row];
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++) {
            const uint16_t cell = line[c];
            if (cell & SEQ_CELL_CONTINUE)
                continue;
            const int32_t id = cell & SEQ_CELL_ID_MASK;
            if (id == riff) {
                line[c] = 0;
                for (int32_t k = 1; c + k < SEQ_GRID_COLUMNS && line[c + k] == (SEQ_CELL_CONTINUE | k | (cell & 0xE000)); k++)
                    line[c + k] = 0;
            } else if (id > riff) {
                line[c] = (uint16_t)(cell - 1);
            }
        }
    }
    free(r->puNotes);
    r->puNotes = nullptr;
    Sys_PoolFree(g_pRiffEntryPool, r);
    g_uRiffCount--;
    LowerRiffHolders(riff);
    return 1;
}

// ---- Grid ----

int32_t Seq_RiffAtCell(int32_t row, int32_t column, int32_t *pTopRow, int32_t *pLeftColumn)
{
    if (!InGrid(row, column))
        return 0;
    const uint16_t cell = g_aSongGrid[row][column];
    if (!(cell & 0x1FFF))
        return 0;
    int32_t left = column;
    if (cell & SEQ_CELL_CONTINUE)
        left -= cell & SEQ_CELL_ID_MASK;
    const int32_t top = row - Seq_CellBar(cell);
    if (left < 0 || top < 0)
        return 0;
    const uint16_t first = g_aSongGrid[top][left];
    if (first & SEQ_CELL_CONTINUE)
        return 0;
    if (pTopRow)
        *pTopRow = top;
    if (pLeftColumn)
        *pLeftColumn = left;
    return first & SEQ_CELL_ID_MASK;
}

void Seq_PlaceRiff(int32_t riff, int32_t row, int32_t column, int32_t library, int32_t noUndo)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    if (library)
        g_uLibraryRiff = (uint16_t)riff;
    // The use count is 16 bits: a riff already used 32767 times is not placed again.
    if (!InGrid(row, column) || g_aSongGrid[row][column] || column + r->ucTracks > SEQ_GRID_COLUMNS ||
        row + r->ucBars > SEQ_LAST_PLACE_ROW + 1 || r->iUseCount >= INT16_MAX)
        return;
    for (int32_t b = 0; b < r->ucBars; b++)
        for (int32_t t = 0; t < r->ucTracks; t++)
            if (Seq_RiffAtCell(row + b, column + t, nullptr, nullptr) || g_aSongGrid[row + b][column + t])
                return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (int32_t t = 0; t < r->ucTracks; t++)
        for (int32_t b = 0; b < r->ucBars; b++) {
            uint16_t &cell = g_aSongGrid[row + b][column + t];
            if (!noUndo)
                Seq_UndoRecordCell(row + b, column + t, cell, riff);
            cell = (uint16_t)(b << 13 | (t == 0 ? riff : (SEQ_CELL_CONTINUE | t)));
        }
    r->iUseCount++;
    if (row + r->ucBars > g_uSongRowCount)
        g_uSongRowCount = (uint16_t)(row + r->ucBars);
}

void Seq_RemoveRiffAt(int32_t row, int32_t column, int32_t noUndo)
{
    int32_t top = 0, left = 0;
    const int32_t riff = Seq_RiffAtCell(row, column, &top, &left);
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        if (!noUndo)
            Seq_UndoRecordCell(top, left, g_aSongGrid[top][left], 0);
        for (int32_t b = 0; b < r->ucBars && top + b < SEQ_GRID_ROWS; b++)
            for (int32_t t = 0; t < r->ucTracks && left + t < SEQ_GRID_COLUMNS; t++)
                g_aSongGrid[top + b][left + t] = 0;
    }
    Seq_ReleaseRiff(riff, 0, noUndo);
}

uint16_t Seq_CountUsedRows()
{
    int32_t row = SEQ_GRID_ROWS - 1;
    for (; row >= 0; row--) {
        bool empty = true;
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS && empty; c++)
            empty = g_aSongGrid[row][c] == 0;
        if (!empty)
            break;
    }
    g_uSongRowCount = (uint16_t)(row + 1);
    return g_uSongRowCount;
}

int32_t Seq_GetRiffStartingAt(int32_t row, int32_t column)
{
    if (!InGrid(row, column))
        return 0;
    const uint16_t cell = g_aSongGrid[row][column];
    return (cell & 0xF000) ? 0 : (cell & SEQ_CELL_ID_MASK);
}

int32_t Seq_GetRiffInBlock(int32_t row, int32_t column, int32_t endRow, int32_t endColumn)
{
    const int32_t riff = Seq_GetRiffStartingAt(row, column);
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || row + r->ucBars > endRow || column + r->ucTracks > endColumn)
        return 0;
    return riff;
}

int32_t Seq_GetGridCellInfo(GRIDCELLQUERY *query, char *outName)
{
    if (!query)
        return 0;
    if (query->uRow >= SEQ_GRID_ROWS || query->ucColumn >= SEQ_GRID_COLUMNS)
        return 0;
    int32_t top = 0, left = 0;
    const int32_t riff = Seq_RiffAtCell(query->uRow, query->ucColumn, &top, &left);
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r) {
        if (outName)
            outName[0] = 0;
        query->ucIcon = query->ucColour = query->ucBar = query->ucBars = query->ucColumnOffset = query->ucTracks = 0;
        return 0;
    }
    query->ucIcon = (uint8_t)(g_auRiffTypeIcons[r->ucType < 18 ? r->ucType : 18] & 0xFF);
    query->ucColour = r->ucColour;
    query->ucBar = (uint8_t)(query->uRow - top);
    query->ucBars = r->ucBars;
    query->ucColumnOffset = (uint8_t)(query->ucColumn - left);
    query->ucTracks = r->ucTracks;
    if (outName) {
        std::memcpy(outName, r->szName, 16);
        outName[15] = 0;
    }
    return riff;
}

int32_t Seq_GridCellOp(int32_t row, int32_t column, GRIDCELLDESC *desc, int32_t flags, int32_t value)
{
    if (desc)
        desc->ucColumn = 255;
    int32_t top = 0, left = 0;
    const int32_t riff = Seq_RiffAtCell(row, column, &top, &left);
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 1;
    const SEQSELECTION &s = g_Selection;
    const bool selected = top == row && left == column && row + r->ucBars <= s.x + s.a && column + r->ucTracks <= s.y + s.b;
    if (desc && selected) {
        desc->uRow = (uint16_t)row;
        desc->uType = r->ucType;
        desc->uRiff = (uint16_t)riff;
        desc->ucColumn = (uint8_t)column;
        desc->ucBar = 0;
        desc->ucBars = r->ucBars;
        desc->ucColumnOffset = 0;
        desc->ucTracks = r->ucTracks;
        desc->ucMarker = 202;
    }
    if (!desc && (flags & 1) && selected) {
        Seq_QueueRiffDelete(riff);
        Seq_RemoveRiffAt(row, column, 0);
        ForgetLibraryKeys();
        return 1;
    }
    if (top != row && value != 0)
        return 1;
    if (flags & 2) {
        if (value == 8 && desc)
            Seq_QueueRiffDelete(riff);
        ForgetLibraryKeys();
        Seq_RemoveRiffAt(row, column, 0);
        Seq_CloseUndoStep();
    }
    return 1;
}

void Seq_ComputePlacementMask(int32_t row, int32_t column)
{
    auto occupied = [](int32_t r, int32_t c) {
        return r >= SEQ_GRID_ROWS - 1 || c >= SEQ_GRID_COLUMNS || r < 0 || c < 0 || (g_aSongGrid[r][c] & 0x1FFF) != 0 ||
               g_aSongGrid[r][c] != 0;
    };
    std::memset(g_abPlacementMask, 1, sizeof(g_abPlacementMask));
    if (!InGrid(row, column) || row >= SEQ_GRID_ROWS - 1) {
        std::memset(g_abPlacementMask, 0, sizeof(g_abPlacementMask));
        return;
    }
    const uint16_t cell = g_aSongGrid[row][column];
    if ((cell & 0x1FFF) == 0) {
        std::memset(g_abPlacementMask, 0, sizeof(g_abPlacementMask));
        int32_t freeRows = SEQ_MAX_BARS;
        for (int32_t c = 0; c < SEQ_MAX_TRACKS; c++)
            for (int32_t r = 0; r < freeRows; r++) {
                if (!occupied(row + r, column + c))
                    g_abPlacementMask[r][c] = 1;
                else
                    freeRows = r;
            }
        return;
    }
    if (cell & 0xF000)
        return; // not a first-column cell of a riff's first row: the mask stays full
    const int32_t riff = cell & SEQ_CELL_ID_MASK;
    RIFFENTRY *R = Seq_GetRiff(riff);
    if (!R)
        return;
    for (int32_t pr = 0; pr < SEQ_GRID_ROWS; pr++)
        for (int32_t pc = 0; pc < SEQ_GRID_COLUMNS; pc++) {
            if (g_aSongGrid[pr][pc] != riff)
                continue;
            int32_t freeRows = SEQ_MAX_BARS;
            for (int32_t c = 0; c < SEQ_MAX_TRACKS; c++) {
                for (int32_t r = 0; r < SEQ_MAX_BARS && r < freeRows; r++) {
                    if (r < R->ucBars && c < R->ucTracks)
                        continue;
                    const int32_t rr = pr + r, cc = pc + c;
                    bool blocks = occupied(rr, cc);
                    // Another placement of R whose first column sits c columns left would grow here.
                    if (!blocks && r >= R->ucBars && rr < SEQ_GRID_ROWS && (g_aSongGrid[rr][pc] & 0x1FFF) == riff)
                        blocks = true;
                    if (blocks)
                        freeRows = r;
                }
                for (int32_t r = freeRows; r < SEQ_MAX_BARS; r++)
                    g_abPlacementMask[r][c] = 0;
            }
        }
}

void Seq_SetSelection(int32_t x, int32_t y, int32_t a, int32_t b, int32_t sizeFlag)
{
    g_Selection.x = x;
    g_Selection.y = y;
    g_Selection.a = sizeFlag ? a : a - x + 1;
    g_Selection.b = sizeFlag ? b : b - y + 1;
}

namespace {

// The riff to place at a row: a transposed copy when the riff has a key and the key list asks.
int32_t RiffForRow(int32_t riff, int32_t row, bool *pTransposed)
{
    *pTransposed = false;
    const uint16_t word = Seq_KeyTransposition(riff, row);
    if (!word)
        return riff;
    const int32_t copy = Seq_TransposeRiff(riff, word & 0x3FFF, word >> 14);
    *pTransposed = copy != riff;
    return copy;
}

} // namespace

int32_t Seq_PlaceLibraryRiff(int32_t row, int32_t column)
{
    ForgetLibraryKeys();
    RIFFENTRY *r = Seq_GetRiff(g_uLibraryRiff);
    if (!r || !InGrid(row, column))
        return -1;
    Seq_ComputePlacementMask(row, column);
    if (!g_abPlacementMask[r->ucBars - 1][r->ucTracks - 1] || row + r->ucBars > SEQ_LAST_PLACE_ROW + 1 ||
        column + r->ucTracks > SEQ_GRID_COLUMNS)
        return -1;
    int32_t result = 0;
    if (g_aSongGrid[row][column] == 0) {
        bool transposed = false;
        const int32_t riff = RiffForRow(g_uLibraryRiff, row, &transposed);
        Seq_PlaceRiff(riff, row, column, transposed ? 0 : 1, 0);
        result = 1;
    }
    Seq_CloseUndoStep();
    Seq_UpdateSongSizes();
    return result;
}

int32_t Seq_PlaceRiffAt(int32_t riff, int32_t row, int32_t column)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || !InGrid(row, column) || row + r->ucBars > SEQ_LAST_PLACE_ROW + 1 ||
        column + r->ucTracks > SEQ_GRID_COLUMNS)
        return -1;
    if (g_aSongGrid[row][column] != 0)
        return 0;
    if (r->iUseCount >= INT16_MAX)
        return -1;
    Seq_ComputePlacementMask(row, column);
    if (!g_abPlacementMask[r->ucBars - 1][r->ucTracks - 1])
        return -1;
    bool transposed = false;
    const int32_t use = RiffForRow(riff, row, &transposed);
    Seq_PlaceRiff(use, row, column, 0, 0);
    return 1;
}

int32_t Seq_RiffHasNotes(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return 0;
    const int32_t cells = r->ucBars * SEQ_STEPS_PER_BAR * r->ucTracks;
    for (int32_t i = 0; i < cells; i++)
        if (r->puNotes[i])
            return 1;
    return 0;
}

// ---- Merge and split ----

int32_t Seq_MergeSelectedRiffs()
{
    const SEQSELECTION s = g_Selection;
    // A merged riff must still fit a riff record (8 bars, 12 tracks) and the grid.
    if (s.a < 1 || s.b < 1 || s.a > SEQ_MAX_BARS || s.b > SEQ_MAX_TRACKS || !InGrid(s.x, s.y) ||
        s.x + s.a > SEQ_LAST_PLACE_ROW + 1 || s.y + s.b > SEQ_GRID_COLUMNS)
        return -1;
    struct Pos
    {
        int32_t row, column;
    };
    Pos found[SEQ_MAX_BARS * SEQ_MAX_TRACKS];
    int32_t count = 0;
    for (int32_t row = s.x; row < s.x + s.a; row++)
        for (int32_t c = s.y; c < s.y + s.b; c++) {
            int32_t top = 0, left = 0;
            const int32_t riff = Seq_RiffAtCell(row, c, &top, &left);
            if (!riff)
                continue;
            RIFFENTRY *r = Seq_GetRiff(riff);
            if (!r || top < s.x || left < s.y || top + r->ucBars > s.x + s.a || left + r->ucTracks > s.y + s.b)
                return -1;
            if (top == row && left == c)
                found[count++] = {row, c};
        }
    if (count < 2)
        return -1;
    int32_t merged = Seq_NewRiff(s.a, s.b);
    if (merged < 0)
        return -1;
    {
        RIFFENTRY *m = Seq_GetRiff(merged);
        Seq_MakeDefaultName(m->szName, 0);
        m->iUseCount = 1;
    }
    // Column by column from the left, top down within a column.
    std::sort(found, found + count, [](const Pos &p, const Pos &q) {
        return p.column != q.column ? p.column < q.column : p.row < q.row;
    });
    for (int32_t i = 0; i < count; i++) {
        const int32_t riff = Seq_GetRiffStartingAt(found[i].row, found[i].column);
        RIFFENTRY *r = Seq_GetRiff(riff);
        if (!r)
            continue;
        const int32_t bars = r->ucBars, tracks = r->ucTracks, start = r->ucStartLevel, end = r->ucEndLevel;
        for (int32_t t = 0; t < tracks; t++)
            for (int32_t b = 0; b < bars; b++)
                for (int32_t st = 0; st < SEQ_STEPS_PER_BAR; st++) {
                    const int32_t note = *Seq_RiffCell(Seq_GetRiff(riff), b * 16 + st, t);
                    if (!note)
                        continue;
                    const int32_t level = start + (end - start) * (b * 16 + st) / (bars * 16);
                    const int32_t id = Seq_CopyNoteWith(note, -1, -1, level * Seq_GetNote(note)->ucLevel / 256, -1, 0);
                    if (id < 0)
                        continue;
                    if (!Seq_SetRiffNote(merged, (found[i].row - s.x + b) * 16 + st, found[i].column - s.y + t, -id, 0,
                                         0, 0))
                        Seq_DeleteNote(id, 1, 0);
                }
        const uint16_t countBefore = g_uRiffCount;
        Seq_RemoveRiffAt(found[i].row, found[i].column, 0);
        if (g_uRiffCount < countBefore && riff < merged)
            merged--;
    }
    Seq_SetRiffDefaults(merged, 3);
    Seq_PlaceRiff(merged, s.x, s.y, 1, 0);
    Seq_CloseUndoStep();
    return 1;
}

int32_t Seq_SplitRiff(int32_t row, int32_t column, int32_t byBars, int32_t noUndo)
{
    const int32_t riff = Seq_GetRiffStartingAt(row, column);
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || (r->ucBars == 1 && r->ucTracks == 1))
        return 0;
    const int32_t bars = r->ucBars, tracks = r->ucTracks;
    const bool wholeBars = (tracks >= 2 || (r->uFlags & 1)) && !byBars;
    const int32_t pieceBars = wholeBars ? bars : 1;
    Seq_UnlinkRiff(riff);
    int32_t table[SEQ_MAX_TRACKS * SEQ_MAX_BARS];
    for (int32_t &v : table)
        v = 0;
    auto fail = [&]() {
        for (int32_t i = 0; i < SEQ_MAX_TRACKS * SEQ_MAX_BARS; i++) {
            if (!table[i])
                continue;
            const int32_t gone = table[i];
            table[i] = 0;
            if (Seq_ReleaseRiff(gone, 0, 1))
                for (int32_t k = i + 1; k < SEQ_MAX_TRACKS * SEQ_MAX_BARS; k++)
                    if (table[k] > gone)
                        table[k]--;
        }
        Seq_ClearUndo();
        Seq_PlayInterfaceSound(3);
        return 0;
    };
    for (int32_t t = 0; t < tracks;) {
        r = Seq_GetRiff(riff);
        const int32_t groupTracks = (t + 1 < tracks && (r->uFlags >> t & 1)) ? 2 : 1;
        for (int32_t p = 0; p < bars; p += pieceBars) {
            const int32_t piece = Seq_NewRiff(pieceBars, groupTracks);
            if (piece < 0)
                return fail();
            r = Seq_GetRiff(riff);
            RIFFENTRY *n = Seq_GetRiff(piece);
            const int32_t start = r->ucStartLevel, end = r->ucEndLevel;
            const int32_t slope = ((end - start) * 65536) / bars;
            n->ucStartLevel = (uint8_t)(start + ((slope * (p / pieceBars * pieceBars)) >> 16));
            n->ucEndLevel = (uint8_t)(start + ((slope * (p + pieceBars)) >> 16));
            std::memcpy(n->szName, r->szName, 16);
            n->szName[15] = 0;
            Seq_MakeDefaultName(n->szName, 2);
            if (groupTracks == 2)
                n->uFlags = 1;
            bool any = false;
            for (int32_t g = 0; g < groupTracks; g++)
                for (int32_t st = 0; st < pieceBars * 16; st++) {
                    const int32_t note = *Seq_RiffCell(Seq_GetRiff(riff), p * 16 + st, t + g);
                    if (!note)
                        continue;
                    const int32_t left = pieceBars * 16 - st;
                    const int32_t length = Seq_GetNote(note)->ucLength > left ? left : -1;
                    const int32_t id = Seq_CopyNoteWith(note, -1, length, -1, -1, noUndo);
                    if (id < 0) {
                        Seq_ReleaseRiff(piece, 0, 1);
                        return fail();
                    }
                    if (Seq_SetRiffNote(piece, st, g, -id, 1, 0, 0))
                        any = true;
                    else
                        Seq_DeleteNote(id, 1, 0);
                }
            if (any) {
                table[t * bars + p] = piece;
                Seq_SetRiffDefaults(piece, 3);
            } else {
                Seq_ReleaseRiff(piece, 0, 1);
            }
        }
        t += groupTracks;
    }
    Seq_RemoveRiffAt(row, column, noUndo);
    // A release above may have lowered piece ids only if a riff below them went, which the removal
    // cannot do (the old riff keeps its own use), so the table stands as it is.
    for (int32_t i = 0; i < SEQ_MAX_TRACKS * SEQ_MAX_BARS; i++)
        if (table[i])
            Seq_PlaceRiff(table[i], row + i % bars, column + i / bars, 0, noUndo);
    if (!noUndo)
        Seq_CloseUndoStep();
    return 1;
}

// ---- Riff list and deletion ----

int32_t Seq_BuildRiffList()
{
    g_uRiffListCount = 0;
    for (int32_t id = 1; id < g_uRiffCount; id++) {
        RIFFENTRY *r = Seq_GetRiff(id);
        const int32_t score = (id == g_uLibraryRiff ? 1 : 0) + r->iUseCount - Seq_UndoCountHolds(id) -
                              ((r->uFlags & RIFF_FLAG_DELETE) ? 1 : 0);
        if (score > 0 && r->iListMark < 1)
            g_auRiffList[++g_uRiffListCount] = (uint16_t)id;
    }
    return g_uRiffListCount;
}

void Seq_PurgeDeletedRiffs()
{
    for (int32_t id = 1; id < g_uRiffCount;) {
        RIFFENTRY *r = Seq_GetRiff(id);
        if ((r->uFlags & RIFF_FLAG_DELETE) && r->iUseCount == 1 && id != g_uLibraryRiff &&
            Seq_ReleaseRiff(id, 0, 1))
            continue;
        id++;
    }
}

int32_t Seq_QueueRiffDelete(int32_t riff)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return -1;
    int32_t result = 0;
    if (g_uDeferredRiffCount >= SEQ_DEFERRED_RIFFS) {
        // Full: work off what is queued first rather than write past the queue.
        Seq_FlushDeletedRiffs();
        result = -1;
        r = Seq_GetRiff(riff);
        if (!r)
            return -1;
    }
    r->iUseCount++;
    g_auDeferredRiffs[g_uDeferredRiffCount++] = (uint16_t)riff;
    return result;
}

void Seq_FlushDeletedRiffs()
{
    // Ids of riffs deleted here are lowered in the queue by LowerRiffHolders as they go.
    while (g_uDeferredRiffCount > 0) {
        const int32_t riff = g_auDeferredRiffs[--g_uDeferredRiffCount];
        Seq_ReleaseRiff(riff, 0, 1);
    }
    if (!g_bJamActive)
        Seq_UpdateSongSizes();
}

// ---- Note cells ----

int32_t Seq_SetRiffNote(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t noUndo, int32_t, int32_t)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || step < 0 || track < 0 || track >= r->ucTracks || step >= r->ucBars * 16)
        return 0;
    const int32_t steps = r->ucBars * 16;
    if (note == 0) {
        const int32_t old = *Seq_RiffCell(r, step, track);
        if (!old)
            return 1;
        if (!noUndo)
            Seq_UndoRecordRiffNote(riff, step, track, (uint16_t)old);
        *Seq_RiffCell(r, step, track) = 0;
        return Seq_DeleteNote(old, noUndo, 0) ? 2 : 1;
    }
    // Only the hand-over of an existing note: new notes come from the note editor.
    int32_t id = note < 0 ? -note : note;
    NOTEENTRY *n = Seq_GetNote(id);
    if (!n)
        return 0;
    if (note < 0 && step + n->ucLength > steps)
        return 0;
    for (int32_t s = step - 1; s >= 0; s--) {
        const int32_t prev = *Seq_RiffCell(r, s, track);
        if (!prev)
            continue;
        if (s + Seq_GetNote(prev)->ucLength > step)
            return 0;
        break;
    }
    for (int32_t s = step + 1; s < step + n->ucLength && s < steps; s++) {
        r = Seq_GetRiff(riff);
        const int32_t later = *Seq_RiffCell(r, s, track);
        if (!later)
            continue;
        if (!noUndo)
            Seq_UndoRecordRiffNote(riff, s, track, (uint16_t)later);
        *Seq_RiffCell(r, s, track) = 0;
        // The caller's note keeps its reference, but its id drops when a lower note goes.
        if (Seq_DeleteNote(later, noUndo, 0) && later < id)
            id--;
    }
    r = Seq_GetRiff(riff);
    uint16_t &cell = *Seq_RiffCell(r, step, track);
    const int32_t old = cell;
    if (!noUndo)
        Seq_UndoRecordRiffNote(riff, step, track, (uint16_t)old);
    cell = (uint16_t)id;
    if (Seq_GetNote(id)->ucFlags & NOTE_FLAG_JOINED)
        r->uFlags |= (uint16_t)(1u << track);
    if (old && old != id)
        Seq_DeleteNote(old, noUndo, 0);
    return 1;
}

void Seq_ReplaceRiffCell(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t noUndo)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || step < 0 || track < 0 || track >= r->ucTracks || step >= r->ucBars * 16)
        return;
    uint16_t &cell = *Seq_RiffCell(r, step, track);
    const int32_t old = cell;
    if (!noUndo)
        Seq_UndoRecordRiffNote(riff, step, track, (uint16_t)old);
    cell = (uint16_t)note;
    if (old)
        Seq_DeleteNote(old, noUndo, 0);
}
