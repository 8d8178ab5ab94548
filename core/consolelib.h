// The console system library as the studio calls it.
//
// A few calls compute words the drawing code stores (palette and texture-page ids, ordering-table
// links, colour blends, pad buffers). The rest had their work done elsewhere on this platform (the
// software drawing layer, the 3-D device, the voice engine, the timers): they take their arguments,
// do nothing, and answer 0 where a caller reads a result.
#pragma once

#include "core/console_memory.h"

#include "core/mixlock.h"

#include <cstdint>

// Calls that compute something.
uint16_t Sys_ClutId(int32_t x, int32_t y);
uint16_t Sys_TexturePageId(int32_t tp, int32_t abr, int32_t x, int32_t y);
// Links the packet at arena address `packet` to the head of the chain at `entry`. -1 (nothing
// linked) when either word lies outside the arena.
int32_t Sys_AddToOrderingTable(uint32_t entry, uint32_t packet);
int32_t Sys_SetPacketSemiTrans(uint32_t packet, int32_t on);
int32_t Sys_WaitVerticalSync(int32_t mode);
int32_t Sys_CountLeadingZeros(int32_t x);
// out[i] = (a[i] wa + b[i] wb) >> 12 per r, g, b byte, held to 0..255.
uint8_t *Sys_BlendColour(const uint8_t a[3], const uint8_t b[3], int32_t wa, int32_t wb, uint8_t out[3]);
uint8_t *Sys_BlendColourRgb(const uint8_t a[3], const uint8_t b[3], int32_t wa, int32_t wb, uint8_t out[3]);
int32_t Sys_InitPads(PADBUFFER *port1, PADBUFFER *port2);
int32_t Sys_InitPadBuffer(PADBUFFER *port1, PADBUFFER *port2);

// Critical sections: the mix lock (re-entrant), so sequencer state shared with the timer thread
// is really guarded.
int32_t Sys_EnterCritical();
int32_t Sys_ExitCritical();

// Calls that do nothing here.
using SYSCALLBACK = void (*)();
int32_t Sys_ResetGraph(int32_t mode);
int32_t Sys_SetGraphDebug(int32_t level);
int32_t Sys_ClearVram(const int16_t rect[4], int32_t r, int32_t g, int32_t b);
int32_t Sys_InitSystemLib(int32_t mode);
int32_t Sys_InitCallbacks();
int32_t Sys_StartPads();
int32_t Sys_LoadVramImage(const int16_t rect[4], const void *pixels);
int32_t Sys_WaitDrawDone(int32_t mode);
int32_t Sys_SetDisplayEnable(int32_t on);
int32_t Sys_DrawPacketNow(uint32_t packet);
SYSCALLBACK Sys_SetDrawDoneCallback(SYSCALLBACK fn);
SYSCALLBACK Sys_SetVblankCallback(SYSCALLBACK fn);
DRAWENV *Sys_ApplyDrawEnv(DRAWENV *env);
DISPENV *Sys_ApplyDisplayEnv(DISPENV *env);
DRAWENV *Sys_InitDrawEnv(DRAWENV *env, int32_t x, int32_t y, int32_t w, int32_t h);
DISPENV *Sys_InitDisplayEnv(DISPENV *env, int32_t x, int32_t y, int32_t w, int32_t h);
int32_t Sys_GeomReadDepth();
int32_t Sys_GeomStoreColour(void *out);
int32_t Sys_GeomStoreScreenXY(void *out);
int32_t Sys_GeomStoreScreenXY2(void *out);
int32_t Sys_GeomReadFlags();
int32_t Sys_GeomRunTransform();
int32_t Sys_GeomLoadVector(const void *v);
int32_t Sys_GeomLoadVertex(const void *v0, const void *v1, const void *v2);
int32_t Sys_SetProjectionDistance(int32_t distance);
int32_t Sys_SetGeometryOffset(int32_t x, int32_t y);
int32_t Sys_SetFogDistances(int32_t nearDistance, int32_t farDistance);
int32_t Sys_SetFarColour(int32_t r, int32_t g, int32_t b);
int32_t Sys_OpenTimerEvent(uint32_t eventClass, int32_t target, int32_t mode, SYSCALLBACK handler);
int32_t Sys_CloseTimerEvent(int32_t handle);
int32_t Sys_StopTimer(int32_t timer);
int32_t Sys_StartTimer(int32_t timer);
int32_t Sys_SetTimerTarget(int32_t timer, int32_t target, int32_t mode);
int32_t Sys_ResetTimer(int32_t timer);
int32_t Sys_LoadDebugFont(int32_t x, int32_t y);
int32_t Sys_OpenDebugText(int32_t x, int32_t y, int32_t w, int32_t h, int32_t background, int32_t count);
int32_t Sys_SelectDebugText(int32_t stream);
int32_t Sys_FlushDebugText(int32_t stream);
int32_t Sys_DebugPrintf(const char *format, ...);
int32_t Sys_SetVoiceSwitch(int32_t on, int32_t voice);
int32_t Sys_GetSoundAttributes(void *record);
