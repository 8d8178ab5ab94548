// The jam sequencer: the 60 channel rows that play riffs in lockstep on the sequencer's clock and
// the 220 event slots that start live notes, with channel allocation and stealing.
//
// Threads. Jam_Tick and Jam_AllocChannel run on the mix thread inside the sequencer clock, under
// g_csMix, and take no other lock. Everything they read that another thread writes is an atomic
// (trigger state, channel, mute, row state, pitch, volume, levels); a row becomes visible (state
// 1) only after its riff copy is complete. The operations that touch sequencer channels, row grid
// copies or slot note images from another thread take g_csMix for that moment. The clock half of
// the bar and phrase ends runs in the tick and raises the counters below; the jam step does the
// sends, swaps and copies at its next frame, so the mix thread never blocks.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "jam/jamdata.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"

// The song model's notes serve the jam's slot notes too.
using JAMNOTE = NOTEENTRY;

struct JAMNET;

constexpr int32_t JAM_ROW_GRID_CELLS = 12 * 8 * 16; // tracks x bars x steps
constexpr int32_t JAM_SLOT_LENGTH = 128;
constexpr int32_t JAM_OWNER_SLOT = 60;         // owner 60 + slot
constexpr int32_t JAM_OWNER_LAYER = 0x1000;    // owner row | 0x1000
constexpr uint8_t JAM_NO_CHANNEL = 255;

enum : uint8_t
{
    JAM_TRIGGER_IDLE = 0,
    JAM_TRIGGER_ON = 1,
    JAM_TRIGGER_UNASSIGNED = 2,
};

// Channel owner modes of the sequencer's channels.
enum : uint8_t
{
    JAM_MODE_FREE = 0,
    JAM_MODE_LAYER = 2,
    JAM_MODE_SLOT = 3,
    JAM_MODE_KEYED = 4,
};

struct JAMROW
{
    RIFFENTRY Riff;    // the 40-byte head copy; puNotes points at Grid
    uint16_t *pGrid;   // 3072 bytes: 12 tracks x 8 bars x 16 steps
};

