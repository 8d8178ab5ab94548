// Address texts, broadcast targets, the host port and the instance ids of the network layer.
#include "platform/net.h"
#include "platform/net_internal.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

std::atomic<uint32_t> g_uPlatNetPeerTimeoutMs{10000};

void Plat_NetSetPeerTimeout(uint32_t ms)
{
    g_uPlatNetPeerTimeoutMs = ms ? ms : 10000;
}

PlatNetGuid Plat_NetNewGuid()
{
    static std::mutex lock;
    static std::random_device device;
    std::lock_guard<std::mutex> hold(lock);
    PlatNetGuid g;
    for (int i = 0; i < 16; i += 4) {
        uint32_t v = device();
        std::memcpy(g.b + i, &v, 4);
    }
    return g;
}

static int ParsePort(const char *s, const char *end, uint16_t *port)
{
    if (s == end || end - s > 5)
        return -1;
    long v = 0;
    for (const char *c = s; c < end; ++c) {
        if (*c < '0' || *c > '9')
            return -1;
        v = v * 10 + (*c - '0');
    }
    if (v < 1 || v > 65535)
        return -1;
    *port = (uint16_t)v;
    return 0;
}

static int ResolveHost(const std::string &host, uint32_t *ip)
{
    if (host.empty())
        return -1;
    in_addr a{};
    if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
        *ip = a.s_addr;
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
        return -1;
    *ip = ((sockaddr_in *)res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return 0;
}

int Plat_NetParseAddress(const char *text, uint32_t *ip, uint16_t *port)
{
    if (!text)
        return -1;
    std::string t(text);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    size_t start = t.find_first_not_of(" \t");
    if (start == std::string::npos)
        return -1;
    t = t.substr(start);
    uint16_t p = PLAT_NET_DEFAULT_PORT;
    size_t colon = t.rfind(':');
    if (colon != std::string::npos) {
        if (ParsePort(t.c_str() + colon + 1, t.c_str() + t.size(), &p) != 0)
            return -1;
        t.resize(colon);
    }
    uint32_t a;
    if (ResolveHost(t, &a) != 0)
        return -1;
    *ip = a;
    *port = p;
    return 0;
}

int Plat_NetEnumTargets(std::vector<std::pair<uint32_t, uint16_t>> *targets)
{
    targets->clear();
    const char *env = std::getenv("TNV_NET_ENUM_TARGETS");
    if (!env || !*env) {
        targets->push_back({INADDR_BROADCAST, PLAT_NET_DEFAULT_PORT});
        return 0;
    }
    // A bounded list: at most 256 targets in all.
    std::string s(env);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t comma = s.find(',', pos);
        std::string item = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        pos = comma == std::string::npos ? s.size() + 1 : comma + 1;
        if (item.empty())
            continue;
        size_t colon = item.rfind(':');
        if (colon == std::string::npos)
            return -1;
        uint32_t ip;
        if (ResolveHost(item.substr(0, colon), &ip) != 0)
            return -1;
        std::string ports = item.substr(colon + 1);
        size_t dash = ports.find('-');
        uint16_t lo, hi;
        if (dash == std::string::npos) {
            if (ParsePort(ports.c_str(), ports.c_str() + ports.size(), &lo) != 0)
                return -1;
            hi = lo;
        } else if (ParsePort(ports.c_str(), ports.c_str() + dash, &lo) != 0 ||
                   ParsePort(ports.c_str() + dash + 1, ports.c_str() + ports.size(), &hi) != 0 || hi < lo) {
            return -1;
        }
        for (uint32_t p = lo; p <= hi; ++p) {
            if (targets->size() >= 256)
                return -1;
            targets->push_back({ip, (uint16_t)p});
        }
    }
    return targets->empty() ? -1 : 0;
}

int Plat_NetHostPort()
{
    const char *env = std::getenv("TNV_NET_PORT");
    if (!env || !*env)
        return PLAT_NET_DEFAULT_PORT;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(env, &end, 10);
    if (errno || *end || v < 0 || v > 65535)
        return PLAT_NET_DEFAULT_PORT;
    return (int)v;
}

void PlatNet_WritePortFile(uint16_t port)
{
    const char *path = std::getenv("TNV_NET_PORT_FILE");
    if (!path || !*path)
        return;
    std::string tmp = std::string(path) + ".tmp";
    FILE *f = std::fopen(tmp.c_str(), "w");
    if (!f)
        return;
    std::fprintf(f, "%u\n", (unsigned)port);
    bool ok = std::fflush(f) == 0;
    ok = std::fclose(f) == 0 && ok;
    if (ok)
        std::rename(tmp.c_str(), path);
    else
        std::remove(tmp.c_str());
}

