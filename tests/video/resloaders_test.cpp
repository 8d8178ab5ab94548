// Resource loaders: model layout and its checks, model textures and their references, point lists
// and their evaluation, animations, text definitions; and the writers' bytes that feed them.
#include "core/idpool.h"
#include "render/texpages.h"
#include "render/userimages.h"
#include "render/mesh.h"
#include "support/wadfixture.h"
#include "tools/reswriters.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vidobject.h"
#include "video/vidobject.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

uint16_t U16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put16(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

// A small model: a flat triangle (semi-transparent), a flat quad, and one UV layer.
CONTENTMODEL SmallModel()
{
    CONTENTMODEL m;
    const uint16_t a = m.Vertex(0, 0, 0), b = m.Vertex(100, 0, 0), c = m.Vertex(0, 100, 0), d = m.Vertex(100, 100, 0);
    const uint16_t n = m.Normal(0, 0, -1);
    CONTENTPRIM tri;
    tri.group = 0;
    tri.vertices[0] = a, tri.vertices[1] = b, tri.vertices[2] = c;
    tri.normals[0] = n;
    tri.colours[0] = {255, 0, 0};
    tri.semi = true;
    CONTENTPRIM quad = tri;
    quad.group = 1;
    quad.vertices[3] = d;
    quad.semi = false;
    quad.colours[0] = {0, 255, 0};
    m.prims = {tri, quad};
    m.colour = {10, 20, 30};
    m.flags = 0x1;
    return m;
}

// A textured quad model whose primitives name texture numbers.
CONTENTMODEL TexturedModel(std::vector<uint16_t> textures, bool semi)
{
    CONTENTMODEL m;
    const uint16_t n = m.Normal(0, 0, -1);
    for (size_t i = 0; i < textures.size(); i++) {
        CONTENTPRIM p;
        p.group = 5;
        for (int c = 0; c < 4; c++) {
            p.vertices[c] = m.Vertex(10.0 * i + (c & 1) * 50, (c >> 1) * 50, 0);
            p.uv[c][0] = static_cast<uint8_t>((c & 1) * 63);
            p.uv[c][1] = static_cast<uint8_t>((c >> 1) * 63);
        }
        p.normals[0] = n;
        p.colours[0] = {200, 200, 200};
        p.texture = textures[i];
        p.semi = semi;
        m.prims.push_back(p);
    }
    return m;
}

std::vector<uint8_t> Texture8()
{
    std::vector<uint8_t> idx(64 * 64, 1);
    std::vector<uint16_t> pal(256, 0x1234);
    return Content_WriteTim8(64, 64, idx, pal);
}

} // namespace

TEST(ResModel, WriterBytesAndLayout)
{
    const std::vector<uint8_t> file = Content_WriteModel(SmallModel());
    // Header, 4 vertices, 1 normal, a 16-byte triangle and a 16-byte quad.
    ASSERT_EQ(file.size(), 100u + 32 + 8 + 16 + 16);
    const uint8_t header[] = {4, 0, 1, 0, 1, 0, 0, 0, 1, 0, 1, 0};
    EXPECT_EQ(std::memcmp(file.data(), header, sizeof header), 0);
    EXPECT_EQ(U16(file.data() + RESMODEL_VERTICES), 100);
    EXPECT_EQ(U16(file.data() + RESMODEL_NORMALS), 132);
    EXPECT_EQ(U16(file.data() + RESMODEL_GROUPS), 140);
    EXPECT_EQ(U16(file.data() + RESMODEL_GROUPS + 4), 156);
    EXPECT_EQ(file[RESMODEL_COLOUR], 10);
    // The triangle: red, vertices 0 1 2, flag value 2, normal 0.
    const uint8_t tri[16] = {255, 0, 0, 0, 0, 0, 1, 0, 2, 0, 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(file.data() + 140, tri, 16), 0);

    RESMODEL *m = Vid_ParseModel(file.data(), file.size());
    ASSERT_NE(m, nullptr) << g_szResErrorText;
    EXPECT_EQ(m->model.vertices, m->bytes + 100);
    EXPECT_EQ(m->model.vertexCount, 4u);
    EXPECT_EQ(m->model.normals, m->bytes + 132);
    EXPECT_EQ(m->model.groups[0], m->bytes + 140);
    EXPECT_EQ(m->model.groups[1], m->bytes + 156);
    EXPECT_EQ(m->model.groupBytes[1], 16u);
    EXPECT_EQ(m->indexCount, 3u + 4u);
    EXPECT_EQ(m->flags, 0x41u);
    EXPECT_EQ(m->model.engine[4], 0x41);
    // The semi-transparent triangle is marked in its packet code; the quad (group 1) is not.
    EXPECT_EQ(m->bytes[140 + 3], 2);
    EXPECT_EQ(m->bytes[156 + 3], 0);
    std::free(m);
}

