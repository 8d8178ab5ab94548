// Meshes from console models: the lists and vertices a model gives, texture-coordinate scale,
// broken models refused before anything is written, the mesh list, colour inversion, and the
// draws through the 3-D device as golden pictures.
#include "app/startup.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/mesh.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "support/modelfixture.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using namespace modelimage;

// A render object with only the fields the mesh drawing reads.
VIDOBJECT DrawObject(uint32_t flags, std::array<uint8_t, 3> rgb, TEXTURE *texture)
{
    VIDOBJECT o{};
    o.flags = flags;
    o.colour[0] = rgb[0];
    o.colour[1] = rgb[1];
    o.colour[2] = rgb[2];
    o.texture = texture;
    return o;
}

struct Built
{
    std::vector<uint8_t> bytes;
    MODEL model{};
};

Built Read(const ModelImage &image)
{
    Built b;
    b.bytes = image.Bytes();
    EXPECT_EQ(Gfx_ReadModelImage(b.bytes.data(), b.bytes.size(), &b.model), 0);
    return b;
}

MESH *MeshFor(const MODEL &model)
{
    uint32_t t = 0, q = 0;
    Gfx_CountModelPrimitives(&model, &t, &q);
    return Gfx_CreateMesh(3 * t + 4 * q, t + q);
}

class Mesh : public ::testing::Test
{
protected:
    void TearDown() override
    {
        Gfx_DestroyAllMeshes();
        g_iPrimitivesDrawn = 0;
    }
};

TEST_F(Mesh, SmallModelGivesTheListsAndVertices)
{
    Built b = Read(SmallModel());
    uint32_t t = 0, q = 0;
    Gfx_CountModelPrimitives(&b.model, &t, &q);
    EXPECT_EQ(t, 2u);
    EXPECT_EQ(q, 1u);
    MESH *mesh = MeshFor(b.model);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount, 10u);
    EXPECT_EQ(mesh->primitiveCount, 3u);
    EXPECT_EQ(mesh->vbDesc.vertexCount, 11u);
    EXPECT_EQ(mesh->vbDesc.caps, 0x800u);
    ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);

    const std::vector<uint16_t> tri(mesh->triangles, mesh->triangles + mesh->triangleFill);
    const std::vector<uint16_t> out(mesh->outlines, mesh->outlines + mesh->outlineFill);
    EXPECT_EQ(tri, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(out, (std::vector<uint16_t>{0, 1, 2, 0, 3, 4, 5, 3, 6, 7, 9, 8, 6}));
    EXPECT_EQ(mesh->nextVertex, 10);

    const struct
    {
        int vertex;
        float x, y, z, nx, ny, nz;
        uint32_t colour;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, -1, 0x102030},      {2, 0, 100, 0, 0, 0, -1, 0x102030},
        {3, 100, 0, 0, 0.5f, 0, -0.5f, 0x405060}, {4, 100, 100, 0, 0.5f, 0, -0.5f, 0x405060},
        {6, 0, 0, 0, 0, 0, -1, 0xFF0000},      {7, 100, 0, 0, 0.5f, 0, -0.5f, 0x00FF00},
        {8, 0, 100, 0, 0, 1, 0, 0x0000FF},     {9, -50, 20, 30, 0, 0, -1, 0xFFFFFF},
    };
    for (const auto &c : cases) {
        const SW3DVERTEX &v = mesh->source[c.vertex];
        EXPECT_EQ(v.x, c.x) << c.vertex;
        EXPECT_EQ(v.y, c.y) << c.vertex;
        EXPECT_EQ(v.z, c.z) << c.vertex;
        EXPECT_EQ(v.nx, c.nx) << c.vertex;
        EXPECT_EQ(v.ny, c.ny) << c.vertex;
        EXPECT_EQ(v.nz, c.nz) << c.vertex;
        EXPECT_EQ(v.colour, c.colour) << c.vertex;
        EXPECT_EQ(mesh->colours[c.vertex], c.colour) << c.vertex;
    }
}

