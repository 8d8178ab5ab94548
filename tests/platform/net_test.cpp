// The network layer: real sockets on 127.0.0.1 with ports the system picks, and the loopback hub.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/net.h"
#include "platform/net_internal.h"
#include "support/tempdir.h"

namespace {

const PlatNetGuid kApp{{0x87, 0xCE, 0xA8, 0x85, 0x2A, 0x59, 0x11, 0xD3, 0x89, 0x75, 0x00, 0x50, 0x04, 0x6A, 0x2A, 0x5F}};
const PlatNetGuid kOtherApp{{1, 2, 3}};
constexpr auto kWait = std::chrono::seconds(5);

// Events one member heard, for waiting on from the test thread.
struct Log
{
    std::mutex lock;
    std::condition_variable cv;
    std::vector<PlatNetEvent> events;

    PlatNetHandler Handler()
    {
        return [this](PlatNetEvent &ev) {
            std::lock_guard<std::mutex> hold(lock);
            events.push_back(ev);
            cv.notify_all();
        };
    }
    size_t Count(PlatNetEvent::Kind kind, uint32_t player = 0)
    {
        std::lock_guard<std::mutex> hold(lock);
        return CountLocked(kind, player);
    }
    std::vector<PlatNetEvent> Snapshot()
    {
        std::lock_guard<std::mutex> hold(lock);
        return events;
    }
    size_t CountLocked(PlatNetEvent::Kind kind, uint32_t player)
    {
        size_t n = 0;
        for (auto &e : events)
            n += e.kind == kind && (player == 0 || e.uPlayer == player);
        return n;
    }
    // Waits (bounded) until the log holds `n` events of that kind (and player).
    bool WaitFor(PlatNetEvent::Kind kind, size_t n, uint32_t player = 0)
    {
        std::unique_lock<std::mutex> hold(lock);
        return cv.wait_for(hold, kWait, [&] { return CountLocked(kind, player) >= n; });
    }
    std::vector<std::vector<uint8_t>> Messages()
    {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<std::vector<uint8_t>> out;
        for (auto &e : events)
            if (e.kind == PlatNetEvent::Message)
                out.push_back(e.data);
        return out;
    }
};

std::unique_ptr<PlatNetServer> Host(Log &log, uint32_t maxPlayers, const char *name = "Jam Night")
{
    PlatNetHostParams p;
    p.name = name;
    p.application = kApp;
    p.uMaxPlayers = maxPlayers;
    p.iPort = 0;
    p.handler = log.Handler();
    int err = 1;
    auto s = Plat_NetHost(p, &err);
    EXPECT_EQ(err, PLAT_NET_OK);
    return s;
}

std::string Loop(uint16_t port)
{
    return "127.0.0.1:" + std::to_string(port);
}

std::unique_ptr<PlatNetClient> Join(PlatNetServer &server, Log &log, const char *name, int *errOut = nullptr)
{
    int err = 1;
    auto found = Plat_NetEnumerate(kApp, Loop(server.Port()).c_str(), 3000, nullptr, &err);
    EXPECT_EQ(found.size(), 1u);
    if (found.empty())
        return nullptr;
    auto c = Plat_NetJoin(found[0], kApp, name, PLAT_NET_JOIN_TIMEOUT_MS, log.Handler(), nullptr, &err);
    if (errOut)
        *errOut = err;
    return c;
}

std::vector<uint8_t> Bytes(uint32_t id, size_t n)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = (uint8_t)(i * 7 + id);
    for (int i = 0; i < 4 && i < (int)n; ++i)
        b[i] = (uint8_t)(id >> (8 * i));
    return b;
}

int ThreadCount()
{
    int n = 0;
    DIR *d = opendir("/proc/self/task");
    if (!d)
        return -1;
    while (dirent *e = readdir(d))
        n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

class NetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unsetenv("TNV_NET_PORT");
        unsetenv("TNV_NET_PORT_FILE");
        unsetenv("TNV_NET_ENUM_TARGETS");
        Plat_NetSetPeerTimeout(10000);
    }
    void TearDown() override { SetUp(); }
};

} // namespace

