// STAND-IN for the jam pieces that the session start and end and the player input call but that
// later work builds, under the names those modules will use so that this file can go when they
// arrive. Definitions are weak, so the real ones win at link time:
//  - part assignment (the local player's keys from the library, a riff key's instrument list);
//  - the player effect plug-ins and controller selection (a riff key's channel row freed);
//  - the jam screen (frame handler, log window);
//  - the session messages (start request, time request).
#pragma once

#include <cstdint>

struct WINDOW;

// Part assignment: key, pad or keyboard of the local player from the library; c = 0 clears.
void Jam_AssignRiffFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t key);
void Jam_AssignInstrumentFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t pad);
void Jam_AssignKeyboardFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t keyboard);
// The instruments a riff key's riff uses, held while the key holds it: from the marks of a
// library load (fromMarks) or from the riff's notes.
void Jam_BuildRiffInstrumentList(int32_t player, int32_t riffKey, int32_t riff, int32_t fromMarks);

// Player plug-ins and controllers.
void Jam_FreePlayerRiffChannel(int32_t player, int32_t riffKey);
void Jam_SetPlayerController(int32_t player, int32_t controller);
void Jam_LoadPlayerPlugin(int32_t player, int32_t slot, int32_t pluginIndex);
void Jam_PlayerPluginInput(int32_t player, int32_t slot, int32_t a, int32_t b);

// The jam screen.
void Jam_FrameUpdate();
WINDOW *Jam_OpenLogWindow();
void Jam_RefreshLogList();

// Session messages.
void Net_SendJamStart();
void Net_SendSyncRequest();