TEST_F(Mesh, GroupsAreTakenInTheirDrawingOrder)
{
    // One primitive of every group, colour = 0x10 * group + 1; the mesh orders them 0,2,1,3,4,6,5,7.
    ModelImage m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    m.normals = {{0, 0, 4096}};
    for (int g = 7; g >= 0; g--) {
        const int corners = kGroups[g].corners;
        const uint32_t c = 0x10u * g + 1;
        m.prims.push_back({g, std::vector<uint32_t>(kGroups[g].colourCount, c), {0, 1, 2, 3},
                           std::vector<int>(kGroups[g].normalCount, 0),
                           std::vector<std::array<int, 2>>(corners, {8, 16})});
    }
    Built b = Read(m);
    MESH *mesh = MeshFor(b.model);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount, 4u * 3 + 4u * 4);
    ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);
    const int order[8] = {0, 2, 1, 3, 4, 6, 5, 7};
    uint32_t k = 0;
    for (int g : order) {
        for (int c = 0; c < kGroups[g].corners; c++)
            EXPECT_EQ(mesh->source[k + c].colour, 0x10u * g + 1) << "group " << g << " corner " << c;
        // Untextured groups leave u, v as they were (zero from creation); textured ones scale by 1/64.
        EXPECT_EQ(mesh->source[k].tu, g >= 4 ? 8 / 64.0f : 0.0f) << g;
        EXPECT_EQ(mesh->source[k].tv, g >= 4 ? 16 / 64.0f : 0.0f) << g;
        k += kGroups[g].corners;
    }
}

TEST_F(Mesh, TextureCoordinatesScaleByTheTextureSize)
{
    ModelImage m;
    m.vertices = {{0, 0, 0}};
    m.normals = {{0, 0, 4096}};
    m.prims = {{4, {0xFFFFFF}, {0, 0, 0}, {0}, {{255, 127}, {0, 0}, {128, 64}}}};
    Built b = Read(m);

    TEXTURE texture{};
    texture.width = 255;
    texture.height = 127;
    const struct
    {
        TEXTURE *texture;
        float u0, v0, u2, v2;
    } cases[] = {
        {&texture, 255 / 256.0f, 127 / 128.0f, 128 / 256.0f, 64 / 128.0f},
        {nullptr, 255 / 64.0f, 127 / 64.0f, 128 / 64.0f, 1.0f},
    };
    for (const auto &c : cases) {
        MESH *mesh = MeshFor(b.model);
        ASSERT_NE(mesh, nullptr);
        Gfx_SetMeshTexture(mesh, c.texture);
        ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);
        EXPECT_EQ(mesh->source[0].tu, c.u0);
        EXPECT_EQ(mesh->source[0].tv, c.v0);
        EXPECT_EQ(mesh->source[2].tu, c.u2);
        EXPECT_EQ(mesh->source[2].tv, c.v2);
        // The alternative tables are scaled the same way, one pair per vertex.
        const uint8_t pairs[6] = {255, 127, 1, 2, 128, 64};
        EXPECT_EQ(Gfx_SetMeshUVs(mesh, pairs, sizeof pairs - 1), DDERR_INVALIDPARAMS) << "short table";
        ASSERT_EQ(Gfx_SetMeshUVs(mesh, pairs, sizeof pairs), 0);
        EXPECT_EQ(mesh->source[2].tu, c.u2);
        EXPECT_EQ(mesh->source[0].tv, c.v0);
        Gfx_DestroyMesh(mesh);
    }
}

