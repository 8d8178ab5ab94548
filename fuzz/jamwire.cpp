// Every jam message parser on arbitrary bytes, as the server and as a client: no read outside the
// message, and whatever is accepted encodes to bytes that parse to the same message. The first
// byte picks the template size limit, so small and large limits are both reached.
#include "jam/jamwire.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint32_t limit = (data[0] & 1) ? (uint32_t)NET_MAX_TEMPLATE_LIMIT : 16u;
    ++data;
    --size;
    // A copy of exactly the message's size, so the sanitizer sees any read past its end.
    std::vector<uint8_t> bytes(data, data + size);
    for (int server = 0; server < 2; ++server) {
        static NETMSG m, m2;
        const int32_t r = server ? Net_ParseClientMessage(bytes.data(), bytes.size(), limit, &m)
                                 : Net_ParseServerMessage(bytes.data(), bytes.size(), limit, &m);
        if (r != NET_PARSE_OK)
            continue;
        const std::vector<uint8_t> again = Net_EncodeMessage(m);
        const int32_t r2 = server ? Net_ParseClientMessage(again.data(), again.size(), limit, &m2)
                                  : Net_ParseServerMessage(again.data(), again.size(), limit, &m2);
        if (r2 != NET_PARSE_OK || Net_EncodeMessage(m2) != again)
            abort();
    }
    if (size >= JAM_PLAYER_BYTES) {
        JAMPLAYER p;
        Jam_DecodePlayer(bytes.data(), &p);
        uint8_t out[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(p, out);
        JAMPLAYER q;
        Jam_DecodePlayer(out, &q);
        if (!(p == q))
            abort();
    }
    return 0;
}
