// The software mixer: voices, mix parameters and the block mix.
//
// All sound is mixed into 16-bit stereo blocks (first word of a frame left, second right) of
// g_iMixFrames frames (72 at 44100 Hz). The arithmetic is integer and fixed to the bit:
//  - stereo voices step through 4-byte frames in 16.16 fixed point, four output frames a group,
//    interpolating with 15-bit phases kept apart from the fraction; each word is
//    c = cur >> 1, n = next >> 1, t = ((n - c) * phase) >> 16, s = 2t + c,
//    v = ((s * volume) >> 16) << 3 in 16-bit wrapping arithmetic, added with saturation;
//    volumes are signed 16-bit with 16384 as unity (high half right, low half left);
//  - the mono preview voice steps through 2-byte samples in 8.8 fixed point and adds
//    (s * volume) >> 14, clamped.
//
// Voice operations take g_csMix (core/mixlock.h), as does the block mix, so they may be called
// from any thread. The interface voice and the preview voice have numbers of their own (99 and
// 100), so their bits in a sample's voice masks never name a song voice.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

struct SAMPLESLOT;
struct PLUGININSTANCE;

constexpr int SND_VOICE_COUNT = 99;
constexpr int SND_INTERFACE_VOICE_NUMBER = 99;
constexpr int SND_PREVIEW_VOICE_NUMBER = 100;
constexpr int32_t SND_UNITY_VOLUME = 16384;
// Largest block the mixer accepts, whatever the mix parameters say.
constexpr int32_t SND_MAX_MIX_FRAMES = 4096;

enum
{
    VOICE_ACTIVE = 1u << 0,
    VOICE_PREPARED = 1u << 4,
};

struct VOICE
{
    // Playback header copied from the SAMPLESLOT.
    uint32_t uFlags;
    uint8_t *pCurrent;
    uint8_t *pEnd;
    uint8_t *pStart; // null: no data; operations and the mix then do nothing
    uint8_t *pLoop;
    uint32_t uRate;

    uint32_t uState;    // VOICE_ACTIVE, VOICE_PREPARED
    uint32_t uFraction; // 16 bits for stereo voices, 8 for mono
    int32_t iStep;      // 16.16 stereo, 8.8 mono
    uint32_t auPhase[4];    // 15-bit weights of frames 0..3 of a group: low half left, high right
    uint32_t auPhaseInc[2]; // added to each phase half per group (both equal)
    uint32_t auVolume[2];   // packed: high half right, low half left (both equal)
    int32_t iBlockAdvance;  // (step * 144) >> 16
    int32_t iMonoVolLeft;
    int32_t iMonoVolRight;
    uint32_t uStartOffset;
    uint32_t uReverbSend;
    SAMPLESLOT *pSlot;
    PLUGININSTANCE *pPlugin;
    int16_t *pPluginBuffer;
    int32_t iPluginSlot; // -1 none
    int32_t iNumber;     // bit in the slot's voice masks

    // Last volume asked for, before the master volume: a master change is applied from these.
    int32_t aiRequestedVolume[2];
};

// Mix parameters.
extern float g_fMixRate;
extern int32_t g_iMixRate;
extern float g_fMixBlockSeconds;
extern int32_t g_iMixFrames;
extern int16_t *g_pMixOut;
extern int16_t *g_pMixSend;
extern int16_t *g_pMixScratch;

// Voices.
extern VOICE g_astVoices[SND_VOICE_COUNT];
extern VOICE g_stInterfaceVoice;
extern VOICE g_stPreviewVoice;
extern std::atomic<int32_t> g_iInterfaceVoiceOn;
extern int32_t *g_pVoiceKeyTable;                        // one entry per voice, the sequencer's
extern SAMPLESLOT *g_apVoiceSample[SND_VOICE_COUNT];     // sample of each voice's next key-on
extern int32_t g_aiMasterVolume[2];                      // 16383 at start; 4 x the set values
extern std::atomic<int32_t> g_iInterfaceVolume;          // 0..255

// Reverb settings the mix reads (written by the console sound calls).
extern std::atomic<int32_t> g_bReverbOn;
extern std::atomic<int32_t> g_iReverbType;
extern std::atomic<int32_t> g_bReverbChanged;

// What the block mix leaves for the sample editor, which reads it on the main thread: the
// preview's play position in samples, whether the preview is playing, and a flag set when the
// preview reached its end (the editor clears it and stops its preview).
extern std::atomic<int32_t> g_iPreviewPlayPosition;
extern std::atomic<int32_t> g_bPreviewPlaying;
extern std::atomic<int32_t> g_bPreviewEnded;

// Guards the release list.
extern std::recursive_mutex g_csSampleEngine;

// Engine life cycle.
int Snd_InitSampleEngine(int32_t slotCount);
int Snd_ShutdownSampleEngine();

// selector 1 rate (float Hz), 2 ignored, 4 block length (float seconds), 8 scratch block,
// 16 output block, 32 send block. -1 for a null value or selector 0, or a rate or length that
// gives no usable block.
int Snd_SetMixParam(int32_t selector, void *pValue);

// Voice operations.
int Snd_StartVoice(VOICE *pVoice, SAMPLESLOT *pSlot, uint32_t flags); // flags 16: prepare
int Snd_StopVoice(VOICE *pVoice);
int Snd_StopVoiceIndex(int32_t n); // song voices 0..98 only
int Snd_StopAllVoices();
// Stops every voice playing the slot: the song voices in its masks, the interface and preview
// voices. Sample frees call it.
void Snd_StopSampleVoices(SAMPLESLOT *pSlot);
// Before sample data is freed: every voice whose header points into it stops and forgets it, so
// a later key-on without a new prepare cannot play freed memory.
void Snd_ForgetSampleData(const uint8_t *pData, size_t bytes);
int Snd_SetVoicePitch(VOICE *pVoice, int32_t rate);
int Snd_SetVoiceVolume(VOICE *pVoice, int32_t a, int32_t b);
int Snd_SetMasterVolume(int32_t first, int32_t second);
int Snd_SetVoiceStartOffset(VOICE *pVoice, uint32_t n);
int Snd_SetVoicePlugin(int32_t n, int32_t slot);

// Interface sounds.
int Snd_PlayInterfaceSound(int32_t n);
int Snd_PlayInterfaceSoundAt(int32_t n, int32_t rate, int32_t volume);

// Block mixing.
int Snd_MixBlock();
int Snd_MixVoice(VOICE *pVoice);
int Snd_MixPreviewVoice(VOICE *pVoice);
// Tests only: true mixes stereo voices with the portable word loop instead of the vector one
// (where the vector one is built), so the two can be compared.
void Snd_SetPortableMix(bool on);

// Release list: slots queued here are freed at the start of the next block.
int Snd_ReleaseFinishedSamples();
int Snd_QueueSampleRelease(SAMPLESLOT *pSlot);