TEST_F(Mesh, BrokenModelsAreRefusedBeforeAnythingIsWritten)
{
    const ModelImage good = SmallModel();
    const struct
    {
        const char *what;
        void (*breakIt)(MODEL &model, uint32_t &n, uint32_t &m);
    } cases[] = {
        {"group count past its records", [](MODEL &md, uint32_t &, uint32_t &) { md.counts[0] = 3; }},
        {"group bytes cut short", [](MODEL &md, uint32_t &, uint32_t &) { md.groupBytes[3] = 35; }},
        {"group with a count and no records", [](MODEL &md, uint32_t &, uint32_t &) { md.groups[0] = nullptr; }},
        {"count in an absent group", [](MODEL &md, uint32_t &, uint32_t &) { md.counts[6] = 1; }},
        {"vertex index past the table", [](MODEL &md, uint32_t &, uint32_t &) { md.vertexCount = 4; }},
        {"normal index past the table", [](MODEL &md, uint32_t &, uint32_t &) { md.normalCount = 2; }},
        {"no vertex table", [](MODEL &md, uint32_t &, uint32_t &) { md.vertices = nullptr; }},
        {"no normal table", [](MODEL &md, uint32_t &, uint32_t &) { md.normals = nullptr; }},
        {"mesh with too few vertices", [](MODEL &, uint32_t &n, uint32_t &) { n = 9; }},
        {"mesh with too few primitives", [](MODEL &, uint32_t &, uint32_t &m) { m = 1; }},
    };
    for (const auto &c : cases) {
        Built b = Read(good);
        uint32_t n = 10, m = 3;
        c.breakIt(b.model, n, m);
        MESH *mesh = Gfx_CreateMesh(n, m);
        ASSERT_NE(mesh, nullptr) << c.what;
        std::vector<SW3DVERTEX> before(mesh->source, mesh->source + n + 1);
        EXPECT_EQ(Gfx_BuildModelMesh(mesh, &b.model), DDERR_INVALIDPARAMS) << c.what;
        EXPECT_EQ(Gfx_UpdateModelMesh(mesh, &b.model), (n == 10 && m == 1) ? 0 : DDERR_INVALIDPARAMS) << c.what;
        EXPECT_EQ(mesh->triangleFill, 0) << c.what;
        EXPECT_EQ(mesh->outlineFill, 0) << c.what;
        if (!(n == 10 && m == 1)) {
            EXPECT_EQ(std::memcmp(before.data(), mesh->source, before.size() * sizeof(SW3DVERTEX)), 0) << c.what;
        }
        Gfx_DestroyMesh(mesh);
    }

    // Built once: a second build would run past the lists.
    Built b = Read(good);
    MESH *mesh = MeshFor(b.model);
    ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);
    EXPECT_EQ(Gfx_BuildModelMesh(mesh, &b.model), DDERR_INVALIDPARAMS);
    EXPECT_EQ(mesh->triangleFill, 10);
    EXPECT_EQ(Gfx_BuildModelMesh(nullptr, &b.model), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_BuildModelMesh(mesh, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(Mesh, BrokenModelImagesAreRefused)
{
    const std::vector<uint8_t> good = SmallModel().Bytes();
    const struct
    {
        const char *what;
        size_t at;
        uint32_t value;
        size_t size;
    } cases[] = {
        {"shorter than the header", 0, 0, 79},
        {"vertex table past the end", 24, 0x7FFFFFFF, 0},
        {"normal table at the end", 28, static_cast<uint32_t>(good.size()), 0},
        {"group past the end", 36 + 4 * 3, 0xFFFFFFFF, 0},
        {"texture-coordinate table past the end", 72, 0x10000, 0},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes = good;
        if (c.size)
            bytes.resize(c.size);
        else
            Put32(bytes, c.at, c.value);
        MODEL model{};
        model.counts[0] = 77;
        EXPECT_EQ(Gfx_ReadModelImage(bytes.data(), bytes.size(), &model), -1) << c.what;
        EXPECT_EQ(model.counts[0], 77) << c.what << ": left as it was";
    }
    // The tables run to the end of the image: a cut image loses records and indices are checked.
    std::vector<uint8_t> cut = good;
    cut.resize(cut.size() - 1);
    MODEL model{};
    ASSERT_EQ(Gfx_ReadModelImage(cut.data(), cut.size(), &model), 0);
    MESH *mesh = Gfx_CreateMesh(10, 3);
    EXPECT_EQ(Gfx_BuildModelMesh(mesh, &model), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_ReadModelImage(nullptr, 100, &model), -1);
}

TEST_F(Mesh, RefreshAndDirectWritesKeepWhatTheyDoNotOwn)
{
    ModelImage image = SmallModel();
    Built b = Read(image);
    MESH *mesh = MeshFor(b.model);
    ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);
    // Move vertex 4 (the quad's last corner): only positions change.
    image.vertices[4] = {7, 8, 9};
    Built moved = Read(image);
    ASSERT_EQ(Gfx_UpdateModelMesh(mesh, &moved.model), 0);
    EXPECT_EQ(mesh->source[9].x, 7.0f);
    EXPECT_EQ(mesh->source[9].z, 9.0f);
    EXPECT_EQ(mesh->source[9].colour, 0xFFFFFFu);
    EXPECT_EQ(mesh->source[9].nz, -1.0f);
    EXPECT_EQ(mesh->triangleFill, 10);

    // 16-bit writes: diffuse from the low bytes of the position; the extra vertex may be written.
    const int16_t pos[8] = {0x123, -1, 7, 0, 300, 2, -300, 0};
    const int16_t nrm[8] = {4096, 0, -2048, 0, 0, 0, 0, 0};
    ASSERT_EQ(Gfx_SetMeshVertices16(mesh, pos, nrm, 9, 2), 0);
    EXPECT_EQ(mesh->source[9].colour, 0x23FF07u);
    EXPECT_EQ(mesh->source[9].nx, 1.0f);
    EXPECT_EQ(mesh->source[9].nz, -0.5f);
    EXPECT_EQ(mesh->source[10].colour, 0x2C02D4u);
    EXPECT_EQ(Gfx_SetMeshVertices16(mesh, pos, nrm, 10, 2), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_SetMeshVertices16(mesh, pos, nrm, 0xFFFFFFFF, 2), DDERR_INVALIDPARAMS);

    const int32_t pos32[4] = {-70000, 5, 6, 0};
    const uint32_t col = 0x00ABCDEF;
    const float u = mesh->source[3].tu;
    ASSERT_EQ(Gfx_SetMeshVertices32(mesh, pos32, &col, 3, 1), 0);
    EXPECT_EQ(mesh->source[3].x, -70000.0f);
    EXPECT_EQ(mesh->source[3].colour, col);
    EXPECT_EQ(mesh->source[3].nx, 0.5f);
    EXPECT_EQ(mesh->source[3].tu, u);
    EXPECT_EQ(Gfx_SetMeshVertices32(mesh, pos32, &col, 11, 1), DDERR_INVALIDPARAMS);
}

TEST_F(Mesh, InversionAndOutputColours)
{
    Built b = Read(SmallModel());
    MESH *mesh = MeshFor(b.model);
    ASSERT_EQ(Gfx_BuildModelMesh(mesh, &b.model), 0);
    // Inverting twice with the same flag changes the colours once; off changes them back.
    Gfx_SetMeshColoursInverted(mesh, VIDOBJ_INVERTED);
    Gfx_SetMeshColoursInverted(mesh, VIDOBJ_INVERTED);
    EXPECT_EQ(mesh->source[0].colour, 0xEFDFCFu);
    EXPECT_EQ(mesh->flags & MESH_INVERTED, MESH_INVERTED);
    EXPECT_EQ(mesh->colours[0], 0x102030u) << "the converted colours stay";
    Gfx_SetMeshColoursInverted(mesh, 0);
    Gfx_SetMeshColoursInverted(mesh, 0);
    EXPECT_EQ(mesh->source[0].colour, 0x102030u);
    EXPECT_EQ(mesh->flags, 0u);

    ASSERT_EQ(Gfx_SetMeshOutputColour(mesh, 0x00112233), 0);
    for (uint32_t i = 0; i < 10; i++)
        EXPECT_EQ(mesh->output[i].colour, 0x112233u);
    ASSERT_EQ(Gfx_SetMeshOutputColour(mesh, 0xFFFFFFFF), 0);
    EXPECT_EQ(mesh->output[0].colour, 0x102030u);
    EXPECT_EQ(mesh->output[6].colour, 0xFF0000u);
}

TEST_F(Mesh, ListLinksAndCounts)
{
    MESH *a = Gfx_CreateMesh(4, 1);
    MESH *b = Gfx_CreateMesh(544, 544);
    MESH *c = Gfx_CreateMesh(0, 0);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(g_iMeshCount, 3);
    EXPECT_EQ(g_pMeshList, c);
    Gfx_DestroyMesh(b);
    EXPECT_EQ(g_iMeshCount, 2);
    EXPECT_EQ(c->next, a);
    EXPECT_EQ(a->prev, c);
    Gfx_DestroyMesh(c);
    EXPECT_EQ(g_pMeshList, a);
    Gfx_DestroyAllMeshes();
    EXPECT_EQ(g_iMeshCount, 0);
    EXPECT_EQ(g_pMeshList, nullptr);
    // Sizes past the 16-bit lists are refused instead of wrapping.
    EXPECT_EQ(Gfx_CreateMesh(65536, 1), nullptr);
    EXPECT_EQ(Gfx_CreateMesh(10, 9363), nullptr);
    EXPECT_EQ(g_iMeshCount, 0);
    Gfx_DestroyMesh(nullptr);
}

// --- drawn through the device ---

uint16_t BackPixel(int x, int y)
{
    int32_t pitch = 0, w = 0, h = 0;
    const uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
    return back[static_cast<size_t>(y) * (pitch / 2) + x];
}

// 8 x 8 console image at 4 bits: 4 x 4 checker of index 1 (orange) and 2 (blue).
std::vector<uint8_t> CheckerImage()
{
    std::vector<uint8_t> image = {0x10, 0, 0, 0, 8, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0, 16, 0, 1, 0};
    const uint16_t clut[16] = {0, 31 | 16 << 5, 24 << 10 | 8 << 5 | 2, 31 << 5};
    for (uint16_t c : clut) {
        image.push_back(static_cast<uint8_t>(c));
        image.push_back(static_cast<uint8_t>(c >> 8));
    }
    const uint8_t pixelHeader[] = {44, 0, 0, 0, 0, 0, 0, 0, 2, 0, 8, 0};
    image.insert(image.end(), pixelHeader, pixelHeader + sizeof pixelHeader);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x += 2)
            image.push_back(((x / 4 + y / 4) & 1) ? 0x22 : 0x11);
    return image;
}

