// The jam command path: how a local command leaves this program, and the event lists in which
// commands wait until the jam applies them.
//
// Immediate mode (g_bNetJamImmediate = 1): a command goes to the server at once (306); the server
// relays it to every client (405), which appends it to the sender's immediate list.
// Scheduled mode: a command waits in the local player's list of the next phrase; once per bar the
// new ones go out as one batch (310), relayed to every client (409), which queues them in the
// sender's list of the current or the next phrase.
//
// Every call here runs under the jam lock of the JAMNET it is given.
#pragma once

#include <cstdint>

#include "jam/netsession.h"

// Longest a list grows: a peer that floods batches cannot exhaust memory.
constexpr size_t NET_MAX_LIST_EVENTS = 4096;

void Net_SendJamCommand(NETNODE *node, uint32_t heartbeat, int32_t command, uint32_t value);
// Appends a copy to the player's (0..4) list in set 0 or 1; only while the jam runs (state 4).
void Net_QueueJamEvent(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t set);
// Appends a copy to the immediate list of player 0..3.
void Net_QueueImmediateEvent(JAMNET *net, const JAMEVENT &event, int32_t player);
// Empties the player's list in that set; the player's read cursor goes back to the head of its
// list in the current set.
void Net_ClearEventList(JAMNET *net, int32_t set, int32_t player);
void Net_ClearImmediateEvents(JAMNET *net, int32_t player);
// Inserts a copy into track list 0..3 of player 0..3 in heartbeat order: after the records of the
// same heartbeat, except that one equal to the first record's goes in front of it.
void Net_InsertTrackEvent(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t track);
// Counters 0 and read cursors back to the heads; the lists stay.
void Net_ResetTrackEvents(JAMNET *net);
// Sends the local player's scheduled events not yet sent in this phrase, at most 200 to a message.
// Returns the number sent (0: nothing to send, no message).
int32_t Net_SendEventBatch(NETNODE *node);
// The same at a given bar and step: the jam step sends a bar's batch after the clock has moved on.
int32_t Net_SendEventBatchAt(NETNODE *node, int32_t bar, int32_t step);
// Sends the local player's block of this (immediate) or the previous (scheduled) phrase boundary.
void Net_SendPlayerState(NETNODE *node);

// The client's side of a relayed batch (409): sender slot, word 3 (the sender's bar + 4), word 4
// (its jam step) and the events. Returns the number queued; a batch a phrase late is dropped.
int32_t Net_QueueRelayedBatch(JAMNET *net, uint32_t senderSlot, int32_t barPlus4, int32_t step,
                              const JAMEVENT *events, uint32_t count);
// The client's side of a relayed command (405): only in immediate mode.
void Net_QueueRelayedCommand(JAMNET *net, uint32_t heartbeat, uint32_t senderSlot, uint32_t packed);
