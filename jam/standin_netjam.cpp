// STAND-IN (see standin_netjam.h): the least of the jam session start and the network jam step
// that the sessions and the command path need. Weak, so the real definitions win.
#include "jam/standin_netjam.h"

#include <cstring>

#define STANDIN __attribute__((weak))

STANDIN void Jam_CountPlayerKeys(JAMNET *, const JAMEVENT &, int32_t, int32_t) {}
STANDIN void Jam_UpdatePlayerTally(JAMNET *, int32_t, int32_t, int32_t) {}
STANDIN void Net_DispatchA(NETNODE *, const uint8_t *, size_t, uint32_t) {}
STANDIN void Net_PlayerLeft(NETNODE *, uint32_t) {}
STANDIN void Net_DispatchB(NETNODE *, const uint8_t *, size_t, uint32_t) {}

STANDIN int32_t Net_AddServerSlot(JAMNET *net, uint32_t playerId, const char *name)
{
    if (playerId == 0 || playerId == 1)
        return -1;
    for (const NETPLAYERSLOT &s : net->aServerSlots)
        if (s.uPlayerId == playerId)
            return -1;
    for (NETPLAYERSLOT &s : net->aServerSlots)
        if (s.uPlayerId == 0) {
            s.uPlayerId = playerId;
            std::strncpy(s.szName, name, sizeof s.szName - 1);
            s.szName[sizeof s.szName - 1] = 0;
            return 0;
        }
    return -1;
}
