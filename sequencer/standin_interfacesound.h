// Stand-in for the sequencer's interface sounds until its instrument services are built.
#pragma once

#include <cstdint>

// Plays interface sound n (0 confirm, 1 select, 2 move, 3 bad, 4 cancel) through the mixer.
void Seq_PlayInterfaceSound(int32_t n);
