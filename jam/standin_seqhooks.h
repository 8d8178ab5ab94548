// Stand-in for the parts of the sequencer the jam sequencer uses that are not built yet: the
// channel records, play columns and channel mute bytes, the step and channel-allocator hooks, the
// note trigger, riff records and the library loads (owner: sequencer). Names and types are the
// sequencer's; the bodies do the least. The jam reaches the functions only through g_JamSeqCalls
// (jam/jamseq.h) and the record fields only through jam/jamchannel.h, so swapping in the real
// ones touches those two places. Once the song model is in, RIFFENTRY, the riff list and counts,
// g_bJamActive and Seq_GetRiff / Seq_GetNote / Seq_AddRiffNoteRefs / Seq_ReleaseRiff come from it
// (drop them here) and JAMNOTE becomes NOTEENTRY. The jam needs of the real sequencer: a note
// trigger that takes a note record (the jam's slot notes live outside the note pool), and a
// channel-allocator hook that passes (owner, kind, track).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The riff record, as the song model keeps it: 40 bytes of head, then the note grid.
struct RIFFENTRY
{
    uint8_t ucColour;
    uint8_t ucByte2;
    uint8_t ucByte3;
    uint8_t ucStartLevel;
    uint8_t ucEndLevel;
    uint8_t ucBars;   // 1..8
    uint8_t ucTracks; // 1..12
    uint8_t ucType;
    uint16_t uCursor;
    uint16_t uFlags;
    uint16_t uKey;
    uint16_t uLink;
    char szName[16];
    int32_t iListMark; // the owner player of a jam riff
    int16_t iUseCount;
    uint16_t uRingCount;
    uint16_t *puNotes; // tracks x bars x 16 note ids, track-major
};
constexpr size_t RIFF_HEAD_BYTES = 40;
static_assert(offsetof(RIFFENTRY, puNotes) == RIFF_HEAD_BYTES, "riff head is 40 bytes");

// A note in the sequencer's layout. The stand-in song data still declares a smaller NOTEENTRY of
// its own, so the jam names this one JAMNOTE; with the real song model JAMNOTE is NOTEENTRY.
struct STANDIN_NOTEENTRY
{
    uint32_t uSampleStart;
    uint16_t uRefCount;
    uint16_t uInstrument; // slot 1..200
    uint8_t ucPitch;      // octave x 12 + semitone
    uint8_t ucLength;     // steps
    uint8_t ucLevel;
    uint8_t ucSetting1;
    uint8_t ucSetting2;
    uint8_t ucSetting3;
    uint8_t ucDisc;
    uint8_t ucFlags;
    uint16_t uListA;
    uint16_t uListC;
    uint16_t uListB;
    uint8_t ucSetting4;
    uint8_t ucSetting5;
    uint16_t uCount2;
};
using JAMNOTE = STANDIN_NOTEENTRY;

// The sequencer's channel record and play column.
struct SEQCHANNEL
{
    int32_t iPitch; // pitch << 15 plus the pitch envelope; 32768 per semitone
    uint8_t aucUnused1[2];
    uint8_t ucLengthLeft; // note length + 1, counted down per step; 0 releases
    uint8_t ucState;      // 8: reserved (being set up), skipped by allocation
    uint8_t ucUnused2;
    uint8_t ucLevel;
    uint8_t ucFlags;
    uint8_t ucMaster;
    int32_t iAmpValue, iAmpCount, iAmpStep;
    int32_t iPanValue, iPanCount, iPanStep; // pan x 256
    int32_t iPitchCount, iPitchStep;
    uint8_t ucOwner; // 0 free, 1 keyed, 2 layer voice, 3 jam slot note, 4 keyed during a jam
    uint8_t ucVibratoOn, ucVibratoHold;
    uint8_t ucLengthCopy;
    uint16_t uStartDelay;
    uint16_t uVibratoPhase;
    int16_t iGlideStep;
    uint16_t uGlideLeft;
    int16_t iPitchOffset;
    int16_t iDetune;
    uint8_t ucHitMask, ucHitIndex, ucReverbMask, ucLastFineStep;
    uint8_t aucHitMarks[24];
    uint8_t aucReverbMarks[24];
    uint32_t uSampleStart;
    uint16_t uBindResult;
    uint8_t ucAmpPoints, ucAmpIndex, ucAmpPhase, ucPanPoints, ucPanIndex, ucPitchPoints, ucPitchIndex, ucPitchShift;
    const uint8_t *apPoints[3]; // amplitude, pan, pitch point data
    int32_t aiTimeScale[3];
    uint8_t ucMuteSeen;
    uint8_t ucEffectFlags;
    uint8_t ucVibratoRate, ucVibratoDepth;
    uint32_t uInstrument;
};

