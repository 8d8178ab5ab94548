// Loaded samples: the slot table and the sample data that voices play.
//
// Minimal for now: the record with the fields the mixer reads, the slot table, allocation of
// sample data and freeing. The loaders, widening and narrowing, loops and the interface-sound
// files come with the rest of the sample code.
#pragma once

#include <cstdint>

enum
{
    SAMPLE_LOOPS = 1u << 1,
    SAMPLE_BORROWED = 1u << 3, // data belongs to another slot: not freed with this one
    SAMPLE_STEREO = 1u << 28,  // 4-byte frames (left word, right word); else 2-byte mono
    SAMPLE_LOADED = 1u << 29,
};

// Zero frames kept after every sample's data: the mixer's interpolation may read the frame after
// the last one (and, in its fast path, one more), and must find silence there.
constexpr uint32_t SAMPLE_GUARD_BYTES = 2 * 4;

struct SAMPLESLOT
{
    // Playback header, copied into a VOICE when the voice is prepared.
    uint32_t uFlags;
    uint8_t *pCurrent;
    uint8_t *pEnd;   // just past the data
    uint8_t *pStart; // null: no data
    uint8_t *pLoop;
    uint32_t uRate; // Hz

    uint32_t uSampleId;
    uint32_t uIndex; // own index in the slot table
    char szName[256];
    uint32_t uFrames;
    uint32_t uLoopStartFrame;
    uint8_t *pData;
    uint32_t auVoiceMask[4]; // bit n set while voice number n plays this slot
};

extern SAMPLESLOT **g_ppSampleSlots;
extern int32_t g_iSampleSlotCount;

// The five interface sounds: 0 confirm, 1 select, 2 move, 3 bad, 4 cancel.
extern SAMPLESLOT g_astInterfaceSounds[5];

// Creates the slot table (all empty). Returns 0, -1 for a bad count or no memory.
int Snd_AllocSampleTable(int32_t slotCount);
// Frees every slot and the table.
void Snd_FreeSampleTable();

// Takes the first empty table entry, gives it a zeroed slot; returns its index, -1 when full.
int Snd_AllocSampleSlot(SAMPLESLOT **ppOut);
// Stops every voice playing the slot, frees its data (unless borrowed), empties its table entry
// and frees the slot. Takes the mix lock. Null does nothing. Returns 0.
int Snd_FreeSample(SAMPLESLOT *pSlot);
void Snd_FreeAllSamples();

// Gives the slot zeroed data for frames frames (mono or stereo) plus the zero guard after it,
// freeing what it held, and resets its playback header. Returns 0, -1 for no memory or a size
// out of range (slot unchanged).
int Snd_AllocSampleData(SAMPLESLOT *pSlot, uint32_t frames, bool stereo);
// Frees the slot's data (unless borrowed) and clears its header. Takes the mix lock.
void Snd_FreeSampleData(SAMPLESLOT *pSlot);
// start = current = data; end after the frames; loop at the loop start frame when looping.
void Snd_ResetSamplePointers(SAMPLESLOT *pSlot);
