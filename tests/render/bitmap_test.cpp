// BMP files: the reader and its refusals, the 128 x 64 user picture, painting onto the back buffer
// and the loading picture.
#include "support/bmpfixture.h"
#include "support/tempdir.h"

#include "core/file.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "render/bitmap.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Bytes(const std::vector<uint8_t> &b)
{
    return std::string(b.begin(), b.end());
}

uint32_t Value(int32_t x, int32_t row)
{
    return static_cast<uint32_t>((x * 7 + row * 13) & 0xFF);
}

BMPFIXTURE Indexed(int32_t w, int32_t h)
{
    BMPFIXTURE f;
    f.width = w;
    f.height = h;
    f.tableEntries = 256;
    f.colour = [](int32_t i) { return static_cast<uint32_t>((255 - i) << 16 | (i / 2) << 8 | i); };
    f.pixel = Value;
    return f;
}

struct PictureOut
{
    uint8_t picture[USERIMAGE_BYTES];
    uint8_t palette[USERPALETTE_BYTES];
    PictureOut()
    {
        std::memset(picture, 0xA5, sizeof picture);
        std::memset(palette, 0xA5, sizeof palette);
    }
    bool Untouched() const
    {
        for (uint8_t b : picture)
            if (b != 0xA5)
                return false;
        for (uint8_t b : palette)
            if (b != 0xA5)
                return false;
        return true;
    }
};

class BitmapFileTest : public ::testing::Test
{
protected:
    std::string Write(const std::vector<uint8_t> &bytes, const char *name = "pic.bmp")
    {
        const std::string path = dir_.File(name);
        WriteTextFile(path, Bytes(bytes));
        return path;
    }
    TempDir dir_;
};

} // namespace

