#include "core/consolelib.h"

#include <bit>
#include <cstring>

uint16_t Sys_ClutId(int32_t x, int32_t y)
{
    return static_cast<uint16_t>((y << 6) | ((x >> 4) & 63));
}

uint16_t Sys_TexturePageId(int32_t tp, int32_t abr, int32_t x, int32_t y)
{
    return static_cast<uint16_t>(((tp & 3) << 7) | ((abr & 3) << 5) | ((y & 0x100) >> 4) | ((x & 0x3FF) >> 6) |
                                 ((y & 0x200) << 2));
}

int32_t Sys_AddToOrderingTable(uint32_t entry, uint32_t packet)
{
    uint8_t *e = Sys_ArenaPtr(entry, 4);
    uint8_t *p = Sys_ArenaPtr(packet, 4);
    if (!e || !p)
        return -1;
    std::memcpy(p, e, 4);
    std::memcpy(e, &packet, 4);
    return 0;
}

int32_t Sys_SetPacketSemiTrans(uint32_t packet, int32_t on)
{
    uint8_t *p = Sys_ArenaPtr(packet, 12);
    if (!p)
        return -1;
    if (on)
        p[11] |= 2;
    else
        p[11] &= static_cast<uint8_t>(~2);
    return 0;
}

int32_t Sys_WaitVerticalSync(int32_t mode)
{
    // Mode 1 asks for the time since the last sync: answering a large figure lets callers that
    // wait for time to pass go on.
    return mode == 1 ? 999 : 0;
}

int32_t Sys_CountLeadingZeros(int32_t x)
{
    uint32_t v = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
    return std::countl_zero(v);
}

uint8_t *Sys_BlendColour(const uint8_t a[3], const uint8_t b[3], int32_t wa, int32_t wb, uint8_t out[3])
{
    for (int i = 0; i < 3; i++) {
        int64_t v = (static_cast<int64_t>(a[i]) * wa + static_cast<int64_t>(b[i]) * wb) >> 12;
        // Held to a byte: weights that add up past 1.0 give full brightness, not a wrapped colour.
        out[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return out;
}

uint8_t *Sys_BlendColourRgb(const uint8_t a[3], const uint8_t b[3], int32_t wa, int32_t wb, uint8_t out[3])
{
    return Sys_BlendColour(a, b, wa, wb, out);
}

int32_t Sys_InitPads(PADBUFFER *port1, PADBUFFER *port2)
{
    if (port1) {
        port1->status = 0;
        port1->type = 0x40;
        port1->buttons = 0xFFFF;
    }
    if (port2) {
        port2->status = 0xFF;
        port2->type = 0x40;
        port2->buttons = 0xFFFF;
    }
    return 0;
}

int32_t Sys_InitPadBuffer(PADBUFFER *port1, PADBUFFER *port2)
{
    return Sys_InitPads(port1, port2);
}

int32_t Sys_EnterCritical()
{
    g_csMix.lock();
    return 0;
}

int32_t Sys_ExitCritical()
{
    g_csMix.unlock();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Calls with no work on this platform.

int32_t Sys_ResetGraph(int32_t)
{
    return 0;
}

int32_t Sys_SetGraphDebug(int32_t)
{
    return 0;
}

int32_t Sys_ClearVram(const int16_t *, int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Sys_InitSystemLib(int32_t)
{
    return 0;
}

int32_t Sys_InitCallbacks()
{
    return 0;
}

int32_t Sys_StartPads()
{
    return 0;
}

int32_t Sys_LoadVramImage(const int16_t *, const void *)
{
    return 0;
}

int32_t Sys_WaitDrawDone(int32_t)
{
    return 0;
}

int32_t Sys_SetDisplayEnable(int32_t)
{
    return 0;
}

int32_t Sys_DrawPacketNow(uint32_t)
{
    return 0;
}

SYSCALLBACK Sys_SetDrawDoneCallback(SYSCALLBACK)
{
    // Not installed: no callback ever runs from here.
    return nullptr;
}

SYSCALLBACK Sys_SetVblankCallback(SYSCALLBACK)
{
    return nullptr;
}

DRAWENV *Sys_ApplyDrawEnv(DRAWENV *env)
{
    return env;
}

DISPENV *Sys_ApplyDisplayEnv(DISPENV *env)
{
    return env;
}

DRAWENV *Sys_InitDrawEnv(DRAWENV *env, int32_t, int32_t, int32_t, int32_t)
{
    // Callers write the fields they need themselves; the clip rectangle stays as it is.
    return env;
}

DISPENV *Sys_InitDisplayEnv(DISPENV *env, int32_t, int32_t, int32_t, int32_t)
{
    return env;
}

int32_t Sys_GeomReadDepth()
{
    return 0;
}

int32_t Sys_GeomStoreColour(void *)
{
    return 0;
}

int32_t Sys_GeomStoreScreenXY(void *)
{
    return 0;
}

int32_t Sys_GeomStoreScreenXY2(void *)
{
    return 0;
}

int32_t Sys_GeomReadFlags()
{
    return 0;
}

int32_t Sys_GeomRunTransform()
{
    return 0;
}

int32_t Sys_GeomLoadVector(const void *)
{
    return 0;
}

int32_t Sys_GeomLoadVertex(const void *, const void *, const void *)
{
    return 0;
}

int32_t Sys_SetProjectionDistance(int32_t)
{
    return 0;
}

int32_t Sys_SetGeometryOffset(int32_t, int32_t)
{
    return 0;
}

int32_t Sys_SetFogDistances(int32_t, int32_t)
{
    return 0;
}

int32_t Sys_SetFarColour(int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Sys_OpenTimerEvent(uint32_t, int32_t, int32_t, SYSCALLBACK)
{
    // Handle 0: the sequencer's ticks come from the mix timer instead.
    return 0;
}

int32_t Sys_CloseTimerEvent(int32_t)
{
    return 0;
}

int32_t Sys_StopTimer(int32_t)
{
    return 0;
}

int32_t Sys_StartTimer(int32_t)
{
    return 0;
}

int32_t Sys_SetTimerTarget(int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Sys_ResetTimer(int32_t)
{
    return 0;
}

int32_t Sys_LoadDebugFont(int32_t, int32_t)
{
    return 0;
}

int32_t Sys_OpenDebugText(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Sys_SelectDebugText(int32_t)
{
    return 0;
}

int32_t Sys_FlushDebugText(int32_t)
{
    return 0;
}

int32_t Sys_DebugPrintf(const char *, ...)
{
    return 0;
}

int32_t Sys_SetVoiceSwitch(int32_t, int32_t)
{
    return 0;
}

int32_t Sys_GetSoundAttributes(void *)
{
    // The record is left as the caller made it.
    return 0;
}
