// Jam commands and player blocks from peers or a recording, applied to a jam model: no access
// outside a table, and nothing out of range reaches the sound side. Input: a mode byte (bit 0
// immediate, bits 1-2 this program's slot), then records of [kind, player, command, data LE x4];
// kind 3 is followed by a 696-byte block for that player.
#include "audio/plugin.h"
#include "jam/jamplay.h"
#include "jam/netsession.h"
#include "jam/netjam.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Aborts on any call a validated command could not have made.
class Checker : public JamActions
{
public:
    static void Need(bool ok)
    {
        if (!ok)
            abort();
    }
    static void Player(int32_t p) { Need(p >= 0 && p <= 4); }
    void LoadRiffKey(uint32_t a, uint32_t, uint32_t, int32_t key, int32_t p, uint32_t riff) override
    {
        Player(p);
        Need(key >= 0 && key < 12 && a < 256 && (riff == JAM_LOAD_BY_KEYS || riff < 65536));
    }
    int32_t LoadPad(int32_t p, uint32_t, uint32_t, uint32_t, int32_t pad, uint32_t) override
    {
        Player(p);
        Need(pad >= 0 && pad < 9);
        return 1;
    }
    void LoadKeyboard(int32_t p, uint32_t, uint32_t, uint32_t, int32_t first, uint32_t) override
    {
        Player(p);
        Need(first == 0 || first == 17);
    }
    void StartPart(int32_t, int32_t) override {}
    void StopPart(int32_t, int32_t) override {}
    void LoadPlugin(int32_t p, int32_t slot, int32_t index) override
    {
        Player(p);
        Need(slot >= 0 && slot < 16 && index >= -1 && index < 2);
    }
    void PluginInput(int32_t p, int32_t slot, int32_t x, int32_t y) override
    {
        Player(p);
        Need(slot >= 0 && slot < 16 && x >= 0 && x < 256 && y >= 0 && y < 256);
    }
    void DropPlayerParts(int32_t) override {}
    void ResetPlugin(int32_t p, int32_t slot) override { LoadPlugin(p, slot, 0); }
    void SelectPlugin(int32_t p, int32_t slot) override { LoadPlugin(p, slot, 0); }
    void RoutePlugin(int32_t p, int32_t slot, uint32_t, uint32_t) override { LoadPlugin(p, slot, 0); }
    void ControlPart(int32_t p, int32_t entry, int32_t c, int32_t, uint32_t octave) override
    {
        Player(p);
        Need(entry >= 0 && entry < 11 && c >= 0 && c < 3 && octave <= 5);
    }
    void ControlRiff(int32_t p, int32_t key, int32_t c, int32_t, int32_t) override
    {
        Player(p);
        Need(key >= 0 && key < 12 && c >= 0 && c < 2);
    }
    void SetTempo(int32_t bpm) override { Need(bpm >= 40 && bpm <= 240); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static bool lists = [] {
        Jam_AllocPlayerLists();
        for (int32_t p = 0; p < 5; ++p)
            for (uint16_t id = 1; id <= 3; ++id) {
                if (p < 4)
                    Jam_AppendRiffId(p, id);
                Jam_AppendInstrumentId(p, id);
            }
        return true;
    }();
    (void)lists;
    g_iPluginCount = 2;
    g_iJamStartState = 4;
    g_bNetJamImmediate = data[0] & 1;
    static Checker checker;
    static JAMNET net;
    Net_InitJamNet(&net, &checker);
    net.iNetMySlot = data[0] >> 1 & 3;
    NETNODE node;
    node.pJam = &net;
    size_t at = 1;
    while (at + 7 <= size) {
        const uint8_t kind = data[at] & 3;
        const int32_t player = (int8_t)data[at + 1];
        JAMEVENT e{0, data[at + 2], 0};
        std::memcpy(&e.uData, data + at + 3, 4);
        at += 7;
        if (kind == 0)
            Jam_ApplyPlayerEvent(&node, e, player);
        else if (kind == 1)
            Jam_ApplyLiveEvent(&node, e, player);
        else if (kind == 2)
            Jam_ApplyLocalEvent(&node, e);
        else if (at + JAM_PLAYER_BYTES <= size) {
            JAMPLAYER block;
            Jam_DecodePlayer(data + at, &block);
            at += JAM_PLAYER_BYTES;
            if (player >= 0 && player < 4)
                Jam_ApplyPlayerBlock(&node, player, net.aPlayers[player], block);
        }
        for (const JAMPLAYER &p : net.aPlayers)
            for (const JAMKEYBOARD &k : p.aKeyboard)
                Checker::Need(k.uOctave <= 5);
    }
    for (uint32_t frame = 0; frame < 4; ++frame)
        Net_ApplyForwardedEvents(&node, frame);
    net.aEventLists[0][4].Clear();
    net.aEventLists[1][4].Clear();
    return 0;
}
