#include "jam/netsession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "app/cmdline.h"
#include "app/settings.h"
#include "jam/jamsession.h"
#include "platform/clock.h"

const PlatNetGuid g_NetJamApplication{
    {0x87, 0xCE, 0xA8, 0x85, 0x2A, 0x59, 0x11, 0xD3, 0x89, 0x75, 0x00, 0x50, 0x04, 0x6A, 0x2A, 0x5F}};

NETNODE g_NetNode;

// A 16-character address of the join settings ("127.0.0.1:47700" fits).
void Net_NodeFromSettings(NETNODE *node)
{
    node->JoinAddress = g_szJoinAddress;
    node->ServerName = g_szServerName;
    node->iJamPlayers = g_iJamPlayers;
}

static void ResetSlots(NETPLAYERSLOT *slots, const char *name)
{
    for (int s = 0; s < JAM_NET_SLOTS; ++s) {
        slots[s].uPlayerId = 0;
        std::memset(slots[s].szName, 0, sizeof slots[s].szName);
        std::strcpy(slots[s].szName, name);
        slots[s].uState = 0;
    }
}

// ---- Server ----

void Net_HandleSystemMessageB(NETNODE *node, const PlatNetEvent &event)
{
    NETSESSION *b = node->pSessionB;
    if (!b || !node->pJam)
        return;
    JAMNET *net = node->pJam;
    std::vector<uint32_t> refused;
    if (event.kind == PlatNetEvent::PlayerJoined) {
        b->Members.push_back({event.uPlayer, event.name});
        for (auto &[id, name] : b->Members) {
            bool holds = false;
            for (const NETPLAYERSLOT &s : net->aServerSlots)
                holds = holds || s.uPlayerId == id;
            if (id != PLAT_NET_SERVER_PLAYER && !holds && Net_AddServerSlot(net, id, name.c_str()) < 0)
                refused.push_back(id);
        }
    } else if (event.kind == PlatNetEvent::PlayerLeft) {
        std::erase_if(b->Members, [&](const auto &m) { return m.first == event.uPlayer; });
        for (int32_t slot = 0; slot < JAM_NET_SLOTS; ++slot) {
            NETPLAYERSLOT &s = net->aServerSlots[slot];
            if (s.uPlayerId == event.uPlayer) {
                s.uPlayerId = 0;
                std::memset(s.szName, 0, sizeof s.szName);
                std::strcpy(s.szName, "EMPTY");
                Net_ServerSlotGone(node, slot);
            }
        }
    } else {
        return;
    }
    PlatNetServer *server = b->pServerLive.load();
    // A player for whom no slot is free would play as nobody: it is put out of the session.
    for (uint32_t id : refused) {
        std::erase_if(b->Members, [&](const auto &m) { return m.first == id; });
        if (server)
            server->Kick(id);
    }
    if (!refused.empty() && event.kind == PlatNetEvent::PlayerJoined)
        return;
    std::vector<uint8_t> m = Net_BuildIdOnly(NET_MSG_SLOTS_CHANGED);
    if (server)
        server->Send(PLAT_NET_ALL_PLAYERS, m.data(), m.size());
}

// The server's receive thread.
static void ServerEvent(NETNODE *node, PlatNetEvent &event)
{
    if (event.kind != PlatNetEvent::Message) {
        Net_HandleSystemMessageB(node, event);
        return;
    }
    // A message shorter than its id word is dropped.
    if (event.data.size() < 4)
        return;
    if (node->pfnDispatchB)
        node->pfnDispatchB(node, event.data.data(), event.data.size(), event.uFrom);
}

void Net_SetProgramJam(JAMNET *jam)
{
    std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
    g_NetNode.pJam = jam;
}

// The jam step reads a node's session pointers under the program's jam lock, so they change
// under it too.
static std::unique_lock<std::recursive_mutex> HoldNode(NETNODE *node)
{
    if (node == &g_NetNode)
        return std::unique_lock<std::recursive_mutex>(g_JamNet.Lock);
    if (node->pJam)
        return std::unique_lock<std::recursive_mutex>(node->pJam->Lock);
    return {};
}

void Net_StopSessionB(NETNODE *node)
{
    auto hold = HoldNode(node);
    NETSESSION *b = node->pSessionB;
    if (!b)
        return;
    // Stops and joins the receive thread (which takes no jam lock); the clients hear that the
    // server player left.
    b->pServer.reset();
    delete b;
    node->pSessionB = nullptr;
    if (node->pJam)
        ResetSlots(node->pJam->aServerSlots, "");
}

