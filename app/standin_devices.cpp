#include "app/standin_devices.h"

#include "app/calllog.h"
#include "app/standin_settings.h"
#include "app/startup.h"
#include "platform/window.h"

int32_t g_bDisplayOpen = 0;
int32_t g_iWantedDisplayMode = -1;
int32_t g_bMixdownRunning = 0;
int32_t g_bTickTimerRunning = 0;
int32_t g_iRecordRunning = 0;
int32_t g_bMixPumpOn = 0;

namespace {
bool s_audioOpen = false;
bool s_displayObjects = false;
bool s_mixBuffers = false;
} // namespace

// Stand-in for the audio output bring-up.
int Sys_OpenAudioOutput(int)
{
    Sys_CallLog("Sys_OpenAudioOutput");
    if (Sys_CallLogShouldFail("Sys_OpenAudioOutput"))
        return -1;
    s_audioOpen = true;
    return 0;
}

// Stand-in.
void Sys_CloseAudioOutput()
{
    Sys_CallLog("Sys_CloseAudioOutput");
    s_audioOpen = false;
}

// Stand-in for the display bring-up.
int Sys_OpenDisplay(int, int)
{
    Sys_CallLog("Sys_OpenDisplay");
    if (Sys_CallLogShouldFail("Sys_OpenDisplay"))
        return -1;
    g_bDisplayOpen = 1;
    return 0;
}

// Stand-in.
void Sys_CloseDisplay()
{
    Sys_CallLog("Sys_CloseDisplay");
    g_bDisplayOpen = 0;
}

// Stand-in.
int Sys_CreateDisplayObjects(int)
{
    Sys_CallLog("Sys_CreateDisplayObjects");
    s_displayObjects = g_bDisplayOpen != 0;
    return s_displayObjects ? 0 : -1;
}

// Stand-in.
void Sys_ReleaseDisplayObjects()
{
    Sys_CallLog("Sys_ReleaseDisplayObjects");
    s_displayObjects = false;
}

// Stand-in.
int Sys_LoadInterfaceImages()
{
    Sys_CallLog("Sys_LoadInterfaceImages");
    return 0;
}

// Stand-in for the mouse.
int Sys_InitMouse()
{
    Sys_CallLog("Sys_InitMouse");
    return 0;
}

// Stand-in.
void Sys_AcquireMouse()
{
    Sys_CallLog("Sys_AcquireMouse");
}

// Stand-in.
void Sys_PollMouse()
{
    Sys_CallLog("Sys_PollMouse");
}

// Stand-in with the reopen order: close what is open, then audio, display, objects.
int Sys_ReopenDevices(int device)
{
    Sys_CallLog("Sys_ReopenDevices");
    if (g_bDisplayOpen) {
        Sys_CloseAudioOutput();
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
    }
    g_iGfxDevice = device;
    Sys_OpenAudioOutput(g_iAudioOutDevice);
    Sys_OpenDisplay(device, g_iWantedDisplayMode);
    Sys_CreateDisplayObjects(0);
    return 0;
}

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
