// Stand-ins for the jam and input-layer calls the program spine makes, until the jam is built.
#pragma once

#include <atomic>
#include <cstdint>

#include "jam/jamsession.h"

// Calls of the network jam step (the timer tests count them).
extern std::atomic<int32_t> g_iNetFrameSteps;

void Net_CreateObjects();
void Net_ReleaseObjects();
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t);
void Jam_HostFromLobby();
void Jam_JoinFromLobby();
