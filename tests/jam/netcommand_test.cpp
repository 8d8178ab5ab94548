// The jam command path: local commands sent at once or in per-bar batches, relayed commands
// waiting in per-player lists. Three programs on the loopback hub; the server's relay and the
// clients' message handling are played by small doubles over the real message codecs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "jam/jamsession.h"
#include "jam/netcommand.h"
#include "jam/netobjects.h"

namespace {

uint32_t Word(const std::vector<uint8_t> &m, size_t i)
{
    return (uint32_t)m[4 * i] | (uint32_t)m[4 * i + 1] << 8 | (uint32_t)m[4 * i + 2] << 16 |
           (uint32_t)m[4 * i + 3] << 24;
}

// What the server received, in order.
std::vector<std::vector<uint8_t>> g_toServer;

// The server's relay of 306 and 310 as 405 and 409, with the sender's slot.
void RelayDouble(NETNODE *node, const uint8_t *data, size_t size, uint32_t sender)
{
    g_toServer.push_back(std::vector<uint8_t>(data, data + size));
    uint32_t slot = 0;
    for (uint32_t s = 0; s < 4; ++s)
        if (node->pJam->aServerSlots[s].uPlayerId == sender)
            slot = s;
    static NETMSG msg;
    if (Net_ParseClientMessage(data, size, NET_MAX_TEMPLATE_LIMIT, &msg) != NET_PARSE_OK)
        return;
    if (msg.uId == NET_MSG_COMMAND)
        Net_SendFromServer(node, 0, Net_BuildCommandRelay(msg.auWord[1], slot, msg.auWord[2]));
    else if (msg.uId == NET_MSG_COMMAND_BATCH)
        Net_SendFromServer(node, 0,
                           Net_BuildEventBatch(NET_MSG_BATCH_RELAY, slot, (int32_t)msg.auWord[3], (int32_t)msg.auWord[4],
                                               msg.aEvents, msg.uEventCount));
}

struct Program
{
    JAMNET net;
    NETNODE node;
    explicit Program(PlatNetHub *hub)
    {
        Net_InitJamNet(&net, nullptr);
        node.pJam = &net;
        node.pHub = hub;
        node.pfnDispatchB = RelayDouble;
    }
    ~Program()
    {
        Net_StopSessionA(&node);
        Net_StopSessionB(&node);
    }
    // The client's handling of 405 and 409 as the jam step would drain it.
    void Drain()
    {
        std::vector<NETINBOXENTRY> in;
        Net_TakeInbox(&node, &in);
        static NETMSG msg;
        for (const NETINBOXENTRY &e : in) {
            if (e.uKind != NET_INBOX_MESSAGE ||
                Net_ParseServerMessage(e.Bytes.data(), e.Bytes.size(), NET_MAX_TEMPLATE_LIMIT, &msg) != NET_PARSE_OK)
                continue;
            if (msg.uId == NET_MSG_COMMAND_RELAY)
                Net_QueueRelayedCommand(&net, msg.auWord[1], msg.auWord[2], msg.auWord[3]);
            if (msg.uId == NET_MSG_BATCH_RELAY)
                Net_QueueRelayedBatch(&net, msg.auWord[1], (int32_t)msg.auWord[3], (int32_t)msg.auWord[4], msg.aEvents,
                                      msg.uEventCount);
        }
    }
};

class NetCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_toServer.clear();
        g_bJamSinglePlayer = 0;
        g_bNetJamImmediate = 0;
        g_iJamStartState = 4;
        g_iJamBar = 0;
        g_iJamStep = 0;
        g_iJamPhraseBar = 0;
        host = std::make_unique<Program>(&hub);
        a = std::make_unique<Program>(&hub);
        b = std::make_unique<Program>(&hub);
        host->node.iJamPlayers = 4;
        ASSERT_EQ(Net_StartSessionB(&host->node, NET_MODE_LAN), 0);
        ASSERT_EQ(Net_StartSessionA(&host->node, NET_MODE_LAN), 0);
        ASSERT_EQ(Net_CreatePlayer(&host->node, -1, "Hostess"), 0);
        for (Program *p : {a.get(), b.get()}) {
            hub.Pump();
            ASSERT_EQ(Net_StartSessionA(&p->node, NET_MODE_LAN), 0);
            ASSERT_EQ(Net_EnumSessions(&p->node), 1);
            ASSERT_EQ(Net_CreatePlayer(&p->node, 1, "Guest"), 0);
        }
        hub.Pump();
        a->net.iNetMySlot = 1;
        b->net.iNetMySlot = 2;
        for (Program *p : {host.get(), a.get(), b.get()})
            p->Drain();
    }
    void TearDown() override
    {
        b.reset();
        a.reset();
        host.reset();
        g_iJamStartState = 0;
        g_bNetJamImmediate = 0;
    }
    void Relay()
    {
        hub.Pump();
        for (Program *p : {host.get(), a.get(), b.get()})
            p->Drain();
    }

    PlatNetHub hub;
    std::unique_ptr<Program> host, a, b;
};

} // namespace