TEST_F(NetTest, QueryFindsTheSessionAndJoinsGetTheirOwnIds)
{
    Log slog, alog, blog;
    auto server = Host(slog, 5);
    ASSERT_TRUE(server);
    ASSERT_NE(server->Port(), 0);

    int err = 1;
    auto found = Plat_NetEnumerate(kApp, Loop(server->Port()).c_str(), 3000, nullptr, &err);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(err, PLAT_NET_OK);
    EXPECT_EQ(found[0].name, "Jam Night");
    EXPECT_EQ(found[0].instance, server->Instance());
    EXPECT_EQ(found[0].uPort, server->Port());
    EXPECT_EQ(found[0].uMaxPlayers, 5u);
    EXPECT_EQ(found[0].uPlayers, 1u);

    // Another application's query gets no answer.
    auto none = Plat_NetEnumerate(kOtherApp, Loop(server->Port()).c_str(), 300, nullptr, &err);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(err, PLAT_NET_ERR_NOANSWER);

    auto a = Join(*server, alog, "Alice");
    auto b = Join(*server, blog, "Bob");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->PlayerId(), 0u);
    EXPECT_NE(a->PlayerId(), PLAT_NET_SERVER_PLAYER);
    EXPECT_NE(b->PlayerId(), a->PlayerId());
    ASSERT_TRUE(slog.WaitFor(PlatNetEvent::PlayerJoined, 2));
    auto sev = slog.Snapshot();
    EXPECT_EQ(sev[0].uPlayer, a->PlayerId());
    EXPECT_EQ(sev[0].name, "Alice");
    EXPECT_EQ(sev[1].name, "Bob");
    // Each member hears of the other.
    EXPECT_TRUE(alog.WaitFor(PlatNetEvent::PlayerJoined, 1, b->PlayerId()));
    EXPECT_TRUE(blog.WaitFor(PlatNetEvent::PlayerJoined, 1, a->PlayerId()));
    auto players = server->Players();
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[1].second, "Bob");

    // An id is never reused within the session.
    uint32_t gone = a->PlayerId();
    a.reset();
    ASSERT_TRUE(slog.WaitFor(PlatNetEvent::PlayerLeft, 1, gone));
    Log clog;
    auto c = Join(*server, clog, "Carol");
    ASSERT_TRUE(c);
    EXPECT_NE(c->PlayerId(), gone);
    EXPECT_NE(c->PlayerId(), b->PlayerId());
}