// A cube-ish shape: flat, gouraud, semi-transparent and textured faces.
ModelImage ShapeModel()
{
    ModelImage m;
    m.vertices = {{-60, -60, -60}, {60, -60, -60}, {-60, 60, -60}, {60, 60, -60},
                  {-60, -60, 60},  {60, -60, 60},  {-60, 60, 60},  {60, 60, 60}};
    m.normals = {{0, 0, -4096}, {-4096, 0, 0}, {0, -4096, 0}, {2365, 2365, -2365}, {0, 4096, 0}};
    m.prims = {
        {0, {0xFFFFFF}, {4, 0, 6}, {1}, {}},                                      // flat left half
        {2, {0xFF4040, 0x40FF40, 0x4040FF}, {0, 4, 1}, {2, 2, 3}, {}, true},      // semi bottom
        {1, {0xC0C0C0}, {4, 5, 0, 1}, {2}, {}},                                   // flat bottom quad
        {3, {0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF}, {2, 3, 6, 7}, {4, 4, 3, 4}, {}},
        {5, {0xFFFFFF}, {0, 1, 2, 3}, {0}, {{0, 0}, {16, 0}, {0, 16}, {16, 16}}}, // textured front
        {6, {0xFFFFFF, 0x808080, 0xFFFFFF}, {1, 5, 3}, {3, 3, 3}, {{0, 0}, {8, 0}, {0, 8}}},
    };
    return m;
}

