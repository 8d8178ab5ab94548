// Stand-ins for the device bring-up and switching, the mouse, and the timers and mix pump, until
// they are built. Each keeps an open/closed state and tolerates closing what is not open.
#pragma once

#include <cstdint>

extern int32_t g_bDisplayOpen;
extern int32_t g_iWantedDisplayMode;
extern int32_t g_bMixdownRunning;
extern int32_t g_bTickTimerRunning;
extern int32_t g_iRecordRunning;
extern int32_t g_bMixPumpOn;

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

int Sys_AllocMixBuffers();
void Sys_FreeMixBuffers();
int Sys_StartMixTimer();
void Sys_StopMixTimer();
int Sys_SuspendAudio(int on);
int Sys_RequestQuit();
void Sys_FrameTiming();
void Sys_MixdownStep();
void Sys_MixTick();
