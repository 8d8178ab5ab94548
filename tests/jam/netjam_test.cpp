// A network jam of one host and up to four people in one process: the loopback hub, the manual
// clock, and each program's own jam model, driven frame by frame as the 20 ms step drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/cmdline.h"
#include "app/mainwindow.h"
#include "app/timers.h"
#include "jam/jamplay.h"
#include "jam/netcommand.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "platform/clock.h"
#include "platform/kescomms.h"
#include "sequencer/clock.h"

namespace {

class Rec : public JamActions
{
public:
    std::vector<std::string> calls;
    void LoadRiffKey(uint32_t, uint32_t, uint32_t, int32_t, int32_t, uint32_t) override {}
    int32_t LoadPad(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override { return 1; }
    void LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override {}
    void StartPart(int32_t kind, int32_t index) override
    {
        calls.push_back("start " + std::to_string(kind) + " " + std::to_string(index));
    }
    void StopPart(int32_t kind, int32_t index) override
    {
        calls.push_back("stop " + std::to_string(kind) + " " + std::to_string(index));
    }
    void LoadPlugin(int32_t, int32_t, int32_t) override {}
    void PluginInput(int32_t, int32_t, int32_t, int32_t) override {}
    void DropPlayerParts(int32_t player) override { calls.push_back("drop " + std::to_string(player)); }
};

struct Peer
{
    std::string name;
    JAMNET net;
    NETNODE node;
    Rec rec;
    std::vector<std::string> log;
    uint8_t keys[JAM_KEY_STATES]{};

    Peer(PlatNetHub *hub, const char *n) : name(n)
    {
        Net_InitJamNet(&net, &rec);
        node.pJam = &net;
        node.pHub = hub;
        node.iEnumTimeoutMs = 300;
        node.LogSink = [this](const char *line) { log.push_back(line); };
        Net_ResetJamState(&node);
    }
    ~Peer()
    {
        Net_StopSessionA(&node);
        Net_StopSessionB(&node);
    }
    bool Logged(const std::string &line) const { return std::count(log.begin(), log.end(), line) == 1; }
    uint32_t Id() const { return node.pSessionA ? node.pSessionA->uPlayerId : 0; }
    int32_t Slot() const { return net.iNetMySlot; }
    void Key(uint8_t vk, bool down) { keys[vk] = down ? 0x80 : 0; }
};

// What commands write into a block: riff keys on, pads held, keyboard keys held.
struct Played
{
    uint32_t riffs = 0, pads = 0, kb0 = 0, kb1 = 0;
    bool operator==(const Played &) const = default;
};
Played PlayedOf(const JAMPLAYER &p)
{
    Played r;
    for (int k = 0; k < JAM_RIFF_KEYS; ++k)
        r.riffs |= (p.auRiffKey[k] & 1) << k;
    for (int k = 0; k < JAM_PADS; ++k)
        r.pads |= (p.auPad[k] & 1) << k;
    r.kb0 = p.aKeyboard[0].uHeld;
    r.kb1 = p.aKeyboard[1].uHeld;
    return r;
}

class NetJamTest : public ::testing::Test
{
protected:
    PlatNetHub hub;
    std::vector<std::unique_ptr<Peer>> peers;
    int32_t iBarFrame = 0; // frames into the bar

    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(50'000'000);
        g_bJamSinglePlayer = 0;
        g_iJamStartState = JAM_START_RUNNING;
        g_bSeqTimerRunning = 1;
        g_bJamSessionOn = 1;
        g_bTextEntryActive = 0;
        g_bNetJamImmediate = 0;
        g_iJamBar = 0;
        g_iJamStep = 0;
        g_iJamPhraseBar = 0;
        g_iJamPhraseStep = 0;
        g_iJamTempo = 240;
        g_uTempo = 240;
        Jam_SetTempoTick(); // 50 frames a bar, phrases of 4000 ms
        g_iMaxTemplateSize = 262144;
        g_iJamPlayers = 4;
        g_uiJamStartTime = Plat_Milliseconds();
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
    }
    void TearDown() override
    {
        peers.clear();
        g_bSeqTimerRunning = 0;
        g_bJamSessionOn = 0;
        g_iJamStartState = JAM_START_IDLE;
        g_iJamTempo = 130;
        g_uTempo = 130;
        Jam_SetTempoTick();
        g_iJamBar = g_iJamStep = g_iJamPhraseBar = g_iJamPhraseStep = 0;
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
    }

    // Delivers everything: hub traffic, then each program's inbox, until nothing moves.
    void Settle()
    {
        for (int round = 0; round < 100; ++round) {
            int moved = hub.Pump();
            for (auto &p : peers) {
                std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
                moved += Net_ServiceInbox(&p->node);
            }
            if (!moved)
                return;
        }
        ADD_FAILURE() << "traffic never settled";
    }

