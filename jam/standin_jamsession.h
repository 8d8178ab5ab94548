// STAND-IN until the jam session start and the periodic network jam step are built: the few of
// their globals the players' controls read, under the names those modules will use (owners: the
// jam session start for the tempo, tick length, keys-active flag and the player shown in the
// panels; the network jam step for the Ctrl and Shift flags). Definitions are weak, so the real
// ones win at link time.
#pragma once

#include <atomic>
#include <cstdint>

extern int32_t g_iJamTempo;          // 40..240 beats a minute
extern std::atomic<int32_t> g_iJamTickLen; // jam frames in a bar
extern std::atomic<int32_t> g_bJamKeysActive;
extern int32_t g_iJamSelectedPlayer; // the player shown in the panels; 4 the local one
extern int32_t g_bJamCtrlHeld;
extern int32_t g_bJamShiftHeld;
void Jam_SetTempoTick();

// STAND-IN until the jam's part loader is built (owner: the jam player input and part loading):
// what the program's JamActions binding calls to load a riff key, a pad or a keyboard.
int32_t Jam_LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff);
int32_t Jam_LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad, uint32_t instrument);
void Jam_LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                      uint32_t instrument);
