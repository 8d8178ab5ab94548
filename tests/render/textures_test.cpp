// The texture table: slots, raw interface pictures, formats, console images as 3-D textures,
// palettes, binding and the sample editor's picture. The 3-D device is a recording fake.
#include "render/gpustate.h"
#include "render/textures.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct FakeDevice
{
    std::vector<TEXPIXELFORMAT> formats;
    uint32_t caps = 0;
    uint32_t growW = 1, growH = 1; // the driver makes surfaces this many times larger
    int32_t failCreate = 0;
    int32_t failSetTexture = 0;
    std::vector<std::string> calls;
};
FakeDevice *g_fake = nullptr;

TEXPIXELFORMAT Pf(uint32_t flags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    return {32, flags, 0, bits, r, g, b, a};
}

const TEXPIXELFORMAT kPal8 = Pf(TEXPF_PALETTEINDEXED8 | TEXPF_RGB, 8, 0, 0, 0, 0);
const TEXPIXELFORMAT k565 = Pf(TEXPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0);
const TEXPIXELFORMAT k555 = Pf(TEXPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0);
const TEXPIXELFORMAT k1555 = Pf(TEXPF_RGB | TEXPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
const TEXPIXELFORMAT k4444 = Pf(TEXPF_RGB | TEXPF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
const TEXPIXELFORMAT k888 = Pf(TEXPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0);
const TEXPIXELFORMAT k8888 = Pf(TEXPF_RGB | TEXPF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);

const TEXDEVICE kFakeDevice = {
    [](TEXFORMATPROC proc, void *context) -> int32_t {
        for (const TEXPIXELFORMAT &f : g_fake->formats)
            if (proc(&f, context) == 0)
                break;
        return 0;
    },
    []() -> uint32_t { return g_fake->caps; },
    []() -> int32_t { return 0; },
    [](TEXSURFACE *s, uint32_t w, uint32_t h, const TEXPIXELFORMAT *f, uint32_t texFormat, uint32_t bpp) -> int32_t {
        g_fake->calls.push_back("create " + std::to_string(w) + "x" + std::to_string(h));
        if (g_fake->failCreate)
            return g_fake->failCreate;
        return g_tDefaultTextureDevice.createSurface(s, w * g_fake->growW, h * g_fake->growH, f, texFormat, bpp);
    },
    [](TEXSURFACE *s) { g_tDefaultTextureDevice.releaseSurface(s); },
    [](uint32_t op, uint32_t a1, uint32_t a2) -> int32_t {
        g_fake->calls.push_back("stage " + std::to_string(op) + " " + std::to_string(a1) + " " +
                                (a2 == TEXARG_KEEP ? std::string("-") : std::to_string(a2)));
        return 0;
    },
    [](const TEXSURFACE *t) -> int32_t {
        g_fake->calls.push_back(t ? "texture" : "texture none");
        return g_fake->failSetTexture;
    },
    []() -> int32_t {
        g_fake->calls.push_back("grab");
        return 0;
    },
};

class Textures : public ::testing::Test
{
protected:
    FakeDevice fake;

    void SetUp() override
    {
        g_fake = &fake;
        fake.formats = {kPal8, k565, k555, k1555, k4444, k888, k8888};
        g_tTextureDevice = kFakeDevice;
        g_iPixelFormat = PIXELFORMAT_565;
        g_bTextureGrabMode = 0;
        g_pClutSource = nullptr;
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
    }

    void TearDown() override
    {
        Gfx_FreeTextureTable();
        g_tTextureDevice = g_tDefaultTextureDevice;
        g_iPixelFormat = PIXELFORMAT_565;
        g_pClutSource = nullptr;
        g_iCurrentTexture = -2;
        g_fake = nullptr;
    }

    // Only this format offered, list refreshed.
    void Offer(std::vector<TEXPIXELFORMAT> formats)
    {
        fake.formats = std::move(formats);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
    }
};

// A console image: u32 0x10, flags, CLUT block (length, 8 bytes of placement, colours), pixel
// block (length, x, y, width in words, height, indices).
std::vector<uint8_t> ConsoleImage(uint32_t flags, const std::vector<uint16_t> &clut, int16_t w, int16_t h,
                                  const std::vector<uint8_t> &indices)
{
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u32(0x10);
    u32(flags);
    u32(12 + static_cast<uint32_t>(clut.size()) * 2);
    u32(0);
    u16(static_cast<uint32_t>(clut.size()));
    u16(1);
    for (uint16_t c : clut)
        u16(c);
    u32(12 + static_cast<uint32_t>(indices.size()));
    u32(0);
    u16(static_cast<uint16_t>(w));
    u16(static_cast<uint16_t>(h));
    out.insert(out.end(), indices.begin(), indices.end());
    return out;
}

// Console colour from 5-bit channels.
uint16_t C15(int r, int g, int b)
{
    return static_cast<uint16_t>(r | (g << 5) | (b << 10));
}

std::vector<uint16_t> Clut16()
{
    std::vector<uint16_t> c(16);
    for (int i = 0; i < 16; i++)
        c[i] = C15(i * 2, 31 - i, i);
    return c;
}

uint32_t PixelAt(const TEXSURFACE *s, uint32_t x, uint32_t y)
{
    const uint8_t *p = s->pixels + static_cast<size_t>(y) * s->pitch + static_cast<size_t>(x) * s->bytesPerPixel;
    uint32_t v = 0;
    std::memcpy(&v, p, s->bytesPerPixel);
    return v;
}

uint16_t TexelColour(const uint16_t *page, int x, int y)
{
    return page[y * 512 + (x / 2) * 4 + (x & 1)];
}

uint16_t TexelMask(const uint16_t *page, int x, int y)
{
    return page[y * 512 + (x / 2) * 4 + 2 + (x & 1)];
}

} // namespace

TEST(TextureConversions, GoldenPixelsOfEveryFormat)
{
    struct Case
    {
        uint8_t r, g, b;
        uint16_t rgb565, rgb555, argb4444;
        uint32_t rgb888;
    };
    const Case cases[] = {
        {0, 0, 0, 0x0000, 0x0000, 0x000, 0x000000},
        {255, 255, 255, 0xFFFF, 0x7FFF, 0xFFF, 0xFFFFFF},
        {255, 0, 0, 0xF800, 0x7C00, 0xF00, 0xFF0000},
        {0, 255, 0, 0x07E0, 0x03E0, 0x0F0, 0x00FF00},
        {0, 0, 255, 0x001F, 0x001F, 0x00F, 0x0000FF},
        {128, 128, 128, 0x8410, 0x4210, 0x888, 0x808080},
        {7, 3, 7, 0x0000, 0x0000, 0x000, 0x070307}, // packs to black in 16 bits
        {8, 4, 8, 0x0821, 0x0401, 0x000, 0x080408}, // green's low bit only in 5:6:5
        {0x12, 0x34, 0x56, 0x11AA, 0x08CA, 0x135, 0x123456},
        {250, 6, 130, 0xF830, 0x7C10, 0xF08, 0xFA0682},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
        EXPECT_EQ(Gfx_ConvertTexel(TEX_16_RGB565, c.r, c.g, c.b), c.rgb565);
        EXPECT_EQ(Gfx_ConvertTexel(TEX_16_RGB555, c.r, c.g, c.b), c.rgb555);
        EXPECT_EQ(Gfx_ConvertTexel(TEX_16_ARGB1555, c.r, c.g, c.b), c.rgb555); // alpha bit 0
        EXPECT_EQ(Gfx_ConvertTexel(TEX_16_ARGB4444, c.r, c.g, c.b), c.argb4444);
        EXPECT_EQ(Gfx_ConvertTexel(TEX_32_RGB888, c.r, c.g, c.b), c.rgb888);
        EXPECT_EQ(Gfx_ConvertTexel(TEX_32_ARGB8888, c.r, c.g, c.b), c.rgb888); // alpha 0
        g_iPixelFormat = PIXELFORMAT_565;
        EXPECT_EQ(Gfx_PackRawColour(c.r, c.g, c.b), c.rgb565);
        g_iPixelFormat = PIXELFORMAT_555;
        EXPECT_EQ(Gfx_PackRawColour(c.r, c.g, c.b), c.rgb555);
    }
    g_iPixelFormat = PIXELFORMAT_565;
    EXPECT_EQ(Gfx_ConvertTexel(TEX_UNKNOWN, 255, 255, 255), 0u);
}

TEST(TextureConversions, FormatsAreClassifiedByTheirLayout)
{
    struct Case
    {
        TEXPIXELFORMAT format;
        uint32_t bit;
        uint32_t bytes;
    };
    const Case cases[] = {
        {kPal8, TEX_8_PAL8, 1},
        {k565, TEX_16_RGB565, 2},
        {k555, TEX_16_RGB555, 2},
        {k1555, TEX_16_ARGB1555, 2},
        {k4444, TEX_16_ARGB4444, 2},
        {k888, TEX_32_RGB888, 4},
        {k8888, TEX_32_ARGB8888, 4},
        {Pf(TEXPF_RGB, 8, 0xE0, 0x1C, 0x03, 0), TEX_UNKNOWN, 0},             // 3:3:2
        {Pf(TEXPF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0x4000), TEX_UNKNOWN, 0}, // odd alpha
        {Pf(TEXPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0), TEX_UNKNOWN, 0},
        {Pf(TEXPF_RGB, 32, 0xFF, 0xFF00, 0xFF0000, 0), TEX_UNKNOWN, 0}, // blue first
        {Pf(TEXPF_LUMINANCE, 8, 0xFF, 0, 0, 0), 0, 0},
        {Pf(TEXPF_BUMPDUDV, 16, 0xFF, 0xFF00, 0, 0), 0, 0},
        {Pf(TEXPF_BUMPLUMINANCE | TEXPF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0), 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "bits " << c.format.bitCount << " flags " << c.format.flags);
        uint32_t bytes = 99;
        EXPECT_EQ(Gfx_ClassifyPixelFormat(&c.format, &bytes), c.bit);
        EXPECT_EQ(bytes, c.bytes);
    }
}

TEST_F(Textures, FormatListKeepsTwentyFourAndPrefersPalettes)
{
    // Luminance skipped; unknown kept with 0 bytes; preference by bit, not by list order.
    Offer({Pf(TEXPF_LUMINANCE, 8, 0xFF, 0, 0, 0), k888, Pf(TEXPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0), k4444, k565});
    ASSERT_EQ(g_iTextureFormatCount, 4);
    EXPECT_EQ(g_aTextureFormats[0].format, TEX_32_RGB888);
    EXPECT_EQ(g_aTextureFormats[1].format, TEX_UNKNOWN);
    EXPECT_EQ(g_aTextureFormats[1].bytesPerPixel, 0u);
    EXPECT_EQ(Gfx_FindTextureFormat(), &g_aTextureFormats[3]); // 565 before 4444 and 888
    EXPECT_EQ(g_aTextureFormats[3].pixelFormat.redMask, 0xF800u);

    std::vector<TEXPIXELFORMAT> many(30, k888);
    many.push_back(kPal8); // beyond 24: not kept
    Offer(many);
    EXPECT_EQ(g_iTextureFormatCount, TEXTURE_MAX_FORMATS);
    EXPECT_EQ(Gfx_FindTextureFormat()->format, TEX_32_RGB888);

    Offer({});
    EXPECT_EQ(Gfx_FindTextureFormat(), nullptr);
}

TEST_F(Textures, SlotsAreHandedOutFreedAndReused)
{
    TEXTURE *t = nullptr;
    TEXTURE *const sentinel = reinterpret_cast<TEXTURE *>(0x1234);
    EXPECT_EQ(Gfx_GetTextureSlot(&t, -1), 0);
    EXPECT_STREQ(t->name, "New Texture");
    EXPECT_EQ(t->slot, 0u);
    EXPECT_EQ(t->flags | t->formatRequest | t->depth, 0u);
    EXPECT_EQ(t->pixels, nullptr);
    EXPECT_EQ(t->surface, nullptr);
    EXPECT_EQ(g_ppTextures[0], t);

    struct Case
    {
        int32_t n;
        int32_t result;
    };
    const Case cases[] = {{-1, 1}, {5, 5}, {5, -1}, {-1, 2}, {1023, 1023}, {1024, -1}, {-2, -1}, {100000, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        TEXTURE *out = sentinel;
        EXPECT_EQ(Gfx_GetTextureSlot(&out, c.n), c.result);
        if (c.result < 0)
            EXPECT_EQ(out, sentinel); // untouched on refusal
        else
            EXPECT_EQ(out->slot, static_cast<uint32_t>(c.result));
    }

    // Freeing empties the slot; the next search finds it again.
    Gfx_FreeTexture(g_ppTextures[1]);
    EXPECT_EQ(g_ppTextures[1], nullptr);
    EXPECT_EQ(Gfx_GetTextureSlot(&t, -1), 1);
    Gfx_FreeTexture(nullptr);

    // A full table refuses both ways.
    while (Gfx_GetTextureSlot(&t, -1) >= 0) {
    }
    for (int32_t i = 0; i < TEXTURE_SLOTS; i++)
        ASSERT_NE(g_ppTextures[i], nullptr);
    TEXTURE *out = sentinel;
    EXPECT_EQ(Gfx_GetTextureSlot(&out, -1), -1);
    EXPECT_EQ(Gfx_GetTextureSlot(&out, 7), -1);
    EXPECT_EQ(out, sentinel);
    Gfx_FreeTexture(g_ppTextures[700]);
    EXPECT_EQ(Gfx_GetTextureSlot(&out, -1), 700);

    // No table: nothing handed out.
    Gfx_FreeTextureTable();
    EXPECT_EQ(g_ppTextures, nullptr);
    EXPECT_EQ(Gfx_GetTextureSlot(&out, -1), -1);
    EXPECT_EQ(Gfx_GetTexelSource(6), nullptr);
}

class RawPictures : public Textures, public ::testing::WithParamInterface<int>
{
};

TEST_P(RawPictures, FullPictureBecomesATexelPageWithBlackKeyedOut)
{
    g_iPixelFormat = GetParam();
    TempDir dir;
    std::string rgb(256 * 256 * 3, '\0');
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            uint8_t *p = reinterpret_cast<uint8_t *>(&rgb[(y * 256 + x) * 3]);
            if ((x + y) % 7 == 0)
                continue; // black
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(200);
        }
    WriteTextFile(dir.File("Win6.raw"), rgb);
    // The name goes through the path mapping: backslashes and any letter case.
    std::string path = dir.Path() + "\\WIN6.RAW";
    ASSERT_EQ(Gfx_LoadTextureFile(path.c_str(), 0, 6), 0);
    TEXTURE *t = g_ppTextures[6];
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->name, path);
    const uint16_t *page = Gfx_GetTexelSource(6);
    ASSERT_EQ(page, reinterpret_cast<const uint16_t *>(t->pixels));
    int keyed = 0, black = 0;
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++) {
            const uint8_t *p = reinterpret_cast<const uint8_t *>(&rgb[(y * 256 + x) * 3]);
            uint16_t want = Gfx_PackRawColour(p[0], p[1], p[2]);
            ASSERT_EQ(TexelColour(page, x, y), want) << x << "," << y;
            ASSERT_EQ(TexelMask(page, x, y), want == 0 ? 0xFFFF : 0) << x << "," << y;
            keyed += TexelMask(page, x, y) == 0xFFFF;
            black += (x + y) % 7 == 0;
        }
    // Blue is never dark here, so exactly the black pixels are keyed out.
    EXPECT_EQ(keyed, black);
    // The last word of the 262144-byte page is the mask of pixel (255, 255).
    EXPECT_EQ(page[256 * 256 * 2 - 1], TexelMask(page, 255, 255));

    // Loaded slots are the rasteriser's CLUT sources.
    Gfx_SelectClutSource(6);
    EXPECT_EQ(g_pClutSource, page);
    // Freeing the texture forgets the source instead of leaving it dangling.
    Gfx_FreeTexture(t);
    EXPECT_EQ(g_pClutSource, nullptr);
    EXPECT_EQ(Gfx_GetTexelSource(6), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, RawPictures, ::testing::Values(PIXELFORMAT_565, PIXELFORMAT_555));

