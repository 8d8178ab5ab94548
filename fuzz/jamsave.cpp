// A jam recording as the replay reads it: the head, then phrase records until the end, a torn
// record or a bad player number. Each whole record must write back to the same events, and the
// reader must never move outside the bytes or backwards.
#include "jam/jamrecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    JAMPLAYER head[JAM_NET_SLOTS];
    if (Jam_DecodeSaveHead(data, size, head) != 0)
        return 0;
    if (Jam_EncodeSaveHead(head).size() != JAM_SAVE_HEAD_BYTES)
        abort();
    size_t at = JAM_SAVE_HEAD_BYTES;
    for (;;) {
        const size_t before = at;
        JAMSAVEPHRASE phrase;
        const int32_t r = Jam_DecodeSavePhrase(data, size, &at, &phrase);
        if (r != JAM_SAVE_PHRASE) {
            if (at != before)
                abort();
            break;
        }
        if (at <= before || at > size)
            abort();
        JAMEVENTLIST lists[JAM_NET_SLOTS];
        const JAMEVENTLIST *ptrs[JAM_NET_SLOTS];
        for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
            for (const JAMEVENT &e : phrase.aEvents[p])
                if (e.iCommand <= 0)
                    abort();
            lists[p].Events = phrase.aEvents[p];
            ptrs[p] = &lists[p];
        }
        const std::vector<uint8_t> again = Jam_EncodeSavePhrase(ptrs);
        size_t back = 0;
        JAMSAVEPHRASE round;
        if (Jam_DecodeSavePhrase(again.data(), again.size(), &back, &round) != JAM_SAVE_PHRASE ||
            back != again.size())
            abort();
        for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
            if (round.aEvents[p] != phrase.aEvents[p])
                abort();
    }
    return 0;
}