TEST_F(NetTest, EveryMessageArrivesWholeAndInOrder)
{
    Log slog, alog, blog;
    auto server = Host(slog, 5);
    auto a = Join(*server, alog, "Alice");
    auto b = Join(*server, blog, "Bob");
    ASSERT_TRUE(server && a && b);

    // Every jam message id, client to server, with sizes from 4 bytes up.
    std::vector<std::vector<uint8_t>> sent;
    for (uint32_t id = 300; id <= 316; ++id)
        sent.push_back(Bytes(id, 4 + (id - 300) * 44));
    for (auto &m : sent)
        ASSERT_EQ(a->Send(m.data(), m.size()), PLAT_NET_OK);
    ASSERT_TRUE(slog.WaitFor(PlatNetEvent::Message, sent.size()));
    EXPECT_EQ(slog.Messages(), sent);
    for (auto &e : slog.Snapshot())
        if (e.kind == PlatNetEvent::Message) {
            EXPECT_EQ(e.uFrom, a->PlayerId());
            EXPECT_EQ(e.uTo, PLAT_NET_SERVER_PLAYER);
        }

    // Server to all, then to one.
    std::vector<std::vector<uint8_t>> relays;
    for (uint32_t id = 400; id <= 415; ++id)
        relays.push_back(Bytes(id, 4 + (id - 400) * 44));
    for (auto &m : relays)
        ASSERT_EQ(server->Send(PLAT_NET_ALL_PLAYERS, m.data(), m.size()), PLAT_NET_OK);
    std::vector<uint8_t> only = Bytes(402, 44);
    ASSERT_EQ(server->Send(b->PlayerId(), only.data(), only.size()), PLAT_NET_OK);
    ASSERT_TRUE(alog.WaitFor(PlatNetEvent::Message, relays.size()));
    ASSERT_TRUE(blog.WaitFor(PlatNetEvent::Message, relays.size() + 1));
    EXPECT_EQ(alog.Messages(), relays);
    auto bm = blog.Messages();
    EXPECT_EQ(bm.back(), only);
    bm.pop_back();
    EXPECT_EQ(bm, relays);

    // A 2 MB template, both ways.
    std::vector<uint8_t> big = Bytes(312, 2097151 + 12);
    ASSERT_EQ(b->Send(big.data(), big.size()), PLAT_NET_OK);
    ASSERT_TRUE(slog.WaitFor(PlatNetEvent::Message, sent.size() + 1));
    EXPECT_EQ(slog.Messages().back(), big);
    big[0] = 411 & 255;
    ASSERT_EQ(server->Send(a->PlayerId(), big.data(), big.size()), PLAT_NET_OK);
    ASSERT_TRUE(alog.WaitFor(PlatNetEvent::Message, relays.size() + 1));
    EXPECT_EQ(alog.Messages().back(), big);

    // Above the cap nothing is sent.
    std::vector<uint8_t> huge(PLAT_NET_MAX_MESSAGE + 1);
    EXPECT_EQ(a->Send(huge.data(), huge.size()), PLAT_NET_ERR_TOOBIG);
    EXPECT_EQ(server->Send(0, huge.data(), huge.size()), PLAT_NET_ERR_TOOBIG);
    // The server player does not send to itself.
    EXPECT_EQ(server->Send(PLAT_NET_SERVER_PLAYER, only.data(), only.size()), PLAT_NET_ERR_REFUSED);
}

TEST_F(NetTest, AClosedClientLeavesForTheServerAndTheOthers)
{
    Log slog, alog, blog;
    auto server = Host(slog, 5);
    auto a = Join(*server, alog, "Alice");
    auto b = Join(*server, blog, "Bob");
    ASSERT_TRUE(server && a && b);
    ASSERT_TRUE(alog.WaitFor(PlatNetEvent::PlayerJoined, 1));
    uint32_t id = a->PlayerId();
    a.reset();
    EXPECT_TRUE(slog.WaitFor(PlatNetEvent::PlayerLeft, 1, id));
    EXPECT_TRUE(blog.WaitFor(PlatNetEvent::PlayerLeft, 1, id));
    EXPECT_TRUE(server->Players().size() == 1);
    // Nobody else is said to have left.
    EXPECT_EQ(blog.Count(PlatNetEvent::PlayerLeft), 1u);
}

TEST_F(NetTest, AKilledServerIsPlayerOneLeavingForEveryClient)
{
    Plat_NetSetPeerTimeout(400);
    Log slog, alog, blog;
    auto server = Host(slog, 5);
    auto a = Join(*server, alog, "Alice");
    auto b = Join(*server, blog, "Bob");
    ASSERT_TRUE(server && a && b);
    server->Abandon();
    EXPECT_TRUE(alog.WaitFor(PlatNetEvent::PlayerLeft, 1, PLAT_NET_SERVER_PLAYER));
    EXPECT_TRUE(blog.WaitFor(PlatNetEvent::PlayerLeft, 1, PLAT_NET_SERVER_PLAYER));
    std::vector<uint8_t> m = Bytes(306, 12);
    EXPECT_EQ(a->Send(m.data(), m.size()), PLAT_NET_ERR_CLOSED);
}

