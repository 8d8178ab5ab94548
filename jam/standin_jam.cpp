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

// Stand-in.
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t)
{
    Sys_CallLog("Net_FrameStep");
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
