// The demo song: drums, bass, lead and pad over 22 rows, with a tempo ramp and a volume ramp,
// made through the studio's own song records (sample import, notes, riffs, the grid and the event
// lists) into the current song.
#pragma once

#include <cstdint>

enum
{
    DEMO_ROWS = 22,
    DEMO_TONE_ROW = 20, // rows 20..21 hold one lead note alone: an A at 440 Hz
    DEMO_TONE_PITCH = 69,
};

// Builds the demo into the current (empty) song; 0, or -1 when a record could not be made.
int32_t Content_BuildDemoSong();
