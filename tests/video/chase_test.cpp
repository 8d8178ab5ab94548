// Chase types and instances: registry codes, keys and their packing, copies and references, the
// four time-update modes and the per-frame evaluation.
#include "video_fixture.h"

#include "sequencer/clock.h"
#include "sequencer/samples.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>

using namespace vidtest;

namespace {

struct KEYVIEW
{
    int32_t values[VID_MAX_CHANNELS];
    uint8_t states[VID_MAX_CHANNELS];
    int32_t count;
};

KEYVIEW GetKey(CHASE *c, int32_t t)
{
    KEYVIEW k{};
    k.count = Vid_GetChaseKey(c, t, k.values, k.states, nullptr, VID_MAX_CHANNELS);
    return k;
}

int32_t SetKey(CHASE *c, int32_t t, std::initializer_list<int32_t> values, std::initializer_list<uint8_t> states)
{
    int32_t v[VID_MAX_CHANNELS] = {};
    uint8_t s[VID_MAX_CHANNELS] = {};
    int i = 0;
    for (int32_t x : values)
        v[i++] = x;
    i = 0;
    for (uint8_t x : states)
        s[i++] = x;
    return Vid_SetChaseKey(c, t, v, s);
}

} // namespace

TEST_F(VideoTest, RegistryCodesFollowThePools)
{
    EXPECT_EQ(0x0000, objType);
    EXPECT_EQ(0x0001, resType);
    EXPECT_EQ(0x0002, particleType);
    EXPECT_EQ(0x8000, modType);
    EXPECT_EQ(0x8001, paletteType);
    EXPECT_EQ(0x4000, camType);
    EXPECT_EQ(0x2000, dveType);
    // The same stored id again gives the code it has; a kind of no pool registers nothing.
    EXPECT_EQ(0x8000, Vid_RegisterChaseDef(&g_modDef));
    CHASEDEF none = MakeDef(30, 0x10, 1, kObjChannels);
    EXPECT_EQ(-1, Vid_RegisterChaseDef(&none));

    EXPECT_EQ(0x4000, Vid_FindChaseType(6));
    EXPECT_EQ(-1, Vid_FindChaseType(12));
    EXPECT_EQ(&g_camDef, Vid_GetChaseDef(0x4000));
    EXPECT_EQ(nullptr, Vid_GetChaseDef(0x4005));
    EXPECT_STREQ("Invalid Chase type 0x4005 requested", Vid_LastChaseTypeError());
    EXPECT_EQ(nullptr, Vid_NewChase(0x4005));

    // A full camera pool (16 entries) refuses the next type.
    std::vector<CHASEDEF> cams;
    cams.reserve(20);
    for (uint16_t i = 0; i < 20; i++)
        cams.push_back(MakeDef(static_cast<uint16_t>(40 + i), CHASEKIND_CAM, 1, kObjChannels));
    int32_t last = 0;
    for (int i = 0; i < 15; i++)
        last = Vid_RegisterChaseDef(&cams[i]);
    EXPECT_EQ(0x4000 | 15, last);
    EXPECT_EQ(-1, Vid_RegisterChaseDef(&cams[15]));
}

TEST_F(VideoTest, NewChaseIsEmptyWithDurationOneAndSerials)
{
    CHASE *a = Vid_NewChase(objType);
    CHASE *b = Vid_NewChase(objType);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(0, Vid_GetChaseKeyCount(a));
    EXPECT_EQ(0u, a->uRefCount);
    EXPECT_EQ(1, a->ucDuration);
    EXPECT_EQ(a->uSerial + 1, b->uSerial);
    EXPECT_EQ(1, g_iChaseHighestId);
    Vid_FreeChase(b);
    EXPECT_EQ(0, g_iChaseHighestId);
    EXPECT_EQ(0, GetKey(a, 0).count); // no key at or before time
}

TEST_F(VideoTest, KeyValuesKeepTheWidthRule)
{
    // Stored at each channel's width: 16 bits sign-extended, narrower zero-extended, width 0 as 0.
    struct CASE
    {
        int32_t in[4];
        int32_t out[4];
    } cases[] = {
        {{-1, 255, 1, 9}, {-1, 255, 1, 0}},
        {{-3, 256, 2, 5}, {-3, 0, 0, 0}},
        {{32767, 17, 3, 0}, {32767, 17, 1, 0}},
        {{65535, -1, 0, 1}, {-1, 255, 0, 0}},
    };
    CHASE *c = NewChase(objType);
    for (const CASE &k : cases) {
        ASSERT_EQ(1, SetKey(c, 0, {k.in[0], k.in[1], k.in[2], k.in[3]}, {4, 4, 4, 4}));
        KEYVIEW v = GetKey(c, 0);
        ASSERT_EQ(4, v.count);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(k.out[i], v.values[i]) << i;
    }
    EXPECT_EQ(1, Vid_GetChaseKeyCount(c));
}