    Peer &Host(const char *name, int32_t players = 4)
    {
        peers.push_back(std::make_unique<Peer>(&hub, name));
        Peer &h = *peers.back();
        h.node.iJamPlayers = players;
        Net_ClearLobbySlots(&h.node);
        EXPECT_EQ(Net_StartSessionB(&h.node, NET_MODE_LAN), 0);
        EXPECT_EQ(Net_StartSessionA(&h.node, NET_MODE_LAN), 0);
        Net_EnumSessions(&h.node);
        EXPECT_EQ(Net_CreatePlayer(&h.node, -1, name), 0);
        Settle();
        return h;
    }
    // 0 joined, else the join's error (the program is kept either way).
    int32_t Join(const char *name)
    {
        peers.push_back(std::make_unique<Peer>(&hub, name));
        Peer &j = *peers.back();
        EXPECT_EQ(Net_StartSessionA(&j.node, NET_MODE_LAN), 0);
        if (Net_EnumSessions(&j.node) < 1)
            return -100;
        int32_t r = Net_CreatePlayer(&j.node, 1, name);
        Settle();
        return r;
    }
    Peer &P(size_t i) { return *peers[i]; }

    // One jam frame on every program, with the bar and phrase ends the clock would raise.
    void Frame()
    {
        for (auto &p : peers)
            Net_NodeFrame(&p->node, p->keys);
        Settle();
        if (++iBarFrame < g_iJamTickLen)
            return;
        iBarFrame = 0;
        const int32_t bar = g_iJamBar;
        g_iJamStep = g_iJamStep + JAM_BAR_STEPS;
        for (auto &p : peers) {
            std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
            Net_EndBarWork(&p->node, bar, g_iJamStep);
        }
        Settle();
        g_iJamBar = bar + 1;
        if (g_iJamBar % 4 == 0) {
            g_iJamPhraseBar = g_iJamBar.load();
            g_iJamPhraseStep = g_iJamStep.load();
            for (auto &p : peers) {
                std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
                Net_EndPhraseWork(&p->node);
            }
            Settle();
        }
    }
    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            Frame();
    }
    int32_t PhraseFrames() const { return 4 * g_iJamTickLen; }
};

TEST_F(NetJamTest, SlotsFollowJoinOrderEveryoneSeesEveryoneAndAFifthIsRefused)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    ASSERT_EQ(Join("Cleo"), 0);
    ASSERT_EQ(Join("Dan"), 0);
    const char *names[4] = {"Alice", "Bob", "Cleo", "Dan"};
    for (size_t i = 0; i < 4; ++i) {
        Peer &p = P(i);
        EXPECT_EQ(p.Slot(), (int32_t)i) << p.name;
        EXPECT_EQ(p.node.pSessionA->iSlot, (int32_t)i);
        for (size_t s = 0; s < 4; ++s) {
            EXPECT_EQ(p.net.aClientSlots[s].uPlayerId, P(s).Id()) << p.name << " slot " << s;
            EXPECT_STREQ(p.net.aSlotNames[s].szName, names[s]);
            EXPECT_EQ(p.net.aSlotNames[s].uState, 1u);
        }
        // One arrival line per player, however many slot lists came.
        for (size_t s = 0; s < 4; ++s)
            EXPECT_TRUE(p.Logged(std::string(names[s]) + " has entered the jam session")) << p.name << " " << names[s];
    }

    // A fifth person: no slot, and nothing changes for the others.
    std::vector<std::string> before = P(1).log;
    EXPECT_NE(Join("Eve"), 0);
    Settle();
    EXPECT_EQ(P(1).log, before);
    for (size_t s = 0; s < 4; ++s)
        EXPECT_STREQ(P(0).net.aServerSlots[s].szName, names[s]);
}

TEST_F(NetJamTest, APlayerWithoutASlotIsPutOutAndNeverPlaysAsSlotZero)
{
    Host("Alice");
    Peer &h = P(0);
    // Slots taken while the session still has room: the newcomer is put out, not played as slot 0.
    for (uint32_t s = 1; s < 4; ++s)
        EXPECT_EQ(Net_AddServerSlot(&h.net, 900 + s, "ghost"), (int32_t)s);
    EXPECT_EQ(Net_AddServerSlot(&h.net, 901, "ghost"), -1);
    EXPECT_EQ(Net_AddServerSlot(&h.net, 1, "Server"), -1);
    Join("Bob");
    Settle();
    Peer &b = P(1);
    Net_SendToServer(&b.node, Net_BuildCommand(3, 22, 1));
    Settle();
    EXPECT_TRUE(b.Logged("Network connection lost") || b.Id() == 0);
    for (int s = 0; s < 4; ++s)
        EXPECT_TRUE(h.net.aImmediateEvents[s].Events.empty());
    EXPECT_STREQ(h.net.aServerSlots[0].szName, "Alice");
}

