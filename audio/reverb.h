// The reverb stage run at the end of every mixed block.
// Stand-in until the reverb stage is built: the calls the mixer makes, without delay lines.
#pragma once

#include <cstdint>

// Sizes the delay lines for preset n and clears the pending change.
int Snd_ApplyReverbPreset(int32_t n);
// Adds the reverberated and the dry send block to the output block.
int Snd_MixReverb();
void Snd_FreeReverbDelays();
