#include "video/chasepack.h"

#include "sequencer/songfile.h"
#include "video/chase.h"
#include "video/chasetypes.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t Rd16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

int32_t HeaderBytes() { return g_iSongFormatVersion < 7 ? 6 : 8; }

// Bits of the values of one key: the widths of the channels its mask names. -1 when the mask
// names a channel the type does not have.
int32_t KeyBits(const CHASEDEF *def, uint32_t mask)
{
    int32_t bits = 0;
    for (int32_t c = 0; c < 16; c++)
        if (mask >> c & 1) {
            if (c >= def->sChannelCount)
                return -1;
            bits += def->pChannels[c].ucBits;
        }
    return bits;
}

struct BitWriter
{
    std::vector<uint8_t> *out;
    uint32_t acc = 0;
    int32_t have = 0;
    void Put(uint32_t value, int32_t bits)
    {
        for (int32_t i = 0; i < bits; i++) {
            acc |= (value >> i & 1u) << have;
            if (++have == 8) {
                out->push_back(static_cast<uint8_t>(acc));
                acc = 0;
                have = 0;
            }
        }
    }
    void Flush()
    {
        if (have)
            out->push_back(static_cast<uint8_t>(acc));
        acc = 0;
        have = 0;
    }
};

struct BitReader
{
    const uint8_t *p;
    uint32_t at = 0; // bit position
    uint32_t Get(int32_t bits)
    {
        uint32_t v = 0;
        for (int32_t i = 0; i < bits; i++, at++)
            v |= static_cast<uint32_t>(p[at >> 3] >> (at & 7) & 1) << i;
        return v;
    }
};

// How a key's channels were stored by the song being read: older versions had other widths for
// a few channels, and the background a third channel that is read and dropped.
struct STOREDCHANNELS
{
    int32_t count;
    uint8_t bits[VID_MAX_CHANNELS];
};

STOREDCHANNELS StoredChannels(const CHASEDEF *def, int32_t version)
{
    STOREDCHANNELS s{};
    s.count = def->sChannelCount;
    for (int32_t c = 0; c < s.count && c < VID_MAX_CHANNELS; c++)
        s.bits[c] = def->pChannels[c].ucBits;
    for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
        if (const int32_t b = Vid_StoredChannelBits(def->uStoredId, c, version); b >= 0) {
            s.bits[c] = static_cast<uint8_t>(b);
            s.count = std::max(s.count, c + 1);
        }
    return s;
}

// Bits of the values of one stored key, -1 when the mask names a channel the song's version
// did not have.
int32_t StoredKeyBits(const STOREDCHANNELS &s, uint32_t mask)
{
    int32_t bits = 0;
    for (int32_t c = 0; c < 16; c++)
        if (mask >> c & 1) {
            if (c >= s.count)
                return -1;
            bits += s.bits[c];
        }
    return bits;
}

const CHASEDEF *StoredDef(const uint8_t *record)
{
    const int32_t type = Vid_FindChaseType(Rd16(record));
    return type >= 0 ? Vid_GetChaseDef(type) : nullptr;
}

} // namespace

int32_t Vid_StoredChannelBits(int32_t storedId, int32_t channel, int32_t version)
{
    struct OLDCHANNEL
    {
        int32_t below; // versions below this one (5 alone when only is set)
        bool only5;
        int32_t storedId, channel, bits;
    };
    static const OLDCHANNEL kOld[] = {
        {6, true, 6, 8, 1},    // camera face channel: 1 bit, 0..1
        {6, true, 3, 2, 4},    // rotation speed: 4 bits, 0..15
        {12, false, 2, 2, 1},  // background: a third channel of 1 bit
        {13, false, 6, 3, 4},  // camera speed: 4 bits, 0..15
        {13, false, 5, 3, 4},  // path speed: 4 bits, 0..15
    };
    for (const OLDCHANNEL &o : kOld)
        if (o.storedId == storedId && o.channel == channel && (o.only5 ? version == 5 : version < o.below))
            return o.bits;
    return -1;
}

uint32_t Vid_PackedChaseSize(const CHASE *chase)
{
    if (!chase || !chase->pDef)
        return 0;
    uint32_t bits = 0;
    for (const CHASEKEY *k = chase->pKeys; k; k = k->pNext)
        bits += static_cast<uint32_t>(KeyBits(chase->pDef, k->uMask));
    return (8u + 4u * chase->uKeyCount + (bits + 7) / 8 + 3) & ~3u;
}

uint32_t Vid_PackChase(const CHASE *chase, std::vector<uint8_t> *out)
{
    if (!chase || !chase->pDef || !out)
        return 0;
    const CHASEDEF *def = chase->pDef;
    const size_t start = out->size();
    auto u16 = [&](uint32_t v) {
        out->push_back(static_cast<uint8_t>(v));
        out->push_back(static_cast<uint8_t>(v >> 8));
    };
    u16(def->uStoredId);
    out->push_back(chase->ucTrigA);
    out->push_back(chase->ucTrigB);
    out->push_back(chase->ucMode);
    out->push_back(static_cast<uint8_t>(chase->uKeyCount));
    out->push_back(chase->ucOption);
    out->push_back(chase->ucDuration);
    for (const CHASEKEY *k = chase->pKeys; k; k = k->pNext) {
        u16(static_cast<uint16_t>(k->sTime));
        u16(k->uMask);
    }
    BitWriter w{out};
    for (const CHASEKEY *k = chase->pKeys; k; k = k->pNext)
        for (int32_t c = 0; c < def->sChannelCount; c++)
            if (k->uMask >> c & 1) {
                const int32_t v = Vid_KeyValue(chase, k, c);
                w.Put(static_cast<uint32_t>(def->pack ? def->pack(v, c) : v), def->pChannels[c].ucBits);
            }
    w.Flush();
    while ((out->size() - start) & 3)
        out->push_back(0);
    return static_cast<uint32_t>(out->size() - start);
}

