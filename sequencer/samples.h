// The song's instrument slots, their command chains of sample edits, and the song's sample table.
//
// Slots 1..200 are instruments, slot 0 is the staging record a load builds before copying it;
// 201 names no slot (and is the answer of a full table). Main thread only; a slot's sample is
// swapped under g_csMix.
#pragma once

#include <cstdint>

struct COMMANDENTRY
{
    uint32_t uParam0;
    uint32_t uParam1;
    uint32_t uType; // sample-edit operation code on a command's first entry
    COMMANDENTRY *pNext;
};

// Sample states.
constexpr int8_t SAMPLE_STATE_LIBRARY = 0;
constexpr int8_t SAMPLE_STATE_EDITED = 1; // bit 0: the chain is not empty
constexpr int8_t SAMPLE_STATE_OWN = 2;    // the song's own sample (recorded or imported)

struct INSTRUMENTSLOT
{
    uint16_t uMark;    // 0xFFFF: brought by a library riff and not used yet
    int16_t iSampleId; // >= 0 resource id, < 0 the song's own sample
    uint8_t ucKind;    // 1..3, the octave range of a library sample
    uint8_t ucKey1;    // 254/255: not from the library
    uint16_t uKey2;
    uint16_t uKey3;    // 0xFFFE / 0xFFFF: not from the library; all three keys 0: free
    uint16_t uDisc;
    const char *pszName; // display name: the resource's name text or the SAMPLEENTRY's name
    COMMANDENTRY *pCommands;
    uint8_t ucCommandCount; // entries in the chain
    int8_t cSampleState;    // SAMPLE_STATE_ bits; negated while the song loader wants the edits replayed
    uint8_t ucUseCount;     // jam uses
    uint8_t ucAllocated;
    uint8_t ucReserved; // 255 once allocated or loaded
    char achArchiveName[9]; // the entry's eight-character archive name and a zero byte
};

constexpr int32_t SEQ_INSTRUMENT_SLOTS = 201;
constexpr int32_t SEQ_NO_INSTRUMENT = 201; // "none", and the answer of a full table
extern INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];

struct SAMPLEENTRY
{
    int16_t iSampleId;
    uint8_t ucCategory; // 0..17: the riff type of riffs that mostly use the sample
    uint8_t ucSaveByte; // kept with own-sample instruments in the song file
    uint32_t uLength;   // 16-bit samples
    char szName[20];
};

// Records 1 .. g_uSampleCount - 1; record 0 is never used.
constexpr int32_t SEQ_MAX_SAMPLES = 200;
extern SAMPLEENTRY g_aSamples[SEQ_MAX_SAMPLES];
extern uint16_t g_uSampleCount;

constexpr int32_t SEQ_COMMAND_ENTRIES = 128; // for the whole song
extern int32_t g_iCommandEntriesUsed;

// Index 1.. of a new SAMPLEENTRY (length = bytes / 2), -1 when the table is full.
int32_t Seq_AddSampleRecord(uint32_t bytes);
// Removes the record with the id (with release, a resource id's resource goes too) and relinks
// the slot names.
void Seq_RemoveSampleRecord(int32_t sampleId, int32_t release);
// -(n + 1) for the lowest n of 0..200 that no record uses; 0 (no resource is id 0) when all are taken.
int32_t Seq_NewSampleId();
// Index 1.. of the record of the slot's sample, 0 when none.
int32_t Seq_FindSampleRecord(int32_t slot);
void Seq_RelinkInstrumentNames();
// The first free slot 1..200, allocated from now on; 201 when all are taken.
int32_t Seq_AllocInstrumentSlot();

// Appends one entry to the slot's chain. 0, or -1 when the song's 128 entries are all in use
// (nothing changes then).
int32_t Seq_AddInstrumentCommand(int32_t slot, uint32_t type, uint32_t param0, uint32_t param1);
void Seq_RemoveLastInstrumentCommand(int32_t slot);
void Seq_FreeCommandChain(COMMANDENTRY *pFirst);
// Entries a command of this type spans.
int32_t Seq_CommandEntryCount(int32_t code);
// Effect parameters of a sample-edit effect code 0..7; defaultCount for any other code.
int32_t Seq_CommandParamCount(int32_t defaultCount, int32_t code);
// Free entries left in the song's command pool.
int32_t Seq_FreeCommandEntries();

// The resource loader's callback for instrument sample files (reads the entry at the archive's
// current listing). rateCode: 0 11025, 1 22050, 2 44100 Hz. The new SAMPLEENTRY, or null.
SAMPLEENTRY *Seq_LoadSampleFile(int32_t resourceId, int32_t unused1, int32_t rateCode, int32_t unused2,
                                uint32_t fileSize);
// Installs Seq_LoadSampleFile as the instrument kind's resource loader where none is installed.
void Seq_InstallSampleLoader();

// Results: 3/4/5 for kinds 1/2/3 (0 another kind), kind + 2 when the pending preview was taken, 5
// when found in a jam or key 3 is 0, 10 when the resource could not be loaded (slot emptied).
int32_t Seq_LoadInstrument(int32_t slot, int32_t key1, int32_t key2, int32_t key3, int32_t kind,
                           int32_t takePending, int32_t replaceCommands, int32_t noUndo);
extern int32_t g_iFoundInstrumentSlot;
extern uint8_t g_abInstrumentMarks[SEQ_INSTRUMENT_SLOTS];
extern int32_t g_aiPendingInstrumentKeys[4]; // kind and keys of the previewed instrument

int32_t Seq_PreviewLibraryInstrument(int32_t key1, int32_t key2, int32_t key3, int32_t kind);
void Seq_DropPendingInstrument();
void Seq_PlayInstrumentTestNote(int32_t slot);
void Seq_StopInstrumentPreview();
void Seq_ReleaseInstrument(int32_t slot);
// 1, -1 for a free slot, 10 when no slot (or no sample record, command entry or memory) is left.
int32_t Seq_CopyInstrument(int32_t slot);
void Seq_InstrumentOctaveUp(int32_t slot);
void Seq_InstrumentOctaveDown(int32_t slot);
// Replays the chains of every slot whose sample state the song loader negated.
void Seq_ReapplySampleEdits();
// Writes the slot's packed record; the end of the written bytes. out must hold
// Seq_PackedInstrumentSize(slot) bytes.
uint8_t *Seq_PackInstrument(uint8_t *out, int32_t slot);
