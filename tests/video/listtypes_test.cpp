// The chase types that pick one archive resource: Shape, Background, Texture and Movie, over a
// small fake archive. Reference counts are checked through every path; the interpolation tables
// check the values each type hands the lane's render object.
#include "fakeres.h"

#include "core/moviestream.h"
#include "render/texpages.h"
#include "video/chasemaps.h"
#include "video/chaseshape.h"
#include "video/clips.h"
#include "video/interp.h"
#include "editors/chaseeditor.h"
#include "video/render.h"

#include <cstring>

using namespace fakeres;

namespace {

WINDOW *const kEditorOpen = reinterpret_cast<WINDOW *>(&g_pChaseEditWindow);

int32_t Set(CHASE *c, int32_t time, std::vector<int32_t> v, std::vector<uint8_t> s)
{
    v.resize(VID_MAX_CHANNELS);
    s.resize(VID_MAX_CHANNELS, KEYSTATE_KEEP);
    return Vid_SetChaseKey(c, time, v.data(), s.data());
}

std::vector<int32_t> Read(CHASE *c, int32_t time)
{
    std::vector<int32_t> v(VID_MAX_CHANNELS);
    const int32_t n = Vid_GetChaseKey(c, time, v.data(), nullptr, nullptr, VID_MAX_CHANNELS);
    v.resize(static_cast<size_t>(n));
    return v;
}

std::vector<int32_t> Stored(CHASE *c, int32_t channels)
{
    std::vector<int32_t> v;
    for (int32_t i = 0; i < channels; i++)
        v.push_back(Vid_KeyValue(c, c->pKeys, i));
    return v;
}

constexpr uint8_t S = KEYSTATE_SET, K = KEYSTATE_KEEP;

// Keeps a type's channel table as it was: limit updates and the Moving default rewrite it.
template <size_t N>
struct TableGuard
{
    CHASECHANNEL *table;
    CHASECHANNEL saved[N];
    explicit TableGuard(CHASECHANNEL (&t)[N]) : table(t) { std::memcpy(saved, t, sizeof saved); }
    ~TableGuard() { std::memcpy(table, saved, sizeof saved); }
};

class ShapeTest : public FakeResTest
{
protected:
    TableGuard<7> guard{g_aShapeChannels};
    int32_t type = -1;
    ANIM *anim = nullptr;

    void SetUp() override
    {
        FakeResTest::SetUp();
        type = Vid_RegisterChaseDef(&g_ShapeChaseDef);
        AddModel(VIDRES_MODELS, {0, 0}, 25);
        AddModel(VIDRES_MODELS, {0, 1}, 100);
        AddModel(VIDRES_MODELS, {0, 2}, 300, 100); // 400 primitives
        AddModel(VIDRES_MODELS, {1, 0}, 0, 10);
        for (int32_t q : {1, 2, 3, 8, 32})
            for (int32_t n = 0; n < 2; n++)
                AddLayout(q, n, n * 1000);
        world.folders[{VIDRES_LAYOUT, {}}] = 33;
        world.folders[{VIDRES_MODELS, {}}] = 2;
        anim = AddAnim({0, 0, 0});
        AddAnim({0, 0, 1});
        AddAnim({0, 0, 2});
        AddAnim({0, 1, 0});
        world.sizes[{VIDRES_ANIM, {0, 0}}] = 64;
        world.sizes[{VIDRES_ANIM, {0, 1}}] = 64;
        world.sizes[{VIDRES_ANIM, {1, 0}}] = 4;
    }
    void TearDown() override
    {
        g_pChaseEditWindow = nullptr;
        FakeResTest::TearDown();
    }
    CHASE *NewShape()
    {
        CHASE *c = Vid_NewChase(type);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c));
        return c;
    }
};

} // namespace