TEST_F(NetJamTest, ALobbyLaunchedServerHandsTheLobbyItsFourSlotNames)
{
    Kes_UseFake(true);
    g_bNetSession = 1;
    Host("Alice", 2);
    ASSERT_EQ(Join("Bob"), 0);
    g_bNetSession = 0;
    const std::vector<std::string> &log = Kes_FakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "SetKestrixDataClientList(Alice/Bob/EMPTY/EMPTY,4,4)");
    Kes_UseFake(false);
}

TEST_F(NetJamTest, ChatReachesEveryoneTheSenderIncluded)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    ASSERT_EQ(Join("Cleo"), 0);
    EXPECT_EQ(Net_SendText(&P(1).node, "<Bob> hi", -1), 0);
    Net_SendText(&P(2).node, "", -1);
    Net_SendText(&P(2).node, "<Cleo> psst", 0); // to Alice only
    Settle();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(P(i).Logged("<Bob> hi")) << P(i).name;
    EXPECT_TRUE(P(0).Logged("<Cleo> psst"));
    EXPECT_FALSE(P(1).Logged("<Cleo> psst"));
    EXPECT_FALSE(P(2).Logged("<Cleo> psst"));
    EXPECT_TRUE(P(1).Logged("")); // an empty line is a line
    EXPECT_EQ(Net_SendText(&P(1).node, "x", 3), -1); // nobody in slot 3
}

TEST_F(NetJamTest, ImmediateCommandsReachEveryoneOnTheNextFrameWithTheSendersSlot)
{
    g_bNetJamImmediate = 1;
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    ASSERT_EQ(Join("Cleo"), 0);
    Peer &b = P(1);
    b.Key(0x70, true); // F1
    b.Key('Q', true);
    Frame();
    for (size_t i : {0u, 2u}) {
        // Relayed as slot 1 and queued; applied by the frame after it came.
        Frame();
        Played p = PlayedOf(P(i).net.aPlayers[1]);
        EXPECT_EQ(p.riffs, 1u) << P(i).name;
        EXPECT_EQ(p.kb0, 1u) << P(i).name;
    }
    // The sender plays its own keys as the local player at once, never from the relay.
    EXPECT_EQ(PlayedOf(b.net.aPlayers[JAM_LOCAL_PLAYER]).riffs, 1u);
    EXPECT_EQ(PlayedOf(b.net.aPlayers[1]).riffs, 0u);
    // A command claiming another slot is still relayed with the sender's.
    Net_SendToServer(&b.node, Net_BuildCommand(0, 24, 1));
    Settle();
    EXPECT_EQ(P(0).net.aImmediateEvents[0].Events.size(), 0u);
    EXPECT_EQ(P(0).net.aImmediateEvents[1].Events.size(), 1u);
}

// Scheduled: what one plays is heard by the others exactly one phrase later, at the same
// heartbeat; after K phrases every program holds the same block for every remote slot as that
// player's own block one phrase before.
class NetJamPlayers : public NetJamTest, public ::testing::WithParamInterface<std::tuple<int, int>>
{
};

TEST_P(NetJamPlayers, AfterEveryPhraseAllHoldTheSameBlocks)
{
    const int people = std::get<0>(GetParam());
    g_bNetJamImmediate = std::get<1>(GetParam());
    Host("P0");
    for (int i = 1; i < people; ++i)
        ASSERT_EQ(Join(("P" + std::to_string(i)).c_str()), 0);
    // Each player presses its own keys at its own moments.
    const uint8_t keysOf[4][2] = {{0x70, 'Q'}, {0x61, 'Z'}, {0x72, '2'}, {0x65, 0xBC}};
    for (int phrase = 0; phrase < 3; ++phrase) {
        for (int f = 0; f < PhraseFrames(); ++f) {
            for (int i = 0; i < people; ++i) {
                const int at = 10 + 17 * i + phrase * 5;
                if (f == at)
                    P((size_t)i).Key(keysOf[i][phrase % 2], true);
                if (f == at + 40 && phrase == 0)
                    P((size_t)i).Key(keysOf[i][phrase % 2], false);
            }
            Frame();
        }
        for (int i = 0; i < people; ++i)
            for (int j = 0; j < people; ++j) {
                if (i == j)
                    continue;
                const Peer &me = P((size_t)i), &other = P((size_t)j);
                // Immediate: the block of this boundary; scheduled: the one before.
                const JAMPLAYER &own = me.net.aPlayers[g_bNetJamImmediate ? 5 : 10];
                EXPECT_EQ(PlayedOf(other.net.aPlayers[6 + me.Slot()]), PlayedOf(own))
                    << other.name << " of " << me.name << " after phrase " << phrase;
            }
    }
    // The last phrase's held keys did arrive somewhere: the test is not comparing empties.
    EXPECT_NE(PlayedOf(P(1).net.aPlayers[6 + 0]), Played{});
}

