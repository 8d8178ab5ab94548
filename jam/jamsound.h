// The jam players' parts as the jam sequencer and the mixer play them: the program's binding of
// JamActions, the plug-in instances of each player's slots with the routing of its parts through
// them, the panel picture, the riff keys' progress meters, and freeing a riff key's row.
//
// Runs on the jam step or the main thread under the jam lock; the sequencer's channels, rows and
// voices are changed under g_csMix, the plug-in table under its own lock (audio/plugin.h).
#pragma once

#include <cstdint>

#include "jam/jamnet.h"

// The program's own binding. Part loading goes to the jam's part loader.
class JamSoundActions : public JamActions
{
public:
    explicit JamSoundActions(JAMNET *net) : m_pNet(net) {}
    void LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff) override;
    int32_t LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad,
                    uint32_t instrument) override;
    void LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                      uint32_t instrument) override;
    void StartPart(int32_t kind, int32_t index) override;
    void StopPart(int32_t kind, int32_t index) override;
    void LoadPlugin(int32_t player, int32_t slot, int32_t pluginIndex) override;
    void PluginInput(int32_t player, int32_t slot, int32_t x, int32_t y) override;
    void DropPlayerParts(int32_t player) override;
    void ResetPlugin(int32_t player, int32_t slot) override;
    void SelectPlugin(int32_t player, int32_t slot) override;
    void RoutePlugin(int32_t player, int32_t slot, uint32_t partMask, uint32_t riffMask) override;
    void ControlPart(int32_t player, int32_t entry, int32_t controller, int32_t value, uint32_t octave) override;
    void ControlRiff(int32_t player, int32_t key, int32_t controller, int32_t value, int32_t previous) override;
    void SetTempo(int32_t bpm) override;

private:
    JAMNET *m_pNet;
};

// The sound side of a player's plug-in slot: open list entry pluginIndex in it (-1 closes it,
// and whatever was routed to it plays straight into the mix again), and pass a pointer event.
void Jam_LoadPlayerPlugin(int32_t player, int32_t slot, int32_t pluginIndex);
void Jam_PlayerPluginInput(int32_t player, int32_t slot, int32_t x, int32_t y);

// The instance (0..79 of the plug-in table) open in a player's slot, -1 none.
int32_t Jam_PlayerPluginInstance(int32_t player, int32_t slot);
// Closes every player's instances (the end of a jam).
void Jam_ReleaseAllPlayerPlugins();
// The panel of the shown player: its current slot's picture at (228, 138), or nothing. True when
// a picture was drawn.
bool Jam_DrawPluginPanel(const JAMNET *net, int32_t player);
// Row text of the plug-in slot list (rows 1..16: the name of the instance in that slot of the
// player) and of the plug-in list (rows 1..count). Empty outside the rows.
void Jam_PluginSlotRowText(int32_t player, int32_t row, char *out, size_t size);
void Jam_PluginListRowText(int32_t row, char *out, size_t size);

// Per frame: each riff key's 8 bar levels move 8 toward their targets: 48 with no row, 248 for
// the bars played so far in the riff's cycle, 128 for its later bars, 48 past its end.
void Jam_UpdateRiffMeters(int32_t player);

// Stops the voices of the key's row, releases its instruments and the row; the key has no row.
void Jam_FreePlayerRiffChannel(int32_t player, int32_t riffKey);
