#include "video/chase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/timers.h"
#include "core/console_memory.h"
#include "core/idpool.h"
#include "sequencer/clock.h"
#include "sequencer/samples.h"
#include "video/triggers.h"

IDPOOL *g_pChasePool = nullptr;
IDPOOL *g_apChaseDefPools[4] = {};
int32_t g_aiChaseDefHighest[4] = {};
int32_t g_iChaseHighestId = -1;
uint16_t g_iChaseSerial = 1;
uint16_t g_uPlayBlockLength = 0;
uint16_t g_uPlayBlockOffset = 0;

namespace {

char g_szChaseTypeError[48];

constexpr uint16_t kPoolBits[4] = {0, CHASETYPE_MOD, CHASETYPE_CAM, CHASETYPE_DVE};

int32_t ChannelCount(const CHASEDEF *def)
{
    int32_t n = def ? def->sChannelCount : 0;
    return n < 0 ? 0 : (n > VID_MAX_CHANNELS ? VID_MAX_CHANNELS : n);
}

uint32_t AllChannels(const CHASEDEF *def)
{
    return (1u << ChannelCount(def)) - 1;
}

uint8_t *KeyData(CHASEKEY *key)
{
    return reinterpret_cast<uint8_t *>(key + 1);
}

const uint8_t *KeyData(const CHASEKEY *key)
{
    return reinterpret_cast<const uint8_t *>(key + 1);
}

uint32_t MaskBits(const CHASEDEF *def, uint32_t mask)
{
    uint32_t bits = 0;
    for (int32_t c = 0; c < ChannelCount(def); c++)
        if (mask >> c & 1)
            bits += def->pChannels[c].ucBits;
    return bits;
}

// Bit-packed, least significant bit first, one byte at a time so that no access passes the node.
void PutBits(uint8_t *data, uint32_t pos, uint32_t value, uint32_t bits)
{
    for (uint32_t i = 0; i < bits; i++)
        if (value >> i & 1)
            data[(pos + i) >> 3] |= static_cast<uint8_t>(1u << ((pos + i) & 7));
}

uint32_t GetBits(const uint8_t *data, uint32_t pos, uint32_t bits)
{
    uint32_t v = 0;
    for (uint32_t i = 0; i < bits; i++)
        v |= static_cast<uint32_t>(data[(pos + i) >> 3] >> ((pos + i) & 7) & 1) << i;
    return v;
}

// All values of a node into values[] (channels outside its mask untouched).
void UnpackKey(const CHASEDEF *def, const CHASEKEY *key, int32_t *values)
{
    uint32_t pos = 0;
    for (int32_t c = 0; c < ChannelCount(def); c++) {
        if (!(key->uMask >> c & 1))
            continue;
        const uint32_t bits = def->pChannels[c].ucBits;
        values[c] = Vid_FitChannelValue(static_cast<int32_t>(GetBits(KeyData(key), pos, bits)), bits);
        pos += bits;
    }
}

CHASEKEY *NewKeyNode(const CHASEDEF *def, uint32_t mask, int32_t time, const int32_t *values)
{
    const uint32_t bytes = (MaskBits(def, mask) + 7) / 8;
    auto *key = static_cast<CHASEKEY *>(Sys_MemAlloc(nullptr, static_cast<uint32_t>(sizeof(CHASEKEY) + bytes)));
    if (!key)
        return nullptr;
    key->uMask = static_cast<uint16_t>(mask);
    key->sTime = static_cast<int16_t>(time);
    key->uBytes = bytes;
    uint32_t pos = 0;
    for (int32_t c = 0; c < ChannelCount(def); c++) {
        if (!(mask >> c & 1))
            continue;
        const uint32_t bits = def->pChannels[c].ucBits;
        PutBits(KeyData(key), pos, static_cast<uint32_t>(values[c]), bits);
        pos += bits;
    }
    return key;
}

void Vid_FreeKeyNode(CHASE *chase, CHASEKEY *key)
{
    int32_t values[VID_MAX_CHANNELS] = {};
    UnpackKey(chase->pDef, key, values);
    if (chase->pDef->release)
        chase->pDef->release(chase, values, key->uMask);
    Sys_MemFree(key);
}

void Unlink(CHASE *chase, CHASEKEY *key)
{
    if (key->pPrev)
        key->pPrev->pNext = key->pNext;
    else
        chase->pKeys = key->pNext;
    if (key->pNext)
        key->pNext->pPrev = key->pPrev;
    key->pNext = key->pPrev = nullptr;
}

// Latest values at or before time: fills values and times of the channels found and returns the
// mask of those never found.
uint32_t GatherLatest(const CHASE *chase, int32_t time, int32_t *values, int32_t *times)
{
    uint32_t want = AllChannels(chase->pDef);
    const CHASEKEY *k = Vid_FindKeyNode(chase, time);
    if (k && k->sTime > time)
        k = nullptr;
    for (; k && want; k = k->pPrev) {
        const uint32_t take = want & k->uMask;
        if (!take)
            continue;
        int32_t v[VID_MAX_CHANNELS];
        UnpackKey(chase->pDef, k, v);
        for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
            if (take >> c & 1) {
                values[c] = v[c];
                times[c] = k->sTime;
            }
        want &= ~take;
    }
    return want;
}

// Next values after time; with wrap the walk goes on once from the first node, its times read
// 256 later. Returns the mask of the channels found.
uint32_t GatherNext(const CHASE *chase, int32_t time, int32_t *values, int32_t *times, bool wrap)
{
    uint32_t want = AllChannels(chase->pDef);
    const CHASEKEY *start = Vid_FindKeyNode(chase, time);
    const CHASEKEY *k = start;
    while (k && want) {
        if (k->sTime > time && (want & k->uMask)) {
            int32_t v[VID_MAX_CHANNELS];
            UnpackKey(chase->pDef, k, v);
            const uint32_t take = want & k->uMask;
            for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
                if (take >> c & 1) {
                    values[c] = v[c];
                    times[c] = k->sTime;
                }
            want &= ~take;
        }
        k = k->pNext;
    }
    if (wrap && want) {
        for (k = chase->pKeys; k && want; k = k->pNext) {
            const uint32_t take = want & k->uMask;
            if (take) {
                int32_t v[VID_MAX_CHANNELS];
                UnpackKey(chase->pDef, k, v);
                for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
                    if (take >> c & 1) {
                        values[c] = v[c];
                        times[c] = k->sTime + VID_KEY_TIMES;
                    }
                want &= ~take;
            }
            if (k == start)
                break;
        }
    }
    return AllChannels(chase->pDef) & ~want;
}

// In the editor's form: a channel that is not stored (width 0) still has its default for apply.
int32_t DefaultValue(const CHASEDEF *def, int32_t c)
{
    return def->pChannels[c].sDefault;
}

int32_t Duration(const CHASE *chase)
{
    // A damaged song can hold 0; it would divide by zero.
    return chase->ucDuration ? chase->ucDuration : 1;
}

// A trigger counts only when its stamp is later than the last one taken.
bool Newer(uint32_t stamp, const CHASE *chase)
{
    return stamp > chase->uTrigStamp;
}

int32_t Clamp255(int32_t v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

} // namespace

int32_t Vid_FitChannelValue(int32_t value, uint32_t bits)
{
    if (bits == 0)
        return 0;
    if (bits >= 16)
        return static_cast<int16_t>(static_cast<uint16_t>(value));
    return static_cast<int32_t>(static_cast<uint32_t>(value) & ((1u << bits) - 1));
}

int Vid_InitChasePools()
{
    Vid_FreeChasePools();
    static const uint32_t kPages[4] = {16, 16, 1, 4};
    g_pChasePool = Sys_PoolCreate(5, sizeof(CHASE), 256, 0, "CHASE", nullptr);
    static const char *const kLabels[4] = {"CHASE DEF", "CHASE MOD DEF", "CHASE CAM DEF", "CHASE DVE DEF"};
    bool ok = g_pChasePool != nullptr;
    for (int i = 0; i < 4; i++) {
        g_apChaseDefPools[i] = Sys_PoolCreate(4, sizeof(CHASEDEF *), kPages[i], IDPOOL_COMPACT, kLabels[i], nullptr);
        ok = ok && g_apChaseDefPools[i];
        g_aiChaseDefHighest[i] = 0;
    }
    g_iChaseHighestId = -1;
    g_iChaseSerial = 1;
    return ok ? 0 : -1;
}

void Vid_FreeChasePools()
{
    if (g_pChasePool) {
        for (int32_t id = Sys_PoolHighestId(g_pChasePool); id >= 0; id--)
            if (auto *c = static_cast<CHASE *>(Sys_PoolGet(g_pChasePool, id)))
                Vid_FreeChase(c);
        Sys_PoolDestroy(g_pChasePool);
        g_pChasePool = nullptr;
    }
    for (auto &p : g_apChaseDefPools) {
        Sys_PoolDestroy(p);
        p = nullptr;
    }
    for (auto &h : g_aiChaseDefHighest)
        h = 0;
    g_iChaseHighestId = -1;
}

int32_t Vid_RegisterChaseDef(CHASEDEF *def)
{
    if (!def)
        return -1;
    int pool;
    if (def->uKind & CHASEKIND_PLAIN)
        pool = 0;
    else if (def->uKind & CHASEKIND_MOD)
        pool = 1;
    else if (def->uKind & CHASEKIND_CAM)
        pool = 2;
    else if (def->uKind & CHASEKIND_DVE)
        pool = 3;
    else
        return -1;
    IDPOOL *p = g_apChaseDefPools[pool];
    if (!p)
        return -1;
    for (int32_t i = 0; i < g_aiChaseDefHighest[pool]; i++) {
        auto *slot = static_cast<CHASEDEF **>(Sys_PoolGet(p, i));
        if (slot && *slot && (*slot)->uStoredId == def->uStoredId)
            return i | kPoolBits[pool];
    }
    int32_t id;
    auto *slot = static_cast<CHASEDEF **>(Sys_PoolAlloc(p, &id));
    if (!slot || id > CHASETYPE_INDEX)
        return -1;
    *slot = def;
    if (id + 1 > g_aiChaseDefHighest[pool])
        g_aiChaseDefHighest[pool] = id + 1;
    return id | kPoolBits[pool];
}

const CHASEDEF *Vid_GetChaseDef(int32_t type)
{
    int pool = 0;
    if (type & CHASETYPE_MOD)
        pool = 1;
    else if (type & CHASETYPE_CAM)
        pool = 2;
    else if (type & CHASETYPE_DVE)
        pool = 3;
    const CHASEDEF *def = nullptr;
    if (type >= 0 && type <= 0xFFFF && g_apChaseDefPools[pool]) {
        auto *slot = static_cast<CHASEDEF **>(Sys_PoolGet(g_apChaseDefPools[pool], type & CHASETYPE_INDEX));
        def = slot ? *slot : nullptr;
    }
    if (!def)
        std::snprintf(g_szChaseTypeError, sizeof g_szChaseTypeError, "Invalid Chase type 0x%04x requested",
                      static_cast<unsigned>(type & 0xFFFF));
    return def;
}

const char *Vid_LastChaseTypeError()
{
    return g_szChaseTypeError;
}

int32_t Vid_FindChaseType(int32_t storedId)
{
    for (int pool = 0; pool < 4; pool++) {
        if (!g_apChaseDefPools[pool])
            continue;
        for (int32_t i = 0; i < g_aiChaseDefHighest[pool]; i++) {
            auto *slot = static_cast<CHASEDEF **>(Sys_PoolGet(g_apChaseDefPools[pool], i));
            if (slot && *slot && (*slot)->uStoredId == storedId)
                return i | kPoolBits[pool];
        }
    }
    return -1;
}

CHASE *Vid_NewChase(int32_t type)
{
    const CHASEDEF *def = Vid_GetChaseDef(type);
    if (!def || !g_pChasePool)
        return nullptr;
    int32_t id;
    auto *chase = static_cast<CHASE *>(Sys_PoolAlloc(g_pChasePool, &id));
    if (!chase)
        return nullptr;
    std::memset(chase, 0, sizeof *chase);
    const uint32_t bytes = def->sParamBytes > 0 ? static_cast<uint32_t>(def->sParamBytes) : 0;
    chase->pParams = static_cast<uint8_t *>(Sys_MemAlloc(nullptr, bytes));
    if (!chase->pParams) {
        Sys_PoolFree(g_pChasePool, chase);
        return nullptr;
    }
    chase->uType = static_cast<uint16_t>(type);
    chase->pDef = def;
    chase->ucDuration = 1;
    chase->uSerial = g_iChaseSerial++;
    // So that the first evaluation interpolates even in frame 0.
    chase->uInterpFrame = static_cast<uint32_t>(g_iFrameCount.load()) - 1;
    if (id > g_iChaseHighestId)
        g_iChaseHighestId = id;
    return chase;
}

CHASE *Vid_GetChase(int32_t id)
{
    return g_pChasePool ? static_cast<CHASE *>(Sys_PoolGet(g_pChasePool, id)) : nullptr;
}

int32_t Vid_ChaseId(const CHASE *chase)
{
    return g_pChasePool && chase ? Sys_PoolIdOf(g_pChasePool, chase) : -1;
}

int32_t Vid_SetChaseDefaultKey(CHASE *chase)
{
    if (!chase || !chase->pDef)
        return 0;
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS] = {};
    for (int32_t c = 0; c < ChannelCount(chase->pDef); c++) {
        values[c] = DefaultValue(chase->pDef, c);
        states[c] = KEYSTATE_SET;
    }
    return Vid_SetChaseKey(chase, 0, values, states);
}

