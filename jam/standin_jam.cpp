#include "jam/standin_jam.h"

#include "app/calllog.h"
#include "app/devices.h"

// Stand-in.
void Net_CreateObjects()
{
    Sys_CallLog("Net_CreateObjects");
}

// Stand-in.
void Net_ReleaseObjects()
{
    Sys_CallLog("Net_ReleaseObjects");
    // The input devices go here, the mouse among them.
    Sys_ReleaseMouse();
}

// Counted by the jam step; not logged: it runs on the timer threads.
std::atomic<int32_t> g_iNetFrameSteps{0};

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