TEST_F(VideoTest, SetAndGetKeyStates)
{
    CHASE *c = NewChase(objType);
    KEYVIEW d = GetKey(c, 0);
    EXPECT_EQ(-1, d.values[0]);
    EXPECT_EQ(100, d.values[1]);
    EXPECT_EQ(KEYSTATE_AT, d.states[0]);
    EXPECT_EQ(KEYSTATE_AT, d.states[1]);
    EXPECT_EQ(KEYSTATE_LAST, GetKey(c, 10).states[1]);

    // A key at 50 holding channel 1 only.
    ASSERT_EQ(1, SetKey(c, 50, {0, 200, 0, 0}, {5, 4, 5, 5}));
    EXPECT_EQ(2, Vid_GetChaseKeyCount(c));
    KEYVIEW at10 = GetKey(c, 10);
    EXPECT_EQ(KEYSTATE_LATER, at10.states[1]);
    EXPECT_EQ(KEYSTATE_LAST, at10.states[0]);
    KEYVIEW at60 = GetKey(c, 60);
    EXPECT_EQ(200, at60.values[1]);
    EXPECT_EQ(-1, at60.values[0]); // from the key at 0
    EXPECT_EQ(KEYSTATE_LAST, at60.states[1]);
    EXPECT_EQ(KEYSTATE_AT, GetKey(c, 50).states[1]);
    EXPECT_EQ(50, Vid_GetChaseKeyTime(c, 1));
    EXPECT_EQ(-1, Vid_GetChaseKeyTime(c, 2));

    // Replacing the key at 50: channels left at 5 that the old node held stay.
    ASSERT_EQ(1, SetKey(c, 50, {42, 0, 0, 0}, {4, 5, 5, 5}));
    EXPECT_EQ(2, Vid_GetChaseKeyCount(c));
    KEYVIEW r = GetKey(c, 50);
    EXPECT_EQ(42, r.values[0]);
    EXPECT_EQ(200, r.values[1]);
    EXPECT_EQ(KEYSTATE_AT, r.states[0]);
    EXPECT_EQ(KEYSTATE_AT, r.states[1]);

    // All 5: nothing. All 6 at time 0: 1 and nothing changed.
    EXPECT_EQ(0, SetKey(c, 50, {}, {5, 5, 5, 5}));
    EXPECT_EQ(1, SetKey(c, 0, {}, {6, 6, 6, 6}));
    EXPECT_EQ(2, Vid_GetChaseKeyCount(c));
    EXPECT_EQ(-1, GetKey(c, 0).values[0]);

    // Removing channel 0 at 50 keeps channel 1 there; removing both drops the node.
    ASSERT_EQ(1, SetKey(c, 50, {}, {6, 5, 5, 5}));
    EXPECT_EQ(KEYSTATE_LAST, GetKey(c, 50).states[0]);
    EXPECT_EQ(KEYSTATE_AT, GetKey(c, 50).states[1]);
    ASSERT_EQ(1, SetKey(c, 50, {}, {6, 6, 6, 6}));
    EXPECT_EQ(1, Vid_GetChaseKeyCount(c));

    // Times outside 0..255 and refusing apply change nothing.
    EXPECT_EQ(0, SetKey(c, 256, {1, 1, 1, 1}, {4, 4, 4, 4}));
    g_refuseApply = 1;
    EXPECT_EQ(0, SetKey(c, 10, {1, 1, 1, 1}, {4, 4, 4, 4}));
    EXPECT_EQ(1, Vid_GetChaseKeyCount(c));
}