TEST_F(NetTest, AServerThatStopsTellsItsClientsAtOnce)
{
    Log slog, alog;
    auto server = Host(slog, 5);
    auto a = Join(*server, alog, "Alice");
    ASSERT_TRUE(server && a);
    server.reset();
    EXPECT_TRUE(alog.WaitFor(PlatNetEvent::PlayerLeft, 1, PLAT_NET_SERVER_PLAYER));
}

TEST_F(NetTest, AFullSessionRefusesTheNextJoin)
{
    Log slog, alog, blog;
    auto server = Host(slog, 2); // the server player and one client
    auto a = Join(*server, alog, "Alice");
    ASSERT_TRUE(a);
    int err = 0;
    auto b = Join(*server, blog, "Bob", &err);
    EXPECT_FALSE(b);
    EXPECT_EQ(err, PLAT_NET_ERR_FULL);
    // The refused player was never a member.
    EXPECT_EQ(server->Players().size(), 1u);
    EXPECT_EQ(alog.Count(PlatNetEvent::PlayerJoined), 0u);
}

TEST_F(NetTest, KickingEndsAMembership)
{
    Log slog, alog, blog;
    auto server = Host(slog, 5);
    auto a = Join(*server, alog, "Alice");
    auto b = Join(*server, blog, "Bob");
    ASSERT_TRUE(server && a && b);
    server->Kick(a->PlayerId());
    EXPECT_TRUE(slog.WaitFor(PlatNetEvent::PlayerLeft, 1, a->PlayerId()));
    EXPECT_TRUE(blog.WaitFor(PlatNetEvent::PlayerLeft, 1, a->PlayerId()));
    EXPECT_TRUE(alog.WaitFor(PlatNetEvent::PlayerLeft, 1, PLAT_NET_SERVER_PLAYER));
    EXPECT_EQ(slog.Count(PlatNetEvent::PlayerLeft), 1u);
}

TEST_F(NetTest, BroadcastTargetsCanBeLoopbackPorts)
{
    Log s1log, s2log;
    auto s1 = Host(s1log, 5, "First");
    auto s2 = Host(s2log, 5, "Second");
    ASSERT_TRUE(s1 && s2);
    std::string targets = Loop(s1->Port()) + "," + Loop(s2->Port());
    setenv("TNV_NET_ENUM_TARGETS", targets.c_str(), 1);
    int err = 1;
    auto found = Plat_NetEnumerate(kApp, "", 600, nullptr, &err);
    ASSERT_EQ(found.size(), 2u);
    std::vector<std::string> names{found[0].name, found[1].name};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"First", "Second"}));
    // A join through a broadcast answer works as one through a unicast answer.
    Log alog;
    auto a = Plat_NetJoin(found[0], kApp, "Alice", PLAT_NET_JOIN_TIMEOUT_MS, alog.Handler(), nullptr, &err);
    EXPECT_TRUE(a);

    // Nobody on the target: nothing found in the time given.
    s1.reset();
    s2.reset();
    found = Plat_NetEnumerate(kApp, "", 200, nullptr, &err);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(err, PLAT_NET_ERR_NOANSWER);
    setenv("TNV_NET_ENUM_TARGETS", "10.0.0.1", 1); // no port: refused before anything is sent
    found = Plat_NetEnumerate(kApp, "", 200, nullptr, &err);
    EXPECT_EQ(err, PLAT_NET_ERR_ADDRESS);
}