struct PLAYCOLUMN
{
    uint16_t uRiff;
    uint8_t ucStep;
    uint8_t ucTrack;
    uint16_t uStepsLeft;
    uint16_t uLevelUpdates;
    int32_t iLevel;     // x 1024
    int32_t iLevelStep;
};

constexpr int32_t SEQ_CHANNELS = 99;
constexpr uint8_t SEQ_STATE_SETUP = 8;
extern SEQCHANNEL g_aSeqChannels[SEQ_CHANNELS];
extern PLAYCOLUMN g_aPlayColumns[SEQ_CHANNELS];
extern uint8_t g_aChannelMute[SEQ_CHANNELS][4]; // byte 3 non-zero mutes the channel

typedef void (*SEQSTEPFN)();
typedef int32_t (*SEQCHANNELALLOCFN)(int32_t owner, int32_t kind, int32_t track);
extern std::atomic<SEQSTEPFN> g_pfnSeqStep;
extern SEQCHANNELALLOCFN g_pfnSeqChannelAlloc;
extern int32_t g_bJamActive;

// The clock's sub-step count, 1..24 while the step callback runs.
extern int32_t g_iSubStep;
// The song's riff list (entry n = element n) and the next free riff id.
extern uint16_t g_auRiffList[1473];
extern uint16_t g_uRiffListCount;
extern uint16_t g_uRiffCount;

void Seq_StepIdle();
int32_t Seq_AllocChannel(int32_t owner, int32_t kind, int32_t track);
void Seq_TriggerNote(const RIFFENTRY *riff, const JAMNOTE *note, int32_t channel, int32_t mode, int32_t step,
                     int32_t track, int32_t plugin);
void Seq_SetTempo(int32_t bpm);

RIFFENTRY *Seq_GetRiff(int32_t id);
JAMNOTE *Seq_GetNote(int32_t id);
// A note image with the default note settings, its three lists referenced.
void Seq_StandinDefaultNote(JAMNOTE *note);
void Seq_AddRiffNoteRefs(int32_t riff);
int32_t Seq_ReleaseRiff(int32_t riff, int32_t mode, int32_t noUndo);
// 1 when the last reference went and the note was deleted (later ids move down), else 0.
int32_t Seq_ReleaseNote(int32_t note, int32_t noUndo, int32_t flag);
// Loads a library riff as the newest riff; its id, 0 when it failed.
int32_t Seq_LoadLibraryRiff(int32_t directory, int32_t a, int32_t b, int32_t c, void *scratch);
void Seq_ReleaseInstrument(int32_t slot);
void Seq_ClearInstrument(int32_t slot, int32_t releaseSample, int32_t flag);
int32_t Seq_GetInstrumentKind(int32_t slot);
extern int32_t g_iFoundInstrumentSlot;
// Use counts of the instrument slots (a field of INSTRUMENTSLOT in the song model).
extern uint8_t g_aucInstrumentUses[201];

// The jam setups of the song: a state and a selection byte each.
struct JAMSETUP
{
    uint8_t ucState;
    uint8_t ucSelection;
};
extern JAMSETUP g_JamSetups[4];
