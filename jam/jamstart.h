// The ways into a jam: single player from the jam menu, hosting or joining from the command line
// the lobby starts the program with, and hosting from the jam menu.
#pragma once

#include <cstdint>

// How many rounds a lobby-launched join enumerates before it gives up (each round listens for
// NETNODE::iEnumTimeoutMs).
constexpr int32_t JAM_JOIN_ENUM_ROUNDS = 30;

void Jam_StartSinglePlayer();
void Jam_HostFromLobby();
void Jam_HostFromMenu();
void Jam_JoinFromLobby();
// Keeps the jam settings inside the ranges the jam works with (players 1..4, tempo 40..240,
// template size 0..2097151).
void Jam_ClampSettings();
