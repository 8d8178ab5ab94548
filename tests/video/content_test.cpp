// The video content the build makes: every resource of every kind loads through the studio's own
// loaders, the folders and defaults the chases need are there, and a few built models drawn
// through the 3-D device match their golden pictures.
#include "core/archive.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/prims3d.h"
#include "render/lights.h"
#include "render/mesh.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "tools/videoresources.h"
#include "video/resloaders.h"
#include "video/respages.h"
#include "video/vidobject.h"
#include "video/vidobject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class BuiltContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        Sys_DiscInit();
        Vid_CreateResPagePool();
        Vid_InstallResLoaders();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
    }
    void TearDown() override
    {
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        g_szDataDir[0] = 0;
    }

    // Number of entries in the folder at path below the kind's folder.
    static int EntriesAt(int kind, const uint16_t *path, int depth)
    {
        const RESKINDROW *row = Vid_GetKindRow(kind);
        uint16_t full[WAD_MAX_DEPTH];
        std::memcpy(full, row->path, sizeof(uint16_t) * row->depth);
        std::memcpy(full + row->depth, path, sizeof(uint16_t) * depth);
        return Sys_WadFileCountAt(full, row->depth + depth);
    }
};

// Walks a kind's tree: every entry of every folder is loaded, checked and released.
void WalkKind(int kind, const RESPAGE *folder, uint16_t *path, int depth, int *loaded)
{
    for (const RESPAGE *p = folder; p; p = p->next) {
        if (!p->folder)
            continue;
        path[depth] = p->index;
        const RESKINDROW *row = Vid_GetKindRow(kind);
        uint16_t full[WAD_MAX_DEPTH];
        std::memcpy(full, row->path, sizeof(uint16_t) * row->depth);
        std::memcpy(full + row->depth, path, sizeof(uint16_t) * (depth + 1));
        const int files = Sys_WadFileCountAt(full, row->depth + depth + 1);
        // The animation folders' own entries are size probes, not animations.
        const bool probes = kind == RES_ANIM && depth == 0;
        for (int e = 0; e < files && !probes; e++) {
            path[depth + 1] = static_cast<uint16_t>(e);
            int32_t id = -1;
            void *data = Vid_LoadResource(kind, path, depth + 2, &id);
            std::string where = "kind " + std::to_string(kind) + " path";
            for (int i = 0; i < depth + 2; i++)
                where += " " + std::to_string(path[i]);
            ASSERT_NE(data, nullptr) << where << ": " << g_szResErrorText;
            EXPECT_GT(id, 0) << where;
            Vid_AddResRef(id);
            EXPECT_EQ(Vid_ReleaseResRef(id), 0) << where;
            EXPECT_EQ(Vid_GetResData(id), nullptr) << where << " is freed with its last reference";
            (*loaded)++;
        }
        WalkKind(kind, p->child, path, depth + 1, loaded);
    }
}

} // namespace

TEST_F(BuiltContent, EveryResourceLoadsThroughTheLoaders)
{
    const int kinds[] = {RES_MODELS, RES_BACK,    RES_BACKTEX, RES_MAPTEX, RES_LAYOUT, RES_PATH,
                         RES_PARTICLE, RES_TEXT, RES_MODTEX, RES_ANIM,   RES_TUNNEL, RES_TEXTDEF};
    const int freeBlocks = Gfx_CountFreeTextureBlocks();
    int total = 0;
    for (int kind : kinds) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        ASSERT_NE(Vid_GetKindRow(kind), nullptr);
        uint16_t path[WAD_MAX_DEPTH] = {};
        int loaded = 0;
        WalkKind(kind, Vid_GetKindTree(Vid_GetKindRow(kind)), path, 0, &loaded);
        EXPECT_GT(loaded, 0);
        total += loaded;
    }
    // Every entry the builder wrote, less the animation size probes.
    std::vector<VIDEOFOLDER> folders;
    std::vector<VIDEOITEM> items;
    Content_VideoResources(folders, items);
    int probes = 0;
    for (const VIDEOITEM &i : items)
        probes += i.name.rfind("ITEM", 0) == 0 ? 1 : 0;
    EXPECT_EQ(total, static_cast<int>(items.size()) - probes);
    // Everything went back: texture memory as it was.
    EXPECT_EQ(Gfx_CountFreeTextureBlocks(), freeBlocks);
}

