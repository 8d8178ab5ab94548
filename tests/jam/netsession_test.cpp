// Network jam sessions on the loopback hub and on real sockets of 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "jam/netsession.h"

namespace {

// One program's network side.
struct Program
{
    JAMNET net;
    NETNODE node;
    explicit Program(PlatNetHub *hub)
    {
        Net_InitJamNet(&net, nullptr);
        node.pJam = &net;
        node.pHub = hub;
        node.iEnumTimeoutMs = 300;
    }
    ~Program()
    {
        Net_StopSessionA(&node);
        Net_StopSessionB(&node);
    }
};

uint32_t Id(const std::vector<uint8_t> &m)
{
    return m.size() < 4 ? 0 : (uint32_t)m[0] | (uint32_t)m[1] << 8 | (uint32_t)m[2] << 16 | (uint32_t)m[3] << 24;
}

std::vector<NETINBOXENTRY> Take(Program &p)
{
    std::vector<NETINBOXENTRY> out;
    Net_TakeInbox(&p.node, &out);
    return out;
}

size_t CountMessages(const std::vector<NETINBOXENTRY> &in, uint32_t id)
{
    size_t n = 0;
    for (const auto &e : in)
        n += e.uKind == NET_INBOX_MESSAGE && Id(e.Bytes) == id;
    return n;
}

bool HasLeft(const std::vector<NETINBOXENTRY> &in, uint32_t id)
{
    for (const auto &e : in)
        if (e.uKind == NET_INBOX_PLAYER_LEFT && e.uSender == id)
            return true;
    return false;
}

// The host: server, then its own client joining its own session.
void Host(Program &h, const char *name, int32_t players = 4)
{
    h.node.ServerName = "Friday Jam";
    h.node.iJamPlayers = players;
    Net_ClearLobbySlots(&h.node);
    ASSERT_EQ(Net_StartSessionB(&h.node, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_StartSessionA(&h.node, NET_MODE_LAN), 0);
    Net_EnumSessions(&h.node);
    ASSERT_EQ(Net_CreatePlayer(&h.node, -1, name), 0);
}

int32_t Join(Program &j, const char *name)
{
    EXPECT_EQ(Net_StartSessionA(&j.node, NET_MODE_LAN), 0);
    if (Net_EnumSessions(&j.node) < 1)
        return -100;
    return Net_CreatePlayer(&j.node, 1, name);
}

} // namespace

TEST(NetSessionTest, HostingAndJoiningGiveSlotsAndTellEveryone)
{
    PlatNetHub hub;
    Program h(&hub), a(&hub), b(&hub);
    Host(h, "Hostess");
    EXPECT_EQ(h.node.bNetHost, 1);
    EXPECT_EQ(h.node.bNetClient, 0);
    EXPECT_EQ(h.node.pSessionB->iHost, 1);
    EXPECT_EQ(h.node.pSessionA->iHost, 0);
    hub.Pump();
    ASSERT_EQ(Join(a, "Ann"), 0);
    hub.Pump();
    ASSERT_EQ(Join(b, "Bo"), 0);
    hub.Pump();

    const NETPLAYERSLOT *slots = h.net.aServerSlots;
    EXPECT_EQ(slots[0].uPlayerId, h.node.pSessionA->uPlayerId);
    EXPECT_STREQ(slots[0].szName, "Hostess");
    EXPECT_EQ(slots[1].uPlayerId, a.node.pSessionA->uPlayerId);
    EXPECT_STREQ(slots[1].szName, "Ann");
    EXPECT_STREQ(slots[2].szName, "Bo");
    EXPECT_EQ(slots[3].uPlayerId, 0u);
    EXPECT_STREQ(slots[3].szName, "EMPTY");
    // Every join is announced with 401 to all members present then.
    EXPECT_EQ(CountMessages(Take(h), 401), 3u);
    EXPECT_EQ(CountMessages(Take(a), 401), 2u);
    EXPECT_EQ(CountMessages(Take(b), 401), 1u);

    // The session list.
    EXPECT_EQ(Net_GetSessionCount(&a.node), 1);
    char name[64] = "unchanged";
    Net_GetSessionName(&a.node, 0, name, sizeof name);
    EXPECT_STREQ(name, "Friday Jam");
    std::strcpy(name, "x");
    Net_GetSessionName(&a.node, -1, name, sizeof name);
    EXPECT_STREQ(name, "Friday Jam");
    std::strcpy(name, "x");
    Net_GetSessionName(&a.node, 7, name, sizeof name);
    EXPECT_STREQ(name, "Friday Jam");
}

TEST(NetSessionTest, DeparturesFreeTheSlotAndReachTheOthers)
{
    PlatNetHub hub;
    Program h(&hub), a(&hub), b(&hub);
    Host(h, "Hostess");
    ASSERT_EQ(Join(a, "Ann"), 0);
    ASSERT_EQ(Join(b, "Bo"), 0);
    hub.Pump();
    Take(h), Take(a), Take(b);
    uint32_t annId = a.node.pSessionA->uPlayerId;

    Net_StopSessionA(&a.node);
    hub.Pump();
    EXPECT_EQ(h.net.aServerSlots[1].uPlayerId, 0u);
    EXPECT_STREQ(h.net.aServerSlots[1].szName, "EMPTY");
    EXPECT_EQ(h.net.aServerSlots[2].uPlayerId, b.node.pSessionA->uPlayerId); // the others keep theirs
    auto bin = Take(b);
    EXPECT_TRUE(HasLeft(bin, annId));
    EXPECT_EQ(CountMessages(bin, 401), 1u);
    // The stopped client's copy of the slots is back to empty.
    for (const NETPLAYERSLOT &s : a.net.aClientSlots) {
        EXPECT_EQ(s.uPlayerId, 0u);
        EXPECT_STREQ(s.szName, "EMPTY");
    }

    // The server goes: every client hears that player 1 left; the server's slots are reset.
    Net_StopSessionB(&h.node);
    hub.Pump();
    EXPECT_TRUE(HasLeft(Take(b), PLAT_NET_SERVER_PLAYER));
    EXPECT_TRUE(HasLeft(Take(h), PLAT_NET_SERVER_PLAYER));
    EXPECT_EQ(h.net.aServerSlots[0].uPlayerId, 0u);
    EXPECT_STREQ(h.net.aServerSlots[0].szName, "");
}

TEST(NetSessionTest, TheSessionHoldsItsPlayersAndNotOneMore)
{
    struct Case
    {
        int32_t jamPlayers;
        int people; // clients that get in, the host's own included
    } cases[] = {{1, 1}, {2, 2}, {4, 4}, {8, 4}, {0, 1}, {-3, 1}};
    for (const Case &c : cases) {
        PlatNetHub hub;
        Program h(&hub);
        Host(h, "Hostess", c.jamPlayers);
        std::vector<std::unique_ptr<Program>> joiners;
        for (int i = 1; i < c.people; ++i) {
            joiners.push_back(std::make_unique<Program>(&hub));
            EXPECT_EQ(Join(*joiners.back(), "Guest"), 0) << c.jamPlayers;
        }
        Program extra(&hub);
        EXPECT_EQ(Join(extra, "One Too Many"), PLAT_NET_ERR_FULL) << c.jamPlayers;
        EXPECT_FALSE(extra.node.pSessionA->pPlay);
        hub.Pump();
        int held = 0;
        for (const NETPLAYERSLOT &s : h.net.aServerSlots)
            held += s.uPlayerId != 0;
        EXPECT_EQ(held, c.people) << c.jamPlayers;
    }
}

TEST(NetSessionTest, JoiningWhatIsNotThereFailsCleanly)
{
    PlatNetHub hub;
    Program a(&hub);
    // Never started: nothing to stop, nothing to join.
    Net_StopSessionA(&a.node);
    Net_StopSessionB(&a.node);
    EXPECT_NE(Net_CreatePlayer(&a.node, 1, "Ann"), 0);
    EXPECT_EQ(Net_EnumSessions(&a.node), 0);

    ASSERT_EQ(Net_StartSessionA(&a.node, NET_MODE_LAN), 0);
    EXPECT_EQ(Net_EnumSessions(&a.node), 0);
    EXPECT_EQ(Net_GetSessionCount(&a.node), 0);
    char name[16] = "unchanged";
    Net_GetSessionName(&a.node, 0, name, sizeof name);
    EXPECT_STREQ(name, "unchanged");
    EXPECT_EQ(Net_CreatePlayer(&a.node, 1, "Ann"), PLAT_NET_ERR_NOANSWER);
    EXPECT_EQ(Net_CreatePlayer(&a.node, -1, "Ann"), PLAT_NET_ERR_NOANSWER); // hosts nothing
    EXPECT_FALSE(a.node.pSessionA->pPlay);

    Program h(&hub);
    Host(h, "Hostess");
    EXPECT_EQ(Net_EnumSessions(&a.node), 1);
    EXPECT_EQ(Net_EnumSessions(&a.node), 1); // a repeat replaces the list
    EXPECT_EQ(a.node.pSessionA->Found.size(), 1u);
    EXPECT_EQ(Net_CreatePlayer(&a.node, 2, "Ann"), PLAT_NET_ERR_NOANSWER);
    EXPECT_EQ(Net_CreatePlayer(&a.node, 0, "Ann"), PLAT_NET_ERR_NOANSWER);
    EXPECT_EQ(Net_CreatePlayer(&a.node, 1, "Ann"), 0);
    EXPECT_EQ(Net_CreatePlayer(&a.node, 1, "Ann again"), PLAT_NET_ERR_REFUSED);

    // Start, stop, start again.
    Net_StopSessionB(&h.node);
    EXPECT_EQ(Net_StartSessionB(&h.node, NET_MODE_LAN), 0);
}

TEST(NetSessionTest, ShortMessagesAreDroppedAndTheRestReachTheHandlers)
{
    PlatNetHub hub;
    Program h(&hub), a(&hub);
    static std::vector<std::pair<uint32_t, std::vector<uint8_t>>> s_got;
    s_got.clear();
    h.node.pfnDispatchB = [](NETNODE *, const uint8_t *m, size_t n, uint32_t from) {
        s_got.push_back({from, std::vector<uint8_t>(m, m + n)});
    };
    Host(h, "Hostess");
    ASSERT_EQ(Join(a, "Ann"), 0);
    hub.Pump();
    Take(a);
    for (const std::vector<uint8_t> &m :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{46, 1, 0}, std::vector<uint8_t>{46, 1, 0, 0}})
        Net_SendToServer(&a.node, m);
    hub.Pump();
    ASSERT_EQ(s_got.size(), 1u);
    EXPECT_EQ(s_got[0].first, a.node.pSessionA->uPlayerId);
    EXPECT_EQ(s_got[0].second.size(), 4u);

