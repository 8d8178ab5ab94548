// Shared set-up of the video tests: the chase, clip and lane pools made fresh, and small chase
// types whose methods record what the engine asked of them.
#pragma once

#include "app/timers.h"
#include "core/console_memory.h"
#include "core/idpool.h"
#include "core/random.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/lanes.h"
#include "video/triggers.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vidtest {

inline std::vector<std::string> g_log;
inline int32_t g_refuseApply = 0;
// Reference counts of a pretend resource kind: channel 0 of the "resource" type holds an id.
inline int32_t g_resRefs[64];

inline void Log(const char *fmt, auto... args)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, args...);
    g_log.emplace_back(buf);
}

inline int32_t RecRead(CHASE *c, int32_t t, int32_t *, int32_t)
{
    Log("read %d %d", c->pDef->uStoredId, t);
    return 0;
}
inline int32_t RecApply(CHASE *c, int32_t t, int32_t *, uint8_t *)
{
    Log("apply %d %d", c->pDef->uStoredId, t);
    return g_refuseApply ? 0 : 1;
}
inline void RecInterp(CHASE *c, const int32_t *a, const int32_t *b, const int16_t *w)
{
    Log("interp %d %d %d %d %d %d", c->pDef->uStoredId, a[0], b[0], w[0], a[1], w[1]);
}
inline void RecRelease(CHASE *c, const int32_t *, uint32_t mask)
{
    Log("release %d %x", c->pDef->uStoredId, mask);
}
inline void RecRender(CHASE *c, VIDOBJECT *o)
{
    Log("render %d %d", c->pDef->uStoredId, static_cast<int>(o - g_aLaneSlots));
}

// Resource type: channel 0 is an editor number n (1..63) stored as resource id n; every stored
// value holds one reference.
inline int32_t ResRead(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
inline int32_t ResApply(CHASE *, int32_t, int32_t *v, uint8_t *s)
{
    if (s[0] == KEYSTATE_SET) {
        if (v[0] < 1 || v[0] >= 64)
            return 0;
        g_resRefs[v[0]]++;
    }
    return 1;
}
inline void ResRelease(CHASE *, const int32_t *v, uint32_t mask)
{
    if ((mask & 1) && v[0] > 0 && v[0] < 64)
        g_resRefs[v[0]]--;
}

// Channels: 0 16-bit signed, 1 8-bit, 2 1-bit, 3 not packed.
inline const CHASECHANNEL kObjChannels[4] = {
    {-1, -1, 300, 16, 1, nullptr, nullptr},
    {100, 0, 255, 8, 2, nullptr, nullptr},
    {1, 0, 1, 1, 2, nullptr, nullptr},
    {7, 0, 9, 0, 2, nullptr, nullptr},
};
inline const CHASECHANNEL kResChannels[2] = {
    {1, 1, 63, 16, 1, nullptr, nullptr},
    {0, 0, 255, 8, 2, nullptr, nullptr},
};

inline CHASEDEF MakeDef(uint16_t storedId, uint16_t kind, int16_t channels, const CHASECHANNEL *table)
{
    CHASEDEF d{};
    d.uStoredId = storedId;
    d.uLabel = static_cast<uint16_t>(100 + storedId);
    d.uKind = kind;
    d.sParamBytes = d.sParamBytesCopy = 8;
    d.sChannelCount = channels;
    d.pChannels = table;
    d.read = RecRead;
    d.apply = RecApply;
    d.interpolate = RecInterp;
    d.release = RecRelease;
    d.render = RecRender;
    return d;
}

inline CHASEDEF g_objDef = MakeDef(1, CHASEKIND_PLAIN, 4, kObjChannels);
inline CHASEDEF g_particleDef = MakeDef(9, CHASEKIND_PLAIN, 4, kObjChannels);
inline CHASEDEF g_modDef = MakeDef(3, CHASEKIND_MOD, 4, kObjChannels);
inline CHASEDEF g_paletteDef = MakeDef(13, CHASEKIND_MOD, 4, kObjChannels);
inline CHASEDEF g_camDef = MakeDef(6, CHASEKIND_CAM, 4, kObjChannels);
inline CHASEDEF g_dveDef = MakeDef(15, CHASEKIND_DVE, 4, kObjChannels);
inline CHASEDEF g_resDef = [] {
    CHASEDEF d = MakeDef(2, CHASEKIND_PLAIN, 2, kResChannels);
    d.read = ResRead;
    d.apply = ResApply;
    d.release = ResRelease;
    return d;
}();

class VideoTest : public ::testing::Test
{
protected:
    int32_t objType = -1, particleType = -1, modType = -1, paletteType = -1, camType = -1, dveType = -1,
            resType = -1;

    void SetUp() override
    {
        g_log.clear();
        g_refuseApply = 0;
        for (int32_t &r : g_resRefs)
            r = 0;
        Sys_SeedRand(1);
        g_iFrameCount = 1;
        g_ucFrameTick = 1;
        ASSERT_EQ(0, Vid_InitChasePools());
        ASSERT_EQ(0, Vid_InitClipPools());
        Vid_InitLanes();
        Vid_ClearTriggers();
        Vid_ClearClipGridRecords();
        g_pPreviewClip = g_pClipMenuClip = g_pClipMenuSource = nullptr;
        objType = Vid_RegisterChaseDef(&g_objDef);
        resType = Vid_RegisterChaseDef(&g_resDef);
        particleType = Vid_RegisterChaseDef(&g_particleDef);
        modType = Vid_RegisterChaseDef(&g_modDef);
        paletteType = Vid_RegisterChaseDef(&g_paletteDef);
        camType = Vid_RegisterChaseDef(&g_camDef);
        dveType = Vid_RegisterChaseDef(&g_dveDef);
        Vid_InitLaneCoords();
    }

    void TearDown() override
    {
        Vid_ResetVideo();
        Vid_FreeClipPools();
        Vid_FreeChasePools();
        for (int32_t i = 0; i < 4; i++)
            Vid_FreeLaneObject(i);
        Vid_ClearTriggers();
        g_iFrameCount = 0;
    }

    // A chase with its default key.
    CHASE *NewChase(int32_t type)
    {
        CHASE *c = Vid_NewChase(type);
        EXPECT_NE(nullptr, c);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c));
        return c;
    }

    // A clip of one chase of type plus any further types.
    VIDCLIP *NewClip(int32_t type, std::initializer_list<int32_t> more = {})
    {
        VIDCLIP *clip = Vid_NewClip();
        EXPECT_NE(nullptr, clip);
        Vid_AppendClipEntry(clip, NewChase(type));
        for (int32_t t : more)
            Vid_AppendClipEntry(clip, NewChase(t));
        return clip;
    }
};

} // namespace vidtest
