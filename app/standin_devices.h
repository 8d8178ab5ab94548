// Stand-ins for the device bring-up and switching and the mouse, until they are built. Each
// keeps an open/closed state and tolerates closing what is not open.
#pragma once

#include "render/gpustate.h" // g_iScreenWidth, g_iScreenHeight

#include <cstdint>

extern int32_t g_bDisplayOpen;
extern int32_t g_iWantedDisplayMode;

int Sys_OpenAudioOutput(int device);
void Sys_CloseAudioOutput();
int Sys_OpenDisplay(int device, int mode);
void Sys_CloseDisplay();
int Sys_CreateDisplayObjects(int flags);
void Sys_ReleaseDisplayObjects();
int Sys_LoadInterfaceImages();
int Sys_InitMouse();
void Sys_AcquireMouse();
void Sys_PollMouse();
int Sys_ReopenDevices(int device);