int32_t Vid_CompleteDefaultKey(CHASE *chase)
{
    if (!chase || !chase->pDef)
        return 0;
    const CHASEKEY *k0 = chase->pKeys && chase->pKeys->sTime == 0 ? chase->pKeys : nullptr;
    const uint32_t missing = AllChannels(chase->pDef) & ~(k0 ? k0->uMask : 0u);
    if (!missing)
        return 1;
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS] = {};
    for (int32_t c = 0; c < ChannelCount(chase->pDef); c++) {
        values[c] = DefaultValue(chase->pDef, c);
        states[c] = (missing >> c & 1) ? KEYSTATE_SET : KEYSTATE_KEEP;
    }
    return Vid_SetChaseKey(chase, 0, values, states);
}

CHASE *Vid_CopyChase(CHASE *src)
{
    if (!src)
        return nullptr;
    CHASE *copy = Vid_NewChase(src->uType);
    if (!copy)
        return nullptr;
    copy->ucTrigA = src->ucTrigA;
    copy->ucTrigB = src->ucTrigB;
    copy->ucMode = src->ucMode;
    copy->ucCursor = src->ucCursor;
    copy->ucTarget = src->ucTarget;
    copy->ucDuration = src->ucDuration;
    copy->uSlope = src->uSlope;
    copy->uAccum = src->uAccum;
    copy->uFramesLeft = src->uFramesLeft;
    copy->uTrigStamp = src->uTrigStamp;
    copy->ucOption = src->ucOption;
    copy->ucWorkTrigA = src->ucWorkTrigA;
    copy->ucWorkTrigB = src->ucWorkTrigB;
    copy->uFlags = src->uFlags;
    copy->uSpare = src->uSpare;
    for (const CHASEKEY *k = src->pKeys; k; k = k->pNext) {
        int32_t values[VID_MAX_CHANNELS] = {};
        uint8_t states[VID_MAX_CHANNELS] = {};
        Vid_GetChaseKey(src, k->sTime, values, nullptr, nullptr, VID_MAX_CHANNELS);
        for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
            states[c] = (k->uMask >> c & 1) ? KEYSTATE_SET : KEYSTATE_REMOVE;
        if (!Vid_SetChaseKey(copy, k->sTime, values, states)) {
            Vid_FreeChase(copy);
            return nullptr;
        }
    }
    return copy;
}

