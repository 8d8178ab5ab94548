// The real network backend: sessions over ENet's reliable channel, discovery by datagrams that the
// host's own socket answers.
#include <enet/enet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/net.h"
#include "platform/net_internal.h"

std::unique_ptr<PlatNetServer> PlatNet_HubHost(const PlatNetHostParams &params, int *err);
std::vector<PlatNetSessionInfo> PlatNet_HubEnumerate(const PlatNetGuid &app, const char *address, PlatNetHub *hub,
                                                     int *err);
std::unique_ptr<PlatNetClient> PlatNet_HubJoin(const PlatNetSessionInfo &session, const PlatNetGuid &app,
                                               const char *playerName, PlatNetHandler handler, PlatNetHub *hub,
                                               int *err);

namespace {

using Clock = std::chrono::steady_clock;

// How long the service thread sleeps at most between ENet's own timer work.
constexpr int SERVICE_SLICE_MS = 10;
// A connection that never says hello is dropped after this long.
constexpr int HELLO_TIMEOUT_MS = 5000;
// Events handled per service round before the queue of sends gets its turn again.
constexpr int EVENTS_PER_ROUND = 256;

bool EnsureEnet()
{
    static bool ok = [] {
        if (enet_initialize() != 0)
            return false;
        std::atexit(enet_deinitialize);
        return true;
    }();
    return ok;
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

ENetPacket *MakePacket(uint32_t kind, uint32_t a, uint32_t b, const void *payload, size_t size, bool withAB)
{
    size_t head = withAB ? PLATNET_DATA_HEADER : 4;
    ENetPacket *pk = enet_packet_create(nullptr, head + size, ENET_PACKET_FLAG_RELIABLE);
    if (!pk)
        return nullptr;
    std::vector<uint8_t> h;
    PlatNet_Put32(h, kind);
    if (withAB) {
        PlatNet_Put32(h, a);
        PlatNet_Put32(h, b);
    }
    std::memcpy(pk->data, h.data(), h.size());
    if (size)
        std::memcpy(pk->data + head, payload, size);
    return pk;
}

ENetPacket *MakeControl(const std::vector<uint8_t> &bytes)
{
    return enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
}

// Sends to one peer; frees the packet when the peer did not take it.
void SendOne(ENetPeer *peer, ENetPacket *pk)
{
    if (!pk)
        return;
    if (enet_peer_send(peer, 0, pk) < 0 && pk->referenceCount == 0)
        enet_packet_destroy(pk);
}

// An eventfd that wakes the service thread.
class Waker
{
public:
    Waker() : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~Waker()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Wake()
    {
        uint64_t one = 1;
        ssize_t r = write(m_fd, &one, sizeof one);
        (void)r;
    }
    void Drain()
    {
        uint64_t v;
        ssize_t r = read(m_fd, &v, sizeof v);
        (void)r;
    }

private:
    int m_fd;
};

void WaitSocket(ENetHost *host, int wakeFd, int ms)
{
    pollfd fds[2] = {{host->socket, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    poll(fds, wakeFd >= 0 ? 2 : 1, ms);
}

thread_local class EnetServer *t_server = nullptr;

class EnetServer : public PlatNetServer
{
public:
    EnetServer(const PlatNetHostParams &params, ENetHost *host, uint16_t port)
        : m_params(params), m_host(host), m_port(port), m_instance(Plat_NetNewGuid())
    {
        m_params.name = PlatNet_CutName(params.name.c_str());
        m_host->intercept = &EnetServer::Intercept;
    }
    bool Start()
    {
        if (!m_wake.Ok())
            return false;
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (...) {
            return false;
        }
        return true;
    }
    ~EnetServer() override
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_wake.Wake();
            m_thread.join();
        } else if (m_host) {
            enet_host_destroy(m_host);
        }
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto &o : m_out)
            enet_packet_destroy(o.second);
    }

    int Send(uint32_t to, const void *data, size_t size) override
    {
        if (size > PLAT_NET_MAX_MESSAGE)
            return PLAT_NET_ERR_TOOBIG;
        if (to == PLAT_NET_SERVER_PLAYER)
            return PLAT_NET_ERR_REFUSED;
        ENetPacket *pk = MakePacket(PLATNET_DATA, PLAT_NET_SERVER_PLAYER, to, data, size, true);
        if (!pk)
            return PLAT_NET_ERR_SOCKET;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_out.push_back({to, pk});
        }
        m_wake.Wake();
        return PLAT_NET_OK;
    }
    void Kick(uint32_t player) override
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_kicks.push_back(player);
        }
        m_wake.Wake();
    }
    std::vector<std::pair<uint32_t, std::string>> Players() override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_members;
    }
    PlatNetGuid Instance() const override { return m_instance; }
    uint16_t Port() const override { return m_port; }
    void Abandon() override
    {
        m_abandon = true;
        if (m_thread.joinable()) {
            m_stop = true;
            m_wake.Wake();
            m_thread.join();
        }
    }