INSTANTIATE_TEST_SUITE_P(Jams, NetJamPlayers,
                         ::testing::Combine(::testing::Values(2, 3, 4), ::testing::Values(0, 1)),
                         [](const auto &p) {
                             return std::to_string(std::get<0>(p.param)) + "People" +
                                    (std::get<1>(p.param) ? "Immediate" : "Scheduled");
                         });

TEST_F(NetJamTest, ScheduledKeysSoundOnePhraseLaterAtTheSameHeartbeat)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    Peer &a = P(0), &b = P(1);
    Frames(30);
    b.Key(0x70, true);
    Frame(); // stamped with heartbeat 30
    b.Key(0x70, false);
    Frame();
    Frames(PhraseFrames() - 32);
    // Phrase 1: not before heartbeat 30.
    Frames(30);
    EXPECT_EQ(PlayedOf(a.net.aPlayers[1]).riffs, 0u);
    Frame();
    EXPECT_EQ(PlayedOf(a.net.aPlayers[1]).riffs, 1u);
    Frame();
    EXPECT_EQ(PlayedOf(a.net.aPlayers[1]).riffs, 0u);
    // The activity tally counted riff key 0 (row 1) in the bar it was played.
    EXPECT_EQ(a.net.aTally[1].auShown[0], 0u);
}

TEST_F(NetJamTest, DeparturesAndKicks)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    ASSERT_EQ(Join("Cleo"), 0);
    Peer &a = P(0), &b = P(1), &c = P(2);

    Net_StopSessionA(&b.node);
    Settle();
    for (Peer *p : {&a, &c}) {
        EXPECT_TRUE(p->Logged("Bob has left the jam session")) << p->name;
        EXPECT_STREQ(p->net.aSlotNames[1].szName, "EMPTY");
        EXPECT_EQ(p->net.aClientSlots[1].uPlayerId, 0u);
        EXPECT_EQ(std::count(p->rec.calls.begin(), p->rec.calls.end(), "drop 1"), 1);
    }
    // The freed slot goes to the next one in.
    ASSERT_EQ(Join("Dan"), 0);
    Peer &d = P(3);
    EXPECT_EQ(d.Slot(), 1);

    // The host puts Cleo out: everyone else sees her go; she sees the jam end, her parts kept.
    Net_DropPlayer(&a.node, 2);
    Settle();
    EXPECT_TRUE(a.Logged("Cleo has left the jam session"));
    EXPECT_TRUE(d.Logged("Cleo has left the jam session"));
    EXPECT_TRUE(c.Logged("Network connection lost"));
    EXPECT_EQ(std::count(c.rec.calls.begin(), c.rec.calls.end(), "drop 2"), 0);

    // The server goes: the joiners lose everyone else.
    Net_StopSessionB(&a.node);
    Settle();
    EXPECT_TRUE(d.Logged("Network connection lost"));
    EXPECT_EQ(d.net.aClientSlots[0].uPlayerId, 0u);
    EXPECT_EQ(d.net.aClientSlots[1].uPlayerId, d.Id()); // its own slot stays
    Net_DropPlayer(&a.node, 3); // no session, no player: nothing
}

TEST_F(NetJamTest, TemplateExchangeHoldsTheOthersUntilAllHaveIt)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    ASSERT_EQ(Join("Cleo"), 0);
    Peer &a = P(0), &b = P(1), &c = P(2);
    b.node.ChosenTemplate.assign(3000, 0x5A);

    Net_SendTemplateLoading(&b.node);
    // Hold (412) reaches the others, they answer (314), Bob gets the go-ahead (414), sends (312),
    // the others load it (411) and answer (315), and the end (413) frees everyone.
    hub.Pump();
    for (int i = 0; i < 3; ++i) {
        for (auto &p : peers) {
            std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
            Net_ServiceInbox(&p->node);
        }
        if (a.net.bNetJamHold && c.net.bNetJamHold)
            break;
        hub.Pump();
    }
    EXPECT_EQ(a.net.bNetJamHold, 1);
    EXPECT_EQ(c.net.bNetJamHold, 1);
    EXPECT_EQ(b.net.bNetJamHold, 0);
    Settle();
    EXPECT_EQ(a.net.bNetJamHold, 0);
    EXPECT_EQ(c.net.bNetJamHold, 0);
    EXPECT_EQ(a.net.aTemplateCopies[1].size(), 3000u);
    EXPECT_TRUE(b.node.SentTemplate.empty());
    EXPECT_EQ(a.net.iTemplatePhase, 0);

    // Held keys are not read.
    c.Key(0x70, true);
    Net_SendTemplateLoading(&a.node);
    hub.Pump();
    {
        std::lock_guard<std::recursive_mutex> hold(c.net.Lock);
        Net_ServiceInbox(&c.node);
    }
    ASSERT_EQ(c.net.bNetJamHold, 1);
    Net_NodeFrame(&c.node, c.keys);
    EXPECT_EQ(PlayedOf(c.net.aPlayers[JAM_LOCAL_PLAYER]).riffs, 0u);
    // Alice chose nothing loadable: an empty template still ends the hold.
    Settle();
    EXPECT_EQ(c.net.bNetJamHold, 0);
    EXPECT_EQ(b.net.bNetJamHold, 0);

    // The one who asked leaves half-way: the hold ends all the same.
    Net_SendTemplateLoading(&c.node);
    hub.Pump();
    for (auto &p : peers) {
        std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
        Net_ServiceInbox(&p->node);
    }
    Net_StopSessionA(&c.node);
    Settle();
    EXPECT_EQ(a.net.bNetJamHold, 0);
    EXPECT_EQ(b.net.bNetJamHold, 0);
}