int32_t Net_StartSessionB(NETNODE *node, int32_t mode)
{
    Net_StopSessionB(node);
    NETSESSION *b = new (std::nothrow) NETSESSION;
    if (!b)
        return NET_E_OUTOFMEMORY;
    b->iMode = mode;
    {
        auto hold = HoldNode(node);
        node->pSessionB = b;
    }
    PlatNetHostParams params;
    params.name = node->ServerName;
    params.application = g_NetJamApplication;
    // The server player besides at most four people.
    params.uMaxPlayers = (uint32_t)std::clamp<int32_t>(node->iJamPlayers, 1, (int32_t)JAM_NET_SLOTS) + 1;
    params.iPort = node->iPort;
    params.hub = node->pHub;
    params.handler = [node, b](PlatNetEvent &ev) {
        if (node->pSessionB == b)
            ServerEvent(node, ev);
    };
    int err = 0;
    std::unique_ptr<PlatNetServer> server = Plat_NetHost(params, &err);
    if (!server) {
        // Reported, so that the set-up flow can say so instead of failing at the join.
        Net_StopSessionB(node);
        return NET_E_USERCANCEL;
    }
    b->pServer = std::move(server);
    b->pServerLive = b->pServer.get();
    b->uPlayerId = PLAT_NET_SERVER_PLAYER;
    b->iHost = 1;
    PlatNetGuid g = b->pServer->Instance();
    std::memcpy(node->abHostedSessionGuid, g.b, 16);
    node->bHostedSession = true;
    node->bNetHost = 1;
    node->bNetClient = 0;
    if (node == &g_NetNode) {
        g_bNetHost = 1;
        g_bNetClient = 0;
    }
    return 0;
}

// ---- Client ----

// The client's receive thread: checks and copies, touches no jam state.
static void ClientEvent(NETSESSION *a, PlatNetEvent &event)
{
    NETINBOXENTRY entry;
    entry.uArrivalMs = Plat_Milliseconds();
    if (event.kind == PlatNetEvent::PlayerLeft) {
        entry.uKind = NET_INBOX_PLAYER_LEFT;
        entry.uSender = event.uPlayer;
    } else if (event.kind == PlatNetEvent::Message) {
        NETMSG msg;
        // The template limit can change while the jam runs; the handler checks it again.
        int32_t parsed = Net_ParseServerMessage(event.data.data(), event.data.size(), NET_MAX_TEMPLATE_LIMIT, &msg);
        if (parsed != NET_PARSE_OK) {
            // Ids the client does nothing with are let go; malformed ones are counted.
            std::lock_guard<std::mutex> hold(a->InboxLock);
            a->uRefused += parsed < 0;
            return;
        }
        entry.uKind = NET_INBOX_MESSAGE;
        entry.uSender = event.uFrom;
        entry.Bytes = std::move(event.data);
    } else {
        return;
    }
    std::lock_guard<std::mutex> hold(a->InboxLock);
    a->Inbox.push_back(std::move(entry));
    a->InboxReady.notify_all();
}

int32_t Net_StartSessionA(NETNODE *node, int32_t mode)
{
    Net_StopSessionA(node);
    Net_ClearPendingSends();
    NETSESSION *a = new (std::nothrow) NETSESSION;
    if (!a)
        return NET_E_OUTOFMEMORY;
    a->iMode = mode;
    auto hold = HoldNode(node);
    node->pSessionA = a;
    node->iSessionsFound = 0;
    return 0;
}

void Net_StopSessionA(NETNODE *node)
{
    Net_CancelPendingSends();
    auto hold = HoldNode(node);
    NETSESSION *a = node->pSessionA;
    if (a) {
        // Leaves the session (the server hears of it) and joins the receive thread, which
        // takes no jam lock.
        a->pPlay.reset();
        delete a;
        node->pSessionA = nullptr;
    }
    node->iSessionsFound = 0;
    if (node->pJam) {
        std::lock_guard<std::recursive_mutex> jam(node->pJam->Lock);
        ResetSlots(node->pJam->aClientSlots, "EMPTY");
    }
}

int32_t Net_EnumSessions(NETNODE *node)
{
    NETSESSION *a = node->pSessionA;
    if (!a)
        return 0;
    a->Found.clear();
    node->iSessionsFound = 0;
    const char *address = a->iMode == NET_MODE_ADDRESS ? node->JoinAddress.c_str() : "";
    int err = 0;
    std::vector<PlatNetSessionInfo> found =
        Plat_NetEnumerate(g_NetJamApplication, address, node->iEnumTimeoutMs, node->pHub, &err);
    for (const PlatNetSessionInfo &info : found) {
        NETSESSIONENTRY e{};
        std::strncpy(e.szName, info.name.c_str(), sizeof e.szName - 1);
        std::memcpy(e.abGuid, info.instance.b, 16);
        e.Info = info;
        a->Found.push_back(e);
    }
    node->iSessionsFound = (int32_t)a->Found.size();
    return node->iSessionsFound;
}