TEST_F(NetCommandTest, ImmediateCommandsGoOutAtOnceAndWaitInTheSendersList)
{
    g_bNetJamImmediate = 1;
    Net_SendJamCommand(&a->node, 77, 22, 0x01234567);
    Net_SendJamCommand(&a->node, 78, 0x1FF, 5);
    Relay();
    ASSERT_EQ(g_toServer.size(), 2u);
    // The value keeps 24 bits, the command 8.
    EXPECT_EQ(g_toServer[0], (std::vector<uint8_t>{0x32, 1, 0, 0, 77, 0, 0, 0, 0x16, 0x67, 0x45, 0x23}));
    EXPECT_EQ(Word(g_toServer[1], 2), 0x5FFu);
    for (Program *p : {host.get(), a.get(), b.get()}) {
        const auto &list = p->net.aImmediateEvents[1].Events;
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0], (JAMEVENT{77, 22, 0x234567}));
        EXPECT_EQ(list[1], (JAMEVENT{78, 255, 5}));
        EXPECT_TRUE(p->net.aImmediateEvents[2].Events.empty());
    }
    // Nothing went into the scheduled lists.
    EXPECT_TRUE(a->net.aEventLists[1][JAM_LOCAL_PLAYER].Events.empty());

    // A relayed command in the scheduled mode is not queued.
    Net_SendJamCommand(&a->node, 79, 1, 1);
    g_bNetJamImmediate = 0;
    Relay();
    EXPECT_EQ(b->net.aImmediateEvents[1].Events.size(), 2u);
}

TEST_F(NetCommandTest, ASinglePlayerJamNeitherSendsNorQueues)
{
    g_bJamSinglePlayer = 1;
    for (int immediate : {0, 1}) {
        g_bNetJamImmediate = immediate;
        Net_SendJamCommand(&a->node, 1, 22, 3);
        Net_SendPlayerState(&a->node);
    }
    g_bNetJamImmediate = 0;
    EXPECT_EQ(Net_SendEventBatch(&a->node), 0);
    Relay();
    EXPECT_TRUE(g_toServer.empty());
    EXPECT_TRUE(a->net.aEventLists[1][JAM_LOCAL_PLAYER].Events.empty());
    g_bJamSinglePlayer = 0;
}

