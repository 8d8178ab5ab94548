// Device bring-up and switching: the display and the display objects made on it, the sound output,
// the interface images loaded at start-up, and the mouse the interface reads every frame.
//
// Every switch of the display runs release objects, close, open, create, in that order. The sound
// output is opened before the display at start-up and on reactivation, and closed first when the
// window loses the focus. Main thread only.
#pragma once

#include "render/gpustate.h" // g_iScreenWidth, g_iScreenHeight, g_bGpuLayerFlush

#include <cstdint>

// The size the display opens with when no mode is wanted.
constexpr int DISPLAY_DEFAULT_WIDTH = 640;
constexpr int DISPLAY_DEFAULT_HEIGHT = 480;
constexpr int DISPLAY_DEFAULT_DEPTH = 16;

extern int32_t g_bDisplayOpen;        // 1 between a successful Sys_OpenDisplay and Sys_CloseDisplay
extern int32_t g_iWantedDisplayMode;  // -1: the mode of the default size
extern int32_t g_iSelectedWidth;      // the selected size: 640 x 480 x 16 at load
extern int32_t g_iSelectedHeight;
extern int32_t g_iSelectedDepth;
extern int32_t g_iTextureSizeSetting; // 0 small, 2 large, anything else medium
extern int32_t g_iTextureSurfaceSize; // side of the colour-key surface: 64, 128 or 256
// A device or mode change waiting for the user's confirmation; -1 when none.
extern int32_t g_iRequestedGfxDevice;
extern int32_t g_iRequestedGfxMode;

// The mouse as the interface reads it.
extern int32_t g_bMouseAcquireWanted; // 1: the mouse is acquired every frame
extern int16_t g_iMouseDeltaX;        // movement of the last poll
extern int16_t g_iMouseDeltaY;
extern int32_t g_iMouseButton1;       // 1 while up, 0 while held (active low, as the pad)
extern int32_t g_iMouseButton2;
extern int32_t g_bMouseClicked;       // set when button 1 is released; the interface clears it

// Enumerates the display devices, opens device (a stored number that is gone gives the first) and
// sets mode (-1: the mode of the default size). 0, or -1 with nothing left open.
int Sys_OpenDisplay(int device, int mode);
int Sys_CloseDisplay();
// The 3-D device, lights, texture format, lighting state and the colour-key surface of the
// texture size. -1 when the 3-D device or its lights cannot be made; else the surface's result.
int Sys_CreateDisplayObjects(int device);
int Sys_ReleaseDisplayObjects();

// Lists the output devices and opens device (one that is gone gives the default), starts the
// stream and lets the mix run. 0, or -1 with nothing left open.
int Sys_OpenAudioOutput(int device);
// Stops the mix, drops and releases the stream and closes the device. 0.
int Sys_CloseAudioOutput();

// Closes what is open, makes device current and opens audio, display and display objects again.
int Sys_ReopenDevices(int device);
// Reopens the display and its objects on device at the default size.
int Sys_SwitchGfxDevice(int device);
// Tests device, then reopens the current one; a failed test is reported to the user.
int Sys_SelectGfxDevice(int device);
// Records the change and asks the user to confirm it; the answer runs the test.
int Sys_AskGfxDeviceChange(int device);
int Sys_AskGfxModeChange(int mode);
// The wanted mode's size becomes the selected size and the stored mode number.
void Sys_QueryDisplayMode();
// useSelected: the selected size with the layer copy off (full-screen video); 0: back to the
// wanted mode at the default size with the layer copy on.
void Sys_SetDisplayResolution(int useSelected);
// Shows mode on device (-1: the current device) for 5 seconds, then reopens the previous
// configuration. 1 when the mode failed, 0 when it worked.
int Sys_TryDisplayMode(int device, int mode);

// Tile sheets, tile set 0 and the interface pictures, from the data folder.
void Sys_LoadInterfaceImages();

// The mouse: opens the device (a failure leaves none: acquire and poll then do nothing), acquires
// it, and reads it into the globals above. Results are 0 or a PLAT_MOUSE_ code of platform/mouse.h.
int32_t Sys_InitMouse();
int32_t Sys_AcquireMouse();
int32_t Sys_PollMouse();
// Lets go of the mouse (the input release at shutdown).
void Sys_ReleaseMouse();
