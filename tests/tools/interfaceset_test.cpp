// The built interface set read back through the studio's own loaders: the fonts measure the cells
// the builder drew and their glyphs are the picture's ink; every image record frames exactly the
// widget drawn for it; start-up loads all of it quietly and shows the tile background and the
// pointer.
#include "core/disc.h"
#include "core/file.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "tools/interfacepictures.h"
#include "tools/interfaceset.h"
#include "tools/tilecontent.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr const char *kFontFiles[5] = {"gfx\\fonts\\tonnivel.bin", "gfx\\fonts\\tonnivels.bin",
                                       "gfx\\fonts\\tonnipro.bin", "gfx\\fonts\\teeny.bin", "gfx\\fonts\\weewee.bin"};

class BuiltSet : public ::testing::Test
{
protected:
    std::vector<uint8_t> m_tx;
    void SetUp() override
    {
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/data/", build);
        g_iPixelFormat = PIXELFORMAT_565;
        Sys_DiscInit();
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        for (int n = 6; n <= 27; n++)
            ASSERT_EQ(Gfx_LoadTextureFile((std::string(g_szDataDir) + "win" + std::to_string(n) + ".raw").c_str(), 0, n), 0);
        m_tx.resize(TX_FILE_MAX);
        const long size = Sys_LoadFileToBuffer("win.tx", m_tx.data(), m_tx.size());
        ASSERT_GT(size, 0);
        ASSERT_EQ(Gfx_ParseTxFile(m_tx.data(), size_t(size)), 0);
    }
    void TearDown() override
    {
        Gfx_FreeTextureTable();
        g_pImageTable = nullptr;
        g_iImageCount = 0;
        g_szDataDir[0] = 0;
    }
    // Texel (u, v) of page `page` as the rasteriser reads it: opaque when its mask is 0.
    static bool Opaque(int page, int u, int v)
    {
        const uint16_t *t = Gfx_GetTexelSource(page);
        return t[v * 512 + (u >> 1) * 4 + 2 + (u & 1)] == 0;
    }
    static uint16_t Colour(int page, int u, int v)
    {
        return Gfx_GetTexelSource(page)[v * 512 + (u >> 1) * 4 + (u & 1)];
    }
};

TEST_F(BuiltSet, FontsMeasureTheirSheetsAndDrawTheirInk)
{
    const INTERFACESET &set = Content_InterfaceSet();
    ASSERT_EQ(set.sheets.size(), 5u) << set.error;
    for (int i = 0; i < 5; i++) {
        SCOPED_TRACE(kFontFiles[i]);
        const CONTENTIMAGE &im = set.images[size_t(i)];
        ASSERT_EQ(im.draw, DRAW_FONT);
        const FONTSHEET &sheet = set.sheets[size_t(im.param)];
        IMAGEREC *record = Gfx_GetImage(i);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->width, sheet.width);
        EXPECT_EQ(record->height, sheet.rows);

        FONT font{};
        FONT *before = g_pFont;
        g_pFont = &font;
        font.sheet = record;
        ASSERT_EQ(Gfx_LoadFont(kFontFiles[i]), 0) << g_szErrorText;
        g_pFont = before;
        EXPECT_EQ(font.size[0].height, sheet.height);
        const int page = record->page & 31;
        for (int g = 0; g < FONT_GLYPHS; g++) {
            SCOPED_TRACE(g);
            const int su = font.source[g].u - record->u, sv = font.source[g].v - record->v;
            ASSERT_GE(su, 0);
            ASSERT_GE(sv, 0);
            // The width is the run of cell texels the builder drew before the edge column.
            int w = 0;
            while (su + w < sheet.width && sheet.texels[size_t(sv * sheet.width + su + w)] != 15)
                w++;
            ASSERT_EQ(font.size[g].width, w);
            // The picture holds the glyph's ink, white and opaque, and nothing else in its cell.
            for (int r = 0; r < sheet.height; r++)
                for (int c = 0; c < w; c++) {
                    const uint8_t t = sheet.texels[size_t((sv + r) * sheet.width + su + c)];
                    const int u = font.source[g].u + c, v = font.source[g].v + r;
                    ASSERT_EQ(Opaque(page, u, v), t != 0) << c << "," << r;
                    if (t) {
                        ASSERT_EQ(Colour(page, u, v), 0xFFFF);
                    }
                }
        }
    }
}

