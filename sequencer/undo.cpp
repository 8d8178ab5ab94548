// The undo log (see undo.h for the hold rules).
#include "sequencer/undo.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/mixlock.h"
#include "sequencer/instruments.h"
#include "sequencer/songmodel.h"
#include "video/lanes.h"

uint16_t *g_pUndoLog;
int32_t g_iUndoWritePos = SEQ_UNDO_LOG_BYTES;
int32_t g_iUndoRedoPos = SEQ_UNDO_LOG_BYTES;

namespace {

enum : uint16_t
{
    REC_CELL = 1,
    REC_RIFF_USE = 2,
    REC_NOTE_REF = 3,
    REC_INSTRUMENT = 4,
    REC_RIFF_NOTE = 5,
    REC_MARKER = 6,
    REC_RIFF_TYPE = 7, // riff (0: a riff since deleted), old type, new type
};

int32_t s_iLogBytes = SEQ_UNDO_LOG_BYTES;
// A record could not be written: the step in progress is incomplete, so the log goes at the next
// safe point and nothing more is recorded until then.
bool s_bBroken;
uint32_t s_uSerial;
// Counts emptyings: a revert that empties the log (a riff deleted outright) ends the walk.
uint32_t s_uGeneration;

// Holds of dropped records, given back at the next safe point.
struct Pending
{
    bool riff; // else a note
    int32_t id;
};
std::vector<Pending> s_pending;

int32_t End()
{
    return s_iLogBytes;
}

uint16_t *At(int32_t offset)
{
    return &g_pUndoLog[offset / 2];
}

// Bytes of the record at an offset; 0 for a word that starts no record (a damaged log).
int32_t RecordBytes(int32_t offset)
{
    switch (*At(offset)) {
    case REC_CELL: return 12;
    case REC_RIFF_USE: return 8;
    case REC_NOTE_REF: return 6;
    case REC_INSTRUMENT: return 20;
    case REC_RIFF_NOTE: return 12;
    case REC_MARKER: return 4;
    case REC_RIFF_TYPE: return 8;
    default: return 0;
    }
}

// Visits every record in [from, to).
template <typename Fn> void ForEach(int32_t from, int32_t to, Fn fn)
{
    for (int32_t off = from; off < to;) {
        const int32_t bytes = RecordBytes(off);
        if (!bytes)
            return;
        fn(off, At(off));
        off += bytes;
    }
}

// Queues what the records in [from, to) hold. doneSide: records of done edits (type 2 then holds
// two uses, both given back).
void DropRecords(int32_t from, int32_t to, bool doneSide)
{
    ForEach(from, to, [doneSide](int32_t, uint16_t *w) {
        switch (w[0]) {
        case REC_RIFF_USE:
            s_pending.push_back({true, w[1]});
            if (doneSide)
                s_pending.push_back({true, w[1]});
            break;
        case REC_NOTE_REF:
            s_pending.push_back({false, w[1]});
            break;
        case REC_RIFF_NOTE:
            if (w[4])
                s_pending.push_back({false, w[4]});
            break;
        default:
            break;
        }
    });
}

// Gives back the queued holds. Every release may free a note and lower the queue's later ids.
void FlushPending()
{
    for (size_t i = 0; i < s_pending.size(); i++) {
        const Pending p = s_pending[i];
        s_pending[i].id = 0;
        if (p.riff)
            Seq_ReleaseRiff(p.id, 0, 1);
        else
            Seq_DeleteNote(p.id, 1, 0);
    }
    s_pending.clear();
}

void DiscardRedoRecords()
{
    if (!g_pUndoLog || g_iUndoRedoPos == g_iUndoWritePos)
        return;
    DropRecords(g_iUndoRedoPos, g_iUndoWritePos, false);
    g_iUndoRedoPos = g_iUndoWritePos;
}

// Drops the log's contents (holds queued) and empties it.
void EmptyLog()
{
    if (!g_pUndoLog)
        return;
    DiscardRedoRecords();
    DropRecords(g_iUndoWritePos, End(), true);
    g_iUndoWritePos = g_iUndoRedoPos = End();
    s_bBroken = false;
    s_uGeneration++;
}

// Room for n bytes below W, dropping whole oldest steps; false when it cannot be made.
bool Seq_UndoMakeRoom(int32_t n)
{
    DiscardRedoRecords();
    while (n >= g_iUndoWritePos) {
        // The oldest step starts at the marker nearest the end.
        int32_t marker = -1;
        ForEach(g_iUndoWritePos, End(), [&marker](int32_t off, uint16_t *w) {
            if (w[0] == REC_MARKER)
                marker = off;
        });
        if (marker < 0)
            return false;
        DropRecords(marker, End(), true);
        const int32_t shift = End() - marker;
        std::memmove(At(g_iUndoWritePos + shift), At(g_iUndoWritePos), (size_t)(marker - g_iUndoWritePos));
        g_iUndoWritePos += shift;
        g_iUndoRedoPos = g_iUndoWritePos;
    }
    return true;
}

bool Write(const uint16_t *words, int32_t count)
{
    if (!g_pUndoLog || s_bBroken)
        return false;
    const int32_t bytes = count * 2;
    if (!Seq_UndoMakeRoom(bytes)) {
        s_bBroken = true;
        return false;
    }
    s_uSerial++;
    g_iUndoRedoPos = g_iUndoWritePos - bytes;
    std::memcpy(At(g_iUndoRedoPos), words, (size_t)bytes);
    g_iUndoWritePos = g_iUndoRedoPos;
    return true;
}

// The end of a safe section: a broken log goes, queued holds are given back.
void SafePoint()
{
    if (s_bBroken)
        EmptyLog();
    FlushPending();
}

uint16_t *CellOf(int32_t riff, int32_t step, int32_t track)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r || step >= r->ucBars * SEQ_STEPS_PER_BAR || track >= r->ucTracks)
        return nullptr;
    return Seq_RiffCell(r, step, track);
}

