// The song's four event lists and the song time computed from the tempo list.
#include "sequencer/eventlists.h"

#include "core/idpool.h"
#include "core/mixlock.h"
#include "sequencer/clock.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"

IDPOOL *g_pTrackEntryPool;
TRACKENTRY *g_pTempoList, *g_pVolumeList, *g_pEffectList, *g_pEventListF;
uint8_t g_ucSongHours, g_ucSongMinutes, g_ucSongSeconds;
uint8_t g_ucPosHours, g_ucPosMinutes, g_ucPosSeconds;
int32_t g_bSongMergeLoad;

namespace {

TRACKENTRY *NewEntry()
{
    if (!g_pTrackEntryPool)
        return nullptr;
    int32_t id = -1;
    auto *e = (TRACKENTRY *)Sys_PoolAlloc(g_pTrackEntryPool, &id);
    if (e)
        *e = TRACKENTRY{};
    return e;
}

void FreeEntry(TRACKENTRY *e)
{
    if (!e)
        return;
    if (e->pPartner)
        Sys_PoolFree(g_pTrackEntryPool, e->pPartner);
    Sys_PoolFree(g_pTrackEntryPool, e);
}

// The entry in force at a row: the last whose row is not above it.
TRACKENTRY *EntryAt(TRACKENTRY *head, int32_t row)
{
    TRACKENTRY *e = head;
    if (!e)
        return nullptr;
    while (e->pNext && Seq_EntryRow(e->pNext) <= row)
        e = e->pNext;
    return e;
}

int32_t ClampTempo(int32_t t)
{
    return t < SEQ_TEMPO_MIN ? SEQ_TEMPO_MIN : t > SEQ_TEMPO_MAX ? SEQ_TEMPO_MAX : t;
}

} // namespace

int Seq_CreateTrackEntryPool()
{
    if (!g_pTrackEntryPool)
        g_pTrackEntryPool = Sys_PoolCreate(4, sizeof(TRACKENTRY), 312, 0, "TRACKENTRY", nullptr);
    return g_pTrackEntryPool ? 0 : -1;
}

TRACKENTRY **Seq_ListHead(int32_t kind)
{
    switch (kind) {
    case LIST_TEMPO: return &g_pTempoList;
    case LIST_VOLUME: return &g_pVolumeList;
    case LIST_EFFECT: return &g_pEffectList;
    case LIST_KEY: return &g_pEventListF;
    default: return nullptr;
    }
}

void Seq_FreeTrackList(int32_t kind)
{
    TRACKENTRY **head = Seq_ListHead(kind);
    if (!head)
        return;
    for (TRACKENTRY *e = *head; e;) {
        TRACKENTRY *next = e->pNext;
        FreeEntry(e);
        e = next;
    }
    *head = nullptr;
}

int32_t Seq_CountTrackEntries(int32_t kind)
{
    TRACKENTRY **head = Seq_ListHead(kind);
    int32_t n = 0;
    for (TRACKENTRY *e = head ? *head : nullptr; e; e = e->pNext)
        n++;
    return n;
}