CHASE *Vid_AddChaseRef(CHASE *chase)
{
    if (chase)
        chase->uRefCount++;
    return chase;
}

void Vid_ReleaseChase(CHASE *chase)
{
    if (!chase)
        return;
    if (chase->uRefCount <= 1) {
        chase->uRefCount = 0;
        Vid_FreeChase(chase);
        return;
    }
    chase->uRefCount--;
}

void Vid_AddChaseRefs(CHASE *chase, int32_t n)
{
    if (!chase)
        return;
    const int64_t count = static_cast<int64_t>(chase->uRefCount) + n;
    if (count > 0) {
        chase->uRefCount = static_cast<uint32_t>(count);
        return;
    }
    // Dropping more references than are held frees the chase instead of wrapping the count.
    chase->uRefCount = 1;
    Vid_ReleaseChase(chase);
}

void Vid_FreeChase(CHASE *chase)
{
    if (!chase)
        return;
    CHASEKEY *last = chase->pKeys;
    while (last && last->pNext)
        last = last->pNext;
    while (last) {
        CHASEKEY *prev = last->pPrev;
        Unlink(chase, last);
        Vid_FreeKeyNode(chase, last);
        chase->uKeyCount--;
        last = prev;
    }
    Sys_MemFree(chase->pExtra);
    Sys_MemFree(chase->pParams);
    const int32_t id = Vid_ChaseId(chase);
    std::memset(chase, 0, sizeof *chase);
    Sys_PoolFree(g_pChasePool, chase);
    if (id == g_iChaseHighestId)
        g_iChaseHighestId = Sys_PoolHighestId(g_pChasePool);
}

