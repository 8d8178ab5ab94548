// What the program spine asks of the jam's network side at start-up and shutdown, and the count
// of network jam steps the timer tests read.
#pragma once

#include <atomic>
#include <cstdint>

#include "jam/jamsession.h"
#include "jam/jamstart.h"

// Calls of the network jam step (the timer tests count them).
extern std::atomic<int32_t> g_iNetFrameSteps;

// Start-up: the program's network node, ready for a jam to start.
void Net_CreateObjects();
// Shutdown: the input devices (the mouse among them) are released.
void Net_ReleaseObjects();
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t);
