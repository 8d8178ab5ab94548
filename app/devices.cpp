#include "app/devices.h"

#include "app/calllog.h"
#include "app/settings.h"
#include "app/startup.h"
#include "audio/soundout.h"
#include "core/file.h"
#include "core/mixlock.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "platform/mouse.h"
#include "platform/window.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "render/screentiles.h"
#include "render/textures.h"
#include "ui/requesters.h"

#include <cstdio>
#include <mutex>

int32_t g_bDisplayOpen = 0;
int32_t g_iWantedDisplayMode = -1;
int32_t g_iSelectedWidth = DISPLAY_DEFAULT_WIDTH;
int32_t g_iSelectedHeight = DISPLAY_DEFAULT_HEIGHT;
int32_t g_iSelectedDepth = DISPLAY_DEFAULT_DEPTH;
int32_t g_iTextureSizeSetting = 1;
int32_t g_iTextureSurfaceSize = 128;
int32_t g_iRequestedGfxDevice = -1;
int32_t g_iRequestedGfxMode = -1;

int32_t g_bMouseAcquireWanted = 1;
int16_t g_iMouseDeltaX = 0;
int16_t g_iMouseDeltaY = 0;
int32_t g_iMouseButton1 = 1;
int32_t g_iMouseButton2 = 1;
int32_t g_bMouseClicked = 0;

namespace {

void *MainWindow()
{
    return reinterpret_cast<void *>(g_hMainWnd);
}

int TextureSurfaceSize(int setting)
{
    if (setting == 0)
        return 64;
    if (setting == 2)
        return 256;
    return 128;
}

// Objects are made only on a display that opened: none are left in use on a missing one, and the
// next reopen (reactivation, switch) tries the display again.
void OpenDisplayWithObjects(int device, int mode)
{
    if (Sys_OpenDisplay(device, mode) == 0)
        Sys_CreateDisplayObjects(0);
}

// Back to the configuration in force: the current device in the wanted mode, the default screen
// layout, the layer copied each frame.
void ReopenCurrentDisplay()
{
    OpenDisplayWithObjects(g_iGfxDevice, g_iWantedDisplayMode);
    g_iScreenWidth = DISPLAY_DEFAULT_WIDTH;
    g_iScreenHeight = DISPLAY_DEFAULT_HEIGHT;
    g_bGpuLayerFlush = 1;
}

} // namespace

// --- display ---

int Sys_OpenDisplay(int device, int mode)
{
    Sys_CallLog("Sys_OpenDisplay");
    if (Sys_CallLogShouldFail("Sys_OpenDisplay"))
        return -1;
    // Every open lists the devices anew: a device may have come or gone since the last one.
    Gfx_EnumerateDisplayDevices(MainWindow());
    // A stored device that is no longer listed (a settings file from another machine) gives the
    // first one rather than no display at all.
    if (device < 0 || device >= Gfx_GetDeviceCount())
        device = 0;
    if (Gfx_CreateDirectDraw(device) != 0)
        return -1;
    if (mode == -1)
        mode = Gfx_FindDisplayMode(DISPLAY_DEFAULT_WIDTH, DISPLAY_DEFAULT_HEIGHT, DISPLAY_DEFAULT_DEPTH);
    if (mode < 0 || Gfx_SetDisplayMode(mode) != 0) {
        // Nothing half open: the caller sees a closed display.
        Gfx_RestoreDisplayMode();
        Gfx_ReleaseDirectDraw();
        return -1;
    }
    g_bDisplayOpen = 1;
    return 0;
}

int Sys_CloseDisplay()
{
    Sys_CallLog("Sys_CloseDisplay");
    Gfx_RestoreDisplayMode();
    Gfx_ReleaseDirectDraw();
    g_bDisplayOpen = 0;
    return 0;
}

