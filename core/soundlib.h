// The console sound-library calls, carried out on the software voice engine and the sound
// output stream. Calls that only moved data into a console's sound memory do nothing: the
// samples stay in the voice engine's own buffers.
#pragma once

#include <atomic>
#include <cstdint>

// Voice numbers at or above this mean "all voices" for the reverb switch (callers pass 0xFFF
// and 0xFFFFFF); voices 99 up to it are ignored.
constexpr int32_t SYS_ALL_VOICES_FROM = 0xFFF;
constexpr int32_t SYS_ALL_VOICES = 0xFFFFFF;
constexpr int32_t SYS_KEY_COUNTER_WRAP = 600;

// Attribute record built by the callers.
struct SOUNDATTR
{
    uint32_t uMask;
    int16_t iValue1;      // +4 left volume, or the reverb preset
    int16_t iValue2;      // +6 right volume
    uint16_t uDepthLeft;  // +8
    uint16_t uDepthRight; // +10
    uint32_t uWord12;
    uint32_t uWord16;
};
static_assert(sizeof(SOUNDATTR) == 20);

enum
{
    SOUNDATTR_VALUE = 1u << 0, // preset, or the left master volume
    SOUNDATTR_DEPTH_LEFT = 1u << 1, // also the right master volume
    SOUNDATTR_DEPTH_RIGHT = 1u << 2,
};

extern std::atomic<int32_t> g_iKeyFrameCounter;

// on != 0: starts every prepared voice with its own sample (the voice argument is ignored).
// on = 0: stops voice n, or every voice for SYS_ALL_VOICES.
int32_t Sys_KeyVoices(int32_t on, int32_t voice);
// The engine's result; -1 for a voice out of range.
int32_t Sys_SetVoiceVolume(int32_t voice, int32_t left, int32_t right);
// Mask bit 0 or 1: master volume from +4 and +6. Returns the master volume call's result, 0 when
// neither bit is set, -1 for no record.
int32_t Sys_SetVoiceAttributes(const SOUNDATTR *record);
int32_t Sys_SetVoiceReverb(int32_t on, int32_t voice);
int32_t Sys_SetReverbEnable(int32_t on);
int32_t Sys_SetReverbDepth(const SOUNDATTR *record);
// Bits 1 and 2 set the depths; bit 0 asks for preset +4 at the next block. Returns 0, or -1
// (preset unchanged) for a preset out of range or no record.
int32_t Sys_SetReverbAttributes(const SOUNDATTR *record);
int32_t Sys_ClearReverbLines(int32_t voice);
int32_t Sys_PollSoundState(int32_t handle, int32_t what);
// Silences the output stream and stops mixing; returns the mix timer mode.
int32_t Sys_PauseAudioMix(int32_t handle);
int32_t Sys_ResumeAudioMix(int32_t handle);
int32_t Sys_SetSoundInterrupt(int32_t on);
void *Sys_SetSoundInterruptHandler(void *handler);

// Nothing to do here; each returns 0.
int32_t Sys_InitSound();
int32_t Sys_ApplySoundAttributes(const SOUNDATTR *record);
int32_t Sys_PrepareSoundTransfer();
int32_t Sys_WaitSoundTransfer(int32_t mode);
int32_t Sys_SetSoundTransferMode(int32_t mode);
int32_t Sys_SetSoundTransferAddress(uint32_t address);
int32_t Sys_WriteSoundMemory(const void *data, uint32_t bytes);
int32_t Sys_WriteSoundMemoryPart(const void *data, uint32_t bytes, uint32_t offset);
