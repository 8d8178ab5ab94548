// Stand-ins for the sequencer calls the video lanes make, until the sequencer builds them. Weak,
// so the sequencer's own definitions win at link time.
#pragma once

#include <cstdint>

// Plays interface sound n (3 = refused).
void Seq_PlayInterfaceSound(int32_t sound);
