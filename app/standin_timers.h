// Stand-ins for the timers, the mix pump, the mixdown and frame timing, until they are built.
#pragma once

#include <cstdint>

extern int32_t g_bMixdownRunning;
extern int32_t g_bTickTimerRunning;
extern int32_t g_iRecordRunning;
extern int32_t g_bMixPumpOn;

int Sys_AllocMixBuffers();
void Sys_FreeMixBuffers();
int Sys_StartMixTimer();
void Sys_StopMixTimer();
int Sys_SuspendAudio(int on);
int Sys_RequestQuit();
void Sys_FrameTiming();
void Sys_MixdownStep();
void Sys_MixTick();