private:
    struct Peer
    {
        ENetPeer *peer;
        uint32_t id; // 0 until welcomed
        bool closing;
        int64_t since;
    };

    static int Intercept(ENetHost *host, ENetEvent *)
    {
        EnetServer *s = t_server;
        if (!s || host != s->m_host)
            return 0;
        PlatNetGuid app;
        if (PlatNet_ParseQuery(host->receivedData, host->receivedDataLength, &app) != 0)
            return 0;
        if (app == s->m_params.application) {
            uint32_t players;
            {
                std::lock_guard<std::mutex> hold(s->m_lock);
                players = (uint32_t)s->m_members.size() + 1;
            }
            std::vector<uint8_t> a = PlatNet_BuildAnswer(app, s->m_instance, players, s->m_params.uMaxPlayers,
                                                         s->m_port, s->m_params.name);
            ENetBuffer buf{a.data(), a.size()};
            enet_socket_send(host->socket, &host->receivedAddress, &buf, 1);
        }
        return 1;
    }

    void Run()
    {
        t_server = this;
        while (!m_stop) {
            WaitSocket(m_host, m_wake.Fd(), SERVICE_SLICE_MS);
            m_wake.Drain();
            Flush();
            ENetEvent ev;
            int n = 0;
            while (n++ < EVENTS_PER_ROUND && !m_stop && enet_host_service(m_host, &ev, 0) > 0)
                Handle(ev);
            DropSilent();
            Flush();
            enet_host_flush(m_host);
        }
        if (!m_abandon) {
            for (Peer &p : m_peers)
                enet_peer_disconnect_now(p.peer, 0);
            enet_host_flush(m_host);
        }
        enet_host_destroy(m_host);
        m_host = nullptr;
        t_server = nullptr;
    }

    Peer *Find(ENetPeer *peer)
    {
        for (Peer &p : m_peers)
            if (p.peer == peer)
                return &p;
        return nullptr;
    }

    void Deliver(PlatNetEvent &ev)
    {
        if (m_params.handler)
            m_params.handler(ev);
    }

    void ToMembers(const std::vector<uint8_t> &bytes, uint32_t except)
    {
        for (Peer &p : m_peers)
            if (p.id && !p.closing && p.id != except)
                SendOne(p.peer, MakeControl(bytes));
    }

    // The member is gone (left, timed out or kicked): the others and the owner hear of it.
    void MemberGone(uint32_t id)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            for (size_t i = 0; i < m_members.size(); ++i)
                if (m_members[i].first == id) {
                    m_members.erase(m_members.begin() + (long)i);
                    break;
                }
        }
        std::vector<uint8_t> left;
        PlatNet_Put32(left, PLATNET_LEFT);
        PlatNet_Put32(left, id);
        ToMembers(left, id);
        PlatNetEvent ev{PlatNetEvent::PlayerLeft};
        ev.uPlayer = id;
        Deliver(ev);
    }

    void Refuse(Peer &p, uint32_t reason)
    {
        std::vector<uint8_t> r;
        PlatNet_Put32(r, PLATNET_REFUSED);
        PlatNet_Put32(r, reason);
        SendOne(p.peer, MakeControl(r));
        enet_peer_disconnect_later(p.peer, 0);
        p.closing = true;
    }

    void Hello(Peer &p, const uint8_t *d, size_t n)
    {
        std::string name;
        if (PlatNet_ParseHello(d, n, m_params.application, m_instance, &name) != 0) {
            Refuse(p, (uint32_t)-PLAT_NET_ERR_REFUSED);
            return;
        }
        std::vector<std::pair<uint32_t, std::string>> before;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_members.size() + 1 >= m_params.uMaxPlayers) {
                Refuse(p, (uint32_t)-PLAT_NET_ERR_FULL);
                return;
            }
            before = m_members;
            p.id = m_nextId++;
            m_members.push_back({p.id, name});
        }
        std::vector<uint8_t> w;
        PlatNet_Put32(w, PLATNET_WELCOME);
        PlatNet_Put32(w, p.id);
        SendOne(p.peer, MakeControl(w));
        for (auto &[id, other] : before) {
            std::vector<uint8_t> j;
            PlatNet_Put32(j, PLATNET_JOINED);
            PlatNet_Put32(j, id);
            j.insert(j.end(), other.begin(), other.end());
            SendOne(p.peer, MakeControl(j));
        }
        std::vector<uint8_t> j;
        PlatNet_Put32(j, PLATNET_JOINED);
        PlatNet_Put32(j, p.id);
        j.insert(j.end(), name.begin(), name.end());
        ToMembers(j, p.id);
        PlatNetEvent ev{PlatNetEvent::PlayerJoined};
        ev.uPlayer = p.id;
        ev.name = name;
        Deliver(ev);
    }

    void Handle(ENetEvent &ev)
    {
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            enet_peer_timeout(ev.peer, 0, g_uPlatNetPeerTimeoutMs, g_uPlatNetPeerTimeoutMs);
            m_peers.push_back({ev.peer, 0, false, NowMs()});
            break;
        case ENET_EVENT_TYPE_RECEIVE: {
            Peer *p = Find(ev.peer);
            const uint8_t *d = ev.packet->data;
            size_t n = ev.packet->dataLength;
            if (p && !p->closing && n >= 4) {
                uint32_t kind = PlatNet_Get32(d);
                if (!p->id && kind == PLATNET_HELLO) {
                    Hello(*p, d, n);
                } else if (p->id && kind == PLATNET_DATA && n >= PLATNET_DATA_HEADER &&
                           n - PLATNET_DATA_HEADER <= PLAT_NET_MAX_MESSAGE) {
                    PlatNetEvent msg{PlatNetEvent::Message};
                    msg.uFrom = p->id;
                    msg.uTo = PLAT_NET_SERVER_PLAYER;
                    msg.data.assign(d + PLATNET_DATA_HEADER, d + n);
                    enet_packet_destroy(ev.packet);
                    Deliver(msg);
                    return;
                }
            }
            enet_packet_destroy(ev.packet);
            break;
        }
        case ENET_EVENT_TYPE_DISCONNECT: {
            for (size_t i = 0; i < m_peers.size(); ++i) {
                if (m_peers[i].peer != ev.peer)
                    continue;
                Peer p = m_peers[i];
                m_peers.erase(m_peers.begin() + (long)i);
                if (p.id && !p.closing)
                    MemberGone(p.id);
                break;
            }
            break;
        }
        default:
            break;
        }
    }

    void DropSilent()
    {
        int64_t now = NowMs();
        for (Peer &p : m_peers)
            if (!p.id && !p.closing && now - p.since > HELLO_TIMEOUT_MS) {
                enet_peer_disconnect_later(p.peer, 0);
                p.closing = true;
            }
    }

    void Flush()
    {
        std::vector<std::pair<uint32_t, ENetPacket *>> out;
        std::vector<uint32_t> kicks;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            out.swap(m_out);
            kicks.swap(m_kicks);
        }
        for (auto &[to, pk] : out) {
            for (Peer &p : m_peers)
                if (p.id && !p.closing && (to == PLAT_NET_ALL_PLAYERS || to == p.id))
                    enet_peer_send(p.peer, 0, pk);
            if (pk->referenceCount == 0)
                enet_packet_destroy(pk);
        }
        for (uint32_t id : kicks)
            for (Peer &p : m_peers)
                if (p.id == id && !p.closing) {
                    enet_peer_disconnect_later(p.peer, 0);
                    p.closing = true;
                    MemberGone(id);
                    break;
                }
    }

    PlatNetHostParams m_params;
    ENetHost *m_host;
    uint16_t m_port;
    PlatNetGuid m_instance;
    Waker m_wake;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abandon{false};
    std::mutex m_lock; // m_out, m_kicks, m_members, m_nextId
    std::vector<std::pair<uint32_t, ENetPacket *>> m_out;
    std::vector<uint32_t> m_kicks;
    std::vector<std::pair<uint32_t, std::string>> m_members;
    uint32_t m_nextId = 2;
    std::vector<Peer> m_peers; // service thread only
};

