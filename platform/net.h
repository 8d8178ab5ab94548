// Network sessions: one server and its clients as a star, over ENet (real backend) or an
// in-process loopback hub (tests).
//
// A session has members ("players") with session-unique ids: the server itself is player 1
// (PLAT_NET_SERVER_PLAYER), every client that joins gets a fresh id above it, never reused while
// the session lives. Every message is guaranteed and ordered. Clients send only to the server
// player; the server sends to one player or to all of them (PLAT_NET_ALL_PLAYERS).
//
// Events (messages, joins and departures) reach the owner through the handler given at creation:
// - a server hears PlayerJoined {id, name} and PlayerLeft {id} of its clients, and Message;
// - a client hears PlayerJoined and PlayerLeft of the other members, Message from the server, and
//   PlayerLeft {1} once when the connection to the server is lost (closed, timed out or kicked).
//
// Threads (ENet): each server and client owns one service thread, the only one that makes ENet
// calls once the object is made; the handler runs on it. Send and Kick only queue and wake it, so
// they may be called from any thread, the handler included. Destroying the object stops and joins
// the thread (never destroy it from its own handler): after that no handler call runs.
// Hub: no threads at all; PlatNetHub::Pump delivers queued events on the caller's thread.
//
// Discovery: a UDP query carrying the application id goes to the given address ("host" or
// "host:port") or, when the address is empty, to the broadcast targets (the LAN broadcast on the
// default port, or the list in TNV_NET_ENUM_TARGETS: "127.0.0.1:47700-47702,127.0.0.1:47800").
// Hosts of that application answer with their session name and instance id.
//
// Host port: PLAT_NET_DEFAULT_PORT unless TNV_NET_PORT says otherwise (0 takes a free port); when
// TNV_NET_PORT_FILE names a file, the host writes the port it listens on into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr uint32_t PLAT_NET_ALL_PLAYERS = 0;
constexpr uint32_t PLAT_NET_SERVER_PLAYER = 1;
constexpr uint16_t PLAT_NET_DEFAULT_PORT = 47700;
// Largest message a member sends or accepts (a 2 MB jam template fits with room to spare).
constexpr size_t PLAT_NET_MAX_MESSAGE = 4u << 20;
// Longest player or session name kept; longer ones are cut.
constexpr size_t PLAT_NET_MAX_NAME = 255;
// How long a join waits for the server's answer.
constexpr int PLAT_NET_JOIN_TIMEOUT_MS = 5000;

enum : int
{
    PLAT_NET_OK = 0,
    PLAT_NET_ERR_SOCKET = -1,   // no socket, port taken, or no thread
    PLAT_NET_ERR_ADDRESS = -2,  // the address text does not name a host
    PLAT_NET_ERR_NOANSWER = -3, // nobody answered in time
    PLAT_NET_ERR_FULL = -4,     // the session holds its maximum of players
    PLAT_NET_ERR_REFUSED = -5,  // another application, another session instance or version
    PLAT_NET_ERR_TOOBIG = -6,   // a message above PLAT_NET_MAX_MESSAGE
    PLAT_NET_ERR_CLOSED = -7,   // the connection is gone
};

struct PlatNetGuid
{
    uint8_t b[16];
    bool operator==(const PlatNetGuid &) const = default;
};
// A fresh random instance id.
PlatNetGuid Plat_NetNewGuid();

struct PlatNetEvent
{
    enum Kind
    {
        Message,
        PlayerJoined,
        PlayerLeft,
    } kind;
    uint32_t uFrom = 0;   // Message: the sending player
    uint32_t uTo = 0;     // Message: the addressee (1, or a client id, or 0 = all)
    uint32_t uPlayer = 0; // PlayerJoined / PlayerLeft
    std::string name;     // PlayerJoined
    std::vector<uint8_t> data;
};
using PlatNetHandler = std::function<void(PlatNetEvent &)>;

