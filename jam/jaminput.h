// Player input and part loading: every frame the key, pad and keyboard states of the five
// players' blocks become requests to the jam sequencer (rows audible or silent, event slots
// asked to sound or stop); and the loaders that put an instrument on a keyboard or pad and a
// riff on a riff key.
//
// Threads: the pass and the loaders run on the main thread and on the jam step, both under the
// jam lock of the blocks they read. The pass holds g_csMix while it turns a row off and on, so no
// mix block falls between the two and the row never drops out.
#pragma once

#include <cstdint>

#include "jam/jamnet.h"

class JamActions;

// The program's own jam (g_JamNet) unless another is given.
void Jam_ApplyPlayerInput(JAMNET *net = nullptr);
void Jam_ApplyRiffKeys(JAMNET *net, int32_t player);
void Jam_ApplyPads(JAMNET *net, int32_t player);
void Jam_ApplyKeyboard(JAMNET *net, int32_t keyboard, int32_t player);

// key1 = 0 clears the keyboard (firstKey 0 or 17); instrument JAM_LOAD_BY_KEYS loads the library
// instrument (key1, key2, key3), else it is an instrument slot. Gives up, leaving the keyboard as
// it was, when the load fails or not enough event slots are free.
void Jam_LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                      uint32_t instrument);
// 1 loaded, 0 cleared, 10 not loaded (library load failed, or no event slot free).
int32_t Jam_LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad, uint32_t instrument);
// a = 0 clears the key; riff JAM_LOAD_BY_KEYS loads library riff (a, b, c), else riff id `riff`.
// 1 loaded, 0 cleared, -1 not loaded (the key is then left empty and the log says why).
int32_t Jam_LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff);

// The network side's calls bound to this program's jam sequencer.
JamActions *Jam_SoundActions();
