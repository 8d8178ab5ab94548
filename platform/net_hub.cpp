// The loopback hub: sessions between objects of one process, delivered only when a test pumps.
#include <deque>
#include <map>

#include "platform/net.h"
#include "platform/net_internal.h"

struct PlatNetHub::Impl
{
    struct Member
    {
        uint32_t id;
        std::string name;
        int clientKey;
    };
    struct Server
    {
        PlatNetHostParams params;
        PlatNetGuid instance;
        uint16_t port;
        uint32_t nextId = 2;
        std::vector<Member> members;
    };
    struct Client
    {
        int serverKey; // 0 when the server is gone
        uint32_t id;
        PlatNetHandler handler;
    };
    std::map<int, Server> servers;
    std::map<int, Client> clients;
    int nextKey = 1;
    std::deque<std::pair<int, PlatNetEvent>> queue; // key > 0 server, < 0 client

    void Post(int key, PlatNetEvent ev) { queue.emplace_back(key, std::move(ev)); }
    static PlatNetEvent Left(uint32_t id)
    {
        PlatNetEvent ev{PlatNetEvent::PlayerLeft};
        ev.uPlayer = id;
        return ev;
    }
    static PlatNetEvent Joined(uint32_t id, const std::string &name)
    {
        PlatNetEvent ev{PlatNetEvent::PlayerJoined};
        ev.uPlayer = id;
        ev.name = name;
        return ev;
    }
    // The member leaves: the server and the other members hear of it; the member itself hears
    // that the server is gone.
    void Remove(int serverKey, uint32_t id)
    {
        auto s = servers.find(serverKey);
        if (s == servers.end())
            return;
        auto &m = s->second.members;
        for (size_t i = 0; i < m.size(); ++i) {
            if (m[i].id != id)
                continue;
            int clientKey = m[i].clientKey;
            m.erase(m.begin() + (long)i);
            auto c = clients.find(clientKey);
            if (c != clients.end()) {
                c->second.serverKey = 0;
                Post(-clientKey, Left(PLAT_NET_SERVER_PLAYER));
            }
            Post(serverKey, Left(id));
            for (const Member &o : m)
                Post(-o.clientKey, Left(id));
            return;
        }
    }
};

PlatNetHub::PlatNetHub() : p(new Impl) {}
PlatNetHub::~PlatNetHub() = default;

size_t PlatNetHub::Pending() const
{
    return p->queue.size();
}

int PlatNetHub::Pump(int maxEvents)
{
    int n = 0;
    while (n < maxEvents && !p->queue.empty()) {
        auto [key, ev] = std::move(p->queue.front());
        p->queue.pop_front();
        PlatNetHandler handler;
        if (key > 0) {
            auto s = p->servers.find(key);
            if (s != p->servers.end())
                handler = s->second.params.handler;
        } else {
            auto c = p->clients.find(-key);
            if (c != p->clients.end())
                handler = c->second.handler;
        }
        ++n;
        if (handler)
            handler(ev);
    }
    return n;
}

namespace {

class HubServer : public PlatNetServer
{
public:
    HubServer(PlatNetHub *hub, int key) : m_hub(hub), m_key(key) {}
    ~HubServer() override { Abandon(); }

