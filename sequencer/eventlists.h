// The song's event lists: tempo ('c'), master volume ('d'), effect ('e') and song key ('f'), each a
// chain of TRACKENTRY records sorted by row with an entry at row 0.
#pragma once

#include <cstdint>

struct IDPOOL;

struct TRACKENTRY
{
    uint16_t uPlace;      // bits 0..9 first row, 10..15 length in rows (1..31)
    uint16_t uStart;
    uint16_t uEnd;
    uint16_t uEffectWord; // 'e': bits 11..15 effect type (bits 0..10 unused: see pPartner)
    TRACKENTRY *pNext;
    // 'e': the partner entry (parameters A low byte, B high byte); held directly, since an
    // 11-bit pool id cannot name every entry of the pool.
    TRACKENTRY *pPartner;
};

inline int32_t Seq_EntryRow(const TRACKENTRY *e) { return e->uPlace & 0x3FF; }
inline int32_t Seq_EntryLength(const TRACKENTRY *e) { return e->uPlace >> 10; }

enum : int32_t
{
    LIST_TEMPO = 'c',
    LIST_VOLUME = 'd',
    LIST_EFFECT = 'e',
    LIST_KEY = 'f',
    SEQ_TEMPO_MIN = 40,
    SEQ_TEMPO_MAX = 1000,
};

struct TRACKRAMP
{
    int32_t iValue, iStep;   // 4096 = 1
    int32_t iValue2, iStep2; // 'e': parameter A
    int32_t iValue3, iStep3; // 'e': parameter B, scaled by 16
    TRACKENTRY *pNext;
    uint16_t uStepsLeft;
};

struct TRACKQUERY
{
    int16_t iRow;
    uint16_t uStart, uEnd;
    uint16_t uAStart, uAEnd, uBStart, uBEnd;
    uint8_t ucType;
    uint16_t uRowsIn, uLength;
};

extern IDPOOL *g_pTrackEntryPool;
extern TRACKENTRY *g_pTempoList, *g_pVolumeList, *g_pEffectList, *g_pEventListF;
extern uint8_t g_ucSongHours, g_ucSongMinutes, g_ucSongSeconds;
extern uint8_t g_ucPosHours, g_ucPosMinutes, g_ucPosSeconds;
extern int32_t g_bSongMergeLoad; // set by the song loader while it merges a song in

int Seq_CreateTrackEntryPool();
TRACKENTRY **Seq_ListHead(int32_t kind); // null for another kind
int32_t Seq_SetTrackEntry(int32_t row, int32_t length, int32_t start, int32_t end, int32_t type, int32_t aStart,
                          int32_t aEnd, int32_t bStart, int32_t bEnd, int32_t kind);
int32_t Seq_GetTrackEntryAt(TRACKQUERY *query, int32_t kind);
void Seq_GetRampState(int32_t row, TRACKRAMP *state, int32_t kind);
int32_t Seq_ShiftTrackEntries(int32_t row, int32_t shift);
void Seq_ComputeSongTime(int32_t row);
// Frees every entry (and partner) of a list; its head becomes null.
void Seq_FreeTrackList(int32_t kind);
int32_t Seq_CountTrackEntries(int32_t kind);
// Song key 1..12 (0 none) at a row of the key list, with its mode.
int32_t Seq_SongKeyAt(int32_t row, int32_t *pMode);