TEST(ResModel, IndexCountAndUvLayersFollowTheGroups)
{
    // Only textured groups: the count comes from groups 4-7; one UV layer of that many pairs.
    std::vector<uint8_t> file = Content_WriteModel(TexturedModel({0, 0}, false));
    Put32(file, RESMODEL_UV_LAYERS + 4, 1);
    file.resize(file.size() + 2 * 8, 7);
    RESMODEL *m = Vid_ParseModel(file.data(), file.size());
    ASSERT_NE(m, nullptr) << g_szResErrorText;
    EXPECT_EQ(m->indexCount, 8u);
    EXPECT_EQ(m->model.uvTables[0], nullptr);
    EXPECT_EQ(m->model.uvTables[1], m->bytes + file.size() - 16);
    EXPECT_EQ(m->model.uvBytes[1], 16u);
    std::free(m);
    // One byte short of the layer.
    file.pop_back();
    EXPECT_EQ(Vid_ParseModel(file.data(), file.size()), nullptr);
}

TEST(ResModel, BrokenModelsAreRefused)
{
    const std::vector<uint8_t> good = Content_WriteModel(SmallModel());
    const struct
    {
        const char *why;
        std::function<void(std::vector<uint8_t> &)> breakIt;
    } cases[] = {
        {"shorter than the header", [](std::vector<uint8_t> &b) { b.resize(99); }},
        {"no vertices", [](std::vector<uint8_t> &b) { Put16(b, 0, 0); }},
        {"negative vertex count", [](std::vector<uint8_t> &b) { Put16(b, 0, 0x8000); }},
        {"no normals", [](std::vector<uint8_t> &b) { Put32(b, RESMODEL_NORMALS, 0); }},
        {"no primitives", [](std::vector<uint8_t> &b) { Put16(b, 8, 0), Put16(b, 10, 0); }},
        {"counts past the end", [](std::vector<uint8_t> &b) { Put16(b, 8 + 2 * 3, 60000); }},
        {"vertex count past the end", [](std::vector<uint8_t> &b) { Put16(b, 0, 30000); }},
        {"vertex index out of range", [](std::vector<uint8_t> &b) { Put16(b, 140 + 6, 4); }},
        {"normal index out of range", [](std::vector<uint8_t> &b) { Put16(b, 156 + 12, 1); }},
        {"a UV layer past the end", [](std::vector<uint8_t> &b) { Put32(b, RESMODEL_UV_LAYERS, 1); }},
        {"cut inside the groups", [](std::vector<uint8_t> &b) { b.resize(b.size() - 1); }},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b = good;
        c.breakIt(b);
        g_szResErrorText[0] = 0;
        EXPECT_EQ(Vid_ParseModel(b.data(), b.size()), nullptr) << c.why;
        EXPECT_NE(g_szResErrorText[0], 0) << c.why << " says why";
    }
}

// ---- Through the archive: textures of models, the point-list and animation kinds ----

namespace {

class ResLoad : public WadTest
{
protected:
    void SetUp() override
    {
        WadTest::SetUp();
        Vid_CreateResPagePool();
        Vid_InstallResLoaders();
        Gfx_InitTexturePages();
        for (const char *f : {"AUTO", "CHASES", "JAMTEM", "PERF", "R", "N/A", "D/B/A", "D/D/A", "F/A", "J/A",
                              "L/A", "P/A", "T/A", "B/F/A", "B/H/A", "H/A", "B/B/A", "B/D/A"})
            Pack_Dir(root, f);
        Pack_Dir(root, "BOOT").files = {File("DEFRIF", "riffs"), File("EFFREAL", "effects")};
    }
    void TearDown() override
    {
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        WadTest::TearDown();
    }
    void Add(const std::string &folder, const std::string &name, std::vector<uint8_t> data)
    {
        Pack_Dir(root, folder).files.push_back(PACKFILE{name, "", std::move(data)});
    }
    void Open()
    {
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        ASSERT_NE(Vid_GetKindRow(RES_MODTEX), nullptr);
    }
    PACKDIR root;
};

} // namespace

