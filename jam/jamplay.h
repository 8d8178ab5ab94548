// What jam players do with their parts: the local player filling riff keys, pads and keyboards
// (from the players' lists or the library) and its button captions; the controller dial and the
// part selection; the effect plug-ins of each player's 16 slots; and the jam commands of every
// player, local or remote, applied to that player's block the same way on every machine.
//
// Everything here runs under the jam lock of the node's JAMNET (the jam step, or the main thread's
// jam screen) and reaches the sound only through the JAMNET's JamActions, so that two programs
// given the same commands make the same calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jam/jamdata.h"
#include "jam/jamnet.h"

struct NETNODE;

// ---- Captions ----
// 0 "blank", 1 + k keyboard k, 3 + k riff key k, 15 + p pad p, 25 the controller status.
constexpr int32_t JAM_CAPTIONS = 26;
constexpr int32_t JAM_CAPTION_BYTES = 256;
constexpr int32_t JAM_CAPTION_STATUS = 25;
extern char g_aszJamCaptions[JAM_CAPTIONS][JAM_CAPTION_BYTES];
extern char g_aszJamKeyboardNames[JAM_KEYBOARDS][JAM_CAPTION_BYTES];
// Choices of the jam menus, -1 none.
extern int32_t g_iJamSlotChoice;
extern int32_t g_iJamKeyboardChoice;
extern int32_t g_iJamRiffKeyChoice;

void Jam_InitCaptions();

// ---- Part assignment (the local player) ----
// List assignments name an entry (1-based) of a player's list: 0..3, or 4 for this program's
// own. Library assignments name (a, b, c); c = 0 empties the part. A key, pad or keyboard of -1
// takes the menu's choice, and the pop-up then closes. Each loads the part, records its slot word
// in block 4, sets the caption and tells the other players. 0, or -1 refused (nothing changed,
// nothing sent): no such entry, key, pad or keyboard.
int32_t Jam_AssignRiffFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t key, int32_t close);
int32_t Jam_AssignRiffFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t key);
int32_t Jam_AssignInstrumentFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t pad, int32_t close);
int32_t Jam_AssignInstrumentFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t pad);
int32_t Jam_AssignKeyboardFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t keyboard, int32_t close);
int32_t Jam_AssignKeyboardFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t keyboard);

// Riff keys' instrument lists: the instruments a key's riff uses stay loaded while it holds it.
// From the row's grid copy (one use more on each), or from the marks a library riff load left.
void Jam_BuildRiffInstrumentList(int32_t player, int32_t key, int32_t row);
void Jam_BuildRiffInstrumentListFromMarks(int32_t player, int32_t key);
void Jam_ReleaseRiffInstrumentList(int32_t player, int32_t key);
// An archive path text from up to four directory indices and an 8-character name ("R/..." for
// the riff library, "N/B/..." and so on for the instrument library), turned back into indices.
// Returns the depth Sys_WadPathToIndices gives.
int32_t Jam_BuildWadPath(const uint16_t indices[4], const char *name, char *outPath, size_t outSize,
                         uint16_t outIndices[8]);

// ---- Controllers ----
enum : int32_t
{
    JAM_CONTROL_VOLUME = 0,
    JAM_CONTROL_PITCH = 1,
    JAM_CONTROL_PAN = 2,
    JAM_CONTROL_BEND = 3,
    JAM_CONTROLLERS = 4,
};
const char *Jam_ControllerName(int32_t controller);
constexpr void Jam_UnpackController(uint32_t word, uint32_t *mask, uint32_t *position)
{
    *mask = word >> 8 & 0xFFFF;
    *position = word & 255;
}
// Chooses what the player's dial drives and its value range; the status caption for the shown
// player.
void Jam_SetPlayerController(JAMNET *net, int32_t player, int32_t controller);
void Jam_SetControllerValue(JAMNET *net, int32_t player, int32_t value);
int32_t Jam_GetControllerValue(const JAMNET *net, int32_t player);
// The dial's value onto the selected parts or riff keys; the local player tells the others when
// the position moved since it last did.
void Jam_ApplyControllerToParts(NETNODE *node, int32_t player);
void Jam_ApplyControllerToRiffs(NETNODE *node, int32_t player);
void Jam_DialFromParts(JAMNET *net, int32_t player);
void Jam_DialFromRiffs(JAMNET *net, int32_t player);
// A drag of dy pixels (up is negative) moves the dial, clamped to 0..255.
void Jam_UpdateDial(NETNODE *node, int32_t player, int32_t dy);
// The dial's hotspot starts a drag with the pointer frozen; each frame the mouse's vertical
// movement turns the local player's dial until the left button is let go.
extern int32_t g_bJamDialDrag;
void Jam_StartDialDrag();
void Jam_DialDragFrame(NETNODE *node);
// A MIDI controller value in low..high sets the dial in proportion.
void Jam_SetDialFromRange(NETNODE *node, int32_t player, int32_t value, int32_t low, int32_t high);
// Selection of the local player's parts (only while it is the player shown), with Ctrl adding
// and Shift taking a range of pads or keys.
void Jam_ClearSelection(JAMNET *net);
void Jam_SelectKeyboard(NETNODE *node, int32_t keyboard);
void Jam_SelectPad(NETNODE *node, int32_t pad);
void Jam_SelectRiffKey(NETNODE *node, int32_t key);