// Which stored pixel each picture byte takes: columns and rows are sampled at width / 128 and
// height / 64 steps, starting from the first stored row, whatever the file's orientation.
TEST_F(BitmapFileTest, EightBitPicturesAreSampledTo128By64InFileRowOrder)
{
    struct Case
    {
        int32_t w, h;
        int32_t (*col)(int32_t);
        int32_t (*row)(int32_t);
    } cases[] = {
        {128, 64, [](int32_t c) { return c; }, [](int32_t r) { return r; }},
        {128, -64, [](int32_t c) { return c; }, [](int32_t r) { return r; }}, // top-down: still file order
        {256, 128, [](int32_t c) { return 2 * c; }, [](int32_t r) { return 2 * r; }},
        {64, 32, [](int32_t c) { return c / 2; }, [](int32_t r) { return r / 2; }},
        {130, 64, [](int32_t c) { return c * 130 / 128; }, [](int32_t r) { return r; }}, // rows of 132 bytes
        {131, 3, [](int32_t c) { return c * 131 / 128; }, [](int32_t r) { return r * 3 / 64; }},
        {1, 1, [](int32_t) { return 0; }, [](int32_t) { return 0; }},
        {640, 480, [](int32_t c) { return c * 5; }, [](int32_t r) { return r * 15 / 2; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        PictureOut out;
        ASSERT_EQ(Gfx_LoadBmp(Write(MakeBmp(Indexed(c.w, c.h))).c_str(), out.picture, out.palette), 0);
        int wrong = 0;
        for (int32_t r = 0; r < USERIMAGE_HEIGHT; r++)
            for (int32_t col = 0; col < USERIMAGE_WIDTH; col++)
                wrong += out.picture[r * USERIMAGE_WIDTH + col] != Value(c.col(col), c.row(r));
        EXPECT_EQ(wrong, 0);
        // The palette is the file's table turned into red, green, blue.
        EXPECT_EQ(out.palette[0], 255);
        EXPECT_EQ(out.palette[3 * 200 + 0], 55);
        EXPECT_EQ(out.palette[3 * 200 + 1], 100);
        EXPECT_EQ(out.palette[3 * 200 + 2], 200);
    }
}

// Entries the file does not define keep the grey ramp (i, i, i).
TEST_F(BitmapFileTest, PaletteEntriesPastTheFilesColoursKeepTheGreyRamp)
{
    struct Case
    {
        const char *what;
        uint32_t clrUsed;
        int32_t tableEntries;
        uint32_t infoSize;
        int32_t fromFile;
    } cases[] = {
        {"16 colours used", 16, 16, 40, 16},
        {"no count: 2^8", 0, 256, 40, 256},
        {"count past the table", 1000, 20, 40, 20},
        {"count past 256", 300, 256, 40, 256},
        {"longer info header", 4, 4, 124, 4},
        {"no table", 0, 0, 40, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BMPFIXTURE f = Indexed(128, 64);
        f.clrUsed = c.clrUsed;
        f.tableEntries = c.tableEntries;
        f.infoSize = c.infoSize;
        f.colour = [](int32_t i) { return 0x102000u | static_cast<uint32_t>(i); };
        PictureOut out;
        ASSERT_EQ(Gfx_LoadBmp(Write(MakeBmp(f)).c_str(), out.picture, out.palette), 0);
        for (int32_t i = 0; i < 256; i++) {
            const bool file = i < c.fromFile;
            ASSERT_EQ(out.palette[3 * i + 0], file ? 0x10 : i) << i;
            ASSERT_EQ(out.palette[3 * i + 1], file ? 0x20 : i) << i;
            ASSERT_EQ(out.palette[3 * i + 2], i) << i;
        }
    }
}

// Only 8-bit bitmaps make pictures; everything else is refused and nothing is written.
TEST_F(BitmapFileTest, PicturesRefuseOtherDepthsAndUnreadableFiles)
{
    for (uint16_t bits : {1, 4, 16, 24, 32}) {
        BMPFIXTURE f = Indexed(128, 64);
        f.bitCount = bits;
        f.tableEntries = bits <= 8 ? (1 << bits) : 0;
        PictureOut out;
        EXPECT_EQ(Gfx_LoadBmp(Write(MakeBmp(f)).c_str(), out.picture, out.palette), -1) << bits;
        EXPECT_TRUE(out.Untouched()) << bits;
    }
    PictureOut out;
    EXPECT_EQ(Gfx_LoadBmp(dir_.File("missing.bmp").c_str(), out.picture, out.palette), -1);
    EXPECT_NE(std::string(g_szErrorText).find("missing.bmp"), std::string::npos);
    EXPECT_EQ(Gfx_LoadBmp(dir_.Path().c_str(), out.picture, out.palette), -1); // a folder
    EXPECT_TRUE(out.Untouched());
}

// Broken files are refused with a reason and never read outside what they hold.
TEST(BitmapParse, BrokenFilesAreRefused)
{
    const std::vector<uint8_t> good = MakeBmp(Indexed(130, 7));
    BMPIMAGE bmp;
    ASSERT_EQ(Gfx_ParseBmp(good.data(), good.size(), &bmp), 0);
    EXPECT_EQ(bmp.stride, 132u);

    struct Case
    {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> damage;
    } cases[] = {
        {"empty", [](std::vector<uint8_t> &b) { b.clear(); }},
        {"headers cut", [](std::vector<uint8_t> &b) { b.resize(53); }},
        {"not BM", [](std::vector<uint8_t> &b) { b[1] = 'A'; }},
        {"old 12-byte header", [](std::vector<uint8_t> &b) { BmpPut32(b, 14, 12); }},
        {"header past the file", [](std::vector<uint8_t> &b) { BmpPut32(b, 14, 0x7FFFFFFF); }},
        {"width 0", [](std::vector<uint8_t> &b) { BmpPut32(b, 18, 0); }},
        {"negative width", [](std::vector<uint8_t> &b) { BmpPut32(b, 18, static_cast<uint32_t>(-130)); }},
        {"huge width", [](std::vector<uint8_t> &b) { BmpPut32(b, 18, 0x40000000); }},
        {"height 0", [](std::vector<uint8_t> &b) { BmpPut32(b, 22, 0); }},
        {"most negative height", [](std::vector<uint8_t> &b) { BmpPut32(b, 22, 0x80000000u); }},
        {"7 bits", [](std::vector<uint8_t> &b) { BmpPut16(b, 28, 7); }},
        {"0 bits", [](std::vector<uint8_t> &b) { BmpPut16(b, 28, 0); }},
        {"run-length 8", [](std::vector<uint8_t> &b) { BmpPut32(b, 30, 1); }},
        {"bit fields", [](std::vector<uint8_t> &b) { BmpPut32(b, 30, 3); }},
        {"pixels past the end", [](std::vector<uint8_t> &b) { BmpPut32(b, 10, static_cast<uint32_t>(b.size()) + 4); }},
        {"pixels inside the header", [](std::vector<uint8_t> &b) { BmpPut32(b, 10, 20); }},
        {"last row cut", [](std::vector<uint8_t> &b) { b.pop_back(); }},
        {"taller than the file", [](std::vector<uint8_t> &b) { BmpPut32(b, 22, 8); }},
        {"size wraps 32 bits", [](std::vector<uint8_t> &b) { BmpPut32(b, 18, 16384); BmpPut32(b, 22, 16384); BmpPut16(b, 28, 32); }},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> b = good;
        c.damage(b);
        g_szErrorText[0] = 0;
        EXPECT_EQ(Gfx_ParseBmp(b.data(), b.size(), &bmp), -1) << c.what;
        EXPECT_NE(g_szErrorText[0], 0) << c.what;
    }
}

namespace {

constexpr PLATDISPLAYMODE kMode565 = {16, 8, 16, 0xF800, 0x07E0, 0x001F};
constexpr PLATDISPLAYMODE kMode555 = {16, 8, 16, 0x7C00, 0x03E0, 0x001F};
constexpr uint16_t kUntouched = 0x1234;

class BitmapPaintTest : public BitmapFileTest
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_DisplayHeadlessReset();
    }
    void TearDown() override
    {
        Gfx_ReleaseDirectDraw();
        Plat_DisplayHeadlessReset();
        g_iPixelFormat = PIXELFORMAT_565;
        g_szDataDir[0] = 0;
    }
    void Open(const PLATDISPLAYMODE &mode)
    {
        PLATDISPLAYDEVICE d;
        d.driver = "mem";
        d.description = "test";
        d.modes = {mode};
        Plat_DisplayHeadlessSetDevices({d});
        ASSERT_EQ(Gfx_EnumerateDisplayDevices(nullptr), DD_OK);
        ASSERT_EQ(Gfx_CreateDirectDraw(0), DD_OK);
        ASSERT_EQ(Gfx_SetDisplayMode(0), DD_OK);
        for (int32_t y = 0; y < 8; y++)
            for (int32_t x = 0; x < 16; x++)
                Back(x, y) = kUntouched;
    }
    uint16_t &Back(int32_t x, int32_t y)
    {
        int32_t pitch = 0;
        uint8_t *b = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, nullptr, nullptr));
        return reinterpret_cast<uint16_t *>(b + static_cast<size_t>(y) * pitch)[x];
    }
};

