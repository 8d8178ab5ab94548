// The song model: riffs on the song grid, shared notes and the parameter-list store.
//
// Riff and note ids are dense: freeing one lowers every higher id, and every holder (grid cells,
// riff note grids, the note clipboard, link rings, the current, library and preview riff, the
// deferred queue, the riff list, play columns, undo records) is lowered in the same call.
// Seq_CheckSongModel recounts all of it from scratch; tests run it after every step.
//
// Main thread only, except where the clock reads the records under g_csMix: operations that free
// or move riffs or notes take g_csMix.
#pragma once

#include <cstddef>
#include <cstdint>

struct IDPOOL;

enum : int32_t
{
    SEQ_GRID_ROWS = 1000,
    SEQ_GRID_COLUMNS = 99,
    SEQ_LAST_PLACE_ROW = 998, // a placed riff ends by this row; row 999 stays empty
    SEQ_MAX_RIFFS = 1472,     // 23 pages of 64
    SEQ_MAX_NOTES = 2048,     // the store's limit (32 pages of 64)
    SEQ_MAX_BARS = 8,
    SEQ_MAX_TRACKS = 12,
    SEQ_STEPS_PER_BAR = 16,
    SEQ_PARAM_LIST_SLOTS = 6000,
    SEQ_PARAM_LIST_BYTES = 30000,
    SEQ_DEFERRED_RIFFS = 2730,
    SEQ_CLIPBOARD_CELLS = 12 * 8 * 16,
    SEQ_NO_LIST = 0xFFFF, // a free PARAMLISTSLOT offset
};

// Song grid cell: bits 0..11 riff id (first column) or column offset (bit 12 set), bits 13..15 bar.
constexpr uint16_t SEQ_CELL_CONTINUE = 0x1000;
constexpr uint16_t SEQ_CELL_ID_MASK = 0x0FFF;
inline int32_t Seq_CellBar(uint16_t cell) { return cell >> 13; }

// Riff flags.
constexpr uint16_t RIFF_FLAG_DELETE = 0x8000;

struct RIFFENTRY
{
    uint8_t ucColour; // 0..47; in the note clipboard the clipboard mode (1 cut, 2 copy)
    uint8_t ucByte2;  // in the note clipboard the pitch base
    uint8_t ucByte3;
    uint8_t ucStartLevel;
    uint8_t ucEndLevel;
    uint8_t ucBars;   // 1..8
    uint8_t ucTracks; // 1..12
    uint8_t ucType;   // 0..17, 255 not set
    uint16_t uCursor; // (step + 1) << 8 | track + 1
    uint16_t uFlags;  // bit n: track n joined to n + 1; bit 15 marked for deletion
    uint16_t uKey;    // bits 0..13 key 1..12, bits 14..15 mode
    uint16_t uLink;   // next riff of the link ring
    char szName[16];
    int32_t iListMark; // -1 new; 1 or more: left out of the riff list
    int16_t iUseCount;
    uint16_t uRingCount;
    uint16_t *puNotes; // tracks x bars x 16 note ids, track-major
};
constexpr size_t RIFF_HEAD_BYTES = 40; // the part before the note grid, saved and copied whole
static_assert(offsetof(RIFFENTRY, puNotes) == RIFF_HEAD_BYTES, "riff head is 40 bytes");

constexpr uint8_t NOTE_FLAG_MUTED = 0x01;
constexpr uint8_t NOTE_FLAG_GLIDE = 0x02;
constexpr uint8_t NOTE_FLAG_SECOND_OF_PAIR = 0x08;
constexpr uint8_t NOTE_FLAG_HITS6 = 0x20;
constexpr uint8_t NOTE_FLAG_HITS8 = 0x40;
constexpr uint8_t NOTE_FLAG_JOINED = 0x80;