int32_t Seq_SetTrackEntry(int32_t row, int32_t length, int32_t start, int32_t end, int32_t type, int32_t aStart,
                          int32_t aEnd, int32_t bStart, int32_t bEnd, int32_t kind)
{
    // The lists and the tempo they set are read by the sequencer tick on the mix thread.
    std::lock_guard<std::recursive_mutex> mix(g_csMix);
    TRACKENTRY **head = Seq_ListHead(kind);
    if (!head || row < 0 || row >= SEQ_GRID_ROWS)
        return -1;
    // A ramp of 0 rows would divide by zero when it plays.
    length = length > 31 ? 31 : length < 1 ? 1 : length;
    if (!g_bJamActive)
        g_bSongChanged = 1;
    if (start == 0xFFFF) {
        if (row == 0) {
            Seq_FreeTrackList(kind);
            return 1;
        }
        for (TRACKENTRY **link = head; *link; link = &(*link)->pNext)
            if (Seq_EntryRow(*link) == row) {
                TRACKENTRY *gone = *link;
                *link = gone->pNext;
                FreeEntry(gone);
                break;
            }
        return 1;
    }
    if (kind == LIST_TEMPO) {
        start = ClampTempo(start);
        end = ClampTempo(end);
    }
    switch (kind) {
    case LIST_TEMPO:
        Seq_SetTempo(start);
        g_uSongTempo = g_uTempo;
        break;
    case LIST_VOLUME: Seq_SetMasterVolume(Seq_PercentToVolume(start & 0xFF, 16383)); break;
    case LIST_EFFECT:
        if (Seq_ApplyEffect(type, start & 0xFF, aStart, bStart, 1) < 0)
            return -1;
        break;
    default: break;
    }
    TRACKENTRY *e = NewEntry();
    if (!e)
        return -1;
    e->uPlace = (uint16_t)(row | length << 10);
    e->uStart = (uint16_t)start;
    e->uEnd = (uint16_t)end;
    if (kind == LIST_EFFECT) {
        TRACKENTRY *partner = NewEntry();
        if (!partner) {
            FreeEntry(e);
            return -1;
        }
        e->pPartner = partner;
        e->uEffectWord = (uint16_t)((type & 31) << 11);
        partner->uStart = (uint16_t)((bStart & 0xFF) << 8 | (aStart & 0xFF));
        partner->uEnd = (uint16_t)((bEnd & 0xFF) << 8 | (aEnd & 0xFF));
    }
    if (!*head || Seq_EntryRow(*head) > row) {
        e->pNext = *head;
        *head = e;
    } else {
        TRACKENTRY *at = EntryAt(*head, row);
        if (Seq_EntryRow(at) != row) {
            e->pNext = at->pNext;
            at->pNext = e;
        } else {
            at->uPlace = e->uPlace;
            at->uStart = e->uStart;
            at->uEnd = e->uEnd;
            if (kind == LIST_EFFECT) {
                at->uEffectWord = e->uEffectWord;
                at->pPartner->uStart = e->pPartner->uStart;
                at->pPartner->uEnd = e->pPartner->uEnd;
            }
            FreeEntry(e);
        }
    }
    if (kind == LIST_TEMPO)
        Seq_ComputeSongTime(row);
    return 1;
}

int32_t Seq_GetTrackEntryAt(TRACKQUERY *query, int32_t kind)
{
    TRACKENTRY **head = Seq_ListHead(kind);
    TRACKENTRY *e = head ? EntryAt(*head, query->iRow) : nullptr;
    if (!e)
        return 0;
    query->uStart = e->uStart;
    query->uEnd = e->uEnd;
    if (kind == LIST_EFFECT && e->pPartner) {
        query->uAStart = e->pPartner->uStart & 0xFF;
        query->uAEnd = e->pPartner->uEnd & 0xFF;
        query->uBStart = e->pPartner->uStart >> 8;
        query->uBEnd = e->pPartner->uEnd >> 8;
        query->ucType = (uint8_t)(e->uEffectWord >> 11);
    }
    query->uRowsIn = (uint16_t)(query->iRow - Seq_EntryRow(e));
    query->uLength = (uint16_t)Seq_EntryLength(e);
    return query->iRow >= Seq_EntryRow(e) && query->iRow < Seq_EntryRow(e) + Seq_EntryLength(e) ? 1 : 0;
}

void Seq_GetRampState(int32_t row, TRACKRAMP *state, int32_t kind)
{
    *state = TRACKRAMP{};
    TRACKENTRY **head = Seq_ListHead(kind);
    TRACKENTRY *e = head ? EntryAt(*head, row) : nullptr;
    if (!e)
        return;
    state->pNext = e->pNext;
    const int32_t first = Seq_EntryRow(e), length = Seq_EntryLength(e) ? Seq_EntryLength(e) : 1;
    const int32_t ps = e->pPartner ? e->pPartner->uStart : 0, pe = e->pPartner ? e->pPartner->uEnd : 0;
    if (row >= first && row < first + length) {
        const int32_t steps = length * 16;
        const int32_t d = (row - first) * 16;
        state->iStep = (int32_t)((e->uEnd - e->uStart) * 4096) / steps;
        state->iValue = e->uStart * 4096 + d * state->iStep;
        state->uStepsLeft = (uint16_t)(steps - d);
        state->iStep2 = (((pe & 255) - (ps & 255)) * 4096) / steps;
        state->iValue2 = ps * 4096 + d * state->iStep2;
        state->iStep3 = (((pe & 0xFF00) - (ps & 0xFF00)) * 16) / steps;
        state->iValue3 = (ps & 0xFF00) * 16 + d * state->iStep3;
    } else {
        state->iValue = e->uEnd * 4096;
        state->iValue2 = pe * 4096;
        state->iValue3 = (pe & 0xFF00) * 16;
    }
    if (kind == LIST_EFFECT && (e->uEffectWord >> 11) != g_ucEffectType)
        Seq_ApplyEffect(e->uEffectWord >> 11, state->iValue >> 12, (state->iValue2 >> 12) & 0xFF,
                        (state->iValue3 >> 12) & 0xFF, 0);
}

