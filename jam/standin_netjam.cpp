// STAND-IN (see standin_netjam.h): the least of the jam data model, the codecs and the network jam
// step that the sessions and the command path need. Weak, so the real definitions win.
#include "jam/standin_netjam.h"

#include <cstring>

#define STANDIN __attribute__((weak))

STANDIN void Jam_EncodePlayer(const JAMPLAYER &player, uint8_t out[JAM_PLAYER_BYTES])
{
    std::memcpy(out, player.abBytes, JAM_PLAYER_BYTES);
}

STANDIN void Jam_DecodePlayer(const uint8_t in[JAM_PLAYER_BYTES], JAMPLAYER *player)
{
    std::memcpy(player->abBytes, in, JAM_PLAYER_BYTES);
}

STANDIN void Net_InitJamNet(JAMNET *net, JamActions *actions)
{
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    net->pActions = actions;
    for (JAMPLAYER &p : net->aPlayers)
        p = JAMPLAYER{};
    for (auto &set : net->aEventLists)
        for (JAMEVENTLIST &l : set)
            l.Clear();
    net->iEventSetNow = 0;
    net->iEventSetNext = 1;
    for (JAMEVENTLIST &l : net->aImmediateEvents)
        l.Clear();
    for (auto &player : net->aTrackEvents)
        for (JAMEVENTLIST &l : player)
            l.Clear();
    std::memset(net->auTrackCounter, 0, sizeof net->auTrackCounter);
    net->uBatchSent = 0;
    for (int s = 0; s < JAM_NET_SLOTS; ++s)
        for (NETPLAYERSLOT *table : {net->aClientSlots, net->aSlotNames, net->aServerSlots}) {
            table[s] = NETPLAYERSLOT{};
            std::strcpy(table[s].szName, "EMPTY");
        }
    net->iNetMySlot = 0;
    net->uJamHeartbeat = 0;
}

static void Put(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)(v >> (8 * i)));
}

STANDIN int32_t Net_ParseServerMessage(const uint8_t *data, size_t size, uint32_t, NETMSG *out)
{
    if (size < 4)
        return NET_PARSE_SHORT;
    out->uId = (uint32_t)data[0] | (uint32_t)data[1] << 8 | (uint32_t)data[2] << 16 | (uint32_t)data[3] << 24;
    return out->uId >= 400 && out->uId <= 415 ? NET_PARSE_OK : NET_PARSE_IGNORED;
}

STANDIN std::vector<uint8_t> Net_BuildIdOnly(uint32_t id)
{
    std::vector<uint8_t> m;
    Put(m, id);
    return m;
}

STANDIN std::vector<uint8_t> Net_BuildCommand(uint32_t heartbeat, uint32_t cmd, uint32_t value)
{
    std::vector<uint8_t> m;
    Put(m, NET_MSG_COMMAND);
    Put(m, heartbeat);
    Put(m, (cmd & 255) | value << 8);
    return m;
}

STANDIN std::vector<uint8_t> Net_BuildPlayerState(uint32_t id, uint32_t heartbeat, uint32_t slot,
                                                  const JAMPLAYER &player)
{
    std::vector<uint8_t> m;
    Put(m, id);
    Put(m, heartbeat);
    Put(m, slot);
    m.resize(12 + JAM_PLAYER_BYTES);
    Jam_EncodePlayer(player, m.data() + 12);
    return m;
}

STANDIN std::vector<uint8_t> Net_BuildEventBatch(uint32_t id, uint32_t word1, int32_t barPlus4, int32_t step,
                                                 const JAMEVENT *events, uint32_t n)
{
    std::vector<uint8_t> m;
    Put(m, id);
    Put(m, word1);
    Put(m, n);
    Put(m, (uint32_t)barPlus4);
    Put(m, (uint32_t)step);
    for (uint32_t i = 0; i < n; ++i) {
        Put(m, 0);
        Put(m, 0);
        Put(m, 0);
        Put(m, events[i].uHeartbeat);
        Put(m, (uint32_t)events[i].iCommand);
        Put(m, events[i].uData);
    }
    return m;
}

STANDIN int32_t g_bNetJamImmediate = 0;
STANDIN int32_t g_iJamStartState = 0;
STANDIN int32_t g_iJamBar = 0;
STANDIN int32_t g_iJamStep = 0;
STANDIN int32_t g_iJamPhraseBar = 0;

STANDIN void Jam_CountPlayerKeys(JAMNET *, const JAMEVENT &, int32_t, int32_t) {}
STANDIN void Jam_UpdatePlayerTally(JAMNET *, int32_t, int32_t, int32_t) {}
STANDIN void Net_DispatchA(NETNODE *, const uint8_t *, size_t, uint32_t) {}
STANDIN void Net_PlayerLeft(NETNODE *, uint32_t) {}
STANDIN void Net_DispatchB(NETNODE *, const uint8_t *, size_t, uint32_t) {}

STANDIN int32_t Net_AddServerSlot(JAMNET *net, uint32_t playerId, const char *name)
{
    if (playerId == 0 || playerId == 1)
        return -1;
    for (const NETPLAYERSLOT &s : net->aServerSlots)
        if (s.uPlayerId == playerId)
            return -1;
    for (NETPLAYERSLOT &s : net->aServerSlots)
        if (s.uPlayerId == 0) {
            s.uPlayerId = playerId;
            std::strncpy(s.szName, name, sizeof s.szName - 1);
            s.szName[sizeof s.szName - 1] = 0;
            return 0;
        }
    return -1;
}