// A 5 x 3 picture: (x, y) from the top has red 40x, green 80y and blue 0xF8.
uint32_t Rgb(int32_t x, int32_t y)
{
    return static_cast<uint32_t>((40 * x) << 16 | (80 * y) << 8 | 0xF8);
}

uint16_t Pack565(uint32_t rgb)
{
    const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

// A colour after a trip through 5:5:5, channels widened by repeating their top bits.
uint32_t Through555(uint32_t rgb)
{
    uint32_t out = 0;
    for (int shift : {16, 8, 0}) {
        const uint32_t c = (rgb >> shift & 0xFF) >> 3;
        out |= ((c << 3) | (c >> 2)) << shift;
    }
    return out;
}

uint16_t Pack555(uint32_t rgb)
{
    const uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}

} // namespace

// Every depth paints the same picture upright at the top-left, whatever the row order, and leaves
// the rest of the back buffer as it was.
TEST_F(BitmapPaintTest, BitmapsOfEveryDepthArePaintedUprightAtTheTopLeft)
{
    struct Case
    {
        const char *what;
        uint16_t bits;
        bool topDown;
        bool is555;
    } cases[] = {
        {"24-bit bottom-up", 24, false, false}, {"24-bit top-down", 24, true, false},
        {"32-bit", 32, false, false},           {"8-bit", 8, false, false},
        {"8-bit top-down", 8, true, false},     {"4-bit", 4, false, false},
        {"16-bit 5:5:5", 16, false, false},     {"24-bit on 5:5:5", 24, false, true},
    };
    const int32_t w = 5, h = 3;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Open(c.is555 ? kMode555 : kMode565);
        BMPFIXTURE f;
        f.width = w;
        f.height = c.topDown ? -h : h;
        f.bitCount = c.bits;
        auto top = [&](int32_t row) { return c.topDown ? row : h - 1 - row; };
        if (c.bits <= 8) {
            // Index = position in the picture; the table holds the colours.
            f.tableEntries = 1 << (c.bits < 8 ? c.bits : 4);
            f.colour = [&](int32_t i) { return Rgb(i % w, i / w); };
            f.pixel = [&](int32_t x, int32_t row) { return static_cast<uint32_t>(top(row) * w + x); };
        } else if (c.bits == 16) {
            f.pixel = [&](int32_t x, int32_t row) { return static_cast<uint32_t>(Pack555(Rgb(x, top(row)))); };
        } else {
            f.pixel = [&](int32_t x, int32_t row) { return Rgb(x, top(row)); };
        }
        ASSERT_EQ(Gfx_BlitBitmapFile(Write(MakeBmp(f)).c_str()), 0);
        for (int32_t y = 0; y < 8; y++)
            for (int32_t x = 0; x < 16; x++) {
                uint16_t want = kUntouched;
                if (x < w && y < h)
                    want = c.is555 ? Pack555(Rgb(x, y)) : Pack565(c.bits == 16 ? Through555(Rgb(x, y)) : Rgb(x, y));
                ASSERT_EQ(Back(x, y), want) << x << "," << y;
            }
        Gfx_ReleaseDirectDraw();
    }
}