TEST_F(NetJamTest, AloneTheGoAheadComesAtOnce)
{
    Host("Alice");
    Peer &a = P(0);
    a.node.ChosenTemplate.assign(10, 1);
    Net_SendTemplateLoading(&a.node);
    Settle();
    EXPECT_EQ(a.net.aTemplateCopies[0].size(), 10u);
    EXPECT_EQ(a.net.bNetJamHold, 0);
    EXPECT_EQ(a.net.iTemplatePhase, 0);
}

TEST_F(NetJamTest, ALateJoinerCatchesUpAndStartsOnTheNextPhraseOfThePlayers)
{
    Host("Alice");
    Peer &a = P(0);
    a.node.ChosenTemplate.assign(100, 7);
    Net_SendTemplateLoading(&a.node);
    Settle();
    // Alice plays: its phrase began 1500 ms ago, and its phrase states show its clock runs.
    g_iJamPhraseBar = 8;
    g_iJamPhraseStep = 128;
    g_uiJamStartTime = Plat_Milliseconds() - 1500;
    Net_SendPlayerState(&a.node);
    ASSERT_EQ(Join("Bob"), 0);
    Peer &b = P(1);
    g_iJamTempo = 130; // Bob's own tempo until Alice's comes
    g_iJamStartState = JAM_START_IDLE;
    Net_SendJamStart(&b.node);
    Settle();
    // 411 for Alice's template came before the 415; the 406 names Alice's next phrase start.
    EXPECT_EQ(g_iJamSyncKind.load(), JAM_SYNC_AT_TIME);
    EXPECT_EQ(g_uiJamSyncTime.load(), Plat_Milliseconds() + 4000 - 1500);
    EXPECT_EQ(g_iJamBar.load(), 12);
    EXPECT_EQ(g_iJamStep.load(), 192);
    EXPECT_EQ(g_iJamTempo, 240);
}

TEST_F(NetJamTest, ALoneRequesterStartsOnePhraseAfterItsOwnPhraseStart)
{
    Host("Alice");
    g_iJamPlayers = 3;
    g_uiJamStartTime = Plat_Milliseconds();
    g_iJamBar = 5;
    Net_SendJamStart(&P(0).node);
    Settle();
    EXPECT_EQ(g_uiJamSyncTime.load(), Plat_Milliseconds() + 4000);
    EXPECT_EQ(g_iJamTempo, 240);
    EXPECT_EQ(g_iJamPlayers, 3);
    EXPECT_EQ(g_iJamBar.load(), 0);
    EXPECT_EQ(g_iJamStep.load(), 0);
}