class MeshDraw : public Mesh
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        const std::vector<uint8_t> image = CheckerImage();
        ASSERT_EQ(Gfx_CreateTextureFromImage(&m_texture, image.data(), image.size(), -1), 0);
        shape = Read(ShapeModel());
        Gfx_ClearViewportColour(0x00202020);
        Gfx_ClearZBuffer();
    }
    void TearDown() override
    {
        Mesh::TearDown();
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_FreeTextureTable();
        Test3D_Close();
        g_tTextureDevice = g_tDefaultTextureDevice;
        g_iPixelFormat = PIXELFORMAT_565;
    }
    // Places the next transform at (x, y, z), turned a little so three faces show.
    static void Place(float x, float y, float z)
    {
        SW3DMATRIX w{};
        Gfx_SetIdentityMatrix(&w);
        const float c = 0.8f, s = 0.6f;
        w._11 = c;
        w._13 = s;
        w._31 = -s;
        w._33 = c;
        SW3DMATRIX t{};
        Gfx_SetIdentityMatrix(&t);
        t._22 = c;
        t._23 = -s;
        t._32 = s;
        t._33 = c;
        SW3DMATRIX r{};
        Gfx_MultiplyMatrix(&w, &t, &r);
        r._41 = x;
        r._42 = y;
        r._43 = z;
        Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &r);
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
    MESH *Holder(MODELHOLDER &h)
    {
        MESH *mesh = MeshFor(shape.model);
        EXPECT_NE(mesh, nullptr);
        Gfx_SetMeshTexture(mesh, m_texture);
        EXPECT_EQ(Gfx_BuildModelMesh(mesh, &shape.model), 0);
        h = {};
        h.model = &shape.model;
        h.mesh = mesh;
        return mesh;
    }
    TEXTURE *m_texture = nullptr;
    Built shape;
};