TEST_F(Textures, SmallPictureSitsInATransparentPage)
{
    TempDir dir;
    // 3 x 3 (plus 2 stray bytes, ignored): white, red, green / blue ... .
    std::string rgb;
    for (int i = 0; i < 9; i++) {
        rgb += static_cast<char>(i == 1 ? 255 : 40 * i);
        rgb += static_cast<char>(i == 2 ? 255 : 10);
        rgb += static_cast<char>(i == 3 ? 255 : 20);
    }
    rgb += "xy";
    WriteTextFile(dir.File("small.raw"), rgb);
    ASSERT_EQ(Gfx_LoadTextureFile(dir.File("small.raw").c_str(), 0, 20), 0);
    const uint16_t *page = Gfx_GetTexelSource(20);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(TexelColour(page, 1, 0), 0xF800 | Gfx_PackRawColour(0, 10, 20));
    EXPECT_EQ(TexelColour(page, 0, 1), Gfx_PackRawColour(120, 10, 255));
    EXPECT_EQ(TexelMask(page, 2, 2), 0);
    // Beyond the picture: keyed out, on its own row and on rows below.
    for (auto [x, y] : {std::pair{3, 0}, {255, 0}, {0, 3}, {255, 255}}) {
        EXPECT_EQ(TexelColour(page, x, y), 0);
        EXPECT_EQ(TexelMask(page, x, y), 0xFFFF);
    }
}

