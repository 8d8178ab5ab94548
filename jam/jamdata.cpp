#include "jam/jamdata.h"

#include <cstdlib>
#include <cstring>

#include "core/browser.h"

namespace {

void Put32(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

uint32_t Get32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

template <typename T>
void PutWords(uint8_t *out, uint32_t offset, const T *values, int n)
{
    for (int i = 0; i < n; ++i)
        Put32(out + offset + 4 * i, (uint32_t)values[i]);
}

template <typename T>
void GetWords(const uint8_t *in, uint32_t offset, T *values, int n)
{
    for (int i = 0; i < n; ++i)
        values[i] = (T)Get32(in + offset + 4 * i);
}

} // namespace

void Jam_EncodePlayer(const JAMPLAYER &pl, uint8_t out[JAM_PLAYER_BYTES])
{
    PutWords(out, JAMPLAYER_OFS_RIFFKEY, pl.auRiffKey, JAM_RIFF_KEYS);
    PutWords(out, JAMPLAYER_OFS_RIFFLATCH, pl.auRiffLatch, JAM_RIFF_KEYS);
    PutWords(out, JAMPLAYER_OFS_PAD, pl.auPad, JAM_PADS);
    PutWords(out, JAMPLAYER_OFS_PADLATCH, pl.auPadLatch, JAM_PADS);
    for (int k = 0; k < JAM_KEYBOARDS; ++k) {
        const JAMKEYBOARD &kb = pl.aKeyboard[k];
        const uint32_t words[4] = {kb.uHeld, kb.uReleased, kb.uOctave, kb.uSlotWord};
        PutWords(out, JAMPLAYER_OFS_KEYBOARD + 16 * k, words, 4);
    }
    PutWords(out, JAMPLAYER_OFS_LEVEL, pl.auLevel, JAM_PART_ENTRIES);
    PutWords(out, JAMPLAYER_OFS_PITCH, pl.aiPitch, JAM_PART_ENTRIES);
    PutWords(out, JAMPLAYER_OFS_PAN, pl.auPan, JAM_PART_ENTRIES);
    PutWords(out, JAMPLAYER_OFS_RIFFPITCH, pl.aiRiffPitch, JAM_RIFF_KEYS);
    PutWords(out, JAMPLAYER_OFS_RIFFPREVPITCH, pl.aiRiffPrevPitch, JAM_RIFF_KEYS);
    PutWords(out, JAMPLAYER_OFS_RIFFVOLUME, pl.auRiffVolume, JAM_RIFF_KEYS);
    out[JAMPLAYER_OFS_PARTMASK] = (uint8_t)pl.uPartMask;
    out[JAMPLAYER_OFS_PARTMASK + 1] = (uint8_t)(pl.uPartMask >> 8);
    out[JAMPLAYER_OFS_RIFFMASK] = (uint8_t)pl.uRiffMask;
    out[JAMPLAYER_OFS_RIFFMASK + 1] = (uint8_t)(pl.uRiffMask >> 8);
    Put32(out + JAMPLAYER_OFS_CONTROLLER, pl.uController);
    Put32(out + JAMPLAYER_OFS_BENDRANGE, pl.uBendRange);
    std::memcpy(out + JAMPLAYER_OFS_RESERVED, pl.abReserved, sizeof pl.abReserved);
    PutWords(out, JAMPLAYER_OFS_ROUTING, pl.auPluginRouting, JAM_PLUGIN_SLOTS);
    PutWords(out, JAMPLAYER_OFS_RESERVED2, pl.aiReserved, JAM_PLUGIN_SLOTS);
    Put32(out + JAMPLAYER_OFS_PLUGINSLOT, (uint32_t)pl.iPluginSlot);
}

void Jam_DecodePlayer(const uint8_t in[JAM_PLAYER_BYTES], JAMPLAYER *pl)
{
    GetWords(in, JAMPLAYER_OFS_RIFFKEY, pl->auRiffKey, JAM_RIFF_KEYS);
    GetWords(in, JAMPLAYER_OFS_RIFFLATCH, pl->auRiffLatch, JAM_RIFF_KEYS);
    GetWords(in, JAMPLAYER_OFS_PAD, pl->auPad, JAM_PADS);
    GetWords(in, JAMPLAYER_OFS_PADLATCH, pl->auPadLatch, JAM_PADS);
    for (int k = 0; k < JAM_KEYBOARDS; ++k) {
        uint32_t words[4];
        GetWords(in, JAMPLAYER_OFS_KEYBOARD + 16 * k, words, 4);
        pl->aKeyboard[k] = {words[0], words[1], words[2], words[3]};
    }
    GetWords(in, JAMPLAYER_OFS_LEVEL, pl->auLevel, JAM_PART_ENTRIES);
    GetWords(in, JAMPLAYER_OFS_PITCH, pl->aiPitch, JAM_PART_ENTRIES);
    GetWords(in, JAMPLAYER_OFS_PAN, pl->auPan, JAM_PART_ENTRIES);
    GetWords(in, JAMPLAYER_OFS_RIFFPITCH, pl->aiRiffPitch, JAM_RIFF_KEYS);
    GetWords(in, JAMPLAYER_OFS_RIFFPREVPITCH, pl->aiRiffPrevPitch, JAM_RIFF_KEYS);
    GetWords(in, JAMPLAYER_OFS_RIFFVOLUME, pl->auRiffVolume, JAM_RIFF_KEYS);
    pl->uPartMask = (uint16_t)(in[JAMPLAYER_OFS_PARTMASK] | in[JAMPLAYER_OFS_PARTMASK + 1] << 8);
    pl->uRiffMask = (uint16_t)(in[JAMPLAYER_OFS_RIFFMASK] | in[JAMPLAYER_OFS_RIFFMASK + 1] << 8);
    pl->uController = Get32(in + JAMPLAYER_OFS_CONTROLLER);
    pl->uBendRange = Get32(in + JAMPLAYER_OFS_BENDRANGE);
    std::memcpy(pl->abReserved, in + JAMPLAYER_OFS_RESERVED, sizeof pl->abReserved);
    GetWords(in, JAMPLAYER_OFS_ROUTING, pl->auPluginRouting, JAM_PLUGIN_SLOTS);
    GetWords(in, JAMPLAYER_OFS_RESERVED2, pl->aiReserved, JAM_PLUGIN_SLOTS);
    pl->iPluginSlot = (int32_t)Get32(in + JAMPLAYER_OFS_PLUGINSLOT);
}

void Jam_EncodeEvent(const JAMEVENT &ev, uint8_t out[JAM_EVENT_BYTES])
{
    std::memset(out, 0, 12); // links and the unused word
    Put32(out + 12, ev.uHeartbeat);
    Put32(out + 16, (uint32_t)ev.iCommand);
    Put32(out + 20, ev.uData);
}

void Jam_DecodeEvent(const uint8_t in[JAM_EVENT_BYTES], JAMEVENT *ev)
{
    ev->uHeartbeat = Get32(in + 12);
    ev->iCommand = (int32_t)Get32(in + 16);
    ev->uData = Get32(in + 20);
}

uint32_t Jam_PackLibraryKey(uint32_t a, uint32_t b, uint32_t c)
{
    return (c & 255) | (b & 255) << 8 | (a & 255) << 16;
}

void Jam_UnpackLibraryKey(uint32_t word, uint32_t *a, uint32_t *b, uint32_t *c)
{
    *a = word >> 16 & 255;
    *b = word >> 8 & 255;
    *c = word & 255;
}

int32_t Jam_BasePitchOfKind(int32_t kind)
{
    switch (kind) {
    case 1: return 36;
    case 2: return 48;
    case 3: return 60;
    default: return 0;
    }
}

// ---- Per-player lists ----

uint16_t *g_apJamRiffIds[JAM_NET_SLOTS];
int32_t g_aiJamRiffIdCount[JAM_NET_SLOTS];
uint16_t *g_apJamInstrumentIds[JAM_PLAYERS];
int32_t g_aiJamInstrumentIdCount[JAM_PLAYERS];
uint8_t *g_pJamScratch;

int32_t Jam_AllocPlayerLists()
{
    Jam_FreePlayerLists();
    bool ok = true;
    for (int p = 0; p < JAM_NET_SLOTS; ++p)
        ok = ok && (g_apJamRiffIds[p] = (uint16_t *)std::calloc(JAM_MAX_RIFF_IDS, sizeof(uint16_t)));
    for (int p = 0; p < JAM_PLAYERS; ++p)
        ok = ok && (g_apJamInstrumentIds[p] = (uint16_t *)std::calloc(JAM_MAX_INSTRUMENT_IDS, sizeof(uint16_t)));
    ok = ok && (g_pJamScratch = (uint8_t *)std::calloc(JAM_SCRATCH_BYTES, 1));
    if (!ok) {
        Jam_FreePlayerLists();
        return -1;
    }
    g_iJamTemplateCount = 0;
    return 0;
}

void Jam_FreePlayerLists()
{
    for (int p = 0; p < JAM_NET_SLOTS; ++p) {
        std::free(g_apJamRiffIds[p]);
        g_apJamRiffIds[p] = nullptr;
        g_aiJamRiffIdCount[p] = 0;
    }
    for (int p = 0; p < JAM_PLAYERS; ++p) {
        std::free(g_apJamInstrumentIds[p]);
        g_apJamInstrumentIds[p] = nullptr;
        g_aiJamInstrumentIdCount[p] = 0;
    }
    std::free(g_pJamScratch);
    g_pJamScratch = nullptr;
}

int32_t Jam_AppendRiffId(int32_t player, uint16_t id)
{
    if (player < 0 || player >= JAM_NET_SLOTS || !g_apJamRiffIds[player] ||
        g_aiJamRiffIdCount[player] >= JAM_MAX_RIFF_IDS)
        return -1;
    g_apJamRiffIds[player][g_aiJamRiffIdCount[player]++] = id;
    return 0;
}

int32_t Jam_AppendInstrumentId(int32_t player, uint16_t id)
{
    if (player < 0 || player >= JAM_PLAYERS || !g_apJamInstrumentIds[player] ||
        g_aiJamInstrumentIdCount[player] >= JAM_MAX_INSTRUMENT_IDS)
        return -1;
    g_apJamInstrumentIds[player][g_aiJamInstrumentIdCount[player]++] = id;
    return 0;
}

int32_t Jam_ListOwner(int32_t player, int32_t mySlot)
{
    return player == mySlot ? JAM_LOCAL_PLAYER : player;
}

uint16_t Jam_RiffListEntry(int32_t player, uint32_t entry)
{
    if (player < 0 || player >= JAM_NET_SLOTS || !g_apJamRiffIds[player] || entry < 1 ||
        entry > (uint32_t)g_aiJamRiffIdCount[player])
        return 0;
    return g_apJamRiffIds[player][entry - 1];
}

uint16_t Jam_InstrumentListEntry(int32_t player, uint32_t entry)
{
    if (player < 0 || player >= JAM_PLAYERS || !g_apJamInstrumentIds[player] || entry < 1 ||
        entry > (uint32_t)g_aiJamInstrumentIdCount[player])
        return 0;
    return g_apJamInstrumentIds[player][entry - 1];
}

int32_t Jam_FindOwnInstrument(int32_t slot)
{
    const uint16_t *list = g_apJamInstrumentIds[JAM_LOCAL_PLAYER];
    if (!list)
        return -1;
    for (int32_t i = 0; i < g_aiJamInstrumentIdCount[JAM_LOCAL_PLAYER]; ++i)
        if (list[i] == slot)
            return i + 1;
    return -1;
}