    int Send(uint32_t to, const void *data, size_t size) override
    {
        if (size > PLAT_NET_MAX_MESSAGE)
            return PLAT_NET_ERR_TOOBIG;
        auto s = m_hub->p->servers.find(m_key);
        if (s == m_hub->p->servers.end())
            return PLAT_NET_ERR_CLOSED;
        for (const auto &m : s->second.members) {
            if (to != PLAT_NET_ALL_PLAYERS && to != m.id)
                continue;
            PlatNetEvent ev{PlatNetEvent::Message};
            ev.uFrom = PLAT_NET_SERVER_PLAYER;
            ev.uTo = to;
            ev.data.assign((const uint8_t *)data, (const uint8_t *)data + size);
            m_hub->p->Post(-m.clientKey, std::move(ev));
        }
        return PLAT_NET_OK;
    }
    void Kick(uint32_t player) override { m_hub->p->Remove(m_key, player); }
    std::vector<std::pair<uint32_t, std::string>> Players() override
    {
        std::vector<std::pair<uint32_t, std::string>> out;
        auto s = m_hub->p->servers.find(m_key);
        if (s != m_hub->p->servers.end())
            for (const auto &m : s->second.members)
                out.push_back({m.id, m.name});
        return out;
    }
    PlatNetGuid Instance() const override
    {
        auto s = m_hub->p->servers.find(m_key);
        return s == m_hub->p->servers.end() ? PlatNetGuid{} : s->second.instance;
    }
    uint16_t Port() const override { return (uint16_t)m_key; }
    void Abandon() override
    {
        auto s = m_hub->p->servers.find(m_key);
        if (s == m_hub->p->servers.end())
            return;
        for (const auto &m : s->second.members) {
            auto c = m_hub->p->clients.find(m.clientKey);
            if (c != m_hub->p->clients.end()) {
                c->second.serverKey = 0;
                m_hub->p->Post(-m.clientKey, PlatNetHub::Impl::Left(PLAT_NET_SERVER_PLAYER));
            }
        }
        m_hub->p->servers.erase(s);
    }

private:
    PlatNetHub *m_hub;
    int m_key;
};

class HubClient : public PlatNetClient
{
public:
    HubClient(PlatNetHub *hub, int key, uint32_t id) : m_hub(hub), m_key(key), m_id(id) {}
    ~HubClient() override
    {
        Abandon();
        m_hub->p->clients.erase(m_key);
    }
    int Send(const void *data, size_t size) override
    {
        if (size > PLAT_NET_MAX_MESSAGE)
            return PLAT_NET_ERR_TOOBIG;
        auto c = m_hub->p->clients.find(m_key);
        if (c == m_hub->p->clients.end() || c->second.serverKey == 0)
            return PLAT_NET_ERR_CLOSED;
        PlatNetEvent ev{PlatNetEvent::Message};
        ev.uFrom = m_id;
        ev.uTo = PLAT_NET_SERVER_PLAYER;
        ev.data.assign((const uint8_t *)data, (const uint8_t *)data + size);
        m_hub->p->Post(c->second.serverKey, std::move(ev));
        return PLAT_NET_OK;
    }
    uint32_t PlayerId() const override { return m_id; }
    void Abandon() override
    {
        auto c = m_hub->p->clients.find(m_key);
        if (c == m_hub->p->clients.end() || c->second.serverKey == 0)
            return;
        m_hub->p->Remove(c->second.serverKey, m_id);
        // Leaving of its own accord: the client needs no word of the server's loss.
        auto &q = m_hub->p->queue;
        for (auto it = q.begin(); it != q.end(); ++it)
            if (it->first == -m_key && it->second.kind == PlatNetEvent::PlayerLeft) {
                q.erase(it);
                break;
            }
        m_hub->p->clients.erase(m_key);
    }

private:
    PlatNetHub *m_hub;
    int m_key;
    uint32_t m_id;
};

} // namespace

std::unique_ptr<PlatNetServer> PlatNet_HubHost(const PlatNetHostParams &params, int *err)
{
    PlatNetHub::Impl &h = *params.hub->p;
    int key = h.nextKey++;
    PlatNetHub::Impl::Server s;
    s.params = params;
    s.params.name = PlatNet_CutName(params.name.c_str());
    s.instance = Plat_NetNewGuid();
    s.port = (uint16_t)key;
    h.servers.emplace(key, std::move(s));
    *err = PLAT_NET_OK;
    return std::make_unique<HubServer>(params.hub, key);
}

std::vector<PlatNetSessionInfo> PlatNet_HubEnumerate(const PlatNetGuid &app, const char *address, PlatNetHub *hub,
                                                     int *err)
{
    std::vector<PlatNetSessionInfo> out;
    uint16_t port = 0;
    if (address && *address) {
        uint32_t ip;
        if (Plat_NetParseAddress(address, &ip, &port) != 0) {
            *err = PLAT_NET_ERR_ADDRESS;
            return out;
        }
    }
    for (auto &[key, s] : hub->p->servers) {
        if (!(s.params.application == app) || (port && s.port != port))
            continue;
        PlatNetSessionInfo info;
        info.name = s.params.name;
        info.instance = s.instance;
        info.uHostIp = 0x0100007F;
        info.uPort = s.port;
        info.uPlayers = (uint32_t)s.members.size() + 1;
        info.uMaxPlayers = s.params.uMaxPlayers;
        info.hubServer = (uintptr_t)key;
        out.push_back(info);
    }
    *err = out.empty() ? PLAT_NET_ERR_NOANSWER : PLAT_NET_OK;
    return out;
}

std::unique_ptr<PlatNetClient> PlatNet_HubJoin(const PlatNetSessionInfo &session, const PlatNetGuid &app,
                                               const char *playerName, PlatNetHandler handler, PlatNetHub *hub,
                                               int *err)
{
    PlatNetHub::Impl &h = *hub->p;
    auto s = h.servers.find((int)session.hubServer);
    if (s == h.servers.end() || !(s->second.instance == session.instance)) {
        *err = PLAT_NET_ERR_NOANSWER;
        return nullptr;
    }
    if (!(s->second.params.application == app)) {
        *err = PLAT_NET_ERR_REFUSED;
        return nullptr;
    }
    if (s->second.members.size() + 1 >= s->second.params.uMaxPlayers) {
        *err = PLAT_NET_ERR_FULL;
        return nullptr;
    }
    int key = h.nextKey++;
    uint32_t id = s->second.nextId++;
    std::string name = PlatNet_CutName(playerName);
    for (const auto &m : s->second.members) {
        h.Post(-m.clientKey, PlatNetHub::Impl::Joined(id, name));
        h.Post(-key, PlatNetHub::Impl::Joined(m.id, m.name));
    }
    s->second.members.push_back({id, name, key});
    h.clients[key] = {s->first, id, std::move(handler)};
    h.Post(s->first, PlatNetHub::Impl::Joined(id, name));
    *err = PLAT_NET_OK;
    return std::make_unique<HubClient>(hub, key, id);
}
