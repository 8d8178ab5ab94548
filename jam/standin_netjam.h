// STAND-IN until the jam session start and the network jam step with its session messages are
// built: only what the network sessions and the command path need of them, under the names those
// modules will use, so that this file and standin_netjam.cpp can be deleted when they arrive:
//  - the tallies, the client and server message handlers and the server's slot giving (owner: the
//    periodic network jam step and the session messages).
// Definitions are weak, so the real ones win at link time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jam/jamdata.h"
#include "jam/jamnet.h"
#include "jam/jamseq.h"
#include "jam/jamwire.h"
#include "jam/jamsession.h"

struct NETNODE;
void Jam_CountPlayerKeys(JAMNET *net, const JAMEVENT &event, int32_t player, int32_t bar);
void Jam_UpdatePlayerTally(JAMNET *net, int32_t player, int32_t bar, int32_t group);
// Client messages 400..415 as drained from the inbox, and a departure.
void Net_DispatchA(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender);
void Net_PlayerLeft(NETNODE *node, uint32_t playerId);
// Server messages 300..316, on the server's receive thread.
void Net_DispatchB(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender);
// Gives a new player the first free server slot; 0, or -1 when it holds one or none is free.
int32_t Net_AddServerSlot(JAMNET *net, uint32_t playerId, const char *name);
