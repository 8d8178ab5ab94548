// The network layer's readers of outside bytes: discovery queries and answers, a client's hello,
// and every packet a client takes from the server. None may crash or read outside the bytes, and
// what they accept must be within the layer's limits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/net.h"
#include "platform/net_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PlatNetGuid app{};
    if (size >= 8)
        std::memcpy(app.b, data + 8, size >= 24 ? 16 : size - 8);
    PlatNetGuid got{};
    PlatNet_ParseQuery(data, size, &got);

    PlatNetSessionInfo info;
    if (PlatNet_ParseAnswer(data, size, app, &info) == 0 &&
        (info.name.size() > PLAT_NET_MAX_NAME || info.uPort == 0))
        abort();

    PlatNetGuid instance{};
    if (size >= 40)
        std::memcpy(instance.b, data + 24, 16);
    std::string name;
    if (PlatNet_ParseHello(data, size, app, instance, &name) == 0 && name.size() > PLAT_NET_MAX_NAME)
        abort();

    PlatNetEvent ev{PlatNetEvent::Message};
    if (PlatNet_DecodeFromServer(data, size, 7, &ev)) {
        if (ev.data.size() > PLAT_NET_MAX_MESSAGE || ev.name.size() > PLAT_NET_MAX_NAME)
            abort();
        if (ev.kind != PlatNetEvent::Message && (ev.uPlayer <= PLAT_NET_SERVER_PLAYER || ev.uPlayer == 7))
            abort();
    }
    return 0;
}
