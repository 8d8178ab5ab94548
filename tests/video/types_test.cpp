// The built-in chase types: registration order and codes, and the Particle type's key methods over
// fake resource pages (reference counts checked through every path).
#include "video_fixture.h"

#include "video/chasetypes.h"

#include <cstdlib>
#include <map>

using namespace vidtest;

TEST(VideoTypes, StartUpRegistersTheTypesWithTheirCodes)
{
    ASSERT_EQ(0, Vid_InitVideoCore());
    const struct
    {
        int32_t storedId, code;
    } codes[] = {
        {1, 0x0000}, {2, 0x0001}, {3, 0x8000}, {4, 0x8001}, {5, 0x8002},  {6, 0x4000},  {7, 0x8003},
        {8, 0x8004}, {9, 0x0002}, {10, 0x0003}, {11, 0x8005}, {13, 0x8006}, {14, 0x8007}, {15, 0x2000},
        {16, 0x2001}, {17, 0x2002}, {18, 0x8008}, {19, 0x0004}, {20, 0x2003},
    };
    for (const auto &c : codes) {
        EXPECT_EQ(c.code, Vid_FindChaseType(c.storedId)) << c.storedId;
        const CHASEDEF *def = Vid_GetChaseDef(c.code);
        ASSERT_NE(nullptr, def);
        EXPECT_EQ(static_cast<uint32_t>(c.code), def->uCode);
    }
    EXPECT_EQ(-1, Vid_FindChaseType(12));
    // Registering again changes nothing.
    EXPECT_EQ(19, Vid_RegisterChaseTypes());
    EXPECT_EQ(0x2003, Vid_FindChaseType(20));
    Vid_FreeVideoCore();
}

namespace {

// Resource pages as the particle type sees them: (kind, folder, entry) -> id with counts.
struct FAKERES
{
    std::map<int32_t, int32_t> refs; // id -> count
    std::map<int32_t, std::pair<int, int>> where;
    int32_t missingTexture = 0;
};
FAKERES g_res;

void *FakeLoad(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId)
{
    *outId = -1;
    if (depth != 2)
        return nullptr;
    if (kind == 6 && path[0] == 0 && path[1] == 0 && !g_res.missingTexture) {
        *outId = 500;
        return &g_res;
    }
    if (kind == 4 && path[0] < 32 && path[1] < 8) {
        *outId = 100 + path[0] * 8 + path[1];
        g_res.where[*outId] = {path[0], path[1]};
        return &g_res;
    }
    return nullptr;
}
void FakeAdd(int32_t id)
{
    g_res.refs[id]++;
}
int32_t FakeRelease(int32_t id)
{
    return --g_res.refs[id];
}
int32_t FakeSave(int32_t id)
{
    return id - 90;
}
int32_t FakePath(int32_t id, uint16_t *out, int32_t *depth)
{
    auto it = g_res.where.find(id);
    if (it == g_res.where.end())
        return -1;
    out[0] = static_cast<uint16_t>(it->second.first);
    out[1] = static_cast<uint16_t>(it->second.second);
    *depth = 2;
    return 0;
}

class ParticleTypeTest : public VideoTest
{
protected:
    VIDRESCALLS saved{};
    int32_t type = -1;

    void SetUp() override
    {
        VideoTest::SetUp();
        saved = g_VidRes;
        g_VidRes = {FakeLoad, FakeAdd, FakeRelease, FakeSave, FakePath};
        g_res = {};
        // The fixture's own stored id 9 is registered; the real type goes into a fresh pool.
        Vid_FreeChasePools();
        Vid_InitChasePools();
        type = Vid_RegisterChaseDef(&g_ParticleChaseDef);
    }
    void TearDown() override
    {
        VideoTest::TearDown();
        g_VidRes = saved;
    }
    int32_t Live()
    {
        int32_t n = 0;
        for (auto &r : g_res.refs)
            n += r.second;
        return n;
    }
};

} // namespace

