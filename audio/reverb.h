// The reverb stage run at the end of every mixed block while reverb is on.
//
// The send block goes through three feedback delay lines in parallel (feedback 3/4, 7/8, 7/8)
// and one all-pass line (coefficient 3/4); the result, scaled by the depth, is added to the
// output block together with the dry send. Arithmetic is 32-bit integer with arithmetic shifts.
//
// The lines are allocated once, at the largest length any preset asks for; presets only change
// their lengths and clear them, so a preset change on the mix thread never allocates or frees.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int SND_REVERB_LINES = 4;
constexpr int SND_REVERB_PRESETS = 11;
// Longest delay of any preset or of the start-up set, in milliseconds.
constexpr int32_t SND_REVERB_MAX_MS = 512;

struct REVERBLINE
{
    int32_t iLength;   // frames
    int32_t *pCurrent; // entries of two values (left, right)
    int32_t *pEnd;     // buffer + length entries
    int32_t *pBuffer;
    int32_t iCapacity; // frames allocated
};

// Lines 1..4 at indices 0..3: three feedback lines, then the all-pass line.
extern REVERBLINE g_astReverbLines[SND_REVERB_LINES];
// A depth below 32768 scales the wet signal by depth / 65536; 32768 and above leave it whole.
extern std::atomic<int32_t> g_iReverbDepthLeft;
extern std::atomic<int32_t> g_iReverbDepthRight;
// Depths asked together with a pending preset change (-1: none); that change keeps them instead
// of falling back to 256, and forgets them.
extern std::atomic<int32_t> g_iReverbAskedDepthLeft;
extern std::atomic<int32_t> g_iReverbAskedDepthRight;

// Delays of lines 1..4 in milliseconds for presets 0..10.
extern const int32_t g_aiReverbPresetMs[SND_REVERB_PRESETS][SND_REVERB_LINES];

// Sizes the lines for delays in milliseconds at the mix rate, clears them, sets both depths to
// 256 and clears the pending change. Returns 0, or -1 when a delay is out of range or the lines
// cannot be allocated (the stage then adds only the dry send).
int Snd_SetReverbDelays(int32_t ms1, int32_t ms2, int32_t ms3, int32_t ms4);
// Zeroes every line.
int Snd_ClearReverbDelays();
void Snd_FreeReverbDelays();
// Sizes the lines for preset n and clears the pending change; the depths go back to 256 unless
// a depth was asked together with the change. A preset
// out of range leaves the lines unused (only the dry send passes) until a valid one arrives.
int Snd_ApplyReverbPreset(int32_t n);
// Adds the reverberated and the dry send block to the output block.
int Snd_MixReverb();
// Whether the lines are sized and in use.
bool Snd_ReverbLinesValid();