int Sys_CreateDisplayObjects(int)
{
    Sys_CallLog("Sys_CreateDisplayObjects");
    // The named checks let tests fail each step of a device that cannot fail by itself.
    if (Sys_CallLogShouldFail("Gfx_EnumerateD3DDevices") || Gfx_EnumerateD3DDevices(MainWindow()) != 0 ||
        Sys_CallLogShouldFail("Gfx_CreateD3DDevice") || Gfx_CreateD3DDevice(1) != 0 ||
        Sys_CallLogShouldFail("Gfx_CreateLights") || Gfx_CreateLights() != 0)
        return -1;
    Gfx_EnumTextureFormats();
    Gfx_FindTextureFormat();
    Gfx_InitQuadGridIndices();
    Gfx_ResetLightingState();
    Sys_DisplayObjectsHook();
    g_iTextureSurfaceSize = TextureSurfaceSize(g_iTextureSizeSetting);
    return Gfx_CreateColourKeySurface(g_iTextureSurfaceSize, g_iTextureSurfaceSize);
}

int Sys_ReleaseDisplayObjects()
{
    Sys_CallLog("Sys_ReleaseDisplayObjects");
    Gfx_ReleaseColourKeySurface();
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    return 0;
}

// --- sound output ---

int Sys_OpenAudioOutput(int device)
{
    Sys_CallLog("Sys_OpenAudioOutput");
    if (Sys_CallLogShouldFail("Sys_OpenAudioOutput"))
        return -1;
    if (Snd_EnumOutputDevices(MainWindow()) != 0 || Snd_OpenOutputDevice(MainWindow(), device) != 0)
        return -1;
    if (Snd_CreateStreamBuffer() != 0) {
        // A device without a stream is no output; leave nothing half open.
        Snd_CloseOutputDevice();
        return -1;
    }
    Sys_ResumeAudioMix(0);
    return 0;
}

int Sys_CloseAudioOutput()
{
    Sys_CallLog("Sys_CloseAudioOutput");
    Sys_PauseAudioMix(0);
    // A mix step already past its check of the mix flag finishes before the stream goes.
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_ClearStreamBuffer();
    Snd_ReleaseStreamBuffer();
    Snd_CloseOutputDevice();
    return 0;
}

// --- switching ---

int Sys_ReopenDevices(int device)
{
    Sys_CallLog("Sys_ReopenDevices");
    if (g_bDisplayOpen) {
        Sys_CloseAudioOutput();
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
    }
    g_iGfxDevice = device;
    // A failure here is not fatal: the mix finds no stream and the program goes on silent.
    Sys_OpenAudioOutput(g_iAudioOutDevice);
    OpenDisplayWithObjects(device, g_iWantedDisplayMode);
    return 0;
}

int Sys_SwitchGfxDevice(int device)
{
    Sys_ReleaseDisplayObjects();
    Sys_CloseDisplay();
    g_iGfxDevice = device;
    g_iSelectedWidth = DISPLAY_DEFAULT_WIDTH;
    g_iSelectedHeight = DISPLAY_DEFAULT_HEIGHT;
    g_iSelectedDepth = DISPLAY_DEFAULT_DEPTH;
    OpenDisplayWithObjects(device, g_iWantedDisplayMode);
    return 0;
}

int Sys_SelectGfxDevice(int device)
{
    if (device == g_iGfxDevice)
        return 0;
    if (Sys_TryDisplayMode(device, -1) != 0)
        Ui_ReportDisplayModeFailed();
    // The current device again, at the default size.
    Sys_SwitchGfxDevice(g_iGfxDevice);
    return 0;
}

int Sys_AskGfxDeviceChange(int device)
{
    g_iRequestedGfxDevice = device;
    g_iRequestedGfxMode = -1;
    Ui_AskTestDisplayMode();
    return 0;
}

int Sys_AskGfxModeChange(int mode)
{
    g_iRequestedGfxDevice = -1;
    g_iRequestedGfxMode = mode;
    Ui_AskTestDisplayMode();
    return 0;
}

void Sys_QueryDisplayMode()
{
    // The mode the user confirmed, in the current device's list; anything else changes nothing.
    const int mode = g_iRequestedGfxMode;
    if (mode < 0 || mode >= Gfx_GetModeCount())
        return;
    Gfx_GetModeSize(mode, &g_iSelectedWidth, &g_iSelectedHeight, &g_iSelectedDepth);
    g_iGfxRes = mode;
}

