#include "jam/standin_jam.h"

#include "app/calllog.h"

std::atomic<int32_t> g_bJamSessionOn{0};

// Stand-in.
void Net_CreateObjects()
{
    Sys_CallLog("Net_CreateObjects");
}

// Stand-in.
void Net_ReleaseObjects()
{
    Sys_CallLog("Net_ReleaseObjects");
}

std::atomic<int32_t> g_iNetFrameSteps{0};

// Stand-in: counts its calls. Not logged: it runs on the timer threads.
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t)
{
    g_iNetFrameSteps++;
}

// Stand-in.
void Jam_HostFromLobby()
{
    Sys_CallLog("Jam_HostFromLobby");
}

// Stand-in.
void Jam_JoinFromLobby()
{
    Sys_CallLog("Jam_JoinFromLobby");
}