TEST_F(VideoTest, KeysStayInTimeOrderAndCapAt255)
{
    CHASE *c = NewChase(objType);
    for (int32_t t : {200, 7, 100, 255, 3})
        ASSERT_EQ(1, SetKey(c, t, {t, 0, 0, 0}, {4, 5, 5, 5}));
    const int32_t order[] = {0, 3, 7, 100, 200, 255};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(order[i], Vid_GetChaseKeyTime(c, i));
    for (const CHASEKEY *k = c->pKeys; k; k = k->pNext) {
        if (k->pNext) {
            EXPECT_EQ(k, k->pNext->pPrev);
        }
    }

    // 255 keys fill the one-byte count of a save; a 256th is refused, a replacement is not.
    for (int32_t t = 1; t < 255; t++)
        SetKey(c, t, {t, 0, 0, 0}, {4, 5, 5, 5});
    EXPECT_EQ(255, Vid_GetChaseKeyCount(c));
    EXPECT_NE(KEYSTATE_AT, GetKey(c, 254).states[0]); // the one time left without a key
    g_log.clear();
    EXPECT_EQ(0, SetKey(c, 254, {1, 0, 0, 0}, {4, 5, 5, 5}));
    EXPECT_EQ("release 1 1", g_log.back()); // the accepted values go back
    EXPECT_EQ(1, SetKey(c, 255, {9, 0, 0, 0}, {4, 5, 5, 5}));
    EXPECT_EQ(255, Vid_GetChaseKeyCount(c));
}

TEST_F(VideoTest, CompleteDefaultKeyFillsMissingChannels)
{
    CHASE *c = Vid_NewChase(objType);
    ASSERT_EQ(1, SetKey(c, 0, {5, 0, 0, 0}, {4, 6, 6, 6}));
    // Time 0 always holds every channel: the channels asked to go took their values in effect.
    EXPECT_EQ(0xF, c->pKeys->uMask);
    EXPECT_EQ(1, Vid_CompleteDefaultKey(c));
    EXPECT_EQ(5, GetKey(c, 0).values[0]);
}

TEST_F(VideoTest, CopyIsDeepAndAFailedCopyFreesEverything)
{
    CHASE *src = Vid_NewChase(resType);
    ASSERT_EQ(1, SetKey(src, 0, {3, 9}, {4, 4}));
    ASSERT_EQ(1, SetKey(src, 40, {5, 0}, {4, 5}));
    src->ucMode = 2;
    src->ucTrigA = 7;
    src->ucDuration = 9;
    src->uSpare = 0x1234;
    EXPECT_EQ(1, g_resRefs[3]);
    CHASE *copy = Vid_CopyChase(src);
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(src->pKeys, copy->pKeys);
    EXPECT_NE(src->pParams, copy->pParams);
    EXPECT_EQ(2, Vid_GetChaseKeyCount(copy));
    EXPECT_EQ(2, copy->ucMode);
    EXPECT_EQ(7, copy->ucTrigA);
    EXPECT_EQ(9, copy->ucDuration);
    EXPECT_EQ(0x1234u, copy->uSpare);
    EXPECT_NE(src->uSerial, copy->uSerial);
    EXPECT_EQ(2, g_resRefs[3]);
    EXPECT_EQ(2, g_resRefs[5]);
    EXPECT_EQ(0x1, copy->pKeys->pNext->uMask);
    Vid_FreeChase(copy);
    EXPECT_EQ(1, g_resRefs[3]);
    EXPECT_EQ(1, g_resRefs[5]);

    // Memory runs out at the second key node: the copy is undone, references and all.
    static int allocations;
    allocations = 0;
    Sys_MemSetAllocHook([](size_t size) -> void * {
        if (size > 8 && size < 64 && ++allocations == 2)
            return nullptr;
        return std::malloc(size);
    });
    const int32_t before = g_iChaseHighestId;
    CHASE *failed = Vid_CopyChase(src);
    Sys_MemSetAllocHook(nullptr);
    EXPECT_EQ(nullptr, failed);
    EXPECT_EQ(1, g_resRefs[3]);
    EXPECT_EQ(1, g_resRefs[5]);
    EXPECT_EQ(before, g_iChaseHighestId);
}

TEST_F(VideoTest, ReferenceCountsFreeAtZeroAndNeverWrap)
{
    CHASE *c = NewChase(resType);
    EXPECT_EQ(1, g_resRefs[1]);
    Vid_AddChaseRef(c);
    Vid_AddChaseRefs(c, 2);
    EXPECT_EQ(3u, c->uRefCount);
    Vid_ReleaseChase(c);
    EXPECT_EQ(2u, c->uRefCount);
    // Dropping more than are held frees once rather than wrapping the count.
    const int32_t id = Vid_ChaseId(c);
    Vid_AddChaseRefs(c, -5);
    EXPECT_EQ(nullptr, Vid_GetChase(id));
    EXPECT_EQ(0, g_resRefs[1]);
}