TEST_F(BuiltContent, FoldersAndDefaultsTheChasesNeed)
{
    const struct
    {
        int kind;
        std::vector<uint16_t> path;
    } defaults[] = {
        {RES_MODELS, {0, 0}},  {RES_LAYOUT, {0, 0}},   {RES_LAYOUT, {7, 2}}, {RES_ANIM, {0, 0, 0}},
        {RES_BACK, {0, 0}},    {RES_MAPTEX, {0, 0}},   {RES_PATH, {2, 6}},   {RES_PATH, {2, 7}},
        {RES_PARTICLE, {0, 0}}, {RES_TUNNEL, {0, 0}},  {RES_TUNNEL, {1, 0}},
    };
    for (const auto &d : defaults) {
        int32_t id = -1;
        EXPECT_NE(Vid_LoadResource(d.kind, d.path.data(), static_cast<int>(d.path.size()), &id), nullptr)
            << "kind " << d.kind << ": " << g_szResErrorText;
        Vid_ReleaseResource(id);
    }
    // Layout folder q - 1 holds layouts of q points, 32 of them and a spare.
    for (uint16_t q = 1; q <= 32; q++) {
        const uint16_t path[2] = {static_cast<uint16_t>(q - 1), 0};
        int32_t id = -1;
        const POINTLIST *list = static_cast<const POINTLIST *>(Vid_LoadResource(RES_LAYOUT, path, 2, &id));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count, q);
        Vid_ReleaseResource(id);
    }
    // Path families: at least four, the third with at least eight paths.
    const RESPAGE *paths = Vid_GetKindTree(Vid_GetKindRow(RES_PATH));
    int families = 0;
    for (const RESPAGE *p = paths; p; p = p->next)
        families++;
    EXPECT_GE(families, 4);
    const uint16_t third[1] = {2};
    EXPECT_GE(EntriesAt(RES_PATH, third, 1), 8);
    // Sixteen user-image places, a font of 62 letters, five or more model families.
    const uint16_t users[1] = {0}, font[1] = {0};
    EXPECT_EQ(EntriesAt(RES_MAPTEX, users, 1), 16);
    EXPECT_EQ(EntriesAt(RES_TEXT, font, 1), CONTENT_LETTER_COUNT);
    int modelFamilies = 0;
    for (const RESPAGE *p = Vid_GetKindTree(Vid_GetKindRow(RES_MODELS)); p; p = p->next)
        modelFamilies++;
    EXPECT_GE(modelFamilies, 5);
    // Every animation family's entry k is the size probe of item k + 1: 5 bytes or more.
    const uint16_t probe[2] = {0, 1};
    EXPECT_GE(Vid_GetResFileSize(RES_ANIM, probe, 2), 5u);
}

TEST_F(BuiltContent, AnimationsMoveOnlyTheirModelsVertices)
{
    // Animation folder {family, item} animates model {family, item}: every vertex it moves exists.
    int checked = 0;
    for (uint16_t family = 0; family < Content_ModelFamilyCount(); family++) {
        for (uint16_t item = 0;; item++) {
            const uint16_t model[2] = {family, item};
            int32_t modelId = -1;
            VIDOBJECT *object = static_cast<VIDOBJECT *>(Vid_LoadResource(RES_MODELS, model, 2, &modelId));
            if (!object)
                break;
            const int vertices = Vid_GetObjectModel(object)->vertexCount;
            for (uint16_t n = 0;; n++) {
                const uint16_t path[3] = {family, item, n};
                int32_t id = -1;
                const ANIMRES *anim = static_cast<const ANIMRES *>(Vid_LoadResource(RES_ANIM, path, 3, &id));
                if (!anim)
                    break;
                EXPECT_LT(anim->maxVertex, vertices) << family << "/" << item << "/" << n;
                EXPECT_EQ(anim->groups[0].items, vertices);
                Vid_ReleaseResource(id);
                checked++;
            }
            Vid_ReleaseResource(modelId);
        }
    }
    EXPECT_GE(checked, 3 * 25);
}