TEST_F(MeshDraw, GoldenSolidLitAndTextured)
{
    MODELHOLDER h;
    MESH *mesh = Holder(h);
    // Extra vertex: the hub of the vertex lines, above the shape.
    const int32_t hub[4] = {0, 150, 0, 0};
    const uint32_t hubColour = 0x00FFFFFF;
    ASSERT_EQ(Gfx_SetMeshVertices32(mesh, hub, &hubColour, mesh->vertexCount, 1), 0);

    const struct
    {
        float x, y;
        uint32_t flags;
        TEXTURE *texture;
    } objects[] = {
        {-150, 70, VIDOBJ_SOLID, nullptr},
        {150, 70, VIDOBJ_SOLID | VIDOBJ_OWNTEXTURE, m_texture},
        {-150, -110, VIDOBJ_SOLID | VIDOBJ_INVERTED, nullptr},
        {150, -110, VIDOBJ_HUBLINES, nullptr},
    };
    ASSERT_EQ(Gfx_BeginScene(), 0);
    // A warm key light from the upper left, a dim blue fill from the right, low ambient.
    ASSERT_EQ(Gfx_SetAmbientColour(40, 40, 40), 0);
    ASSERT_EQ(Gfx_SetLightColour(0, 4096, 3600, 3000), 0);
    ASSERT_EQ(Gfx_SetLightDirection(0, 2048, -2048, 3000), 0);
    ASSERT_EQ(Gfx_SetLightColour(1, 0, 800, 2400), 0);
    ASSERT_EQ(Gfx_SetLightDirection(1, -4096, 0, 1000), 0);
    ASSERT_EQ(Gfx_SetLightColour(2, 0, 0, 0), 0);
    for (const auto &o : objects) {
        Place(o.x, o.y, 400);
        ASSERT_EQ(Gfx_TransformLightMesh(mesh), 0);
        const VIDOBJECT object = DrawObject(o.flags, {0, 0, 0}, o.texture);
        g_iPrimitivesDrawn = 0;
        ASSERT_EQ(Gfx_DrawModelMesh(&h, &object), 0);
        EXPECT_EQ(g_iPrimitivesDrawn, 6);
    }
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("mesh_solid_lit", 0x74A43E699106AF8D));
}