TEST_F(ShapeTest, DefaultKeyHoldsOneReferenceOfModelLayoutAndAnimation)
{
    CHASE *c = NewShape();
    EXPECT_EQ(1, RefsOf(VIDRES_MODELS, {0, 0}));
    EXPECT_EQ(1, RefsOf(VIDRES_LAYOUT, {0, 0}));
    EXPECT_EQ(1, RefsOf(VIDRES_ANIM, {0, 0, 0}));
    EXPECT_EQ(3, Refs());
    // Stored: resource ids (items and layouts are not stored); read: the editor's numbers.
    EXPECT_EQ((std::vector<int32_t>{IdOf(VIDRES_MODELS, {0, 0}), 0, IdOf(VIDRES_ANIM, {0, 0, 0}), 8,
                                    IdOf(VIDRES_LAYOUT, {0, 0}), 0, 3}),
              Stored(c, 7));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 1, 8, 1, 1, 3}), Read(c, 0));
    // Changing only the speed later keeps the references of the first key.
    ASSERT_EQ(1, Set(c, 100, {0, 0, 0, 20}, {K, K, K, S}));
    EXPECT_EQ(3, Refs());
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, QuantityIsLimitedByTheModelsPrimitives)
{
    const struct
    {
        int32_t family, item, most;
    } cases[] = {{0, 1, 32}, {0, 2, 8}, {0, 3, 2}, {1, 1, 32}};
    for (const auto &k : cases) {
        CHASE *c = NewShape();
        ASSERT_EQ(1, Set(c, 0, {k.family, k.item, 0, 8, 32, 1, 3}, {S, S, S, S, S, S, S})) << k.item;
        EXPECT_EQ(k.most, g_aShapeChannels[4].sMax);
        EXPECT_EQ(k.most, Read(c, 0)[4]);
        EXPECT_EQ(1, RefsOf(VIDRES_LAYOUT, {static_cast<uint16_t>(k.most - 1), 0}));
        Vid_FreeChase(c);
    }
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, OneCopyOfTheFirstLayoutLocksTheScale)
{
    CHASE *c = NewShape();
    ASSERT_EQ(1, Set(c, 0, {0, 1, 0, 8, 1, 1, 6}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(3, Read(c, 0)[6]);
    EXPECT_EQ(3, g_aShapeChannels[6].sMin);
    EXPECT_EQ(3, g_aShapeChannels[6].sMax);
    ASSERT_EQ(1, Set(c, 0, {0, 1, 0, 8, 2, 1, 6}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(6, Read(c, 0)[6]);
    EXPECT_EQ(0, g_aShapeChannels[6].sMin);
    EXPECT_EQ(7, g_aShapeChannels[6].sMax);
    Vid_FreeChase(c);
}

TEST_F(ShapeTest, RefusedKeysGiveBackWhatTheyTook)
{
    CHASE *c = NewShape();
    const int32_t before = Refs();
    const struct
    {
        std::vector<int32_t> v;
        const char *why;
    } cases[] = {
        {{0, 0, 1, 8, 1, 1, 3}, "item 0"},
        {{1, 2, 0, 8, 1, 1, 3}, "no such model"},
        {{0, 1, 1, 8, 2, 5, 3}, "no such layout (model and animation taken first)"},
        {{0, 1, 1, 8, 0, 1, 3}, "quantity 0"},
        {{0, 2, 0, 8, 4, 1, 3}, "no layout folder for 4"},
    };
    for (const auto &k : cases) {
        EXPECT_EQ(0, Set(c, 0, k.v, {S, S, S, S, S, S, S})) << k.why;
        EXPECT_EQ(before, Refs()) << k.why;
        EXPECT_EQ(1, Vid_GetChaseKeyCount(c));
        EXPECT_EQ(0, Set(c, 50, k.v, {S, S, S, S, S, S, S})) << k.why;
        EXPECT_EQ(before, Refs()) << k.why;
    }
    // The earlier key still plays, with its copies kept in a buffer of the size it had.
    EXPECT_GE(c->uExtraBytes, 16u);
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, ASongLoadKeepsAnimationsThatTheModelHas)
{
    // The editor range is still 0..1, but this model has three animations: a loaded key asking
    // for the third gets the third.
    ASSERT_EQ(1, g_aShapeChannels[2].sMax);
    CHASE *c = NewShape();
    ASSERT_EQ(1, Set(c, 0, {0, 1, 3, 8, 1, 1, 3}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(IdOf(VIDRES_ANIM, {0, 0, 2}), Vid_KeyValue(c, c->pKeys, 2));
    EXPECT_EQ(3, Read(c, 0)[2]);
    // A model with a single animation clamps to it instead of refusing.
    ASSERT_EQ(1, Set(c, 0, {0, 2, 3, 8, 1, 1, 3}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(1, Read(c, 0)[2]);
    // A model without animations plays none.
    ASSERT_EQ(1, Set(c, 0, {1, 1, 2, 8, 1, 1, 3}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(0, Read(c, 0)[2]);
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, WithTheEditorOpenTheAnimationEntryDecidesTheLimits)
{
    g_pChaseEditWindow = kEditorOpen;
    CHASE *c = NewShape();
    // First update since the editor opened: the channel defaults.
    EXPECT_EQ(3, g_aShapeChannels[2].sMax);
    EXPECT_EQ(31, g_aShapeChannels[3].sMax);
    const std::vector<int32_t> first = Read(c, 0);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 1, 8}), std::vector<int32_t>(first.begin(), first.begin() + 4));
    ASSERT_EQ(1, Set(c, 0, {0, 1, 3, 20, 1, 1, 3}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(3, Read(c, 0)[2]);
    EXPECT_EQ(20, Read(c, 0)[3]);
    // An entry under 5 bytes: no animations, both channels 0.
    ASSERT_EQ(1, Set(c, 0, {1, 1, 2, 20, 1, 1, 3}, {S, S, S, S, S, S, S}));
    EXPECT_EQ(0, g_aShapeChannels[2].sMax);
    EXPECT_EQ(0, g_aShapeChannels[3].sMax);
    EXPECT_EQ(0, Read(c, 0)[2]);
    EXPECT_EQ(0, Read(c, 0)[3]);
    // Family limits and shown names come from the archive.
    EXPECT_EQ(1, g_aShapeChannels[0].sMax);
    EXPECT_STREQ("k0/1", g_szShapeFamily);
    EXPECT_STREQ("k0/1#0", g_szShapeName);
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, InterpolationTableAndTheRenderObject)
{
    CHASE *c = NewShape();
    ASSERT_EQ(1, Set(c, 0, {0, 1, 1, 8, 3, 1, 3}, {S, S, S, S, S, S, S}));
    const int32_t model = IdOf(VIDRES_MODELS, {0, 0});
    const int32_t l30 = IdOf(VIDRES_LAYOUT, {2, 0});
    ASSERT_EQ(1, Set(c, 10, {0, 1, 1, 8, 3, 2, 3}, {K, K, K, K, S, S, K}));
    ASSERT_EQ(1, Set(c, 20, {0, 1, 1, 8, 2, 1, 3}, {K, K, K, K, S, S, K}));
    const int32_t l31 = IdOf(VIDRES_LAYOUT, {2, 1}), l20 = IdOf(VIDRES_LAYOUT, {1, 0});
    const int32_t an = IdOf(VIDRES_ANIM, {0, 0, 0});
    const auto *p = reinterpret_cast<const SHAPEPARAMS *>(c->pParams);
    const struct
    {
        int32_t layoutA, layoutB, wLayout, scaleA, scaleB, wScale, speedA, speedB, wSpeed;
        int32_t copies, scale, speed;
        std::vector<int32_t> x; // x of each copy
    } cases[] = {
        // Same quantity: the copies morph half way (layout 1 is 1000 further along x).
        {l30, l31, 2048, 3, 3, 0, 8, 8, 0, 3, 4096, 96, {500, 600, 700}},
        // A different quantity does not morph: the earlier layout, scaled.
        {l30, l20, 2048, 3, 3, 0, 8, 8, 0, 3, 4096, 96, {0, 100, 200}},
        // Scale 3 (4096) to 7 (16384) half way; weight 0 reads the earlier key only.
        {l30, 0, 0, 3, 7, 2048, 8, 0, 0, 3, 10240, 96, {0, 250, 500}},
        {l31, 0, 0, 0, 0, 0, 8, 31, 1024, 3, 800, 165, {195, 214, 234}},
    };
    for (const auto &k : cases) {
        const int32_t a[7] = {model, 0, an, k.speedA, k.layoutA, 0, k.scaleA};
        const int32_t b[7] = {model, 0, an, k.speedB, k.layoutB, 0, k.scaleB};
        const int16_t w[VID_MAX_CHANNELS] = {0, 0, 0, static_cast<int16_t>(k.wSpeed), static_cast<int16_t>(k.wLayout),
                                             0, static_cast<int16_t>(k.wScale)};
        g_ShapeChaseDef.interpolate(c, a, b, w);
        EXPECT_EQ(k.copies, p->uCopies);
        EXPECT_EQ(k.scale, p->iScale);
        EXPECT_EQ(k.speed, p->iAnimSpeed);
        for (size_t i = 0; i < k.x.size(); i++)
            EXPECT_EQ(k.x[i], p->pPositions[i * 4]) << i;
    }

    VIDOBJECT slot{};
    g_iSceneExtent = 0;
    g_ShapeChaseDef.render(c, &slot);
    const VIDOBJECT *m = world.models[0];
    EXPECT_EQ(m->pInstance, slot.pInstance);
    EXPECT_EQ(0x1000u | VIDOBJ_SOLID, slot.flags);
    EXPECT_EQ(3, slot.iInstanceCount);
    EXPECT_EQ(p->pPositions, slot.pInstanceOffsets);
    EXPECT_EQ(75u, slot.uIndexCount); // 25 triangles
    EXPECT_EQ(anim, slot.pAnimation);
    EXPECT_EQ(165, anim->speed);
    EXPECT_GT(g_iSceneExtent, 200); // the farthest copy is 234 along x
    // No model: nothing is drawn.
    const int32_t none[7] = {0, 0, 0, 8, l30, 0, 3};
    const int16_t w0[VID_MAX_CHANNELS] = {};
    g_ShapeChaseDef.interpolate(c, none, none, w0);
    VIDOBJECT empty{};
    g_ShapeChaseDef.render(c, &empty);
    EXPECT_EQ(nullptr, empty.pInstance);
    EXPECT_EQ(0u, empty.flags);
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(ShapeTest, SavedNumbersComeBackAsTheSameKey)
{
    CHASE *c = NewShape();
    ASSERT_EQ(1, Set(c, 0, {0, 2, 1, 9, 3, 2, 5}, {S, S, S, S, S, S, S}));
    const std::vector<int32_t> stored = Stored(c, 7);
    std::vector<int32_t> packed;
    uint32_t mask[8] = {};
    for (int32_t ch = 0; ch < 7; ch++) {
        packed.push_back(g_ShapeChaseDef.pack(stored[static_cast<size_t>(ch)], ch));
        g_ShapeChaseDef.mark(stored[static_cast<size_t>(ch)], ch, mask);
    }
    EXPECT_EQ(stored[0] - 5, packed[0]);
    EXPECT_EQ(9, packed[3]);
    EXPECT_EQ(-1, g_ShapeChaseDef.pack(0, 2));
    for (int32_t ch : {0, 2, 4})
        EXPECT_TRUE(mask[stored[static_cast<size_t>(ch)] >> 5] >> (stored[static_cast<size_t>(ch)] & 31) & 1);
    // The load table maps save numbers to the ids the load found.
    std::vector<uint16_t> table(64, 0xFFFF);
    for (int32_t ch : {0, 2, 4})
        table[static_cast<size_t>(packed[static_cast<size_t>(ch)])] = static_cast<uint16_t>(stored[static_cast<size_t>(ch)]);
    VIDLOADMAP map{table.data(), 64, 17};
    std::vector<int32_t> v = packed;
    ASSERT_EQ(1, g_ShapeChaseDef.remap(c, v.data(), &map));
    EXPECT_EQ((std::vector<int32_t>{0, 2, 1, 9, 3, 2, 5}), v);
    // Numbers the load did not bring back give family 0, item 1, no animation, no layout.
    std::vector<int32_t> lost = {-1, 0, 40, 9, 63, 0, 5};
    g_ShapeChaseDef.remap(c, lost.data(), &map);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 0, 9, 0, 1, 5}), lost);
    Vid_FreeChase(c);
}

// ---- Background ----

TEST_F(FakeResTest, BackgroundHandsItsModelToTheObject)
{
    TableGuard<2> guard(g_aBackgroundChannels);
    const int32_t type = Vid_RegisterChaseDef(&g_BackgroundChaseDef);
    VIDOBJECT *dome = AddModel(VIDRES_BACK, {0, 0}, 0, 12, 0x2000);
    IMAGEREC sky{};
    dome->pImage = &sky;
    CHASE *c = Vid_NewChase(type);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    EXPECT_EQ(1, RefsOf(VIDRES_BACK, {0, 0}));
    EXPECT_EQ((std::vector<int32_t>{0, 1}), Read(c, 0));
    Vid_EvaluateChase(c);
    VIDOBJECT slot{};
    Vid_RenderChase(c, &slot);
    EXPECT_EQ(dome->pInstance, slot.pInstance);
    EXPECT_EQ(0x2000u | VIDOBJ_SOLID | 0x10u, slot.flags);
    EXPECT_EQ(48u, slot.uIndexCount);
    EXPECT_EQ(0, slot.iInstanceCount);
    EXPECT_EQ(&sky, slot.pImage);
    // A missing background refuses and holds nothing more.
    EXPECT_EQ(0, Set(c, 30, {1, 1}, {S, S}));
    EXPECT_EQ(0, Set(c, 30, {0, 0}, {S, S}));
    EXPECT_EQ(1, Refs());
    std::vector<int32_t> v = {-1, 0};
    g_BackgroundChaseDef.remap(c, v.data(), nullptr);
    EXPECT_EQ((std::vector<int32_t>{0, 1}), v);
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

// ---- Texture ----

namespace {

class TextureTest : public FakeResTest
{
protected:
    TableGuard<7> guard{g_aTextureChannels};
    int32_t type = -1;

    void SetUp() override
    {
        FakeResTest::SetUp();
        type = Vid_RegisterChaseDef(&g_TextureChaseDef);
        AddImage(VIDRES_MAPTEX, {0, 0}, 0x1234);
        AddImage(VIDRES_MAPTEX, {1, 2}, 0x0042);
    }
    CHASE *NewTexture()
    {
        CHASE *c = Vid_NewChase(type);
        EXPECT_EQ(1, Vid_SetChaseDefaultKey(c));
        return c;
    }
    const TEXTUREPARAMS *Params(CHASE *c) { return reinterpret_cast<const TEXTUREPARAMS *>(c->pParams); }
};

} // namespace

TEST_F(TextureTest, MovingOffsetsAreSpeedsShownAroundZero)
{
    CHASE *c = NewTexture();
    EXPECT_EQ(1, RefsOf(VIDRES_MAPTEX, {0, 0}));
    // Moving on (the offsets start at 0), then U shown -32 (stored 0), V shown 31 (stored 63).
    ASSERT_EQ(1, Set(c, 0, {0, 1, 1, 5, 5, 2}, {S, S, S, S, S, S}));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 1, 0, 0, 2, 1}), Read(c, 0));
    ASSERT_EQ(1, Set(c, 0, {0, 1, 1, -32, 31, 2}, {K, K, K, S, S, K}));
    EXPECT_EQ(0, Vid_KeyValue(c, c->pKeys, 3));
    EXPECT_EQ(63, Vid_KeyValue(c, c->pKeys, 4));
    EXPECT_EQ(-32, Read(c, 0)[3]);
    EXPECT_EQ(31, Read(c, 0)[4]);
    EXPECT_EQ(-32, g_aTextureChannels[3].sMin);
    const int32_t a[7] = {IdOf(VIDRES_MAPTEX, {0, 0}), 0, 1, 0, 63, 2, 1};
    const int16_t w[VID_MAX_CHANNELS] = {};
    // U: -2048 (8.8) a frame, 8 texels left; V: 1984, 7.75 texels right; both kept in 0..128.
    const int32_t u[] = {56, 48, 40, 32, 24, 16, 8, 0, 56};
    const int32_t v[] = {7, 15, 23, 31, 38, 46, 54, 62, 69};
    for (size_t f = 0; f < 9; f++) {
        g_TextureChaseDef.interpolate(c, a, a, w);
        EXPECT_EQ(u[f], Params(c)->sU) << f;
        EXPECT_EQ(v[f], Params(c)->sV) << f;
    }
    EXPECT_EQ(-2048, Params(c)->iStepU);
    // A Speed chase at half speed halves the steps.
    g_iChaseSpeedFactor = 2048;
    g_bChaseSpeedFactorSet = 1;
    g_TextureChaseDef.interpolate(c, a, a, w);
    EXPECT_EQ(-1024, Params(c)->iStepU);
    g_iChaseSpeedFactor = 0;
    g_bChaseSpeedFactorSet = 0;
    Vid_FreeChase(c);
    EXPECT_EQ(0, Refs());
}

TEST_F(TextureTest, LongScrollsNeverOverflowTheAccumulators)
{
    CHASE *c = NewTexture();
    auto *p = reinterpret_cast<TEXTUREPARAMS *>(c->pParams);
    const int32_t a[7] = {IdOf(VIDRES_MAPTEX, {0, 0}), 0, 1, 63, 0, 1, 1};
    const int16_t w[VID_MAX_CHANNELS] = {};
    // Hours of scrolling at the fastest speed: the accumulators stay with the offsets.
    for (int32_t f = 0; f < 200000; f++) {
        g_TextureChaseDef.interpolate(c, a, a, w);
        ASSERT_GE(p->sU, 0);
        ASSERT_LE(p->sU, 128);
        ASSERT_LE(p->iAccU, 129 * 256) << f;
        ASSERT_GE(p->iAccV, -1 * 256) << f;
    }
    Vid_FreeChase(c);
}

TEST_F(TextureTest, SwitchingMovingResetsTheOffsets)
{
    CHASE *c = NewTexture();
    ASSERT_EQ(1, Set(c, 0, {0, 1, 0, 10, 20, 1}, {S, S, S, S, S, S}));
    EXPECT_EQ(10, Read(c, 0)[3]);
    ASSERT_EQ(1, Set(c, 0, {0, 1, 1, 10, 20, 1}, {K, K, S, K, K, K}));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 1, 0, 0, 1, 1}), Read(c, 0));
    EXPECT_EQ(32, Vid_KeyValue(c, c->pKeys, 3)); // shown 0 while moving
    // Back to fixed: offsets 0 again.
    ASSERT_EQ(1, Set(c, 0, {0, 1, 0, 5, 5, 1}, {K, K, S, K, K, K}));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 0, 0, 0, 1, 0}), Read(c, 0));
    Vid_FreeChase(c);
}