TEST_F(Textures, BrokenPictureFilesAreRefusedAndTheSlotStaysFree)
{
    TempDir dir;
    struct Case
    {
        const char *what;
        std::string path;
    };
    WriteTextFile(dir.File("empty.raw"), "");
    WriteTextFile(dir.File("tiny.raw"), "ab");
    WriteTextFile(dir.File("big.raw"), std::string(257 * 257 * 3, '\x40'));
    std::filesystem::create_directory(dir.File("folder.raw"));
    const Case cases[] = {
        {"missing", dir.File("none.raw")},
        {"empty", dir.File("empty.raw")},
        {"shorter than a pixel", dir.File("tiny.raw")},
        {"side over 256", dir.File("big.raw")},
        {"a folder", dir.File("folder.raw")},
        {"name too long", dir.Path() + "/" + std::string(300, 'a')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Gfx_LoadTextureFile(c.path.c_str(), 0, 8), -1);
        EXPECT_EQ(g_ppTextures[8], nullptr);
    }
    EXPECT_EQ(Gfx_LoadTextureFile(nullptr, 0, 8), -1);
    // A taken slot is not loaded again; the holder keeps its picture.
    WriteTextFile(dir.File("ok.raw"), std::string(3 * 4, '\x80'));
    ASSERT_EQ(Gfx_LoadTextureFile(dir.File("ok.raw").c_str(), 0, 8), 0);
    const uint16_t *page = Gfx_GetTexelSource(8);
    EXPECT_EQ(Gfx_LoadTextureFile(dir.File("ok.raw").c_str(), 0, 8), -1);
    EXPECT_EQ(Gfx_GetTexelSource(8), page);
    EXPECT_EQ(Gfx_LoadTextureFile(dir.File("ok.raw").c_str(), 0, 1024), -1);
}