    // Server to client: short or unknown messages never reach the inbox.
    for (const std::vector<uint8_t> &m : {std::vector<uint8_t>{1, 2}, std::vector<uint8_t>{0x91, 1, 0, 0},
                                          std::vector<uint8_t>{0xE7, 3, 0, 0}})
        Net_SendFromServer(&h.node, 0, m);
    hub.Pump();
    auto in = Take(a);
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(Id(in[0].Bytes), 401u);
    EXPECT_EQ(in[0].uSender, PLAT_NET_SERVER_PLAYER);
    EXPECT_EQ(a.node.pSessionA->uRefused, 1u);
}

TEST(NetSessionTest, DroppingAPlayerKicksTheOneInThatSlot)
{
    PlatNetHub hub;
    Program h(&hub), a(&hub), b(&hub);
    Host(h, "Hostess");
    ASSERT_EQ(Join(a, "Ann"), 0);
    ASSERT_EQ(Join(b, "Bo"), 0);
    hub.Pump();
    Take(b);
    // The client's copy of the slots, as the slot list (402) fills it.
    h.net.aClientSlots[1].uPlayerId = a.node.pSessionA->uPlayerId;
    Net_DropPlayer(&h.node, 2); // no id in that slot: nothing
    Net_DropPlayer(&h.node, -1);
    Net_DropPlayer(&h.node, 4);
    hub.Pump();
    EXPECT_NE(h.net.aServerSlots[1].uPlayerId, 0u);
    Net_DropPlayer(&h.node, 1);
    hub.Pump();
    EXPECT_EQ(h.net.aServerSlots[1].uPlayerId, 0u);
    EXPECT_TRUE(HasLeft(Take(a), PLAT_NET_SERVER_PLAYER));
    EXPECT_TRUE(HasLeft(Take(b), a.node.pSessionA->uPlayerId));
    // A joiner's node has no server to drop with.
    b.net.aClientSlots[0].uPlayerId = h.node.pSessionA->uPlayerId;
    Net_DropPlayer(&b.node, 0);
    hub.Pump();
    EXPECT_NE(h.net.aServerSlots[0].uPlayerId, 0u);
}