struct NOTEENTRY
{
    uint32_t uSampleStart;
    uint16_t uRefCount;
    uint16_t uInstrument; // slot 1..200
    uint8_t ucPitch;      // octave x 12 + semitone
    uint8_t ucLength;     // steps
    uint8_t ucLevel;
    uint8_t ucSetting1; // effect preset
    uint8_t ucSetting2; // hit mask
    uint8_t ucSetting3; // reverb mask
    uint8_t ucDisc;
    uint8_t ucFlags;
    uint16_t uListA; // amplitude envelope
    uint16_t uListC; // pitch envelope (its b byte is the pitch shift)
    uint16_t uListB; // pan envelope
    uint8_t ucSetting4; // vibrato rate
    uint8_t ucSetting5; // vibrato depth
    uint16_t uCount2;   // second count; the save number while a save is prepared
};
static_assert(sizeof(NOTEENTRY) == 28, "NOTEENTRY is 28 bytes");

struct PARAMLISTSLOT
{
    uint16_t uOffset; // into g_abParamListData; 0xFFFF free
    uint16_t uSaveNumber;
    uint16_t uRefCount;
};

struct SEQSELECTION
{
    int32_t x, y, a, b; // grid: first row, first column, rows, columns
};

// Pools and counts.
extern IDPOOL *g_pRiffEntryPool;
extern IDPOOL *g_pNoteEntryPool;
extern uint16_t g_uRiffCount; // next free riff id (riffs are 1 .. g_uRiffCount - 1)
extern uint16_t g_uNoteCount; // notes are 1 .. g_uNoteCount
extern uint16_t g_uSongRowCount;

extern uint16_t g_aSongGrid[SEQ_GRID_ROWS][SEQ_GRID_COLUMNS];
extern SEQSELECTION g_Selection;
extern uint8_t g_abPlacementMask[SEQ_MAX_BARS][SEQ_MAX_TRACKS];
extern uint16_t g_auRiffList[SEQ_MAX_RIFFS + 1];
extern uint16_t g_uRiffListCount;
extern uint16_t g_auDeferredRiffs[SEQ_DEFERRED_RIFFS];
extern uint16_t g_uDeferredRiffCount;
extern uint16_t g_uLibraryRiff;
extern uint8_t g_auLibraryRiffKey[4];
extern uint16_t g_uCurrentRiff;
extern uint16_t g_usNextRiffColour;
extern RIFFENTRY g_NoteClipboard; // puNotes: 12 x 8 x 16 cells
extern const uint16_t g_auRiffTypeIcons[19]; // types 0..17, then the icon of an unset type
extern int32_t g_bSongChanged;
extern int32_t g_bJamActive;

extern PARAMLISTSLOT g_aParamListSlots[SEQ_PARAM_LIST_SLOTS];
extern uint8_t g_abParamListData[SEQ_PARAM_LIST_BYTES];
extern uint32_t g_uParamListBytes; // bytes in use
extern uint32_t g_uParamListUsed;  // slots in use
extern int32_t g_aiCachedLists[6]; // default note lists, last audited note lists; -1 none

// ---- Parameter lists and notes ----
void Seq_ClearParamLists();
int32_t Seq_AddParamList(int32_t n, const uint16_t *values, uint8_t a, uint8_t b);
void Seq_ReleaseParamList(int32_t id);
// Adds one more reference to a live list (for holders that copy a list id).
void Seq_AddParamListRef(int32_t id);
// The stored list (u8 n, n u16, u8 a, u8 b) and its size, null for an id naming none.
const uint8_t *Seq_GetParamList(int32_t id, uint32_t *pBytes);
int32_t Seq_ParamListCount();

int Seq_CreateNoteEntryPool();
NOTEENTRY *Seq_GetNote(int32_t id); // null unless 1 .. g_uNoteCount
int32_t Seq_FindOrAddNote(uint16_t instrument, int32_t octave, int32_t semitone, uint8_t length, uint8_t level,
                          uint8_t flags, uint8_t setting1, uint8_t setting2, uint8_t setting3, uint32_t sampleStart,
                          int32_t listA, int32_t listB, int32_t listC, uint8_t setting4, uint8_t setting5, uint8_t disc,
                          int32_t noUndo);
// The same note with the given fields changed, its three lists interned again. Id or -1 (lists
// given back). The caller owns the reference it gets.
int32_t Seq_CopyNoteWith(int32_t id, int32_t pitch, int32_t length, int32_t level, int32_t flags, int32_t noUndo);
void Seq_AddNoteRef(int32_t id);
void Seq_ReleaseNoteRef(int32_t id);
void Seq_AddRiffNoteRefs(int32_t riff);
void Seq_ReleaseRiffNotes(int32_t riff, int32_t noUndo);
int32_t Seq_DeleteNote(int32_t id, int32_t noUndo, int32_t cleanInstruments);
void Seq_RemoveNoteFromGrid(RIFFENTRY *riff, int32_t id);
void Seq_RecountNoteRefs(int32_t flag);
void Seq_MergeEqualNotes();
int32_t Seq_ClampPitchCents(int32_t value);
uint8_t Seq_CurrentDiscByte();