TEST_F(ResLoad, ModelTexturesAreReferencedPerPrimitiveAndGoBackWithTheModel)
{
    Add("B/B/A", "TWO", Content_WriteModel(TexturedModel({0, 1, 1}, true)));
    Add("B/D/A", "TEX0", Texture8());
    Add("B/D/A", "TEX1", Texture8());
    Open();
    const int freeBlocks = Gfx_CountFreeTextureBlocks();
    const uint16_t path[2] = {0, 0};
    int32_t id = -1;
    VIDOBJECT *object = static_cast<VIDOBJECT *>(Vid_LoadResource(RES_MODELS, path, 2, &id));
    ASSERT_NE(object, nullptr) << g_szResErrorText;
    EXPECT_EQ(object->flags & RESMODEL_FLAG_LOADED, RESMODEL_FLAG_LOADED);
    EXPECT_EQ(Vid_GetObjectIndexCount(object), 12u);
    const RESMODEL *m = Vid_GetObjectModel(object);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->texturesHeld, 3u);
    // Each primitive now names its texture's resource id; the counts follow the primitives.
    const uint8_t *prims = m->model.groups[5];
    const int32_t tex0 = U16(prims + kResPrimTexture[5]);
    const int32_t tex1 = U16(prims + 32 + kResPrimTexture[5]);
    EXPECT_EQ(U16(prims + 64 + kResPrimTexture[5]), tex1);
    EXPECT_EQ(Vid_GetResCount(tex0), 1);
    EXPECT_EQ(Vid_GetResCount(tex1), 2);
    // The image's place is added to the u/v bytes; semi-transparency reaches code and page.
    const IMAGEREC *image1 = static_cast<const IMAGEREC *>(Vid_GetResData(tex1));
    ASSERT_NE(image1, nullptr);
    EXPECT_EQ(prims[32 + kResPrimFirstUV[5] + 4 * 3], static_cast<uint8_t>(63 + image1->u));
    EXPECT_EQ(prims[32 + kResPrimFirstUV[5] + 4 * 3 + 1], static_cast<uint8_t>(63 + image1->v));
    EXPECT_EQ(prims[32 + 3] & RESPRIM_SEMITRANS, RESPRIM_SEMITRANS);
    EXPECT_EQ(U16(prims + 32 + kResPrimTexPage[5]), image1->page | RESPRIM_TEXPAGE_RATE1);
    EXPECT_EQ(U16(prims + 32 + kResPrimClut[5]), image1->clut);
    EXPECT_EQ(Vid_GetObjectImage(object), image1) << "the object keeps the last texture";
    EXPECT_EQ(image1->page & RESPRIM_TEXPAGE_RATE1, RESPRIM_TEXPAGE_RATE1);

    Vid_AddResRef(id);
    EXPECT_EQ(Vid_ReleaseResRef(id), 0);
    EXPECT_EQ(Vid_GetResData(tex0), nullptr);
    EXPECT_EQ(Vid_GetResData(tex1), nullptr);
    EXPECT_EQ(Gfx_CountFreeTextureBlocks(), freeBlocks);
}

TEST_F(ResLoad, AMissingTextureFailsTheModelAndHoldsNoReference)
{
    // Texture 0 is there, texture 1 is not: every reference taken before the failure goes back,
    // including those of an earlier group.
    CONTENTMODEL model = TexturedModel({0, 0, 1}, false);
    CONTENTPRIM early = model.prims[0];
    early.group = 4;
    model.prims.insert(model.prims.begin(), early);
    Add("B/B/A", "BROKEN", Content_WriteModel(model));
    Add("B/D/A", "TEX0", Texture8());
    Open();
    const int freeBlocks = Gfx_CountFreeTextureBlocks();
    const int meshes = g_iMeshCount;
    const uint16_t path[2] = {0, 0};
    int32_t id = 0;
    EXPECT_EQ(Vid_LoadResource(RES_MODELS, path, 2, &id), nullptr);
    EXPECT_EQ(id, -1);
    EXPECT_NE(std::string(g_szResErrorText).find("missing"), std::string::npos);
    const uint16_t texPath[2] = {0, 0};
    int32_t texId = -1;
    ASSERT_NE(Vid_LoadResource(RES_MODTEX, texPath, 2, &texId), nullptr);
    EXPECT_EQ(Vid_GetResCount(texId), 0);
    Vid_ReleaseUnusedResources();
    EXPECT_EQ(Gfx_CountFreeTextureBlocks(), freeBlocks);
    EXPECT_EQ(g_iMeshCount, meshes);
}