TEST_F(Textures, SquarePowerOfTwoDeviceRoundsTheSurfaceUp)
{
    struct Case
    {
        uint32_t caps;
        int16_t words, lines;
        int depth;
        uint32_t w, h;
    };
    const Case cases[] = {
        {TEXCAPS_POW2 | TEXCAPS_SQUAREONLY, 64, 64, 2, 128, 128}, // 128 texels x 64 lines
        {TEXCAPS_POW2, 64, 64, 2, 128, 64},
        {TEXCAPS_POW2, 12, 20, 1, 64, 32}, // 48 texels
        {TEXCAPS_SQUAREONLY, 12, 20, 1, 48, 48},
        {TEXCAPS_SQUAREONLY, 1, 5, 1, 5, 5}, // odd width at 4 bits: the last texel has half a byte
        {0, 3, 5, 2, 6, 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.caps << " " << c.words << "x" << c.lines);
        fake.caps = c.caps;
        fake.calls.clear();
        const uint32_t texels = c.words * (c.depth == 1 ? 4u : 2u);
        std::vector<uint8_t> indices(texels * c.lines / (c.depth == 1 ? 2 : 1), 0x11);
        std::vector<uint16_t> clut(c.depth == 1 ? 16 : 256, C15(31, 31, 31));
        clut[0] = 0;
        const std::vector<uint8_t> image = ConsoleImage(c.depth == 1 ? 0 : 1, clut, c.words, c.lines, indices);
        TEXTURE *t = nullptr;
        ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), -1), 0);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(fake.calls.at(0), "create " + std::to_string(c.w) + "x" + std::to_string(c.h));
        EXPECT_EQ(t->width, c.w);
        EXPECT_EQ(t->height, c.h);
        // The index copy has the surface's rows; what lies beyond the image is index 0.
        const uint32_t rowBytes = c.depth == 1 ? (c.w + 1) / 2 : c.w;
        EXPECT_EQ(t->indexBytes, rowBytes * c.h);
        EXPECT_EQ(t->pixels[0], 0x11);
        EXPECT_EQ(t->pixels[t->indexBytes - 1], c.w * c.h == texels * c.lines ? 0x11 : 0);
        const uint32_t index = c.depth == 1 ? 1u : 0x11u; // PAL8: the index itself
        EXPECT_EQ(PixelAt(t->surface, 0, 0), index);
        EXPECT_EQ(PixelAt(t->surface, c.w - 1, c.h - 1), c.w * c.h == texels * c.lines ? index : 0u);
        Gfx_FreeTexture(t);
    }
}