TEST_F(NetCommandTest, ScheduledCommandsWaitForTheBarsBatch)
{
    // Before the jam runs a command is dropped.
    g_iJamStartState = 3;
    Net_SendJamCommand(&a->node, 5, 22, 1);
    EXPECT_TRUE(a->net.aEventLists[1][JAM_LOCAL_PLAYER].Events.empty());
    g_iJamStartState = 4;

    // A bar without new events sends nothing.
    EXPECT_EQ(Net_SendEventBatch(&a->node), 0);
    Net_SendJamCommand(&a->node, 10, 22, 0x01234567); // all 32 bits kept in a scheduled event
    Net_SendJamCommand(&a->node, 11, 0x117, 2);
    Net_SendJamCommand(&a->node, 12, 26, 3);
    const auto &local = a->net.aEventLists[1][JAM_LOCAL_PLAYER].Events;
    ASSERT_EQ(local.size(), 3u);
    EXPECT_EQ(local[0], (JAMEVENT{10, 22, 0x01234567}));
    EXPECT_EQ(local[1].iCommand, 0x17);
    EXPECT_TRUE(g_toServer.empty() && hub.Pending() == 0); // nothing leaves before the batch

    g_iJamBar = 9;
    g_iJamStep = 147;
    EXPECT_EQ(Net_SendEventBatch(&a->node), 3);
    EXPECT_EQ(Net_SendEventBatch(&a->node), 0); // the same events are not sent twice
    Relay();
    ASSERT_EQ(g_toServer.size(), 1u);
    const std::vector<uint8_t> &m = g_toServer[0];
    ASSERT_EQ(m.size(), 92u);
    EXPECT_EQ(Word(m, 0), 310u);
    EXPECT_EQ(Word(m, 1), 0u);
    EXPECT_EQ(Word(m, 2), 3u);
    EXPECT_EQ(Word(m, 3), 13u);
    EXPECT_EQ(Word(m, 4), 147u);
    const uint32_t first[6] = {0, 0, 0, 10, 22, 0x01234567};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Word(m, 5 + (size_t)i), first[i]) << i;

    // Later in the phrase only the new ones go.
    Net_SendJamCommand(&a->node, 20, 23, 4);
    Net_SendJamCommand(&a->node, 21, 23, 5);
    EXPECT_EQ(Net_SendEventBatch(&a->node), 2);
    Relay();
    ASSERT_EQ(g_toServer.size(), 2u);
    EXPECT_EQ(Word(g_toServer[1], 2), 2u);
    EXPECT_EQ(Word(g_toServer[1], 5 + 3), 20u);
}

TEST_F(NetCommandTest, MoreThanABatchGoesOutInSeveralMessages)
{
    for (uint32_t i = 0; i < 450; ++i)
        Net_SendJamCommand(&a->node, i, 22, i);
    EXPECT_EQ(Net_SendEventBatch(&a->node), 450);
    Relay();
    ASSERT_EQ(g_toServer.size(), 3u);
    EXPECT_EQ(Word(g_toServer[0], 2), 200u);
    EXPECT_EQ(Word(g_toServer[1], 2), 200u);
    EXPECT_EQ(Word(g_toServer[2], 2), 50u);
    EXPECT_EQ(g_toServer[2].size(), 20u + 24u * 50u);
    // Every event reached the others, in order.
    const auto &got = b->net.aEventLists[1][1].Events;
    ASSERT_EQ(got.size(), 450u);
    for (uint32_t i = 0; i < 450; ++i)
        EXPECT_EQ(got[i].uData, i);
}

TEST_F(NetCommandTest, RelayedBatchesGoToThePhraseTheirBarBelongsTo)
{
    struct Case
    {
        int32_t senderBar;
        int32_t phraseBar; // of the receiver
        int set;           // 0 current, 1 next, -1 dropped
    } cases[] = {
        {8, 8, 1},   // the batch of the sender's bar n is played in the phrase after
        {7, 8, 0},   // one bar behind: still this phrase
        {4, 8, 0},   // a whole phrase behind the next one
        {3, 8, -1},  // a whole phrase late: dropped
        {0, 8, -1},
        {12, 8, 1},
        {-8, -4, 0}, // values below zero
        {-4, -4, 1},
    };
    for (const Case &c : cases) {
        for (Program *p : {host.get(), a.get(), b.get()})
            for (auto &set : p->net.aEventLists)
                for (JAMEVENTLIST &l : set)
                    l.Clear();
        a->net.uBatchSent = 0;
        Net_SendJamCommand(&a->node, 33, 24, 7);
        g_iJamBar = c.senderBar;
        g_iJamStep = 16;
        ASSERT_EQ(Net_SendEventBatch(&a->node), 1);
        g_iJamPhraseBar = c.phraseBar;
        Relay();
        for (Program *p : {host.get(), b.get()}) {
            size_t now = p->net.aEventLists[p->net.iEventSetNow][1].Events.size();
            size_t next = p->net.aEventLists[p->net.iEventSetNext][1].Events.size();
            EXPECT_EQ(now, c.set == 0 ? 1u : 0u) << c.senderBar << " " << c.phraseBar;
            EXPECT_EQ(next, c.set == 1 ? 1u : 0u) << c.senderBar << " " << c.phraseBar;
        }
        // The sender hears its own batch back as slot 1, as everyone does.
        EXPECT_EQ(a->net.aEventLists[1][1].Events.size() + a->net.aEventLists[0][1].Events.size(),
                  c.set < 0 ? 0u : 1u);
    }

    // Batches that name no slot or hold more than a batch may are refused.
    JAMEVENT ev[201]{};
    EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 4, 100, 0, ev, 1), 0);
    EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 0xFFFFFFFF, 100, 0, ev, 1), 0);
    EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 0, 100, 0, ev, 201), 0);
    EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 0, 100, 0, nullptr, 3), 0);
    EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 0, 100, INT32_MIN, ev, 1), 1);
}