TEST_F(ResLoad, BackgroundModelsTakeTheBackgroundTextures)
{
    Add("D/B/A", "DOME", Content_WriteModel(TexturedModel({0}, false)));
    Add("D/D/A", "SKY", Texture8());
    Add("B/D/A", "OTHER", Texture8());
    Open();
    const uint16_t path[2] = {0, 0};
    int32_t id = -1;
    VIDOBJECT *dome = static_cast<VIDOBJECT *>(Vid_LoadResource(RES_BACK, path, 2, &id));
    ASSERT_NE(dome, nullptr) << g_szResErrorText;
    int32_t sky = -1;
    EXPECT_NE(Vid_FindResByPath(Vid_GetKindRow(RES_BACKTEX), path, 2, &sky), nullptr);
    EXPECT_EQ(Vid_GetResCount(sky), 1);
    int32_t other = -1;
    EXPECT_EQ(Vid_FindResByPath(Vid_GetKindRow(RES_MODTEX), path, 2, &other), nullptr);
    Vid_ReleaseResource(id);
    EXPECT_EQ(Vid_GetResData(sky), nullptr);
}

TEST_F(ResLoad, UserImagesReplaceTheMapTexturePlaces)
{
    Add("F/A", "USER1", Texture8());
    Add("F/A", "USER2", Texture8());
    Open();
    Gfx_InitUserImages();
    const uint16_t second[2] = {0, 1};
    g_bSongUserImages = 1;
    int32_t id = -1;
    const IMAGEREC *image = static_cast<const IMAGEREC *>(Vid_LoadResource(RES_MAPTEX, second, 2, &id));
    g_bSongUserImages = 0;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 128) << "a user image is 128 x 64";
    EXPECT_EQ(image->height, 64);
    Vid_ReleaseResource(id);
    // Without the flags the place itself loads.
    image = static_cast<const IMAGEREC *>(Vid_LoadResource(RES_MAPTEX, second, 2, &id));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->height, 64);
    EXPECT_EQ(image->width, 64);
    Vid_ReleaseResource(id);
    Gfx_FreeUserImages();
}

// ---- Point lists ----

namespace {

std::vector<uint8_t> PointFile(const std::vector<CONTENTPOINT> &pts, bool closed)
{
    return Content_WritePointList(pts, closed);
}

POINTLIST *Parse(const std::vector<uint8_t> &file)
{
    return Vid_ParsePointList(file.data(), file.size());
}

} // namespace

TEST(ResPoints, WriterBytes)
{
    const std::vector<uint8_t> file = PointFile({{1, -2, 3, true}, {4, 5, 6, false}}, true);
    const uint8_t expected[] = {0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 1, 0, 0, 0,
                                4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(file.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(file.data(), expected, sizeof expected), 0);
}

TEST(ResPoints, KeyWordsCountThePlainPointsThatFollow)
{
    // K . . K . . . : the last key followed by three plain points gets 1 | 6.
    POINTLIST *a = Parse(PointFile({{0, 0, 0, true}, {1, 0, 0, false}, {2, 0, 0, false}, {3, 0, 0, true},
                                    {4, 0, 0, false}, {5, 0, 0, false}, {6, 0, 0, false}},
                                   false));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->keyCount, 2u);
    EXPECT_EQ(a->keys[0], 0u);
    EXPECT_EQ(a->keys[1], 3u);
    EXPECT_EQ(a->points[0].kind, 1u | 4u);
    EXPECT_EQ(a->points[3].kind, 1u | 6u);
    EXPECT_EQ(a->points[1].kind, 0u);
    Vid_FreePointList(a);
    // A last key that is the last point keeps 1.
    POINTLIST *b = Parse(PointFile({{0, 0, 0, true}, {1, 0, 0, false}, {2, 0, 0, true}}, false));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->points[2].kind, 1u);
    EXPECT_EQ(b->points[0].kind, 1u | 2u);
    Vid_FreePointList(b);
}