// One session found by discovery.
struct PlatNetSessionInfo
{
    std::string name;
    PlatNetGuid instance{};
    uint32_t uHostIp = 0; // IPv4, network byte order
    uint16_t uPort = 0;
    uint32_t uPlayers = 0;    // members now, the server player included
    uint32_t uMaxPlayers = 0; // the server player included
    uintptr_t hubServer = 0;  // hub sessions: which server
};

class PlatNetHub;

class PlatNetServer
{
public:
    virtual ~PlatNetServer() = default;
    // Queues a copy of the message for one player or all (0). PLAT_NET_ERR_TOOBIG above the cap.
    virtual int Send(uint32_t to, const void *data, size_t size) = 0;
    // Ends that player's membership: every member hears PlayerLeft {id}.
    virtual void Kick(uint32_t player) = 0;
    // The clients now in the session (the server player not included), in join order.
    virtual std::vector<std::pair<uint32_t, std::string>> Players() = 0;
    virtual PlatNetGuid Instance() const = 0;
    virtual uint16_t Port() const = 0;
    // Tests: vanish without telling anybody, as a crashed program does.
    virtual void Abandon() = 0;
};

class PlatNetClient
{
public:
    virtual ~PlatNetClient() = default;
    // Queues a copy of the message for the server player.
    virtual int Send(const void *data, size_t size) = 0;
    virtual uint32_t PlayerId() const = 0;
    // Tests: vanish without telling anybody.
    virtual void Abandon() = 0;
};

struct PlatNetHostParams
{
    std::string name;          // the session name
    PlatNetGuid application{}; // only clients of this application may join or find it
    uint32_t uMaxPlayers = 2;  // the server player included
    int iPort = -1;            // -1: TNV_NET_PORT or the default; 0: a free port
    PlatNetHandler handler;
    PlatNetHub *hub = nullptr; // non-null: a session of the loopback hub
};

// Hosts a session. Returns null (and *err) when the port cannot be had.
std::unique_ptr<PlatNetServer> Plat_NetHost(const PlatNetHostParams &params, int *err);

// Finds the sessions of an application, in the order the answers came, each once. A unicast query
// returns at the first answer; a broadcast waits the whole time-out. *err gets
// PLAT_NET_ERR_ADDRESS for an address that names no host.
std::vector<PlatNetSessionInfo> Plat_NetEnumerate(const PlatNetGuid &application, const char *address,
                                                  int timeoutMs, PlatNetHub *hub, int *err);

// Joins a session found by discovery under a player name. Returns null (and *err) when the session
// does not answer within the time-out or refuses the player.
std::unique_ptr<PlatNetClient> Plat_NetJoin(const PlatNetSessionInfo &session, const PlatNetGuid &application,
                                            const char *playerName, int timeoutMs, PlatNetHandler handler,
                                            PlatNetHub *hub, int *err);

// Parses "host" or "host:port" (port 1..65535; default PLAT_NET_DEFAULT_PORT). 0 or -1.
int Plat_NetParseAddress(const char *text, uint32_t *ip, uint16_t *port);
// The broadcast targets: TNV_NET_ENUM_TARGETS when set (-1 when it cannot be read), else the
// limited broadcast address on the default port.
int Plat_NetEnumTargets(std::vector<std::pair<uint32_t, uint16_t>> *targets);
// The port a host takes: TNV_NET_PORT when set and valid (0 = free), else the default.
int Plat_NetHostPort();

// Tests: the time after which a silent peer counts as gone (default 10000 ms).
void Plat_NetSetPeerTimeout(uint32_t ms);

// The in-process loopback hub: servers and clients made with it deliver to each other only when
// Pump runs, in the order the events were queued. Not thread-safe: one test thread drives it. The
// hub must outlive every server and client made with it.
class PlatNetHub
{
public:
    PlatNetHub();
    ~PlatNetHub();
    // Delivers queued events (those that handlers queue meanwhile included), at most maxEvents.
    // Returns the number delivered.
    int Pump(int maxEvents = 100000);
    // Events waiting for delivery.
    size_t Pending() const;

    struct Impl;
    std::unique_ptr<Impl> p;
};
