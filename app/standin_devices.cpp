#include "app/standin_devices.h"

#include "app/calllog.h"
#include "app/settings.h"
#include "app/startup.h"
#include "core/padbind.h"
#include "render/display.h"

int32_t g_bDisplayOpen = 0;
int32_t g_iWantedDisplayMode = -1;

namespace {
bool s_audioOpen = false;
bool s_displayObjects = false;
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

// Stand-in for the display bring-up: opens the display the way the bring-up does (every open
// lists the devices anew), and on a failure gives back what it made.
int Sys_OpenDisplay(int device, int mode)
{
    Sys_CallLog("Sys_OpenDisplay");
    if (Sys_CallLogShouldFail("Sys_OpenDisplay"))
        return -1;
    Gfx_EnumerateDisplayDevices(reinterpret_cast<void *>(g_hMainWnd));
    // A stored device that is no longer there falls back to the first one.
    if (device < 0 || device >= Gfx_GetDeviceCount())
        device = 0;
    if (Gfx_CreateDirectDraw(device) != 0)
        return -1;
    if (mode == -1)
        mode = Gfx_FindDisplayMode(640, 480, 16);
    if (mode < 0 || Gfx_SetDisplayMode(mode) != 0) {
        Gfx_RestoreDisplayMode();
        Gfx_ReleaseDirectDraw();
        return -1;
    }
    g_bDisplayOpen = 1;
    return 0;
}

// Stand-in.
void Sys_CloseDisplay()
{
    Sys_CallLog("Sys_CloseDisplay");
    Gfx_RestoreDisplayMode();
    Gfx_ReleaseDirectDraw();
    g_bDisplayOpen = 0;
}

// Stand-in.
int Sys_CreateDisplayObjects(int)
{
    Sys_CallLog("Sys_CreateDisplayObjects");
    Sys_DisplayObjectsHook();
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
