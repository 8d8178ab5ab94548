#include "jam/jamwire.h"

#include <cstring>

const uint8_t g_abNetAppGuid[16] = {0x85, 0xA8, 0xCE, 0x87, 0x59, 0x2A, 0xD3, 0x11,
                                    0x89, 0x75, 0x00, 0x50, 0x04, 0x6A, 0x2A, 0x5F};
const char g_szNetAppGuid[] = "{87CEA885-2A59-11D3-8975-0050046A2A5F}";

namespace {

void Put32(std::vector<uint8_t> &m, size_t at, uint32_t v)
{
    m[at] = (uint8_t)v;
    m[at + 1] = (uint8_t)(v >> 8);
    m[at + 2] = (uint8_t)(v >> 16);
    m[at + 3] = (uint8_t)(v >> 24);
}

uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

std::vector<uint8_t> Words(uint32_t id, size_t bytes)
{
    std::vector<uint8_t> m(bytes, 0);
    Put32(m, 0, id);
    return m;
}

// Reads words 1..n-1 of a fixed layout.
void ReadWords(const uint8_t *data, int n, NETMSG *msg)
{
    for (int i = 1; i < n; ++i)
        msg->auWord[i] = Get32(data + 4 * i);
}

// The start-time words a player may send: tempo 0 or 40..240, players -1 or 1..4, limit -1 or
// 0..2097151. Anything else would stall the start (a phrase of 0 ms) or break the jam. Bar and
// step are counters taken as they come.
bool SyncValuesValid(const NETMSG &m)
{
    const uint32_t tempo = m.auWord[4];
    const int32_t players = (int32_t)m.auWord[6], limit = (int32_t)m.auWord[7];
    if (tempo != 0 && (tempo < 40 || tempo > 240))
        return false;
    if (players != -1 && (players < 1 || players > JAM_NET_SLOTS))
        return false;
    if (limit != -1 && (limit < 0 || limit > (int32_t)NET_MAX_TEMPLATE_LIMIT))
        return false;
    return true;
}

// 300 / 400 and 404: a length word and that many bytes from a fixed header.
int32_t ParsePayload(const uint8_t *data, size_t size, size_t header, int lengthWord, uint32_t cap, NETMSG *m)
{
    if (size < header)
        return NET_PARSE_SHORT;
    ReadWords(data, (int)(header / 4), m);
    const uint32_t n = m->auWord[lengthWord];
    if (n > size - header || n > cap)
        return NET_PARSE_COUNT;
    m->pPayload = data + header;
    m->uPayloadBytes = n;
    return NET_PARSE_OK;
}

int32_t ParseBatch(const uint8_t *data, size_t size, NETMSG *m, bool relay)
{
    if (size < 20)
        return NET_PARSE_SHORT;
    ReadWords(data, 5, m);
    if (relay && m->auWord[1] >= (uint32_t)JAM_NET_SLOTS)
        return NET_PARSE_RANGE;
    const uint32_t n = m->auWord[2];
    if (n > NET_MAX_BATCH_EVENTS || n > (size - 20) / JAM_EVENT_BYTES)
        return NET_PARSE_COUNT;
    for (uint32_t i = 0; i < n; ++i) {
        Jam_DecodeEvent(data + 20 + JAM_EVENT_BYTES * i, &m->aEvents[i]);
        // A sent command keeps its low 8 bits; 0 would read as an empty list.
        if (m->aEvents[i].iCommand < 1 || m->aEvents[i].iCommand > 255)
            return NET_PARSE_RANGE;
    }
    m->uEventCount = n;
    return NET_PARSE_OK;
}

int32_t ParsePosition(const uint8_t *data, size_t size, NETMSG *m)
{
    if (size < 44)
        return NET_PARSE_SHORT;
    ReadWords(data, 11, m);
    m->auWord[5] = 0;
    m->auWord[9] = 0;
    m->aucClock[0] = data[20];
    m->aucClock[1] = data[36];
    m->aucClock[2] = data[37];
    return NET_PARSE_OK;
}

int32_t ParsePlayerState(const uint8_t *data, size_t size, NETMSG *m)
{
    if (size != NET_PLAYER_STATE_BYTES)
        return size < NET_PLAYER_STATE_BYTES ? NET_PARSE_SHORT : NET_PARSE_SIZE;
    ReadWords(data, 3, m);
    if (m->auWord[2] >= (uint32_t)JAM_NET_SLOTS)
        return NET_PARSE_RANGE;
    Jam_DecodePlayer(data + 12, &m->Player);
    return NET_PARSE_OK;
}

int32_t ParseTemplate(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *m)
{
    const int32_t r = ParsePayload(data, size, 12, 2, maxTemplate, m);
    if (r != NET_PARSE_OK)
        return r;
    if (m->auWord[1] >= (uint32_t)JAM_NET_SLOTS)
        return NET_PARSE_RANGE;
    return NET_PARSE_OK;
}

int32_t ParseSlotByte(const uint8_t *data, size_t size, NETMSG *m)
{
    if (size < 8)
        return NET_PARSE_SHORT;
    if (data[4] >= JAM_NET_SLOTS)
        return NET_PARSE_RANGE;
    m->ucSlot = data[4];
    return NET_PARSE_OK;
}

int32_t ParseSync(const uint8_t *data, size_t size, NETMSG *m, bool answer)
{
    if (size < 32)
        return NET_PARSE_SHORT;
    ReadWords(data, 8, m);
    if (answer && !SyncValuesValid(*m))
        return NET_PARSE_RANGE;
    return NET_PARSE_OK;
}

int32_t ParseClient(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *m)
{
    switch (m->uId) {
    case NET_MSG_TEXT: return ParsePayload(data, size, 16, 2, UINT32_MAX, m);
    case NET_MSG_SLOTS_QUERY:
    case NET_MSG_SLOT_LIST_REQUEST: return NET_PARSE_OK;
    case NET_MSG_COMMAND:
        if (size < 12)
            return NET_PARSE_SHORT;
        ReadWords(data, 3, m);
        return NET_PARSE_OK;
    case NET_MSG_TIME_REQUEST: return ParseSync(data, size, m, false);
    case NET_MSG_TIME_ANSWER: return ParseSync(data, size, m, true);
    case NET_MSG_PLAYER_STATE: return ParsePlayerState(data, size, m);
    case NET_MSG_COMMAND_BATCH: return ParseBatch(data, size, m, false);
    case NET_MSG_POSITION: return ParsePosition(data, size, m);
    case NET_MSG_TEMPLATE: return ParseTemplate(data, size, maxTemplate, m);
    case NET_MSG_TEMPLATE_LOADING:
    case NET_MSG_TEMPLATE_HOLDING:
    case NET_MSG_TEMPLATE_APPLIED:
    case NET_MSG_READY_TO_START: return ParseSlotByte(data, size, m);
    default: return NET_PARSE_IGNORED;
    }
}

int32_t ParseServer(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *m)
{
    switch (m->uId) {
    case NET_MSG_TEXT_RELAY: return ParsePayload(data, size, 16, 2, UINT32_MAX, m);
    case NET_MSG_SLOTS_CHANGED:
    case NET_MSG_TEMPLATE_DONE:
    case NET_MSG_GO_AHEAD:
    case NET_MSG_START: return NET_PARSE_OK;
    case NET_MSG_SLOT_ENTRY:
        if (size < 44)
            return NET_PARSE_SHORT;
        ReadWords(data, 3, m);
        if (m->auWord[2] >= (uint32_t)JAM_NET_SLOTS)
            return NET_PARSE_RANGE;
        std::memcpy(m->szName, data + 12, NET_NAME_BYTES);
        m->szName[NET_NAME_BYTES] = 0;
        return NET_PARSE_OK;
    case NET_MSG_TEST_DATA: return ParsePayload(data, size, 24, 2, UINT32_MAX, m);
    case NET_MSG_COMMAND_RELAY:
        if (size < 16)
            return NET_PARSE_SHORT;
        ReadWords(data, 4, m);
        if (m->auWord[2] >= (uint32_t)JAM_NET_SLOTS)
            return NET_PARSE_RANGE;
        return NET_PARSE_OK;
    case NET_MSG_START_TIME: return ParseSync(data, size, m, true);
    case NET_MSG_TIME_QUERY: return ParseSync(data, size, m, false);
    case NET_MSG_PLAYER_STATE_RELAY: return ParsePlayerState(data, size, m);
    case NET_MSG_BATCH_RELAY: return ParseBatch(data, size, m, true);
    case NET_MSG_POSITION_RELAY: return ParsePosition(data, size, m);
    case NET_MSG_TEMPLATE_RELAY: return ParseTemplate(data, size, maxTemplate, m);
    case NET_MSG_HOLD: return ParseSlotByte(data, size, m);
    default: return NET_PARSE_IGNORED;
    }
}

int32_t Parse(bool server, const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out)
{
    if (!data || size < 4)
        return NET_PARSE_SHORT;
    // Decoded apart and copied out whole, so a refused message leaves *out as it was.
    static thread_local NETMSG m;
    std::memset(&m, 0, sizeof m);
    m.uId = Get32(data);
    const int32_t r = server ? ParseClient(data, size, maxTemplate, &m) : ParseServer(data, size, maxTemplate, &m);
    if (r == NET_PARSE_OK)
        std::memcpy(out, &m, sizeof m);
    return r;
}

} // namespace

