// The network layer's own session protocol, shared by its backends. Not for use outside platform/.
//
// Every packet on the reliable channel starts with a kind word (32-bit little-endian):
//   1 hello    client -> server: version, application id, instance id, player name
//   2 welcome  server -> client: the new player's id
//   3 refused  server -> client: reason (PLAT_NET_ERR_FULL or PLAT_NET_ERR_REFUSED)
//   4 joined   server -> clients: player id, name
//   5 left     server -> clients: player id
//   6 data     either way: from, to, then the message
// Discovery datagrams: "TNVQ" version application (24 bytes); the answer "TNVA" version
// application instance players maximum port name.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net.h"

constexpr uint32_t PLATNET_VERSION = 1;

enum : uint32_t
{
    PLATNET_HELLO = 1,
    PLATNET_WELCOME = 2,
    PLATNET_REFUSED = 3,
    PLATNET_JOINED = 4,
    PLATNET_LEFT = 5,
    PLATNET_DATA = 6,
};
constexpr size_t PLATNET_DATA_HEADER = 12;

extern std::atomic<uint32_t> g_uPlatNetPeerTimeoutMs;

void PlatNet_Put32(std::vector<uint8_t> &out, uint32_t v);
uint32_t PlatNet_Get32(const uint8_t *p);
std::string PlatNet_CutName(const char *name);
std::vector<uint8_t> PlatNet_BuildQuery(const PlatNetGuid &app);
int PlatNet_ParseQuery(const uint8_t *p, size_t n, PlatNetGuid *app);
std::vector<uint8_t> PlatNet_BuildAnswer(const PlatNetGuid &app, const PlatNetGuid &instance, uint32_t players,
                                         uint32_t maxPlayers, uint16_t port, const std::string &name);
int PlatNet_ParseAnswer(const uint8_t *p, size_t n, const PlatNetGuid &app, PlatNetSessionInfo *out);
void PlatNet_WritePortFile(uint16_t port);
// A client's hello: 0 and the player's name, or -1 (malformed, another application or session).
int PlatNet_ParseHello(const uint8_t *d, size_t n, const PlatNetGuid &app, const PlatNetGuid &instance,
                       std::string *name);
// A packet from the server to the client whose id is ownId: true when it is an event to deliver.
bool PlatNet_DecodeFromServer(const uint8_t *d, size_t n, uint32_t ownId, PlatNetEvent *out);