struct JAMSTATE
{
    JAMNOTE aSlotNotes[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucRowVolume[JAM_ROWS];
    std::atomic<uint8_t> aucSlotLevel[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotPan[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotInstrument[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotAssigned[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotTrigger[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotChannel[JAM_EVENT_SLOTS];
    std::atomic<uint8_t> aucSlotReleased[JAM_EVENT_SLOTS];
    JAMROW aRows[JAM_ROWS];
    std::atomic<uint8_t> aucRowState[JAM_ROWS];
    std::atomic<uint8_t> aucRowMute[JAM_ROWS];
    std::atomic<uint8_t> aucRowChannels[JAM_ROWS][12];
    std::atomic<int32_t> aiChannelOwner[JAM_CHANNELS];
    std::atomic<int32_t> aiChannelTrack[JAM_CHANNELS];
    std::atomic<int32_t> aiRowPitch[JAM_ROWS];
    std::atomic<int32_t> aiRowStep[JAM_ROWS];
    std::atomic<int32_t> aiRowPlugin[JAM_ROWS];
    std::atomic<int32_t> aiSlotPlugin[JAM_EVENT_SLOTS];
};

// Per player 0..4, in memory only.
struct JAMPLAYERROW
{
    int32_t aiKeyboardSlot[JAM_KEYBOARDS * JAM_KEYBOARD_KEYS];
    int32_t aiPadSlot[JAM_PADS];
    int32_t aiRiffRow[JAM_RIFF_KEYS + 1]; // 12: the audition riff
    std::vector<uint8_t> aRiffInstruments[JAM_RIFF_KEYS + 1];
    int32_t aiPluginSlot[JAM_PLUGIN_SLOTS];
    uint8_t aucBarLevel[JAM_RIFF_KEYS][8];
    uint8_t aucBarTarget[JAM_RIFF_KEYS][8];
};

extern JAMSTATE *g_pJamState;
extern JAMPLAYERROW g_aJamPlayerRows[JAM_PLAYERS];
extern uint8_t g_aJamSlotPan[JAM_EVENT_SLOTS][4]; // {0, pan, 255, pan}: the slot voice's pan envelope
extern std::atomic<int32_t> g_iJamStep;
extern std::atomic<int32_t> g_iJamPhraseStep;
extern std::atomic<int32_t> g_iJamPhraseBar;
extern std::atomic<int32_t> g_iJamBar;
extern std::atomic<int32_t> g_iJamCurrentRow;
extern int32_t g_iJamPendingRiff;
extern int32_t g_iJamPendingInstrument;
extern int32_t g_bNetJamImmediate;
// Raised by the tick at each bar and phrase end; the jam step does the rest of that work.
extern std::atomic<uint32_t> g_uJamBarEnds;
extern std::atomic<uint32_t> g_uJamPhraseEnds;

// The sequencer and sound calls of the jam sequencer. They default to the sequencer's own; tests
// put in a recorder.
struct JAMSEQCALLS
{
    void (*TriggerNote)(const RIFFENTRY *riff, const JAMNOTE *note, int32_t channel, int32_t mode, int32_t step,
                        int32_t track, int32_t plugin);
    int (*StopVoice)(int32_t voice);
    int32_t (*SetVoiceReverb)(int32_t on, int32_t voice);
    void (*StartClock)();
    void (*SetTempo)(int32_t bpm);
    void (*FreeUndoLog)();
    // A slot note image from the default note settings, its lists referenced.
    void (*FillDefaultNote)(JAMNOTE *note);
    void (*ReleaseParamList)(int32_t id);
    int32_t (*RiffCount)(); // riffs are 1 .. RiffCount() - 1
    RIFFENTRY *(*GetRiff)(int32_t id);
    const JAMNOTE *(*GetNote)(int32_t id);
    int32_t (*RiffOwner)(int32_t id); // the player a riff was loaded for, -1 none
    void (*AddRiffNoteRefs)(int32_t riff);
    int32_t (*ReleaseRiff)(int32_t riff, int32_t mode, int32_t noUndo);
    int32_t (*ReleaseNote)(int32_t note, int32_t noUndo, int32_t flag);
    int32_t (*LoadLibraryRiff)(int32_t directory, int32_t a, int32_t b, int32_t c, void *scratch);
    int32_t (*AllocInstrumentSlot)();
    // 0 loaded, 10 failed; the slot that already held it in g_iFoundInstrumentSlot.
    int32_t (*LoadInstrument)(int32_t slot, uint32_t key1, uint32_t key2, uint32_t key3, int32_t kind);
    void (*ReleaseInstrument)(int32_t slot);
    void (*ClearInstrument)(int32_t slot, int32_t releaseSample, int32_t flag);
    int32_t (*InstrumentKind)(int32_t slot);
    // 1 when the slot holds a library instrument (its three keys not all zero).
    int32_t (*InstrumentIsLibrary)(int32_t slot);
    uint8_t (*InstrumentUses)(int32_t slot);
    void (*SetInstrumentUses)(int32_t slot, uint8_t uses);
};
extern JAMSEQCALLS g_JamSeqCalls;
extern const JAMSEQCALLS g_JamSeqDefaultCalls;

// ---- State ----
// Every player's parts, rows and plug-in slots become unassigned (-1).
void Jam_ClearPlayerRows();
// 0, or -1 when memory ran out or a jam state exists already (nothing changes then).
int32_t Jam_AllocState();
void Jam_InitState();
void Jam_FreeState();
void Jam_ReleasePlayerMusic(int32_t player);
void Jam_RestartClock();
void Jam_ResetRowSteps();
void Jam_SetSetupState(int32_t setup, uint8_t state);

// ---- The tick and allocation ----
void Jam_Tick();
int32_t Jam_AllocChannel(int32_t requester, int32_t kind, int32_t track);
// The clock half of the bar and phrase ends.
void Jam_EndBar();
void Jam_EndPhrase();

// ---- Parts ----
void Jam_DropSlotsOnChannel(int32_t channel);
void Jam_StartPart(int32_t kind, int32_t index);
void Jam_StopPart(int32_t kind, int32_t index);
void Jam_SetRowMute(int32_t row, int32_t mute);
void Jam_AddRowPitch(int32_t row, int32_t delta);
void Jam_ReleaseRowNote(int32_t id);
void Jam_UnloadRow(int32_t row);
int32_t Jam_FindFreeSlot();
// The first free row, -1 when all 60 are in use.
int32_t Jam_FindFreeChannel();
int32_t Jam_FindInstrumentSlot(uint32_t key1, uint32_t key2, uint32_t key3, int32_t kind, const char *name);
// Copies a riff into a free row (state stays 0): its head and grid, one reference on each note.
// The row, or -1 when the riff does not exist or the row is out of range.
int32_t Jam_CopyRiffToRow(int32_t row, int32_t riff);

// ---- Auditions ----
// riff 0: entry `index` of the player's list (the song's riff list for the own slot); else the
// library riff (riff, a, b). The row, or -1.
int32_t Jam_AddRiffSlot(int32_t riff, int32_t a, int32_t b, int32_t player, int32_t index, int32_t mySlot);
void Jam_CancelPendingRiff();
// 1 started, 0 no free slot, 10 the load failed.
int32_t Jam_AddInstrumentSlot(uint32_t libraryKey, uint32_t a, uint32_t b, int32_t player, int32_t index,
                              int32_t mySlot);
void Jam_CancelPendingInstrument();

// ---- A remote player leaves ----
// Clears the local keys that use the player's lists, resets its keys in its block, releases its
// riffs and instruments. Never for this program's own slot.
void Jam_DropPlayerParts(JAMNET *net, int32_t player);