TEST_F(NetTest, TheHostPortComesFromTheTestHookAndIsWrittenOut)
{
    TempDir dir;
    std::string file = dir.Path() + "/port";
    setenv("TNV_NET_PORT", "0", 1);
    setenv("TNV_NET_PORT_FILE", file.c_str(), 1);
    Log slog;
    PlatNetHostParams p;
    p.name = "Hooked";
    p.application = kApp;
    p.uMaxPlayers = 3;
    p.handler = slog.Handler();
    int err;
    auto server = Plat_NetHost(p, &err);
    ASSERT_TRUE(server);
    std::ifstream in(file);
    int port = 0;
    in >> port;
    EXPECT_EQ(port, server->Port());
    EXPECT_NE(port, 0);
    // The port is taken: a second host on it fails.
    setenv("TNV_NET_PORT", std::to_string(port).c_str(), 1);
    EXPECT_FALSE(Plat_NetHost(p, &err));
    EXPECT_EQ(err, PLAT_NET_ERR_SOCKET);
    // Once stopped, the port can be had again.
    server.reset();
    server = Plat_NetHost(p, &err);
    EXPECT_TRUE(server);
}

TEST_F(NetTest, JunkDatagramsAndSilentJoinersChangeNothing)
{
    Log slog, alog;
    auto server = Host(slog, 5);
    ASSERT_TRUE(server);
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server->Port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::vector<std::vector<uint8_t>> junk{
        {},
        {'T', 'N', 'V', 'Q'},
        {'T', 'N', 'V', 'Q', 1, 0, 0, 0, 1, 2, 3},
        std::vector<uint8_t>(24, 0xFF),
        std::vector<uint8_t>(1400, 0x00),
        std::vector<uint8_t>(9000, 0x41),
    };
    for (auto &j : junk)
        sendto(fd, j.data(), j.size(), 0, (sockaddr *)&to, sizeof to);
    close(fd);
    auto a = Join(*server, alog, "Alice");
    ASSERT_TRUE(a);
    std::vector<uint8_t> m = Bytes(302, 4);
    a->Send(m.data(), m.size());
    ASSERT_TRUE(slog.WaitFor(PlatNetEvent::Message, 1));
    EXPECT_EQ(slog.Snapshot().size(), 2u); // the join and the one message
}

TEST_F(NetTest, StoppingJoinsEveryThread)
{
    // The thread sanitizer starts a helper thread of its own with the first thread made; a thread
    // made and joined first keeps that out of the count.
    std::thread([] {}).join();
    int before = ThreadCount();
    {
        Log slog, alog;
        auto server = Host(slog, 5);
        auto a = Join(*server, alog, "Alice");
        ASSERT_TRUE(server && a);
        EXPECT_GT(ThreadCount(), before);
    }
    EXPECT_EQ(ThreadCount(), before);
}

TEST(NetAddressTest, AddressTextsAndTargetLists)
{
    struct Case
    {
        const char *text;
        int result;
        const char *ip;
        uint16_t port;
    } cases[] = {
        {"127.0.0.1", 0, "127.0.0.1", PLAT_NET_DEFAULT_PORT},
        {"127.0.0.1:47701", 0, "127.0.0.1", 47701},
        {" 127.0.0.2:1 ", 0, "127.0.0.2", 1},
        {"127.0.0.1:0", -1, nullptr, 0},
        {"127.0.0.1:65536", -1, nullptr, 0},
        {"127.0.0.1:", -1, nullptr, 0},
        {"127.0.0.1:4x", -1, nullptr, 0},
        {"", -1, nullptr, 0},
        {":47700", -1, nullptr, 0},
    };
    for (const Case &c : cases) {
        uint32_t ip = 0;
        uint16_t port = 0;
        EXPECT_EQ(Plat_NetParseAddress(c.text, &ip, &port), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(ip, inet_addr(c.ip)) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
    std::vector<std::pair<uint32_t, uint16_t>> t;
    unsetenv("TNV_NET_ENUM_TARGETS");
    ASSERT_EQ(Plat_NetEnumTargets(&t), 0);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].first, 0xFFFFFFFFu);
    setenv("TNV_NET_ENUM_TARGETS", "127.0.0.1:47700-47702,127.0.0.3:5", 1);
    ASSERT_EQ(Plat_NetEnumTargets(&t), 0);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[2].second, 47702);
    EXPECT_EQ(t[3].first, inet_addr("127.0.0.3"));
    for (const char *bad : {"127.0.0.1:5-4", "127.0.0.1:1-1000", "127.0.0.1", ","}) {
        setenv("TNV_NET_ENUM_TARGETS", bad, 1);
        EXPECT_EQ(Plat_NetEnumTargets(&t), -1) << bad;
    }
    unsetenv("TNV_NET_ENUM_TARGETS");
}

