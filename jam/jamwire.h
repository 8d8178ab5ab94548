// The network jam's messages: builders and validating parsers of every id, byte for byte.
//
// A message is a run of 32-bit little-endian words, the id first. Ids 300..316 go from a client to
// the server player, ids 400..415 from the server to clients. The parsers check every size, count
// and index against what the message holds before anything reads it, and fill the decoded record
// only when the whole message is good, so a refused message changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jam/jamdata.h"

enum : uint32_t
{
    NET_MSG_TEXT = 300,
    NET_MSG_SLOTS_QUERY = 301,
    NET_MSG_SLOT_LIST_REQUEST = 302,
    NET_MSG_COMMAND = 306,
    NET_MSG_TIME_REQUEST = 307,
    NET_MSG_TIME_ANSWER = 308,
    NET_MSG_PLAYER_STATE = 309,
    NET_MSG_COMMAND_BATCH = 310,
    NET_MSG_POSITION = 311,
    NET_MSG_TEMPLATE = 312,
    NET_MSG_TEMPLATE_LOADING = 313,
    NET_MSG_TEMPLATE_HOLDING = 314,
    NET_MSG_TEMPLATE_APPLIED = 315,
    NET_MSG_READY_TO_START = 316,

    NET_MSG_TEXT_RELAY = 400,
    NET_MSG_SLOTS_CHANGED = 401,
    NET_MSG_SLOT_ENTRY = 402,
    NET_MSG_TEST_DATA = 404,
    NET_MSG_COMMAND_RELAY = 405,
    NET_MSG_START_TIME = 406,
    NET_MSG_TIME_QUERY = 407,
    NET_MSG_PLAYER_STATE_RELAY = 408,
    NET_MSG_BATCH_RELAY = 409,
    NET_MSG_POSITION_RELAY = 410,
    NET_MSG_TEMPLATE_RELAY = 411,
    NET_MSG_HOLD = 412,
    NET_MSG_TEMPLATE_DONE = 413,
    NET_MSG_GO_AHEAD = 414,
    NET_MSG_START = 415,
};

enum : uint32_t
{
    NET_MAX_BATCH_EVENTS = 200,
    NET_NAME_BYTES = 32,             // a slot entry's name on the wire
    NET_MAX_TEMPLATE_LIMIT = 2097151, // the largest template size limit a player may set
    NET_PLAYER_STATE_BYTES = 12 + JAM_PLAYER_BYTES,
};

// The jam sessions' application identifier {87CEA885-2A59-11D3-8975-0050046A2A5F}, in its 16-byte
// form (the first three groups little-endian), which session discovery filters on.
extern const uint8_t g_abNetAppGuid[16];
extern const char g_szNetAppGuid[];

// Results of the parsers.
enum : int32_t
{
    NET_PARSE_OK = 0,
    NET_PARSE_IGNORED = 1, // an id this side does nothing with (303..305, 403, unknown)
    NET_PARSE_SHORT = -1,  // shorter than the id's fixed layout (or than 4 bytes)
    NET_PARSE_COUNT = -2,  // a count or length that the message does not hold, or above its cap
    NET_PARSE_RANGE = -3,  // a slot, command or value outside what the jam allows
    NET_PARSE_SIZE = -4,   // not the one size the id has
};

// A decoded message. Which fields hold what depends on the id:
// - auWord[1..]: the id's words as they stand (word n at byte 4n), for every fixed-word id;
// - pPayload / uPayloadBytes: 300, 400 (text), 404 (test data), 312, 411 (template); it points
//   into the parsed bytes, which must outlive its use;
// - szName: 402 (the 32 name bytes, terminated);
// - Player: 309, 408;
// - aEvents / uEventCount: 310, 409;
// - aucClock: 311, 410 (the bytes at 20, 36 and 37);
// - ucSlot: byte 4 of 313..316 and 412.
struct NETMSG
{
    uint32_t uId;
    uint32_t auWord[11];
    const uint8_t *pPayload;
    uint32_t uPayloadBytes;
    char szName[NET_NAME_BYTES + 1];
    JAMPLAYER Player;
    JAMEVENT aEvents[NET_MAX_BATCH_EVENTS];
    uint32_t uEventCount;
    uint8_t aucClock[3];
    uint8_t ucSlot;
};