class EnetClient : public PlatNetClient
{
public:
    EnetClient(ENetHost *host, ENetPeer *peer, PlatNetHandler handler)
        : m_host(host), m_peer(peer), m_handler(std::move(handler))
    {
    }
    ~EnetClient() override
    {
        Stop();
        if (m_host)
            enet_host_destroy(m_host);
        std::lock_guard<std::mutex> hold(m_lock);
        for (ENetPacket *pk : m_out)
            enet_packet_destroy(pk);
    }

    // Says hello and waits for the answer on the calling thread; then the service thread takes over.
    int Join(const PlatNetGuid &app, const PlatNetGuid &instance, const std::string &name, int64_t deadline)
    {
        if (!m_wake.Ok())
            return PLAT_NET_ERR_SOCKET;
        ENetEvent ev;
        bool connected = false;
        while (!connected && NowMs() < deadline) {
            int r = enet_host_service(m_host, &ev, (uint32_t)std::min<int64_t>(50, deadline - NowMs()));
            if (r < 0)
                return PLAT_NET_ERR_SOCKET;
            if (r > 0 && ev.type == ENET_EVENT_TYPE_CONNECT)
                connected = true;
            else if (r > 0 && ev.type == ENET_EVENT_TYPE_DISCONNECT)
                return PLAT_NET_ERR_NOANSWER;
            else if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(ev.packet);
        }
        if (!connected)
            return PLAT_NET_ERR_NOANSWER;
        enet_peer_timeout(m_peer, 0, g_uPlatNetPeerTimeoutMs, g_uPlatNetPeerTimeoutMs);
        std::vector<uint8_t> h;
        PlatNet_Put32(h, PLATNET_HELLO);
        PlatNet_Put32(h, PLATNET_VERSION);
        h.insert(h.end(), app.b, app.b + 16);
        h.insert(h.end(), instance.b, instance.b + 16);
        h.insert(h.end(), name.begin(), name.end());
        SendOne(m_peer, MakeControl(h));
        enet_host_flush(m_host);
        while (NowMs() < deadline) {
            int r = enet_host_service(m_host, &ev, (uint32_t)std::min<int64_t>(50, deadline - NowMs()));
            if (r < 0)
                return PLAT_NET_ERR_SOCKET;
            if (r == 0)
                continue;
            if (ev.type == ENET_EVENT_TYPE_DISCONNECT)
                return m_refusal ? m_refusal : PLAT_NET_ERR_NOANSWER;
            if (ev.type != ENET_EVENT_TYPE_RECEIVE)
                continue;
            const uint8_t *d = ev.packet->data;
            size_t n = ev.packet->dataLength;
            if (n >= 8 && PlatNet_Get32(d) == PLATNET_WELCOME && !m_id) {
                m_id = PlatNet_Get32(d + 4);
            } else if (n >= 8 && PlatNet_Get32(d) == PLATNET_REFUSED) {
                uint32_t reason = PlatNet_Get32(d + 4);
                m_refusal = reason == (uint32_t)-PLAT_NET_ERR_FULL ? PLAT_NET_ERR_FULL : PLAT_NET_ERR_REFUSED;
            } else {
                PlatNetEvent out;
                if (Decode(d, n, &out))
                    m_pending.push_back(std::move(out));
            }
            enet_packet_destroy(ev.packet);
            if (m_id)
                break;
        }
        if (!m_id || m_id == PLAT_NET_SERVER_PLAYER)
            return m_refusal ? m_refusal : PLAT_NET_ERR_NOANSWER;
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (...) {
            return PLAT_NET_ERR_SOCKET;
        }
        return PLAT_NET_OK;
    }