TEST_F(BuiltContent, FoldersNameThemselvesAndTheirEntries)
{
    // Row 0 of a folder's companion names the folder, row k + 1 its entry k.
    const struct
    {
        const char *folder, *title, *first;
    } folders[] = {
        {"/B/B/A", "Solids", "Cube"},     {"/B/B/D", "Textured", "Textured box"}, {"/H/C", "Flights", "Orbit"},
        {"/F/A", "Your pictures", "Picture 1"}, {"/L/A", "Block letters", "0"}, {"/P/A", "Profiles", "Round"},
        {"/D/B/A", "Skies", "Sky dome"}, {"/J/A", "Sprites", "Soft glow"},
    };
    for (const auto &f : folders) {
        int32_t count = 0;
        const uint8_t *rows = Sys_WadListDir(f.folder, &count);
        ASSERT_NE(rows, nullptr) << f.folder;
        EXPECT_STREQ(reinterpret_cast<const char *>(rows), f.title) << f.folder;
        EXPECT_STREQ(reinterpret_cast<const char *>(rows + WAD_COMPANION_ROW), f.first) << f.folder;
    }
}

TEST_F(BuiltContent, LettersSitOnOneBaselineAndStartAtZero)
{
    // The text layout takes a letter's width from its largest x: letters start at x = 0.
    for (int code = 0; code < CONTENT_LETTER_COUNT; code++) {
        const uint16_t path[2] = {0, static_cast<uint16_t>(code)};
        int32_t id = -1;
        VIDOBJECT *letter = static_cast<VIDOBJECT *>(Vid_LoadResource(RES_TEXT, path, 2, &id));
        ASSERT_NE(letter, nullptr) << Content_LetterOfCode(code);
        const RESMODEL *m = Vid_GetObjectModel(letter);
        int minX = 32767, maxX = -32768, maxY = -32768;
        for (int v = 0; v < m->vertexCount; v++) {
            const int16_t x = static_cast<int16_t>(m->model.vertices[8 * v] | m->model.vertices[8 * v + 1] << 8);
            const int16_t y = static_cast<int16_t>(m->model.vertices[8 * v + 2] | m->model.vertices[8 * v + 3] << 8);
            minX = std::min<int>(minX, x);
            maxX = std::max<int>(maxX, x);
            maxY = std::max<int>(maxY, y);
        }
        EXPECT_GE(minX, 0) << Content_LetterOfCode(code);
        EXPECT_GT(maxX, 20) << Content_LetterOfCode(code);
        const char c = Content_LetterOfCode(code);
        if (!std::strchr("gjpqyQJ", c)) {
            EXPECT_EQ(maxY, 0) << c << " stands on the baseline";
        }
        Vid_ReleaseResource(id);
    }
}

TEST_F(BuiltContent, PaletteFileHoldsTheChaseColours)
{
    uint8_t *colours = Gfx_ReadTexturePalette("BOOT\\PALETTE.PAL", 128);
    ASSERT_NE(colours, nullptr);
    const std::vector<CONTENTRGB> expected = Content_ChasePaletteColours();
    ASSERT_EQ(expected.size(), 128u);
    for (int i = 0; i < 128; i++) {
        EXPECT_EQ(colours[4 * i], expected[i].r & 0xF8) << i;
        EXPECT_EQ(colours[4 * i + 2], expected[i].b & 0xF8) << i;
    }
    std::free(colours);
}

// ---- Drawn ----