TEST_F(TextureTest, ReadingDependsOnTheLastMovingAppliedAnywhere)
{
    // The type keeps the last Moving applied in its channel table, and reading shifts by it: the
    // same stored key reads differently after another chase's key. Pinned because stored values
    // follow this rule.
    CHASE *moving = NewTexture();
    ASSERT_EQ(1, Set(moving, 0, {0, 1, 1, 0, 0, 1}, {S, S, S, S, S, S}));
    ASSERT_EQ(1, Set(moving, 0, {0, 1, 1, 8, 8, 1}, {K, K, K, S, S, K}));
    EXPECT_EQ(8, Read(moving, 0)[3]);
    CHASE *still = NewTexture();
    ASSERT_EQ(1, Set(still, 0, {0, 1, 0, 40, 40, 1}, {S, S, S, S, S, S}));
    EXPECT_EQ(40, Read(moving, 0)[3]);
    EXPECT_EQ(40, Vid_KeyValue(moving, moving->pKeys, 3));
    Vid_FreeChase(moving);
    Vid_FreeChase(still);
}

TEST_F(TextureTest, OffsetsWrapAndRenderBitsFollowTheMapping)
{
    const struct
    {
        int32_t in, out;
    } wraps[] = {{-1, 63}, {0, 0}, {64, 64}, {128, 128}, {129, 65}, {200, 72}, {-70, 58}};
    for (const auto &k : wraps)
        EXPECT_EQ(k.out, Vid_WrapTextureOffset(k.in)) << k.in;

    CHASE *c = NewTexture();
    ASSERT_EQ(1, Set(c, 0, {1, 3, 0, 10, 30, 0}, {S, S, S, S, S, S}));
    const int32_t id = IdOf(VIDRES_MAPTEX, {1, 2});
    for (int32_t mapping = 0; mapping < 3; mapping++) {
        const int32_t a[7] = {id, 0, 0, 10, 20, mapping, 0}, b[7] = {id, 0, 0, 30, 60, mapping, 0};
        const int16_t w[VID_MAX_CHANNELS] = {0, 0, 0, 2048, 1024, 0, 0};
        g_TextureChaseDef.interpolate(c, a, b, w);
        VIDOBJECT slot{};
        g_TextureChaseDef.render(c, &slot);
        EXPECT_EQ(0x100u | (0x200u << mapping), slot.flags);
        EXPECT_EQ(20, slot.sScrollU);
        EXPECT_EQ(30, slot.sScrollV);
        EXPECT_EQ(world.images[1], slot.pImage);
        EXPECT_EQ(0x42, Params(c)->uPage);
    }
    Vid_FreeChase(c);
}