// Puts a note (0 = none) into a cell; the cell takes its own reference, the old one's goes.
void SetCell(int32_t riff, int32_t step, int32_t track, int32_t note)
{
    uint16_t *cell = CellOf(riff, step, track);
    if (!cell)
        return;
    const int32_t old = *cell;
    if (old == note)
        return;
    *cell = (uint16_t)note;
    if (note)
        Seq_AddNoteRef(note);
    if (old)
        Seq_DeleteNote(old, 1, 0);
}

// Reverts one record of a done step. Re-reads the record after each call that may renumber.
void Revert(int32_t offset)
{
    uint16_t *w = At(offset);
    switch (w[0]) {
    case REC_CELL:
        if (w[3] == 0) {
            const int32_t riff = w[4] & SEQ_CELL_ID_MASK;
            Seq_PlaceRiff(riff, w[1], w[2], 0, 1);
            Seq_ReleaseRiff(riff, 0, 1);
        } else {
            Seq_RemoveRiffAt(w[1], w[2], 1);
        }
        break;
    case REC_INSTRUMENT:
        if (w[1] == 1)
            Seq_ClearInstrument(w[9], 1, 1);
        break;
    case REC_RIFF_NOTE:
        SetCell(w[5], w[2], w[3], w[1] == 0 ? w[4] : 0);
        break;
    case REC_RIFF_TYPE:
        if (w[1] && Seq_GetRiff(w[1]))
            Seq_SetRiffType(w[1], w[2]);
        break;
    default:
        break;
    }
}

void Reapply(int32_t offset)
{
    uint16_t *w = At(offset);
    switch (w[0]) {
    case REC_CELL:
        if (w[3] == 1)
            Seq_PlaceRiff(w[5], w[1], w[2], 0, 1);
        else
            Seq_RemoveRiffAt(w[1], w[2], 1);
        break;
    case REC_RIFF_USE:
        if (w[3] != 1)
            if (RIFFENTRY *r = Seq_GetRiff(w[1]))
                r->iUseCount++;
        break;
    case REC_RIFF_NOTE:
        SetCell(w[5], w[2], w[3], w[1] == 1 ? w[4] : 0);
        break;
    case REC_RIFF_TYPE:
        if (w[1] && Seq_GetRiff(w[1]))
            Seq_SetRiffType(w[1], w[3]);
        break;
    default:
        break;
    }
}

} // namespace