// Two people start together: the one asked for the start time may be waiting itself. Its answer
// must be where its own clock will start, not one phrase on from a phrase it has not begun.
TEST_F(NetJamTest, TheAskedPlayerAnswersWithItsOwnStartWhenItIsNotRunningYet)
{
    struct Case
    {
        const char *name;
        bool running;
        int32_t syncKind;
        uint32_t expectTime; // from now
        int32_t expectBar, expectStep;
    };
    // Alice's phrase began 1500 ms ago at bar 8, step 128; waiting, it starts in 2500 ms at bar 0.
    const Case cases[] = {
        {"running: its next phrase", true, JAM_SYNC_UNKNOWN, 4000 - 1500, 12, 192},
        {"waiting with its start known", false, JAM_SYNC_AT_TIME, 700, 0, 0},
        {"waiting, start unknown", false, JAM_SYNC_UNKNOWN, 4000 - 1500, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        peers.clear();
        Host("Alice");
        ASSERT_EQ(Join("Bob"), 0);
        const uint32_t now = Plat_Milliseconds();
        g_bSeqTimerRunning = c.running;
        g_iJamStartState = c.running ? JAM_START_RUNNING : JAM_START_WAITING;
        g_iJamSyncKind = c.syncKind;
        g_uiJamSyncTime = now + 700;
        g_uiJamStartTime = now - 1500;
        g_iJamPhraseBar = c.running ? 8 : 0;
        g_iJamPhraseStep = c.running ? 128 : 0;
        g_iJamBar = c.running ? 9 : 0;
        g_iJamStep = c.running ? 150 : 0;
        Net_SendSyncRequest(&P(1).node); // asked of Alice, the only other player
        Settle();
        EXPECT_EQ(g_iJamSyncKind.load(), JAM_SYNC_AT_TIME);
        EXPECT_EQ(g_uiJamSyncTime.load(), now + c.expectTime);
        EXPECT_EQ(g_iJamBar.load(), c.expectBar);
        EXPECT_EQ(g_iJamStep.load(), c.expectStep);
    }
}

// What a player assigned while waiting to start (a template at the go-ahead) went nowhere: its
// commands are dropped before the jam runs and a running jam takes no player blocks. At the start
// they go out as the first frame's commands, and the others take them with that phrase's keys.
TEST_F(NetJamTest, PartsAssignedBeforeTheStartReachTheOthersWithTheFirstPhrase)
{
    for (int immediate = 0; immediate < 2; ++immediate) {
        SCOPED_TRACE(immediate ? "immediate" : "scheduled");
        peers.clear();
        g_bNetJamImmediate = immediate;
        Host("Alice");
        ASSERT_EQ(Join("Bob"), 0);
        Peer &a = P(0), &b = P(1);
        const uint32_t riff = Jam_PackLibraryKey(1, 2, 3), pad = Jam_PackLibraryKey(2, 1, 4);
        const uint32_t keyboard = Jam_PackLibraryKey(3, 1, 1);
        JAMPLAYER &mine = a.net.aPlayers[JAM_LOCAL_PLAYER];
        mine.auRiffKey[0] = Jam_KeyWord(riff, 0);
        mine.auPad[2] = Jam_KeyWord(pad, 0);
        mine.aKeyboard[1].uSlotWord = keyboard;
        {
            std::lock_guard<std::recursive_mutex> hold(a.net.Lock);
            Jam_SendLocalAssignments(&a.node);
            Jam_SendLocalAssignments(&b.node); // Bob holds nothing: sends nothing
        }
        a.Key(0x70, true); // F1 from the first frame on
        Frames(PhraseFrames() + 1);
        const JAMPLAYER &seen = b.net.aPlayers[0];
        EXPECT_EQ(Jam_SlotWordOf(seen.auRiffKey[0]), riff);
        EXPECT_EQ(seen.auRiffKey[0] & 1, 1u) << "the key sounds with its riff";
        EXPECT_EQ(Jam_SlotWordOf(seen.auPad[2]), pad);
        EXPECT_EQ(seen.aKeyboard[1].uSlotWord, keyboard);
        for (int k = 1; k < JAM_RIFF_KEYS; ++k)
            EXPECT_EQ(Jam_SlotWordOf(seen.auRiffKey[k]), 0u) << k;
        EXPECT_EQ(Jam_SlotWordOf(a.net.aPlayers[1].auRiffKey[0]), 0u);
        a.Key(0x70, false);
    }
}

TEST_F(NetJamTest, StartTimesAreCheckedAndMovedPastNow)
{
    Host("Alice");
    const uint32_t now = Plat_Milliseconds();
    struct Case
    {
        NETSYNC sync;
        bool taken;
        uint32_t start;
    } cases[] = {
        {{0, now - 3 * 4000 - 100, 4, 0, 64, -1, -1}, true, now + 4000 - 100}, // several phrases old
        {{0, now + 10, 4, 0, 64, -1, -1}, true, now + 10},
        {{0, now, 4, 999999, 64, -1, -1}, false, 0},                          // no such tempo
        {{0, now, 4, 0, 64, 9, -1}, false, 0},                                // players
        {{0, now, 4, 0, 64, -1, -5}, false, 0},                               // limit
        {{0, now, 4, 0, 64, -1, (int32_t)NET_MAX_TEMPLATE_LIMIT + 1}, false, 0},
    };
    for (const Case &c : cases) {
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
        EXPECT_EQ(Net_ApplySync(&P(0).node, c.sync, now), c.taken);
        if (c.taken)
            EXPECT_EQ(g_uiJamSyncTime.load(), c.start);
        else
            EXPECT_EQ(g_iJamSyncKind.load(), JAM_SYNC_UNKNOWN);
    }
    EXPECT_EQ(g_iJamTempo, 240); // tempo 0 keeps it
}

TEST_F(NetJamTest, PositionReportsReachEveryone)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    g_iJamStep = 77;
    Net_SendPosition(&P(1).node);
    Settle();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(P(i).node.uPositionReports, 1u);
        EXPECT_EQ(P(i).node.iLastReportedStep, 77);
    }
}