TEST_F(TextureTest, OldSongsScaleMovingOffsetsAndMissingTexturesAreNone)
{
    CHASE *c = NewTexture();
    std::vector<uint16_t> table(8, 0xFFFF);
    table[3] = static_cast<uint16_t>(IdOf(VIDRES_MAPTEX, {0, 0}));
    const struct
    {
        uint32_t version;
        int32_t moving, u, v, shownU, shownV;
    } cases[] = {
        {14, 1, 40, 30, 31, -8},  // (40 - 32) x 4 + 32 = 64 -> 63; (30 - 32) x 4 + 32 = 24
        {14, 1, 0, 33, -32, 4},   // clamped at 0; 36
        {14, 0, 40, 30, 40, 30},  // fixed offsets are not converted
        {15, 1, 40, 30, 8, -2},   // current songs keep their values
    };
    for (const auto &k : cases) {
        VIDLOADMAP map{table.data(), 8, k.version};
        int32_t v[7] = {3, 0, k.moving, k.u, k.v, 1, k.moving};
        ASSERT_EQ(1, g_TextureChaseDef.remap(c, v, &map));
        EXPECT_EQ(0, v[0]);
        EXPECT_EQ(1, v[1]);
        EXPECT_EQ(k.shownU, v[3]) << k.version << " " << k.u;
        EXPECT_EQ(k.shownV, v[4]) << k.version << " " << k.v;
    }
    VIDLOADMAP map{table.data(), 8, 17};
    int32_t gone[7] = {5, 0, 0, 1, 2, 1, 0};
    g_TextureChaseDef.remap(c, gone, &map);
    EXPECT_EQ(0, gone[0]);
    Vid_FreeChase(c);
}