namespace {

struct MODECASE
{
    const char *name;
    uint8_t mode, duration;
    int32_t bank, index, value; // trigger written before the frames
    int32_t markBank;           // -1 none
    std::vector<int32_t> cursors; // cursor after each frame
};

} // namespace

TEST_F(VideoTest, TimeUpdateModes)
{
    const MODECASE cases[] = {
        // Follow: note level 200 over a duration of 4 frames.
        {"follow A", 0, 4, 0, 5, 200, -1, {50, 100, 150, 200, 200}},
        {"follow B", 0, 2, 1, 6, 100, -1, {50, 100, 100}},
        // Flash: shows the level, falls to 0 over the duration.
        {"flash", 2, 10, 0, 5, 200, 3, {200, 180, 160, 140, 120, 100, 80, 60, 40, 20, 0, 0}},
        {"flash B", 2, 4, 1, 6, 80, 2, {80, 60, 40, 20, 0}},
        {"flash needs a mark", 2, 4, 0, 5, 80, -1, {0, 0}},
        {"duration 0 acts as 1", 0, 0, 0, 5, 90, -1, {90, 90}},
    };
    for (const MODECASE &k : cases) {
        SCOPED_TRACE(k.name);
        CHASE *c = NewChase(objType);
        c->ucMode = k.mode;
        c->ucDuration = k.duration;
        c->ucWorkTrigA = 5;
        c->ucWorkTrigB = 6;
        c->uFlags |= CHASEFLAG_ANIMATE;
        g_iFrameCount = 10;
        Vid_SetTrigger(k.bank, k.index, k.value);
        if (k.markBank >= 0)
            Vid_SetTrigger(k.markBank, k.index, 255);
        for (size_t f = 0; f < k.cursors.size(); f++) {
            g_iFrameCount = static_cast<int32_t>(11 + f);
            Vid_UpdateChaseTime(c);
            EXPECT_EQ(k.cursors[f], c->ucCursor) << "frame " << f;
        }
        Vid_FreeChase(c);
        Vid_ClearTriggers();
    }
}

TEST_F(VideoTest, FollowTakesTheLargerMoveAndOnlyNewTriggers)
{
    CHASE *c = NewChase(objType);
    c->ucMode = 0;
    c->ucDuration = 1;
    c->ucWorkTrigA = 2;
    c->ucWorkTrigB = 2;
    c->uFlags |= CHASEFLAG_ANIMATE;
    g_iFrameCount = 4;
    Vid_SetTrigger(0, 2, 60);
    g_iFrameCount = 5;
    Vid_SetTrigger(1, 2, 200);
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(200, c->ucCursor);
    // Equal magnitudes: B wins.
    Vid_SetChaseLevel(c, 100);
    c->uFlags |= CHASEFLAG_ANIMATE;
    g_iFrameCount = 6;
    Vid_SetTrigger(0, 2, 150);
    g_iFrameCount = 7;
    Vid_SetTrigger(1, 2, 50);
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(50, c->ucCursor);
    // B is measured against the stamp A left: written in the same frame, only A counts.
    g_iFrameCount = 8;
    Vid_SetTrigger(0, 2, 30);
    Vid_SetTrigger(1, 2, 250);
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(30, c->ucCursor);
    // The same stamps again count for nothing.
    c->ucCursor = 10;
    c->uAccum = 10 << 8;
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(10, c->ucCursor);
    // Without the animate flag nothing moves.
    c->uFlags = 0;
    g_iFrameCount = 7;
    Vid_SetTrigger(0, 2, 250);
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(10, c->ucCursor);
}

TEST_F(VideoTest, StepModeWrapsForwardThroughTheLastKey)
{
    CHASE *c = NewChase(objType);
    SetKey(c, 100, {1, 0, 0, 0}, {4, 5, 5, 5});
    SetKey(c, 200, {2, 0, 0, 0}, {4, 5, 5, 5});
    c->ucMode = 1;
    c->ucDuration = 4;
    c->ucWorkTrigA = 3;
    c->uFlags |= CHASEFLAG_ANIMATE;
    Vid_SetChaseLevel(c, 200);
    c->uFlags |= CHASEFLAG_ANIMATE;
    g_iFrameCount = 20;
    Vid_SetTrigger(0, 3, 255);
    Vid_SetTrigger(3, 3, 255);
    const int32_t expect[] = {214, 228, 242, 0, 0};
    for (int32_t e : expect) {
        g_iFrameCount++;
        Vid_UpdateChaseTime(c);
        EXPECT_EQ(e, c->ucCursor);
    }
    EXPECT_EQ(0, c->ucTarget);
    // The next trigger steps to 100; a trigger mid-move finishes the move at once.
    Vid_SetTrigger(0, 3, 255);
    Vid_SetTrigger(3, 3, 255);
    g_iFrameCount++;
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(25, c->ucCursor);
    g_iFrameCount++;
    Vid_SetTrigger(0, 3, 255);
    Vid_SetTrigger(3, 3, 255);
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(100 + 25, c->ucCursor);
    EXPECT_EQ(200, c->ucTarget);
}

