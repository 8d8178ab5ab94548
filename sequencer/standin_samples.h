// Stand-in for the sequencer's instrument slots and sample table until the song model is built:
// the records with the fields the sample import sets and reads, and the calls it makes.
#pragma once

#include <cstdint>

struct COMMANDENTRY;

constexpr int32_t SEQ_INSTRUMENT_SLOTS = 201; // 1..200 instruments, 0 the staging record
constexpr int32_t SEQ_NO_INSTRUMENT = 201;    // "none", and the answer of a full table
constexpr int32_t SEQ_SAMPLE_RECORDS = 200;   // index 0 unused

struct INSTRUMENTSLOT
{
    uint16_t uMark;      // 0xFFFF temporary, else 0
    int16_t iSampleId;   // resource id (>= 0) or own sample (< 0)
    uint8_t uKind;       // rate code: 3 = 44100, 2 = 22050, 1 = 11025 Hz
    uint8_t uKey1;       // library keys; 255, 0xFFFF, 0xFFFF for a sample not from the library
    uint16_t uKey2;
    uint16_t uKey3;      // keys all 0: the slot is free
    uint16_t uDisc;
    char *pszName;       // display name
    COMMANDENTRY *pCommands;
    uint8_t uCommandCount;
    int8_t iSampleState; // 2: the song's own sample, the sample editor records no commands
    uint8_t uUseCount;
    uint8_t uAllocated;
    uint8_t uReservedMark;
    char szArchiveName[9];
};

struct SAMPLEENTRY
{
    int16_t iSampleId;
    uint8_t uCategory;
    uint8_t uSaveByte;
    uint32_t uLength; // in 16-bit samples
    char szName[20];
};

extern INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];
extern SAMPLEENTRY g_aSamples[SEQ_SAMPLE_RECORDS];
extern uint16_t g_uSampleCount; // records + 1

// Appends a record of size / 2 samples; its index, or -1 when the table is full.
int32_t Seq_AddSampleRecord(uint32_t bytes);
// Removes the record with the id and moves the later ones down.
void Seq_RemoveSampleRecord(int16_t id, int32_t release);
// The first free slot 1..200, in use from now on; 201 when all are taken.
int32_t Seq_AllocInstrumentSlot();
// -(n + 1) for the lowest n of 0..200 that no record uses; 0 when all are taken.
int16_t Seq_NewSampleId();
// Kind 3: the next imported-sample name, "%s%.4d" with its own counter (restarting after 9998).
void Seq_MakeDefaultName(char *buffer, int32_t kind);
// Empties both tables and the name counter (a new song).
void Seq_ClearSampleTables();