int32_t Net_CreatePlayer(NETNODE *node, int32_t index, const char *name)
{
    NETSESSION *a = node->pSessionA;
    if (!a)
        return PLAT_NET_ERR_CLOSED;
    if (a->pPlay)
        return PLAT_NET_ERR_REFUSED; // one player per client session
    PlatNetSessionInfo info;
    bool have = false;
    if (index < 0) {
        if (!node->bHostedSession)
            return PLAT_NET_ERR_NOANSWER;
        PlatNetGuid hosted;
        std::memcpy(hosted.b, node->abHostedSessionGuid, 16);
        NETSESSION *b = node->pSessionB;
        if (b && b->pServer && b->pServer->Instance() == hosted) {
            // This program's own server: reached on this machine whatever the enumeration found.
            info.instance = hosted;
            info.uHostIp = 0x0100007F; // 127.0.0.1
            info.uPort = b->pServer->Port();
            info.hubServer = b->pServer->Port();
            have = true;
        }
        for (size_t i = 0; !have && i < a->Found.size(); ++i)
            if (a->Found[i].Info.instance == hosted) {
                info = a->Found[i].Info;
                have = true;
            }
    } else if (index >= 1 && (size_t)index <= a->Found.size()) {
        info = a->Found[(size_t)index - 1].Info;
        have = true;
    }
    if (!have)
        return PLAT_NET_ERR_NOANSWER;
    int err = 0;
    // The join waits for the server's answer: outside the jam lock, which the jam step takes.
    std::unique_ptr<PlatNetClient> play =
        Plat_NetJoin(info, g_NetJamApplication, name ? name : "", PLAT_NET_JOIN_TIMEOUT_MS,
                     [a](PlatNetEvent &ev) { ClientEvent(a, ev); }, node->pHub, &err);
    if (!play)
        return err ? err : PLAT_NET_ERR_NOANSWER;
    auto hold = HoldNode(node);
    a->uPlayerId = play->PlayerId();
    a->pPlay = std::move(play);
    a->iHost = 0;
    return 0;
}

int32_t Net_SendToServer(NETNODE *node, const std::vector<uint8_t> &message)
{
    NETSESSION *a = node->pSessionA;
    if (!a || !a->pPlay)
        return -1;
    return a->pPlay->Send(message.data(), message.size()) == PLAT_NET_OK ? 0 : -1;
}

int32_t Net_SendFromServer(NETNODE *node, uint32_t to, const std::vector<uint8_t> &message)
{
    NETSESSION *b = node->pSessionB;
    PlatNetServer *server = b ? b->pServerLive.load() : nullptr;
    if (!server)
        return -1;
    return server->Send(to, message.data(), message.size()) == PLAT_NET_OK ? 0 : -1;
}

void Net_TakeInbox(NETNODE *node, std::vector<NETINBOXENTRY> *out)
{
    out->clear();
    NETSESSION *a = node->pSessionA;
    if (!a)
        return;
    std::lock_guard<std::mutex> hold(a->InboxLock);
    for (NETINBOXENTRY &e : a->Inbox)
        out->push_back(std::move(e));
    a->Inbox.clear();
}

bool Net_WaitInbox(NETNODE *node, size_t count, int timeoutMs)
{
    NETSESSION *a = node->pSessionA;
    if (!a)
        return false;
    std::unique_lock<std::mutex> hold(a->InboxLock);
    return a->InboxReady.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                  [&] { return a->Inbox.size() >= count; });
}

int32_t Net_ServiceInbox(NETNODE *node)
{
    std::vector<NETINBOXENTRY> entries;
    Net_TakeInbox(node, &entries);
    for (const NETINBOXENTRY &e : entries) {
        node->uMessageArrivalMs = e.uArrivalMs;
        if (e.uKind == NET_INBOX_PLAYER_LEFT)
            Net_PlayerLeft(node, e.uSender);
        else
            Net_DispatchA(node, e.Bytes.data(), e.Bytes.size(), e.uSender);
    }
    node->uMessageArrivalMs = 0;
    return (int32_t)entries.size();
}

// ---- Session lists and player tables ----

int32_t Net_GetSessionCount(const NETNODE *node)
{
    return node->iSessionsFound;
}

void Net_GetSessionName(const NETNODE *node, int32_t index, char *out, size_t outSize)
{
    const NETSESSION *a = node->pSessionA;
    if (!a || a->Found.empty() || !out || outSize == 0)
        return;
    if (index < 0 || (size_t)index >= a->Found.size())
        index = 0;
    std::strncpy(out, a->Found[(size_t)index].szName, outSize - 1);
    out[outSize - 1] = 0;
}

void Net_ClearPlayerNames(NETNODE *node)
{
    if (!node->pJam)
        return;
    std::lock_guard<std::recursive_mutex> hold(node->pJam->Lock);
    for (NETPLAYERSLOT &s : node->pJam->aSlotNames) {
        std::memset(s.szName, 0, sizeof s.szName);
        s.uState = 0;
    }
    node->pJam->iNetMySlot = 0;
}

void Net_ClearLobbySlots(NETNODE *node)
{
    if (node->pJam)
        ResetSlots(node->pJam->aServerSlots, "EMPTY");
}

void Net_DropPlayer(NETNODE *node, int32_t player)
{
    if (player < 0 || player >= JAM_NET_SLOTS || !node->pJam || !node->pSessionB || !node->pSessionB->pServer)
        return;
    uint32_t id = node->pJam->aClientSlots[player].uPlayerId;
    // Never the server player itself.
    if (id != 0 && id != PLAT_NET_SERVER_PLAYER)
        node->pSessionB->pServer->Kick(id);
}

void Net_ClearPendingSends() {}

void Net_CancelPendingSends() {}