TEST_F(Textures, FourBitImageIsUploadedLowNibbleFirstInEveryFormat)
{
    // 2 x 2 texels: indices 1, 2 / 3, 4 (one 16-bit word a line at 4 bits: 4 texels, 2 used).
    const std::vector<uint8_t> indices = {0x21, 0x00, 0x43, 0x00};
    std::vector<uint16_t> clut(16, 0);
    clut[1] = C15(31, 0, 0);
    clut[2] = C15(0, 31, 0);
    clut[3] = C15(0, 0, 31);
    clut[4] = C15(16, 8, 4);
    const uint8_t rgb[5][3] = {{0, 0, 0}, {248, 0, 0}, {0, 248, 0}, {0, 0, 248}, {128, 64, 32}};
    struct Case
    {
        TEXPIXELFORMAT pf;
        uint32_t format;
        uint32_t bytes;
    };
    const Case cases[] = {{kPal8, TEX_8_PAL8, 1},         {k565, TEX_16_RGB565, 2},   {k555, TEX_16_RGB555, 2},
                          {k1555, TEX_16_ARGB1555, 2},    {k4444, TEX_16_ARGB4444, 2}, {k888, TEX_32_RGB888, 4},
                          {k8888, TEX_32_ARGB8888, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        Offer({c.pf});
        const std::vector<uint8_t> image = ConsoleImage(0, clut, 1, 2, indices);
        TEXTURE *t = nullptr;
        ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), -1), 0);
        const TEXSURFACE *s = t->d3dTexture;
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->format, c.format);
        EXPECT_EQ(s->bytesPerPixel, c.bytes);
        EXPECT_EQ(s->hasColourKey, 1);
        EXPECT_EQ(s->colourKeyLow | s->colourKeyHigh, 0u);
        EXPECT_EQ(t->depth, 1u);
        EXPECT_EQ(t->paletteEntries, 16u);
        const int want[2][2] = {{1, 2}, {3, 4}};
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 2; x++) {
                const uint8_t *p = rgb[want[y][x]];
                uint32_t expect = c.format == TEX_8_PAL8 ? want[y][x] : Gfx_ConvertTexel(c.format, p[0], p[1], p[2]);
                EXPECT_EQ(PixelAt(s, x, y), expect) << x << "," << y;
            }
        if (c.format == TEX_8_PAL8) {
            ASSERT_NE(s->palette, nullptr);
            EXPECT_EQ(s->palette->entries[4].red, 128);
            EXPECT_EQ(s->palette->entries[4].green, 64);
            EXPECT_EQ(s->palette->entries[4].blue, 32);
            EXPECT_EQ(s->palette->rgb[4], 0x804020u); // the form the device reads
        } else {
            EXPECT_EQ(s->palette, nullptr);
        }
        Gfx_FreeTexture(t);
    }
}