TEST(NetSessionTest, TablesClearedForANewJam)
{
    PlatNetHub hub;
    Program p(&hub);
    p.net.iNetMySlot = 3;
    std::strcpy(p.net.aSlotNames[2].szName, "Bo");
    p.net.aSlotNames[2].uState = 1;
    Net_ClearPlayerNames(&p.node);
    EXPECT_EQ(p.net.iNetMySlot, 0);
    EXPECT_STREQ(p.net.aSlotNames[2].szName, "");
    EXPECT_EQ(p.net.aSlotNames[2].uState, 0u);
    p.net.aServerSlots[1].uPlayerId = 9;
    std::strcpy(p.net.aServerSlots[1].szName, "Stale");
    Net_ClearLobbySlots(&p.node);
    EXPECT_EQ(p.net.aServerSlots[1].uPlayerId, 0u);
    EXPECT_STREQ(p.net.aServerSlots[1].szName, "EMPTY");
}

// The same flows on real sockets: the host on a port the system picks, joiners by address.
TEST(NetSessionSocketTest, JoinByAddressSlotsAndDepartures)
{
    Plat_NetSetPeerTimeout(10000);
    Program h(nullptr), a(nullptr);
    h.node.iPort = 0;
    h.node.ServerName = "Socket Jam";
    ASSERT_EQ(Net_StartSessionB(&h.node, NET_MODE_ADDRESS), 0);
    uint16_t port = h.node.pSessionB->pServer->Port();
    ASSERT_EQ(Net_StartSessionA(&h.node, NET_MODE_ADDRESS), 0);
    ASSERT_EQ(Net_CreatePlayer(&h.node, -1, "Hostess"), 0); // its own session, without enumerating
    ASSERT_TRUE(Net_WaitInbox(&h.node, 1, 5000));

    a.node.JoinAddress = "127.0.0.1:" + std::to_string(port);
    ASSERT_EQ(Net_StartSessionA(&a.node, NET_MODE_ADDRESS), 0);
    ASSERT_EQ(Net_EnumSessions(&a.node), 1);
    char name[32];
    Net_GetSessionName(&a.node, 0, name, sizeof name);
    EXPECT_STREQ(name, "Socket Jam");
    ASSERT_EQ(Net_CreatePlayer(&a.node, 1, "Ann"), 0);
    ASSERT_TRUE(Net_WaitInbox(&a.node, 1, 5000));
    ASSERT_TRUE(Net_WaitInbox(&h.node, 2, 5000));
    EXPECT_EQ(CountMessages(Take(a), 401), 1u);
    h.node.pSessionB->pServer->Players();
    EXPECT_STREQ(h.net.aServerSlots[1].szName, "Ann");

    Take(h);
    uint32_t annId = a.node.pSessionA->uPlayerId;
    Net_StopSessionA(&a.node);
    ASSERT_TRUE(Net_WaitInbox(&h.node, 2, 5000)); // Ann's departure, then the 401 of her slot
    auto in = Take(h);
    EXPECT_TRUE(HasLeft(in, annId));
    EXPECT_EQ(CountMessages(in, 401), 1u);
    h.node.pSessionB->pServer->Players(); // orders the server thread's writes before the reads
    EXPECT_STREQ(h.net.aServerSlots[1].szName, "EMPTY");

    // Port in use: the server start says so.
    Program other(nullptr);
    other.node.iPort = port;
    EXPECT_EQ(Net_StartSessionB(&other.node, NET_MODE_ADDRESS), NET_E_USERCANCEL);
    EXPECT_EQ(other.node.pSessionB, nullptr);
    EXPECT_EQ(other.node.bNetHost, 0);
}