TEST_F(BuiltSet, EveryImageFramesItsOwnWidget)
{
    const INTERFACESET &set = Content_InterfaceSet();
    ASSERT_GE(g_iImageCount, CONTENT_IMAGE_RECORDS);
    // Which image each texel belongs to, to see rectangles never share a texel.
    std::vector<int> owner(22 * 256 * 256, -1);
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++) {
        SCOPED_TRACE(n);
        const IMAGEREC *r = Gfx_GetImage(n);
        const CONTENTIMAGE &im = set.images[size_t(n)];
        ASSERT_NE(r, nullptr);
        const int page = r->page & 31;
        ASSERT_GE(page, CONTENT_FIRST_PICTURE);
        ASSERT_LE(page, CONTENT_LAST_PICTURE);
        EXPECT_EQ(r->kind, IMAGE_KIND_4BIT);
        EXPECT_EQ((r->page >> 7) & 3, 0) << "4-bit page words: texel columns are picture columns";
        ASSERT_LE(r->u + r->width, 256);
        ASSERT_LE(r->v + r->height, 256);
        EXPECT_EQ(r->u % 8, 0);
        EXPECT_EQ(r->v % 8, 0);
        for (int v = r->v; v < r->v + r->height; v++)
            for (int u = r->u; u < r->u + r->width; u++) {
                int &o = owner[size_t((page - 6) * 65536 + v * 256 + u)];
                ASSERT_EQ(o, -1) << "shared with image " << o;
                o = n;
            }
        if (im.draw == DRAW_FONT)
            continue;
        // The widget touches all four sides of its rectangle, and nothing of it lies outside (the
        // grid's 24 x 24 cells lie edge to edge: only their own rectangle is looked at).
        const int out = Content_IsGridImage(n) && r->width == 24 && r->height == 24 ? 0 : 1;
        int left = 256, top = 256, right = -1, bottom = -1;
        for (int v = std::max(0, r->v - out); v <= std::min(255, r->v + r->height - 1 + out); v++)
            for (int u = std::max(0, r->u - out); u <= std::min(255, r->u + r->width - 1 + out); u++)
                if (Opaque(page, u, v)) {
                    left = std::min(left, u);
                    right = std::max(right, u);
                    top = std::min(top, v);
                    bottom = std::max(bottom, v);
                }
        EXPECT_EQ(left, r->u);
        EXPECT_EQ(top, r->v);
        EXPECT_EQ(right, r->u + r->width - 1);
        EXPECT_EQ(bottom, r->v + r->height - 1);
    }
    // No ink anywhere but inside an image.
    for (int page = 6; page <= 27; page++)
        for (int v = 0; v < 256; v++)
            for (int u = 0; u < 256; u++)
                if (Opaque(page, u, v)) {
                    ASSERT_NE(owner[size_t((page - 6) * 65536 + v * 256 + u)], -1) << page << ":" << u << "," << v;
                }

    // The widgets are what the screens take them for: the pointer's tip is its top-left texel,
    // frame pieces and scroll parts fill their 8 x 8 squares.
    for (int n : {641, 642}) {
        const IMAGEREC *r = Gfx_GetImage(n);
        EXPECT_TRUE(Opaque(r->page & 31, r->u, r->v));
        EXPECT_FALSE(Opaque(r->page & 31, r->u + r->width - 1, r->v));
    }
    for (int n : {105, 106, 107, 108, 299, 300, 301, 302, 688, 689, 690, 691, 692, 693, 694, 695, 784, 797, 810}) {
        const IMAGEREC *r = Gfx_GetImage(n);
        EXPECT_EQ(r->width, 8) << n;
        EXPECT_EQ(r->height, 8) << n;
        for (int v = 0; v < 8; v++)
            for (int u = 0; u < 8; u++)
                EXPECT_TRUE(Opaque(r->page & 31, r->u + u, r->v + v)) << n;
    }
}