TEST_F(Textures, LargerSurfaceThanAskedIsFilledByStretching)
{
    Offer({k565});
    fake.growW = 2;
    fake.growH = 3;
    std::vector<uint16_t> clut(256, 0);
    for (int i = 0; i < 256; i++)
        clut[i] = C15(i & 31, 0, 0);
    // 4 x 2 texels at 8 bits: 0..3 / 4..7.
    const std::vector<uint8_t> image = ConsoleImage(1, clut, 2, 2, {0, 1, 2, 3, 4, 5, 6, 7});
    TEXTURE *t = nullptr;
    ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), 30), 0);
    const TEXSURFACE *s = t->surface;
    ASSERT_EQ(s->width, 8u);
    ASSERT_EQ(s->height, 6u);
    for (uint32_t y = 0; y < 6; y++)
        for (uint32_t x = 0; x < 8; x++) {
            int index = (y / 3) * 4 + x / 2;
            EXPECT_EQ(PixelAt(s, x, y), Gfx_ConvertTexel(TEX_16_RGB565, static_cast<uint8_t>(index * 8), 0, 0))
                << x << "," << y;
        }
}

TEST_F(Textures, InvertingTwiceRestoresThePaletteExactly)
{
    for (const TEXPIXELFORMAT &pf : {kPal8, k565}) {
        Offer({pf});
        std::vector<uint16_t> clut = Clut16();
        clut[5] = 0x8000 | C15(3, 17, 30); // semi-transparency bit kept
        const std::vector<uint8_t> image = ConsoleImage(0, clut, 1, 1, {0x50, 0x00});
        TEXTURE *t = nullptr;
        ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), -1), 0);
        uint16_t before16[256];
        TEXPALENTRY before32[256];
        std::memcpy(before16, t->palette16, sizeof before16);
        std::memcpy(before32, t->palette32, sizeof before32);
        const uint32_t pixelBefore = PixelAt(t->surface, 1, 0);

        ASSERT_EQ(Gfx_SetTextureInverted(t, 1), 0);
        EXPECT_EQ(t->flags & TEXTURE_INVERTED, TEXTURE_INVERTED);
        EXPECT_EQ(t->palette16[5], 0x8000 | C15(28, 14, 1));
        EXPECT_EQ(t->palette32[5].red, 28 * 8);
        EXPECT_EQ(t->palette32[5].green, 14 * 8);
        EXPECT_EQ(t->palette32[5].blue, 1 * 8);
        if (pf.bitCount == 8)
            EXPECT_EQ(t->surface->palette->entries[5].red, 28 * 8); // palette object updated
        else
            EXPECT_EQ(PixelAt(t->surface, 1, 0), Gfx_ConvertTexel(TEX_16_RGB565, 28 * 8, 14 * 8, 8)); // re-uploaded
        // Asking again for what is already so changes nothing.
        ASSERT_EQ(Gfx_SetTextureInverted(t, 1), 0);
        EXPECT_EQ(t->palette16[5], 0x8000 | C15(28, 14, 1));

        ASSERT_EQ(Gfx_SetTextureInverted(t, 0), 0);
        EXPECT_EQ(t->flags & TEXTURE_INVERTED, 0u);
        EXPECT_EQ(std::memcmp(before16, t->palette16, sizeof before16), 0);
        EXPECT_EQ(std::memcmp(before32, t->palette32, sizeof before32), 0);
        EXPECT_EQ(PixelAt(t->surface, 1, 0), pixelBefore);
        Gfx_FreeTexture(t);
    }
}