void Seq_SetUndoLogSize(int32_t bytes)
{
    Seq_FreeUndoLog();
    s_iLogBytes = bytes < 16 ? 16 : (bytes & ~1);
    g_iUndoWritePos = g_iUndoRedoPos = End();
}

uint32_t Seq_UndoRecordSerial()
{
    return s_uSerial;
}

int32_t Seq_UndoLogSize()
{
    return s_iLogBytes;
}

void Seq_AllocUndoLog()
{
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    if (!g_pUndoLog)
        g_pUndoLog = (uint16_t *)calloc((size_t)s_iLogBytes / 2, sizeof(uint16_t));
    g_iUndoWritePos = g_iUndoRedoPos = End();
    s_bBroken = false;
}

void Seq_FreeUndoLog()
{
    if (g_pUndoLog) {
        Seq_ClearUndo();
        free(g_pUndoLog);
        g_pUndoLog = nullptr;
    }
    g_iUndoWritePos = g_iUndoRedoPos = End();
}

void Seq_EnsureUndoLog()
{
    Seq_ClearUnusedInstruments(0);
    if (!g_pUndoLog)
        Seq_AllocUndoLog();
    else
        Seq_UpdateSongSizes();
}

bool Seq_HasUndoLog()
{
    return g_pUndoLog != nullptr;
}

void Seq_CloseUndoStep()
{
    if (g_pUndoLog && !s_bBroken && g_iUndoWritePos != End() && *At(g_iUndoWritePos) != REC_MARKER) {
        const uint16_t marker[2] = {REC_MARKER, 0};
        Write(marker, 2);
    }
    SafePoint();
}

void Seq_UndoCountSteps(int32_t *pDone, int32_t *pRedo)
{
    int32_t done = 0, redo = 0;
    if (g_pUndoLog) {
        ForEach(g_iUndoRedoPos, End(), [&](int32_t off, uint16_t *w) {
            if (w[0] == REC_MARKER)
                (off >= g_iUndoWritePos ? done : redo)++;
        });
        // The oldest step's records may lie above the last marker only while it is open.
        if (g_iUndoWritePos < End() && *At(g_iUndoWritePos) != REC_MARKER)
            done++;
    }
    if (pDone)
        *pDone = done;
    if (pRedo)
        *pRedo = redo;
}

bool Seq_CanUndo()
{
    return g_pUndoLog && !s_bBroken && g_iUndoWritePos < End();
}

bool Seq_CanRedo()
{
    return g_pUndoLog && !s_bBroken && g_iUndoRedoPos < g_iUndoWritePos;
}

void Seq_UndoLastStep()
{
    if (!g_pUndoLog)
        return;
    Seq_CloseUndoStep();
    if (g_iUndoWritePos < End()) {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        // Past the step's marker, up to the marker of the step before it (or the end).
        const uint32_t generation = s_uGeneration;
        int32_t off = g_iUndoWritePos + RecordBytes(g_iUndoWritePos);
        while (off < End()) {
            const int32_t bytes = RecordBytes(off);
            if (!bytes || *At(off) == REC_MARKER)
                break;
            Revert(off);
            if (s_uGeneration != generation)
                break;
            off += bytes;
        }
        if (s_uGeneration == generation)
            g_iUndoWritePos = off > End() ? End() : off;
    }
    SafePoint();
    Seq_ClearUnusedInstruments(0);
    Seq_UpdateSongSizes();
}

void Seq_RedoLastStep()
{
    if (!g_pUndoLog || g_iUndoRedoPos >= g_iUndoWritePos) {
        SafePoint();
        return;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        const uint32_t generation = s_uGeneration;
        while (s_uGeneration == generation) {
            // The record just below W.
            int32_t below = -1;
            ForEach(g_iUndoRedoPos, g_iUndoWritePos, [&below](int32_t off, uint16_t *) { below = off; });
            if (below < 0)
                break;
            g_iUndoWritePos = below;
            if (*At(below) == REC_MARKER)
                break;
            Reapply(below);
        }
    }
    SafePoint();
    Seq_UpdateSongSizes();
}