TEST_F(NetJamTest, StatesBeforeTheStartBuildThePlayersAndOnlyThen)
{
    Host("Alice");
    ASSERT_EQ(Join("Bob"), 0);
    Peer &a = P(0), &b = P(1);
    g_iJamStartState = JAM_START_WAITING;
    JAMPLAYER block = b.net.aPlayers[JAM_LOCAL_PLAYER];
    block.auLevel[3] = 77;
    a.net.aPlayers[6 + 0].auLevel[3] = 1; // Alice's own slot: never taken from the network
    Net_SendToServer(&b.node, Net_BuildPlayerState(NET_MSG_PLAYER_STATE, 0, 0, block)); // claims slot 0
    Settle();
    EXPECT_EQ(a.net.aPlayers[1].auLevel[3], 77u); // relayed with Bob's real slot
    EXPECT_EQ(a.net.aPlayers[6 + 0].auLevel[3], 1u);
    g_iJamStartState = JAM_START_RUNNING;
    block.auLevel[3] = 99;
    Net_SendToServer(&b.node, Net_BuildPlayerState(NET_MSG_PLAYER_STATE, 0, 1, block));
    Settle();
    EXPECT_EQ(a.net.aPlayers[1].auLevel[3], 77u);
}

TEST_F(NetJamTest, MalformedMessagesAndReplaysChangeNothing)
{
    Host("Alice");
    Peer &a = P(0);
    std::vector<uint8_t> entry = Net_BuildSlotEntry(55, 2, "Mallory");
    entry[8] = 9; // slot 9
    std::vector<uint8_t> text = Net_BuildText(NET_MSG_TEXT_RELAY, 0, "hello", 5);
    text[8] = 200; // longer than it holds
    const size_t lines = a.log.size();
    {
        std::lock_guard<std::recursive_mutex> hold(a.net.Lock);
        Net_DispatchA(&a.node, entry.data(), entry.size(), 1);
        Net_DispatchA(&a.node, text.data(), text.size(), 1);
        Net_DispatchA(&a.node, text.data(), 3, 1);
        a.net.iJamReplay = 1;
        std::vector<uint8_t> ok = Net_BuildText(NET_MSG_TEXT_RELAY, 0, "hello", 5);
        Net_DispatchA(&a.node, ok.data(), ok.size(), 1);
        a.net.iJamReplay = 0;
    }
    EXPECT_EQ(a.log.size(), lines);
    EXPECT_STREQ(a.net.aClientSlots[3].szName, "EMPTY");
}

TEST(NetJamReset, EveryFieldAsAResetLeavesItAndTwiceIsOnce)
{
    JAMNET net;
    NETNODE node;
    Net_InitJamNet(&net, nullptr);
    node.pJam = &net;
    for (JAMPLAYER &p : net.aPlayers) {
        std::memset(&p, 0x5C, sizeof p);
        p.iPluginSlot = 3;
    }
    std::strcpy(net.aClientSlots[2].szName, "Bob");
    net.aClientSlots[2].uPlayerId = 9;
    net.aImmediateEvents[1].Events.push_back({1, 22, 1});
    Net_ResetJamState(&node);
    const JAMPLAYER once[3] = {net.aPlayers[2], net.aPlayers[4], net.aPlayers[7]};
    for (int i = 0; i < JAM_PLAYERS; ++i) {
        const JAMPLAYER &p = net.aPlayers[i];
        EXPECT_EQ(p.iPluginSlot, -1);
        EXPECT_EQ(p.uBendRange, 12u);
        EXPECT_EQ(p.auLevel[15], 128u);
        EXPECT_EQ(p.auPan[0], 128u);
        EXPECT_EQ(p.aiReserved[7], -1);
        EXPECT_EQ(p.aKeyboard[1].uOctave, 5u);
        EXPECT_EQ(p.auRiffVolume[11], 128u);
        EXPECT_EQ(PlayedOf(p), Played{});
    }
    // The copies lose their keys but keep what only the current blocks reset.
    EXPECT_EQ(net.aPlayers[7].iPluginSlot, 3);
    EXPECT_EQ(net.aPlayers[7].auRiffKey[0], 0u);
    EXPECT_EQ(net.aPlayers[5], net.aPlayers[4]);
    EXPECT_EQ(net.aPlayers[10], net.aPlayers[4]);
    EXPECT_STREQ(net.aClientSlots[2].szName, "EMPTY");
    EXPECT_EQ(net.aClientSlots[2].uPlayerId, 0u);
    EXPECT_STREQ(net.aSlotNames[2].szName, "EMPTY");
    EXPECT_TRUE(net.aImmediateEvents[1].Events.empty());
    Net_ResetJamState(&node);
    EXPECT_EQ(net.aPlayers[2], once[0]);
    EXPECT_EQ(net.aPlayers[4], once[1]);
    EXPECT_EQ(net.aPlayers[7], once[2]);
}