// ---- Session protocol ----

void PlatNet_Put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)(v >> (8 * i)));
}

uint32_t PlatNet_Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

std::string PlatNet_CutName(const char *name)
{
    std::string s(name ? name : "");
    size_t nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    if (s.size() > PLAT_NET_MAX_NAME)
        s.resize(PLAT_NET_MAX_NAME);
    return s;
}

std::vector<uint8_t> PlatNet_BuildQuery(const PlatNetGuid &app)
{
    std::vector<uint8_t> q{'T', 'N', 'V', 'Q'};
    PlatNet_Put32(q, PLATNET_VERSION);
    q.insert(q.end(), app.b, app.b + 16);
    return q;
}

int PlatNet_ParseQuery(const uint8_t *p, size_t n, PlatNetGuid *app)
{
    if (n != 24 || std::memcmp(p, "TNVQ", 4) != 0 || PlatNet_Get32(p + 4) != PLATNET_VERSION)
        return -1;
    std::memcpy(app->b, p + 8, 16);
    return 0;
}

std::vector<uint8_t> PlatNet_BuildAnswer(const PlatNetGuid &app, const PlatNetGuid &instance, uint32_t players,
                                         uint32_t maxPlayers, uint16_t port, const std::string &name)
{
    std::vector<uint8_t> a{'T', 'N', 'V', 'A'};
    PlatNet_Put32(a, PLATNET_VERSION);
    a.insert(a.end(), app.b, app.b + 16);
    a.insert(a.end(), instance.b, instance.b + 16);
    PlatNet_Put32(a, players);
    PlatNet_Put32(a, maxPlayers);
    PlatNet_Put32(a, port);
    a.insert(a.end(), name.begin(), name.end());
    return a;
}

int PlatNet_ParseAnswer(const uint8_t *p, size_t n, const PlatNetGuid &app, PlatNetSessionInfo *out)
{
    if (n < 52 || n > 52 + PLAT_NET_MAX_NAME || std::memcmp(p, "TNVA", 4) != 0 ||
        PlatNet_Get32(p + 4) != PLATNET_VERSION || std::memcmp(p + 8, app.b, 16) != 0)
        return -1;
    uint32_t port = PlatNet_Get32(p + 48);
    if (port == 0 || port > 65535)
        return -1;
    std::memcpy(out->instance.b, p + 24, 16);
    out->uPlayers = PlatNet_Get32(p + 40);
    out->uMaxPlayers = PlatNet_Get32(p + 44);
    out->uPort = (uint16_t)port;
    out->name = PlatNet_CutName(std::string((const char *)p + 52, n - 52).c_str());
    return 0;
}

int PlatNet_ParseHello(const uint8_t *d, size_t n, const PlatNetGuid &app, const PlatNetGuid &instance,
                       std::string *name)
{
    if (n < 40 || n > 40 + PLAT_NET_MAX_NAME || PlatNet_Get32(d) != PLATNET_HELLO ||
        PlatNet_Get32(d + 4) != PLATNET_VERSION || std::memcmp(d + 8, app.b, 16) != 0 ||
        std::memcmp(d + 24, instance.b, 16) != 0)
        return -1;
    *name = PlatNet_CutName(std::string((const char *)d + 40, n - 40).c_str());
    return 0;
}

bool PlatNet_DecodeFromServer(const uint8_t *d, size_t n, uint32_t ownId, PlatNetEvent *out)
{
    if (n < 8)
        return false;
    uint32_t kind = PlatNet_Get32(d);
    uint32_t id = PlatNet_Get32(d + 4);
    if (kind == PLATNET_JOINED && n - 8 <= PLAT_NET_MAX_NAME && id != ownId && id > PLAT_NET_SERVER_PLAYER) {
        out->kind = PlatNetEvent::PlayerJoined;
        out->uPlayer = id;
        out->name = PlatNet_CutName(std::string((const char *)d + 8, n - 8).c_str());
        return true;
    }
    // The server's own departure is the connection's end, never a notice.
    if (kind == PLATNET_LEFT && n == 8 && id != ownId && id > PLAT_NET_SERVER_PLAYER) {
        out->kind = PlatNetEvent::PlayerLeft;
        out->uPlayer = id;
        return true;
    }
    if (kind == PLATNET_DATA && n >= PLATNET_DATA_HEADER && n - PLATNET_DATA_HEADER <= PLAT_NET_MAX_MESSAGE) {
        out->kind = PlatNetEvent::Message;
        out->uFrom = PLAT_NET_SERVER_PLAYER;
        out->uTo = PlatNet_Get32(d + 8);
        out->data.assign(d + PLATNET_DATA_HEADER, d + n);
        return true;
    }
    return false;
}