// The hub: the same contract, delivered only when pumped.
TEST(NetHubTest, JoinsMessagesDeparturesAndKicks)
{
    PlatNetHub hub;
    Log slog, alog, blog, clog;
    PlatNetHostParams p;
    p.name = "Hub Jam";
    p.application = kApp;
    p.uMaxPlayers = 3;
    p.handler = slog.Handler();
    p.hub = &hub;
    int err;
    auto server = Plat_NetHost(p, &err);
    ASSERT_TRUE(server);
    auto found = Plat_NetEnumerate(kApp, "", 0, &hub, &err);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "Hub Jam");
    EXPECT_TRUE(Plat_NetEnumerate(kOtherApp, "", 0, &hub, &err).empty());
    auto a = Plat_NetJoin(found[0], kApp, "Alice", 0, alog.Handler(), &hub, &err);
    auto b = Plat_NetJoin(found[0], kApp, "Bob", 0, blog.Handler(), &hub, &err);
    ASSERT_TRUE(a && b);
    auto c = Plat_NetJoin(found[0], kApp, "Carol", 0, clog.Handler(), &hub, &err);
    EXPECT_FALSE(c);
    EXPECT_EQ(err, PLAT_NET_ERR_FULL);
    EXPECT_EQ(slog.Snapshot().size(), 0u); // nothing until pumped
    hub.Pump();
    EXPECT_EQ(slog.Count(PlatNetEvent::PlayerJoined), 2u);
    EXPECT_EQ(alog.Count(PlatNetEvent::PlayerJoined, b->PlayerId()), 1u);
    EXPECT_EQ(blog.Count(PlatNetEvent::PlayerJoined, a->PlayerId()), 1u);

    std::vector<uint8_t> m = Bytes(306, 12);
    a->Send(m.data(), m.size());
    server->Send(0, m.data(), m.size());
    hub.Pump();
    EXPECT_EQ(slog.Messages().size(), 1u);
    EXPECT_EQ(alog.Messages().size(), 1u);
    EXPECT_EQ(blog.Messages().size(), 1u);

    server->Kick(a->PlayerId());
    hub.Pump();
    EXPECT_EQ(slog.Count(PlatNetEvent::PlayerLeft, a->PlayerId()), 1u);
    EXPECT_EQ(blog.Count(PlatNetEvent::PlayerLeft, a->PlayerId()), 1u);
    EXPECT_EQ(alog.Count(PlatNetEvent::PlayerLeft, PLAT_NET_SERVER_PLAYER), 1u);
    EXPECT_EQ(a->Send(m.data(), m.size()), PLAT_NET_ERR_CLOSED);

    server.reset();
    hub.Pump();
    EXPECT_EQ(blog.Count(PlatNetEvent::PlayerLeft, PLAT_NET_SERVER_PLAYER), 1u);
}

