// STAND-IN until the periodic network jam step is built: the Ctrl and Shift flags the players'
// controls read, under the names that module will use. Definitions are weak, so the real ones win
// at link time.
#pragma once

#include <cstdint>

extern int32_t g_bJamCtrlHeld;
extern int32_t g_bJamShiftHeld;