TEST(ResPoints, BrokenListsAreRefused)
{
    const std::vector<uint8_t> good = PointFile({{0, 0, 0, true}, {1, 0, 0, false}, {2, 0, 0, true}}, true);
    const struct
    {
        const char *why;
        std::function<void(std::vector<uint8_t> &)> breakIt;
    } cases[] = {
        {"shorter than the header", [](std::vector<uint8_t> &b) { b.resize(20); }},
        {"no points", [](std::vector<uint8_t> &b) { Put32(b, RESPOINTS_COUNT, 0); }},
        {"more points than the file holds", [](std::vector<uint8_t> &b) { Put32(b, RESPOINTS_COUNT, 4); }},
        {"a huge point count", [](std::vector<uint8_t> &b) { Put32(b, RESPOINTS_COUNT, 0x40000000); }},
        {"more keys than it holds", [](std::vector<uint8_t> &b) { Put32(b, RESPOINTS_KEYS, 3); }},
        {"fewer keys than it holds", [](std::vector<uint8_t> &b) { Put32(b, RESPOINTS_KEYS, 1); }},
        {"no keys", [](std::vector<uint8_t> &b) {
             Put32(b, RESPOINTS_KEYS, 0);
             Put32(b, 24 + 12, 0);
             Put32(b, 24 + 32 + 12, 0);
         }},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b = good;
        c.breakIt(b);
        EXPECT_EQ(Parse(b), nullptr) << c.why;
    }
}

TEST(ResPoints, PointAtFollowsTheSegments)
{
    // Four keys on a square, each followed by one plain point halfway: x, z in steps of 100.
    const std::vector<CONTENTPOINT> square = {{0, 0, 0, true},     {100, 0, 0, false}, {200, 0, 0, true},
                                              {200, 0, 100, false}, {200, 0, 200, true}, {100, 0, 200, false},
                                              {0, 0, 200, true},   {0, 0, 100, false}};
    POINTLIST *closed = Parse(PointFile(square, true));
    POINTLIST *open = Parse(PointFile(square, false));
    ASSERT_NE(closed, nullptr);
    ASSERT_NE(open, nullptr);
    const struct
    {
        POINTLIST *list;
        int from, to, t;
        int x, z;
    } cases[] = {
        {closed, 0, 1, 0, 0, 0},        {closed, 0, 1, 4096, 200, 0},   {closed, 0, 1, 1024, 50, 0},
        {closed, 0, 1, 3072, 150, 0},   {closed, 0, 2, 2048, 200, 0},   {closed, 0, 2, 3072, 200, 100},
        {closed, 3, 4, 2048, 0, 100},   {closed, 1, 0, 1024, 150, 0},   {closed, 5, 6, 2048, 200, 100},
        {closed, 2, 2, 999, 200, 200},  {closed, -1, 0, 2048, 0, 100},  {open, 0, 3, 4096, 0, 200},
        {open, 3, 0, 2048, 200, 99},   {open, 0, 1, 2048, 100, 0},     {open, 2, 4, 2048, 200, 200},
        {open, 0, -1, 4096, 200, 0},
    };
    for (const auto &c : cases) {
        RESPOINT out{-1, -1, -1, 0};
        ASSERT_EQ(Vid_PointListAt(c.list, c.from, c.to, c.t, &out), 0);
        EXPECT_EQ(out.x, c.x) << (c.list == closed ? "closed " : "open ") << c.from << "->" << c.to << " at " << c.t;
        EXPECT_EQ(out.z, c.z) << (c.list == closed ? "closed " : "open ") << c.from << "->" << c.to << " at " << c.t;
    }
    // Outside 0..4096 nothing is written.
    RESPOINT out{7, 7, 7, 7};
    EXPECT_EQ(Vid_PointListAt(closed, 0, 1, 4097, &out), -1);
    EXPECT_EQ(Vid_PointListAt(closed, 0, 1, -1, &out), -1);
    EXPECT_EQ(out.x, 7);
    // Key numbers from song data at the ends of their range stay on the list.
    for (POINTLIST *list : {closed, open})
        for (int32_t from : {INT32_MIN, INT32_MAX, -5})
            for (int32_t to : {INT32_MIN, INT32_MAX, 3}) {
                ASSERT_EQ(Vid_PointListAt(list, from, to, 1234, &out), 0);
                EXPECT_GE(out.x, 0);
                EXPECT_LE(out.x, 200);
            }
    Vid_FreePointList(closed);
    Vid_FreePointList(open);
    // One key: an open list stays on it (2K - 2 - i would be negative).
    POINTLIST *one = Parse(PointFile({{5, 6, 7, true}, {9, 9, 9, false}}, false));
    ASSERT_NE(one, nullptr);
    for (int to : {1, 2, 5, -3}) {
        ASSERT_EQ(Vid_PointListAt(one, 0, to, 2048, &out), 0);
        EXPECT_EQ(out.x, 5);
    }
    Vid_FreePointList(one);
}