int32_t Net_ParseClientMessage(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out)
{
    return Parse(true, data, size, maxTemplate, out);
}

int32_t Net_ParseServerMessage(const uint8_t *data, size_t size, uint32_t maxTemplate, NETMSG *out)
{
    return Parse(false, data, size, maxTemplate, out);
}

// ---- Builders ----

std::vector<uint8_t> Net_BuildIdOnly(uint32_t id)
{
    return Words(id, 4);
}

std::vector<uint8_t> Net_BuildIdAndZero(uint32_t id)
{
    return Words(id, 8);
}

std::vector<uint8_t> Net_BuildSlotByte(uint32_t id, uint8_t slot)
{
    std::vector<uint8_t> m = Words(id, 8);
    m[4] = slot;
    return m;
}

std::vector<uint8_t> Net_BuildText(uint32_t id, uint32_t who, const void *text, uint32_t n, uint32_t reserved)
{
    std::vector<uint8_t> m = Words(id, 16 + (size_t)n);
    Put32(m, 4, who);
    Put32(m, 8, n);
    Put32(m, 12, reserved);
    if (n)
        std::memcpy(m.data() + 16, text, n);
    return m;
}

std::vector<uint8_t> Net_BuildSlotEntry(uint32_t playerId, uint32_t slot, const char *name)
{
    std::vector<uint8_t> m = Words(NET_MSG_SLOT_ENTRY, 44);
    Put32(m, 4, playerId);
    Put32(m, 8, slot);
    if (name)
        std::memcpy(m.data() + 12, name, strnlen(name, NET_NAME_BYTES));
    return m;
}

