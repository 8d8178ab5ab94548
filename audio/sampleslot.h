// Loaded samples: the slot table and the sample data that voices play.
//
// A slot holds 16-bit data, mono (2-byte frames) or stereo (4-byte frames, left word first, the
// form the stereo mixer plays), its loop point and the voices playing it. Loaders: raw 16-bit
// data from a file or memory, console ADPCM (audio/adpcm.h) and AIFF. Every loader checks sizes
// against what it holds and refuses what does not fit; a failed load frees its slot again, so
// a caller never gets a slot without data.
//
// The interface sounds are five slots outside the table, loaded at start-up from
// "boot\confirm1.bin", "boot\select1.bin", "boot\move.bin", "boot\bad.bin" and
// "boot\cancel.bin" in the data folder: a 48-byte header, then ADPCM. A missing or broken file
// leaves its sound silent.
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
    uint32_t uIndex;      // own index in the slot table
    uint32_t uDuplicates; // duplicates made of this slot so far (numbers their names)
    char szName[256];
    uint32_t uFrames;
    uint32_t uBytes; // size of the raw data as loaded (raw loads)
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
// Stops every voice playing the slot (naming them in g_szErrorText: "Stopping Sample Channel "
// then "(%d) " per voice), frees its data (unless borrowed), empties its table entry and frees
// the slot. Takes the mix lock. Null does nothing. Returns 0.
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

// Load formats of Snd_LoadSample.
enum
{
    SAMPLE_FORMAT_AIFF_FILE = 1,
    SAMPLE_FORMAT_AIFF_MEMORY = 2,
    SAMPLE_FORMAT_ADPCM_MEMORY = 4,
    SAMPLE_FORMAT_RAW_FILE = 8,   // 16-bit mono, 44100 Hz, named by name
    SAMPLE_FORMAT_RAW_MEMORY = 16, // 16-bit mono, 44100 Hz
};
// Largest file a loader reads whole.
constexpr uint32_t SAMPLE_MAX_FILE_BYTES = 256u << 20;

// Takes a slot, names it (cut to 255 characters) and loads it by format. Returns 0 with the slot
// in *ppOut; -1 when no slot is free, the format is unknown or the load failed (the slot is freed
// again and g_szErrorText says why).
int Snd_LoadSample(SAMPLESLOT **ppOut, const char *name, const void *pData, uint32_t size, uint32_t format);
// Raw little-endian 16-bit mono from the file named by the slot: frames = bytes / 2 (an odd last
// byte is left), rate 44100, widened. 0, or -1 (slot unchanged).
int Snd_LoadRawFile(SAMPLESLOT *pSlot);
int Snd_LoadRawMemory(SAMPLESLOT *pSlot, const void *pData, uint32_t size);
int Snd_LoadAiffFile(SAMPLESLOT *pSlot);
// Decodes console ADPCM into the slot (widened; loop from the data's loop mark). The rate is left
// to the caller. 0, or -1 (slot unchanged) when the data would not fit in memory.
int Snd_LoadAdpcm(SAMPLESLOT *pSlot, const void *pData, uint32_t size);

// Mono to stereo (s -> (s, s)) and back (keeps the left word); the loop frame stays. 0, or -1
// (slot unchanged) when memory is short.
int Snd_WidenSample(SAMPLESLOT *pSlot);
int Snd_NarrowSample(SAMPLESLOT *pSlot);
// The first word of each frame into pDest (uFrames words).
int Snd_CopySampleLeft(int16_t *pDest, const SAMPLESLOT *pSlot);
// Loop on from frame, or off. A frame at or past the end loops from the start.
int Snd_SetSampleLoop(SAMPLESLOT *pSlot, uint32_t frame, int on);
// The same on the playback header only: the loop start frame is left as it is.
int Snd_SetLoopPointer(SAMPLESLOT *pHeader, uint32_t frame, int on);
// The first slot in table order with the sample id; its index, or -1.
int Snd_FindSampleById(SAMPLESLOT **ppOut, uint32_t id);
// The first slot in table order whose name is exactly name; its index, or -1.
int Snd_FindSampleByName(SAMPLESLOT **ppOut, const char *name);
// The slot at index; the index, or -1 for a null out pointer, an index outside the table or an
// empty entry.
int Snd_GetSample(SAMPLESLOT **ppOut, int32_t index);
// A new slot sharing the source's data (borrowed: not freed with the duplicate), with the
// source's header, loop and rate, named "<name> Duplicate #<n>" after the source's count of
// duplicates. No voice plays it yet. Its index, or -1 when no slot is free or there is no source.
// Freeing a slot whose data others borrow hands the data to one of them instead of freeing it.
int Snd_DuplicateSample(SAMPLESLOT **ppOut, SAMPLESLOT *pSource);
// n 16-bit samples stretched (or squeezed) from sourceLength by nearest neighbour, in a new
// allocation (free() it) put in *ppOut. 0, or -1 for no source, a zero length or no memory.
int Snd_StretchSamples(const int16_t *pSource, uint32_t sourceLength, int16_t **ppOut, uint32_t n);

// Loads the five interface sounds from the data folder (at 11025 Hz). Returns 0: a sound that
// cannot be loaded stays silent.
int Snd_LoadInterfaceSounds();
void Snd_FreeInterfaceSounds();