// ---- Animations ----

namespace {

CONTENTANIM TwoGroupAnim()
{
    CONTENTANIM a;
    a.loopStart = 0;
    a.loopEnd = 300;
    a.groupItems = {2, 1};
    for (int f = 0; f < 3; f++) {
        CONTENTANIMFRAME fr;
        fr.time = static_cast<uint16_t>(f * 100);
        fr.groups.resize(2);
        fr.groups[0] = {{int16_t(f), 0, 0, 0}, {int16_t(f), 1, 1, 3}};
        if (f != 1)
            fr.groups[1] = {{9, 9, 9, 5}};
        a.frames.push_back(fr);
    }
    return a;
}

} // namespace

TEST(ResAnim, LayoutLinksTheFramesIntoARing)
{
    std::vector<uint8_t> file = Content_WriteAnimation(TwoGroupAnim());
    EXPECT_EQ(file.size(), 44u + 2 * 12 + 2 * 8 + 4 + (16 + 24) + (16 + 16) + (16 + 24));
    uint8_t *copy = static_cast<uint8_t *>(std::malloc(file.size()));
    std::memcpy(copy, file.data(), file.size());
    ANIMRES *anim = Vid_LayoutLoadedDef(copy, file.size());
    ASSERT_NE(anim, nullptr) << g_szResErrorText;
    EXPECT_EQ(anim->extra->speed, RESANIM_SPEED);
    EXPECT_EQ(anim->groupCount, 2);
    EXPECT_EQ(anim->frameCount, 3);
    EXPECT_EQ(anim->loopEnd, 300);
    EXPECT_EQ(anim->maxVertex, 5);
    EXPECT_EQ(anim->groups[0].bytes, 16);
    ANIMFRAME *f = anim->frames;
    EXPECT_EQ(f[0].next, &f[1]);
    EXPECT_EQ(f[2].next, &f[0]) << "the last frame leads back to the first";
    EXPECT_EQ(f[0].prev, &f[2]);
    EXPECT_EQ(f[1].mask, 1u);
    EXPECT_EQ(f[2].time, 200);
    // Items of a group: after the frame head and the groups before it that the frame holds.
    EXPECT_EQ(Vid_GroupItems(anim, &f[2], 1), f[2].items + 16);
    EXPECT_EQ(Vid_GroupItems(anim, &f[1], 1), nullptr);
    EXPECT_EQ(U16(Vid_GroupItems(anim, &f[2], 1) + 6), 5);
    EXPECT_EQ(f[2].items, copy + file.size() - 24);
    Vid_FreeAnim(anim);
}