std::vector<uint8_t> Net_BuildTestData(const void *data, uint32_t n)
{
    std::vector<uint8_t> m = Words(NET_MSG_TEST_DATA, 24 + (size_t)n);
    Put32(m, 8, n);
    if (n)
        std::memcpy(m.data() + 24, data, n);
    return m;
}

std::vector<uint8_t> Net_BuildCommand(uint32_t heartbeat, uint32_t cmd, uint32_t value)
{
    std::vector<uint8_t> m = Words(NET_MSG_COMMAND, 12);
    Put32(m, 4, heartbeat);
    Put32(m, 8, Net_PackCommand(cmd, value));
    return m;
}

std::vector<uint8_t> Net_BuildCommandRelay(uint32_t heartbeat, uint32_t slot, uint32_t packed)
{
    std::vector<uint8_t> m = Words(NET_MSG_COMMAND_RELAY, 16);
    Put32(m, 4, heartbeat);
    Put32(m, 8, slot);
    Put32(m, 12, packed);
    return m;
}

std::vector<uint8_t> Net_BuildSync(uint32_t id, const NETSYNC &s)
{
    std::vector<uint8_t> m = Words(id, 32);
    Put32(m, 4, s.uRequester);
    Put32(m, 8, s.uTime);
    Put32(m, 12, (uint32_t)s.iBar);
    Put32(m, 16, s.uTempo);
    Put32(m, 20, (uint32_t)s.iStep);
    Put32(m, 24, (uint32_t)s.iPlayers);
    Put32(m, 28, (uint32_t)s.iLimit);
    return m;
}

NETSYNC Net_SyncOf(const NETMSG &msg)
{
    return {msg.auWord[1], msg.auWord[2], (int32_t)msg.auWord[3], msg.auWord[4],
            (int32_t)msg.auWord[5], (int32_t)msg.auWord[6], (int32_t)msg.auWord[7]};
}

std::vector<uint8_t> Net_BuildPlayerState(uint32_t id, uint32_t heartbeat, uint32_t slot, const JAMPLAYER &player)
{
    std::vector<uint8_t> m = Words(id, NET_PLAYER_STATE_BYTES);
    Put32(m, 4, heartbeat);
    Put32(m, 8, slot);
    Jam_EncodePlayer(player, m.data() + 12);
    return m;
}

std::vector<uint8_t> Net_BuildEventBatch(uint32_t id, uint32_t word1, int32_t barPlus4, int32_t step,
                                         const JAMEVENT *events, uint32_t n)
{
    if (n > NET_MAX_BATCH_EVENTS)
        n = NET_MAX_BATCH_EVENTS;
    std::vector<uint8_t> m = Words(id, 20 + JAM_EVENT_BYTES * (size_t)n);
    Put32(m, 4, word1);
    Put32(m, 8, n);
    Put32(m, 12, (uint32_t)barPlus4);
    Put32(m, 16, (uint32_t)step);
    for (uint32_t i = 0; i < n; ++i)
        Jam_EncodeEvent(events[i], m.data() + 20 + JAM_EVENT_BYTES * i);
    return m;
}