void Sys_SetDisplayResolution(int useSelected)
{
    int mode = g_iWantedDisplayMode;
    if (useSelected) {
        g_bGpuLayerFlush = 0;
        mode = Gfx_FindDisplayMode(static_cast<uint32_t>(g_iSelectedWidth), static_cast<uint32_t>(g_iSelectedHeight),
                                   static_cast<uint32_t>(g_iSelectedDepth));
    } else {
        g_bGpuLayerFlush = 1;
    }
    Sys_ReleaseDisplayObjects();
    Sys_CloseDisplay();
    OpenDisplayWithObjects(g_iGfxDevice, mode);
    // A selected size the device does not offer opens the default one; the layout follows it.
    const bool selected = useSelected && mode >= 0;
    g_iScreenWidth = selected ? g_iSelectedWidth : DISPLAY_DEFAULT_WIDTH;
    g_iScreenHeight = selected ? g_iSelectedHeight : DISPLAY_DEFAULT_HEIGHT;
}

int Sys_TryDisplayMode(int device, int mode)
{
    if (device == -1)
        device = g_iGfxDevice;
    g_bGpuLayerFlush = 0;
    Sys_ReleaseDisplayObjects();
    Sys_CloseDisplay();
    int failed = 1;
    if (Sys_OpenDisplay(device, mode) != 0) {
        Sys_CloseDisplay();
    } else if (Sys_CreateDisplayObjects(0) == 0) {
        g_iScreenWidth = g_iSelectedWidth;
        g_iScreenHeight = g_iSelectedHeight;
        Gfx_DrawDeviceTestFrame();
        // Hold the pattern, letting the window answer its system between seconds.
        for (int s = 0; s < 5; s++) {
            Sys_WaitSeconds(1);
            Plat_WindowPumpEvents();
        }
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
        failed = 0;
    } else {
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
    }
    ReopenCurrentDisplay();
    return failed;
}

// --- interface images ---

void Sys_LoadInterfaceImages()
{
    Sys_CallLog("Sys_LoadInterfaceImages");
    Gfx_LoadTileSheet(Sys_MakeDataPath("blanks.raw"), 12, 18, 0);
    Gfx_LoadTileSheet(Sys_MakeDataPath("bardata.raw"), 12, 3, 6);
    Gfx_SelectTileSet(0);
    for (int n = 6; n <= 27; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "win%d.raw", n);
        Gfx_LoadTextureFile(Sys_MakeDataPath(name), 0, n);
    }
}

// --- mouse ---

int32_t Sys_InitMouse()
{
    Sys_CallLog("Sys_InitMouse");
    return Plat_MouseOpen();
}

int32_t Sys_AcquireMouse()
{
    Sys_CallLog("Sys_AcquireMouse");
    if (!Plat_MouseIsOpen())
        return 1;
    Plat_MouseAcquire(g_bMouseAcquireWanted != 0);
    return 0;
}

int32_t Sys_PollMouse()
{
    Sys_CallLog("Sys_PollMouse");
    if (!Plat_MouseIsOpen())
        return 0;
    PLATMOUSESTATE state;
    int32_t hr = Plat_MouseGetState(&state);
    if (hr == PLAT_MOUSE_INPUTLOST) {
        hr = Plat_MouseAcquire(true);
        if (hr != PLAT_MOUSE_OK)
            return hr;
        hr = Plat_MouseGetState(&state);
    }
    if (hr != PLAT_MOUSE_OK)
        return hr;
    const bool held1 = (state.buttons[0] & 0x80) != 0;
    if (g_iMouseButton1 == 0 && !held1)
        g_bMouseClicked = 1;
    g_iMouseButton1 = held1 ? 0 : 1;
    g_iMouseButton2 = (state.buttons[1] & 0x80) ? 0 : 1;
    g_iMouseDeltaX = static_cast<int16_t>(state.dx);
    g_iMouseDeltaY = static_cast<int16_t>(state.dy);
    return 0;
}

void Sys_ReleaseMouse()
{
    Plat_MouseClose();
}