// A two-colour bitmap and one larger than the back buffer: cut at the edges.
TEST_F(BitmapPaintTest, LargeBitmapsAreCutAtTheBackBuffersEdges)
{
    Open(kMode565);
    BMPFIXTURE f;
    f.width = 21;
    f.height = 11;
    f.bitCount = 1;
    f.tableEntries = 2;
    f.colour = [](int32_t i) { return i ? 0xFFFFFFu : 0u; };
    f.pixel = [](int32_t x, int32_t row) { return static_cast<uint32_t>((x + (10 - row)) & 1); };
    ASSERT_EQ(Gfx_BlitBitmapFile(Write(MakeBmp(f)).c_str()), 0);
    for (int32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 16; x++)
            ASSERT_EQ(Back(x, y), ((x + y) & 1) ? 0xFFFF : 0x0000) << x << "," << y;
}

TEST_F(BitmapPaintTest, UnreadableFilesAndAClosedDisplayDrawNothing)
{
    Open(kMode565);
    EXPECT_EQ(Gfx_BlitBitmapFile(dir_.File("missing.bmp").c_str()), -1);
    std::vector<uint8_t> broken = MakeBmp(Indexed(4, 4));
    broken.resize(broken.size() - 3);
    EXPECT_EQ(Gfx_BlitBitmapFile(Write(broken).c_str()), -1);
    Plat_DisplayHeadlessSetBusy(true);
    EXPECT_EQ(Gfx_BlitBitmapFile(Write(MakeBmp(Indexed(4, 4)), "ok.bmp").c_str()), DDERR_WASSTILLDRAWING);
    Plat_DisplayHeadlessSetBusy(false);
    for (int32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 16; x++)
            ASSERT_EQ(Back(x, y), kUntouched);
    Gfx_ReleaseDirectDraw();
    EXPECT_EQ(Gfx_BlitBitmapFile(dir_.File("ok.bmp").c_str()), DDERR_NOTINITIALIZED);
}

// The loading picture of the data folder is painted, presented and held for five seconds of the
// clock; without one the pause still happens and start-up goes on.
TEST_F(BitmapPaintTest, LoadingScreenPresentsThePictureAndHoldsItFiveSeconds)
{
    const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    BMPFIXTURE f;
    f.width = 4;
    f.height = 2;
    f.bitCount = 24;
    f.pixel = [&](int32_t x, int32_t row) { return row == 1 ? colours[x] : 0u; }; // top row stored last
    WriteTextFile(dir_.File("loading_tnv.bmp"), Bytes(MakeBmp(f)));
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", dir_.Path().c_str());

    for (bool present : {true, false}) {
        SCOPED_TRACE(present ? "with the picture" : "without it");
        if (!present)
            std::remove(dir_.File("loading_tnv.bmp").c_str());
        Open(kMode565);
        const uint32_t shownBefore = Plat_DisplayPresentCount();
        const uint64_t start = Plat_ClockNowUs();
        EXPECT_EQ(Gfx_ShowLoadingScreen(), 0);
        EXPECT_EQ(Plat_ClockNowUs() - start, 5000000u);
        EXPECT_EQ(Plat_DisplayPresentCount(), shownBefore + 1);
        uint32_t fw = 0, fh = 0;
        const std::vector<uint8_t> &shown = Plat_DisplayPresentedFrame(&fw, &fh);
        ASSERT_EQ(fw, 16u);
        ASSERT_EQ(fh, 8u);
        for (int32_t x = 0; x < 4; x++) {
            const uint32_t want = present ? colours[x] : 0x1045A5; // 0x1234 in 5:6:5, widened
            EXPECT_EQ(shown[x * 3 + 0], want >> 16 & 0xFF) << x;
            EXPECT_EQ(shown[x * 3 + 1], want >> 8 & 0xFF) << x;
            EXPECT_EQ(shown[x * 3 + 2], want & 0xFF) << x;
        }
        const uint8_t *second = &shown[16 * 3];
        EXPECT_EQ(second[0], present ? 0 : 0x10);
        EXPECT_EQ(second[2], present ? 0 : 0xA5);
        Gfx_ReleaseDirectDraw();
    }
}