// Messages ids 300..316, as the server receives them. maxTemplate caps the template length.
int32_t Net_ParseClientMessage(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out);
// Messages ids 400..415, as a client receives them.
int32_t Net_ParseServerMessage(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out);

// Writes a decoded message back in its wire form (the inverse of the parsers for every id they
// accept).
std::vector<uint8_t> Net_EncodeMessage(const NETMSG &msg);

// ---- Builders ----

// The packed command word of 306 and 405: (cmd & 255) | value << 8; the value keeps 24 bits.
constexpr uint32_t Net_PackCommand(uint32_t cmd, uint32_t value) { return (cmd & 255) | value << 8; }

// 301, 302, 401, 415 (the id alone) and 413, 414 (the id and a zero word).
std::vector<uint8_t> Net_BuildIdOnly(uint32_t id);
std::vector<uint8_t> Net_BuildIdAndZero(uint32_t id);
// 313..316 and 412: the id, then the slot in byte 4.
std::vector<uint8_t> Net_BuildSlotByte(uint32_t id, uint8_t slot);
// 300 {target (0 all), n, reserved} or 400 {sender, n, reserved}, then n bytes without NUL.
std::vector<uint8_t> Net_BuildText(uint32_t id, uint32_t who, const void *text, uint32_t n, uint32_t reserved = 0);
// 402: player id (0 empty), slot, 32 name bytes NUL-padded (a longer name is cut).
std::vector<uint8_t> Net_BuildSlotEntry(uint32_t playerId, uint32_t slot, const char *name);
// 404: the payload from byte 24, length in word 2.
std::vector<uint8_t> Net_BuildTestData(const void *data, uint32_t n);
// 306 {heartbeat, packed}.
std::vector<uint8_t> Net_BuildCommand(uint32_t heartbeat, uint32_t cmd, uint32_t value);
// 405 {heartbeat, sender slot, packed}.
std::vector<uint8_t> Net_BuildCommandRelay(uint32_t heartbeat, uint32_t slot, uint32_t packed);
// 307, 308, 406, 407: eight words, id then the seven given.
struct NETSYNC
{
    uint32_t uRequester;
    uint32_t uTime;   // the requester's clock (307, 407), the start time (308, 406; -1 choose)
    int32_t iBar;
    uint32_t uTempo;  // 0 keep
    int32_t iStep;
    int32_t iPlayers; // -1 keep
    int32_t iLimit;   // -1 keep
};
std::vector<uint8_t> Net_BuildSync(uint32_t id, const NETSYNC &sync);
NETSYNC Net_SyncOf(const NETMSG &msg);
// 309 and 408: heartbeat, slot, block.
std::vector<uint8_t> Net_BuildPlayerState(uint32_t id, uint32_t heartbeat, uint32_t slot, const JAMPLAYER &player);
// 310 {0, n, bar + 4, step} and 409 {sender slot, n, bar + 4, step}, then n events (n <= 200).
std::vector<uint8_t> Net_BuildEventBatch(uint32_t id, uint32_t word1, int32_t barPlus4, int32_t step,
                                         const JAMEVENT *events, uint32_t n);
// 311 and 410.
struct NETPOSITION
{
    uint32_t uHeartbeat;
    uint32_t uClockA, uClockB; // words 3, 4
    uint8_t ucClockA;          // byte 20
    int32_t iStep;             // word 6
    uint32_t uClockC, uClockD; // words 7, 8
    uint8_t ucClockB, ucClockC; // bytes 36, 37
    int32_t iBar;               // word 10
};
std::vector<uint8_t> Net_BuildPosition(uint32_t id, const NETPOSITION &pos);
NETPOSITION Net_PositionOf(const NETMSG &msg);
// 312 and 411: owner slot, n, then the template image.
std::vector<uint8_t> Net_BuildTemplate(uint32_t id, uint32_t slot, const void *data, uint32_t n);