TEST(NetSessionSocketTest, AServerThatVanishesIsPlayerOneLeaving)
{
    Plat_NetSetPeerTimeout(400);
    Program h(nullptr), a(nullptr);
    h.node.iPort = 0;
    ASSERT_EQ(Net_StartSessionB(&h.node, NET_MODE_ADDRESS), 0);
    a.node.JoinAddress = "127.0.0.1:" + std::to_string(h.node.pSessionB->pServer->Port());
    ASSERT_EQ(Net_StartSessionA(&a.node, NET_MODE_ADDRESS), 0);
    ASSERT_EQ(Net_EnumSessions(&a.node), 1);
    ASSERT_EQ(Net_CreatePlayer(&a.node, 1, "Ann"), 0);
    ASSERT_TRUE(Net_WaitInbox(&a.node, 1, 5000));
    Take(a);
    h.node.pSessionB->pServer->Abandon(); // as a crashed host: no word to anybody
    ASSERT_TRUE(Net_WaitInbox(&a.node, 1, 5000));
    EXPECT_TRUE(HasLeft(Take(a), PLAT_NET_SERVER_PLAYER));
    EXPECT_EQ(Net_SendToServer(&a.node, {0x32, 1, 0, 0}), -1);
    Plat_NetSetPeerTimeout(10000);
}