TEST_F(TextureTest, ATextureCannotFollowAParticleSystem)
{
    CHASEDEF particle{};
    particle.uStoredId = 9;
    CHASEDEF shape{};
    shape.uStoredId = 1;
    CHASE first{};
    VIDCLIPENTRY entry{nullptr, &first};
    VIDCLIP clip{};
    clip.pFirst = &entry;
    clip.sEntryCount = 1;
    first.pDef = &particle;
    EXPECT_EQ(0, g_TextureChaseDef.mix(nullptr, &clip, 1));
    EXPECT_EQ(0, g_MovieChaseDef.mix(nullptr, &clip, 1));
    first.pDef = &shape;
    EXPECT_EQ(1, g_TextureChaseDef.mix(nullptr, &clip, 1));
    clip.sEntryCount = 0;
    first.pDef = &particle;
    EXPECT_EQ(1, g_TextureChaseDef.mix(nullptr, &clip, 0));
}

// ---- Movie ----

TEST_F(FakeResTest, MovieKeysHoldAStreamUserAndKeepTheSectorWhole)
{
    TableGuard<10> guard(g_aMovieChannels);
    Gfx_InitTexturePages();
    const int32_t type = Vid_RegisterChaseDef(&g_MovieChaseDef);
    // On another disc the record is not located; its known sector has a low half above 32767.
    auto *rec = new VIDMOVIEREC{0x0001C350, 2, "MOVIE.STR", 5, 90};
    world.movies.push_back(rec);
    world.entries[{VIDRES_MOVIE, {0, 0}}] = rec;
    CHASE *c = Vid_NewChase(type);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    EXPECT_EQ(1, g_iStreamUsers);
    EXPECT_EQ(1, RefsOf(VIDRES_MOVIE, {0, 0}));
    const std::vector<int32_t> v = Read(c, 0);
    EXPECT_EQ(5, v[6]);
    EXPECT_EQ(90, v[7]);
    EXPECT_EQ(5, g_aMovieChannels[6].sMin);
    EXPECT_EQ(90, g_aMovieChannels[7].sMax);
    EXPECT_EQ(static_cast<int16_t>(0xC350), v[8]); // 16 bits, read back signed
    EXPECT_EQ(1, v[9]);
    // Start and End are kept inside the movie.
    ASSERT_EQ(1, Set(c, 0, {0, 1, 0, 0, 0, 1, 1, 400}, {K, K, K, K, K, K, S, S}));
    EXPECT_EQ(5, Read(c, 0)[6]);
    EXPECT_EQ(90, Read(c, 0)[7]);
    // A movie on another disc leaves the stream alone.
    const uint8_t before[3] = {g_abStreamStart[0], g_abStreamStart[1], g_abStreamStart[2]};
    Vid_EvaluateChase(c);
    EXPECT_EQ(0, std::memcmp(before, g_abStreamStart, 3));
    EXPECT_EQ(0u, rec->uSector >> 24);
    Vid_FreeChase(c);
    EXPECT_EQ(0, g_iStreamUsers);
    EXPECT_EQ(0, Refs());
}