int32_t Seq_ShiftTrackEntries(int32_t row, int32_t shift)
{
    // Nothing moves when any entry would leave the grid's rows.
    for (int32_t kind = LIST_TEMPO; kind <= LIST_KEY; kind++)
        for (TRACKENTRY *e = *Seq_ListHead(kind); e; e = e->pNext)
            if (Seq_EntryRow(e) >= row && (Seq_EntryRow(e) + shift < 0 || Seq_EntryRow(e) + shift >= SEQ_GRID_ROWS))
                return -1;
    for (int32_t kind = LIST_TEMPO; kind <= LIST_KEY; kind++)
        for (TRACKENTRY *e = *Seq_ListHead(kind); e; e = e->pNext)
            if (Seq_EntryRow(e) >= row)
                e->uPlace = (uint16_t)((e->uPlace & 0xFC00) | (Seq_EntryRow(e) + shift));
    if (g_bSongMergeLoad)
        return 1;
    // Each list gets its own default head again where the shift left row 0 without an entry.
    for (int32_t kind = LIST_TEMPO; kind <= LIST_KEY; kind++) {
        TRACKENTRY **head = Seq_ListHead(kind);
        if (*head && Seq_EntryRow(*head) == 0)
            continue;
        TRACKENTRY *e = NewEntry();
        if (!e)
            return -1;
        e->uPlace = 1 << 10;
        switch (kind) {
        case LIST_TEMPO: e->uStart = e->uEnd = 130; break;
        case LIST_VOLUME: e->uStart = e->uEnd = g_ucMasterVolume; break;
        case LIST_EFFECT: {
            e->uStart = e->uEnd = 50;
            e->pPartner = NewEntry();
            if (!e->pPartner) {
                FreeEntry(e);
                return -1;
            }
            e->uEffectWord = 5 << 11;
            break;
        }
        default: break;
        }
        e->pNext = *head;
        *head = e;
    }
    return 1;
}

void Seq_ComputeSongTime(int32_t row)
{
    if (row < 0)
        return;
    const int32_t endRow = row == 9999 ? Seq_CountUsedRows() : row;
    TRACKENTRY *entry = g_pTempoList;
    int32_t t = entry ? ClampTempo(entry->uStart) : 130, inc = 0;
    int64_t total = 0;
    for (int32_t r = 0; r < endRow; r++) {
        if (entry && Seq_EntryRow(entry) == r) {
            TRACKRAMP ramp;
            Seq_GetRampState(r, &ramp, LIST_TEMPO);
            t = ClampTempo(ramp.iValue >> 12);
            inc = ramp.iStep >> 8;
        }
        const int32_t next = entry ? ClampTempo(t + inc) : t;
        if (entry && Seq_EntryRow(entry) + Seq_EntryLength(entry) <= r + 1) {
            entry = entry->pNext;
            inc = 0;
        }
        total += (122880 / t + 122880 / next) >> 4;
        t = next;
    }
    const int64_t seconds = total >> 6;
    const uint8_t s = (uint8_t)(seconds % 60), m = (uint8_t)((seconds / 60) % 60), h = (uint8_t)((seconds / 3600) % 60);
    if (row == 9999) {
        g_ucSongHours = h;
        g_ucSongMinutes = m;
        g_ucSongSeconds = s;
    } else {
        g_ucPosHours = h;
        g_ucPosMinutes = m;
        g_ucPosSeconds = s;
    }
}

int32_t Seq_SongKeyAt(int32_t row, int32_t *pMode)
{
    TRACKENTRY *e = EntryAt(g_pEventListF, row);
    if (pMode)
        *pMode = e ? e->uEnd & 3 : 0;
    return e && e->uStart <= 12 ? e->uStart : 0;
}
