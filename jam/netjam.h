// The running network jam: the 20 ms jam step (local keys and MIDI in, the other players'
// commands out to the sound), the bar and phrase work, the activity tally, the messages a client
// gets from the server (400..415) and the server gets from clients (300..316), the player slots,
// the start-time handshake, the position report and the reset before a jam starts.
//
// Threads. The client handlers, the jam step and the reset run under the jam lock of the node's
// JAMNET (the jam step drains the client inbox itself). The server handlers run on the server's
// receive thread and write only the server's slots, states and template copies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jam/jamdata.h"
#include "jam/jamnet.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/jamwire.h"

struct NETNODE;
struct JAMCLOCK;

// ---- Keys ----

// The key state the jam step reads: one byte per virtual-key number, bit 7 set while down.
constexpr int32_t JAM_KEY_STATES = 256;
// The main thread's window events keep a snapshot of the keyboard; the jam step copies it.
void Jam_KeyEvent(uint32_t virtualKey, bool down);
// Every key up (focus lost, or a new jam).
void Jam_ReleaseAllKeys();
// Copies the snapshot into g_abJamKeyState. 1.
int32_t Jam_ReadKeyboard();
extern uint8_t g_abJamKeyState[JAM_KEY_STATES];
// 1 while the jam step reads the keyboard.
extern int32_t g_bJamKeyboardPoll;

extern int32_t g_bJamCtrlHeld;
extern int32_t g_bJamShiftHeld;
extern int32_t g_iJamMidiBaseNote;  // 12
extern int32_t g_iJamMidiController; // 1

// The bit masks the keys (and MIDI notes, when given: velocity by note number) make: riff keys,
// pads, keyboard 0, keyboard 1.
void Jam_KeyMasks(const uint8_t keys[JAM_KEY_STATES], const uint8_t *midiNotes, uint32_t out[4]);

// One jam frame's reading of the local player's keys: changed masks become commands (sent, and
// applied to the local player at once). The program's node reads g_abJamKeyState and the MIDI
// tables; tests give the key state (and MIDI notes, or null).
void Jam_PollLocalInput(NETNODE *node, const uint8_t keys[JAM_KEY_STATES], const uint8_t *midiNotes,
                        int32_t midiController);
void Jam_PollLocalInput();

// ---- The jam step ----

// The 20 ms timer's callback (its arguments are not used).
void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t);
// One jam frame of a node, under its jam lock: the inbox, the bar and phrase ends the clock
// raised since the last frame, and (when the jam runs) the local keys and the other players'
// commands. The program's own frame passes its key state; tests their own or null (no keys).
void Net_NodeFrame(NETNODE *node, const uint8_t *keys);
// Applies the commands due at this heartbeat, then counts it.
void Net_JamStep(NETNODE *node);
// The work of a bar end (at `bar`, the bar that ends, and `step`, the step that begins the next)
// and of a phrase end, done on the jam step after the clock raised them.
void Net_EndBarWork(NETNODE *node, int32_t bar, int32_t step);
void Net_EndPhraseWork(NETNODE *node);
// Applies the frames a short phrase did not reach.
void Jam_CatchUpPhrase(NETNODE *node);

// ---- Tally ----

void Jam_CountPlayerKeys(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t bar);
void Jam_UpdatePlayerTally(JAMNET *net, int32_t player, int32_t bar, int32_t group);
// The most used row of a tally row set: the lowest on a tie, 0 when all are 0.
int32_t Jam_MostUsedRow(const uint16_t *counts, size_t stride, size_t count);

// ---- Client messages ----

// Messages 400..415 (checked again here), and a player's departure.
void Net_DispatchA(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender);
void Net_PlayerLeft(NETNODE *node, uint32_t playerId);
void Net_ResetClientSlots(NETNODE *node);
// Text to the player of `slot` (0..3), or to all with a negative slot.
int32_t Net_SendText(NETNODE *node, const char *text, int32_t slot);
// Keeps a copy until the exchange ends and sends it (312).
int32_t Net_SendTemplate(NETNODE *node, const void *data, size_t length);
int32_t Net_SendTemplateLoading(NETNODE *node);
int32_t Net_SendTemplateApplied(NETNODE *node);
int32_t Net_SendJamStart(NETNODE *node);
void Net_SendJamStart();

// ---- Server messages and slots ----

void Net_DispatchB(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender);
// Gives a new player the first free slot: its index, or -1 (the server player, already placed,
// or no slot free).
int32_t Net_AddServerSlot(JAMNET *net, uint32_t playerId, const char *name);
// The slot that holds the (non-zero) player id, -1 none.
int32_t Net_ServerSlotOf(const JAMNET *net, uint32_t playerId);
int32_t Net_IsSlotPlayer(const JAMNET *net, uint32_t playerId);
void Net_ResetServerSlots(JAMNET *net);
void Net_FreeTemplateCopies(JAMNET *net);
void Net_UpdateLobbyClientList(NETNODE *node);
// A player left the server's session (its slot already freed): a template exchange that waited
// for it goes on without it, and one it had asked for ends.
void Net_ServerSlotGone(NETNODE *node, int32_t slot);

// ---- Start time and position ----

uint32_t Net_NextPhraseTime(uint32_t clock, uint32_t now);
void Net_SendSyncRequest(NETNODE *node);
void Net_SendSyncRequest();
// The playing player's answer to 407.
void Net_AnswerSyncQuery(NETNODE *node, uint32_t requester, uint32_t requesterClock, uint32_t now);
// The requester's handling of 406. False when the message holds values no jam can take (then
// nothing changes).
bool Net_ApplySync(NETNODE *node, const NETSYNC &sync, uint32_t now);
void Net_SendPosition(NETNODE *node);

// ---- Reset ----

void Net_ResetJamState(NETNODE *node);