// ---- Effect plug-ins of the players' slots ----
// pluginIndex is an entry of the plug-in list, slot 0..15. The local player (4) tells the others.
// A load into an occupied slot releases the old instance first.
int32_t Jam_LoadPlayerPlugin(NETNODE *node, int32_t player, int32_t pluginIndex, int32_t slot);
int32_t Jam_SelectPlayerPlugin(NETNODE *node, int32_t player, int32_t slot);
void Jam_ReleasePlayerPlugin(NETNODE *node, int32_t player, int32_t slot);
void Jam_ResetPlayerPlugin(NETNODE *node, int32_t player, int32_t slot);
// The selected parts go through the current slot's instance; the routing is kept per slot.
void Jam_RoutePlayerPlugin(NETNODE *node, int32_t player);
void Jam_StorePluginRouting(JAMNET *net, int32_t player);
void Jam_LoadPluginRouting(JAMNET *net, int32_t player);
constexpr void Jam_UnpackXY(uint32_t d, int32_t *x, int32_t *y)
{
    *x = (int32_t)(d & 255);
    *y = (int32_t)(d >> 8 & 255);
}
// The panel at (228, 138): the pointer at screen (x, y) over it while the local player has a
// current slot. Passes the position to the instance and sends it (46 left button, 47 held).
void Jam_PluginPanelMouse(NETNODE *node, int32_t x, int32_t y, uint8_t buttons);
constexpr int32_t JAM_PLUGIN_PANEL_X = 228;
constexpr int32_t JAM_PLUGIN_PANEL_Y = 138;

// ---- The program's own jam (g_NetNode) ----
// The same operations for the callers that act on this program's jam: the session start and the
// player input.
void Jam_AssignRiffFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t key);
void Jam_AssignInstrumentFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t pad);
void Jam_AssignKeyboardFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t keyboard);
void Jam_SetPlayerController(int32_t player, int32_t controller);
// A riff key's instrument list from the notes of riff `riff`, or from the marks of the library
// load that brought it.
void Jam_BuildRiffInstrumentList(int32_t player, int32_t key, int32_t riff, int32_t fromMarks);

// ---- Jam commands ----
// True when every field of the command is in range for the player (0..4); an unknown command is
// valid (it is ignored). A list entry must exist, a plug-in slot be 0..15 and an index listed,
// the tempo 40..240, an octave 0..5.
bool Jam_EventIsValid(const JAMNET *net, const JAMEVENT &event, int32_t player);
// A command of player 0..3: its block and parts change; live commands wait in its track list in
// the scheduled mode. Out-of-range commands are dropped (counted, reported once).
void Jam_ApplyPlayerEvent(NETNODE *node, const JAMEVENT &event, int32_t player);
// At the start of the jam clock: the local riff keys, pads and keyboards that hold a part, sent as
// the commands of the first jam frame. What was assigned while waiting to start (a template at
// the go-ahead) reaches the others this way; a running jam takes no player blocks.
void Jam_SendLocalAssignments(NETNODE *node);
// Keys, pads, keyboards, controllers, panel pointer and selections of player 0..4.
void Jam_ApplyLiveEvent(NETNODE *node, const JAMEVENT &event, int32_t player);
// Commands 22-27 of the local player; riff keys and pads left sounding count in the tally,
// keyboards set the releases-pending flag.
void Jam_ApplyLocalEvent(NETNODE *node, const JAMEVENT &event);
extern int32_t g_bJamReleasesPending;
// Immediate mode: every queued command of the other players, in order.
void Net_ApplyAllQueuedEvents(NETNODE *node);
// Scheduled mode: the other players' commands of this jam frame, and their live commands due now.
void Net_ApplyRemoteEvents(NETNODE *node, uint32_t frame);
void Net_ApplyForwardedEvents(NETNODE *node, uint32_t frame);
void Jam_ClearLocalReleases(JAMNET *net);
void Jam_ClearRemoteReleases(JAMNET *net);
// Brings player 0..3 from one block to another: the parts whose slot words differ are loaded,
// key and latch bits taken. Entries out of range load nothing.
void Jam_ApplyPlayerBlock(NETNODE *node, int32_t player, const JAMPLAYER &oldBlock, const JAMPLAYER &newBlock);
// Players 0..3 back to their blocks of the phrase start, and this phrase's frames before the
// heartbeat applied again.
void Jam_ReplayPhrase(NETNODE *node);
