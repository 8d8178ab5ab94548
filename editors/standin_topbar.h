// STAND-IN for the editor top bar's mode runner until the top bar is built: only what the jam
// session needs of it, under the names the top bar will use. Definitions are weak.
#pragma once

#include <cstdint>

// The screen the jam was entered from (1: the song grid).
extern uint8_t g_ucJamReturnScreen;
// Runs a mode function once the editor windows are gone.
void Ed_CloseWindowsThenRun(void (*action)());
// What the end of a jam runs: rebuilds the screen it was entered from.
void Ed_ReturnFromJam();