TEST_F(MeshDraw, GoldenOutlinesQuadsAndLines)
{
    MODELHOLDER h;
    MESH *mesh = Holder(h);
    const int32_t hub[4] = {0, 200, 0, 0};
    const uint32_t hubColour = 0x00FFFFFF;
    ASSERT_EQ(Gfx_SetMeshVertices32(mesh, hub, &hubColour, mesh->vertexCount, 1), 0);

    const struct
    {
        float x, y;
        uint32_t flags;
        uint8_t colour[3];
    } objects[] = {
        // Outline only: the hub lines are not drawn with an outline pass.
        {-150, 70, VIDOBJ_OUTLINE | VIDOBJ_HUBLINES, {255, 255, 0}},
        {150, 70, VIDOBJ_OUTLINE | VIDOBJ_OUTLINE_RECOLOUR | VIDOBJ_OUTLINE_INVERTED, {255, 0, 255}},
        {-150, -110, VIDOBJ_SOLID | VIDOBJ_OUTLINE | VIDOBJ_OUTLINE_ADDITIVE | VIDOBJ_OUTLINE_RECOLOUR,
         {64, 64, 64}},
    };
    ASSERT_EQ(Gfx_BeginScene(), 0);
    for (const auto &o : objects) {
        Place(o.x, o.y, 400);
        ASSERT_EQ(Gfx_TransformLightMesh(mesh), 0);
        const VIDOBJECT object = DrawObject(o.flags, {o.colour[0], o.colour[1], o.colour[2]}, nullptr);
        ASSERT_EQ(Gfx_DrawModelMesh(&h, &object), 0);
        // A recoloured outline puts the converted colours back.
        EXPECT_EQ(mesh->output[0].colour, mesh->colours[0]);
    }

    // The quad grid's way: vertices written directly, transformed unlit, quads by style.
    MESH *grid = Gfx_CreateMesh(16, 16);
    ASSERT_NE(grid, nullptr);
    std::vector<int16_t> pos, nrm(64, 0);
    for (int i = 0; i < 16; i++) {
        pos.push_back(static_cast<int16_t>((i % 4) * 40 - 60));
        pos.push_back(static_cast<int16_t>((i / 4) * 40 - 60));
        pos.push_back(0);
        pos.push_back(0);
    }
    ASSERT_EQ(Gfx_SetMeshVertices16(grid, pos.data(), nrm.data(), 0, 16), 0);
    Place(150, -110, 400);
    ASSERT_EQ(Gfx_TransformMesh(grid), 0);
    ASSERT_EQ(Gfx_BindTextureRecord(m_texture, 0, 0), 0);
    const int styles[4] = {0, 3, 7, 12};
    for (int q = 0; q < 4; q++) {
        const uint16_t base = static_cast<uint16_t>((q / 2) * 8 + (q % 2) * 2);
        const uint16_t corners[4] = {base, uint16_t(base + 1), uint16_t(base + 4), uint16_t(base + 5)};
        const uint8_t colour[3] = {255, 255, 255};
        ASSERT_EQ(Gfx_DrawMeshQuad(grid, corners, colour, styles[q]), 0);
        const uint8_t edge[3] = {255, 0, 0};
        ASSERT_EQ(Gfx_DrawMeshQuadOutline(grid, corners, edge), 0);
    }
    // The line figure's way: a line list, additive and untextured.
    const uint16_t lines[4] = {0, 15, 3, 12};
    ASSERT_EQ(Gfx_DrawMeshLines(grid, lines, 4), 0);
    ASSERT_EQ(Gfx_SetBlendMode(0), 0);
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("mesh_outlines_quads_lines", 0x8C2FA5261056F3BF));

    const uint16_t bad[4] = {0, 1, 2, 17};
    const uint8_t colour[3] = {1, 2, 3};
    EXPECT_EQ(Gfx_DrawMeshQuad(grid, bad, colour, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_DrawMeshQuadOutline(grid, bad, colour), DDERR_INVALIDPARAMS);
    EXPECT_NE(Gfx_DrawMeshLines(grid, bad, 4), 0);
}

TEST_F(MeshDraw, HubLinesOnlyWithoutAnOutlinePass)
{
    MODELHOLDER h;
    MESH *mesh = Holder(h);
    const int32_t hub[4] = {0, 200, 0, 0};
    const uint32_t hubColour = 0x00FFFFFF;
    ASSERT_EQ(Gfx_SetMeshVertices32(mesh, hub, &hubColour, mesh->vertexCount, 1), 0);
    Place(0, 0, 400);
    ASSERT_EQ(Gfx_TransformMesh(mesh), 0);
    auto picture = [&](uint32_t flags) {
        Gfx_ClearViewportColour(0x00202020);
        Gfx_ClearZBuffer();
        const VIDOBJECT object = DrawObject(flags, {255, 255, 255}, nullptr);
        EXPECT_EQ(Gfx_DrawModelMesh(&h, &object), 0);
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_Hash();
    };
    const uint64_t empty = picture(0);
    const uint64_t outline = picture(VIDOBJ_OUTLINE);
    EXPECT_NE(outline, empty);
    EXPECT_EQ(picture(VIDOBJ_OUTLINE | VIDOBJ_HUBLINES), outline);
    const uint64_t lines = picture(VIDOBJ_HUBLINES);
    EXPECT_NE(lines, empty);
    EXPECT_NE(lines, outline);
    // Every line starts at the white hub: its pixel is near white, not the background.
    const SW3DPVERTEX &p = mesh->output[mesh->vertexCount];
    const int x = static_cast<int>((p.x / p.w + 1) * 320), y = static_cast<int>((1 - p.y / p.w) * 240);
    EXPECT_GE(BackPixel(x, y) >> 11, 30) << x << "," << y;
}