TEST_F(ParticleTypeTest, DefaultKeyLoadsLayoutAndSprite)
{
    CHASE *c = Vid_NewChase(type);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c)); // Quantity 8, Layout 3: layout folder 7, entry 2
    EXPECT_EQ(1, g_res.refs[100 + 7 * 8 + 2]);
    EXPECT_EQ(1, g_res.refs[500]);
    EXPECT_EQ(8u * 16, c->uExtraBytes);
    int32_t v[VID_MAX_CHANNELS];
    ASSERT_EQ(5, Vid_GetChaseKey(c, 0, v, nullptr, nullptr, VID_MAX_CHANNELS));
    EXPECT_EQ(8, v[1]); // read gives the editor's numbers back
    EXPECT_EQ(3, v[2]);
    EXPECT_EQ(500, v[4]);

    // Stored: the layout's id; saved: its save number; marked in the usage bitmap.
    EXPECT_EQ(158, Vid_KeyValue(c, c->pKeys, 1));
    EXPECT_EQ(158 - 90, Vid_LaneObjectSaveNumber(158, 1));
    EXPECT_EQ(-1, Vid_LaneObjectSaveNumber(0, 1));
    EXPECT_EQ(77, Vid_LaneObjectSaveNumber(77, 3));
    uint32_t mask[8] = {};
    Vid_LaneObjectMarkRes(158, 1, mask);
    Vid_LaneObjectMarkRes(158, 4, mask);
    EXPECT_EQ(1u << (158 & 31), mask[158 >> 5]);

    // A later key changing the layout entry takes a new layout and another sprite reference.
    int32_t nv[VID_MAX_CHANNELS] = {0, 2, 1, 0, 0};
    uint8_t ns[VID_MAX_CHANNELS] = {5, 4, 4, 5, 5};
    ASSERT_EQ(1, Vid_SetChaseKey(c, 40, nv, ns));
    EXPECT_EQ(1, g_res.refs[100 + 1 * 8 + 0]);
    EXPECT_EQ(2, g_res.refs[500]);
    // Replacing it gives the old references back.
    ASSERT_EQ(1, Vid_SetChaseKey(c, 40, nv, ns));
    EXPECT_EQ(1, g_res.refs[108]);
    EXPECT_EQ(2, g_res.refs[500]);

    Vid_FreeChase(c);
    EXPECT_EQ(0, Live());
}

TEST_F(ParticleTypeTest, RefusedKeysKeepNoReferences)
{
    CHASE *c = Vid_NewChase(type);
    ASSERT_EQ(1, Vid_SetChaseDefaultKey(c));
    const int32_t before = Live();
    struct
    {
        int32_t first, entry, missingTexture;
    } cases[] = {
        {0, 1, 0},  // no folder
        {3, 0, 0},  // no entry
        {40, 1, 0}, // no such layout
        {2, 2, 1},  // no sprite: the layout just taken goes back
    };
    for (const auto &k : cases) {
        g_res.missingTexture = k.missingTexture;
        int32_t v[VID_MAX_CHANNELS] = {0, k.first, k.entry, 0, 0};
        uint8_t s[VID_MAX_CHANNELS] = {5, 4, 4, 5, 5};
        EXPECT_EQ(0, Vid_SetChaseKey(c, 50, v, s)) << k.first << " " << k.entry;
        EXPECT_EQ(before, Live());
        EXPECT_EQ(1, Vid_GetChaseKeyCount(c));
    }
    g_res.missingTexture = 0;
    Vid_FreeChase(c);
    EXPECT_EQ(0, Live());
}

TEST_F(ParticleTypeTest, UnpackTurnsSaveNumbersBack)
{
    const uint16_t ids[] = {0xFFFF, 0xFFFF, 100 + 5 * 8 + 1};
    VIDLOADMAP map{ids, 3, 17};
    g_res.where[141] = {5, 1};
    int32_t v[VID_MAX_CHANNELS] = {0, 2, 0, 0, 0};
    EXPECT_EQ(1, Vid_LaneObjectUnpack(nullptr, v, &map));
    EXPECT_EQ(6, v[1]);
    EXPECT_EQ(2, v[2]);
    // A number the load did not bring back, or past the table, reads as folder 1, entry 1.
    for (int32_t n : {0, 7, -3}) {
        int32_t w[VID_MAX_CHANNELS] = {0, n, 0, 0, 0};
        Vid_LaneObjectUnpack(nullptr, w, &map);
        EXPECT_EQ(1, w[1]);
        EXPECT_EQ(1, w[2]);
    }
}

TEST(VideoObject, ModelInstanceOwnsItsModelAndMesh)
{
    VIDOBJECT *o = Vid_NewObject();
    ASSERT_NE(nullptr, o);
    auto *model = static_cast<MODEL *>(std::calloc(1, sizeof(MODEL)));
    model->counts[0] = 2; // two triangles
    model->counts[1] = 1; // one quad
    ASSERT_EQ(0, Vid_NewModelInstance(o, model));
    EXPECT_EQ(model, Vid_GetModelInstance(o)->model);
    EXPECT_NE(nullptr, Vid_GetModelInstance(o)->mesh);
    EXPECT_EQ(10u, Vid_GetObjectIndexCount(o));
    // A second instance is refused and the caller keeps its model.
    auto *other = static_cast<MODEL *>(std::calloc(1, sizeof(MODEL)));
    EXPECT_EQ(-1, Vid_NewModelInstance(o, other));
    std::free(other);
    Vid_SetObjectIndexCount(o, 7);
    EXPECT_EQ(7u, Vid_GetObjectIndexCount(o));
    Vid_SetObjectImage(o, reinterpret_cast<IMAGEREC *>(o));
    EXPECT_EQ(reinterpret_cast<IMAGEREC *>(o), Vid_GetObjectImage(o));
    Vid_DestroyObject(o);
    EXPECT_EQ(nullptr, Vid_GetModelInstance(nullptr));
}