CHASEKEY *Vid_FindKeyNode(const CHASE *chase, int32_t time)
{
    CHASEKEY *k = chase ? chase->pKeys : nullptr;
    while (k && k->pNext && k->pNext->sTime <= time)
        k = k->pNext;
    return k;
}

int32_t Vid_KeyValue(const CHASE *chase, const CHASEKEY *key, int32_t channel)
{
    int32_t values[VID_MAX_CHANNELS] = {};
    UnpackKey(chase->pDef, key, values);
    return channel >= 0 && channel < VID_MAX_CHANNELS ? values[channel] : 0;
}

int32_t Vid_GetChaseKey(CHASE *chase, int32_t time, int32_t *values, uint8_t *states, const CHASECHANNEL **channels,
                        int32_t max)
{
    if (!chase || !chase->pDef)
        return 0;
    const CHASEDEF *def = chase->pDef;
    const CHASEKEY *k = Vid_FindKeyNode(chase, time);
    if (!k || k->sTime > time)
        return 0;
    const int32_t n = ChannelCount(def);
    int32_t v[VID_MAX_CHANNELS], t[VID_MAX_CHANNELS], nv[VID_MAX_CHANNELS], nt[VID_MAX_CHANNELS];
    for (int32_t c = 0; c < VID_MAX_CHANNELS; c++) {
        v[c] = c < n ? DefaultValue(def, c) : 0;
        t[c] = -1;
    }
    GatherLatest(chase, time, v, t);
    const uint32_t later = GatherNext(chase, time, nv, nt, false);
    if (max > VID_MAX_CHANNELS)
        max = VID_MAX_CHANNELS;
    if (def->read)
        def->read(chase, time, v, n);
    for (int32_t c = 0; c < n && c < max; c++) {
        if (values)
            values[c] = v[c];
        if (states)
            states[c] = t[c] == time ? KEYSTATE_AT : ((later >> c & 1) ? KEYSTATE_LATER : KEYSTATE_LAST);
        if (channels)
            channels[c] = &def->pChannels[c];
    }
    return n;
}