TEST_F(VideoTest, SweepRunsOverTheBlockFromItsFirstPosition)
{
    CHASE *c = NewChase(objType);
    c->ucMode = 3;
    c->uFlags |= CHASEFLAG_ANIMATE;
    const uint16_t tempo = g_uTempo;
    g_uTempo = 120;
    g_uPlayBlockLength = 2; // 2 rows at tempo 120: 200 frames
    g_uPlayBlockOffset = 0;
    g_iFrameCount = 30;
    Vid_SetTrigger(1, 4, 255);
    Vid_SetTrigger(2, 4, 255);
    int32_t last = -1;
    for (int f = 0; f < 201; f++) {
        g_iFrameCount++;
        Vid_UpdateChaseTime(c);
        EXPECT_GE(c->ucCursor, last);
        last = c->ucCursor;
    }
    EXPECT_GE(last, 253);
    EXPECT_EQ(0, c->uFramesLeft);

    // Not at the block's first position, or with no tempo: no sweep starts.
    CHASE *d = NewChase(objType);
    d->ucMode = 3;
    d->uFlags |= CHASEFLAG_ANIMATE;
    g_uPlayBlockOffset = 1;
    Vid_SetTrigger(1, 4, 255);
    Vid_SetTrigger(2, 4, 255);
    g_iFrameCount++;
    Vid_UpdateChaseTime(d);
    EXPECT_EQ(0, d->uFramesLeft);
    g_uPlayBlockOffset = 0;
    g_uTempo = 0;
    g_iFrameCount++;
    Vid_SetTrigger(1, 4, 255);
    Vid_SetTrigger(2, 4, 255);
    g_iFrameCount++;
    Vid_UpdateChaseTime(d);
    EXPECT_EQ(0, d->ucCursor);
    g_uTempo = tempo;
}

TEST_F(VideoTest, TriggerSourcesPastTheOldBankSizeAreSafe)
{
    // Column 98 writes index 100; every u8 source reads a real entry.
    CHASE *c = NewChase(objType);
    c->ucMode = 2;
    c->ucDuration = 2;
    c->ucWorkTrigA = 100;
    c->ucWorkTrigB = 255;
    c->uFlags |= CHASEFLAG_ANIMATE;
    g_iFrameCount = 50;
    Vid_SetTrigger(0, 100, 120);
    Vid_SetTrigger(3, 100, 255);
    g_iFrameCount++;
    Vid_UpdateChaseTime(c);
    EXPECT_EQ(120, c->ucCursor);
}

TEST_F(VideoTest, EvaluationFractionsAndOncePerFrame)
{
    CHASE *c = NewChase(objType);
    SetKey(c, 100, {40, 0, 0, 0}, {4, 5, 5, 5});
    SetKey(c, 200, {0, 50, 0, 0}, {5, 4, 5, 5});
    struct
    {
        uint8_t mode, cursor;
        const char *expect;
    } cases[] = {
        {0, 0, "interp 1 -1 40 0 100 0"},      // on a key
        {0, 50, "interp 1 -1 40 2048 100 1024"}, // halfway to 100; channel 1 a quarter to 200
        {0, 150, "interp 1 40 40 0 100 3072"},   // channel 0 has no later key
        {0, 230, "interp 1 40 40 0 50 0"},       // past the last key
        // Step mode reads on through the first key as time 256.
        {1, 230, "interp 1 40 -1 3413 50 2194"},
    };
    for (const auto &k : cases) {
        c->ucMode = k.mode;
        c->ucCursor = k.cursor;
        g_iFrameCount++;
        g_log.clear();
        Vid_EvaluateChase(c);
        ASSERT_EQ(1u, g_log.size());
        EXPECT_EQ(k.expect, g_log[0]) << int(k.mode) << " " << int(k.cursor);
    }
    // Twice in one frame interpolates once.
    g_log.clear();
    Vid_EvaluateChase(c);
    EXPECT_TRUE(g_log.empty());
    // A single key: every fraction 0.
    CHASE *one = NewChase(objType);
    one->ucCursor = 77;
    g_log.clear();
    Vid_EvaluateChase(one);
    EXPECT_EQ("interp 1 -1 -1 0 100 0", g_log.at(0));
}