TEST(ResAnim, BrokenAnimationsAreRefused)
{
    const std::vector<uint8_t> good = Content_WriteAnimation(TwoGroupAnim());
    const size_t frames = 44 + 2 * 12 + 2 * 8 + 4;
    const struct
    {
        const char *why;
        std::function<void(std::vector<uint8_t> &)> breakIt;
    } cases[] = {
        {"shorter than the header", [](std::vector<uint8_t> &b) { b.resize(43); }},
        {"no groups", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_GROUP_COUNT, 0); }},
        {"too many groups", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_GROUP_COUNT, 33); }},
        {"no frames", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_FRAME_COUNT, 0); }},
        {"more frames than the file holds", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_FRAME_COUNT, 4); }},
        {"an empty loop", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_LOOP_END, 0); }},
        {"an unknown group kind", [](std::vector<uint8_t> &b) { Put16(b, 44 + RESANIM_GROUP_KIND, 3); }},
        {"group bytes that disagree", [](std::vector<uint8_t> &b) { Put16(b, 44 + RESANIM_GROUP_BYTES, 20); }},
        {"a negative item count", [](std::vector<uint8_t> &b) { Put16(b, 44, 0xFFFF); }},
        {"a frame naming a group past the count", [=](std::vector<uint8_t> &b) { Put32(b, frames + 8, 7); }},
        {"a negative vertex", [=](std::vector<uint8_t> &b) { Put16(b, frames + 16 + 6, 0x8000); }},
        {"cut inside the last frame", [](std::vector<uint8_t> &b) { b.resize(b.size() - 2); }},
        {"groups past the end", [](std::vector<uint8_t> &b) { Put16(b, RESANIM_GROUP_COUNT, 32), b.resize(200); }},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> b = good;
        c.breakIt(b);
        EXPECT_EQ(Vid_LayoutLoadedDef(b.data(), b.size()), nullptr) << c.why;
    }
    // Fewer than five bytes is no animation at all (the size probes mean it).
    void *four = std::malloc(4);
    EXPECT_EQ(Vid_LoadAnimRes(RES_ANIM, four, nullptr, 0, 4), nullptr);
}

// A definition file on the host loads and lays out by its disc name; a missing, empty or broken
// file gives null (run under the sanitizers, a leak of the refused file fails too).
TEST_F(ResLoad, ModelFileLoadsByNameOrGivesNull)
{
    const std::vector<uint8_t> good = Content_WriteAnimation(TwoGroupAnim());
    std::vector<uint8_t> broken = good;
    broken.resize(broken.size() - 2);
    const struct
    {
        const char *file;
        std::vector<uint8_t> bytes;
    } files[] = {{"MODELS/GOOD.ANM", good}, {"MODELS/EMPTY.ANM", {}}, {"MODELS/CUT.ANM", broken}};
    for (const auto &f : files) {
        std::filesystem::create_directories(Path("MODELS"));
        std::ofstream(Path(f.file), std::ios::binary).write(reinterpret_cast<const char *>(f.bytes.data()),
                                                            static_cast<std::streamsize>(f.bytes.size()));
    }
    ANIMRES *anim = Sys_WadLoadModelFile("models\\good.anm");
    ASSERT_NE(anim, nullptr) << g_szResErrorText;
    EXPECT_EQ(anim->groupCount, 2);
    Vid_FreeAnim(anim);
    for (const char *name : {"models\\empty.anm", "models\\cut.anm", "models\\none.anm", ""})
        EXPECT_EQ(Sys_WadLoadModelFile(name), nullptr) << name;
    EXPECT_EQ(Sys_WadLoadModelFile(nullptr), nullptr);
}

// ---- Text definitions ----

TEST(ResTextDef, LinesAndNumbers)
{
    const std::vector<uint8_t> file = Content_WriteTextDef("HELLO THERE", 12, 345);
    TEXTDEF *def = Vid_ParseTextDef(file.data(), file.size());
    ASSERT_NE(def, nullptr) << g_szResErrorText;
    EXPECT_STREQ(def->text, "HELLO THERE");
    EXPECT_EQ(def->first, 12);
    EXPECT_EQ(def->second, 345);
    Vid_FreeTextDef(def);

    auto parse = [](const std::string &body) {
        std::vector<uint8_t> b(16, 0);
        b.insert(b.end(), body.begin(), body.end());
        TEXTDEF *d = Vid_ParseTextDef(b.data(), b.size());
        const bool ok = d != nullptr;
        Vid_FreeTextDef(d);
        return ok;
    };
    EXPECT_TRUE(parse("x\nT\r\n1\r\n2\r")) << "the last LF is optional";
    EXPECT_FALSE(parse("x\nT\r\n1\r\n2")) << "the last CR is not";
    EXPECT_FALSE(parse("x\nT\n1\r\n2\r\n")) << "the text ends in CR LF";
    EXPECT_FALSE(parse("x\nT\r\n1a\r\n2\r\n"));
    EXPECT_FALSE(parse("x\nT\r\n99999\r\n2\r\n"));
    EXPECT_FALSE(parse("x\nT\r\n\r\n2\r\n"));
    EXPECT_FALSE(parse("no lines"));
    EXPECT_EQ(Vid_ParseTextDef(file.data(), 16), nullptr);
}