int32_t Vid_SetChaseKey(CHASE *chase, int32_t time, int32_t *valuesIn, uint8_t *statesIn)
{
    if (!chase || !chase->pDef || !valuesIn || !statesIn || time < 0 || time >= VID_KEY_TIMES)
        return 0;
    const CHASEDEF *def = chase->pDef;
    const int32_t n = ChannelCount(def);
    int32_t values[VID_MAX_CHANNELS] = {};
    uint8_t states[VID_MAX_CHANNELS] = {};
    bool allKeep = true, allRemove = true;
    for (int32_t c = 0; c < n; c++) {
        values[c] = valuesIn[c];
        states[c] = statesIn[c];
        allKeep = allKeep && states[c] == KEYSTATE_KEEP;
        allRemove = allRemove && states[c] == KEYSTATE_REMOVE;
    }
    if (allKeep)
        return 0;

    CHASEKEY *exact = Vid_FindKeyNode(chase, time);
    if (exact && exact->sTime != time)
        exact = nullptr;
    // The key at time 0 keeps every channel: removing one there keeps its value instead.
    if (time == 0 && !allRemove)
        for (int32_t c = 0; c < n; c++)
            if (states[c] == KEYSTATE_REMOVE)
                states[c] = KEYSTATE_KEEP;
    bool haveEffect = false;
    int32_t effect[VID_MAX_CHANNELS] = {};
    for (int32_t c = 0; c < n; c++) {
        if (states[c] != KEYSTATE_KEEP)
            continue;
        // Values go to apply in the form read gives (the editor's form), kept ones too.
        if (!haveEffect) {
            for (int32_t i = 0; i < n; i++)
                effect[i] = DefaultValue(def, i);
            Vid_GetChaseKey(chase, time, effect, nullptr, nullptr, VID_MAX_CHANNELS);
            haveEffect = true;
        }
        values[c] = effect[c];
        if (exact && (exact->uMask >> c & 1))
            states[c] = KEYSTATE_SET; // replacing the node keeps the channel
    }
    if (def->apply && !def->apply(chase, time, values, states))
        return 0;
    if (allRemove && time == 0)
        return 1;

    uint32_t mask = 0;
    bool anyRemove = false;
    for (int32_t c = 0; c < n; c++) {
        if (time == 0 || states[c] == KEYSTATE_SET)
            mask |= 1u << c;
        anyRemove = anyRemove || states[c] == KEYSTATE_REMOVE;
    }
    for (int32_t c = 0; c < n; c++)
        values[c] = Vid_FitChannelValue(values[c], def->pChannels[c].ucBits);

    int32_t result;
    if (mask) {
        CHASEKEY *node = nullptr;
        if (exact || chase->uKeyCount < VID_MAX_KEYS)
            node = NewKeyNode(def, mask, time, values);
        if (!node) {
            uint32_t set = 0;
            for (int32_t c = 0; c < n; c++)
                if (states[c] == KEYSTATE_SET)
                    set |= 1u << c;
            if (def->release)
                def->release(chase, values, set);
            return 0;
        }
        if (exact) {
            node->pPrev = exact->pPrev;
            node->pNext = exact->pNext;
        } else {
            CHASEKEY *before = Vid_FindKeyNode(chase, time);
            if (before && before->sTime > time)
                before = nullptr;
            node->pPrev = before;
            node->pNext = before ? before->pNext : chase->pKeys;
        }
        if (node->pPrev)
            node->pPrev->pNext = node;
        else
            chase->pKeys = node;
        if (node->pNext)
            node->pNext->pPrev = node;
        chase->uKeyCount++;
        if (exact)
            exact->pNext = exact->pPrev = nullptr;
        result = 1;
    } else {
        if (exact)
            Unlink(chase, exact);
        result = anyRemove ? 1 : 0;
    }
    if (exact) {
        Vid_FreeKeyNode(chase, exact);
        chase->uKeyCount--;
    }
    return result;
}