    int Send(const void *data, size_t size) override
    {
        if (size > PLAT_NET_MAX_MESSAGE)
            return PLAT_NET_ERR_TOOBIG;
        if (m_lost)
            return PLAT_NET_ERR_CLOSED;
        ENetPacket *pk = MakePacket(PLATNET_DATA, m_id, PLAT_NET_SERVER_PLAYER, data, size, true);
        if (!pk)
            return PLAT_NET_ERR_SOCKET;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_out.push_back(pk);
        }
        m_wake.Wake();
        return PLAT_NET_OK;
    }
    uint32_t PlayerId() const override { return m_id; }
    void Abandon() override
    {
        m_abandon = true;
        Stop();
    }

private:
    void Stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_wake.Wake();
            m_thread.join();
        }
    }

    bool Decode(const uint8_t *d, size_t n, PlatNetEvent *out) { return PlatNet_DecodeFromServer(d, n, m_id, out); }

    void Deliver(PlatNetEvent &ev)
    {
        if (m_handler)
            m_handler(ev);
    }

    void Lost()
    {
        if (m_lost.exchange(true))
            return;
        PlatNetEvent ev{PlatNetEvent::PlayerLeft};
        ev.uPlayer = PLAT_NET_SERVER_PLAYER;
        Deliver(ev);
    }

    void Run()
    {
        for (PlatNetEvent &ev : m_pending)
            Deliver(ev);
        m_pending.clear();
        while (!m_stop) {
            WaitSocket(m_host, m_wake.Fd(), SERVICE_SLICE_MS);
            m_wake.Drain();
            Flush();
            ENetEvent ev;
            int n = 0;
            while (n++ < EVENTS_PER_ROUND && !m_stop && !m_lost && enet_host_service(m_host, &ev, 0) > 0) {
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
                    PlatNetEvent out;
                    bool ok = Decode(ev.packet->data, ev.packet->dataLength, &out);
                    enet_packet_destroy(ev.packet);
                    if (ok)
                        Deliver(out);
                } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
                    m_peer = nullptr;
                    Lost();
                }
            }
            Flush();
            enet_host_flush(m_host);
        }
        if (m_peer && !m_abandon && !m_lost)
            enet_peer_disconnect_now(m_peer, 0);
        enet_host_flush(m_host);
        enet_host_destroy(m_host);
        m_host = nullptr;
    }

    void Flush()
    {
        std::vector<ENetPacket *> out;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            out.swap(m_out);
        }
        for (ENetPacket *pk : out) {
            if (m_peer && !m_lost)
                SendOne(m_peer, pk);
            else
                enet_packet_destroy(pk);
        }
    }

    ENetHost *m_host;
    ENetPeer *m_peer;
    PlatNetHandler m_handler;
    uint32_t m_id = 0;
    int m_refusal = 0;
    Waker m_wake;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abandon{false};
    std::atomic<bool> m_lost{false};
    std::mutex m_lock;
    std::vector<ENetPacket *> m_out;
    std::vector<PlatNetEvent> m_pending;
};

} // namespace