std::vector<uint8_t> Net_BuildPosition(uint32_t id, const NETPOSITION &p)
{
    std::vector<uint8_t> m = Words(id, 44);
    Put32(m, 4, p.uHeartbeat);
    Put32(m, 12, p.uClockA);
    Put32(m, 16, p.uClockB);
    m[20] = p.ucClockA;
    Put32(m, 24, (uint32_t)p.iStep);
    Put32(m, 28, p.uClockC);
    Put32(m, 32, p.uClockD);
    m[36] = p.ucClockB;
    m[37] = p.ucClockC;
    Put32(m, 40, (uint32_t)p.iBar);
    return m;
}

NETPOSITION Net_PositionOf(const NETMSG &msg)
{
    NETPOSITION p{};
    p.uHeartbeat = msg.auWord[1];
    p.uClockA = msg.auWord[3];
    p.uClockB = msg.auWord[4];
    p.ucClockA = msg.aucClock[0];
    p.iStep = (int32_t)msg.auWord[6];
    p.uClockC = msg.auWord[7];
    p.uClockD = msg.auWord[8];
    p.ucClockB = msg.aucClock[1];
    p.ucClockC = msg.aucClock[2];
    p.iBar = (int32_t)msg.auWord[10];
    return p;
}

std::vector<uint8_t> Net_BuildTemplate(uint32_t id, uint32_t slot, const void *data, uint32_t n)
{
    std::vector<uint8_t> m = Words(id, 12 + (size_t)n);
    Put32(m, 4, slot);
    Put32(m, 8, n);
    if (n)
        std::memcpy(m.data() + 12, data, n);
    return m;
}

std::vector<uint8_t> Net_EncodeMessage(const NETMSG &msg)
{
    const uint32_t *w = msg.auWord;
    switch (msg.uId) {
    case NET_MSG_TEXT:
    case NET_MSG_TEXT_RELAY: return Net_BuildText(msg.uId, w[1], msg.pPayload, msg.uPayloadBytes, w[3]);
    case NET_MSG_SLOTS_QUERY:
    case NET_MSG_SLOT_LIST_REQUEST:
    case NET_MSG_SLOTS_CHANGED:
    case NET_MSG_START: return Net_BuildIdOnly(msg.uId);
    case NET_MSG_TEMPLATE_DONE:
    case NET_MSG_GO_AHEAD: return Net_BuildIdAndZero(msg.uId);
    case NET_MSG_COMMAND: {
        std::vector<uint8_t> m = Words(msg.uId, 12);
        Put32(m, 4, w[1]);
        Put32(m, 8, w[2]);
        return m;
    }
    case NET_MSG_COMMAND_RELAY: return Net_BuildCommandRelay(w[1], w[2], w[3]);
    case NET_MSG_TIME_REQUEST:
    case NET_MSG_TIME_ANSWER:
    case NET_MSG_START_TIME:
    case NET_MSG_TIME_QUERY: return Net_BuildSync(msg.uId, Net_SyncOf(msg));
    case NET_MSG_PLAYER_STATE:
    case NET_MSG_PLAYER_STATE_RELAY: return Net_BuildPlayerState(msg.uId, w[1], w[2], msg.Player);
    case NET_MSG_COMMAND_BATCH:
    case NET_MSG_BATCH_RELAY:
        return Net_BuildEventBatch(msg.uId, w[1], (int32_t)w[3], (int32_t)w[4], msg.aEvents, msg.uEventCount);
    case NET_MSG_POSITION:
    case NET_MSG_POSITION_RELAY: {
        std::vector<uint8_t> m = Net_BuildPosition(msg.uId, Net_PositionOf(msg));
        Put32(m, 8, w[2]);
        return m;
    }
    case NET_MSG_TEMPLATE:
    case NET_MSG_TEMPLATE_RELAY: return Net_BuildTemplate(msg.uId, w[1], msg.pPayload, msg.uPayloadBytes);
    case NET_MSG_TEMPLATE_LOADING:
    case NET_MSG_TEMPLATE_HOLDING:
    case NET_MSG_TEMPLATE_APPLIED:
    case NET_MSG_READY_TO_START:
    case NET_MSG_HOLD: return Net_BuildSlotByte(msg.uId, msg.ucSlot);
    case NET_MSG_SLOT_ENTRY: return Net_BuildSlotEntry(w[1], w[2], msg.szName);
    case NET_MSG_TEST_DATA: return Net_BuildTestData(msg.pPayload, msg.uPayloadBytes);
    default: return Net_BuildIdOnly(msg.uId);
    }
}