int32_t Vid_GetChaseKeyCount(const CHASE *chase)
{
    return chase ? chase->uKeyCount : 0;
}

int32_t Vid_GetChaseKeyTime(const CHASE *chase, int32_t n)
{
    if (!chase || n < 0)
        return -1;
    const CHASEKEY *k = chase->pKeys;
    for (; k && n > 0; n--)
        k = k->pNext;
    return k ? k->sTime : -1;
}

void Vid_PreviewChaseAt(CHASE *chase, int32_t time)
{
    if (!chase || !chase->pDef || !chase->pDef->preview)
        return;
    int32_t values[VID_MAX_CHANNELS] = {};
    if (Vid_GetChaseKey(chase, time, values, nullptr, nullptr, VID_MAX_CHANNELS))
        chase->pDef->preview(chase, values);
}

void Vid_SetChaseLevel(CHASE *chase, int32_t level)
{
    if (!chase)
        return;
    chase->uFlags &= ~static_cast<uint32_t>(CHASEFLAG_ANIMATE);
    chase->ucCursor = static_cast<uint8_t>(level);
    chase->uAccum = static_cast<uint16_t>((level & 0xFF) << 8);
    chase->uFramesLeft = 0;
}

void Vid_UpdateChaseTime(CHASE *chase)
{
    if (!chase || !(chase->uFlags & CHASEFLAG_ANIMATE))
        return;
    const int32_t tick = g_ucFrameTick.load();
    const int32_t duration = Duration(chase);
    int16_t v;
    uint32_t s;
    bool taken = false;
    switch (chase->ucMode) {
    case 0: {
        int32_t slopeA = 0, slopeB = 0;
        Vid_GetTrigger(0, chase->ucWorkTrigA, &v, &s);
        if (Newer(s, chase)) {
            chase->uTrigStamp = s;
            slopeA = (Clamp255(v) - chase->ucCursor) * 256 / duration;
        }
        Vid_GetTrigger(1, chase->ucWorkTrigB, &v, &s);
        if (Newer(s, chase)) {
            chase->uTrigStamp = s;
            slopeB = (Clamp255(v) - chase->ucCursor) * 256 / duration;
        }
        if (slopeA || slopeB) {
            chase->uSlope = static_cast<uint16_t>(std::abs(slopeB) >= std::abs(slopeA) ? slopeB : slopeA);
            chase->uFramesLeft = static_cast<uint16_t>(duration);
        }
        break;
    }
    case 1: {
        uint32_t mark;
        Vid_GetTrigger(3, chase->ucWorkTrigA, nullptr, &mark);
        Vid_GetTrigger(0, chase->ucWorkTrigA, &v, nullptr);
        if (Newer(mark, chase) && v != 0) {
            chase->uTrigStamp = mark;
            taken = true;
        } else {
            Vid_GetTrigger(2, chase->ucWorkTrigB, nullptr, &mark);
            Vid_GetTrigger(1, chase->ucWorkTrigB, &v, nullptr);
            if (Newer(mark, chase) && v != 0) {
                chase->uTrigStamp = mark;
                taken = true;
            }
        }
        if (taken && chase->pKeys) {
            if (chase->uFramesLeft) {
                chase->uAccum = static_cast<uint16_t>(chase->ucTarget << 8);
                chase->ucCursor = chase->ucTarget;
                chase->uFramesLeft = 0;
            }
            const CHASEKEY *k = Vid_FindKeyNode(chase, chase->ucCursor);
            int32_t target;
            if (k->sTime > chase->ucCursor)
                target = k->sTime;
            else
                target = k->pNext ? k->pNext->sTime : chase->pKeys->sTime;
            chase->ucTarget = static_cast<uint8_t>(target);
            if (target < chase->ucCursor)
                target += VID_KEY_TIMES;
            chase->uSlope = static_cast<uint16_t>((target - chase->ucCursor) * 256 / duration);
            chase->uFramesLeft = static_cast<uint16_t>(duration);
        }
        break;
    }
    case 2: {
        int32_t value = 0;
        uint32_t mark;
        Vid_GetTrigger(3, chase->ucWorkTrigA, nullptr, &mark);
        Vid_GetTrigger(0, chase->ucWorkTrigA, &v, &s);
        if (Newer(mark, chase) && v != 0) {
            value = Clamp255(v);
            chase->uTrigStamp = s;
        }
        Vid_GetTrigger(2, chase->ucWorkTrigB, nullptr, &mark);
        Vid_GetTrigger(1, chase->ucWorkTrigB, &v, &s);
        if (Newer(mark, chase) && v != 0) {
            if (Clamp255(v) > value)
                value = Clamp255(v);
            chase->uTrigStamp = s;
        }
        if (value) {
            const int32_t slope = -(value << 8) / duration;
            chase->uSlope = static_cast<uint16_t>(slope);
            chase->uAccum = static_cast<uint16_t>((value << 8) - slope * tick);
            chase->uFramesLeft = static_cast<uint16_t>(duration + tick);
        }
        break;
    }
    case 3: {
        uint32_t mark;
        Vid_GetTrigger(2, 4, nullptr, &mark);
        Vid_GetTrigger(1, 4, &v, nullptr);
        if (Newer(mark, chase) && v != 0 && g_uPlayBlockOffset == 0) {
            chase->uTrigStamp = mark;
            // A tempo of 0 (no song yet) would divide by zero: the sweep then does not start.
            const int64_t frames = g_uTempo ? int64_t(g_uPlayBlockLength) * 12000 / g_uTempo : 0;
            chase->uFramesLeft = static_cast<uint16_t>(frames > 0xFFFF ? 0xFFFF : frames);
            taken = true;
        }
        const int32_t step = tick < chase->uFramesLeft ? tick : chase->uFramesLeft;
        if (chase->uFramesLeft && taken) {
            const int32_t left = chase->uFramesLeft + step;
            chase->uFramesLeft = static_cast<uint16_t>(left > 0xFFFF ? 0xFFFF : left);
            chase->uSlope = static_cast<uint16_t>(65536 / chase->uFramesLeft);
            chase->uAccum = static_cast<uint16_t>(-(chase->uSlope * step));
        }
        break;
    }
    default:
        return;
    }
    if (chase->uFramesLeft) {
        const int32_t step = tick < chase->uFramesLeft ? tick : chase->uFramesLeft;
        chase->uAccum = static_cast<uint16_t>(chase->uAccum + chase->uSlope * step);
        chase->uFramesLeft = static_cast<uint16_t>(chase->uFramesLeft - step);
        chase->ucCursor = static_cast<uint8_t>(chase->uAccum >> 8);
    }
}

