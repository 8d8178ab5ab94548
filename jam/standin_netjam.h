// STAND-IN until the jam data model, its message codecs and the network jam step are merged.
//
// Only what the network sessions and the command path need of them, under the names those
// modules use, so that this file and standin_netjam.cpp can be deleted when they arrive:
//  - records and codecs: JAMEVENT, JAMPLAYER, NETPLAYERSLOT, JAMEVENTLIST, JAMNET, the builders
//    of messages 306, 309, 310 and 401, the client-side parser (owner: the jam data model);
//  - the jam clock and mode flags, the tallies, the client and server message handlers and the
//    server's slot giving (owner: the periodic network jam step and the session messages).
// Definitions are weak, so the real ones win at link time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// ---- Jam data model (stand-in) ----

enum : int32_t
{
    JAM_PLAYERS = 5,
    JAM_LOCAL_PLAYER = 4,
    JAM_NET_SLOTS = 4,
    JAM_PLAYER_BLOCKS = 11,
};
constexpr size_t JAM_PLAYER_BYTES = 696;
constexpr size_t JAM_EVENT_BYTES = 24;

struct JAMEVENT
{
    uint32_t uHeartbeat;
    int32_t iCommand;
    uint32_t uData;
    bool operator==(const JAMEVENT &) const = default;
};

// Stand-in: the block's bytes as they travel.
struct JAMPLAYER
{
    uint8_t abBytes[JAM_PLAYER_BYTES];
    bool operator==(const JAMPLAYER &) const = default;
};
void Jam_EncodePlayer(const JAMPLAYER &player, uint8_t out[JAM_PLAYER_BYTES]);
void Jam_DecodePlayer(const uint8_t in[JAM_PLAYER_BYTES], JAMPLAYER *player);

struct NETPLAYERSLOT
{
    uint32_t uPlayerId;
    char szName[256];
    uint32_t uState;
};

struct JAMEVENTLIST
{
    std::vector<JAMEVENT> Events;
    size_t uCursor = 0;
    void Clear()
    {
        Events.clear();
        uCursor = 0;
    }
};

class JamActions;

struct JAMNET
{
    JamActions *pActions = nullptr;
    std::recursive_mutex Lock;
    JAMPLAYER aPlayers[JAM_PLAYER_BLOCKS]{};
    JAMEVENTLIST aEventLists[2][JAM_PLAYERS];
    int32_t iEventSetNow = 0;
    int32_t iEventSetNext = 1;
    JAMEVENTLIST aImmediateEvents[JAM_NET_SLOTS];
    JAMEVENTLIST aTrackEvents[JAM_NET_SLOTS][4];
    uint32_t auTrackCounter[JAM_NET_SLOTS]{};
    size_t uBatchSent = 0;
    NETPLAYERSLOT aClientSlots[JAM_NET_SLOTS]{};
    NETPLAYERSLOT aSlotNames[JAM_NET_SLOTS]{};
    NETPLAYERSLOT aServerSlots[JAM_NET_SLOTS]{};
    int32_t iNetMySlot = 0;
    uint32_t uJamHeartbeat = 0;
};
void Net_InitJamNet(JAMNET *net, JamActions *actions);

// ---- Message codecs (stand-in) ----

enum : uint32_t
{
    NET_MSG_COMMAND = 306,
    NET_MSG_PLAYER_STATE = 309,
    NET_MSG_COMMAND_BATCH = 310,
    NET_MSG_SLOTS_CHANGED = 401,
    NET_MAX_BATCH_EVENTS = 200,
    NET_MAX_TEMPLATE_LIMIT = 2097151,
};
enum : int32_t
{
    NET_PARSE_OK = 0,
    NET_PARSE_IGNORED = 1,
    NET_PARSE_SHORT = -1,
};
struct NETMSG
{
    uint32_t uId;
};
int32_t Net_ParseServerMessage(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out);
std::vector<uint8_t> Net_BuildIdOnly(uint32_t id);
std::vector<uint8_t> Net_BuildCommand(uint32_t heartbeat, uint32_t cmd, uint32_t value);
std::vector<uint8_t> Net_BuildPlayerState(uint32_t id, uint32_t heartbeat, uint32_t slot, const JAMPLAYER &player);
std::vector<uint8_t> Net_BuildEventBatch(uint32_t id, uint32_t word1, int32_t barPlus4, int32_t step,
                                         const JAMEVENT *events, uint32_t n);

// ---- Jam clock and flags (stand-in) ----

extern int32_t g_bNetJamImmediate;
extern int32_t g_iJamStartState;
extern int32_t g_iJamBar;
extern int32_t g_iJamStep;
extern int32_t g_iJamPhraseBar;

// ---- Network jam step and session messages (stand-in) ----

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