// The session protocol's readers refuse what does not fit.
TEST(NetProtocolTest, MalformedPacketsAreRefused)
{
    PlatNetGuid instance{{9, 9, 9}};
    auto words = [](std::initializer_list<uint32_t> w, const std::vector<uint8_t> &tail = {}) {
        std::vector<uint8_t> out;
        for (uint32_t v : w)
            PlatNet_Put32(out, v);
        out.insert(out.end(), tail.begin(), tail.end());
        return out;
    };
    // From the server, for the client with id 7.
    struct Case
    {
        const char *what;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"empty", {}, false},
        {"kind only", words({PLATNET_DATA}), false},
        {"data without its addressee", words({PLATNET_DATA, 1}), false},
        {"data, empty message", words({PLATNET_DATA, 1, 7}), true},
        {"joined", words({PLATNET_JOINED, 9}, {'B', 'o'}), true},
        {"joined: the client itself", words({PLATNET_JOINED, 7}), false},
        {"joined: the server player", words({PLATNET_JOINED, 1}), false},
        {"joined: name too long", words({PLATNET_JOINED, 9}, std::vector<uint8_t>(PLAT_NET_MAX_NAME + 1, 'x')), false},
        {"left", words({PLATNET_LEFT, 9}), true},
        {"left: the server player", words({PLATNET_LEFT, 1}), false},
        {"left: id 0", words({PLATNET_LEFT, 0}), false},
        {"left with trailing bytes", words({PLATNET_LEFT, 9, 0}), false},
        {"unknown kind", words({77, 9, 9}), false},
        {"a welcome after joining", words({PLATNET_WELCOME, 9}), false},
    };
    for (const Case &c : cases) {
        PlatNetEvent ev{PlatNetEvent::Message};
        EXPECT_EQ(PlatNet_DecodeFromServer(c.bytes.data(), c.bytes.size(), 7, &ev), c.accepted) << c.what;
    }
    PlatNetEvent ev{PlatNetEvent::Message};
    std::vector<uint8_t> name{'A', 'n', 0, 'x'};
    ASSERT_TRUE(PlatNet_DecodeFromServer(words({PLATNET_JOINED, 9}, name).data(), 12, 7, &ev));
    EXPECT_EQ(ev.name, "An"); // cut at a NUL

    std::string who;
    std::vector<uint8_t> hello = words({PLATNET_HELLO, PLATNET_VERSION});
    hello.insert(hello.end(), kApp.b, kApp.b + 16);
    hello.insert(hello.end(), instance.b, instance.b + 16);
    std::vector<uint8_t> named = hello;
    named.insert(named.end(), {'A', 'n', 'n'});
    EXPECT_EQ(PlatNet_ParseHello(named.data(), named.size(), kApp, instance, &who), 0);
    EXPECT_EQ(who, "Ann");
    EXPECT_EQ(PlatNet_ParseHello(hello.data(), hello.size() - 1, kApp, instance, &who), -1);
    EXPECT_EQ(PlatNet_ParseHello(hello.data(), hello.size(), kOtherApp, instance, &who), -1);
    EXPECT_EQ(PlatNet_ParseHello(hello.data(), hello.size(), kApp, PlatNetGuid{}, &who), -1);
    std::vector<uint8_t> oldVersion = hello;
    oldVersion[4] = 2;
    EXPECT_EQ(PlatNet_ParseHello(oldVersion.data(), oldVersion.size(), kApp, instance, &who), -1);

    std::vector<uint8_t> answer = PlatNet_BuildAnswer(kApp, instance, 2, 5, 47701, "Jam");
    PlatNetSessionInfo info;
    ASSERT_EQ(PlatNet_ParseAnswer(answer.data(), answer.size(), kApp, &info), 0);
    EXPECT_EQ(info.uPort, 47701);
    EXPECT_EQ(info.name, "Jam");
    EXPECT_EQ(PlatNet_ParseAnswer(answer.data(), answer.size(), kOtherApp, &info), -1);
    EXPECT_EQ(PlatNet_ParseAnswer(answer.data(), 51, kApp, &info), -1);
    answer[48] = 0;
    answer[49] = 0;
    EXPECT_EQ(PlatNet_ParseAnswer(answer.data(), answer.size(), kApp, &info), -1); // port 0
    PlatNetGuid app;
    std::vector<uint8_t> q = PlatNet_BuildQuery(kApp);
    EXPECT_EQ(PlatNet_ParseQuery(q.data(), q.size(), &app), 0);
    EXPECT_EQ(app, kApp);
    EXPECT_EQ(PlatNet_ParseQuery(q.data(), q.size() - 1, &app), -1);
}
