// STAND-IN (see standin_jamsession.h). Weak, so the real definitions win.
#include "jam/standin_jamsession.h"

#define STANDIN __attribute__((weak))

STANDIN int32_t g_iJamTempo = 130;
STANDIN std::atomic<int32_t> g_iJamTickLen{92};
STANDIN std::atomic<int32_t> g_bJamKeysActive{0};
STANDIN int32_t g_iJamSelectedPlayer = 4;
STANDIN int32_t g_bJamCtrlHeld = 0;
STANDIN int32_t g_bJamShiftHeld = 0;

STANDIN void Jam_SetTempoTick()
{
    g_iJamTickLen = 12000 / (g_iJamTempo > 0 ? g_iJamTempo : 130);
}

STANDIN int32_t Jam_LoadRiffKey(uint32_t a, uint32_t, uint32_t, int32_t, int32_t, uint32_t)
{
    return a ? 1 : 0;
}
STANDIN int32_t Jam_LoadPad(int32_t, uint32_t key1, uint32_t, uint32_t, int32_t, uint32_t)
{
    return key1 ? 1 : 0;
}
STANDIN void Jam_LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) {}
