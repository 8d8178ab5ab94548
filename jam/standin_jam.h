// Stand-ins for the jam and input-layer calls the program spine makes, until the jam is built.
#pragma once

#include <atomic>
#include <cstdint>

// Read by the mix on its timer thread.
extern std::atomic<int32_t> g_bJamSessionOn;
// Calls of the network step so far (stand-in).
extern std::atomic<int32_t> g_iNetFrameSteps;

void Net_CreateObjects();
void Net_ReleaseObjects();
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t);
void Jam_HostFromLobby();
void Jam_JoinFromLobby();

// 1 during a single-player jam.
extern int32_t g_bJamSinglePlayer;

// The start and the agreed start of a network jam, in milliseconds of Sys_GetMilliseconds; the
// waiting box counts down to the second.
extern uint32_t g_uiJamStartTime;
extern uint32_t g_uiJamSyncTime;