TEST_F(Textures, BrokenConsoleImagesAreRefused)
{
    const std::vector<uint8_t> good = ConsoleImage(0, Clut16(), 1, 2, {1, 2, 3, 4});
    auto patched = [&](size_t at, uint32_t value, int bytes) {
        std::vector<uint8_t> v = good;
        for (int i = 0; i < bytes; i++)
            v[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return v;
    };
    const size_t pixelBlock = 8 + 12 + 32;
    struct Case
    {
        const char *what;
        std::vector<uint8_t> bytes;
        int32_t result;
    };
    const Case cases[] = {
        {"good", good, 0},
        {"wrong magic", patched(0, 0x11, 4), -1},
        {"too short for a header", std::vector<uint8_t>(good.begin(), good.begin() + 10), -1},
        {"CLUT longer than the file", patched(8, 0xFFFFFF00u, 4), -1},
        {"CLUT shorter than its colours", patched(8, 12 + 30, 4), -1},
        {"no pixel block", std::vector<uint8_t>(good.begin(), good.begin() + pixelBlock + 6), -1},
        {"zero width", patched(pixelBlock + 8, 0, 2), -1},
        {"negative height", patched(pixelBlock + 10, 0xFFFF, 2), -1},
        {"more lines than bytes", patched(pixelBlock + 10, 3, 2), -1},
        {"huge width", patched(pixelBlock + 8, 0x7FFF, 2), -1},
        {"16-bit image: nothing made", patched(4, 2, 4), 0},
        {"24-bit image: nothing made", patched(4, 3, 4), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TEXTURE *holder = nullptr;
        EXPECT_EQ(Gfx_CreateTextureFromImage(&holder, c.bytes.data(), c.bytes.size(), 40), c.result);
        if (std::string(c.what) == "good") {
            ASSERT_NE(holder, nullptr);
            Gfx_FreeTexture(holder);
        } else {
            EXPECT_EQ(holder, nullptr);
        }
        EXPECT_EQ(g_ppTextures[40], nullptr);
    }
    TEXTURE *holder = nullptr;
    EXPECT_EQ(Gfx_CreateTextureFromImage(&holder, nullptr, 0, 40), -1);
}

TEST_F(Textures, SurfaceThatCannotBeMadeLeavesNoTexture)
{
    const std::vector<uint8_t> image = ConsoleImage(0, Clut16(), 1, 1, {1, 2});
    fake.failCreate = static_cast<int32_t>(0x8876017C); // out of video memory
    TEXTURE *holder = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Gfx_CreateTextureFromImage(&holder, image.data(), image.size(), 12), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Couldn't Create Texture Surface #12 \n"), std::string::npos) << err;
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(g_ppTextures[12], nullptr);

    // A device that offers none of the seven formats: no surface either.
    fake.failCreate = 0;
    Offer({Pf(TEXPF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0)});
    testing::internal::CaptureStderr();
    EXPECT_EQ(Gfx_CreateTextureFromImage(&holder, image.data(), image.size(), 12), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_ppTextures[12], nullptr);
}

TEST_F(Textures, BindingSelectsTheStageAndTheTexture)
{
    const std::vector<uint8_t> image = ConsoleImage(0, Clut16(), 1, 1, {1, 2});
    TEXTURE *t = nullptr;
    ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), 9), 0);
    TEXTURE *plain = nullptr; // a slot without a 3-D texture
    ASSERT_EQ(Gfx_GetTextureSlot(&plain, 11), 11);
    const uint16_t colour1 = t->palette16[1];

    struct Case
    {
        const char *what;
        TEXTURE *texture;
        uint32_t objectFlags;
        int32_t flag;
        int32_t grabMode;
        std::vector<std::string> calls;
        bool inverted;
    };
    const std::string diffuse = "stage 2 0 -", modulate = "stage 4 2 0";
    const Case cases[] = {
        {"no texture", nullptr, 0, 0, 0, {diffuse}, false},
        {"texture", t, 0, 0, 0, {modulate, "texture"}, false},
        {"texture inverted by the object", t, 4, 0, 0, {modulate, "texture"}, true},
        {"other flag bits do not invert", t, 0xFFFFFFFBu, 1, 0, {modulate, "texture"}, false},
        {"grab mode without the flag", t, 0, 0, 1, {modulate, "texture"}, false},
        {"grab mode with the flag", nullptr, 0, 1, 1, {"grab"}, false},
        {"slot without a 3-D texture", plain, 0, 0, 0, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fake.calls.clear();
        g_bTextureGrabMode = c.grabMode;
        EXPECT_EQ(Gfx_BindTexture(c.texture, c.objectFlags, c.flag), 0);
        EXPECT_EQ(fake.calls, c.calls);
        if (c.texture == t) {
            EXPECT_EQ(t->palette16[1] != colour1, c.inverted);
        }
    }
    g_bTextureGrabMode = 1;
    fake.calls.clear();
    EXPECT_EQ(Gfx_BindTextureRecord(t, 0, 1), 0); // no grab test
    EXPECT_EQ(fake.calls, (std::vector<std::string>{modulate, "texture"}));
    EXPECT_NE(t->palette16[1], colour1);
    g_bTextureGrabMode = 0;

    fake.failSetTexture = static_cast<int32_t>(0x88760082);
    EXPECT_EQ(Gfx_BindTextureRecord(t, 0, 0), static_cast<int32_t>(0x88760082));
}

TEST_F(Textures, CurrentTextureIsBoundOnlyWhenItChanges)
{
    const std::vector<uint8_t> image = ConsoleImage(0, Clut16(), 1, 1, {1, 2});
    TEXTURE *t = nullptr;
    ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), 3), 0);
    EXPECT_EQ(g_iCurrentTexture, -2);
    struct Case
    {
        int32_t n;
        std::vector<std::string> calls;
        int32_t current;
    };
    const Case cases[] = {
        {8, {"texture"}, 8},       // slot 3
        {8, {}, 8},                // the same again: nothing
        {-1, {"texture none"}, -1},
        {-1, {}, -1},
        {20, {}, 20},              // slot 15 empty: binding stays, number kept
        {3, {}, 3},                // slot -2: out of range, nothing bound
        {1029, {}, 1029},          // slot 1024: out of range
        {8, {"texture"}, 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        fake.calls.clear();
        EXPECT_EQ(Gfx_SetCurrentTexture(c.n), 0);
        EXPECT_EQ(fake.calls, c.calls);
        EXPECT_EQ(g_iCurrentTexture, c.current);
    }
    // A failing bind is returned and not taken as the current one, so the next call tries again.
    fake.failSetTexture = static_cast<int32_t>(0x88760082);
    EXPECT_EQ(Gfx_SetCurrentTexture(-1), static_cast<int32_t>(0x88760082));
    EXPECT_EQ(g_iCurrentTexture, 8);
}

