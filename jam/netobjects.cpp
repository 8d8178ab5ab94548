#include "jam/netobjects.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "jam/netsession.h"

std::atomic<int32_t> g_iNetFrameSteps{0};

void Net_CreateObjects()
{
    Sys_CallLog("Net_CreateObjects");
    // Input comes from the window and MIDI layers; the network node only needs its jam.
    Net_SetProgramJam(&g_JamNet);
}

void Net_ReleaseObjects()
{
    Sys_CallLog("Net_ReleaseObjects");
    // A jam still hosted or joined at quit is left: the others hear of it, and no receive thread
    // outlives the studio.
    Net_StopSessionA(&g_NetNode);
    Net_StopSessionB(&g_NetNode);
    Sys_ReleaseMouse();
}