std::unique_ptr<PlatNetServer> Plat_NetHost(const PlatNetHostParams &params, int *err)
{
    int dummy;
    if (!err)
        err = &dummy;
    if (params.hub)
        return PlatNet_HubHost(params, err);
    *err = PLAT_NET_ERR_SOCKET;
    if (!EnsureEnet() || params.uMaxPlayers < 1)
        return nullptr;
    ENetAddress addr{};
    addr.host = ENET_HOST_ANY;
    int port = params.iPort < 0 ? Plat_NetHostPort() : params.iPort;
    addr.port = (uint16_t)port;
    ENetHost *host = enet_host_create(&addr, params.uMaxPlayers + 3, 1, 0, 0);
    if (!host)
        return nullptr;
    host->maximumPacketSize = PLAT_NET_MAX_MESSAGE + PLATNET_DATA_HEADER;
    ENetAddress bound{};
    if (enet_socket_get_address(host->socket, &bound) != 0) {
        enet_host_destroy(host);
        return nullptr;
    }
    auto server = std::make_unique<EnetServer>(params, host, bound.port);
    if (!server->Start())
        return nullptr;
    if (params.iPort < 0)
        PlatNet_WritePortFile(bound.port);
    *err = PLAT_NET_OK;
    return server;
}

std::vector<PlatNetSessionInfo> Plat_NetEnumerate(const PlatNetGuid &application, const char *address,
                                                  int timeoutMs, PlatNetHub *hub, int *err)
{
    int dummy;
    if (!err)
        err = &dummy;
    if (hub)
        return PlatNet_HubEnumerate(application, address, hub, err);
    std::vector<PlatNetSessionInfo> out;
    std::vector<std::pair<uint32_t, uint16_t>> targets;
    bool unicast = address && *address;
    if (unicast) {
        uint32_t ip;
        uint16_t port;
        if (Plat_NetParseAddress(address, &ip, &port) != 0) {
            *err = PLAT_NET_ERR_ADDRESS;
            return out;
        }
        targets.push_back({ip, port});
    } else if (Plat_NetEnumTargets(&targets) != 0) {
        *err = PLAT_NET_ERR_ADDRESS;
        return out;
    }
    *err = PLAT_NET_ERR_SOCKET;
    if (!EnsureEnet())
        return out;
    ENetSocket sock = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (sock == ENET_SOCKET_NULL)
        return out;
    enet_socket_set_option(sock, ENET_SOCKOPT_NONBLOCK, 1);
    enet_socket_set_option(sock, ENET_SOCKOPT_BROADCAST, 1);
    std::vector<uint8_t> query = PlatNet_BuildQuery(application);
    int64_t start = NowMs();
    int64_t deadline = start + std::max(timeoutMs, 1);
    int64_t nextQuery = start;
    bool done = false;
    while (!done && NowMs() < deadline) {
        if (NowMs() >= nextQuery) {
            // Queries are repeated: a datagram may be lost.
            for (auto &[ip, port] : targets) {
                ENetAddress to{};
                to.host = ip;
                to.port = port;
                ENetBuffer buf{query.data(), query.size()};
                enet_socket_send(sock, &to, &buf, 1);
            }
            nextQuery = NowMs() + 250;
        }
        enet_uint32 cond = ENET_SOCKET_WAIT_RECEIVE;
        int64_t wait = std::max<int64_t>(1, std::min(nextQuery, deadline) - NowMs());
        if (enet_socket_wait(sock, &cond, (enet_uint32)wait) != 0 || !(cond & ENET_SOCKET_WAIT_RECEIVE))
            continue;
        for (int i = 0; i < 64; ++i) {
            uint8_t data[600];
            ENetBuffer buf{data, sizeof data};
            ENetAddress from{};
            int n = enet_socket_receive(sock, &from, &buf, 1);
            if (n <= 0)
                break;
            PlatNetSessionInfo info;
            if (PlatNet_ParseAnswer(data, (size_t)n, application, &info) != 0)
                continue;
            info.uHostIp = from.host;
            bool seen = false;
            for (const auto &o : out)
                seen = seen || o.instance == info.instance;
            if (!seen)
                out.push_back(info);
            if (unicast)
                done = true;
        }
    }
    enet_socket_destroy(sock);
    *err = out.empty() ? PLAT_NET_ERR_NOANSWER : PLAT_NET_OK;
    return out;
}