TEST(NetSessionSocketTest, FourPeopleGetInAndAFifthIsRefused)
{
    Program h(nullptr);
    h.node.iPort = 0;
    h.node.iJamPlayers = 4;
    ASSERT_EQ(Net_StartSessionB(&h.node, NET_MODE_ADDRESS), 0);
    std::string address = "127.0.0.1:" + std::to_string(h.node.pSessionB->pServer->Port());
    ASSERT_EQ(Net_StartSessionA(&h.node, NET_MODE_ADDRESS), 0);
    ASSERT_EQ(Net_CreatePlayer(&h.node, -1, "Hostess"), 0);
    std::vector<std::unique_ptr<Program>> guests;
    std::vector<uint32_t> ids{h.node.pSessionA->uPlayerId};
    for (const char *name : {"Ann", "Bo", "Cy", "Di"}) {
        guests.push_back(std::make_unique<Program>(nullptr));
        NETNODE &n = guests.back()->node;
        n.JoinAddress = address;
        ASSERT_EQ(Net_StartSessionA(&n, NET_MODE_ADDRESS), 0);
        ASSERT_EQ(Net_EnumSessions(&n), 1);
        int32_t r = Net_CreatePlayer(&n, 1, name);
        if (ids.size() < 4) {
            ASSERT_EQ(r, 0) << name;
            ids.push_back(n.pSessionA->uPlayerId);
        } else {
            EXPECT_EQ(r, PLAT_NET_ERR_FULL) << name;
            EXPECT_FALSE(n.pSessionA->pPlay);
        }
    }
    // Every id is its own, and none is the server player's.
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
    EXPECT_GT(ids.front(), PLAT_NET_SERVER_PLAYER);
    // The first guest heard the 401 of its own join and of the two after it.
    EXPECT_TRUE(Net_WaitInbox(&guests[0]->node, 3, 5000));
    EXPECT_EQ(CountMessages(Take(*guests[0]), 401), 3u);
}