TEST_F(VideoTest, LevelAndPreview)
{
    static int previews;
    static int32_t seen;
    previews = 0;
    CHASEDEF d = MakeDef(4, CHASEKIND_MOD, 4, kObjChannels);
    d.preview = [](CHASE *, const int32_t *v) {
        previews++;
        seen = v[1];
    };
    const int32_t type = Vid_RegisterChaseDef(&d);
    CHASE *c = NewChase(type);
    Vid_PreviewChaseAt(c, 30);
    EXPECT_EQ(1, previews);
    EXPECT_EQ(100, seen);
    c->uFlags = CHASEFLAG_ANIMATE;
    Vid_SetChaseLevel(c, 77);
    EXPECT_EQ(0u, c->uFlags & CHASEFLAG_ANIMATE);
    EXPECT_EQ(77, c->ucCursor);
    EXPECT_EQ(77 << 8, c->uAccum);
    Vid_FreeChase(c);
}

TEST_F(VideoTest, RandomKeyEditsMatchAPlainModel)
{
    // The model: per key time, the value of each channel the key holds.
    using KEY = std::array<std::optional<int32_t>, 4>;
    std::map<int32_t, KEY> model;
    CHASE *c = NewChase(objType);
    model[0] = KEY{-1, 100, 1, 0};
    auto fit = [](int ch, int32_t v) { return Vid_FitChannelValue(v, kObjChannels[ch].ucBits); };
    std::mt19937 rng(99);
    auto R = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int step = 0; step < 3000; step++) {
        const int32_t t = R(0, 9) == 0 ? 0 : R(0, 60);
        int32_t v[VID_MAX_CHANNELS] = {};
        uint8_t s[VID_MAX_CHANNELS] = {};
        bool allKeep = true, allRemove = true;
        for (int ch = 0; ch < 4; ch++) {
            v[ch] = R(-40000, 40000);
            s[ch] = static_cast<uint8_t>(R(4, 6));
            allKeep = allKeep && s[ch] == 5;
            allRemove = allRemove && s[ch] == 6;
        }
        int expect;
        if (allKeep) {
            expect = 0;
        } else if (allRemove && t == 0) {
            expect = 1;
        } else {
            const auto it = model.find(t);
            KEY key{};
            bool any = false, anyRemove = false;
            for (int ch = 0; ch < 4; ch++) {
                uint8_t st = s[ch];
                if (t == 0 && st == 6)
                    st = 5;
                anyRemove = anyRemove || st == 6;
                if (st == 5 && it != model.end() && it->second[ch])
                    key[ch] = it->second[ch];
                else if (st == 4 || t == 0)
                    key[ch] = fit(ch, v[ch]);
                any = any || key[ch].has_value();
            }
            if (any)
                model[t] = key;
            else if (it != model.end())
                model.erase(it);
            expect = any || anyRemove ? 1 : 0;
        }
        // Time 0 channels left at 5 with no key would take the value in effect: never the case,
        // as the key at 0 always holds every channel.
        ASSERT_EQ(expect, Vid_SetChaseKey(c, t, v, s)) << "step " << step;
        ASSERT_EQ(static_cast<int32_t>(model.size()), Vid_GetChaseKeyCount(c)) << "step " << step;
        const int32_t probe = R(0, 70);
        KEYVIEW got = GetKey(c, probe);
        for (int ch = 0; ch < 4; ch++) {
            std::optional<int32_t> at, later;
            for (auto &[time, key] : model) {
                if (time <= probe && key[ch])
                    at = key[ch];
                if (time > probe && key[ch] && !later)
                    later = key[ch];
            }
            ASSERT_EQ(ch == 3 ? 0 : *at, got.values[ch]) << "step " << step << " channel " << ch;
            const bool exact = model.count(probe) && model[probe][ch].has_value();
            ASSERT_EQ(exact ? KEYSTATE_AT : (later ? KEYSTATE_LATER : KEYSTATE_LAST), got.states[ch])
                << "step " << step << " channel " << ch;
        }
    }
    int i = 0;
    for (auto &[time, key] : model)
        EXPECT_EQ(time, Vid_GetChaseKeyTime(c, i++));
}
