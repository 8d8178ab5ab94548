// Per-sample playback buffers: an older way of playing a sound, where each loaded sound has a
// buffer of its own that is played, stopped, positioned and set in volume, pan and frequency
// directly instead of through the song's voices. Two entries.
//
// Each entry keeps its sound in a sample slot of its own (outside the slot table) and plays it
// through a voice of its own, which the block mix adds after the song's voices. Volumes are in
// hundredths of a decibel (-10000 silent .. 0 full), pan from -10000 (left only) to 10000
// (right only), frequency in Hz (100 .. 200000). Positions are byte offsets into the sound as
// loaded (16-bit samples, channels interleaved). Each operation writes what it did into
// g_szSoundStatusText.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/mixer.h"
#include "audio/sampleslot.h"

constexpr int32_t SND_SAMPLE_BUFFERS = 2;
constexpr int32_t SND_SAMPLE_BUFFER_VOICE = 101; // voice numbers 101 and 102

enum
{
    SAMPLEBUFFER_HAS_LOOP = 1u << 0,  // the sound carries loop markers
    SAMPLEBUFFER_STATUS_PLAYING = 1,
    SAMPLEBUFFER_STATUS_LOOPING = 4,
};

// The shape of an entry's sound.
struct SAMPLEBUFFERDESC
{
    uint32_t uSize; // 36
    uint32_t uFlags;
    uint32_t uBufferBytes;
    uint16_t uChannels;
    uint16_t uBits;
    uint32_t uRate;
    uint32_t auReserved[4];
};

struct SAMPLEBUFFER
{
    uint32_t uFlags;
    char szName[256]; // "No Sample Loaded" when new
    uint32_t uIndex;
    SAMPLESLOT *pBuffer; // null until a sound is loaded
    SAMPLEBUFFERDESC stDesc;
    uint32_t uLoopBegin; // byte offsets
    uint32_t uLoopEnd;
    int32_t iNotify; // notification slot, -1 none

    VOICE stVoice;
    int32_t iVolume;
    int32_t iPan;
    uint32_t uFrequency;
};

// A notification slot: an event (-1 = free) signalled each time playback passes the offset.
struct SAMPLEBUFFERNOTIFY
{
    int32_t iEvent;
    uint32_t uOffset;
    std::atomic<int32_t> iSignalled;
};

extern SAMPLEBUFFER *g_apSampleBuffers[SND_SAMPLE_BUFFERS];
extern int32_t g_iSampleBufferCount;
extern SAMPLEBUFFERNOTIFY g_astSampleBufferNotify[2];

int Snd_AllocSampleBuffer(int32_t index);
// The first empty entry, allocated; its index in *pOut. 0, or -1 when both are taken.
int Snd_TakeSampleBuffer(int32_t *pOut);
int Snd_ReleaseSampleBuffer(int32_t index);
int Snd_ReleaseAllSampleBuffers();
// Loads an AIFF image into the entry ("beg loop" and "end loop" markers become its loop offsets;
// with markers and the 1 ms mix timer a notification at the loop end is registered).
int Snd_LoadSampleBufferAiff(int32_t index, const uint8_t *pImage, uint32_t size);
// Not playing: starts from the beginning, looping when loop is set or the sound has markers.
// Playing: moves to position.
int Snd_PlaySampleBuffer(int32_t index, int32_t loop, uint32_t position);
int Snd_StopSampleBuffer(int32_t index);
// SAMPLEBUFFER_STATUS_* bits, or -1 when the entry has no sound.
int Snd_GetSampleBufferStatus(int32_t index);
int Snd_SetSampleBufferPosition(int32_t index, uint32_t offset);
// Current play offset in bytes, or -1.
int64_t Snd_GetSampleBufferPosition(int32_t index);
int Snd_FindSampleBuffer(const char *name, int32_t *pOut);
// Makes entry newIndex a copy of source's sound named "Instance of " + its name.
int Snd_DuplicateSampleBuffer(int32_t newIndex, int32_t source);
// Duplicates an entry of that name, else takes a new entry of that name and loads the image (if
// any) into it. The entry's index, or -1.
int Snd_FindOrCreateSampleBuffer(const char *name, const uint8_t *pImage, uint32_t size);
int Snd_SetSampleBufferVolume(int32_t index, int32_t volume);
int Snd_GetSampleBufferVolume(int32_t index, int32_t *pOut);
int Snd_SetSampleBufferPan(int32_t index, int32_t pan);
int Snd_GetSampleBufferPan(int32_t index, int32_t *pOut);
int Snd_SetSampleBufferFrequency(int32_t index, uint32_t frequency);
int Snd_GetSampleBufferFrequency(int32_t index, uint32_t *pOut);
// The first free notification slot, or -1.
int Snd_FindFreeNotifySlot();

// Block mix: adds the playing entries and signals passed notifications. Runs under g_csMix.
void Snd_MixSampleBuffers();