TEST_F(Textures, NibbleImageDrawsOpaquePairsIntoSlotTen)
{
    uint16_t colours[16] = {};
    colours[1] = C15(31, 0, 0);
    colours[2] = C15(1, 2, 3);
    colours[15] = C15(31, 31, 31);
    const uint8_t bytes[] = {0x21, 0x00, 0xF1, 0x12, /* row 2 */ 0x11, 0x22, 0x00, 0xFF};
    const TEXRECT rect = {99, 5, 2, 2}; // x is not used

    EXPECT_EQ(Gfx_BlitNibbleImage(bytes, &rect, colours), -1); // no slot 10 yet

    TempDir dir;
    WriteTextFile(dir.File("p.raw"), std::string(256 * 256 * 3, '\x80'));
    ASSERT_EQ(Gfx_LoadTextureFile(dir.File("p.raw").c_str(), 0, 10), 0);
    uint16_t *page = const_cast<uint16_t *>(Gfx_GetTexelSource(10));
    const uint16_t grey = TexelColour(page, 0, 0);

    for (int layout : {PIXELFORMAT_565, PIXELFORMAT_555}) {
        SCOPED_TRACE(layout);
        g_iPixelFormat = layout;
        const uint16_t red = layout == PIXELFORMAT_565 ? 0xF800 : 0x7C00;
        const uint16_t c2 = layout == PIXELFORMAT_565 ? (1 << 11) | (2 << 6) | 3 : (1 << 10) | (2 << 5) | 3;
        const uint16_t white = layout == PIXELFORMAT_565 ? 0xFFDF : 0x7FFF;
        ASSERT_EQ(Gfx_BlitNibbleImage(bytes, &rect, colours), 0);
        const uint16_t row5[8] = {red, c2, 0, 0, red, white, c2, red};
        for (int x = 0; x < 8; x++) {
            EXPECT_EQ(TexelColour(page, x, 5), row5[x]) << x;
            EXPECT_EQ(TexelMask(page, x, 5), 0) << x;
        }
        EXPECT_EQ(TexelColour(page, 0, 6), red);
        EXPECT_EQ(TexelColour(page, 3, 6), c2);
        EXPECT_EQ(TexelColour(page, 4, 6), 0);
        EXPECT_EQ(TexelColour(page, 7, 6), white);
        // Outside the rectangle the page is as loaded.
        EXPECT_EQ(TexelColour(page, 8, 5), grey);
        EXPECT_EQ(TexelColour(page, 0, 4), grey);
        EXPECT_EQ(TexelColour(page, 0, 7), grey);
    }

    // Rows past the page and pairs past its width are dropped, not written beyond it.
    std::vector<uint8_t> wide(200 * 2 * 4, 0x11);
    const TEXRECT past = {0, 254, 200, 4};
    EXPECT_EQ(Gfx_BlitNibbleImage(wide.data(), &past, colours), 0);
    EXPECT_EQ(TexelColour(page, 255, 255), TexelColour(page, 0, 255));
    const TEXRECT above = {0, -3, 1, 4};
    EXPECT_EQ(Gfx_BlitNibbleImage(wide.data(), &above, colours), 0);
    EXPECT_EQ(TexelColour(page, 0, 0), TexelColour(page, 0, 255));
}

TEST_F(Textures, TableFreesEverythingAndStartsEmptyAgain)
{
    TempDir dir;
    WriteTextFile(dir.File("p.raw"), std::string(16 * 16 * 3, '\x80'));
    ASSERT_EQ(Gfx_LoadTextureFile(dir.File("p.raw").c_str(), 0, 6), 0);
    const std::vector<uint8_t> image = ConsoleImage(1, std::vector<uint16_t>(256, 0x1234), 2, 2, std::vector<uint8_t>(8, 7));
    TEXTURE *t = nullptr;
    ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), 500), 0);
    EXPECT_EQ(t->paletteEntries, 256u);
    EXPECT_EQ(t->depth, 2u);
    g_pClutSource = Gfx_GetTexelSource(6);
    Gfx_FreeTextureTable();
    EXPECT_EQ(g_pClutSource, nullptr);
    ASSERT_EQ(Gfx_InitTextureTable(), 0);
    for (int32_t i = 0; i < TEXTURE_SLOTS; i++)
        ASSERT_EQ(g_ppTextures[i], nullptr);
    // Made again over a live table: the old records go.
    ASSERT_EQ(Gfx_LoadTextureFile(dir.File("p.raw").c_str(), 0, 6), 0);
    ASSERT_EQ(Gfx_InitTextureTable(), 0);
    EXPECT_EQ(Gfx_GetTexelSource(6), nullptr);
}