// Every built picture, sheet and backdrop has its exact size; the pictures are the builder's.
TEST(InterfaceFiles, SizesAndPictures)
{
    const std::vector<CONTENTFILE> pictures = Content_InterfacePictureFiles();
    ASSERT_EQ(pictures.size(), 22u);
    for (const CONTENTFILE &f : pictures)
        EXPECT_EQ(f.data.size(), 256u * 256 * 3) << f.path;
    const std::vector<CONTENTFILE> tiles = Content_TileFiles();
    ASSERT_EQ(tiles.size(), 13u);
    for (size_t i = 0; i < 12; i++) {
        const CONTENTTILESHEET &s = g_atContentTileSheets[i];
        EXPECT_EQ(tiles[i].path, s.name);
        EXPECT_EQ(tiles[i].data.size(), size_t(s.columns) * s.rows * 1728) << s.name;
    }
    EXPECT_EQ(tiles[12].path, "pcjambg.raw");
    EXPECT_EQ(tiles[12].data.size(), 640u * 480 * 3);
    EXPECT_TRUE(Content_TileSheet("nonesuch.raw").empty());
}

// A frame the studio presented, read back from its PNG dump.
struct Frame
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

bool ReadPng(const std::string &path, Frame &f)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    f.width = int(image.width);
    f.height = int(image.height);
    f.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, f.rgb.data(), 0, nullptr) != 0;
}

TEST(InterfaceStartup, FontsAndPicturesLoadQuietlyAndTheFrameShowsTilesAndPointer)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    const std::string png = ::testing::TempDir() + "tnv_startup_frame.png";
    std::remove(png.c_str());
    const std::string cmd = "env -u TNV_DATA_DIR -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=3 "
                            "TNV_DUMP_FRAME='" + png + "' TNV_SETTINGS=" + ::testing::TempDir() +
                            "tnv_startup_settings.ini '" + build + "/tnvpc' 2>&1 >/dev/null";
    std::string err;
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        err.append(buf, n);
    const int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(err.find("font"), std::string::npos) << err;
    EXPECT_EQ(err.find("Couldn't"), std::string::npos) << err;

    Frame f;
    ASSERT_TRUE(ReadPng(png, f));
    ASSERT_EQ(f.width, 640);
    ASSERT_EQ(f.height, 480);
    // Everywhere but under the pointer, the top bar and the song grid's window (with its shadow), the pixels are
    // background tile 0 of "bg_tiles.raw" in 5:6:5; the window shows the grid.
    const std::vector<uint8_t> sheet = Content_TileSheet("bg_tiles.raw");
    auto expand = [](int c, int bits) { return (c >> (8 - bits) << (8 - bits)) | (c >> (8 - bits) >> (2 * bits - 8)); };
    int mismatched = 0, window = 0, topBar = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            if (x >= 320 && x < 332 && y >= 240 && y < 259)
                continue;
            const uint8_t *t = &sheet[(size_t(y % 24) * 240 + size_t(x % 24)) * 3];
            const uint8_t *px = f.At(x, y);
            const bool differs = px[0] != expand(t[0], 5) || px[1] != expand(t[1], 6) || px[2] != expand(t[2], 5);
            if (x >= 8 && y >= 8 && y < 8 + 60)
                topBar += differs;
            else if (x >= 8 && y >= 74)
                window += differs;
            else
                mismatched += differs;
        }
    EXPECT_EQ(mismatched, 0);
    EXPECT_GT(window, 200000) << "the song grid covers its panel";
    EXPECT_GT(topBar, 30000) << "the editor top bar spans the screen above the grid";
    // The pointer at its place at start-up, the screen centre: its white body below the tip.
    const uint8_t *body = f.At(322, 245);
    EXPECT_EQ(body[0], 255);
    EXPECT_EQ(body[1], 255);
    EXPECT_EQ(body[2], 255);
}

} // namespace