class BuiltModelDraw : public BuiltContent
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        BuiltContent::SetUp();
        Gfx_ClearViewportColour(0x00101828);
        Gfx_ClearZBuffer();
    }
    void TearDown() override
    {
        BuiltContent::TearDown();
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Gfx_FreeTextureTable();
        Test3D_Close();
    }
    static void Place(float x, float y, float z, float turn, float tilt)
    {
        SW3DMATRIX a{}, b{}, r{};
        Gfx_SetIdentityMatrix(&a);
        a._11 = std::cos(turn);
        a._13 = std::sin(turn);
        a._31 = -std::sin(turn);
        a._33 = std::cos(turn);
        Gfx_SetIdentityMatrix(&b);
        b._22 = std::cos(tilt);
        b._23 = -std::sin(tilt);
        b._32 = std::sin(tilt);
        b._33 = std::cos(tilt);
        Gfx_MultiplyMatrix(&a, &b, &r);
        // Models are made y-down, as the engine's camera rig sees them: flip y for the device.
        r._12 = -r._12;
        r._22 = -r._22;
        r._32 = -r._32;
        r._41 = x;
        r._42 = -y;
        r._43 = z;
        Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &r);
    }
    static void Lights()
    {
        ASSERT_EQ(Gfx_SetAmbientColour(60, 60, 70), 0);
        ASSERT_EQ(Gfx_SetLightColour(0, 4096, 3900, 3500), 0);
        ASSERT_EQ(Gfx_SetLightDirection(0, 1400, -2400, 4096), 0);
        ASSERT_EQ(Gfx_SetLightColour(1, 900, 1200, 2600), 0);
        ASSERT_EQ(Gfx_SetLightDirection(1, -4096, -1000, 1000), 0);
        ASSERT_EQ(Gfx_SetLightColour(2, 0, 0, 0), 0);
    }
    // Loads a model of kind at (family, item) and draws it at (x, y, z).
    static void Draw(int kind, uint16_t family, uint16_t item, float x, float y, float z, float turn, float tilt)
    {
        const uint16_t path[2] = {family, item};
        int32_t id = -1;
        VIDOBJECT *object = static_cast<VIDOBJECT *>(Vid_LoadResource(kind, path, 2, &id));
        ASSERT_NE(object, nullptr) << g_szResErrorText;
        Vid_AddResRef(id);
        Place(x, y, z, turn, tilt);
        MODELHOLDER *holder = Vid_GetModelInstance(object);
        ASSERT_EQ(Gfx_TransformLightMesh(holder->mesh), 0);
        ASSERT_EQ(Gfx_DrawModelMesh(holder, object), 0);
    }
    static ::testing::AssertionResult Golden(const char *name, uint64_t hash)
    {
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        return TestLayer_MatchesGolden(name, hash);
    }
};

TEST_F(BuiltModelDraw, GoldenModelFamilies)
{
    ASSERT_EQ(Gfx_BeginScene(), 0);
    Lights();
    // Top row: cube, gem, sphere; bottom row: torus, star, textured box.
    Draw(RES_MODELS, 0, 0, -340, -170, 760, 0.6f, -0.45f);
    Draw(RES_MODELS, 0, 3, 0, -170, 760, 0.3f, 0.3f);
    Draw(RES_MODELS, 1, 0, 340, -170, 760, 0.2f, 0.3f);
    Draw(RES_MODELS, 1, 1, -340, 170, 760, 0.3f, -0.9f);
    Draw(RES_MODELS, 2, 0, 0, 170, 760, 0.35f, 0.0f);
    Draw(RES_MODELS, 3, 0, 340, 170, 760, 0.6f, -0.45f);
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("video_models", 0x0CA2E347CEC3C511));
}

TEST_F(BuiltModelDraw, GoldenLetters)
{
    ASSERT_EQ(Gfx_BeginScene(), 0);
    Lights();
    const char *word = "Tnv 27";
    float x = -300;
    for (const char *c = word; *c; c++) {
        if (*c == ' ') {
            x += 70;
            continue;
        }
        int code = *c >= 'a' ? *c - 'a' + 36 : (*c >= 'A' ? *c - 'A' + 10 : *c - '0');
        Draw(RES_TEXT, 0, static_cast<uint16_t>(code), x, -40, 520, 0.3f, -0.15f);
        x += 105;
    }
    ASSERT_EQ(Gfx_EndScene(), 0);
    EXPECT_TRUE(Golden("video_letters", 0x6E59CFD54084F29D));
}