std::unique_ptr<PlatNetClient> Plat_NetJoin(const PlatNetSessionInfo &session, const PlatNetGuid &application,
                                            const char *playerName, int timeoutMs, PlatNetHandler handler,
                                            PlatNetHub *hub, int *err)
{
    int dummy;
    if (!err)
        err = &dummy;
    if (hub)
        return PlatNet_HubJoin(session, application, playerName, std::move(handler), hub, err);
    *err = PLAT_NET_ERR_SOCKET;
    if (!EnsureEnet())
        return nullptr;
    ENetHost *host = enet_host_create(nullptr, 1, 1, 0, 0);
    if (!host)
        return nullptr;
    host->maximumPacketSize = PLAT_NET_MAX_MESSAGE + PLATNET_DATA_HEADER;
    ENetAddress to{};
    to.host = session.uHostIp;
    to.port = session.uPort;
    ENetPeer *peer = enet_host_connect(host, &to, 1, 0);
    if (!peer) {
        enet_host_destroy(host);
        return nullptr;
    }
    auto client = std::make_unique<EnetClient>(host, peer, std::move(handler));
    *err = client->Join(application, session.instance, PlatNet_CutName(playerName), NowMs() + std::max(timeoutMs, 1));
    if (*err != PLAT_NET_OK)
        return nullptr;
    return client;
}