// Records the surfaces the mesh drawing binds.
std::vector<const TEXSURFACE *> g_aBound;
int32_t RecordTexture(const TEXSURFACE *t)
{
    g_aBound.push_back(t);
    return g_tDefaultTextureDevice.setTexture(t);
}

TEST_F(MeshDraw, TextureChoiceForEachHalf)
{
    MODELHOLDER h;
    MESH *mesh = Holder(h);
    ASSERT_EQ(Gfx_TransformLightMesh(mesh), 0);
    TEXTURE *other = nullptr;
    const std::vector<uint8_t> image = CheckerImage();
    ASSERT_EQ(Gfx_CreateTextureFromImage(&other, image.data(), image.size(), -1), 0);
    g_tTextureDevice.setTexture = RecordTexture;
    const struct
    {
        uint32_t flags;
        std::vector<const TEXSURFACE *> bound;
    } cases[] = {
        {VIDOBJ_SOLID, {nullptr, m_texture->d3dTexture}},
        {VIDOBJ_SOLID | VIDOBJ_OWNTEXTURE, {other->d3dTexture, other->d3dTexture}},
        {VIDOBJ_OUTLINE, {nullptr, m_texture->d3dTexture}},
        {VIDOBJ_SOLID | VIDOBJ_OUTLINE, {nullptr, m_texture->d3dTexture, nullptr, m_texture->d3dTexture}},
        {VIDOBJ_HUBLINES, {}},
    };
    for (const auto &c : cases) {
        g_aBound.clear();
        const VIDOBJECT object = DrawObject(c.flags, {0, 0, 0}, other);
        ASSERT_EQ(Gfx_DrawModelMesh(&h, &object), 0) << c.flags;
        // A bind of "no texture" reaches the device as a colour stage change only.
        std::vector<const TEXSURFACE *> seen;
        for (const TEXSURFACE *t : g_aBound)
            seen.push_back(t);
        std::vector<const TEXSURFACE *> want;
        for (const TEXSURFACE *t : c.bound)
            if (t)
                want.push_back(t);
        EXPECT_EQ(seen, want) << std::hex << c.flags;
    }
}

TEST_F(MeshDraw, FailuresAreNamedAndStopTheDraw)
{
    MODELHOLDER h;
    MESH *mesh = Holder(h);
    Sw3d_TestFailAfter(0, SW3D_ERR_GENERIC);
    EXPECT_NE(Gfx_TransformLightMesh(mesh), 0);
    EXPECT_NE(g_hrD3D, 0);
    Sw3d_TestFailAfter(-1, 0);
    ASSERT_EQ(Gfx_TransformLightMesh(mesh), 0);
    // Fail each counted call of a solid draw in turn: an error comes back, nothing is counted.
    for (int n = 0; n < 40; n++) {
        g_iPrimitivesDrawn = 0;
        Sw3d_TestFailAfter(n, SW3D_ERR_GENERIC);
        const VIDOBJECT object = DrawObject(VIDOBJ_SOLID, {0, 0, 0}, nullptr);
        const int32_t hr = Gfx_DrawModelMesh(&h, &object);
        Sw3d_TestFailAfter(-1, 0);
        if (hr == 0) {
            EXPECT_EQ(g_iPrimitivesDrawn, 6);
            break;
        }
        EXPECT_EQ(hr, g_hrD3D) << n;
        EXPECT_EQ(g_iPrimitivesDrawn, 0) << n;
    }
    // A holder whose model no longer matches the built mesh is refused.
    MODEL grown = shape.model;
    grown.counts[0] = 5;
    grown.groupBytes[0] = 5 * 16;
    MODELHOLDER wrong = h;
    wrong.model = &grown;
    const VIDOBJECT object = DrawObject(VIDOBJ_SOLID, {0, 0, 0}, nullptr);
    EXPECT_EQ(Gfx_DrawModelMesh(&wrong, &object), DDERR_INVALIDPARAMS);
    EXPECT_EQ(Gfx_DrawModelMesh(nullptr, &object), DDERR_INVALIDPARAMS);
}

} // namespace