// ---- Riffs ----
int Seq_CreateRiffEntryPool();
RIFFENTRY *Seq_GetRiff(int32_t id); // null unless 1 .. g_uRiffCount - 1
void Seq_ClearRiffBody(RIFFENTRY *riff, int32_t bars, int32_t tracks);
int32_t Seq_GetRiffLength(int32_t riff);
int32_t Seq_GetRiffTrackCount(int32_t riff);
inline uint16_t *Seq_RiffCell(RIFFENTRY *r, int32_t step, int32_t track)
{
    return &r->puNotes[track * (r->ucBars * SEQ_STEPS_PER_BAR) + step];
}

int32_t Seq_NewRiff(int32_t bars, int32_t tracks);
int32_t Seq_ReleaseRiff(int32_t riff, int32_t mode, int32_t noUndo);
void Seq_UnlinkRiff(int32_t riff);
int32_t Seq_FindLinkedRiff(int32_t riff, int32_t key, int32_t mode);
void Seq_LinkRiffAfter(int32_t a, int32_t b);
void Seq_ClearRiffDeleteMark(int32_t riff);

// Grid (placement and removal of single riffs, sizes and row count).
void Seq_PlaceRiff(int32_t riff, int32_t row, int32_t column, int32_t library, int32_t noUndo);
void Seq_RemoveRiffAt(int32_t row, int32_t column, int32_t noUndo);
uint16_t Seq_CountUsedRows();
void Seq_UpdateSongSizes();
int32_t Seq_GetRiffStartingAt(int32_t row, int32_t column);
int32_t Seq_GetRiffInBlock(int32_t row, int32_t column, int32_t endRow, int32_t endColumn);
// Riff covering a cell (0 empty or outside), with the riff's top-left cell.
int32_t Seq_RiffAtCell(int32_t row, int32_t column, int32_t *pTopRow, int32_t *pLeftColumn);

struct GRIDCELLQUERY
{
    uint16_t uRow;
    uint8_t ucColumn;
    uint8_t ucIcon, ucColour, ucBar, ucBars, ucColumnOffset, ucTracks;
};
int32_t Seq_GetGridCellInfo(GRIDCELLQUERY *query, char *outName);
struct GRIDCELLDESC
{
    uint16_t uRow, uType, uRiff;
    uint8_t ucColumn, ucBar, ucBars, ucColumnOffset, ucTracks, ucMarker;
};
int32_t Seq_GridCellOp(int32_t row, int32_t column, GRIDCELLDESC *desc, int32_t flags, int32_t value);
void Seq_ComputePlacementMask(int32_t row, int32_t column);
void Seq_SetSelection(int32_t x, int32_t y, int32_t a, int32_t b, int32_t sizeFlag);
int32_t Seq_PlaceLibraryRiff(int32_t row, int32_t column);
int32_t Seq_PlaceRiffAt(int32_t riff, int32_t row, int32_t column);
int32_t Seq_MergeSelectedRiffs();
int32_t Seq_SplitRiff(int32_t row, int32_t column, int32_t byBars, int32_t noUndo);
int32_t Seq_BuildRiffList();
void Seq_PurgeDeletedRiffs();
int32_t Seq_QueueRiffDelete(int32_t riff); // 0, or -1 when the queue was full and flushed first
void Seq_FlushDeletedRiffs();

// Riff note cells (the least of the note editor the riff operations use).
int32_t Seq_SetRiffNote(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t noUndo,
                        int32_t audition, int32_t cursor);
void Seq_ReplaceRiffCell(int32_t riff, int32_t step, int32_t track, int32_t note, int32_t noUndo);
int32_t Seq_RiffHasNotes(int32_t riff);

