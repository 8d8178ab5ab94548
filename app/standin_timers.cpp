#include "app/standin_timers.h"

#include "app/calllog.h"
#include "app/startup.h"
#include "platform/window.h"

int32_t g_bMixdownRunning = 0;
int32_t g_bTickTimerRunning = 0;
int32_t g_iRecordRunning = 0;
int32_t g_bMixPumpOn = 0;

namespace {
bool s_mixBuffers = false;
} // namespace

// Stand-in for the mix buffers.
int Sys_AllocMixBuffers()
{
    Sys_CallLog("Sys_AllocMixBuffers");
    s_mixBuffers = true;
    return 0;
}

// Stand-in.
void Sys_FreeMixBuffers()
{
    Sys_CallLog("Sys_FreeMixBuffers");
    s_mixBuffers = false;
}

// Stand-in for the 1 ms mix pump: no thread yet.
int Sys_StartMixTimer()
{
    Sys_CallLog("Sys_StartMixTimer");
    g_bMixPumpOn = 1;
    return 1;
}

// Stand-in.
void Sys_StopMixTimer()
{
    Sys_CallLog("Sys_StopMixTimer");
    g_bMixPumpOn = 0;
}

// Stand-in.
int Sys_SuspendAudio(int on)
{
    Sys_CallLog(on ? "Sys_SuspendAudio(1)" : "Sys_SuspendAudio(0)");
    return on;
}

// Stand-in with the quit order: mixing off, timers stopped, then the window's own close.
int Sys_RequestQuit()
{
    Sys_CallLog("Sys_RequestQuit");
    g_bAudioMixEnabled = 0;
    if (g_iMixTimerMode == 1)
        Sys_StopMixTimer();
    Plat_PostEvent(PLAT_EV_CLOSE, 0);
    return 1;
}

// Stand-in.
void Sys_FrameTiming()
{
    Sys_CallLog("Sys_FrameTiming");
}

// Stand-in.
void Sys_MixdownStep()
{
    Sys_CallLog("Sys_MixdownStep");
}

// Stand-in.
void Sys_MixTick()
{
    Sys_CallLog("Sys_MixTick");
}