void Seq_DiscardRedo()
{
    DiscardRedoRecords();
    SafePoint();
}

void Seq_ClearUndo()
{
    if (g_pUndoLog && !s_bBroken && g_iUndoWritePos != End() && *At(g_iUndoWritePos) != REC_MARKER) {
        const uint16_t marker[2] = {REC_MARKER, 0};
        Write(marker, 2);
    }
    EmptyLog();
    FlushPending();
}

void Seq_UndoLowerNoteIds(int32_t note)
{
    auto lower = [note](uint16_t &id) {
        if (id == note)
            id = 0; // cannot happen while the record holds it; a 0 names nothing
        else if (id > note)
            id--;
    };
    for (Pending &p : s_pending)
        if (!p.riff && p.id) {
            uint16_t id = (uint16_t)p.id;
            lower(id);
            p.id = id;
        }
    if (!g_pUndoLog)
        return;
    ForEach(g_iUndoRedoPos, End(), [&lower](int32_t, uint16_t *w) {
        if (w[0] == REC_NOTE_REF)
            lower(w[1]);
        else if (w[0] == REC_RIFF_NOTE && w[4])
            lower(w[4]);
    });
}

void Seq_UndoLowerRiffIds(int32_t riff)
{
    auto lower = [riff](uint16_t &id) {
        if (id > riff)
            id--;
    };
    for (Pending &p : s_pending)
        if (p.riff && p.id > riff)
            p.id--;
    if (!g_pUndoLog)
        return;
    ForEach(g_iUndoRedoPos, End(), [&lower, riff](int32_t, uint16_t *w) {
        switch (w[0]) {
        case REC_CELL:
            if (w[3] == 0 && (w[4] & SEQ_CELL_ID_MASK) > riff)
                w[4]--;
            lower(w[5]);
            break;
        case REC_RIFF_USE: lower(w[1]); break;
        case REC_RIFF_NOTE: lower(w[5]); break;
        case REC_RIFF_TYPE:
            // The record holds no use: the riff it names may go, and the record then does nothing.
            if (w[1] == riff)
                w[1] = 0;
            lower(w[1]);
            break;
        default: break;
        }
    });
}

void Seq_UndoCollectHolds(std::vector<int32_t> &riffUses, std::vector<int32_t> &noteRefs)
{
    riffUses.assign((size_t)g_uRiffCount + 1, 0);
    noteRefs.assign((size_t)g_uNoteCount + 2, 0);
    auto add = [](std::vector<int32_t> &v, int32_t id, int32_t n) {
        if (id > 0 && (size_t)id < v.size())
            v[(size_t)id] += n;
    };
    for (const Pending &p : s_pending)
        add(p.riff ? riffUses : noteRefs, p.id, 1);
    if (!g_pUndoLog)
        return;
    ForEach(g_iUndoRedoPos, End(), [&](int32_t off, uint16_t *w) {
        const bool done = off >= g_iUndoWritePos;
        switch (w[0]) {
        case REC_RIFF_USE: add(riffUses, w[1], done ? 2 : 1); break;
        case REC_NOTE_REF: add(noteRefs, w[1], 1); break;
        case REC_RIFF_NOTE: add(noteRefs, w[4], 1); break;
        default: break;
        }
    });
}

int32_t Seq_UndoCountHolds(int32_t id, int32_t kind)
{
    std::vector<int32_t> riffs, notes;
    Seq_UndoCollectHolds(riffs, notes);
    const std::vector<int32_t> &v = kind ? riffs : notes;
    return id > 0 && (size_t)id < v.size() ? v[(size_t)id] : 0;
}