// A player who joins a running jam waits for the others' next phrase. The batches of the phrase
// before are what the others play in its first one: taken once its start (and so its first bar) is
// known, into the phrase it starts with. Before that, and outside a jam, nothing is taken.
TEST_F(NetCommandTest, AJoinerWaitingForItsStartKeepsTheBatchesOfItsFirstPhrase)
{
    struct Case
    {
        const char *name;
        int32_t state, syncKind;
        uint32_t queued;
    };
    const Case cases[] = {
        {"running", JAM_START_RUNNING, JAM_SYNC_AT_TIME, 1},
        {"waiting, start known", JAM_START_WAITING, JAM_SYNC_AT_TIME, 1},
        {"starting this frame", JAM_START_NOW, JAM_SYNC_AT_TIME, 1},
        {"waiting, start unknown", JAM_START_WAITING, JAM_SYNC_UNKNOWN, 0},
        {"start asked for", JAM_START_REQUESTED, JAM_SYNC_AT_TIME, 0},
        {"no jam started", JAM_START_IDLE, JAM_SYNC_AT_TIME, 0},
    };
    const JAMEVENT ev[1] = {{12, 22, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (auto &set : b->net.aEventLists)
            for (JAMEVENTLIST &l : set)
                l.Clear();
        g_iJamStartState = c.state;
        g_iJamSyncKind = c.syncKind;
        g_iJamPhraseBar = 8; // the joiner's first phrase; the sender plays bars 4..7
        EXPECT_EQ(Net_QueueRelayedBatch(&b->net, 0, 4 + 4, 64 + 16, ev, 1), (int32_t)c.queued);
        EXPECT_EQ(b->net.aEventLists[b->net.iEventSetNow & 1][0].Events.size(), (size_t)c.queued);
        EXPECT_TRUE(b->net.aEventLists[b->net.iEventSetNext & 1][0].Events.empty());
    }
    g_iJamSyncKind = JAM_SYNC_UNKNOWN;
}

TEST_F(NetCommandTest, PlayerStateSendsTheBlockOfTheRightBoundary)
{
    uint8_t bytes[JAM_PLAYER_BYTES];
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = (uint8_t)(i * 13);
    Jam_DecodePlayer(bytes, &a->net.aPlayers[5]);
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = (uint8_t)(i * 5 + 1);
    Jam_DecodePlayer(bytes, &a->net.aPlayers[10]);
    a->net.uJamHeartbeat = 1234;
    for (int immediate : {1, 0}) {
        g_toServer.clear();
        g_bNetJamImmediate = immediate;
        Net_SendPlayerState(&a->node);
        Relay();
        ASSERT_EQ(g_toServer.size(), 1u);
        const std::vector<uint8_t> &m = g_toServer[0];
        ASSERT_EQ(m.size(), 708u);
        EXPECT_EQ(Word(m, 0), 309u);
        EXPECT_EQ(Word(m, 1), 1234u);
        EXPECT_EQ(Word(m, 2), 1u);
        uint8_t want[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(a->net.aPlayers[immediate ? 5 : 10], want);
        EXPECT_EQ(std::memcmp(m.data() + 12, want, sizeof want), 0) << immediate;
    }
}

TEST(NetEventListTest, TrackEventsKeepHeartbeatOrder)
{
    struct Case
    {
        const char *what;
        std::vector<uint32_t> before;
        uint32_t insert;
        std::vector<uint32_t> after; // heartbeats; the inserted one has data 99
        size_t at;                   // where the inserted one lands
    } cases[] = {
        {"empty", {}, 5, {5}, 0},
        {"ascending, at the end", {1, 2, 3}, 4, {1, 2, 3, 4}, 3},
        {"between two", {10, 30}, 20, {10, 20, 30}, 1},
        {"below the head", {10, 30}, 5, {5, 10, 30}, 0},
        {"equal to the head goes first", {10, 10, 30}, 10, {10, 10, 10, 30}, 0},
        {"equal to a later one goes behind it", {10, 20, 20, 30}, 20, {10, 20, 20, 20, 30}, 3},
        {"equal to the last", {10, 20}, 20, {10, 20, 20}, 2},
    };
    for (const Case &c : cases) {
        JAMNET net;
        Net_InitJamNet(&net, nullptr);
        for (uint32_t hb : c.before)
            net.aTrackEvents[2][1].Events.push_back({hb, 22, 0});
        Net_InsertTrackEvent(&net, {c.insert, 22, 99}, 2, 1);
        const auto &got = net.aTrackEvents[2][1].Events;
        ASSERT_EQ(got.size(), c.after.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].uHeartbeat, c.after[i]) << c.what;
            EXPECT_EQ(got[i].uData == 99, i == c.at) << c.what << " " << i;
        }
    }
    JAMNET net;
    Net_InitJamNet(&net, nullptr);
    Net_InsertTrackEvent(&net, {1, 1, 1}, 4, 0);
    Net_InsertTrackEvent(&net, {1, 1, 1}, 0, 4);
    Net_InsertTrackEvent(&net, {1, 1, 1}, -1, 0);
    for (auto &player : net.aTrackEvents)
        for (JAMEVENTLIST &l : player)
            EXPECT_TRUE(l.Events.empty());
}

