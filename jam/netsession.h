// Network jam sessions: the client session (A) every player opens, and the server session (B) the
// hosting program runs, over the platform's network layer.
//
// All jam traffic goes between a client's player and the server player (id 1): clients send
// messages 300..316 to it, the server sends 400..415 to one client or to all. The hosting program
// talks to itself through the same path.
//
// One program's network side is a NETNODE (the program's own is g_NetNode; tests make several).
// Threads:
//  - the server's receive thread runs Net_DispatchB and the server's system messages; they write
//    only server-owned state (the server slots, template copies), which nothing else writes while
//    the server runs;
//  - the client's receive thread only checks and copies each message into the session's inbox,
//    stamped with its arrival time; the jam step drains it (Net_ServiceInbox) under the jam lock;
//  - starting and stopping run on the main thread, never under the jam lock (stopping joins the
//    receive thread).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jam/netjam.h"
#include "platform/net.h"

// The jam sessions' application id {87CEA885-2A59-11D3-8975-0050046A2A5F}.
extern const PlatNetGuid g_NetJamApplication;

// Results.
constexpr int32_t NET_E_OUTOFMEMORY = (int32_t)0x8007000E;
// The server could not be set up (no port): the set-up flow reports it.
constexpr int32_t NET_E_USERCANCEL = (int32_t)0x88770118;

// Connection modes: 0 by address (`JoinAddress`, or the LAN when empty), 1 the LAN.
enum : int32_t
{
    NET_MODE_ADDRESS = 0,
    NET_MODE_LAN = 1,
};

// A found session.
struct NETSESSIONENTRY
{
    char szName[256];
    uint8_t abGuid[16];
    PlatNetSessionInfo Info;
};

// What the client's receive thread leaves for the jam step.
enum : uint32_t
{
    NET_INBOX_MESSAGE = 0,
    NET_INBOX_PLAYER_LEFT = 1,
};
struct NETINBOXENTRY
{
    uint32_t uKind;
    uint32_t uSender;    // message: the sender; player left: that player's id
    uint32_t uArrivalMs; // Plat_Milliseconds when it came
    std::vector<uint8_t> Bytes;
};

struct NETSESSION
{
    std::unique_ptr<PlatNetClient> pPlay;   // client: the joined session
    std::unique_ptr<PlatNetServer> pServer; // server: the hosted session
    int32_t iMode = 0;
    uint32_t uPlayerId = 0; // client: the joined player; server: 1
    int32_t iSlot = 0;
    int32_t iHost = 0;
    std::vector<NETSESSIONENTRY> Found;

    // Server: the hosted session as its receive thread sees it (set once it exists), and the
    // members it has heard of, in join order.
    std::atomic<PlatNetServer *> pServerLive{nullptr};
    std::vector<std::pair<uint32_t, std::string>> Members;

    std::mutex InboxLock;
    std::condition_variable InboxReady;
    std::deque<NETINBOXENTRY> Inbox;
    uint32_t uRefused = 0; // messages dropped as malformed
};

struct NETNODE
{
    NETSESSION *pSessionA = nullptr;
    NETSESSION *pSessionB = nullptr;
    int32_t iSessionsFound = 0;
    bool bHostedSession = false;
    uint8_t abHostedSessionGuid[16]{};
    int32_t bNetHost = 0;
    int32_t bNetClient = 0;

    // Settings the sessions read.
    std::string JoinAddress;
    std::string ServerName = "New Server";
    int32_t iJamPlayers = 4;
    int iPort = -1;            // -1: TNV_NET_PORT or the default port
    int iEnumTimeoutMs = 1000; // how long a LAN enumeration listens
    PlatNetHub *pHub = nullptr; // tests: sessions on the loopback hub

    JAMNET *pJam = nullptr;