int32_t Seq_UndoFindDangling()
{
    int32_t bad = -1;
    for (const Pending &p : s_pending)
        if (p.id && (p.riff ? !Seq_GetRiff(p.id) : !Seq_GetNote(p.id)))
            return 0;
    if (!g_pUndoLog)
        return -1;
    auto riffOk = [](int32_t id) { return Seq_GetRiff(id) != nullptr; };
    auto noteOk = [](int32_t id) { return id == 0 || Seq_GetNote(id) != nullptr; };
    ForEach(g_iUndoRedoPos, End(), [&](int32_t off, uint16_t *w) {
        bool ok = true;
        switch (w[0]) {
        case REC_CELL: ok = w[3] == 1 ? riffOk(w[5]) : riffOk(w[4] & SEQ_CELL_ID_MASK); break;
        case REC_RIFF_USE: ok = riffOk(w[1]); break;
        case REC_NOTE_REF: ok = noteOk(w[1]) && w[1]; break;
        case REC_RIFF_NOTE: ok = riffOk(w[5]) && noteOk(w[4]); break;
        case REC_RIFF_TYPE: ok = w[1] == 0 || riffOk(w[1]); break;
        default: break;
        }
        if (!ok && bad < 0)
            bad = off;
    });
    // A record that starts no known type is damage too.
    int32_t end = g_iUndoRedoPos;
    ForEach(g_iUndoRedoPos, End(), [&end](int32_t off, uint16_t *) { end = off + RecordBytes(off); });
    if (bad < 0 && end != End())
        bad = end;
    return bad;
}

bool Seq_UndoNamesRiff(int32_t riff)
{
    bool named = false;
    for (const Pending &p : s_pending)
        named = named || (p.riff && p.id == riff);
    if (!g_pUndoLog)
        return named;
    ForEach(g_iUndoRedoPos, End(), [&named, riff](int32_t, uint16_t *w) {
        switch (w[0]) {
        case REC_CELL: named = named || w[5] == riff || (w[3] == 0 && (w[4] & SEQ_CELL_ID_MASK) == riff); break;
        case REC_RIFF_USE: named = named || w[1] == riff; break;
        case REC_RIFF_NOTE: named = named || w[5] == riff; break;
        case REC_RIFF_TYPE: named = named || w[1] == riff; break;
        default: break;
        }
    });
    return named;
}

void Seq_UndoRecordCell(int32_t row, int32_t column, uint16_t oldCell, int32_t riff, int32_t kind)
{
    const uint16_t w[6] = {REC_CELL, (uint16_t)row, (uint16_t)column, (uint16_t)kind, oldCell, (uint16_t)riff};
    Write(w, 6);
}

void Seq_UndoRecordRiffUse(int32_t riff, int32_t mode, int32_t kind)
{
    RIFFENTRY *r = Seq_GetRiff(riff);
    if (!r)
        return;
    const uint16_t w[4] = {REC_RIFF_USE, (uint16_t)riff, (uint16_t)kind, (uint16_t)mode};
    if (Write(w, 4))
        r->iUseCount = (int16_t)(r->iUseCount + 2);
}

void Seq_UndoRecordNoteRef(int32_t note, int32_t count)
{
    if (!Seq_GetNote(note))
        return;
    const uint16_t w[3] = {REC_NOTE_REF, (uint16_t)note, (uint16_t)count};
    if (Write(w, 3))
        Seq_AddNoteRef(note);
}

void Seq_UndoRecordInstrument(const uint16_t words[9])
{
    uint16_t w[10] = {REC_INSTRUMENT};
    std::memcpy(&w[1], words, 9 * sizeof(uint16_t));
    Write(w, 10);
}

void Seq_UndoRecordRiffNote(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t kind)
{
    if (!Seq_GetRiff(riff) || (note && !Seq_GetNote(note)))
        return;
    const uint16_t w[6] = {REC_RIFF_NOTE, (uint16_t)kind, (uint16_t)step, (uint16_t)track, (uint16_t)note,
                           (uint16_t)riff};
    if (Write(w, 6) && note)
        Seq_AddNoteRef(note);
}

void Seq_UndoRecordRiffType(int32_t riff, int32_t oldType, int32_t newType)
{
    if (!Seq_GetRiff(riff))
        return;
    const uint16_t w[4] = {REC_RIFF_TYPE, (uint16_t)riff, (uint16_t)(oldType & 0xFF), (uint16_t)(newType & 0xFF)};
    Write(w, 4);
}