// ---- Riff settings and operations ----
void Seq_SetRiffDefaults(int32_t riff, int32_t modeBits);
void Seq_SetRiffType(int32_t riff, int32_t type);
// The same, recorded in the undo log (the caller closes the step).
void Seq_SetRiffTypeWithUndo(int32_t riff, int32_t type);
void Seq_GetRiffName(int32_t riff, char out[16]);
void Seq_SetRiffName(int32_t riff, const char name[16]);
void Seq_SetRiffKey(int32_t riff, int32_t key, int32_t mode);
int32_t Seq_GetRiffKey(int32_t riff, int32_t *pMode);
void Seq_SetRiffLevels(int32_t riff, int32_t startPercent, int32_t endPercent);
void Seq_GetRiffLevels(int32_t riff, int32_t *pStart, int32_t *pEnd);
int32_t Seq_SetCellRiffLevels(int32_t row, int32_t column, int32_t startPercent, int32_t endPercent);
int32_t Seq_GetCellRiffLevels(int32_t row, int32_t column, int32_t *pStart, int32_t *pEnd);
void Seq_OpenRiff(int32_t riff);
void Seq_KeepCurrentRiff();
int32_t Seq_RiffListIndex(int32_t riff);
int32_t Seq_CountRiffInGrid(int32_t riff);
int32_t Seq_FindRiffInGrid(int32_t riff, int32_t *pRow, int32_t *pColumn);
int32_t Seq_DeleteUnusedRiffs();
int32_t Seq_InsertRiffTrack(int32_t mode, int32_t track);
int32_t Seq_GetRiffTrackFlag(int32_t track);
int32_t Seq_RemoveJoinedTrack(int32_t track);
int32_t Seq_ResizeRiff(int32_t riff, int32_t bars, int32_t tracks, int32_t noUndo);
uint16_t Seq_KeyTransposition(int32_t riff, int32_t row);
int32_t Seq_TransposeRiff(int32_t riff, int32_t semitones, int32_t modeChange);
void Seq_NameTransposedRiff(int32_t riff, int32_t key);
int32_t Seq_DuplicateRiffAt(int32_t riff, int32_t row, int32_t column);
int32_t Seq_RiffNameExists(const char name[16]);

// ---- Default names and boot tables ----
extern uint16_t g_uNameCounter;
extern uint16_t g_uSampleNameCounter;
enum : int32_t
{
    SEQ_DEFRIF_RECORDS = 75,
    SEQ_EFFECT_PRESETS = 76, // preset 0 is never read
    SEQ_EFFECT_ENTRIES = 9,
    SEQ_EFFREAL_BYTES = 75 * 9 * 12,
    SEQ_DEFAULT_RIFFS_SIZE = SEQ_DEFRIF_RECORDS * 3,
    SEQ_DEFAULT_EFFECTS_SIZE = SEQ_EFFREAL_BYTES,
};
extern uint8_t g_abDefaultRiffs[SEQ_DEFAULT_RIFFS_SIZE];     // "/BOOT/DEFRIF"
extern uint8_t g_abDefaultEffects[SEQ_DEFAULT_EFFECTS_SIZE]; // "/BOOT/EFFREAL": presets 1..75
// Text width in pixels of the interface font; tests inject their own.
typedef int32_t (*SEQTEXTMEASURE)(const char *text);
void Seq_SetTextMeasurer(SEQTEXTMEASURE fn); // null: the interface font
int32_t Seq_MeasureText(const char *text);
int32_t Seq_MakeDefaultName(char *buffer, int32_t kind); // buffer holds 16 bytes (20 for kind 3)
int32_t Seq_StripNumberSuffix(char *text);
// After every archive open. A missing file leaves its table as it was; a file longer than its
// table is refused whole.
void Seq_LoadBootTables();
// The value byte of the default riff record with these two keys, 0 when none.
uint8_t Seq_DefaultRiffValue(uint8_t key1, uint8_t key2);

// ---- Model reset and consistency ----
// Frees every riff, note and list and empties the grid and the riff holders (the song-model half
// of the new-song reset).
void Seq_ResetSongModel();
// Whole-model consistency: reference counts against a recount, dense ids, rings, grid cells
// against riffs, holders in range. 0 when whole, else -1 with the first fault in the buffer.
int32_t Seq_CheckSongModel(char *why, size_t size);