    // Where this node's jam log lines go; empty: the program's jam log.
    std::function<void(const char *)> LogSink;
    // When the message being handled arrived (the inbox stamp), on Sys_GetMilliseconds' clock.
    uint32_t uMessageArrivalMs = 0;
    // Templates: the image the player chose (sent on the server's go-ahead; empty when it could
    // not be loaded), and the copy kept from sending it until the exchange ends.
    std::vector<uint8_t> ChosenTemplate;
    std::vector<uint8_t> SentTemplate;
    // The chosen template is loaded here on the go-ahead and the setup it gives is what goes
    // out (a template the player chose from a file or the archive); else ChosenTemplate goes out
    // as it is. Its parts are assigned once the image has gone, so the others already hold the
    // list entries the assignments name.
    bool bLoadChosenTemplate = false;
    bool bAssignLoadedTemplate = false;
    // Message 404 is written to "testfile.dat" only when this is set (a debugging aid).
    bool bTestDataToFile = false;
    // Position reports heard (the program's own node also checks its position with them).
    uint32_t uPositionReports = 0;
    int32_t iLastReportedStep = 0;
    // Bar and phrase ends of the jam clock already worked off by the jam step.
    uint32_t uBarEndsDone = 0;
    uint32_t uPhraseEndsDone = 0;
    // The server's message handler (tests put a double in its place).
    void (*pfnDispatchB)(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender) = Net_DispatchB;
};

extern NETNODE g_NetNode;

// Sets the jam of the program's node under the program's jam lock (the jam step reads it).
void Net_SetProgramJam(JAMNET *jam);

// Takes the join address, server name and player count from the program's settings.
void Net_NodeFromSettings(NETNODE *node);

int32_t Net_StartSessionB(NETNODE *node, int32_t mode);
void Net_StopSessionB(NETNODE *node);
int32_t Net_StartSessionA(NETNODE *node, int32_t mode);
void Net_StopSessionA(NETNODE *node);
// Enumerates the jam sessions into the found list. Returns their number.
int32_t Net_EnumSessions(NETNODE *node);
// Joins entry `index` (1-based) of the found list, or the session this program hosts (index < 0),
// as a player of that name. 0, or a PLAT_NET_ERR_* code (nothing joined).
int32_t Net_CreatePlayer(NETNODE *node, int32_t index, const char *name);

// Sends one message from the client's player to the server player. 0 or -1.
int32_t Net_SendToServer(NETNODE *node, const std::vector<uint8_t> &message);
// Sends from the server player to a player, or to all (0). 0 or -1.
int32_t Net_SendFromServer(NETNODE *node, uint32_t to, const std::vector<uint8_t> &message);

// Takes everything the client's receive thread has left, oldest first.
void Net_TakeInbox(NETNODE *node, std::vector<NETINBOXENTRY> *out);
// Waits at most timeoutMs (real time) until the inbox holds at least `count` entries. True when it
// does.
bool Net_WaitInbox(NETNODE *node, size_t count, int timeoutMs);
// Drains the inbox into Net_DispatchA and the client's system messages. The jam step calls it
// under the jam lock. Returns the entries handled.
int32_t Net_ServiceInbox(NETNODE *node);

// System messages of the server (a player came or went).
void Net_HandleSystemMessageB(NETNODE *node, const PlatNetEvent &event);

// ---- Session lists and player tables ----

int32_t Net_GetSessionCount(const NETNODE *node);
// Copies the name of found session `index` (0-based; out of range: the first). Nothing when none.
void Net_GetSessionName(const NETNODE *node, int32_t index, char *out, size_t outSize);
// Shown names empty, their flags 0, the own slot 0.
void Net_ClearPlayerNames(NETNODE *node);
// The server's slots: id 0, "EMPTY".
void Net_ClearLobbySlots(NETNODE *node);
// The server ends the membership of the player in slot `player` (0..3) of the client's copy.
void Net_DropPlayer(NETNODE *node, int32_t player);
// Sends are copied by the network layer: nothing is outstanding.
void Net_ClearPendingSends();
void Net_CancelPendingSends();