TEST(NetEventListTest, ClearingAndResettingLists)
{
    JAMNET net;
    Net_InitJamNet(&net, nullptr);
    int32_t state = g_iJamStartState;
    g_iJamStartState = 4;
    net.iEventSetNow = 1;
    net.iEventSetNext = 0;
    Net_QueueJamEvent(&net, {1, 22, 0}, 3, 0);
    Net_QueueJamEvent(&net, {2, 22, 0}, 3, 1);
    Net_QueueJamEvent(&net, {2, 22, 0}, 5, 1); // no such player
    Net_QueueJamEvent(&net, {2, 22, 0}, 3, 2); // no such set
    net.aEventLists[1][3].uCursor = 1;
    Net_ClearEventList(&net, 0, 3);
    EXPECT_TRUE(net.aEventLists[0][3].Events.empty());
    EXPECT_EQ(net.aEventLists[1][3].Events.size(), 1u);
    EXPECT_EQ(net.aEventLists[1][3].uCursor, 0u); // back to the head of the current set

    for (int i = 0; i < 3; ++i)
        Net_QueueImmediateEvent(&net, {1, 22, 0}, 2);
    Net_QueueImmediateEvent(&net, {1, 22, 0}, 4);
    net.aImmediateEvents[2].uCursor = 2;
    Net_ClearImmediateEvents(&net, 2);
    EXPECT_TRUE(net.aImmediateEvents[2].Events.empty());
    EXPECT_EQ(net.aImmediateEvents[2].uCursor, 0u);

    // A flood of relayed events stops at the cap.
    for (size_t i = 0; i < NET_MAX_LIST_EVENTS + 10; ++i)
        Net_QueueImmediateEvent(&net, {1, 22, 0}, 1);
    EXPECT_EQ(net.aImmediateEvents[1].Events.size(), NET_MAX_LIST_EVENTS);

    net.aTrackEvents[1][2].Events.push_back({1, 22, 0});
    net.aTrackEvents[1][2].uCursor = 1;
    net.auTrackCounter[1] = 7;
    Net_ResetTrackEvents(&net);
    EXPECT_EQ(net.auTrackCounter[1], 0u);
    EXPECT_EQ(net.aTrackEvents[1][2].uCursor, 0u);
    EXPECT_EQ(net.aTrackEvents[1][2].Events.size(), 1u); // the lists stay
    g_iJamStartState = state;
}