// ---- The local keys, on the manual clock ----

class JamKeysTest : public NetJamTest
{
protected:
    Peer *me = nullptr;
    void SetUp() override
    {
        NetJamTest::SetUp();
        g_bJamSinglePlayer = 1; // nothing leaves this program
        peers.push_back(std::make_unique<Peer>(&hub, "Solo"));
        me = peers.back().get();
    }
    void TearDown() override
    {
        g_bJamSinglePlayer = 0;
        Jam_ReleaseAllKeys();
        NetJamTest::TearDown();
    }
    void Step() { Net_NodeFrame(&me->node, me->keys); }
    const JAMPLAYER &Mine() const { return me->net.aPlayers[JAM_LOCAL_PLAYER]; }
};

TEST_F(JamKeysTest, FKeysShiftLatchesPadsWhileHeldAndThePianoRows)
{
    me->Key(0x70, true); // F1
    Step();
    EXPECT_EQ(Mine().auRiffKey[0] & 1, 1u);
    me->Key(0x70, false);
    Step();
    EXPECT_EQ(Mine().auRiffKey[0] & 1, 0u);

    // Shift+F1 latches: the key plays on after it is let go.
    me->Key(0x10, true);
    me->Key(0x70, true);
    Step();
    me->Key(0x70, false);
    Step();
    me->Key(0x10, false);
    Step();
    EXPECT_EQ(Mine().auRiffLatch[0] & 1, 1u);

    // Numpad 5 sounds pad 4 while held.
    me->Key(0x65, true);
    Step();
    EXPECT_EQ(Mine().auPad[4] & 1, 1u);
    me->Key(0x65, false);
    Step();
    EXPECT_EQ(Mine().auPad[4] & 1, 0u);

    // Q..P is keyboard 0 as a piano row, in the keyboard's octave; Z../ is keyboard 1.
    const uint8_t row0[17] = {'Q', '2', 'W', '3', 'E', 'R', '5', 'T', '6', 'Y', '7', 'U', 'I', '9', 'O', '0', 'P'};
    for (int k = 0; k < 17; ++k) {
        me->Key(row0[k], true);
        Step();
        EXPECT_EQ(Mine().aKeyboard[0].uHeld, 1u << k) << k;
        me->Key(row0[k], false);
    }
    Step();
    EXPECT_EQ(Mine().aKeyboard[0].uHeld, 0u);
    me->Key(0xBF, true); // slash: the top key of keyboard 1
    Step();
    EXPECT_EQ(Mine().aKeyboard[1].uHeld, 1u << 16);
}

TEST_F(JamKeysTest, MasksJoinKeysAndMidiAndTabFlipsOncePerPress)
{
    uint8_t keys[JAM_KEY_STATES]{};
    uint8_t midi[256]{};
    uint32_t m[4];
    keys[0x70] = 0x80;
    midi[12 + 48] = 100; // riff key 0 by MIDI as well: one bit
    midi[12 + 60 + 8] = 1; // pad 8
    midi[12 + 24 + 3] = 1; // keyboard 1 key 3
    Jam_KeyMasks(keys, midi, m);
    EXPECT_EQ(m[0], 1u);
    EXPECT_EQ(m[1], 1u << 8);
    EXPECT_EQ(m[2], 0u);
    EXPECT_EQ(m[3], 1u << 3);

    me->Key(0x09, true);
    for (int i = 0; i < 10; ++i)
        Step();
    EXPECT_EQ(me->net.iLocalController, 1);
    me->Key(0x09, false);
    Step();
    me->Key(0x09, true);
    Step();
    EXPECT_EQ(me->net.iLocalController, 0);
}

TEST_F(JamKeysTest, TheWindowsKeysReachTheJamStepThroughTheSnapshot)
{
    Jam_KeyEvent(0x70, true);
    Jam_KeyEvent(0xA1, true); // right Shift
    Jam_ReadKeyboard();
    EXPECT_EQ(g_abJamKeyState[0x70], 0x80);
    EXPECT_EQ(g_abJamKeyState[0x10], 0x80);
    Jam_KeyEvent(0xA1, false);
    Jam_KeyEvent(999, true); // no such key: ignored
    Jam_ReadKeyboard();
    EXPECT_EQ(g_abJamKeyState[0x10], 0);
    Jam_ReleaseAllKeys();
    Jam_ReadKeyboard();
    EXPECT_EQ(g_abJamKeyState[0x70], 0);
}

} // namespace
