// Stand-ins for the song data the sample editor works on (instrument slots, sample records,
// command chains, notes, stored parameter lists, tempo and pitch table), until the sequencer
// is built.
#pragma once

#include <cstdint>

#include "sequencer/clock.h"
#include "sequencer/songmodel.h"
#include "sequencer/standin_undo.h"

struct COMMANDENTRY
{
    uint32_t uParam0;
    uint32_t uParam1;
    uint32_t uType;
    COMMANDENTRY *pNext;
};

struct INSTRUMENTSLOT
{
    uint8_t ucMark; // allocation sets 1 until the keys are set; 0 with keys all zero: free
    int32_t iSampleId;
    uint8_t ucRateCode; // 3 = 44100, 2 = 22050, 1 = 11025 Hz
    uint8_t ucKey1;     // library keys: 255, 0xFFFF, 0xFFFF for an imported sample
    uint16_t uKey2;
    uint16_t uKey3;
    const char *pszName;
    COMMANDENTRY *pCommands;
    uint32_t uCommandCount; // entries in the chain
    uint8_t ucChainCount;   // 0 no chain, 1 a chain, 2 the sample editor records nothing
    // Where the library sample lives: three path levels, the disc, the 8-byte resource name.
    uint8_t aucLibPath[3];
    uint8_t ucDisc;
    char achLibName[8];
    uint8_t ucKind;     // library kind 1..3 (the octave range of its test notes)
    uint16_t uTempMark; // 0xFFFF: brought by a library riff and not used yet
};

constexpr int32_t SEQ_INSTRUMENT_SLOTS = 201;
constexpr int32_t SEQ_NO_INSTRUMENT = 201; // "none", and the answer of a full table
extern INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];

struct SAMPLEENTRY
{
    int32_t iSampleId;
    int16_t *pData;
    uint32_t uLength; // samples
    char szName[20];  // default name of a sample made in the program
};

constexpr int32_t SEQ_MAX_SAMPLES = 256;
extern SAMPLEENTRY g_aSamples[SEQ_MAX_SAMPLES];
extern int32_t g_iSampleCount;

struct STANDINNOTE
{
    uint16_t uInstrument; // index of the note's SAMPLEENTRY
    uint32_t uStartOffset;
};

// The sample editor's view of the song's notes, until it works on the note pool.
constexpr int32_t SEQ_STANDIN_NOTES = 1024;
extern STANDINNOTE g_aNotes[SEQ_STANDIN_NOTES];
extern int32_t g_iNoteCount;

extern int16_t g_iTransposition;
// 16-bit pitch table: 128 steps a semitone over ten octaves; entry 4096 plays at the sample's rate.
constexpr int32_t SEQ_PITCH_TABLE_SIZE = 120 * 128;
extern uint16_t g_auPitchTable[SEQ_PITCH_TABLE_SIZE];

// Index of a new SAMPLEENTRY (length = bytes / 2), -1 when the table is full.
int32_t Seq_AddSampleRecord(uint32_t bytes);
// Removes the record and points the instruments' names at the moved records.
void Seq_RemoveSampleRecord(int32_t sampleId, int32_t release);
// The first free instrument slot 1..200, in use from now on; 201 when all are taken.
int32_t Seq_AllocInstrumentSlot();
// -(n + 1) for the lowest n of 0..200 that no record uses; 0 when all are taken.
int32_t Seq_NewSampleId();

void Seq_AddInstrumentCommand(int32_t slot, uint32_t type, uint32_t param0, uint32_t param1);
void Seq_RemoveLastInstrumentCommand(int32_t slot);
void Seq_FreeCommandChain(COMMANDENTRY *pFirst);
int32_t Seq_CommandEntryCount(int32_t code);


// Puts library sample (key1, key2, key3) into the slot, releasing its old sample and commands.
// 0, or -1 when the library has no such sample (slot unchanged).
int Seq_LoadInstrument(int32_t slot, uint8_t key1, uint16_t key2, uint16_t key3, uint8_t kind, uint32_t flags);
void Seq_AskForDisc(int32_t disc);

// Stand-in library: samples that Seq_LoadInstrument and Vid_LoadResByName find.
void Seq_StandinAddLibrarySample(uint8_t key1, uint16_t key2, uint16_t key3, const uint8_t path[3],
                                 const char name[8], const int16_t *pData, uint32_t frames);
void Seq_StandinClearSongData();
// Library entry by path and name: keys in aIndex[0..2], kind in aIndex[3]. 0 or -1.
int Seq_StandinFindLibrarySample(const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize);