void Vid_EvaluateChase(CHASE *chase)
{
    if (!chase || !chase->pKeys || !chase->pDef)
        return;
    const CHASEDEF *def = chase->pDef;
    const int32_t t = chase->ucCursor;
    int32_t prev[VID_MAX_CHANNELS], prevTime[VID_MAX_CHANNELS], next[VID_MAX_CHANNELS], nextTime[VID_MAX_CHANNELS];
    int16_t fractions[VID_MAX_CHANNELS] = {};
    for (int32_t c = 0; c < VID_MAX_CHANNELS; c++) {
        prev[c] = c < ChannelCount(def) ? DefaultValue(def, c) : 0;
        prevTime[c] = -1;
    }
    GatherLatest(chase, t, prev, prevTime);
    for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
        next[c] = prev[c];
    const uint32_t later = GatherNext(chase, t, next, nextTime, chase->ucMode == 1);
    for (int32_t c = 0; c < ChannelCount(def); c++) {
        if (prevTime[c] < 0 || prevTime[c] == t || !(later >> c & 1) || nextTime[c] == prevTime[c])
            continue;
        int32_t span = nextTime[c] - prevTime[c];
        if (span < 0)
            span += VID_KEY_TIMES;
        fractions[c] = static_cast<int16_t>(((t - prevTime[c]) << 12) / span);
    }
    const uint32_t frame = static_cast<uint32_t>(g_iFrameCount.load());
    if (chase->uInterpFrame != frame) {
        if (def->interpolate)
            def->interpolate(chase, prev, next, fractions);
        chase->uInterpFrame = frame;
    }
}

void Vid_RenderChase(CHASE *chase, VIDOBJECT *object)
{
    if (chase && chase->pDef && chase->pDef->render)
        chase->pDef->render(chase, object);
}