int32_t Vid_MapStoredChaseType(const uint8_t *record)
{
    return record ? Vid_FindChaseType(Rd16(record)) : -1;
}

uint32_t Vid_ChaseRecordSize(const uint8_t *record, size_t left)
{
    const size_t header = static_cast<size_t>(HeaderBytes());
    if (!record || left < header)
        return 0;
    const CHASEDEF *def = StoredDef(record);
    if (!def)
        return 0;
    const uint32_t keys = record[5];
    if (left < header + 4u * keys)
        return 0;
    const STOREDCHANNELS stored = StoredChannels(def, g_iSongFormatVersion);
    uint32_t bits = 0;
    for (uint32_t k = 0; k < keys; k++) {
        const uint8_t *key = record + header + 4 * k;
        const int32_t b = StoredKeyBits(stored, Rd16(key + 2));
        if (b < 0 || Rd16(key) >= VID_KEY_TIMES)
            return 0;
        bits += static_cast<uint32_t>(b);
    }
    const size_t size = (header + 4u * keys + (bits + 7) / 8 + 3) & ~size_t{3};
    return size <= left ? static_cast<uint32_t>(size) : 0;
}

namespace {

// Walks the values of a checked record: fn(key time, channel values, channel states).
template <typename F> void WalkValues(const uint8_t *record, const CHASEDEF *def, F fn)
{
    const int32_t header = HeaderBytes();
    const int32_t keys = record[5];
    const STOREDCHANNELS stored = StoredChannels(def, g_iSongFormatVersion);
    BitReader r{record + header + 4 * keys};
    for (int32_t k = 0; k < keys; k++) {
        const uint8_t *key = record + header + 4 * k;
        const uint32_t mask = Rd16(key + 2);
        int32_t values[VID_MAX_CHANNELS];
        uint8_t states[VID_MAX_CHANNELS];
        for (int32_t c = 0; c < VID_MAX_CHANNELS; c++) {
            values[c] = -1;
            states[c] = KEYSTATE_REMOVE;
            if (c < stored.count && (mask >> c & 1)) {
                const uint32_t bits = stored.bits[c];
                const int32_t v = Vid_FitChannelValue(static_cast<int32_t>(r.Get(static_cast<int32_t>(bits))), bits);
                if (c < def->sChannelCount) { // a channel the type no longer has is dropped
                    values[c] = v;
                    states[c] = KEYSTATE_SET;
                }
            }
        }
        fn(Rd16(key), values, states);
    }
}

} // namespace

int32_t Vid_UnpackChaseValues(const uint8_t *record, size_t left, uint32_t *bitmap)
{
    if (!Vid_ChaseRecordSize(record, left))
        return 0;
    const CHASEDEF *def = StoredDef(record);
    if (def->mark && bitmap)
        WalkValues(record, def, [&](int32_t, const int32_t *values, const uint8_t *states) {
            for (int32_t c = 0; c < def->sChannelCount; c++)
                if (states[c] == KEYSTATE_SET)
                    def->mark(values[c], c, bitmap);
        });
    return 1;
}

CHASE *Vid_UnpackChase(const uint8_t *record, size_t left, const VIDLOADMAP *map)
{
    if (!Vid_ChaseRecordSize(record, left))
        return nullptr;
    const int32_t type = Vid_MapStoredChaseType(record);
    const CHASEDEF *def = Vid_GetChaseDef(type);
    CHASE *chase = def ? Vid_NewChase(type) : nullptr;
    if (!chase)
        return nullptr;
    chase->ucTrigA = chase->ucWorkTrigA = record[2];
    chase->ucTrigB = chase->ucWorkTrigB = record[3];
    chase->ucMode = record[4] & 3;
    chase->ucOption = g_iSongFormatVersion < 7 ? 0 : record[6];
    chase->ucDuration = g_iSongFormatVersion < 11 ? 1 : record[7];
    chase->uFlags |= CHASEFLAG_ANIMATE;
    bool ok = true;
    WalkValues(record, def, [&](int32_t time, int32_t *values, uint8_t *states) {
        if (!ok)
            return;
        // Older songs kept a value in the spine switch's second channel that no longer means
        // anything.
        if (def->uStoredId == 14 && g_iSongFormatVersion < 17 && states[1] == KEYSTATE_SET)
            values[1] = 0;
        if (def->remap)
            def->remap(chase, values, map);
        if (Vid_SetChaseKey(chase, time, values, states) == 0)
            ok = false;
    });
    if (!ok || !Vid_CompleteDefaultKey(chase)) {
        Vid_FreeChase(chase);
        return nullptr;
    }
    return chase;
}

void Vid_MarkChaseResources(const CHASE *chase, uint32_t *bitmap)
{
    if (!chase || !chase->pDef || !chase->pDef->mark || !bitmap)
        return;
    for (const CHASEKEY *k = chase->pKeys; k; k = k->pNext)
        for (int32_t c = 0; c < chase->pDef->sChannelCount; c++)
            if (k->uMask >> c & 1)
                chase->pDef->mark(Vid_KeyValue(chase, k, c), c, bitmap);
}
