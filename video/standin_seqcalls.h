// Stand-ins for the sequencer calls the video lanes make, until the sequencer builds them. Weak,
// so the sequencer's own definitions win at link time.
#pragma once

#include <cstdint>

// Plays interface sound n (3 = refused).
void Seq_PlayInterfaceSound(int32_t sound);

// The song grid: 1000 rows of 99 columns; a cell of 0 is empty.
extern uint16_t g_aSongGrid[1000][99];
